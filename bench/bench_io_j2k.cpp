// JPEG 2000: our codec against a bare OpenJPEG loop in the same process, on the same photo-like
// picture, with the same coding parameters and thread count. Lossless and rate 0.1, encode and
// decode, at 1 thread and at every core. The bare loop codes from and to memory; ours goes through
// a TIEBitmap and a memory TStream. The files must be byte for byte the same and decode to the same
// pixels; the table gives both times and their ratio (ours / bare).
//
//   bench_io_j2k [width height]     (default 6000 x 4000)
#include <openjpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/core/ie_bitmap.h"
#include "bench/bench_timing.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Memory {
  Bytes bytes;
  size_t at = 0;
};
OPJ_SIZE_T MemWrite(void* b, OPJ_SIZE_T n, void* u) {
  auto* m = static_cast<Memory*>(u);
  if (m->bytes.size() < m->at + n) m->bytes.resize(m->at + n);
  std::memcpy(m->bytes.data() + m->at, b, n);
  m->at += n;
  return n;
}
OPJ_SIZE_T MemRead(void* b, OPJ_SIZE_T n, void* u) {
  auto* m = static_cast<Memory*>(u);
  const size_t k = std::min(n, m->bytes.size() - m->at);
  if (k == 0) return static_cast<OPJ_SIZE_T>(-1);
  std::memcpy(b, m->bytes.data() + m->at, k);
  m->at += k;
  return k;
}
OPJ_OFF_T MemSkip(OPJ_OFF_T n, void* u) {
  static_cast<Memory*>(u)->at += static_cast<size_t>(n);
  return n;
}
OPJ_BOOL MemSeek(OPJ_OFF_T n, void* u) {
  static_cast<Memory*>(u)->at = static_cast<size_t>(n);
  return OPJ_TRUE;
}
opj_stream_t* MemStream(Memory& m, bool input) {
  opj_stream_t* s = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, input);
  opj_stream_set_user_data(s, &m, nullptr);
  if (input) {
    opj_stream_set_user_data_length(s, m.bytes.size());
    opj_stream_set_read_function(s, MemRead);
  } else {
    opj_stream_set_write_function(s, MemWrite);
  }
  opj_stream_set_skip_function(s, MemSkip);
  opj_stream_set_seek_function(s, MemSeek);
  return s;
}

// The bare loop: the RGB picture straight into OpenJPEG's image, coded as our writer codes it.
Bytes BareEncode(const Bytes& rgb, int w, int h, double rate, int threads) {
  opj_image_cmptparm_t p[3] = {};
  for (auto& c : p) {
    c.dx = c.dy = 1;
    c.w = w;
    c.h = h;
    c.prec = 8;
  }
  opj_image_t* image = opj_image_create(3, p, OPJ_CLRSPC_SRGB);
  image->x1 = w;
  image->y1 = h;
  const size_t n = static_cast<size_t>(w) * h;
  for (size_t i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) image->comps[c].data[i] = rgb[3 * i + c];
  opj_cparameters_t cp;
  opj_set_default_encoder_parameters(&cp);
  cp.tcp_numlayers = 1;
  cp.tcp_rates[0] = rate >= 1 ? 0.0f : static_cast<float>(1.0 / rate);
  cp.cp_disto_alloc = 1;
  cp.tcp_mct = 1;
  cp.numresolution = 6;
  opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
  opj_setup_encoder(codec, &cp, image);
  opj_codec_set_threads(codec, threads);
  Memory m;
  opj_stream_t* s = MemStream(m, false);
  opj_start_compress(codec, image, s);
  opj_encode(codec, s);
  opj_end_compress(codec, s);
  opj_stream_destroy(s);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  return m.bytes;
}

Bytes BareDecode(const Bytes& file, int threads) {
  Memory m{file, 0};
  opj_stream_t* s = MemStream(m, true);
  opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
  opj_dparameters_t dp;
  opj_set_default_decoder_parameters(&dp);
  opj_setup_decoder(codec, &dp);
  opj_codec_set_threads(codec, threads);
  opj_image_t* image = nullptr;
  opj_read_header(s, codec, &image);
  opj_decode(codec, s, image);
  opj_end_decompress(codec, s);
  Bytes rgb(static_cast<size_t>(image->comps[0].w) * image->comps[0].h * 3);
  for (size_t i = 0; i < rgb.size() / 3; ++i)
    for (int c = 0; c < 3; ++c) rgb[3 * i + c] = static_cast<uint8_t>(image->comps[c].data[i]);
  opj_image_destroy(image);
  opj_destroy_codec(codec);
  opj_stream_destroy(s);
  return rgb;
}

}  // namespace

int main(int argc, char** argv) {
  const int w = argc > 2 ? std::atoi(argv[1]) : 6000;
  const int h = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const Bytes rgb = MakeBenchPhoto(w, h, true);
  TIEBitmap bitmap;
  bitmap.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y) {
    auto* row = bitmap.Row<uint8_t>(y);
    const uint8_t* src = rgb.data() + static_cast<size_t>(y) * w * 3;
    for (int x = 0; x < w; ++x) {
      row[3 * x] = src[3 * x + 2];
      row[3 * x + 1] = src[3 * x + 1];
      row[3 * x + 2] = src[3 * x];
    }
  }
  std::printf("JPEG 2000, %d x %d photo-like RGB, JP2, OpenJPEG %s, best of 2 runs taken in turn\n", w, h,
              opj_version());
  std::printf("%-10s %-7s %-7s %9s %9s %9s %9s %7s %7s  %s\n", "mode", "threads", "step", "ours s", "ours cpu", "bare s",
              "bare cpu", "wall", "cpu", "check");
  bool allSame = true;
  for (double rate : {1.0, 0.1}) {
    for (int threads : {1, cores}) {
      IEJ2000ThreadCount = threads;
      Bytes ours, bare;
      Timing encOurs, encBare, decOurs, decBare;
      MeasureInTurn([&] {
        TMemoryStream s;
        TIOParamsVals params(nullptr);
        params.J2000Rate = rate;
        bool aborting = false;
        TIEProgressRecord progress;
        progress.Aborting = &aborting;
        WriteJpeg2000Stream(s, bitmap, params, progress, ieJ2000JP2);
        ours.assign(static_cast<const uint8_t*>(s.Memory()), static_cast<const uint8_t*>(s.Memory()) + s.Size());
      }, [&] { bare = BareEncode(rgb, w, h, rate, threads); }, 2, encOurs, encBare);
      const bool sameFile = ours == bare;
      TIEBitmap decoded;
      Bytes bareRgb;
      MeasureInTurn([&] {
        TCustomMemoryStream s(ours.data(), static_cast<int64_t>(ours.size()));
        TIOParamsVals params(nullptr);
        bool aborting = false;
        TIEProgressRecord progress;
        progress.Aborting = &aborting;
        ReadJpeg2000Stream(s, decoded, params, progress, false);
      }, [&] { bareRgb = BareDecode(bare, threads); }, 2, decOurs, decBare);
      bool samePixels = decoded.Width() == w && decoded.Height() == h && bareRgb.size() == rgb.size();
      for (int y = 0; samePixels && y < h; ++y) {
        const auto* row = decoded.Row<uint8_t>(y);
        const uint8_t* b = bareRgb.data() + static_cast<size_t>(y) * w * 3;
        for (int x = 0; x < w && samePixels; ++x)
          samePixels = row[3 * x] == b[3 * x + 2] && row[3 * x + 1] == b[3 * x + 1] && row[3 * x + 2] == b[3 * x];
      }
      allSame = allSame && sameFile && samePixels;
      const char* mode = rate >= 1 ? "lossless" : "rate 0.1";
      std::printf("%-10s %-7d %-7s %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f  %s (%zu bytes)\n", mode, threads, "encode",
                  encOurs.wall, encOurs.cpu, encBare.wall, encBare.cpu, encOurs.wall / encBare.wall,
                  encOurs.cpu / encBare.cpu, sameFile ? "same file" : "FILES DIFFER", ours.size());
      std::printf("%-10s %-7d %-7s %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f  %s\n", mode, threads, "decode", decOurs.wall,
                  decOurs.cpu, decBare.wall, decBare.cpu, decOurs.wall / decBare.wall, decOurs.cpu / decBare.cpu,
                  samePixels ? "same pixels" : "PIXELS DIFFER");
    }
  }
  return allSame ? 0 : 1;
}
