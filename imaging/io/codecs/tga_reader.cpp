// Targa reading: footer and extension area, header, colour map, then the rows.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/stream_input.h"
#include "imaging/io/codecs/tga_codec.h"
#include "imaging/io/codecs/tga_format.h"
#include "imaging/io/io_params.h"
#include "platform/system/date_time.h"
#include "platform/system/latin1_text.h"
#include "platform/system/streams.h"

namespace {

// A text field: its bytes up to the first zero.
std::string FieldText(const uint8_t* p, size_t size) {
  if (size == 0) return {};
  return Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), size)));
}

// A 5-bit channel widened to 8 bits by repeating its top bits (31 is 255).
inline uint8_t Widen5(uint32_t v) { return static_cast<uint8_t>(v << 3 | v >> 2); }
inline TIERGB Color15(uint32_t v) { return CreateRGB(Widen5(v >> 10 & 31), Widen5(v >> 5 & 31), Widen5(v & 31)); }

// The extension area's fields into the record.
void ReadExtension(const uint8_t* e, TIOParamsVals& Params) {
  Params.TgaAuthor = FieldText(e + 2, 41);
  const int32_t month = IEGetU16(e + 367, false), day = IEGetU16(e + 369, false), year = IEGetU16(e + 371, false);
  const int32_t hour = IEGetU16(e + 373, false), minute = IEGetU16(e + 375, false), second = IEGetU16(e + 377, false);
  double date = 0, time = 0;
  if (month != 0 && day != 0 && year != 0 && year < 2500 && month <= 12 && day <= 31 && hour < 24 && minute < 60 &&
      second < 60 && TryEncodeDate(year, month, day, date) && TryEncodeTime(hour, minute, second, 0, time))
    Params.TgaDate = ComposeDateTime(date, time);
  Params.TgaImageName = FieldText(e + 379, 41);
  Params.TgaBackground = CreateRGB(e[471], e[472], e[473]);
  const int32_t aspectN = IEGetU16(e + 474, false), aspectD = IEGetU16(e + 476, false);
  const int32_t gammaN = IEGetU16(e + 478, false), gammaD = IEGetU16(e + 480, false);
  if (aspectN != 0 && aspectD != 0) Params.TgaAspectRatio = static_cast<double>(aspectN) / aspectD;
  if (gammaN != 0 && gammaD != 0) Params.TgaGamma = static_cast<double>(gammaN) / gammaD;
}

// Run-length packets carried from one row into the next.
struct TRLEState {
  int32_t left = 0;  // units of the current packet still to give
  bool run = false;
  uint8_t value[4] = {};
};

// Units (pixels, or packed bytes at depth 1) of UnitBytes each into Dest; false when the data ended.
bool ReadRLEUnits(TIEStreamInput& in, TRLEState& s, uint8_t* dest, int32_t units, int32_t unitBytes) {
  int32_t done = 0;
  while (done < units) {
    if (s.left == 0) {
      const int header = in.Get();
      if (header < 0) return false;
      s.left = (header & 0x7F) + 1;
      s.run = (header & 0x80) != 0;
      if (s.run && in.Read(s.value, unitBytes) != unitBytes) return false;
    }
    const int32_t n = std::min(s.left, units - done);
    uint8_t* out = dest + static_cast<size_t>(done) * unitBytes;
    if (s.run) {
      if (unitBytes == 1) {
        std::memset(out, s.value[0], static_cast<size_t>(n));
      } else {
        for (int32_t i = 0; i < n; ++i) std::memcpy(out + static_cast<size_t>(i) * unitBytes, s.value, unitBytes);
      }
    } else if (in.Read(out, int64_t{n} * unitBytes) != int64_t{n} * unitBytes) {
      return false;
    }
    done += n;
    s.left -= n;
  }
  return true;
}

}  // namespace

bool TGAHeaderDescribesPicture(const TTGAHeader& h, bool AcceptDepth15) {
  const bool type = h.imageType == 1 || h.imageType == 2 || h.imageType == 3 || h.imageType == 9 ||
                    h.imageType == 10 || h.imageType == 11;
  const bool depth = h.depth == 1 || h.depth == 4 || h.depth == 8 || h.depth == 16 || h.depth == 24 ||
                     h.depth == 32 || (AcceptDepth15 && h.depth == 15);
  return type && depth && h.mapType <= 1 && h.width > 0 && h.height > 0;
}

void ParseTGAHeader(const uint8_t* raw, TTGAHeader& h) {
  h.idLength = raw[0];
  h.mapType = raw[1];
  h.imageType = raw[2];
  h.mapFirst = IEGetU16(raw + 3, false);
  h.mapLength = IEGetU16(raw + 5, false);
  h.mapEntrySize = raw[7];
  h.x = IEGetU16(raw + 8, false);
  h.y = IEGetU16(raw + 10, false);
  h.width = IEGetU16(raw + 12, false);
  h.height = IEGetU16(raw + 14, false);
  h.depth = raw[16];
  h.descriptor = raw[17];
}

bool IsTGAStream(TStream& Stream) {
  const int64_t p = Stream.Position();
  uint8_t raw[kTGAHeaderSize] = {};
  const bool complete = Stream.Read(raw, kTGAHeaderSize) == kTGAHeaderSize;
  Stream.Seek(p, soBeginning);
  TTGAHeader h;
  ParseTGAHeader(raw, h);
  return complete && TGAHeaderDescribesPicture(h, false);
}

void ReadTGAStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly, std::unique_ptr<TIEMask>& Mask, bool NoMask) {
  Mask.reset();
  TIEByteReader r(Stream);
  const int64_t p0 = r.Position();
  const int64_t size = r.Size();

  // The footer of version 2.0 files, and the extension area it points to. The pixel data end before
  // the footer and before the extension area and developer directory when those follow them.
  int64_t dataEnd = size;
  uint8_t extension[kTGAExtensionSize] = {};
  bool hasExtension = false;
  if (size - p0 >= kTGAHeaderSize + kTGAFooterSize && r.Seek(size - kTGAFooterSize)) {
    uint8_t footer[kTGAFooterSize];
    if (r.Read(footer, kTGAFooterSize) &&
        FieldText(footer + 8, 18) == kTGASignature) {
      dataEnd = size - kTGAFooterSize;
      const int64_t extensionAt = p0 + IEGetU32(footer, false);
      const int64_t developerAt = p0 + IEGetU32(footer + 4, false);
      if (extensionAt > p0 && r.RangeInside(extensionAt, kTGAExtensionSize) && r.Seek(extensionAt) &&
          r.Read(extension, kTGAExtensionSize))
        hasExtension = true;
      for (const int64_t at : {extensionAt, developerAt})
        if (at > p0 + kTGAHeaderSize && at < dataEnd) dataEnd = at;
    }
  }
  r.ClearFailed();
  r.Seek(p0);

  Params.TgaAuthor.clear();
  Params.TgaImageName.clear();
  Params.TgaDate = Today();
  Params.TgaBackground = CreateRGB(0, 0, 0);
  Params.TgaAspectRatio = 1.0;
  Params.TgaGamma = 2.2;
  if (hasExtension) ReadExtension(extension, Params);

  uint8_t raw[kTGAHeaderSize];
  TTGAHeader h;
  if (!r.Read(raw, kTGAHeaderSize)) {
    Progress.Abort();
    return;
  }
  ParseTGAHeader(raw, h);
  // Depth 4 passes the probe, but no Targa reader decodes it.
  if (!TGAHeaderDescribesPicture(h, true) || h.depth == 4) {
    Progress.Abort();
    return;
  }
  Params.TgaXPos = h.x;
  Params.TgaYPos = h.y;
  std::vector<uint8_t> id;
  if (!r.ReadBytes(h.idLength, id)) {
    Progress.Abort();
    return;
  }
  Params.TgaDescription = FieldText(id.data(), id.size());

  // The 3-3-2 ramp, then the colour map over it.
  std::array<TIERGB, 256> palette{};
  std::array<uint8_t, 256> paletteAlpha{};
  paletteAlpha.fill(255);
  bool paletteHasAlpha = false;
  for (int i = 0; i < 256; ++i)
    palette[i] = CreateRGB(static_cast<uint8_t>(32 * (i >> 5) + 28), static_cast<uint8_t>(32 * (i >> 2 & 7) + 28),
                           static_cast<uint8_t>(64 * (i & 3) + 60));
  Params.FreeColorMap();
  Params.ColorMapCount = 0;
  if (h.mapType == 1) {
    const int32_t entryBytes = (h.mapEntrySize + 7) / 8;
    if (h.mapEntrySize != 15 && h.mapEntrySize != 16 && h.mapEntrySize != 24 && h.mapEntrySize != 32) {
      Progress.Abort();
      return;
    }
    std::vector<uint8_t> map;
    if (!r.ReadBytes(int64_t{h.mapLength} * entryBytes, map)) {
      Progress.Abort();
      return;
    }
    // Entries whose index is past the palette are skipped.
    for (int32_t i = 0; i < h.mapLength && h.mapFirst + i < 256; ++i) {
      const uint8_t* e = map.data() + static_cast<size_t>(i) * entryBytes;
      TIERGB& c = palette[h.mapFirst + i];
      if (entryBytes == 2) {
        c = Color15(IEGetU16(e, false));
      } else {
        c = TIERGB{e[0], e[1], e[2]};
        if (entryBytes == 4) {
          paletteAlpha[h.mapFirst + i] = e[3];
          paletteHasAlpha = true;
        }
      }
    }
    const int32_t count = std::min<int32_t>(h.mapLength, 256);
    Params.SetColorMap(palette.data(), count);
    Params.ColorMapCount = count;
    Params.TgaGrayLevel = false;
  } else if (h.depth == 8) {
    for (int i = 0; i < 256; ++i) palette[i] = CreateRGB(uint8_t(i), uint8_t(i), uint8_t(i));
    Params.TgaGrayLevel = true;
  } else if (h.depth == 1) {
    palette[0] = CreateRGB(0, 0, 0);
    palette[1] = CreateRGB(255, 255, 255);
  }
  Params.TgaCompressed = h.imageType >= 9;
  const int32_t width = h.width, height = h.height;
  Params.Width = Params.OriginalWidth = width;
  Params.Height = Params.OriginalHeight = height;
  Params.SetDpiX(DefaultDPIX);
  Params.SetDpiY(DefaultDPIY);
  Params.SetImageCount(1);
  switch (h.depth) {
    case 1: Params.BitsPerSample = 1; Params.SamplesPerPixel = 1; break;
    case 8: Params.BitsPerSample = 8; Params.SamplesPerPixel = 1; break;
    case 15:
    case 16: Params.BitsPerSample = 5; Params.SamplesPerPixel = 3; break;
    case 24: Params.BitsPerSample = 8; Params.SamplesPerPixel = 3; break;
    default: Params.BitsPerSample = 8; Params.SamplesPerPixel = 4; break;
  }
  if (ParamsOnly) return;

  // The data are rows of units: packed bytes at depth 1, whole pixels otherwise.
  const int32_t unitBytes = h.depth == 1 ? 1 : (h.depth + 7) / 8;
  const int32_t units = h.depth == 1 ? (width + 7) / 8 : width;
  const int64_t dataStart = r.Position();
  const int64_t dataBytes = std::max<int64_t>(dataEnd - dataStart, 0);
  const int32_t pixelsPerUnit = h.depth == 1 ? 8 : 1;
  const TIEImageData gate =
      Params.TgaCompressed
          ? TIEImageData{.Bytes = dataBytes, .BitsPerPixel = h.depth,
                         .MaxPixelsPerByte = (128 * pixelsPerUnit + unitBytes) / (unitBytes + 1)}
          : TIEImageData{.Bytes = dataBytes, .BitsPerPixel = h.depth, .RowBytes = int64_t{units} * unitBytes};
  if (!IEImageSizePlausible(width, height, gate) || !Bitmap.Allocate(width, height, h.depth == 1 ? ie1g : ie24RGB)) {
    Progress.Abort();
    return;
  }
  const bool alpha = !NoMask && (h.depth == 32 || (h.mapType == 1 && h.mapEntrySize == 32));
  if (alpha) {
    Mask = std::make_unique<TIEMask>();
    Mask->Allocate(width, height, 8);
    Mask->Fill(255);
  }

  TIEStreamInput in(Stream, dataEnd);
  TRLEState rle;
  std::vector<uint8_t> units8(static_cast<size_t>(units) * unitBytes);
  std::vector<uint8_t> alphaRow(alpha ? static_cast<size_t>(width) : 0, 255);
  std::vector<uint8_t> reversed(h.descriptor & 0x10 ? static_cast<size_t>(Bitmap.RowLen()) : 0);
  const bool topDown = (h.descriptor & 0x20) != 0;
  const bool rightToLeft = (h.descriptor & 0x10) != 0;
  Progress.PerRow = 100.0 / height;
  for (int32_t i = 0; i < height; ++i) {
    if (Progress.IsAborting()) break;
    const bool complete = Params.TgaCompressed ? ReadRLEUnits(in, rle, units8.data(), units, unitBytes)
                                               : in.Read(units8.data(), static_cast<int64_t>(units8.size())) ==
                                                     static_cast<int64_t>(units8.size());
    const int32_t y = topDown ? i : height - 1 - i;
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    const uint8_t* src = units8.data();
    auto* dst = reinterpret_cast<TIERGB*>(row);
    switch (h.depth) {
      case 1: std::memcpy(row, src, static_cast<size_t>(units)); break;
      case 8:
        for (int32_t x = 0; x < width; ++x) dst[x] = palette[src[x]];
        if (alpha && paletteHasAlpha)
          for (int32_t x = 0; x < width; ++x) alphaRow[x] = paletteAlpha[src[x]];
        break;
      case 15:
      case 16:
        for (int32_t x = 0; x < width; ++x) dst[x] = Color15(IEGetU16(src + 2 * x, false));
        break;
      case 24: std::memcpy(row, src, static_cast<size_t>(width) * 3); break;
      default:
        for (int32_t x = 0; x < width; ++x) {
          dst[x] = TIERGB{src[4 * x], src[4 * x + 1], src[4 * x + 2]};
          if (alpha) alphaRow[x] = src[4 * x + 3];
        }
        break;
    }
    if (rightToLeft) {
      if (h.depth == 1) {
        std::fill(reversed.begin(), reversed.end(), 0);
        for (int32_t x = 0; x < width; ++x) SetRowBit(reversed.data(), width - 1 - x, GetRowBit(row, x));
        std::memcpy(row, reversed.data(), reversed.size());
      } else {
        std::reverse(dst, dst + width);
      }
      std::reverse(alphaRow.begin(), alphaRow.end());
    }
    if (alpha) std::memcpy(Mask->GetRow(y), alphaRow.data(), static_cast<size_t>(width));
    Progress.Report(static_cast<int32_t>(static_cast<int64_t>(i + 1) * 100 / height));
    if (!complete) {
      // The data end before the last row: the rows read so far stay, the load fails.
      Progress.Abort();
      break;
    }
  }
  in.Sync();
  if (Mask) {
    Mask->RecalcBounds();
    Mask->CheckFull();
    if (Mask->IsEmpty()) Mask.reset();
  }
}
