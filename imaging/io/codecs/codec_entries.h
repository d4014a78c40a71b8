#pragma once
// The GIF, BMP, JPEG and PNG codecs in the shape of the format registry's codec entries: the reader puts
// a transparency mask into the bitmap's alpha channel, the writer takes the record's options.
#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// Frame Params.GifImageIndex; the frame count goes to the record's image count.
void GIFCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
void GIFCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// The alpha of 32-bit files is read when Params.BmpUseAlpha is set (never for the parameters only);
// the data runs to the end of the stream.
void BMPCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
// 32-bit pixels get the alpha channel when Params.BmpUseAlpha is set.
void BMPCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// The whole image (no thumbnail shortcut), its profile converted when colour management is on, the
// native pixel format as Params.IsNativePixelFormat says.
void JPEGCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly);
void JPEGCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// The alpha channel of the image arrives in the bitmap's alpha channel.
void PNGCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
// The bitmap's alpha channel, when it has one, is written as the image's transparency.
void PNGCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
