#include "platform/system/processors.h"

#include <gtest/gtest.h>

namespace {

TEST(Processors, FeaturesOfTheProcessor) {
#if defined(__x86_64__)
  // Every x86-64 processor has MMX, SSE and SSE2.
  EXPECT_TRUE(CPUHasFeature(cfMMX));
  EXPECT_TRUE(CPUHasFeature(cfSSE));
  EXPECT_TRUE(CPUHasFeature(cfSSE2));
  // The AVX2 answer agrees with the compiler's own probe.
  EXPECT_EQ(CPUHasFeature(cfAVX2), __builtin_cpu_supports("avx2") != 0);
  EXPECT_EQ(CPUHasFeature(cfSSE41), __builtin_cpu_supports("sse4.1") != 0);
#else
  EXPECT_FALSE(CPUHasFeature(cfMMX));
#endif
}

}  // namespace
