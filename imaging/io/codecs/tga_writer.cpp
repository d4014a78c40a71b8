// Targa writing: the output depth and its source pixels, the header, the rows (run-length coded or
// not), the extension area and the footer.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/tga_codec.h"
#include "imaging/io/codecs/tga_format.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_quantizer.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/system/date_time.h"
#include "platform/system/latin1_text.h"
#include "platform/system/streams.h"

namespace {

// A text as the file stores it (Latin-1), cut to Room bytes.
std::string FieldBytes(const std::string& text, size_t room) {
  std::string bytes = Utf8ToLatin1(text);
  if (bytes.size() > room) bytes.resize(room);
  return bytes;
}

uint16_t Clamp16(double v) { return static_cast<uint16_t>(std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 65535.0)); }

// Run-length codes one row of Count pixels of PixelBytes each: runs of two or more equal pixels as
// run packets, the pixels between them as literal packets, at most 128 pixels a packet. Returns the
// bytes written to Out (room for Count * (PixelBytes + 1)).
template <int PixelBytes>
size_t EncodeRow(const uint8_t* row, int32_t count, uint8_t* out) {
  auto same = [&](int32_t a, int32_t b) {
    return std::memcmp(row + static_cast<size_t>(a) * PixelBytes, row + static_cast<size_t>(b) * PixelBytes,
                       PixelBytes) == 0;
  };
  size_t n = 0;
  int32_t i = 0;
  while (i < count) {
    int32_t run = 1;
    while (run < 128 && i + run < count && same(i, i + run)) ++run;
    if (run >= 2) {
      out[n++] = static_cast<uint8_t>(0x80 + run - 1);
      std::memcpy(out + n, row + static_cast<size_t>(i) * PixelBytes, PixelBytes);
      n += PixelBytes;
      i += run;
      continue;
    }
    // Literal pixels up to where two equal neighbours start.
    int32_t literal = 1;
    while (literal < 128 && i + literal < count && !(i + literal + 1 < count && same(i + literal, i + literal + 1)))
      ++literal;
    out[n++] = static_cast<uint8_t>(literal - 1);
    std::memcpy(out + n, row + static_cast<size_t>(i) * PixelBytes, static_cast<size_t>(literal) * PixelBytes);
    n += static_cast<size_t>(literal) * PixelBytes;
    i += literal;
  }
  return n;
}

}  // namespace

void WriteTGAStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    TIEMask* AlphaMask) {
  if (Progress.IsAborting()) return;
  const int32_t width = Bitmap.Width(), height = Bitmap.Height();
  if (Bitmap.IsEmpty() || width > 65535 || height > 65535) {
    Progress.Abort();
    return;
  }
  if (AlphaMask && (AlphaMask->Width() != width || AlphaMask->Height() != height || AlphaMask->BitsPerPixel() != 8))
    AlphaMask = nullptr;

  // The output depth: 1, 8 (grey or with a colour map of MapLength entries), 24 or 32.
  int32_t depth = AlphaMask ? 32 : 24;
  int32_t mapLength = 0;
  bool gray = false;
  if (Params.SamplesPerPixel == 1) {
    if (Params.BitsPerSample == 1) {
      depth = 1;
      Params.TgaCompressed = false;
    } else if (Params.BitsPerSample == 4 || Params.BitsPerSample == 8) {
      depth = 8;
      gray = Params.BitsPerSample == 8 && Params.TgaGrayLevel;
      mapLength = gray ? 0 : (Params.BitsPerSample == 4 ? 16 : 256);
    }
  }
  if (depth == 32) Params.TgaCompressed = false;
  const bool rle = Params.TgaCompressed && (depth == 8 || depth == 24);

  // The pixels the rows come from: ie1g for depth 1, ie24RGB for the others.
  TIEBitmap* source = &Bitmap;
  std::unique_ptr<TIEBitmap> work;
  if (depth == 1 && Bitmap.PixelFormat() != ie1g) {
    work = BilevelCopy(Bitmap);
    source = work.get();
  } else if (depth != 1 && Bitmap.PixelFormat() != ie24RGB) {
    work = IEConvertedCopy(Bitmap, ie24RGB);
    source = work.get();
  }
  if (!source) {
    Progress.Abort();
    return;
  }
  std::array<TIERGB, 256> palette{};
  std::unique_ptr<TIEQuantizer> quantizer;
  if (mapLength > 0) {
    quantizer = std::make_unique<TIEQuantizer>(*source, std::span<TIERGB>(palette.data(), mapLength), 0, mapLength);
    Params.SetColorMap(palette.data(), mapLength);
    Params.ColorMapCount = mapLength;
  }

  const std::string description = FieldBytes(Params.TgaDescription, kTGAMaxIdLength - 1);
  uint8_t head[kTGAHeaderSize] = {};
  head[0] = static_cast<uint8_t>(description.size() + 1);
  head[1] = mapLength > 0 ? 1 : 0;
  head[2] = static_cast<uint8_t>((mapLength > 0 ? 1 : (depth <= 8 ? 3 : 2)) + (rle ? 8 : 0));
  IEPutU16(head + 5, static_cast<uint16_t>(mapLength), false);
  head[7] = mapLength > 0 ? 24 : 0;
  IEPutU16(head + 8, Clamp16(Params.TgaXPos), false);
  IEPutU16(head + 10, Clamp16(Params.TgaYPos), false);
  IEPutU16(head + 12, static_cast<uint16_t>(width), false);
  IEPutU16(head + 14, static_cast<uint16_t>(height), false);
  head[16] = static_cast<uint8_t>(depth);
  head[17] = static_cast<uint8_t>(0x20 | (depth == 32 ? 8 : 0));

  const int64_t start = Stream.Position();
  bool failed = false;
  {
    TIEStreamWriter out(Stream, failed);
    out.Put(head, sizeof head);
    out.Put(description.c_str(), description.size() + 1);
    for (int32_t i = 0; i < mapLength; ++i) out.Put(&palette[i], 3);

    const int32_t pixelBytes = depth == 32 ? 4 : (depth == 24 ? 3 : 1);
    const size_t rowBytes = depth == 1 ? static_cast<size_t>((width + 7) / 8) : static_cast<size_t>(width) * pixelBytes;
    std::vector<uint8_t> row(rowBytes);
    std::vector<uint8_t> encoded(rle ? static_cast<size_t>(width) * (pixelBytes + 1) : 0);
    Progress.PerRow = 100.0 / height;
    for (int32_t y = 0; y < height; ++y) {
      if (Progress.IsAborting() || failed) break;
      const auto* src = static_cast<const uint8_t*>(source->GetRow(y));
      const uint8_t* data = src;
      switch (depth) {
        case 8:
          if (gray) {
            const auto* px = reinterpret_cast<const TIERGB*>(src);
            for (int32_t x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(RGBToGray(px[x]));
          } else {
            quantizer->IndexRow(src, row.data(), width);
          }
          data = row.data();
          break;
        case 32: {
          AddAlphaToRow(src, AlphaMask->GetRow(y), row.data(), width);
          data = row.data();
          break;
        }
        default: break;  // depths 1 and 24: the row as the bitmap holds it
      }
      if (rle)
        out.Put(encoded.data(), depth == 8 ? EncodeRow<1>(data, width, encoded.data()) : EncodeRow<3>(data, width, encoded.data()));
      else
        out.Put(data, rowBytes);
      Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y + 1) * 100 / height));
    }
    if (!failed && !Progress.IsAborting()) {
      // The extension area, then the footer that points to it.
      uint8_t e[kTGAExtensionSize] = {};
      IEPutU16(e, kTGAExtensionSize, false);
      const std::string author = FieldBytes(Params.TgaAuthor, kTGANameField - 1);
      std::memcpy(e + 2, author.data(), author.size());
      int32_t year, month, day, hour, minute, second, ms;
      DecodeDate(Params.TgaDate, year, month, day);
      DecodeTime(Params.TgaDate, hour, minute, second, ms);
      if (year > 0) {
        const int32_t parts[6] = {month, day, year, hour, minute, second};
        for (int i = 0; i < 6; ++i) IEPutU16(e + 367 + 2 * i, static_cast<uint16_t>(parts[i]), false);
      }
      const std::string job = FieldBytes(Params.TgaImageName, kTGANameField - 1);
      std::memcpy(e + 379, job.data(), job.size());
      e[471] = Params.TgaBackground.r;
      e[472] = Params.TgaBackground.g;
      e[473] = Params.TgaBackground.b;
      IEPutU16(e + 474, Clamp16(std::trunc(Params.TgaAspectRatio * 10000)), false);
      IEPutU16(e + 476, 10000, false);
      IEPutU16(e + 478, Clamp16(std::trunc(Params.TgaGamma * 10000)), false);
      IEPutU16(e + 480, 10000, false);
      const int64_t extensionAt = start + out.Count();
      out.Put(e, sizeof e);
      uint8_t footer[kTGAFooterSize] = {};
      IEPutU32(footer, static_cast<uint32_t>(extensionAt - start), false);
      std::memcpy(footer + 8, kTGASignature, std::strlen(kTGASignature));
      out.Put(footer, sizeof footer);
    }
  }
  if (failed) Progress.Abort();
}
