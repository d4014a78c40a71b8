#pragma once
// The check box: sized to its caption, with the caption wrapped and placed left, right or centred
// and top, middle or bottom, optionally left of the mark; a hot-track font while the mouse is over
// it; read-only; linked controls it enables and disables; and a data connector.
#include <cstdint>
#include <memory>
#include <string>

#include "controls/xc_data_connectors.h"
#include "controls/xc_ex_controls.h"
#include "controls/xc_linked_controls.h"
#include "controls/xc_xcl_utils.h"

class TXcCheckBox;

// The check box's connector: the field's text equal to ValueUnchecked (any case) unchecks, any
// other checks, a null or missing field grays; ValueChecked or ValueUnchecked is written back.
class TXcCheckBoxDataConnector : public TXcFieldDataConnector {
 public:
  explicit TXcCheckBoxDataConnector(TXcCheckBox* box);
  const std::string& ValueChecked() const { return valueChecked_; }
  void SetValueChecked(const std::string& value);
  const std::string& ValueUnchecked() const { return valueUnchecked_; }
  void SetValueUnchecked(const std::string& value);
  // From another check-box connector also its two values.
  void Assign(TPersistent* source) override;

 protected:
  void RecordRefresh() override;
  void WriteBack() override;

 private:
  TXcCheckBox* box_;
  std::string valueChecked_ = "1";
  std::string valueUnchecked_ = "0";
};

class TXcCheckBox : public TXcExCheckBox {
 public:
  explicit TXcCheckBox(TComponent* owner);
  ~TXcCheckBox() override;

  // The caption's place across (BS_LEFT, BS_RIGHT, BS_CENTER) and down (BS_TOP, BS_VCENTER,
  // BS_BOTTOM), the text left of the mark (BS_LEFTTEXT) and wrapped (BS_MULTILINE); each change
  // makes the window again.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool LeftText() const { return leftText_; }
  void SetLeftText(bool value);
  // WordWrap and AutoSize switch each other off.
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  void SetAutoSize(bool value) override;
  // Sizes the box to its caption now (with a parent, AutoSize on, not loading).
  void AdjustBounds();

  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool value) { hotTrack_ = value; }
  TFont* HotTrackFont() { return hotTrackFont_.get(); }
  void SetHotTrackFont(TFont* value);
  TXcTrackFontOptions HotTrackFontOptions() const { return hotTrackFontOptions_; }
  void SetHotTrackFontOptions(TXcTrackFontOptions value);
  // Clicks and keys do not toggle.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  TXcLinkedControls* LinkedControls() { return linkedControls_.get(); }
  void SetLinkedControls(TXcLinkedControls* value) { linkedControls_->Assign(value); }
  TXcCheckBoxDataConnector* DataConnector() { return dataConnector_.get(); }
  void SetDataConnector(TXcCheckBoxDataConnector* value) { dataConnector_->Assign(value); }

  void SetState(TCheckBoxState value) override;
  void Loaded() override;
  // A box placed on a parent sizes itself there (forms are built in code).
  void SetParent(TWinControl* parent) override;
  // Gives every linked control its enabled state from the box's (not while it runs already).
  void UpdateLinkedControls();

 protected:
  void CreateParams(TCreateParams& params) override;
  void Toggle() override;
  void KeyPress(char& key) override;
  void Notification(TComponent* component, TOperation operation) override;
  void HandleTextChange() override;
  void HandleFontChange() override;
  void HandleEnabledChange() override;
  void HandleFocusGained(HWND lostFocus) override;
  void HandleFocusLost(HWND receivesFocus) override;
  void HandleMouseEntry(TControl* control) override;
  void HandleMouseExit(TControl* control) override;

 private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlCenter;
  bool leftText_ = false;
  bool wordWrap_ = false;
  bool hotTrack_ = false;
  std::unique_ptr<TFont> hotTrackFont_;
  std::unique_ptr<TFont> savedFont_;
  TXcTrackFontOptions hotTrackFontOptions_ = kDefaultTrackFontOptions;
  bool readOnly_ = false;
  std::unique_ptr<TXcLinkedControls> linkedControls_;
  std::unique_ptr<TXcCheckBoxDataConnector> dataConnector_;
  bool updatingLinks_ = false;
};
