// Icon and cursor reading: the directory, the chosen image's bitmap header and colour table, then
// its colour and AND-mask rows.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kDirectoryEntrySize = 16;
constexpr uint8_t kPNGSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};

struct TDirectoryEntry {
  int32_t width = 0;   // the bytes as stored: 0 stands for 256
  int32_t height = 0;
  int32_t colors = 0;
  uint8_t reserved = 0;
  int32_t planes = 0;  // cursors: hot spot x
  int32_t bits = 0;    // cursors: hot spot y
  uint32_t bytes = 0;
  uint32_t offset = 0;
};

TDirectoryEntry ParseEntry(const uint8_t* e) {
  return TDirectoryEntry{e[0], e[1], e[2], e[3], IEGetU16(e + 4, false), IEGetU16(e + 6, false),
                         IEGetU32(e + 8, false), IEGetU32(e + 12, false)};
}

bool IsDirectoryStream(TStream& stream, uint16_t type) {
  const int64_t p = stream.Position();
  TIEByteReader r(stream);
  bool match = false;
  if (r.Remaining() >= 23) {
    const uint16_t reserved = r.U16(), kind = r.U16(), count = r.U16();
    match = reserved == 0 && kind == type && count > 0;
    for (int32_t i = 0; i < count && match; ++i) {
      uint8_t raw[kDirectoryEntrySize];
      match = r.Read(raw, kDirectoryEntrySize);
      if (!match) break;
      const TDirectoryEntry e = ParseEntry(raw);
      match = e.reserved == 0 && e.bytes != 0 && e.offset >= r.Position() - p;
    }
  }
  stream.Seek(p, soBeginning);
  return match;
}

// Colour rows, then AND-mask rows: bottom-up, each padded to 4 bytes.
int64_t ColorRowBytes(int32_t width, int32_t depth) { return (int64_t{width} * depth + 31) / 32 * 4; }
int64_t MaskRowBytes(int32_t width) { return (int64_t{width} + 31) / 32 * 4; }

// How the two readers differ.
struct TIconKind {
  bool cursor;
};

// The BMP reader's hook into the icon reader: the icon file really is a BMP.
void ReadAsBMP(TStream& stream, int64_t start, TIEBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
               TIEProgressRecord& progress, std::unique_ptr<TIEMask>& alphaMask, bool ignoreAlpha) {
  stream.Seek(start, soBeginning);
  ReadBMPStream(stream, bitmap, stream.Size() - start, params, progress, paramsOnly, false, alphaMask, ignoreAlpha);
}

// A PNG image inside an icon: read whole, into a scratch bitmap when only the parameters are asked.
// Its alpha channel becomes the mask the icon readers give.
void ReadPNGImage(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                  TIEProgressRecord& progress, std::unique_ptr<TIEMask>& alphaMask, bool ignoreAlpha) {
  TIEBitmap scratch;
  TIEBitmap& target = paramsOnly ? scratch : bitmap;
  target.RemoveAlphaChannel(false);
  ReadPngStream(stream, target, params, progress, false);
  if (paramsOnly || !target.HasAlphaChannel()) return;
  TIEBitmap* alpha = target.GetAlphaChannel();
  if (!ignoreAlpha && !progress.IsAborting()) {
    alpha->SyncFull();
    if (!alpha->Full()) {
      alphaMask = std::make_unique<TIEMask>();
      alpha->CopyToMask(*alphaMask);
    }
  }
  target.RemoveAlphaChannel(false);
}

void ReadIconImage(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TIEProgressRecord& Progress, std::unique_ptr<TIEMask>& AlphaMask, bool IgnoreAlpha,
                   TIconKind kind) {
  AlphaMask.reset();
  TIEByteReader r(Stream);
  const int64_t start = r.Position();
  TDirectoryEntry entry;
  int64_t imageEnd = r.Size();

  if (!Params.IsResource) {
    uint8_t head[6];
    if (!r.Read(head, 6)) {
      Progress.Abort();
      return;
    }
    if (!kind.cursor && head[0] == 'B' && head[1] == 'M') {
      ReadAsBMP(Stream, start, Bitmap, Params, ParamsOnly, Progress, AlphaMask, IgnoreAlpha);
      return;
    }
    const int32_t count = IEGetU16(head + 4, false);
    const int32_t index = kind.cursor ? Params.CurImageIndex : Params.IcoImageIndex;
    if (index < 0 || index >= count) {
      Progress.Abort();
      return;
    }
    // Icons list their first 16 images; a cursor's directory is read up to the chosen entry.
    const int32_t entries = kind.cursor ? index + 1 : std::max(index + 1, std::min(count, kIOMaxIcoImages));
    std::vector<uint8_t> directory;
    if (!r.ReadBytes(int64_t{entries} * kDirectoryEntrySize, directory)) {
      Progress.Abort();
      return;
    }
    if (!kind.cursor) {
      Params.IcoSizes.fill(TIOICOSize{});
      Params.IcoBitCounts.fill(0);
      for (int32_t i = 0; i < std::min(count, kIOMaxIcoImages); ++i) {
        const TDirectoryEntry e = ParseEntry(directory.data() + i * kDirectoryEntrySize);
        Params.IcoSizes[i] = TIOICOSize{e.width == 0 ? 256 : e.width, e.height == 0 ? 256 : e.height};
        Params.IcoBitCounts[i] = e.bits != 0 ? e.bits : (e.colors != 0 ? CeilLog2(e.colors) : 24);
      }
    }
    entry = ParseEntry(directory.data() + static_cast<size_t>(index) * kDirectoryEntrySize);
    if (kind.cursor) {
      Params.CurXHotSpot = entry.planes;
      Params.CurYHotSpot = entry.bits;
    }
    // The image lies inside the stream; its byte count ends it, or the stream's end when sooner.
    if (!r.Seek(start + entry.offset) || entry.offset < 6) {
      Progress.Abort();
      return;
    }
    if (entry.bytes > 0) imageEnd = std::min<int64_t>(imageEnd, start + entry.offset + entry.bytes);
  } else if (kind.cursor) {
    Params.CurXHotSpot = r.U16();
    Params.CurYHotSpot = r.U16();
  }

  uint8_t info[40] = {};
  const int64_t imageStart = r.Position();
  r.Read(info, std::min<int64_t>(40, r.Remaining()));
  if (std::memcmp(info, kPNGSignature, sizeof kPNGSignature) == 0) {
    Stream.Seek(imageStart, soBeginning);
    ReadPNGImage(Stream, Bitmap, Params, ParamsOnly, Progress, AlphaMask, IgnoreAlpha);
    return;
  }
  r.ClearFailed();
  r.Seek(imageStart);
  const auto headerSize = IEGetU32(info, false);
  const auto infoWidth = static_cast<int32_t>(IEGetU32(info + 4, false));
  const auto infoHeight = static_cast<int32_t>(IEGetU32(info + 8, false));
  const int32_t infoBits = IEGetU16(info + 14, false);
  const auto ppmX = static_cast<int32_t>(IEGetU32(info + 24, false));
  const auto ppmY = static_cast<int32_t>(IEGetU32(info + 28, false));
  const uint32_t colorsUsed = IEGetU32(info + 32, false);
  // The colour table follows the header, which is 40 bytes or one of the later, longer ones.
  if (headerSize < 40 || !r.Skip(headerSize)) {
    Progress.Abort();
    return;
  }
  if (Params.IsResource) {
    Params.SetImageIndex(0);
    entry.width = infoWidth & 0xFF;
    entry.height = (infoHeight / 2) & 0xFF;
    if (!kind.cursor) {
      Params.IcoSizes.fill(TIOICOSize{});
      Params.IcoSizes[0] = TIOICOSize{infoWidth, infoHeight / 2};
    }
  }
  auto dpi = [](int32_t ppm, int32_t fallback) {
    return ppm >= 1 ? static_cast<int32_t>(std::nearbyint(ppm / 100.0 * 2.54)) : fallback;
  };
  Params.SetDpiX(dpi(ppmX, DefaultDPIX));
  Params.SetDpiY(dpi(ppmY, DefaultDPIY));

  int32_t depth = infoBits;
  if (depth == 0 && !kind.cursor) depth = entry.bits;
  if (depth == 0 && entry.colors != 0) depth = CeilLog2(entry.colors);
  if (depth <= 0) {
    Progress.Abort();
    return;
  }
  if (kind.cursor) {
    Params.BitsPerSample = depth;
    Params.SamplesPerPixel = 1;
  } else {
    Params.BitsPerSample = depth > 8 ? 8 : depth;
    Params.SamplesPerPixel = depth > 8 ? (depth == 32 ? 4 : 3) : 1;
  }

  // The size: the directory's, reconciled with the bitmap header's.
  int32_t width, height;
  if (kind.cursor && !Params.IsResource) {
    width = entry.width == 0 ? 256 : entry.width;
    height = entry.height == 0 ? 256 : entry.height;
  } else if (kind.cursor) {
    width = infoWidth;
    height = infoHeight / 2;
  } else {
    width = entry.width != 0 ? entry.width : infoWidth;
    height = entry.height != 0 ? entry.height : infoHeight / 2;
    if (entry.width != 0 && entry.width != infoWidth && infoWidth > 0 && infoWidth < 2048 && infoHeight > 0 &&
        infoHeight < 2048) {
      width = infoWidth;
      height = infoHeight / 2;
    }
  }

  // The colour table: icons take the header's count of colours used when it is smaller than the
  // depth allows, cursors the directory's colour count.
  Params.FreeColorMap();
  Params.ColorMapCount = 0;
  std::array<TIERGB, 256> palette{};
  int32_t tableCount = 0;
  if (depth <= 8) {
    const int32_t full = 1 << depth;
    if (kind.cursor)
      tableCount = entry.colors == 0 ? full : (entry.colors == 255 ? 256 : entry.colors);
    else
      tableCount = colorsUsed > 0 && colorsUsed < static_cast<uint32_t>(full) ? static_cast<int32_t>(colorsUsed) : full;
    std::vector<uint8_t> table;
    if (!r.ReadBytes(int64_t{tableCount} * 4, table)) {
      Progress.Abort();
      return;
    }
    for (int32_t i = 0; i < tableCount; ++i) palette[i] = TIERGB{table[4 * i], table[4 * i + 1], table[4 * i + 2]};
    Params.SetColorMap(palette.data(), tableCount);
    Params.ColorMapCount = tableCount;
  }
  Params.Width = Params.OriginalWidth = width;
  Params.Height = Params.OriginalHeight = height;
  if (ParamsOnly) return;

  const bool decoded = depth == 1 || depth == 4 || depth == 8 || depth == 24 || depth == 32;
  const bool native = Params.IsNativePixelFormat && !kind.cursor;
  if (!decoded) {
    if (native) throw Exception("Unsupported pixel format");
    Progress.Abort();
    return;
  }
  const TIEPixelFormat format = depth == 1 ? ie1g : (native && depth <= 8 ? ie8p : ie24RGB);
  const int64_t colorRow = ColorRowBytes(width, depth);
  const int64_t maskRow = MaskRowBytes(width);
  const int64_t dataBytes = std::max<int64_t>(imageEnd - r.Position(), 0);
  if (width <= 0 || height <= 0 ||
      !IEImageSizePlausible(width, height, {.Bytes = dataBytes, .BitsPerPixel = depth, .RowBytes = colorRow}) ||
      !Bitmap.Allocate(width, height, format)) {
    Progress.Abort();
    return;
  }
  if (format == ie8p) {
    for (int32_t i = 0; i < 256; ++i) Bitmap.SetPaletteColor(i, palette[i]);
    Bitmap.SetPaletteUsed(1 << depth);
  }
  if (!IgnoreAlpha) {
    AlphaMask = std::make_unique<TIEMask>();
    AlphaMask->Allocate(width, height, 8);
    AlphaMask->Fill(255);
    AlphaMask->SetFull(false);
  }

  // All colour rows and, where they are there, all mask rows. Rows the data do not reach stay 0.
  const int64_t colorBytes = colorRow * height;
  std::vector<uint8_t> colors(static_cast<size_t>(colorBytes), 0);
  const int64_t gotColors = std::min(dataBytes, colorBytes);
  r.Read(colors.data(), gotColors);
  const int64_t maskBytes = maskRow * height;
  const bool hasMask = dataBytes - gotColors >= maskBytes;
  std::vector<uint8_t> mask(static_cast<size_t>(maskBytes), 0);
  if (hasMask) r.Read(mask.data(), maskBytes);
  // Images up to 8 bits cannot do without their mask; deeper ones are opaque (or keep their alpha).
  const bool complete = gotColors == colorBytes && (depth > 8 || hasMask);
  const int32_t rowsRead = static_cast<int32_t>(gotColors / colorRow);

  const TIERGB background = kind.cursor ? Params.CurBackground : Params.IcoBackground;
  const bool whiteBackground = background.r == 255 && background.g == 255 && background.b == 255;
  bool alphaAllZero = true;
  for (int32_t i = 0; i < std::min(height, rowsRead + (complete ? 0 : 1)); ++i) {
    const int32_t y = height - 1 - i;
    const uint8_t* src = colors.data() + colorRow * i;
    const uint8_t* andBits = mask.data() + maskRow * i;
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    uint8_t* alpha = AlphaMask ? AlphaMask->GetRow(y) : nullptr;
    auto masked = [&](int32_t x) { return hasMask && (andBits[x >> 3] & (0x80 >> (x & 7))) != 0; };
    switch (depth) {
      case 1:
        std::memcpy(row, src, static_cast<size_t>((width + 7) / 8));
        for (int32_t x = 0; x < width; ++x)
          if (masked(x)) {
            if (alpha) alpha[x] = 0;
            SetRowBit(row, x, (GetRowBit(row, x) != 0) != whiteBackground);
          }
        break;
      case 4:
      case 8: {
        auto* dst = reinterpret_cast<TIERGB*>(row);
        for (int32_t x = 0; x < width; ++x) {
          const int32_t index = depth == 8 ? src[x] : (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
          const bool transparent = masked(x);
          if (alpha && transparent) alpha[x] = 0;
          if (format == ie8p)
            row[x] = static_cast<uint8_t>(index);
          else
            dst[x] = transparent ? background : (index < tableCount ? palette[index] : TIERGB{});
        }
        break;
      }
      case 24:
        std::memcpy(row, src, static_cast<size_t>(width) * 3);
        if (alpha)
          for (int32_t x = 0; x < width; ++x) alpha[x] = masked(x) ? 0 : 255;
        break;
      default:  // 32
        for (int32_t x = 0; x < width; ++x) {
          std::memcpy(row + 3 * static_cast<size_t>(x), src + 4 * static_cast<size_t>(x), 3);
          if (alpha) {
            alpha[x] = src[4 * x + 3];
            alphaAllZero = alphaAllZero && alpha[x] == 0;
          }
        }
        break;
    }
  }
  // A 32-bit image whose fourth bytes are all 0 takes its transparency from the AND mask.
  if (depth == 32 && AlphaMask && alphaAllZero && hasMask)
    for (int32_t i = 0; i < height; ++i) {
      uint8_t* alpha = AlphaMask->GetRow(height - 1 - i);
      const uint8_t* andBits = mask.data() + maskRow * i;
      for (int32_t x = 0; x < width; ++x) alpha[x] = (andBits[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
    }
  if (AlphaMask) {
    AlphaMask->CheckFull();
    if (kind.cursor)
      AlphaMask->SetFull(false);
    else if (AlphaMask->Full())
      AlphaMask.reset();
    if (AlphaMask) AlphaMask->RecalcBounds();
  }
  // The data end before the last row: the rows read so far stay, the load fails.
  if (!complete) Progress.Abort();
}

}  // namespace

bool IsICOStream(TStream& Stream) { return IsDirectoryStream(Stream, 1); }
bool IsCURStream(TStream& Stream) { return IsDirectoryStream(Stream, 2); }

int32_t ICOImageCount(TStream& Stream) {
  const int64_t p = Stream.Position();
  uint8_t header[6];
  const bool complete = Stream.Read(header, 6) == 6;
  Stream.Seek(p, soBeginning);
  return complete ? IEGetU16(header + 4, false) : 0;
}

void ReadICOStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TIEProgressRecord& Progress, std::unique_ptr<TIEMask>& AlphaMask, bool IgnoreAlpha) {
  ReadIconImage(Stream, Bitmap, Params, ParamsOnly, Progress, AlphaMask, IgnoreAlpha, TIconKind{false});
}

void ReadCURStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TIEProgressRecord& Progress, std::unique_ptr<TIEMask>& AlphaMask, bool IgnoreAlpha) {
  ReadIconImage(Stream, Bitmap, Params, ParamsOnly, Progress, AlphaMask, IgnoreAlpha, TIconKind{true});
}
