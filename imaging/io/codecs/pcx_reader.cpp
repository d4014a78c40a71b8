// PCX reading: the header into the parameter record, then the plane lines into rows.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_dib_colors.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "platform/system/streams.h"

namespace {

constexpr int64_t kHeaderSize = 128;
constexpr int64_t kEndPaletteSize = 768;

struct TPCXHeader {
  uint8_t version = 0;
  uint8_t encoding = 0;
  int32_t bits = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t dpiX = 0;
  int32_t dpiY = 0;
  std::array<TIERGB, 16> palette{};
  int32_t planes = 0;
  int32_t bytesPerLine = 0;
};

// What the plane lines of a row make.
enum TPCXLayout : uint8_t {
  plNone,       // not decoded
  plIndexed,    // an index of 1 to 4 bits from the planes, through the header's colours
  plBilevel,    // 1 bit, 1 plane, black and white: straight into ie1g
  plEndPalette, // 8 bits, 1 plane, through the end palette
  plRGB,        // 8 bits in 3 or 4 planes
};

TPCXLayout LayoutOf(const TPCXHeader& h) {
  const int32_t total = h.bits * h.planes;
  if (h.bits == 8) {
    if (h.planes == 1) return plEndPalette;
    if (h.planes >= 3) return plRGB;
    return plNone;
  }
  return total <= 4 ? plIndexed : plNone;
}

bool ReadHeader(TIEByteReader& r, TPCXHeader& h) {
  uint8_t raw[kHeaderSize];
  if (!r.Read(raw, kHeaderSize)) return false;
  h.version = raw[1];
  h.encoding = raw[2];
  h.bits = raw[3];
  const int32_t xmin = IEGetU16(raw + 4, false), ymin = IEGetU16(raw + 6, false);
  const int32_t xmax = IEGetU16(raw + 8, false), ymax = IEGetU16(raw + 10, false);
  h.dpiX = IEGetU16(raw + 12, false);
  h.dpiY = IEGetU16(raw + 14, false);
  for (int i = 0; i < 16; ++i) h.palette[i] = CreateRGB(raw[16 + 3 * i], raw[17 + 3 * i], raw[18 + 3 * i]);
  h.planes = raw[65];
  h.bytesPerLine = IEGetU16(raw + 66, false);
  if (raw[0] != 10 || h.encoding > 1 || xmax < xmin || ymax < ymin) return false;
  if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8) return false;
  if (h.planes < 1 || h.planes > 4) return false;
  h.width = xmax - xmin + 1;
  h.height = ymax - ymin + 1;
  return h.bytesPerLine >= (static_cast<int64_t>(h.width) * h.bits + 7) / 8;
}

}  // namespace

bool PCXReadLine(const uint8_t* Data, int64_t Size, bool RLE, TPCXLineState& State, uint8_t* Line, int32_t Count) {
  int32_t done = 0;
  if (!RLE) {
    const int64_t n = std::clamp<int64_t>(Size - State.Position, 0, Count);
    if (n > 0) std::memcpy(Line, Data + State.Position, static_cast<size_t>(n));
    State.Position += n;
    done = static_cast<int32_t>(n);
  } else {
    while (done < Count) {
      if (State.RunCount > 0) {
        const int32_t n = std::min(State.RunCount, Count - done);
        std::memset(Line + done, State.RunValue, static_cast<size_t>(n));
        done += n;
        State.RunCount -= n;
        continue;
      }
      if (State.Position >= Size) break;
      const uint8_t b = Data[State.Position++];
      if (b < 0xC0) {
        Line[done++] = b;
        continue;
      }
      if (State.Position >= Size) break;  // a run marker without its byte
      State.RunCount = b & 0x3F;
      State.RunValue = Data[State.Position++];
    }
  }
  if (done < Count) std::memset(Line + done, 0, static_cast<size_t>(Count - done));
  return done == Count;
}

void ReadPCXStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, int64_t DataSize,
                   TIEProgressRecord& Progress, bool ParamsOnly) {
  TIEByteReader r(Stream);
  const int64_t start = r.Position();
  TPCXHeader h;
  if (!ReadHeader(r, h)) {
    Progress.Abort();
    return;
  }
  const TPCXLayout layout = LayoutOf(h);
  const bool endPalette = layout == plEndPalette;
  if (DataSize < kHeaderSize + (endPalette ? kEndPaletteSize + 1 : 0) || DataSize > r.Size() - start) {
    Progress.Abort();
    return;
  }

  Params.SetImageCount(1);
  if (h.dpiX == 0 || h.dpiY == 0) {
    Params.SetDpiX(DefaultDPIX);
    Params.SetDpiY(DefaultDPIY);
  } else {
    Params.SetDpiX(h.dpiX);
    Params.SetDpiY(h.dpiY);
  }
  // The palette of 8-bit files ends the data, after the byte 12; the pixels end before that byte.
  int64_t dataEnd = start + DataSize;
  std::array<TIERGB, 256> colors{};
  if (endPalette) {
    uint8_t raw[kEndPaletteSize + 1];
    if (!r.Seek(dataEnd - kEndPaletteSize - 1) || !r.Read(raw, kEndPaletteSize + 1)) {
      Progress.Abort();
      return;
    }
    for (int i = 0; i < 256; ++i) colors[i] = CreateRGB(raw[1 + 3 * i], raw[2 + 3 * i], raw[3 + 3 * i]);
    dataEnd -= kEndPaletteSize + (raw[0] == 12 ? 1 : 0);
    r.Seek(start + kHeaderSize);
  } else {
    std::copy(h.palette.begin(), h.palette.end(), colors.begin());
  }

  const int32_t total = h.bits * h.planes;
  const bool indexed = layout == plIndexed;
  Params.BitsPerSample = indexed && h.planes > 1 ? total : h.bits;
  Params.SamplesPerPixel = indexed && h.planes > 1 ? 1 : h.planes;
  Params.Width = Params.OriginalWidth = h.width;
  Params.Height = Params.OriginalHeight = h.height;
  Params.PcxVersion = h.version;
  Params.PcxCompression = h.encoding;
  Params.FreeColorMap();
  const int32_t mapCount = endPalette ? 256 : (indexed ? 1 << total : 0);
  if (mapCount > 0) {
    Params.SetColorMap(colors.data(), mapCount);
    Params.ColorMapCount = mapCount;
  }
  if (ParamsOnly) return;
  if (layout == plNone) {
    Progress.Abort();
    return;
  }

  // A 1-bit picture in black and white (or whose two colours are the same, as old files leave them)
  // is bilevel; with other colours it decodes through its colours like the other index layouts.
  TIEOneBitRule oneBit = obrPalette;
  if (total == 1) {
    std::array<TIERGB, 256> pair{};
    pair[0] = colors[0];
    pair[1] = colors[1];
    if (std::memcmp(&pair[0], &pair[1], sizeof(TIERGB)) == 0) {
      pair[0] = CreateRGB(0, 0, 0);
      pair[1] = CreateRGB(255, 255, 255);
    }
    oneBit = OneBitRule(pair);
  }
  const bool bilevel = oneBit != obrPalette;

  const int64_t dataBytes = std::max<int64_t>(dataEnd - (start + kHeaderSize), 0);
  const int64_t lineBytes = int64_t{h.bytesPerLine} * h.planes;
  // Run-length coding holds at best 63 bytes in 2.
  const TIEImageData gate = h.encoding == 1
                                ? TIEImageData{.Bytes = dataBytes, .BitsPerPixel = total,
                                               .MaxPixelsPerByte = (32 * 8 + total - 1) / total}
                                : TIEImageData{.Bytes = dataBytes, .BitsPerPixel = total, .RowBytes = lineBytes};
  if (!IEImageSizePlausible(h.width, h.height, gate) || !Bitmap.Allocate(h.width, h.height, bilevel ? ie1g : ie24RGB)) {
    Progress.Abort();
    return;
  }
  std::vector<uint8_t> data;
  if (!r.ReadBytes(dataBytes, data)) {
    Progress.Abort();
    return;
  }

  const int32_t width = h.width, height = h.height, bpl = h.bytesPerLine;
  std::vector<uint8_t> line(static_cast<size_t>(lineBytes));
  TPCXLineState state;
  Progress.PerRow = 100.0 / height;
  for (int32_t y = 0; y < height; ++y) {
    if (Progress.IsAborting()) break;
    Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y) * 100 / height));
    bool complete = true;
    for (int32_t p = 0; p < h.planes; ++p)
      complete &= PCXReadLine(data.data(), static_cast<int64_t>(data.size()), h.encoding == 1, state,
                              line.data() + static_cast<size_t>(p) * bpl, bpl);
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    const uint8_t* src = line.data();
    switch (layout) {
      case plEndPalette: {
        auto* dst = reinterpret_cast<TIERGB*>(row);
        for (int32_t x = 0; x < width; ++x) dst[x] = colors[src[x]];
        break;
      }
      case plRGB: {
        const uint8_t* red = src;
        const uint8_t* green = src + bpl;
        const uint8_t* blue = src + 2 * bpl;
        for (int32_t x = 0; x < width; ++x) {
          row[3 * x] = blue[x];
          row[3 * x + 1] = green[x];
          row[3 * x + 2] = red[x];
        }
        break;
      }
      default:
        if (bilevel) {
          const int32_t n = (width + 7) / 8;
          std::memcpy(row, src, static_cast<size_t>(n));
          if (oneBit == obrBilevelInverted) InvertBuffer(row, n);
          break;
        }
        {
          // Plane k gives bits k * bits upwards of each pixel's index.
          const int32_t bits = h.bits, mask = (1 << bits) - 1;
          auto* dst = reinterpret_cast<TIERGB*>(row);
          for (int32_t x = 0; x < width; ++x) {
            const int32_t bit = x * bits;
            const int32_t shift = 8 - bits - (bit & 7);
            int32_t index = 0;
            for (int32_t p = 0; p < h.planes; ++p)
              index |= ((src[static_cast<size_t>(p) * bpl + (bit >> 3)] >> shift) & mask) << (p * bits);
            dst[x] = colors[index];
          }
        }
        break;
    }
    if (!complete) {
      // The data ends before the last row: the rows read so far stay, the load fails.
      Progress.Abort();
      break;
    }
  }
}
