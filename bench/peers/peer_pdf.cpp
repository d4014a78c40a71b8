// The PDF writer side by side with ImageMagick's (Magick++, in this process), one thread each, the
// tools in turn round by round:
//   - 100 text-like bilevel pages of A4 at 300 dpi (2480 x 3508, written a point per pixel on both
//     sides so that they render back exactly) to one PDF of CCITT Group 4 pages,
//     memory to memory: ours from 1-bit bitmaps into a memory stream, ImageMagick from bilevel
//     images into a blob;
//   - 20 photo-like pictures of 3000 x 2000 as quality-80 JPEG files (written once, read by both) to
//     one PDF file of JPEG pages at quality 80: each file decoded and coded again. Ours saves as a
//     user's save does (beside the target, renamed over it), timed with the sync to the disk before
//     the rename and without it; the peer writes its file directly, unsynced.
// The outputs are rendered by readers of neither side (Ghostscript for the bilevel pages, pdftoppm
// for the photos) at the pages' pixel sizes and compared with the input pixels: exact for the bilevel pages, PSNR for the photos
// (beside the PSNR of the JPEG files themselves, the floor of a coding at quality 80).
//
// The distribution's ImageMagick policy forbids the PDF coder; bench/run_peers.sh runs this program
// with a user configuration folder whose policy allows it (that one is read after the system's).
//   peer_pdf <folder of pillow_peer.py, unused> [runs]
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "bench/bench_text_page.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/ps_pdf_codec.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

// After the engine's headers: ImageMagick's define names that they use.
#include <Magick++.h>

using namespace peers;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kPageW = 2480, kPageH = 3508, kPages = 100;
constexpr int32_t kPhotoW = 3000, kPhotoH = 2000, kPhotos = 20;

// Runs Command; true when it exits with 0.
bool Run(const std::string& Command) { return std::system(Command.c_str()) == 0; }

// A PNM file (P4, P5 or P6 as Ghostscript and pdftoppm write them) as 1 byte per sample, 0..255
// (P4: 0 black, 255 white); empty when it cannot be read.
Bytes ReadPnm(const std::string& Path, int32_t& W, int32_t& H, int32_t& Channels) {
  const Bytes file = ReadFile(Path);
  size_t at = 0;
  auto token = [&] {
    std::string t;
    while (at < file.size()) {
      const char c = static_cast<char>(file[at]);
      if (c == '#') {
        while (at < file.size() && file[at] != '\n') ++at;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        if (!t.empty()) break;
        ++at;
      } else {
        t += c;
        ++at;
      }
    }
    return t;
  };
  const std::string magic = token();
  W = std::atoi(token().c_str());
  H = std::atoi(token().c_str());
  if (magic != "P4") token();  // the maximum value
  ++at;                        // the one white-space byte before the samples
  Bytes out;
  if (magic == "P4") {
    Channels = 1;
    const size_t stride = (static_cast<size_t>(W) + 7) / 8;
    if (at + stride * H > file.size()) return {};
    out.resize(static_cast<size_t>(W) * H);
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x)
        out[static_cast<size_t>(y) * W + x] = (file[at + y * stride + x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
    return out;
  }
  Channels = magic == "P6" ? 3 : 1;
  const size_t n = static_cast<size_t>(W) * H * Channels;
  if (at + n > file.size()) return {};
  return Bytes(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + n));
}

// Page Page of Pdf rendered at W x H pixels: bilevel pages by Ghostscript at 72 dpi (the pages are a
// point per pixel), photos by pdftoppm in colour. pdftoppm's bilevel output is no good for an exact
// check: it smooths an image drawn one to one before thresholding, so a few per cent of the pixels
// of any writer's page (img2pdf's as well) come out wrong.
Bytes Render(const std::string& Pdf, int32_t Page, int32_t W, int32_t H, bool Mono, const std::string& Scratch) {
  const std::string file = Scratch + (Mono ? "/render.pbm" : "/render.ppm");
  std::filesystem::remove(file);
  char cmd[1024];
  if (Mono)
    std::snprintf(cmd, sizeof cmd,
                  "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pbmraw -r72 -dFirstPage=%d -dLastPage=%d "
                  "-sOutputFile='%s' '%s'",
                  Page, Page, file.c_str(), Pdf.c_str());
  else
    std::snprintf(cmd, sizeof cmd, "pdftoppm -f %d -l %d -singlefile -scale-to-x %d -scale-to-y %d '%s' '%s'", Page,
                  Page, W, H, Pdf.c_str(), (Scratch + "/render").c_str());
  if (!Run(cmd)) return {};
  int32_t w = 0, h = 0, c = 0;
  Bytes px = ReadPnm(file, w, h, c);
  if (w != W || h != H) return {};
  return px;
}

std::string Differing(const Bytes& A, const Bytes& B) {
  if (A.empty() || A.size() != B.size()) return "no page";
  size_t n = 0;
  for (size_t i = 0; i < A.size(); ++i) n += A[i] != B[i];
  return n == 0 ? "exact" : std::to_string(n) + " pixels differ";
}

}  // namespace

int main(int argc, char** argv) {
  Magick::InitializeMagick(argv[0]);
  Magick::ResourceLimits::thread(1);
  InitializeZodazUrIO();
  MinFileSizeOverride = -1;  // pictures in memory, as the peer's are
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string dir = std::filesystem::temp_directory_path().string() + "/brimvale_peer_pdf";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::printf("peer_pdf: %d rounds, medians, one thread; %s\n", runs, MagickCore::GetMagickVersion(nullptr));

  // ---- The bilevel pages, in each tool's own form ----
  std::vector<Bytes> pages;
  std::vector<TIEBitmap> ourPages(kPages);
  std::vector<Magick::Image> magickPages;
  for (int32_t p = 0; p < kPages; ++p) {
    pages.push_back(MakeBenchTextPage(kPageW, kPageH, static_cast<uint32_t>(p)));
    const Bytes& page = pages.back();
    TIEBitmap& b = ourPages[static_cast<size_t>(p)];
    b.Allocate(kPageW, kPageH, ie1g);
    for (int32_t y = 0; y < kPageH; ++y) {
      auto* row = static_cast<uint8_t*>(b.GetRow(y));
      std::memset(row, 0, static_cast<size_t>(b.RowLen()));
      for (int32_t x = 0; x < kPageW; ++x)
        if (page[static_cast<size_t>(y) * kPageW + x] != 0) row[x >> 3] |= IEBitMask1[x & 7];  // 1 = white
    }
    Magick::Image m(kPageW, kPageH, "I", Magick::CharPixel, page.data());
    m.type(Magick::BilevelType);
    m.density(Magick::Geometry(72, 72));
    m.resolutionUnits(Magick::PixelsPerInchResolution);
    m.compressType(Magick::Group4Compression);
    m.magick("PDF");
    magickPages.push_back(m);
  }
  TMemoryStream ourPdf;
  Magick::Blob magickPdf;
  auto oursPages = [&] {
    ourPdf.Clear();
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    std::unique_ptr<TIEPDFDocument> doc = PDFBeginDocument();
    for (TIEBitmap& b : ourPages) {
      TIOParamsVals params(nullptr);
      params.PdfCompression = 2;  // Group 4
      // A point per pixel (72 dpi), as the peer's pages below: rendered at the pages' pixel
      // sizes, both must give the input back exactly (at 300 dpi the A4 sides are no whole
      // number of points, and a renderer's rounding of the image's edges then differs).
      params.PdfPaperWidth = kPageW;
      params.PdfPaperHeight = kPageH;
      PDFAddImagePage(*doc, b, params, progress);
    }
    TIOParamsVals params(nullptr);
    PDFEndDocument(doc, ourPdf, params, progress);
    if (aborting) std::fprintf(stderr, "our PDF failed\n");
  };
  std::vector<Contender> tools = {
      {"ours", 1, [&] { return TimedMs(oursPages); }, {}, {}},
      {"ImageMagick (Group4)", 1,
       [&] { return TimedMs([&] { Magick::writeImages(magickPages.begin(), magickPages.end(), &magickPdf, true); }); },
       {}, {}},
  };
  RunInTurn(tools, runs);
  const std::string ourPagesFile = dir + "/ours_pages.pdf", magickPagesFile = dir + "/magick_pages.pdf";
  {
    const auto* p = static_cast<const uint8_t*>(ourPdf.Memory());
    WriteFile(ourPagesFile, Bytes(p, p + ourPdf.Size()));
    const auto* q = static_cast<const uint8_t*>(magickPdf.data());
    WriteFile(magickPagesFile, Bytes(q, q + magickPdf.length()));
  }
  PrintCpuHeader("100 bilevel A4 pages at 300 dpi to a Group 4 PDF, memory to memory");
  for (size_t k = 0; k < tools.size(); ++k) {
    const std::string& file = k == 0 ? ourPagesFile : magickPagesFile;
    std::string agreement = "pages 1, 50, 100 as rendered vs the input:";
    for (int32_t page : {1, 50, 100})
      agreement += " " + Differing(Render(file, page, kPageW, kPageH, true, dir), pages[static_cast<size_t>(page - 1)]);
    agreement += "; " + std::to_string(std::filesystem::file_size(file)) + " bytes";
    PrintCpuRow(tools[k], &tools[0], agreement);
  }

  // ---- The photos: quality-80 JPEG files written once, read by both ----
  std::vector<std::string> photoFiles;
  std::vector<Bytes> photoRgb;  // each file's own pixels as libjpeg decodes it: what a page can show
  for (int32_t k = 0; k < kPhotos; ++k) {
    const Bytes bgr = MakeBenchPhoto(kPhotoW + 0, kPhotoH, false, 6 + k % 5);
    TIEBitmap b(kPhotoW, kPhotoH, ie24RGB);
    for (int32_t y = 0; y < kPhotoH; ++y)
      std::memcpy(b.GetRow(y), bgr.data() + static_cast<size_t>(y) * kPhotoW * 3, static_cast<size_t>(kPhotoW) * 3);
    auto io = TZodazUrIO::CreateFromBitmap(&b);
    io->Params().JpegQuality = 80;
    char name[64];
    std::snprintf(name, sizeof name, "/photo%02d.jpg", k);
    photoFiles.push_back(dir + name);
    io->SaveToFile(photoFiles.back());
  }
  for (int32_t k : {0, kPhotos - 1}) {
    Magick::Image m;
    m.read(photoFiles[static_cast<size_t>(k)]);
    Bytes rgb(static_cast<size_t>(kPhotoW) * kPhotoH * 3);
    m.write(0, 0, kPhotoW, kPhotoH, "RGB", Magick::CharPixel, rgb.data());
    photoRgb.push_back(rgb);
  }
  const std::string ourPhotosFile = dir + "/ours_photos.pdf", magickPhotosFile = dir + "/magick_photos.pdf";
  auto oursPhotos = [&](bool sync) {
    SafeFileStreamSync = sync;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    std::unique_ptr<TIEPDFDocument> doc = PDFBeginDocument();
    TIEBitmap bitmap;
    for (const std::string& name : photoFiles) {
      TIOParamsVals params(nullptr);
      TFileStream in(name, fmOpenRead);
      ReadJpegStream(in, nullptr, bitmap, params, progress, false, false, false, false, false, false, -1, false);
      params.PdfCompression = 4;
      params.JpegQuality = 80;
      params.PdfPaperWidth = bitmap.Width();  // 72 dpi: a point per pixel
      params.PdfPaperHeight = bitmap.Height();
      PDFAddImagePage(*doc, bitmap, params, progress);
    }
    TSafeFileStream out(ourPhotosFile);
    TIOParamsVals params(nullptr);
    PDFEndDocument(doc, out, params, progress);
    if (!aborting) out.Commit();
    else std::fprintf(stderr, "our PDF failed\n");
    SafeFileStreamSync = true;
  };
  auto magickPhotos = [&] {
    std::vector<Magick::Image> list;
    for (const std::string& name : photoFiles) {
      list.emplace_back(name);
      Magick::Image& m = list.back();
      m.density(Magick::Geometry(72, 72));
      m.resolutionUnits(Magick::PixelsPerInchResolution);
      m.compressType(Magick::JPEGCompression);
      m.quality(80);
    }
    Magick::writeImages(list.begin(), list.end(), "PDF:" + magickPhotosFile, true);
  };
  std::vector<Contender> photoTools = {
      {"ours, synced before the rename", 1, [&] { return TimedMs([&] { oursPhotos(true); }); }, {}, {}},
      {"ours without the sync, as the peer saves", 1, [&] { return TimedMs([&] { oursPhotos(false); }); }, {}, {}},
      {"ImageMagick (JPEG, quality 80)", 1, [&] { return TimedMs(magickPhotos); }, {}, {}},
  };
  RunInTurn(photoTools, runs);
  PrintCpuHeader("20 JPEG photos 3000x2000 (quality 80) to a PDF file of JPEG pages at quality 80 "
                 "(ratios against ours without the sync)");
  for (size_t k = 0; k < photoTools.size(); ++k) {
    const std::string& file = k < 2 ? ourPhotosFile : magickPhotosFile;
    std::string agreement = "pdftoppm of pages 1, 20 vs the JPEG files:";
    for (size_t i = 0; i < 2; ++i) {
      const Bytes px = Render(file, i == 0 ? 1 : kPhotos, kPhotoW, kPhotoH, false, dir);
      agreement += " " + (px.empty() ? std::string("no page") : PsnrText(Psnr(ToReal(photoRgb[i]), px)));
    }
    agreement += "; " + std::to_string(std::filesystem::file_size(file)) + " bytes";
    PrintCpuRow(photoTools[k], k == 0 ? nullptr : &photoTools[1], agreement);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
