// A small driver of the PDF writer for bench/compare_pdf.sh: image files to one PDF file, a page per
// image, as a user's save does it (the file written beside the target and renamed over it, synced to
// the disk first unless -nosync). Bilevel TIFF pages go as CCITT Group 4, other pictures as JPEG at
// the given quality (decoded and coded again). Each page is the image's size at its resolution
// (72 dpi when the file gives none, or less than 2 as a JFIF aspect ratio does), so that a page
// renders back to the image's pixels.
//   pdf_tool [-nosync] [-quality 80] -o out.pdf page1.tif page2.tif ...
//   pdf_tool [-nosync] [-quality 80] -o out.pdf photo1.jpg photo2.jpg ...
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/ps_pdf_codec.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

bool EndsWith(const std::string& s, const char* tail) {
  const std::string t = tail;
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// A side in points for a side in pixels at Dpi (72 without one).
int32_t Points(int32_t Pixels, int32_t Dpi) {
  if (Dpi < 2) return Pixels;
  return static_cast<int32_t>((static_cast<int64_t>(Pixels) * 72 + Dpi / 2) / Dpi);
}

}  // namespace

int main(int argc, char** argv) {
  std::string output;
  std::vector<std::string> inputs;
  int quality = 80;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-o" && i + 1 < argc) output = argv[++i];
    else if (a == "-quality" && i + 1 < argc) quality = std::atoi(argv[++i]);
    else if (a == "-nosync") SafeFileStreamSync = false;
    else inputs.push_back(a);
  }
  if (output.empty() || inputs.empty()) {
    std::fprintf(stderr, "usage: pdf_tool [-nosync] [-quality q] -o out.pdf images...\n");
    return 2;
  }
  InitializeZodazUrIO();
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TIEPDFDocument> doc = PDFBeginDocument();
  TIEBitmap bitmap;
  for (const std::string& name : inputs) {
    TIOParamsVals params(nullptr);
    TFileStream in(name, fmOpenRead);
    if (EndsWith(name, ".jpg") || EndsWith(name, ".jpeg")) {
      ReadJpegStream(in, nullptr, bitmap, params, progress, false, false, false, false, false, false, -1, false);
      params.PdfCompression = 4;
      params.JpegQuality = quality;
    } else {
      std::unique_ptr<TIEMask> mask;
      int32_t pages = 0;
      ReadTIFFStream(&bitmap, in, pages, &params, progress, false, mask, false, true, false);
      params.PdfCompression = bitmap.PixelFormat() == ie1g ? 2 : 4;
      params.JpegQuality = quality;
    }
    if (aborting) {
      std::fprintf(stderr, "cannot read %s\n", name.c_str());
      return 1;
    }
    params.PdfPaperWidth = Points(bitmap.Width(), params.DpiX);
    params.PdfPaperHeight = Points(bitmap.Height(), params.DpiY);
    PDFAddImagePage(*doc, bitmap, params, progress);
    if (aborting) {
      std::fprintf(stderr, "cannot add %s\n", name.c_str());
      return 1;
    }
  }
  TSafeFileStream out(output);
  TIOParamsVals params(nullptr);
  PDFEndDocument(doc, out, params, progress);
  if (aborting) return 1;
  out.Commit();
  return 0;
}
