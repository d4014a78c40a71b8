#pragma once
// ICC profiles for tests, made by lcms2: sRGB, and RGB profiles with the sRGB primaries and a plain
// gamma, whose pixels differ from sRGB's.
#include <lcms2.h>

#include <cstdint>
#include <vector>

namespace testsupport {

// The bytes of H (which is closed).
inline std::vector<uint8_t> ProfileBytes(cmsHPROFILE H) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(H, nullptr, &size);
  std::vector<uint8_t> bytes(size);
  cmsSaveProfileToMem(H, bytes.data(), &size);
  cmsCloseProfile(H);
  return bytes;
}

inline std::vector<uint8_t> SRGBProfileBytes() { return ProfileBytes(cmsCreate_sRGBProfile()); }

inline std::vector<uint8_t> GammaRGBProfileBytes(double Gamma) {
  cmsCIExyY white;
  cmsWhitePointFromTemp(&white, 6504);
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, Gamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE h = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  return ProfileBytes(h);
}

}  // namespace testsupport
