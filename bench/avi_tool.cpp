// A small driver of the AVI file services for bench/compare_avi.sh, with no user interface:
//   avi_tool -threads N encode -i frames.raw -s 1280x720 -r 25 -c MJPG -q 9333 -o out.avi
//       raw BGR24 frames (top row first, as ffmpeg's rawvideo) compressed through
//       AVIMakeCompressedStream (-c none: written uncompressed)
//   avi_tool -threads N savev -i raw.avi -c MJPG -q 9333 -o out.avi
//       an uncompressed AVI saved compressed through AVISaveV
//   avi_tool -threads N decode -i clip.avi [-o frames.raw]
//       every frame through AVIStreamGetFrame (written as BGR24, top row first, with -o)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/media/avi_file.h"
#include "platform/media/media_settings.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: avi_tool [-threads N] (encode|savev|decode) -i in [-o out] [-s WxH] [-r rate] [-c FOURCC|none] [-q quality]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode, input, output, codec = "none";
  int width = 0, height = 0, rate = 25, quality = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : "";
    if (a == "-threads") SetMediaCodecThreads(std::atoi(v)), ++i;
    else if (a == "-i") input = v, ++i;
    else if (a == "-o") output = v, ++i;
    else if (a == "-s") std::sscanf(v, "%dx%d", &width, &height), ++i;
    else if (a == "-r") rate = std::atoi(v), ++i;
    else if (a == "-c") codec = v, ++i;
    else if (a == "-q") quality = std::atoi(v), ++i;
    else mode = a;
  }
  if (input.empty()) return Usage();
  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = codec == "none" ? 0 : mmioStringToFOURCC(codec, 0);
  options.dwQuality = static_cast<uint32_t>(quality);

  if (mode == "encode") {
    if (output.empty() || width <= 0 || height <= 0) return Usage();
    FILE* in = std::fopen(input.c_str(), "rb");
    if (!in) return 1;
    PAVIFILE file = nullptr;
    if (AVIFileOpen(&file, output, OF_CREATE | OF_WRITE) != AVIERR_OK) return 1;
    AVISTREAMINFOW info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = static_cast<uint32_t>(rate);
    PAVISTREAM stream = nullptr, compressed = nullptr;
    if (AVIFileCreateStream(file, &stream, &info) != AVIERR_OK) return 1;
    if (AVIMakeCompressedStream(&compressed, stream, &options, nullptr) != AVIERR_OK) return 1;
    BITMAPINFOHEADER h{};
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = 24;
    const int row = (width * 3 + 3) & ~3;
    h.biSizeImage = static_cast<uint32_t>(row * height);
    if (AVIStreamSetFormat(compressed, 0, &h, 40) != AVIERR_OK) return 1;
    std::vector<uint8_t> raw(static_cast<size_t>(width) * 3 * height), dib(h.biSizeImage);
    int32_t n = 0;
    while (std::fread(raw.data(), 1, raw.size(), in) == raw.size()) {
      for (int y = 0; y < height; ++y) {
        std::memcpy(dib.data() + static_cast<size_t>(height - 1 - y) * row, raw.data() + static_cast<size_t>(y) * width * 3,
                    static_cast<size_t>(width) * 3);
      }
      if (AVIStreamWrite(compressed, n++, 1, dib.data(), static_cast<int32_t>(dib.size()), AVIIF_KEYFRAME, nullptr,
                         nullptr) != AVIERR_OK) {
        return 1;
      }
    }
    std::fclose(in);
    AVIStreamRelease(compressed);
    AVIStreamRelease(stream);
    return AVIFileRelease(file) == 0 ? 0 : 1;
  }

  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr;
  if (AVIFileOpen(&file, input, OF_READ) != AVIERR_OK) return 1;
  if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) != AVIERR_OK) return 1;
  int result = 0;
  if (mode == "savev") {
    if (output.empty()) return Usage();
    LPAVICOMPRESSOPTIONS list[1] = {&options};
    result = AVISaveV(output, nullptr, nullptr, 1, &stream, list) == AVIERR_OK ? 0 : 1;
  } else if (mode == "decode") {
    FILE* out = output.empty() ? nullptr : std::fopen(output.c_str(), "wb");
    PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr);
    if (!frames) return 1;
    const int32_t length = AVIStreamLength(stream);
    for (int32_t k = 0; k < length; ++k) {
      const auto* h = static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(frames, k));
      if (!h) {
        result = 1;
        break;
      }
      if (out) {
        const auto* bits = reinterpret_cast<const uint8_t*>(h) + 40;
        const int row = (h->biWidth * 3 + 3) & ~3;
        for (int y = h->biHeight - 1; y >= 0; --y) std::fwrite(bits + static_cast<size_t>(y) * row, 1, static_cast<size_t>(h->biWidth) * 3, out);
      }
    }
    AVIStreamGetFrameClose(frames);
    if (out) std::fclose(out);
  } else {
    return Usage();
  }
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  return result;
}
