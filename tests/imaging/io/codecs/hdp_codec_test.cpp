// HD Photo through the platform's codec service: the six formats round-trip, quality and lossless,
// files of the reference encoder (JxrEncApp) read to the reference decoder's pixels, ours read by
// the reference decoder (JxrDecApp), thumbnails, EXIF in and out, the "no codec" cases and hostile
// input refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "imaging/core/ie_image_size_gate.h"
#include "imaging/io/codecs/hdp_codec.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/isolated_call.h"
#include "platform/wic/wic_codec.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/support/test_support.h"

using namespace codectest;

namespace {

bool HaveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0; }

struct HDPRead {
  bool ok = false;
  TIEBitmap bitmap;
  TIOParamsVals params{nullptr};
};

void Read(const Bytes& file, HDPRead& r, bool paramsOnly = false) {
  r.ok = ReadWith(file, [&](TStream& s, TIEProgressRecord& p) { ReadHDPStream(s, r.bitmap, r.params, p, paramsOnly); });
}

Bytes Write(TIEBitmap& bitmap, TIOParamsVals& params) {
  return WriteWith([&](TStream& s, TIEProgressRecord& p) { WriteHDPStream(s, bitmap, params, p); });
}

// The byte at index i of row y of an 8-bit picture: gradients with steps.
int x_(int i, int y) { return (i * 7 + y * 11 + ((i / 9) % 2) * 60) & 0xFF; }

// A picture of the format with gradients and flat parts; every byte depends on x, y and the channel.
void Paint(TIEBitmap& b, TIEPixelFormat f, int w = 37, int h = 23) {
  b.Allocate(w, h, f);
  for (int y = 0; y < h; ++y) {
    auto* row = b.Row<uint8_t>(y);
    if (f == ie1g) {
      std::memset(row, 0, static_cast<size_t>(b.RowLen()));
      for (int x = 0; x < w; ++x)
        if (((x / 3) + (y / 2)) % 2) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      continue;
    }
    if (f == ie16g || f == ieRGB48) {
      auto* r16 = reinterpret_cast<uint16_t*>(row);
      const int n = w * (f == ie16g ? 1 : 3);
      for (int i = 0; i < n; ++i) r16[i] = static_cast<uint16_t>((i * 1733 + y * 977) & 0xFFFF);
      continue;
    }
    const int n = w * IEBitsPerPixel[f] / 8;
    for (int i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(x_(i, y));
  }
}

double Psnr(TIEBitmap& a, TIEBitmap& b) {
  double sum = 0;
  int64_t n = 0;
  for (int y = 0; y < a.Height(); ++y) {
    const auto* p = a.Row<uint8_t>(y);
    const auto* q = b.Row<uint8_t>(y);
    for (int i = 0; i < a.Width() * IEBitsPerPixel[a.PixelFormat()] / 8; ++i, ++n) sum += (p[i] - q[i]) * double(p[i] - q[i]);
  }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / sum);
}

bool SameRows(TIEBitmap& a, TIEBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat()) return false;
  // The pixels' bytes, not the rows' padding.
  const size_t bytes = (static_cast<size_t>(a.Width()) * IEBitsPerPixel[a.PixelFormat()] + 7) / 8;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.GetRow(y), b.GetRow(y), bytes) != 0) {
      for (size_t i = 0; i < bytes; ++i)
        if (a.Row<uint8_t>(y)[i] != b.Row<uint8_t>(y)[i]) {
          ADD_FAILURE() << "first difference at row " << y << " byte " << i << ": " << int(a.Row<uint8_t>(y)[i])
                        << " vs " << int(b.Row<uint8_t>(y)[i]);
          break;
        }
      return false;
    }
  return true;
}

class HDPhotoTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(IsWICAvailable()) << "jxrlib is a dependency"; }
  void TearDown() override {
    SetWICAvailabilityForTesting(-1);
    SetIsolatedFaultForTesting(0);
    SetWICDecodeTimeoutForTesting(0);
  }
};

TEST_F(HDPhotoTest, SixFormatsRoundTripLosslessly) {
  for (TIEPixelFormat f : {ie1g, ie8g, ie16g, ie24RGB, ieRGB48, ieCMYK}) {
    SCOPED_TRACE(static_cast<int>(f));
    TIEBitmap source;
    Paint(source, f);
    TIOParamsVals wp(nullptr);
    wp.HdpLossless = true;
    wp.SetDpiX(150);
    wp.SetDpiY(300);
    const Bytes file = Write(source, wp);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(source.PixelFormat(), f);  // the caller's bitmap is never converted
    HDPRead r;
    r.params.IsNativePixelFormat = true;
    Read(file, r);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(SameRows(source, r.bitmap));  // CMYK bytes too: inverted on the way out and in
    EXPECT_EQ(r.params.Width, 37);
    EXPECT_EQ(r.params.OriginalHeight, 23);
    EXPECT_EQ(r.params.DpiX, 150);
    EXPECT_EQ(r.params.DpiY, 300);
    EXPECT_EQ(r.params.SamplesPerPixel, IEChannelsPerPixel[f]);
    EXPECT_EQ(r.params.BitsPerSample, IEBitsPerPixel[f] / IEChannelsPerPixel[f]);

    // Without the native flag every format but bilevel arrives as 24-bit colour.
    HDPRead c;
    Read(file, c);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.bitmap.PixelFormat(), f == ie1g ? ie1g : ie24RGB);
    if (f == ie16g) {
      const uint16_t v = source.Row<uint16_t>(5)[7];
      const uint8_t* p = c.bitmap.Row<uint8_t>(5) + 21;
      EXPECT_EQ(p[0], v >> 8);
      EXPECT_EQ(p[2], v >> 8);
    }
  }
}

TEST_F(HDPhotoTest, OtherFormatsAreWrittenFromA24BitCopyAndQualityCosts) {
  TIEBitmap source;
  Paint(source, ie24RGB, 96, 64);
  TIOParamsVals wp(nullptr);
  wp.HdpImageQuality = 1.0;
  const Bytes lossless = Write(source, wp);
  wp.HdpImageQuality = 0.5;
  const Bytes lossy = Write(source, wp);
  wp.HdpImageQuality = 0.1;
  const Bytes poor = Write(source, wp);
  ASSERT_FALSE(lossless.empty());
  ASSERT_FALSE(lossy.empty());
  ASSERT_FALSE(poor.empty());
  EXPECT_LT(lossy.size(), lossless.size());
  EXPECT_LT(poor.size(), lossy.size());
  HDPRead a, b;
  Read(lossless, a);
  Read(lossy, b);
  ASSERT_TRUE(a.ok && b.ok);
  EXPECT_TRUE(SameRows(source, a.bitmap));
  EXPECT_GT(Psnr(source, b.bitmap), 25.0);

  // A palette picture goes through a 24-bit copy; the caller's bitmap stays.
  TIEBitmap palette;
  palette.Allocate(20, 10, ie8p);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) palette.Row<uint8_t>(y)[x] = static_cast<uint8_t>(x * 10);
  for (int i = 0; i < 256; ++i) palette.SetPaletteColor(i, TIERGB{static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i)});
  TIOParamsVals pp(nullptr);
  pp.HdpLossless = true;
  const Bytes fromPalette = Write(palette, pp);
  EXPECT_EQ(palette.PixelFormat(), ie8p);
  HDPRead c;
  Read(fromPalette, c);
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.bitmap.PixelFormat(), ie24RGB);
  EXPECT_EQ(c.bitmap.Row<uint8_t>(3)[3 * 4 + 0], 40);  // blue of index 40
  EXPECT_EQ(c.bitmap.Row<uint8_t>(3)[3 * 4 + 2], 215);  // red
}

TEST_F(HDPhotoTest, ThumbnailKeepsTheMainFramesSize) {
  TIEBitmap source;
  Paint(source, ie24RGB, 100, 50);
  TIOParamsVals wp(nullptr);
  const Bytes file = Write(source, wp);
  HDPRead r;
  r.params.GetThumbnail = true;
  Read(file, r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.Width(), 7);
  EXPECT_EQ(r.bitmap.Height(), 4);
  EXPECT_EQ(r.params.OriginalWidth, 100);
  EXPECT_EQ(r.params.OriginalHeight, 50);
  EXPECT_EQ(r.params.Width, 7);
}

TEST_F(HDPhotoTest, ExifTagsGoInAndComeOut) {
  TIEBitmap source;
  Paint(source, ie24RGB);
  TIOParamsVals wp(nullptr);
  wp.HdpLossless = true;
  wp.HasExifData = true;
  wp.ExifMake = "Brimvale Test";
  wp.ExifArtist = "Someone";
  wp.SetExifExposureTime(0.125);
  const Bytes file = Write(source, wp);
  ASSERT_FALSE(file.empty());
  HDPRead r;
  Read(file, r);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(SameRows(source, r.bitmap));
  EXPECT_EQ(r.params.ExifMake, "Brimvale Test");
  EXPECT_EQ(r.params.ExifArtist, "Someone");
  EXPECT_DOUBLE_EQ(r.params.ExifExposureTime, 0.125);
}

TEST_F(HDPhotoTest, FrameIndexAndCountAndDetection) {
  TIEBitmap source;
  Paint(source, ie8g);
  TIOParamsVals wp(nullptr);
  const Bytes file = Write(source, wp);
  TMemoryStream s;
  s.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
  s.SetPosition(0);
  EXPECT_EQ(HDPFrameCount(s), 1);
  EXPECT_EQ(DetectStreamFormat(s), fmtHDP);
  EXPECT_EQ(s.Position(), 0);

  // An index past the last frame fails and leaves the bitmap as it was.
  HDPRead r;
  r.bitmap.Allocate(3, 2, ie8g);
  r.params.ImageIndex = 1;
  Read(file, r);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.bitmap.Width(), 3);

  HDPRead p;
  Read(file, p, true);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.params.Width, 37);
  EXPECT_EQ(p.bitmap.Width(), 0);
}

TEST_F(HDPhotoTest, WithoutTheCodecNothingIsReadOrWritten) {
  TIEBitmap source;
  Paint(source, ie24RGB);
  TIOParamsVals wp(nullptr);
  const Bytes file = Write(source, wp);
  ASSERT_FALSE(file.empty());
  SetWICAvailabilityForTesting(0);
  EXPECT_FALSE(IsWICAvailable());
  EXPECT_TRUE(Write(source, wp).empty());
  HDPRead r;
  Read(file, r);
  EXPECT_FALSE(r.ok);
  TMemoryStream s;
  s.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
  s.SetPosition(0);
  EXPECT_EQ(HDPFrameCount(s), 0);
  EXPECT_NE(DetectStreamFormat(s), fmtHDP);
  SetWICAvailabilityForTesting(-1);
  EXPECT_TRUE(IsWICAvailable());
}

TEST_F(HDPhotoTest, DamagedFilesAreRefused) {
  TIEBitmap source;
  Paint(source, ie24RGB, 64, 48);
  TIOParamsVals wp(nullptr);
  wp.HdpImageQuality = 0.7;
  const Bytes file = Write(source, wp);
  ASSERT_GT(file.size(), 64u);
  // Cut anywhere: never a crash; cut inside the directory or the image: a failure.
  for (size_t n = 0; n < file.size(); n += 13) {
    HDPRead r;
    Read(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)), r);
    EXPECT_FALSE(r.ok) << n;
  }
  // The directory's width made huge, the image offset past the end, the byte count past the end.
  auto patched = [&](uint16_t tag, uint32_t value) {
    Bytes b = file;
    const uint32_t ifd = b[4] | b[5] << 8 | b[6] << 16 | static_cast<uint32_t>(b[7]) << 24;
    const int count = b[ifd] | b[ifd + 1] << 8;
    for (int i = 0; i < count; ++i) {
      uint8_t* e = &b[ifd + 2 + 12 * i];
      if ((e[0] | e[1] << 8) == tag) std::memcpy(e + 8, &value, 4);
    }
    return b;
  };
  // An orientation jxrlib would assert on (ending the process) is refused before it sees it.
  for (const Bytes& b : {patched(0xBC80, 60000), patched(0xBC81, 1), patched(0xBCC0, 0x7FFFFFF0),
                         patched(0xBCC1, 0x7FFFFFF0), patched(0xBC02, 0xB60000)}) {
    HDPRead r;
    Read(b, r);
    EXPECT_FALSE(r.ok);
  }
}

// Coded data behind a sound container on which the library itself reads out of bounds (found by
// fuzzing): the load fails, the process goes on, the bitmap is as it was.
TEST_F(HDPhotoTest, CodedDataTheLibraryCrashesOnFailsTheLoad) {
  std::ifstream in(testsupport::DataDir() / "../fuzz/regressions/fuzz_hdp/coded-macroblocks-the-library-reads-out-of-bounds",
                   std::ios::binary);
  ASSERT_TRUE(in);
  const Bytes input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(input.size(), 491u);
  const Bytes file(input.begin() + 1, input.end());  // the fuzz target's options byte first
  for (bool native : {true, false}) {
    HDPRead r;
    Paint(r.bitmap, ie8g, 5, 4);
    r.params.IsNativePixelFormat = native;
    Read(file, r);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.bitmap.Width(), 5);
    EXPECT_EQ(r.bitmap.PixelFormat(), ie8g);
  }
}

namespace {
// A small 24-bit picture written losslessly: the file the tests of the decoding helper load.
Bytes WriteLosslessHelperSample(TIEBitmap& Source) {
  Paint(Source, ie24RGB, 40, 24);
  TIOParamsVals wp(nullptr);
  wp.HdpLossless = true;
  return Write(Source, wp);
}
}  // namespace

// Whatever becomes of the decoding child (a crash, a hang past the time-out), the load fails with
// the bitmap untouched, and the next load decodes the same file as before.
TEST_F(HDPhotoTest, ADecoderThatCrashesOrHangsFailsOnlyItsLoad) {
  TIEBitmap source;
  const Bytes file = WriteLosslessHelperSample(source);
  ASSERT_FALSE(file.empty());
  for (int32_t fault : {1, 2}) {
    SetIsolatedFaultForTesting(fault);
    SetWICDecodeTimeoutForTesting(300);
    HDPRead r;
    Paint(r.bitmap, ie8g, 5, 4);
    Read(file, r);
    EXPECT_FALSE(r.ok) << fault;
    EXPECT_EQ(r.bitmap.Width(), 5) << fault;
    SetIsolatedFaultForTesting(0);
    SetWICDecodeTimeoutForTesting(0);
    HDPRead again;
    again.params.IsNativePixelFormat = true;
    Read(file, again);
    EXPECT_TRUE(again.ok) << fault;
    EXPECT_TRUE(SameRows(source, again.bitmap)) << fault;
  }
}

// Decodes go to a helper process that is kept: loads after the first start none.
TEST_F(HDPhotoTest, DecodesShareOneKeptHelper) {
  TIEBitmap source;
  const Bytes file = WriteLosslessHelperSample(source);
  ASSERT_FALSE(file.empty());
  HDPRead first;
  Read(file, first);
  ASSERT_TRUE(first.ok);
  const int64_t started = IsolatedHelpersStarted();
  EXPECT_GE(started, 1);
  for (int i = 0; i < 3; ++i) {
    HDPRead r;
    r.params.IsNativePixelFormat = true;
    Read(file, r);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(SameRows(source, r.bitmap));
  }
  EXPECT_EQ(IsolatedHelpersStarted(), started);
}

// Rows are coded in bands of 16 as they are written; the last band (full or not) ends the image.
TEST_F(HDPhotoTest, EveryHeightAroundTheBandsRoundTrips) {
  for (int h : {1, 15, 16, 17, 32, 33, 47}) {
    for (TIEPixelFormat f : {ie1g, ie24RGB}) {
      SCOPED_TRACE(testing::Message() << h << " rows, format " << static_cast<int>(f));
      TIEBitmap source;
      Paint(source, f, 21, h);
      TIOParamsVals wp(nullptr);
      wp.HdpLossless = true;
      const Bytes file = Write(source, wp);
      ASSERT_FALSE(file.empty());
      HDPRead r;
      r.params.IsNativePixelFormat = true;
      Read(file, r);
      ASSERT_TRUE(r.ok);
      EXPECT_TRUE(SameRows(source, r.bitmap));
    }
  }
}

// A stream that fills up anywhere (in the header, between bands, in the last band, while the
// directory is patched) fails the save; never a crash.
TEST_F(HDPhotoTest, AFullDiskFailsTheSaveWherever) {
  TIEBitmap source;
  Paint(source, ie24RGB, 64, 80);
  TIOParamsVals wp(nullptr);
  wp.HdpLossless = true;
  const Bytes file = Write(source, wp);
  ASSERT_GT(file.size(), 1000u);
  for (int64_t room : {int64_t{0}, int64_t{10}, int64_t{200}, static_cast<int64_t>(file.size() / 3),
                       static_cast<int64_t>(file.size() - 1)}) {
    TShortStream s(room);
    TIOParamsVals p(nullptr);
    p.HdpLossless = true;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    WriteHDPStream(s, source, p, progress);
    EXPECT_TRUE(aborting) << room;
  }
}

TEST_F(HDPhotoTest, TwoThreadsAtOnce) {
  TIEBitmap a, b;
  Paint(a, ie24RGB, 80, 40);
  Paint(b, ie16g, 60, 30);
  Bytes fa, fb;
  auto job = [](TIEBitmap* bitmap, Bytes* out) {
    for (int i = 0; i < 4; ++i) {
      TIOParamsVals p(nullptr);
      p.HdpLossless = true;
      *out = Write(*bitmap, p);
      HDPRead r;
      r.params.IsNativePixelFormat = true;
      Read(*out, r);
      if (!r.ok || !SameRows(*bitmap, r.bitmap)) out->clear();
    }
  };
  std::thread t1(job, &a, &fa), t2(job, &b, &fb);
  t1.join();
  t2.join();
  EXPECT_FALSE(fa.empty());
  EXPECT_FALSE(fb.empty());
}

// The reference tools: JxrDecApp decodes our files to our pixels; JxrEncApp's files decode to
// JxrDecApp's pixels of them.
TEST_F(HDPhotoTest, ReferenceToolsAgree) {
  ASSERT_TRUE(HaveTool("JxrEncApp") && HaveTool("JxrDecApp")) << "libjxr-tools is a test dependency";
  testsupport::ScratchDir dir;
  const std::string cd = "cd '" + dir.Path().string() + "' && ";

  // Ours, 24-bit lossless and lossy, read by JxrDecApp (as a 24-bit BMP).
  for (double q : {1.0, 0.6}) {
    TIEBitmap source;
    Paint(source, ie24RGB, 45, 30);
    TIOParamsVals wp(nullptr);
    wp.HdpImageQuality = q;
    WriteFile(dir.File("ours.jxr"), Write(source, wp));
    ASSERT_EQ(std::system((cd + "JxrDecApp -i ours.jxr -o ours.bmp >/dev/null 2>&1").c_str()), 0) << q;
    Decoded theirs;
    ReadBMP(ReadFile(dir.File("ours.bmp")), theirs);
    ASSERT_FALSE(theirs.aborted);
    HDPRead mine;
    Read(ReadFile(dir.File("ours.jxr")), mine);
    ASSERT_TRUE(mine.ok);
    EXPECT_TRUE(SameRows(theirs.bitmap, mine.bitmap)) << q;
    if (q == 1.0) {
      EXPECT_TRUE(SameRows(source, mine.bitmap));
    }
  }

  // The reference encoder's files: 24-bit from a BMP, 8 and 16-bit grey and 48-bit colour from
  // netpbm files, each read natively and compared with the reference decoder's netpbm output.
  struct Case {
    const char* input;
    const char* format;
    TIEPixelFormat expected;
    const char* decoded;
  };
  TIEBitmap colour;
  Paint(colour, ie24RGB, 41, 27);
  TIOParamsVals bp(nullptr);
  WriteFile(dir.File("in.bmp"), WriteBMP(colour, bp, false));
  {
    Bytes pgm = Text("P5\n41 27\n255\n"), pgm16 = Text("P5\n41 27\n65535\n"), ppm16 = Text("P6\n41 27\n65535\n");
    for (int y = 0; y < 27; ++y)
      for (int x = 0; x < 41; ++x) {
        pgm.push_back(static_cast<uint8_t>(x * 6 + y));
        const int v = x * 1500 + y * 300;
        pgm16.push_back(static_cast<uint8_t>(v >> 8)), pgm16.push_back(static_cast<uint8_t>(v));
        for (int c = 0; c < 3; ++c) {
          const int w = (x * 1500 + y * 400 + c * 9000) & 0xFFFF;
          ppm16.push_back(static_cast<uint8_t>(w >> 8)), ppm16.push_back(static_cast<uint8_t>(w));
        }
      }
    WriteFile(dir.File("in8.pgm"), pgm);
    WriteFile(dir.File("in16.pgm"), pgm16);
    WriteFile(dir.File("in48.ppm"), ppm16);
  }
  const Case cases[] = {{"in.bmp", "0", ie24RGB, "out.bmp"},
                        {"in8.pgm", "2", ie8g, "out.pgm"},
                        {"in16.pgm", "3", ie16g, "out.pgm"},
                        {"in48.ppm", "10", ieRGB48, "out.ppm"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    for (const char* q : {"1.0", "0.7"}) {
      const std::string enc = std::string("JxrEncApp -i ") + c.input + " -o ref.jxr -c " + c.format + " -q " + q;
      ASSERT_EQ(std::system((cd + enc + " >/dev/null 2>&1").c_str()), 0) << enc;
      ASSERT_EQ(std::system((cd + "rm -f " + c.decoded + " && JxrDecApp -i ref.jxr -o " + c.decoded +
                             " >/dev/null 2>&1").c_str()),
                0);
      HDPRead mine;
      mine.params.IsNativePixelFormat = true;
      Read(ReadFile(dir.File("ref.jxr")), mine);
      ASSERT_TRUE(mine.ok) << q;
      EXPECT_EQ(mine.bitmap.PixelFormat(), c.expected);
      TIEBitmap theirs;
      if (c.expected == ie24RGB) {
        Decoded d;
        ReadBMP(ReadFile(dir.File(c.decoded)), d);
        ASSERT_FALSE(d.aborted);
        theirs.Assign(d.bitmap);
      } else {
        // The reference tools read and write netpbm samples of 16 bits in the machine's (little-endian)
        // order, not netpbm's: the words as they are, which are the engine's.
        const Bytes pnm = ReadFile(dir.File(c.decoded));
        theirs.Allocate(41, 27, c.expected);
        const size_t rowBytes = static_cast<size_t>(41 * IEBitsPerPixel[c.expected] / 8);
        ASSERT_GE(pnm.size(), rowBytes * 27);
        const uint8_t* data = pnm.data() + pnm.size() - rowBytes * 27;
        for (int y = 0; y < 27; ++y) {
          auto* row = theirs.Row<uint8_t>(y);
          std::memcpy(row, data + rowBytes * y, rowBytes);
        }
      }
      EXPECT_TRUE(SameRows(theirs, mine.bitmap)) << q;
    }
  }
}

}  // namespace
