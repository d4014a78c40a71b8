#include "controls/xc_types.h"

#include <gtest/gtest.h>

#include <set>

#include "controls/xc_color_tables.h"
#include "controls/xc_hot_track_persistent.h"

namespace {

// An option object whose notifications a test can trigger, recording every event.
class TRecordedProperty : public TXcPersistentProperty {
 public:
  explicit TRecordedProperty(TPersistent* owner) : TXcPersistentProperty(owner) {
    OnBeforeChange = [this](TObject*) { log.push_back("before"); };
    OnAfterChange = [this](TObject*) { log.push_back("after"); };
    OnBeforePropertyChange = [this](TObject*, const std::string& n) { log.push_back("before " + n); };
    OnAfterPropertyChange = [this](TObject*, const std::string& n) { log.push_back("after " + n); };
  }
  std::vector<std::string> log;
  using TXcPersistentProperty::NotifyChanged;
  using TXcPersistentProperty::NotifyPropertyChanged;
};

TEST(XcPersistentProperty, AGroupOfChangesIsToldOnceAtItsOutermostBrackets) {
  TRecordedProperty p(nullptr);
  p.LockChanges();
  p.LockChanges();
  p.NotifyChanged();               // inside a lock: nothing
  p.NotifyPropertyChanged("Size");  // names are told whatever the lock
  p.UnlockChanges();
  EXPECT_EQ(p.ChangeLockCount(), 1);
  p.UnlockChanges();
  EXPECT_EQ(p.log, (std::vector<std::string>{"before", "after Size", "after"}));
  p.log.clear();
  p.NotifyChanged();
  EXPECT_EQ(p.log, (std::vector<std::string>{"after"}));
}

TEST(XcPersistentPropertyDeathTest, AnUnlockWithoutALockDoesNotSilenceLaterChanges) {
  // The forked child dies at once: it makes no named objects of its own (a re-executed one would
  // start the library again and leave them behind).
  GTEST_FLAG_SET(death_test_style, "fast");
  TRecordedProperty p(nullptr);
  // Debug builds stop at it; otherwise it does nothing.
  EXPECT_DEBUG_DEATH(p.UnlockChanges(), "UnlockChanges without LockChanges");
  EXPECT_EQ(p.ChangeLockCount(), 0);
  p.log.clear();
  p.LockChanges();
  p.UnlockChanges();
  p.NotifyChanged();
  EXPECT_EQ(p.log, (std::vector<std::string>{"before", "after", "after"}));
}

TEST(XcPersistent, OwnedByAComponentNamedBehindItsOwnersPath) {
  auto* form = new TComponent(nullptr);
  form->SetName("Form1");
  auto* panel = new TComponent(form);
  panel->SetName("Panel1");
  auto* options = new TXcPersistentProperty(panel);
  options->SetName("HotTrackOptions");
  EXPECT_EQ(options->Owner(), panel);
  EXPECT_EQ(options->PersistentOwner(), panel);
  EXPECT_TRUE(options->ComponentStyle() & csSubComponent);
  // The panel has an owner of its own: its path goes in front.
  EXPECT_EQ(options->GetNamePath(), "Panel1.HotTrackOptions");
  // A top-level owner without an owner of its own (and not a sub-component) is not put in front.
  auto* lone = new TXcPersistentProperty(form);
  lone->SetName("Options");
  EXPECT_EQ(lone->GetNamePath(), "Options");
  // An owner that is a sub-component itself is; an empty owner path adds nothing.
  auto* nested = new TXcPersistent(options);
  nested->SetName("Inner");
  EXPECT_EQ(nested->GetNamePath(), "Panel1.HotTrackOptions.Inner");
  auto* unnamed = new TXcPersistent(nullptr);
  auto* below = new TXcPersistent(unnamed);
  below->SetName("Below");
  EXPECT_EQ(below->GetNamePath(), "Below");
  delete below;
  delete unnamed;
  delete form;  // frees the panel and the option objects it owns
}

TEST(XcPersistent, AnOwnerThatIsNotAComponentLeavesFreeingToTheMaker) {
  TCollection owner([](TCollection*) -> TCollectionItem* { return nullptr; });
  auto* p = new TXcPersistent(&owner);
  EXPECT_EQ(p->Owner(), nullptr);
  EXPECT_EQ(p->PersistentOwner(), &owner);
  delete p;
}

TEST(ColorTables, RowsValuesAndDescriptionsInTheirOrder) {
  struct Probe {
    const TDefColorItem* table;
    size_t count;
    size_t row;
    uint32_t value;
    const char* constant;
    const char* description;
  } probes[] = {
      {StandardColorValues(), kStandardColorCount, 0, 0x00000000, "clBlack", "Black"},
      {StandardColorValues(), kStandardColorCount, 3, 0x00008080, "clOlive", "Olive green"},
      {StandardColorValues(), kStandardColorCount, 19, 0x00A4A0A0, "clMedGray", "Medium gray"},
      {OfficeColorValues(), kOfficeColorCount, 1, 0x00003399, "clBrown", "Brown"},
      {OfficeColorValues(), kOfficeColorCount, 7, 0x00333333, "clGray80", "Gray 80%"},
      {OfficeColorValues(), kOfficeColorCount, 18, 0x0000CC99, "clLime", "Lime"},
      {OfficeColorValues(), kOfficeColorCount, 39, 0x00FFFFFF, "clWhite", "White"},
      {SystemColorValues(), kSystemColorCount, 0, 0xFF000000, "clScrollBar", "Scrollbar"},
      {SystemColorValues(), kSystemColorCount, 17, 0xFF000011, "clGrayText", "Dimmed text"},
      {SystemColorValues(), kSystemColorCount, 25, 0xFF00001B, "clGradientActiveCaption", "Gradient Active Caption"},
      {SystemColorValues(), kSystemColorCount, 29, 0xFF00001D, "clMenuHighlight", "Menu Highlight"},
  };
  for (const Probe& p : probes) {
    ASSERT_LT(p.row, p.count);
    const TDefColorItem& item = p.table[p.row];
    EXPECT_EQ(item.Value, TColorOf(p.value)) << p.constant;
    EXPECT_STREQ(item.Constant, p.constant);
    EXPECT_EQ(item.Description, p.description);
  }
  // Within a table every value stands once; the same values recur between tables under other names.
  for (auto [table, count] : {std::pair{StandardColorValues(), kStandardColorCount},
                              {OfficeColorValues(), kOfficeColorCount}, {SystemColorValues(), kSystemColorCount}}) {
    std::set<TColor> values;
    for (size_t i = 0; i < count; ++i) values.insert(table[i].Value);
    EXPECT_EQ(values.size(), count);
  }
  EXPECT_EQ(StandardColorValues()[10].Value, clLime);
  EXPECT_NE(OfficeColorValues()[18].Value, clLime);
}

TEST(HotTrackOptions, DefaultsNotifyingSettersAndOneBracketedAssign) {
  TXcHotTrackOptions a(nullptr);
  EXPECT_FALSE(a.Enabled());
  EXPECT_EQ(a.Color(), TColorOf(0x00D2BDB6));
  EXPECT_EQ(a.Color(), static_cast<TColor>(RGB(0xB6, 0xBD, 0xD2)));
  EXPECT_FALSE(a.FrameVisible());
  EXPECT_EQ(a.FrameColor(), TColorOf(6956042));
  std::vector<std::string> log;
  a.OnBeforeChange = [&](TObject*) { log.push_back("before"); };
  a.OnAfterChange = [&](TObject*) { log.push_back("after"); };
  a.OnBeforePropertyChange = [&](TObject*, const std::string& n) { log.push_back("before " + n); };
  a.OnAfterPropertyChange = [&](TObject*, const std::string& n) { log.push_back("after " + n); };
  a.SetColor(a.Color());
  EXPECT_TRUE(log.empty());
  a.SetColor(clRed);
  EXPECT_EQ(log, (std::vector<std::string>{"before", "before Color", "after Color", "after"}));

  TXcHotTrackOptions b(nullptr);
  b.SetEnabled(true);
  b.SetColor(clBlue);
  b.SetFrameVisible(true);
  b.SetFrameColor(clGreen);
  log.clear();
  a.Assign(&b);
  EXPECT_EQ(log, (std::vector<std::string>{"before", "before Enabled", "after Enabled", "before Color", "after Color",
                                           "before FrameVisible", "after FrameVisible", "before FrameColor",
                                           "after FrameColor", "after"}));
  EXPECT_TRUE(a.Enabled());
  EXPECT_EQ(a.FrameColor(), clGreen);
  EXPECT_EQ(a.ChangeLockCount(), 0);
  // Anything else is the framework's conversion error.
  TXcPersistentProperty other(nullptr);
  EXPECT_THROW(a.Assign(&other), EConvertError);
}

}  // namespace
