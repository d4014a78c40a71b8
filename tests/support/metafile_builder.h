#pragma once
// Builds Windows metafiles and enhanced metafiles record by record, for the player's tests, the
// import tests and the fuzz seeds.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/byte_builder.h"

namespace testsupport {

// An enhanced metafile. The reference device has 96 pixels per inch (960 pixels in 254 mm), so
// that a frame of w x h pixels gives a picture of w x h pixels on this system's screen.
class EmfBuilder {
 public:
  // A frame of width x height reference pixels at (0, 0); handles: the size of the object table.
  EmfBuilder(int32_t width, int32_t height, uint16_t handles = 8) {
    b_.U32(1).U32(108);
    b_.U32(0).U32(0).U32(static_cast<uint32_t>(width - 1)).U32(static_cast<uint32_t>(height - 1));  // bounds
    // The frame in 0.01 mm: pixels x 2540 / 96, rounded up so that the size comes back exact.
    b_.U32(0).U32(0).U32(static_cast<uint32_t>((int64_t{width} * 2540 + 95) / 96))
        .U32(static_cast<uint32_t>((int64_t{height} * 2540 + 95) / 96));
    b_.U32(0x464D4520).U32(0x10000).U32(0).U32(0).U16(handles).U16(0);
    b_.U32(0).U32(0).U32(0);           // description, palette entries
    b_.U32(960).U32(960).U32(254).U32(254);  // device pixels, millimetres
    b_.U32(0).U32(0).U32(0);           // pixel format, OpenGL
    b_.U32(254000).U32(254000);        // micrometres
    records_ = 1;
  }
  // Frame given in 0.01 mm and bounds in reference pixels as they are.
  static EmfBuilder WithFrame(int32_t l, int32_t t, int32_t r, int32_t b, int32_t bl, int32_t bt, int32_t br,
                              int32_t bb) {
    EmfBuilder e(1, 1);
    auto& v = e.b_;
    v.Patch32(8, static_cast<uint32_t>(bl)), v.Patch32(12, static_cast<uint32_t>(bt));
    v.Patch32(16, static_cast<uint32_t>(br)), v.Patch32(20, static_cast<uint32_t>(bb));
    v.Patch32(24, static_cast<uint32_t>(l)), v.Patch32(28, static_cast<uint32_t>(t));
    v.Patch32(32, static_cast<uint32_t>(r)), v.Patch32(36, static_cast<uint32_t>(b));
    return e;
  }

  // A record of 32-bit values.
  EmfBuilder& Rec(uint32_t type, std::initializer_list<int64_t> values) {
    std::vector<uint8_t> body;
    ByteBuilder p;
    for (int64_t v : values) p.U32(static_cast<uint32_t>(v));
    return Raw(type, p.Bytes());
  }
  // A record with a body of bytes (padded to 4).
  EmfBuilder& Raw(uint32_t type, std::vector<uint8_t> body) {
    while (body.size() % 4) body.push_back(0);
    b_.U32(type).U32(static_cast<uint32_t>(8 + body.size())).Raw(body);
    ++records_;
    return *this;
  }
  // Common records.
  EmfBuilder& Brush(uint32_t index, uint32_t color, uint32_t style = 0, uint32_t hatch = 0) {
    return Rec(39, {index, style, color, hatch}).Rec(37, {index});
  }
  EmfBuilder& Pen(uint32_t index, uint32_t color, int32_t width = 1, uint32_t style = 0) {
    return Rec(38, {index, style, width, 0, color}).Rec(37, {index});
  }
  EmfBuilder& NullPen() { return Rec(37, {0x80000008}); }
  EmfBuilder& NullBrush() { return Rec(37, {0x80000005}); }
  EmfBuilder& Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) { return Rec(43, {l, t, r, b}); }

  std::vector<uint8_t> Finish() {
    b_.U32(14).U32(20).U32(0).U32(16).U32(20);  // EOF
    ++records_;
    b_.Patch32(48, static_cast<uint32_t>(b_.Size()));
    b_.Patch32(52, records_);
    return b_.Bytes();
  }
  ByteBuilder& Bytes() { return b_; }

 private:
  ByteBuilder b_;
  uint32_t records_ = 0;
};

// A Windows metafile, placeable (a box at units per inch) or plain.
class WmfBuilder {
 public:
  WmfBuilder() : placeable_(false) { Header(); }
  WmfBuilder(int16_t left, int16_t top, int16_t right, int16_t bottom, uint16_t inch) : placeable_(true) {
    b_.U32(0x9AC6CDD7).U16(0).U16(static_cast<uint16_t>(left)).U16(static_cast<uint16_t>(top));
    b_.U16(static_cast<uint16_t>(right)).U16(static_cast<uint16_t>(bottom)).U16(inch).U32(0);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum ^= static_cast<uint16_t>(b_.Bytes()[i] | b_.Bytes()[i + 1] << 8);
    b_.U16(sum);
    Header();
  }
  // A record of 16-bit parameter words (in the record's order).
  WmfBuilder& Rec(uint16_t function, std::initializer_list<int32_t> words) {
    std::vector<uint16_t> w;
    for (int32_t v : words) w.push_back(static_cast<uint16_t>(v));
    return Words(function, w);
  }
  WmfBuilder& Words(uint16_t function, const std::vector<uint16_t>& words) {
    b_.U32(static_cast<uint32_t>(3 + words.size())).U16(function);
    for (uint16_t v : words) b_.U16(v);
    maxRecord_ = std::max<uint32_t>(maxRecord_, static_cast<uint32_t>(3 + words.size()));
    return *this;
  }
  // Common records. Colours are COLORREF (two words, low first).
  WmfBuilder& Window(int16_t x, int16_t y, int16_t w, int16_t h) {
    return Rec(0x020B, {y, x}).Rec(0x020C, {h, w});
  }
  WmfBuilder& Brush(uint32_t color, uint16_t style = 0, uint16_t hatch = 0) {
    return Rec(0x02FC, {style, static_cast<int32_t>(color & 0xFFFF), static_cast<int32_t>(color >> 16), hatch});
  }
  WmfBuilder& Pen(uint32_t color, int16_t width = 1, uint16_t style = 0) {
    return Rec(0x02FA, {style, width, 0, static_cast<int32_t>(color & 0xFFFF), static_cast<int32_t>(color >> 16)});
  }
  WmfBuilder& Select(uint16_t index) { return Rec(0x012D, {index}); }
  WmfBuilder& Delete(uint16_t index) { return Rec(0x01F0, {index}); }
  WmfBuilder& Rectangle(int16_t l, int16_t t, int16_t r, int16_t b) { return Rec(0x041B, {b, r, t, l}); }
  WmfBuilder& Objects(uint16_t n) {
    objects_ = n;
    return *this;
  }

  std::vector<uint8_t> Finish() {
    b_.U32(3).U16(0);
    const size_t h = placeable_ ? 22 : 0;
    b_.Patch32(h + 6, static_cast<uint32_t>((b_.Size() - h) / 2));
    b_.Patch16(h + 10, objects_);
    b_.Patch32(h + 12, maxRecord_);
    return b_.Bytes();
  }
  ByteBuilder& Bytes() { return b_; }

 private:
  void Header() { b_.U16(1).U16(9).U16(0x300).U32(0).U16(0).U32(0).U16(0); }
  ByteBuilder b_;
  bool placeable_;
  uint16_t objects_ = 8;
  uint32_t maxRecord_ = 3;
};

// A packed 24-bit DIB (bottom-up) of colours given top row first as 0xRRGGBB.
inline std::vector<uint8_t> PackedDib24(int32_t w, int32_t h, const std::vector<uint32_t>& topDown) {
  ByteBuilder b;
  const int32_t row = (w * 3 + 3) / 4 * 4;
  b.U32(40).U32(static_cast<uint32_t>(w)).U32(static_cast<uint32_t>(h)).U16(1).U16(24).U32(0);
  b.U32(static_cast<uint32_t>(row * h)).U32(0).U32(0).U32(0).U32(0);
  for (int32_t y = h - 1; y >= 0; --y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = topDown[static_cast<size_t>(y) * w + x];
      b.U8(c & 0xFF).U8((c >> 8) & 0xFF).U8((c >> 16) & 0xFF);
    }
    b.Zeros(static_cast<size_t>(row - w * 3));
  }
  return b.Bytes();
}

}  // namespace testsupport
