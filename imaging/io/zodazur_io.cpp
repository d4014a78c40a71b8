// TZodazUrIO: creation, attachment, checks and updates around loads and saves, notifications,
// resolution handling, acquisition and the save-parameters dialog.
#include "imaging/io/zodazur_io.h"

#include "imaging/io/ie_direct_show.h"

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/ie_wia.h"
#include "imaging/io/io_threads.h"
#include "imaging/io/print_preview_params.h"
#include "imaging/io/square_pixels.h"
#include "imaging/io/twain_params.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/picture.h"
#include "platform/ui/controls.h"
#include "platform/ui/ext_ctrls.h"
#include "platform/ui/message_queue.h"

TIEPreviewsDialogFunc IOPreviewsDialog = nullptr;

namespace {

// The working bitmap in ie24RGB (ie1g stays) for the save-parameters dialog.
void ConvertTo24(TIEBitmap& bitmap) {
  const TIEPixelFormat format = bitmap.PixelFormat();
  if (format == ie24RGB || format == ie1g || bitmap.IsEmpty()) return;
  bitmap.SetPixelFormat(ie24RGB);
}

}  // namespace

TZodazUrIO::TZodazUrIO(TComponent* Owner) : TComponent(Owner) {
  NewOwnBitmap();
  params_ = std::make_unique<TIOParamsVals>(this);
  twainParams_ = std::make_unique<TIETWainParams>(this, false);
  previewFont_ = std::make_unique<TFont>();
  printPreviewParams_ = std::make_unique<TIOPrintPreviewParams>();
}

std::unique_ptr<TZodazUrIO> TZodazUrIO::CreateFromBitmap(TIEBitmap* Bitmap) {
  auto io = std::make_unique<TZodazUrIO>(nullptr);
  io->SetAttachedIEBitmap(Bitmap);
  return io;
}

TIEWia* TZodazUrIO::GetWia() {
  if (!wia_) {
    wia_ = std::make_unique<TIEWia>(this);
    wia_->OnTransfer = [this](TIEWia* Sender, int32_t Percentage) { return WiaProgress(Sender, Percentage); };
  }
  return wia_.get();
}

bool TZodazUrIO::WiaProgress(TIEWia*, int32_t Percentage) {
  DoProgress(this, Percentage);
  return !Aborting();
}

TZodazUrIO::~TZodazUrIO() {
  // Every queued call has been made and the worker joined before the lock and queue go.
  WaitThreads(false);
  CloseMediaFile();
  directShow_.reset();
  CloseAVIFile();
  UnregisterFromView();
  if (attachedTImage_) RemoveFreeNotification(attachedTImage_);
  params_.reset();
  twainParams_.reset();
  wia_.reset();
  printPreviewParams_.reset();
  previewFont_.reset();
  ownBitmap_.reset();
  workBitmap_ = nullptr;
}

// ----------------------------------------------------------------------------------- attachment

void TZodazUrIO::NewOwnBitmap() {
  ownBitmap_ = std::make_unique<TIEBitmap>();
  ownBitmap_->SetBWConversion(bwConversion_);
  workBitmap_ = ownBitmap_.get();
}

void TZodazUrIO::UnregisterFromView() {
  if (!attachedView_) return;
  if (viewHandle_) attachedView_->RemoveBitmapChangeEvent(viewHandle_);
  RemoveFreeNotification(attachedViewControl_);
  attachedView_ = nullptr;
  attachedViewControl_ = nullptr;
  viewHandle_ = nullptr;
  viewWindow_ = nullptr;
}

void TZodazUrIO::DetachImage() {
  if (!attachedTImage_) return;
  RemoveFreeNotification(attachedTImage_);
  attachedTImage_ = nullptr;
  attachedBitmap_ = nullptr;
  // The wrapper of the picture's bitmap goes too.
  if (OwnsBitmap()) NewOwnBitmap();
}

void TZodazUrIO::DetachView(bool ViewDestroying) {
  if (!attachedView_) return;
  if (ViewDestroying) {
    // The view has let go of the callback itself (or is past the point where it can be asked).
    viewHandle_ = nullptr;
    attachedView_ = nullptr;
    attachedViewControl_ = nullptr;
    viewWindow_ = nullptr;
  } else {
    UnregisterFromView();
  }
  // The view's bitmaps go with it: keep no reference to them.
  attachedBitmap_ = nullptr;
  NewOwnBitmap();
}

void TZodazUrIO::SetAttachedZodazUr(TIEViewLink* View) {
  if (View && View == attachedView_) return;
  const bool hadView = attachedView_ != nullptr;
  UnregisterFromView();
  if (!View) {
    // A framework bitmap that came from the view goes with it.
    if (hadView) attachedBitmap_ = nullptr;
    NewOwnBitmap();
    return;
  }
  ownBitmap_.reset();
  attachedBitmap_ = View->GetBitmap();
  workBitmap_ = View->GetIEBitmap();
  if (workBitmap_) {
    attachedBitmap_ = nullptr;
  } else {
    NewOwnBitmap();
    if (attachedBitmap_) ownBitmap_->WrapTBitmap(attachedBitmap_, true);
  }
  if (attachedTImage_) {
    RemoveFreeNotification(attachedTImage_);
    attachedTImage_ = nullptr;
  }
  attachedView_ = View;
  attachedViewControl_ = View->ViewControl();
  FreeNotification(attachedViewControl_);
  viewHandle_ = View->AddBitmapChangeEvent(
      [this](TObject* Sender, bool Destroying) { ViewBitmapChanged(Sender, Destroying); });
}

void TZodazUrIO::SetAttachedTImage(TImage* Image) {
  if (Image == attachedTImage_) return;
  UnregisterFromView();
  if (!Image) {
    DetachImage();
    return;
  }
  if (attachedTImage_) RemoveFreeNotification(attachedTImage_);
  attachedTImage_ = Image;
  attachedBitmap_ = Image->Picture()->Bitmap();
  // The wrapper is the component's own bitmap: a caller's or a view's bitmap is never re-used for it.
  NewOwnBitmap();
  ownBitmap_->WrapTBitmap(attachedBitmap_, true);
  FreeNotification(Image);
}

void TZodazUrIO::SetAttachedIEBitmap(TIEBitmap* Bitmap) {
  // Without a bitmap the current attachment stays as it is, still followed.
  if (!Bitmap && (attachedView_ || attachedTImage_)) return;
  UnregisterFromView();
  if (attachedTImage_) {
    RemoveFreeNotification(attachedTImage_);
    attachedTImage_ = nullptr;
  }
  ReplaceWorkBitmap(Bitmap);
}

void TZodazUrIO::ReplaceWorkBitmap(TIEBitmap* Bitmap) {
  attachedBitmap_ = nullptr;
  ownBitmap_.reset();
  workBitmap_ = Bitmap;
}

void TZodazUrIO::Notification(TComponent* Component, TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation != opRemove) return;
  // The view is already past its own destructor here: it is not asked for anything any more.
  if (attachedView_ && Component == attachedViewControl_) DetachView(true);
  // The picture control's bitmap is gone with it.
  if (attachedTImage_ && Component == attachedTImage_) {
    attachedTImage_ = nullptr;
    attachedBitmap_ = nullptr;
    if (OwnsBitmap()) NewOwnBitmap();
  }
}

void TZodazUrIO::ViewBitmapChanged(TObject*, bool Destroying) {
  if (Destroying) {
    DetachView(true);
    return;
  }
  if (!attachedView_) return;
  if (TIEBitmap* bitmap = attachedView_->GetIEBitmap()) {
    ownBitmap_.reset();
    workBitmap_ = bitmap;
    attachedBitmap_ = nullptr;
  } else {
    // The view shows a framework bitmap only: wrap it, as attaching does.
    attachedBitmap_ = attachedView_->GetBitmap();
    NewOwnBitmap();
    if (attachedBitmap_) ownBitmap_->WrapTBitmap(attachedBitmap_, true);
  }
  params_->SetDpiX(attachedView_->DpiX());
  params_->SetDpiY(attachedView_->DpiY());
}

TBitmap* TZodazUrIO::GetBitmap() {
  if (workBitmap_ && workBitmap_->Location() == ieTBitmap && workBitmap_->FrameworkBitmap())
    return workBitmap_->FrameworkBitmap()->Bitmap();
  return attachedBitmap_;
}

bool TZodazUrIO::GetBitmapSize(int32_t& Width, int32_t& Height) {
  TBitmap* bitmap = GetBitmap();
  if (!bitmap) return false;
  Width = bitmap->Width();
  Height = bitmap->Height();
  return true;
}

// ----------------------------------------------------------------------------------- properties

TColor TZodazUrIO::Background() { return attachedView_ ? attachedView_->Background() : background_; }

void TZodazUrIO::SetBackground(TColor Value) {
  if (!attachedView_)
    background_ = Value;
  else if (attachedView_->ViewKind() != ievkMultiView && forwardBackground_)
    attachedView_->SetBackground(Value);
}

void TZodazUrIO::SetPreviewFont(const TFont* Font) {
  if (Font) previewFont_->Assign(*Font);
}

void TZodazUrIO::SetNativePixelFormat(bool Value) {
  if (params_) params_->IsNativePixelFormat = Value;
}

void TZodazUrIO::SetBWConversion(uint8_t Mode) {
  if (workBitmap_) workBitmap_->SetBWConversion(Mode);
  bwConversion_ = Mode;
}

bool TZodazUrIO::Aborting() const { return std::atomic_ref<bool>(const_cast<bool&>(aborting_)).load(); }

void TZodazUrIO::SetAborting(bool Value) { std::atomic_ref<bool>(aborting_).store(Value); }

// ---------------------------------------------------------------------- checks and updates

bool TZodazUrIO::CheckBitmap(TIEPixelFormatSet Allowed) {
  if (!workBitmap_) return false;
  // A picture may have replaced its bitmap, and a framework bitmap may have changed size or depth
  // since it was wrapped.
  if (attachedTImage_) attachedBitmap_ = attachedTImage_->Picture()->Bitmap();
  if (attachedBitmap_) {
    workBitmap_->WrapTBitmap(attachedBitmap_, false);
    workBitmap_->SyncWithTBitmap();
  }
  if (Allowed != 0) {
    const TIEPixelFormat format = workBitmap_->PixelFormat();
    if (format > 15 || (Allowed & PixelFormatSet(format)) == 0) return false;
  }
  return true;
}

void TZodazUrIO::UpdateAttached() {
  if (attachedBitmap_ && workBitmap_) workBitmap_->RemoveAlphaChannel(false);
  if (!InWorkerThread()) {
    TellAttached(true);
    return;
  }
  // From an I/O thread the view and the framework bitmap are touched on the user-interface thread
  // only: the refresh is posted, the rest runs there (the attachment may have changed meanwhile).
  bitmapBusy_ = false;
  PostToView(IEM_UPDATE, 0);
  TThread::Synchronize(nullptr, [this] {
    FlushViewDPI();
    TellAttached(false);
  });
}

void TZodazUrIO::TellAttached(bool UpdateView) {
  if (attachedView_) {
    if (UpdateView) attachedView_->Update();
    attachedView_->DoImageChange();
  } else if (attachedBitmap_) {
    attachedBitmap_->SetModified(true);
  }
}

void TZodazUrIO::UpdateViewDPI() { ForwardViewDPI(true, params_->DpiX, true, params_->DpiY); }

void TZodazUrIO::ForwardViewDPI(bool SetX, int32_t DpiX, bool SetY, int32_t DpiY) {
  if (InWorkerThread()) {
    // The view's setters belong to the user-interface thread (the view reads its resolution there
    // while the worker runs): the values wait for the worker's next synchronised call.
    if (SetX) {
      viewDpiX_ = DpiX;
      viewDpiPending_ |= kViewDpiX;
    }
    if (SetY) {
      viewDpiY_ = DpiY;
      viewDpiPending_ |= kViewDpiY;
    }
    return;
  }
  SetViewDPI(SetX, DpiX, SetY, DpiY);
}

void TZodazUrIO::SetViewDPI(bool SetX, int32_t DpiX, bool SetY, int32_t DpiY) {
  if (!attachedView_ || !IsImageViewKind(attachedView_->ViewKind())) return;
  attachedView_->LockUpdate();
  if (SetX) attachedView_->SetDpiX(DpiX);
  if (SetY) attachedView_->SetDpiY(DpiY);
  attachedView_->UnlockUpdateNoRefresh();
}

void TZodazUrIO::FlushViewDPI() {
  const uint8_t pending = viewDpiPending_;
  if (!pending) return;
  viewDpiPending_ = 0;
  SetViewDPI(pending & kViewDpiX, viewDpiX_, pending & kViewDpiY, viewDpiY_);
}

void TZodazUrIO::ApplyDefaultDPI() {
  if (params_->DpiX < 2) params_->SetDpiX(DefaultDPIX);
  if (params_->DpiY < 2) params_->SetDpiY(DefaultDPIY);
}

void TZodazUrIO::DoAutoAdjustDPI() {
  if (!CheckBitmap()) return;
  TIOParamsVals& p = *params_;
  TSquarePixels square;
  std::unique_ptr<TIEBitmap> resized =
      StretchToSquarePixels(*workBitmap_, p.Width, p.Height, p.DpiX, p.DpiY, filteredAdjustDPI_, square);
  if (!resized) return;
  // The working bitmap keeps its identity; the resolution is stored as it stands (an attached view
  // gets it from UpdateViewDPI).
  if (square.HeightStretched) {
    p.DpiY = square.Dpi;
    p.Height = square.Height;
  } else {
    p.DpiX = square.Dpi;
    p.Width = square.Width;
  }
  workBitmap_->Assign(*resized);
}

void TZodazUrIO::FillProgressRecord(TIEProgressRecord& Progress) {
  Progress = TIEProgressRecord{};
  Progress.OnProgress = [this](TObject* Sender, int32_t per) { DoProgress(Sender, per); };
  Progress.Sender = this;
  Progress.Aborting = &aborting_;
}

// -------------------------------------------------------------------------------- notifications

void TZodazUrIO::ReleaseBusyBitmap() {
  // A call that ended without its refresh (a failed load may have left the bitmap changed).
  if (bitmapBusy_.exchange(false)) PostToView(IEM_UPDATE, 0);
}

bool TZodazUrIO::PostToView(uint32_t Message, uintptr_t WParam) {
  HWND window = viewWindow_.load();
  if (window && PostMessage(window, Message, WParam, 0)) return true;
  // Learn the window on the user-interface thread, creating it when it does not exist yet; the
  // attachment is read there too, where it changes.
  window = nullptr;
  TThread::Synchronize(nullptr, [this, &window] {
    if (!attachedView_) return;
    TWinControl* control = attachedView_->ViewControl();
    if (control && control->Parent()) window = control->Handle();
  });
  viewWindow_ = window;
  return window && PostMessage(window, Message, WParam, 0);
}

void TZodazUrIO::DoProgress(TObject* Sender, int32_t per) {
  if (!OnProgress) return;
  if (InWorkerThread() && PostToView(IEM_PROGRESS, static_cast<uintptr_t>(per))) return;
  OnProgress(Sender, per);
}

void TZodazUrIO::DoFinishWork() {
  DoProgress(this, 100);
  if (!OnFinishWork) return;
  if (InWorkerThread() && PostToView(IEM_FINISHWORK, 0)) return;
  OnFinishWork(this);
}

// ---------------------------------------------------------------------- acquisition and dialogs

void TZodazUrIO::DoOnAcquireBitmap(TIEBitmap* ABitmap, bool& Handled) {
  if (OnAcquireBitmap) OnAcquireBitmap(this, ABitmap, Handled);
}

void TZodazUrIO::DoAcquireBitmap(TIEBitmap* ABitmap, TIOParamsVals*& SourceParams) {
  if (!CheckBitmap()) return;
  bool handled = false;
  DoOnAcquireBitmap(ABitmap, handled);
  if (handled) return;
  SourceParams = params_.get();
  if (ABitmap) workBitmap_->Assign(*ABitmap);
  if (autoAdjustDPI_) DoAutoAdjustDPI();
  UpdateAttached();
}

bool TZodazUrIO::DoPreviews(TIOPreviewPages Pages) {
  if (OnDoPreviews) {
    bool handled = false;
    OnDoPreviews(this, handled);
    if (handled) return true;
  }
  if (!CheckBitmap()) return false;
  if (!IOPreviewsDialog) return false;  // no dialog to show
  // The dialog previews 24-bit and black-and-white images.
  ConvertTo24(*workBitmap_);
  const bool accepted = IOPreviewsDialog(*this, Pages);
  // The dialog may have changed the image.
  UpdateAttached();
  return accepted;
}

// ------------------------------------------------------------------------------------ media files

