#include "imaging/processing/ie_compare.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_settings.h"

namespace {

// The columns of a row whose byte is not 0: first and last, or false for none.
bool NonZeroSpan(const uint8_t* Row, int32_t Width, int32_t& First, int32_t& Last) {
  int32_t x = 0;
  while (x < Width && Row[x] == 0) ++x;
  if (x == Width) return false;
  First = x;
  int32_t y = Width - 1;
  while (Row[y] == 0) --y;
  Last = y;
  return true;
}

// Rows of A and B hold the same pixels: Bytes whole bytes, then the first LastBits bits of one more.
bool SameRows(TIEBitmap& A, TIEBitmap& B, int32_t Bytes, int32_t LastBits) {
  TIERowAccessScope readA(A, iraRead), readB(B, iraRead);
  const uint8_t mask = static_cast<uint8_t>(0xFF00 >> LastBits);
  for (int32_t y = 0; y < A.Height(); ++y) {
    const auto* a = static_cast<const uint8_t*>(A.GetRow(y));
    const auto* b = static_cast<const uint8_t*>(B.GetRow(y));
    if (std::memcmp(a, b, static_cast<size_t>(Bytes)) != 0) return false;
    if (LastBits > 0 && ((a[Bytes] ^ b[Bytes]) & mask) != 0) return false;
  }
  return true;
}

bool SamePixels(TIEBitmap& A, TIEBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height() || A.PixelFormat() != B.PixelFormat()) return false;
  if (A.IsEmpty() || B.IsEmpty()) return A.IsEmpty() && B.IsEmpty();
  const int32_t w = A.Width();
  if (A.PixelFormat() == ie1g) return SameRows(A, B, w / 8, w % 8);
  return SameRows(A, B, w * IEBytesPerPixel[A.PixelFormat()], 0);
}

}  // namespace

void GetOpaqueRect(TIEBitmap& Bitmap, TRect& Rect) {
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  Rect = TRect{0, 0, w - 1, h - 1};
  if (!Bitmap.HasAlphaChannel()) return;
  TIEBitmap& alpha = *Bitmap.GetAlphaChannel();
  const int32_t aw = std::min(w, alpha.Width()), ah = std::min(h, alpha.Height());
  int32_t left = INT32_MAX, right = -1, top = -1, bottom = -1;
  TIERowAccessScope readOnly(alpha, iraRead);
  for (int32_t y = 0; y < ah; ++y) {
    int32_t first, last;
    if (!NonZeroSpan(static_cast<const uint8_t*>(alpha.GetRow(y)), aw, first, last)) continue;
    if (top < 0) top = y;
    bottom = y;
    left = std::min(left, first);
    right = std::max(right, last);
  }
  if (top < 0)
    Rect = TRect{0, 0, -1, -1};
  else
    Rect = TRect{left, top, right, bottom};
}

bool IdenticalBitmaps(TIEBitmap& A, TIEBitmap& B) {
  if (&A == &B) return true;
  if (A.HasAlphaChannel() != B.HasAlphaChannel()) return false;
  if (!SamePixels(A, B)) return false;
  if (!A.HasAlphaChannel()) return true;
  return SamePixels(*A.GetAlphaChannel(), *B.GetAlphaChannel());
}

double CompareImagesGray(TIEBitmap& A, TIEBitmap& B, TIEBitmap* Diff) {
  if (A.PixelFormat() != ie24RGB || B.PixelFormat() != ie24RGB) return 0;
  const int32_t w = std::min(A.Width(), B.Width()), h = std::min(A.Height(), B.Height());
  if (Diff && Diff->PixelFormat() != ie8g && Diff->PixelFormat() != ie8p) Diff = nullptr;
  if (w <= 0 || h <= 0) return 0;
  if (Diff) {
    if (!Diff->Allocate(w, h, Diff->PixelFormat()))
      Diff = nullptr;
    else
      Diff->Fill(255);
  }
  const int32_t wr = GreyWeightRed, wg = GreyWeightGreen, wb = GreyWeightBlue;
  std::vector<uint8_t> rowA(static_cast<size_t>(w) * 3), rowB(static_cast<size_t>(w) * 3), d(static_cast<size_t>(w));
  TIERowAccessScope readA(A, iraRead), readB(B, iraRead);
  int64_t sum = 0;
  for (int32_t y = 0; y < h; ++y) {
    // Copies, so that the rows of two file-held bitmaps, or of one bitmap given twice, stay valid.
    std::memcpy(rowA.data(), A.GetRow(y), rowA.size());
    std::memcpy(rowB.data(), B.GetRow(y), rowB.size());
    const uint8_t* pa = rowA.data();
    const uint8_t* pb = rowB.data();
    int64_t rowSum = 0;
    for (int32_t x = 0; x < w; ++x) {
      const int32_t ga = (pa[3 * x + 2] * wr + pa[3 * x + 1] * wg + pa[3 * x] * wb) / 100;
      const int32_t gb = (pb[3 * x + 2] * wr + pb[3 * x + 1] * wg + pb[3 * x] * wb) / 100;
      const int32_t diff = std::abs(ga - gb);
      d[static_cast<size_t>(x)] = static_cast<uint8_t>(std::min(diff, 255));
      rowSum += diff;
    }
    sum += rowSum;
    if (Diff) std::memcpy(Diff->GetRow(y), d.data(), d.size());
  }
  return 1 - (static_cast<double>(sum) / 255) / (static_cast<double>(w) * h);
}
