#include "platform/system/guid.h"

#include <gtest/gtest.h>

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
