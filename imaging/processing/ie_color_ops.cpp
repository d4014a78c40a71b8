#include "imaging/processing/ie_color_ops.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <vector>
#include <cctype>
#include <cmath>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_convert_rows.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_resample_bands.h"

void ChannelMeans(TIEBitmap& Bitmap, int32_t& R, int32_t& G, int32_t& B) {
  R = G = B = 0;
  if (Bitmap.IsEmpty()) return;
  const int32_t width = Bitmap.GetWidth();
  const int32_t height = Bitmap.GetHeight();
  TIERowAccessScope readOnly(Bitmap, iraRead);
  // Rows on worker threads for a bitmap in memory; the sums of whole row means add up alike in any
  // order.
  const int32_t threads = int64_t{width} * height < (1 << 16) ? 1 : ResampleThreadCount(Bitmap);
  std::atomic<int64_t> totals[3] = {0, 0, 0};
  RunResampleBands(height, threads, [&](int32_t First, int32_t Count, const std::function<bool()>& RowDone) {
    TIERowReader reader(Bitmap, ie24RGB);
    int64_t sum[3] = {0, 0, 0};
    for (int32_t y = First; y < First + Count; ++y) {
      const uint8_t* px = reader.Read(y);
      int64_t row[3] = {0, 0, 0};
      for (int32_t x = 0; x < width; ++x)
        for (int32_t c = 0; c < 3; ++c) row[c] += px[3 * x + c];
      for (int32_t c = 0; c < 3; ++c) sum[c] += row[c] / width;
      if (!RowDone()) break;
    }
    for (int32_t c = 0; c < 3; ++c) totals[c].fetch_add(sum[c], std::memory_order_relaxed);
  }, nullptr);
  const int64_t sumB = totals[0].load(), sumG = totals[1].load(), sumR = totals[2].load();
  R = static_cast<int32_t>(sumR / height);
  G = static_cast<int32_t>(sumG / height);
  B = static_cast<int32_t>(sumB / height);
}

double ColorToFillValue(TIEBitmap& Bitmap, TColor Color) {
  const TIERGB c = TColorToRGB(Color);
  switch (Bitmap.PixelFormat()) {
    case ie1g: return c.r != 0 ? 1 : 0;
    case ie8g: return RGBToGray(c);
    case ie16g: return RGBToGray(c) * 257;
    case ie32f: return RGBToGray(c) / 255.0;
    case ie8p: return FindNearestPaletteIndex(Bitmap.GetPaletteBuffer(), Bitmap.GetPaletteLength(), c);
    default: return RGBToTColor(c);
  }
}

namespace {

// Where each output channel of RearrangeChannels comes from: 0..2 a channel position of the pixel,
// -1 zero.
void ChannelSources(const std::string& Order, bool Words, int32_t Source[3]) {
  // Positions of blue, green and red in a pixel: bytes blue, green, red; words red, green, blue.
  const int32_t blue = Words ? 2 : 0, green = 1, red = Words ? 0 : 2;
  const int32_t outputs[3] = {blue, green, red};
  for (int32_t k = 0; k < 3; ++k) {
    const char letter = k < static_cast<int32_t>(Order.size()) ? static_cast<char>(std::toupper(
                                                                       static_cast<unsigned char>(Order[k])))
                                                               : '\0';
    int32_t from = blue;
    if (letter == 'G')
      from = green;
    else if (letter == 'R')
      from = red;
    else if (letter == '0')
      from = -1;
    Source[outputs[k]] = from;
  }
}

template <class T>
void RearrangeRow(T* Row, int32_t Width, const int32_t Source[3]) {
  for (int32_t x = 0; x < Width; ++x, Row += 3) {
    const T px[3] = {Row[0], Row[1], Row[2]};
    for (int32_t c = 0; c < 3; ++c) Row[c] = Source[c] < 0 ? T(0) : px[Source[c]];
  }
}

}  // namespace

void RearrangeChannels(TIEBitmap& Bitmap, const std::string& Order, TObject* Sender,
                       const TIEProgressEvent& OnProgress) {
  const TIEPixelFormat format = Bitmap.PixelFormat();
  if ((format != ie24RGB && format != ieRGB48) || Bitmap.IsEmpty()) return;
  int32_t source[3];
  ChannelSources(Order, format == ieRGB48, source);
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  for (int32_t y = 0; y < h; ++y) {
    if (format == ie24RGB)
      RearrangeRow(Bitmap.Row<uint8_t>(y), w, source);
    else
      RearrangeRow(Bitmap.Row<uint16_t>(y), w, source);
    if (OnProgress) OnProgress(Sender, static_cast<int32_t>(static_cast<int64_t>(y) * 100 / h));
  }
}

void MatchColorHistograms(TIEBitmap& Reference, TIEBitmap& Target) {
  if (Reference.PixelFormat() != ie24RGB || Reference.IsEmpty() || Target.IsEmpty()) return;
  const TIEPixelFormat format = Target.PixelFormat();
  if (format != ie24RGB && format != ieRGB48) return;
  const bool words = format == ieRGB48;
  const int32_t rw = Reference.Width(), rh = Reference.Height();
  const int32_t tw = Target.Width(), th = Target.Height();
  // Blue, green, red in turn; their positions in a pixel of each bitmap.
  for (int32_t channel = 0; channel < 3; ++channel) {
    const int32_t refPos = channel;                       // bytes blue, green, red
    const int32_t tgtPos = words ? 2 - channel : channel;  // words red, green, blue
    double hr[256] = {}, ht[256] = {};
    {
      TIERowAccessScope readOnly(Reference, iraRead);
      for (int32_t y = 0; y < rh; ++y) {
        const uint8_t* row = Reference.Row<uint8_t>(y);
        for (int32_t x = 0; x < rw; ++x) ++hr[row[3 * x + refPos]];
      }
    }
    {
      TIERowAccessScope readOnly(Target, iraRead);
      for (int32_t y = 0; y < th; ++y) {
        if (words) {
          const uint16_t* row = Target.Row<uint16_t>(y);
          for (int32_t x = 0; x < tw; ++x) ++ht[row[3 * x + tgtPos] >> 8];
        } else {
          const uint8_t* row = Target.Row<uint8_t>(y);
          for (int32_t x = 0; x < tw; ++x) ++ht[row[3 * x + tgtPos]];
        }
      }
    }
    // The target's own cumulative histogram spreads its values over 0..255; the reference's
    // cumulative histogram then maps each level to the reference level nearest to it.
    const double nt = static_cast<double>(tw) * th, nr = static_cast<double>(rw) * rh;
    double ct[256], cr[256];
    double sumT = 0, sumR = 0;
    for (int32_t i = 0; i < 256; ++i) {
      sumT += ht[i];
      sumR += hr[i];
      ct[i] = sumT * 255 / nt;
      cr[i] = 255 / nr * sumR;
    }
    uint8_t map[256];
    for (int32_t i = 0; i < 256; ++i) {
      int32_t best = 0;
      for (int32_t j = 1; j < 256; ++j)
        if (std::fabs(cr[j] - i) < std::fabs(cr[best] - i)) best = j;
      map[i] = static_cast<uint8_t>(best);
    }
    uint8_t lut[256];
    for (int32_t v = 0; v < 256; ++v) lut[v] = map[std::clamp(static_cast<int32_t>(ct[v]), 0, 255)];
    for (int32_t y = 0; y < th; ++y) {
      if (words) {
        uint16_t* row = Target.Row<uint16_t>(y);
        for (int32_t x = 0; x < tw; ++x) row[3 * x + tgtPos] = static_cast<uint16_t>(lut[row[3 * x + tgtPos] >> 8] * 257);
      } else {
        uint8_t* row = Target.Row<uint8_t>(y);
        for (int32_t x = 0; x < tw; ++x) row[3 * x + tgtPos] = lut[row[3 * x + tgtPos]];
      }
    }
  }
}

void FillTransparentPixels(TIEBitmap& Bitmap, TIERGB Color) {
  if (Bitmap.PixelFormat() != ie24RGB || Bitmap.IsEmpty() || !Bitmap.HasAlphaChannel()) return;
  TIEBitmap& alpha = *Bitmap.GetAlphaChannel();
  const int32_t w = std::min(Bitmap.Width(), alpha.Width()), h = std::min(Bitmap.Height(), alpha.Height());
  TIERowAccessScope readOnly(alpha, iraRead);
  for (int32_t y = 0; y < h; ++y) {
    // Two rows of two file-held bitmaps: each GetRow belongs to its own bitmap.
    const uint8_t* a = alpha.Row<uint8_t>(y);
    TIERGB* px = Bitmap.Row<TIERGB>(y);
    for (int32_t x = 0; x < w; ++x)
      if (a[x] == 0) px[x] = Color;
  }
}
