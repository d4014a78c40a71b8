// PNG side by side with libvips (vips_pngload_buffer / vips_pngsave_buffer) and ImageMagick
// (MagickCore BlobToImage / ImageToBlob), all in this process, from memory to memory, one thread
// each, on the shared 6000 x 4000 photo-like picture (8-bit RGB):
//   - encode at zlib level 5 and 6 with no filter and with Paeth, every tool set alike (no ancillary
//     chunks asked for; ImageMagick told to leave them out; ImageMagick 6 cannot filter by Paeth
//     alone and filters adaptively there); the file sizes are compared too;
//   - decode of the files ours wrote at level 6 (either filter) into 8-bit RGB: ours into a bitmap
//     that already has the size and into a fresh one, libvips into memory it allocates, ImageMagick
//     into its pixel cache.
// Every output is checked: each file decoded by our reader and compared with the picture, each peer's
// decoding compared with the picture (all exact: PNG is lossless). Each row shows the processor time
// beside the wall time, which a busy machine stretches.
//   peer_png <unused folder> [runs]
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_codec_inputs.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_registry.h"

// After the engine's headers: the peers' headers define names the engine uses.
#include <magick/MagickCore.h>
#include <vips/vips.h>

using namespace bench_inputs;
using namespace peers;

namespace {

constexpr int32_t kWidth = kLargeWidth;
constexpr int32_t kHeight = kLargeHeight;
using Bytes = std::vector<uint8_t>;

std::string Agreement(const Bytes& expected, const Bytes& a) {
  if (expected.size() != a.size()) return "other size";
  size_t differ = 0;
  for (size_t i = 0; i < a.size(); ++i) differ += expected[i] != a[i];
  return differ == 0 ? "exact" : std::to_string(differ) + " samples differ";
}

// The processor time beside the wall time: on a busy machine the wall time of one thread grows with
// the load, its processor time barely. "cpu <median ms> (ours / it)".
std::string CpuText(const Contender& c, const Contender* ours) {
  char s[64];
  if (ours)
    std::snprintf(s, sizeof s, "cpu %.1f (%.2f), ", c.CpuMedian(), ours->CpuMedian() / c.CpuMedian());
  else
    std::snprintf(s, sizeof s, "cpu %.1f, ", c.CpuMedian());
  return s;
}

// A file read back by our reader, compared with the picture.
std::string ReadBack(const Bytes& file, const Bytes& expected) {
  TIEBitmap b;
  if (!DecodePng(file, b)) return "unreadable";
  return Agreement(expected, RgbOf(b));
}

Bytes VipsEncode(VipsImage* image, int32_t level, uint8_t filter) {
  void* buf = nullptr;
  size_t len = 0;
  const int flt = filter == 2 ? VIPS_FOREIGN_PNG_FILTER_PAETH : VIPS_FOREIGN_PNG_FILTER_NONE;
  if (vips_pngsave_buffer(image, &buf, &len, "compression", level, "filter", flt, "strip", TRUE, nullptr)) {
    vips_error_clear();
    return {};
  }
  Bytes out(static_cast<uint8_t*>(buf), static_cast<uint8_t*>(buf) + len);
  g_free(buf);
  return out;
}

Bytes VipsDecode(const Bytes& file) {
  VipsImage* image = nullptr;
  if (vips_pngload_buffer(const_cast<uint8_t*>(file.data()), file.size(), &image, nullptr)) {
    vips_error_clear();
    return {};
  }
  size_t size = 0;
  void* pixels = vips_image_write_to_memory(image, &size);
  g_object_unref(image);
  if (!pixels) return {};
  Bytes out(static_cast<uint8_t*>(pixels), static_cast<uint8_t*>(pixels) + size);
  g_free(pixels);
  return out;
}

Bytes MagickEncode(const Image* image, int32_t level, uint8_t filter) {
  ImageInfo* info = CloneImageInfo(nullptr);
  std::strcpy(info->magick, "PNG24");
  // The level, the filter and zlib's default strategy. ImageMagick 6 writes unfiltered rows for the
  // filter values 1 to 4 and filters adaptively (per row) for 0 and 5 (pngcheck -vv shows it): "no
  // filter" is asked as 1; Paeth alone it cannot do, so for Paeth it filters adaptively.
  SetImageOption(info, "png:compression-level", std::to_string(level).c_str());
  SetImageOption(info, "png:compression-filter", filter == 2 ? "5" : "1");
  SetImageOption(info, "png:compression-strategy", "0");
  SetImageOption(info, "png:exclude-chunk", "all");
  ExceptionInfo* exception = AcquireExceptionInfo();
  size_t len = 0;
  Image* copy = CloneImage(image, 0, 0, MagickTrue, exception);
  std::strcpy(copy->magick, "PNG24");
  void* blob = ImageToBlob(info, copy, &len, exception);
  Bytes out;
  if (blob) out.assign(static_cast<uint8_t*>(blob), static_cast<uint8_t*>(blob) + len);
  RelinquishMagickMemory(blob);
  DestroyImage(copy);
  DestroyExceptionInfo(exception);
  DestroyImageInfo(info);
  return out;
}

// Decodes the file; with Pixels, its 8-bit RGB pixels too (outside the timed part).
Image* MagickDecode(const Bytes& file) {
  ImageInfo* info = CloneImageInfo(nullptr);
  std::strcpy(info->magick, "PNG");
  ExceptionInfo* exception = AcquireExceptionInfo();
  Image* image = BlobToImage(info, file.data(), file.size(), exception);
  DestroyExceptionInfo(exception);
  DestroyImageInfo(info);
  return image;
}

Bytes MagickPixels(Image* image) {
  if (!image) return {};
  Bytes out(image->columns * image->rows * 3);
  ExceptionInfo* exception = AcquireExceptionInfo();
  ExportImagePixels(image, 0, 0, image->columns, image->rows, "RGB", CharPixel, out.data(), exception);
  DestroyExceptionInfo(exception);
  return out;
}

std::string SizeText(size_t bytes, size_t ours) {
  char s[64];
  std::snprintf(s, sizeof s, "%.2f MB (ours / it %.3f)", bytes / 1e6, ours / static_cast<double>(bytes));
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (VIPS_INIT(argv[0])) return 1;
  vips_concurrency_set(1);
  vips_cache_set_max(0);
  MagickCoreGenesis(argv[0], MagickFalse);
  SetMagickResourceLimit(ThreadResource, 1);
  InitializeZodazUrIO();
  std::printf("peer_png: %d runs each, medians, one thread; libvips %s, %s\n", runs, vips_version_string(),
              GetMagickVersion(nullptr));

  TIEBitmap photo;
  PaintPhoto(photo, kWidth, kHeight);
  const Bytes rgb = RgbOf(photo);
  VipsImage* vipsImage = vips_image_new_from_memory(rgb.data(), rgb.size(), kWidth, kHeight, 3, VIPS_FORMAT_UCHAR);
  ExceptionInfo* exception = AcquireExceptionInfo();
  Image* magickImage = ConstituteImage(kWidth, kHeight, "RGB", CharPixel, rgb.data(), exception);
  DestroyExceptionInfo(exception);
  if (!vipsImage || !magickImage) return 1;

  Bytes oursFiles[2];
  for (const int32_t level : {5, 6})
    for (const uint8_t filter : {uint8_t{0}, uint8_t{2}}) {
      char title[96];
      std::snprintf(title, sizeof title, "encode PNG %dx%d RGB, zlib level %d, %s", kWidth, kHeight, level,
                    filter ? "Paeth" : "no filter");
      Bytes ours, vips, magick;
      std::vector<Contender> c = {
          {"ours", 1, [&] { return TimedMs([&] { ours = EncodePng(photo, level, filter); }); }, {}, {}},
          {"libvips", 1, [&] { return TimedMs([&] { vips = VipsEncode(vipsImage, level, filter); }); }, {}, {}},
          {"ImageMagick", 1, [&] { return TimedMs([&] { magick = MagickEncode(magickImage, level, filter); }); }, {}, {}},
      };
      RunInTurn(c, runs);
      PrintHeader(title);
      PrintRow("ours", "1", c[0].Median(), 0,
               CpuText(c[0], nullptr) + SizeText(ours.size(), ours.size()) + ", read back: " + ReadBack(ours, rgb));
      PrintRow("libvips", "1", c[1].Median(), c[0].Median(),
               CpuText(c[1], &c[0]) + SizeText(vips.size(), ours.size()) + ", read back: " + ReadBack(vips, rgb));
      PrintRow(filter ? "ImageMagick (adaptive: no Paeth alone)" : "ImageMagick", "1", c[2].Median(), c[0].Median(),
               CpuText(c[2], &c[0]) + SizeText(magick.size(), ours.size()) + ", read back: " + ReadBack(magick, rgb));
      if (level == 6) oursFiles[filter ? 1 : 0] = ours;
    }

  for (int f = 0; f < 2; ++f) {
    const Bytes& file = oursFiles[f];
    char title[96];
    std::snprintf(title, sizeof title, "decode PNG %dx%d RGB written by ours at level 6, %s (%.1f MB)", kWidth, kHeight,
                  f ? "Paeth" : "no filter", file.size() / 1e6);
    TIEBitmap sized(kWidth, kHeight, ie24RGB);
    std::unique_ptr<TIEBitmap> fresh;
    Bytes vips;
    Image* magick = nullptr;
    std::vector<Contender> c = {
        {"ours, into a sized bitmap", 1, [&] { return TimedMs([&] { DecodePng(file, sized); }); }, {}, {}},
        {"ours, into a fresh bitmap", 1,
         [&] {
           fresh = std::make_unique<TIEBitmap>();
           return TimedMs([&] { DecodePng(file, *fresh); });
         },
         {}, {}},
        {"libvips", 1, [&] { return TimedMs([&] { vips = VipsDecode(file); }); }, {}, {}},
        {"ImageMagick", 1,
         [&] {
           if (magick) DestroyImage(magick);
           return TimedMs([&] { magick = MagickDecode(file); });
         },
         {}, {}},
    };
    RunInTurn(c, runs);
    PrintHeader(title);
    PrintRow(c[0].Tool, "1", c[0].Median(), 0, CpuText(c[0], nullptr) + Agreement(rgb, RgbOf(sized)));
    PrintRow(c[1].Tool, "1", c[1].Median(), 0, CpuText(c[1], nullptr) + Agreement(rgb, RgbOf(*fresh)));
    PrintRow("libvips", "1", c[2].Median(), c[0].Median(), CpuText(c[2], &c[0]) + Agreement(rgb, vips));
    PrintRow("ImageMagick", "1", c[3].Median(), c[0].Median(),
             CpuText(c[3], &c[0]) + Agreement(rgb, MagickPixels(magick)));
    std::printf("%-44s %10s %10s %8.2f  (ours into a fresh bitmap / the faster peer; cpu %.2f)\n", "", "", "",
                c[1].Median() / std::min(c[2].Median(), c[3].Median()),
                c[1].CpuMedian() / std::min(c[2].CpuMedian(), c[3].CpuMedian()));
    if (magick) DestroyImage(magick);
  }
  g_object_unref(vipsImage);
  DestroyImage(magickImage);
  MagickCoreTerminus();
  vips_shutdown();
  return 0;
}
