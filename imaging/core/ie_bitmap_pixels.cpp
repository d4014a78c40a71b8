// TIEBitmap: single-pixel access. The caller keeps (X, Y) inside the bitmap; the test build asserts
// it. Values are stored with memcpy because rows of 16-, 32- and 48-bit pixels need not be aligned
// (8-bit row alignment).
#include <algorithm>
#include <cassert>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_colorspace.h"

namespace {

template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

}  // namespace

#define IE_ASSERT_INSIDE(X, Y) assert((X) >= 0 && (X) < width_ && (Y) >= 0 && (Y) < height_)

uint8_t TIEBitmap::GetPixel8(int32_t X, int32_t Y) {
  IE_ASSERT_INSIDE(X, Y);
  return Row<uint8_t>(Y)[X];
}

void TIEBitmap::SetPixel8(int32_t X, int32_t Y, uint8_t Value) {
  IE_ASSERT_INSIDE(X, Y);
  Row<uint8_t>(Y)[X] = Value;
  if (Value != 255) full_ = false;
}

uint16_t TIEBitmap::GetPixel16(int32_t X, int32_t Y) {
  IE_ASSERT_INSIDE(X, Y);
  return Load<uint16_t>(Row<uint8_t>(Y) + 2 * static_cast<int64_t>(X));
}

void TIEBitmap::SetPixel16(int32_t X, int32_t Y, uint16_t Value) {
  IE_ASSERT_INSIDE(X, Y);
  Store(Row<uint8_t>(Y) + 2 * static_cast<int64_t>(X), Value);
  if (Value != 65535) full_ = false;
}

float TIEBitmap::GetPixel32f(int32_t X, int32_t Y) {
  IE_ASSERT_INSIDE(X, Y);
  return Load<float>(Row<uint8_t>(Y) + 4 * static_cast<int64_t>(X));
}

void TIEBitmap::SetPixel32f(int32_t X, int32_t Y, float Value) {
  IE_ASSERT_INSIDE(X, Y);
  Store(Row<uint8_t>(Y) + 4 * static_cast<int64_t>(X), Value);
  if (Value < 1.0f) full_ = false;
}

int32_t TIEBitmap::GetPixelCMYK(int32_t X, int32_t Y) {
  IE_ASSERT_INSIDE(X, Y);
  return Load<int32_t>(Row<uint8_t>(Y) + 4 * static_cast<int64_t>(X));
}

void TIEBitmap::SetPixelCMYK(int32_t X, int32_t Y, int32_t Value) {
  IE_ASSERT_INSIDE(X, Y);
  Store(Row<uint8_t>(Y) + 4 * static_cast<int64_t>(X), Value);
}

TIERGB TIEBitmap::GetPixel24(int32_t X, int32_t Y) {
  IE_ASSERT_INSIDE(X, Y);
  return Load<TIERGB>(Row<uint8_t>(Y) + 3 * static_cast<int64_t>(X));
}

void TIEBitmap::SetPixel24(int32_t X, int32_t Y, TIERGB Value) {
  IE_ASSERT_INSIDE(X, Y);
  Store(Row<uint8_t>(Y) + 3 * static_cast<int64_t>(X), Value);
}

TIERGB* TIEBitmap::GetPixelPtr24(int32_t X, int32_t Y) {
  IE_ASSERT_INSIDE(X, Y);
  return reinterpret_cast<TIERGB*>(Row<uint8_t>(Y) + 3 * static_cast<int64_t>(X));
}

TIERGB48 TIEBitmap::GetPixel48(int32_t X, int32_t Y) {
  IE_ASSERT_INSIDE(X, Y);
  return Load<TIERGB48>(Row<uint8_t>(Y) + 6 * static_cast<int64_t>(X));
}

void TIEBitmap::SetPixel48(int32_t X, int32_t Y, TIERGB48 Value) {
  IE_ASSERT_INSIDE(X, Y);
  Store(Row<uint8_t>(Y) + 6 * static_cast<int64_t>(X), Value);
  if (Value.r != 65535 || Value.g != 65535 || Value.b != 65535) full_ = false;
}

TIERGB48* TIEBitmap::GetPixelPtr48(int32_t X, int32_t Y) {
  IE_ASSERT_INSIDE(X, Y);
  return reinterpret_cast<TIERGB48*>(Row<uint8_t>(Y) + 6 * static_cast<int64_t>(X));
}

TIERGB TIEBitmap::GetPixelRGB(int32_t X, int32_t Y) {
  // The stored format, like the other accessors (no framework-bitmap sync per pixel).
  const TIEPixelFormat format = pixelFormat_;
  if (format == ieNoFormat) return TIERGB{0, 0, 0};
  IE_ASSERT_INSIDE(X, Y);
  const uint8_t* row = Row<uint8_t>(Y);
  auto grey = [](uint8_t v) { return TIERGB{v, v, v}; };
  switch (format) {
    case ie1g:
      return grey(GetRowBit(row, X) ? 255 : 0);
    case ie8p:
      return GetPaletteColor(row[X]);
    case ie8g:
      return grey(row[X]);
    case ie16g:
      return grey(row[2 * X + 1]);
    case ie32f: {
      // Values outside 0..1 saturate instead of wrapping around.
      float v = Load<float>(row + 4 * static_cast<int64_t>(X));
      v = v >= 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f);  // NaN too
      return grey(static_cast<uint8_t>(v * 255));
    }
    case ieCMYK:
      return CMYKToRGB(Load<int32_t>(row + 4 * static_cast<int64_t>(X)));
    case ieRGB48: {
      const TIERGB48 w = Load<TIERGB48>(row + 6 * static_cast<int64_t>(X));
      return TIERGB{static_cast<uint8_t>(w.b >> 8), static_cast<uint8_t>(w.g >> 8), static_cast<uint8_t>(w.r >> 8)};
    }
    case ieCIELab:
      return CIELabToRGB(Load<TIECIELab>(row + 3 * static_cast<int64_t>(X)));
    case ie24RGB:
      return Load<TIERGB>(row + 3 * static_cast<int64_t>(X));
    case ie32RGB:
      return Load<TIERGB>(row + 4 * static_cast<int64_t>(X));
    default:
      return TIERGB{0, 0, 0};
  }
}
