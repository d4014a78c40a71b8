// TIEBitmap: palette, alpha channel and whole-image tests.
#include <algorithm>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_colorspace.h"

// ---- Palette ----

TIERGB TIEBitmap::GetPaletteColor(int32_t Index) {
  if (!palette_ || Index < 0 || Index >= paletteLength_) return TIERGB{0, 0, 0};
  return palette_[Index];
}

void TIEBitmap::SetPaletteColor(int32_t Index, TIERGB Value) {
  if (!palette_ || Index < 0 || Index >= paletteLength_) return;
  palette_[Index] = Value;
  RealizePalette();
}

void TIEBitmap::CopyPaletteTo(TIEBaseBitmap* Dest) {
  TIEBitmap* dest = dynamic_cast<TIEBitmap*>(Dest);
  if (!dest || dest == this) return;
  dest->palette_.reset();
  dest->paletteLength_ = 0;
  dest->paletteUsed_ = 256;
  if (palette_ && paletteLength_ > 0) {
    dest->palette_ = std::make_unique<TIERGB[]>(256);
    std::copy(palette_.get(), palette_.get() + paletteLength_, dest->palette_.get());
    dest->paletteLength_ = paletteLength_;
    dest->paletteUsed_ = paletteUsed_;
    dest->RealizePalette();
  }
}

// ---- Alpha channel ----

TIEBitmap* TIEBitmap::GetAlphaChannel() {
  if (isAlphaChannel_) return nullptr;
  // The channel keeps its pixels by the same size rule as the image (a fixed-location bitmap's
  // alpha stays with it).
  if (!alphaChannel_) alphaChannel_ = NewAlphaChannel(GetWidth(), GetHeight(), location_, &memoryThreshold_);
  return alphaChannel_.get();
}

std::unique_ptr<TIEBitmap> TIEBitmap::SetAlphaChannel(std::unique_ptr<TIEBitmap> Channel) {
  if (Channel) Channel->isAlphaChannel_ = true;
  std::swap(Channel, alphaChannel_);
  return Channel;
}

void TIEBitmap::RemoveAlphaChannel(bool Merge, TColor Background) {
  if (isAlphaChannel_ || !alphaChannel_) return;
  if (Merge && GetPixelFormat() == ie24RGB) {
    const TIERGB bg = TColorToRGB(Background);
    const int32_t bgc[3] = {bg.b, bg.g, bg.r};
    TIEBitmap& alpha = *alphaChannel_;
    const int32_t rows = std::min(height_, alpha.GetHeight());
    const int32_t cols = std::min(width_, alpha.GetWidth());
    TIERowAccessScope readOnly(alpha, iraRead);
    for (int32_t y = 0; y < rows; ++y) {
      uint8_t* px = Row<uint8_t>(y);
      const uint8_t* a = alpha.Row<uint8_t>(y);
      for (int32_t x = 0; x < cols; ++x, px += 3) {
        // Each channel moves towards the background by the alpha: b + floor((c - b) * a / 256).
        for (int c = 0; c < 3; ++c)
          px[c] = static_cast<uint8_t>(bgc[c] + (((px[c] - bgc[c]) * a[x] * 1024) >> 18));
      }
    }
  }
  alphaChannel_.reset();
}

uint8_t TIEBitmap::GetAlpha(int32_t X, int32_t Y) {
  if (isAlphaChannel_) return GetPixel8(X, Y);
  return GetAlphaChannel()->GetPixel8(X, Y);
}

void TIEBitmap::SetAlpha(int32_t X, int32_t Y, uint8_t Value) {
  if (isAlphaChannel_) {
    SetPixel8(X, Y, Value);
    return;
  }
  GetAlphaChannel()->SetPixel8(X, Y, Value);
  if (Value != 255) full_ = false;
}

void TIEBitmap::SyncAlpha32(bool ToAlpha) {
  if (GetPixelFormat() != ie32RGB || isAlphaChannel_) return;
  TIEBitmap& alpha = *GetAlphaChannel();
  const int32_t rows = std::min(height_, alpha.GetHeight());
  const int32_t cols = std::min(width_, alpha.GetWidth());
  if (ToAlpha) {
    TIERowAccessScope readOnly(*this, iraRead);
    for (int32_t y = 0; y < rows; ++y) {
      const uint8_t* px = Row<uint8_t>(y);
      uint8_t* a = alpha.Row<uint8_t>(y);
      for (int32_t x = 0; x < cols; ++x) a[x] = px[4 * x + 3];
    }
    alpha.SyncFull();
  } else {
    TIERowAccessScope readOnly(alpha, iraRead);
    for (int32_t y = 0; y < rows; ++y) {
      uint8_t* px = Row<uint8_t>(y);
      const uint8_t* a = alpha.Row<uint8_t>(y);
      for (int32_t x = 0; x < cols; ++x) px[4 * x + 3] = a[x];
    }
  }
}

void TIEBitmap::SyncFull() {
  if (IsEmpty()) {
    full_ = false;
    return;
  }
  const int32_t packed = RowLength(width_, bitCount_, 8);
  TIERowAccessScope readOnly(*this, iraRead);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = Row<uint8_t>(y);
    for (int32_t i = 0; i < packed; ++i) {
      if (row[i] != 255) {
        full_ = false;
        return;
      }
    }
  }
  full_ = true;
}

// ---- Whole-image tests ----

bool TIEBitmap::IsGrayScale() {
  const TIEPixelFormat format = GetPixelFormat();
  if (IsEmpty()) return true;
  if (format == ie8p) {
    for (int32_t i = 0; i < paletteLength_; ++i) {
      const TIERGB c = palette_[i];
      if (c.r != c.g || c.g != c.b) return false;
    }
    return true;
  }
  // Which bytes of a pixel must be equal, and which must be zero (a, b of ieCIELab).
  int32_t bpp;
  switch (format) {
    case ie24RGB: bpp = 3; break;
    case ie32RGB: bpp = 4; break;
    case ieCMYK: bpp = 4; break;
    case ieRGB48: bpp = 6; break;
    case ieCIELab: bpp = 3; break;
    default: return true;
  }
  TIERowAccessScope readOnly(*this, iraRead);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* px = Row<uint8_t>(y);
    for (int32_t x = 0; x < width_; ++x, px += bpp) {
      switch (format) {
        case ieRGB48: {
          TIERGB48 w;
          std::memcpy(&w, px, 6);
          if (w.r != w.g || w.g != w.b) return false;
          break;
        }
        case ieCIELab:
          if (px[1] != 0 || px[2] != 0) return false;
          break;
        default:  // blue, green, red, or C, M, Y
          if (px[0] != px[1] || px[1] != px[2]) return false;
          break;
      }
    }
  }
  return true;
}

bool TIEBitmap::IsAllZero() {
  if (IsEmpty()) return true;
  const int32_t packed = RowLength(width_, bitCount_, 8);
  TIERowAccessScope readOnly(*this, iraRead);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = Row<uint8_t>(y);
    for (int32_t i = 0; i < packed; ++i)
      if (row[i] != 0) return false;
  }
  return true;
}
