// TIEBitmap: conversion between pixel formats.
//
// A conversion never changes its source: pairs without a rule of their own go through blue, green,
// red bytes row by row, and where a whole 24-bit image is needed (quantizing to ie8p) it is built in
// a temporary bitmap.
#include <algorithm>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_color_reduction_hooks.h"
#include "imaging/core/ie_convert_rows.h"
#include "imaging/core/ie_progress.h"

void TIEBitmap::SetPixelFormat(TIEPixelFormat Format) {
  if (GetPixelFormat() != Format) ConvertPixelFormat(Format);
}

void TIEBitmap::ConvertPixelFormat(TIEPixelFormat Format) {
  if (location_ == ieTBitmap) {
    ConvertFrameworkPixelFormat(Format);
    return;
  }
  TIEBitmap old;
  MoveStorageTo(old);
  isAlphaChannel_ = old.isAlphaChannel_;
  if (!Allocate(old.width_, old.height_, Format)) return;  // left empty
  if (old.pixelFormat_ == pixelFormat_) {
    CopyRowsFrom(old);
    old.CopyPaletteTo(this);
  } else if (old.pixelFormat_ != ieNoFormat) {
    ConvertPixelsFrom(old);
  }
  alphaChannel_ = std::move(old.alphaChannel_);
  RealizePalette();
}

void TIEBitmap::ConvertFrameworkPixelFormat(TIEPixelFormat Format) {
  // A framework bitmap holds only some formats: raises for the others before anything changes.
  const TIEPixelFormat target = TBitmapFormatFor(Format);
  if (target == GetPixelFormat()) return;
  if (IsEmpty()) {
    pixelFormat_ = target;
    reallocPending_ = true;
    return;
  }
  // The pixels go to a plain bitmap, the framework bitmap (the caller's, when wrapped) takes the
  // new format, and the pixels come back converted.
  TIEBitmap copy;
  if (!copy.Allocate(width_, height_, pixelFormat_)) return;  // no memory: unchanged
  copy.CopyRowsFrom(*this);
  CopyPaletteTo(&copy);
  std::unique_ptr<TIEBitmap> alpha = std::move(alphaChannel_);
  reallocPending_ = true;
  if (Allocate(copy.width_, copy.height_, target)) ConvertPixelsFrom(copy);
  alphaChannel_ = std::move(alpha);
  RealizePalette();
}

void TIEBitmap::ConvertPixelsFrom(TIEBitmap& Source) {
  const TIEPixelFormat from = Source.GetPixelFormat();
  const TIEPixelFormat to = GetPixelFormat();
  if (&Source == this || from == ieNoFormat || to == ieNoFormat || IsEmpty()) return;
  if (Source.GetWidth() != width_ || Source.GetHeight() != height_) return;

  if (to == ie1g) {
    TIEProgressRecord progress;
    if (bwConversion_ == 0)
      IEColorReduction.BWOrdered(Source, *this, progress);
    else
      IEColorReduction.BWThreshold(Source, *this, kIEThresholdMeanColor, progress);
    return;
  }

  if (to == ie8p) {
    if (from == ie24RGB) {
      QuantizeFrom(Source);
      return;
    }
    if (from == ie1g || from == ie8g || from == ie16g || from == ie32f) {
      // Black and white, or the grey ramp; the rows become indices below.
      if (!palette_) AllocatePalette();
      if (from == ie1g) {
        std::fill(palette_.get(), palette_.get() + 256, TIERGB{0, 0, 0});
        palette_[1] = TIERGB{255, 255, 255};
      } else {
        for (int32_t i = 0; i < 256; ++i) palette_[i] = TIERGB{uint8_t(i), uint8_t(i), uint8_t(i)};
      }
    } else {
      // Colour of another layout: quantized from a 24-bit copy, the source stays as it is.
      TIEBitmap rgb;
      if (!rgb.Allocate(width_, height_, ie24RGB)) return;
      rgb.ConvertPixelsFrom(Source);
      QuantizeFrom(rgb);
      return;
    }
  }

  // ie16g to colour maps the display range of the bitmap that receives the colour: this one, or
  // the source itself where the pair goes through 24 bits.
  const bool rangeHere = to == ie24RGB;
  TIERowConverter converter(from, to, Source.GetPaletteBuffer(), Source.GetPaletteLength(),
                            rangeHere ? displayRangeMin_ : Source.displayRangeMin_,
                            rangeHere ? displayRangeMax_ : Source.displayRangeMax_);
  if (!converter.Valid()) return;
  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(*this, iraWrite);
  for (int32_t y = 0; y < height_; ++y) converter.Convert(Source.GetRow(y), GetRow(y), width_);
}

void TIEBitmap::QuantizeFrom(TIEBitmap& Source) {
  if (!palette_) AllocatePalette();
  IEColorReduction.Quantize(Source, *this);
}
