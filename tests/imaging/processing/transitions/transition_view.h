#pragma once
// A stand-in view for the transition engine: it counts its paint locks, updates and background
// paints, and its canvas is a framework bitmap standing for the window's surface.
#include <memory>
#include <vector>

#include "imaging/core/ie_view_link.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/controls.h"

namespace transition_test {

class TransitionView : public TCustomControl, public TIEViewLink {
 public:
  explicit TransitionView(TIEViewKind Kind = ievkImageView, int32_t Width = 64, int32_t Height = 64)
      : TCustomControl(nullptr), kind_(Kind), screen_(std::make_unique<TBitmap>()) {
    screen_->SetPixelFormat(pf24bit);
    screen_->SetSize(Width, Height);
  }

  TWinControl* ViewControl() override { return this; }
  TIEViewKind ViewKind() override { return kind_; }
  TIEBitmapChangeHandle AddBitmapChangeEvent(TIEBitmapChangeEvent) override { return this; }
  void RemoveBitmapChangeEvent(TIEBitmapChangeHandle) override {}
  TIEBitmap* GetIEBitmap() override { return nullptr; }
  TBitmap* GetBitmap() override { return nullptr; }
  TColor Background() override { return background; }
  void SetBackground(TColor Value) override { background = Value; }
  int32_t DpiX() override { return 0; }
  int32_t DpiY() override { return 0; }
  void SetDpiX(int32_t) override {}
  void SetDpiY(int32_t) override {}
  void DoImageChange() override {}
  void LockUpdate() override {}
  void UnlockUpdateNoRefresh() override {}
  void Update() override { ++updates; }

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

  TColor background = clBlack;
  // The colour PaintBackgroundTo fills with (a view's background style draws its own way).
  TColor backgroundStyleColor = clLime;
  int paintLocks = 0;
  int paintUnlocks = 0;
  int updates = 0;
  int backgroundPaints = 0;

 private:
  TIEViewKind kind_;
  std::unique_ptr<TBitmap> screen_;
};

}  // namespace transition_test
