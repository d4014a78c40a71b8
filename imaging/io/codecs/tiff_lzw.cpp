#include "imaging/io/codecs/tiff_lzw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/core/ie_bits.h"
#include "imaging/io/codecs/lzw_hash.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kClear = 256;
constexpr int32_t kEnd = 257;
constexpr int32_t kFirstFree = 258;
constexpr int32_t kMaxEntries = 4096;

// The decoder's state for one strip. Every string of the table is a run of bytes already decoded
// (an entry is the previous code's output and the first byte after it, which follow each other in
// the output), so the table holds only where each string starts in the output and its length, and
// a code is decoded by copying that run forward. The output is kept from the last clear code on
// (no entry reaches further back), and rows are handed out where they lie in it.
struct TTIFFLZWDecodeState {
  const uint8_t* input = nullptr;
  int64_t inputBytes = 0;
  int64_t inPos = 0;            // next input byte to load into the bit buffer
  int64_t bitsLeft = 0;         // input bits not yet taken as codes (bit buffer included)
  uint64_t bitBuf = 0;          // unread bits, the next one at the top
  int32_t bitCount = 0;         // valid bits in bitBuf
  std::vector<uint8_t> reversedInput;  // FillOrder 2: the input with each byte's bits reversed
  int32_t rowSize = 0;
  std::unique_ptr<uint8_t[]> out;  // decoded bytes since the last clear (with room to copy in 16s)
  size_t capacity = 0;          // bytes out holds
  size_t pos = 0;               // bytes decoded into out
  size_t handed = 0;            // bytes of out already returned as rows
  int32_t prev = -1;
  size_t prevStart = 0;         // where the previous code's string starts in out
  int32_t width = 9;
  int32_t entries = kFirstFree;
  bool ended = false;
  // Entries below `entries` only are read: the rest need no clearing.
  std::array<uint32_t, kMaxEntries> start;
  std::array<uint16_t, kMaxEntries> length;

  TTIFFLZWDecodeState() {
    for (int32_t i = 0; i < 256; ++i) length[i] = 1;
  }

  // Room for N more bytes after Pos and the 16-byte copies' overrun.
  void Reserve(size_t pos, size_t n) {
    if (capacity >= pos + n + 16) return;
    const size_t grown = std::max(capacity * 2, pos + n + 16);
    auto bigger = std::make_unique_for_overwrite<uint8_t[]>(grown);
    if (pos > 0) std::memcpy(bigger.get(), out.get(), pos);
    out = std::move(bigger);
    capacity = grown;
  }

  // Decodes until a row is complete or the strip ends; false on an error. The loop works on local
  // copies of the state (the output's stores would otherwise make the compiler reload every field).
  bool DecodeRow() {
    const size_t want = handed + static_cast<size_t>(rowSize);
    if (ended || pos >= want) return true;
    const uint8_t* const in = input;
    const int64_t inBytes = inputBytes;
    int64_t at = inPos, left = bitsLeft;
    uint64_t buf = bitBuf;
    int32_t count = bitCount, w = width, n = entries, previous = prev;
    size_t p = pos, previousStart = prevStart;
    bool ok = true;
    // The next code, or -1 when the strip holds fewer bits than the code width.
    auto readCode = [&]() __attribute__((always_inline)) -> int32_t {
      if (left < w) return -1;
      if (count < w) {
        if (at + 8 <= inBytes) {
          uint64_t v;
          std::memcpy(&v, in + at, 8);
          buf |= __builtin_bswap64(v) >> count;
          at += (63 - count) >> 3;
          count |= 56;
        } else {
          while (count <= 56 && at < inBytes) {
            buf |= static_cast<uint64_t>(in[at++]) << (56 - count);
            count += 8;
          }
        }
      }
      const auto code = static_cast<int32_t>(buf >> (64 - w));
      buf <<= w;
      count -= w;
      left -= w;
      return code;
    };
    // The string of Code (in the table, or the entry being defined) at the end of the output.
    auto output = [&](int32_t code) __attribute__((always_inline)) {
      if (code < 256) {
        if (capacity < p + 17) Reserve(p, 1);
        out[p] = static_cast<uint8_t>(code);
        previousStart = p++;
        return;
      }
      const size_t len = length[code];
      if (capacity < p + len + 16) Reserve(p, len);
      uint8_t* dst = out.get() + p;
      const uint8_t* src = out.get() + start[code];
      if (static_cast<size_t>(dst - src) >= 16) {
        for (size_t i = 0; i < len; i += 16) std::memcpy(dst + i, src + i, 16);
      } else {
        // Only the entry being defined overlaps its own output (a string followed by its first byte).
        for (size_t i = 0; i < len; ++i) dst[i] = src[i];
      }
      previousStart = p;
      p += len;
    };
    // The previous code's string and the byte after it as a new entry; false past the table's size.
    auto addEntry = [&](size_t from) __attribute__((always_inline)) {
      if (n >= kMaxEntries) return false;
      start[n] = static_cast<uint32_t>(from);
      length[n] = static_cast<uint16_t>(length[previous] + 1);
      ++n;
      if (n == 511)
        w = 10;
      else if (n == 1023)
        w = 11;
      else if (n == 2047)
        w = 12;
      return true;
    };
    while (p < want) {
      int32_t code = readCode();
      if (code < 0 || code == kEnd) {
        ended = true;
        break;
      }
      if (code == kClear) {
        // The table starts again, and the bytes no row has taken move to the front.
        n = kFirstFree;
        w = 9;
        previous = -1;
        const size_t keep = p - handed;
        if (keep > 0 && handed > 0) std::memmove(out.get(), out.get() + handed, keep);
        p = keep;
        handed = 0;
        do {
          code = readCode();
        } while (code == kClear);
        if (code < 0 || code == kEnd) {
          ended = true;
          break;
        }
        if (code >= n) {
          ok = false;
          break;
        }
        output(code);
        previous = code;
        continue;
      }
      const size_t previousAt = previousStart;
      if (code >= n) {
        // Only the entry being defined may be used before it exists: its string is the previous
        // one and that one's first byte, which starts where the previous string does.
        if (code != n || previous < 0) {
          ended = true;
          break;
        }
        if (!addEntry(previousAt)) {
          ok = false;
          break;
        }
        output(code);
      } else {
        output(code);
        if (previous >= 0 && !addEntry(previousAt)) {
          ok = false;
          break;
        }
      }
      previous = code;
    }
    inPos = at;
    bitsLeft = left;
    bitBuf = buf;
    bitCount = count;
    width = w;
    entries = n;
    prev = previous;
    pos = p;
    prevStart = previousStart;
    return ok;
  }
};

// The encoder's state for one strip: the hash coder with TIFF's packing (most significant bit first,
// plain bytes, early width change).
struct TTIFFLZWEncodeState {
  explicit TTIFFLZWEncodeState(TStream& s) : stream(&s) {}

  TStream* stream;
  int32_t width = 9;
  int32_t maxCode = 511;
  int32_t free = kFirstFree;
  bool clearPending = false;
  bool haveCurrent = false;
  int32_t current = 0;
  uint32_t acc = 0;
  int32_t bits = 0;
  TLZWHashTable table;
  std::array<uint8_t, 254> block{};
  int32_t blockLen = 0;

  void Flush() {
    if (blockLen > 0) stream->WriteBuffer(block.data(), blockLen);
    blockLen = 0;
  }
  void PutByte(uint8_t b) {
    block[blockLen++] = b;
    if (blockLen == static_cast<int32_t>(block.size())) Flush();
  }

  void Output(int32_t code) {
    acc = (acc << width) | static_cast<uint32_t>(code);
    bits += width;
    while (bits >= 8) {
      PutByte(static_cast<uint8_t>(acc >> (bits - 8)));
      bits -= 8;
    }
    acc &= (1u << bits) - 1;
    if (free >= maxCode || clearPending) {
      if (clearPending) {
        width = 9;
        maxCode = 511;
        clearPending = false;
      } else if (width < 12) {
        ++width;
        maxCode = width == 12 ? 4095 : (1 << width) - 1;
      }
    }
    if (code == kEnd) {
      if (bits > 0) PutByte(static_cast<uint8_t>(acc << (8 - bits)));
      bits = 0;
      acc = 0;
      Flush();
    }
  }

  void Step(int32_t c) {
    int32_t code = 0, slot = 0, key = 0;
    if (table.Find(current, c, code, slot, key)) {
      current = code;
      return;
    }
    Output(current);
    if (free <= 4093) {
      table.Store(slot, key, free++);
    } else {
      table.Clear();
      free = kFirstFree;
      clearPending = true;
      Output(kClear);
    }
    current = c;
  }
};

}  // namespace

uint8_t* TIFFLZWDecode(const uint8_t* Input, int32_t InputSize, int32_t RowSize, void*& State, int32_t FillOrder) {
  auto* state = static_cast<TTIFFLZWDecodeState*>(State);
  if (Input == nullptr) {
    delete state;
    State = nullptr;
    return nullptr;
  }
  if (state == nullptr) {
    state = new TTIFFLZWDecodeState();
    State = state;
    state->inputBytes = InputSize > 0 ? InputSize : 0;
    state->input = Input;
    if (FillOrder == 2) {
      state->reversedInput.assign(Input, Input + state->inputBytes);
      for (uint8_t& b : state->reversedInput) b = IEBitReverseTable[b];
      state->input = state->reversedInput.data();
    }
    state->bitsLeft = state->inputBytes * 8;
    state->rowSize = RowSize > 0 ? RowSize : 0;
    state->Reserve(0, static_cast<size_t>(state->rowSize) + 4096);
  }
  if (!state->DecodeRow()) return nullptr;
  // The row lies in the output itself; what the codes did not fill is cleared there (past the
  // decoded bytes, which stay as they are).
  const size_t rowBytes = static_cast<size_t>(state->rowSize);
  const size_t have = std::min(state->pos - state->handed, rowBytes);
  uint8_t* row = state->out.get() + state->handed;
  if (have < rowBytes) {
    state->Reserve(state->handed, rowBytes);
    row = state->out.get() + state->handed;
    std::memset(row + have, 0, rowBytes - have);
  }
  state->handed += have;
  return row;
}

void TIFFLZWEncode(const uint8_t* Input, int32_t Count, TStream& Stream, void*& State) {
  auto* state = static_cast<TTIFFLZWEncodeState*>(State);
  if (Input == nullptr) {
    if (state == nullptr) return;
    std::unique_ptr<TTIFFLZWEncodeState> owned(state);
    State = nullptr;
    state->stream = &Stream;
    if (state->haveCurrent) state->Output(state->current);
    state->Output(kEnd);
    return;
  }
  if (state == nullptr) {
    state = new TTIFFLZWEncodeState(Stream);
    State = state;
    state->Output(kClear);
  }
  state->stream = &Stream;
  int32_t i = 0;
  if (!state->haveCurrent && Count > 0) {
    state->current = Input[0];
    state->haveCurrent = true;
    i = 1;
  }
  for (; i < Count; ++i) state->Step(Input[i]);
}
