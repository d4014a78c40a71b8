#pragma once
// The engine's pass-throughs of the video drawing calls (DrawDib); each hands its arguments on
// unchanged.
#include "platform/gdi/drawdib.h"

inline HDRAWDIB IEDrawDibOpen() { return DrawDibOpen(); }
inline bool IEDrawDibClose(HDRAWDIB Context) { return DrawDibClose(Context); }
inline bool IEDrawDibDraw(HDRAWDIB Context, HDC DC, int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight,
                          const BITMAPINFOHEADER* Header, const void* Bits, int32_t SrcX, int32_t SrcY, int32_t SrcWidth,
                          int32_t SrcHeight, uint32_t Flags) {
  return DrawDibDraw(Context, DC, DestX, DestY, DestWidth, DestHeight, Header, Bits, SrcX, SrcY, SrcWidth, SrcHeight,
                     Flags);
}
inline uint32_t IEDrawDibRealize(HDRAWDIB Context, HDC DC, bool Background) {
  return DrawDibRealize(Context, DC, Background);
}
