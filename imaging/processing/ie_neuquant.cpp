#include "imaging/processing/ie_neuquant.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

#include "imaging/core/ie_bitmap.h"

namespace {

constexpr int32_t kNetBiasShift = 4;      // colour values carry 4 extra bits
constexpr int32_t kCycles = 100;          // learning cycles (alpha and radius shrink after each)
constexpr int32_t kIntBiasShift = 16;     // bias of frequencies and biases
constexpr int32_t kIntBias = 1 << kIntBiasShift;
constexpr int32_t kGammaShift = 10;
constexpr int32_t kBetaShift = 10;
constexpr int32_t kBeta = kIntBias >> kBetaShift;                           // 64
constexpr int32_t kBetaGamma = kIntBias << (kGammaShift - kBetaShift);      // 65536
constexpr int32_t kRadiusBiasShift = 6;
constexpr int32_t kRadiusDec = 30;
constexpr int32_t kAlphaBiasShift = 10;
constexpr int32_t kInitAlpha = 1 << kAlphaBiasShift;                        // 1024
constexpr int32_t kRadBiasShift = 8;
constexpr int32_t kRadBias = 1 << kRadBiasShift;                            // 256
constexpr int32_t kAlphaRadBias = 1 << (kAlphaBiasShift + kRadBiasShift);   // 2^18
constexpr int32_t kPrimes[4] = {499, 491, 487, 503};

std::atomic<bool> g_simdEnabled{true};

}  // namespace

int32_t TIENeuQuant::SampleFactor(int64_t Area, int32_t Quality) {
  if (Quality < 0) {
    if (Area < 2000) return 1;
    const double f = std::nearbyint((13.0 * static_cast<double>(Area) - 26000.0) / 148000.0 + 2.0);
    return f < 1 ? 1 : (f > 30 ? 30 : static_cast<int32_t>(f));
  }
  if (Quality > 100) Quality = 100;
  return static_cast<int32_t>((100 - Quality) / 100.0 * 29) + 1;
}

TIENeuQuant::TIENeuQuant(TIEBitmap& Bitmap, int32_t N, int32_t Quality)
    : netsize_(N < 1 ? 1 : N), simd_(NeuQuantSimdAvailable() && g_simdEnabled.load(std::memory_order_relaxed)) {
  nb_.resize(netsize_);
  ng_.resize(netsize_);
  nr_.resize(netsize_);
  dist_.resize(netsize_);
  biasdist_.resize(netsize_);
  bias_.assign(netsize_, 0);
  freq_.assign(netsize_, kIntBias / netsize_);
  radpower_.assign(netsize_ >> 3, 0);
  for (int32_t i = 0; i < netsize_; ++i)
    nb_[i] = ng_[i] = nr_[i] = static_cast<int32_t>((static_cast<int64_t>(i) << (kNetBiasShift + 8)) / netsize_);
  const int64_t area = static_cast<int64_t>(Bitmap.GetWidth()) * Bitmap.GetHeight();
  samplefac_ = SampleFactor(area, Quality);
  if (area > 0 && Bitmap.GetPixelFormat() == ie24RGB) Learn(Bitmap);
  Unbias();
  palette_ = network_;
  BuildIndex();
}

void TIENeuQuant::ComputeRadPower(int32_t rad, int32_t alpha) {
  // Only for i < rad: rad is 0 once the radius has shrunk, and then nothing is computed.
  const int64_t rad2 = static_cast<int64_t>(rad) * rad;
  for (int32_t i = 0; i < rad && i < static_cast<int32_t>(radpower_.size()); ++i)
    radpower_[i] = static_cast<int32_t>(alpha * (((rad2 - static_cast<int64_t>(i) * i) * kRadBias) / rad2));
}

void TIENeuQuant::Learn(TIEBitmap& bitmap) {
  const int32_t width = bitmap.GetWidth();
  const int64_t area = static_cast<int64_t>(width) * bitmap.GetHeight();
  const int64_t lengthcount = area * 3;
  const int32_t alphadec = 30 + (samplefac_ - 1) / 3;
  const int64_t samplepixels = lengthcount / (3 * samplefac_);
  int64_t delta = samplepixels / kCycles;
  if (delta < 1) delta = 1;
  int32_t alpha = kInitAlpha;
  int32_t radius = (netsize_ >> 3) << kRadiusBiasShift;
  int32_t rad = radius >> kRadiusBiasShift;
  if (rad <= 1) rad = 0;
  ComputeRadPower(rad, alpha);

  int64_t step = kPrimes[3];
  for (int k = 0; k < 3; ++k)
    if (lengthcount % kPrimes[k] != 0) {
      step = kPrimes[k];
      break;
    }
  step %= area;

  // Consecutive samples lie a few hundred pixels apart, so the row changes rarely.
  TIERowAccessScope readOnly(bitmap, iraRead);
  int32_t rowIndex = -1;
  const uint8_t* row = nullptr;
  int64_t p = 0;
  for (int64_t i = 1; i <= samplepixels; ++i) {
    const int32_t y = static_cast<int32_t>(p / width);
    if (y != rowIndex) {
      row = bitmap.Row<uint8_t>(y);
      rowIndex = y;
    }
    const uint8_t* px = row + 3 * (p % width);
    const int32_t b = px[0] << kNetBiasShift, g = px[1] << kNetBiasShift, r = px[2] << kNetBiasShift;
    const int32_t j = Contest(b, g, r);
    AlterSingle(alpha, j, b, g, r);
    if (rad) AlterNeighbours(rad, j, b, g, r);
    p += step;
    if (p >= area) p -= area;
    if (i % delta == 0) {
      alpha -= alpha / alphadec;
      radius -= radius / kRadiusDec;
      rad = radius >> kRadiusBiasShift;
      if (rad <= 1) rad = 0;
      ComputeRadPower(rad, alpha);
    }
  }
}

namespace {

// The contest over neurons [0, n): distances into dist and biasdist, decay of freq into bias, and
// the smallest of each distance, in one pass over plain arrays that never overlap.
void ContestPass(int32_t n, const int32_t* __restrict nb, const int32_t* __restrict ng, const int32_t* __restrict nr,
                 int32_t b, int32_t g, int32_t r, int32_t* __restrict dist, int32_t* __restrict biasdist,
                 int32_t* __restrict freq, int32_t* __restrict bias, int32_t& bestd, int32_t& bestbiasd) {
  int32_t md = INT32_MAX, mbd = INT32_MAX;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t d = std::abs(nb[i] - b) + std::abs(ng[i] - g) + std::abs(nr[i] - r);
    const int32_t bd = d - (bias[i] >> (kIntBiasShift - kNetBiasShift));
    dist[i] = d;
    biasdist[i] = bd;
    md = d < md ? d : md;
    mbd = bd < mbd ? bd : mbd;
    const int32_t betafreq = freq[i] >> kBetaShift;
    freq[i] -= betafreq;
    bias[i] += betafreq << kGammaShift;
  }
  bestd = md;
  bestbiasd = mbd;
}

// The first index of Value in A[0, n).
int32_t FirstOf(const int32_t* a, int32_t n, int32_t value) {
  int32_t i = 0;
  while (i < n && a[i] != value) ++i;
  return i;
}

#define IE_AVX2 __attribute__((target("avx2")))

IE_AVX2 inline __m256i load(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
IE_AVX2 inline void store(int32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// ContestPass eight neurons a step, with the same integer operations (the compiler does not
// vectorise the loop at -O2: its trip count is not known).
IE_AVX2 void ContestPassAvx2(int32_t n, const int32_t* __restrict nb, const int32_t* __restrict ng,
                             const int32_t* __restrict nr, int32_t b, int32_t g, int32_t r, int32_t* __restrict dist,
                             int32_t* __restrict biasdist, int32_t* __restrict freq, int32_t* __restrict bias,
                             int32_t& bestd, int32_t& bestbiasd) {
  const __m256i vb = _mm256_set1_epi32(b), vg = _mm256_set1_epi32(g), vr = _mm256_set1_epi32(r);
  __m256i md = _mm256_set1_epi32(INT32_MAX), mbd = md;
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i d = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_abs_epi32(_mm256_sub_epi32(load(nb + i), vb)), _mm256_abs_epi32(_mm256_sub_epi32(load(ng + i), vg))),
        _mm256_abs_epi32(_mm256_sub_epi32(load(nr + i), vr)));
    const __m256i bi = load(bias + i);
    const __m256i bd = _mm256_sub_epi32(d, _mm256_srai_epi32(bi, kIntBiasShift - kNetBiasShift));
    store(dist + i, d);
    store(biasdist + i, bd);
    md = _mm256_min_epi32(md, d);
    mbd = _mm256_min_epi32(mbd, bd);
    const __m256i f = load(freq + i);
    const __m256i betafreq = _mm256_srai_epi32(f, kBetaShift);
    store(freq + i, _mm256_sub_epi32(f, betafreq));
    store(bias + i, _mm256_add_epi32(bi, _mm256_slli_epi32(betafreq, kGammaShift)));
  }
  alignas(32) int32_t lanes[2][8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[0]), md);
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[1]), mbd);
  int32_t tailD, tailBD;
  ContestPass(n - i, nb + i, ng + i, nr + i, b, g, r, dist + i, biasdist + i, freq + i, bias + i, tailD, tailBD);
  bestd = std::min(tailD, *std::min_element(lanes[0], lanes[0] + 8));
  bestbiasd = std::min(tailBD, *std::min_element(lanes[1], lanes[1] + 8));
}

// FirstOf eight at a time.
IE_AVX2 int32_t FirstOfAvx2(const int32_t* a, int32_t n, int32_t value) {
  const __m256i v = _mm256_set1_epi32(value);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const int mask = _mm256_movemask_ps(
        _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)), v)));
    if (mask) return i + __builtin_ctz(static_cast<unsigned>(mask));
  }
  return i + FirstOf(a + i, n - i, value);
}

}  // namespace

bool NeuQuantSimdAvailable() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

void SetNeuQuantSimd(bool Enabled) { g_simdEnabled.store(Enabled, std::memory_order_relaxed); }

int32_t TIENeuQuant::Contest(int32_t b, int32_t g, int32_t r) {
  // Every neuron's distance, and its distance less its bias; meanwhile every frequency decays and
  // feeds the bias. Then the first neuron of each minimum.
  int32_t bestd, bestbiasd, bestpos, bestbiaspos;
  int32_t* dist = dist_.data();
  int32_t* biasdist = biasdist_.data();
  if (simd_) {
    ContestPassAvx2(netsize_, nb_.data(), ng_.data(), nr_.data(), b, g, r, dist, biasdist, freq_.data(), bias_.data(),
                    bestd, bestbiasd);
    bestpos = FirstOfAvx2(dist, netsize_, bestd);
    bestbiaspos = FirstOfAvx2(biasdist, netsize_, bestbiasd);
  } else {
    ContestPass(netsize_, nb_.data(), ng_.data(), nr_.data(), b, g, r, dist, biasdist, freq_.data(), bias_.data(),
                bestd, bestbiasd);
    bestpos = FirstOf(dist, netsize_, bestd);
    bestbiaspos = FirstOf(biasdist, netsize_, bestbiasd);
  }
  freq_[bestpos] += kBeta;
  bias_[bestpos] -= kBetaGamma;
  return bestbiaspos;
}

void TIENeuQuant::AlterSingle(int32_t alpha, int32_t i, int32_t b, int32_t g, int32_t r) {
  nb_[i] -= (alpha * (nb_[i] - b)) / kInitAlpha;
  ng_[i] -= (alpha * (ng_[i] - g)) / kInitAlpha;
  nr_[i] -= (alpha * (nr_[i] - r)) / kInitAlpha;
}

void TIENeuQuant::AlterNeighbours(int32_t rad, int32_t i, int32_t b, int32_t g, int32_t r) {
  const int32_t lo = i - rad < -1 ? -1 : i - rad;
  const int32_t hi = i + rad > netsize_ ? netsize_ : i + rad;
  int32_t j = i + 1, k = i - 1, q = 0;
  auto move = [&](int32_t m, int64_t a) {
    nb_[m] -= static_cast<int32_t>((a * (nb_[m] - b)) / kAlphaRadBias);
    ng_[m] -= static_cast<int32_t>((a * (ng_[m] - g)) / kAlphaRadBias);
    nr_[m] -= static_cast<int32_t>((a * (nr_[m] - r)) / kAlphaRadBias);
  };
  while (j < hi || k > lo) {
    const int64_t a = radpower_[++q];
    if (j < hi) move(j++, a);
    if (k > lo) move(k--, a);
  }
}

void TIENeuQuant::Unbias() {
  auto unbias = [](int32_t v) {
    const int32_t u = (v + (1 << (kNetBiasShift - 1))) >> kNetBiasShift;
    return u < 0 ? 0 : (u > 255 ? 255 : u);
  };
  network_.resize(netsize_);
  for (int32_t i = 0; i < netsize_; ++i) network_[i] = Neuron{unbias(nb_[i]), unbias(ng_[i]), unbias(nr_[i]), i};
}

void TIENeuQuant::BuildIndex() {
  // Selection sort by green, then netindex[g] = a start position for the search of green g.
  const int32_t maxnetpos = netsize_ - 1;
  int32_t previouscol = 0, startpos = 0;
  for (int32_t i = 0; i < netsize_; ++i) {
    int32_t smallpos = i, smallval = network_[i].g;
    for (int32_t j = i + 1; j < netsize_; ++j)
      if (network_[j].g < smallval) {
        smallpos = j;
        smallval = network_[j].g;
      }
    if (smallpos != i) std::swap(network_[i], network_[smallpos]);
    if (smallval != previouscol) {
      netindex_[previouscol] = (startpos + i) >> 1;
      for (int32_t j = previouscol + 1; j < smallval; ++j) netindex_[j] = i;
      previouscol = smallval;
      startpos = i;
    }
  }
  netindex_[previouscol] = (startpos + maxnetpos) >> 1;
  for (int32_t j = previouscol + 1; j < 256; ++j) netindex_[j] = maxnetpos;
}

void TIENeuQuant::WritePalette(TIERGB* Palette) const {
  for (int32_t i = 0; i < netsize_; ++i)
    Palette[i] = TIERGB{static_cast<uint8_t>(palette_[i].b), static_cast<uint8_t>(palette_[i].g),
                        static_cast<uint8_t>(palette_[i].r)};
}

int32_t TIENeuQuant::Lookup(TIERGB Color) const {
  const int32_t b = Color.b, g = Color.g, r = Color.r;
  int32_t bestd = 1000, best = -1;
  // A neuron whose green lies ahead by greenAhead in the direction of the walk (negative when it
  // lies behind): false when it, and with it the rest of the walk, is too far; else it becomes the
  // best when nearer.
  auto visit = [&](const Neuron& n, int32_t greenAhead) {
    if (greenAhead >= bestd) return false;
    int32_t dist = std::abs(greenAhead) + std::abs(n.b - b);
    if (dist < bestd) {
      dist += std::abs(n.r - r);
      if (dist < bestd) {
        bestd = dist;
        best = n.index;
      }
    }
    return true;
  };
  // From the index of g, upwards (i) and downwards (j) in turn.
  int32_t i = netindex_[g], j = i - 1;
  while (i < netsize_ || j >= 0) {
    if (i < netsize_) i = visit(network_[i], network_[i].g - g) ? i + 1 : netsize_;
    if (j >= 0) j = visit(network_[j], g - network_[j].g) ? j - 1 : -1;
  }
  // Every colour lies within 765 of every neuron, so one is always found.
  return best < 0 ? 0 : best;
}
