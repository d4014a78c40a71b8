#include "imaging/processing/ie_dib_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bit_fields.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_dib_colors.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_yuv.h"
#include "platform/gdi/gdi.h"
#include "platform/system/memory.h"

namespace {

// Reads the header; false when the block cannot hold it, biSize is below 40 or past the block, or
// the picture has no pixels.
bool ReadHeader(const uint8_t* data, int64_t size, BITMAPINFOHEADER& h) {
  if (!data || size < static_cast<int64_t>(sizeof h)) return false;
  std::memcpy(&h, data, sizeof h);
  return h.biSize >= sizeof h && h.biSize <= size && h.biWidth > 0 && h.biHeight != 0 && h.biHeight != INT32_MIN;
}

bool IsRGBDepth(uint16_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Where the pixels are: Bits when given, else from Offset in the DIB's block.
struct TPixels {
  const uint8_t* data = nullptr;
  int64_t bytes = 0;
};

bool LocatePixels(const TIELockedBlock& block, int64_t offset, const void* Bits, int64_t BitsSize, TPixels& p) {
  if (Bits) {
    if (BitsSize <= 0) return false;
    p = {static_cast<const uint8_t*>(Bits), BitsSize};
    return true;
  }
  if (offset > block.Size()) return false;
  p = {block.Data() + offset, block.Size() - offset};
  return true;
}

uint16_t ImportYUV(const TIELockedBlock& block, const BITMAPINFOHEADER& h, TIEBitmap& Bitmap, const void* Bits,
                   int64_t BitsSize) {
  const TIEYUVConverter convert = YUVConverterFor(h.biCompression);
  // The layout decides how the frame is stored; a bit count of 0 would read as a failure.
  if (!convert || h.biBitCount == 0) return 0;
  const int32_t height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (h.biClrUsed > block.Size() / 4) return 0;
  TPixels pixels;
  if (!LocatePixels(block, static_cast<int64_t>(h.biSize) + 4 * static_cast<int64_t>(h.biClrUsed), Bits, BitsSize,
                    pixels))
    return 0;
  const int64_t frame = YUVFrameSize(h.biCompression, h.biWidth, height);
  if (frame < 0 || frame > pixels.bytes) return 0;
  // Every layout stores at least a byte per pixel; the frame's bytes are all there.
  if (!IEImageSizePlausible(h.biWidth, height, TIEImageData{.Bytes = frame, .BitsPerPixel = 8, .Whole = true}))
    return 0;
  if (!Bitmap.Allocate(h.biWidth, height, ie24RGB)) return 0;
  convert(pixels.data, Bitmap, YUVTopDown(h.biCompression, h.biHeight));
  return h.biBitCount;
}

uint16_t ImportRGB(const TIELockedBlock& block, const BITMAPINFOHEADER& h, TIEBitmap& Bitmap, const void* Bits,
                   int64_t BitsSize) {
  const int32_t bits = h.biBitCount;
  const bool fields = h.biCompression == BI_BITFIELDS;
  if (!IsRGBDepth(h.biBitCount) || (fields && bits != 16 && bits != 32)) return 0;
  const int32_t width = h.biWidth;
  const int32_t height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const bool topDown = h.biHeight < 0;

  // Masks: inside headers of 52 bytes and more, else the 12 bytes after the header.
  int64_t offset = h.biSize;
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (bits == 32) std::copy_n(std::array<uint32_t, 3>{0xFF0000, 0xFF00, 0xFF}.data(), 3, masks);
  if (fields) {
    const uint8_t* at = block.Data() + 40;
    if (h.biSize < 52) {
      if (offset + 12 > block.Size()) return 0;
      at = block.Data() + offset;
      offset += 12;
    }
    for (int i = 0; i < 3; ++i) masks[i] = IEGetU32(at + 4 * i, false);
  }
  // The colour table: biClrUsed entries, or the full table of a palette picture when 0.
  int64_t entries = h.biClrUsed;
  if (bits <= 8) {
    if (entries > (int64_t{1} << bits)) return 0;
    if (entries == 0) entries = int64_t{1} << bits;
  }
  if (entries > (block.Size() - offset) / 4) return 0;
  std::vector<TIERGB> table(static_cast<size_t>(bits <= 8 ? entries : 0));
  for (size_t i = 0; i < table.size(); ++i) {
    const uint8_t* e = block.Data() + offset + 4 * static_cast<int64_t>(i);
    table[i] = TIERGB{e[0], e[1], e[2]};
  }
  offset += 4 * entries;

  TPixels pixels;
  if (!LocatePixels(block, offset, Bits, BitsSize, pixels)) return 0;
  const int64_t rowBytes = RowLength64(width, bits);
  if (rowBytes <= 0 || rowBytes > pixels.bytes / height) return 0;
  if (!IEImageSizePlausible(width, height,
                            TIEImageData{.Bytes = pixels.bytes, .BitsPerPixel = bits, .RowBytes = rowBytes, .Whole = true}))
    return 0;

  const std::array<TIERGB, 256> colors = IndexColors(table.data(), static_cast<int64_t>(table.size()), bits);
  const TIEOneBitRule oneBit = bits == 1 ? OneBitRule(colors) : obrPalette;
  const TIEPixelFormat format = bits == 1 && oneBit != obrPalette ? ie1g : ie24RGB;
  if (!Bitmap.Allocate(width, height, format)) return 0;

  const TIEBitFields bitFields(masks[0], masks[1], masks[2]);
  for (int32_t i = 0; i < height; ++i) {
    const uint8_t* src = pixels.data + rowBytes * i;
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(topDown ? i : height - 1 - i));
    auto* rgb = reinterpret_cast<TIERGB*>(row);
    switch (bits) {
      case 1:
        if (format == ie1g) {
          std::memcpy(row, src, static_cast<size_t>(std::min<int64_t>(rowBytes, Bitmap.RowLen())));
        } else {
          for (int32_t x = 0; x < width; ++x) rgb[x] = colors[(src[x >> 3] >> (7 - (x & 7))) & 1];
        }
        break;
      case 4:
        for (int32_t x = 0; x < width; ++x) rgb[x] = colors[(x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4];
        break;
      case 8:
        for (int32_t x = 0; x < width; ++x) rgb[x] = colors[src[x]];
        break;
      case 24:
        std::memcpy(row, src, static_cast<size_t>(width) * 3);
        break;
      default:  // 16 and 32
        if (bits == 32 && !fields) {
          for (int32_t x = 0; x < width; ++x) rgb[x] = TIERGB{src[4 * x], src[4 * x + 1], src[4 * x + 2]};
        } else {
          bitFields.UnpackRow(src, bits, width, row, nullptr);
        }
        break;
    }
  }
  if (oneBit == obrBilevelInverted) InvertBitmapRows(Bitmap);
  return h.biBitCount;
}

}  // namespace

uint16_t DibToIEBitmap(const void* DIB, TIEBitmap& Bitmap, const void* Bits, bool IsPointer, int64_t DIBSize,
                       int64_t BitsSize) {
  if (!DIB) return 0;
  const TIELockedBlock block(DIB, IsPointer, DIBSize);
  BITMAPINFOHEADER h;
  if (!ReadHeader(block.Data(), block.Size(), h)) return 0;
  if (h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS) return ImportRGB(block, h, Bitmap, Bits, BitsSize);
  return ImportYUV(block, h, Bitmap, Bits, BitsSize);
}

void GammaCorrectDIB(void* DIB, double Gamma) {
  if (!DIB) return;
  void* data = GlobalLock(DIB);
  GammaCorrectDIB(data, static_cast<int64_t>(GlobalSize(DIB)), Gamma);
  GlobalUnlock(DIB);
}

void GammaCorrectDIB(void* DIB, int64_t Size, double Gamma) {
  if (!(Gamma > 0)) return;
  auto* data = static_cast<uint8_t*>(DIB);
  BITMAPINFOHEADER h;
  if (!ReadHeader(data, Size, h) || h.biBitCount != 24 || h.biCompression != BI_RGB) return;
  const int64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (h.biClrUsed > (Size - h.biSize) / 4) return;
  const int64_t offset = h.biSize + 4 * static_cast<int64_t>(h.biClrUsed);
  const int64_t rowBytes = RowLength64(h.biWidth, 24);
  if (rowBytes > (Size - offset) / height) return;
  uint8_t table[256];
  for (int i = 0; i < 256; ++i)
    table[i] = static_cast<uint8_t>(std::clamp(std::nearbyint(255 * std::pow(i / 255.0, 1 / Gamma)), 0.0, 255.0));
  for (int64_t y = 0; y < height; ++y) {
    uint8_t* row = data + offset + rowBytes * y;
    for (int64_t x = 0; x < 3 * static_cast<int64_t>(h.biWidth); ++x) row[x] = table[row[x]];
  }
}
