#include "platform/system/latin1_text.h"

#include <gtest/gtest.h>

TEST(Latin1Text, EveryByteBecomesItsCharacterAndBack) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Latin1ToUtf8(all);
  // 127 one-byte characters and 128 two-byte ones.
  EXPECT_EQ(utf8.size(), 127u + 2u * 128u);
  EXPECT_EQ(Latin1ToUtf8("Caf\xe9"), "Caf\xc3\xa9");
  EXPECT_EQ(Latin1ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(Utf8ToLatin1(utf8), all);
}

TEST(Latin1Text, WhatLatin1CannotHoldBecomesAQuestionMark) {
  struct Case {
    const char* utf8;
    const char* latin1;
  } cases[] = {
      {"\xe2\x82\xac 5", "? 5"},             // euro sign
      {"\xf0\x9f\x98\x80!", "?!"},           // a four-byte character
      {"\xc3", "?"},                         // a sequence cut off at the end
      {"\xc3z", "?z"},                       // ... or by a plain character
      {"\x80\xbf", "??"},                    // stray continuation bytes
      {"\xff\xfe", "??"},                    // bytes no UTF-8 has
      {"\xc3\xbf\xc4\x80", "\xff?"},         // U+00FF fits, U+0100 does not
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToLatin1(c.utf8), c.latin1) << c.utf8;
}
