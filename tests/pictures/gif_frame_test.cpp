// GIF frames: bounds, pixel access, rendering and masks, importing framework bitmaps, drawing,
// cropping and merging.
#include <gtest/gtest.h>

#include "tests/pictures/gif_test_support.h"

using namespace giftest;

namespace {

std::unique_ptr<TBitmap> Bitmap24(int w, int h, const std::function<TColor(int, int)>& color) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->Canvas()->SetPixels(x, y, color(x, y));
  return b;
}

// A frame of the given pixels with a local table of Colors(n) (entry i: (17i, 31i + 5, 7i + 9)).
TGIFSubImage* AddFrame(TGIFImage& image, TRect bounds, const Bytes& pixels, int colors, int transparent = -1) {
  auto frame = std::make_unique<TGIFSubImage>(&image);
  for (const RGB3& c : Colors(colors)) frame->ColorMap()->Add(static_cast<TColor>(RGB(c[0], c[1], c[2])));
  frame->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  std::copy(pixels.begin(), pixels.end(), frame->Data());
  if (transparent >= 0) {
    auto gce = std::make_unique<TGIFGraphicControlExtension>(frame.get());
    gce->SetTransparent(true);
    gce->SetTransparentColorIndex(static_cast<uint8_t>(transparent));
    frame->Extensions()->Add(std::move(gce));
  }
  TGIFSubImage* added = frame.get();
  image.AppendFrame(std::move(frame));
  return added;
}

TColor ColorOf(int index) {
  const RGB3 c = Colors(256)[static_cast<size_t>(index)];
  return static_cast<TColor>(RGB(c[0], c[1], c[2]));
}

TEST(GIFFrame, BoundsReallocateAndWidenTheScreenWithWarnings) {
  TGIFImage image;
  std::vector<std::string> warnings;
  image.OnGIFWarning = [&](TObject*, int32_t, const std::string& m) { warnings.push_back(m); };
  TGIFSubImage* frame = AddFrame(image, {0, 0, 4, 3}, Pattern(4, 3, 4, 1), 4);
  EXPECT_EQ(image.Width(), 4);
  EXPECT_TRUE(warnings.empty());  // the screen had no size yet
  frame->SetWidth(6);
  EXPECT_EQ(FramePixels(frame), Bytes(18, 0));
  EXPECT_EQ(warnings, (std::vector<std::string>{"Image width too small for contained frames",
                                                "Image exceeds Logical Screen size"}));
  EXPECT_EQ(image.Width(), 6);
  frame->SetLeft(2);  // a move keeps the pixels
  frame->SetPixels(5, 2, 3);
  frame->SetLeft(3);
  EXPECT_EQ(frame->Pixels(5, 2), 3);
  EXPECT_EQ(image.Width(), 9);
  const auto error = [&](int x, int y) {
    try {
      frame->Pixels(x, y);
    } catch (const GIFException& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(error(6, 0), "Invalid pixel coordinates");
  EXPECT_EQ(error(0, -1), "Invalid pixel coordinates");
  // The screen cannot shrink below a frame.
  EXPECT_THROW(image.SetWidth(8), GIFException);
  EXPECT_EQ(image.Width(), 9);
  image.SetWidth(12);
  EXPECT_EQ(image.Width(), 12);
}

TEST(GIFFrame, RendersItsColoursAndAMaskOfItsTransparentPixels) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, {0, 0, 19, 3}, Pattern(19, 3, 5), 5, 2);
  TBitmap* rendered = frame->Bitmap();
  ASSERT_NE(rendered, nullptr);
  ASSERT_TRUE(frame->HasMask());
  TBitmap mask;
  mask.SetHandle(frame->Mask());
  const Bytes pixels = Pattern(19, 3, 5);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 19; ++x) {
      const uint8_t p = pixels[static_cast<size_t>(y) * 19 + x];
      EXPECT_EQ(rendered->Canvas()->Pixels(x, y), ColorOf(p));
      // Bit 1 (white) where transparent.
      EXPECT_EQ(mask.Canvas()->Pixels(x, y) == clWhite, p == 2) << x << "," << y;
    }
  mask.ReleaseHandle();
  // A frame whose transparent index no pixel uses has no mask.
  TGIFSubImage* opaque = AddFrame(image, {0, 0, 4, 1}, {0, 1, 0, 1}, 4, 3);
  EXPECT_FALSE(opaque->HasMask());
}

TEST(GIFFrame, DitheredRenderingUsesTheWebPaletteAndKeepsTheMask) {
  TGIFImage image;
  image.SetPaintFlags(static_cast<TGIFPaintFlags>((image.PaintFlags() | gpfDither) & ~gpfDitherOnPaletteDisplay));
  ASSERT_TRUE(image.DoDither());
  TGIFSubImage* frame = AddFrame(image, {0, 0, 8, 8}, Pattern(8, 8, 6), 6, 0);
  TBitmap* rendered = frame->Bitmap();
  ASSERT_NE(rendered, nullptr);
  const std::vector<RGBQUAD> table = rendered->ColorTable();
  EXPECT_EQ(table[215].rgbRed, 255);
  EXPECT_EQ(table[43].rgbGreen, 51);  // 36 + 6 + 1
  EXPECT_TRUE(frame->HasMask());
  const Bytes pixels = Pattern(8, 8, 6);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const TColor c = rendered->Canvas()->Pixels(x, y);
      for (int shift : {0, 8, 16}) EXPECT_EQ(((c >> shift) & 0xFF) % 51, 0u);
    }
}

TEST(GIFFrame, ABitmapOfUpTo8BitsKeepsItsTableAndDeeperOnesAreReduced) {
  TGIFImage image;
  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(3, 1);
  RGBQUAD table[3] = {{0, 0, 200, 0}, {0, 200, 0, 0}, {200, 0, 0, 0}};
  eight.SetColorTable(table, 3);
  eight.ScanLine(0)[0] = 2;
  eight.ScanLine(0)[1] = 0;
  eight.ScanLine(0)[2] = 1;
  image.AppendFrame(&eight);
  TGIFSubImage* frame = image.Images()->Items(0);
  EXPECT_EQ(FramePixels(frame), (Bytes{2, 0, 1}));
  EXPECT_EQ(frame->ColorMap()->Colors(0), static_cast<TColor>(RGB(200, 0, 0)));
  EXPECT_EQ(frame->ColorMap()->Colors(2), static_cast<TColor>(RGB(0, 0, 200)));

  // 24 bits: reduced to the web palette (the default) and imported.
  auto deep = Bitmap24(4, 2, [](int x, int y) { return static_cast<TColor>(RGB(x * 51, y * 102, 0)); });
  const TPixelFormat before = deep->PixelFormat();
  image.AppendFrame(deep.get());
  EXPECT_EQ(deep->PixelFormat(), before);  // the caller's bitmap keeps its depth
  TGIFSubImage* reduced = image.Images()->Items(1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(reduced->ColorMap()->Colors(reduced->Pixels(x, y)), static_cast<TColor>(RGB(x * 51, y * 102, 0)));

  // Without reduction a picture of more than 256 colours does not fit a frame.
  image.SetReductionMethod(grmNone);
  auto many = Bitmap24(30, 10, [](int x, int y) { return static_cast<TColor>(RGB(x, y, 7)); });
  try {
    image.AppendFrame(many.get());
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Color table overflow");
  }
  EXPECT_EQ(image.Images()->Count(), 2);
  // ... and one of few colours keeps them exactly, in the order met.
  auto few = Bitmap24(3, 1, [](int x, int) { return static_cast<TColor>(RGB(10 * x, 1, 2)); });
  image.AppendFrame(few.get());
  TGIFSubImage* exact = image.Images()->Items(2);
  EXPECT_EQ(FramePixels(exact), (Bytes{0, 1, 2}));
  EXPECT_EQ(exact->ColorMap()->Colors(2), static_cast<TColor>(RGB(20, 1, 2)));
}

TEST(GIFFrame, ATransparentBitmapGivesATransparentFrameUnlessItsTableIsFull) {
  TGIFImage image;
  image.SetReductionMethod(grmNone);
  // Bottom-left pixel (the automatic transparent colour) white.
  auto bitmap = Bitmap24(4, 2, [](int x, int y) { return y == 1 && x < 2 ? clWhite : static_cast<TColor>(RGB(x, 9, 9)); });
  bitmap->SetTransparent(true);
  image.AppendFrame(bitmap.get());
  TGIFSubImage* frame = image.Images()->Items(0);
  ASSERT_TRUE(frame->Transparent());
  const uint8_t t = frame->GraphicControlExtension()->TransparentColorIndex();
  EXPECT_EQ(frame->Pixels(0, 1), t);
  EXPECT_EQ(frame->Pixels(1, 1), t);
  EXPECT_NE(frame->Pixels(2, 1), t);
  EXPECT_EQ(frame->ColorMap()->Colors(t), clBlack);
  // 256 colours in use: no entry left for transparency.
  TBitmap full;
  full.SetPixelFormat(pf8bit);
  full.SetSize(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) full.ScanLine(y)[x] = static_cast<uint8_t>(y * 16 + x);
  full.SetTransparent(true);
  image.AppendFrame(&full);
  EXPECT_FALSE(image.Images()->Items(1)->Transparent());
  EXPECT_EQ(image.Images()->Items(1)->ColorMap()->Count(), 256);
}

TEST(GIFFrame, AssigningAFrameCopiesItsExtensionsAsItsOwn) {
  TGIFImage image;
  TGIFSubImage* source = AddFrame(image, {1, 2, 4, 3}, {0, 1, 2}, 3, 1);
  auto comment = std::make_unique<TGIFCommentExtension>(source);
  comment->Text = {"hi"};
  source->Extensions()->Add(std::move(comment));
  TGIFImage other;
  TGIFSubImage copy(&other);
  copy.Assign(source);
  EXPECT_EQ(copy.BoundsRect(), source->BoundsRect());
  EXPECT_EQ(FramePixels(&copy), (Bytes{0, 1, 2}));
  ASSERT_EQ(copy.Extensions()->Count(), 2);
  EXPECT_EQ(copy.Extensions()->Items(0)->SubImage(), &copy);
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(copy.ColorMap()->Count(), 3);
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(copy.Extensions()->Count(), 0);
}

TEST(GIFFrame, CroppingCutsToTheVisiblePixelsAndEmptiesAnInvisibleFrame) {
  TGIFImage image;
  // 5 x 4, transparent index 0, visible pixels at (1,1), (3,2).
  Bytes pixels(20, 0);
  pixels[1 * 5 + 1] = 2;
  pixels[2 * 5 + 3] = 3;
  TGIFSubImage* frame = AddFrame(image, {10, 20, 15, 24}, pixels, 4, 0);
  frame->Crop();
  EXPECT_EQ(frame->BoundsRect(), (TRect{11, 21, 14, 23}));
  EXPECT_EQ(FramePixels(frame), (Bytes{2, 0, 0, 0, 0, 3}));
  TGIFSubImage* invisible = AddFrame(image, {0, 0, 3, 3}, Bytes(9, 1), 4, 1);
  invisible->Crop();
  EXPECT_TRUE(invisible->Empty());
}

TEST(GIFFrame, MergingTouchesOnlyTheOverlapAndNeverWhatThePreviousFrameLetThrough) {
  TGIFImage image;
  // Previous frame: 4 x 1 at x 0, transparent index 3. This frame: 4 x 1 at x 2, same table.
  TGIFSubImage* previous = AddFrame(image, {0, 0, 4, 1}, {1, 1, 2, 3}, 4, 3);
  TGIFSubImage* frame = AddFrame(image, {2, 0, 6, 1}, {2, 3, 2, 1}, 4);
  frame->Merge(previous);
  // x 2: same colour (2) -> transparent; x 3: the previous frame is transparent there -> kept;
  // x 4, 5: outside the previous frame -> kept. The new transparent index is a new black entry.
  ASSERT_TRUE(frame->Transparent());
  const uint8_t t = frame->GraphicControlExtension()->TransparentColorIndex();
  EXPECT_EQ(t, 4);
  EXPECT_EQ(frame->ColorMap()->Colors(4), clBlack);
  EXPECT_EQ(FramePixels(frame), (Bytes{4, 3, 2, 1}));
  // A previous frame that is disposed of is not merged with.
  TGIFSubImage* third = AddFrame(image, {2, 0, 6, 1}, {2, 3, 2, 1}, 4);
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  gce->SetDisposal(2);
  frame->Extensions()->Insert(0, std::move(gce));
  third->Merge(frame);
  EXPECT_EQ(FramePixels(third), (Bytes{2, 3, 2, 1}));
}

TEST(GIFFrame, MergingComparesColoursAcrossTables) {
  TGIFImage image;
  TGIFSubImage* previous = AddFrame(image, {0, 0, 3, 1}, {0, 1, 2}, 3);
  auto frame = std::make_unique<TGIFSubImage>(&image);
  // Another table: entry 0 is previous's colour 2, entry 1 a colour previous does not have.
  frame->ColorMap()->Add(ColorOf(2));
  frame->ColorMap()->Add(static_cast<TColor>(RGB(1, 2, 3)));
  frame->SetBounds(0, 0, 3, 1);
  const Bytes pixels{1, 1, 0};
  std::copy(pixels.begin(), pixels.end(), frame->Data());
  TGIFSubImage* added = frame.get();
  image.AppendFrame(std::move(frame));
  added->Merge(previous);
  EXPECT_EQ(FramePixels(added), (Bytes{1, 1, 2}));
  EXPECT_EQ(added->GraphicControlExtension()->TransparentColorIndex(), 2);
}

TEST(GIFFrame, TransparentDrawingGivesTheSamePixelsStretchedAndNot) {
  TGIFImage image;
  const Bytes pixels = {0, 1, 2, 0, 2, 2, 1, 0, 1, 0, 0, 2};
  AddFrame(image, {0, 0, 4, 3}, pixels, 3, 0);
  TGIFSubImage* frame = image.Images()->Items(0);
  const auto paint = [&](int scale) {
    auto canvas = Bitmap24(4 * scale, 3 * scale, [](int, int) { return static_cast<TColor>(RGB(250, 0, 250)); });
    frame->Draw(canvas->Canvas(), TRect{0, 0, 4 * scale, 3 * scale}, true, false);
    return canvas;
  };
  auto one = paint(1);
  auto two = paint(2);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t p = pixels[static_cast<size_t>(y) * 4 + x];
      const TColor expected = p == 0 ? static_cast<TColor>(RGB(250, 0, 250)) : ColorOf(p);
      EXPECT_EQ(one->Canvas()->Pixels(x, y), expected) << x << "," << y;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) EXPECT_EQ(two->Canvas()->Pixels(2 * x + dx, 2 * y + dy), expected);
    }
}

TEST(GIFFrame, DrawingPlacesAFrameOnTheScaledScreenOrTilesIt) {
  TGIFImage image;
  image.GlobalColorMap()->Add(clBlack);
  AddFrame(image, {0, 0, 4, 4}, Bytes(16, 0), 3);
  TGIFSubImage* frame = AddFrame(image, {2, 1, 3, 3}, Bytes(2, 1), 3);  // 1 x 2 at (2, 1)
  auto canvas = Bitmap24(8, 8, [](int, int) { return clWhite; });
  frame->Draw(canvas->Canvas(), TRect{0, 0, 8, 8}, false, false);  // screen 4 x 4 at twice the size
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(canvas->Canvas()->Pixels(x, y), x >= 4 && x < 6 && y >= 2 && y < 6 ? ColorOf(1) : clWhite) << x << "," << y;
  auto tiled = Bitmap24(8, 8, [](int, int) { return clWhite; });
  frame->Draw(tiled->Canvas(), TRect{0, 0, 8, 8}, false, true);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inTile = x % 4 == 2 && y % 4 >= 1 && y % 4 < 3;
      EXPECT_EQ(tiled->Canvas()->Pixels(x, y), inTile ? ColorOf(1) : clWhite) << x << "," << y;
    }
}

}  // namespace

namespace {

TEST(GIFFrame, AFileWithoutAnyColourTableDrawsInTheSixteenSystemColours) {
  GifFile f(3, 1);
  f.Frame(0, 0, 3, 1, {0, 1, 12}, {}, false, 4);
  Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  TBitmap canvas;
  canvas.SetPixelFormat(pf24bit);
  canvas.SetSize(3, 1);
  canvas.Canvas()->StretchDraw(TRect{0, 0, 3, 1}, r.image.get());
  EXPECT_EQ(canvas.Canvas()->Pixels(0, 0), static_cast<TColor>(RGB(0, 0, 0)));
  EXPECT_EQ(canvas.Canvas()->Pixels(1, 0), static_cast<TColor>(RGB(128, 0, 0)));
  EXPECT_EQ(canvas.Canvas()->Pixels(2, 0), static_cast<TColor>(RGB(0, 0, 255)));
}

}  // namespace
