#include "imaging/io/format_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_startup.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/lzw_hooks.h"
#include "platform/system/streams.h"
#include "platform/wic/wic_codec.h"
#include "tests/support/test_support.h"

namespace {

class FormatRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeZodazUrIO(); }
  void TearDown() override {
    FinalizeZodazUrIO();
    InitializeZodazUrIO();  // other tests find the registry as the engine's start-up leaves it
  }
};

struct RowCase {
  TIEFileFormatId id;
  const char* description;
  const char* extensions;
  bool readable;
  bool writable;
  TIOPreviewPages pages;
};

// The built-in rows in registration order.
const RowCase kRows[] = {
    {fmtTIFF, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F;XIF", true, true, PreviewPageBit(ppTIFF)},
    {fmtGIF, "CompuServe Bitmap", "GIF", true, true, PreviewPageBit(ppGIF)},
    {fmtJPEG, "JPEG Bitmap", "JPG;JPEG;JPE;JIF", true, true, PreviewPageBit(ppJPEG)},
    {fmtPCX, "PaintBrush", "PCX", true, true, PreviewPageBit(ppPCX)},
    {fmtBMP, "Windows Bitmap", "BMP;DIB;RLE", true, true, PreviewPageBit(ppBMP)},
    {fmtRawBitmap, "Raw Bitmap", "", true, true, 0},
    {fmtICO, "Windows Icon", "ICO", true, true, 0},
    {fmtCUR, "Windows Cursor", "CUR", true, false, 0},
    {fmtPNG, "Portable Network Graphics", "PNG", true, true, PreviewPageBit(ppPNG)},
    {fmtDICOM, "DICOM Bitmap", "DCM;DIC;DICOM;V2", true, false, 0},
    {fmtWMF, "Windows Metafile", "WMF", true, false, 0},
    {fmtEMF, "Enhanced Windows Metafile", "EMF", true, false, 0},
    {fmtTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", true, true, PreviewPageBit(ppTGA)},
    {fmtPXM, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", true, true, 0},
    {fmtWBMP, "Wireless Bitmap", "WBMP", true, true, 0},
    {fmtJP2, "JPEG2000", "JP2", true, true, PreviewPageBit(ppJ2000)},
    {fmtJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", true, true, PreviewPageBit(ppJ2000)},
    {fmtPS, "PostScript Level 2", "PS;EPS", false, true, 0},
    {fmtPDF, "Adobe PDF", "PDF", false, true, 0},
    {fmtDCX, "Multipage PCX", "DCX", true, true, 0},
    {fmtRAW, "Camera RAW", "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR;SR2", true, false, 0},
    {fmtPSD, "Photoshop PSD", "PSD", true, true, 0},
    {fmtIEV, "Vectorial objects", "IEV", true, true, 0},
    {fmtLYR, "Layers", "LYR", true, true, 0},
    {fmtALL, "Layers and objects", "ALL", true, true, 0},
    {fmtHDP, "Microsoft HD Photo", "WDP;HDP", true, true, 0},  // where the codec service is there
};

TEST_F(FormatRegistryTest, BuiltInRowsInOrder) {
  const auto rows = FileFormatRegistry();
  ASSERT_EQ(rows.size(), std::size(kRows));
  for (size_t i = 0; i < rows.size(); ++i) {
    const RowCase& c = kRows[i];
    SCOPED_TRACE(c.description);
    EXPECT_EQ(rows[i]->FormatId, c.id);
    EXPECT_EQ(rows[i]->FormatDescription, c.description);
    EXPECT_EQ(rows[i]->ExtensionList, c.extensions);
    EXPECT_TRUE(rows[i]->IsInternal);
    EXPECT_EQ(rows[i]->PreviewPages, c.pages);
    EXPECT_EQ(rows[i]->ReadProc != nullptr, c.readable);
    EXPECT_EQ(rows[i]->WriteProc != nullptr, c.writable);
    EXPECT_EQ(rows[i]->Reader != nullptr, c.readable);
    EXPECT_EQ(rows[i]->Writer != nullptr, c.writable);
    EXPECT_EQ(rows[i]->TestProc, BuiltInTestProc);
  }
  EXPECT_EQ(FindFileFormatById(fmtAVI), nullptr);
  EXPECT_EQ(FindFileFormatById(22), nullptr);
  EXPECT_EQ(FileFormatIdByExtension(".wdp"), fmtHDP);

  // Without the codec service HD Photo is not registered.
  SetWICAvailabilityForTesting(0);
  RegisterBuiltInFileFormats();
  EXPECT_EQ(FileFormatRegistry().size(), std::size(kRows) - 1);
  EXPECT_EQ(FindFileFormatById(fmtHDP), nullptr);
  EXPECT_EQ(FindFileFormatByExtension(".wdp"), nullptr);
  SetWICAvailabilityForTesting(-1);
  RegisterBuiltInFileFormats();
  EXPECT_NE(FindFileFormatById(fmtHDP), nullptr);
}

TEST_F(FormatRegistryTest, LookupsByExtension) {
  for (const char* ext : {".JPE", "jpe", "JPE", ".jpe", "Jpe"}) EXPECT_EQ(FileFormatIdByExtension(ext), fmtJPEG) << ext;
  EXPECT_EQ(FindFileFormatByExtension(""), nullptr);
  EXPECT_EQ(FindFileFormatByExtension("."), nullptr);
  EXPECT_EQ(FindFileFormatByExtension("xyz"), nullptr);
  EXPECT_EQ(FileFormatIdByExtension("xyz"), fmtUnknown);
  // RAW selects camera raw, never the raw-bitmap row, which has no extension.
  EXPECT_EQ(FileFormatIdByExtension("raw"), fmtRAW);
  EXPECT_EQ(FileFormatIdByExtension(".pix"), fmtTGA);
  EXPECT_EQ(FileFormatIdByExtension(".xif"), fmtTIFF);
  EXPECT_EQ(FileFormatIdByExtension(".v2"), fmtDICOM);
}

TEST_F(FormatRegistryTest, ExtensionsOfARow) {
  EXPECT_EQ(FileFormatExtensionCount(fmtTIFF), 6);
  EXPECT_EQ(FileFormatExtension(fmtTIFF, 0), "TIF");
  EXPECT_EQ(FileFormatExtension(fmtTIFF, 5), "XIF");
  EXPECT_EQ(FileFormatExtension(fmtTIFF, 6), "");
  EXPECT_EQ(FileFormatExtension(fmtTIFF, -1), "");
  EXPECT_EQ(FileFormatExtensionCount(fmtRawBitmap), 0);
  EXPECT_EQ(FileFormatExtension(fmtRawBitmap, 0), "");
  EXPECT_EQ(FileFormatExtensionCount(fmtAVI), 0);
  EXPECT_EQ(FileFormatExtensionCount(fmtRAW), 13);
}

TEST_F(FormatRegistryTest, DescribeFileFormat) {
  struct Case {
    std::function<void(TIOParamsVals&)> set;
    const char* expected;
  };
  const Case cases[] = {
      {[](TIOParamsVals& p) { p.FileType = fmtPCX; p.PcxCompression = 1; }, "PaintBrush (PCX)"},
      {[](TIOParamsVals& p) { p.FileType = fmtPCX; p.PcxCompression = 0; }, "PaintBrush (PCX) Uncompressed"},
      {[](TIOParamsVals& p) { p.FileType = fmtTIFF; p.TiffCompression = 5; }, "TIFF Bitmap (TIF) LZW"},
      {[](TIOParamsVals& p) { p.FileType = fmtTIFF; p.TiffCompression = 10; }, "TIFF Bitmap (TIF) Deflate"},
      {[](TIOParamsVals& p) { p.FileType = fmtTIFF; p.TiffCompression = 11; }, "TIFF Bitmap (TIF)"},
      {[](TIOParamsVals& p) { p.FileType = fmtGIF; p.GifInterlaced = true; }, "CompuServe Bitmap (GIF) Interlaced"},
      {[](TIOParamsVals& p) { p.FileType = fmtJPEG; p.JpegColorSpace = 3; }, "JPEG Bitmap (JPG) CMYK"},
      {[](TIOParamsVals& p) { p.FileType = fmtJPEG; p.JpegColorSpace = 0; }, "JPEG Bitmap (JPG)"},
      {[](TIOParamsVals& p) { p.FileType = fmtBMP; p.BmpVersion = 2; }, "Windows Bitmap (BMP) OS/2 v.1"},
      {[](TIOParamsVals& p) { p.FileType = fmtPNG; }, "Portable Network Graphics (PNG)"},
      {[](TIOParamsVals& p) { p.FileType = fmtTGA; p.TgaCompressed = false; }, "Targa Bitmap (TGA) Uncompressed"},
      {[](TIOParamsVals& p) { p.FileType = fmtJ2K; p.J2000ColorSpace = 0; }, "JPEG2000 Code Stream (J2K) Gray level"},
      {[](TIOParamsVals& p) { p.FileType = fmtRAW; p.RawCamera = "Canon EOS"; }, "Camera RAW (CRW) (Canon EOS)"},
      {[](TIOParamsVals& p) { p.FileType = fmtAVI; }, ""},
      {[](TIOParamsVals& p) { p.FileType = fmtUnknown; }, ""},
  };
  for (const Case& c : cases) {
    TIOParamsVals p(nullptr);
    c.set(p);
    EXPECT_EQ(DescribeFileFormat(p), c.expected);
  }
}

TEST_F(FormatRegistryTest, GIFRowFollowsTheLZWHooks) {
  const auto decode = GIFLZWDecodeHook.load();
  const auto encode = GIFLZWEncodeHook.load();
  GIFLZWDecodeHook = nullptr;
  GIFLZWEncodeHook = [](TStream&, int32_t, int32_t, bool, const uint8_t*, int32_t) {};
  const TIEFileFormatInfoPtr before = FindFileFormatById(fmtGIF);
  UpdateGIFFileFormatFunctions();
  const TIEFileFormatInfoPtr after = FindFileFormatById(fmtGIF);
  EXPECT_EQ(after->ReadProc, nullptr);
  EXPECT_EQ(after->WriteProc, BuiltInWriteProc);
  EXPECT_EQ(before->ReadProc, BuiltInReadProc);  // a reader's row is never changed under it
  GIFLZWDecodeHook = [](TStream&, int32_t, int32_t, bool, uint8_t*) {};
  GIFLZWEncodeHook = nullptr;
  UpdateGIFFileFormatFunctions();
  EXPECT_EQ(FindFileFormatById(fmtGIF)->ReadProc, BuiltInReadProc);
  EXPECT_EQ(FindFileFormatById(fmtGIF)->WriteProc, nullptr);
  // Its place in the registry stays.
  EXPECT_EQ(FileFormatRegistry()[1]->FormatId, fmtGIF);
  GIFLZWDecodeHook = decode;
  GIFLZWEncodeHook = encode;
}

void ReadAsX(TStream& s, TIEBitmap& b, TIOParamsVals& p, bool, TIEProgressRecord&) {
  (void)s;
  b.Allocate(1, 1, ie8g);
  p.FileType = 100;
}

TEST_F(FormatRegistryTest, AddAndRemoveRows) {
  TIEFileFormatInfo row;
  row.FormatId = 100;
  row.FormatDescription = "X format";
  row.ExtensionList = "XX;JPG";
  row.ReadProc = ReadAsX;
  AddFileFormat(row);
  EXPECT_EQ(FindFileFormatById(100)->FormatDescription, "X format");
  EXPECT_EQ(FileFormatIdByExtension("xx"), 100);
  EXPECT_EQ(FileFormatIdByExtension("jpg"), fmtJPEG);  // the first row that lists it wins
  const TIEFileFormatInfoPtr held = FindFileFormatById(100);
  RemoveFileFormat(100);
  EXPECT_EQ(FindFileFormatById(100), nullptr);
  EXPECT_EQ(held->ReadProc, ReadAsX);  // a row still held stays valid
  RemoveFileFormat(100);                // nothing to remove: nothing happens
  RemoveFileFormat(fmtPSD);
  EXPECT_EQ(FindFileFormatById(fmtPSD), nullptr);
  EXPECT_EQ(FileFormatRegistry().size(), std::size(kRows) - 1);
}

TEST_F(FormatRegistryTest, CodecEntriesOfUnbuiltFormatsFailClearly) {
  testsupport::ScratchDir dir;
  TraceLogFileName = dir.File("trace.log");
  { TFileStream create(TraceLogFileName, fmCreate); }
  TMemoryStream stream;
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  const TIEFileFormatInfoPtr psd = FindFileFormatById(fmtPSD);
  psd->Reader(stream, bitmap, params, progress, false);
  EXPECT_TRUE(aborting);
  aborting = false;
  psd->Writer(stream, bitmap, params, progress);
  EXPECT_TRUE(aborting);
  aborting = false;
  // The placeholder slots fail too: reaching one means nothing can do the work.
  params.FileType = fmtIEV;
  BuiltInWriteProc(stream, bitmap, params, progress);
  EXPECT_TRUE(aborting);
  EXPECT_EQ(stream.Size(), 0);

  TMemoryStream log;
  log.LoadFromFile(TraceLogFileName);
  const std::string text(static_cast<const char*>(log.Memory()), static_cast<size_t>(log.Size()));
  EXPECT_NE(text.find("Photoshop PSD: format not supported yet"), std::string::npos) << text;
  EXPECT_NE(text.find("Vectorial objects: no writer for this format"), std::string::npos) << text;
  TraceLogFileName.clear();
}

TEST_F(FormatRegistryTest, StartUpAndShutDown) {
  EXPECT_TRUE(IsWinInetLoaded());
  EXPECT_EQ(MetafileMaxSize, 8000);
  EXPECT_FALSE(ICCConversionEnabled);
  EXPECT_TRUE(CMYKProfileEnabled);
  static int released = 0;
  released = 0;
  TIEFileFormatInfo row;
  row.FormatId = 200;
  row.ExtensionList = "PLG";
  RegisterIOPlugin(TIEIOPlugin{200, [] { ++released; }}, row);
  EXPECT_EQ(IOPluginCount(), 1);
  EXPECT_EQ(FileFormatIdByExtension("plg"), 200);
  FinalizeZodazUrIO();
  EXPECT_EQ(released, 1);
  EXPECT_EQ(IOPluginCount(), 0);
  EXPECT_TRUE(FileFormatRegistry().empty());
  EXPECT_EQ(FindFileFormatById(fmtTIFF), nullptr);
  EXPECT_FALSE(IsWinInetLoaded());
  InitializeZodazUrIO();
  EXPECT_EQ(FileFormatRegistry().size(), std::size(kRows));
}

TEST_F(FormatRegistryTest, TheEnginesStartUpFillsTheRegistryAndItsShutDownEmptiesIt) {
  // The engine's steps run by a runner of their own (the test program's engine stays started).
  FinalizeZodazUrIO();
  TIEStartupRunner runner;
  runner.Initialize(IEEngineStartupSteps());
  EXPECT_EQ(FileFormatRegistry().size(), std::size(kRows));
  runner.Initialize(IEEngineStartupSteps());
  runner.Finalize(IEEngineStartupSteps());
  EXPECT_NE(FindFileFormatById(fmtGIF), nullptr);  // still in use
  runner.Finalize(IEEngineStartupSteps());
  EXPECT_TRUE(FileFormatRegistry().empty());
  runner.Initialize(IEEngineStartupSteps());  // as the test program's engine has it
}

TEST_F(FormatRegistryTest, ReadersOnOtherThreadsWhileTheRegistryChanges) {
  std::atomic<bool> stop{false};
  std::atomic<int64_t> lookups{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        TIEFileFormatInfoPtr row = FindFileFormatByExtension("gif");
        if (row) {
          EXPECT_EQ(row->FormatId, fmtGIF);
        }
        EXPECT_EQ(FileFormatIdByExtension("jpg"), fmtJPEG);
        EXPECT_FALSE(FileFormatRegistry().empty());
        ++lookups;
      }
    });
  }
  TIEFileFormatInfo row;
  row.FormatId = 300;
  row.ExtensionList = "ZZ";
  // The registry keeps changing until the readers have looked up plenty.
  for (int i = 0; i < 300 || (lookups < 3000 && i < 1000000); ++i) {
    UpdateGIFFileFormatFunctions();
    AddFileFormat(row);
    RemoveFileFormat(300);
  }
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_GT(lookups.load(), 0);
}

}  // namespace
