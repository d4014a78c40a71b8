#include "imaging/io/codecs/tiff_lzw.h"

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

// The decoder's state for one strip. Strings are kept as prefix chains (the entry's last byte and the
// code of the string before it) with their length and first byte, so a string is written backwards
// straight into the output buffer.
struct TTIFFLZWDecodeState {
  const uint8_t* input = nullptr;
  int64_t inputBits = 0;
  int64_t bitPos = 0;
  int32_t rowSize = 0;
  bool reversed = false;
  std::vector<uint8_t> buffer;  // decoded bytes; the first rowSize are the row handed out
  size_t fill = 0;              // decoded bytes held
  size_t handedOut = 0;         // bytes of the buffer returned by the last call
  int32_t prev = -1;
  int32_t width = 9;
  int32_t entries = kFirstFree;
  bool ended = false;
  std::array<uint16_t, kMaxEntries + 2> prefix{};
  std::array<uint8_t, kMaxEntries + 2> last{};
  std::array<uint8_t, kMaxEntries + 2> first{};
  std::array<uint16_t, kMaxEntries + 2> length{};

  TTIFFLZWDecodeState() {
    for (int32_t i = 0; i < 256; ++i) {
      last[i] = first[i] = static_cast<uint8_t>(i);
      length[i] = 1;
    }
  }

  uint8_t InputByte(int64_t index) const {
    const uint8_t b = input[index];
    return reversed ? IEBitReverseTable[b] : b;
  }

  // The next code, or -1 when the strip holds fewer bits than the code width.
  int32_t ReadCode() {
    if (bitPos + width > inputBits) return -1;
    const int64_t byte = bitPos >> 3;
    uint32_t window = 0;
    if (!reversed && (byte + 3) * 8 <= inputBits) {
      // Three whole bytes inside the strip: no test per byte.
      window = static_cast<uint32_t>(input[byte]) << 16 | static_cast<uint32_t>(input[byte + 1]) << 8 | input[byte + 2];
    } else {
      for (int i = 0; i < 3; ++i) {
        window <<= 8;
        if ((byte + i) * 8 < inputBits) window |= InputByte(byte + i);
      }
    }
    const int shift = 24 - static_cast<int>(bitPos & 7) - width;
    bitPos += width;
    return static_cast<int32_t>((window >> shift) & ((1u << width) - 1));
  }

  void Output(int32_t code) {
    const size_t n = length[code];
    if (buffer.size() < fill + n) buffer.resize(fill + n + 1024);
    uint8_t* dst = buffer.data() + fill + n;
    for (int32_t c = code; c >= 256; c = prefix[c]) *--dst = last[c];
    *--dst = static_cast<uint8_t>(code < 256 ? code : first[code]);
    fill += n;
  }

  // Adds previous string + byte; false when the table passed its size.
  bool AddEntry(int32_t prevCode, uint8_t byte) {
    if (entries >= kMaxEntries) return false;
    prefix[entries] = static_cast<uint16_t>(prevCode);
    last[entries] = byte;
    first[entries] = prevCode < 256 ? static_cast<uint8_t>(prevCode) : first[prevCode];
    length[entries] = static_cast<uint16_t>(length[prevCode] + 1);
    ++entries;
    if (entries == 511)
      width = 10;
    else if (entries == 1023)
      width = 11;
    else if (entries == 2047)
      width = 12;
    return true;
  }

  uint8_t FirstByte(int32_t code) const { return code < 256 ? static_cast<uint8_t>(code) : first[code]; }

  // Decodes until a row is complete or the strip ends; false on an error.
  bool DecodeRow() {
    while (!ended && fill < static_cast<size_t>(rowSize)) {
      int32_t code = ReadCode();
      if (code < 0 || code == kEnd) {
        ended = true;
        break;
      }
      if (code == kClear) {
        entries = kFirstFree;
        width = 9;
        do {
          code = ReadCode();
        } while (code == kClear);
        if (code < 0 || code == kEnd) {
          ended = true;
          break;
        }
        if (code >= entries) return false;
        Output(code);
        prev = code;
        continue;
      }
      if (code >= entries) {
        // Only the entry being defined may be used before it exists.
        if (code != entries || prev < 0) {
          ended = true;
          break;
        }
        if (!AddEntry(prev, FirstByte(prev))) return false;
        Output(code);
      } else {
        Output(code);
        if (prev >= 0 && !AddEntry(prev, FirstByte(code))) return false;
      }
      prev = code;
    }
    return true;
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
    state->input = Input;
    state->inputBits = static_cast<int64_t>(InputSize > 0 ? InputSize : 0) * 8;
    state->reversed = FillOrder == 2;
    state->rowSize = RowSize > 0 ? RowSize : 0;
    state->buffer.resize(static_cast<size_t>(state->rowSize) + 1);
  }
  // Bytes decoded beyond the last row handed out move to the front.
  if (state->handedOut > 0) {
    const size_t keep = state->fill > state->handedOut ? state->fill - state->handedOut : 0;
    if (keep > 0) std::memmove(state->buffer.data(), state->buffer.data() + state->handedOut, keep);
    state->fill = keep;
    state->handedOut = 0;
  }
  if (!state->DecodeRow()) return nullptr;
  const size_t row = static_cast<size_t>(state->rowSize);
  if (state->buffer.size() < row + 1) state->buffer.resize(row + 1);
  if (state->fill < row) {
    std::memset(state->buffer.data() + state->fill, 0, row - state->fill);
    state->fill = row;
  }
  state->handedOut = row;
  return state->buffer.data();
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
