#include "platform/media/ffmpeg_support.h"

#include <cstdarg>
#include <mutex>

#include "platform/system/debug_log.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace {

void LogLine(void* avcl, int level, const char* fmt, va_list vl);

void LogCallback(void* avcl, int level, const char* fmt, va_list vl) {
  if (level > AV_LOG_ERROR) return;
  try {
    LogLine(avcl, level, fmt, vl);
  } catch (...) {
    // Nothing raised here may cross the library.
  }
}

void LogLine(void* avcl, int level, const char* fmt, va_list vl) {
  char line[1024];
  int printPrefix = 1;
  va_list copy;
  va_copy(copy, vl);
  av_log_format_line2(avcl, level, fmt, copy, line, sizeof line, &printPrefix);
  va_end(copy);
  std::string text(line);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!text.empty()) OutputDebugString("FFmpeg: " + text);
}

}  // namespace

void InstallFFmpegLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(&LogCallback); });
}

std::string FFmpegErrorText(int Error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(Error, text, sizeof text);
  return text;
}
