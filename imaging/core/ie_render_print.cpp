// TIEBitmap::RenderToCanvas and the two routines it prints with.
#include "imaging/core/ie_render_print.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_render_hooks.h"
#include "imaging/core/ie_trace_log.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/graphics.h"
#include "platform/system/memory.h"

namespace {

// The largest strip of the resampled picture sent to the device at once.
constexpr int64_t kMaxStripBytes = 41943040;

// A packed DIB freed when it goes out of scope.
struct TGlobalBlock {
  void* block;
  ~TGlobalBlock() { GlobalFree(block); }
};

// Every channel of an ie24RGB bitmap through t[i] = clamp(Round((i / 255)^(1 / Gamma) * 255)).
void GammaCorrect24(TIEBitmap& Bitmap, double Gamma) {
  uint8_t table[256];
  for (int32_t i = 0; i < 256; ++i)
    table[i] = static_cast<uint8_t>(std::clamp(std::nearbyint(std::pow(i / 255.0, 1 / Gamma) * 255), 0.0, 255.0));
  const size_t bytes = 3 * static_cast<size_t>(Bitmap.Width());
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    for (size_t i = 0; i < bytes; ++i) row[i] = table[row[i]];
  }
}

}  // namespace

void _DIBDrawTo(TCanvas& Canvas, void* DIB, int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight) {
  if (!DIB) return;
  const auto* block = static_cast<const uint8_t*>(GlobalLock(DIB));
  const size_t size = GlobalSize(DIB);
  BITMAPINFOHEADER h;
  if (size < sizeof h) {
    GlobalUnlock(DIB);
    return;
  }
  std::memcpy(&h, block, sizeof h);
  const int64_t bits = h.biBitCount;
  const int64_t table = bits <= 8 ? (int64_t{1} << bits) * 4 : 0;
  const int64_t rowLen = ((int64_t{h.biWidth} * bits + 31) / 32) * 4;
  const int64_t need = 40 + table + rowLen * std::abs(int64_t{h.biHeight});
  if (h.biSize == 40 && h.biCompression == BI_RGB && h.biWidth > 0 && h.biHeight != 0 &&
      (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
      need <= static_cast<int64_t>(size)) {
    HDC dc = Canvas.Handle();
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, DestX, DestY, DestWidth, DestHeight, SrcX, SrcY, SrcWidth, SrcHeight, block + 40 + table,
                  reinterpret_cast<const BITMAPINFO*>(block), DIB_RGB_COLORS, SRCCOPY);
  }
  GlobalUnlock(DIB);
}

void PrintPict(TCanvas& Canvas, int32_t X, int32_t Y, TIEBitmap& Bitmap, int32_t SrcX, int32_t SrcY, int32_t Width,
               int32_t Height) {
  WriteDebugLog("PrintPict: calling _CopyBitmaptoDIBEx");
  TGlobalBlock dib{IERenderHooks.CopyBitmapToDIB(Bitmap, SrcX, SrcY, SrcX + Width, SrcY + Height, 200, 200)};
  if (!dib.block) return;
  WriteDebugLog("PrintPict: calling _DIBDrawTo");
  _DIBDrawTo(Canvas, dib.block, 0, 0, Width, Height, X, Y, Width, Height);
  WriteDebugLog("PrintPict: calling GlobalFree");
}

void TIEBitmap::RenderToCanvas(TCanvas& Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                               TResampleFilter Filter, double Gamma) {
  WriteDebugLog("TIEBitmap.RenderToCanvas: begin");
  if (IsEmpty() || Width <= 0 || Height <= 0) {
    WriteDebugLog("TIEBitmap.RenderToCanvas: end");
    return;
  }
  if (!(Gamma > 0)) Gamma = 1;  // no correction for 0, a negative value or NaN
  TIERowAccessScope readOnly(*this, iraRead);
  if (Filter != rfNone) {
    const int64_t rowBytes = std::max<int64_t>(1, RowLength(Width, 24, RowAlignment()));
    int64_t strip = std::max<int64_t>(1, std::min<int64_t>(Height, (MemoryThreshold() / 4) / rowBytes));
    while (strip > 1 && strip * rowBytes > kMaxStripBytes) --strip;
    WriteDebugLog("TIEBitmap.RenderToCanvas: stripHeight=" + std::to_string(strip));
    WriteDebugLog("TIEBitmap.RenderToCanvas: allocating " + std::to_string(Width) + "x" + std::to_string(Height));
    const TIEPixelFormat format = PixelFormat();
    const bool projection = Filter == rfProjectBW || Filter == rfProjectWB;
    const TIEPixelFormat outFormat =
        format == ie1g ? (projection ? ie1g : ie24RGB) : (format == ie24RGB ? ie24RGB : format);
    TIEBitmap out(Width, Height, outFormat);
    if (out.IsEmpty()) {
      WriteDebugLog("TIEBitmap.RenderToCanvas: end");
      return;
    }
    if (format != ie1g && format != ie24RGB) {
      WriteDebugLog("TIEBitmap.RenderToCanvas: _IEBmpStretchEx");
      IERenderHooks.Stretch(*this, out);
    } else if (format == ie1g) {
      WriteDebugLog("TIEBitmap.RenderToCanvas: _Resample1BitEx");
      IERenderHooks.Resample1Bit(*this, out, Filter);
    } else {
      WriteDebugLog("TIEBitmap.RenderToCanvas: _ResampleEx");
      IERenderHooks.Resample(*this, out, Filter);
    }
    Canvas.SetCopyMode(cmSrcCopy);
    if (out.PixelFormat() == ie24RGB && Gamma != 1) {
      WriteDebugLog("TIEBitmap.RenderToCanvas: gamma");
      GammaCorrect24(out, Gamma);
    }
    for (int64_t y = 0; y < Height; y += strip) {
      const int32_t h = static_cast<int32_t>(std::min<int64_t>(Height - y, strip));
      WriteDebugLog("TIEBitmap.RenderToCanvas: PrintPict y=" + std::to_string(y));
      PrintPict(Canvas, X, static_cast<int32_t>(Y + y), out, 0, static_cast<int32_t>(y), Width, h);
    }
  } else {
    WriteDebugLog("TIEBitmap.RenderToCanvas: filter=none, gamma=1, gamma=0");
    TGlobalBlock dib{IERenderHooks.CopyBitmapToDIB(*this, 0, 0, 0, 0, 200, 200)};
    if (dib.block) {
      if (Gamma != 1) IERenderHooks.GammaCorrectDIB(dib.block, Gamma);
      WriteDebugLog("TIEBitmap.RenderToCanvas: calling _DIBDrawTo");
      _DIBDrawTo(Canvas, dib.block, 0, 0, this->Width(), this->Height(), X, Y, Width, Height);
    }
  }
  WriteDebugLog("TIEBitmap.RenderToCanvas: end");
}
