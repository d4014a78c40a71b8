#include "imaging/processing/transitions/ie_region_builders.h"

#include <algorithm>

#include "imaging/processing/transitions/ie_effect_draw.h"
#include "imaging/processing/transitions/ie_region_window.h"
#include "platform/system/random.h"

namespace {

// One part of a builder, written along the axis it fills: "along" is x for the horizontal part
// (rows filled from the left or the right) and y for the vertical part (columns filled from the
// top or the bottom); "across" is the other axis, cut into bands.
struct TPart {
  TComplexRegion& Region;
  bool Vertical;
  int64_t L;  // the frame along the filling axis
  int64_t M;  // the frame across it
  int64_t P;  // how far the filling has come (XP or YP)
  int64_t Lo, Hi;  // the window across

  TPart(TComplexRegion& R, bool V, int32_t W, int32_t H, int32_t XP, int32_t YP, const TRect* Window)
      : Region(R), Vertical(V), L(V ? H : W), M(V ? W : H), P(V ? YP : XP) {
    const TRegionWindow w = TRegionWindow::Of(Window);
    Lo = V ? w.Left : w.Top;
    Hi = V ? w.Right : w.Bottom;
  }
  // The rectangle [A0, A1) along by [C0, C1) across, stored as it is (reversed ones cover nothing).
  void Add(int64_t A0, int64_t A1, int64_t C0, int64_t C1) const {
    if (Vertical)
      Region.AddRect(EffectCoord(C0), EffectCoord(A0), EffectCoord(C1), EffectCoord(A1));
    else
      Region.AddRect(EffectCoord(A0), EffectCoord(C0), EffectCoord(A1), EffectCoord(C1));
  }
};

void BarsPart(const TPart& p, int32_t Kind, int64_t E) {
  const int64_t L = p.L, P = p.P;
  if (P <= L) {
    // First pass: the even bands (and for kind 3 the odd ones too) grow to P.
    ForEachStep(0, 2 * E, p.M + E, 0, 2 * E, p.Lo, p.Hi, [&](int64_t f) {
      if (Kind == 1 || Kind == 5) {
        p.Add(L - P, L, f, f + E);
      } else if (Kind == 2 || Kind == 4) {
        p.Add(0, P, f, f + E);
      } else if (Kind == 3) {
        p.Add(0, P, f + E, f + 2 * E);
        p.Add(L - P, L, f, f + E);
      }
    });
  } else {
    // Second pass: the even bands are whole, the odd ones grow to P - L.
    ForEachStep(E, 2 * E, p.M + E, E, E, p.Lo, p.Hi, [&](int64_t f) {
      p.Add(0, L, f - E, f);
      if (Kind == 1 || Kind == 4)
        p.Add(2 * L - P, L, f, f + E);
      else if (Kind == 2 || Kind == 5)
        p.Add(0, P - L, f, f + E);
    });
  }
}

void ShreddedPart(const TPart& p, int32_t Kind, int64_t E) {
  const int64_t L = p.L, extra = p.M % E;
  const int64_t jitter = p.P < L ? L / 10 : 0;
  ForEachStep(0, E, p.M, 0, E + extra, p.Lo, p.Hi, [&](int64_t o) {
    int64_t r = Random(static_cast<int32_t>(2 * jitter)) + p.P - jitter;
    const int64_t c0 = o, c1 = o + E + extra;
    switch (Kind) {
      case 1:
        p.Add(L - r, L, c0, c1);
        break;
      case 2:
        p.Add(0, r, c0, c1);
        break;
      case 3:
        r /= 2;
        p.Add(L / 2 - r, L / 2, c0, c1);
        p.Add(L / 2, L / 2 + r, c0, c1);
        break;
      default:
        r /= 2;
        p.Add(L - r, L, c0, c1);
        p.Add(0, r, c0, c1);
        break;
    }
  });
}

void SpeckledPart(const TPart& p, int32_t Kind) {
  const int64_t L = p.L, P = p.P;
  const int64_t zone = P < L ? L / 10 : 0;
  const int64_t h = std::max<int64_t>(zone / 20, 2), n = zone / h, likely = (3 * zone) / (4 * h);
  ForEachStep(0, h / 2, p.M, 0, h, p.Lo, p.Hi, [&](int64_t y) {
    // The filled part, then blocks ahead of its edge: the i-th block out is shown one time in i
    // (two in i near the edge).
    if (Kind == 1)
      p.Add(L - P, L, y, y + h);
    else
      p.Add(0, P, y, y + h);
    for (int64_t i = n; i >= 1; --i) {
      const int32_t v = Random(static_cast<int32_t>(i));
      if (i <= likely ? v > 1 : v != 0) continue;
      if (Kind == 1)
        p.Add(L - P - h * i, L - P - h * i + h, y, y + h);
      else
        p.Add(P + h * i - h, P + h * i, y, y + h);
    }
  });
}

// The parts a builder's kinds ask for, rows first: Part(part, kind) adds the rectangles of one.
template <class PartFn>
void AddParts(TComplexRegion& Region, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind,
              int32_t VerticalKind, const TRect* Window, PartFn Part) {
  if (W < 1 || H < 1) return;
  if (HorizontalKind != 0) Part(TPart(Region, false, W, H, XP, YP, Window), HorizontalKind);
  if (VerticalKind != 0) Part(TPart(Region, true, W, H, XP, YP, Window), VerticalKind);
}

// The region of what Add adds: an empty one for a frame without area.
using TAddRects = void (*)(TComplexRegion&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, const TRect*);
HRGN Build(TAddRects Add, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind, int32_t VerticalKind,
           const TRect* Window) {
  if (W < 1 || H < 1) return CreateRectRgn(0, 0, 0, 0);
  TComplexRegion region;
  Add(region, XP, YP, W, H, HorizontalKind, VerticalKind, Window);
  return region.CreateRegion();
}

}  // namespace

void AddBarsRects(TComplexRegion& Region, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind,
                  int32_t VerticalKind, const TRect* Window) {
  const int64_t e = std::min(W, H) / 50 + 1;
  AddParts(Region, XP, YP, W, H, HorizontalKind, VerticalKind, Window,
           [e](const TPart& p, int32_t kind) { BarsPart(p, kind, e); });
}

void AddShreddedRects(TComplexRegion& Region, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind,
                      int32_t VerticalKind, const TRect* Window) {
  const int64_t e = std::min(W, H) / 200 + 1;
  AddParts(Region, XP, YP, W, H, HorizontalKind, VerticalKind, Window,
           [e](const TPart& p, int32_t kind) { ShreddedPart(p, kind, e); });
}

void AddSpeckledRects(TComplexRegion& Region, int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind,
                      int32_t VerticalKind, const TRect* Window) {
  AddParts(Region, XP, YP, W, H, HorizontalKind, VerticalKind, Window, SpeckledPart);
}

HRGN CreateBarsRegion(int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind, int32_t VerticalKind,
                      const TRect* Window) {
  return Build(AddBarsRects, XP, YP, W, H, HorizontalKind, VerticalKind, Window);
}

HRGN CreateShreddedRegion(int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind, int32_t VerticalKind,
                          const TRect* Window) {
  return Build(AddShreddedRects, XP, YP, W, H, HorizontalKind, VerticalKind, Window);
}

HRGN CreateSpeckledRegion(int32_t XP, int32_t YP, int32_t W, int32_t H, int32_t HorizontalKind, int32_t VerticalKind,
                          const TRect* Window) {
  return Build(AddSpeckledRects, XP, YP, W, H, HorizontalKind, VerticalKind, Window);
}
