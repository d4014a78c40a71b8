#include "pictures/gif_dither.h"

#include <algorithm>

#include "pictures/gif_color_lookup.h"

namespace {

uint8_t Clamp255(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

TDitherEngine::TDitherEngine(int32_t Width, TColorLookup* Lookup) : lookup_(Lookup), width_(std::max(Width, 1)) {}

uint8_t TDitherEngine::Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) {
  const uint8_t index = lookup_->Lookup(Red, Green, Blue, R, G, B);
  column_ += direction_;
  return index;
}

void TDitherEngine::NextLine() {
  direction_ = -direction_;
  column_ = direction_ > 0 ? 0 : width_ - 1;
}

// ---- Floyd-Steinberg ----------------------------------------------------------------------------
//
// The error row holds the next row's sums. Each pixel reads its column's entry and writes there the
// finished sum of the column one step behind it, so the row moves by one entry every line: a row
// scanned to the right reads column x at entry x and leaves column c at entry c + 1; the next row,
// scanned to the left, reads column x at entry x + 1 (starting at entry width) and leaves column c at
// entry c again.

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int32_t Width, TColorLookup* Lookup) : TDitherEngine(Width, Lookup) {
  for (Channel& c : channels_) c.row.assign(static_cast<size_t>(width_) + 2, 0);
}

void TFloydSteinbergDitherer::Step(Channel& c, int32_t error) {
  // An error of 0 moves the sums on like any other, so that the sums stay in step with the columns.
  c.row[at_] = c.belowPrev + 3 * error;
  c.belowPrev = c.below + 5 * error;
  c.below = error;
  c.current = 7 * error;
}

uint8_t TFloydSteinbergDitherer::Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                        uint8_t& B) {
  const uint8_t in[3] = {Red, Green, Blue};
  uint8_t value[3];
  for (int i = 0; i < 3; ++i) {
    const Channel& c = channels_[i];
    value[i] = Clamp255(in[i] + (c.row[at_] + c.current + 8) / 16);
  }
  const uint8_t index = lookup_->Lookup(value[0], value[1], value[2], R, G, B);
  const uint8_t out[3] = {R, G, B};
  for (int i = 0; i < 3; ++i) Step(channels_[i], value[i] - out[i]);
  at_ += direction_;
  column_ += direction_;
  return index;
}

void TFloydSteinbergDitherer::Skip() {
  for (Channel& c : channels_) Step(c, 0);
  at_ += direction_;
  column_ += direction_;
}

void TFloydSteinbergDitherer::NextLine() {
  for (Channel& c : channels_) {
    c.row[at_] = c.belowPrev;
    c.current = c.below = c.belowPrev = 0;
  }
  TDitherEngine::NextLine();
  at_ = direction_ > 0 ? 0 : width_;
}

// ---- Kernels over buffered rows -----------------------------------------------------------------

TKernelDitherer::TKernelDitherer(int32_t Width, TColorLookup* Lookup, TDitherKernel Kernel)
    : TDitherEngine(Width, Lookup), kernel_(std::move(Kernel)) {
  for (auto& rows : errors_)
    rows.assign(static_cast<size_t>(kernel_.rows),
                std::vector<int32_t>(static_cast<size_t>(width_ + 2 * kernel_.margin), 0));
}

uint8_t TKernelDitherer::Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) {
  const int32_t at = column_ + kernel_.margin;
  const int32_t half = kernel_.divisor / 2;
  const uint8_t in[3] = {Red, Green, Blue};
  uint8_t value[3];
  for (int i = 0; i < 3; ++i) value[i] = Clamp255(in[i] + (errors_[i][0][at] + half) / kernel_.divisor);
  const uint8_t index = lookup_->Lookup(value[0], value[1], value[2], R, G, B);
  const uint8_t out[3] = {R, G, B};
  for (int i = 0; i < 3; ++i) {
    const int32_t error = value[i] - out[i];
    if (error == 0) continue;
    for (const TDitherKernel::Weight& w : kernel_.weights)
      errors_[i][w.row][at + w.offset * direction_] += w.weight * error;
  }
  column_ += direction_;
  return index;
}

void TKernelDitherer::NextLine() {
  for (auto& rows : errors_) {
    std::fill(rows[0].begin(), rows[0].end(), 0);
    std::rotate(rows.begin(), rows.begin() + 1, rows.end());
  }
  TDitherEngine::NextLine();
}

TStuckiDitherer::TStuckiDitherer(int32_t Width, TColorLookup* Lookup)
    : TKernelDitherer(Width, Lookup,
                      {42, 3, 2, {{0, 1, 8}, {0, 2, 4},
                                  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
                                  {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}}}) {}

TSierraDitherer::TSierraDitherer(int32_t Width, TColorLookup* Lookup)
    : TKernelDitherer(Width, Lookup,
                      {32, 3, 2, {{0, 1, 5}, {0, 2, 3},
                                  {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},
                                  {2, -1, 2}, {2, 0, 3}, {2, 1, 2}}}) {}

TJaJuNiDitherer::TJaJuNiDitherer(int32_t Width, TColorLookup* Lookup)
    : TKernelDitherer(Width, Lookup,
                      {48, 3, 2, {{0, 1, 7}, {0, 2, 5},
                                  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},
                                  {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}}}) {}

TSteveArcheDitherer::TSteveArcheDitherer(int32_t Width, TColorLookup* Lookup)
    : TKernelDitherer(Width, Lookup,
                      {200, 4, 3, {{0, 2, 32},
                                   {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16},
                                   {2, -2, 12}, {2, 0, 26}, {2, 2, 12},
                                   {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}}}) {}

TBurkesDitherer::TBurkesDitherer(int32_t Width, TColorLookup* Lookup)
    : TKernelDitherer(Width, Lookup,
                      {32, 2, 2, {{0, 1, 8}, {0, 2, 4},
                                  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}}) {}
