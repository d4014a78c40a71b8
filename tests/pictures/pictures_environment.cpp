// The picture classes are started once for the test program, as the program starts them.
#include <gtest/gtest.h>

#include "pictures/pictures_startup.h"

namespace {

class PicturesEnvironment : public testing::Environment {
 public:
  void SetUp() override { InitializePictures(); }
  void TearDown() override { FinalizePictures(); }
};

const testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(new PicturesEnvironment);

}  // namespace
