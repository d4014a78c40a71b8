// Image data coding: IDAT chunks read as one stream and written in chunks of IdatChunkSize, filters
// undone and chosen, Adam7, the 2-bit grey layout, and the decoder's errors.
#include <gtest/gtest.h>

#include <random>

#include "pictures/png_errors.h"
#include "pictures/png_header.h"
#include "pictures/png_picture.h"
#include "tests/pictures/png_test_support.h"
#include "tests/support/png_fixture.h"

using pngtest::Deflate;
using pngtest::PngFile;

namespace {

// The zlib data of a file's IDAT chunks, inflated: filter type byte then row bytes, row after row.
std::vector<uint8_t> InflatedImageData(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> z;
  for (const auto& c : pngtest::Chunks(file))
    if (c.name == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
  std::vector<uint8_t> out(1 << 22);
  uLongf size = static_cast<uLongf>(out.size());
  EXPECT_EQ(uncompress(out.data(), &size, z.data(), static_cast<uLong>(z.size())), Z_OK);
  out.resize(size);
  return out;
}

// The filter type of each row of a non-interlaced file.
std::vector<int> FilterTypes(const std::vector<uint8_t>& file, size_t rowBytes) {
  const std::vector<uint8_t> data = InflatedImageData(file);
  std::vector<int> types;
  for (size_t p = 0; p < data.size(); p += rowBytes + 1) types.push_back(data[p]);
  return types;
}

// An 8-bit grey picture made by loading rows (filter 0) through our own loader.
std::unique_ptr<TPNGObject> GreyPicture(const std::vector<std::vector<uint8_t>>& rows) {
  const auto w = static_cast<uint32_t>(rows[0].size()), h = static_cast<uint32_t>(rows.size());
  return pngtest::Loaded(PngFile().IHDR(w, h, 8, ctGrayscale).Chunk("IDAT", Deflate(pngtest::Unfiltered(rows))).IEND().Bytes());
}

std::vector<uint8_t> NoiseRow(size_t n, std::mt19937& rng) {
  std::vector<uint8_t> r(n);
  for (auto& b : r) b = static_cast<uint8_t>(rng());
  return r;
}

}  // namespace

TEST(PngImageData, SplitImageDataDecodesAsOneStreamAndChecksEachCRC) {
  std::mt19937 rng(7);
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < 20; ++y) rows.push_back(NoiseRow(30, rng));
  const std::vector<uint8_t> z = Deflate(pngtest::Unfiltered(rows));
  const std::vector<uint8_t> a(z.begin(), z.begin() + 100), b(z.begin() + 100, z.begin() + 300), c(z.begin() + 300, z.end());
  auto png = pngtest::Loaded(PngFile().IHDR(30, 20, 8, ctGrayscale).Chunk("IDAT", a).Chunk("IDAT", {}).Chunk("IDAT", b).Chunk("IDAT", c).IEND().Bytes());
  for (int y = 0; y < 20; ++y) EXPECT_EQ(std::vector<uint8_t>(png->RowPointer(y), png->RowPointer(y) + 30), rows[y]);

  TPNGObject broken;
  const auto bad = PngFile().IHDR(30, 20, 8, ctGrayscale).Chunk("IDAT", a).ChunkWithCRC("IDAT", b, 12345).Chunk("IDAT", c).IEND();
  EXPECT_THROW(pngtest::Load(broken, bad.Bytes()), EPngInvalidCRC);
  // What came before the damage stays.
  EXPECT_EQ(std::vector<uint8_t>(broken.RowPointer(0), broken.RowPointer(0) + 30), rows[0]);
}

TEST(PngImageData, DecoderErrorsAsATable) {
  std::mt19937 rng(3);
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < 16; ++y) rows.push_back(NoiseRow(40, rng));
  const std::vector<uint8_t> z = Deflate(pngtest::Unfiltered(rows));
  const std::vector<uint8_t> head(z.begin(), z.begin() + 200), tail(z.begin() + 200, z.end());
  std::vector<uint8_t> corrupt = z;
  corrupt[2] = 0xFF;  // an invalid block type
  std::vector<uint8_t> withDictionary = {0x78, 0xBB, 0, 0, 0, 1};  // FDICT set, header check valid
  const auto ihdr = [] { return PngFile().IHDR(40, 16, 8, ctGrayscale); };
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    std::string cls;
    std::string message;
  } cases[] = {
      {"tEXt where more data are needed", ihdr().Chunk("IDAT", head).Chunk("tEXt", {'a', 0, 'b'}).Chunk("IDAT", tail).IEND().Bytes(),
       "EPNGMissingMultipleIDAT", pngtext::kMissingMultipleIDAT},
      {"data end before the last row", ihdr().Chunk("IDAT", head).IEND().Bytes(), "EPNGMissingMultipleIDAT",
       pngtext::kMissingMultipleIDAT},
      {"damaged compressed data", ihdr().Chunk("IDAT", corrupt).IEND().Bytes(), "EPNGZLIBError",
       std::string(pngtext::kZlibError) + "data error (-3)"},
      {"a preset dictionary", ihdr().Chunk("IDAT", withDictionary).IEND().Bytes(), "EPNGZLIBError",
       std::string(pngtext::kZlibError) + "need dictionary (2)"},
  };
  for (const Case& c : cases) {
    TPNGObject png;
    EXPECT_EQ(pngtest::Raised([&] { pngtest::Load(png, c.file); }), (std::pair<std::string, std::string>{c.cls, c.message}))
        << c.what;
  }
  // The zlib descriptions for every code.
  const std::pair<int, const char*> codes[] = {{-6, "incompatible version (-6)"}, {-5, "buffer error (-5)"},
                                               {-4, "insufficient memory (-4)"},  {-3, "data error (-3)"},
                                               {-2, "stream error (-2)"},         {-1, "file error (-1)"},
                                               {0, "(0)"},                        {1, "stream end (1)"},
                                               {2, "need dictionary (2)"}};
  for (const auto& [code, text] : codes) EXPECT_EQ(PNGZlibDescription(code), text);
}

TEST(PngImageData, FileCutInsideTheImageDataKeepsTheRowsReadAndReportsTheCRC) {
  std::mt19937 rng(11);
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < 64; ++y) rows.push_back(NoiseRow(64, rng));
  std::vector<uint8_t> file = PngFile().IHDR(64, 64, 8, ctGrayscale).Chunk("IDAT", Deflate(pngtest::Unfiltered(rows))).IEND().Bytes();
  file.resize(file.size() / 2);
  TPNGObject png;
  EXPECT_THROW(pngtest::Load(png, file), EPngInvalidCRC);
  ASSERT_EQ(png.Width(), 64);
  EXPECT_EQ(std::vector<uint8_t>(png.RowPointer(5), png.RowPointer(5) + 64), rows[5]);
  EXPECT_EQ(std::vector<uint8_t>(png.RowPointer(63), png.RowPointer(63) + 64), std::vector<uint8_t>(64, 0));
}

TEST(PngImageData, WrittenInChunksOfIdatChunkSizeAndAShorterLastOne) {
  std::mt19937 rng(5);
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < 300; ++y) rows.push_back(NoiseRow(300, rng));  // noise: about 90000 compressed bytes
  auto png = GreyPicture(rows);
  for (uint32_t size : {65535u, 1000u}) {
    png->SetIdatChunkSize(size);
    std::vector<size_t> sizes;
    size_t total = 0;
    for (const auto& c : pngtest::Chunks(pngtest::Saved(*png)))
      if (c.name == "IDAT") sizes.push_back(c.data.size()), total += c.data.size();
    ASSERT_GT(total, 65535u);
    ASSERT_EQ(sizes.size(), (total + size - 1) / size);
    for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], size);
    EXPECT_EQ(sizes.back(), total - size * (sizes.size() - 1));
  }
}

TEST(PngImageData, ChunkSizesOutsideWhatAChunkHoldsAreBroughtInside) {
  auto png = GreyPicture({{1, 2, 3}, {4, 5, 6}});
  png->SetIdatChunkSize(0);  // no chunk can be empty: one byte each
  const std::vector<uint8_t> file = pngtest::Saved(*png);
  size_t chunks = 0;
  for (const auto& c : pngtest::Chunks(file))
    if (c.name == "IDAT") {
      EXPECT_EQ(c.data.size(), 1u);
      ++chunks;
    }
  EXPECT_GT(chunks, 8u);
  EXPECT_EQ(pngtest::Loaded(file)->RowPointer(1)[2], 6);
}

TEST(PngImageData, ImageDataAfterTheImageAndASecondHeaderArePassedOver) {
  const std::vector<uint8_t> z = Deflate(pngtest::Unfiltered({{7, 8}}));
  auto png = pngtest::Loaded(PngFile()
                                 .IHDR(2, 1, 8, ctGrayscale)
                                 .Chunk("IDAT", z)
                                 .Chunk("tEXt", {'k', 0, 'v'})
                                 .Chunk("IDAT", Deflate({0, 99, 99}))
                                 .IHDR(9, 9, 8, ctRGB)
                                 .IEND()
                                 .Bytes());
  EXPECT_EQ(png->Width(), 2);
  EXPECT_EQ(png->RowPointer(0)[1], 8);
  std::vector<std::string> names;
  for (int32_t i = 0; i < png->ChunkList().Count(); ++i) names.push_back(png->ChunkList().Item(i)->GetName());
  EXPECT_EQ(names, (std::vector<std::string>{"IHDR", "IDAT", "tEXt", "IEND"}));
}

TEST(PngImageData, FilterChoicePerFilterSet) {
  // Rows built to favour one filter: a ramp whose slope changes from row to row is constant under
  // Sub and has no repeats under None or Up; a constant row repeats under every filter.
  std::vector<std::vector<uint8_t>> ramp, flat;
  for (int y = 0; y < 6; ++y) {
    std::vector<uint8_t> r(48), f(48, static_cast<uint8_t>(40 + y));
    for (int x = 0; x < 48; ++x) r[x] = static_cast<uint8_t>(x * (y + 1));
    ramp.push_back(r);
    flat.push_back(f);
  }
  struct Case {
    const char* what;
    const std::vector<std::vector<uint8_t>>& rows;
    TPNGRowFilters filters;
    int type;
  } cases[] = {
      {"default", ramp, TPNGRowFilters{prfSub}, 1},
      {"empty set", ramp, TPNGRowFilters{}, 0},
      {"None alone", ramp, TPNGRowFilters{prfNone}, 0},
      {"Paeth alone", flat, TPNGRowFilters{prfPaeth}, 4},
      {"Average alone", flat, TPNGRowFilters{prfAverage}, 3},
      {"ramp: Sub scores", ramp, TPNGRowFilters{prfNone, prfSub, prfUp}, 1},
      {"ramp: nothing scores", ramp, TPNGRowFilters{prfNone, prfUp}, 0},
      {"flat: None keeps a tie", flat, TPNGRowFilters{prfNone, prfSub, prfUp}, 0},
      {"flat: Sub keeps a tie", flat, TPNGRowFilters{prfSub, prfUp, prfPaeth}, 1},
  };
  for (const Case& c : cases) {
    auto png = GreyPicture(c.rows);
    png->SetRowFilters(c.filters);
    const std::vector<int> types = FilterTypes(pngtest::Saved(*png), 48);
    EXPECT_EQ(types, std::vector<int>(6, c.type)) << c.what;
    // Whatever the choice, the file decodes to the rows.
    auto back = pngtest::Loaded(pngtest::Saved(*png));
    for (int y = 0; y < 6; ++y)
      EXPECT_EQ(std::vector<uint8_t>(back->RowPointer(y), back->RowPointer(y) + 48), c.rows[y]) << c.what;
  }
  // Rows equal to the row above: Up leaves zeros and wins from the second row on.
  std::mt19937 rng(9);
  const std::vector<uint8_t> noise = NoiseRow(48, rng);
  auto png = GreyPicture(std::vector<std::vector<uint8_t>>(5, noise));
  png->SetRowFilters({prfNone, prfSub, prfUp, prfAverage, prfPaeth});
  const std::vector<int> types = FilterTypes(pngtest::Saved(*png), 48);
  EXPECT_EQ(std::vector<int>(types.begin() + 1, types.end()), std::vector<int>(4, 2));
}

TEST(PngImageData, TwoBitGreyShowsFourLevelsAndIsWrittenAtFourBits) {
  // One row of the four 2-bit levels: 00 01 10 11.
  auto png = pngtest::Loaded(PngFile().IHDR(4, 1, 2, ctGrayscale).Chunk("IDAT", Deflate({0, 0x1B})).IEND().Bytes());
  EXPECT_EQ(png->CurrentHeader()->StorageBits(), 4);
  for (int x = 0; x < 4; ++x) {
    const uint8_t v = static_cast<uint8_t>(85 * x);
    EXPECT_EQ(png->PixelAt(x, 0), static_cast<TColor>(RGB(v, v, v))) << x;
  }
  // Stored as 5 x v, and so written: a file of depth 4 holding 0, 5, 10, 15.
  const std::vector<uint8_t> saved = pngtest::Saved(*png);
  const testsupport::PngImage back = testsupport::ReadPngWithLibpng(saved);
  EXPECT_EQ(back.bitDepth, 4);
  EXPECT_EQ(back.rows, (std::vector<uint8_t>{0x05, 0xAF}));
  EXPECT_EQ(png->CurrentHeader()->BitDepth(), 4);
}

TEST(PngImageData, InterlacedOneByOneHasDataOnlyInTheFirstPass) {
  auto png = pngtest::Loaded(PngFile().IHDR(1, 1, 8, ctGrayscale, 1).Chunk("IDAT", Deflate({0, 77})).IEND().Bytes());
  EXPECT_EQ(png->RowPointer(0)[0], 77);
  EXPECT_EQ(InflatedImageData(pngtest::Saved(*png)), (std::vector<uint8_t>{1, 77}));
}

