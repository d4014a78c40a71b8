#pragma once
// The shared photo-like picture (bench_photo.h) as an ie24RGB bitmap held in memory.
#include <cstring>
#include <memory>

#include "bench/bench_photo.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"

inline std::unique_ptr<TIEBitmap> MakeBenchPhotoBitmap(int32_t W, int32_t H) {
  MinFileSizeOverride = -1;
  const std::vector<uint8_t> bytes = MakeBenchPhoto(W, H);
  auto b = std::make_unique<TIEBitmap>(W, H, ie24RGB);
  for (int32_t y = 0; y < H; ++y)
    std::memcpy(b->Row<uint8_t>(y), bytes.data() + static_cast<size_t>(y) * W * 3, static_cast<size_t>(W) * 3);
  return b;
}
