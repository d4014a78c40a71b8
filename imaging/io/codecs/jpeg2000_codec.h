#pragma once
// The JPEG 2000 codec, through OpenJPEG: JP2 files and bare J2K code streams read into a TIEBitmap
// and written from one, and their content probes.
//
// OpenJPEG reads and writes through callbacks bound to the TStream from its position; no exception
// crosses the library's frames. Every call makes its own codec and stream, so several threads may
// read and write at once.
#include <cstdint>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// True when the next 12 bytes are the JP2 signature box. The position is restored.
bool IsJP2Stream(TStream& Stream);
// True when the next 4 bytes are FF 4F FF 51 (start of code stream, image and tile size). The
// position is restored.
bool IsJ2KStream(TStream& Stream);

// Reads the JP2 file or J2K code stream at the stream's position. The record gets the size,
// BitsPerSample (the first colour component's precision), SamplesPerPixel (1 grey, 3 colour),
// J2000ColorSpace (0 grey, 1 RGB, 2 YCbCr), the default resolution and an image count of 1; with
// HeaderOnly it stops there. The pixels go to an ie1g bitmap for 1-bit grey, otherwise to ie24RGB
// (samples reduced to their top 8 bits, signed samples offset to unsigned first, YCbCr converted to
// RGB, sub-sampled components repeated over their area). An opacity component (a JP2 channel
// definition, or without one the last of 2 or 4 components) becomes the alpha channel.
// Anything unreadable (not JPEG 2000, a colour space other than grey, RGB or YCbCr, a precision
// outside 1..31, a size the data cannot hold, damaged data) sets the abort flag.
void ReadJpeg2000Stream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                        bool HeaderOnly);

// A grey JPEG 2000 image of at most 16 bits with its samples as they are: ie8g up to 8 bits, ie16g
// up to 16, signed samples as two's complement (the DICOM reader's frames). Other images set the
// abort flag.
void ReadJpeg2000Samples(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// The container WriteJpeg2000Stream writes.
enum TIEJ2000Format : int32_t { ieJ2000JP2 = 0, ieJ2000J2K = 1 };

// Writes Bitmap (any pixel format: other formats than ie1g and ie24RGB go through an ie24RGB copy
// that keeps the alpha channel; Bitmap itself never changes) at Params.BitsPerSample (1..16) bits:
// J2000ColorSpace 0 as one grey component (ie1g always), otherwise as RGB with a fourth, opacity
// component when the alpha channel is not fully opaque. J2000Rate is the fraction of the raw size
// to code to; 1 or more codes losslessly. J2000ProgressionOrder 0 writes layer-resolution, 1
// resolution-layer progression. A rate that is not a positive finite number, a depth outside
// 1..16, an empty bitmap or an encoder failure sets the abort flag.
void WriteJpeg2000Stream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                         TIEJ2000Format Format);

// The codec's part of the engine's start-up and shut-down.
void InitializeIEJ2000();
void FinalizeIEJ2000();

// Threads OpenJPEG codes with (0, the default: every core).
extern int32_t IEJ2000ThreadCount;

// YCbCr to RGB for 8-bit samples (ITU-R BT.601, full range): R = Y + CrToR[Cr],
// G = Y + CbToG[Cb] + CrToG[Cr], B = Y + CbToB[Cb], each clamped to 0..255.
struct TIEJ2000YCbCrTables {
  int16_t CrToR[256];
  int16_t CbToB[256];
  int16_t CrToG[256];
  int16_t CbToG[256];
};
const TIEJ2000YCbCrTables& J2000YCbCrTables();
