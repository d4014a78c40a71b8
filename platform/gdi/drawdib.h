#pragma once
// Video-frame drawing (the DrawDib calls of the video drawing interface): uncompressed DIBs drawn,
// stretched when the sizes differ, onto a device context through StretchDIBits. On a true-colour
// surface there is no palette to realise.
#include <cstdint>

#include "platform/gdi/gdi.h"

struct HDRAWDIB__;
using HDRAWDIB = HDRAWDIB__*;

// DrawDibDraw flags.
constexpr uint32_t DDF_SAME_HDC = 0x0004;
constexpr uint32_t DDF_SAME_DRAW = 0x0008;
constexpr uint32_t DDF_BACKGROUNDPAL = 0x0200;
constexpr uint32_t DDF_HALFTONE = 0x1000;

// A drawing context; null when it cannot be had.
HDRAWDIB DrawDibOpen();
// Frees a context; false for null.
bool DrawDibClose(HDRAWDIB hdd);
// Draws the source rectangle of the DIB (xSrc, ySrc from its top-left corner) into the destination
// rectangle; a destination width or height of -1 takes the source's. bits null: the rows follow the
// header and its colour table. DDF_HALFTONE averages when shrinking, otherwise the DC's stretch mode
// applies. False for a null context or DC, a compressed or invalid DIB, or an empty rectangle.
bool DrawDibDraw(HDRAWDIB hdd, HDC dc, int32_t xDst, int32_t yDst, int32_t dxDst, int32_t dyDst,
                 const BITMAPINFOHEADER* header, const void* bits, int32_t xSrc, int32_t ySrc, int32_t dxSrc,
                 int32_t dySrc, uint32_t flags);
// Realises the context's palette in the DC: the number of entries mapped, 0 on a true-colour
// surface (always here).
uint32_t DrawDibRealize(HDRAWDIB hdd, HDC dc, bool background);
