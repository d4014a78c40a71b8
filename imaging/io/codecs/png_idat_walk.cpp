#include "imaging/io/codecs/png_idat_walk.h"

#include <algorithm>
#include <cstring>

#include "platform/system/streams.h"

int64_t PNGIdatBytesPresent(TStream& stream) { return WalkPNGChunks(stream).IdatBytes; }

TPNGChunkWalk WalkPNGChunks(TStream& stream, bool StopAtImageData) {
  const int64_t start = stream.Position();
  const int64_t size = stream.Size();
  int64_t pos = start;
  TPNGChunkWalk walk;
  bool imageData = false;
  // Every step moves on by at least 12 bytes, so the walk ends within the file.
  while (size - pos >= 8) {
    stream.Seek(pos, soBeginning);
    uint8_t head[8];
    if (stream.Read(head, 8) != 8) break;
    const uint32_t length = (uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) | (uint32_t{head[2]} << 8) | head[3];
    if (length > 0x7FFFFFFFu) break;
    const int64_t dataAt = pos + 8;
    const bool iend = std::memcmp(head + 4, "IEND", 4) == 0;
    if (std::memcmp(head + 4, "IDAT", 4) == 0) {
      if (!imageData) walk.FirstIdatAt = pos;
      if (StopAtImageData) break;
      walk.IdatBytes += std::min<int64_t>(length, size - dataAt);
      imageData = true;
    } else {
      if (length > size - dataAt) (imageData ? walk.CutAfterImageData : walk.CutBeforeImageData) = true;
      if (imageData && !iend) walk.ChunksAfterImageData = true;
    }
    if (iend) break;
    pos = dataAt + static_cast<int64_t>(length) + 4;
  }
  stream.Seek(start, soBeginning);
  return walk;
}
