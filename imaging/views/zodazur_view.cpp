// TZodazUrView: construction and destruction, the bitmap and its companions, properties, events,
// cursors and the messages the view handles (size, keys, the private messages of the I/O threads).
#include "imaging/views/zodazur_view.h"

#include <algorithm>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_gdiplus.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/ie_direct_show.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/views/ie_view_cursors.h"
#include "imaging/views/ie_view_globals.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/picture.h"
#include "platform/system/streams.h"
#include "platform/ui/forms.h"
#include "platform/ui/timers.h"
#include "platform/ui/window_dc.h"

TZodazUrView::TZodazUrView(TComponent* Owner) : TIEView(Owner) {
  // Nothing below refreshes the view until the construction is complete.
  updateLockCount_ = 1;
  AcquireGDIPlus();

  // The image: a 24-bit framework bitmap of the control's size (0 x 0 now) wrapped by the current
  // bitmap, both owned by layer 0.
  auto tbitmap = std::make_unique<TBitmap>();
  tbitmap->SetPixelFormat(pf24bit);
  auto bitmap = std::make_unique<TIEBitmap>();
  bitmap->WrapTBitmap(tbitmap.get(), false);
  ieBitmap_ = bitmap.get();
  legacyTBitmap_ = tbitmap.get();
  auto layer = std::make_unique<TIELayer>(this, true, std::move(bitmap));
  layer->SetWrappedTBitmap(std::move(tbitmap));
  layer->VisibleBox = false;
  layer->Locked = true;
  layers_.push_back(std::move(layer));
  layersCurrent_ = 0;
  geo_.BitmapWidth = ieBitmap_->Width();
  geo_.BitmapHeight = ieBitmap_->Height();

  hasOwner_ = Owner != nullptr;
  RegisterViewCursors();
  SetCursor(1785);
  cursorPending_ = true;
  SetBounds(Left(), Top(), 105, 105);
  SetDpi(DefaultDPIX, DefaultDPIY);
  drawDibHandle_ = DrawDibOpen();
  antsBitmap_ = std::make_unique<TBitmap>();
  antsBitmap_->SetPixelFormat(pf24bit);
  antsBitmap_->SetSize(1, 1);
  // The 210 ms selection timer runs from the start only for a view with an owner or a parent
  // window; others get it when a delay needs it.
  if (Owner || Parent()) CreateSelectionTimer();
  backBuffer_ = std::make_unique<TIEBitmap>();
  backBuffer_->SetLocation(ieTBitmap);
  backBuffer_->Allocate(10, 10, ie24RGB);
  selectionMask_ = std::make_unique<TIEMask>();
  selectionMask_->Allocate(ieBitmap_->Width(), ieBitmap_->Height(), static_cast<int32_t>(maskBitsPerPixel_));
  wallPaper_ = std::make_unique<TPicture>();
  layerBoxPen_ = std::make_unique<TPen>();
  layerBoxPen_->SetStyle(psDot);
  layerBoxPen_->SetMode(pmNot);
  layerBoxPen_->SetWidth(1);

  UnlockUpdate();
}

TZodazUrView::~TZodazUrView() {
  Destroying();
  StopSmoothScroll();
  SyncLayers();
  // The companions first: the I/O component waits for its threads, which may still post to the
  // view's window, while everything else of the view is alive.
  io_.reset();
  proc_.reset();
  selectionTimer_.reset();
  backBuffer_.reset();
  if (drawDibHandle_) DrawDibClose(drawDibHandle_);
  drawDibHandle_ = nullptr;
  selectionMask_.reset();
  ieBitmap_ = nullptr;
  legacyTBitmap_ = nullptr;
  layers_.clear();
  selectionStack_.clear();
  wallPaper_.reset();
  antsBitmap_.reset();
  layerBoxPen_.reset();
  ReleaseGDIPlus();
  // TIEView's destructor then tells every registrant once that the view goes away.
}

std::string TZodazUrView::ZodazUrVersion() const { return IEVERSION; }

// ---------------------------------------------------------------------------------- bitmap

TIEBitmap* TZodazUrView::LayerBitmap(int32_t Index) {
  if (Index < 0 || Index >= LayersCount()) return nullptr;
  return Index == layersCurrent_ ? ieBitmap_ : layers_[static_cast<size_t>(Index)]->Bitmap();
}

TGUID TZodazUrView::LayerGUID(int32_t Index) {
  if (Index < 0 || Index >= LayersCount()) return TGUID{};
  return layers_[static_cast<size_t>(Index)]->GUID;
}

TCanvas* TZodazUrView::GetCanvas() { return Canvas(); }

void TZodazUrView::SetLegacyBitmap(bool Value) {
  if (Value == legacyBitmap_) return;
  TIELayer* layer = GetCurrentLayer();
  if (Value) {
    // Raises for a format a framework bitmap cannot hold, before anything changes.
    ieBitmap_->SetLocation(ieTBitmap);
    legacyTBitmap_ = ieBitmap_->FrameworkBitmap() ? ieBitmap_->FrameworkBitmap()->Bitmap() : nullptr;
  } else {
    ieBitmap_->SetLocation(ieFile);
    legacyTBitmap_ = nullptr;
    if (layer->WrappedTBitmap()) layer->FreeWrappedTBitmap();
  }
  legacyBitmap_ = Value;
  CallBitmapChangeEvents();
  Update();
}

bool TZodazUrView::BitmapBusy() const { return io_ && io_->BitmapBusy() && !io_->InWorkerThread(); }

void TZodazUrView::Assign(TPersistent* Source) {
  if (!Source) {
    Blank();
    return;
  }
  if (auto* view = dynamic_cast<TZodazUrView*>(Source)) {
    AssignView(view);
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
    AssignBitmap(bitmap);
    return;
  }
  TIEView::Assign(Source);
}

void TZodazUrView::AssignView(TZodazUrView* Source) {
  if (!Source) {
    Blank();
    return;
  }
  if (Source == this) return;
  ieBitmap_->Assign(*Source->GetIEBitmap());
  SetBackground(Source->Background());
  SetDpi(Source->DpiX(), Source->DpiY());
  Update();
  DoImageChange();
}

void TZodazUrView::AssignBitmap(TBitmap* Source) {
  if (!Source) {
    Blank();
    return;
  }
  // The view's own framework bitmap already is the image.
  if (Source == legacyTBitmap_ ||
      (ieBitmap_->FrameworkBitmap() && ieBitmap_->FrameworkBitmap()->Bitmap() == Source))
    return;
  ieBitmap_->CopyFromTBitmap(*Source);
  if (ieBitmap_->PixelFormat() != ie1g && ieBitmap_->PixelFormat() != ie24RGB) ieBitmap_->ConvertPixelFormat(ie24RGB);
  Update();
  DoImageChange();
}

void TZodazUrView::Blank() {
  ieBitmap_->Fill(static_cast<double>(ColorToRGB(Background())));
  RemoveAlphaChannel(false);
  Update();
}

void TZodazUrView::Clear() {
  ieBitmap_->Allocate(1, 1, ieBitmap_->PixelFormat() == ieNoFormat ? ie24RGB : ieBitmap_->PixelFormat());
  Blank();
}

bool TZodazUrView::IsEmpty() { return ieBitmap_->Width() < 2 && ieBitmap_->Height() < 2; }

TIEBitmap* TZodazUrView::GetAlphaChannel() { return ieBitmap_->GetAlphaChannel(); }

bool TZodazUrView::HasAlphaChannel() { return ieBitmap_->HasAlphaChannel(); }

void TZodazUrView::RemoveAlphaChannel(bool Merge) { ieBitmap_->RemoveAlphaChannel(Merge, Background()); }

void TZodazUrView::SetEnableAlphaChannel(bool Value) {
  enableAlphaChannel_ = Value;
  Update();
}

TZodazUrIO* TZodazUrView::GetIO() {
  if (!io_) {
    io_ = std::make_unique<TZodazUrIO>(this);
    io_->SetAttachedZodazUr(this);
    io_->OnProgress = onProgress_;
    io_->OnFinishWork = onFinishWork_;
  }
  return io_.get();
}

TZodazUrProc* TZodazUrView::GetProc() {
  if (!proc_) {
    proc_ = std::make_unique<TZodazUrProc>(this);
    proc_->SetAttachedZodazUr(this);
    proc_->OnProgress = onProgress_;
    proc_->OnFinishWork = onFinishWork_;
    proc_->OnSaveUndo = onSaveUndo_;
  }
  return proc_.get();
}

void TZodazUrView::SetOnProgress(TIEProgressEvent Value) {
  onProgress_ = std::move(Value);
  if (io_) io_->OnProgress = onProgress_;
  if (proc_) proc_->OnProgress = onProgress_;
}

void TZodazUrView::SetOnFinishWork(TNotifyEvent Value) {
  onFinishWork_ = std::move(Value);
  if (io_) io_->OnFinishWork = onFinishWork_;
  if (proc_) proc_->OnFinishWork = onFinishWork_;
}

void TZodazUrView::SetOnSaveUndo(TIESaveUndoEvent Value) {
  onSaveUndo_ = std::move(Value);
  if (proc_) proc_->OnSaveUndo = onSaveUndo_;
}

// ---------------------------------------------------------------------------------- properties

void TZodazUrView::SetBounds(int Left, int Top, int Width, int Height) {
  TIEView::SetBounds(Left, Top, Width, Height);
  // Forms are built in code: only a view read from a stored form takes the form's size as its
  // image size.
  if (ComponentState() & (csLoading | csReading | csDesigning)) {
    if (ieBitmap_ && Width > 0 && Height > 0) {
      ieBitmap_->Allocate(Width, Height, ieBitmap_->PixelFormat() == ieNoFormat ? ie24RGB : ieBitmap_->PixelFormat());
      Blank();
    }
  }
}

void TZodazUrView::SetBackground(TColor Value) {
  TIEView::SetBackground(Value);
  updateReason_ = 4;
  Update();
  DoImageChange();
}

void TZodazUrView::SetCenter(bool Value) {
  if (Value == geo_.Center) return;
  geo_.Center = Value;
  updateReason_ = 1;
  Update();
}

void TZodazUrView::SetZoomFilter(TResampleFilter Value) {
  savedZoomFilter_ = Value;
  if (Value == zoomFilter_) return;
  zoomFilter_ = Value;
  Update();
}

void TZodazUrView::SetDrawVersion(bool Value) {
  drawVersion_ = Value;
  Paint();
}

void TZodazUrView::SetBackgroundStyle(TIEBackgroundStyle Value) {
  backgroundStyle_ = Value;
  Invalidate();
  updateReason_ = 4;
  Update();
}

void TZodazUrView::SetWallPaper(TPicture* Value) {
  if (!wallPaper_) wallPaper_ = std::make_unique<TPicture>();
  wallPaper_->Assign(Value);
  updateReason_ = 4;
  Update();
}

void TZodazUrView::SetWallPaperStyle(TIEWallPaperStyle Value) {
  if (Value != wallPaperStyle_) wallPaperStyle_ = Value;
  updateReason_ = 4;
  Update();
}

void TZodazUrView::SetChessboardStyle(int32_t Size, TBrushStyle BrushStyle) {
  chessboardSize_ = Size;
  chessboardBrushStyle_ = BrushStyle;
}

void TZodazUrView::PaintBackgroundTo(TCanvas* Canvas) {
  DrawViewBackground(ComponentState(), Canvas, nullptr, backgroundStyle_, Background(), 0, 0, Width(), Height(), 0,
                     0, 0, 0, chessboardSize_, chessboardBrushStyle_, gradientEndColor_, wallPaper_.get(),
                     wallPaperStyle_);
}

// ---------------------------------------------------------------------------------- events

void TZodazUrView::DoImageChange() {
  TIEView::DoImageChange();
  if (OnImageChange) OnImageChange(this);
}

void TZodazUrView::DoViewChange(int32_t Change) {
  if (OnViewChange) OnViewChange(this, Change);
}

void TZodazUrView::DoViewChanging(int32_t Change, double NewValue) {
  if (OnViewChanging) OnViewChanging(this, Change, NewValue);
}

void TZodazUrView::DoZoomIn(double& Zoom) {
  if (OnZoomIn) OnZoomIn(this, Zoom);
}

void TZodazUrView::DoZoomOut(double& Zoom) {
  if (OnZoomOut) OnZoomOut(this, Zoom);
}

void TZodazUrView::Notification(TComponent* Component, TOperation Operation) {
  TIEView::Notification(Component, Operation);
}

// ---------------------------------------------------------------------------------- cursors

void TZodazUrView::ApplyCursorNow(TCursor Value) {
  TIEView::SetCursor(Value);
  if (Screen && HandleAllocated() && IsMouseInside()) ::SetCursor(Screen->Cursors(Value));
}

void TZodazUrView::SetCursor(TCursor Value) {
  if (OnSetCursor) OnSetCursor(this, Value);
  restoreCursor_ = Value;
  ApplyCursorNow(Value);
}

void TZodazUrView::SetTempCursor(TCursor Value) {
  if (OnSetCursor) OnSetCursor(this, Value);
  if (hasOwner_) ApplyCursorNow(Value);
}

void TZodazUrView::RestoreTempCursor() { SetTempCursor(restoreCursor_); }

// ---------------------------------------------------------------------------------- messages

void TZodazUrView::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case IEM_UPDATE:
      Update();
      return;
    case IEM_PROGRESS:
      if (onProgress_) onProgress_(this, static_cast<int32_t>(Message.WParam));
      return;
    case IEM_FINISHWORK:
      if (onFinishWork_) onFinishWork_(this);
      return;
    case IEM_NEWFRAME:
      // The graph posts no further frame message while the event runs.
      TIEDirectShow::HandleNewFrameMessage(Message.LParam, [this] {
        if (OnDShowNewFrame) OnDShowNewFrame(this);
      });
      return;
    case IEM_DSHOWEVENT:
      TIEDirectShow::HandleEventMessage(Message.LParam, [this] {
        if (OnDShowEvent) OnDShowEvent(this);
      });
      return;
    case WM_ERASEBKGND:
      Message.Result = 0;
      return;
    case CM_WANTSPECIALKEY:
      WantSpecialKey(Message);
      return;
    case CN_KEYDOWN:
      TIEView::Dispatch(Message);
      HandleKey(Message, true);
      return;
    case CN_KEYUP:
      TIEView::Dispatch(Message);
      HandleKey(Message, false);
      return;
    case WM_SYSKEYDOWN:
      TIEView::Dispatch(Message);
      HandleKey(Message, true);
      return;
    case WM_SYSKEYUP:
      TIEView::Dispatch(Message);
      HandleKey(Message, false);
      return;
    case WM_HSCROLL:
      WMScroll(Message, true);
      return;
    case WM_VSCROLL:
      WMScroll(Message, false);
      return;
    case WM_MOUSEWHEEL:
      WMMouseWheelView(Message);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TIEView::Dispatch(Message);
      Invalidate();
      return;
    default:
      TIEView::Dispatch(Message);
      return;
  }
}

void TZodazUrView::HandleKey(TMessage& Message, bool Down) {
  if (OnVirtualKey)
    OnVirtualKey(this, static_cast<uint32_t>(Message.WParam), static_cast<uint32_t>(Message.LParam), Down);
}

void TZodazUrView::WantSpecialKey(TMessage& Message) {
  DefaultHandler(Message);
  if (!OnSpecialKey) return;
  bool handled = false;
  OnSpecialKey(this, static_cast<uint16_t>(Message.WParam), KeyDataToShiftState(Message.LParam), handled);
  if (handled) Message.Result = 1;
}

void TZodazUrView::WMSize(TMessage& Message) {
  TIEView::WMSize(Message);
  if (insideUpdate_) return;
  updateReason_ = 4;
  Update();
}

// ---------------------------------------------------------------------------------- selection timer

void TZodazUrView::CreateSelectionTimer() {
  if (selectionTimer_) return;
  selectionTimer_ = std::make_unique<TTimer>(nullptr);
  selectionTimer_->SetInterval(210);
  selectionTimer_->OnTimer = [this](TObject* Sender) { DrawSelection(Sender, true); };
  selectionTimer_->SetEnabled(true);
}
