#pragma once
// Pixels packed under bit masks, as BMP files and DIBs store 16- and 32-bit pixels: each channel is
// the run of set bits of its mask, with its own shift and width, the channels in any order. The one
// place that turns such pixels into 8-bit channels, for the BMP reader and the DIB import alike.
//
// Widening is by bit replication, as other decoders do: a channel narrower than 8 bits fills the
// byte with repeated copies of its bits (5 bits: 31 -> 255, 16 -> 132; 4 bits: v * 17; 1 bit: 0 or
// 255), a wider one keeps its top 8 bits (10 bits: 1023 -> 255, 512 -> 128).
#include <array>
#include <cstdint>

// One channel: the first run of set bits of its mask (a mask with gaps counts from its lowest set
// bit up to the first gap). A zero mask is an absent channel.
class TIEBitField {
 public:
  TIEBitField() = default;
  explicit TIEBitField(uint32_t Mask);

  uint32_t Mask() const { return mask_; }
  int32_t Shift() const { return shift_; }
  int32_t Width() const { return width_; }
  bool Present() const { return width_ > 0; }

  // The channel of Pixel widened or narrowed to 8 bits; 0 for an absent channel.
  uint8_t Get8(uint32_t Pixel) const { return table_[(Pixel >> take_) & pick_]; }

 private:
  uint32_t mask_ = 0;
  int32_t shift_ = 0;
  int32_t width_ = 0;
  int32_t take_ = 0;   // shift that brings the channel's top (at most 8) bits down
  uint32_t pick_ = 0;  // and the mask that keeps them
  std::array<uint8_t, 256> table_{};  // those bits -> 8-bit value
};

// The channels of a packed pixel. Without an alpha mask (0) pixels are opaque.
class TIEBitFields {
 public:
  TIEBitFields(uint32_t RedMask, uint32_t GreenMask, uint32_t BlueMask, uint32_t AlphaMask = 0);

  const TIEBitField& Red() const { return red_; }
  const TIEBitField& Green() const { return green_; }
  const TIEBitField& Blue() const { return blue_; }
  const TIEBitField& Alpha() const { return alpha_; }
  bool HasAlpha() const { return alpha_.Present(); }

  // Unpacks Count little-endian pixels of BitsPerPixel (16 or 32) bits at Src into blue, green, red
  // bytes at BGR (the layout of an ie24RGB row) and, when Alpha is not nil, their alpha (255 without
  // an alpha mask) into Alpha.
  void UnpackRow(const uint8_t* Src, int32_t BitsPerPixel, int32_t Count, uint8_t* BGR, uint8_t* Alpha) const;

 private:
  TIEBitField red_, green_, blue_, alpha_;
};
