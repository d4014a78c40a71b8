// Run-length coding of BMP rows (RLE8 and RLE4).
#include <algorithm>

#include "imaging/io/codecs/bmp_codec.h"

namespace {

// Writes Count literal pixels of Row starting at Start. RLE8 keeps one byte per pixel, RLE4 two
// pixels per byte (high nibble first); pieces of at most 255 pixels.
int32_t FlushLiterals(const uint8_t* row, int32_t start, int32_t count, bool rle4, uint8_t* out) {
  int32_t n = 0;
  while (count > 0) {
    const int32_t piece = std::min(count, 255);
    const uint8_t* p = row + start;
    if (piece == 1) {
      out[n++] = 1;
      out[n++] = rle4 ? static_cast<uint8_t>(p[0] << 4) : p[0];
    } else if (piece == 2) {
      if (rle4) {
        out[n++] = 2;
        out[n++] = static_cast<uint8_t>(p[0] << 4 | (p[1] & 15));
      } else {
        out[n++] = 1;
        out[n++] = p[0];
        out[n++] = 1;
        out[n++] = p[1];
      }
    } else {
      out[n++] = 0;
      out[n++] = static_cast<uint8_t>(piece);
      int32_t bytes;
      if (rle4) {
        bytes = (piece + 1) / 2;
        for (int32_t i = 0; i < piece; i += 2)
          out[n++] = static_cast<uint8_t>(p[i] << 4 | (i + 1 < piece ? (p[i + 1] & 15) : 0));
      } else {
        bytes = piece;
        for (int32_t i = 0; i < piece; ++i) out[n++] = p[i];
      }
      if (bytes & 1) out[n++] = 0;
    }
    start += piece;
    count -= piece;
  }
  return n;
}

int32_t EncodeRow(const uint8_t* row, int32_t width, uint8_t* out, bool rle4) {
  int32_t n = 0;
  int32_t pending = 0;  // start of the literals not yet written
  int32_t x = 0;
  while (x < width) {
    if (x + 1 < width && row[x] == row[x + 1]) {
      n += FlushLiterals(row, pending, x - pending, rle4, out + n);
      int32_t run = 2;
      while (x + run < width && run < 255 && row[x + run] == row[x]) ++run;
      out[n++] = static_cast<uint8_t>(run);
      out[n++] = rle4 ? static_cast<uint8_t>(row[x] << 4 | (row[x] & 15)) : row[x];
      x += run;
      pending = x;
    } else {
      ++x;
      if (x - pending > 255) {
        n += FlushLiterals(row, pending, 255, rle4, out + n);
        pending += 255;
      }
    }
  }
  n += FlushLiterals(row, pending, width - pending, rle4, out + n);
  out[n++] = 0;
  out[n++] = 0;
  return n;
}

// Walks run-length data code by code: RLE8 and RLE4 take one byte per run value, RLE24 (OS/2) three
// (blue, green, red); literal pixels follow an escape in one byte (RLE8), one nibble (RLE4) or three
// bytes (RLE24) each, padded to an even byte count. The visitor sees Run(count, value bytes),
// Literal(count, bytes, byte count there), EndOfLine() and Delta(dx, dy); each returns false to stop.
// The walk ends at the end-of-bitmap code or the end of the data; the result is the number of bytes
// walked (through the end-of-bitmap code).
template <typename Visitor>
int64_t WalkRLE(const uint8_t* data, int64_t size, int32_t bits, Visitor& visit) {
  const int64_t valueBytes = bits == 24 ? 3 : 1;
  int64_t pos = 0;
  while (pos + 1 < size) {
    const uint8_t count = data[pos];
    if (count > 0) {
      if (pos + 1 + valueBytes > size) return size;
      const uint8_t* value = data + pos + 1;
      pos += 1 + valueBytes;
      if (!visit.Run(count, value)) return pos;
      continue;
    }
    const uint8_t escape = data[pos + 1];
    pos += 2;
    if (escape == 0) {
      if (!visit.EndOfLine()) return pos;
    } else if (escape == 1) {
      return pos;
    } else if (escape == 2) {
      if (pos + 1 >= size) return size;
      const uint8_t dx = data[pos], dy = data[pos + 1];
      pos += 2;
      if (!visit.Delta(dx, dy)) return pos;
    } else {
      const int64_t bytes = bits == 4 ? (escape + 1) / 2 : escape * valueBytes;
      const int64_t there = std::min(bytes, size - pos);
      const bool go = visit.Literal(escape, data + pos, there);
      pos = std::min(size, pos + bytes + (bytes & 1));
      if (!go) return pos;
    }
  }
  return size;
}

// Puts the decoded pixels into a picture of one index (RLE4, RLE8) or three bytes (RLE24) per pixel.
struct TRLEPainter {
  const int32_t bits;
  const int32_t width;
  const int32_t height;
  const bool topDown;
  uint8_t* const pixels;
  bool (*const onRow)(void*, int32_t);
  void* const context;
  int64_t x = 0;     // column, never beyond Width
  int32_t line = 0;  // row in file order

  int32_t PixelBytes() const { return bits == 24 ? 3 : 1; }
  // Pixel I of a run or a literal, whose value bytes start at V.
  void Put(const uint8_t* v, int32_t i) {
    if (x >= width || line >= height) return;
    const int32_t y = topDown ? line : height - 1 - line;
    uint8_t* at = pixels + (static_cast<int64_t>(y) * width + x) * PixelBytes();
    if (bits == 24) {
      at[0] = v[0];
      at[1] = v[1];
      at[2] = v[2];
    } else if (bits == 4) {
      *at = (i & 1) ? v[i / 2] & 15 : v[i / 2] >> 4;
    } else {
      *at = v[0];
    }
    ++x;
  }
  bool Run(uint8_t count, const uint8_t* value) {
    for (int32_t i = 0; i < count && x < width; ++i) Put(value, bits == 4 ? i & 1 : 0);
    return true;
  }
  bool Literal(uint8_t count, const uint8_t* bytes, int64_t there) {
    for (int32_t i = 0; i < count && x < width; ++i) {
      const int64_t at = bits == 4 ? i / 2 : static_cast<int64_t>(i) * PixelBytes();
      if (at + PixelBytes() > there) break;
      Put(bits == 4 ? bytes : bytes + at, bits == 4 ? i : 0);
    }
    return true;
  }
  bool EndOfLine() {
    x = 0;
    if (++line >= height) return false;
    return !onRow || onRow(context, line);
  }
  bool Delta(uint8_t dx, uint8_t dy) {
    x = std::min<int64_t>(x + dx, width);
    line += dy;
    return line < height;
  }
};

// Counts nothing: only the walk's length matters.
struct TRLEMeasure {
  bool Run(uint8_t, const uint8_t*) { return true; }
  bool Literal(uint8_t, const uint8_t*, int64_t) { return true; }
  bool EndOfLine() { return true; }
  bool Delta(uint8_t, uint8_t) { return true; }
};

}  // namespace

int32_t EncodeRLE8Row(const uint8_t* Row, int32_t Width, uint8_t* Out) { return EncodeRow(Row, Width, Out, false); }

int32_t EncodeRLE4Row(const uint8_t* Row, int32_t Width, uint8_t* Out) { return EncodeRow(Row, Width, Out, true); }

void DecodeRLEBlock(const uint8_t* Data, int64_t Size, int32_t Bits, int32_t Width, int32_t Height, bool TopDown,
                    uint8_t* Pixels, bool (*OnRow)(void* Context, int32_t RowsDone), void* Context) {
  TRLEPainter painter{Bits, Width, Height, TopDown, Pixels, OnRow, Context};
  WalkRLE(Data, Size, Bits, painter);
}

int64_t RLEDataLength(const uint8_t* Data, int64_t Size, int32_t Bits) {
  TRLEMeasure measure;
  return WalkRLE(Data, Size, Bits, measure);
}
