#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/framework_bitmap.h"
#include "platform/gdi/packed_dib.h"
#include "platform/system/memory.h"
#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<TBitmap> Make(int w, int h, TPixelFormat f, TColor fill = clWhite) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(f);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(fill);
  b->Canvas()->FillRect({0, 0, w, h});
  return b;
}

}  // namespace

TEST(TBitmapTest, NewBitmapIsEmptyDeviceBitmap) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  b.SetSize(4, 3);
  EXPECT_FALSE(b.Empty());
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  EXPECT_EQ(b.HandleType(), bmDDB);
  // Scan lines need a DIB: the bitmap becomes one of the device depth.
  b.ScanLine(0);
  EXPECT_EQ(b.HandleType(), bmDIB);
  EXPECT_EQ(b.PixelFormat(), pf32bit);
}

TEST(TBitmapTest, PixelFormatsHaveTheirRowLayout) {
  struct Case {
    TPixelFormat f;
    int rowBytes;  // for width 5
  } cases[] = {{pf1bit, 4}, {pf4bit, 4}, {pf8bit, 8}, {pf15bit, 12}, {pf16bit, 12}, {pf24bit, 16}, {pf32bit, 20}};
  for (const Case& c : cases) {
    TBitmap b;
    b.SetPixelFormat(c.f);
    b.SetSize(5, 3);
    EXPECT_EQ(b.PixelFormat(), c.f) << c.f;
    EXPECT_EQ(b.RowBytes(), c.rowBytes) << c.f;
    // Rows are stored bottom-up: the next row lies lower in memory.
    EXPECT_EQ(b.ScanLine(0) - b.ScanLine(1), c.rowBytes) << c.f;
  }
}

TEST(TBitmapTest, ColorsLandBlueGreenRedInTheRow) {
  auto b = Make(2, 2, pf24bit);
  b->Canvas()->SetPixels(1, 0, RGB(10, 20, 30));
  const uint8_t* row = b->ScanLine(0);
  EXPECT_EQ(row[3], 30);  // blue first
  EXPECT_EQ(row[4], 20);
  EXPECT_EQ(row[5], 10);

  auto c = Make(2, 1, pf16bit);
  c->Canvas()->SetPixels(0, 0, RGB(255, 0, 0));
  uint16_t w;
  std::memcpy(&w, c->ScanLine(0), 2);
  EXPECT_EQ(w, 0xF800);
  auto d = Make(2, 1, pf15bit);
  d->Canvas()->SetPixels(0, 0, RGB(0, 255, 0));
  std::memcpy(&w, d->ScanLine(0), 2);
  EXPECT_EQ(w, 0x03E0);

  auto m = Make(9, 1, pf1bit);
  m->Canvas()->SetPixels(0, 0, clBlack);
  m->Canvas()->SetPixels(8, 0, clBlack);
  EXPECT_EQ(m->ScanLine(0)[0], 0x7F);  // leftmost pixel in the high bit
  EXPECT_EQ(m->ScanLine(0)[1] & 0x80, 0);
}

TEST(TBitmapTest, DefaultColorTables) {
  EXPECT_EQ(Make(1, 1, pf1bit)->ColorTable().size(), 2u);
  EXPECT_EQ(Make(1, 1, pf4bit)->ColorTable().size(), 16u);
  const auto t8 = Make(1, 1, pf8bit)->ColorTable();
  ASSERT_EQ(t8.size(), 256u);
  EXPECT_EQ(t8[0].rgbRed, 0);
  EXPECT_EQ(t8[255].rgbRed, 255);
  EXPECT_EQ(t8[255].rgbBlue, 255);
  auto b = Make(1, 1, pf1bit);
  EXPECT_TRUE(b->Monochrome());
  const auto t1 = b->ColorTable();
  EXPECT_EQ(t1[0].rgbRed, 0);
  EXPECT_EQ(t1[1].rgbGreen, 255);
}

TEST(TBitmapTest, SetSizeKeepsContentAndFillsNewPixelsWhite) {
  auto b = Make(4, 4, pf24bit, clRed);
  b->Canvas()->Brush()->SetColor(clWhite);
  b->SetSize(6, 2);
  EXPECT_EQ(b->Canvas()->Pixels(3, 1), clRed);
  EXPECT_EQ(b->Canvas()->Pixels(5, 0), clWhite);
  b->SetSize(6, 5);
  EXPECT_EQ(b->Canvas()->Pixels(0, 4), clWhite);
  EXPECT_EQ(b->Canvas()->Pixels(0, 1), clRed);
}

TEST(TBitmapTest, PixelFormatChangeConvertsPixels) {
  auto b = Make(3, 1, pf24bit, clBlue);
  b->Canvas()->SetPixels(1, 0, clYellow);
  for (TPixelFormat f : {pf32bit, pf8bit, pf4bit, pf24bit}) {
    b->SetPixelFormat(f);
    EXPECT_EQ(b->Canvas()->Pixels(0, 0), clBlue) << f;
    EXPECT_EQ(b->Canvas()->Pixels(1, 0), clYellow) << f;
  }
  // Five bits per channel keep the high bits.
  b->SetPixelFormat(pf15bit);
  EXPECT_EQ(b->Canvas()->Pixels(0, 0), static_cast<TColor>(RGB(0, 0, 248)));
  b->SetPixelFormat(pf1bit);
  EXPECT_TRUE(b->Monochrome());
}

TEST(TBitmapTest, PaletteRoundTrip) {
  auto b = Make(2, 1, pf8bit);
  RGBQUAD grey[256];
  for (int i = 0; i < 256; ++i) grey[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  b->SetColorTable(grey, 256);
  HPALETTE pal = b->Palette();
  PALETTEENTRY e[2];
  ASSERT_EQ(GetPaletteEntries(pal, 100, 2, e), 2u);
  EXPECT_EQ(e[0].peRed, 100);
  b->ScanLine(0)[0] = 77;
  EXPECT_EQ(b->Canvas()->Pixels(0, 0), static_cast<TColor>(RGB(77, 77, 77)));
  // The bitmap's DC sees the same table.
  RGBQUAD q;
  ASSERT_EQ(GetDIBColorTable(b->Canvas()->Handle(), 5, 1, &q), 1u);
  EXPECT_EQ(q.rgbRed, 5);
}

TEST(TBitmapTest, MonochromeMakesBlackAndWhiteDeviceBitmap) {
  auto b = Make(2, 1, pf24bit, clBlack);
  b->Canvas()->SetPixels(1, 0, RGB(250, 250, 250));
  b->SetMonochrome(true);
  EXPECT_TRUE(b->Monochrome());
  EXPECT_EQ(b->HandleType(), bmDDB);
  EXPECT_EQ(b->Canvas()->Pixels(0, 0), clBlack);
  EXPECT_EQ(b->Canvas()->Pixels(1, 0), clWhite);
  b->SetMonochrome(false);
  EXPECT_FALSE(b->Monochrome());
  EXPECT_EQ(b->Canvas()->Pixels(1, 0), clWhite);
}

TEST(TBitmapTest, ScanLineOutOfRangeRaises) {
  auto b = Make(2, 2, pf24bit);
  EXPECT_THROW(b->ScanLine(2), EInvalidGraphicOperation);
  EXPECT_THROW(b->ScanLine(-1), EInvalidGraphicOperation);
  TBitmap e;
  EXPECT_THROW(e.ScanLine(0), EInvalidGraphicOperation);
}

TEST(TBitmapTest, AssignCopiesDeeply) {
  auto a = Make(3, 2, pf8bit, clRed);
  TBitmap b;
  b.Assign(a.get());
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.Width(), 3);
  a->Canvas()->SetPixels(0, 0, clBlue);
  EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed);
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
  TFont font;
  try {
    b.Assign(&font);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TFont to a TBitmap.");
  }
  // Fonts, pens and brushes copy through the framework's Assign.
  TFont other;
  other.SetName("DejaVu Serif");
  other.SetStyle({fsBold});
  TPersistent* p = &other;
  font.Assign(p);
  EXPECT_EQ(font.Name(), "DejaVu Serif");
  EXPECT_TRUE(font.Style().Contains(fsBold));
}

TEST(TBitmapTest, ChangeNotificationFiresOnDrawing) {
  auto b = Make(2, 2, pf24bit);
  int changes = 0;
  b->OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, b.get());
    ++changes;
  };
  b->Canvas()->FillRect({0, 0, 1, 1});
  EXPECT_GE(changes, 1);
  EXPECT_TRUE(b->Modified());
}

TEST(TBitmapTest, TransparentColorIsBottomLeftPixelUnlessFixed) {
  auto b = Make(3, 3, pf24bit, clWhite);
  b->Canvas()->SetPixels(0, 2, clLime);
  EXPECT_EQ(b->TransparentColor() & 0xFFFFFF, clLime);
  b->SetTransparentColor(clRed);
  EXPECT_EQ(b->TransparentMode(), tmFixed);
  EXPECT_EQ(b->TransparentColor() & 0xFFFFFF, clRed);
}

TEST(TBitmapTest, TransparentDrawLeavesOutTheTransparentColor) {
  auto sprite = Make(2, 1, pf24bit, clFuchsia);
  sprite->Canvas()->SetPixels(1, 0, clBlue);
  sprite->SetTransparentColor(clFuchsia);
  sprite->SetTransparent(true);
  auto back = Make(2, 1, pf24bit, clYellow);
  back->Canvas()->Draw(0, 0, sprite.get());
  EXPECT_EQ(back->Canvas()->Pixels(0, 0), clYellow);
  EXPECT_EQ(back->Canvas()->Pixels(1, 0), clBlue);
}

TEST(TBitmapTest, BmpStreamRoundTripForEveryFormat) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    auto a = Make(5, 3, f, clBlack);
    a->Canvas()->SetPixels(4, 2, clWhite);
    TMemoryStream s;
    a->SaveToStream(s);
    s.SetPosition(0);
    TBitmap b;
    b.LoadFromStream(s);
    EXPECT_EQ(b.PixelFormat(), f);
    EXPECT_EQ(b.Width(), 5);
    const TColor white = f == pf15bit ? 0xF8F8F8 : f == pf16bit ? 0xF8FCF8 : clWhite;
    EXPECT_EQ(b.Canvas()->Pixels(4, 2), white) << f;
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlack) << f;
  }
}

TEST(TBitmapTest, MalformedBmpRaisesAndKeepsBitmap) {
  auto a = Make(4, 4, pf24bit, clRed);
  TMemoryStream good;
  a->SaveToStream(good);
  const uint8_t* bytes = static_cast<const uint8_t*>(good.Memory());
  struct Bad {
    const char* name;
    std::vector<uint8_t> data;
  };
  std::vector<uint8_t> truncated(bytes, bytes + good.Size() - 5);
  std::vector<uint8_t> hugeWidth(bytes, bytes + good.Size());
  const int32_t big = 1 << 30;
  std::memcpy(hugeWidth.data() + 18, &big, 4);
  std::vector<uint8_t> badMagic(bytes, bytes + good.Size());
  badMagic[0] = 'X';
  std::vector<uint8_t> badDepth(bytes, bytes + good.Size());
  badDepth[28] = 7;
  for (const Bad& b : {Bad{"truncated", truncated}, Bad{"huge width", hugeWidth}, Bad{"magic", badMagic},
                       Bad{"depth", badDepth}}) {
    auto target = Make(2, 2, pf24bit, clLime);
    TCustomMemoryStream s(b.data.data(), static_cast<int64_t>(b.data.size()));
    EXPECT_THROW(target->LoadFromStream(s), EInvalidGraphic) << b.name;
    EXPECT_EQ(target->Width(), 2) << b.name;
    EXPECT_EQ(target->Canvas()->Pixels(1, 1), clLime) << b.name;
  }
}

TEST(TBitmapTest, SaveToFileReplacesOnlyWhenComplete) {
  testsupport::ScratchDir dir;
  auto a = Make(3, 3, pf24bit, clRed);
  a->SaveToFile(dir.File("a->bmp"));
  TBitmap b;
  b.LoadFromFile(dir.File("a->bmp"));
  EXPECT_EQ(b.Canvas()->Pixels(2, 2), clRed);
}

TEST(TBitmapTest, ResourcesByNameAndMissingResource) {
  auto a = Make(2, 2, pf8bit, clNavy);
  TMemoryStream s;
  a->SaveToStream(s);
  RegisterBitmapResource("TestGlyph", s.Memory(), static_cast<size_t>(s.Size()));
  TBitmap b;
  b.LoadFromResourceName(0, "TESTGLYPH");
  EXPECT_EQ(b.Canvas()->Pixels(1, 1), clNavy);
  try {
    b.LoadFromResourceName(0, "NoSuchThing");
    FAIL();
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource NoSuchThing not found");
  }
}

TEST(TBitmapTest, EngineAdapterReachesTheBitmap) {
  ASSERT_NE(FrameworkBitmapFactory, nullptr);
  std::unique_ptr<TFrameworkBitmap> own = FrameworkBitmapFactory(nullptr);
  own->SetSize(4, 3);
  own->SetPixelFormat(pf8bit);
  EXPECT_EQ(own->Bitmap()->PixelFormat(), pf8bit);
  EXPECT_EQ(own->ColorCount(), 256);
  uint32_t grey[3] = {0x000000, 0x010101, 0x020202};
  own->SetColors(0, 3, grey);
  uint32_t back[3];
  own->GetColors(0, 3, back);
  EXPECT_EQ(back[2], 0x020202u);
  static_cast<uint8_t*>(own->ScanLine(2))[0] = 2;
  EXPECT_EQ(own->Canvas()->Pixels(0, 2), static_cast<TColor>(0x020202));
  // The flip maps logical row y to row Height - 1 - y.
  own->SetPixelFormat(pf24bit);
  own->SetCanvasFlip(true, 3);
  own->Canvas()->SetPixels(0, 0, clRed);
  const uint8_t* bottom = static_cast<uint8_t*>(own->ScanLine(2));
  EXPECT_EQ(bottom[2], 255);
  own->SetCanvasFlip(false, 3);
  EXPECT_EQ(own->Canvas()->Pixels(0, 2), clRed);

  auto mine = std::make_unique<TBitmap>(2, 2);
  std::unique_ptr<TFrameworkBitmap> wrapped = FrameworkBitmapFactory(mine.get());
  EXPECT_EQ(wrapped->Bitmap(), mine.get());
  wrapped.reset();
  EXPECT_EQ(mine->Width(), 2);  // the adapter does not own the caller's bitmap
}

TEST(TBitmapTest, ImpossibleSizeRaisesAndKeepsThePicture) {
  auto b = Make(3, 3, pf24bit, clRed);
  EXPECT_THROW(b->SetSize(200000, 200000), EOutOfResources);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(b->Canvas()->Pixels(2, 2), clRed);
}

TEST(TBitmapTest, ClipboardFormatsGiveAndTakeCopies) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetSize(3, 2);
  b.Canvas()->SetPixels(2, 1, clRed);
  uint32_t format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  b.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_BITMAP);
  ASSERT_NE(data, nullptr);
  EXPECT_NE(data, b.Handle());
  EXPECT_NE(palette, nullptr);  // 8 bits: the colour table as a palette

  TBitmap fromBitmap;
  fromBitmap.LoadFromClipboardFormat(CF_BITMAP, data, palette);
  EXPECT_EQ(fromBitmap.Width(), 3);
  EXPECT_EQ(fromBitmap.Canvas()->Pixels(2, 1), clRed);
  EXPECT_NE(fromBitmap.Handle(), static_cast<HBITMAP>(data));  // a copy: the caller keeps its data

  // A packed DIB in a global block.
  std::vector<uint8_t> dib = PackedDIBFromBitmap(static_cast<HBITMAP>(data), 24);
  void* block = GlobalAlloc(GMEM_MOVEABLE, dib.size());
  std::memcpy(block, dib.data(), dib.size());
  TBitmap fromDib;
  fromDib.LoadFromClipboardFormat(CF_DIB, block, nullptr);
  EXPECT_EQ(fromDib.Canvas()->Pixels(2, 1), clRed);
  GlobalFree(block);
  DeleteObject(static_cast<HBITMAP>(data));
  DeleteObject(palette);

  // Formats a bitmap does not read, and data that is no bitmap, raise and leave it as it was.
  EXPECT_THROW(fromDib.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr), EInvalidGraphic);
  EXPECT_THROW(fromDib.LoadFromClipboardFormat(CF_BITMAP, &dib, nullptr), EInvalidGraphic);
  std::vector<uint8_t> junk(20, 7);
  void* bad = GlobalAlloc(GMEM_MOVEABLE, junk.size());
  std::memcpy(bad, junk.data(), junk.size());
  EXPECT_THROW(fromDib.LoadFromClipboardFormat(CF_DIB, bad, nullptr), EInvalidGraphic);
  GlobalFree(bad);
  EXPECT_EQ(fromDib.Canvas()->Pixels(2, 1), clRed);
}

TEST(TBitmapTest, DefaultPaletteIsTheTwentyStaticColoursThatFrameTheHalftonePalette) {
  auto* stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  ASSERT_EQ(GetPaletteEntries(stock, 0, 0, nullptr), 20u);
  PALETTEENTRY fixed[20];
  ASSERT_EQ(GetPaletteEntries(stock, 0, 20, fixed), 20u);
  // The fixed ends: black and dark red first, the sky blue of entry 9, white last.
  EXPECT_EQ(RGB(fixed[0].peRed, fixed[0].peGreen, fixed[0].peBlue), RGB(0, 0, 0));
  EXPECT_EQ(RGB(fixed[1].peRed, fixed[1].peGreen, fixed[1].peBlue), RGB(128, 0, 0));
  EXPECT_EQ(RGB(fixed[9].peRed, fixed[9].peGreen, fixed[9].peBlue), RGB(166, 202, 240));
  EXPECT_EQ(RGB(fixed[19].peRed, fixed[19].peGreen, fixed[19].peBlue), RGB(255, 255, 255));
  HPALETTE halftone = CreateHalftonePalette(nullptr);
  PALETTEENTRY all[256];
  ASSERT_EQ(GetPaletteEntries(halftone, 0, 256, all), 256u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(std::memcmp(&all[i], &fixed[i], 3), 0) << i;
    EXPECT_EQ(std::memcmp(&all[246 + i], &fixed[10 + i], 3), 0) << i;
  }
  DeleteObject(halftone);
}

TEST(TBitmapTest, ProgressGoesToOnProgressWithItsSender) {
  // A picture class reports through the protected Progress; the event gets every field as given.
  struct Reporting : TBitmap {
    void Report() { Progress(this, psRunning, 42, true, TRect{1, 2, 3, 4}, "Loading..."); }
  } b;
  b.Report();  // nothing assigned: nothing happens
  std::string seen;
  b.OnProgress = [&](TObject* s, TProgressStage st, uint8_t pc, bool redraw, const TRect& r, const std::string& m) {
    seen = (s == &b ? "self " : "other ") + std::to_string(st) + " " + std::to_string(pc) + " " +
           std::to_string(redraw) + " " + std::to_string(r.Right) + " " + m;
  };
  b.Report();
  EXPECT_EQ(seen, "self 1 42 1 3 Loading...");
  EXPECT_FALSE(b.PaletteModified());
  b.SetPaletteModified(true);
  EXPECT_TRUE(b.PaletteModified());
}
