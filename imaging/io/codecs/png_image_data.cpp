#include "imaging/io/codecs/png_image_data.h"

#include <cstring>
#include <new>
#include <utility>

#include "imaging/io/codecs/png_filters.h"

TPngImageDataWriter::TPngImageDataWriter(size_t RowBytes, int Bpp, TPngRowFilter Filter, int Level, int MemLevel,
                                         size_t ChunkBytes, TChunkSink Sink)
    : rowBytes_(RowBytes), bpp_(Bpp), filter_(Filter), sink_(std::move(Sink)) {
  try {
    up_.assign(RowBytes, 0);
    filtered_.resize(RowBytes + 1);
    out_.resize(ChunkBytes);
  } catch (const std::bad_alloc&) {
    return;
  }
  filtered_[0] = static_cast<uint8_t>(filter_);
  // zlib's strategy for filtered rows, as libpng chooses it.
  const int strategy = filter_ == TPngRowFilter::None ? Z_DEFAULT_STRATEGY : Z_FILTERED;
  ready_ = deflateInit2(&z_, Level, Z_DEFLATED, 15, MemLevel, strategy) == Z_OK;
  z_.next_out = out_.data();
  z_.avail_out = static_cast<uInt>(out_.size());
}

TPngImageDataWriter::~TPngImageDataWriter() {
  if (ready_) deflateEnd(&z_);
}

bool TPngImageDataWriter::Deflate(int Flush) {
  for (;;) {
    const int result = deflate(&z_, Flush);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return false;
    const bool full = z_.avail_out == 0;
    if (full || (Flush == Z_FINISH && result == Z_STREAM_END)) {
      const size_t length = out_.size() - z_.avail_out;
      if (length > 0 && !sink_(out_.data(), length)) return false;
      z_.next_out = out_.data();
      z_.avail_out = static_cast<uInt>(out_.size());
    }
    if (Flush == Z_FINISH ? result == Z_STREAM_END : (z_.avail_in == 0 && !full)) return true;
  }
}

bool TPngImageDataWriter::AddRow(const uint8_t* Row) {
  if (!ready_) return false;
  PNGFilterRow(static_cast<uint8_t>(filter_), Row, up_.data(), filtered_.data() + 1, rowBytes_,
               static_cast<size_t>(bpp_));
  if (filter_ == TPngRowFilter::Paeth) std::memcpy(up_.data(), Row, rowBytes_);
  z_.next_in = filtered_.data();
  z_.avail_in = static_cast<uInt>(filtered_.size());
  return Deflate(Z_NO_FLUSH);
}

bool TPngImageDataWriter::Finish() { return ready_ && Deflate(Z_FINISH); }
