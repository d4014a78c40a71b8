// Icon writing: each size resized from the picture, brought to its depth, then the directory.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_quantizer.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kEntrySize = 16;

// The depth of one image: 1, 4, 8 and 32 as asked, 0 from the record, 24 for anything else.
int32_t DepthOf(int32_t asked, const TIOParamsVals& p) {
  switch (asked) {
    case 1:
    case 4:
    case 8:
    case 32: return asked;
    case 0:
      if (p.SamplesPerPixel == 3 && p.BitsPerSample == 8) return 24;
      if (p.SamplesPerPixel == 4 && p.BitsPerSample == 8) return 32;
      if (p.SamplesPerPixel == 1 && p.BitsPerSample == 1) return 1;
      if (p.SamplesPerPixel == 1 && p.BitsPerSample == 4) return 4;
      return 8;
    default: return 24;
  }
}


// The picture resized to one image's size in the pixel format its depth needs: ie1g for depth 1 (a
// two-colour picture keeps its darker colour as 0), ie24RGB for the others. Its alpha channel comes
// along. The source itself when it already is that (Holder stays empty); nil when memory fails.
TIEBitmap* ImageAt(TIEBitmap& source, int32_t width, int32_t height, int32_t depth,
                   std::unique_ptr<TIEBitmap>& holder) {
  const bool bilevel = source.PixelFormat() == ie1g;
  const bool want1 = depth == 1;
  if (source.Width() == width && source.Height() == height && want1 == bilevel) return &source;
  holder = std::make_unique<TIEBitmap>();
  if (!holder->Allocate(width, height, bilevel ? ie1g : ie24RGB)) return nullptr;
  ResampleBitmap(source, *holder, bilevel ? rfNone : rfFastLinear, {}, nullptr);
  std::unique_ptr<TIEBitmap> sized = std::move(holder);
  if (want1 == (sized->PixelFormat() == ie1g)) {
    holder = std::move(sized);
    return holder.get();
  }
  std::unique_ptr<TIEBitmap> converted = want1 ? BilevelCopy(*sized) : IEConvertedCopy(*sized, ie24RGB);
  if (!converted) return nullptr;
  if (sized->HasAlphaChannel() && !converted->HasAlphaChannel())
    converted->SetAlphaChannel(sized->SetAlphaChannel(nullptr));
  holder = std::move(converted);
  return holder.get();
}

}  // namespace

void WriteICOStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, const int32_t* BitCounts,
                    const TIOICOSize* Sizes, int32_t Count, TIEProgressRecord& Progress) {
  if (Progress.IsAborting()) return;
  if (Count <= 0 || Count > 65535 || Bitmap.IsEmpty()) {
    Progress.Abort();
    return;
  }
  for (int32_t i = 0; i < Count; ++i)
    if (Sizes[i].Width < 1 || Sizes[i].Height < 1 || Sizes[i].Width > 65535 || Sizes[i].Height > 32767) {
      Progress.Abort();
      return;
    }
  // The source: ie24RGB or ie1g, with its alpha channel.
  TIEBitmap* source = &Bitmap;
  std::unique_ptr<TIEBitmap> work;
  if (Bitmap.PixelFormat() != ie24RGB && Bitmap.PixelFormat() != ie1g) {
    work = IEConvertedCopy(Bitmap, ie24RGB);
    if (!work) {
      Progress.Abort();
      return;
    }
    source = work.get();
  }
  Params.FreeColorMap();
  Params.ColorMapCount = 0;
  if (source->PixelFormat() != ie24RGB) {
    Params.BitsPerSample = 1;
    Params.SamplesPerPixel = 1;
  }

  const int64_t start = Stream.Position();
  bool failed = false;
  struct TWritten {
    int64_t start, bytes;
    int32_t depth;
  };
  std::vector<TWritten> written;
  {
    TIEStreamWriter out(Stream, failed);
    uint8_t head[6] = {0, 0, 1, 0, 0, 0};
    IEPutU16(head + 4, static_cast<uint16_t>(Count), false);
    out.Put(head, sizeof head);
    // The directory is filled in once the images' places are known.
    const std::vector<uint8_t> placeholder(static_cast<size_t>(Count) * kEntrySize, 0);
    out.Put(placeholder.data(), placeholder.size());
    Progress.PerPage = 100.0 / Count;

    for (int32_t i = 0; i < Count; ++i) {
      Progress.Report(static_cast<int32_t>(static_cast<int64_t>(i) * 100 / Count));
      if (Progress.IsAborting() || failed) break;
      const int32_t depth = DepthOf(BitCounts[i], Params);
      const int32_t width = Sizes[i].Width, height = Sizes[i].Height;
      std::unique_ptr<TIEBitmap> holder;
      TIEBitmap* image = ImageAt(*source, width, height, depth, holder);
      if (!image) {
        Progress.Abort();
        break;
      }
      TIEBitmap* alpha = image->HasAlphaChannel() ? image->GetAlphaChannel() : nullptr;
      const int64_t imageStart = out.Count();

      const int64_t colorRow = (int64_t{width} * depth + 31) / 32 * 4;
      const int64_t maskRow = (int64_t{width} + 31) / 32 * 4;
      uint8_t info[40] = {};
      IEPutU32(info, 40, false);
      IEPutU32(info + 4, static_cast<uint32_t>(width), false);
      IEPutU32(info + 8, static_cast<uint32_t>(height * 2), false);
      IEPutU16(info + 12, 1, false);
      IEPutU16(info + 14, static_cast<uint16_t>(depth), false);
      uint32_t imageSize = 0;
      if (depth == 1) imageSize = static_cast<uint32_t>(colorRow * height + int64_t{width} * height / 8);
      if (depth == 4 || depth == 8) imageSize = static_cast<uint32_t>(int64_t{width} * height / 8 + height * colorRow);
      IEPutU32(info + 20, imageSize, false);
      IEPutU32(info + 24, BMPPixelsPerMetre(Params.DpiX), false);
      IEPutU32(info + 28, BMPPixelsPerMetre(Params.DpiY), false);
      out.Put(info, sizeof info);

      // Palettes: black and white for depth 1; black, then the quantizer's colours for 4 and 8.
      std::array<TIERGB, 256> palette{};
      std::unique_ptr<TIEQuantizer> quantizer;
      if (depth == 1) {
        const uint8_t table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
        out.Put(table, sizeof table);
      } else if (depth == 4 || depth == 8) {
        const int32_t entries = 1 << depth;
        quantizer = std::make_unique<TIEQuantizer>(*image, std::span<TIERGB>(palette.data(), entries - 1), 0, entries - 1);
        Params.SetColorMap(palette.data(), entries);
        Params.ColorMapCount = entries;
        const uint8_t black[4] = {0, 0, 0, 0};
        out.Put(black, 4);
        for (int32_t k = 0; k < entries - 1; ++k) {
          const uint8_t e[4] = {palette[k].b, palette[k].g, palette[k].r, 0};
          out.Put(e, 4);
        }
      }

      std::vector<uint8_t> row(static_cast<size_t>(colorRow), 0);
      std::vector<uint8_t> indices(depth == 4 || depth == 8 ? static_cast<size_t>(width) : 0);
      for (int32_t y = height - 1; y >= 0; --y) {
        const auto* src = static_cast<const uint8_t*>(image->GetRow(y));
        const uint8_t* a = alpha ? static_cast<const uint8_t*>(alpha->GetRow(y)) : nullptr;
        std::fill(row.begin(), row.end(), 0);
        switch (depth) {
          case 1: std::memcpy(row.data(), src, static_cast<size_t>((width + 7) / 8)); break;
          case 24: std::memcpy(row.data(), src, static_cast<size_t>(width) * 3); break;
          case 32: AddAlphaToRow(src, a, row.data(), width); break;
          default: {
            // Index 0 for pixels that are not fully opaque, else the quantizer's index after it.
            quantizer->IndexRow(src, indices.data(), width);
            for (int32_t x = 0; x < width; ++x) {
              const uint8_t index = a && a[x] != 255 ? 0 : static_cast<uint8_t>(indices[x] + 1);
              if (depth == 8)
                row[x] = index;
              else
                row[x >> 1] |= static_cast<uint8_t>(index << ((x & 1) ? 0 : 4));
            }
            break;
          }
        }
        out.Put(row.data(), row.size());
      }
      // The AND mask: set where the alpha is not 255.
      std::vector<uint8_t> andRow(static_cast<size_t>(maskRow), 0);
      for (int32_t y = height - 1; y >= 0; --y) {
        if (alpha) AlphaToTransparencyBits(static_cast<const uint8_t*>(alpha->GetRow(y)), andRow.data(), width);
        out.Put(andRow.data(), andRow.size());
      }
      written.push_back({imageStart, out.Count() - imageStart, depth});
    }
  }
  if (failed || Progress.IsAborting()) {
    Progress.Abort();
    return;
  }

  // The directory, now that every image's place and size are known.
  const int64_t end = Stream.Position();
  std::vector<uint8_t> directory(static_cast<size_t>(Count) * kEntrySize, 0);
  for (int32_t i = 0; i < Count; ++i) {
    uint8_t* e = directory.data() + static_cast<size_t>(i) * kEntrySize;
    const int32_t depth = written[i].depth;
    e[0] = static_cast<uint8_t>(Sizes[i].Width);
    e[1] = static_cast<uint8_t>(Sizes[i].Height);
    e[2] = depth <= 8 ? static_cast<uint8_t>(std::min(1 << depth, 255)) : 0;
    IEPutU16(e + 4, depth > 8 ? 1 : 0, false);
    IEPutU16(e + 6, static_cast<uint16_t>(depth > 8 ? depth : 0), false);
    IEPutU32(e + 8, static_cast<uint32_t>(written[i].bytes), false);
    IEPutU32(e + 12, static_cast<uint32_t>(written[i].start), false);
  }
  Stream.Seek(start + 6, soBeginning);
  SafeStreamWrite(Stream, failed, directory.data(), static_cast<int32_t>(directory.size()));
  Stream.Seek(end, soBeginning);
  if (failed) Progress.Abort();
}
