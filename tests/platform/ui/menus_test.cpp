#include "platform/ui/menus.h"

#include <gtest/gtest.h>

#include "platform/ui/edit_ctrls.h"
#include "platform/ui/ext_ctrls.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using MenuTest = testsupport::FormTest;

TMenuItem* NewItem(TComponent* owner, TMenuItem* parent, const std::string& caption, std::vector<std::string>* log) {
  auto* item = new TMenuItem(owner);
  item->SetCaption(caption);
  if (log) item->OnClick = [log, caption](TObject*) { log->push_back(caption); };
  parent->Add(item);
  return item;
}

TEST(ShortCuts, TextAndKeys) {
  EXPECT_EQ(ShortCut('S', ssCtrl), scCtrl | 'S');
  EXPECT_EQ(ShortCutToText(ShortCut('S', ssCtrl)), "Ctrl+S");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DOWN, ssAlt)), "Alt+Down");
  EXPECT_EQ(ShortCut(VK_DOWN, ssAlt), 32808);  // the combo edit's click key
  EXPECT_EQ(TextToShortCut("Shift+Del"), scShift | VK_DELETE);
  EXPECT_EQ(TextToShortCut("ctrl+f5"), scCtrl | VK_F5);
  EXPECT_EQ(TextToShortCut("Nonsense"), 0);
}

TEST_F(MenuTest, MainMenuTakesTheTopOfTheFormAndItsShortcutsComeFirst) {
  std::vector<std::string> log;
  int clientHeight = form->ClientHeight();
  auto* menu = new TMainMenu(form);
  TMenuItem* file = NewItem(form, menu->Items(), "&File", nullptr);
  TMenuItem* save = NewItem(form, file, "Save frames", &log);
  save->SetShortCut(ShortCut('S', ssCtrl));
  NewItem(form, file, "-", nullptr);
  NewItem(form, file, "E&xit", &log);
  form->SetMenu(menu);
  EXPECT_LT(form->ClientHeight(), clientHeight);
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  EXPECT_EQ(edit->Top(), 0);  // client coordinates start below the menu bar
  edit->SetFocus();
  testsupport::KeyChord(edit, 'S', true);
  EXPECT_EQ(log, (std::vector<std::string>{"Save frames"}));
  EXPECT_EQ(edit->Text(), "");
  save->SetEnabled(false);
  testsupport::KeyChord(edit, 'S', true);
  EXPECT_EQ(log.size(), 1u);
  EXPECT_TRUE(menu->OpenByAccelerator('F'));
  EXPECT_FALSE(menu->OpenByAccelerator('Q'));

  // A menu that goes away leaves the form its room back.
  delete menu;
  EXPECT_EQ(form->Menu(), nullptr);
  EXPECT_EQ(form->ClientHeight(), clientHeight);
}

TEST_F(MenuTest, PopupMenusOpenOnTheRightClickOfTheirControlOrItsParent) {
  std::vector<std::string> log;
  auto* popup = new TPopupMenu(form);
  NewItem(form, popup->Items(), "Rename", &log);
  NewItem(form, popup->Items(), "-", nullptr);
  TMenuItem* up = NewItem(form, popup->Items(), "Image Up", &log);
  NewItem(form, popup->Items(), "Image Down", &log)->SetEnabled(false);
  TMenuItem* more = NewItem(form, popup->Items(), "More", nullptr);
  NewItem(form, more, "Print", &log);

  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetPopupMenu(popup);
  auto* shape = new TShape(form);  // windowless, without a menu of its own
  shape->SetParent(panel);
  shape->SetBounds(5, 5, 10, 10);

  std::vector<std::string> offered;
  testsupport::ScopedResponder choose([&](const TDialogRequest& r, TDialogAnswer& a) {
    EXPECT_EQ(r.Kind, "PopupMenu");
    offered = r.Items;
    a.Text = "Image Up";
    return true;
  });
  int popups = 0;
  popup->OnPopup = [&](TObject*) { ++popups; };
  testsupport::MouseClick(panel, 8, 8, testsupport::Mouse::Right);
  EXPECT_TRUE(log.empty());  // the choice runs after the menu has closed
  Application->ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"Image Up"}));
  EXPECT_EQ(offered, (std::vector<std::string>{"Rename", "Image Up", "More/Print"}));
  EXPECT_EQ(popup->PopupComponent(), panel);
  EXPECT_EQ(popups, 1);

  // Auto-checked radio items of one group.
  up->SetRadioItem(true);
  up->SetAutoCheck(true);
  TMenuItem* rename = popup->Items()->Items(0);
  rename->SetRadioItem(true);
  rename->SetChecked(true);
  up->Click();
  EXPECT_TRUE(up->Checked());
  EXPECT_FALSE(rename->Checked());
}

TEST(MenuItems, TreesFreeTheirItemsAndFindByCaption) {
  TComponent owner(nullptr);
  TPopupMenu menu(&owner);
  TMenuItem* a = NewItem(&owner, menu.Items(), "&Alpha", nullptr);
  NewItem(&owner, a, "One", nullptr);
  NewItem(&owner, a, "Two", nullptr);
  EXPECT_EQ(owner.ComponentCount(), 4);  // the menu and its three items
  EXPECT_EQ(menu.Items()->Find("alpha"), a);
  EXPECT_EQ(a->Items(1)->MenuIndex(), 1);
  a->Items(1)->SetMenuIndex(0);
  EXPECT_EQ(a->Items(0)->Caption(), "Two");
  menu.Items()->Delete(0);
  EXPECT_EQ(owner.ComponentCount(), 1);  // the items went with their parent
  EXPECT_EQ(menu.Items()->Count(), 0);
  TMenuItem* lone = new TMenuItem(&owner);
  menu.Items()->Add(lone);
  EXPECT_THROW(menu.Items()->Add(lone), EInvalidOperation);
}

}  // namespace
