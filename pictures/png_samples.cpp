#include "pictures/png_samples.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define BRIMVALE_PNG_SSSE3 1
#endif

#include "pictures/png_types.h"

TPNGRowLayout PNGRowLayout(uint8_t colorType, uint8_t bitDepth) {
  TPNGRowLayout l;
  l.colorType = colorType;
  l.bitDepth = bitDepth;
  int32_t channels = 1;
  switch (colorType) {
    case ctRGB: channels = 3; break;
    case ctGrayscaleAlpha: channels = 2; break;
    case ctRGBAlpha: channels = 4; break;
    default: break;
  }
  l.fileBits = channels * bitDepth;
  l.distance = l.fileBits >= 8 ? l.fileBits / 8 : 1;
  const bool wide = bitDepth == 8 || bitDepth == 16;
  switch (colorType) {
    case ctGrayscale: l.supported = wide || bitDepth == 1 || bitDepth == 2 || bitDepth == 4; break;
    case ctPalette: l.supported = bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8; break;
    case ctRGB: case ctGrayscaleAlpha: case ctRGBAlpha: l.supported = wide; break;
    default: l.supported = false;
  }
  return l;
}

namespace {

inline uint8_t Map(const uint8_t* table, uint8_t v) { return table ? table[v] : v; }

// Colour samples of 8 bits, red-green-blue in the file, blue-green-red in the storage. Alpha follows
// the colour in RGBA files (step 4).
template <int Step, bool Table>
void DecodeRGB8(const uint8_t* src, int32_t n, int32_t x0, int32_t dx, const TPNGRowPlanes& p) {
  const uint8_t* g = p.gamma;
  uint8_t* d = p.storage + 3 * static_cast<ptrdiff_t>(x0);
  const ptrdiff_t dstep = 3 * static_cast<ptrdiff_t>(dx);
  for (int32_t i = 0; i < n; ++i, src += Step, d += dstep) {
    d[0] = Table ? g[src[2]] : src[2];
    d[1] = Table ? g[src[1]] : src[1];
    d[2] = Table ? g[src[0]] : src[0];
  }
}

#if defined(BRIMVALE_PNG_SSSE3)
// The same for whole rows without gamma, four pixels at a time with byte shuffles (SSSE3); the
// last pixels go the plain way, so that no store passes the row's end.
__attribute__((target("ssse3"))) int32_t DecodeRGB8Shuffled(const uint8_t* src, int32_t n, uint8_t* d, uint8_t* alpha,
                                                            bool rgba) {
  const __m128i toBGR = rgba ? _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1)
                             : _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, -1, -1, -1, -1);
  const __m128i toAlpha = _mm_setr_epi8(3, 7, 11, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const int32_t step = rgba ? 4 : 3;
  int32_t i = 0;
  for (; i + 6 <= n; i += 4) {
    const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + step * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i), _mm_shuffle_epi8(px, toBGR));
    if (rgba) {
      const int32_t a = _mm_cvtsi128_si32(_mm_shuffle_epi8(px, toAlpha));
      std::memcpy(alpha + i, &a, 4);
    }
  }
  return i;
}

bool HasSSSE3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
#endif

// Whole rows of 8-bit RGB or RGBA without gamma: the fast way where the processor has it.
void DecodeRGB8Row(const uint8_t* src, int32_t n, const TPNGRowPlanes& p, bool rgba) {
  int32_t done = 0;
#if defined(BRIMVALE_PNG_SSSE3)
  if (HasSSSE3() && (!rgba || p.alpha)) done = DecodeRGB8Shuffled(src, n, p.storage, p.alpha, rgba);
#endif
  const int32_t step = rgba ? 4 : 3;
  for (int32_t i = done; i < n; ++i) {
    const uint8_t* s = src + step * i;
    uint8_t* d = p.storage + 3 * i;
    d[0] = s[2];
    d[1] = s[1];
    d[2] = s[0];
    if (rgba && p.alpha) p.alpha[i] = s[3];
  }
}

template <int Step, bool Table>
void EncodeRGB8(uint8_t* dst, int32_t n, int32_t x0, int32_t dx, const TPNGRowPlanes& p) {
  const uint8_t* ig = p.inverse;
  const uint8_t* s = p.storage + 3 * static_cast<ptrdiff_t>(x0);
  const ptrdiff_t sstep = 3 * static_cast<ptrdiff_t>(dx);
  for (int32_t i = 0; i < n; ++i, dst += Step, s += sstep) {
    dst[0] = Table ? ig[s[2]] : s[2];
    dst[1] = Table ? ig[s[1]] : s[1];
    dst[2] = Table ? ig[s[0]] : s[0];
  }
}

void DecodeRGB16(const uint8_t* src, int32_t n, int32_t x0, int32_t dx, int step, const TPNGRowPlanes& p) {
  for (int32_t i = 0; i < n; ++i, src += step) {
    const ptrdiff_t x = 3 * (static_cast<ptrdiff_t>(x0) + static_cast<ptrdiff_t>(i) * dx);
    p.storage[x] = Map(p.gamma, src[4]);
    p.storage[x + 1] = Map(p.gamma, src[2]);
    p.storage[x + 2] = Map(p.gamma, src[0]);
    if (p.low) {
      p.low[x] = Map(p.gamma, src[5]);
      p.low[x + 1] = Map(p.gamma, src[3]);
      p.low[x + 2] = Map(p.gamma, src[1]);
    }
  }
}

void EncodeRGB16(uint8_t* dst, int32_t n, int32_t x0, int32_t dx, int step, const TPNGRowPlanes& p) {
  for (int32_t i = 0; i < n; ++i, dst += step) {
    const ptrdiff_t x = 3 * (static_cast<ptrdiff_t>(x0) + static_cast<ptrdiff_t>(i) * dx);
    dst[0] = Map(p.inverse, p.storage[x + 2]);
    dst[2] = Map(p.inverse, p.storage[x + 1]);
    dst[4] = Map(p.inverse, p.storage[x]);
    // The low bytes the file brought are written back: a 16-bit image keeps its precision.
    dst[1] = p.low ? Map(p.inverse, p.low[x + 2]) : 0;
    dst[3] = p.low ? Map(p.inverse, p.low[x + 1]) : 0;
    dst[5] = p.low ? Map(p.inverse, p.low[x]) : 0;
  }
}

inline int32_t At(int32_t x0, int32_t dx, int32_t i) { return x0 + i * dx; }

}  // namespace

void PNGDecodeSamples(const TPNGRowLayout& l, const uint8_t* src, int32_t n, int32_t x0, int32_t dx,
                      const TPNGRowPlanes& p) {
  if (!l.supported || n <= 0) return;
  switch (l.colorType) {
    case ctGrayscale:
    case ctPalette:
      if (l.bitDepth == 16) {
        for (int32_t i = 0; i < n; ++i) {
          const int32_t x = At(x0, dx, i);
          p.storage[x] = src[2 * i];
          if (p.low) p.low[x] = src[2 * i + 1];
        }
      } else if (l.bitDepth == 2) {
        // Kept at 4 bits: a palette index as it is, a grey level v as 5 x v (0, 5, 10, 15).
        const bool grey = l.colorType == ctGrayscale;
        for (int32_t i = 0; i < n; ++i) {
          const uint32_t v = PackedSample(src, i, 2);
          SetPackedSample(p.storage, At(x0, dx, i), 4, grey ? 5 * v : v);
        }
      } else if (dx == 1 && (l.bitDepth == 8 || x0 == 0)) {
        std::memcpy(p.storage + (static_cast<ptrdiff_t>(x0) * l.bitDepth) / 8, src,
                    static_cast<size_t>(PNGRowBytes(n, l.bitDepth)));
      } else {
        for (int32_t i = 0; i < n; ++i) SetPackedSample(p.storage, At(x0, dx, i), l.bitDepth, PackedSample(src, i, l.bitDepth));
      }
      break;
    case ctRGB:
      if (l.bitDepth == 16) {
        DecodeRGB16(src, n, x0, dx, 6, p);
      } else if (p.gamma) {
        DecodeRGB8<3, true>(src, n, x0, dx, p);
      } else if (dx == 1 && x0 == 0) {
        DecodeRGB8Row(src, n, p, false);
      } else {
        DecodeRGB8<3, false>(src, n, x0, dx, p);
      }
      break;
    case ctGrayscaleAlpha:
      for (int32_t i = 0; i < n; ++i) {
        const int32_t x = At(x0, dx, i);
        if (l.bitDepth == 16) {
          p.storage[x] = src[4 * i];
          if (p.low) p.low[x] = src[4 * i + 1];
          if (p.alpha) p.alpha[x] = src[4 * i + 2];
        } else {
          p.storage[x] = src[2 * i];
          if (p.alpha) p.alpha[x] = src[2 * i + 1];
        }
      }
      break;
    case ctRGBAlpha:
      if (l.bitDepth == 16) {
        DecodeRGB16(src, n, x0, dx, 8, p);
        if (p.alpha)
          for (int32_t i = 0; i < n; ++i) p.alpha[At(x0, dx, i)] = src[8 * i + 6];
      } else if (!p.gamma && dx == 1 && x0 == 0) {
        DecodeRGB8Row(src, n, p, true);
      } else {
        if (p.gamma)
          DecodeRGB8<4, true>(src, n, x0, dx, p);
        else
          DecodeRGB8<4, false>(src, n, x0, dx, p);
        if (p.alpha)
          for (int32_t i = 0; i < n; ++i) p.alpha[At(x0, dx, i)] = src[4 * i + 3];
      }
      break;
    default:
      break;
  }
}

void PNGEncodeSamples(const TPNGRowLayout& l, uint8_t* dst, int32_t n, int32_t x0, int32_t dx,
                      const TPNGRowPlanes& p) {
  if (!l.supported || n <= 0) return;
  switch (l.colorType) {
    case ctGrayscale:
    case ctPalette: {
      const int32_t bits = l.bitDepth == 2 ? 4 : l.bitDepth;
      if (bits == 16) {
        for (int32_t i = 0; i < n; ++i) {
          const int32_t x = At(x0, dx, i);
          dst[2 * i] = p.storage[x];
          dst[2 * i + 1] = p.low ? p.low[x] : 0;
        }
      } else if (dx == 1 && (bits == 8 || x0 == 0)) {
        std::memcpy(dst, p.storage + (static_cast<ptrdiff_t>(x0) * bits) / 8, static_cast<size_t>(PNGRowBytes(n, bits)));
      } else {
        std::memset(dst, 0, static_cast<size_t>(PNGRowBytes(n, bits)));
        for (int32_t i = 0; i < n; ++i) SetPackedSample(dst, i, bits, PackedSample(p.storage, At(x0, dx, i), bits));
      }
      break;
    }
    case ctRGB:
      if (l.bitDepth == 16) {
        EncodeRGB16(dst, n, x0, dx, 6, p);
      } else if (p.inverse) {
        EncodeRGB8<3, true>(dst, n, x0, dx, p);
      } else {
        EncodeRGB8<3, false>(dst, n, x0, dx, p);
      }
      break;
    case ctGrayscaleAlpha:
      for (int32_t i = 0; i < n; ++i) {
        const int32_t x = At(x0, dx, i);
        const uint8_t a = p.alpha ? p.alpha[x] : 255;
        if (l.bitDepth == 16) {
          dst[4 * i] = p.storage[x];
          dst[4 * i + 1] = p.low ? p.low[x] : 0;
          // Alpha is kept at 8 bits; widened as a x 257 so that opaque stays opaque.
          dst[4 * i + 2] = a;
          dst[4 * i + 3] = a;
        } else {
          dst[2 * i] = p.storage[x];
          dst[2 * i + 1] = a;
        }
      }
      break;
    case ctRGBAlpha:
      if (l.bitDepth == 16) {
        EncodeRGB16(dst, n, x0, dx, 8, p);
        for (int32_t i = 0; i < n; ++i) {
          const uint8_t a = p.alpha ? p.alpha[At(x0, dx, i)] : 255;
          dst[8 * i + 6] = a;
          dst[8 * i + 7] = a;
        }
      } else {
        if (p.inverse)
          EncodeRGB8<4, true>(dst, n, x0, dx, p);
        else
          EncodeRGB8<4, false>(dst, n, x0, dx, p);
        for (int32_t i = 0; i < n; ++i) dst[4 * i + 3] = p.alpha ? p.alpha[At(x0, dx, i)] : 255;
      }
      break;
    default:
      break;
  }
}
