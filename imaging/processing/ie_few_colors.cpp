#include "imaging/processing/ie_few_colors.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"

void CopyBitRun(void* Dest, const void* Source, int32_t DestBit, int32_t SrcBit, int32_t BitCount, int32_t SrcSize) {
  if (BitCount < 1 || DestBit < 0 || SrcBit < 0 || !Dest || !Source) return;
  const int64_t available = std::max<int64_t>(0, int64_t{SrcSize} * 8 - SrcBit);
  const int32_t copied = static_cast<int32_t>(std::min<int64_t>(BitCount, available));
  auto* dst = static_cast<uint8_t*>(Dest);
  CopyRowBits(static_cast<const uint8_t*>(Source), SrcBit, dst, DestBit, copied);
  if (copied < BitCount) FillRowBits(dst, DestBit + copied, BitCount - copied, false);
}

void InvertBuffer(void* Buffer, int64_t Length) {
  auto* p = static_cast<uint8_t*>(Buffer);
  for (int64_t i = 0; i < Length; ++i) p[i] = static_cast<uint8_t>(~p[i]);
}

void InvertBitmapRows(TIEBitmap& Bitmap) {
  const int32_t rowLen = Bitmap.RowLen();
  for (int32_t y = 0; y < Bitmap.Height(); ++y) InvertBuffer(Bitmap.GetRow(y), rowLen);
}

std::unique_ptr<TIEBitmap> TwoColorsTo1Bit(TIEBitmap& Bitmap, TIERGB& Color1, TIERGB& Color2) {
  const int32_t width = Bitmap.Width();
  const int32_t height = Bitmap.Height();
  if (Bitmap.IsEmpty()) return nullptr;
  auto result = std::make_unique<TIEBitmap>();
  if (!result->Allocate(width, height, ie1g)) return nullptr;
  int32_t colors = 0;
  std::vector<TIERGB> rgbRow(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    if (Bitmap.PixelFormat() == ie24RGB) {
      const auto* src = static_cast<const TIERGB*>(Bitmap.GetRow(y));
      std::copy(src, src + width, rgbRow.begin());
    } else {
      for (int32_t x = 0; x < width; ++x) rgbRow[static_cast<size_t>(x)] = Bitmap.GetPixelRGB(x, y);
    }
    auto* dst = static_cast<uint8_t*>(result->GetRow(y));
    for (int32_t x = 0; x < width; ++x) {
      const TIERGB c = rgbRow[static_cast<size_t>(x)];
      if (colors == 0) {
        Color1 = c;
        colors = 1;
      } else if (!SameRGB(c, Color1)) {
        if (colors == 1) {
          Color2 = c;
          colors = 2;
        } else if (!SameRGB(c, Color2)) {
          return nullptr;  // a third colour
        }
      }
      SetRowBit(dst, x, SameRGB(c, Color1) ? 0 : 1);
    }
  }
  if (colors != 2) return nullptr;
  auto grey = [](TIERGB c) {
    return std::nearbyint((c.r * GreyWeightRed + c.g * GreyWeightGreen + c.b * GreyWeightBlue) / 100.0);
  };
  if (grey(Color2) < grey(Color1)) {
    InvertBitmapRows(*result);
    std::swap(Color1, Color2);
  }
  return result;
}

int32_t FindNearestPaletteIndex(const TIERGB* Palette, int32_t Count, TIERGB Color) {
  int32_t best = 0;
  int32_t bestDistance = INT32_MAX;
  for (int32_t i = 0; i < Count; ++i) {
    const TIERGB p = Palette[i];
    const int32_t d = std::abs(p.r - Color.r) + std::abs(p.g - Color.g) + std::abs(p.b - Color.b);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

int32_t MaxPaletteIndex(TIEBitmap& Bitmap) {
  if (Bitmap.PixelFormat() != ie8p || Bitmap.IsEmpty()) return 0;
  int32_t most = 0;
  for (int32_t y = 0; y < Bitmap.Height() && most < 255; ++y) {
    const auto* row = static_cast<const uint8_t*>(Bitmap.GetRow(y));
    most = std::max<int32_t>(most, *std::max_element(row, row + Bitmap.Width()));
  }
  return most;
}

std::unique_ptr<TIEBitmap> BilevelCopy(TIEBitmap& Bitmap, TIERGB* Dark, TIERGB* Light) {
  TIERGB dark = CreateRGB(0, 0, 0), light = CreateRGB(255, 255, 255);
  std::unique_ptr<TIEBitmap> copy = TwoColorsTo1Bit(Bitmap, dark, light);
  if (!copy) {
    dark = CreateRGB(0, 0, 0);
    light = CreateRGB(255, 255, 255);
    copy = IEConvertedCopy(Bitmap, ie1g);
  }
  if (Dark) *Dark = dark;
  if (Light) *Light = light;
  return copy;
}
