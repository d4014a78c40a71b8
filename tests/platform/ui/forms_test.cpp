#include "platform/ui/forms.h"

#include <gtest/gtest.h>

#include "platform/ui/controls.h"
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

}  // namespace
