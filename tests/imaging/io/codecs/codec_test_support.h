#pragma once
// Helpers of the codec tests: files in and out, the BMP and GIF readers called as the I/O component
// calls them, and ImageMagick as an independent decoder to compare with. ImageMagick is a test
// dependency (scripts/install-deps.sh); a test that needs it fails without it.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_progress.h"
#include "platform/system/streams.h"
#include "tests/support/test_support.h"

class TIOParamsVals;

namespace codectest {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& name);
void WriteFile(const std::string& name, const Bytes& data);
Bytes Concat(Bytes a, const Bytes& b);
Bytes Text(const std::string& s);
// The path of a file kept under tests/data.
std::string SampleFile(const std::string& name);

// A 24-bit picture of Colors colours (at most 256) in blocks and stripes: runs for the run-length
// coders, and changes between them.
void PaintColors(TIEBitmap& b, int w, int h, int colors);
// Same size and the same colour at every pixel.
bool SamePixels(TIEBitmap& a, TIEBitmap& b);

// ImageMagick's command-line tool ("magick", else version 6's "convert"), empty when missing.
std::string MagickTool();
// Runs the tool with Args in Dir, on one thread; false on failure (its messages go to a file there).
bool Magick(const testsupport::ScratchDir& dir, const std::string& args);
// ImageMagick's reading of several files (a GIF frame as "name.gif[i]") in one run: 8-bit red,
// green, blue, alpha per pixel, rows from the top. A file it cannot read gives an empty result.
std::map<std::string, Bytes> MagickPixels(const testsupport::ScratchDir& dir, const std::vector<std::string>& files);

// A picture with flat areas (runs for the run-length coders), gradients and an alpha ramp that
// reaches 0 and 255.
struct Source {
  static constexpr int W = 37, H = 23;
  static uint8_t Channel(int x, int y, int c);
  // As a binary PPM, or a PAM with alpha (files for the independent tools to start from).
  static Bytes Netpbm(bool alpha);
};

// A memory stream that takes only its first Room bytes (a full disk for the writers).
class TShortStream : public TMemoryStream {
 public:
  explicit TShortStream(int64_t Room) : room_(Room) {}
  int32_t Write(const void* Buffer, int32_t Count) override;

 private:
  int64_t room_;
};

// Runs a writer into memory with a progress record of its own; empty when it set the abort flag.
Bytes WriteWith(const std::function<void(TStream&, TIEProgressRecord&)>& Write);
// Runs a reader over File with a progress record of its own; true when it did not set the abort flag.
bool ReadWith(const Bytes& File, const std::function<void(TStream&, TIEProgressRecord&)>& Read);

// A picture as the engine read it.
struct Decoded {
  bool aborted = true;
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> alpha;
  bool interlaced = false;  // GIF
  int32_t frames = 0;       // GIF
};
// BMP as loaded with BmpUseAlpha; GIF frame Frame; PNG (optionally in the file's own pixel format)
// with its alpha channel as the mask.
void ReadBMP(const Bytes& file, Decoded& d);
void ReadGIF(const Bytes& file, int32_t frame, Decoded& d);
void ReadPNG(const Bytes& file, Decoded& d, bool native = false);
// The small codecs as the I/O component calls them (alpha into the mask where the format has one).
void ReadPCX(const Bytes& file, Decoded& d);
void ReadDCX(const Bytes& file, int32_t page, Decoded& d);
void ReadTGA(const Bytes& file, Decoded& d);
void ReadICO(const Bytes& file, int32_t image, Decoded& d);
void ReadCUR(const Bytes& file, int32_t image, Decoded& d);
void ReadPXM(const Bytes& file, Decoded& d);
void ReadWBMP(const Bytes& file, Decoded& d);
// The engine's files of Bitmap as Params ask; empty when the writer failed.
Bytes WriteBMP(TIEBitmap& bitmap, TIOParamsVals& params, bool useAlpha);
Bytes WriteGIF(TIEBitmap& bitmap, TIOParamsVals& params);
// The bitmap's alpha channel is written as its transparency, as the I/O component's saver does.
Bytes WritePNG(TIEBitmap& bitmap, TIOParamsVals& params);

// FFmpeg's decoding of a file (its first frame) as 8-bit red, green, blue, alpha per pixel, rows from
// the top. FFmpeg is a test dependency: without it, or when it fails, the result is empty and the
// test fails.
Bytes FFmpegPixels(const testsupport::ScratchDir& dir, const std::string& file);

// How many top bits of each channel (red, green, blue, alpha) must agree with ImageMagick's.
// ImageMagick 6 widens 5- and 6-bit channels by repeating their bits, as the engine does, but 4-bit
// channels and a 1-bit alpha only by shifting (15 -> 240, 1 -> 128) where the engine gives 255:
// those compare by their stored bits. Channels wider than 8 bits it scales down with truncation
// (10 bits: 80 -> 19) where the engine keeps the top 8 bits (20): those may differ by Slack.
struct Significant {
  int r = 8, g = 8, b = 8, a = 8;
  int slack = 0;
  // Whether pixels that both sides make fully transparent must agree in colour too.
  bool clearColors = true;
};
// Expects the engine's pixels (and alpha, 255 without a mask) to be another decoder's RGBA pixels
// (ImageMagick's, FFmpeg's).
void ExpectSamePixels(const std::string& name, Decoded& ours, const Bytes& theirs, Significant bits = {});

}  // namespace codectest
