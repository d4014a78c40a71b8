#include "controls/xc_themes.h"

#include <gtest/gtest.h>

#include "controls/xc_ex_controls.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/image_list.h"
#include "platform/ui/theme_services.h"
#include "platform/ui/window_dc.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

// Every pixel of the pattern tells where it is: red from x, green from y.
COLORREF PatternAt(int x, int y) { return RGB(static_cast<uint8_t>(x * 2), static_cast<uint8_t>(y * 2), 0x40); }

// A window whose background is the pattern.
class TPatterned : public TCustomControl {
 public:
  explicit TPatterned(TComponent* owner) : TCustomControl(owner) { SetColor(clWhite); }
  int erases = 0;

 protected:
  void WMEraseBkgnd(TMessage& m) override {
    ++erases;
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    for (int y = 0; y < Height(); ++y)
      for (int x = 0; x < Width(); ++x) SetPixelV(dc, x, y, PatternAt(x, y));
    m.Result = 1;
  }
};

// A windowless control that blacks itself out, then shows its parent's background.
class TSeeThrough : public TXcExGraphicControl {
 public:
  using TXcExGraphicControl::TXcExGraphicControl;

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(clBlack);
    Canvas()->FillRect(ClientRect());
    EraseWithParentBackground(this, Canvas()->Handle());
  }
};

using ThemeTest = testsupport::FormTest;

TEST_F(ThemeTest, WindowlessControlsShowTheParentsPixelsAtTheirPlace) {
  auto* parent = new TPatterned(form);
  parent->SetParent(form);
  parent->SetBounds(0, 0, 100, 80);
  for (TPoint at : {Point(0, 20), Point(10, 20), Point(0, 0)}) {
    auto* c = new TSeeThrough(form);
    c->SetParent(parent);
    c->SetBounds(at.X, at.Y, 20, 15);
    parent->Invalidate();
    for (auto [dx, dy] : {std::pair{0, 0}, {19, 0}, {5, 14}, {19, 14}}) {
      int x = at.X + dx, y = at.Y + dy;
      EXPECT_EQ(testsupport::WindowPixel(parent, x, y), PatternAt(x, y)) << "control at " << at.X << "," << at.Y;
    }
    delete c;
  }
}

TEST_F(ThemeTest, TheDcsOriginAndClipComeBackAsTheyWere) {
  auto* parent = new TPatterned(form);
  parent->SetParent(form);
  parent->SetBounds(0, 0, 100, 80);
  auto* child = new TXcExGraphicControl(form);
  child->SetParent(parent);
  child->SetBounds(10, 20, 30, 30);
  TBitmap b(30, 30);
  HDC dc = b.Canvas()->Handle();
  // No clip region before: none after; only the rectangle was painted.
  b.Canvas()->Brush()->SetColor(clBlack);
  b.Canvas()->FillRect(Rect(0, 0, 30, 30));
  EraseWithParentBackground(child, dc, Rect(0, 0, 10, 10));
  HRGN probe = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(dc, probe), 0);
  TPoint org;
  GetWindowOrgEx(dc, &org);
  EXPECT_EQ(org, Point(0, 0));
  EXPECT_EQ(b.Canvas()->Pixels(5, 5), static_cast<TColor>(PatternAt(15, 25)));
  EXPECT_EQ(b.Canvas()->Pixels(15, 15), clBlack);
  // A clip region before: exactly that one after; a window origin of its own stays too.
  HRGN clip = CreateRectRgn(2, 3, 20, 25);
  SelectClipRgn(dc, clip);
  SetWindowOrgEx(dc, 1, 1, nullptr);
  EraseWithParentBackground(child, dc, Rect(0, 0, 10, 10));
  ASSERT_EQ(GetClipRgn(dc, probe), 1);
  EXPECT_TRUE(EqualRgn(probe, clip));
  GetWindowOrgEx(dc, &org);
  EXPECT_EQ(org, Point(1, 1));
  // Also when the parent's handling raises.
  struct TRaising : TCustomControl {
    using TCustomControl::TCustomControl;
    void WMEraseBkgnd(TMessage&) override { throw EInvalidOperation("erase failed"); }
  };
  auto* raising = new TRaising(form);
  raising->SetParent(form);
  child->SetParent(raising);
  EXPECT_THROW(EraseWithParentBackground(child, dc, Rect(0, 0, 10, 10)), EInvalidOperation);
  ASSERT_EQ(GetClipRgn(dc, probe), 1);
  EXPECT_TRUE(EqualRgn(probe, clip));
  GetWindowOrgEx(dc, &org);
  EXPECT_EQ(org, Point(1, 1));
  SelectClipRgn(dc, nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  DeleteObject(clip);
  DeleteObject(probe);
  // A control without a parent: nothing happens.
  TXcExGraphicControl orphan(nullptr);
  EraseWithParentBackground(&orphan, dc);
  IsNoRect(NoRect) ? SUCCEED() : ADD_FAILURE();
  EXPECT_FALSE(IsNoRect(Rect(0, 0, 0x7FFFFFFF, 0x7FFFFFFF)));
}

TEST_F(ThemeTest, FillingWithTheColourOrThePatternOfTheParent) {
  auto* parent = new TPatterned(form);
  parent->SetParent(form);
  parent->SetBounds(0, 0, 100, 80);
  parent->SetColor(clBtnFace);
  auto* windowless = new TXcExGraphicControl(form);
  windowless->SetParent(parent);
  windowless->SetBounds(10, 20, 30, 30);
  auto* windowed = new TXcExCustomControl(form);
  windowed->SetParent(parent);
  windowed->SetBounds(40, 20, 30, 30);
  TXcExGraphicControl orphan(nullptr);
  struct Case {
    const char* what;
    bool themes;
    TControl* control;
    TColor color;
    bool needsParentBackground;
    bool parentBackgroundStyle;
    bool themed;
  } cases[] = {
      {"styles off", false, windowless, clBtnFace, false, true, false},
      {"no parent", true, &orphan, clBtnFace, false, true, false},
      {"another colour", true, windowless, clRed, false, true, false},
      {"the same colour as RGB", true, windowless, static_cast<TColor>(ColorToRGB(clBtnFace)), false, true, true},
      {"parent background asked for, style missing", true, windowless, clBtnFace, true, false, false},
      {"parent background asked for and styled", true, windowless, clBtnFace, true, true, true},
      {"windowed, same colour", true, windowed, clBtnFace, false, false, true},
  };
  const bool themesBefore = ThemeServices()->ThemesEnabled();
  for (const Case& c : cases) {
    ThemeServices()->SetThemesEnabled(c.themes);
    c.control->SetControlStyle(c.parentBackgroundStyle ? c.control->ControlStyle() | csParentBackground
                                                       : c.control->ControlStyle() & ~csParentBackground);
    TBitmap b(30, 30);
    b.Canvas()->Brush()->SetColor(clYellow);
    FillThemedBackground(c.control, b.Canvas(), Rect(0, 0, 30, 30), c.color, c.needsParentBackground);
    EXPECT_EQ(b.Canvas()->Brush()->Color(), clYellow) << c.what;
    TColor at = b.Canvas()->Pixels(3, 4);
    if (c.themed) {
      int x = c.control->Left() + 3, y = c.control->Top() + 4;
      EXPECT_EQ(at, static_cast<TColor>(PatternAt(x, y))) << c.what;
    } else {
      EXPECT_EQ(at, static_cast<TColor>(ColorToRGB(c.color))) << c.what;
    }
  }
  // In the brush's colour.
  ThemeServices()->SetThemesEnabled(false);
  TBitmap b(10, 10);
  b.Canvas()->Brush()->SetColor(clNavy);
  FillThemedBackgroundInBrushColor(windowless, b.Canvas(), Rect(0, 0, 10, 10));
  EXPECT_EQ(b.Canvas()->Pixels(5, 5), clNavy);
  ThemeServices()->SetThemesEnabled(themesBefore);
}

TEST_F(ThemeTest, ThemeStylesAndTheSmallRoutines) {
  auto* c = new TXcExCustomControl(form);
  TControlStyle before = c->ControlStyle();
  AddThemeStyle(c, csParentBackground | csOpaque | csFramed);
  EXPECT_EQ(c->ControlStyle(), before | csParentBackground);
  EXPECT_EQ(QueryThemeStyle(c), csParentBackground | (before & csNeedsBorderPaint));
  AddThemeStyle(c, csNeedsBorderPaint);
  EXPECT_EQ(QueryThemeStyle(c), csParentBackground | csNeedsBorderPaint);
  EXPECT_FALSE(IsOnGlassSurface(c));
  EXPECT_FALSE(IsDesktopCompositionOn());

  TBitmap b(60, 20);
  b.Canvas()->Brush()->SetColor(clWhite);
  b.Canvas()->FillRect(Rect(0, 0, 60, 20));
  b.Canvas()->Font()->SetName("DejaVu Sans");
  b.Canvas()->TextWidth("x");
  TRect r = Rect(0, 0, 60, 20);
  EXPECT_GT(DrawCaptionText(b.Canvas()->Handle(), "Caption", r, DT_CALCRECT | DT_SINGLELINE, 8), 0);
  EXPECT_EQ(r.Width(), b.Canvas()->TextWidth("Caption"));

  TImageList list(nullptr, 4, 4);
  TBitmap red(4, 4);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(Rect(0, 0, 4, 4));
  list.Add(&red, nullptr);
  DrawImageListItem(&list, 0, b.Canvas()->Handle(), 50, 10, ILD_NORMAL, false);
  EXPECT_EQ(b.Canvas()->Pixels(51, 11), clRed);
  DrawImageListItem(&list, 5, b.Canvas()->Handle(), 0, 0, ILD_NORMAL, false);  // none: nothing
}

TEST_F(ThemeTest, PrintClientLeavesTheDcAsItWasWithoutACorrection) {
  EXPECT_FALSE(PrintClientCorrectionInstalled());
  auto* c = new TXcExCustomControl(form);
  c->SetParent(form);
  c->SetBounds(0, 0, 40, 30);
  TBitmap b(40, 30);
  HDC dc = b.Canvas()->Handle();
  HRGN clip = CreateRectRgn(1, 1, 30, 20);
  SelectClipRgn(dc, clip);
  SetViewportOrgEx(dc, 3, 2, nullptr);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(9, 9, 9));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  c->Perform(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  HRGN now = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetClipRgn(dc, now), 1);
  EXPECT_TRUE(EqualRgn(now, clip));
  TPoint org;
  GetViewportOrgEx(dc, &org);
  EXPECT_EQ(org, Point(3, 2));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
  SelectObject(dc, oldPen);
  SelectClipRgn(dc, nullptr);
  DeleteObject(pen);
  DeleteObject(now);
  DeleteObject(clip);
}

}  // namespace
