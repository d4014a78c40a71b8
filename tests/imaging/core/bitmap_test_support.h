#pragma once
// Helpers for the TIEBitmap tests: engine settings restored after each test, and bitmaps placed in
// memory or in a temporary file on request.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_settings.h"
#include "platform/gdi/bitmap.h"
#include "tests/support/test_support.h"

// Saves the settings a bitmap test may change and puts them back afterwards; temporary files go
// to a scratch folder of the test.
class BitmapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedOverride_ = MinFileSizeOverride;
    savedTemp_ = TempDirectory;
    savedFallback_ = FileFallbackOnLowMemory;
    savedSegmented_ = SegmentedAllocation;
    TempDirectory = scratch_.Path().string() + "/";
  }
  void TearDown() override {
    MinFileSizeOverride = savedOverride_;
    TempDirectory = savedTemp_;
    FileFallbackOnLowMemory = savedFallback_;
    SegmentedAllocation = savedSegmented_;
    TIEBitmap::MaxMemoryBlockForTesting() = -1;
  }

  // A bitmap whose allocations go to memory (ieMemory) or to a temporary file (ieFile).
  static std::unique_ptr<TIEBitmap> Make(int32_t w, int32_t h, TIEPixelFormat format, TIELocation where) {
    const int64_t saved = MinFileSizeOverride;
    MinFileSizeOverride = where == ieFile ? 0 : -1;
    auto bmp = std::make_unique<TIEBitmap>();
    MinFileSizeOverride = saved;
    EXPECT_TRUE(bmp->Allocate(w, h, format));
    EXPECT_EQ(bmp->Location(), where);
    return bmp;
  }

  // Number of files in the scratch folder.
  int FilesInTempFolder() const {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(scratch_.Path())) ++n;
    return n;
  }

  testsupport::ScratchDir scratch_;

 private:
  int64_t savedOverride_ = -1;
  std::string savedTemp_;
  bool savedFallback_ = true;
  bool savedSegmented_ = true;
};

// The first Count bytes of row Y, copied. A row pointer of a file-held bitmap lasts only until the
// next GetRow, so a row is never read through two GetRow calls in one expression.
inline std::vector<uint8_t> RowBytes(TIEBitmap& Bitmap, int32_t Y, size_t Count) {
  const uint8_t* row = Bitmap.Row<uint8_t>(Y);
  return std::vector<uint8_t>(row, row + Count);
}

// A 24-bit framework bitmap of w x h, white (a page to draw or print on).
inline std::unique_ptr<TBitmap> WhiteTBitmap(int32_t w, int32_t h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(clWhite);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  return b;
}

// Both storage locations, for tests that must behave the same in memory and in a file.
class BitmapLocationTest : public BitmapTest, public ::testing::WithParamInterface<TIELocation> {};

inline std::string LocationName(const ::testing::TestParamInfo<TIELocation>& info) {
  return info.param == ieMemory ? "Memory" : "File";
}

namespace bmptest {

// The pixel bytes of a bitmap row by row (the bits of an ie1g row as bytes 0/1).
inline std::vector<std::vector<uint8_t>> Pixels(TIEBitmap& b) {
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = 0; y < b.Height(); ++y) {
    const uint8_t* row = b.Row<uint8_t>(y);
    if (b.PixelFormat() == ie1g) {
      std::vector<uint8_t> bits;
      for (int32_t x = 0; x < b.Width(); ++x) bits.push_back(GetRowBit(row, x) ? 1 : 0);
      rows.push_back(bits);
    } else {
      rows.emplace_back(row, row + static_cast<size_t>(b.Width()) * IEBytesPerPixel[b.PixelFormat()]);
    }
  }
  return rows;
}

// Fills every pixel byte with a pattern of its position (Seed apart for source and destination);
// ie1g rows get alternating bits.
inline void Pattern(TIEBitmap& b, int Seed) {
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.Row<uint8_t>(y);
    if (b.PixelFormat() == ie1g) {
      for (int32_t x = 0; x < b.Width(); ++x) SetRowBit(row, x, (x + y + Seed) & 1);
    } else {
      const int32_t n = b.Width() * IEBytesPerPixel[b.PixelFormat()];
      for (int32_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(Seed * 101 + y * 37 + i * 3);
    }
  }
}

}  // namespace bmptest
