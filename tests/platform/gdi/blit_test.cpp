// Block transfers: raster operations on known pixel pairs, stretch modes, mirroring, overlapping
// copies, DIB rows, monochrome conversions, masks, clipping and transforms.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/packed_dib.h"

namespace {

// A memory DC over a 24-bit top-down DIB section, for direct pixel checks.
class Surface {
 public:
  Surface(int w, int h, int bits = 24) : w_(w), h_(h) {
    // Header and a black-and-white table (for a 1-bit surface).
    std::vector<uint8_t> buf(sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD));
    BITMAPINFO* bi = reinterpret_cast<BITMAPINFO*>(buf.data());
    bi->bmiHeader = BITMAPINFOHEADER{};
    bi->bmiHeader.biWidth = w;
    bi->bmiHeader.biHeight = -h;
    bi->bmiHeader.biBitCount = static_cast<uint16_t>(bits);
    bi->bmiHeader.biClrUsed = bits == 1 ? 2 : 0;
    bi->bmiColors[0] = {0, 0, 0, 0};
    (&bi->bmiColors[0])[1] = {255, 255, 255, 0};
    bmp_ = CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bmp_);
  }
  ~Surface() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bmp_);
  }
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bmp_; }
  void Fill(COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    TRect r{0, 0, w_, h_};
    FillRect(dc_, &r, b);
    DeleteObject(b);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  void Set(int x, int y, COLORREF c) { SetPixel(dc_, x, y, c); }

 private:
  int w_, h_;
  void* bits_ = nullptr;
  HBITMAP bmp_;
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace

TEST(BlitTest, RasterOperationsOnKnownPairs) {
  const COLORREF S = 0x00F0CC0F, D = 0x003355AA, P = 0x0055AA33;
  struct Case {
    uint32_t rop;
    COLORREF expected;
  } cases[] = {
      {SRCCOPY, S},
      {SRCPAINT, S | D},
      {SRCAND, S & D},
      {SRCINVERT, S ^ D},
      {SRCERASE, S & (~D & 0xFFFFFF)},
      {NOTSRCCOPY, ~S & 0xFFFFFF},
      {NOTSRCERASE, ~(S | D) & 0xFFFFFF},
      {MERGECOPY, S & P},
      {MERGEPAINT, (~S & 0xFFFFFF) | D},
      {DSTINVERT, ~D & 0xFFFFFF},
      {PATCOPY, P},
      {PATINVERT, P ^ D},
      {BLACKNESS, 0},
      {WHITENESS, 0xFFFFFF},
      {0x00E20746, (S & P) | (~S & D & 0xFFFFFF)},  // pattern where the source is set
  };
  Surface src(2, 1), dst(2, 1);
  src.Fill(S);
  HBRUSH brush = CreateSolidBrush(P);
  for (const Case& c : cases) {
    dst.Fill(D);
    HGDIOBJ old = SelectObject(dst.dc(), brush);
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, c.rop)) << std::hex << c.rop;
    SelectObject(dst.dc(), old);
    EXPECT_EQ(dst.At(0, 0), c.expected) << std::hex << c.rop;
    EXPECT_EQ(dst.At(1, 0), D) << std::hex << c.rop;  // outside the block
  }
  DeleteObject(brush);
}

TEST(BlitTest, RasterOperationsWorkOnPaletteIndexes) {
  // On a 1-bit bitmap the operations combine the bits: SRCINVERT twice restores.
  Surface mono(8, 1, 1), src(8, 1, 1);
  mono.Fill(0);
  src.Fill(0);
  src.Set(3, 0, 0xFFFFFF);
  BitBlt(mono.dc(), 0, 0, 8, 1, src.dc(), 0, 0, SRCINVERT);
  EXPECT_EQ(mono.At(3, 0), 0xFFFFFFu);
  EXPECT_EQ(mono.At(2, 0), 0u);
  BitBlt(mono.dc(), 0, 0, 8, 1, src.dc(), 0, 0, SRCINVERT);
  EXPECT_EQ(mono.At(3, 0), 0u);
}

TEST(BlitTest, HalftoneShrinkAverages) {
  Surface src(4, 2), dst(2, 1);
  src.Fill(RGB(0, 0, 0));
  // Left 2 x 2 block: two white, two black; right block: all red 200.
  src.Set(0, 0, RGB(255, 255, 255));
  src.Set(1, 1, RGB(255, 255, 255));
  for (int x = 2; x < 4; ++x)
    for (int y = 0; y < 2; ++y) src.Set(x, y, RGB(200, 0, 0));
  SetStretchBltMode(dst.dc(), HALFTONE);
  StretchBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 4, 2, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), RGB(128, 128, 128));
  EXPECT_EQ(dst.At(1, 0), RGB(200, 0, 0));
  // The same shrink without averaging picks source pixels.
  SetStretchBltMode(dst.dc(), COLORONCOLOR);
  StretchBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 4, 2, SRCCOPY);
  const COLORREF p = dst.At(0, 0);
  EXPECT_TRUE(p == RGB(255, 255, 255) || p == 0) << std::hex << p;
}

TEST(BlitTest, NegativeExtentsMirror) {
  Surface src(3, 2), dst(3, 2);
  const COLORREF c[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
  for (int x = 0; x < 3; ++x) {
    src.Set(x, 0, c[x]);
    src.Set(x, 1, c[x] / 2);
  }
  // Horizontal: the pixel at x = 2 going left.
  StretchBlt(dst.dc(), 2, 0, -3, 2, src.dc(), 0, 0, 3, 2, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), c[2]);
  EXPECT_EQ(dst.At(2, 0), c[0]);
  // Vertical, by a negative source extent.
  StretchBlt(dst.dc(), 0, 0, 3, 2, src.dc(), 0, 1, 3, -2, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), c[0] / 2);
  EXPECT_EQ(dst.At(0, 1), c[0]);
  // Both negative: no mirroring.
  StretchBlt(dst.dc(), 2, 0, -3, 2, src.dc(), 2, 0, -3, 2, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), c[0]);
}

TEST(BlitTest, OverlappingCopyInsideOneBitmap) {
  Surface s(6, 1);
  for (int x = 0; x < 6; ++x) s.Set(x, 0, RGB(x * 10, 0, 0));
  BitBlt(s.dc(), 1, 0, 5, 1, s.dc(), 0, 0, SRCCOPY);
  for (int x = 1; x < 6; ++x) EXPECT_EQ(s.At(x, 0), RGB((x - 1) * 10, 0, 0));
  BitBlt(s.dc(), 0, 0, 5, 1, s.dc(), 1, 0, SRCCOPY);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(s.At(x, 0), RGB(x * 10, 0, 0));
}

TEST(BlitTest, SourceOutsideTheBitmapLeavesTheDestination) {
  Surface src(2, 2), dst(4, 4);
  src.Fill(RGB(1, 2, 3));
  dst.Fill(RGB(9, 9, 9));
  BitBlt(dst.dc(), 0, 0, 4, 4, src.dc(), -1, -1, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), RGB(9, 9, 9));
  EXPECT_EQ(dst.At(1, 1), RGB(1, 2, 3));
  EXPECT_EQ(dst.At(2, 2), RGB(1, 2, 3));
  EXPECT_EQ(dst.At(3, 3), RGB(9, 9, 9));
}

TEST(BlitTest, OneBitDibHasTwoEntryPalette) {
  std::vector<uint8_t> buf(sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD));
  BITMAPINFO* bi = reinterpret_cast<BITMAPINFO*>(buf.data());
  bi->bmiHeader = BITMAPINFOHEADER{};
  bi->bmiHeader.biWidth = 8;
  bi->bmiHeader.biHeight = 1;
  bi->bmiHeader.biBitCount = 1;
  RGBQUAD* colors = bi->bmiColors;
  colors[0] = {0, 0, 255, 0};  // red
  colors[1] = {255, 0, 0, 0};  // blue
  void* bits = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(h, nullptr);
  static_cast<uint8_t*>(bits)[0] = 0x80;
  DIBSECTION ds;
  ASSERT_EQ(GetObject(h, sizeof ds, &ds), static_cast<int32_t>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 1);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, h);
  RGBQUAD table[4];
  EXPECT_EQ(GetDIBColorTable(dc, 0, 4, table), 2u);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 0, 0));
  // A 1-bit source draws with its own colours on a colour destination.
  Surface dst(8, 1);
  BitBlt(dst.dc(), 0, 0, 8, 1, dc, 0, 0, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(dst.At(5, 0), RGB(255, 0, 0));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(h);
}

TEST(BlitTest, MonochromeDeviceBitmapsUseTheDcColours) {
  HBITMAP mask = CreateBitmap(4, 1, 1, 1, nullptr);
  HDC mdc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mdc, mask);
  // Colour to monochrome: the source's background colour becomes 1, everything else 0.
  Surface src(4, 1);
  src.Fill(RGB(10, 20, 30));
  src.Set(1, 0, RGB(255, 0, 255));
  SetBkColor(src.dc(), RGB(255, 0, 255));
  BitBlt(mdc, 0, 0, 4, 1, src.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(mdc, 1, 0), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(mdc, 0, 0), 0u);
  // Monochrome to colour: 0 takes the text colour, 1 the background colour.
  Surface dst(4, 1);
  SetTextColor(dst.dc(), RGB(1, 1, 1));
  SetBkColor(dst.dc(), RGB(200, 100, 50));
  BitBlt(dst.dc(), 0, 0, 4, 1, mdc, 0, 0, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), RGB(1, 1, 1));
  EXPECT_EQ(dst.At(1, 0), RGB(200, 100, 50));
  // The mask trick of transparent drawing: AND the mask, then OR the sprite with black there.
  SelectObject(mdc, old);
  DeleteDC(mdc);
  DeleteObject(mask);
}

TEST(BlitTest, MaskBltPicksOperationByMaskBit) {
  Surface src(2, 1), dst(2, 1);
  src.Fill(RGB(0, 255, 0));
  dst.Fill(RGB(0, 0, 255));
  const uint16_t maskBits[1] = {0x0080};  // pixel 0 set (rows padded to 16 bits, high bit first)
  HBITMAP mask = CreateBitmap(2, 1, 1, 1, maskBits);
  ASSERT_TRUE(MaskBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, mask, 0, 0, MAKEROP4(SRCCOPY, 0x00AA0029)));
  EXPECT_EQ(dst.At(0, 0), RGB(0, 255, 0));
  EXPECT_EQ(dst.At(1, 0), RGB(0, 0, 255));
  DeleteObject(mask);
}

TEST(BlitTest, StretchDibitsCountsRowsFromTheBottomOfBottomUpDibs) {
  // A 1 x 3 bottom-up 24-bit DIB: memory rows bottom, middle, top.
  uint8_t bits[3 * 4] = {};
  bits[2] = 10;        // bottom row red 10
  bits[4 + 2] = 20;    // middle
  bits[8 + 2] = 30;    // top
  BITMAPINFO bi{};
  bi.bmiHeader.biWidth = 1;
  bi.bmiHeader.biHeight = 3;
  bi.bmiHeader.biBitCount = 24;
  Surface dst(1, 3);
  EXPECT_EQ(StretchDIBits(dst.dc(), 0, 0, 1, 3, 0, 0, 1, 3, bits, &bi, DIB_RGB_COLORS, SRCCOPY), 3);
  EXPECT_EQ(dst.At(0, 0), RGB(30, 0, 0));
  EXPECT_EQ(dst.At(0, 2), RGB(10, 0, 0));
  // The lowest source row alone (y = 0 from the bottom).
  dst.Fill(0);
  StretchDIBits(dst.dc(), 0, 0, 1, 1, 0, 0, 1, 1, bits, &bi, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), RGB(10, 0, 0));
  // Top-down: the first row in memory is the top.
  bi.bmiHeader.biHeight = -3;
  StretchDIBits(dst.dc(), 0, 0, 1, 1, 0, 0, 1, 1, bits, &bi, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), RGB(10, 0, 0));
  // SRCINVERT twice restores.
  StretchDIBits(dst.dc(), 0, 0, 1, 3, 0, 0, 1, 3, bits, &bi, DIB_RGB_COLORS, SRCINVERT);
  StretchDIBits(dst.dc(), 0, 0, 1, 3, 0, 0, 1, 3, bits, &bi, DIB_RGB_COLORS, SRCINVERT);
  EXPECT_EQ(dst.At(0, 0), RGB(10, 0, 0));
}

TEST(BlitTest, InvalidDibHeadersAreRefused) {
  uint8_t bits[64] = {};
  Surface dst(2, 2);
  BITMAPINFO bi{};
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = 2;
  for (uint16_t depth : {0, 2, 7, 48}) {
    bi.bmiHeader.biBitCount = depth;
    EXPECT_EQ(StretchDIBits(dst.dc(), 0, 0, 2, 2, 0, 0, 2, 2, bits, &bi, 0, SRCCOPY), 0) << depth;
  }
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RLE8;
  EXPECT_EQ(StretchDIBits(dst.dc(), 0, 0, 2, 2, 0, 0, 2, 2, bits, &bi, 0, SRCCOPY), 0);
  EXPECT_EQ(StretchDIBits(dst.dc(), 0, 0, 2, 2, 0, 0, 2, 2, nullptr, nullptr, 0, SRCCOPY), 0);
  bi.bmiHeader.biCompression = BI_RGB;
  bi.bmiHeader.biWidth = 1 << 30;
  bi.bmiHeader.biHeight = 1 << 30;
  void* out = nullptr;
  EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &out, nullptr, 0), nullptr);
  EXPECT_EQ(out, nullptr);
}

TEST(BlitTest, ClipRegionLimitsTheCopy) {
  Surface src(4, 4), dst(4, 4);
  src.Fill(RGB(255, 0, 0));
  dst.Fill(0);
  HRGN clip = CreateRectRgn(1, 1, 3, 3);
  SelectClipRgn(dst.dc(), clip);
  DeleteObject(clip);  // the DC keeps its own copy
  BitBlt(dst.dc(), 0, 0, 4, 4, src.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(dst.At(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(dst.At(2, 2), RGB(255, 0, 0));
  SelectClipRgn(dst.dc(), nullptr);
  EXPECT_EQ(dst.At(0, 0), 0u);
  EXPECT_EQ(dst.At(3, 3), 0u);
}

TEST(BlitTest, WorldTransformFlipsAndTranslates) {
  Surface src(1, 3), dst(1, 3);
  for (int y = 0; y < 3; ++y) src.Set(0, y, RGB(y * 50, 0, 0));
  SetGraphicsMode(dst.dc(), GM_ADVANCED);
  XFORM flip;
  flip.eM22 = -1;
  flip.eDy = 2;
  ASSERT_TRUE(SetWorldTransform(dst.dc(), &flip));
  BitBlt(dst.dc(), 0, 0, 1, 3, src.dc(), 0, 0, SRCCOPY);
  // Logical row 0 lands on device row 2.
  SetPixel(dst.dc(), 0, 0, RGB(0, 0, 7));
  ModifyWorldTransform(dst.dc(), nullptr, MWT_IDENTITY);
  EXPECT_EQ(dst.At(0, 2), RGB(0, 0, 7));
  EXPECT_EQ(dst.At(0, 1), RGB(50, 0, 0));
  EXPECT_EQ(dst.At(0, 0), RGB(100, 0, 0));
  // A viewport origin moves drawing.
  SetViewportOrgEx(dst.dc(), 0, 1, nullptr);
  SetPixel(dst.dc(), 0, 0, RGB(1, 2, 3));
  SetViewportOrgEx(dst.dc(), 0, 0, nullptr);
  EXPECT_EQ(dst.At(0, 1), RGB(1, 2, 3));
  // The transform needs the advanced mode.
  SetGraphicsMode(dst.dc(), GM_COMPATIBLE);
  EXPECT_FALSE(SetWorldTransform(dst.dc(), &flip));
}

TEST(BlitTest, SaveAndRestoreState) {
  Surface s(2, 2);
  const int32_t level = SaveDC(s.dc());
  EXPECT_EQ(level, 1);
  SetTextColor(s.dc(), RGB(1, 2, 3));
  SetROP2(s.dc(), R2_XORPEN);
  HRGN clip = CreateRectRgn(0, 0, 1, 1);
  SelectClipRgn(s.dc(), clip);
  DeleteObject(clip);
  EXPECT_TRUE(RestoreDC(s.dc(), -1));
  EXPECT_EQ(GetTextColor(s.dc()), 0u);
  EXPECT_EQ(GetROP2(s.dc()), R2_COPYPEN);
  TRect box;
  EXPECT_EQ(GetClipBox(s.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box, Rect(0, 0, 2, 2));
  EXPECT_FALSE(RestoreDC(s.dc(), 1));  // nothing left to restore
}

TEST(BlitTest, PackedDibRoundTripAndHostileBlocks) {
  Surface s(3, 2);
  s.Fill(RGB(5, 6, 7));
  s.Set(2, 1, RGB(200, 100, 0));
  for (bool topDown : {false, true}) {
    std::vector<uint8_t> packed = PackedDIBFromBitmap(s.bitmap(), 24, topDown);
    ASSERT_FALSE(packed.empty());
    const BITMAPINFO* info = nullptr;
    const void* bits = nullptr;
    ASSERT_TRUE(ParsePackedDIB(packed.data(), packed.size(), &info, &bits));
    EXPECT_EQ(info->bmiHeader.biHeight, topDown ? -2 : 2);
    HBITMAP copy = BitmapFromPackedDIB(packed.data(), packed.size());
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, copy);
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(200, 100, 0));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(5, 6, 7));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(copy);
    // Every truncation is refused.
    for (size_t n : {size_t{0}, size_t{10}, size_t{40}, packed.size() - 1})
      EXPECT_EQ(BitmapFromPackedDIB(packed.data(), n), nullptr) << n;
  }
  std::vector<uint8_t> packed = PackedDIBFromBitmap(s.bitmap(), 8);
  BITMAPINFOHEADER h;
  std::memcpy(&h, packed.data(), sizeof h);
  h.biClrUsed = 1u << 31;  // a colour count beyond the block: the table is the full 256 then
  std::memcpy(packed.data(), &h, sizeof h);
  EXPECT_NE(BitmapFromPackedDIB(packed.data(), packed.size()), nullptr);
  h.biSize = 1u << 30;
  std::memcpy(packed.data(), &h, sizeof h);
  EXPECT_EQ(BitmapFromPackedDIB(packed.data(), packed.size()), nullptr);
  // Bit fields behind a header of 41 to 51 bytes: the masks at byte 40 would run past the header
  // (and here past the block).
  std::vector<uint8_t> fields(46, 0);
  BITMAPINFOHEADER f{};
  f.biSize = 41;
  f.biWidth = 1;
  f.biHeight = -1;
  f.biPlanes = 1;
  f.biBitCount = 32;
  f.biCompression = BI_BITFIELDS;
  std::memcpy(fields.data(), &f, sizeof f);
  EXPECT_FALSE(ParsePackedDIB(fields.data(), fields.size(), nullptr, nullptr));
}

TEST(BlitTest, GetAndSetDibitsConvert) {
  Surface s(2, 2);
  s.Fill(RGB(255, 255, 255));
  s.Set(0, 1, 0);
  BITMAPINFO bi{};
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = 2;  // bottom-up: line 0 is the bottom row
  bi.bmiHeader.biBitCount = 32;
  uint32_t px[4] = {};
  EXPECT_EQ(GetDIBits(s.dc(), s.bitmap(), 0, 2, px, &bi, DIB_RGB_COLORS), 2);
  EXPECT_EQ(px[0] & 0xFFFFFF, 0u);           // bottom-left
  EXPECT_EQ(px[2] & 0xFFFFFF, 0xFFFFFFu);    // top-left
  px[3] = 0x000000FF;  // top-right becomes blue
  EXPECT_EQ(SetDIBits(s.dc(), s.bitmap(), 0, 2, px, &bi, DIB_RGB_COLORS), 2);
  EXPECT_EQ(s.At(1, 0), RGB(0, 0, 255));
}

TEST(BlitTest, SurfaceDcDrawsOnCallerRows) {
  // A window surface: 32-bit rows with an opaque fourth byte.
  std::vector<uint32_t> rows(4 * 3, 0xFF000000);
  HDC dc = CreateSurfaceDC(rows.data(), 4, 3, 16, 32, nullptr, 0, true);
  ASSERT_NE(dc, nullptr);
  HBRUSH b = CreateSolidBrush(RGB(255, 0, 0));
  TRect r{1, 1, 3, 2};
  FillRect(dc, &r, b);
  EXPECT_EQ(rows[4 + 1], 0xFFFF0000u);
  EXPECT_EQ(rows[4 + 3], 0xFF000000u);
  // XOR drawn twice leaves the surface as it was.
  PatBlt(dc, 0, 0, 4, 3, DSTINVERT);
  PatBlt(dc, 0, 0, 4, 3, DSTINVERT);
  EXPECT_EQ(rows[4 + 1], 0xFFFF0000u);
  DeleteObject(b);
  DeleteDC(dc);
}

TEST(BlitTest, StaleHandlesFail) {
  HDC dc = CreateCompatibleDC(nullptr);
  DeleteDC(dc);
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
  HBRUSH b = CreateSolidBrush(0);
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_FALSE(DeleteObject(b));
  EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
}

// A thread trusts the handles it used last; freeing one of them, here or on another thread, and
// freeing many other objects in between, must still make the freed handle fail at once.
TEST(BlitTest, HandlesFreedAfterUseFailOnEveryThread) {
  std::vector<HBRUSH> brushes;
  for (int i = 0; i < 64; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
  LOGBRUSH lb{};
  for (HBRUSH b : brushes) ASSERT_EQ(GetObject(b, sizeof lb, &lb), static_cast<int>(sizeof lb));
  // Others come and go; the ones in use stay good.
  for (int i = 0; i < 100; ++i) DeleteObject(CreateSolidBrush(0));
  for (HBRUSH b : brushes) EXPECT_EQ(GetObject(b, sizeof lb, &lb), static_cast<int>(sizeof lb));
  // Freed here, after this thread looked each up twice.
  for (size_t i = 0; i < brushes.size(); i += 2) {
    EXPECT_TRUE(DeleteObject(brushes[i]));
    EXPECT_EQ(GetObject(brushes[i], sizeof lb, &lb), 0);
    EXPECT_EQ(GetObject(brushes[i + 1], sizeof lb, &lb), static_cast<int>(sizeof lb));
  }
  // Freed on another thread.
  std::thread([&] {
    for (size_t i = 1; i < brushes.size(); i += 2) EXPECT_TRUE(DeleteObject(brushes[i]));
  }).join();
  for (size_t i = 1; i < brushes.size(); i += 2) {
    EXPECT_EQ(GetObject(brushes[i], sizeof lb, &lb), 0);
    EXPECT_FALSE(DeleteObject(brushes[i]));
  }
}

// Solid fills straight onto 24- and 32-bit rows of every layout: top-down packed (whole rows are one
// run), top-down with padding after each row, and bottom-up; the rectangle, cut by the clip and
// the surface, is filled and nothing else, padding included.
TEST(BlitTest, SolidFillsWriteExactlyTheirRectangleOnEveryRowLayout) {
  constexpr int kW = 13, kH = 9;
  constexpr uint8_t kGuard = 0xA5;
  struct Layout {
    int bits, padding;
    bool bottomUp;
  } layouts[] = {{32, 0, false}, {32, 8, false}, {32, 0, true}, {24, 0, false}, {24, 5, false}, {24, 3, true}};
  struct Case {
    TRect fill;
    std::vector<TRect> clip;  // none: no clip region
  } cases[] = {
      {{0, 0, kW, kH}, {}},      {{0, 2, kW, 5}, {}},          {{0, 4, kW, 5}, {}},
      {{3, 1, 9, 8}, {}},        {{-5, -2, kW + 4, kH + 7}, {}}, {{0, 0, kW, kH}, {{0, 1, kW, 3}, {2, 5, 7, 8}}},
      {{1, 0, kW, kH}, {{0, 0, kW, kH}}}, {{0, 3, kW, 3}, {}},
  };
  for (const Layout& l : layouts)
    for (const Case& c : cases) {
      const int rowBytes = kW * l.bits / 8 + l.padding;
      std::vector<uint8_t> mem(static_cast<size_t>(rowBytes) * kH, kGuard);
      uint8_t* top = l.bottomUp ? mem.data() + static_cast<size_t>(rowBytes) * (kH - 1) : mem.data();
      HDC dc = CreateSurfaceDC(top, kW, kH, l.bottomUp ? -rowBytes : rowBytes, l.bits);
      ASSERT_NE(dc, nullptr);
      if (!c.clip.empty()) {
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        for (const TRect& r : c.clip) {
          HRGN part = CreateRectRgnIndirect(&r);
          CombineRgn(rgn, rgn, part, RGN_OR);
          DeleteObject(part);
        }
        SelectClipRgn(dc, rgn);
        DeleteObject(rgn);
      }
      HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
      EXPECT_EQ(FillRect(dc, &c.fill, brush), 1);
      DeleteObject(brush);
      DeleteDC(dc);
      auto painted = [&](int x, int y) {
        TRect on{0, 0, kW, kH}, meet;
        if (!IntersectRect(meet, c.fill, on) || x < meet.Left || x >= meet.Right || y < meet.Top || y >= meet.Bottom)
          return false;
        if (c.clip.empty()) return true;
        for (const TRect& r : c.clip)
          if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return true;
        return false;
      };
      for (int y = 0; y < kH; ++y) {
        const uint8_t* row = l.bottomUp ? top - static_cast<ptrdiff_t>(y) * rowBytes : top + static_cast<ptrdiff_t>(y) * rowBytes;
        for (int b = 0; b < rowBytes; ++b) {
          const int x = b / (l.bits / 8), channel = b % (l.bits / 8);
          const uint8_t filled = channel == 0 ? 0x56 : channel == 1 ? 0x34 : channel == 2 ? 0x12 : 0;
          const uint8_t want = x < kW && painted(x, y) ? filled : kGuard;
          ASSERT_EQ(row[b], want) << l.bits << " bits, padding " << l.padding << (l.bottomUp ? " bottom-up" : "")
                                  << ", fill " << c.fill.Left << "," << c.fill.Top << "-" << c.fill.Right << ","
                                  << c.fill.Bottom << ", clip rects " << c.clip.size() << ": byte " << b << " of row " << y;
        }
      }
    }
}

// Threads that create, select, draw with and free objects at the same time, and hand objects to
// each other: a handle freed on one thread is never found again on the thread that used it before.
TEST(BlitTest, HandlesHandedBetweenBusyThreadsFailOnceFreed) {
  constexpr int kRounds = 400;
  std::mutex m;
  std::condition_variable cv;
  HGDIOBJ handed = nullptr;  // made and used by the first thread, freed by the second
  bool freed = false, checked = true, stop = false;
  std::atomic<int> failures{0};

  // Both busy threads draw into their own DC with objects they make and free every round.
  auto churn = [&](int seed) {
    Surface s(8, 8, 32);
    for (int i = 0; i < 8; ++i) {
      HBRUSH b = CreateSolidBrush(RGB(seed, i, 7));
      HPEN p = CreatePen(PS_SOLID, 1, RGB(i, seed, 9));
      HRGN r = CreateRectRgn(0, 0, 4 + i % 4, 4);
      HGDIOBJ ob = SelectObject(s.dc(), b), op = SelectObject(s.dc(), p);
      SelectClipRgn(s.dc(), r);
      if (!Rectangle(s.dc(), 0, 0, 6, 6) || s.At(1, 1) != RGB(seed, i, 7)) ++failures;
      SelectClipRgn(s.dc(), nullptr);
      SelectObject(s.dc(), ob);
      SelectObject(s.dc(), op);
      if (!DeleteObject(b) || !DeleteObject(p) || !DeleteObject(r)) ++failures;
      LOGBRUSH lb{};
      if (GetObject(b, sizeof lb, &lb) != 0) ++failures;  // nothing made on this thread since
    }
  };

  std::thread freer([&] {
    for (;;) {
      churn(200);
      std::unique_lock<std::mutex> l(m);
      cv.wait(l, [&] { return stop || (handed && !freed); });
      if (stop) return;
      if (!DeleteObject(handed)) ++failures;
      freed = true;
      checked = false;
      cv.notify_all();
      // Nothing is made here until the user has looked at the freed handle, so its address is not
      // given to a new object in between.
      cv.wait(l, [&] { return checked; });
    }
  });

  for (int round = 0; round < kRounds; ++round) {
    churn(100);
    HBRUSH b = CreateSolidBrush(RGB(round & 255, 1, 2));
    {
      Surface s(4, 4, 32);
      HGDIOBJ old = SelectObject(s.dc(), b);
      for (int i = 0; i < 3; ++i) PatBlt(s.dc(), 0, 0, 4, 4, PATCOPY);  // looked up again and again
      if (s.At(2, 2) != RGB(round & 255, 1, 2)) ++failures;
      SelectObject(s.dc(), old);
    }
    std::unique_lock<std::mutex> l(m);
    handed = b;
    freed = false;
    cv.notify_all();
    cv.wait(l, [&] { return freed; });
    LOGBRUSH lb{};
    EXPECT_EQ(GetObject(b, sizeof lb, &lb), 0) << "round " << round;
    EXPECT_EQ(GetObjectType(b), 0u) << "round " << round;
    handed = nullptr;
    checked = true;
    cv.notify_all();
  }
  {
    std::lock_guard<std::mutex> l(m);
    stop = true;
  }
  cv.notify_all();
  freer.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(BlitTest, HugeExtentsFinishQuickly) {
  Surface src(4, 4), dst(4, 4);
  src.Fill(RGB(10, 20, 30));
  for (int mode : {HALFTONE, COLORONCOLOR, BLACKONWHITE}) {
    SetStretchBltMode(dst.dc(), mode);
    EXPECT_TRUE(StretchBlt(dst.dc(), 0, 0, 4, 4, src.dc(), 0, 0, 1 << 30, 1 << 30, SRCCOPY));
    EXPECT_TRUE(StretchBlt(dst.dc(), -(1 << 30), -(1 << 30), INT32_MAX, INT32_MAX, src.dc(), 0, 0, 4, 4, SRCCOPY));
    EXPECT_TRUE(StretchBlt(dst.dc(), 0, 0, 4, 4, src.dc(), INT32_MIN / 2, 0, INT32_MAX, 4, SRCCOPY));
  }
  // The part of a huge source block inside the source is averaged, in sums wide enough for it, on
  // either path and onto a monochrome destination too.
  for (const bool fast : {true, false}) {
    GdiHalftoneFastPathForTesting() = fast;
    Surface d24(2, 2), d1(2, 2, 1);
    for (Surface* d : {&d24, &d1}) {
      SetStretchBltMode(d->dc(), HALFTONE);
      EXPECT_TRUE(StretchBlt(d->dc(), 0, 0, 2, 2, src.dc(), 0, 0, 1 << 30, 1 << 30, SRCCOPY));
      // Both blocks huge: each source pixel weighs up to 2^27 in each direction.
      EXPECT_TRUE(StretchBlt(d->dc(), 0, 0, 1 << 27, 1 << 27, src.dc(), 0, 0, 1 << 30, 1 << 30, SRCCOPY));
    }
    EXPECT_EQ(d24.At(0, 0), RGB(10, 20, 30));
  }
  GdiHalftoneFastPathForTesting() = true;
  BLENDFUNCTION bf;
  EXPECT_TRUE(AlphaBlend(dst.dc(), 0, 0, 4, 4, src.dc(), 0, 0, 1 << 30, 1 << 30, bf));
  EXPECT_TRUE(BitBlt(dst.dc(), INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, src.dc(), 0, 0, SRCCOPY));
  TRect r{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  HBRUSH b = CreateSolidBrush(0);
  EXPECT_EQ(FillRect(dst.dc(), &r, b), 1);
  EXPECT_EQ(dst.At(3, 3), 0u);
  DeleteObject(b);
  EXPECT_TRUE(Ellipse(dst.dc(), -(1 << 29), -(1 << 29), 1 << 29, 1 << 29));
  EXPECT_TRUE(LineTo(dst.dc(), INT32_MAX, INT32_MAX));
}

TEST(BlitTest, ExtremeRectanglesFillEveryPixelTheyCover) {
  // Extents of up to 2^32 - 1 under the identity, a doubling and a mirroring world transform; the
  // 4 x 4 surface lies inside each rectangle, so every pixel must change.
  const TRect rects[] = {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
                         {-1, -1, INT32_MAX, INT32_MAX},
                         {INT32_MIN, INT32_MIN, 4, 4}};
  const XFORM transforms[] = {{1, 0, 0, 1, 0, 0}, {2, 0, 0, 2, 0, 0}, {-1, 0, 0, -1, 3, 3}};
  for (const XFORM& xf : transforms)
    for (const TRect& r : rects) {
      Surface s(4, 4);
      s.Fill(RGB(255, 255, 255));
      SetGraphicsMode(s.dc(), GM_ADVANCED);
      ASSERT_TRUE(SetWorldTransform(s.dc(), &xf));
      HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
      EXPECT_EQ(FillRect(s.dc(), &r, red), 1);
      DeleteObject(red);
      const XFORM identity;
      SetWorldTransform(s.dc(), &identity);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
          ASSERT_EQ(s.At(x, y), RGB(255, 0, 0)) << "transform " << xf.eM11 << ", rect " << r.Left << " " << r.Top
                                                << " " << r.Right << " " << r.Bottom << ", pixel " << x << " " << y;
    }
}

TEST(BlitTest, AlphaBlendConstantAndPerPixel) {
  Surface src(2, 1, 32), dst(2, 1);
  dst.Fill(RGB(0, 0, 0));
  src.Fill(RGB(200, 100, 0));
  BLENDFUNCTION half;
  half.SourceConstantAlpha = 128;
  AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 2, 1, half);
  EXPECT_NEAR(GetRValue(dst.At(0, 0)), 100, 1);
  EXPECT_NEAR(GetGValue(dst.At(0, 0)), 50, 1);
  // Premultiplied per-pixel alpha: an alpha of 0 leaves the destination.
  dst.Fill(RGB(0, 0, 255));
  DIBSECTION ds;
  GetObject(src.bitmap(), sizeof ds, &ds);
  uint32_t* px = static_cast<uint32_t*>(ds.dsBm.bmBits);
  px[0] = 0x00000000;  // transparent
  px[1] = 0xFF00FF00;  // opaque green
  BLENDFUNCTION perPixel;
  perPixel.AlphaFormat = AC_SRC_ALPHA;
  AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 2, 1, perPixel);
  EXPECT_EQ(dst.At(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(dst.At(1, 0), RGB(0, 255, 0));
}

TEST(BlitTest, ScreenFacts) {
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  EXPECT_GE(ScreenColorDepth(), 24);
  // A memory DC starts with a monochrome bitmap: compatible bitmaps are monochrome too.
  HBITMAP mono = CreateCompatibleBitmap(dc, 4, 4);
  BITMAP bm;
  GetObject(mono, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  HBITMAP screen = CreateCompatibleBitmap(nullptr, 4, 4);
  GetObject(screen, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  DeleteObject(mono);
  DeleteObject(screen);
  DeleteDC(dc);
}

TEST(BlitTest, HalftoneGivesTheSameAveragesFromEveryDepth) {
  // Colours a 5-5-5 pixel holds exactly, on 24-, 32- and 16-bit sources: the byte path and the
  // general path must agree.
  auto fill = [](Surface& s) {
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 12; ++x) s.Set(x, y, RGB((x * 40) & 0xF8, (y * 24) & 0xF8, ((x + y) * 16) & 0xF8));
  };
  Surface s24(12, 9, 24), s32(12, 9, 32), s16(12, 9, 16);
  fill(s24);
  fill(s32);
  fill(s16);
  for (auto size : {std::pair{5, 4}, std::pair{4, 3}, std::pair{7, 7}}) {
    Surface d24(size.first, size.second), d32(size.first, size.second), d16(size.first, size.second);
    for (Surface* d : {&d24, &d32, &d16}) SetStretchBltMode(d->dc(), HALFTONE);
    StretchBlt(d24.dc(), 0, 0, size.first, size.second, s24.dc(), 0, 0, 12, 9, SRCCOPY);
    StretchBlt(d32.dc(), 0, 0, size.first, size.second, s32.dc(), 0, 0, 12, 9, SRCCOPY);
    StretchBlt(d16.dc(), 0, 0, size.first, size.second, s16.dc(), 0, 0, 12, 9, SRCCOPY);
    for (int y = 0; y < size.second; ++y)
      for (int x = 0; x < size.first; ++x) {
        EXPECT_EQ(d24.At(x, y), d32.At(x, y)) << x << "," << y;
        EXPECT_EQ(d24.At(x, y), d16.At(x, y)) << x << "," << y;
      }
  }
}

TEST(BlitTest, TransparentBltStretchedWiderThanItsSource) {
  // Two source pixels over 40 destination columns: each covers 20, the keyed one leaves the
  // destination as it was.
  Surface src(2, 1), dst(40, 2);
  src.Set(0, 0, 0x0000FF);
  src.Set(1, 0, 0x00FF00);
  dst.Fill(0xFF0000);
  EXPECT_TRUE(TransparentBlt(dst.dc(), 0, 0, 40, 2, src.dc(), 0, 0, 2, 1, 0x00FF00));
  for (int x = 0; x < 40; x += 3) {
    EXPECT_EQ(dst.At(x, 0), x < 20 ? 0x0000FFu : 0xFF0000u) << x;
    EXPECT_EQ(dst.At(x, 1), x < 20 ? 0x0000FFu : 0xFF0000u) << x;
  }
}

// At the same size between rows of one layout the keyed copy takes its own path; it agrees with
// the general one (a source of the other depth onto the same destination), also partly outside both.
TEST(BlitTest, TransparentBltAtTheSameSizeAgreesAcrossLayouts) {
  const COLORREF key = 0xFF00FF;
  for (int bits : {24, 32}) {
    Surface a(6, 4, bits), b(6, 4, bits == 24 ? 32 : 24), same(8, 6, bits), general(8, 6, bits);
    const COLORREF colours[] = {0x0000F8, 0x00F800, key, 0xF80000, 0xFF00FE, 0};
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) {
        a.Set(x, y, colours[(x + 2 * y) % 6]);
        b.Set(x, y, colours[(x + 2 * y) % 6]);
      }
    for (auto [x, y] : {std::pair{1, 1}, std::pair{-2, -1}, std::pair{5, 4}}) {
      same.Fill(0x336699);
      general.Fill(0x336699);
      EXPECT_TRUE(TransparentBlt(same.dc(), x, y, 6, 4, a.dc(), 0, 0, 6, 4, key));
      EXPECT_TRUE(TransparentBlt(general.dc(), x, y, 6, 4, b.dc(), 0, 0, 6, 4, key));
      int kept = 0;
      for (int yy = 0; yy < 6; ++yy)
        for (int xx = 0; xx < 8; ++xx) {
          EXPECT_EQ(same.At(xx, yy), general.At(xx, yy)) << bits << " at " << xx << "," << yy;
          kept += same.At(xx, yy) == 0x336699;
        }
      EXPECT_GT(kept, 8);
    }
  }
}

// Every pair of 24- and 32-bit layouts, and a 16-bit destination (the general path): pixels of the
// key leave the destination, the others are copied, also for blocks partly outside both.
TEST(BlitTest, TransparentBltAtTheSameSizeCopiesAllButTheKeyForEveryLayoutPair) {
  const COLORREF key = 0xFF00FF, back = 0x306090;
  const COLORREF colours[] = {0x0000F8, 0x00F800, key, 0xF80000, 0xF800F8, 0};
  for (int from : {24, 32})
    for (int to : {16, 24, 32}) {
      Surface src(6, 4, from), dst(8, 6, to), one(1, 1, to);
      // A colour as the destination's layout keeps it.
      auto stored = [&](COLORREF c) {
        one.Set(0, 0, c);
        return one.At(0, 0);
      };
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) src.Set(x, y, colours[(x + 2 * y) % 6]);
      for (auto [x, y] : {std::pair{1, 1}, std::pair{-2, -1}, std::pair{5, 4}}) {
        dst.Fill(back);
        EXPECT_TRUE(TransparentBlt(dst.dc(), x, y, 6, 4, src.dc(), 0, 0, 6, 4, key));
        for (int yy = 0; yy < 6; ++yy)
          for (int xx = 0; xx < 8; ++xx) {
            const int sx = xx - x, sy = yy - y;
            const bool inside = sx >= 0 && sx < 6 && sy >= 0 && sy < 4;
            const COLORREF c = inside ? colours[(sx + 2 * sy) % 6] : key;
            EXPECT_EQ(dst.At(xx, yy), stored(c == key ? back : c)) << from << " to " << to << " at " << xx << "," << yy;
          }
      }
    }
}

// Rows of many pixels between 32-bit pictures are keyed several pixels at a time: every width
// around those groups, keys next to kept pixels, and runs of either.
TEST(BlitTest, KeyedCopiesOfLongTrueColourRowsKeepExactlyTheKeyPixels) {
  const COLORREF key = 0xFF00FF, back = 0x306090;
  for (int w : {1, 7, 8, 9, 15, 16, 17, 31, 40}) {
    Surface src(w, 3, 32), dst(w + 2, 3, 32);
    auto colour = [&](int x, int y) -> COLORREF {
      const int k = (x * 7 + y * 3) % 11;
      return k < 4 ? key : k == 4 ? 0xFF00FE : RGB(x * 5, y * 40, k * 20);
    };
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < w; ++x) src.Set(x, y, colour(x, y));
    dst.Fill(back);
    EXPECT_TRUE(TransparentBlt(dst.dc(), 1, 0, w, 3, src.dc(), 0, 0, w, 3, key));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < w + 2; ++x) {
        const bool inside = x >= 1 && x <= w;
        const COLORREF want = inside && colour(x - 1, y) != key ? colour(x - 1, y) : back;
        EXPECT_EQ(dst.At(x, y), want) << w << " at " << x << "," << y;
      }
  }
}

namespace {

// A 24-bit DIB section with noise, and its rows read back.
struct Noise24 {
  HBITMAP bmp;
  HDC dc;
  HGDIOBJ old;
  uint8_t* bits = nullptr;
  int w, h;
  Noise24(int width, int height, uint32_t seed) : w(width), h(height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up, as framework bitmaps are
    bi.bmiHeader.biBitCount = 24;
    void* p = nullptr;
    bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint8_t*>(p);
    for (int i = 0; i < DibRowBytes(w, 24) * h; ++i) {
      seed = seed * 1103515245u + 12345u;
      bits[i] = static_cast<uint8_t>(seed >> 16);
    }
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bmp);
    SetStretchBltMode(dc, HALFTONE);
  }
  ~Noise24() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(bits, bits + DibRowBytes(w, 24) * h); }
};

}  // namespace

TEST(BlitTest, TheTwentyFourBitHalftonePathGivesTheGeneralPathsBytes) {
  struct Case {
    int dx, dy, dw, dh, sx, sy, sw, sh;
  };
  const Case cases[] = {
      {0, 0, 21, 13, 0, 0, 64, 40},     // shrink, uneven ratios
      {0, 0, 64, 40, 5, 3, 17, 11},     // enlarge
      {-7, -5, 90, 60, 0, 0, 64, 40},   // reaching past the destination
      {3, 2, 50, 30, -10, -6, 80, 50},  // reaching past the source
      {40, 30, -33, -22, 0, 0, 64, 40}, // mirrored both ways
      {10, 0, 20, 40, 63, 0, -30, 40},  // mirrored source
      {0, 0, 64, 40, 0, 0, 64, 40},     // the same size
      {1, 1, 1, 1, 0, 0, 64, 40},       // a whole picture into one pixel
      {0, 0, 5, 40, 30, 0, 1, 40},      // one column spread
  };
  Noise24 src(64, 40, 7);
  for (const Case& c : cases) {
    std::vector<uint8_t> out[2];
    for (int fast = 0; fast < 2; ++fast) {
      GdiHalftoneFastPathForTesting() = fast == 1;
      Noise24 dst(48, 36, 99);
      HRGN clip = CreateRectRgn(2, 1, 45, 30);
      SelectClipRgn(dst.dc, clip);
      DeleteObject(clip);
      EXPECT_TRUE(StretchBlt(dst.dc, c.dx, c.dy, c.dw, c.dh, src.dc, c.sx, c.sy, c.sw, c.sh, SRCCOPY));
      out[fast] = dst.Bytes();
    }
    EXPECT_EQ(out[0], out[1]) << c.dx << "," << c.dy << " " << c.dw << "x" << c.dh << " from " << c.sx << ","
                              << c.sy << " " << c.sw << "x" << c.sh;
  }
  // A squeeze of a bitmap onto itself reads the old content first on either path.
  std::vector<uint8_t> self[2];
  for (int fast = 0; fast < 2; ++fast) {
    GdiHalftoneFastPathForTesting() = fast == 1;
    Noise24 b(64, 40, 5);
    StretchBlt(b.dc, 10, 0, 40, 40, b.dc, 0, 0, 64, 40, SRCCOPY);
    self[fast] = b.Bytes();
  }
  EXPECT_EQ(self[0], self[1]);
  GdiHalftoneFastPathForTesting() = true;
}

TEST(BlitTest, TwentyFourBitRowsCopyOntoThirtyTwoBitSurfaces) {
  Noise24 src(9, 4, 3);
  std::vector<uint32_t> surface(12 * 5, 0x12345678u);
  for (const bool opaque : {false, true}) {
    HDC dc = CreateSurfaceDC(surface.data(), 12, 5, 12 * 4, 32, nullptr, 0, opaque);
    EXPECT_TRUE(BitBlt(dc, 2, 1, 9, 4, src.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 9; ++x) {
        const uint8_t* p = src.bits + (3 - y) * DibRowBytes(9, 24) + 3 * x;  // bottom-up rows
        const uint32_t want = (opaque ? 0xFF000000u : 0u) | p[2] << 16 | p[1] << 8 | p[0];
        EXPECT_EQ(surface[(y + 1) * 12 + x + 2], want) << x << "," << y;
      }
    EXPECT_EQ(surface[0], 0x12345678u);
    DeleteDC(dc);
  }
}
