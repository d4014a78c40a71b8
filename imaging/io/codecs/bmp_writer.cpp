// BMP writing: the depth, the headers (patched at the end), the palette and the rows.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_quantizer.h"
#include "platform/system/streams.h"

namespace {

int32_t ColorsImportant(int32_t bits) {
  switch (bits) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    case 24: return 16777216;
    default: return 1;
  }
}


}  // namespace

uint32_t BMPPixelsPerMetre(int32_t Dpi) {
  const double ppm = std::clamp(std::nearbyint(Dpi / 2.54 * 100), double{INT32_MIN}, double{INT32_MAX});
  return static_cast<uint32_t>(static_cast<int32_t>(ppm));
}

void WriteBMPStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    bool UseAlpha) {
  if (Progress.IsAborting()) return;
  const int32_t width = Bitmap.Width();
  const int32_t height = Bitmap.Height();
  if (Bitmap.IsEmpty()) {
    Progress.Abort();
    return;
  }
  int32_t bits;
  if (Params.BitsPerSample == 1 || Params.BitsPerSample == 4)
    bits = Params.BitsPerSample;
  else if (Params.SamplesPerPixel == 1)
    bits = 8;
  else
    bits = Bitmap.HasAlphaChannel() ? 32 : 24;
  const bool core = Params.BmpVersion == 2;
  if (core && (width > 65535 || height > 65535)) {
    Progress.Abort();
    return;
  }
  const bool rle = !core && Params.BmpCompression == 1 && (bits == 4 || bits == 8);

  // The pixels the rows come from, in a format the writer reads: ie1g, ie8p or ie24RGB.
  TIEBitmap* source = &Bitmap;
  std::unique_ptr<TIEBitmap> work;
  std::array<TIERGB, 256> palette{};
  int32_t paletteCount = 0;
  std::unique_ptr<TIEQuantizer> quantizer;
  if (bits == 1) {
    paletteCount = 2;
    palette[0] = CreateRGB(0, 0, 0);
    palette[1] = CreateRGB(255, 255, 255);
    if (Bitmap.PixelFormat() != ie1g) {
      work = BilevelCopy(Bitmap, &palette[0], &palette[1]);
      source = work.get();
    }
  } else if (bits == 4 || bits == 8) {
    paletteCount = 1 << bits;
    const bool keepIndices = Bitmap.PixelFormat() == ie8p && MaxPaletteIndex(Bitmap) < paletteCount;
    if (!keepIndices && Bitmap.PixelFormat() != ie24RGB) {
      work = IEConvertedCopy(Bitmap, ie24RGB);
      source = work.get();
    }
    if (source)
      quantizer = std::make_unique<TIEQuantizer>(*source, std::span<TIERGB>(palette.data(), paletteCount), 0,
                                                 paletteCount);
  } else if (Bitmap.PixelFormat() != ie24RGB) {
    work = IEConvertedCopy(Bitmap, ie24RGB);
    source = work.get();
  }
  if (!source) {
    Progress.Abort();
    return;
  }
  if (paletteCount > 0) {
    Params.SetColorMap(palette.data(), paletteCount);
    Params.ColorMapCount = paletteCount;
  }

  const int64_t start = Stream.Position();
  bool failed = false;
  const int32_t infoSize = core ? 12 : (Params.BmpVersion == 3 ? 64 : 40);
  std::vector<uint8_t> head(static_cast<size_t>(14 + infoSize), 0);
  head[0] = 'B';
  head[1] = 'M';
  uint8_t* info = head.data() + 14;
  IEPutU32(info, static_cast<uint32_t>(infoSize), false);
  if (core) {
    IEPutU16(info + 4, static_cast<uint16_t>(width), false);
    IEPutU16(info + 6, static_cast<uint16_t>(height), false);
    IEPutU16(info + 8, 1, false);
  } else {
    IEPutU32(info + 4, static_cast<uint32_t>(width), false);
    IEPutU32(info + 8, static_cast<uint32_t>(height), false);
    IEPutU16(info + 12, 1, false);
    IEPutU32(info + 16, rle ? (bits == 4 ? 2u : 1u) : 0u, false);
    IEPutU32(info + 24, BMPPixelsPerMetre(Params.DpiX), false);
    IEPutU32(info + 28, BMPPixelsPerMetre(Params.DpiY), false);
    IEPutU32(info + 32, bits <= 8 ? 1u << bits : 0u, false);
    IEPutU32(info + 36, static_cast<uint32_t>(ColorsImportant(bits)), false);
  }
  Progress.PerRow = 100.0 / height;

  int64_t pixelStart = 0;
  {
    TIEStreamWriter out(Stream, failed);
    out.Put(head.data(), head.size());
    for (int32_t i = 0; i < paletteCount; ++i) {
      const uint8_t entry[4] = {palette[i].b, palette[i].g, palette[i].r, 0};
      out.Put(entry, core ? 3 : 4);
    }
    pixelStart = start + static_cast<int64_t>(head.size()) + int64_t{paletteCount} * (core ? 3 : 4);

    const int64_t rowBytes = RowLength64(width, bits);
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
    std::vector<uint8_t> indices(bits == 4 || bits == 8 ? static_cast<size_t>(width) : 0);
    std::vector<uint8_t> encoded(rle ? static_cast<size_t>(width) * 2 + 16 : 0);
    TIEBitmap* alpha = bits == 32 && UseAlpha ? Bitmap.GetAlphaChannel() : nullptr;
    for (int32_t y = height - 1; y >= 0; --y) {
      const int32_t done = height - 1 - y;
      Progress.Report(static_cast<int32_t>(static_cast<int64_t>(done) * 100 / height));
      if (Progress.IsAborting() || failed) break;
      const auto* src = static_cast<const uint8_t*>(source->GetRow(y));
      switch (bits) {
        case 1:
          std::memcpy(row.data(), src, static_cast<size_t>(std::min<int64_t>(rowBytes, source->RowLen())));
          break;
        case 4:
        case 8: {
          if (source->PixelFormat() == ie8p) {
            std::memcpy(indices.data(), src, static_cast<size_t>(width));
          } else {
            const auto* px = reinterpret_cast<const TIERGB*>(src);
            for (int32_t x = 0; x < width; ++x) indices[x] = static_cast<uint8_t>(quantizer->RGBIndex(px[x]));
          }
          if (rle) {
            const int32_t n = bits == 8 ? EncodeRLE8Row(indices.data(), width, encoded.data())
                                        : EncodeRLE4Row(indices.data(), width, encoded.data());
            out.Put(encoded.data(), static_cast<size_t>(n));
            continue;
          }
          if (bits == 8) {
            std::memcpy(row.data(), indices.data(), static_cast<size_t>(width));
          } else {
            std::fill(row.begin(), row.end(), 0);
            for (int32_t x = 0; x < width; ++x) row[x >> 1] |= static_cast<uint8_t>((indices[x] & 15) << ((x & 1) ? 0 : 4));
          }
          break;
        }
        case 24:
          std::memcpy(row.data(), src, static_cast<size_t>(width) * 3);
          break;
        default: {  // 32
          const auto* a = alpha ? static_cast<const uint8_t*>(alpha->GetRow(y)) : nullptr;
          for (int32_t x = 0; x < width; ++x) {
            row[4 * x] = src[3 * x];
            row[4 * x + 1] = src[3 * x + 1];
            row[4 * x + 2] = src[3 * x + 2];
            row[4 * x + 3] = a ? a[x] : 255;
          }
          break;
        }
      }
      out.Put(row.data(), row.size());
    }
    if (rle && !Progress.IsAborting()) {
      const uint8_t endOfBitmap[2] = {0, 1};
      out.Put(endOfBitmap, 2);
    }
  }
  if (failed) Progress.Abort();
  if (Progress.IsAborting()) return;

  // The sizes are known now: the headers are completed in place.
  const int64_t end = Stream.Position();
  IEPutU32(head.data() + 2, static_cast<uint32_t>(end - start), false);
  IEPutU32(head.data() + 10, static_cast<uint32_t>(pixelStart - start), false);
  if (core) {
    IEPutU16(info + 10, static_cast<uint16_t>(bits), false);
  } else {
    IEPutU16(info + 14, static_cast<uint16_t>(bits), false);
    IEPutU32(info + 20, static_cast<uint32_t>(end - pixelStart), false);
  }
  Stream.Seek(start, soBeginning);
  SafeStreamWrite(Stream, failed, head.data(), static_cast<int32_t>(head.size()));
  Stream.Seek(end, soBeginning);
  if (failed) Progress.Abort();
}
