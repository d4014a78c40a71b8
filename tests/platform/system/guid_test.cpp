#include "platform/system/guid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

// {8E6579C3-D683-4562-AFAB-D23C8526E386}
constexpr TGUID kMarker = {0x8E6579C3, 0xD683, 0x4562, {0xAF, 0xAB, 0xD2, 0x3C, 0x85, 0x26, 0xE3, 0x86}};

TEST(Guid, EqualOnlyWhenEveryPartAgrees) {
  TGUID same = kMarker;
  EXPECT_TRUE(SameGuid(kMarker, same));
  // A difference in any one part, the last byte included, tells them apart.
  for (int part = 0; part < 11; ++part) {
    TGUID other = kMarker;
    if (part == 0) other.D1 ^= 0x80000000u;
    else if (part == 1) other.D2 ^= 1;
    else if (part == 2) other.D3 ^= 0x100;
    else other.D4[part - 3] ^= 0x01;
    EXPECT_FALSE(SameGuid(kMarker, other)) << "part " << part;
  }
}

}  // namespace

namespace {

TEST(Guid, NewIdentifiersAreRandomVersionFourAndDistinct) {
  std::vector<TGUID> seen;
  for (int i = 0; i < 2000; ++i) {
    const TGUID g = CreateGUID();
    EXPECT_EQ(g.D3 >> 12, 4) << "version";
    EXPECT_EQ(g.D4[0] >> 6, 2) << "variant";
    for (const TGUID& s : seen) ASSERT_FALSE(SameGuid(g, s));
    seen.push_back(g);
  }
  // Every one of the 122 random bits takes both values over the run.
  uint8_t ones[16] = {}, zeros[16] = {};
  for (const TGUID& g : seen) {
    uint8_t b[16];
    std::memcpy(b, &g, 16);
    for (int i = 0; i < 16; ++i) {
      ones[i] |= b[i];
      zeros[i] |= static_cast<uint8_t>(~b[i]);
    }
  }
  for (int i = 0; i < 16; ++i) {
    const uint8_t fixed = i == 7 ? 0xF0 : i == 8 ? 0xC0 : 0;  // D3's high nibble, D4[0]'s top bits
    EXPECT_EQ(ones[i] | fixed, 0xFF) << "byte " << i;
    EXPECT_EQ(zeros[i] | fixed, 0xFF) << "byte " << i;
  }
}

TEST(Guid, ThreadsDrawDifferentIdentifiers) {
  TGUID a{}, b{};
  std::thread t1([&] { a = CreateGUID(); });
  std::thread t2([&] { b = CreateGUID(); });
  t1.join();
  t2.join();
  EXPECT_FALSE(SameGuid(a, b));
}

}  // namespace
