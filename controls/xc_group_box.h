#pragma once
// The group box: a framed, captioned container that may put a check box in place of its caption,
// so that its children are enabled only while it is checked, and may pass its own enabled state on
// to its children.
#include <memory>
#include <string>

#include "controls/xc_check_box.h"
#include "controls/xc_ex_controls.h"

class TXcGroupBox : public TXcExGroupBox, public ISubclassRefusalMarker {
 public:
  explicit TXcGroupBox(TComponent* owner);
  ~TXcGroupBox() override;

  // While Checkable the caption is the check box's.
  std::string Caption();
  void SetCaption(const std::string& value);
  bool Checkable() const { return checkBox_ != nullptr; }
  // On: a check box at (8, 0) takes the caption, PropagateEnable is set and the box is checked.
  // Off: the caption comes back and the children follow the box's enabled state again.
  void SetCheckable(bool value);
  bool Checked() const { return checkBox_ && checkBox_->Checked(); }
  void SetChecked(bool value);
  bool PropagateEnable() const { return propagateEnable_; }
  // Stores the value and gives the children their enabled state by the box's rule.
  void SetPropagateEnable(bool value);
  // The caption's check box while Checkable, else null.
  TXcCheckBox* CheckBox() const { return checkBox_; }

  // After the caption's check box was clicked.
  TNotifyEvent OnCheckBoxClick;
  // The caption's accelerator was pressed.
  TNotifyEvent OnHotKey;

 protected:
  void Paint() override;
  void HandleEnabledChange() override;
  bool HandleDialogChar(uint16_t key, TShiftState shift, const std::string& keyText) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void CheckBoxClicked();
  // Every child but the caption's check box gets the state.
  void EnableChildren(bool enabled);
  // The children's state by the rule: the box's state, and checked while checkable.
  void ApplyEnabledRule();
  TXcCheckBox* checkBox_ = nullptr;  // owned as a component
  bool propagateEnable_ = false;
};
