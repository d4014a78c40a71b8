// The small codecs through TZodazUrIO: detection by content in the registry's probe order, loads by
// name, content and id, stream headers, image counts, parameters only, DCX saves and shell icons.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Paint(TIEBitmap& b, int w, int h, uint8_t tone) {
  b.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel24(x, y, CreateRGB(tone, uint8_t(x * 20), uint8_t(y * 30)));
}

class SmallCodecsIOTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeZodazUrIO(); }
  void TearDown() override { InitializeZodazUrIO(); }
  testsupport::ScratchDir dir;
  TZodazUrIO io{nullptr};

  // The file the I/O component writes for Name with the working bitmap Paint(w, h, tone).
  std::string Save(const std::string& name, int w = 6, int h = 4, uint8_t tone = 90) {
    Paint(*io.IEBitmap(), w, h, tone);
    io.Params().IcoSizes.fill(TIOICOSize{});
    io.Params().IcoSizes[0] = TIOICOSize{w, h};
    io.Params().IcoBitCounts[0] = 24;
    io.SaveToFile(dir.File(name));
    EXPECT_FALSE(io.Aborting()) << name;
    return dir.File(name);
  }
};

TEST_F(SmallCodecsIOTest, ContentDetectionFindsEachFormatInTheProbeOrder) {
  struct Case { const char* file; TIEFileFormatId format; };
  const Case cases[] = {{"a.pcx", fmtPCX}, {"a.ico", fmtICO}, {"a.tga", fmtTGA},
                        {"a.ppm", fmtPXM}, {"a.dcx", fmtDCX}, {"a.wbmp", fmtUnknown}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string name = Save(c.file);
    EXPECT_EQ(DetectFileFormat(name, false), c.format);
    // Loading by content gives the picture back; a wireless bitmap is never found by content.
    TZodazUrIO loader(nullptr);
    TFileStream stream(name, fmOpenRead);
    loader.LoadFromStream(stream);
    EXPECT_EQ(loader.Aborting(), c.format == fmtUnknown);
    if (c.format != fmtUnknown) {
      EXPECT_EQ(loader.IEBitmap()->Width(), 6);
      EXPECT_EQ(loader.Params().FileType, c.format);
    }
  }
  // A cursor directory; an icon named .cur takes the extension's format when asked to match.
  const std::string ico = Save("b.ico");
  std::filesystem::copy_file(ico, dir.File("b.cur"));
  EXPECT_EQ(DetectFileFormat(dir.File("b.cur"), false), fmtICO);
  EXPECT_EQ(DetectFileFormat(dir.File("b.cur"), true), fmtCUR);
  Bytes cur = FileBytes(ico);
  cur[2] = 2;
  TCustomMemoryStream s(cur.data(), static_cast<int64_t>(cur.size()));
  EXPECT_EQ(DetectStreamFormat(s), fmtCUR);
}

// Detected by content; a plain metafile without a window extent has no size and an enhanced one
// whose header record is cut short is no metafile: both fail.
TEST_F(SmallCodecsIOTest, MetafilesWithoutASizeOrHeaderFail) {
  Bytes wmf = {1, 0, 9, 0, 0, 3, 100, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0};
  wmf.resize(64, 0);
  Bytes emf(100, 0);
  emf[0] = 1;
  emf[40] = 0x20;
  emf[41] = 'E';
  emf[42] = 'M';
  emf[43] = 'F';
  for (const Bytes* b : {&wmf, &emf}) {
    TCustomMemoryStream s(b->data(), static_cast<int64_t>(b->size()));
    EXPECT_EQ(DetectStreamFormat(s), b == &wmf ? fmtWMF : fmtEMF);
    io.LoadFromStream(s);
    EXPECT_TRUE(io.Aborting());
  }
}

TEST_F(SmallCodecsIOTest, TwoPCXImagesInOneStreamWithStreamHeaders) {
  // 8-bit pictures: each one's palette is at the end of its own data, not of the stream.
  io.SetStreamHeaders(true);
  io.Params().BitsPerSample = 8;
  io.Params().SamplesPerPixel = 1;
  TMemoryStream s;
  Paint(*io.IEBitmap(), 5, 3, 10);
  io.SaveToStreamPCX(s);
  Paint(*io.IEBitmap(), 7, 2, 200);
  io.SaveToStreamPCX(s);
  EXPECT_EQ(Bytes(static_cast<uint8_t*>(s.Memory()), static_cast<uint8_t*>(s.Memory()) + 4), (Bytes{'P', 'C', 'X', '2'}));
  s.Seek(0, soBeginning);
  TZodazUrIO loader(nullptr);
  loader.SetStreamHeaders(true);
  for (const auto& [w, h, tone] : {std::tuple{5, 3, 10}, std::tuple{7, 2, 200}}) {
    loader.LoadFromStream(s);
    ASSERT_FALSE(loader.Aborting());
    TIEBitmap want;
    Paint(want, w, h, static_cast<uint8_t>(tone));
    ASSERT_EQ(loader.IEBitmap()->Width(), w);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        EXPECT_TRUE(SameRGB(loader.IEBitmap()->GetPixelRGB(x, y), want.GetPixelRGB(x, y))) << x << "," << y;
  }
  EXPECT_EQ(s.Position(), s.Size());
}

TEST_F(SmallCodecsIOTest, ImageCountsOfDCXAndIconFiles) {
  // Three icon sizes; a DCX file save writes its one page, a stream save inserts pages.
  io.Params().IcoSizes.fill(TIOICOSize{});
  io.Params().IcoSizes[0] = {16, 16};
  io.Params().IcoSizes[1] = {24, 24};
  io.Params().IcoSizes[2] = {32, 32};
  io.Params().IcoBitCounts = {8, 4, 32};
  Paint(*io.IEBitmap(), 40, 40, 5);
  io.SaveToFile(dir.File("three.ico"));
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(GetFileImageCount(dir.File("three.ico")), 3);
  io.Params().DcxImageIndex = 3;  // past the pages: the page is appended
  io.SaveToFile(dir.File("one.dcx"));
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(GetFileImageCount(dir.File("one.dcx")), 1);
  EXPECT_EQ(CountDCXPages(dir.File("one.dcx")), 1);
  // The stream saver starts over from an empty stream: one page again.
  TMemoryStream s;
  io.SaveToStreamDCX(s);
  io.SaveToStreamDCX(s);
  s.Seek(0, soBeginning);
  EXPECT_EQ(CountDCXStreamPages(s), 1);
  // Loading picks the page and gives the count.
  TZodazUrIO loader(nullptr);
  loader.Params().IcoImageIndex = 2;
  loader.LoadFromFile(dir.File("three.ico"));
  ASSERT_FALSE(loader.Aborting());
  EXPECT_EQ(loader.IEBitmap()->Width(), 32);
  loader.LoadFromFile(dir.File("one.dcx"));
  ASSERT_FALSE(loader.Aborting());
  EXPECT_EQ(loader.Params().ImageCount, 1);
  EXPECT_EQ(loader.IEBitmap()->Width(), 40);
}

TEST_F(SmallCodecsIOTest, ParametersOnlyLeaveTheBitmapAlone) {
  for (const char* name : {"p.pcx", "p.tga", "p.ico", "p.pgm", "p.wbmp", "p.dcx"}) {
    SCOPED_TRACE(name);
    const std::string file = Save(name, 9, 5);
    TZodazUrIO reader(nullptr);
    reader.IEBitmap()->Allocate(2, 2, ie8g);
    if (std::string(name) == "p.wbmp")
      reader.ReadParamsFromFileAsFormat(file, fmtWBMP);
    else
      reader.ReadParamsFromFile(file);
    EXPECT_FALSE(reader.Aborting());
    EXPECT_EQ(reader.Params().Width, 9);
    EXPECT_EQ(reader.Params().Height, 5);
    EXPECT_EQ(reader.IEBitmap()->Width(), 2);
    EXPECT_EQ(reader.IEBitmap()->PixelFormat(), ie8g);
  }
}

TEST_F(SmallCodecsIOTest, RawPixelsLoadIntoTheBitmapAsTheCallerSizedIt) {
  const Bytes data = {10, 20, 30, 40, 50, 60};
  {
    std::ofstream out(dir.File("a.raw"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), 6);
  }
  io.IEBitmap()->Allocate(3, 2, ie8g);
  io.Params().RawBitmapRowAlign = 8;
  io.LoadFromFileRawBitmap(dir.File("a.raw"));
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.IEBitmap()->GetPixel8(2, 1), 60);
  // Never by content, and no writer.
  TCustomMemoryStream s(data.data(), 6);
  EXPECT_EQ(DetectStreamFormat(s), fmtUnknown);
  TMemoryStream out;
  io.SaveToStream(out, fmtRawBitmap);
  EXPECT_TRUE(io.Aborting());
}

TEST_F(SmallCodecsIOTest, ShellIconsAre32By32WithAlpha) {
  const std::string file = Save("icon-of.tga");
  for (const std::string& name : {file, dir.File("missing.xyz"), dir.Path().string()}) {
    TIEBitmap b;
    LoadShellFileIcon(name, b);
    EXPECT_EQ(b.Width(), 32);
    EXPECT_EQ(b.Height(), 32);
    EXPECT_EQ(b.PixelFormat(), ie24RGB);
    ASSERT_TRUE(b.HasAlphaChannel());
    int opaque = 0, clear = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        opaque += b.GetAlpha(x, y) == 255;
        clear += b.GetAlpha(x, y) == 0;
      }
    EXPECT_GT(opaque, 100) << name;
    EXPECT_GT(clear, 10) << name;
  }
}

}  // namespace
