#include "platform/gdi/pixel_spans.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

#if defined(__x86_64__)
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// SSE2 is part of every x86-64 processor; AVX2 stores twice as much at once where it exists.
void FillSse2(uint32_t* to, size_t n, uint32_t value) {
  const __m128i v = _mm_set1_epi32(static_cast<int32_t>(value));
  size_t i = 0;
  for (; i + 4 <= n; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), v);
  for (; i < n; ++i) to[i] = value;
}

__attribute__((target("avx2"))) void FillAvx2(uint32_t* to, size_t n, uint32_t value) {
  const __m256i v = _mm256_set1_epi32(static_cast<int32_t>(value));
  size_t i = 0;
  // Long runs: one unaligned store, then stores on 32-byte boundaries, so none straddles a cache line
  // (large pictures often start 16 bytes into a page).
  if (n >= 32 && (reinterpret_cast<uintptr_t>(to) & 3) == 0) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), v);
    i = (32 - (reinterpret_cast<uintptr_t>(to) & 31)) / 4;
    for (; i + 32 <= n; i += 32) {
      _mm256_store_si256(reinterpret_cast<__m256i*>(to + i), v);
      _mm256_store_si256(reinterpret_cast<__m256i*>(to + i + 8), v);
      _mm256_store_si256(reinterpret_cast<__m256i*>(to + i + 16), v);
      _mm256_store_si256(reinterpret_cast<__m256i*>(to + i + 24), v);
    }
  }
  for (; i + 16 <= n; i += 16) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i + 8), v);
  }
  for (; i + 8 <= n; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), v);
  for (; i < n; ++i) to[i] = value;
}

void CopyOrSse2(uint32_t* to, const uint8_t* from, size_t n, uint32_t bits) {
  const __m128i b = _mm_set1_epi32(static_cast<int32_t>(bits));
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                     _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * i)), b));
  for (; i < n; ++i) {
    uint32_t v;
    std::memcpy(&v, from + 4 * i, 4);
    to[i] = v | bits;
  }
}

__attribute__((target("avx2"))) void CopyOrAvx2(uint32_t* to, const uint8_t* from, size_t n, uint32_t bits) {
  const __m256i b = _mm256_set1_epi32(static_cast<int32_t>(bits));
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 4 * i));
    const __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 4 * i + 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), _mm256_or_si256(p, b));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i + 8), _mm256_or_si256(q, b));
  }
  CopyOrSse2(to + i, from + 4 * i, n - i, bits);
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// Four pixels a load: the 12 bytes spread over 16 by a byte shuffle, the fourth bytes or-ed in. A
// load reads 16 bytes, so the vector loop stops while two more pixels lie past its four.
__attribute__((target("ssse3"))) size_t SpreadSsse3(uint32_t* to, const uint8_t* from, size_t n, uint32_t fourth) {
  const __m128i shuffle = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i high = _mm_set1_epi32(static_cast<int32_t>(fourth));
  size_t i = 0;
  for (; i + 6 <= n; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_or_si128(_mm_shuffle_epi8(v, shuffle), high));
  }
  return i;
}
#endif

}  // namespace

void FillPixels32(uint32_t* to, size_t n, uint32_t value) {
#if defined(__x86_64__)
  if (HasAvx2()) return FillAvx2(to, n, value);
  FillSse2(to, n, value);
#else
  for (size_t i = 0; i < n; ++i) to[i] = value;
#endif
}

void CopyPixels32Or(uint32_t* to, const void* from, size_t n, uint32_t bits) {
  const auto* src = static_cast<const uint8_t*>(from);
#if defined(__x86_64__)
  if (HasAvx2()) return CopyOrAvx2(to, src, n, bits);
  CopyOrSse2(to, src, n, bits);
#else
  for (size_t i = 0; i < n; ++i) {
    uint32_t v;
    std::memcpy(&v, src + 4 * i, 4);
    to[i] = v | bits;
  }
#endif
}

void SpreadPixels24(uint32_t* to, const void* from, size_t n, uint32_t fourth) {
  const auto* src = static_cast<const uint8_t*>(from);
  fourth <<= 24;
  size_t i = 0;
#if defined(__x86_64__)
  if (HasSsse3()) i = SpreadSsse3(to, src, n, fourth);
#endif
  for (; i < n; ++i)
    to[i] = static_cast<uint32_t>(src[3 * i]) | static_cast<uint32_t>(src[3 * i + 1]) << 8 |
            static_cast<uint32_t>(src[3 * i + 2]) << 16 | fourth;
}
