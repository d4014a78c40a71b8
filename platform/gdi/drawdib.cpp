#include "platform/gdi/drawdib.h"

#include "platform/gdi/gdi_internal.h"

struct HDRAWDIB__ {
  int32_t unused = 0;
};

HDRAWDIB DrawDibOpen() { return new (std::nothrow) HDRAWDIB__; }

bool DrawDibClose(HDRAWDIB hdd) {
  if (!hdd) return false;
  delete hdd;
  return true;
}

bool DrawDibDraw(HDRAWDIB hdd, HDC dc, int32_t xDst, int32_t yDst, int32_t dxDst, int32_t dyDst,
                 const BITMAPINFOHEADER* header, const void* bits, int32_t xSrc, int32_t ySrc, int32_t dxSrc,
                 int32_t dySrc, uint32_t flags) {
  if (!hdd || !dc || !header) return false;
  if (header->biCompression != BI_RGB && header->biCompression != BI_BITFIELDS) return false;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(header);
  if (!bits)
    bits = reinterpret_cast<const uint8_t*>(header) + header->biSize + 4 * static_cast<size_t>(DibColorTableSize(*header));
  if (dxDst == -1) dxDst = dxSrc;
  if (dyDst == -1) dyDst = dySrc;
  if (dxDst <= 0 || dyDst <= 0 || dxSrc <= 0 || dySrc <= 0) return false;
  // DrawDib counts source rows from the top; StretchDIBits from the bottom of a bottom-up DIB.
  const int64_t height = header->biHeight < 0 ? -static_cast<int64_t>(header->biHeight) : header->biHeight;
  const auto sy = static_cast<int32_t>(header->biHeight > 0 ? height - ySrc - dySrc : ySrc);
  const int32_t oldMode = (flags & DDF_HALFTONE) ? SetStretchBltMode(dc, HALFTONE) : 0;
  const int32_t lines =
      StretchDIBits(dc, xDst, yDst, dxDst, dyDst, xSrc, sy, dxSrc, dySrc, bits, info, DIB_RGB_COLORS, SRCCOPY);
  if (oldMode) SetStretchBltMode(dc, oldMode);
  return lines != 0;
}

uint32_t DrawDibRealize(HDRAWDIB, HDC, bool) { return 0; }
