// TIEBitmap: fills, rectangle copies, Assign/AssignImage and the per-row format conversions.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_colorspace.h"
#include "imaging/core/ie_file_buffer.h"
#include "imaging/core/ie_int_math.h"

namespace {

// One pixel of Value in the format's byte layout (Fill's reading of the value); returns its size
// in bytes (0 for ie1g and ieNoFormat). White tells whether a colour value is white.
int32_t PixelPattern(TIEPixelFormat format, double value, uint8_t out[8], bool& white) {
  const int32_t v = SaturateToInt(std::trunc(value));
  const TIERGB c = TColorToRGB(v);
  white = c.r == 255 && c.g == 255 && c.b == 255;
  switch (format) {
    case ie8p:
    case ie8g:
      out[0] = static_cast<uint8_t>(v);
      return 1;
    case ie16g: {
      const uint16_t w = static_cast<uint16_t>(v);
      std::memcpy(out, &w, 2);
      return 2;
    }
    case ie24RGB:
    case ie32RGB:
      out[0] = c.b;
      out[1] = c.g;
      out[2] = c.r;
      out[3] = 0;
      return format == ie24RGB ? 3 : 4;
    case ie32f: {
      const float f = static_cast<float>(value);
      std::memcpy(out, &f, 4);
      return 4;
    }
    case ieCMYK: {
      const int32_t cmyk = RGBToCMYK(c);
      std::memcpy(out, &cmyk, 4);
      return 4;
    }
    case ieRGB48: {
      const TIERGB48 w{static_cast<uint16_t>(c.r * 257), static_cast<uint16_t>(c.g * 257),
                       static_cast<uint16_t>(c.b * 257)};
      std::memcpy(out, &w, 6);
      return 6;
    }
    case ieCIELab: {
      const TIECIELab lab = RGBToCIELab(c);
      std::memcpy(out, &lab, 3);
      return 3;
    }
    default:
      return 0;
  }
}

// Count pixels of a pattern of bpp bytes, written one after another.
void RepeatPattern(uint8_t* dst, const uint8_t* pattern, int32_t bpp, int32_t count) {
  switch (bpp) {
    case 1:
      std::memset(dst, pattern[0], count);
      return;
    case 3:
      for (int32_t i = 0; i < count; ++i, dst += 3) {
        dst[0] = pattern[0];
        dst[1] = pattern[1];
        dst[2] = pattern[2];
      }
      return;
    default:
      for (int32_t i = 0; i < count; ++i, dst += bpp) std::memcpy(dst, pattern, bpp);
  }
}

// The colour bytes of count ie32RGB pixels, keeping each fourth byte.
void Fill32RGBKeepingFourth(uint8_t* dst, const uint8_t* pattern, int32_t count) {
  for (int32_t i = 0; i < count; ++i, dst += 4) {
    dst[0] = pattern[0];
    dst[1] = pattern[1];
    dst[2] = pattern[2];
  }
}

void Expand1gTo24(const uint8_t* src, int32_t sx, uint8_t* dst, int32_t count) {
  for (int32_t i = 0; i < count; ++i, dst += 3) {
    const uint8_t v = GetRowBit(src, sx + i) ? 255 : 0;
    dst[0] = dst[1] = dst[2] = v;
  }
}

}  // namespace

// ---- Fills ----

void TIEBitmap::Fill(double Value) {
  const TIEPixelFormat format = GetPixelFormat();
  if (format == ieNoFormat || IsEmpty()) return;
  const int32_t v = SaturateToInt(std::trunc(Value));
  uint8_t pattern[8];
  bool white = false;
  const int32_t bpp = PixelPattern(format, Value, pattern, white);

  // ie32RGB keeps its fourth bytes, so its rows are read as well as written.
  TIERowAccessScope access(*this, format == ie32RGB ? iraReadWrite : iraWrite);
  if (format == ie32RGB) {
    for (int32_t y = 0; y < height_; ++y) Fill32RGBKeepingFourth(Row<uint8_t>(y), pattern, width_);
  } else {
    // One template row (padding included), copied into every row.
    std::vector<uint8_t> templ(rowLen_, 0);
    if (format == ie1g || bpp == 1)
      std::memset(templ.data(), format == ie1g ? (v != 0 ? 0xFF : 0x00) : pattern[0], rowLen_);
    else
      RepeatPattern(templ.data(), pattern, bpp, width_);
    for (int32_t y = 0; y < height_; ++y) std::memcpy(GetRow(y), templ.data(), rowLen_);
  }

  switch (format) {
    case ie1g: full_ = v != 0; break;
    case ie8p:
    case ie8g: full_ = v == 255; break;
    case ie16g: full_ = v == 65535; break;
    case ie32f: full_ = Value == 1.0; break;
    default: full_ = white; break;
  }
}

void TIEBitmap::FillRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Value) {
  const TIEPixelFormat format = GetPixelFormat();
  if (format == ieNoFormat || IsEmpty()) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, width_ - 1);
  Y2 = std::min(Y2, height_ - 1);
  if (Y2 < Y1 || X2 < X1) return;
  const int32_t count = X2 - X1 + 1;
  uint8_t pattern[8];
  bool white = false;
  const int32_t bpp = PixelPattern(format, Value, pattern, white);

  if (format == ie1g) {
    const bool on = SaturateToInt(std::trunc(Value)) != 0;
    for (int32_t y = Y1; y <= Y2; ++y) FillRowBits(Row<uint8_t>(y), X1, count, on);
    return;
  }
  if (format == ie32RGB) {
    for (int32_t y = Y1; y <= Y2; ++y) Fill32RGBKeepingFourth(Row<uint8_t>(y) + 4 * X1, pattern, count);
    return;
  }
  std::vector<uint8_t> span(static_cast<size_t>(count) * bpp);
  RepeatPattern(span.data(), pattern, bpp, count);
  for (int32_t y = Y1; y <= Y2; ++y)
    std::memcpy(Row<uint8_t>(y) + static_cast<int64_t>(X1) * bpp, span.data(), span.size());
}

// ---- Copies ----

void TIEBitmap::CopyRectTo(TIEBitmap& Dest, int32_t SrcX, int32_t SrcY, int32_t DstX, int32_t DstY, int32_t Width,
                           int32_t Height) {
  const TIEPixelFormat srcFormat = GetPixelFormat();
  const TIEPixelFormat dstFormat = Dest.GetPixelFormat();
  if (!ClipCopyRect(Dest, SrcX, SrcY, DstX, DstY, Width, Height)) return;

  enum { kBits, kBitsTo24, kBytes } kind;
  int32_t bpp = 0;
  if (srcFormat == ie1g && dstFormat == ie1g) {
    kind = kBits;
  } else if (srcFormat == ie1g && dstFormat == ie24RGB) {
    kind = kBitsTo24;
  } else if (srcFormat == dstFormat) {
    kind = kBytes;
    bpp = IEBytesPerPixel[srcFormat];
  } else {
    return;
  }

  const bool self = &Dest == this;
  std::vector<uint8_t> scratch;  // a copy of the source row when both rows are of one bitmap
  TIERowAccessScope readOnly(*this, self ? rowAccess_ : iraRead);
  for (int32_t y = 0; y < Height; ++y) {
    const uint8_t* src = Row<uint8_t>(SrcY + y);
    if (self) {
      scratch.assign(src, src + rowLen_);
      src = scratch.data();
    }
    uint8_t* dst = Dest.Row<uint8_t>(DstY + y);
    switch (kind) {
      case kBits:
        CopyRowBits(src, SrcX, dst, DstX, Width);
        break;
      case kBitsTo24:
        Expand1gTo24(src, SrcX, dst + 3 * static_cast<int64_t>(DstX), Width);
        break;
      case kBytes:
        std::memmove(dst + static_cast<int64_t>(DstX) * bpp, src + static_cast<int64_t>(SrcX) * bpp,
                     static_cast<size_t>(Width) * bpp);
        break;
    }
  }
}

bool TIEBitmap::ClipCopyRect(TIEBitmap& Dest, int32_t& SrcX, int32_t& SrcY, int32_t& DstX, int32_t& DstY,
                             int32_t& Width, int32_t& Height) {
  if (IsEmpty() || Dest.IsEmpty()) return false;
  if (DstX < 0) {
    SrcX -= DstX;
    Width += DstX;
    DstX = 0;
  }
  if (DstY < 0) {
    SrcY -= DstY;
    Height += DstY;
    DstY = 0;
  }
  DstX = std::min(DstX, Dest.width_ - 1);
  DstY = std::min(DstY, Dest.height_ - 1);
  SrcX = std::clamp(SrcX, 0, width_ - 1);
  SrcY = std::clamp(SrcY, 0, height_ - 1);
  Width = std::min({Width, width_ - SrcX, Dest.width_ - DstX});
  Height = std::min({Height, height_ - SrcY, Dest.height_ - DstY});
  return Width > 0 && Height > 0;
}

void TIEBitmap::MergeAlphaRectTo(TIEBitmap& Dest, int32_t SrcX, int32_t SrcY, int32_t DstX, int32_t DstY,
                                 int32_t Width, int32_t Height) {
  if (&Dest == this) return;
  TIEBitmap* src = GetAlphaChannel();
  TIEBitmap* dst = Dest.GetAlphaChannel();
  if (!src || !dst || src->GetPixelFormat() != ie8g || dst->GetPixelFormat() != ie8g) return;
  if (!src->ClipCopyRect(*dst, SrcX, SrcY, DstX, DstY, Width, Height)) return;
  TIERowAccessScope readOnly(*src, iraRead);
  for (int32_t y = 0; y < Height; ++y) {
    const uint8_t* s = src->Row<uint8_t>(SrcY + y) + SrcX;
    uint8_t* d = dst->Row<uint8_t>(DstY + y) + DstX;
    for (int32_t x = 0; x < Width; ++x) d[x] = std::max(d[x], s[x]);
  }
}

// Copies (or converts) every row of Source, which has this bitmap's size; between two file-held
// bitmaps of one layout the temporary file is copied block-wise without mapping rows.
void TIEBitmap::ConvertRowsFrom(TIEBitmap& Source) {
  if (Source.pixelFormat_ == pixelFormat_) {
    if (location_ == ieFile && Source.location_ == ieFile && rowLen_ == Source.rowLen_ &&
        topDown_ == Source.topDown_) {
      ReleaseMappedRows();
      Source.ReleaseMappedRows();
      Source.FileBuffer().CopyTo(*fileBuffer_, static_cast<int64_t>(rowLen_) * height_, 0);
      return;
    }
    CopyRowsFrom(Source);
    return;
  }
  ConvertPixelsFrom(Source);
}

void TIEBitmap::CopyAndConvertFormat(TIEBitmap& Source) {
  if (&Source == this || location_ == ieTBitmap) return;
  if (Source.GetWidth() != GetWidth() || Source.GetHeight() != GetHeight()) return;
  if (Source.pixelFormat_ != ieNoFormat && Source.pixelFormat_ != pixelFormat_) ConvertRowsFrom(Source);
  if (Source.HasAlphaChannel()) GetAlphaChannel()->Assign(*Source.alphaChannel_);
  RealizePalette();
}

void TIEBitmap::Assign(TIEBaseBitmap* Source) {
  TIEBitmap* src = dynamic_cast<TIEBitmap*>(Source);
  if (!src || src == this) return;
  // Assigning our own alpha channel: keep it alive while this bitmap is rebuilt.
  std::unique_ptr<TIEBitmap> keep;
  if (src == alphaChannel_.get()) keep = std::move(alphaChannel_);

  reallocPending_ = true;
  const TIEPixelFormat srcFormat = src->GetPixelFormat();
  if (location_ == ieTBitmap) {
    if (src->IsEmpty()) return;
    // Raises for the formats a framework bitmap cannot hold, before anything changes.
    const TIEPixelFormat format = TBitmapFormatFor(srcFormat);
    rowAlignment_ = src->rowAlignment_;
    if (!Allocate(src->width_, src->height_, format)) return;
  } else {
    FreeImage(true);
    rowAlignment_ = src->rowAlignment_;
    Allocate(src->width_, src->height_, srcFormat);
  }
  if (!IsEmpty()) {
    TIERowAccessScope writeOnly(*this, iraWrite);
    ConvertRowsFrom(*src);
    full_ = src->full_;
  }
  if (!isAlphaChannel_) {
    if (src->HasAlphaChannel())
      GetAlphaChannel()->Assign(*src->alphaChannel_);
    else
      RemoveAlphaChannel();
  }
  src->CopyPaletteTo(this);
  bwConversion_ = src->bwConversion_;
}

void TIEBitmap::AssignImage(TIEBitmap& Source) {
  if (&Source == this || Source.IsEmpty()) return;
  reallocPending_ = true;
  const TIEPixelFormat srcFormat = Source.GetPixelFormat();
  const TIEPixelFormat format = location_ == ieTBitmap ? TBitmapFormatFor(srcFormat) : srcFormat;
  if (AllocateKeepingAlpha(Source.width_, Source.height_, format)) {
    TIERowAccessScope writeOnly(*this, iraWrite);
    ConvertRowsFrom(Source);
  }
  Source.CopyPaletteTo(this);
  full_ = false;
}

std::unique_ptr<TIEBitmap> IEConvertedCopy(TIEBitmap& Source, TIEPixelFormat Format) {
  auto copy = std::make_unique<TIEBitmap>();
  if (Source.PixelFormat() == Format) {
    copy->Assign(Source);
    return copy->IsEmpty() && !Source.IsEmpty() ? nullptr : std::move(copy);
  }
  if (!copy->Allocate(Source.Width(), Source.Height(), Format)) return nullptr;
  copy->CopyAndConvertFormat(Source);
  return copy;
}
