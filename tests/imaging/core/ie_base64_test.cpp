#include "imaging/core/ie_base64.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_mem_stream.h"

namespace {

std::string Encode(const std::string& bytes, int32_t lineLength) {
  TIEMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  std::string text;
  Base64EncodeStreamToText(s, text, lineLength);
  return text;
}

TEST(Base64, GroupsPaddingAndLineEnds) {
  struct Case { std::string in; int32_t line; std::string out; };
  const Case cases[] = {
      {"", 76, ""},
      {"abc", 76, "YWJj\n"},
      {"a", 76, "YQ==\n"},
      {"abcd", 8, "YWJjZA==\n"},
      {"abcd", 4, "YWJj\nZA==\n"},
      {"abcdefghijkl", 10, "YWJjZGVmZ2hp\namts\n"},  // 10 / 4 = 2.5: a line ends after three groups
      {"abcdef", 0, "YWJj\nZGVm\n"},
      {"\xFF\xFE\xFD", 76, "//79\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Encode(c.in, c.line), c.out) << c.in << " " << c.line;
}

TEST(Base64, LongStreamsAreSplitAt76Characters) {
  std::string bytes(1000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  const std::string text = Encode(bytes, 76);
  size_t start = 0, lines = 0, chars = 0;
  for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
    EXPECT_LE(nl - start, 76u);
    chars += nl - start;
    start = nl + 1;
    ++lines;
  }
  EXPECT_EQ(start, text.size());
  EXPECT_EQ(chars, (1000u + 2) / 3 * 4);
  EXPECT_EQ(lines, (chars + 75) / 76);
}

TEST(TIEMemStream, ReadsAndSeeksButNeverWrites) {
  const char block[] = "hello";
  TIEMemStream s(block, 5);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 5);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(s.Seek(1, soBeginning), 1);
  EXPECT_EQ(s.Write("X", 1), 0);
  s.SetSize(100);
  EXPECT_EQ(s.Size(), 5);
  EXPECT_STREQ(block, "hello");
}

}  // namespace
