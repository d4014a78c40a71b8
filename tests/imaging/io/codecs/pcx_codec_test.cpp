#include "imaging/io/codecs/pcx_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/support/byte_builder.h"

namespace {

using namespace codectest;
using testsupport::ByteBuilder;

Bytes WritePCX(TIEBitmap& b, TIOParamsVals& p) {
  return WriteWith([&](TStream& s, TIEProgressRecord& pr) { WritePCXStream(s, b, p, pr); });
}

// A PCX header with the fields the tests vary.
struct Header {
  uint8_t manufacturer = 10, version = 5, encoding = 1, bits = 8;
  uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0, dpiX = 72, dpiY = 72;
  uint8_t planes = 1;
  uint16_t bytesPerLine = 2;
  std::vector<TIERGB> palette;  // header colours
  Bytes Build() const {
    ByteBuilder b;
    b.U8(manufacturer).U8(version).U8(encoding).U8(bits).U16(xmin).U16(ymin).U16(xmax).U16(ymax).U16(dpiX).U16(dpiY);
    for (int i = 0; i < 16; ++i) {
      const TIERGB c = i < static_cast<int>(palette.size()) ? palette[i] : TIERGB{};
      b.U8(c.r).U8(c.g).U8(c.b);
    }
    b.U8(0).U8(planes).U16(bytesPerLine).U16(1).Zeros(58);
    return b.Bytes();
  }
};

struct ReadResult {
  bool ok = false;
  TIEBitmap bitmap;
  TIOParamsVals params{nullptr};
};
void Read(const Bytes& file, ReadResult& r, int64_t dataSize = -1, bool paramsOnly = false) {
  r.ok = ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) {
    ReadPCXStream(s, r.bitmap, r.params, dataSize < 0 ? s.Size() : dataSize, pr, paramsOnly);
  });
}

TEST(PcxCodec, RoundTripsAtEveryDepthWithAndWithoutRunLengthCoding) {
  struct Case { int bits, samples, colors; TIEPixelFormat format; };
  // 1 bit: two colours keep their own colours in the header (not black and white); 4 and 8 bits:
  // pictures that fit their palettes; 24 bits: many colours.
  const Case cases[] = {{1, 1, 2, ie24RGB}, {4, 1, 16, ie24RGB}, {8, 1, 256, ie24RGB}, {8, 3, 256, ie24RGB}};
  for (const Case& c : cases)
    for (int rle = 0; rle <= 1; ++rle)
      for (int w : {1, 5, 67}) {
        SCOPED_TRACE(testing::Message() << c.bits << "x" << c.samples << " rle " << rle << " width " << w);
        TIEBitmap src;
        PaintColors(src, w, 9, c.colors);
        TIOParamsVals p(nullptr);
        p.BitsPerSample = c.bits;
        p.SamplesPerPixel = c.samples;
        p.PcxCompression = static_cast<uint8_t>(rle);
        p.SetDpiX(150);
        p.SetDpiY(75);
        const Bytes file = WritePCX(src, p);
        ASSERT_FALSE(file.empty());
        ReadResult r;
        Read(file, r);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.bitmap.PixelFormat(), c.format);
        EXPECT_TRUE(SamePixels(r.bitmap, src));
        EXPECT_EQ(r.params.PcxCompression, rle);
        EXPECT_EQ(r.params.DpiX, 150);
        EXPECT_EQ(r.params.DpiY, 75);
        EXPECT_EQ(r.params.BitsPerSample, c.bits);
        EXPECT_EQ(r.params.SamplesPerPixel, c.samples);
      }
}

TEST(PcxCodec, BilevelPicturesStayBilevel) {
  TIEBitmap src(21, 4, ie1g);
  src.Fill(0);
  for (int x = 0; x < 21; x += 3) SetRowBit(src.GetRow(1), x, 1);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 1;
  p.SamplesPerPixel = 1;
  const Bytes file = WritePCX(src, p);
  // Black and white are header colours 0 and 1.
  EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 22), (Bytes{0, 0, 0, 255, 255, 255}));
  ReadResult r;
  Read(file, r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.PixelFormat(), ie1g);
  EXPECT_TRUE(SamePixels(r.bitmap, src));
  // Old files give no colours at all: black and white too, and so does white before black (inverted).
  Bytes noColors = file, inverted = file;
  std::fill(noColors.begin() + 16, noColors.begin() + 22, 0);
  for (int i = 0; i < 3; ++i) std::swap(inverted[16 + i], inverted[19 + i]);
  for (Bytes* f : {&noColors, &inverted}) {
    ReadResult q;
    Read(*f, q);
    ASSERT_TRUE(q.ok);
    EXPECT_EQ(q.bitmap.PixelFormat(), ie1g);
    EXPECT_EQ(q.bitmap.GetPixelRGB(3, 1).r, f == &noColors ? 255 : 0);
    EXPECT_EQ(q.bitmap.GetPixelRGB(4, 1).r, f == &noColors ? 0 : 255);
  }
}

TEST(PcxCodec, LineCodingFollowsTheRunRules) {
  uint8_t out[64];
  // A single byte of 192 or more is a run of one; an odd count gets a zero byte.
  const uint8_t high[] = {0xC5};
  EXPECT_EQ(Bytes(out, out + PCXEncodeLine(out, high, 1, 1, 0)), (Bytes{0xC1, 0xC5, 0}));
  const uint8_t mixed[] = {1, 1, 1, 7, 9, 9};
  EXPECT_EQ(Bytes(out, out + PCXEncodeLine(out, mixed, 6, 1, 0)), (Bytes{0xC3, 1, 7, 0xC2, 9}));
  // Runs stop at 63; stride and offset pick one channel of interleaved pixels.
  std::vector<uint8_t> long70(70, 4);
  EXPECT_EQ(Bytes(out, out + PCXEncodeLine(out, long70.data(), 70, 1, 0)), (Bytes{0xFF, 4, 0xC7, 4}));
  const uint8_t pixels[] = {1, 2, 3, 1, 2, 3, 1, 5, 3};
  EXPECT_EQ(Bytes(out, out + PCXEncodeLine(out, pixels, 3, 3, 1)), (Bytes{0xC2, 2, 5, 0}));
}

TEST(PcxCodec, A24BitLineOfFivePixelsCodesFiveBytesAndAPad) {
  TIEBitmap src(5, 1, ie24RGB);
  for (int x = 0; x < 5; ++x) src.SetPixel24(x, 0, CreateRGB(0x10, 0x20, 0x30));
  TIOParamsVals p(nullptr);
  const Bytes file = WritePCX(src, p);
  EXPECT_EQ(file[65], 3);              // planes
  EXPECT_EQ(file[66] | file[67] << 8, 6);  // bytes per line
  // Each plane: a run of five, then the pad byte.
  EXPECT_EQ(Bytes(file.begin() + 128, file.end()), (Bytes{0xC5, 0x10, 0, 0xC5, 0x20, 0, 0xC5, 0x30, 0}));
}

TEST(PcxCodec, RunsCrossingPlaneLinesDecodeLikeRunsThatDoNot) {
  // A 4 x 2 24-bit picture, every byte 0x33 but the last row's blue plane: coded once as one run
  // across all plane lines, once line by line.
  Header h;
  h.xmax = 3;
  h.ymax = 1;
  h.planes = 3;
  h.bytesPerLine = 4;
  const Bytes across = Concat(h.Build(), {0xC0 | 20, 0x33, 0xC4, 0x77});
  Bytes byLine = h.Build();
  for (int line = 0; line < 6; ++line) byLine = Concat(byLine, {0xC4, uint8_t(line == 5 ? 0x77 : 0x33)});
  ReadResult a, b;
  Read(across, a);
  Read(byLine, b);
  ASSERT_TRUE(a.ok);
  ASSERT_TRUE(b.ok);
  EXPECT_TRUE(SamePixels(a.bitmap, b.bitmap));
  EXPECT_EQ(a.bitmap.GetPixelRGB(3, 1).b, 0x77);
  EXPECT_EQ(a.bitmap.GetPixelRGB(3, 1).g, 0x33);
}

TEST(PcxCodec, PlanarIndexLayoutsDecodeThroughTheHeaderColours) {
  // 1 bit in 4 planes (16 colours) and 2 bits in one plane (4 colours), uncoded; 4 pixels, 1 row.
  std::vector<TIERGB> colors;
  for (int i = 0; i < 16; ++i) colors.push_back(CreateRGB(uint8_t(i * 16), uint8_t(i), uint8_t(255 - i)));
  Header ega;
  ega.encoding = 0;
  ega.bits = 1;
  ega.planes = 4;
  ega.xmax = 3;
  ega.palette = colors;
  // Indices 0b0101, 0b0011, 0b1000, 0b1111: plane k holds bit k of each.
  const Bytes egaFile = Concat(ega.Build(), {0b11010000, 0, 0b01010000, 0, 0b10010000, 0, 0b00110000, 0});
  Header cga = ega;
  cga.bits = 2;
  cga.planes = 1;
  const Bytes cgaFile = Concat(cga.Build(), {0b01101100, 0});
  ReadResult e, c;
  Read(egaFile, e);
  Read(cgaFile, c);
  ASSERT_TRUE(e.ok);
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(e.params.BitsPerSample, 4);
  EXPECT_EQ(e.params.SamplesPerPixel, 1);
  const int ega_[] = {5, 3, 8, 15}, cga_[] = {1, 2, 3, 0};
  for (int x = 0; x < 4; ++x) {
    EXPECT_TRUE(SameRGB(e.bitmap.GetPixelRGB(x, 0), colors[ega_[x]])) << x;
    EXPECT_TRUE(SameRGB(c.bitmap.GetPixelRGB(x, 0), colors[cga_[x]])) << x;
  }
  EXPECT_EQ(c.params.ColorMapCount, 4);
}

TEST(PcxCodec, ResolutionZeroGivesTheDefaults) {
  Header h;
  h.encoding = 0;
  h.bits = 1;
  h.dpiX = 0;
  h.dpiY = 72;
  ReadResult r;
  Read(Concat(h.Build(), {0, 0}), r, -1, true);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.params.DpiX, DefaultDPIX);
  EXPECT_EQ(r.params.DpiY, DefaultDPIY);
}

TEST(PcxCodec, TheEndPaletteIsTakenAtTheEndOfTheGivenData) {
  TIEBitmap src;
  PaintColors(src, 6, 3, 7);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  const Bytes file = WritePCX(src, p);
  ASSERT_EQ(file[file.size() - 769], 12);
  // Data after the picture: the size says where its palette is.
  const Bytes followed = Concat(file, Bytes(300, 0xEE));
  ReadResult r, wrong;
  Read(followed, r, static_cast<int64_t>(file.size()));
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(SamePixels(r.bitmap, src));
  EXPECT_EQ(r.params.ColorMapCount, 256);
  Read(followed, wrong);
  EXPECT_FALSE(SamePixels(wrong.bitmap, src));
}

TEST(PcxCodec, HostileHeadersAreRefusedBeforeAnyPixel) {
  struct Case {
    const char* name;
    void (*change)(Header&);
  };
  const Case cases[] = {
      {"manufacturer", [](Header& h) { h.manufacturer = 9; }},
      {"encoding 2", [](Header& h) { h.encoding = 2; }},
      {"3 bits", [](Header& h) { h.bits = 3; }},
      {"16 bits", [](Header& h) { h.bits = 16; }},
      {"no plane", [](Header& h) { h.planes = 0; }},
      {"5 planes", [](Header& h) { h.planes = 5; }},
      {"xmax below xmin", [](Header& h) { h.xmin = 5; h.xmax = 4; }},
      {"ymax below ymin", [](Header& h) { h.ymin = 2; h.ymax = 1; }},
      {"line shorter than its pixels", [](Header& h) { h.xmax = 9; h.bytesPerLine = 9; }},
      {"2 planes of 8 bits", [](Header& h) { h.planes = 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Header h;
    h.xmax = 1;
    c.change(h);
    const Bytes file = Concat(Concat(h.Build(), Bytes(64, 0x41)), Concat({12}, Bytes(768, 1)));
    ReadResult r;
    Read(file, r);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.bitmap.IsEmpty());
  }
}

TEST(PcxCodec, DataSizesTheHeaderCannotMeetAreRefused) {
  Header h;
  h.xmax = 1;
  const Bytes file = Concat(Concat(h.Build(), {0xC2, 5}), Concat({12}, Bytes(768, 1)));
  for (int64_t size : {int64_t{100}, int64_t{127}, int64_t{895}, static_cast<int64_t>(file.size()) + 1}) {
    ReadResult r;
    Read(file, r, size);
    EXPECT_FALSE(r.ok) << size;
  }
  ReadResult r;
  Read(file, r, static_cast<int64_t>(file.size()));
  EXPECT_TRUE(r.ok);
}

TEST(PcxCodec, DataThatEndBeforeTheLastRowKeepTheRowsRead) {
  TIEBitmap src;
  PaintColors(src, 40, 30, 256);
  TIOParamsVals p(nullptr);
  p.SamplesPerPixel = 3;
  Bytes file = WritePCX(src, p);
  file.resize(file.size() / 2);
  ReadResult r;
  Read(file, r);
  EXPECT_FALSE(r.ok);
  ASSERT_EQ(r.bitmap.Width(), 40);
  for (int x = 0; x < 40; ++x) EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(x, 2), src.GetPixelRGB(x, 2)));
  // A run marker whose byte is missing ends the data too.
  Header h;
  h.xmax = 3;
  h.bits = 1;
  ReadResult marker;
  Read(Concat(h.Build(), {0xC4}), marker);
  EXPECT_FALSE(marker.ok);
}

TEST(PcxCodec, ForgedSizesAreRefusedBeforeAllocating) {
  // 65536 x 65536 at 24 bits out of a few bytes of runs.
  Header h;
  h.xmax = 65534;
  h.ymax = 65535;
  h.planes = 3;
  h.bytesPerLine = 65535;
  IEImageSizeGateLogForTesting(true);
  ReadResult r;
  Read(Concat(h.Build(), Bytes(200, 0xFF)), r);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(IEImageSizeGateLogForTesting().LargestGrantedPixels, 0);
}

TEST(PcxWriter, TotalsWithoutALayoutWrite24BitsAndSaySo) {
  TIEBitmap src;
  PaintColors(src, 7, 3, 100);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 16;
  p.SamplesPerPixel = 1;
  const Bytes file = WritePCX(src, p);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  ReadResult r;
  Read(file, r);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(SamePixels(r.bitmap, src));
}

TEST(PcxWriter, AShortWriteSetsAbortingAndWritesNoEndPalette) {
  TIEBitmap src;
  PaintColors(src, 64, 64, 200);
  TIOParamsVals p(nullptr);
  p.SamplesPerPixel = 1;
  TShortStream s(500);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WritePCXStream(s, src, p, progress);
  EXPECT_TRUE(aborting);
  EXPECT_LE(s.Size(), 500);
}

// ----------------------------------------------------------------------------------------- DCX

// A page of W x 2 pixels of one colour.
Bytes Page(int w, uint8_t shade) {
  TIEBitmap b(w, 2, ie24RGB);
  b.Fill(shade * 0x010101);
  TIOParamsVals p(nullptr);
  return WritePCX(b, p);
}

Bytes Insert(const Bytes& dcx, int w, uint8_t shade, int index, bool* ok = nullptr) {
  TIEBitmap b(w, 2, ie24RGB);
  b.Fill(shade * 0x010101);
  TIOParamsVals p(nullptr);
  p.DcxImageIndex = index;
  TMemoryStream s;
  if (!dcx.empty()) s.WriteBuffer(dcx.data(), static_cast<int32_t>(dcx.size()));
  s.Seek(0, soBeginning);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteDCXStream(s, b, p, progress);
  if (ok) *ok = !aborting;
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  return Bytes(m, m + s.Size());
}

// The widths of the pages in file order (each page's width names it) and the table's entries.
std::vector<int> PageWidths(const Bytes& dcx) {
  TCustomMemoryStream s(dcx.data(), static_cast<int64_t>(dcx.size()));
  std::vector<int> widths;
  for (int i = 0; i < CountDCXStreamPages(s); ++i) {
    Decoded d;
    ReadDCX(dcx, i, d);
    widths.push_back(d.aborted ? -1 : d.bitmap.Width());
  }
  return widths;
}

TEST(DcxCodec, PagesAreInsertedFirstBetweenLastAndPastTheEnd) {
  Bytes two = Insert(Insert({}, 1, 10, 0), 2, 20, 1);
  ASSERT_EQ(PageWidths(two), (std::vector<int>{1, 2}));
  EXPECT_EQ(PageWidths(Insert(two, 3, 30, 0)), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(PageWidths(Insert(two, 3, 30, 1)), (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(PageWidths(Insert(two, 3, 30, 2)), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(PageWidths(Insert(two, 3, 30, 10)), (std::vector<int>{1, 2, 3}));
  // The table: three offsets in file order, then 0.
  const Bytes three = Insert(two, 3, 30, 0);
  ByteBuilder head;
  head.U32(0x3ADE68B1);
  EXPECT_EQ(Bytes(three.begin(), three.begin() + 4), head.Bytes());
  const auto u32 = [&](size_t at) { return three[at] | three[at + 1] << 8 | three[at + 2] << 16 | three[at + 3] << 24; };
  EXPECT_EQ(u32(4), 20);
  EXPECT_LT(u32(4), u32(8));
  EXPECT_LT(u32(8), u32(12));
  EXPECT_EQ(u32(16), 0);
}

TEST(DcxCodec, AnIndexPastTheLastPageReadsTheLastOneAndIsStoredBack) {
  const Bytes dcx = Insert(Insert(Insert({}, 1, 10, 0), 2, 20, 1), 3, 30, 2);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  p.DcxImageIndex = 10;
  ASSERT_TRUE(ReadWith(dcx, [&](TStream& s, TIEProgressRecord& pr) { ReadDCXStream(s, b, p, pr, false); }));
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(p.DcxImageIndex, 2);
  EXPECT_EQ(p.ImageIndex, 2);
  EXPECT_EQ(p.ImageCount, 3);
}

TEST(DcxCodec, TablesThatDoNotHoldUpAreRefused) {
  const Bytes page = Page(4, 99);
  const auto dcx = [&](std::vector<uint32_t> offsets, const Bytes& tail) {
    ByteBuilder b;
    b.U32(0x3ADE68B1);
    for (uint32_t o : offsets) b.U32(o);
    b.Raw(tail);
    return b.Bytes();
  };
  const uint32_t at = 12;
  struct Case { const char* name; Bytes file; bool probe; bool read; };
  const Case cases[] = {
      {"one page", dcx({at, 0}, page), true, true},
      {"an offset past the end", dcx({at, 100000, 0}, page), false, false},
      {"an offset inside the table", dcx({4, 0}, page), false, false},
      {"no page", dcx({0}, page), false, false},
      {"a page under 128 bytes", dcx({at, 0}, Bytes(page.begin(), page.begin() + 100)), true, false},
      {"not a DCX", Bytes(page), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TCustomMemoryStream s(c.file.data(), static_cast<int64_t>(c.file.size()));
    EXPECT_EQ(IsDCXStream(s), c.probe);
    EXPECT_EQ(s.Position(), 0);
    Decoded d;
    ReadDCX(c.file, 0, d);
    EXPECT_EQ(!d.aborted, c.read);
  }
  // Inserting into something that is not a DCX, or into a full table, changes nothing.
  bool ok = true;
  EXPECT_EQ(Insert(page, 2, 1, 0, &ok), page);
  EXPECT_FALSE(ok);
  std::vector<uint32_t> full(kDCXMaxPages, 4 + 4 * 1024);
  full.push_back(0);
  const Bytes fullFile = dcx(full, page);
  EXPECT_EQ(Insert(fullFile, 2, 1, 0, &ok), fullFile);
  EXPECT_FALSE(ok);
}

}  // namespace
