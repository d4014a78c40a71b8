// The processing module's side of the colour-reduction seam that TIEBitmap's conversions call.
#include "imaging/core/ie_color_reduction_hooks.h"

#include <algorithm>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_color_reduction.h"
#include "imaging/processing/ie_quantizer.h"

namespace {

void BWOrdered(TIEBitmap& Source, TIEBitmap& Dest, TIEProgressRecord& Progress) {
  ConvertToBWOrdered(Source, Dest, Progress);
}

void Quantize(TIEBitmap& Source, TIEBitmap& Dest) {
  TIERGB palette[256] = {};
  const int32_t colours = std::clamp(Dest.PaletteUsed(), 1, 256);
  TIEQuantizer quantizer(Source, palette, 0, colours);
  std::copy(palette, palette + std::min<int32_t>(256, Dest.GetPaletteLength()), Dest.GetPaletteBuffer());

  const int32_t width = Dest.GetWidth();
  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  for (int32_t y = 0; y < Dest.GetHeight(); ++y) {
    const uint8_t* src = Source.Row<uint8_t>(y);
    uint8_t* dst = Dest.Row<uint8_t>(y);
    for (int32_t x = 0; x < width; ++x, src += 3)
      dst[x] = static_cast<uint8_t>(quantizer.RGBIndex(TIERGB{src[0], src[1], src[2]}));
  }
}

}  // namespace

extern const TIEColorReductionHooks IEColorReduction{BWOrdered, ConvertToBWThreshold, Quantize};
