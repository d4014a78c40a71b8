#pragma once
// ICC colour management, in the shape of the Windows colour-management interface: profiles opened
// from memory, multi-profile transforms, and colours translated as records of four 16-bit words.
// Built on lcms2; no lcms2 type leaves this layer.
#include <cstdint>
#include <vector>

struct TColorProfileRec;
struct TColorTransformRec;
using HPROFILE = TColorProfileRec*;
using HCOLORTRANSFORM = TColorTransformRec*;

// Colour types of TranslateColors (the Windows values).
enum COLORTYPE : int32_t {
  COLOR_GRAY = 1,       // word 0: grey
  COLOR_RGB = 2,        // words 0..2: red, green, blue
  COLOR_XYZ = 3,
  COLOR_Yxy = 4,
  COLOR_Lab = 5,        // words 0..2: L (0..65535 = 0..100), a and b (32896 = 0, 0..65535 = -128..127.996)
  COLOR_3_CHANNEL = 6,  // words 0..2: three plain channels of the profile's colour space
  COLOR_CMYK = 7,       // words 0..3: cyan, magenta, yellow, black ink (65535 = full ink)
};

// One colour: four 16-bit words, used as the colour type says; unused words are left alone.
struct COLOR {
  uint16_t w[4];
};

// Rendering intents and transform flags of CreateMultiProfileTransform.
constexpr uint32_t CM_INTENT_PERCEPTUAL = 0;
constexpr uint32_t CM_INTENT_RELATIVE_COLORIMETRIC = 1;
constexpr uint32_t CM_INTENT_SATURATION = 2;
constexpr uint32_t CM_INTENT_ABSOLUTE_COLORIMETRIC = 3;
constexpr uint32_t BEST_MODE = 3;
constexpr uint32_t USE_RELATIVE_COLORIMETRIC = 0x20000;

// Opens a profile from a copy of an ICC profile held in memory; nullptr when it is no valid profile.
HPROFILE OpenColorProfileFromMemory(const void* data, int64_t size);
bool CloseColorProfile(HPROFILE profile);
// The profile's colour space as a colour type (COLOR_RGB, COLOR_CMYK, COLOR_Lab, COLOR_GRAY, ...),
// 0 when unknown.
COLORTYPE GetColorProfileColorType(HPROFILE profile);

// A transform through the profiles in order (the first is the source). Intents beyond the first
// apply to the following steps. Profiles may be closed after it is made. nullptr on failure.
HCOLORTRANSFORM CreateMultiProfileTransform(const HPROFILE* profiles, int32_t profileCount,
                                            const uint32_t* intents, int32_t intentCount, uint32_t flags);
bool DeleteColorTransform(HCOLORTRANSFORM transform);
// Translates count colours; false when the colour types do not suit the transform's profiles.
bool TranslateColors(HCOLORTRANSFORM transform, const COLOR* input, uint32_t count, COLORTYPE inputType,
                     COLOR* output, COLORTYPE outputType);

// Profiles that come with the program, as ICC bytes: sRGB (the standard RGB profile), a
// CIE L*a*b* (D50) identity profile and a grey profile with the sRGB tone curve.
enum TBuiltInProfile { bipSRGB, bipLab, bipGray };
std::vector<uint8_t> BuiltInProfileData(TBuiltInProfile which);
