// TFont, TPen, TBrush and TCanvas over the device-context functions.
#include "platform/gdi/graphics.h"

#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/gdi/bitmap.h"
#include "platform/system/mul_div.h"

namespace {

uint32_t PenStyleToGdi(TPenStyle s) {
  switch (s) {
    case psSolid:
      return PS_SOLID;
    case psDash:
      return PS_DASH;
    case psDot:
    case psAlternate:
      return PS_DOT;
    case psDashDot:
      return PS_DASHDOT;
    case psDashDotDot:
      return PS_DASHDOTDOT;
    case psClear:
      return PS_NULL;
    case psInsideFrame:
      return PS_INSIDEFRAME;
    default:
      return PS_SOLID;
  }
}

}  // namespace

// ---- TGraphicsObject ------------------------------------------------------------------------------

TGraphicsObject::~TGraphicsObject() {
  if (handle_ && ownsHandle_) DeleteObject(handle_);
}

void TGraphicsObject::Changed() {
  if (handle_) {
    if (releaseHook_) releaseHook_(handle_);
    if (ownsHandle_) DeleteObject(handle_);
    handle_ = nullptr;
    ownsHandle_ = true;
  }
  if (OnChange) OnChange(this);
}

// ---- TFont ----------------------------------------------------------------------------------------

TFont::TFont() : pixelsPerInch_(ScreenPixelsPerInch()) {}

LOGFONT TFont::ToLogFont() const {
  LOGFONT lf;
  lf.lfHeight = height_;
  lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = style_.Contains(fsItalic);
  lf.lfUnderline = style_.Contains(fsUnderline);
  lf.lfStrikeOut = style_.Contains(fsStrikeOut);
  lf.lfCharSet = charset_;
  lf.lfEscapement = orientation_;
  lf.lfOrientation = orientation_;
  lf.lfQuality = quality_ == fqNonAntialiased ? NONANTIALIASED_QUALITY
                 : quality_ == fqAntialiased   ? ANTIALIASED_QUALITY
                 : quality_ == fqDraft         ? DRAFT_QUALITY
                 : quality_ == fqProof         ? PROOF_QUALITY
                 : quality_ >= fqClearType     ? CLEARTYPE_QUALITY
                                               : DEFAULT_QUALITY;
  lf.lfPitchAndFamily = pitch_ == fpFixed ? 1 : pitch_ == fpVariable ? 2 : 0;
  std::strncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
  return lf;
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONT lf = ToLogFont();
    handle_ = CreateFontIndirect(&lf);
    ownsHandle_ = true;
  }
  return static_cast<HFONT>(handle_);
}

void TFont::SetHandle(HFONT font) {
  LOGFONT lf;
  if (!font || GetObject(font, sizeof lf, &lf) != sizeof lf) return;
  Changed();
  handle_ = font;
  ownsHandle_ = true;
  name_ = std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
  height_ = lf.lfHeight;
  style_ = TFontStyles{};
  if (lf.lfWeight >= FW_BOLD) style_.Include(fsBold);
  if (lf.lfItalic) style_.Include(fsItalic);
  if (lf.lfUnderline) style_.Include(fsUnderline);
  if (lf.lfStrikeOut) style_.Include(fsStrikeOut);
  charset_ = lf.lfCharSet;
  orientation_ = lf.lfEscapement;
}

void TFont::SetName(const std::string& name) {
  if (name.empty() || name == name_) return;
  name_ = name;
  Changed();
}
void TFont::SetHeight(int32_t height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}
int32_t TFont::Size() const { return -MulDiv(height_, 72, pixelsPerInch_); }
void TFont::SetSize(int32_t points) { SetHeight(-MulDiv(points, pixelsPerInch_, 72)); }
void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}
void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  // The colour is not part of the font object: only listeners hear of it.
  if (OnChange) OnChange(this);
}
void TFont::SetCharset(TFontCharset charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}
void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Changed();
}
void TFont::SetOrientation(int32_t tenths) {
  if (tenths == orientation_) return;
  orientation_ = tenths;
  Changed();
}
void TFont::SetQuality(TFontQuality quality) {
  if (quality == quality_) return;
  quality_ = quality;
  Changed();
}

void TFont::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TFont*>(source)) {
    Assign(*other);
    return;
  }
  TPersistent::Assign(source);
}

void TFont::Assign(const TFont& s) {
  if (&s == this) return;
  const int32_t height = MulDiv(s.height_, pixelsPerInch_, s.pixelsPerInch_);
  // The same font again changes nothing (and its GDI object stays), as the framework's shared font
  // resources have it.
  if (name_ == s.name_ && height_ == height && style_ == s.style_ && color_ == s.color_ && charset_ == s.charset_ &&
      pitch_ == s.pitch_ && orientation_ == s.orientation_ && quality_ == s.quality_)
    return;
  name_ = s.name_;
  height_ = height;
  style_ = s.style_;
  color_ = s.color_;
  charset_ = s.charset_;
  pitch_ = s.pitch_;
  orientation_ = s.orientation_;
  quality_ = s.quality_;
  Changed();
}

// ---- TPen -----------------------------------------------------------------------------------------

int32_t PenModeToROP2(TPenMode mode) {
  static const int32_t kRop[] = {R2_BLACK,       R2_WHITE,       R2_NOP,      R2_NOT,        R2_COPYPEN,
                                 R2_NOTCOPYPEN,  R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN,
                                 R2_MERGEPEN,    R2_NOTMERGEPEN, R2_MASKPEN,  R2_NOTMASKPEN, R2_XORPEN,
                                 R2_NOTXORPEN};
  return kRop[mode <= pmNotXor ? mode : pmCopy];
}

HPEN TPen::Handle() {
  if (!handle_) {
    handle_ = CreatePen(static_cast<int32_t>(PenStyleToGdi(style_)), width_, ColorToRGB(color_));
    ownsHandle_ = true;
  }
  return static_cast<HPEN>(handle_);
}

void TPen::SetHandle(HPEN pen) {
  LOGPEN lp;
  if (!pen || GetObject(pen, sizeof lp, &lp) != sizeof lp) return;
  Changed();
  handle_ = pen;
  ownsHandle_ = true;
  color_ = static_cast<TColor>(lp.lopnColor);
  width_ = lp.lopnWidth.X;
  style_ = lp.lopnStyle == PS_NULL ? psClear : lp.lopnStyle <= PS_DASHDOTDOT ? static_cast<TPenStyle>(lp.lopnStyle)
                                                                              : psInsideFrame;
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}
void TPen::SetWidth(int32_t width) {
  if (width < 0 || width == width_) return;
  width_ = width;
  Changed();
}
void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}
void TPen::SetMode(TPenMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  if (OnChange) OnChange(this);  // the mode is a DC setting, not part of the pen object
}
void TPen::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TPen*>(source)) {
    Assign(*other);
    return;
  }
  TPersistent::Assign(source);
}

void TPen::Assign(const TPen& s) {
  if (&s == this) return;
  color_ = s.color_;
  width_ = s.width_;
  style_ = s.style_;
  mode_ = s.mode_;
  Changed();
}

// ---- TBrush ---------------------------------------------------------------------------------------

TBrush::~TBrush() = default;

HBRUSH TBrush::Handle() {
  if (!handle_) {
    if (bitmap_ && !bitmap_->Empty()) {
      handle_ = CreatePatternBrush(bitmap_->Handle());
    } else if (style_ == bsClear) {
      LOGBRUSH lb;
      lb.lbStyle = BS_NULL;
      handle_ = CreateBrushIndirect(&lb);
    } else if (style_ == bsSolid) {
      handle_ = CreateSolidBrush(ColorToRGB(color_));
    } else {
      handle_ = CreateHatchBrush(static_cast<int32_t>(style_) - 2, ColorToRGB(color_));
    }
    ownsHandle_ = true;
  }
  return static_cast<HBRUSH>(handle_);
}

void TBrush::SetHandle(HBRUSH brush) {
  LOGBRUSH lb;
  if (!brush || GetObject(brush, sizeof lb, &lb) != sizeof lb) return;
  Changed();
  handle_ = brush;
  ownsHandle_ = true;
  color_ = static_cast<TColor>(lb.lbColor);
  style_ = lb.lbStyle == BS_NULL ? bsClear : lb.lbStyle == BS_HATCHED ? static_cast<TBrushStyle>(lb.lbHatch + 2) : bsSolid;
}

void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ != bsClear) return;
  color_ = color;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}
void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_ && !bitmap_) return;
  style_ = style;
  bitmap_ = nullptr;
  Changed();
}
void TBrush::SetBitmap(TBitmap* bitmap) {
  bitmap_ = bitmap;
  Changed();
}
void TBrush::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TBrush*>(source)) {
    Assign(*other);
    return;
  }
  TPersistent::Assign(source);
}

void TBrush::Assign(const TBrush& s) {
  if (&s == this) return;
  color_ = s.color_;
  style_ = s.style_;
  bitmap_ = s.bitmap_;
  Changed();
}

uint32_t TextFormatToDrawTextFlags(TTextFormat f) {
  static const uint32_t kFlags[] = {DT_BOTTOM,        DT_CALCRECT,    DT_CENTER,       DT_EDITCONTROL,
                                    DT_END_ELLIPSIS,  DT_PATH_ELLIPSIS, DT_EXPANDTABS, DT_EXTERNALLEADING,
                                    DT_LEFT,          DT_MODIFYSTRING, DT_NOCLIP,      DT_NOPREFIX,
                                    DT_RIGHT,         DT_RTLREADING,  DT_SINGLELINE,   DT_TOP,
                                    DT_VCENTER,       DT_WORDBREAK,   DT_HIDEPREFIX,   DT_NOFULLWIDTHCHARBREAK,
                                    DT_PREFIXONLY,    DT_TABSTOP,     DT_WORD_ELLIPSIS};
  uint32_t out = 0;
  for (uint32_t i = 0; i < sizeof kFlags / sizeof kFlags[0]; ++i)
    if (f.Contains(static_cast<TTextFormats>(i))) out |= kFlags[i];
  return out;
}

// ---- TCanvas --------------------------------------------------------------------------------------

struct TCanvas::LockImpl {
  std::recursive_mutex m;
};

TCanvas::TCanvas() : lock_(std::make_unique<LockImpl>()) {
  // Before a pen, brush or font drops its GDI object, the DC lets go of it.
  pen_.releaseHook_ = [this](HGDIOBJ h) {
    if (dc_ && GetCurrentObject(dc_, OBJ_PEN) == h) SelectObject(dc_, GetStockObject(BLACK_PEN));
  };
  brush_.releaseHook_ = [this](HGDIOBJ h) {
    if (dc_ && GetCurrentObject(dc_, OBJ_BRUSH) == h) SelectObject(dc_, GetStockObject(WHITE_BRUSH));
  };
  font_.releaseHook_ = [this](HGDIOBJ h) {
    if (dc_ && GetCurrentObject(dc_, OBJ_FONT) == h) SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
  };
}

TCanvas::~TCanvas() {
  DeselectHandles();
  pen_.releaseHook_ = nullptr;
  brush_.releaseHook_ = nullptr;
  font_.releaseHook_ = nullptr;
}

HDC TCanvas::Handle() {
  if (!dc_) CreateHandle();
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  DeselectHandles();
  dc_ = dc;
}

void TCanvas::DeselectHandles() {
  if (!dc_) return;
  if (oldPen_) SelectObject(dc_, oldPen_);
  if (oldBrush_) SelectObject(dc_, oldBrush_);
  if (oldFont_) SelectObject(dc_, oldFont_);
  oldPen_ = oldBrush_ = oldFont_ = nullptr;
}

bool TCanvas::Required(uint8_t what) {
  HDC dc = Handle();
  if (!dc) return false;
  if (what & kPen) {
    HGDIOBJ old = SelectObject(dc, pen_.Handle());
    if (!oldPen_) oldPen_ = old;
    SetROP2(dc, PenModeToROP2(pen_.Mode()));
  }
  if (what & kBrush) {
    HGDIOBJ old = SelectObject(dc, brush_.Handle());
    if (!oldBrush_) oldBrush_ = old;
    const COLORREF c = ColorToRGB(brush_.Color());
    if (brush_.Style() == bsSolid && !brush_.Bitmap()) {
      SetBkColor(dc, c);
      SetBkMode(dc, OPAQUE);
    } else {
      // Nothing draws with the background colour in the transparent mode.
      SetBkColor(dc, ~c & 0xFFFFFF);
      SetBkMode(dc, TRANSPARENT);
    }
  }
  if (what & kFont) {
    HGDIOBJ old = SelectObject(dc, font_.Handle());
    if (!oldFont_) oldFont_ = old;
    SetTextColor(dc, ColorToRGB(font_.Color()));
  }
  return true;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}
void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

TPoint TCanvas::PenPos() {
  TPoint p;
  if (HDC dc = Handle()) GetCurrentPositionEx(dc, &p);
  return p;
}

TCanvasOrientation TCanvas::CanvasOrientation() { return coLeftToRight; }

TRect TCanvas::ClipRect() {
  TRect r;
  if (HDC dc = Handle()) GetClipBox(dc, &r);
  return r;
}

TColor TCanvas::Pixels(int32_t x, int32_t y) {
  HDC dc = Handle();
  if (!dc) return clNone;
  const COLORREF c = GetPixel(dc, x, y);
  return c == CLR_INVALID ? static_cast<TColor>(-1) : static_cast<TColor>(c);
}

void TCanvas::SetPixels(int32_t x, int32_t y, TColor color) {
  Changing();
  if (Required(kPen | kBrush)) SetPixel(dc_, x, y, ColorToRGB(color));
  Changed();
}

#define CANVAS_SHAPE(call, what) \
  Changing();                    \
  if (Required(what)) call;      \
  Changed();

void TCanvas::Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
  CANVAS_SHAPE(::Arc(dc_, x1, y1, x2, y2, x3, y3, x4, y4), kPen | kBrush)
}
void TCanvas::Chord(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
  CANVAS_SHAPE(::Chord(dc_, x1, y1, x2, y2, x3, y3, x4, y4), kPen | kBrush)
}
void TCanvas::Pie(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
  CANVAS_SHAPE(::Pie(dc_, x1, y1, x2, y2, x3, y3, x4, y4), kPen | kBrush)
}
void TCanvas::Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  CANVAS_SHAPE(::Ellipse(dc_, x1, y1, x2, y2), kPen | kBrush)
}
void TCanvas::Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  CANVAS_SHAPE(::Rectangle(dc_, x1, y1, x2, y2), kPen | kBrush)
}
void TCanvas::RoundRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
  CANVAS_SHAPE(::RoundRect(dc_, x1, y1, x2, y2, x3, y3), kPen | kBrush)
}
void TCanvas::FillRect(const TRect& r) { CANVAS_SHAPE(::FillRect(dc_, &r, brush_.Handle()), kBrush) }
void TCanvas::FrameRect(const TRect& r) { CANVAS_SHAPE(::FrameRect(dc_, &r, brush_.Handle()), kBrush) }
void TCanvas::DrawFocusRect(const TRect& r) { CANVAS_SHAPE(::DrawFocusRect(dc_, &r), kBrush) }
void TCanvas::FloodFill(int32_t x, int32_t y, TColor color, TFillStyle style) {
  CANVAS_SHAPE(::ExtFloodFill(dc_, x, y, ColorToRGB(color), style == fsSurface ? FLOODFILLSURFACE : FLOODFILLBORDER),
               kBrush)
}
void TCanvas::MoveTo(int32_t x, int32_t y) {
  if (HDC dc = Handle()) MoveToEx(dc, x, y, nullptr);
}
void TCanvas::LineTo(int32_t x, int32_t y) { CANVAS_SHAPE(::LineTo(dc_, x, y), kPen | kBrush) }
void TCanvas::Polygon(const TPoint* p, int32_t n) { CANVAS_SHAPE(::Polygon(dc_, p, n), kPen | kBrush) }
void TCanvas::Polyline(const TPoint* p, int32_t n) { CANVAS_SHAPE(::Polyline(dc_, p, n), kPen | kBrush) }
void TCanvas::PolyBezier(const TPoint* p, int32_t n) {
  CANVAS_SHAPE(::PolyBezier(dc_, p, static_cast<uint32_t>(std::max(0, n))), kPen | kBrush)
}

void TCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  Changing();
  if (Required(kFont | kBrush)) {
    ExtTextOut(dc_, x, y, textFlags_, nullptr, text.data(), static_cast<int32_t>(text.size()), nullptr);
    MoveToEx(dc_, x + TextWidth(text), y, nullptr);
  }
  Changed();
}

void TCanvas::TextRect(const TRect& rect, int32_t x, int32_t y, const std::string& text) {
  Changing();
  if (Required(kFont | kBrush)) {
    uint32_t options = ETO_CLIPPED | textFlags_;
    if (brush_.Style() != bsClear) options |= ETO_OPAQUE;
    if ((textFlags_ & ETO_RTLREADING) && CanvasOrientation() == coRightToLeft) x += TextWidth(text) + 1;
    ExtTextOut(dc_, x, y, options, &rect, text.data(), static_cast<int32_t>(text.size()), nullptr);
  }
  Changed();
}

void TCanvas::TextRect(TRect& rect, std::string& text, TTextFormat format) {
  uint32_t flags = TextFormatToDrawTextFlags(format);
  Changing();
  if (Required(kFont | kBrush)) DrawText(dc_, text, &rect, flags);
  Changed();
}

int32_t TCanvas::TextRectFlags(TRect& rect, const std::string& text, uint32_t flags) {
  int32_t height = 0;
  Changing();
  if (Required(kFont | kBrush))
    height = DrawText(dc_, text.data(), static_cast<int32_t>(text.size()), &rect, flags & ~DT_MODIFYSTRING);
  Changed();
  return height;
}

TSize TCanvas::TextExtent(const std::string& text) {
  TSize s;
  if (Required(kFont)) GetTextExtentPoint32(dc_, text.data(), static_cast<int32_t>(text.size()), &s);
  return s;
}

void TCanvas::Draw(int32_t x, int32_t y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  if (Required(kBrush)) graphic->Draw(this, {x, y, x + graphic->Width(), y + graphic->Height()});
  Changed();
}

void TCanvas::Draw(int32_t x, int32_t y, TGraphic* graphic, uint8_t opacity) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  if (Required(kBrush)) graphic->DrawTransparent(this, {x, y, x + graphic->Width(), y + graphic->Height()}, opacity);
  Changed();
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!graphic) return;
  Changing();
  if (Required(kBrush)) graphic->Draw(this, rect);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
  if (!canvas) return;
  Changing();
  if (Required(kFont | kBrush) && canvas->Required(kFont | kBrush))
    StretchBlt(dc_, dest.Left, dest.Top, dest.Width(), dest.Height(), canvas->dc_, source.Left, source.Top,
               source.Width(), source.Height(), copyMode_);
  Changed();
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) {
  if (!bitmap || bitmap->Empty()) return;
  Changing();
  if (Required(kBrush)) {
    // The brush where the bitmap has the colour, the bitmap's pixels elsewhere.
    ::FillRect(dc_, &dest, brush_.Handle());
    TransparentBlt(dc_, dest.Left, dest.Top, dest.Width(), dest.Height(), bitmap->Canvas()->Handle(), source.Left,
                   source.Top, source.Width(), source.Height(), ColorToRGB(color));
  }
  Changed();
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::Lock() {
  lock_->m.lock();
  ++lockCount_;
}
void TCanvas::Unlock() {
  --lockCount_;
  lock_->m.unlock();
}
bool TCanvas::TryLock() {
  if (!lock_->m.try_lock()) return false;
  ++lockCount_;
  return true;
}

#undef CANVAS_SHAPE

namespace {

// The pixels one ring of Frame3D gives (right and bottom inclusive here), for a plain solid pen:
// the left column and the top row but their far ends in the top colour, the right column and the
// bottom row in the bottom colour.
void FillFrameRing(HDC dc, const TRect& r, COLORREF top, COLORREF bottom) {
  HBRUSH t = CreateSolidBrush(top), b = CreateSolidBrush(bottom);
  const TRect pieces[4] = {{r.Left, r.Top, r.Left + 1, r.Bottom},
                           {r.Left, r.Top, r.Right, r.Top + 1},
                           {r.Right, r.Top, r.Right + 1, r.Bottom + 1},
                           {r.Left, r.Bottom, r.Right + 1, r.Bottom + 1}};
  for (int i = 0; i < 4; ++i) FillRect(dc, &pieces[i], i < 2 ? t : b);
  DeleteObject(t);
  DeleteObject(b);
}

}  // namespace

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int32_t width) {
  if (!canvas) return;
  canvas->Pen()->SetWidth(1);
  --rect.Bottom;
  --rect.Right;
  // A solid pen that copies draws its lines as fills of the same pixels.
  const bool fills = canvas->Pen()->Style() == psSolid && canvas->Pen()->Mode() == pmCopy;
  while (width > 0) {
    --width;
    if (fills && rect.Right >= rect.Left && rect.Bottom >= rect.Top && canvas->Handle()) {
      FillFrameRing(canvas->Handle(), rect, ColorToRGB(topColor), ColorToRGB(bottomColor));
      canvas->Pen()->SetColor(bottomColor);
      InflateRect(rect, -1, -1);
      continue;
    }
    // Top and left in the top colour, then right and bottom in the bottom colour.
    TPoint topRight{rect.Right, rect.Top}, bottomLeft{rect.Left, rect.Bottom};
    canvas->Pen()->SetColor(topColor);
    const TPoint first[3] = {bottomLeft, rect.TopLeft(), topRight};
    canvas->Polyline(first, 3);
    canvas->Pen()->SetColor(bottomColor);
    --bottomLeft.X;
    const TPoint second[3] = {topRight, rect.BottomRight(), bottomLeft};
    canvas->Polyline(second, 3);
    InflateRect(rect, -1, -1);
  }
  ++rect.Bottom;
  ++rect.Right;
}
