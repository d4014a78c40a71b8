// Resampling side by side with libvips and Pillow, every tool once per round in turn: the shared photo-like picture, 6000 x 4000 down
// to 1500 x 1000 and 1500 x 1000 up to 6000 x 4000, with Lanczos3 and bicubic, on one thread and
// on every core (Pillow runs on one). Every tool gets the same bytes from memory and makes its
// result in memory, destination included.
//
// The like-for-like peer of a downscale is vips_reduce: the plain separable convolution with the
// same kernel. vips_resize is timed beside it, as it comes (it shrinks by a box first) and with
// gap 0 (no box: the convolution alone, through resize's own pipeline). vips_reduce cannot enlarge,
// so vips_resize is the peer of the upscale. Each output is measured against the exact
// double-precision resample of its own grid and kernel: ours is corner-aligned (the first and last
// pixels meet) with Lanczos3 or the area-weighted cubic of a = -1; the peers are centre-aligned
// with Lanczos3 or Catmull-Rom.
//   peer_resample <folder of pillow_peer.py> [runs] [only cases whose name holds this text]
#include <vips/vips.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "bench/bench_photo.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_resample_area.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_filters.h"

using namespace peers;

namespace {

struct Picture {
  int32_t W, H;
  std::vector<uint8_t> Bytes;  // blue, green, red, rows from the top
};

std::unique_ptr<TIEBitmap> ToBitmap(const Picture& p) {
  auto b = std::make_unique<TIEBitmap>(p.W, p.H, ie24RGB);
  for (int32_t y = 0; y < p.H; ++y)
    std::memcpy(b->Row<uint8_t>(y), p.Bytes.data() + static_cast<size_t>(y) * p.W * 3, static_cast<size_t>(p.W) * 3);
  return b;
}

std::vector<uint8_t> FromBitmap(TIEBitmap& b) {
  std::vector<uint8_t> out(static_cast<size_t>(b.Width()) * b.Height() * 3);
  for (int32_t y = 0; y < b.Height(); ++y)
    std::memcpy(out.data() + static_cast<size_t>(y) * b.Width() * 3, b.Row<uint8_t>(y), static_cast<size_t>(b.Width()) * 3);
  return out;
}

AxisWeights FromReal(const std::vector<std::vector<TIERealContributor>>& w) {
  AxisWeights out;
  for (const auto& list : w) {
    out.emplace_back();
    for (const TIERealContributor& c : list) out.back().push_back({c.Pixel, c.Weight});
  }
  return out;
}

// Ours once at Threads threads, the destination made in the call; Out gets the result.
double Ours(TIEBitmap& src, int32_t dw, int32_t dh, TResampleFilter filter, int32_t threads, std::vector<uint8_t>& out) {
  ResampleThreadCountForTesting() = threads;
  std::unique_ptr<TIEBitmap> dst;
  const double ms = TimedMs([&] {
    dst = std::make_unique<TIEBitmap>(dw, dh, ie24RGB);
    ResampleBitmap(src, *dst, filter, nullptr, nullptr);
  });
  ResampleThreadCountForTesting() = 0;
  out = FromBitmap(*dst);
  return ms;
}

enum class VipsOp { Reduce, Resize, ResizeGap0 };

// libvips once at Threads threads: the operation on the memory image, written to memory; Out gets
// the result.
double Vips(VipsImage* in, VipsOp op, double scale, VipsKernel kernel, int32_t threads, std::vector<uint8_t>& out) {
  vips_concurrency_set(threads);
  return TimedMs([&] {
    VipsImage* o = nullptr;
    int failed = 0;
    if (op == VipsOp::Reduce)
      failed = vips_reduce(in, &o, 1 / scale, 1 / scale, "kernel", kernel, nullptr);
    else if (op == VipsOp::Resize)
      failed = vips_resize(in, &o, scale, "kernel", kernel, nullptr);
    else
      failed = vips_resize(in, &o, scale, "kernel", kernel, "gap", 0.0, nullptr);
    if (failed) vips_error_exit(nullptr);
    size_t size = 0;
    void* mem = vips_image_write_to_memory(o, &size);
    if (!mem) vips_error_exit(nullptr);
    out.assign(static_cast<uint8_t*>(mem), static_cast<uint8_t*>(mem) + size);
    g_free(mem);
    g_object_unref(o);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: peer_resample <folder of pillow_peer.py> [runs] [only]\n");
    return 2;
  }
  if (VIPS_INIT(argv[0])) vips_error_exit(nullptr);
  vips_cache_set_max(0);  // each run computes anew
  const std::string pillow = std::string(argv[1]) + "/pillow_peer.py";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const std::string only = argc > 3 ? argv[3] : "";
  MinFileSizeOverride = -1;  // every bitmap in memory, as the peers' are
  const int32_t cores = AllCores();
  const std::string dir = std::filesystem::temp_directory_path().string() + "/brimvale_peer_resample";
  std::filesystem::create_directories(dir);

  Picture large{6000, 4000, MakeBenchPhoto(6000, 4000)};
  Picture small{1500, 1000, MakeBenchPhoto(1500, 1000)};
  WriteFile(dir + "/large.raw", large.Bytes);
  WriteFile(dir + "/small.raw", small.Bytes);
  auto largeBitmap = ToBitmap(large), smallBitmap = ToBitmap(small);
  VipsImage* largeVips =
      vips_image_new_from_memory(large.Bytes.data(), large.Bytes.size(), large.W, large.H, 3, VIPS_FORMAT_UCHAR);
  VipsImage* smallVips =
      vips_image_new_from_memory(small.Bytes.data(), small.Bytes.size(), small.W, small.H, 3, VIPS_FORMAT_UCHAR);

  struct Case {
    const char* name;
    bool up;
    TResampleFilter ours;
    VipsKernel vips;
    const char* pillow;
  };
  const Case cases[] = {
      {"Lanczos3 6000x4000 -> 1500x1000", false, rfLanczos3, VIPS_KERNEL_LANCZOS3, "lanczos"},
      {"Lanczos3 1500x1000 -> 6000x4000", true, rfLanczos3, VIPS_KERNEL_LANCZOS3, "lanczos"},
      {"bicubic 6000x4000 -> 1500x1000", false, rfBicubic, VIPS_KERNEL_CUBIC, "bicubic"},
      {"bicubic 1500x1000 -> 6000x4000", true, rfBicubic, VIPS_KERNEL_CUBIC, "bicubic"},
  };
  std::printf("peer_resample: %d runs each, medians; libvips %s, Pillow via %s\n", runs, vips_version_string(),
              pillow.c_str());
  for (const Case& c : cases) {
    if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
    const Picture& in = c.up ? small : large;
    TIEBitmap& inBitmap = c.up ? *smallBitmap : *largeBitmap;
    VipsImage* inVips = c.up ? smallVips : largeVips;
    const int32_t dw = c.up ? 6000 : 1500, dh = c.up ? 4000 : 1000;
    const double scale = c.up ? 4.0 : 0.25;

    // The exact references of both grids.
    const bool lanczos = c.ours == rfLanczos3;
    const std::vector<double> oursExact =
        lanczos ? ExactResample(in.Bytes, in.W, in.H, 3, CornerAlignedWeights(in.W, dw, Lanczos3, 3),
                                CornerAlignedWeights(in.H, dh, Lanczos3, 3))
                : ExactResample(in.Bytes, in.W, in.H, 3, FromReal(AreaAxisWeights(in.W, dw, true)),
                                FromReal(AreaAxisWeights(in.H, dh, true)));
    double (*peerKernel)(double) = lanczos ? Lanczos3 : CatmullRom;
    const double peerSupport = lanczos ? 3 : 2;
    const std::vector<double> peerExact = ExactResample(in.Bytes, in.W, in.H, 3, CentreAlignedWeights(in.W, dw, peerKernel, peerSupport),
                                                        CentreAlignedWeights(in.H, dh, peerKernel, peerSupport));

    // Every contender once per round, in turn; each keeps its last output.
    std::vector<Contender> contenders;
    std::vector<std::vector<uint8_t>> outputs;
    std::vector<std::string> grids;  // the exact reference each output is measured against
    auto add = [&](const std::string& tool, int32_t threads, std::function<double(std::vector<uint8_t>&)> run,
                   const char* grid) {
      const size_t k = contenders.size();
      outputs.emplace_back();
      grids.push_back(grid);
      contenders.push_back({tool, threads, [&outputs, k, run] { return run(outputs[k]); }, {}, {}});
    };
    for (int32_t threads : {1, cores})
      add("ours", threads, [&, threads](std::vector<uint8_t>& o) { return Ours(inBitmap, dw, dh, c.ours, threads, o); },
          "corner");
    struct VipsRun {
      VipsOp op;
      const char* label;
    };
    std::vector<VipsRun> vipsRuns;
    if (!c.up)
      vipsRuns = {{VipsOp::Reduce, "vips_reduce (like for like)"},
                  {VipsOp::ResizeGap0, "vips_resize gap 0"},
                  {VipsOp::Resize, "vips_resize (box pre-shrink)"}};
    else
      vipsRuns = {{VipsOp::Resize, "vips_resize (like for like)"}};
    for (const VipsRun& v : vipsRuns)
      for (int32_t threads : {1, cores})
        add(v.label, threads,
            [&, op = v.op, threads](std::vector<uint8_t>& o) { return Vips(inVips, op, scale, c.vips, threads, o); },
            "centre");
    const std::string pillowOut = dir + "/pillow.raw";
    char args[512];
    std::snprintf(args, sizeof args, "resize '%s' %d %d %d %d %s 1 '%s'",
                  (dir + (c.up ? "/small.raw" : "/large.raw")).c_str(), in.W, in.H, dw, dh, c.pillow, pillowOut.c_str());
    add(std::string("Pillow resize ") + c.pillow, 1,
        [&, command = std::string(args)](std::vector<uint8_t>& o) {
          const double ms = RunPillow(pillow, command);
          if (ms >= 0) o = ReadFile(pillowOut);
          return ms;
        },
        "centre");
    RunInTurn(contenders, runs);

    PrintCpuHeader(c.name);
    for (size_t k = 0; k < contenders.size(); ++k) {
      const Contender& t = contenders[k];
      const bool corner = grids[k] == "corner";
      const std::vector<double>& exact = corner ? oursExact : peerExact;
      const std::string agreement =
          outputs[k].size() != exact.size()
              ? "other size or failed"
              : std::string(corner ? "vs exact (corner-aligned) " : "vs exact (centre-aligned) ") +
                    PsnrText(Psnr(exact, outputs[k]));
      PrintCpuRow(t, k < 2 ? nullptr : &contenders[t.Threads == 1 ? 0 : 1], agreement);
    }
    std::printf("%-40s %7s %9s %9s %6s %7s  %s\n", "ours vs the centre-aligned exact", "", "", "", "", "",
                PsnrText(Psnr(peerExact, outputs[0])).c_str());
  }
  g_object_unref(largeVips);
  g_object_unref(smallVips);
  std::filesystem::remove_all(dir);
  vips_shutdown();
  return 0;
}
