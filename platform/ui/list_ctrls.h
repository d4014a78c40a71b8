#pragma once
// List boxes and combo boxes. Their items live in the window, reached by the list messages
// (LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_GETTEXT ... and the CB_ ones),
// which the control's Items send through Perform: a subclass sees every change of the items in its
// window procedure (to measure them, say) and may replace the handling. DeleteString, ResetContent and
// the item-data accessors are the framework's overridable steps between the items and the messages.
// The items stay in the control while it has no window.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/string_list.h"
#include "platform/ui/window_dc.h"

// The strings of a list box or combo box: each operation is the control's message.
class TListControlStrings : public TStrings {
 public:
  // Message numbers of the control kind (list box or combo box).
  struct Messages {
    UINT add, insert, remove, reset, count, text, textLen, getData, setData, findExact, findPrefix;
  };
  TListControlStrings(TWinControl* control, const Messages& messages) : control_(control), msg_(messages) {}
  int Count() const override;
  std::string Get(int index) const override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  int Add(const std::string& s) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  int IndexOf(const std::string& s) const override;

 protected:
  void SetUpdateState(bool updating) override;

 private:
  TWinControl* control_;
  Messages msg_;
};

enum TListBoxStyle : uint8_t { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable, lbVirtual, lbVirtualOwnerDraw };

class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;

  TStrings* Items() { return items_.get(); }
  void SetItems(TStrings* value) { items_->Assign(value); }
  int Count() { return items_->Count(); }
  // The selected item (single selection) or the focused one (multi-selection); -1 for none.
  int ItemIndex();
  void SetItemIndex(int value);
  bool Selected(int index);
  void SetSelected(int index, bool value);
  int SelCount();
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  int TopIndex();
  void SetTopIndex(int value);
  int ItemHeight();
  void SetItemHeight(int value);
  // Tab stops of item texts, in quarters of the average character width (LB_SETTABSTOPS).
  int TabWidth() const { return tabWidth_; }
  void SetTabWidth(int value);
  // The width in pixels the items can be scrolled across (LB_SETHORIZONTALEXTENT).
  int ScrollWidth();
  void SetScrollWidth(int value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle value) { style_ = value; }

  void AddItem(const std::string& item, TObject* object) { items_->AddObject(item, object); }
  void Clear() { items_->Clear(); }
  void ClearSelection();
  void SelectAll();
  void DeleteSelected();
  // The item under a client point; with existing false a point below the last item answers Count.
  int ItemAtPos(TPoint pos, bool existing);
  TRect ItemRect(int index);
  // A canvas on the list's window (to measure items in its font, say); made on first use.
  TCanvas* Canvas();

 protected:
  void CreateParams(TCreateParams& params) override;
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void WMGetDlgCode(TMessage& message) override;
  // The steps between the items and the window.
  virtual void DeleteString(int index);
  virtual void ResetContent();
  virtual intptr_t GetItemData(int index);
  virtual void SetItemData(int index, intptr_t data);

 private:
  friend class TListControlStrings;
  void Refill();
  void SyncSelection();
  struct Item {
    std::string text;
    intptr_t data = 0;
    bool selected = false;
  };
  std::unique_ptr<TListControlStrings> items_;
  std::unique_ptr<TControlCanvas> canvas_;
  std::vector<Item> store_;
  int current_ = -1;
  int topIndex_ = 0;
  int horizontalExtent_ = 0;
  int itemHeight_ = 0;
  int tabWidth_ = 0;
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  bool sorted_ = false;
  TBorderStyle borderStyle_ = bsSingle;
  TListBoxStyle style_ = lbStandard;
  int syncing_ = 0;
};

class TListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;
};

enum TComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// A combo box: an edit with a drop-down list (csDropDown), or the list alone (csDropDownList), whose
// text is then the selected item's. A choice in the list sets the text and fires OnClick, then OnSelect
// (or OnChange when OnSelect is not assigned); typing fires OnChange.
class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;

  TStrings* Items() { return items_.get(); }
  void SetItems(TStrings* value) { items_->Assign(value); }
  int ItemIndex();
  void SetItemIndex(int value);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle value);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int value);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  bool DroppedDown();
  void SetDroppedDown(bool value);
  void AddItem(const std::string& item, TObject* object) { items_->AddObject(item, object); }
  void Clear();
  void SelectAll();

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

 protected:
  void CreateParams(TCreateParams& params) override;
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void SaveWindowState() override;
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void WMGetDlgCode(TMessage& message) override;
  virtual void Change();
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  virtual void DeleteString(int index);
  virtual void ResetContent();

 private:
  friend class TListControlStrings;
  void Refill();
  struct Item {
    std::string text;
    intptr_t data = 0;
  };
  std::unique_ptr<TListControlStrings> items_;
  std::unique_ptr<TControlCanvas> canvas_;
  std::vector<Item> store_;
  int current_ = -1;
  TComboBoxStyle style_ = csDropDown;
  int dropDownCount_ = 8;
  bool sorted_ = false;
  int maxLength_ = 0;
  int syncing_ = 0;
};

class TComboBox : public TCustomComboBox {
 public:
  using TCustomComboBox::TCustomComboBox;
};
