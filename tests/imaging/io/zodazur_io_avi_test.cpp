// The I/O component's AVI files: frames read by number (also by name through LoadFromFile and on an
// I/O thread), and files written frame by frame at 8 bits with a palette each, 24 and 32 bits, with
// a compressor named or chosen in the options dialog; the user's file survives until the new one
// is complete.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/zodazur_io.h"
#include "platform/gdi/graphics.h"
#include "platform/media/avi_file.h"
#include "platform/ui/dialogs.h"
#include "tests/support/media_fixtures.h"

using testsupport::VideoSpec;

namespace {

// The number a 64 x 48 picture shows in its 16 x 16 blocks (rows read top first).
int BitmapNumber(TIEBitmap& b) {
  int n = 0;
  if (b.PixelFormat() != ie24RGB) b.SetPixelFormat(ie24RGB);
  for (int by = 0; by < b.Height() / 16; ++by) {
    for (int bx = 0; bx < b.Width() / 16; ++bx) {
      const auto* p = static_cast<const uint8_t*>(b.GetRow(by * 16 + 8)) + (bx * 16 + 8) * 3;
      if ((p[0] + p[1] + p[2]) / 3 > 160) n |= 1 << (by * (b.Width() / 16) + bx);
    }
  }
  return n;
}

// A 64 x 48 picture showing N, its light blocks tinted by Tint (so that pictures differ in colour).
void PaintNumber(TIEBitmap& b, int n, int Tint = 0) {
  b.Allocate(64, 48, ie24RGB);
  for (int y = 0; y < 48; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int x = 0; x < 64; ++x) {
      const bool white = (n >> ((y / 16) * 4 + x / 16)) & 1;
      row[3 * x] = row[3 * x + 2] = white ? 255 : 0;
      row[3 * x + 1] = white ? static_cast<uint8_t>(255 - 30 * Tint) : 0;
    }
  }
}

std::string MjpegClip() {
  VideoSpec s;
  s.Container = "avi";
  s.Codec = "mjpeg";
  s.Frames = 30;
  s.RateNum = 30000;
  s.RateDen = 1001;
  return mediatest::Video(s);
}

// Answers every dialog and counts them.
struct Responder {
  explicit Responder(std::function<bool(const TDialogRequest&, TDialogAnswer&)> f) {
    old = SetDialogResponder([this, f](const TDialogRequest& r, TDialogAnswer& a) {
      ++asked;
      return f(r, a);
    });
  }
  ~Responder() { SetDialogResponder(old); }
  TDialogResponder old;
  int asked = 0;
};

struct Read {
  PAVIFILE f = nullptr;
  PAVISTREAM v = nullptr;
  AVISTREAMINFOW info{};
  std::vector<uint8_t> format;
  explicit Read(const std::string& name) {
    if (AVIFileOpen(&f, name, OF_READ) != AVIERR_OK) return;
    if (AVIFileGetStream(f, &v, streamtypeVIDEO, 0) != AVIERR_OK) return;
    AVIStreamInfo(v, &info, sizeof info);
    int32_t size = 0;
    AVIStreamReadFormat(v, 0, nullptr, &size);
    format.resize(static_cast<size_t>(size));
    AVIStreamReadFormat(v, 0, format.data(), &size);
  }
  ~Read() {
    if (v) AVIStreamRelease(v);
    if (f) AVIFileRelease(f);
  }
  uint16_t Bits() const { return format.size() >= 40 ? static_cast<uint16_t>(format[14] | format[15] << 8) : 0; }
};

}  // namespace

// Frames by number: the count, 30000/1001 giving 33 ms, every frame's pixels, and an index equal
// to the count leaving the image as it was. By name: frame Params.ImageIndex, FileType 15.
TEST(IOAviTest, ReadsFramesByNumber) {
  TZodazUrIO io(nullptr);
  int finished = 0;
  io.OnFinishWork = [&](TObject*) { ++finished; };
  EXPECT_EQ(io.OpenAVIFile(MjpegClip()), 30);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().AviFrameCount, 30);
  EXPECT_EQ(io.Params().AviFrameDelayTime, 33);
  for (int k : {0, 17, 29, 3}) {
    io.LoadFromAVIFrame(k);
    EXPECT_EQ(BitmapNumber(*io.IEBitmap()), k);
  }
  EXPECT_EQ(io.Params().BitsPerSample, 8);
  EXPECT_EQ(io.Params().SamplesPerPixel, 3);
  EXPECT_EQ(io.Params().Width, 64);
  EXPECT_EQ(finished, 4);
  io.LoadFromAVIFrame(30);
  EXPECT_EQ(BitmapNumber(*io.IEBitmap()), 3);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(finished, 5);
  io.CloseAVIFile();
  io.LoadFromAVIFrame(1);
  EXPECT_EQ(BitmapNumber(*io.IEBitmap()), 3);

  // By name, and on an I/O thread into a caller's bitmap.
  io.Params().ImageIndex = 11;
  io.LoadFromFile(MjpegClip());
  EXPECT_EQ(BitmapNumber(*io.IEBitmap()), 11);
  EXPECT_EQ(io.Params().FileType, fmtAVI);
  TIEBitmap target;
  TZodazUrIO async(nullptr);
  async.SetAttachedIEBitmap(&target);
  async.SetAsynchronous(true);
  ASSERT_EQ(async.OpenAVIFile(MjpegClip()), 30);
  async.LoadFromAVIFrame(21);
  async.WaitThreads(false);
  EXPECT_EQ(BitmapNumber(target), 21);
}

// A file with sound alone, a file that is no AVI, a file that does not exist: 0 and Aborting.
TEST(IOAviTest, FilesWithoutFrames) {
  VideoSpec s;
  s.Container = "avi";
  s.Video = false;
  s.Audio = true;
  s.Frames = 5;
  TZodazUrIO io(nullptr);
  EXPECT_EQ(io.OpenAVIFile(mediatest::Video(s)), 0);
  EXPECT_TRUE(io.Aborting());
  s.Container = "mp4";
  s.Video = true;
  s.Audio = false;
  s.Codec = "libx264";
  EXPECT_EQ(io.OpenAVIFile(mediatest::Video(s)), 0);
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(io.OpenAVIFile("/nonexistent/x.avi"), 0);
  EXPECT_TRUE(io.Aborting());
}

// Writing: "msvc" asks nothing and writes compressed 24-bit frames; 8-bit frames (one sample of 8
// bits) carry a palette each; an alpha channel gives 32-bit frames. The target keeps its old
// contents until CloseAVIFile.
TEST(IOAviTest, WritesFrameByFrame) {
  testsupport::ScratchDir dir;
  Responder dialogs([](const TDialogRequest&, TDialogAnswer& a) {
    a.Result = 0;
    return true;
  });
  struct Case {
    const char* codec;
    int bitsPerSample, samplesPerPixel;
    bool alpha;
    uint16_t storedBits;
    FOURCC handler;
  };
  for (const Case c : {Case{"msvc", 8, 3, false, 16, mmioFOURCC('M', 'S', 'V', 'C')},
                       Case{"DIB ", 8, 1, false, 8, comptypeDIB}, Case{"DIB ", 8, 3, false, 24, comptypeDIB},
                       Case{"DIB ", 8, 3, true, 32, comptypeDIB}}) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.storedBits));
    const std::string name = dir.File("out.avi");
    std::ofstream(name, std::ios::binary | std::ios::trunc) << "old";
    TZodazUrIO io(nullptr);
    io.Params().Width = 64;
    io.Params().Height = 48;
    io.Params().BitsPerSample = c.bitsPerSample;
    io.Params().SamplesPerPixel = c.samplesPerPixel;
    ASSERT_EQ(io.CreateAVIFile(name, 10, c.codec), 0);
    EXPECT_FALSE(io.Aborting());
    for (int k = 0; k < 4; ++k) {
      PaintNumber(*io.IEBitmap(), k + 1, k);
      if (c.alpha) io.IEBitmap()->GetAlphaChannel()->Fill(200);
      io.WriteAVIFrame();
      EXPECT_FALSE(io.Aborting()) << k;
    }
    EXPECT_EQ(io.AviFrameIndex(), 4);
    EXPECT_EQ(testsupport::ReadFileBytes(name), std::vector<uint8_t>({'o', 'l', 'd'}));
    io.CloseAVIFile();
    Read r(name);
    ASSERT_NE(r.v, nullptr);
    EXPECT_EQ(AVIStreamLength(r.v), 4);
    EXPECT_EQ(r.info.dwRate, 10u);
    EXPECT_EQ(r.info.dwScale, 1u);
    EXPECT_EQ(r.Bits(), c.storedBits);
    EXPECT_TRUE(c.handler == comptypeDIB || SameFOURCC(r.info.fccHandler, c.handler));
    // A palette for every 8-bit frame after the first.
    EXPECT_EQ(r.info.dwFormatChangeCount, c.storedBits == 8 ? 3u : 0u);
    TZodazUrIO back(nullptr);
    ASSERT_EQ(back.OpenAVIFile(name), 4);
    for (int k : {0, 3, 1}) {
      back.LoadFromAVIFrame(k);
      EXPECT_EQ(BitmapNumber(*back.IEBitmap()), k + 1);
    }
  }
  EXPECT_EQ(dialogs.asked, 0);
}

// The compression options dialog comes before anything is made: a cancel answers 1 with Aborting
// and leaves the old file; an accepted compressor writes with it. An unknown compressor answers 1,
// a rate below 1 answers 3; a compressor refusing the frames sets Aborting at the frame; a file
// that cannot be made raises.
TEST(IOAviTest, CreationOutcomes) {
  testsupport::ScratchDir dir;
  const std::string name = dir.File("clip.avi");
  std::ofstream(name, std::ios::binary) << "old";
  TZodazUrIO io(nullptr);
  io.Params().Width = 64;
  io.Params().Height = 48;
  {
    Responder cancel([](const TDialogRequest&, TDialogAnswer& a) {
      a.Result = 0;
      return true;
    });
    EXPECT_EQ(io.CreateAVIFile(name, 25, ""), 1);
    EXPECT_EQ(cancel.asked, 1);
    EXPECT_TRUE(io.Aborting());
  }
  EXPECT_EQ(testsupport::ReadFileBytes(name), std::vector<uint8_t>({'o', 'l', 'd'}));
  {
    Responder choose([](const TDialogRequest& r, TDialogAnswer& a) {
      EXPECT_EQ(r.Kind, "AVISaveOptions");
      a.Result = 1;
      a.Text = "MJPG Motion JPEG";
      return true;
    });
    ASSERT_EQ(io.CreateAVIFile(name, 25, ""), 0);
    PaintNumber(*io.IEBitmap(), 5);
    io.WriteAVIFrame();
    io.CloseAVIFile();
    Read r(name);
    EXPECT_EQ(FOURCCToString(r.info.fccHandler), "MJPG");
    EXPECT_EQ(AVIStreamLength(r.v), 1);
  }
  const auto files = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
  EXPECT_EQ(io.CreateAVIFile(dir.File("q.avi"), 25, "QQQQ"), 1);
  EXPECT_TRUE(io.Aborting());
  io.CloseAVIFile();
  EXPECT_EQ(io.CreateAVIFile(dir.File("r.avi"), 0, "msvc"), 3);
  EXPECT_TRUE(io.Aborting());
  // Video 1 takes sizes in multiples of 4 only.
  ASSERT_EQ(io.CreateAVIFile(dir.File("odd.avi"), 25, "msvc"), 0);
  io.IEBitmap()->Allocate(62, 48, ie24RGB);
  io.WriteAVIFrame();
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(io.AviFrameIndex(), 0);
  io.CloseAVIFile();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), files);
  EXPECT_EQ(testsupport::ErrorText<EInvalidGraphic>([&] { io.CreateAVIFile("/nonexistent/dir/x.avi", 25, "msvc"); }),
            "unable to create AVI file");
}
