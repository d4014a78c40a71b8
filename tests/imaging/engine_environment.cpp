// The engine is started once for the whole test program through its entry points, as the program
// starts it, and stopped after the last test. No test starts it by hand.
#include <gtest/gtest.h>

#include "imaging/core/ie_startup.h"

namespace {

class EngineEnvironment : public testing::Environment {
 public:
  void SetUp() override { InitializeImagingUnits(); }
  void TearDown() override { FinalizeImagingUnits(); }
};

testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new EngineEnvironment);

}  // namespace
