#include "imaging/core/ie_gdiplus.h"

#include <cmath>
#include <mutex>
#include <vector>

#include "imaging/core/ie_geometry.h"
#include "imaging/core/ie_int_math.h"
#include "imaging/core/ie_rgb.h"

namespace {

std::mutex g_lock;
bool g_enabled = true;
bool g_loaded = false;
int32_t g_useCount = 0;
uintptr_t g_token = 0;

ARGB Argb(TColor color, int32_t alpha) {
  return static_cast<ARGB>(TColorToRGBA(color, static_cast<uint8_t>(ClampByte(alpha))));
}

constexpr double kDegrees = 180.0 / M_PI;

}  // namespace

// ---- Library control -------------------------------------------------------------------------------

bool IsGDIPlusLoaded() {
  std::lock_guard<std::mutex> g(g_lock);
  return g_loaded;
}

bool IsGDIPlusAvailable() {
  std::lock_guard<std::mutex> g(g_lock);
  return g_enabled && g_loaded;
}

void AcquireGDIPlus() {
  std::lock_guard<std::mutex> g(g_lock);
  ++g_useCount;
  if (!g_enabled || g_loaded) return;
  GdiplusStartupInput input;
  if (GdiplusStartup(&g_token, &input, nullptr) == Ok) g_loaded = true;
}

void ReleaseGDIPlus() {
  std::lock_guard<std::mutex> g(g_lock);
  if (g_useCount > 0) --g_useCount;
  if (g_loaded && g_useCount == 0) {
    GdiplusShutdown(g_token);
    g_token = 0;
    g_loaded = false;
  }
}

int32_t GDIPlusUseCount() {
  std::lock_guard<std::mutex> g(g_lock);
  return g_useCount;
}

bool IEGDIPlusEnabled() {
  std::lock_guard<std::mutex> g(g_lock);
  return g_enabled;
}

void SetIEGDIPlusEnabled(bool enabled) {
  std::lock_guard<std::mutex> g(g_lock);
  g_enabled = enabled;
}

void InitializeIEGDIPlus() {
  std::lock_guard<std::mutex> g(g_lock);
  g_enabled = true;
  g_loaded = false;
  g_useCount = 0;
}

// ---- TIEPen -----------------------------------------------------------------------------------------

TIEPen::TIEPen(TPen* pen, bool useGDIPlus)
    : pen_(pen), gdiPlus_(useGDIPlus && IsGDIPlusAvailable()), color_(pen->Color()), width_(static_cast<float>(pen->Width())), style_(pen->Style()),
      mode_(pen->Mode()) {
  if (gdiPlus_) CreateGdiPen();
}

TIEPen::~TIEPen() {
  if (gpPen_) GdipDeletePen(gpPen_);
}

void TIEPen::CreateGdiPen() {
  if (gpPen_) {
    GdipDeletePen(gpPen_);
    gpPen_ = nullptr;
  }
  if (GdipCreatePen1(GetARGB(), width_, UnitPixel, &gpPen_) != Ok || !gpPen_)
    throw Exception("Cannot create TIEPen. GdipCreatePen1 failed.");
  SetStyle(style_);
  SetLineJoin(lineJoin_);
}

ARGB TIEPen::GetARGB() const { return Argb(color_, style_ == psClear ? 0 : transparency_); }

void TIEPen::SetColor(TColor color) {
  color_ = color;
  if (gpPen_) GdipSetPenColor(gpPen_, GetARGB());
  pen_->SetColor(color);
}

void TIEPen::SetTransparency(int32_t alpha) {
  transparency_ = alpha;
  if (gpPen_) GdipSetPenColor(gpPen_, GetARGB());
}

void TIEPen::SetWidth(float width) {
  width_ = width;
  if (gpPen_) GdipSetPenWidth(gpPen_, width);
  pen_->SetWidth(static_cast<int32_t>(width));
}

void TIEPen::SetStyle(TPenStyle style) {
  style_ = style;
  if (gpPen_) {
    GdipSetPenColor(gpPen_, GetARGB());
    int32_t dash = DashStyleSolid;
    if (style >= psSolid && style <= psDashDotDot) dash = static_cast<int32_t>(style);
    GdipSetPenDashStyle(gpPen_, dash);
  }
  pen_->SetStyle(style);
}

void TIEPen::SetMode(TPenMode mode) {
  mode_ = mode;
  pen_->SetMode(mode);
}

void TIEPen::SetLineJoin(uint8_t join) {
  lineJoin_ = join;
  if (gpPen_) GdipSetPenLineJoin(gpPen_, join);
}

void TIEPen::SetHandle(HPEN handle) { pen_->SetHandle(handle); }

// ---- TIEBrush ---------------------------------------------------------------------------------------

TIEBrush::TIEBrush(TBrush* brush, bool useGDIPlus)
    : brush_(brush), gdiPlus_(useGDIPlus && IsGDIPlusAvailable()), color_(brush->Color()), style_(brush->Style()) {
  if (gdiPlus_) CreateGdiBrush();
}

TIEBrush::~TIEBrush() {
  if (gpBrush_) GdipDeleteBrush(gpBrush_);
}

void TIEBrush::CreateGdiBrush() {
  if (gpBrush_) {
    GdipDeleteBrush(gpBrush_);
    gpBrush_ = nullptr;
  }
  switch (style_) {
    case bsSolid:
    case bsClear:
      if (GdipCreateSolidFill(GetARGB(), &gpBrush_) != Ok || !gpBrush_)
        throw Exception("Cannot create TIEBrush. GdipCreateSolidFill failed.");
      break;
    case bsHorizontal:
    case bsVertical:
    case bsFDiagonal:
    case bsBDiagonal:
    case bsCross:
    case bsDiagCross:
      if (GdipCreateHatchBrush(static_cast<int32_t>(style_) - 2, GetARGB(), Argb(backColor_, backTransparency_),
                               &gpBrush_) != Ok ||
          !gpBrush_)
        throw Exception("Cannot create TIEBrush. GdipCreateHatchBrush failed.");
      break;
    default:
      break;
  }
}

ARGB TIEBrush::GetARGB() const { return Argb(color_, style_ == bsClear ? 0 : transparency_); }

void TIEBrush::SetColor(TColor color) {
  color_ = color;
  brush_->SetColor(color);
  // The framework turns a clear brush solid when it gets a colour.
  style_ = brush_->Style();
  if (gdiPlus_) CreateGdiBrush();
}

void TIEBrush::SetTransparency(int32_t alpha) {
  transparency_ = alpha;
  if (gdiPlus_) CreateGdiBrush();
}

void TIEBrush::SetStyle(TBrushStyle style) {
  style_ = style;
  brush_->SetStyle(style);
  if (gdiPlus_) CreateGdiBrush();
}

void TIEBrush::SetBackColor(TColor color) {
  backColor_ = color;
  if (gdiPlus_) CreateGdiBrush();
}

void TIEBrush::SetBackTransparency(int32_t alpha) {
  backTransparency_ = alpha;
  if (gdiPlus_) CreateGdiBrush();
}

// ---- TIECanvas --------------------------------------------------------------------------------------

TIECanvas::TIECanvas(TCanvas* canvas, bool antiAlias, bool useGDIPlus) : canvas_(canvas) {
  useGDIPlus_ = useGDIPlus && IsGDIPlusAvailable();
  pen_ = std::make_unique<TIEPen>(canvas->Pen(), useGDIPlus_);
  brush_ = std::make_unique<TIEBrush>(canvas->Brush(), useGDIPlus_);
  if (useGDIPlus_) {
    if (GdipCreateFromHDC(canvas->Handle(), &graphics_) != Ok || !graphics_) {
      graphics_ = nullptr;
      brush_.reset();
      pen_.reset();
      throw Exception("Cannot create TIECanvas. GdipCreateFromHDC failed.");
    }
  }
  SetSmoothingMode(antiAlias ? 5 : 2);
}

TIECanvas::~TIECanvas() {
  brush_.reset();
  pen_.reset();
  if (graphics_) GdipDeleteGraphics(graphics_);
}

void TIECanvas::SetSmoothingMode(int32_t mode) {
  if (useGDIPlus_) GdipSetSmoothingMode(graphics_, (mode & 0x7F) - 1);
}

void TIECanvas::MoveTo(int32_t x, int32_t y) {
  pos_ = {x, y};
  if (!useGDIPlus_) canvas_->MoveTo(x, y);
}

void TIECanvas::LineTo(int32_t x, int32_t y) {
  if (useGDIPlus_) {
    GdipDrawLine(graphics_, pen_->GdiPen(), static_cast<REAL>(pos_.X), static_cast<REAL>(pos_.Y), static_cast<REAL>(x),
                 static_cast<REAL>(y));
    pos_ = {x, y};
  } else {
    canvas_->LineTo(x, y);
    pos_ = {x, y};
  }
}

void TIECanvas::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (useGDIPlus_) {
    GdipDrawLine(graphics_, pen_->GdiPen(), static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2),
                 static_cast<REAL>(y2));
  } else {
    const TPoint pts[2] = {{x1, y1}, {x2, y2}};
    canvas_->Polygon(pts, 2);
  }
}

void TIECanvas::FillRect(const TRect& rect) {
  if (!useGDIPlus_) {
    canvas_->FillRect(rect);
    return;
  }
  int32_t x1 = rect.Left, y1 = rect.Top, x2 = rect.Right, y2 = rect.Bottom;
  OrderCorners(x1, y1, x2, y2);
  // The same pixels as the plain canvas: the rectangle's edges lie on pixel edges, half a pixel
  // before the pixel centres GDI+ addresses, and it is Right - Left wide (not one pixel less).
  if (brush_->GdiBrush())
    GdipFillRectangle(graphics_, brush_->GdiBrush(), x1 - 0.5f, y1 - 0.5f, static_cast<REAL>(x2 - x1),
                      static_cast<REAL>(y2 - y1));
}

void TIECanvas::RectangleR(const TRect& rect) {
  if (!useGDIPlus_) {
    canvas_->Rectangle(rect);
    return;
  }
  int32_t x1 = rect.Left, y1 = rect.Top, x2 = rect.Right, y2 = rect.Bottom;
  OrderCorners(x1, y1, x2, y2);
  const REAL w = static_cast<REAL>(x2 - x1 - 1), h = static_cast<REAL>(y2 - y1 - 1);
  if (brush_->GdiBrush()) GdipFillRectangle(graphics_, brush_->GdiBrush(), static_cast<REAL>(x1), static_cast<REAL>(y1), w, h);
  GdipDrawRectangle(graphics_, pen_->GdiPen(), static_cast<REAL>(x1), static_cast<REAL>(y1), w, h);
}

void TIECanvas::EllipseR(const TRect& rect) {
  if (!useGDIPlus_) {
    canvas_->Ellipse(rect);
    return;
  }
  int32_t x1 = rect.Left, y1 = rect.Top, x2 = rect.Right, y2 = rect.Bottom;
  if (pen_->Width() != 1) {
    // Keep a wide pen's outline on the box it was given.
    const int32_t e = static_cast<int32_t>(std::nearbyint(pen_->Width() / 2));
    if (x1 > x2) x1 += e;
    if (x1 <= x2 && e >= x2 - x1 - 1) x2 = x1 + e;
    if (x1 > x2 && e >= x1 - x2 - 1) x2 = x1 - e;
    if (y1 > y2) y1 += e;
    if (y1 <= y2 && e >= y2 - y1 - 1) y2 = y1 + e;
    if (y1 > y2 && e >= y1 - y2 - 1) y2 = y1 - e;
    if (x1 == x2 - e) x1 -= e;
    if (y1 == y2 - e) y1 -= e;
    if (x1 == x2) {
      x1 -= e + 1;
      x2 -= e + 1;
    }
    if (y1 == y2) {
      y1 -= e + 1;
      y2 -= e + 1;
    }
    if (x1 > x2) {
      x1 -= e;
      x2 -= e - 1;
    }
  }
  const REAL w = static_cast<REAL>(x2 - x1 - 1), h = static_cast<REAL>(y2 - y1 - 1);
  if (brush_->GdiBrush()) GdipFillEllipse(graphics_, brush_->GdiBrush(), static_cast<REAL>(x1), static_cast<REAL>(y1), w, h);
  GdipDrawEllipse(graphics_, pen_->GdiPen(), static_cast<REAL>(x1), static_cast<REAL>(y1), w, h);
}

void TIECanvas::Polygon(const TPoint* points, int32_t highIndex) {
  if (!points || highIndex < 0) return;
  const int32_t n = highIndex + 1;
  if (!useGDIPlus_) {
    canvas_->Polygon(points, n);
    return;
  }
  std::vector<GpPoint> p(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) p[i] = {points[i].X, points[i].Y};
  GdipDrawPolygonI(graphics_, pen_->GdiPen(), p.data(), n);
  if (brush_->GdiBrush()) GdipFillPolygonI(graphics_, brush_->GdiBrush(), p.data(), n, FillModeAlternate);
}

void TIECanvas::Polyline(const TPoint* points, int32_t highIndex) {
  if (!points || highIndex < 0) return;
  const int32_t n = highIndex + 1;
  if (!useGDIPlus_) {
    canvas_->Polyline(points, n);
    return;
  }
  std::vector<GpPoint> p(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) p[i] = {points[i].X, points[i].Y};
  GdipDrawLinesI(graphics_, pen_->GdiPen(), p.data(), n);
}

void TIECanvas::Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
  if (!useGDIPlus_) {
    canvas_->Arc(x1, y1, x2, y2, x3, y3, x4, y4);
    return;
  }
  const int32_t cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  const double start = LineAngle(cx, cy, x4, y4) * kDegrees;
  const double sweep = VertexAngle(x3, y3, cx, cy, x4, y4) * kDegrees;
  GdipDrawArc(graphics_, pen_->GdiPen(), static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2 - x1 + 1),
              static_cast<REAL>(y2 - y1 + 1), static_cast<REAL>(-start), static_cast<REAL>(sweep));
}

void TIECanvas::RoundRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
  if (!useGDIPlus_) {
    canvas_->RoundRect(x1, y1, x2, y2, x3, y3);
    return;
  }
  OrderCorners(x1, y1, x2, y2);
  const int32_t w = x2 - x1, h = y2 - y1;
  x3 = std::min(x3, w);
  y3 = std::min(y3, h);
  GpPath* path = nullptr;
  if (GdipCreatePath(FillModeAlternate, &path) != Ok || !path) return;
  const REAL cw = static_cast<REAL>(x3), ch = static_cast<REAL>(y3);
  GdipAddPathArc(path, static_cast<REAL>(x1), static_cast<REAL>(y1), cw, ch, 180, 90);
  GdipAddPathArc(path, static_cast<REAL>(x1 + w - x3), static_cast<REAL>(y1), cw, ch, 270, 90);
  GdipAddPathArc(path, static_cast<REAL>(x1 + w - x3), static_cast<REAL>(y1 + h - y3), cw, ch, 0, 90);
  GdipAddPathArc(path, static_cast<REAL>(x1), static_cast<REAL>(y1 + h - y3), cw, ch, 90, 90);
  // Back to where the first corner starts: the left side, closed at its own end (a line from
  // (x1, y1 + h - y3) would overshoot above the top-left corner when the corners are tall).
  GdipClosePathFigure(path);
  if (brush_->GdiBrush()) GdipFillPath(graphics_, brush_->GdiBrush(), path);
  GdipDrawPath(graphics_, pen_->GdiPen(), path);
  GdipDeletePath(path);
}

void TIECanvas::ClippedTextOut(const TRect& rect, int32_t x, int32_t y, const std::string& text) {
  const uint32_t flags = canvas_->TextFlags() | ETO_CLIPPED;
  // Selects the canvas's font and colours into its DC.
  const int32_t width = canvas_->TextWidth(text);
  if ((flags & ETO_RTLREADING) && canvas_->CanvasOrientation() == coRightToLeft) x += width + 1;
  ExtTextOut(canvas_->Handle(), x, y, flags, &rect, text.data(), static_cast<int32_t>(text.size()), nullptr);
}
