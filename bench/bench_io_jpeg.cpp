// The JPEG codec between memory streams and bitmaps, and through TZodazUrIO, on one 6000 x 4000
// photo-like picture (quality 80, 4:2:0, integer DCT, as libjpeg-turbo's tjbench measures it); and
// the 6000 x 4000 CMYK conversion through the built-in profile and by the formulas.
//
//   bench_io_jpeg [Google Benchmark flags]   the benchmarks
//   bench_io_jpeg --make <dir>               writes photo.ppm, photo.jpg, photo-progressive.jpg
//   bench_io_jpeg --time <dir> <runs>        times ours on those files (median ms per line) and writes
//                                            what it decoded and encoded for comparison
//   bench_io_jpeg --psnr <a.ppm> <b.ppm>     PSNR of two PPM pictures (exact: "inf")
// bench/compare_jpeg_png.sh runs the last three beside tjbench, djpeg and cjpeg.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

void Paint(TIEBitmap& b) {
  b.Allocate(kWidth, kHeight, ie24RGB);
  // Sensor-like grain of +-16 levels: about 3.9 MB at quality 80, 4:2:0.
  const std::vector<uint8_t> pixels = MakeBenchPhoto(kWidth, kHeight, false, 16);
  for (int32_t y = 0; y < kHeight; ++y) {
    const uint8_t* src = pixels.data() + static_cast<size_t>(y) * kWidth * 3;
    std::copy(src, src + kWidth * 3, static_cast<uint8_t*>(b.GetRow(y)));
  }
}

TIEBitmap& Photo() {
  static TIEBitmap* photo = [] {
    auto* b = new TIEBitmap();
    Paint(*b);
    return b;
  }();
  return *photo;
}

struct Progress {
  bool aborting = false;
  TIEProgressRecord record;
  Progress() { record.Aborting = &aborting; }
};

std::vector<uint8_t> Encode(TIEBitmap& b, bool progressive) {
  TIOParamsVals p(nullptr);
  p.JpegQuality = 80;
  p.JpegChromaSubsampling = 1;
  p.JpegProgressive = progressive;
  TMemoryStream out;
  Progress progress;
  WriteJpegStream(out, b, p, progress.record);
  const auto* m = static_cast<const uint8_t*>(out.Memory());
  return std::vector<uint8_t>(m, m + out.Size());
}

const std::vector<uint8_t>& File(bool progressive) {
  static const std::vector<uint8_t> baseline = Encode(Photo(), false);
  static const std::vector<uint8_t> prog = Encode(Photo(), true);
  return progressive ? prog : baseline;
}

bool Decode(const std::vector<uint8_t>& file, TIEBitmap& into, uint8_t scale) {
  TIEMemStream s(file.data(), static_cast<int64_t>(file.size()));
  TIOParamsVals p(nullptr);
  p.JpegScale = scale;
  Progress progress;
  ReadJpegStream(s, nullptr, into, p, progress.record, false, false, false, false, false, false, -1, false);
  return !progress.aborting;
}

// ---- Google Benchmark ----

void BM_JpegDecode_SizedBitmap(benchmark::State& state) {
  const auto& file = File(false);
  TIEBitmap b(kWidth, kHeight, ie24RGB);
  for (auto _ : state) benchmark::DoNotOptimize(Decode(file, b, 1));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_JpegDecode_SizedBitmap)->Unit(benchmark::kMillisecond);

void BM_JpegDecode_FreshBitmap(benchmark::State& state) {
  const auto& file = File(false);
  for (auto _ : state) {
    TIEBitmap b;
    benchmark::DoNotOptimize(Decode(file, b, 1));
  }
}
BENCHMARK(BM_JpegDecode_FreshBitmap)->Unit(benchmark::kMillisecond);

void BM_JpegDecode_Eighth(benchmark::State& state) {
  const auto& file = File(false);
  TIEBitmap b(kWidth / 8, kHeight / 8, ie24RGB);
  for (auto _ : state) benchmark::DoNotOptimize(Decode(file, b, 4));
}
BENCHMARK(BM_JpegDecode_Eighth)->Unit(benchmark::kMillisecond);

void BM_JpegDecode_Progressive(benchmark::State& state) {
  const auto& file = File(true);
  TIEBitmap b(kWidth, kHeight, ie24RGB);
  for (auto _ : state) benchmark::DoNotOptimize(Decode(file, b, 1));
}
BENCHMARK(BM_JpegDecode_Progressive)->Unit(benchmark::kMillisecond);

void BM_JpegEncode(benchmark::State& state) {
  TIEBitmap& b = Photo();
  for (auto _ : state) benchmark::DoNotOptimize(Encode(b, false));
}
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMillisecond);

void BM_JpegEncode_Progressive(benchmark::State& state) {
  TIEBitmap& b = Photo();
  for (auto _ : state) benchmark::DoNotOptimize(Encode(b, true));
}
BENCHMARK(BM_JpegEncode_Progressive)->Unit(benchmark::kMillisecond);

// Through the I/O component, from and to memory streams.
void BM_JpegComponentLoad(benchmark::State& state) {
  InitializeZodazUrIO();
  const auto& file = File(false);
  TZodazUrIO io(nullptr);
  for (auto _ : state) {
    TIEMemStream s(file.data(), static_cast<int64_t>(file.size()));
    io.LoadFromStreamJPEG(s);
  }
}
BENCHMARK(BM_JpegComponentLoad)->Unit(benchmark::kMillisecond);

void BM_JpegComponentSave(benchmark::State& state) {
  InitializeZodazUrIO();
  TZodazUrIO io(nullptr);
  io.IEBitmap()->Assign(Photo());
  for (auto _ : state) {
    TMemoryStream s;
    io.SaveToStreamJPEG(s);
  }
}
BENCHMARK(BM_JpegComponentSave)->Unit(benchmark::kMillisecond);

// A 6000 x 4000 CMYK picture to 24 bits: through the built-in profile (row by row) and by the formulas.
void CMYKTo24(benchmark::State& state, bool profile) {
  InitializeZodazUrIO();
  CMYKProfileEnabled = profile;
  TIEBitmap cmyk(kWidth, kHeight, ieCMYK);
  for (int32_t y = 0; y < kHeight; ++y) {
    auto* row = static_cast<uint8_t*>(cmyk.GetRow(y));
    for (int32_t i = 0; i < kWidth * 4; ++i) row[i] = static_cast<uint8_t>((i * 7 + y * 13) & 255);
  }
  for (auto _ : state) {
    TIEBitmap b(kWidth, kHeight, ie24RGB);
    b.CopyAndConvertFormat(cmyk);
    benchmark::DoNotOptimize(b.GetRow(0));
  }
  CMYKProfileEnabled = true;
}
void BM_CMYKTo24_Profile(benchmark::State& state) { CMYKTo24(state, true); }
void BM_CMYKTo24_Formulas(benchmark::State& state) { CMYKTo24(state, false); }
BENCHMARK(BM_CMYKTo24_Profile)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_CMYKTo24_Formulas)->Unit(benchmark::kMillisecond);

// ---- the comparison's modes ----

std::vector<uint8_t> ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WritePPM(const std::string& name, TIEBitmap& b) {
  std::ofstream out(name, std::ios::binary);
  out << "P6\n" << b.Width() << " " << b.Height() << "\n255\n";
  std::vector<uint8_t> row(static_cast<size_t>(b.Width()) * 3);
  for (int32_t y = 0; y < b.Height(); ++y) {
    const auto* p = static_cast<const uint8_t*>(b.GetRow(y));
    for (int32_t x = 0; x < b.Width(); ++x) {
      row[3 * x] = p[3 * x + 2];
      row[3 * x + 1] = p[3 * x + 1];
      row[3 * x + 2] = p[3 * x];
    }
    out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
  }
}

bool ReadPPM(const std::string& name, int& w, int& h, std::vector<uint8_t>& rgb) {
  std::ifstream in(name, std::ios::binary);
  std::string magic;
  int max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  rgb.assign(std::istreambuf_iterator<char>(in), {});
  return magic == "P6" && rgb.size() == static_cast<size_t>(w) * h * 3;
}

void WriteAll(const std::string& name, const std::vector<uint8_t>& data) {
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

int Make(const std::string& dir) {
  WritePPM(dir + "/photo.ppm", Photo());
  WriteAll(dir + "/photo.jpg", File(false));
  WriteAll(dir + "/photo-progressive.jpg", File(true));
  std::printf("photo.jpg %zu bytes, photo-progressive.jpg %zu bytes\n", File(false).size(), File(true).size());
  return 0;
}

template <class F>
double MedianMs(int runs, F work) {
  std::vector<double> ms;
  work();  // warm-up
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

int Time(const std::string& dir, int runs) {
  InitializeZodazUrIO();
  const std::vector<uint8_t> jpeg = ReadAll(dir + "/photo.jpg");
  const std::vector<uint8_t> progressive = ReadAll(dir + "/photo-progressive.jpg");
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  if (!ReadPPM(dir + "/photo.ppm", w, h, rgb)) return 1;
  TIEBitmap source(w, h, ie24RGB);
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(source.GetRow(y));
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      row[3 * x] = p[2];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[0];
    }
  }
  TIEBitmap sized(w, h, ie24RGB), eighth(w / 8, h / 8, ie24RGB);
  std::printf("ours decode (sized bitmap)      %8.1f ms\n", MedianMs(runs, [&] { Decode(jpeg, sized, 1); }));
  std::printf("ours decode (fresh bitmap)      %8.1f ms\n", MedianMs(runs, [&] {
                TIEBitmap b;
                Decode(jpeg, b, 1);
              }));
  std::printf("ours decode 1/8                 %8.1f ms\n", MedianMs(runs, [&] { Decode(jpeg, eighth, 4); }));
  std::printf("ours decode progressive         %8.1f ms\n", MedianMs(runs, [&] { Decode(progressive, sized, 1); }));
  std::vector<uint8_t> encoded;
  std::printf("ours encode                     %8.1f ms\n", MedianMs(runs, [&] { encoded = Encode(source, false); }));
  std::printf("ours encode progressive         %8.1f ms\n", MedianMs(runs, [&] { Encode(source, true); }));
  TZodazUrIO io(nullptr);
  std::printf("ours file load (LoadFromFile)   %8.1f ms\n", MedianMs(runs, [&] { io.LoadFromFile(dir + "/photo.jpg"); }));
  io.Params().JpegQuality = 80;
  io.Params().JpegChromaSubsampling = 1;
  io.Params().SetDpi(72);
  std::printf("ours file save (SaveToFile)     %8.1f ms\n", MedianMs(runs, [&] { io.SaveToFile(dir + "/ours-saved.jpg"); }));
  WritePPM(dir + "/ours.ppm", sized);
  WritePPM(dir + "/ours-eighth.ppm", eighth);
  Decode(progressive, sized, 1);
  WritePPM(dir + "/ours-progressive.ppm", sized);
  WriteAll(dir + "/ours-encoded.jpg", encoded);
  return 0;
}

int PSNR(const std::string& a, const std::string& b) {
  int wa = 0, ha = 0, wb = 0, hb = 0;
  std::vector<uint8_t> pa, pb;
  if (!ReadPPM(a, wa, ha, pa) || !ReadPPM(b, wb, hb, pb) || wa != wb || ha != hb) {
    std::printf("differ\n");
    return 1;
  }
  double sum = 0;
  for (size_t i = 0; i < pa.size(); ++i) sum += (static_cast<double>(pa[i]) - pb[i]) * (static_cast<double>(pa[i]) - pb[i]);
  if (sum == 0)
    std::printf("inf\n");
  else
    std::printf("%.2f\n", 10 * std::log10(255.0 * 255.0 * static_cast<double>(pa.size()) / sum));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--make") == 0) return Make(argv[2]);
  if (argc >= 4 && std::strcmp(argv[1], "--time") == 0) return Time(argv[2], std::max(1, std::atoi(argv[3])));
  if (argc >= 4 && std::strcmp(argv[1], "--psnr") == 0) return PSNR(argv[2], argv[3]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
