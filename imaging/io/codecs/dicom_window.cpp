// The grey steps of a DICOM frame: rescale slope and intercept, the window (centre and width) when
// the data set gives one, a stretch of the values met to the full range, and MONOCHROME1 inversion.
// One mapping serves the whole image, so equal samples always give equal outputs.
#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/dicom_image.h"

namespace {

// The value of a sample after the modality and window steps, before the stretch.
double Windowed(const TDICOMImage& im, int32_t sample, double full) {
  const double v = sample * im.RescaleSlope + im.RescaleIntercept;
  if (!im.HasWindow || im.WindowWidth < 1) return v;
  const double c = im.WindowCentre, w = im.WindowWidth;
  if (w == 1) return v < c - 0.5 ? 0 : full;
  const double lower = std::trunc(c - 0.5 - (w - 1) / 2), upper = std::trunc(c - 0.5 + (w - 1) / 2);
  if (v <= lower) return 0;
  if (v < upper) return ((v - (c - 0.5)) / (w - 1) + 0.5) * full;
  return full;
}

template <class T>
void Apply(const TDICOMImage& im, TIEBitmap& b, double full) {
  const bool sgn = im.Signed();
  const int32_t w = b.Width(), h = b.Height();
  auto value = [&](T stored) -> int32_t {
    if constexpr (sizeof(T) == 1) return sgn ? static_cast<int8_t>(stored) : stored;
    else return sgn ? static_cast<int16_t>(stored) : stored;
  };
  // The samples met.
  int32_t lo = INT32_MAX, hi = INT32_MIN;
  for (int32_t y = 0; y < h; ++y) {
    const T* row = static_cast<const T*>(b.GetRow(y));
    for (int32_t x = 0; x < w; ++x) {
      const int32_t s = value(row[x]);
      lo = std::min(lo, s);
      hi = std::max(hi, s);
    }
  }
  if (lo > hi) return;
  // Every step is monotonic in the sample: the extremes of the values come from the extremes met.
  std::vector<double> v(static_cast<size_t>(hi - lo) + 1);
  double vmin = INFINITY, vmax = -INFINITY;
  for (int32_t s = lo; s <= hi; ++s) {
    const double x = Windowed(im, s, full);
    v[static_cast<size_t>(s - lo)] = x;
    vmin = std::min(vmin, x);
    vmax = std::max(vmax, x);
  }
  // The table of outputs: stretched to the full range; a range of one value stays as it is (moved
  // up by the offset that makes it not negative).
  std::vector<T> out(v.size());
  const double offset = vmin < 0 ? -vmin : 0;
  for (size_t i = 0; i < v.size(); ++i) {
    double r = vmax > vmin ? std::trunc((v[i] - vmin) / (vmax - vmin) * full) : std::trunc(v[i] + offset);
    out[i] = static_cast<T>(std::clamp(r, 0.0, full));
  }
  const bool invert = im.Photometric == "MONOCHROME1";
  for (int32_t y = 0; y < h; ++y) {
    T* row = static_cast<T*>(b.GetRow(y));
    for (int32_t x = 0; x < w; ++x) {
      const T o = out[static_cast<size_t>(value(row[x]) - lo)];
      row[x] = invert ? static_cast<T>(full - o) : o;
    }
  }
}

}  // namespace

void ApplyDICOMGreySteps(const TDICOMImage& Image, TIEBitmap& Bitmap) {
  if (Bitmap.PixelFormat() == ie16g) Apply<uint16_t>(Image, Bitmap, 65535);
  else if (Bitmap.PixelFormat() == ie8g) Apply<uint8_t>(Image, Bitmap, 255);
}
