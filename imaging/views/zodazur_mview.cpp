// TZodazUrMView: construction and destruction, the image list (records, the two stores, inserts,
// deletes, moves, storing and checking out pixels, the last change), the companions and the
// properties.
#include "imaging/views/zodazur_mview.h"

#include <algorithm>
#include <mutex>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_geometry.h"
#include "imaging/core/ie_virtual_image_list.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/io/zodazur_mio.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_resample_fast.h"
#include "imaging/processing/ie_stretch.h"
#include "imaging/processing/zodazur_proc.h"
#include "imaging/views/zodazur_mview_loader.h"
#include "imaging/views/zodazur_mview_starter.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/picture.h"
#include "platform/system/classes.h"
#include "platform/ui/timers.h"
#include "platform/ui/window_dc.h"

using Guard = std::lock_guard<TCriticalSection>;

TZodazUrMView::TZodazUrMView(TComponent* Owner) : TIEView(Owner) {
  backBuffer_ = std::make_unique<TIEBitmap>();
  backBuffer_->SetLocation(ieTBitmap);
  // The stores keep their images in temporary files, but for a view being designed.
  const bool useFile = (ComponentState() & csDesigning) == 0;
  imageList_ = std::make_unique<TIEVirtualImageList>("ILIST", useFile);
  imageList_->SetCacheSize(imageCacheSize_);
  cacheList_ = std::make_unique<TIEVirtualImageList>("ICACHE", useFile);
  io_ = std::make_unique<TZodazUrIO>(nullptr);
  wallPaper_ = std::make_unique<TPicture>();
  for (auto& f : captionFonts_) {
    f = std::make_unique<TFont>();
    f->Assign(*Font());
  }
  drawDibHandle_ = DrawDibOpen();
  SetBounds(Left(), Top(), 180, 90);
  starter_ = std::make_unique<TIEStarter>(this);
}

TZodazUrMView::~TZodazUrMView() {
  destroying_ = true;
  Destroying();
  DeselectAll();
  if (HandleAllocated()) KillTimer(Handle(), 1);
  CancelBackgroundLoads();
  // The starter ends first (no loader starts after it), then every loader thread is stopped and
  // waited for: a loader's reader and bitmap go only after its thread has.
  StopStarter();
  std::vector<std::unique_ptr<Loader>> loaders;
  {
    Guard g(lock_);
    for (auto& l : loaders_) {
      l->Stop = true;
      AbandonLoad(*l);
    }
    loaders.swap(loaders_);
    results_.clear();
  }
  loaderWake_.notify_all();
  for (auto& l : loaders) DestroyLoader(std::move(l));
  frameReaders_.clear();
  mio_.reset();
  proc_.reset();
  {
    Guard g(lock_);
    while (!images_.empty()) {
      DeleteStored(*images_.back());
      images_.pop_back();
    }
    bySerial_.clear();
  }
  wallPaper_.reset();
  imageList_.reset();
  cacheList_.reset();
  if (drawDibHandle_) DrawDibClose(drawDibHandle_);
  drawDibHandle_ = nullptr;
  io_.reset();
  backBuffer_.reset();
  // TIEView's destructor then tells every registrant once that the view goes away.
}

std::string TZodazUrMView::ZodazUrVersion() const { return IEVERSION; }

// ---------------------------------------------------------------------------------- records

TIEMImageInfo* TZodazUrMView::RecordAt(int32_t Index) {
  if (Index < 0 || Index >= static_cast<int32_t>(images_.size())) return nullptr;
  return images_[static_cast<size_t>(Index)].get();
}

TIEMImageInfo* TZodazUrMView::RecordBySerial(uint64_t Serial) {
  auto it = bySerial_.find(Serial);
  return it == bySerial_.end() ? nullptr : it->second;
}

int32_t TZodazUrMView::IndexOf(const TIEMImageInfo* Record) {
  for (size_t i = 0; i < images_.size(); ++i)
    if (images_[i].get() == Record) return static_cast<int32_t>(i);
  return -1;
}

std::unique_ptr<TIEMImageInfo> TZodazUrMView::NewRecord() {
  auto r = std::make_unique<TIEMImageInfo>();
  r->Serial = nextSerial_++;
  r->Background = Background();
  r->ImageID = -1;
  r->TopText = std::make_unique<TIEMText>(this, 0);
  r->BottomText = std::make_unique<TIEMText>(this, 1);
  r->InfoText = std::make_unique<TIEMText>(this, 2);
  return r;
}

void TZodazUrMView::DropThumbnail(TIEMImageInfo& Record) {
  if (Record.CacheImage) {
    cacheList_->Delete(Record.CacheImage);
    Record.CacheImage = nullptr;
  }
}

void TZodazUrMView::DropAllThumbnails() {
  Guard g(lock_);
  for (auto& r : images_) DropThumbnail(*r);
}

void TZodazUrMView::DeleteStored(TIEMImageInfo& Record) {
  if (Record.Image) {
    if (selectedBitmap_ && selectedImage_ >= 0 && RecordAt(selectedImage_) == &Record) selectedBitmap_ = nullptr;
    imageList_->Delete(Record.Image);
    Record.Image = nullptr;
  }
  DropThumbnail(Record);
}

int32_t TZodazUrMView::ImageCount() {
  Guard g(lock_);
  return static_cast<int32_t>(images_.size());
}

void TZodazUrMView::SetLastChange(TIEMViewChange Kind, int32_t Index, int32_t NewIndex) {
  lastChange_ = Kind;
  lastChangeIndex_ = Index;
  lastChangeNewIndex_ = NewIndex;
}

void TZodazUrMView::CallBitmapChangeEvents() {
  TIEView::CallBitmapChangeEvents();
  lastChange_ = iemcNone;
}

// ---------------------------------------------------------------------------------- list changes

void TZodazUrMView::InsertImage(int32_t Index) {
  if (Index < 0) ListIndexError(Index);
  StopPlaying();
  {
    Guard g(lock_);
    auto r = NewRecord();
    bySerial_[r->Serial] = r.get();
    LayoutFrom(std::min(Index, static_cast<int32_t>(images_.size())));
    if (Index >= static_cast<int32_t>(images_.size())) {
      images_.push_back(std::move(r));
      Index = static_cast<int32_t>(images_.size()) - 1;
    } else {
      images_.insert(images_.begin() + Index, std::move(r));
      // The selection points at images, not places: it moves with them.
      if (selectedImage_ >= Index) ++selectedImage_;
      for (int32_t& m : multiSelection_)
        if (m >= Index) ++m;
    }
  }
  DeselectAll();
  SelectCore(Index);
  SetLastChange(iemcInsert, Index, 0);
  CallBitmapChangeEvents();
  UpdateEx(false);
}

void TZodazUrMView::InsertImageNoSelect(int32_t Index) {
  if (Index < 0) ListIndexError(Index);
  StopPlaying();
  {
    Guard g(lock_);
    auto r = NewRecord();
    bySerial_[r->Serial] = r.get();
    LayoutFrom(std::min(Index, static_cast<int32_t>(images_.size())));
    if (Index >= static_cast<int32_t>(images_.size())) {
      images_.push_back(std::move(r));
    } else {
      images_.insert(images_.begin() + Index, std::move(r));
      if (selectedImage_ >= Index) ++selectedImage_;
      for (int32_t& m : multiSelection_)
        if (m >= Index) ++m;
    }
  }
  // The index given, also when the image went to the end.
  SetLastChange(iemcInsert, Index, 0);
  CallBitmapChangeEvents();
  UpdateEx(false);
}

int32_t TZodazUrMView::AppendImage() {
  const int32_t n = ImageCount();
  InsertImage(n);
  return n;
}

bool TZodazUrMView::DeleteImageCore(int32_t Index) {
  StopPlaying();
  const int32_t count = ImageCount();
  if (Index >= count) return false;
  CancelImageLoad(Index);
  const int32_t s = selectedImage_;
  DeselectAll();
  {
    Guard g(lock_);
    TIEMImageInfo& r = *images_[static_cast<size_t>(Index)];
    DeleteStored(r);
    bySerial_.erase(r.Serial);
    images_.erase(images_.begin() + Index);
    LayoutFrom(Index);
  }
  const int32_t left = count - 1;
  if (Index == s && Index == count - 1) {
    if (left > 0) SelectCore(left - 1);
  } else if (s >= 0) {
    SelectCore(Index < s ? s - 1 : s);
  }
  SetLastChange(iemcDelete, Index, 0);
  CallBitmapChangeEvents();
  return true;
}

void TZodazUrMView::DeleteImage(int32_t Index) {
  if (Index < 0) ListIndexError(Index);
  if (DeleteImageCore(Index)) UpdateEx(false);
}

void TZodazUrMView::MoveImage(int32_t Index, int32_t NewIndex) {
  const int32_t count = ImageCount();
  if (Index < 0 || Index >= count || NewIndex < 0 || NewIndex == Index) return;
  StopPlaying();
  const int32_t s = selectedImage_;
  // Where the moved image lands: past the end it becomes the last one.
  const int32_t target = std::min(NewIndex, count - 1);
  std::vector<int32_t> remapped;
  for (int32_t b : multiSelection_) {
    if (b == Index) {
      remapped.push_back(target);
      continue;
    }
    int32_t c = Index < b ? b - 1 : b;
    if (c >= target) ++c;
    remapped.push_back(c);
  }
  {
    Guard g(lock_);
    std::unique_ptr<TIEMImageInfo> r = std::move(images_[static_cast<size_t>(Index)]);
    images_.erase(images_.begin() + Index);
    images_.insert(images_.begin() + target, std::move(r));
    LayoutFrom(std::min(Index, target));
  }
  SetLastChange(iemcMove, Index, NewIndex);
  CallBitmapChangeEvents();
  if (remapped.empty() || (Index != s && multiSelection_.empty())) {
    DeselectAll();
    SelectCore(s);
  } else {
    ForgetSelectedBitmap(true);
    selectedImage_ = remapped.front();
    multiSelection_ = remapped;
  }
  UpdateEx(false);
}

void TZodazUrMView::ClearImages() {
  Deselect();
  CancelBackgroundLoads();
  for (int32_t i = ImageCount() - 1; i >= 0; --i) {
    {
      Guard g(lock_);
      TIEMImageInfo& r = *images_[static_cast<size_t>(i)];
      DeleteStored(r);
      bySerial_.erase(r.Serial);
      images_.erase(images_.begin() + i);
      LayoutFrom(i);
    }
    SetLastChange(iemcDelete, i, 0);
    CallBitmapChangeEvents();
  }
  {
    Guard g(lock_);
    imageList_ = std::make_unique<TIEVirtualImageList>("ILIST", (ComponentState() & csDesigning) == 0);
    imageList_->SetCacheSize(imageCacheSize_);
    cacheList_ = std::make_unique<TIEVirtualImageList>("ICACHE", (ComponentState() & csDesigning) == 0);
    selectedBitmap_ = nullptr;
  }
  frameReaders_.clear();
  Update();
}

void TZodazUrMView::SetFramesFromFile(const std::string& FileName) {
  ClearImages();
  const int32_t n = GetFileImageCount(FileName);
  LockPaint();
  try {
    for (int32_t i = 0; i < n; ++i) {
      InsertImageNoSelect(i);
      SetImageFileName(i, FileName + "::" + std::to_string(i));
    }
  } catch (...) {
    UnlockPaint();
    throw;
  }
  UnlockPaint();
}

// ---------------------------------------------------------------------------------- pixels

std::unique_ptr<TIEBitmap> TZodazUrMView::ReduceToThumb(TIEBaseBitmap& Source, bool& Reduced) {
  Reduced = false;
  if (storeType_ != ietThumb) return nullptr;
  const int32_t w = Source.GetWidth(), h = Source.GetHeight();
  int32_t tw = thumbWidth_, th = thumbHeight_;
  if (w != 0 && h != 0) ScaleToFit(w, h, thumbWidth_, thumbHeight_, tw, th);
  if (tw == w && th == h) return nullptr;
  if (w <= 0 || h <= 0 || tw <= 0 || th <= 0) return nullptr;
  // A TIEBitmap to read from; transparent pixels turn grey in a copy, never in the caller's.
  TIEBitmap* src = dynamic_cast<TIEBitmap*>(&Source);
  std::unique_ptr<TIEBitmap> copy;
  if (!src || (src->HasAlphaChannel() && !src->GetAlphaChannel()->Full())) {
    copy = std::make_unique<TIEBitmap>();
    copy->Assign(&Source);
    if (copy->HasAlphaChannel()) FillTransparentPixels(*copy, TIERGB{128, 128, 128});
    src = copy.get();
  }
  const TIEPixelFormat format = src->PixelFormat();
  auto result = std::make_unique<TIEBitmap>();
  if (format == ie1g || format == ie24RGB) {
    if (!result->Allocate(tw, th, ie24RGB)) throw std::bad_alloc();
    if (format == ie1g) Resample1BitToGray(*src, 0, 0, w - 1, h - 1, *result);
    else _ResampleEx(*src, *result, rfFastLinear, nullptr, nullptr);
  } else {
    if (!result->Allocate(tw, th, format)) throw std::bad_alloc();
    src->CopyPaletteTo(result.get());
    _IEBmpStretchEx(*src, *result, nullptr, nullptr);
  }
  if (src->HasAlphaChannel()) {
    TIEBitmap* alpha = src->GetAlphaChannel();
    ResampleGray8(*alpha, *result->GetAlphaChannel(), rfFastLinear);
    result->GetAlphaChannel()->SetFull(alpha->Full());
  }
  Reduced = true;
  return result;
}

void TZodazUrMView::StoreImageBitmap(int32_t Index, TIEBaseBitmap* Bitmap) {
  if (!Bitmap) return;
  {
    Guard g(lock_);
    if (TIEMImageInfo* r = RecordAt(Index)) {
      bool reduced = false;
      std::unique_ptr<TIEBitmap> result = ReduceToThumb(*Bitmap, reduced);
      // The new pixels first: a store that cannot take them leaves the old ones in place.
      TIEVirtualImage* image = imageList_->AddBitmap(result ? result.get() : Bitmap);
      imageList_->SetImageOriginalWidth(image, Bitmap->GetWidth());
      imageList_->SetImageOriginalHeight(image, Bitmap->GetHeight());
      DeleteStored(*r);
      r->Image = image;
    }
  }
  if (Index == selectedImage_) {
    selectedBitmap_ = nullptr;
    CallBitmapChangeEvents();
  }
}

void TZodazUrMView::SetImageIEBitmap(int32_t Index, TIEBitmap* Bitmap) {
  if (!Bitmap) return;
  StoreImageBitmap(Index, Bitmap);
  {
    Guard g(lock_);
    if (TIEMImageInfo* r = RecordAt(Index)) DropThumbnail(*r);
  }
  UpdateEx(false);
}

void TZodazUrMView::SetImage(int32_t Index, TBitmap* Bitmap) {
  if (Bitmap) {
    TIEBitmap wrapper;
    wrapper.WrapTBitmap(Bitmap, false);
    wrapper.SyncWithTBitmap();
    StoreImageBitmap(Index, &wrapper);
  }
  {
    Guard g(lock_);
    if (TIEMImageInfo* r = RecordAt(Index)) DropThumbnail(*r);
  }
  UpdateEx(false);
}

void TZodazUrMView::UpdateImage(int32_t Index) {
  int32_t x = 0, y = 0;
  {
    Guard g(lock_);
    TIEMImageInfo* r = RecordAt(Index);
    if (!r) return;
    DropThumbnail(*r);
    x = r->X;
    y = r->Y;
  }
  UpdateEx(false);
  if (HandleAllocated()) {
    ValidateRect(Handle(), nullptr);
    const TRect cell{x - viewX_, y - viewY_, x - viewX_ + thumbWidth_, y - viewY_ + thumbHeight_};
    ::InvalidateRect(Handle(), &cell, false);
  }
}

void TZodazUrMView::ReserveImageSpace(int32_t Width, int32_t Height, int32_t BitsPerPixel, int32_t Count) {
  Guard g(lock_);
  imageList_->ReserveSpace(Width, Height, BitsPerPixel, Count);
}

void TZodazUrMView::GetImageBitmap(int32_t Index, TIEBitmap* Bitmap) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  if (!r) ListIndexError(Index);
  if (!r->Image) LoadImageNow(Index);
  if (r->Image && Bitmap) imageList_->CopyToBitmap(r->Image, Bitmap);
}

TIEBitmap* TZodazUrMView::AcquireImageIEBitmap(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  if (!r) ListIndexError(Index);
  if (!r->Image) LoadImageNow(Index);
  if (!r->Image) return nullptr;
  return imageList_->GetBitmap(r->Image);
}

TBitmap* TZodazUrMView::AcquireImageTBitmap(int32_t Index) {
  TIEBitmap* b = AcquireImageIEBitmap(Index);
  return b ? b->GetTBitmap() : nullptr;
}

void TZodazUrMView::ReleaseImageBitmap(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  if (!r) ListIndexError(Index);
  if (r->Image) imageList_->ReleaseBitmapOf(r->Image, true);
  DropThumbnail(*r);
}

void TZodazUrMView::ForgetSelectedBitmap(bool WriteBack) {
  Guard g(lock_);
  if (!selectedBitmap_) return;
  if (WriteBack) {
    imageList_->ReleaseBitmap(selectedBitmap_, true);
    if (TIEMImageInfo* r = RecordAt(selectedImage_)) DropThumbnail(*r);
  }
  selectedBitmap_ = nullptr;
}

TIEBitmap* TZodazUrMView::GetIEBitmap() {
  if (selectedImage_ < 0 || selectedImage_ >= ImageCount()) return nullptr;
  if (!selectedBitmap_) selectedBitmap_ = AcquireImageIEBitmap(selectedImage_);
  return selectedBitmap_;
}

TBitmap* TZodazUrMView::GetBitmap() {
  TIEBitmap* b = GetIEBitmap();
  if (!b) return nullptr;
  try {
    return b->GetTBitmap();
  } catch (const Exception&) {
    return nullptr;  // a format a framework bitmap cannot hold
  }
}

// ---------------------------------------------------------------------------------- attributes

void TZodazUrMView::SetImageFileName(int32_t Index, const std::string& Name) {
  Guard g(lock_);
  if (TIEMImageInfo* r = RecordAt(Index)) {
    r->FileName = Name;
    r->ImageID = -1;
  }
}

std::string TZodazUrMView::GetImageFileName(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->FileName : std::string();
}

void TZodazUrMView::SetImageBackground(int32_t Index, TColor Color) {
  {
    Guard g(lock_);
    TIEMImageInfo* r = RecordAt(Index);
    if (!r) return;
    r->Background = Color;
    DropThumbnail(*r);
  }
  UpdateEx(false);
}

TColor TZodazUrMView::GetImageBackground(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->Background : static_cast<TColor>(0);
}

void TZodazUrMView::SetImageDelayTime(int32_t Index, int32_t Milliseconds) {
  Guard g(lock_);
  if (TIEMImageInfo* r = RecordAt(Index)) r->DelayTime = Milliseconds;
}

int32_t TZodazUrMView::GetImageDelayTime(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->DelayTime : 0;
}

void TZodazUrMView::SetImageOriginalWidth(int32_t Index, int32_t Width) {
  Guard g(lock_);
  if (TIEMImageInfo* r = RecordAt(Index); r && r->Image) imageList_->SetImageOriginalWidth(r->Image, Width);
}

void TZodazUrMView::SetImageOriginalHeight(int32_t Index, int32_t Height) {
  Guard g(lock_);
  if (TIEMImageInfo* r = RecordAt(Index); r && r->Image) imageList_->SetImageOriginalHeight(r->Image, Height);
}

int32_t TZodazUrMView::GetImageOriginalWidth(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r && r->Image ? imageList_->GetImageOriginalWidth(r->Image) : 0;
}

int32_t TZodazUrMView::GetImageOriginalHeight(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r && r->Image ? imageList_->GetImageOriginalHeight(r->Image) : 0;
}

int32_t TZodazUrMView::GetImageWidth(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r && r->Image ? imageList_->GetImageWidth(r->Image) : 0;
}

int32_t TZodazUrMView::GetImageHeight(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r && r->Image ? imageList_->GetImageHeight(r->Image) : 0;
}

int32_t TZodazUrMView::GetImageRow(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->Row : 0;
}

int32_t TZodazUrMView::GetImageCol(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->Col : 0;
}

int32_t TZodazUrMView::GetImageX(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->X : 0;
}

int32_t TZodazUrMView::GetImageY(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->Y : 0;
}

TIEMText* TZodazUrMView::GetImageTopText(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->TopText.get() : nullptr;
}

TIEMText* TZodazUrMView::GetImageBottomText(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->BottomText.get() : nullptr;
}

TIEMText* TZodazUrMView::GetImageInfoText(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->InfoText.get() : nullptr;
}

TRect TZodazUrMView::GetImageDrawnRect(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->DrawnRect : TRect{0, 0, 0, 0};
}

bool TZodazUrMView::IsImageLoaded(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r && r->Image;
}

bool TZodazUrMView::HasImageThumbnail(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r && r->CacheImage;
}

uint64_t TZodazUrMView::GetImageSerial(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  return r ? r->Serial : 0;
}

// ---------------------------------------------------------------------------------- companions

TZodazUrMIO* TZodazUrMView::GetMIO() {
  if (!mio_) {
    mio_ = std::make_unique<TZodazUrMIO>(this);
    mio_->SetAttachedMView(this);
    mio_->OnProgress = onProgress_;
    mio_->OnFinishWork = onFinishWork_;
  }
  return mio_.get();
}

TZodazUrProc* TZodazUrMView::GetProc() {
  if (!proc_) {
    proc_ = std::make_unique<TZodazUrProc>(this);
    proc_->SetAttachedZodazUr(this);
    proc_->OnProgress = onProgress_;
    proc_->OnFinishWork = onFinishWork_;
  }
  if (selectedImage_ < 0 && ImageCount() > 0) SelectImage(0);
  if (!selectedBitmap_) proc_->SetAttachedZodazUr(this);
  return proc_.get();
}

void TZodazUrMView::SetOnProgress(TIEProgressEvent Value) {
  onProgress_ = std::move(Value);
  if (mio_) mio_->OnProgress = onProgress_;
  if (proc_) proc_->OnProgress = onProgress_;
}

void TZodazUrMView::SetOnFinishWork(TNotifyEvent Value) {
  onFinishWork_ = std::move(Value);
  if (mio_) mio_->OnFinishWork = onFinishWork_;
  if (proc_) proc_->OnFinishWork = onFinishWork_;
}

// ---------------------------------------------------------------------------------- paint lock

void TZodazUrMView::LockPaint() { ++paintLockCount_; }

int32_t TZodazUrMView::UnlockPaint() {
  if (paintLockCount_ > 0) {
    --paintLockCount_;
    if (paintLockCount_ == 0) Update();
  }
  return paintLockCount_;
}

int32_t TZodazUrMView::UnlockPaintNoUpdate() {
  if (paintLockCount_ > 0) --paintLockCount_;
  return paintLockCount_;
}

// ---------------------------------------------------------------------------------- properties

void TZodazUrMView::SetStoreType(TIEStoreType Value) {
  Guard g(lock_);
  storeType_ = Value;
}

void TZodazUrMView::SetThumbWidth(int32_t Value) {
  {
    Guard g(lock_);
    thumbWidth_ = Value;
  }
  DropAllThumbnails();
  Update();
}

void TZodazUrMView::SetThumbHeight(int32_t Value) {
  {
    Guard g(lock_);
    thumbHeight_ = Value;
  }
  DropAllThumbnails();
  Update();
}

void TZodazUrMView::SetHorizBorder(int32_t Value) {
  horizBorder_ = Value;
  Update();
}

void TZodazUrMView::SetVertBorder(int32_t Value) {
  vertBorder_ = Value;
  Update();
}

void TZodazUrMView::SetUpperGap(int32_t Value) {
  upperGap_ = minUpperGap_ = Value;
  Update();
}

void TZodazUrMView::SetBottomGap(int32_t Value) {
  bottomGap_ = minBottomGap_ = Value;
  Update();
}

void TZodazUrMView::SetGridWidth(int32_t Value) {
  gridWidth_ = Value;
  Update();
}

void TZodazUrMView::SetStyle(TIEMStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  Update();
}

void TZodazUrMView::SetSelectionStyle(TIESStyle Value) {
  if (Value == selectionStyle_) return;
  selectionStyle_ = Value;
  Update();
}

void TZodazUrMView::SetVisibleSelection(bool Value) {
  visibleSelection_ = Value;
  Update();
}

void TZodazUrMView::SetSelectionWidth(int32_t Value) {
  selectionWidth_ = Value;
  Update();
}

void TZodazUrMView::SetSelectionColor(TColor Value) {
  selectionColor_ = Value;
  Update();
}

void TZodazUrMView::SetThumbnailsBackground(TColor Value) {
  thumbnailsBackground_ = Value;
  Update();
}

void TZodazUrMView::SetThumbnailsBackgroundStyle(TIEBackgroundStyle Value) {
  thumbnailsBackgroundStyle_ = Value;
  Update();
}

void TZodazUrMView::SetThumbnailsBorderWidth(int32_t Value) {
  if (Value == thumbnailsBorderWidth_) return;
  thumbnailsBorderWidth_ = Value;
  Update();
}

void TZodazUrMView::SetThumbnailsBorderColor(TColor Value) {
  if (Value == thumbnailsBorderColor_) return;
  thumbnailsBorderColor_ = Value;
  Update();
}

void TZodazUrMView::SetThumbnailsInternalBorder(bool Value) {
  if (Value == thumbnailsInternalBorder_) return;
  thumbnailsInternalBorder_ = Value;
  Update();
}

void TZodazUrMView::SetThumbnailsInternalBorderColor(TColor Value) {
  if (Value == thumbnailsInternalBorderColor_) return;
  thumbnailsInternalBorderColor_ = Value;
  Update();
}

void TZodazUrMView::SetDrawImageBackground(bool Value) {
  drawImageBackground_ = Value;
  Update();
}

void TZodazUrMView::SetEnableAlphaChannel(bool Value) {
  enableAlphaChannel_ = Value;
  Update();
}

void TZodazUrMView::SetBackgroundStyle(TIEBackgroundStyle Value) {
  backgroundStyle_ = Value;
  Update();
}

void TZodazUrMView::SetWallPaper(TPicture* Value) {
  wallPaper_->Assign(Value);
  Update();
}

void TZodazUrMView::SetWallPaperStyle(TIEWallPaperStyle Value) {
  if (Value == wallPaperStyle_) return;
  wallPaperStyle_ = Value;
  Update();
}

void TZodazUrMView::SetRemoveCorrupted(bool Value) {
  removeCorrupted_ = Value;
  Update();
}

void TZodazUrMView::SetImageCacheSize(int32_t Value) {
  Guard g(lock_);
  imageCacheSize_ = Value;
  imageList_->SetCacheSize(Value);
}

void TZodazUrMView::SetThreadPoolSize(int32_t Value) { threadPoolSize_ = std::max(Value, 0); }

void TZodazUrMView::SetEnableMultiSelect(bool Value) {
  if (Value == enableMultiSelect_) return;
  enableMultiSelect_ = Value;
  Update();
}

void TZodazUrMView::SetFillThumbnail(bool Value) {
  fillThumbnail_ = Value;
  Update();
}

void TZodazUrMView::SetGradientEndColor(TColor Value) {
  gradientEndColor_ = Value;
  Update();
}

void TZodazUrMView::SetChessboardStyle(int32_t Size, TBrushStyle BrushStyle) {
  chessboardSize_ = Size;
  chessboardBrushStyle_ = BrushStyle;
}

void TZodazUrMView::SetBackground(TColor Value) {
  TIEView::SetBackground(Value);
  Update();
}
