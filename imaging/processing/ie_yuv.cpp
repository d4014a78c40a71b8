#include "imaging/processing/ie_yuv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_int_math.h"
#include "imaging/processing/ie_resample_rows.h"
#include "imaging/processing/ie_yuv_avx2.h"

namespace {

// The conversion in double precision, as YUVToRGB defines it. Every path that must give its bytes
// goes through these three, so that they round alike.
inline double BlueOf(int32_t Y, int32_t U) { return 1.164 * (Y - 16) + 2.018 * (U - 128); }
inline double GreenOf(int32_t Y, int32_t U, int32_t V) {
  const double d = 1.164 * (Y - 16);
  return d - 0.813 * (V - 128) - 0.391 * (U - 128);
}
inline double RedOf(int32_t Y, int32_t V) { return 1.164 * (Y - 16) + 1.596 * (V - 128); }
inline uint8_t ToByte(double v) {
  if (!(v > 0)) return 0;  // also NaN
  if (v >= 255) return 255;
  return static_cast<uint8_t>(std::nearbyint(v));
}

// Tables of the fast conversion. Blue depends on (Y, U) and red on (Y, V) only: two 64 KiB tables
// hold their exact bytes. Green takes the exact sum in thousandths, 1164 (Y - 16) - 813 (V - 128) -
// 391 (U - 128), rounded; only when that sum lies exactly half-way between two integers does the
// double computation decide (it may round either way there), about one triple in a thousand.
struct TYUVTables {
  // The lowest sum is -171532 thousandths: 172 whole units lift every sum above 0, and the half
  // rounds it; the highest, 432308, then falls in step 604.
  static constexpr int32_t kGreenOffset = 172;
  static constexpr int32_t kGreenBias = kGreenOffset * 1000 + 500;
  static constexpr int32_t kGreenSteps = 606;

  uint8_t blue[256][256];   // [U][Y]
  uint8_t red[256][256];    // [V][Y]
  int32_t lumaG[256];       // 1164 (Y - 16) + kGreenBias
  int32_t chromaG[256][2];  // -391 (U - 128), -813 (V - 128)
  uint8_t greenClamp[kGreenSteps];

  TYUVTables() {
    for (int32_t c = 0; c < 256; ++c)
      for (int32_t y = 0; y < 256; ++y) {
        blue[c][y] = ToByte(BlueOf(y, c));
        red[c][y] = ToByte(RedOf(y, c));
      }
    for (int32_t i = 0; i < 256; ++i) {
      lumaG[i] = 1164 * (i - 16) + kGreenBias;
      chromaG[i][0] = -391 * (i - 128);
      chromaG[i][1] = -813 * (i - 128);
    }
    for (int32_t q = 0; q < kGreenSteps; ++q) greenClamp[q] = static_cast<uint8_t>(ClampByte(q - kGreenOffset));
  }
};

const TYUVTables& Tables() {
  static const TYUVTables tables;
  return tables;
}

// Green of one pixel from its luma and the pixel pair's chroma sum.
inline uint8_t Green(const TYUVTables& t, uint8_t Y, int32_t chroma, uint8_t U, uint8_t V) {
  const auto x = static_cast<uint32_t>(t.lumaG[Y] + chroma);
  const uint32_t q = x / 1000;
  if (q * 1000 == x) return ToByte(GreenOf(Y, U, V));  // exactly half-way
  return t.greenClamp[q];
}

inline void Put(const TYUVTables& t, uint8_t* dst, uint8_t Y, uint8_t U, uint8_t V, int32_t chroma) {
  dst[0] = t.blue[U][Y];
  dst[1] = Green(t, Y, chroma, U, V);
  dst[2] = t.red[V][Y];
}

inline int32_t ChromaG(const TYUVTables& t, uint8_t U, uint8_t V) { return t.chromaG[U][0] + t.chromaG[V][1]; }

// Bitmap row of stored row i.
inline int32_t TargetRow(int32_t i, int32_t height, bool topDown) { return topDown ? i : height - 1 - i; }

// Bytes of a packed row: whole groups, padded to 4 bytes.
int64_t PackedStride(int64_t width, int32_t groupPixels, int32_t groupBytes) {
  return ((width + groupPixels - 1) / groupPixels * groupBytes + 3) / 4 * 4;
}

// A packed layout: groups of G pixels in B bytes; pixel k of a group takes its Y, U and V from the
// byte offsets Y[k], U[k], V[k].
template <int G, int B>
struct TPacked {
  std::array<uint8_t, G> y, u, v;
};

template <int G, int B>
void ConvertPacked(const TPacked<G, B>& layout, const void* Data, TIEBitmap& Bitmap, bool TopDown) {
  const TYUVTables& t = Tables();
  const int32_t width = Bitmap.GetWidth(), height = Bitmap.GetHeight();
  const int64_t stride = PackedStride(width, G, B);
  const int32_t wholeGroups = width / G;
  for (int32_t i = 0; i < height; ++i) {
    const uint8_t* src = static_cast<const uint8_t*>(Data) + stride * i;
    auto* dst = static_cast<uint8_t*>(Bitmap.GetRow(TargetRow(i, height, TopDown)));
    for (int32_t g = 0; g < wholeGroups; ++g, src += B, dst += 3 * G)
      for (int k = 0; k < G; ++k) {
        const uint8_t U = src[layout.u[k]], V = src[layout.v[k]];
        Put(t, dst + 3 * k, src[layout.y[k]], U, V, ChromaG(t, U, V));
      }
    for (int k = 0; k < width - wholeGroups * G; ++k) {
      const uint8_t U = src[layout.u[k]], V = src[layout.v[k]];
      Put(t, dst + 3 * k, src[layout.y[k]], U, V, ChromaG(t, U, V));
    }
  }
}

// Two-pixel layouts share one chroma pair per group: the common case of capture devices, written
// out so that the pair's chroma is looked up once.
template <int Y0, int Y1, int U, int V>
void ConvertPairsScalar(const uint8_t* src, uint8_t* dst, int32_t Pairs) {
  const TYUVTables& t = Tables();
  for (int32_t p = 0; p < Pairs; ++p, src += 4, dst += 6) {
    const uint8_t u = src[U], v = src[V];
    const uint8_t* blue = t.blue[u];
    const uint8_t* red = t.red[v];
    const int32_t chroma = ChromaG(t, u, v);
    const uint8_t y0 = src[Y0], y1 = src[Y1];
    dst[0] = blue[y0];
    dst[1] = Green(t, y0, chroma, u, v);
    dst[2] = red[y0];
    dst[3] = blue[y1];
    dst[4] = Green(t, y1, chroma, u, v);
    dst[5] = red[y1];
  }
}

template <int Y0, int Y1, int U, int V>
void ConvertPairs(const void* Data, TIEBitmap& Bitmap, bool TopDown) {
  const TYUVTables& t = Tables();
  const int32_t width = Bitmap.GetWidth(), height = Bitmap.GetHeight();
  const int64_t stride = PackedStride(width, 2, 4);
  const bool vector = ResampleSimdActive();
  for (int32_t i = 0; i < height; ++i) {
    const uint8_t* src = static_cast<const uint8_t*>(Data) + stride * i;
    auto* dst = static_cast<uint8_t*>(Bitmap.GetRow(TargetRow(i, height, TopDown)));
    // Eight pixels at a time where the processor can, the same bytes as the tables give.
    const int32_t done = vector ? YUVPairsRowAvx2(src, dst, width, Y0 | Y1 << 2 | U << 4 | V << 6,
                                                  ConvertPairsScalar<Y0, Y1, U, V>)
                                : 0;
    src += 2 * static_cast<int64_t>(done);
    dst += 3 * static_cast<int64_t>(done);
    ConvertPairsScalar<Y0, Y1, U, V>(src, dst, (width - done) / 2);
    if ((width - done) & 1) {
      src += 2 * static_cast<int64_t>(width - done - 1);
      dst += 3 * static_cast<int64_t>(width - done - 1);
      Put(t, dst, src[Y0], src[U], src[V], ChromaG(t, src[U], src[V]));
    }
  }
}

// Planar frames: luma plane, then the first and second chroma plane, each Sub times smaller.
void ConvertPlanar(const void* Data, TIEBitmap& Bitmap, bool TopDown, int32_t Sub, bool UFirst) {
  const TYUVTables& t = Tables();
  const int32_t width = Bitmap.GetWidth(), height = Bitmap.GetHeight();
  const int32_t cw = width / Sub, ch = height / Sub;
  const auto* luma = static_cast<const uint8_t*>(Data);
  const uint8_t* first = luma + static_cast<int64_t>(width) * height;
  const uint8_t* second = first + static_cast<int64_t>(cw) * ch;
  const uint8_t* uPlane = UFirst ? first : second;
  const uint8_t* vPlane = UFirst ? second : first;
  // The chroma column of each pixel, clamped to the plane.
  std::vector<int32_t> column(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) column[x] = std::min(x / Sub, cw - 1);
  for (int32_t i = 0; i < height; ++i) {
    const uint8_t* y = luma + static_cast<int64_t>(width) * i;
    auto* dst = static_cast<uint8_t*>(Bitmap.GetRow(TargetRow(i, height, TopDown)));
    if (cw == 0 || ch == 0) {
      for (int32_t x = 0; x < width; ++x) Put(t, dst + 3 * x, y[x], 128, 128, ChromaG(t, 128, 128));
      continue;
    }
    const int64_t row = static_cast<int64_t>(std::min(i / Sub, ch - 1)) * cw;
    const uint8_t* u = uPlane + row;
    const uint8_t* v = vPlane + row;
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t U = u[column[x]], V = v[column[x]];
      Put(t, dst + 3 * x, y[x], U, V, ChromaG(t, U, V));
    }
  }
}

// Bit replication: a field of n bits to 8 bits.
constexpr uint8_t Widen5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
constexpr uint8_t Widen6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

constexpr uint32_t kI420 = MakeFourCC('I', '4', '2', '0'), kIYUV = MakeFourCC('I', 'Y', 'U', 'V'),
                   kYV12 = MakeFourCC('Y', 'V', '1', '2'), kYVU9 = MakeFourCC('Y', 'V', 'U', '9'),
                   kYUY2 = MakeFourCC('Y', 'U', 'Y', '2'), kYUNV = MakeFourCC('Y', 'U', 'N', 'V'),
                   kUYVY = MakeFourCC('U', 'Y', 'V', 'Y'), kUYNV = MakeFourCC('U', 'Y', 'N', 'V'),
                   kcyuv = MakeFourCC('c', 'y', 'u', 'v'), kYVYU = MakeFourCC('Y', 'V', 'Y', 'U'),
                   kIYU1 = MakeFourCC('I', 'Y', 'U', '1'), kIYU2 = MakeFourCC('I', 'Y', 'U', '2'),
                   kY41P = MakeFourCC('Y', '4', '1', 'P'), kY211 = MakeFourCC('Y', '2', '1', '1'),
                   kCLJR = MakeFourCC('C', 'L', 'J', 'R');

}  // namespace

void YUVToRGB(int32_t Y, int32_t U, int32_t V, TIERGB& Pixel) {
  Pixel = TIERGB{ToByte(BlueOf(Y, U)), ToByte(GreenOf(Y, U, V)), ToByte(RedOf(Y, V))};
}

TIERGB YUVToRGB(int32_t Y, int32_t U, int32_t V) {
  TIERGB p;
  YUVToRGB(Y, U, V, p);
  return p;
}

TIERGB YUVToRGBFast(uint8_t Y, uint8_t U, uint8_t V) {
  const TYUVTables& t = Tables();
  uint8_t p[3];
  Put(t, p, Y, U, V, ChromaG(t, U, V));
  return TIERGB{p[0], p[1], p[2]};
}

void ConvertI420Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown) { ConvertPlanar(Data, Bitmap, TopDown, 2, true); }
void ConvertYV12Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown) { ConvertPlanar(Data, Bitmap, TopDown, 2, false); }
void ConvertYVU9Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown) { ConvertPlanar(Data, Bitmap, TopDown, 4, false); }
void ConvertYUY2Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown) { ConvertPairs<0, 2, 1, 3>(Data, Bitmap, TopDown); }
void ConvertUYVYRows(const void* Data, TIEBitmap& Bitmap, bool TopDown) { ConvertPairs<1, 3, 0, 2>(Data, Bitmap, TopDown); }
void ConvertYVYURows(const void* Data, TIEBitmap& Bitmap, bool TopDown) { ConvertPairs<0, 2, 3, 1>(Data, Bitmap, TopDown); }

void ConvertIYU1Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown) {
  static constexpr TPacked<4, 6> layout{{1, 2, 4, 5}, {0, 0, 0, 0}, {3, 3, 3, 3}};
  ConvertPacked(layout, Data, Bitmap, TopDown);
}

void ConvertIYU2Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown) {
  static constexpr TPacked<1, 3> layout{{1}, {0}, {2}};
  ConvertPacked(layout, Data, Bitmap, TopDown);
}

void ConvertY41PRows(const void* Data, TIEBitmap& Bitmap, bool TopDown) {
  static constexpr TPacked<8, 12> layout{{1, 3, 5, 7, 8, 9, 10, 11}, {0, 0, 0, 0, 4, 4, 4, 4}, {2, 2, 2, 2, 6, 6, 6, 6}};
  ConvertPacked(layout, Data, Bitmap, TopDown);
}

void ConvertY211Rows(const void* Data, TIEBitmap& Bitmap, bool TopDown) {
  static constexpr TPacked<4, 4> layout{{0, 0, 2, 2}, {1, 1, 1, 1}, {3, 3, 3, 3}};
  ConvertPacked(layout, Data, Bitmap, TopDown);
}

void ConvertCLJRRows(const void* Data, TIEBitmap& Bitmap, bool TopDown) {
  const TYUVTables& t = Tables();
  const int32_t width = Bitmap.GetWidth(), height = Bitmap.GetHeight();
  const int64_t stride = PackedStride(width, 4, 4);
  for (int32_t i = 0; i < height; ++i) {
    const uint8_t* src = static_cast<const uint8_t*>(Data) + stride * i;
    auto* dst = static_cast<uint8_t*>(Bitmap.GetRow(TargetRow(i, height, TopDown)));
    for (int32_t x = 0; x < width; x += 4, src += 4) {
      const uint32_t w = static_cast<uint32_t>(src[0]) | (static_cast<uint32_t>(src[1]) << 8) |
                         (static_cast<uint32_t>(src[2]) << 16) | (static_cast<uint32_t>(src[3]) << 24);
      const uint8_t V = Widen6(w & 63), U = Widen6((w >> 6) & 63);
      const int32_t chroma = ChromaG(t, U, V);
      for (int k = 0; k < 4 && x + k < width; ++k) Put(t, dst + 3 * (x + k), Widen5((w >> (12 + 5 * k)) & 31), U, V, chroma);
    }
  }
}

TIEYUVConverter YUVConverterFor(uint32_t FourCC) {
  switch (FourCC) {
    case kI420: case kIYUV: return ConvertI420Rows;
    case kYV12: return ConvertYV12Rows;
    case kYVU9: return ConvertYVU9Rows;
    case kYUY2: case kYUNV: return ConvertYUY2Rows;
    case kUYVY: case kUYNV: case kcyuv: return ConvertUYVYRows;
    case kYVYU: return ConvertYVYURows;
    case kIYU1: return ConvertIYU1Rows;
    case kIYU2: return ConvertIYU2Rows;
    case kY41P: return ConvertY41PRows;
    case kY211: return ConvertY211Rows;
    case kCLJR: return ConvertCLJRRows;
    default: return nullptr;
  }
}

int64_t YUVFrameSize(uint32_t FourCC, int32_t Width, int32_t Height) {
  if (Width < 1 || Height < 1) return -1;
  const int64_t w = Width, h = Height;
  // Planar sizes stay below 2^63 for any 32-bit sizes; a packed row of three bytes a pixel times
  // 2^31 rows does not, so those products are checked.
  const auto rows = [h](int64_t stride) -> int64_t {
    int64_t bytes;
    return __builtin_mul_overflow(stride, h, &bytes) ? -1 : bytes;
  };
  switch (FourCC) {
    case kI420: case kIYUV: case kYV12: return w * h + 2 * (w / 2) * (h / 2);
    case kYVU9: return w * h + 2 * (w / 4) * (h / 4);
    case kYUY2: case kYUNV: case kUYVY: case kUYNV: case kcyuv: case kYVYU: return rows(PackedStride(w, 2, 4));
    case kIYU1: return rows(PackedStride(w, 4, 6));
    case kIYU2: return rows(PackedStride(w, 1, 3));
    case kY41P: return rows(PackedStride(w, 8, 12));
    case kY211: case kCLJR: return rows(PackedStride(w, 4, 4));
    default: return -1;
  }
}

bool YUVTopDown(uint32_t FourCC, int32_t Height) {
  const bool bottomUpLayout = FourCC == kY41P || FourCC == kcyuv;
  return bottomUpLayout ? Height < 0 : Height > 0;
}
