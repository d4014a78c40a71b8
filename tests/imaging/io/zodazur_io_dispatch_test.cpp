// Loading and saving through TZodazUrIO: by name, extension, content and id, the common steps
// around the codecs, the temporary-then-rename save, stream headers and the registry's rows.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/support/test_support.h"

namespace {

using codectest::SamePixels;
using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& name, const Bytes& data) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes StreamBytes(TMemoryStream& s) {
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

// A 24-bit picture of few colours, so that every palette format keeps it exactly.
void Paint(TIEBitmap& b, int w = 12, int h = 7) {
  b.Allocate(w, h, ie24RGB);
  const TIERGB colors[] = {CreateRGB(255, 0, 0), CreateRGB(0, 128, 0), CreateRGB(0, 0, 255), CreateRGB(255, 255, 255)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel24(x, y, colors[(x / 3 + y) % 4]);
}

// For lossy formats: the same size, and on average within Tolerance levels per channel.
bool NearPixels(TIEBitmap& a, TIEBitmap& b, double tolerance) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const TIERGB p = a.GetPixelRGB(x, y), q = b.GetPixelRGB(x, y);
      sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
    }
  return sum / (3.0 * a.Width() * a.Height()) <= tolerance;
}

std::vector<std::string> FolderEntries(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class IODispatchTest : public testing::Test {
 protected:
  void SetUp() override {
    InitializeZodazUrIO();
    io.OnFinishWork = [this](TObject*) { ++finished; };
  }
  void TearDown() override { InitializeZodazUrIO(); }

  // Saves a painted picture in Format's file through a scratch component.
  std::string MakeFile(const std::string& name, void (TZodazUrIO::*saver)(const std::string&)) {
    TZodazUrIO maker(nullptr);
    Paint(*maker.IEBitmap());
    (maker.*saver)(dir.File(name));
    EXPECT_FALSE(maker.Aborting()) << name;
    return dir.File(name);
  }

  testsupport::ScratchDir dir;
  TZodazUrIO io{nullptr};
  int finished = 0;
};

TEST_F(IODispatchTest, LoadFromFileGoesByTheExtensionInAnyCase) {
  const std::string bmp = MakeFile("a.bmp", &TZodazUrIO::SaveToFileBMP);
  std::filesystem::rename(bmp, dir.File("picture.BMP"));
  io.LoadFromFile(dir.File("picture.BMP"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(io.Params().FileType, fmtBMP);
  EXPECT_EQ(io.Params().FileName, dir.File("picture.BMP"));
  TIEBitmap expected;
  Paint(expected);
  EXPECT_TRUE(SamePixels(*io.IEBitmap(), expected));
}

TEST_F(IODispatchTest, LoadFailuresSetAbortingAndNotifyWithoutRaising) {
  const std::string gif = MakeFile("a.gif", &TZodazUrIO::SaveToFileGIF);
  std::filesystem::copy_file(gif, dir.File("picture"));
  struct Case { std::string name; };
  const Case cases[] = {{dir.File("picture")}, {dir.File("a.xyz")}, {""}, {dir.File("missing.gif")},
                        {dir.File("clip.avi")}, {"http://example.invalid/a.gif"}};
  WriteBytes(dir.File("a.xyz"), Bytes{1, 2, 3});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    finished = 0;
    io.SetAborting(false);
    EXPECT_NO_THROW(io.LoadFromFile(c.name));
    EXPECT_TRUE(io.Aborting());
    EXPECT_EQ(finished, 1);
  }
}

TEST_F(IODispatchTest, ByContentAndAsFormatIgnoreAMisleadingExtension) {
  const std::string gif = MakeFile("a.gif", &TZodazUrIO::SaveToFileGIF);
  std::filesystem::copy_file(gif, dir.File("really_a_gif.bmp"));
  io.LoadFromFile(dir.File("really_a_gif.bmp"));
  EXPECT_TRUE(io.Aborting());
  io.LoadFromFileByContent(dir.File("really_a_gif.bmp"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtGIF);
  io.IEBitmap()->FreeImage();
  io.LoadFromFileAsFormat(dir.File("really_a_gif.bmp"), fmtGIF);
  EXPECT_FALSE(io.Aborting());
  TIEBitmap expected;
  Paint(expected);
  EXPECT_TRUE(SamePixels(*io.IEBitmap(), expected));
  io.LoadFromFileAsFormat(dir.File("really_a_gif.bmp"), 23);  // no such id
  EXPECT_TRUE(io.Aborting());
}

TEST_F(IODispatchTest, LoadFromFileGIFReturnsTheFrameCount) {
  const std::string gif = MakeFile("a.gif", &TZodazUrIO::SaveToFileGIF);
  EXPECT_EQ(io.LoadFromFileGIF(gif), 1);
  io.Params().GifImageIndex = 3;
  EXPECT_EQ(io.LoadFromFileGIF(gif), 1);
  EXPECT_TRUE(io.Aborting());  // no frame 3
}

TEST_F(IODispatchTest, LoadFromStreamByContentOneImageAfterAnother) {
  TZodazUrIO maker(nullptr);
  Paint(*maker.IEBitmap());
  TMemoryStream s;
  maker.SaveToStream(s, fmtBMP);
  maker.SaveToStream(s, fmtGIF);
  maker.SaveToStream(s, fmtBMP);
  ASSERT_FALSE(maker.Aborting());
  s.Seek(0, soBeginning);
  const TIEFileFormatId expected[] = {fmtBMP, fmtGIF, fmtBMP};
  for (TIEFileFormatId id : expected) {
    io.IEBitmap()->FreeImage();
    io.LoadFromStream(s);
    EXPECT_FALSE(io.Aborting());
    EXPECT_EQ(io.Params().FileType, id);
    EXPECT_TRUE(io.Params().FileName.empty());
    EXPECT_TRUE(SamePixels(*io.IEBitmap(), *maker.IEBitmap()));
  }
  EXPECT_EQ(s.Position(), s.Size());
}

TEST_F(IODispatchTest, UnknownStreamContentSetsAbortingAndChangesNothing) {
  Paint(*io.IEBitmap(), 3, 2);
  io.Params().FileType = fmtPNG;
  finished = 0;
  const Bytes junk(100, 0x55);
  TCustomMemoryStream s(junk.data(), 100);
  io.LoadFromStream(s);
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(finished, 0);
  EXPECT_EQ(io.IEBitmap()->Width(), 3);
  EXPECT_EQ(io.Params().FileType, fmtPNG);
  EXPECT_EQ(s.Position(), 0);
}

TEST_F(IODispatchTest, LoadFromBuffer) {
  io.LoadFromBuffer(nullptr, 100, fmtUnknown);
  EXPECT_TRUE(io.Aborting());
  TZodazUrIO maker(nullptr);
  Paint(*maker.IEBitmap());
  TMemoryStream s;
  maker.SaveToStream(s, fmtGIF);
  const Bytes data = StreamBytes(s);
  io.LoadFromBuffer(data.data(), static_cast<int64_t>(data.size()), fmtUnknown);
  EXPECT_FALSE(io.Aborting());
  EXPECT_TRUE(SamePixels(*io.IEBitmap(), *maker.IEBitmap()));
  io.IEBitmap()->FreeImage();
  io.LoadFromBuffer(data.data(), static_cast<int64_t>(data.size()), fmtGIF);
  EXPECT_FALSE(io.Aborting());
  io.LoadFromBuffer(data.data(), static_cast<int64_t>(data.size()), fmtBMP);
  EXPECT_TRUE(io.Aborting());
}

TEST_F(IODispatchTest, AsynchronousLoadFromABufferOnACallersBitmap) {
  TZodazUrIO maker(nullptr);
  Paint(*maker.IEBitmap());
  TMemoryStream s;
  maker.SaveToStream(s, fmtBMP);
  const Bytes data = StreamBytes(s);
  TIEBitmap target;
  io.SetAttachedIEBitmap(&target);
  io.SetAsynchronous(true);
  io.LoadFromBuffer(data.data(), static_cast<int64_t>(data.size()), fmtUnknown);
  io.WaitThreads(false);
  EXPECT_FALSE(io.Aborting());
  EXPECT_TRUE(SamePixels(target, *maker.IEBitmap()));
}

TEST_F(IODispatchTest, SaveToFileByExtension) {
  Paint(*io.IEBitmap());
  for (const char* name : {"x.bmp", "x.DIB", "x.rle", "x.gif"}) {
    SCOPED_TRACE(name);
    finished = 0;
    io.SaveToFile(dir.File(name));
    EXPECT_FALSE(io.Aborting());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(io.Params().FileName, dir.File(name));
    EXPECT_EQ(DetectFileFormat(dir.File(name), false), std::string(name) == "x.gif" ? fmtGIF : fmtBMP);
  }
}

TEST_F(IODispatchTest, SavesThatCannotBeMadeCreateNoFile) {
  Paint(*io.IEBitmap());
  // Formats whose codec writes nothing yet, formats that cannot be written at all, and unknown
  // extensions.
  struct Case { const char* name; bool notifies; };
  const Case cases[] = {{"a.cur", false}, {"a.iev", false}, {"a.lyr", false}, {"a.all", false},
                        {"a.xyz", false}, {"a.psd", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    finished = 0;
    io.SetAborting(false);
    io.SaveToFile(dir.File(c.name));
    EXPECT_TRUE(io.Aborting());
    EXPECT_EQ(finished, c.notifies ? 1 : 0);
    EXPECT_FALSE(FileExists(dir.File(c.name)));
  }
  EXPECT_TRUE(FolderEntries(dir.Path()).empty());
  io.SetAborting(false);
  io.SaveToFile("");
  EXPECT_FALSE(io.Aborting());
}

TEST_F(IODispatchTest, AFailedSaveLeavesTheOldFileAsItWas) {
  const Bytes old = {'o', 'l', 'd'};
  for (const char* name : {"keep.psd", "keep.gif", "keep.bmp"}) {
    WriteBytes(dir.File(name), old);
  }
  // No image to save: nothing is created or replaced.
  io.ReplaceWorkBitmap(nullptr);
  io.SaveToFileGIF(dir.File("keep.gif"));
  EXPECT_TRUE(io.Aborting());
  io.SaveToFileGIF(dir.File("new.gif"));
  EXPECT_FALSE(FileExists(dir.File("new.gif")));
  TIEBitmap empty;
  io.SetAttachedIEBitmap(&empty);
  io.SaveToFile(dir.File("keep.bmp"));
  EXPECT_TRUE(io.Aborting());
  TIEBitmap picture;
  Paint(picture);
  io.SetAttachedIEBitmap(&picture);
  io.SaveToFile(dir.File("keep.psd"));  // no PSD writer yet
  EXPECT_TRUE(io.Aborting());
  for (const char* name : {"keep.psd", "keep.gif", "keep.bmp"}) EXPECT_EQ(FileBytes(dir.File(name)), old) << name;
  // A save that succeeds replaces the file and leaves nothing else behind.
  io.SaveToFile(dir.File("keep.bmp"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_NE(FileBytes(dir.File("keep.bmp")), old);
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"keep.bmp", "keep.gif", "keep.psd"}));
}

TEST_F(IODispatchTest, AWriterThatFailsHalfwayLeavesTheOldFile) {
  // A GIF writer whose stream refuses the data after the header: the codec fails mid-file.
  const Bytes old = {'o', 'l', 'd'};
  WriteBytes(dir.File("half.gif"), old);
  Paint(*io.IEBitmap());
  io.Params().GifLZWCompressor = [](TStream&, int32_t, int32_t, bool, const uint8_t*, int32_t) {
    throw EWriteError("Stream write error");
  };
  io.SaveToFile(dir.File("half.gif"));
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(FileBytes(dir.File("half.gif")), old);
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"half.gif"});
}

// Saves as users make them, each in a child process (as an unprivileged user, whom permission bits
// stop; a full disk is a file-size limit). After a failure the old file is byte-identical, nothing is
// left beside it and the record still names the file it named before; after a success the file holds
// the picture and the record names it.
TEST_F(IODispatchTest, SavesWhereUsersSaveReplaceTheFileOnlyWhenComplete) {
  std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
  const Bytes old = {'o', 'l', 'd'};
  const long nameMax = ::pathconf(dir.Path().c_str(), _PC_NAME_MAX);
  enum Place { kPlain, kSymlink, kMissingFolder };
  struct Case {
    const char* name;
    std::string file;     // in the case's folder
    Place place;
    int folderMode;
    int fileMode;
    int64_t fileSizeLimit;
    bool codecFails;
    bool saved;
  };
  const Case cases[] = {
      {"plain", "a.bmp", kPlain, 0777, 0644, -1, false, true},
      {"full disk", "a.bmp", kPlain, 0777, 0666, 16 << 10, false, false},
      {"codec fails", "a.gif", kPlain, 0777, 0666, -1, true, false},
      {"read-only folder, read-only file", "a.bmp", kPlain, 0555, 0444, -1, false, false},
      {"read-only folder, writable file", "a.bmp", kPlain, 0555, 0666, -1, false, true},
      {"read-only folder, writable file, codec fails", "a.gif", kPlain, 0555, 0666, -1, true, false},
      {"read-only folder, writable file, full disk", "a.bmp", kPlain, 0555, 0666, 16 << 10, false, false},
      {"symbolic link", "link.bmp", kSymlink, 0777, 0666, -1, false, true},
      {"name at the file system's limit", std::string(static_cast<size_t>(nameMax) - 4, 'n') + ".bmp", kPlain, 0777,
       0666, -1, false, true},
      {"missing folder", "a.bmp", kMissingFolder, 0777, 0666, -1, false, false},
  };
  TIEBitmap painted;
  Paint(painted, 200, 100);  // 60 KB as a BMP: beyond the file-size limit
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path folder = dir.Path() / "f";
    std::filesystem::create_directories(folder / "real");
    std::filesystem::permissions(folder, std::filesystem::perms(0777));
    const std::string real = c.place == kSymlink ? (folder / "real" / "picture.bmp").string() : (folder / c.file).string();
    WriteBytes(real, old);
    ::chmod(real.c_str(), static_cast<mode_t>(c.fileMode));
    if (c.place == kSymlink) std::filesystem::create_symlink("real/picture.bmp", folder / c.file);
    const std::string target = c.place == kMissingFolder ? (folder / "none" / c.file).string() : (folder / c.file).string();
    const std::vector<std::string> before = FolderEntries(folder);
    std::filesystem::permissions(folder, std::filesystem::perms(c.folderMode));

    const std::string report = testsupport::RunInChild({.Unprivileged = true, .FileSizeLimit = c.fileSizeLimit}, [&] {
      TZodazUrIO saver(nullptr);
      saver.IEBitmap()->Assign(painted);
      saver.Params().FileName = "before.gif";
      saver.Params().FileType = fmtGIF;
      if (c.codecFails)
        saver.Params().GifLZWCompressor = [](TStream&, int32_t, int32_t, bool, const uint8_t*, int32_t) {
          throw EWriteError("Stream write error");
        };
      saver.SaveToFile(target);
      return std::string(saver.Aborting() ? "failed" : "saved") + " " + saver.Params().FileName + " " +
             std::to_string(saver.Params().FileType);
    });
    std::filesystem::permissions(folder, std::filesystem::perms(0777));
    const TIEFileFormatId format = c.file.ends_with(".gif") ? fmtGIF : fmtBMP;
    EXPECT_EQ(report, c.saved ? "saved " + target + " " + std::to_string(format) : "failed before.gif 2");
    EXPECT_EQ(FolderEntries(folder), before);  // no temporary file left, links still links
    if (c.place == kSymlink) {
      EXPECT_TRUE(std::filesystem::is_symlink(folder / c.file));
    }
    if (c.saved) {
      TZodazUrIO loader(nullptr);
      loader.LoadFromFile(real);
      EXPECT_FALSE(loader.Aborting());
      EXPECT_TRUE(SamePixels(*loader.IEBitmap(), painted));
    } else {
      EXPECT_EQ(FileBytes(real), old);
    }
    std::filesystem::remove_all(folder);
  }
}

TEST_F(IODispatchTest, SaveToStreamByIdAndIdsThatWriteNothing) {
  Paint(*io.IEBitmap());
  TMemoryStream s;
  for (TIEFileFormatId id : {fmtRawBitmap, fmtIEV, fmtLYR, fmtALL, fmtCUR, 23, 99}) {
    io.SaveToStream(s, id);
    EXPECT_TRUE(io.Aborting()) << id;
    EXPECT_EQ(s.Size(), 0) << id;
  }
  io.Params().FileName = "unchanged";
  io.SaveToStream(s, fmtBMP);
  EXPECT_FALSE(io.Aborting());
  EXPECT_GT(s.Size(), 54);
  EXPECT_EQ(io.Params().FileName, "unchanged");
}

TEST_F(IODispatchTest, ReadParamsWithoutPixels) {
  TZodazUrIO maker(nullptr);
  Paint(*maker.IEBitmap(), 40, 30);
  maker.SaveToFile(dir.File("p.gif"));
  Paint(*io.IEBitmap(), 2, 2);
  io.ReadParamsFromFile(dir.File("p.gif"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtGIF);
  EXPECT_EQ(io.Params().Width, 40);
  EXPECT_EQ(io.Params().Height, 30);
  EXPECT_EQ(io.Params().FileName, dir.File("p.gif"));
  EXPECT_EQ(io.IEBitmap()->Width(), 2);

  WriteBytes(dir.File("damaged.bmp"), Bytes{'B', 'M', 1, 2});
  EXPECT_NO_THROW(io.ReadParamsFromFile(dir.File("damaged.bmp")));
  EXPECT_EQ(io.Params().FileType, fmtUnknown);
  EXPECT_NO_THROW(io.ReadParamsFromFile(dir.File("missing.bmp")));
  EXPECT_EQ(io.Params().FileType, fmtUnknown);

  TMemoryStream s;
  maker.SaveToStream(s, fmtBMP);
  s.Seek(0, soBeginning);
  io.ReadParamsFromStream(s);
  EXPECT_EQ(io.Params().FileType, fmtBMP);
  EXPECT_EQ(io.Params().Width, 40);
  const Bytes data = StreamBytes(s);
  io.ReadParamsFromBuffer(data.data(), static_cast<int64_t>(data.size()), fmtGIF);
  EXPECT_EQ(io.Params().FileType, fmtUnknown);
}

// A stand-in codec for the stream-header tests: the picture's width as one byte, then as many bytes.
void FakeWriter(TStream& s, TIEBitmap& b, TIOParamsVals&, TIEProgressRecord&) {
  const auto w = static_cast<uint8_t>(b.Width());
  s.WriteBuffer(&w, 1);
  const Bytes body(w, 0xAB);
  s.WriteBuffer(body.data(), w);
}
void FakeReader(TStream& s, TIEBitmap& b, TIOParamsVals&, TIEProgressRecord& p, bool) {
  uint8_t w = 0;
  if (s.Read(&w, 1) != 1) {
    p.Abort();
    return;
  }
  // Reads on greedily (as a codec that looks ahead may), so only the header bounds the image.
  Bytes rest(4096);
  s.Read(rest.data(), 4096);
  b.Allocate(w, 1, ie24RGB);
}

TEST_F(IODispatchTest, StreamHeadersLetImagesFollowOneAnother) {
  TIEFileFormatInfo row = *FindFileFormatById(fmtJPEG);
  row.Reader = FakeReader;
  row.Writer = FakeWriter;
  RemoveFileFormat(fmtJPEG);
  AddFileFormat(row);
  io.SetStreamHeaders(true);
  TMemoryStream s;
  for (int w : {5, 9}) {
    Paint(*io.IEBitmap(), w, 1);
    io.SaveToStreamJPEG(s);
    ASSERT_FALSE(io.Aborting());
  }
  const Bytes data = StreamBytes(s);
  ASSERT_EQ(data.size(), 12u + 6u + 12u + 10u);
  EXPECT_EQ(std::string(data.begin(), data.begin() + 4), "JFIF");
  EXPECT_EQ(data[8], 6);
  s.Seek(0, soBeginning);
  for (int w : {5, 9}) {
    io.LoadFromStreamJPEG(s);
    EXPECT_FALSE(io.Aborting());
    EXPECT_EQ(io.IEBitmap()->Width(), w);
  }
  EXPECT_EQ(s.Position(), s.Size());
}

// A plug-in format: its row's procedures do the work.
void PluginWrite(TStream& s, TIEBitmap& b, TIOParamsVals&, TIEProgressRecord&) {
  const int32_t w = b.Width();
  s.WriteBuffer(&w, 4);
}
void PluginRead(TStream& s, TIEBitmap& b, TIOParamsVals& p, bool, TIEProgressRecord&) {
  int32_t w = 0;
  s.ReadBuffer(&w, 4);  // a short file raises: the dispatch turns that into Aborting
  b.Allocate(w, 2, ie24RGB);
  p.Width = w;
}

TEST_F(IODispatchTest, RowsOfPluginsAreReadAndWrittenThroughTheirProcedures) {
  TIEFileFormatInfo row;
  row.FormatId = 40;
  row.FormatDescription = "Test plug-in";
  row.ExtensionList = "TST";
  row.ReadProc = PluginRead;
  row.WriteProc = PluginWrite;
  AddFileFormat(row);
  Paint(*io.IEBitmap(), 17, 3);
  io.SaveToFile(dir.File("a.tst"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(FileBytes(dir.File("a.tst")), (Bytes{17, 0, 0, 0}));
  io.IEBitmap()->FreeImage();
  io.LoadFromFile(dir.File("a.tst"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.IEBitmap()->Width(), 17);
  EXPECT_EQ(io.Params().FileType, 40);
  WriteBytes(dir.File("short.tst"), Bytes{1});
  EXPECT_NO_THROW(io.LoadFromFile(dir.File("short.tst")));
  EXPECT_TRUE(io.Aborting());
}

// One walk over the registry: every format whose writer exists round-trips through a file and
// through memory; every other writable row fails cleanly and leaves no file.
TEST_F(IODispatchTest, EveryWritableFormatRoundTrips) {
  TIEBitmap picture;
  Paint(picture, 19, 11);
  int roundTrips = 0;
  for (const TIEFileFormatInfoPtr& row : FileFormatRegistry()) {
    if (!row->Writer) continue;
    SCOPED_TRACE(row->FormatDescription);
    const std::string ext = FileFormatExtension(row->FormatId, 0);
    const bool built = row->Writer != UnsupportedFormatWriter(row->FormatId);
    TZodazUrIO saver(nullptr);
    saver.IEBitmap()->Assign(picture);
    // JPEG at its finest: full chroma, quality 100.
    saver.Params().JpegQuality = 100;
    saver.Params().JpegChromaSubsampling = 2;
    saver.Params().HdpLossless = true;  // HD Photo without loss
    // An icon of the picture's own size at 24 bits.
    saver.Params().IcoSizes.fill(TIOICOSize{});
    saver.Params().IcoSizes[0] = TIOICOSize{picture.Width(), picture.Height()};
    saver.Params().IcoBitCounts[0] = 24;
    TMemoryStream memory;
    saver.SaveToStream(memory, row->FormatId);
    EXPECT_EQ(saver.Aborting(), !built);
    if (!ext.empty()) {
      saver.SaveToFile(dir.File("walk." + ext));
      EXPECT_EQ(saver.Aborting(), !built);
      EXPECT_EQ(FileExists(dir.File("walk." + ext)), built);
    }
    if (!built) continue;
    ++roundTrips;
    // Write-only formats (PostScript, PDF) are read back by independent readers in their own tests.
    if (!row->Reader || row->Reader == UnsupportedFormatReader(row->FormatId)) continue;
    // JPEG keeps the picture only approximately, a wireless bitmap in black and white.
    TIEBitmap bilevel(picture.Width(), picture.Height(), ie1g);
    bilevel.CopyAndConvertFormat(picture);
    auto same = [&](TIEBitmap& b) {
      if (row->FormatId == fmtJPEG) return NearPixels(b, picture, 2);
      return SamePixels(b, row->FormatId == fmtWBMP ? bilevel : picture);
    };
    TZodazUrIO loader(nullptr);
    loader.LoadFromFile(dir.File("walk." + ext));
    EXPECT_FALSE(loader.Aborting());
    EXPECT_TRUE(same(*loader.IEBitmap()));
    loader.IEBitmap()->FreeImage();
    memory.Seek(0, soBeginning);
    loader.LoadFromStreamAsFormat(memory, row->FormatId);
    EXPECT_FALSE(loader.Aborting());
    EXPECT_TRUE(same(*loader.IEBitmap()));
  }
  EXPECT_GE(roundTrips, 3);  // GIF, BMP and JPEG at least
}

TEST_F(IODispatchTest, AlphaAndResolutionSurviveABMPRoundTrip) {
  Paint(*io.IEBitmap(), 4, 4);
  io.IEBitmap()->SetAlpha(1, 2, 40);
  io.Params().BmpUseAlpha = true;
  io.Params().SetDpiX(300);
  io.Params().SetDpiY(72);
  io.SaveToFile(dir.File("alpha.bmp"));
  TZodazUrIO loader(nullptr);
  loader.Params().BmpUseAlpha = true;
  loader.LoadFromFile(dir.File("alpha.bmp"));
  ASSERT_TRUE(loader.IEBitmap()->HasAlphaChannel());
  EXPECT_EQ(loader.IEBitmap()->GetAlpha(1, 2), 40);
  EXPECT_EQ(loader.Params().DpiX, 300);
  EXPECT_EQ(loader.Params().DpiY, 72);
  // Without BmpUseAlpha the fourth bytes are not read; an old alpha channel does not survive a load.
  TZodazUrIO plain(nullptr);
  plain.IEBitmap()->Allocate(2, 2, ie24RGB);
  plain.IEBitmap()->SetAlpha(0, 0, 1);
  plain.LoadFromFile(dir.File("alpha.bmp"));
  EXPECT_FALSE(plain.IEBitmap()->HasAlphaChannel());
}

}  // namespace
