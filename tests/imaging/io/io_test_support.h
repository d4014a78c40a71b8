#pragma once
// Fixtures of the I/O tests: a stand-in image view that implements what the I/O component needs of
// a view and records what the component does to it.
#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/ie_view_link.h"
#include "imaging/io/zodazur_io.h"
#include "platform/ui/controls.h"

namespace iotest {

class FakeView : public TCustomControl, public TIEViewLink {
 public:
  // With a TIEBitmap of its own (WithIEBitmap) or only a framework bitmap (Framework, may be nil).
  explicit FakeView(TComponent* Owner, TIEViewKind Kind = ievkImageView, bool WithIEBitmap = true,
                    TBitmap* Framework = nullptr)
      : TCustomControl(Owner), kind_(Kind), framework_(Framework) {
    if (WithIEBitmap) bitmap_ = std::make_unique<TIEBitmap>(4, 3, ie24RGB);
  }
  // As the views do: every registrant hears once, in order, that the view goes away.
  ~FakeView() override {
    if (!notifyOnDestroy) return;
    while (!callbacks_.empty()) {
      std::unique_ptr<Record> first = std::move(callbacks_.front());
      callbacks_.erase(callbacks_.begin());
      first->callback(this, true);
    }
  }

  TWinControl* ViewControl() override { return this; }
  TIEViewKind ViewKind() override { return kind_; }
  TIEBitmapChangeHandle AddBitmapChangeEvent(TIEBitmapChangeEvent Callback) override {
    callbacks_.push_back(std::make_unique<Record>(Record{std::move(Callback)}));
    return callbacks_.back().get();
  }
  void RemoveBitmapChangeEvent(TIEBitmapChangeHandle Handle) override {
    auto it = std::find_if(callbacks_.begin(), callbacks_.end(), [&](auto& r) { return r.get() == Handle; });
    if (it != callbacks_.end()) callbacks_.erase(it);
  }
  TIEBitmap* GetIEBitmap() override { return bitmap_.get(); }
  TBitmap* GetBitmap() override { return framework_; }
  TColor Background() override { return background_; }
  void SetBackground(TColor Value) override { background_ = Value; }
  int32_t DpiX() override { return dpiX_; }
  int32_t DpiY() override { return dpiY_; }
  void SetDpiX(int32_t Value) override {
    if (Value) dpiX_ = Value;
    dpiSetInsideLock = dpiSetInsideLock && locks > 0;
  }
  void SetDpiY(int32_t Value) override {
    if (Value) dpiY_ = Value;
    dpiSetInsideLock = dpiSetInsideLock && locks > 0;
  }
  void DoImageChange() override { ++imageChanges; }
  void LockUpdate() override { ++locks; }
  void UnlockUpdateNoRefresh() override {
    if (locks > 0) --locks;
  }
  void Update() override { ++updates; }

  // Replaces the shown bitmap and tells the registrants, as a view does.
  void ReplaceBitmap(std::unique_ptr<TIEBitmap> Bitmap) {
    bitmap_ = std::move(Bitmap);
    for (auto& r : callbacks_) r->callback(this, false);
  }
  int32_t CallbackCount() const { return static_cast<int32_t>(callbacks_.size()); }

  void WndProc(TMessage& m) override {
    if (m.Msg >= IEM_UPDATE && m.Msg <= IEM_FINISHWORK) {
      messages.push_back(m.Msg);
      if (m.Msg == IEM_PROGRESS) progress.push_back(static_cast<int32_t>(m.WParam));
      return;
    }
    TCustomControl::WndProc(m);
  }

  bool notifyOnDestroy = true;
  int imageChanges = 0;
  int updates = 0;
  int locks = 0;
  bool dpiSetInsideLock = true;
  std::vector<uint32_t> messages;
  std::vector<int32_t> progress;

 private:
  struct Record {
    TIEBitmapChangeEvent callback;
  };
  TIEViewKind kind_;
  TBitmap* framework_;
  std::unique_ptr<TIEBitmap> bitmap_;
  std::vector<std::unique_ptr<Record>> callbacks_;
  TColor background_ = clBtnFace;
  int32_t dpiX_ = 0, dpiY_ = 0;
};

}  // namespace iotest
