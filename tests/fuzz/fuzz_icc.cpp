// ICC profile bytes from an image file: opened, texts read, one row converted to sRGB.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_icc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  TIEICC profile;
  profile.LoadFromBuffer(data, static_cast<int32_t>(size));
  if (profile.IsValid()) {
    TIEICC srgb;
    srgb.LoadSRGBProfile();
    const uint8_t row[12] = {0, 0, 0, 255, 255, 255, 10, 200, 30, 128, 128, 128};
    uint8_t out[16];
    profile.TransformRow(srgb, icrBGR, icrBGR, 0, 0, row, out, 4);
    profile.TransformRow(srgb, icrCMYKInv, icrBGR, 0, 0, row, out, 3);
  }
  return 0;
}
