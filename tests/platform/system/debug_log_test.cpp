#include "platform/system/debug_log.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/system/exception.h"
#include "tests/support/test_support.h"

namespace {

TEST(DebugLog, LinesGoToTheNamedFile) {
  testsupport::ScratchDir scratch;
  const std::string log = scratch.File("trace.log");
  const std::string old = DebugLogFileName();
  SetDebugLogFileName(log);
  OutputDebugString("TIEBitmap.RenderToCanvas: begin");
  OutputDebugString("second");
  SetDebugLogFileName(scratch.File("missing/trace.log"));
  OutputDebugString("lost, without an exception");
  SetDebugLogFileName(old);

  std::ifstream in(log);
  std::string line;
  std::vector<std::string> messages;
  while (std::getline(in, line)) {
    std::vector<std::string> m;
    ASSERT_TRUE(testsupport::RegexMatch(line, R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} : (.*))", &m)) << line;
    messages.push_back(m[1]);
  }
  EXPECT_EQ(messages, (std::vector<std::string>{"TIEBitmap.RenderToCanvas: begin", "second"}));
}

TEST(DebugLog, AppendLogLineRaisesWhenTheFileCannotBeOpened) {
  testsupport::ScratchDir scratch;
  EXPECT_THROW(AppendLogLine(scratch.File("missing/x.log"), "m"), EInOutError);
}

}  // namespace
