#pragma once
// The image data of a non-interlaced PNG, coded here rather than by libpng, which handles every other
// chunk: libpng's row path copies each row twice and filters and unfilters byte by byte, a large part
// of a photograph's coding under Paeth.
//   - Writing: the PNG writer hands each row in the file's layout; full deflate buffers leave as the
//     data of IDAT chunks.
//   - Reading: the IDAT chunks are read from the stream, their CRCs checked, and the rows inflated
//     and unfiltered one by one.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TStream;

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

class TPngImageDataReader {
 public:
  // Reads from the stream's position, which stands on the first IDAT chunk's length field, rows of
  // RowBytes bytes with pixels of Bpp bytes (1 below 8 bits).
  TPngImageDataReader(TStream& Stream, size_t RowBytes, int Bpp);
  ~TPngImageDataReader();
  TPngImageDataReader(const TPngImageDataReader&) = delete;
  TPngImageDataReader& operator=(const TPngImageDataReader&) = delete;

  // False when zlib could not start (no memory).
  bool Ready() const { return ready_; }
  // The next row, from the top, unfiltered in the file's layout; nullptr when the data failed (Error
  // says how). The rows returned before stay good.
  const uint8_t* NextRow();
  // After the last row: the rest of the image data's chunks, their CRCs checked (libpng does as much
  // at the end of the rows), and the end chunk after them; false when one is wrong or missing.
  bool Finish();
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const char* Why);
  // Starts the IDAT chunk whose length and name Head holds.
  bool BeginChunk(const uint8_t* Head);
  // Reads the next piece of the current chunk's data into the input; answers its size (0 when the
  // stream has no more).
  size_t ReadData();
  // Fills the input with the next bytes of image data, crossing chunk boundaries; false at the end of
  // the data or on an error.
  bool Refill();
  // Reads and checks the CRC of the chunk whose data has all been read.
  bool EndChunk();

  TStream& stream_;
  size_t rowBytes_;
  int bpp_;
  z_stream z_{};
  bool ready_ = false;
  bool ended_ = false;      // zlib's stream ended
  bool inChunk_ = false;    // the position is inside an IDAT chunk's data
  uint32_t left_ = 0;       // bytes of the current chunk's data not yet read
  uLong crc_ = 0;           // the current chunk's CRC so far
  std::string error_;
  std::vector<uint8_t> in_;    // bytes read from the stream
  std::vector<uint8_t> prev_;  // filter type byte and the row above, unfiltered (zeros above the first)
  std::vector<uint8_t> cur_;   // filter type byte and the row being read
};
