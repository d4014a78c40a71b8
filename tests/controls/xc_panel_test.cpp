#include "controls/xc_panel.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/system/debug_log.h"
#include "platform/ui/ext_ctrls.h"
#include "platform/ui/theme_services.h"
#include "tests/controls/pixels.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::At;

class PanelTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 500, 400);
  }
  TXcPanel* MakePanel(int width, int height) {
    auto* p = new TXcPanel(form);
    p->SetParent(form);
    p->SetBounds(5, 5, width, height);
    p->SetBevelOuter(bvNone);
    return p;
  }
  // A windowed child of the size.
  TPanel* Child(TXcPanel* parent, int width, int height) {
    auto* c = new TPanel(form);
    c->SetParent(parent);
    c->SetBounds(0, 0, width, height);
    return c;
  }
  // The panel painted alone into a bitmap of its size.
  static std::unique_ptr<TBitmap> Picture(TWinControl* p) {
    auto b = std::make_unique<TBitmap>(p->Width(), p->Height());
    p->PaintTo(b->Canvas(), 0, 0);
    return b;
  }
};

struct ArrangeCase {
  const char* name;
  int width, height;
  std::function<void(TXcArrangeSettings*)> settings;
  std::vector<TSize> children;   // made in this order, tab order 0, 1, 2 ...
  std::vector<bool> hidden;      // per child
  std::vector<TPoint> places;    // expected top-left corners (hidden ones stay at 0, 0)
  TSize panel;                   // expected panel size afterwards
};

TEST_F(PanelTest, RearrangeChildrenTable) {
  auto margins = [](int bl, int bt, int dh, int dv) {
    return [=](TXcArrangeSettings* s) {
      s->SetBorderLeft(bl);
      s->SetBorderTop(bt);
      s->SetDistanceHorizontal(dh);
      s->SetDistanceVertical(dv);
    };
  };
  const ArrangeCase cases[] = {
      // need = width + X + gap + left margin: 30+68+2+4 = 104 > 100 wraps the third.
      {"wrapping", 100, 80, margins(4, 4, 2, 3), {{30, 20}, {30, 20}, {30, 20}, {30, 20}}, {},
       {{4, 4}, {36, 4}, {4, 27}, {36, 27}}, {100, 80}},
      {"no wrapping", 100, 80,
       [&](TXcArrangeSettings* s) {
         margins(4, 4, 2, 3)(s);
         s->SetWrapControls(false);
       },
       {{30, 20}, {30, 20}, {30, 20}, {30, 20}}, {}, {{4, 4}, {36, 4}, {68, 4}, {100, 4}}, {100, 80}},
      {"MaxControlsPerLine without wrapping", 200, 80,
       [&](TXcArrangeSettings* s) {
         margins(4, 4, 2, 3)(s);
         s->SetWrapControls(false);
         s->SetMaxControlsPerLine(2);
       },
       {{30, 20}, {30, 20}, {30, 10}}, {}, {{4, 4}, {36, 4}, {4, 27}}, {200, 80}},
      // A first control wider than the panel stays in its row; the panel becomes as wide.
      {"first control too wide", 100, 80, margins(4, 4, 0, 0), {{150, 20}, {10, 10}}, {}, {{4, 4}, {4, 24}},
       {158, 80}},
      // Rows of 80 and 20 within R = 84: shifted by (84 - 80) / 2 = 2 and (84 - 20) / 2 = 32.
      {"HorizontalAlignLines", 100, 80,
       [&](TXcArrangeSettings* s) {
         margins(4, 4, 0, 0)(s);
         s->SetHorizontalAlignLines(true);
       },
       {{40, 10}, {40, 10}, {20, 10}}, {}, {{6, 4}, {46, 4}, {36, 14}}, {100, 80}},
      // R = 4 + 30 = 34, B = 4 + 20 = 24 in a 100 x 80 client.
      {"centred", 100, 80,
       [&](TXcArrangeSettings* s) {
         margins(4, 4, 0, 0)(s);
         s->SetVerticalAlignment(asVCenter);
         s->SetHorizontalAlignment(asCenter);
       },
       {{30, 20}}, {}, {{37, 32}}, {100, 80}},
      {"bottom right", 100, 80,
       [&](TXcArrangeSettings* s) {
         margins(4, 4, 0, 0)(s);
         s->SetVerticalAlignment(asBottom);
         s->SetHorizontalAlignment(asRight);
       },
       {{30, 20}}, {}, {{70, 60}}, {100, 80}},
      // Widths of 30 within MaxWidth 70: 30+34+0+4 = 68 fits, 30+64+4 = 98 does not; the panel
      // is narrowed to MaxWidth.
      {"MaxWidth", 200, 80,
       [&](TXcArrangeSettings* s) {
         margins(4, 4, 0, 0)(s);
         s->SetMaxWidth(70);
       },
       {{30, 20}, {30, 20}, {30, 20}}, {}, {{4, 4}, {34, 4}, {4, 24}}, {70, 80}},
      // Hidden controls advance the walk but take no place.
      {"hidden", 200, 80, margins(4, 4, 2, 0), {{30, 20}, {30, 20}, {30, 20}}, {false, true, false},
       {{4, 4}, {0, 0}, {36, 4}}, {200, 80}},
      // 100 x 100, margins 4, one 50 x 20 child: 96 x 28.
      {"AutoSize both", 100, 100,
       [&](TXcArrangeSettings* s) {
         margins(4, 4, 0, 0)(s);
         s->SetAutoSize(asBoth);
       },
       {{50, 20}}, {}, {{4, 4}}, {96, 28}},
  };
  for (const ArrangeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TXcPanel* p = MakePanel(c.width, c.height);
    std::vector<TPanel*> kids;
    for (size_t i = 0; i < c.children.size(); ++i) {
      kids.push_back(Child(p, c.children[i].cx, c.children[i].cy));
      if (i < c.hidden.size() && c.hidden[i]) kids.back()->SetVisible(false);
    }
    c.settings(p->ArrangeSettings());
    p->RearrangeChildren();
    for (size_t i = 0; i < kids.size(); ++i) {
      EXPECT_EQ(kids[i]->Left(), c.places[i].X) << "child " << i;
      EXPECT_EQ(kids[i]->Top(), c.places[i].Y) << "child " << i;
      EXPECT_EQ(kids[i]->Width(), c.children[i].cx) << "child " << i;
    }
    EXPECT_EQ(p->Width(), c.panel.cx);
    EXPECT_EQ(p->Height(), c.panel.cy);
    EXPECT_FALSE(p->IsArranging());
    delete p;
  }
}

TEST_F(PanelTest, AutoSizeShrinksByOneMarginPerArrangementAndTheWalkFollowsTabOrder) {
  TXcPanel* p = MakePanel(100, 100);
  TPanel* a = Child(p, 50, 20);
  p->ArrangeSettings()->SetBorderLeft(4);
  p->ArrangeSettings()->SetBorderTop(4);
  p->ArrangeSettings()->SetAutoSize(asBoth);
  p->RearrangeChildren();
  EXPECT_EQ(p->Width(), 96);
  EXPECT_EQ(p->Height(), 28);
  EXPECT_EQ(p->ArrangedWidth(), 8 + 92);
  EXPECT_EQ(p->ArrangedHeight(), 8 + 24);
  p->RearrangeChildren();
  EXPECT_EQ(p->Width(), 92);
  // Down to the content's right edge plus one margin: 4 + 50 + 4.
  for (int i = 0; i < 20; ++i) p->RearrangeChildren();
  EXPECT_EQ(p->Width(), 58);

  // Made as a, b, c; tab orders c, a, b: the rows follow the tab order.
  TXcPanel* q = MakePanel(200, 50);
  TPanel* x = Child(q, 10, 10);
  TPanel* y = Child(q, 20, 10);
  TPanel* z = Child(q, 30, 10);
  z->SetTabOrder(0);
  x->SetTabOrder(1);
  y->SetTabOrder(2);
  q->RearrangeChildren();
  EXPECT_EQ(z->Left(), 0);
  EXPECT_EQ(x->Left(), 30);
  EXPECT_EQ(y->Left(), 40);
  (void)a;
}

TEST_F(PanelTest, ArrangeSettingChangesFollowTheirThreeRules) {
  TXcPanel* p = MakePanel(100, 50);
  TPanel* c = Child(p, 20, 20);
  auto moved = [&] {
    bool was = c->Left() != 33;
    c->SetLeft(33);
    return was;
  };
  c->SetLeft(33);
  // Not automatic: nothing arranges.
  p->ArrangeSettings()->SetBorderLeft(2);
  EXPECT_FALSE(moved());
  p->ArrangeSettings()->SetAutoArrange(true);
  EXPECT_TRUE(moved());
  // Any other property arranges at once.
  p->ArrangeSettings()->SetBorderLeft(3);
  EXPECT_TRUE(moved());
  // AutoSize only when it is switched on; AutoArrange only when on.
  p->ArrangeSettings()->SetAutoSize(asWidth);
  EXPECT_TRUE(moved());
  p->ArrangeSettings()->SetAutoSize(asNone);
  EXPECT_FALSE(moved());
  p->ArrangeSettings()->SetAutoArrange(false);
  EXPECT_FALSE(moved());
  // Suspended, nothing arranges; resumed, it does again.
  p->ArrangeSettings()->SetAutoArrange(true);
  c->SetLeft(33);
  p->SuspendArranging();
  p->ArrangeSettings()->SetBorderLeft(5);
  EXPECT_FALSE(moved());
  p->ResumeArranging();
  EXPECT_EQ(p->ArrangeLockCount(), 0);
  p->ArrangeSettings()->SetBorderLeft(6);
  EXPECT_TRUE(moved());
  // Loading holds it back until the end.
  p->BeginLoading();
  p->ArrangeSettings()->SetBorderLeft(7);
  EXPECT_FALSE(moved());
  p->EndLoading();
  EXPECT_EQ(c->Left(), 7);
}

TEST_F(PanelTest, SettingsAssignGoesThroughTheSettersAndAlwaysUnlocks) {
  TXcArrangeSettings source(nullptr);
  source.SetBorderLeft(3);
  source.SetBorderTop(5);
  source.SetMaxWidth(40);
  source.SetHorizontalAlignLines(true);
  TXcArrangeSettings target(nullptr);
  std::vector<std::string> names;
  int before = 0, after = 0;
  target.OnAfterPropertyChange = [&](TObject*, const std::string& name) { names.push_back(name); };
  target.OnBeforeChange = [&](TObject*) { ++before; };
  target.OnAfterChange = [&](TObject*) { ++after; };
  target.Assign(&source);
  EXPECT_EQ(names, (std::vector<std::string>{"BorderLeft", "BorderTop", "MaxWidth", "HorizontalAlignLines"}));
  EXPECT_EQ(before, 1);  // one locked group of changes
  EXPECT_EQ(after, 1);
  EXPECT_EQ(target.MaxWidth(), 40);

  // A setter that raises: the changes before it stay, the lock is let go.
  TXcArrangeSettings other(nullptr);
  other.SetBorderLeft(9);
  other.SetBorderTop(9);
  other.SetDistanceVertical(9);
  target.OnBeforePropertyChange = [](TObject*, const std::string& name) {
    if (name == "BorderTop") throw EXCLException("refused");
  };
  EXPECT_THROW(target.Assign(&other), EXCLException);
  EXPECT_EQ(target.ChangeLockCount(), 0);
  EXPECT_EQ(target.BorderLeft(), 9);
  EXPECT_EQ(target.DistanceVertical(), 0);
  TXcHotTrackOptions wrong(nullptr);
  EXPECT_THROW(target.Assign(&wrong), EConvertError);
}

TEST_F(PanelTest, FreeingTheSettingsAloneIsLoggedAndThePanelTakesFreshOnes) {
  testsupport::ScratchDir dir;
  std::string log = dir.File("debug.log");
  std::string oldLog = DebugLogFileName();
  SetDebugLogFileName(log);
  TXcPanel* p = MakePanel(100, 50);
  TPanel* c = Child(p, 20, 20);
  p->ArrangeSettings()->SetBorderLeft(9);
  TXcArrangeSettings* old = p->ArrangeSettings();
  delete old;
  ASSERT_NE(p->ArrangeSettings(), nullptr);
  EXPECT_EQ(p->ArrangeSettings()->BorderLeft(), 0);
  // The fresh settings are the panel's: they arrange it.
  p->ArrangeSettings()->SetBorderLeft(6);
  p->ArrangeSettings()->SetAutoArrange(true);
  EXPECT_EQ(c->Left(), 6);
  delete p->HotTrackOptions();
  EXPECT_EQ(p->HotTrackOptions()->Color(), clBtnFace);
  delete p;  // with its panel: nothing more is logged
  SetDebugLogFileName(oldLog);
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  EXPECT_NE(s.find("Your code tried to destroy the TXcPanel.ArrangeSettings objects"), std::string::npos);
  EXPECT_EQ(s.find("Your code"), s.rfind("Your code"));
}

TEST_F(PanelTest, WidthAndHeightSettersFireTheirEventsAndAskTheArrangingParent) {
  TXcPanel* outer = MakePanel(300, 100);
  outer->ArrangeSettings()->SetAutoArrange(true);
  auto* inner = new TXcPanel(form);
  inner->SetParent(outer);
  inner->SetBounds(0, 0, 40, 20);
  auto* next = new TXcPanel(form);
  next->SetParent(outer);
  next->SetBounds(0, 0, 40, 20);
  outer->RearrangeChildren();
  EXPECT_EQ(next->Left(), 40);
  std::vector<std::string> events;
  inner->OnChangedWidth = [&](TObject*, int v) { events.push_back("width " + std::to_string(v)); };
  inner->OnChangedHeight = [&](TObject*, int v) { events.push_back("height " + std::to_string(v)); };
  inner->SetWidth(60);
  EXPECT_EQ(events, std::vector<std::string>{"width 60"});
  EXPECT_EQ(next->Left(), 60);  // the parent arranged anew
  inner->SetWidth(60);
  EXPECT_EQ(events.size(), 1u);
  // OnResizeParent is asked instead of the parent.
  int asked = 0;
  inner->OnResizeParent = [&](TObject*, int, int, int w, int h) {
    ++asked;
    EXPECT_EQ(w, 70);
    EXPECT_EQ(h, 20);
  };
  inner->SetWidth(70);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(next->Left(), 60);
  // The framework's own setter is no size event.
  inner->SetBounds(0, 0, 50, 25);
  EXPECT_EQ(events.size(), 2u);
}

class PanelPaintTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    ThemeServices()->SetThemesEnabled(false);
  }
  void TearDown() override {
    ThemeServices()->SetThemesEnabled(true);
    PanelTest::TearDown();
  }
};

TEST_F(PanelPaintTest, HotFaceAndFrameAndTheFlatBorderBands) {
  TXcPanel* p = MakePanel(60, 40);
  p->SetColor(clWhite);
  p->SetHotTrack(true);
  p->HotTrackOptions()->SetEnabled(true);
  p->HotTrackOptions()->SetColor(clYellow);
  auto cold = Picture(p);
  EXPECT_EQ(At(*cold, 30, 20), ColorToRGB(clWhite) & 0xFFFFFF);
  testsupport::MouseEnter(p, 10, 10);
  ASSERT_TRUE(p->IsMouseInside());
  auto hot = Picture(p);
  EXPECT_EQ(At(*hot, 30, 20), ColorToRGB(clYellow) & 0xFFFFFF);
  p->HotTrackOptions()->SetFrameVisible(true);
  p->HotTrackOptions()->SetFrameColor(clBlue);
  auto framed = Picture(p);
  EXPECT_EQ(At(*framed, 0, 20), ColorToRGB(clBlue) & 0xFFFFFF);
  EXPECT_EQ(At(*framed, 59, 20), ColorToRGB(clBlue) & 0xFFFFFF);
  EXPECT_EQ(At(*framed, 1, 20), ColorToRGB(clYellow) & 0xFFFFFF);
  testsupport::MouseLeave(p);
  Application->ProcessMessages();

  // The flat border covers exactly the border band, odd or even.
  p->SetHotTrack(false);
  p->SetFlatBorder(true);
  p->SetFlatBorderColor(clRed);
  for (int bw : {1, 2, 3, 4}) {
    SCOPED_TRACE(bw);
    p->SetBorderWidth(bw);
    auto b = Picture(p);
    for (int i = 0; i < bw; ++i) {
      EXPECT_EQ(At(*b, i, 20), ColorToRGB(clRed) & 0xFFFFFF) << "left " << i;
      EXPECT_EQ(At(*b, 59 - i, 20), ColorToRGB(clRed) & 0xFFFFFF) << "right " << i;
      EXPECT_EQ(At(*b, 30, i), ColorToRGB(clRed) & 0xFFFFFF) << "top " << i;
      EXPECT_EQ(At(*b, 30, 39 - i), ColorToRGB(clRed) & 0xFFFFFF) << "bottom " << i;
    }
    EXPECT_EQ(At(*b, bw, 20), ColorToRGB(clWhite) & 0xFFFFFF);
    EXPECT_EQ(At(*b, 59 - bw, 20), ColorToRGB(clWhite) & 0xFFFFFF);
    EXPECT_EQ(At(*b, 30, bw), ColorToRGB(clWhite) & 0xFFFFFF);
    EXPECT_EQ(At(*b, 30, 39 - bw), ColorToRGB(clWhite) & 0xFFFFFF);
  }
}

TEST_F(PanelPaintTest, TheCaptionIsCentredOnTheWholeHeightAndPlacedByTheAlignment) {
  TXcPanel* p = MakePanel(120, 50);
  p->SetColor(clWhite);
  p->Font()->SetColor(clRed);
  p->SetBevelOuter(bvRaised);
  p->SetBorderWidth(3);
  p->SetCaption("HIH");
  TBitmap measure(1, 1);
  measure.Canvas()->SetFont(*p->Font());
  TSize text = measure.Canvas()->TextExtent("HIH");
  struct Case {
    TAlignment alignment;
    int left;
  } cases[] = {
      {taLeftJustify, 1 + 3},                  // inside the bevel and the border band
      {taRightJustify, 120 - 1 - 3 - text.cx},  // its right edge at Width - border - bevel
      {taCenter, (120 - text.cx) / 2},
  };
  for (const Case& c : cases) {
    p->SetAlignment(c.alignment);
    TRect r = p->CaptionRect(measure.Canvas());
    EXPECT_EQ(r.Left, c.left) << int(c.alignment);
    EXPECT_EQ(r.Top, (50 - text.cy) / 2);
    EXPECT_EQ(r.Height(), text.cy);
    // The ink lies inside that rectangle.
    auto b = Picture(p);
    int ink = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 120; ++x)
        if (At(*b, x, y) == (ColorToRGB(clRed) & 0xFFFFFF)) {
          ++ink;
          ASSERT_TRUE(x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) << x << "," << y;
        }
    EXPECT_GE(ink, 5);
  }
  // Disabled panels draw it in clGrayText.
  p->SetEnabled(false);
  auto b = Picture(p);
  int gray = 0, red = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 120; ++x) {
      gray += At(*b, x, y) == (ColorToRGB(clGrayText) & 0xFFFFFF);
      red += At(*b, x, y) == (ColorToRGB(clRed) & 0xFFFFFF);
    }
  EXPECT_GE(gray, 5);
  EXPECT_EQ(red, 0);
}

TEST_F(PanelPaintTest, TheGripDragSizesWithinConstraintsAndNeverBelowTwoPixels) {
  TXcPanel* p = MakePanel(100, 80);
  p->SetSizeable(true);
  auto b = Picture(p);
  // The classic grip: shadow lines in the bottom-right square.
  TRect grip = p->GripRect();
  bool shadow = false;
  for (int x = grip.Left; x < grip.Right; ++x)
    shadow = shadow || At(*b, x, grip.Bottom - 1) == (ColorToRGB(clBtnShadow) & 0xFFFFFF);
  EXPECT_TRUE(shadow);
  EXPECT_TRUE(p->InGrip(89, 69));
  EXPECT_FALSE(p->InGrip(88, 69));

  TCursor before = Screen->Cursor();
  testsupport::MouseDown(p, 95, 75);
  EXPECT_TRUE(p->IsSizing());
  EXPECT_EQ(Screen->Cursor(), crSizeNWSE);
  testsupport::MouseMove(p, 115, 85);
  EXPECT_EQ(p->Width(), 120);
  EXPECT_EQ(p->Height(), 90);
  // Constraints limit it; a limit that forbids every size keeps it.
  p->Constraints()->SetMaxWidth(110);
  testsupport::MouseMove(p, 130, 95);
  EXPECT_EQ(p->Width(), 110);
  EXPECT_EQ(p->Height(), 100);
  p->Constraints()->SetMinHeight(100);
  p->Constraints()->SetMaxHeight(100);
  p->Constraints()->SetMinWidth(110);
  testsupport::MouseMove(p, 10, 10);
  EXPECT_EQ(p->Width(), 110);
  EXPECT_EQ(p->Height(), 100);
  // A drag past the left and top edges never leaves 1 pixel or less.
  p->Constraints()->SetMinWidth(0);
  p->Constraints()->SetMaxWidth(0);
  p->Constraints()->SetMinHeight(0);
  p->Constraints()->SetMaxHeight(0);
  testsupport::MouseMove(p, -500, -500);
  EXPECT_GT(p->Width(), 1);
  EXPECT_GT(p->Height(), 1);
  testsupport::MouseUp(p, -500, -500);
  EXPECT_FALSE(p->IsSizing());
  EXPECT_EQ(Screen->Cursor(), before);
  // Outside the grip a press is the framework's.
  int presses = 0;
  p->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++presses; };
  testsupport::MouseDown(p, 10, 10);
  testsupport::MouseUp(p, 10, 10);
  EXPECT_EQ(presses, 1);
  EXPECT_FALSE(p->IsSizing());
}

TEST_F(PanelTest, MovingByTheInsideAsksBeforeAndTellsAfter) {
  TXcPanel* p = MakePanel(80, 60);
  p->SetMovable(true);
  std::vector<std::string> events;
  bool allow = true;
  p->OnBeforeMove = [&](TObject*, int x, int y, bool& a) {
    events.push_back("before " + std::to_string(x) + "," + std::to_string(y));
    a = allow;
  };
  p->OnAfterMove = [&](TObject*) { events.push_back("after"); };
  // Pressed at (20, 20) of the panel, form point (25, 25); moved by (30, 10).
  testsupport::MouseDown(p, 20, 20);
  testsupport::MouseMove(form, 55, 35);
  testsupport::MouseUp(form, 55, 35);
  EXPECT_EQ(p->Left(), 35);
  EXPECT_EQ(p->Top(), 15);
  EXPECT_EQ(events, (std::vector<std::string>{"before 20,20", "after"}));
  EXPECT_FALSE(p->IsMoving());
  // The 5-pixel rim and a refusal leave the press to the panel.
  events.clear();
  testsupport::MouseDown(p, 3, 20);
  testsupport::MouseUp(p, 3, 20);
  EXPECT_TRUE(events.empty());
  allow = false;
  testsupport::MouseDown(p, 20, 20);
  testsupport::MouseMove(form, 90, 90);
  testsupport::MouseUp(form, 90, 90);
  EXPECT_EQ(p->Left(), 35);
  EXPECT_EQ(events, std::vector<std::string>{"before 20,20"});
}

TEST_F(PanelPaintTest, ATransparentPanelShowsItsParentAndDropsOpaque) {
  form->SetColor(clRed);
  TXcPanel* p = MakePanel(60, 40);
  p->SetColor(clWhite);
  EXPECT_TRUE(p->ControlStyle() & csOpaque);
  p->SetTransparent(true);
  p->HandleNeeded();
  EXPECT_FALSE(p->ControlStyle() & csOpaque);
  auto b = Picture(p);
  EXPECT_EQ(At(*b, 30, 20), ColorToRGB(clRed) & 0xFFFFFF);
  p->SetTransparent(false);
  EXPECT_TRUE(p->ControlStyle() & csOpaque);
  EXPECT_EQ(At(*Picture(p), 30, 20), ColorToRGB(clWhite) & 0xFFFFFF);
}

}  // namespace
