// TZodazUrProc: the colour operations. Each runs inside the operation frame: an undo step, the
// accepted formats, the selection's box, per-row progress.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_colorspace.h"
#include "imaging/core/ie_color_models.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_hsl_rows.h"
#include "imaging/core/ie_int_math.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/system/exception.h"

namespace {

constexpr TIEPixelFormatSet k24 = PixelFormatSet(ie24RGB);

// The bytes of the area's row Y from column X1 on.
inline TIERGB* AreaPixels(TIEProcessingArea& A, int32_t Y) { return A.Bitmap->Row<TIERGB>(Y) + A.X1; }

// Maps every pixel of the area's row through three channel tables (blue, green, red).
void MapRow(TIERGB* Px, int32_t Count, const uint8_t* B, const uint8_t* G, const uint8_t* R) {
  for (int32_t x = 0; x < Count; ++x) {
    Px[x].b = B[Px[x].b];
    Px[x].g = G[Px[x].g];
    Px[x].r = R[Px[x].r];
  }
}

// Inverts Count bytes, eight at a time where it can.
void InvertBytes(uint8_t* P, int64_t Count) {
  int64_t i = 0;
  for (; i + 8 <= Count; i += 8) {
    uint64_t v;
    std::memcpy(&v, P + i, 8);
    v = ~v;
    std::memcpy(P + i, &v, 8);
  }
  for (; i < Count; ++i) P[i] = static_cast<uint8_t>(~P[i]);
}

// Inverts the first three bytes of Count four-byte pixels (the fourth is alpha or unused).
void InvertThreeOfFour(uint8_t* P, int64_t Count) {
  int64_t i = 0;
  for (; i + 2 <= Count; i += 2) {
    uint64_t v;
    std::memcpy(&v, P + 4 * i, 8);
    v ^= 0x00FFFFFF00FFFFFFull;
    std::memcpy(P + 4 * i, &v, 8);
  }
  for (; i < Count; ++i) {
    P[4 * i] = static_cast<uint8_t>(~P[4 * i]);
    P[4 * i + 1] = static_cast<uint8_t>(~P[4 * i + 1]);
    P[4 * i + 2] = static_cast<uint8_t>(~P[4 * i + 2]);
  }
}

// Inverts the bits X1..X2-1 of a 1-bit row.
void InvertBits(uint8_t* Row, int32_t X1, int32_t X2) {
  int32_t x = X1;
  for (; x < X2 && (x & 7); ++x) SetRowBit(Row, x, !GetRowBit(Row, x));
  const int32_t wholeBytes = (X2 - x) / 8;
  InvertBytes(Row + x / 8, wholeBytes);
  x += wholeBytes * 8;
  for (; x < X2; ++x) SetRowBit(Row, x, !GetRowBit(Row, x));
}

// The result of a per-pixel colour function, remembered for the pixel before: runs of equal
// pixels (flat areas of photos, graphics) are converted once.
template <class F>
void MapPixels(TIERGB* Px, int32_t Count, F&& Convert) {
  if (Count <= 0) return;
  TIERGB lastIn = Px[0], lastOut = Convert(Px[0]);
  Px[0] = lastOut;
  for (int32_t x = 1; x < Count; ++x) {
    if (!(Px[x] == lastIn)) {
      lastIn = Px[x];
      lastOut = Convert(lastIn);
    }
    Px[x] = lastOut;
  }
}

}  // namespace

void TZodazUrProc::HSLvar(int32_t Hue, int32_t Sat, int32_t Lum) {
  TIEProcessingArea a;
  if (!BeginImageProcessing(k24, Format("HSLvar %d, %d, %d", Hue, Sat, Lum), a)) return;
  // The hue as a part of a turn, reduced to less than one turn so that one wrap brings any sum
  // back into range.
  const double dh = (Hue % 360) / 360.0, ds = Sat / 100.0, dl = Lum / 100.0;
  ForEachAreaRow(a, [&](int32_t y) { HSLShiftRow(AreaPixels(a, y), a.X2 - a.X1, dh, ds, dl); });
  EndImageProcessing(a);
  DoFinishWork();
}

void TZodazUrProc::HSVvar(int32_t Hue, int32_t Sat, int32_t Val) {
  TIEProcessingArea a;
  if (!BeginImageProcessing(k24, Format("HSVvar %d, %d, %d", Hue, Sat, Val), a)) return;
  const int32_t dh = Hue % 360;
  // Sums stay far from overflow: the model's values are below 360.
  const int32_t ds = std::clamp(Sat, -1000, 1000), dv = std::clamp(Val, -1000, 1000);
  ForEachAreaRow(a, [&](int32_t y) {
    MapPixels(AreaPixels(a, y), a.X2 - a.X1, [&](TIERGB c) {
      int32_t h, s, v;
      RGBToHSV(h, s, v, c);
      HSVToRGB(c, h + dh, s + ds, v + dv);
      return c;
    });
  });
  EndImageProcessing(a);
  DoFinishWork();
}

void TZodazUrProc::Contrast(double Contrast) {
  TIEProcessingArea a;
  if (!BeginImageProcessing(k24, Format("Contrast %f", Contrast), a)) return;
  // The means of the whole image, also under a selection.
  int32_t mean[3];
  ChannelMeans(*bitmap_, mean[2], mean[1], mean[0]);
  double k = Contrast >= 0 ? 1 + Contrast / 10 : 1 - std::sqrt(-Contrast) / 10;
  if (!std::isfinite(k)) k = 1;  // a contrast that is not a number changes nothing
  uint8_t table[3][256];
  for (int32_t c = 0; c < 3; ++c)
    for (int32_t i = 0; i < 256; ++i) {
      const double v = std::nearbyint((i - mean[c]) * k + mean[c]);
      table[c][i] = static_cast<uint8_t>(v >= 255 ? 255 : (v > 0 ? v : 0));  // NaN gives 0
    }
  ForEachAreaRow(a, [&](int32_t y) { MapRow(AreaPixels(a, y), a.X2 - a.X1, table[0], table[1], table[2]); });
  EndImageProcessing(a);
  DoFinishWork();
}

void TZodazUrProc::IntensityRGBall(int32_t R, int32_t G, int32_t B) {
  TIEProcessingArea a;
  if (!BeginImageProcessing(k24, Format("IntensityRGBall %d, %d, %d", R, G, B), a)) return;
  uint8_t table[3][256];
  const int32_t add[3] = {std::clamp(B, -256, 256), std::clamp(G, -256, 256), std::clamp(R, -256, 256)};
  for (int32_t c = 0; c < 3; ++c)
    for (int32_t i = 0; i < 256; ++i) table[c][i] = static_cast<uint8_t>(ClampByte(i + add[c]));
  ForEachAreaRow(a, [&](int32_t y) { MapRow(AreaPixels(a, y), a.X2 - a.X1, table[0], table[1], table[2]); });
  EndImageProcessing(a);
  DoFinishWork();
}

void TZodazUrProc::ConvertToGray() {
  TIEProcessingArea a;
  if (!BeginImageProcessing(k24, "ConvertToGray", a)) return;
  ForEachAreaRow(a, [&](int32_t y) {
    TIERGB* px = AreaPixels(a, y);
    for (int32_t x = 0; x < a.X2 - a.X1; ++x) {
      const uint8_t g = static_cast<uint8_t>(RGBToGray(px[x]));
      px[x] = TIERGB{g, g, g};
    }
  });
  EndImageProcessing(a);
  DoFinishWork();
}

void TZodazUrProc::HistAutoEqualize() {
  TIEProcessingArea a;
  if (!BeginImageProcessing(k24, "HistAutoEqualize", a)) return;
  TIEBitmap& b = *a.Bitmap;
  const int32_t w = b.Width(), h = b.Height();
  if (w > 0 && h > 0 && a.X2 > a.X1 && a.Y2 > a.Y1) {
    // 1. The grey histogram of the processed bitmap.
    double hist[256] = {};
    {
      TIERowAccessScope readOnly(b, iraRead);
      for (int32_t y = 0; y < h; ++y) {
        const TIERGB* px = b.Row<TIERGB>(y);
        for (int32_t x = 0; x < w; ++x) ++hist[RGBToGray(px[x])];
      }
    }
    // 2. The span of output levels each grey level gets.
    const double binSize = static_cast<double>(w) * h / 256;
    uint8_t low[256], high[256];
    int32_t level = 0;
    double acc = 0;
    for (int32_t t = 0; t < 256; ++t) {
      low[t] = static_cast<uint8_t>(std::min(level, 255));
      acc += hist[t];
      while (acc > binSize) {
        acc -= binSize;
        ++level;
      }
      high[t] = static_cast<uint8_t>(std::min(level, 255));
    }
    // 3. Into a separate buffer, so that neighbourhoods are read from unchanged pixels.
    const int32_t aw = a.X2 - a.X1;
    std::vector<TIERGB> out(static_cast<size_t>(aw) * (a.Y2 - a.Y1));
    ForEachAreaRow(a, [&](int32_t y) {
      // The three rows around y, clamped to the bitmap (copied: rows of a file-held bitmap stay
      // valid only until the next one is read).
      std::vector<TIERGB> rows[3];
      for (int32_t k = 0; k < 3; ++k) {
        const TIERGB* src = b.Row<TIERGB>(std::clamp(y + k - 1, 0, h - 1));
        rows[k].assign(src, src + w);
      }
      TIERGB* dst = out.data() + static_cast<size_t>(y - a.Y1) * aw;
      for (int32_t x = a.X1; x < a.X2; ++x) {
        const TIERGB c = rows[1][x];
        const int32_t g = RGBToGray(c);
        if (low[g] == high[g]) {
          dst[x - a.X1] = TIERGB{low[c.b], low[c.g], low[c.r]};
          continue;
        }
        int32_t sum[3] = {0, 0, 0};
        for (int32_t k = 0; k < 3; ++k)
          for (int32_t dx = -1; dx <= 1; ++dx) {
            const TIERGB n = rows[k][std::clamp(x + dx, 0, w - 1)];
            sum[0] += n.b;
            sum[1] += n.g;
            sum[2] += n.r;
          }
        const TIERGB mean{static_cast<uint8_t>(sum[0] / 9), static_cast<uint8_t>(sum[1] / 9),
                          static_cast<uint8_t>(sum[2] / 9)};
        const int32_t q = RGBToGray(mean);
        if (q > high[g])
          dst[x - a.X1] = TIERGB{high[c.b], high[c.g], high[c.r]};
        else if (q < low[g])
          dst[x - a.X1] = TIERGB{low[c.b], low[c.g], low[c.r]};
        else
          dst[x - a.X1] = mean;
      }
    });
    // 4. The area back into the processed bitmap.
    for (int32_t y = a.Y1; y < a.Y2; ++y)
      std::memcpy(AreaPixels(a, y), out.data() + static_cast<size_t>(y - a.Y1) * aw, sizeof(TIERGB) * aw);
  }
  EndImageProcessing(a);
  DoFinishWork();
}

void TZodazUrProc::Negative() {
  // Under a selection the copy's inverted palette would be lost in the merge: the image is made
  // ie24RGB first.
  const TIEPixelFormatSet allowed = HasSelection() ? kAllPixelFormats & ~PixelFormatSet(ie8p) : kAllPixelFormats;
  TIEProcessingArea a;
  if (!BeginImageProcessing(allowed, "Negative", a)) return;
  TIEBitmap& b = *a.Bitmap;
  const TIEPixelFormat format = b.PixelFormat();
  if (format == ie8p) {
    for (int32_t i = 0; i < b.GetPaletteLength(); ++i) {
      const TIERGB c = b.GetPaletteColor(i);
      b.SetPaletteColor(i, TIERGB{static_cast<uint8_t>(255 - c.b), static_cast<uint8_t>(255 - c.g),
                                  static_cast<uint8_t>(255 - c.r)});
    }
  } else if (a.X2 > a.X1) {
    const int32_t count = a.X2 - a.X1;
    ForEachAreaRow(a, [&](int32_t y) {
      uint8_t* row = b.Row<uint8_t>(y);
      switch (format) {
        case ie1g: InvertBits(row, a.X1, a.X2); break;
        case ie8g:
        case ie16g:
        case ie24RGB:
        case ieRGB48: {
          // 255 - v and 65535 - v are the bitwise complement.
          const int32_t bpp = IEBytesPerPixel[format];
          InvertBytes(row + static_cast<int64_t>(a.X1) * bpp, static_cast<int64_t>(count) * bpp);
          break;
        }
        case ie32RGB: InvertThreeOfFour(row + 4 * static_cast<int64_t>(a.X1), count); break;
        case ie32f: {
          float* f = reinterpret_cast<float*>(row) + a.X1;
          for (int32_t x = 0; x < count; ++x) f[x] = 1 - f[x];
          break;
        }
        case ieCMYK: {
          uint8_t* p = row + 4 * static_cast<int64_t>(a.X1);
          for (int32_t x = 0; x < count; ++x, p += 4) {
            int32_t cmyk;
            std::memcpy(&cmyk, p, 4);
            TIERGB c = CMYKToRGB(cmyk);
            c = TIERGB{static_cast<uint8_t>(255 - c.b), static_cast<uint8_t>(255 - c.g), static_cast<uint8_t>(255 - c.r)};
            cmyk = RGBToCMYK(c);
            std::memcpy(p, &cmyk, 4);
          }
          break;
        }
        case ieCIELab: {
          TIECIELab* p = reinterpret_cast<TIECIELab*>(row) + a.X1;
          for (int32_t x = 0; x < count; ++x) {
            TIERGB c = CIELabToRGB(p[x]);
            c = TIERGB{static_cast<uint8_t>(255 - c.b), static_cast<uint8_t>(255 - c.g), static_cast<uint8_t>(255 - c.r)};
            p[x] = RGBToCIELab(c);
          }
          break;
        }
        default: break;
      }
    });
  }
  EndImageProcessing(a);
  DoFinishWork();
}

void TZodazUrProc::Fill(TIERGB Color) {
  const TIEPixelFormatSet allowed = HasSelection() ? kAllPixelFormats & ~PixelFormatSet(ie8p) : kAllPixelFormats;
  TIEProcessingArea a;
  if (!BeginImageProcessing(allowed, Format("Fill (%d, %d, %d)", Color.r, Color.g, Color.b), a)) return;
  if (a.X2 > a.X1 && a.Y2 > a.Y1)
    a.Bitmap->FillRect(a.X1, a.Y1, a.X2 - 1, a.Y2 - 1, ColorToFillValue(*a.Bitmap, RGBToTColor(Color)));
  EndImageProcessing(a);
  DoFinishWork();
}

void TZodazUrProc::ShiftChannel(int32_t DX, int32_t DY, int32_t Channel, int32_t Fill) {
  // A channel that is not one of the three changes nothing, and records nothing.
  if (Channel < 0 || Channel > 2) return;
  TIEProcessingArea a;
  if (!BeginImageProcessing(k24 | PixelFormatSet(ieRGB48), Format("ShiftChannel %d, %d, %d, %d", DX, DY, Channel, Fill),
                            a))
    return;
  TIEBitmap& b = *a.Bitmap;
  const int32_t w = b.Width(), h = b.Height();
  if (w > 0 && h > 0) {
    const bool words = b.PixelFormat() == ieRGB48;
    const int32_t fill = std::min(Fill, words ? 65535 : 255);
    // The channel of the whole processed bitmap, read before any pixel changes.
    std::vector<uint16_t> channel(static_cast<size_t>(w) * h);
    {
      TIERowAccessScope readOnly(b, iraRead);
      for (int32_t y = 0; y < h; ++y) {
        uint16_t* dst = channel.data() + static_cast<size_t>(y) * w;
        if (words) {
          const uint16_t* row = b.Row<uint16_t>(y);
          for (int32_t x = 0; x < w; ++x) dst[x] = row[3 * x + Channel];
        } else {
          const uint8_t* row = b.Row<uint8_t>(y);
          for (int32_t x = 0; x < w; ++x) dst[x] = row[3 * x + Channel];
        }
      }
    }
    // Far offsets only ever reach the edge or the fill.
    const int64_t dx = std::clamp<int64_t>(DX, -int64_t{w}, w), dy = std::clamp<int64_t>(DY, -int64_t{h}, h);
    for (int32_t y = 0; y < h; ++y) {
      int64_t sy = y - dy;
      const bool rowOutside = sy < 0 || sy >= h;
      sy = std::clamp<int64_t>(sy, 0, h - 1);
      const uint16_t* src = channel.data() + static_cast<size_t>(sy) * w;
      uint8_t* row = b.Row<uint8_t>(y);
      for (int32_t x = 0; x < w; ++x) {
        int64_t sx = x - dx;
        const bool outside = rowOutside || sx < 0 || sx >= w;
        sx = std::clamp<int64_t>(sx, 0, w - 1);
        const int32_t v = outside && fill >= 0 ? fill : src[sx];
        if (words)
          reinterpret_cast<uint16_t*>(row)[3 * x + Channel] = static_cast<uint16_t>(v);
        else
          row[3 * x + Channel] = static_cast<uint8_t>(v);
      }
      if (OnProgress) OnProgress(this, static_cast<int32_t>(static_cast<int64_t>(y) * 100 / h));
    }
  }
  EndImageProcessing(a);
  DoFinishWork();
}
