#pragma once
// The combo edit: a single-line edit with a button inside its right edge. The button (or the click
// key, Alt+Down) runs the edit's button action, which the file and folder edits make their dialogs.
// Also: standard button pictures, a flat look, colours of its own while disabled, completion of typed
// text, control of the clipboard commands, read-only and no-typing modes, edits that clear each
// other (GroupIndex) and a data connector.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/xc_combo_edit_layout.h"
#include "controls/xc_data_connectors.h"
#include "controls/xc_ex_controls.h"
#include "controls/xc_speed_button.h"
#include "platform/ui/menus.h"
#include "platform/ui/string_list.h"

class TXcCustomComboEdit;

enum TXcAutoCompleteOption : uint8_t {
  acoAutoSuggest, acoAutoAppend, acoSearch, acoFilterPrefixes, acoUseTab, acoUpDownKeyDropsList, acoRTLReading
};
using TXcAutoCompleteOptions = TEnumSet<TXcAutoCompleteOption>;

// Which picture the button shows: the edit's own (Glyph, or Images and ImageIndex), the class's
// default, the combo box's arrow, or an ellipsis.
enum TXcImageKind : uint8_t { ikCustom, ikDefault, ikDropDown, ikEllipsis };

// The edit's private message that puts the caret at a client point (after a press entered it).
constexpr UINT CM_XC_CARETATPOINT = 0xB207;
// A popup's request to close (posted when the focus left for a window outside it).
constexpr UINT CM_XC_CLOSEPOPUP = 0xB206;

// The button: a speed button that shows a bitmap glyph or an image-list entry, never a caption.
class TXcEditButton : public TXcImageSpeedButton {
 public:
  TXcEditButton(TComponent* owner, TXcCustomComboEdit* edit);
  void WndProc(TMessage& message) override;

  TBitmap* Glyph() { return painter_->Bitmap(); }
  void SetGlyph(TBitmap* value);
  int NumGlyphs() const { return painter_->NumGlyphs(); }
  void SetNumGlyphs(int value);
  // A press that closes the edit's popup accepts its value.
  bool StandardPress() const { return standardPress_; }
  void SetStandardPress(bool value) { standardPress_ = value; }
  // The click after such a press is not a click.
  bool SuppressClick() const { return suppressClick_; }
  // The themed combo drop-down part fills the button (with visual styles on).
  bool ThemedArrow() const { return themedArrow_; }
  void SetThemedArrow(bool value);
  void Click() override;

 protected:
  void PaintButton(TCanvas* canvas) override;
  void DrawContent(TCanvas* canvas, const TRect& rect, const TPoint& offset, TXcButtonPaintState state,
                   bool hot) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  TXcCustomComboEdit* edit_;
  bool standardPress_ = true;
  bool suppressClick_ = false;
  bool themedArrow_ = false;
};

// The combo edit's connector: the field's value is the text; a field that cannot be modified makes
// the edit read-only; without a field the text is empty and the edit read-only.
class TXcCustomComboEditDataConnector : public TXcFieldDataConnector {
 public:
  explicit TXcCustomComboEditDataConnector(TXcCustomComboEdit* edit) : edit_(edit) {}

 protected:
  void RecordRefresh() override;
  void WriteBack() override;

 private:
  TXcCustomComboEdit* edit_;
};

class TXcCustomComboEdit : public TXcExCustomMaskEdit {
 public:
  explicit TXcCustomComboEdit(TComponent* owner);
  ~TXcCustomComboEdit() override;
  void WndProc(TMessage& message) override;

  // ---- the button
  int32_t ButtonWidth() const;
  // While loading it is remembered; with the button hidden it is what ShowButton brings back;
  // below 2 hides the button; not below the edit's (client) width; the holder keeps its right edge.
  void SetButtonWidth(int32_t value);
  bool ShowButton() const;
  void SetShowButton(bool value);
  bool ButtonFlat() const { return button_->Flat(); }
  void SetButtonFlat(bool value);
  const std::string& ButtonHint() const { return button_->Hint(); }
  void SetButtonHint(const std::string& value) { button_->SetHint(value); }
  TBitmap* Glyph() { return button_->Glyph(); }
  // Also makes ImageKind ikCustom.
  void SetGlyph(TBitmap* value);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value);
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  TXcImageKind ImageKind() const { return imageKind_; }
  void SetImageKind(TXcImageKind value);
  TShortCut ClickKey() const { return clickKey_; }
  void SetClickKey(TShortCut value) { clickKey_ = value; }
  TXcEditButton* Button() const { return button_; }
  TWinControl* ButtonHolder() const { return holder_; }

  // ---- editing
  // Typing allowed (off: the edit window is read-only, the button still works).
  bool DirectInput() const { return directInput_; }
  void SetDirectInput(bool value);
  // No editing, and the button does nothing; ClipboardCommands shrink to copying.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  void SetClipboardCommands(TXcClipboardCommands value) override;
  // Edits of one owner with the same index (not -1) clear each other.
  int32_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int32_t value);
  TColor DisabledColor() const { return disabledColor_; }
  void SetDisabledColor(TColor value);
  TColor DisabledTextColor() const { return disabledTextColor_; }
  void SetDisabledTextColor(TColor value);
  // Flat is the border without the three-dimensional look (Ctl3D off).
  bool Flat() const { return !Ctl3D(); }
  void SetFlat(bool value) { SetCtl3D(!value); }
  bool ParentFlat() const { return ParentCtl3D(); }
  void SetParentFlat(bool value) { SetParentCtl3D(value); }

  // ---- completion
  TXcAutoCompleteOptions AutoCompleteOptions() const { return autoCompleteOptions_; }
  void SetAutoCompleteOptions(TXcAutoCompleteOptions value);
  // The words the base edit completes from.
  TStrings* AutoCompleteWords() { return autoCompleteWords_.get(); }

  TXcCustomComboEditDataConnector* DataConnector() { return dataConnector_.get(); }
  // There is no popup in this library's edits; a descendant may make one.
  virtual bool PopupVisible() const { return false; }
  // The button's click: nothing when ReadOnly; else OnButtonClick, then the button's action.
  void ButtonClick();
  // The formatting rectangle and the holder's bounds, for the look now.
  TXcComboEditLook Look();

  void Loaded() override;

  TNotifyEvent OnButtonClick;

 protected:
  // What the button does: the file and folder edits run their dialogs; the base opens its popup.
  virtual void RunButtonAction() {}
  // The index of the class's default picture in DefaultEditImages (-1: none).
  virtual int DefaultImageIndex() { return -1; }
  // Sets the text's completion up for the options.
  virtual void UpdateAutoComplete();
  // Clears the other edits of the group.
  void GroupUpdate();
  void CreateParams(TCreateParams& params) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void Change() override;
  void CMEnter(TMessage& message) override;
  void Resize() override;
  // The holder's place by the look (it is custom-aligned).
  void CustomAlignPosition(TControl* control, int& newLeft, int& newTop, int& newWidth, int& newHeight,
                           TRect& alignRect) override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;
  void Notification(TComponent* component, TOperation operation) override;
  void HandleEnabledChange() override;
  void HandleFontChange() override;
  void HandleFocusGained(HWND lostFocus) override;
  void HandleFocusLost(HWND receivesFocus) override;
  void HandleDialogCodes(TDialogCodeSet& codes) override;
  bool HandleEraseBackground(TCanvas* canvas, LPARAM param) override;
  // Sets the button's picture for ImageKind.
  void UpdateButtonPicture();
  // Places the holder and sets the formatting rectangle (after size, border and font changes).
  void UpdateEditRect();

 private:
  friend class TXcEditButton;
  friend class TXcComboEditActionLink;
  void ApplyReadOnly();
  void SetHolderWidth(int32_t width);
  int32_t FontTextHeight();

  TWinControl* holder_ = nullptr;   // owned as a component
  TXcEditButton* button_ = nullptr; // owned as a component
  std::unique_ptr<TXcCustomComboEditDataConnector> dataConnector_;
  std::unique_ptr<TStringList> autoCompleteWords_;
  TXcAutoCompleteOptions autoCompleteOptions_;
  int32_t hiddenButtonWidth_ = 0;
  int32_t loadedButtonWidth_ = -1;
  bool loadedFixedWidth_ = false;
  bool constructing_ = true;
  bool swallowTextChanged_ = false;
  TShortCut clickKey_ = 0x8000 | VK_DOWN;
  bool directInput_ = true;
  bool readOnly_ = false;
  int32_t groupIndex_ = -1;
  TColor disabledColor_ = clWindow;
  TColor disabledTextColor_ = clGrayText;
  TXcImageKind imageKind_ = ikCustom;
  TCustomImageList* images_ = nullptr;
  int imageIndex_ = -1;
  int numGlyphs_ = 1;
};

// The combo edit's action link: the action's hint is the button's, its image index the edit's, its
// shortcut the click key, and running it the button's click (never the caption).
class TXcComboEditActionLink : public TControlActionLink {
 public:
  explicit TXcComboEditActionLink(TXcCustomComboEdit* edit) : TControlActionLink(edit), edit_(edit) {}
  bool IsCaptionLinked() override { return false; }
  bool IsHintLinked() override;
  bool IsImageIndexLinked() override;
  bool IsShortCutLinked() override;
  void SetHint(const std::string& value) override;
  void SetImageIndex(int value) override;
  void SetShortCut(TShortCut value) override;

 private:
  TXcCustomComboEdit* edit_;
};
