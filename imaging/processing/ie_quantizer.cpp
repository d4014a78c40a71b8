#include "imaging/processing/ie_quantizer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_box_quantizer.h"
#include "imaging/processing/ie_neuquant.h"

namespace {

inline uint32_t Key(TIERGB c) { return static_cast<uint32_t>(RGBToInt(c)); }
inline uint32_t Hash(uint32_t key, uint32_t mask) { return (key * 2654435761u >> 7) & mask; }

// The bits of a byte spread to every third place: bit i to bit 3 i.
constexpr auto kSpread = [] {
  std::array<uint32_t, 256> t{};
  for (uint32_t v = 0; v < 256; ++v)
    for (uint32_t i = 0; i < 8; ++i) t[v] |= ((v >> i) & 1u) << (3 * i);
  return t;
}();

// A colour's place in the table of all colours with the bits of red, green and blue interleaved:
// colours a few levels apart (the neighbouring pixels of a photograph) then share a few cache
// lines instead of lying 64K entries apart.
inline uint32_t InterleavedKey(TIERGB c) { return kSpread[c.r] << 2 | kSpread[c.g] << 1 | kSpread[c.b]; }

// NeuQuant's answers: one entry per colour from this many pixels on, else a cache of 2^kCacheBits.
constexpr int64_t kDirectAnswers = int64_t{1} << 20;
constexpr int32_t kCacheBits = 16;
constexpr size_t kCacheSize = size_t{1} << kCacheBits;

// The first entry nearest to Color (|dR| + |dG| + |dB|); 0 for an empty palette.
int32_t NearestEntry(const std::vector<TIERGB>& palette, TIERGB color) {
  int32_t best = 0, bestDistance = INT32_MAX;
  for (size_t i = 0; i < palette.size(); ++i) {
    const TIERGB p = palette[i];
    const int32_t d = std::abs(p.r - color.r) + std::abs(p.g - color.g) + std::abs(p.b - color.b);
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int32_t>(i);
      if (d == 0) break;
    }
  }
  return best;
}

}  // namespace

TIEQuantizer::TIEQuantizer(TIEBitmap& Bitmap, std::span<TIERGB> Palette, int32_t /*Extra*/, int32_t N)
    : bitmap_(Bitmap) {
  n_ = std::clamp<int64_t>(N, 1, std::max<int64_t>(1, static_cast<int64_t>(Palette.size())));
  if (Palette.empty()) return;
  const TIEPixelFormat format = Bitmap.GetPixelFormat();
  gray_ = Bitmap.IsGrayScale();

  if (format == ie8p) {
    // The image's own palette, as far as it goes: an index is only ever one of these entries.
    indexed_ = true;
    colorCount_ = std::min(n_, Bitmap.GetPaletteLength());
    const TIERGB* own = Bitmap.GetPaletteBuffer();
    if (!own) colorCount_ = 0;
    entries_.assign(own, own + colorCount_);
    std::copy(entries_.begin(), entries_.end(), Palette.begin());
    return;
  }
  if (gray_ || format != ie24RGB) {
    if (!gray_) return;  // a colour image of another format gets no palette
    for (int32_t i = 0; i < n_; ++i) {
      const uint8_t v = static_cast<uint8_t>(256.0 / n_ * i);
      Palette[i] = TIERGB{v, v, v};
    }
    colorCount_ = n_;
    return;
  }
  if (BuildExactPalette(Palette)) return;

  const bool box = QuantizerMethod == 1 || (QuantizerMethod == -1 && n_ < 128);
  colorCount_ = n_;
  if (box) {
    method_ = qmBoxSplitting;
    boxQuant_ = std::make_unique<TIEBoxQuantizer>();
    TIERowAccessScope readOnly(Bitmap, iraRead);
    const int32_t width = Bitmap.GetWidth();
    for (int32_t y = 0; y < Bitmap.GetHeight(); ++y) boxQuant_->AddPixels(Bitmap.Row<uint8_t>(y), width);
    colorCount_ = boxQuant_->Build(Palette.data(), n_);
  } else {
    method_ = qmNeuQuant;
    neuQuant_ = std::make_unique<TIENeuQuant>(Bitmap, n_, NeuQuantQuality);
    neuQuant_->WritePalette(Palette.data());
    if (static_cast<int64_t>(Bitmap.GetWidth()) * Bitmap.GetHeight() >= kDirectAnswers)
      answers_.reset(static_cast<uint16_t*>(std::calloc(size_t{1} << 24, sizeof(uint16_t))));
    if (!answers_) cache_.assign(kCacheSize, 0);
  }
}

TIEQuantizer::~TIEQuantizer() = default;

bool TIEQuantizer::BuildExactPalette(std::span<TIERGB> palette) {
  // A table at least twice the largest palette keeps the probes short.
  uint32_t size = 16;
  while (size < static_cast<uint32_t>(n_) * 2 + 2) size <<= 1;
  const uint32_t mask = size - 1;
  slots_.assign(size, -1);
  exact_.clear();
  exact_.reserve(n_);

  TIERowAccessScope readOnly(bitmap_, iraRead);
  const int32_t width = bitmap_.GetWidth();
  const int32_t height = bitmap_.GetHeight();
  uint32_t lastKey = UINT32_MAX;  // runs of one colour are looked up once
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* px = bitmap_.Row<uint8_t>(y);
    for (int32_t x = 0; x < width; ++x, px += 3) {
      const TIERGB c{px[0], px[1], px[2]};
      const uint32_t key = Key(c);
      if (key == lastKey) continue;
      lastKey = key;
      uint32_t slot = Hash(key, mask);
      while (slots_[slot] >= 0 && Key(exact_[slots_[slot]]) != key) slot = (slot + 1) & mask;
      if (slots_[slot] >= 0) continue;
      if (static_cast<int32_t>(exact_.size()) >= n_) {
        exact_.clear();
        slots_.clear();
        return false;
      }
      slots_[slot] = static_cast<int32_t>(exact_.size());
      exact_.push_back(c);
    }
  }
  std::copy(exact_.begin(), exact_.end(), palette.begin());
  entries_ = exact_;
  colorCount_ = static_cast<int32_t>(exact_.size());
  if (exact_.empty()) {
    // An empty image has no colours; keep one black entry so that index 0 is valid.
    exact_.push_back(TIERGB{0, 0, 0});
    palette[0] = exact_[0];
    entries_ = exact_;
    colorCount_ = 1;
    slots_[Hash(0, mask)] = 0;
  }
  return true;
}

int32_t TIEQuantizer::FindColor3(TIERGB color) const {
  const uint32_t mask = static_cast<uint32_t>(slots_.size()) - 1;
  const uint32_t key = Key(color);
  for (uint32_t slot = Hash(key, mask);; slot = (slot + 1) & mask) {
    const int32_t index = slots_[slot];
    if (index < 0) return -1;
    if (Key(exact_[index]) == key) return index;
  }
}

int32_t TIEQuantizer::Nearest(TIERGB color) const { return NearestEntry(entries_, color); }

void TIEQuantizer::FreeDeleter::operator()(uint16_t* p) const { std::free(p); }

int32_t TIEQuantizer::NeuQuantIndex(TIERGB color) const {
  const uint32_t key = Key(color);
  if (answers_) {
    std::atomic_ref<uint16_t> entry(answers_.get()[InterleavedKey(color)]);
    const uint16_t known = entry.load(std::memory_order_relaxed);
    if (known) return known - 1;
    const int32_t index = neuQuant_->Lookup(color);
    entry.store(static_cast<uint16_t>(index + 1), std::memory_order_relaxed);
    return index;
  }
  std::atomic_ref<uint64_t> entry(cache_[(key * 2654435761u) >> (32 - kCacheBits)]);
  const uint64_t known = entry.load(std::memory_order_relaxed);
  if ((known >> 8) == key + 1) return static_cast<int32_t>(known & 255);
  const int32_t index = neuQuant_->Lookup(color);
  entry.store((uint64_t{key} + 1) << 8 | static_cast<uint64_t>(index), std::memory_order_relaxed);
  return index;
}

int32_t TIEQuantizer::RGBIndex(TIERGB Color) const {
  if (!exact_.empty()) {
    const int32_t index = FindColor3(Color);
    return index >= 0 ? index : Nearest(Color);
  }
  if (indexed_) {
    // The entry holding the colour, or the nearest one.
    return colorCount_ > 0 ? Nearest(Color) : 0;
  }
  if (gray_) return colorCount_ > 0 ? Color.r * n_ / 256 : 0;
  if (neuQuant_) return NeuQuantIndex(Color);
  if (boxQuant_) return std::min(boxQuant_->Lookup(Color), colorCount_ - 1);
  return 0;
}

void TIEQuantizer::IndexRow(const uint8_t* Src, uint8_t* Dst, int32_t Width) const {
  if (neuQuant_) {
    // Neighbouring pixels often share a colour: its answer is reused without a look-up.
    uint32_t lastKey = UINT32_MAX;
    uint8_t last = 0;
    for (int32_t x = 0; x < Width; ++x, Src += 3) {
      const TIERGB c{Src[0], Src[1], Src[2]};
      const uint32_t key = Key(c);
      if (key != lastKey) {
        lastKey = key;
        last = static_cast<uint8_t>(NeuQuantIndex(c));
      }
      Dst[x] = last;
    }
    return;
  }
  for (int32_t x = 0; x < Width; ++x, Src += 3) Dst[x] = static_cast<uint8_t>(RGBIndex(TIERGB{Src[0], Src[1], Src[2]}));
}
