// Camera raw: our reader against a bare LibRaw loop in the same process, on the same synthetic
// 6000 x 4000 16-bit RGGB DNG held in memory, full and half size, with the same options (linear
// interpolation, gamma 0.6, brightness 1, no straightening). The bare loop is LibRaw's own output
// (dcraw_make_mem_image); ours goes through a memory TStream into a TIEBitmap with the engine's tone
// curve. Both run at the OpenMP thread count of the environment (LibRaw's only threads): set
// OMP_NUM_THREADS before running. The outputs must be the same picture (ours lacks a one-pixel
// border at full size; the tone curves differ); the table gives both times and their ratio (ours /
// bare). LibRaw's command-line converter
// (dcraw_emu -q 0, file to file) and Debian's dcraw, when installed, are timed beside as child
// processes.
//
//   bench_io_raw [width height [runs]]     (default 6000 x 4000, best of 3)
#include <libraw/libraw.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/camera_raw_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Timing {
  double wall = 1e30, cpu = 1e30;  // best of the runs, seconds
};

double CpuSeconds(int who) {
  rusage u;
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

Timing Measure(const std::function<void()>& f, int runs, int who = RUSAGE_SELF) {
  Timing t;
  for (int i = 0; i < runs; ++i) {
    const double c0 = CpuSeconds(who);
    const auto t0 = std::chrono::steady_clock::now();
    f();
    t.wall = std::min(t.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    t.cpu = std::min(t.cpu, CpuSeconds(who) - c0);
  }
  return t;
}

// Little-endian TIFF pieces.
void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A DNG of the photo sampled through an RGGB colour filter: 16-bit sensels of 14 significant bits,
// one strip, the identity colour matrix.
Bytes MakeDNG(int w, int h) {
  const Bytes rgb = MakeBenchPhoto(w, h, true);
  struct Entry {
    uint16_t tag, type;
    uint32_t count;
    Bytes value;
  };
  std::vector<Entry> entries;
  auto shorts = [&](uint16_t tag, std::vector<uint32_t> v) {
    Bytes b;
    for (uint32_t x : v) Put16(b, x);
    entries.push_back({tag, 3, static_cast<uint32_t>(v.size()), b});
  };
  auto longs = [&](uint16_t tag, std::vector<uint32_t> v) {
    Bytes b;
    for (uint32_t x : v) Put32(b, x);
    entries.push_back({tag, 4, static_cast<uint32_t>(v.size()), b});
  };
  auto bytes = [&](uint16_t tag, Bytes v) { entries.push_back({tag, 1, static_cast<uint32_t>(v.size()), v}); };
  auto ascii = [&](uint16_t tag, const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    entries.push_back({tag, 2, static_cast<uint32_t>(b.size()), b});
  };
  auto srationals = [&](uint16_t tag, std::vector<int32_t> v) {  // numerators over 1
    Bytes b;
    for (int32_t x : v) Put32(b, static_cast<uint32_t>(x)), Put32(b, 1);
    entries.push_back({tag, 10, static_cast<uint32_t>(v.size()), b});
  };
  auto rationals = [&](uint16_t tag, std::vector<uint32_t> v) {
    Bytes b;
    for (uint32_t x : v) Put32(b, x), Put32(b, 1);
    entries.push_back({tag, 5, static_cast<uint32_t>(v.size()), b});
  };
  const uint32_t dataBytes = static_cast<uint32_t>(w) * h * 2;
  longs(254, {0});
  longs(256, {static_cast<uint32_t>(w)});
  longs(257, {static_cast<uint32_t>(h)});
  shorts(258, {16});
  shorts(259, {1});
  shorts(262, {32803});
  ascii(271, "Brimvale");
  ascii(272, "Bench One");
  longs(273, {0});  // patched below
  shorts(277, {1});
  longs(278, {static_cast<uint32_t>(h)});
  longs(279, {dataBytes});
  shorts(284, {1});
  shorts(33421, {2, 2});
  bytes(33422, {0, 1, 1, 2});
  bytes(50706, {1, 4, 0, 0});
  ascii(50708, "Brimvale Bench One");
  shorts(50717, {16383});
  srationals(50721, {1, 0, 0, 0, 1, 0, 0, 0, 1});
  rationals(50728, {1, 1, 1});
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });

  Bytes f = {'I', 'I', 42, 0};
  Put32(f, 8);
  const size_t ifdSize = 2 + entries.size() * 12 + 4;
  size_t extra = 8 + ifdSize;  // values of more than 4 bytes follow the directory
  std::vector<uint32_t> at(entries.size());
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].value.size() > 4) {
      at[i] = static_cast<uint32_t>(extra);
      extra += (entries[i].value.size() + 1) & ~size_t{1};
    }
  const uint32_t dataAt = static_cast<uint32_t>((extra + 15) & ~size_t{15});
  Put16(f, static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    Entry& e = entries[i];
    if (e.tag == 273) e.value = {static_cast<uint8_t>(dataAt), static_cast<uint8_t>(dataAt >> 8),
                                 static_cast<uint8_t>(dataAt >> 16), static_cast<uint8_t>(dataAt >> 24)};
    Put16(f, e.tag);
    Put16(f, e.type);
    Put32(f, e.count);
    if (e.value.size() > 4) {
      Put32(f, at[i]);
    } else {
      Bytes v = e.value;
      v.resize(4, 0);
      f.insert(f.end(), v.begin(), v.end());
    }
  }
  Put32(f, 0);
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].value.size() > 4) {
      f.insert(f.end(), entries[i].value.begin(), entries[i].value.end());
      if (f.size() & 1) f.push_back(0);
    }
  f.resize(dataAt, 0);
  f.reserve(f.size() + dataBytes);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int c = (y % 2) * 2 + (x % 2);  // 0 red, 1 and 2 green, 3 blue
      const int channel = c == 0 ? 0 : c == 3 ? 2 : 1;
      Put16(f, 512u + rgb[(static_cast<size_t>(y) * w + x) * 3 + channel] * 60u);
    }
  return f;
}

// LibRaw alone: the file from memory to its 8-bit RGB picture, with the reader's options.
struct BareImage {
  int w = 0, h = 0;
  Bytes rgb;
};
BareImage BareDecode(const Bytes& file, bool half) {
  BareImage out;
  auto raw = std::make_unique<LibRaw>(0);
  libraw_output_params_t& o = raw->imgdata.params;
  o.gamm[0] = 0.6;
  o.bright = 1.0f;
  o.user_qual = 0;
  o.use_fuji_rotate = 0;
  o.output_color = 1;
  o.half_size = half ? 1 : 0;
  if (raw->open_buffer(const_cast<uint8_t*>(file.data()), file.size()) != LIBRAW_SUCCESS) return out;
  if (raw->unpack() != LIBRAW_SUCCESS || raw->dcraw_process() != LIBRAW_SUCCESS) return out;
  int err = 0;
  libraw_processed_image_t* image = raw->dcraw_make_mem_image(&err);
  if (image && image->type == LIBRAW_IMAGE_BITMAP && image->colors == 3 && image->bits == 8) {
    out.w = image->width;
    out.h = image->height;
    out.rgb.assign(image->data, image->data + image->data_size);
  }
  LibRaw::dcraw_clear_mem(image);
  return out;
}

void OursDecode(const Bytes& file, bool half, TIEBitmap& bitmap) {
  TCustomMemoryStream s(const_cast<uint8_t*>(file.data()), static_cast<int64_t>(file.size()));
  TIOParamsVals params(nullptr);
  params.RawHalfSize = half;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  ReadCameraRawStream(s, bitmap, params, progress, false);
}

// Ours against LibRaw's picture (offset by the border ours leaves out). The engine's tone curve
// takes its white point from the pixels' brightness, LibRaw's from each channel's histogram, so the
// levels differ by a tone mapping: the check is that both are the same picture (the correlation of
// their samples), with the largest and mean difference of the levels beside.
std::string Agreement(TIEBitmap& ours, const BareImage& bare, int border, bool& agree) {
  agree = false;
  if (ours.Width() != bare.w - 2 * border || ours.Height() != bare.h - 2 * border) return "SIZES DIFFER";
  int worst = 0;
  double sum = 0, sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  for (int y = 0; y < ours.Height(); ++y) {
    const auto* row = ours.Row<uint8_t>(y);
    const uint8_t* b = bare.rgb.data() + (static_cast<size_t>(y + border) * bare.w + border) * 3;
    for (int x = 0; x < ours.Width(); ++x)
      for (int c = 0; c < 3; ++c) {
        const double u = row[3 * x + 2 - c], v = b[3 * x + c];
        worst = std::max(worst, static_cast<int>(std::abs(u - v)));
        sum += std::abs(u - v);
        sa += u, sb += v, saa += u * u, sbb += v * v, sab += u * v;
      }
  }
  const double n = 3.0 * ours.Width() * ours.Height();
  const double r = (sab - sa * sb / n) / std::sqrt((saa - sa * sa / n) * (sbb - sb * sb / n));
  agree = r >= 0.95;
  char text[128];
  std::snprintf(text, sizeof text, "%s (correlation %.4f; levels differ by %.1f on average, %d at most)",
                agree ? "same picture" : "DIFFER", r, sum / n, worst);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const int w = argc > 2 ? std::atoi(argv[1]) : 6000;
  const int h = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const char* omp = std::getenv("OMP_NUM_THREADS");
  const Bytes dng = MakeDNG(w, h);
  char folder[] = "/tmp/bench_raw_XXXXXX";
  if (!mkdtemp(folder)) return 2;
  const std::string path = std::string(folder) + "/bench.dng";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(dng.data(), 1, dng.size(), f);
    std::fclose(f);
  }
  std::printf("Camera raw, %d x %d 16-bit RGGB DNG (%zu bytes), LibRaw %s, OMP_NUM_THREADS=%s, best of %d\n", w, h,
              dng.size(), LibRaw::version(), omp ? omp : "(unset)", runs);
  std::printf("%-6s %-26s %9s %9s %9s %9s %7s %7s  %s\n", "size", "peer", "ours s", "ours cpu", "peer s", "peer cpu",
              "wall", "cpu", "check");
  bool agree = true;
  for (bool half : {false, true}) {
    TIEBitmap ours;
    BareImage bare;
    const Timing o = Measure([&] { OursDecode(dng, half, ours); }, runs);
    const Timing b = Measure([&] { bare = BareDecode(dng, half); }, runs);
    bool same = false;
    const std::string check = Agreement(ours, bare, half ? 0 : 1, same);
    agree = agree && same;
    const char* size = half ? "half" : "full";
    std::printf("%-6s %-26s %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f  %s\n", size, "bare LibRaw loop", o.wall, o.cpu, b.wall,
                b.cpu, o.wall / b.wall, o.cpu / b.cpu, check.c_str());
    // LibRaw's converter, file to file (its start-up and the file writing included).
    const std::string command = std::string("dcraw_emu -q 0 -g 0.6 4.5") + (half ? " -h" : "") + " -Z " + folder +
                                "/out.ppm " + path + " >/dev/null 2>&1";
    int status = 0;
    const Timing e = Measure([&] { status = std::system(command.c_str()); }, runs, RUSAGE_CHILDREN);
    std::printf("%-6s %-26s %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f  %s\n", size, "dcraw_emu -q 0 (child)", o.wall, o.cpu,
                e.wall, e.cpu, o.wall / e.wall, o.cpu / e.cpu, status == 0 ? "ran" : "dcraw_emu FAILED");
    // Debian's dcraw beside, when installed (bench/compare_raw.sh installs it).
    if (std::system("command -v dcraw >/dev/null 2>&1") == 0) {
      const std::string dcraw = std::string("dcraw -q 0 -g 0.6 4.5") + (half ? " -h" : "") + " -c " + path + " >/dev/null 2>&1";
      const Timing r = Measure([&] { status = std::system(dcraw.c_str()); }, runs, RUSAGE_CHILDREN);
      std::printf("%-6s %-26s %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f  %s\n", size, "dcraw -q 0 (child)", o.wall, o.cpu,
                  r.wall, r.cpu, o.wall / r.wall, o.cpu / r.cpu, status == 0 ? "ran" : "dcraw FAILED");
    }
  }
  std::remove(path.c_str());
  std::remove((std::string(folder) + "/out.ppm").c_str());
  rmdir(folder);
  return agree ? 0 : 1;
}
