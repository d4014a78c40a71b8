#pragma once
// The bytes of image data a PNG file holds, for the allocation gate: readers of PNG files weigh the
// size a header declares against what the file can really describe before they allocate pixels.
#include <cstdint>

class TStream;

// Walks the chunks from the stream's position, which stands on a chunk's length field, to IEND or the
// end of the stream, reading only the chunk headers, and totals the data bytes of the IDAT chunks
// that are present in the stream (a chunk cut off by the end of the file counts what is there). A
// length above 2^31 - 1 ends the walk. The stream's position is left where it was.
int64_t PNGIdatBytesPresent(TStream& stream);

// Deflate's best ratio: a zlib stream never codes more than about 1032 bytes per byte it takes.
constexpr int64_t kDeflateMaxRatio = 1032;
