#include "imaging/processing/ie_row_tools.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_progress.h"
#include "imaging/processing/ie_quantizer.h"
#include "platform/gdi/bitmap.h"

#if defined(__SSE2__)
namespace {

// Writes the 48 bytes of P[0..2] (sixteen 3-byte pixels) to Dest with bytes 0 and 2 of each pixel
// exchanged: output byte j is P[j] for the middle byte, P[j + 2] for the first and P[j - 2] for the
// last, the shifts reaching into the neighbouring register.
inline void StoreSwappedRB(const __m128i (&p)[3], uint8_t* dest) {
  alignas(16) static constexpr std::array<std::array<std::array<uint8_t, 16>, 3>, 3> kMasks = [] {
    std::array<std::array<std::array<uint8_t, 16>, 3>, 3> m{};  // [register][byte of pixel][byte]
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 16; ++i) m[k][(16 * k + i) % 3][i] = 0xFF;
    return m;
  }();
  const auto mask = [](int k, int c) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks[k][c].data())); };
  for (int k = 0; k < 3; ++k) {
    const __m128i next = k < 2 ? _mm_slli_si128(p[k + 1], 14) : _mm_setzero_si128();
    const __m128i prev = k > 0 ? _mm_srli_si128(p[k - 1], 14) : _mm_setzero_si128();
    const __m128i ahead = _mm_or_si128(_mm_srli_si128(p[k], 2), next);   // P[j + 2]
    const __m128i behind = _mm_or_si128(_mm_slli_si128(p[k], 2), prev);  // P[j - 2]
    const __m128i out = _mm_or_si128(_mm_and_si128(p[k], mask(k, 1)),
                                     _mm_or_si128(_mm_and_si128(ahead, mask(k, 0)), _mm_and_si128(behind, mask(k, 2))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 16 * k), out);
  }
}

}  // namespace
#endif

void CopySwapRB(void* Dest, const void* Src, int32_t Count) {
  auto* d = static_cast<uint8_t*>(Dest);
  const auto* s = static_cast<const uint8_t*>(Src);
  int32_t i = 0;
#if defined(__SSE2__)
  // Sixteen pixels at a time, all loaded before any is stored, so Dest may be Src.
  for (; i + 16 <= Count; i += 16) {
    const __m128i p[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i + 16)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i + 32))};
    StoreSwappedRB(p, d + 3 * i);
  }
#endif
  for (; i < Count; ++i) {
    const uint8_t first = s[3 * i], last = s[3 * i + 2];
    d[3 * i] = last;
    d[3 * i + 1] = s[3 * i + 1];
    d[3 * i + 2] = first;
  }
}

void SwapRB(void* Pixels, int32_t Count) { CopySwapRB(Pixels, Pixels, Count); }

void* SwapRB48(void* Pixels, int32_t Count) {
  auto* p = static_cast<uint16_t*>(Pixels);
  for (int32_t i = 0; i < Count; ++i) std::swap(p[3 * i], p[3 * i + 2]);
  return p + 3 * static_cast<ptrdiff_t>(std::max(Count, 0));
}

void BigEndianRGB48ToBGR24(const void* Src, void* Dest, int32_t Count) {
  const auto* s = static_cast<const uint8_t*>(Src);
  auto* d = static_cast<uint8_t*>(Dest);
  int32_t x = 0;
#if defined(__SSE2__)
  // Sixteen pixels at a time: the high bytes are the first of each word, packed they give the 48
  // samples in red, green, blue order.
  const __m128i low = _mm_set1_epi16(0x00FF);
  for (; x + 16 <= Count; x += 16, s += 96, d += 48) {
    __m128i p[3];
    for (int k = 0; k < 3; ++k) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32 * k));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32 * k + 16));
      p[k] = _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(b, low));
    }
    StoreSwappedRB(p, d);
  }
#endif
  for (; x < Count; ++x, s += 6, d += 3) {
    d[0] = s[4];
    d[1] = s[2];
    d[2] = s[0];
  }
}

void AddAlphaToRow(const void* Src, const uint8_t* Alpha, void* Dest, int32_t Count) {
  const auto* s = static_cast<const uint8_t*>(Src);
  auto* d = static_cast<uint8_t*>(Dest);
  if (Count <= 0) return;
  // Four bytes are taken at a time while the row holds them; the fourth is the next pixel's blue.
  int32_t x = 0;
  for (; x + 1 < Count; ++x) {
    uint32_t v;
    std::memcpy(&v, s + 3 * static_cast<size_t>(x), 4);
    v = (v & 0xFFFFFFu) | uint32_t{Alpha ? Alpha[x] : uint8_t{255}} << 24;
    std::memcpy(d + 4 * static_cast<size_t>(x), &v, 4);
  }
  std::memcpy(d + 4 * static_cast<size_t>(x), s + 3 * static_cast<size_t>(x), 3);
  d[4 * static_cast<size_t>(x) + 3] = Alpha ? Alpha[x] : 255;
}

void AlphaToTransparencyBits(const uint8_t* Alpha, uint8_t* Bits, int32_t Count) {
  int32_t x = 0;
#if defined(__SSE2__)
  // Sixteen values at a time: the compare's sign bits come out least significant first.
  const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
  for (; x + 16 <= Count; x += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Alpha + x));
    const auto clear = static_cast<uint32_t>(~_mm_movemask_epi8(_mm_cmpeq_epi8(a, opaque)));
    Bits[x >> 3] = IEBitReverseTable[clear & 0xFF];
    Bits[(x >> 3) + 1] = IEBitReverseTable[(clear >> 8) & 0xFF];
  }
#endif
  for (; x < Count; x += 8) {
    uint8_t b = 0;
    for (int32_t k = 0; k < 8 && x + k < Count; ++k) b |= static_cast<uint8_t>((Alpha[x + k] != 255) << (7 - k));
    Bits[x >> 3] = b;
  }
}

void Expand1BitRowTo24(const void* Src, void* Dest, int32_t Count) {
  const auto* s = static_cast<const uint8_t*>(Src);
  auto* d = static_cast<uint8_t*>(Dest);
  const int32_t whole = Count / 8;
  for (int32_t i = 0; i < whole; ++i, d += 24) std::memcpy(d, OneBitExpansionTable[s[i]].data(), 24);
  if (Count % 8) std::memcpy(d, OneBitExpansionTable[s[whole]].data(), static_cast<size_t>(Count % 8) * 3);
}

void ConvertTBitmap1BitTo24(TBitmap& Source, TBitmap& Dest, TIEProgressRecord& Progress) {
  Dest.SetPixelFormat(pf24bit);
  Dest.SetSize(1, 1);
  Dest.SetSize(Source.Width(), Source.Height());
  const int32_t width = Source.Width(), height = Source.Height();
  // A table other than black, white (a white-first one, or two colours) gives its own colours.
  const std::vector<RGBQUAD> table = Source.ColorTable();
  TIERGB colors[2] = {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
  for (size_t i = 0; i < table.size() && i < 2; ++i)
    colors[i] = CreateRGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
  const bool plain = colors[0] == CreateRGB(0, 0, 0) && colors[1] == CreateRGB(255, 255, 255);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = Source.ScanLine(y);
    auto* dst = reinterpret_cast<TIERGB*>(Dest.ScanLine(y));
    if (plain) {
      Expand1BitRowTo24(src, dst, width);
    } else {
      for (int32_t x = 0; x < width; ++x) dst[x] = colors[(src[x >> 3] >> (7 - (x & 7))) & 1];
    }
    Progress.Report(static_cast<int32_t>((y + 1) * 100 / (height + 0.5)));
  }
}

int32_t ConvertRowBitDepth(const void* Src, void* Dest, int32_t SrcBitCount, int32_t DestBitCount, int32_t Count,
                           const TIERGB* Palette, int32_t PaletteLength, TIEQuantizer* Quantizer) {
  Count = std::max(Count, 0);
  const auto* s = static_cast<const uint8_t*>(Src);
  auto* d = static_cast<uint8_t*>(Dest);
  int32_t length = 0;
  switch (DestBitCount) {
    case 1: length = (Count + 7) / 8; break;
    case 4: length = (Count + 1) / 2; break;
    case 8: length = Count; break;
    case 24: length = 3 * Count; break;
    default: break;
  }
  auto bit = [s](int32_t x) { return (s[x >> 3] >> (7 - (x & 7))) & 1; };
  auto nibble = [s](int32_t x) { return (x & 1) ? s[x >> 1] & 15 : s[x >> 1] >> 4; };
  auto putNibble = [d](int32_t x, int32_t v) { d[x >> 1] |= static_cast<uint8_t>((x & 1) ? v & 15 : (v & 15) << 4); };
  auto color = [Palette, PaletteLength](int32_t i) {
    return Palette && i < PaletteLength ? Palette[i] : CreateRGB(0, 0, 0);
  };
  auto index = [Quantizer](const uint8_t* p) { return Quantizer ? Quantizer->RGBIndex(TIERGB{p[0], p[1], p[2]}) : 0; };
  auto* rgb = reinterpret_cast<TIERGB*>(d);
  const int pair = SrcBitCount * 100 + DestBitCount;
  switch (pair) {
    case 101: case 404: case 808: case 2424:
      std::memmove(d, s, static_cast<size_t>(length));
      break;
    case 104:
      std::memset(d, 0, static_cast<size_t>(length));
      for (int32_t x = 0; x < Count; ++x) putNibble(x, bit(x));
      break;
    case 108:
      for (int32_t x = 0; x < Count; ++x) d[x] = static_cast<uint8_t>(bit(x));
      break;
    case 124:
      for (int32_t x = 0; x < Count; ++x) rgb[x] = color(bit(x));
      break;
    case 408:
      for (int32_t x = 0; x < Count; ++x) d[x] = static_cast<uint8_t>(nibble(x));
      break;
    case 424:
      for (int32_t x = 0; x < Count; ++x) rgb[x] = color(nibble(x));
      break;
    case 801:
      std::memset(d, 0, static_cast<size_t>(length));
      for (int32_t x = 0; x < Count; ++x)
        if (s[x]) d[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      break;
    case 824:
      for (int32_t x = 0; x < Count; ++x) rgb[x] = color(s[x]);
      break;
    case 2404:
      std::memset(d, 0, static_cast<size_t>(length));
      for (int32_t x = 0; x < Count; ++x) putNibble(x, index(s + 3 * x));
      break;
    case 2408:
      for (int32_t x = 0; x < Count; ++x) d[x] = static_cast<uint8_t>(index(s + 3 * x));
      break;
    case 3224:
      for (int32_t x = 0; x < Count; ++x) std::memcpy(d + 3 * x, s + 4 * x, 3);
      break;
    default:
      break;
  }
  return length;
}
