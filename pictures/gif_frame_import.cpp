// TGIFSubImage: assignment from another frame, and any framework picture turned into a frame.
#include <algorithm>
#include <array>

#include "pictures/gif_dib.h"
#include "pictures/gif_errors.h"
#include "pictures/gif_frame.h"
#include "pictures/gif_image.h"
#include "pictures/gif_stream_io.h"
#include "platform/gdi/picture.h"
#include "platform/system/streams.h"

void TGIFSubImage::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    Clear();
    return;
  }
  if (auto* other = dynamic_cast<TGIFSubImage*>(Source)) {
    Clear();
    // The extensions are read back from their file form, so that they belong to this frame. A frame
    // without pixels (extensions after the last picture) keeps them too.
    TMemoryStream copy;
    other->extensions_.SaveToStream(copy);
    WriteByte(copy, bsTrailer);
    copy.Seek(0, soBeginning);
    extensions_.LoadFromStream(copy, this);
    if (other->Empty()) return;
    left_ = other->left_;
    top_ = other->top_;
    width_ = other->width_;
    height_ = other->height_;
    packed_ = other->packed_;
    pixels_ = other->pixels_;
    colorMap_.Assign(&other->colorMap_);
    if (other->bitmap_) {
      auto bitmap = std::make_unique<TBitmap>();
      bitmap->Assign(other->bitmap_.get());
      bitmap_ = std::move(bitmap);
    }
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
    AssignFromBitmap(*bitmap);
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(Source)) {
    Assign(picture->Graphic());
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
    Clear();
    if (graphic->Empty()) return;
    // Any other picture becomes a bitmap of its own first (assigned, or drawn when it cannot be).
    TBitmap temporary;
    try {
      temporary.Assign(graphic);
    } catch (const EConvertError&) {
      temporary.SetPixelFormat(pf24bit);
      temporary.SetSize(graphic->Width(), graphic->Height());
      temporary.Canvas()->Draw(0, 0, graphic);
    }
    AssignFromBitmap(temporary);
    return;
  }
  TGIFItem::Assign(Source);
}

void TGIFSubImage::AssignFromBitmap(TBitmap& Source) {
  Clear();
  if (Source.Empty()) return;
  TGIFImage* image = Image();
  SetBounds(left_, top_, Source.Width(), Source.Height());
  // 1, 4 and 8 bits keep their colour table; deeper pictures are reduced to at most 256 colours
  // (a copy: the caller's picture keeps its depth).
  const TPixelFormat format = Source.PixelFormat();
  const bool paletted = format == pf1bit || format == pf4bit || format == pf8bit;
  auto bitmap = std::make_unique<TBitmap>();
  if (paletted) {
    bitmap->Assign(&Source);
  } else {
    TBitmap copy;
    copy.Assign(&Source);
    bitmap = ReduceBitmapColors(copy, image->ReductionMethod(), image->DitherMethod(), nullptr, image->QuantizeBits());
  }
  image->Progress(this, psStarting, 0, false, TRect{}, sProgressConverting);
  try {
    ImportBitmap(*bitmap);
    bitmap_ = std::move(bitmap);
    if (Source.Transparent()) {
      // The source's transparent colour marks the pixels the new entry makes transparent.
      TBitmap mask;
      mask.SetPixelFormat(pf8bit);
      mask.SetSize(width_, height_);
      TBitmap colors;
      colors.Assign(&Source);
      colors.SetPixelFormat(pf24bit);
      const COLORREF key = ColorToRGB(Source.TransparentColor() & 0xFFFFFF);
      for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* c = colors.ScanLine(y);
        uint8_t* m = mask.ScanLine(y);
        for (int32_t x = 0; x < width_; ++x)
          m[x] = RGB(c[3 * x + 2], c[3 * x + 1], c[3 * x]) == key ? 1 : 0;
      }
      AddTransparencyFromMask(mask);
    }
  } catch (...) {
    image->Progress(this, psEnding, 0, false, TRect{}, sProgressConverting);
    throw;
  }
  image->Progress(this, psEnding, 100, false, TRect{}, sProgressConverting);
}

void TGIFSubImage::ImportBitmap(TBitmap& Source) {
  TGIFImage* image = Image();
  const TPixelFormat own = Source.PixelFormat();
  const TPixelFormat format = own == pf1bit || own == pf4bit || own == pf8bit ? own : pf24bit;
  TDIBReader reader(&Source, format);
  if (format != pf24bit) {
    const std::vector<RGBQUAD> table = Source.ColorTable();
    colorMap_.ImportColorTable(table.data(), static_cast<int32_t>(table.size()));
  }
  // Recent colours of a true-colour picture, searched from the last hit backwards.
  std::array<uint32_t, 8> cacheColor{};
  std::array<uint8_t, 8> cacheIndex{};
  int32_t cacheUsed = 0;
  int32_t lastHit = 0;
  for (int32_t y = 0; y < height_; ++y) {
    if (y % 32 == 0)
      image->Progress(this, psRunning, static_cast<uint8_t>(int64_t{y} * 100 / height_), false, TRect{},
                      sProgressConverting);
    const uint8_t* src = reader.ScanLine(y);
    uint8_t* dst = pixels_.data() + static_cast<int64_t>(y) * width_;
    switch (format) {
      case pf1bit:
        for (int32_t x = 0; x < width_; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
        break;
      case pf4bit:
        for (int32_t x = 0; x < width_; ++x) dst[x] = (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4;
        break;
      case pf8bit:
        std::memcpy(dst, src, static_cast<size_t>(width_));
        break;
      default:
        for (int32_t x = 0; x < width_; ++x) {
          const uint32_t bgr = src[3 * x] | src[3 * x + 1] << 8 | static_cast<uint32_t>(src[3 * x + 2]) << 16;
          int32_t hit = -1;
          for (int32_t k = 0, slot = lastHit; k < cacheUsed; ++k, slot = (slot + 7) & 7)
            if (cacheColor[slot] == bgr) {
              hit = slot;
              break;
            }
          if (hit < 0) {
            const TColor color = static_cast<TColor>(RGB(src[3 * x + 2], src[3 * x + 1], src[3 * x]));
            hit = cacheUsed < 8 ? cacheUsed++ : (lastHit + 1) & 7;
            cacheColor[hit] = bgr;
            cacheIndex[hit] = static_cast<uint8_t>(colorMap_.AddUnique(color));
          }
          lastHit = hit;
          dst[x] = cacheIndex[hit];
        }
        break;
    }
  }
}

void TGIFSubImage::AddTransparencyFromMask(TBitmap& Mask) {
  colorMap_.Optimize();
  const int32_t count = colorMap_.Count();
  if (count < 1 || count > 255) return;
  const uint8_t index = static_cast<uint8_t>(colorMap_.Add(static_cast<TColor>(RGB(0, 0, 0))));
  TDIBReader reader(&Mask, pf8bit);
  bool changed = false;
  for (int32_t y = 0; y < height_ && y < Mask.Height(); ++y) {
    const uint8_t* m = reader.ScanLine(y);
    uint8_t* dst = pixels_.data() + static_cast<int64_t>(y) * width_;
    for (int32_t x = 0; x < width_ && x < Mask.Width(); ++x)
      if (m[x] != 0) {
        dst[x] = index;
        changed = true;
      }
  }
  if (!changed) {
    colorMap_.Delete(index);
    return;
  }
  auto gce = std::make_unique<TGIFGraphicControlExtension>(this);
  TGIFGraphicControlExtension* added = gce.get();
  extensions_.Add(std::move(gce));
  added->SetTransparent(true);
  added->SetTransparentColorIndex(index);
  FreeBitmap();
}
