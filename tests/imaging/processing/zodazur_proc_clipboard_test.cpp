// The processing component's clipboard: the raw format keeps every pixel format and alpha, the
// packed DIB serves other programs, PNG and BMP from other programs paste in, damaged data falls
// through to the next format and nothing usable changes nothing; and the reduction to few colours.
#include <gtest/gtest.h>

#include <set>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/processing/ie_compare.h"
#include "imaging/processing/ie_dib_export.h"
#include "imaging/io/format_registry.h"
#include "imaging/processing/ie_paste_hooks.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/system/memory.h"
#include "platform/ui/clipboard.h"
#include "tests/imaging/core/fake_view.h"
#include "tests/imaging/processing/geometry_test_support.h"
#include "tests/support/byte_builder.h"
#include "tests/support/clipboard_fixture.h"
#include "tests/support/png_fixture.h"

namespace {

using geomtest::Patterned;
using ietest::FakeView;

class ClipboardTest : public BitmapTest {
 protected:
  void SetUp() override {
    BitmapTest::SetUp();
    InitializeZodazUrProc();
    InitializeZodazUrIO();  // the paste reads PNG blocks through the I/O unit
  }
  void TearDown() override {
    testsupport::ClearForeignClipboard();
    BitmapTest::TearDown();
  }
  // A component with undo working on a bitmap of its own.
  std::unique_ptr<TZodazUrProc> Target(TIEBitmap& B) {
    auto proc = TZodazUrProc::CreateFromIEBitmap(&B);
    proc->SetAutoUndo(true);
    return proc;
  }
};

// Puts blocks (format, bytes) on the clipboard as this program would, emptied first.
void PutBlocks(const std::vector<std::pair<UINT, std::vector<uint8_t>>>& Blocks) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  for (const auto& [format, bytes] : Blocks) {
    void* block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(block));
    ASSERT_NE(SetClipboardData(format, block), nullptr);
  }
  CloseClipboard();
}

// The bytes under a format on the clipboard (empty when there are none).
std::vector<uint8_t> ClipboardBytes(UINT Format) {
  EXPECT_TRUE(OpenClipboard(nullptr));
  std::vector<uint8_t> out;
  if (void* block = GetClipboardData(Format)) {
    const auto* p = static_cast<const uint8_t*>(block);
    out.assign(p, p + GlobalSize(block));
  }
  CloseClipboard();
  return out;
}

std::vector<uint8_t> DibOf(TIEBitmap& B) {
  void* dib = _CopyBitmaptoDIBEx(B, 0, 0, 0, 0, 0, 0);
  const auto* p = static_cast<const uint8_t*>(dib);
  std::vector<uint8_t> bytes(p, p + GlobalSize(dib));
  GlobalFree(dib);
  return bytes;
}

TEST_F(ClipboardTest, RawFormatReturnsEveryFormatExactlyWithAlpha) {
  for (TIEPixelFormat format : geomtest::kAllFormats) {
    SCOPED_TRACE(int(format));
    auto b = Patterned(13, 5, format, ieMemory, true);
    b->SetDisplayRangeMax(format == ie16g ? 4095 : 0);
    auto source = TZodazUrProc::CreateFromIEBitmap(b.get());
    ASSERT_TRUE(source->CopyToClipboard(true));
    TIEBitmap pasted(2, 2, ie24RGB);
    auto target = Target(pasted);
    target->PasteFromClipboard();
    EXPECT_EQ(pasted.PixelFormat(), format);
    EXPECT_TRUE(IdenticalBitmaps(pasted, *b));
    EXPECT_EQ(geomtest::PaletteBytes(pasted), geomtest::PaletteBytes(*b));
    EXPECT_EQ(pasted.DisplayRangeMax(), b->DisplayRangeMax());
    EXPECT_EQ(target->GetUndoCaption(0), "PasteFromClipboard");
    // Undo brings the old picture back.
    target->Undo();
    EXPECT_EQ(pasted.Width(), 2);
  }
}

TEST_F(ClipboardTest, WithoutTheRawFormatImagesComeBackAsDIBs) {
  for (TIEPixelFormat format : {ie1g, ie8g, ie8p, ie24RGB, ie16g, ieCMYK}) {
    SCOPED_TRACE(int(format));
    auto b = Patterned(11, 4, format, ieMemory, true);
    ASSERT_TRUE(TZodazUrProc::CreateFromIEBitmap(b.get())->CopyToClipboard(false));
    // The DIB's depth: 1 bit, 8 bits with a grey or the image's palette, else 24 bits.
    const std::vector<uint8_t> dib = ClipboardBytes(CF_DIB);
    ASSERT_GT(dib.size(), 40u);
    EXPECT_EQ(dib[14], format == ie1g ? 1 : (format == ie8g || format == ie8p ? 8 : 24));
    EXPECT_TRUE(ClipboardBytes(ClipboardRawFormat).empty());
    TIEBitmap pasted;
    Target(pasted)->PasteFromClipboard();
    EXPECT_EQ(pasted.PixelFormat(), format == ie1g ? ie1g : ie24RGB);
    EXPECT_FALSE(pasted.HasAlphaChannel());
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 11; ++x) ASSERT_TRUE(pasted.GetPixelRGB(x, y) == b->GetPixelRGB(x, y)) << x << "," << y;
  }
  // A start-up that has not run leaves the raw format out.
  const uint32_t saved = ClipboardRawFormat;
  ClipboardRawFormat = 0;
  auto b = Patterned(3, 3, ie16g, ieMemory, false);
  ASSERT_TRUE(TZodazUrProc::CreateFromIEBitmap(b.get())->CopyToClipboard(true));
  ClipboardRawFormat = saved;
  EXPECT_TRUE(ClipboardBytes(saved).empty());
}

TEST_F(ClipboardTest, PastesPNGAndBMPFromOtherPrograms) {
  // PNG bytes written by libpng; BMP bytes: a file header and a DIB.
  testsupport::PngImage png = testsupport::PngImage::Make(9, 6, 2, 8);
  testsupport::FillPattern(png, 7);
  const std::vector<uint8_t> pngBytes = testsupport::WritePngWithLibpng(png);
  auto b = Patterned(9, 6, ie24RGB, ieMemory, false, 2);
  const std::vector<uint8_t> dib = DibOf(*b);
  testsupport::ByteBuilder bmp;
  bmp.U8('B').U8('M').U32(static_cast<uint32_t>(14 + dib.size())).U32(0).U32(54).Raw(dib);

  testsupport::PlaceForeignClipboardData("image/png", pngBytes);
  TIEBitmap fromPng;
  Target(fromPng)->PasteFromClipboard();
  ASSERT_EQ(fromPng.Width(), 9);
  ASSERT_EQ(fromPng.Height(), 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 9; ++x) {
      const TIERGB c = fromPng.GetPixelRGB(x, y);
      ASSERT_EQ(c.r, png.Sample(x, y, 0));
      ASSERT_EQ(c.g, png.Sample(x, y, 1));
      ASSERT_EQ(c.b, png.Sample(x, y, 2));
    }

  // A PNG with alpha reads through the PNG codec, alpha included; without the I/O unit's hook the
  // same bytes paste through the toolkit's picture, without alpha.
  testsupport::PngImage rgba = testsupport::PngImage::Make(4, 3, 6, 8);
  testsupport::FillPattern(rgba, 3);
  testsupport::PlaceForeignClipboardData("image/png", testsupport::WritePngWithLibpng(rgba));
  TIEBitmap withAlpha;
  Target(withAlpha)->PasteFromClipboard();
  ASSERT_TRUE(withAlpha.HasAlphaChannel());
  EXPECT_EQ(withAlpha.GetAlpha(2, 1), rgba.Sample(2, 1, 3));
  const TIEPasteHooks saved = IEPasteHooks;
  IEPasteHooks.LoadBufferAsFormat = nullptr;
  TIEBitmap withoutHook;
  Target(withoutHook)->PasteFromClipboard();
  IEPasteHooks = saved;
  EXPECT_EQ(withoutHook.Width(), 4);
  EXPECT_FALSE(withoutHook.HasAlphaChannel());

  testsupport::PlaceForeignClipboardData("image/bmp", bmp.Bytes());
  TIEBitmap fromBmp;
  Target(fromBmp)->PasteFromClipboard();
  EXPECT_EQ(bmptest::Pixels(fromBmp), bmptest::Pixels(*b));
}

TEST_F(ClipboardTest, DamagedDataFallsThroughAndNothingUsableChangesNothing) {
  auto b = Patterned(6, 4, ie24RGB, ieMemory, false);
  std::vector<uint8_t> raw(static_cast<size_t>(b->RawStreamSize()));
  b->SaveRawToBuffer(raw.data());
  std::vector<uint8_t> cut(raw.begin(), raw.begin() + static_cast<int64_t>(raw.size()) - 20);
  std::vector<uint8_t> garbage(200, 0x41);
  auto other = Patterned(5, 3, ie24RGB, ieMemory, false, 9);

  // A raw block cut short (its reader raises) and one that is no raw block: the DIB is taken.
  for (const std::vector<uint8_t>& bad : {cut, garbage}) {
    PutBlocks({{ClipboardRawFormat, bad}, {CF_DIB, DibOf(*other)}});
    TIEBitmap pasted;
    Target(pasted)->PasteFromClipboard();
    EXPECT_EQ(bmptest::Pixels(pasted), bmptest::Pixels(*other));
  }
  // Nothing that reads: the image and the undo stack stay as they were.
  PutBlocks({{ClipboardRawFormat, cut}, {CF_DIB, garbage}});
  auto image = Patterned(4, 4, ie8g, ieMemory, false);
  auto before = Patterned(4, 4, ie8g, ieMemory, false);
  auto proc = Target(*image);
  proc->PasteFromClipboard();
  EXPECT_EQ(bmptest::Pixels(*image), bmptest::Pixels(*before));
  EXPECT_EQ(proc->UndoCount(), 0);
  testsupport::ClearForeignClipboard();
  proc->PasteFromClipboard();
  EXPECT_EQ(proc->UndoCount(), 0);
}

TEST_F(ClipboardTest, CopiesTheSelection) {
  FakeView view(nullptr);
  view.ReplaceBitmap(Patterned(8, 6, ie24RGB, ieMemory, false));
  auto original = Patterned(8, 6, ie24RGB, ieMemory, false);
  view.SetBackground(RGBToTColor(CreateRGB(0, 0, 255)));
  view.Select(2, 1, 4, 3);
  view.SelectionMask()->SetPixel(3, 2, 0);
  TZodazUrProc proc(nullptr);
  proc.SetAttachedZodazUr(&view);
  ASSERT_TRUE(proc.CopySelectionToClipboard(true));
  TIEBitmap pasted;
  auto target = Target(pasted);
  target->PasteFromClipboard();
  // The raw copy: the box, transparent where the mask is clear.
  ASSERT_EQ(pasted.Width(), 3);
  ASSERT_EQ(pasted.Height(), 3);
  EXPECT_TRUE(pasted.GetPixel24(0, 0) == original->GetPixel24(2, 1));
  EXPECT_EQ(pasted.GetAlpha(1, 1), 0);
  EXPECT_EQ(pasted.GetAlpha(2, 2), 255);
  // The DIB: the background where the mask is clear.
  TIEBitmap fromDib;
  const std::vector<uint8_t> dib = ClipboardBytes(CF_DIB);
  PutBlocks({{CF_DIB, dib}});
  Target(fromDib)->PasteFromClipboard();
  ASSERT_EQ(fromDib.Width(), 3);
  EXPECT_TRUE(fromDib.GetPixel24(1, 1) == CreateRGB(0, 0, 255));
  EXPECT_TRUE(fromDib.GetPixel24(2, 2) == original->GetPixel24(4, 3));
  // Without a selection, the whole image.
  view.Deselect();
  ASSERT_TRUE(proc.CopySelectionToClipboard(false));
  TIEBitmap whole;
  Target(whole)->PasteFromClipboard();
  EXPECT_EQ(whole.Width(), 8);
}

TEST_F(ClipboardTest, ConvertToFewColours) {
  // A ramp of 64 greys and a few colours.
  TIEBitmap b(64, 8, ie24RGB);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 64; ++x)
      b.SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(x * 4), static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 30)));
  b.SetPixel24(0, 0, CreateRGB(255, 255, 255));
  b.SetPixel24(1, 0, CreateRGB(0, 0, 0));
  auto colours = [](TIEBitmap& x) {
    std::set<int32_t> s;
    for (int32_t yy = 0; yy < x.Height(); ++yy)
      for (int32_t xx = 0; xx < x.Width(); ++xx) s.insert(RGBToInt(x.GetPixelRGB(xx, yy)));
    return s.size();
  };
  TIEBitmap sixteen;
  sixteen.Assign(b);
  auto p16 = Target(sixteen);
  p16->ConvertTo(16, false);
  EXPECT_EQ(p16->GetUndoCaption(0), "ConvertTo 16");
  EXPECT_EQ(sixteen.PixelFormat(), ie24RGB);
  EXPECT_LE(colours(sixteen), 16u);
  EXPECT_GT(colours(sixteen), 2u);

  TIEBitmap two;
  two.Assign(b);
  Target(two)->ConvertTo(2, false);
  EXPECT_EQ(two.PixelFormat(), ie1g);
  EXPECT_TRUE(two.GetPixelRGB(0, 0) == CreateRGB(255, 255, 255));  // pure white stays white
  EXPECT_TRUE(two.GetPixelRGB(1, 0) == CreateRGB(0, 0, 0));        // pure black stays black

  TIEBitmap many;
  many.Assign(b);
  auto pm = Target(many);
  pm->ConvertTo(1025, false);
  EXPECT_EQ(pm->UndoCount(), 0);
  EXPECT_EQ(bmptest::Pixels(many), bmptest::Pixels(b));

  // ConvertToPalette sizes the palette itself.
  std::vector<TIERGB> palette(1);
  TIEBitmap p;
  p.Assign(b);
  Target(p)->ConvertToPalette(5, palette, false);
  EXPECT_EQ(palette.size(), 5u);
  Target(p)->ConvertToPalette(2, palette, true);
  ASSERT_EQ(palette.size(), 2u);
  EXPECT_TRUE(palette[0] == CreateRGB(0, 0, 0));
  EXPECT_TRUE(palette[1] == CreateRGB(255, 255, 255));

  // Undo after reducing a palette image brings the palette image back.
  auto indexed = Patterned(10, 6, ie8p, ieMemory, false);
  auto kept = Patterned(10, 6, ie8p, ieMemory, false);
  auto pi = Target(*indexed);
  pi->ConvertTo(4, false);
  EXPECT_EQ(indexed->PixelFormat(), ie24RGB);
  pi->Undo();
  EXPECT_EQ(indexed->PixelFormat(), ie8p);
  EXPECT_EQ(bmptest::Pixels(*indexed), bmptest::Pixels(*kept));
  EXPECT_EQ(geomtest::PaletteBytes(*indexed), geomtest::PaletteBytes(*kept));
}

}  // namespace
