// TIFF reading, writing and fax coding side by side with libtiff through libvips
// (vips_tiffload_buffer / vips_tiffsave_buffer), in this process, from memory to memory, one thread
// each:
//   - encode of the 6000 x 4000 photo-like picture uncompressed, LZW with the horizontal predictor
//     and deflate at zlib level 6 (TiffZipCompression 1) without predictor: ours (WriteTIFFStream)
//     and libvips, each file read back by the other side, sizes compared;
//   - decode of the 6000 x 4000 photo-like picture written by libtiff uncompressed, LZW with the
//     horizontal predictor and deflate (level 6, predictor): ours (ReadTIFFStream into a sized and
//     into a fresh bitmap) and libvips (into memory it allocates);
//   - an A4 page at 300 dpi of text-like strokes (2480 x 3508, bilevel): Group 4 encode (ours: the
//     fax coder over the page's rows; libvips: a bilevel TIFF with CCITT G4) with the sizes compared,
//     G4 decode of libtiff's file (ours: ReadTIFFStream; libvips), and our Group 3 2-D encode (libvips
//     writes no G3; bench/compare_tiff.sh times tiffcp for it).
// Every output is checked: ours and libvips' decodings against the picture (exact), our G4 data
// decoded again by libvips.
// Then one-step conversions file to file: libtiff's tiffcp as a child process (its processor time
// from the kernel's account of children, its start-up measured on a one-pixel file and shown
// beside) and ours in this process (ReadTIFFStream from the file, WriteTIFFStream to a file), LZW
// to none for the photo and none to Group 4 for the page; the outputs decoded and compared.
//   peer_tiff <scratch folder> [runs [convert]]     ("convert": only the conversions)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_codec_inputs.h"
#include "bench/bench_text_page.h"
#include "bench/bench_tiff_convert.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/codecs/tiff_ccitt.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

#include <vips/vips.h>

using namespace bench_inputs;
using namespace peers;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int32_t kPageW = 2480, kPageH = 3508;

std::string Agreement(const Bytes& expected, const Bytes& a) {
  if (expected.size() != a.size()) return "other size";
  size_t differ = 0;
  for (size_t i = 0; i < a.size(); ++i) differ += expected[i] != a[i];
  return differ == 0 ? "exact" : std::to_string(differ) + " samples differ";
}

bool OursDecode(const Bytes& file, TIEBitmap& b) {
  TIEMemStream s(file.data(), static_cast<int64_t>(file.size()));
  TIOParamsVals p(nullptr);
  p.IsNativePixelFormat = true;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TIEMask> mask;
  int32_t pages = 0;
  ReadTIFFStream(&b, s, pages, &p, progress, false, mask, false, true, false);
  return !aborting;
}

Bytes VipsSave(VipsImage* image, VipsForeignTiffCompression compression, bool predictor, bool bilevel) {
  void* buf = nullptr;
  size_t len = 0;
  const int rc = bilevel ? vips_tiffsave_buffer(image, &buf, &len, "compression", compression, "bitdepth", 1,
                                                "strip", TRUE, nullptr)
                         : vips_tiffsave_buffer(image, &buf, &len, "compression", compression, "predictor",
                                                predictor ? VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL
                                                          : VIPS_FOREIGN_TIFF_PREDICTOR_NONE,
                                                "level", 6, "strip", TRUE, nullptr);
  if (rc) {
    vips_error_clear();
    return {};
  }
  Bytes out(static_cast<uint8_t*>(buf), static_cast<uint8_t*>(buf) + len);
  g_free(buf);
  return out;
}

Bytes VipsDecode(const Bytes& file) {
  VipsImage* image = nullptr;
  if (vips_tiffload_buffer(const_cast<uint8_t*>(file.data()), file.size(), &image, nullptr)) {
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

// The photo as libtiff writes it with LZW and the predictor (the file a conversion starts from).
Bytes VipsSaveFile(TIEBitmap& photo, bool lzw) {
  const Bytes rgb = RgbOf(photo);
  VipsImage* image = vips_image_new_from_memory(rgb.data(), rgb.size(), photo.Width(), photo.Height(), 3,
                                                VIPS_FORMAT_UCHAR);
  const Bytes out = VipsSave(image, lzw ? VIPS_FOREIGN_TIFF_COMPRESSION_LZW : VIPS_FOREIGN_TIFF_COMPRESSION_NONE,
                             lzw, false);
  g_object_unref(image);
  return out;
}

// The page as encoder rows (1 = black).
std::vector<Bytes> EncoderRows(const Bytes& page) {
  std::vector<Bytes> rows(kPageH, Bytes((kPageW + 7) / 8));
  for (int32_t y = 0; y < kPageH; ++y)
    for (int32_t x = 0; x < kPageW; ++x)
      if (page[static_cast<size_t>(y) * kPageW + x] == 0) SetRowBit(rows[y].data(), x, 1);
  return rows;
}

Bytes EncodeFax(const std::vector<Bytes>& rows, bool g4) {
  TMemoryStream s;
  bool failed = false;
  uint8_t pendingByte = 0;
  int32_t pendingBits = 0;
  Bytes ref;
  for (const Bytes& r : rows) {
    if (g4) CCITTEncodeG4Row(r.data(), kPageW, s, pendingByte, pendingBits, ref, failed, 1);
    else CCITTEncodeG3Row2D(r.data(), kPageW, s, pendingByte, pendingBits, ref, failed, 1);
  }
  if (g4) CCITTEncodeG4Row(nullptr, kPageW, s, pendingByte, pendingBits, ref, failed, 1);
  else CCITTEncodeG3Row2D(nullptr, kPageW, s, pendingByte, pendingBits, ref, failed, 1);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

// Our G4 data as a one-strip bilevel TIFF (WhiteIsZero), so that libvips can read it back.
Bytes WrapG4(const Bytes& data) {
  Bytes f = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const uint16_t n = 8;
  auto put16 = [&](uint32_t v) { f.push_back(uint8_t(v)); f.push_back(uint8_t(v >> 8)); };
  auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) f.push_back(uint8_t(v >> (8 * i))); };
  const uint32_t dataAt = 8 + 2 + n * 12 + 4;
  put16(n);
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) { put16(tag); put16(type); put32(1); put32(value); };
  entry(256, 4, kPageW);
  entry(257, 4, kPageH);
  entry(258, 3, 1);
  entry(259, 3, 4);
  entry(262, 3, 0);
  entry(273, 4, dataAt);
  entry(278, 4, kPageH);
  entry(279, 4, static_cast<uint32_t>(data.size()));
  put32(0);
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

// Grey bytes (0 black, 255 white) of an ie1g bitmap.
Bytes GreyOf(TIEBitmap& b) {
  Bytes out(static_cast<size_t>(b.Width()) * b.Height());
  for (int32_t y = 0; y < b.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(b.GetRow(y));
    for (int32_t x = 0; x < b.Width(); ++x) out[static_cast<size_t>(y) * b.Width() + x] = GetRowBit(row, x) ? 255 : 0;
  }
  return out;
}

// Our TIFF of B with a TiffCompression (bilevel: one sample of one bit), into memory.
Bytes OursEncode(TIEBitmap& b, int compression, bool bilevel) {
  TMemoryStream s;
  TIOParamsVals p(nullptr);
  p.TiffCompression = static_cast<uint8_t>(compression);
  p.TiffZipCompression = 1;
  p.TiffLZWCompressor = TIFFLZWEncode;
  if (bilevel) {
    p.BitsPerSample = 1;
    p.SamplesPerPixel = 1;
  }
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteTIFFStream(s, false, &b, p, progress);
  const auto* d = static_cast<const uint8_t*>(s.Memory());
  return aborting ? Bytes{} : Bytes(d, d + s.Size());
}

// The processor time of the finished children, in milliseconds.
double ChildrenCpuMs() {
  rusage u;
  getrusage(RUSAGE_CHILDREN, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-3;
}

// A command run as a child: its wall time; LastCpuMs gets its processor time.
double TimedCommand(const std::string& command) {
  const double cpu0 = ChildrenCpuMs();
  const auto t0 = std::chrono::steady_clock::now();
  (void)std::system(command.c_str());
  const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  LastCpuMs() = ChildrenCpuMs() - cpu0;
  return wall;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  // "convert": only the file-to-file conversions (for profiling them).
  const bool onlyConversions = argc > 3 && std::string(argv[3]) == "convert";
  if (VIPS_INIT(argv[0])) return 1;
  vips_concurrency_set(1);
  vips_cache_set_max(0);
  InitializeZodazUrIO();
  std::printf("peer_tiff: %d runs each, medians, one thread; libvips %s\n", runs, vips_version_string());

  TIEBitmap photo;
  PaintPhoto(photo, kLargeWidth, kLargeHeight);
  const Bytes rgb = RgbOf(photo);
  VipsImage* image = vips_image_new_from_memory(rgb.data(), rgb.size(), kLargeWidth, kLargeHeight, 3, VIPS_FORMAT_UCHAR);
  if (!image) return 1;
  double worst = 0, worstWrite = 0;
  const Bytes page = MakeBenchTextPage(kPageW, kPageH);
  TIEBitmap pageBitmap(kPageW, kPageH, ie1g);
  for (int32_t y = 0; y < kPageH; ++y) {
    auto* row = static_cast<uint8_t*>(pageBitmap.GetRow(y));
    for (int32_t x = 0; x < kPageW; ++x) SetRowBit(row, x, page[static_cast<size_t>(y) * kPageW + x] != 0);
  }
  if (!onlyConversions) {
    struct Layout {
      const char* name;
      VipsForeignTiffCompression compression;
      bool predictor;
    };
    const Layout layouts[] = {{"uncompressed", VIPS_FOREIGN_TIFF_COMPRESSION_NONE, false},
                              {"LZW, predictor 2", VIPS_FOREIGN_TIFF_COMPRESSION_LZW, true},
                              {"deflate level 6, predictor 2", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE, true}};
    for (const Layout& l : layouts) {
      const Bytes file = VipsSave(image, l.compression, l.predictor, false);
      char title[128];
      std::snprintf(title, sizeof title, "decode TIFF %dx%d RGB, %s, written by libtiff (%.1f MB)", kLargeWidth,
                    kLargeHeight, l.name, file.size() / 1e6);
      TIEBitmap sized(kLargeWidth, kLargeHeight, ie24RGB);
      std::unique_ptr<TIEBitmap> fresh;
      Bytes vips;
      std::vector<Contender> c = {
          {"ours, into a sized bitmap", 1, [&] { return TimedMs([&] { OursDecode(file, sized); }); }, {}, {}},
          {"ours, into a fresh bitmap", 1,
           [&] {
             fresh = std::make_unique<TIEBitmap>();
             return TimedMs([&] { OursDecode(file, *fresh); });
           },
           {}, {}},
          {"libvips (libtiff)", 1, [&] { return TimedMs([&] { vips = VipsDecode(file); }); }, {}, {}},
      };
      RunInTurn(c, runs);
      PrintCpuHeader(title);
      PrintCpuRow(c[0], nullptr, Agreement(rgb, RgbOf(sized)));
      PrintCpuRow(c[1], nullptr, Agreement(rgb, RgbOf(*fresh)));
      PrintCpuRow(c[2], &c[1], Agreement(rgb, vips));
      worst = std::max(worst, c[1].CpuMedian() / c[2].CpuMedian());
    }
    // Encoding the photo.
    struct Encoding {
      const char* name;
      int ours;
      VipsForeignTiffCompression theirs;
      bool predictor;
    };
    const Encoding encodings[] = {{"uncompressed", 0, VIPS_FOREIGN_TIFF_COMPRESSION_NONE, false},
                                  {"LZW, predictor 2", 5, VIPS_FOREIGN_TIFF_COMPRESSION_LZW, true},
                                  {"deflate level 6", 9, VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE, false}};
    for (const Encoding& e : encodings) {
      Bytes ours, theirs;
      std::vector<Contender> c = {
          {"ours", 1, [&] { return TimedMs([&] { ours = OursEncode(photo, e.ours, false); }); }, {}, {}},
          {"libvips (libtiff)", 1, [&] { return TimedMs([&] { theirs = VipsSave(image, e.theirs, e.predictor, false); }); },
           {}, {}},
      };
      RunInTurn(c, runs);
      char title[128];
      std::snprintf(title, sizeof title, "encode TIFF %dx%d RGB, %s", kLargeWidth, kLargeHeight, e.name);
      PrintCpuHeader(title);
      TIEBitmap back;
      OursDecode(theirs, back);
      PrintCpuRow(c[0], nullptr, std::to_string(ours.size()) + " bytes, read by libvips: " + Agreement(rgb, VipsDecode(ours)));
      PrintCpuRow(c[1], &c[0], std::to_string(theirs.size()) + " bytes, read by ours: " + Agreement(rgb, RgbOf(back)));
      worstWrite = std::max(worstWrite, c[0].CpuMedian() / c[1].CpuMedian());
    }

    // The fax page.
    const std::vector<Bytes> rows = EncoderRows(page);
    VipsImage* grey = vips_image_new_from_memory(page.data(), page.size(), kPageW, kPageH, 1, VIPS_FORMAT_UCHAR);
    Bytes oursG4, vipsG4, oursG3, pageG4, pageG3;
    {
      std::vector<Contender> c = {
          {"ours G4 (rows already packed)", 1, [&] { return TimedMs([&] { oursG4 = EncodeFax(rows, true); }); }, {}, {}},
          {"libvips G4 (from grey)", 1,
           [&] { return TimedMs([&] { vipsG4 = VipsSave(grey, VIPS_FOREIGN_TIFF_COMPRESSION_CCITTFAX4, false, true); }); },
           {}, {}},
          {"ours G3 2-D", 1, [&] { return TimedMs([&] { oursG3 = EncodeFax(rows, false); }); }, {}, {}},
          {"ours, whole TIFF G4 from the bitmap", 1, [&] { return TimedMs([&] { pageG4 = OursEncode(pageBitmap, 4, true); }); },
           {}, {}},
          {"ours, whole TIFF G3 2-D from the bitmap", 1,
           [&] { return TimedMs([&] { pageG3 = OursEncode(pageBitmap, 3, true); }); }, {}, {}},
      };
      RunInTurn(c, runs);
      char title[128];
      std::snprintf(title, sizeof title, "encode A4 300 dpi bilevel page %dx%d", kPageW, kPageH);
      PrintCpuHeader(title);
      const Bytes back = VipsDecode(WrapG4(oursG4));
      PrintCpuRow(c[0], nullptr, std::to_string(oursG4.size()) + " bytes, read back by libvips: " + Agreement(page, back));
      PrintCpuRow(c[1], &c[0], std::to_string(vipsG4.size()) + " bytes (whole file)");
      PrintCpuRow(c[2], nullptr, std::to_string(oursG3.size()) + " bytes");
      PrintCpuRow(c[3], nullptr, std::to_string(pageG4.size()) + " bytes, read by libvips: " +
                                     Agreement(page, VipsDecode(pageG4)));
      PrintCpuRow(c[4], nullptr, std::to_string(pageG3.size()) + " bytes, read by libvips: " +
                                     Agreement(page, VipsDecode(pageG3)));
      worstWrite = std::max(worstWrite, c[3].CpuMedian() / c[1].CpuMedian());
    }
    {
      TIEBitmap sized(kPageW, kPageH, ie1g);
      Bytes vips;
      std::vector<Contender> c = {
          {"ours, G4 written by libtiff", 1, [&] { return TimedMs([&] { OursDecode(vipsG4, sized); }); }, {}, {}},
          {"libvips (libtiff)", 1, [&] { return TimedMs([&] { vips = VipsDecode(vipsG4); }); }, {}, {}},
      };
      RunInTurn(c, runs);
      PrintCpuHeader("decode the A4 page, Group 4");
      PrintCpuRow(c[0], nullptr, Agreement(page, GreyOf(sized)));
      PrintCpuRow(c[1], &c[0], Agreement(page, vips));
    }
    g_object_unref(grey);
  }
  g_object_unref(image);

  // File to file, one step: tiffcp as a child process, ours here.
  {
    const std::string lzw = folder + "/photo-lzw.tif", plain = folder + "/page-none.tif";
    WriteFile(lzw, VipsSaveFile(photo, true));
    WriteFile(plain, OursEncode(pageBitmap, 0, true));
    struct Step {
      const char* name;
      std::string in;
      const char* tiffcp;
      int ours;
      bool bilevel;
    };
    const Step steps[] = {{"photo LZW -> none", lzw, "none", 0, false}, {"A4 page none -> G4", plain, "g4", 4, true}};
    // tiffcp's start-up and exit alone, on a one-pixel file.
    TIEBitmap dot(1, 1, ie24RGB);
    const std::string tiny = folder + "/dot.tif";
    WriteFile(tiny, OursEncode(dot, 0, false));
    std::vector<Contender> startup = {
        {"tiffcp on a one-pixel file", 1,
         [&] { return TimedCommand("tiffcp -c none '" + tiny + "' '" + folder + "/dot2.tif'"); }, {}, {}}};
    RunInTurn(startup, runs);
    for (const Step& st : steps) {
      TIEBitmap kept;
      const std::string theirsOut = folder + "/tiffcp.tif", oursOut = folder + "/ours.tif";
      std::vector<Contender> c = {
          {"ours (in this process)", 1, [&] { return TimedMs([&] { ConvertTIFFFile(st.in, oursOut, st.ours); }); }, {}, {}},
          {"ours, into a kept bitmap", 1, [&] { return TimedMs([&] { ConvertTIFFFile(st.in, oursOut, st.ours, &kept); }); }, {},
           {}},
          {"tiffcp (child process)", 1,
           [&] { return TimedCommand("tiffcp -c " + std::string(st.tiffcp) + " '" + st.in + "' '" + theirsOut + "'"); },
           {}, {}},
      };
      RunInTurn(c, runs);
      char title[128];
      std::snprintf(title, sizeof title, "file to file: %s", st.name);
      PrintCpuHeader(title);
      const Bytes a = VipsDecode(ReadFile(oursOut)), b = VipsDecode(ReadFile(theirsOut));
      PrintCpuRow(c[0], nullptr, Agreement(b, a) + " (against tiffcp's output)");
      PrintCpuRow(c[1], nullptr, "no fresh pages for the bitmap");
      PrintCpuRow(c[2], &c[0], "its start-up alone: " + std::to_string(static_cast<int>(startup[0].CpuMedian())) +
                                   " cpu ms");
      worstWrite = std::max(worstWrite, c[0].CpuMedian() / c[2].CpuMedian());
    }
  }
  std::printf("\nworst decode ratio of processor times, ours (fresh bitmap) / libvips: %.2f\n", worst);
  std::printf("worst encode and conversion ratio, ours / libtiff: %.2f\n", worstWrite);
  return 0;
}
