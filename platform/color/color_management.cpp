#include "platform/color/color_management.h"

#include <lcms2.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct ProfileHolder {
  explicit ProfileHolder(cmsHPROFILE h) : handle(h) {}
  ~ProfileHolder() { cmsCloseProfile(handle); }
  ProfileHolder(const ProfileHolder&) = delete;
  ProfileHolder& operator=(const ProfileHolder&) = delete;
  cmsHPROFILE handle;
};

// lcms2 formats for a COLOR record of four words.
cmsUInt32Number FormatOf(COLORTYPE type) {
  switch (type) {
    case COLOR_GRAY: return COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | EXTRA_SH(3) | BYTES_SH(2);
    case COLOR_RGB: return COLORSPACE_SH(PT_RGB) | CHANNELS_SH(3) | EXTRA_SH(1) | BYTES_SH(2);
    case COLOR_XYZ: return COLORSPACE_SH(PT_XYZ) | CHANNELS_SH(3) | EXTRA_SH(1) | BYTES_SH(2);
    case COLOR_Yxy: return COLORSPACE_SH(PT_Yxy) | CHANNELS_SH(3) | EXTRA_SH(1) | BYTES_SH(2);
    case COLOR_Lab: return COLORSPACE_SH(PT_Lab) | CHANNELS_SH(3) | EXTRA_SH(1) | BYTES_SH(2);
    case COLOR_3_CHANNEL: return CHANNELS_SH(3) | EXTRA_SH(1) | BYTES_SH(2);
    case COLOR_CMYK: return COLORSPACE_SH(PT_CMYK) | CHANNELS_SH(4) | BYTES_SH(2);
  }
  return 0;
}

void SilentErrors(cmsContext, cmsUInt32Number, const char*) {}

void InstallErrorHandler() {
  static std::once_flag once;
  std::call_once(once, [] { cmsSetLogErrorHandler(SilentErrors); });
}

}  // namespace

struct TColorProfileRec {
  std::shared_ptr<ProfileHolder> profile;
};

struct TColorTransformRec {
  std::vector<std::shared_ptr<ProfileHolder>> profiles;
  std::vector<cmsUInt32Number> intents;
  cmsUInt32Number flags = 0;
  // lcms2 binds a transform to its pixel formats: one per pair of colour types asked for.
  std::map<std::pair<int, int>, cmsHTRANSFORM> byTypes;
  std::mutex lock;
  ~TColorTransformRec() {
    for (auto& entry : byTypes)
      if (entry.second) cmsDeleteTransform(entry.second);
  }
};

HPROFILE OpenColorProfileFromMemory(const void* data, int64_t size) {
  InstallErrorHandler();
  if (!data || size <= 0 || size > UINT32_MAX) return nullptr;
  cmsHPROFILE h = cmsOpenProfileFromMem(data, static_cast<cmsUInt32Number>(size));
  if (!h) return nullptr;
  auto* rec = new TColorProfileRec;
  rec->profile = std::make_shared<ProfileHolder>(h);
  return rec;
}

bool CloseColorProfile(HPROFILE profile) {
  if (!profile) return false;
  delete profile;
  return true;
}

COLORTYPE GetColorProfileColorType(HPROFILE profile) {
  if (!profile) return static_cast<COLORTYPE>(0);
  switch (cmsGetColorSpace(profile->profile->handle)) {
    case cmsSigGrayData: return COLOR_GRAY;
    case cmsSigRgbData: return COLOR_RGB;
    case cmsSigXYZData: return COLOR_XYZ;
    case cmsSigYxyData: return COLOR_Yxy;
    case cmsSigLabData: return COLOR_Lab;
    case cmsSigCmykData: return COLOR_CMYK;
    default: return static_cast<COLORTYPE>(0);
  }
}

HCOLORTRANSFORM CreateMultiProfileTransform(const HPROFILE* profiles, int32_t profileCount,
                                            const uint32_t* intents, int32_t intentCount, uint32_t flags) {
  if (!profiles || profileCount < 1 || profileCount > 255) return nullptr;
  auto rec = std::make_unique<TColorTransformRec>();
  for (int32_t i = 0; i < profileCount; ++i) {
    if (!profiles[i]) return nullptr;
    rec->profiles.push_back(profiles[i]->profile);
    // One intent per step; the last given intent carries on.
    uint32_t intent = CM_INTENT_PERCEPTUAL;
    if (intents && intentCount > 0) intent = intents[std::min(i, intentCount - 1)];
    rec->intents.push_back(intent <= CM_INTENT_ABSOLUTE_COLORIMETRIC ? intent : CM_INTENT_PERCEPTUAL);
  }
  rec->flags = (flags & 0xFFFF) >= BEST_MODE ? cmsFLAGS_HIGHRESPRECALC : 0;
  return rec.release();
}

bool DeleteColorTransform(HCOLORTRANSFORM transform) {
  if (!transform) return false;
  delete transform;
  return true;
}

bool TranslateColors(HCOLORTRANSFORM transform, const COLOR* input, uint32_t count, COLORTYPE inputType,
                     COLOR* output, COLORTYPE outputType) {
  if (!transform || !input || !output) return false;
  const cmsUInt32Number inFormat = FormatOf(inputType), outFormat = FormatOf(outputType);
  if (!inFormat || !outFormat) return false;
  cmsHTRANSFORM xform;
  {
    std::lock_guard<std::mutex> guard(transform->lock);
    auto key = std::make_pair(static_cast<int>(inputType), static_cast<int>(outputType));
    auto it = transform->byTypes.find(key);
    if (it == transform->byTypes.end()) {
      std::vector<cmsHPROFILE> handles;
      for (auto& p : transform->profiles) handles.push_back(p->handle);
      std::vector<cmsBool> bpc(handles.size(), FALSE);
      std::vector<cmsFloat64Number> adaptation(handles.size(), 1.0);
      xform = cmsCreateExtendedTransform(nullptr, static_cast<cmsUInt32Number>(handles.size()), handles.data(),
                                         bpc.data(), transform->intents.data(), adaptation.data(), nullptr, 0,
                                         inFormat, outFormat, transform->flags);
      it = transform->byTypes.emplace(key, xform).first;
    }
    xform = it->second;
  }
  if (!xform) return false;
  if (count > 0) cmsDoTransform(xform, input, output, count);
  return true;
}

std::vector<uint8_t> BuiltInProfileData(TBuiltInProfile which) {
  InstallErrorHandler();
  cmsHPROFILE h = nullptr;
  switch (which) {
    case bipSRGB: h = cmsCreate_sRGBProfile(); break;
    case bipLab: h = cmsCreateLab4Profile(nullptr); break;
    case bipGray: {
      cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
      h = cmsCreateGrayProfile(cmsD50_xyY(), curve);
      cmsFreeToneCurve(curve);
      break;
    }
  }
  std::vector<uint8_t> bytes;
  if (!h) return bytes;
  cmsUInt32Number size = 0;
  if (cmsSaveProfileToMem(h, nullptr, &size) && size > 0) {
    bytes.resize(size);
    if (!cmsSaveProfileToMem(h, bytes.data(), &size)) bytes.clear();
  }
  cmsCloseProfile(h);
  return bytes;
}
