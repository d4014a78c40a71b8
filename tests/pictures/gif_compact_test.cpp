// Compaction: each step's effect, and animations that show the same pictures for the same time
// before and after.
#include <gtest/gtest.h>

#include <random>

#include "tests/pictures/gif_test_support.h"

using namespace giftest;

namespace {

// What a player shows: the screen as colours after each frame, and for how long (hundredths of a
// second), frames that change nothing folded into the one before. Disposal 2 clears to the
// background colour, 3 restores what was there before the frame.
struct Shown {
  std::vector<uint32_t> screen;
  int delay;
  friend bool operator==(const Shown&, const Shown&) = default;
};

std::vector<Shown> Play(TGIFImage& image) {
  const int w = image.Width(), h = image.Height();
  const TColor background = image.GlobalColorMap()->Count() > 0 ? image.BackgroundColor() : clBlack;
  std::vector<uint32_t> screen(static_cast<size_t>(w) * h, background);
  std::vector<Shown> shown;
  for (int32_t i = 0; i < image.Images()->Count(); ++i) {
    TGIFSubImage* f = image.Images()->Items(i);
    TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
    const std::vector<uint32_t> before = screen;
    for (int y = 0; y < f->Height() && !f->Empty(); ++y)
      for (int x = 0; x < f->Width(); ++x) {
        const uint8_t p = f->Pixels(x, y);
        if (gce && gce->Transparent() && p == gce->TransparentColorIndex()) continue;
        TGIFColorMap* map = f->ActiveColorMap();
        screen[static_cast<size_t>(f->Top() + y) * w + f->Left() + x] = p < map->Count() ? map->Colors(p) : 0xFF000000u;
      }
    const int delay = gce ? gce->Delay() : 0;
    if (!shown.empty() && shown.back().screen == screen)
      shown.back().delay += delay;
    else
      shown.push_back({screen, delay});
    const int disposal = gce ? gce->Disposal() : 0;
    if (disposal == 3) screen = before;
    if (disposal == 2 && !f->Empty())
      for (int y = f->Top(); y < f->Top() + f->Height(); ++y)
        for (int x = f->Left(); x < f->Left() + f->Width(); ++x) screen[static_cast<size_t>(y) * w + x] = background;
  }
  return shown;
}

// An animation of a moving square over a still background, with frames that repeat themselves.
Bytes Animation(uint32_t seed) {
  std::mt19937 rng(seed);
  const int w = 24, h = 16;
  GifFile f(w, h, Colors(8), 1);
  f.Loop(0).Comment({"comment"});
  Bytes background(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < background.size(); ++i) background[i] = static_cast<uint8_t>((i / 7) % 3);
  f.Gce(1, 10).Frame(0, 0, w, h, background);
  for (int k = 0; k < 6; ++k) {
    Bytes frame = background;
    const int sx = static_cast<int>(rng() % 16), sy = static_cast<int>(rng() % 8);
    for (int y = sy; y < sy + 6; ++y)
      for (int x = sx; x < sx + 6; ++x) frame[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(3 + k % 5);
    const int disposal = static_cast<int>(rng() % 4);
    const bool transparent = rng() % 2 == 0;
    f.Gce(disposal, 5 + k, transparent, 7).Frame(0, 0, w, h, frame);
    if (k % 3 == 1) f.Gce(1, 4, true, 7).Frame(0, 0, w, h, Bytes(frame.size(), 7));  // shows nothing new
  }
  return f.Done();
}

TEST(GIFCompact, AnAnimationShowsTheSamePicturesForTheSameTimeWithEveryOption) {
  for (uint32_t seed = 1; seed <= 6; ++seed)
    for (TGIFOptimizeOptions options : {TGIFOptimizeOptions(gofColorMaps), TGIFOptimizeOptions(gofCleanup),
                                        TGIFOptimizeOptions(gofMerge), TGIFOptimizeOptions(gofCrop),
                                        TGIFOptimizeOptions(gofMerge | gofCrop), gofAll}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " options " << int(options));
      Loaded r = Load(Animation(seed));
      ASSERT_EQ(r.error, "");
      const std::vector<Shown> before = Play(*r.image);
      const int32_t frames = r.image->Images()->Count();
      r.image->Compact(options);
      EXPECT_EQ(Play(*r.image), before);
      EXPECT_LE(r.image->Images()->Count(), frames);
      // And after a round trip through a file.
      const Loaded back = Load(Save(*r.image));
      ASSERT_EQ(back.error, "");
      EXPECT_EQ(Play(*back.image), before);
    }
}

TEST(GIFCompact, MergingAndCroppingDropARepeatedFrameAndKeepItsDelay) {
  // Two identical frames: the second vanishes and its delay goes to the first, transparent or not.
  for (bool firstTransparent : {true, false}) {
    GifFile f(6, 4, Colors(4));
    if (firstTransparent)
      f.Gce(1, 10, true, 3);
    f.Frame(0, 0, 6, 4, Pattern(6, 4, 3));
    f.Gce(1, 25).Frame(0, 0, 6, 4, Pattern(6, 4, 3));
    Loaded r = Load(f.Done());
    r.image->Compact(gofMerge | gofCrop);
    ASSERT_EQ(r.image->Images()->Count(), 1) << firstTransparent;
    TGIFGraphicControlExtension* gce = r.image->Images()->Items(0)->GraphicControlExtension();
    ASSERT_NE(gce, nullptr) << firstTransparent;
    EXPECT_EQ(gce->Delay(), (firstTransparent ? 10 : 0) + 25);
  }
}

TEST(GIFCompact, CleanupDropsWhatHasNoEffect) {
  GifFile f(4, 2, Colors(4));
  f.Loop(2).Comment({"c"}).App("OTHERAPP1.0", {"x"});
  f.Gce(1, 0, true, 3).Frame(0, 0, 4, 2, {0, 1, 2, 0, 1, 2, 0, 1});  // index 3 is never used
  Loaded one = Load(f.Done());
  one.image->Compact(gofCleanup);
  TGIFSubImage* frame = one.image->Images()->Items(0);
  // A single frame: no loop, no comment, no unknown data, and its inert graphic control goes too.
  EXPECT_EQ(frame->Extensions()->Count(), 0);
  EXPECT_FALSE(frame->Transparent());

  // In an animation the first frame keeps its loop and a disposal the next frame hides becomes 0.
  GifFile g(4, 2, Colors(4));
  g.Loop(2).Gce(2, 10).Frame(0, 0, 4, 2, Pattern(4, 2, 4)).Loop(3).Gce(1, 10).Frame(0, 0, 4, 2, Pattern(4, 2, 4, 1));
  Loaded two = Load(g.Done());
  two.image->Compact(gofCleanup);
  TGIFSubImage* first = two.image->Images()->Items(0);
  EXPECT_EQ(first->Extensions()->Count(), 2);
  EXPECT_EQ(first->GraphicControlExtension()->Disposal(), 0);
  EXPECT_EQ(two.image->Images()->Items(1)->Extensions()->Count(), 1);  // its loop is gone
}

TEST(GIFCompact, MergingPassesOverFramesThatRestoreThePictureBeforeThem) {
  GifFile f(4, 1, Colors(4));
  f.Gce(1, 5).Frame(0, 0, 4, 1, {1, 1, 1, 1});
  f.Gce(3, 5).Frame(0, 0, 4, 1, {2, 2, 2, 2});  // shown, then taken away again
  f.Gce(1, 5).Frame(0, 0, 4, 1, {1, 2, 1, 2});
  Loaded r = Load(f.Done());
  r.image->Compact(gofMerge);
  TGIFSubImage* last = r.image->Images()->Items(2);
  ASSERT_TRUE(last->Transparent());
  const uint8_t t = last->GraphicControlExtension()->TransparentColorIndex();
  // Merged with frame 0 (ones), not with frame 1 (twos).
  EXPECT_EQ(FramePixels(last), (Bytes{t, 2, t, 2}));
}

TEST(GIFCompact, ACustomPaletteIsRefusedBeforeAnythingChanges) {
  Loaded r = Load(Animation(3));
  const std::vector<Shown> before = Play(*r.image);
  const int32_t frames = r.image->Images()->Count();
  try {
    r.image->Compact(gofMerge | gofCrop | gofReduceColors, grmCustomPalette);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Invalid reduction method");
  }
  EXPECT_EQ(r.image->Images()->Count(), frames);
  EXPECT_EQ(Play(*r.image), before);
  // With the cleanup the reduction method is not looked at.
  r.image->Compact(gofCleanup | gofReduceColors, grmCustomPalette);
}

TEST(GIFCompact, AnInvisibleFirstFrameIsKeptWithItsLoop) {
  GifFile f(4, 1, Colors(4));
  f.Loop(0).Gce(1, 50, true, 0).Frame(0, 0, 4, 1, {0, 0, 0, 0});
  f.Gce(1, 50).Frame(0, 0, 4, 1, {1, 2, 3, 1});
  Loaded r = Load(f.Done());
  r.image->Compact(gofAll);
  ASSERT_EQ(r.image->Images()->Count(), 2);
  bool loop = false;
  TGIFExtensionList* extensions = r.image->Images()->Items(0)->Extensions();
  for (int32_t i = 0; i < extensions->Count(); ++i) loop = loop || dynamic_cast<TGIFAppExtNSLoop*>(extensions->Items(i));
  EXPECT_TRUE(loop);
  EXPECT_EQ(r.image->Images()->Items(0)->GraphicControlExtension()->Delay(), 50);
}

TEST(GIFCompact, ReportsProgressAndSortsColourTables) {
  Loaded r = Load(Animation(2));
  std::vector<std::string> stages;
  r.image->OnProgress = [&](TObject*, TProgressStage st, uint8_t pc, bool, const TRect&, const std::string& m) {
    if (st != psRunning) stages.push_back(m + std::to_string(pc));
  };
  r.image->Compact(gofColorMaps);
  EXPECT_EQ(stages, (std::vector<std::string>{"Optimizing...0", "Optimizing...100"}));
  EXPECT_TRUE(r.image->GlobalColorMap()->Optimized());
  TGIFImage empty;
  empty.Compact(gofAll);
  EXPECT_TRUE(empty.Empty());
}

}  // namespace

namespace {

TEST(GIFCompact, StoringForAComponentCompactsWhenAsked) {
  Loaded r = Load(Animation(4));
  TMemoryStream plain;
  r.image->WriteData(plain);
  GIFOptimizeOnStore = true;
  TMemoryStream compacted;
  r.image->WriteData(compacted);
  GIFOptimizeOnStore = false;
  EXPECT_LT(compacted.Size(), plain.Size());
  const auto* p = static_cast<const uint8_t*>(compacted.Memory());
  const Loaded back = Load(Bytes(p, p + compacted.Size()));
  ASSERT_EQ(back.error, "");
  EXPECT_EQ(Play(*back.image), Play(*Load(Animation(4)).image));
}

}  // namespace
