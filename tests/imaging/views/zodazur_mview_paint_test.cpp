// Painting the thumbnail view through PaintTo: the first paint of an empty view, an enlarged and
// centred image, captions cut to the cell and the gaps they raise, the frames of the ACD style, the
// selection mark, the soft shadow's drawn rectangle, thumbnails kept in the cache, and images far
// from the visible range given back.
#include <gtest/gtest.h>

#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/gdi/bitmap.h"
#include "tests/imaging/views/mview_fixtures.h"
#include "tests/support/test_support.h"

namespace {

using mviewtest::MViewTest;
using mviewtest::Solid;

uint32_t At(TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return static_cast<uint32_t>(p[2]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[0]) << 16);
}

class MViewPaintTest : public MViewTest {
 protected:
  TBitmap* Paint(TZodazUrMView* v) {
    target.SetPixelFormat(pf24bit);
    target.SetSize(v->ClientWidth(), v->ClientHeight());
    v->PaintTo(&target);
    return &target;
  }
  TBitmap target;
};

TEST_F(MViewPaintTest, AnEmptyViewIsAllDisplayedAtItsFirstPaint) {
  TZodazUrMView* v = MakeView(200, 150);
  v->SetBackground(clBlue);
  int displayed = 0;
  v->OnAllDisplayed = [&](TObject*) { ++displayed; };
  TBitmap* b = Paint(v);
  EXPECT_EQ(displayed, 1);
  EXPECT_EQ(At(*b, 100, 75), 0xFF0000u);
  Paint(v);
  EXPECT_EQ(displayed, 1);  // only when it becomes so
}

TEST_F(MViewPaintTest, ASmallImageIsEnlargedAndCentred) {
  TZodazUrMView* v = MakeView(300, 200);
  v->SetStyle(iemsFlat);
  v->SetThumbnailsBackground(clWhite);
  v->AppendImage();
  TIEBitmap img;
  Solid(img, 16, 8, clRed);
  v->SetImageIEBitmap(0, &img);
  v->Deselect();
  TBitmap* b = Paint(v);
  // 16 x 8 fits 100 x 100 as 100 x 50, centred: rows 25..74 of the cell at (4, 4).
  EXPECT_EQ(v->GetImageDrawnRect(0), (TRect{0, 0, 100, 50}));
  EXPECT_EQ(At(*b, 4 + 50, 4 + 50), 0x0000FFu);
  EXPECT_EQ(At(*b, 4 + 1, 4 + 25), 0x0000FFu);
  EXPECT_EQ(At(*b, 4 + 50, 4 + 10), 0xFFFFFFu);
  EXPECT_EQ(At(*b, 4 + 50, 4 + 90), 0xFFFFFFu);
}

TEST_F(MViewPaintTest, CaptionsAreCutToTheCell) {
  TBitmap m(10, 10);
  TCanvas* c = m.Canvas();
  c->Font()->SetName("DejaVu Sans");
  c->Font()->SetHeight(-12);
  const std::string text = "A very long caption for a cell";
  const int32_t w = c->TextWidth("A very l...");
  struct Case {
    uint8_t side;
    std::string want;
  } cases[] = {{0, "A very l..."}, {1, "...r a cell"}};
  for (const Case& k : cases) {
    const int32_t width = k.side == 0 ? w : c->TextWidth(k.want);
    EXPECT_EQ(IEShortenCaption(c, text, width, k.side), k.want) << int(k.side);
  }
  EXPECT_EQ(IEShortenCaption(c, "W", 1, 0), "W");       // one character stays whole
  EXPECT_EQ(IEShortenCaption(c, text, 1000, 1), text);  // fits
  EXPECT_EQ(IEShortenCaption(c, "Wide", 1, 0), "...");  // nothing of it fits
  // Whole code points only.
  const std::string accents = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
  const std::string cut = IEShortenCaption(c, accents, c->TextWidth("\xC3\xA9\xC3\xA9..."), 0);
  EXPECT_EQ(cut, "\xC3\xA9\xC3\xA9...");
}

TEST_F(MViewPaintTest, CaptionsRaiseTheGaps) {
  for (TIEMStyle style : {iemsACD, iemsFlat}) {
    TZodazUrMView* v = MakeView(300, 200);
    v->SetStyle(style);
    for (uint8_t p = 0; p < 3; ++p) {
      v->CaptionFont(p)->SetName("DejaVu Sans");
      v->CaptionFont(p)->SetHeight(-11);
    }
    v->AppendImage();
    TBitmap m(1, 1);
    m.Canvas()->Font()->Assign(*v->CaptionFont(1));
    const int32_t h = m.Canvas()->TextHeight("Frame 1");
    v->GetImageBottomText(0)->SetCaption("Frame 1");
    EXPECT_EQ(v->BottomGap(), h + (style == iemsACD ? 4 : 2)) << style;
    v->GetImageTopText(0)->SetCaption("Top");
    EXPECT_EQ(v->UpperGap(), h + 2);
    v->SetUpperGap(0);
    v->GetImageInfoText(0)->SetCaption("Info");
    EXPECT_EQ(v->UpperGap(), 0);  // info captions change no gap
    delete v;
  }
}

TEST_F(MViewPaintTest, AcdFramesAroundTheImage) {
  TZodazUrMView* v = MakeView(300, 200);
  v->AppendImage();
  TIEBitmap img;
  Solid(img, 100, 100, clRed);
  v->SetImageIEBitmap(0, &img);
  v->Deselect();
  TBitmap* b = Paint(v);
  // The sunken frame: top and left grey, bottom and right white.
  EXPECT_EQ(At(*b, 4, 4), 0x808080u);
  EXPECT_EQ(At(*b, 50, 4), 0x808080u);
  EXPECT_EQ(At(*b, 103, 50), 0xFFFFFFu);
  EXPECT_EQ(At(*b, 50, 103), 0xFFFFFFu);
  EXPECT_EQ(At(*b, 50, 50), 0x0000FFu);
}

TEST_F(MViewPaintTest, SelectionMarkAroundTheSelectedCellOnly) {
  TZodazUrMView* v = MakeView(300, 200);
  v->SetStyle(iemsFlat);
  v->SetBackground(clWhite);
  v->SetThumbnailsBackground(clWhite);
  v->SetSelectionColor(clBlack);
  Fill(v, 2, 8, 2);  // 100 x 25 in the cell: its top rows show the cell's background
  v->SelectImage(1);
  TBitmap* b = Paint(v);
  // Cell 1 starts at x 108; the mark runs along its edge (row 10 is above the image), cell 0 has none.
  EXPECT_LT(At(*b, 108, 10) & 0xFF, 200u);
  EXPECT_EQ(At(*b, 4, 10), 0xFFFFFFu);
  EXPECT_EQ(At(*b, 3, 10), 0xFFFFFFu);
  // With SelectionStyle ACD the cell itself is highlighted and there is no mark.
  v->SetSelectionStyle(iessACD);
  b = Paint(v);
  EXPECT_EQ(At(*b, 110, 6), static_cast<uint32_t>(ColorToRGB(clHighlight)));
}

TEST_F(MViewPaintTest, SoftShadowSetsTheDrawnRectangle) {
  TZodazUrMView* v = MakeView(300, 200);
  v->SoftShadow().Enabled = true;
  v->AppendImage();
  TIEBitmap img;
  Solid(img, 100, 100, clRed);
  v->SetImageIEBitmap(0, &img);
  Paint(v);
  const TRect r = v->GetImageDrawnRect(0);
  EXPECT_GT(r.Left, 0);
  EXPECT_GT(r.Top, 0);
  EXPECT_LT(r.Right, 100);
  EXPECT_LT(r.Bottom, 100);
}

TEST_F(MViewPaintTest, ThumbnailsAreKeptUntilSomethingDropsThem) {
  TZodazUrMView* v = MakeView(300, 200);
  v->SetStyle(iemsFlat);
  v->AppendImage();
  TIEBitmap img;
  Solid(img, 100, 100, clRed);
  v->SetImageIEBitmap(0, &img);
  v->Deselect();
  Paint(v);
  EXPECT_TRUE(v->HasImageThumbnail(0));
  // Pixels changed behind the view's back show only once the thumbnail is dropped.
  TIEBitmap* a = v->AcquireImageIEBitmap(0);
  a->Fill(static_cast<double>(clBlue));
  TBitmap* b = Paint(v);
  EXPECT_EQ(At(*b, 50, 50), 0x0000FFu);
  v->ReleaseImageBitmap(0);
  EXPECT_FALSE(v->HasImageThumbnail(0));
  b = Paint(v);
  EXPECT_EQ(At(*b, 50, 50), 0xFF0000u);
}

TEST_F(MViewPaintTest, ImagesFarFromTheVisibleRangeAreGivenBack) {
  testsupport::ScratchDir dir;
  const std::string name = dir.File("many.gif");
  mviewtest::WriteFile(name, mviewtest::AnimatedGif(40, 4, 4, 1));
  TZodazUrMView* v = MakeView(250, 120);  // two cells visible in one row
  v->SetThreadPoolSize(0);
  v->SetFramesFromFile(name);
  TIEBitmap out;
  v->GetImageBitmap(39, &out);
  v->GetImageBitmap(10, &out);
  TIEBitmap* held = v->AcquireImageIEBitmap(30);
  ASSERT_TRUE(v->IsImageLoaded(39));
  Paint(v);
  EXPECT_TRUE(v->IsImageLoaded(0));
  EXPECT_TRUE(v->HasImageThumbnail(0));
  EXPECT_TRUE(v->IsImageLoaded(10));   // within 15 of the visible ones
  EXPECT_FALSE(v->IsImageLoaded(39));  // far away, loadable again
  EXPECT_TRUE(v->IsImageLoaded(30));   // checked out: kept
  EXPECT_EQ(held, v->AcquireImageIEBitmap(30));
  v->ReleaseImageBitmap(30);
  v->ReleaseImageBitmap(30);
}

}  // namespace
