// The AVI services writing: uncompressed files of every depth with palette changes, sound added
// after the frames, OpenDML parts, every compressor of the list, the compressor manager, AVISaveV and
// the options dialog. Every file is read back by our reader, by libavformat in this process and by
// ffprobe.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/media/avi_compressors.h"
#include "platform/media/avi_file.h"
#include "platform/media/avi_writer.h"
#include "platform/registry/registry.h"
#include "platform/ui/dialogs.h"
#include "tests/platform/media/avi_test_support.h"
#include "tests/support/media_fixtures.h"

using namespace avitest;
using testsupport::VideoSpec;

namespace {

// Rows (bottom-up, 24 bits) of a picture that shows its number in 16 x 16 blocks.
Bytes NumberedRows(int w, int h, int n) {
  const int row = (w * 3 + 3) & ~3;
  Bytes b(static_cast<size_t>(row) * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int bit = (y / 16) * (w / 16) + x / 16;
      const bool white = x / 16 < w / 16 && bit < 31 && ((n >> bit) & 1);
      uint8_t* p = b.data() + static_cast<size_t>(h - 1 - y) * row + 3 * x;
      p[0] = p[1] = p[2] = white ? 255 : 0;
    }
  }
  return b;
}

BITMAPINFOHEADER Header(int w, int h, uint16_t bits, uint32_t colours = 0) {
  BITMAPINFOHEADER bh{};
  bh.biWidth = w;
  bh.biHeight = h;
  bh.biBitCount = bits;
  bh.biSizeImage = static_cast<uint32_t>(((w * bits + 31) / 32 * 4) * h);
  bh.biClrUsed = colours;
  return bh;
}

Bytes FormatOf(const BITMAPINFOHEADER& h, const std::vector<uint32_t>& palette = {}) {
  Bytes f(40);
  std::memcpy(f.data(), &h, 40);
  for (uint32_t c : palette) Put32(f, c);
  return f;
}

AVISTREAMINFOW VideoInfo(uint32_t scale, uint32_t rate, int w, int h, FOURCC handler = 0) {
  AVISTREAMINFOW i{};
  i.fccType = streamtypeVIDEO;
  i.fccHandler = handler;
  i.dwScale = scale;
  i.dwRate = rate;
  i.dwQuality = -1;
  i.rcFrame = TRect{0, 0, w, h};
  return i;
}

int NumberOf(const void* dib) {
  if (!dib) return -2;
  const auto* h = static_cast<const BITMAPINFOHEADER*>(dib);
  const int row = (h->biWidth * 3 + 3) & ~3;
  return testsupport::FrameNumberOf(static_cast<const uint8_t*>(dib) + 40 + 4 * h->biClrUsed, h->biWidth, h->biHeight, row);
}

// The number shown by top-down BGR24 rows (as the libavformat probe gives them).
int TopDownNumber(const Bytes& rows, int w, int h) {
  Bytes flipped(rows.size());
  for (int y = 0; y < h; ++y) std::memcpy(flipped.data() + static_cast<size_t>(h - 1 - y) * w * 3, rows.data() + static_cast<size_t>(y) * w * 3, static_cast<size_t>(w) * 3);
  return testsupport::FrameNumberOf(flipped.data(), w, h, w * 3);
}

}  // namespace

// Uncompressed frames with the header the caller gave (scale 40, rate 1000: 25 frames a second),
// and a sound stream created after the frames were written.
TEST(AviWriterTest, FramesThenSoundCreatedLast) {
  testsupport::ScratchDir dir;
  const std::string name = dir.File("raw.avi");
  {
    File f;
    ASSERT_EQ(AVIFileOpen(&f.p, name, OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    Stream v;
    const AVISTREAMINFOW info = VideoInfo(40, 1000, 64, 48);
    ASSERT_EQ(AVIFileCreateStream(f.p, &v.p, &info), AVIERR_OK);
    const Bytes fmt = FormatOf(Header(64, 48, 24));
    ASSERT_EQ(AVIStreamSetFormat(v.p, 0, fmt.data(), 40), AVIERR_OK);
    for (int k = 0; k < 10; ++k) {
      const Bytes rows = NumberedRows(64, 48, k);
      int32_t samples = 0, bytes = 0;
      ASSERT_EQ(AVIStreamWrite(v.p, k, 1, rows.data(), static_cast<int32_t>(rows.size()), AVIIF_KEYFRAME, &samples, &bytes), AVIERR_OK);
      EXPECT_EQ(samples, 1);
      EXPECT_EQ(bytes, static_cast<int32_t>(rows.size()));
    }
    // Nothing is overwritten.
    const Bytes rows = NumberedRows(64, 48, 0);
    EXPECT_EQ(AVIStreamWrite(v.p, 3, 1, rows.data(), static_cast<int32_t>(rows.size()), 0, nullptr, nullptr), AVIERR_UNSUPPORTED);
    // Until the file is released, the target does not exist.
    EXPECT_FALSE(std::filesystem::exists(name));
    Stream a;
    AVISTREAMINFOW ai{};
    ai.fccType = streamtypeAUDIO;
    ai.dwScale = 2;
    ai.dwRate = 16000;
    ai.dwSampleSize = 2;
    ASSERT_EQ(AVIFileCreateStream(f.p, &a.p, &ai), AVIERR_OK);
    Bytes wf;
    Put16(wf, 1), Put16(wf, 1), Put32(wf, 8000), Put32(wf, 16000), Put16(wf, 2), Put16(wf, 16), Put16(wf, 0);
    ASSERT_EQ(AVIStreamSetFormat(a.p, 0, wf.data(), static_cast<int32_t>(wf.size())), AVIERR_OK);
    std::vector<int16_t> pcm(3200);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(i * 7);
    ASSERT_EQ(AVIStreamWrite(a.p, 0, 1600, pcm.data(), 3200, 0, nullptr, nullptr), AVIERR_OK);
    ASSERT_EQ(AVIStreamWrite(a.p, 1600, 1600, pcm.data() + 1600, 3200, 0, nullptr, nullptr), AVIERR_OK);
    EXPECT_EQ(AVIStreamWrite(a.p, 3200, 1, pcm.data(), 3, 0, nullptr, nullptr), AVIERR_BADSIZE);
  }
  // Ours.
  {
    File f;
    ASSERT_EQ(AVIFileOpen(&f.p, name, OF_READ), AVIERR_OK);
    Stream v, a;
    ASSERT_EQ(AVIFileGetStream(f.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(f.p, &a.p, streamtypeAUDIO, 0), AVIERR_OK);
    AVISTREAMINFOW info;
    AVIStreamInfo(v.p, &info, sizeof info);
    EXPECT_EQ(info.dwScale, 40u);
    EXPECT_EQ(info.dwRate, 1000u);
    EXPECT_EQ(info.dwLength, 10u);
    EXPECT_EQ(info.rcFrame.Right, 64);
    Frames g;
    g.p = AVIStreamGetFrameOpen(v.p, nullptr);
    ASSERT_NE(g.p, nullptr);
    for (int k : {0, 9, 4}) EXPECT_EQ(NumberOf(AVIStreamGetFrame(g.p, k)), k);
    EXPECT_EQ(AVIStreamLength(a.p), 3200);
    std::vector<int16_t> back(10);
    int32_t bytes = 0, read = 0;
    ASSERT_EQ(AVIStreamRead(a.p, 1595, 10, back.data(), 20, &bytes, &read), AVIERR_OK);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(back[i], static_cast<int16_t>((1595 + i) * 7));
  }
  // libavformat and libavcodec.
  const Probe p = ProbeWithLibav(name, true);
  ASSERT_TRUE(p.Opened);
  ASSERT_EQ(p.Streams.size(), 2u);
  EXPECT_EQ(p.Streams[0].Codec, "rawvideo");
  EXPECT_EQ(p.Streams[0].Width, 64);
  EXPECT_EQ(p.Streams[0].Packets, 10);
  ASSERT_EQ(p.Streams[0].Frames.size(), 10u);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(TopDownNumber(p.Streams[0].Frames[k], 64, 48), k);
  EXPECT_EQ(p.Streams[1].Codec, "pcm_s16le");
  // ffprobe.
  auto v = FFprobe(name);
  EXPECT_EQ(v["nb_read_frames"], "10");
  EXPECT_EQ(v["r_frame_rate"], "25/1");
  EXPECT_EQ(v["width"], "64");
}

// Every depth the format has; 8-bit frames with a palette of their own each (palette-change
// chunks); a later format that changes more than the palette is refused.
TEST(AviWriterTest, DepthsAndPaletteChanges) {
  testsupport::ScratchDir dir;
  struct Depth {
    uint16_t bits;
    uint32_t value;  // the pixels' value (an index below 16 bits)
  };
  for (const Depth d : {Depth{1, 1}, Depth{4, 5}, Depth{8, 0}, Depth{16, 0x7C00}, Depth{24, 0x3366CC}, Depth{32, 0x80336699}}) {
    const std::string name = dir.File("depth" + std::to_string(d.bits) + ".avi");
    const int frames = 4;
    auto paletteOf = [&](int k) {
      std::vector<uint32_t> pal(d.bits <= 8 ? (size_t{1} << d.bits) : 0);
      for (size_t i = 0; i < pal.size(); ++i) pal[i] = static_cast<uint32_t>(0x101010 * (i % 8));
      // The colour of the pixels' index changes from frame to frame in 8-bit files.
      if (!pal.empty()) pal[d.value] = d.bits == 8 ? 0x200000u * static_cast<uint32_t>(k + 1) + 0x40 : 0x00C08040u;
      return pal;
    };
    {
      File f;
      ASSERT_EQ(AVIFileOpen(&f.p, name, OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
      Stream v;
      const AVISTREAMINFOW info = VideoInfo(1, 10, 16, 8);
      ASSERT_EQ(AVIFileCreateStream(f.p, &v.p, &info), AVIERR_OK);
      const BITMAPINFOHEADER h = Header(16, 8, d.bits, d.bits <= 8 ? 1u << d.bits : 0);
      const Bytes rows = FlatRows(16, 8, d.bits, d.value);
      for (int k = 0; k < frames; ++k) {
        if (k == 0 || d.bits == 8) {
          const Bytes fmt = FormatOf(h, paletteOf(k));
          ASSERT_EQ(AVIStreamSetFormat(v.p, k, fmt.data(), static_cast<int32_t>(fmt.size())), AVIERR_OK) << d.bits << " " << k;
        }
        ASSERT_EQ(AVIStreamWrite(v.p, k, 1, rows.data(), static_cast<int32_t>(rows.size()), AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_OK);
      }
      const Bytes other = FormatOf(Header(8, 8, d.bits, d.bits <= 8 ? 1u << d.bits : 0), paletteOf(0));
      EXPECT_EQ(AVIStreamSetFormat(v.p, frames, other.data(), static_cast<int32_t>(other.size())), AVIERR_UNSUPPORTED);
    }
    File f;
    ASSERT_EQ(AVIFileOpen(&f.p, name, OF_READ), AVIERR_OK);
    Stream v;
    ASSERT_EQ(AVIFileGetStream(f.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
    Frames g;
    g.p = AVIStreamGetFrameOpen(v.p, nullptr);
    ASSERT_NE(g.p, nullptr);
    const Probe p = ProbeWithLibav(name, true);
    ASSERT_EQ(p.Streams.size(), 1u);
    ASSERT_EQ(p.Streams[0].Frames.size(), static_cast<size_t>(frames)) << d.bits;
    for (int k = 0; k < frames; ++k) {
      const auto* h = static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(g.p, k));
      ASSERT_NE(h, nullptr);
      EXPECT_EQ(h->biBitCount, d.bits);
      // The colour of the first pixel as we and libavcodec see it (blue, green, red).
      uint32_t ours;
      if (d.bits <= 8) {
        const uint32_t c = paletteOf(k)[d.value];
        ours = c & 0xFFFFFF;
        const auto* table = reinterpret_cast<const uint8_t*>(h) + 40;
        EXPECT_EQ(table[4 * d.value] | table[4 * d.value + 1] << 8 | table[4 * d.value + 2] << 16, ours) << d.bits << " " << k;
      } else if (d.bits == 16) {
        ours = 0xFF0000;  // 0x7C00 is full red in 5-5-5
      } else {
        ours = d.value & 0xFFFFFF;
      }
      const Bytes& theirs = p.Streams[0].Frames[k];
      const uint32_t c = theirs[0] | theirs[1] << 8 | theirs[2] << 16;
      EXPECT_NEAR(static_cast<int>(c & 0xFF), static_cast<int>(ours & 0xFF), 8) << d.bits << " frame " << k;
      EXPECT_NEAR(static_cast<int>(c >> 16), static_cast<int>(ours >> 16), 8) << d.bits << " frame " << k;
    }
    EXPECT_EQ(FFprobe(name)["nb_read_frames"], std::to_string(frames));
  }
}

// Past the part limit the file goes on in OpenDML parts; every reader finds every frame.
TEST(AviWriterTest, OpenDmlParts) {
  testsupport::ScratchDir dir;
  const std::string name = dir.File("odml.avi");
  SetAviRiffLimit(64 * 1024);
  {
    File f;
    ASSERT_EQ(AVIFileOpen(&f.p, name, OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    Stream v;
    const AVISTREAMINFOW info = VideoInfo(1, 25, 64, 48);
    ASSERT_EQ(AVIFileCreateStream(f.p, &v.p, &info), AVIERR_OK);
    const Bytes fmt = FormatOf(Header(64, 48, 24));
    ASSERT_EQ(AVIStreamSetFormat(v.p, 0, fmt.data(), 40), AVIERR_OK);
    for (int k = 0; k < 40; ++k) {
      const Bytes rows = NumberedRows(64, 48, k);
      ASSERT_EQ(AVIStreamWrite(v.p, k, 1, rows.data(), static_cast<int32_t>(rows.size()), AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_OK);
    }
  }
  SetAviRiffLimit(int64_t{1} << 30);
  const Bytes bytes = testsupport::ReadFileBytes(name);
  int parts = 0;
  for (size_t i = 0; i + 12 <= bytes.size(); ++i) parts += std::memcmp(bytes.data() + i, "RIFF", 4) == 0 && std::memcmp(bytes.data() + i + 8, "AVIX", 4) == 0;
  EXPECT_GE(parts, 4);
  File f;
  ASSERT_EQ(AVIFileOpen(&f.p, name, OF_READ), AVIERR_OK);
  Stream v;
  ASSERT_EQ(AVIFileGetStream(f.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
  EXPECT_EQ(AVIStreamLength(v.p), 40);
  Frames g;
  g.p = AVIStreamGetFrameOpen(v.p, nullptr);
  for (int k : {0, 39, 20, 7}) EXPECT_EQ(NumberOf(AVIStreamGetFrame(g.p, k)), k);
  const Probe p = ProbeWithLibav(name, true);
  ASSERT_EQ(p.Streams.size(), 1u);
  EXPECT_EQ(p.Streams[0].Packets, 40);
  ASSERT_EQ(p.Streams[0].Frames.size(), 40u);
  EXPECT_EQ(TopDownNumber(p.Streams[0].Frames[33], 64, 48), 33);
  EXPECT_EQ(FFprobe(name)["nb_read_frames"], "40");
}

namespace {

class AviCompressorTest : public ::testing::TestWithParam<size_t> {};

std::string CompressorName(const ::testing::TestParamInfo<size_t>& info) {
  return info.param < AviCompressors().size() ? FOURCCToString(AviCompressors()[info.param].Handler) : "none";
}

}  // namespace

// Every compressor of the list: five numbered frames through a compressed stream, read back by
// number by us and by libavcodec, tagged with its code for ffprobe.
TEST_P(AviCompressorTest, RoundTripsNumberedFrames) {
  ASSERT_LT(GetParam(), AviCompressors().size());
  const TAviCompressor& c = AviCompressors()[GetParam()];
  testsupport::ScratchDir dir;
  const std::string name = dir.File("c.avi");
  {
    File f;
    ASSERT_EQ(AVIFileOpen(&f.p, name, OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    Stream v, z;
    const AVISTREAMINFOW info = VideoInfo(1, 25, 64, 48);
    ASSERT_EQ(AVIFileCreateStream(f.p, &v.p, &info), AVIERR_OK);
    AVICOMPRESSOPTIONS o{};
    o.fccType = streamtypeVIDEO;
    o.fccHandler = c.Handler;
    o.dwQuality = 9000;
    ASSERT_EQ(AVIMakeCompressedStream(&z.p, v.p, &o, nullptr), AVIERR_OK);
    const Bytes fmt = FormatOf(Header(64, 48, 24));
    ASSERT_EQ(AVIStreamSetFormat(z.p, 0, fmt.data(), 40), AVIERR_OK);
    for (int k = 0; k < 5; ++k) {
      const Bytes rows = NumberedRows(64, 48, k + 1);
      ASSERT_EQ(AVIStreamWrite(z.p, k, 1, rows.data(), static_cast<int32_t>(rows.size()), AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_OK);
    }
  }
  auto v = FFprobe(name);
  EXPECT_EQ(v["codec_tag_string"], FOURCCToString(c.Handler));
  EXPECT_EQ(v["nb_read_frames"], "5");
  EXPECT_EQ(v["width"], "64");
  File f;
  ASSERT_EQ(AVIFileOpen(&f.p, name, OF_READ), AVIERR_OK);
  Stream s;
  ASSERT_EQ(AVIFileGetStream(f.p, &s.p, streamtypeVIDEO, 0), AVIERR_OK);
  AVISTREAMINFOW info;
  AVIStreamInfo(s.p, &info, sizeof info);
  EXPECT_TRUE(SameFOURCC(info.fccHandler, c.Handler));
  EXPECT_EQ(AVIStreamLength(s.p), 5);
  Frames g;
  g.p = AVIStreamGetFrameOpen(s.p, nullptr);
  ASSERT_NE(g.p, nullptr);
  for (int k : {0, 1, 2, 3, 4, 2, 0}) EXPECT_EQ(NumberOf(AVIStreamGetFrame(g.p, k)), k + 1) << c.Name << " " << k;
  const Probe p = ProbeWithLibav(name, true);
  ASSERT_EQ(p.Streams.size(), 1u);
  ASSERT_EQ(p.Streams[0].Frames.size(), 5u);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(TopDownNumber(p.Streams[0].Frames[k], 64, 48), k + 1) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(List, AviCompressorTest, ::testing::Range<size_t>(0, AviCompressors().size()), CompressorName);

// The list holds at least the compressors the program names; the compressor manager answers for
// bit counts and sizes as each encoder takes them, and keeps a compressor's configured quality.
TEST(AviCompressorManagerTest, QueriesInfoAndConfiguration) {
  for (const char* code : {"MSVC", "MJPG", "XVID", "H264", "HFYU", "FFV1", "CVID"}) {
    EXPECT_NE(FindAviCompressor(mmioStringToFOURCC(code, 0)), nullptr) << code;
  }
  EXPECT_EQ(mmioStringToFOURCC("msvc", MMIO_TOUPPER), mmioFOURCC('M', 'S', 'V', 'C'));
  EXPECT_EQ(mmioStringToFOURCC("ab", 0), mmioFOURCC('a', 'b', ' ', ' '));
  EXPECT_EQ(FindAviCompressor(mmioStringToFOURCC("msvc", 0)), FindAviCompressor(mmioStringToFOURCC("MSVC", 0)));
  for (const TAviCompressor& c : AviCompressors()) EXPECT_LE(std::strlen(c.Name), 15u) << c.Name;

  struct Query {
    const char* code;
    uint16_t bits;
    int w, h;
    int32_t result;
  };
  for (const Query q : {Query{"MSVC", 24, 64, 48, ICERR_OK}, Query{"MSVC", 16, 64, 48, ICERR_OK},
                        Query{"MSVC", 24, 62, 48, ICERR_BADFORMAT}, Query{"CVID", 24, 64, 46, ICERR_BADFORMAT},
                        Query{"H264", 24, 63, 48, ICERR_BADFORMAT}, Query{"H264", 32, 64, 48, ICERR_OK},
                        Query{"MJPG", 8, 64, 48, ICERR_BADFORMAT}, Query{"MJPG", 24, 63, 47, ICERR_OK},
                        Query{"HFYU", 1, 64, 48, ICERR_BADFORMAT}}) {
    HIC hic = ICOpen(ICTYPE_VIDEO, mmioStringToFOURCC(q.code, 0), ICMODE_QUERY);
    ASSERT_NE(hic, nullptr) << q.code;
    const BITMAPINFOHEADER h = Header(q.w, q.h, q.bits);
    EXPECT_EQ(ICCompressQuery(hic, &h, nullptr), q.result) << q.code << " " << q.bits << " " << q.w << "x" << q.h;
    EXPECT_EQ(ICSendMessage(hic, ICM_COMPRESS_QUERY, reinterpret_cast<intptr_t>(&h), 0), q.result);
    ICClose(hic);
  }
  EXPECT_EQ(ICOpen(ICTYPE_VIDEO, mmioStringToFOURCC("NONE", 0), ICMODE_QUERY), nullptr);
  const BITMAPINFOHEADER odd = Header(62, 48, 24);
  HIC none = ICLocate(ICTYPE_VIDEO, mmioStringToFOURCC("MSVC", 0), &odd, nullptr, ICMODE_COMPRESS);
  EXPECT_EQ(none, nullptr);
  uint32_t listed = 0;
  ICINFO info;
  while (ICInfo(ICTYPE_VIDEO, listed, &info)) {
    HIC hic = ICOpen(info.fccType, info.fccHandler, ICMODE_QUERY);
    ASSERT_NE(hic, nullptr);
    ICINFO full;
    EXPECT_EQ(ICGetInfo(hic, &full, sizeof full), static_cast<int32_t>(sizeof full));
    EXPECT_NE(full.szName[0], 0);
    ICClose(hic);
    ++listed;
  }
  EXPECT_EQ(listed, AviCompressors().size());

  // The configuration dialog keeps a quality per code (in a settings store of the test's own).
  testsupport::ScratchDir dir;
  const std::string savedStore = RegistryFileName();
  SetRegistryFileName(dir.File("registry.txt"));
  HIC mjpg = ICOpen(ICTYPE_VIDEO, mmioStringToFOURCC("MJPG", 0), ICMODE_QUERY);
  EXPECT_EQ(ICSendMessage(mjpg, ICM_CONFIGURE, ICMF_CONFIGURE_QUERY, 0), ICERR_OK);
  std::string asked;
  auto old = SetDialogResponder([&](const TDialogRequest& r, TDialogAnswer& a) {
    asked = r.Kind + ":" + r.Title;
    a.Result = 1;
    a.Text = "4321";
    return true;
  });
  EXPECT_EQ(ICConfigure(mjpg, nullptr), ICERR_OK);
  EXPECT_EQ(asked, "CompressorConfigure:Motion JPEG");
  EXPECT_EQ(AviCompressorStoredQuality(mmioStringToFOURCC("MJPG", 0)), 4321);
  SetDialogResponder([](const TDialogRequest&, TDialogAnswer& a) {
    a.Result = 0;
    return true;
  });
  EXPECT_EQ(ICConfigure(mjpg, nullptr), ICERR_ABORT);
  EXPECT_EQ(AviCompressorStoredQuality(mmioStringToFOURCC("MJPG", 0)), 4321);
  SetDialogResponder(old);
  ICClose(mjpg);
  SetRegistryFileName(savedStore);
  HIC ffv1 = ICOpen(ICTYPE_VIDEO, mmioStringToFOURCC("FFV1", 0), ICMODE_QUERY);
  EXPECT_FALSE(ICQueryConfigure(ffv1));  // lossless: nothing to set
  ICClose(ffv1);
}

// AVISaveV writes video and sound interleaved into a new file, compressing the video with its
// options; its progress climbs to 100; a stop leaves the target as it was and no file behind.
TEST(AviSaveTest, SavesCompressesAndStops) {
  VideoSpec s;
  s.Container = "avi";
  s.Codec = "rawvideo";
  s.Frames = 20;
  s.Audio = true;
  const std::string source = mediatest::Video(s);
  testsupport::ScratchDir dir;
  File in;
  ASSERT_EQ(AVIFileOpen(&in.p, source, OF_READ), AVIERR_OK);
  Stream v, a;
  ASSERT_EQ(AVIFileGetStream(in.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
  ASSERT_EQ(AVIFileGetStream(in.p, &a.p, streamtypeAUDIO, 0), AVIERR_OK);
  Stream edit;
  ASSERT_EQ(CreateEditableStream(&edit.p, a.p), AVIERR_OK);
  AVICOMPRESSOPTIONS mjpg{};
  mjpg.fccType = streamtypeVIDEO;
  mjpg.fccHandler = mmioStringToFOURCC("MJPG", 0);
  mjpg.dwQuality = 9000;
  PAVISTREAM streams[2] = {v.p, edit.p};
  LPAVICOMPRESSOPTIONS options[2] = {&mjpg, nullptr};
  const std::string out = dir.File("out.avi");
  std::vector<int32_t> percents;
  ASSERT_EQ(AVISaveV(out, nullptr, [&](int32_t p) { percents.push_back(p); return AVIERR_OK; }, 2, streams, options), AVIERR_OK);
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
  auto video = FFprobe(out, "v:0");
  EXPECT_EQ(video["codec_tag_string"], "MJPG");
  EXPECT_EQ(video["nb_read_frames"], "20");
  EXPECT_EQ(FFprobe(out, "a:0")["codec_name"], "pcm_s16le");
  {
    File f;
    ASSERT_EQ(AVIFileOpen(&f.p, out, OF_READ), AVIERR_OK);
    Stream ov, oa;
    ASSERT_EQ(AVIFileGetStream(f.p, &ov.p, streamtypeVIDEO, 0), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(f.p, &oa.p, streamtypeAUDIO, 0), AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(oa.p), AVIStreamLength(a.p));
    Frames g;
    g.p = AVIStreamGetFrameOpen(ov.p, nullptr);
    for (int k : {0, 19, 11}) EXPECT_EQ(NumberOf(AVIStreamGetFrame(g.p, k)), k);
  }
  // The compressed file saved again: copied as it is without options, recompressed with them.
  {
    File f;
    ASSERT_EQ(AVIFileOpen(&f.p, out, OF_READ), AVIERR_OK);
    Stream ov;
    ASSERT_EQ(AVIFileGetStream(f.p, &ov.p, streamtypeVIDEO, 0), AVIERR_OK);
    AVICOMPRESSOPTIONS xvid{};
    xvid.fccHandler = mmioStringToFOURCC("XVID", 0);
    xvid.dwQuality = 9000;
    for (LPAVICOMPRESSOPTIONS o : {static_cast<LPAVICOMPRESSOPTIONS>(nullptr), &xvid}) {
      const std::string again = dir.File(o ? "xvid.avi" : "copy.avi");
      ASSERT_EQ(AVISaveV(again, nullptr, nullptr, 1, &ov.p, &o), AVIERR_OK);
      EXPECT_EQ(FFprobe(again)["codec_tag_string"], o ? "XVID" : "MJPG");
      File g;
      ASSERT_EQ(AVIFileOpen(&g.p, again, OF_READ), AVIERR_OK);
      Stream gv;
      ASSERT_EQ(AVIFileGetStream(g.p, &gv.p, streamtypeVIDEO, 0), AVIERR_OK);
      Frames fr;
      fr.p = AVIStreamGetFrameOpen(gv.p, nullptr);
      EXPECT_EQ(NumberOf(AVIStreamGetFrame(fr.p, 13)), 13);
    }
  }
  // A stop half way: AVIERR_USERABORT, the old target untouched, nothing else left in the folder.
  std::ofstream(out, std::ios::binary | std::ios::trunc) << "old contents";
  const auto before = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
  EXPECT_EQ(AVISaveV(out, nullptr, [](int32_t p) { return p >= 50 ? AVIERR_USERABORT : AVIERR_OK; }, 2, streams, options),
            AVIERR_USERABORT);
  EXPECT_EQ(testsupport::ReadFileBytes(out), Bytes({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), before);
  // An unknown compressor.
  AVICOMPRESSOPTIONS bad{};
  bad.fccHandler = mmioStringToFOURCC("QQQQ", 0);
  LPAVICOMPRESSOPTIONS badOptions[1] = {&bad};
  EXPECT_EQ(AVISaveV(dir.File("bad.avi"), nullptr, nullptr, 1, streams, badOptions), AVIERR_NOCOMPRESSOR);
  EXPECT_FALSE(std::filesystem::exists(dir.File("bad.avi")));
}

// The options dialog lists the compressors that take the stream's frames and fills the options
// with the chosen one; a cancel answers false.
TEST(AviSaveTest, OptionsDialog) {
  VideoSpec s;
  s.Container = "avi";
  s.Codec = "rawvideo";
  s.Frames = 2;
  File in;
  ASSERT_EQ(AVIFileOpen(&in.p, mediatest::Video(s), OF_READ), AVIERR_OK);
  Stream v;
  ASSERT_EQ(AVIFileGetStream(in.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
  std::vector<std::string> items;
  auto old = SetDialogResponder([&](const TDialogRequest& r, TDialogAnswer& a) {
    items = r.Items;
    a.Result = 1;
    a.Text = "MJPG Motion JPEG";
    return true;
  });
  AVICOMPRESSOPTIONS o{};
  LPAVICOMPRESSOPTIONS options[1] = {&o};
  EXPECT_TRUE(AVISaveOptions(nullptr, 0, 1, &v.p, options));
  EXPECT_EQ(o.fccHandler, mmioStringToFOURCC("MJPG", 0));
  EXPECT_NE(std::find(items.begin(), items.end(), "MSVC Video 1"), items.end());
  EXPECT_EQ(AVISaveOptionsFree(1, options), AVIERR_OK);
  SetDialogResponder([](const TDialogRequest&, TDialogAnswer& a) {
    a.Result = 0;
    return true;
  });
  EXPECT_FALSE(AVISaveOptions(nullptr, 0, 1, &v.p, options));
  SetDialogResponder(old);
}
