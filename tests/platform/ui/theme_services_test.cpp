#include "platform/ui/theme_services.h"

#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"
#include "platform/ui/controls.h"
#include "platform/ui/window_dc.h"
#include "tests/support/ui_fixture.h"

namespace {

// The pixels of a white 40 x 30 picture with the part drawn at (5, 5, 35, 25).
std::vector<TColor> Drawn(TThemedPart part, TThemedState state) {
  TBitmap b(40, 30);
  b.Canvas()->Brush()->SetColor(clWhite);
  b.Canvas()->FillRect(Rect(0, 0, 40, 30));
  ThemeServices()->DrawElement(b.Canvas()->Handle(), {part, state}, Rect(5, 5, 35, 25));
  std::vector<TColor> px;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) px.push_back(b.Canvas()->Pixels(x, y));
  return px;
}

// Parts with nothing drawn are skipped and wholly opaque ones copied: on every layout and over a
// varied background the pixels are those of the blend.
TEST(ThemeServices, SkippedAndCopiedPartsEqualTheBlend) {
  auto drawn = [](TPixelFormat format, TThemedPart part, TThemedState state, bool copies, int w, int h) {
    TBitmap b;
    b.SetPixelFormat(format);
    b.SetSize(w + 10, h + 10);
    for (int y = 0; y < h + 10; ++y)
      for (int x = 0; x < w + 10; ++x)
        b.Canvas()->SetPixels(x, y, static_cast<TColor>(RGB(x * 9, y * 13, (x ^ y) * 7)));
    ThemePartCopiesForTesting() = copies;
    ThemeServices()->DrawElement(b.Canvas()->Handle(), {part, state}, Rect(5, 5, 5 + w, 5 + h));
    ThemePartCopiesForTesting() = true;
    std::vector<TColor> px;
    for (int y = 0; y < h + 10; ++y)
      for (int x = 0; x < w + 10; ++x) px.push_back(b.Canvas()->Pixels(x, y));
    return px;
  };
  const TThemedPart parts[] = {thpPushButton, thpToolBarButton, thpSpinUp, thpEditBorder, thpGroupBox, thpCheckBox};
  const TThemedState states[] = {thsNormal, thsHot, thsPressed, thsDisabled, thsChecked};
  for (TPixelFormat format : {pf16bit, pf24bit, pf32bit})
    for (TThemedPart part : parts)
      for (TThemedState state : states)
        for (auto [w, h] : {std::pair{30, 20}, std::pair{3, 2}})
          EXPECT_EQ(drawn(format, part, state, true, w, h), drawn(format, part, state, false, w, h))
              << "format " << int(format) << " part " << int(part) << " state " << int(state) << " " << w;
}

TEST(ThemeServices, EachPartDrawsInsideItsRectangleAndItsStatesDiffer) {
  struct Case {
    TThemedPart part;
    std::vector<TThemedState> states;
  } cases[] = {
      {thpPushButton, {thsNormal, thsHot, thsPressed, thsDisabled, thsDefaulted}},
      // A tool-bar button is flat (nothing drawn) when normal or disabled.
      {thpToolBarButton, {thsHot, thsPressed, thsChecked, thsCheckedHot}},
      {thpSpinUp, {thsNormal, thsHot, thsPressed, thsDisabled}},
      {thpSpinDown, {thsNormal, thsHot, thsPressed, thsDisabled}},
      {thpComboDropDown, {thsNormal, thsHot, thsPressed, thsDisabled}},
      {thpEditBorder, {thsNormal, thsFocused, thsDisabled}},
      {thpStatusGripper, {thsNormal}},
      {thpGroupBox, {thsNormal, thsDisabled}},
      {thpCheckBox, {thsNormal, thsPressed, thsDisabled}},
      {thpCheckBoxChecked, {thsNormal, thsPressed, thsDisabled}},
      {thpCheckBoxMixed, {thsNormal, thsDisabled}},
  };
  for (const Case& c : cases) {
    std::vector<std::vector<TColor>> pictures;
    for (TThemedState s : c.states) {
      std::vector<TColor> px = Drawn(c.part, s);
      bool inked = false;
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
          bool inside = x >= 5 && x < 35 && y >= 5 && y < 25;
          TColor p = px[static_cast<size_t>(y * 40 + x)];
          if (!inside) {
            EXPECT_EQ(p, clWhite) << "part " << int(c.part) << " state " << int(s) << " at " << x << "," << y;
          }
          if (inside && p != clWhite) inked = true;
        }
      EXPECT_TRUE(inked) << "part " << int(c.part) << " state " << int(s);
      for (size_t i = 0; i < pictures.size(); ++i)
        EXPECT_NE(pictures[i], px) << "part " << int(c.part) << ": states " << int(c.states[i]) << " and " << int(s);
      pictures.push_back(px);
    }
    TRect content = ThemeServices()->ContentRect(nullptr, {c.part, thsNormal}, Rect(5, 5, 35, 25));
    EXPECT_GE(content.Left, 5);
    EXPECT_GE(content.Top, 5);
    EXPECT_LE(content.Right, 35);
    EXPECT_LE(content.Bottom, 25);
    EXPECT_LT(content.Left, content.Right);
  }
  EXPECT_EQ(Drawn(thpToolBarButton, thsNormal), Drawn(thpToolBarButton, thsDisabled));
  EXPECT_EQ(Drawn(thpToolBarButton, thsNormal), std::vector<TColor>(40 * 30, clWhite));
  // A clip rectangle keeps the drawing inside it.
  TBitmap b(40, 30);
  b.Canvas()->Brush()->SetColor(clWhite);
  b.Canvas()->FillRect(Rect(0, 0, 40, 30));
  TRect clip = Rect(0, 0, 20, 30);
  ThemeServices()->DrawElement(b.Canvas()->Handle(), {thpPushButton, thsNormal}, Rect(5, 5, 35, 25), &clip);
  for (int y = 0; y < 30; ++y)
    for (int x = 20; x < 40; ++x) ASSERT_EQ(b.Canvas()->Pixels(x, y), clWhite);
  EXPECT_NE(ThemeServices()->GetColor({thpPushButton, thsNormal}, thcEdgeLight),
            ThemeServices()->GetColor({thpPushButton, thsNormal}, thcEdgeShadow));
}

// A window that paints horizontal bands, a colour for every row.
class TBanded : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override {
    for (int y = 0; y < Height(); ++y) {
      Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(static_cast<uint8_t>(y * 3), 0, static_cast<uint8_t>(255 - y))));
      Canvas()->FillRect(Rect(0, y, Width(), y + 1));
    }
  }
};

using ThemeTest = testsupport::FormTest;

TEST_F(ThemeTest, TheParentsBackgroundShowsBehindTheWindow) {
  auto* parent = new TBanded(form);
  parent->SetParent(form);
  parent->SetBounds(0, 0, 100, 80);
  auto* child = new TCustomControl(form);
  child->SetParent(parent);
  child->SetBounds(10, 20, 30, 30);
  auto* sibling = new TCustomControl(form);  // never painted into the background
  sibling->SetParent(parent);
  sibling->SetBounds(10, 20, 5, 5);
  TBitmap b(30, 30);
  b.Canvas()->Brush()->SetColor(clWhite);
  b.Canvas()->FillRect(Rect(0, 0, 30, 30));
  TRect limit = Rect(0, 0, 30, 25);
  ASSERT_TRUE(ThemeServices()->DrawParentBackground(child->Handle(), b.Canvas()->Handle(), &limit));
  for (int y : {0, 3, 24})
    EXPECT_EQ(b.Canvas()->Pixels(2, y), static_cast<TColor>(RGB(static_cast<uint8_t>((y + 20) * 3), 0,
                                                                  static_cast<uint8_t>(255 - (y + 20)))))
        << y;
  EXPECT_EQ(b.Canvas()->Pixels(2, 27), clWhite);  // outside the limit
  EXPECT_FALSE(ThemeServices()->DrawParentBackground(form->Handle(), b.Canvas()->Handle()));
}

}  // namespace
