// The AVI file services' reader over a file in memory: every stream's header and formats, samples
// at the start and the end, and the first frames of every video stream through the frame reader
// (uncompressed as stored, compressed through libavcodec). Small frames keep every input fast.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/media/avi_file.h"
#include "platform/media/media_settings.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetMediaPixelLimit(1 << 16);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  PAVIFILE file = nullptr;
  if (AVIFileOpenMemory(&file, data, size) != AVIERR_OK) return 0;
  std::vector<uint8_t> buffer;
  for (int32_t k = 0; k < 8; ++k) {
    PAVISTREAM stream = nullptr;
    if (AVIFileGetStream(file, &stream, 0, k) != AVIERR_OK) break;
    AVISTREAMINFOW info;
    AVIStreamInfo(stream, &info, sizeof info);
    const int32_t length = AVIStreamLength(stream);
    for (int32_t at : {0, length - 1}) {
      int32_t formatSize = 0;
      if (AVIStreamReadFormat(stream, at, nullptr, &formatSize) == AVIERR_OK && formatSize > 0) {
        buffer.resize(static_cast<size_t>(formatSize));
        AVIStreamReadFormat(stream, at, buffer.data(), &formatSize);
      }
    }
    for (int32_t start : {0, 1, length / 2, length - 2}) {
      int32_t bytes = 0, samples = 0;
      if (AVIStreamRead(stream, start, 4, nullptr, 0, &bytes, &samples) != AVIERR_OK) continue;
      buffer.resize(static_cast<size_t>(std::clamp(bytes, 1, 1 << 20)));
      AVIStreamRead(stream, start, 4, buffer.data(), static_cast<int32_t>(buffer.size()), &bytes, &samples);
    }
    if (info.fccType == streamtypeVIDEO) {
      if (PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr)) {
        for (int32_t n : {0, 1, 2, length - 1, 1}) {
          if (const auto* h = static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(frames, n))) {
            volatile uint8_t last = reinterpret_cast<const uint8_t*>(h)[39 + h->biSizeImage];
            (void)last;
          }
        }
        AVIStreamGetFrameClose(frames);
      }
    }
    AVIStreamRelease(stream);
  }
  AVIFileRelease(file);
  return 0;
}
