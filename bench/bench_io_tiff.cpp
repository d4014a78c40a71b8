// The TIFF codec on its own: the 6000 x 4000 photo-like picture written and read uncompressed, LZW
// with the horizontal predictor and deflate (TiffZipCompression 1), and an A4 page at 300 dpi of
// text-like strokes as Group 4 and Group 3 2-D, all between bitmaps and memory. The comparison with
// libtiff is bench/compare_tiff.sh.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_codec_inputs.h"
#include "bench/bench_text_page.h"
#include "bench/bench_tiff_convert.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

using Bytes = std::vector<uint8_t>;

TIEBitmap& Photo() {
  static TIEBitmap* photo = [] {
    InitializeZodazUrIO();
    auto* b = new TIEBitmap();
    bench_inputs::PaintPhoto(*b, bench_inputs::kLargeWidth, bench_inputs::kLargeHeight);
    return b;
  }();
  return *photo;
}

// A4 at 300 dpi: rows of letter-sized strokes on white (the page of the peer comparison).
TIEBitmap& Page() {
  static TIEBitmap* page = [] {
    InitializeZodazUrIO();
    constexpr int32_t kW = 2480, kH = 3508;
    const std::vector<uint8_t> text = MakeBenchTextPage(kW, kH);
    auto* b = new TIEBitmap(kW, kH, ie1g);
    b->Fill(1);
    for (int32_t y = 0; y < kH; ++y) {
      auto* row = static_cast<uint8_t*>(b->GetRow(y));
      for (int32_t x = 0; x < kW; ++x)
        if (text[static_cast<size_t>(y) * kW + x] == 0) SetRowBit(row, x, false);
    }
    return b;
  }();
  return *page;
}

void SetLayout(TIOParamsVals& p, int compression, bool bilevel) {
  p.TiffCompression = static_cast<uint8_t>(compression);
  p.TiffZipCompression = 1;
  if (bilevel) {
    p.BitsPerSample = 1;
    p.SamplesPerPixel = 1;
  }
}

Bytes Write(TIEBitmap& b, int compression, bool bilevel, TMemoryStream& s) {
  s.Seek(0, soBeginning);
  s.SetSize(0);
  TIOParamsVals p(nullptr);
  SetLayout(p, compression, bilevel);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteTIFFStream(s, false, &b, p, progress);
  const auto* d = static_cast<const uint8_t*>(s.Memory());
  return aborting ? Bytes{} : Bytes(d, d + s.Size());
}

void Read(const Bytes& file, TIEBitmap& b) {
  TIEMemStream s(file.data(), static_cast<int64_t>(file.size()));
  TIOParamsVals p(nullptr);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TIEMask> mask;
  int32_t pages = 0;
  ReadTIFFStream(&b, s, pages, &p, progress, false, mask, false, true, false);
}

// Arguments: compression (0 none, 5 LZW, 9 deflate, 3 G3 2-D, 4 G4); bilevel pages for 3 and 4.
void BM_TiffWrite(benchmark::State& state) {
  const int compression = static_cast<int>(state.range(0));
  const bool bilevel = compression == 3 || compression == 4;
  TIEBitmap& b = bilevel ? Page() : Photo();
  TMemoryStream s;
  s.SetSize(int64_t{80} << 20);
  size_t bytes = 0;
  for (auto _ : state) bytes = Write(b, compression, bilevel, s).size();
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.SetItemsProcessed(state.iterations() * b.Width() * b.Height());
}

void BM_TiffRead(benchmark::State& state) {
  const int compression = static_cast<int>(state.range(0));
  const bool bilevel = compression == 3 || compression == 4;
  TIEBitmap& b = bilevel ? Page() : Photo();
  TMemoryStream s;
  const Bytes file = Write(b, compression, bilevel, s);
  TIEBitmap out;
  for (auto _ : state) Read(file, out);
  state.SetItemsProcessed(state.iterations() * b.Width() * b.Height());
}

// File to file as a one-step conversion does it (tiffcp's job): the photo's LZW file read into a
// fresh bitmap and written uncompressed to another file.
void BM_TiffConvertLZWToNone(benchmark::State& state) {
  TMemoryStream s;
  const Bytes lzw = Write(Photo(), 5, false, s);
  const std::string in = "/tmp/bench_io_tiff_lzw.tif", out = "/tmp/bench_io_tiff_none.tif";
  {
    TFileStream f(in, fmCreate);
    f.WriteBuffer(lzw.data(), static_cast<int32_t>(lzw.size()));
  }
  for (auto _ : state) ConvertTIFFFile(in, out, 1);
  std::remove(in.c_str());
  std::remove(out.c_str());
}

BENCHMARK(BM_TiffWrite)->Arg(0)->Arg(5)->Arg(9)->Arg(4)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffRead)->Arg(0)->Arg(5)->Arg(9)->Arg(4)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffConvertLZWToNone)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
