// DICOM pixel data that the reader decodes itself: native samples (8, 12 packed and 16 bits
// allocated, grey, palettes, RGB and YBR, interleaved or in planes) and RLE (PS 3.5 Annex G).
#include <algorithm>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/io/codecs/dicom_image.h"

namespace {

bool IsYBR422(const TDICOMImage& im) { return im.Photometric == "YBR_FULL_422" || im.Photometric == "YBR_PARTIAL_422"; }
bool IsYBR(const TDICOMImage& im) { return im.Photometric.rfind("YBR_FULL", 0) == 0 || im.Photometric.rfind("YBR_PARTIAL", 0) == 0; }

// A raw sample masked to the bits stored (high bits may hold overlays) and, for signed samples,
// sign-extended: the value as a 16-bit pattern.
inline uint16_t Sample(uint32_t raw, int32_t bitsStored, bool isSigned) {
  const uint32_t mask = (1u << bitsStored) - 1;
  uint32_t v = raw & mask;
  if (isSigned && bitsStored < 16 && (v & (1u << (bitsStored - 1)))) v |= ~mask;
  return static_cast<uint16_t>(v);
}

// The palette entry of a value: 16-bit colour levels.
uint16_t PaletteLevel(const TDICOMImage& im, int k, int32_t value) {
  const std::vector<uint16_t>& lut = im.Lut[k];
  if (lut.empty()) return 0;
  const int64_t i = std::clamp<int64_t>(static_cast<int64_t>(value) - im.LutFirst[k], 0,
                                        static_cast<int64_t>(lut.size()) - 1);
  const uint16_t v = lut[static_cast<size_t>(i)];
  return im.LutBits[k] == 8 ? static_cast<uint16_t>((v & 0xFF) * 257) : v;
}

void Report(TIEProgressRecord& progress, int32_t y, int32_t rows) {
  progress.Report(static_cast<int32_t>(static_cast<int64_t>(y + 1) * 100 / std::max(rows, 1)));
}

// Fills the bitmap from a source of raw sample values, Raw(pixel index, sample index), by the
// image's layout. False for a layout no table decodes.
template <class RawFn>
bool Fill(const TDICOMImage& im, TIEBitmap& b, RawFn raw, TIEProgressRecord& progress) {
  const int32_t w = im.Columns, h = im.Rows;
  if (im.SamplesPerPixel == 1) {
    if (im.Palette()) {
      const bool deep = im.BitsStored > 8;
      if (!b.Allocate(w, h, deep ? ieRGB48 : ie24RGB)) return false;
      for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = static_cast<uint8_t*>(b.GetRow(y));
        for (int32_t x = 0; x < w; ++x) {
          const int64_t i = static_cast<int64_t>(y) * w + x;
          const uint16_t s = Sample(raw(i, 0), im.BitsStored, im.Signed());
          const int32_t v = im.Signed() ? static_cast<int16_t>(s) : s;
          if (deep) {
            auto* p = reinterpret_cast<uint16_t*>(row) + 3 * x;
            for (int k = 0; k < 3; ++k) p[k] = PaletteLevel(im, k, v);
          } else {
            row[3 * x + 2] = static_cast<uint8_t>(PaletteLevel(im, 0, v) / 257);
            row[3 * x + 1] = static_cast<uint8_t>(PaletteLevel(im, 1, v) / 257);
            row[3 * x] = static_cast<uint8_t>(PaletteLevel(im, 2, v) / 257);
          }
        }
        Report(progress, y, h);
      }
      return true;
    }
    const bool deep = im.BitsStored > 8;
    if (!b.Allocate(w, h, deep ? ie16g : ie8g)) return false;
    for (int32_t y = 0; y < h; ++y) {
      void* row = b.GetRow(y);
      for (int32_t x = 0; x < w; ++x) {
        const uint16_t s = Sample(raw(static_cast<int64_t>(y) * w + x, 0), im.BitsStored, im.Signed());
        if (deep) static_cast<uint16_t*>(row)[x] = s;
        else static_cast<uint8_t*>(row)[x] = static_cast<uint8_t>(s);
      }
      Report(progress, y, h);
    }
    return true;
  }
  if (im.SamplesPerPixel != 3 || im.BitsStored > 8) return false;
  if (!b.Allocate(w, h, ie24RGB)) return false;
  const int shift = 8 - im.BitsStored;
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int32_t x = 0; x < w; ++x) {
      const int64_t i = static_cast<int64_t>(y) * w + x;
      for (int k = 0; k < 3; ++k)
        row[3 * x + 2 - k] = static_cast<uint8_t>((raw(i, k) & ((1u << im.BitsStored) - 1)) << shift);
    }
    Report(progress, y, h);
  }
  if (IsYBR(im)) ConvertDICOMYBRFull(b);
  return true;
}

// One RLE segment (PackBits) into Out, up to Count bytes; what the segment does not hold stays 0.
void UnpackSegment(const uint8_t* p, int64_t n, uint8_t* out, int64_t count) {
  int64_t i = 0, o = 0;
  while (i < n && o < count) {
    const auto c = static_cast<int8_t>(p[i++]);
    if (c >= 0) {
      const int64_t k = std::min<int64_t>({c + 1, n - i, count - o});
      std::memcpy(out + o, p + i, static_cast<size_t>(k));
      o += k;
      i += c + 1;
    } else if (c != -128) {
      if (i >= n) break;
      const int64_t k = std::min<int64_t>(1 - c, count - o);
      std::memset(out + o, p[i++], static_cast<size_t>(k));
      o += k;
    }
  }
}

}  // namespace

void ConvertDICOMYBRFull(TIEBitmap& Bitmap) {
  // Y, Cb, Cr as stored in red, green, blue places (bytes 2, 1, 0); PS 3.3 C.7.6.3.1.2.
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    for (int32_t x = 0; x < Bitmap.Width(); ++x) {
      uint8_t* p = row + 3 * x;
      const double Y = p[2], cb = p[1] - 128.0, cr = p[0] - 128.0;
      auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); };
      p[2] = clamp(Y + 1.402 * cr);
      p[1] = clamp(Y - 0.344136 * cb - 0.714136 * cr);
      p[0] = clamp(Y + 1.772 * cb);
    }
  }
}

bool DecodeDICOMNative(const TDICOMImage& im, const uint8_t* d, int64_t n, TIEBitmap& b, TIEProgressRecord& progress) {
  const int64_t pixels = static_cast<int64_t>(im.Columns) * im.Rows;
  const int32_t spp = im.SamplesPerPixel;
  const bool big = !im.LittleEndian;
  if (spp == 3 && IsYBR422(im)) {
    // Two pixels in four bytes: Y0, Y1, Cb, Cr.
    if (im.BitsAllocated != 8 || n < (pixels + 1) / 2 * 4) return false;
    return Fill(im, b, [&](int64_t i, int k) -> uint32_t {
      const uint8_t* g = d + i / 2 * 4;
      return k == 0 ? g[i & 1] : g[1 + k];
    }, progress);
  }
  if (n < im.NativeFrameBytes()) return false;
  const bool planar = spp == 3 && im.PlanarConfiguration == 1;
  switch (im.BitsAllocated) {
    case 8:
      if (planar) return Fill(im, b, [&](int64_t i, int k) -> uint32_t { return d[k * pixels + i]; }, progress);
      return Fill(im, b, [&](int64_t i, int k) -> uint32_t { return d[i * spp + k]; }, progress);
    case 16:
      if (spp != 1) return false;
      return Fill(im, b, [&](int64_t i, int) -> uint32_t { return IEGetU16(d + 2 * i, big); }, progress);
    case 12:
      // Packed: every 3 bytes give two samples.
      if (spp != 1) return false;
      return Fill(im, b, [&](int64_t i, int) -> uint32_t {
        const uint8_t* g = d + i / 2 * 3;
        return (i & 1) ? (g[1] >> 4) | (g[2] << 4) : ((g[1] & 0x0F) << 8) | g[0];
      }, progress);
    default:
      return false;
  }
}

bool DecodeDICOMRLE(const TDICOMImage& im, const uint8_t* d, int64_t n, TIEBitmap& b, TIEProgressRecord& progress) {
  if (n < 64) return false;
  const uint32_t count = IEGetU32(d, false);
  const int32_t bytesPerSample = im.BitsAllocated > 8 ? 2 : 1;
  if (count < 1 || count > 15 || count != static_cast<uint32_t>(im.SamplesPerPixel * bytesPerSample)) return false;
  uint32_t offsets[16];
  for (uint32_t i = 0; i < count; ++i) offsets[i] = IEGetU32(d + 4 + 4 * i, false);
  offsets[count] = static_cast<uint32_t>(std::min<int64_t>(n, UINT32_MAX));
  for (uint32_t i = 0; i < count; ++i)
    if (offsets[i] < 64 || offsets[i] > offsets[i + 1] || offsets[i] > n) return false;
  const int64_t pixels = static_cast<int64_t>(im.Columns) * im.Rows;
  std::vector<uint8_t> planes(static_cast<size_t>(pixels) * count, 0);
  for (uint32_t i = 0; i < count; ++i)
    UnpackSegment(d + offsets[i], offsets[i + 1] - offsets[i], planes.data() + pixels * i, pixels);
  const uint8_t* p = planes.data();
  // Segments: for each sample its most significant byte first.
  return Fill(im, b, [&](int64_t i, int k) -> uint32_t {
    if (bytesPerSample == 1) return p[k * pixels + i];
    return static_cast<uint32_t>(p[(2 * k) * pixels + i]) << 8 | p[(2 * k + 1) * pixels + i];
  }, progress);
}
