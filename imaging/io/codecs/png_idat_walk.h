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

// The same walk, with what it found of chunks cut off by the end of the stream: a chunk other than
// IDAT whose length runs past the end is a claim a reader must not take at its word (libpng would
// ask for that much memory before it finds the data missing).
struct TPNGChunkWalk {
  int64_t IdatBytes = 0;
  bool CutBeforeImageData = false;  // such a chunk before the first IDAT
  bool CutAfterImageData = false;   // such a chunk after it
  int64_t FirstIdatAt = -1;         // the stream position of the first IDAT chunk (its length field)
  bool ChunksAfterImageData = false;  // a chunk other than IDAT and IEND after the first IDAT
};
// With StopAtImageData the walk ends at the first IDAT (what a reader of the header needs; IdatBytes
// then counts nothing).
TPNGChunkWalk WalkPNGChunks(TStream& stream, bool StopAtImageData = false);

// Deflate's best ratio: a zlib stream never codes more than about 1032 bytes per byte it takes.
constexpr int64_t kDeflateMaxRatio = 1032;
