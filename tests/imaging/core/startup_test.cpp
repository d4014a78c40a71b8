#include "imaging/core/ie_startup.h"

#include <gtest/gtest.h>

TEST(EngineStartup, IsCountedAndReentrant) {
  IEInitialize();
  IEInitialize();
  IEFinalize();
  IEFinalize();
  IEFinalize();  // one too many does nothing
  SUCCEED();
}
