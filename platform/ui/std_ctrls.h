#pragma once
// Standard controls on the toolkit's native widgets.
#include "platform/ui/controls.h"

// A push button: Click fires OnClick and, with a ModalResult, closes a modal form with it. Default
// takes Enter and Cancel takes Escape on its form (through CM_DIALOGKEY); "&x" in the caption makes
// Alt+x (or x when the focused control does not want characters) click it.
class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  int32_t ModalResult() const { return modalResult_; }
  void SetModalResult(int32_t value) { modalResult_ = value; }
  void Click() override;

 protected:
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Dispatch(TMessage& message) override;
  void CMDialogKey(TMessage& message) override;
  void CMDialogChar(TMessage& message) override;
  void WMGetDlgCode(TMessage& message) override;
  void CMTextChanged(TMessage& message) override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  int32_t modalResult_ = 0;
};
