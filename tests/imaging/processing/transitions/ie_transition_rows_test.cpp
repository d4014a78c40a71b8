// One table over the effect list: every effect the engine draws, run through the steps of a
// transition on frames of three shapes with solid and gradient pictures, checked against what its
// class promises. The region effects' first and last frames are checked against their geometry
// (region_rows.h).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/transitions/ie_effect_table.h"
#include "imaging/processing/transitions/ie_transition_effects.h"
#include "platform/system/random.h"
#include "tests/imaging/processing/transitions/region_rows.h"
#include "tests/imaging/processing/transitions/transition_pictures.h"

using namespace transition_test;

namespace {

// What a row's frames are.
enum RowClass {
  kInPlace,      // every pixel is the start or the end picture's pixel at its place
  kMoves,        // pictures move or stretch
  kBlend,        // pixels are mixtures of two colours
  kRandom,       // in place, at random places
};

struct RowInfo {
  RowClass cls;
  uint32_t lineColour = 0;  // a line drawn along the moving edge (0: none)
  bool seams = false;       // halves W, H, A or B: odd sizes leave one-pixel seams at 100 %
  bool table = false;       // a procedure of the effect table (shows the end picture at 100 %)
  bool region = false;      // a region effect: its first and last frames follow its geometry
};

RowInfo Info(int32_t id) {
  RowInfo r{kMoves};
  r.table = id > 30 && id != iettPanZoom && EffectRow(id)->Proc != nullptr;
  if (id >= 1 && id <= 4) r.cls = kBlend;
  if ((id >= 5 && id <= 12) || id == 27 || id == 28 || (id >= 49 && id <= 56) || id == 74) r.cls = kInPlace;
  if (id == 25 || id == 26) r.cls = kRandom;
  if (region_rows::IsRegionRow(id)) {
    r.cls = region_rows::IsShredded(id) || region_rows::IsSpeckled(id) ? kRandom : kInPlace;
    r.region = true;
  }
  if (id == 6 || id == 8 || id == 10 || id == 12) r.lineColour = kRed;
  if (id == 187 || id == 189) r.lineColour = kBlack | 0x1000000;  // black, told apart from "none"
  r.seams = (id >= 43 && id <= 48) || (id >= 53 && id <= 56) || (id >= 73 && id <= 76) || (id >= 186 && id <= 189);
  return r;
}

uint32_t LineColour(const RowInfo& r) { return r.lineColour & 0xFFFFFF; }

const int32_t kSteps[] = {0, 5, 6, 256, 512, 768, 1014, 1019};  // percents 0, 0, 1, 25, 50, 75, 99, 100
struct Shape {
  int32_t w, h;
};
const Shape kShapes[] = {{60, 40}, {33, 25}, {30, 70}};  // wide, odd (seams), tall (B first)

uint32_t StartGradient(int32_t x, int32_t y) { return static_cast<uint32_t>((x * 4) << 16 | (y * 3) << 8 | 0x20); }
uint32_t EndGradient(int32_t x, int32_t y) { return static_cast<uint32_t>(0x30 << 16 | (x * 2 + 1) << 8 | (y * 3 + 7)); }

std::unique_ptr<TIETransitionEffects> Engine(int32_t Id, Shape S, const TPixelFn& Start, const TPixelFn& End) {
  auto e = std::make_unique<TIETransitionEffects>(nullptr);
  e->SetTransitionSize(S.w, S.h);
  Paint(*e->StartBitmap(), Start);
  Paint(*e->EndBitmap(), End);
  e->SetEffect(static_cast<TIETransitionType>(Id));
  return e;
}

std::vector<uint8_t> Pixels(TBitmap& B) {
  std::vector<uint8_t> p;
  for (int32_t y = 0; y < B.Height(); ++y) p.insert(p.end(), B.ScanLine(y), B.ScanLine(y) + 3 * B.Width());
  return p;
}

// The effect rows the engine draws: 1 .. 214 but the pan-zoom (which the pan-zoom tests check).
std::vector<int32_t> Rows() {
  std::vector<int32_t> ids;
  for (int32_t id = 1; id <= kEffectCount; ++id)
    if (id != iettPanZoom) ids.push_back(id);
  return ids;
}

class ThreadCount {
 public:
  explicit ThreadCount(int32_t n) : old_(ResampleThreadCountForTesting()) { ResampleThreadCountForTesting() = n; }
  ~ThreadCount() { ResampleThreadCountForTesting() = old_; }

 private:
  int32_t old_;
};

TEST(TransitionRows, OnSolidsTheEndPictureOnlyGrowsAndOnlyTheTwoColoursAppear) {
  RandSeed = 7;
  for (const Shape s : kShapes)
    for (const int32_t id : Rows()) {
      const RowInfo info = Info(id);
      auto e = Engine(id, s, Solid(kRed), Solid(kBlue));
      std::vector<bool> wasEnd(static_cast<size_t>(s.w) * s.h, false);
      for (const int32_t step : kSteps) {
        e->DrawStep(step);
        TBitmap& f = *e->CurrentBitmap();
        int bad = 0;
        for (int32_t y = 0; y < s.h; ++y)
          for (int32_t x = 0; x < s.w; ++x) {
            const uint32_t c = At(f, x, y);
            const size_t i = static_cast<size_t>(y) * s.w + x;
            const auto fail = [&](const char* what) {
              if (++bad <= 2)
                ADD_FAILURE() << what << ": " << EffectRow(id)->Name << " (" << id << ") " << s.w << "x" << s.h
                              << " step " << step << " at " << x << "," << y << " = " << std::hex << c;
            };
            if (step == 0) {
              // The first frame shows the start picture; "Fade In" starts from the background.
              if (c != (id == iettFadeIn ? kBlack : kRed)) fail("step 0");
              continue;
            }
            if (info.cls == kBlend) continue;
            if (info.lineColour && c == LineColour(info)) continue;
            if (c != kRed && c != kBlue) fail("a third colour");
            if (wasEnd[i] && c != kBlue && !region_rows::Restarts(id)) fail("the end picture shrank");
            wasEnd[i] = c == kBlue;
          }
      }
    }
}

TEST(TransitionRows, AtOneHundredPercentTableEffectsShowTheEndPicture) {
  for (const Shape s : kShapes)
    for (const int32_t id : Rows()) {
      const RowInfo info = Info(id);
      if (!info.table) continue;
      auto e = Engine(id, s, StartGradient, EndGradient);
      e->DrawStep(0);
      e->DrawStep(1019);
      TBitmap& f = *e->CurrentBitmap();
      // The region effects: the end picture wherever their geometry covers the frame.
      const std::vector<bool> must = info.region ? region_rows::MustShowEnd(id, s.w, s.h) : std::vector<bool>{};
      int bad = 0;
      for (int32_t y = 0; y < s.h; ++y)
        for (int32_t x = 0; x < s.w; ++x) {
          const uint32_t c = At(f, x, y);
          if (c == EndGradient(x, y)) continue;
          if (info.region && !must[static_cast<size_t>(y) * s.w + x]) continue;
          // A line along the edge; and where an effect halves an odd side, one-pixel seams on the
          // centre lines or the far edges, or a quarter or half drawn one pixel off.
          if (info.lineColour && c == LineColour(info)) continue;
          if (info.seams && !info.region && ((s.w & 1) || (s.h & 1))) {
            const bool seam = ((s.w & 1) && (x == s.w - 1 || std::abs(x - s.w / 2) <= 1)) ||
                              ((s.h & 1) && (y == s.h - 1 || std::abs(y - s.h / 2) <= 1));
            bool shifted = false;
            for (int32_t dy = -1; dy <= 1; ++dy)
              for (int32_t dx = -1; dx <= 1; ++dx) shifted = shifted || c == EndGradient(x + dx, y + dy);
            if (seam || shifted) continue;
          }
          if (++bad <= 2)
            ADD_FAILURE() << EffectRow(id)->Name << " (" << id << ") " << s.w << "x" << s.h << " at " << x << ","
                          << y << " = " << std::hex << c << ", end " << EndGradient(x, y);
        }
    }
}

TEST(TransitionRows, AtZeroPercentRegionEffectsChangeOnlyWhatTheirGeometryReaches) {
  // Nothing but the random edges near their side, the zigzags beyond the band's reach, the frame
  // outside the holes of the wipes to the centre, and seams on odd sides.
  RandSeed = 3;
  for (const Shape s : kShapes)
    for (const int32_t id : Rows()) {
      if (!Info(id).region) continue;
      auto e = Engine(id, s, StartGradient, EndGradient);
      const TOwnedRegion hole = region_rows::HoleAtZero(id, s.w, s.h);
      e->DrawStep(0);
      for (int32_t call = 0; call < 3; ++call) e->DrawStep(5);
      TBitmap& f = *e->CurrentBitmap();
      int bad = 0;
      for (int32_t y = 0; y < s.h; ++y)
        for (int32_t x = 0; x < s.w; ++x) {
          if (At(f, x, y) == StartGradient(x, y) || region_rows::MayChangeAtZero(id, s.w, s.h, x, y, hole.Get()))
            continue;
          if (++bad <= 2)
            ADD_FAILURE() << EffectRow(id)->Name << " (" << id << ") " << s.w << "x" << s.h << " changed at " << x
                          << "," << y;
        }
    }
}

TEST(TransitionRows, InPlaceWipesShowEachPixelOfOnePictureAtItsPlace) {
  RandSeed = 11;
  for (const Shape s : kShapes)
    for (const int32_t id : Rows()) {
      const RowInfo info = Info(id);
      if (info.cls != kInPlace && info.cls != kRandom) continue;
      auto e = Engine(id, s, StartGradient, EndGradient);
      for (const int32_t step : kSteps) {
        e->DrawStep(step);
        TBitmap& f = *e->CurrentBitmap();
        int bad = 0;
        for (int32_t y = 0; y < s.h; ++y)
          for (int32_t x = 0; x < s.w; ++x) {
            const uint32_t c = At(f, x, y);
            if (c == StartGradient(x, y) || c == EndGradient(x, y)) continue;
            if (info.lineColour && c == LineColour(info)) continue;
            if (++bad <= 2)
              ADD_FAILURE() << EffectRow(id)->Name << " " << s.w << "x" << s.h << " step " << step << " at " << x
                            << "," << y << " = " << std::hex << c;
          }
      }
    }
}

TEST(TransitionRows, FramesAreTheSameOnOneThreadAndOnFour) {
  // The blends and pushes draw in bands of rows of at least a million pixels: 1031 x 2041 gives two
  // bands of uneven heights. The other effects draw on the calling thread.
  const int32_t banded[] = {1, 2, 3, 4, 17, 18, 19, 20, 21, 22, 23, 24};
  for (const Shape s : {Shape{1031, 2041}}) {
    auto e = Engine(1, s, StartGradient, EndGradient);
    for (const int32_t id : banded) {
      e->SetEffect(static_cast<TIETransitionType>(id));
      for (const int32_t step : {6, 512, 1019}) {
        std::vector<uint8_t> frames[2];
        for (const int32_t threads : {1, 4}) {
          const ThreadCount count(threads);
          e->DrawStep(step);
          frames[threads == 4] = Pixels(*e->CurrentBitmap());
        }
        ASSERT_EQ(frames[0], frames[1]) << EffectRow(id)->Name << " " << s.w << "x" << s.h << " step " << step;
      }
    }
  }
}

TEST(TransitionRows, RegionEffectsDrawTheSameOnOneThreadAndOnFourAndGiveBackTheirObjects) {
  const int32_t before = GdiObjectCount();
  for (const Shape s : kShapes)
    for (const int32_t id : Rows()) {
      if (!Info(id).region) continue;
      // One engine for both runs: the random grids follow the end picture.
      auto e = Engine(id, s, StartGradient, EndGradient);
      std::vector<uint8_t> frames[2];
      for (const int32_t threads : {1, 4}) {
        const ThreadCount count(threads);
        RandSeed = 99;
        for (const int32_t step : kSteps) {
          e->DrawStep(step);
          const std::vector<uint8_t> p = Pixels(*e->CurrentBitmap());
          frames[threads == 4].insert(frames[threads == 4].end(), p.begin(), p.end());
        }
      }
      EXPECT_TRUE(frames[0] == frames[1]) << EffectRow(id)->Name << " " << s.w << "x" << s.h;
    }
  EXPECT_EQ(GdiObjectCount(), before);
}

TEST(TransitionRows, AFrameIsTheSameReachedInOneStepOrInFifty) {
  for (const Shape s : kShapes)
    for (const int32_t id : Rows()) {
      if (Info(id).cls == kRandom || region_rows::Accumulates(id)) continue;
      // On an odd side the centre wipes and the page flips leave one-pixel seams that earlier
      // frames drew: their rectangles' far edges step back by a pixel now and then.
      const bool odd = (s.w & 1) || (s.h & 1);
      if (odd && (id == 27 || id == 29 || (id >= 186 && id <= 189) || region_rows::Centred(id))) continue;
      for (const int32_t target : {256, 640, 1019}) {
        auto once = Engine(id, s, StartGradient, EndGradient), stepped = Engine(id, s, StartGradient, EndGradient);
        once->DrawStep(0);
        once->DrawStep(target);
        for (int32_t k = 0; k <= 50; ++k) stepped->DrawStep(target * k / 50);
        EXPECT_EQ(Pixels(*once->CurrentBitmap()), Pixels(*stepped->CurrentBitmap()))
            << EffectRow(id)->Name << " (" << id << ") " << s.w << "x" << s.h << " step " << target;
      }
    }
}

}  // namespace
