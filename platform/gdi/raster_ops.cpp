// Raster operations on physical pixel values, brush patterns, and the solid/pattern fills that
// shapes and PatBlt share.
#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/pixel_spans.h"

#include <algorithm>

namespace {

// The GDI's 8 x 8 hatch patterns, one byte per row, the leftmost pixel in the high bit.
constexpr uint8_t kHatch[6][8] = {
    {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00},  // HS_HORIZONTAL
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // HS_VERTICAL
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // HS_FDIAGONAL
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // HS_BDIAGONAL
    {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08},  // HS_CROSS
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // HS_DIAGCROSS
};

}  // namespace

const uint8_t* HatchPattern(int32_t style) { return kHatch[std::clamp(style, 0, 5)]; }

namespace {

inline int32_t Mod(int32_t a, int32_t m) {
  int32_t r = a % m;
  return r < 0 ? r + m : r;
}

}  // namespace

void ApplyRop3(uint8_t rop, const uint32_t* s, const uint32_t* p, uint32_t* d, int32_t n, uint32_t mask) {
  switch (rop) {
    case 0xCC:  // SRCCOPY
      for (int32_t i = 0; i < n; ++i) d[i] = s[i];
      return;
    case 0xEE:  // SRCPAINT
      for (int32_t i = 0; i < n; ++i) d[i] |= s[i];
      return;
    case 0x88:  // SRCAND
      for (int32_t i = 0; i < n; ++i) d[i] &= s[i];
      return;
    case 0x66:  // SRCINVERT
      for (int32_t i = 0; i < n; ++i) d[i] ^= s[i];
      return;
    case 0x44:  // SRCERASE
      for (int32_t i = 0; i < n; ++i) d[i] = (s[i] & ~d[i]) & mask;
      return;
    case 0x33:  // NOTSRCCOPY
      for (int32_t i = 0; i < n; ++i) d[i] = ~s[i] & mask;
      return;
    case 0x55:  // DSTINVERT
      for (int32_t i = 0; i < n; ++i) d[i] = ~d[i] & mask;
      return;
    case 0xF0:  // PATCOPY
      for (int32_t i = 0; i < n; ++i) d[i] = p[i];
      return;
    case 0x5A:  // PATINVERT
      for (int32_t i = 0; i < n; ++i) d[i] ^= p[i];
      return;
    case 0x00:  // BLACKNESS
      for (int32_t i = 0; i < n; ++i) d[i] = 0;
      return;
    case 0xFF:  // WHITENESS
      for (int32_t i = 0; i < n; ++i) d[i] = mask;
      return;
    case 0xAA:  // destination unchanged
      return;
    case 0xE2:  // DSPDxax: the pattern where the source is set, the destination where it is clear
      for (int32_t i = 0; i < n; ++i) d[i] = (d[i] ^ (s[i] & (p[i] ^ d[i]))) & mask;
      return;
    default:
      break;
  }
  // Any other operation from its truth table: bit (P << 2 | S << 1 | D) of the code.
  static const uint32_t kNone[1] = {0};
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t P = p ? p[i] : kNone[0], S = s ? s[i] : kNone[0], D = d[i];
    uint32_t r = 0;
    for (int k = 0; k < 8; ++k) {
      if (!((rop >> k) & 1)) continue;
      r |= ((k & 4) ? P : ~P) & ((k & 2) ? S : ~S) & ((k & 1) ? D : ~D);
    }
    d[i] = r & mask;
  }
}

void ApplyRop2(int32_t rop2, uint32_t p, uint32_t* d, int32_t n, uint32_t mask) {
  switch (rop2) {
    case R2_COPYPEN:
      for (int32_t i = 0; i < n; ++i) d[i] = p;
      return;
    case R2_XORPEN:
      for (int32_t i = 0; i < n; ++i) d[i] ^= p;
      return;
    case R2_NOT:
      for (int32_t i = 0; i < n; ++i) d[i] = ~d[i] & mask;
      return;
    case R2_NOTXORPEN:
      for (int32_t i = 0; i < n; ++i) d[i] = ~(d[i] ^ p) & mask;
      return;
    case R2_NOP:
      return;
    default:
      break;
  }
  // Truth table in rop2 - 1: bit (P << 1 | D).
  const int32_t t = rop2 - 1;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t D = d[i];
    uint32_t r = 0;
    for (int k = 0; k < 4; ++k) {
      if (!((t >> k) & 1)) continue;
      r |= ((k & 2) ? p : ~p) & ((k & 1) ? D : ~D);
    }
    d[i] = r & mask;
  }
}

BrushPattern::BrushPattern(HDC__* dc, HBRUSH__* brush, const PixelRows& target) {
  if (!brush || brush->style == BS_NULL) return;
  org_ = dc->st.brushOrg;
  ColorMatcher matcher(target.colors);
  switch (brush->style) {
    case BS_SOLID:
      draws_ = true;
      solidPhys_ = RgbToPhys(target, ColorRefToRgb(brush->color), &matcher);
      return;
    case BS_HATCHED:
      draws_ = true;
      solid_ = false;
      hatchBits_ = HatchPattern(brush->hatch);
      fore_ = RgbToPhys(target, ColorRefToRgb(brush->color), &matcher);
      back_ = RgbToPhys(target, ColorRefToRgb(dc->st.bkColor), &matcher);
      transparentBack_ = dc->st.bkMode == TRANSPARENT;
      return;
    case BS_PATTERN: {
      if (brush->patWidth <= 0 || brush->patHeight <= 0) return;
      draws_ = true;
      solid_ = false;
      patW_ = brush->patWidth;
      patH_ = brush->patHeight;
      pat_.resize(static_cast<size_t>(patW_) * patH_);
      if (brush->patMono) {
        const uint32_t fg = RgbToPhys(target, ColorRefToRgb(dc->st.textColor), &matcher);
        const uint32_t bg = RgbToPhys(target, ColorRefToRgb(dc->st.bkColor), &matcher);
        for (size_t i = 0; i < pat_.size(); ++i) pat_[i] = brush->patBits[i] ? bg : fg;
      } else {
        for (size_t i = 0; i < pat_.size(); ++i) pat_[i] = RgbToPhys(target, brush->patColors[i], &matcher);
      }
      return;
    }
    default:
      return;
  }
}

void BrushPattern::Row(int32_t y, int32_t x0, int32_t n, uint32_t* phys, uint8_t* keep) const {
  if (keep) std::fill(keep, keep + n, 0);
  if (solid_) {
    std::fill(phys, phys + n, solidPhys_);
    return;
  }
  if (hatchBits_) {
    const uint8_t bits = hatchBits_[Mod(y - org_.Y, 8)];
    for (int32_t i = 0; i < n; ++i) {
      const bool on = (bits >> (7 - Mod(x0 + i - org_.X, 8))) & 1;
      phys[i] = on ? fore_ : back_;
      if (keep && !on && transparentBack_) keep[i] = 1;
    }
    return;
  }
  const uint32_t* row = pat_.data() + static_cast<size_t>(Mod(y - org_.Y, patH_)) * patW_;
  for (int32_t i = 0; i < n; ++i) phys[i] = row[Mod(x0 + i - org_.X, patW_)];
}

void PatFillDevice(HDC__* dc, HBRUSH__* brush, const TRect& area, uint8_t rop) {
  PixelRows* t = dc->Target();
  if (!t) return;
  // A solid brush copied onto 24- or 32-bit rows: the value written straight.
  if (rop == 0xF0 && brush && brush->style == BS_SOLID && (t->bitCount == 32 || t->bitCount == 24)) {
    const uint32_t phys = RgbToPhys(*t, ColorRefToRgb(brush->color));
    const uint32_t v = t->bitCount == 32 ? phys | t->alphaFill : phys;
    ForEachVisibleRectIn(dc, area, [&](const TRect& r) {
      // Whole rows of 32-bit pixels lying one after another (a top-down picture without padding)
      // are one run.
      if (t->bitCount == 32 && r.Left == 0 && r.Right == t->width && t->stride == ptrdiff_t{4} * t->width) {
        FillPixels32(reinterpret_cast<uint32_t*>(t->Row(r.Top)), static_cast<size_t>(r.Width()) * r.Height(), v);
        return;
      }
      // Rows in the order of their addresses (bottom-up pictures from the last): the memory
      // takes a rising run of stores faster.
      const bool upward = t->stride < 0;
      for (int32_t i = 0; i < r.Height(); ++i) {
        uint8_t* row = t->Row(upward ? r.Bottom - 1 - i : r.Top + i);
        if (t->bitCount == 32) {
          FillPixels32(reinterpret_cast<uint32_t*>(row) + r.Left, static_cast<size_t>(r.Width()), v);
        } else {
          for (int32_t x = r.Left; x < r.Right; ++x) {
            uint8_t* px = row + 3 * x;
            px[0] = static_cast<uint8_t>(v), px[1] = static_cast<uint8_t>(v >> 8), px[2] = static_cast<uint8_t>(v >> 16);
          }
        }
      }
    });
    return;
  }
  const bool usesPattern = RopUsesPattern(rop);
  BrushPattern pat(dc, brush, *t);
  if (usesPattern && !pat.Draws()) return;
  const uint32_t mask = t->ValueMask();
  std::vector<uint32_t> p, d;
  std::vector<uint8_t> keep;
  for (const TRect& r : VisibleRectsIn(dc, area)) {
    const int32_t n = r.Width();
    p.resize(n);
    d.resize(n);
    keep.resize(n);
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      if (usesPattern) pat.Row(y, r.Left, n, p.data(), keep.data());
      if (RopUsesDest(rop)) ReadPhys(*t, y, r.Left, n, d.data());
      ApplyRop3(rop, nullptr, p.data(), d.data(), n, mask);
      WritePhys(*t, y, r.Left, n, d.data(), (usesPattern && pat.HasTransparency()) ? keep.data() : nullptr);
    }
  }
}

namespace {

// Runs of covered pixels (coverage of at least half) in one mask row, cut to the visible rects.
template <class Fn>
void ForEachCoveredRun(HDC__* dc, const CoverageMask& mask, Fn fn) {
  for (const TRect& vis : VisibleRectsIn(dc, mask.bounds)) {
    for (int32_t y = vis.Top; y < vis.Bottom; ++y) {
      const uint8_t* row = mask.Row(y);
      int32_t x = vis.Left;
      while (x < vis.Right) {
        while (x < vis.Right && row[x - mask.bounds.Left] < 128) ++x;
        const int32_t start = x;
        while (x < vis.Right && row[x - mask.bounds.Left] >= 128) ++x;
        if (x > start) fn(y, start, x - start);
      }
    }
  }
}

}  // namespace

void CompositeSolid(HDC__* dc, const CoverageMask& mask, COLORREF color, int32_t rop2) {
  PixelRows* t = dc->Target();
  if (!t || mask.alpha.empty()) return;
  const uint32_t phys = RgbToPhys(*t, ColorRefToRgb(color));
  const uint32_t vmask = t->ValueMask();
  std::vector<uint32_t> d;
  ForEachCoveredRun(dc, mask, [&](int32_t y, int32_t x, int32_t n) {
    d.resize(n);
    if (rop2 != R2_COPYPEN) ReadPhys(*t, y, x, n, d.data());
    ApplyRop2(rop2, phys, d.data(), n, vmask);
    WritePhys(*t, y, x, n, d.data());
  });
}

void CompositeBrush(HDC__* dc, const CoverageMask& mask, HBRUSH__* brush, int32_t rop2) {
  PixelRows* t = dc->Target();
  if (!t || mask.alpha.empty()) return;
  BrushPattern pat(dc, brush, *t);
  if (!pat.Draws()) return;
  if (pat.Solid()) {
    CompositeSolid(dc, mask, RgbToColorRef(PhysToRgb(*t, pat.SolidPhys())), rop2);
    return;
  }
  const uint32_t vmask = t->ValueMask();
  std::vector<uint32_t> p, d;
  std::vector<uint8_t> keep;
  ForEachCoveredRun(dc, mask, [&](int32_t y, int32_t x, int32_t n) {
    p.resize(n);
    d.resize(n);
    keep.resize(n);
    pat.Row(y, x, n, p.data(), keep.data());
    ReadPhys(*t, y, x, n, d.data());
    for (int32_t i = 0; i < n; ++i) ApplyRop2(rop2, p[i], &d[i], 1, vmask);
    WritePhys(*t, y, x, n, d.data(), pat.HasTransparency() ? keep.data() : nullptr);
  });
}

void CompositeBlend(HDC__* dc, const CoverageMask& mask, COLORREF color) {
  PixelRows* t = dc->Target();
  if (!t || mask.alpha.empty()) return;
  const uint32_t rgb = ColorRefToRgb(color);
  const int32_t cr = (rgb >> 16) & 0xFF, cg = (rgb >> 8) & 0xFF, cb = rgb & 0xFF;
  ColorMatcher matcher(t->colors);
  std::vector<uint32_t> px;
  std::vector<uint8_t> keep;
  for (const TRect& vis : VisibleRectsIn(dc, mask.bounds)) {
    const int32_t n = vis.Width();
    px.resize(n);
    keep.resize(n);
    for (int32_t y = vis.Top; y < vis.Bottom; ++y) {
      const uint8_t* row = mask.Row(y) + (vis.Left - mask.bounds.Left);
      bool any = false;
      for (int32_t i = 0; i < n && !any; ++i) any = row[i] != 0;
      if (!any) continue;
      if (t->Indexed()) {
        // Palette rows take the colour where the coverage is at least half.
        ReadPhys(*t, y, vis.Left, n, px.data());
        const uint32_t phys = RgbToPhys(*t, rgb, &matcher);
        bool changed = false;
        for (int32_t i = 0; i < n; ++i)
          if (row[i] >= 128) {
            px[i] = phys;
            changed = true;
          }
        if (changed) WritePhys(*t, y, vis.Left, n, px.data());
        continue;
      }
      ReadRgb(*t, y, vis.Left, n, px.data());
      for (int32_t i = 0; i < n; ++i) {
        const int32_t a = row[i];
        keep[i] = a == 0;
        if (a == 0) continue;
        const uint32_t c = px[i];
        const int32_t r = (((c >> 16) & 0xFF) * (255 - a) + cr * a + 127) / 255;
        const int32_t g = (((c >> 8) & 0xFF) * (255 - a) + cg * a + 127) / 255;
        const int32_t b = ((c & 0xFF) * (255 - a) + cb * a + 127) / 255;
        px[i] = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
      }
      RgbToPhysRow(*t, px.data(), n, px.data(), matcher);
      WritePhys(*t, y, vis.Left, n, px.data(), keep.data());
    }
  }
}

void CompositeArgb(HDC__* dc, const TRect& box, const uint32_t* argb) {
  PixelRows* t = dc->Target();
  if (!t || IsRectEmpty(box)) return;
  ColorMatcher matcher(t->colors);
  std::vector<uint32_t> px;
  std::vector<uint8_t> keep;
  const int32_t stride = box.Width();
  for (const TRect& vis : VisibleRectsIn(dc, box)) {
    const int32_t n = vis.Width();
    px.resize(n);
    keep.resize(n);
    for (int32_t y = vis.Top; y < vis.Bottom; ++y) {
      const uint32_t* src = argb + static_cast<size_t>(y - box.Top) * stride + (vis.Left - box.Left);
      bool any = false;
      for (int32_t i = 0; i < n && !any; ++i) any = (src[i] >> 24) != 0;
      if (!any) continue;
      ReadRgb(*t, y, vis.Left, n, px.data());
      for (int32_t i = 0; i < n; ++i) {
        const uint32_t s = src[i], a = s >> 24;
        keep[i] = a == 0;
        if (a == 0) continue;
        const uint32_t d = px[i];
        uint32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
          const uint32_t v = ((s >> shift) & 0xFF) + (((d >> shift) & 0xFF) * (255 - a) + 127) / 255;
          out |= std::min<uint32_t>(v, 255) << shift;
        }
        px[i] = out;
      }
      RgbToPhysRow(*t, px.data(), n, px.data(), matcher);
      WritePhys(*t, y, vis.Left, n, px.data(), keep.data());
    }
  }
}
