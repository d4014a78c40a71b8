// The PNG picture class: the chunk list on load and save, transparency, gamma, pixel access,
// resizing, copying, drawing, bitmaps, the clipboard and the picture registry.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "imaging/core/ie_image_size_gate.h"
#include "pictures/png_ancillary.h"
#include "pictures/png_header.h"
#include "pictures/png_image_data.h"
#include "pictures/png_picture.h"
#include "platform/gdi/picture.h"
#include "platform/ui/clipboard.h"
#include "tests/pictures/png_test_support.h"
#include "tests/support/png_fixture.h"
#include "tests/support/test_support.h"

using pngtest::Deflate;
using pngtest::PngFile;
using testsupport::PngImage;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int b : v) out.push_back(static_cast<uint8_t>(b));
  return out;
}

// A w x h picture of a type and depth whose rows (filter 0) are given, plus extra chunks before IDAT.
std::vector<uint8_t> File(uint32_t w, uint32_t h, uint8_t depth, uint8_t type, const std::vector<std::vector<uint8_t>>& rows,
                          const std::vector<std::pair<std::string, std::vector<uint8_t>>>& before = {}) {
  PngFile f;
  f.IHDR(w, h, depth, type);
  for (const auto& [name, data] : before) f.Chunk(name, data);
  return f.Chunk("IDAT", Deflate(pngtest::Unfiltered(rows))).IEND().Bytes();
}

std::vector<std::string> ChunkNames(const TPNGObject& png) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < png.ChunkList().Count(); ++i) names.push_back(png.ChunkList().Item(i)->GetName());
  return names;
}

TColor Grey(uint8_t v) { return static_cast<TColor>(RGB(v, v, v)); }

// A 24-bit bitmap filled with one colour.
std::unique_ptr<TBitmap> Background(int w, int h, TColor color) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  return b;
}

uint8_t Blend(int a, int s, int b) { return static_cast<uint8_t>((a * s + (255 - a) * b + 255) / 256); }

}  // namespace

TEST(PngPicture, FirstChunkMustBeTheHeader) {
  const auto file = PngFile().Chunk("gAMA", Bytes({0, 0, 0xB1, 0x8F})).IHDR(1, 1, 8, 0).IEND().Bytes();
  TPNGObject png;
  EXPECT_EQ(pngtest::Raised([&] { pngtest::Load(png, file); }),
            (std::pair<std::string, std::string>{"EPNGIHDRNotFirst", pngtext::kIHDRNotFirst}));
}

TEST(PngPicture, UnknownAncillaryChunkIsWrittenBackUnchangedAndCHRMDisappears) {
  const std::vector<uint8_t> privateData = Bytes({1, 2, 3, 0, 255, 9});
  const auto file = File(2, 1, 8, ctGrayscale, {{10, 20}},
                         {{"cHRM", std::vector<uint8_t>(32, 7)}, {"prVt", privateData}});
  auto png = pngtest::Loaded(file);
  EXPECT_EQ(ChunkNames(*png), (std::vector<std::string>{"IHDR", "prVt", "IDAT", "IEND"}));
  const auto chunks = pngtest::Chunks(pngtest::Saved(*png));
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[1].name, "prVt");
  EXPECT_EQ(chunks[1].data, privateData);
  // And the file is valid for an independent reader.
  EXPECT_NO_THROW(testsupport::ReadPngWithLibpng(pngtest::Saved(*png)));
}

TEST(PngPicture, CopiesTakeEveryChunkAndAtLeast65535AsIdatChunkSize) {
  auto png = pngtest::Loaded(File(3, 2, 8, ctRGB, {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}},
                                  {{"gAMA", Bytes({0, 0, 0xB1, 0x8F})}, {"tEXt", Bytes({'K', 0, 'v'})}}));
  png->SetDeflateLevel(9);
  png->SetRowFilters({prfPaeth});
  for (uint32_t size : {1000u, 100000u}) {
    png->SetIdatChunkSize(size);
    TPNGObject copy;
    copy.Assign(png.get());
    EXPECT_EQ(copy.IdatChunkSize(), std::max(size, 65535u));
    EXPECT_EQ(copy.DeflateLevel(), 9);
    EXPECT_EQ(copy.RowFilters(), TPNGRowFilters{prfPaeth});
    EXPECT_EQ(ChunkNames(copy), ChunkNames(*png));
    // The copy saves what the original saves (its gamma tables came along).
    copy.SetIdatChunkSize(png->IdatChunkSize());
    EXPECT_EQ(pngtest::Saved(copy), pngtest::Saved(*png));
  }
  // A chunk takes only a chunk of its own class.
  TChunkgAMA gama(png.get());
  EXPECT_EQ(pngtest::Raised([&] { gama.Assign(png->ChunkList().Item(0)); }),
            (std::pair<std::string, std::string>{"EPngError", pngtext::kChunksNotCompatible}));
}

TEST(PngPicture, GammaTablesFromTheGammaChunk) {
  // A file gamma of 1.0 (100000), corrected for the display's 2.2.
  const uint32_t g = 100000;
  auto png = pngtest::Loaded(File(1, 1, 8, ctRGB, {{128, 0, 255}}, {{"gAMA", Bytes({0, 1, 0x86, 0xA0})}}));
  // Round(255 (i / 255) ^ (1 / (g / 100000 x 2.2))), half to even.
  const double exponent = 1.0 / (g / 100000.0 * 2.2);
  uint8_t inverse[256];
  for (int i = 0; i < 256; ++i) inverse[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(std::nearbyint(255.0 * std::pow(i / 255.0, exponent)));
    EXPECT_EQ(png->GammaTable()[i], v) << i;
    inverse[v] = static_cast<uint8_t>(i);
  }
  EXPECT_EQ(std::vector<uint8_t>(png->InverseGamma(), png->InverseGamma() + 256), std::vector<uint8_t>(inverse, inverse + 256));
  // By hand: 255 x (128 / 255) ^ (1 / 2.2) = 255 x 0.73105 = 186.4.
  EXPECT_EQ(png->GammaTable()[128], 186);
  EXPECT_EQ(png->PixelAt(0, 0), static_cast<TColor>(RGB(186, 0, 255)));
  // Saved back through the inverse table.
  EXPECT_EQ(testsupport::ReadPngWithLibpng(pngtest::Saved(*png)).rows, Bytes({128, 0, 255}));
  // No gAMA, or a gamma of 0: the identity.
  for (const auto& file : {File(1, 1, 8, ctRGB, {{0, 0, 0}}), File(1, 1, 8, ctRGB, {{0, 0, 0}}, {{"gAMA", Bytes({0, 0, 0, 0})}})}) {
    auto plain = pngtest::Loaded(file);
    EXPECT_TRUE(plain->GammaIsIdentity());
  }
}

TEST(PngPicture, TransparencyKindAndColourPerType) {
  const std::vector<std::vector<uint8_t>> row8 = {{1, 2, 3}};
  const auto plte = std::make_pair(std::string("PLTE"), Bytes({10, 20, 30, 40, 50, 60, 70, 80, 90}));
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int kind;
    TColor colour;
  } cases[] = {
      {"grey, no tRNS", File(3, 1, 8, ctGrayscale, row8), 0, 0},
      {"grey 8", File(3, 1, 8, ctGrayscale, row8, {{"tRNS", Bytes({0, 64})}}), 1, Grey(64)},
      {"grey 2: sample 2 shows 170", File(2, 1, 2, ctGrayscale, {{0x90}}, {{"tRNS", Bytes({0, 2})}}), 1, Grey(170)},
      {"grey 16: the high byte", File(1, 1, 16, ctGrayscale, {{0x12, 0x34}}, {{"tRNS", Bytes({0x12, 0x34})}}), 1, Grey(0x12)},
      {"grey 4: out of range, never past the table", File(2, 1, 4, ctGrayscale, {{0x12}}, {{"tRNS", Bytes({0, 0xFF})}}), 1, Grey(255)},
      {"RGB 8", File(1, 1, 8, ctRGB, {{1, 2, 3}}, {{"tRNS", Bytes({0, 1, 0, 2, 0, 3})}}), 1, static_cast<TColor>(RGB(1, 2, 3))},
      {"RGB 16: the high bytes", File(1, 1, 16, ctRGB, {{0, 0, 0, 0, 0, 0}}, {{"tRNS", Bytes({0x10, 0x11, 0x20, 0x22, 0x30, 0x33})}}),
       1, static_cast<TColor>(RGB(0x10, 0x20, 0x30))},
      {"palette, no tRNS", File(3, 1, 8, ctPalette, {{0, 1, 2}}, {plte}), 0, 0},
      {"palette, one clear entry", File(3, 1, 8, ctPalette, {{0, 1, 2}}, {plte, {"tRNS", Bytes({255, 0})}}), 1,
       static_cast<TColor>(RGB(40, 50, 60))},
      {"palette, one partial entry", File(3, 1, 8, ctPalette, {{0, 1, 2}}, {plte, {"tRNS", Bytes({255, 128})}}), 2, 0},
      {"palette, two clear entries", File(3, 1, 8, ctPalette, {{0, 1, 2}}, {plte, {"tRNS", Bytes({0, 0})}}), 2,
       static_cast<TColor>(RGB(10, 20, 30))},
      {"grey with alpha", File(1, 1, 8, ctGrayscaleAlpha, {{5, 6}}), 2, 0},
      {"RGBA", File(1, 1, 8, ctRGBAlpha, {{5, 6, 7, 8}}), 2, 0},
  };
  for (const Case& c : cases) {
    auto png = pngtest::Loaded(c.file);
    EXPECT_EQ(png->TransparencyKind(), c.kind) << c.what;
    EXPECT_EQ(png->TransparentColour(), c.colour) << c.what;
    EXPECT_EQ(png->Transparent(), c.kind != 0) << c.what;
  }
}

TEST(PngPicture, TwoBitGreyKeepsItsTransparentGreyThroughASave) {
  // Samples 0 1 2 3, grey 2 transparent: written at depth 4 with the tRNS grey as stored (5 x 2).
  auto png = pngtest::Loaded(File(4, 1, 2, ctGrayscale, {{0x1B}}, {{"tRNS", Bytes({0, 2})}}));
  const std::vector<uint8_t> saved = pngtest::Saved(*png);
  const PngImage back = testsupport::ReadPngWithLibpng(saved);
  EXPECT_EQ(back.bitDepth, 4);
  EXPECT_EQ(back.trns, Bytes({0, 10}));
  auto again = pngtest::Loaded(saved);
  EXPECT_EQ(again->TransparentColour(), Grey(170));
  // Drawn, only the pixel of grey 2 lets the background through.
  auto bg = Background(4, 1, clRed);
  again->Draw(bg->Canvas(), Rect(0, 0, 4, 1));
  EXPECT_EQ(bg->Canvas()->Pixels(0, 0), Grey(0));
  EXPECT_EQ(bg->Canvas()->Pixels(1, 0), Grey(85));
  EXPECT_EQ(bg->Canvas()->Pixels(2, 0), clRed);
  EXPECT_EQ(bg->Canvas()->Pixels(3, 0), Grey(255));
}

TEST(PngPicture, DrawsEachTransparencyKind) {
  // Kind 0: stretched, each pixel a 2 x 2 block.
  auto rgb = pngtest::Loaded(File(2, 2, 8, ctRGB, {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 9, 9, 9}}));
  auto bg = Background(4, 4, clWhite);
  rgb->Draw(bg->Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(bg->Canvas()->Pixels(1, 1), static_cast<TColor>(RGB(255, 0, 0)));
  EXPECT_EQ(bg->Canvas()->Pixels(2, 0), static_cast<TColor>(RGB(0, 255, 0)));
  EXPECT_EQ(bg->Canvas()->Pixels(0, 3), static_cast<TColor>(RGB(0, 0, 255)));
  EXPECT_EQ(bg->Canvas()->Pixels(3, 2), static_cast<TColor>(RGB(9, 9, 9)));

  // Kind 1: the transparent colour lets the background through.
  auto keyed = pngtest::Loaded(File(3, 1, 8, ctGrayscale, {{10, 64, 200}}, {{"tRNS", Bytes({0, 64})}}));
  bg = Background(3, 1, clBlue);
  keyed->Draw(bg->Canvas(), Rect(0, 0, 3, 1));
  EXPECT_EQ(bg->Canvas()->Pixels(0, 0), Grey(10));
  EXPECT_EQ(bg->Canvas()->Pixels(1, 0), clBlue);
  EXPECT_EQ(bg->Canvas()->Pixels(2, 0), Grey(200));

  // Kind 2, grey with alpha: alpha 0, 128 and 255 over a background of 100.
  auto ga = pngtest::Loaded(File(3, 1, 8, ctGrayscaleAlpha, {{200, 0, 200, 128, 200, 255}}));
  bg = Background(3, 1, Grey(100));
  ga->Draw(bg->Canvas(), Rect(0, 0, 3, 1));
  EXPECT_EQ(bg->Canvas()->Pixels(0, 0), Grey(100));
  EXPECT_EQ(bg->Canvas()->Pixels(1, 0), Grey(Blend(128, 200, 100)));  // (25600 + 12700 + 255) div 256 = 150
  EXPECT_EQ(Blend(128, 200, 100), 150);
  EXPECT_EQ(bg->Canvas()->Pixels(2, 0), Grey(200));
}

TEST(PngPicture, RGBADrawnLargerSamplesEachPixelAndBlendsOverTheBackground) {
  // 32 x 32 RGBA into 64 x 64: every source pixel covers a 2 x 2 block, blended over the background.
  PngImage im = PngImage::Make(32, 32, 6, 8);
  for (uint32_t y = 0; y < 32; ++y)
    for (uint32_t x = 0; x < 32; ++x) {
      im.SetSample(x, y, 0, x * 8);
      im.SetSample(x, y, 1, y * 8);
      im.SetSample(x, y, 2, 255 - x * 4);
      im.SetSample(x, y, 3, (x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 255 : (x * 7 + y) % 256);
    }
  auto png = pngtest::Loaded(testsupport::WritePngWithLibpng(im));
  const TColor background = static_cast<TColor>(RGB(30, 60, 90));
  auto bg = Background(80, 80, background);
  bg->Canvas()->StretchDraw(Rect(10, 5, 74, 69), png.get());
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint32_t sx = static_cast<uint32_t>(x / 2), sy = static_cast<uint32_t>(y / 2);
      const int a = static_cast<int>(im.Sample(sx, sy, 3));
      const TColor want = static_cast<TColor>(RGB(Blend(a, static_cast<int>(im.Sample(sx, sy, 0)), 30),
                                                  Blend(a, static_cast<int>(im.Sample(sx, sy, 1)), 60),
                                                  Blend(a, static_cast<int>(im.Sample(sx, sy, 2)), 90)));
      ASSERT_EQ(bg->Canvas()->Pixels(10 + x, 5 + y), want) << x << "," << y;
    }
  // Outside the rectangle nothing changed; a rectangle given right to left draws the same.
  EXPECT_EQ(bg->Canvas()->Pixels(9, 5), background);
  EXPECT_EQ(bg->Canvas()->Pixels(74, 68), background);
  auto mirrored = Background(80, 80, background);
  png->Draw(mirrored->Canvas(), Rect(74, 69, 10, 5));
  for (int y = 0; y < 80; y += 7)
    for (int x = 0; x < 80; x += 5) ASSERT_EQ(mirrored->Canvas()->Pixels(x, y), bg->Canvas()->Pixels(x, y));
  // An empty rectangle draws nothing.
  png->Draw(mirrored->Canvas(), Rect(20, 20, 20, 40));
  EXPECT_EQ(mirrored->Canvas()->Pixels(20, 20), bg->Canvas()->Pixels(20, 20));
  // Far larger than the canvas: only what the canvas shows is worked on, sampled as in the whole.
  auto small = Background(16, 16, background);
  png->Draw(small->Canvas(), Rect(-32000, -32000, 32000, 32000));  // a source pixel every 2000
  const int sx = (32000 + 5) * 32 / 64000, sy = (32000 + 7) * 32 / 64000;
  const int a = static_cast<int>(im.Sample(sx, sy, 3));
  EXPECT_EQ(small->Canvas()->Pixels(5, 7), static_cast<TColor>(RGB(Blend(a, static_cast<int>(im.Sample(sx, sy, 0)), 30),
                                                                  Blend(a, static_cast<int>(im.Sample(sx, sy, 1)), 60),
                                                                  Blend(a, static_cast<int>(im.Sample(sx, sy, 2)), 90))));
}

TEST(PngPicture, PaletteIndicesPastThePaletteDrawBlack) {
  // Two entries; indices 1 (partial) and 200 (no entry, no tRNS value: opaque black).
  auto png = pngtest::Loaded(File(3, 1, 8, ctPalette, {{0, 1, 200}},
                                  {{"PLTE", Bytes({255, 0, 0, 0, 255, 0})}, {"tRNS", Bytes({255, 100})}}));
  ASSERT_EQ(png->TransparencyKind(), 2);
  auto bg = Background(3, 1, clWhite);
  png->Draw(bg->Canvas(), Rect(0, 0, 3, 1));
  EXPECT_EQ(bg->Canvas()->Pixels(0, 0), static_cast<TColor>(RGB(255, 0, 0)));
  EXPECT_EQ(bg->Canvas()->Pixels(1, 0), static_cast<TColor>(RGB(Blend(100, 0, 255), Blend(100, 255, 255), Blend(100, 0, 255))));
  EXPECT_EQ(bg->Canvas()->Pixels(2, 0), static_cast<TColor>(RGB(0, 0, 0)));
  // The palette accessor itself still refuses entries it does not have.
  auto* plte = png->ChunkList().ItemFromClass<TChunkPLTE>();
  EXPECT_EQ(plte->Item(1).peGreen, 255);
  EXPECT_EQ(pngtest::Raised([&] { plte->Item(2); }),
            (std::pair<std::string, std::string>{"EPngError", pngtext::kNoSuchPaletteEntry}));
}

TEST(PngPicture, SixteenBitImagesShowTheirHighBytes) {
  auto png = pngtest::Loaded(File(2, 1, 16, ctGrayscale, {{0x80, 0x01, 0x20, 0xFF}}));
  auto bg = Background(2, 1, clWhite);
  png->Draw(bg->Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(bg->Canvas()->Pixels(0, 0), Grey(0x80));
  EXPECT_EQ(bg->Canvas()->Pixels(1, 0), Grey(0x20));
  EXPECT_EQ(png->LowByteRowPointer(0)[0], 0x01);
  EXPECT_EQ(png->LowByteRowPointer(0)[1], 0xFF);
}

TEST(PngPicture, PixelAtPerType) {
  auto palette = pngtest::Loaded(File(2, 1, 4, ctPalette, {{0x12}}, {{"PLTE", Bytes({0, 0, 0, 250, 0, 0, 0, 0, 250})}}));
  EXPECT_EQ(palette->PixelAt(0, 0), static_cast<TColor>(RGB(250, 0, 0)));
  EXPECT_EQ(palette->PixelAt(1, 0), static_cast<TColor>(RGB(0, 0, 250)));
  palette->SetPixelAt(0, 0, static_cast<TColor>(RGB(10, 0, 240)));  // nearest: entry 2
  EXPECT_EQ(palette->RowPointer(0)[0], 0x22);
  // Outside the image: 0 read, nothing written.
  EXPECT_EQ(palette->PixelAt(2, 0), 0);
  EXPECT_EQ(palette->PixelAt(-1, 0), 0);
  palette->SetPixelAt(0, 1, clWhite);
  EXPECT_EQ(palette->RowPointer(0)[0], 0x22);

  auto grey2 = pngtest::Loaded(File(4, 1, 2, ctGrayscale, {{0x00}}));
  grey2->SetPixelAt(1, 0, Grey(90));   // nearest level 85: stored 5
  grey2->SetPixelAt(2, 0, Grey(250));  // 255: stored 15
  EXPECT_EQ(grey2->RowPointer(0)[0], 0x05);
  EXPECT_EQ(grey2->RowPointer(0)[1], 0xF0);
  EXPECT_EQ(grey2->PixelAt(1, 0), Grey(85));

  auto ga = pngtest::Loaded(File(1, 1, 8, ctGrayscaleAlpha, {{77, 9}}));
  EXPECT_EQ(ga->PixelAt(0, 0), Grey(77));
  ga->SetPixelAt(0, 0, static_cast<TColor>(RGB(33, 1, 2)));  // the red part
  EXPECT_EQ(ga->RowPointer(0)[0], 33);
  EXPECT_EQ(ga->AlphaRowPointer(0)[0], 9);

  auto rgb = pngtest::Loaded(File(1, 1, 8, ctRGB, {{1, 2, 3}}));
  EXPECT_EQ(rgb->PixelAt(0, 0), static_cast<TColor>(RGB(1, 2, 3)));
  rgb->SetPixelAt(0, 0, static_cast<TColor>(RGB(4, 5, 6)));
  EXPECT_EQ(Bytes({rgb->RowPointer(0)[0], rgb->RowPointer(0)[1], rgb->RowPointer(0)[2]}), Bytes({6, 5, 4}));
  EXPECT_EQ(rgb->AlphaRowPointer(0), nullptr);
  EXPECT_EQ(rgb->LowByteRowPointer(0), nullptr);
}

TEST(PngPicture, ResizingKeepsTheSharedTopRows) {
  auto png = pngtest::Loaded(File(2, 2, 8, ctRGBAlpha, {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}}));
  EXPECT_EQ(pngtest::Raised([&] { png->SetSize(0, 10); }),
            (std::pair<std::string, std::string>{"EPNGInvalidNewSize", pngtext::kInvalidNewSize}));
  png->SetWidth(3);
  png->SetHeight(1);
  EXPECT_EQ(png->Width(), 3);
  EXPECT_EQ(png->Height(), 1);
  EXPECT_EQ(png->PixelAt(0, 0), static_cast<TColor>(RGB(1, 2, 3)));
  EXPECT_EQ(png->PixelAt(1, 0), static_cast<TColor>(RGB(5, 6, 7)));
  EXPECT_EQ(png->PixelAt(2, 0), 0);  // new pixels 0, new alpha opaque
  EXPECT_EQ(Bytes({png->AlphaRowPointer(0)[0], png->AlphaRowPointer(0)[1], png->AlphaRowPointer(0)[2]}), Bytes({4, 8, 255}));
  // Still a valid picture.
  EXPECT_EQ(testsupport::ReadPngWithLibpng(pngtest::Saved(*png)).width, 3u);

  // One-bit rows: bits past the old width (the file's padding) become new pixels of 0.
  auto bits = pngtest::Loaded(File(3, 1, 1, ctGrayscale, {{0xFF}}));
  bits->SetWidth(8);
  EXPECT_EQ(bits->RowPointer(0)[0], 0xE0);
}

TEST(PngPicture, EmptyPicture) {
  TPNGObject png;
  EXPECT_TRUE(png.Empty());
  EXPECT_EQ(png.Width(), 0);
  EXPECT_EQ(png.TransparencyKind(), 0);
  EXPECT_EQ(pngtest::Raised([&] { png.CurrentHeader(); }),
            (std::pair<std::string, std::string>{"EPNGHeaderNotPresent", pngtext::kHeaderNotPresent}));
  // Nothing to write: no eight-byte file that no reader takes.
  TMemoryStream s;
  EXPECT_THROW(png.SaveToStream(s), EPNGHeaderNotPresent);
  EXPECT_EQ(s.Size(), 0);
  auto bg = Background(2, 2, clRed);
  png.Draw(bg->Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(bg->Canvas()->Pixels(0, 0), clRed);
}

TEST(PngPicture, MadeFromBitmapsOfEachDepth) {
  struct Case {
    TPixelFormat format;
    int depth;
    int type;
  } cases[] = {{pf1bit, 1, ctPalette}, {pf4bit, 4, ctPalette}, {pf8bit, 8, ctPalette},
               {pf16bit, 8, ctRGB},    {pf24bit, 8, ctRGB},     {pf32bit, 8, ctRGB}};
  for (const Case& c : cases)
    for (bool transparent : {false, true}) {
      SCOPED_TRACE(std::to_string(c.format) + (transparent ? " transparent" : ""));
      TBitmap b;
      b.SetPixelFormat(c.format);
      b.SetSize(7, 5);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
          b.Canvas()->SetPixels(x, y, (x + y) % 2 ? clWhite : (x % 3 ? clBlack : clRed));
      if (c.format == pf1bit) b.Canvas()->SetPixels(0, 0, clBlack);
      if (transparent) {
        b.SetTransparentColor(clBlack);
        b.SetTransparent(true);
      }
      TPNGObject png;
      png.Assign(&b);
      EXPECT_EQ(png.CurrentHeader()->BitDepth(), c.depth);
      EXPECT_EQ(png.CurrentHeader()->ColorType(), c.type);
      std::vector<std::string> names = {"IHDR"};
      if (c.type == ctPalette) names.push_back("PLTE");
      if (transparent) names.push_back("tRNS");
      names.insert(names.end(), {"IDAT", "IEND"});
      EXPECT_EQ(ChunkNames(png), names);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(png.PixelAt(x, y), b.Canvas()->Pixels(x, y)) << x << "," << y;
      EXPECT_EQ(png.TransparencyKind(), transparent ? 1 : 0);
      if (transparent) {
        EXPECT_EQ(png.TransparentColour(), clBlack);
      }
      // The file holds the same colours for an independent reader.
      const PngImage back = testsupport::ReadPngWithLibpng(pngtest::Saved(png));
      const std::vector<uint16_t> rgba = testsupport::ExpandToRGBA16(back);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
          const COLORREF want = ColorToRGB(b.Canvas()->Pixels(x, y));
          const uint16_t* p = &rgba[(static_cast<size_t>(y) * 7 + x) * 4];
          ASSERT_EQ(RGB(p[0] >> 8, p[1] >> 8, p[2] >> 8), want) << x << "," << y;
          ASSERT_EQ(p[3], transparent && want == 0 ? 0 : 65535) << x << "," << y;
        }
    }
}

TEST(PngPicture, AssignedToBitmapsOfTheRightFormat) {
  const auto plte = std::make_pair(std::string("PLTE"), Bytes({10, 20, 30, 40, 50, 60, 70, 80, 90}));
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    TPixelFormat format;
  } cases[] = {
      {"grey 1", File(3, 1, 1, ctGrayscale, {{0xA0}}), pf1bit},
      {"grey 2", File(3, 1, 2, ctGrayscale, {{0x1B}}), pf4bit},
      {"palette 4", File(3, 1, 4, ctPalette, {{0x01, 0x20}}, {plte}), pf4bit},
      {"palette 8", File(3, 1, 8, ctPalette, {{0, 1, 2}}, {plte}), pf8bit},
      {"grey 8", File(3, 1, 8, ctGrayscale, {{0, 128, 255}}), pf24bit},
      {"RGB 16", File(1, 1, 16, ctRGB, {{1, 0, 2, 0, 3, 0}}), pf24bit},
      {"RGBA", File(2, 1, 8, ctRGBAlpha, {{1, 2, 3, 255, 4, 5, 6, 0}}), pf24bit},
      {"grey, one transparent grey", File(3, 1, 8, ctGrayscale, {{0, 128, 255}}, {{"tRNS", Bytes({0, 128})}}), pf24bit},
  };
  for (const Case& c : cases) {
    auto png = pngtest::Loaded(c.file);
    TBitmap b;
    b.Assign(png.get());
    EXPECT_EQ(b.PixelFormat(), c.format) << c.what;
    ASSERT_EQ(b.Width(), png->Width()) << c.what;
    EXPECT_EQ(b.Transparent(), png->TransparencyKind() == 1) << c.what;
    for (int x = 0; x < png->Width(); ++x) {
      // Opaque pixels as they are; a clear pixel of RGBA shows the new bitmap's white.
      const bool clear = png->AlphaRowPointer(0) && png->AlphaRowPointer(0)[x] == 0;
      EXPECT_EQ(b.Canvas()->Pixels(x, 0), clear ? clWhite : png->PixelAt(x, 0)) << c.what << " " << x;
    }
    if (b.Transparent()) {
      EXPECT_EQ(b.TransparentColor() & 0xFFFFFF, Grey(128)) << c.what;
    }
  }
}

TEST(PngPicture, ClipboardRoundTrip) {
  auto png = pngtest::Loaded(File(3, 2, 8, ctRGB, {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {90, 80, 70, 60, 50, 40, 30, 20, 10}}));
  uint32_t format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  png->SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_BITMAP);
  ASSERT_NE(data, nullptr);
  TPNGObject back;
  back.LoadFromClipboardFormat(format, data, palette);
  DeleteObject(static_cast<HBITMAP>(data));
  EXPECT_EQ(back.CurrentHeader()->ColorType(), ctRGB);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(back.PixelAt(x, y), png->PixelAt(x, y));

  // Through the program's clipboard: put on as a picture, read back by a picture holder.
  Clipboard()->Assign(png.get());
  EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  TPicture picture;
  picture.Assign(Clipboard());
  ASSERT_NE(picture.Graphic(), nullptr);
  TPNGObject fromHolder;
  fromHolder.Assign(picture.Graphic());
  EXPECT_EQ(fromHolder.PixelAt(2, 1), png->PixelAt(2, 1));
  Clipboard()->Clear();
  // A format no picture class reads.
  EXPECT_THROW(back.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr), EInvalidGraphic);
}

TEST(PngPicture, PictureHoldersLoadAndCopyPngFiles) {
  testsupport::ScratchDir dir;
  auto png = pngtest::Loaded(File(2, 1, 8, ctRGBAlpha, {{1, 2, 3, 4, 5, 6, 7, 8}}));
  png->SaveToFile(dir.File("a.PNG"));
  TPicture picture;
  picture.LoadFromFile(dir.File("a.PNG"));
  auto* loaded = dynamic_cast<TPNGObject*>(picture.Graphic());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->PixelAt(1, 0), static_cast<TColor>(RGB(5, 6, 7)));
  TPicture copy;
  copy.Assign(&picture);
  EXPECT_NE(dynamic_cast<TPNGObject*>(copy.Graphic()), nullptr);
  EXPECT_NE(TPicture::GraphicFilter().find("Portable Network Graphics (*.png)|*.png"), std::string::npos);
  EXPECT_EQ(TPicture::GraphicExtension("TPNGObject"), "png");
}

TEST(PngPicture, TextsRoundTripAsLatin1) {
  auto png = pngtest::Loaded(File(1, 1, 8, ctGrayscale, {{0}}));
  png->ChunkList().Remove(png->ChunkList().ItemFromClass<TChunkIEND>());
  auto* text = static_cast<TChunktEXt*>(png->ChunkList().Add(std::make_unique<TChunktEXt>(png.get())));
  text->SetKeyword("Author");
  text->SetText("Zo\xc3\xab \xe2\x82\xac");  // Zoe with a diaeresis, and a euro sign, which Latin-1 has not
  auto* ztxt = static_cast<TChunkzTXt*>(png->ChunkList().Add(std::make_unique<TChunkzTXt>(png.get())));
  ztxt->SetKeyword("Empty");
  png->ChunkList().Add(std::make_unique<TChunkIEND>(png.get()));
  const PngImage back = testsupport::ReadPngWithLibpng(pngtest::Saved(*png));
  ASSERT_EQ(back.texts.size(), 2u);
  EXPECT_EQ(back.texts[0].text, "Zo\xeb ?");
  EXPECT_EQ(back.texts[1].text, " ");  // an empty compressed text is written as a blank
  EXPECT_TRUE(back.texts[1].compressed);
}

TEST(PngPicture, CompressedTextStopsAtItsLimit) {
  // 9 MB of one letter in a few kilobytes, past the 8 MB limit: the text stays empty.
  std::vector<uint8_t> zeros(9 << 20, 'a');
  std::vector<uint8_t> data = Bytes({'B', 'o', 'm', 'b', 0, 0});
  const std::vector<uint8_t> packed = Deflate(zeros, 9);
  data.insert(data.end(), packed.begin(), packed.end());
  auto png = pngtest::Loaded(File(1, 1, 8, ctGrayscale, {{0}}, {{"zTXt", data}}));
  auto* bomb = png->ChunkList().ItemFromClass<TChunkzTXt>();
  ASSERT_NE(bomb, nullptr);
  EXPECT_EQ(bomb->Keyword(), "Bomb");
  EXPECT_EQ(bomb->Text(), "");
  // Under the limit, or with it lowered.
  zeros.resize(1000);
  data.resize(6);
  const std::vector<uint8_t> small = Deflate(zeros);
  data.insert(data.end(), small.begin(), small.end());
  EXPECT_EQ(pngtest::Loaded(File(1, 1, 8, ctGrayscale, {{0}}, {{"zTXt", data}}))->ChunkList().ItemFromClass<TChunkzTXt>()->Text(),
            std::string(1000, 'a'));
  const int64_t limit = PNGTextInflateLimit();
  PNGTextInflateLimit() = 999;
  EXPECT_EQ(pngtest::Loaded(File(1, 1, 8, ctGrayscale, {{0}}, {{"zTXt", data}}))->ChunkList().ItemFromClass<TChunkzTXt>()->Text(), "");
  PNGTextInflateLimit() = limit;
}

TEST(PngPicture, HostileFilesGetTheirErrors) {
  const auto grey = [] { return PngFile().IHDR(4, 4, 8, ctGrayscale); };
  const std::vector<uint8_t> idat = Deflate(std::vector<uint8_t>(20, 0));
  std::vector<uint8_t> idatBytes = grey().Chunk("IDAT", idat).IEND().Bytes();
  std::vector<uint8_t> badIhdrCrc = grey().Bytes();
  badIhdrCrc.back() ^= 1;
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    const char* cls;
    const char* message;
  } cases[] = {
      {"not a PNG", Bytes({'G', 'I', 'F', '8', '9', 'a', 0, 0}), "EPNGInvalidFileHeader", pngtext::kInvalidFileHeader},
      {"nothing", {}, "EPNGInvalidFileHeader", pngtext::kInvalidFileHeader},
      {"length 0xFFFFFFFF", grey().ChunkHead("tEXt", 0xFFFFFFFF).Bytes(), "EPngUnexpectedEnd", pngtext::kUnexpectedEnd},
      {"length past the end", grey().ChunkHead("tEXt", 1000).Raw(Bytes({1, 2, 3})).Bytes(), "EPngUnexpectedEnd", pngtext::kUnexpectedEnd},
      {"end after the header", grey().Bytes(), "EPngUnexpectedEnd", pngtext::kUnexpectedEnd},
      {"IHDR CRC mismatch", badIhdrCrc, "EPngInvalidCRC", pngtext::kInvalidCRC},
      {"tEXt CRC mismatch", grey().ChunkWithCRC("tEXt", Bytes({'a', 0, 'b'}), 1).Bytes(), "EPngInvalidCRC", pngtext::kInvalidCRC},
      {"IHDR of 12 bytes", PngFile().Chunk("IHDR", std::vector<uint8_t>(12, 1)).Bytes(), "EPngInvalidIHDR", pngtext::kInvalidIHDR},
      {"width 0", PngFile().IHDR(0, 4, 8, 0).Bytes(), "EPngInvalidIHDR", pngtext::kInvalidIHDR},
      {"colour type 5", PngFile().IHDR(4, 4, 8, 5).Bytes(), "EPngInvalidIHDR", pngtext::kInvalidIHDR},
      {"depth 3", PngFile().IHDR(4, 4, 3, 0).Bytes(), "EPngInvalidIHDR", pngtext::kInvalidIHDR},
      {"width 70000", PngFile().IHDR(70000, 4, 8, 0).Bytes(), "EPNGSizeExceeds", pngtext::kSizeExceeds},
      {"65535 x 65535 in a tiny file", PngFile().IHDR(65535, 65535, 8, 6).Chunk("IDAT", idat).IEND().Bytes(), "EPNGOutMemory",
       pngtext::kOutMemory},
      {"compression 1", PngFile().IHDR(4, 4, 8, 0, 0, 1).Bytes(), "EPNGUnknownCompression", pngtext::kUnknownCompression},
      {"interlace 2", PngFile().IHDR(4, 4, 8, 0, 2).Bytes(), "EPNGUnknownInterlace", pngtext::kUnknownInterlace},
      {"unknown critical chunk", grey().Chunk("CRIT", {}).Bytes(), "EPNGUnknownCriticalChunk", pngtext::kUnknownCriticalChunk},
      {"no image data", grey().IEND().Bytes(), "EPNGNoImageData", pngtext::kNoImageData},
      {"PLTE of 257 entries", PngFile().IHDR(4, 4, 8, 3).Chunk("PLTE", std::vector<uint8_t>(771, 9)).Bytes(), "EPNGInvalidPalette",
       pngtext::kInvalidPalette},
      {"PLTE of 4 bytes", PngFile().IHDR(4, 4, 8, 3).Chunk("PLTE", std::vector<uint8_t>(4, 9)).Bytes(), "EPNGInvalidPalette",
       pngtext::kInvalidPalette},
      {"tRNS of 300 bytes", PngFile().IHDR(4, 4, 8, 3).Chunk("tRNS", std::vector<uint8_t>(300, 9)).Bytes(), "EPNGInvalidPalette",
       pngtext::kInvalidPalette},
      {"IDAT broken by tEXt", grey().Chunk("IDAT", std::vector<uint8_t>(idat.begin(), idat.begin() + 4)).Chunk("tEXt", Bytes({'a', 0}))
                                  .Chunk("IDAT", std::vector<uint8_t>(idat.begin() + 4, idat.end())).IEND().Bytes(),
       "EPNGMissingMultipleIDAT", pngtext::kMissingMultipleIDAT},
      {"cut inside IDAT", std::vector<uint8_t>(idatBytes.begin(), idatBytes.begin() + 33 + 8 + 6), "EPngInvalidCRC", pngtext::kInvalidCRC},
  };
  IEImageSizeGateLogForTesting(true);
  for (const Case& c : cases) {
    TPNGObject png;
    EXPECT_EQ(pngtest::Raised([&] { pngtest::Load(png, c.file); }), (std::pair<std::string, std::string>{c.cls, c.message}))
        << c.what;
  }
  // None of them was allowed more than the small pictures every file may have.
  EXPECT_LE(IEImageSizeGateLogForTesting().LargestGrantedPixels, IEImageSizeAllowanceForTesting());
}

TEST(PngPicture, TheSizeGateLetsRealFilesThrough) {
  // The most compressible file there is: 16 million pixels of one bit, all 0, at zlib's best.
  PngImage im = PngImage::Make(4000, 4000, 0, 1);
  const std::vector<uint8_t> file = testsupport::WritePngWithLibpng(im, 9);
  ASSERT_LT(file.size(), 4000u);
  auto png = pngtest::Loaded(file);
  EXPECT_EQ(png->Width(), 4000);
  // The same header over a tenth of its data is refused before anything is allocated.
  std::vector<uint8_t> idat;
  for (const auto& c : pngtest::Chunks(file))
    if (c.name == "IDAT") idat.insert(idat.end(), c.data.begin(), c.data.end());
  idat.resize(idat.size() / 10);
  TPNGObject cut;
  EXPECT_THROW(pngtest::Load(cut, PngFile().IHDR(4000, 4000, 1, 0).Chunk("IDAT", idat).IEND().Bytes()), EPNGOutMemory);
  EXPECT_TRUE(cut.Empty());
}
