// What the control library asks of the framework: the control under a screen point, cursor copies,
// masked replacement in image lists, WM_SETFONT when a window's font changes, CM_BORDERCHANGED, a
// list box's canvas, and the press that closes a pop-up menu.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ui/controls.h"
#include "platform/ui/edit_ctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/image_list.h"
#include "platform/ui/list_ctrls.h"
#include "platform/ui/menus.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/std_ctrls.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using SeamTest = testsupport::FormTest;

class TBox : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
};

// A window that records the messages it is interested in.
class TRecorder : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<TMessage> seen;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_SETFONT || m.Msg == CM_BORDERCHANGED || m.Msg == WM_LBUTTONDOWN) seen.push_back(m);
    TCustomControl::WndProc(m);
  }
  int Count(UINT msg) const {
    return static_cast<int>(std::count_if(seen.begin(), seen.end(), [msg](const TMessage& m) { return m.Msg == msg; }));
  }
};

TEST_F(SeamTest, FindDragTargetAnswersTheWindowlessControlUnderAPointDisabledOnesWhenAsked) {
  auto* box = new TBox(form);
  box->SetParent(form);
  box->SetBounds(20, 30, 40, 20);
  auto* panel = new TRecorder(form);
  panel->SetParent(form);
  panel->SetBounds(100, 30, 60, 60);
  Application->ProcessMessages();

  EXPECT_EQ(FindDragTarget(form->ClientToScreen(Point(25, 35)), false), box);
  EXPECT_EQ(FindDragTarget(form->ClientToScreen(Point(5, 5)), false), form);
  EXPECT_EQ(FindDragTarget(form->ClientToScreen(Point(110, 40)), false), panel);
  EXPECT_EQ(FindVCLWindow(form->ClientToScreen(Point(110, 40))), panel);

  box->SetEnabled(false);
  EXPECT_EQ(FindDragTarget(form->ClientToScreen(Point(25, 35)), false), form);
  EXPECT_EQ(FindDragTarget(form->ClientToScreen(Point(25, 35)), true), box);
  EXPECT_EQ(FindDragTarget(Point(-5000, -5000), true), nullptr);
}

TEST(Cursors, ACopyIsACursorOfItsOwn) {
  EXPECT_EQ(CopyCursor(nullptr), nullptr);
  HCURSOR original = Screen->Cursors(crDrag);
  HCURSOR copy = CopyCursor(original);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, original);
  // The screen owns what is registered with it: the copy goes with its id, the original stays.
  Screen->SetCursors(4000, copy);
  Screen->SetCursors(4000, nullptr);
  EXPECT_EQ(Screen->Cursors(crDrag), original);
  SetCursor(original);
}

TEST(ImageListReplaceMasked, ReplacesOneImageWithItsColourLeftOut) {
  TImageList list(nullptr, 4, 4);
  TBitmap red(4, 4);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(Rect(0, 0, 4, 4));
  list.Add(&red, nullptr);
  list.Add(&red, nullptr);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };

  TBitmap keyed(4, 4);
  keyed.Canvas()->Brush()->SetColor(clLime);
  keyed.Canvas()->FillRect(Rect(0, 0, 4, 4));
  keyed.Canvas()->SetPixels(1, 1, clFuchsia);
  list.ReplaceMasked(1, &keyed, clFuchsia);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_THROW(list.ReplaceMasked(2, &keyed, clFuchsia), EInvalidOperation);

  TBitmap target(4, 4);
  target.Canvas()->Brush()->SetColor(clBlue);
  target.Canvas()->FillRect(Rect(0, 0, 4, 4));
  list.Draw(target.Canvas(), 0, 0, 1);
  EXPECT_EQ(ColorToRGB(target.Canvas()->Pixels(1, 1)), ColorToRGB(clBlue));
  EXPECT_EQ(ColorToRGB(target.Canvas()->Pixels(2, 2)), ColorToRGB(clLime));
  list.Draw(target.Canvas(), 0, 0, 0);
  EXPECT_EQ(ColorToRGB(target.Canvas()->Pixels(1, 1)), ColorToRGB(clRed));
}

TEST_F(SeamTest, AWindowHearsOfItsFontAtCreationAndOnEveryChange) {
  auto* w = new TRecorder(form);
  w->SetParent(form);
  w->HandleNeeded();
  EXPECT_EQ(w->Count(WM_SETFONT), 1);
  EXPECT_EQ(w->seen.back().WParam, reinterpret_cast<WPARAM>(w->Font()->Handle()));
  w->Font()->SetHeight(-20);
  EXPECT_EQ(w->Count(WM_SETFONT), 2);
  // The same font again changes nothing the window shows.
  w->Font()->SetHeight(-20);
  EXPECT_EQ(w->Count(WM_SETFONT), 2);
}

TEST_F(SeamTest, BorderAndBevelChangesSendBorderChangedOncePerChange) {
  auto* w = new TRecorder(form);
  w->SetParent(form);
  w->SetBounds(0, 0, 80, 40);
  w->SetBorderWidth(3);
  w->SetBorderWidth(3);
  w->SetBevelKind(bkFlat);
  w->SetBevelInner(bvLowered);
  w->SetBevelOuter(bvRaised);
  w->SetBevelEdges(beLeft | beTop);
  w->SetBevelWidth(2);
  EXPECT_EQ(w->Count(CM_BORDERCHANGED), 6);
  // The frame is laid out anew: the client area sits inside the border.
  EXPECT_EQ(w->ClientWidth(), 80 - 2 * (3 + 1));
}

TEST_F(SeamTest, AListBoxMeasuresInItsFontOnItsCanvas) {
  auto* list = new TListBox(form);
  list->SetParent(form);
  TCanvas* canvas = list->Canvas();
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas, list->Canvas());
  canvas->Font()->Assign(*list->Font());
  const int32_t small = canvas->TextWidth("file name");
  canvas->Font()->SetHeight(-30);
  EXPECT_GT(canvas->TextWidth("file name"), small);
}

TEST_F(SeamTest, APressThatClosesAPopupMenuArrivesAsTheButtonDownOfTheWindowUnderIt) {
  auto* target = new TRecorder(form);
  target->SetParent(form);
  target->SetBounds(150, 20, 100, 100);
  Application->ProcessMessages();
  TPopupMenu menu(nullptr);
  auto* item = new TMenuItem(&menu);
  item->SetCaption("One");
  menu.Items()->Add(item);
  testsupport::ScopedResponder real([](const TDialogRequest&, TDialogAnswer&) { return false; });

  const TPoint press = target->ClientToScreen(Point(30, 40));
  bool sent = false;
  testsupport::ClickOutsideNextPopup(press.X, press.Y, &sent);
  const TPoint at = form->ClientToScreen(Point(10, 10));
  menu.Popup(at.X, at.Y);
  ASSERT_TRUE(sent);
  // Nothing reached the window while the menu closed: the press waits in the queue.
  EXPECT_EQ(target->Count(WM_LBUTTONDOWN), 0);
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
  EXPECT_EQ(m.hwnd, target->Handle());
  Application->ProcessMessages();
  ASSERT_EQ(target->Count(WM_LBUTTONDOWN), 1);
  EXPECT_EQ(GET_X_LPARAM(target->seen.back().LParam), 30);
  EXPECT_EQ(GET_Y_LPARAM(target->seen.back().LParam), 40);
}

}  // namespace

// A window that answers WM_SETCURSOR itself over its left half.
class TCursorOwner : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int asked = 0;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_SETCURSOR) {
      ++asked;
      const DWORD pos = GetMessagePos();
      const TPoint p = ScreenToClient(Point(GET_X_LPARAM(pos), GET_Y_LPARAM(pos)));
      if (p.X < Width() / 2) {
        ::SetCursor(Screen->Cursors(crCross));
        m.Result = 1;
        return;
      }
    }
    TCustomControl::WndProc(m);
  }
};

TEST_F(SeamTest, MouseMovesAskTheWindowForItsCursorBeforeTheControlsCursorApplies) {
  auto* owner = new TCursorOwner(form);
  owner->SetParent(form);
  owner->SetBounds(10, 10, 100, 50);
  owner->SetCursor(crHandPoint);
  auto* box = new TBox(owner);
  box->SetParent(owner);
  box->SetBounds(70, 10, 20, 20);
  box->SetCursor(crSizeAll);
  Application->ProcessMessages();

  testsupport::MouseMove(owner, 10, 10);
  EXPECT_EQ(owner->asked, 1);
  EXPECT_EQ(GetCursor(), Screen->Cursors(crCross));
  // The message's position is the move's.
  const DWORD pos = GetMessagePos();
  EXPECT_EQ(owner->ScreenToClient(Point(GET_X_LPARAM(pos), GET_Y_LPARAM(pos))), Point(10, 10));
  testsupport::MouseMove(owner, 60, 40);
  EXPECT_EQ(GetCursor(), Screen->Cursors(crHandPoint));
  testsupport::MouseMove(owner, 75, 15);  // over the windowless child
  EXPECT_EQ(GetCursor(), Screen->Cursors(crSizeAll));
  EXPECT_EQ(owner->asked, 3);
  // While the mouse is captured nothing is asked.
  testsupport::MouseDown(owner, 60, 40);
  testsupport::MouseMove(owner, 20, 20);
  testsupport::MouseUp(owner, 20, 20);
  EXPECT_EQ(owner->asked, 3);
}

// A control whose exit handler takes the focus back to itself.
class TStubbornEdit : public TEdit {
 public:
  using TEdit::TEdit;
  bool refuse = true;

 protected:
  void DoExit() override {
    if (refuse) {
      SetFocus();
      throw Exception("stay");
    }
    TEdit::DoExit();
  }
};

TEST_F(SeamTest, AnExitHandlerThatKeepsTheFocusLeavesTheOtherControlWithoutAnExit) {
  auto* stubborn = new TStubbornEdit(form);
  stubborn->SetParent(form);
  auto* other = new TEdit(form);
  other->SetParent(form);
  other->SetTop(40);
  int otherEnters = 0, otherExits = 0;
  other->OnEnter = [&](TObject*) { ++otherEnters; };
  other->OnExit = [&](TObject*) { ++otherExits; };
  form->FocusControl(stubborn);
  EXPECT_THROW(form->FocusControl(other), Exception);
  EXPECT_EQ(form->ActiveControl(), stubborn);
  EXPECT_EQ(otherEnters, 0);
  EXPECT_EQ(otherExits, 0);
  stubborn->refuse = false;
  form->FocusControl(other);
  EXPECT_EQ(otherEnters, 1);
  EXPECT_EQ(form->ActiveControl(), other);
}
