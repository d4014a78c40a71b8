// The PNG codec between memory streams and bitmaps, and the I/O component around it, on the shared
// 6000 x 4000 photo-like picture (24-bit, no alpha):
//   - encode at PngCompression 5 and 6 with PngFilter 0 (none) and 2 (Paeth); file size as a counter;
//   - decode of the files written at level 6 with either filter, into a bitmap that already has the
//     size (the figure the peer comparison quotes) and into a fresh one;
//   - the component's SaveToStreamPNG and LoadFromStream (detection by content) around the codec.
// bench/peers/peer_png.cpp runs the same work beside libvips and ImageMagick (bench/compare_jpeg_png.sh).
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

#include "bench/bench_codec_inputs.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

namespace {

using namespace bench_inputs;

TIEBitmap& Photo() {
  static TIEBitmap* photo = [] {
    auto* b = new TIEBitmap();
    PaintPhoto(*b, kLargeWidth, kLargeHeight);
    return b;
  }();
  return *photo;
}

// The file written at level 6 with the filter.
const std::vector<uint8_t>& File(uint8_t filter) {
  static std::map<uint8_t, std::vector<uint8_t>> files;
  auto it = files.find(filter);
  if (it == files.end()) it = files.emplace(filter, EncodePng(Photo(), 6, filter)).first;
  return it->second;
}

void BM_PngEncode(benchmark::State& state) {
  const auto level = static_cast<int32_t>(state.range(0));
  const auto filter = static_cast<uint8_t>(state.range(1));
  TIEBitmap& photo = Photo();
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = EncodePng(photo, level, filter).size();
    if (bytes == 0) state.SkipWithError("encode failed");
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations() * int64_t{kLargeWidth} * kLargeHeight);
}
BENCHMARK(BM_PngEncode)->Args({5, 0})->Args({5, 2})->Args({6, 0})->Args({6, 2})
    ->ArgNames({"level", "filter"})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void Decode(benchmark::State& state, bool fresh) {
  const std::vector<uint8_t>& file = File(static_cast<uint8_t>(state.range(0)));
  TIEBitmap kept(kLargeWidth, kLargeHeight, ie24RGB);
  for (auto _ : state) {
    std::unique_ptr<TIEBitmap> own = fresh ? std::make_unique<TIEBitmap>() : nullptr;
    TIEBitmap& target = fresh ? *own : kept;
    if (!DecodePng(file, target)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(target.GetRow(0));
  }
  state.counters["bytes"] = static_cast<double>(file.size());
  state.SetItemsProcessed(state.iterations() * int64_t{kLargeWidth} * kLargeHeight);
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
  state.SetItemsProcessed(state.iterations() * int64_t{kLargeWidth} * kLargeHeight);
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
  state.SetItemsProcessed(state.iterations() * int64_t{kLargeWidth} * kLargeHeight);
}
BENCHMARK(BM_PngComponentLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
