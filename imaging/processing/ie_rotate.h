#pragma once
// Rotation by any angle in degrees; positive angles turn the picture counter-clockwise as seen on
// screen (rows run from the top).
//
// - The three-shear rotation (RotateBitmap for ie24RGB, RotateBitmap8 for 8-bit images): whole
//   quarter turns first, then three shears with optional antialiasing in 4096ths of a pixel.
// - The nearest rotations with truncated four-decimal sine and cosine (RotateBitmap1Bit,
//   RotateBitmapNearest8), and RotateBitmapNearest, the nearest rotation of any format into a new
//   bitmap (RotateNearestInPlace sizes and fills it).
// - The rotation by inverse mapping with bilinear or bicubic samples (RotateInterpolated24 and 8).
//
// Multiples of 90 degrees are exact turns everywhere. Each routine computes the rotated pixels into
// a new bitmap and only then replaces the old ones: when that bitmap cannot be had the image stays
// as it was (the in-place routines answer false). Work buffers that cannot be had raise
// EOutOfMemory, the image again unchanged. Bitmaps held in memory are rotated on several threads,
// with the same result as on one.
#include <cstdint>
#include <memory>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_progress.h"
#include "imaging/core/ie_rgb.h"
#include "platform/gdi/color.h"

class TIEBitmap;
class TObject;

// True when Angle has no fractional part and its integer part is divisible by 90.
bool AngleIsMultipleOf90(double Angle);

// Rotates Bitmap in place: ie24RGB by three shears (AntiAlias blends), ie1g by RotateBitmap1Bit
// (outside white when every byte of Background is non-zero), every other format by the nearest
// rotation with Background in its own format (exact turns for multiples of 90). An alpha channel is
// turned along with background 0 (8-bit shears for ie24RGB, the 1-bit mapping for ie1g, nearest
// otherwise). False when the memory for the result cannot be had (nothing changed).
bool RotateBitmap(TIEBitmap& Bitmap, bool AntiAlias, TObject* Sender, double Angle, const TIEProgressEvent& OnProgress,
                  TIERGB Background);
// The three-shear rotation of an ie8g or ie8p bitmap (alpha channels) with a background byte; other
// formats are left alone (true).
bool RotateBitmap8(TIEBitmap& Bitmap, bool AntiAlias, uint8_t Background, double Angle,
                   const TIEProgressEvent& OnProgress, TObject* Sender);
// The nearest rotation of an ie1g bitmap with four-decimal truncated sine and cosine; multiples of
// 90 are exact turns. Outside the source is white when OutsideWhite. Progress after each row.
bool RotateBitmap1Bit(TIEBitmap& Bitmap, bool OutsideWhite, TIEProgressRecord& Progress, double Angle);
// The same mapping on an ie8g or ie8p bitmap, outside pixels Outside; other formats are left alone.
bool RotateBitmapNearest8(TIEBitmap& Bitmap, uint8_t Outside, double Angle);

// Dest receives Source rotated by nearest pixels, in Source's format (with its palette), sized
// Round(|cos| W + |sin| H) x Round(|sin| W + |cos| H) and filled with Background (read per format as
// TIEBitmap::Fill reads it; 0 for ie1g, where only set bits are copied). Multiples of 90 (any, taken
// modulo 360) are exact turns or a copy. Progress after each row when OnProgress is set. False when
// Dest's pixels cannot be had (Dest then as it was).
bool RotateBitmapNearest(TIEBitmap& Source, TIEBitmap& Dest, double Background, double Angle,
                         const TIEProgressEvent& OnProgress, TObject* Sender);
// RotateBitmapNearest into a new bitmap, which then replaces Bitmap's pixels (its alpha channel is
// not touched).
bool RotateNearestInPlace(TIEBitmap& Bitmap, double Background, TObject* Sender, const TIEProgressEvent& OnProgress,
                          double Angle);

// Rotation by inverse mapping: every pixel of the rotated image samples the source bilinearly
// (Sampling 1, and any value but 2) or bicubically (2) at the point that maps to it, the source
// taken as framed by 3 pixels of Background. The result is Round(|cos| (W + 5) + |sin| (H + 5)) - 6
// wide (so a small angle gives one pixel less), at least 1, and as high by the same rule.
// RotateInterpolated24 takes an ie24RGB bitmap (other formats are left alone) and reports
// progress; RotateInterpolated8 an 8-bit one (alpha channels) without progress.
bool RotateInterpolated24(TIEBitmap& Bitmap, TColor Background, uint8_t Sampling, TObject* Sender,
                          const TIEProgressEvent& OnProgress, double Angle);
bool RotateInterpolated8(TIEBitmap& Bitmap, int32_t Background, uint8_t Sampling, double Angle);

// ---- The rotated pixels as a new bitmap ----
// Each of these leaves Source as it is and answers a new bitmap without alpha channel, or nil when
// Source is empty or the new pixels cannot be had.
// The three shears of an ie24RGB (Background 3 bytes blue, green, red) or 8-bit (1 byte) Source.
std::unique_ptr<TIEBitmap> ShearRotated(TIEBitmap& Source, bool AntiAlias, double Angle, const uint8_t* Background,
                                        const TIEProgressEvent& OnProgress, TObject* Sender);
// The truncated four-decimal nearest mapping of an ie1g (Outside 0 black, else white) or 8-bit
// Source; Progress (may be nil) after each row.
std::unique_ptr<TIEBitmap> TruncatedNearestRotated(TIEBitmap& Source, uint8_t Outside, double Angle,
                                                   TIEProgressRecord* Progress);
// RotateBitmapNearest's rotation of any format.
std::unique_ptr<TIEBitmap> NearestRotated(TIEBitmap& Source, double Background, double Angle,
                                          const TIEProgressEvent& OnProgress, TObject* Sender);
// RotateBitmap's rotation of Source's pixels (by its format), and of the alpha channel of an image of
// Format (background 0).
std::unique_ptr<TIEBitmap> RotatedBitmap(TIEBitmap& Source, bool AntiAlias, double Angle, TIERGB Background,
                                         const TIEProgressEvent& OnProgress, TObject* Sender);
std::unique_ptr<TIEBitmap> RotatedAlpha(TIEBitmap& Alpha, TIEPixelFormat Format, bool AntiAlias, double Angle,
                                        const TIEProgressEvent& OnProgress, TObject* Sender);
// The inverse mapping of an ie24RGB (Background 3 bytes) or 8-bit (1 byte) Source.
std::unique_ptr<TIEBitmap> InterpolatedRotated(TIEBitmap& Source, const uint8_t* Background, uint8_t Sampling,
                                               double Angle, const TIEProgressEvent& OnProgress, TObject* Sender);

// The source of the inverse mapping: Width x Height pixels of N bytes (3 or 1) at Rows, and the
// Background pixel outside them. The samples take coordinates in the framed source (3 pixels of
// background around it), as the rotation does.
struct TIERotateSource {
  const uint8_t* const* Rows = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t N = 3;
  uint8_t Background[3] = {0, 0, 0};
};
// The pixel at (X, Y) of the framed source: Background outside the picture. Out receives N bytes.
void FetchPixel(const TIERotateSource& Source, int32_t X, int32_t Y, uint8_t* Out);
// Bilinear: x0 = Trunc(SX), fx = SX - Floor(SX) (likewise y), the two horizontal mixes mixed
// vertically, truncated.
void SampleBilinear(const TIERotateSource& Source, double SX, double SY, uint8_t* Out);
// Bicubic: x0 = Trunc(SX), fx = SX - x0 (likewise y), 4 x 4 pixels weighted by -f(1-f)^2,
// 1 - 2f^2 + f^3, f(1 + f - f^2), -f^2(1 - f); truncated and held to 0..255.
void SampleBicubic(const TIERotateSource& Source, double SX, double SY, uint8_t* Out);
// The bicubic weights of the four pixels around a sample at fraction F.
inline void BicubicWeights(double F, double W[4]) {
  W[0] = -F * (1 - F) * (1 - F);
  W[1] = 1 - 2 * F * F + F * F * F;
  W[2] = F * (1 + F - F * F);
  W[3] = -F * F * (1 - F);
}

// The samples under their per-depth names.
inline TIERGB FetchPixel24(const TIERotateSource& Source, int32_t X, int32_t Y) {
  uint8_t p[3];
  FetchPixel(Source, X, Y, p);
  return TIERGB{p[0], p[1], p[2]};
}
inline uint8_t FetchPixel8(const TIERotateSource& Source, int32_t X, int32_t Y) {
  uint8_t p[3];
  FetchPixel(Source, X, Y, p);
  return p[0];
}
inline TIERGB SampleBilinear24(const TIERotateSource& Source, double SX, double SY) {
  uint8_t p[3];
  SampleBilinear(Source, SX, SY, p);
  return TIERGB{p[0], p[1], p[2]};
}
inline TIERGB SampleBicubic24(const TIERotateSource& Source, double SX, double SY) {
  uint8_t p[3];
  SampleBicubic(Source, SX, SY, p);
  return TIERGB{p[0], p[1], p[2]};
}
inline uint8_t SampleBilinear8(const TIERotateSource& Source, double SX, double SY) {
  uint8_t p[3];
  SampleBilinear(Source, SX, SY, p);
  return p[0];
}
inline uint8_t SampleBicubic8(const TIERotateSource& Source, double SX, double SY) {
  uint8_t p[3];
  SampleBicubic(Source, SX, SY, p);
  return p[0];
}
