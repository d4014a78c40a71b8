#include "imaging/core/ie_system_utils.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/system/memory.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/scroll_bars.h"
#include "platform/ui/string_list.h"
#include "tests/support/ui_fixture.h"

namespace {

TEST(SystemUtils, SystemAnswers) {
  EXPECT_EQ(GetWindowsVersionKind(), 9);
#if defined(__x86_64__)
  EXPECT_TRUE(CPUHasMMX());
#endif
  EXPECT_FALSE(QueryRemoteSession());
  EXPECT_FALSE(IsPrimaryMouseButtonDown());
}

TEST(SystemUtils, RegisteredClipboardFormatsByName) {
  const UINT raw = RegisterClipboardFormat("ZODAZUR RAW FORMAT");
  const UINT vect = RegisterClipboardFormat("ZODAZUR VECT");
  ASSERT_TRUE(OpenClipboardRetry());
  ASSERT_TRUE(EmptyClipboard());
  for (UINT format : {static_cast<UINT>(CF_TEXT), raw, vect}) {
    void* block = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(block, "abc", 4);
    ASSERT_NE(SetClipboardData(format, block), nullptr);
  }
  // The text has no name: only the two registered formats are listed, with their numbers.
  const std::unique_ptr<TStringList> names = ClipboardFormatNames();
  ASSERT_EQ(names->Count(), 2);
  EXPECT_EQ(ClipboardFormatByName("zodazur vect"), vect);
  EXPECT_EQ(ClipboardFormatByName("ZODAZUR RAW FORMAT"), raw);
  EXPECT_EQ(ClipboardFormatByName("PNG"), 0u);
  EXPECT_TRUE(EmptyClipboard());  // the blocks go with it
  EXPECT_TRUE(CloseClipboard());
}

class SystemUtilsForm : public testsupport::FormTest {};

TEST_F(SystemUtilsForm, OwnerWindowAndScrollBars) {
  // A component owned by the form finds the form's window.
  TComponent child(form);
  EXPECT_EQ(GetOwnerWindowHandle(&child), form->Handle());
  TComponent loose(nullptr);
  EXPECT_EQ(GetOwnerWindowHandle(&loose), nullptr);
  TForm unshown(nullptr);
  EXPECT_EQ(GetOwnerWindowHandle(&unshown), nullptr);  // no handle yet

  HWND w = form->Handle();
  for (bool flat : {false, true}) {
    SetScrollBarInfo(w, SB_HORZ, 0, 999, 100, 250, true, flat);
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(w, SB_HORZ, &info));
    EXPECT_EQ(info.nMax, 999);
    EXPECT_EQ(info.nPage, 100u);
    EXPECT_EQ(info.nPos, 250);
    SetScrollBarPos(w, SB_HORZ, 300, true, flat);
    EXPECT_EQ(GetScrollPos(w, SB_HORZ), 300);
    EXPECT_EQ(SetScrollBarRange(w, SB_HORZ, 0, 500, true, flat), -1);
    ASSERT_TRUE(GetScrollInfo(w, SB_HORZ, &info));
    EXPECT_EQ(info.nMax, 500);
    ShowScrollBarEx(w, SB_HORZ, false, flat);
    EXPECT_FALSE(IsScrollBarShown(w, SB_HORZ));
    ShowScrollBarEx(w, SB_HORZ, true, flat);
    EXPECT_TRUE(IsScrollBarShown(w, SB_HORZ));
    EnableScrollBarArrows(w, SB_HORZ, ESB_DISABLE_BOTH, flat);
    EnableScrollBarArrows(w, SB_HORZ, ESB_ENABLE_BOTH, flat);
  }
}

}  // namespace
