// The PNG writer: files read back by libpng (raw samples, as a viewer shows them) against the source
// bitmap of every pixel format and option the writer chooses from, with and without transparency;
// background, resolution and text chunks; failures; and the source bitmap left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/core/ie_rgb.h"
#include "imaging/io/codecs/codec_entries.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "platform/gdi/graphics.h"
#include "platform/system/streams.h"
#include "tests/support/png_fixture.h"

using testsupport::PngImage;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int32_t W = 23, H = 9;

enum class Content { Colours, Grey, TwoColours, Photo };
enum class Alpha { None, Opaque, Half };

// The colour of a pixel of a few-colour picture (12 colours, an exact palette), a grey one, a two-colour
// one (red and blue) or a many-colour one.
TIERGB ColourAt(Content content, int32_t x, int32_t y) {
  switch (content) {
    case Content::Grey: {
      const auto v = static_cast<uint8_t>((x * 11 + y * 29) & 255);
      return CreateRGB(v, v, v);
    }
    case Content::TwoColours: return (x + y) % 3 ? CreateRGB(200, 0, 0) : CreateRGB(0, 0, 90);
    case Content::Photo: return CreateRGB(static_cast<uint8_t>(x * 11), static_cast<uint8_t>(y * 27), static_cast<uint8_t>(x * y));
    default: {
      const int i = (x / 3 + y * 5) % 12;
      return CreateRGB(static_cast<uint8_t>(i * 20), static_cast<uint8_t>(255 - i * 13), static_cast<uint8_t>((i * 77) & 255));
    }
  }
}

// A W x H source in Format. Grey formats take their own values (16-bit ones with low bytes that
// matter); ie8p takes the colours as a palette; the others are converted from 24 bits.
std::unique_ptr<TIEBitmap> Source(TIEPixelFormat format, Content content, Alpha alpha = Alpha::None) {
  auto b = std::make_unique<TIEBitmap>(W, H, format);
  if (format == ie16g) {
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) b->SetPixel16(x, y, static_cast<uint16_t>(x * 2851 + y * 97 + 3));
  } else if (format == ie8g) {
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) b->SetPixel8(x, y, static_cast<uint8_t>(x * 11 + y * 3));
  } else if (format == ie8p) {
    // Palette entries 0..11 hold the colours, entry 12 an unused one; indices stay below 12.
    for (int32_t i = 0; i < 12; ++i) b->SetPaletteColor(i, ColourAt(content, i * 3, 0));
    b->SetPaletteColor(12, CreateRGB(1, 2, 3));
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) b->SetPixel8(x, y, static_cast<uint8_t>((x / 3) % 12));
  } else {
    TIEBitmap rgb(W, H, ie24RGB);
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) rgb.SetPixel24(x, y, ColourAt(content, x, y));
    if (format == ie24RGB) {
      b->Assign(rgb);
    } else {
      b->CopyAndConvertFormat(rgb);
    }
  }
  if (alpha != Alpha::None) {
    TIEBitmap* a = b->GetAlphaChannel();
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x)
        a->SetPixel8(x, y, alpha == Alpha::Opaque || (x + y) % 3 ? 255 : (x % 2 ? 0 : 128));
    a->SetFull(false);  // the writer must look at the values, not the flag
  }
  return b;
}

// A copy of a bitmap's rows, palette and alpha, to show that a save left it as it was.
struct Snapshot {
  TIEPixelFormat format;
  Bytes rows;
  Bytes alpha;
  explicit Snapshot(TIEBitmap& b) : format(b.PixelFormat()) {
    for (int32_t y = 0; y < b.Height(); ++y) {
      const auto* r = b.Row<uint8_t>(y);
      rows.insert(rows.end(), r, r + b.RowLen());
    }
    if (b.HasAlphaChannel())
      for (int32_t y = 0; y < b.Height(); ++y) {
        const auto* r = b.GetAlphaChannel()->Row<uint8_t>(y);
        alpha.insert(alpha.end(), r, r + b.Width());
      }
  }
  bool operator==(const Snapshot&) const = default;
};

Bytes Write(TIEBitmap& b, TIOParamsVals& p, bool* aborted = nullptr) {
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TMemoryStream out;
  PNGCodecWrite(out, b, p, progress);
  if (aborted) *aborted = aborting;
  const auto* m = static_cast<const uint8_t*>(out.Memory());
  return Bytes(m, m + out.Size());
}

// Our reader's reading of a file with the record's switches; true when it aborted.
bool ReadBack(const Bytes& file, TIOParamsVals& params, TIEBitmap& back, bool paramsOnly = false) {
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TIEMemStream s(file.data(), static_cast<int64_t>(file.size()));
  ReadPngStream(s, back, params, progress, paramsOnly);
  return aborting;
}

// A picture at one bit as the writer makes it: two colours as black (the darker) and white, others
// converted (dithered).
std::unique_ptr<TIEBitmap> OneBit(TIEBitmap& source) {
  auto out = std::make_unique<TIEBitmap>();
  if (source.PixelFormat() == ie1g) {
    out->Assign(source);
    return out;
  }
  TIERGB dark{}, light{};
  if (auto two = TwoColorsTo1Bit(source, dark, light)) return two;
  out->Allocate(source.Width(), source.Height(), ie1g);
  out->CopyAndConvertFormat(source);
  return out;
}

struct Case {
  const char* name;
  TIEPixelFormat format;
  Content content;
  Alpha alpha;
  int32_t samples, bits;
  bool interlaced;
  int colorType, depth;  // expected in the file
  int32_t bitsAfter;     // BitsPerSample in the record afterwards
};

// What the file must show for source pixel (x, y), as 16-bit RGBA: the source's colour as its 24-bit
// conversion gives it, grey levels as the depth holds them, and the transparency the mask asks for.
void ExpectedPixel(const Case& c, TIEBitmap& source, TIEBitmap& rgb, TIEBitmap* oneBit, TIERGB background,
                   int32_t x, int32_t y, uint16_t* o) {
  TIERGB colour = rgb.GetPixel24(x, y);
  if (oneBit) colour = oneBit->GetPixelRGB(x, y);
  uint16_t r = static_cast<uint16_t>(colour.r * 257), g = static_cast<uint16_t>(colour.g * 257),
           b = static_cast<uint16_t>(colour.b * 257);
  if (source.PixelFormat() == ie16g) {
    const uint16_t v = source.GetPixel16(x, y);
    r = g = b = c.depth == 16 ? v : static_cast<uint16_t>((v >> 8) * 257);
  }
  uint16_t a = 65535;
  if (c.alpha == Alpha::Half) {
    const uint8_t m = source.GetAlphaChannel()->GetPixel8(x, y);
    if (c.colorType == 6) {
      a = static_cast<uint16_t>(m * 257);
    } else if (m != 255) {
      // A palette with one transparent entry: the background colour, fully transparent.
      a = 0;
      r = static_cast<uint16_t>(background.r * 257), g = static_cast<uint16_t>(background.g * 257),
      b = static_cast<uint16_t>(background.b * 257);
    }
  }
  o[0] = r, o[1] = g, o[2] = b, o[3] = a;
}

TEST(PngWriter, EveryPixelFormatAndOption) {
  const Case cases[] = {
      {"rgb", ie24RGB, Content::Photo, Alpha::None, 3, 8, false, 2, 8, 8},
      {"rgb interlaced", ie24RGB, Content::Photo, Alpha::None, 3, 8, true, 2, 8, 8},
      {"rgba half", ie24RGB, Content::Photo, Alpha::Half, 3, 8, false, 6, 8, 8},
      {"rgba interlaced", ie24RGB, Content::Photo, Alpha::Half, 3, 8, true, 6, 8, 8},
      {"opaque mask ignored", ie24RGB, Content::Photo, Alpha::Opaque, 3, 8, false, 2, 8, 8},
      {"grey held as 24-bit", ie24RGB, Content::Grey, Alpha::None, 1, 8, false, 0, 8, 8},
      {"grey 24-bit at 16", ie24RGB, Content::Grey, Alpha::None, 1, 16, false, 0, 16, 16},
      {"palette", ie24RGB, Content::Colours, Alpha::None, 1, 8, false, 3, 8, 8},
      {"palette interlaced", ie24RGB, Content::Colours, Alpha::None, 1, 8, true, 3, 8, 8},
      {"4 bits written as 8", ie24RGB, Content::Colours, Alpha::None, 1, 4, false, 3, 8, 8},
      {"2 bits written as 8", ie24RGB, Content::Colours, Alpha::None, 1, 2, false, 3, 8, 8},
      {"palette with transparency", ie24RGB, Content::Colours, Alpha::Half, 1, 8, false, 3, 8, 8},
      {"ie8p", ie8p, Content::Colours, Alpha::None, 1, 8, false, 3, 8, 8},
      {"ie8p with transparency", ie8p, Content::Colours, Alpha::Half, 1, 8, false, 3, 8, 8},
      {"ie8p as rgb", ie8p, Content::Colours, Alpha::None, 3, 8, false, 2, 8, 8},
      {"ie8g", ie8g, Content::Grey, Alpha::None, 1, 8, false, 0, 8, 8},
      {"ie8g at 16", ie8g, Content::Grey, Alpha::None, 1, 16, false, 0, 16, 16},
      {"ie16g keeps its low byte", ie16g, Content::Grey, Alpha::None, 1, 16, false, 0, 16, 16},
      {"ie16g interlaced", ie16g, Content::Grey, Alpha::None, 1, 16, true, 0, 16, 16},
      {"ie16g at 8", ie16g, Content::Grey, Alpha::None, 1, 8, false, 0, 8, 8},
      {"ie1g", ie1g, Content::TwoColours, Alpha::None, 1, 1, false, 0, 1, 1},
      {"ie1g interlaced", ie1g, Content::TwoColours, Alpha::None, 1, 1, true, 0, 1, 1},
      {"ie1g as rgb", ie1g, Content::TwoColours, Alpha::None, 3, 8, false, 2, 8, 8},
      {"ie1g as grey 8", ie1g, Content::TwoColours, Alpha::None, 1, 8, false, 0, 8, 8},
      {"two colours to 1 bit", ie24RGB, Content::TwoColours, Alpha::None, 1, 1, false, 0, 1, 1},
      {"many colours to 1 bit", ie24RGB, Content::Photo, Alpha::None, 1, 1, false, 0, 1, 1},
      {"cmyk", ieCMYK, Content::Photo, Alpha::None, 3, 8, false, 2, 8, 8},
      {"cmyk with alpha", ieCMYK, Content::Photo, Alpha::Half, 3, 8, false, 6, 8, 8},
      {"cmyk palette", ieCMYK, Content::Colours, Alpha::None, 1, 8, false, 3, 8, 8},
      {"rgb48", ieRGB48, Content::Photo, Alpha::None, 3, 8, false, 2, 8, 8},
      {"rgb32", ie32RGB, Content::Photo, Alpha::None, 3, 8, false, 2, 8, 8},
      {"lab", ieCIELab, Content::Colours, Alpha::None, 3, 8, false, 2, 8, 8},
  };
  const TIERGB background = CreateRGB(10, 220, 30);
  // Every case under every row filter: none, Sub and Paeth.
  for (const Case& c : cases)
    for (uint8_t filter : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << c.name << ", filter " << int(filter));
      auto source = Source(c.format, c.content, c.alpha);
      const Snapshot before(*source);
      TIOParamsVals p(nullptr);
      p.SamplesPerPixel = c.samples;
      p.BitsPerSample = c.bits;
      p.PngInterlaced = c.interlaced;
      p.PngBackground = background;
      p.PngFilter = filter;
      bool aborted = true;
      const Bytes file = Write(*source, p, &aborted);
      ASSERT_FALSE(aborted);
      EXPECT_EQ(p.BitsPerSample, c.bitsAfter);
      EXPECT_TRUE(Snapshot(*source) == before) << "the source bitmap changed";

      const PngImage back = testsupport::ReadPngWithLibpng(file);
      EXPECT_EQ(back.colorType, c.colorType);
      EXPECT_EQ(back.bitDepth, c.depth);
      EXPECT_EQ(back.interlaced, c.interlaced);
      EXPECT_EQ(back.trns.empty(), !(c.colorType == 3 && c.alpha == Alpha::Half));
      if (c.colorType == 3 && c.alpha == Alpha::Half) {
        EXPECT_EQ(back.trns, Bytes{0});
        ASSERT_FALSE(back.palette.empty());
        EXPECT_EQ(back.palette[0], (std::array<uint8_t, 3>{10, 220, 30}));
      }

      // The expected pixels: the engine's own conversions of the source.
      TIEBitmap rgb(W, H, ie24RGB);
      if (source->PixelFormat() == ie24RGB)
        rgb.Assign(*source);
      else
        rgb.CopyAndConvertFormat(*source);
      std::unique_ptr<TIEBitmap> oneBit = c.depth == 1 ? OneBit(*source) : nullptr;
      std::vector<uint16_t> expected(static_cast<size_t>(W) * H * 4);
      for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x)
          ExpectedPixel(c, *source, rgb, oneBit.get(), background, x, y, &expected[(static_cast<size_t>(y) * W + x) * 4]);
      const std::vector<uint16_t> shown = testsupport::ExpandToRGBA16(back);
      int wrong = 0;
      for (size_t i = 0; i < expected.size(); i += 4)
        if (!std::equal(expected.begin() + static_cast<long>(i), expected.begin() + static_cast<long>(i) + 4,
                        shown.begin() + static_cast<long>(i)) &&
            ++wrong <= 3)
          ADD_FAILURE() << "pixel " << (i / 4) % W << "," << (i / 4) / W << ": file " << shown[i] << " " << shown[i + 1]
                        << " " << shown[i + 2] << " " << shown[i + 3] << ", expected " << expected[i] << " "
                        << expected[i + 1] << " " << expected[i + 2] << " " << expected[i + 3];
    }
}

TEST(PngWriter, BackgroundAtTheImagesDepth) {
  struct BkgdCase {
    const char* name;
    TIEPixelFormat format;
    Content content;
    Alpha alpha;
    int32_t samples, bits;
    std::array<uint16_t, 3> bkgd;  // as the file holds it
  };
  // Background (R 200, G 100, B 40): grey level (200 x 21 + 100 x 71 + 40 x 8) div 100 = 116.
  const BkgdCase cases[] = {
      {"rgb at 8 bits", ie24RGB, Content::Photo, Alpha::None, 3, 8, {200, 100, 40}},
      {"rgba at 8 bits", ie24RGB, Content::Photo, Alpha::Half, 3, 8, {200, 100, 40}},
      {"grey 8", ie8g, Content::Grey, Alpha::None, 1, 8, {116, 0, 0}},
      {"grey 16", ie16g, Content::Grey, Alpha::None, 1, 16, {116 * 257, 0, 0}},
      {"grey 1", ie1g, Content::TwoColours, Alpha::None, 1, 1, {0, 0, 0}},
      {"palette: the entry nearest", ie8p, Content::Colours, Alpha::None, 1, 8, {0xFFFF, 0, 0}},
      {"palette with transparency: entry 0", ie24RGB, Content::Colours, Alpha::Half, 1, 8, {0, 0, 0}},
  };
  for (const BkgdCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto source = Source(c.format, c.content, c.alpha);
    TIOParamsVals p(nullptr);
    p.SamplesPerPixel = c.samples;
    p.BitsPerSample = c.bits;
    p.PngBackground = CreateRGB(200, 100, 40);
    const PngImage back = testsupport::ReadPngWithLibpng(Write(*source, p));
    ASSERT_TRUE(back.hasBkgd);
    if (c.bkgd[0] == 0xFFFF) {
      // The palette entry the background names is the source palette's nearest to it.
      ASSERT_LT(back.bkgd[0], back.palette.size());
      const auto e = back.palette[back.bkgd[0]];
      const int distance = std::abs(e[0] - 200) + std::abs(e[1] - 100) + std::abs(e[2] - 40);
      for (const auto& other : back.palette)
        EXPECT_LE(distance, std::abs(other[0] - 200) + std::abs(other[1] - 100) + std::abs(other[2] - 40));
    } else {
      EXPECT_EQ(back.bkgd, c.bkgd);
    }
  }
  // A white background on a 1-bit image names white.
  auto b = Source(ie1g, Content::TwoColours);
  TIOParamsVals p(nullptr);
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 1;
  p.PngBackground = CreateRGB(255, 255, 255);
  EXPECT_EQ(testsupport::ReadPngWithLibpng(Write(*b, p)).bkgd[0], 1);
}

TEST(PngWriter, ResolutionAndTexts) {
  auto b = Source(ie24RGB, Content::Photo);
  TIOParamsVals p(nullptr);
  p.SetDpiX(300);
  p.SetDpiY(72);
  p.PngTextKeys = {"Title", "Comment", "", "  \x01", "K\xc3\xa9y", "Extra"};
  p.PngTextValues = {"Caf\xc3\xa9", "\xe6\x97\xa5\xe6\x9c\xac", "no keyword", "blank keyword", "plain"};
  const Bytes file = Write(*b, p);
  const PngImage back = testsupport::ReadPngWithLibpng(file);
  ASSERT_TRUE(back.hasPhys);
  EXPECT_EQ(back.physUnit, 1);
  EXPECT_EQ(back.physX, 11811u);  // 300 / 2.54 x 100 = 11811.02
  EXPECT_EQ(back.physY, 2835u);   // 72 -> 2834.65
  // Pairs as far as the shorter list goes; none without a keyword; Latin-1 as tEXt, the rest as iTXt.
  ASSERT_EQ(back.texts.size(), 3u);
  EXPECT_EQ(back.texts[0].keyword, "Title");
  EXPECT_EQ(back.texts[0].text, "Caf\xe9");
  EXPECT_FALSE(back.texts[0].international);
  EXPECT_EQ(back.texts[1].text, "\xe6\x97\xa5\xe6\x9c\xac");
  EXPECT_TRUE(back.texts[1].international);
  EXPECT_EQ(back.texts[2].keyword, "K\xe9y");
  // And our reader gives the record's texts back.
  TIOParamsVals q(nullptr);
  TIEBitmap read;
  EXPECT_FALSE(ReadBack(file, q, read, true));
  EXPECT_EQ(q.PngTextKeys, (std::vector<std::string>{"Title", "Comment", "K\xc3\xa9y"}));
  EXPECT_EQ(q.PngTextValues, (std::vector<std::string>{"Caf\xc3\xa9", "\xe6\x97\xa5\xe6\x9c\xac", "plain"}));
  EXPECT_EQ(q.DpiX, 300);
  EXPECT_EQ(q.DpiY, 72);
}

TEST(PngWriter, FiltersAndCompressionLevels) {
  auto b = Source(ie24RGB, Content::Colours);
  std::vector<size_t> sizes;
  for (int level : {0, 6, 9})
    for (uint8_t filter : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "level " << level << " filter " << int(filter));
      TIOParamsVals p(nullptr);
      p.PngCompression = level;
      p.PngFilter = filter;
      const Bytes file = Write(*b, p);
      const PngImage back = testsupport::ReadPngWithLibpng(file);
      int wrong = 0;
      for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
          const TIERGB c = ColourAt(Content::Colours, x, y);
          const auto X = static_cast<uint32_t>(x), Y = static_cast<uint32_t>(y);
          wrong += back.Sample(X, Y, 0) != c.r || back.Sample(X, Y, 1) != c.g || back.Sample(X, Y, 2) != c.b;
        }
      EXPECT_EQ(wrong, 0);
      sizes.push_back(file.size());
    }
  // Level 0 stores the rows: larger than a compressed file of these few colours.
  EXPECT_GT(sizes[0], sizes[6] + 200);
}

// The lengths of a file's IDAT chunks, in file order.
std::vector<size_t> IdatLengths(const Bytes& file) {
  std::vector<size_t> lengths;
  for (const auto& c : testsupport::Chunks(file))
    if (c.name == "IDAT") lengths.push_back(c.data.size());
  return lengths;
}

TEST(PngWriter, ImageDataOverSeveralChunks) {
  // Noise deflates to about its own size: a few hundred kilobytes span several IDAT chunks, each of
  // them whole and the stream across them one.
  constexpr int32_t w = 331, h = 293;
  std::mt19937 rng(7);
  for (const TIEPixelFormat format : {ie24RGB, ie16g})
    for (const bool alpha : {false, true})
      for (uint8_t filter : {0, 1, 2}) {
        if (format == ie16g && alpha) continue;
        SCOPED_TRACE(testing::Message() << "format " << int(format) << " alpha " << alpha << " filter " << int(filter));
        TIEBitmap b(w, h, format);
        for (int32_t y = 0; y < h; ++y) {
          auto* row = b.Row<uint8_t>(y);
          for (int32_t i = 0; i < b.RowLen(); ++i) row[i] = static_cast<uint8_t>(rng());
        }
        if (alpha) {
          for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) b.SetAlpha(x, y, static_cast<uint8_t>(rng()));
          b.GetAlphaChannel()->SetFull(false);
        }
        TIOParamsVals p(nullptr);
        p.SamplesPerPixel = format == ie16g ? 1 : 3;
        p.BitsPerSample = format == ie16g ? 16 : 8;
        p.PngFilter = filter;
        p.PngCompression = 1;
        TIEMask mask;
        if (alpha) b.GetAlphaChannel()->CopyToMask(mask);
        bool aborting = false;
        TIEProgressRecord progress;
        progress.Aborting = &aborting;
        TMemoryStream out;
        WritePNGStream(out, b, p, progress, alpha ? &mask : nullptr);
        ASSERT_FALSE(aborting);
        const auto* m = static_cast<const uint8_t*>(out.Memory());
        const Bytes file(m, m + out.Size());
        const std::vector<size_t> idat = IdatLengths(file);
        EXPECT_GE(idat.size(), 2u);
        for (size_t length : idat) EXPECT_LE(length, size_t{1} << 17);
        const PngImage back = testsupport::ReadPngWithLibpng(file);
        ASSERT_EQ(back.width, static_cast<uint32_t>(w));
        int wrong = 0;
        for (int32_t y = 0; y < h && wrong < 3; ++y)
          for (int32_t x = 0; x < w && wrong < 3; ++x) {
            const auto X = static_cast<uint32_t>(x), Y = static_cast<uint32_t>(y);
            if (format == ie16g) {
              wrong += back.Sample(X, Y, 0) != b.GetPixel16(x, y);
              continue;
            }
            const TIERGB c = b.GetPixel24(x, y);
            wrong += back.Sample(X, Y, 0) != c.r || back.Sample(X, Y, 1) != c.g || back.Sample(X, Y, 2) != c.b ||
                     (alpha && back.Sample(X, Y, 3) != b.GetAlpha(x, y));
          }
        EXPECT_EQ(wrong, 0);
      }
}

TEST(PngWriter, ProgressCountsEveryRowOfEveryPass) {
  auto b = Source(ie24RGB, Content::Photo);
  for (bool interlaced : {false, true}) {
    TIOParamsVals p(nullptr);
    p.PngInterlaced = interlaced;
    bool aborting = false;
    std::vector<int32_t> percents;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    progress.OnProgress = [&](TObject*, int32_t v) { percents.push_back(v); };
    TMemoryStream out;
    WritePNGStream(out, *b, p, progress, nullptr);
    EXPECT_EQ(progress.Counter, H * (interlaced ? 7 : 1));
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  }
}

// A stream that takes Room bytes and then no more.
class TFullStream : public TMemoryStream {
 public:
  explicit TFullStream(int64_t room) : room_(room) {}
  int32_t Write(const void* buffer, int32_t count) override {
    const auto n = static_cast<int32_t>(std::min<int64_t>(count, std::max<int64_t>(room_ - Position(), 0)));
    return n > 0 ? TMemoryStream::Write(buffer, n) : 0;
  }

 private:
  int64_t room_;
};

TEST(PngWriter, AShortWriteAbortsAndStopsTheRows) {
  auto b = Source(ie24RGB, Content::Photo);
  for (int64_t room : {0, 10, 60, 400}) {
    SCOPED_TRACE(room);
    TIOParamsVals p(nullptr);
    p.PngCompression = 0;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    TFullStream out(room);
    EXPECT_NO_THROW(WritePNGStream(out, *b, p, progress, nullptr));
    EXPECT_TRUE(aborting);
    EXPECT_LE(out.Size(), room);
  }
}

TEST(PngWriter, WhatPNGCannotHoldRaisesTheWritersError) {
  // A colour picture with one sample of 16 bits asks for a 16-bit palette.
  auto colour = Source(ie24RGB, Content::Colours);
  TIOParamsVals p(nullptr);
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 16;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TMemoryStream out;
  try {
    WritePNGStream(out, *colour, p, progress, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Error on creating PNG");
  }
  TIEBitmap empty;
  TIOParamsVals q(nullptr);
  EXPECT_THROW(WritePNGStream(out, empty, q, progress, nullptr), EInvalidGraphic);
}

TEST(PngWriter, RoundTripsThroughTheReader) {
  struct RoundTrip {
    TIEPixelFormat format;
    Content content;
    Alpha alpha;
    int32_t samples, bits;
    bool native;
  };
  const RoundTrip cases[] = {
      {ie24RGB, Content::Photo, Alpha::None, 3, 8, false}, {ie24RGB, Content::Photo, Alpha::Half, 3, 8, false},
      {ie8g, Content::Grey, Alpha::None, 1, 8, true},      {ie16g, Content::Grey, Alpha::None, 1, 16, true},
      {ie1g, Content::TwoColours, Alpha::None, 1, 1, false}, {ie8p, Content::Colours, Alpha::None, 1, 8, true},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << int(c.format));
    auto source = Source(c.format, c.content, c.alpha);
    TIOParamsVals p(nullptr);
    p.SamplesPerPixel = c.samples;
    p.BitsPerSample = c.bits;
    const Bytes file = Write(*source, p);
    TIOParamsVals q(nullptr);
    q.IsNativePixelFormat = c.native;
    TIEBitmap back;
    ASSERT_FALSE(ReadBack(file, q, back));
    EXPECT_EQ(back.PixelFormat(), c.format);
    EXPECT_EQ(back.HasAlphaChannel(), c.alpha == Alpha::Half);
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) {
        if (c.format == ie16g)
          ASSERT_EQ(back.GetPixel16(x, y), source->GetPixel16(x, y));
        else
          ASSERT_EQ(back.GetPixelRGB(x, y), source->GetPixelRGB(x, y));
        if (c.alpha == Alpha::Half) {
          ASSERT_EQ(back.GetAlpha(x, y), source->GetAlpha(x, y));
        }
      }
  }
}

}  // namespace

namespace {

TEST(PngWriter, PicturesWiderThanAMillionPixelsGoBothWays) {
  // libpng's own default stops at a million pixels a side; PNG allows 2^31 - 1.
  constexpr int32_t wide = 1000003;
  TIEBitmap b(wide, 2, ie8g);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < wide; ++x) b.SetPixel8(x, y, static_cast<uint8_t>((x >> 6) + y * 100));
  TIOParamsVals p(nullptr);
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  bool aborted = true;
  const Bytes file = Write(b, p, &aborted);
  ASSERT_FALSE(aborted);
  TIOParamsVals q(nullptr);
  q.IsNativePixelFormat = true;
  TIEBitmap back;
  ASSERT_FALSE(ReadBack(file, q, back));
  ASSERT_EQ(back.Width(), wide);
  ASSERT_EQ(back.PixelFormat(), ie8g);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x : {0, 1, 65535, 999999, wide - 1}) EXPECT_EQ(back.GetPixel8(x, y), b.GetPixel8(x, y)) << x << "," << y;
}

}  // namespace
