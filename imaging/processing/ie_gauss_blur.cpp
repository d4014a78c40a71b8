#include "imaging/processing/ie_gauss_blur.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cmath>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_gauss_blur_lines.h"
#include "imaging/processing/ie_resample_bands.h"

namespace {

std::atomic<int32_t> g_simdLevel{2};

// Below this many pixels a blur runs on the calling thread: starting workers costs more.
constexpr int64_t kThreadedAreaMinimum = 1 << 16;
// Samples per column strip of the second pass (a multiple of the vector loop's 32): the strip's
// rows of the kernel's height stay in the processor's second-level cache.
constexpr int32_t kStripSamples = 256;
// Readable floats after every row the line loops read.
constexpr int32_t kPad = 32;

using TLineFn = void (*)(const float*, int32_t, const float*, int32_t, int32_t, uint8_t*);
using TStackFn = void (*)(const float* const*, const float*, int32_t, int32_t, uint8_t*);
using TWidenFn = void (*)(const uint8_t*, float*, int32_t);
using TStack4Fn = void (*)(const float* const*, const float*, int32_t, int32_t, uint8_t* const*);

// The kernel's non-zero span as float weights, the first tap at the centre minus HalfWidth.
struct TTaps {
  int32_t Half = 0;
  int32_t Count = 0;
  float W[201] = {};
  explicit TTaps(const TIEGaussKernel& K) : Half(K.HalfWidth), Count(2 * K.HalfWidth + 1) {
    for (int32_t t = 0; t < Count; ++t) W[t] = static_cast<float>(K.Weights[100 - Half + t]);
  }
};

int32_t SimdLevel() { return std::min(GaussBlurSimdAvailable(), g_simdLevel.load(std::memory_order_relaxed)); }

int32_t BlurThreads(TIEBitmap& Bitmap, int64_t Pixels) {
  if (Pixels < kThreadedAreaMinimum) return 1;
  if (GaussBlurThreadCountForTesting() > 0 && !IsFileHeldBitmap(Bitmap)) return GaussBlurThreadCountForTesting();
  return ResampleThreadCount(Bitmap);
}

// The first pass: every row Y1..Y2-1 convolved along its columns X1..X2-1 (Channels samples per
// pixel), in place, from a widened copy of the row with its end pixels repeated.
void BlurRows(TIEBitmap& B, int32_t Channels, int32_t X1, int32_t X2, int32_t Y1, int32_t Y2, const TTaps& T,
              int32_t Threads, const std::function<void(int32_t)>& OnRows) {
  const int32_t n = X2 - X1, h = T.Half, c = Channels;
  const int32_t simd = SimdLevel();
  const TLineFn line = simd == 2 ? GaussLineAvx512 : simd == 1 ? GaussLineAvx2 : GaussLineScalar;
  const TWidenFn widen = simd > 0 ? GaussWidenAvx2 : GaussWidenScalar;
  RunResampleBands(
      Y2 - Y1, Threads,
      [&](int32_t First, int32_t Count, const std::function<bool()>& RowDone) {
        std::vector<float> p(static_cast<size_t>(n + 2 * h) * c + kPad, 0.0f);
        for (int32_t y = Y1 + First; y < Y1 + First + Count; ++y) {
          uint8_t* row = B.Row<uint8_t>(y) + static_cast<int64_t>(X1) * c;
          float* dst = p.data();
          for (int32_t k = 0; k < h; ++k)
            for (int32_t s = 0; s < c; ++s) *dst++ = row[s];
          widen(row, dst, n * c);
          dst += n * c;
          const uint8_t* last = row + static_cast<int64_t>(n - 1) * c;
          for (int32_t k = 0; k < h; ++k)
            for (int32_t s = 0; s < c; ++s) *dst++ = last[s];
          line(p.data(), c, T.W, T.Count, n * c, row);
          if (!RowDone()) return;
        }
      },
      OnRows);
}

// The second pass: every column X1..X2-1 convolved along rows Y1..Y2-1, in place, row by row. The
// samples of the rows are cut into strips; each strip keeps the kernel's height of widened rows
// in a ring and walks down the rows, so every row is read once per strip and a row is written
// only after every output row that needs it was made.
void BlurColumns(TIEBitmap& B, int32_t Channels, int32_t X1, int32_t X2, int32_t Y1, int32_t Y2, const TTaps& T,
                 int32_t Threads, bool OneStrip, const std::function<void(int32_t StripsDone, int32_t Strips,
                                                                           int32_t StripSamples)>& OnStrips) {
  const int32_t n = Y2 - Y1, h = T.Half, taps = T.Count;
  const int32_t samples = (X2 - X1) * Channels;
  const int64_t first = static_cast<int64_t>(X1) * Channels;
  const int32_t stripSamples = OneStrip ? samples : kStripSamples;
  const int32_t strips = (samples + stripSamples - 1) / stripSamples;
  const int32_t simd = SimdLevel();
  const TStackFn stack = simd == 2 ? GaussStackAvx512 : simd == 1 ? GaussStackAvx2 : GaussStackScalar;
  const TStack4Fn stack4 = simd == 2 ? GaussStack4Avx512 : simd == 1 ? GaussStack4Avx2 : nullptr;
  const TWidenFn widen = simd > 0 ? GaussWidenAvx2 : GaussWidenScalar;
  std::function<void(int32_t)> onRows;
  if (OnStrips) onRows = [&](int32_t done) { OnStrips(done, strips, stripSamples); };
  RunResampleBands(
      strips, Threads,
      [&](int32_t FirstStrip, int32_t Count, const std::function<bool()>& StripDone) {
        // The ring holds the rows of four output rows: the kernel's height and three more.
        const size_t stride = static_cast<size_t>(stripSamples) + kPad;
        const int32_t slots = taps + 3;
        std::vector<float> ring(stride * slots, 0.0f);
        std::vector<const float*> rows(static_cast<size_t>(slots));
        std::vector<uint8_t> quad(static_cast<size_t>(4) * stripSamples);
        uint8_t* const quadRows[4] = {quad.data(), quad.data() + stripSamples, quad.data() + 2 * stripSamples,
                                      quad.data() + 3 * stripSamples};
        // Ring slot of row index k (which may lie above the first row).
        const auto slot = [&](int32_t k) { return ring.data() + stride * static_cast<size_t>(((k % slots) + slots) % slots); };
        for (int32_t s = FirstStrip; s < FirstStrip + Count; ++s) {
          const int32_t s0 = s * stripSamples, width = std::min(stripSamples, samples - s0);
          const auto load = [&](int32_t k) {
            widen(B.Row<uint8_t>(Y1 + std::clamp(k, 0, n - 1)) + first + s0, slot(k), width);
          };
          for (int32_t k = -h; k < h; ++k) load(k);
          int32_t r = 0;
          if (stack4) {
            // Four rows at a time: their inputs are read before any of them is written.
            for (; r + 4 <= n; r += 4) {
              for (int32_t k = r + h; k < r + h + 4; ++k) load(k);
              for (int32_t t = 0; t < slots; ++t) rows[static_cast<size_t>(t)] = slot(r - h + t);
              stack4(rows.data(), T.W, taps, width, quadRows);
              for (int32_t j = 0; j < 4; ++j)
                std::memcpy(B.Row<uint8_t>(Y1 + r + j) + first + s0, quadRows[j], static_cast<size_t>(width));
            }
          }
          for (; r < n; ++r) {
            load(r + h);
            for (int32_t t = 0; t < taps; ++t) rows[static_cast<size_t>(t)] = slot(r - h + t);
            stack(rows.data(), T.W, taps, width, B.Row<uint8_t>(Y1 + r) + first + s0);
          }
          if (!StripDone()) return;
        }
      },
      onRows);
}

// Both passes over the rectangle X1..X2-1, Y1..Y2-1.
void BlurRect(TIEBitmap& B, int32_t Channels, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Radius,
              TObject* Sender, const TIEProgressEvent& OnProgress) {
  TIEGaussKernel kernel;
  BuildGaussianKernel(kernel, Radius);
  const TTaps taps(kernel);
  const int32_t w = X2 - X1, h = Y2 - Y1;
  const int32_t threads = BlurThreads(B, int64_t{w} * h);
  const double total = static_cast<double>(B.Height()) + B.Width();
  std::function<void(int32_t)> onRows;
  std::function<void(int32_t, int32_t, int32_t)> onStrips;
  if (OnProgress) {
    onRows = [&](int32_t m) { OnProgress(Sender, static_cast<int32_t>(std::trunc(m * 100 / total))); };
    onStrips = [&](int32_t done, int32_t, int32_t stripSamples) {
      const int32_t columns = static_cast<int32_t>(std::min<int64_t>(int64_t{done} * stripSamples / Channels, w));
      OnProgress(Sender, static_cast<int32_t>(std::trunc((B.Height() + columns) * 100 / total)));
    };
  }
  TIERowAccessScope readWrite(B, iraReadWrite);
  BlurRows(B, Channels, X1, X2, Y1, Y2, taps, threads, onRows);
  // A bitmap held in a file maps one row at a time: one strip as wide as the rows reads each row
  // once.
  BlurColumns(B, Channels, X1, X2, Y1, Y2, taps, threads, threads == 1 && IsFileHeldBitmap(B), onStrips);
}

template <int32_t Channels>
void ConvolveLine(const TIEGaussKernel& Kernel, const uint8_t* Source, uint8_t* Dest, int32_t Count) {
  const int32_t h = Kernel.HalfWidth;
  for (int32_t c = 0; c < Count; ++c) {
    int64_t sum[Channels] = {};
    for (int32_t j = -h; j <= h; ++j) {
      const int64_t w = Kernel.Weights[100 + j];
      const uint8_t* px = Source + static_cast<int64_t>(std::clamp(c + j, 0, Count - 1)) * Channels;
      for (int32_t k = 0; k < Channels; ++k) sum[k] += w * px[k];
    }
    for (int32_t k = 0; k < Channels; ++k)
      Dest[static_cast<int64_t>(c) * Channels + k] = static_cast<uint8_t>(std::clamp<int64_t>((sum[k] + 32768) >> 16, 0, 255));
  }
}

}  // namespace

int32_t GaussBlurSimdAvailable() {
  static const int32_t level = !(__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) ? 0
                               : __builtin_cpu_supports("avx512f")                                 ? 2
                                                                                                   : 1;
  return level;
}

void SetGaussBlurSimd(int32_t Level) { g_simdLevel.store(Level, std::memory_order_relaxed); }

int32_t& GaussBlurThreadCountForTesting() {
  static int32_t count = 0;
  return count;
}

void BuildGaussianKernel(TIEGaussKernel& Kernel, double Radius) {
  Kernel = TIEGaussKernel{};
  if (!(Radius > 0)) {
    // No blur: the centre alone.
    Kernel.Values[100] = 1;
    Kernel.Weights[100] = 65536;
    Kernel.HalfWidth = 1;
    return;
  }
  double sum = 0;
  for (int32_t i = 0; i <= 200; ++i) {
    const double d = (i - 100) / Radius;
    Kernel.Values[i] = std::exp(-d * d / 2);
    sum += Kernel.Values[i];
  }
  for (int32_t i = 0; i <= 200; ++i)
    Kernel.Weights[i] = static_cast<int32_t>(std::nearbyint(Kernel.Values[i] * 65536 / sum));
  int32_t h = 100;
  while (h > 1 && Kernel.Weights[100 + h] == 0 && Kernel.Weights[100 - h] == 0) --h;
  Kernel.HalfWidth = static_cast<uint8_t>(h);
}

void ConvolveRow24(const TIEGaussKernel& Kernel, const uint8_t* Source, uint8_t* Dest, int32_t Count) {
  ConvolveLine<3>(Kernel, Source, Dest, Count);
}

void ConvolveRow8(const TIEGaussKernel& Kernel, const uint8_t* Source, uint8_t* Dest, int32_t Count) {
  ConvolveLine<1>(Kernel, Source, Dest, Count);
}

void GaussianBlurBitmap(TIEBitmap& Bitmap, TObject* Sender, double Radius, const TIEProgressEvent& OnProgress) {
  if (!(Radius > 0) || Bitmap.IsEmpty()) return;
  const TIEPixelFormat format = Bitmap.PixelFormat();
  if (format != ie24RGB && format != ie8g) return;
  BlurRect(Bitmap, format == ie24RGB ? 3 : 1, 0, 0, Bitmap.Width(), Bitmap.Height(), Radius, Sender, OnProgress);
}

void GaussianBlurGray8(TIEBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Radius) {
  if (!(Radius > 0) || Bitmap.IsEmpty() || Bitmap.PixelFormat() != ie8g) return;
  X1 = std::clamp(X1, 0, Bitmap.Width() - 1);
  X2 = std::clamp(X2, 0, Bitmap.Width() - 1);
  Y1 = std::clamp(Y1, 0, Bitmap.Height() - 1);
  Y2 = std::clamp(Y2, 0, Bitmap.Height() - 1);
  if (X2 < X1 || Y2 < Y1) return;
  BlurRect(Bitmap, 1, X1, Y1, X2 + 1, Y2 + 1, Radius, nullptr, nullptr);
}
