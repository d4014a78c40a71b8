#include "imaging/core/ie_virtual_image_list.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_settings.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

// Sets a setting for one test and restores it.
template <class T>
class SettingScope {
 public:
  SettingScope(T& setting, T value) : setting_(setting), old_(setting) { setting = value; }
  ~SettingScope() { setting_ = old_; }

 private:
  T& setting_;
  T old_;
};

// A bitmap whose every byte differs from its neighbours, so shifted or swapped rows show.
std::unique_ptr<TIEBitmap> Pattern(int32_t w, int32_t h, TIEPixelFormat format, uint8_t seed = 0) {
  auto b = std::make_unique<TIEBitmap>(w, h, format);
  const int32_t packed = RowLength(w, b->BitCount(), 8);
  for (int32_t y = 0; y < h; ++y) {
    auto* row = b->Row<uint8_t>(y);
    for (int32_t i = 0; i < packed; ++i) row[i] = static_cast<uint8_t>(seed + y * 31 + i * 7 + 1);
  }
  if (format == ie8p)
    for (int i = 0; i < 256; ++i) b->SetPaletteColor(i, TIERGB{uint8_t(i), uint8_t(i ^ 0x55), uint8_t(255 - i)});
  return b;
}

// Pixel bytes (no padding) of two bitmaps agree.
void ExpectSamePixels(TIEBitmap& a, TIEBitmap& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  ASSERT_EQ(a.PixelFormat(), b.PixelFormat());
  const int32_t packed = RowLength(a.Width(), a.BitCount(), 8);
  for (int32_t y = 0; y < a.Height(); ++y) {
    const size_t n = static_cast<size_t>(packed);
    ASSERT_EQ(RowBytes(a, y, n), RowBytes(b, y, n)) << "row " << y;
  }
}

class ImageStore : public testing::TestWithParam<bool> {
 protected:
  TIEVirtualImageList store{"ILIST", GetParam()};
};

INSTANTIATE_TEST_SUITE_P(FileAndMemory, ImageStore, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) { return i.param ? "File" : "Memory"; });

TEST_P(ImageStore, EveryFormatRoundTrips) {
  EXPECT_TRUE(store.StoreOpen());
  EXPECT_EQ(store.StoreIsFile(), GetParam());
  for (TIEPixelFormat f : {ie1g, ie8p, ie8g, ie16g, ie24RGB, ie32f, ieCMYK, ieRGB48, ieCIELab, ie32RGB}) {
    SCOPED_TRACE(static_cast<int>(f));
    auto source = Pattern(7, 5, f, static_cast<uint8_t>(f));
    TIEVirtualImage* image = store.AddBitmap(source.get());
    EXPECT_EQ(image->Size, 5 * RowLength(7, source->BitCount(), 32) + (f == ie8p ? 768 : 0));
    TIEBitmap back;
    ASSERT_TRUE(store.CopyToBitmap(image, &back));
    ExpectSamePixels(*source, back);
    if (f == ie8p) {
      EXPECT_EQ(back.GetPaletteColor(9).g, 9 ^ 0x55);
    }
    EXPECT_FALSE(back.HasAlphaChannel());
  }
}

TEST_P(ImageStore, CacheKeepsTheLeastRecentlyUsedOrder) {
  std::vector<TIEVirtualImage*> images;
  for (int i = 0; i < 11; ++i) images.push_back(store.AddBitmap(Pattern(4, 4, ie24RGB, uint8_t(i)).get()));
  EXPECT_EQ(store.MappedCount(), 11);  // CacheSize + 1
  for (auto* image : images) EXPECT_NE(image->Data, nullptr);
  ASSERT_NE(store.GetImageBits(images[1]), nullptr);  // the second moves to the back
  images.push_back(store.AddBitmap(Pattern(4, 4, ie24RGB, 11).get()));
  EXPECT_EQ(store.MappedCount(), 11);
  EXPECT_EQ(images[0]->Data, nullptr);  // the first added went
  EXPECT_NE(images[1]->Data, nullptr);
  images.push_back(store.AddBitmap(Pattern(4, 4, ie24RGB, 12).get()));
  EXPECT_EQ(images[2]->Data, nullptr);  // then the third, not the second
  EXPECT_NE(images[1]->Data, nullptr);
  // Evicted images come back from the store intact.
  for (int i = 0; i < 13; ++i) {
    TIEBitmap back;
    ASSERT_TRUE(store.LoadIntoBitmap(images[i], &back));
    auto expected = Pattern(4, 4, ie24RGB, uint8_t(i));
    ExpectSamePixels(*expected, back);
  }
}

TEST_P(ImageStore, HolesAreReusedSplitAndMergedInListOrder) {
  // Rows of 16 pixels are 48 bytes: 16 rows make a 768-byte block.
  auto rows = [](int32_t h) { return Pattern(16, h, ie24RGB); };
  store.AddBitmap(rows(16).get());                      // a at 0
  TIEVirtualImage* b = store.AddBitmap(rows(16).get());  // b at 768
  TIEVirtualImage* c = store.AddBitmap(rows(16).get());  // c at 1536
  TIEVirtualImage* d = store.AddBitmap(rows(16).get());  // d at 2304
  ASSERT_EQ(b->Offset, 768);
  ASSERT_EQ(d->Offset, 2304);

  // An image of exactly the hole's size removes the hole.
  store.Delete(b);
  TIEVirtualImage* same = store.AddBitmap(rows(16).get());
  EXPECT_EQ(same->Offset, 768);
  EXPECT_TRUE(store.FreeBlocks().empty());
  // A smaller one takes the front of the hole and leaves the rest free.
  store.Delete(same);
  TIEVirtualImage* small = store.AddBitmap(rows(8).get());
  EXPECT_EQ(small->Offset, 768);
  ASSERT_EQ(store.FreeBlocks().size(), 1u);
  EXPECT_EQ(store.FreeBlocks()[0].Offset, 1152);
  EXPECT_EQ(store.FreeBlocks()[0].Size, 384);

  // Freed in ascending order, neighbours merge: 384 + 768 bytes take a 1152-byte image.
  store.Delete(c);
  TIEVirtualImage* big = store.AddBitmap(rows(24).get());
  EXPECT_EQ(big->Offset, 1152);
  EXPECT_TRUE(store.FreeBlocks().empty());

  // Freed in the other order they stay apart, and an image needing both is appended.
  const int64_t end = store.End();
  store.Delete(d);
  store.Delete(big);
  TIEVirtualImage* appended = store.AddBitmap(rows(40).get());
  EXPECT_EQ(appended->Offset, end);
  EXPECT_EQ(store.FreeBlocks().size(), 2u);

  // Any growth forgets the holes.
  store.ReserveSpace(100, 100, 24, 3);
  EXPECT_TRUE(store.FreeBlocks().empty());
  TIEBitmap back;
  ASSERT_TRUE(store.LoadIntoBitmap(small, &back));
  ExpectSamePixels(*rows(8), back);
}

TEST_P(ImageStore, LastDeleteShrinksTheStore) {
  // A block larger than the growth step enlarges the step.
  TIEVirtualImage* big = store.AddBitmap(Pattern(400, 300, ie24RGB).get());
  EXPECT_GT(store.GrowthStep(), TIEVirtualImageList::kGrowthStep);
  TIEVirtualImage* other = store.AddBitmap(Pattern(3, 3, ie8g).get());
  store.Delete(big);
  store.Delete(other);
  EXPECT_EQ(store.End(), 0);
  EXPECT_EQ(store.FileSize(), store.GrowthStep());
  EXPECT_EQ(store.AddBitmap(Pattern(3, 3, ie8g).get())->Offset, 0);
  EXPECT_EQ(store.ImageCount(), 1);
}

TEST_P(ImageStore, AlphaChannelsKeepTransparencyAndDropOpacity) {
  auto opaque = Pattern(5, 4, ie24RGB);
  opaque->GetAlphaChannel();  // fully opaque
  TIEVirtualImage* o = store.AddBitmap(opaque.get());
  EXPECT_TRUE(o->HasAlpha);
  EXPECT_EQ(store.GetImageAlphaBits(o), nullptr);
  TIEBitmap back;
  back.GetAlphaChannel();
  ASSERT_TRUE(store.LoadIntoBitmap(o, &back));
  EXPECT_FALSE(back.HasAlphaChannel());

  auto seeThrough = Pattern(5, 4, ie24RGB);
  seeThrough->SetAlpha(3, 1, 17);
  TIEVirtualImage* t = store.AddBitmap(seeThrough.get());
  const auto* bits = static_cast<const uint8_t*>(store.GetImageAlphaBits(t));
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(bits[(4 - 1 - 1) * 8 + 3], 17);  // bottom row first, rows of 8 bytes
  ASSERT_TRUE(store.LoadIntoBitmap(t, &back));
  ASSERT_TRUE(back.HasAlphaChannel());
  EXPECT_EQ(back.GetAlpha(3, 1), 17);
  EXPECT_EQ(back.GetAlpha(0, 0), 255);

  // An alpha channel whose rows were written directly (its Full flag left set) keeps them.
  auto stale = Pattern(5, 4, ie24RGB);
  TIEBitmap* alpha = stale->GetAlphaChannel();
  ASSERT_TRUE(alpha->Full());
  alpha->Row<uint8_t>(2)[2] = 0;
  TIEVirtualImage* s = store.AddBitmap(stale.get());
  ASSERT_TRUE(store.LoadIntoBitmap(s, &back));
  ASSERT_TRUE(back.HasAlphaChannel());
  EXPECT_EQ(back.GetAlpha(2, 2), 0);
}

TEST_P(ImageStore, CheckOutIsCountedAndWrittenBack) {
  TIEVirtualImage* image = store.AddBitmap(Pattern(6, 4, ie24RGB).get());
  TIEBitmap* first = store.GetBitmap(image);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(store.GetBitmap(image), first);
  EXPECT_TRUE(image->CheckedOut);
  store.ReleaseBitmap(first, false);
  EXPECT_TRUE(image->CheckedOut);
  first->SetPixel24(1, 1, TIERGB{9, 8, 7});
  store.ReleaseBitmap(first, true);  // the last release frees it, after writing it back
  EXPECT_FALSE(image->CheckedOut);
  TIEBitmap back;
  ASSERT_TRUE(store.CopyToBitmap(image, &back));
  EXPECT_EQ(back.GetPixel24(1, 1).g, 8);

  // A resized check-out: its size shows at once, and the write-back makes a new block.
  TIEBitmap* edit = store.GetBitmap(image);
  const int64_t oldSize = image->Size;
  edit->Resize(20, 10, 0, 255, 0, 0);
  EXPECT_EQ(store.GetImageWidth(image), 20);
  EXPECT_EQ(store.GetImageHeight(image), 10);
  EXPECT_EQ(image->Width, 6);
  store.ReleaseBitmapOf(image, true);
  EXPECT_EQ(image->Width, 20);
  EXPECT_GT(image->Size, oldSize);
  ASSERT_TRUE(store.CopyToBitmap(image, &back));
  EXPECT_EQ(back.Width(), 20);
  EXPECT_EQ(back.GetPixel24(1, 1).g, 8);

  // Releasing what this store did not hand out does nothing.
  TIEBitmap stranger(2, 2, ie8g);
  store.ReleaseBitmap(&stranger, true);
  store.ReleaseBitmap(nullptr, true);
}

TEST_P(ImageStore, ImageBitsOfACheckOutAreWholeForEveryStorage) {
  auto source = Pattern(9, 6, ie24RGB);
  TIEVirtualImage* image = store.AddBitmap(source.get());
  // Block layout: bottom row first, rows of 28 bytes of which 27 hold pixels.
  const int32_t rowBytes = RowLength(9, 24, 32), packed = 27;
  auto pixels = [&](const void* bits) {
    std::vector<uint8_t> out;
    for (int k = 0; k < 6; ++k) {
      const auto* row = static_cast<const uint8_t*>(bits) + k * rowBytes;
      out.insert(out.end(), row, row + packed);
    }
    return out;
  };
  const auto expected = pixels(store.GetImageBits(image));
  EXPECT_EQ(expected[0], source->Row<uint8_t>(5)[0]);
  for (int64_t threshold : {int64_t(-1), int64_t(0)}) {  // memory, then a file-held check-out
    SCOPED_TRACE(threshold);
    SettingScope<int64_t> fileHeld(MinFileSizeOverride, threshold);
    TIEBitmap* out = store.GetBitmap(image);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Location(), threshold == 0 ? ieFile : ieMemory);
    const void* bits = store.GetImageBits(image);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(pixels(bits), expected);
    store.ReleaseBitmap(out, false);
  }
  // A check-out with other row padding is laid out like a block too.
  TIEBitmap* out = store.GetBitmap(image);
  out->SetRowAlignment(8);
  EXPECT_EQ(pixels(store.GetImageBits(image)), expected);
  store.ReleaseBitmap(out, false);
}

TEST_P(ImageStore, OtherRowAlignmentsAreHonoured) {
  // An 8-bit-aligned source has shorter rows than the block: nothing is read beyond them.
  TIEBitmap source;
  source.SetRowAlignment(8);
  ASSERT_TRUE(source.Allocate(5, 3, ie24RGB));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) source.SetPixel24(x, y, TIERGB{uint8_t(x), uint8_t(y), uint8_t(x + y)});
  TIEVirtualImage* image = store.AddBitmap(&source);
  // The target keeps its own padding.
  TIEBitmap target;
  target.SetRowAlignment(8);
  ASSERT_TRUE(target.Allocate(5, 3, ie24RGB));
  ASSERT_TRUE(store.LoadIntoBitmap(image, &target));
  EXPECT_EQ(target.RowLen(), 15);
  ExpectSamePixels(source, target);
}

TEST_P(ImageStore, EmptyImagesCannotBeMapped) {
  TIEBitmap empty;
  TIEVirtualImage* image = store.AddBitmap(&empty);
  EXPECT_EQ(image->Size, 0);
  EXPECT_EQ(store.GetBitmap(image), nullptr);
  EXPECT_EQ(store.GetImageBits(image), nullptr);
  EXPECT_EQ(store.GetImagePalette(image), nullptr);
}

TEST(ImageStoreWithoutFile, FallsBackToMemoryAndLosesNothing) {
  SettingScope<std::string> folder(TempDirectory, "/nonexistent/brimvale/folder/");
  TIEVirtualImageList store("ILIST", true);
  EXPECT_TRUE(store.StoreOpen());
  EXPECT_FALSE(store.StoreIsFile());
  std::vector<TIEVirtualImage*> images;
  for (int i = 0; i < 20; ++i) images.push_back(store.AddBitmap(Pattern(40, 40, ie24RGB, uint8_t(i)).get()));
  for (int i = 0; i < 20; ++i) {
    TIEBitmap back;
    ASSERT_TRUE(store.LoadIntoBitmap(images[i], &back));
    ExpectSamePixels(*Pattern(40, 40, ie24RGB, uint8_t(i)), back);
  }
}

TEST(ImageStoreWithoutFile, WithNoStoreAtAllImagesStayInMemoryUntilOneOpens) {
  SettingScope<bool> noFallback(TIEVirtualImageList::NoMemoryFallbackForTesting(), true);
  auto folder = std::make_unique<SettingScope<std::string>>(TempDirectory, "/nonexistent/brimvale/folder/");
  TIEVirtualImageList store("ICACHE", true);
  EXPECT_FALSE(store.StoreOpen());
  std::vector<TIEVirtualImage*> images;
  for (int i = 0; i < 15; ++i) images.push_back(store.AddBitmap(Pattern(30, 30, ie24RGB, uint8_t(i)).get()));
  EXPECT_EQ(store.MappedCount(), 15);  // nothing is evicted: there is nowhere to put it
  auto check = [&] {
    for (int i = 0; i < 15; ++i) {
      TIEBitmap back;
      ASSERT_TRUE(store.LoadIntoBitmap(images[i], &back));
      ExpectSamePixels(*Pattern(30, 30, ie24RGB, uint8_t(i)), back);
    }
  };
  check();
  store.Delete(images[3]);
  images.erase(images.begin() + 3);
  images.push_back(store.AddBitmap(Pattern(30, 30, ie24RGB, 3).get()));
  std::rotate(images.begin() + 3, images.end() - 1, images.end());

  // A usable folder again: the next growth opens a file and the images move into it.
  folder.reset();
  store.ReserveSpace(30, 30, 24, 50);
  EXPECT_TRUE(store.StoreOpen());
  EXPECT_TRUE(store.StoreIsFile());
  EXPECT_EQ(store.MappedCount(), 0);
  check();
  EXPECT_LE(store.MappedCount(), store.CacheSize() + 1);
}

}  // namespace
