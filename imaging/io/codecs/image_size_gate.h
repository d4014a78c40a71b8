#pragma once
// The one check that image sizes read from a file pass before a codec allocates anything for them.
#include <cstdint>

// True when a Width x Height image of BitsPerPixel bits can be described by DataBytes bytes of
// encoded data: both sides at least 1 and at most the int32 range, rows and the whole image
// representable (64-bit arithmetic), and no more pixels than DataBytes could code at
// MaxPixelsPerByte (the format's best compression), with a small allowance so that tiny images of
// tiny files always pass. Codecs pass what the stream really holds, not what a header declares.
bool IEImageSizePlausible(int64_t Width, int64_t Height, int32_t BitsPerPixel, int64_t DataBytes,
                          int64_t MaxPixelsPerByte);

// Test seam: the allowance in pixels (1 Mi by default); fuzz targets lower it to stay fast.
int64_t& IEImageSizeAllowanceForTesting();
