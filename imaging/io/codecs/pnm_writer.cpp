// PBM, PGM and PPM writing: the variant, the header with its comments, the rows.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/color_converter.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/system/streams.h"

namespace {

enum TPXMVariant { pvP4, pvP5, pvP5Wide, pvP6Wide, pvP6 };

TPXMVariant VariantOf(TIEBitmap& bitmap, const TIOParamsVals& p) {
  const TIEPixelFormat f = bitmap.PixelFormat();
  if ((p.BitsPerSample == 1 && p.SamplesPerPixel == 1) || f == ie1g) return pvP4;
  if (p.BitsPerSample == 8 && p.SamplesPerPixel == 1) return pvP5;
  if (f == ie16g || (p.BitsPerSample == 16 && p.SamplesPerPixel == 1)) return pvP5Wide;
  if ((p.BitsPerSample == 16 && p.SamplesPerPixel == 3) || f == ieRGB48) return pvP6Wide;
  return pvP6;
}

void PutBigEndian(uint8_t* out, uint16_t v) {
  out[0] = static_cast<uint8_t>(v >> 8);
  out[1] = static_cast<uint8_t>(v);
}

}  // namespace

void WritePXMStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  if (Progress.IsAborting()) return;
  if (Bitmap.IsEmpty()) {
    Progress.Abort();
    return;
  }
  const TPXMVariant variant = VariantOf(Bitmap, Params);
  // The pixels the rows come from: ie1g for P4, ie16g or ie24RGB for 16-bit P5, ieRGB48 or ie24RGB
  // for 16-bit P6, ie24RGB otherwise.
  const TIEPixelFormat f = Bitmap.PixelFormat();
  TIEPixelFormat need = ie24RGB;
  if (variant == pvP4) need = ie1g;
  if ((variant == pvP5Wide && f == ie16g) || (variant == pvP6Wide && f == ieRGB48)) need = f;
  TIEBitmap* source = &Bitmap;
  std::unique_ptr<TIEBitmap> work;
  if (f != need) {
    work = need == ie1g ? BilevelCopy(Bitmap) : IEConvertedCopy(Bitmap, need);
    source = work.get();
  }
  if (!source) {
    Progress.Abort();
    return;
  }

  const int32_t width = Bitmap.Width(), height = Bitmap.Height();
  // A comment's line breaks would end it early and put its words among the header's tokens.
  std::string comments;
  for (std::string line : Params.PxmComments) {
    std::replace_if(line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    comments += "\n# " + line + "\n";
  }
  static const char* const kMagic[] = {"P4 ", "P5 ", "P5 ", "P6 ", "P6 "};
  std::string head = kMagic[variant] + comments + std::to_string(width) + " " + std::to_string(height);
  if (variant == pvP5 || variant == pvP6) head += " 255";
  if (variant == pvP5Wide || variant == pvP6Wide) head += " 65535";
  head += "\n";

  bool failed = false;
  {
    TIEStreamWriter out(Stream, failed);
    out.Put(head.data(), head.size());
    const int32_t channels = variant == pvP6 || variant == pvP6Wide ? 3 : 1;
    const bool wide = variant == pvP5Wide || variant == pvP6Wide;
    const size_t rowBytes =
        variant == pvP4 ? static_cast<size_t>((width + 7) / 8) : static_cast<size_t>(width) * channels * (wide ? 2 : 1);
    std::vector<uint8_t> row(rowBytes);
    std::vector<uint8_t> grey(variant == pvP5Wide && need == ie24RGB ? static_cast<size_t>(width) : 0);
    Progress.PerRow = 100.0 / height;
    for (int32_t y = 0; y < height && !failed; ++y) {
      auto* src = static_cast<uint8_t*>(source->GetRow(y));
      switch (variant) {
        case pvP4:
          std::copy_n(src, rowBytes, row.begin());
          InvertBuffer(row.data(), static_cast<int64_t>(rowBytes));
          break;
        case pvP5: ConvertColorRow(src, iecsBGR, row.data(), iecsGray, width, nullptr); break;
        case pvP5Wide:
          if (need == ie16g) {
            const auto* s = reinterpret_cast<const uint16_t*>(src);
            for (int32_t x = 0; x < width; ++x) PutBigEndian(row.data() + 2 * x, s[x]);
          } else {
            ConvertColorRow(src, iecsBGR, grey.data(), iecsGray, width, nullptr);
            for (int32_t x = 0; x < width; ++x) PutBigEndian(row.data() + 2 * x, static_cast<uint16_t>(grey[x] * 257));
          }
          break;
        case pvP6Wide:
          if (need == ieRGB48) {
            const auto* s = reinterpret_cast<const uint16_t*>(src);
            for (int32_t i = 0; i < 3 * width; ++i) PutBigEndian(row.data() + 2 * i, s[i]);
          } else {
            // Blue, green, red bytes to red, green, blue words.
            for (int32_t x = 0; x < width; ++x)
              for (int32_t c = 0; c < 3; ++c)
                PutBigEndian(row.data() + 6 * x + 2 * c, static_cast<uint16_t>(src[3 * x + 2 - c] * 257));
          }
          break;
        case pvP6: CopySwapRB(row.data(), src, width); break;
      }
      out.Put(row.data(), rowBytes);
      Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y + 1) * 100 / height));
    }
  }
  if (failed) Progress.Abort();
}
