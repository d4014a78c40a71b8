#include "imaging/io/codecs/gif_lzw.h"

#include "imaging/io/codecs/lzw_hash.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "platform/system/streams.h"

namespace {

constexpr int32_t kMaxCodes = 4096;  // 12-bit codes
constexpr int32_t kMaxWidth = 12;

// Where decoded indices land: row by row (or in interlace order), each row Width bytes; bytes past
// the last row, and the padding of a picture no code reached, are dropped.
class TGIFPixelSink {
 public:
  TGIFPixelSink(uint8_t* pixels, int32_t height, int32_t width, bool interlaced)
      : pixels_(pixels), height_(height), width_(width), interlaced_(interlaced),
        done_(pixels == nullptr || height <= 0 || width <= 0) {}

  // Writes Count bytes taken from the end of Stack backwards (a string unwound from its last byte).
  void PutReversed(const uint8_t* stackTop, int32_t count) {
    while (count > 0 && !done_) {
      const int32_t n = std::min(count, width_ - col_);
      uint8_t* dst = pixels_ + static_cast<int64_t>(row_) * width_ + col_;
      for (int32_t i = 0; i < n; ++i) dst[i] = *--stackTop;
      count -= n;
      col_ += n;
      if (col_ == width_) NextRow();
    }
  }
  void Put(uint8_t value) { PutReversed(&value + 1, 1); }
  // Whether any pixel has been written; whether every one has.
  bool Started() const { return row_ != 0 || col_ != 0 || pass_ != 1 || done_; }
  bool Done() const { return done_; }

 private:
  void NextRow() {
    col_ = 0;
    if (interlaced_)
      done_ = !GIFNextInterlacedRow(height_, row_, pass_);
    else
      done_ = ++row_ >= height_;
  }

  uint8_t* pixels_;
  int32_t height_;
  int32_t width_;
  bool interlaced_;
  bool done_;
  int32_t row_ = 0;
  int32_t col_ = 0;
  int32_t pass_ = 1;
};

// Codes read least significant bit first from the gathered data bytes.
class TGIFCodeReader {
 public:
  explicit TGIFCodeReader(const std::vector<uint8_t>& data) : data_(data), totalBits_(data.size() * 8) {}

  // False when fewer than Width bits are left (the data is used up).
  bool Read(int32_t width, int32_t& code) {
    if (bitPos_ + static_cast<uint64_t>(width) > totalBits_) return false;
    const uint64_t byte = bitPos_ >> 3;
    uint32_t v = data_[byte];
    if (byte + 1 < data_.size()) v |= static_cast<uint32_t>(data_[byte + 1]) << 8;
    if (byte + 2 < data_.size()) v |= static_cast<uint32_t>(data_[byte + 2]) << 16;
    code = static_cast<int32_t>((v >> (bitPos_ & 7)) & ((1u << width) - 1));
    bitPos_ += static_cast<uint64_t>(width);
    return true;
  }
  // Whole data bytes after the one that holds the next bit.
  bool BytesLeftOver() const { return (bitPos_ + 7) / 8 < data_.size(); }

 private:
  const std::vector<uint8_t>& data_;
  uint64_t totalBits_;
  uint64_t bitPos_ = 0;
};

// Reads the data sub-blocks that follow the code-size byte up to the terminator (or the end of the
// stream) into Data.
void GatherSubBlocks(TStream& stream, std::vector<uint8_t>& data) {
  uint8_t chunk[256];
  for (;;) {
    uint8_t len = 0;
    if (stream.Read(&len, 1) != 1 || len == 0) break;
    const int32_t got = stream.Read(chunk, len);
    data.insert(data.end(), chunk, chunk + std::max(got, 0));
    if (got < len) break;
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

void GIFLZWDecode(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced, uint8_t* Pixels) {
  const int64_t start = Stream.Position();
  auto fail = [&] { Stream.Seek(start, soBeginning); };

  uint8_t codeSize = 0;
  if (Stream.Read(&codeSize, 1) != 1 || codeSize < 2 || codeSize > 8) {
    fail();
    return;
  }
  std::vector<uint8_t> data;
  GatherSubBlocks(Stream, data);
  if (data.empty()) return;

  const int32_t clear = 1 << codeSize;
  const int32_t end = clear + 1;
  std::array<uint16_t, kMaxCodes> prefix{};
  std::array<uint8_t, kMaxCodes> suffix{};
  std::array<uint8_t, kMaxCodes> first{};
  for (int32_t i = 0; i < clear; ++i) {
    suffix[i] = static_cast<uint8_t>(i);
    first[i] = static_cast<uint8_t>(i);
  }
  std::array<uint8_t, kMaxCodes + 1> stack;

  TGIFCodeReader reader(data);
  TGIFPixelSink sink(Pixels, Height, Width, Interlaced);
  int32_t width = codeSize + 1;
  int32_t next = end + 1;
  int32_t limit = 1 << width;
  int32_t prev = -1;

  // The string of a known code, unwound onto the stack from its last byte, then written out.
  auto outputString = [&](int32_t code) {
    int32_t sp = 0;
    while (code >= clear) {
      stack[sp++] = suffix[code];
      code = prefix[code];
    }
    stack[sp++] = static_cast<uint8_t>(code);
    sink.PutReversed(stack.data() + sp, sp);
  };
  auto addEntry = [&](int32_t prefixCode, uint8_t firstByte) {
    if (next >= kMaxCodes) return;  // a full table takes no entries until the next clear code
    prefix[next] = static_cast<uint16_t>(prefixCode);
    suffix[next] = firstByte;
    first[next] = first[prefixCode];
    if (++next == limit && width < kMaxWidth) {
      ++width;
      limit <<= 1;
    }
  };

  // A code that cannot be decoded: data that is no picture at all fails; once pixels have been
  // decoded it ends the picture as the end of the data does, keeping them.
  auto broken = [&] {
    if (!sink.Started()) fail();
  };

  int32_t code = 0;
  if (!reader.Read(width, code)) return;
  while (code != end) {
    if (code == clear) {
      width = codeSize + 1;
      next = end + 1;
      limit = 1 << width;
      do {
        if (!reader.Read(width, code)) return;
      } while (code == clear);
      if (code == end) {
        // An end code right after a clear code: the data must end here.
        if (reader.BytesLeftOver()) broken();
        return;
      }
      if (code >= next) code = 0;
      sink.Put(static_cast<uint8_t>(code));
      prev = code;
    } else if (code < next) {
      // A known string (a stream that does not begin with a clear code starts here as after one).
      outputString(code);
      if (prev >= 0) addEntry(prev, first[code]);
      prev = code;
    } else if (code == next && prev >= 0 && next < kMaxCodes) {
      // The string being defined: the previous string and its own first byte.
      addEntry(prev, first[prev]);
      outputString(code);
      prev = code;
    } else {
      broken();
      return;
    }
    // Every pixel has its value: whatever follows in the block (an end code, junk, bad codes) changes
    // nothing.
    if (sink.Done()) return;
    // A full table keeps decoding with the codes it has until a clear code comes (a deferred clear).
    if (!reader.Read(width, code)) return;
  }
}

namespace {

// The GIF encoder: codes least significant bit first, output in sub-blocks of 254 bytes.
class TGIFLZWEncoder {
 public:
  TGIFLZWEncoder(TStream& stream, int32_t codeSize)
      : stream_(stream), initWidth_(codeSize + 1), clear_(1 << codeSize), end_(clear_ + 1) {
    width_ = initWidth_;
    maxCode_ = (1 << width_) - 1;
    free_ = clear_ + 2;
    out_.reserve(64 * 1024);
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
      if (out_.size() >= 60 * 1024) FlushOut();
    }
    if (haveCurrent) Output(current);
    Output(end_);
    FlushOut();
    const uint8_t terminator = 0;
    stream_.WriteBuffer(&terminator, 1);
  }

 private:
  int32_t Step(int32_t current, int32_t c) {
    int32_t code = 0, slot = 0, key = 0;
    if (table_.Find(current, c, code, slot, key)) return code;
    Output(current);
    if (free_ < kMaxCodes) {
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
    acc_ |= static_cast<uint32_t>(code) << bits_;
    bits_ += width_;
    while (bits_ >= 8) {
      PutByte(static_cast<uint8_t>(acc_));
      acc_ >>= 8;
      bits_ -= 8;
    }
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
    if (code == end_) {
      while (bits_ > 0) {
        PutByte(static_cast<uint8_t>(acc_));
        acc_ >>= 8;
        bits_ -= 8;
      }
      bits_ = 0;
      CloseBlock();
    }
  }

  void PutByte(uint8_t b) {
    block_[1 + blockLen_++] = b;
    if (blockLen_ == 254) CloseBlock();
  }
  void CloseBlock() {
    if (blockLen_ == 0) return;
    block_[0] = static_cast<uint8_t>(blockLen_);
    out_.insert(out_.end(), block_.begin(), block_.begin() + 1 + blockLen_);
    blockLen_ = 0;
  }
  void FlushOut() {
    if (!out_.empty()) stream_.WriteBuffer(out_.data(), static_cast<int32_t>(out_.size()));
    out_.clear();
  }

  TStream& stream_;
  const int32_t initWidth_;
  const int32_t clear_;
  const int32_t end_;
  int32_t width_ = 0;
  int32_t maxCode_ = 0;
  int32_t free_ = 0;
  bool clearPending_ = false;
  uint32_t acc_ = 0;
  int32_t bits_ = 0;
  TLZWHashTable table_;
  std::array<uint8_t, 255> block_{};
  int32_t blockLen_ = 0;
  std::vector<uint8_t> out_;
};

}  // namespace

void GIFLZWEncode(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced, const uint8_t* Pixels,
                  int32_t BitsPerPixel) {
  const int32_t codeSize = std::clamp(BitsPerPixel, 2, 8);
  const uint8_t sizeByte = static_cast<uint8_t>(codeSize);
  Stream.WriteBuffer(&sizeByte, 1);
  auto encoder = std::make_unique<TGIFLZWEncoder>(Stream, codeSize);
  encoder->Encode(Height, Width, Interlaced, Pixels);
}
