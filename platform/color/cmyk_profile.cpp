#include "platform/color/cmyk_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// ---- The ink model (see the header) ----

constexpr double kDotGain = 0.36;
constexpr double kSurface = 0.015;
constexpr double kTotalInk = 3.0;
// Densities of the solid inks in the red, green and blue channels: cyan, magenta, yellow, black.
constexpr double kDensity[4][3] = {{1.40, 0.55, 0.25}, {0.12, 1.35, 0.65}, {0.03, 0.12, 1.05}, {1.55, 1.55, 1.55}};
// Linear sRGB (D50-adapted primaries) to XYZ.
constexpr double kToXYZ[3][3] = {{0.4360747, 0.3850649, 0.1430804},
                                 {0.2225045, 0.7168786, 0.0606169},
                                 {0.0139322, 0.0971045, 0.7141733}};
// Grid points of the tables.
constexpr int kA2BGrid = 9;
constexpr int kB2AGrid = 17;

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

struct Model {
  double transmit[4][3];  // 10^-density
  Mat3 toXYZ;             // scaled so that reflectance 1, 1, 1 is the D50 white exactly
  Mat3 fromXYZ;
  Vec3 white;
  Vec3 blackScaled;       // the darkest printable colour's XYZ (the perceptual tables' black)

  Model() {
    for (int i = 0; i < 4; ++i)
      for (int c = 0; c < 3; ++c) transmit[i][c] = std::pow(10.0, -kDensity[i][c]);
    const cmsCIEXYZ* d50 = cmsD50_XYZ();
    white = {d50->X, d50->Y, d50->Z};
    for (int r = 0; r < 3; ++r) {
      const double sum = kToXYZ[r][0] + kToXYZ[r][1] + kToXYZ[r][2];
      for (int c = 0; c < 3; ++c) toXYZ[r][c] = kToXYZ[r][c] * white[r] / sum;
    }
    fromXYZ = Inverse(toXYZ);
    const Vec3 f = Filter({2.0 / 3.0, 2.0 / 3.0, 2.0 / 3.0}, 1.0);
    blackScaled = ToXYZ(Reflectance(f));
  }

  static Mat3 Inverse(const Mat3& m) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat3 r;
    r[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    r[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    r[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    r[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    r[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    r[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    r[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    r[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    r[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return r;
  }

  static double Area(double v) { return v + kDotGain * v * (1 - v); }
  static double AreaSlope(double v) { return 1 + kDotGain * (1 - 2 * v); }

  // The layers' transmission F per channel.
  Vec3 Filter(const Vec3& cmy, double k) const {
    Vec3 f{1, 1, 1};
    const double amounts[4] = {cmy[0], cmy[1], cmy[2], k};
    for (int i = 0; i < 4; ++i) {
      const double a = Area(amounts[i]);
      for (int c = 0; c < 3; ++c) f[c] *= 1 - a + a * transmit[i][c];
    }
    return f;
  }
  static Vec3 Reflectance(const Vec3& f) {
    return {kSurface + (1 - kSurface) * f[0], kSurface + (1 - kSurface) * f[1], kSurface + (1 - kSurface) * f[2]};
  }
  Vec3 ToXYZ(const Vec3& rgb) const {
    Vec3 xyz{};
    for (int r = 0; r < 3; ++r) xyz[r] = toXYZ[r][0] * rgb[0] + toXYZ[r][1] * rgb[1] + toXYZ[r][2] * rgb[2];
    return xyz;
  }
  Vec3 FromXYZ(const Vec3& xyz) const {
    Vec3 rgb{};
    for (int r = 0; r < 3; ++r) rgb[r] = fromXYZ[r][0] * xyz[0] + fromXYZ[r][1] * xyz[1] + fromXYZ[r][2] * xyz[2];
    return rgb;
  }

  Vec3 PrintXYZ(double c, double m, double y, double k) const { return ToXYZ(Reflectance(Filter({c, m, y}, k))); }

  // Perceptual scaling: the printable black becomes the connection space's black, white stays.
  Vec3 ToPerceptual(const Vec3& xyz) const {
    Vec3 p{};
    for (int j = 0; j < 3; ++j) p[j] = std::max(0.0, (xyz[j] - blackScaled[j]) / (white[j] - blackScaled[j]) * white[j]);
    return p;
  }
  Vec3 FromPerceptual(const Vec3& p) const {
    Vec3 xyz{};
    for (int j = 0; j < 3; ++j) xyz[j] = p[j] * (white[j] - blackScaled[j]) / white[j] + blackScaled[j];
    return xyz;
  }

  // Channel densities of cyan, magenta, yellow beside black k, and their slopes.
  void Densities(const Vec3& cmy, double k, Vec3& d, Mat3& slope) const {
    const double ak = Area(k);
    for (int c = 0; c < 3; ++c) d[c] = -std::log10(1 - ak + ak * transmit[3][c]);
    for (int i = 0; i < 3; ++i) {
      const double a = Area(cmy[i]);
      for (int c = 0; c < 3; ++c) {
        const double layer = 1 - a + a * transmit[i][c];
        d[c] -= std::log10(layer);
        slope[c][i] = -(transmit[i][c] - 1) * AreaSlope(cmy[i]) / (layer * std::log(10.0));
      }
    }
  }

  // Cyan, magenta and yellow beside black k that come nearest the channel densities target.
  Vec3 MatchDensities(const Vec3& target, double k) const {
    // Start from the solid densities taken as additive.
    Mat3 solid;
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 3; ++i) solid[c][i] = kDensity[i][c];
    const Mat3 inv = Inverse(solid);
    Vec3 cmy{};
    const double blackDensity = Area(k) * kDensity[3][0];
    for (int i = 0; i < 3; ++i) {
      double v = 0;
      for (int c = 0; c < 3; ++c) v += inv[i][c] * std::max(0.0, target[c] - blackDensity);
      cmy[i] = std::clamp(v, 0.0, 1.0);
    }
    auto error = [&](const Vec3& v) {
      Vec3 d;
      Mat3 s;
      Densities(v, k, d, s);
      return (d[0] - target[0]) * (d[0] - target[0]) + (d[1] - target[1]) * (d[1] - target[1]) +
             (d[2] - target[2]) * (d[2] - target[2]);
    };
    double current = error(cmy);
    for (int iteration = 0; iteration < 60 && current > 1e-14; ++iteration) {
      Vec3 d;
      Mat3 s;
      Densities(cmy, k, d, s);
      const Vec3 r{target[0] - d[0], target[1] - d[1], target[2] - d[2]};
      // Gauss-Newton step on the slopes (normal equations, a little damping keeps them regular).
      Mat3 n{};
      Vec3 g{};
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
          for (int c = 0; c < 3; ++c) n[i][j] += s[c][i] * s[c][j];
        n[i][i] += 1e-9;
        for (int c = 0; c < 3; ++c) g[i] += s[c][i] * r[c];
      }
      const Mat3 ninv = Inverse(n);
      Vec3 step{};
      for (int i = 0; i < 3; ++i) step[i] = ninv[i][0] * g[0] + ninv[i][1] * g[1] + ninv[i][2] * g[2];
      // Halve the step until it helps; amounts stay inside 0..1.
      bool improved = false;
      for (double scale = 1.0; scale > 1e-4; scale *= 0.5) {
        Vec3 next{};
        for (int i = 0; i < 3; ++i) next[i] = std::clamp(cmy[i] + scale * step[i], 0.0, 1.0);
        const double e = error(next);
        if (e < current) {
          cmy = next;
          current = e;
          improved = true;
          break;
        }
      }
      if (!improved) break;
    }
    return cmy;
  }

  // The separation of a colour given as XYZ: cyan, magenta, yellow, black amounts 0..1.
  std::array<double, 4> Separate(const Vec3& xyz) const {
    const Vec3 rgb = FromXYZ(xyz);
    Vec3 target{};
    for (int c = 0; c < 3; ++c) {
      const double f = std::clamp((rgb[c] - kSurface) / (1 - kSurface), 1e-4, 1.0);
      target[c] = -std::log10(f);
    }
    Vec3 cmy = MatchDensities(target, 0);
    const double grey = std::min({cmy[0], cmy[1], cmy[2]});
    double k = grey > 0.2 ? std::pow((grey - 0.2) / 0.8, 1.2) : 0.0;
    cmy = MatchDensities(target, k);
    while (cmy[0] + cmy[1] + cmy[2] + k > kTotalInk + 1e-9 && k < 1) {
      k = std::min(1.0, k + 0.02);
      cmy = MatchDensities(target, k);
    }
    const double colour = cmy[0] + cmy[1] + cmy[2];
    if (colour + k > kTotalInk + 1e-9) {
      const double f = (kTotalInk - k) / colour;
      for (double& v : cmy) v *= f;
    }
    return {cmy[0], cmy[1], cmy[2], k};
  }
};

const Model& TheModel() {
  static const Model model;
  return model;
}

Vec3 LabToXYZ(const cmsCIELab& lab) {
  cmsCIEXYZ xyz;
  cmsLab2XYZ(cmsD50_XYZ(), &xyz, &lab);
  return {xyz.X, xyz.Y, xyz.Z};
}

cmsCIELab XYZToLab(const Vec3& v) {
  const cmsCIEXYZ xyz{std::max(0.0, v[0]), std::max(0.0, v[1]), std::max(0.0, v[2])};
  cmsCIELab lab;
  cmsXYZ2Lab(cmsD50_XYZ(), &lab, &xyz);
  return lab;
}

// A table node's L*a*b* in the version 2 encoding of the tables (L 0..100 on 0..0xFF00).
cmsCIELab NodeLab(const cmsUInt16Number in[]) {
  cmsCIELab lab;
  cmsLabEncoded2FloatV2(&lab, in);
  lab.L = std::min(lab.L, 100.0);
  return lab;
}

uint16_t Word(double v) { return static_cast<uint16_t>(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0)); }

struct Cargo {
  bool perceptual;
};

int SampleA2B(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
  const Model& m = TheModel();
  Vec3 xyz = m.PrintXYZ(in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0, in[3] / 65535.0);
  if (static_cast<Cargo*>(cargo)->perceptual) xyz = m.ToPerceptual(xyz);
  const cmsCIELab lab = XYZToLab(xyz);
  cmsFloat2LabEncodedV2(out, &lab);
  return TRUE;
}

int SampleB2A(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
  const Model& m = TheModel();
  Vec3 xyz = LabToXYZ(NodeLab(in));
  if (static_cast<Cargo*>(cargo)->perceptual) xyz = m.FromPerceptual(xyz);
  const std::array<double, 4> ink = m.Separate(xyz);
  for (int i = 0; i < 4; ++i) out[i] = Word(ink[i]);
  return TRUE;
}

int SampleGamut(const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
  const Model& m = TheModel();
  const cmsCIELab target = NodeLab(in);
  const std::array<double, 4> ink = m.Separate(LabToXYZ(target));
  const cmsCIELab printed = XYZToLab(m.PrintXYZ(ink[0], ink[1], ink[2], ink[3]));
  out[0] = cmsDeltaE(&target, &printed) > 3.0 ? 0xFFFF : 0;
  return TRUE;
}

bool WriteTable(cmsHPROFILE h, cmsTagSignature sig, int grid, int inputs, int outputs, cmsSAMPLER16 sampler,
                Cargo* cargo) {
  cmsPipeline* lut = cmsPipelineAlloc(nullptr, static_cast<cmsUInt32Number>(inputs), static_cast<cmsUInt32Number>(outputs));
  if (!lut) return false;
  cmsStage* clut = cmsStageAllocCLut16bit(nullptr, static_cast<cmsUInt32Number>(grid), static_cast<cmsUInt32Number>(inputs),
                                          static_cast<cmsUInt32Number>(outputs), nullptr);
  bool ok = clut && cmsStageSampleCLut16bit(clut, sampler, cargo, 0) &&
            cmsPipelineInsertStage(lut, cmsAT_END, clut);
  if (!ok && clut) cmsStageFree(clut);
  ok = ok && cmsWriteTag(h, sig, lut);
  cmsPipelineFree(lut);
  return ok;
}

bool WriteText(cmsHPROFILE h, cmsTagSignature sig, const char* text) {
  cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
  const bool ok = mlu && cmsMLUsetASCII(mlu, "en", "US", text) && cmsWriteTag(h, sig, mlu);
  if (mlu) cmsMLUfree(mlu);
  return ok;
}

}  // namespace

void CMYKInkModelLab(double C, double M, double Y, double K, double Lab[3]) {
  const cmsCIELab lab = XYZToLab(TheModel().PrintXYZ(C, M, Y, K));
  Lab[0] = lab.L;
  Lab[1] = lab.a;
  Lab[2] = lab.b;
}

std::vector<uint8_t> BuildCMYKProfile() {
  std::vector<uint8_t> bytes;
  cmsHPROFILE h = cmsCreateProfilePlaceholder(nullptr);
  if (!h) return bytes;
  cmsSetProfileVersion(h, 2.1);
  cmsSetDeviceClass(h, cmsSigOutputClass);
  cmsSetColorSpace(h, cmsSigCmykData);
  cmsSetPCS(h, cmsSigLabData);
  cmsSetHeaderRenderingIntent(h, INTENT_PERCEPTUAL);

  const Model& m = TheModel();
  const Vec3 black = m.PrintXYZ(2.0 / 3.0, 2.0 / 3.0, 2.0 / 3.0, 1.0);
  const cmsCIEXYZ blackPoint{black[0], black[1], black[2]};
  Cargo perceptual{true}, colorimetric{false};
  bool ok = WriteText(h, cmsSigProfileDescriptionTag, "Brimvale CMYK (built-in ink model)") &&
            WriteText(h, cmsSigCopyrightTag, "No copyright, use freely") &&
            cmsWriteTag(h, cmsSigMediaWhitePointTag, cmsD50_XYZ()) &&
            cmsWriteTag(h, cmsSigMediaBlackPointTag, &blackPoint) &&
            WriteTable(h, cmsSigAToB0Tag, kA2BGrid, 4, 3, SampleA2B, &perceptual) &&
            WriteTable(h, cmsSigAToB1Tag, kA2BGrid, 4, 3, SampleA2B, &colorimetric) &&
            cmsLinkTag(h, cmsSigAToB2Tag, cmsSigAToB0Tag) &&
            WriteTable(h, cmsSigBToA0Tag, kB2AGrid, 3, 4, SampleB2A, &perceptual) &&
            WriteTable(h, cmsSigBToA1Tag, kB2AGrid, 3, 4, SampleB2A, &colorimetric) &&
            cmsLinkTag(h, cmsSigBToA2Tag, cmsSigBToA0Tag) &&
            WriteTable(h, cmsSigGamutTag, kB2AGrid, 3, 1, SampleGamut, nullptr);
  cmsUInt32Number size = 0;
  if (ok && cmsSaveProfileToMem(h, nullptr, &size) && size > 128) {
    bytes.resize(size);
    if (!cmsSaveProfileToMem(h, bytes.data(), &size)) bytes.clear();
  }
  cmsCloseProfile(h);
  if (bytes.size() > 128) {
    // A fixed creation date (2024-01-01 00:00:00), so that the same model gives the same bytes.
    static const uint8_t kDate[12] = {0x07, 0xE8, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
    std::copy(std::begin(kDate), std::end(kDate), bytes.begin() + 24);
  }
  return bytes;
}
