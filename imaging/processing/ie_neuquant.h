#pragma once
// The NeuQuant neural-network colour quantizer: a one-dimensional self-organising network of N
// neurons learns the colours of a sample of the image's pixels; the neurons become the palette and
// a colour maps to the nearest neuron, found through an index on the green value.
#include <cstdint>
#include <vector>

#include "imaging/core/ie_rgb.h"

class TIEBitmap;

// True when the processor runs the learning's vector contest (AVX2).
bool NeuQuantSimdAvailable();
// Turns the vector contest on (the default, where available) or off for networks made afterwards:
// a switch for comparisons and tests. Both give the same network.
void SetNeuQuantSimd(bool Enabled);

class TIENeuQuant {
 public:
  // Learns the colours of Bitmap (ie24RGB) with N neurons (at least 1). Quality 0..100 sets the
  // sampling (100 samples every pixel, 0 one pixel in 30); -1 derives it from the image area.
  TIENeuQuant(TIEBitmap& Bitmap, int32_t N, int32_t Quality);

  // The sampling factor: one pixel in this many is learnt (1..30).
  static int32_t SampleFactor(int64_t Area, int32_t Quality);

  // Palette[0..N-1] = the neurons in their order.
  void WritePalette(TIERGB* Palette) const;
  // The palette index of the neuron nearest to Color (|dB| + |dG| + |dR|): 0..N-1.
  int32_t Lookup(TIERGB Color) const;

  int32_t SampleFactorUsed() const { return samplefac_; }

 private:
  struct Neuron {
    int32_t b, g, r, index;
  };
  // While learning the neurons' colours are kept as three arrays, so that the distance of every
  // neuron to a sample is computed in one vectorised pass.
  void Learn(TIEBitmap& bitmap);
  int32_t Contest(int32_t b, int32_t g, int32_t r);
  void AlterSingle(int32_t alpha, int32_t i, int32_t b, int32_t g, int32_t r);
  void AlterNeighbours(int32_t rad, int32_t i, int32_t b, int32_t g, int32_t r);
  void ComputeRadPower(int32_t rad, int32_t alpha);
  void Unbias();
  void BuildIndex();

  int32_t netsize_;
  bool simd_;
  int32_t samplefac_ = 1;
  std::vector<int32_t> nb_, ng_, nr_;
  std::vector<int32_t> dist_, biasdist_;
  std::vector<Neuron> network_;  // after learning: sorted by green
  std::vector<Neuron> palette_;  // the unbiased neurons in palette order
  int32_t netindex_[256] = {};
  std::vector<int32_t> bias_;
  std::vector<int32_t> freq_;
  std::vector<int32_t> radpower_;
};
