#include "platform/media/video_sample.h"

#include <cstdlib>
#include <new>

#include "platform/media/media_type.h"

TVideoSample::TVideoSample(int32_t Width, int32_t Height)
    : width_(Width), height_(Height), rowLength_(static_cast<int32_t>(DibRowLength24(Width))) {
  // Whole cache lines, so that the converter's vector stores may run past the last row's end.
  const size_t size = (static_cast<size_t>(rowLength_) * static_cast<size_t>(height_) + 64 + 63) & ~size_t{63};
  bits_ = static_cast<uint8_t*>(std::aligned_alloc(64, size));
  if (!bits_) throw std::bad_alloc();
}

TVideoSample::~TVideoSample() { std::free(bits_); }
