// TZodazUrProc: creation, attachment, the pixel-format check and the operation frame.
#include "imaging/processing/zodazur_proc.h"

#include <algorithm>
#include <cmath>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_filter3x3.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/picture.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/ext_ctrls.h"

namespace {

// The formats a bitmap of each format is converted to, in order of preference, when an operation
// does not accept it (indexed by TIEPixelFormat; ieNoFormat has none).
const TIEPixelFormat kPreferences[kIEPixelFormatCount][6] = {
    /* ieNoFormat */ {},
    /* ie1g       */ {ie8g, ie16g, ie32f, ie24RGB},
    /* ie8p       */ {ie24RGB, ieCMYK, ieRGB48, ieCIELab},
    /* ie8g       */ {ie16g, ie32f, ie24RGB, ieCMYK, ieRGB48},
    /* ie16g      */ {ie32f, ie8g, ieRGB48, ie24RGB, ieCMYK},
    /* ie24RGB    */ {ieCMYK, ieCIELab, ieRGB48, ie8p, ie16g, ie8g},
    /* ie32f      */ {ie16g, ie8g, ie24RGB, ieRGB48, ieCIELab},
    /* ieCMYK     */ {ie24RGB, ieRGB48, ieCIELab, ie8g},
    /* ieRGB48    */ {ie24RGB, ieCMYK, ieCIELab, ie16g},
    /* ieCIELab   */ {ie24RGB, ieCMYK, ieRGB48, ie8g},
    /* ie32RGB    */ {ie24RGB, ieCMYK, ieRGB48, ie8g},
};

// Without a preferred format the highest-numbered allowed one is taken, in this order.
const TIEPixelFormat kFallbackOrder[] = {ie32RGB, ieCIELab, ieRGB48, ieCMYK, ie32f, ie24RGB, ie16g, ie8g, ie8p, ie1g};

TIEPixelFormat ConversionTarget(TIEPixelFormat Current, TIEPixelFormatSet Allowed) {
  for (TIEPixelFormat f : kPreferences[Current])
    if (f != ieNoFormat && InPixelFormatSet(Allowed, f)) return f;
  for (TIEPixelFormat f : kFallbackOrder)
    if (InPixelFormatSet(Allowed, f)) return f;
  return ieNoFormat;
}

// Below this many pixels an area is worked on the calling thread: starting workers costs more.
constexpr int64_t kThreadedAreaMinimum = 1 << 16;

}  // namespace

uint32_t ClipboardRawFormat = 0;

void InitializeZodazUrProc() {
  BuildOneBitExpansionTable();
  CreateFilterPresets();
  ClipboardRawFormat = RegisterClipboardFormat("ZODAZUR RAW FORMAT");
}

void FinalizeZodazUrProc() { FreeFilterPresets(); }

TZodazUrProc::TZodazUrProc(TComponent* Owner) : TComponent(Owner), autoUndo_(Owner != nullptr) {
  previewFont_ = std::make_unique<TFont>();
  NewOwnBitmap();
}

std::unique_ptr<TZodazUrProc> TZodazUrProc::CreateFromIEBitmap(TIEBitmap* Bitmap) {
  auto proc = std::make_unique<TZodazUrProc>(nullptr);
  proc->AttachIEBitmap(Bitmap);
  return proc;
}

std::unique_ptr<TZodazUrProc> TZodazUrProc::CreateFromTBitmap(TBitmap* Bitmap) {
  auto proc = std::make_unique<TZodazUrProc>(nullptr);
  proc->AttachTBitmap(Bitmap);
  return proc;
}

TZodazUrProc::~TZodazUrProc() {
  DetachView(false);
  DetachImage();
  ClearAllUndo();
  ClearAllRedo();
  previewFont_.reset();
  bitmap_ = nullptr;
  own_.reset();
}

// ----------------------------------------------------------------------------------- attachment

void TZodazUrProc::NewOwnBitmap() {
  own_ = std::make_unique<TIEBitmap>();
  bitmap_ = own_.get();
  attachedBitmap_ = nullptr;
}

void TZodazUrProc::DetachView(bool ViewGoingAway) {
  if (!view_) return;
  // A view that is going away has let go of the callback itself and is not asked for anything.
  if (!ViewGoingAway) {
    if (viewHandle_) view_->RemoveBitmapChangeEvent(viewHandle_);
    RemoveFreeNotification(viewControl_);
  }
  view_ = nullptr;
  viewControl_ = nullptr;
  viewHandle_ = nullptr;
}

void TZodazUrProc::DetachImage() {
  if (!image_) return;
  RemoveFreeNotification(image_);
  image_ = nullptr;
}

void TZodazUrProc::WrapInOwnBitmap(TBitmap* Bitmap) {
  // A borrowed bitmap (a view's, a caller's) is never freed or re-pointed at other pixels.
  if (!OwnsBitmap()) NewOwnBitmap();
  attachedBitmap_ = Bitmap;
  if (Bitmap)
    own_->WrapTBitmap(Bitmap, true);
  else
    own_->FreeImage(true);
}

void TZodazUrProc::TakeViewBitmap() {
  if (TIEBitmap* bitmap = view_->GetIEBitmap()) {
    own_.reset();
    bitmap_ = bitmap;
    attachedBitmap_ = nullptr;
  } else {
    // The view shows a framework bitmap only: work on it through an own wrapper.
    NewOwnBitmap();
    WrapInOwnBitmap(view_->GetBitmap());
  }
}

void TZodazUrProc::SetAttachedZodazUr(TIEViewLink* View) {
  if (View && View == view_) return;
  DetachView(false);
  if (!View) {
    // The view's bitmaps stay the view's: the component goes back to a new bitmap of its own.
    NewOwnBitmap();
    return;
  }
  view_ = View;
  viewControl_ = View->ViewControl();
  TakeViewBitmap();
  FreeNotification(viewControl_);
  DetachImage();
  viewHandle_ = View->AddBitmapChangeEvent(
      [this](TObject* Sender, bool Destroying) { BitmapChanged(Sender, Destroying); });
}

void TZodazUrProc::BitmapChanged(TObject*, bool Destroying) {
  if (Destroying) {
    if (view_) {
      DetachView(true);
      NewOwnBitmap();
    }
    return;
  }
  if (view_) TakeViewBitmap();
}

void TZodazUrProc::SetAttachedTImage(TImage* Image) {
  if (Image && Image == image_) return;
  if (!Image) {
    // Only the own wrapper of the picture's bitmap lets its pixels go; a borrowed bitmap stays.
    if (image_) {
      DetachImage();
      if (OwnsBitmap()) NewOwnBitmap();
    }
    return;
  }
  DetachView(false);
  DetachImage();
  image_ = Image;
  WrapInOwnBitmap(Image->Picture()->Bitmap());
  FreeNotification(Image);
}

void TZodazUrProc::AttachIEBitmap(TIEBitmap* Bitmap) {
  if (!Bitmap && (view_ || image_)) return;
  DetachView(false);
  DetachImage();
  SetWorkingBitmap(Bitmap);
}

void TZodazUrProc::AttachTBitmap(TBitmap* Bitmap) {
  if (!Bitmap && (view_ || image_)) return;
  const bool hadView = view_ != nullptr;
  DetachView(false);
  DetachImage();
  if (hadView) NewOwnBitmap();
  WrapInOwnBitmap(Bitmap);
}

void TZodazUrProc::SetWorkingBitmap(TIEBitmap* Bitmap) {
  attachedBitmap_ = nullptr;
  own_.reset();
  bitmap_ = Bitmap;
}

void TZodazUrProc::Notification(TComponent* Component, TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation != opRemove || !Component) return;
  // The view is past its own destructor here: it is compared by its control, never called.
  if (view_ && Component == viewControl_) {
    DetachView(true);
    NewOwnBitmap();
  }
  if (image_ && Component == image_) {
    image_ = nullptr;
    if (OwnsBitmap()) NewOwnBitmap();
  }
}

// ----------------------------------------------------------------------------------- properties

TColor TZodazUrProc::Background() { return view_ ? view_->Background() : background_; }

void TZodazUrProc::SetBackground(TColor Value) {
  if (view_)
    view_->SetBackground(Value);
  else
    background_ = Value;
}

void TZodazUrProc::SetPreviewFont(const TFont* Font) {
  if (Font) previewFont_->Assign(*Font);
}

int32_t TZodazUrProc::GetDPIX() { return view_ ? view_->DpiX() : DefaultDPIX; }

int32_t TZodazUrProc::GetDPIY() { return view_ ? view_->DpiY() : DefaultDPIY; }

// ------------------------------------------------------------------------------------ the frame

bool TZodazUrProc::CheckPixelFormat(TIEPixelFormatSet Allowed) {
  if (!bitmap_) return false;
  const TIEPixelFormat current = bitmap_->PixelFormat();
  if (Allowed == 0 || InPixelFormatSet(Allowed, current)) return true;
  if (!autoConvertFormat_) return false;
  const TIEPixelFormat target = ConversionTarget(current, Allowed);
  if (target == ieNoFormat) return false;
  bitmap_->SetPixelFormat(target);
  return true;
}

bool TZodazUrProc::PrepareBitmap(TIEPixelFormatSet Allowed) {
  if (!bitmap_) return false;
  // A picture may have replaced its bitmap, and a framework bitmap may have changed size or depth
  // since it was wrapped.
  if (image_ && OwnsBitmap()) {
    TBitmap* current = image_->Picture()->Bitmap();
    if (current != attachedBitmap_) WrapInOwnBitmap(current);
  }
  if (attachedBitmap_ && OwnsBitmap()) {
    own_->WrapTBitmap(attachedBitmap_, false);
    own_->SyncWithTBitmap();
  }
  return CheckPixelFormat(Allowed);
}

bool TZodazUrProc::CanPrepare(TIEPixelFormatSet Allowed) {
  if (!bitmap_) return false;
  if (Allowed == 0 || autoConvertFormat_) return true;
  return InPixelFormatSet(Allowed, bitmap_->PixelFormat());
}

bool TZodazUrProc::GetSelectedArea(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2, const TPoint*& Poly,
                                   int32_t& PolyCount, TIEMask*& Mask) {
  if (attachedBitmap_ && OwnsBitmap()) {
    own_->WrapTBitmap(attachedBitmap_, false);
    own_->SyncWithTBitmap();
  }
  X1 = Y1 = 0;
  X2 = bitmap_ ? bitmap_->Width() : 0;
  Y2 = bitmap_ ? bitmap_->Height() : 0;
  PolyCount = 0;
  Poly = nullptr;
  Mask = nullptr;
  if (!view_ || !IsImageViewKind(view_->ViewKind())) return false;
  Mask = view_->SelectionMask();
  if (!view_->Selected()) return false;
  if (Mask && !Mask->IsEmpty()) {
    X1 = Mask->X1();
    Y1 = Mask->Y1();
    X2 = Mask->X2() + 1;
    Y2 = Mask->Y2() + 1;
  }
  Poly = view_->SelectionPolygon();
  PolyCount = view_->SelectionPolygonCount();
  return true;
}

bool TZodazUrProc::HasSelection() {
  if (!view_ || !IsImageViewKind(view_->ViewKind()) || !view_->Selected()) return false;
  TIEMask* mask = view_->SelectionMask();
  return mask && !mask->IsEmpty();
}

bool TZodazUrProc::BeginImageProcessing(TIEPixelFormatSet Allowed, const std::string& UndoCaption,
                                        TIEProcessingArea& Area) {
  // The undo step is taken before any conversion, so that undo brings the old format back; but
  // only for an operation that will run, so that a refused one never pushes out a real step.
  if (!CanPrepare(Allowed)) return false;
  if (autoUndo_) SaveUndoCaptioned(UndoCaption, ieuImage);
  if (!PrepareBitmap(Allowed)) return false;
  const TPoint* poly = nullptr;
  int32_t polyCount = 0;
  TIEMask* mask = nullptr;
  GetSelectedArea(Area.X1, Area.Y1, Area.X2, Area.Y2, poly, polyCount, mask);
  Area.Copy.reset();
  Area.Mask = nullptr;
  Area.Bitmap = bitmap_;
  if (!mask || mask->IsEmpty() || !HasSelection()) {
    // The whole image.
    Area.X1 = Area.Y1 = 0;
    Area.X2 = bitmap_->Width();
    Area.Y2 = bitmap_->Height();
    return true;
  }
  // The selection's bounding box, clipped to the image (a mask may be larger than the bitmap).
  const int32_t x1 = std::max(mask->X1(), 0), y1 = std::max(mask->Y1(), 0);
  const int32_t x2 = std::min(mask->X2(), bitmap_->Width() - 1), y2 = std::min(mask->Y2(), bitmap_->Height() - 1);
  if (x2 < x1 || y2 < y1) {
    Area.X1 = Area.Y1 = Area.X2 = Area.Y2 = 0;
    return true;
  }
  const int32_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  auto copy = std::make_unique<TIEBitmap>(w, h, bitmap_->PixelFormat());
  if (copy->IsEmpty()) return false;  // no memory for the box: nothing done, nothing changed
  bitmap_->CopyPaletteTo(copy.get());
  bitmap_->CopyRectTo(*copy, x1, y1, 0, 0, w, h);
  if (bitmap_->HasAlphaChannel()) {
    TIEBitmap* alpha = copy->GetAlphaChannel();
    bitmap_->GetAlphaChannel()->CopyRectTo(*alpha, x1, y1, 0, 0, w, h);
    alpha->SetFull(false);
  }
  Area.Copy = std::move(copy);
  Area.Bitmap = Area.Copy.get();
  Area.Mask = mask;
  Area.X1 = Area.Y1 = 0;
  Area.X2 = w;
  Area.Y2 = h;
  return true;
}

void TZodazUrProc::EndImageProcessing(TIEProcessingArea& Area) {
  if (Area.Copy && Area.Mask && bitmap_) {
    TIEBitmap& copy = *Area.Copy;
    // An operation that changed the copy's format is merged in the image's format.
    if (copy.PixelFormat() != bitmap_->PixelFormat()) copy.SetPixelFormat(bitmap_->PixelFormat());
    Area.Mask->MaskedCopy(*bitmap_, copy, false, true, false);
    if (copy.HasAlphaChannel() && !copy.GetAlphaChannel()->Full()) {
      TIEBitmap* alpha = bitmap_->GetAlphaChannel();
      Area.Mask->MaskedCopy(*alpha, *copy.GetAlphaChannel(), false, true, false);
      alpha->SetFull(false);
    }
  }
  Area.Copy.reset();
  Area.Mask = nullptr;
  Area.Bitmap = bitmap_;
  Update();
}

void TZodazUrProc::Update() {
  if (attachedBitmap_ && bitmap_) bitmap_->RemoveAlphaChannel(false, clWhite);
  if (view_) {
    view_->Update();
    view_->DoImageChange();
  } else if (attachedBitmap_) {
    attachedBitmap_->SetModified(true);
  }
}

void TZodazUrProc::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

void TZodazUrProc::ForEachAreaRow(TIEProcessingArea& Area, const std::function<void(int32_t Y)>& Row) {
  TIEBitmap& b = *Area.Bitmap;
  const int32_t y2 = std::min(Area.Y2, b.Height());
  const int32_t rows = y2 - Area.Y1;
  if (rows <= 0 || Area.X2 <= Area.X1) return;
  const int64_t pixels = int64_t{rows} * (Area.X2 - Area.X1);
  const int32_t threads = pixels < kThreadedAreaMinimum ? 1 : ResampleThreadCount(b);
  const double span = (y2 - 1 - Area.Y1) + 0.5;
  std::function<void(int32_t)> onRows;
  if (OnProgress)
    onRows = [&](int32_t done) { OnProgress(this, std::min(100, static_cast<int32_t>(std::trunc(done * 100 / span)))); };
  RunResampleBands(
      rows, threads,
      [&](int32_t First, int32_t Count, const std::function<bool()>& RowDone) {
        for (int32_t y = First; y < First + Count; ++y) {
          Row(Area.Y1 + y);
          if (!RowDone()) return;
        }
      },
      onRows);
}
