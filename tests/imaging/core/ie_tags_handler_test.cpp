#include "imaging/core/ie_tags_handler.h"

#include <gtest/gtest.h>

#include "tests/support/byte_builder.h"

namespace {

using testsupport::ByteBuilder;

// A Nikon type-3 note: signature, its own big-endian TIFF header, then the directory; offsets count
// from the header. Laid out the way WriteToStream lays it out, so it must come back byte for byte.
std::vector<uint8_t> NikonNote() {
  ByteBuilder b(true);
  b.Raw(std::string("Nikon\0\x02\x10\0\0", 10)).Raw("MM").U16(42).U32(8);
  b.U16(3);
  b.U16(0x0001).U16(7).U32(4).Raw("0210");        // UNDEFINED, in line
  b.U16(0x0002).U16(3).U32(2).U16(100).U16(200);  // two SHORTs, in line
  b.U16(0x0011).U16(5).U32(1).U32(8 + 2 + 36 + 4);  // RATIONAL, out of line
  b.U32(0);                                       // next IFD
  b.U32(1).U32(3);                                // the rational 1/3
  return b.Bytes();
}

std::vector<uint8_t> FujiNote() {
  ByteBuilder b(false);
  b.Raw("FUJIFILM").U32(12);
  b.U16(2);
  b.U16(0x0000).U16(7).U32(4).Raw("0130");
  b.U16(0x1000).U16(2).U32(8).U32(12 + 2 + 24 + 4);
  b.U32(0);
  b.Raw(std::string("NORMAL \0", 8));
  return b.Bytes();
}

void ReadNote(TIETagsHandler& h, const std::vector<uint8_t>& note, bool littleEndian, int prefix = 0) {
  TMemoryStream s;
  for (int i = 0; i < prefix; ++i) s.WriteValue<uint8_t>(0xEE);
  s.WriteBuffer(note.data(), static_cast<int32_t>(note.size()));
  s.SetPosition(prefix);
  h.ReadFromStream(s, static_cast<int32_t>(note.size()), littleEndian);
}

std::vector<uint8_t> Write(TIETagsHandler& h, int prefix = 0) {
  TMemoryStream s;
  for (int i = 0; i < prefix; ++i) s.WriteValue<uint8_t>(0);
  const int32_t n = h.WriteToStream(s);
  EXPECT_EQ(n, s.Size() - prefix);
  auto* p = static_cast<uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p + prefix, p + s.Size());
}

const uint8_t* Stored(TIETagsHandler& h, const TIETagEntry& e) {
  return static_cast<const uint8_t*>(h.EntryStream().Memory()) + e.Value;
}

TEST(TagsHandler, NikonType3IsReadBigEndianAndWrittenBack) {
  TIETagsHandler h;
  ReadNote(h, NikonNote(), /*littleEndian=*/true, 20);  // the enclosing TIFF's order does not matter
  EXPECT_EQ(h.DeviceInfo().HeaderKind, 1);
  ASSERT_EQ(h.EntryCount(), 3);
  const auto& t = h.EntryTable();
  EXPECT_EQ(t[0].Tag, 1);
  EXPECT_EQ(std::memcmp(&t[0].Value, "0210", 4), 0);
  // In line SHORTs are normalised item by item.
  EXPECT_EQ(t[1].Value & 0xFFFF, 100u);
  EXPECT_EQ(t[1].Value >> 16, 200u);
  // The rational's two numbers are stored little-endian in the entry stream.
  const uint8_t* r = Stored(h, t[2]);
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(r[4], 3);
  EXPECT_EQ(Write(h, 7), NikonNote());
}

TEST(TagsHandler, FujifilmTakesItsOffsetAndIsLittleEndianWhateverTheFile) {
  TIETagsHandler h;
  ReadNote(h, FujiNote(), /*littleEndian=*/false);
  ASSERT_EQ(h.EntryCount(), 2);
  EXPECT_EQ(h.EntryTable()[1].DataNum, 8u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Stored(h, h.EntryTable()[1]))), "NORMAL ");
  const auto written = Write(h, 3);
  EXPECT_EQ(written, FujiNote());
  TIETagsHandler again;
  ReadNote(again, written, true);
  ASSERT_EQ(again.EntryCount(), 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Stored(again, again.EntryTable()[1]))), "NORMAL ");
  TIETagsHandler copy;
  copy.Assign(&h);
  EXPECT_EQ(copy.EntryCount(), 2);
  EXPECT_EQ(copy.RawData(), h.RawData());
  EXPECT_EQ(Write(copy), FujiNote());
}

TEST(TagsHandler, DoubleIsStoredOutOfLineWithOffsetsFromTheTiffOrigin) {
  // A note without signature inside a TIFF; its offsets count from the TIFF's start (stream 0).
  const int prefix = 100;
  ByteBuilder b(false);
  b.U16(1).U16(0x0020).U16(12).U32(1).U32(prefix + 2 + 12 + 4).U32(0);
  const double value = 2.75;
  uint8_t bytes[8];
  std::memcpy(bytes, &value, 8);
  b.Raw(std::vector<uint8_t>(bytes, bytes + 8));
  TIETagsHandler h;
  ReadNote(h, b.Bytes(), true, prefix);
  ASSERT_EQ(h.EntryCount(), 1);
  double back;
  std::memcpy(&back, Stored(h, h.EntryTable()[0]), 8);
  EXPECT_EQ(back, 2.75);
  // Written at position 40 of a new TIFF, the offset follows the new place.
  const auto written = Write(h, 40);
  uint32_t offset;
  std::memcpy(&offset, written.data() + 2 + 8, 4);
  EXPECT_EQ(offset, 40u + 18u);
}

TEST(TagsHandler, HostileNotesLeaveItEmptyOrDropValues) {
  const struct { const char* name; std::vector<uint8_t> note; int entries; } cases[] = {
      {"too short", {0x01}, 0},
      {"more than 256 entries", ByteBuilder().U16(257).Zeros(257 * 12).Bytes(), 0},
      {"entries past the end", ByteBuilder().U16(3).Zeros(30).Bytes(), 0},
      {"fuji offset far outside", ByteBuilder().Raw("FUJIFILM").U32(0xFFFFFFF0).U16(0).Bytes(), 0},
      {"fuji offset before the note", ByteBuilder().Raw("FUJIFILM").U32(2).U16(0).Bytes(), 0},
      {"nikon without its header", ByteBuilder().Raw(std::string("Nikon\0\x02\x10\0\0MM", 12)).Bytes(), 0},
      {"value outside the note", ByteBuilder().U16(1).U16(1).U16(7).U32(100).U32(1000).Bytes(), 1},
      {"value count overflowing", ByteBuilder().U16(1).U16(1).U16(12).U32(0xFFFFFFFF).U32(2).Bytes(), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TIETagsHandler h;
    ReadNote(h, c.note, true);
    ASSERT_EQ(h.EntryCount(), c.entries);
    if (c.entries == 0) {
      EXPECT_EQ(h.RawSize(), 0);
      EXPECT_EQ(h.EntryStream().Size(), 0);
    } else {
      EXPECT_EQ(h.EntryTable()[0].DataNum, 0u);
      EXPECT_EQ(h.EntryTable()[0].Value, 0u);
    }
  }
  // A size beyond the stream reads only what is there.
  TIETagsHandler h;
  TMemoryStream s;
  const auto fuji = FujiNote();
  s.WriteBuffer(fuji.data(), static_cast<int32_t>(fuji.size()));
  s.SetPosition(0);
  h.ReadFromStream(s, 0x7FFFFFFF, true);
  EXPECT_EQ(h.RawSize(), static_cast<int32_t>(fuji.size()));
  EXPECT_EQ(h.EntryCount(), 2);
}

TEST(TagsHandler, WriteRefusesNotesAbove65000Bytes) {
  TIETagsHandler h;
  ByteBuilder b(false);
  b.U16(1).U16(1).U16(7).U32(70000).U32(14);
  b.Zeros(70000);
  h.EntryStream().WriteBuffer(b.Data(), static_cast<int32_t>(b.Size()));
  h.UpdateEntryTable();
  ASSERT_EQ(h.EntryCount(), 1);
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  EXPECT_EQ(h.WriteToStream(s), 0);
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(s.Size(), 3);
}

}  // namespace
