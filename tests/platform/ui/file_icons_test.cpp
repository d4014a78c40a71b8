#include "platform/ui/file_icons.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/test_support.h"

namespace {

int Alpha(const TShellIconPixels& p, int x, int y) { return static_cast<int>(p[static_cast<size_t>(y * 32 + x)] >> 24); }

TEST(FileIcons, TheBuiltInIconIsAPageOnATransparentGround) {
  const TShellIconPixels p = BuiltInFileIcon();
  EXPECT_EQ(Alpha(p, 0, 0), 0);
  EXPECT_EQ(Alpha(p, 31, 31), 0);
  EXPECT_EQ(Alpha(p, 25, 2), 0);  // the folded corner
  EXPECT_EQ(p[16 * 32 + 15], 0xFFFFFFFFu);  // paper
  EXPECT_EQ(p[16 * 32 + 6], 0xFF606060u);   // outline
}

TEST(FileIcons, EveryFileHasAnIconAndOtherThreadsGetTheBuiltInOne) {
  testsupport::ScratchDir dir;
  for (const std::string& name : {dir.File("nothing-here.txt"), dir.Path().string(), std::string("")}) {
    const TShellIconPixels p = ShellFileIcon(name);
    int opaque = 0;
    for (const uint32_t v : p) opaque += (v >> 24) == 255;
    EXPECT_GT(opaque, 64) << name;
  }
  TShellIconPixels fromThread{};
  std::thread([&] { fromThread = ShellFileIcon(dir.File("a.txt")); }).join();
  EXPECT_EQ(fromThread, BuiltInFileIcon());
}

}  // namespace
