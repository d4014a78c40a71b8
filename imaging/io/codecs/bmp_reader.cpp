// BMP reading: headers into the parameter record, then the pixels.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/image_size_gate.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "platform/system/streams.h"

namespace {

constexpr uint32_t kBI_RGB = 0;
constexpr uint32_t kBI_RLE8 = 1;
constexpr uint32_t kBI_RLE4 = 2;
constexpr uint32_t kBI_BITFIELDS = 3;

// Uncompressed data holds at least one byte per 8 pixels; run-length data at best about 127 pixels
// per byte (a run of 255 in two bytes), allowed twice that so that no valid file is refused.
constexpr int64_t kRawPixelsPerByte = 8;
constexpr int64_t kRLEPixelsPerByte = 256;

// One colour channel of a bit-field mask: its lowest bit and its width, widened or narrowed to 8 bits.
struct TMaskField {
  uint32_t mask = 0;
  int32_t shift = 0;
  int32_t width = 0;

  explicit TMaskField(uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    width = BitFieldWidth(m);
  }
  uint8_t Get(uint32_t pixel) const {
    if (width == 0) return 0;
    const uint64_t v = (static_cast<uint64_t>(pixel & mask) >> shift) & ((uint64_t{1} << width) - 1);
    return static_cast<uint8_t>(width >= 8 ? v >> (width - 8) : v << (8 - width));
  }
};

// What the headers said.
struct TBMPHeader {
  uint32_t headerSize = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool topDown = false;
  int32_t bits = 0;
  uint32_t compression = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool hasAlphaMask = false;
};

bool Decodes(int32_t bits, uint32_t compression) {
  switch (bits) {
    case 1:
    case 24: return compression == kBI_RGB;
    case 4: return compression == kBI_RGB || compression == kBI_RLE4;
    case 8: return compression == kBI_RGB || compression == kBI_RLE8;
    case 16:
    case 32: return compression == kBI_RGB || compression == kBI_BITFIELDS;
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
    if (h.bits >= 1 && h.bits <= 8) {
      const int32_t count = 1 << h.bits;
      std::vector<uint8_t> raw;
      if (!r.ReadBytes(count * 3, raw)) {
        Progress.Abort();
        return;
      }
      colorMap.resize(static_cast<size_t>(count));
      for (int32_t i = 0; i < count; ++i) colorMap[i] = TIERGB{raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]};
    }
  } else {
    uint8_t info[64] = {};
    const int64_t take = std::min<uint32_t>(h.headerSize, 64);
    if (!r.Read(info, take) || (h.headerSize > 64 && !r.Skip(h.headerSize - 64))) {
      Progress.Abort();
      return;
    }
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
    const auto ppmX = static_cast<int32_t>(IEGetU32(info + 24, false));
    const auto ppmY = static_cast<int32_t>(IEGetU32(info + 28, false));
    const auto dpiX = static_cast<int32_t>(std::nearbyint(ppmX / 100.0 * 2.54));
    const auto dpiY = static_cast<int32_t>(std::nearbyint(ppmY / 100.0 * 2.54));
    Params.SetDpiX(dpiX != 0 ? dpiX : DefaultDPIX);
    Params.SetDpiY(dpiY != 0 ? dpiY : DefaultDPIY);
    uint32_t colorsUsed = IEGetU32(info + 32, false);
    if (colorsUsed > 256) colorsUsed = 0;
    if (colorsUsed == 0 && h.bits >= 1 && h.bits <= 8) colorsUsed = 1u << h.bits;
    // Colour masks: inside the header from the V2 header on (the 64-byte OS/2 header has none),
    // else right after the header, before the colour table.
    if (h.compression == kBI_BITFIELDS) {
      if (h.headerSize >= 52 && h.headerSize != 64) {
        for (int i = 0; i < 3; ++i) h.masks[i] = IEGetU32(info + 40 + 4 * i, false);
        if (h.headerSize >= 56) {
          h.masks[3] = IEGetU32(info + 52, false);
          h.hasAlphaMask = true;
        }
      } else {
        for (int i = 0; i < 3; ++i) h.masks[i] = r.U32();
        if (r.Failed()) {
          Progress.Abort();
          return;
        }
      }
    }
    if (colorsUsed > 0) {
      std::vector<uint8_t> raw;
      if (!r.ReadBytes(colorsUsed * 4, raw)) {
        Progress.Abort();
        return;
      }
      colorMap.resize(colorsUsed);
      for (uint32_t i = 0; i < colorsUsed; ++i) colorMap[i] = TIERGB{raw[4 * i], raw[4 * i + 1], raw[4 * i + 2]};
    }
  }
  Params.SetColorMap(colorMap.data(), static_cast<int32_t>(colorMap.size()));
  Params.ColorMapCount = static_cast<int32_t>(colorMap.size());
  Params.Width = Params.OriginalWidth = h.width;
  Params.Height = Params.OriginalHeight = h.height;
  Params.SetImageCount(1);
  if (h.compression == kBI_RGB || h.compression == kBI_BITFIELDS)
    Params.BmpCompression = 0;
  else if (h.compression == kBI_RLE8 || h.compression == kBI_RLE4)
    Params.BmpCompression = 1;
  switch (h.bits) {
    case 1: Params.BitsPerSample = 1; Params.SamplesPerPixel = 1; break;
    case 4: Params.BitsPerSample = 4; Params.SamplesPerPixel = 1; break;
    case 8: Params.BitsPerSample = 8; Params.SamplesPerPixel = 1; break;
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
  if (!Decodes(h.bits, h.compression)) {
    Progress.Abort();
    return;
  }
  const bool rle = h.compression == kBI_RLE8 || h.compression == kBI_RLE4;
  if (!IEImageSizePlausible(h.width, h.height, h.bits, r.Remaining(), rle ? kRLEPixelsPerByte : kRawPixelsPerByte)) {
    Progress.Abort();
    return;
  }
  const bool indexed = h.bits == 4 || h.bits == 8;
  const TIEPixelFormat format = h.bits == 1 ? ie1g : (indexed && Params.IsNativePixelFormat ? ie8p : ie24RGB);
  if (!Bitmap.Allocate(h.width, h.height, format)) {
    Progress.Abort();
    return;
  }
  const int32_t width = h.width;
  const int32_t height = h.height;
  Progress.PerRow = 100.0 / height;

  // Every index finds a colour: entries past the file's table are black.
  std::array<TIERGB, 256> palette{};
  std::copy_n(colorMap.begin(), std::min<size_t>(colorMap.size(), 256), palette.begin());
  if (format == ie8p) {
    for (int32_t i = 0; i < 256; ++i) Bitmap.SetPaletteColor(i, palette[i]);
    Bitmap.SetPaletteUsed(h.bits == 4 ? 16 : 256);
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
    int64_t available = r.Remaining();
    if (BlockSize > 0) available = std::min(available, std::max<int64_t>(BlockSize - (r.Position() - start), 0));
    std::vector<uint8_t> data;
    r.ReadBytes(available, data);
    std::vector<uint8_t> indices(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    TRLEProgress context{&Progress, height};
    DecodeRLEBlock(data.data(), static_cast<int64_t>(data.size()), h.bits, width, height, h.topDown,
                   indices.data(), RLERowDone, &context);
    for (int32_t y = 0; y < height; ++y) storeIndices(indices.data() + static_cast<size_t>(y) * width, y);
    return;
  }

  const int64_t rowBytes = RowLength64(width, h.bits);
  std::vector<uint8_t> buffer(static_cast<size_t>(rowBytes));
  std::vector<uint8_t> indices(indexed ? static_cast<size_t>(width) : 0);
  uint32_t defaultMasks[3] = {0x7C00, 0x03E0, 0x001F};
  if (h.bits == 32) {
    defaultMasks[0] = 0xFF0000;
    defaultMasks[1] = 0xFF00;
    defaultMasks[2] = 0xFF;
  }
  const bool useMasks = h.compression == kBI_BITFIELDS || h.bits == 16;
  const uint32_t* masks = h.compression == kBI_BITFIELDS ? h.masks : defaultMasks;
  const TMaskField red(masks[0]), green(masks[1]), blue(masks[2]);
  // The alpha of a 32-bit pixel: its fourth byte, or with colour masks the alpha mask (the bits no
  // colour uses when the header gives none).
  const TMaskField alphaField(h.compression == kBI_BITFIELDS
                                  ? (h.hasAlphaMask ? h.masks[3] : ~(masks[0] | masks[1] | masks[2]))
                                  : 0xFF000000u);
  const bool readAlpha = h.bits == 32 && !IgnoreAlpha && alphaField.width > 0;
  bool alphaAllZero = true;
  if (readAlpha) {
    AlphaMask = std::make_unique<TIEMask>();
    AlphaMask->Allocate(width, height, 8);
    AlphaMask->Fill(255);
  }

  for (int32_t i = 0; i < height; ++i) {
    Progress.Report(static_cast<int32_t>(static_cast<int64_t>(i) * 100 / height));
    if (Progress.IsAborting()) break;
    if (!r.Read(buffer.data(), rowBytes)) {
      // The data ends early: the rows read so far stay, the load fails.
      Progress.Abort();
      break;
    }
    const int32_t y = h.topDown ? i : height - 1 - i;
    const uint8_t* src = buffer.data();
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    switch (h.bits) {
      case 1:
        std::memcpy(row, src, static_cast<size_t>(std::min<int64_t>(rowBytes, Bitmap.RowLen())));
        break;
      case 4:
        for (int32_t x = 0; x < width; ++x) indices[x] = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4;
        storeIndices(indices.data(), y);
        break;
      case 8:
        storeIndices(src, y);
        break;
      case 24:
        std::memcpy(row, src, static_cast<size_t>(width) * 3);
        break;
      default: {  // 16 and 32
        auto* dst = reinterpret_cast<TIERGB*>(row);
        uint8_t* alpha = readAlpha ? AlphaMask->GetRow(y) : nullptr;
        for (int32_t x = 0; x < width; ++x) {
          const uint32_t p = h.bits == 16 ? IEGetU16(src + 2 * x, false) : IEGetU32(src + 4 * x, false);
          if (useMasks)
            dst[x] = TIERGB{blue.Get(p), green.Get(p), red.Get(p)};
          else
            dst[x] = TIERGB{src[4 * x], src[4 * x + 1], src[4 * x + 2]};
          if (alpha) {
            alpha[x] = alphaField.Get(p);
            alphaAllZero = alphaAllZero && alpha[x] == 0;
          }
        }
        break;
      }
    }
  }
  // A white-then-black table would make black the set bits: the picture is inverted so that white
  // pixels are set bits, as everywhere in ie1g.
  if (h.bits == 1 && colorMap.size() == 2 && SameRGB(colorMap[0], CreateRGB(255, 255, 255)) &&
      SameRGB(colorMap[1], CreateRGB(0, 0, 0)))
    InvertBitmapRows(Bitmap);
  if (AlphaMask) {
    AlphaMask->CheckFull();
    if (alphaAllZero || AlphaMask->Full())
      AlphaMask.reset();
    else
      AlphaMask->RecalcBounds();
  }
}
