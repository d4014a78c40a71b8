#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"
#include "platform/ui/caret.h"
#include "platform/ui/controls.h"
#include "platform/ui/std_ctrls.h"
#include "platform/ui/window_dc.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using PaintTest = testsupport::FormTest;

constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF, kBlack = 0;

// A window that paints a red square on white and records the clip of each paint.
class TPainted : public TCustomControl {
 public:
  explicit TPainted(TComponent* owner) : TCustomControl(owner) {
    SetColor(clWhite);
    controlStyle_ |= csOpaque;
  }
  int paints = 0;
  int erases = 0;
  TRect lastClip;

 protected:
  void Paint() override {
    ++paints;
    lastClip = Canvas()->ClipRect();
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->FillRect(ClientRect());
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(Rect(10, 10, 20, 20));
  }
  void WMEraseBkgnd(TMessage& m) override {
    ++erases;
    TCustomControl::WMEraseBkgnd(m);
  }
};

// A windowless square that paints itself blue over whatever is below.
class TBlueBox : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  TRect clip;

 protected:
  void Paint() override {
    clip = Canvas()->ClipRect();
    Canvas()->Brush()->SetColor(clBlue);
    // Larger than the control: the parent keeps it inside its bounds.
    Canvas()->FillRect(Rect(-50, -50, 500, 500));
  }
};

TEST_F(PaintTest, PaintDrawsOnTheWindowAndPartialInvalidationClipsIt) {
  auto* view = new TPainted(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 100, 80);
  EXPECT_EQ(testsupport::WindowPixel(view, 15, 15), kRed);
  EXPECT_EQ(testsupport::WindowPixel(view, 50, 50), kWhite);
  int paints = view->paints;

  TRect part = Rect(40, 30, 60, 50);
  view->InvalidateRect(part);
  view->Update();
  EXPECT_EQ(view->paints, paints + 1);
  EXPECT_EQ(view->lastClip, part);
  // Opaque: a plain Invalidate does not erase first.
  int erases = view->erases;
  view->Invalidate();
  view->Update();
  EXPECT_EQ(view->erases, erases);
}

TEST_F(PaintTest, DrawingOutsidePaintShowsAndXorDrawingTwiceRestores) {
  auto* view = new TPainted(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 100, 80);
  ASSERT_EQ(testsupport::WindowPixel(view, 50, 40), kWhite);
  int paints = view->paints;

  // A rubber band in XOR: drawn, then drawn again to take it away.
  TCanvas* c = view->Canvas();
  c->Pen()->SetColor(clWhite);
  c->Pen()->SetMode(pmXor);
  c->Brush()->SetStyle(bsClear);
  c->Rectangle(30, 30, 70, 60);
  EXPECT_EQ(testsupport::WindowPixel(view, 30, 40), kBlack);
  EXPECT_EQ(testsupport::WindowPixel(view, 50, 45), kWhite);  // inside: untouched
  c->Rectangle(30, 30, 70, 60);
  EXPECT_EQ(testsupport::WindowPixel(view, 30, 40), kWhite);
  EXPECT_EQ(view->paints, paints);  // the window was not repainted for it

  // A hint that saves what lies under it and puts it back.
  HDC dc = GetDC(view->Handle());
  TBitmap saved(20, 20);
  BitBlt(saved.Canvas()->Handle(), 0, 0, 20, 20, dc, 5, 5, SRCCOPY);
  HBRUSH black = CreateSolidBrush(0);
  TRect hint = Rect(5, 5, 25, 25);
  FillRect(dc, &hint, black);
  DeleteObject(black);
  EXPECT_EQ(testsupport::WindowPixel(view, 15, 15), kBlack);
  BitBlt(dc, 5, 5, 20, 20, saved.Canvas()->Handle(), 0, 0, SRCCOPY);
  ReleaseDC(view->Handle(), dc);
  EXPECT_EQ(testsupport::WindowPixel(view, 15, 15), kRed);
  EXPECT_EQ(testsupport::WindowPixel(view, 6, 6), kWhite);
  EXPECT_EQ(WindowFromDC(dc), nullptr);
}

TEST_F(PaintTest, WindowlessChildrenPaintAtTheirPlaceInsideTheirBounds) {
  auto* view = new TPainted(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 100, 80);
  auto* box = new TBlueBox(form);
  box->SetParent(view);
  box->SetBounds(50, 20, 10, 10);
  EXPECT_EQ(testsupport::WindowPixel(view, 55, 25), kBlue);
  EXPECT_EQ(testsupport::WindowPixel(view, 49, 25), kWhite);
  EXPECT_EQ(testsupport::WindowPixel(view, 60, 25), kWhite);
  EXPECT_EQ(box->clip, Rect(0, 0, 10, 10));

  // Its own canvas outside painting draws on the parent the same way.
  box->Canvas()->Brush()->SetColor(clRed);
  box->Canvas()->FillRect(Rect(-5, -5, 5, 5));
  EXPECT_EQ(testsupport::WindowPixel(view, 52, 22), kRed);
  EXPECT_EQ(testsupport::WindowPixel(view, 48, 22), kWhite);

  // Hidden, it leaves the parent's own picture behind.
  box->Hide();
  EXPECT_EQ(testsupport::WindowPixel(view, 55, 25), kWhite);
}

// A windowless control that counts its paints and fills its square in its colour.
class TCountedBox : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  void SetOpaque(bool opaque) {
    if (opaque) controlStyle_ |= csOpaque;
    else controlStyle_ &= ~csOpaque;
  }
  TColor fill = clBlue;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush()->SetColor(fill);
    Canvas()->FillRect(ClientRect());
  }
};

TEST_F(PaintTest, AnOpaqueWindowlessControlRepaintsAtOnceWithoutItsParentAndUnderTheOnesAbove) {
  for (bool opaque : {true, false}) {
    SCOPED_TRACE(opaque);
    auto* view = new TPainted(form);
    view->SetParent(form);
    view->SetBounds(0, 0, 100, 80);
    auto* box = new TCountedBox(form);
    box->SetOpaque(opaque);
    box->SetParent(view);
    box->SetBounds(30, 30, 20, 20);
    auto* above = new TCountedBox(form);  // overlaps the box's right half
    above->fill = clRed;
    above->SetParent(view);
    above->SetBounds(40, 30, 20, 20);
    auto* far = new TCountedBox(form);  // outside the box
    far->SetParent(view);
    far->SetBounds(70, 0, 10, 10);
    view->Update();
    ASSERT_EQ(testsupport::WindowPixel(view, 35, 35), kBlue);
    const int viewPaints = view->paints, erases = view->erases, farPaints = far->paints;
    const int boxPaints = box->paints, abovePaints = above->paints;
    box->fill = clBlack;
    box->Repaint();
    EXPECT_EQ(box->paints, boxPaints + 1);
    EXPECT_EQ(above->paints, abovePaints + 1);  // painted again over the box
    EXPECT_EQ(far->paints, farPaints);
    // Only a control that may leave pixels as they were has its parent paint and erase under it.
    EXPECT_EQ(view->paints - viewPaints, opaque ? 0 : 1);
    EXPECT_EQ(view->erases - erases, opaque ? 0 : 1);
    EXPECT_EQ(testsupport::WindowPixel(view, 35, 35), kBlack);
    EXPECT_EQ(testsupport::WindowPixel(view, 45, 35), kRed);
    EXPECT_EQ(testsupport::WindowPixel(view, 55, 35), kRed);
    EXPECT_EQ(testsupport::WindowPixel(view, 25, 35), kWhite);
    // Nothing is left to paint: the next update paints nothing.
    view->Update();
    EXPECT_EQ(box->paints, boxPaints + 1);
    delete view;
  }
}

TEST_F(PaintTest, AHiddenWindowKeepsAnOpaqueControlsRepaintForItsNextPaint) {
  auto* view = new TPainted(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 100, 80);
  auto* box = new TCountedBox(form);
  box->SetOpaque(true);
  box->SetParent(view);
  box->SetBounds(30, 30, 20, 20);
  view->Update();
  view->Hide();
  const int paints = box->paints;
  box->fill = clBlack;
  box->Repaint();
  EXPECT_EQ(box->paints, paints);
  view->Show();
  EXPECT_EQ(testsupport::WindowPixel(view, 35, 35), kBlack);
}

TEST_F(PaintTest, ClientEdgeIsDrawnInTheFrameAndClientCoordinatesStartInsideIt) {
  class TFramed : public TPainted {
   public:
    using TPainted::TPainted;

   protected:
    void CreateParams(TCreateParams& params) override {
      TPainted::CreateParams(params);
      params.ExStyle |= WS_EX_CLIENTEDGE;
    }
  };
  auto* view = new TFramed(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 100, 80);
  EXPECT_EQ(view->ClientWidth(), 96);
  EXPECT_EQ(testsupport::WindowPixel(view, 15, 15), kRed);
  // The outer ring of a sunken edge is the button shadow, seen from the client's origin at (-2, -2).
  EXPECT_EQ(testsupport::WindowPixel(view, -2, 10), GetSysColor(COLOR_BTNSHADOW));
}

TEST_F(PaintTest, NativeWindowsShowDrawingOverTheirOwnPicture) {
  auto* button = new TButton(form);
  button->SetParent(form);
  HDC dc = GetDC(button->Handle());
  HBRUSH red = CreateSolidBrush(kRed);
  TRect r = Rect(0, 0, 4, 4);
  FillRect(dc, &r, red);
  DeleteObject(red);
  ReleaseDC(button->Handle(), dc);
  EXPECT_EQ(testsupport::WindowPixel(button, 1, 1), kRed);
  // Invalidating lets the control's own picture show again there.
  button->Invalidate();
  EXPECT_NE(testsupport::WindowPixel(button, 1, 1), kRed);
}

TEST_F(PaintTest, FontsFollowTheParentUntilSetOnTheControl) {
  auto* outer = new TPainted(form);
  outer->SetParent(form);
  auto* inner = new TButton(form);
  inner->SetParent(outer);
  outer->Font()->SetSize(14);
  EXPECT_TRUE(inner->ParentFont());
  EXPECT_EQ(inner->Font()->Size(), 14);
  inner->Font()->SetStyle({fsBold});
  EXPECT_FALSE(inner->ParentFont());
  outer->Font()->SetSize(9);
  EXPECT_EQ(inner->Font()->Size(), 14);
  inner->SetParentFont(true);
  EXPECT_EQ(inner->Font()->Size(), 9);
  EXPECT_TRUE(inner->Font()->Style().Empty());
}

TEST_F(PaintTest, PaintToCopiesTheWindowWithItsChildren) {
  auto* view = new TPainted(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 60, 40);
  auto* box = new TBlueBox(form);
  box->SetParent(view);
  box->SetBounds(30, 5, 5, 5);
  TBitmap copy(80, 60);
  copy.Canvas()->Brush()->SetColor(clBlack);
  copy.Canvas()->FillRect(Rect(0, 0, 80, 60));
  view->PaintTo(copy.Canvas(), 10, 10);
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(25, 25)), kRed);
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(42, 17)), kBlue);
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(60, 30)), kWhite);
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(5, 5)), kBlack);
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(75, 30)), kBlack);
}

TEST_F(PaintTest, AWindowPaintsItsOwnContentWithoutItsChildren) {
  auto* view = new TPainted(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 60, 40);
  auto* box = new TBlueBox(form);
  box->SetParent(view);
  box->SetBounds(30, 5, 5, 5);
  auto* inner = new TPainted(form);
  inner->SetParent(view);
  inner->SetBounds(40, 20, 10, 10);
  TBitmap copy(80, 60);
  copy.Canvas()->Brush()->SetColor(clBlack);
  copy.Canvas()->FillRect(Rect(0, 0, 80, 60));
  HDC dc = copy.Canvas()->Handle();
  SetViewportOrgEx(dc, 10, 10, nullptr);
  view->PaintWindowContent(dc);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(25, 25)), kRed);
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(42, 17)), kWhite);  // no windowless child
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(50, 30)), kWhite);  // no child window
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(75, 30)), kBlack);  // clipped to the client
}

TEST_F(PaintTest, PrintClientPaintsTheClientAndLeavesTheDcAsItWas) {
  auto* view = new TPainted(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 60, 40);
  TBitmap copy(60, 40);
  HDC dc = copy.Canvas()->Handle();
  HRGN clip = CreateRectRgn(0, 0, 30, 30);
  SelectClipRgn(dc, clip);
  SetViewportOrgEx(dc, 2, 3, nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ before = SelectObject(dc, brush);
  view->Perform(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  EXPECT_EQ(static_cast<uint32_t>(copy.Canvas()->Pixels(15, 15)), kRed);  // (13, 12) in the view
  TPoint origin;
  GetViewportOrgEx(dc, &origin);
  EXPECT_EQ(origin, Point(2, 3));
  HRGN now = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetClipRgn(dc, now), 1);
  EXPECT_TRUE(EqualRgn(now, clip));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  SelectObject(dc, before);
  SelectClipRgn(dc, nullptr);
  DeleteObject(brush);
  DeleteObject(now);
  DeleteObject(clip);
}

}  // namespace

namespace {

TEST_F(PaintTest, TheCaretInvertsItsPlaceAndSurvivesRepainting) {
  auto* view = new TPainted(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 100, 80);
  HWND h = view->Handle();
  ASSERT_TRUE(CreateCaret(h, nullptr, 2, 10));
  SetCaretPos(40, 30);
  EXPECT_EQ(testsupport::WindowPixel(view, 40, 35), kWhite);  // made hidden
  ShowCaret(h);
  EXPECT_EQ(testsupport::WindowPixel(view, 41, 35), kBlack);
  int paints = view->paints;
  view->Repaint();
  EXPECT_EQ(view->paints, paints + 1);
  EXPECT_EQ(testsupport::WindowPixel(view, 41, 35), kBlack);  // painted under it, shown again
  SetCaretPos(60, 30);
  EXPECT_EQ(testsupport::WindowPixel(view, 41, 35), kWhite);
  EXPECT_EQ(testsupport::WindowPixel(view, 60, 31), kBlack);
  HideCaret(h);
  HideCaret(h);
  ShowCaret(h);
  EXPECT_EQ(testsupport::WindowPixel(view, 60, 31), kWhite);  // two hides need two shows
  ShowCaret(h);
  EXPECT_EQ(testsupport::WindowPixel(view, 60, 31), kBlack);
  DestroyCaret();
  EXPECT_EQ(testsupport::WindowPixel(view, 60, 31), kWhite);
  EXPECT_FALSE(ShowCaret(h));
}

}  // namespace
