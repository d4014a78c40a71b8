#include "platform/system/named_objects.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A name of this test process's own, so that test runs in parallel never meet.
std::string OwnName(const char* what) { return std::string("BrimvaleTest_") + what + "_" + std::to_string(getpid()); }

TEST(NamedMutex, OneHolderAtATimeAndTheNameIsShared) {
  const std::string name = OwnName("mutex");
  TNamedMutex::Unlink(name);
  int error = -1;
  auto a = TNamedMutex::Create(name, true, error);
  ASSERT_NE(a, nullptr) << error;
  EXPECT_EQ(error, 0);
  EXPECT_FALSE(a->AlreadyExisted());
  auto b = TNamedMutex::Create(name, true, error);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->AlreadyExisted());
  // a holds it (made here, initially owned); b, opened, does not, and must wait.
  EXPECT_EQ(b->Wait(0), WAIT_TIMEOUT);
  EXPECT_EQ(b->Wait(20), WAIT_TIMEOUT);
  EXPECT_FALSE(b->Release());
  EXPECT_TRUE(a->Release());
  EXPECT_EQ(b->Wait(INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(a->Wait(0), WAIT_TIMEOUT);
  b.reset();  // closing it lets go of what it held
  EXPECT_EQ(a->Wait(0), WAIT_OBJECT_0);
  EXPECT_TRUE(a->Release());
  EXPECT_TRUE(TNamedMutex::Unlink(name));
  EXPECT_FALSE(TNamedMutex::Unlink(name));
  auto c = TNamedMutex::Create(name, false, error);
  ASSERT_NE(c, nullptr);
  EXPECT_FALSE(c->AlreadyExisted());
  TNamedMutex::Unlink(name);
}

TEST(NamedObjects, NamesThePosixLayerCannotHoldAreRefused) {
  struct Case {
    std::string name;
    int error;
  } cases[] = {{"", EINVAL}, {"a/b", EINVAL}, {std::string(251, 'n'), ENAMETOOLONG}};
  for (const Case& c : cases) {
    int error = 0;
    EXPECT_EQ(TNamedMutex::Create(c.name, false, error), nullptr);
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(TSharedMemoryBlock::Create(c.name, 8, error), nullptr);
    EXPECT_EQ(error, c.error) << c.name;
  }
}

TEST(SharedMemoryBlock, CreatedOnceOpenedByNameAndSeenThroughEveryMapping) {
  const std::string name = OwnName("block");
  TSharedMemoryBlock::Unlink(name);
  int error = -1;
  EXPECT_EQ(TSharedMemoryBlock::Open(name, 8, true, error), nullptr);
  EXPECT_EQ(error, ENOENT);
  auto made = TSharedMemoryBlock::Create(name, 8, error);
  ASSERT_NE(made, nullptr) << error;
  EXPECT_FALSE(made->AlreadyExisted());
  EXPECT_EQ(made->Size(), 8u);
  EXPECT_EQ(std::memcmp(made->Address(), "\0\0\0\0\0\0\0\0", 8), 0);
  std::memcpy(made->Address(), "shared!", 8);
  auto again = TSharedMemoryBlock::Create(name, 8, error);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->AlreadyExisted());
  EXPECT_STREQ(static_cast<const char*>(again->Address()), "shared!");
  auto read = TSharedMemoryBlock::Open(name, 0, false, error);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Size(), 8u);
  std::memcpy(again->Address(), "changed", 8);
  EXPECT_STREQ(static_cast<const char*>(read->Address()), "changed");
  // More than the block holds is refused rather than mapped past its end.
  EXPECT_EQ(TSharedMemoryBlock::Open(name, 4096, false, error), nullptr);
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(TSharedMemoryBlock::Create(name, 4096, error), nullptr);
  EXPECT_EQ(error, EINVAL);
  EXPECT_TRUE(TSharedMemoryBlock::Unlink(name));
  // The mappings outlive the name.
  EXPECT_STREQ(static_cast<const char*>(made->Address()), "changed");
  EXPECT_EQ(TSharedMemoryBlock::Open(name, 8, true, error), nullptr);
  EXPECT_EQ(error, ENOENT);
}

}  // namespace
