#include "imaging/core/ie_tiff_handler.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_byte_reader.h"
#include "platform/system/streams.h"
#include "tests/support/byte_builder.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ByteBuilder;

// Two pages: page 0 (entries stored out of order) with one 8-byte strip, page 1 with a description.
std::vector<uint8_t> TwoPageTiff(bool bigEndian, bool cycle = false) {
  ByteBuilder b(bigEndian);
  b.Raw(bigEndian ? "MM" : "II").U16(42).U32(8);
  b.U16(3);
  b.U16(273).U16(ttLONG).U32(1).U32(0);  // patched: strip offset
  b.U16(256).U16(ttSHORT).U32(1).U16(4).U16(0);
  b.U16(279).U16(ttLONG).U32(1).U32(8);
  const size_t next0 = b.Size();
  b.U32(0);
  const size_t strip = b.Size();
  b.Raw("STRIPDAT");
  const size_t ifd1 = b.Size();
  b.U16(2);
  b.U16(256).U16(ttSHORT).U32(1).U16(2).U16(0);
  b.U16(270).U16(ttASCII).U32(10).U32(static_cast<uint32_t>(ifd1 + 2 + 24 + 4));
  b.U32(cycle ? 8 : 0);  // a cycle back to page 0
  b.Raw(std::string("two pages\0", 10));
  b.Patch32(10 + 8, static_cast<uint32_t>(strip));
  b.Patch32(next0, static_cast<uint32_t>(ifd1));
  return b.Bytes();
}

void Load(TIETIFFHandler& h, const std::vector<uint8_t>& bytes) {
  TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  h.LoadFromStream(s);
}

std::vector<uint8_t> Write(TIETIFFHandler& h, int32_t page = -1) {
  TMemoryStream s;
  h.WriteStream(s, page);
  auto* p = static_cast<uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

std::string BlockText(const TIETIFFHandler& h, int page, uint16_t tag, int item = 0) {
  const auto* block = TIETIFFHandler::GetEntryBlock(h.Page(page), h.FindTag(page, tag), item);
  return block ? std::string(block->begin(), block->end()) : "<none>";
}

// The tags of each directory of a written file, in file order, following the chain.
std::vector<std::vector<uint16_t>> Directories(const std::vector<uint8_t>& file) {
  TIEByteReader r(file.data(), static_cast<int64_t>(file.size()), file[0] == 'M');
  r.Seek(4);
  std::vector<std::vector<uint16_t>> dirs;
  int64_t at = r.U32();
  while (at != 0 && dirs.size() < 10) {
    EXPECT_EQ(at % 2, 0);
    r.Seek(at);
    const int n = r.U16();
    dirs.emplace_back();
    for (int i = 0; i < n; ++i) {
      r.Seek(at + 2 + i * 12);
      dirs.back().push_back(r.U16());
    }
    r.Seek(at + 2 + n * 12);
    at = r.U32();
    EXPECT_FALSE(r.Failed());
  }
  return dirs;
}

TEST(TIFFHandler, TwoPageBigEndianLoadsWritesChainedAndSorted) {
  TIETIFFHandler h;
  Load(h, TwoPageTiff(true));
  ASSERT_EQ(h.PageCount(), 2);
  EXPECT_TRUE(h.BigEndian());
  EXPECT_EQ(h.Version(), 42);
  EXPECT_EQ(h.Page(0)[0].Tag, 256);  // sorted on reading
  EXPECT_EQ(h.GetTagValue(h.Page(0), 256, 0), 4);
  EXPECT_EQ(h.GetTagValue(h.Page(0), 279, 0), 8);
  EXPECT_EQ(BlockText(h, 0, 273), "STRIPDAT");
  const auto& desc = h.Page(1)[h.FindTag(1, 270)];
  EXPECT_EQ(std::string(desc.Data.begin(), desc.Data.end() - 1), "two pages");

  const auto written = Write(h);
  EXPECT_EQ(Directories(written), (std::vector<std::vector<uint16_t>>{{256, 273, 279}, {256, 270}}));
  TIETIFFHandler back;
  Load(back, written);
  ASSERT_EQ(back.PageCount(), 2);
  EXPECT_EQ(BlockText(back, 0, 273), "STRIPDAT");
  EXPECT_EQ(back.GetTagValue(back.Page(1), 256, 0), 2);
  EXPECT_EQ(h.FindTag(2, 256), -1);

  // One page alone.
  EXPECT_EQ(Directories(Write(h, 1)), (std::vector<std::vector<uint16_t>>{{256, 270}}));
}

TEST(TIFFHandler, LittleEndianRoundTripThroughAFile) {
  testsupport::ScratchDir dir;
  TIETIFFHandler h;
  Load(h, TwoPageTiff(false));
  ASSERT_EQ(h.PageCount(), 2);
  h.AddTag(h.Page(0), 305, std::string("Brimvale"));
  h.AddTag(h.Page(0), 282, 72.5, ttRATIONAL);
  h.AddTag(h.Page(0), 700, 2.25, ttDOUBLE);
  h.AddTag(h.Page(0), 284, 1, ttSHORT);
  h.AddTag(h.Page(0), 284, 2, ttSHORT);  // replaces
  h.WriteFile(dir.File("out.tif"), -1);
  TIETIFFHandler back(dir.File("out.tif"));
  ASSERT_EQ(back.PageCount(), 2);
  EXPECT_FALSE(back.BigEndian());
  EXPECT_EQ(back.GetTagValue(back.Page(0), 284, 0), 2);
  const auto& sw = back.Page(0)[back.FindTag(0, 305)];
  EXPECT_EQ(std::string(sw.Data.begin(), sw.Data.end()), std::string("Brimvale\0", 9));
  const auto& rat = back.Page(0)[back.FindTag(0, 282)];
  ASSERT_EQ(rat.Data.size(), 8u);
  EXPECT_EQ(IEGetU32(rat.Data.data(), false), 725000u);
  EXPECT_EQ(IEGetU32(rat.Data.data() + 4, false), 10000u);
  const auto& dbl = back.Page(0)[back.FindTag(0, 700)];
  ASSERT_EQ(dbl.Data.size(), 8u);  // a DOUBLE lies out of line
  double d;
  std::memcpy(&d, dbl.Data.data(), 8);
  EXPECT_EQ(d, 2.25);
  EXPECT_EQ(BlockText(back, 0, 273), "STRIPDAT");

  TIETIFFHandler missing(dir.File("missing.tif"));
  EXPECT_EQ(missing.PageCount(), 0);
}

TEST(TIFFHandler, CopyingStripsDuplicatesDataAndRefusesOtherByteOrder) {
  TIETIFFHandler a, b, other;
  Load(a, TwoPageTiff(true));
  Load(b, TwoPageTiff(true));
  Load(other, TwoPageTiff(false));
  b.DeleteTag(0, b.FindTag(0, 273));
  EXPECT_EQ(b.FindTag(0, 273), -1);
  b.CopyTag(0, a.FindTag(0, 273), a, 0);
  ASSERT_GE(b.FindTag(0, 273), 0);
  a.Page(0)[a.FindTag(0, 273)].Blocks[0][0] = 'X';
  EXPECT_EQ(BlockText(b, 0, 273), "STRIPDAT");
  // Copying between "II" and "MM" does nothing.
  other.CopyTag(1, a.FindTag(1, 270), a, 0);
  EXPECT_EQ(other.FindTag(0, 270), -1);
  // Missing pages or entries do nothing.
  b.CopyTag(5, 0, a, 0);
  b.CopyTag(0, -1, a, 0);
  b.CopyTag(0, 0, a, 9);
}

TEST(TIFFHandler, OldStyleJpegGetsAStripOffsetAtStartOfScan) {
  ByteBuilder b(false);
  b.Raw("II").U16(42).U32(8);
  b.U16(5);
  b.U16(259).U16(ttSHORT).U32(1).U16(6).U16(0);
  b.U16(273).U16(ttLONG).U32(1).U32(0);
  b.U16(279).U16(ttLONG).U32(1).U32(4);
  b.U16(513).U16(ttLONG).U32(1).U32(0);  // patched
  b.U16(514).U16(ttLONG).U32(1).U32(10);
  b.U32(0);
  const size_t jpeg = b.Size();
  b.U8(0xFF).U8(0xD8).U8(0xFF).U8(0xDB).U8(0).U8(0xFF).U8(0xDA).U8(1).U8(2).U8(3);
  b.Patch32(8 + 2 + 12 + 8, static_cast<uint32_t>(jpeg));
  b.Patch32(8 + 2 + 36 + 8, static_cast<uint32_t>(jpeg));
  TIETIFFHandler h;
  Load(h, b.Bytes());
  ASSERT_EQ(h.PageCount(), 1);
  EXPECT_EQ(h.FindTag(0, 273), -1);  // the image remains only as the JPEG stream
  const auto written = Write(h);
  EXPECT_EQ(Directories(written), (std::vector<std::vector<uint16_t>>{{259, 273, 279, 513, 514}}));
  TIEByteReader r(written.data(), static_cast<int64_t>(written.size()));
  int64_t strips = 0, stream = 0;
  for (int i = 0; i < 5; ++i) {
    r.Seek(8 + 2 + i * 12);
    const uint16_t tag = r.U16();
    r.Skip(6);
    if (tag == 273) strips = r.U32();
    if (tag == 513) stream = r.U32();
  }
  EXPECT_EQ(strips, stream + 5);
  EXPECT_EQ(written[static_cast<size_t>(strips)], 0xFF);
  EXPECT_EQ(written[static_cast<size_t>(strips) + 1], 0xDA);
}

TEST(TIFFHandler, DirectoryCyclesLoadOnceAndStop) {
  TIETIFFHandler h;
  Load(h, TwoPageTiff(true, /*cycle=*/true));
  EXPECT_EQ(h.PageCount(), 2);

  // A sub-directory that points at its own parent, and one that points at itself.
  for (uint32_t target : {8u, 26u}) {
    ByteBuilder b(false);
    b.Raw("II").U16(42).U32(8);
    b.U16(1).U16(34665).U16(ttLONG).U32(1).U32(26).U32(0);  // EXIF IFD at 26
    b.U16(1).U16(40965).U16(ttLONG).U32(1).U32(target).U32(0);
    TIETIFFHandler s;
    Load(s, b.Bytes());
    ASSERT_EQ(s.PageCount(), 1);
    const auto& exif = s.Page(0)[s.FindTag(0, 34665)];
    ASSERT_EQ(exif.Kind, TIETIFFEntry::ekSubIFD);
    EXPECT_TRUE(exif.SubIFD.empty()) << target;  // the looping entry is dropped
    EXPECT_EQ(Directories(Write(s)).size(), 1u);
  }
}

TEST(TIFFHandler, OutOfRangeValuesAndStripsStayInsideTheFile) {
  ByteBuilder b(false);
  b.Raw("II").U16(42).U32(8);
  b.U16(6);
  b.U16(256).U16(ttSHORT).U32(1).U16(4).U16(0);
  b.U16(270).U16(ttASCII).U32(20).U32(0xFFFFFF00);  // value offset far outside: dropped
  b.U16(271).U16(ttASCII).U32(0x7FFFFFFF).U32(8);   // value longer than the file: ends the directory
  b.U16(273).U16(ttLONG).U32(2).U32(0);             // patched: two strips
  b.U16(279).U16(ttLONG).U32(2).U32(0);             // patched
  b.U16(305).U16(ttASCII).U32(3).Raw("ab\0").U8(0);
  b.U32(0x12345678);  // next IFD far outside
  const size_t offsets = b.Size();
  b.U32(0).U32(0xFFFFFFF0);  // strip 0 patched, strip 1 outside
  const size_t counts = b.Size();
  b.U32(1000).U32(4);  // strip 0 runs past the end
  const size_t strip = b.Size();
  b.Raw("DATA");
  b.Patch32(offsets, static_cast<uint32_t>(strip));
  b.Patch32(8 + 2 + 36 + 8, static_cast<uint32_t>(offsets));
  b.Patch32(8 + 2 + 48 + 8, static_cast<uint32_t>(counts));
  TIETIFFHandler h;
  Load(h, b.Bytes());
  ASSERT_EQ(h.PageCount(), 1);
  const auto& page = h.Page(0);
  EXPECT_EQ(h.FindTag(0, 270), -1);
  EXPECT_EQ(h.FindTag(0, 273), -1);  // reading stopped at 271
  EXPECT_EQ(page.size(), 1u);

  // Strips that run past the end are clipped and their counts follow.
  b.Patch32(8 + 2 + 12 + 4, 4);  // 270: in line now
  b.Patch32(8 + 2 + 24 + 4, 4);  // 271 likewise
  TIETIFFHandler g;
  Load(g, b.Bytes());
  ASSERT_EQ(g.PageCount(), 1);
  EXPECT_EQ(BlockText(g, 0, 273, 0), "DATA");
  EXPECT_EQ(BlockText(g, 0, 273, 1), "");
  EXPECT_EQ(g.GetTagValue(g.Page(0), 279, 0), 4);
  EXPECT_EQ(g.GetTagValue(g.Page(0), 279, 1), 0);
  EXPECT_EQ(g.GetTagValue(g.Page(0), 305, 0), 'a');
  EXPECT_EQ(g.GetTagValue(g.Page(0), 305, 7), 0);  // past the count

  // Headers that are no TIFF, and a directory count far beyond the data.
  for (const auto& bad : {std::vector<uint8_t>{'X', 'X', 42, 0, 8, 0, 0, 0}, std::vector<uint8_t>{'I', 'I'},
                          ByteBuilder().Raw("II").U16(42).U32(8).U16(60000).Zeros(30).Bytes(),
                          ByteBuilder().Raw("II").U16(42).U32(0xFFFFFFFF).Bytes()}) {
    TIETIFFHandler x;
    Load(x, bad);
    EXPECT_LE(x.PageCount(), 1);
    if (x.PageCount() == 1) {
      EXPECT_LE(x.Page(0).size(), 2u);
    }
  }
}

TEST(TIFFHandler, ManyStripsOnTheSameBytesAreBounded) {
  // 16000 strips, each declared 1 MB long at the same offset: the copies stay within the budget.
  ByteBuilder b(false);
  const uint32_t n = 16000;
  b.Raw("II").U16(42).U32(8);
  b.U16(2);
  b.U16(273).U16(ttLONG).U32(n).U32(8 + 2 + 24 + 4);
  b.U16(279).U16(ttLONG).U32(n).U32(8 + 2 + 24 + 4 + n * 4);
  b.U32(0);
  const size_t data = 8 + 2 + 24 + 4 + n * 8;
  for (uint32_t i = 0; i < n; ++i) b.U32(static_cast<uint32_t>(data));
  for (uint32_t i = 0; i < n; ++i) b.U32(1 << 20);
  b.Zeros(1 << 20);
  TIETIFFHandler h;
  Load(h, b.Bytes());
  ASSERT_EQ(h.PageCount(), 1);
  int64_t total = 0;
  for (uint32_t i = 0; i < n; ++i) total += static_cast<int64_t>(TIETIFFHandler::GetEntryBlock(h.Page(0), 0, i)->size());
  EXPECT_LE(total, 4 * static_cast<int64_t>(b.Size()) + (16 << 20));
  EXPECT_GT(total, 0);
}

}  // namespace
