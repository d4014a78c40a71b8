#include "imaging/core/ie_trace_log.h"

#include <mutex>

#include "platform/system/debug_log.h"

std::string TraceLogFileName;

namespace {
std::mutex g_traceLock;  // I/O threads may log while the user-interface thread does
}  // namespace

void WriteDebugLog(const std::string& Message) {
  std::lock_guard<std::mutex> lock(g_traceLock);
  if (TraceLogFileName.empty()) return;
  AppendLogLine(TraceLogFileName, Message);
}
