// The codecs side by side with ImageMagick (Magick++, in this process) and Pillow, on the very same
// files, one thread each (the codecs are sequential; ImageMagick is held to one thread):
//   - load of a 1920 x 1080 24-bit BMP (written by ours) into 24-bit pixels;
//   - save of the same pixels as a 24-bit BMP (a classic 40-byte header for ImageMagick: BMP3);
//   - load of the 50 frames of a 320 x 240 GIF, each to 24-bit pixels: ours as the multi-frame
//     loader reads an animation (the file's frames indexed in one walk, each frame read from its
//     place) and, for comparison, one file load per frame as a single-picture caller would;
//   - save of the 50 frames, 24-bit pictures of exactly 256 colours each, as one one-frame GIF per
//     frame: the palette rule of every writer is then "the picture's own colours", and no dithering
//     is asked of ImageMagick's (it needs none: the colours fit).
// Every output is checked: decoded pixels against the expected ones, and every written file read
// back by ImageMagick and compared with what was written (the count of differing samples, or PSNR).
// Saves are timed to the file's close; ours also syncs the file to the disk before renaming it over
// the target (a save that survives a power cut), which no peer does: ours is timed with the sync
// and without it, and the peers' ratios are taken against ours without it. The tools run in turn,
// one run each per round, and each is given with the medians of its wall and processor times.
//   peer_codecs <folder of pillow_peer.py> [runs]
#include <cstring>
#include <filesystem>
#include <memory>

#include "bench/bench_codec_inputs.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

// After the engine's headers: ImageMagick's define names that they use.
#include <Magick++.h>

using namespace peers;
using namespace bench_inputs;

namespace {

// The pixels of B as red, green, blue.
std::vector<uint8_t> Rgb(TIEBitmap& b) { return RgbOf(b); }

std::vector<uint8_t> Rgb(Magick::Image& image) {
  std::vector<uint8_t> out(image.columns() * image.rows() * 3);
  image.write(0, 0, image.columns(), image.rows(), "RGB", Magick::CharPixel, out.data());
  return out;
}

// How far A agrees with Expected: "exact", or the count of differing samples and the PSNR.
std::string Agreement(const std::vector<uint8_t>& Expected, const std::vector<uint8_t>& A) {
  if (Expected.size() != A.size()) return "other size";
  size_t differ = 0;
  for (size_t i = 0; i < A.size(); ++i) differ += Expected[i] != A[i];
  if (differ == 0) return "exact";
  return std::to_string(differ) + " samples differ, " + PsnrText(Psnr(ToReal(Expected), A));
}

// The file read back by ImageMagick.
std::vector<uint8_t> ReadBack(const std::string& File) {
  Magick::Image image;
  image.read(File);
  return Rgb(image);
}

std::string FrameFile(const std::string& Folder, int32_t F) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame_%02d.gif", F);
  return Folder + name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: peer_codecs <folder of pillow_peer.py> [runs]\n");
    return 2;
  }
  Magick::InitializeMagick(argv[0]);
  Magick::ResourceLimits::thread(1);
  InitializeZodazUrIO();
  const std::string pillow = std::string(argv[1]) + "/pillow_peer.py";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  const std::string dir = std::filesystem::temp_directory_path().string() + "/brimvale_peer_codecs";
  std::filesystem::remove_all(dir);
  for (const char* sub : {"", "/ours", "/magick", "/pillow"}) std::filesystem::create_directories(dir + sub);
  std::printf("peer_codecs: %d runs each, medians, one thread; %s\n", runs, MagickCore::GetMagickVersion(nullptr));

  // ---- The inputs ----
  TIEBitmap photo;
  PaintPhoto(photo);
  const std::vector<uint8_t> photoRgb = Rgb(photo);
  const std::string bmp = dir + "/in.bmp";
  {
    auto io = TZodazUrIO::CreateFromBitmap(&photo);
    io->SaveToFile(bmp);
  }
  WriteFile(dir + "/photo.rgb", photoRgb);
  const std::string gif = dir + "/in.gif";
  WriteAnimation(gif);
  std::vector<std::unique_ptr<TIEBitmap>> frames;
  std::vector<uint8_t> framesRgb;
  for (int32_t f = 0; f < kGifFrames; ++f) {
    frames.push_back(std::make_unique<TIEBitmap>());
    PaintFrame(f, *frames.back());
    const std::vector<uint8_t> rgb = Rgb(*frames.back());
    framesRgb.insert(framesRgb.end(), rgb.begin(), rgb.end());
  }
  WriteFile(dir + "/frames.rgb", framesRgb);
  char args[1024];
  // Pillow runs in a child process that times the work alone: one run per round.
  auto pillowRun = [&](const std::string& command) {
    return [&pillow, command]() { return RunPillow(pillow, command); };
  };
  auto compare = [&](const char* title, std::vector<Contender>& tools, size_t oursAt,
                     const std::function<std::string(size_t)>& agreement) {
    RunInTurn(tools, runs);
    PrintCpuHeader(title);
    for (size_t k = 0; k < tools.size(); ++k) PrintCpuRow(tools[k], k < oursAt ? nullptr : &tools[oursAt], agreement(k));
  };

  // ---- BMP load ----
  {
    TZodazUrIO io(nullptr);
    Magick::Image magickBmp;
    std::snprintf(args, sizeof args, "bmpload '%s' 1 '%s'", bmp.c_str(), (dir + "/pillow.rgb").c_str());
    std::vector<Contender> tools = {
        {"ours", 1, [&] { return TimedMs([&] { io.LoadFromFile(bmp); }); }, {}, {}},
        {"ImageMagick", 1, [&] { return TimedMs([&] { magickBmp.read(bmp); }); }, {}, {}},
        {"Pillow", 1, pillowRun(args), {}, {}},
    };
    compare("load BMP 1920x1080x24 (file written by ours)", tools, 0, [&](size_t k) {
      if (k == 0) return "vs the picture: " + Agreement(photoRgb, Rgb(*io.IEBitmap()));
      if (k == 1) return "vs the picture: " + Agreement(photoRgb, Rgb(magickBmp));
      return tools[k].Median() < 0 ? std::string("failed")
                                   : "vs the picture: " + Agreement(photoRgb, ReadFile(dir + "/pillow.rgb"));
    });
  }

  // ---- BMP save ----
  {
    auto photoIO = TZodazUrIO::CreateFromBitmap(&photo);
    Magick::Image toSave(kBmpWidth, kBmpHeight, "RGB", Magick::CharPixel, photoRgb.data());
    std::snprintf(args, sizeof args, "bmpsave '%s' %d %d 1 '%s'", (dir + "/photo.rgb").c_str(), kBmpWidth, kBmpHeight,
                  (dir + "/pillow/out.bmp").c_str());
    std::vector<Contender> tools = {
        {"ours, synced before the rename", 1,
         [&] { return TimedMs([&] { photoIO->SaveToFile(dir + "/ours/synced.bmp"); }); }, {}, {}},
        {"ours without the sync, as peers save", 1,
         [&] {
           SafeFileStreamSync = false;
           const double ms = TimedMs([&] { photoIO->SaveToFile(dir + "/ours/out.bmp"); });
           SafeFileStreamSync = true;
           return ms;
         },
         {}, {}},
        {"ImageMagick BMP3", 1, [&] { return TimedMs([&] { toSave.write("BMP3:" + dir + "/magick/out.bmp"); }); }, {}, {}},
        {"Pillow", 1, pillowRun(args), {}, {}},
    };
    compare("save BMP 1920x1080x24 (ratios against ours without the sync)", tools, 1, [&](size_t k) {
      const char* files[] = {"/ours/synced.bmp", "/ours/out.bmp", "/magick/out.bmp", "/pillow/out.bmp"};
      if (tools[k].Median() < 0) return std::string("failed");
      return "read back: " + Agreement(photoRgb, ReadBack(dir + files[k]));
    });
  }

  // ---- GIF load ----
  {
    // Ours as an animation is loaded: the file opened once, read ahead, its frames indexed in one
    // walk, each frame read from its place into a picture of its own (24-bit, as the peers give).
    std::vector<TIEBitmap> oursFrames(kGifFrames);
    auto loadAnimation = [&] {
      TFileStream file(gif, fmOpenRead | fmShareDenyWrite);
      TIEBufferedReadStream buffered(file, 65536, false);
      TGIFFrameIndex index;
      IndexGIFFrames(buffered, index);
      for (int32_t f = 0; f < kGifFrames; ++f) {
        TIOParamsVals params(nullptr);
        params.GifImageIndex = f;
        bool aborting = false;
        TIEProgressRecord progress;
        progress.Aborting = &aborting;
        std::unique_ptr<TIEMask> mask;
        int32_t count = 0;
        buffered.Seek(0, soBeginning);
        ReadGIFStream(buffered, oursFrames[static_cast<size_t>(f)], count, params, progress, false, mask, true,
                      &index);
      }
    };
    // One file load per frame through the I/O component, as a caller of single pictures does.
    std::vector<TIEBitmap> perFileFrames(kGifFrames);
    TZodazUrIO io(nullptr);
    auto loadFramePerFile = [&] {
      for (int32_t f = 0; f < kGifFrames; ++f) {
        io.SetAttachedIEBitmap(&perFileFrames[static_cast<size_t>(f)]);
        io.Params().GifImageIndex = f;
        io.LoadFromFile(gif);
      }
      io.SetAttachedIEBitmap(nullptr);
    };
    std::vector<Magick::Image> magickFrames;
    std::snprintf(args, sizeof args, "gifload '%s' %d 1 '%s'", gif.c_str(), kGifFrames,
                  (dir + "/pillow_frames.rgb").c_str());
    std::vector<Contender> tools = {
        {"ours, the animation (frames indexed)", 1, [&] { return TimedMs(loadAnimation); }, {}, {}},
        {"ours, one file load per frame", 1, [&] { return TimedMs(loadFramePerFile); }, {}, {}},
        {"ImageMagick readImages", 1,
         [&] {
           return TimedMs([&] {
             magickFrames.clear();
             Magick::readImages(&magickFrames, gif);
           });
         },
         {}, {}},
        {"Pillow seek and convert", 1, pillowRun(args), {}, {}},
    };
    auto joined = [](std::vector<TIEBitmap>& list) {
      std::vector<uint8_t> all;
      for (TIEBitmap& b : list) {
        const std::vector<uint8_t> rgb = Rgb(b);
        all.insert(all.end(), rgb.begin(), rgb.end());
      }
      return all;
    };
    compare("load GIF 50 frames 320x240, the same file for every tool (built byte by byte)", tools, 0,
            [&](size_t k) {
              if (k == 0) return "vs the frames: " + Agreement(framesRgb, joined(oursFrames));
              if (k == 1) return "vs the frames: " + Agreement(framesRgb, joined(perFileFrames));
              if (k == 2) {
                std::vector<uint8_t> all;
                for (Magick::Image& f : magickFrames) {
                  const std::vector<uint8_t> rgb = Rgb(f);
                  all.insert(all.end(), rgb.begin(), rgb.end());
                }
                return "vs the frames: " + Agreement(framesRgb, all);
              }
              return tools[k].Median() < 0
                         ? std::string("failed")
                         : "vs the frames: " + Agreement(framesRgb, ReadFile(dir + "/pillow_frames.rgb"));
            });
  }

  // ---- GIF save ----
  {
    auto readBackFrames = [&](const std::string& folder) {
      std::vector<uint8_t> all;
      for (int32_t f = 0; f < kGifFrames; ++f) {
        const std::vector<uint8_t> rgb = ReadBack(FrameFile(folder, f));
        all.insert(all.end(), rgb.begin(), rgb.end());
      }
      return all;
    };
    std::filesystem::create_directories(dir + "/ours_synced");
    std::vector<std::unique_ptr<TZodazUrIO>> frameIO;
    for (auto& f : frames) frameIO.push_back(TZodazUrIO::CreateFromBitmap(f.get()));
    auto saveOurs = [&](const std::string& folder) {
      for (int32_t f = 0; f < kGifFrames; ++f) frameIO[static_cast<size_t>(f)]->SaveToFile(FrameFile(folder, f));
    };
    std::vector<Magick::Image> magickOut;
    for (int32_t f = 0; f < kGifFrames; ++f) {
      magickOut.emplace_back(kGifWidth, kGifHeight, "RGB", Magick::CharPixel,
                             framesRgb.data() + static_cast<size_t>(f) * kGifWidth * kGifHeight * 3);
      magickOut.back().quantizeDither(false);
    }
    std::snprintf(args, sizeof args, "gifsave '%s' %d %d %d 1 '%s'", (dir + "/frames.rgb").c_str(), kGifWidth,
                  kGifHeight, kGifFrames, (dir + "/pillow").c_str());
    std::vector<Contender> tools = {
        {"ours, synced before the rename", 1, [&] { return TimedMs([&] { saveOurs(dir + "/ours_synced"); }); }, {}, {}},
        {"ours without the sync, as peers save", 1,
         [&] {
           SafeFileStreamSync = false;
           const double ms = TimedMs([&] { saveOurs(dir + "/ours"); });
           SafeFileStreamSync = true;
           return ms;
         },
         {}, {}},
        {"ImageMagick", 1,
         [&] {
           return TimedMs([&] {
             for (int32_t f = 0; f < kGifFrames; ++f) {
               // A copy per save: the writer quantizes the picture it is given.
               Magick::Image copy = magickOut[static_cast<size_t>(f)];
               copy.write("GIF:" + FrameFile(dir + "/magick", f));
             }
           });
         },
         {}, {}},
        {"Pillow", 1, pillowRun(args), {}, {}},
    };
    compare("save GIF 50 frames 320x240 of 256 colours, one file each (ratios against ours without the sync)",
            tools, 1, [&](size_t k) {
              const char* folders[] = {"/ours_synced", "/ours", "/magick", "/pillow"};
              if (tools[k].Median() < 0) return std::string("failed");
              return "read back: " + Agreement(framesRgb, readBackFrames(dir + folders[k]));
            });
  }

  std::filesystem::remove_all(dir);
  return 0;
}
