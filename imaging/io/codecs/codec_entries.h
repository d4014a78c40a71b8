#pragma once
// The GIF, BMP, JPEG, PNG and the small codecs in the shape of the format registry's codec entries:
// the reader puts a transparency mask into the bitmap's alpha channel, the writer takes the record's
// options.
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
// The image (or its EXIF thumbnail when Params.JpegGetExifThumbnail asks and the file has one), its
// profile converted when colour management is on, the native pixel format as
// Params.IsNativePixelFormat says, its IPTC, EXIF and XMP metadata.
void JPEGCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly);
void JPEGCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// The alpha channel of the image arrives in the bitmap's alpha channel.
void PNGCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
// The bitmap's alpha channel, when it has one, is written as the image's transparency.
void PNGCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// The PCX's data run to the end of the stream (the I/O component bounds a stream header's PCX).
void PCXCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
void PCXCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// Page Params.DcxImageIndex; a save inserts the page into the DCX the stream holds.
void DCXCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
void DCXCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// Icon image Params.IcoImageIndex, cursor image Params.CurImageIndex, their transparency in the alpha
// channel. The icon writer writes the leading Params.IcoSizes of width above 0 (at most 16) at their
// Params.IcoBitCounts.
void ICOCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
void ICOCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
void CURCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
// The alpha of 32-bit files into the alpha channel; the writer writes the alpha channel as 32 bits.
void TGACodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
void TGACodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
void PXMCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly);
void PXMCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
void WBMPCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly);
void WBMPCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// Headerless pixels into the bitmap as the caller sized it; the parameters alone read nothing.
void RawPixelsCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                        bool ParamsOnly);
// JPEG 2000: the reader is ReadJpeg2000Stream; these write a JP2 file and a J2K code stream.
void JP2CodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
void J2KCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// One-page PostScript and PDF documents with the record's paper, compression and text fields.
void PSCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
void PDFCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
