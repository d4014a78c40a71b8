#pragma once
// Colour lookups: map a colour to the index of a palette entry and give that entry's colour back.
#include <array>
#include <cstdint>
#include <vector>

#include "imaging/core/ie_rgb.h"
#include "platform/gdi/gdi.h"

class TColorLookup {
 public:
  explicit TColorLookup(int32_t Colors) : colors_(Colors) {}
  virtual ~TColorLookup() = default;
  TColorLookup(const TColorLookup&) = delete;
  TColorLookup& operator=(const TColorLookup&) = delete;

  // The palette index for (Red, Green, Blue); R, G and B receive the entry's colour.
  virtual uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) = 0;
  // How many colours the lookup gives.
  int32_t Colors() const { return colors_; }

 private:
  int32_t colors_;
};

// Any palette of up to 256 entries. Colours are cached by their top five bits per channel: the first
// colour of a cell finds its nearest entry (sum of channel differences, the first of equals winning)
// and every later colour of that cell gets the same answer.
class TFastColorLookup : public TColorLookup {
 public:
  explicit TFastColorLookup(HPALETTE Palette);
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;

 private:
  static int32_t Key(uint8_t r, uint8_t g, uint8_t b) { return (r >> 3) | (g >> 3) << 5 | (b >> 3) << 10; }
  std::vector<TIERGB> palette_;
  std::vector<int16_t> inverse_;  // 32768 cells, -1 until looked up
};

// The 216-colour web palette: each channel to the nearest of 0, 51, ... 255.
class TNetscapeColorLookup : public TColorLookup {
 public:
  TNetscapeColorLookup() : TColorLookup(216) {}
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
};

// 256 greys by (77 red + 150 green + 29 blue) / 256.
class TGrayScaleLookup : public TColorLookup {
 public:
  TGrayScaleLookup() : TColorLookup(256) {}
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
};

// Black below half brightness by the same weights, white from there.
class TMonochromeLookup : public TColorLookup {
 public:
  TMonochromeLookup() : TColorLookup(2) {}
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
};
