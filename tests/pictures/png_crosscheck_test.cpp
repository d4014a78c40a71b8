// Our PNG coding checked against independent codecs: files libpng writes in every colour type, depth
// and interlace load into the storage as the storage rules say, and every file we write passes
// pngcheck and decodes in libpng and ImageMagick to our samples. A missing oracle fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "pictures/png_ancillary.h"
#include "pictures/png_header.h"
#include "pictures/png_picture.h"
#include "pictures/png_samples.h"
#include "tests/pictures/png_test_support.h"
#include "tests/support/png_fixture.h"
#include "tests/support/test_support.h"

using testsupport::PngImage;

namespace {

struct Kind {
  int colorType;
  int bitDepth;
};

// Every colour type and depth the standard allows.
const Kind kKinds[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2},
                       {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

std::string Describe(const PngImage& im) {
  return "type " + std::to_string(im.colorType) + " depth " + std::to_string(im.bitDepth) +
         (im.interlaced ? " interlaced" : "");
}

PngImage Fixture(const Kind& k, bool interlaced, bool withTrns, uint32_t w = 13, uint32_t h = 11) {
  return testsupport::PatternImage(k.colorType, k.bitDepth, interlaced, withTrns, w, h);
}

// The sample of channel c of a file pixel as the storage keeps it (its high byte for 16 bits).
uint32_t High(const PngImage& im, uint32_t x, uint32_t y, int c) {
  const uint32_t v = im.Sample(x, y, c);
  return im.bitDepth == 16 ? v >> 8 : v;
}

// Checks every pixel of the storage against the file's samples by the storage rules.
void ExpectStorageHolds(const PngImage& im, TPNGObject& png) {
  ASSERT_EQ(png.Width(), static_cast<int32_t>(im.width));
  ASSERT_EQ(png.Height(), static_cast<int32_t>(im.height));
  const TChunkIHDR* h = png.CurrentHeader();
  const int bits = h->StorageBits();
  int mismatches = 0;
  for (uint32_t y = 0; y < im.height; ++y) {
    const uint8_t* row = png.RowPointer(static_cast<int32_t>(y));
    const uint8_t* alpha = png.AlphaRowPointer(static_cast<int32_t>(y));
    const uint8_t* low = png.LowByteRowPointer(static_cast<int32_t>(y));
    for (uint32_t x = 0; x < im.width && mismatches < 5; ++x) {
      std::vector<uint32_t> want, got;
      switch (im.colorType) {
        case 0:
        case 3: {
          uint32_t v = High(im, x, y, 0);
          if (im.bitDepth == 2 && im.colorType == 0) v *= 5;  // 2-bit grey kept as 5 x v at 4 bits
          want = {v};
          got = {PackedSample(row, x, bits)};
          if (im.bitDepth == 16) want.push_back(im.Sample(x, y, 0) & 0xFF), got.push_back(low[x]);
          break;
        }
        case 2:
        case 6:
          want = {High(im, x, y, 2), High(im, x, y, 1), High(im, x, y, 0)};
          got = {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
          if (im.bitDepth == 16)
            for (int c = 2; c >= 0; --c) want.push_back(im.Sample(x, y, c) & 0xFF), got.push_back(low[3 * x + 2 - c]);
          if (im.colorType == 6) want.push_back(High(im, x, y, 3)), got.push_back(alpha[x]);
          break;
        case 4:
          want = {High(im, x, y, 0), High(im, x, y, 1)};
          got = {row[x], alpha[x]};
          if (im.bitDepth == 16) want.push_back(im.Sample(x, y, 0) & 0xFF), got.push_back(low[x]);
          break;
      }
      if (want != got) {
        ++mismatches;
        ADD_FAILURE() << Describe(im) << ": pixel " << x << "," << y;
      }
    }
  }
}

// The samples a file of ours holds for an image first read from im: 2-bit samples are written at
// 4 bits (grey as 5 x v); 16-bit alpha keeps its high byte, widened (a x 257).
PngImage AsWeWriteIt(const PngImage& im) {
  if (im.bitDepth == 16 && (im.colorType == 4 || im.colorType == 6)) {
    PngImage out = im;
    const int a = im.Channels() - 1;
    for (uint32_t y = 0; y < im.height; ++y)
      for (uint32_t x = 0; x < im.width; ++x) out.SetSample(x, y, a, (im.Sample(x, y, a) >> 8) * 257);
    return out;
  }
  if (im.bitDepth != 2) return im;
  PngImage out = PngImage::Make(im.width, im.height, im.colorType, 4, im.interlaced);
  out.palette = im.palette;
  out.trns = im.trns;
  for (uint32_t y = 0; y < im.height; ++y)
    for (uint32_t x = 0; x < im.width; ++x)
      out.SetSample(x, y, 0, im.colorType == 0 ? 5 * im.Sample(x, y, 0) : im.Sample(x, y, 0));
  if (im.colorType == 0 && !im.trns.empty()) out.trns = {0, static_cast<uint8_t>(5 * im.trns[1])};
  return out;
}

std::string WriteFile(const testsupport::ScratchDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = dir.File(name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace

TEST(PngCrossCheck, LibpngFilesOfEveryTypeDepthAndInterlaceLoadByTheStorageRules) {
  for (const Kind& k : kKinds)
    for (bool interlaced : {false, true})
      for (bool trns : {false, true}) {
        if (trns && (k.colorType == 4 || k.colorType == 6)) continue;
        PngImage im = Fixture(k, interlaced, trns);
        SCOPED_TRACE(Describe(im) + (trns ? " tRNS" : ""));
        auto png = pngtest::Loaded(testsupport::WritePngWithLibpng(im));
        EXPECT_EQ(png->InterlaceKind(), interlaced ? 1 : 0);
        ExpectStorageHolds(im, *png);
        const int kind = png->TransparencyKind();
        if (k.colorType == 4 || k.colorType == 6) EXPECT_EQ(kind, 2);
        else if (!trns) EXPECT_EQ(kind, 0);
        else EXPECT_EQ(kind, k.colorType == 3 ? 2 : 1);  // the palette's tRNS holds a partial 128
      }
}

TEST(PngCrossCheck, LibpngAncillaryChunksLoad) {
  PngImage im = Fixture({2, 8}, false, true);
  im.hasPhys = true, im.physX = 3780, im.physY = 2835, im.physUnit = 1;
  im.hasTime = true, im.year = 2024, im.month = 2, im.day = 29, im.hour = 23, im.minute = 59, im.second = 60;
  im.texts = {{"Title", "Caf\xe9 au lait", false}, {"Comment", std::string(3000, 'z') + "\xff", true}};
  auto png = pngtest::Loaded(testsupport::WritePngWithLibpng(im));
  ExpectStorageHolds(im, *png);
  auto* phys = png->ChunkList().ItemFromClass<TChunkpHYs>();
  ASSERT_NE(phys, nullptr);
  EXPECT_EQ(phys->PPUnitX, 3780u);
  EXPECT_EQ(phys->PPUnitY, 2835u);
  EXPECT_EQ(phys->UnitType, 1);
  auto* time = png->ChunkList().ItemFromClass<TChunktIME>();
  ASSERT_NE(time, nullptr);
  EXPECT_EQ(time->Year, 2024);
  EXPECT_EQ(time->Second, 60);
  std::vector<std::pair<std::string, std::string>> texts;
  for (int32_t i = 0; i < png->ChunkList().Count(); ++i)
    if (auto* t = dynamic_cast<TChunktEXt*>(png->ChunkList().Item(i))) texts.emplace_back(t->Keyword(), t->Text());
  // Held as UTF-8: e-acute is C3 A9, y-diaeresis C3 BF.
  EXPECT_EQ(texts, (std::vector<std::pair<std::string, std::string>>{
                       {"Title", "Caf\xc3\xa9 au lait"}, {"Comment", std::string(3000, 'z') + "\xc3\xbf"}}));
  // Written back as Latin-1, compressed where it was.
  PngImage back = testsupport::ReadPngWithLibpng(pngtest::Saved(*png));
  ASSERT_EQ(back.texts.size(), 2u);
  EXPECT_EQ(back.texts[0].text, "Caf\xe9 au lait");
  EXPECT_FALSE(back.texts[0].compressed);
  EXPECT_EQ(back.texts[1].text, std::string(3000, 'z') + "\xff");
  EXPECT_TRUE(back.texts[1].compressed);
  EXPECT_TRUE(back.hasTime);
  EXPECT_EQ(back.physX, 3780u);
}

TEST(PngCrossCheck, GammaOfLibpngFilesAppliesTheTable) {
  PngImage im = Fixture({2, 8}, false, false);
  im.gamma = 45455;
  auto png = pngtest::Loaded(testsupport::WritePngWithLibpng(im));
  // The table by its formula, worked here independently: Round(255 (i / 255) ^ (1 / (g x 2.2))).
  const double exponent = 1.0 / (0.45455 * 2.2);
  for (uint32_t x = 0; x < im.width; ++x) {
    const uint8_t* row = png->RowPointer(3);
    const auto expect = [&](int c) {
      return static_cast<int>(std::nearbyint(255.0 * std::pow(im.Sample(x, 3, c) / 255.0, exponent)));
    };
    EXPECT_EQ(row[3 * x + 2], expect(0));
    EXPECT_EQ(row[3 * x + 1], expect(1));
    EXPECT_EQ(row[3 * x], expect(2));
  }
}

TEST(PngCrossCheck, OurFilesPassPngcheckAndDecodeInLibpngAndImageMagick) {
  const std::string pngcheck = testsupport::FindProgram({"pngcheck"});
  ASSERT_FALSE(pngcheck.empty()) << "pngcheck is not installed (scripts/install-deps.sh installs it)";
  testsupport::ScratchDir dir;
  int n = 0;
  const TPNGRowFilters filterSets[] = {{prfSub}, {prfNone, prfSub, prfUp, prfAverage, prfPaeth}, {prfPaeth}, {}};
  // Every file is written and read back by libpng first; pngcheck and ImageMagick then take them all
  // in one run each.
  std::vector<std::string> paths;
  std::vector<uint16_t> expectedRGBA;
  for (const Kind& k : kKinds)
    for (bool interlaced : {false, true}) {
      const bool trns = k.colorType != 4 && k.colorType != 6 && (n % 2 == 0);
      PngImage im = Fixture(k, interlaced, trns, 19, 7);
      SCOPED_TRACE(Describe(im));
      auto png = pngtest::Loaded(testsupport::WritePngWithLibpng(im));
      png->SetRowFilters(filterSets[n % 4]);
      png->SetIdatChunkSize(65535);
      const std::vector<uint8_t> ours = pngtest::Saved(*png);
      paths.push_back(WriteFile(dir, "ours" + std::to_string(n++) + ".png", ours));

      const PngImage expected = AsWeWriteIt(im);
      const PngImage viaLibpng = testsupport::ReadPngWithLibpng(ours);
      EXPECT_EQ(viaLibpng.colorType, expected.colorType);
      EXPECT_EQ(viaLibpng.bitDepth, expected.bitDepth);
      EXPECT_EQ(viaLibpng.interlaced, interlaced);
      EXPECT_EQ(viaLibpng.rows, expected.rows);
      EXPECT_EQ(viaLibpng.trns, expected.trns);
      const std::vector<uint16_t> rgba = testsupport::ExpandToRGBA16(expected);
      expectedRGBA.insert(expectedRGBA.end(), rgba.begin(), rgba.end());
    }

  std::string command = "'" + pngcheck + "' -v";
  for (const std::string& path : paths) command += " '" + path + "'";
  std::string report;
  EXPECT_EQ(testsupport::RunProgram(command, &report), 0) << report;

  bool haveMagick = false;
  const std::vector<uint16_t> viaMagick = testsupport::DecodeWithImageMagick(paths, haveMagick);
  ASSERT_TRUE(haveMagick) << "ImageMagick is not installed (scripts/install-deps.sh installs it)";
  ASSERT_EQ(viaMagick.size(), expectedRGBA.size());
  // Compared file by file, so that a failure names the file.
  const size_t each = expectedRGBA.size() / paths.size();
  for (size_t i = 0; i < paths.size(); ++i)
    EXPECT_TRUE(std::equal(viaMagick.begin() + i * each, viaMagick.begin() + (i + 1) * each, expectedRGBA.begin() + i * each))
        << paths[i];
}
