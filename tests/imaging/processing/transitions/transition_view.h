#pragma once
// The stand-in view of the view's companions, grown by what the transition engine needs of a view:
// a paint lock it counts, a canvas that is a framework bitmap standing for the window's surface,
// and a background painter it counts.
#include <memory>

#include "platform/gdi/bitmap.h"
#include "tests/imaging/core/fake_view.h"

namespace transition_test {

class TransitionView : public ietest::FakeView {
 public:
  explicit TransitionView(TIEViewKind Kind = ievkImageView, int32_t Width = 64, int32_t Height = 64)
      : FakeView(nullptr, Kind), screen_(std::make_unique<TBitmap>()) {
    screen_->SetPixelFormat(pf24bit);
    screen_->SetSize(Width, Height);
    SetBackground(clBlack);
  }

  void LockPaint() override { ++paintLocks; }
  int32_t UnlockPaintNoUpdate() override {
    if (paintLocks > 0) --paintLocks;
    ++paintUnlocks;
    return paintLocks;
  }
  TCanvas* GetCanvas() override { return screen_->Canvas(); }
  void PaintBackgroundTo(TCanvas* Canvas) override {
    ++backgroundPaints;
    Canvas->Brush()->SetColor(backgroundStyleColor);
    Canvas->FillRect(Rect(0, 0, screen_->Width(), screen_->Height()));
  }

  TBitmap& Screen() { return *screen_; }

  // The colour PaintBackgroundTo fills with (a view's background style draws its own way).
  TColor backgroundStyleColor = clLime;
  int paintLocks = 0;
  int paintUnlocks = 0;
  int backgroundPaints = 0;

 private:
  std::unique_ptr<TBitmap> screen_;
};

}  // namespace transition_test
