// Row access, fixed palettes, colour lookups, error diffusion and ReduceBitmapColors.
#include <gtest/gtest.h>

#include <random>

#include "pictures/gif_color_lookup.h"
#include "pictures/gif_dib.h"
#include "pictures/gif_dither.h"
#include "pictures/gif_errors.h"
#include "pictures/gif_octree.h"
#include "pictures/gif_palettes.h"
#include "pictures/gif_reduce.h"

namespace {

std::unique_ptr<TBitmap> Rgb(int w, int h, const std::function<uint32_t(int, int)>& color) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const uint32_t c = color(x, y);  // 0xRRGGBB
      row[3 * x] = static_cast<uint8_t>(c);
      row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  return b;
}

uint32_t Grey(int v) { return static_cast<uint32_t>(v * 0x010101); }

std::vector<PALETTEENTRY> Entries(HPALETTE p) {
  std::vector<PALETTEENTRY> e(GetPaletteEntries(p, 0, 0, nullptr));
  GetPaletteEntries(p, 0, static_cast<uint32_t>(e.size()), e.data());
  return e;
}

// ---- Row access ---------------------------------------------------------------------------------

TEST(GIFDIB, TheWriterFillsTopDownRowsWithA256EntryTableAndAnUnusedOneChangesNothing) {
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(3, 2);
  {
    HPALETTE vga = SystemPalette16();
    TDIBWriter unused(&target, pf8bit, 5, 5, vga);
    DeleteObject(vga);
  }
  EXPECT_EQ(target.Width(), 3);
  EXPECT_EQ(target.PixelFormat(), pf24bit);

  HPALETTE vga = SystemPalette16();
  {
    TDIBWriter writer(&target, pf8bit, 4, 2, vga);
    std::memset(writer.ScanLine(0), 12, 4);  // VGA 12: blue
    std::memset(writer.ScanLine(1), 200, 4);  // past the palette: black
  }
  DeleteObject(vga);
  EXPECT_EQ(target.PixelFormat(), pf8bit);
  const std::vector<RGBQUAD> table = target.ColorTable();
  ASSERT_EQ(table.size(), 256u);
  EXPECT_EQ(table[12].rgbBlue, 255);
  for (size_t i = 16; i < 256; ++i) EXPECT_EQ(table[i].rgbRed | table[i].rgbGreen | table[i].rgbBlue, 0) << i;
  EXPECT_EQ(target.Canvas()->Pixels(0, 0), static_cast<TColor>(RGB(0, 0, 255)));
  EXPECT_EQ(target.Canvas()->Pixels(0, 1), static_cast<TColor>(RGB(0, 0, 0)));
}

TEST(GIFDIB, TheWriterRefusesOtherDepthsEmptySizesAndRowsOutside) {
  TBitmap target;
  const auto message = [&](const std::function<void()>& f) {
    try {
      f();
    } catch (const Exception& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(message([&] { TDIBWriter w(&target, pf4bit, 2, 2, nullptr); }), "Unsupported PixelFormat");
  EXPECT_EQ(message([&] { TDIBWriter w(&target, pf24bit, 0, 2, nullptr); }), "Invalid image dimensions");
  EXPECT_EQ(message([&] {
              TDIBWriter w(&target, pf24bit, 2, 2, nullptr);
              w.ScanLine(2);
            }),
            "Scan line index out of range");
  EXPECT_TRUE(target.Empty());
  TDIBReader reader(Rgb(2, 2, [](int, int) { return 0x102030u; }).get(), pf32bit);
  EXPECT_EQ(reader.PixelFormat(), pf32bit);
}

// ---- Palettes and lookups -------------------------------------------------------------------------

TEST(GIFColorLookup, FixedLookupsFollowTheirFormulas) {
  uint8_t r, g, b;
  TNetscapeColorLookup web;
  // (47 + 3) div 51 = 0, (48 + 3) div 51 = 1.
  EXPECT_EQ(web.Lookup(47, 0, 0, r, g, b), 0);
  EXPECT_EQ(web.Lookup(48, 0, 0, r, g, b), 36);
  EXPECT_EQ(r, 51);
  EXPECT_EQ(web.Lookup(255, 255, 255, r, g, b), 215);
  TMonochromeLookup mono;
  // 77 + 150 + 29 = 256: grey 127 weighs 32512, 128 weighs 32768.
  EXPECT_EQ(mono.Lookup(127, 127, 127, r, g, b), 0);
  EXPECT_EQ(mono.Lookup(128, 128, 128, r, g, b), 1);
  EXPECT_EQ(r, 255);
  TGrayScaleLookup grey;
  // (77 * 200 + 150 * 100 + 29 * 50) >> 8 = 31850 >> 8 = 124.
  EXPECT_EQ(grey.Lookup(200, 100, 50, r, g, b), 124);
  EXPECT_EQ(g, 124);
}

TEST(GIFColorLookup, TheFastLookupAnswersAFiveBitCellAsItsFirstColourFound) {
  const PALETTEENTRY entries[2] = {{0, 0, 0, 0}, {24, 24, 24, 0}};
  HPALETTE palette = CreatePaletteFromEntries(entries, 2);
  TFastColorLookup lookup(palette);
  DeleteObject(palette);
  uint8_t r, g, b;
  // (15, 15, 15) is nearer 24 (27 against 45); (8, 8, 8), in the same cell, would be nearer 0 but
  // gets the cell's answer.
  EXPECT_EQ(lookup.Lookup(15, 15, 15, r, g, b), 1);
  EXPECT_EQ(lookup.Lookup(8, 8, 8, r, g, b), 1);
  EXPECT_EQ(r, 24);
  // An entry's own cell points at it.
  EXPECT_EQ(lookup.Lookup(3, 0, 6, r, g, b), 0);
}

TEST(GIFColorLookup, PalettesComeFromTheDrawingLayer) {
  HPALETTE p = SystemPalette20();
  const std::vector<PALETTEENTRY> system = Entries(p);
  DeleteObject(p);
  ASSERT_EQ(system.size(), 20u);
  EXPECT_EQ(RGB(system[9].peRed, system[9].peGreen, system[9].peBlue), RGB(166, 202, 240));
  p = FourGrayPalette();
  const std::vector<PALETTEENTRY> four = Entries(p);
  DeleteObject(p);
  ASSERT_EQ(four.size(), 4u);
  EXPECT_EQ(four[1].peRed, 128);
  EXPECT_EQ(four[2].peRed, 192);
  p = HalftonePalette();
  EXPECT_EQ(Entries(p).size(), 256u);
  DeleteObject(p);
}

// ---- Error diffusion ----------------------------------------------------------------------------

// Floyd-Steinberg as the textbook states it, over a full error plane: 7/16 ahead, 3/16 below behind,
// 5/16 below, 1/16 below ahead, rows scanned alternately to the right and to the left, errors falling
// off the picture dropped. Each value is the pixel plus (error sum + 8) / 16.
std::vector<uint8_t> ReferenceFloydSteinberg(const std::vector<std::array<uint8_t, 3>>& image, int w, int h,
                                             TColorLookup& lookup) {
  std::vector<std::array<int32_t, 3>> err(static_cast<size_t>(w) * (h + 1), {0, 0, 0});
  std::vector<uint8_t> out(static_cast<size_t>(w) * h);
  const auto add = [&](int x, int y, int c, int32_t v) {
    if (x >= 0 && x < w && y < h) err[static_cast<size_t>(y) * w + x][c] += v;
  };
  for (int y = 0; y < h; ++y) {
    const int d = y % 2 == 0 ? 1 : -1;
    for (int i = 0; i < w; ++i) {
      const int x = d > 0 ? i : w - 1 - i;
      uint8_t v[3];
      for (int c = 0; c < 3; ++c)
        v[c] = static_cast<uint8_t>(std::clamp(image[static_cast<size_t>(y) * w + x][c] +
                                                   (err[static_cast<size_t>(y) * w + x][c] + 8) / 16,
                                               0, 255));
      uint8_t p[3];
      out[static_cast<size_t>(y) * w + x] = lookup.Lookup(v[0], v[1], v[2], p[0], p[1], p[2]);
      for (int c = 0; c < 3; ++c) {
        const int32_t e = v[c] - p[c];
        add(x + d, y, c, 7 * e);
        add(x - d, y + 1, c, 3 * e);
        add(x, y + 1, c, 5 * e);
        add(x + d, y + 1, c, e);
      }
    }
  }
  return out;
}

std::vector<uint8_t> DitherAll(TDitherEngine& d, const std::vector<std::array<uint8_t, 3>>& image, int w, int h) {
  std::vector<uint8_t> out(static_cast<size_t>(w) * h);
  uint8_t r, g, b;
  for (int y = 0; y < h; ++y) {
    for (int x = d.Column(); x >= 0 && x < w; x = d.Column()) {
      const auto& c = image[static_cast<size_t>(y) * w + x];
      out[static_cast<size_t>(y) * w + x] = d.Dither(c[0], c[1], c[2], r, g, b);
    }
    d.NextLine();
  }
  return out;
}

TEST(GIFDither, FloydSteinbergMatchesTheTextbookIncludingPixelsWithNoError) {
  // Random colours over the web palette, with runs of exact web colours in between: those pixels
  // have no error, and the sums must go on past them as they do past any other.
  std::mt19937 rng(5);
  for (int w : {1, 2, 7, 33}) {
    const int h = 9;
    std::vector<std::array<uint8_t, 3>> image(static_cast<size_t>(w) * h);
    for (auto& c : image) {
      if (rng() % 3 == 0)
        c = {static_cast<uint8_t>(51 * (rng() % 6)), static_cast<uint8_t>(51 * (rng() % 6)), 0};
      else
        c = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
    }
    TNetscapeColorLookup web;
    TFloydSteinbergDitherer fs(w, &web);
    EXPECT_EQ(DitherAll(fs, image, w, h), ReferenceFloydSteinberg(image, w, h, web)) << w;
  }
}

std::unique_ptr<TDitherEngine> Make(int kind, int w, TColorLookup* lookup) {
  switch (kind) {
    case 0: return std::make_unique<TDitherEngine>(w, lookup);
    case 1: return std::make_unique<TFloydSteinbergDitherer>(w, lookup);
    case 2: return std::make_unique<TStuckiDitherer>(w, lookup);
    case 3: return std::make_unique<TSierraDitherer>(w, lookup);
    case 4: return std::make_unique<TJaJuNiDitherer>(w, lookup);
    case 5: return std::make_unique<TSteveArcheDitherer>(w, lookup);
    default: return std::make_unique<TBurkesDitherer>(w, lookup);
  }
}

TEST(GIFDither, EveryKernelLeavesAPictureInThePaletteAsItIsAtEveryWidth) {
  std::mt19937 rng(9);
  for (int kind = 0; kind < 7; ++kind)
    for (int w : {1, 2, 3, 40}) {
      const int h = 6;
      std::vector<std::array<uint8_t, 3>> image(static_cast<size_t>(w) * h);
      std::vector<uint8_t> expected;
      for (auto& c : image) {
        const int r = rng() % 6, g = rng() % 6, b = rng() % 6;
        c = {static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b)};
        expected.push_back(static_cast<uint8_t>(36 * r + 6 * g + b));
      }
      TNetscapeColorLookup web;
      auto d = Make(kind, w, &web);
      EXPECT_EQ(DitherAll(*d, image, w, h), expected) << kind << " " << w;
    }
}

TEST(GIFDither, AGreyRampToBlackAndWhiteHasTheRampsDensityWithEveryKernel) {
  const int w = 64, h = 64;
  for (int kind = 1; kind < 7; ++kind) {
    std::vector<std::array<uint8_t, 3>> image(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t v = static_cast<uint8_t>(x * 4);
        image[static_cast<size_t>(y) * w + x] = {v, v, v};
      }
    TMonochromeLookup mono;
    auto d = Make(kind, w, &mono);
    const std::vector<uint8_t> out = DitherAll(*d, image, w, h);
    // Over bands of 8 columns the share of white pixels follows the band's mean level.
    for (int band = 0; band < 8; ++band) {
      int white = 0;
      for (int y = 0; y < h; ++y)
        for (int x = band * 8; x < band * 8 + 8; ++x) white += out[static_cast<size_t>(y) * w + x];
      const double mean = (band * 8 + 3.5) * 4 / 255.0;
      EXPECT_NEAR(white / (8.0 * h), mean, 0.06) << "kernel " << kind << " band " << band;
    }
  }
}

TEST(GIFDither, APictureOneColumnWideKeepsItsExtremes) {
  // The kernels' margins take the error that falls beside the column.
  for (int kind = 0; kind < 7; ++kind) {
    std::vector<std::array<uint8_t, 3>> image;
    for (int y = 0; y < 40; ++y) {
      const uint8_t v = y < 10 ? 0 : y < 30 ? 128 : 255;
      image.push_back({v, v, v});
    }
    TMonochromeLookup mono;
    auto d = Make(kind, 1, &mono);
    const std::vector<uint8_t> out = DitherAll(*d, image, 1, 40);
    for (int y = 0; y < 40; ++y) {
      if (y < 10) {
        EXPECT_EQ(out[y], 0) << kind;
      }
      if (y >= 32) {
        EXPECT_EQ(out[y], 1) << kind;
      }
    }
  }
}

// ---- ReduceBitmapColors -------------------------------------------------------------------------

TEST(GIFReduce, FixedPalettesGiveTheirIndicesAndTheSourceIsLeftAt24Bits) {
  auto source = Rgb(4, 1, [](int x, int) { return std::array<uint32_t, 4>{0x2F0000, 0x300000, Grey(127), Grey(128)}[x]; });
  source->SetPixelFormat(pf32bit);
  auto web = ReduceBitmapColors(*source, grmWeb216, gdmNearestColor, nullptr, 8);
  EXPECT_EQ(source->PixelFormat(), pf24bit);
  ASSERT_EQ(web->PixelFormat(), pf8bit);
  EXPECT_EQ(web->ScanLine(0)[0], 0);   // red 47
  EXPECT_EQ(web->ScanLine(0)[1], 36);  // red 48
  EXPECT_EQ(web->ColorTable()[36].rgbRed, 51);
  auto bw = ReduceBitmapColors(*source, grmBlackWhite, gdmNearestColor, nullptr, 8);
  EXPECT_EQ(bw->ScanLine(0)[2], 0);
  EXPECT_EQ(bw->ScanLine(0)[3], 1);
  auto grey = ReduceBitmapColors(*source, grmGray256, gdmNearestColor, nullptr, 8);
  EXPECT_EQ(grey->ScanLine(0)[2], 127);
  auto none = ReduceBitmapColors(*source, grmNone, gdmNearestColor, nullptr, 8);
  EXPECT_EQ(none->PixelFormat(), pf24bit);
  EXPECT_EQ(none->Canvas()->Pixels(1, 0), static_cast<TColor>(RGB(48, 0, 0)));
}

TEST(GIFReduce, TheOctreeKeepsFewColoursExactly) {
  const uint32_t colors[10] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF,
                               0x123456, 0x654321, 0x808080, 0xF0F0F0, 0x0F0F0F};
  auto source = Rgb(10, 3, [&](int x, int y) { return colors[(x + y) % 10]; });
  auto reduced = ReduceBitmapColors(*source, grmOctree, gdmNearestColor, nullptr, 4);
  const std::vector<RGBQUAD> table = reduced->ColorTable();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) {
      const uint8_t index = reduced->ScanLine(y)[x];
      EXPECT_LT(index, 16);
      const RGBQUAD q = table[index];
      EXPECT_EQ(static_cast<uint32_t>(q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue), colors[(x + y) % 10]);
    }
}

TEST(GIFReduce, TheOctreeFoldsManyColoursIntoAsManyAsAsked) {
  auto source = Rgb(64, 64, [](int x, int y) { return static_cast<uint32_t>(x * 4 << 16 | y * 4 << 8 | (x ^ y) * 4); });
  HPALETTE palette = QuantizedPalette(*source, 16, 8, false);
  EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 16u);
  DeleteObject(palette);
  palette = QuantizedPalette(*source, 256, 8, true);
  const std::vector<PALETTEENTRY> e = Entries(palette);
  DeleteObject(palette);
  ASSERT_EQ(e.size(), 256u);
  EXPECT_EQ(RGB(e[9].peRed, e[9].peGreen, e[9].peBlue), RGB(166, 202, 240));
  EXPECT_EQ(RGB(e[255].peRed, e[255].peGreen, e[255].peBlue), RGB(255, 255, 255));
  TColorQuantizer q(8, 8);
  for (int i = 0; i < 1000; ++i) q.AddColor(static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 13), static_cast<uint8_t>(i));
  EXPECT_LE(q.ColorCount(), 8);
  EXPECT_EQ(q.ColorTable().size(), static_cast<size_t>(q.ColorCount()));
}

TEST(GIFReduce, RefusesWhatItCannotDoInsteadOfGivingAnEmptyPicture) {
  auto source = Rgb(2, 2, [](int, int) { return 0x336699u; });
  const auto message = [&](TGIFReductionMethod m, TGIFDitherMethod d, int bits) {
    try {
      ReduceBitmapColors(*source, m, d, nullptr, bits);
    } catch (const GIFException& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(message(grmOctree, gdmNearestColor, 0), "Invalid number of bits per pixel");
  EXPECT_EQ(message(grmOctree, gdmNearestColor, 9), "Invalid number of bits per pixel");
  EXPECT_EQ(message(grmCustomPalette, gdmNearestColor, 8), "Invalid reduction method");
  EXPECT_EQ(message(static_cast<TGIFReductionMethod>(12), gdmNearestColor, 8), "Invalid reduction method");
  EXPECT_EQ(message(grmWeb216, static_cast<TGIFDitherMethod>(9), 8), "Invalid reduction method");
  EXPECT_EQ(message(grmWeb216, gdmBurkes, 3), "");
  const PALETTEENTRY two[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  HPALETTE custom = CreatePaletteFromEntries(two, 2);
  auto reduced = ReduceBitmapColors(*source, grmCustomPalette, gdmFloydSteinberg, custom, 8);
  DeleteObject(custom);
  EXPECT_EQ(reduced->Width(), 2);
  EXPECT_EQ(reduced->ColorTable()[1].rgbRed, 255);
}

}  // namespace
