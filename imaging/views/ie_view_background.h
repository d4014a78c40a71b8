#pragma once
// The background of the image views: the area an image does not cover, and the area under its
// transparent pixels, in one of fourteen styles, optionally overlaid with a wallpaper picture.
#include <cstdint>

#include "platform/gdi/color.h"
#include "platform/gdi/graphics.h"
#include "platform/system/classes.h"
#include "platform/system/types.h"

class TBitmap;
class TPicture;

enum TIEBackgroundStyle : uint8_t {
  iebsSolid, iebsHorizontal, iebsVertical, iebsFDiagonal, iebsBDiagonal, iebsCross, iebsDiagCross,
  iebsChessboard, iebsDiagonals, iebsCropped, iebsCropShadow, iebsGradient, iebsSoftShadow, iebsPhotoLike
};

// iewoNormal draws the picture once at the top-left, iewoStretch over the area, iewoTile repeated.
enum TIEWallPaperStyle : uint8_t { iewoNormal, iewoStretch, iewoTile };

// Paints the area (AreaLeft, AreaTop, AreaWidth x AreaHeight) of Canvas in Style. The image
// rectangle (ImageLeft, ImageTop)-(ImageRight, ImageBottom) only steers the framed styles
// (cropped, crop shadow, soft shadow, photo-like). Bitmap, when given, is the bitmap behind Canvas:
// it enables the direct chessboard of 24-bit bitmaps and the soft shadow. The wallpaper, when it
// holds a picture, is drawn over the style from (0, 0).
void DrawViewBackground(TComponentState ComponentState, TCanvas* Canvas, TBitmap* Bitmap, TIEBackgroundStyle Style,
                        TColor Color, int32_t AreaLeft, int32_t AreaTop, int32_t AreaWidth, int32_t AreaHeight,
                        int32_t ImageLeft, int32_t ImageTop, int32_t ImageRight, int32_t ImageBottom,
                        int32_t ChessboardSize, TBrushStyle ChessboardBrushStyle, TColor GradientEndColor,
                        TPicture* WallPaper, TIEWallPaperStyle WallPaperStyle);

// Fills Rect from Color1 to Color2, top to bottom when Vertical, else left to right: each channel
// interpolated linearly, Color1 on the first row (column). Always answers True.
bool IEDrawGradient(const TRect& Rect, TCanvas* Canvas, TColor Color1, bool Vertical, TColor Color2);
// The gradient is drawn by the engine itself, so it is always available.
bool LoadGradientFill();
