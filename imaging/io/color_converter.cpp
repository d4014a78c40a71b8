#include "imaging/io/color_converter.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "imaging/core/ie_colorspace.h"
#include "imaging/core/ie_convert_rows.h"
#include "imaging/core/ie_icc.h"
#include "imaging/core/ie_zlib.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/color/cmyk_profile.h"

namespace {

// The default profiles and the lock that guards them and every conversion through them.
std::mutex g_profileLock;
std::unique_ptr<TIEICC> g_cmykProfile;
std::unique_ptr<TIEICC> g_srgbProfile;

// LoadDefaultCMYKProfile's work; the caller holds the lock.
bool LoadProfilesLocked() {
  if (g_cmykProfile && g_cmykProfile->IsValid() && g_srgbProfile && g_srgbProfile->IsValid()) return true;
  g_cmykProfile.reset();
  g_srgbProfile.reset();
  void* inflated = nullptr;
  int32_t size = 0;
  try {
    ZDecompressBuffer(CMYKProfileCompressed(), static_cast<int32_t>(CMYKProfileCompressedSize()), inflated, size,
                      static_cast<int32_t>(CMYKProfileSize()));
  } catch (...) {
    return false;
  }
  auto cmyk = std::make_unique<TIEICC>();
  cmyk->LoadFromBuffer(inflated, size);
  std::free(inflated);
  if (!cmyk->IsValid()) return false;
  auto srgb = std::make_unique<TIEICC>();
  srgb->LoadSRGBProfile();
  if (!srgb->IsValid()) return false;
  // One dummy pixel each way makes the two transforms, which the profiles then keep.
  const uint8_t white[4] = {255, 255, 255, 255};
  uint8_t bgr[3], cmykPixel[4];
  if (!cmyk->TransformRow(*srgb, icrCMYKInv, icrBGR, 0, 0, white, bgr, 1)) return false;
  if (!srgb->TransformRow(*cmyk, icrBGR, icrCMYKInv, 0, 0, bgr, cmykPixel, 1)) return false;
  g_cmykProfile = std::move(cmyk);
  g_srgbProfile = std::move(srgb);
  return true;
}

// The hooks of the core: Count pixels through the default profiles, under their lock.
bool ProfileCMYKToBGR(const uint8_t* CMYK, uint8_t* BGR, int32_t Count) {
  if (!CMYKProfileEnabled) return false;
  std::lock_guard<std::mutex> lock(g_profileLock);
  return LoadProfilesLocked() && g_cmykProfile->TransformRow(*g_srgbProfile, icrCMYKInv, icrBGR, 0, 0, CMYK, BGR, Count);
}

bool ProfileBGRToCMYK(const uint8_t* BGR, uint8_t* CMYK, int32_t Count) {
  if (!CMYKProfileEnabled) return false;
  std::lock_guard<std::mutex> lock(g_profileLock);
  return LoadProfilesLocked() && g_srgbProfile->TransformRow(*g_cmykProfile, icrBGR, icrCMYKInv, 0, 0, BGR, CMYK, Count);
}

void Invert(uint8_t* bytes, int64_t count) {
  for (int64_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
}

// The row layout of TIEICC::TransformRow for a converter code (-1: none).
int32_t ICCRowFormat(int32_t code) {
  switch (code) {
    case iecsRGB: return icrRGB;
    case iecsBGR: return icrBGR;
    case iecsCMYKInv: return icrCMYKInv;
    case iecsCIELab: return icrCIELab;
    case iecsGray: return icrGray;
    case iecsRGB48: return icrRGB48;
    case iecsRGB48BE: return icrRGB48BE;
    case iecsYCbCr: return icr3Channel;
    default: return -1;
  }
}

// The file's profile route: true when it converted the row.
bool ConvertThroughProfile(void* Source, int32_t SourceSpace, void* Dest, int32_t DestSpace, int32_t Count,
                           TIOParamsVals& Params) {
  TIEICC* source = Params.InputICCProfile();
  if (Params.DefaultICCProfile() && !(source && source->IsValid())) source = Params.DefaultICCProfile();
  if (!source || !source->IsValid() || source->Applied()) return false;
  TIEICC* output = Params.GetOutputICCProfile();
  if (!output || !output->IsValid()) return false;
  // Layout 3 is inverted CMYK once its bytes are turned over (in the caller's row, as on the other
  // route); the profile then reads it as layout 2.
  if (SourceSpace == iecsCMYK) {
    Invert(static_cast<uint8_t*>(Source), 4 * static_cast<int64_t>(Count));
    SourceSpace = iecsCMYKInv;
  }
  const int32_t in = ICCRowFormat(SourceSpace), out = ICCRowFormat(DestSpace);
  if (in < 0 || out < 0) return false;
  return source->TransformRow(*output, in, out, 0, 0, Source, Dest, Count);
}

void ConvertRow(TIEPixelFormat from, TIEPixelFormat to, const void* source, void* dest, int32_t count) {
  TIERowConverter converter(from, to);
  converter.Convert(source, dest, count);
}

}  // namespace

bool LoadDefaultCMYKProfile() {
  std::lock_guard<std::mutex> lock(g_profileLock);
  return LoadProfilesLocked();
}

void FreeDefaultCMYKProfiles() {
  std::lock_guard<std::mutex> lock(g_profileLock);
  g_cmykProfile.reset();
  g_srgbProfile.reset();
}

void InstallCMYKProfileHooks(bool Install) {
  CMYKToRGBProfileHook = Install ? ProfileCMYKToBGR : nullptr;
  RGBToCMYKProfileHook = Install ? ProfileBGRToCMYK : nullptr;
}

void ConvertColorRow(void* Source, int32_t SourceSpace, void* Dest, int32_t DestSpace, int32_t Count,
                     TIOParamsVals* Params) {
  if (!Source || !Dest || Count <= 0) return;
  if (Params && ICCConversionEnabled && ConvertThroughProfile(Source, SourceSpace, Dest, DestSpace, Count, *Params))
    return;
  auto* s = static_cast<uint8_t*>(Source);
  auto* d = static_cast<uint8_t*>(Dest);
  if (DestSpace == iecsBGR) {
    switch (SourceSpace) {
      case iecsRGB: CopySwapRB(d, s, Count); return;
      case iecsBGR: std::memmove(d, s, 3 * static_cast<size_t>(Count)); return;
      case iecsCMYK:
        // The caller's row is turned over in place, as the converter always did.
        Invert(s, 4 * static_cast<int64_t>(Count));
        CMYKRowToBGR(s, d, Count);
        return;
      case iecsCMYKInv: CMYKRowToBGR(s, d, Count); return;
      case iecsCIELab: ConvertRow(ieCIELab, ie24RGB, s, d, Count); return;
      case iecsGray: ConvertRow(ie8g, ie24RGB, s, d, Count); return;
      case iecsRGB48: ConvertRow(ieRGB48, ie24RGB, s, d, Count); return;
      case iecsRGB48BE:
        for (int32_t i = 0; i < Count; ++i, s += 6, d += 3) {
          d[0] = s[4];
          d[1] = s[2];
          d[2] = s[0];
        }
        return;
      case iecsYCbCr:
        for (int32_t i = 0; i < Count; ++i, s += 3, d += 3) {
          const TIERGB c = YCbCrToRGB(s[0], s[1], s[2]);
          d[0] = c.b;
          d[1] = c.g;
          d[2] = c.r;
        }
        return;
      default: return;
    }
  }
  if (SourceSpace != iecsBGR) return;
  switch (DestSpace) {
    case iecsCMYKInv: BGRRowToCMYK(s, d, Count); return;
    case iecsCIELab: ConvertRow(ie24RGB, ieCIELab, s, d, Count); return;
    case iecsGray: ConvertRow(ie24RGB, ie8g, s, d, Count); return;
    default: return;
  }
}
