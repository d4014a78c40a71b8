// TGIFSubImage: the image descriptor, pixels, colour maps and extensions of a frame, and how it
// reads and writes itself.
#include "pictures/gif_frame.h"

#include <algorithm>

#include "pictures/gif_errors.h"
#include "pictures/gif_image.h"
#include "pictures/gif_palettes.h"
#include "pictures/gif_stream_io.h"
#include "platform/system/streams.h"

// ---- TGIFLocalColorMap --------------------------------------------------------------------------

void TGIFLocalColorMap::Warning(int32_t Severity, const std::string& Message) {
  subImage_->Image()->Warning(this, Severity, Message);
}

void TGIFLocalColorMap::BuildHistogram(std::vector<int64_t>& Counts) {
  CountPixels(subImage_->Data(), subImage_->DataSize(), Counts);
}

void TGIFLocalColorMap::MapPixels(const uint8_t* Map) {
  RemapPixels(subImage_->Data(), subImage_->DataSize(), Map);
  TGIFGraphicControlExtension* gce = subImage_->GraphicControlExtension();
  if (gce && gce->Transparent() && gce->TransparentColorIndex() < Count())
    gce->SetTransparentColorIndex(Map[gce->TransparentColorIndex()]);
  subImage_->PixelsChanged();
}

void TGIFLocalColorMap::Changed() { subImage_->FreePalette(); }

bool GIFFrameUsesGlobalMap(TGIFSubImage* Frame) {
  return Frame->ColorMap()->Count() == 0 && Frame->Image()->GlobalColorMap()->Count() > 0;
}

// ---- TGIFSubImage -------------------------------------------------------------------------------

TGIFSubImage::TGIFSubImage(TGIFImage* Image) : TGIFItem(Image), colorMap_(this), extensions_(this) {}

TGIFSubImage::~TGIFSubImage() {
  Clear();
  FreePalette();
}

void TGIFSubImage::AllocatePixels() {
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
}

void TGIFSubImage::SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height) {
  Left = std::clamp(Left, 0, 65535);
  Top = std::clamp(Top, 0, 65535);
  Width = std::clamp(Width, 0, 65535);
  Height = std::clamp(Height, 0, 65535);
  const bool resized = Width != width_ || Height != height_;
  left_ = Left;
  top_ = Top;
  width_ = Width;
  height_ = Height;
  if (resized) {
    FreeBitmap();
    AllocatePixels();
  }
  bool exceeded = false;
  TGIFImage* image = this->Image();
  if (image->Width() < left_ + width_) {
    if (image->Width() > 0) {
      Warning(GIFWarningSeverity, sBadWidth);
      exceeded = true;
    }
    image->SetWidth(left_ + width_);
  }
  if (image->Height() < top_ + height_) {
    if (image->Height() > 0) {
      Warning(GIFWarningSeverity, sBadHeight);
      exceeded = true;
    }
    image->SetHeight(top_ + height_);
  }
  if (exceeded) Warning(GIFWarningSeverity, sScreenSizeExceeded);
}

uint8_t* TGIFSubImage::Scanline(int32_t Y) {
  if (Y < 0 || Y >= height_) GIFError(sBadPixelCoordinates);
  if (width_ == 0 || height_ == 0) GIFError(sEmptyImage);
  if (pixels_.empty()) AllocatePixels();
  return pixels_.data() + static_cast<int64_t>(Y) * width_;
}

uint8_t TGIFSubImage::Pixels(int32_t X, int32_t Y) {
  if (X < 0 || X >= width_) GIFError(sBadPixelCoordinates);
  return Scanline(Y)[X];
}

void TGIFSubImage::SetPixels(int32_t X, int32_t Y, uint8_t Value) {
  if (X < 0 || X >= width_) GIFError(sBadPixelCoordinates);
  Scanline(Y)[X] = Value;
  FreeBitmap();
}

TGIFColorMap* TGIFSubImage::ActiveColorMap() {
  TGIFColorMap* global = Image()->GlobalColorMap();
  if (colorMap_.Count() > 0 || global->Count() == 0) return &colorMap_;
  return global;
}

TGIFGraphicControlExtension* TGIFSubImage::GraphicControlExtension() const {
  for (int32_t i = 0; i < extensions_.Count(); ++i)
    if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(extensions_.Items(i))) return gce;
  return nullptr;
}

bool TGIFSubImage::Transparent() const {
  const TGIFGraphicControlExtension* gce = GraphicControlExtension();
  return gce && gce->Transparent();
}

int32_t TGIFSubImage::Version() const {
  if (colorMap_.Optimized()) return 2;
  for (int32_t i = 0; i < extensions_.Count(); ++i)
    if (extensions_.Items(i)->Version() > 1) return 2;
  return 1;
}

HPALETTE TGIFSubImage::Palette() {
  if (bitmap_)
    if (HPALETTE p = bitmap_->Palette()) return p;
  if (palette_) return palette_;
  if (Image()->DoDither()) {
    palette_ = WebPalette();
  } else if (colorMap_.Count() == 0) {
    return Image()->Palette();
  } else {
    palette_ = colorMap_.ExportPalette();
  }
  return palette_;
}

void TGIFSubImage::SetPalette(HPALETTE Value) {
  if (Value == palette_) return;
  FreePalette();
  palette_ = Value;
  if (bitmap_ && bitmap_->Palette() != Value) {
    FreeBitmap();
    Image()->SetPaletteModified(true);
    Image()->Changed(this);
  }
}

void TGIFSubImage::FreePalette() {
  if (palette_) DeleteObject(palette_);
  palette_ = nullptr;
}

void TGIFSubImage::Clear() {
  extensions_.Clear();
  colorMap_.Clear();
  pixels_.clear();
  pixels_.shrink_to_fit();
  width_ = height_ = 0;
  FreeBitmap();
}

int32_t TGIFSubImage::EncodingBits() const {
  return colorMap_.Count() > 0 ? colorMap_.BitsPerPixel() : Image()->BitsPerPixel();
}

int32_t TGIFSubImage::EncodingColors() const {
  return colorMap_.Count() > 0 ? colorMap_.Count() : 1 << Image()->BitsPerPixel();
}

void TGIFSubImage::CheckPixels() const {
  if (Empty()) return;
  const int32_t colors = EncodingColors();
  if (colors >= 256) return;
  uint8_t highest = 0;
  for (uint8_t p : pixels_) highest = std::max(highest, p);
  if (highest >= colors) GIFError(sBadPixelValue);
}

void TGIFSubImage::SaveToStream(TStream& Stream) {
  CheckPixels();
  extensions_.SaveToStream(Stream);
  if (Empty()) return;
  if (colorMap_.Count() > 0) {
    // A frame with its own table is written, and from now on held, as not interlaced.
    packed_ = static_cast<uint8_t>(0x80 | (colorMap_.Optimized() ? 0x20 : 0) | ((colorMap_.BitsPerPixel() - 1) & 7));
  } else {
    packed_ &= 0x58;
  }
  const uint8_t descriptor[10] = {bsImageDescriptor,
                                  static_cast<uint8_t>(left_),   static_cast<uint8_t>(left_ >> 8),
                                  static_cast<uint8_t>(top_),    static_cast<uint8_t>(top_ >> 8),
                                  static_cast<uint8_t>(width_),  static_cast<uint8_t>(width_ >> 8),
                                  static_cast<uint8_t>(height_), static_cast<uint8_t>(height_ >> 8),
                                  packed_};
  Stream.WriteBuffer(descriptor, 10);
  colorMap_.SaveToStream(Stream);
  EncodeGIFImageData(Stream, EncodingBits(), width_, height_, Interlaced(), pixels_.data(), Image()->Encoding());
}

void TGIFSubImage::LoadFromStream(TStream& Stream) {
  Clear();
  extensions_.LoadFromStream(Stream, this);
  uint8_t b = 0;
  if (Stream.Read(&b, 1) != 1) return;
  Stream.Seek(-1, soCurrent);
  // Only an image descriptor gives the frame pixels; the trailer, padding or a stray byte ends it.
  if (b != bsImageDescriptor) return;
  uint8_t descriptor[10];
  ReadCheck(Stream, descriptor, 10);
  left_ = descriptor[1] | descriptor[2] << 8;
  top_ = descriptor[3] | descriptor[4] << 8;
  width_ = descriptor[5] | descriptor[6] << 8;
  height_ = descriptor[7] | descriptor[8] << 8;
  packed_ = descriptor[9];
  if (width_ == 0 || height_ == 0) {
    width_ = Image()->Width();
    height_ = Image()->Height();
    Warning(GIFWarningSeverity, sScreenSizeExceeded);
  }
  if (packed_ & 0x80) colorMap_.LoadFromStream(Stream, 2 << (packed_ & 7));
  const TGIFGraphicControlExtension* gce = GraphicControlExtension();
  const uint8_t fill = gce && gce->Transparent() ? gce->TransparentColorIndex() : 0;
  DecodeGIFImageData(Stream, width_, height_, Interlaced(), fill, pixels_,
                     [this](const std::string& message) { Warning(GIFWarningSeverity, message); });
  if (width_ == 0 || height_ == 0) pixels_.clear();
  if (GIFRenderWhileLoading) Bitmap();
}
