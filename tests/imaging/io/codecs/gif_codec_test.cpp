#include "imaging/io/codecs/gif_codec.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <random>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/gif_code_blocks.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

void U16(Bytes& b, int v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

// Builds GIF files block by block; image data goes through the engine's LZW encoder.
struct GifBuilder {
  Bytes data;
  GifBuilder(int w, int h, const std::vector<TIERGB>& global, uint8_t background = 0, const char* version = "GIF89a") {
    for (int i = 0; i < 6; ++i) data.push_back(static_cast<uint8_t>(version[i]));
    U16(data, w);
    U16(data, h);
    int bits = 0;
    while ((2 << bits) < static_cast<int>(global.size())) ++bits;
    data.push_back(global.empty() ? 0 : static_cast<uint8_t>(0x80 | bits | bits << 4));
    data.push_back(background);
    data.push_back(0);
    Table(global, bits);
  }
  void Table(const std::vector<TIERGB>& t, int bits) {
    if (t.empty()) return;
    for (int i = 0; i < (2 << bits); ++i) {
      const TIERGB c = i < static_cast<int>(t.size()) ? t[i] : TIERGB{0, 0, 0};
      data.insert(data.end(), {c.r, c.g, c.b});
    }
  }
  void GraphicControl(int disposal, int delay, bool transparent, uint8_t index) {
    data.insert(data.end(), {0x21, 0xF9, 4, static_cast<uint8_t>(disposal << 2 | (transparent ? 1 : 0))});
    U16(data, delay);
    data.insert(data.end(), {index, 0});
  }
  void Extension(uint8_t label, const std::vector<std::string>& blocks) {
    data.insert(data.end(), {0x21, label});
    for (const auto& s : blocks) {
      data.push_back(static_cast<uint8_t>(s.size()));
      data.insert(data.end(), s.begin(), s.end());
    }
    data.push_back(0);
  }
  // DataRows: rows the image data holds (fewer than H for a frame whose data ends early).
  void Frame(int x, int y, int w, int h, const Bytes& indices, int bits, bool interlaced = false,
             const std::vector<TIERGB>& local = {}, int dataRows = -1) {
    data.push_back(0x2C);
    U16(data, x);
    U16(data, y);
    U16(data, w);
    U16(data, h);
    int tbits = 0;
    while ((2 << tbits) < static_cast<int>(local.size())) ++tbits;
    data.push_back(static_cast<uint8_t>((local.empty() ? 0 : 0x80 | tbits) | (interlaced ? 0x40 : 0)));
    Table(local, tbits);
    TMemoryStream s;
    GIFLZWEncode(s, dataRows < 0 ? h : dataRows, w, interlaced, indices.data(), bits);
    const auto* p = static_cast<const uint8_t*>(s.Memory());
    data.insert(data.end(), p, p + s.Size());
  }
  // A frame whose image data block (code-size byte, sub-blocks, terminator) is given as it is.
  void RawFrame(int w, int h, const Bytes& block) {
    data.push_back(0x2C);
    U16(data, 0);
    U16(data, 0);
    U16(data, w);
    U16(data, h);
    data.push_back(0);
    data.insert(data.end(), block.begin(), block.end());
  }
  Bytes Done() {
    data.push_back(0x3B);
    return data;
  }
};

Bytes Pattern(int w, int h, int colors) {
  Bytes b(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>((x + 3 * y) % colors);
  return b;
}

using giftest::PackCodes;

const std::vector<TIERGB> kFour = {CreateRGB(255, 0, 0), CreateRGB(0, 255, 0), CreateRGB(0, 0, 255),
                                   CreateRGB(250, 250, 10)};

struct ReadResult {
  bool aborted;
  int32_t frames;
  std::unique_ptr<TIEMask> mask;
};

class GifCodecTest : public testing::Test {
 protected:
  void SetUp() override { InitializeZodazUrIO(); }

  ReadResult Read(const Bytes& file, TIEBitmap& bitmap, TIOParamsVals& params, bool paramsOnly = false) {
    TCustomMemoryStream s(file.data(), static_cast<int64_t>(file.size()));
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    ReadResult r{false, -1, nullptr};
    ReadGIFStream(s, bitmap, r.frames, params, progress, paramsOnly, r.mask, paramsOnly);
    r.aborted = aborting;
    return r;
  }

  Bytes Write(TIEBitmap& bitmap, TIOParamsVals& params, bool* aborted = nullptr) {
    TMemoryStream s;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    WriteGIFStream(s, bitmap, params, progress);
    if (aborted) *aborted = aborting;
    const auto* p = static_cast<const uint8_t*>(s.Memory());
    return Bytes(p, p + s.Size());
  }
};

TEST_F(GifCodecTest, ReadsSeveralFramesOneByOneWithTheirExtensions) {
  GifBuilder g(20, 10, kFour, 2);
  g.Extension(0xFF, {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)});
  g.Extension(0xFE, {"first comment", "second line"});
  g.GraphicControl(2, 10, true, 3);
  g.Frame(0, 0, 20, 10, Pattern(20, 10, 4), 2);
  g.Extension(0x01, {std::string(12, 'p'), "plain text"});
  g.GraphicControl(1, 25, false, 0);
  const std::vector<TIERGB> local = {CreateRGB(1, 2, 3), CreateRGB(4, 5, 6)};
  g.Frame(3, 4, 5, 6, Pattern(5, 6, 2), 2, true, local);
  g.Extension(0xFE, {"after"});
  g.Frame(0, 0, 2, 2, Pattern(2, 2, 4), 2);
  const Bytes file = g.Done();

  for (int index = 0; index < 3; ++index) {
    SCOPED_TRACE(index);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.GifImageIndex = index;
    auto r = Read(file, b, p);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.frames, 3);
    EXPECT_EQ(p.ImageCount, 3);
    EXPECT_EQ(p.GifVersion, "GIF89a");
    EXPECT_EQ(p.GifWinWidth, 20);
    EXPECT_EQ(p.GifWinHeight, 10);
    EXPECT_EQ(p.GifBackground, kFour[2]);
    EXPECT_EQ(p.GifComments, (std::vector<std::string>{"first comment", "second line", "after"}));
    EXPECT_EQ(b.PixelFormat(), ie24RGB);
    if (index == 0) {
      EXPECT_EQ(p.GifDelayTime, 10);
      EXPECT_EQ(p.GifAction, 2);
      EXPECT_TRUE(p.GifFlagTranspColor);
      EXPECT_EQ(p.GifTranspColor, kFour[3]);
      const Bytes pat = Pattern(20, 10, 4);
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(b.GetPixel24(x, y), kFour[pat[y * 20 + x]]) << x << "," << y;
      ASSERT_NE(r.mask, nullptr);
      EXPECT_EQ(r.mask->GetPixel(3, 0), 0);    // index 3 is transparent
      EXPECT_EQ(r.mask->GetPixel(0, 0), 255);
    } else if (index == 1) {
      EXPECT_EQ(p.GifDelayTime, 25);
      EXPECT_EQ(p.GifAction, 1);
      EXPECT_FALSE(p.GifFlagTranspColor);
      EXPECT_TRUE(p.GifInterlaced);
      EXPECT_EQ(p.GifXPos, 3);
      EXPECT_EQ(p.GifYPos, 4);
      EXPECT_EQ(b.Width(), 5);
      EXPECT_EQ(b.Height(), 6);
      EXPECT_EQ(p.ColorMapCount, 2);
      EXPECT_EQ(p.ColorMap()[1], local[1]);
      const Bytes pat = Pattern(5, 6, 2);
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(b.GetPixel24(x, y), local[pat[y * 5 + x]]);
      EXPECT_EQ(r.mask, nullptr);
    } else {
      EXPECT_EQ(p.GifDelayTime, 0);  // no graphic control extension for this frame
      EXPECT_EQ(b.Width(), 2);
    }
  }
}

// Frame k of a longer animation, each frame with its own disposal, delay, rectangle and (for some) a
// local table, interlacing or a transparent index, with comments and other extensions between them:
// read alone, and read from an index of the file made once, it is its own pixels and fields. The
// expected pixels come from the frames' own tables and patterns, not from a read.
TEST_F(GifCodecTest, FrameKOfAnAnimationIsItsOwnWhetherWalkedOrIndexed) {
  struct Spec {
    int x, y, w, h, disposal, delay;
    bool interlaced, transparent;
    std::vector<TIERGB> local;
  };
  const std::vector<TIERGB> localA = {CreateRGB(9, 8, 7), CreateRGB(60, 70, 80)};
  const std::vector<TIERGB> localB = {CreateRGB(1, 1, 1), CreateRGB(2, 3, 4), CreateRGB(5, 6, 7), CreateRGB(250, 0, 9)};
  const std::vector<Spec> specs = {
      {0, 0, 20, 10, 1, 10, false, false, {}},      {3, 2, 7, 5, 2, 20, true, true, localA},
      {0, 0, 20, 10, 3, 0, false, false, localB},   {11, 4, 9, 6, 0, 7, false, true, {}},
      {5, 5, 4, 4, 2, 65535, true, false, {}},      {0, 0, 20, 10, 1, 3, false, false, localA},
  };
  GifBuilder g(20, 10, kFour, 1);
  g.Extension(0xFF, {"NETSCAPE2.0", std::string("\x01\x00\x00", 3)});
  for (size_t k = 0; k < specs.size(); ++k) {
    const Spec& s = specs[k];
    if (k % 2 == 0) g.Extension(0xFE, {"frame " + std::to_string(k)});
    if (k != 4) g.GraphicControl(s.disposal, s.delay, s.transparent, 1);  // frame 4 has none
    const int colors = s.local.empty() ? 4 : static_cast<int>(s.local.size());
    g.Frame(s.x, s.y, s.w, s.h, Pattern(s.w + static_cast<int>(k), s.h, colors), 2, s.interlaced, s.local);
  }
  const Bytes file = g.Done();

  TCustomMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
  TGIFFrameIndex index;
  ASSERT_TRUE(IndexGIFFrames(stream, index));
  EXPECT_EQ(stream.Position(), 0);
  ASSERT_EQ(index.Frames.size(), specs.size());
  const std::vector<std::string> comments = {"frame 0", "frame 2", "frame 4"};
  EXPECT_EQ(index.Comments, comments);

  for (bool indexed : {false, true}) {
    for (size_t k = 0; k < specs.size(); ++k) {
      SCOPED_TRACE(testing::Message() << (indexed ? "indexed" : "walked") << " frame " << k);
      const Spec& s = specs[k];
      TIEBitmap b;
      TIOParamsVals p(nullptr);
      p.GifImageIndex = static_cast<int32_t>(k);
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      std::unique_ptr<TIEMask> mask;
      int32_t frames = -1;
      stream.Seek(0, soBeginning);
      ReadGIFStream(stream, b, frames, p, progress, false, mask, false, indexed ? &index : nullptr);
      ASSERT_FALSE(aborting);
      EXPECT_EQ(frames, 6);
      EXPECT_EQ(p.ImageCount, 6);
      EXPECT_EQ(p.GifComments, comments);
      EXPECT_EQ(p.GifXPos, s.x);
      EXPECT_EQ(p.GifYPos, s.y);
      EXPECT_EQ(p.GifInterlaced, s.interlaced);
      EXPECT_EQ(p.GifAction, k == 4 ? 0 : s.disposal);
      EXPECT_EQ(p.GifDelayTime, k == 4 ? 0 : s.delay);
      EXPECT_EQ(p.GifFlagTranspColor, s.transparent);
      const std::vector<TIERGB>& table = s.local.empty() ? kFour : s.local;
      EXPECT_EQ(p.ColorMapCount, static_cast<int32_t>(table.size()));
      ASSERT_EQ(b.Width(), s.w);
      ASSERT_EQ(b.Height(), s.h);
      const Bytes pat = Pattern(s.w + static_cast<int>(k), s.h, static_cast<int>(table.size()));
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) ASSERT_EQ(b.GetPixel24(x, y), table[pat[y * s.w + x]]) << x << "," << y;
      // Index 1 is the transparent one where the frame asks for it.
      EXPECT_EQ(mask != nullptr, s.transparent);
      if (mask) {
        for (int y = 0; y < s.h; ++y)
          for (int x = 0; x < s.w; ++x) ASSERT_EQ(mask->GetPixel(x, y), pat[y * s.w + x] == 1 ? 0 : 255);
      }
    }
  }

  // An index of other data (another size, another start) is not used: the read walks and is right.
  const Bytes longer = [&] {
    Bytes b(3, 0);
    b.insert(b.end(), file.begin(), file.end());
    return b;
  }();
  TCustomMemoryStream shifted(longer.data(), static_cast<int64_t>(longer.size()));
  shifted.Seek(3, soBeginning);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  p.GifImageIndex = 2;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TIEMask> mask;
  int32_t frames = -1;
  ReadGIFStream(shifted, b, frames, p, progress, false, mask, false, &index);
  ASSERT_FALSE(aborting);
  EXPECT_EQ(frames, 6);
  EXPECT_EQ(b.Width(), 20);
  EXPECT_EQ(b.GetPixel24(0, 0), localB[0]);
  EXPECT_EQ(b.GetPixel24(1, 0), localB[1]);

  // Not a GIF: no index.
  const Bytes junk = {'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
  TCustomMemoryStream junkStream(junk.data(), static_cast<int64_t>(junk.size()));
  EXPECT_FALSE(IndexGIFFrames(junkStream, index));
  EXPECT_TRUE(index.Frames.empty());
}

// A graphic control extension whose first block is cut by the end of the data is stepped over as any
// cut extension is: the bytes after it are not taken for a frame, whichever frame is asked for.
TEST_F(GifCodecTest, NoFrameIsFoundInsideACutGraphicControlBlock) {
  GifBuilder g(4, 4, kFour);
  g.Frame(0, 0, 4, 4, Pattern(4, 4, 4), 2);
  Bytes file = g.data;
  // The block says 64 bytes; what follows (a terminator, then a whole frame and the trailer) is less.
  file.insert(file.end(), {0x21, 0xF9, 64, 0});
  GifBuilder inner(4, 4, kFour);
  inner.Frame(0, 0, 4, 4, Bytes(16, 2), 2);
  const Bytes tail = inner.Done();
  file.insert(file.end(), tail.begin() + 13 + 12, tail.end());
  ASSERT_LT(file.size() - g.data.size() - 3, 64u);
  for (int32_t wanted : {0, 1}) {
    SCOPED_TRACE(wanted);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.GifImageIndex = wanted;
    auto r = Read(file, b, p);
    EXPECT_EQ(r.frames, 1);
    EXPECT_EQ(r.aborted, wanted == 1);
  }
}

TEST_F(GifCodecTest, PixelFormatFollowsTheTableAndNativeFormat) {
  const std::vector<TIERGB> bw = {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
  const std::vector<TIERGB> rw = {CreateRGB(255, 0, 0), CreateRGB(255, 255, 255)};
  const Bytes pat = Pattern(9, 3, 2);
  struct Case { const std::vector<TIERGB>* table; bool native; TIEPixelFormat format; };
  const Case cases[] = {{&bw, false, ie1g}, {&rw, false, ie24RGB}, {&rw, true, ie8p}, {&bw, true, ie1g}};
  for (const Case& c : cases) {
    GifBuilder g(9, 3, *c.table);
    g.Frame(0, 0, 9, 3, pat, 1);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    p.IsNativePixelFormat = c.native;
    ASSERT_FALSE(Read(g.Done(), b, p).aborted);
    EXPECT_EQ(b.PixelFormat(), c.format);
    EXPECT_EQ(p.BitsPerSample, 1);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 9; ++x) ASSERT_EQ(b.GetPixelRGB(x, y), (*c.table)[pat[y * 9 + x]]);
    }
    if (c.format == ie8p) {
      EXPECT_EQ(b.GetPixel8(1, 0), 1);
    }
  }
}

TEST_F(GifCodecTest, AnUnusedTransparentIndexGivesNoMask) {
  GifBuilder g(4, 4, kFour);
  g.GraphicControl(0, 0, true, 3);
  g.Frame(0, 0, 4, 4, Bytes(16, 1), 2);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  auto r = Read(g.Done(), b, p);
  EXPECT_FALSE(r.aborted);
  EXPECT_TRUE(p.GifFlagTranspColor);
  EXPECT_EQ(r.mask, nullptr);
}

TEST_F(GifCodecTest, AFramePastTheLastOneFailsAndLeavesTheBitmap) {
  GifBuilder g(4, 4, kFour);
  g.Frame(0, 0, 4, 4, Pattern(4, 4, 4), 2);
  TIEBitmap b(3, 3, ie8g);
  b.Fill(77);
  TIOParamsVals p(nullptr);
  p.GifImageIndex = 1;
  p.GifXPos = 99;
  auto r = Read(g.Done(), b, p);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.frames, 1);
  EXPECT_EQ(p.ImageCount, 1);
  EXPECT_EQ(p.GifXPos, 99);
  EXPECT_EQ(b.PixelFormat(), ie8g);
  EXPECT_EQ(b.GetPixel8(1, 1), 77);
}

TEST_F(GifCodecTest, IndicesPastTheTableReadAsBlackAndMissingPixelsAsBackground) {
  // A 2-entry table, pixels with index 3; the data covers only part of the frame.
  const std::vector<TIERGB> two = {CreateRGB(10, 20, 30), CreateRGB(200, 100, 50)};
  GifBuilder g(4, 2, two, 1);
  g.GraphicControl(0, 0, true, 7);  // a transparent index past the table too
  Bytes idx = {3, 0, 1, 3};
  g.Frame(0, 0, 4, 2, idx, 2, false, {}, 1);  // 4 pixels for an 8-pixel frame
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  auto r = Read(g.Done(), b, p);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(p.GifTranspColor, CreateRGB(0, 0, 0));
  EXPECT_EQ(b.GetPixel24(0, 0), CreateRGB(0, 0, 0));
  EXPECT_EQ(b.GetPixel24(1, 0), two[0]);
  EXPECT_EQ(b.GetPixel24(2, 0), two[1]);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(b.GetPixel24(x, 1), two[1]) << x;  // background index 1
}

TEST_F(GifCodecTest, NoColourTableGivesAGreyRamp) {
  GifBuilder g(4, 1, {});
  g.Frame(0, 0, 4, 1, Bytes{0, 1, 2, 3}, 2);
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_FALSE(Read(g.Done(), b, p).aborted);
  EXPECT_EQ(b.GetPixel24(0, 0), CreateRGB(0, 0, 0));
  EXPECT_EQ(b.GetPixel24(3, 0), CreateRGB(255, 255, 255));
}

TEST_F(GifCodecTest, ParamsOnlyReadsTheFrameFieldsWithoutPixels) {
  GifBuilder g(8, 8, kFour);
  g.Frame(1, 2, 6, 5, Pattern(6, 5, 4), 2);
  g.Frame(0, 0, 8, 8, Pattern(8, 8, 4), 2);
  TIEBitmap b(2, 2, ie8g);
  TIOParamsVals p(nullptr);
  auto r = Read(g.Done(), b, p, true);
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.frames, 2);
  EXPECT_EQ(p.Width, 6);
  EXPECT_EQ(p.Height, 5);
  EXPECT_EQ(p.BitsPerSample, 2);
  EXPECT_EQ(b.Width(), 2);
}

TEST_F(GifCodecTest, HostileFilesFailCleanly) {
  GifBuilder g(8, 8, kFour);
  g.Frame(0, 0, 8, 8, Pattern(8, 8, 4), 2);
  const Bytes good = g.Done();
  // Files cut anywhere: before the frame's data they fail (there is no frame); from its code-size
  // byte on they load, holding the pattern up to some pixel in row order and the background (index
  // 5, which the pattern never uses) after it, never fewer pixels for a longer file.
  {
    const std::vector<TIERGB> eight = {kFour[0], kFour[1], kFour[2], kFour[3], CreateRGB(1, 1, 1),
                                       CreateRGB(9, 8, 7), CreateRGB(2, 2, 2), CreateRGB(3, 3, 3)};
    GifBuilder e(40, 30, eight, 5);
    const Bytes pattern = Pattern(40, 30, 4);
    e.Frame(0, 0, 40, 30, pattern, 2);
    const Bytes whole = e.Done();
    const size_t dataStart = 13 + 24 + 10;  // header, table, descriptor
    size_t lastKept = 0;
    for (size_t cut = 14; cut <= whole.size(); ++cut) {
      SCOPED_TRACE(cut);
      TIEBitmap b;
      TIOParamsVals p(nullptr);
      auto r = Read(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)), b, p);
      if (cut <= dataStart) {
        EXPECT_TRUE(r.aborted);
        continue;
      }
      ASSERT_FALSE(r.aborted);
      size_t kept = 0;
      while (kept < pattern.size() && b.GetPixel24(int(kept % 40), int(kept / 40)) == eight[pattern[kept]]) ++kept;
      for (size_t i = kept; i < pattern.size(); ++i)
        ASSERT_EQ(b.GetPixel24(int(i % 40), int(i / 40)), eight[5]) << i;
      EXPECT_GE(kept, lastKept);
      lastKept = kept;
    }
    EXPECT_EQ(lastKept, pattern.size());
  }
  std::vector<std::pair<std::string, Bytes>> bad;
  bad.push_back({"not a GIF", Bytes{'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}});
  bad.push_back({"short header", Bytes(good.begin(), good.begin() + 10)});
  bad.push_back({"short table", Bytes(good.begin(), good.begin() + 16)});
  bad.push_back({"header only", Bytes(good.begin(), good.begin() + 25)});
  {
    // A 65535 x 65535 frame declared by a file of a hundred bytes.
    Bytes huge = good;
    const size_t d = 13 + 12 + 1;  // after the header, the table and ","
    huge[d + 4] = huge[d + 5] = huge[d + 6] = huge[d + 7] = 0xFF;
    bad.push_back({"huge frame", huge});
  }
  {
    Bytes codeSize = good;
    codeSize[13 + 12 + 10] = 12;
    bad.push_back({"code size 12", codeSize});
  }
  for (const auto& [name, file] : bad) {
    SCOPED_TRACE(name);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    EXPECT_TRUE(Read(file, b, p).aborted);
  }
}

TEST_F(GifCodecTest, SmallFilesDeclaringHugeFramesAreRefusedBeforeAllocating) {
  // A 60000 x 45000 frame with no pixel data, then a megabyte that is not this frame's data: after
  // the trailer, or as the data of a later frame. Only the frame's own sub-blocks count.
  std::mt19937 rng(5);
  Bytes junk(1 << 20);
  for (auto& v : junk) v = static_cast<uint8_t>(rng());
  Bytes subBlocks;
  for (size_t i = 0; i < junk.size(); i += 255) {
    const size_t n = std::min<size_t>(255, junk.size() - i);
    subBlocks.push_back(static_cast<uint8_t>(n));
    subBlocks.insert(subBlocks.end(), junk.begin() + static_cast<long>(i), junk.begin() + static_cast<long>(i + n));
  }
  subBlocks.push_back(0);
  std::vector<std::pair<std::string, Bytes>> files;
  {
    GifBuilder g(100, 100, kFour);
    g.Frame(0, 0, 60000, 45000, {}, 2, false, {}, 0);
    Bytes f = g.Done();
    f.insert(f.end(), junk.begin(), junk.end());
    files.push_back({"junk after the trailer", f});
  }
  {
    GifBuilder g(100, 100, kFour);
    g.Frame(0, 0, 60000, 45000, {}, 2, false, {}, 0);
    Bytes block{8};
    block.insert(block.end(), subBlocks.begin(), subBlocks.end());
    g.RawFrame(1, 1, block);
    files.push_back({"a later frame's data", g.Done()});
  }
  for (const auto& [name, file] : files) {
    SCOPED_TRACE(name);
    IEImageSizeGateLogForTesting(true);
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    EXPECT_TRUE(Read(file, b, p).aborted);
    const TIEImageSizeGateLog log = IEImageSizeGateLogForTesting(true);
    EXPECT_EQ(log.Refused, 1);
    EXPECT_EQ(log.LargestGrantedPixels, 0);
    EXPECT_TRUE(b.IsEmpty());
  }
}

TEST_F(GifCodecTest, AFrameIsKeptWhenBadCodesFollowItsPixelsOrComeMidData) {
  const std::vector<TIERGB> eight = {kFour[0], kFour[1], kFour[2], kFour[3], CreateRGB(1, 1, 1),
                                     CreateRGB(9, 8, 7), CreateRGB(2, 2, 2), CreateRGB(3, 3, 3)};
  // Code size 2: clear 4, end 5, the first free code 6; codes are 3 bits wide until code 8 is next.
  // Complete: "1", 6 = "11", 7 = "111" (8 is next, so 4 bits), 8 = "1111": ten pixels for a 4 x 2
  // frame, then an undefined code, junk and no end code.
  const Bytes complete = PackCodes(2, {{4, 3}, {1, 3}, {6, 3}, {7, 3}, {8, 4}, {15, 4}, {14, 4}, {13, 4}});
  // Mid-data: 2, 1, 0 (8 is next: 4 bits), 3, then the undefined 15: the first row is decoded.
  const Bytes midData = PackCodes(2, {{4, 3}, {2, 3}, {1, 3}, {0, 3}, {3, 4}, {15, 4}, {1, 4}, {5, 4}});
  for (bool mid : {false, true}) {
    SCOPED_TRACE(mid);
    GifBuilder g(4, 2, eight, 5);
    g.RawFrame(4, 2, mid ? midData : complete);
    g.Frame(0, 0, 1, 1, Bytes{3}, 2);  // the walk goes on after the frame
    TIEBitmap b;
    TIOParamsVals p(nullptr);
    auto r = Read(g.Done(), b, p);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.frames, 2);
    const int want[2][4] = {{2, 1, 0, 3}, {5, 5, 5, 5}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(b.GetPixel24(x, y), eight[mid ? want[y][x] : 1]) << x << "," << y;
  }
  // Data whose very first code is undefined holds no picture: the frame fails.
  GifBuilder g(4, 2, eight, 5);
  g.RawFrame(4, 2, PackCodes(2, {{7, 3}, {1, 3}, {5, 3}}));
  TIEBitmap b;
  TIOParamsVals p(nullptr);
  EXPECT_TRUE(Read(g.Done(), b, p).aborted);
}

TEST_F(GifCodecTest, OneFrameRoundTripsAtEveryDepth) {
  std::mt19937 rng(3);
  for (int bits = 1; bits <= 8; ++bits) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(testing::Message() << bits << " " << interlaced);
      const int colors = 1 << bits;
      TIEBitmap src(23, 11, ie24RGB);
      std::vector<TIERGB> pal(static_cast<size_t>(colors));
      for (int i = 0; i < colors; ++i) pal[i] = CreateRGB(uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 5));
      if (bits == 1) pal = {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
      for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 23; ++x) src.SetPixel24(x, y, pal[rng() % colors]);
      TIOParamsVals p(nullptr);
      p.BitsPerSample = bits;
      p.GifInterlaced = interlaced;
      p.GifComments = {"hello", std::string(300, 'x'), ""};
      bool aborted = true;
      const Bytes file = Write(src, p, &aborted);
      ASSERT_FALSE(aborted);
      TIEBitmap back;
      TIOParamsVals q(nullptr);
      ASSERT_FALSE(Read(file, back, q).aborted);
      EXPECT_EQ(q.BitsPerSample, bits);
      EXPECT_EQ(q.GifInterlaced, interlaced);
      EXPECT_EQ(q.GifComments, (std::vector<std::string>{"hello", std::string(255, 'x'), std::string(45, 'x')}));
      for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 23; ++x) ASSERT_EQ(back.GetPixelRGB(x, y), src.GetPixel24(x, y)) << x << "," << y;
    }
  }
}

TEST_F(GifCodecTest, PaletteImagesKeepTheirIndices) {
  TIEBitmap src(6, 4, ie8p);
  for (int i = 0; i < 256; ++i) src.SetPaletteColor(i, CreateRGB(uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) src.SetPixel8(x, y, static_cast<uint8_t>(x * 40 + y));
  TIOParamsVals p(nullptr);
  const Bytes file = Write(src, p);
  TIEBitmap back;
  TIOParamsVals q(nullptr);
  q.IsNativePixelFormat = true;
  ASSERT_FALSE(Read(file, back, q).aborted);
  ASSERT_EQ(back.PixelFormat(), ie8p);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      ASSERT_EQ(back.GetPixel8(x, y), src.GetPixel8(x, y));
      ASSERT_EQ(back.GetPixelRGB(x, y), src.GetPixelRGB(x, y));
    }
}

TEST_F(GifCodecTest, AlphaReservesTheLastTableEntry) {
  // 8 bits: 255 colours and index 255 for every pixel whose alpha is below 255.
  TIEBitmap src(16, 16, ie8p);
  for (int i = 0; i < 256; ++i) src.SetPaletteColor(i, CreateRGB(uint8_t(i), 0, uint8_t(255 - i)));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) src.SetPixel8(x, y, static_cast<uint8_t>(y * 16 + x));  // index 255 used
  src.SetAlpha(1, 1, 0);
  src.SetAlpha(2, 1, 128);
  TIOParamsVals p(nullptr);
  const Bytes file = Write(src, p);
  EXPECT_EQ(file[10] & 7, 7);  // a 256-entry global table
  TIEBitmap back;
  TIOParamsVals q(nullptr);
  q.IsNativePixelFormat = true;
  auto r = Read(file, back, q);
  ASSERT_FALSE(r.aborted);
  EXPECT_TRUE(q.GifFlagTranspColor);
  ASSERT_NE(r.mask, nullptr);
  int transparent = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool clear = r.mask->GetPixel(x, y) == 0;
      transparent += clear;
      EXPECT_EQ(clear, back.GetPixel8(x, y) == 255) << x << "," << y;
    }
  EXPECT_EQ(transparent, 2);  // the image's own index 255 did not become transparent
}

TEST_F(GifCodecTest, AOneBitImageWithAlphaKeepsWhiteOpaque) {
  TIEBitmap src(8, 2, ie1g);
  src.Fill(0);
  SetRowBit(src.GetRow(0), 3, 1);  // a white pixel
  src.SetAlpha(5, 1, 0);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 1;
  const Bytes file = Write(src, p);
  TIEBitmap back;
  TIOParamsVals q(nullptr);
  auto r = Read(file, back, q);
  ASSERT_FALSE(r.aborted);
  ASSERT_NE(r.mask, nullptr);
  EXPECT_EQ(r.mask->GetPixel(3, 0), 255);
  EXPECT_EQ(back.GetPixelRGB(3, 0), CreateRGB(255, 255, 255));
  EXPECT_EQ(r.mask->GetPixel(5, 1), 0);
  EXPECT_EQ(r.mask->GetPixel(4, 1), 255);
}

TEST_F(GifCodecTest, TwoColourImagesAtOneBitKeepTheirColours) {
  TIEBitmap src(5, 5, ie24RGB);
  src.Fill(0x0000FF);  // red (TColor)
  src.SetPixel24(2, 2, CreateRGB(255, 255, 0));
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 1;
  const Bytes file = Write(src, p);
  TIEBitmap back;
  TIOParamsVals q(nullptr);
  ASSERT_FALSE(Read(file, back, q).aborted);
  EXPECT_EQ(back.GetPixel24(2, 2), CreateRGB(255, 255, 0));
  EXPECT_EQ(back.GetPixel24(0, 0), CreateRGB(255, 0, 0));
}

TEST_F(GifCodecTest, ManyColoursAreQuantized) {
  TIEBitmap src(64, 64, ie24RGB);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) src.SetPixel24(x, y, CreateRGB(uint8_t(x * 4), uint8_t(y * 4), 128));
  TIOParamsVals p(nullptr);
  const Bytes file = Write(src, p);
  TIEBitmap back;
  TIOParamsVals q(nullptr);
  ASSERT_FALSE(Read(file, back, q).aborted);
  int worst = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const TIERGB a = src.GetPixel24(x, y), b = back.GetPixel24(x, y);
      worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    }
  EXPECT_LT(worst, 40);
}

TEST_F(GifCodecTest, DeleteGIFFrameCountsCopiesAndRewritesSafely) {
  testsupport::ScratchDir dir;
  GifBuilder g(4, 4, kFour);
  for (int i = 0; i < 3; ++i) {
    g.GraphicControl(0, 10 * (i + 1), false, 0);
    g.Frame(0, 0, 4, 4, Bytes(16, static_cast<uint8_t>(i)), 2);
  }
  const Bytes file = g.Done();
  const std::string name = dir.File("a.gif");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
  }
  EXPECT_EQ(DeleteGIFFrame(name, -1, false), 3);
  EXPECT_EQ(FileSizeByName(name), static_cast<int64_t>(file.size()));
  EXPECT_EQ(DeleteGIFFrame(name, 1, true), 2);
  TMemoryStream m;
  m.LoadFromFile(name);
  const auto* p = static_cast<const uint8_t*>(m.Memory());
  const Bytes rewritten(p, p + m.Size());
  for (int index = 0; index < 2; ++index) {
    TIEBitmap b;
    TIOParamsVals q(nullptr);
    q.GifImageIndex = index;
    auto r = Read(rewritten, b, q);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.frames, 2);
    EXPECT_EQ(q.GifDelayTime, index == 0 ? 10 : 30);  // the second frame's extension went with it
    EXPECT_EQ(b.GetPixel24(0, 0), kFour[index == 0 ? 0 : 2]);
  }
  // A truncated file is counted but never written back.
  const Bytes cut(rewritten.begin(), rewritten.end() - 8);
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(cut.data(), static_cast<int32_t>(cut.size()));
  }
  EXPECT_EQ(DeleteGIFFrame(name, 0, true), 1);
  EXPECT_EQ(FileSizeByName(name), static_cast<int64_t>(cut.size()));
  // Not a GIF: 0 and nothing written.
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("BM12345678901234", 16);
  }
  EXPECT_EQ(DeleteGIFFrame(name, 0, true), 0);
  EXPECT_EQ(FileSizeByName(name), 16);
}

// Failures are reported like those of the other file operations (0: nothing done), never raised, and
// leave the file as it was. The read-only folder runs as an unprivileged user; the full disk is a
// file-size limit.
TEST_F(GifCodecTest, DeleteGIFFrameReportsFailuresAndLeavesTheFile) {
  testsupport::ScratchDir dir;
  std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
  GifBuilder g(64, 64, kFour);
  for (int i = 0; i < 3; ++i) g.Frame(0, 0, 64, 64, Bytes(64 * 64, static_cast<uint8_t>(i)), 2);
  const Bytes file = g.Done();
  const std::filesystem::path folder = dir.Path() / "f";
  const std::string name = (folder / "a.gif").string();
  struct Case {
    const char* what;
    int folderMode;
    int fileMode;
    int64_t fileSizeLimit;
    bool missing;
  };
  const Case cases[] = {
      {"missing file", 0777, 0666, -1, true},
      {"read-only folder and file", 0555, 0444, -1, false},
      {"full disk", 0777, 0666, static_cast<int64_t>(file.size() / 3), false},  // the copy holds two frames of three
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms(0777));
    if (!c.missing) {
      TFileStream f(name, fmCreate);
      f.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
    }
    ::chmod(name.c_str(), static_cast<mode_t>(c.fileMode));
    std::filesystem::permissions(folder, std::filesystem::perms(c.folderMode));
    const std::string report = testsupport::RunInChild({.Unprivileged = true, .FileSizeLimit = c.fileSizeLimit}, [&] {
      return std::to_string(DeleteGIFFrame(name, 1, true));
    });
    std::filesystem::permissions(folder, std::filesystem::perms(0777));
    EXPECT_EQ(report, "0");
    if (c.missing) {
      EXPECT_TRUE(std::filesystem::is_empty(folder));
    } else {
      TMemoryStream m;
      m.LoadFromFile(name);
      const auto* p = static_cast<const uint8_t*>(m.Memory());
      EXPECT_EQ(Bytes(p, p + m.Size()), file);
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
    }
    std::filesystem::remove_all(folder);
  }
}

TEST_F(GifCodecTest, OtherPixelFormatsAreConvertedFirst) {
  for (TIEPixelFormat f : {ie8g, ie16g, ie32f, ieCMYK, ieRGB48, ieCIELab, ie32RGB}) {
    SCOPED_TRACE(int(f));
    TIEBitmap src(6, 3, f);
    src.Fill(0);
    src.FillRect(3, 0, 5, 2, f == ie32f ? 1.0 : (f == ie16g ? 65535 : 0xFFFFFF));
    TIOParamsVals p(nullptr);
    bool aborted = true;
    const Bytes file = Write(src, p, &aborted);
    ASSERT_FALSE(aborted);
    TIEBitmap back;
    TIOParamsVals q(nullptr);
    ASSERT_FALSE(Read(file, back, q).aborted);
    for (int x : {0, 5}) {
      const TIERGB want = src.GetPixelRGB(x, 2), got = back.GetPixelRGB(x, 2);
      EXPECT_LE(std::abs(want.r - got.r) + std::abs(want.g - got.g) + std::abs(want.b - got.b), 6) << x;
    }
  }
}

TEST_F(GifCodecTest, WriterRefusesWhatGifCannotHold) {
  TIEBitmap empty;
  TIOParamsVals p(nullptr);
  bool aborted = false;
  EXPECT_TRUE(Write(empty, p, &aborted).empty());
  EXPECT_TRUE(aborted);
}

}  // namespace
