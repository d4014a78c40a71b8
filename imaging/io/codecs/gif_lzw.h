#pragma once
// The GIF LZW coder: 12-bit codes at most, 4096 table entries, codes least significant bit first in
// data sub-blocks, the deferred clear. GIFLZWDecode and GIFLZWEncode are the engine's coders, installed
// into GIFLZWDecodeHook and GIFLZWEncodeHook by the I/O start-up; the GIF picture class calls the coder
// beneath them directly, with the options below where it reads and writes differently.
// Pixels is a buffer of Width x Height bytes, one palette index per byte, rows from the top.
#include <cstddef>
#include <cstdint>
#include <vector>

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

// ---- The coder beneath both ---------------------------------------------------------------------

// Appends the bytes of the data sub-blocks at the stream's position (the image data after its
// code-size byte) to Data, reading up to and including the block terminator, or to the end of the
// stream. Returns false when the stream ended inside a sub-block (what was there is kept).
bool GIFGatherSubBlocks(TStream& Stream, std::vector<uint8_t>& Data);

// How a reader takes damaged code streams.
struct TGIFLZWDecodeOptions {
  // Code sizes 2..MaxCodeSize are decoded (at most 11, so that the clear code fits the table; above
  // 8 a literal keeps its low byte).
  int32_t MaxCodeSize = 8;
  // Off (the engine's codec): a code above the next free one, or an end code right after a clear
  // code while whole bytes of data follow, is broken data; so is a first code that is not a literal.
  // On (the picture class): the code stream starts as after a clear code; a code above the next
  // free one is taken as the next free one (so every string is built from defined, lower entries);
  // an end code after a clear code ends the picture whatever follows; and once every pixel has its
  // value the next code is read, so that data ending without its end code is reported.
  bool Lenient = false;
};

struct TGIFLZWDecodeResult {
  int64_t Pixels = 0;      // pixels decoded, in the order they are sent (rows in interlace order)
  bool Broken = false;     // stopped at a code the options call broken
  bool EndCode = false;    // stopped at an end code
  bool DataEnded = false;  // the data ran out where a code was due
};

// Decodes the code stream Data (the sub-blocks' bytes, gathered) of code size CodeSize into Pixels.
// Pixels no code reaches keep what the caller put there; codes past the last pixel are not read (but
// for the one look of the lenient mode). A code size outside 2..Options.MaxCodeSize decodes nothing
// and counts as broken.
TGIFLZWDecodeResult GIFLZWDecodeData(const uint8_t* Data, size_t Size, int32_t CodeSize, int32_t Height,
                                     int32_t Width, bool Interlaced, uint8_t* Pixels,
                                     const TGIFLZWDecodeOptions& Options = {});

// Packs codes of any width (up to 12 bits) least significant bit first into data sub-blocks of at most
// BlockSize bytes (1..255) written to Stream. Finish writes the bits still held as a last byte and the
// last sub-block; the block terminator is the caller's. A short write raises the stream's write error.
class TGIFCodeWriter {
 public:
  TGIFCodeWriter(TStream& Stream, int32_t BlockSize);
  TGIFCodeWriter(const TGIFCodeWriter&) = delete;
  TGIFCodeWriter& operator=(const TGIFCodeWriter&) = delete;

  void Put(int32_t Code, int32_t Width) {
    bucket_ |= static_cast<uint64_t>(static_cast<uint32_t>(Code) & ((1u << Width) - 1)) << bits_;
    bits_ += Width;
    if (bits_ >= 32) Drain();
  }
  void Finish();

 private:
  void Drain();
  void PutByte(uint8_t b) {
    block_[1 + blockLen_++] = b;
    if (blockLen_ == blockSize_) CloseBlock();
  }
  void CloseBlock();

  TStream& stream_;
  const int32_t blockSize_;
  uint64_t bucket_ = 0;
  int32_t bits_ = 0;
  uint8_t block_[256] = {};
  int32_t blockLen_ = 0;
  std::vector<uint8_t> out_;
};

// How a writer lays out its code stream.
struct TGIFLZWEncodeOptions {
  int32_t BlockSize = 254;  // bytes per data sub-block
  // The last table entry made before a clear code is sent: 4095 fills the table, 4094 leaves its
  // last entry unused (a margin some decoders need).
  int32_t LastCode = 4095;
};

// Writes Pixels as an image data block: the code-size byte (CodeSize, 2..8), the code stream in
// sub-blocks and the terminator. Indices keep their low CodeSize bits. With Interlaced the rows are
// taken in the GIF interlace order.
void GIFLZWEncodeData(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced, const uint8_t* Pixels,
                      int32_t CodeSize, const TGIFLZWEncodeOptions& Options = {});
