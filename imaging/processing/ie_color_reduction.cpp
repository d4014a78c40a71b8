#include "imaging/processing/ie_color_reduction.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_convert_rows.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_quantizer.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_row_table.h"

namespace {

bool IsGreyFormat(TIEPixelFormat format) {
  return format == ie1g || format == ie8g || format == ie16g || format == ie32f;
}

// Bit x of the packed row is 1 when on(x); bits after the last pixel are 0. Branch-free: the
// tests are arithmetic, so noisy images cost no mispredictions.
template <class On>
void PackBits(uint8_t* row, int32_t width, On on) {
  const int32_t whole = width & ~7;
  for (int32_t x0 = 0; x0 < whole; x0 += 8) {
    uint32_t byte = 0;
    for (int32_t k = 0; k < 8; ++k) byte |= static_cast<uint32_t>(on(x0 + k)) << (7 - k);
    row[x0 >> 3] = static_cast<uint8_t>(byte);
  }
  if (whole < width) {
    uint32_t byte = 0;
    for (int32_t k = 0; whole + k < width; ++k) byte |= static_cast<uint32_t>(on(whole + k)) << (7 - k);
    row[whole >> 3] = static_cast<uint8_t>(byte);
  }
}

// Dest as an ie1g bitmap of Source's size; false when it cannot be had.
bool PrepareDest(TIEBitmap& source, TIEBitmap& dest) {
  if (dest.GetPixelFormat() == ie1g && dest.GetWidth() == source.GetWidth() && dest.GetHeight() == source.GetHeight())
    return true;
  return dest.Allocate(source.GetWidth(), source.GetHeight(), ie1g);
}

void ReportRow(TIEProgressRecord& progress, int32_t rowsDone, int32_t height) {
  progress.Report(static_cast<int32_t>(rowsDone * (100.0 / (height + 0.5))));
}

// The maximum-entropy threshold of a grey histogram: the first t in 1..255 whose two classes (below
// t and from t on) have the largest summed entropy. When every split leaves both classes pure (two
// grey levels), all sums are 0 and the first split between the levels is taken; -2 when no split
// divides the pixels (one grey level).
int32_t MaxEntropyThreshold(const int64_t (&histogram)[256]) {
  double total = 0;
  for (int64_t h : histogram) total += static_cast<double>(h);
  if (total <= 0) return kIEThresholdMaxEntropy;
  double p[256];
  double entropy = 0;
  for (int i = 0; i < 256; ++i) {
    p[i] = histogram[i] / total;
    if (p[i] > 0) entropy -= p[i] * std::log(p[i]);
  }
  // The sum is never below 0 in exact arithmetic; the tolerance keeps rounding noise from deciding
  // between equal sums.
  constexpr double kTolerance = 1e-12;
  double best = 0;
  int32_t threshold = kIEThresholdMaxEntropy;
  double below = 0, belowEntropy = 0;
  for (int t = 1; t < 256; ++t) {
    below += p[t - 1];
    if (p[t - 1] > 0) belowEntropy -= p[t - 1] * std::log(p[t - 1]);
    if (below <= 0 || below >= 1 - 1e-15) continue;
    const double phi =
        std::log(below - below * below) + belowEntropy / below + (entropy - belowEntropy) / (1 - below);
    if (phi < -kTolerance) continue;
    if (threshold == kIEThresholdMaxEntropy || phi > best + kTolerance) {
      best = phi;
      threshold = t;
    }
  }
  return threshold;
}

}  // namespace

void GreyHistogram(TIEBitmap& Bitmap, int64_t (&Histogram)[256]) {
  std::memset(Histogram, 0, sizeof Histogram);
  if (Bitmap.IsEmpty()) return;
  const int32_t width = Bitmap.GetWidth();
  const int32_t height = Bitmap.GetHeight();
  TIERowAccessScope readOnly(Bitmap, iraRead);
  if (Bitmap.GetPixelFormat() == ie1g) {
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = Bitmap.Row<uint8_t>(y);
      int64_t white = 0;
      for (int32_t x = 0; x < width; ++x) white += (row[x >> 3] >> (7 - (x & 7))) & 1;
      Histogram[1] += white;
      Histogram[0] += width - white;
    }
    return;
  }
  TIERowReader reader(Bitmap, ie8g);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* grey = reader.Read(y);
    for (int32_t x = 0; x < width; ++x) ++Histogram[grey[x]];
  }
}

void ConvertToBWThreshold(TIEBitmap& Source, TIEBitmap& Dest, int32_t Threshold, TIEProgressRecord& Progress) {
  if (&Source == &Dest || Source.IsEmpty()) return;
  if (Source.GetPixelFormat() == ie1g) {
    Dest.AssignImage(Source);
    return;
  }
  if (Threshold == kIEThresholdMaxEntropy) {
    int64_t histogram[256];
    GreyHistogram(Source, histogram);
    Threshold = MaxEntropyThreshold(histogram);
  } else if (Threshold == kIEThresholdMeanColor) {
    int32_t r, g, b;
    ChannelMeans(Source, r, g, b);
    Threshold = RGBToGray(CreateRGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)));
  }
  if (!PrepareDest(Source, Dest)) return;
  const int32_t width = Source.GetWidth();
  const int32_t height = Source.GetHeight();
  // Grey levels are 0..255: a threshold at or below 0 makes every pixel white, above 255 black.
  const int32_t t = Threshold < 0 ? 0 : (Threshold > 256 ? 256 : Threshold);
  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  TIERowReader reader(Source, ie8g);
  for (int32_t y = 0; y < height; ++y) {
    if (Progress.IsAborting()) return;
    const uint8_t* grey = reader.Read(y);
    PackBits(Dest.Row<uint8_t>(y), width, [&](int32_t x) { return grey[x] >= t; });
    ReportRow(Progress, y + 1, height);
  }
}

void ConvertToBWThresholdInPlace(TIEBitmap& Bitmap, int32_t Threshold, TIEProgressRecord& Progress) {
  if (Bitmap.GetPixelFormat() != ie24RGB || Bitmap.IsEmpty()) return;
  TIEBitmap bw;
  ConvertToBWThreshold(Bitmap, bw, Threshold, Progress);
  if (bw.IsEmpty() || Progress.IsAborting()) return;
  Bitmap.AssignImage(bw);
}

void ConvertToBWOrdered(TIEBitmap& Source, TIEBitmap& Dest, TIEProgressRecord& Progress) {
  if (&Source == &Dest || Source.IsEmpty()) return;
  if (Source.GetPixelFormat() == ie1g) {
    Dest.AssignImage(Source);
    return;
  }
  if (!PrepareDest(Source, Dest)) return;
  const int32_t width = Source.GetWidth();
  const int32_t height = Source.GetHeight();
  const bool grey = IsGreyFormat(Source.GetPixelFormat());
  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  TIERowReader greyReader(Source, ie8g);
  TIERowReader rgbReader(Source, ie24RGB);
  std::vector<uint8_t> level(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    if (Progress.IsAborting()) return;
    uint8_t* lv = level.data();
    if (grey) {
      const uint8_t* g = greyReader.Read(y);
      for (int32_t x = 0; x < width; ++x) lv[x] = static_cast<uint8_t>((g[x] >> 2) + ((g[x] >= 251) << 6));
    } else {
      const uint8_t* px = rgbReader.Read(y);
      const uint32_t wr = static_cast<uint32_t>(GreyWeightRed), wg = static_cast<uint32_t>(GreyWeightGreen),
                     wb = static_cast<uint32_t>(GreyWeightBlue);
      for (int32_t x = 0; x < width; ++x) {
        const uint32_t b = px[3 * x], g = px[3 * x + 1], r = px[3 * x + 2];
        const uint8_t gray = static_cast<uint8_t>((r * wr + g * wg + b * wb) / 100u);
        // Level 64 for white: any level from 64 on is above every matrix entry, so adding 64
        // does the same without a branch.
        const uint32_t white = (b >= 251) & (g >= 251) & (r >= 251);
        lv[x] = static_cast<uint8_t>((gray >> 2) + (white << 6));
      }
    }
    // Thresholds of this row: entry (x mod 8, y mod 8) of the matrix, a period of 8 pixels.
    uint8_t thresholds[8];
    for (int k = 0; k < 8; ++k) thresholds[k] = static_cast<uint8_t>(OrderedDitherMatrix[k][y & 7]);
    PackBits(Dest.Row<uint8_t>(y), width, [&](int32_t x) { return lv[x] > thresholds[x & 7]; });
    ReportRow(Progress, y + 1, height);
  }
}

void ConvertToBWOrdered(TIEBitmap& Bitmap, TIEProgressRecord& Progress) {
  if (Bitmap.GetPixelFormat() != ie24RGB || Bitmap.IsEmpty()) return;
  TIEBitmap bw;
  ConvertToBWOrdered(Bitmap, bw, Progress);
  if (bw.IsEmpty() || Progress.IsAborting()) return;
  Bitmap.AssignImage(bw);
}

void QuantizeInPlace(TIEBitmap& Bitmap, int32_t NColors, TIERGB* Palette, TObject* Sender,
                     const TIEProgressEvent& OnProgress) {
  if (Bitmap.GetPixelFormat() != ie24RGB || Bitmap.IsEmpty() || NColors < 1 || NColors > 1024) return;
  std::vector<TIERGB> own;
  if (!Palette) {
    own.assign(static_cast<size_t>(NColors), TIERGB{0, 0, 0});
    Palette = own.data();
  }
  const TIEQuantizer quantizer(Bitmap, std::span<TIERGB>(Palette, static_cast<size_t>(NColors)), 0, NColors);
  const int32_t width = Bitmap.GetWidth(), height = Bitmap.GetHeight();
  const TIERGB* palette = Palette;
  const int32_t entries = std::max(1, quantizer.ColorCount());
  std::function<void(int32_t)> onRows;
  if (OnProgress)
    onRows = [&](int32_t done) { OnProgress(Sender, static_cast<int32_t>(std::trunc(done * 100 / (height + 0.5)))); };
  TIERowAccessScope readWrite(Bitmap, iraReadWrite);
  RunResampleBands(
      height, GeometryThreadCount(Bitmap, Bitmap, int64_t{width} * height),
      [&](int32_t First, int32_t Count, const std::function<bool()>& RowDone) {
        for (int32_t y = First; y < First + Count; ++y) {
          auto* px = static_cast<TIERGB*>(Bitmap.GetRow(y));
          // Runs of one colour are looked up once.
          TIERGB lastIn = px[0], lastOut = palette[std::min(quantizer.RGBIndex(px[0]), entries - 1)];
          for (int32_t x = 0; x < width; ++x) {
            if (!(px[x] == lastIn)) {
              lastIn = px[x];
              lastOut = palette[std::min(quantizer.RGBIndex(lastIn), entries - 1)];
            }
            px[x] = lastOut;
          }
          if (!RowDone()) return;
        }
      },
      onRows);
}
