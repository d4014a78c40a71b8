#include "platform/color/color_management.h"

#include <gtest/gtest.h>
#include <lcms2.h>

namespace {

struct Profile {
  explicit Profile(TBuiltInProfile which) : bytes(BuiltInProfileData(which)) {
    handle = OpenColorProfileFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  ~Profile() { CloseColorProfile(handle); }
  std::vector<uint8_t> bytes;
  HPROFILE handle;
};

HCOLORTRANSFORM Make(const Profile& a, const Profile& b) {
  const HPROFILE p[2] = {a.handle, b.handle};
  const uint32_t intents[1] = {CM_INTENT_PERCEPTUAL};
  return CreateMultiProfileTransform(p, 2, intents, 1, 0);
}

TEST(ColorManagement, BuiltInProfilesOpenWithTheirColourSpaces) {
  Profile srgb(bipSRGB), lab(bipLab), gray(bipGray);
  EXPECT_GT(srgb.bytes.size(), 128u);
  EXPECT_EQ(GetColorProfileColorType(srgb.handle), COLOR_RGB);
  EXPECT_EQ(GetColorProfileColorType(lab.handle), COLOR_Lab);
  EXPECT_EQ(GetColorProfileColorType(gray.handle), COLOR_GRAY);
  const uint8_t junk[200] = {1, 2, 3};
  EXPECT_EQ(OpenColorProfileFromMemory(junk, sizeof junk), nullptr);
  EXPECT_EQ(OpenColorProfileFromMemory(nullptr, 10), nullptr);
  EXPECT_FALSE(CloseColorProfile(nullptr));
}

TEST(ColorManagement, TranslatesColourRecordsLikeLcms) {
  Profile srgb(bipSRGB), lab(bipLab);
  HCOLORTRANSFORM t = Make(srgb, lab);
  ASSERT_NE(t, nullptr);
  const uint16_t rgb[][3] = {{65535, 65535, 65535}, {0, 0, 0}, {65535, 0, 0}, {1000, 30000, 50000}};
  COLOR in[4], out[4];
  for (int i = 0; i < 4; ++i) {
    in[i] = COLOR{{rgb[i][0], rgb[i][1], rgb[i][2], 0}};
    out[i].w[3] = 0xBEEF;  // the unused word is left alone
  }
  ASSERT_TRUE(TranslateColors(t, in, 4, COLOR_RGB, out, COLOR_Lab));

  cmsHPROFILE s = cmsOpenProfileFromMem(srgb.bytes.data(), static_cast<cmsUInt32Number>(srgb.bytes.size()));
  cmsHPROFILE l = cmsOpenProfileFromMem(lab.bytes.data(), static_cast<cmsUInt32Number>(lab.bytes.size()));
  cmsHTRANSFORM ref = cmsCreateTransform(s, TYPE_RGB_16, l, TYPE_Lab_16, CM_INTENT_PERCEPTUAL, 0);
  uint16_t expected[4][3];
  cmsDoTransform(ref, rgb, expected, 4);
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(out[i].w[k], expected[i][k]) << i << "," << k;
    EXPECT_EQ(out[i].w[3], 0xBEEF);
  }
  cmsDeleteTransform(ref);
  cmsCloseProfile(s);
  cmsCloseProfile(l);

  // Colour types that do not suit the profiles fail.
  EXPECT_FALSE(TranslateColors(t, in, 4, COLOR_CMYK, out, COLOR_Lab));
  EXPECT_FALSE(TranslateColors(t, in, 4, COLOR_RGB, out, COLOR_GRAY));
  EXPECT_TRUE(DeleteColorTransform(t));
}

TEST(ColorManagement, TransformOutlivesItsProfiles) {
  HCOLORTRANSFORM t;
  {
    Profile srgb(bipSRGB), gray(bipGray);
    t = Make(srgb, gray);
  }
  COLOR white{{65535, 65535, 65535, 0}}, out{};
  ASSERT_TRUE(TranslateColors(t, &white, 1, COLOR_RGB, &out, COLOR_GRAY));
  EXPECT_GE(out.w[0], 65000);
  DeleteColorTransform(t);
  EXPECT_EQ(CreateMultiProfileTransform(nullptr, 2, nullptr, 0, 0), nullptr);
}

}  // namespace
