#include "controls/xc_xcl_utils.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "controls/controls_startup.h"
#include "platform/ui/image_list.h"
#include "platform/ui/std_ctrls.h"
#include "tests/support/ui_fixture.h"

namespace {

TEST(SyncHotTrackFont, CopiesWhatTheOptionsDoNotKeep) {
  TFont control;
  control.SetName("DejaVu Serif");
  control.SetHeight(-20);
  control.SetColor(clRed);
  control.SetStyle(TFontStyles{fsBold});
  control.SetPitch(fpFixed);
  control.SetCharset(SYMBOL_CHARSET);
  struct Case {
    TXcTrackFontOptions options;
    bool name, height, color, style, pitch, charset;  // which the hot font takes
  } cases[] = {
      {{}, false, false, false, false, false, false},  // without hoFollowFont nothing
      {kDefaultTrackFontOptions, true, true, false, false, true, true},
      {{hoFollowFont}, true, true, true, true, true, true},
      {{hoFollowFont, hoPreserveName, hoPreserveHeight, hoPreservePitch, hoPreserveCharSet}, false, false, true, true,
       false, false},
  };
  EXPECT_EQ(kDefaultTrackFontOptions.Bits(), 0x45u);
  for (const Case& c : cases) {
    TFont hot;
    const TFont fresh;
    SyncHotTrackFont(&hot, &control, c.options);
    EXPECT_EQ(hot.Name() == control.Name(), c.name);
    EXPECT_EQ(hot.Height() == control.Height(), c.height);
    EXPECT_EQ(hot.Color() == control.Color(), c.color);
    EXPECT_EQ(hot.Style() == control.Style(), c.style);
    EXPECT_EQ(hot.Pitch() == control.Pitch(), c.pitch);
    EXPECT_EQ(hot.Charset() == control.Charset(), c.charset);
    if (!c.name) {
      EXPECT_EQ(hot.Name(), fresh.Name());
    }
  }
  SyncHotTrackFont(nullptr, &control, kDefaultTrackFontOptions);
}

TEST(ComponentRefs, RootOwnerAndReferencesWithFreeNotification) {
  TComponent root(nullptr);
  auto* middle = new TComponent(&root);
  auto* leaf = new TComponent(middle);
  EXPECT_EQ(RootOwner(leaf), &root);
  EXPECT_EQ(RootOwner(&root), &root);
  EXPECT_EQ(RootOwner(nullptr), nullptr);

  // A holder that forgets what goes away.
  class THolder : public TComponent {
   public:
    using TComponent::TComponent;
    TComponent* ref = nullptr;
    TCustomImageList* images = nullptr;

   protected:
    void Notification(TComponent* c, TOperation op) override {
      TComponent::Notification(c, op);
      if (op == opRemove && c == ref) ref = nullptr;
      if (op == opRemove && static_cast<void*>(c) == static_cast<void*>(images)) images = nullptr;
    }
  } holder(nullptr);
  auto* target = new TComponent(nullptr);
  EXPECT_TRUE(ReplaceComponentRef(&holder, target, holder.ref));
  EXPECT_FALSE(ReplaceComponentRef(&holder, target, holder.ref));
  EXPECT_FALSE(ReplaceComponentRef(nullptr, nullptr, holder.ref));
  delete target;
  EXPECT_EQ(holder.ref, nullptr);

  auto* a = new TImageList(nullptr);
  TImageList b(nullptr);
  TChangeLink link;
  int changes = 0;
  link.OnChange = [&](TObject*) { ++changes; };
  EXPECT_TRUE(ReplaceImageListRef(&holder, a, holder.images, &link));
  EXPECT_EQ(link.Sender(), a);
  EXPECT_TRUE(ReplaceImageListRef(&holder, &b, holder.images, &link));
  EXPECT_EQ(link.Sender(), &b);
  a->Clear();
  EXPECT_EQ(changes, 0);  // the old list no longer tells the link
  delete a;
  EXPECT_EQ(holder.images, &b);
  EXPECT_TRUE(ReplaceImageListRef(&holder, nullptr, holder.images, &link));
  EXPECT_EQ(link.Sender(), nullptr);
}

TEST(CheckGlyphSize, IsTheBoxTheCheckBoxDraws) {
  TSize s = CheckGlyphSize();
  EXPECT_GT(s.cx, 4);
  EXPECT_GT(s.cy, 4);
  EXPECT_EQ(s, CheckBoxGlyphSize());
}

using WindowTest = testsupport::FormTest;

TEST_F(WindowTest, AWindowOfTheProgramIsActiveOnTheUserInterfaceThreadOnly) {
  form->SetFocus();
  Application->ProcessMessages();
  EXPECT_EQ(IsThreadWindowActive(), Screen->ActiveForm() != nullptr);
  bool other = true;
  std::thread([&] { other = IsThreadWindowActive(); }).join();
  EXPECT_FALSE(other);
}

TEST(Monitors, AMonitorByItsNumberAndItsWorkArea) {
  TMonitorInfo one;
  one.MonitorNum = 0;
  one.BoundsRect = Rect(0, 0, 800, 600);
  one.WorkareaRect = Rect(0, 0, 800, 560);
  one.Primary = true;
  TMonitorInfo two = one;
  two.MonitorNum = 1;
  two.BoundsRect = Rect(800, 0, 1600, 600);
  two.WorkareaRect = Rect(800, 30, 1600, 600);
  TScreen::SetMonitorsForTesting({one, two});
  EXPECT_EQ(MonitorWorkArea(1), Rect(800, 30, 1600, 600));
  ASSERT_TRUE(MonitorFromHandle(0).has_value());
  EXPECT_TRUE(MonitorFromHandle(0)->Primary);
  EXPECT_FALSE(MonitorFromHandle(7).has_value());
  EXPECT_EQ(MonitorWorkArea(7), TRect{});
  TScreen::SetMonitorsForTesting({});
}

TEST(DragCursors, StartUpRegistersFourCopiesOfTheDragCursors) {
  ASSERT_TRUE(ControlsInitialized());
  std::set<HCURSOR> seen;
  for (int id = kXcDragCursorFirst; id <= kXcDragCursorLast; ++id) {
    HCURSOR c = Screen->Cursors(id);
    ASSERT_NE(c, nullptr);
    // Copies, each the screen's own: not the built-in cursors themselves.
    EXPECT_NE(c, Screen->Cursors(crDrag));
    EXPECT_NE(c, Screen->Cursors(crMultiDrag));
    seen.insert(c);
  }
  EXPECT_EQ(seen.size(), 4u);
  // Asked again, the same registered cursors come back.
  EXPECT_EQ(Screen->Cursors(368), Screen->Cursors(368));
}

}  // namespace
