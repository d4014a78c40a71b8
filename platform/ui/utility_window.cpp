#include "platform/ui/utility_window.h"

#include "platform/ui/controls.h"
#include "platform/ui/qt_window_p.h"

namespace {

// A hidden window without a parent whose window procedure is the method; what the method leaves
// unanswered gets 0.
class TUtilityWindow : public TWinControl {
 public:
  explicit TUtilityWindow(TWndMethod method) : TWinControl(nullptr), method_(std::move(method)) { visible_ = false; }
  void WndProc(TMessage& m) override {
    if (method_) method_(m);
  }

 private:
  TWndMethod method_;
};

}  // namespace

HWND AllocateHWnd(TWndMethod method) {
  auto* w = new TUtilityWindow(std::move(method));
  w->HandleNeeded();
  return w->Handle();
}

void DeallocateHWnd(HWND window) {
  if (auto* w = dynamic_cast<TUtilityWindow*>(FindControl(window))) delete w;
}
