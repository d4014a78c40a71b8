#include "imaging/core/ie_byte_reader.h"

#include <gtest/gtest.h>

#include "platform/system/streams.h"

namespace {

const uint8_t kBytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};

TEST(ByteReader, ReadsBothByteOrdersOverMemoryAndStream) {
  TMemoryStream stream;
  stream.WriteBuffer(kBytes, sizeof kBytes);
  stream.SetPosition(0);
  TIEByteReader mem(kBytes, sizeof kBytes);
  TIEByteReader str(stream);
  for (TIEByteReader* r : {&mem, &str}) {
    EXPECT_EQ(r->U16(), 0x0201);
    r->SetBigEndian(true);
    EXPECT_EQ(r->U32(), 0x03040506u);
    EXPECT_EQ(r->Position(), 6);
    EXPECT_EQ(r->Remaining(), 3);
    EXPECT_TRUE(r->Matches("\x07\x08", 2));
    EXPECT_FALSE(r->Failed());
  }
}

TEST(ByteReader, ShortDataFailsWithoutMovingOrReadingOutside) {
  TMemoryStream stream;
  stream.WriteBuffer(kBytes, sizeof kBytes);
  stream.SetPosition(7);
  TIEByteReader mem(kBytes, sizeof kBytes);
  mem.Seek(7);
  TIEByteReader str(stream);
  for (TIEByteReader* r : {&mem, &str}) {
    EXPECT_EQ(r->U32(), 0u);
    EXPECT_TRUE(r->Failed());
    EXPECT_EQ(r->Position(), 7);
    r->ClearFailed();
    EXPECT_EQ(r->U16(), 0x0908);
    std::vector<uint8_t> out;
    EXPECT_FALSE(r->ReadBytes(int64_t(1) << 40, out));  // refused before allocating
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(r->Seek(10));
    EXPECT_FALSE(r->Seek(-1));
    EXPECT_FALSE(r->Skip(1));
  }
  EXPECT_FALSE(TIEByteReader::RangeInside(INT64_MAX - 1, 10, 100));
  EXPECT_FALSE(TIEByteReader::RangeInside(-1, 1, 100));
  EXPECT_TRUE(TIEByteReader::RangeInside(100, 0, 100));
  EXPECT_FALSE(TIEByteReader::RangeInside(90, 11, 100));
}

}  // namespace
