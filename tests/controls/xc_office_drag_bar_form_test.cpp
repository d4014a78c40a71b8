#include "controls/xc_office_drag_bar_form.h"

#include <gtest/gtest.h>

#include "controls/xc_office_color_form.h"
#include "platform/ui/ext_ctrls.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using DragBarFormTest = testsupport::FormTest;

// A content control of a known size whose client area is its whole face.
TPanel* MakeContent(TComponent* owner, int w, int h) {
  auto* p = new TPanel(owner);
  p->SetBevelOuter(bvNone);
  p->SetBounds(0, 0, w, h);
  return p;
}

TEST_F(DragBarFormTest, DefaultBarBandAndContentPlace) {
  auto* f = new TXcOfficeDragBarForm(nullptr);
  EXPECT_TRUE(f->ShowDragBar());
  EXPECT_TRUE(f->DefaultSizes());
  EXPECT_FALSE(f->Floating());
  EXPECT_EQ(f->FormStyle(), fsStayOnTop);
  EXPECT_EQ(f->BorderStyle(), bsDialog);
  EXPECT_EQ(f->BorderIcons(), 0);
  EXPECT_TRUE(f->KeyPreview());
  // The dropped-down form has no title bar.
  struct Params : TXcOfficeDragBarForm {
    static uint32_t StyleOf(TXcOfficeDragBarForm* form) {
      TCreateParams params;
      (form->*(&Params::CreateParams))(params);
      return params.Style;
    }
  };
  EXPECT_EQ(Params::StyleOf(f) & WS_CAPTION, 0u);
  TPanel* content = MakeContent(f, 100, 60);
  f->SetContent(content);
  f->ArrangeContent();
  EXPECT_EQ(f->DragBar()->BoundsRect(), Bounds(0, 3, 100, 7));
  EXPECT_TRUE(f->DragBar()->Visible());
  // The client area is the content's and the bar's band of 3 + 7 + 3; the content sits one pixel
  // below that band.
  EXPECT_EQ(f->ClientHeight(), 60 + 13);
  EXPECT_EQ(f->ClientWidth(), 100);
  EXPECT_EQ(content->Top(), 14);
  EXPECT_EQ(content->Left(), 0);
  EXPECT_EQ(content->Height(), 60);
  // A new content takes the old one off the form.
  TPanel* other = MakeContent(f, 80, 40);
  f->SetContent(other);
  EXPECT_EQ(content->Parent(), nullptr);
  EXPECT_EQ(other->Parent(), f);
  f->ArrangeContent();
  EXPECT_EQ(f->ClientHeight(), 40 + 13);
  delete content;
  delete f;
}

TEST_F(DragBarFormTest, BarSizesKeepTheirMinimum) {
  auto* f = new TXcOfficeDragBarForm(nullptr);
  TPanel* content = MakeContent(f, 100, 60);
  f->SetContent(content);
  struct Case {
    int index, value, height, space;
  } cases[] = {{9, 2, 7, 3}, {10, 0, 7, 3}, {9, 12, 12, 3}, {10, 5, 12, 5}, {8, 50, 12, 5}, {11, 50, 12, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " " << c.value);
    f->SetDragBarSize(c.index, c.value);
    EXPECT_EQ(f->DragBarHeight(), c.height);
    EXPECT_EQ(f->DragBarSpace(), c.space);
    EXPECT_EQ(f->ClientHeight(), 60 + 2 * c.space + c.height);
    EXPECT_EQ(content->Top(), 2 * c.space + c.height + 1);
  }
  EXPECT_FALSE(f->DefaultSizes());
  // Back to the defaults: the sizes return without an arrangement.
  f->SetDefaultSizes(true);
  EXPECT_EQ(f->DragBarHeight(), 7);
  EXPECT_EQ(f->DragBarSpace(), 3);
  EXPECT_EQ(f->ClientHeight(), 60 + 2 * 5 + 12);
  delete f;
}

TEST_F(DragBarFormTest, ArrangingShowingAndResizingSettle) {
  auto* f = new TXcOfficeDragBarForm(nullptr);
  TPanel* content = MakeContent(f, 100, 60);
  f->SetContent(content);
  int resizes = 0;
  f->OnResize = [&](TObject*) { ++resizes; };
  f->ArrangeContent();
  f->SetBounds(100, 100, f->Width(), f->Height());
  f->ShowNoActivate();
  Application->ProcessMessages();
  f->ArrangeContent();
  Application->ProcessMessages();
  // One resize to the arranged size; after it the form's own arrangement changes nothing more.
  EXPECT_LE(resizes, 2);
  EXPECT_EQ(f->ClientHeight(), 73);
  const int settled = resizes;
  f->SetWidth(300);
  Application->ProcessMessages();
  EXPECT_EQ(f->ClientWidth(), 100);
  EXPECT_EQ(f->ClientHeight(), 73);
  EXPECT_LE(resizes - settled, 2);
  delete f;
}

TEST_F(DragBarFormTest, FloatingSwitchesTheWindowShapeAndBack) {
  auto* f = new TXcOfficeDragBarForm(nullptr);
  TPanel* content = MakeContent(f, 100, 60);
  f->SetContent(content);
  f->ArrangeContent();
  int styleChanges = 0;
  f->OnStyleChanged = [&](TObject* sender) {
    EXPECT_EQ(sender, f);
    ++styleChanges;
  };
  f->SetBounds(120, 90, f->Width(), f->Height());
  f->ShowNoActivate();
  Application->ProcessMessages();
  f->SetFloating(true);
  EXPECT_TRUE(f->Floating());
  EXPECT_EQ(f->BorderStyle(), bsToolWindow);
  EXPECT_EQ(f->BorderIcons(), biSystemMenu);
  EXPECT_FALSE(f->DragBar()->Visible());
  EXPECT_EQ(styleChanges, 1);
  // Without the bar's band the content moves up; the window stays shown where it was.
  EXPECT_EQ(f->ClientHeight(), 60);
  EXPECT_EQ(content->Top(), 1);
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(f->Left(), 120);
  EXPECT_EQ(f->Top(), 90);
  // Hiding a floating form brings the dropped-down shape back for its next showing.
  f->Hide();
  EXPECT_FALSE(f->Floating());
  EXPECT_EQ(f->BorderStyle(), bsDialog);
  EXPECT_TRUE(f->DragBar()->Visible());
  EXPECT_EQ(f->ClientHeight(), 73);
  EXPECT_EQ(styleChanges, 2);
  // With the bar switched off nothing floats and nothing is announced.
  f->SetShowDragBar(false);
  f->SetFloating(true);
  EXPECT_FALSE(f->Floating());
  EXPECT_FALSE(f->DragBar()->Visible());
  EXPECT_EQ(f->BorderStyle(), bsDialog);
  EXPECT_EQ(styleChanges, 2);
  delete f;
}

TEST_F(DragBarFormTest, EscapeHidesWithCancel) {
  auto* f = new TXcOfficeDragBarForm(nullptr);
  f->SetContent(MakeContent(f, 100, 60));
  f->ArrangeContent();
  f->SetBounds(100, 100, f->Width(), f->Height());
  f->Show();
  Application->ProcessMessages();
  f->SetFloating(true);
  uint16_t key = VK_ESCAPE;
  f->OnKeyUp(f, key, 0);
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(f->ModalResult(), mrCancel);
  EXPECT_FALSE(f->Floating());
  // Another key does nothing.
  f->SetModalResult(mrNone);
  f->Show();
  key = VK_RETURN;
  f->OnKeyUp(f, key, 0);
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(f->ModalResult(), mrNone);
  // Through the keyboard: the form previews the keys of its controls.
  testsupport::KeyPress(f, VK_ESCAPE);
  Application->ProcessMessages();
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(f->ModalResult(), mrCancel);
  delete f;
}

TEST_F(DragBarFormTest, TheBarTearsTheFormOffOnlyAfterAPress) {
  auto* f = new TXcOfficeDragBarForm(nullptr);
  f->SetContent(MakeContent(f, 100, 60));
  f->ArrangeContent();
  f->SetBounds(100, 100, f->Width(), f->Height());
  f->ShowNoActivate();
  Application->ProcessMessages();
  int styleChanges = 0;
  f->OnStyleChanged = [&](TObject*) { ++styleChanges; };
  TXcOfficePanelDragBar* bar = f->DragBar();
  // A move without a button: colour and cursor only.
  testsupport::MouseEnter(bar, 10, 3);
  EXPECT_EQ(bar->Color(), clActiveCaption);
  EXPECT_EQ(bar->Cursor(), crSizeAll);
  testsupport::MouseMove(bar, 20, 3);
  EXPECT_FALSE(f->Floating());
  EXPECT_FALSE(f->Dragged());
  EXPECT_EQ(styleChanges, 0);
  testsupport::MouseLeave(bar);
  Application->ProcessMessages();
  EXPECT_EQ(bar->Color(), clInactiveCaption);
  EXPECT_EQ(bar->Cursor(), crDefault);
  // A press, then a move: torn off, dragged, a move started.
  testsupport::MouseDown(bar, 10, 3);
  EXPECT_TRUE(f->DragMouseDown());
  testsupport::MouseMove(bar, 30, 3);
  EXPECT_TRUE(f->Floating());
  EXPECT_TRUE(f->Dragged());
  EXPECT_TRUE(f->Moving());
  EXPECT_FALSE(f->DragMouseDown());
  EXPECT_EQ(styleChanges, 1);
  EXPECT_FALSE(f->DragBar()->Visible());
  EXPECT_EQ(f->ClientHeight(), 60);
  testsupport::MouseUp(bar, 30, 3);
  EXPECT_FALSE(f->Moving());
  // Hidden: back to dropped down, the flags cleared.
  f->Hide();
  EXPECT_FALSE(f->Dragged());
  EXPECT_FALSE(f->Floating());
  delete f;
}

TEST_F(DragBarFormTest, ColorFormHostsAFlatPanelAndFollowsItsBarSwitch) {
  auto* f = new TXcOfficeColorForm(nullptr);
  TXcOfficeColorPanel* panel = f->ColorPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->Owner(), f);
  EXPECT_EQ(panel->Parent(), f);
  EXPECT_TRUE(panel->FlatBorder());
  EXPECT_EQ(panel->BorderWidth(), 0);
  EXPECT_EQ(panel->Width(), 152);
  EXPECT_EQ(f->ClientWidth(), 152);
  EXPECT_EQ(f->ClientHeight(), panel->Height() + 13);
  EXPECT_EQ(panel->Top(), 14);
  // Switched off before any drag: the bar goes, the panel moves up.
  f->SetShowDragBar(false);
  EXPECT_FALSE(f->DragBar()->Visible());
  EXPECT_EQ(f->ClientHeight(), panel->Height());
  EXPECT_EQ(panel->Top(), 1);
  f->SetShowDragBar(true);
  EXPECT_TRUE(f->DragBar()->Visible());
  EXPECT_EQ(panel->Top(), 14);
  // After a drag the form floats; switching the bar off then returns it to the dropped-down shape.
  f->SetBounds(100, 100, f->Width(), f->Height());
  f->ShowNoActivate();
  Application->ProcessMessages();
  testsupport::MouseDown(f->DragBar(), 5, 3);
  testsupport::MouseMove(f->DragBar(), 25, 3);
  ASSERT_TRUE(f->Floating());
  f->SetShowDragBar(false);
  EXPECT_FALSE(f->Floating());
  EXPECT_EQ(f->BorderStyle(), bsDialog);
  EXPECT_FALSE(f->DragBar()->Visible());
  // Another content class.
  auto* g = new TXcOfficeColorForm(nullptr, [](TComponent* owner) { return MakeContent(owner, 50, 20); });
  EXPECT_EQ(g->ColorPanel(), nullptr);
  EXPECT_EQ(g->ClientHeight(), 33);
  delete g;
  delete f;
}

}  // namespace
