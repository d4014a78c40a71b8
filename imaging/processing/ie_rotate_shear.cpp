// The three-shear rotation of ie24RGB and 8-bit bitmaps: a horizontal shear, a vertical one and a
// horizontal one again, each moving whole rows or columns by a fixed-point offset and, with
// antialiasing, blending every pixel with the one before it by the offset's fraction in 4096ths.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_flip_turn.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_rows.h"
#include "imaging/processing/ie_rotate.h"
#include "imaging/processing/ie_rotate_avx2.h"
#include "imaging/processing/ie_row_table.h"
#include "platform/system/exception.h"

namespace {

// Columns of the vertical shear handled together: the rows they read and write stay in the cache.
constexpr int32_t kColumnBlock = 64;

int32_t Round(double X) { return static_cast<int32_t>(std::nearbyint(X)); }

// The weighted mix of the pixel before (weight A) and the pixel itself (weight B), A + B = 4096,
// rounded to the nearest (halves up) and held to 0..255. A below 0 extrapolates from the pixel
// before through the pixel itself.
inline uint8_t Blend(int32_t P, int32_t Q, int32_t A, int32_t B) {
  const int32_t v = (P * A + Q * B + 2048) >> 12;
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The sizes of the three shears for an angle within -45..45 degrees on a W x H image.
struct TShearPlan {
  bool positive = true;  // theta > 0
  double T = 0, S = 0;
  int32_t W = 0, H = 0, m = 0, h = 0, o = 0, t = 0, o2 = 0, finalWidth = 0;
};

TShearPlan PlanShears(double Degrees, int32_t W, int32_t H) {
  TShearPlan p;
  const double theta = Degrees * std::numbers::pi / 180;
  p.positive = theta > 0;
  p.T = std::fabs(std::sin(theta / 2) / std::cos(theta / 2));
  p.S = std::fabs(std::sin(theta));
  p.W = W;
  p.H = H;
  p.m = Round(H * p.T + W + 1);
  p.h = Round((p.m - W) * p.S);
  p.o = Round(p.S * p.m + H + 1);
  p.t = Round(p.T * (p.o - H - p.h));
  p.o2 = p.o - 2 * p.h;
  p.finalWidth = Round(p.T * p.o2 + p.m + 1 - 2 * p.t);
  return p;
}

// Work buffers of the shears; their memory failing is the out-of-memory error.
std::vector<uint8_t> NewBuffer(int64_t Bytes) {
  try {
    return std::vector<uint8_t>(static_cast<size_t>(Bytes));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory");
  }
}

template <int N>
void FillPixels(uint8_t* Dst, int32_t Count, const uint8_t* Bg) {
  if (Count <= 0) return;
  std::memcpy(Dst, Bg, N);
  // The pixels filled so far copied after themselves, doubling each time.
  const size_t total = static_cast<size_t>(Count) * N;
  for (size_t done = N; done < total;) {
    const size_t n = std::min(done, total - done);
    std::memcpy(Dst + done, Dst, n);
    done += n;
  }
}

// One row moved right by Offset pixels into a row of Width pixels filled with the background:
// source pixel k lands in column Offset + k when that lies inside. With AntiAlias each landed pixel
// is blended with the one landed before it (the background for the first), and when A > 0 the
// column after the last pixel gets the last pixel blended with the background.
template <int N>
void ShearRow(const uint8_t* __restrict Src, int32_t Count, uint8_t* __restrict Dst, int32_t Width, int32_t Offset,
              int32_t A, int32_t B, bool AntiAlias, const uint8_t* Bg) {
  const int32_t first = std::max(0, -Offset);
  const int32_t last = std::min(Count - 1, Width - 1 - Offset);
  if (first <= last) {
    // The background on both sides of the landed pixels.
    FillPixels<N>(Dst, Offset + first, Bg);
    FillPixels<N>(Dst + static_cast<int64_t>(Offset + last + 1) * N, Width - 1 - Offset - last, Bg);
    uint8_t* d = Dst + static_cast<int64_t>(Offset + first) * N;
    const uint8_t* s = Src + static_cast<int64_t>(first) * N;
    const int32_t bytes = (last - first + 1) * N;
    if (!AntiAlias) {
      std::memcpy(d, s, static_cast<size_t>(bytes));
    } else {
      for (int c = 0; c < N; ++c) d[c] = Blend(Bg[c], s[c], A, B);
      // The pixel before is the source pixel before: a plain map over the bytes.
      int32_t i = N;
      if (A + B == 4096 && ResampleSimdActive()) i += ShearBlendAvx2(s + N, N, d + N, bytes - N, A);
      for (; i < bytes; ++i) d[i] = Blend(s[i - N], s[i], A, B);
    }
  } else {
    FillPixels<N>(Dst, Width, Bg);
  }
  const int32_t trailing = Offset + Count;
  if (AntiAlias && A > 0 && trailing >= 0 && trailing < Width) {
    const uint8_t* prev = first <= last ? Src + static_cast<int64_t>(last) * N : Bg;
    uint8_t* d = Dst + static_cast<int64_t>(trailing) * N;
    for (int c = 0; c < N; ++c) d[c] = Blend(prev[c], Bg[c], A, B);
  }
}

// Runs Body(First, Count) over Rows rows on Threads workers; OnRows gets the finished counts.
template <class F>
void Bands(int32_t Rows, int32_t Threads, F&& Body, const std::function<void(int32_t)>& OnRows) {
  RunResampleBands(
      Rows, Threads,
      [&](int32_t First, int32_t Count, const std::function<bool()>& RowDone) {
        Body(First, Count);
        for (int32_t i = 0; i < Count; ++i)
          if (!RowDone()) return;
      },
      OnRows);
}

template <int N>
std::unique_ptr<TIEBitmap> Shear(TIEBitmap& Work, const TShearPlan& p, bool AntiAlias, const uint8_t* Bg,
                                 const TIEProgressEvent& OnProgress, TObject* Sender, TIEBitmap& Like) {
  const int32_t W = p.W, H = p.H, m = p.m, o2 = p.o2, finalWidth = p.finalWidth;
  if (m <= 0 || o2 <= 0 || finalWidth <= 0) return nullptr;
  std::unique_ptr<TIEBitmap> result = NewResultBitmap(Like);
  if (!result->Allocate(finalWidth, o2, Work.PixelFormat())) return nullptr;
  Work.CopyPaletteTo(result.get());
  const int64_t stride = int64_t{m} * N;
  std::vector<uint8_t> buf1 = NewBuffer(stride * H);
  std::vector<uint8_t> buf2 = NewBuffer(stride * o2);

  const double factor = 100.0 / (double(H) + m + o2);
  auto progress = [&](int32_t done) {
    if (OnProgress) OnProgress(Sender, static_cast<int32_t>(std::trunc(done * factor)));
  };
  const int32_t threads1 = GeometryThreadCount(Work, Work, int64_t{m} * H);
  const int32_t threads3 = GeometryThreadCount(Work, *result, int64_t{m} * o2);

  // Pass 1: each row of the work image moved right into buffer 1 (m x H).
  {
    TIERowAccessScope readOnly(Work, iraRead);
    Bands(H, threads1, [&](int32_t First, int32_t Count) {
      for (int32_t D = First; D < First + Count; ++D) {
        const int32_t d = p.positive ? D : H - D;
        const double F = d * p.T;
        const int32_t n = Round(F);
        const int32_t a = static_cast<int32_t>(std::trunc((F - n) * 4096));
        ShearRow<N>(static_cast<const uint8_t*>(Work.GetRow(D)), W, buf1.data() + stride * D, m, n, a, 4096 - a,
                    AntiAlias, Bg);
      }
    }, [&](int32_t done) { progress(done); });
  }

  // Pass 2: each column of buffer 1 moved down into buffer 2 (m x o'), in blocks of columns.
  std::vector<int32_t> offset(static_cast<size_t>(m)), weightA(static_cast<size_t>(m));
  for (int32_t E = 0; E < m; ++E) {
    const int32_t e = p.positive ? m - E : E;
    const double F = e * p.S;
    const int32_t n = Round(F);
    weightA[static_cast<size_t>(E)] = Round((F - n) * 4096);
    offset[static_cast<size_t>(E)] = n - p.h;
  }
  Bands(o2, threads3, [&](int32_t First, int32_t Count) {
    for (int32_t R = First; R < First + Count; ++R) FillPixels<N>(buf2.data() + stride * R, m, Bg);
  }, nullptr);
  const int32_t blocks = (m + kColumnBlock - 1) / kColumnBlock;
  Bands(blocks, threads3, [&](int32_t First, int32_t Count) {
    for (int32_t block = First; block < First + Count; ++block) {
      const int32_t e0 = block * kColumnBlock, e1 = std::min(m, e0 + kColumnBlock);
      // The pixel that landed last in each column: the background before the first.
      uint8_t prev[kColumnBlock][N];
      for (int32_t E = e0; E < e1; ++E)
        for (int c = 0; c < N; ++c) prev[E - e0][c] = Bg[c];
      for (int32_t L = 0; L < H; ++L) {
        const uint8_t* src = buf1.data() + stride * L;
        for (int32_t E = e0; E < e1; ++E) {
          const int32_t R = L + offset[static_cast<size_t>(E)];
          if (R < 0 || R >= o2) continue;
          const uint8_t* s = src + int64_t{E} * N;
          uint8_t* d = buf2.data() + stride * R + int64_t{E} * N;
          uint8_t* before = prev[E - e0];
          if (AntiAlias) {
            const int32_t a = weightA[static_cast<size_t>(E)];
            for (int c = 0; c < N; ++c) d[c] = Blend(before[c], s[c], a, 4096 - a);
          } else {
            for (int c = 0; c < N; ++c) d[c] = s[c];
          }
          for (int c = 0; c < N; ++c) before[c] = s[c];
        }
      }
      if (!AntiAlias) continue;
      for (int32_t E = e0; E < e1; ++E) {
        const int32_t a = weightA[static_cast<size_t>(E)];
        const int32_t R = offset[static_cast<size_t>(E)] + H;
        if (a <= 0 || R < 0 || R >= o2) continue;
        uint8_t* d = buf2.data() + stride * R + int64_t{E} * N;
        for (int c = 0; c < N; ++c) d[c] = Blend(prev[E - e0][c], Bg[c], a, 4096 - a);
      }
    }
  }, [&](int32_t done) { progress(H + std::min(m, done * kColumnBlock)); });

  // Pass 3: each row of buffer 2 moved right into the result (final width x o').
  {
    TIERowAccessScope writeOnly(*result, iraWrite);
    Bands(o2, threads3, [&](int32_t First, int32_t Count) {
      for (int32_t R = First; R < First + Count; ++R) {
        const int32_t r = p.positive ? R : o2 - R;
        const double F = r * p.T;
        const int32_t n = Round(F);
        const int32_t a = Round((F - n) * 4096);
        ShearRow<N>(buf2.data() + stride * R, m, static_cast<uint8_t*>(result->GetRow(R)), finalWidth, n - p.t, a,
                    4096 - a, AntiAlias, Bg);
      }
    }, [&](int32_t done) { progress(H + m + done); });
  }
  return result;
}

}  // namespace

std::unique_ptr<TIEBitmap> ShearRotated(TIEBitmap& Source, bool AntiAlias, double Angle, const uint8_t* Background,
                                        const TIEProgressEvent& OnProgress, TObject* Sender) {
  if (Source.IsEmpty()) return nullptr;
  const TIEPixelFormat format = Source.PixelFormat();
  if (format != ie24RGB && format != ie8g && format != ie8p) return nullptr;
  // Thousandths of a degree, reduced to one turn (|c| < 360 000); an angle that is no number
  // rotates by nothing.
  const double thousandths = std::isfinite(Angle) ? std::trunc(Angle * 1000) : 0;
  int64_t c = static_cast<int64_t>(std::fmod(thousandths, 360000.0));
  int32_t quarters = 0;
  while (c > 45000) {
    c -= 90000;
    ++quarters;
  }
  while (c < -45000) {
    c += 90000;
    --quarters;
  }
  std::unique_ptr<TIEBitmap> turned;
  if (quarters != 0 || c == 0) {
    turned = TurnedCopy(Source, quarters);
    if (!turned || c == 0) return turned;
  }
  TIEBitmap& work = turned ? *turned : Source;
  const TShearPlan plan = PlanShears(c / 1000.0, work.Width(), work.Height());
  if (format == ie24RGB) return Shear<3>(work, plan, AntiAlias, Background, OnProgress, Sender, Source);
  return Shear<1>(work, plan, AntiAlias, Background, OnProgress, Sender, Source);
}
