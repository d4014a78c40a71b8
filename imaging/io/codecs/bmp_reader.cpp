// BMP reading: headers into the parameter record, then the pixels.
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
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "platform/system/streams.h"

namespace {

constexpr uint32_t kBI_RGB = 0;
constexpr uint32_t kBI_RLE8 = 1;
constexpr uint32_t kBI_RLE4 = 2;
constexpr uint32_t kBI_BITFIELDS = 3;
constexpr uint32_t kBI_RLE24 = 4;  // in OS/2 2.x headers (Windows headers use 4 for embedded JPEG)
constexpr uint32_t kBI_ALPHABITFIELDS = 6;

// Run-length data codes at best a run of 255 pixels in two bytes (four in RLE24); the gate allows
// twice that, so that files whose rows end early with an end-of-line code still load.
constexpr int64_t kRLEPixelsPerByte = 256;
constexpr int64_t kRLE24PixelsPerByte = 128;

// What the headers said.
struct TBMPHeader {
  uint32_t headerSize = 0;
  bool os2v2 = false;  // an OS/2 2.x header: 16 to 64 bytes, not one of the Windows sizes
  int32_t width = 0;
  int32_t height = 0;
  bool topDown = false;
  int32_t bits = 0;
  uint32_t compression = 0;
  uint32_t imageSize = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool hasAlphaMask = false;
};

bool IsRLE(const TBMPHeader& h) {
  return h.compression == kBI_RLE8 || h.compression == kBI_RLE4 || (h.os2v2 && h.compression == kBI_RLE24);
}

bool Decodes(const TBMPHeader& h) {
  switch (h.bits) {
    case 1:
    case 2: return h.compression == kBI_RGB;
    case 4: return h.compression == kBI_RGB || h.compression == kBI_RLE4;
    case 8: return h.compression == kBI_RGB || h.compression == kBI_RLE8;
    case 24: return h.compression == kBI_RGB || (h.os2v2 && h.compression == kBI_RLE24);
    case 16:
    case 32:
      return h.compression == kBI_RGB || (!h.os2v2 && (h.compression == kBI_BITFIELDS ||
                                                       h.compression == kBI_ALPHABITFIELDS));
    default: return false;
  }
}

struct TRLEProgress {
  TIEProgressRecord* progress;
  int32_t height;
};

bool RLERowDone(void* context, int32_t rowsDone) {
  auto* p = static_cast<TRLEProgress*>(context);
  p->progress->Report(static_cast<int32_t>(static_cast<int64_t>(rowsDone) * 100 / p->height));
  return !p->progress->IsAborting();
}

// Reads Count colour-table entries of EntrySize bytes (3 or 4: blue, green, red, reserved).
bool ReadColorTable(TIEByteReader& r, int64_t count, int32_t entrySize, std::vector<TIERGB>& colorMap) {
  std::vector<uint8_t> raw;
  if (!r.ReadBytes(count * entrySize, raw)) return false;
  colorMap.resize(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i)
    colorMap[i] = TIERGB{raw[entrySize * i], raw[entrySize * i + 1], raw[entrySize * i + 2]};
  return true;
}

}  // namespace

void ReadBMPStream(TStream& Stream, TIEBitmap& Bitmap, int64_t BlockSize, TIOParamsVals& Params,
                   TIEProgressRecord& Progress, bool ParamsOnly, bool NoFileHeader,
                   std::unique_ptr<TIEMask>& AlphaMask, bool IgnoreAlpha) {
  AlphaMask.reset();
  TIEByteReader r(Stream);
  const int64_t start = r.Position();
  uint32_t fileSize = 0;
  uint32_t offset = 0;
  if (!NoFileHeader && !Params.IsResource) {
    uint8_t fh[14];
    if (!r.Read(fh, 14) || fh[0] != 'B' || fh[1] != 'M') {
      Progress.Abort();
      return;
    }
    fileSize = IEGetU32(fh + 2, false);
    offset = IEGetU32(fh + 10, false);
  } else {
    fileSize = static_cast<uint32_t>(std::min<int64_t>(r.Size(), UINT32_MAX));
  }
  if (fileSize != 0 && BlockSize < 1) BlockSize = fileSize;

  TBMPHeader h;
  h.headerSize = r.U32();
  if (r.Failed() || h.headerSize < 12) {
    Progress.Abort();
    return;
  }
  r.Seek(r.Position() - 4);
  Params.FreeColorMap();
  std::vector<TIERGB> colorMap;
  // The colour table ends where the pixels begin: a table the header makes longer than the room
  // before the pixel data is cut there, so that its entries never come from the pixels or past the
  // end of a small file.
  auto tableEntries = [&](int64_t count, int32_t entrySize) {
    const int64_t room = static_cast<int64_t>(offset) + start - r.Position();
    if (offset != 0 && room >= 0) count = std::min(count, room / entrySize);
    return count;
  };

  if (h.headerSize == 12) {
    uint8_t core[12];
    if (!r.Read(core, 12)) {
      Progress.Abort();
      return;
    }
    Params.BmpVersion = 2;
    h.width = IEGetU16(core + 4, false);
    h.height = IEGetU16(core + 6, false);
    h.bits = IEGetU16(core + 10, false);
    Params.SetDpiX(DefaultDPIX);
    Params.SetDpiY(DefaultDPIY);
    if (h.bits >= 1 && h.bits <= 8 && !ReadColorTable(r, tableEntries(int64_t{1} << h.bits, 3), 3, colorMap)) {
      Progress.Abort();
      return;
    }
  } else {
    uint8_t info[64] = {};
    const int64_t take = std::min<uint32_t>(h.headerSize, 64);
    if (!r.Read(info, take) || (h.headerSize > 64 && !r.Skip(h.headerSize - 64))) {
      Progress.Abort();
      return;
    }
    h.os2v2 = h.headerSize >= 16 && h.headerSize <= 64 && h.headerSize != 40 && h.headerSize != 52 &&
              h.headerSize != 56;
    Params.BmpVersion = h.headerSize == 64 ? 3 : (h.headerSize == 40 ? 1 : 0);
    const auto width = static_cast<int32_t>(IEGetU32(info + 4, false));
    const auto height = static_cast<int32_t>(IEGetU32(info + 8, false));
    if (width < 0 || height == INT32_MIN) {
      Progress.Abort();
      return;
    }
    h.width = width;
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    h.bits = IEGetU16(info + 14, false);
    h.compression = IEGetU32(info + 16, false);
    h.imageSize = IEGetU32(info + 20, false);
    const auto ppmX = static_cast<int32_t>(IEGetU32(info + 24, false));
    const auto ppmY = static_cast<int32_t>(IEGetU32(info + 28, false));
    const auto dpiX = static_cast<int32_t>(std::nearbyint(ppmX / 100.0 * 2.54));
    const auto dpiY = static_cast<int32_t>(std::nearbyint(ppmY / 100.0 * 2.54));
    Params.SetDpiX(dpiX != 0 ? dpiX : DefaultDPIX);
    Params.SetDpiY(dpiY != 0 ? dpiY : DefaultDPIY);
    uint32_t colorsUsed = IEGetU32(info + 32, false);
    if (colorsUsed > 256) colorsUsed = 0;
    if (colorsUsed == 0 && h.bits >= 1 && h.bits <= 8) colorsUsed = 1u << h.bits;
    // Colour masks: inside the header from the V2 header on (OS/2 headers have none), else right
    // after the header, before the colour table; the alpha mask with the V3 header on, or with
    // BI_ALPHABITFIELDS as a fourth mask.
    const bool alphaFields = h.compression == kBI_ALPHABITFIELDS;
    if (!h.os2v2 && (h.compression == kBI_BITFIELDS || alphaFields)) {
      const int32_t count = alphaFields ? 4 : 3;
      if (h.headerSize >= (alphaFields ? 56u : 52u)) {
        for (int i = 0; i < count; ++i) h.masks[i] = IEGetU32(info + 40 + 4 * i, false);
      } else {
        for (int i = 0; i < count; ++i) h.masks[i] = r.U32();
        if (r.Failed()) {
          Progress.Abort();
          return;
        }
      }
      if (h.headerSize >= 56) h.masks[3] = IEGetU32(info + 52, false);
      h.hasAlphaMask = alphaFields || h.headerSize >= 56;
    }
    if (colorsUsed > 0 && !ReadColorTable(r, tableEntries(colorsUsed, 4), 4, colorMap)) {
      Progress.Abort();
      return;
    }
  }
  Params.SetColorMap(colorMap.data(), static_cast<int32_t>(colorMap.size()));
  Params.ColorMapCount = static_cast<int32_t>(colorMap.size());
  Params.Width = Params.OriginalWidth = h.width;
  Params.Height = Params.OriginalHeight = h.height;
  Params.SetImageCount(1);
  if (h.compression == kBI_RGB || h.compression == kBI_BITFIELDS || h.compression == kBI_ALPHABITFIELDS)
    Params.BmpCompression = 0;
  else if (IsRLE(h))
    Params.BmpCompression = 1;
  switch (h.bits) {
    case 1:
    case 2:
    case 4:
    case 8: Params.BitsPerSample = h.bits; Params.SamplesPerPixel = 1; break;
    case 16: Params.BitsPerSample = 5; Params.SamplesPerPixel = 3; break;
    case 24: Params.BitsPerSample = 8; Params.SamplesPerPixel = 3; break;
    case 32: Params.BitsPerSample = 8; Params.SamplesPerPixel = 4; break;
    default: break;
  }

  if (offset != 0 && !r.Seek(start + offset)) {
    Progress.Abort();
    return;
  }
  if (h.width == 0 || h.height == 0 || ParamsOnly) return;
  if (!Decodes(h)) {
    Progress.Abort();
    return;
  }
  const int32_t width = h.width;
  const int32_t height = h.height;

  // The bytes that can hold the pixels: from here to the end of what the headers declare (the file
  // size of the file header or the image size of the info header, whichever reaches further; a
  // field that ends before the pixels start says nothing) or of the stream, whichever comes first.
  const int64_t dataStart = r.Position();
  int64_t declaredEnd = 0;
  if (BlockSize > 0 && start + BlockSize > dataStart) declaredEnd = start + BlockSize;
  if (h.imageSize > 0) declaredEnd = std::max<int64_t>(declaredEnd, dataStart + h.imageSize);
  const int64_t dataBytes = (declaredEnd > 0 ? std::min(r.Size(), declaredEnd) : r.Size()) - dataStart;

  // Every index finds a colour; a 1-bit file in black and white is a bilevel picture, with other
  // colours a palette picture like those of 2, 4 and 8 bits.
  const std::array<TIERGB, 256> palette =
      IndexColors(colorMap.data(), static_cast<int64_t>(colorMap.size()), h.bits);
  const TIEOneBitRule oneBit = h.bits == 1 ? OneBitRule(palette) : obrPalette;
  const bool blackWhite = oneBit != obrPalette;
  const bool indexed = h.bits <= 8 && !blackWhite;
  const TIEPixelFormat format = blackWhite ? ie1g : (indexed && Params.IsNativePixelFormat ? ie8p : ie24RGB);

  const bool rle = IsRLE(h);
  std::vector<uint8_t> rleData;
  if (rle) {
    // Bytes after the end-of-bitmap code hold no pixels.
    r.ReadBytes(std::max<int64_t>(dataBytes, 0), rleData);
    rleData.resize(static_cast<size_t>(RLEDataLength(rleData.data(), static_cast<int64_t>(rleData.size()), h.bits)));
  }
  const TIEImageData data =
      rle ? TIEImageData{.Bytes = static_cast<int64_t>(rleData.size()),
                         .BitsPerPixel = h.bits == 24 ? 24 : 8,
                         .MaxPixelsPerByte = h.bits == 24 ? kRLE24PixelsPerByte : kRLEPixelsPerByte}
          : TIEImageData{.Bytes = dataBytes, .BitsPerPixel = h.bits, .RowBytes = RowLength64(width, h.bits)};
  if (!IEImageSizePlausible(width, height, data) || !Bitmap.Allocate(width, height, format)) {
    Progress.Abort();
    return;
  }
  Progress.PerRow = 100.0 / height;

  if (format == ie8p) {
    for (int32_t i = 0; i < 256; ++i) Bitmap.SetPaletteColor(i, palette[i]);
    Bitmap.SetPaletteUsed(h.bits == 8 ? 256 : 1 << h.bits);
  }
  // Puts one row of indices (one per byte) into bitmap row Y.
  auto storeIndices = [&](const uint8_t* indices, int32_t y) {
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    if (format == ie8p) {
      std::memcpy(row, indices, static_cast<size_t>(width));
    } else {
      auto* dst = reinterpret_cast<TIERGB*>(row);
      for (int32_t x = 0; x < width; ++x) dst[x] = palette[indices[x]];
    }
  };

  if (rle) {
    const int32_t pixelBytes = h.bits == 24 ? 3 : 1;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * pixelBytes, 0);
    TRLEProgress context{&Progress, height};
    DecodeRLEBlock(rleData.data(), static_cast<int64_t>(rleData.size()), h.bits, width, height, h.topDown,
                   pixels.data(), RLERowDone, &context);
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* src = pixels.data() + static_cast<size_t>(y) * width * pixelBytes;
      if (pixelBytes == 3)
        std::memcpy(Bitmap.GetRow(y), src, static_cast<size_t>(width) * 3);
      else
        storeIndices(src, y);
    }
    return;
  }

  const int64_t rowBytes = RowLength64(width, h.bits);
  // The pixels of a row without its padding: a last row whose padding is missing still reads.
  const int64_t pixelBytes = RowLength64(width, h.bits, 8);
  std::vector<uint8_t> buffer(static_cast<size_t>(rowBytes));
  std::vector<uint8_t> indices(indexed ? static_cast<size_t>(width) : 0);

  // 16 and 32 bits: the masks of the file with bit fields, else 5-5-5 and 8-8-8. The alpha of a
  // 32-bit pixel is its fourth byte, or with colour masks the alpha mask (the bits no colour uses
  // when the header gives none); a 16-bit pixel has alpha only when the header gives an alpha mask.
  const bool fields = h.compression == kBI_BITFIELDS || h.compression == kBI_ALPHABITFIELDS;
  uint32_t masks[4] = {0x7C00, 0x03E0, 0x001F, 0};
  if (fields)
    std::copy_n(h.masks, 4, masks);
  else if (h.bits == 32)
    std::copy_n(std::array<uint32_t, 4>{0xFF0000, 0xFF00, 0xFF, 0xFF000000u}.data(), 4, masks);
  if (fields && h.bits == 32 && !h.hasAlphaMask) masks[3] = ~(masks[0] | masks[1] | masks[2]);
  const TIEBitFields bitFields(masks[0], masks[1], masks[2], masks[3]);
  const bool readAlpha = (h.bits == 16 || h.bits == 32) && !IgnoreAlpha && bitFields.HasAlpha();
  bool alphaAllZero = true;
  if (readAlpha) {
    AlphaMask = std::make_unique<TIEMask>();
    AlphaMask->Allocate(width, height, 8);
    AlphaMask->Fill(255);
  }

  for (int32_t i = 0; i < height; ++i) {
    Progress.Report(static_cast<int32_t>(static_cast<int64_t>(i) * 100 / height));
    if (Progress.IsAborting()) break;
    if (!r.Read(buffer.data(), std::min(rowBytes, std::max(r.Remaining(), pixelBytes)))) {
      // The data ends early: the rows read so far stay, the load fails.
      Progress.Abort();
      break;
    }
    const int32_t y = h.topDown ? i : height - 1 - i;
    const uint8_t* src = buffer.data();
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    switch (h.bits) {
      case 1:
        if (format == ie1g) {
          std::memcpy(row, src, static_cast<size_t>(std::min<int64_t>(rowBytes, Bitmap.RowLen())));
          break;
        }
        [[fallthrough]];
      case 2:
      case 4: {
        const int32_t bits = h.bits, perByte = 8 / bits, top = 8 - bits, keep = (1 << bits) - 1;
        for (int32_t x = 0; x < width; ++x)
          indices[x] = static_cast<uint8_t>(src[x / perByte] >> (top - (x % perByte) * bits) & keep);
        storeIndices(indices.data(), y);
        break;
      }
      case 8:
        storeIndices(src, y);
        break;
      case 24:
        std::memcpy(row, src, static_cast<size_t>(width) * 3);
        break;
      default: {  // 16 and 32
        uint8_t* alpha = readAlpha ? AlphaMask->GetRow(y) : nullptr;
        bitFields.UnpackRow(src, h.bits, width, row, alpha);
        if (alpha)
          for (int32_t x = 0; x < width && alphaAllZero; ++x) alphaAllZero = alpha[x] == 0;
        break;
      }
    }
  }
  if (oneBit == obrBilevelInverted) InvertBitmapRows(Bitmap);
  if (AlphaMask) {
    AlphaMask->CheckFull();
    if (alphaAllZero || AlphaMask->Full())
      AlphaMask.reset();
    else
      AlphaMask->RecalcBounds();
  }
}
