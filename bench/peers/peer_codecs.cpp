// The codecs side by side with ImageMagick (Magick++, in this process) and Pillow, on the very same
// files, one thread each (the codecs are sequential; ImageMagick is held to one thread):
//   - load of a 1920 x 1080 24-bit BMP (written by ours) into 24-bit pixels;
//   - save of the same pixels as a 24-bit BMP (a classic 40-byte header for ImageMagick: BMP3);
//   - load of the 50 frames of a 320 x 240 GIF, each to 24-bit pixels (ours loads frame by frame,
//     as its reader does; the peers walk the file once);
//   - save of the 50 frames, 24-bit pictures of exactly 256 colours each, as one one-frame GIF per
//     frame: the palette rule of every writer is then "the picture's own colours", and no dithering
//     is asked of ImageMagick's (it needs none: the colours fit).
// Every output is checked: decoded pixels against the expected ones, and every written file read
// back by ImageMagick and compared with what was written (the count of differing samples, or PSNR).
// Saves are timed to the file's close; ours also syncs the file to the disk before renaming it over
// the target (a save that survives a power cut), which no peer does: ours is timed with the sync
// and without it, and the peers' ratios are taken against ours without it.
//   peer_codecs <folder of pillow_peer.py> [runs]
#include <cstring>
#include <filesystem>
#include <memory>

#include "bench/bench_codec_inputs.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
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

  // ---- BMP load ----
  PrintHeader("load BMP 1920x1080x24 (file written by ours)");
  TZodazUrIO io(nullptr);
  const double oursBmpLoad = MedianMs(runs, [&] { io.LoadFromFile(bmp); });
  PrintRow("ours", "1", oursBmpLoad, 0, "vs the picture: " + Agreement(photoRgb, Rgb(*io.IEBitmap())));
  Magick::Image magickBmp;
  const double magickBmpLoad = MedianMs(runs, [&] { magickBmp.read(bmp); });
  PrintRow("ImageMagick", "1", magickBmpLoad, oursBmpLoad, "vs the picture: " + Agreement(photoRgb, Rgb(magickBmp)));
  std::snprintf(args, sizeof args, "bmpload '%s' %d '%s'", bmp.c_str(), runs, (dir + "/pillow.rgb").c_str());
  double ms = RunPillow(pillow, args);
  PrintRow("Pillow", "1", ms, oursBmpLoad,
           ms < 0 ? "failed" : "vs the picture: " + Agreement(photoRgb, ReadFile(dir + "/pillow.rgb")));

  // ---- BMP save ----
  PrintHeader("save BMP 1920x1080x24 (peers' ratios against ours without the sync)");
  auto photoIO = TZodazUrIO::CreateFromBitmap(&photo);
  const double oursBmpSave = MedianMs(runs, [&] { photoIO->SaveToFile(dir + "/ours/out.bmp"); });
  PrintRow("ours, synced before the rename", "1", oursBmpSave, 0,
           "read back: " + Agreement(photoRgb, ReadBack(dir + "/ours/out.bmp")));
  SafeFileStreamSync = false;
  const double oursBmpSaveNoSync = MedianMs(runs, [&] { photoIO->SaveToFile(dir + "/ours/out.bmp"); });
  SafeFileStreamSync = true;
  PrintRow("ours without the sync, as peers save", "1", oursBmpSaveNoSync, 0,
           "read back: " + Agreement(photoRgb, ReadBack(dir + "/ours/out.bmp")));
  Magick::Image toSave(kBmpWidth, kBmpHeight, "RGB", Magick::CharPixel, photoRgb.data());
  ms = MedianMs(runs, [&] { toSave.write("BMP3:" + dir + "/magick/out.bmp"); });
  PrintRow("ImageMagick BMP3", "1", ms, oursBmpSaveNoSync, "read back: " + Agreement(photoRgb, ReadBack(dir + "/magick/out.bmp")));
  std::snprintf(args, sizeof args, "bmpsave '%s' %d %d %d '%s'", (dir + "/photo.rgb").c_str(), kBmpWidth, kBmpHeight,
                runs, (dir + "/pillow/out.bmp").c_str());
  ms = RunPillow(pillow, args);
  PrintRow("Pillow", "1", ms, oursBmpSaveNoSync,
           ms < 0 ? "failed" : "read back: " + Agreement(photoRgb, ReadBack(dir + "/pillow/out.bmp")));

  // ---- GIF load ----
  PrintHeader("load GIF 50 frames 320x240 (file built byte by byte)");
  std::vector<uint8_t> decoded;
  const double oursGifLoad = MedianMs(runs, [&] {
    decoded.clear();
    for (int32_t f = 0; f < kGifFrames; ++f) {
      io.Params().GifImageIndex = f;
      io.LoadFromFile(gif);
      const std::vector<uint8_t> rgb = Rgb(*io.IEBitmap());
      decoded.insert(decoded.end(), rgb.begin(), rgb.end());
    }
  });
  PrintRow("ours, frame by frame", "1", oursGifLoad, 0, "vs the frames: " + Agreement(framesRgb, decoded));
  std::vector<Magick::Image> magickFrames;
  ms = MedianMs(runs, [&] {
    magickFrames.clear();
    Magick::readImages(&magickFrames, gif);
  });
  decoded.clear();
  for (Magick::Image& f : magickFrames) {
    const std::vector<uint8_t> rgb = Rgb(f);
    decoded.insert(decoded.end(), rgb.begin(), rgb.end());
  }
  PrintRow("ImageMagick readImages", "1", ms, oursGifLoad, "vs the frames: " + Agreement(framesRgb, decoded));
  std::snprintf(args, sizeof args, "gifload '%s' %d %d '%s'", gif.c_str(), kGifFrames, runs,
                (dir + "/pillow_frames.rgb").c_str());
  ms = RunPillow(pillow, args);
  PrintRow("Pillow seek and convert", "1", ms, oursGifLoad,
           ms < 0 ? "failed" : "vs the frames: " + Agreement(framesRgb, ReadFile(dir + "/pillow_frames.rgb")));

  // ---- GIF save ----
  PrintHeader("save GIF 50 frames 320x240 of 256 colours, one file each (ratios: ours without the sync)");
  auto readBackFrames = [&](const std::string& folder) {
    std::vector<uint8_t> all;
    for (int32_t f = 0; f < kGifFrames; ++f) {
      const std::vector<uint8_t> rgb = ReadBack(FrameFile(folder, f));
      all.insert(all.end(), rgb.begin(), rgb.end());
    }
    return all;
  };
  std::vector<std::unique_ptr<TZodazUrIO>> frameIO;
  for (auto& f : frames) frameIO.push_back(TZodazUrIO::CreateFromBitmap(f.get()));
  const double oursGifSave = MedianMs(runs, [&] {
    for (int32_t f = 0; f < kGifFrames; ++f) frameIO[static_cast<size_t>(f)]->SaveToFile(FrameFile(dir + "/ours", f));
  });
  PrintRow("ours, synced before the rename", "1", oursGifSave, 0,
           "read back: " + Agreement(framesRgb, readBackFrames(dir + "/ours")));
  SafeFileStreamSync = false;
  const double oursGifSaveNoSync = MedianMs(runs, [&] {
    for (int32_t f = 0; f < kGifFrames; ++f) frameIO[static_cast<size_t>(f)]->SaveToFile(FrameFile(dir + "/ours", f));
  });
  SafeFileStreamSync = true;
  PrintRow("ours without the sync, as peers save", "1", oursGifSaveNoSync, 0,
           "read back: " + Agreement(framesRgb, readBackFrames(dir + "/ours")));
  std::vector<Magick::Image> magickOut;
  for (int32_t f = 0; f < kGifFrames; ++f) {
    magickOut.emplace_back(kGifWidth, kGifHeight, "RGB", Magick::CharPixel,
                           framesRgb.data() + static_cast<size_t>(f) * kGifWidth * kGifHeight * 3);
    magickOut.back().quantizeDither(false);
  }
  ms = MedianMs(runs, [&] {
    for (int32_t f = 0; f < kGifFrames; ++f) {
      // A copy per save: the writer quantizes the picture it is given.
      Magick::Image copy = magickOut[static_cast<size_t>(f)];
      copy.write("GIF:" + FrameFile(dir + "/magick", f));
    }
  });
  PrintRow("ImageMagick", "1", ms, oursGifSaveNoSync, "read back: " + Agreement(framesRgb, readBackFrames(dir + "/magick")));
  std::snprintf(args, sizeof args, "gifsave '%s' %d %d %d %d '%s'", (dir + "/frames.rgb").c_str(), kGifWidth, kGifHeight,
                kGifFrames, runs, (dir + "/pillow").c_str());
  ms = RunPillow(pillow, args);
  PrintRow("Pillow", "1", ms, oursGifSaveNoSync,
           ms < 0 ? "failed" : "read back: " + Agreement(framesRgb, readBackFrames(dir + "/pillow")));

  std::filesystem::remove_all(dir);
  return 0;
}
