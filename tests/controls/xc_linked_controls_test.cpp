#include "controls/xc_linked_controls.h"

#include <gtest/gtest.h>

#include "controls/xc_check_box.h"
#include "tests/support/ui_fixture.h"

namespace {

TEST(LinkedControls, TheEnabledRuleTruthTable) {
  using O = TXcLinkedControlsOptions;
  struct Row {
    O options;
    // Results for (E, C) = (0, 0), (0, 1), (1, 0), (1, 1).
    bool out[4];
  } rows[] = {
      {kDefaultLinkedOptions, {false, false, false, true}},
      {O{loLinkChecked}, {false, true, false, true}},
      {O{loLinkEnabled}, {false, false, true, true}},
      {O{loLinkChecked, loInvertChecked}, {true, false, true, false}},
      {O{loLinkEnabled, loInvertEnabled}, {true, true, false, false}},
      {O{loLinkChecked, loLinkEnabled, loInvertChecked, loInvertEnabled}, {true, false, false, false}},
      {O{}, {false, false, false, false}},
      {O{loInvertChecked, loInvertEnabled, loForceFocus}, {false, false, false, false}},
  };
  for (const Row& r : rows)
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(LinkedControlEnabled(i >= 2, i % 2 == 1, r.options), r.out[i]) << r.options.Bits() << " " << i;
}

using LinkedControlsTest = testsupport::FormTest;

TEST_F(LinkedControlsTest, EntriesFollowTheBoxRestoreOnRemovalAndRefuseTheOwner) {
  auto* box = new TXcCheckBox(form);
  box->SetParent(form);
  auto* a = new TButton(form);
  a->SetName("Alpha");
  a->SetParent(form);
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetEnabled(false);
  TXcLinkedControl* la = box->LinkedControls()->Add();
  la->SetControl(a);
  EXPECT_FALSE(a->Enabled());  // default options: enabled and checked
  EXPECT_EQ(la->DisplayName(), "Alpha");
  EXPECT_EQ(la->OwnerControl(), box);
  box->SetChecked(true);
  EXPECT_TRUE(a->Enabled());
  box->SetEnabled(false);
  EXPECT_FALSE(a->Enabled());
  box->SetEnabled(true);

  TXcLinkedControl* lb = box->LinkedControls()->Add();
  lb->SetControl(b);
  lb->SetOptions({loLinkChecked, loInvertChecked});
  EXPECT_FALSE(b->Enabled());
  box->SetChecked(false);
  EXPECT_TRUE(b->Enabled());
  box->SetEnabled(false);
  EXPECT_TRUE(b->Enabled());  // only the inverted check mark counts
  box->SetEnabled(true);

  // The owner itself cannot be linked; the entry keeps what it had.
  try {
    la->SetControl(box);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot link to owner control");
  }
  EXPECT_EQ(la->Control(), a);

  // Removing an entry gives its control the state it had when linked: a was enabled, b was not.
  box->SetChecked(false);
  EXPECT_FALSE(a->Enabled());
  delete la;
  EXPECT_TRUE(a->Enabled());
  box->SetChecked(true);
  EXPECT_TRUE(a->Enabled());  // no longer linked
  lb->SetControl(nullptr);
  EXPECT_FALSE(b->Enabled());
  // Without RestoreEnabled nothing is given back.
  lb->SetControl(b);
  box->LinkedControls()->SetRestoreEnabled(false);
  box->SetChecked(false);
  EXPECT_TRUE(b->Enabled());
  lb->SetControl(nullptr);
  EXPECT_TRUE(b->Enabled());
}

TEST_F(LinkedControlsTest, AFreedControlLeavesItsEntryAndAssignCopies) {
  auto* box = new TXcCheckBox(form);
  box->SetParent(form);
  auto* a = new TButton(form);
  a->SetParent(form);
  TXcLinkedControl* la = box->LinkedControls()->Add();
  la->SetControl(a);
  la->SetOptions({loLinkEnabled, loForceFocus});
  auto* other = new TXcCheckBox(form);
  other->SetParent(form);
  other->LinkedControls()->SetRestoreEnabled(false);
  box->LinkedControls()->SetRestoreEnabled(false);
  other->SetLinkedControls(box->LinkedControls());
  ASSERT_EQ(other->LinkedControls()->Count(), 1);
  EXPECT_EQ(other->LinkedControls()->Items(0)->Control(), a);
  EXPECT_EQ(other->LinkedControls()->Items(0)->Options(), (TXcLinkedControlsOptions{loLinkEnabled, loForceFocus}));
  EXPECT_FALSE(other->LinkedControls()->RestoreEnabled());
  delete a;
  EXPECT_EQ(la->Control(), nullptr);
  EXPECT_EQ(other->LinkedControls()->Items(0)->Control(), nullptr);
  // Boxes and entries go without touching freed controls.
  delete other;
}

// A form frees its controls in its own order: linked ones made before and after the box may go
// first, while the box is already marked as going (the sanitizer build sees any freed access).
TEST(LinkedControlsFreed, AFormFreesABoxAndItsLinkedControlsInEitherOrder) {
  auto* f = new TForm(nullptr);
  auto* before = new TButton(f);
  before->SetParent(f);
  auto* box = new TXcCheckBox(f);
  box->SetParent(f);
  auto* after = new TButton(f);
  after->SetParent(f);
  box->LinkedControls()->Add()->SetControl(before);
  box->LinkedControls()->Add()->SetControl(after);
  EXPECT_FALSE(after->Enabled());
  delete f;
}

}  // namespace
