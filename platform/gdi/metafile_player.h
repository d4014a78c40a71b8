#pragma once
// The metafile player's drawing state and primitives, shared by the WMF and the EMF record loops.
// A player draws one metafile onto a QImage (the pixels of the destination) with the device
// context's state of its own: mapping mode, window and viewport, world transform, the selected
// pen, brush and font, colours and modes, the current position, the clip area, the path being
// built and the stack of saved states. Each playback has its own player, so metafiles play on
// several threads at once. Internal to the drawing layer.
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPen>
#include <QtGui/QTransform>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace metafile {

// Mapping modes.
enum : int32_t {
  MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5, MM_TWIPS = 6,
  MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8
};
// Pen style bits beyond the plain styles of gdi.h.
enum : uint32_t {
  PS_USERSTYLE = 7, PS_ALTERNATE = 8, PS_STYLE_MASK = 0xF, PS_ENDCAP_ROUND = 0, PS_ENDCAP_SQUARE = 0x100,
  PS_ENDCAP_FLAT = 0x200, PS_ENDCAP_MASK = 0xF00, PS_JOIN_ROUND = 0, PS_JOIN_BEVEL = 0x1000,
  PS_JOIN_MITER = 0x2000, PS_JOIN_MASK = 0xF000, PS_GEOMETRIC = 0x10000
};
enum : uint32_t { BS_INDEXED = 4, BS_DIBPATTERN = 5, BS_DIBPATTERNPT = 6, BS_PATTERN8X8 = 7, BS_DIBPATTERN8X8 = 8 };
// Binary raster operations of pens and brushes.
enum : int32_t {
  R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4, R2_MASKPENNOT = 5, R2_NOT = 6,
  R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9, R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12,
  R2_COPYPEN = 13, R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16
};
enum : uint32_t { ETO_GLYPH_INDEX = 0x10, ETO_PDY = 0x2000, ETO_NO_RECT = 0x100, ETO_SMALL_CHARS = 0x200 };
enum : int32_t { AD_COUNTERCLOCKWISE = 1, AD_CLOCKWISE = 2 };
enum : uint8_t { PT_CLOSEFIGURE = 1, PT_LINETO = 2, PT_BEZIERTO = 4, PT_MOVETO = 6 };

struct Pen {
  uint32_t style = PS_SOLID;  // with the end cap, join and geometric bits
  double width = 0;           // logical units; 0 is one device pixel
  QColor color = Qt::black;
  std::vector<qreal> dashes;  // PS_USERSTYLE lengths, logical units
};

struct Brush {
  uint32_t style = BS_SOLID;
  QColor color = Qt::white;
  int32_t hatch = 0;
  QImage pattern;  // pattern brushes
};

struct Font {
  int32_t height = 0, width = 0, escapement = 0, weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  uint8_t charSet = 0;
  QString face;
};

// An entry of the object table.
struct Object {
  enum Kind { kNone, kPen, kBrush, kFont, kPalette, kRegion } kind = kNone;
  Pen pen;
  Brush brush;
  Font font;
  QPainterPath region;  // logical units (WMF regions, EMF region data)
};

// The object table of a file, as many slots as its header declares. A slot's object is made when
// the slot is first used, so that a header declaring tens of thousands of handles costs a pointer
// per slot, not an object.
class ObjectTable {
 public:
  explicit ObjectTable(size_t Size) : slots_(Size) {}
  size_t Size() const { return slots_.size(); }
  // The object in slot Index (empty until one is made there); null outside the table.
  Object* At(size_t Index) {
    if (Index >= slots_.size()) return nullptr;
    std::unique_ptr<Object>& slot = slots_[Index];
    if (!slot) slot = std::make_unique<Object>();
    return slot.get();
  }
  // The lowest slot holding no object, emptied; null when every slot holds one.
  Object* LowestFree() {
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i] || slots_[i]->kind == Object::kNone) {
        Object* o = At(i);
        *o = Object();
        return o;
      }
    }
    return nullptr;
  }

 private:
  std::vector<std::unique_ptr<Object>> slots_;
};

struct State {
  Pen pen;
  Brush brush;
  Font font;
  QColor textColor = Qt::black, bkColor = Qt::white;
  int32_t bkMode = OPAQUE, rop2 = R2_COPYPEN, polyFill = ALTERNATE, stretchMode = 1, mapMode = MM_TEXT;
  uint32_t textAlign = 0;
  QPointF windowOrg, viewportOrg;
  QSizeF windowExt{1, 1}, viewportExt{1, 1};
  QTransform world;
  QPointF curPos;  // logical
  bool clockwise = false;
  bool hasClip = false;
  QPainterPath clip;  // device pixels of the destination
};

// Colour of a COLORREF (palette-relative and index forms taken as plain RGB).
inline QColor ColorOf(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

class Player {
 public:
  // Draws onto image; base maps the metafile's device space (EMF: the reference device's pixels;
  // WMF: the destination's) onto the image.
  Player(QImage& image, const QTransform& base, double pixelsPerMmX, double pixelsPerMmY);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  State& St() { return st_; }
  // Logical units to image pixels under the current state; false when the map is degenerate.
  bool Transform(QTransform& out) const;

  // State.
  void SaveDC();
  void RestoreDC(int32_t relative);
  void SetMapMode(int32_t mode);
  void SetWindowOrg(double x, double y) { st_.windowOrg = {x, y}; }
  void SetViewportOrg(double x, double y) { st_.viewportOrg = {x, y}; }
  void SetWindowExt(double x, double y);
  void SetViewportExt(double x, double y);
  void SetWorldTransform(const QTransform& t);
  void ModifyWorldTransform(const QTransform& t, uint32_t mode);
  void Select(const Object& o);

  // Shapes (logical units).
  void MoveTo(QPointF p);
  void LineTo(QPointF p);
  void Polyline(const std::vector<QPointF>& pts, bool fromCurrent);
  void Polygon(const std::vector<std::vector<QPointF>>& polys);
  void PolyPolyline(const std::vector<std::vector<QPointF>>& lines);
  void PolyBezier(const std::vector<QPointF>& pts, bool fromCurrent);
  void PolyDraw(const std::vector<QPointF>& pts, const std::vector<uint8_t>& types);
  void Rectangle(QRectF box);
  void RoundRect(QRectF box, double w, double h);
  void Ellipse(QRectF box);
  // Kind: 0 arc, 1 chord, 2 pie, 3 arc-to.
  void ArcShape(QRectF box, QPointF start, QPointF end, int kind);
  void AngleArc(QPointF center, double radius, double startDeg, double sweepDeg);
  void SetPixel(QPointF p, QColor c);
  void FloodFill(QPointF p, QColor c, bool surface);

  // Paths.
  void BeginPath();
  void EndPath() { inPath_ = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath(bool fill, bool stroke);
  void FlattenPath();
  void WidenPath();
  void SelectClipPath(int32_t mode);

  // Clipping and regions.
  void IntersectClipRect(QRectF r);
  void ExcludeClipRect(QRectF r);
  void OffsetClip(double dx, double dy);
  // Region in device units of the metafile (EMF) or logical units (deviceUnits false); an empty
  // path with RGN_COPY removes the clip.
  void SelectClipRegion(const QPainterPath& region, int32_t mode, bool deviceUnits);
  void FillRegion(const QPainterPath& region, const Brush& brush);
  void FrameRegion(const QPainterPath& region, const Brush& brush, double w, double h);
  void InvertRegion(const QPainterPath& region);
  void PaintRegion(const QPainterPath& region) { FillRegion(region, st_.brush); }

  // Text at a reference point (logical); advances in logical units (dy pairs with ETO_PDY).
  void Text(QPointF ref, const QString& text, const std::vector<int32_t>& dx, uint32_t options, const QRectF* rect);

  // Bitmaps: the source rectangle of image drawn onto the logical destination rectangle by a raster
  // operation; a null image is a pattern operation with the brush.
  void Blit(const QRectF& dest, const QImage& image, const QRectF& source, uint32_t rop);
  void AlphaBlit(const QRectF& dest, const QImage& image, const QRectF& source, uint8_t constantAlpha);
  void GradientRect(const QRectF& r, QColor a, QColor b, bool vertical);
  void GradientTriangle(const QPointF p[3], const QColor c[3]);

  // One debug-log line per kind of record the player skips.
  void Skipped(const char* format, uint32_t kind);

 private:
  // Adds a closed shape to the path or draws it.
  void Shape(const QPainterPath& logical, bool fill, bool stroke);
  void StrokeOpen(const QPainterPath& logical);
  // Adds an open figure to the path being recorded (joined to its last figure when Connect) or,
  // outside a path, strokes it.
  void OpenFigure(const QPainterPath& logical, bool connect);
  bool Prepare(QTransform& t);  // sets the painter to draw the current state; false: draw nothing
  QPen MakePen(double scale) const;
  QBrush MakeBrush(const Brush& b, const QTransform& t) const;
  void ApplyRop2();
  void ApplyClip();
  void CombineClip(const QPainterPath& device, int32_t mode);
  QPainterPath WholeImage() const;
  void ArcPath(QPainterPath& path, QRectF box, QPointF start, QPointF end, bool connect) const;

  QImage& image_;
  QPainter p_;
  QTransform base_;
  double ppmX_, ppmY_;
  State st_;
  std::vector<State> saved_;
  bool inPath_ = false;
  QPainterPath path_;  // device pixels
  std::set<std::string> skipped_;
  int32_t floodFills_ = 0;
};

// Rectangles of one region a record may hold; a larger region is dropped (combining regions costs
// the square of their rectangles).
constexpr uint32_t kMaxRegionRects = 4096;

// Safe bounds for values read from files: extents and positions beyond them are refused.
constexpr double kMaxCoordinate = 1e9;
inline bool Sane(double v) { return v == v && v > -kMaxCoordinate && v < kMaxCoordinate; }

// A DIB given by its header (with the colour table) and bits as an image; null when invalid or
// compressed in a way the layer does not read. withAlpha keeps 32-bit pixels' fourth byte.
QImage ImageFromDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize, bool withAlpha);
// The same for a packed DIB (header, table and bits in one block).
QImage ImageFromPackedDib(const uint8_t* data, size_t size);

// Record loops over validated files (see metafile.cpp); false when playback stopped on a bad record.
void PlayEmfRecords(Player& player, const uint8_t* data, size_t size);
void PlayWmfRecords(Player& player, const uint8_t* data, size_t size, size_t headerOffset);

}  // namespace metafile
