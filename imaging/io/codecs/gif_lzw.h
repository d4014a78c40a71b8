#pragma once
// The GIF LZW coders, installed into GIFLZWDecodeHook and GIFLZWEncodeHook by the I/O start-up.
// Pixels is a buffer of Width x Height bytes, one palette index per byte, rows from the top.
#include <cstdint>

class TStream;

// Decodes the table-based image data block at the stream's position (code-size byte, data
// sub-blocks, terminator) into Pixels. On success the stream is left after the block terminator; on
// failure it is set back to where it was, which is how the caller notices. Failures: a code size
// outside 2..8 (a literal never exceeds a byte), and data that yields no pixel before a code above
// the next free code or an end code right after a clear code while whole bytes of data are left.
// Such a code met after pixels have been decoded ends the picture as data that runs out before an
// end code does, which is no failure: the pixels decoded so far stay, and pixels no code reached
// keep what the caller put in the buffer. Decoding stops once every pixel has its value, so junk
// after complete data does no harm. Nothing is ever read past the block or written outside Pixels.
void GIFLZWDecode(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced, uint8_t* Pixels);

// Writes Pixels as a GIF image data block: the code-size byte (BitsPerPixel, at least 2), the data
// in sub-blocks of at most 254 bytes and the block terminator. With Interlaced the rows are taken in
// the GIF interlace order. Indices must be below 2^BitsPerPixel. A short write raises the stream's
// write error.
void GIFLZWEncode(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced, const uint8_t* Pixels,
                  int32_t BitsPerPixel);

// The GIF interlace order: the row that follows Row in pass Pass (1..4) of a picture Height rows
// high, moving to the next pass (and skipping passes that hold no row) at the end of one. Returns
// false once the last pass is done.
bool GIFNextInterlacedRow(int32_t Height, int32_t& Row, int32_t& Pass);
