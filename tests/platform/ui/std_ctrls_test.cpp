#include "platform/ui/std_ctrls.h"

#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"
#include "platform/ui/scroll_bars.h"
#include "platform/ui/system_metrics.h"
#include "platform/ui/theme_services.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using StdCtrlsTest = testsupport::FormTest;

TEST_F(StdCtrlsTest, CheckBoxClicksCycleTheStatesAndEveryChangeFiresOnClick) {
  auto* box = new TCheckBox(form);
  box->SetParent(form);
  box->SetCaption("&Loop");
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };

  testsupport::MouseClick(box, 5, 5);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(box->Perform(BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
  EXPECT_EQ(clicks, 1);
  // Set by the program: the framework fires OnClick too.
  box->SetChecked(false);
  EXPECT_EQ(clicks, 2);
  box->SetChecked(false);
  EXPECT_EQ(clicks, 2);

  box->SetAllowGrayed(true);
  const TCheckBoxState cycle[] = {cbGrayed, cbChecked, cbUnchecked, cbGrayed};
  for (TCheckBoxState want : cycle) {
    testsupport::KeyPress(box, VK_SPACE, " ");
    EXPECT_EQ(box->State(), want);
  }
  // Its accelerator toggles it from anywhere on the form.
  box->SetAllowGrayed(false);
  box->SetState(cbUnchecked);
  form->Perform(CM_DIALOGCHAR, 'L', AltMask);
  EXPECT_TRUE(box->Checked());
}

TEST_F(StdCtrlsTest, RadioButtonsOfOneParentExcludeEachOther) {
  auto* a = new TRadioButton(form);
  auto* b = new TRadioButton(form);
  auto* other = new TRadioButton(form);
  auto* group = new TGroupBox(form);
  group->SetParent(form);
  a->SetParent(form);
  b->SetParent(form);
  b->SetTop(30);
  other->SetParent(group);
  other->SetChecked(true);
  int clicksA = 0;
  a->OnClick = [&](TObject*) { ++clicksA; };

  a->SetChecked(true);
  testsupport::MouseClick(b, 3, 3);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  EXPECT_TRUE(other->Checked());  // another parent, another group
  EXPECT_EQ(clicksA, 1);         // only when it became checked
  EXPECT_TRUE(b->TabStop());
  EXPECT_FALSE(a->TabStop());
}

TEST_F(StdCtrlsTest, GroupBoxAlignsChildrenInsideItsFrameBelowTheCaption) {
  auto* group = new TGroupBox(form);
  group->SetParent(form);
  group->SetCaption("Output");
  group->SetBounds(0, 0, 200, 100);
  auto* child = new TButton(form);
  child->SetParent(group);
  child->SetAlign(alClient);
  EXPECT_GT(child->Top(), 10);
  EXPECT_EQ(child->Left(), 2);
  EXPECT_EQ(child->Width(), 196);
  EXPECT_EQ(child->Top() + child->Height(), 98);
}

TEST_F(StdCtrlsTest, ScrollBarControlMovesByItsStepsAndOnScrollMayRedirect) {
  auto* bar = new TScrollBar(form);
  bar->SetParent(form);
  bar->SetParams(10, 0, 50);
  bar->SetSmallChange(2);
  bar->SetLargeChange(10);
  int changes = 0;
  std::vector<TScrollCode> codes;
  bar->OnChange = [&](TObject*) { ++changes; };
  bar->OnScroll = [&](TObject*, TScrollCode code, int& pos) {
    codes.push_back(code);
    if (code == scPageDown) pos = 45;  // the handler decides where a page goes
  };
  testsupport::ScrollBarAction(bar, SB_CTL, SB_LINEDOWN);
  EXPECT_EQ(bar->Position(), 12);
  testsupport::ScrollBarAction(bar, SB_CTL, SB_PAGEDOWN);
  EXPECT_EQ(bar->Position(), 45);
  testsupport::ScrollBarAction(bar, SB_CTL, SB_BOTTOM);
  EXPECT_EQ(bar->Position(), 50);
  testsupport::ScrollBarAction(bar, SB_CTL, SB_THUMBPOSITION, 20);
  EXPECT_EQ(bar->Position(), 20);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(codes.front(), scLineDown);
  EXPECT_EQ(codes.back(), scEndScroll);
  EXPECT_THROW(bar->SetParams(0, 10, 5), EInvalidOperation);
  EXPECT_EQ(bar->Position(), 20);
}

// A window that records its scroll messages and moves its bar only for line steps.
class TScrolled : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::pair<int, int>> vscroll;
  int sizes = 0;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_VSCROLL) {
      vscroll.emplace_back(LOWORD(m.WParam), HIWORD(m.WParam));
      if (LOWORD(m.WParam) == SB_LINEDOWN) SetScrollPos(Handle(), SB_VERT, GetScrollPos(Handle(), SB_VERT) + 1, true);
      return;
    }
    if (m.Msg == WM_SIZE) ++sizes;
    TCustomControl::Dispatch(m);
  }
};

TEST_F(StdCtrlsTest, WindowScrollBarsTakeClientRoomAndReportActionsWithoutMovingThemselves) {
  auto* view = new TScrolled(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 200, 150);
  HWND h = view->Handle();
  EXPECT_EQ(view->ClientWidth(), 200);
  int sizesBefore = view->sizes;

  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 65535;
  si.nPage = 30000;
  si.nPos = 70000;  // beyond the end: kept at the last page
  SetScrollInfo(h, SB_VERT, &si, true);
  EXPECT_TRUE(IsScrollBarShown(h, SB_VERT));
  EXPECT_EQ(view->ClientWidth(), 200 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(view->sizes, sizesBefore + 1);  // the client area shrank
  SCROLLINFO got;
  got.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(h, SB_VERT, &got));
  EXPECT_EQ(got.nPos, 65535 - 29999);
  EXPECT_EQ(got.nPage, 30000u);

  SetScrollPos(h, SB_VERT, 100, true);
  testsupport::ScrollBarAction(view, SB_VERT, SB_PAGEDOWN);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 100);  // the window did not move it
  testsupport::ScrollBarAction(view, SB_VERT, SB_LINEDOWN);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 101);
  testsupport::ScrollBarAction(view, SB_VERT, SB_THUMBTRACK, 5000);
  testsupport::ScrollBarAction(view, SB_VERT, SB_THUMBPOSITION, 6000);
  std::vector<std::pair<int, int>> want = {
      {SB_PAGEDOWN, 0}, {SB_LINEDOWN, 0}, {SB_THUMBTRACK, 5000}, {SB_THUMBTRACK, 6000},
      {SB_THUMBPOSITION, 6000}, {SB_ENDSCROLL, 0}};
  EXPECT_EQ(view->vscroll, want);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 101);

  // A range that fits in one page removes the bar, or disables it when asked to keep it.
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL;
  si.nMax = 10;
  si.nPage = 20;
  SetScrollInfo(h, SB_VERT, &si, true);
  EXPECT_TRUE(IsScrollBarShown(h, SB_VERT));
  si.fMask = SIF_RANGE | SIF_PAGE;
  SetScrollInfo(h, SB_VERT, &si, true);
  EXPECT_FALSE(IsScrollBarShown(h, SB_VERT));
  EXPECT_EQ(view->ClientWidth(), 200);
  EXPECT_FALSE(GetScrollInfo(nullptr, SB_VERT, &got));
}

}  // namespace

namespace {

// A check box made with the button styles of the text's placement.
class TPlacedCheckBox : public TCheckBox {
 public:
  using TCheckBox::TCheckBox;
  void SetPlacement(uint32_t style) {
    placement = style;
    RecreateWnd();
  }
  uint32_t placement = 0;

 protected:
  void CreateParams(TCreateParams& params) override {
    TCheckBox::CreateParams(params);
    params.Style |= placement;
  }
};

// The box painted alone on a bitmap of its size.
std::unique_ptr<TBitmap> PaintedAlone(TWinControl* c) {
  auto b = std::make_unique<TBitmap>(c->Width(), c->Height());
  c->PaintTo(b->Canvas(), 0, 0);
  return b;
}

// The rows and columns holding pixels of the colour, within the columns [x0, x1).
TRect InkBounds(TBitmap& b, TColor ink, int x0, int x1) {
  TRect r = Rect(x1, b.Height(), x0, 0);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = x0; x < x1; ++x)
      if ((ColorToRGB(b.Canvas()->Pixels(x, y)) & 0xFFFFFF) == (ColorToRGB(ink) & 0xFFFFFF)) {
        r.Left = std::min(r.Left, x);
        r.Right = std::max(r.Right, x + 1);
        r.Top = std::min(r.Top, y);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r;
}

class DrawnCheckBoxTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    ThemeServices()->SetThemesEnabled(false);  // the classic mark: white inside a sunken frame
  }
  void TearDown() override {
    ThemeServices()->SetThemesEnabled(true);
    FormTest::TearDown();
  }
};

TEST_F(DrawnCheckBoxTest, PlacementStylesMoveTheMarkAndTheText) {
  auto* box = new TPlacedCheckBox(form);
  box->SetParent(form);
  box->SetBounds(0, 0, 160, 60);
  box->SetCaption("Wide");
  box->Font()->SetColor(clRed);
  EXPECT_FALSE(box->DrawnByFramework());  // the toolkit's own without placement styles
  const TSize mark = CheckBoxGlyphSize();
  struct Case {
    uint32_t style;
    bool markRight;
    int textPlace;  // -1 top, 0 middle, 1 bottom
  } cases[] = {
      {BS_LEFT | BS_VCENTER, false, 0},
      {BS_LEFT | BS_TOP, false, -1},
      {BS_LEFT | BS_BOTTOM, false, 1},
      {BS_LEFTTEXT | BS_VCENTER, true, 0},
      {BS_RIGHT | BS_LEFTTEXT | BS_TOP, true, -1},
  };
  for (const Case& c : cases) {
    box->SetPlacement(c.style);
    ASSERT_TRUE(box->DrawnByFramework());
    auto b = PaintedAlone(box);
    // The classic mark is white inside; the text is in the font's colour.
    int markX = c.markRight ? 160 - mark.cx / 2 - 1 : mark.cx / 2;
    int markY = c.textPlace < 0 ? mark.cy / 2 : c.textPlace > 0 ? 60 - mark.cy / 2 - 1 : 30;
    EXPECT_EQ(ColorToRGB(b->Canvas()->Pixels(markX, markY)) & 0xFFFFFF, ColorToRGB(clWindow) & 0xFFFFFF)
        << std::hex << c.style;
    TRect text = InkBounds(*b, clRed, 0, 160);
    ASSERT_LT(text.Left, text.Right) << std::hex << c.style;
    if (c.markRight) {
      EXPECT_LT(text.Right, 160 - mark.cx);
    } else {
      EXPECT_GT(text.Left, mark.cx);
    }
    int middle = (text.Top + text.Bottom) / 2;
    EXPECT_TRUE(c.textPlace < 0 ? text.Top < 8 : c.textPlace > 0 ? text.Bottom > 52 : std::abs(middle - 30) <= 4)
        << std::hex << c.style << std::dec << " text rows " << text.Top << ".." << text.Bottom;
  }
  // BS_RIGHT puts the text against the right edge of its room.
  box->SetPlacement(BS_RIGHT | BS_VCENTER);
  EXPECT_GT(InkBounds(*PaintedAlone(box), clRed, 0, 160).Right, 150);
}

TEST_F(DrawnCheckBoxTest, MultiLineWrapsAndClickOrSpaceToggle) {
  auto* box = new TPlacedCheckBox(form);
  box->SetParent(form);
  box->SetBounds(0, 0, 70, 80);
  box->SetCaption("one two three four");
  box->Font()->SetColor(clRed);
  box->SetPlacement(BS_LEFT | BS_TOP);
  int oneLine = InkBounds(*PaintedAlone(box), clRed, 0, 70).Height();
  box->SetPlacement(BS_LEFT | BS_TOP | BS_MULTILINE);
  int wrapped = InkBounds(*PaintedAlone(box), clRed, 0, 70).Height();
  EXPECT_GT(wrapped, 2 * oneLine);

  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  testsupport::MouseClick(box, 5, 5);
  EXPECT_TRUE(box->Checked());
  // A press that leaves the box before the release does not click.
  testsupport::MouseDown(box, 5, 5);
  testsupport::MouseMove(box, 150, 120);
  testsupport::MouseUp(box, 150, 120);
  EXPECT_TRUE(box->Checked());
  box->SetFocus();
  testsupport::KeyPress(box, VK_SPACE, " ");
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 2);
  // The checked classic mark has its tick in the window-text colour.
  box->SetChecked(true);
  auto b = PaintedAlone(box);
  TSize mark = CheckBoxGlyphSize();
  EXPECT_LT(InkBounds(*b, clWindowText, 0, mark.cx).Left, mark.cx);
}

// A group box that paints itself.
class TSelfPaintedGroupBox : public TGroupBox {
 public:
  explicit TSelfPaintedGroupBox(TComponent* owner) : TGroupBox(owner) { SetPaintedByControl(true); }
};

TEST_F(StdCtrlsTest, AGroupBoxMayBePaintedByItsControl) {
  auto* group = new TSelfPaintedGroupBox(form);
  group->SetParent(form);
  group->SetBounds(0, 0, 150, 80);
  group->SetColor(clYellow);
  group->Font()->SetColor(clRed);
  group->SetCaption("HHH");  // upright strokes: pixels of the font's very colour
  auto b = PaintedAlone(group);
  // The caption at x = 8 on the top line, on the control's colour; the frame below it.
  TRect text = InkBounds(*b, clRed, 0, 150);
  EXPECT_GE(text.Left, 8);
  EXPECT_LT(text.Left, 12);
  EXPECT_LT(text.Top, 6);
  bool frame = false;
  for (int x = 0; x < 3; ++x)
    if ((ColorToRGB(b->Canvas()->Pixels(x, 40)) & 0xFFFFFF) != (ColorToRGB(clYellow) & 0xFFFFFF)) frame = true;
  EXPECT_TRUE(frame);
  // Children still align inside the frame below the caption.
  auto* child = new TButton(form);
  child->SetParent(group);
  child->SetAlign(alClient);
  EXPECT_GT(child->Top(), 10);
}

}  // namespace
