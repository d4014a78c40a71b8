#include "platform/ui/actions.h"

#include <gtest/gtest.h>

#include "platform/ui/image_list.h"
#include "platform/ui/std_ctrls.h"
#include "tests/support/ui_fixture.h"

namespace {

using ActionTest = testsupport::FormTest;

TEST_F(ActionTest, AControlTakesTheActionAndFollowsEachOfItsChanges) {
  TAction action(nullptr);
  action.SetCaption("Open");
  action.SetHint("Opens a file");
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetAction(&action);
  EXPECT_EQ(button->Action(), &action);
  EXPECT_EQ(button->Caption(), "Open");
  EXPECT_EQ(button->Hint(), "Opens a file");
  EXPECT_EQ(action.ClientCount(), 1);

  action.SetCaption("Save");
  action.SetEnabled(false);
  action.SetVisible(false);
  EXPECT_EQ(button->Caption(), "Save");
  EXPECT_FALSE(button->Enabled());
  EXPECT_FALSE(button->Visible());

  // A caption the program gives the control stays until the action changes again.
  button->SetCaption("Mine");
  EXPECT_EQ(button->Caption(), "Mine");
  action.SetHint("Saves");
  EXPECT_EQ(button->Caption(), "Save");
}

TEST_F(ActionTest, AClickRunsTheActionUnlessTheControlHasAClickOfItsOwnOrTheActionIsDisabled) {
  TAction action(nullptr);
  int executed = 0, clicked = 0;
  action.OnExecute = [&](TObject* sender) {
    ++executed;
    EXPECT_EQ(sender, &action);
  };
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetAction(&action);
  button->Click();
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(action.ActionComponent(), nullptr);  // only while it runs

  action.SetEnabled(false);
  button->Click();
  EXPECT_EQ(executed, 1);

  action.SetEnabled(true);
  button->OnClick = [&](TObject*) { ++clicked; };
  button->Click();
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(clicked, 1);
}

TEST_F(ActionTest, FreeingEitherSideUndoesTheLink) {
  auto* action = new TAction(nullptr);
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetAction(action);
  delete action;
  EXPECT_EQ(button->Action(), nullptr);
  button->Click();  // nothing left to run

  TAction kept(nullptr);
  auto* other = new TButton(form);
  other->SetAction(&kept);
  EXPECT_EQ(kept.ClientCount(), 1);
  delete other;
  EXPECT_EQ(kept.ClientCount(), 0);
  kept.SetCaption("after");  // no link left to tell
}

TEST(ActionList, CheckingAnActionOfAGroupUnchecksTheOthersAndImagesReachEveryLink) {
  TActionList list(nullptr);
  TAction a(nullptr), b(nullptr), c(nullptr);
  for (TAction* x : {&a, &b, &c}) x->SetActionList(&list);
  a.SetGroupIndex(1);
  b.SetGroupIndex(1);
  a.SetChecked(true);
  b.SetChecked(true);
  c.SetChecked(true);  // another group (0): untouched by the others
  EXPECT_FALSE(a.Checked());
  EXPECT_TRUE(b.Checked());
  EXPECT_TRUE(c.Checked());
  EXPECT_EQ(list.ActionCount(), 3);

  TBasicActionLink link(nullptr);
  link.SetAction(&a);
  int changes = 0;
  link.OnChange = [&](TObject* sender) {
    ++changes;
    EXPECT_EQ(sender, &a);
  };
  TImageList images(nullptr, 16, 16);
  list.SetImages(&images);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list.Images(), &images);

  // An action freed leaves its list; a list freed leaves its actions.
  {
    TAction gone(nullptr);
    gone.SetActionList(&list);
    EXPECT_EQ(list.ActionCount(), 4);
  }
  EXPECT_EQ(list.ActionCount(), 3);
}

}  // namespace
