// The messages a window hears from the wheel and the keyboard: the wheel in whole notches (the
// rest carried to the next event, sideways swipes never a notch), and each key press and release
// reflected to the control first (CN_) and then sent to the window, the Alt forms while Alt is
// held.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/messages.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using InputMessagesTest = testsupport::FormTest;

class TRecorder : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  struct Heard {
    UINT msg;
    int delta;
  };
  std::vector<Heard> heard;

  void WndProc(TMessage& m) override {
    switch (m.Msg) {
      case WM_MOUSEWHEEL:
        heard.push_back({m.Msg, static_cast<int16_t>(HIWORD(m.WParam))});
        m.Result = 1;  // taken here: nothing goes to the form
        return;
      case CN_KEYDOWN: case CN_KEYUP: case CN_SYSKEYDOWN: case CN_SYSKEYUP:
      case WM_KEYDOWN: case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP:
        heard.push_back({m.Msg, 0});
        break;
      default: break;
    }
    TCustomControl::WndProc(m);
  }
};

TEST_F(InputMessagesTest, WheelMessagesComeInWholeNotches) {
  auto* c = new TRecorder(form);
  c->SetParent(form);
  c->SetBounds(0, 0, 100, 100);
  struct Step {
    int angle, sideways;
    std::vector<int> deltas;  // the WM_MOUSEWHEEL deltas this event gives
  } steps[] = {
      {40, 0, {}},       // a third of a notch
      {40, 0, {}},       // two thirds
      {40, 0, {120}},    // one notch, nothing left
      {300, 0, {240}},   // two notches, 60 left over
      {-180, 0, {-120}}, // back: 60 - 180 = -120
      {0, 120, {}},      // a sideways swipe is no notch
      {-119, 0, {}},     // not yet a notch the other way
      {119, 0, {}},      // back to nothing
      {120, 0, {120}},
  };
  for (const Step& s : steps) {
    c->heard.clear();
    testsupport::MouseWheel(c, 50, 50, s.angle, s.sideways);
    std::vector<int> got;
    for (const TRecorder::Heard& h : c->heard)
      if (h.msg == WM_MOUSEWHEEL) got.push_back(h.delta);
    EXPECT_EQ(got, s.deltas) << "angle " << s.angle << " sideways " << s.sideways;
  }
}

TEST_F(InputMessagesTest, KeysAreReflectedBeforeTheWindowHearsThem) {
  auto* c = new TRecorder(form);
  c->SetParent(form);
  c->SetBounds(0, 0, 100, 100);
  struct Case {
    bool alt;
    std::vector<UINT> order;
  } cases[] = {
      {false, {CN_KEYDOWN, WM_KEYDOWN, CN_KEYUP, WM_KEYUP}},
      {true, {CN_SYSKEYDOWN, WM_SYSKEYDOWN, CN_SYSKEYUP, WM_SYSKEYUP}},
  };
  for (const Case& k : cases) {
    c->heard.clear();
    testsupport::KeyPress(c, VK_F5, "", k.alt);
    std::vector<UINT> got;
    for (const TRecorder::Heard& h : c->heard) got.push_back(h.msg);
    EXPECT_EQ(got, k.order) << "alt " << k.alt;
  }
}

}  // namespace
