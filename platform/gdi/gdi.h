#pragma once
// The drawing interface in its Windows shape: device contexts, GDI objects (pens, brushes,
// fonts, bitmaps, palettes, regions), DIB sections, block transfers with raster operations,
// shapes, text and clipping, with the GDI's own semantics (rectangles exclude their right and
// bottom edges, LineTo leaves its end pixel, HALFTONE stretching averages, negative extents
// mirror). Every device context draws on rows in memory: a bitmap selected into a memory DC, or a
// surface given by its bits (CreateSurfaceDC), which is how window surfaces are drawn on.
//
// Handles are pointers to opaque objects; functions given a handle that is not a live object of
// the expected kind fail as the GDI does (0, false, CLR_INVALID or ERROR) instead of crashing.
// GDI objects may be used from any thread, one thread at a time per object.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gdi/color.h"
#include "platform/system/types.h"

struct HDC__;
struct HBITMAP__;
struct HPEN__;
struct HBRUSH__;
struct HFONT__;
struct HPALETTE__;
struct HRGN__;
using HDC = HDC__*;
using HBITMAP = HBITMAP__*;
using HPEN = HPEN__*;
using HBRUSH = HBRUSH__*;
using HFONT = HFONT__*;
using HPALETTE = HPALETTE__*;
using HRGN = HRGN__*;
// Any GDI object (the typed handles convert to it, as in the Windows headers).
using HGDIOBJ = void*;

// ---- Records --------------------------------------------------------------------------------

#pragma pack(push, 1)
struct RGBQUAD {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
};

// The 40-byte header of a device-independent bitmap. A positive biHeight means rows bottom-up, a
// negative one top-down. Rows are padded to 4 bytes.
struct BITMAPINFOHEADER {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};

// Header and colour table; the table is followed by as many entries as the bitmap uses (or, for
// BI_BITFIELDS, by the three colour masks in the first three entries).
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// The 14-byte header of a .bmp file.
struct BITMAPFILEHEADER {
  uint16_t bfType = 0x4D42;  // "BM"
  uint32_t bfSize = 0;
  uint16_t bfReserved1 = 0;
  uint16_t bfReserved2 = 0;
  uint32_t bfOffBits = 0;
};
#pragma pack(pop)

static_assert(sizeof(BITMAPINFOHEADER) == 40 && sizeof(BITMAPFILEHEADER) == 14);

// What GetObject reports for a bitmap. bmBits is the top-most row in memory (the first byte of the
// pixel block) for a DIB section and nullptr for a device-dependent bitmap.
struct BITMAP {
  int32_t bmType = 0;
  int32_t bmWidth = 0;
  int32_t bmHeight = 0;
  int32_t bmWidthBytes = 0;
  uint16_t bmPlanes = 1;
  uint16_t bmBitsPixel = 0;
  void* bmBits = nullptr;
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  uint32_t dsBitfields[3] = {0, 0, 0};
  void* dshSection = nullptr;
  uint32_t dsOffset = 0;
};

struct LOGPEN {
  uint32_t lopnStyle = 0;
  TPoint lopnWidth;
  COLORREF lopnColor = 0;
};

struct LOGBRUSH {
  uint32_t lbStyle = 0;
  COLORREF lbColor = 0;
  uintptr_t lbHatch = 0;  // hatch style, or the HBITMAP of a pattern brush
};

constexpr int LF_FACESIZE = 32;
struct LOGFONT {
  int32_t lfHeight = 0;  // < 0: character height in pixels; > 0: cell height; 0: default
  int32_t lfWidth = 0;
  int32_t lfEscapement = 0;  // tenths of a degree, counter-clockwise
  int32_t lfOrientation = 0;
  int32_t lfWeight = 0;
  uint8_t lfItalic = 0;
  uint8_t lfUnderline = 0;
  uint8_t lfStrikeOut = 0;
  uint8_t lfCharSet = 0;  // ignored: text is Unicode
  uint8_t lfOutPrecision = 0;
  uint8_t lfClipPrecision = 0;
  uint8_t lfQuality = 0;
  uint8_t lfPitchAndFamily = 0;
  char lfFaceName[LF_FACESIZE] = {};
};
using LOGFONTA = LOGFONT;

struct TEXTMETRIC {
  int32_t tmHeight = 0;
  int32_t tmAscent = 0;
  int32_t tmDescent = 0;
  int32_t tmInternalLeading = 0;
  int32_t tmExternalLeading = 0;
  int32_t tmAveCharWidth = 0;
  int32_t tmMaxCharWidth = 0;
  int32_t tmWeight = 0;
  int32_t tmOverhang = 0;
  int32_t tmDigitizedAspectX = 96;
  int32_t tmDigitizedAspectY = 96;
  char tmFirstChar = 32;
  char tmLastChar = 126;
  char tmDefaultChar = '?';
  char tmBreakChar = ' ';
  uint8_t tmItalic = 0;
  uint8_t tmUnderlined = 0;
  uint8_t tmStruckOut = 0;
  uint8_t tmPitchAndFamily = 0;
  uint8_t tmCharSet = 0;
};
using TEXTMETRICA = TEXTMETRIC;

struct XFORM {
  float eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0;
};

struct PALETTEENTRY {
  uint8_t peRed = 0;
  uint8_t peGreen = 0;
  uint8_t peBlue = 0;
  uint8_t peFlags = 0;
};

struct LOGPALETTE {
  uint16_t palVersion = 0x300;
  uint16_t palNumEntries = 0;
  PALETTEENTRY palPalEntry[1];
};

struct RGNDATAHEADER {
  uint32_t dwSize = 32;
  uint32_t iType = 1;  // RDH_RECTANGLES
  uint32_t nCount = 0;
  uint32_t nRgnSize = 0;
  TRect rcBound;
};
// Header followed by nCount rectangles.
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};

struct TRIVERTEX {
  int32_t x = 0;
  int32_t y = 0;
  uint16_t Red = 0;  // 0..0xFF00
  uint16_t Green = 0;
  uint16_t Blue = 0;
  uint16_t Alpha = 0;
};
struct GRADIENT_RECT {
  uint32_t UpperLeft = 0;
  uint32_t LowerRight = 0;
};

// ---- Constants ------------------------------------------------------------------------------

// Ternary raster operations (source, destination, pattern).
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t SRCPAINT = 0x00EE0086;
constexpr uint32_t SRCAND = 0x008800C6;
constexpr uint32_t SRCINVERT = 0x00660046;
constexpr uint32_t SRCERASE = 0x00440328;
constexpr uint32_t NOTSRCCOPY = 0x00330008;
constexpr uint32_t NOTSRCERASE = 0x001100A6;
constexpr uint32_t MERGECOPY = 0x00C000CA;
constexpr uint32_t MERGEPAINT = 0x00BB0226;
constexpr uint32_t PATCOPY = 0x00F00021;
constexpr uint32_t PATPAINT = 0x00FB0A09;
constexpr uint32_t PATINVERT = 0x005A0049;
constexpr uint32_t DSTINVERT = 0x00550009;
constexpr uint32_t BLACKNESS = 0x00000042;
constexpr uint32_t WHITENESS = 0x00FF0062;
// MaskBlt's combined code: the foreground operation in the high byte of the high word.
constexpr uint32_t MAKEROP4(uint32_t fore, uint32_t back) { return ((back << 8) & 0xFF000000u) | fore; }

// Binary raster operations of pens and brushes (SetROP2).
enum : int32_t {
  R2_BLACK = 1, R2_NOTMERGEPEN, R2_MASKNOTPEN, R2_NOTCOPYPEN, R2_MASKPENNOT, R2_NOT, R2_XORPEN,
  R2_NOTMASKPEN, R2_MASKPEN, R2_NOTXORPEN, R2_NOP, R2_MERGENOTPEN, R2_COPYPEN, R2_MERGEPENNOT,
  R2_MERGEPEN, R2_WHITE
};

// Stretch modes.
enum : int32_t { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4 };
constexpr int32_t STRETCH_ANDSCANS = BLACKONWHITE;
constexpr int32_t STRETCH_ORSCANS = WHITEONBLACK;
constexpr int32_t STRETCH_DELETESCANS = COLORONCOLOR;
constexpr int32_t STRETCH_HALFTONE = HALFTONE;

// DIB compression and colour-table use.
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t DIB_RGB_COLORS = 0;
constexpr uint32_t DIB_PAL_COLORS = 1;

// Pen styles.
enum : uint32_t {
  PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
  PS_INSIDEFRAME = 6
};
// Brush styles and hatch styles.
enum : uint32_t { BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3 };
enum : int32_t {
  HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4, HS_DIAGCROSS = 5
};

// Background modes, graphics modes, polygon fill modes.
enum : int32_t { TRANSPARENT = 1, OPAQUE = 2 };
enum : int32_t { GM_COMPATIBLE = 1, GM_ADVANCED = 2 };
enum : uint32_t { MWT_IDENTITY = 1, MWT_LEFTMULTIPLY = 2, MWT_RIGHTMULTIPLY = 3 };
enum : int32_t { ALTERNATE = 1, WINDING = 2 };

// Text alignment (SetTextAlign).
enum : uint32_t {
  TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0,
  TA_BOTTOM = 8, TA_BASELINE = 24, TA_RTLREADING = 256
};

// ExtTextOut options.
enum : uint32_t { ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_RTLREADING = 0x80 };

// DrawText format flags.
enum : uint32_t {
  DT_TOP = 0, DT_LEFT = 0, DT_CENTER = 1, DT_RIGHT = 2, DT_VCENTER = 4, DT_BOTTOM = 8,
  DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80,
  DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
  DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000, DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000,
  DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000, DT_WORD_ELLIPSIS = 0x40000,
  DT_NOFULLWIDTHCHARBREAK = 0x80000, DT_HIDEPREFIX = 0x100000, DT_PREFIXONLY = 0x200000
};

// Region combination modes and region kinds.
enum : int32_t { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };
enum : int32_t { RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };
constexpr int32_t ERROR = RGN_ERROR;

// Object kinds (GetObjectType).
enum : uint32_t {
  OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_PAL = 5, OBJ_FONT = 6, OBJ_BITMAP = 7, OBJ_REGION = 8,
  OBJ_MEMDC = 10
};

// Stock objects.
enum : int32_t {
  WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4, NULL_BRUSH = 5,
  HOLLOW_BRUSH = NULL_BRUSH, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8, SYSTEM_FONT = 13,
  DEFAULT_PALETTE = 15, DEFAULT_GUI_FONT = 17, DC_BRUSH = 18, DC_PEN = 19
};

// Device capabilities.
enum : int32_t {
  HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24, RASTERCAPS = 38,
  LOGPIXELSX = 88, LOGPIXELSY = 90, SIZEPALETTE = 104, PHYSICALWIDTH = 110, PHYSICALHEIGHT = 111
};

// Font weights and qualities.
enum : int32_t { FW_DONTCARE = 0, FW_THIN = 100, FW_LIGHT = 300, FW_NORMAL = 400, FW_BOLD = 700, FW_HEAVY = 900 };
enum : uint8_t {
  DEFAULT_QUALITY = 0, DRAFT_QUALITY = 1, PROOF_QUALITY = 2, NONANTIALIASED_QUALITY = 3,
  ANTIALIASED_QUALITY = 4, CLEARTYPE_QUALITY = 5
};
enum : uint8_t { ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2 };

// 3-D edges (DrawEdge).
enum : uint32_t {
  BDR_RAISEDOUTER = 1, BDR_SUNKENOUTER = 2, BDR_RAISEDINNER = 4, BDR_SUNKENINNER = 8,
  EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
  EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER
};
enum : uint32_t {
  BF_LEFT = 1, BF_TOP = 2, BF_RIGHT = 4, BF_BOTTOM = 8, BF_TOPLEFT = 3, BF_BOTTOMRIGHT = 12, BF_RECT = 15,
  BF_MIDDLE = 0x800, BF_SOFT = 0x1000, BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000
};

enum : uint32_t { GRADIENT_FILL_RECT_H = 0, GRADIENT_FILL_RECT_V = 1 };
enum : uint32_t { FLOODFILLBORDER = 0, FLOODFILLSURFACE = 1 };

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr COLORREF PALETTERGB(uint8_t r, uint8_t g, uint8_t b) { return 0x02000000u | RGB(r, g, b); }

// Bytes of one row of a DIB: bits per row rounded up to 32.
constexpr int32_t DibRowBytes(int32_t width, int32_t bitCount) {
  return static_cast<int32_t>(((static_cast<int64_t>(width) * bitCount + 31) / 32) * 4);
}

// ---- Device contexts and objects --------------------------------------------------------------

// A memory DC with a 1 x 1 monochrome bitmap selected; dc is only read for compatibility.
HDC CreateCompatibleDC(HDC dc);
// A DC drawing on rows the caller owns (a window's screen surface, an image's pixels): bits points
// at row 0 (the top row), stride is the distance in bytes from one row to the next (negative for
// rows stored bottom-up), bitCount 1, 4, 8, 16, 24 or 32 (16 is 5-6-5, 32 is B, G, R, X); colors
// gives the colour table of 1- to 8-bit surfaces (copied). opaqueAlpha: 32-bit pixels written get
// 0xFF in their fourth byte (an opaque image) instead of 0 (a DIB). The DC never frees the rows.
HDC CreateSurfaceDC(void* bits, int32_t width, int32_t height, ptrdiff_t stride, int32_t bitCount,
                    const RGBQUAD* colors = nullptr, int32_t colorCount = 0, bool opaqueAlpha = false);
// The resolution a DC reports through GetDeviceCaps(LOGPIXELSX/LOGPIXELSY): a printer page's surface
// has the printer's; 0 returns to the screen's.
bool SetDeviceResolution(HDC dc, int32_t dpiX, int32_t dpiY);
// Points a surface DC at other rows (after the owner reallocated them); the DC's state stays.
bool SetSurfaceBits(HDC dc, void* bits, int32_t width, int32_t height, ptrdiff_t stride);
bool DeleteDC(HDC dc);
// Pushes the DC's state; returns the new depth (0 on failure).
int32_t SaveDC(HDC dc);
// Pops to a saved depth: a positive value is that depth, a negative one is relative to the top.
bool RestoreDC(HDC dc, int32_t saved);

// Selects a pen, brush, font, bitmap (memory DCs only) or palette; returns the previous object of
// that kind. A region is copied as the clip region and the region kind is returned (as a pointer
// value, as the GDI does).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, uint32_t objectType);
// Frees a GDI object; stock objects and objects still selected into a DC are not freed (false).
bool DeleteObject(HGDIOBJ object);
// Copies the object's description (LOGPEN, LOGBRUSH, LOGFONT, BITMAP or DIBSECTION, a palette's
// entry count as uint16_t); returns the bytes written, or the bytes needed when buffer is null.
int32_t GetObject(HGDIOBJ object, int32_t size, void* buffer);
inline int32_t GetObjectA(HGDIOBJ object, int32_t size, void* buffer) { return GetObject(object, size, buffer); }
uint32_t GetObjectType(HGDIOBJ object);
// The stock objects; DEFAULT_PALETTE is the twenty static colours of the system palette.
HGDIOBJ GetStockObject(int32_t index);
// The GDI objects alive now of one kind (OBJ_PEN, OBJ_BRUSH, OBJ_DC or OBJ_MEMDC, OBJ_PAL, OBJ_FONT,
// OBJ_BITMAP, OBJ_REGION; 0 for every kind), stock objects not counted. Tests compare it before and
// after drawing to see that every object made was deleted.
int32_t GdiObjectCount(uint32_t objectType = 0);
// Screen facts: LOGPIXELSX/Y the screen's pixels per inch, BITSPIXEL 32, PLANES 1, HORZRES/VERTRES
// the screen or the selected bitmap size.
int32_t GetDeviceCaps(HDC dc, int32_t index);
// Pixels per inch of the screen (96 unless the display says otherwise) and its colour depth.
int32_t ScreenPixelsPerInch();
int32_t ScreenColorDepth();

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int32_t SetBkMode(HDC dc, int32_t mode);
int32_t GetBkMode(HDC dc);
int32_t SetROP2(HDC dc, int32_t rop2);
int32_t GetROP2(HDC dc);
int32_t SetStretchBltMode(HDC dc, int32_t mode);
int32_t GetStretchBltMode(HDC dc);
uint32_t SetTextAlign(HDC dc, uint32_t align);
uint32_t GetTextAlign(HDC dc);
int32_t SetPolyFillMode(HDC dc, int32_t mode);
int32_t GetPolyFillMode(HDC dc);
bool SetBrushOrgEx(HDC dc, int32_t x, int32_t y, TPoint* previous);
bool GetBrushOrgEx(HDC dc, TPoint* origin);

// Coordinates: device = world transform (GM_ADVANCED only) - window origin + viewport origin.
int32_t SetGraphicsMode(HDC dc, int32_t mode);
int32_t GetGraphicsMode(HDC dc);
bool SetWorldTransform(HDC dc, const XFORM* xform);  // GM_ADVANCED only
bool GetWorldTransform(HDC dc, XFORM* xform);
bool ModifyWorldTransform(HDC dc, const XFORM* xform, uint32_t mode);
bool SetViewportOrgEx(HDC dc, int32_t x, int32_t y, TPoint* previous);
bool GetViewportOrgEx(HDC dc, TPoint* origin);
bool OffsetViewportOrgEx(HDC dc, int32_t dx, int32_t dy, TPoint* previous);
bool SetWindowOrgEx(HDC dc, int32_t x, int32_t y, TPoint* previous);
bool GetWindowOrgEx(HDC dc, TPoint* origin);
bool LPtoDP(HDC dc, TPoint* points, int32_t count);
bool DPtoLP(HDC dc, TPoint* points, int32_t count);

// ---- Pens, brushes, fonts, palettes -----------------------------------------------------------

HPEN CreatePen(int32_t style, int32_t width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int32_t hatch, COLORREF color);
// A brush tiling a copy of the bitmap (a 1-bit pattern takes the DC's text and background colours).
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
HFONT CreateFontIndirect(const LOGFONT* font);
inline HFONT CreateFontIndirectA(const LOGFONT* font) { return CreateFontIndirect(font); }
HPALETTE CreatePalette(const LOGPALETTE* palette);
// A palette of count entries, without building the variable-length LOGPALETTE (0 for none).
HPALETTE CreatePaletteFromEntries(const PALETTEENTRY* entries, uint32_t count);
// The 256-colour halftone palette (a 6 x 6 x 6 colour cube, greys and the static colours).
HPALETTE CreateHalftonePalette(HDC dc);
uint32_t GetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, PALETTEENTRY* entries);
uint32_t SetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, const PALETTEENTRY* entries);
uint32_t GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool forceBackground);
// Memory DCs map colours through the selected bitmap's colour table; nothing to realise.
uint32_t RealizePalette(HDC dc);

// ---- Bitmaps and DIB sections -----------------------------------------------------------------

// A device-dependent bitmap: bitCount 1 gives a monochrome bitmap, any other the device format
// (32 bits). bits, when given, are rows padded to 16 bits (the GDI's DDB layout), top row first.
HBITMAP CreateBitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bitCount, const void* bits);
// A bitmap in the DC's format: monochrome for a memory DC holding a 1-bit bitmap, else 32 bits.
HBITMAP CreateCompatibleBitmap(HDC dc, int32_t width, int32_t height);
// A DIB section whose rows the caller writes through *bits, laid out as the header says (bottom-up
// for a positive height). 1, 4, 8 bits take the colour table from info; 16 and 32 bits may carry
// BI_BITFIELDS masks. Returns 0 for an invalid header or a size that cannot be allocated.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, uint32_t usage, void** bits, void* section,
                         uint32_t offset);
// Reads rows start..start+lines-1 (counted from the bottom for a bottom-up header) of a bitmap in
// the format of info; with bits null, fills in the header (size, image size, colour table) only.
int32_t GetDIBits(HDC dc, HBITMAP bitmap, uint32_t start, uint32_t lines, void* bits, BITMAPINFO* info,
                  uint32_t usage);
int32_t SetDIBits(HDC dc, HBITMAP bitmap, uint32_t start, uint32_t lines, const void* bits,
                  const BITMAPINFO* info, uint32_t usage);
uint32_t GetDIBColorTable(HDC dc, uint32_t start, uint32_t count, RGBQUAD* colors);
uint32_t SetDIBColorTable(HDC dc, uint32_t start, uint32_t count, const RGBQUAD* colors);
// Drawing is synchronous; kept for code that flushes before touching DIB rows.
inline bool GdiFlush() { return true; }

// ---- Block transfers --------------------------------------------------------------------------

bool PatBlt(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);
bool BitBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
            uint32_t rop);
// Test seam: false sends 24-bit HALFTONE copies through the general path instead of their own.
bool& GdiHalftoneFastPathForTesting();
// Stretches by the destination's stretch mode; extents of opposite signs mirror.
bool StretchBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
                int32_t sw, int32_t sh, uint32_t rop);
// Source coordinates count from the bottom-left of a bottom-up DIB (as in the GDI); returns the
// number of scan lines copied (0 on failure).
int32_t StretchDIBits(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, int32_t sx, int32_t sy,
                      int32_t sw, int32_t sh, const void* bits, const BITMAPINFO* info, uint32_t usage,
                      uint32_t rop);
int32_t SetDIBitsToDevice(HDC dst, int32_t x, int32_t y, uint32_t width, uint32_t height, int32_t sx,
                          int32_t sy, uint32_t startScan, uint32_t lines, const void* bits,
                          const BITMAPINFO* info, uint32_t usage);
// Where the monochrome mask has a 1 the foreground operation (low three bytes of rop) applies,
// where it has a 0 the background operation (MAKEROP4).
bool MaskBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
             HBITMAP mask, int32_t mx, int32_t my, uint32_t rop);
// Copies (and stretches) the source leaving out the pixels of one colour.
bool TransparentBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx,
                    int32_t sy, int32_t sw, int32_t sh, uint32_t transparent);
// Blends a (stretched) source over the destination: with AC_SRC_ALPHA the source's fourth bytes
// are premultiplied alpha values; SourceConstantAlpha scales the whole source.
struct BLENDFUNCTION {
  uint8_t BlendOp = 0;  // AC_SRC_OVER
  uint8_t BlendFlags = 0;
  uint8_t SourceConstantAlpha = 255;
  uint8_t AlphaFormat = 0;
};
constexpr uint8_t AC_SRC_OVER = 0;
constexpr uint8_t AC_SRC_ALPHA = 1;
bool AlphaBlend(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t sx, int32_t sy,
                int32_t sw, int32_t sh, BLENDFUNCTION blend);
bool GradientFill(HDC dc, const TRIVERTEX* vertices, uint32_t vertexCount, const void* mesh,
                  uint32_t meshCount, uint32_t mode);

// ---- Shapes -----------------------------------------------------------------------------------

bool MoveToEx(HDC dc, int32_t x, int32_t y, TPoint* previous);
bool GetCurrentPositionEx(HDC dc, TPoint* position);
// Draws from the current position to (x, y), leaving out the end pixel.
bool LineTo(HDC dc, int32_t x, int32_t y);
bool Polyline(HDC dc, const TPoint* points, int32_t count);
bool Polygon(HDC dc, const TPoint* points, int32_t count);
bool PolyPolygon(HDC dc, const TPoint* points, const int32_t* counts, int32_t polygons);
bool Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool Ellipse(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool RoundRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width, int32_t height);
// Arcs run counter-clockwise from the ray towards (x3, y3) to the ray towards (x4, y4).
bool Arc(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4,
         int32_t y4);
bool Pie(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4,
         int32_t y4);
bool Chord(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3, int32_t x4,
           int32_t y4);
bool PolyBezier(HDC dc, const TPoint* points, uint32_t count);
int32_t FillRect(HDC dc, const TRect* rect, HBRUSH brush);
int32_t FrameRect(HDC dc, const TRect* rect, HBRUSH brush);
bool InvertRect(HDC dc, const TRect* rect);
// Draws the dotted focus rectangle by inverting; drawing it twice removes it.
bool DrawFocusRect(HDC dc, const TRect* rect);
bool DrawEdge(HDC dc, TRect* rect, uint32_t edge, uint32_t flags);
bool FillRgn(HDC dc, HRGN region, HBRUSH brush);
bool FrameRgn(HDC dc, HRGN region, HBRUSH brush, int32_t width, int32_t height);
bool PaintRgn(HDC dc, HRGN region);
bool InvertRgn(HDC dc, HRGN region);
bool ExtFloodFill(HDC dc, int32_t x, int32_t y, COLORREF color, uint32_t type);
COLORREF GetPixel(HDC dc, int32_t x, int32_t y);
COLORREF SetPixel(HDC dc, int32_t x, int32_t y, COLORREF color);
bool SetPixelV(HDC dc, int32_t x, int32_t y, COLORREF color);

// ---- Regions and clipping -----------------------------------------------------------------------

HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
HRGN CreateRectRgnIndirect(const TRect* rect);
// The shape regions take an optional rectangle `within`: given one, only the part of the region
// inside it is made (the region AND within), at the cost of that part alone, so that the visible
// piece of a shape far larger than a surface costs no more than the surface.
HRGN CreateEllipticRgn(int32_t left, int32_t top, int32_t right, int32_t bottom, const TRect* within = nullptr);
HRGN CreateEllipticRgnIndirect(const TRect* rect);
HRGN CreateRoundRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width, int32_t height,
                        const TRect* within = nullptr);
HRGN CreatePolygonRgn(const TPoint* points, int32_t count, int32_t fillMode, const TRect* within = nullptr);
HRGN CreatePolyPolygonRgn(const TPoint* points, const int32_t* counts, int32_t polygons, int32_t fillMode,
                          const TRect* within = nullptr);
// A region from rectangles; an xform other than null or the identity is not supported (0).
HRGN ExtCreateRegion(const XFORM* xform, uint32_t size, const RGNDATA* data);
// Writes the region's rectangles; returns the bytes needed when data is null.
uint32_t GetRegionData(HRGN region, uint32_t size, RGNDATA* data);
// dst = src1 op src2 (RGN_COPY: src1); returns the kind of the result or ERROR.
int32_t CombineRgn(HRGN dst, HRGN src1, HRGN src2, int32_t mode);
int32_t OffsetRgn(HRGN region, int32_t dx, int32_t dy);
bool SetRectRgn(HRGN region, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool PtInRegion(HRGN region, int32_t x, int32_t y);
bool RectInRegion(HRGN region, const TRect* rect);
bool EqualRgn(HRGN a, HRGN b);
int32_t GetRgnBox(HRGN region, TRect* box);
// The clip region is kept in device coordinates; null removes it.
int32_t SelectClipRgn(HDC dc, HRGN region);
int32_t ExtSelectClipRgn(HDC dc, HRGN region, int32_t mode);
// Copies the clip region into region: 1 when there is one, 0 when there is none, -1 on error.
int32_t GetClipRgn(HDC dc, HRGN region);
// The smallest rectangle around the visible part, in logical coordinates.
int32_t GetClipBox(HDC dc, TRect* rect);
int32_t IntersectClipRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t ExcludeClipRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t OffsetClipRgn(HDC dc, int32_t dx, int32_t dy);
bool PtVisible(HDC dc, int32_t x, int32_t y);

// ---- Text (UTF-8) -------------------------------------------------------------------------------

// count -1 means a NUL-terminated text.
bool TextOut(HDC dc, int32_t x, int32_t y, const char* text, int32_t count);
inline bool TextOutA(HDC dc, int32_t x, int32_t y, const char* text, int32_t count) {
  return TextOut(dc, x, y, text, count);
}
bool ExtTextOut(HDC dc, int32_t x, int32_t y, uint32_t options, const TRect* rect, const char* text,
                int32_t count, const int32_t* dx);
inline bool ExtTextOutA(HDC dc, int32_t x, int32_t y, uint32_t options, const TRect* rect, const char* text,
                        int32_t count, const int32_t* dx) {
  return ExtTextOut(dc, x, y, options, rect, text, count, dx);
}
// Returns the height of the drawn text; with DT_CALCRECT only measures, widening or narrowing
// rect to the text. DT_MODIFYSTRING is ignored here (the text is never written).
int32_t DrawText(HDC dc, const char* text, int32_t count, TRect* rect, uint32_t format);
// The same, with DT_MODIFYSTRING honoured: together with DT_END_ELLIPSIS or DT_PATH_ELLIPSIS a
// single line that had to be shortened comes back in text as drawn (or measured), "..." included.
int32_t DrawText(HDC dc, std::string& text, TRect* rect, uint32_t format);
inline int32_t DrawTextA(HDC dc, const char* text, int32_t count, TRect* rect, uint32_t format) {
  return DrawText(dc, text, count, rect, format);
}
bool GetTextExtentPoint32(HDC dc, const char* text, int32_t count, TSize* size);
inline bool GetTextExtentPoint32A(HDC dc, const char* text, int32_t count, TSize* size) {
  return GetTextExtentPoint32(dc, text, count, size);
}
// The width (low 16 bits) and height (high 16 bits) of a text with its tabs expanded: with one tab
// stop (or none, when tabStops is null) tabs stand every tabStops[0] pixels (eight average
// characters without one); with more, at those positions. count -1 means a NUL-terminated text.
uint32_t GetTabbedTextExtent(HDC dc, const char* text, int32_t count, int32_t tabPositions, const int32_t* tabStops);
bool GetTextMetrics(HDC dc, TEXTMETRIC* metrics);
inline bool GetTextMetricsA(HDC dc, TEXTMETRIC* metrics) { return GetTextMetrics(dc, metrics); }
// Advance widths of the characters first..last.
bool GetCharWidth32(HDC dc, uint32_t first, uint32_t last, int32_t* widths);
int32_t GetTextFace(HDC dc, int32_t size, char* name);
