// Text: metrics, TextOut placement and background, DrawText layout flags, clipping.
#include <gtest/gtest.h>

#include <string>

#include "platform/gdi/bitmap.h"

namespace {

std::unique_ptr<TBitmap> Page(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect({0, 0, w, h});
  c->Font()->SetName("DejaVu Sans");
  c->Font()->SetHeight(-16);
  c->Font()->SetColor(clBlack);
  return b;
}

// The box of pixels that are not white (ink), empty when there is none.
TRect Ink(TBitmap& b, TColor background = clWhite) {
  TRect r{};
  bool any = false;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Canvas()->Pixels(x, y) != background) {
        if (!any) r = {x, y, x + 1, y + 1};
        UnionRect(r, r, {x, y, x + 1, y + 1});
        any = true;
      }
  return r;
}

}  // namespace

TEST(TextTest, MetricsAreConsistent) {
  auto b = Page(10, 10);
  HDC dc = b->Canvas()->Handle();
  b->Canvas()->TextWidth("x");  // selects the font
  TEXTMETRIC tm;
  ASSERT_TRUE(GetTextMetrics(dc, &tm));
  EXPECT_GT(tm.tmAscent, 10);
  EXPECT_GT(tm.tmDescent, 0);
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 16);  // the character height is 16 pixels
  EXPECT_GT(tm.tmAveCharWidth, 0);
  EXPECT_EQ(b->Canvas()->TextHeight("Hg"), tm.tmHeight);
  EXPECT_GT(b->Canvas()->TextWidth("WWWW"), b->Canvas()->TextWidth("iiii"));
  EXPECT_EQ(b->Canvas()->TextWidth(""), 0);
  // A positive height asks for the cell height instead.
  b->Canvas()->Font()->SetHeight(tm.tmHeight);
  EXPECT_NEAR(b->Canvas()->TextHeight("Hg"), tm.tmHeight, 1);
  // Points at 96 pixels per inch.
  b->Canvas()->Font()->SetSize(12);
  EXPECT_EQ(b->Canvas()->Font()->Height(), -16);
}

TEST(TextTest, TextOutDrawsInsideItsCellWithOpaqueBackground) {
  auto b = Page(120, 40);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clYellow);  // solid brush: opaque background
  c->TextOut(10, 5, "Hello");
  const TSize ext = c->TextExtent("Hello");
  // The cell is filled with the brush colour.
  EXPECT_EQ(c->Pixels(10, 5), clYellow);
  EXPECT_EQ(c->Pixels(10 + ext.cx - 1, 5 + ext.cy - 1), clYellow);
  EXPECT_EQ(c->Pixels(10 + ext.cx, 5), clWhite);
  EXPECT_EQ(c->Pixels(9, 5), clWhite);
  EXPECT_EQ(c->PenPos(), Point(10 + ext.cx, 5));
  auto t = Page(120, 40);
  t->Canvas()->Brush()->SetStyle(bsClear);
  t->Canvas()->TextOut(10, 5, "Hello");
  const TRect ink = Ink(*t);
  EXPECT_GE(ink.Left, 10);
  EXPECT_LE(ink.Right, 10 + ext.cx + 1);
  EXPECT_GE(ink.Top, 5);
  EXPECT_LE(ink.Bottom, 5 + ext.cy);
  EXPECT_GT(ink.Width(), ext.cx / 2);
}

TEST(TextTest, TextAlignBaselineAndRight) {
  auto b = Page(120, 60);
  TCanvas* c = b->Canvas();
  c->Brush()->SetStyle(bsClear);
  c->TextWidth("x");
  HDC dc = c->Handle();
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SetTextAlign(dc, TA_RIGHT | TA_BASELINE);
  ExtTextOut(dc, 100, 40, 0, nullptr, "HHH", 3, nullptr);
  const TRect ink = Ink(*b);
  EXPECT_LE(ink.Right, 101);
  EXPECT_GE(ink.Right, 95);
  EXPECT_LE(ink.Bottom, 41);  // capitals sit on the baseline
  EXPECT_GE(ink.Top, 40 - tm.tmAscent);
}

TEST(TextTest, ClippedTextStaysInItsRectangle) {
  auto b = Page(120, 40);
  TCanvas* c = b->Canvas();
  c->Brush()->SetStyle(bsClear);
  c->TextRect({20, 0, 40, 40}, 0, 5, "Wide text here");
  const TRect ink = Ink(*b);
  EXPECT_GE(ink.Left, 20);
  EXPECT_LE(ink.Right, 40);
  // With a solid brush the rectangle is filled.
  c->Brush()->SetColor(clAqua);
  c->TextRect({50, 10, 60, 20}, 50, 10, "");
  EXPECT_EQ(c->Pixels(55, 15), clAqua);
}

TEST(TextTest, DrawTextCalcRect) {
  auto b = Page(300, 200);
  TCanvas* c = b->Canvas();
  const int lh = c->TextHeight("Hg");
  std::string one = "Single line";
  TRect r{0, 0, 500, 0};
  c->TextRect(r, one, {tfCalcRect, tfSingleLine});
  EXPECT_EQ(r, Rect(0, 0, c->TextWidth(one), lh));
  // Lines break at CR/LF; the widest line sets the width.
  std::string two = "Top\r\nA longer line";
  r = {10, 10, 500, 10};
  c->TextRect(r, two, {tfCalcRect});
  EXPECT_EQ(r, Rect(10, 10, 10 + c->TextWidth("A longer line"), 10 + 2 * lh));
  // Word breaks fit the width.
  std::string words = "one two three four five six";
  const int w = c->TextWidth("one two") + 2;
  r = {0, 0, w, 0};
  c->TextRect(r, words, {tfCalcRect, tfWordBreak});
  EXPECT_LE(r.Width(), w);
  EXPECT_GE(r.Height(), 3 * lh);
  EXPECT_EQ(r.Height() % lh, 0);
  // Prefixes take no room; && is a single &.
  std::string pre = "&File", amp = "A && B";
  r = {0, 0, 500, 0};
  c->TextRect(r, pre, {tfCalcRect, tfSingleLine});
  EXPECT_EQ(r.Width(), c->TextWidth("File"));
  r = {0, 0, 500, 0};
  c->TextRect(r, amp, {tfCalcRect, tfSingleLine});
  EXPECT_EQ(r.Width(), c->TextWidth("A & B"));
  r = {0, 0, 500, 0};
  c->TextRect(r, pre, {tfCalcRect, tfSingleLine, tfNoPrefix});
  EXPECT_EQ(r.Width(), c->TextWidth("&File"));
}

TEST(TextTest, DrawTextEllipses) {
  auto b = Page(300, 100);
  TCanvas* c = b->Canvas();
  const std::string longText = "This text is far too long for the box";
  const int w = c->TextWidth("This text is");
  std::string t = longText;
  TRect r{0, 0, w, 0};
  c->TextRect(r, t, {tfCalcRect, tfSingleLine, tfEndEllipsis});
  EXPECT_LE(r.Width(), w);
  EXPECT_GT(r.Width(), w / 2);
  std::string path = "/home/user/pictures/holiday/beach.jpg";
  const int pw = c->TextWidth(".../beach.jpg") + c->TextWidth("/home");
  TRect pr{0, 0, pw, 0};
  c->TextRect(pr, path, {tfCalcRect, tfSingleLine, tfPathEllipsis});
  EXPECT_LE(pr.Width(), pw);
  // The file name is kept whole: the result is at least as wide as "...beach.jpg".
  EXPECT_GE(pr.Width(), c->TextWidth(".../beach.jpg"));
  // Drawn text with an ellipsis stays in the box.
  auto d = Page(300, 100);
  d->Canvas()->Brush()->SetStyle(bsClear);
  std::string s = longText;
  TRect box{10, 10, 10 + w, 60};
  d->Canvas()->TextRect(box, s, {tfSingleLine, tfEndEllipsis});
  const TRect ink = Ink(*d);
  EXPECT_GE(ink.Left, 10);
  EXPECT_LE(ink.Right, 10 + w);
}

TEST(TextTest, ModifyStringGivesTheShortenedTextBack) {
  auto b = Page(300, 100);
  TCanvas* c = b->Canvas();
  const std::string path = "/home/user/pictures/holiday/beach.jpg";
  const int pw = c->TextWidth(".../beach.jpg") + c->TextWidth("/home");
  const uint32_t flags = DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT | DT_PATH_ELLIPSIS | DT_MODIFYSTRING;
  std::string t = path;
  TRect r{0, 0, pw, 20};
  c->TextWidth("x");  // selects the font
  DrawText(c->Handle(), t, &r, flags);
  EXPECT_NE(t, path);
  ASSERT_NE(t.find(".../beach.jpg"), std::string::npos);
  EXPECT_EQ(path.compare(0, t.find("..."), t, 0, t.find("...")), 0);  // the start of the path stays
  EXPECT_LE(c->TextWidth(t), pw);
  // Text that fits, and the same flags without DT_MODIFYSTRING, leave it alone.
  std::string fits = "/a/b.jpg";
  r = TRect{0, 0, 300, 20};
  DrawText(c->Handle(), fits, &r, flags);
  EXPECT_EQ(fits, "/a/b.jpg");
  std::string kept = path;
  r = TRect{0, 0, pw, 20};
  DrawText(c->Handle(), kept, &r, flags & ~DT_MODIFYSTRING);
  EXPECT_EQ(kept, path);
  // The canvas's text rectangle honours it too.
  std::string end = "This text is far too long for the box";
  TRect er{0, 0, c->TextWidth("This text"), 0};
  c->TextRect(er, end, {tfCalcRect, tfSingleLine, tfEndEllipsis, tfModifyString});
  EXPECT_EQ(end.substr(end.size() - 3), "...");
}

TEST(TextTest, DrawTextAlignment) {
  const std::string word = "Mid";
  struct Case {
    TTextFormat format;
    char where;  // l, c, r horizontally; t, m, b vertically for the single line cases
  } cases[] = {{{tfSingleLine}, 'l'}, {{tfSingleLine, tfCenter}, 'c'}, {{tfSingleLine, tfRight}, 'r'},
               {{tfSingleLine, tfVerticalCenter}, 'm'}, {{tfSingleLine, tfBottom}, 'b'}};
  for (const Case& k : cases) {
    auto b = Page(200, 100);
    b->Canvas()->Brush()->SetStyle(bsClear);
    std::string s = word;
    TRect r{0, 0, 200, 100};
    b->Canvas()->TextRect(r, s, k.format);
    const TRect ink = Ink(*b);
    const int cx = (ink.Left + ink.Right) / 2, cy = (ink.Top + ink.Bottom) / 2;
    switch (k.where) {
      case 'l':
        EXPECT_LT(ink.Left, 5);
        EXPECT_LT(cy, 20);
        break;
      case 'c':
        EXPECT_NEAR(cx, 100, 3);
        break;
      case 'r':
        EXPECT_GT(ink.Right, 194);
        break;
      case 'm':
        EXPECT_NEAR(cy, 50, 4);
        break;
      case 'b':
        EXPECT_GT(ink.Bottom, 85);
        break;
    }
  }
}

TEST(TextTest, PrefixUnderlinesTheLetter) {
  auto a = Page(100, 40), b = Page(100, 40);
  for (auto* p : {a.get(), b.get()}) p->Canvas()->Brush()->SetStyle(bsClear);
  std::string with = "&File", without = "&File";
  TRect r{0, 0, 100, 40};
  a->Canvas()->TextRect(r, with, {tfSingleLine});
  b->Canvas()->TextRect(r, without, {tfSingleLine, tfHidePrefix});
  // The underline adds ink below the letters.
  EXPECT_GT(Ink(*a).Bottom, Ink(*b).Bottom);
}

TEST(TextTest, RightToLeftReadingDrawsInItsCell) {
  auto b = Page(200, 40);
  TCanvas* c = b->Canvas();
  c->Brush()->SetStyle(bsClear);
  const std::string hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";  // four Hebrew letters
  const int width = c->TextWidth(hebrew);
  c->SetTextFlags(ETO_RTLREADING);
  c->TextOut(20, 5, hebrew);
  const TRect ink = Ink(*b);
  EXPECT_FALSE(IsRectEmpty(ink));
  EXPECT_GE(ink.Left, 19);
  EXPECT_LE(ink.Right, 20 + width + 2);
}

// Texts drawn again reuse what was rendered before: at another place, partly clipped, or with a
// font made after another was freed, the pixels must be those of a first drawing.
TEST(TextTest, RepeatedTextDrawsAsTheFirstTime) {
  auto pixelsOf = [](TBitmap& b, const TRect& r) {
    std::string out;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) out += static_cast<char>(b.Canvas()->Pixels(x, y) == clWhite ? '.' : '#');
    return out;
  };
  auto a = Page(120, 80);
  a->Canvas()->TextOut(5, 5, "Caption");
  const TRect first = Ink(*a);
  ASSERT_FALSE(IsRectEmpty(first));
  a->Canvas()->TextOut(37, 41, "Caption");
  TRect moved = first;
  OffsetRect(moved, 32, 36);
  EXPECT_EQ(pixelsOf(*a, moved), pixelsOf(*a, first));
  // Clipped to its right half at a third place.
  auto clipped = Page(120, 80);
  const int cut = first.Left + first.Width() / 2;
  clipped->Canvas()->TextRect({cut, 0, 120, 80}, 5, 5, "Caption");
  TRect right = first;
  right.Left = cut;
  EXPECT_EQ(pixelsOf(*clipped, right), pixelsOf(*a, right));
  EXPECT_EQ(pixelsOf(*clipped, {first.Left, first.Top, cut, first.Bottom}),
            std::string(static_cast<size_t>((cut - first.Left) * first.Height()), '.'));
  // A font twice the size, made after the first font is gone, draws and measures larger.
  const int width16 = a->Canvas()->TextWidth("Caption");
  a->Canvas()->Font()->SetHeight(-32);
  EXPECT_GT(a->Canvas()->TextWidth("Caption"), width16 * 3 / 2);
  auto big = Page(200, 80);
  big->Canvas()->Font()->SetHeight(-32);
  big->Canvas()->TextOut(5, 5, "Caption");
  EXPECT_GT(Ink(*big).Height(), first.Height() * 3 / 2);
}
