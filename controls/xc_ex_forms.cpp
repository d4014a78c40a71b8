#include "controls/xc_ex_forms.h"

TXcExForm::TXcExForm(TComponent* owner) : TXcExWindowed<TCustomForm>(owner) {}

void TXcExForm::CMShowingChanged(TMessage& m) {
  if (Showing()) Perform(WM_CHANGEUISTATE, UIS_INITIALIZE, 0);
  TXcExWindowed::CMShowingChanged(m);
}

void TXcExForm::CMDialogKey(TMessage& m) {
  switch (m.WParam) {
    case VK_TAB:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
      break;
    case VK_MENU:
      Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
      break;
    default: break;
  }
  TXcExWindowed::CMDialogKey(m);
}
