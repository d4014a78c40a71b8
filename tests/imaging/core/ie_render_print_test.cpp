// Printing a bitmap on a device canvas: the strips of the filtered route, gamma, the unfiltered
// stretch, the trace lines, and a page through the PDF printer checked by an independent renderer.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_render_print.h"
#include "imaging/core/ie_trace_log.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/memory.h"
#include "platform/ui/printers.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

class RenderPrint : public BitmapTest {
 protected:
  void TearDown() override {
    TraceLogFileName.clear();
    BitmapTest::TearDown();
  }
  static std::unique_ptr<TBitmap> Page(int32_t w, int32_t h) { return WhiteTBitmap(w, h); }
  static uint32_t PixelAt(TBitmap& b, int32_t x, int32_t y) {
    const uint8_t* p = b.ScanLine(y) + 3 * x;
    return p[0] | (p[1] << 8) | (p[2] << 16);  // blue low
  }
  std::vector<std::string> TraceLines() {
    std::ifstream in(TraceLogFileName);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      const size_t at = line.find(" : ");
      if (line.find("RenderToCanvas") != std::string::npos && at != std::string::npos)
        lines.push_back(line.substr(at + 3));
    }
    return lines;
  }
};

TEST_F(RenderPrint, FilteredPrintingGoesInStripsWithGamma) {
  const int32_t width = 30, height = 10;
  const int64_t rowBytes = RowLength(width, 24, 32);
  MinFileSizeOverride = 4 * rowBytes * 3;  // a quarter of the threshold holds three rows
  TIEBitmap src(15, 5, ie24RGB);
  src.Fill(0x804020);  // red 20, green 40, blue 80
  MinFileSizeOverride = -1;
  TraceLogFileName = scratch_.Path().string() + "/trace.log";
  auto page = Page(50, 20);
  src.RenderToCanvas(*page->Canvas(), 5, 4, width, height, rfFastLinear, 2.0);
  const std::vector<std::string> expected = {
      "TIEBitmap.RenderToCanvas: begin",          "TIEBitmap.RenderToCanvas: stripHeight=3",
      "TIEBitmap.RenderToCanvas: allocating 30x10", "TIEBitmap.RenderToCanvas: _ResampleEx",
      "TIEBitmap.RenderToCanvas: gamma",          "TIEBitmap.RenderToCanvas: PrintPict y=0",
      "TIEBitmap.RenderToCanvas: PrintPict y=3",  "TIEBitmap.RenderToCanvas: PrintPict y=6",
      "TIEBitmap.RenderToCanvas: PrintPict y=9",  "TIEBitmap.RenderToCanvas: end"};
  EXPECT_EQ(TraceLines(), expected);
  // Gamma 2: Round(sqrt(i / 255) * 255): 0x20 -> 90, 0x40 -> 128, 0x80 -> 181.
  EXPECT_EQ(PixelAt(*page, 10, 8), 0x5A80B5u);
  EXPECT_EQ(PixelAt(*page, 34, 13), 0x5A80B5u);  // the last row of the last strip
  EXPECT_EQ(PixelAt(*page, 35, 13), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(*page, 10, 14), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(*page, 4, 8), 0xFFFFFFu);
}

TEST_F(RenderPrint, UnfilteredPrintingStretchesOneDibAndTreatsBadGammaAsOne) {
  TIEBitmap src(4, 2, ie8g);
  src.Fill(100);
  for (double gamma : {1.0, 0.0, -3.0}) {
    TraceLogFileName = scratch_.Path().string() + "/trace" + std::to_string(static_cast<int>(gamma)) + ".log";
    auto page = Page(20, 10);
    src.RenderToCanvas(*page->Canvas(), 2, 1, 16, 8, rfNone, gamma);
    EXPECT_EQ(PixelAt(*page, 10, 5), 0x646464u) << gamma;
    EXPECT_EQ(PixelAt(*page, 17, 8), 0x646464u) << gamma;
    EXPECT_EQ(PixelAt(*page, 18, 8), 0xFFFFFFu) << gamma;
    const std::vector<std::string> expected = {
        "TIEBitmap.RenderToCanvas: begin", "TIEBitmap.RenderToCanvas: filter=none, gamma=1, gamma=0",
        "TIEBitmap.RenderToCanvas: calling _DIBDrawTo", "TIEBitmap.RenderToCanvas: end"};
    EXPECT_EQ(TraceLines(), expected);
  }
  // And on the filtered route.
  TIEBitmap colour(4, 2, ie24RGB);
  colour.Fill(0x102030);
  auto page = Page(20, 10);
  colour.RenderToCanvas(*page->Canvas(), 0, 0, 8, 4, rfTriangle, -1);
  EXPECT_EQ(PixelAt(*page, 3, 2), 0x302010u);
}

TEST_F(RenderPrint, DibDrawToRefusesABlockTooShortForItsRows) {
  auto page = Page(8, 8);
  TIEBitmap src(8, 8, ie24RGB);
  src.Fill(0);
  // A header claiming more rows than the block holds.
  void* block = GlobalAlloc(GHND, 40 + 8 * 3 * 2);
  BITMAPINFOHEADER h;
  h.biWidth = 8;
  h.biHeight = 8;
  h.biBitCount = 24;
  std::memcpy(block, &h, sizeof h);
  _DIBDrawTo(*page->Canvas(), block, 0, 0, 8, 8, 0, 0, 8, 8);
  GlobalFree(block);
  EXPECT_EQ(PixelAt(*page, 4, 4), 0xFFFFFFu);
}

// Reads a binary PPM (P6) written by pdftoppm.
bool ReadPPM(const std::string& name, int& w, int& h, std::vector<uint8_t>& rgb) {
  std::ifstream in(name, std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (magic != "P6" || w <= 0 || h <= 0 || maxval != 255) return false;
  rgb.resize(static_cast<size_t>(w) * h * 3);
  in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  return static_cast<bool>(in);
}

TEST_F(RenderPrint, APagePrintedToPdfShowsTheColoursWhenRasterised) {
  const std::string pdf = scratch_.Path().string() + "/page.pdf";
  TPrinter printer;
  printer.SetPrinter(kPdfPrinterName, "", "");
  printer.SetResolution(100);
  printer.SetOutputFileName(pdf);
  MinFileSizeOverride = 4 * RowLength(400, 24, 32) * 50;  // strips of 50 rows
  TIEBitmap src(40, 20, ie24RGB);
  MinFileSizeOverride = -1;
  src.FillRect(0, 0, 19, 19, 0x0000FF);   // red left half
  src.FillRect(20, 0, 39, 19, 0xFF0000);  // blue right half
  printer.BeginDoc();
  src.RenderToCanvas(*printer.Canvas(), 100, 100, 400, 200, rfFastLinear, 1);
  printer.EndDoc();
  // Rasterised at the printer's resolution by an independent renderer.
  const std::string out = scratch_.Path().string() + "/page";
  const std::string command = "pdftoppm -r 100 -f 1 -l 1 -singlefile " + pdf + " " + out;
  ASSERT_EQ(std::system(command.c_str()), 0) << "pdftoppm (poppler-utils) is needed";
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(ReadPPM(out + ".ppm", w, h, rgb));
  auto at = [&](int x, int y) {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  auto near = [](std::vector<int> a, std::vector<int> b) {
    for (int i = 0; i < 3; ++i)
      if (std::abs(a[i] - b[i]) > 8) return false;
    return true;
  };
  EXPECT_TRUE(near(at(150, 200), {255, 0, 0}));
  EXPECT_TRUE(near(at(250, 150), {255, 0, 0}));   // across a strip boundary
  EXPECT_TRUE(near(at(450, 250), {0, 0, 255}));
  EXPECT_TRUE(near(at(50, 50), {255, 255, 255}));
  EXPECT_TRUE(near(at(550, 200), {255, 255, 255}));
}

}  // namespace
