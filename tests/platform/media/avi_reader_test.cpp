// The AVI services reading: files made by libavformat, files built byte by byte (palette changes,
// top-down rows, dropped frames, the index kinds, OpenDML parts), WAVE files and hostile files.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "platform/media/avi_file.h"
#include "platform/media/media_settings.h"
#include "tests/platform/media/avi_test_support.h"
#include "tests/support/media_fixtures.h"

using namespace avitest;
using testsupport::VideoSpec;

namespace {

std::string WriteFile(const testsupport::ScratchDir& dir, const std::string& name, const Bytes& b) {
  const std::string file = dir.File(name);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return file;
}

// Frame k of an AVI file's first video stream: its number, read from the DIB's 24-bit rows.
int NumberOf(const void* dib) {
  if (!dib) return -2;
  const auto* h = static_cast<const BITMAPINFOHEADER*>(dib);
  if (h->biBitCount != 24) return -3;
  const int row = (h->biWidth * 3 + 3) & ~3;
  return testsupport::FrameNumberOf(static_cast<const uint8_t*>(dib) + 40, h->biWidth, h->biHeight, row);
}

struct FfmpegCase {
  const char* codec;
  int rateNum, rateDen;
  bool audio;
};

class AviReaderFfmpegTest : public ::testing::TestWithParam<FfmpegCase> {};

}  // namespace

// Files libavformat wrote: the headers as stored, every frame by number (forward, backward, in
// jumps), and the sound's blocks.
TEST_P(AviReaderFfmpegTest, HeadersFramesAndSound) {
  const FfmpegCase c = GetParam();
  VideoSpec s;
  s.Container = "avi";
  s.Codec = c.codec;
  s.Frames = 30;
  s.Gop = 10;
  s.RateNum = c.rateNum;
  s.RateDen = c.rateDen;
  s.Audio = c.audio;
  const std::string name = mediatest::Video(s);
  File f;
  ASSERT_EQ(AVIFileOpen(&f.p, name, OF_READ | OF_SHARE_DENY_WRITE, nullptr), AVIERR_OK);
  Stream v;
  ASSERT_EQ(AVIFileGetStream(f.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
  AVISTREAMINFOW info;
  ASSERT_EQ(AVIStreamInfo(v.p, &info, sizeof info), AVIERR_OK);
  EXPECT_EQ(info.fccType, streamtypeVIDEO);
  EXPECT_EQ(static_cast<int64_t>(info.dwRate) * c.rateDen, static_cast<int64_t>(info.dwScale) * c.rateNum);
  EXPECT_EQ(AVIStreamLength(v.p), 30);
  EXPECT_EQ(info.dwLength, 30u);
  int32_t size = 0;
  ASSERT_EQ(AVIStreamReadFormat(v.p, 0, nullptr, &size), AVIERR_OK);
  ASSERT_GE(size, 40);
  Bytes format(static_cast<size_t>(size));
  ASSERT_EQ(AVIStreamReadFormat(v.p, 0, format.data(), &size), AVIERR_OK);
  BITMAPINFOHEADER h;
  std::memcpy(&h, format.data(), 40);
  EXPECT_EQ(h.biWidth, 64);
  EXPECT_EQ(std::abs(h.biHeight), 48);
  Frames g;
  g.p = AVIStreamGetFrameOpen(v.p, nullptr);
  ASSERT_NE(g.p, nullptr);
  for (int k : {0, 1, 2, 7, 29, 28, 12, 10, 9, 3, 4, 5}) EXPECT_EQ(NumberOf(AVIStreamGetFrame(g.p, k)), k) << c.codec << " " << k;
  EXPECT_EQ(AVIStreamGetFrame(g.p, 30), nullptr);
  EXPECT_EQ(AVIStreamGetFrame(g.p, -1), nullptr);
  Stream a;
  const HRESULT audio = AVIFileGetStream(f.p, &a.p, streamtypeAUDIO, 0);
  if (!c.audio) {
    EXPECT_EQ(audio, AVIERR_NODATA);
    return;
  }
  ASSERT_EQ(audio, AVIERR_OK);
  AVISTREAMINFOW ai;
  ASSERT_EQ(AVIStreamInfo(a.p, &ai, sizeof ai), AVIERR_OK);
  EXPECT_EQ(ai.dwSampleSize, 4u);  // 16-bit stereo blocks
  EXPECT_EQ(ai.dwRate / ai.dwScale, 48000u);
  // 30 frames at the rate: the tone's samples (as the fixture makes them).
  const int64_t samples = int64_t{30} * c.rateDen * 48000 / c.rateNum;
  EXPECT_NEAR(AVIStreamLength(a.p), samples, 1024);
  std::vector<int16_t> pcm(2 * 200);
  int32_t bytes = 0, read = 0;
  ASSERT_EQ(AVIStreamRead(a.p, 1000, 200, pcm.data(), 800, &bytes, &read), AVIERR_OK);
  EXPECT_EQ(read, 200);
  EXPECT_EQ(bytes, 800);
  for (int i = 0; i < 200; i += 37) {
    EXPECT_NEAR(pcm[2 * i], 0.5 * 32767 * std::sin(2 * M_PI * 1000 * (1000 + i) / 48000.0), 2) << i;
  }
  // A buffer too small for one block.
  EXPECT_EQ(AVIStreamRead(a.p, 0, 1, pcm.data(), 3, &bytes, &read), AVIERR_BUFFERTOOSMALL);
}

INSTANTIATE_TEST_SUITE_P(Codecs, AviReaderFfmpegTest,
                         ::testing::Values(FfmpegCase{"rawvideo", 25, 1, true}, FfmpegCase{"ffv1", 25, 1, false},
                                           FfmpegCase{"mjpeg", 30000, 1001, true}, FfmpegCase{"mpeg4", 25, 1, false},
                                           FfmpegCase{"libx264", 25, 1, false}),
                         [](const auto& info) { return std::string(info.param.codec); });

// A WAVE file reads as one audio stream: scale the block, rate the bytes a second, the format
// chunk as stored, samples the blocks of its data. An audio-only AVI has no video stream.
TEST(AviReaderTest, WaveFileAndAudioOnlyAvi) {
  VideoSpec s;
  s.Container = "wav";
  s.Video = false;
  s.Audio = true;
  s.Frames = 25;  // one second
  File f;
  ASSERT_EQ(AVIFileOpen(&f.p, mediatest::Video(s), OF_READ, nullptr), AVIERR_OK);
  Stream a, none;
  ASSERT_EQ(AVIFileGetStream(f.p, &a.p, streamtypeAUDIO, 0), AVIERR_OK);
  EXPECT_EQ(AVIFileGetStream(f.p, &none.p, streamtypeVIDEO, 0), AVIERR_NODATA);
  EXPECT_EQ(none.p, nullptr);
  AVISTREAMINFOW info;
  ASSERT_EQ(AVIStreamInfo(a.p, &info, sizeof info), AVIERR_OK);
  EXPECT_EQ(info.dwScale, 4u);
  EXPECT_EQ(info.dwRate, 192000u);
  EXPECT_EQ(info.dwSampleSize, 4u);
  // One second of 48 kHz in the encoder's blocks of 1024.
  const int32_t length = (48000 + 1023) / 1024 * 1024;
  EXPECT_EQ(AVIStreamLength(a.p), length);
  int32_t size = 0;
  ASSERT_EQ(AVIStreamReadFormat(a.p, 0, nullptr, &size), AVIERR_OK);
  Bytes fmt(static_cast<size_t>(size));
  ASSERT_EQ(AVIStreamReadFormat(a.p, 0, fmt.data(), &size), AVIERR_OK);
  ASSERT_GE(size, 16);
  EXPECT_EQ(fmt[0] | fmt[1] << 8, 1);       // PCM
  EXPECT_EQ(fmt[2] | fmt[3] << 8, 2);       // channels
  EXPECT_EQ(fmt[14] | fmt[15] << 8, 16);    // bits
  // Without a buffer: the sizes.
  int32_t bytes = 0, read = 0;
  ASSERT_EQ(AVIStreamRead(a.p, length - 10, 100, nullptr, 0, &bytes, &read), AVIERR_OK);
  EXPECT_EQ(read, 10);
  EXPECT_EQ(bytes, 40);

  s.Container = "avi";
  File avi;
  ASSERT_EQ(AVIFileOpen(&avi.p, mediatest::Video(s), OF_READ, nullptr), AVIERR_OK);
  Stream v;
  EXPECT_EQ(AVIFileGetStream(avi.p, &v.p, streamtypeVIDEO, 0), AVIERR_NODATA);
  EXPECT_EQ(AVIStreamGetFrameOpen(nullptr, nullptr), nullptr);
}

namespace {

// Frames of 16 x 8 pixels whose every pixel is colour index k (or 24-bit colour k).
RawAvi Numbered(uint16_t bits, int frames) {
  RawAvi a;
  a.Bits = bits;
  if (bits <= 8) {
    for (uint32_t i = 0; i < (1u << bits); ++i) a.Palette.push_back(i * 0x010203u);
  }
  for (int k = 0; k < frames; ++k) a.Frames.push_back(FlatRows(a.Width, a.Height, bits, static_cast<uint32_t>(k % (bits == 1 ? 2 : 256))));
  return a;
}

struct Opened {
  File f;
  Stream v;
  Frames g;
  HRESULT open = AVIERR_OK;
  // The DIB of frame k: its header, table and bits.
  const BITMAPINFOHEADER* Frame(int k) { return static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(g.p, k)); }
};

std::unique_ptr<Opened> Open(const testsupport::ScratchDir& dir, const std::string& name, const RawAvi& a) {
  auto o = std::make_unique<Opened>();
  o->open = AVIFileOpen(&o->f.p, WriteFile(dir, name, a.Build()), OF_READ, nullptr);
  if (o->open == AVIERR_OK && AVIFileGetStream(o->f.p, &o->v.p, streamtypeVIDEO, 0) == AVIERR_OK) {
    o->g.p = AVIStreamGetFrameOpen(o->v.p, nullptr);
  }
  return o;
}

uint8_t PixelIndex(const BITMAPINFOHEADER* h) {
  const auto* bits = reinterpret_cast<const uint8_t*>(h) + 40 + 4 * h->biClrUsed;
  return bits[0];
}

}  // namespace

// Every way an index is written finds the same frames: 'idx1' from the 'movi' tag or from the start
// of the file, no index at all, and OpenDML parts with their 'ix00' indexes.
TEST(AviReaderTest, IndexKinds) {
  testsupport::ScratchDir dir;
  for (RawAvi::Index kind : {RawAvi::Idx1, RawAvi::Idx1Absolute, RawAvi::None, RawAvi::OpenDml}) {
    RawAvi a = Numbered(8, 8);
    a.IndexKind = kind;
    auto o = Open(dir, "index" + std::to_string(kind) + ".avi", a);
    ASSERT_EQ(o->open, AVIERR_OK) << kind;
    ASSERT_NE(o->g.p, nullptr) << kind;
    EXPECT_EQ(AVIStreamLength(o->v.p), 8) << kind;
    for (int k : {0, 7, 3, 4}) {
      const BITMAPINFOHEADER* h = o->Frame(k);
      ASSERT_NE(h, nullptr) << kind << " " << k;
      EXPECT_EQ(h->biBitCount, 8);
      EXPECT_EQ(h->biClrUsed, 256u);
      EXPECT_EQ(PixelIndex(h), k) << kind;
    }
  }
}

// Palette changes take effect at the frame they precede, in the frames and in the format; the
// stored depths (1, 4, 8, 16, 24, 32 bits) come out as stored; a top-down stream comes out
// bottom-up; an empty chunk repeats the frame before.
TEST(AviReaderTest, StoredFramesPalettesAndDroppedFrames) {
  testsupport::ScratchDir dir;
  {
    RawAvi a = Numbered(8, 5);
    Bytes change = {1, 1, 0, 0, 0xAA, 0xBB, 0xCC, 0};  // entry 1 := red AA, green BB, blue CC
    a.PaletteChanges[3] = change;
    for (RawAvi::Index kind : {RawAvi::Idx1, RawAvi::None, RawAvi::OpenDml}) {
      a.IndexKind = kind;
      auto o = Open(dir, "pal.avi", a);
      ASSERT_NE(o->g.p, nullptr);
      AVISTREAMINFOW info;
      AVIStreamInfo(o->v.p, &info, sizeof info);
      EXPECT_EQ(info.dwFormatChangeCount, 1u) << kind;
      for (int k = 0; k < 5; ++k) {
        const BITMAPINFOHEADER* h = o->Frame(k);
        ASSERT_NE(h, nullptr);
        const auto* table = reinterpret_cast<const uint8_t*>(h) + 40;
        const bool changed = k >= 3;
        EXPECT_EQ(table[4], changed ? 0xCC : 0x03) << kind << " frame " << k;
        EXPECT_EQ(table[6], changed ? 0xAA : 0x01) << kind << " frame " << k;
      }
      Bytes fmt(40 + 1024);
      int32_t size = static_cast<int32_t>(fmt.size());
      ASSERT_EQ(AVIStreamReadFormat(o->v.p, 2, fmt.data(), &size), AVIERR_OK);
      EXPECT_EQ(fmt[44], 0x03);
      ASSERT_EQ(AVIStreamReadFormat(o->v.p, 3, fmt.data(), &size), AVIERR_OK);
      EXPECT_EQ(fmt[44], 0xCC);
    }
  }
  struct Depth {
    uint16_t bits;
    uint32_t value;
  };
  for (const Depth d : {Depth{1, 1}, Depth{4, 9}, Depth{8, 200}, Depth{16, 0x7C1F}, Depth{24, 0x102030}, Depth{32, 0xFF405060}}) {
    RawAvi a = Numbered(d.bits, 0);
    a.Frames = {FlatRows(a.Width, a.Height, d.bits, d.value)};
    auto o = Open(dir, "depth.avi", a);
    ASSERT_NE(o->g.p, nullptr) << d.bits;
    const BITMAPINFOHEADER* h = o->Frame(0);
    ASSERT_NE(h, nullptr) << d.bits;
    EXPECT_EQ(h->biBitCount, d.bits);
    const size_t table = d.bits <= 8 ? (size_t{1} << d.bits) : 0;
    EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(h) + 40 + 4 * table, a.Frames[0].data(), a.Frames[0].size()), 0) << d.bits;
  }
  {
    // Top-down 24-bit rows: the first stored row is the top of the picture.
    RawAvi a = Numbered(24, 0);
    a.Height = -8;
    Bytes rows = FlatRows(16, 8, 24, 0);
    for (int x = 0; x < 16; ++x) rows[3 * x] = 0xFF;  // the top row blue
    a.Frames = {rows};
    auto o = Open(dir, "topdown.avi", a);
    const BITMAPINFOHEADER* h = o->Frame(0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->biHeight, 8);
    const auto* bits = reinterpret_cast<const uint8_t*>(h) + 40;
    EXPECT_EQ(bits[7 * 48], 0xFF);  // the last stored row (the top) is blue
    EXPECT_EQ(bits[0], 0);
  }
  {
    RawAvi a = Numbered(8, 5);
    a.Frames[3].clear();  // dropped
    auto o = Open(dir, "dropped.avi", a);
    EXPECT_EQ(AVIStreamLength(o->v.p), 5);
    ASSERT_NE(o->Frame(3), nullptr);
    EXPECT_EQ(PixelIndex(o->Frame(3)), 2);
    EXPECT_EQ(PixelIndex(o->Frame(4)), 4);
  }
}

// Hostile files are refused or read as far as they go; nothing crashes, hangs or allocates what the
// file cannot hold.
TEST(AviReaderTest, HostileFiles) {
  testsupport::ScratchDir dir;
  auto openBytes = [&](const std::string& name, const Bytes& b, HRESULT& r) {
    auto o = std::make_unique<Opened>();
    r = AVIFileOpen(&o->f.p, WriteFile(dir, name, b), OF_READ, nullptr);
    if (r == AVIERR_OK && AVIFileGetStream(o->f.p, &o->v.p, streamtypeVIDEO, 0) == AVIERR_OK) {
      o->g.p = AVIStreamGetFrameOpen(o->v.p, nullptr);
    }
    return o;
  };
  HRESULT r;
  // Not AVI at all.
  openBytes("empty.avi", {}, r);
  EXPECT_EQ(r, AVIERR_BADFORMAT);
  Bytes junk(3000);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 7 + 3);
  openBytes("junk.avi", junk, r);
  EXPECT_EQ(r, AVIERR_BADFORMAT);
  openBytes("midi.avi", List("RIFF", "RMID", Chunk("data", Bytes(8))), r);
  EXPECT_EQ(r, REGDB_E_CLASSNOTREG);
  openBytes("nohdrl.avi", List("RIFF", "AVI ", List("LIST", "movi", {})), r);
  EXPECT_EQ(r, AVIERR_BADFORMAT);

  const RawAvi good = Numbered(24, 6);
  const Bytes file = good.Build();
  // Cut inside 'movi': the frames before the cut are there, the cut one is not (a raw frame must
  // fill its chunk), and the index entries past the end are dropped.
  for (size_t cut : {file.size() - 200, file.size() / 2, size_t{300}}) {
    auto o = openBytes("cut.avi", Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut)), r);
    ASSERT_EQ(r, AVIERR_OK) << cut;
    const int32_t n = AVIStreamLength(o->v.p);
    EXPECT_LE(n, 6);
    for (int k = 0; k < n; ++k) AVIStreamGetFrame(o->g.p, k);
    if (n > 0 && cut > file.size() / 2) {
      EXPECT_NE(AVIStreamGetFrame(o->g.p, 0), nullptr);
    }
  }
  // A header claiming 2^31 frames: the length is what the index holds.
  {
    RawAvi a = good;
    a.Length = int64_t{1} << 31;
    auto o = openBytes("long.avi", a.Build(), r);
    EXPECT_EQ(AVIStreamLength(o->v.p), 6);
  }
  // A lying index: offsets and sizes past the end are left out, the walk finds the frames.
  {
    Bytes b = file;
    const size_t idx = std::search(b.begin(), b.end(), std::begin("idx1"), std::begin("idx1") + 4) - b.begin();
    for (size_t e = idx + 8; e + 16 <= b.size(); e += 16) {
      const uint32_t far = 0x7FFFFFF0u;
      std::memcpy(b.data() + e + 8, &far, 4);
    }
    auto o = openBytes("lying.avi", b, r);
    ASSERT_EQ(r, AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(o->v.p), 6);
    EXPECT_NE(AVIStreamGetFrame(o->g.p, 5), nullptr);
  }
  // Frame sizes no file holds: an uncompressed one of 100 000 x 100 000 and a compressed one past
  // the pixel limit have no frames.
  for (uint32_t compression : {0u, mmioFOURCC('M', 'J', 'P', 'G')}) {
    RawAvi a = good;
    a.Width = a.Height = 100000;
    a.Compression = compression;
    auto o = openBytes("huge.avi", a.Build(), r);
    ASSERT_EQ(r, AVIERR_OK);
    EXPECT_EQ(o->g.p, nullptr) << compression;
  }
  // A palette change beyond the palette, one shorter than it says, rate and scale 0.
  {
    RawAvi a = Numbered(8, 3);
    a.Palette.resize(16);
    a.PaletteChanges[1] = {250, 20, 0, 0, 1, 2, 3, 0};
    a.PaletteChanges[2] = {0, 0, 0, 0, 9, 9, 9, 0};
    a.Scale = a.Rate = 0;
    auto o = openBytes("badpal.avi", a.Build(), r);
    ASSERT_NE(o->g.p, nullptr);
    for (int k = 0; k < 3; ++k) EXPECT_NE(AVIStreamGetFrame(o->g.p, k), nullptr);
    AVISTREAMINFOW info;
    AVIStreamInfo(o->v.p, &info, sizeof info);
    EXPECT_EQ(info.dwRate, 0u);
  }
  // A chunk size past the end of the file, and a list size past it.
  {
    Bytes b = file;
    const size_t at = std::search(b.begin(), b.end(), std::begin("00db"), std::begin("00db") + 4) - b.begin();
    const uint32_t huge = 0xFFFFFF00u;
    std::memcpy(b.data() + at + 4, &huge, 4);
    auto o = openBytes("bigchunk.avi", b, r);
    EXPECT_EQ(r, AVIERR_OK);
  }
  // A WAVE file whose data chunk says more than the file holds keeps what is there; one without
  // a format is no WAVE file.
  {
    Bytes fmt;
    Put16(fmt, 1);
    Put16(fmt, 1);
    Put32(fmt, 8000);
    Put32(fmt, 16000);
    Put16(fmt, 2);
    Put16(fmt, 16);
    Bytes wav = Chunk("fmt ", fmt);
    Append(wav, Chunk("data", Bytes(1000, 1), 1 << 30));
    File f;
    ASSERT_EQ(AVIFileOpen(&f.p, WriteFile(dir, "big.wav", List("RIFF", "WAVE", wav)), OF_READ, nullptr), AVIERR_OK);
    Stream a;
    ASSERT_EQ(AVIFileGetStream(f.p, &a.p, streamtypeAUDIO, 0), AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(a.p), 500);
    File g;
    EXPECT_EQ(AVIFileOpen(&g.p, WriteFile(dir, "nofmt.wav", List("RIFF", "WAVE", Chunk("data", Bytes(10)))), OF_READ),
              AVIERR_BADFORMAT);
  }
  EXPECT_EQ(AVIFileOpen(nullptr, "x", OF_READ), AVIERR_BADPARAM);
  File missing;
  EXPECT_EQ(AVIFileOpen(&missing.p, dir.File("missing.avi"), OF_READ), AVIERR_FILEOPEN);
}
