// The small codecs between memory streams and bitmaps: the 1920 x 1080 picture of the codec
// benchmarks as Targa (24 bits plain and run-length coded, 32 bits), PCX (24 bits, run-length
// coded), PPM (8 and 16 bits) and PGM, read and written; an 8-bit PCX, an A4 page at 300 dpi as PBM
// and as wireless bitmap, page 9 of a 10-page DCX and raw 24-bit pixels, read; a 128 x 128 32-bit
// icon, read and written.
//
//   bench_io_small_codecs [Google Benchmark flags]   the benchmarks
//   bench_io_small_codecs --make <dir>               writes the inputs (and photo.ppm, photo.pam, icon.pam,
//                                                    the pictures the writers start from)
//   bench_io_small_codecs --time <dir> <runs>        "read|write <job> <ms>": the median processor time of
//                                                    each job; writes what it read (ours-read-<job>.ppm)
//                                                    and wrote (ours-write-<job>.<ext>)
//   bench_io_small_codecs --diff <a> <b>             "max <d> psnr <dB>" of two PPM or PAM pictures
// bench/compare_small_codecs.sh runs the last three beside ImageMagick (bench/magick_codec_time.c).
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_codec_inputs.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/codecs/raw_pixels_codec.h"
#include "imaging/io/codecs/tga_codec.h"
#include "imaging/io/codecs/wbmp_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

using Bytes = std::vector<uint8_t>;
using bench_inputs::kBmpHeight;
using bench_inputs::kBmpWidth;

constexpr int32_t kPageWidth = 2480;  // A4 at 300 dpi
constexpr int32_t kPageHeight = 3508;
constexpr int32_t kIconSize = 128;

struct Progress {
  bool aborting = false;
  TIEProgressRecord record;
  Progress() { record.Aborting = &aborting; }
};

TIEBitmap& Photo() {
  static TIEBitmap* photo = [] {
    auto* b = new TIEBitmap();
    bench_inputs::PaintPhoto(*b);
    return b;
  }();
  return *photo;
}

// The photo with an alpha ramp across it.
TIEBitmap& PhotoWithAlpha() {
  static TIEBitmap* photo = [] {
    auto* b = new TIEBitmap();
    b->Assign(Photo());
    TIEBitmap* alpha = b->GetAlphaChannel();
    for (int32_t y = 0; y < kBmpHeight; ++y) {
      auto* a = static_cast<uint8_t*>(alpha->GetRow(y));
      for (int32_t x = 0; x < kBmpWidth; ++x) a[x] = static_cast<uint8_t>((x * 255 / kBmpWidth + y / 8) & 255);
    }
    return b;
  }();
  return *photo;
}

// A 128 x 128 part of the photo with a round alpha.
TIEBitmap& Icon() {
  static TIEBitmap* icon = [] {
    auto* b = new TIEBitmap(kIconSize, kIconSize, ie24RGB);
    Photo().CopyRectTo(*b, 700, 300, 0, 0, kIconSize, kIconSize);
    for (int32_t y = 0; y < kIconSize; ++y)
      for (int32_t x = 0; x < kIconSize; ++x) {
        const double d = std::hypot(x - 63.5, y - 63.5);
        b->SetAlpha(x, y, static_cast<uint8_t>(std::clamp(64.0 - d, 0.0, 1.0) * 255));
      }
    return b;
  }();
  return *icon;
}

// The A4 page: text-like lines of black marks on white.
TIEBitmap& Page() {
  static TIEBitmap* page = [] {
    auto* b = new TIEBitmap(kPageWidth, kPageHeight, ie1g);
    b->Fill(1);
    for (int32_t y = 300; y < kPageHeight - 300; ++y) {
      if ((y / 25) % 2 == 0) continue;
      auto* row = static_cast<uint8_t*>(b->GetRow(y));
      for (int32_t x = 250; x < kPageWidth - 250; ++x)
        if (((x / 9) * 7 + (y / 25) * 3) % 5 != 0 && x % 9 < 6) row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
    }
    return b;
  }();
  return *page;
}

// The photo's alpha as the Targa writer takes it.
TIEMask& PhotoAlphaMask() {
  static TIEMask* mask = [] {
    auto* m = new TIEMask();
    PhotoWithAlpha().GetAlphaChannel()->CopyToMask(*m);
    return m;
  }();
  return *mask;
}

// ---------------------------------------------------------------------------------------- jobs

using TWrite = std::function<void(TStream&, TIEProgressRecord&)>;
using TRead = std::function<void(TStream&, TIEBitmap&, TIEProgressRecord&)>;

Bytes Write(const TWrite& write) {
  TMemoryStream s;
  Progress p;
  write(s, p.record);
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  return Bytes(m, m + s.Size());
}

TWrite TGAWriter(int32_t samples, bool rle, bool alpha) {
  return [=](TStream& s, TIEProgressRecord& pr) {
    TIOParamsVals p(nullptr);
    p.SamplesPerPixel = samples;
    p.TgaCompressed = rle;
    WriteTGAStream(s, alpha ? PhotoWithAlpha() : Photo(), p, pr, alpha ? &PhotoAlphaMask() : nullptr);
  };
}

TWrite PCXWriter(int32_t bits, int32_t samples) {
  return [=](TStream& s, TIEProgressRecord& pr) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = bits;
    p.SamplesPerPixel = samples;
    p.PcxCompression = 1;
    WritePCXStream(s, Photo(), p, pr);
  };
}

TWrite PXMWriter(int32_t bits, int32_t samples, TIEBitmap* (*source)()) {
  return [=](TStream& s, TIEProgressRecord& pr) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = bits;
    p.SamplesPerPixel = samples;
    WritePXMStream(s, *source(), p, pr);
  };
}

TIEBitmap* PhotoPtr() { return &Photo(); }
TIEBitmap* PagePtr() { return &Page(); }

void WriteIcon(TStream& s, TIEProgressRecord& pr) {
  TIOParamsVals p(nullptr);
  const int32_t depth = 32;
  const TIOICOSize size{kIconSize, kIconSize};
  WriteICOStream(s, Icon(), p, &depth, &size, 1, pr);
}

// The page as a wireless bitmap, written here: the engine's writer brings pictures to 255 x 255.
Bytes PageWBMP() {
  Bytes out = {0, 0};
  for (uint32_t v : {uint32_t(kPageWidth), uint32_t(kPageHeight)}) {
    out.push_back(static_cast<uint8_t>(0x80 | (v >> 7)));
    out.push_back(static_cast<uint8_t>(v & 0x7F));
  }
  const size_t rowBytes = (kPageWidth + 7) / 8;
  for (int32_t y = 0; y < kPageHeight; ++y) {
    const auto* row = static_cast<const uint8_t*>(Page().GetRow(y));
    out.insert(out.end(), row, row + rowBytes);
  }
  return out;
}

// Ten pages of the photo at 24 bits, run-length coded, each a little different.
Bytes TenPageDCX() {
  TMemoryStream s;
  for (int32_t i = 0; i < 10; ++i) {
    TIEBitmap page;
    page.Assign(Photo());
    page.FillRect(i * 100, 0, i * 100 + 99, 99, 0xFF0000);
    TIOParamsVals p(nullptr);
    p.DcxImageIndex = i;
    Progress pr;
    s.Seek(0, soBeginning);
    WriteDCXStream(s, page, p, pr.record);
  }
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  return Bytes(m, m + s.Size());
}

Bytes RawPixels() {
  Bytes out = MakeBenchPhoto(kBmpWidth, kBmpHeight, true);
  return out;
}

struct TReadJob {
  const char* name;
  const char* file;
  std::function<Bytes()> make;
  TRead read;
};
struct TWriteJob {
  const char* name;
  const char* ext;
  TWrite write;
};

void ReadTGA(TStream& s, TIEBitmap& b, TIEProgressRecord& pr) {
  TIOParamsVals p(nullptr);
  std::unique_ptr<TIEMask> m;
  ReadTGAStream(s, b, p, pr, false, m, false);
  if (m) b.GetAlphaChannel()->CopyFromMask(m.get());
}

void ReadPCX(TStream& s, TIEBitmap& b, TIEProgressRecord& pr) {
  TIOParamsVals p(nullptr);
  ReadPCXStream(s, b, p, s.Size(), pr, false);
}

void ReadPXM(TStream& s, TIEBitmap& b, TIEProgressRecord& pr) {
  TIOParamsVals p(nullptr);
  ReadPXMStream(s, b, p, false, pr);
}

const std::vector<TReadJob>& ReadJobs() {
  static const std::vector<TReadJob> jobs = {
      {"tga24", "in-24.tga", [] { return Write(TGAWriter(3, false, false)); }, ReadTGA},
      {"tga24rle", "in-24-rle.tga", [] { return Write(TGAWriter(3, true, false)); }, ReadTGA},
      {"tga32", "in-32.tga", [] { return Write(TGAWriter(3, false, true)); }, ReadTGA},
      {"pcx24rle", "in-24.pcx", [] { return Write(PCXWriter(8, 3)); }, ReadPCX},
      {"pcx8", "in-8.pcx", [] { return Write(PCXWriter(8, 1)); }, ReadPCX},
      {"ppm8", "in-8.ppm", [] { return Write(PXMWriter(8, 3, PhotoPtr)); }, ReadPXM},
      {"ppm16", "in-16.ppm", [] { return Write(PXMWriter(16, 3, PhotoPtr)); }, ReadPXM},
      {"pgm", "in.pgm", [] { return Write(PXMWriter(8, 1, PhotoPtr)); }, ReadPXM},
      {"pbm", "a4.pbm", [] { return Write(PXMWriter(1, 1, PagePtr)); }, ReadPXM},
      {"wbmp", "a4.wbmp", PageWBMP,
       [](TStream& s, TIEBitmap& b, TIEProgressRecord& pr) {
         TIOParamsVals p(nullptr);
         ReadWBMPStream(s, b, p, pr, false);
       }},
      {"dcx9", "in-10.dcx", TenPageDCX,
       [](TStream& s, TIEBitmap& b, TIEProgressRecord& pr) {
         TIOParamsVals p(nullptr);
         p.DcxImageIndex = 9;
         ReadDCXStream(s, b, p, pr, false);
       }},
      {"raw24", "in.rgb", RawPixels,
       [](TStream& s, TIEBitmap& b, TIEProgressRecord& pr) {
         TIOParamsVals p(nullptr);
         if (b.Width() != kBmpWidth || b.Height() != kBmpHeight || b.PixelFormat() != ie24RGB)
           b.Allocate(kBmpWidth, kBmpHeight, ie24RGB);
         ReadRawBitmapStream(s, b, p, pr);
       }},
      {"ico32", "in-128.ico", [] { return Write(WriteIcon); },
       [](TStream& s, TIEBitmap& b, TIEProgressRecord& pr) {
         TIOParamsVals p(nullptr);
         std::unique_ptr<TIEMask> m;
         ReadICOStream(s, b, p, false, pr, m, false);
         if (m) b.GetAlphaChannel()->CopyFromMask(m.get());
       }},
  };
  return jobs;
}

const std::vector<TWriteJob>& WriteJobs() {
  static const std::vector<TWriteJob> jobs = {
      {"tga24", "tga", TGAWriter(3, false, false)},  {"tga24rle", "tga", TGAWriter(3, true, false)},
      {"tga32", "tga", TGAWriter(3, false, true)},   {"pcx24rle", "pcx", PCXWriter(8, 3)},
      {"ppm8", "ppm", PXMWriter(8, 3, PhotoPtr)},    {"ppm16", "ppm", PXMWriter(16, 3, PhotoPtr)},
      {"pgm", "pgm", PXMWriter(8, 1, PhotoPtr)},     {"ico32", "ico", WriteIcon},
  };
  return jobs;
}

const Bytes& InputOf(const TReadJob& job) {
  static std::vector<Bytes> made(ReadJobs().size());
  const size_t i = static_cast<size_t>(&job - ReadJobs().data());
  if (made[i].empty()) made[i] = job.make();
  return made[i];
}

bool ReadInto(const TReadJob& job, const Bytes& file, TIEBitmap& b) {
  TIEMemStream s(file.data(), static_cast<int64_t>(file.size()));
  Progress p;
  job.read(s, b, p.record);
  return !p.aborting;
}

// ---------------------------------------------------------------------------- Google Benchmark

void BM_Read(benchmark::State& state, size_t index) {
  const TReadJob& job = ReadJobs()[index];
  const Bytes& file = InputOf(job);
  TIEBitmap b;
  for (auto _ : state)
    if (!ReadInto(job, file, b)) state.SkipWithError("read failed");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}

void BM_Write(benchmark::State& state, size_t index) {
  const TWriteJob& job = WriteJobs()[index];
  for (auto _ : state) {
    TMemoryStream s;
    Progress p;
    job.write(s, p.record);
    if (p.aborting) state.SkipWithError("write failed");
  }
}

const bool kRegistered = [] {
  for (size_t i = 0; i < ReadJobs().size(); ++i)
    benchmark::RegisterBenchmark((std::string("BM_Read/") + ReadJobs()[i].name).c_str(), BM_Read, i)
        ->Unit(benchmark::kMillisecond);
  for (size_t i = 0; i < WriteJobs().size(); ++i)
    benchmark::RegisterBenchmark((std::string("BM_Write/") + WriteJobs()[i].name).c_str(), BM_Write, i)
        ->Unit(benchmark::kMillisecond);
  return true;
}();

// ------------------------------------------------------------------------- the peer comparison

void Save(const std::string& name, const Bytes& data) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes Load(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The picture as a PPM (a PAM with alpha when it has an alpha channel), rows from the top.
Bytes AsNetpbm(TIEBitmap& b, bool alpha) {
  const std::string head = alpha ? "P7\nWIDTH " + std::to_string(b.Width()) + "\nHEIGHT " + std::to_string(b.Height()) +
                                       "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                                 : "P6\n" + std::to_string(b.Width()) + " " + std::to_string(b.Height()) + "\n255\n";
  Bytes out(head.begin(), head.end());
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) {
      const TIERGB c = b.GetPixelRGB(x, y);
      out.insert(out.end(), {c.r, c.g, c.b});
      if (alpha) out.push_back(b.HasAlphaChannel() ? b.GetAlpha(x, y) : 255);
    }
  return out;
}

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int Make(const std::string& dir) {
  for (const TReadJob& job : ReadJobs()) Save(dir + "/" + job.file, InputOf(job));
  Save(dir + "/photo.ppm", AsNetpbm(Photo(), false));
  Save(dir + "/photo.pam", AsNetpbm(PhotoWithAlpha(), true));
  Save(dir + "/icon.pam", AsNetpbm(Icon(), true));
  return 0;
}

int Time(const std::string& dir, int runs) {
  for (const TReadJob& job : ReadJobs()) {
    const Bytes file = Load(dir + "/" + job.file);
    TIEBitmap b;
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
      const double t0 = CpuMs();
      if (!ReadInto(job, file, b)) {
        std::fprintf(stderr, "read %s failed\n", job.name);
        return 1;
      }
      ms.push_back(CpuMs() - t0);
    }
    std::printf("read %s %.3f\n", job.name, Median(ms));
    const bool alpha = std::strcmp(job.name, "tga32") == 0 || std::strcmp(job.name, "ico32") == 0;
    Save(dir + "/ours-read-" + job.name + (alpha ? ".pam" : ".ppm"), AsNetpbm(b, alpha));
  }
  // The pictures the writers start from are made before any timing, as ImageMagick's side reads its
  // source before it times ImageToBlob.
  Photo();
  PhotoWithAlpha();
  PhotoAlphaMask();
  Page();
  Icon();
  for (const TWriteJob& job : WriteJobs()) {
    std::vector<double> ms;
    Bytes out;
    for (int r = 0; r < runs; ++r) {
      // The last run's file goes first, as ImageMagick's side frees its blob before the next one.
      Bytes().swap(out);
      const double t0 = CpuMs();
      out = Write(job.write);
      ms.push_back(CpuMs() - t0);
    }
    std::printf("write %s %.3f\n", job.name, Median(ms));
    Save(dir + "/ours-write-" + job.name + "." + job.ext, out);
  }
  return 0;
}

// Width, height, channels and the data's offset of a PPM (P6) or PAM (P7) file of 8-bit samples;
// comment lines of a PPM header are stepped over.
bool ParseNetpbm(const Bytes& f, int& w, int& h, int& channels, size_t& offset) {
  const std::string text(f.begin(), f.begin() + static_cast<long>(std::min<size_t>(f.size(), 400)));
  if (text.rfind("P6", 0) == 0) {
    int values[3] = {0, 0, 0};
    size_t p = 2;
    for (int& v : values) {
      for (;;) {
        while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
        if (p < text.size() && text[p] == '#') {
          p = text.find('\n', p);
          if (p == std::string::npos) return false;
          continue;
        }
        break;
      }
      if (p >= text.size() || !std::isdigit(static_cast<unsigned char>(text[p]))) return false;
      v = std::atoi(text.c_str() + p);
      while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) ++p;
    }
    w = values[0];
    h = values[1];
    channels = 3;
    offset = p + 1;
    return values[2] == 255;
  }
  if (text.rfind("P7", 0) == 0) {
    const size_t end = text.find("ENDHDR\n");
    if (end == std::string::npos) return false;
    std::sscanf(text.c_str() + text.find("WIDTH"), "WIDTH %d", &w);
    std::sscanf(text.c_str() + text.find("HEIGHT"), "HEIGHT %d", &h);
    std::sscanf(text.c_str() + text.find("DEPTH"), "DEPTH %d", &channels);
    offset = end + 7;
    return true;
  }
  return false;
}

int Diff(const std::string& a, const std::string& b) {
  const Bytes fa = Load(a), fb = Load(b);
  int wa, ha, ca, wb, hb, cb;
  size_t oa, ob;
  if (!ParseNetpbm(fa, wa, ha, ca, oa) || !ParseNetpbm(fb, wb, hb, cb, ob) || wa != wb || ha != hb) {
    std::printf("max 999 psnr 0 (different or unreadable pictures)\n");
    return 0;
  }
  const int channels = std::min(ca, cb);
  int worst = 0;
  double sum = 0;
  const size_t pixels = static_cast<size_t>(wa) * ha;
  if (fa.size() < oa + pixels * ca || fb.size() < ob + pixels * cb) {
    std::printf("max 999 psnr 0 (short data)\n");
    return 0;
  }
  for (size_t i = 0; i < pixels; ++i)
    for (int c = 0; c < channels; ++c) {
      const int d = std::abs(fa[oa + i * ca + c] - fb[ob + i * cb + c]);
      worst = std::max(worst, d);
      sum += d * d;
    }
  const double mse = sum / (static_cast<double>(pixels) * channels);
  if (mse == 0)
    std::printf("max 0 psnr inf\n");
  else
    std::printf("max %d psnr %.1f\n", worst, 10 * std::log10(255.0 * 255.0 / mse));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--make") == 0) return Make(argv[2]);
  if (argc >= 4 && std::strcmp(argv[1], "--time") == 0) return Time(argv[2], std::max(1, std::atoi(argv[3])));
  if (argc >= 4 && std::strcmp(argv[1], "--diff") == 0) return Diff(argv[2], argv[3]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
