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

}  // namespace

int32_t EncodeRLE8Row(const uint8_t* Row, int32_t Width, uint8_t* Out) { return EncodeRow(Row, Width, Out, false); }

int32_t EncodeRLE4Row(const uint8_t* Row, int32_t Width, uint8_t* Out) { return EncodeRow(Row, Width, Out, true); }

void DecodeRLEBlock(const uint8_t* Data, int64_t Size, int32_t Bits, int32_t Width, int32_t Height, bool TopDown,
                    uint8_t* Pixels, bool (*OnRow)(void* Context, int32_t RowsDone), void* Context) {
  const bool rle4 = Bits == 4;
  int64_t x = 0;     // column, never beyond Width
  int32_t line = 0;  // row in file order
  int64_t pos = 0;
  auto put = [&](uint8_t value) {
    if (x < Width) {
      const int32_t y = TopDown ? line : Height - 1 - line;
      Pixels[static_cast<int64_t>(y) * Width + x] = value;
      ++x;
    }
  };
  while (pos + 1 < Size && line < Height) {
    const uint8_t count = Data[pos];
    const uint8_t value = Data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int32_t i = 0; i < count && x < Width; ++i) put(rle4 ? ((i & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      if (++line >= Height) break;
      if (OnRow && !OnRow(Context, line)) break;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      if (pos + 1 >= Size) break;
      x = std::min<int64_t>(x + Data[pos], Width);
      line += Data[pos + 1];
      pos += 2;
    } else {  // literal pixels
      const int64_t bytes = rle4 ? (value + 1) / 2 : value;
      for (int32_t i = 0; i < value; ++i) {
        const int64_t at = pos + (rle4 ? i / 2 : i);
        if (at >= Size) break;
        const uint8_t b = Data[at];
        put(rle4 ? ((i & 1) ? b & 15 : b >> 4) : b);
      }
      pos += bytes + (bytes & 1);
    }
  }
}
