#include "imaging/io/codecs/gif_lzw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "imaging/io/codecs/lzw_hash.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kMaxCodes = 4096;  // 12-bit codes
constexpr int32_t kMaxWidth = 12;
constexpr int32_t kLargestCodeSize = 11;  // the clear code 2^11 still leaves room in the table

// Codes read least significant bit first from the gathered data bytes, through a 64-bit buffer.
class TGIFCodeReader {
 public:
  TGIFCodeReader(const uint8_t* data, size_t size) : start_(data), p_(data), end_(data + size) {}

  // False when fewer than Width bits are left (the data is used up).
  bool Read(int32_t width, int32_t& code) {
    if (bits_ < width) {
      Refill();
      if (bits_ < width) return false;
    }
    code = static_cast<int32_t>(buffer_ & ((1u << width) - 1));
    buffer_ >>= width;
    bits_ -= width;
    return true;
  }
  // Whole data bytes after the one that holds the next bit.
  bool BytesLeftOver() const {
    const uint64_t used = static_cast<uint64_t>(p_ - start_) * 8 - static_cast<uint64_t>(bits_);
    return (used + 7) / 8 < static_cast<uint64_t>(end_ - start_);
  }

 private:
  void Refill() {
    if (end_ - p_ >= 8) {
      uint64_t v;
      std::memcpy(&v, p_, 8);
      const int32_t take = (63 - bits_) >> 3;  // whole bytes that fit above the bits held
      buffer_ |= (v & (~uint64_t{0} >> (64 - 8 * take))) << bits_;
      p_ += take;
      bits_ += 8 * take;
      return;
    }
    while (bits_ <= 56 && p_ < end_) {
      buffer_ |= static_cast<uint64_t>(*p_++) << bits_;
      bits_ += 8;
    }
  }

  const uint8_t* start_;
  const uint8_t* p_;
  const uint8_t* end_;
  uint64_t buffer_ = 0;
  int32_t bits_ = 0;
};

// Copies a string of Count bytes that starts earlier in the output. The string of the code that is
// being defined (the string-plus-first-byte case) overlaps its own end by one byte, which a forward
// copy byte by byte reproduces.
inline void CopyString(uint8_t* dst, const uint8_t* src, int64_t count) {
  if (src + count <= dst) {
    std::memcpy(dst, src, static_cast<size_t>(count));
  } else {
    for (int64_t i = 0; i < count; ++i) dst[i] = src[i];
  }
}

}  // namespace

bool GIFNextInterlacedRow(int32_t Height, int32_t& Row, int32_t& Pass) {
  static constexpr int32_t kStart[5] = {0, 0, 4, 2, 1};
  static constexpr int32_t kStep[5] = {0, 8, 8, 4, 2};
  if (Pass < 1 || Pass > 4) return false;
  Row += kStep[Pass];
  while (Row >= Height) {
    if (++Pass > 4) return false;
    Row = kStart[Pass];
  }
  return true;
}

bool GIFGatherSubBlocks(TStream& Stream, std::vector<uint8_t>& Data) {
  uint8_t chunk[256];
  for (;;) {
    uint8_t len = 0;
    if (Stream.Read(&len, 1) != 1 || len == 0) return true;
    const int32_t got = Stream.Read(chunk, len);
    Data.insert(Data.end(), chunk, chunk + std::max(got, 0));
    if (got < len) return false;
  }
}

TGIFLZWDecodeResult GIFLZWDecodeData(const uint8_t* Data, size_t Size, int32_t CodeSize, int32_t Height,
                                     int32_t Width, bool Interlaced, uint8_t* Pixels,
                                     const TGIFLZWDecodeOptions& Options) {
  TGIFLZWDecodeResult result;
  if (CodeSize < 2 || CodeSize > std::min(Options.MaxCodeSize, kLargestCodeSize)) {
    result.Broken = true;
    return result;
  }
  if (Pixels == nullptr || Height <= 0 || Width <= 0) return result;
  const int64_t total = static_cast<int64_t>(Width) * Height;
  if (total > int64_t{0xFFFFFFFF}) {  // beyond what 16-bit GIF sizes reach; offsets are 32-bit
    result.Broken = true;
    return result;
  }
  // Interlaced rows are decoded in the order they are sent and placed afterwards.
  std::unique_ptr<uint8_t[]> linear;
  uint8_t* out = Pixels;
  if (Interlaced) {
    linear.reset(new uint8_t[static_cast<size_t>(total)]);
    out = linear.get();
  }

  // A table entry is a string met earlier in the output: where it starts and how long it is.
  // Literals (codes below the clear code) are written as their low byte.
  std::array<uint32_t, kMaxCodes> offset;
  std::array<uint16_t, kMaxCodes> length;
  const int32_t clear = 1 << CodeSize;
  const int32_t end = clear + 1;
  int32_t width = CodeSize + 1;
  int32_t next = end + 1;
  int32_t limit = 1 << width;
  int32_t prev = -1;  // no previous string: the first code after a clear code
  int64_t prevPos = 0;
  int32_t prevLen = 0;
  int64_t pos = 0;
  bool afterClear = Options.Lenient;
  TGIFCodeReader reader(Data, Size);

  // A code that cannot be decoded: data that is no picture at all is broken; once pixels have been
  // decoded it ends the picture as the end of the data does, keeping them.
  const auto broken = [&] { result.Broken = pos == 0; };
  const auto addEntry = [&] {
    if (next >= kMaxCodes) return;  // a full table takes no entries until the next clear code
    offset[next] = static_cast<uint32_t>(prevPos);
    length[next] = static_cast<uint16_t>(prevLen + 1);
    if (++next == limit && width < kMaxWidth) {
      ++width;
      limit <<= 1;
    }
  };

  // The next code; false, with the data counted as ended, when none is left.
  const auto readCode = [&](int32_t& code) {
    if (reader.Read(width, code)) return true;
    result.DataEnded = true;
    return false;
  };
  const auto clearTable = [&] {
    width = CodeSize + 1;
    next = end + 1;
    limit = 1 << width;
  };

  int32_t code = 0;
  for (;;) {
    if (!readCode(code)) break;
    if (code == clear) {
      clearTable();
      prev = -1;
      afterClear = true;
      continue;
    }
    if (code == end) {
      // Right after a clear code the data must end here.
      if (!Options.Lenient && afterClear && prev < 0 && reader.BytesLeftOver())
        broken();
      else
        result.EndCode = true;
      break;
    }
    if (prev < 0) {
      // The first string is a literal. After a clear code anything else is taken as 0; a code
      // stream that starts without one must start with a literal.
      if (code >= next) {
        if (!afterClear) {
          broken();
          break;
        }
        code = 0;
      }
      afterClear = false;
      out[pos] = static_cast<uint8_t>(code);
      prev = code;
      prevPos = pos++;
      prevLen = 1;
    } else {
      if (code > next) {
        if (!Options.Lenient) {
          broken();
          break;
        }
        code = next;
      }
      // The string being defined (code == next) is the previous string and its own first byte:
      // its entry is made first and then copied like any other. After a known string the new entry
      // is the previous string and this one's first byte.
      const bool defining = code == next;
      if (defining) addEntry();
      const int64_t at = pos;
      int32_t len = 1;
      if (code < clear) {
        out[pos++] = static_cast<uint8_t>(code);
      } else {
        len = length[code];
        const int64_t n = std::min<int64_t>(len, total - pos);
        CopyString(out + pos, out + offset[code], n);
        pos += n;
      }
      if (!defining) addEntry();
      prev = code;
      prevPos = at;
      prevLen = len;
    }
    if (pos >= total) {
      // Every pixel has its value: whatever follows in the block (an end code, junk, bad codes)
      // changes nothing. The lenient reader still looks for the end code.
      if (Options.Lenient) {
        while (readCode(code) && code == clear) clearTable();
        result.EndCode = !result.DataEnded && code == end;
      }
      break;
    }
  }
  result.Pixels = pos;

  if (Interlaced) {
    const uint8_t* src = out;
    int64_t left = pos;
    int32_t row = 0;
    int32_t pass = 1;
    while (left > 0) {
      const int64_t n = std::min<int64_t>(Width, left);
      std::memcpy(Pixels + static_cast<int64_t>(row) * Width, src, static_cast<size_t>(n));
      src += n;
      left -= n;
      if (!GIFNextInterlacedRow(Height, row, pass)) break;
    }
  }
  return result;
}

void GIFLZWDecode(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced, uint8_t* Pixels) {
  const int64_t start = Stream.Position();
  uint8_t codeSize = 0;
  if (Stream.Read(&codeSize, 1) != 1 || codeSize < 2 || codeSize > 8) {
    Stream.Seek(start, soBeginning);
    return;
  }
  std::vector<uint8_t> data;
  GIFGatherSubBlocks(Stream, data);
  if (data.empty()) return;
  const TGIFLZWDecodeResult r =
      GIFLZWDecodeData(data.data(), data.size(), codeSize, Height, Width, Interlaced, Pixels);
  if (r.Broken) Stream.Seek(start, soBeginning);
}

// ---- Encoding ---------------------------------------------------------------------------------

TGIFCodeWriter::TGIFCodeWriter(TStream& Stream, int32_t BlockSize)
    : stream_(Stream), blockSize_(std::clamp(BlockSize, 1, 255)) {
  out_.reserve(64 * 1024);
}

void TGIFCodeWriter::Drain() {
  while (bits_ >= 8) {
    PutByte(static_cast<uint8_t>(bucket_));
    bucket_ >>= 8;
    bits_ -= 8;
  }
  if (out_.size() >= 60 * 1024) {
    stream_.WriteBuffer(out_.data(), static_cast<int32_t>(out_.size()));
    out_.clear();
  }
}

void TGIFCodeWriter::CloseBlock() {
  if (blockLen_ == 0) return;
  block_[0] = static_cast<uint8_t>(blockLen_);
  out_.insert(out_.end(), block_, block_ + 1 + blockLen_);
  blockLen_ = 0;
}

void TGIFCodeWriter::Finish() {
  Drain();
  if (bits_ > 0) PutByte(static_cast<uint8_t>(bucket_));
  bucket_ = 0;
  bits_ = 0;
  CloseBlock();
  if (!out_.empty()) stream_.WriteBuffer(out_.data(), static_cast<int32_t>(out_.size()));
  out_.clear();
}

namespace {

// The LZW compressor: strings in a hash table, a clear code when the table is full.
class TGIFLZWEncoder {
 public:
  TGIFLZWEncoder(TStream& stream, int32_t codeSize, const TGIFLZWEncodeOptions& options)
      : writer_(stream, options.BlockSize), lastCode_(std::clamp(options.LastCode, 0, kMaxCodes - 1)),
        initWidth_(codeSize + 1), clear_(1 << codeSize), end_(clear_ + 1) {
    width_ = initWidth_;
    maxCode_ = (1 << width_) - 1;
    free_ = clear_ + 2;
  }

  void Encode(int32_t height, int32_t width, bool interlaced, const uint8_t* pixels) {
    const uint8_t mask = static_cast<uint8_t>(clear_ - 1);
    Output(clear_);
    bool haveCurrent = false;
    int32_t current = 0;
    int32_t row = 0;
    int32_t pass = 1;
    const bool any = height > 0 && width > 0 && pixels != nullptr;
    for (bool more = any; more;) {
      const uint8_t* src = pixels + static_cast<int64_t>(row) * width;
      int32_t x = 0;
      if (!haveCurrent) {
        current = src[0] & mask;
        haveCurrent = true;
        x = 1;
      }
      for (; x < width; ++x) current = Step(current, src[x] & mask);
      more = interlaced ? GIFNextInterlacedRow(height, row, pass) : ++row < height;
    }
    if (haveCurrent) Output(current);
    Output(end_);
    writer_.Finish();
  }

 private:
  int32_t Step(int32_t current, int32_t c) {
    int32_t code = 0, slot = 0, key = 0;
    if (table_.Find(current, c, code, slot, key)) return code;
    Output(current);
    if (free_ <= lastCode_) {
      table_.Store(slot, key, free_++);
    } else {
      table_.Clear();
      free_ = clear_ + 2;
      clearPending_ = true;
      Output(clear_);
    }
    return c;
  }

  void Output(int32_t code) {
    writer_.Put(code, width_);
    if (free_ > maxCode_ || clearPending_) {
      if (clearPending_) {
        width_ = initWidth_;
        maxCode_ = (1 << width_) - 1;
        clearPending_ = false;
      } else {
        ++width_;
        maxCode_ = width_ == kMaxWidth ? kMaxCodes : (1 << width_) - 1;
      }
    }
  }

  TGIFCodeWriter writer_;
  const int32_t lastCode_;
  const int32_t initWidth_;
  const int32_t clear_;
  const int32_t end_;
  int32_t width_ = 0;
  int32_t maxCode_ = 0;
  int32_t free_ = 0;
  bool clearPending_ = false;
  TLZWHashTable table_;
};

}  // namespace

void GIFLZWEncodeData(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced, const uint8_t* Pixels,
                      int32_t CodeSize, const TGIFLZWEncodeOptions& Options) {
  const int32_t codeSize = std::clamp(CodeSize, 2, 8);
  const uint8_t sizeByte = static_cast<uint8_t>(codeSize);
  Stream.WriteBuffer(&sizeByte, 1);
  auto encoder = std::make_unique<TGIFLZWEncoder>(Stream, codeSize, Options);
  encoder->Encode(Height, Width, Interlaced, Pixels);
  const uint8_t terminator = 0;
  Stream.WriteBuffer(&terminator, 1);
}

void GIFLZWEncode(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced, const uint8_t* Pixels,
                  int32_t BitsPerPixel) {
  GIFLZWEncodeData(Stream, Height, Width, Interlaced, Pixels, BitsPerPixel);
}
