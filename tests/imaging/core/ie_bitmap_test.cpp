// TIEBitmap: construction, placement between memory and file, storage hand-over, wrapped memory and
// row access.
#include "imaging/core/ie_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_file_buffer.h"
#include "platform/system/exception.h"
#include "platform/system/temp_files.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

// Writes a distinct byte pattern into every row (byte i of row y = y * 7 + i).
void WritePattern(TIEBitmap& bmp) {
  for (int32_t y = 0; y < bmp.Height(); ++y) {
    uint8_t* row = bmp.Row<uint8_t>(y);
    for (int32_t i = 0; i < bmp.RowLen(); ++i) row[i] = static_cast<uint8_t>(y * 7 + i);
  }
}

bool HasPattern(TIEBitmap& bmp, int32_t bytes = -1) {
  if (bytes < 0) bytes = bmp.RowLen();
  for (int32_t y = 0; y < bmp.Height(); ++y) {
    const uint8_t* row = bmp.Row<uint8_t>(y);
    for (int32_t i = 0; i < bytes; ++i)
      if (row[i] != static_cast<uint8_t>(y * 7 + i)) return false;
  }
  return true;
}

}  // namespace

TEST_F(BitmapTest, NewBitmapDefaults) {
  TIEBitmap bmp;
  EXPECT_TRUE(bmp.IsEmpty());
  EXPECT_EQ(bmp.Location(), ieFile);
  EXPECT_EQ(bmp.PixelFormat(), ieNoFormat);
  EXPECT_EQ(bmp.RowAlignment(), 32);
  EXPECT_EQ(bmp.BWConversion(), 1);
  EXPECT_EQ(bmp.PaletteUsed(), 256);
  EXPECT_EQ(bmp.RowAccess(), iraReadWrite);
  EXPECT_FALSE(bmp.HasAlphaChannel());
  EXPECT_GT(bmp.MemoryThreshold(), 0);

  MinFileSizeOverride = 12345;
  TIEBitmap fixed;
  EXPECT_EQ(fixed.MemoryThreshold(), 12345);
}

TEST_F(BitmapTest, CreateWithSizeSetsDerivedFields) {
  TIEBitmap bmp(3, 2, ie24RGB);
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(bmp.Height(), 2);
  EXPECT_EQ(bmp.BitCount(), 24);
  EXPECT_EQ(bmp.ChannelCount(), 3);
  EXPECT_EQ(bmp.RowLen(), 12);
  EXPECT_EQ(bmp.Location(), ieMemory);
  EXPECT_FALSE(bmp.Full());
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bmp.GetRow(1)) % 64, 0u);  // the bottom row starts the block

  TIEBitmap pal(2, 2, ie8p);
  EXPECT_EQ(pal.GetPaletteLength(), 256);
  EXPECT_NE(pal.GetPaletteBuffer(), nullptr);
}

TEST_F(BitmapTest, NewPixelsAndPaddingReadAsZeros) {
  for (uint8_t mode : {0, 1, 2}) {
    for (int32_t width : {3, 700}) {  // a heap block, and one of the global allocator (over 1 MiB)
      TIEBitmap bmp;
      bmp.SetAllocationMode(mode);
      ASSERT_TRUE(bmp.Allocate(width, 600, ie24RGB));
      for (int32_t y = 0; y < bmp.Height(); y += 97) {
        const uint8_t* row = bmp.Row<uint8_t>(y);
        for (int32_t i = 0; i < bmp.RowLen(); ++i) ASSERT_EQ(row[i], 0) << "mode " << int(mode) << " row " << y;
      }
    }
  }
}

TEST_F(BitmapTest, ABitmapInTheMemoryOfAFreedOneReadsAsZeros) {
  // Large blocks freed are kept for the next bitmap of their size: what the last picture left in
  // them must not show through, in the block or in segments.
  MinFileSizeOverride = -1;
  for (uint8_t mode : {1, 2}) {
    for (bool segments : {false, true}) {
      // 6000 x 2400 RGB: one block of 43 MB, or (the block refused) four segments of 10.8 MB.
      SegmentedAllocation = segments;
      TIEBitmap::MaxMemoryBlockForTesting() = segments ? 20 << 20 : -1;
      for (int round = 0; round < 2; ++round) {
        TIEBitmap bmp;
        bmp.SetAllocationMode(mode);
        ASSERT_TRUE(bmp.Allocate(6000, 2400, ie24RGB));
        ASSERT_EQ(bmp.Location(), ieMemory);
        for (int32_t y = 0; y < bmp.Height(); ++y) {
          const uint8_t* row = bmp.Row<uint8_t>(y);
          for (int32_t i = 0; i < bmp.RowLen(); ++i)
            ASSERT_EQ(row[i], 0) << "mode " << int(mode) << " segments " << segments << " round " << round;
        }
        WritePattern(bmp);
      }
    }
  }
}

TEST_F(BitmapTest, AllocateRejectsBadSizesAndFormats) {
  struct Case { int32_t w, h; TIEPixelFormat f; };
  for (const Case& c : {Case{0, 5, ie8g}, Case{5, 0, ie8g}, Case{-1, 5, ie8g}, Case{5, 5, ieNoFormat},
                        Case{0x7FFFFFFF, 1, ie24RGB}, Case{0x7FFFFFFF, 0x7FFFFFFF, ie8g}}) {
    TIEBitmap bmp(4, 4, ie8g);
    EXPECT_FALSE(bmp.Allocate(c.w, c.h, c.f)) << c.w << "x" << c.h;
    EXPECT_EQ(bmp.Width(), 0);
    EXPECT_EQ(bmp.Height(), 0);
    EXPECT_TRUE(bmp.IsEmpty());
    EXPECT_EQ(bmp.PixelFormat(), c.f);  // the format is kept
  }
}

TEST_F(BitmapTest, PlacementByThreshold) {
  // 10 x 10 ie24RGB: rows of 32 bytes, 320 bytes in all.
  MinFileSizeOverride = 320;
  TIEBitmap atThreshold(10, 10, ie24RGB);
  EXPECT_EQ(atThreshold.Location(), ieFile);

  MinFileSizeOverride = 321;
  TIEBitmap below(10, 10, ie24RGB);
  EXPECT_EQ(below.Location(), ieMemory);

  // A memory bitmap that grows past its threshold moves to a file at its next allocation.
  EXPECT_TRUE(below.Allocate(11, 10, ie24RGB));
  EXPECT_EQ(below.Location(), ieFile);

  MinFileSizeOverride = 0;
  TIEBitmap tiny(1, 1, ie1g);
  EXPECT_EQ(tiny.Location(), ieFile);
}

TEST_F(BitmapTest, FixedLocationKeepsCopiesWhereTheyWereAsked) {
  // Under the size rule the small copy would go to memory and the large one to a file.
  MinFileSizeOverride = 1000;
  auto source = Make(40, 40, ie24RGB, ieMemory);
  source->GetAlphaChannel()->SetPixel8(3, 4, 7);
  auto small = Make(2, 2, ie8g, ieMemory);

  auto inFile = TIEBitmap::CreateInFixedLocation(ieFile);
  EXPECT_EQ(inFile->MemoryThreshold(), 0);
  inFile->Assign(*small);
  EXPECT_EQ(inFile->Location(), ieFile);
  inFile->Assign(*source);
  EXPECT_EQ(inFile->Location(), ieFile);
  EXPECT_EQ(inFile->GetAlphaChannel()->Location(), ieFile);  // 1600 bytes of alpha: a file too

  auto inMemory = TIEBitmap::CreateInFixedLocation(ieMemory);
  inMemory->Assign(*source);  // 4800 bytes, over the threshold
  EXPECT_EQ(inMemory->Location(), ieMemory);
  EXPECT_EQ(inMemory->GetAlphaChannel()->Location(), ieMemory);
  EXPECT_EQ(inMemory->GetAlphaChannel()->GetPixel8(3, 4), 7);
  EXPECT_EQ(inMemory->GetPixel24(39, 39), source->GetPixel24(39, 39));
}

TEST_F(BitmapTest, FileThatCannotBeCreatedFallsBackToMemory) {
  MinFileSizeOverride = 0;
  TempDirectory = scratch_.Path().string() + "/no/such/folder/";
  TIEBitmap bmp(8, 8, ie8g);
  EXPECT_EQ(bmp.Location(), ieMemory);
  EXPECT_FALSE(bmp.FileBuffer().IsAllocated());
  EXPECT_FALSE(bmp.IsEmpty());
}

// A disk too full for the pixels (a file-size limit in a child process) is found at allocation, also
// on file systems without fallocate, where the file would otherwise grow sparsely and fail only at a
// later write: the bitmap then holds its pixels in memory and works.
TEST_F(BitmapTest, AFullDiskAtAllocationSendsThePixelsToMemory) {
  for (const bool fallocateAvailable : {true, false}) {
    SCOPED_TRACE(fallocateAvailable ? "with fallocate" : "without fallocate");
    const std::string report = testsupport::RunInChild({.FileSizeLimit = 64 << 10}, [&] {
      SetFallocateAvailableForTesting(fallocateAvailable);
      MinFileSizeOverride = 0;
      TIEBitmap bmp;
      if (!bmp.Allocate(400, 300, ie24RGB)) return std::string("not allocated");
      bmp.Fill(0x123456);
      bmp.SetPixel24(399, 299, CreateRGB(1, 2, 3));
      const TIERGB last = bmp.GetPixel24(399, 299), first = bmp.GetPixel24(0, 0);
      return std::string(bmp.Location() == ieMemory ? "memory" : "file") + Format(" %d,%d,%d %d,%d,%d", first.r,
             first.g, first.b, last.r, last.g, last.b);
    });
    EXPECT_EQ(report, "memory 86,52,18 1,2,3");  // TColor 0x123456 is red 0x56, green 0x34, blue 0x12
    EXPECT_TRUE(std::filesystem::is_empty(scratch_.Path()));
  }
}

TEST_F(BitmapTest, MemoryThatCannotBeHadUsesSegmentsThenFile) {
  // 16 rows of 100 bytes: one block of 1600 (+ slack) is refused, segments of 400 are not.
  TIEBitmap::MaxMemoryBlockForTesting() = 500;
  auto bmp = std::make_unique<TIEBitmap>(100, 16, ie8g);
  EXPECT_EQ(bmp->Location(), ieMemory);
  EXPECT_EQ(bmp->SegmentCount(), 4);
  EXPECT_EQ(bmp->RowsPerSegment(), 4);
  WritePattern(*bmp);
  EXPECT_TRUE(HasPattern(*bmp));
  // Segments hold the top rows first.
  EXPECT_EQ(bmp->Row<uint8_t>(1) - bmp->Row<uint8_t>(0), 100);

  // Segments refused too: a file, unless that fall-back is off.
  TIEBitmap::MaxMemoryBlockForTesting() = 100;
  TIEBitmap toFile(100, 16, ie8g);
  EXPECT_EQ(toFile.Location(), ieFile);
  EXPECT_EQ(toFile.SegmentCount(), 0);

  FileFallbackOnLowMemory = false;
  TIEBitmap none(100, 16, ie8g);
  EXPECT_TRUE(none.IsEmpty());

  FileFallbackOnLowMemory = true;
  SegmentedAllocation = false;
  TIEBitmap::MaxMemoryBlockForTesting() = 500;
  TIEBitmap noSegments(100, 16, ie8g);
  EXPECT_EQ(noSegments.Location(), ieFile);
}

TEST_P(BitmapLocationTest, SecondAllocateKeepsPixelsAndLocationRoundTripsKeepThem) {
  auto bmp = Make(100, 30, ie24RGB, GetParam());
  WritePattern(*bmp);
  EXPECT_TRUE(bmp->Allocate(100, 30, ie24RGB));
  EXPECT_TRUE(HasPattern(*bmp));

  bmp->SetLocation(GetParam() == ieMemory ? ieFile : ieMemory);
  bmp->SetLocation(GetParam());
  EXPECT_TRUE(HasPattern(*bmp));
}

TEST_P(BitmapLocationTest, MoveStorageToHandsOverEverything) {
  auto src = Make(20, 10, ie8p, GetParam());
  WritePattern(*src);
  src->SetPaletteColor(7, CreateRGB(1, 2, 3));
  src->GetAlphaChannel()->SetPixel8(2, 3, 77);
  src->SetBWConversion(0);

  TIEBitmap dest(5, 5, ie24RGB);
  src->MoveStorageTo(dest);
  EXPECT_TRUE(src->IsEmpty());
  EXPECT_EQ(src->PixelFormat(), ieNoFormat);
  EXPECT_FALSE(src->HasAlphaChannel());
  EXPECT_EQ(src->GetPaletteBuffer(), nullptr);
  EXPECT_EQ(src->Location(), GetParam());
  src.reset();  // freeing the source leaves the destination intact

  EXPECT_EQ(dest.Location(), GetParam());
  EXPECT_EQ(dest.Width(), 20);
  EXPECT_EQ(dest.PixelFormat(), ie8p);
  EXPECT_EQ(dest.BWConversion(), 0);
  EXPECT_TRUE(HasPattern(dest));
  EXPECT_TRUE(SameRGB(dest.GetPaletteColor(7), CreateRGB(1, 2, 3)));
  EXPECT_EQ(dest.GetAlpha(2, 3), 77);
}

TEST_P(BitmapLocationTest, FreeImageWithAndWithoutAlpha) {
  auto bmp = Make(4, 4, ie24RGB, GetParam());
  bmp->GetAlphaChannel();
  bmp->FreeImage(false);
  EXPECT_TRUE(bmp->IsEmpty());
  EXPECT_TRUE(bmp->HasAlphaChannel());
  EXPECT_EQ(bmp->PixelFormat(), ie24RGB);
  bmp->FreeImage(true);
  EXPECT_FALSE(bmp->HasAlphaChannel());
  bmp->FreeImage(true);  // a second release frees nothing twice
  EXPECT_TRUE(bmp->IsEmpty());
}

TEST_F(BitmapTest, FileRowsAreMappedOneAtATime) {
  auto bmp = Make(16, 4, ie8g, ieFile);
  // A row written through GetRow reaches the file when the next row is mapped.
  std::memset(bmp->GetRow(0), 0x11, 16);
  std::memset(bmp->GetRow(1), 0x22, 16);
  EXPECT_EQ(bmp->Row<uint8_t>(0)[15], 0x11);

  // AcquireRow keeps several rows at once, each in its own buffer.
  uint8_t* a = static_cast<uint8_t*>(bmp->AcquireRow(2));
  uint8_t* b = static_cast<uint8_t*>(bmp->AcquireRow(3));
  ASSERT_NE(a, b);
  std::memset(a, 0x33, 16);
  std::memset(b, 0x44, 16);
  bmp->ReleaseRow(3);
  bmp->ReleaseRow(2);
  bmp->ReleaseRow(2);  // not held: nothing
  EXPECT_EQ(bmp->Row<uint8_t>(2)[0], 0x33);
  EXPECT_EQ(bmp->Row<uint8_t>(3)[0], 0x44);

  // A pure reader's changes are not written back.
  bmp->SetRowAccess(iraRead);
  bmp->Row<uint8_t>(0)[0] = 0x99;
  bmp->GetRow(1);
  bmp->SetRowAccess(iraReadWrite);
  EXPECT_EQ(bmp->Row<uint8_t>(0)[0], 0x11);
}

TEST_F(BitmapTest, TemporaryFileGoesWithTheBitmap) {
  {
    auto bmp = Make(8, 8, ie8g, ieFile);
    EXPECT_TRUE(bmp->FileBuffer().IsAllocated());
    EXPECT_EQ(bmp->FileBuffer().FileName().rfind(TempDirectory + "IMG-", 0), 0u);
    bmp->FreeImage();
    EXPECT_FALSE(bmp->FileBuffer().IsAllocated());
    EXPECT_EQ(FilesInTempFolder(), 0);
    bmp->Allocate(8, 8, ie8g);
  }
  EXPECT_EQ(FilesInTempFolder(), 0);
}

TEST_F(BitmapTest, WrapMemoryUsesTheCallersRowsAndNeverFreesThem) {
  // 3 x 2 ie8g rows of 4 bytes, bottom row first.
  std::vector<uint8_t> buffer = {1, 2, 3, 0, 4, 5, 6, 0};
  {
    TIEBitmap bmp;
    bmp.WrapMemory(buffer.data(), 3, 2, ie8g, true, false);
    EXPECT_EQ(bmp.Location(), ieMemory);
    EXPECT_TRUE(bmp.ExternalMemory());
    EXPECT_EQ(bmp.GetPixel8(0, 0), 4);  // top row
    EXPECT_EQ(bmp.GetPixel8(2, 1), 3);

    bmp.WrapMemory(buffer.data(), 3, 2, ie8g, false, true);  // top row first
    EXPECT_EQ(bmp.GetPixel8(0, 0), 1);
    bmp.SetPixel8(1, 1, 50);
    EXPECT_EQ(buffer[5], 50);

    bmp.FreeImage();
    bmp.FreeImage();  // nothing freed twice, the caller's buffer never
    bmp.WrapMemory(buffer.data(), 3, 2, ie8g, true, false);
    EXPECT_TRUE(bmp.Allocate(10, 10, ie24RGB));  // own storage again
    EXPECT_FALSE(bmp.ExternalMemory());
    bmp.WrapMemory(nullptr, 3, 2, ie8g, false, false);  // nothing happens
    EXPECT_EQ(bmp.Width(), 10);
  }
  EXPECT_EQ(buffer[0], 1);  // still the caller's

  TIEBitmap pal;
  pal.WrapMemory(buffer.data(), 3, 2, ie8p, true, false);
  EXPECT_EQ(pal.GetPaletteLength(), 256);
}

TEST_F(BitmapTest, SetLocationMovesPixelsBetweenMemoryAndFile) {
  MinFileSizeOverride = 1000;
  TIEBitmap bmp(40, 40, ie8g);  // 1600 bytes: a file
  ASSERT_EQ(bmp.Location(), ieFile);
  WritePattern(bmp);
  bmp.GetAlphaChannel()->SetPixel8(1, 1, 9);
  bmp.SetLocation(ieMemory);  // the threshold sends it back to the file: the storage is kept
  EXPECT_EQ(bmp.Location(), ieFile);
  EXPECT_TRUE(HasPattern(bmp));

  MinFileSizeOverride = 0;
  TIEBitmap small(4, 4, ie8g);
  ASSERT_EQ(small.Location(), ieFile);
  WritePattern(small);
  small.SetLocation(ieMemory);
  EXPECT_EQ(small.Location(), ieFile);  // threshold 0 keeps every bitmap in a file

  TIEBitmap empty;
  empty.SetLocation(ieMemory);
  EXPECT_EQ(empty.Location(), ieMemory);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST_F(BitmapTest, FormatsAFrameworkBitmapCannotHoldRaiseAndKeepTheImage) {
  struct Case { TIEPixelFormat format; const char* text; };
  const Case cases[] = {
      {ie32f, "ie32f pixel format not allowed when Location=ieTBitmap Please set TZodazUrView.LegacyBitmap=false."},
      {ieCMYK, "ieCMYK pixel format not allowed when Location=ieTBitmap. Please set TZodazUrView.LegacyBitmap=false."},
      {ieRGB48, "ieRGB48 pixel format not allowed when Location=ieTBitmap Please set TZodazUrView.LegacyBitmap=false."},
      {ieCIELab, "ieCIELab pixel format not allowed when Location=ieTBitmap Please set TZodazUrView.LegacyBitmap=false."},
  };
  for (const Case& c : cases) {
    for (TIELocation where : {ieMemory, ieFile}) {
      auto bmp = Make(5, 3, c.format, where);
      WritePattern(*bmp);
      bmp->GetAlphaChannel()->SetPixel8(0, 0, 1);
      for (int attempt = 0; attempt < 3; ++attempt) {
        try {
          if (attempt == 0) bmp->SetLocation(ieTBitmap);
          if (attempt == 1) bmp->GetCanvas();
          if (attempt == 2) bmp->GetTBitmap();
          ADD_FAILURE() << "no exception for format " << int(c.format);
        } catch (const Exception& e) {
          EXPECT_EQ(e.Message(), c.text);
        }
        EXPECT_EQ(bmp->Location(), where);
        EXPECT_EQ(bmp->PixelFormat(), c.format);
        EXPECT_EQ(bmp->Width(), 5);
        EXPECT_TRUE(HasPattern(*bmp));
        ASSERT_TRUE(bmp->HasAlphaChannel());
        EXPECT_EQ(bmp->GetAlpha(0, 0), 1);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothLocations, BitmapLocationTest, ::testing::Values(ieMemory, ieFile), LocationName);
