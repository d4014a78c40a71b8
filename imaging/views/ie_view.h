#pragma once
// TIEView: the custom-drawn base of the image views. It keeps the background colour, the border
// style, the image resolution and the bitmap-change callbacks through which the non-visual
// companions (I/O, processing, multi-image I/O) follow the image a view shows. It shows nothing
// itself: what needs an image is given its meaning by the descendants.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/core/ie_view_link.h"
#include "platform/ui/controls.h"

class TIEView : public TCustomControl, public TIEViewLink {
 public:
  explicit TIEView(TComponent* Owner);
  // Tells every registrant once, in registration order, that the view goes away.
  ~TIEView() override;

  // ---- The companion link ----
  TWinControl* ViewControl() override { return this; }
  TIEViewKind ViewKind() override { return ievkView; }
  // Handles are never reused, so a stale handle can never remove another registration.
  TIEBitmapChangeHandle AddBitmapChangeEvent(TIEBitmapChangeEvent Callback) override;
  // Nil or an unknown handle is ignored. Safe inside a callback, for its own handle or another's.
  void RemoveBitmapChangeEvent(TIEBitmapChangeHandle Handle) override;
  // Calls every registered callback with Destroying False, in registration order. Registrations
  // removed during the round are not called; ones added during it wait for the next round.
  virtual void CallBitmapChangeEvents();
  int32_t BitmapChangeEventCount() const { return static_cast<int32_t>(callbacks_.size()); }

  TIEBitmap* GetIEBitmap() override { return nullptr; }
  TBitmap* GetBitmap() override { return nullptr; }
  virtual TIEBitmap* GetAlphaChannel();
  virtual bool HasAlphaChannel();
  virtual void RemoveAlphaChannel();
  void LockPaint() override;
  virtual int32_t UnlockPaint();
  int32_t UnlockPaintNoUpdate() override;

  TColor Background() override { return background_; }
  void SetBackground(TColor Value) override { background_ = Value; }
  int32_t DpiX() override { return dpiX_; }
  int32_t DpiY() override { return dpiY_; }
  // 0 leaves the stored resolution unchanged.
  void SetDpiX(int32_t Value) override;
  void SetDpiY(int32_t Value) override;
  virtual void SetDpi(int32_t X, int32_t Y);

  void DoImageChange() override {}
  void Update() override { TCustomControl::Update(); }
  void LockUpdate() override {}
  void UnlockUpdateNoRefresh() override {}
  TCanvas* GetCanvas() override;

  TBorderStyle BorderStyle() const { return borderStyle_; }
  // A change recreates the window (its frame is a creation parameter); the same value does nothing.
  void SetBorderStyle(TBorderStyle Value);
  void SetCtl3D(bool Value) override;

 protected:
  void CreateParams(TCreateParams& Params) override;

  // What the views' scroll bars share. The origin a scroll-bar message asks for, from the scroll
  // code of its WParam, the line and page steps, the thumb's place in view units and the largest
  // origin; any other code keeps Origin.
  // Shows scroll bar Bar (SB_HORZ, SB_VERT) ranged 0..65535 with Scale view units to a step: the
  // thumb's page ViewSize, its place Origin.
  void ShowScaledScrollBar(int Bar, int32_t ViewSize, int32_t Origin, double Scale);
  static int32_t ScrollTarget(int Code, int32_t Origin, int32_t Line, int32_t Page, int32_t Thumb, int32_t Max);
  // Turns the flat scroll bars on or off (Current holds the setting). Switching them on resets both
  // ranges to 0..65535 and hides both bars until the next refresh shows what is needed; answers
  // whether that happened.
  bool SwitchFlatScrollBars(bool& Current, bool Value);

 private:
  struct CallbackRecord {
    uintptr_t id;
    std::shared_ptr<TIEBitmapChangeEvent> callback;
  };
  std::shared_ptr<TIEBitmapChangeEvent> FindCallback(uintptr_t id) const;

  TBorderStyle borderStyle_ = bsSingle;
  std::vector<CallbackRecord> callbacks_;
  uintptr_t nextHandle_ = 1;
  TColor background_ = clBtnFace;
  int32_t dpiX_ = 0;
  int32_t dpiY_ = 0;
};
