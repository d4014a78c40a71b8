// HD Photo: our codec (the engine's writer and reader over a memory TStream, through the platform's
// codec service) against a bare jxrlib loop in the same process, on the same 6000 x 4000 photo-like
// 24-bit picture with the same coding parameters: lossless, and lossy at quantiser 20 (the codec
// options). jxrlib runs on one thread. The files must be byte for byte the same and decode to the
// same pixels; the table gives both times and their ratio (ours / bare). Our decoder runs the library
// in a kept helper process: the cost of one request to it with nothing to do, and of forking a
// child instead (from this process and its pictures), are measured on their own too. Processor
// times include the helper's and the children's.
//
//   bench_io_hdp [width height [runs]]     (default 6000 x 4000, best of 2)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "bench/bench_photo.h"
#include "bench/bench_timing.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/hdp_codec.h"
#include "imaging/io/file_format_ids.h"
#include "imaging/io/io_params.h"
#include "platform/system/isolated_call.h"
#include "platform/system/streams.h"

// jxrlib's glue header defines min and max as macros: it comes after every other header.
#include <JXRGlue.h>
#undef min
#undef max

namespace {

using Bytes = std::vector<uint8_t>;

// The coding parameters our writer gives jxrlib: lossless, or the codec options' quantiser with
// overlap one and 4:4:4.
CWMIStrCodecParam Parameters(bool lossless, uint8_t qp) {
  CWMIStrCodecParam scp;
  std::memset(&scp, 0, sizeof scp);
  scp.bVerbose = FALSE;
  scp.bdBitDepth = BD_LONG;
  scp.bfBitstreamFormat = FREQUENCY;
  scp.bProgressiveMode = TRUE;
  scp.olOverlap = OL_ONE;
  scp.sbSubband = SB_ALL;
  scp.uAlphaMode = 0;
  scp.cfColorFormat = YUV_444;
  scp.uiDefaultQPIndex = lossless ? 1 : qp;
  return scp;
}

// A growing memory stream for jxrlib's encoder (which seeks back to fill in its directory, so the
// file ends at the furthest byte written, not at the last position).
struct VectorStream {
  WMPStream ws;  // first, so that the library's pointer is the stream's
  Bytes bytes;
  size_t pos = 0;
};
ERR VectorClose(WMPStream** me) {
  *me = nullptr;  // the bench owns the stream
  return WMP_errSuccess;
}
Bool VectorEOS(WMPStream* me) {
  auto* v = reinterpret_cast<VectorStream*>(me);
  return v->pos >= v->bytes.size();
}
ERR VectorRead(WMPStream* me, void* pv, size_t cb) {
  auto* v = reinterpret_cast<VectorStream*>(me);
  if (v->pos + cb > v->bytes.size()) return WMP_errFileIO;
  std::memcpy(pv, v->bytes.data() + v->pos, cb);
  v->pos += cb;
  return WMP_errSuccess;
}
ERR VectorWrite(WMPStream* me, const void* pv, size_t cb) {
  auto* v = reinterpret_cast<VectorStream*>(me);
  if (v->bytes.size() < v->pos + cb) v->bytes.resize(v->pos + cb);
  std::memcpy(v->bytes.data() + v->pos, pv, cb);
  v->pos += cb;
  return WMP_errSuccess;
}
ERR VectorSetPos(WMPStream* me, size_t offPos) {
  reinterpret_cast<VectorStream*>(me)->pos = offPos;
  return WMP_errSuccess;
}
ERR VectorGetPos(WMPStream* me, size_t* offPos) {
  *offPos = reinterpret_cast<VectorStream*>(me)->pos;
  return WMP_errSuccess;
}

// The bare loop: the bitmap's rows (blue, green, red) straight to jxrlib from one buffer.
Bytes BareEncode(const uint8_t* pixels, uint32_t stride, int w, int h, bool lossless, uint8_t qp) {
  VectorStream stream;
  std::memset(&stream.ws, 0, sizeof stream.ws);
  stream.ws.Close = VectorClose;
  stream.ws.EOS = VectorEOS;
  stream.ws.Read = VectorRead;
  stream.ws.Write = VectorWrite;
  stream.ws.SetPos = VectorSetPos;
  stream.ws.GetPos = VectorGetPos;
  PKImageEncode* encoder = nullptr;
  PKImageEncode_Create_WMP(&encoder);
  encoder->pStream = &stream.ws;
  CWMIStrCodecParam scp = Parameters(lossless, qp);
  const bool ok =
      encoder->Initialize(encoder, &stream.ws, &scp, sizeof scp) == WMP_errSuccess &&
      encoder->SetPixelFormat(encoder, GUID_PKPixelFormat24bppBGR) == WMP_errSuccess &&
      encoder->SetSize(encoder, w, h) == WMP_errSuccess &&
      encoder->SetResolution(encoder, static_cast<Float>(DefaultDPIX), static_cast<Float>(DefaultDPIY)) == WMP_errSuccess &&
      encoder->WritePixels(encoder, static_cast<U32>(h), const_cast<uint8_t*>(pixels), stride) == WMP_errSuccess;
  encoder->Release(&encoder);
  return ok ? stream.bytes : Bytes{};
}

// The bare loop's decode: the whole picture into one buffer of whole macroblocks, as 24-bit BGR.
Bytes BareDecode(const Bytes& file, int w, int h, uint32_t& stride) {
  WMPStream* ws = nullptr;
  CreateWS_Memory(&ws, const_cast<uint8_t*>(file.data()), file.size());
  PKImageDecode* decoder = nullptr;
  PKImageDecode_Create_WMP(&decoder);
  stride = static_cast<uint32_t>(((static_cast<size_t>(w) + 15) / 16 * 16 * 3 + 127) / 128 * 128);
  Bytes pixels(static_cast<size_t>(stride) * ((h + 15) / 16 * 16));
  if (decoder->Initialize(decoder, ws) == WMP_errSuccess) {
    decoder->WMP.wmiSCP.uAlphaMode = 0;
    PKRect rect = {0, 0, w, h};
    if (decoder->Copy(decoder, &rect, pixels.data(), stride) != WMP_errSuccess) pixels.clear();
  } else {
    pixels.clear();
  }
  decoder->Release(&decoder);
  CloseWS_Memory(&ws);
  return pixels;
}

bool Nothing(const TIsolatedWork&) { return true; }
BRIMVALE_ISOLATED_REGISTRATION void RegisterNothing() { RegisterIsolatedHandler("bench.nothing", Nothing); }

// The median wall and processor milliseconds of 21 runs of F.
void Median(const char* what, const std::function<void()>& f) {
  std::vector<double> walls, cpus;
  for (int i = 0; i < 21; ++i) {
    Timing t;
    MeasureOnce(f, t);
    walls.push_back(t.wall);
    cpus.push_back(t.cpu);
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  std::printf("%s (median of 21): %.3f ms, %.3f cpu ms\n", what, walls[10] * 1e3, cpus[10] * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  const int w = argc > 2 ? std::atoi(argv[1]) : 6000;
  const int h = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 2;
  if (!HDPhotoAvailable()) {
    std::printf("the HD Photo codec is not available\n");
    return 2;
  }
  const Bytes bgr = MakeBenchPhoto(w, h);
  TIEBitmap bitmap;
  bitmap.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    std::memcpy(bitmap.GetRow(y), bgr.data() + static_cast<size_t>(y) * w * 3, static_cast<size_t>(w) * 3);
  std::printf("HD Photo, %d x %d photo-like 24-bit BGR, jxrlib (one thread), best of %d taken in turn\n", w, h, runs);
  std::printf("%-9s %-7s %9s %9s %9s %9s %7s %7s  %s\n", "mode", "step", "ours s", "ours cpu", "bare s", "bare cpu",
              "wall", "cpu", "check");
  bool allSame = true;
  for (bool lossless : {true, false}) {
    const uint8_t qp = 20;
    Bytes ours, bare;
    Timing encOurs, encBare, decOurs, decBare;
    MeasureInTurn([&] {
      TMemoryStream s;
      TIEWICWriter writer;
      writer.Lossless = lossless;
      writer.ImageQuality = lossless ? 1.0 : 0.5;  // below 1: the codec options' quantiser applies
      writer.UseCodecOptions = !lossless;
      writer.Quality = qp;
      writer.Overlap = 1;
      writer.Subsampling = 3;
      bool ok = writer.Open(s, fmtHDP) && writer.WriteFrame(bitmap, nullptr);
      ok = writer.Close() && ok;
      ours.clear();
      if (ok) ours.assign(static_cast<const uint8_t*>(s.Memory()), static_cast<const uint8_t*>(s.Memory()) + s.Size());
    }, [&] { bare = BareEncode(bgr.data(), static_cast<uint32_t>(w) * 3, w, h, lossless, qp); }, runs, encOurs, encBare);
    const bool sameFile = !ours.empty() && ours == bare;
    TIEBitmap decoded;
    Bytes barePixels;
    uint32_t stride = 0;
    MeasureInTurn([&] {
      TCustomMemoryStream s(ours.data(), static_cast<int64_t>(ours.size()));
      TIOParamsVals params(nullptr);
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      ReadHDPStream(s, decoded, params, progress, false);
    }, [&] { barePixels = BareDecode(bare, w, h, stride); }, runs, decOurs, decBare);
    bool samePixels = decoded.Width() == w && decoded.Height() == h && decoded.PixelFormat() == ie24RGB &&
                      !barePixels.empty();
    for (int y = 0; samePixels && y < h; ++y)
      samePixels = std::memcmp(decoded.GetRow(y), barePixels.data() + static_cast<size_t>(y) * stride,
                               static_cast<size_t>(w) * 3) == 0;
    allSame = allSame && sameFile && samePixels;
    const char* mode = lossless ? "lossless" : "QP 20";
    std::printf("%-9s %-7s %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f  %s (%zu bytes)\n", mode, "encode", encOurs.wall,
                encOurs.cpu, encBare.wall, encBare.cpu, encOurs.wall / encBare.wall, encOurs.cpu / encBare.cpu,
                sameFile ? "same file" : "FILES DIFFER", ours.size());
    std::printf("%-9s %-7s %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f  %s\n", mode, "decode", decOurs.wall, decOurs.cpu,
                decBare.wall, decBare.cpu, decOurs.wall / decBare.wall, decOurs.cpu / decBare.cpu,
                samePixels ? "same pixels" : "PIXELS DIFFER");
  }
  // A request with nothing to do to the kept helper, and a forked child with nothing to do, from this
  // process as it is now (its pictures in memory).
  Median("a request to the kept helper alone",
         [] { RunInHelper("bench.nothing", nullptr, 0, nullptr, 0, nullptr, 0, 30000); });
  Median("a forked child's start and end alone", [] { RunIsolated([] { return true; }, 30000); });
  return allSame ? 0 : 1;
}
