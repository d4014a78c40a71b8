#include "imaging/processing/ie_filter3x3.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "imaging/core/ie_bitmap.h"

namespace {

constexpr TIE3x3Filter kBuiltInPresets[kFilterPresetCount] = {
    {{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, 0},        // None
    {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 9},        // Blur
    {{{1, 1, 1}, {1, -8, 1}, {1, 1, 1}}, 1},       // Edges
    {{{-1, 0, 1}, {-1, 1, 1}, {-1, 0, 1}}, 1},     // Emboss
    {{{0, -1, 0}, {-1, 5, -1}, {0, -1, 0}}, 1},    // High Pass 1
    {{{-1, -1, -1}, {-1, 9, -1}, {-1, -1, -1}}, 1},  // High Pass 2
    {{{1, -2, 1}, {-2, 5, -2}, {1, -2, 1}}, 1},    // High Pass 3
    {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 10},       // Low Pass 1
    {{{1, 2, 1}, {2, 4, 2}, {1, 2, 1}}, 16},       // Low Pass 2
};

}  // namespace

TIE3x3Filter FilterPresets[kFilterPresetCount] = {
    kBuiltInPresets[0], kBuiltInPresets[1], kBuiltInPresets[2], kBuiltInPresets[3], kBuiltInPresets[4],
    kBuiltInPresets[5], kBuiltInPresets[6], kBuiltInPresets[7], kBuiltInPresets[8],
};

const char* const FilterPresetNames[kFilterPresetCount] = {
    "None", "Blur", "Edges", "Emboss", "High Pass 1", "High Pass 2", "High Pass 3", "Low Pass 1", "Low Pass 2",
};

void CreateFilterPresets() { std::copy(std::begin(kBuiltInPresets), std::end(kBuiltInPresets), FilterPresets); }

void FreeFilterPresets() {}

void ApplyFilter3x3Gray(TIEBitmap& Bitmap, const TIE3x3Filter& Filter, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (Bitmap.PixelFormat() != ie8g || Bitmap.IsEmpty()) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, w);
  Y2 = std::min(Y2, h);
  if (X2 <= X1 || Y2 <= Y1) return;
  // Coefficient k times every value, k = 0..8 in row order.
  std::vector<int64_t> table(9 * 256);
  for (int32_t k = 0; k < 9; ++k)
    for (int32_t v = 0; v < 256; ++v) table[k * 256 + v] = int64_t{Filter.Values[k / 3][k % 3]} * v;
  const int32_t divisor = Filter.Divisor == 0 ? 1 : Filter.Divisor;
  // Results go to their own rows and are copied back at the end, so every sum reads unfiltered
  // pixels. The rows the filter reads are kept as copies (rows of a file-held bitmap stay valid
  // only until the next one is read).
  const int32_t count = X2 - X1;
  std::vector<uint8_t> result(static_cast<size_t>(count) * (Y2 - Y1));
  std::vector<uint8_t> rows[3];
  for (int32_t y = Y1; y < Y2; ++y) {
    for (int32_t k = 0; k < 3; ++k) {
      const uint8_t* src = Bitmap.Row<uint8_t>(std::clamp(y + k - 1, 0, h - 1));
      rows[k].assign(src, src + w);
    }
    uint8_t* dst = result.data() + static_cast<size_t>(y - Y1) * count;
    for (int32_t x = X1; x < X2; ++x) {
      const int32_t xs[3] = {std::max(x - 1, 0), x, std::min(x + 1, w - 1)};
      int64_t s = 0;
      for (int32_t k = 0; k < 9; ++k) s += table[k * 256 + rows[k / 3][xs[k % 3]]];
      // A negative divisor of a caller's filter gives 0, never a wrapped byte.
      dst[x - X1] = static_cast<uint8_t>(std::clamp<int64_t>(std::abs(s) / divisor, 0, 255));
    }
  }
  for (int32_t y = Y1; y < Y2; ++y)
    std::copy_n(result.data() + static_cast<size_t>(y - Y1) * count, count, Bitmap.Row<uint8_t>(y) + X1);
}
