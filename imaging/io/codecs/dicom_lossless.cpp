// Lossless JPEG (ITU-T T.81 process 14: non-hierarchical, Huffman coded, predictors 1 to 7, point
// transform, restart intervals), the coding of the DICOM syntaxes 1.2.840.10008.1.2.4.57 and .70.
#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/dicom_image.h"

namespace {

struct THuffman {
  bool defined = false;
  // Fast look-up of codes up to 9 bits: (length << 8) | symbol, 0 when longer.
  std::array<uint16_t, 512> fast{};
  // Canonical decoding: the largest code of each length (-1: none), the value offset, the symbols.
  int32_t maxCode[18] = {};
  int32_t valPtr[17] = {};
  int32_t minCode[17] = {};
  std::vector<uint8_t> symbols;

  bool Build(const uint8_t counts[16], const uint8_t* syms, int32_t n) {
    symbols.assign(syms, syms + n);
    for (uint8_t s : symbols)
      if (s > 16) return false;
    fast.fill(0);
    int32_t code = 0, k = 0;
    for (int32_t len = 1; len <= 16; ++len) {
      valPtr[len] = k;
      minCode[len] = code;
      for (int32_t i = 0; i < counts[len - 1]; ++i, ++k, ++code) {
        if (code >= (1 << len)) return false;  // more codes than the length holds
        if (len <= 9) {
          const int32_t span = 1 << (9 - len);
          for (int32_t j = 0; j < span; ++j) fast[static_cast<size_t>((code << (9 - len)) | j)] = static_cast<uint16_t>(len << 8 | symbols[static_cast<size_t>(k)]);
        }
      }
      maxCode[len] = counts[len - 1] ? code - 1 : -1;
      code <<= 1;
    }
    maxCode[17] = INT32_MAX;
    defined = true;
    return true;
  }
};

// Bits of the entropy-coded data: stuffed zero bytes removed; a marker ends the bits (zeros follow).
class TBits {
 public:
  TBits(const uint8_t* d, int64_t n, int64_t at) : d_(d), n_(n), at_(at) {}

  uint32_t Peek(int32_t count) {
    while (bits_ < count) Fill();
    return static_cast<uint32_t>(acc_ >> (bits_ - count)) & ((1u << count) - 1);
  }
  void Drop(int32_t count) { bits_ -= count; }
  uint32_t Get(int32_t count) {
    if (count == 0) return 0;
    const uint32_t v = Peek(count);
    Drop(count);
    return v;
  }
  // Past a restart marker: the bits left in the byte are dropped and the marker skipped.
  void Restart() {
    bits_ = 0;
    acc_ = 0;
    marker_ = false;
    while (at_ + 1 < n_ && !(d_[at_] == 0xFF && d_[at_ + 1] >= 0xD0 && d_[at_ + 1] <= 0xD7)) ++at_;
    if (at_ + 1 < n_) at_ += 2;
  }
  bool Overrun() const { return overrun_; }

 private:
  void Fill() {
    uint8_t b = 0;
    if (!marker_ && at_ < n_) {
      b = d_[at_];
      if (b == 0xFF) {
        const uint8_t next = at_ + 1 < n_ ? d_[at_ + 1] : 0xD9;
        if (next == 0x00) {
          at_ += 2;
        } else {
          marker_ = true;
          b = 0;
        }
      } else {
        ++at_;
      }
    } else {
      overrun_ = overrun_ || bits_ > 64;  // far past the data: a damaged stream
    }
    acc_ = (acc_ << 8) | b;
    bits_ += 8;
  }

  const uint8_t* d_;
  int64_t n_, at_;
  uint64_t acc_ = 0;
  int32_t bits_ = 0;
  bool marker_ = false;
  bool overrun_ = false;
};

int32_t DecodeSymbol(TBits& bits, const THuffman& h) {
  const uint16_t f = h.fast[bits.Peek(9)];
  if (f) {
    bits.Drop(f >> 8);
    return f & 0xFF;
  }
  int32_t code = static_cast<int32_t>(bits.Get(9));
  for (int32_t len = 10; len <= 16; ++len) {
    code = (code << 1) | static_cast<int32_t>(bits.Get(1));
    if (h.maxCode[len] >= 0 && code <= h.maxCode[len] && code >= h.minCode[len])
      return h.symbols[static_cast<size_t>(h.valPtr[len] + code - h.minCode[len])];
  }
  return -1;
}

inline int32_t Difference(TBits& bits, int32_t ssss) {
  if (ssss == 0) return 0;
  if (ssss == 16) return 32768;
  const int32_t v = static_cast<int32_t>(bits.Get(ssss));
  return v < (1 << (ssss - 1)) ? v - (1 << ssss) + 1 : v;
}

}  // namespace

bool DecodeDICOMLosslessJPEG(const TDICOMImage& im, const uint8_t* d, int64_t n, TIEBitmap& b,
                             TIEProgressRecord& progress) {
  if (n < 32) return false;
  THuffman tables[4];
  int32_t precision = 0, width = 0, height = 0, components = 0;
  uint8_t compId[3] = {0, 0, 0};
  int32_t restart = 0;
  int64_t at = 0;
  if (!(d[0] == 0xFF && d[1] == 0xD8)) return false;
  at = 2;
  int32_t tableOf[3] = {0, 0, 0};
  int32_t predictor = 1, pointTransform = 0;
  bool scan = false;
  while (!scan) {
    while (at < n && d[at] != 0xFF) ++at;  // stray bytes before a marker
    while (at < n && d[at] == 0xFF) ++at;  // fill bytes
    if (at + 2 >= n) return false;
    const uint8_t marker = d[at++];
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9) return false;
    const int32_t length = d[at] << 8 | d[at + 1];
    if (length < 2 || at + length > n) return false;
    const uint8_t* seg = d + at + 2;
    const int32_t segLength = length - 2;
    switch (marker) {
      case 0xC3: {  // lossless, Huffman
        if (segLength < 6) return false;
        precision = seg[0];
        height = seg[1] << 8 | seg[2];
        width = seg[3] << 8 | seg[4];
        components = seg[5];
        if (components < 1 || components > 3 || segLength < 6 + 3 * components) return false;
        for (int32_t c = 0; c < components; ++c) {
          compId[c] = seg[6 + 3 * c];
          if (seg[7 + 3 * c] != 0x11) return false;  // sampled 1 x 1 only
        }
        break;
      }
      case 0xC0: case 0xC1: case 0xC2: case 0xC5: case 0xC6: case 0xC7: case 0xC9: case 0xCA: case 0xCB: case 0xCD:
      case 0xCE: case 0xCF:
        return false;  // another process
      case 0xC4: {
        int32_t p = 0;
        while (p + 17 <= segLength) {
          const int32_t id = seg[p] & 0x0F;
          if (id > 3 || (seg[p] >> 4) != 0) return false;
          int32_t total = 0;
          for (int32_t i = 0; i < 16; ++i) total += seg[p + 1 + i];
          if (total > 17 || p + 17 + total > segLength) return false;  // symbols are the 17 sizes
          if (!tables[id].Build(seg + p + 1, seg + p + 17, total)) return false;
          p += 17 + total;
        }
        break;
      }
      case 0xDD:
        if (segLength < 2) return false;
        restart = seg[0] << 8 | seg[1];
        break;
      case 0xDA: {
        if (segLength < 1) return false;
        const int32_t ns = seg[0];
        if (ns != components || segLength < 1 + 2 * ns + 3) return false;
        for (int32_t k = 0; k < ns; ++k) {
          int32_t c = 0;
          while (c < components && compId[c] != seg[1 + 2 * k]) ++c;
          if (c != k) return false;  // components in frame order
          tableOf[k] = seg[2 + 2 * k] >> 4;
          if (tableOf[k] > 3 || !tables[tableOf[k]].defined) return false;
        }
        predictor = seg[1 + 2 * ns];
        pointTransform = seg[3 + 2 * ns] & 0x0F;
        if (predictor < 1 || predictor > 7) return false;
        scan = true;
        break;
      }
      default: break;  // APPn, COM and the rest
    }
    at += length;
  }
  // The frame must be the image the data set describes, at a precision its samples hold.
  if (width != im.Columns || height != im.Rows || components != im.SamplesPerPixel || precision < 2 ||
      precision > 16 || pointTransform >= precision || (components == 3 && precision > 8))
    return false;
  const bool deep = precision > 8;
  if (!b.Allocate(width, height, components == 3 ? ie24RGB : deep ? ie16g : ie8g)) return false;

  TBits bits(d, n, at);
  std::vector<uint16_t> prev(static_cast<size_t>(width) * components), cur(prev.size());
  const int32_t initial = 1 << (precision - pointTransform - 1);
  int64_t mcu = 0;
  int64_t intervalStart = 0;  // the first sample of the running restart interval
  const int64_t total = static_cast<int64_t>(width) * height;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x, ++mcu) {
      if (restart > 0 && mcu > 0 && mcu % restart == 0) {
        bits.Restart();
        intervalStart = mcu;
      }
      for (int32_t c = 0; c < components; ++c) {
        const size_t i = static_cast<size_t>(x) * components + c;
        int32_t pred;
        if (mcu == intervalStart) {
          pred = initial;
        } else if (mcu - intervalStart < width && x > 0) {
          pred = cur[i - components];  // the first line of an interval: the sample to the left
        } else if (x == 0) {
          pred = prev[i];
        } else {
          const int32_t ra = cur[i - components], rb = prev[i], rc = prev[i - components];
          switch (predictor) {
            case 1: pred = ra; break;
            case 2: pred = rb; break;
            case 3: pred = rc; break;
            case 4: pred = ra + rb - rc; break;
            case 5: pred = ra + ((rb - rc) >> 1); break;
            case 6: pred = rb + ((ra - rc) >> 1); break;
            default: pred = (ra + rb) >> 1; break;
          }
        }
        const int32_t ssss = DecodeSymbol(bits, tables[tableOf[c]]);
        if (ssss < 0) return false;
        cur[i] = static_cast<uint16_t>(pred + Difference(bits, ssss));  // sums wrap modulo 2^16
      }
    }
    if (bits.Overrun()) return false;
    void* row = b.GetRow(y);
    const uint32_t mask = (1u << precision) - 1;
    if (components == 3) {
      auto* o = static_cast<uint8_t*>(row);
      for (int32_t x = 0; x < width; ++x)
        for (int32_t c = 0; c < 3; ++c)
          o[3 * x + 2 - c] = static_cast<uint8_t>(((cur[static_cast<size_t>(3 * x + c)] & mask) << pointTransform) & 0xFF);
    } else if (deep) {
      auto* o = static_cast<uint16_t*>(row);
      for (int32_t x = 0; x < width; ++x) {
        uint32_t v = static_cast<uint32_t>((cur[static_cast<size_t>(x)] & mask) << pointTransform);
        const uint32_t stored = (1u << im.BitsStored) - 1;
        v &= stored;
        if (im.Signed() && im.BitsStored < 16 && (v & (1u << (im.BitsStored - 1)))) v |= ~stored;
        o[x] = static_cast<uint16_t>(v);
      }
    } else {
      auto* o = static_cast<uint8_t*>(row);
      for (int32_t x = 0; x < width; ++x) o[x] = static_cast<uint8_t>((cur[static_cast<size_t>(x)] & mask) << pointTransform);
    }
    std::swap(prev, cur);
    progress.Report(static_cast<int32_t>((static_cast<int64_t>(y) + 1) * width * 100 / std::max<int64_t>(total, 1)));
    if (progress.IsAborting()) return false;
  }
  return true;
}
