// The control library's start-up and shut-down around the whole test run, as the program does
// around its message loop.
#include <gtest/gtest.h>

#include "controls/controls_startup.h"

namespace {

class ControlsEnvironment : public testing::Environment {
 public:
  void SetUp() override { InitializeControls(); }
  void TearDown() override { FinalizeControls(); }
};

testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new ControlsEnvironment);

}  // namespace
