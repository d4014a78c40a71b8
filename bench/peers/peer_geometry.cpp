// The geometry routines side by side with libvips and ImageMagick, on the shared photo-like picture
// from memory, on every core and on one, each tool in turn every round. Ours through the processing
// component without undo, or the routine the component calls; the peers from the same bytes into
// memory. Every output is compared with ours: exactly where the peer computes the same thing, else
// by PSNR over the middle of the picture (rotations by different arithmetic) or by what it selects.
//
//   Rotate 30 degrees, 6000 x 4000       MagickRotateImage (three shears too) and vips_rotate
//                                        (bilinear)
//   Bicubic inverse mapping, 30 degrees, vips_similarity with the bicubic interpolator
//   1920 x 1080
//   Quarter turn, flips, 6000 x 4000     vips_rot (d90), vips_flip
//   MagicWandFill, tolerance 0, 90 %     MagickFloodfillPaintImage (fuzz 0, the same seed)
//   of 6000 x 4000
//   CompareImagesGray of two 640 x 480   MagickCompareImages with the mean absolute error (grey
//   frames with a difference bitmap      frames, so that both measure the same)
//   MagicWandOutline, _CopyBitmaptoDIBEx ours alone: time, and the outline's peak memory
//
//   peer_geometry <folder> [runs]
#include <vips/vips.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "bench/bench_photo.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_compare.h"
#include "imaging/processing/ie_dib_export.h"
#include "imaging/processing/ie_flip_turn.h"
#include "imaging/processing/ie_magic_wand.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_rotate.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/system/memory.h"

// After the engine's headers: ImageMagick's define names that they use.
#include <wand/MagickWand.h>

using namespace peers;

namespace {

struct Picture {
  int32_t W = 0, H = 0;
  std::vector<uint8_t> Bytes;  // bgr, rows from the top
};

Picture ToPicture(TIEBitmap& B) {
  Picture p{B.Width(), B.Height(), std::vector<uint8_t>(static_cast<size_t>(B.Width()) * B.Height() * 3)};
  for (int32_t y = 0; y < p.H; ++y)
    std::memcpy(p.Bytes.data() + static_cast<size_t>(y) * p.W * 3, B.Row<uint8_t>(y), static_cast<size_t>(p.W) * 3);
  return p;
}

void FromPicture(const Picture& P, TIEBitmap& B) {
  B.Allocate(P.W, P.H, ie24RGB);
  for (int32_t y = 0; y < P.H; ++y)
    std::memcpy(B.Row<uint8_t>(y), P.Bytes.data() + static_cast<size_t>(y) * P.W * 3, static_cast<size_t>(P.W) * 3);
}

Picture Photo(int32_t W, int32_t H) { return Picture{W, H, MakeBenchPhoto(W, H)}; }

Contender Entry(const std::string& Tool, int32_t Threads, std::function<double()> Run) {
  Contender c;
  c.Tool = Tool;
  c.Threads = Threads;
  c.Run = std::move(Run);
  return c;
}

// Ours at Threads threads on a fresh copy of Source each run (not timed); Out gets the result.
Contender Ours(const std::string& Tool, int32_t Threads, const Picture& Source, const std::function<void(TIEBitmap&)>& Op,
               Picture& Out) {
  return Entry(Tool, Threads, [=, &Source, &Out] {
                     ResampleThreadCountForTesting() = Threads;
                     TIEBitmap work;
                     FromPicture(Source, work);
                     const double ms = TimedMs([&] { Op(work); });
                     ResampleThreadCountForTesting() = 0;
                     Out = ToPicture(work);
                     return ms;
                   });
}

// One libvips operation on the memory image, written to memory (where the work happens).
Contender Vips(const std::string& Tool, int32_t Threads, const Picture& Source,
               const std::function<int(VipsImage*, VipsImage**)>& Op, Picture& Out) {
  return Entry(Tool, Threads, [=, &Source, &Out] {
                     vips_concurrency_set(Threads);
                     VipsImage* in = vips_image_new_from_memory(Source.Bytes.data(), Source.Bytes.size(), Source.W,
                                                                Source.H, 3, VIPS_FORMAT_UCHAR);
                     VipsImage* o = nullptr;
                     void* mem = nullptr;
                     size_t size = 0;
                     const double ms = TimedMs([&] {
                       if (Op(in, &o)) vips_error_exit(nullptr);
                       mem = vips_image_write_to_memory(o, &size);
                     });
                     if (!mem) vips_error_exit(nullptr);
                     Out.W = o->Xsize;
                     Out.H = o->Ysize;
                     Out.Bytes.assign(static_cast<uint8_t*>(mem), static_cast<uint8_t*>(mem) + size);
                     g_free(mem);
                     g_object_unref(o);
                     g_object_unref(in);
                     return ms;
                   });
}

// One ImageMagick operation on a wand made from the picture each run (not timed).
Contender Magick(const std::string& Tool, int32_t Threads, const Picture& Source,
                 const std::function<MagickBooleanType(MagickWand*)>& Op, Picture& Out) {
  return Entry(Tool, Threads, [=, &Source, &Out] {
                     MagickSetResourceLimit(ThreadResource, static_cast<MagickSizeType>(Threads));
                     MagickWand* wand = NewMagickWand();
                     MagickConstituteImage(wand, Source.W, Source.H, "BGR", CharPixel, Source.Bytes.data());
                     const double ms = TimedMs([&] {
                       if (!Op(wand)) throw std::runtime_error("ImageMagick failed");
                     });
                     Out.W = static_cast<int32_t>(MagickGetImageWidth(wand));
                     Out.H = static_cast<int32_t>(MagickGetImageHeight(wand));
                     Out.Bytes.resize(static_cast<size_t>(Out.W) * Out.H * 3);
                     MagickExportImagePixels(wand, 0, 0, Out.W, Out.H, "BGR", CharPixel, Out.Bytes.data());
                     DestroyMagickWand(wand);
                     return ms;
                   });
}

std::string Exact(const Picture& Ours, const Picture& Peer) {
  if (Ours.W != Peer.W || Ours.H != Peer.H) return "sizes differ";
  if (Ours.Bytes == Peer.Bytes) return "exact";
  size_t differ = 0;
  for (size_t i = 0; i < Ours.Bytes.size(); ++i) differ += Ours.Bytes[i] != Peer.Bytes[i];
  char s[64];
  std::snprintf(s, sizeof s, "%.4f%% of samples differ", 100.0 * differ / Ours.Bytes.size());
  return s;
}

// PSNR of the middle CW x CH pixels of two pictures rotated about their centres.
std::string Middle(const Picture& Ours, const Picture& Peer, int32_t CW, int32_t CH) {
  std::vector<double> a;
  std::vector<uint8_t> b;
  const int32_t ax = (Ours.W - CW) / 2, ay = (Ours.H - CH) / 2, bx = (Peer.W - CW) / 2, by = (Peer.H - CH) / 2;
  if (ax < 0 || ay < 0 || bx < 0 || by < 0) return "too small";
  for (int32_t y = 0; y < CH; ++y)
    for (int32_t i = 0; i < CW * 3; ++i) {
      a.push_back(Ours.Bytes[(static_cast<size_t>(ay + y) * Ours.W + ax) * 3 + i]);
      b.push_back(Peer.Bytes[(static_cast<size_t>(by + y) * Peer.W + bx) * 3 + i]);
    }
  char s[96];
  std::snprintf(s, sizeof s, "%dx%d vs %dx%d, middle %dx%d %s", Ours.W, Ours.H, Peer.W, Peer.H, CW, CH,
                PsnrText(Psnr(a, b)).c_str());
  return s;
}

// Runs the contenders in turn and prints them with the ratio to ours (the first of each thread
// count) and Agree(peer's output) for each peer.
void Table(const char* Title, std::vector<Contender>& C, int Runs, const std::function<std::string(size_t)>& Agree) {
  RunInTurn(C, Runs);
  PrintCpuHeader(Title);
  const Contender* ours = nullptr;
  double fastest = 0;
  for (size_t i = 0; i < C.size(); ++i) {
    if (C[i].Tool.rfind("ours", 0) == 0) {
      if (ours && fastest > 0)
        std::printf("%-40s %7d %9s %9s %6.2f          goal <= 0.80\n", "ours / the faster peer", ours->Threads, "", "",
                    ours->Median() / fastest);
      ours = &C[i];
      fastest = 0;
      PrintCpuRow(C[i], nullptr, "");
      continue;
    }
    PrintCpuRow(C[i], ours, Agree(i));
    if (fastest == 0 || C[i].Median() < fastest) fastest = C[i].Median();
  }
  if (ours && fastest > 0)
    std::printf("%-40s %7d %9s %9s %6.2f          goal <= 0.80\n", "ours / the faster peer", ours->Threads, "", "",
                ours->Median() / fastest);
}

PixelWand* Colour(const char* Name) {
  PixelWand* p = NewPixelWand();
  PixelSetColor(p, Name);
  return p;
}

void Rotations(int Runs) {
  const Picture photo = Photo(6000, 4000);
  std::vector<Picture> out(6);
  PixelWand* black = Colour("black");
  std::vector<Contender> c;
  for (int32_t t : {AllCores(), 1}) {
    const size_t k = c.size();
    c.push_back(Ours("ours Rotate 30 (three shears, antialiased)", t, photo, [](TIEBitmap& b) {
      TZodazUrProc::CreateFromIEBitmap(&b)->Rotate(30, true, 0, 0);
    }, out[k]));
    // ImageMagick and libvips turn clockwise for positive angles.
    c.push_back(Magick("MagickRotateImage -30", t, photo, [black](MagickWand* w) { return MagickRotateImage(w, black, -30); },
                       out[k + 1]));
    c.push_back(Vips("vips_rotate -30 (bilinear)", t, photo,
                     [](VipsImage* in, VipsImage** o) { return vips_rotate(in, o, -30.0, nullptr); }, out[k + 2]));
  }
  Table("Rotate 30 degrees, 6000 x 4000 ie24RGB", c, Runs, [&](size_t i) { return Middle(out[i - i % 3], out[i], 2000, 2000); });
  DestroyPixelWand(black);

  const Picture hd = Photo(1920, 1080);
  std::vector<Contender> d;
  for (int32_t t : {AllCores(), 1}) {
    const size_t k = d.size();
    d.push_back(Ours("ours RotateInterpolated24 30 bicubic", t, hd,
                     [](TIEBitmap& b) { RotateInterpolated24(b, 0, 2, nullptr, nullptr, 30); }, out[k]));
    d.push_back(Vips("vips_similarity -30 bicubic", t, hd, [](VipsImage* in, VipsImage** o) {
      VipsInterpolate* bicubic = vips_interpolate_new("bicubic");
      const int r = vips_similarity(in, o, "angle", -30.0, "interpolate", bicubic, nullptr);
      g_object_unref(bicubic);
      return r;
    }, out[k + 1]));
  }
  Table("Bicubic inverse mapping, 30 degrees, 1920 x 1080", d, Runs,
        [&](size_t i) { return Middle(out[i - 1], out[i], 600, 400); });
}

void TurnsAndFlips(int Runs) {
  const Picture photo = Photo(6000, 4000);
  std::vector<Picture> out(12);
  std::vector<Contender> c;
  struct Op {
    const char* ours;
    std::function<void(TIEBitmap&)> run;
    const char* vips;
    std::function<int(VipsImage*, VipsImage**)> peer;
  };
  const Op ops[] = {
      {"ours quarter turn clockwise", [](TIEBitmap& b) { TurnBitmapQuarters(b, -1, false); }, "vips_rot d90",
       [](VipsImage* in, VipsImage** o) { return vips_rot(in, o, VIPS_ANGLE_D90, nullptr); }},
      {"ours FlipBitmap horizontal", [](TIEBitmap& b) { FlipBitmap(b, iefdHorizontal); }, "vips_flip horizontal",
       [](VipsImage* in, VipsImage** o) { return vips_flip(in, o, VIPS_DIRECTION_HORIZONTAL, nullptr); }},
      {"ours FlipBitmap vertical", [](TIEBitmap& b) { FlipBitmap(b, iefdVertical); }, "vips_flip vertical",
       [](VipsImage* in, VipsImage** o) { return vips_flip(in, o, VIPS_DIRECTION_VERTICAL, nullptr); }}};
  for (const Op& op : ops) {
    std::vector<Contender> one;
    for (int32_t t : {AllCores(), 1}) {
      const size_t k = one.size();
      one.push_back(Ours(op.ours, t, photo, op.run, out[k]));
      one.push_back(Vips(op.vips, t, photo, op.peer, out[k + 1]));
    }
    Table((std::string(op.ours + 5) + ", 6000 x 4000").c_str(), one, Runs, [&](size_t i) { return Exact(out[i - 1], out[i]); });
  }
}

void Wand(int Runs) {
  // One colour with a band of another across the top and small squares: the seed's region is about
  // 90 % of the picture.
  TIEBitmap p(6000, 4000, ie24RGB);
  p.Fill(RGBToTColor(CreateRGB(200, 30, 30)));
  p.FillRect(0, 0, 5999, 379, RGBToTColor(CreateRGB(0, 0, 0)));
  for (int32_t y = 500; y < 3900; y += 300)
    for (int32_t x = 100; x < 5900; x += 300) p.FillRect(x, y, x + 9, y + 9, RGBToTColor(CreateRGB(0, 0, 0)));
  const Picture picture = ToPicture(p);
  TIEMask mask;
  mask.Allocate(6000, 4000, 1);
  Picture painted;
  PixelWand* white = Colour("white");
  std::vector<Contender> c;
  for (int32_t t : {AllCores(), 1}) {
    c.push_back(Entry("ours MagicWandFill, tolerance 0", t, [&] {
                            mask.Clear();
                            return TimedMs([&] { MagicWandFill(p, 3000, 2000, false, 0, mask, 1); });
                          }));
    c.push_back(Magick("MagickFloodfillPaintImage, fuzz 0", t, picture, [white](MagickWand* w) {
      return MagickFloodfillPaintImage(w, DefaultChannels, white, 0, nullptr, 3000, 2000, MagickFalse);
    }, painted));
  }
  Table("Magic wand fill, 6000 x 4000", c, Runs, [&](size_t) {
    // The same pixels: painted white there, selected in our mask.
    int64_t selected = 0, differ = 0;
    for (int32_t y = 0; y < 4000; ++y)
      for (int32_t x = 0; x < 6000; ++x) {
        const bool ours = mask.GetPixel(x, y) != 0;
        const uint8_t* px = &painted.Bytes[(static_cast<size_t>(y) * 6000 + x) * 3];
        const bool theirs = px[0] == 255 && px[1] == 255 && px[2] == 255;
        selected += ours;
        differ += ours != theirs;
      }
    char s[96];
    std::snprintf(s, sizeof s, "%.1f %% selected, %lld pixels differ", 100.0 * selected / (6000.0 * 4000),
                  static_cast<long long>(differ));
    return std::string(s);
  });
  DestroyPixelWand(white);

  // The outline: its time, and the peak of the process's memory while it runs (the peak is reset
  // first).
  std::ofstream("/proc/self/clear_refs") << "5";
  auto rss = [](const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
      if (line.rfind(key, 0) == 0) return std::stoll(line.substr(std::strlen(key))) / 1024;
    return -1LL;
  };
  const long long before = rss("VmRSS:");
  size_t points = 0;
  const double ms = MedianMs(1, [&] { points = MagicWandOutline(p, 3000, 2000, false, 0).size(); });
  const long long peak = rss("VmHWM:");
  std::printf("%-40s %7d %9.1f   peak memory %lld MB above the %lld MB before, %zu points\n", "ours MagicWandOutline", 1,
              ms, peak - before, before, points);
}

void Comparison(int Runs) {
  // Grey frames (red = green = blue), so that the mean absolute error over the channels is the
  // mean of the grey differences.
  Picture a = Photo(640, 480), b = Photo(640, 480);
  for (size_t i = 0; i < a.Bytes.size(); i += 3) {
    a.Bytes[i] = a.Bytes[i + 2] = a.Bytes[i + 1];
    b.Bytes[i] = b.Bytes[i + 2] = b.Bytes[i + 1] = static_cast<uint8_t>(255 - b.Bytes[i + 1] / 2);
  }
  TIEBitmap ba, bb, diff(1, 1, ie8g);
  FromPicture(a, ba);
  FromPicture(b, bb);
  double ours = 0, theirs = 0;
  MagickWand* wa = NewMagickWand();
  MagickWand* wb = NewMagickWand();
  MagickConstituteImage(wa, 640, 480, "BGR", CharPixel, a.Bytes.data());
  MagickConstituteImage(wb, 640, 480, "BGR", CharPixel, b.Bytes.data());
  std::vector<Contender> c;
  for (int32_t t : {AllCores(), 1}) {
    c.push_back(Entry("ours CompareImagesGray with Diff", t, [&] {
                            return TimedMs([&] { ours = CompareImagesGray(ba, bb, &diff); });
                          }));
    c.push_back(Entry("MagickCompareImages, mean abs error", t, [&, t] {
                            MagickSetResourceLimit(ThreadResource, static_cast<MagickSizeType>(t));
                            return TimedMs([&] {
                              MagickWand* d = MagickCompareImages(wa, wb, MeanAbsoluteErrorMetric, &theirs);
                              DestroyMagickWand(d);
                            });
                          }));
  }
  // Many runs: each takes a fraction of a millisecond.
  Table("CompareImagesGray, 640 x 480", c, Runs * 20, [&](size_t) {
    char s[96];
    std::snprintf(s, sizeof s, "1 - ours %.6f, ImageMagick %.6f", 1 - ours, theirs);
    return std::string(s);
  });
  DestroyMagickWand(wa);
  DestroyMagickWand(wb);

  TIEBitmap photo;
  FromPicture(Photo(6000, 4000), photo);
  const double ms = MedianMs(Runs, [&] { GlobalFree(_CopyBitmaptoDIBEx(photo, 0, 0, 0, 0, 300, 300)); });
  std::printf("\n%-40s %7d %9.1f\n", "ours _CopyBitmaptoDIBEx 6000 x 4000", 1, ms);
}

}  // namespace

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0])) vips_error_exit(nullptr);
  MagickWandGenesis();
  MinFileSizeOverride = -1;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  Wand(runs);
  Rotations(runs);
  TurnsAndFlips(runs);
  Comparison(runs);
  MagickWandTerminus();
  vips_shutdown();
  return 0;
}
