// The three-shear rotation of ie24RGB and 8-bit bitmaps: a horizontal shear, a vertical one and a
// horizontal one again, each moving whole rows or columns by a fixed-point offset and, with
// antialiasing, blending every pixel with the one before it by the offset's fraction in 4096ths.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
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
#include "platform/system/memory.h"

namespace {

// The vertical shear works on blocks of this many columns and bands of this many rows, so that the
// rows of buffer 1 it reads and the band it writes stay in the cache.
constexpr int32_t kColumnBlock = 64;
constexpr int32_t kShearBand = 16;

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

// Work buffers of the shears; their memory failing is the out-of-memory error. They are left
// unset: every pass writes each byte of its buffer (background included) before the next pass
// reads it, and the pages are first touched by the workers that write them.
std::unique_ptr<uint8_t[]> NewBuffer(int64_t Bytes) {
  if (Bytes <= 0 || static_cast<uint64_t>(Bytes) > std::numeric_limits<size_t>::max() / 2)
    throw EOutOfMemory("Out of memory");
  uint8_t* block = new (std::nothrow) uint8_t[static_cast<size_t>(Bytes)];
  if (!block) throw EOutOfMemory("Out of memory");
  AdviseHugePages(block, static_cast<size_t>(Bytes));
  return std::unique_ptr<uint8_t[]>(block);
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

// Rows R0..R1-1, columns E0..E1-1 of the vertical shear of buffer 1 (H rows of Stride bytes) into
// Band (row R at Band + (R - R0) * Stride). Column E moves down by Offset[E]: row L of buffer 1 lands
// in row L + Offset[E]; with AntiAlias it is blended (weight A[E]) with the pixel that landed before
// it, which is row L - 1 when that landed inside, else the background; the row after the column's
// last pixel gets that pixel blended with the background when A[E] > 0; the rest is background.
template <int N>
void ColumnShearBlock(const uint8_t* Buf1, int64_t Stride, int32_t H, const int32_t* Offset, const int32_t* A,
                      int32_t E0, int32_t E1, int32_t R0, int32_t R1, bool AntiAlias, const uint8_t* Bg, uint8_t* Band) {
  for (int32_t R = R0; R < R1; ++R) {
    uint8_t* d = Band + Stride * (R - R0) + int64_t{E0} * N;
    for (int32_t E = E0; E < E1; ++E, d += N) {
      const int32_t L = R - Offset[E];
      if (L >= 0 && L < H) {
        const uint8_t* s = Buf1 + Stride * L + int64_t{E} * N;
        if (AntiAlias) {
          const uint8_t* before = L >= 1 && R >= 1 ? s - Stride : Bg;
          const int32_t a = A[E];
          for (int c = 0; c < N; ++c) d[c] = Blend(before[c], s[c], a, 4096 - a);
        } else {
          for (int c = 0; c < N; ++c) d[c] = s[c];
        }
      } else if (AntiAlias && L == H && A[E] > 0) {
        const uint8_t* last = H >= 1 && R >= 1 ? Buf1 + Stride * (H - 1) + int64_t{E} * N : Bg;
        const int32_t a = A[E];
        for (int c = 0; c < N; ++c) d[c] = Blend(last[c], Bg[c], a, 4096 - a);
      } else {
        for (int c = 0; c < N; ++c) d[c] = Bg[c];
      }
    }
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
  const std::unique_ptr<uint8_t[]> buffer1 = NewBuffer(stride * H);
  uint8_t* const buf1 = buffer1.get();

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
        ShearRow<N>(static_cast<const uint8_t*>(Work.GetRow(D)), W, buf1 + stride * D, m, n, a, 4096 - a,
                    AntiAlias, Bg);
      }
    }, [&](int32_t done) { progress(done); });
  }

  // Passes 2 and 3, a band of rows at a time: the vertical shear of each column of buffer 1 gives
  // the band's rows (the pixel of row R in column E is row R - offset[E] of buffer 1, blended with
  // the row above it when that landed too), which the last shear moves into the result. Working on
  // bands keeps the sheared picture out of memory as a whole.
  std::vector<int32_t> offset(static_cast<size_t>(m)), weightA(static_cast<size_t>(m));
  for (int32_t E = 0; E < m; ++E) {
    const int32_t e = p.positive ? m - E : E;
    const double F = e * p.S;
    const int32_t n = Round(F);
    weightA[static_cast<size_t>(E)] = Round((F - n) * 4096);
    offset[static_cast<size_t>(E)] = n - p.h;
  }
  progress(H + m);
  {
    TIERowAccessScope writeOnly(*result, iraWrite);
    Bands(o2, threads3, [&](int32_t First, int32_t Count) {
      std::unique_ptr<uint8_t[]> band = NewBuffer(stride * kShearBand);
      for (int32_t r0 = First; r0 < First + Count; r0 += kShearBand) {
        const int32_t r1 = std::min(First + Count, r0 + kShearBand);
        for (int32_t e0 = 0; e0 < m; e0 += kColumnBlock)
          ColumnShearBlock<N>(buf1, stride, H, offset.data(), weightA.data(), e0, std::min(m, e0 + kColumnBlock), r0,
                              r1, AntiAlias, Bg, band.get());
        for (int32_t R = r0; R < r1; ++R) {
          const int32_t r = p.positive ? R : o2 - R;
          const double F = r * p.T;
          const int32_t n = Round(F);
          const int32_t a = Round((F - n) * 4096);
          ShearRow<N>(band.get() + stride * (R - r0), m, static_cast<uint8_t*>(result->GetRow(R)), finalWidth,
                      n - p.t, a, 4096 - a, AntiAlias, Bg);
        }
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
