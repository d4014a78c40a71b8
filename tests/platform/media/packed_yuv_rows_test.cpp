// Packed 4:2:2 rows to BGR against libswscale converting the same frames (the converter the
// player uses for every other format, and ffmpeg's): every Y, U, V triple of YUYV in BT.601 video
// range, the other layouts, matrices and full range over a grid; the vector path against the
// scalar one; the frames it declines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/media/packed_yuv_rows.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

// A frame of Width x Height in Format over Bytes (rows 2 Width bytes apart).
AVFrame* WrapFrame(std::vector<uint8_t>& Bytes, AVPixelFormat Format, int Width, int Height) {
  AVFrame* f = av_frame_alloc();
  f->format = Format;
  f->width = Width;
  f->height = Height;
  f->data[0] = Bytes.data();
  f->linesize[0] = 2 * Width;
  return f;
}

// libswscale's bottom-up BGR24 DIB of the frame, set up as the player's converter sets it up.
std::vector<uint8_t> SwscaleDib(const AVFrame* f, int Space, bool Full, int RowLength) {
  SwsContext* sws = sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width, f->height,
                                   AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
  EXPECT_NE(sws, nullptr);
  sws_setColorspaceDetails(sws, sws_getCoefficients(Space), Full ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                           1 << 16, 1 << 16);
  std::vector<uint8_t> dib(static_cast<size_t>(RowLength) * f->height);
  uint8_t* dst[4] = {dib.data() + static_cast<size_t>(f->height - 1) * RowLength, nullptr, nullptr, nullptr};
  const int stride[4] = {-RowLength, 0, 0, 0};
  EXPECT_EQ(sws_scale(sws, f->data, f->linesize, 0, f->height, dst, stride), f->height);
  sws_freeContext(sws);
  return dib;
}

// Largest difference of two DIBs over the pixels of DIB rows From..To - 1 (the row padding left
// out); Differing counts the samples that are not equal.
int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int Width, int RowLength, size_t From,
                  size_t To, int64_t& Differing) {
  int most = 0;
  Differing = 0;
  for (size_t row = From; row < To; ++row)
    for (int i = 0; i < 3 * Width; ++i) {
      const int d = std::abs(a[row * RowLength + i] - b[row * RowLength + i]);
      Differing += d != 0;
      most = std::max(most, d);
    }
  return most;
}

// One row per chroma pair (U, V) of the grid, holding every luma value once: Y0 = 2k, Y1 = 2k + 1;
// then the first row twice more (see AgreesWithLibswscale).
std::vector<uint8_t> SweepFrame(const TPackedYuvLayout& L, int Step, int& Height) {
  std::vector<int> values;
  for (int c = 0; c < 256; c += Step) values.push_back(c);
  if (values.back() != 255) values.push_back(255);
  Height = static_cast<int>(values.size() * values.size()) + 2;
  std::vector<uint8_t> bytes(static_cast<size_t>(Height) * 512);
  std::copy_n(bytes.begin(), 1024, bytes.end() - 1024);
  uint8_t* p = bytes.data();
  for (int u : values)
    for (int v : values)
      for (int k = 0; k < 128; ++k, p += 4) {
        p[L.Y0] = static_cast<uint8_t>(2 * k);
        p[L.Y1] = static_cast<uint8_t>(2 * k + 1);
        p[L.U] = static_cast<uint8_t>(u);
        p[L.V] = static_cast<uint8_t>(v);
      }
  return bytes;
}

}  // namespace

// libswscale's bytes for every sample of every pixel, but for a frame's last two rows, which
// libswscale converts through its portable tables instead of the vector code the rest goes through
// (those round a sample up to 2 apart from it; the rows here are all converted alike). Each case
// sweeps all 256 luma values against a grid of chroma pairs (every pair for YUYV in BT.601 video
// range, which cameras send); the sweep's last two rows repeat its first.
TEST(PackedYuvRowsTest, AgreesWithLibswscale) {
  struct Case {
    const char* name;
    AVPixelFormat format;
    TPackedYuvLayout layout;
    int space;
    bool full;
    int step;
  };
  const Case cases[] = {
      {"YUYV BT.601", AV_PIX_FMT_YUYV422, kLayoutYUYV, SWS_CS_ITU601, false, 1},
      {"UYVY BT.601", AV_PIX_FMT_UYVY422, kLayoutUYVY, SWS_CS_ITU601, false, 7},
      {"YVYU BT.601", AV_PIX_FMT_YVYU422, kLayoutYVYU, SWS_CS_ITU601, false, 7},
      {"YUYV BT.709", AV_PIX_FMT_YUYV422, kLayoutYUYV, SWS_CS_ITU709, false, 5},
      {"YUYV BT.601 full range", AV_PIX_FMT_YUYV422, kLayoutYUYV, SWS_CS_ITU601, true, 5},
      {"UYVY BT.2020 full range", AV_PIX_FMT_UYVY422, kLayoutUYVY, SWS_CS_BT2020, true, 9},
  };
  for (const Case& c : cases) {
    int height = 0;
    std::vector<uint8_t> bytes = SweepFrame(c.layout, c.step, height);
    AVFrame* f = WrapFrame(bytes, c.format, 256, height);
    const int rowLength = 256 * 3 + 4;  // padded past the pixels: the padding is not written
    std::vector<uint8_t> ours(static_cast<size_t>(rowLength) * height, 0);
    ASSERT_TRUE(PackedYuvFrameToDib(f, c.space, c.full, ours.data(), rowLength)) << c.name;
    const std::vector<uint8_t> theirs = SwscaleDib(f, c.space, c.full, rowLength);
    int64_t differing = 0;
    // The DIB is bottom-up: the frame's last two rows are its first two.
    EXPECT_LE(MaxDifference(ours, theirs, 256, rowLength, 2, height, differing), 1) << c.name;
    EXPECT_LE(MaxDifference(ours, theirs, 256, rowLength, 0, 2, differing), 2) << c.name;
    for (int row = 0; row < height; ++row) EXPECT_EQ(ours[static_cast<size_t>(row) * rowLength + 768], 0) << c.name;
    av_frame_free(&f);
  }
}

// The vector path gives the scalar path's bytes at every width (whole blocks of 16 pixels, the
// pairs after them, rows shorter than a block) and layout.
TEST(PackedYuvRowsTest, VectorPathMatchesScalar) {
  std::mt19937 random(7);
  std::vector<uint8_t> src(4 * 1024);
  for (auto& b : src) b = static_cast<uint8_t>(random());
  const TYuvMatrix matrices[] = {YuvMatrixOf(SWS_CS_ITU601, false), YuvMatrixOf(SWS_CS_ITU709, true)};
  for (const TPackedYuvLayout& layout : {kLayoutYUYV, kLayoutUYVY, kLayoutYVYU})
    for (const TYuvMatrix& m : matrices)
      for (int width : {2, 14, 16, 18, 30, 32, 34, 640, 2048}) {
        std::vector<uint8_t> a(3 * width + 8, 0xAB), b(3 * width + 8, 0xAB);
        PackedYuvRowToBgr(src.data(), a.data(), width, layout, m);
        PackedYuvRowToBgrScalar(src.data(), b.data(), width, layout, m);
        EXPECT_EQ(a, b) << "width " << width;
        EXPECT_EQ(a[3 * width], 0xAB) << "written past the row, width " << width;
      }
}

// Rows land bottom-up in the DIB, each from its own source row (a row stride wider than the
// pixels is followed); frames it does not take are left to the converter, nothing written.
TEST(PackedYuvRowsTest, FramesTakenAndDeclined) {
  // 4 x 3 YUYV, rows 12 bytes apart: row r has luma 16 + 100 r and neutral chroma, so its grey
  // level is (8 (Y - 16) 9539) >> 16: 0, 116, 232.
  std::vector<uint8_t> bytes(12 * 3, 0);
  for (int r = 0; r < 3; ++r)
    for (int x = 0; x < 8; ++x) bytes[12 * r + x] = static_cast<uint8_t>(x % 2 ? 128 : 16 + 100 * r);
  AVFrame* f = WrapFrame(bytes, AV_PIX_FMT_YUYV422, 4, 3);
  f->linesize[0] = 12;
  std::vector<uint8_t> dib(16 * 3, 0x55);
  ASSERT_TRUE(PackedYuvFrameToDib(f, SWS_CS_ITU601, false, dib.data(), 16));
  const int grey[3] = {0, 116, 232};
  for (int r = 0; r < 3; ++r) {
    const uint8_t* row = dib.data() + 16 * (2 - r);  // the top row is the DIB's last
    for (int i = 0; i < 12; ++i) EXPECT_EQ(row[i], grey[r]) << "row " << r;
    for (int i = 12; i < 16; ++i) EXPECT_EQ(row[i], 0x55) << "padding of row " << r;
  }

  struct Declined {
    const char* why;
    AVPixelFormat format;
    int width, linesize, rowLength;
  };
  for (const Declined d : {Declined{"odd width", AV_PIX_FMT_YUYV422, 3, 12, 16},
                           Declined{"planar", AV_PIX_FMT_YUV422P, 4, 12, 16},
                           Declined{"short source rows", AV_PIX_FMT_YUYV422, 4, 6, 16},
                           Declined{"short DIB rows", AV_PIX_FMT_UYVY422, 4, 12, 8}}) {
    f->format = d.format;
    f->width = d.width;
    f->linesize[0] = d.linesize;
    std::vector<uint8_t> untouched(16 * 3, 0x55);
    EXPECT_FALSE(PackedYuvFrameToDib(f, SWS_CS_ITU601, false, untouched.data(), d.rowLength)) << d.why;
    EXPECT_EQ(untouched, std::vector<uint8_t>(16 * 3, 0x55)) << d.why;
  }
  av_frame_free(&f);
}
