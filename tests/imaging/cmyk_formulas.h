#pragma once
// While a CMYKFormulas lives, ieCMYK conversions use the fixed formulas: the I/O start-up (which an
// earlier test of the same program may have run) routes them through the built-in CMYK profile.
#include "imaging/core/ie_colorspace.h"

namespace testsupport {

class CMYKFormulas {
 public:
  CMYKFormulas() : toRGB_(CMYKToRGBProfileHook), toCMYK_(RGBToCMYKProfileHook) {
    CMYKToRGBProfileHook = nullptr;
    RGBToCMYKProfileHook = nullptr;
  }
  ~CMYKFormulas() {
    CMYKToRGBProfileHook = toRGB_;
    RGBToCMYKProfileHook = toCMYK_;
  }
  CMYKFormulas(const CMYKFormulas&) = delete;
  CMYKFormulas& operator=(const CMYKFormulas&) = delete;

 private:
  TIECMYKToRGBHook toRGB_;
  TIERGBToCMYKHook toCMYK_;
};

}  // namespace testsupport
