// The blend operations. Operations 0..30 treat blue, green and red alike, so a row of them is one
// loop over plain bytes; 31..42 work on whole pixels. Each operation is its own instantiated loop,
// chosen once per row through a table.
#include "imaging/core/ie_blend.h"

#include <cmath>
#include <array>
#include <cstdlib>
#include <utility>

#include "imaging/core/ie_color_models.h"
#include "imaging/core/ie_int_math.h"
#include "imaging/core/ie_settings.h"

namespace {

// Soft light in doubles, with c = s / 255 and e = d / 255.
int32_t SoftLight(int32_t s, int32_t d) {
  const double c = s / 255.0;
  const double e = d / 255.0;
  const double v = c < 0.5 ? e * e * (1 - 2 * c) + 2 * e * c : std::sqrt(e) * (2 * c - 1) + 2 * e * (1 - c);
  return static_cast<int32_t>(v * 255);
}

// Soft light of every (s, d) pair, entry s * 256 + d, made on first use.
const uint8_t* SoftLightTable() {
  static const std::array<uint8_t, 65536> table = [] {
    std::array<uint8_t, 65536> t{};
    for (int32_t s = 0; s < 256; ++s)
      for (int32_t d = 0; d < 256; ++d) t[s * 256 + d] = static_cast<uint8_t>(SoftLight(s, d));
    return t;
  }();
  return table.data();
}

// One channel: s the source value, d the destination value (0..255 each). The result is stored as
// a byte; operations that can leave 0..255 keep their low 8 bits.
template <int Op>
inline int32_t BlendChannel(int32_t s, int32_t d) {
  if constexpr (Op == 0) return s;
  if constexpr (Op == 1) return s + d > 255 ? 255 : s + d;
  if constexpr (Op == 2) return std::abs(d - s);
  if constexpr (Op == 3) return d / (s < 1 ? 1 : s);  // never above 255
  if constexpr (Op == 4) return (s * d) >> 8;
  if constexpr (Op == 5) return d | s;
  if constexpr (Op == 6) return d & s;
  if constexpr (Op == 7) return d ^ s;
  if constexpr (Op == 8) return d > s ? d : s;
  if constexpr (Op == 9) return d < s ? d : s;
  if constexpr (Op == 10) return (d + s) >> 1;
  // Trunc(255 - x / 255) with x >= 0 is 255 - ceil(x / 255).
  if constexpr (Op == 11) return 255 - ((255 - d) * (255 - s) + 254) / 255;
  if constexpr (Op == 12) return 255 - std::abs(255 - s - d);
  if constexpr (Op == 13) return d + s - (s * d) / 128;
  if constexpr (Op == 14) return d >= 128 ? 255 - (((255 - d) * (255 - s)) >> 7) : (s * d) >> 7;
  if constexpr (Op == 15) return s >= 128 ? 255 - (((255 - s) * (255 - d)) >> 7) : (d * s) >> 7;
  if constexpr (Op == 17) {
    const int32_t k = 255 - (((255 - d) * (255 - s)) >> 8) - ((s * d) >> 8);
    return ((s * d) >> 8) + ((d * k) >> 8);
  }
  if constexpr (Op == 18) return s == 255 ? 255 : ClampByte(d * 256 / (255 - s));
  if constexpr (Op == 19) return s == 0 ? 0 : ClampByte(255 - ((255 - d) * 256) / s);
  if constexpr (Op == 20) return d == 255 ? 255 : ClampByte(s * 256 / (255 - d));
  if constexpr (Op == 21) return d == 0 ? 0 : ClampByte(255 - ((255 - s) * 256) / d);
  // In the second branches s + d >= 256, so the divisor is at least 1.
  if constexpr (Op == 22)
    return s + d < 256 ? (s == 255 ? 255 : ClampByte(d * 128 / (255 - s))) : ClampByte(255 - ((255 - s) * 128) / d);
  if constexpr (Op == 23)
    return s + d < 256 ? (d == 255 ? 255 : ClampByte(s * 128 / (255 - d))) : ClampByte(255 - ((255 - d) * 128) / s);
  if constexpr (Op == 24) return s == 255 ? 255 : ClampByte(d * d / (255 - s));
  if constexpr (Op == 25) return d == 255 ? 255 : ClampByte(s * s / (255 - d));
  if constexpr (Op == 26) return s == 0 ? 0 : ClampByte(255 - (255 - d) * (255 - d) / s);
  if constexpr (Op == 27) return d == 0 ? 0 : ClampByte(255 - (255 - s) * (255 - s) / d);
  if constexpr (Op == 28) return ClampByte(d + s - 256);
  if constexpr (Op == 29) {
    const int32_t v = BlendCosineTable[s] + BlendCosineTable[d];
    return v > 255 ? 255 : v;
  }
  if constexpr (Op == 30) return ClampByte(d + 2 * s - 256);
  return d;
}

// Blocks of a fixed 32 bytes, so that the vectoriser of an -O2 build (which takes only loops whose
// vector code replaces the scalar code entirely) turns each block into a few vector steps.
template <int Op>
void ChannelBytes(const uint8_t* __restrict s, uint8_t* __restrict d, int32_t n) {
  if constexpr (Op == 16) {
    // Soft light goes through its table of all pairs.
    const uint8_t* table = SoftLightTable();
    for (int32_t i = 0; i < n; ++i) d[i] = table[s[i] * 256 + d[i]];
    return;
  }
  constexpr int32_t kBlock = 32;
  int32_t i = 0;
  // The cosine table needs a gather per byte: plain scalar code is faster there.
  if constexpr (Op != 29)
    for (; i + kBlock <= n; i += kBlock)
      for (int32_t k = 0; k < kBlock; ++k) d[i + k] = static_cast<uint8_t>(BlendChannel<Op>(s[i + k], d[i + k]));
  for (; i < n; ++i) d[i] = static_cast<uint8_t>(BlendChannel<Op>(s[i], d[i]));
}

template <int Op>
void ChannelRow(const TIERGB* Source, TIERGB* Dest, int32_t Count, int32_t) {
  const uint8_t* s = reinterpret_cast<const uint8_t*>(Source);
  uint8_t* d = reinterpret_cast<uint8_t*>(Dest);
  const int32_t n = Count * 3;
  if (s == d) {
    // A row blended with itself: each byte reads only its own value.
    if constexpr (Op == 16) {
      const uint8_t* table = SoftLightTable();
      for (int32_t i = 0; i < n; ++i) d[i] = table[d[i] * 257];
    } else {
      for (int32_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(BlendChannel<Op>(d[i], d[i]));
    }
    return;
  }
  ChannelBytes<Op>(s, d, n);
}

// Operations 34..37: hue, saturation and lightness taken from the source or the destination.
template <bool SrcHue, bool SrcSat, bool SrcLum>
void HSLRow(const TIERGB* Source, TIERGB* Dest, int32_t Count, int32_t) {
  for (int32_t i = 0; i < Count; ++i) {
    double sh, ss, sl, dh, ds, dl;
    RGBToHSL(sh, ss, sl, Source[i]);
    RGBToHSL(dh, ds, dl, Dest[i]);
    HSLToRGB(Dest[i], SrcHue ? sh : dh, SrcSat ? ss : ds, SrcLum ? sl : dl);
  }
}

uint8_t RoundToByte(double v) {
  const double r = std::nearbyint(v);
  return r <= 0 ? 0 : (r >= 255 ? 255 : static_cast<uint8_t>(r));
}

template <int Op>
void PixelRow(const TIERGB* Source, TIERGB* Dest, int32_t Count, int32_t Row) {
  if constexpr (Op == 31) {
    for (int32_t i = 0; i < Count; ++i) Dest[i].r = Source[i].r;
  } else if constexpr (Op == 32) {
    for (int32_t i = 0; i < Count; ++i) Dest[i].g = Source[i].g;
  } else if constexpr (Op == 33) {
    for (int32_t i = 0; i < Count; ++i) Dest[i].b = Source[i].b;
  } else if constexpr (Op == 38) {
    // Red-cyan anaglyph of grey levels: the left (destination) image in red.
    for (int32_t i = 0; i < Count; ++i) {
      const uint8_t left = static_cast<uint8_t>(RGBToGray(Dest[i]));
      const uint8_t right = static_cast<uint8_t>(RGBToGray(Source[i]));
      Dest[i] = TIERGB{right, right, left};
    }
  } else if constexpr (Op == 39) {
    for (int32_t i = 0; i < Count; ++i) {
      Dest[i].g = Source[i].g;
      Dest[i].b = Source[i].b;
    }
  } else if constexpr (Op == 40) {
    // Least-squares anaglyph: left image = destination, right image = source.
    for (int32_t i = 0; i < Count; ++i) {
      const double dr = Dest[i].r, dg = Dest[i].g, db = Dest[i].b;
      const double sr = Source[i].r, sg = Source[i].g, sb = Source[i].b;
      const uint8_t r = RoundToByte(0.4561 * dr + 0.500484 * dg + 0.176381 * db - 0.0434706 * sr - 0.0879388 * sg -
                                    0.00155529 * sb);
      const uint8_t g = RoundToByte(-0.0400822 * dr - 0.0378246 * dg - 0.0157589 * db + 0.378476 * sr +
                                    0.73364 * sg - 0.0184503 * sb);
      const uint8_t b = RoundToByte(-0.0152161 * dr - 0.0205971 * dg - 0.00546856 * db - 0.0721527 * sr -
                                    0.112961 * sg + 1.2264 * sb);
      Dest[i] = TIERGB{b, g, r};
    }
  } else if constexpr (Op == 41 || Op == 42) {
    const bool even = (Row & 1) == 0;
    if (even == (Op == 41))
      for (int32_t i = 0; i < Count; ++i) Dest[i] = Source[i];
  }
}

using TBlendRowProc = void (*)(const TIERGB*, TIERGB*, int32_t, int32_t);

template <int... Ops>
constexpr auto MakeChannelProcs(std::integer_sequence<int, Ops...>) {
  return std::array<TBlendRowProc, sizeof...(Ops)>{&ChannelRow<Ops>...};
}

const std::array<TBlendRowProc, kBlendOperationCount> kBlendProcs = [] {
  std::array<TBlendRowProc, kBlendOperationCount> t{};
  const auto channel = MakeChannelProcs(std::make_integer_sequence<int, 31>());
  for (size_t i = 0; i < channel.size(); ++i) t[i] = channel[i];
  t[31] = &PixelRow<31>;
  t[32] = &PixelRow<32>;
  t[33] = &PixelRow<33>;
  t[34] = &HSLRow<true, false, false>;
  t[35] = &HSLRow<false, true, false>;
  t[36] = &HSLRow<true, true, false>;
  t[37] = &HSLRow<true, false, true>;
  t[38] = &PixelRow<38>;
  t[39] = &PixelRow<39>;
  t[40] = &PixelRow<40>;
  t[41] = &PixelRow<41>;
  t[42] = &PixelRow<42>;
  return t;
}();

}  // namespace

void BlendPixel(const TIERGB& Source, TIERGB& Dest, int32_t Operation, int32_t Row) {
  if (Operation < 0 || Operation >= kBlendOperationCount) return;
  kBlendProcs[Operation](&Source, &Dest, 1, Row);
}

void BlendRow(const TIERGB* Source, TIERGB* Dest, int32_t Count, int32_t Operation, int32_t Row) {
  if (Operation < 0 || Operation >= kBlendOperationCount || Count <= 0) return;
  kBlendProcs[Operation](Source, Dest, Count, Row);
}
