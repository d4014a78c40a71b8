// TIEBitmap: the ieTBitmap location, pixels in a framework bitmap (owned, or wrapped from a caller)
// reached through the drawing layer's TFrameworkBitmap interface.
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_exception.h"
#include "imaging/core/ie_memory.h"

namespace {

// RGBQUAD in 32 bits (blue in the low byte) of a palette entry, and back.
uint32_t ToQuad(TIERGB c) { return c.b | (c.g << 8) | (c.r << 16); }
TIERGB FromQuad(uint32_t q) {
  return TIERGB{static_cast<uint8_t>(q), static_cast<uint8_t>(q >> 8), static_cast<uint8_t>(q >> 16)};
}

TPixelFormat FrameworkFormatOf(TIEPixelFormat format) {
  switch (format) {
    case ie1g: return pf1bit;
    case ie8p:
    case ie8g: return pf8bit;
    case ie32RGB: return pf32bit;
    default: return pf24bit;
  }
}

// True when every entry of the colour table is (i, i, i).
bool IsGreyRamp(TFrameworkBitmap& bmp) {
  const int32_t count = bmp.ColorCount();
  if (count <= 0 || count > 256) return false;
  uint32_t colors[256];
  bmp.GetColors(0, count, colors);
  for (int32_t i = 0; i < count; ++i)
    if ((colors[i] & 0xFFFFFF) != static_cast<uint32_t>(i * 0x010101)) return false;
  return true;
}

void SetGreyRamp(TFrameworkBitmap& bmp) {
  uint32_t colors[256];
  for (uint32_t i = 0; i < 256; ++i) colors[i] = i * 0x010101;
  bmp.SetColors(0, 256, colors);
}

}  // namespace

bool TIEBitmap::CreateFrameworkBitmap() {
  if (framework_) return true;
  if (!FrameworkBitmapFactory) return false;
  framework_ = FrameworkBitmapFactory(nullptr);
  externalBitmap_ = false;
  return framework_ != nullptr;
}

void TIEBitmap::FreeFrameworkBitmap() {
  // An adapter over a caller's bitmap does not own it: only our own bitmaps go.
  framework_.reset();
}

void TIEBitmap::RebuildScanLines() {
  scanLines_.clear();
  if (!framework_) return;
  const int32_t rows = std::min(height_, framework_->Height());
  scanLines_.resize(rows);
  for (int32_t y = 0; y < rows; ++y) scanLines_[y] = static_cast<uint8_t*>(framework_->ScanLine(y));
}

bool TIEBitmap::AllocateFrameworkBitmap(int64_t Size) {
  const int64_t total = PhysicalMemorySize(false);
  if (total > 0 && Size > total) return false;
  try {
    // The formats a framework bitmap cannot hold fail the allocation; ie16g becomes ie8g.
    const TIEPixelFormat format = TBitmapFormatFor(pixelFormat_);
    if (!CreateFrameworkBitmap()) return false;
    framework_->SetSize(1, 1);
    framework_->SetPixelFormat(pfDevice);
    framework_->SetPixelFormat(FrameworkFormatOf(format));
    if (format != pixelFormat_) {
      pixelFormat_ = format;
      UpdateDerivedFields();
    }
    framework_->SetSize(width_, height_);
    if (framework_->Width() != width_ || framework_->Height() != height_) return false;
    if (format == ie8g) SetGreyRamp(*framework_);
    RebuildScanLines();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void TIEBitmap::WrapTBitmap(TBitmap* Bitmap, bool FreePrevious) {
  if (FreePrevious) FreeImage(true);
  if (!Bitmap || !FrameworkBitmapFactory) return;
  if (framework_ && framework_->Bitmap() == Bitmap && framework_->Width() == width_ &&
      framework_->Height() == height_ && pixelFormat_ == TPixelFormatToIE(framework_->PixelFormat()))
    return;
  std::unique_ptr<TFrameworkBitmap> wrapped = FrameworkBitmapFactory(Bitmap);
  if (!wrapped) return;
  // Storage this bitmap owned is freed; palette and alpha channel stay.
  if (!FreePrevious) ReleasePixelStorage();
  framework_ = std::move(wrapped);
  width_ = framework_->Width();
  height_ = framework_->Height();
  switch (framework_->PixelFormat()) {
    case pf1bit: pixelFormat_ = ie1g; break;
    case pf24bit: pixelFormat_ = ie24RGB; break;
    case pf32bit: pixelFormat_ = ie32RGB; break;
    default: break;  // resolved by SyncWithTBitmap below
  }
  UpdateDerivedFields();
  location_ = ieTBitmap;
  externalBitmap_ = true;
  RebuildScanLines();
  SyncWithTBitmap();
}

void TIEBitmap::SyncWithTBitmap() {
  if (location_ != ieTBitmap || !framework_) return;
  TFrameworkBitmap& bmp = *framework_;
  TIEPixelFormat format;
  switch (bmp.PixelFormat()) {
    case pf1bit: format = ie1g; break;
    case pf8bit: format = isAlphaChannel_ || IsGreyRamp(bmp) ? ie8g : ie8p; break;
    case pf24bit: format = ie24RGB; break;
    case pf32bit: format = ie32RGB; break;
    default:
      // Rows of 4, 15 or 16 bits (or device bitmaps) cannot be read as any engine format: the
      // framework converts them to 24 bits first, so no row is ever read past its end.
      bmp.SetPixelFormat(pf24bit);
      format = ie24RGB;
      break;
  }
  const int32_t width = bmp.Width();
  const int32_t height = bmp.Height();
  if (width != width_ || height != height_ || format != pixelFormat_) {
    width_ = width;
    height_ = height;
    pixelFormat_ = format;
    UpdateDerivedFields();
    if (alphaChannel_ && (alphaChannel_->width_ != width_ || alphaChannel_->height_ != height_))
      alphaChannel_->Allocate(width_, height_, ie8g);
    RebuildScanLines();
  } else if (height_ > 0 && (scanLines_.empty() || scanLines_[0] != bmp.ScanLine(0))) {
    RebuildScanLines();
  }
  if (pixelFormat_ == ie8p) {
    if (!palette_) AllocatePalette();
    const int32_t count = std::min(bmp.ColorCount(), paletteLength_);
    uint32_t colors[256];
    if (count > 0) bmp.GetColors(0, count, colors);
    for (int32_t i = 0; i < count; ++i) palette_[i] = FromQuad(colors[i]);
  }
}

TBitmap* TIEBitmap::GetTBitmap() {
  SetLocation(ieTBitmap);
  if (!framework_) return nullptr;
  ApplyCanvasTransform();
  return framework_->Bitmap();
}

TCanvas* TIEBitmap::GetCanvas() {
  if (location_ != ieTBitmap) SetLocation(ieTBitmap);
  if (!framework_) return nullptr;
  ApplyCanvasTransform();
  return framework_->Canvas();
}

void TIEBitmap::ApplyCanvasTransform() {
  if (framework_) framework_->SetCanvasFlip(topDown_, height_);
}

void TIEBitmap::RealizePalette() {
  if (location_ != ieTBitmap || !framework_ || !palette_ || paletteLength_ < 1) return;
  uint32_t colors[256];
  const int32_t count = std::min(paletteLength_, 256);
  for (int32_t i = 0; i < count; ++i) colors[i] = ToQuad(palette_[i]);
  framework_->SetColors(0, count, colors);
}

void TIEBitmap::ResizeFrameworkBitmap(int32_t NewWidth, int32_t NewHeight) {
  if (!CreateFrameworkBitmap()) return;
  framework_->SetSize(std::max(NewWidth, 0), std::max(NewHeight, 0));
  SyncWithTBitmap();
  RebuildScanLines();
}
