#pragma once
// The drawing layer's own view of its objects: what stands behind each handle of gdi.h, the
// state of a device context, and the helpers the drawing files share. Included only by the
// drawing layer's .cpp files.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/pixel_rows.h"

enum class GdiKind : uint8_t {
  kPen = OBJ_PEN, kBrush = OBJ_BRUSH, kDC = OBJ_DC, kPalette = OBJ_PAL, kFont = OBJ_FONT,
  kBitmap = OBJ_BITMAP, kRegion = OBJ_REGION
};

struct GdiObject {
  explicit GdiObject(GdiKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  const GdiKind kind;
  bool stock = false;
  // How many DCs hold the object selected; DeleteObject refuses while it is above 0.
  std::atomic<int32_t> selectCount{0};
};

// Registers a new object so that handle checks accept it; returns it.
void RegisterGdiObject(GdiObject* object);
template <class T>
T* RegisterGdi(std::unique_ptr<T> object) {
  T* p = object.release();
  RegisterGdiObject(p);
  return p;
}
void UnregisterGdiObject(GdiObject* object);
// The live object behind a handle, or null when the handle is not a live object of that kind.
GdiObject* LookupGdi(const void* handle);
template <class T>
T* Lookup(const void* handle, GdiKind kind) {
  GdiObject* o = LookupGdi(handle);
  return (o && o->kind == kind) ? static_cast<T*>(o) : nullptr;
}

// Pixel blocks come from calloc: a large block is then fresh zero pages, not zeroed a second time.
struct FreePixelBlock {
  void operator()(uint8_t* p) const { std::free(p); }
};

struct HBITMAP__ : GdiObject {
  HBITMAP__() : GdiObject(GdiKind::kBitmap) {}
  PixelRows rows;  // geometry, format and colour table of the pixels
  bool dib = false;  // a DIB section (GetObject reports bmBits and the header)
  BITMAPINFOHEADER header;  // the header a DIB section was made with
  std::unique_ptr<uint8_t[], FreePixelBlock> storage;  // the pixel block (zeroed on creation)
  size_t storageSize = 0;
  uint8_t* block = nullptr;  // lowest address of the pixel block
};

struct HPEN__ : GdiObject {
  HPEN__() : GdiObject(GdiKind::kPen) {}
  LOGPEN lp;
};

struct HBRUSH__ : GdiObject {
  HBRUSH__() : GdiObject(GdiKind::kBrush) {}
  uint32_t style = BS_SOLID;
  COLORREF color = 0;
  int32_t hatch = 0;
  // Pattern brushes keep a copy of their bitmap's pixels: colours as COLORREF, or for a
  // monochrome pattern the bits (1 = background colour, 0 = text colour).
  int32_t patWidth = 0;
  int32_t patHeight = 0;
  bool patMono = false;
  std::vector<uint32_t> patColors;
  std::vector<uint8_t> patBits;
};

struct FontEngine;  // text.cpp
struct HFONT__ : GdiObject {
  HFONT__();
  ~HFONT__() override;
  LOGFONT lf;
  std::unique_ptr<FontEngine> engine;  // made on first use
  std::mutex engineLock;
};

struct HPALETTE__ : GdiObject {
  HPALETTE__() : GdiObject(GdiKind::kPalette) {}
  std::vector<PALETTEENTRY> entries;
};

struct HRGN__ : GdiObject {
  HRGN__() : GdiObject(GdiKind::kRegion) {}
  // Non-overlapping rectangles sorted by top then left, in bands of equal top and bottom.
  std::vector<TRect> rects;
};

// A 2-D affine map on integer pixel coordinates: x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
struct Affine {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  bool IsIdentity() const { return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1 && dx == 0 && dy == 0; }
  bool IsTranslation() const { return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1; }
  // Scales and flips along the axes, no rotation or shear.
  bool IsAxisAligned() const { return m12 == 0 && m21 == 0; }
  void Map(double x, double y, double& ox, double& oy) const {
    ox = m11 * x + m21 * y + dx;
    oy = m12 * x + m22 * y + dy;
  }
};

struct DCState {
  HPEN pen = nullptr;
  HBRUSH brush = nullptr;
  HFONT font = nullptr;
  HPALETTE palette = nullptr;
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  int32_t bkMode = OPAQUE;
  int32_t rop2 = R2_COPYPEN;
  int32_t stretchMode = BLACKONWHITE;
  uint32_t textAlign = 0;
  int32_t polyFillMode = ALTERNATE;
  TPoint brushOrg;
  int32_t graphicsMode = GM_COMPATIBLE;
  XFORM xform;
  TPoint viewportOrg;
  TPoint windowOrg;
  TPoint curPos;  // logical
  bool hasClip = false;
  std::vector<TRect> clip;  // device coordinates, banded like a region
};

struct HDC__ : GdiObject {
  HDC__() : GdiObject(GdiKind::kDC) {}
  ~HDC__() override;
  DCState st;
  std::vector<DCState> saved;
  HBITMAP bitmap = nullptr;  // memory DC: the selected bitmap
  bool surfaceDC = false;
  // Pixels per inch the DC reports (a printer page's); 0 for the screen's.
  int32_t dpiX = 0;
  int32_t dpiY = 0;
  PixelRows surface;  // surface DC: the caller's rows
  std::vector<RGBQUAD> surfaceColors;
  // The rows the DC draws on (the selected bitmap's or the surface's); null when there are none.
  PixelRows* Target() {
    if (surfaceDC) return &surface;
    return bitmap ? &bitmap->rows : nullptr;
  }
  // Logical to device map of the current state.
  Affine ToDevice() const;
  Affine ToLogical() const;
};

// Selection bookkeeping for objects a DC holds.
void AddSelect(HGDIOBJ object);
void ReleaseSelect(HGDIOBJ object);

HDC__* LookupDC(HDC dc);
// The visible area of a DC in device coordinates: the target's bounds, cut by the clip region.
std::vector<TRect> VisibleRects(HDC__* dc);
// Visible rectangles cut to a device rectangle.
std::vector<TRect> VisibleRectsIn(HDC__* dc, const TRect& area);
// The same rectangles handed to fn one by one, without a list (for the small fills painting makes
// by the thousand).
template <class Fn>
void ForEachVisibleRectIn(HDC__* dc, const TRect& area, Fn fn) {
  PixelRows* t = dc->Target();
  if (!t || !t->Valid()) return;
  TRect bounded;
  if (!IntersectRect(bounded, area, t->Bounds())) return;
  if (!dc->st.hasClip) return fn(bounded);
  for (const TRect& c : dc->st.clip) {
    TRect i;
    if (IntersectRect(i, c, bounded)) fn(i);
  }
}

// The pattern of a brush for drawing: fills phys[0..n) for row y from x0 and, where the pattern
// leaves the destination alone (a hatch's background with a transparent background mode), sets
// keep[i] = 1. Returns false when the brush draws nothing at all (a null brush).
class BrushPattern {
 public:
  BrushPattern(HDC__* dc, HBRUSH__* brush, const PixelRows& target);
  bool Draws() const { return draws_; }
  bool Solid() const { return solid_; }
  uint32_t SolidPhys() const { return solidPhys_; }
  bool HasTransparency() const { return transparentBack_; }
  void Row(int32_t y, int32_t x0, int32_t n, uint32_t* phys, uint8_t* keep) const;

 private:
  bool draws_ = false;
  bool solid_ = true;
  bool transparentBack_ = false;
  uint32_t solidPhys_ = 0;
  uint32_t fore_ = 0;
  uint32_t back_ = 0;
  const uint8_t* hatchBits_ = nullptr;
  TPoint org_;
  int32_t patW_ = 0;
  int32_t patH_ = 0;
  std::vector<uint32_t> pat_;  // phys values of a pattern brush
};

// Applies a ternary raster operation to n pixels: d = rop(p, s, d), masked to the bit depth.
void ApplyRop3(uint8_t rop, const uint32_t* s, const uint32_t* p, uint32_t* d, int32_t n, uint32_t valueMask);
// Applies a binary raster operation of a pen or brush (R2_*): d = rop2(p, d).
void ApplyRop2(int32_t rop2, uint32_t p, uint32_t* d, int32_t n, uint32_t valueMask);
// True when a ternary raster operation reads the source, the pattern or the destination.
inline bool RopUsesSource(uint8_t rop) { return ((rop >> 2) ^ rop) & 0x33; }
inline bool RopUsesPattern(uint8_t rop) { return ((rop >> 4) ^ rop) & 0x0F; }
inline bool RopUsesDest(uint8_t rop) { return ((rop >> 1) ^ rop) & 0x55; }

// Fills device rectangles with the DC's brush by a pattern raster operation (the PatBlt core).
void PatFillDevice(HDC__* dc, HBRUSH__* brush, const TRect& area, uint8_t rop);

// A coverage mask in device space: one byte per pixel of `bounds` (0 none, 255 full).
struct CoverageMask {
  TRect bounds;
  std::vector<uint8_t> alpha;
  uint8_t* Row(int32_t y) { return alpha.data() + static_cast<size_t>(y - bounds.Top) * bounds.Width(); }
  const uint8_t* Row(int32_t y) const {
    return alpha.data() + static_cast<size_t>(y - bounds.Top) * bounds.Width();
  }
  void Reset(const TRect& b) {
    bounds = b;
    alpha.assign(static_cast<size_t>(std::max(0, b.Width())) * std::max(0, b.Height()), 0);
  }
};

// Draws the covered pixels of a mask (coverage above half) with a solid colour by the DC's
// binary raster operation, inside the visible area.
void CompositeSolid(HDC__* dc, const CoverageMask& mask, COLORREF color, int32_t rop2);
// Draws the covered pixels of a mask with the brush pattern by the DC's binary raster operation.
void CompositeBrush(HDC__* dc, const CoverageMask& mask, HBRUSH__* brush, int32_t rop2);
// Blends a colour into the pixels of a mask by their coverage (antialiased text).
void CompositeBlend(HDC__* dc, const CoverageMask& mask, COLORREF color);

// The GDI's 8 x 8 hatch of a style (HS_*): one byte per row, the leftmost pixel in the high bit.
const uint8_t* HatchPattern(int32_t style);

// The stock objects the DCs start with.
HPEN__* StockPen(int32_t index);
HBRUSH__* StockBrush(int32_t index);
HFONT__* StockFont();
HBITMAP__* StockBitmap();

// A new bitmap object (registered) with zeroed rows: 1, 4, 8, 16, 24 or 32 bits, rows padded to
// 4 bytes, stored bottom-up unless topDown. Null when the size is invalid or cannot be allocated.
HBITMAP__* NewBitmapObject(int32_t width, int32_t height, int32_t bitCount, bool dib, bool topDown,
                           const std::vector<RGBQUAD>& colors, const uint32_t* masks);
// Rows over a caller's DIB (header, colour table, bits), checked: false for an invalid header.
bool DibRowsFromInfo(const BITMAPINFO* info, const void* bits, PixelRows& out);
// Entries in the colour table that follows a header (for BI_BITFIELDS: the three masks).
uint32_t DibColorTableSize(const BITMAPINFOHEADER& h);
// Copies a block of pixels between rows of any two formats (colours converted, palette indexes
// matched to the nearest entry). Both blocks lie inside their rows.
void ConvertRows(const PixelRows& src, int32_t sx, int32_t sy, const PixelRows& dst, int32_t dx, int32_t dy,
                 int32_t w, int32_t h);
// True when two row sets store colours the same way (raw values can be copied).
bool SameFormat(const PixelRows& a, const PixelRows& b);

// Blends premultiplied 0xAARRGGBB pixels (one row of `box.Width()` values per row of `box`, in
// device coordinates) over the DC's rows inside its visible area.
void CompositeArgb(HDC__* dc, const TRect& box, const uint32_t* argb);
