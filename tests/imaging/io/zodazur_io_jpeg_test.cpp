// JPEG files through TZodazUrIO: by name, extension, content and id, resolution defaults, stream
// headers, the IPTC block of a save and the component's conversions around the codec.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/jpeg_fixture.h"
#include "tests/support/test_support.h"

namespace {

using jpegtest::Bytes;

Bytes FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& name, const Bytes& data) {
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

class JpegIOTest : public testing::Test {
 protected:
  void SetUp() override {
    InitializeZodazUrIO();
    io.OnFinishWork = [this](TObject*) { ++finished; };
  }
  void TearDown() override {
    TraceLogFileName.clear();
    InitializeZodazUrIO();
  }

  // A picture of libjpeg's, W x H.
  std::string MakeJpeg(const std::string& name, int w = 40, int h = 24, bool jfif = true) {
    jpegtest::EncodeOptions o;
    o.width = w;
    o.height = h;
    o.jfif = jfif;
    o.densityX = o.densityY = 96;
    WriteBytes(dir.File(name), jpegtest::Encode(o, jpegtest::Photo(w, h)));
    return dir.File(name);
  }

  testsupport::ScratchDir dir;
  TZodazUrIO io{nullptr};
  int finished = 0;
};

TEST_F(JpegIOTest, ByNameExtensionContentAndId) {
  const std::string file = MakeJpeg("a.jpg");
  const Bytes expected = jpegtest::Decode(FileBytes(file), JCS_EXT_BGR).pixels;
  auto check = [&](const char* how) {
    SCOPED_TRACE(how);
    EXPECT_FALSE(io.Aborting());
    EXPECT_EQ(io.Params().FileType, fmtJPEG);
    ASSERT_EQ(io.IEBitmap()->Width(), 40);
    ASSERT_EQ(io.IEBitmap()->Height(), 24);
    Bytes got;
    for (int y = 0; y < 24; ++y) {
      const auto* row = static_cast<const uint8_t*>(io.IEBitmap()->GetRow(y));
      got.insert(got.end(), row, row + 40 * 3);
    }
    EXPECT_TRUE(got == expected);
    io.IEBitmap()->FreeImage();
  };
  for (const char* ext : {"JPG", "jpeg", "jpe", "Jif"}) {
    std::filesystem::copy_file(file, dir.File(std::string("b.") + ext));
    io.LoadFromFile(dir.File(std::string("b.") + ext));
    check(ext);
  }
  std::filesystem::copy_file(file, dir.File("misnamed.gif"));
  EXPECT_EQ(DetectFileFormat(dir.File("misnamed.gif"), false), fmtJPEG);
  io.LoadFromFileByContent(dir.File("misnamed.gif"));
  check("by content");
  io.LoadFromFileAsFormat(dir.File("misnamed.gif"), fmtJPEG);
  check("by id");
  io.LoadFromFileJPEG(file);
  check("its own loader");
  EXPECT_EQ(finished, 7);

  // Saved by id into memory and loaded back by content.
  TMemoryStream s;
  io.LoadFromFile(file);
  io.SaveToStream(s, fmtJPEG);
  EXPECT_FALSE(io.Aborting());
  s.Seek(0, soBeginning);
  io.IEBitmap()->FreeImage();
  io.LoadFromStream(s);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtJPEG);
  EXPECT_EQ(io.IEBitmap()->Width(), 40);
}

TEST_F(JpegIOTest, ResolutionOfAFileWithoutJFIFIsTheDefault) {
  io.LoadFromFile(MakeJpeg("nojfif.jpg", 8, 8, false));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().DpiX, DefaultDPIX);
  EXPECT_EQ(io.Params().DpiY, DefaultDPIY);
  io.LoadFromFile(MakeJpeg("jfif.jpg", 8, 8, true));
  EXPECT_EQ(io.Params().DpiX, 96);
  // Saved and read again, it keeps what it had.
  io.SaveToFile(dir.File("again.jpg"));
  EXPECT_EQ(jpegtest::Decode(FileBytes(dir.File("again.jpg")), JCS_EXT_BGR).densityX, 96);
}

TEST_F(JpegIOTest, ParametersWithoutPixels) {
  const std::string file = MakeJpeg("p.jpg", 123, 45);
  io.IEBitmap()->Allocate(2, 2, ie24RGB);
  io.ReadParamsFromFile(file);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtJPEG);
  EXPECT_EQ(io.Params().Width, 123);
  EXPECT_EQ(io.Params().Height, 45);
  EXPECT_EQ(io.Params().JpegColorSpace, 2);
  EXPECT_EQ(io.IEBitmap()->Width(), 2);
}

TEST_F(JpegIOTest, ImagesFollowOneAnotherInAStream) {
  // With stream headers each image is framed; without, the reader stops after each end of image.
  for (bool headers : {true, false}) {
    SCOPED_TRACE(headers);
    io.SetStreamHeaders(headers);
    TMemoryStream s;
    for (int w : {30, 17}) {
      io.IEBitmap()->Allocate(w, 9, ie24RGB);
      io.IEBitmap()->Fill(clRed);
      io.SaveToStreamJPEG(s);
      ASSERT_FALSE(io.Aborting());
    }
    if (headers) {
      const auto* p = static_cast<const uint8_t*>(s.Memory());
      EXPECT_EQ(std::string(p, p + 4), "JFIF");
    }
    s.Seek(0, soBeginning);
    for (int w : {30, 17}) {
      io.LoadFromStreamJPEG(s);
      EXPECT_FALSE(io.Aborting());
      EXPECT_EQ(io.IEBitmap()->Width(), w);
    }
    EXPECT_EQ(s.Position(), s.Size());
  }
}

TEST_F(JpegIOTest, IPTCIsRebuiltAndAnOversizedBlockLeftOut) {
  io.LoadFromFile(MakeJpeg("a.jpg"));
  io.Params().IPTC.AddData(2, 120, "caption", 7);
  io.SaveToFile(dir.File("iptc.jpg"));
  ASSERT_FALSE(io.Aborting());
  TZodazUrIO reader(nullptr);
  reader.LoadFromFile(dir.File("iptc.jpg"));
  ASSERT_EQ(reader.Params().IPTC.GetCount(), 1);
  EXPECT_EQ(reader.Params().IPTC.DataSetNumber(0), 120);

  // More than one marker can hold: the save finishes without the block, and says so in the log.
  TraceLogFileName = dir.File("trace.log");
  reader.Params().IPTC.AddData(2, 202, std::string(70000, 'x').data(), 70000);
  finished = 0;
  reader.OnFinishWork = [this](TObject*) { ++finished; };
  EXPECT_NO_THROW(reader.SaveToFile(dir.File("big.jpg")));
  EXPECT_FALSE(reader.Aborting());
  EXPECT_EQ(finished, 1);
  const jpegtest::Decoded d = jpegtest::Decode(FileBytes(dir.File("big.jpg")), JCS_EXT_BGR);
  ASSERT_TRUE(d.ok);
  for (const auto& m : d.markers) EXPECT_NE(m.code, JPEG_APP0 + 13);
  const Bytes log = FileBytes(dir.File("trace.log"));
  EXPECT_NE(std::string(log.begin(), log.end()).find("IPTC block of"), std::string::npos);
  TMemoryStream s;
  EXPECT_NO_THROW(reader.SaveToStreamJPEG(s));
  EXPECT_FALSE(reader.Aborting());
}

TEST_F(JpegIOTest, NativeFormatsLoadAsStored) {
  jpegtest::EncodeOptions o;
  o.width = 16;
  o.height = 8;
  o.input = JCS_GRAYSCALE;
  o.file = JCS_GRAYSCALE;
  WriteBytes(dir.File("grey.jpg"), jpegtest::Encode(o, Bytes(16 * 8, 90)));
  io.SetNativePixelFormat(true);
  io.LoadFromFile(dir.File("grey.jpg"));
  EXPECT_EQ(io.IEBitmap()->PixelFormat(), ie8g);
  io.SetNativePixelFormat(false);
  io.LoadFromFile(dir.File("grey.jpg"));
  EXPECT_EQ(io.IEBitmap()->PixelFormat(), ie24RGB);
  EXPECT_EQ(io.Params().SamplesPerPixel, 1);
}

TEST_F(JpegIOTest, DamagedFilesFailWithoutRaising) {
  const Bytes good = FileBytes(MakeJpeg("good.jpg", 64, 64));
  struct Case {
    const char* name;
    Bytes data;
    bool fails;
  };
  const Case cases[] = {
      {"empty", {}, true},
      {"start only", {0xFF, 0xD8, 0xFF}, true},
      {"cut in the scan", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)), false},
      {"cut in the headers", Bytes(good.begin(), good.begin() + 30), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir.File("d.jpg"), c.data);
    finished = 0;
    EXPECT_NO_THROW(io.LoadFromFile(dir.File("d.jpg")));
    EXPECT_EQ(io.Aborting(), c.fails);
    EXPECT_EQ(finished, 1);
  }
}

}  // namespace
