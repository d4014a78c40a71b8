#pragma once
// A framework bitmap in plain memory for the tests of the ieTBitmap location: rows padded to 32 bits,
// depths 1, 4, 8, 16 (5-6-5), 24 and 32 with a colour table, conversions between depths through
// colours, a size change that keeps the content, and a record of the canvas transform.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/gdi/framework_bitmap.h"

class FakeFrameworkBitmap : public TFrameworkBitmap {
 public:
  TBitmap* Bitmap() override { return reinterpret_cast<TBitmap*>(this); }
  int32_t Width() override { return width_; }
  int32_t Height() override { return height_; }
  void SetSize(int32_t w, int32_t h) override { Rebuild(w, h, format_); }
  TPixelFormat PixelFormat() override { return format_; }
  void SetPixelFormat(TPixelFormat f) override {
    if (f != format_) Rebuild(width_, height_, f);
  }
  void* ScanLine(int32_t row) override { return data_.data() + static_cast<size_t>(row) * Stride(width_, format_); }
  int32_t ColorCount() override { return static_cast<int32_t>(colors_.size()); }
  void GetColors(int32_t start, int32_t count, uint32_t* out) override {
    for (int32_t i = 0; i < count; ++i) out[i] = colors_.at(start + i);
  }
  void SetColors(int32_t start, int32_t count, const uint32_t* in) override {
    for (int32_t i = 0; i < count && start + i < ColorCount(); ++i) colors_[start + i] = in[i];
  }
  TCanvas* Canvas() override { return nullptr; }
  void SetCanvasFlip(bool flip, int32_t height) override {
    flipped = flip;
    flipHeight = height;
  }

  // Colour 0x00RRGGBB of a pixel, and the nearest stored value for a colour.
  uint32_t Pixel(int32_t x, int32_t y) { return Read(ScanLine(y), x, format_, colors_); }
  void SetPixel(int32_t x, int32_t y, uint32_t rgb) { Write(static_cast<uint8_t*>(ScanLine(y)), x, format_, colors_, rgb); }

  bool flipped = false;
  int32_t flipHeight = -1;

 private:
  static int32_t Bits(TPixelFormat f) {
    switch (f) {
      case pf1bit: return 1;
      case pf4bit: return 4;
      case pf8bit: return 8;
      case pf16bit: return 16;
      case pf32bit: return 32;
      default: return 24;  // device, 15 bits and custom are kept as 24 here
    }
  }
  static size_t Stride(int32_t w, TPixelFormat f) { return static_cast<size_t>((w * Bits(f) + 31) / 32 * 4); }
  static std::vector<uint32_t> DefaultColors(TPixelFormat f) {
    std::vector<uint32_t> c;
    const int32_t bits = Bits(f);
    if (bits > 8) return c;
    const int32_t n = 1 << bits;
    for (int32_t i = 0; i < n; ++i) {
      const uint32_t v = static_cast<uint32_t>(i * 255 / (n - 1));
      // 8 bits: a colour table that is not a grey ramp, one distinct colour per index.
      c.push_back(bits == 8 ? (uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(i / 2)) : v * 0x010101u);
    }
    return c;
  }
  static uint32_t Read(const void* rowp, int32_t x, TPixelFormat f, const std::vector<uint32_t>& colors) {
    const uint8_t* row = static_cast<const uint8_t*>(rowp);
    switch (Bits(f)) {
      case 1: return colors[(row[x / 8] >> (7 - x % 8)) & 1];
      case 4: return colors[(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2]) & 15];
      case 8: return colors[row[x]];
      case 16: {
        const uint16_t w = static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
        return ((w >> 11) << 19) | (((w >> 5) & 63) << 10) | ((w & 31) << 3);
      }
      case 32: return row[4 * x] | (row[4 * x + 1] << 8) | (row[4 * x + 2] << 16);
      default: return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
    }
  }
  static void Write(uint8_t* row, int32_t x, TPixelFormat f, const std::vector<uint32_t>& colors, uint32_t rgb) {
    const int32_t bits = Bits(f);
    if (bits <= 8) {
      int32_t best = 0, bestDist = 1 << 30;
      for (size_t i = 0; i < colors.size(); ++i) {
        const int32_t dr = int32_t((colors[i] >> 16) & 255) - int32_t((rgb >> 16) & 255);
        const int32_t dg = int32_t((colors[i] >> 8) & 255) - int32_t((rgb >> 8) & 255);
        const int32_t db = int32_t(colors[i] & 255) - int32_t(rgb & 255);
        if (dr * dr + dg * dg + db * db < bestDist) {
          bestDist = dr * dr + dg * dg + db * db;
          best = static_cast<int32_t>(i);
        }
      }
      if (bits == 8) row[x] = static_cast<uint8_t>(best);
      if (bits == 4) row[x / 2] = static_cast<uint8_t>(x % 2 == 0 ? (row[x / 2] & 0x0F) | (best << 4) : (row[x / 2] & 0xF0) | best);
      if (bits == 1) row[x / 8] = static_cast<uint8_t>(best ? row[x / 8] | (0x80 >> x % 8) : row[x / 8] & ~(0x80 >> x % 8));
      return;
    }
    const uint8_t b = rgb & 255, g = (rgb >> 8) & 255, r = (rgb >> 16) & 255;
    if (bits == 16) {
      const uint16_t w = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
      row[2 * x] = static_cast<uint8_t>(w);
      row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
    } else {
      const int32_t bpp = bits / 8;
      row[bpp * x] = b;
      row[bpp * x + 1] = g;
      row[bpp * x + 2] = r;
    }
  }
  void Rebuild(int32_t w, int32_t h, TPixelFormat f) {
    std::vector<uint32_t> colors = f == format_ ? colors_ : DefaultColors(f);
    std::vector<uint8_t> data(Stride(w, f) * h, 0);
    for (int32_t y = 0; y < std::min(h, height_); ++y)
      for (int32_t x = 0; x < std::min(w, width_); ++x)
        Write(data.data() + Stride(w, f) * y, x, f, colors, Pixel(x, y));
    data_ = std::move(data);
    colors_ = std::move(colors);
    width_ = w;
    height_ = h;
    format_ = f;
  }

  int32_t width_ = 0;
  int32_t height_ = 0;
  TPixelFormat format_ = pfDevice;
  std::vector<uint32_t> colors_;
  std::vector<uint8_t> data_;
};

// Adapter over a caller's FakeFrameworkBitmap (the "TBitmap" a test wraps): forwards, owns nothing.
class FakeFrameworkAdapter : public TFrameworkBitmap {
 public:
  explicit FakeFrameworkAdapter(FakeFrameworkBitmap* b) : b_(b) {}
  TBitmap* Bitmap() override { return b_->Bitmap(); }
  int32_t Width() override { return b_->Width(); }
  int32_t Height() override { return b_->Height(); }
  void SetSize(int32_t w, int32_t h) override { b_->SetSize(w, h); }
  TPixelFormat PixelFormat() override { return b_->PixelFormat(); }
  void SetPixelFormat(TPixelFormat f) override { b_->SetPixelFormat(f); }
  void* ScanLine(int32_t row) override { return b_->ScanLine(row); }
  int32_t ColorCount() override { return b_->ColorCount(); }
  void GetColors(int32_t s, int32_t c, uint32_t* o) override { b_->GetColors(s, c, o); }
  void SetColors(int32_t s, int32_t c, const uint32_t* i) override { b_->SetColors(s, c, i); }
  TCanvas* Canvas() override { return nullptr; }
  void SetCanvasFlip(bool flip, int32_t height) override { b_->SetCanvasFlip(flip, height); }

 private:
  FakeFrameworkBitmap* b_;
};

inline std::unique_ptr<TFrameworkBitmap> MakeFakeFrameworkBitmap(TBitmap* wrap) {
  if (wrap) return std::make_unique<FakeFrameworkAdapter>(reinterpret_cast<FakeFrameworkBitmap*>(wrap));
  return std::make_unique<FakeFrameworkBitmap>();
}

// Installs the fake as the framework bitmap for the lifetime of the object.
class FakeFrameworkScope {
 public:
  FakeFrameworkScope() : saved_(FrameworkBitmapFactory) { FrameworkBitmapFactory = MakeFakeFrameworkBitmap; }
  ~FakeFrameworkScope() { FrameworkBitmapFactory = saved_; }

 private:
  TFrameworkBitmapFactory saved_;
};
