// TIEMask: showing the selection on screen. The view describes what it shows by a destination
// rectangle on its canvas and the source rectangle of the image (and mask) drawn there; the mask
// is stretched into a cache of the destination size, which the outline and the outside marking
// then walk. The cache is kept while the destination size stays the same.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_rgb.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/graphics.h"

namespace {

// Fixed-point steps of 14 bits: one destination pixel is Scale / 16384 source pixels.
constexpr int32_t kScaleShift = 14;
constexpr int64_t kScaleOne = int64_t{1} << kScaleShift;

// A 1-bit DIB header with its two colours: 0 black, 1 white.
struct TMaskBitmapInfo {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[2];
};

}  // namespace

void TIEMask::FreeDrawCache() {
  cache_.clear();
  cache_.shrink_to_fit();
  cacheRows_.clear();
  cacheWidth_ = cacheHeight_ = cacheRowLen_ = 0;
}

bool TIEMask::CacheSelected(int32_t X, int32_t Row) const {
  const uint8_t* row = cacheRows_[Row];
  return bitsPerPixel_ == 1 ? GetRowBit(row, X) != 0 : row[X] != 0;
}

bool TIEMask::StretchToCache(int32_t DstWidth, int32_t DstHeight, int32_t XSrc, int32_t YSrc, int32_t SrcWidth,
                             int32_t SrcHeight, int64_t& ScaleX, int64_t& ScaleY) {
  const int32_t rowLen = RowLength(DstWidth, bitsPerPixel_, 32);
  if (rowLen < 0) throw std::bad_alloc();
  if (DstWidth != cacheWidth_ || DstHeight != cacheHeight_ || rowLen != cacheRowLen_) {
    FreeDrawCache();
    cache_.resize(static_cast<size_t>(rowLen) * static_cast<size_t>(DstHeight));
    cacheRows_.resize(static_cast<size_t>(DstHeight));
    for (int32_t i = 0; i < DstHeight; ++i)
      cacheRows_[i] = cache_.data() + static_cast<int64_t>(DstHeight - 1 - i) * rowLen;
    cacheWidth_ = DstWidth;
    cacheHeight_ = DstHeight;
    cacheRowLen_ = rowLen;
  }
  std::fill(cache_.begin(), cache_.end(), 0);

  // At least 1, so that an absurd zoom never divides by zero further on.
  ScaleX = std::max<int64_t>(int64_t{SrcWidth} * kScaleOne / DstWidth, 1);
  ScaleY = std::max<int64_t>(int64_t{SrcHeight} * kScaleOne / DstHeight, 1);

  // The destination rows and columns that show the box.
  const int64_t firstRow = std::max<int64_t>((int64_t{y1_} - YSrc) * DstHeight / SrcHeight, 0);
  const int64_t lastRow = std::min<int64_t>((int64_t{y2_} - YSrc + 1) * DstHeight / SrcHeight, DstHeight - 1);
  const int64_t firstCol = std::max<int64_t>((int64_t{x1_} - XSrc) * DstWidth / SrcWidth, 0);
  const int64_t lastCol = std::min<int64_t>((int64_t{x2_} - XSrc + 1) * DstWidth / SrcWidth, DstWidth - 1);
  if (lastCol < firstCol || lastRow < firstRow) return false;

  // Source column of every destination column; -1 outside the mask.
  std::vector<int32_t> columns(static_cast<size_t>(lastCol - firstCol + 1));
  for (int64_t c = firstCol; c <= lastCol; ++c) {
    const int64_t mx = XSrc + ((ScaleX * c) >> kScaleShift);
    columns[c - firstCol] = mx >= 0 && mx < width_ ? static_cast<int32_t>(mx) : -1;
  }
  for (int64_t r = firstRow; r <= lastRow; ++r) {
    const int64_t my = std::min<int64_t>(YSrc + ((ScaleY * r) >> kScaleShift), height_ - 1);
    if (my < 0) continue;
    const uint8_t* src = GetRow(static_cast<int32_t>(my));
    uint8_t* dst = cacheRows_[r];
    if (bitsPerPixel_ == 1) {
      for (int64_t c = firstCol; c <= lastCol; ++c) {
        const int32_t mx = columns[c - firstCol];
        if (mx >= 0 && GetRowBit(src, mx)) dst[c >> 3] |= IEBitMask1[c & 7];
      }
    } else {
      for (int64_t c = firstCol; c <= lastCol; ++c) {
        const int32_t mx = columns[c - firstCol];
        if (mx >= 0) dst[c] = src[mx];
      }
    }
  }
  return true;
}

void TIEMask::DrawXor(TCanvas* Canvas, int32_t XDst, int32_t YDst, int32_t DstWidth, int32_t DstHeight, int32_t XSrc,
                      int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight) {
  if (!Canvas || bitsPerPixel_ != 1 || !HasValidDepth() || IsEmpty()) return;
  if (DstWidth < 1 || DstHeight < 1 || SrcWidth < 1 || SrcHeight < 1) return;
  TMaskBitmapInfo info{};
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 1;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
  // The DIB's rows count from the bottom: the source rectangle's lowest row is Height - YSrc -
  // SrcHeight from there. SRCINVERT: white (selected) inverts the canvas, black leaves it.
  StretchDIBits(Canvas->Handle(), XDst, YDst, DstWidth, DstHeight, XSrc, height_ - YSrc - SrcHeight, SrcWidth,
                SrcHeight, Bits(), reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCINVERT);
}

void TIEMask::DrawOutline(TCanvas* Canvas, int32_t XOffs, int32_t YOffs, int32_t DstWidth, int32_t DstHeight,
                          int32_t XSrc, int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight, int32_t Phase,
                          TColor Colour1, TColor Colour2, TRect* Bounds) {
  if (!Canvas || !HasValidDepth() || IsEmpty()) return;
  if (DstWidth < 1 || DstHeight < 1 || SrcWidth < 1 || SrcHeight < 1) return;
  const COLORREF colour1 = RGBToTColor(TColorToRGB(Colour1));
  const COLORREF colour2 = RGBToTColor(TColorToRGB(Colour2));

  int64_t scaleX = 0, scaleY = 0;
  StretchToCache(DstWidth, DstHeight, XSrc, YSrc, SrcWidth, SrcHeight, scaleX, scaleY);

  // The rows and columns around the box's picture, one more at the far side.
  const int32_t r1 = static_cast<int32_t>(std::max<int64_t>((int64_t{y1_} - YSrc) * kScaleOne / scaleY, 0));
  const int32_t r2 = static_cast<int32_t>(
      std::min<int64_t>((int64_t{y2_} - YSrc + 1) * kScaleOne / scaleY + 1, DstHeight - 1));
  const int32_t c1 = static_cast<int32_t>(std::max<int64_t>((int64_t{x1_} - XSrc) * kScaleOne / scaleX, 0));
  const int32_t c2 = static_cast<int32_t>(
      std::min<int64_t>((int64_t{x2_} - XSrc + 1) * kScaleOne / scaleX + 1, DstWidth - 1));
  if (Bounds) *Bounds = TRect{XOffs + c1 + 1, YOffs + r1 + 1, XOffs + c2 - 1, YOffs + r2 - 1};

  Canvas->Pen()->SetStyle(psSolid);
  Canvas->Pen()->SetMode(pmCopy);
  const HDC dc = Canvas->Handle();
  if (!dc) return;

  for (int32_t i = r1; i <= r2; ++i) {
    const int64_t maskRow = YSrc + ((int64_t{i} * scaleY) >> kScaleShift);
    for (int32_t x = c1; x <= c2; ++x) {
      if (!CacheSelected(x, i)) continue;
      bool border;
      const int64_t maskCol = XSrc + ((int64_t{x} * scaleX) >> kScaleShift);
      if (x == 0) {
        border = maskCol <= x1_;
      } else if (x == c2) {
        border = maskCol >= x2_ || SrcWidth == width_;
      } else if (i == 0) {
        border = maskRow <= y1_;
      } else if (i == r2) {
        border = maskRow >= y2_ || SrcHeight == height_;
      } else {
        // Inside: a border pixel when an unselected pixel touches it.
        border = false;
        for (int32_t k = std::max(i - 1, 0); k <= std::min(i + 1, DstHeight - 1) && !border; ++k)
          for (int32_t j = x - 1; j <= x + 1; ++j)
            if (!CacheSelected(j, k)) {
              border = true;
              break;
            }
      }
      if (!border) continue;
      const int32_t sx = XOffs + x;
      const int32_t sy = YOffs + i;
      // Diagonal dashes of four pixels, moved along by Phase.
      SetPixelV(dc, sx, sy, ((sx + sy + Phase) & 7) < 4 ? colour2 : colour1);
    }
  }
}

void TIEMask::DrawOuter(TBitmap* Bitmap, int32_t XDst, int32_t YDst, int32_t DstWidth, int32_t DstHeight,
                        int32_t XSrc, int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity,
                        TColor Colour) {
  if (!Bitmap || Bitmap->PixelFormat() != pf24bit || !HasValidDepth() || IsEmpty()) return;
  if (DstWidth < 1 || DstHeight < 1 || SrcWidth < 1 || SrcHeight < 1) return;

  // A destination starting above or left of the bitmap starts at its edge instead, the source
  // advanced by the part cut off (rounded to the nearest source pixel).
  const auto clip = [](int64_t& dst, int64_t& src, int64_t& srcLen, int64_t& dstLen) {
    if (dst >= 0) return;
    const int64_t cut = static_cast<int64_t>(std::nearbyint(static_cast<double>(-dst) * srcLen / dstLen));
    src += cut;
    srcLen -= cut;
    dstLen += dst;
    dst = 0;
  };
  int64_t ySrc = YSrc, srcH = SrcHeight, dstH = DstHeight, yDst = YDst;
  int64_t xSrc = XSrc, srcW = SrcWidth, dstW = DstWidth, xDst = XDst;
  clip(yDst, ySrc, srcH, dstH);
  clip(xDst, xSrc, srcW, dstW);
  if (dstW < 1 || dstH < 1 || srcW < 1 || srcH < 1) return;

  int64_t scaleX = 0, scaleY = 0;
  StretchToCache(static_cast<int32_t>(dstW), static_cast<int32_t>(dstH), static_cast<int32_t>(xSrc),
                 static_cast<int32_t>(ySrc), static_cast<int32_t>(srcW), static_cast<int32_t>(srcH), scaleX, scaleY);

  // The whole shown image, not only the box.
  const int32_t bmpW = Bitmap->Width(), bmpH = Bitmap->Height();
  const int64_t r1 = std::max<int64_t>(-ySrc * kScaleOne / scaleY, 0);
  const int64_t r2 = std::min<int64_t>({(height_ - ySrc) * kScaleOne / scaleY + 1, dstH - 1, int64_t{bmpH} - 1});
  const int64_t c1 = std::max<int64_t>(-xSrc * kScaleOne / scaleX, 0);
  const int64_t c2 = std::min<int64_t>({(width_ - xSrc) * kScaleOne / scaleX + 1, dstW - 1, int64_t{bmpW} - 1});

  // The tint as a table per channel: Trunc(colour * a + (1 - a) * pixel), a = Opacity / 255.
  uint8_t tint[3][256];
  if (Opacity != -1) {
    const TIERGB c = TColorToRGB(Colour);
    const double a = Opacity / 255.0;
    const uint8_t channels[3] = {c.b, c.g, c.r};
    for (int k = 0; k < 3; ++k)
      for (int p = 0; p < 256; ++p)
        tint[k][p] = static_cast<uint8_t>(std::clamp(std::trunc(channels[k] * a + (1 - a) * p), 0.0, 255.0));
  }

  for (int64_t i = r1; i <= r2; ++i) {
    const int64_t y = yDst + i;
    if (y >= bmpH) break;
    uint8_t* row = Bitmap->ScanLine(static_cast<int32_t>(y));
    for (int64_t c = c1; c <= c2; ++c) {
      const int64_t x = xDst + c;
      if (x >= bmpW) break;
      if (CacheSelected(static_cast<int32_t>(c), static_cast<int32_t>(i))) continue;
      uint8_t* px = row + 3 * x;
      if (Opacity == -1) {
        // A checker of grey pixels.
        if (((i ^ c) & 1) == 0) px[0] = px[1] = px[2] = 97;
      } else {
        px[0] = tint[0][px[0]];
        px[1] = tint[1][px[1]];
        px[2] = tint[2][px[2]];
      }
    }
  }
}
