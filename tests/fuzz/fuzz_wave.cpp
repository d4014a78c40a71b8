// The AVI file services' WAVE reader over a file in memory: the audio stream's header and format,
// and its blocks read across the data from start to end in pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/media/avi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  PAVIFILE file = nullptr;
  if (AVIFileOpenMemory(&file, data, size) != AVIERR_OK) return 0;
  PAVISTREAM stream = nullptr;
  if (AVIFileGetStream(file, &stream, streamtypeAUDIO, 0) == AVIERR_OK) {
    AVISTREAMINFOW info;
    AVIStreamInfo(stream, &info, sizeof info);
    int32_t formatSize = 0;
    std::vector<uint8_t> buffer;
    if (AVIStreamReadFormat(stream, 0, nullptr, &formatSize) == AVIERR_OK && formatSize > 0) {
      buffer.resize(static_cast<size_t>(formatSize));
      AVIStreamReadFormat(stream, 0, buffer.data(), &formatSize);
    }
    const int32_t length = AVIStreamLength(stream);
    // At most 64 reads of at most 64 KiB.
    const int32_t step = std::max(1, length / 64);
    buffer.resize(1 << 16);
    for (int32_t at = 0; at < length; at += step) {
      int32_t bytes = 0, samples = 0;
      AVIStreamRead(stream, at, step, buffer.data(), static_cast<int32_t>(buffer.size()), &bytes, &samples);
    }
    AVIStreamRelease(stream);
  }
  AVIFileRelease(file);
  return 0;
}
