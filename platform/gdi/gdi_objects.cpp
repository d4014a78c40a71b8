// GDI objects and device contexts: the handle registry, stock objects, pens, brushes, palettes,
// selection, DC state, saving and restoring, and the coordinate mapping.
#include <atomic>
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "platform/gdi/gdi_internal.h"

namespace {

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}
std::unordered_set<const GdiObject*>& Registry() {
  static auto* s = new std::unordered_set<const GdiObject*>();
  return *s;
}

// Counts the objects unregistered so far, spread over buckets by address. Each thread remembers the
// last handles it found in the registry, with its bucket's count at the time, and trusts them until
// that count moves: only an unregistration makes a valid handle stale (a later object at the same
// address falls in the same bucket and is looked up afresh), and the drawing calls look up the same
// DC, pen and brush again and again while a paint frees other, short-lived objects.
constexpr unsigned kUnregisteredBuckets = 4096;
std::atomic<uint64_t> g_unregistered[kUnregisteredBuckets];
unsigned BucketOf(const void* handle) {
  return static_cast<unsigned>((reinterpret_cast<uintptr_t>(handle) >> 4) * 0x9E3779B97F4A7C15ull >> 52);
}
// Direct-mapped by address: a paint uses a few dozen objects (DCs, pens, brushes, fonts, regions,
// pictures) again and again.
struct FoundHandles {
  static constexpr unsigned kSize = 64;
  const void* handles[kSize] = {};
  uint64_t generations[kSize] = {};
};
unsigned SlotOf(const void* handle) {
  return static_cast<unsigned>((reinterpret_cast<uintptr_t>(handle) >> 4) * 0x9E3779B97F4A7C15ull >> 40) %
         FoundHandles::kSize;
}
thread_local FoundHandles t_found;

// Every handle points at its object's GdiObject base, which single inheritance puts at offset 0.
GdiObject* AsObject(const void* handle) { return static_cast<GdiObject*>(const_cast<void*>(handle)); }

template <class T>
T* MakeStock(std::unique_ptr<T> o) {
  o->stock = true;
  return RegisterGdi(std::move(o));
}

struct Stock {
  HBRUSH__* brushes[6];
  HPEN__* pens[3];
  HFONT__* font;
  HFONT__* guiFont;
  HPALETTE__* palette;
  HBITMAP__* bitmap;
  HBRUSH__* dcBrush;
  HPEN__* dcPen;
};

HBRUSH__* NewBrush(uint32_t style, COLORREF color, int32_t hatch) {
  auto b = std::make_unique<HBRUSH__>();
  b->style = style;
  b->color = color & 0xFFFFFF;
  b->hatch = hatch;
  return b.release();
}

HPEN__* NewPen(uint32_t style, int32_t width, COLORREF color) {
  auto p = std::make_unique<HPEN__>();
  p->lp.lopnStyle = style;
  p->lp.lopnWidth = {std::max(0, width), 0};
  p->lp.lopnColor = color & 0xFFFFFF;
  return p.release();
}

const Stock& Stocks() {
  static const Stock* s = [] {
    auto* st = new Stock();
    const COLORREF grays[5] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    for (int i = 0; i < 5; ++i) st->brushes[i] = MakeStock(std::unique_ptr<HBRUSH__>(NewBrush(BS_SOLID, grays[i], 0)));
    st->brushes[5] = MakeStock(std::unique_ptr<HBRUSH__>(NewBrush(BS_NULL, 0, 0)));
    st->pens[0] = MakeStock(std::unique_ptr<HPEN__>(NewPen(PS_SOLID, 1, 0xFFFFFF)));
    st->pens[1] = MakeStock(std::unique_ptr<HPEN__>(NewPen(PS_SOLID, 1, 0)));
    st->pens[2] = MakeStock(std::unique_ptr<HPEN__>(NewPen(PS_NULL, 1, 0)));
    st->dcBrush = MakeStock(std::unique_ptr<HBRUSH__>(NewBrush(BS_SOLID, 0xFFFFFF, 0)));
    st->dcPen = MakeStock(std::unique_ptr<HPEN__>(NewPen(PS_SOLID, 1, 0)));
    auto font = std::make_unique<HFONT__>();
    std::strcpy(font->lf.lfFaceName, "DejaVu Sans");
    font->lf.lfHeight = -13;
    font->lf.lfWeight = FW_BOLD;
    st->font = MakeStock(std::move(font));
    auto gui = std::make_unique<HFONT__>();
    std::strcpy(gui->lf.lfFaceName, "DejaVu Sans");
    gui->lf.lfHeight = -11;
    gui->lf.lfWeight = FW_NORMAL;
    st->guiFont = MakeStock(std::move(gui));
    auto pal = std::make_unique<HPALETTE__>();
    for (const RGBQUAD& q : StaticColors()) pal->entries.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
    st->palette = MakeStock(std::move(pal));
    auto bmp = std::make_unique<HBITMAP__>();
    bmp->storageSize = 4;
    bmp->storage.reset(static_cast<uint8_t*>(std::calloc(4, 1)));
    bmp->block = bmp->storage.get();
    bmp->rows.row0 = bmp->block;
    bmp->rows.stride = 4;
    bmp->rows.width = 1;
    bmp->rows.height = 1;
    bmp->rows.bitCount = 1;
    bmp->rows.monoDDB = true;
    bmp->rows.colors = MonochromeColors();
    st->bitmap = MakeStock(std::move(bmp));
    return st;
  }();
  return *s;
}

Affine XformToAffine(const XFORM& x) {
  return {x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy};
}

Affine Multiply(const Affine& a, const Affine& b) {
  // a then b.
  Affine r;
  r.m11 = a.m11 * b.m11 + a.m12 * b.m21;
  r.m12 = a.m11 * b.m12 + a.m12 * b.m22;
  r.m21 = a.m21 * b.m11 + a.m22 * b.m21;
  r.m22 = a.m21 * b.m12 + a.m22 * b.m22;
  r.dx = a.dx * b.m11 + a.dy * b.m21 + b.dx;
  r.dy = a.dx * b.m12 + a.dy * b.m22 + b.dy;
  return r;
}

XFORM AffineToXform(const Affine& a) {
  return {static_cast<float>(a.m11), static_cast<float>(a.m12), static_cast<float>(a.m21),
          static_cast<float>(a.m22), static_cast<float>(a.dx),  static_cast<float>(a.dy)};
}

void SelectInitial(HDC__* dc) {
  const Stock& s = Stocks();
  dc->st.pen = reinterpret_cast<HPEN>(s.pens[1]);
  dc->st.brush = reinterpret_cast<HBRUSH>(s.brushes[0]);
  dc->st.font = reinterpret_cast<HFONT>(s.guiFont);
  dc->st.palette = reinterpret_cast<HPALETTE>(s.palette);
}

HDC NewDC() {
  auto dc = std::make_unique<HDC__>();
  SelectInitial(dc.get());
  return reinterpret_cast<HDC>(RegisterGdi(std::move(dc)));
}

void ReleaseStateObjects(const DCState& st) {
  ReleaseSelect(st.pen);
  ReleaseSelect(st.brush);
  ReleaseSelect(st.font);
}
void AddStateObjects(const DCState& st) {
  AddSelect(st.pen);
  AddSelect(st.brush);
  AddSelect(st.font);
}

}  // namespace

// ---- Registry -----------------------------------------------------------------------------------

void RegisterGdiObject(GdiObject* object) {
  std::lock_guard<std::mutex> g(RegistryLock());
  Registry().insert(object);
}

void UnregisterGdiObject(GdiObject* object) {
  std::lock_guard<std::mutex> g(RegistryLock());
  Registry().erase(object);
  g_unregistered[BucketOf(object)].fetch_add(1, std::memory_order_release);
}

GdiObject* LookupGdi(const void* handle) {
  if (!handle) return nullptr;
  FoundHandles& found = t_found;
  std::atomic<uint64_t>& bucket = g_unregistered[BucketOf(handle)];
  // Read before the registry is asked: an unregistration after the answer moves the count.
  const uint64_t generation = bucket.load(std::memory_order_acquire);
  const unsigned slot = SlotOf(handle);
  if (found.handles[slot] == handle && found.generations[slot] == generation) return AsObject(handle);
  GdiObject* o = AsObject(handle);
  {
    std::lock_guard<std::mutex> g(RegistryLock());
    if (!Registry().count(o)) return nullptr;
  }
  found.handles[slot] = handle;
  found.generations[slot] = generation;
  return o;
}

int32_t GdiObjectCount(uint32_t objectType) {
  const uint32_t kind = objectType == OBJ_MEMDC ? static_cast<uint32_t>(OBJ_DC) : objectType;
  std::lock_guard<std::mutex> g(RegistryLock());
  int32_t n = 0;
  for (const GdiObject* o : Registry())
    if (!o->stock && (kind == 0 || static_cast<uint32_t>(o->kind) == kind)) ++n;
  return n;
}

void AddSelect(HGDIOBJ object) {
  if (GdiObject* o = LookupGdi(object)) ++o->selectCount;
}
void ReleaseSelect(HGDIOBJ object) {
  if (GdiObject* o = LookupGdi(object)) --o->selectCount;
}

HDC__* LookupDC(HDC dc) { return Lookup<HDC__>(dc, GdiKind::kDC); }

HPEN__* StockPen(int32_t index) {
  const Stock& s = Stocks();
  return index == WHITE_PEN ? s.pens[0] : index == NULL_PEN ? s.pens[2] : s.pens[1];
}
HBRUSH__* StockBrush(int32_t index) {
  const Stock& s = Stocks();
  return (index >= 0 && index <= NULL_BRUSH) ? s.brushes[index] : s.brushes[0];
}
HFONT__* StockFont() { return Stocks().guiFont; }
HBITMAP__* StockBitmap() { return Stocks().bitmap; }

HDC__::~HDC__() {
  ReleaseStateObjects(st);
  if (bitmap) ReleaseSelect(bitmap);
}

Affine HDC__::ToDevice() const {
  Affine a;
  if (st.graphicsMode == GM_ADVANCED) a = XformToAffine(st.xform);
  a.dx += st.viewportOrg.X - st.windowOrg.X;
  a.dy += st.viewportOrg.Y - st.windowOrg.Y;
  return a;
}

Affine HDC__::ToLogical() const {
  Affine a = ToDevice();
  double det = a.m11 * a.m22 - a.m12 * a.m21;
  if (det == 0) return Affine{};
  Affine r;
  r.m11 = a.m22 / det;
  r.m12 = -a.m12 / det;
  r.m21 = -a.m21 / det;
  r.m22 = a.m11 / det;
  r.dx = -(a.dx * r.m11 + a.dy * r.m21);
  r.dy = -(a.dx * r.m12 + a.dy * r.m22);
  return r;
}

// ---- Objects ------------------------------------------------------------------------------------

HGDIOBJ GetStockObject(int32_t index) {
  const Stock& s = Stocks();
  switch (index) {
    case WHITE_BRUSH:
    case LTGRAY_BRUSH:
    case GRAY_BRUSH:
    case DKGRAY_BRUSH:
    case BLACK_BRUSH:
    case NULL_BRUSH:
      return s.brushes[index];
    case WHITE_PEN:
      return s.pens[0];
    case BLACK_PEN:
      return s.pens[1];
    case NULL_PEN:
      return s.pens[2];
    case SYSTEM_FONT:
      return s.font;
    case DEFAULT_GUI_FONT:
      return s.guiFont;
    case DEFAULT_PALETTE:
      return s.palette;
    case DC_BRUSH:
      return s.dcBrush;
    case DC_PEN:
      return s.dcPen;
    default:
      return nullptr;
  }
}

HPEN CreatePen(int32_t style, int32_t width, COLORREF color) {
  if (style < 0 || style > static_cast<int32_t>(PS_INSIDEFRAME)) style = PS_SOLID;
  HPEN__* p = NewPen(static_cast<uint32_t>(style), width, color);
  RegisterGdiObject(p);
  return p;
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) return nullptr;
  return CreatePen(static_cast<int32_t>(pen->lopnStyle), pen->lopnWidth.X, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  HBRUSH__* b = NewBrush(BS_SOLID, color, 0);
  RegisterGdiObject(b);
  return b;
}

HBRUSH CreateHatchBrush(int32_t hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
  HBRUSH__* b = NewBrush(BS_HATCHED, color, hatch);
  RegisterGdiObject(b);
  return b;
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  HBITMAP__* bm = Lookup<HBITMAP__>(bitmap, GdiKind::kBitmap);
  if (!bm || !bm->rows.Valid()) return nullptr;
  auto b = std::make_unique<HBRUSH__>();
  b->style = BS_PATTERN;
  b->patWidth = bm->rows.width;
  b->patHeight = bm->rows.height;
  b->patMono = bm->rows.bitCount == 1;
  const size_t count = static_cast<size_t>(b->patWidth) * b->patHeight;
  if (b->patMono) {
    b->patBits.resize(count);
    std::vector<uint32_t> row(b->patWidth);
    for (int32_t y = 0; y < b->patHeight; ++y) {
      ReadPhys(bm->rows, y, 0, b->patWidth, row.data());
      for (int32_t x = 0; x < b->patWidth; ++x) b->patBits[static_cast<size_t>(y) * b->patWidth + x] = row[x] & 1;
    }
  } else {
    b->patColors.resize(count);
    for (int32_t y = 0; y < b->patHeight; ++y)
      ReadRgb(bm->rows, y, 0, b->patWidth, b->patColors.data() + static_cast<size_t>(y) * b->patWidth);
  }
  return RegisterGdi(std::move(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) return nullptr;
  switch (brush->lbStyle) {
    case BS_SOLID:
      return CreateSolidBrush(brush->lbColor);
    case BS_NULL: {
      HBRUSH__* b = NewBrush(BS_NULL, 0, 0);
      RegisterGdiObject(b);
      return b;
    }
    case BS_HATCHED:
      return CreateHatchBrush(static_cast<int32_t>(brush->lbHatch), brush->lbColor);
    case BS_PATTERN:
      return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    default:
      return nullptr;
  }
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palNumEntries == 0) return nullptr;
  auto p = std::make_unique<HPALETTE__>();
  p->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return RegisterGdi(std::move(p));
}

HPALETTE CreatePaletteFromEntries(const PALETTEENTRY* entries, uint32_t count) {
  if (!entries || count == 0 || count > 0xFFFF) return nullptr;
  auto p = std::make_unique<HPALETTE__>();
  p->entries.assign(entries, entries + count);
  return RegisterGdi(std::move(p));
}

HPALETTE CreateHalftonePalette(HDC) {
  auto p = std::make_unique<HPALETTE__>();
  for (const RGBQUAD& q : HalftoneColors()) p->entries.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
  return RegisterGdi(std::move(p));
}

uint32_t GetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, PALETTEENTRY* entries) {
  HPALETTE__* p = Lookup<HPALETTE__>(palette, GdiKind::kPalette);
  if (!p) return 0;
  if (!entries) return static_cast<uint32_t>(p->entries.size());
  uint32_t n = 0;
  for (; n < count && start + n < p->entries.size(); ++n) entries[n] = p->entries[start + n];
  return n;
}

uint32_t SetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, const PALETTEENTRY* entries) {
  HPALETTE__* p = Lookup<HPALETTE__>(palette, GdiKind::kPalette);
  if (!p || !entries || p->stock) return 0;
  uint32_t n = 0;
  for (; n < count && start + n < p->entries.size(); ++n) p->entries[start + n] = entries[n];
  return n;
}

uint32_t GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
  HPALETTE__* p = Lookup<HPALETTE__>(palette, GdiKind::kPalette);
  if (!p || p->entries.empty()) return CLR_INVALID;
  std::vector<RGBQUAD> q;
  for (const PALETTEENTRY& e : p->entries) q.push_back({e.peBlue, e.peGreen, e.peRed, 0});
  ColorMatcher m(q);
  return m.Index(ColorRefToRgb(color));
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool) {
  HDC__* d = LookupDC(dc);
  if (!d || !Lookup<HPALETTE__>(palette, GdiKind::kPalette)) return nullptr;
  HPALETTE old = d->st.palette;
  d->st.palette = palette;
  return old;
}

uint32_t RealizePalette(HDC dc) { return LookupDC(dc) ? 0 : CLR_INVALID; }

bool DeleteObject(HGDIOBJ object) {
  GdiObject* o = LookupGdi(object);
  if (!o || o->kind == GdiKind::kDC) return false;
  if (o->stock) return true;  // the GDI accepts it and keeps the object
  if (o->selectCount > 0) return false;
  UnregisterGdiObject(o);
  delete o;
  return true;
}

uint32_t GetObjectType(HGDIOBJ object) {
  GdiObject* o = LookupGdi(object);
  if (!o) return 0;
  if (o->kind == GdiKind::kDC) {
    HDC__* dc = static_cast<HDC__*>(o);
    return dc->surfaceDC ? OBJ_DC : OBJ_MEMDC;
  }
  return static_cast<uint32_t>(o->kind);
}

int32_t GetObject(HGDIOBJ object, int32_t size, void* buffer) {
  GdiObject* o = LookupGdi(object);
  if (!o) return 0;
  auto put = [&](const void* data, int32_t n) -> int32_t {
    if (!buffer) return n;
    int32_t m = std::min(n, size);
    if (m <= 0) return 0;
    std::memcpy(buffer, data, static_cast<size_t>(m));
    return m;
  };
  switch (o->kind) {
    case GdiKind::kPen:
      return put(&static_cast<HPEN__*>(o)->lp, sizeof(LOGPEN));
    case GdiKind::kBrush: {
      auto* b = static_cast<HBRUSH__*>(o);
      LOGBRUSH lb;
      lb.lbStyle = b->style;
      lb.lbColor = b->color;
      lb.lbHatch = static_cast<uintptr_t>(b->hatch);
      return put(&lb, sizeof lb);
    }
    case GdiKind::kFont:
      return put(&static_cast<HFONT__*>(o)->lf, sizeof(LOGFONT));
    case GdiKind::kPalette: {
      uint16_t n = static_cast<uint16_t>(static_cast<HPALETTE__*>(o)->entries.size());
      return put(&n, sizeof n);
    }
    case GdiKind::kBitmap: {
      auto* b = static_cast<HBITMAP__*>(o);
      DIBSECTION ds;
      ds.dsBm.bmType = 0;
      ds.dsBm.bmWidth = b->rows.width;
      ds.dsBm.bmHeight = b->rows.height;
      ds.dsBm.bmWidthBytes = static_cast<int32_t>(b->rows.stride < 0 ? -b->rows.stride : b->rows.stride);
      ds.dsBm.bmPlanes = 1;
      ds.dsBm.bmBitsPixel = static_cast<uint16_t>(b->rows.bitCount);
      ds.dsBm.bmBits = b->dib ? b->block : nullptr;
      if (b->dib && size >= static_cast<int32_t>(sizeof(DIBSECTION))) {
        ds.dsBmih = b->header;
        ds.dsBitfields[0] = b->rows.masks[0];
        ds.dsBitfields[1] = b->rows.masks[1];
        ds.dsBitfields[2] = b->rows.masks[2];
        return put(&ds, sizeof ds);
      }
      if (!buffer && b->dib) return sizeof(DIBSECTION);
      return put(&ds.dsBm, sizeof(BITMAP));
    }
    default:
      return 0;
  }
}

// ---- Device contexts ------------------------------------------------------------------------------

HDC CreateCompatibleDC(HDC) {
  HDC dc = NewDC();
  HDC__* d = LookupDC(dc);
  d->bitmap = reinterpret_cast<HBITMAP>(StockBitmap());
  AddStateObjects(d->st);
  return dc;
}

HDC CreateSurfaceDC(void* bits, int32_t width, int32_t height, ptrdiff_t stride, int32_t bitCount,
                    const RGBQUAD* colors, int32_t colorCount, bool opaqueAlpha) {
  if (!bits || width <= 0 || height <= 0) return nullptr;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    return nullptr;
  HDC dc = NewDC();
  HDC__* d = LookupDC(dc);
  d->surfaceDC = true;
  d->surface.row0 = static_cast<uint8_t*>(bits);
  d->surface.stride = stride;
  d->surface.width = width;
  d->surface.height = height;
  d->surface.bitCount = bitCount;
  if (bitCount == 16) {
    d->surface.masks[0] = 0xF800;
    d->surface.masks[1] = 0x07E0;
    d->surface.masks[2] = 0x001F;
  }
  d->surface.DefaultMasks();
  d->surface.alphaFill = (opaqueAlpha && bitCount == 32) ? 0xFF000000u : 0;
  if (bitCount <= 8) {
    const int32_t n = 1 << bitCount;
    if (colors && colorCount > 0) d->surface.colors.assign(colors, colors + std::min(colorCount, n));
    if (d->surface.colors.empty())
      d->surface.colors = bitCount == 1 ? MonochromeColors() : bitCount == 4 ? Vga16Colors() : HalftoneColors();
  }
  AddStateObjects(d->st);
  return dc;
}

bool SetSurfaceBits(HDC dc, void* bits, int32_t width, int32_t height, ptrdiff_t stride) {
  HDC__* d = LookupDC(dc);
  if (!d || !d->surfaceDC || !bits || width <= 0 || height <= 0) return false;
  d->surface.row0 = static_cast<uint8_t*>(bits);
  d->surface.width = width;
  d->surface.height = height;
  d->surface.stride = stride;
  return true;
}

bool DeleteDC(HDC dc) {
  HDC__* d = LookupDC(dc);
  if (!d) return false;
  UnregisterGdiObject(d);
  delete d;
  return true;
}

int32_t SaveDC(HDC dc) {
  HDC__* d = LookupDC(dc);
  if (!d) return 0;
  d->saved.push_back(d->st);
  AddStateObjects(d->st);  // the saved copy holds its objects too
  return static_cast<int32_t>(d->saved.size());
}

bool RestoreDC(HDC dc, int32_t saved) {
  HDC__* d = LookupDC(dc);
  if (!d) return false;
  const int32_t depth = static_cast<int32_t>(d->saved.size());
  int32_t target = saved < 0 ? depth + saved + 1 : saved;
  if (target < 1 || target > depth) return false;
  while (static_cast<int32_t>(d->saved.size()) > target) {
    ReleaseStateObjects(d->saved.back());
    d->saved.pop_back();
  }
  ReleaseStateObjects(d->st);
  d->st = std::move(d->saved.back());
  d->saved.pop_back();
  // The restored state keeps the references its saved copy held.
  auto fix = [](HGDIOBJ& h, HGDIOBJ fallback) {
    if (!LookupGdi(h)) {
      h = fallback;
      AddSelect(h);
    }
  };
  HGDIOBJ pen = d->st.pen, brush = d->st.brush, font = d->st.font;
  fix(pen, StockPen(BLACK_PEN));
  fix(brush, StockBrush(WHITE_BRUSH));
  fix(font, StockFont());
  d->st.pen = static_cast<HPEN>(pen);
  d->st.brush = static_cast<HBRUSH>(brush);
  d->st.font = static_cast<HFONT>(font);
  return true;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  HDC__* d = LookupDC(dc);
  GdiObject* o = LookupGdi(object);
  if (!d || !o) return nullptr;
  auto swap = [&](auto& slot) -> HGDIOBJ {
    HGDIOBJ old = slot;
    if (old == object) return old;
    AddSelect(object);
    slot = static_cast<std::remove_reference_t<decltype(slot)>>(object);
    ReleaseSelect(old);
    return old;
  };
  switch (o->kind) {
    case GdiKind::kPen:
      return swap(d->st.pen);
    case GdiKind::kBrush:
      return swap(d->st.brush);
    case GdiKind::kFont:
      return swap(d->st.font);
    case GdiKind::kPalette:
      return SelectPalette(dc, static_cast<HPALETTE>(object), false);
    case GdiKind::kBitmap: {
      if (d->surfaceDC) return nullptr;
      auto* b = static_cast<HBITMAP__*>(o);
      // A bitmap can be selected into one DC at a time (the stock bitmap into any number).
      if (b != reinterpret_cast<HBITMAP__*>(d->bitmap) && !b->stock && b->selectCount > 0) return nullptr;
      return swap(d->bitmap);
    }
    case GdiKind::kRegion: {
      int32_t kind = SelectClipRgn(dc, static_cast<HRGN>(object));
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(kind));
    }
    default:
      return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC dc, uint32_t objectType) {
  HDC__* d = LookupDC(dc);
  if (!d) return nullptr;
  switch (objectType) {
    case OBJ_PEN:
      return d->st.pen;
    case OBJ_BRUSH:
      return d->st.brush;
    case OBJ_FONT:
      return d->st.font;
    case OBJ_PAL:
      return d->st.palette;
    case OBJ_BITMAP:
      return d->bitmap;
    default:
      return nullptr;
  }
}

int32_t ScreenPixelsPerInch() { return 96; }
int32_t ScreenColorDepth() { return 32; }

bool SetDeviceResolution(HDC dc, int32_t dpiX, int32_t dpiY) {
  HDC__* d = LookupDC(dc);
  if (!d || dpiX < 0 || dpiY < 0) return false;
  d->dpiX = dpiX;
  d->dpiY = dpiY;
  return true;
}

int32_t GetDeviceCaps(HDC dc, int32_t index) {
  HDC__* d = LookupDC(dc);
  PixelRows* t = d ? d->Target() : nullptr;
  switch (index) {
    case LOGPIXELSX:
      return d && d->dpiX > 0 ? d->dpiX : ScreenPixelsPerInch();
    case LOGPIXELSY:
      return d && d->dpiY > 0 ? d->dpiY : ScreenPixelsPerInch();
    case BITSPIXEL:
      return t ? t->bitCount : ScreenColorDepth();
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;
    case SIZEPALETTE:
      return 0;
    case RASTERCAPS:
      return 0x7E99;  // BITBLT, BITMAP64, DI_BITMAP, DIBTODEV, STRETCHBLT, STRETCHDIB, FLOODFILL
    case HORZRES:
    case PHYSICALWIDTH:
      return t ? t->width : 1920;
    case VERTRES:
    case PHYSICALHEIGHT:
      return t ? t->height : 1080;
    default:
      return 0;
  }
}

// ---- State --------------------------------------------------------------------------------------

#define DC_SETTER(Name, Type, field, fail)          \
  Type Set##Name(HDC dc, Type value) {              \
    HDC__* d = LookupDC(dc);                        \
    if (!d) return fail;                            \
    Type old = d->st.field;                         \
    d->st.field = value;                            \
    return old;                                     \
  }                                                 \
  Type Get##Name(HDC dc) {                          \
    HDC__* d = LookupDC(dc);                        \
    return d ? d->st.field : fail;                  \
  }

DC_SETTER(TextColor, COLORREF, textColor, CLR_INVALID)
DC_SETTER(BkColor, COLORREF, bkColor, CLR_INVALID)
DC_SETTER(TextAlign, uint32_t, textAlign, 0xFFFFFFFFu)
#undef DC_SETTER

int32_t SetBkMode(HDC dc, int32_t mode) {
  HDC__* d = LookupDC(dc);
  if (!d || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  std::swap(d->st.bkMode, mode);
  return mode;
}
int32_t GetBkMode(HDC dc) {
  HDC__* d = LookupDC(dc);
  return d ? d->st.bkMode : 0;
}

int32_t SetROP2(HDC dc, int32_t rop2) {
  HDC__* d = LookupDC(dc);
  if (!d || rop2 < R2_BLACK || rop2 > R2_WHITE) return 0;
  std::swap(d->st.rop2, rop2);
  return rop2;
}
int32_t GetROP2(HDC dc) {
  HDC__* d = LookupDC(dc);
  return d ? d->st.rop2 : 0;
}

int32_t SetStretchBltMode(HDC dc, int32_t mode) {
  HDC__* d = LookupDC(dc);
  if (!d || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  std::swap(d->st.stretchMode, mode);
  return mode;
}
int32_t GetStretchBltMode(HDC dc) {
  HDC__* d = LookupDC(dc);
  return d ? d->st.stretchMode : 0;
}

int32_t SetPolyFillMode(HDC dc, int32_t mode) {
  HDC__* d = LookupDC(dc);
  if (!d || (mode != ALTERNATE && mode != WINDING)) return 0;
  std::swap(d->st.polyFillMode, mode);
  return mode;
}
int32_t GetPolyFillMode(HDC dc) {
  HDC__* d = LookupDC(dc);
  return d ? d->st.polyFillMode : 0;
}

bool SetBrushOrgEx(HDC dc, int32_t x, int32_t y, TPoint* previous) {
  HDC__* d = LookupDC(dc);
  if (!d) return false;
  if (previous) *previous = d->st.brushOrg;
  d->st.brushOrg = {x, y};
  return true;
}
bool GetBrushOrgEx(HDC dc, TPoint* origin) {
  HDC__* d = LookupDC(dc);
  if (!d || !origin) return false;
  *origin = d->st.brushOrg;
  return true;
}

int32_t SetGraphicsMode(HDC dc, int32_t mode) {
  HDC__* d = LookupDC(dc);
  if (!d || (mode != GM_COMPATIBLE && mode != GM_ADVANCED)) return 0;
  // Leaving the advanced mode needs an identity transform, as in the GDI.
  if (mode == GM_COMPATIBLE && !XformToAffine(d->st.xform).IsIdentity()) return 0;
  std::swap(d->st.graphicsMode, mode);
  return mode;
}
int32_t GetGraphicsMode(HDC dc) {
  HDC__* d = LookupDC(dc);
  return d ? d->st.graphicsMode : 0;
}

bool SetWorldTransform(HDC dc, const XFORM* xform) {
  HDC__* d = LookupDC(dc);
  if (!d || !xform || d->st.graphicsMode != GM_ADVANCED) return false;
  if (xform->eM11 * xform->eM22 - xform->eM12 * xform->eM21 == 0) return false;
  d->st.xform = *xform;
  return true;
}

bool GetWorldTransform(HDC dc, XFORM* xform) {
  HDC__* d = LookupDC(dc);
  if (!d || !xform) return false;
  *xform = d->st.xform;
  return true;
}

bool ModifyWorldTransform(HDC dc, const XFORM* xform, uint32_t mode) {
  HDC__* d = LookupDC(dc);
  if (!d || d->st.graphicsMode != GM_ADVANCED) return false;
  switch (mode) {
    case MWT_IDENTITY:
      d->st.xform = XFORM{};
      return true;
    case MWT_LEFTMULTIPLY:
      if (!xform) return false;
      d->st.xform = AffineToXform(Multiply(XformToAffine(*xform), XformToAffine(d->st.xform)));
      return true;
    case MWT_RIGHTMULTIPLY:
      if (!xform) return false;
      d->st.xform = AffineToXform(Multiply(XformToAffine(d->st.xform), XformToAffine(*xform)));
      return true;
    default:
      return false;
  }
}

bool SetViewportOrgEx(HDC dc, int32_t x, int32_t y, TPoint* previous) {
  HDC__* d = LookupDC(dc);
  if (!d) return false;
  if (previous) *previous = d->st.viewportOrg;
  d->st.viewportOrg = {x, y};
  return true;
}
bool GetViewportOrgEx(HDC dc, TPoint* origin) {
  HDC__* d = LookupDC(dc);
  if (!d || !origin) return false;
  *origin = d->st.viewportOrg;
  return true;
}
bool OffsetViewportOrgEx(HDC dc, int32_t dx, int32_t dy, TPoint* previous) {
  HDC__* d = LookupDC(dc);
  if (!d) return false;
  if (previous) *previous = d->st.viewportOrg;
  d->st.viewportOrg.X += dx;
  d->st.viewportOrg.Y += dy;
  return true;
}
bool SetWindowOrgEx(HDC dc, int32_t x, int32_t y, TPoint* previous) {
  HDC__* d = LookupDC(dc);
  if (!d) return false;
  if (previous) *previous = d->st.windowOrg;
  d->st.windowOrg = {x, y};
  return true;
}
bool GetWindowOrgEx(HDC dc, TPoint* origin) {
  HDC__* d = LookupDC(dc);
  if (!d || !origin) return false;
  *origin = d->st.windowOrg;
  return true;
}

bool LPtoDP(HDC dc, TPoint* points, int32_t count) {
  HDC__* d = LookupDC(dc);
  if (!d || (!points && count > 0)) return false;
  Affine a = d->ToDevice();
  for (int32_t i = 0; i < count; ++i) {
    double x, y;
    a.Map(points[i].X, points[i].Y, x, y);
    points[i] = {static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))};
  }
  return true;
}

bool DPtoLP(HDC dc, TPoint* points, int32_t count) {
  HDC__* d = LookupDC(dc);
  if (!d || (!points && count > 0)) return false;
  Affine a = d->ToLogical();
  for (int32_t i = 0; i < count; ++i) {
    double x, y;
    a.Map(points[i].X, points[i].Y, x, y);
    points[i] = {static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))};
  }
  return true;
}

bool MoveToEx(HDC dc, int32_t x, int32_t y, TPoint* previous) {
  HDC__* d = LookupDC(dc);
  if (!d) return false;
  if (previous) *previous = d->st.curPos;
  d->st.curPos = {x, y};
  return true;
}

bool GetCurrentPositionEx(HDC dc, TPoint* position) {
  HDC__* d = LookupDC(dc);
  if (!d || !position) return false;
  *position = d->st.curPos;
  return true;
}
