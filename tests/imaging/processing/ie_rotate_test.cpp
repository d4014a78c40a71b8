// Rotation by any angle: the three shears, the nearest mappings and the inverse mapping with
// bilinear and bicubic samples.
#include "imaging/processing/ie_rotate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "imaging/processing/ie_flip_turn.h"
#include "imaging/processing/ie_resample_rows.h"
#include "imaging/processing/ie_rotate_avx2.h"
#include "tests/imaging/processing/geometry_test_support.h"

namespace {

using geomtest::Patterned;
using geomtest::PixelOf;
using geomtest::ThreadCount;

using RotateTest = BitmapTest;

std::unique_ptr<TIEBitmap> Flat(int32_t W, int32_t H, TIERGB Color) {
  auto b = std::make_unique<TIEBitmap>(W, H, ie24RGB);
  b->Fill(RGBToTColor(Color));
  return b;
}

std::unique_ptr<TIEBitmap> Copy(TIEBitmap& B) {
  auto c = std::make_unique<TIEBitmap>();
  c->Assign(B);
  return c;
}

TEST_F(RotateTest, AngleIsMultipleOf90) {
  struct Case {
    double angle;
    bool multiple;
  };
  for (const Case& c : {Case{0, true}, Case{90, true}, Case{-270, true}, Case{450, true}, Case{45, false},
                        Case{90.5, false}, Case{30, false}, Case{std::numeric_limits<double>::quiet_NaN(), false},
                        Case{std::numeric_limits<double>::infinity(), false}})
    EXPECT_EQ(AngleIsMultipleOf90(c.angle), c.multiple) << c.angle;
}

TEST_F(RotateTest, ThreeShearsGiveThePlannedSizeAndKeepFlatAreas) {
  // 100 x 50 at 30 degrees: T = tan 15 = 0.26795, S = 0.5; m = Round(50 T + 101) = 114,
  // h = Round(14 S) = 7, o = Round(114 S + 51) = 108, t = Round(51 T) = Round(13.67) = 14,
  // o' = 108 - 14 = 94, width = Round(94 T + 115 - 28) = Round(112.19) = 112.
  const TIERGB grey = CreateRGB(101, 101, 101), red = CreateRGB(255, 0, 0);
  for (bool antiAlias : {true, false}) {
    auto b = Flat(100, 50, grey);
    b->GetAlphaChannel()->Fill(255);
    ASSERT_TRUE(RotateBitmap(*b, antiAlias, nullptr, 30, nullptr, red));
    ASSERT_EQ(b->Width(), 112);
    ASSERT_EQ(b->Height(), 94);
    // The corners show the background and are transparent; the middle keeps the colour exactly
    // (an odd level stays odd: blends of equal pixels round once).
    EXPECT_TRUE(b->GetPixel24(0, 0) == red);
    EXPECT_TRUE(b->GetPixel24(111, 93) == red);
    EXPECT_EQ(b->GetAlpha(0, 0), 0);
    for (int32_t y = 40; y < 55; ++y)
      for (int32_t x = 45; x < 65; ++x) {
        ASSERT_TRUE(b->GetPixel24(x, y) == grey) << x << "," << y;
        ASSERT_EQ(b->GetAlpha(x, y), 255);
      }
  }
}

// The three shears as their steps are written, one plain loop per pass over whole buffers: pass 1
// moves each row right into an m x H buffer, pass 2 each column of it down into an m x o' buffer,
// pass 3 each row of that right into the result; antialiased pixels blend with the pixel that
// landed before them (the background first), rows and columns that land outside are skipped.
// Angles within -45..45 (no quarter turns); N bytes per pixel.
std::vector<uint8_t> WrittenShears(const std::vector<uint8_t>& Src, int32_t W, int32_t H, int N, double Degrees,
                                   bool AntiAlias, const uint8_t* Bg, int32_t& OutW, int32_t& OutH) {
  const auto round = [](double x) { return static_cast<int32_t>(std::nearbyint(x)); };
  const auto blend = [](int p, int q, int a) { return static_cast<uint8_t>(std::clamp((p * a + q * (4096 - a) + 2048) >> 12, 0, 255)); };
  const double theta = Degrees * 3.14159265358979323846 / 180;
  const bool positive = theta > 0;
  const double T = std::fabs(std::sin(theta / 2) / std::cos(theta / 2)), S = std::fabs(std::sin(theta));
  const int32_t m = round(H * T + W + 1), h = round((m - W) * S), o = round(S * m + H + 1);
  const int32_t t = round(T * (o - H - h)), o2 = o - 2 * h, fw = round(T * o2 + m + 1 - 2 * t);
  // One line of Count pixels (Step bytes apart) moved by Offset into Length pixels of Dst.
  const auto line = [&](const uint8_t* Line, int64_t LineStep, int32_t Count, uint8_t* Dst, int64_t DstStep,
                        int32_t Length, int32_t Offset, int32_t A) {
    for (int32_t i = 0; i < Length; ++i) std::copy(Bg, Bg + N, Dst + i * DstStep);
    const uint8_t* prev = Bg;
    for (int32_t k = 0; k < Count; ++k) {
      const int32_t at = Offset + k;
      if (at < 0 || at >= Length) continue;
      const uint8_t* s = Line + k * LineStep;
      for (int c = 0; c < N; ++c) Dst[at * DstStep + c] = AntiAlias ? blend(prev[c], s[c], A) : s[c];
      prev = s;
    }
    const int32_t trailing = Offset + Count;
    if (AntiAlias && A > 0 && trailing >= 0 && trailing < Length)
      for (int c = 0; c < N; ++c) Dst[trailing * DstStep + c] = blend(prev[c], Bg[c], A);
  };
  std::vector<uint8_t> one(static_cast<size_t>(m) * H * N), two(static_cast<size_t>(m) * o2 * N),
      out(static_cast<size_t>(fw) * o2 * N);
  for (int32_t D = 0; D < H; ++D) {
    const double F = (positive ? D : H - D) * T;
    const int32_t n = round(F);
    line(&Src[size_t(D) * W * N], N, W, &one[size_t(D) * m * N], N, m, n, static_cast<int32_t>(std::trunc((F - n) * 4096)));
  }
  for (int32_t E = 0; E < m; ++E) {
    const double F = (positive ? m - E : E) * S;
    const int32_t n = round(F);
    line(&one[size_t(E) * N], int64_t{m} * N, H, &two[size_t(E) * N], int64_t{m} * N, o2, n - h, round((F - n) * 4096));
  }
  for (int32_t R = 0; R < o2; ++R) {
    const double F = (positive ? R : o2 - R) * T;
    const int32_t n = round(F);
    line(&two[size_t(R) * m * N], N, m, &out[size_t(R) * fw * N], N, fw, n - t, round((F - n) * 4096));
  }
  OutW = fw;
  OutH = o2;
  return out;
}

TEST_F(RotateTest, ThreeShearsFollowTheirWrittenSteps) {
  const uint8_t bg[3] = {250, 5, 128};
  struct Case {
    int32_t w, h;
    double angle;
  };
  for (const Case& c : {Case{151, 103, 30}, Case{151, 103, -17.5}, Case{97, 160, 44.9}, Case{97, 160, -45},
                        Case{64, 40, 0.3}, Case{7, 3, 12.345}, Case{2, 50, -33}, Case{1, 1, 20}}) {
    for (const bool antiAlias : {true, false}) {
      for (const int n : {3, 1}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " at " << c.angle << (antiAlias ? " antialiased" : "")
                                        << ", bytes " << n);
        auto b = Patterned(c.w, c.h, n == 3 ? ie24RGB : ie8g, ieMemory, false);
        std::vector<uint8_t> src;
        for (int32_t y = 0; y < c.h; ++y) {
          const uint8_t* row = b->Row<uint8_t>(y);
          src.insert(src.end(), row, row + c.w * n);
        }
        int32_t w = 0, h = 0;
        const std::vector<uint8_t> expected = WrittenShears(src, c.w, c.h, n, c.angle, antiAlias, bg, w, h);
        if (n == 3)
          ASSERT_TRUE(RotateBitmap(*b, antiAlias, nullptr, c.angle, nullptr, CreateRGB(bg[2], bg[1], bg[0])));
        else
          ASSERT_TRUE(RotateBitmap8(*b, antiAlias, bg[0], c.angle, nullptr, nullptr));
        ASSERT_EQ(b->Width(), w);
        ASSERT_EQ(b->Height(), h);
        for (int32_t y = 0; y < h; ++y)
          ASSERT_TRUE(std::equal(expected.begin() + int64_t{y} * w * n, expected.begin() + int64_t{y + 1} * w * n,
                                 b->Row<uint8_t>(y)))
              << "row " << y;
      }
    }
  }
}

TEST_F(RotateTest, WholeTurnsAreExact) {
  auto source = Patterned(23, 14, ie24RGB, ieMemory, false);
  struct Case {
    double angle;
    int32_t quarters;
  };
  for (const Case& c : {Case{90, 1}, Case{-90, 3}, Case{180, 2}, Case{270, 3}, Case{-180, 2}, Case{360, 0}, Case{450, 1}}) {
    SCOPED_TRACE(c.angle);
    for (bool antiAlias : {true, false}) {
      auto b = Copy(*source);
      ASSERT_TRUE(RotateBitmap(*b, antiAlias, nullptr, c.angle, nullptr, CreateRGB(1, 2, 3)));
      std::unique_ptr<TIEBitmap> expected = TurnedCopy(*source, c.quarters);
      EXPECT_EQ(bmptest::Pixels(*b), bmptest::Pixels(*expected));
    }
  }
}

TEST_F(RotateTest, AnglesReduceToOneTurnAndQuarterTurns) {
  auto source = Patterned(31, 17, ie24RGB, ieMemory, false);
  const TIERGB bg = CreateRGB(9, 8, 7);
  // 400 is 40 after one reduction.
  auto a = Copy(*source), b = Copy(*source);
  RotateBitmap(*a, true, nullptr, 400, nullptr, bg);
  RotateBitmap(*b, true, nullptr, 40, nullptr, bg);
  EXPECT_EQ(bmptest::Pixels(*a), bmptest::Pixels(*b));
  // 300 is three counter-clockwise quarter turns, then a shear of 30.
  auto c = Copy(*source);
  RotateBitmap(*c, true, nullptr, 300, nullptr, bg);
  std::unique_ptr<TIEBitmap> turned = TurnedCopy(*source, 3);
  RotateBitmap(*turned, true, nullptr, 30, nullptr, bg);
  EXPECT_EQ(bmptest::Pixels(*c), bmptest::Pixels(*turned));
}

TEST_F(RotateTest, ThreadsGiveTheSameResult) {
  auto source = Patterned(301, 257, ie24RGB, ieMemory, false);
  const TIERGB bg = CreateRGB(0, 0, 255);
  auto run = [&](int32_t threads, auto&& rotate) {
    ThreadCount t(threads);
    auto b = Copy(*source);
    rotate(*b);
    return bmptest::Pixels(*b);
  };
  auto shear = [&](TIEBitmap& b) { RotateBitmap(b, true, nullptr, -33.3, nullptr, bg); };
  auto bicubic = [&](TIEBitmap& b) { RotateInterpolated24(b, RGBToTColor(bg), 2, nullptr, nullptr, 21); };
  auto nearest = [&](TIEBitmap& b) { RotateNearestInPlace(b, RGBToTColor(bg), nullptr, nullptr, 12.5); };
  EXPECT_EQ(run(1, shear), run(6, shear));
  EXPECT_EQ(run(1, bicubic), run(6, bicubic));
  EXPECT_EQ(run(1, nearest), run(6, nearest));
}

TEST_F(RotateTest, OneBitCornersTakeTheBackground) {
  for (bool white : {true, false}) {
    TIEBitmap b(40, 30, ie1g);
    b.Fill(white ? 0 : 1);  // the picture itself of the other colour
    const TIERGB bg = white ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0);
    ASSERT_TRUE(RotateBitmap(b, true, nullptr, 45, nullptr, bg));
    EXPECT_EQ(b.PixelFormat(), ie1g);
    EXPECT_GT(b.Width(), 40);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{b.Width() - 1, 0}, std::pair{0, b.Height() - 1}})
      EXPECT_EQ(GetRowBit(b.GetRow(y), x) != 0, white) << x << "," << y;
    EXPECT_EQ(GetRowBit(b.GetRow(b.Height() / 2), b.Width() / 2) != 0, !white);
  }
  // A whole turn of a 1-bit image changes nothing.
  auto one = Patterned(13, 7, ie1g, ieMemory, false);
  auto same = Copy(*one);
  TIEProgressRecord progress;
  ASSERT_TRUE(RotateBitmap1Bit(*same, true, progress, 360));
  EXPECT_EQ(bmptest::Pixels(*same), bmptest::Pixels(*one));
}

TEST_F(RotateTest, EveryFormatKeepsItsPixelsAtQuarterTurns) {
  // The EXIF orientation turns photos of any format by +-90 degrees.
  for (TIEPixelFormat format : {ie8g, ie8p, ie16g, ieRGB48, ieCMYK, ie32f, ieCIELab, ie32RGB}) {
    SCOPED_TRACE(int(format));
    auto source = Patterned(15, 9, format, ieMemory, false);
    for (double angle : {90.0, -90.0}) {
      auto b = Copy(*source);
      ASSERT_TRUE(RotateBitmap(*b, false, nullptr, angle, nullptr, CreateRGB(0, 0, 0)));
      EXPECT_EQ(b->PixelFormat(), format);
      std::unique_ptr<TIEBitmap> expected = TurnedCopy(*source, angle > 0 ? 1 : 3);
      EXPECT_EQ(bmptest::Pixels(*b), bmptest::Pixels(*expected));
    }
    // Any other angle by nearest pixels, the background in the format's own terms.
    auto b = Copy(*source);
    ASSERT_TRUE(RotateBitmap(*b, true, nullptr, 30, nullptr, CreateRGB(255, 255, 255)));
    EXPECT_EQ(b->PixelFormat(), format);
    EXPECT_EQ(b->Width(), static_cast<int32_t>(std::nearbyint(15 * std::cos(M_PI / 6) + 9 * 0.5)));
  }
  // A grey background on a grey image is its grey level.
  TIEBitmap g(10, 10, ie8g);
  g.Fill(7);
  RotateBitmap(g, false, nullptr, 45, nullptr, CreateRGB(200, 200, 200));
  EXPECT_EQ(g.GetPixel8(0, 0), 200);
  EXPECT_EQ(g.GetPixel8(g.Width() / 2, g.Height() / 2), 7);
}

TEST_F(RotateTest, NearestRotationReducesWholeTurnsAndSizesFromTheFullSide) {
  auto source = Patterned(12, 5, ie24RGB, ieMemory, false);
  TIEBitmap a;
  ASSERT_TRUE(RotateBitmapNearest(*source, a, 0, 450, nullptr, nullptr));
  EXPECT_EQ(bmptest::Pixels(a), bmptest::Pixels(*TurnedCopy(*source, 1)));
  ASSERT_TRUE(RotateBitmapNearest(*source, a, 0, -720, nullptr, nullptr));
  EXPECT_EQ(bmptest::Pixels(a), bmptest::Pixels(*source));
  // 45 degrees: Round(12 cos 45 + 5 sin 45) = Round(12.02) = 12 on both sides.
  ASSERT_TRUE(RotateBitmapNearest(*source, a, RGBToTColor(CreateRGB(1, 2, 3)), 45, nullptr, nullptr));
  EXPECT_EQ(a.Width(), 12);
  EXPECT_EQ(a.Height(), 12);
  EXPECT_TRUE(a.GetPixel24(0, 0) == CreateRGB(1, 2, 3));
  // Progress after every row, ending near 100.
  std::vector<int32_t> seen;
  RotateBitmapNearest(*source, a, 0, 10, [&](TObject*, int32_t p) { seen.push_back(p); }, nullptr);
  ASSERT_EQ(static_cast<int32_t>(seen.size()), a.Height());
  EXPECT_EQ(seen.front(), 0);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST_F(RotateTest, InterpolatedRotationSizesFromTheFramedSide) {
  // 40 x 30 is framed to 46 x 36 and the sizes count from 45 and 35. At 1 degree:
  // Round(0.99985 * 45 + 0.01745 * 35) = Round(45.60) = 46 and Round(0.01745 * 45 + 0.99985 * 35) =
  // Round(35.78) = 36, less the frame of 6: the source's size.
  auto b = Flat(40, 30, CreateRGB(50, 60, 70));
  ASSERT_TRUE(RotateInterpolated24(*b, RGBToTColor(CreateRGB(0, 0, 0)), 1, nullptr, nullptr, 1));
  EXPECT_EQ(b->Width(), 40);
  EXPECT_EQ(b->Height(), 30);
  // At a tenth of a degree: Round(0.99999 * 45 + 0.00175 * 35) = 45, less 6: one pixel narrower.
  auto c = Flat(40, 30, CreateRGB(50, 60, 70));
  ASSERT_TRUE(RotateInterpolated24(*c, RGBToTColor(CreateRGB(0, 0, 0)), 2, nullptr, nullptr, 0.1));
  EXPECT_EQ(c->Width(), 39);
  EXPECT_EQ(c->Height(), 29);
  // A 1 x 1 picture stays at least 1 x 1.
  auto d = Flat(1, 1, CreateRGB(5, 5, 5));
  ASSERT_TRUE(RotateInterpolated24(*d, 0, 2, nullptr, nullptr, 0.1));
  EXPECT_EQ(d->Width(), 1);
  EXPECT_EQ(d->Height(), 1);
}

TEST_F(RotateTest, InterpolatedRotationShowsTheBackgroundOutside) {
  const TIERGB bg = CreateRGB(0, 200, 0);
  for (uint8_t sampling : {1, 2}) {
    auto b = Flat(50, 50, CreateRGB(100, 100, 100));
    ASSERT_TRUE(RotateInterpolated24(*b, RGBToTColor(bg), sampling, nullptr, nullptr, 45));
    EXPECT_TRUE(b->GetPixel24(0, 0) == bg);
    EXPECT_TRUE(b->GetPixel24(b->Width() / 2, b->Height() / 2) == CreateRGB(100, 100, 100));
    TIEBitmap alpha(50, 50, ie8g);
    alpha.Fill(255);
    ASSERT_TRUE(RotateInterpolated8(alpha, 0, sampling, 45));
    EXPECT_EQ(alpha.Width(), b->Width());
    EXPECT_EQ(alpha.GetPixel8(0, 0), 0);
    EXPECT_EQ(alpha.GetPixel8(alpha.Width() / 2, alpha.Height() / 2), 255);
  }
  // Sampling other than 1 and 2 samples bilinearly.
  auto bilinear = Patterned(30, 20, ie24RGB, ieMemory, false), other = Copy(*bilinear);
  RotateInterpolated24(*bilinear, 0, 1, nullptr, nullptr, 17);
  RotateInterpolated24(*other, 0, 7, nullptr, nullptr, 17);
  EXPECT_EQ(bmptest::Pixels(*bilinear), bmptest::Pixels(*other));
}

TEST_F(RotateTest, BicubicSamplesStayInsideTheByteRange) {
  // One row of four pixels: framed columns 3..6. At SX = 4.5 (f = 0.5) the weights are -0.125,
  // 0.625, 0.625, -0.125 over columns 3..6, and at SY = 3 (f = 0) only the row itself counts.
  const uint8_t undershoot[4] = {0, 0, 0, 255};  // -0.125 * 255 = -31.9: held at 0, not 31
  const uint8_t overshoot[4] = {255, 255, 255, 0};  // 1.125 * 255 = 286.9: held at 255
  for (const uint8_t* row : {undershoot, overshoot}) {
    const uint8_t* rows[1] = {row};
    TIERotateSource s;
    s.Rows = rows;
    s.Width = 4;
    s.Height = 1;
    s.N = 1;
    EXPECT_EQ(SampleBicubic8(s, 4.5, 3), row == undershoot ? 0 : 255);
  }
  // Bilinear: x0 = Trunc, fx from Floor; halfway between 0 and 255 is 127.
  const uint8_t ramp[2] = {0, 255};
  const uint8_t* rows[1] = {ramp};
  TIERotateSource s;
  s.Rows = rows;
  s.Width = 2;
  s.Height = 1;
  s.N = 1;
  s.Background[0] = 9;
  EXPECT_EQ(SampleBilinear8(s, 3.5, 3), 127);
  EXPECT_EQ(FetchPixel8(s, 2, 3), 9);
  EXPECT_EQ(FetchPixel8(s, 4, 3), 255);
}

TEST_F(RotateTest, VectorBicubicRowsEqualTheScalarSamples) {
  if (!ResampleSimdAvailable()) GTEST_SKIP() << "no AVX2 here";
  // Noise with black and white runs (over- and undershoots), sampled across the picture, its
  // edges and the background beyond, as the rotation steps through the framed source.
  constexpr int32_t W = 23, H = 17;
  std::vector<uint8_t> pixels(W * H * 3);
  uint32_t seed = 12345;
  for (size_t i = 0; i < pixels.size(); ++i) {
    seed = seed * 1103515245 + 12345;
    pixels[i] = (i / 7) % 5 == 0 ? ((i / 21) % 2 ? 255 : 0) : static_cast<uint8_t>(seed >> 16);
  }
  std::vector<const uint8_t*> rows(H);
  for (int32_t y = 0; y < H; ++y) rows[y] = pixels.data() + y * W * 3;
  TIERotateSource s;
  s.Rows = rows.data();
  s.Width = W;
  s.Height = H;
  s.Background[0] = 10;
  s.Background[1] = 200;
  s.Background[2] = 255;
  constexpr int32_t kColumns = 400;
  std::vector<double> colX(kColumns), colY(kColumns);
  for (int32_t x = 0; x < kColumns; ++x) {
    colX[x] = -6 + x * 0.087 + (x % 3) * 0.25;
    colY[x] = -5 + x * 0.061;
  }
  for (const double dy : {-4.0, 0.0, 0.37, 2.5, 9.75, 13.0}) {
    std::vector<uint8_t> vector(kColumns * 3), scalar(kColumns * 3);
    BicubicRow24Avx2(s, colX.data(), colY.data(), 0.5, dy, kColumns, vector.data());
    for (int32_t x = 0; x < kColumns; ++x) SampleBicubic(s, colX[x] - 0.5, colY[x] + dy, &scalar[x * 3]);
    ASSERT_EQ(vector, scalar) << "row offset " << dy;
  }
  // A flat area keeps its level either way.
  auto flat = Flat(40, 30, TIERGB{77, 78, 79});
  auto off = Copy(*flat);
  RotateInterpolated24(*flat, 0, 2, nullptr, nullptr, 30);
  SetResampleSimd(false);
  RotateInterpolated24(*off, 0, 2, nullptr, nullptr, 30);
  SetResampleSimd(true);
  EXPECT_TRUE(bmptest::Pixels(*flat) == bmptest::Pixels(*off));
  EXPECT_TRUE(flat->GetPixel24(20, 22) == (TIERGB{77, 78, 79}));
}

TEST_F(RotateTest, VectorShearBlendEqualsTheScalarBlend) {
  if (!ResampleSimdAvailable()) GTEST_SKIP() << "no AVX2 here";
  // Pairs of bytes from all over 0..255, for weights that extrapolate (below 0 and above 4096),
  // keep, halve and replace; 3-byte and 1-byte steps.
  std::vector<uint8_t> src(3 + 256 * 256 + 13);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i % 256 * 97 + i / 256);
  for (const int32_t a : {-2048, -1000, -1, 0, 1, 2048, 4000, 4096}) {
    for (const int32_t step : {1, 3}) {
      const int32_t count = static_cast<int32_t>(src.size()) - step;
      std::vector<uint8_t> dst(static_cast<size_t>(count), 0xEE);
      const int32_t done = ShearBlendAvx2(src.data() + step, step, dst.data(), count, a);
      ASSERT_EQ(done, count / 16 * 16);
      for (int32_t i = 0; i < done; ++i) {
        const int32_t v = (src[i] * a + src[i + step] * (4096 - a) + 2048) >> 12;
        ASSERT_EQ(dst[i], std::clamp(v, 0, 255)) << "weight " << a << " byte " << i;
      }
      EXPECT_EQ(dst[done], 0xEE);  // nothing written past the bytes done
    }
  }
  // A whole rotation the same with and without the vector paths.
  auto b = Patterned(301, 203, ie24RGB, ieMemory, false);
  for (const double angle : {30.0, -17.5, 44.9}) {
    auto vector = Copy(*b), scalar = Copy(*b);
    RotateBitmap(*vector, true, nullptr, angle, nullptr, CreateRGB(250, 5, 128));
    SetResampleSimd(false);
    RotateBitmap(*scalar, true, nullptr, angle, nullptr, CreateRGB(250, 5, 128));
    SetResampleSimd(true);
    EXPECT_TRUE(bmptest::Pixels(*vector) == bmptest::Pixels(*scalar)) << angle;
  }
}

TEST_F(RotateTest, RotationWithoutMemoryLeavesTheImage) {
  auto b = Patterned(64, 40, ie24RGB, ieMemory, true);
  const auto before = bmptest::Pixels(*b);
  FileFallbackOnLowMemory = false;
  SegmentedAllocation = false;
  TIEBitmap::MaxMemoryBlockForTesting() = 100;
  EXPECT_FALSE(RotateBitmap(*b, true, nullptr, 30, nullptr, CreateRGB(0, 0, 0)));
  EXPECT_FALSE(RotateInterpolated24(*b, 0, 2, nullptr, nullptr, 30));
  EXPECT_FALSE(RotateNearestInPlace(*b, 0, nullptr, nullptr, 30));
  TIEBitmap::MaxMemoryBlockForTesting() = -1;
  EXPECT_EQ(b->Width(), 64);
  EXPECT_EQ(bmptest::Pixels(*b), before);
}

}  // namespace
