#include <gtest/gtest.h>

#include "platform/system/exception.h"

namespace {

TEST(AssertionFailed, RaisesItsTextWithTheUnitAndLine) {
  try {
    AssertionFailed("Unpaired call", "SomeUnit", 42);
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Unpaired call (SomeUnit, line 42)");
  }
}

}  // namespace
