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

void CMYKToRGB(int32_t Pixel, TIERGB& RGB) {
  if (CMYKToRGBProfileHook && CMYKToRGBProfileHook(Pixel, RGB)) return;
  const uint32_t p = static_cast<uint32_t>(Pixel);
  const uint32_t c = p & 0xFF, m = (p >> 8) & 0xFF, y = (p >> 16) & 0xFF, k = p >> 24;
  RGB.r = static_cast<uint8_t>(c * k / 255);
  RGB.g = static_cast<uint8_t>(m * k / 255);
  RGB.b = static_cast<uint8_t>(y * k / 255);
}

TIERGB CMYKToRGB(int32_t Pixel) {
  TIERGB rgb;
  CMYKToRGB(Pixel, rgb);
  return rgb;
}

int32_t RGBToCMYK(TIERGB Color) {
  int32_t cmyk;
  if (RGBToCMYKProfileHook && RGBToCMYKProfileHook(Color, cmyk)) return cmyk;
  int32_t k = std::max({Color.r, Color.g, Color.b});
  if (k == 0) k = 1;
  return CreateCMYK(static_cast<uint8_t>(Color.r * 255 / k), static_cast<uint8_t>(Color.g * 255 / k),
                    static_cast<uint8_t>(Color.b * 255 / k), static_cast<uint8_t>(k));
}

TIERGB YCbCrToRGB(uint8_t Y, uint8_t Cb, uint8_t Cr) {
  const double cb = Cb - 128.0, cr = Cr - 128.0;
  auto channel = [](double v) { return static_cast<uint8_t>(ClampByte(static_cast<int32_t>(v))); };
  return CreateRGB(channel(Y + 1.402 * cr), channel(Y - 0.34414 * cb - 0.71414 * cr), channel(Y + 1.772 * cb));
}
