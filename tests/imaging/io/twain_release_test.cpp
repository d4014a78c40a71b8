#include "imaging/io/twain_release.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "imaging/core/ie_trace_log.h"
#include "tests/support/test_support.h"

namespace {

// The messages of the trace log's lines (after "date time : ").
std::vector<std::string> TraceMessages(const std::string& file) {
  std::ifstream in(file);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find(" : ");
    out.push_back(at == std::string::npos ? line : line.substr(at + 3));
  }
  return out;
}

struct TraceTo {
  explicit TraceTo(const std::string& file) { TraceLogFileName = file; }
  ~TraceTo() { TraceLogFileName.clear(); }
};

}  // namespace

TEST(TWainRelease, FreeingAHeldSourceManagerTracesEachStepAndClearsTheRecord) {
  testsupport::ScratchDir dir;
  TIETWainSourceManager shared{7, 8, 9};
  {
    TraceTo trace(dir.File("trace.log"));
    IETW_FreeResources(shared);
  }
  EXPECT_EQ(shared.LibraryMarker, 0u);
  EXPECT_EQ(shared.Entry, 0u);
  EXPECT_EQ(shared.ProxyWindow, 0u);
  const std::vector<std::string> expected = {"DestroyProxyWindow", "  DestroyProxyWindow : destroyed",
                                             "IETW_UnloadSourceManager", "  IETW_UnloadSourceManager : Unload OK"};
  EXPECT_EQ(TraceMessages(dir.File("trace.log")), expected);
}

TEST(TWainRelease, NothingHeldNothingTracedAndUnforcedStepsKeepForLater) {
  testsupport::ScratchDir dir;
  TraceTo trace(dir.File("trace.log"));
  TIETWainSourceManager empty;
  IETW_FreeResources(empty);
  EXPECT_TRUE(TraceMessages(dir.File("trace.log")).empty());

  TIETWainSourceManager shared{7, 8, 9};
  TIETWainContext context;
  IETW_InitContext(context, shared);
  EXPECT_EQ(context.State, 2);
  EXPECT_EQ(context.AppId.ProtocolMinor, 9);
  EXPECT_EQ(context.AppId.ProductName, " ");
  EXPECT_FALSE(DestroyProxyWindow(context, false));
  EXPECT_EQ(shared.ProxyWindow, 9u);
  EXPECT_TRUE(IETW_UnloadSourceManager(context, false));
  EXPECT_EQ(shared.Entry, 0u);
  const std::vector<std::string> expected = {"DestroyProxyWindow", "  DestroyProxyWindow : not destroyed, for future uses",
                                             "IETW_UnloadSourceManager",
                                             "  IETW_UnloadSourceManager not Unloaded, for future uses"};
  EXPECT_EQ(TraceMessages(dir.File("trace.log")), expected);
}

TEST(TWainRelease, AnUnwritableTraceLogNeverRaises) {
  TraceTo trace("/nonexistent-folder/for/sure/trace.log");
  EXPECT_NO_THROW(IETW_WriteLog("line"));
  TIETWainSourceManager shared{1, 1, 1};
  EXPECT_NO_THROW(IETW_FreeResources(shared));
  EXPECT_EQ(shared.LibraryMarker, 0u);
}
