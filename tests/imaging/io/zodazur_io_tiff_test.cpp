// TIFF through the I/O component: by name, extension, content and id, page counts, and a TIFF after
// a "TIFF" stream header whose offsets count from the caller's stream origin.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/tiff_fixture.h"
#include "tests/support/test_support.h"

namespace {

class TiffIOTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeZodazUrIO(); }
  void TearDown() override { InitializeZodazUrIO(); }

  // A 3-page LZW TIFF by ImageMagick: 30 x 20 pages, red, green and blue.
  std::string MakeThreePages(const std::string& name) {
    const std::string file = dir.File(name);
    const std::string command = "convert -size 30x20 xc:red xc:lime xc:blue -compress lzw tiff:" + file;
    EXPECT_EQ(std::system(command.c_str()), 0);
    return file;
  }

  testsupport::ScratchDir dir;
  TZodazUrIO io{nullptr};
};

TEST_F(TiffIOTest, ByNameExtensionContentAndPageCounts) {
  const std::string file = MakeThreePages("a.tif");
  EXPECT_EQ(DetectFileFormat(file, false), fmtTIFF);
  EXPECT_EQ(CountTIFFPages(file), 3);
  io.Params().TiffImageIndex = 1;
  io.LoadFromFile(file);
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtTIFF);
  EXPECT_EQ(io.IEBitmap()->Width(), 30);
  const auto* row = static_cast<const uint8_t*>(io.IEBitmap()->GetRow(5));
  EXPECT_EQ(row[1], 255);  // green
  EXPECT_EQ(row[2], 0);
  // A misnamed TIFF is found by its content.
  std::filesystem::copy_file(file, dir.File("misnamed.png"));
  EXPECT_EQ(DetectFileFormat(dir.File("misnamed.png"), false), fmtTIFF);
  io.Params().TiffImageIndex = 2;
  io.LoadFromFileTIFF(file);
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(static_cast<const uint8_t*>(io.IEBitmap()->GetRow(0))[0], 255);  // blue
}

TEST_F(TiffIOTest, StreamHeaderOffsetsCountFromTheCallersOrigin) {
  // Other data, a "TIFF" stream header, then a TIFF whose offsets count from the stream's start.
  std::vector<uint8_t> prefix(17, 0x33);
  const std::vector<uint8_t> header = {'T', 'I', 'F', 'F', 0, 0, 0, 0, 0, 0, 0, 0};
  prefix.insert(prefix.end(), header.begin(), header.end());
  TiffBuilder t;
  const int32_t strip = t.Blob({9, 8, 7, 6, 5, 4});
  t.Page().Short(256, {6}).Short(257, {1}).Short(258, {8}).Short(262, {1}).Strips({strip});
  const auto bytes = t.Build(prefix, true);
  TMemoryStream s;
  s.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
  s.Seek(17, soBeginning);
  io.SetStreamHeaders(true);
  io.Params().IsNativePixelFormat = true;
  io.LoadFromStreamTIFF(s);
  ASSERT_FALSE(io.Aborting());
  ASSERT_EQ(io.IEBitmap()->Width(), 6);
  EXPECT_EQ(static_cast<const uint8_t*>(io.IEBitmap()->GetRow(0))[5], 4);
}

TEST_F(TiffIOTest, AlphaArrivesInTheAlphaChannel) {
  const std::string file = dir.File("rgba.tif");
  const std::string command = "convert -size 16x8 gradient:red-blue \\( -size 16x8 gradient:white-black \\) "
                              "-alpha off -compose copy_opacity -composite -compress zip tiff:" + file;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  io.LoadFromFile(file);
  ASSERT_FALSE(io.Aborting());
  ASSERT_TRUE(io.IEBitmap()->HasAlphaChannel());
  TIEBitmap* alpha = io.IEBitmap()->GetAlphaChannel();
  EXPECT_GT(static_cast<const uint8_t*>(alpha->GetRow(0))[3], static_cast<const uint8_t*>(alpha->GetRow(7))[3]);
}

TEST_F(TiffIOTest, SavesByNameExtensionAndIdAndReadsThemBack) {
  TIEBitmap* b = io.IEBitmap();
  b->Allocate(24, 16, ie24RGB);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) b->SetPixel24(x, y, TIERGB{uint8_t(x * 10), uint8_t(y * 15), 77});
  io.Params().TiffCompression = 5;
  for (const char* name : {"a.tif", "b.tiff", "c.fax", "d.xif"}) {
    SCOPED_TRACE(name);
    io.SaveToFile(dir.File(name));
    ASSERT_FALSE(io.Aborting());
    EXPECT_EQ(io.Params().FileType, fmtTIFF);
    EXPECT_EQ(DetectFileFormat(dir.File(name), false), fmtTIFF);
    EXPECT_EQ(CountTIFFPages(dir.File(name)), 1);
    TZodazUrIO back(nullptr);
    back.LoadFromFileByContent(dir.File(name));
    ASSERT_FALSE(back.Aborting());
    EXPECT_EQ(back.Params().TiffCompression, 5);
    EXPECT_EQ(back.IEBitmap()->GetPixel24(7, 9).g, 9 * 15);
  }
  // By id into a stream after other bytes, with the "TIFF" stream header: offsets count from the
  // stream's origin, and the load finds the picture again.
  TMemoryStream s;
  s.WriteBuffer("prefix", 6);
  io.SetStreamHeaders(true);
  io.SaveToStream(s, fmtTIFF);
  ASSERT_FALSE(io.Aborting());
  const int64_t end = s.Position();
  EXPECT_EQ(end, s.Size());
  s.Seek(6, soBeginning);
  TZodazUrIO back(nullptr);
  back.SetStreamHeaders(true);
  back.LoadFromStreamTIFF(s);
  ASSERT_FALSE(back.Aborting());
  EXPECT_EQ(back.IEBitmap()->GetPixel24(23, 15).r, 77);
}

}  // namespace
