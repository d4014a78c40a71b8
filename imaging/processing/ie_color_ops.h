#pragma once
// Colour routines on whole bitmaps that the processing operations, the views and the codecs use.
#include <cstdint>
#include <string>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_rgb.h"
#include "platform/gdi/color.h"

class TIEBitmap;
class TObject;

// The mean of each channel over the whole bitmap, 0..255: each row's channel sums divided (div) by
// the width, the row means summed and divided (div) by the height. Pixels of any format are read as
// blue, green, red bytes (ie1g 0 or 255, ie8p through the palette, grey formats in all channels,
// ieCMYK and ieCIELab converted, ieRGB48 by the high bytes). An empty bitmap gives 0, 0, 0.
void ChannelMeans(TIEBitmap& Bitmap, int32_t& R, int32_t& G, int32_t& B);

// The value TIEBitmap::Fill and FillRect take to paint Color (system colours resolved) in the
// bitmap's format: ie1g 1 when the colour's red is not 0, else 0; ie8g its grey level; ie16g the
// grey level * 257; ie32f the grey level / 255; ie8p the index of the nearest palette entry; the
// colour formats the colour itself.
double ColorToFillValue(TIEBitmap& Bitmap, TColor Color);

// Reorders the channels of an ie24RGB or ieRGB48 bitmap: the three letters of Order (upper-cased)
// say where the blue, the green and the red channel of each pixel come from: "B", "G" or "R" that
// channel of the same pixel, "0" zero, any other letter (or a missing one) blue. Progress per row
// Y before the next one: Trunc(Y / height * 100), when OnProgress is assigned. Other formats are
// left as they are.
void RearrangeChannels(TIEBitmap& Bitmap, const std::string& Order, TObject* Sender,
                       const TIEProgressEvent& OnProgress);

// Makes each channel of Target (ie24RGB or ieRGB48) follow the histogram of the same channel of
// Reference (ie24RGB). Nothing when Reference is not ie24RGB, Target has another format, or either
// is empty.
void MatchColorHistograms(TIEBitmap& Reference, TIEBitmap& Target);

// In an ie24RGB bitmap every pixel whose alpha is 0 gets Color; other formats, and bitmaps without
// an alpha channel, are left as they are.
void FillTransparentPixels(TIEBitmap& Bitmap, TIERGB Color);
