#include "imaging/processing/transitions/ie_transition_builtins.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/transitions/ie_effect_draw.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/random.h"

namespace {

using TRows = uint8_t* const*;

// Runs Body(FirstRow, EndRow) over the frame's rows, in bands on the worker threads when each band
// gets at least a million pixels: a blend runs at memory speed (a full-HD frame in under a
// millisecond on one core), and starting a thread costs as much as a band of a few hundred
// thousand pixels, more on a busy machine. Every row is drawn alike on any thread.
void ForRows(int32_t Width, int32_t Height, const std::function<void(int32_t, int32_t)>& Body) {
  constexpr int64_t kBandPixels = int64_t{1} << 20;
  const int64_t pixels = int64_t{Width} * Height;
  const int32_t threads = static_cast<int32_t>(std::min<int64_t>({BandThreadCount(), Height / 8, pixels / kBandPixels}));
  if (threads <= 1) {
    Body(0, Height);
    return;
  }
  RunResampleBands(
      Height, threads,
      [&](int32_t First, int32_t Count, const std::function<bool()>&) { Body(First, First + Count); }, nullptr);
}

void CopyPixels(uint8_t* Dst, const uint8_t* Src, int64_t Count) {
  if (Count > 0) std::memcpy(Dst, Src, static_cast<size_t>(Count) * 3);
}

// Copies the block (X, Y, Width, Height) of Src to the same place of the frame, clipped to it.
void CopyBlock(const TTransitionFrames& F, TRows Src, int64_t X, int64_t Y, int64_t Width, int64_t Height) {
  const int64_t x0 = std::max<int64_t>(X, 0), x1 = std::min<int64_t>(X + Width, F.Width);
  const int64_t y0 = std::max<int64_t>(Y, 0), y1 = std::min<int64_t>(Y + Height, F.Height);
  if (x0 >= x1 || y0 >= y1) return;
  for (int64_t y = y0; y < y1; ++y) CopyPixels(F.Current[y] + 3 * x0, Src[y] + 3 * x0, x1 - x0);
}

// Draws the whole of Src with its top-left corner at (X, Y) of the frame, clipped to it.
void DrawAt(const TTransitionFrames& F, TRows Src, int64_t X, int64_t Y) {
  const int64_t x0 = std::max<int64_t>(X, 0), x1 = std::min<int64_t>(X + F.Width, F.Width);
  const int64_t y0 = std::max<int64_t>(Y, 0), y1 = std::min<int64_t>(Y + F.Height, F.Height);
  if (x0 >= x1 || y0 >= y1) return;
  for (int64_t y = y0; y < y1; ++y) CopyPixels(F.Current[y] + 3 * x0, Src[y - Y] + 3 * (x0 - X), x1 - x0);
}

void DrawWhole(const TTransitionFrames& F, TRows Src) { CopyBlock(F, Src, 0, 0, F.Width, F.Height); }

// A 1-pixel line of colour $0000FF (red) along column X or row Y, as a pen line from edge to edge.
void RedColumn(const TTransitionFrames& F, int64_t X) {
  if (X < 0 || X >= F.Width) return;
  for (int32_t y = 0; y < F.Height; ++y) {
    uint8_t* p = F.Current[y] + 3 * X;
    p[0] = 0;
    p[1] = 0;
    p[2] = 255;
  }
}
void RedRow(const TTransitionFrames& F, int64_t Y) {
  if (Y < 0 || Y >= F.Height) return;
  uint8_t* p = F.Current[Y];
  for (int32_t x = 0; x < F.Width; ++x, p += 3) {
    p[0] = 0;
    p[1] = 0;
    p[2] = 255;
  }
}

int64_t RoundToInt64(double V) {
  const double r = std::nearbyint(V);
  if (!(r > -9.0e18)) return 0;
  return r >= 9.0e18 ? int64_t{9000000000000000000} : static_cast<int64_t>(r);
}

// Blend of A toward B (rows of the frame, or the background row for a fade) at Step.
void BlendFrame(const TTransitionFrames& F, TRows A, const uint8_t* BackgroundRow, TRows B, bool BackgroundFirst,
                uint32_t Step) {
  const int32_t bytes = F.Width * 3;
  ForRows(F.Width, F.Height, [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      const uint8_t* a = BackgroundFirst ? BackgroundRow : A[y];
      const uint8_t* b = B ? B[y] : BackgroundRow;
      BlendRow(a, b, F.Current[y], bytes, Step);
    }
  });
}

void CrossFade(const TTransitionFrames& F, int32_t s) { BlendFrame(F, F.Start, nullptr, F.End, false, s); }

void FadeOut(const TTransitionFrames& F, int32_t s, const std::vector<uint8_t>& bg) {
  BlendFrame(F, F.Start, bg.data(), nullptr, false, s);
}
void FadeIn(const TTransitionFrames& F, int32_t s, const std::vector<uint8_t>& bg) {
  BlendFrame(F, nullptr, bg.data(), F.End, true, s);
}

// One row of the frame put together from two pictures: [0, c) from First at FirstFrom, [c, W) from
// Second at SecondFrom.
void SplitRows(const TTransitionFrames& F, int64_t c, TRows First, int64_t FirstFrom, TRows Second,
               int64_t SecondFrom) {
  ForRows(F.Width, F.Height, [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      CopyPixels(F.Current[y], First[y] + 3 * FirstFrom, c);
      CopyPixels(F.Current[y] + 3 * c, Second[y] + 3 * SecondFrom, F.Width - c);
    }
  });
}

// Rows [0, n) from First starting at its row FirstFrom, rows [n, H) from Second starting at row
// SecondFrom.
void SplitColumns(const TTransitionFrames& F, int64_t n, TRows First, int64_t FirstFrom, TRows Second,
                  int64_t SecondFrom) {
  ForRows(F.Width, F.Height, [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      const uint8_t* src = y < n ? First[FirstFrom + y] : Second[SecondFrom + (y - n)];
      CopyPixels(F.Current[y], src, F.Width);
    }
  });
}

void RandomPoints(const TTransitionFrames& F, int64_t s, int32_t& Revealed) {
  if (s == 0) {
    DrawWhole(F, F.Start);
    Revealed = 0;
    return;
  }
  const int64_t n = RoundToInt64(static_cast<double>(F.Width) * s * (s / 180.0) / 1024);
  const int64_t d = n - Revealed;
  Revealed = static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX));
  for (int32_t y = 0; y < F.Height; ++y) {
    uint8_t* dst = F.Current[y];
    const uint8_t* src = F.End[y];
    for (int64_t k = 0; k < d; ++k) {
      const int32_t x = Random(F.Width);
      std::memcpy(dst + 3 * x, src + 3 * x, 3);
    }
  }
}

void RandomBoxes(const TTransitionFrames& F, int64_t s, int32_t& Revealed) {
  if (s == 0) {
    DrawWhole(F, F.Start);
    Revealed = 0;
    return;
  }
  const int64_t boxes = (int64_t{F.Width} * F.Height) / 64;
  const int64_t n = RoundToInt64(static_cast<double>(s) * static_cast<double>(boxes) * (s / 180.0) / 1024);
  const int64_t d = n - Revealed;
  Revealed = static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX));
  for (int64_t k = 0; k < d; ++k) {
    int32_t x = Random(F.Width);
    int32_t y = Random(F.Height);
    x -= x % 8;
    y -= y % 8;
    CopyBlock(F, F.End, x, y, 8, 8);
  }
}

}  // namespace

void BlendRowReference(const uint8_t* A, const uint8_t* B, uint8_t* Dst, int32_t Count, uint32_t Step) {
  const uint32_t back = 1024 - Step;
  for (int32_t i = 0; i < Count; ++i) Dst[i] = static_cast<uint8_t>((A[i] * back + B[i] * Step) >> 10);
}

// (a (1024 - s) + b s) shr 10 is a + floor((b - a) s / 1024), as a s 1024 is a multiple of
// 1024. In 16-bit lanes, floor((b - a) s / 1024) is the high half of (2 (b - a)) x (32 s), which
// fits for s < 1024; step 1024 is the end picture itself.
void BlendRow(const uint8_t* A, const uint8_t* B, uint8_t* Dst, int32_t Count, uint32_t Step) {
  if (Step >= 1024) {
    if (Count > 0) std::memcpy(Dst, B, static_cast<size_t>(Count));
    return;
  }
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i k = _mm_set1_epi16(static_cast<int16_t>(Step << 5));
  for (; i + 16 <= Count; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + i));
    const __m128i aLo = _mm_unpacklo_epi8(a, zero), aHi = _mm_unpackhi_epi8(a, zero);
    const __m128i dLo = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(b, zero), aLo), 1);
    const __m128i dHi = _mm_slli_epi16(_mm_sub_epi16(_mm_unpackhi_epi8(b, zero), aHi), 1);
    const __m128i lo = _mm_add_epi16(aLo, _mm_mulhi_epi16(dLo, k));
    const __m128i hi = _mm_add_epi16(aHi, _mm_mulhi_epi16(dHi, k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + i), _mm_packus_epi16(lo, hi));
  }
#endif
  BlendRowReference(A + i, B + i, Dst + i, Count - i, Step);
}

void DrawBuiltinEffect(const TTransitionFrames& F, int32_t Id, int32_t Step, int32_t& RevealedCount) {
  const int64_t W = F.Width, H = F.Height;
  if (W < 1 || H < 1) return;
  const int64_t s = std::clamp(Step, 0, 1024), r = 1024 - s;
  std::vector<uint8_t> background;
  if (Id >= 2 && Id <= 4) {
    background.resize(static_cast<size_t>(W) * 3);
    for (int64_t x = 0; x < W; ++x) std::memcpy(&background[3 * x], F.Background, 3);
  }
  // Ids 5 to 16 and 27, 29 start from the start picture.
  const bool fromStart = s == 0 && ((Id >= 5 && Id <= 16) || Id == 27 || Id == 29);
  if (fromStart) DrawWhole(F, F.Start);
  switch (Id) {
    case 1:
      CrossFade(F, static_cast<int32_t>(s));
      break;
    case 2:
      FadeOut(F, static_cast<int32_t>(s), background);
      break;
    case 3:
      FadeIn(F, static_cast<int32_t>(s), background);
      break;
    case 4:
      if (s < 512)
        FadeOut(F, static_cast<int32_t>(2 * s), background);
      else
        FadeIn(F, static_cast<int32_t>(2 * s - 1024), background);
      break;
    case 5:
    case 6:
      CopyBlock(F, F.End, 0, 0, (s * W) >> 10, H);
      if (Id == 6) RedColumn(F, (s * W) >> 10);
      break;
    case 7:
    case 8: {
      const int64_t x = RoundToInt64(static_cast<double>(r * W) / 1024);
      CopyBlock(F, F.End, x, 0, RoundToInt64(static_cast<double>(s * W) / 1024), H);
      if (Id == 8) RedColumn(F, x);
      break;
    }
    case 9:
    case 10: {
      const int64_t y = RoundToInt64(static_cast<double>(s * H) / 1024);
      CopyBlock(F, F.End, 0, 0, W, y);
      if (Id == 10) RedRow(F, y);
      break;
    }
    case 11:
    case 12: {
      const int64_t y = RoundToInt64(static_cast<double>(r * H) / 1024);
      CopyBlock(F, F.End, 0, y, W, RoundToInt64(static_cast<double>(s * H) / 1024));
      if (Id == 12) RedRow(F, y);
      break;
    }
    case 13:
      DrawAt(F, F.End, -((r * W) >> 10), -((r * H) >> 10));
      break;
    case 14:
      DrawAt(F, F.End, (r * W) >> 10, -((r * H) >> 10));
      break;
    case 15:
      DrawAt(F, F.End, -((r * W) >> 10), (r * H) >> 10);
      break;
    case 16:
      DrawAt(F, F.End, (r * W) >> 10, (r * H) >> 10);
      break;
    case 17: {
      const int64_t c = (s * W) >> 10;
      SplitRows(F, c, F.End, W - c, F.Start, 0);
      break;
    }
    case 18: {
      const int64_t c = (s * W) >> 10;
      SplitRows(F, c, F.End, 0, F.Start, 0);
      break;
    }
    case 19: {
      const int64_t c = (r * W) >> 10;
      SplitRows(F, c, F.Start, W - c, F.End, 0);
      break;
    }
    case 20: {
      const int64_t c = (r * W) >> 10;
      SplitRows(F, c, F.Start, 0, F.End, 0);
      break;
    }
    case 21: {
      const int64_t n = (s * H) >> 10;
      SplitColumns(F, n, F.End, H - n, F.Start, 0);
      break;
    }
    case 22: {
      const int64_t n = (s * H) >> 10;
      SplitColumns(F, n, F.End, 0, F.Start, 0);
      break;
    }
    case 23: {
      const int64_t n = (r * H) >> 10;
      SplitColumns(F, n, F.Start, H - n, F.End, 0);
      break;
    }
    case 24: {
      const int64_t n = (H * r) >> 10;
      SplitColumns(F, n, F.Start, H - n, F.End, n);
      break;
    }
    case 25:
      RandomPoints(F, s, RevealedCount);
      break;
    case 26:
      RandomBoxes(F, s, RevealedCount);
      break;
    case 27: {
      const int64_t x = W / 2 - ((s * (W / 2)) >> 10), y = H / 2 - ((s * (H / 2)) >> 10);
      CopyBlock(F, F.End, x, y, (s * W) >> 10, (s * H) >> 10);
      break;
    }
    case 28: {
      DrawWhole(F, F.End);
      const int64_t x = W / 2 - ((r * (W / 2)) >> 10), y = H / 2 - ((r * (H / 2)) >> 10);
      CopyBlock(F, F.Start, x, y, (r * W) >> 10, (r * H) >> 10);
      break;
    }
    case 29: {
      const int64_t x = W / 2 - ((s * (W / 2)) >> 10), y = H / 2 - ((s * (H / 2)) >> 10);
      StretchPictureBlock(F.CurrentBitmap->Canvas(), x, y, (s * W) >> 10, (s * H) >> 10, F.EndBitmap, 0, 0, W, H);
      break;
    }
    case 30: {
      DrawWhole(F, F.End);
      const int64_t x = W / 2 - ((r * (W / 2)) >> 10), y = H / 2 - ((r * (H / 2)) >> 10);
      StretchPictureBlock(F.CurrentBitmap->Canvas(), x, y, (r * W) >> 10, (r * H) >> 10, F.StartBitmap, 0, 0, W, H);
      break;
    }
    default:
      break;
  }
}
