#pragma once
// Bitmap and drawing routines the controls share: what lies behind a control that looks
// transparent, bitmaps drawn with one colour left out (stretched or not), the disabled looks of a
// button glyph and of an image-list entry, an 8 x 8 two-colour pattern, banded gradients, lines and
// arrow heads. They work on the framework's canvases and bitmaps and on raw device contexts with
// the GDI's raster operations.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"

class TControl;
class TCustomImageList;

// The raster operation DSPDxax: the brush where the (monochrome) source is 0 once converted to
// colour with text colour white and background black, the destination where it is 1.
constexpr uint32_t ROP_DSPDxax = 0x00E20746;

// Paints onto the canvas, at the control's place, what the control's parent shows under it: the
// parent's own content (its background and painting, without its children), then its children
// that lie below the control in z-order and meet its bounds, each marked as painting a copy. The
// canvas's origin is the control's top-left corner. Nothing without a parent.
void PaintParentUnderControl(TControl* control, TCanvas* canvas);

// The colour's RGB with the palette-relative bit 0x02000000 set.
COLORREF PaletteRelativeRGB(TColor color);

// Stretch-copies the source rectangle into the destination rectangle leaving out the pixels of
// the transparent colour (an RGB value), through a mask as the GDI does it. A palette, when given,
// is selected into the destination and the work DCs meanwhile.
void MaskedStretchBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sx,
                      int32_t sy, int32_t sw, int32_t sh, HPALETTE palette, COLORREF transparent);
// MaskedStretchBlt for a framework bitmap. A destination width or height below 1 takes the
// bitmap's; a source width or height below 1 takes the whole bitmap. clNone copies plainly with the
// canvas's copy mode; clDefault leaves out the bottom-left pixel's colour; a monochrome bitmap
// leaves out white.
void StretchBitmapMasked(TCanvas* canvas, TBitmap* bitmap, TColor transparent, int32_t x, int32_t y, int32_t width,
                         int32_t height, int32_t sx, int32_t sy, int32_t sw, int32_t sh);
// The part rect of the bitmap drawn at (x, y) at its own size.
void StretchBitmapMaskedRect(TCanvas* canvas, int32_t x, int32_t y, const TRect& rect, TBitmap* bitmap,
                             TColor transparent);
// The whole bitmap at (x, y), unstretched.
void DrawBitmapMasked(TCanvas* canvas, int32_t x, int32_t y, TBitmap* bitmap, TColor transparent);

// The flat disabled look of a glyph: the transparent colour where the glyph has none, the glyph's
// shape in clBtnShadow over its shape in clBtnHighlight moved one pixel right and down. An empty
// glyph gives an empty bitmap.
std::unique_ptr<TBitmap> MakeEmbossedGlyph(TBitmap* glyph, TColor transparent);
// The outline disabled look: backColor, with the pixels of the outline colour painted in
// shadowColor over themselves in highlightColor one pixel right and down (when drawHighlight).
std::unique_ptr<TBitmap> MakeOutlineGlyphEx(TBitmap* glyph, TColor outline, TColor backColor, TColor highlightColor,
                                            TColor shadowColor, bool drawHighlight);
std::unique_ptr<TBitmap> MakeOutlineGlyph(TBitmap* glyph, TColor outline);
// Draws image index of the list at (x, y) in the disabled look: its shape in shadowColor over its
// shape in highlightColor one pixel right and down (when drawHighlight). The canvas's brush colour
// is as it was afterwards; an index outside the list draws nothing.
void DrawImageEmbossed(TCustomImageList* images, TCanvas* canvas, int32_t x, int32_t y, int32_t index,
                       TColor highlightColor, TColor shadowColor, bool drawHighlight);

// An 8 x 8 bitmap in colour a with colour b where row and column have the same parity.
std::unique_ptr<TBitmap> MakeCheckerBitmap(TColor a, TColor b);

// Fills rect with bands of colour from start to end: direction 0 from top to bottom, 1 from bottom
// to top, 2 from left to right, 3 from right to left, in at most bands bands (at least 2, at most
// one per pixel). Fewer than 2 bands or equal colours fill solid. One clNone end takes the other
// end's colour; both clNone draw nothing.
void FillGradientBands(TCanvas* canvas, const TRect& rect, TColor start, TColor end, int32_t direction,
                       uint8_t bands);

// The .bmp file image (24 bits) of a picture given as rows of letters, top row first, each letter
// standing for the colour colorOf gives it: how the library's built-in pictures are written down.
std::vector<uint8_t> BitmapFileFromRows(const char* const* rows, int32_t width, int32_t height,
                                        COLORREF (*colorOf)(char));
// The same of a one-bit picture with the palette black, white: 'X' is black, any other letter white.
std::vector<uint8_t> MonochromeBitmapFileFromRows(const char* const* rows, int32_t width, int32_t height);

// A line from (x1, y1) to (x2, y2) with the canvas's pen (the end pixel left out).
void CanvasLine(TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// A filled arrow head in the colour inside rect shrunk by inset, pointing left (0), up (1), right
// (2) or down (3). The pen takes the colour.
void DrawTriangleArrow(TCanvas* canvas, const TRect& rect, TColor color, int32_t direction, int32_t inset);
