// Camera raw through LibRaw: byte-built DNGs (by content and under a raw extension), the metadata,
// half size, 16-bit output, pixel factors, the tone table against dcraw_emu's linear output,
// raw-identify's view of the same files, the 45-degree straightening on synthetic pictures, the
// Canon heap (CIFF) parser on byte-built heaps, and damaged input refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "imaging/core/ie_image_size_gate.h"
#include "imaging/io/codecs/camera_raw_codec.h"
#include "imaging/io/codecs/codec_entries.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/imaging/io/codecs/tiff_fixture.h"

using namespace codectest;

namespace {

class TBytesStream : public TMemoryStream {
 public:
  explicit TBytesStream(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    Seek(0, soBeginning);
  }
};

bool HaveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0; }

// A 16-bit RGGB DNG of W x H sensels: red, green and blue levels with a horizontal ramp.
Bytes MakeDNG(int w = 64, int h = 48, std::vector<uint32_t> defaultScale = {}) {
  std::vector<uint8_t> data;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int c = (y % 2) * 2 + (x % 2);
      const int v = (c == 0 ? 4000 : c == 3 ? 2000 : 8000) + x * 20;
      data.push_back(static_cast<uint8_t>(v)), data.push_back(static_cast<uint8_t>(v >> 8));
    }
  TiffBuilder t;
  const int32_t strip = t.Blob(data);
  t.Page()
      .Long(254, {0})
      .Long(256, {static_cast<uint32_t>(w)})
      .Long(257, {static_cast<uint32_t>(h)})
      .Short(258, {16})
      .Short(259, {1})
      .Short(262, {32803})
      .Ascii(271, "Brimvale")
      .Ascii(272, "Test One")
      .Short(277, {1})
      .Long(278, {static_cast<uint32_t>(h)})
      .Short(284, {1})
      .Strips({strip})
      .Short(33421, {2, 2})
      .Raw(33422, 1, 4, {0, 1, 1, 2})
      .Raw(50706, 1, 4, {1, 4, 0, 0})
      .Ascii(50708, "Brimvale Test One")
      .Rational(50721, {1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1}, 10)
      .Rational(50728, {1, 1, 1, 1, 1, 1})
      .Short(50717, {16383});
  if (!defaultScale.empty()) t.Rational(50718, defaultScale);
  return t.Build();
}

struct RawRead {
  bool ok = false;
  TIEBitmap bitmap;
  TIOParamsVals params{nullptr};
};

void Read(const Bytes& file, RawRead& r, bool paramsOnly = false) {
  r.ok = ReadWith(file, [&](TStream& s, TIEProgressRecord& p) { ReadCameraRawStream(s, r.bitmap, r.params, p, paramsOnly); });
}

}  // namespace

TEST(CameraRaw, DNGsAreFoundAndReadWithTheirSizes) {
  const Bytes dng = MakeDNG();
  TBytesStream s(dng);
  EXPECT_TRUE(IsCameraRawStream(s));
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(DetectStreamFormat(s), fmtRAW);
  const Bytes notRaw = Text("this is plainly no picture of any kind at all, only text");
  TBytesStream t(notRaw);
  EXPECT_FALSE(IsCameraRawStream(t));

  RawRead header;
  Read(dng, header, true);
  ASSERT_TRUE(header.ok);
  EXPECT_EQ(header.params.Width, 62);
  EXPECT_EQ(header.params.Height, 46);
  EXPECT_EQ(header.params.RawCamera.rfind("Brimvale", 0), 0u) << header.params.RawCamera;
  EXPECT_EQ(header.bitmap.Width(), 0);

  RawRead full;
  Read(dng, full);
  ASSERT_TRUE(full.ok);
  EXPECT_EQ(full.bitmap.PixelFormat(), ie24RGB);
  EXPECT_EQ(full.bitmap.Width(), 62);  // the interpolated border trimmed
  EXPECT_EQ(full.bitmap.Height(), 46);
  EXPECT_EQ(full.params.Width, 62);
  EXPECT_EQ(full.params.BitsPerSample, 8);

  RawRead half;
  half.params.RawHalfSize = true;
  Read(dng, half);
  ASSERT_TRUE(half.ok);
  EXPECT_EQ(half.bitmap.Width(), 32);
  EXPECT_EQ(half.bitmap.Height(), 24);
  EXPECT_EQ(half.params.Width, 32);

  RawRead wide;
  wide.params.IsNativePixelFormat = true;
  Read(dng, wide);
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(wide.bitmap.PixelFormat(), ieRGB48);
  EXPECT_EQ(wide.params.BitsPerSample, 16);
  // The 8-bit and 16-bit outputs agree on the same tone curve.
  const uint8_t* p8 = full.bitmap.Row<uint8_t>(20) + 3 * 30;
  const uint16_t* p16 = wide.bitmap.Row<uint16_t>(20) + 3 * 30;
  EXPECT_NEAR(p16[0] / 257.0, p8[2], 1.5);
  EXPECT_NEAR(p16[2] / 257.0, p8[0], 1.5);
}

TEST(CameraRaw, TheIOComponentLoadsItUnderARawExtension) {
  testsupport::ScratchDir dir;
  WriteFile(dir.File("x.nef"), MakeDNG());
  EXPECT_EQ(DetectFileFormat(dir.File("x.nef"), false), fmtRAW);
  TZodazUrIO io(nullptr);
  io.LoadFromFile(dir.File("x.nef"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.IEBitmap()->Width(), 62);
}

TEST(CameraRaw, VerticalPixelFactorRepeatsRows) {
  // Pixels twice as tall as wide: every output row comes twice.
  RawRead r;
  Read(MakeDNG(64, 48, {1, 1, 2, 1}), r);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.bitmap.Height(), 92);
  EXPECT_EQ(r.bitmap.Width(), 62);
  for (int y = 0; y < 92; y += 2)
    EXPECT_EQ(std::memcmp(r.bitmap.GetRow(y), r.bitmap.GetRow(y + 1), 62 * 3), 0) << y;
  EXPECT_EQ(r.params.Height, 92);
}

// LibRaw's own tool with the same linear interpolation and no gamma agrees on the channel ratios.
TEST(CameraRaw, ChannelRatiosAgreeWithDcrawEmu) {
  ASSERT_TRUE(HaveTool("dcraw_emu") && HaveTool("raw-identify")) << "libraw-bin is a test dependency";
  testsupport::ScratchDir dir;
  WriteFile(dir.File("t.dng"), MakeDNG());
  const std::string cd = "cd '" + dir.Path().string() + "' && ";
  ASSERT_EQ(std::system((cd + "raw-identify -v t.dng > id.txt 2>&1").c_str()), 0);
  std::ifstream id(dir.File("id.txt"));
  std::stringstream text;
  text << id.rdbuf();
  EXPECT_NE(text.str().find("Camera: Brimvale Test One"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("Image size:    64 x 48"), std::string::npos);

  ASSERT_EQ(std::system((cd + "dcraw_emu -q 0 -4 -T t.dng >/dev/null 2>&1").c_str()), 0);
  TIEBitmap theirs;
  {
    TFileStream f(dir.File("t.dng.tiff"), fmOpenRead);
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = true;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    TIFFCodecRead(f, theirs, p, progress, false);
    ASSERT_FALSE(aborting);
  }
  RawRead ours;
  ours.params.IsNativePixelFormat = true;
  Read(ReadFile(dir.File("t.dng")), ours);
  ASSERT_TRUE(ours.ok);
  ASSERT_EQ(theirs.PixelFormat(), ieRGB48);
  // Pixel (x, y) of ours is (x + 1, y + 1) of theirs; ratios red/green and blue/green within 1 %.
  for (int y : {5, 20, 40})
    for (int x : {3, 30, 55}) {
      const uint16_t* a = ours.bitmap.Row<uint16_t>(y) + 3 * x;
      const uint16_t* b = theirs.Row<uint16_t>(y + 1) + 3 * (x + 1);
      ASSERT_GT(a[1], 0);
      ASSERT_GT(b[1], 0);
      if (a[0] == 65535 || a[1] == 65535 || a[2] == 65535) continue;  // clipped
      EXPECT_NEAR(double(a[0]) / a[1], double(b[0]) / b[1], 0.01 * double(b[0]) / b[1] + 0.002) << x << "," << y;
      EXPECT_NEAR(double(a[2]) / a[1], double(b[2]) / b[1], 0.01 * double(b[2]) / b[1] + 0.002) << x << "," << y;
    }
}

TEST(CameraRaw, DamagedFilesAreRefused) {
  const Bytes dng = MakeDNG();
  for (size_t n = 0; n < dng.size(); n += 97) {
    RawRead r;
    Read(Bytes(dng.begin(), dng.begin() + static_cast<std::ptrdiff_t>(n)), r);
    if (n < 200) {
      EXPECT_FALSE(r.ok) << n;
    }
  }
  RawRead none;
  Read(Text("II*\0garbage"), none);
  EXPECT_FALSE(none.ok);
}

TEST(CameraRaw, TwoThreadsAtOnce) {
  const Bytes dng = MakeDNG();
  bool ok1 = false, ok2 = false;
  auto job = [&dng](bool* ok) {
    for (int i = 0; i < 3; ++i) {
      RawRead r;
      Read(dng, r);
      *ok = r.ok && r.bitmap.Width() == 62;
      if (!*ok) return;
    }
  };
  std::thread a(job, &ok1), b(job, &ok2);
  a.join();
  b.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}

// A synthetic 45-degree picture: a diamond of colour in a black frame.
TEST(CameraRaw, UnrotateFujiImageStraightens) {
  for (TIEPixelFormat f : {ie24RGB, ieRGB48}) {
    TIEBitmap b;
    const int W = 20, H = 20;
    b.Allocate(W, H, f);
    for (int y = 0; y < H; ++y) {
      std::memset(b.GetRow(y), 0, static_cast<size_t>(b.RowLen()));
      for (int x = 2; x < 15; ++x) {
        if (f == ie24RGB) {
          uint8_t* p = b.Row<uint8_t>(y) + 3 * x;
          p[0] = static_cast<uint8_t>(10 + x), p[1] = static_cast<uint8_t>(20 + y), p[2] = 200;
        } else {
          uint16_t* p = b.Row<uint16_t>(y) + 3 * x;
          p[0] = static_cast<uint16_t>(1000 + x), p[1] = static_cast<uint16_t>(2000 + y), p[2] = 60000;
        }
      }
    }
    UnrotateFujiImage(b);
    // lead 2, b = 15: FW 14, OH 2 * 20 - 4 - 4 = 32.
    EXPECT_EQ(b.Width(), 28);
    EXPECT_EQ(b.Height(), 32);
    EXPECT_EQ(b.PixelFormat(), f);
    // The last row is black.
    const auto* last = b.Row<uint8_t>(31);
    for (int i = 0; i < 28 * IEBitsPerPixel[f] / 8; ++i) EXPECT_EQ(last[i], 0) << i;
  }
  // A picture whose first row gives no layout stays as it is.
  TIEBitmap black(5, 1, ie24RGB);
  std::memset(black.GetRow(0), 0, static_cast<size_t>(black.RowLen()));
  UnrotateFujiImage(black);
  EXPECT_EQ(black.Width(), 5);
  TIEBitmap grey(5, 5, ie8g);
  UnrotateFujiImage(grey);
  EXPECT_EQ(grey.Width(), 5);
}

namespace {

// A Canon heap built byte by byte: records (tag, data) in one root heap, in either byte order.
struct CIFFRecord {
  uint16_t tag;
  Bytes data;
};

void Put(Bytes& b, uint32_t v, int n, bool intel) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(intel ? v >> (8 * i) : v >> (8 * (n - 1 - i))));
}

Bytes Heap(const std::vector<CIFFRecord>& records, bool intel) {
  Bytes heap;
  std::vector<uint32_t> at;
  for (const CIFFRecord& r : records) {
    at.push_back(static_cast<uint32_t>(heap.size()));
    heap.insert(heap.end(), r.data.begin(), r.data.end());
  }
  const uint32_t table = static_cast<uint32_t>(heap.size());
  Put(heap, static_cast<uint32_t>(records.size()), 2, intel);
  for (size_t i = 0; i < records.size(); ++i) {
    Put(heap, records[i].tag, 2, intel);
    Put(heap, static_cast<uint32_t>(records[i].data.size()), 4, intel);
    Put(heap, at[i], 4, intel);
  }
  Put(heap, table, 4, intel);
  return heap;
}

Bytes CIFFFile(const Bytes& root, bool intel) {
  Bytes f = Text(intel ? "II" : "MM");
  Put(f, 14 + 12, 4, intel);
  const Bytes magic = Text("HEAPCCDR");
  f.insert(f.end(), magic.begin(), magic.end());
  f.resize(26, 0);
  f.insert(f.end(), root.begin(), root.end());
  return f;
}

Bytes JPEGOf(int w, int h) {
  TIEBitmap b;
  PaintColors(b, w, h, 4);
  TIOParamsVals p(nullptr);
  return WriteWith([&](TStream& s, TIEProgressRecord& progress) { JPEGCodecWrite(s, b, p, progress); });
}

}  // namespace

TEST(CIFF, HeapsGiveMakeModelThumbnailAndMakerNote) {
  for (bool intel : {true, false}) {
    SCOPED_TRACE(intel);
    Bytes names = Text("Canon");
    names.push_back(0);
    const Bytes model = Text("Canon EOS Test");
    names.insert(names.end(), model.begin(), model.end());
    names.push_back(0);
    Bytes dims;
    Put(dims, 3072, 4, intel);
    Put(dims, 2048, 4, intel);
    Bytes settings;
    for (uint32_t v : {1u, 2u, 3u}) Put(settings, v, 2, intel);
    const Bytes small = JPEGOf(16, 12), large = JPEGOf(40, 30);
    // A sub-heap holding the make and model, the thumbnails and the settings beside it.
    const Bytes sub = Heap({{0x080A, names}, {0x1810, dims}}, intel);
    const Bytes root = Heap({{0x300A, sub}, {0x2007, large}, {0x2008, small}, {0x102D, settings}}, intel);
    TIOParamsVals p(nullptr);
    const Bytes file = CIFFFile(root, intel);
    TBytesStream s(file);
    EXPECT_FALSE(ReadCIFFInfo(s, p));
    EXPECT_EQ(p.ExifMake, "Canon");
    EXPECT_EQ(p.ExifModel, "Canon EOS Test");
    EXPECT_EQ(p.ExifPixelXDimension, 3072);
    EXPECT_EQ(p.ExifPixelYDimension, 2048);
    ASSERT_NE(p.ExifThumbnail(), nullptr);
    EXPECT_EQ(p.ExifThumbnail()->Width(), 16);  // the smaller wins
    ASSERT_EQ(p.ExifMakerNote.EntryCount(), 1);
    EXPECT_EQ(p.ExifMakerNote.EntryTable()[0].Tag, 1);
    EXPECT_EQ(p.ExifMakerNote.EntryTable()[0].DataNum, 3u);
  }
}

TEST(CIFF, HostileHeapsEndTheWalk) {
  // A heap that names itself as its sub-heap, a record past its heap, a table offset past the end,
  // and a TIFF that is no heap: nothing hangs or reads outside; what lies before a bad record stays.
  Bytes names = Text("Make");
  names.push_back(0);
  names.push_back('M');
  names.push_back(0);
  Bytes selfRef = Heap({{0x080A, names}}, true);
  // Record 2 claims the whole heap again as a sub-heap (offset 0, size of the heap).
  Bytes loop;
  {
    Bytes inner = names;
    const uint32_t table = static_cast<uint32_t>(inner.size());
    Put(inner, 2, 2, true);
    Put(inner, 0x080A, 2, true), Put(inner, static_cast<uint32_t>(names.size()), 4, true), Put(inner, 0, 4, true);
    const uint32_t heapSize = table + 2 + 20 + 4;
    Put(inner, 0x300A, 2, true), Put(inner, heapSize, 4, true), Put(inner, 0, 4, true);
    Put(inner, table, 4, true);
    loop = inner;
  }
  Bytes past = Heap({{0x080A, names}}, true);
  past[past.size() - 4 - 10 + 6] = 0xFF;  // the record's offset far past its heap
  Bytes badTable = Heap({{0x080A, names}}, true);
  badTable[badTable.size() - 1] = 0x7F;
  for (const Bytes& root : {selfRef, loop, past, badTable}) {
    TIOParamsVals p(nullptr);
    const Bytes file = CIFFFile(root, true);
    TBytesStream s(file);
    ReadCIFFInfo(s, p);
  }
  TIOParamsVals p(nullptr);
  const Bytes loopFile = CIFFFile(loop, true);
  TBytesStream s(loopFile);
  ReadCIFFInfo(s, p);
  EXPECT_EQ(p.ExifMake, "Make");
  TIOParamsVals q(nullptr);
  const Bytes tiff = Text("II*\0\x08\0\0\0\0\0\0\0\0\0\0\0");
  TBytesStream t(tiff);
  ReadCIFFInfo(t, q);
  EXPECT_EQ(q.ExifMake, "");
}
