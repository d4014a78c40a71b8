// The PNG codec between memory streams and bitmaps, and the I/O component around it, on the shared
// 6000 x 4000 photo-like picture (24-bit, no alpha):
//   - encode at PngCompression 5 and 6 with PngFilter 0 (none) and 2 (Paeth); file size as a counter;
//   - decode of the files written at level 6 with either filter, into a bitmap that already has the
//     size (the figure the peer comparison quotes) and into a fresh one;
//   - the component's SaveToStreamPNG and LoadFromStream (detection by content) around the codec.
// bench/peers/peer_png.cpp runs the same work beside libvips and ImageMagick (bench/compare_jpeg_png.sh).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

TIEBitmap& Photo() {
  static TIEBitmap* photo = [] {
    auto* b = new TIEBitmap(kWidth, kHeight, ie24RGB);
    const std::vector<uint8_t> pixels = MakeBenchPhoto(kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
      std::copy_n(pixels.data() + static_cast<size_t>(y) * kWidth * 3, kWidth * 3, b->Row<uint8_t>(y));
    return b;
  }();
  return *photo;
}

bool Encode(TIEBitmap& b, int32_t level, uint8_t filter, TMemoryStream& out) {
  TIOParamsVals p(nullptr);
  p.PngCompression = level;
  p.PngFilter = filter;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  out.SetSize(0);
  out.Seek(0, soBeginning);
  WritePNGStream(out, b, p, progress, nullptr);
  return !aborting;
}

// The file written at level 6 with the filter.
const std::vector<uint8_t>& File(uint8_t filter) {
  static std::map<uint8_t, std::vector<uint8_t>> files;
  auto it = files.find(filter);
  if (it == files.end()) {
    TMemoryStream out;
    Encode(Photo(), 6, filter, out);
    const auto* m = static_cast<const uint8_t*>(out.Memory());
    it = files.emplace(filter, std::vector<uint8_t>(m, m + out.Size())).first;
  }
  return it->second;
}

void BM_PngEncode(benchmark::State& state) {
  const auto level = static_cast<int32_t>(state.range(0));
  const auto filter = static_cast<uint8_t>(state.range(1));
  TIEBitmap& photo = Photo();
  TMemoryStream out;
  for (auto _ : state)
    if (!Encode(photo, level, filter, out)) state.SkipWithError("encode failed");
  state.counters["bytes"] = static_cast<double>(out.Position());
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PngEncode)->Args({5, 0})->Args({5, 2})->Args({6, 0})->Args({6, 2})
    ->ArgNames({"level", "filter"})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void Decode(benchmark::State& state, bool fresh) {
  const std::vector<uint8_t>& file = File(static_cast<uint8_t>(state.range(0)));
  TIEBitmap kept(kWidth, kHeight, ie24RGB);
  for (auto _ : state) {
    std::unique_ptr<TIEBitmap> own = fresh ? std::make_unique<TIEBitmap>() : nullptr;
    TIEBitmap& target = fresh ? *own : kept;
    TIEMemStream in(file.data(), static_cast<int64_t>(file.size()));
    TIOParamsVals p(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    ReadPngStream(in, target, p, progress, false);
    if (aborting) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(target.GetRow(0));
  }
  state.counters["bytes"] = static_cast<double>(file.size());
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

void BM_PngDecodeIntoSizedBitmap(benchmark::State& state) { Decode(state, false); }
void BM_PngDecodeIntoFreshBitmap(benchmark::State& state) { Decode(state, true); }
BENCHMARK(BM_PngDecodeIntoSizedBitmap)->Arg(0)->Arg(2)->ArgName("filter")->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(5);
BENCHMARK(BM_PngDecodeIntoFreshBitmap)->Arg(0)->Arg(2)->ArgName("filter")->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(5);

void BM_PngComponentSave(benchmark::State& state) {
  InitializeZodazUrIO();
  auto io = TZodazUrIO::CreateFromBitmap(&Photo());
  io->Params().PngCompression = 6;
  io->Params().PngFilter = 0;
  TMemoryStream out;
  for (auto _ : state) {
    out.SetSize(0);
    out.Seek(0, soBeginning);
    io->SaveToStreamPNG(out);
    if (io->Aborting()) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PngComponentSave)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_PngComponentLoad(benchmark::State& state) {
  InitializeZodazUrIO();
  const std::vector<uint8_t>& file = File(0);
  TZodazUrIO io(nullptr);
  for (auto _ : state) {
    TIEMemStream in(file.data(), static_cast<int64_t>(file.size()));
    io.LoadFromStream(in);
    if (io.Aborting()) state.SkipWithError("load failed");
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PngComponentLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
