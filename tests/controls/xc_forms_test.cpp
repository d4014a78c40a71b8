#include "controls/xc_forms.h"

#include <gtest/gtest.h>

#include "platform/ui/message_queue.h"
#include "platform/ui/timers.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using FormTest = testsupport::FormTest;

TEST(XcForm, WithoutAModalActiveFormTheOwnerIsTheMainFormThenNone) {
  TForm self(nullptr), other(nullptr), mainForm(nullptr);
  // (An active form shown modally comes first: see the next test, which shows one.)
  struct Case {
    TCustomForm* active;
    TCustomForm* main;
    TCustomForm* expected;
  } cases[] = {
      {&other, &mainForm, &mainForm},  // the active form is not modal: the main form
      {&self, &mainForm, &mainForm},
      {nullptr, &mainForm, &mainForm},
      {nullptr, nullptr, nullptr},     // the application's window
      {nullptr, &self, nullptr},       // the main form itself
      {&other, nullptr, nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseOwnerForm(&self, c.active, c.main), c.expected);
}

TEST_F(FormTest, ShownWhileAModalDialogIsActiveTheDialogOwnsIt) {
  auto* dialog = new TForm(nullptr);
  dialog->SetBounds(40, 40, 120, 80);
  auto* popup = new TXcForm(nullptr);
  popup->SetBounds(60, 60, 80, 50);
  TCustomForm* ownerSeen = nullptr;
  TCustomForm* mainOwner = nullptr;
  TTimer timer(nullptr);
  timer.SetInterval(5);
  timer.SetOnTimer([&](TObject*) {
    if (Screen->ActiveForm() != dialog) return;
    timer.SetEnabled(false);
    popup->Show();
    ownerSeen = popup->OwnerForm();
    popup->Hide();
    dialog->SetModalResult(mrOk);
  });
  TCustomForm* oldMain = Application->MainForm();
  Application->SetMainForm(form);
  dialog->ShowModal();
  // Without a modal dialog the main form owns it; the main form itself gets none.
  popup->Show();
  mainOwner = popup->OwnerForm();
  popup->Hide();
  Application->SetMainForm(popup);
  popup->Show();
  EXPECT_EQ(popup->OwnerForm(), nullptr);
  popup->Hide();
  // A stay-on-top form has no owner form either.
  Application->SetMainForm(form);
  popup->SetFormStyle(fsStayOnTop);
  popup->Show();
  EXPECT_EQ(popup->OwnerForm(), nullptr);
  Application->SetMainForm(oldMain);
  EXPECT_EQ(ownerSeen, dialog);
  EXPECT_EQ(mainOwner, form);
  delete popup;
  delete dialog;
}

TEST_F(FormTest, KeyboardCuesFollowTabArrowsAndAlt) {
  auto* f = new TXcExForm(nullptr);
  f->SetBounds(30, 30, 100, 80);
  auto state = [&] { return f->Perform(WM_QUERYUISTATE, 0, 0); };
  struct Case {
    uint16_t key;
    LRESULT expected;
  } cases[] = {
      {VK_TAB, UISF_HIDEACCEL},                   // focus rectangles show
      {VK_LEFT, UISF_HIDEACCEL},
      {VK_DOWN, UISF_HIDEACCEL},
      {VK_MENU, 0},                               // and accelerator underlines too
      {'A', UISF_HIDEFOCUS | UISF_HIDEACCEL},     // another key changes nothing
      {VK_RETURN, UISF_HIDEFOCUS | UISF_HIDEACCEL},
  };
  for (const Case& c : cases) {
    f->Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    f->Perform(CM_DIALOGKEY, c.key, 0);
    EXPECT_EQ(state(), c.expected) << c.key;
  }
  // Showing computes the state afresh first: after a click, the cues hide.
  f->Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  testsupport::MouseClick(form, 1, 1);
  f->Show();
  Application->ProcessMessages();
  EXPECT_EQ(state(), UISF_HIDEFOCUS | UISF_HIDEACCEL);
  delete f;
}

TEST_F(FormTest, APressOnANotFocusableFormShownWithoutActivationKeepsTheActiveForm) {
  ASSERT_TRUE(testsupport::WaitFor([&] { return Screen->ActiveForm() == form; }));
  auto* popup = new TXcForm(nullptr);
  EXPECT_TRUE(popup->IsFocusable());
  popup->SetIsFocusable(false);
  popup->SetBounds(50, 50, 100, 80);
  int activations = 0;
  popup->OnActivate = [&](TObject*) { ++activations; };
  popup->ShowNoActivate(true);
  EXPECT_EQ(activations, 1);  // its activation handling ran, without activating it
  Application->ProcessMessages();
  EXPECT_TRUE(popup->Visible());
  EXPECT_EQ(Screen->ActiveForm(), form);
  EXPECT_EQ(popup->Perform(WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
  testsupport::MouseClick(popup, 10, 10);
  Application->ProcessMessages();
  EXPECT_EQ(Screen->ActiveForm(), form);
  popup->SetIsFocusable(true);
  EXPECT_EQ(popup->Perform(WM_MOUSEACTIVATE, 0, 0), MA_ACTIVATE);
  delete popup;
}

TEST_F(FormTest, PendingEnableMessagesRunBeforeTheModalDisplay) {
  auto* dialog = new TXcForm(nullptr);
  std::vector<std::string> log;
  struct TEnableProbe : TCustomControl {
    using TCustomControl::TCustomControl;
    std::vector<std::string>* log = nullptr;
    void WndProc(TMessage& m) override {
      if (m.Msg == WM_ENABLE) log->push_back("enable");
      TCustomControl::WndProc(m);
    }
  };
  auto* probe = new TEnableProbe(form);
  probe->log = &log;
  probe->SetParent(form);
  PostMessage(probe->Handle(), WM_ENABLE, 1, 0);
  dialog->OnShow = [&](TObject*) {
    log.push_back("shown");
    dialog->SetModalResult(mrCancel);
  };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(log, (std::vector<std::string>{"enable", "shown"}));
  delete dialog;
}

}  // namespace
