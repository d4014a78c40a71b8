#include "imaging/processing/ie_box_quantizer.h"

#include <algorithm>
#include <cmath>

namespace {

// The score of a channel that cannot be split: a split is taken only below it.
constexpr double kFailedSplitScore = 17523.6;

}  // namespace

TIEBoxQuantizer::TIEBoxQuantizer() : histogram_(32768, 0), map_(32768, 0) {}

void TIEBoxQuantizer::AddPixels(const uint8_t* BGR, int32_t Count) {
  int64_t* h = histogram_.data();
  for (int32_t i = 0; i < Count; ++i, BGR += 3) ++h[Cell(BGR[2] >> 3, BGR[1] >> 3, BGR[0] >> 3)];
  total_ += Count > 0 ? Count : 0;
}

void TIEBoxQuantizer::ComputeStatistics(Box& box) const {
  box.variance = 0;
  for (int c = 0; c < 3; ++c) box.mean[c] = 0;
  if (box.count == 0 || total_ == 0) return;
  const double count = static_cast<double>(box.count);
  double variance = 0;
  for (int c = 0; c < 3; ++c) {
    double sum = 0, sumSquares = 0;
    for (int j = box.lo[c]; j < box.hi[c]; ++j) {
      const double h = static_cast<double>(box.hist[c][j]);
      sum += j * h;
      sumSquares += static_cast<double>(j) * j * h;
    }
    const double mean = sum / count;
    box.mean[c] = mean;
    variance += sumSquares - mean * mean * count;
  }
  box.variance = variance / static_cast<double>(total_);
}

void TIEBoxQuantizer::CountBox(Box& box) const {
  for (auto& channel : box.hist)
    for (int64_t& h : channel) h = 0;
  box.count = 0;
  for (int32_t r = box.lo[0]; r < box.hi[0]; ++r)
    for (int32_t g = box.lo[1]; g < box.hi[1]; ++g)
      for (int32_t b = box.lo[2]; b < box.hi[2]; ++b) {
        const int64_t n = histogram_[Cell(r, g, b)];
        if (n == 0) continue;
        box.hist[0][r] += n;
        box.hist[1][g] += n;
        box.hist[2][b] += n;
        box.count += n;
      }
}

void TIEBoxQuantizer::ShrinkBounds(Box& box) {
  for (int c = 0; c < 3; ++c) {
    int32_t first = box.lo[c], last = box.hi[c] - 1;
    while (first <= last && box.hist[c][first] == 0) ++first;
    while (last >= first && box.hist[c][last] == 0) --last;
    if (first <= last) {
      box.lo[c] = first;
      box.hi[c] = last + 1;
    }
  }
}

bool TIEBoxQuantizer::SplitChannel(const Box& box, int c, Box& lower, Box& upper) const {
  const int32_t lo = box.lo[c], hi = box.hi[c];
  if (hi - lo <= 1 || box.count <= 0) return false;
  const int64_t* h = box.hist[c];
  const double mean = box.mean[c];
  const double count = static_cast<double>(box.count);
  // The cut is searched between the middle of the lower half and the middle of the upper half.
  int32_t first = static_cast<int32_t>(std::nearbyint((lo + mean) / 2));
  int32_t last = static_cast<int32_t>(std::nearbyint((mean + hi) / 2));
  if (first < lo) first = lo;
  if (last > hi - 1) last = hi - 1;
  int64_t countLow = 0;
  for (int32_t j = lo; j < first; ++j) countLow += h[j];
  double t = 0, best = -1;
  int32_t cut = -1;
  for (int32_t e = first; e <= last; ++e) {
    countLow += h[e];
    if (countLow >= box.count) break;
    t += static_cast<double>(h[e]) * e / count;
    const double d = mean - t;
    const double score = static_cast<double>(countLow) / static_cast<double>(box.count - countLow) * d * d;
    if (score > best) {
      best = score;
      cut = e;
    }
  }
  if (cut < 0) return false;

  lower = box;
  lower.hi[c] = cut + 1;
  CountBox(lower);
  upper = box;
  upper.lo[c] = cut + 1;
  upper.count = box.count - lower.count;
  for (int ch = 0; ch < 3; ++ch)
    for (int j = 0; j < 32; ++j) upper.hist[ch][j] = box.hist[ch][j] - lower.hist[ch][j];
  if (lower.count == 0 || upper.count == 0) return false;
  ShrinkBounds(lower);
  ShrinkBounds(upper);
  ComputeStatistics(lower);
  ComputeStatistics(upper);
  return true;
}

bool TIEBoxQuantizer::Split(int32_t index, int32_t newIndex) {
  const Box& box = boxes_[index];
  double bestScore = kFailedSplitScore;
  Box bestLower, bestUpper, lower, upper;
  bool found = false;
  for (int c = 0; c < 3; ++c) {
    if (!SplitChannel(box, c, lower, upper)) continue;
    const double score = lower.variance + upper.variance;
    if (score < bestScore) {
      bestScore = score;
      bestLower = lower;
      bestUpper = upper;
      found = true;
    }
  }
  if (!found) return false;
  boxes_[index] = bestLower;
  boxes_[newIndex] = bestUpper;
  return true;
}

int32_t TIEBoxQuantizer::Build(TIERGB* Palette, int32_t N) {
  if (N < 1) N = 1;
  if (N > kMaxBoxes) N = kMaxBoxes;
  boxes_.assign(N, Box{});
  Box& first = boxes_[0];
  CountBox(first);
  ComputeStatistics(first);
  int32_t made = 1;
  while (made < N) {
    int32_t pick = -1;
    double largest = 0;
    for (int32_t i = 0; i < made; ++i)
      if (boxes_[i].variance > largest) {
        largest = boxes_[i].variance;
        pick = i;
      }
    if (pick < 0) break;
    if (Split(pick, made))
      ++made;
    else
      boxes_[pick].variance = 0;
  }
  boxes_.resize(made);

  for (int32_t i = 0; i < made; ++i) {
    const Box& box = boxes_[i];
    auto channel = [](double mean) { return static_cast<uint8_t>(static_cast<int32_t>(std::nearbyint(mean)) << 3); };
    if (Palette) Palette[i] = CreateRGB(channel(box.mean[0]), channel(box.mean[1]), channel(box.mean[2]));
  }
  std::fill(map_.begin(), map_.end(), uint8_t{0});
  for (int32_t i = 0; i < made; ++i) {
    const Box& box = boxes_[i];
    for (int32_t r = box.lo[0]; r < box.hi[0]; ++r)
      for (int32_t g = box.lo[1]; g < box.hi[1]; ++g)
        for (int32_t b = box.lo[2]; b < box.hi[2]; ++b) map_[Cell(r, g, b)] = static_cast<uint8_t>(i);
  }
  return made;
}
