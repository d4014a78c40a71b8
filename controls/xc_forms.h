#pragma once
// The form of the library's pop-up windows: it can refuse to be activated by a click, always gets a
// sensible owner window when shown, can be shown without taking the activation (ShowNoActivate, the
// framework form's own), and its modal display is not disturbed by pending enable messages.
#include "controls/xc_ex_forms.h"

class TXcForm : public TXcExForm {
 public:
  explicit TXcForm(TComponent* owner);

  // Whether a click may activate the form (the framework form's Focusable). True after construction.
  bool IsFocusable() const { return Focusable(); }
  void SetIsFocusable(bool value) { SetFocusable(value); }

  // Dispatches every pending WM_ENABLE first, then shows the form modally.
  TModalResult ShowModal() override;

 protected:
  // Becoming visible: a stay-on-top form has no owner form and goes to the top-most layer without
  // activating; any other form without a parent gets its owner (ChooseOwnerForm). The owner is set
  // before the window shows: changing a shown window's owner would hide and show it again.
  void CMVisibleChanged(TMessage& message) override;
  void CMShowingChanged(TMessage& message) override;
  // MA_NOACTIVATE when the form is not IsFocusable.
  void WMMouseActivate(TMessage& message) override;
};

// The owner window a form gets when it shows: the active form when it is another form shown
// modally, else the main form when it is another form, else none (the application's).
TCustomForm* ChooseOwnerForm(const TCustomForm* form, TCustomForm* activeForm, TCustomForm* mainForm);
