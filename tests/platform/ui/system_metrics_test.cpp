#include "platform/ui/system_metrics.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemMetrics, RemoteDisplays) {
  struct Case {
    const char* platform;
    const char* display;
    bool ssh;
    bool remote;
  } cases[] = {
      {"xcb", ":0", false, false},
      {"xcb", ":0.1", true, false},            // the local socket, even when reached over SSH
      {"xcb", "unix:0", false, false},
      {"xcb", "localhost:0", false, false},
      {"xcb", "localhost:10.0", true, true},   // a display forwarded over SSH
      {"xcb", "workstation:0", false, true},
      {"xcb", "thisbox:0", false, false},      // the machine's own name
      {"xcb", "/tmp/launch-x/org.xquartz:0", false, false},
      {"xcb", "", false, false},
      {"vnc", "", false, true},
      {"wayland", "", true, false},
      {"offscreen", ":0", false, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsRemoteDisplay(c.platform, c.display, "thisbox", c.ssh), c.remote) << c.platform << " " << c.display;
  // The tests run on the off-screen platform: a local display.
  EXPECT_EQ(GetSystemMetrics(SM_REMOTESESSION), 0);
}

}  // namespace
