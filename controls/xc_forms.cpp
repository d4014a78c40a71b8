#include "controls/xc_forms.h"

#include "platform/ui/message_queue.h"

TXcForm::TXcForm(TComponent* owner) : TXcExForm(owner) { SetFocusable(true); }

TCustomForm* ChooseOwnerForm(const TCustomForm* form, TCustomForm* activeForm, TCustomForm* mainForm) {
  if (activeForm && activeForm != form && activeForm->Modal()) return activeForm;
  if (mainForm && mainForm != form) return mainForm;
  return nullptr;
}

void TXcForm::CMVisibleChanged(TMessage& m) {
  if (Visible() && FormStyle() != fsMDIChild) {
    if (FormStyle() == fsStayOnTop) {
      // The application's window owns it: no owner form.
      if (OwnerForm()) SetOwnerForm(nullptr);
    } else if (!Parent()) {
      TCustomForm* owner = ChooseOwnerForm(this, Screen->ActiveForm(), Application->MainForm());
      if (owner != OwnerForm()) SetOwnerForm(owner);
    }
  }
  TXcExForm::CMVisibleChanged(m);
}

void TXcForm::CMShowingChanged(TMessage& m) {
  // A stay-on-top form goes to the top without taking the activation.
  if (Showing() && FormStyle() == fsStayOnTop) TControl::BringToFront();
  TXcExForm::CMShowingChanged(m);
}

TModalResult TXcForm::ShowModal() {
  MSG msg;
  while (PeekMessage(&msg, nullptr, WM_ENABLE, WM_ENABLE, PM_REMOVE))
    if (TWinControl* c = FindControl(msg.hwnd)) c->Perform(msg.message, msg.wParam, msg.lParam);
  return TXcExForm::ShowModal();
}

void TXcForm::WMMouseActivate(TMessage& m) {
  if (IsFocusable()) {
    TXcExForm::WMMouseActivate(m);
    return;
  }
  m.Result = MA_NOACTIVATE;
}
