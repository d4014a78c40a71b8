#include "controls/controls_startup.h"

#include <gtest/gtest.h>

namespace {

TEST(ControlsStartup, RunsOnceAroundTheTestsAndCountsNestedCalls) {
  ASSERT_TRUE(ControlsInitialized());
  // A nested pair leaves the library started.
  InitializeControls();
  FinalizeControls();
  EXPECT_TRUE(ControlsInitialized());
}

}  // namespace
