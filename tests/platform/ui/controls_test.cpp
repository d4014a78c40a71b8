#include "platform/ui/controls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <typeinfo>
#include <vector>

#include "platform/ui/dialogs.h"
#include "platform/ui/edit_ctrls.h"
#include "platform/ui/ext_ctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/list_ctrls.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/std_ctrls.h"
#include "platform/ui/timers.h"
#include "platform/ui/windowed.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

constexpr UINT WM_PING = WM_USER + 7;

// A windowed control that takes WM_PING itself, counts what it passes on, and logs enter/leave.
class TProbe : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string> log;
  std::vector<LPARAM> childNotices;
  int pings = 0;
  int passedOn = 0;
  bool wantsKeys = false;

  void WndProc(TMessage& m) override {
    if (m.Msg == WM_PING) {
      ++pings;
      m.Result = 42;
      return;  // intercepted: the base class never sees it
    }
    if (m.Msg == CM_MOUSEENTER && m.LParam == 0) log.push_back("enter " + Name());
    if (m.Msg == CM_MOUSELEAVE && m.LParam == 0) log.push_back("leave " + Name());
    if ((m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE) && m.LParam != 0) childNotices.push_back(m.LParam);
    if (m.Msg == CM_TEXTCHANGED) ++passedOn;
    TCustomControl::WndProc(m);  // everything else goes on to the framework's handling
  }

 protected:
  void WMGetDlgCode(TMessage& m) override { m.Result = wantsKeys ? DLGC_WANTALLKEYS : 0; }
};

class TGraphicProbe : public TGraphicControl {
 public:
  TGraphicProbe(TComponent* owner, std::vector<std::string>* log) : TGraphicControl(owner), log_(log) {}
  int downs = 0;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_MOUSEENTER && m.LParam == 0) log_->push_back("enter " + Name());
    if (m.Msg == CM_MOUSELEAVE && m.LParam == 0) log_->push_back("leave " + Name());
    TGraphicControl::Dispatch(m);
  }
  void MouseDown(TMouseButton, TShiftState, int, int) override { ++downs; }

 private:
  std::vector<std::string>* log_;
};

using UiTest = testsupport::FormTest;

// The windowed test remembers its answers per class: more classes than it keeps, asked in turn and
// again, give the type system's answer every time.
TEST_F(UiTest, AsWindowedAnswersAsTheCastDoesForEveryClass) {
  TForm form(nullptr);
  std::vector<TControl*> controls = {new TProbe(&form),  new TGraphicProbe(&form, nullptr), new TPanel(&form),
                                     new TBevel(&form),  new TShape(&form),        new TImage(&form),
                                     new TPaintBox(&form), new TButton(&form),     new TLabel(&form),
                                     new TEdit(&form),   new TListBox(&form),      &form};
  for (int round = 0; round < 3; ++round)
    for (TControl* c : controls) EXPECT_EQ(AsWindowed(c), dynamic_cast<TWinControl*>(c)) << typeid(*c).name();
  EXPECT_EQ(AsWindowed(nullptr), nullptr);
}

TEST_F(UiTest, SubclassInterceptsOneMessageAndPassesTheRestOn) {
  auto* probe = new TProbe(form);
  probe->SetParent(form);
  EXPECT_EQ(probe->Perform(WM_PING, 0, 0), 42);
  EXPECT_EQ(probe->pings, 1);
  probe->SetCaption("x");
  EXPECT_EQ(probe->passedOn, 1);
  EXPECT_EQ(probe->Caption(), "x");
  // Messages sent by handle reach the same window procedure.
  EXPECT_EQ(SendMessage(probe->Handle(), WM_PING, 0, 0), 42);
  EXPECT_EQ(probe->pings, 2);
}

TEST_F(UiTest, EnterAndLeaveOfAWindowlessControlInsideAWindowedOne) {
  auto* panel = new TProbe(form);
  panel->SetName("Panel");
  panel->SetParent(form);
  panel->SetBounds(0, 0, 200, 100);
  auto* shape = new TGraphicProbe(form, &panel->log);
  shape->SetName("Shape");
  shape->SetParent(panel);
  shape->SetBounds(50, 20, 40, 30);
  Application->ProcessMessages();

  testsupport::MouseEnter(panel, 5, 5);
  testsupport::MouseMove(panel, 60, 30);  // onto the shape
  testsupport::MouseMove(panel, 70, 35);  // still on it: nothing new
  testsupport::MouseMove(panel, 150, 80);  // off it, still in the panel
  testsupport::MouseLeave(panel);
  Application->ProcessMessages();
  EXPECT_EQ(panel->log, (std::vector<std::string>{"enter Panel", "leave Panel", "enter Shape", "leave Shape",
                                                  "enter Panel", "leave Panel"}));
  EXPECT_FALSE(shape->IsMouseInside());

  // Mouse presses over the shape are its own, in its coordinates.
  testsupport::MouseClick(panel, 60, 30);
  EXPECT_EQ(shape->downs, 1);
}

// A subclass that fires the enter and leave events itself, around handing the notification on to
// the framework's handling inside a TMouseEventsMuted.
class TSelfFiring : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string>* log = nullptr;

  void WndProc(TMessage& m) override {
    if (m.Msg == CM_MOUSEENTER) {
      if (OnMouseEnter) OnMouseEnter(this);
      log->push_back("deliver enter");
      TMouseEventsMuted muted(this);
      TCustomControl::WndProc(m);
      return;
    }
    if (m.Msg == CM_MOUSELEAVE) {
      {
        TMouseEventsMuted muted(this);
        TCustomControl::WndProc(m);
      }
      log->push_back("delivered leave");
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    }
    TCustomControl::WndProc(m);
  }
};

TEST_F(UiTest, MutedMouseNotificationKeepsTheFlagAndTheParentButFiresNoEvent) {
  auto* parent = new TProbe(form);
  parent->SetName("Parent");
  parent->SetParent(form);
  parent->SetBounds(0, 0, 200, 100);
  auto* child = new TSelfFiring(form);
  child->SetParent(parent);
  child->SetBounds(10, 10, 50, 50);
  std::vector<std::string> log;
  child->log = &log;
  child->OnMouseEnter = [&](TObject* s) { log.push_back(s == child ? "enter event" : "enter event (other)"); };
  child->OnMouseLeave = [&](TObject* s) { log.push_back(s == child ? "leave event" : "leave event (other)"); };
  parent->OnMouseEnter = [&](TObject*) { log.push_back("parent event"); };

  child->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(child->IsMouseInside());
  child->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(child->IsMouseInside());
  // Each event once, in the subclass's order; the parent heard of the child (lParam = the child),
  // which fires nothing of the parent's own.
  EXPECT_EQ(log, (std::vector<std::string>{"enter event", "deliver enter", "delivered leave", "leave event"}));
  auto self = reinterpret_cast<LPARAM>(static_cast<TControl*>(child));
  EXPECT_EQ(parent->childNotices, (std::vector<LPARAM>{self, self}));

  // Outside the muted scope the framework fires the events as usual.
  auto* plain = new TCustomControl(form);
  plain->SetParent(parent);
  int plainEnters = 0;
  plain->OnMouseEnter = [&](TObject*) { ++plainEnters; };
  plain->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(plainEnters, 1);
}

TEST_F(UiTest, PostMessageFromAWorkerThreadRunsOnTheUiThread) {
  auto* probe = new TProbe(form);
  probe->SetParent(form);
  HWND h = probe->Handle();
  std::thread worker([h] {
    for (int i = 0; i < 5; ++i) PostMessage(h, WM_PING, 0, 0);
  });
  worker.join();
  EXPECT_EQ(probe->pings, 0);  // nothing runs before messages are processed
  EXPECT_TRUE(testsupport::WaitFor([&] { return probe->pings == 5; }));

  // A pending message can be taken back; one for a freed window is dropped.
  PostMessage(h, WM_PING, 0, 0);
  PostMessage(h, WM_PING, 1, 0);
  MSG msg;
  EXPECT_TRUE(PeekMessage(&msg, h, WM_PING, WM_PING, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 0u);
  delete probe;
  EXPECT_FALSE(PostMessage(h, WM_PING, 0, 0));
  Application->ProcessMessages();
}

TEST_F(UiTest, ModalFormAnsweredByClickingItsButton) {
  auto* dialog = new TForm(nullptr);
  auto* ok = new TButton(dialog);
  ok->SetParent(dialog);
  ok->SetCaption("OK");
  ok->SetModalResult(mrOk);
  bool shownModal = false;
  TTimer timer(nullptr);
  timer.SetInterval(10);
  timer.SetOnTimer([&](TObject*) {
    timer.SetEnabled(false);
    shownModal = dialog->Modal() && dialog->Showing();
    testsupport::MouseClick(ok, 5, 5);
  });
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_TRUE(shownModal);
  EXPECT_FALSE(dialog->Visible());

  // Closing a modal form answers mrCancel; OnCloseQuery may refuse once.
  int asked = 0;
  dialog->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++asked > 1; };
  timer.SetOnTimer([&](TObject*) { dialog->Close(); });
  timer.SetEnabled(true);
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
  delete dialog;
}

TEST_F(UiTest, EnterAndEscapeGoToTheDefaultAndCancelButtons) {
  auto* edit = new TProbe(form);
  edit->SetParent(form);
  edit->SetTabStop(true);
  auto* okButton = new TButton(form);
  okButton->SetParent(form);
  okButton->SetDefault(true);
  auto* cancelButton = new TButton(form);
  cancelButton->SetParent(form);
  cancelButton->SetCancel(true);
  std::vector<std::string> clicks;
  okButton->OnClick = [&](TObject*) { clicks.push_back("ok"); };
  cancelButton->OnClick = [&](TObject*) { clicks.push_back("cancel"); };
  form->FocusControl(edit);

  testsupport::KeyPress(edit, VK_RETURN, "\r");
  testsupport::KeyPress(edit, VK_ESCAPE, "\x1b");
  EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel"}));
  // A control that wants every key keeps Enter for itself.
  edit->wantsKeys = true;
  testsupport::KeyPress(edit, VK_RETURN, "\r");
  EXPECT_EQ(clicks.size(), 2u);
  // The accelerator of a caption clicks its button.
  cancelButton->SetCaption("&Stop");
  edit->wantsKeys = false;
  testsupport::KeyPress(edit, 'S', "", true);
  EXPECT_EQ(clicks.back(), "cancel");
  EXPECT_EQ(clicks.size(), 3u);
}

TEST_F(UiTest, TimerFiresUntilDisabled) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(5);
  timer.OnTimer = nullptr;
  timer.SetOnTimer([&](TObject* sender) {
    EXPECT_EQ(sender, &timer);
    if (++ticks == 3) timer.SetEnabled(false);
  });
  EXPECT_TRUE(testsupport::WaitFor([&] { return ticks >= 3; }));
  testsupport::WaitFor([] { return false; }, 50);
  EXPECT_EQ(ticks, 3);

  // A handler assigned directly, after the interval, runs as well.
  TTimer direct(nullptr);
  direct.SetInterval(5);
  int directTicks = 0;
  direct.OnTimer = [&](TObject*) { ++directTicks; };
  EXPECT_TRUE(testsupport::WaitFor([&] { return directTicks >= 1; }));
}

TEST_F(UiTest, ExceptionInAClickHandlerReachesApplicationOnException) {
  auto* button = new TButton(form);
  button->SetParent(form);
  button->OnClick = [](TObject*) { throw EInvalidOperation("Boom"); };
  std::vector<std::string> caught;
  Application->OnException = [&](TObject*, const Exception& e) { caught.push_back(e.Message()); };
  testsupport::MouseClick(button, 5, 5);
  EXPECT_EQ(caught, (std::vector<std::string>{"Boom"}));

  // Without a handler the standard message box shows the message (answered here by the test).
  Application->OnException = nullptr;
  std::vector<std::string> boxes;
  auto old = SetDialogResponder([&](const TDialogRequest& r, TDialogAnswer& a) {
    boxes.push_back(r.Kind + ":" + r.Text);
    a.Result = IDOK;
    return true;
  });
  testsupport::MouseClick(button, 5, 5);
  SetDialogResponder(old);
  EXPECT_EQ(boxes, (std::vector<std::string>{"MessageBox:Boom."}));
}

TEST_F(UiTest, AlignmentAnchorsAndConstraints) {
  auto* top = new TProbe(form);
  top->SetParent(form);
  top->SetHeight(30);
  top->SetAlign(alTop);
  auto* client = new TProbe(form);
  client->SetParent(form);
  client->SetAlign(alClient);
  auto* anchored = new TProbe(form);
  anchored->SetParent(form);
  anchored->SetBounds(250, 150, 40, 40);
  anchored->SetAnchors(akRight | akBottom);
  TRect c = form->ClientRect();
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, c.Right, 30));
  EXPECT_EQ(client->BoundsRect(), Rect(0, 30, c.Right, c.Bottom));
  int gapR = c.Right - anchored->Left(), gapB = c.Bottom - anchored->Top();
  form->SetBounds(form->Left(), form->Top(), 400, 300);
  c = form->ClientRect();
  EXPECT_EQ(client->BoundsRect(), Rect(0, 30, c.Right, c.Bottom));
  EXPECT_EQ(c.Right - anchored->Left(), gapR);
  EXPECT_EQ(c.Bottom - anchored->Top(), gapB);
  client->Constraints()->SetMaxWidth(100);
  EXPECT_EQ(client->Width(), 100);
}

}  // namespace

#include "platform/system/threads.h"

namespace {

// A worker's synchronised call runs on the UI thread while the UI thread waits for that worker.
TEST_F(UiTest, SynchronizeServedWhileTheUiThreadWaits) {
  std::atomic<bool> ranOnUi{false};
  std::thread::id ui = std::this_thread::get_id();
  class TWorker : public TThread {
   public:
    TWorker(std::atomic<bool>* flag, std::thread::id ui) : TThread(true), flag_(flag), ui_(ui) {}
    void Execute() override {
      Synchronize([this] { *flag_ = std::this_thread::get_id() == ui_; });
    }
    std::atomic<bool>* flag_;
    std::thread::id ui_;
  };
  TWorker worker(&ranOnUi, ui);
  worker.Start();
  worker.WaitFor();
  EXPECT_TRUE(ranOnUi);
}

// A window that the user moves by its inside: more than 5 pixels from its left edge is its caption.
class TMovableProbe : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int presses = 0, enters = 0, exits = 0;

  void WndProc(TMessage& m) override {
    switch (m.Msg) {
      case WM_NCHITTEST: {
        TCustomControl::WndProc(m);
        TPoint p = ScreenToClient(Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)));
        if (m.Result == HTCLIENT && p.X > 5) m.Result = HTCAPTION;
        return;
      }
      case WM_LBUTTONDOWN: ++presses; break;
      case WM_ENTERSIZEMOVE: ++enters; break;
      case WM_EXITSIZEMOVE: ++exits; break;
      default: break;
    }
    TCustomControl::WndProc(m);
  }
};

TEST_F(UiTest, AChildAnsweringHtCaptionIsMovedWithTheMouseInsideItsParent) {
  auto* probe = new TMovableProbe(form);
  probe->SetParent(form);
  probe->SetBounds(20, 20, 60, 40);
  // Pressed at (30, 30) of the form, moved by (10, 15), then by (-4, 2) more.
  testsupport::MouseDown(probe, 10, 10);
  EXPECT_EQ(probe->enters, 1);
  testsupport::MouseMove(form, 40, 45);
  EXPECT_EQ(probe->Left(), 30);
  EXPECT_EQ(probe->Top(), 35);
  testsupport::MouseMove(form, 36, 47);
  testsupport::MouseUp(form, 36, 47);
  EXPECT_EQ(probe->Left(), 26);
  EXPECT_EQ(probe->Top(), 37);
  EXPECT_EQ(probe->exits, 1);
  EXPECT_EQ(probe->presses, 0);  // a press on the caption is the move's, not the window's
  // Later moves move nothing; a press in the client part is an ordinary press.
  testsupport::MouseMove(form, 60, 60);
  EXPECT_EQ(probe->Left(), 26);
  testsupport::MouseDown(probe, 2, 10);
  testsupport::MouseUp(probe, 2, 10);
  EXPECT_EQ(probe->presses, 1);
  EXPECT_EQ(probe->enters, 1);
}

}  // namespace
