#include "imaging/core/ie_iptc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::vector<uint8_t> Save(const TIEIPTCInfoList& list, bool wrapper) {
  void* buffer = nullptr;
  int32_t length = -1;
  list.SaveToBuffer(buffer, length, wrapper);
  std::vector<uint8_t> out(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + length);
  std::free(buffer);
  return out;
}

bool Load(TIEIPTCInfoList& list, const std::vector<uint8_t>& block) {
  return list.LoadFromBuffer(block.data(), static_cast<int32_t>(block.size()));
}

std::string DataOf(const TIEIPTCInfoList& list, int32_t i) {
  return std::string(reinterpret_cast<const char*>(list.Data(i)), static_cast<size_t>(list.DataLength(i)));
}

TEST(IPTC, BlockSizesWithAndWithoutWrapper) {
  TIEIPTCInfoList list;
  list.AddData(2, 5, "abc", 3);
  const auto wrapped = Save(list, true);
  ASSERT_EQ(wrapped.size(), 34u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(wrapped.data()), 14), std::string("Photoshop 3.0\0", 14));
  EXPECT_EQ(std::vector<uint8_t>(wrapped.begin() + 14, wrapped.begin() + 26),
            (std::vector<uint8_t>{'8', 'B', 'I', 'M', 4, 4, 0, 0, 0, 0, 0, 8}));
  EXPECT_EQ(std::vector<uint8_t>(wrapped.begin() + 26, wrapped.end()),
            (std::vector<uint8_t>{0x1C, 2, 5, 0, 3, 'a', 'b', 'c'}));

  const auto plain = Save(list, false);
  EXPECT_EQ(plain, (std::vector<uint8_t>{0x1C, 2, 0, 0, 2, 0, 2, 0x1C, 2, 5, 0, 3, 'a', 'b', 'c', 0}));

  TIEIPTCInfoList empty;
  EXPECT_TRUE(Save(empty, true).empty());
}

TEST(IPTC, RoundTripWithExtendedDatasetAndVersionSkipped) {
  TIEIPTCInfoList list;
  list.AddData(2, 0, "\x00\x04", 2);  // record version: never written again
  list.AddData(2, 120, "caption", 7);
  std::string big(40000, 'q');
  big[39999] = 'z';
  list.AddData(2, 202, big.data(), 40000);
  list.AddData(2, 25, "", 0);  // empty: not written
  for (bool wrapper : {true, false}) {
    SCOPED_TRACE(wrapper);
    const auto block = Save(list, wrapper);
    EXPECT_EQ(block.size() % 2, 0u);
    TIEIPTCInfoList back;
    EXPECT_TRUE(back.Changed() == false);
    ASSERT_TRUE(Load(back, block));
    EXPECT_FALSE(back.Changed());
    const int first = wrapper ? 0 : 1;  // the plain block carries its own version dataset
    ASSERT_EQ(back.GetCount(), first + 2);
    if (!wrapper) {
      EXPECT_EQ(DataOf(back, 0), std::string("\x00\x02", 2));
    }
    EXPECT_EQ(back.DataSetNumber(first), 120);
    EXPECT_EQ(DataOf(back, first), "caption");
    EXPECT_EQ(back.RecordNumber(first + 1), 2);
    EXPECT_EQ(back.DataLength(first + 1), 40000);
    EXPECT_EQ(DataOf(back, first + 1), big);
  }
}

TEST(IPTC, TruncatedAndHostileBlocksStayInside) {
  TIEIPTCInfoList list;
  list.AddData(2, 5, "title", 5);
  list.AddData(2, 120, "a longer caption", 16);
  const auto block = Save(list, true);
  TIEIPTCInfoList back;
  // Cut in the middle of the second dataset: the first is kept.
  std::vector<uint8_t> cut(block.begin(), block.end() - 8);
  EXPECT_TRUE(Load(back, cut));
  EXPECT_EQ(back.GetCount(), 1);
  EXPECT_EQ(DataOf(back, 0), "title");

  const struct { const char* name; std::vector<uint8_t> bytes; } cases[] = {
      // extended form whose 4 length bytes run past the end
      {"extended length cut", {0x1C, 2, 5, 0x80, 0x04, 0x00, 0x00}},
      // extended length with the top bit set (negative as a signed value)
      {"huge extended length", {0x1C, 2, 5, 0x80, 0x04, 0x80, 0x00, 0x00, 0x00, 'x', 'y'}},
      {"extended length past the end", {0x1C, 2, 5, 0x80, 0x04, 0x7F, 0xFF, 0xFF, 0xFF, 'x', 'y'}},
      {"standard length past the end", {0x1C, 2, 5, 0x7F, 0xFF, 'x'}},
      {"only markers", {0x1C, 0x1C, 0x1C}},
      {"wrapper without resource", {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0, 0x1C, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(Load(back, c.bytes));
    EXPECT_EQ(back.GetCount(), 0);
  }
  EXPECT_FALSE(back.LoadFromBuffer(nullptr, 10));
  EXPECT_TRUE(back.Changed());  // an empty block leaves the flag set
}

TEST(IPTC, SkipsToTheDatasetsAfterTheResourceHeader) {
  // A wrapped block whose datasets follow a run of 0x1C bytes: the parse starts on the last of them.
  std::vector<uint8_t> block = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0,
                                '8', 'B', 'I', 'M', 4, 4, 0, 0, 0, 0, 0, 9, 0x1C, 0x1C, 2, 5, 0, 2, 'o', 'k'};
  TIEIPTCInfoList list;
  ASSERT_TRUE(Load(list, block));
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(DataOf(list, 0), "ok");
  TIEIPTCInfoList copy;
  copy.Assign(&list);
  EXPECT_TRUE(copy.Changed());
  EXPECT_EQ(DataOf(copy, 0), "ok");
}

}  // namespace
