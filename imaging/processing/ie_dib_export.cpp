#include "imaging/processing/ie_dib_export.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_dibbitmap.h"
#include "imaging/core/ie_drawdib.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_trace_log.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_dib_import.h"
#include "imaging/processing/ie_few_colors.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/packed_dib.h"
#include "platform/system/memory.h"

namespace {

// The header is followed by this many spare bytes after the rows (the size the block's callers expect).
constexpr int64_t kHeaderAndSpare = 44;

// The DIB of the clipped rectangle of a bitmap in one of the four formats a DIB holds directly.
void* PackedDIB(TIEBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DpiX, int32_t DpiY) {
  const TIEPixelFormat format = Bitmap.PixelFormat();
  const int32_t width = X2 - X1, height = Y2 - Y1;
  const int32_t bitCount = format == ie1g ? 1 : (format == ie24RGB ? 24 : 8);
  const int64_t rowLen = RowLength64(width, bitCount);
  const int64_t tableBytes = format == ie1g ? 8 : (format == ie24RGB ? 0 : 1024);
  const int64_t size = kHeaderAndSpare + tableBytes + rowLen * height;
  WriteDebugLog("_CopyBitmaptoDIBEx: allocate " + std::to_string(size) + " bytes");
  auto* block = static_cast<uint8_t*>(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<size_t>(size)));
  if (!block) return nullptr;

  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bitCount);
  h.biCompression = BI_RGB;
  h.biXPelsPerMeter = static_cast<int32_t>(std::trunc(DpiX * 39.3700787));
  h.biYPelsPerMeter = static_cast<int32_t>(std::trunc(DpiY * 39.3700787));
  std::memcpy(block, &h, sizeof h);

  uint8_t* table = block + 40;
  if (format == ie1g) {
    // Black, then white with its reserved byte set.
    std::memset(table + 4, 0xFF, 4);
  } else if (format == ie8p) {
    const TIERGB* palette = Bitmap.GetPaletteBuffer();
    const int32_t entries = palette ? std::min(Bitmap.GetPaletteLength(), 256) : 0;
    for (int32_t i = 0; i < entries; ++i) {
      table[4 * i] = palette[i].b;
      table[4 * i + 1] = palette[i].g;
      table[4 * i + 2] = palette[i].r;
    }
  } else if (format == ie8g) {
    for (int32_t i = 0; i < 256; ++i) table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = static_cast<uint8_t>(i);
  }

  uint8_t* bits = table + tableBytes;
  const int32_t srcRowLen = Bitmap.RowLen();
  TIERowAccessScope readOnly(Bitmap, iraRead);
  if (format == ie1g) {
    WriteDebugLog("_CopyBitmaptoDIBEx: ie1g");
  } else if (format == ie24RGB) {
    WriteDebugLog("_CopyBitmaptoDIBEx: ie24RGB");
  } else {
    WriteDebugLog("_CopyBitmaptoDIBEx: ie8g or ie8p");
  }
  // The rectangle's last row first.
  for (int32_t y = Y2 - 1; y >= Y1; --y, bits += rowLen) {
    const auto* src = static_cast<const uint8_t*>(Bitmap.GetRow(y));
    if (format == ie1g)
      CopyBitRun(bits, src, 0, X1, width, srcRowLen);
    else if (format == ie24RGB)
      std::memcpy(bits, src + 3 * static_cast<int64_t>(X1), 3 * static_cast<size_t>(width));
    else
      std::memcpy(bits, src + X1, static_cast<size_t>(width));
  }
  return block;
}

}  // namespace

void* _CopyBitmaptoDIBEx(TIEBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DpiX,
                         int32_t DpiY) {
  WriteDebugLog("_CopyBitmaptoDIBEx: begin");
  if (Bitmap.IsEmpty()) return nullptr;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  if (X2 == 0) X2 = w;
  if (Y2 == 0) Y2 = h;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, w);
  Y2 = std::min(Y2, h);
  if (X2 <= X1 || Y2 <= Y1) return nullptr;
  const TIEPixelFormat format = Bitmap.PixelFormat();
  if (format == ie1g || format == ie8p || format == ie8g || format == ie24RGB)
    return PackedDIB(Bitmap, X1, Y1, X2, Y2, DpiX, DpiY);

  WriteDebugLog("_CopyBitmaptoDIBEx: not supported pixel format, converting to 24bit and recurse");
  // Only the rectangle is converted.
  TIEBitmap part;
  if (!part.Allocate(X2 - X1, Y2 - Y1, format)) return nullptr;
  Bitmap.CopyPaletteTo(&part);
  Bitmap.CopyRectTo(part, X1, Y1, 0, 0, X2 - X1, Y2 - Y1);
  part.SetPixelFormat(ie24RGB);
  if (part.IsEmpty() || part.PixelFormat() != ie24RGB) return nullptr;
  return _CopyBitmaptoDIBEx(part, 0, 0, 0, 0, DpiX, DpiY);
}

void* SelectionToDIB(TIEBitmap& Bitmap, TIEMask& Mask, TColor Background, int32_t DpiX, int32_t DpiY) {
  if (Mask.IsEmpty() || Bitmap.IsEmpty()) return nullptr;
  const int32_t x1 = Mask.X1(), y1 = Mask.Y1();
  const int32_t width = Mask.X2() - x1 + 1, height = Mask.Y2() - y1 + 1;
  TIEBitmap box;
  if (width <= 0 || height <= 0 || !box.Allocate(width, height, Bitmap.PixelFormat())) return nullptr;
  Bitmap.CopyPaletteTo(&box);
  box.Fill(ColorToFillValue(box, Background));
  Mask.MaskedCopy(box, Bitmap, true, false, false);
  return _CopyBitmaptoDIBEx(box, 0, 0, 0, 0, DpiX, DpiY);
}

int32_t DIBToDibbitmap(const void* DIB, TIEDibbitmap& Dest, const void* Bits, bool IsPointer, int64_t DIBSize,
                       int64_t BitsSize) {
  if (!DIB) return 0;
  const TIELockedBlock block(DIB, IsPointer, DIBSize);
  const BITMAPINFO* info = nullptr;
  const void* bits = Bits;
  if (Bits) {
    if (BitsSize <= 0 || !ParseSplitDIB(block.Data(), static_cast<size_t>(block.Size()), Bits, static_cast<size_t>(BitsSize), &info)) return 0;
  } else if (!ParsePackedDIB(block.Data(), static_cast<size_t>(block.Size()), &info, &bits)) {
    return 0;
  }
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int32_t width = h.biWidth, height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (!Dest.AllocateBits(width, height, h.biBitCount == 1 ? 1 : 24)) return 0;
  HDRAWDIB context = IEDrawDibOpen();
  if (!context) return 0;
  const bool ok = IEDrawDibDraw(context, Dest.DC(), 0, 0, width, height, &h, bits, 0, 0, width, height, 0);
  IEDrawDibClose(context);
  return ok ? h.biBitCount : 0;
}

TBitmap* DuplicateTBitmap(TBitmap& Source) {
  auto copy = std::make_unique<TBitmap>();
  CopyTBitmapPixels(Source, *copy);
  return copy.release();
}

void CopyTBitmapPixels(TBitmap& Source, TBitmap& Dest) {
  if (&Source == &Dest) return;
  // A device bitmap shows its rows as a DIB first, so that its format is the rows' one.
  if (!Source.Empty()) Source.ScanLine(0);
  const TPixelFormat format = Source.PixelFormat();
  Dest.SetPixelFormat(format);
  if (Source.Empty()) {
    Dest.SetSize(1, 1);
    return;
  }
  const int32_t width = Source.Width(), height = Source.Height();
  Dest.SetSize(width, height);
  const std::vector<RGBQUAD> table = Source.ColorTable();
  if (!table.empty()) Dest.SetColorTable(table.data(), static_cast<int32_t>(table.size()));
  const size_t rowBytes = static_cast<size_t>(std::min(Source.RowBytes(), Dest.RowBytes()));
  for (int32_t y = 0; y < height; ++y) std::memcpy(Dest.ScanLine(y), Source.ScanLine(y), rowBytes);
}

int64_t PackedDIBSize(const void* DIB) {
  const auto& h = *static_cast<const BITMAPINFOHEADER*>(DIB);
  const int64_t entries = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : int64_t{1} << h.biBitCount) :
                          h.biCompression == BI_BITFIELDS ? 3 : 0;
  const int64_t rows = int64_t{RowLength(h.biWidth, h.biBitCount, 32)} * std::abs(int64_t{h.biHeight});
  return h.biSize + 4 * entries + rows;
}
