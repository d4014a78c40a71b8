#include "controls/xc_draw_utils.h"

#include <gtest/gtest.h>

#include "controls/xc_color_tables.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_queue.h"
#include "tests/support/ui_fixture.h"

namespace {

TEST(DrawUtils, RectangleArithmetic) {
  EXPECT_EQ(AbsWidth(Rect(10, 0, 4, 0)), 6);
  EXPECT_EQ(AbsHeight(Rect(0, -3, 0, 5)), 8);
  EXPECT_EQ(AbsWidth(Rect(INT32_MIN, 0, INT32_MAX, 0)), INT32_MAX);  // saturates
  TRect r = Rect(10, 20, 4, 8);
  OrderRectCorners(r);
  EXPECT_EQ(r, Rect(4, 8, 10, 20));
  struct Case {
    TRect in;
    bool ok;
    TRect out;
  } cases[] = {
      {Rect(0, 0, 10, 4), true, Rect(3, 0, 7, 4)},    // wide: (10 - 4) / 2 = 3
      {Rect(0, 0, 4, 11), true, Rect(0, 3, 4, 7)},    // tall: (11 - 4) / 2 = 3 (integer half)
      {Rect(5, 5, 9, 9), true, Rect(5, 5, 9, 9)},     // a square stays
      {Rect(0, 0, 0, 5), false, Rect(0, 0, 0, 5)},    // empty: unchanged
      {Rect(10, 0, 0, 10), false, Rect(10, 0, 0, 10)},
  };
  for (const Case& c : cases) {
    TRect x = c.in;
    EXPECT_EQ(CenterSquareInRect(x), c.ok);
    EXPECT_EQ(x, c.out);
  }
  TRect box = Rect(0, 0, 10, 10);
  EXPECT_TRUE(PointInRectInclusive(box, Point(10, 10)));
  EXPECT_TRUE(PointInRectInclusive(box, Point(0, 5)));
  EXPECT_FALSE(PointInRectInclusive(box, Point(11, 5)));
  EXPECT_FALSE(PointInRectInclusive(box, Point(5, -1)));
}

TEST(DrawUtils, ColourDescriptionsSearchStandardOfficeThenSystem) {
  EXPECT_EQ(ColorDescription(clLime), "Lime");                     // the standard row
  EXPECT_EQ(ColorDescription(TColorOf(0x0000CC99)), "Lime");       // the office row of that name
  EXPECT_EQ(ColorDescription(clTeal), "Teal");                     // in two tables: the first wins
  EXPECT_EQ(ColorDescription(clSkyBlue), "Sky blue");
  EXPECT_EQ(ColorDescription(TColorOf(0x00663399)), "Plum");
  EXPECT_EQ(ColorDescription(clBtnFace), "Button face");
  EXPECT_EQ(ColorDescription(TColorOf(0x00123456)), "$00123456");  // none: the framework's text
  EXPECT_EQ(ColorDescription(clNone), "clNone");
}

TEST(DrawUtils, TextIsNeverWrittenBack) {
  TBitmap b(200, 30);
  TCanvas* c = b.Canvas();
  c->Font()->SetName("DejaVu Sans");
  const std::string path = "/home/user/pictures/holiday/beach.jpg";
  TRect r = Rect(0, 0, c->TextWidth(".../beach.jpg") + 10, 20);
  const uint32_t flags = DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_MODIFYSTRING | DT_CALCRECT;
  std::string text = path;
  EXPECT_GT(DrawTextOnCanvas(c, text, -1, flags, r), 0);
  EXPECT_EQ(text, path);
  EXPECT_LE(r.Width(), c->TextWidth(".../beach.jpg") + 10);
  TRect d = Rect(0, 0, 200, 20);
  EXPECT_GT(DrawTextOnDC(c->Handle(), text, 5, DT_CALCRECT | DT_SINGLELINE | DT_MODIFYSTRING, d), 0);
  EXPECT_EQ(d.Width(), c->TextWidth("/home"));  // only the first five characters
  EXPECT_EQ(text, path);
}

TEST(DrawUtils, CopyingBitsAndAScreenCompatibleDc) {
  TBitmap src(4, 4), dst(4, 4);
  src.Canvas()->Brush()->SetColor(clRed);
  src.Canvas()->FillRect(Rect(0, 0, 4, 4));
  EXPECT_TRUE(CopyBits(dst.Canvas()->Handle(), 1, 1, 2, 2, src.Canvas()->Handle(), 0, 0, SRCCOPY));
  EXPECT_EQ(dst.Canvas()->Pixels(1, 1), clRed);
  EXPECT_EQ(dst.Canvas()->Pixels(0, 0), clWhite);
  HDC mem = CreateScreenCompatibleDC();
  ASSERT_NE(mem, nullptr);
  DeleteDC(mem);
}

class TCounter : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<UINT> seen;
  void WndProc(TMessage& m) override {
    if ((m.Msg >= WM_USER && m.Msg < CM_BASE) || m.Msg == WM_QUIT) seen.push_back(m.Msg);
    if (m.Msg == WM_USER + 1) m.Result = 77;
    TCustomControl::WndProc(m);
  }
};

using DrawUtilsTest = testsupport::FormTest;

TEST_F(DrawUtilsTest, MessagesSentAndOnePendingMessageDiscarded) {
  auto* c = new TCounter(form);
  c->SetParent(form);
  HWND h = c->Handle();
  EXPECT_EQ(SendWindowMessage(h, WM_USER + 1, 0, 0), 77);
  PostMessage(h, WM_USER + 2, 0, 0);
  PostMessage(h, WM_USER + 2, 0, 0);
  PostMessage(h, WM_USER + 3, 0, 0);
  DiscardPendingMessage(h, WM_USER + 2);
  DiscardPendingMessage(h, WM_USER + 9);  // none pending: nothing
  Application->ProcessMessages();
  EXPECT_EQ(c->seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
  // A quit request taken so goes back into the queue.
  c->seen.clear();
  PostMessage(h, WM_QUIT, 3, 0);
  DiscardPendingMessage(h, WM_QUIT);
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, h, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 3u);
  PeekMessage(&m, h, WM_QUIT, WM_QUIT, PM_REMOVE);
}

}  // namespace
