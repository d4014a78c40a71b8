#pragma once
// The engine's antialiased canvas: TIECanvas draws lines, rectangles, ellipses, polygons, arcs
// and rounded rectangles through the GDI+ interface (antialiasing, alpha) when GDI+ is available
// and wanted, and through the wrapped framework canvas otherwise. TIEPen and TIEBrush mirror the
// canvas's pen and brush and add a transparency used only by GDI+. Text always goes through the
// wrapped canvas. GDI+ is counted: every image view acquires it while it lives.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/gdiplus.h"
#include "platform/gdi/graphics.h"

// The library's use count and state. The availability switch turns the GDI+ path off for every
// canvas created afterwards (the plain canvas then draws everything).
bool IsGDIPlusLoaded();
bool IsGDIPlusAvailable();
void AcquireGDIPlus();
void ReleaseGDIPlus();
int32_t GDIPlusUseCount();
bool IEGDIPlusEnabled();
void SetIEGDIPlusEnabled(bool enabled);
// Part of the engine's start-up: enabled, not loaded, count 0.
void InitializeIEGDIPlus();

class TIEPen {
 public:
  // Takes colour, width, style and mode of the framework pen (not owned). The GDI+ pen exists
  // when GDI+ is available (and useGDIPlus).
  explicit TIEPen(TPen* pen, bool useGDIPlus = true);
  ~TIEPen();
  TIEPen(const TIEPen&) = delete;
  TIEPen& operator=(const TIEPen&) = delete;

  // (Re)creates the GDI+ pen; raises "Cannot create TIEPen. GdipCreatePen1 failed.".
  void CreateGdiPen();
  // The colour with the transparency as alpha (alpha 0 for psClear).
  ARGB GetARGB() const;
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int32_t Transparency() const { return transparency_; }
  void SetTransparency(int32_t alpha);
  float Width() const { return width_; }
  void SetWidth(float width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);
  uint8_t LineJoin() const { return lineJoin_; }
  void SetLineJoin(uint8_t join);
  void SetHandle(HPEN handle);
  GpPen* GdiPen() const { return gpPen_; }

 private:
  TPen* pen_;
  bool gdiPlus_;
  GpPen* gpPen_ = nullptr;
  TColor color_;
  int32_t transparency_ = 255;
  float width_;
  TPenStyle style_;
  TPenMode mode_;
  uint8_t lineJoin_ = 2;
};

class TIEBrush {
 public:
  // Takes colour and style of the framework brush (not owned). The GDI+ brush exists when GDI+
  // is available (and useGDIPlus).
  explicit TIEBrush(TBrush* brush, bool useGDIPlus = true);
  ~TIEBrush();
  TIEBrush(const TIEBrush&) = delete;
  TIEBrush& operator=(const TIEBrush&) = delete;

  // (Re)creates the GDI+ brush: solid for bsSolid and bsClear, hatched for the six hatch styles,
  // none for others. Raises "Cannot create TIEBrush. GdipCreateSolidFill failed." or
  // "Cannot create TIEBrush. GdipCreateHatchBrush failed.".
  void CreateGdiBrush();
  ARGB GetARGB() const;
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int32_t Transparency() const { return transparency_; }
  void SetTransparency(int32_t alpha);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor color);
  int32_t BackTransparency() const { return backTransparency_; }
  void SetBackTransparency(int32_t alpha);
  GpBrush* GdiBrush() const { return gpBrush_; }

 private:
  TBrush* brush_;
  bool gdiPlus_;
  GpBrush* gpBrush_ = nullptr;
  TColor color_;
  int32_t transparency_ = 255;
  TColor backColor_ = 0;
  int32_t backTransparency_ = 0;
  TBrushStyle style_;
};

class TIECanvas {
 public:
  // Wraps a canvas (not owned). With useGDIPlus and GDI+ available, shapes go through GDI+,
  // antialiased when antiAlias. Raises "Cannot create TIECanvas. GdipCreateFromHDC failed."
  // when GDI+ cannot draw on the canvas's DC.
  explicit TIECanvas(TCanvas* canvas, bool antiAlias = true, bool useGDIPlus = true);
  ~TIECanvas();
  TIECanvas(const TIECanvas&) = delete;
  TIECanvas& operator=(const TIECanvas&) = delete;

  HDC Handle() { return canvas_->Handle(); }
  TFont* Font() { return canvas_->Font(); }
  TCanvas* Canvas() { return canvas_; }
  TIEPen* Pen() { return pen_.get(); }
  TIEBrush* Brush() { return brush_.get(); }
  // The GDI+ graphics object (null when GDI+ is not used).
  GpGraphics* Graphics() const { return graphics_; }
  bool UsesGDIPlus() const { return useGDIPlus_; }

  // 5 antialiases, 2 draws fast (GDI+ only).
  void SetSmoothingMode(int32_t mode);
  void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }
  TPoint PenPos() const { return pos_; }
  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);
  // A line that leaves the current position where it is.
  void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void FillRect(const TRect& rect);
  void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { RectangleR({x1, y1, x2, y2}); }
  void RectangleR(const TRect& rect);
  void Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { EllipseR({x1, y1, x2, y2}); }
  void EllipseR(const TRect& rect);
  // The points 0..highIndex.
  void Polygon(const TPoint* points, int32_t highIndex);
  void Polyline(const TPoint* points, int32_t highIndex);
  void Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4);
  void RoundRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);

  int32_t TextWidth(const std::string& text) { return canvas_->TextWidth(text); }
  int32_t TextHeight(const std::string& text) { return canvas_->TextHeight(text); }
  void TextOut(int32_t x, int32_t y, const std::string& text) { canvas_->TextOut(x, y, text); }
  void TextRect(const TRect& rect, int32_t x, int32_t y, const std::string& text) {
    canvas_->TextRect(rect, x, y, text);
  }
  // Text at (x, y) clipped to rect, with the canvas's text flags.
  void ClippedTextOut(const TRect& rect, int32_t x, int32_t y, const std::string& text);

 private:
  TCanvas* canvas_;
  std::unique_ptr<TIEPen> pen_;
  std::unique_ptr<TIEBrush> brush_;
  GpGraphics* graphics_ = nullptr;
  TPoint pos_;
  bool useGDIPlus_ = false;
};
