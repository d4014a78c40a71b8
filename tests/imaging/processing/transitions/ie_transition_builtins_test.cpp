// The engine's own effects byte for byte: the blends, slides and pushes against their formulas
// written out here, the random points and boxes against the generator's numbers, and the vector
// blend against the reference loop.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imaging/processing/transitions/ie_transition_builtins.h"
#include "imaging/processing/transitions/ie_transition_effects.h"
#include "platform/system/random.h"
#include "tests/imaging/processing/transitions/transition_pictures.h"
#include "tests/imaging/processing/transitions/transition_view.h"

using namespace transition_test;

namespace {

uint32_t StartPixel(int32_t x, int32_t y) {
  return static_cast<uint32_t>(((x * 13 + y * 7) & 0xFF) << 16 | (x * 5 & 0xFF) << 8 | (255 - y * 11));
}
uint32_t EndPixel(int32_t x, int32_t y) {
  return static_cast<uint32_t>((200 - x * 3) << 16 | ((y * 29 + x) & 0xFF) << 8 | (x * 17 & 0xFF));
}
uint8_t Channel(uint32_t rgb, int c) { return static_cast<uint8_t>(rgb >> (8 * c)); }

constexpr TColor kBackground = 0x3264C8;  // RGB(200, 100, 50) as a TColor (red in the low byte)

struct Frame {
  int32_t w, h;
  std::vector<uint32_t> px;
  uint32_t& at(int32_t x, int32_t y) { return px[static_cast<size_t>(y) * w + x]; }
};

// Each channel by a rule of the two pictures' bytes a and b and the background's byte g.
template <class Rule>
Frame PerChannel(int32_t w, int32_t h, Rule rule) {
  Frame f{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
  const uint32_t bg = 200 << 16 | 100 << 8 | 50;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint32_t v = 0;
      for (int c = 0; c < 3; ++c)
        v |= static_cast<uint32_t>(rule(Channel(StartPixel(x, y), c), Channel(EndPixel(x, y), c), Channel(bg, c)))
             << (8 * c);
      f.at(x, y) = v;
    }
  return f;
}

// The frame of effect id at step s of a run whose first frame was step 0, as the effect list
// writes it.
Frame Expected(int32_t id, int64_t s, int32_t W, int32_t H) {
  const int64_t r = 1024 - s;
  auto fadeOut = [](int64_t s) { return [s](int64_t a, int64_t, int64_t g) { return (s * g + a * (1024 - s)) >> 10; }; };
  auto fadeIn = [](int64_t s) { return [s](int64_t, int64_t b, int64_t g) { return (g * (1024 - s) + s * b) >> 10; }; };
  switch (id) {
    case 1:
      return PerChannel(W, H, [&](int64_t a, int64_t b, int64_t) { return (a * (1024 - s) + b * s) >> 10; });
    case 2:
      return PerChannel(W, H, fadeOut(s));
    case 3:
      return PerChannel(W, H, fadeIn(s));
    case 4:
      return s < 512 ? PerChannel(W, H, fadeOut(2 * s)) : PerChannel(W, H, fadeIn(2 * s - 1024));
    default:
      break;
  }
  Frame f{W, H, std::vector<uint32_t>(static_cast<size_t>(W) * H)};
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) f.at(x, y) = StartPixel(x, y);
  if (id >= 13 && id <= 16) {
    // The end picture drawn at an offset over the start picture.
    const int64_t dx = (r * W) >> 10, dy = (r * H) >> 10;
    const int64_t ox = (id == 14 || id == 16) ? dx : -dx, oy = (id == 15 || id == 16) ? dy : -dy;
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x)
        if (x - ox >= 0 && x - ox < W && y - oy >= 0 && y - oy < H)
          f.at(x, y) = EndPixel(static_cast<int32_t>(x - ox), static_cast<int32_t>(y - oy));
    return f;
  }
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      uint32_t& p = f.at(x, y);
      switch (id) {
        case 17: {  // c := (s W) shr 10; 0..c-1 <- End W-c..W-1, c..W-1 <- Start 0..W-c-1
          const int64_t c = (s * W) >> 10;
          p = x < c ? EndPixel(static_cast<int32_t>(W - c + x), y) : StartPixel(static_cast<int32_t>(x - c), y);
          break;
        }
        case 18: {
          const int64_t c = (s * W) >> 10;
          p = x < c ? EndPixel(x, y) : StartPixel(static_cast<int32_t>(x - c), y);
          break;
        }
        case 19: {  // c := ((1024 - s) W) shr 10; 0..c-1 <- Start W-c.., c..W-1 <- End 0..W-c-1
          const int64_t c = (r * W) >> 10;
          p = x < c ? StartPixel(static_cast<int32_t>(W - c + x), y) : EndPixel(static_cast<int32_t>(x - c), y);
          break;
        }
        case 20: {
          const int64_t c = (r * W) >> 10;
          p = x < c ? StartPixel(x, y) : EndPixel(static_cast<int32_t>(x - c), y);
          break;
        }
        case 21: {  // n := (s H) shr 10; rows 0..n-1 <- End H-n.., rows n.. <- Start 0..
          const int64_t n = (s * H) >> 10;
          p = y < n ? EndPixel(x, static_cast<int32_t>(H - n + y)) : StartPixel(x, static_cast<int32_t>(y - n));
          break;
        }
        case 22: {
          const int64_t n = (s * H) >> 10;
          p = y < n ? EndPixel(x, y) : StartPixel(x, static_cast<int32_t>(y - n));
          break;
        }
        case 23: {
          const int64_t n = (r * H) >> 10;
          p = y < n ? StartPixel(x, static_cast<int32_t>(H - n + y)) : EndPixel(x, static_cast<int32_t>(y - n));
          break;
        }
        case 24: {  // rows 0..n-1 <- Start H-n..H-1, rows n..H-1 <- End n..H-1
          const int64_t n = (H * r) >> 10;
          p = y < n ? StartPixel(x, static_cast<int32_t>(H - n + y)) : EndPixel(x, y);
          break;
        }
        default:
          break;
      }
    }
  return f;
}

struct EngineRun {
  TransitionView view;
  TIETransitionEffects engine{&view};
  EngineRun(int32_t id, int32_t W, int32_t H) {
    view.SetBackground(kBackground);
    engine.SetTransitionSize(W, H);
    Paint(*engine.StartBitmap(), StartPixel);
    Paint(*engine.EndBitmap(), EndPixel);
    engine.SetEffect(static_cast<TIETransitionType>(id));
  }
};

TEST(TransitionBuiltins, BlendsSlidesAndPushesGiveTheirFormulasBytes) {
  const int32_t ids[] = {1, 2, 3, 4, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
  const std::pair<int32_t, int32_t> sizes[] = {{4, 4}, {7, 5}, {16, 8}, {5, 9}};
  const int32_t steps[] = {0, 1, 37, 300, 511, 512, 513, 1000, 1023, 1024};
  for (const int32_t id : ids)
    for (const auto& [w, h] : sizes)
      for (const int32_t s : steps) {
        EngineRun run(id, w, h);
        run.engine.DrawStep(0);
        run.engine.DrawStep(s);
        Frame want = Expected(id, s, w, h);
        int bad = 0;
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x)
            if (At(*run.engine.CurrentBitmap(), x, y) != want.at(x, y) && ++bad <= 2)
              ADD_FAILURE() << "effect " << id << " " << w << "x" << h << " step " << s << " at " << x << "," << y
                            << ": " << std::hex << At(*run.engine.CurrentBitmap(), x, y) << " != " << want.at(x, y);
      }
}

TEST(TransitionBuiltins, FadesUseTheResolvedColourOfASystemBackground) {
  EngineRun run(iettFadeOut, 4, 2);
  run.view.SetBackground(clHighlight);
  run.engine.DrawStep(1024);  // all background
  const uint32_t rgb = ColorToRGB(clHighlight);
  const uint32_t want = static_cast<uint32_t>(GetRValue(rgb)) << 16 | GetGValue(rgb) << 8 | GetBValue(rgb);
  EXPECT_EQ(At(*run.engine.CurrentBitmap(), 3, 1), want);
  run.engine.SetEffect(iettFadeIn);
  run.engine.DrawStep(0);
  EXPECT_EQ(At(*run.engine.CurrentBitmap(), 0, 0), want);
}

TEST(TransitionBuiltins, RandomPointsFollowTheGeneratorRowByRow) {
  // N := Round(W s (s / 180) / 1024) points so far; each row gets the new ones, x := Random(W).
  const int32_t W = 23, H = 6;
  EngineRun run(iettRandomPoints, W, H);
  RandSeed = 1234;
  TRandom mine{1234};
  Frame want{W, H, std::vector<uint32_t>(static_cast<size_t>(W) * H)};
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) want.at(x, y) = StartPixel(x, y);
  int64_t revealed = 0;
  for (const int32_t s : {0, 100, 400, 401, 800, 1023}) {
    run.engine.DrawStep(s);
    const int64_t n = s == 0 ? 0 : std::llround(std::nearbyint(W * double(s) * (s / 180.0) / 1024));
    for (int32_t y = 0; y < H; ++y)
      for (int64_t k = 0; k < n - revealed; ++k) {
        const int32_t x = mine.Random(W);
        want.at(x, y) = EndPixel(x, y);
      }
    revealed = n;
    EXPECT_EQ(run.engine.RevealedCount(), n) << s;
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) ASSERT_EQ(At(*run.engine.CurrentBitmap(), x, y), want.at(x, y)) << s;
  }
}

TEST(TransitionBuiltins, RandomBoxesAreAlignedAndClippedAtTheEdges) {
  // 21 x 13: (21 x 13) div 64 = 4 boxes' worth; N := Round(s x 4 x (s / 180) / 1024). Boxes sit on
  // multiples of 8 and the last column and row of boxes are cut by the frame's edge.
  const int32_t W = 21, H = 13;
  EngineRun run(iettRandomBoxes, W, H);
  RandSeed = 77;
  TRandom mine{77};
  Frame want{W, H, std::vector<uint32_t>(static_cast<size_t>(W) * H)};
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) want.at(x, y) = StartPixel(x, y);
  int64_t revealed = 0;
  for (const int32_t s : {0, 300, 700, 1023}) {
    run.engine.DrawStep(s);
    const int64_t n = s == 0 ? 0 : std::llround(std::nearbyint(s * 4.0 * (s / 180.0) / 1024));
    for (int64_t k = 0; k < n - revealed; ++k) {
      const int32_t bx = mine.Random(W) / 8 * 8, by = mine.Random(H) / 8 * 8;
      for (int32_t y = by; y < std::min(by + 8, H); ++y)
        for (int32_t x = bx; x < std::min(bx + 8, W); ++x) want.at(x, y) = EndPixel(x, y);
    }
    revealed = n;
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) ASSERT_EQ(At(*run.engine.CurrentBitmap(), x, y), want.at(x, y)) << s;
  }
  EXPECT_GT(revealed, 10);

  // A frame of less than 64 pixels has no box to draw.
  EngineRun small(iettRandomBoxes, 7, 9);
  small.engine.DrawStep(0);
  small.engine.DrawStep(1023);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 7; ++x) EXPECT_EQ(At(*small.engine.CurrentBitmap(), x, y), StartPixel(x, y));
}

TEST(TransitionBuiltins, TheBlendGivesTheReferenceLoopsBytes) {
  std::vector<uint8_t> a(1000), b(1000), ref(1000), fast(1000);
  TRandom r{3};
  for (size_t i = 0; i < a.size(); ++i) {
    a[i] = static_cast<uint8_t>(r.Random(256));
    b[i] = static_cast<uint8_t>(i % 3 ? r.Random(256) : 255 - a[i]);
  }
  for (const uint32_t step : {0u, 1u, 63u, 64u, 511u, 512u, 1000u, 1023u, 1024u})
    for (const int32_t count : {0, 1, 15, 16, 17, 31, 33, 64, 999, 1000}) {
      std::fill(ref.begin(), ref.end(), 0xAB);
      std::fill(fast.begin(), fast.end(), 0xAB);
      BlendRowReference(a.data() + 1, b.data(), ref.data() + 1, std::min(count, 999), step);
      BlendRow(a.data() + 1, b.data(), fast.data() + 1, std::min(count, 999), step);
      ASSERT_EQ(ref, fast) << "step " << step << " count " << count;
    }
  // The reference is the formula: (a x (1024 - s) + b x s) shr 10.
  uint8_t x = 200, y = 10, d = 0;
  BlendRowReference(&x, &y, &d, 1, 300);
  EXPECT_EQ(d, (200 * 724 + 10 * 300) >> 10);
}

}  // namespace
