#include "imaging/io/format_detect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/io/format_registry.h"
#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

class FormatDetectTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeZodazUrIO(); }
  void TearDown() override { InitializeZodazUrIO(); }
};

std::vector<uint8_t> Bytes(const std::string& head, size_t size, uint8_t fill = 0x55) {
  std::vector<uint8_t> data(size, fill);
  std::copy(head.begin(), head.end(), data.begin());
  return data;
}

TIEFileFormatId Detect(const std::vector<uint8_t>& data, int64_t position = 0) {
  TMemoryStream stream;
  if (!data.empty()) stream.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  stream.SetPosition(position);
  const TIEFileFormatId id = DetectStreamFormat(stream);
  EXPECT_EQ(stream.Position(), position);
  return id;
}

void WriteFile(const std::string& name, const std::vector<uint8_t>& data) {
  TFileStream file(name, fmCreate);
  file.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
}

// An engine stream header: the tag zero-padded to 8 bytes, then 0x11 bytes up to Total. A Total
// below 8 keeps only the first Total bytes of the header.
std::vector<uint8_t> StreamHeader(const char* tag, size_t total) {
  std::vector<uint8_t> data(std::max<size_t>(total, 8), 0x11);
  std::fill(data.begin(), data.begin() + 8, 0);
  std::copy(tag, tag + std::strlen(tag), data.begin());
  data.resize(total);
  return data;
}

std::vector<uint8_t> Avi(size_t size) {
  auto data = Bytes("RIFF", size);
  std::copy_n("AVI ", 4, data.begin() + 8);
  return data;
}

TEST_F(FormatDetectTest, BuiltProbesByContent) {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    TIEFileFormatId expected;
  };
  auto pcxHeader = Bytes("\x0A\x05", 200);
  auto pcxNewerVersion = Bytes("\x0A\x06", 200);
  auto jfifThenNonZero = Bytes("JFIFX", 64);
  // A start of image after 100 bytes of other data is found; after 150 it is not.
  auto soiAfter = [](size_t junk) {
    std::vector<uint8_t> data(junk, 0x20);
    data.insert(data.end(), {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10});
    return data;
  };
  const Case cases[] = {
      {"JFIF stream header", StreamHeader("JFIF", 40), fmtJPEG},
      {"GIF89a", Bytes("GIF89a", 14), fmtGIF},
      {"GIF87a", Bytes("GIF87a", 100), fmtGIF},
      {"PCX2 stream header", StreamHeader("PCX2", 40), fmtPCX},
      {"PCX short stream header", StreamHeader("PCX", 10), fmtPCX},
      {"BMP", Bytes("BM", 15), fmtBMP},
      {"PCX file header", pcxHeader, fmtPCX},
      {"TIFF stream header", StreamHeader("TIFF", 40), fmtTIFF},
      {"AVI", Avi(64), fmtAVI},
      {"JPEG start of image", soiAfter(0), fmtJPEG},
      {"JPEG start of image after 100 bytes", soiAfter(100), fmtJPEG},
      {"JPEG start of image after 149 bytes", soiAfter(149), fmtJPEG},
      {"JPEG start of image after 150 bytes", soiAfter(150), fmtUnknown},
      {"JPEG start of image after 200 bytes", soiAfter(200), fmtUnknown},
      {"FF D8 without the next FF", Bytes("\xFF\xD8\x00", 40), fmtUnknown},
      {"JFIF followed by a non-zero byte", jfifThenNonZero, fmtUnknown},
      {"PCX version above 5", pcxNewerVersion, fmtUnknown},
      {"plain bytes", Bytes("hello", 300), fmtUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(Detect(c.data), c.expected) << c.name;
}

TEST_F(FormatDetectTest, ShortAndEmptyStreamsAreUnknown) {
  EXPECT_EQ(Detect({}), fmtUnknown);
  EXPECT_EQ(Detect(Bytes("GIF89a", 10)), fmtUnknown);  // GIF needs more than 13 bytes
  EXPECT_EQ(Detect(Bytes("GIF89a", 13)), fmtUnknown);
  EXPECT_EQ(Detect(Bytes("BM", 14)), fmtUnknown);
  EXPECT_EQ(Detect(Bytes("\x0A\x05", 128)), fmtUnknown);
  EXPECT_EQ(Detect(StreamHeader("JFIF", 12)), fmtUnknown);
  EXPECT_EQ(Detect(StreamHeader("PCX", 4)), fmtUnknown);
  EXPECT_EQ(Detect(Bytes("RIFF", 8)), fmtUnknown);
}

TEST_F(FormatDetectTest, ProbesAtAnOffsetCountWhatRemains) {
  // A GIF signature 1000 bytes into the stream is found there...
  std::vector<uint8_t> data(1000, 0x20);
  auto gif = Bytes("GIF89a", 20);
  data.insert(data.end(), gif.begin(), gif.end());
  EXPECT_EQ(Detect(data, 1000), fmtGIF);
  // ...but a truncated one is not, however big the stream is before it.
  std::vector<uint8_t> truncated(1000, 0x20);
  auto shortGif = Bytes("GIF89a", 10);
  truncated.insert(truncated.end(), shortGif.begin(), shortGif.end());
  EXPECT_EQ(Detect(truncated, 1000), fmtUnknown);
  std::vector<uint8_t> bmp(5000, 0);
  bmp.push_back('B');
  bmp.push_back('M');
  EXPECT_EQ(Detect(bmp, 5000), fmtUnknown);
  // A position at or past the end reads nothing.
  EXPECT_EQ(Detect(gif, 20), fmtUnknown);
  EXPECT_EQ(Detect(gif, 50), fmtUnknown);
}

bool TestAsXX(TStream& stream, TIEFileFormatId) {
  char head[2];
  return stream.Read(head, 2) == 2 && head[0] == 'X' && head[1] == 'X';
}
bool TestThatRaises(TStream&, TIEFileFormatId) { throw EReadError("Stream read error"); }
void ReadNothing(TStream&, TIEBitmap&, TIOParamsVals&, bool, TIEProgressRecord&) {}

TEST_F(FormatDetectTest, ContentTestsOfAddedRowsComeAfterTheProbes) {
  TIEFileFormatInfo row;
  row.FormatId = 120;
  row.ExtensionList = "XXF";
  row.ReadProc = ReadNothing;
  row.TestProc = TestAsXX;
  AddFileFormat(row);
  EXPECT_EQ(Detect(Bytes("XXdata", 32)), 120);
  // A probe that raises ends the detection with nothing found.
  TIEFileFormatInfo raising;
  raising.FormatId = 121;
  raising.TestProc = TestThatRaises;
  RemoveFileFormat(120);
  AddFileFormat(raising);
  AddFileFormat(row);
  EXPECT_EQ(Detect(Bytes("XXdata", 32)), fmtUnknown);
}

TEST_F(FormatDetectTest, AVISignature) {
  TMemoryStream stream;
  auto avi = Avi(32);
  stream.WriteBuffer(avi.data(), 32);
  stream.SetPosition(0);
  EXPECT_TRUE(IsAVIStream(stream));
  EXPECT_EQ(stream.Position(), 0);
  auto wave = Bytes("RIFF\0\0\0\0WAVE", 32);
  TMemoryStream other;
  other.WriteBuffer(wave.data(), 32);
  other.SetPosition(0);
  EXPECT_FALSE(IsAVIStream(other));
}

TEST_F(FormatDetectTest, FilesAndTheirExtensions) {
  testsupport::ScratchDir dir;
  const auto gif = Bytes("GIF89a", 64);
  const auto bmp = Bytes("BM", 64);
  WriteFile(dir.File("a.gif"), gif);
  WriteFile(dir.File("b.jpg"), gif);
  WriteFile(dir.File("c"), gif);
  WriteFile(dir.File("d.GIF"), gif);
  WriteFile(dir.File("e.bmp"), bmp);
  struct Case {
    const char* file;
    bool match;
    TIEFileFormatId expected;
  };
  const Case cases[] = {
      {"a.gif", false, fmtGIF}, {"a.gif", true, fmtGIF},
      {"b.jpg", false, fmtGIF}, {"b.jpg", true, fmtUnknown},  // content and extension disagree
      {"c", false, fmtGIF},     {"c", true, fmtUnknown},      // no row for the extension
      {"d.GIF", true, fmtGIF},  {"e.bmp", true, fmtBMP},
      {"missing.gif", false, fmtUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(DetectFileFormat(dir.File(c.file), c.match), c.expected) << c.file << " " << c.match;
  EXPECT_EQ(DetectFileFormat("", false), fmtUnknown);
  EXPECT_EQ(DetectFileFormat(dir.Path().string(), false), fmtUnknown);  // a folder

  // A row that is not built in decides alone.
  TIEFileFormatInfo row;
  row.FormatId = 130;
  row.ExtensionList = "QQ";
  AddFileFormat(row);
  WriteFile(dir.File("f.qq"), gif);
  EXPECT_EQ(DetectFileFormat(dir.File("f.qq"), false), 130);
}

TEST_F(FormatDetectTest, ReadableExtensions) {
  EXPECT_TRUE(IsReadableFileExtension("x.gif"));
  EXPECT_TRUE(IsReadableFileExtension("/some/dir.d/x.JPEG"));
  EXPECT_FALSE(IsReadableFileExtension("x.pdf"));  // written only
  EXPECT_FALSE(IsReadableFileExtension("x.ps"));
  EXPECT_TRUE(IsReadableFileExtension("x.wdp"));
  EXPECT_FALSE(IsReadableFileExtension("x"));
  EXPECT_FALSE(IsReadableFileExtension("x.avi"));
}

TEST_F(FormatDetectTest, ImageCounts) {
  testsupport::ScratchDir dir;
  WriteFile(dir.File("a.bmp"), Bytes("BM", 64));
  std::vector<uint8_t> ico = {0, 0, 1, 0, 3, 0};
  ico.resize(64, 0);
  WriteFile(dir.File("b.ico"), ico);
  WriteFile(dir.File("c.ico"), {0, 0, 1});
  EXPECT_EQ(GetFileImageCount(dir.File("a.bmp")), 1);
  EXPECT_EQ(GetFileImageCount(dir.File("b.ico")), 3);
  EXPECT_EQ(CountICOImages(dir.File("b.ico")), 3);
  EXPECT_EQ(CountICOImages(dir.File("c.ico")), 0);  // shorter than its header
  EXPECT_EQ(GetFileImageCount(dir.File("missing.gif")), 0);
  EXPECT_THROW(CountICOImages(dir.File("missing.ico")), EFOpenError);
  // Media files count through the media services when they are there.
  WriteFile(dir.File("clip.avi"), Avi(64));
  EXPECT_EQ(GetFileImageCount(dir.File("clip.avi")), 0);
  MediaFileFrameCounter = [](const std::string&) { return 25; };
  EXPECT_EQ(GetFileImageCount(dir.File("clip.avi")), 25);
  MediaFileFrameCounter = nullptr;
}

}  // namespace
