#pragma once
// Colour routines on whole bitmaps that the processing operations rest on.
#include <cstdint>

class TIEBitmap;

// The mean of each channel over the whole bitmap, 0..255: each row's channel sums divided (div) by
// the width, the row means summed and divided (div) by the height. Pixels of any format are read as
// blue, green, red bytes (ie1g 0 or 255, ie8p through the palette, grey formats in all channels,
// ieCMYK and ieCIELab converted, ieRGB48 by the high bytes). An empty bitmap gives 0, 0, 0.
void ChannelMeans(TIEBitmap& Bitmap, int32_t& R, int32_t& G, int32_t& B);
