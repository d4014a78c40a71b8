// PCX writing: the depth and its source pixels, the header, the plane lines and the end palette.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_quantizer.h"
#include "platform/system/streams.h"

namespace {

uint16_t Clamp16(int32_t v) { return static_cast<uint16_t>(std::clamp(v, 0, 65535)); }

// The coding of PCXEncodeLine, for a stride known at compile time (1) or not (0).
template <int FixedStride>
int32_t EncodeLine(uint8_t* dest, const uint8_t* src, int32_t count, int32_t stride) {
  const auto at = [&](int32_t i) { return src[static_cast<int64_t>(i) * (FixedStride ? FixedStride : stride)]; };
  int32_t out = 0;
  int32_t i = 0;
  while (i < count) {
    const uint8_t value = at(i);
    int32_t run = 1;
    if (i + 1 < count && at(i + 1) == value) {
      const int32_t limit = std::min(count - i, 63);
      while (run < limit && at(i + run) == value) ++run;
    }
    // A run, or a single byte of 192 or more, takes a count byte first; other bytes stand alone.
    dest[out] = static_cast<uint8_t>(0xC0 + run);
    out += (run > 1) | (value >= 0xC0);
    dest[out++] = value;
    i += run;
  }
  if (count & 1) dest[out++] = 0;
  return out;
}

}  // namespace

int32_t PCXEncodeLine(uint8_t* Dest, const uint8_t* Source, int32_t Count, int32_t Stride, int32_t Offset) {
  return Stride == 1 ? EncodeLine<1>(Dest, Source + Offset, Count, 1)
                     : EncodeLine<0>(Dest, Source + Offset, Count, Stride);
}

void WritePCXStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  if (Progress.IsAborting()) return;
  const int32_t width = Bitmap.Width(), height = Bitmap.Height();
  // The header holds the last column and row in 16 bits, a 24-bit line's bytes in 16 bits made even.
  if (Bitmap.IsEmpty() || width > 65534 || height > 65536) {
    Progress.Abort();
    return;
  }
  const int32_t samples = std::min(Params.SamplesPerPixel, 3);
  int32_t total = Params.BitsPerSample == 1 ? 1 : Params.BitsPerSample * samples;
  if (total != 1 && total != 4 && total != 8 && total != 24) {
    // No PCX layout of its own: written as 24 bits, and the record says so.
    total = 24;
    Params.BitsPerSample = 8;
    Params.SamplesPerPixel = 3;
  }

  // The pixels the lines come from: ie1g for 1 bit, else ie24RGB.
  TIEBitmap* source = &Bitmap;
  std::unique_ptr<TIEBitmap> work;
  std::array<TIERGB, 256> palette{};
  std::unique_ptr<TIEQuantizer> quantizer;
  if (total == 1) {
    palette[0] = CreateRGB(0, 0, 0);
    palette[1] = CreateRGB(255, 255, 255);
    if (Bitmap.PixelFormat() != ie1g) {
      work = BilevelCopy(Bitmap, &palette[0], &palette[1]);
      source = work.get();
    }
  } else if (Bitmap.PixelFormat() != ie24RGB) {
    work = IEConvertedCopy(Bitmap, ie24RGB);
    source = work.get();
  }
  if (!source) {
    Progress.Abort();
    return;
  }
  if (total == 4 || total == 8)
    quantizer = std::make_unique<TIEQuantizer>(*source, std::span<TIERGB>(palette.data(), total == 4 ? 16 : 256), 0,
                                               total == 4 ? 16 : 256);

  const int32_t planes = total == 24 ? 3 : 1;
  const int32_t dataBytes = total == 1 ? (width + 7) / 8 : (total == 4 ? (width + 1) / 2 : width);
  const int32_t bytesPerLine = (dataBytes + 1) & ~1;
  const bool rle = Params.PcxCompression != 0;

  uint8_t head[128] = {};
  head[0] = 10;
  head[1] = static_cast<uint8_t>(std::clamp(Params.PcxVersion, 0, 255));
  head[2] = rle ? 1 : 0;
  head[3] = static_cast<uint8_t>(total == 24 ? 8 : total);
  IEPutU16(head + 8, static_cast<uint16_t>(width - 1), false);
  IEPutU16(head + 10, static_cast<uint16_t>(height - 1), false);
  IEPutU16(head + 12, Clamp16(Params.DpiX), false);
  IEPutU16(head + 14, Clamp16(Params.DpiY), false);
  if (total <= 4)
    for (int i = 0; i < 16; ++i) {
      head[16 + 3 * i] = palette[i].r;
      head[17 + 3 * i] = palette[i].g;
      head[18 + 3 * i] = palette[i].b;
    }
  head[65] = static_cast<uint8_t>(planes);
  IEPutU16(head + 66, static_cast<uint16_t>(bytesPerLine), false);
  IEPutU16(head + 68, total == 24 ? 0 : 1, false);

  bool failed = false;
  {
    TIEStreamWriter out(Stream, failed);
    out.Put(head, sizeof head);
    std::vector<uint8_t> line(static_cast<size_t>(bytesPerLine) * planes, 0);
    std::vector<uint8_t> encoded(static_cast<size_t>(dataBytes) * 2 + 2);
    std::vector<uint8_t> indices(total == 4 ? static_cast<size_t>(width) : 0);
    Progress.PerRow = 100.0 / height;
    for (int32_t y = 0; y < height; ++y) {
      Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y) * 100 / height));
      if (Progress.IsAborting() || failed) break;
      const auto* src = static_cast<const uint8_t*>(source->GetRow(y));
      switch (total) {
        case 1: std::memcpy(line.data(), src, static_cast<size_t>(dataBytes)); break;
        case 4:
          quantizer->IndexRow(src, indices.data(), width);
          std::fill(line.begin(), line.end(), 0);
          for (int32_t x = 0; x < width; ++x)
            line[x >> 1] |= static_cast<uint8_t>((indices[x] & 15) << ((x & 1) ? 0 : 4));
          break;
        case 8: quantizer->IndexRow(src, line.data(), width); break;
        default:
          for (int32_t x = 0; x < width; ++x) {
            line[x] = src[3 * x + 2];
            line[static_cast<size_t>(bytesPerLine) + x] = src[3 * x + 1];
            line[2 * static_cast<size_t>(bytesPerLine) + x] = src[3 * x];
          }
          break;
      }
      if (!rle) {
        out.Put(line.data(), line.size());
      } else if (total == 24) {
        for (int32_t c = 0; c < 3; ++c)
          out.Put(encoded.data(), static_cast<size_t>(PCXEncodeLine(
                                      encoded.data(), line.data() + static_cast<size_t>(c) * bytesPerLine, width, 1, 0)));
      } else {
        out.Put(encoded.data(), static_cast<size_t>(PCXEncodeLine(encoded.data(), line.data(), dataBytes, 1, 0)));
      }
    }
    if (total == 8 && !failed && !Progress.IsAborting()) {
      uint8_t tail[769];
      tail[0] = 12;
      for (int i = 0; i < 256; ++i) {
        tail[1 + 3 * i] = palette[i].r;
        tail[2 + 3 * i] = palette[i].g;
        tail[3 + 3 * i] = palette[i].b;
      }
      out.Put(tail, sizeof tail);
    }
  }
  if (failed) Progress.Abort();
}
