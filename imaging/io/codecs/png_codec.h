#pragma once
// The PNG codec, through libpng: a PNG stream read into a TIEBitmap (with its alpha channel) and its
// parameter record, a bitmap written as a PNG stream, and the content probe.
//
// libpng reports errors by calling back, and its callback leaves by longjmp: every call into libpng
// that can fail is made from a small wrapper that holds setjmp and owns nothing with a destructor,
// and no C++ exception ever crosses libpng's frames.
#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIEMask;
class TIOParamsVals;
class TStream;

// Reads the PNG at the stream's position. Fills the record (size, samples, resolution, palette,
// background, interlacing, text chunks in UTF-8, image count 1); with ParamsOnly it stops there and
// leaves Bitmap alone. Otherwise the pixels go to Bitmap:
//   - a 1-bit grey image as ie1g, a 1-bit palette image as ie24RGB in its two palette colours;
//   - with IsNativePixelFormat, 8-bit palette images as ie8p, 8- and 16-bit grey as ie8g / ie16g
//     (machine byte order), their tRNS transparency in the alpha channel;
//   - every other image as ie24RGB, 16-bit samples reduced to their high byte; an alpha channel or
//     tRNS transparency (1-bit images included) becomes the bitmap's alpha channel.
// Failures (not a PNG, damaged or cut-off data, a size the data cannot hold, no memory) set the abort
// flag; the rows read until then stay in the bitmap. No exception leaves the routine.
void ReadPngStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& IOParams, TIEProgressRecord& Progress,
                   bool ParamsOnly);

// True when the first four bytes at the stream's position are those of the PNG signature. The
// position is left where it was, whatever could be read.
bool IsPngStream(TStream& Stream);

// Writes Bitmap (any pixel format; converted copies are made where needed, Bitmap itself never
// changes) as a PNG stream:
//   - SamplesPerPixel 1: BitsPerSample 1 as 1-bit grey (two-colour images keep their darker colour
//     black); otherwise BitsPerSample 8 or 16 (any other value becomes 8, in the record too): grey
//     images as grey at that depth, others as a palette of at most 256 colours, or, with a mask that
//     is not fully opaque, at 8 bits as the background colour (entry 0, transparent) and 255 colours;
//   - any other SamplesPerPixel: 8-bit RGB, with alpha from a mask that is not fully opaque.
// Mask (nil for none) must have the bitmap's size. Writes pHYs from DpiX/DpiY, bKGD from
// PngBackground at the image's depth, the text pairs (tEXt, or iTXt for text Latin-1 cannot hold),
// Adam7 when PngInterlaced, filter PngFilter (0 none, 1 sub, 2 Paeth) and deflate level
// PngCompression. A write that falls short sets the abort flag; a combination PNG cannot hold (a
// colour palette at 16 bits) or another libpng error raises EInvalidGraphic "Error on creating PNG".
void WritePNGStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    TIEMask* Mask);
