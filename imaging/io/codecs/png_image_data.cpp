#include "imaging/io/codecs/png_image_data.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "imaging/io/codecs/png_filters.h"
#include "platform/system/streams.h"

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

// ---- Reading

namespace {

// Bytes of image data read from the stream at a time.
constexpr size_t kReadPiece = size_t{1} << 16;

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Reads up to Length bytes; answers how many came (fewer at the end of the stream or when it raised).
size_t ReadSome(TStream& stream, uint8_t* data, size_t length) noexcept {
  size_t done = 0;
  try {
    while (done < length) {
      const int32_t got = stream.Read(data + done, static_cast<int32_t>(std::min<size_t>(length - done, size_t{1} << 30)));
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
  } catch (...) {
  }
  return done;
}

}  // namespace

TPngImageDataReader::TPngImageDataReader(TStream& Stream, size_t RowBytes, int Bpp)
    : stream_(Stream), rowBytes_(RowBytes), bpp_(Bpp) {
  try {
    in_.resize(kReadPiece);
    prev_.assign(RowBytes + 1, 0);
    cur_.resize(RowBytes + 1);
  } catch (const std::bad_alloc&) {
    return;
  }
  ready_ = inflateInit(&z_) == Z_OK;
}

TPngImageDataReader::~TPngImageDataReader() {
  if (ready_) inflateEnd(&z_);
}

bool TPngImageDataReader::Fail(const char* Why) {
  if (error_.empty()) error_ = Why;
  return false;
}

bool TPngImageDataReader::EndChunk() {
  uint8_t crc[4];
  if (ReadSome(stream_, crc, 4) != 4) return Fail("the image data ends early");
  if (BigEndian32(crc) != static_cast<uint32_t>(crc_)) return Fail("an image data chunk has a wrong CRC");
  inChunk_ = false;
  return true;
}

bool TPngImageDataReader::BeginChunk(const uint8_t* Head) {
  left_ = BigEndian32(Head);
  if (left_ > 0x7FFFFFFFu) return Fail("an image data chunk of a bad length");
  crc_ = crc32(0L, Head + 4, 4);
  inChunk_ = true;
  return true;
}

size_t TPngImageDataReader::ReadData() {
  // What the stream has of the chunk, up to a piece: a file cut off still gives its rows.
  const size_t got = ReadSome(stream_, in_.data(), std::min<size_t>(left_, in_.size()));
  crc_ = crc32(crc_, in_.data(), static_cast<uInt>(got));
  left_ -= static_cast<uint32_t>(got);
  return got;
}

bool TPngImageDataReader::Refill() {
  for (;;) {
    if (inChunk_ && left_ == 0 && !EndChunk()) return false;
    if (!inChunk_) {
      uint8_t head[8];
      if (ReadSome(stream_, head, 8) != 8 || std::memcmp(head + 4, "IDAT", 4) != 0)
        return Fail("the image data ends early");
      if (!BeginChunk(head)) return false;
      continue;  // an empty chunk goes straight to its CRC
    }
    const size_t got = ReadData();
    if (got == 0) return Fail("the image data ends early");
    z_.next_in = in_.data();
    z_.avail_in = static_cast<uInt>(got);
    return true;
  }
}

const uint8_t* TPngImageDataReader::NextRow() {
  if (!ready_ || !error_.empty()) return nullptr;
  if (ended_) return Fail("the image data ends early"), nullptr;
  z_.next_out = cur_.data();
  z_.avail_out = static_cast<uInt>(cur_.size());
  while (z_.avail_out > 0) {
    if (z_.avail_in == 0 && !Refill()) return nullptr;
    const int result = inflate(&z_, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      ended_ = true;
      if (z_.avail_out > 0) return Fail("the image data ends early"), nullptr;
    } else if (result != Z_OK && !(result == Z_BUF_ERROR && z_.avail_in == 0)) {
      return Fail("the image data is damaged"), nullptr;
    }
  }
  if (cur_[0] > 4) return Fail("a row of an unknown filter"), nullptr;
  PNGUnfilterRow(cur_[0], cur_.data() + 1, prev_.data() + 1, rowBytes_, static_cast<size_t>(bpp_));
  std::swap(prev_, cur_);
  return prev_.data() + 1;
}

bool TPngImageDataReader::Finish() {
  if (!ready_ || !error_.empty()) return false;
  try {
    for (;;) {
      // The rest of the current chunk (the end of the zlib stream) and its CRC.
      if (inChunk_) {
        while (left_ > 0)
          if (ReadData() == 0) return Fail("the image data ends early");
        if (!EndChunk()) return false;
      }
      // Another image data chunk; else the end chunk, passed over as libpng's reader would; anything
      // else is left unread.
      const int64_t at = stream_.Position();
      uint8_t head[8];
      const bool whole = ReadSome(stream_, head, 8) == 8;
      if (whole && std::memcmp(head + 4, "IEND", 4) == 0) {
        stream_.Seek(std::min(at + 12 + int64_t{BigEndian32(head)}, stream_.Size()), soBeginning);
        return true;
      }
      if (!whole || std::memcmp(head + 4, "IDAT", 4) != 0) {
        stream_.Seek(at, soBeginning);
        return true;
      }
      if (!BeginChunk(head)) return false;
    }
  } catch (...) {
    return Fail("the stream failed");
  }
}
