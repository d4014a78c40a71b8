#include "imaging/core/ie_colorspace.h"

#include <algorithm>
#include <cmath>

#include "imaging/core/ie_power.h"
#include "imaging/core/ie_int_math.h"

TIECMYKToRGBHook CMYKToRGBProfileHook = nullptr;
TIERGBToCMYKHook RGBToCMYKProfileHook = nullptr;

namespace {

double LinearFromByte(uint8_t v) {
  const double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : static_cast<double>(RaiseToPowerDouble((c + 0.055) / 1.055, 2.4));
}

double LabF(double t) {
  return t > 0.008856 ? static_cast<double>(RaiseToPowerDouble(t, 1.0 / 3.0)) : 7.787 * t + 16.0 / 116.0;
}

double LabFInverse(double f) {
  const double f3 = static_cast<double>(RaiseToPowerDouble(f, 3));
  return f3 > 0.008856 ? f3 : (f - 16.0 / 116.0) / 7.787;
}

int8_t SignedByte(double v) { return static_cast<int8_t>(std::clamp(std::trunc(v), -128.0, 127.0)); }

uint8_t ByteFromLinear(double c) {
  c = c > 0.0031308 ? 1.055 * static_cast<double>(RaiseToPowerDouble(c, 1.0 / 2.4)) - 0.055 : 12.92 * c;
  return static_cast<uint8_t>(std::clamp(std::nearbyint(c * 255.0), 0.0, 255.0));
}

}  // namespace

TIECIELab RGBToCIELab(TIERGB Color) {
  const double r = LinearFromByte(Color.r), g = LinearFromByte(Color.g), b = LinearFromByte(Color.b);
  const double x = (0.412453 * r + 0.35758 * g + 0.180423 * b) / 0.95047;
  const double y = 0.212671 * r + 0.71516 * g + 0.072169 * b;
  const double z = (0.019334 * r + 0.119193 * g + 0.950227 * b) / 1.08883;
  const double fx = LabF(x), fy = LabF(y), fz = LabF(z);
  const double l = y > 0.008856 ? 116.0 * fy - 16.0 : 903.3 * y;
  TIECIELab lab;
  lab.l = static_cast<uint8_t>(std::clamp(std::trunc(l * 255.0 / 100.0), 0.0, 255.0));
  lab.a = SignedByte(500.0 * (fx - fy));
  lab.b = SignedByte(200.0 * (fy - fz));
  return lab;
}

TIERGB CIELabToRGB(TIECIELab Lab) {
  const double fy = (Lab.l * 100.0 / 255.0 + 16.0) / 116.0;
  const double fx = Lab.a / 500.0 + fy;
  const double fz = fy - Lab.b / 200.0;
  const double x = LabFInverse(fx) * 0.95047, y = LabFInverse(fy), z = LabFInverse(fz) * 1.08883;
  const double r = 3.2406 * x - 1.5372 * y - 0.4986 * z;
  const double g = -0.9689 * x + 1.8758 * y + 0.0415 * z;
  const double b = 0.0557 * x - 0.204 * y + 1.057 * z;
  return TIERGB{ByteFromLinear(b), ByteFromLinear(g), ByteFromLinear(r)};
}

void CMYKRowToBGR(const uint8_t* CMYK, uint8_t* BGR, int32_t Count) {
  if (Count <= 0 || (CMYKToRGBProfileHook && CMYKToRGBProfileHook(CMYK, BGR, Count))) return;
  for (int32_t i = 0; i < Count; ++i, CMYK += 4, BGR += 3) {
    const uint32_t k = CMYK[3];
    BGR[0] = static_cast<uint8_t>(CMYK[2] * k / 255);
    BGR[1] = static_cast<uint8_t>(CMYK[1] * k / 255);
    BGR[2] = static_cast<uint8_t>(CMYK[0] * k / 255);
  }
}

void BGRRowToCMYK(const uint8_t* BGR, uint8_t* CMYK, int32_t Count) {
  if (Count <= 0 || (RGBToCMYKProfileHook && RGBToCMYKProfileHook(BGR, CMYK, Count))) return;
  for (int32_t i = 0; i < Count; ++i, BGR += 3, CMYK += 4) {
    const int32_t r = BGR[2], g = BGR[1], b = BGR[0];
    int32_t k = std::max({r, g, b});
    if (k == 0) k = 1;
    CMYK[0] = static_cast<uint8_t>(r * 255 / k);
    CMYK[1] = static_cast<uint8_t>(g * 255 / k);
    CMYK[2] = static_cast<uint8_t>(b * 255 / k);
    CMYK[3] = static_cast<uint8_t>(k);
  }
}

void CMYKToRGB(int32_t Pixel, TIERGB& RGB) {
  const uint32_t p = static_cast<uint32_t>(Pixel);
  const uint8_t cmyk[4] = {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16),
                           static_cast<uint8_t>(p >> 24)};
  uint8_t bgr[3];
  CMYKRowToBGR(cmyk, bgr, 1);
  RGB = TIERGB{bgr[0], bgr[1], bgr[2]};
}

TIERGB CMYKToRGB(int32_t Pixel) {
  TIERGB rgb;
  CMYKToRGB(Pixel, rgb);
  return rgb;
}

int32_t RGBToCMYK(TIERGB Color) {
  const uint8_t bgr[3] = {Color.b, Color.g, Color.r};
  uint8_t cmyk[4];
  BGRRowToCMYK(bgr, cmyk, 1);
  return CreateCMYK(cmyk[0], cmyk[1], cmyk[2], cmyk[3]);
}

TIERGB YCbCrToRGB(uint8_t Y, uint8_t Cb, uint8_t Cr) {
  const double cb = Cb - 128.0, cr = Cr - 128.0;
  auto channel = [](double v) { return static_cast<uint8_t>(ClampByte(static_cast<int32_t>(v))); };
  return CreateRGB(channel(Y + 1.402 * cr), channel(Y - 0.34414 * cb - 0.71414 * cr), channel(Y + 1.772 * cb));
}
