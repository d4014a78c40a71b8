// TGIFImage: the picture's frames and header, reading and writing whole files, copying, its size and
// palette.
#include "pictures/gif_image.h"

#include <algorithm>

#include "pictures/gif_errors.h"
#include "pictures/gif_painter.h"
#include "pictures/gif_palettes.h"
#include "platform/system/streams.h"

void GIFListWarning(TGIFImage* Image, TObject* Sender, int32_t Severity, const std::string& Message) {
  if (Image) Image->Warning(Sender, Severity, Message);
}

void TGIFItem::Warning(int32_t Severity, const std::string& Message) {
  if (image_) image_->Warning(this, Severity, Message);
}

void TGIFItem::SaveToFile(const std::string& FileName) {
  TSafeFileStream stream(FileName);
  SaveToStream(stream);
  stream.Commit();
}

void TGIFItem::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

TGIFImage::TGIFImage()
    : header_(this), images_(this), paintFlags_(GIFDefaultPaintFlags), animationRate_(GIFDefaultAnimationRate) {}

TGIFImage::~TGIFImage() {
  StopPainting();
  {
    // Painters still listed (one inside whose call this image goes) let go of it.
    std::lock_guard<TCriticalSection> lock(painterLock_);
    for (TGIFPainter* painter : std::vector<TGIFPainter*>(painters_)) painter->LetGo();
  }
  images_.Clear();
  FreePalette();
}

void TGIFImage::Clear() {
  StopPainting();
  FreeBitmap();
  images_.Clear();
  header_.ColorMap()->Clear();
  header_.SetScreenWidth(0);
  header_.SetScreenHeight(0);
  header_.Prepare();
  FreePalette();
}

void TGIFImage::Warning(TObject* Sender, int32_t Severity, const std::string& Message) {
  if (OnGIFWarning) OnGIFWarning(Sender, Severity, Message);
}

void TGIFImage::Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow, const TRect& R,
                         const std::string& Msg) {
  TGraphic::Progress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TGIFImage::Changed(TObject* Sender) {
  SetModified(true);
  if (OnChange) OnChange(Sender);
}

int32_t TGIFImage::Version() const {
  int32_t version = 0;
  for (int32_t i = 0; i < images_.Count() && version < 2; ++i) version = std::max(version, images_[i]->Version());
  return version;
}

int32_t TGIFImage::BitsPerPixel() const {
  int32_t bits = header_.BitsPerPixel();
  for (int32_t i = 0; i < images_.Count(); ++i) bits = std::max(bits, images_[i]->BitsPerPixel());
  return bits;
}

int32_t TGIFImage::ColorResolution() const {
  int32_t bits = header_.ColorResolution();
  for (int32_t i = 0; i < images_.Count(); ++i) bits = std::max(bits, images_[i]->ColorResolution());
  return bits;
}

bool TGIFImage::DoDither() const {
  return (paintFlags_ & gpfDither) && (!(paintFlags_ & gpfDitherOnPaletteDisplay) || GIFPaletteDisplay);
}

// ---- Size and palette -----------------------------------------------------------------------------

void TGIFImage::SetWidth(int32_t Value) {
  Value = std::clamp(Value, 0, 65535);
  for (int32_t i = 0; i < images_.Count(); ++i)
    if (images_[i]->Left() + images_[i]->Width() > Value) GIFError(sBadWidth);
  if (Value == Width()) return;
  StopDrawPainter();
  header_.SetScreenWidth(static_cast<uint16_t>(Value));
  FreeBitmap();
  Changed();
}

void TGIFImage::SetHeight(int32_t Value) {
  Value = std::clamp(Value, 0, 65535);
  for (int32_t i = 0; i < images_.Count(); ++i)
    if (images_[i]->Top() + images_[i]->Height() > Value) GIFError(sBadHeight);
  if (Value == Height()) return;
  StopDrawPainter();
  header_.SetScreenHeight(static_cast<uint16_t>(Value));
  FreeBitmap();
  Changed();
}

HPALETTE TGIFImage::Palette() {
  if (paletteQuery_) GIFError(sNoColorTable);
  paletteQuery_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{paletteQuery_};
  if (bitmap_)
    if (HPALETTE p = bitmap_->Palette()) return p;
  if (globalPalette_) return globalPalette_;
  if (DoDither())
    globalPalette_ = WebPalette();
  else if (header_.ColorMap()->Count() > 0)
    globalPalette_ = header_.ColorMap()->ExportPalette();
  else
    return images_.Count() > 0 ? images_[0]->Palette() : nullptr;
  return globalPalette_;
}

void TGIFImage::SetPalette(HPALETTE Value) {
  if (Value == globalPalette_) return;
  FreePalette();
  globalPalette_ = Value;
  if (bitmap_ && bitmap_->Palette() != Value) {
    StopDrawPainter();
    FreeBitmap();
    SetPaletteModified(true);
    Changed();
  }
}

void TGIFImage::FreePalette() {
  if (globalPalette_) DeleteObject(globalPalette_);
  globalPalette_ = nullptr;
}

// ---- Frames -------------------------------------------------------------------------------------

int32_t TGIFImage::AppendFrame(std::unique_ptr<TGIFSubImage> Frame) {
  StopDrawPainter();
  const int32_t index = images_.Add(std::move(Frame));
  FreeBitmap();
  Changed();
  return index;
}

int32_t TGIFImage::AppendFrame(TPersistent* Source) {
  if (!dynamic_cast<TGraphic*>(Source) && !dynamic_cast<TGIFSubImage*>(Source)) GIFError(sUnsupportedClass);
  auto frame = std::make_unique<TGIFSubImage>(this);
  frame->Assign(Source);
  return AppendFrame(std::move(frame));
}

// ---- Streams ------------------------------------------------------------------------------------

void TGIFImage::LoadFromStream(TStream& Stream) {
  Progress(this, psStarting, 0, false, TRect{}, sProgressLoading);
  bool ok = false;
  try {
    Clear();
    const int64_t start = Stream.Position();
    try {
      header_.LoadFromStream(Stream);
      images_.LoadFromStream(Stream, this);
      TGIFTrailer trailer(this);
      trailer.LoadFromStream(Stream);
    } catch (...) {
      Stream.Seek(start, soBeginning);
      throw;
    }
    ok = true;
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect{}, sProgressLoading);
    throw;
  }
  // A logical screen of no size (nothing could be drawn on it) takes the frames' extent.
  if (ok && (Width() == 0 || Height() == 0)) {
    int32_t right = 0, bottom = 0;
    for (int32_t i = 0; i < images_.Count(); ++i) {
      right = std::max(right, images_[i]->Left() + images_[i]->Width());
      bottom = std::max(bottom, images_[i]->Top() + images_[i]->Height());
    }
    if (Width() == 0) header_.SetScreenWidth(static_cast<uint16_t>(std::min(right, 65535)));
    if (Height() == 0) header_.SetScreenHeight(static_cast<uint16_t>(std::min(bottom, 65535)));
  }
  Progress(this, psEnding, 100, true, TRect{}, sProgressLoading);
  Changed();
}

void TGIFImage::SaveToStream(TStream& Stream) {
  Progress(this, psStarting, 0, false, TRect{}, sProgressSaving);
  try {
    // Nothing is written before every frame is known to fit its colour table.
    for (int32_t i = 0; i < images_.Count(); ++i) images_[i]->CheckPixels();
    header_.SaveToStream(Stream);
    images_.SaveToStream(Stream);
    TGIFTrailer trailer(this);
    trailer.SaveToStream(Stream);
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect{}, sProgressSaving);
    throw;
  }
  Progress(this, psEnding, 100, true, TRect{}, sProgressSaving);
}

void TGIFImage::WriteData(TStream& Stream) {
  if (GIFOptimizeOnStore) Compact(gofAll, grmNone, gdmNearestColor, 8);
  SaveToStream(Stream);
}

// ---- Copying ------------------------------------------------------------------------------------

void TGIFImage::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    Clear();
    return;
  }
  if (auto* other = dynamic_cast<TGIFImage*>(Source)) {
    Clear();
    // The source's progress and warnings are reported while its frames are copied; this image's own
    // handlers come back afterwards.
    TProgressEvent ownProgress = OnProgress;
    TGIFWarning ownWarning = OnGIFWarning;
    OnProgress = other->OnProgress;
    OnGIFWarning = other->OnGIFWarning;
    struct Restore {
      TGIFImage& image;
      TProgressEvent progress;
      TGIFWarning warning;
      ~Restore() {
        image.OnProgress = std::move(progress);
        image.OnGIFWarning = std::move(warning);
      }
    } restore{*this, std::move(ownProgress), std::move(ownWarning)};
    Progress(this, psStarting, 0, false, TRect{}, sProgressCopying);
    try {
      header_.Assign(other->Header());
      painterPriority_ = other->painterPriority_;
      paintBackground_ = other->paintBackground_;
      paintFlags_ = other->paintFlags_;
      reductionMethod_ = other->reductionMethod_;
      ditherMethod_ = other->ditherMethod_;
      const int32_t count = other->images_.Count();
      for (int32_t i = 0; i < count; ++i) {
        auto frame = std::make_unique<TGIFSubImage>(this);
        frame->Assign(other->images_[i]);
        images_.Add(std::move(frame));
        Progress(this, psRunning, static_cast<uint8_t>(i * 100 / count), false, TRect{}, sProgressCopying);
      }
    } catch (...) {
      Progress(this, psEnding, 0, false, TRect{}, sProgressCopying);
      throw;
    }
    Progress(this, psEnding, 100, false, TRect{}, sProgressCopying);
    Changed();
    return;
  }
  Clear();
  auto frame = std::make_unique<TGIFSubImage>(this);
  try {
    frame->Assign(Source);
  } catch (const EConvertError&) {
    frame.reset();
    TGraphic::Assign(Source);
    return;
  }
  AppendFrame(std::move(frame));
}

void TGIFImage::AssignTo(TPersistent* Dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(Dest)) {
    bitmap->Assign(Bitmap());
    return;
  }
  TGraphic::AssignTo(Dest);
}
