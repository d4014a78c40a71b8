// The shipped CMYK profile's bytes (zlib), generated into the build tree from cmyk_profile.icc.z.
#include <cstdint>

#include "platform/color/cmyk_profile.h"

namespace {
const uint8_t kCompressed[] = {
#include "cmyk_profile_data.inc"
};
}  // namespace

const uint8_t* CMYKProfileCompressed() { return kCompressed; }
int64_t CMYKProfileCompressedSize() { return static_cast<int64_t>(sizeof kCompressed); }
int64_t CMYKProfileSize() { return 168096; }
