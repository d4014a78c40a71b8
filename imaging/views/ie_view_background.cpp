#include "imaging/views/ie_view_background.h"

#include <algorithm>

#include "imaging/core/ie_view_painters.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/picture.h"

namespace {

// The sunken edge is two pixels thick on each side.
constexpr int32_t EdgeWidth = 2;
constexpr int32_t EdgeHeight = 2;

// The complement of a colour once system colours are resolved.
TColor Inverse(TColor Color) { return static_cast<TColor>(~ColorToRGB(Color) & 0xFFFFFF); }

void FillArea(TCanvas* Canvas, const TRect& Area, TColor Color, TBrushStyle Style) {
  Canvas->Brush()->SetColor(Color);
  Canvas->Brush()->SetStyle(Style);
  Canvas->FillRect(Area);
}

// Cells straight into the rows of a 24-bit bitmap: the first cell has Color. Only pixels both in
// the area and in the bitmap are written.
void ChessboardDirect(TBitmap* Bitmap, const TRect& Area, int32_t Size, TColor Color) {
  const COLORREF c[2] = {ColorToRGB(Color), static_cast<COLORREF>(Inverse(Color))};
  const int32_t x0 = std::max(Area.Left, 0), x1 = std::min(Area.Right, Bitmap->Width());
  const int32_t y0 = std::max(Area.Top, 0), y1 = std::min(Area.Bottom, Bitmap->Height());
  if (x0 >= x1 || y0 >= y1) return;
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* p = Bitmap->ScanLine(y) + 3 * static_cast<size_t>(x0);
    const int32_t rowCell = (y - Area.Top) / Size;
    for (int32_t x = x0; x < x1; ++x, p += 3) {
      const COLORREF v = c[(rowCell + (x - Area.Left) / Size) & 1];
      p[0] = GetBValue(v);
      p[1] = GetGValue(v);
      p[2] = GetRValue(v);
    }
  }
}

// One FillRect per cell, clipped to the area: the first cell has the inverse colour.
void ChessboardCells(TCanvas* Canvas, const TRect& Area, int32_t Size, TColor Color, TBrushStyle BrushStyle) {
  const TColor c[2] = {Inverse(Color), Color};
  Canvas->Brush()->SetStyle(BrushStyle);
  int32_t row = 0;
  for (int32_t y = Area.Top; y < Area.Bottom; y += Size, ++row) {
    int32_t col = 0;
    for (int32_t x = Area.Left; x < Area.Right; x += Size, ++col) {
      Canvas->Brush()->SetColor(c[(row + col) & 1]);
      Canvas->FillRect(TRect{x, y, std::min(x + Size, Area.Right), std::min(y + Size, Area.Bottom)});
    }
  }
}

void DrawChessboard(TCanvas* Canvas, TBitmap* Bitmap, const TRect& Area, int32_t Size, TColor Color,
                    TBrushStyle BrushStyle) {
  Size = std::max(Size, 1);  // a cell of no size would never advance
  if (Bitmap && BrushStyle == bsSolid && Bitmap->PixelFormat() == pf24bit) ChessboardDirect(Bitmap, Area, Size, Color);
  else ChessboardCells(Canvas, Area, Size, Color, BrushStyle);
}

void DrawWallPaper(TCanvas* Canvas, TPicture* WallPaper, TIEWallPaperStyle Style, int32_t AreaWidth,
                   int32_t AreaHeight) {
  if (!WallPaper || !WallPaper->Graphic()) return;
  TGraphic* g = WallPaper->Graphic();
  switch (Style) {
    case iewoNormal:
      Canvas->Draw(0, 0, g);
      break;
    case iewoStretch:
      Canvas->StretchDraw(TRect{0, 0, AreaWidth, AreaHeight}, g);
      break;
    case iewoTile: {
      const int32_t w = WallPaper->Width(), h = WallPaper->Height();
      if (w <= 0 || h <= 0) return;  // an empty picture would never cover the area
      for (int32_t y = 0; y < AreaHeight; y += h)
        for (int32_t x = 0; x < AreaWidth; x += w) Canvas->Draw(x, y, g);
      break;
    }
  }
}

}  // namespace

bool LoadGradientFill() { return true; }

bool IEDrawGradient(const TRect& Rect, TCanvas* Canvas, TColor Color1, bool Vertical, TColor Color2) {
  const COLORREF a = ColorToRGB(Color1), b = ColorToRGB(Color2);
  const int32_t first = Vertical ? Rect.Top : Rect.Left;
  const int32_t last = Vertical ? Rect.Bottom : Rect.Right;
  const int64_t span = static_cast<int64_t>(last) - first;
  if (span <= 0 || Rect.Right <= Rect.Left || Rect.Bottom <= Rect.Top) return true;
  auto channel = [&](uint8_t from, uint8_t to, int64_t i) {
    return static_cast<uint8_t>(from + (static_cast<int64_t>(to) - from) * i / span);
  };
  Canvas->Brush()->SetStyle(bsSolid);
  for (int64_t i = 0; i < span; ++i) {
    Canvas->Brush()->SetColor(static_cast<TColor>(RGB(channel(GetRValue(a), GetRValue(b), i),
                                                      channel(GetGValue(a), GetGValue(b), i),
                                                      channel(GetBValue(a), GetBValue(b), i))));
    const int32_t p = static_cast<int32_t>(first + i);
    Canvas->FillRect(Vertical ? TRect{Rect.Left, p, Rect.Right, p + 1} : TRect{p, Rect.Top, p + 1, Rect.Bottom});
  }
  return true;
}

void DrawViewBackground(TComponentState ComponentState, TCanvas* Canvas, TBitmap* Bitmap, TIEBackgroundStyle Style,
                        TColor Color, int32_t AreaLeft, int32_t AreaTop, int32_t AreaWidth, int32_t AreaHeight,
                        int32_t ImageLeft, int32_t ImageTop, int32_t ImageRight, int32_t ImageBottom,
                        int32_t ChessboardSize, TBrushStyle ChessboardBrushStyle, TColor GradientEndColor,
                        TPicture* WallPaper, TIEWallPaperStyle WallPaperStyle) {
  (void)ComponentState;
  if (!Canvas) return;
  const TRect area{AreaLeft, AreaTop, AreaLeft + AreaWidth, AreaTop + AreaHeight};
  const int32_t iw = ImageRight - ImageLeft, ih = ImageBottom - ImageTop;
  switch (Style) {
    case iebsSolid: FillArea(Canvas, area, Color, bsSolid); break;
    case iebsHorizontal: FillArea(Canvas, area, Color, bsHorizontal); break;
    case iebsVertical: FillArea(Canvas, area, Color, bsVertical); break;
    case iebsFDiagonal: FillArea(Canvas, area, Color, bsFDiagonal); break;
    case iebsBDiagonal: FillArea(Canvas, area, Color, bsBDiagonal); break;
    case iebsCross: FillArea(Canvas, area, Color, bsCross); break;
    case iebsDiagCross: FillArea(Canvas, area, Color, bsDiagCross); break;
    case iebsDiagonals:
      FillArea(Canvas, area, Color, bsSolid);
      Canvas->Pen()->SetStyle(psSolid);
      Canvas->Pen()->SetMode(pmCopy);
      Canvas->Pen()->SetColor(Inverse(Color));
      Canvas->MoveTo(area.Left, area.Top);
      Canvas->LineTo(area.Right, area.Bottom);
      Canvas->MoveTo(area.Right, area.Top);
      Canvas->LineTo(area.Left, area.Bottom);
      break;
    case iebsCropped:
      FillArea(Canvas, area, clBtnFace, bsSolid);
      if (iw >= 2 && ih >= 2) {
        TRect edge{ImageLeft - EdgeWidth, ImageTop - EdgeHeight, ImageRight + EdgeWidth, ImageBottom + EdgeHeight};
        DrawEdge(Canvas->Handle(), &edge, EDGE_SUNKEN, BF_RECT);
      }
      break;
    case iebsCropShadow:
      FillArea(Canvas, area, Color, bsSolid);
      if (iw > 1 && ih > 1) {
        DrawRightShadow(Canvas, Bitmap, ImageRight, ImageTop, ImageRight + 5, ImageBottom + 3, 2, Color);
        DrawBottomShadow(Canvas, Bitmap, ImageLeft, ImageBottom, ImageRight + 4, ImageBottom + 5, 2, Color);
      }
      break;
    case iebsSoftShadow:
      FillArea(Canvas, area, Color, bsSolid);
      if (Bitmap && iw > 1 && ih > 1) DrawSoftShadow(Bitmap, ImageLeft, ImageTop, ImageRight, ImageBottom, Color);
      break;
    case iebsGradient:
      IEDrawGradient(area, Canvas, Color, true, GradientEndColor);
      break;
    case iebsPhotoLike:
      FillArea(Canvas, area, static_cast<TColor>(0xB0B0B0), bsSolid);
      Canvas->Pen()->SetStyle(psSolid);
      Canvas->Pen()->SetMode(pmCopy);
      Canvas->Pen()->SetColor(clBlack);
      Canvas->Brush()->SetStyle(bsClear);
      Canvas->Rectangle(ImageLeft - 1, ImageTop - 1, ImageRight + 1, ImageBottom + 1);
      DrawChessboard(Canvas, Bitmap, TRect{ImageLeft, ImageTop, ImageRight, ImageBottom}, ChessboardSize, Color,
                     ChessboardBrushStyle);
      break;
    case iebsChessboard:
      DrawChessboard(Canvas, Bitmap, area, ChessboardSize, Color, ChessboardBrushStyle);
      break;
  }
  DrawWallPaper(Canvas, WallPaper, WallPaperStyle, AreaWidth, AreaHeight);
}
