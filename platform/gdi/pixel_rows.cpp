#include "platform/gdi/pixel_rows.h"

#include <bit>
#include <cstring>

namespace {

struct Channel {
  uint32_t mask;
  int shift;
  int bits;
};

Channel ChannelOf(uint32_t mask) {
  if (mask == 0) return {0, 0, 0};
  return {mask, std::countr_zero(mask), std::popcount(mask)};
}

uint32_t Extract8(uint32_t value, const Channel& c) {
  if (c.bits == 0) return 0;
  uint32_t v = (value & c.mask) >> c.shift;
  return c.bits <= 8 ? v << (8 - c.bits) : v >> (c.bits - 8);
}

uint32_t Insert8(uint32_t channel8, const Channel& c) {
  if (c.bits == 0) return 0;
  uint32_t v = c.bits <= 8 ? channel8 >> (8 - c.bits) : channel8 << (c.bits - 8);
  return (v << c.shift) & c.mask;
}

RGBQUAD Quad(uint8_t r, uint8_t g, uint8_t b) { return RGBQUAD{b, g, r, 0}; }

}  // namespace

bool StandardMasks32(const PixelRows& r) {
  return r.masks[0] == 0xFF0000 && r.masks[1] == 0xFF00 && r.masks[2] == 0xFF;
}

void PixelRows::DefaultMasks() {
  if (masks[0] | masks[1] | masks[2]) return;
  if (bitCount == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else if (bitCount == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0x00FF00;
    masks[2] = 0x0000FF;
  }
}

uint32_t ColorMatcher::Index(uint32_t rgb) {
  auto it = found_.find(rgb);
  if (it != found_.end()) return it->second;
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  uint32_t best = 0;
  int bestDist = 1 << 30;
  for (size_t i = 0; i < colors_.size(); ++i) {
    const RGBQUAD& q = colors_[i];
    int dr = r - q.rgbRed, dg = g - q.rgbGreen, db = b - q.rgbBlue;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = static_cast<uint32_t>(i);
      if (d == 0) break;
    }
  }
  found_.emplace(rgb, best);
  return best;
}

uint32_t RgbToPhys(const PixelRows& rows, uint32_t rgb, ColorMatcher* matcher) {
  switch (rows.bitCount) {
    case 1:
    case 4:
    case 8: {
      if (matcher) return matcher->Index(rgb);
      ColorMatcher m(rows.colors);
      return m.Index(rgb);
    }
    case 16:
      return Insert8((rgb >> 16) & 0xFF, ChannelOf(rows.masks[0])) |
             Insert8((rgb >> 8) & 0xFF, ChannelOf(rows.masks[1])) | Insert8(rgb & 0xFF, ChannelOf(rows.masks[2]));
    case 24:
      return rgb & 0xFFFFFF;
    case 32:
      if (StandardMasks32(rows)) return (rgb & 0xFFFFFF) | rows.alphaFill;
      return Insert8((rgb >> 16) & 0xFF, ChannelOf(rows.masks[0])) |
             Insert8((rgb >> 8) & 0xFF, ChannelOf(rows.masks[1])) | Insert8(rgb & 0xFF, ChannelOf(rows.masks[2]));
    default:
      return 0;
  }
}

uint32_t PhysToRgb(const PixelRows& rows, uint32_t value) {
  switch (rows.bitCount) {
    case 1:
    case 4:
    case 8: {
      if (value >= rows.colors.size()) return 0;
      const RGBQUAD& q = rows.colors[value];
      return (static_cast<uint32_t>(q.rgbRed) << 16) | (static_cast<uint32_t>(q.rgbGreen) << 8) | q.rgbBlue;
    }
    case 16:
      return (Extract8(value, ChannelOf(rows.masks[0])) << 16) | (Extract8(value, ChannelOf(rows.masks[1])) << 8) |
             Extract8(value, ChannelOf(rows.masks[2]));
    case 24:
      return value & 0xFFFFFF;
    case 32:
      if (StandardMasks32(rows)) return value & 0xFFFFFF;
      return (Extract8(value, ChannelOf(rows.masks[0])) << 16) | (Extract8(value, ChannelOf(rows.masks[1])) << 8) |
             Extract8(value, ChannelOf(rows.masks[2]));
    default:
      return 0;
  }
}

void ReadPhys(const PixelRows& rows, int32_t y, int32_t x0, int32_t n, uint32_t* out) {
  const uint8_t* row = rows.Row(y);
  switch (rows.bitCount) {
    case 1:
      for (int32_t i = 0; i < n; ++i) {
        int32_t x = x0 + i;
        out[i] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      }
      break;
    case 4:
      for (int32_t i = 0; i < n; ++i) {
        int32_t x = x0 + i;
        out[i] = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
      }
      break;
    case 8:
      for (int32_t i = 0; i < n; ++i) out[i] = row[x0 + i];
      break;
    case 16: {
      const uint8_t* p = row + static_cast<ptrdiff_t>(x0) * 2;
      for (int32_t i = 0; i < n; ++i) out[i] = p[2 * i] | (static_cast<uint32_t>(p[2 * i + 1]) << 8);
      break;
    }
    case 24: {
      const uint8_t* p = row + static_cast<ptrdiff_t>(x0) * 3;
      for (int32_t i = 0; i < n; ++i)
        out[i] = p[3 * i] | (static_cast<uint32_t>(p[3 * i + 1]) << 8) | (static_cast<uint32_t>(p[3 * i + 2]) << 16);
      break;
    }
    case 32:
      std::memcpy(out, row + static_cast<ptrdiff_t>(x0) * 4, static_cast<size_t>(n) * 4);
      break;
    default:
      std::memset(out, 0, static_cast<size_t>(n) * 4);
  }
}

void WritePhys(const PixelRows& rows, int32_t y, int32_t x0, int32_t n, const uint32_t* values, const uint8_t* keep) {
  uint8_t* row = rows.Row(y);
  switch (rows.bitCount) {
    case 1:
      for (int32_t i = 0; i < n; ++i) {
        if (keep && keep[i]) continue;
        int32_t x = x0 + i;
        uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        if (values[i] & 1)
          row[x >> 3] |= bit;
        else
          row[x >> 3] &= static_cast<uint8_t>(~bit);
      }
      break;
    case 4:
      for (int32_t i = 0; i < n; ++i) {
        if (keep && keep[i]) continue;
        int32_t x = x0 + i;
        uint8_t& b = row[x >> 1];
        if (x & 1)
          b = static_cast<uint8_t>((b & 0xF0) | (values[i] & 0x0F));
        else
          b = static_cast<uint8_t>((b & 0x0F) | ((values[i] & 0x0F) << 4));
      }
      break;
    case 8:
      for (int32_t i = 0; i < n; ++i)
        if (!keep || !keep[i]) row[x0 + i] = static_cast<uint8_t>(values[i]);
      break;
    case 16: {
      uint8_t* p = row + static_cast<ptrdiff_t>(x0) * 2;
      for (int32_t i = 0; i < n; ++i) {
        if (keep && keep[i]) continue;
        p[2 * i] = static_cast<uint8_t>(values[i]);
        p[2 * i + 1] = static_cast<uint8_t>(values[i] >> 8);
      }
      break;
    }
    case 24: {
      uint8_t* p = row + static_cast<ptrdiff_t>(x0) * 3;
      for (int32_t i = 0; i < n; ++i) {
        if (keep && keep[i]) continue;
        p[3 * i] = static_cast<uint8_t>(values[i]);
        p[3 * i + 1] = static_cast<uint8_t>(values[i] >> 8);
        p[3 * i + 2] = static_cast<uint8_t>(values[i] >> 16);
      }
      break;
    }
    case 32: {
      uint32_t* p = reinterpret_cast<uint32_t*>(row) + x0;
      if (!keep && rows.alphaFill == 0) {
        std::memcpy(p, values, static_cast<size_t>(n) * 4);
      } else {
        for (int32_t i = 0; i < n; ++i)
          if (!keep || !keep[i]) p[i] = values[i] | rows.alphaFill;
      }
      break;
    }
    default:
      break;
  }
}

uint32_t GetPhys(const PixelRows& rows, int32_t x, int32_t y) {
  uint32_t v = 0;
  ReadPhys(rows, y, x, 1, &v);
  return v;
}

void SetPhys(const PixelRows& rows, int32_t x, int32_t y, uint32_t value) { WritePhys(rows, y, x, 1, &value); }

void ReadRgb(const PixelRows& rows, int32_t y, int32_t x0, int32_t n, uint32_t* out) {
  ReadPhys(rows, y, x0, n, out);
  if (rows.bitCount == 24) return;
  if (rows.bitCount == 32 && StandardMasks32(rows)) {
    for (int32_t i = 0; i < n; ++i) out[i] &= 0xFFFFFF;
    return;
  }
  for (int32_t i = 0; i < n; ++i) out[i] = PhysToRgb(rows, out[i]);
}

void RgbToPhysRow(const PixelRows& rows, const uint32_t* rgb, int32_t n, uint32_t* out, ColorMatcher& matcher) {
  switch (rows.bitCount) {
    case 24:
      for (int32_t i = 0; i < n; ++i) out[i] = rgb[i] & 0xFFFFFF;
      return;
    case 32:
      if (StandardMasks32(rows)) {
        for (int32_t i = 0; i < n; ++i) out[i] = (rgb[i] & 0xFFFFFF) | rows.alphaFill;
        return;
      }
      break;
    default:
      break;
  }
  for (int32_t i = 0; i < n; ++i) out[i] = RgbToPhys(rows, rgb[i], &matcher);
}

std::vector<RGBQUAD> MonochromeColors() { return {Quad(0, 0, 0), Quad(255, 255, 255)}; }

std::vector<RGBQUAD> Vga16Colors() {
  return {Quad(0, 0, 0),     Quad(128, 0, 0),   Quad(0, 128, 0),   Quad(128, 128, 0),
          Quad(0, 0, 128),   Quad(128, 0, 128), Quad(0, 128, 128), Quad(192, 192, 192),
          Quad(128, 128, 128), Quad(255, 0, 0), Quad(0, 255, 0),   Quad(255, 255, 0),
          Quad(0, 0, 255),   Quad(255, 0, 255), Quad(0, 255, 255), Quad(255, 255, 255)};
}

std::vector<RGBQUAD> StaticColors() {
  return {Quad(0, 0, 0),       Quad(128, 0, 0),     Quad(0, 128, 0),     Quad(128, 128, 0),   Quad(0, 0, 128),
          Quad(128, 0, 128),   Quad(0, 128, 128),   Quad(192, 192, 192), Quad(192, 220, 192), Quad(166, 202, 240),
          Quad(255, 251, 240), Quad(160, 160, 164), Quad(128, 128, 128), Quad(255, 0, 0),     Quad(0, 255, 0),
          Quad(255, 255, 0),   Quad(0, 0, 255),     Quad(255, 0, 255),   Quad(0, 255, 255),   Quad(255, 255, 255)};
}

std::vector<RGBQUAD> HalftoneColors() {
  // The twenty static colours at both ends, a 6 x 6 x 6 colour cube and a grey ramp between.
  const std::vector<RGBQUAD> fixed = StaticColors();
  std::vector<RGBQUAD> c(fixed.begin(), fixed.begin() + 10);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        c.push_back(Quad(static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51), static_cast<uint8_t>(b * 51)));
  for (int i = 1; i <= 20; ++i) {
    uint8_t v = static_cast<uint8_t>(i * 255 / 21);
    c.push_back(Quad(v, v, v));
  }
  c.insert(c.end(), fixed.begin() + 10, fixed.end());
  return c;
}
