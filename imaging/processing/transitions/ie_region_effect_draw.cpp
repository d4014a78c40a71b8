#include "imaging/processing/transitions/ie_region_effect_draw.h"

#include <algorithm>
#include <chrono>

#include "platform/gdi/bitmap.h"

namespace {

// Selects a clip region into a DC for the life of the object and removes it again.
class TClipSelection {
 public:
  TClipSelection(HDC Dc, HRGN Region) : dc_(Dc) { SelectClipRgn(dc_, Region); }
  TClipSelection(const TClipSelection&) = delete;
  TClipSelection& operator=(const TClipSelection&) = delete;
  ~TClipSelection() { SelectClipRgn(dc_, nullptr); }

 private:
  HDC dc_;
};

}  // namespace

bool BeginRegionFrame(TCanvas* Canvas, const TRect& Rect, int32_t Percent, TRegionFrame& Frame) {
  if (!Canvas || !BeginEffectFrame(Rect, Percent, Frame)) return false;
  Frame.Percent = std::clamp(Percent, 0, 100);
  Frame.cx = Frame.W / 2;
  Frame.cy = Frame.H / 2;
  Frame.a2 = Frame.A / 2;
  Frame.b2 = Frame.B / 2;
  TRect drawable;
  if (GetClipBox(Canvas->Handle(), &drawable) == ERROR) return false;
  return IntersectRect(Frame.Visible, drawable, TRect{0, 0, Frame.W, Frame.H});
}

TRevealClock& RevealClockForTesting() {
  static TRevealClock clock;
  return clock;
}

namespace {

// Adds the time from its making to its end to the reveal clock, when that runs.
class TClockedCopy {
 public:
  TClockedCopy() : clock_(RevealClockForTesting()) {
    if (clock_.Enabled) begin_ = std::chrono::steady_clock::now();
  }
  TClockedCopy(const TClockedCopy&) = delete;
  TClockedCopy& operator=(const TClockedCopy&) = delete;
  ~TClockedCopy() {
    if (clock_.Enabled)
      clock_.Milliseconds += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin_).count();
  }

 private:
  TRevealClock& clock_;
  std::chrono::steady_clock::time_point begin_;
};

}  // namespace

void RevealThrough(TCanvas* Canvas, TBitmap* Picture, const TRegionFrame& Frame, HRGN Region) {
  if (!Canvas || !Picture || !Region) return;
  const TClockedCopy timed;
  TRect box;
  if (GetRgnBox(Region, &box) == NULLREGION) return;
  const TClipSelection clip(Canvas->Handle(), Region);
  CopyPictureBlock(Canvas, 0, 0, Frame.W, Frame.H, Picture, 0, 0);
}

void CopyWhole(TCanvas* Canvas, TBitmap* Picture, const TRegionFrame& Frame) {
  const TClockedCopy timed;
  CopyPictureBlock(Canvas, 0, 0, Frame.W, Frame.H, Picture, 0, 0);
}

TOwnedRegion FrameWithout(const TRegionFrame& Frame, HRGN Hole) {
  const TRect& v = Frame.Visible;
  TOwnedRegion frame(CreateRectRgn(v.Left, v.Top, v.Right, v.Bottom));
  if (Hole) {
    // The hole's part beyond the visible frame would come back by the exclusive or: leave it out.
    TOwnedRegion hole(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(hole.Get(), Hole, frame.Get(), RGN_AND);
    CombineRgn(frame.Get(), frame.Get(), hole.Get(), RGN_XOR);
  }
  return frame;
}

TOwnedRegion VisiblePolygon(const TRegionFrame& Frame, std::span<const TPoint> Points) {
  return TOwnedRegion(
      CreatePolygonRgn(Points.data(), static_cast<int32_t>(Points.size()), WINDING, &Frame.Visible));
}

void AddStamped(TComplexRegion& Region, std::span<const TRect> Base, int64_t DX, int64_t DY) {
  for (const TRect& r : Base)
    Region.AddRect(EffectCoord(r.Left + DX), EffectCoord(r.Top + DY), EffectCoord(r.Right + DX),
                   EffectCoord(r.Bottom + DY));
}

std::vector<int64_t> CellCentres(int64_t First, int64_t Step, int64_t Limit, int64_t Reach, int64_t Lo, int64_t Hi) {
  std::vector<int64_t> centres;
  ForEachStep(First, Step, Limit, Reach, Reach, Lo, Hi, [&](int64_t v) { centres.push_back(v); });
  return centres;
}

TRect CellWindow(const TRect& Visible, const std::vector<int64_t>& Xs, const std::vector<int64_t>& Ys) {
  return {EffectCoord(Visible.Left - Xs.back()), EffectCoord(Visible.Top - Ys.back()),
          EffectCoord(Visible.Right - Xs.front()), EffectCoord(Visible.Bottom - Ys.front())};
}

std::vector<TRect> RegionRects(HRGN Region) {
  TComplexRegion list;
  list.AddRegion(Region);
  return {list.Rects().begin(), list.Rects().end()};
}
