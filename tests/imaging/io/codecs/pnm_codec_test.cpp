#include "imaging/io/codecs/pnm_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/io/codecs/stream_input.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"

namespace {

using namespace codectest;

struct ReadResult {
  bool ok = false;
  TIEBitmap bitmap;
  TIOParamsVals params{nullptr};
};
void Read(const Bytes& file, ReadResult& r, bool native = false, bool paramsOnly = false) {
  r.params.IsNativePixelFormat = native;
  r.ok = ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) { ReadPXMStream(s, r.bitmap, r.params, paramsOnly, pr); });
}

Bytes WritePXM(TIEBitmap& b, TIOParamsVals& p) {
  return WriteWith([&](TStream& s, TIEProgressRecord& pr) { WritePXMStream(s, b, p, pr); });
}

std::string Head(const Bytes& file, size_t n) { return std::string(file.begin(), file.begin() + static_cast<long>(std::min(n, file.size()))); }

TEST(PnmCodec, RoundTripsOfEveryBinaryVariantWithComments) {
  struct Case {
    const char* name;
    TIEPixelFormat format;
    int bits, samples;
    const char* magic;
  };
  const Case cases[] = {{"P4", ie1g, 1, 1, "P4 "},          {"P5", ie24RGB, 8, 1, "P5 "},
                        {"P5 16 bits", ie16g, 16, 1, "P5 "}, {"P6", ie24RGB, 8, 3, "P6 "},
                        {"P6 16 bits", ieRGB48, 16, 3, "P6 "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap src(13, 5, c.format);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x) {
        const int v = x * 19 + y * 7;
        switch (c.format) {
          case ie1g: SetRowBit(src.GetRow(y), x, v % 3 == 0); break;
          case ie16g: src.SetPixel16(x, y, static_cast<uint16_t>(v * 251)); break;
          case ieRGB48: src.SetPixel48(x, y, TIERGB48{uint16_t(v * 200), uint16_t(v * 3 + 1), uint16_t(65535 - v)}); break;
          default:
            src.SetPixel24(x, y, c.samples == 1 ? CreateRGB(uint8_t(v), uint8_t(v), uint8_t(v))
                                                : CreateRGB(uint8_t(v), uint8_t(255 - v), uint8_t(v * 3)));
        }
      }
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.bits;
    p.SamplesPerPixel = c.samples;
    p.PxmComments = {"first line", "second  line"};
    const Bytes file = WritePXM(src, p);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(Head(file, 3), c.magic);
    const std::string head = std::string(c.magic) + "\n# first line\n\n# second  line\n13 5";
    EXPECT_EQ(Head(file, head.size()), head);
    ReadResult r;
    Read(file, r, true);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.params.PxmComments, (std::vector<std::string>{"first line", "second  line"}));
    EXPECT_EQ(r.bitmap.PixelFormat(), c.format);
    EXPECT_EQ(r.params.BitsPerSample, c.bits);
    EXPECT_EQ(r.params.SamplesPerPixel, c.samples);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x) {
        if (c.format == ie16g) {
          ASSERT_EQ(r.bitmap.GetPixel16(x, y), src.GetPixel16(x, y));
        } else if (c.format == ieRGB48) {
          const TIERGB48 a = r.bitmap.GetPixel48(x, y), b = src.GetPixel48(x, y);
          ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b) << x << "," << y;
        } else {
          ASSERT_TRUE(SameRGB(r.bitmap.GetPixelRGB(x, y), src.GetPixelRGB(x, y))) << x << "," << y;
        }
      }
  }
}

TEST(PnmCodec, AColourPictureAskedForAsGreyIsWrittenAsP5) {
  TIEBitmap src(2, 1, ie24RGB);
  src.SetPixel24(0, 0, CreateRGB(100, 100, 100));
  src.SetPixel24(1, 0, CreateRGB(255, 0, 0));
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  const Bytes file = WritePXM(src, p);
  // Grey by the engine's weights: red 255 * 21 / 100.
  EXPECT_EQ(file, Concat(Text("P5 2 1 255\n"), {100, 53}));
  // P4 writes black as 1 bits.
  TIEBitmap bw(10, 1, ie1g);
  bw.Fill(0);
  SetRowBit(bw.GetRow(0), 1, 1);
  TIOParamsVals q(nullptr);
  EXPECT_EQ(WritePXM(bw, q), Concat(Text("P4 10 1\n"), {0xBF, 0xFF}));
}

TEST(PnmCodec, HeadersWithCommentsAnywhere) {
  struct Case { const char* name; Bytes file; int w, h; std::vector<std::string> comments; };
  const Case cases[] = {
      {"a comment after the magic", Concat(Text("P6\n# made by hand  \n2\n1\n255\n"), {1, 2, 3, 4, 5, 6}), 2, 1,
       {"made by hand"}},
      {"a comment between width and height", Concat(Text("P5 3 # width\n# more\n 1 255\n"), {7, 8, 9}), 3, 1,
       {"width", "more"}},
      {"a comment right after a token", Concat(Text("P5 3 1#no space\n255\n"), {7, 8, 9}), 3, 1, {"no space"}},
      {"CR line ends", Concat(Text("P5\r\n#c\r\n3 1\r\n255\r"), {7, 8, 9}), 3, 1, {"c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadResult r;
    Read(c.file, r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bitmap.Width(), c.w);
    EXPECT_EQ(r.bitmap.Height(), c.h);
    EXPECT_EQ(r.params.PxmComments, c.comments);
    if (c.w == 2) {
      EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(1, 0), CreateRGB(4, 5, 6)));
    } else {
      EXPECT_EQ(r.bitmap.GetPixelRGB(2, 0).g, 9);
    }
  }
}

TEST(PnmCodec, SamplesAreScaledFromTheirMaximum) {
  // P5 and P6 alike: 15 of 15 is 255, 7 of 15 is 119; 16-bit samples likewise; values above the
  // maximum count as the maximum.
  ReadResult p5, p6, wide, wideNative, high, ascii;
  Read(Concat(Text("P5 3 1 15\n"), {15, 7, 200}), p5);
  Read(Concat(Text("P6 1 1 15\n"), {15, 7, 0}), p6);
  Read(Concat(Text("P5 2 1 1023\n"), {0x03, 0xFF, 0x01, 0x00}), wide);
  Read(Concat(Text("P5 2 1 1023\n"), {0x03, 0xFF, 0x01, 0x00}), wideNative, true);
  Read(Concat(Text("P6 1 1 65535\n"), {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00}), high);
  Read(Text("P3 2 1 15 15 7 0 99 1 0"), ascii);
  ASSERT_TRUE(p5.ok && p6.ok && wide.ok && wideNative.ok && high.ok && ascii.ok);
  EXPECT_EQ(p5.bitmap.GetPixelRGB(0, 0).g, 255);
  EXPECT_EQ(p5.bitmap.GetPixelRGB(1, 0).g, 119);
  EXPECT_EQ(p5.bitmap.GetPixelRGB(2, 0).g, 255);
  EXPECT_TRUE(SameRGB(p6.bitmap.GetPixelRGB(0, 0), CreateRGB(255, 119, 0)));
  EXPECT_EQ(wide.bitmap.PixelFormat(), ie24RGB);
  EXPECT_EQ(wide.bitmap.GetPixelRGB(0, 0).g, 255);
  EXPECT_EQ(wide.bitmap.GetPixelRGB(1, 0).g, 63);  // 256 * 255 / 1023
  EXPECT_EQ(wideNative.bitmap.PixelFormat(), ie16g);
  EXPECT_EQ(wideNative.bitmap.GetPixel16(0, 0), 65535);
  EXPECT_EQ(wideNative.bitmap.GetPixel16(1, 0), 16399);  // 256 * 65535 / 1023 = 16399.76
  // 16-bit P6 at 65535, not native: the high bytes.
  EXPECT_TRUE(SameRGB(high.bitmap.GetPixelRGB(0, 0), CreateRGB(0x12, 0xAB, 0xFF)));
  EXPECT_TRUE(SameRGB(ascii.bitmap.GetPixelRGB(0, 0), CreateRGB(255, 119, 0)));
  EXPECT_TRUE(SameRGB(ascii.bitmap.GetPixelRGB(1, 0), CreateRGB(255, 17, 0)));
}

TEST(PnmCodec, AsciiVariants) {
  ReadResult p1, p2;
  Read(Text("P1\n# bits\n4 2\n0 1 0 1\n1101"), p1);
  Read(Text("P2 2 2 255\n10 20\n30 x\n"), p2);
  ASSERT_TRUE(p1.ok);
  ASSERT_TRUE(p2.ok);
  EXPECT_EQ(p1.bitmap.PixelFormat(), ie1g);
  const bool white[2][4] = {{true, false, true, false}, {false, false, true, false}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(GetRowBit(p1.bitmap.GetRow(y), x) != 0, white[y][x]) << x << "," << y;
  EXPECT_EQ(p2.bitmap.GetPixelRGB(1, 1).g, 0);  // not a number
  EXPECT_EQ(p2.bitmap.GetPixelRGB(0, 1).g, 30);
  EXPECT_EQ(p2.params.BitsPerSample, 8);
}

TEST(PnmCodec, BadHeadersAndShortDataAreRefused) {
  IEImageSizeGateLogForTesting(true);
  struct Case { const char* name; Bytes file; };
  const Case cases[] = {
      {"P7", Text("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nENDHDR\n\x01")},
      {"maxval 0", Concat(Text("P5 1 1 0\n"), {0})},
      {"maxval 65536", Concat(Text("P5 1 1 65536\n"), {0, 0})},
      {"no height", Text("P5 1")},
      {"width 0", Concat(Text("P5 0 1 255\n"), {0})},
      {"a width that is no number", Concat(Text("P5 1a 1 255\n"), {0})},
      {"binary rows cut short", Concat(Text("P6 4 4 255\n"), Bytes(20, 1))},
      {"ASCII samples cut short", Text("P2 2 2 255 1 2 3")},
      {"P1 bits cut short", Text("P1 3 2 010 01")},
      {"huge from a few bytes", Concat(Text("P6 100000 100000 255\n"), Bytes(10, 1))},
      {"huge ASCII", Text("P2 50000 50000 255 1 2 3")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadResult r;
    Read(c.file, r);
    EXPECT_FALSE(r.ok);
  }
  EXPECT_LE(IEImageSizeGateLogForTesting().LargestGrantedPixels, 16);
  // The rows before the end stay.
  ReadResult r;
  Read(Concat(Text("P5 2 3 255\n"), {1, 2, 3}), r);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.bitmap.GetPixelRGB(1, 0).g, 2);
  EXPECT_EQ(r.bitmap.GetPixelRGB(0, 1).g, 3);
  // Wide rows arrive in blocks: data that end in a later block keep every whole row before them.
  const int32_t width = 2000, whole = 70;  // of 100 rows
  Bytes data(static_cast<size_t>(width) * 6 * whole + 7);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i / (width * 6) + 1);
  ReadResult wide;
  Read(Concat(Text("P6 2000 100 65535\n"), data), wide);
  EXPECT_FALSE(wide.ok);
  EXPECT_EQ(wide.bitmap.GetPixelRGB(width - 1, whole - 1).r, whole);
  EXPECT_EQ(wide.bitmap.GetPixelRGB(0, whole).r, whole + 1);  // the first bytes of the cut row
  EXPECT_EQ(wide.bitmap.GetPixelRGB(width - 1, whole).r, 0);
}

TEST(PnmCodec, TheProbe) {
  struct Case { Bytes file; bool match; };
  const Case cases[] = {{Text("P6 1 1 255 xyz"), true},
                        {Text("# lead\nP4\n8 1\n"), true},
                        {Text("P5 1 1"), true},  // the maxval is not looked at
                        {Text("P7 1 1 255"), false},
                        {Text("P3 0 1 255"), false},
                        {Text("Q6 1 1 255"), false},
                        {Text(""), false}};
  for (const Case& c : cases) {
    TCustomMemoryStream s(c.file.data(), static_cast<int64_t>(c.file.size()));
    EXPECT_EQ(IsPXMStream(s), c.match) << std::string(c.file.begin(), c.file.end());
    EXPECT_EQ(s.Position(), 0);
  }
}

// A stream that counts the bytes read from it.
class TCountingStream : public TCustomMemoryStream {
 public:
  using TCustomMemoryStream::TCustomMemoryStream;
  int32_t Read(void* b, int32_t n) override {
    const int32_t got = TCustomMemoryStream::Read(b, n);
    read_ += got;
    return got;
  }
  int64_t read_ = 0;
};

TEST(PnmCodec, EndlessTokensAreCutShort) {
  // Megabytes of letters and digits: the probe looks at the first few KB, the reader takes a token
  // of at most 64 characters and gives up.
  Bytes letters(8 << 20, 'a');
  Bytes digits = Concat(Text("P5 "), Bytes(8 << 20, '7'));
  TCountingStream a(letters.data(), static_cast<int64_t>(letters.size()));
  EXPECT_FALSE(IsPXMStream(a));
  EXPECT_LE(a.read_, 8192);
  TCountingStream d(digits.data(), static_cast<int64_t>(digits.size()));
  EXPECT_FALSE(IsPXMStream(d));
  EXPECT_LE(d.read_, 8192);
  TCountingStream r(digits.data(), static_cast<int64_t>(digits.size()));
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  ReadPXMStream(r, b, p, false, progress);
  EXPECT_TRUE(aborting);
  EXPECT_LE(r.read_, 1 << 20);
  // A comment of megabytes is read to its end but kept short.
  const Bytes comment = Concat(Concat(Text("P5 #"), Bytes(1 << 20, 'c')), Concat(Text("\n1 1 255\n"), {9}));
  ReadResult c;
  Read(comment, c);
  ASSERT_TRUE(c.ok);
  ASSERT_EQ(c.params.PxmComments.size(), 1u);
  EXPECT_EQ(c.params.PxmComments[0].size(), kPXMMaxComment);
}

TEST(PnmCodec, TheTokenizer) {
  const Bytes text = Text("  P6#c1\n 12\t\t34 ## two # \r\nabc");
  TCustomMemoryStream s(text.data(), static_cast<int64_t>(text.size()));
  TIEStreamInput in(s);
  std::vector<std::string> tokens;
  for (std::string t;;) {
    ReadPXMToken(in, t);
    if (t.empty()) break;
    tokens.push_back(t);
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"P6", "#c1", "12", "34", "## two #", "abc"}));
}

TEST(PnmWriter, AShortWriteSetsAborting) {
  TIEBitmap src(100, 100, ie24RGB);
  TIOParamsVals p(nullptr);
  TShortStream s(1000);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WritePXMStream(s, src, p, progress);
  EXPECT_TRUE(aborting);
  // A comment cannot break the header: its line ends become blanks.
  TIEBitmap one(1, 1, ie24RGB);
  p.PxmComments = {"two\nlines"};
  const Bytes file = WritePXM(one, p);
  EXPECT_EQ(Head(file, 21), "P6 \n# two lines\n1 1 2");
}

}  // namespace
