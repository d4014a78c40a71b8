#pragma once
// The framework's drawing objects: TFont, TPen, TBrush and TCanvas. A canvas draws on a device
// context (gdi.h) with the GDI's rules; it selects its pen, brush and font into the DC before each
// operation, as the framework does.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/color.h"
#include "platform/gdi/gdi.h"
#include "platform/system/classes.h"
#include "platform/system/exception.h"
#include "platform/system/object.h"
#include "platform/system/types.h"

class TBitmap;
class TGraphic;

// Raised by invalid operations on graphics ("Canvas does not allow drawing", "Invalid pixel format").
class EInvalidGraphicOperation : public Exception { using Exception::Exception; };
class EInvalidGraphic : public Exception { using Exception::Exception; };

// A small set of enumeration values (the framework's "set of"), bit n for value n.
template <class E>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<E> values) {
    for (E v : values) bits_ |= Bit(v);
  }
  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr TEnumSet& Include(E v) { bits_ |= Bit(v); return *this; }
  constexpr TEnumSet& Exclude(E v) { bits_ &= ~Bit(v); return *this; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr TEnumSet operator+(TEnumSet o) const { TEnumSet r; r.bits_ = bits_ | o.bits_; return r; }
  constexpr TEnumSet operator-(TEnumSet o) const { TEnumSet r; r.bits_ = bits_ & ~o.bits_; return r; }
  constexpr TEnumSet operator*(TEnumSet o) const { TEnumSet r; r.bits_ = bits_ & o.bits_; return r; }
  friend constexpr bool operator==(TEnumSet a, TEnumSet b) { return a.bits_ == b.bits_; }

 private:
  static constexpr uint32_t Bit(E v) { return 1u << static_cast<uint32_t>(v); }
  uint32_t bits_ = 0;
};

// Common base of TFont, TPen and TBrush: a description that makes a GDI object on demand.
class TGraphicsObject : public TPersistent {
 public:
  TGraphicsObject() = default;
  TGraphicsObject(const TGraphicsObject&) = delete;
  TGraphicsObject& operator=(const TGraphicsObject&) = delete;
  ~TGraphicsObject() override;
  TNotifyEvent OnChange;

 protected:
  // Forgets the GDI object (it is made again when next asked for) and fires OnChange.
  void Changed();
  // The cached GDI object, freed by Changed and by the destructor.
  HGDIOBJ handle_ = nullptr;
  bool ownsHandle_ = true;

 private:
  friend class TCanvas;
  // Set by the canvas that owns the object: deselects the GDI object before it is freed.
  std::function<void(HGDIOBJ)> releaseHook_;
};

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TEnumSet<TFontStyle>;
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
enum TFontQuality : uint8_t {
  fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural
};
using TFontCharset = uint8_t;

class TFont : public TGraphicsObject {
 public:
  TFont();
  HFONT Handle();
  // Adopts a font object (the font's description is read from it; the font owns it afterwards).
  void SetHandle(HFONT font);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  // Height in pixels: negative is the character height (the framework's usual form), positive the
  // cell height. Size is in points at PixelsPerInch: Size = -Height * 72 / PixelsPerInch.
  int32_t Height() const { return height_; }
  void SetHeight(int32_t height);
  int32_t Size() const;
  void SetSize(int32_t points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  // Angle of the baseline in tenths of a degree, counter-clockwise.
  int32_t Orientation() const { return orientation_; }
  void SetOrientation(int32_t tenths);
  TFontQuality Quality() const { return quality_; }
  void SetQuality(TFontQuality quality);
  int32_t PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int32_t ppi) { pixelsPerInch_ = ppi; }
  using TPersistent::Assign;
  void Assign(TPersistent* source) override;
  void Assign(const TFont& source);
  LOGFONT ToLogFont() const;

 private:
  std::string name_ = "Tahoma";
  int32_t height_ = -11;  // 8 points at 96 pixels per inch
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int32_t orientation_ = 0;
  TFontQuality quality_ = fqDefault;
  int32_t pixelsPerInch_;
};

enum TPenStyle : uint8_t {
  psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame, psUserStyle, psAlternate
};
enum TPenMode : uint8_t {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
  pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
// The raster operation (R2_*) of a pen mode.
int32_t PenModeToROP2(TPenMode mode);

class TPen : public TGraphicsObject {
 public:
  TPen() = default;
  HPEN Handle();
  void SetHandle(HPEN pen);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int32_t Width() const { return width_; }
  void SetWidth(int32_t width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);
  using TPersistent::Assign;
  void Assign(TPersistent* source) override;
  void Assign(const TPen& source);

 private:
  TColor color_ = clBlack;
  int32_t width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

enum TBrushStyle : uint8_t {
  bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};

class TBrush : public TGraphicsObject {
 public:
  TBrush() = default;
  ~TBrush() override;
  HBRUSH Handle();
  void SetHandle(HBRUSH brush);
  TColor Color() const { return color_; }
  // Setting a colour turns a clear brush solid, as in the framework.
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  // A pattern bitmap (not owned; the brush keeps a copy of its pixels). Null returns to the style.
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* bitmap);
  using TPersistent::Assign;
  void Assign(TPersistent* source) override;
  void Assign(const TBrush& source);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
};

using TCopyMode = uint32_t;  // a ternary raster operation (cmSrcCopy = SRCCOPY ...)
constexpr TCopyMode cmBlackness = BLACKNESS, cmDstInvert = DSTINVERT, cmMergeCopy = MERGECOPY,
                    cmMergePaint = MERGEPAINT, cmNotSrcCopy = NOTSRCCOPY, cmNotSrcErase = NOTSRCERASE,
                    cmPatCopy = PATCOPY, cmPatInvert = PATINVERT, cmPatPaint = PATPAINT, cmSrcAnd = SRCAND,
                    cmSrcCopy = SRCCOPY, cmSrcErase = SRCERASE, cmSrcInvert = SRCINVERT,
                    cmSrcPaint = SRCPAINT, cmWhiteness = WHITENESS;

enum TCanvasOrientation : uint8_t { coLeftToRight, coRightToLeft };

// Text layout options of TextRect(Rect, Text, Format).
enum TTextFormats : uint8_t {
  tfBottom, tfCalcRect, tfCenter, tfEditControl, tfEndEllipsis, tfPathEllipsis, tfExpandTabs,
  tfExternalLeading, tfLeft, tfModifyString, tfNoClip, tfNoPrefix, tfRight, tfRtlReading,
  tfSingleLine, tfTop, tfVerticalCenter, tfWordBreak, tfHidePrefix, tfNoFullWidthCharBreak,
  tfPrefixOnly, tfTabStop, tfWordEllipsis
};
using TTextFormat = TEnumSet<TTextFormats>;
uint32_t TextFormatToDrawTextFlags(TTextFormat format);

class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The device context; asks CreateHandle for one when there is none.
  HDC Handle();
  // Uses a DC the caller keeps (it is not freed by the canvas); null lets go of the current one.
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TFont* Font() { return &font_; }
  TPen* Pen() { return &pen_; }
  TBrush* Brush() { return &brush_; }
  void SetFont(const TFont& font) { font_.Assign(font); }
  void SetPen(const TPen& pen) { pen_.Assign(pen); }
  void SetBrush(const TBrush& brush) { brush_.Assign(brush); }
  TPoint PenPos();
  void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }
  TCopyMode CopyMode() const { return copyMode_; }
  void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }
  // ExtTextOut options TextRect uses (ETO_CLIPPED, ETO_OPAQUE, ETO_RTLREADING).
  uint32_t TextFlags() const { return textFlags_; }
  void SetTextFlags(uint32_t flags) { textFlags_ = flags; }
  TCanvasOrientation CanvasOrientation();
  // The clip box in logical coordinates.
  TRect ClipRect();

  TColor Pixels(int32_t x, int32_t y);
  void SetPixels(int32_t x, int32_t y, TColor color);

  void Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4);
  void Chord(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4);
  void Pie(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4);
  void Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void RoundRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void DrawFocusRect(const TRect& r);
  // Fills outward from (x, y): fsSurface fills the area of that colour, fsBorder up to it.
  enum TFillStyle : uint8_t { fsSurface, fsBorder };
  void FloodFill(int32_t x, int32_t y, TColor color, TFillStyle style);
  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);
  void Polygon(const TPoint* points, int32_t count);
  void Polygon(const std::vector<TPoint>& points) { Polygon(points.data(), static_cast<int32_t>(points.size())); }
  void Polyline(const TPoint* points, int32_t count);
  void Polyline(const std::vector<TPoint>& points) { Polyline(points.data(), static_cast<int32_t>(points.size())); }
  void PolyBezier(const TPoint* points, int32_t count);

  // Text in UTF-8 at the pen's font; TextOut moves the pen position to the end of the text.
  void TextOut(int32_t x, int32_t y, const std::string& text);
  // Writes text at (x, y) clipped to rect (ExtTextOut with ETO_CLIPPED and the text flags), the
  // rectangle filled with the brush unless the brush is clear.
  void TextRect(const TRect& rect, int32_t x, int32_t y, const std::string& text);
  // DrawText with the format's flags; with tfCalcRect rect receives the text's extent, with
  // tfModifyString and an ellipsis text receives the shortened text.
  void TextRect(TRect& rect, std::string& text, TTextFormat format);
  // DrawText with its own flags (DT_xxx; DT_MODIFYSTRING is not honoured) in the canvas's font;
  // answers the text's height as DrawText does.
  int32_t TextRectFlags(TRect& rect, const std::string& text, uint32_t flags);
  TSize TextExtent(const std::string& text);
  int32_t TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int32_t TextHeight(const std::string& text) { return TextExtent(text).cy; }

  // Picture drawing: a graphic at its own size, or stretched into a rectangle.
  void Draw(int32_t x, int32_t y, TGraphic* graphic);
  void Draw(int32_t x, int32_t y, TGraphic* graphic, uint8_t opacity);
  void StretchDraw(const TRect& rect, TGraphic* graphic);
  // Copies a rectangle of another canvas with the copy mode (stretching when the sizes differ).
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);
  // Copies a rectangle of a bitmap, painting its pixels of one colour with this canvas's brush.
  void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color);

  void Refresh();
  // Serialises drawing between threads (the GIF painter draws from its own thread).
  void Lock();
  void Unlock();
  bool TryLock();
  int32_t LockCount() const { return lockCount_; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  // Called when the canvas needs a DC and has none; subclasses make one and call SetHandle.
  virtual void CreateHandle() {}
  // The DC's previous objects are selected back before it goes.
  void DeselectHandles();
  void Changing();
  void Changed();

 private:
  enum : uint8_t { kPen = 1, kBrush = 2, kFont = 4 };
  // Selects what an operation needs into the DC; false when there is no DC.
  bool Required(uint8_t what);

  HDC dc_ = nullptr;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  TCopyMode copyMode_ = cmSrcCopy;
  uint32_t textFlags_ = 0;
  HGDIOBJ oldPen_ = nullptr;
  HGDIOBJ oldBrush_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  int32_t lockCount_ = 0;
  struct LockImpl;
  std::unique_ptr<LockImpl> lock_;
};

// Draws a 3-D frame inside rect, top/left in topColor, bottom/right in bottomColor, width lines
// deep; rect shrinks by width on every side.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int32_t width);
