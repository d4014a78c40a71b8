#include "platform/ui/hints.h"

#include <gtest/gtest.h>

#include "platform/ui/ext_ctrls.h"
#include "platform/ui/utility_window.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/timers.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

// A panel whose hint says where the mouse is, in its own colour.
class TWhereHint : public TPanel {
 public:
  using TPanel::TPanel;
  bool refuse = false;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_HINTSHOW) {
      auto* info = reinterpret_cast<THintInfo*>(m.LParam);
      info->HintStr += " at " + std::to_string(info->CursorPos.X);
      info->HintColor = clYellow;
      info->CursorRect = Rect(0, 0, 20, 20);
      m.Result = refuse ? 1 : 0;
      return;
    }
    TPanel::Dispatch(m);
  }
};

class HintTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    Application->SetHintPause(5);
  }
  void TearDown() override {
    Application->CancelHint();
    Application->SetHintPause(500);
    FormTest::TearDown();
  }
};

TEST_F(HintTest, ARestingMouseShowsTheShortHintAndTheApplicationTakesTheLongOne) {
  auto* panel = new TWhereHint(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 100, 60);
  panel->SetHint("Frames|The frame list");
  panel->SetShowHint(true);
  std::vector<std::string> statusLine;
  Application->OnHint = [&](TObject*) { statusLine.push_back(Application->Hint()); };

  testsupport::MouseEnter(panel, 5, 5);
  testsupport::MouseMove(panel, 6, 5);
  EXPECT_EQ(Application->Hint(), "The frame list");
  ASSERT_TRUE(testsupport::WaitFor([] { return CurrentHintWindow() != nullptr; }));
  THintWindow* hint = CurrentHintWindow();
  EXPECT_EQ(hint->Caption().rfind("Frames at ", 0), 0u);
  EXPECT_EQ(hint->Color(), clYellow);
  EXPECT_GT(hint->Width(), 20);

  // Leaving the rectangle the control gave hides it.
  testsupport::MouseMove(panel, 50, 40);
  EXPECT_EQ(CurrentHintWindow(), nullptr);
  testsupport::MouseLeave(panel);
  Application->ProcessMessages();
  EXPECT_EQ(Application->Hint(), "");
  EXPECT_EQ(statusLine, (std::vector<std::string>{"The frame list", ""}));
  Application->OnHint = nullptr;

  // A control that answers CM_HINTSHOW with 1 shows none.
  panel->refuse = true;
  Application->ActivateHint(panel->ClientToScreen(Point(5, 5)));
  EXPECT_EQ(CurrentHintWindow(), nullptr);
}

// A hint window of its own class, which a control asks for in CM_HINTSHOW.
class TFancyHint : public THintWindow {
 public:
  using THintWindow::THintWindow;
};

class TFancyHintPanel : public TPanel {
 public:
  using TPanel::TPanel;
  bool fancy = true;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_HINTSHOW && fancy) reinterpret_cast<THintInfo*>(m.LParam)->HintWindowClass = &MakeHintWindow<TFancyHint>;
    TPanel::Dispatch(m);
  }
};

TEST_F(HintTest, TheHintShowsInTheWindowClassTheControlAsksFor) {
  auto* panel = new TFancyHintPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 100, 60);
  panel->SetHint("Fancy");
  panel->SetShowHint(true);
  Application->ActivateHint(panel->ClientToScreen(Point(5, 5)));
  ASSERT_NE(CurrentHintWindow(), nullptr);
  EXPECT_NE(dynamic_cast<TFancyHint*>(CurrentHintWindow()), nullptr);
  EXPECT_EQ(CurrentHintWindow()->Caption(), "Fancy");
  // Without a class the standard window shows again.
  Application->HideHint();
  panel->fancy = false;
  Application->ActivateHint(panel->ClientToScreen(Point(5, 5)));
  ASSERT_NE(CurrentHintWindow(), nullptr);
  EXPECT_EQ(dynamic_cast<TFancyHint*>(CurrentHintWindow()), nullptr);
}

TEST(UtilityWindows, MessagesAndTimersReachTheMethod) {
  std::vector<UINT> seen;
  HWND h = AllocateHWnd([&](TMessage& m) {
    if (m.Msg >= WM_USER || m.Msg == WM_TIMER) seen.push_back(m.Msg);
  });
  ASSERT_NE(h, nullptr);
  PostMessage(h, WM_USER + 3, 0, 0);
  SetTimer(h, 1, 5);
  EXPECT_TRUE(testsupport::WaitFor([&] { return seen.size() >= 2; }));
  KillTimer(h, 1);
  EXPECT_EQ(seen.front(), WM_USER + 3);
  EXPECT_EQ(seen.back(), WM_TIMER);
  DeallocateHWnd(h);
  EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0));
}

}  // namespace
