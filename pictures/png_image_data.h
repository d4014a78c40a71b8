#pragma once
// TChunkIDAT: the image data. Loading decodes the zlib stream that runs over one or more consecutive
// IDAT chunks into the header's storage (unfiltering each row, Adam7 when the picture is interlaced);
// saving encodes the storage into IDAT chunks of the picture's IdatChunkSize, choosing each row's
// filter among the picture's RowFilters.
#include <cstdint>

#include "pictures/png_chunk.h"

class TChunkIDAT : public TChunk {
 public:
  using TChunk::TChunk;
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  // The stream stands at the start of the first IDAT chunk's data, size bytes long. Rows that the
  // data do not reach stay 0.
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
};

// The standard's Adam7 passes: first column and row, column and row steps.
struct TAdam7Pass {
  int32_t x0, y0, dx, dy;
};
inline constexpr TAdam7Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
// Pixels of a pass along an axis of n pixels: (n + step - first - 1) div step (0 when none).
inline int32_t Adam7Count(int64_t n, int32_t first, int32_t step) {
  const int64_t c = (n + step - first - 1) / step;
  return c > 0 ? static_cast<int32_t>(c) : 0;
}
