#pragma once
// The drawing routines of the XP-style controls: gradient bitmaps made of 16-pixel strips, greyed
// glyphs, captions that are embossed when disabled, and lines without their end point.
#include <cstdint>
#include <string>

#include "platform/gdi/bitmap.h"

// Makes bitmap a width x height, 24-bit gradient from start to end in colorCount colours: style 1
// in bands from top to bottom, 3 from bottom to top, 0 from left to right, 2 from right to left.
// With dithering the band edges are frayed with the process's random numbers (seed RandSeed to
// repeat a picture). Only the first 16 columns (bands along the height) or rows (along the width)
// are made; the rest are copies of them. A size of 0 or less leaves the bitmap alone; a colour
// count below 2 paints the start colour everywhere.
void CreateGradientBitmap(int32_t width, int32_t height, TColor startColor, TColor endColor, int32_t colorCount,
                          int32_t style, bool dithered, TBitmap* bitmap);
// How many gradient bitmaps CreateGradientBitmap has made in this process (the faces of the XP
// buttons are made once per size and then only copied).
int64_t GradientBitmapsMade();

// Every pixel becomes grey g = (r + g + b) div 3, then g + 100 when g < 156, else 255. The bitmap
// becomes 24-bit.
void GrayGlyph(TBitmap* bitmap);
// The grey level GrayGlyph gives a pixel.
uint8_t GrayGlyphLevel(uint8_t r, uint8_t g, uint8_t b);

// Draws (or, with DT_CALCRECT, measures into rect) a caption in the font: without the accelerator
// character the '&' are shown as they are; disabled text is embossed (clBtnHighlight one pixel
// right and down, then clBtnShadow in place). rightToLeft adds right-to-left reading.
void DrawCaption(TCanvas* canvas, const std::string& text, uint32_t format, TRect& rect, bool showAccelChar,
                 bool enabled, TFont* font, bool rightToLeft = false);
// A line with the canvas's pen from (x1, y1) to (x2, y2), the end point left out.
void DrawLine(TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
