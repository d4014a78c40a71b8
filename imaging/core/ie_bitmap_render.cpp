// TIEBitmap: drawing a bitmap of any format scaled into a rectangle of a 24-bit bitmap, nearest
// pixel, with opacity and the alpha channel.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_convert_rows.h"
#include "platform/gdi/bitmap.h"

void TIEBitmap::RenderToTIEBitmap(TIEBitmap& Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                                  int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity,
                                  TResampleFilter, uint8_t) {
  if (&Dest == this || IsEmpty() || Dest.IsEmpty() || Dest.PixelFormat() != ie24RGB || Dest.Location() == ieFile)
    return;
  if (PixelFormat() == ie8p && GetPaletteLength() == 0) return;
  const int32_t dw = Dest.Width(), dh = Dest.Height(), sw = Width(), sh = Height();
  if (DstWidth <= 0 || DstHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0 || DstX >= dw || DstY >= dh) return;
  // The ratios, then the parts before Dest's first and past its last row and column are cut from
  // both rectangles.
  const double ry = static_cast<double>(SrcHeight) / DstHeight, rx = static_cast<double>(SrcWidth) / DstWidth;
  int64_t dx = DstX, dy = DstY, dwid = DstWidth, dhei = DstHeight, sx = SrcX, sy = SrcY, swid = SrcWidth,
          shei = SrcHeight;
  if (dy < 0) {
    const int64_t k = std::llround(std::nearbyint(-dy * ry));
    dhei += dy;
    shei -= k;
    sy += k;
    dy = 0;
  }
  if (dx < 0) {
    const int64_t k = std::llround(std::nearbyint(-dx * rx));
    dwid += dx;
    swid -= k;
    sx += k;
    dx = 0;
  }
  if (dy + dhei > dh) {
    shei -= static_cast<int64_t>((dy + dhei - dh) * ry);
    dhei = dh - dy;
  }
  if (dx + dwid > dw) {
    swid -= static_cast<int64_t>((dx + dwid - dw) * rx);
    dwid = dw - dx;
  }
  dx = std::clamp<int64_t>(dx, 0, dw - 1);
  dy = std::clamp<int64_t>(dy, 0, dh - 1);
  dwid = std::clamp<int64_t>(dwid, 0, dw);
  dhei = std::clamp<int64_t>(dhei, 0, dh);
  sx = std::clamp<int64_t>(sx, 0, sw - 1);
  sy = std::clamp<int64_t>(sy, 0, sh - 1);
  swid = std::clamp<int64_t>(swid, 0, sw);
  shei = std::clamp<int64_t>(shei, 0, sh);
  if (dwid == 0 || dhei == 0 || swid == 0 || shei == 0) return;
  const double fx = static_cast<double>(swid) / dwid, fy = static_cast<double>(shei) / dhei;
  const int64_t lastX = std::min<int64_t>(dx + dwid - 1, dw - 1), lastY = std::min<int64_t>(dy + dhei - 1, dh - 1);
  try {
    // Source column and row of every drawn destination column and row, held inside the source.
    std::vector<int32_t> columns(static_cast<size_t>(lastX - dx + 1));
    for (int64_t x = dx; x <= lastX; ++x)
      columns[x - dx] = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>((x - dx) * fx + sx), 0, sw - 1));
    TIEBitmap* alpha = HasAlphaChannel() && !GetAlphaChannel()->Full() ? GetAlphaChannel() : nullptr;
    const bool blend = Opacity < 255 || alpha;
    const int32_t opacity = std::clamp(Opacity, 0, 255);
    TIERowReader reader(*this, ie24RGB);
    std::vector<uint8_t> alphaRow(alpha ? static_cast<size_t>(sw) : 0);
    for (int64_t y = dy; y <= lastY; ++y) {
      const int32_t row = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>((y - dy) * fy + sy), 0, sh - 1));
      const uint8_t* src = reader.Read(row);
      if (alpha) std::memcpy(alphaRow.data(), alpha->GetRow(row), alphaRow.size());
      uint8_t* out = static_cast<uint8_t*>(Dest.GetRow(static_cast<int32_t>(y))) + dx * 3;
      for (size_t i = 0; i < columns.size(); ++i, out += 3) {
        const uint8_t* p = src + static_cast<size_t>(columns[i]) * 3;
        if (!blend) {
          out[0] = p[0];
          out[1] = p[1];
          out[2] = p[2];
          continue;
        }
        const int32_t a = alpha ? std::min<int32_t>(opacity, alphaRow[columns[i]]) : opacity;
        for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(out[c] + ((a * (p[c] - out[c])) >> 8));
      }
    }
  } catch (...) {
    // Drawing ends where it failed; the caller sees no error.
  }
}

void TIEBitmap::RenderToTBitmap(TBitmap* Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                                int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity,
                                TResampleFilter Filter, uint8_t BlendOp) {
  if (!Dest || Dest->Empty() || Dest->PixelFormat() != pf24bit) return;
  try {
    TIEBitmap wrapped;
    wrapped.WrapTBitmap(Dest, false);
    RenderToTIEBitmap(wrapped, DstX, DstY, DstWidth, DstHeight, SrcX, SrcY, SrcWidth, SrcHeight, Opacity, Filter,
                      BlendOp);
  } catch (...) {
  }
}
