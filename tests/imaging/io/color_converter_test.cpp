#include "imaging/io/color_converter.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_colorspace.h"
#include "imaging/core/ie_icc.h"
#include "imaging/core/ie_zlib.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "platform/color/cmyk_profile.h"
#include "platform/color/color_management.h"
#include "tests/imaging/cmyk_formulas.h"
#include "tests/imaging/icc_test_profiles.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ShippedProfile() {
  void* out = nullptr;
  int32_t size = 0;
  ZDecompressBuffer(CMYKProfileCompressed(), static_cast<int32_t>(CMYKProfileCompressedSize()), out, size, 0);
  Bytes bytes(static_cast<uint8_t*>(out), static_cast<uint8_t*>(out) + size);
  std::free(out);
  return bytes;
}

uint32_t BigEndian32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 | b[at + 2] << 8 | b[at + 3];
}

// The profile route installed (as the I/O start-up leaves it) for one test, whatever the earlier
// tests of the program left.
class ProfileRoute : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallCMYKProfileHooks(true);
    CMYKProfileEnabled = true;
    ICCConversionEnabled = false;
  }
  void TearDown() override {
    CMYKProfileEnabled = true;
    ICCConversionEnabled = false;
  }
  testsupport::CMYKFormulas restore_;  // puts the hooks back as they were
};

// lcms2 on its own: CMYK bytes (255 minus the ink) through the built-in profile and sRGB as the
// converter hands them over, (255 - x) * 257 in and the high byte of each result out.
class DirectLcms {
 public:
  DirectLcms() {
    const Bytes cmyk = ShippedProfile();
    cmyk_ = cmsOpenProfileFromMem(cmyk.data(), static_cast<cmsUInt32Number>(cmyk.size()));
    srgb_ = cmsCreate_sRGBProfile();
    toRGB_ = cmsCreateTransform(cmyk_, TYPE_CMYK_16, srgb_, TYPE_RGB_16, INTENT_PERCEPTUAL, cmsFLAGS_HIGHRESPRECALC);
    toCMYK_ = cmsCreateTransform(srgb_, TYPE_RGB_16, cmyk_, TYPE_CMYK_16, INTENT_PERCEPTUAL, cmsFLAGS_HIGHRESPRECALC);
  }
  ~DirectLcms() {
    cmsDeleteTransform(toRGB_);
    cmsDeleteTransform(toCMYK_);
    cmsCloseProfile(cmyk_);
    cmsCloseProfile(srgb_);
  }
  TIERGB ToRGB(const uint8_t cmyk[4]) const {
    uint16_t in[4], out[3];
    for (int i = 0; i < 4; ++i) in[i] = static_cast<uint16_t>((255 - cmyk[i]) * 257);
    cmsDoTransform(toRGB_, in, out, 1);
    return CreateRGB(static_cast<uint8_t>(out[0] >> 8), static_cast<uint8_t>(out[1] >> 8), static_cast<uint8_t>(out[2] >> 8));
  }
  int32_t ToCMYK(TIERGB c) const {
    const uint16_t in[3] = {static_cast<uint16_t>(c.r * 257), static_cast<uint16_t>(c.g * 257),
                            static_cast<uint16_t>(c.b * 257)};
    uint16_t out[4];
    cmsDoTransform(toCMYK_, in, out, 1);
    return CreateCMYK(static_cast<uint8_t>(255 - (out[0] >> 8)), static_cast<uint8_t>(255 - (out[1] >> 8)),
                      static_cast<uint8_t>(255 - (out[2] >> 8)), static_cast<uint8_t>(255 - (out[3] >> 8)));
  }

 private:
  cmsHPROFILE cmyk_, srgb_;
  cmsHTRANSFORM toRGB_, toCMYK_;
};

Bytes Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (uint8_t& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

// ---------------------------------------------------------------------------- the built-in profile

TEST(BuiltInCMYKProfile, TheShippedCopyIsWhatTheInkModelBuilds) {
  const Bytes fresh = BuildCMYKProfile();
  if (const char* target = std::getenv("BRIMVALE_WRITE_CMYK_PROFILE")) {
    // Maintenance: writes the compressed profile for platform/color/cmyk_profile.icc.z.
    uLongf size = compressBound(fresh.size());
    Bytes z(size);
    ASSERT_EQ(compress2(z.data(), &size, fresh.data(), fresh.size(), 9), Z_OK);
    std::ofstream(target, std::ios::binary).write(reinterpret_cast<const char*>(z.data()), static_cast<std::streamsize>(size));
  }
  const Bytes shipped = ShippedProfile();
  ASSERT_EQ(static_cast<int64_t>(shipped.size()), CMYKProfileSize());
  EXPECT_TRUE(fresh == shipped) << "rebuild platform/color/cmyk_profile.icc.z (BRIMVALE_WRITE_CMYK_PROFILE)";
  // An ICC version 2 output profile for CMYK with an L*a*b* connection space and its eleven tags.
  ASSERT_GT(shipped.size(), 200u);
  EXPECT_EQ(BigEndian32(shipped, 0), shipped.size());
  EXPECT_EQ(shipped[8], 2);
  EXPECT_EQ(BigEndian32(shipped, 12), 0x70727472u);  // 'prtr'
  EXPECT_EQ(BigEndian32(shipped, 16), 0x434D594Bu);  // 'CMYK'
  EXPECT_EQ(BigEndian32(shipped, 20), 0x4C616220u);  // 'Lab '
  EXPECT_EQ(BigEndian32(shipped, 128), 11u);
}

TEST(BuiltInCMYKProfile, ColorimetricTablesFollowTheInkModel) {
  const Bytes bytes = ShippedProfile();
  cmsHPROFILE cmyk = cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
  cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
  cmsHTRANSFORM t = cmsCreateTransform(cmyk, TYPE_CMYK_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
  ASSERT_NE(t, nullptr);
  std::mt19937 rng(7);
  double worst = 0;
  for (int i = 0; i < 2000; ++i) {
    double ink[4], got[3], model[3];
    for (double& v : ink) v = (rng() % 1001) / 10.0;
    cmsDoTransform(t, ink, got, 1);
    CMYKInkModelLab(ink[0] / 100, ink[1] / 100, ink[2] / 100, ink[3] / 100, model);
    worst = std::max(worst, std::hypot(got[0] - model[0], got[1] - model[1], got[2] - model[2]));
  }
  EXPECT_LT(worst, 2.5);  // the table's interpolation error, in Delta E
  // Paper is the white of the connection space; the model's darkest ink is no deeper than L* 20.
  double paper[3], black[3];
  CMYKInkModelLab(0, 0, 0, 0, paper);
  CMYKInkModelLab(1, 1, 1, 1, black);
  EXPECT_NEAR(paper[0], 100, 1e-6);
  EXPECT_NEAR(paper[1], 0, 1e-6);
  EXPECT_GT(black[0], 5);
  EXPECT_LT(black[0], 20);
  cmsDeleteTransform(t);
  cmsCloseProfile(cmyk);
  cmsCloseProfile(lab);
}

// ------------------------------------------------------------------------------ the profile route

TEST_F(ProfileRoute, CMYKConversionsGoThroughTheProfileAsLcmsDoesThem) {
  ASSERT_TRUE(LoadDefaultCMYKProfile());
  const DirectLcms lcms;
  const Bytes cmyk = Noise(4 * 997, 3);
  Bytes bgr(3 * 997);
  CMYKRowToBGR(cmyk.data(), bgr.data(), 997);
  // lcms2 may pick another optimisation for records with a spare word: a step of one at most.
  auto near = [](const uint8_t* a, const uint8_t* b, int n) {
    for (int k = 0; k < n; ++k)
      if (std::abs(a[k] - b[k]) > 1) return false;
    return true;
  };
  for (int i = 0; i < 997; ++i) {
    const TIERGB want = lcms.ToRGB(&cmyk[4 * i]);
    ASSERT_TRUE(near(&bgr[3 * i], &want.b, 3)) << i;
    // The pixel form is the row form of one pixel.
    ASSERT_EQ(CMYKToRGB(CreateCMYK(cmyk[4 * i], cmyk[4 * i + 1], cmyk[4 * i + 2], cmyk[4 * i + 3])),
              (TIERGB{bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2]}));
  }
  Bytes back(4 * 997);
  BGRRowToCMYK(bgr.data(), back.data(), 997);
  for (int i = 0; i < 997; ++i) {
    const TIERGB c{bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2]};
    const int32_t want = lcms.ToCMYK(c);
    ASSERT_TRUE(near(&back[4 * i], reinterpret_cast<const uint8_t*>(&want), 4)) << i;
    int32_t packed;
    std::memcpy(&packed, &back[4 * i], 4);
    ASSERT_EQ(RGBToCMYK(c), packed);
  }
  // Paper stays white, all the ink (the perceptual tables' black) comes out black.
  EXPECT_EQ(CMYKToRGB(CreateCMYK(255, 255, 255, 255)), CreateRGB(255, 255, 255));
  const TIERGB black = CMYKToRGB(CreateCMYK(0, 0, 0, 0));
  EXPECT_LE(black.r + black.g + black.b, 6);
  EXPECT_EQ(RGBToCMYK(CreateRGB(255, 255, 255)), CreateCMYK(255, 255, 255, 255));
}

TEST_F(ProfileRoute, SwitchedOffTheFormulasApply) {
  CMYKProfileEnabled = false;
  EXPECT_EQ(RGBToCMYK(CreateRGB(0, 0, 0)), CreateCMYK(0, 0, 0, 1));
  EXPECT_EQ(CMYKToRGB(CreateCMYK(255, 127, 0, 100)), CreateRGB(100, 49, 0));
  TIEBitmap b(2, 1, ieCMYK);
  b.SetPixelCMYK(1, 0, CreateCMYK(255, 127, 0, 100));
  b.SetPixelFormat(ie24RGB);
  EXPECT_EQ(b.GetPixel24(1, 0), CreateRGB(100, 49, 0));
}

TEST_F(ProfileRoute, TwoThreadsConvertingAtOnceGetWhatOneGets) {
  const Bytes cmyk = Noise(4 * 4000, 11);
  const Bytes bgr = Noise(3 * 4000, 12);
  Bytes wantRGB(3 * 4000), wantCMYK(4 * 4000);
  CMYKRowToBGR(cmyk.data(), wantRGB.data(), 4000);
  BGRRowToCMYK(bgr.data(), wantCMYK.data(), 4000);
  FreeDefaultCMYKProfiles();  // both threads race to make them
  bool sameRGB = true, sameCMYK = true;
  std::thread a([&] {
    Bytes out(3 * 4000);
    for (int round = 0; round < 20; ++round) {
      for (int at = 0; at < 4000; at += 200) CMYKRowToBGR(&cmyk[4 * at], &out[3 * at], 200);
      sameRGB = sameRGB && out == wantRGB;
    }
  });
  std::thread b([&] {
    Bytes out(4 * 4000);
    for (int round = 0; round < 20; ++round) {
      for (int at = 0; at < 4000; at += 7) BGRRowToCMYK(&bgr[3 * at], &out[4 * at], std::min(7, 4000 - at));
      sameCMYK = sameCMYK && out == wantCMYK;
    }
  });
  a.join();
  b.join();
  EXPECT_TRUE(sameRGB);
  EXPECT_TRUE(sameCMYK);
}

TEST_F(ProfileRoute, TheIOStartUpInstallsTheConverterAndItsShutDownFreesTheProfiles) {
  InitializeZodazUrIO();
  EXPECT_EQ(DefaultColorConverter, &ConvertColorRow);
  EXPECT_NE(CMYKToRGBProfileHook, nullptr);
  EXPECT_FALSE(ICCConversionEnabled);
  EXPECT_TRUE(CMYKProfileEnabled);
  FinalizeZodazUrIO();
  EXPECT_EQ(CMYKToRGBProfileHook, nullptr);  // formulas after shut-down
  InitializeZodazUrIO();  // other tests find the unit started
  EXPECT_EQ(CMYKToRGB(CreateCMYK(255, 255, 255, 255)), CreateRGB(255, 255, 255));
}

// ---------------------------------------------------------------------------------- the converter

struct PairCase {
  int32_t from, to;
  Bytes source;
  Bytes expected;
};

TEST(ConvertColorRow, PairsByTheFormulas) {
  testsupport::CMYKFormulas formulas;
  const int32_t weights[3] = {GreyWeightRed, GreyWeightGreen, GreyWeightBlue};
  GreyWeightRed = 21;
  GreyWeightGreen = 71;
  GreyWeightBlue = 8;
  const PairCase cases[] = {
      {iecsRGB, iecsBGR, {10, 20, 30, 1, 2, 3}, {30, 20, 10, 3, 2, 1}},
      {iecsBGR, iecsBGR, {10, 20, 30, 1, 2, 3}, {10, 20, 30, 1, 2, 3}},
      // K = max(R, G, B) = 100; C = 100 * 255 / 100, M = 50 * 255 / 100, Y = 0.
      {iecsBGR, iecsCMYKInv, {0, 50, 100, 0, 0, 0}, {255, 127, 0, 100, 0, 0, 0, 1}},
      // (100 * 21 + 50 * 71 + 0 * 8) / 100 = 56; (30 * 21 + 20 * 71 + 10 * 8) / 100 = 21.
      {iecsBGR, iecsGray, {0, 50, 100, 10, 20, 30}, {56, 21}},
      // R = 255 * 100 / 255, G = 127 * 100 / 255, B = 0.
      {iecsCMYKInv, iecsBGR, {255, 127, 0, 100}, {0, 49, 100}},
      // Turned over first: 0, 128, 255, 155 -> R 0, G 128 * 155 / 255, B 255 * 155 / 255.
      {iecsCMYK, iecsBGR, {255, 127, 0, 100}, {155, 77, 0}},
      {iecsGray, iecsBGR, {0, 77, 255}, {0, 0, 0, 77, 77, 77, 255, 255, 255}},
      // The high byte of each sample: little-endian 0x1234 0x5678 0x9ABC; big-endian the first byte.
      {iecsRGB48, iecsBGR, {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}, {0x9A, 0x56, 0x12}},
      {iecsRGB48BE, iecsBGR, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, {0x9A, 0x56, 0x12}},
      // YCbCrToRGB: 100, 128, 130 -> R 102, G 98, B 100 (truncated).
      {iecsYCbCr, iecsBGR, {100, 128, 130}, {100, 98, 102}},
      // L*a*b* white and black.
      {iecsCIELab, iecsBGR, {255, 0, 0, 0, 0, 0}, {255, 255, 255, 0, 0, 0}},
      {iecsBGR, iecsCIELab, {255, 255, 255, 0, 0, 0}, {255, 0, 0, 0, 0, 0}},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
    Bytes source = c.source;
    const int32_t count = static_cast<int32_t>(c.expected.size()) / (c.to == iecsCMYKInv ? 4 : c.to == iecsGray ? 1 : 3);
    Bytes dest(c.expected.size() + 1, 0xEE);  // one byte more: nothing is written past the row
    ConvertColorRow(source.data(), c.from, dest.data(), c.to, count, nullptr);
    EXPECT_EQ(Bytes(dest.begin(), dest.end() - 1), c.expected);
    EXPECT_EQ(dest.back(), 0xEE);
  }
  GreyWeightRed = weights[0];
  GreyWeightGreen = weights[1];
  GreyWeightBlue = weights[2];
}

TEST(ConvertColorRow, LayoutThreeTurnsTheCallersRowOverAndOtherPairsLeaveTheDestination) {
  testsupport::CMYKFormulas formulas;
  Bytes source = {255, 127, 0, 100, 0, 0, 0, 0};
  Bytes dest(6);
  ConvertColorRow(source.data(), iecsCMYK, dest.data(), iecsBGR, 2, nullptr);
  EXPECT_EQ(source, (Bytes{0, 128, 255, 155, 255, 255, 255, 255}));
  EXPECT_EQ(Bytes(dest.begin() + 3, dest.end()), (Bytes{255, 255, 255}));  // no ink: white
  Bytes untouched(6, 0x5A);
  for (const auto& [from, to] : {std::pair<int32_t, int32_t>{iecsGray, iecsRGB}, {iecsCMYKInv, iecsGray}, {9, 1}}) {
    Bytes s(8, 1);
    ConvertColorRow(s.data(), from, untouched.data(), to, 2, nullptr);
    EXPECT_EQ(untouched, Bytes(6, 0x5A)) << from << " -> " << to;
  }
}

TEST(ConvertColorRow, TheFilesProfileOnlyWhenColourManagementIsOn) {
  const Bytes profile = testsupport::GammaRGBProfileBytes(1.8);
  TIOParamsVals params(nullptr);
  params.GetInputICCProfile()->LoadFromBuffer(profile.data(), static_cast<int32_t>(profile.size()));
  ASSERT_TRUE(params.InputICCProfile()->IsValid());
  Bytes source = {64, 128, 192};
  Bytes dest(3);

  ICCConversionEnabled = false;
  ConvertColorRow(source.data(), iecsRGB, dest.data(), iecsBGR, 1, &params);
  EXPECT_EQ(dest, (Bytes{192, 128, 64}));  // only the bytes reordered

  // On: as lcms2 converts from the file's profile to sRGB (perceptual, the high byte of 16 bits).
  ICCConversionEnabled = true;
  ConvertColorRow(source.data(), iecsRGB, dest.data(), iecsBGR, 1, &params);
  cmsHPROFILE file = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM t = cmsCreateTransform(file, TYPE_RGB_16, srgb, TYPE_RGB_16, INTENT_PERCEPTUAL, cmsFLAGS_HIGHRESPRECALC);
  const uint16_t in[3] = {64 * 257, 128 * 257, 192 * 257};
  uint16_t out[3];
  cmsDoTransform(t, in, out, 1);
  EXPECT_EQ(dest, (Bytes{static_cast<uint8_t>(out[2] >> 8), static_cast<uint8_t>(out[1] >> 8),
                         static_cast<uint8_t>(out[0] >> 8)}));
  EXPECT_NE(dest, (Bytes{192, 128, 64}));
  cmsDeleteTransform(t);
  cmsCloseProfile(file);
  cmsCloseProfile(srgb);

  // A profile already applied to the pixels is not applied again.
  params.InputICCProfile()->FreeTransform();
  ASSERT_TRUE(params.InputICCProfile()->Applied());
  ConvertColorRow(source.data(), iecsRGB, dest.data(), iecsBGR, 1, &params);
  EXPECT_EQ(dest, (Bytes{192, 128, 64}));
  ICCConversionEnabled = false;
}

}  // namespace
