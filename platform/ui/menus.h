#pragma once
// Menus: TMenuItem trees under a form's TMainMenu (its menu bar) or a TPopupMenu, shown on the
// toolkit's menus. Items are clicked by the user, by their shortcuts (the form asks its menus for
// every key first) or by the program (Click). "-" as a caption makes a separator; "&x" marks the
// accelerator. A pop-up menu waits for the user's choice; through the dialog responder (Kind
// "PopupMenu", Items the enabled captions with submenu items as "Parent/Child", answer Text the
// choice or empty) tests and scripted runs choose instead.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"

class TMenu;
class TImageList;

// A key with its shift keys: the virtual key in the low byte, scShift, scCtrl and scAlt above it.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;
TShortCut ShortCut(uint16_t key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift);
// "Ctrl+S", "Shift+Del", "Alt+Down", "F5" ... and back (0 for a text that is no shortcut).
std::string ShortCutToText(TShortCut shortCut);
TShortCut TextToShortCut(const std::string& text);

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  bool Checked() const { return checked_; }
  // Checking a radio item unchecks the radio items of its group (GroupIndex) beside it.
  void SetChecked(bool value);
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool value);
  uint8_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(uint8_t value);
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool value) { autoCheck_ = value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool Default() const { return default_; }
  void SetDefault(bool value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  // A separator line ("-").
  bool IsLine() const { return caption_ == "-"; }

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Takes the item out (it is not freed).
  void Remove(TMenuItem* item);
  // Frees the item at index.
  void Delete(int index);
  void Clear();
  int IndexOf(TMenuItem* item) const;
  TMenuItem* Parent() const { return parent_; }
  int MenuIndex() const { return parent_ ? parent_->IndexOf(const_cast<TMenuItem*>(this)) : -1; }
  void SetMenuIndex(int value);
  TMenuItem* Find(const std::string& caption);
  // The menu the item belongs to, or null.
  TMenu* GetParentMenu() const;

  // Runs the item's action: checks or unchecks it with AutoCheck, then OnClick (a disabled item does
  // nothing).
  virtual void Click();
  TNotifyEvent OnClick;

 private:
  friend class TMenu;
  void Changed();
  std::string caption_, hint_;
  bool checked_ = false, radioItem_ = false, autoCheck_ = false, enabled_ = true, visible_ = true, default_ = false;
  uint8_t groupIndex_ = 0;
  TShortCut shortCut_ = 0;
  int imageIndex_ = -1;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // for the root item
};

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  // The root item; its children are the menu's items.
  TMenuItem* Items() { return items_.get(); }
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* value) { images_ = value; }
  // The enabled, visible item with this shortcut (submenus included) is clicked: true. The key is
  // then the menu's.
  bool IsShortCut(uint16_t key, TShiftState shift);
  TMenuItem* FindItemByShortCut(TShortCut shortCut);

  // Internal: the item tree changed; the toolkit's menu follows.
  virtual void MenuChanged();
  // The toolkit's menu (a QMenu or QMenuBar) made from the items, for the platform layer's own use.
  void* NativeMenu();

 protected:
  struct Impl;
  std::unique_ptr<Impl> impl_;

 private:
  std::unique_ptr<TMenuItem> items_;
  TImageList* images_ = nullptr;
};

// The menu bar of a form (TCustomForm::SetMenu).
class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* owner);
  ~TMainMenu() override;
  void MenuChanged() override;
  // The form that shows the menu, or null.
  TCustomForm* Form() const { return form_; }
  // Opens the menu of the top item whose caption has this accelerator (Alt+letter); false when none.
  bool OpenByAccelerator(uint16_t key);

 private:
  friend class TCustomForm;
  // The menu bar inside the form's window (a QWidget*), made when the form shows the menu.
  void* MakeBar(void* formWidget);
  void DropBar();
  TCustomForm* form_ = nullptr;
};

enum TPopupAlignment : uint8_t { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* owner);
  // Shows the menu at a screen point and waits for the user's choice (which runs its item's Click).
  virtual void Popup(int x, int y);
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool value) { autoPopup_ = value; }
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* value) { popupComponent_ = value; }
  TPoint PopupPoint() const { return popupPoint_; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment value) { alignment_ = value; }
  TNotifyEvent OnPopup;

 protected:
  virtual void DoPopup(TObject* sender);

 private:
  bool autoPopup_ = true;
  TComponent* popupComponent_ = nullptr;
  TPoint popupPoint_;
  TPopupAlignment alignment_ = paLeft;
};
