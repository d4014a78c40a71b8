#include "imaging/processing/ie_flip_turn.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_row_table.h"

namespace {

// Turns work in square tiles of this many pixels, so that the rows a tile reads stay in the cache.
constexpr int32_t kTile = 64;

// Bytes per pixel for the routines here: 0 for 1-bit rows.
int32_t PixelBytes(TIEBitmap& Bitmap) { return IEBytesPerPixel[Bitmap.PixelFormat()]; }

// Runs Body(First, Count) over Rows rows, spread over Threads workers.
template <class F>
void ForRowBands(int32_t Rows, int32_t Threads, F&& Body) {
  RunResampleBands(
      Rows, Threads,
      [&](int32_t First, int32_t Count, const std::function<bool()>& RowDone) {
        Body(First, Count);
        for (int32_t i = 0; i < Count; ++i) RowDone();
      },
      nullptr);
}

template <int N>
void ReverseBytes(const uint8_t* __restrict Src, uint8_t* __restrict Dst, int32_t Count) {
  const uint8_t* s = Src + static_cast<int64_t>(Count - 1) * N;
  for (int32_t x = 0; x < Count; ++x, s -= N, Dst += N)
    for (int c = 0; c < N; ++c) Dst[c] = s[c];
}

void ReverseBits(const uint8_t* Src, uint8_t* Dst, int32_t Count) {
  // Destination byte j holds source bits Count - 8 - 8j .. Count - 1 - 8j in reverse order: the
  // eight-bit window starting at s, read across two source bytes, then reversed.
  const int32_t whole = Count / 8;
  for (int32_t j = 0; j < whole; ++j) {
    const int32_t s = Count - 8 - 8 * j;
    const int32_t b = s >> 3, shift = s & 7;
    const uint32_t window = shift == 0 ? Src[b] : ((Src[b] << shift) | (Src[b + 1] >> (8 - shift))) & 0xFF;
    Dst[j] = IEBitReverseTable[window];
  }
  const int32_t rest = Count - whole * 8;
  if (rest == 0) return;
  // The last, partial byte: the window starts before the row, its first -s bits are not there.
  const uint8_t window = static_cast<uint8_t>(Src[0] >> (8 - rest));
  const uint8_t bits = IEBitReverseTable[window];
  const uint8_t keep = static_cast<uint8_t>(0xFF >> rest);
  Dst[whole] = static_cast<uint8_t>((Dst[whole] & keep) | (bits & ~keep));
}

// One pixel of N bytes moved; Wide also moves the byte after it, where that byte is known to be
// there to read and to be written again later (a 3-byte pixel moves as one 4-byte word).
template <int N, bool Wide>
inline void MovePixel(const uint8_t* S, uint8_t* D) {
  if constexpr (Wide && N == 3) {
    uint32_t v;
    std::memcpy(&v, S, 4);
    std::memcpy(D, &v, 4);
  } else {
    uint8_t v[N];
    std::memcpy(v, S, N);
    std::memcpy(D, v, N);
  }
}

// Quarter turn of the destination rows Y0..Y1-1, in tiles of kTile x kTile pixels taken along the
// destination rows (the destination rows of a tile row stay in the cache until they are whole),
// each tile in blocks of kBlock x kBlock pixels. Dest is Height x Width of Source.
template <int N>
void TurnRows(uint8_t* const* Src, uint8_t* const* Dst, int32_t W, int32_t H, bool Clockwise, int32_t Y0, int32_t Y1) {
  constexpr int32_t kBlock = 8;
  const int32_t destWidth = H;
  for (int32_t ty = Y0; ty < Y1; ty += kTile) {
    const int32_t ty1 = std::min(ty + kTile, Y1);
    for (int32_t tx = 0; tx < destWidth; tx += kTile) {
      const int32_t tx1 = std::min(tx + kTile, destWidth);
      for (int32_t y0 = ty; y0 < ty1; y0 += kBlock) {
        const int32_t y1 = std::min(y0 + kBlock, ty1);
        for (int32_t x0 = tx; x0 < tx1; x0 += kBlock) {
          const int32_t count = std::min(kBlock, tx1 - x0);
          // The source rows of the block's destination columns.
          const uint8_t* s[kBlock];
          for (int32_t j = 0; j < count; ++j) s[j] = Clockwise ? Src[H - 1 - x0 - j] : Src[x0 + j];
          for (int32_t y = y0; y < y1; ++y) {
            // Dest(x, y) = Source(y, H - 1 - x) clockwise, Source(W - 1 - y, x) counter-clockwise.
            const int32_t column = Clockwise ? y : W - 1 - y;
            const int64_t at = static_cast<int64_t>(column) * N;
            uint8_t* __restrict d = Dst[y] + static_cast<int64_t>(x0) * N;
            if (count == kBlock && column + 1 < W) {
              // Not the source rows' last pixel: every pixel but the block's last moves with the
              // byte after it, which the next pixel then overwrites.
              for (int32_t j = 0; j < kBlock - 1; ++j) MovePixel<N, true>(s[j] + at, d + j * N);
              MovePixel<N, false>(s[kBlock - 1] + at, d + (kBlock - 1) * N);
            } else {
              for (int32_t j = 0; j < count; ++j) MovePixel<N, false>(s[j] + at, d + j * N);
            }
          }
        }
      }
    }
  }
}

void TurnRowsBits(uint8_t* const* Src, uint8_t* const* Dst, int32_t W, int32_t H, bool Clockwise, int32_t Y0,
                  int32_t Y1) {
  const int32_t destWidth = H;
  for (int32_t tx = 0; tx < destWidth; tx += kTile) {
    const int32_t x1 = std::min(tx + kTile, destWidth);
    for (int32_t y = Y0; y < Y1; ++y) {
      uint8_t* d = Dst[y];
      const int32_t column = Clockwise ? y : W - 1 - y;
      // Tiles start at multiples of 8, so every destination byte is made whole here.
      for (int32_t x = tx; x < x1; x += 8) {
        uint8_t byte = 0;
        const int32_t end = std::min(x + 8, x1);
        for (int32_t k = x; k < end; ++k) {
          const uint8_t* s = Clockwise ? Src[H - 1 - k] : Src[k];
          if (GetRowBit(s, column)) byte |= IEBitMask1[k - x];
        }
        d[x >> 3] = byte;
      }
    }
  }
}

void TurnBand(uint8_t* const* Src, uint8_t* const* Dst, int32_t W, int32_t H, int32_t Bytes, bool Clockwise, int32_t Y0,
              int32_t Y1) {
  switch (Bytes) {
    case 0: TurnRowsBits(Src, Dst, W, H, Clockwise, Y0, Y1); break;
    case 1: TurnRows<1>(Src, Dst, W, H, Clockwise, Y0, Y1); break;
    case 2: TurnRows<2>(Src, Dst, W, H, Clockwise, Y0, Y1); break;
    case 3: TurnRows<3>(Src, Dst, W, H, Clockwise, Y0, Y1); break;
    case 4: TurnRows<4>(Src, Dst, W, H, Clockwise, Y0, Y1); break;
    case 6: TurnRows<6>(Src, Dst, W, H, Clockwise, Y0, Y1); break;
    default: break;
  }
}

// A new bitmap holding Source turned a quarter; nil when it cannot be had.
std::unique_ptr<TIEBitmap> QuarterTurned(TIEBitmap& Source, bool Clockwise) {
  if (Source.IsEmpty()) return nullptr;
  const int32_t w = Source.Width(), h = Source.Height();
  std::unique_ptr<TIEBitmap> result = NewResultBitmap(Source);
  if (!result->Allocate(h, w, Source.PixelFormat())) return nullptr;
  Source.CopyPaletteTo(result.get());
  const int32_t bytes = PixelBytes(Source);
  TIERowTable src(Source, iraRead);
  TIERowTable dst(*result, iraReadWrite);
  ForRowBands(w, GeometryThreadCount(Source, *result, int64_t{w} * h), [&](int32_t First, int32_t Count) {
    TurnBand(src.Rows(), dst.Rows(), w, h, bytes, Clockwise, First, First + Count);
  });
  dst.Release();
  return result;
}

// A new bitmap holding Source turned by 180 degrees; nil when it cannot be had.
std::unique_ptr<TIEBitmap> HalfTurned(TIEBitmap& Source) {
  if (Source.IsEmpty()) return nullptr;
  const int32_t w = Source.Width(), h = Source.Height();
  std::unique_ptr<TIEBitmap> result = NewResultBitmap(Source);
  if (!result->Allocate(w, h, Source.PixelFormat())) return nullptr;
  Source.CopyPaletteTo(result.get());
  const int32_t bytes = PixelBytes(Source);
  TIERowAccessScope readOnly(Source, iraRead);
  std::vector<uint8_t> row(static_cast<size_t>(Source.RowLen()));
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(row.data(), Source.GetRow(y), row.size());
    ReverseRowPixels(row.data(), static_cast<uint8_t*>(result->GetRow(h - 1 - y)), w, bytes);
  }
  return result;
}

void FlipHorizontal(TIEBitmap& Bitmap) {
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  const int32_t bytes = PixelBytes(Bitmap);
  const size_t pixelBytes = bytes == 0 ? static_cast<size_t>((w + 7) / 8) : static_cast<size_t>(w) * bytes;
  ForRowBands(h, GeometryThreadCount(Bitmap, Bitmap, int64_t{w} * h), [&](int32_t First, int32_t Count) {
    std::vector<uint8_t> reversed(pixelBytes, 0);
    for (int32_t y = First; y < First + Count; ++y) {
      auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
      ReverseRowPixels(row, reversed.data(), w, bytes);
      std::memcpy(row, reversed.data(), pixelBytes);
    }
  });
}

// Exchanges rows Y and H - 1 - Y for the first half of the rows, each reversed too when Reverse (a
// half turn); the middle row of an odd height is only reversed.
void SwapRows(TIEBitmap& Bitmap, bool Reverse) {
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  const int32_t bytes = PixelBytes(Bitmap);
  const size_t rowLen = static_cast<size_t>(Bitmap.RowLen());
  const int32_t pairs = (h + 1) / 2;
  ForRowBands(pairs, GeometryThreadCount(Bitmap, Bitmap, int64_t{w} * h), [&](int32_t First, int32_t Count) {
    std::vector<uint8_t> a(rowLen), b(rowLen);
    for (int32_t y = First; y < First + Count; ++y) {
      const int32_t other = h - 1 - y;
      auto* top = static_cast<uint8_t*>(Bitmap.AcquireRow(y));
      auto* bottom = other == y ? top : static_cast<uint8_t*>(Bitmap.AcquireRow(other));
      if (Reverse) {
        ReverseRowPixels(top, a.data(), w, bytes);
        ReverseRowPixels(bottom, b.data(), w, bytes);
        std::memcpy(bottom, a.data(), rowLen);
        if (other != y) std::memcpy(top, b.data(), rowLen);
      } else if (other != y) {
        std::swap_ranges(top, top + rowLen, bottom);
      }
      Bitmap.ReleaseRow(y);
      if (other != y) Bitmap.ReleaseRow(other);
    }
  });
}

void FlipPixels(TIEBitmap& Bitmap, TIEFlipDirection Direction) {
  if (Bitmap.IsEmpty()) return;
  if (Direction == iefdVertical)
    SwapRows(Bitmap, false);
  else
    FlipHorizontal(Bitmap);
}

}  // namespace

void ReverseRowPixels(const uint8_t* Src, uint8_t* Dst, int32_t Count, int32_t BytesPerPixel) {
  if (Count <= 0) return;
  switch (BytesPerPixel) {
    case 0: ReverseBits(Src, Dst, Count); break;
    case 1: ReverseBytes<1>(Src, Dst, Count); break;
    case 2: ReverseBytes<2>(Src, Dst, Count); break;
    case 3: ReverseBytes<3>(Src, Dst, Count); break;
    case 4: ReverseBytes<4>(Src, Dst, Count); break;
    case 6: ReverseBytes<6>(Src, Dst, Count); break;
    default: break;
  }
}

void FlipBitmap(TIEBitmap& Bitmap, TIEFlipDirection Direction) {
  FlipPixels(Bitmap, Direction);
  if (Bitmap.HasAlphaChannel()) FlipPixels(*Bitmap.GetAlphaChannel(), Direction);
}

bool QuarterTurnCopy(TIEBitmap& Source, TIEBitmap& Dest, bool Clockwise) {
  if (&Source == &Dest) return false;
  std::unique_ptr<TIEBitmap> turned = QuarterTurned(Source, Clockwise);
  if (!turned) return false;
  TakeResultImage(Dest, *turned, false);
  return true;
}

bool HalfTurnCopy(TIEBitmap& Source, TIEBitmap& Dest) {
  if (&Source == &Dest) return false;
  std::unique_ptr<TIEBitmap> turned = HalfTurned(Source);
  if (!turned) return false;
  TakeResultImage(Dest, *turned, false);
  return true;
}

std::unique_ptr<TIEBitmap> TurnedCopy(TIEBitmap& Source, int32_t Quarters) {
  switch (((Quarters % 4) + 4) % 4) {
    case 1: return QuarterTurned(Source, false);
    case 2: return HalfTurned(Source);
    case 3: return QuarterTurned(Source, true);
    default: break;
  }
  if (Source.IsEmpty()) return nullptr;
  std::unique_ptr<TIEBitmap> copy = NewResultBitmap(Source);
  if (!copy->Allocate(Source.Width(), Source.Height(), Source.PixelFormat())) return nullptr;
  Source.CopyPaletteTo(copy.get());
  Source.CopyRectTo(*copy, 0, 0, 0, 0, Source.Width(), Source.Height());
  return copy;
}

bool TurnBitmapQuarters(TIEBitmap& Bitmap, int32_t Quarters, bool WithAlpha) {
  const int32_t q = ((Quarters % 4) + 4) % 4;
  if (q == 0 || Bitmap.IsEmpty()) return true;
  TIEBitmap* alpha = WithAlpha && Bitmap.HasAlphaChannel() ? Bitmap.GetAlphaChannel() : nullptr;
  if (q == 2) {
    SwapRows(Bitmap, true);
    if (alpha && !alpha->IsEmpty()) SwapRows(*alpha, true);
    return true;
  }
  // Counter-clockwise is the positive sense: three quarters are one quarter clockwise.
  const bool clockwise = q == 3;
  std::unique_ptr<TIEBitmap> turnedAlpha;
  if (alpha && !alpha->IsEmpty()) {
    turnedAlpha = QuarterTurned(*alpha, clockwise);
    if (!turnedAlpha) return false;
  }
  std::unique_ptr<TIEBitmap> turned = QuarterTurned(Bitmap, clockwise);
  if (!turned) return false;
  TakeResultImage(Bitmap, *turned, false);
  if (turnedAlpha) TakeResultImage(*alpha, *turnedAlpha, false);
  return true;
}
