// The pixel decoding of one TIFF page: strips, tiles and planes; no compression, CCITT, LZW,
// deflate, PackBits and JPEG; small samples widened, the horizontal predictor undone, and every row
// converted by photometric interpretation, samples and bits into the destination bitmap.
//
// Nothing reads past the data of a strip or tile: short strips decode to the rows they hold, rows
// of a short strip are completed with zeros, and rows or pixels past the page are dropped.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/tiff_ccitt.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/codecs/tiff_reader_vars.h"
#include "imaging/io/color_converter.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "platform/system/streams.h"

namespace {

enum TCompression : uint16_t {
  cmpNone = 1, cmpMH = 2, cmpG3 = 3, cmpG4 = 4, cmpLZW = 5, cmpOldJPEG = 6, cmpJPEG = 7, cmpDeflate = 8,
  cmpPackBits = 32773, cmpDeflateOld = 32946
};

bool IsCCITT(uint16_t c) { return c == cmpMH || c == cmpG3 || c == cmpG4; }
bool IsKnownCompression(uint16_t c) {
  return (c >= cmpNone && c <= cmpJPEG) || c == cmpDeflate || c == cmpPackBits || c == cmpDeflateOld;
}

// The conversion of a decoded row into the destination (the cases of the format's documentation).
int ChooseCase(const TTIFFVars& v) {
  const int ph = v.Photometric, s = v.SamplesPerPixel, b = v.BitsPerSample;
  if (ph == 2 && (s == 3 || s == 4) && b == 8) return 1;
  if (ph == 2 && s >= 5 && b == 8) return 2;
  if (ph == 2 && s == 3 && b == 16) return 3;
  if (ph == 2 && s == 4 && b == 16) return 4;
  if (ph == 2 && s == 1 && b == 16) return 5;
  if (ph == 3 && s == 1 && b == 1) return 6;
  if (ph <= 1 && s == 1 && (b == 8 || b == 4 || b == 2 || b == 7)) return 7;
  if (ph <= 1 && s >= 2 && b == 8) return 8;
  if (ph <= 1 && s == 1 && b == 16) return 9;
  if (ph <= 1 && s == 1 && b == 1) return 10;
  if (ph == 5 && s == 4 && b == 8) return 11;
  if (ph == 5 && s >= 5 && b == 8) return 12;
  if (ph == 5 && s == 4 && b == 16) return 13;
  if (ph == 8 && s == 3 && b == 8) return 14;
  if (ph == 6 && s == 3 && b == 8 && v.YCbCrSubsamplingH == 2 && v.YCbCrSubsamplingV == 1) return 15;
  if (ph == 3 && s == 2 && b == 8) return 16;
  if (ph == 3 && s >= 1 && (b == 2 || b == 4 || b == 8)) return 17;
  return 0;
}

bool UsesColorMap(int c) { return c == 6 || c == 16 || c == 17; }
bool IsTiled(const TTIFFVars& v) { return v.TileWidth > 0 || v.TileLength > 0; }
bool IsPlanar(const TTIFFVars& v) { return v.PlanarConfig == 2 && v.SamplesPerPixel > 1; }
bool PlanarDecodable(const TTIFFVars& v) {
  return v.BitsPerSample == 8 && ((v.Photometric == 2 && v.SamplesPerPixel == 3) ||
                                  (v.Photometric == 5 && v.SamplesPerPixel > 3));
}

// Bytes of one stored row of Width pixels.
int64_t StoredRowBytes(const TTIFFVars& v, int32_t width, bool plane) {
  if (v.Photometric == 6 && v.Compression != cmpJPEG) return (static_cast<int64_t>(width) + 1) / 2 * 4;
  const int64_t samples = plane ? 1 : v.SamplesPerPixel;
  return (static_cast<int64_t>(width) * samples * v.BitsPerSample + 7) / 8;
}

// ------------------------------------------------------------------------------ row decompression

// Memory a page's blocks reuse, one block after the other (large blocks would otherwise be mapped
// and unmapped for every strip).
struct TBlockBuffers {
  std::unique_ptr<uint8_t[]> inflated;
  size_t capacity = 0;
};

// The stored bytes of the strip or tile being decoded: grown as needed, never cleared (every byte
// a block's length covers is read from the file first).
struct TBlockBytes {
  std::unique_ptr<uint8_t[]> bytes;
  size_t capacity = 0;
  size_t size = 0;
  uint8_t* data() { return bytes.get(); }
};

// Decompresses the rows of one strip, tile or plane block, one at a time, never reading past it.
class TBlockRows {
 public:
  TBlockRows(const TTIFFVars& v, uint8_t* data, int64_t length, int32_t width, int64_t rowLength,
             int32_t rows, TBlockBuffers& buffers)
      : v_(v), data_(data), length_(std::min<int64_t>(length, INT32_MAX)), width_(width), rowLength_(rowLength),
        rows_(rows), buffers_(buffers) {
    if (IsCCITT(v.Compression)) ref_.assign(static_cast<size_t>((width + 7) / 8) + 1, 0xFF);
  }
  ~TBlockRows() {
    if (lzw_) v_.LZWDecoder(nullptr, 0, 0, lzw_, v_.FillOrder);
  }
  TBlockRows(const TBlockRows&) = delete;
  TBlockRows& operator=(const TBlockRows&) = delete;

  // The caller reads the rows Next returns and never changes them.
  void SetReadOnlyRows() { readOnlyRows_ = true; }

  // The next row (RowLength bytes, which the caller may change unless it said it would not): in
  // Out, or in place in the block when it lies there whole. Nullptr when the decoder fails.
  uint8_t* Next(uint8_t* out) {
    const int32_t len = static_cast<int32_t>(length_);
    switch (v_.Compression) {
      case cmpNone: {
        if (v_.FillOrder == 1 && length_ - consumed_ >= rowLength_) {
          uint8_t* row = data_ + consumed_;
          consumed_ += rowLength_;
          ++row_;
          return row;
        }
        const int64_t n = std::clamp<int64_t>(length_ - consumed_, 0, rowLength_);
        if (n > 0) std::memcpy(out, data_ + consumed_, static_cast<size_t>(n));
        std::memset(out + n, 0, static_cast<size_t>(rowLength_ - n));
        consumed_ += rowLength_;
        if (v_.FillOrder == 2 && v_.BitsPerSample <= 8)
          for (int64_t i = 0; i < n; ++i) out[i] = IEBitReverseTable[out[i]];
        break;
      }
      case cmpMH: {
        const int64_t left = std::max<int64_t>(length_ - consumed_, 0);
        consumed_ += CCITTDecodeMHRow(out, data_ + std::min<int64_t>(consumed_, length_), static_cast<int32_t>(left),
                                      width_, v_.FillOrder);
        break;
      }
      case cmpG3:
        if (v_.T4Options & 1)
          bitPos_ = CCITTDecode2DRow(out, data_, len, width_, ref_.data(), bitPos_, v_.FillOrder, true);
        else
          bitPos_ = CCITTDecode1DRow(out, data_, len, width_, bitPos_, v_.FillOrder);
        break;
      case cmpG4:
        bitPos_ = CCITTDecode2DRow(out, data_, len, width_, ref_.data(), bitPos_, v_.FillOrder, (v_.T4Options & 4) != 0);
        break;
      case cmpLZW: {
        if (!v_.LZWDecoder || rowLength_ > INT32_MAX) return nullptr;
        uint8_t* row = v_.LZWDecoder(data_, len, static_cast<int32_t>(rowLength_), lzw_, v_.FillOrder);
        if (!row) return nullptr;
        // The engine's decoder hands out its row where it lies among the bytes later strings copy:
        // to a caller that only reads it as it is; otherwise (and another decoder's row) it is copied.
        if (v_.LZWDecoder == TIFFLZWDecode && readOnlyRows_) {
          ++row_;
          return row;
        }
        std::memcpy(out, row, static_cast<size_t>(rowLength_));
        break;
      }
      case cmpDeflate:
      case cmpDeflateOld: {
        if (!inflated_) Inflate();
        const int64_t at = row_ * rowLength_;
        if (at + rowLength_ <= static_cast<int64_t>(inflatedBytes_)) {
          ++row_;
          return inflatedData_ + at;
        }
        const int64_t n = std::clamp<int64_t>(static_cast<int64_t>(inflatedBytes_) - at, 0, rowLength_);
        if (n > 0) std::memcpy(out, inflatedData_ + at, static_cast<size_t>(n));
        std::memset(out + n, 0, static_cast<size_t>(rowLength_ - n));
        break;
      }
      case cmpPackBits: PackBits(out); break;
      default: return nullptr;
    }
    ++row_;
    return out;
  }

 private:
  // The whole block at once, into the bytes its rows take (what the data holds beyond is dropped,
  // what is missing stays zero).
  void Inflate() {
    inflated_ = true;
    const auto size = static_cast<size_t>(rowLength_ * rows_);
    if (buffers_.capacity < size) {
      buffers_.inflated.reset(new uint8_t[size]);  // rows past what inflates are completed with zeros on use
      buffers_.capacity = size;
    }
    inflatedData_ = buffers_.inflated.get();
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return;
    z.next_in = data_;
    z.avail_in = static_cast<uInt>(length_);
    z.next_out = inflatedData_;
    z.avail_out = static_cast<uInt>(size);
    while (z.avail_out > 0) {
      const int rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK) break;
    }
    inflatedBytes_ = size - z.avail_out;
    inflateEnd(&z);
  }

  void PackBits(uint8_t* out) {
    int64_t produced = 0;
    auto in = [&](int64_t at) { return v_.FillOrder == 2 ? IEBitReverseTable[data_[at]] : data_[at]; };
    while (produced < rowLength_ && consumed_ < length_) {
      const auto n = static_cast<int8_t>(in(consumed_++));
      if (n == -128) continue;
      if (n < 0) {
        if (consumed_ >= length_) break;
        const uint8_t value = in(consumed_++);
        const int64_t count = std::min<int64_t>(1 - n, rowLength_ - produced);
        std::memset(out + produced, value, static_cast<size_t>(count));
        produced += count;
      } else {
        const int64_t count = std::min<int64_t>(n + 1, length_ - consumed_);
        const int64_t kept = std::min<int64_t>(count, rowLength_ - produced);
        for (int64_t i = 0; i < kept; ++i) out[produced + i] = in(consumed_ + i);
        produced += kept;
        consumed_ += count;  // bytes past the row are dropped
      }
    }
    std::memset(out + produced, 0, static_cast<size_t>(rowLength_ - produced));
  }

  const TTIFFVars& v_;
  uint8_t* data_;
  int64_t length_;
  int32_t width_;
  int64_t rowLength_;
  int32_t rows_;
  int64_t consumed_ = 0;
  int64_t bitPos_ = 0;
  int64_t row_ = 0;
  std::vector<uint8_t> ref_;
  void* lzw_ = nullptr;
  bool readOnlyRows_ = false;
  bool inflated_ = false;
  TBlockBuffers& buffers_;
  uint8_t* inflatedData_ = nullptr;
  size_t inflatedBytes_ = 0;
};

// ------------------------------------------------------------------------------- row conversion

void Convert(void* src, int32_t code, void* dst, int32_t count, TIOParamsVals* params) {
  TIEColorConverterFunc f = DefaultColorConverter ? DefaultColorConverter : ConvertColorRow;
  f(src, code, dst, iecsBGR, count, params);
}

// Splits packed samples of 2 to 7 bits into one byte each (the value in the low bits), in place
// into Out; 4-, 2- and 7-bit grey values scaled to 0..255.
void WidenSamples(const TTIFFVars& v, const uint8_t* in, uint8_t* out, int64_t count) {
  const int b = v.BitsPerSample;
  const uint32_t mask = (1u << b) - 1;
  int64_t bit = 0;
  for (int64_t i = 0; i < count; ++i, bit += b) {
    const int64_t byte = bit >> 3;
    const uint32_t word = static_cast<uint32_t>(in[byte]) << 8 | (((bit & 7) + b > 8) ? in[byte + 1] : 0);
    out[i] = static_cast<uint8_t>((word >> (16 - (bit & 7) - b)) & mask);
  }
  if (v.Photometric <= 1) {
    const int scale = b == 4 ? 17 : b == 2 ? 85 : b == 7 ? 2 : 1;
    if (scale != 1)
      for (int64_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(std::min(255, out[i] * scale));
  }
}

void UndoPredictor(const TTIFFVars& v, uint8_t* row, int32_t count, int32_t samples) {
  if (v.Predictor != 2 || !(v.Compression == cmpLZW || v.Compression == cmpDeflate || v.Compression == cmpDeflateOld))
    return;
  if (v.BitsPerSample == 8) {
    for (int64_t i = samples; i < static_cast<int64_t>(count) * samples; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - samples]);
  } else if (v.BitsPerSample == 16) {
    auto* w = reinterpret_cast<uint16_t*>(row);
    for (int64_t i = samples; i < static_cast<int64_t>(count) * samples; ++i) w[i] = static_cast<uint16_t>(w[i] + w[i - samples]);
  }
}

// 8-bit RGB samples into blue, green, red, adding each sample to the one a pixel to its left first
// when Predicted (the horizontal predictor).
void RGBToBGR(const uint8_t* s, uint8_t* d, int32_t n, bool predicted) {
  if (!predicted) {
    for (int32_t x = 0; x < n; ++x) {
      d[3 * x] = s[3 * x + 2];
      d[3 * x + 1] = s[3 * x + 1];
      d[3 * x + 2] = s[3 * x];
    }
    return;
  }
  uint8_t r = 0, g = 0, b = 0;
  for (int32_t x = 0; x < n; ++x) {
    r = static_cast<uint8_t>(r + s[3 * x]);
    g = static_cast<uint8_t>(g + s[3 * x + 1]);
    b = static_cast<uint8_t>(b + s[3 * x + 2]);
    d[3 * x] = b;
    d[3 * x + 1] = g;
    d[3 * x + 2] = r;
  }
}

struct TRowTarget {
  uint8_t* row;      // destination row, at pixel x0
  uint8_t* mask;     // alpha mask row at pixel x0, or nullptr
  int32_t count;     // pixels to write
  int32_t x0;        // first pixel (for 1-bit rows)
};

void PutMapped(const std::vector<TIERGB>& map, uint32_t index, uint8_t* bgr) {
  if (index < map.size()) {
    bgr[0] = map[index].b;
    bgr[1] = map[index].g;
    bgr[2] = map[index].r;
  } else {
    bgr[0] = bgr[1] = bgr[2] = 0;  // an index past the map is black
  }
}

bool AlphaFromExtra(const TTIFFVars& v, int32_t& index, int32_t& kind) {
  for (size_t k = 0; k < v.ExtraSamples.size(); ++k)
    if (v.ExtraSamples[k] == 1 || v.ExtraSamples[k] == 2) {
      index = static_cast<int32_t>(k);
      kind = v.ExtraSamples[k];
      return true;
    }
  return false;
}

// Converts one decoded row (samples widened to bytes, or native 16-bit words) into the target.
void ConvertRow(TTIFFVars& v, int c, TIEPixelFormat fmt, uint8_t* s, std::vector<uint8_t>& scratch,
                const TRowTarget& t) {
  const int32_t n = t.count;
  const int32_t spp = v.SamplesPerPixel;
  uint8_t* d = t.row;
  const bool alpha = t.mask && !v.IgnoreAlpha;
  switch (c) {
    case 1:
      if (spp == 4) {
        if (alpha) {
          for (int32_t x = 0; x < n; ++x) {
            d[3 * x] = s[4 * x + 2];
            d[3 * x + 1] = s[4 * x + 1];
            d[3 * x + 2] = s[4 * x];
            t.mask[x] = s[4 * x + 3];
          }
          return;
        }
        // The fourth sample is dropped before the converter sees the row.
        for (int32_t x = 0; x < n; ++x) {
          s[3 * x] = s[4 * x];
          s[3 * x + 1] = s[4 * x + 1];
          s[3 * x + 2] = s[4 * x + 2];
        }
      }
      Convert(s, iecsRGB, d, n, v.Params);
      return;
    case 2: {
      int32_t ai = -1, kind = 0;
      const bool hasAlpha = alpha && AlphaFromExtra(v, ai, kind);
      for (int32_t x = 0; x < n; ++x) {
        const uint8_t* p = s + static_cast<int64_t>(x) * spp;
        uint8_t r = p[0], g = p[1], b = p[2];
        if (hasAlpha) {
          const uint8_t a = p[3 + ai];
          t.mask[x] = a;
          if (kind == 1) {  // associated alpha: the colours were multiplied by it
            const double f = std::max(1.0 / 255, a / 255.0);
            r = static_cast<uint8_t>(std::min(255.0, r / f));
            g = static_cast<uint8_t>(std::min(255.0, g / f));
            b = static_cast<uint8_t>(std::min(255.0, b / f));
          }
        }
        d[3 * x] = b;
        d[3 * x + 1] = g;
        d[3 * x + 2] = r;
      }
      return;
    }
    case 3:
    case 4: {
      const auto* w = reinterpret_cast<const uint16_t*>(s);
      if (c == 4 && alpha)
        for (int32_t x = 0; x < n; ++x) t.mask[x] = static_cast<uint8_t>(w[4 * x + 3] >> 8);
      if (fmt == ieRGB48) {
        auto* o = reinterpret_cast<uint16_t*>(d);
        for (int32_t x = 0; x < n; ++x)
          for (int k = 0; k < 3; ++k) o[3 * x + k] = w[spp * x + k];
        return;
      }
      scratch.resize(static_cast<size_t>(n) * 6);
      auto* o = reinterpret_cast<uint16_t*>(scratch.data());
      for (int32_t x = 0; x < n; ++x)
        for (int k = 0; k < 3; ++k) o[3 * x + k] = w[spp * x + k];
      Convert(scratch.data(), iecsRGB48, d, n, v.Params);
      return;
    }
    case 5: {
      const auto* w = reinterpret_cast<const uint16_t*>(s);
      for (int32_t x = 0; x < n; ++x) {
        const uint16_t p = w[x];
        d[3 * x] = static_cast<uint8_t>((p & 31) * 8);
        d[3 * x + 1] = static_cast<uint8_t>(((p >> 5) & 31) * 8);
        d[3 * x + 2] = static_cast<uint8_t>(((p >> 10) & 31) * 8);
      }
      return;
    }
    case 6:
      for (int32_t x = 0; x < n; ++x) {
        const uint32_t bit = GetRowBit(s, x) ? 1 : 0;
        if (fmt == ie8p) d[x] = static_cast<uint8_t>(bit);
        else PutMapped(v.ColorMap, bit, d + 3 * x);
      }
      return;
    case 7:
      for (int32_t x = 0; x < n; ++x) {
        const uint8_t g = v.Photometric == 0 ? static_cast<uint8_t>(255 - s[x]) : s[x];
        if (fmt == ie8g) d[x] = g;
        else d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = g;
      }
      return;
    case 8:
      for (int32_t x = 0; x < n; ++x) {
        const uint8_t* p = s + static_cast<int64_t>(x) * spp;
        if (alpha) t.mask[x] = p[1];
        if (fmt == ie8g) {
          d[x] = v.Photometric == 0 ? static_cast<uint8_t>(255 - p[0]) : p[0];
        } else {
          const uint8_t g = v.Photometric == 0 ? static_cast<uint8_t>(255 - p[0]) : p[0];
          d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = g;
        }
      }
      return;
    case 9: {
      const auto* w = reinterpret_cast<const uint16_t*>(s);
      const int shift = v.Software.compare(0, 15, "Look@Molli v1.1") == 0 ? 4 : 8;
      for (int32_t x = 0; x < n; ++x) {
        const uint16_t g = v.Photometric == 0 ? static_cast<uint16_t>(65535 - w[x]) : w[x];
        if (fmt == ie16g) reinterpret_cast<uint16_t*>(d)[x] = g;
        else d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = static_cast<uint8_t>(std::min(255, g >> shift));
      }
      return;
    }
    case 10: {
      const bool invert = (v.Photometric == 0 && (v.Compression == cmpNone || v.Compression >= cmpLZW)) ||
                          (v.Photometric == 1 && IsCCITT(v.Compression));
      // Bit by bit when the target does not start on a byte (tiles of odd widths).
      if ((t.x0 & 7) == 0) {
        const int32_t bytes = (n + 7) / 8;
        uint8_t* o = d + t.x0 / 8;
        for (int32_t i = 0; i < bytes; ++i) {
          const uint8_t b = invert ? static_cast<uint8_t>(~s[i]) : s[i];
          if (i == bytes - 1 && (n & 7)) {
            const uint8_t keep = static_cast<uint8_t>(0xFF >> (n & 7));
            o[i] = static_cast<uint8_t>((o[i] & keep) | (b & ~keep));
          } else {
            o[i] = b;
          }
        }
      } else {
        for (int32_t x = 0; x < n; ++x) SetRowBit(d, t.x0 + x, (GetRowBit(s, x) != 0) != invert);
      }
      return;
    }
    case 11:
    case 12: {
      int32_t ai = -1, kind = 0;
      const bool hasAlpha = c == 12 && alpha && v.FirstExtraSample == 2 && AlphaFromExtra(v, ai, kind);
      scratch.resize(static_cast<size_t>(n) * 4);
      uint8_t* cmyk = fmt == ieCMYK ? d : scratch.data();
      for (int32_t x = 0; x < n; ++x) {
        const uint8_t* p = s + static_cast<int64_t>(x) * spp;
        for (int k = 0; k < 4; ++k) cmyk[4 * x + k] = static_cast<uint8_t>(255 - p[k]);
        if (hasAlpha) t.mask[x] = p[4];
      }
      if (fmt != ieCMYK) Convert(cmyk, iecsCMYKInv, d, n, v.Params);
      return;
    }
    case 13: {
      const auto* w = reinterpret_cast<const uint16_t*>(s);
      scratch.resize(static_cast<size_t>(n) * 4);
      uint8_t* cmyk = fmt == ieCMYK ? d : scratch.data();
      for (int32_t x = 0; x < n; ++x)
        for (int k = 0; k < 4; ++k) cmyk[4 * x + k] = static_cast<uint8_t>(255 - (w[4 * x + k] >> 8));
      if (fmt != ieCMYK) Convert(cmyk, iecsCMYKInv, d, n, v.Params);
      return;
    }
    case 14:
      Convert(s, iecsCIELab, d, n, v.Params);
      return;
    case 15: {
      scratch.resize(static_cast<size_t>(n) * 3 + 6);
      for (int32_t x = 0; x < n; ++x) {
        const uint8_t* g = s + static_cast<int64_t>(x / 2) * 4;
        scratch[3 * x] = g[x & 1];
        scratch[3 * x + 1] = g[2];
        scratch[3 * x + 2] = g[3];
      }
      Convert(scratch.data(), iecsYCbCr, d, n, v.Params);
      return;
    }
    case 16:
      for (int32_t x = 0; x < n; ++x) {
        PutMapped(v.ColorMap, s[2 * x], d + 3 * x);
        if (alpha) t.mask[x] = static_cast<uint8_t>(255 - s[2 * x + 1]);
      }
      return;
    case 17:
      for (int32_t x = 0; x < n; ++x) {
        const uint8_t index = s[static_cast<int64_t>(x) * spp];
        if (fmt == ie8p) d[x] = index;
        else PutMapped(v.ColorMap, index, d + 3 * x);
      }
      return;
    default:
      return;
  }
}

int32_t BytesPerPixelOf(TIEPixelFormat f) {
  switch (f) {
    case ie8p: case ie8g: return 1;
    case ie16g: return 2;
    case ieCMYK: return 4;
    case ieRGB48: return 6;
    case ie1g: return 0;
    default: return 3;
  }
}

// A JPEG strip or stream into Tmp (ie24RGB) with a scratch parameter record of no owner and a
// progress record of its own; returns the rows decoded. Aborting is set when the JPEG reader
// failed, Threw when it raised as well.
int32_t DecodeJpeg(TStream& jpeg, TStream* tables, bool raw, int32_t maxLines, TIEBitmap& tmp, bool& aborting,
                   bool& threw) {
  TIOParamsVals params(nullptr);
  TIEProgressRecord pr;
  pr.Aborting = &aborting;
  try {
    return ReadJpegStream(jpeg, tables, tmp, params, pr, false, raw, false, false, false, false, maxLines, false);
  } catch (const std::exception&) {
    aborting = threw = true;
    return 0;
  }
}

// The page being decoded: bitmap, mask, case, progress.
struct TPageDecoder {
  TTIFFVars& v;
  TIEBitmap& bitmap;
  TIEProgressRecord& progress;
  TIEPixelFormat fmt;
  int conversion;
  int32_t rowsDone = 0;
  TBlockBuffers buffers;
  TBlockBuffers planeBuffers[10];
  TBlockBytes block;  // the strip or tile read

  void RowDone() {
    ++rowsDone;
    if (v.Height > 0) progress.Report(static_cast<int32_t>(static_cast<int64_t>(rowsDone) * 100 / v.Height));
  }

  // Targets pixel x0 of page row y, clipped to the page; count 0 when outside.
  TRowTarget Target(int32_t y, int32_t x0, int32_t width) {
    TRowTarget t{nullptr, nullptr, 0, x0};
    if (y < 0 || y >= v.Height || x0 >= v.Width) return t;
    t.count = std::min(width, v.Width - x0);
    auto* row = static_cast<uint8_t*>(bitmap.GetRow(y));
    t.row = fmt == ie1g ? row : row + static_cast<int64_t>(x0) * BytesPerPixelOf(fmt);
    if (v.AlphaMask) {
      t.mask = v.AlphaMask->GetRow(y) + x0;
      v.AlphaMask->SetFull(false);
    }
    return t;
  }

  // Decodes RowCount rows of one strip or tile held in memory into page rows FirstRow.. at pixel X0.
  bool DecodeRows(uint8_t* data, int64_t length, int32_t firstRow, int32_t x0, int32_t width, int32_t rowCount) {
    if (v.Compression == cmpJPEG) return DecodeJPEG(data, length, firstRow, x0, width, rowCount);
    const bool bilevel = conversion == 6 || conversion == 10;
    const int64_t rowLength = IsCCITT(v.Compression) ? (width + 7) / 8 : StoredRowBytes(v, width, false);
    TBlockRows rows(v, data, length, width, rowLength, rowCount, buffers);
    const int64_t samples = static_cast<int64_t>(width) * v.SamplesPerPixel;
    std::vector<uint8_t> raw(static_cast<size_t>(rowLength) + 8), wide, scratch;
    const bool widen = !bilevel && v.BitsPerSample < 8 && conversion != 15;
    if (widen) wide.resize(static_cast<size_t>(samples) + 8);
    // RGB rows straight into the bitmap's order, the predictor undone on the way, when no colour
    // profile has to see them.
    const bool directRGB = conversion == 1 && v.SamplesPerPixel == 3 && fmt == ie24RGB && !ICCConversionEnabled &&
                           (!DefaultColorConverter || DefaultColorConverter == ConvertColorRow);
    const bool predicted = v.Predictor == 2 && (v.Compression == cmpLZW || v.Compression == cmpDeflate ||
                                                v.Compression == cmpDeflateOld);
    if (directRGB) rows.SetReadOnlyRows();
    for (int32_t r = 0; r < rowCount; ++r) {
      const int32_t y = firstRow + r;
      if (y >= v.Height || progress.IsAborting()) break;
      uint8_t* s = rows.Next(raw.data());
      if (!s) return false;
      const TRowTarget t = Target(y, x0, width);
      if (directRGB) {
        if (t.count > 0) RGBToBGR(s, t.row, t.count, predicted);
        RowDone();
        continue;
      }
      if (v.BitsPerSample == 16 && !v.IntelOrder) SwapWordArray(s, static_cast<int32_t>(rowLength / 2));
      if (widen) {
        WidenSamples(v, s, wide.data(), samples);
        s = wide.data();
      }
      UndoPredictor(v, s, width, v.SamplesPerPixel);
      if (t.count > 0) ConvertRow(v, conversion, fmt, s, scratch, t);
      RowDone();
    }
    return true;
  }

  bool DecodeJPEG(const uint8_t* data, int64_t length, int32_t firstRow, int32_t x0, int32_t width, int32_t rowCount) {
    TMemoryStream strip;
    if (length > 0) strip.Write(data, static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX)));
    strip.Seek(0, soBeginning);
    TMemoryStream tables;
    const bool hasTables = !v.JPEGTables.empty();
    if (hasTables) {
      tables.Write(v.JPEGTables.data(), static_cast<int32_t>(v.JPEGTables.size()));
      tables.Seek(0, soBeginning);
    }
    TIEBitmap tmp;
    bool threw = false;
    bool aborting = false;
    DecodeJpeg(strip, hasTables ? &tables : nullptr, hasTables && v.Photometric == 2, -1, tmp, aborting, threw);
    if (threw) aborting = !hasTables;  // with tables the strip stays as decoded
    if (aborting && tmp.Height() == 0) return false;
    const int32_t rows = std::min(rowCount, tmp.Height());
    const int32_t w = std::min(width, tmp.Width());
    if (tmp.PixelFormat() != ie24RGB) return rows == 0;
    for (int32_t r = 0; r < rows; ++r) {
      const TRowTarget t = Target(firstRow + r, x0, w);
      if (t.count <= 0) continue;
      const auto* src = static_cast<const uint8_t*>(tmp.GetRow(r));
      if (fmt == ie24RGB) {
        // RGB components arrive in blue, green, red order already: the JPEG reader puts the
        // components of a file it knows as RGB into the bitmap's order itself.
        std::memcpy(t.row, src, static_cast<size_t>(t.count) * 3);
      }
      RowDone();
    }
    return true;
  }

  // Strips of a planar page: the planes of strip c, decoded side by side.
  bool DecodePlanarRows(std::vector<std::vector<uint8_t>>& planes, int32_t firstRow, int32_t rowCount) {
    const int32_t count = static_cast<int32_t>(planes.size());
    const int64_t rowLength = StoredRowBytes(v, v.Width, true);
    std::vector<std::unique_ptr<TBlockRows>> dec;
    for (auto& p : planes)
      dec.push_back(std::make_unique<TBlockRows>(v, p.data(), static_cast<int64_t>(p.size()), v.Width, rowLength, rowCount,
                                                 planeBuffers[dec.size() % 10]));
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(count), std::vector<uint8_t>(static_cast<size_t>(rowLength) + 8));
    std::vector<uint8_t> chunky(static_cast<size_t>(v.Width) * v.SamplesPerPixel + 8), scratch;
    for (int32_t r = 0; r < rowCount; ++r) {
      const int32_t y = firstRow + r;
      if (y >= v.Height || progress.IsAborting()) break;
      std::vector<uint8_t*> at(static_cast<size_t>(count));
      for (int32_t p = 0; p < count; ++p) {
        at[p] = dec[p]->Next(rows[p].data());
        if (!at[p]) return false;
        UndoPredictor(v, at[p], v.Width, 1);
      }
      for (int32_t x = 0; x < v.Width; ++x)
        for (int32_t p = 0; p < v.SamplesPerPixel; ++p)
          chunky[static_cast<size_t>(x) * v.SamplesPerPixel + p] = p < count ? at[p][x] : 0;
      const TRowTarget t = Target(y, 0, v.Width);
      if (t.count > 0) ConvertRow(v, conversion, fmt, chunky.data(), scratch, t);
      RowDone();
    }
    return true;
  }
};

// The bytes of a block at Offset the stream holds (Count 0 or less: up to the stream's end), at
// most 2 GB; 0 when the block starts outside the stream. At receives the block's position.
int64_t BlockSpan(const TTIFFVars& v, int64_t offset, int64_t count, int64_t& at) {
  at = v.Origin + offset;
  if (offset < 0 || at < 0 || at >= v.StreamSize) return 0;
  if (count <= 0) count = v.StreamSize - at;
  return std::min({count, v.StreamSize - at, static_cast<int64_t>(INT32_MAX)});
}

// Reads Count bytes at Origin + Offset (clipped to the stream) into Out; empty when the offset is
// outside.
void ReadBlockInto(const TTIFFVars& v, int64_t offset, int64_t count, std::vector<uint8_t>& out) {
  int64_t at = 0;
  count = BlockSpan(v, offset, count, at);
  out.resize(static_cast<size_t>(count));
  if (count == 0) return;
  v.Stream->Seek(at, soBeginning);
  const int32_t got = v.Stream->Read(out.data(), static_cast<int32_t>(count));
  out.resize(static_cast<size_t>(std::max(got, 0)));
}

// The same into the page's reused block memory.
void ReadBlockInto(const TTIFFVars& v, int64_t offset, int64_t count, TBlockBytes& out) {
  out.size = 0;
  int64_t at = 0;
  count = BlockSpan(v, offset, count, at);
  if (count == 0) return;
  if (out.capacity < static_cast<size_t>(count)) {
    out.bytes.reset();
    out.bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(count));
    out.capacity = static_cast<size_t>(count);
  }
  v.Stream->Seek(at, soBeginning);
  const int32_t got = v.Stream->Read(out.data(), static_cast<int32_t>(count));
  out.size = static_cast<size_t>(std::max(got, 0));
}

std::vector<uint8_t> ReadBlock(const TTIFFVars& v, int64_t offset, int64_t count) {
  std::vector<uint8_t> out;
  ReadBlockInto(v, offset, count, out);
  return out;
}

int64_t ItemOr0(const std::vector<int64_t>& a, size_t i) { return i < a.size() ? a[i] : 0; }

void ReadStrips(TPageDecoder& pd, TIEProgressRecord& progress) {
  TTIFFVars& v = pd.v;
  const int32_t rps = std::max(v.RowsPerStrip, 1);
  if (IsPlanar(v)) {
    const size_t perPlane = v.StripOffsets.size() / static_cast<size_t>(v.SamplesPerPixel);
    const int32_t planes = std::min(v.SamplesPerPixel, 10);
    for (size_t c = 0; c < perPlane && !progress.IsAborting(); ++c) {
      const int64_t y = static_cast<int64_t>(c) * rps;
      if (y >= v.Height) break;
      std::vector<std::vector<uint8_t>> data;
      for (int32_t p = 0; p < planes; ++p) {
        const size_t i = static_cast<size_t>(p) * perPlane + c;
        data.push_back(ReadBlock(v, v.StripOffsets[i], ItemOr0(v.StripByteCounts, i)));
      }
      if (!pd.DecodePlanarRows(data, static_cast<int32_t>(y), static_cast<int32_t>(std::min<int64_t>(rps, v.Height - y))))
        progress.Abort();
    }
    return;
  }
  for (size_t c = 0; c < v.StripOffsets.size() && !progress.IsAborting(); ++c) {
    const int64_t y = static_cast<int64_t>(c) * rps;
    if (y >= v.Height) break;  // strips past the page are ignored
    const int32_t rows = static_cast<int32_t>(std::min<int64_t>(rps, v.Height - y));
    int64_t size = ItemOr0(v.StripByteCounts, c);
    if (v.Compression == cmpNone) size = std::max(size, StoredRowBytes(v, v.Width, false) * rows);
    ReadBlockInto(v, v.StripOffsets[c], size, pd.block);
    if (!pd.DecodeRows(pd.block.data(), static_cast<int64_t>(pd.block.size), static_cast<int32_t>(y), 0, v.Width, rows))
      progress.Abort();
  }
}

void ReadTiles(TPageDecoder& pd, TIEProgressRecord& progress) {
  TTIFFVars& v = pd.v;
  const std::vector<int64_t>& offsets = v.TileOffsets.empty() ? v.StripOffsets : v.TileOffsets;
  const std::vector<int64_t>& counts = v.TileOffsets.empty() ? v.StripByteCounts : v.TileByteCounts;
  const int32_t tw = v.TileWidth, tl = v.TileLength;
  if (v.GetTile >= 0) {
    // One tile: the page is that tile.
    const size_t i = static_cast<size_t>(v.GetTile);
    if (i >= offsets.size()) {
      progress.Abort();
      return;
    }
    auto data = ReadBlock(v, offsets[i], ItemOr0(counts, i));
    if (!pd.DecodeRows(data.data(), static_cast<int64_t>(data.size()), 0, 0, tw, tl)) progress.Abort();
    return;
  }
  const int64_t across = (static_cast<int64_t>(v.Width) + tw - 1) / tw;
  const int64_t down = (static_cast<int64_t>(v.Height) + tl - 1) / tl;
  const int64_t tiles = std::min<int64_t>(across * down, static_cast<int64_t>(offsets.size()));
  for (int64_t i = 0; i < tiles && !progress.IsAborting(); ++i) {
    ReadBlockInto(v, offsets[static_cast<size_t>(i)], ItemOr0(counts, static_cast<size_t>(i)), pd.block);
    const int32_t x = static_cast<int32_t>((i % across) * tw);
    const int32_t y = static_cast<int32_t>((i / across) * tl);
    if (!pd.DecodeRows(pd.block.data(), static_cast<int64_t>(pd.block.size), y, x, tw, tl)) progress.Abort();
  }
}

// Old-style JPEG (compression 6): the JPEG stream the page points at, or its strips each completed
// with the header and tables.
void ReadOldJPEG(TPageDecoder& pd, TIEProgressRecord& progress) {
  TTIFFVars& v = pd.v;
  auto decode = [&](TMemoryStream& jpeg, int32_t firstRow, int32_t maxLines, bool& rowsOk) {
    jpeg.Seek(0, soBeginning);
    TIEBitmap tmp;
    bool aborting = false, threw = false;
    const int32_t rows = DecodeJpeg(jpeg, nullptr, false, maxLines, tmp, aborting, threw);
    rowsOk = !aborting || (maxLines > 0 && rows * 2 > maxLines);
    if (tmp.PixelFormat() != ie24RGB) return;
    for (int32_t r = 0; r < tmp.Height(); ++r) {
      const TRowTarget t = pd.Target(firstRow + r, 0, tmp.Width());
      if (t.count <= 0) continue;
      std::memcpy(t.row, tmp.GetRow(r), static_cast<size_t>(t.count) * 3);
      pd.RowDone();
    }
  };
  if (!v.StripByteCounts.empty() && !v.StripOffsets.empty() && v.RowsPerStrip > 0) {
    const std::vector<uint8_t> header =
        v.JPEGInterchangeFormatLength > 0 ? ReadBlock(v, v.JPEGInterchangeFormat, v.JPEGInterchangeFormatLength)
                                          : std::vector<uint8_t>{};
    // The marker segment at the first strip's start (2-byte marker, big-endian length).
    std::vector<uint8_t> segment = ReadBlock(v, v.StripOffsets[0], 4);
    if (segment.size() == 4) segment = ReadBlock(v, v.StripOffsets[0], 2 + (segment[2] << 8 | segment[3]));
    const size_t strips = v.StripOffsets.size();
    for (size_t r = 0; r < strips && !progress.IsAborting(); ++r) {
      const int64_t y = static_cast<int64_t>(r) * v.RowsPerStrip;
      if (y >= v.Height) break;
      TMemoryStream jpeg;
      if (!header.empty()) jpeg.Write(header.data(), static_cast<int32_t>(header.size()));
      if (r > 0 && !segment.empty()) jpeg.Write(segment.data(), static_cast<int32_t>(segment.size()));
      const auto data = ReadBlock(v, v.StripOffsets[r], std::max<int64_t>(ItemOr0(v.StripByteCounts, r), 1));
      if (!data.empty()) jpeg.Write(data.data(), static_cast<int32_t>(data.size()));
      bool ok = true;
      decode(jpeg, static_cast<int32_t>(y), v.RowsPerStrip, ok);
      if (!ok) progress.Abort();
    }
    return;
  }
  const int64_t at = v.JPEGInterchangeFormat ? v.JPEGInterchangeFormat : (v.StripOffsets.empty() ? -1 : v.StripOffsets[0]);
  if (at < 0 || v.Origin + at >= v.StreamSize) {
    progress.Abort();
    return;
  }
  v.Stream->Seek(v.Origin + at, soBeginning);
  const int64_t length = JpegStreamLength(*v.Stream);
  if (length <= 0 || v.Origin + at + length > v.StreamSize) {
    progress.Abort();
    return;
  }
  const auto data = ReadBlock(v, at, length);
  TMemoryStream jpeg;
  jpeg.Write(data.data(), static_cast<int32_t>(data.size()));
  bool ok = true;
  decode(jpeg, 0, -1, ok);
  if (!ok) progress.Abort();
}

}  // namespace

const char* TIFFUndecodableReason(const TTIFFVars& v) {
  if (!IsKnownCompression(v.Compression)) return "unsupported compression";
  if (v.PlanarConfig != 1 && v.PlanarConfig != 2) return "unsupported planar configuration";
  if (v.Compression == cmpOldJPEG) return nullptr;
  if (IsTiled(v)) {
    if (v.TileWidth <= 0 || v.TileLength <= 0) return "bad tile size";
    if (v.TileOffsets.empty() && v.StripOffsets.empty()) return "tiles without offsets";
    if (IsPlanar(v)) return "planar tiles";
  } else if (v.StripOffsets.empty()) {
    return "no strip offsets";
  }
  if (IsPlanar(v) && (!PlanarDecodable(v) || v.Compression == cmpJPEG)) return "unsupported planar layout";
  if (v.Compression == cmpJPEG) return nullptr;
  if (IsCCITT(v.Compression) && (v.BitsPerSample != 1 || v.SamplesPerPixel != 1)) return "CCITT page not bilevel";
  if (v.Compression == cmpLZW && !v.LZWDecoder) return "no LZW decoder";
  const int c = ChooseCase(v);
  if (c == 0) return "unsupported sample layout";
  if (UsesColorMap(c) && v.ColorMap.empty()) return "palette page without a colour map";
  return nullptr;
}

int32_t TIFFDestinationFormat(const TTIFFVars& v, bool native) {
  const int ph = v.Photometric, s = v.SamplesPerPixel, b = v.BitsPerSample;
  if (v.Compression == cmpJPEG || v.Compression == cmpOldJPEG) return ie24RGB;
  if (b == 1 && s == 1 && ph != 3) return ie1g;
  if (native) {
    if (b == 8 && s == 1 && ph == 3) return ie8p;
    if (b == 8 && s == 1 && ph <= 1) return ie8g;
    if (b == 16 && s == 1 && ph <= 1) return ie16g;
    if (b == 8 && s > 3 && ph == 5) return ieCMYK;
    if (b == 16 && s == 4 && ph == 5) return ieCMYK;
    if (b == 16 && s == 3 && ph == 2) return ieRGB48;
  }
  return ie24RGB;
}

int64_t TIFFPageDataBytes(const TTIFFVars& v) {
  const bool tiles = IsTiled(v) && !v.TileOffsets.empty();
  const std::vector<int64_t>& offsets = tiles ? v.TileOffsets : v.StripOffsets;
  const std::vector<int64_t>& counts = tiles ? v.TileByteCounts : v.StripByteCounts;
  int64_t total = 0;
  for (size_t i = 0; i < offsets.size(); ++i) {
    const int64_t at = v.Origin + offsets[i];
    if (offsets[i] < 0 || at < 0 || at >= v.StreamSize) continue;
    const int64_t left = v.StreamSize - at;
    const int64_t n = i < counts.size() && counts[i] > 0 ? std::min(counts[i], left) : left;
    total += n;
  }
  if (v.Compression == cmpOldJPEG && v.JPEGInterchangeFormat > 0 && v.Origin + v.JPEGInterchangeFormat < v.StreamSize)
    total += v.StreamSize - (v.Origin + v.JPEGInterchangeFormat);
  return total;
}

int64_t TIFFBestPixelsPerByte(const TTIFFVars& v) {
  const int64_t bitsPerPixel = std::max<int64_t>(1, static_cast<int64_t>(v.SamplesPerPixel) * v.BitsPerSample);
  switch (v.Compression) {
    case cmpNone: return 0;
    case cmpMH: return 8 * 2560 / 9 + 8;  // white makeup codes of 2560 pixels in 9 to 12 bits
    case cmpG3:
      if (!(v.T4Options & 1)) return 8 * 2560 / 9 + 8;
      [[fallthrough]];
    case cmpG4:
      // A 2-D row like the one above codes in one bit whatever its width; counted for rows of up
      // to 32768 pixels (wider than any fax or scanner page), so that a few bytes cannot claim a
      // row of a billion pixels.
      return 8 * static_cast<int64_t>(std::clamp(v.Width, 1, 32768)) + 8;
    case cmpLZW: return 4096 * 8 / bitsPerPixel * 2 + 1;  // a code of 9..12 bits for up to 4096 bytes
    case cmpDeflate: case cmpDeflateOld: return 1032 * 8 / bitsPerPixel + 1;
    case cmpPackBits: return 64 * 8 / bitsPerPixel + 1;  // 128 bytes from 2
    default: return 4096;                                // JPEG: a few bits per 8 x 8 block
  }
}

bool TIFFOldJPEGSize(const TTIFFVars& Vars, int32_t& Width, int32_t& Height) {
  const TTIFFVars& v = Vars;
  const int64_t at = v.Origin + v.JPEGInterchangeFormat;
  if (v.JPEGInterchangeFormat <= 0 || at < 0 || at >= v.StreamSize) return false;
  int64_t length = v.JPEGInterchangeFormatLength;
  if (length <= 0) {
    v.Stream->Seek(at, soBeginning);
    length = JpegStreamLength(*v.Stream);
  }
  const auto data = ReadBlock(v, v.JPEGInterchangeFormat, std::min<int64_t>(length, 1 << 20));
  if (data.empty()) return false;
  TCustomMemoryStream jpeg(data.data(), static_cast<int64_t>(data.size()));
  TIEBitmap none;
  TIOParamsVals params(nullptr);
  bool aborting = false;
  TIEProgressRecord pr;
  pr.Aborting = &aborting;
  try {
    ReadJpegStream(jpeg, nullptr, none, params, pr, true, false, false, false, false, false, -1, false);
  } catch (const std::exception&) {
    return false;
  }
  Width = params.Width;
  Height = params.Height;
  return !aborting && Width > 0 && Height > 0;
}

void TIFFDecodePage(TTIFFVars& Vars, TIEBitmap& Bitmap, TIEProgressRecord& Progress) {
  TPageDecoder pd{Vars, Bitmap, Progress, Bitmap.PixelFormat(), ChooseCase(Vars), 0, {}, {}, {}};
  Progress.Counter = 0;
  Progress.PerRow = Vars.Height > 0 ? 100.0 / Vars.Height : 0;
  if (Vars.Compression == cmpOldJPEG) {
    ReadOldJPEG(pd, Progress);
  } else if (IsTiled(Vars)) {
    ReadTiles(pd, Progress);
  } else {
    ReadStrips(pd, Progress);
  }
}
