#include "controls/xc_bitmap_utils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "controls/xc_draw_utils.h"
#include "platform/system/mul_div.h"
#include "platform/ui/controls.h"
#include "platform/ui/image_list.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;

// A memory DC with a bitmap selected, both freed at the end of the scope.
class WorkDC {
 public:
  WorkDC(HBITMAP bitmap) : dc_(CreateCompatibleDC(nullptr)), bitmap_(bitmap) {
    if (dc_ && bitmap_) old_ = SelectObject(dc_, bitmap_);
  }
  ~WorkDC() {
    if (dc_) {
      if (old_) SelectObject(dc_, old_);
      DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
  }
  WorkDC(const WorkDC&) = delete;
  WorkDC& operator=(const WorkDC&) = delete;
  HDC dc() const { return dc_; }
  bool Valid() const { return dc_ && bitmap_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_ = nullptr;
};

// A monochrome copy of the bitmap by the GDI's rule: pixels of the background colour become 1
// (white), all others 0 (black).
std::unique_ptr<TBitmap> MonochromeOf(TBitmap* source, COLORREF background) {
  auto mono = std::make_unique<TBitmap>();
  mono->SetMonochrome(true);
  mono->SetSize(source->Width(), source->Height());
  HDC src = source->Canvas()->Handle();
  COLORREF old = SetBkColor(src, background);
  BitBlt(mono->Canvas()->Handle(), 0, 0, source->Width(), source->Height(), src, 0, 0, SRCCOPY);
  SetBkColor(src, old);
  return mono;
}

// The brush drawn through the 1 or 0 bits of a monochrome bitmap at (x, y) with DSPDxax: the DC's
// text and background colours decide which bits take the brush (see the callers).
void PaintThroughMask(HDC dc, int32_t x, int32_t y, TBitmap* mask, TColor color) {
  HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
  HGDIOBJ old = SelectObject(dc, brush);
  BitBlt(dc, x, y, mask->Width(), mask->Height(), mask->Canvas()->Handle(), 0, 0, ROP_DSPDxax);
  SelectObject(dc, old);
  DeleteObject(brush);
}

// Sets the DC's text and background colours for the time of one drawing and puts them back.
class DCColors {
 public:
  DCColors(HDC dc, COLORREF text, COLORREF back)
      : dc_(dc), text_(SetTextColor(dc, text)), back_(SetBkColor(dc, back)) {}
  ~DCColors() {
    SetTextColor(dc_, text_);
    SetBkColor(dc_, back_);
  }
  DCColors(const DCColors&) = delete;
  DCColors& operator=(const DCColors&) = delete;

 private:
  HDC dc_;
  COLORREF text_, back_;
};

std::unique_ptr<TBitmap> FilledBitmap(int32_t width, int32_t height, TColor color) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(width, height);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, width, height));
  return b;
}

}  // namespace

// ------------------------------------------------------------------------------------ parent painting

void PaintParentUnderControl(TControl* control, TCanvas* canvas) {
  TWinControl* parent = control ? control->Parent() : nullptr;
  if (!parent || !canvas) return;
  HDC dc = canvas->Handle();
  if (!dc) return;
  auto mark = [](TControl* c, bool on) {
    c->SetControlState(on ? c->ControlState() | csPaintCopy : c->ControlState() & ~csPaintCopy);
  };
  mark(parent, true);
  try {
    TPoint origin;
    GetViewportOrgEx(dc, &origin);
    const TPoint shifted = Point(origin.X - control->Left(), origin.Y - control->Top());
    int saved = SaveDC(dc);
    try {
      SetViewportOrgEx(dc, shifted.X, shifted.Y, nullptr);
      IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
      parent->PaintWindowContent(dc);
    } catch (...) {
      RestoreDC(dc, saved);
      throw;
    }
    RestoreDC(dc, saved);
    // Only what lies below the control in z-order shows through it.
    const TRect bounds = control->BoundsRect();
    for (int i = 0; i < parent->ControlCount(); ++i) {
      TControl* c = parent->Controls(i);
      if (c == control) break;
      TRect meet;
      if (!c->Visible() || !IntersectRect(meet, c->BoundsRect(), bounds)) continue;
      saved = SaveDC(dc);
      auto* window = dynamic_cast<TWinControl*>(c);
      if (!window) mark(c, true);
      try {
        if (window) {
          SetViewportOrgEx(dc, shifted.X, shifted.Y, nullptr);
          window->PaintTo(dc, c->Left(), c->Top());
        } else {
          SetViewportOrgEx(dc, c->Left() + shifted.X, c->Top() + shifted.Y, nullptr);
          IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
          c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        }
      } catch (...) {
        RestoreDC(dc, saved);
        if (!window) mark(c, false);
        throw;
      }
      RestoreDC(dc, saved);
      if (!window) mark(c, false);
    }
  } catch (...) {
    mark(parent, false);
    throw;
  }
  mark(parent, false);
}

// ------------------------------------------------------------------------------------ masked copies

COLORREF PaletteRelativeRGB(TColor color) { return ColorToRGB(color) | 0x02000000u; }

void MaskedStretchBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sx,
                      int32_t sy, int32_t sw, int32_t sh, HPALETTE palette, COLORREF transparent) {
  if (!dest || !source || width <= 0 || height <= 0 || sw <= 0 || sh <= 0) return;
  // Without stretching or a palette, from inside a picture of 24 or 32 bits onto another, the masks
  // below come to a transparent copy: the pixels of the transparent colour leave the destination as
  // it was, the others are copied. One pass does it.
  if (!palette && width == sw && height == sh && sx >= 0 && sy >= 0 && sx + sw <= GetDeviceCaps(source, HORZRES) &&
      sy + sh <= GetDeviceCaps(source, VERTRES) && GetDeviceCaps(source, BITSPIXEL) >= 24 &&
      GetDeviceCaps(dest, BITSPIXEL) >= 24) {
    TransparentBlt(dest, x, y, width, height, source, sx, sy, sw, sh, transparent);
    return;
  }
  // The source's pixels at their own size, and the mask of the transparent ones (1) and its inverse.
  WorkDC color(CreateCompatibleBitmap(source, sw, sh));
  WorkDC mask(CreateBitmap(sw, sh, 1, 1, nullptr));
  WorkDC inverse(CreateBitmap(sw, sh, 1, 1, nullptr));
  WorkDC work(CreateCompatibleBitmap(dest, width, height));
  if (!color.Valid() || !mask.Valid() || !inverse.Valid() || !work.Valid()) return;
  HPALETTE oldDestPalette = nullptr, oldWorkPalette = nullptr;
  if (palette) {
    oldDestPalette = SelectPalette(dest, palette, false);
    RealizePalette(dest);
    oldWorkPalette = SelectPalette(work.dc(), palette, false);
    RealizePalette(work.dc());
  }
  BitBlt(color.dc(), 0, 0, sw, sh, source, sx, sy, SRCCOPY);
  COLORREF oldBack = SetBkColor(color.dc(), PaletteRelativeRGB(static_cast<TColor>(transparent & 0xFFFFFF)));
  BitBlt(mask.dc(), 0, 0, sw, sh, color.dc(), 0, 0, SRCCOPY);
  SetBkColor(color.dc(), oldBack);
  BitBlt(inverse.dc(), 0, 0, sw, sh, mask.dc(), 0, 0, NOTSRCCOPY);
  // The work copy stretches as the destination would.
  SetStretchBltMode(work.dc(), GetStretchBltMode(dest));
  BitBlt(work.dc(), 0, 0, width, height, dest, x, y, SRCCOPY);
  StretchBlt(work.dc(), 0, 0, width, height, mask.dc(), 0, 0, sw, sh, SRCAND);
  BitBlt(color.dc(), 0, 0, sw, sh, inverse.dc(), 0, 0, SRCAND);
  StretchBlt(work.dc(), 0, 0, width, height, color.dc(), 0, 0, sw, sh, SRCPAINT);
  BitBlt(dest, x, y, width, height, work.dc(), 0, 0, SRCCOPY);
  if (palette) {
    SelectPalette(work.dc(), oldWorkPalette, true);
    SelectPalette(dest, oldDestPalette, true);
  }
}

void StretchBitmapMasked(TCanvas* canvas, TBitmap* bitmap, TColor transparent, int32_t x, int32_t y, int32_t width,
                         int32_t height, int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
  if (!canvas || !bitmap || bitmap->Empty()) return;
  if (width < 1) width = bitmap->Width();
  if (height < 1) height = bitmap->Height();
  if (sw < 1 || sh < 1) {
    sx = sy = 0;
    sw = bitmap->Width();
    sh = bitmap->Height();
  }
  HDC dest = canvas->Handle();
  if (!dest) return;
  const bool mono = bitmap->Monochrome();
  if (!mono) SetStretchBltMode(dest, COLORONCOLOR);
  TCanvas* source = bitmap->Canvas();
  source->Lock();
  TNotifyEvent onChange = std::move(source->OnChange);
  source->OnChange = nullptr;
  auto restore = [&] {
    source->OnChange = std::move(onChange);
    source->Unlock();
  };
  try {
    if (transparent == clNone) {
      StretchBlt(dest, x, y, width, height, source->Handle(), sx, sy, sw, sh, canvas->CopyMode());
    } else {
      COLORREF key = mono                      ? kWhite
                     : transparent == clDefault ? ColorToRGB(source->Pixels(0, bitmap->Height() - 1))
                                                : ColorToRGB(transparent);
      MaskedStretchBlt(dest, x, y, width, height, source->Handle(), sx, sy, sw, sh, bitmap->Palette(), key & 0xFFFFFF);
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void StretchBitmapMaskedRect(TCanvas* canvas, int32_t x, int32_t y, const TRect& rect, TBitmap* bitmap,
                             TColor transparent) {
  StretchBitmapMasked(canvas, bitmap, transparent, x, y, rect.Width(), rect.Height(), rect.Left, rect.Top,
                      rect.Width(), rect.Height());
}

void DrawBitmapMasked(TCanvas* canvas, int32_t x, int32_t y, TBitmap* bitmap, TColor transparent) {
  if (!bitmap) return;
  StretchBitmapMasked(canvas, bitmap, transparent, x, y, bitmap->Width(), bitmap->Height(), 0, 0, bitmap->Width(),
                      bitmap->Height());
}

// ------------------------------------------------------------------------------------ disabled looks

std::unique_ptr<TBitmap> MakeEmbossedGlyph(TBitmap* glyph, TColor transparent) {
  if (!glyph || glyph->Empty()) return std::make_unique<TBitmap>();
  const int32_t w = glyph->Width(), h = glyph->Height();
  auto result = FilledBitmap(w, h, transparent);
  // The glyph's shape: everything but white (the glyph's own transparent pixels stay white) is 0.
  auto shape = FilledBitmap(w, h, clWhite);
  DrawBitmapMasked(shape->Canvas(), 0, 0, glyph, transparent);
  auto mask = MonochromeOf(shape.get(), kWhite);
  HDC dc = result->Canvas()->Handle();
  DCColors colors(dc, kWhite, kBlack);
  PaintThroughMask(dc, 1, 1, mask.get(), clBtnHighlight);
  PaintThroughMask(dc, 0, 0, mask.get(), clBtnShadow);
  return result;
}

std::unique_ptr<TBitmap> MakeOutlineGlyphEx(TBitmap* glyph, TColor outline, TColor backColor, TColor highlightColor,
                                            TColor shadowColor, bool drawHighlight) {
  if (!glyph || glyph->Empty()) return std::make_unique<TBitmap>();
  const int32_t w = glyph->Width(), h = glyph->Height();
  auto result = FilledBitmap(w, h, backColor);
  std::unique_ptr<TBitmap> mask;
  if (glyph->Monochrome()) {
    // Back to colour with white for the set bits, then masked on white.
    auto color = FilledBitmap(w, h, clBlack);
    HDC cdc = color->Canvas()->Handle();
    DCColors defaults(cdc, kBlack, kWhite);
    BitBlt(cdc, 0, 0, w, h, glyph->Canvas()->Handle(), 0, 0, SRCCOPY);
    mask = MonochromeOf(color.get(), kWhite);
  } else {
    mask = MonochromeOf(glyph, ColorToRGB(outline));
  }
  HDC dc = result->Canvas()->Handle();
  DCColors colors(dc, kBlack, kWhite);
  if (drawHighlight) PaintThroughMask(dc, 1, 1, mask.get(), highlightColor);
  PaintThroughMask(dc, 0, 0, mask.get(), shadowColor);
  return result;
}

std::unique_ptr<TBitmap> MakeOutlineGlyph(TBitmap* glyph, TColor outline) {
  return MakeOutlineGlyphEx(glyph, outline, clBtnFace, clBtnHighlight, clBtnShadow, true);
}

void DrawImageEmbossed(TCustomImageList* images, TCanvas* canvas, int32_t x, int32_t y, int32_t index,
                       TColor highlightColor, TColor shadowColor, bool drawHighlight) {
  if (!images || !canvas || index < 0 || index >= images->Count()) return;
  HDC dc = canvas->Handle();
  if (!dc) return;
  auto shape = FilledBitmap(images->Width(), images->Height(), clWhite);
  images->Draw(shape->Canvas(), 0, 0, index, dsNormal, itMask, true);
  auto mask = MonochromeOf(shape.get(), kWhite);
  const TColor brush = canvas->Brush()->Color();
  {
    DCColors colors(dc, kWhite, kBlack);
    if (drawHighlight) PaintThroughMask(dc, x + 1, y + 1, mask.get(), highlightColor);
    PaintThroughMask(dc, x, y, mask.get(), shadowColor);
  }
  canvas->Brush()->SetColor(brush);
}

// ------------------------------------------------------------------------------------------ patterns

std::unique_ptr<TBitmap> MakeCheckerBitmap(TColor a, TColor b) {
  auto result = FilledBitmap(8, 8, a);
  TCanvas* c = result->Canvas();
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = y % 2; x < 8; x += 2) c->SetPixels(x, y, b);
  return result;
}

namespace {

// Whether rows of rect can be copied from its first row: no clip region, no world transform, and the
// whole rectangle on the DC's surface.
bool WholeRowsCopyable(HDC dc, const TRect& rect) {
  if (GetGraphicsMode(dc) == GM_ADVANCED) return false;
  HRGN clip = CreateRectRgn(0, 0, 0, 0);
  const int32_t hasClip = GetClipRgn(dc, clip);
  DeleteObject(clip);
  if (hasClip != 0) return false;
  TRect box;
  if (GetClipBox(dc, &box) == RGN_ERROR) return false;
  TRect meet;
  return IntersectRect(meet, rect, box) && meet == rect;
}

}  // namespace

void FillGradientBands(TCanvas* canvas, const TRect& rect, TColor start, TColor end, int32_t direction,
                       uint8_t bands) {
  if (!canvas) return;
  if (start == clNone && end == clNone) return;
  if (IsRectEmpty(rect)) return;
  HDC dc = canvas->Handle();
  if (!dc) return;
  canvas->Lock();
  // clNone has no colour of its own: a lone clNone end takes the other end's.
  if (start == clNone) start = end;
  if (end == clNone) end = start;
  COLORREF s = ColorToRGB(start) & 0xFFFFFF, e = ColorToRGB(end) & 0xFFFFFF;
  if (direction == 1 || direction == 3) std::swap(s, e);
  const bool vertical = direction == 0 || direction == 1;
  // Without a world transform a band is the background colour's opaque rectangle (no brush object
  // made and freed per band); the DC's background colour is given back afterwards.
  const bool plain = GetGraphicsMode(dc) != GM_ADVANCED;
  const COLORREF background = GetBkColor(dc);
  auto fill = [dc, plain](const TRect& r, COLORREF color) {
    if (plain) {
      SetBkColor(dc, color);
      ExtTextOut(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
      return;
    }
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  };
  auto unlock = [&] {
    SetBkColor(dc, background);
    canvas->Unlock();
  };
  try {
    if (bands < 2 || s == e) {
      fill(rect, s);
      unlock();
      return;
    }
    const int32_t extent = vertical ? rect.Height() : rect.Width();
    const int32_t count = std::max(2, std::min<int32_t>(bands, extent));
    const int32_t size = extent / count;
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetMode(pmCopy);
    const int32_t sr = GetRValue(s), sg = GetGValue(s), sb = GetBValue(s);
    const int32_t dr = GetRValue(e) - sr, dg = GetGValue(e) - sg, db = GetBValue(e) - sb;
    const int32_t origin = vertical ? rect.Top : rect.Left;
    // Bands side by side on a surface without a clip region: the first row is painted band by band
    // and copied down in doubling runs, each pixel written once (every row of such bands is alike).
    TRect whole = rect;
    if (!vertical && rect.Height() > 1 && WholeRowsCopyable(dc, rect)) whole.Bottom = rect.Top + 1;
    auto band = [&](int32_t from, int32_t to) {
      return vertical ? Rect(whole.Left, from, whole.Right, to) : Rect(from, whole.Top, to, whole.Bottom);
    };
    if (size > 0) {
      for (int32_t i = 0; i < count; ++i) {
        const auto channel = [&](int32_t base, int32_t delta) {
          return static_cast<uint8_t>(base + MulDiv(i, delta, count - 1));
        };
        fill(band(origin + i * size, origin + (i + 1) * size), RGB(channel(sr, dr), channel(sg, dg), channel(sb, db)));
      }
    }
    const int32_t rest = extent % count;
    const int32_t last = vertical ? rect.Bottom : rect.Right;
    if (rest > 0) fill(band(last - rest, last), e);
    for (int32_t done = whole.Height(); done < rect.Height(); done *= 2) {
      const int32_t n = std::min(done, rect.Height() - done);
      BitBlt(dc, rect.Left, rect.Top + done, rect.Width(), n, dc, rect.Left, rect.Top, SRCCOPY);
    }
  } catch (...) {
    unlock();
    throw;
  }
  unlock();
}

// --------------------------------------------------------------------------------------- lines, arrows

void CanvasLine(TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!canvas) return;
  canvas->MoveTo(x1, y1);
  canvas->LineTo(x2, y2);
}

void DrawTriangleArrow(TCanvas* canvas, const TRect& rect, TColor color, int32_t direction, int32_t inset) {
  if (!canvas) return;
  TRect r = rect;
  OrderRectCorners(r);
  InflateRect(r, -inset, -inset);
  if (r.Width() % 2 != 0) --r.Right;
  if (direction < 0 || direction > 3 || !CenterSquareInRect(r)) return;
  canvas->Pen()->SetColor(color);
  const int32_t w = r.Width() / 4;
  // The edge the arrow's base stands on moves in by a quarter; lines are drawn along it, each one
  // pixel shorter at both ends than the one before, moving towards the tip.
  switch (direction) {
    case 0: r.Right -= w; break;   // left: vertical lines from the right edge
    case 1: r.Bottom -= w; break;  // up: horizontal lines from the bottom edge
    case 2: r.Left += w; break;    // right: vertical lines from the left edge
    case 3: r.Top += w; break;     // down: horizontal lines from the top edge
  }
  const bool vertical = direction == 0 || direction == 2;
  while (vertical ? r.Top < r.Bottom : r.Left < r.Right) {
    const int32_t at = direction == 0 ? r.Right : direction == 1 ? r.Bottom : direction == 2 ? r.Left : r.Top;
    if (vertical) CanvasLine(canvas, at, r.Top, at, r.Bottom);
    else CanvasLine(canvas, r.Left, at, r.Right, at);
    InflateRect(r, -1, -1);
  }
}

namespace {

// The file header, the information header and the colour table (black, white for one bit) of a
// bottom-up picture, with room for its rows.
std::vector<uint8_t> BitmapFileFrame(int32_t width, int32_t height, uint16_t bitCount, size_t& offBits) {
  const int32_t rowBytes = DibRowBytes(width, bitCount);
  const uint32_t paletteBytes = bitCount == 1 ? 2 * sizeof(RGBQUAD) : 0;
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up
  info.biBitCount = bitCount;
  info.biClrUsed = bitCount == 1 ? 2 : 0;
  info.biSizeImage = static_cast<uint32_t>(rowBytes * height);
  file.bfOffBits = static_cast<uint32_t>(sizeof file + sizeof info + paletteBytes);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<uint8_t> out(file.bfSize, 0);
  std::memcpy(out.data(), &file, sizeof file);
  std::memcpy(out.data() + sizeof file, &info, sizeof info);
  if (bitCount == 1) {
    const RGBQUAD palette[2] = {{0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0}};
    std::memcpy(out.data() + sizeof file + sizeof info, palette, sizeof palette);
  }
  offBits = file.bfOffBits;
  return out;
}

}  // namespace

std::vector<uint8_t> BitmapFileFromRows(const char* const* rows, int32_t width, int32_t height,
                                        COLORREF (*colorOf)(char)) {
  size_t offBits = 0;
  std::vector<uint8_t> out = BitmapFileFrame(width, height, 24, offBits);
  const size_t rowBytes = static_cast<size_t>(DibRowBytes(width, 24));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = out.data() + offBits + rowBytes * static_cast<size_t>(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      const COLORREF c = colorOf(rows[y][x]);
      row[3 * x] = GetBValue(c), row[3 * x + 1] = GetGValue(c), row[3 * x + 2] = GetRValue(c);
    }
  }
  return out;
}

std::vector<uint8_t> MonochromeBitmapFileFromRows(const char* const* rows, int32_t width, int32_t height) {
  size_t offBits = 0;
  std::vector<uint8_t> out = BitmapFileFrame(width, height, 1, offBits);
  const size_t rowBytes = static_cast<size_t>(DibRowBytes(width, 1));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = out.data() + offBits + rowBytes * static_cast<size_t>(height - 1 - y);
    for (int32_t x = 0; x < width; ++x)
      if (rows[y][x] != 'X') row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));  // white: palette entry 1
  }
  return out;
}
