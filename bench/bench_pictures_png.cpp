// The PNG picture class against libpng, in one program on the same bytes in memory, one thread:
// a deterministic 1920 x 1080 photograph-like picture as RGB and as RGBA (an alpha ramp).
//   Decode: TPNGObject::LoadFromStream against libpng reading the same file row by row with
//     png_set_bgr and nothing else (the file written by libpng with its default filters).
//   Encode at zlib level 7 with zlib's default strategy, memory level 8, a 32 KB window and IDAT
//     chunks of 65535 bytes on both sides: [prfSub] against PNG_FILTER_SUB, and all five filters
//     against PNG_ALL_FILTERS (the choices differ by design).
//   zlib alone: inflating the file's image data and deflating the Sub-filtered rows, the share of
//     the time that is zlib's on either side.
// Every output is checked once before timing: decoded pixels equal libpng's exactly, and both
// encoders' files decode through libpng to the input pixels. Sizes are reported as counters.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/io/codecs/png_filters.h"
#include "pictures/pictures_startup.h"
#include "pictures/png_picture.h"
#include "platform/system/streams.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// ------------------------------------------------------------------------------ libpng, in memory
// The functions that call setjmp own nothing with a destructor.

struct Memory {
  const uint8_t* in = nullptr;
  size_t inSize = 0, inPos = 0;
  uint8_t* out = nullptr;
  size_t outSize = 0, outCap = 0;
};

void OnError(png_structp png, png_const_charp message) {
  std::fprintf(stderr, "libpng: %s\n", message);
  png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}
void OnRead(png_structp png, png_bytep data, png_size_t n) {
  auto* m = static_cast<Memory*>(png_get_io_ptr(png));
  if (m->inSize - m->inPos < n) png_error(png, "short");
  std::memcpy(data, m->in + m->inPos, n);
  m->inPos += n;
}
void OnWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* m = static_cast<Memory*>(png_get_io_ptr(png));
  if (m->outSize + n > m->outCap) {
    size_t cap = m->outCap ? m->outCap * 2 : (1 << 20);
    while (cap < m->outSize + n) cap *= 2;
    auto* p = static_cast<uint8_t*>(std::realloc(m->out, cap));
    if (!p) png_error(png, "out of memory");
    m->out = p;
    m->outCap = cap;
  }
  std::memcpy(m->out + m->outSize, data, n);
  m->outSize += n;
}
void OnFlush(png_structp) {}

// Reads a file row by row into rows (BGR or BGRA), png_set_bgr and nothing else.
int LibpngDecode(Memory* m, uint8_t* pixels, size_t stride) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return 0;
  }
  png_set_read_fn(png, m, OnRead);
  png_read_info(png, info);
  png_set_bgr(png);
  png_read_update_info(png, info);
  const png_uint_32 h = png_get_image_height(png, info);
  for (png_uint_32 y = 0; y < h; ++y) png_read_row(png, pixels + y * stride, nullptr);
  png_read_end(png, info);
  png_destroy_read_struct(&png, &info, nullptr);
  return 1;
}

// Writes BGR or BGRA rows at level 7 with the given filters and the settings ours uses.
int LibpngEncode(Memory* m, const uint8_t* pixels, size_t stride, int colorType, int filters, int level) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return 0;
  }
  png_set_write_fn(png, m, OnWrite, OnFlush);
  png_set_IHDR(png, info, kWidth, kHeight, 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
               PNG_FILTER_TYPE_BASE);
  if (filters >= 0) {
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    png_set_compression_level(png, level);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    png_set_compression_mem_level(png, 8);
    png_set_compression_window_bits(png, 15);
    png_set_compression_buffer_size(png, 65535);
  }
  png_write_info(png, info);
  png_set_bgr(png);
  for (int y = 0; y < kHeight; ++y) png_write_row(png, const_cast<png_bytep>(pixels + y * stride));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return 1;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& pixels, int channels, int filters, int level) {
  Memory m;
  if (!LibpngEncode(&m, pixels.data(), static_cast<size_t>(kWidth) * channels, channels == 4 ? 6 : 2, filters, level)) {
    std::free(m.out);
    return {};
  }
  std::vector<uint8_t> out(m.out, m.out + m.outSize);
  std::free(m.out);
  return out;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& file, int channels) {
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * channels);
  Memory m;
  m.in = file.data();
  m.inSize = file.size();
  if (!LibpngDecode(&m, pixels.data(), static_cast<size_t>(kWidth) * channels)) return {};
  return pixels;
}

// ------------------------------------------------------------------------------------- the inputs

// BGR(A) rows: gradients, soft shapes and a little noise, like a photograph; alpha ramps from
// 0 on the left to 255 on the right.
std::vector<uint8_t> Photo(int channels) {
  std::vector<uint8_t> p(static_cast<size_t>(kWidth) * kHeight * channels);
  uint32_t seed = 2024;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 29) - 4;
      const int dx = x - 900, dy = y - 500;
      const int disc = dx * dx + dy * dy < 300 * 300 ? 60 : 0;
      const auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      uint8_t* px = &p[(static_cast<size_t>(y) * kWidth + x) * channels];
      px[0] = clamp(x * 200 / kWidth + disc + noise);               // blue
      px[1] = clamp(y * 220 / kHeight + (x / 64 % 2) * 20 + noise);  // green
      px[2] = clamp(180 - y * 120 / kHeight + disc / 2 + noise);     // red
      if (channels == 4) px[3] = static_cast<uint8_t>(x * 255 / (kWidth - 1));
    }
  return p;
}

struct Input {
  int channels;
  std::vector<uint8_t> pixels;  // BGR or BGRA
  std::vector<uint8_t> file;    // libpng's own file of them (default filters, level 6)
  std::unique_ptr<TPNGObject> picture;  // ours, loaded from that file
  std::vector<uint8_t> idat;     // the file's image data, for zlib alone
  std::vector<uint8_t> subRows;  // the rows Sub-filtered with their type bytes, for zlib alone
};

bool SamePixels(const TPNGObject& png, const std::vector<uint8_t>& bgra, int channels) {
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* row = png.RowPointer(y);
    const uint8_t* alpha = png.AlphaRowPointer(y);
    const uint8_t* want = &bgra[static_cast<size_t>(y) * kWidth * channels];
    for (int x = 0; x < kWidth; ++x) {
      if (std::memcmp(row + 3 * x, want + channels * x, 3) != 0) return false;
      if (channels == 4 && alpha[x] != want[4 * x + 3]) return false;
    }
  }
  return true;
}

Input& Inputs(int channels) {
  static Input* inputs[5] = {};
  if (!inputs[channels]) {
    InitializePictures();
    auto* in = new Input{channels, Photo(channels), {}, nullptr, {}, {}};
    in->file = Encode(in->pixels, channels, -1, 6);
    in->picture = std::make_unique<TPNGObject>();
    TCustomMemoryStream s(in->file.data(), static_cast<int64_t>(in->file.size()));
    in->picture->LoadFromStream(s);
    for (size_t p = 8; p + 12 <= in->file.size();) {
      const uint32_t n = (uint32_t{in->file[p]} << 24) | (in->file[p + 1] << 16) | (in->file[p + 2] << 8) | in->file[p + 3];
      if (std::memcmp(&in->file[p + 4], "IDAT", 4) == 0) in->idat.insert(in->idat.end(), &in->file[p + 8], &in->file[p + 8 + n]);
      p += 12 + n;
    }
    // Sub-filtered rows in the file's RGB(A) order.
    const size_t bytes = static_cast<size_t>(kWidth) * channels;
    std::vector<uint8_t> raw(bytes), filtered(bytes);
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* src = &in->pixels[y * bytes];
      for (int x = 0; x < kWidth; ++x) {
        raw[channels * x] = src[channels * x + 2];
        raw[channels * x + 1] = src[channels * x + 1];
        raw[channels * x + 2] = src[channels * x];
        if (channels == 4) raw[4 * x + 3] = src[4 * x + 3];
      }
      PNGFilterRow(1, raw.data(), nullptr, filtered.data(), bytes, static_cast<size_t>(channels));
      in->subRows.push_back(1);
      in->subRows.insert(in->subRows.end(), filtered.begin(), filtered.end());
    }
    inputs[channels] = in;
  }
  return *inputs[channels];
}

// ------------------------------------------------------------------------------------- benchmarks

void BM_Decode_Ours(benchmark::State& state) {
  Input& in = Inputs(static_cast<int>(state.range(0)));
  {
    // Checked once: our pixels are libpng's.
    const std::vector<uint8_t> theirs = Decode(in.file, in.channels);
    if (!SamePixels(*in.picture, theirs, in.channels)) state.SkipWithError("decoded pixels differ from libpng's");
  }
  for (auto _ : state) {
    TCustomMemoryStream s(in.file.data(), static_cast<int64_t>(in.file.size()));
    TPNGObject png;
    png.LoadFromStream(s);
    benchmark::DoNotOptimize(png.RowPointer(0));
  }
  state.counters["file_bytes"] = static_cast<double>(in.file.size());
}

void BM_Decode_Libpng(benchmark::State& state) {
  Input& in = Inputs(static_cast<int>(state.range(0)));
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * in.channels);
  for (auto _ : state) {
    Memory m;
    m.in = in.file.data();
    m.inSize = in.file.size();
    LibpngDecode(&m, pixels.data(), static_cast<size_t>(kWidth) * in.channels);
    benchmark::DoNotOptimize(pixels.data());
  }
}

// Our file of the picture with a filter set, checked once to decode to the input in libpng.
std::vector<uint8_t> OursEncoded(Input& in, TPNGRowFilters filters, benchmark::State& state) {
  in.picture->SetRowFilters(filters);
  in.picture->SetDeflateLevel(7);
  TMemoryStream out;
  in.picture->SaveToStream(out);
  const auto* p = static_cast<const uint8_t*>(out.Memory());
  std::vector<uint8_t> file(p, p + out.Size());
  if (Decode(file, in.channels) != in.pixels) state.SkipWithError("our file does not decode to the input");
  return file;
}

void EncodeOurs(benchmark::State& state, TPNGRowFilters filters) {
  Input& in = Inputs(static_cast<int>(state.range(0)));
  const size_t size = OursEncoded(in, filters, state).size();
  for (auto _ : state) {
    TMemoryStream out;
    in.picture->SaveToStream(out);
    benchmark::DoNotOptimize(out.Memory());
  }
  state.counters["file_bytes"] = static_cast<double>(size);
}

void EncodeLibpng(benchmark::State& state, int filters) {
  Input& in = Inputs(static_cast<int>(state.range(0)));
  const std::vector<uint8_t> file = Encode(in.pixels, in.channels, filters, 7);
  if (Decode(file, in.channels) != in.pixels) state.SkipWithError("libpng's file does not decode to the input");
  for (auto _ : state) {
    Memory m;
    LibpngEncode(&m, in.pixels.data(), static_cast<size_t>(kWidth) * in.channels, in.channels == 4 ? 6 : 2, filters, 7);
    benchmark::DoNotOptimize(m.out);
    std::free(m.out);
  }
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

void BM_EncodeSub_Ours(benchmark::State& state) { EncodeOurs(state, {prfSub}); }
void BM_EncodeSub_Libpng(benchmark::State& state) { EncodeLibpng(state, PNG_FILTER_SUB); }
void BM_EncodeAll_Ours(benchmark::State& state) { EncodeOurs(state, {prfNone, prfSub, prfUp, prfAverage, prfPaeth}); }
void BM_EncodeAll_Libpng(benchmark::State& state) { EncodeLibpng(state, PNG_ALL_FILTERS); }

// zlib alone: what both decoders and both Sub encoders hand to zlib.
void BM_ZlibInflateOnly(benchmark::State& state) {
  Input& in = Inputs(static_cast<int>(state.range(0)));
  std::vector<uint8_t> out(static_cast<size_t>(kHeight) * (kWidth * in.channels + 1));
  for (auto _ : state) {
    uLongf size = static_cast<uLongf>(out.size());
    uncompress(out.data(), &size, in.idat.data(), static_cast<uLong>(in.idat.size()));
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_ZlibDeflateOnlySub(benchmark::State& state) {
  Input& in = Inputs(static_cast<int>(state.range(0)));
  std::vector<uint8_t> out(compressBound(static_cast<uLong>(in.subRows.size())));
  for (auto _ : state) {
    z_stream zs{};
    deflateInit2(&zs, 7, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
    zs.next_in = in.subRows.data();
    zs.avail_in = static_cast<uInt>(in.subRows.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    deflateEnd(&zs);
    benchmark::DoNotOptimize(out.data());
  }
}

}  // namespace

// Argument: 3 for RGB, 4 for RGBA.
BENCHMARK(BM_Decode_Ours)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode_Libpng)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflateOnly)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeSub_Ours)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeSub_Libpng)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibDeflateOnlySub)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeAll_Ours)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeAll_Libpng)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
