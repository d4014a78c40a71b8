#pragma once
// Fixtures of the I/O tests: the stand-in image view, recording what the I/O component posts to it.
#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_view_link.h"
#include "tests/imaging/core/fake_view.h"
#include "imaging/io/zodazur_io.h"
#include "platform/ui/controls.h"

namespace iotest {

// The shared stand-in view, recording the private messages the component posts to it.
class FakeView : public ietest::FakeView {
 public:
  using ietest::FakeView::FakeView;

  void WndProc(TMessage& m) override {
    if (m.Msg >= IEM_UPDATE && m.Msg <= IEM_FINISHWORK) {
      messages.push_back(m.Msg);
      if (m.Msg == IEM_PROGRESS) progress.push_back(static_cast<int32_t>(m.WParam));
      return;
    }
    ietest::FakeView::WndProc(m);
  }

  std::vector<uint32_t> messages;
  std::vector<int32_t> progress;
};

}  // namespace iotest
