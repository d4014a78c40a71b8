#include "platform/media/packed_yuv_rows.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

// A coefficient in the converter's 16-bit fixed point: f / 65536 rounded, held to int16.
int16_t Round16(int64_t f) {
  const int64_t r = (f + (1 << 15)) >> 16;
  return static_cast<int16_t>(std::clamp<int64_t>(r, -0x7FFF, 0x7FFF));
}

// The high half of a 16 x 16-bit product (the low half dropped, rounding towards minus infinity).
inline int32_t MulHi(int32_t a, int32_t b) { return (a * b) >> 16; }

inline uint8_t Saturate(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

inline void PutPixel(uint8_t* dst, int32_t luma, int32_t blue, int32_t green, int32_t red) {
  dst[0] = Saturate(luma + blue);
  dst[1] = Saturate(luma + green);
  dst[2] = Saturate(luma + red);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

#define YUV_AVX2 __attribute__((target("avx2")))

// Sixteen pixels (32 source bytes) at a time; returns the pixels converted (a multiple of 16).
YUV_AVX2 int32_t RowAvx2(const uint8_t* Src, uint8_t* Dst, int32_t Width, const TPackedYuvLayout& L,
                         const TYuvMatrix& M) {
  // Luma sits in the even bytes of YUYV and YVYU, in the odd ones of UYVY; chroma in the others,
  // U of a pair in chroma word 0 or 1 of its two.
  const bool lumaHigh = L.Y0 == 1;
  const int8_t u = static_cast<int8_t>((L.U >> 1) * 2), v = static_cast<int8_t>((L.V >> 1) * 2);
  // Chroma words of each pixel: pixels 2p and 2p + 1 take the words of pair p.
  const __m256i pickU = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(u, u + 1, u, u + 1, u + 4, u + 5, u + 4, u + 5, u + 8, u + 9, u + 8, u + 9, u + 12, u + 13, u + 12,
                    u + 13));
  const __m256i pickV = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(v, v + 1, v, v + 1, v + 4, v + 5, v + 4, v + 5, v + 8, v + 9, v + 8, v + 9, v + 12, v + 13, v + 12,
                    v + 13));
  // b0..b7 g0..g7 and r0..r7 (twice) of each half to b0 g0 r0 b1 ... : the first 16 bytes, then 8.
  const __m256i bgFirst = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0, 8, -1, 1, 9, -1, 2, 10, -1, 3, 11, -1, 4, 12, -1, 5));
  const __m256i rFirst = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1));
  const __m256i bgRest = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(13, -1, 6, 14, -1, 7, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1));
  const __m256i rRest = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1));
  const __m256i low = _mm256_set1_epi16(0xFF);
  const __m256i yOffset = _mm256_set1_epi16(M.YOffset), cOffset = _mm256_set1_epi16(128 * 8);
  const __m256i cy = _mm256_set1_epi16(M.Y), vr = _mm256_set1_epi16(M.VR), ub = _mm256_set1_epi16(M.UB),
                ug = _mm256_set1_epi16(M.UG), vg = _mm256_set1_epi16(M.VG);
  int32_t x = 0;
  for (; x + 16 <= Width; x += 16, Src += 32, Dst += 48) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Src));
    const __m256i evenBytes = _mm256_and_si256(s, low), oddBytes = _mm256_srli_epi16(s, 8);
    const __m256i y = lumaHigh ? oddBytes : evenBytes;
    const __m256i c = lumaHigh ? evenBytes : oddBytes;
    const __m256i luma = _mm256_mulhi_epi16(_mm256_sub_epi16(_mm256_slli_epi16(y, 3), yOffset), cy);
    const __m256i cu = _mm256_sub_epi16(_mm256_slli_epi16(_mm256_shuffle_epi8(c, pickU), 3), cOffset);
    const __m256i cv = _mm256_sub_epi16(_mm256_slli_epi16(_mm256_shuffle_epi8(c, pickV), 3), cOffset);
    const __m256i b = _mm256_add_epi16(luma, _mm256_mulhi_epi16(cu, ub));
    const __m256i r = _mm256_add_epi16(luma, _mm256_mulhi_epi16(cv, vr));
    const __m256i g = _mm256_add_epi16(luma, _mm256_add_epi16(_mm256_mulhi_epi16(cu, ug), _mm256_mulhi_epi16(cv, vg)));
    // Each half: b0..b7 g0..g7 / r0..r7 r0..r7 of its eight pixels, saturated to bytes.
    const __m256i bg = _mm256_packus_epi16(b, g);
    const __m256i rr = _mm256_packus_epi16(r, r);
    const __m256i first = _mm256_or_si256(_mm256_shuffle_epi8(bg, bgFirst), _mm256_shuffle_epi8(rr, rFirst));
    const __m256i rest = _mm256_or_si256(_mm256_shuffle_epi8(bg, bgRest), _mm256_shuffle_epi8(rr, rRest));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst), _mm256_castsi256_si128(first));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Dst + 16), _mm256_castsi256_si128(rest));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + 24), _mm256_extracti128_si256(first, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Dst + 40), _mm256_extracti128_si256(rest, 1));
  }
  return x;
}

}  // namespace

TYuvMatrix YuvMatrixOf(int SwsColorSpace, bool FullRange) {
  // The converter's own derivation (contrast and saturation 1, brightness 0): luma scaled from
  // 16..235 to 0..255 for video range, chroma scaled from 0..255 to 16..240's span for full range.
  const int* inverse = sws_getCoefficients(SwsColorSpace);
  int64_t crv = inverse[0], cbu = inverse[1], cgu = -inverse[2], cgv = -inverse[3];
  int64_t cy = 1 << 16, oy = 0;
  if (!FullRange) {
    cy = cy * 255 / 219;
    oy = 16 << 16;
  } else {
    crv = crv * 224 / 255;
    cbu = cbu * 224 / 255;
    cgu = cgu * 224 / 255;
    cgv = cgv * 224 / 255;
  }
  TYuvMatrix m;
  m.Y = Round16(cy * (1 << 13));
  m.YOffset = Round16(oy * (1 << 3));
  m.VR = Round16(crv * (1 << 13));
  m.UB = Round16(cbu * (1 << 13));
  m.UG = Round16(cgu * (1 << 13));
  m.VG = Round16(cgv * (1 << 13));
  return m;
}

void PackedYuvRowToBgrScalar(const uint8_t* Src, uint8_t* Dst, int32_t Width, const TPackedYuvLayout& L,
                             const TYuvMatrix& M) {
  for (int32_t x = 0; x + 1 < Width; x += 2, Src += 4, Dst += 6) {
    const int32_t u = 8 * (Src[L.U] - 128), v = 8 * (Src[L.V] - 128);
    const int32_t blue = MulHi(u, M.UB), red = MulHi(v, M.VR), green = MulHi(u, M.UG) + MulHi(v, M.VG);
    PutPixel(Dst, MulHi(8 * Src[L.Y0] - M.YOffset, M.Y), blue, green, red);
    PutPixel(Dst + 3, MulHi(8 * Src[L.Y1] - M.YOffset, M.Y), blue, green, red);
  }
}

void PackedYuvRowToBgr(const uint8_t* Src, uint8_t* Dst, int32_t Width, const TPackedYuvLayout& Layout,
                       const TYuvMatrix& Matrix) {
  const int32_t done = HasAvx2() ? RowAvx2(Src, Dst, Width, Layout, Matrix) : 0;
  PackedYuvRowToBgrScalar(Src + 2 * static_cast<int64_t>(done), Dst + 3 * static_cast<int64_t>(done), Width - done,
                          Layout, Matrix);
}

bool PackedYuvFrameToDib(const AVFrame* Frame, int SwsColorSpace, bool FullRange, uint8_t* Bits, int32_t RowLength) {
  const TPackedYuvLayout* layout = nullptr;
  switch (Frame->format) {
    case AV_PIX_FMT_YUYV422: layout = &kLayoutYUYV; break;
    case AV_PIX_FMT_UYVY422: layout = &kLayoutUYVY; break;
    case AV_PIX_FMT_YVYU422: layout = &kLayoutYVYU; break;
    default: return false;
  }
  const int32_t w = Frame->width, h = Frame->height;
  // An odd width makes the converter interpolate chroma across pairs: left to it.
  if (w <= 0 || h <= 0 || (w & 1) || !Frame->data[0] || std::abs(int64_t{Frame->linesize[0]}) < 2 * int64_t{w} ||
      RowLength < 3 * int64_t{w})
    return false;
  const TYuvMatrix matrix = YuvMatrixOf(SwsColorSpace, FullRange);
  for (int32_t i = 0; i < h; ++i) {
    // Source row i is the picture's row i from the top: the DIB's row h - 1 - i from its bottom.
    PackedYuvRowToBgr(Frame->data[0] + static_cast<ptrdiff_t>(i) * Frame->linesize[0],
                      Bits + static_cast<ptrdiff_t>(h - 1 - i) * RowLength, w, *layout, matrix);
  }
  return true;
}
