#pragma once
// Fixtures of the thumbnail view's tests: a shown view on a form, small images, and GIF and BMP files
// built byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/ui/forms.h"
#include "tests/support/byte_builder.h"
#include "tests/support/ui_fixture.h"

namespace mviewtest {

// An animated GIF of Frames frames of W x H pixels (at most 4 colours), frame f filled with colour
// f % 4, each shown for Delay hundredths of a second. The LZW stream clears before every pixel, so
// every code is 3 bits wide.
inline std::vector<uint8_t> AnimatedGif(int Frames, int W, int H, int Delay) {
  testsupport::ByteBuilder b;
  b.Raw("GIF89a").U16(static_cast<uint16_t>(W)).U16(static_cast<uint16_t>(H)).U8(0x91).U8(0).U8(0);
  const uint8_t palette[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
  for (uint8_t v : palette) b.U8(v);
  for (int f = 0; f < Frames; ++f) {
    b.U8(0x21).U8(0xF9).U8(4).U8(0).U16(static_cast<uint16_t>(Delay)).U8(0).U8(0);
    b.U8(0x2C).U16(0).U16(0).U16(static_cast<uint16_t>(W)).U16(static_cast<uint16_t>(H)).U8(0);
    b.U8(2);
    std::vector<uint8_t> data;
    uint32_t acc = 0;
    int bits = 0;
    auto put = [&](uint32_t code) {
      acc |= code << bits;
      bits += 3;
      while (bits >= 8) {
        data.push_back(static_cast<uint8_t>(acc));
        acc >>= 8;
        bits -= 8;
      }
    };
    for (int i = 0; i < W * H; ++i) {
      put(4);
      put(static_cast<uint32_t>(f % 4));
    }
    put(5);
    if (bits > 0) data.push_back(static_cast<uint8_t>(acc));
    for (size_t at = 0; at < data.size(); at += 255) {
      const size_t n = std::min<size_t>(255, data.size() - at);
      b.U8(static_cast<uint8_t>(n));
      for (size_t i = 0; i < n; ++i) b.U8(data[at + i]);
    }
    b.U8(0);
  }
  b.U8(0x3B);
  return b.Bytes();
}

// A 24-bit BMP of W x H filled with (r, g, b).
inline std::vector<uint8_t> SolidBmp(int W, int H, uint8_t R, uint8_t G, uint8_t B) {
  const int stride = (W * 3 + 3) & ~3;
  testsupport::ByteBuilder b;
  b.Raw("BM").U32(static_cast<uint32_t>(54 + stride * H)).U32(0).U32(54);
  b.U32(40).U32(static_cast<uint32_t>(W)).U32(static_cast<uint32_t>(H)).U16(1).U16(24).U32(0);
  b.U32(static_cast<uint32_t>(stride * H)).U32(2835).U32(2835).U32(0).U32(0);
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) b.U8(B).U8(G).U8(R);
    for (int p = W * 3; p < stride; ++p) b.U8(0);
  }
  return b.Bytes();
}

inline void WriteFile(const std::string& Name, const std::vector<uint8_t>& Bytes) {
  std::ofstream f(Name, std::ios::binary);
  f.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

// A solid image of W x H.
inline void Solid(TIEBitmap& B, int W, int H, TColor C) {
  B.Allocate(W, H, ie24RGB);
  B.Fill(static_cast<double>(C));
}

// A shown thumbnail view of Width x Height on the form, without frame or scroll bars unless asked.
class MViewTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 700, 600);
  }
  TZodazUrMView* MakeView(int Width, int Height, TScrollStyle Bars = ssNone) {
    auto* v = new TZodazUrMView(form);
    v->SetParent(form);
    v->SetBorderStyle(bsNone);
    v->SetScrollBars(Bars);
    v->SetBounds(0, 0, Width, Height);
    return v;
  }
  // Count images of W x H, solid.
  static void Fill(TZodazUrMView* v, int Count, int W = 8, int H = 8) {
    TIEBitmap b;
    for (int i = 0; i < Count; ++i) {
      const int at = v->AppendImage();
      Solid(b, W, H, static_cast<TColor>(0x010101 * (i + 1)));
      v->SetImageIEBitmap(at, &b);
    }
  }
};

}  // namespace mviewtest
