// The processing module's side of the colour-reduction seam that TIEBitmap's conversions call.
#include "imaging/core/ie_color_reduction_hooks.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_color_reduction.h"
#include "imaging/processing/ie_quantizer.h"
#include "imaging/processing/ie_resample_bands.h"

namespace {

void BWOrdered(TIEBitmap& Source, TIEBitmap& Dest, TIEProgressRecord& Progress) {
  ConvertToBWOrdered(Source, Dest, Progress);
}

void Quantize(TIEBitmap& Source, TIEBitmap& Dest) {
  TIERGB palette[256] = {};
  const int32_t colours = std::clamp(Dest.PaletteUsed(), 1, 256);
  TIEQuantizer quantizer(Source, palette, 0, colours);
  std::copy(palette, palette + std::min<int32_t>(256, Dest.GetPaletteLength()), Dest.GetPaletteBuffer());

  // The pixels are mapped in bands of rows on every core (ResampleThreadCount's rule); bitmaps held
  // in temporary files map one row at a time and are walked by this thread alone.
  const int32_t width = Dest.GetWidth(), height = Dest.GetHeight();
  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  const bool shared = !IsFileHeldBitmap(Source) && !IsFileHeldBitmap(Dest);
  std::vector<const uint8_t*> sourceRows;
  std::vector<uint8_t*> destRows;
  if (shared) {
    for (int32_t y = 0; y < height; ++y) sourceRows.push_back(Source.Row<uint8_t>(y));
    for (int32_t y = 0; y < height; ++y) destRows.push_back(Dest.Row<uint8_t>(y));
  }
  RunResampleBands(
      height, shared ? ResampleThreadCount(Source) : 1,
      [&](int32_t first, int32_t count, const std::function<bool()>&) {
        for (int32_t y = first; y < first + count; ++y) {
          if (shared)
            quantizer.IndexRow(sourceRows[static_cast<size_t>(y)], destRows[static_cast<size_t>(y)], width);
          else
            quantizer.IndexRow(Source.Row<uint8_t>(y), Dest.Row<uint8_t>(y), width);
        }
      },
      nullptr);
}

}  // namespace

extern const TIEColorReductionHooks IEColorReduction{BWOrdered, ConvertToBWThreshold, Quantize};
