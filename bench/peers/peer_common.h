#pragma once
// What the peer comparisons share: medians of timed runs, the machine's load, raw pixel files for
// the Python peer, PSNR, an exact double-precision separable resampler to measure every output
// against, and the call of bench/peers/pillow_peer.py.
//
// Every comparison runs ours and the peer in one process (Pillow in a child process started by
// this one) on the same pixels in the same form, at the same thread count, and prints ours, the
// peer, the ratio ours / peer and how far the outputs agree.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace peers {

// Median wall time in milliseconds of Runs calls of Work.
inline double MedianMs(int Runs, const std::function<void()>& Work) {
  std::vector<double> times;
  for (int r = 0; r < Runs; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    Work();
    const auto t1 = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The processor time of the process (every thread) in milliseconds.
inline double ProcessCpuMs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// The processor time of the last timed call (TimedMs, or what the Python peer reported), or -1.
inline double& LastCpuMs() {
  static double ms = -1;
  return ms;
}

// Wall time in milliseconds of one call of Work; LastCpuMs gets the processor time it took. On a
// busy machine the wall time of one thread grows with the load while its processor time barely
// moves, so the one-thread comparisons show both.
inline double TimedMs(const std::function<void()>& Work) {
  const double cpu0 = ProcessCpuMs();
  const auto t0 = std::chrono::steady_clock::now();
  Work();
  const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  LastCpuMs() = ProcessCpuMs() - cpu0;
  return wall;
}

// One tool at one thread count in a comparison: Run does the work once and returns its time in
// milliseconds (the wall time around it, or what a child process measured of the work alone).
struct Contender {
  std::string Tool;
  int32_t Threads;
  std::function<double()> Run;
  std::vector<double> Times;
  std::vector<double> Cpu;
  static double MedianOf(std::vector<double> t) {
    std::sort(t.begin(), t.end());
    return t.empty() ? -1 : t[t.size() / 2];
  }
  double Median() const { return MedianOf(Times); }
  double CpuMedian() const { return MedianOf(Cpu); }
};

// Rounds rounds, each running every contender once in turn, so that a change in the machine's load
// falls on all of them alike rather than on whichever ran at the time.
inline void RunInTurn(std::vector<Contender>& Contenders, int Rounds) {
  for (int r = 0; r < Rounds; ++r)
    for (Contender& c : Contenders) {
      LastCpuMs() = -1;
      c.Times.push_back(c.Run());
      c.Cpu.push_back(LastCpuMs());
    }
}

inline int32_t AllCores() { return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency())); }

// The one-minute load average, to print beside the figures (the machine may be shared).
inline std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  std::string one;
  f >> one;
  return one.empty() ? "?" : one;
}

inline void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream f(Path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + Path);
}

inline std::vector<uint8_t> ReadFile(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + Path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// PSNR in dB of A against the reference Ref (same length, samples 0..255); 99 when identical.
inline double Psnr(const std::vector<double>& Ref, const std::vector<uint8_t>& A) {
  if (Ref.size() != A.size() || A.empty()) return -1;
  double se = 0;
  for (size_t i = 0; i < A.size(); ++i) {
    const double d = Ref[i] - A[i];
    se += d * d;
  }
  if (se == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (se / static_cast<double>(A.size())));
}

inline std::vector<double> ToReal(const std::vector<uint8_t>& A) { return std::vector<double>(A.begin(), A.end()); }

// ---- Exact resampling in double precision ----

struct Tap {
  int32_t Pixel;
  double Weight;
};
using AxisWeights = std::vector<std::vector<Tap>>;

// The kernel's real weights on the corner-aligned grid ours uses: scale (d - 1) / (s - 1), centre
// i / scale, the kernel stretched by 1 / scale when shrinking, edges mirrored (-1 reads 1, s reads
// s - 1).
inline AxisWeights CornerAlignedWeights(int32_t S, int32_t D, double (*Kernel)(double), double Support) {
  const double scale = S == 1 || D == 1 ? double(D) / S : double(D - 1) / (S - 1);
  const double width = scale < 1 ? Support / scale : Support;
  AxisWeights w(static_cast<size_t>(D));
  for (int32_t i = 0; i < D; ++i) {
    const double c = i / scale;
    for (int32_t j = int32_t(std::floor(c - width)); j <= int32_t(std::ceil(c + width)); ++j) {
      const double k = scale < 1 ? Kernel((c - j) * scale) : Kernel(c - j);
      const int32_t m = std::clamp(j < 0 ? -j : j >= S ? 2 * S - 1 - j : j, 0, S - 1);
      if (k != 0) w[static_cast<size_t>(i)].push_back({m, k});
    }
  }
  return w;
}

// The kernel's real weights on the centre-aligned grid the peers use: destination pixel i centred
// on source position (i + 0.5) * S / D - 0.5, the kernel stretched by S / D when shrinking, edge
// positions clamped to the edge pixels.
inline AxisWeights CentreAlignedWeights(int32_t S, int32_t D, double (*Kernel)(double), double Support) {
  const double g = double(S) / D;
  const double stretch = std::max(1.0, g);
  AxisWeights w(static_cast<size_t>(D));
  for (int32_t i = 0; i < D; ++i) {
    const double c = (i + 0.5) * g - 0.5;
    for (int32_t j = int32_t(std::floor(c - Support * stretch)); j <= int32_t(std::ceil(c + Support * stretch)); ++j) {
      const double k = Kernel((j - c) / stretch);
      if (k != 0) w[static_cast<size_t>(i)].push_back({std::clamp(j, 0, S - 1), k});
    }
  }
  return w;
}

// Both passes in double precision over rows of Channels samples, each weight list normalised by its
// sum; the result clamped to 0..255, not rounded.
inline std::vector<double> ExactResample(const std::vector<uint8_t>& Src, int32_t SW, int32_t SH, int32_t Channels,
                                         const AxisWeights& Cols, const AxisWeights& Rows) {
  const int32_t dw = static_cast<int32_t>(Cols.size()), dh = static_cast<int32_t>(Rows.size());
  const size_t rowSamples = static_cast<size_t>(dw) * Channels;
  std::vector<double> work(rowSamples * SH), out(rowSamples * dh);
  auto normalised = [](const std::vector<Tap>& taps) {
    double sum = 0;
    for (const Tap& t : taps) sum += t.Weight;
    std::vector<Tap> n = taps;
    for (Tap& t : n) t.Weight /= sum;
    return n;
  };
  AxisWeights cols, rows;
  for (const auto& t : Cols) cols.push_back(normalised(t));
  for (const auto& t : Rows) rows.push_back(normalised(t));
  auto horizontal = [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      const uint8_t* src = Src.data() + static_cast<size_t>(y) * SW * Channels;
      double* dst = work.data() + static_cast<size_t>(y) * rowSamples;
      for (int32_t x = 0; x < dw; ++x)
        for (int32_t c = 0; c < Channels; ++c) {
          double s = 0;
          for (const Tap& t : cols[static_cast<size_t>(x)]) s += t.Weight * src[static_cast<size_t>(t.Pixel) * Channels + c];
          dst[static_cast<size_t>(x) * Channels + c] = s;
        }
    }
  };
  auto vertical = [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      double* dst = out.data() + static_cast<size_t>(y) * rowSamples;
      for (const Tap& t : rows[static_cast<size_t>(y)]) {
        const double* src = work.data() + static_cast<size_t>(t.Pixel) * rowSamples;
        for (size_t i = 0; i < rowSamples; ++i) dst[i] += t.Weight * src[i];
      }
      for (size_t i = 0; i < rowSamples; ++i) dst[i] = std::clamp(dst[i], 0.0, 255.0);
    }
  };
  // On every core: the reference is not what is timed.
  auto parallel = [](int32_t n, const std::function<void(int32_t, int32_t)>& f) {
    const int32_t threads = AllCores();
    std::vector<std::thread> pool;
    for (int32_t t = 0; t < threads; ++t) pool.emplace_back(f, n * t / threads, n * (t + 1) / threads);
    for (auto& th : pool) th.join();
  };
  parallel(SH, horizontal);
  parallel(dh, vertical);
  return out;
}

// Kernels of the peers' filters.
inline double SincPi(double x) {
  if (x == 0) return 1;
  x *= 3.14159265358979323846;
  return std::sin(x) / x;
}
inline double Lanczos3(double x) { return std::fabs(x) < 3 ? SincPi(x) * SincPi(x / 3) : 0; }
// Catmull-Rom (cubic convolution with a = -0.5), the bicubic of Pillow and of libvips.
inline double CatmullRom(double x) {
  x = std::fabs(x);
  if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
  if (x < 2) return ((-0.5 * x + 2.5) * x - 4) * x + 2;
  return 0;
}

// ---- Pillow ----

// Runs bench/peers/pillow_peer.py with Args and returns the median milliseconds it prints
// ("ms <value>"), LastCpuMs the processor time ("cpu <value>"); a negative value when it fails.
// Debian's interpreter, which python3-pil installs into, before any other python3 on the PATH.
inline double RunPillow(const std::string& Script, const std::string& Args) {
  const std::string python = std::ifstream("/usr/bin/python3").good() ? "/usr/bin/python3" : "python3";
  const std::string command = python + " '" + Script + "' " + Args;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  char line[512];
  double ms = -1;
  while (std::fgets(line, sizeof line, p)) {
    double v;
    if (std::sscanf(line, "ms %lf", &v) == 1) ms = v;
    if (std::sscanf(line, "cpu %lf", &v) == 1) LastCpuMs() = v;
  }
  return pclose(p) == 0 ? ms : -1;
}

// ---- Printing ----

inline void PrintHeader(const char* Title) {
  std::printf("\n%s (load %s, %d logical cores)\n", Title, LoadAverage().c_str(), AllCores());
  std::printf("%-44s %10s %10s %8s  %s\n", "operation / tool", "threads", "ms", "ratio", "agreement");
}

// The same with a column of processor time: the medians of the wall time and of the processor time
// (all threads), the ratio of the wall times, and for one thread the ratio of the processor times.
inline void PrintCpuHeader(const char* Title) {
  std::printf("\n%s (load %s, %d logical cores)\n", Title, LoadAverage().c_str(), AllCores());
  std::printf("%-40s %7s %9s %9s %6s %7s  %s\n", "operation / tool", "threads", "ms", "cpu ms", "ratio", "cpu rt",
              "agreement");
}

inline void PrintCpuRow(const Contender& C, const Contender* Ours, const std::string& Agreement) {
  char ratio[16] = "", cpuRatio[16] = "";
  if (Ours && Ours->Median() > 0 && C.Median() > 0) std::snprintf(ratio, sizeof ratio, "%.2f", Ours->Median() / C.Median());
  if (Ours && C.Threads == 1 && Ours->CpuMedian() > 0 && C.CpuMedian() > 0)
    std::snprintf(cpuRatio, sizeof cpuRatio, "%.2f", Ours->CpuMedian() / C.CpuMedian());
  std::printf("%-40s %7d %9.1f %9.1f %6s %7s  %s\n", C.Tool.c_str(), C.Threads, C.Median(), C.CpuMedian(), ratio,
              cpuRatio, Agreement.c_str());
}

// One line: Tool's median at Threads threads, the ratio Ours / it (when Ours > 0) and the agreement.
inline void PrintRow(const std::string& Tool, const std::string& Threads, double Ms, double Ours,
                     const std::string& Agreement) {
  char ratio[32] = "";
  if (Ours > 0 && Ms > 0) std::snprintf(ratio, sizeof ratio, "%.2f", Ours / Ms);
  std::printf("%-44s %10s %10.1f %8s  %s\n", Tool.c_str(), Threads.c_str(), Ms, ratio, Agreement.c_str());
}

inline std::string PsnrText(double Db) {
  char s[64];
  if (Db >= 99)
    std::snprintf(s, sizeof s, "exact");
  else
    std::snprintf(s, sizeof s, "%.2f dB", Db);
  return s;
}

}  // namespace peers
