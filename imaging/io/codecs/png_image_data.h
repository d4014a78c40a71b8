#pragma once
// The image data of a non-interlaced PNG, filtered and deflated here: the PNG writer hands each row
// in the file's layout, and full deflate buffers leave as the data of IDAT chunks. libpng writes
// every chunk around them; doing the rows here spares its row copies and its byte-by-byte filters,
// which cost about a sixth of a photograph's encoding under Paeth.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Row filters by their number in the file.
enum class TPngRowFilter : uint8_t { None = 0, Sub = 1, Paeth = 4 };

class TPngImageDataWriter {
 public:
  // Receives the data of one IDAT chunk; false stops the writing.
  using TChunkSink = std::function<bool(const uint8_t* Data, size_t Length)>;

  // Rows of RowBytes bytes with pixels of Bpp bytes (1 below 8 bits), deflated at Level with
  // zlib's MemLevel; chunks of at most ChunkBytes.
  TPngImageDataWriter(size_t RowBytes, int Bpp, TPngRowFilter Filter, int Level, int MemLevel, size_t ChunkBytes,
                      TChunkSink Sink);
  ~TPngImageDataWriter();
  TPngImageDataWriter(const TPngImageDataWriter&) = delete;
  TPngImageDataWriter& operator=(const TPngImageDataWriter&) = delete;

  // False when zlib could not start (no memory).
  bool Ready() const { return ready_; }
  // The next row, from the top; false when zlib or the sink failed.
  bool AddRow(const uint8_t* Row);
  // The end of the data; false when zlib or the sink failed.
  bool Finish();

 private:
  bool Deflate(int Flush);

  size_t rowBytes_;
  int bpp_;
  TPngRowFilter filter_;
  TChunkSink sink_;
  z_stream z_{};
  bool ready_ = false;
  std::vector<uint8_t> up_;        // the previous row, unfiltered
  std::vector<uint8_t> filtered_;  // filter type byte and the filtered row
  std::vector<uint8_t> out_;       // deflate's output: one chunk
};
