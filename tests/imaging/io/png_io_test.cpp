// PNG through the I/O component: by name, extension, content and id, the component's background,
// square pixels after a load, transparency both ways, and saves that leave the working bitmap as it
// was (the PNG saver, and the savers that write a 24-bit copy: JPEG's, and any other's).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"
#include "tests/support/png_fixture.h"
#include "tests/support/test_support.h"

using testsupport::PngImage;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& name, const Bytes& data) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void Paint(TIEBitmap& b, int32_t w = 14, int32_t h = 9) {
  b.Allocate(w, h, ie24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      b.SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(x * 18), static_cast<uint8_t>(y * 28), static_cast<uint8_t>(x ^ y)));
}

bool SamePixels(TIEBitmap& a, TIEBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if (!SameRGB(a.GetPixelRGB(x, y), b.GetPixelRGB(x, y))) return false;
  return true;
}

class PngIOTest : public testing::Test {
 protected:
  void SetUp() override { InitializeZodazUrIO(); }
  void TearDown() override { InitializeZodazUrIO(); }
  testsupport::ScratchDir dir;
};

TEST_F(PngIOTest, ByNameExtensionContentAndId) {
  TZodazUrIO maker(nullptr);
  Paint(*maker.IEBitmap());
  maker.SaveToFile(dir.File("a.png"));
  ASSERT_FALSE(maker.Aborting());
  EXPECT_EQ(maker.Params().FileType, fmtPNG);
  EXPECT_EQ(DetectFileFormat(dir.File("a.png"), true), fmtPNG);
  // The same file under a name that says nothing.
  std::filesystem::copy_file(dir.File("a.png"), dir.File("a.dat"));

  const auto check = [&](TZodazUrIO& io) {
    EXPECT_FALSE(io.Aborting());
    EXPECT_TRUE(SamePixels(*io.IEBitmap(), *maker.IEBitmap()));
    EXPECT_EQ(io.Params().FileType, fmtPNG);
  };
  {
    TZodazUrIO io(nullptr);
    io.LoadFromFile(dir.File("a.png"));  // by extension
    check(io);
  }
  {
    TZodazUrIO io(nullptr);
    io.LoadFromFileByContent(dir.File("a.dat"));
    check(io);
  }
  {
    TZodazUrIO io(nullptr);
    io.LoadFromFilePNG(dir.File("a.dat"));  // by id
    check(io);
  }
  {
    TZodazUrIO io(nullptr);
    TFileStream s(dir.File("a.dat"), fmOpenRead);
    io.LoadFromStream(s);  // by content
    check(io);
    EXPECT_EQ(s.Position(), s.Size());
  }
  {
    TZodazUrIO io(nullptr);
    TMemoryStream s;
    maker.SaveToStream(s, fmtPNG);
    ASSERT_FALSE(maker.Aborting());
    io.ReadParamsFromBuffer(s.Memory(), s.Size(), fmtUnknown);
    EXPECT_EQ(io.Params().FileType, fmtPNG);
    EXPECT_EQ(io.Params().Width, 14);
    EXPECT_EQ(io.IEBitmap()->Width(), 0);
    io.LoadFromBuffer(s.Memory(), s.Size(), fmtPNG);
    check(io);
  }
}

TEST_F(PngIOTest, TheComponentsBackgroundAndTheFilesBKGD) {
  PngImage im = PngImage::Make(3, 2, 2, 8);
  const Bytes plain = testsupport::WritePngWithLibpng(im);
  im.hasBkgd = true;
  im.bkgd = {10, 20, 30};
  const Bytes withBkgd = testsupport::WritePngWithLibpng(im);
  WriteBytes(dir.File("plain.png"), plain);
  WriteBytes(dir.File("bkgd.png"), withBkgd);

  TZodazUrIO io(nullptr);
  io.SetBackground(clWhite);
  // The file form gives the reader the component's background as the default.
  io.LoadFromFilePNG(dir.File("plain.png"));
  EXPECT_EQ(io.Params().PngBackground, CreateRGB(255, 255, 255));
  EXPECT_EQ(io.Background(), clWhite);
  io.LoadFromFilePNG(dir.File("bkgd.png"));
  EXPECT_EQ(io.Params().PngBackground, CreateRGB(10, 20, 30));
  EXPECT_EQ(io.Background(), RGBToTColor(CreateRGB(10, 20, 30)));
  // The stream form does not: the record's own background stays.
  io.Params().PngBackground = CreateRGB(7, 8, 9);
  TFileStream s(dir.File("plain.png"), fmOpenRead);
  io.LoadFromStreamPNG(s);
  EXPECT_EQ(io.Background(), RGBToTColor(CreateRGB(7, 8, 9)));
}

TEST_F(PngIOTest, SquarePixelsAfterALoad) {
  PngImage im = PngImage::Make(40, 20, 2, 8);
  testsupport::FillPattern(im);
  im.hasPhys = true;
  im.physX = 7874;  // 200 dpi
  im.physY = 3937;  // 100 dpi
  im.physUnit = 1;
  WriteBytes(dir.File("fax.png"), testsupport::WritePngWithLibpng(im));
  for (bool adjust : {false, true}) {
    TZodazUrIO io(nullptr);
    io.SetAutoAdjustDPI(adjust);
    io.LoadFromFile(dir.File("fax.png"));
    ASSERT_FALSE(io.Aborting());
    EXPECT_EQ(io.IEBitmap()->Height(), adjust ? 40 : 20);
    EXPECT_EQ(io.Params().DpiY, adjust ? 200 : 100);
  }
}

TEST_F(PngIOTest, TransparencyBothWays) {
  TZodazUrIO io(nullptr);
  Paint(*io.IEBitmap());
  for (int32_t x = 0; x < 14; ++x) io.IEBitmap()->SetAlpha(x, 4, static_cast<uint8_t>(x * 9));
  io.IEBitmap()->GetAlphaChannel()->SetFull(false);
  TMemoryStream s;
  io.SaveToStreamPNG(s);
  ASSERT_FALSE(io.Aborting());
  TZodazUrIO back(nullptr);
  s.Seek(0, soBeginning);
  back.LoadFromStream(s);
  ASSERT_FALSE(back.Aborting());
  ASSERT_TRUE(back.IEBitmap()->HasAlphaChannel());
  EXPECT_EQ(back.IEBitmap()->GetAlpha(5, 4), 45);
  EXPECT_EQ(back.IEBitmap()->GetAlpha(5, 3), 255);
  // An image without transparency loaded over one with it has none.
  TZodazUrIO opaque(nullptr);
  Paint(*opaque.IEBitmap());
  TMemoryStream t;
  opaque.SaveToStreamPNG(t);
  t.Seek(0, soBeginning);
  back.LoadFromStream(t);
  EXPECT_FALSE(back.IEBitmap()->HasAlphaChannel());
}

// A saver that writes nothing and keeps what it was given, in place of a 24-bit format's codec.
TIEPixelFormat gWrittenFormat = ieNoFormat;
void RecordingWriter(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals&, TIEProgressRecord&) {
  gWrittenFormat = Bitmap.PixelFormat();
  const uint8_t byte = 0;
  Stream.WriteBuffer(&byte, 1);
}

TEST_F(PngIOTest, ASaveLeavesTheWorkingBitmapAsItWas) {
  // Targa's row, its codec replaced: the savers that take 24 bits get a converted copy.
  TIEFileFormatInfo row = *FindFileFormatById(fmtTGA);
  row.Writer = RecordingWriter;
  RemoveFileFormat(fmtTGA);
  AddFileFormat(row);
  for (TIEPixelFormat format : {ie8p, ie8g, ie16g, ieCMYK, ieRGB48, ie32RGB, ie24RGB, ie1g}) {
    SCOPED_TRACE(int(format));
    TZodazUrIO io(nullptr);
    TIEBitmap source;
    Paint(source);
    io.IEBitmap()->Allocate(14, 9, format);
    io.IEBitmap()->CopyAndConvertFormat(source);
    io.IEBitmap()->SetAlpha(1, 1, 100);
    TIEBitmap before;
    before.Assign(*io.IEBitmap());

    gWrittenFormat = ieNoFormat;
    io.SaveToFileTGA(dir.File("a.tga"));
    EXPECT_FALSE(io.Aborting());
    EXPECT_EQ(gWrittenFormat, format == ie1g ? ie1g : ie24RGB);
    TMemoryStream s;
    io.SaveToStreamTGA(s);
    EXPECT_EQ(gWrittenFormat, format == ie1g ? ie1g : ie24RGB);
    io.SaveToFilePNG(dir.File("a.png"));
    EXPECT_FALSE(io.Aborting());
    // JPEG, a saver that takes 24 bits: the file is the one the image converted in place would give.
    io.SaveToFileJPEG(dir.File("a.jpg"));
    EXPECT_FALSE(io.Aborting());
    TZodazUrIO converted(nullptr);
    converted.IEBitmap()->Assign(*io.IEBitmap());
    if (format != ie1g) converted.IEBitmap()->SetPixelFormat(ie24RGB);
    converted.SaveToFileJPEG(dir.File("b.jpg"));
    EXPECT_EQ(FileBytes(dir.File("a.jpg")), FileBytes(dir.File("b.jpg")));

    EXPECT_EQ(io.IEBitmap()->PixelFormat(), format);
    EXPECT_TRUE(SamePixels(*io.IEBitmap(), before));
    EXPECT_EQ(io.IEBitmap()->GetAlpha(1, 1), 100);
  }
}

}  // namespace
