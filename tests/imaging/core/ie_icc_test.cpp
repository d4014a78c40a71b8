#include "imaging/core/ie_icc.h"

#include "imaging/core/ie_bitmap.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <random>

#include "imaging/core/ie_byte_reader.h"
#include "platform/color/color_management.h"
#include "platform/system/streams.h"
#include "tests/support/byte_builder.h"

namespace {

void Load(TIEICC& icc, TBuiltInProfile which) {
  const auto bytes = BuiltInProfileData(which);
  icc.LoadFromBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

std::vector<uint8_t> RandomRow(size_t bytes, uint32_t seed = 11) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> row(bytes);
  for (auto& b : row) b = static_cast<uint8_t>(gen());
  return row;
}

// lcms2's own 8-bit result for the same conversion.
std::vector<uint8_t> Reference(TBuiltInProfile from, cmsUInt32Number inFormat, TBuiltInProfile to,
                               cmsUInt32Number outFormat, const std::vector<uint8_t>& row, int count, int outBytes) {
  const auto a = BuiltInProfileData(from), b = BuiltInProfileData(to);
  cmsHPROFILE pa = cmsOpenProfileFromMem(a.data(), static_cast<cmsUInt32Number>(a.size()));
  cmsHPROFILE pb = cmsOpenProfileFromMem(b.data(), static_cast<cmsUInt32Number>(b.size()));
  cmsHTRANSFORM t = cmsCreateTransform(pa, inFormat, pb, outFormat, INTENT_PERCEPTUAL, 0);
  std::vector<uint8_t> out(static_cast<size_t>(count * outBytes));
  cmsDoTransform(t, row.data(), out.data(), static_cast<cmsUInt32Number>(count));
  cmsDeleteTransform(t);
  cmsCloseProfile(pa);
  cmsCloseProfile(pb);
  return out;
}

void ExpectWithin1(const std::vector<uint8_t>& got, const std::vector<uint8_t>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_LE(std::abs(int(got[i]) - int(expected[i])), 1) << "byte " << i;
}

TEST(ICC, RowsMatchLcmsAndTheSourceStaysUntouched) {
  TIEICC srgb, lab, gray, srgb2;
  Load(srgb, bipSRGB);
  Load(lab, bipLab);
  Load(gray, bipGray);
  Load(srgb2, bipSRGB);
  ASSERT_TRUE(srgb.IsValid());
  const int n = 500;
  const auto row = RandomRow(n * 3);
  const auto before = row;

  // The same profile on both sides gives the row back within rounding.
  std::vector<uint8_t> same(n * 3);
  ASSERT_TRUE(srgb.TransformRow(srgb2, icrBGR, icrBGR, 0, 0, row.data(), same.data(), n));
  ExpectWithin1(same, row);
  EXPECT_EQ(row, before);

  // To L*a*b*: L scaled to 0..255, a and b signed (lcms2's 8-bit Lab carries them offset by 128).
  std::vector<uint8_t> labRow(n * 3);
  ASSERT_TRUE(srgb.TransformRow(lab, icrBGR, icrCIELab, 0, 0, row.data(), labRow.data(), n));
  EXPECT_EQ(row, before);
  auto expected = Reference(bipSRGB, TYPE_BGR_8, bipLab, TYPE_Lab_8, row, n, 3);
  for (int i = 0; i < n; ++i) {
    labRow[i * 3 + 1] = static_cast<uint8_t>(static_cast<int8_t>(labRow[i * 3 + 1]) + 128);
    labRow[i * 3 + 2] = static_cast<uint8_t>(static_cast<int8_t>(labRow[i * 3 + 2]) + 128);
  }
  ExpectWithin1(labRow, expected);

  std::vector<uint8_t> grayRow(n);
  ASSERT_TRUE(srgb.TransformRow(gray, icrBGR, icrGray, 0, 0, row.data(), grayRow.data(), n));
  ExpectWithin1(grayRow, Reference(bipSRGB, TYPE_BGR_8, bipGray, TYPE_GRAY_8, row, n, 1));

  // 48-bit rows keep 16-bit precision.
  std::vector<uint8_t> rgb48(n * 6), back48(n * 6);
  ASSERT_TRUE(srgb.TransformRow(srgb2, icrBGR, icrRGB48, 0, 0, row.data(), rgb48.data(), n));
  EXPECT_NEAR(IEGetU16(rgb48.data(), false), row[2] * 257, 300);
  ASSERT_TRUE(srgb.TransformRow(srgb2, icrRGB48, icrRGB48BE, 0, 0, rgb48.data(), back48.data(), n));
  EXPECT_NEAR(IEGetU16(back48.data(), true), IEGetU16(rgb48.data(), false), 300);
}

TEST(ICC, TransformIsReusedUntilFormatsIntentOrFlagsChange) {
  TIEICC a, b;
  Load(a, bipSRGB);
  Load(b, bipSRGB);
  uint8_t px[3] = {10, 20, 30}, out[3];
  ASSERT_TRUE(a.TransformRow(b, icrBGR, icrBGR, 0, 0, px, out, 1));
  EXPECT_TRUE(a.HasTransform());
  EXPECT_FALSE(a.Applied());
  ASSERT_TRUE(a.TransformRow(b, icrBGR, icrBGR, 0, 0, px, out, 1));
  EXPECT_FALSE(a.Applied());  // the same transform
  ASSERT_TRUE(a.TransformRow(b, icrBGR, icrBGR, 1, 0, px, out, 1));
  EXPECT_TRUE(a.Applied());  // a new one replaced it
  a.FreeTransform();
  EXPECT_FALSE(a.HasTransform());
  a.Clear();
  EXPECT_FALSE(a.Applied());
}

TEST(ICC, FailuresLeaveTheDestinationAlone) {
  TIEICC srgb, none, junk;
  Load(srgb, bipSRGB);
  const uint8_t bytes[300] = {1, 2, 3};
  junk.LoadFromBuffer(bytes, sizeof bytes);
  EXPECT_FALSE(junk.IsValid());
  uint8_t px[4] = {1, 2, 3, 4}, out[4] = {9, 9, 9, 9};
  EXPECT_FALSE(srgb.TransformRow(none, icrBGR, icrBGR, 0, 0, px, out, 1));
  EXPECT_FALSE(srgb.TransformRow(junk, icrBGR, icrBGR, 0, 0, px, out, 1));
  TIEICC srgb2;
  Load(srgb2, bipSRGB);
  // CMYK pixels through two RGB profiles do not fit.
  EXPECT_FALSE(srgb.TransformRow(srgb2, icrCMYKInv, icrBGR, 0, 0, px, out, 1));
  EXPECT_FALSE(srgb.TransformRow(srgb2, 42, icrBGR, 0, 0, px, out, 1));
  EXPECT_EQ(out[0], 9);
}

TEST(ICC, SaveAssignAndSRGB) {
  TIEICC srgb;
  srgb.LoadSRGBProfile();
  ASSERT_TRUE(srgb.IsValid());
  EXPECT_NE(srgb.Description().find("sRGB"), std::string::npos) << srgb.Description();
  TMemoryStream s;
  srgb.SaveToStream(s, false);
  EXPECT_EQ(s.Size(), srgb.RawLength() + 4);
  TMemoryStream raw;
  srgb.SaveToStream(raw, true);
  EXPECT_EQ(raw.Size(), srgb.RawLength());
  TIEICC copy;
  copy.Assign(&srgb);
  EXPECT_TRUE(copy.IsValid());
  EXPECT_EQ(copy.RawLength(), srgb.RawLength());
  EXPECT_EQ(copy.Description(), srgb.Description());
}

// A v2 profile header followed by a tag table, built byte by byte.
std::vector<uint8_t> ProfileWithTags(const std::vector<std::tuple<std::string, uint32_t, uint32_t>>& tags,
                                     uint32_t declaredCount, size_t totalSize) {
  testsupport::ByteBuilder b(true);
  b.Zeros(128).U32(declaredCount);
  for (const auto& [sig, offset, size] : tags) b.Raw(sig).U32(offset).U32(size);
  b.Bytes().resize(std::max(totalSize, b.Size()), 0);
  return b.Bytes();
}

TEST(ICC, ProfileTextsAreReadOnlyInsideTheProfile) {
  // desc at 200 ("desc", reserved, count, text), cprt at 300 ("text", reserved, text).
  auto good = ProfileWithTags({{"desc", 200, 40}, {"cprt", 300, 30}}, 2, 400);
  std::memcpy(good.data() + 200 + 12, "My profile", 11);
  std::memcpy(good.data() + 300 + 8, "(c) nobody", 11);
  TIEICC icc;
  icc.LoadFromBuffer(good.data(), static_cast<int32_t>(good.size()));
  EXPECT_EQ(icc.Description(), "My profile");
  EXPECT_EQ(icc.Copyright(), "(c) nobody");

  // A text without terminator ends at its tag's end, not beyond the profile.
  auto open = ProfileWithTags({{"cprt", 380, 20}}, 1, 400);
  std::memset(open.data() + 380, 'x', 20);
  icc.LoadFromBuffer(open.data(), static_cast<int32_t>(open.size()));
  EXPECT_EQ(icc.Copyright(), std::string(12, 'x'));

  const struct { const char* name; std::vector<uint8_t> bytes; } cases[] = {
      {"128 bytes", std::vector<uint8_t>(128, 0)},
      {"tag table cut short", ProfileWithTags({{"desc", 150, 20}}, 900, 160)},
      {"offset past the end", ProfileWithTags({{"desc", 5000, 20}}, 1, 200)},
      {"offset plus size past the end", ProfileWithTags({{"desc", 190, 100}}, 1, 200)},
      {"huge count", ProfileWithTags({}, 0xFFFFFFFF, 200)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    icc.LoadFromBuffer(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(icc.Description(), "");
    EXPECT_EQ(icc.Copyright(), "");
  }
}

}  // namespace

namespace {

TEST(ICC, ConvertBitmapProducesPixelsInEveryFormatOrFails) {
  TIEICC srgb, srgb2, lab, gray;
  Load(srgb, bipSRGB);
  Load(srgb2, bipSRGB);
  Load(lab, bipLab);
  Load(gray, bipGray);
  auto make = [] {
    auto b = std::make_unique<TIEBitmap>(4, 3, ie24RGB);
    b->Fill(0x0080FF);  // TColor: red 255, green 128, blue 0
    b->SetAlpha(2, 2, 33);
    return b;
  };

  auto b = make();
  ASSERT_TRUE(srgb.ConvertBitmap(b.get(), ieRGB48, srgb2));
  EXPECT_EQ(b->PixelFormat(), ieRGB48);
  EXPECT_NEAR(b->GetPixel48(3, 2).r, 65535, 300);
  EXPECT_NEAR(b->GetPixel48(3, 2).g, 128 * 257, 600);
  EXPECT_NEAR(b->GetPixel48(3, 2).b, 0, 300);
  EXPECT_EQ(b->GetAlpha(2, 2), 33);  // the alpha channel stays
  EXPECT_FALSE(srgb.HasTransform());

  b = make();
  ASSERT_TRUE(srgb.ConvertBitmap(b.get(), ieCIELab, lab));
  EXPECT_EQ(b->PixelFormat(), ieCIELab);
  const auto* px = static_cast<const uint8_t*>(b->GetRow(1));
  EXPECT_NEAR(px[0], 67 * 255 / 100, 3);                 // L* of orange is about 67
  EXPECT_GT(static_cast<int8_t>(px[1]), 30);             // a* clearly positive
  EXPECT_GT(static_cast<int8_t>(px[2]), 50);             // b* clearly positive
  // ... and back to RGB through the Lab profile.
  TIEICC srgb3;
  Load(srgb3, bipSRGB);
  ASSERT_TRUE(lab.ConvertBitmap(b.get(), ie24RGB, srgb3));
  // (8-bit L*a*b* keeps whole units only.)
  EXPECT_NEAR(b->GetPixel24(0, 0).r, 255, 8);
  EXPECT_NEAR(b->GetPixel24(0, 0).g, 128, 8);
  EXPECT_NEAR(b->GetPixel24(0, 0).b, 0, 8);

  b = make();
  ASSERT_TRUE(srgb.ConvertBitmap(b.get(), ie8g, gray));
  EXPECT_EQ(b->PixelFormat(), ie8g);
  EXPECT_GT(b->GetPixel8(0, 0), 100);

  // Formats outside the table, or profiles that do not suit them, leave the bitmap as it was.
  b = make();
  EXPECT_FALSE(srgb.ConvertBitmap(b.get(), ie1g, srgb2));
  EXPECT_FALSE(srgb.ConvertBitmap(b.get(), ie8g, srgb2));  // an RGB profile cannot take grey
  EXPECT_EQ(b->PixelFormat(), ie24RGB);
  EXPECT_EQ(b->GetPixel24(1, 1).r, 255);
  TIEBitmap bw(8, 8, ie1g);
  EXPECT_FALSE(srgb.ConvertBitmap(&bw, ie24RGB, srgb2));
  EXPECT_EQ(bw.PixelFormat(), ie1g);
}

}  // namespace
