#include "platform/ui/forms.h"

#include <gtest/gtest.h>

#include <QtWidgets/QWidget>

#include "platform/ui/controls.h"
#include "platform/ui/ext_ctrls.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using FormsTest = testsupport::FormTest;

// A focusable window that records the handles its focus messages carry.
class TFocusProbe : public TCustomControl {
 public:
  explicit TFocusProbe(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
  std::vector<std::pair<UINT, HWND>> seen;

  void WndProc(TMessage& m) override {
    if (m.Msg == WM_SETFOCUS || m.Msg == WM_KILLFOCUS) seen.emplace_back(m.Msg, reinterpret_cast<HWND>(m.WParam));
    TCustomControl::WndProc(m);
  }
};

TEST_F(FormsTest, FocusMessagesNameTheWindowOnTheOtherSide) {
  auto* a = new TFocusProbe(form);
  a->SetParent(form);
  a->SetBounds(0, 0, 50, 20);
  auto* b = new TFocusProbe(form);
  b->SetParent(form);
  b->SetBounds(0, 30, 50, 20);
  ASSERT_TRUE(testsupport::WaitFor([&] { return Screen->ActiveForm() == form; }));
  a->SetFocus();
  ASSERT_TRUE(testsupport::WaitFor([&] { return a->Focused(); }));
  a->seen.clear();
  b->SetFocus();
  ASSERT_TRUE(testsupport::WaitFor([&] { return b->Focused(); }));
  using Seen = std::vector<std::pair<UINT, HWND>>;
  EXPECT_EQ(a->seen, (Seen{{WM_KILLFOCUS, b->Handle()}}));
  EXPECT_EQ(b->seen, (Seen{{WM_SETFOCUS, a->Handle()}}));
}

TEST_F(FormsTest, TheFormKeepsTheKeyboardCueBitsForItsWindows) {
  auto* child = new TCustomControl(form);
  child->SetParent(form);
  auto query = [&] { return child->Perform(WM_QUERYUISTATE, 0, 0); };
  form->Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  EXPECT_EQ(query(), UISF_HIDEFOCUS | UISF_HIDEACCEL);
  // A window's change goes to its form.
  child->Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  EXPECT_EQ(form->Perform(WM_QUERYUISTATE, 0, 0), UISF_HIDEACCEL);
  // Initialising after keyboard input shows the cues; after a click hides them.
  testsupport::KeyPress(child, VK_SHIFT);
  form->Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
  EXPECT_EQ(query(), 0);
  testsupport::MouseClick(child, 1, 1);
  form->Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
  EXPECT_EQ(query(), UISF_HIDEFOCUS | UISF_HIDEACCEL);
}

// A form that records the mouse-activation question and answers as a not-focusable form would.
class TAskedForm : public TForm {
 public:
  using TForm::TForm;
  std::vector<LPARAM> asked;

 protected:
  void WMMouseActivate(TMessage& m) override {
    asked.push_back(m.LParam);
    TForm::WMMouseActivate(m);
  }
};

TEST_F(FormsTest, APressAsksTheFormWhetherItActivates) {
  ASSERT_TRUE(testsupport::WaitFor([&] { return Screen->ActiveForm() == form; }));
  auto* popup = new TAskedForm(nullptr);
  popup->SetBounds(50, 50, 100, 80);
  popup->SetFocusable(false);
  popup->ShowNoActivate();
  Application->ProcessMessages();
  EXPECT_EQ(Screen->ActiveForm(), form);
  testsupport::MouseClick(popup, 10, 10);
  Application->ProcessMessages();
  ASSERT_EQ(popup->asked.size(), 1u);
  EXPECT_EQ(popup->asked[0], MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
  EXPECT_EQ(Screen->ActiveForm(), form);  // MA_NOACTIVATE: the active form stays

  // A focusable form becomes active by the press.
  popup->SetFocusable(true);
  form->BringToFront();
  ASSERT_TRUE(testsupport::WaitFor([&] { return Screen->ActiveForm() == form; }));
  testsupport::MouseClick(popup, 10, 10);
  EXPECT_TRUE(testsupport::WaitFor([&] { return Screen->ActiveForm() == popup; }));
  EXPECT_EQ(popup->asked.size(), 2u);
  // The active form is not asked again.
  testsupport::MouseClick(popup, 10, 10);
  EXPECT_EQ(popup->asked.size(), 2u);
  delete popup;
}

// A control that records the cancel-mode notices it is given.
class TCancelProbe : public TCustomControl {
 public:
  explicit TCancelProbe(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
  std::vector<TControl*> senders;
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_CANCELMODE) senders.push_back(reinterpret_cast<TControl*>(m.LParam));
    TCustomControl::WndProc(m);
  }
};

TEST_F(FormsTest, ALeftPressTellsTheActiveControlWhichControlWasPressed) {
  auto* active = new TCancelProbe(form);
  active->SetParent(form);
  active->SetBounds(0, 0, 50, 20);
  auto* other = new TCancelProbe(form);
  other->SetParent(form);
  other->SetBounds(0, 40, 50, 20);
  auto* label = new TPaintBox(form);  // windowless
  label->SetParent(form);
  label->SetBounds(100, 0, 50, 20);
  form->SetActiveControl(active);
  testsupport::MouseClick(other, 5, 5);
  testsupport::MouseClick(form, 110, 5);
  testsupport::MouseClick(form, 110, 5, testsupport::Mouse::Right);
  testsupport::MouseClick(active, 5, 5);
  EXPECT_EQ(active->senders, (std::vector<TControl*>{other, label}));
  EXPECT_TRUE(other->senders.empty());
}

// A form whose creation parameters take the title bar away.
class TNoCaptionForm : public TForm {
 public:
  using TForm::TForm;

 protected:
  void CreateParams(TCreateParams& params) override {
    TForm::CreateParams(params);
    params.Style &= ~WS_CAPTION;
  }
};

TEST_F(FormsTest, TheTitleBarFollowsTheCreationParametersAndAShownFormKeepsItsPlace) {
  auto* f = new TNoCaptionForm(nullptr);
  f->SetBorderStyle(bsDialog);
  f->SetBounds(60, 70, 120, 90);
  f->ShowNoActivate();
  Application->ProcessMessages();
  auto* w = static_cast<QWidget*>(f->NativeWidget());
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  // Another kind of window while shown: still shown, where it was, as active as it was, and the
  // form hears of no activation change on the way.
  const bool wasActive = f->Active();
  int activations = 0;
  f->OnActivate = [&](TObject*) { ++activations; };
  f->OnDeactivate = [&](TObject*) { ++activations; };
  f->SetBorderStyle(bsToolWindow);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->pos(), QPoint(60, 70));
  EXPECT_TRUE(w->windowFlags() & Qt::Tool);
  Application->ProcessMessages();
  EXPECT_EQ(f->Active(), wasActive);
  EXPECT_EQ(activations, 0);
  auto* g = new TForm(nullptr);
  g->SetBorderStyle(bsDialog);
  g->HandleNeeded();
  EXPECT_FALSE(static_cast<QWidget*>(g->NativeWidget())->windowFlags() & Qt::FramelessWindowHint);
  delete g;
  delete f;
}

TEST_F(FormsTest, TheSystemMoveCommandReleasesTheCapture) {
  auto* c = new TCancelProbe(form);
  c->SetParent(form);
  c->SetBounds(0, 0, 50, 20);
  SetCaptureControl(c);
  ASSERT_EQ(GetCaptureControl(), c);
  // SC_MOVE with the caption's hit code; the offscreen platform has no move loop of its own.
  form->Perform(WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
  EXPECT_EQ(GetCaptureControl(), nullptr);
  EXPECT_TRUE(form->Visible());
  form->Perform(WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(form->Visible());
}

}  // namespace
