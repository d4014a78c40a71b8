#include "platform/ui/std_ctrls.h"

#include <QtGui/QKeySequence>
#include <QtWidgets/QPushButton>

#include "platform/ui/forms.h"
#include "platform/ui/qt_window_p.h"

namespace {

// The toolkit's text for a caption: the same "&" marks; its own shortcut for them is switched off,
// because accelerators reach the control as CM_DIALOGCHAR.
void SetButtonText(QAbstractButton* b, const std::string& caption) {
  b->setText(QString::fromStdString(caption));
  b->setShortcut(QKeySequence());
}

}  // namespace

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csSetCaption | csDoubleClicks;
  SetTabStop(true);
  width_ = 75;
  height_ = 25;
}

void* TButton::CreateWidget() {
  auto* b = new TBridgeWidget<QPushButton>(Record());
  QObject::connect(b, &QPushButton::clicked, [this] {
    // The platform reports the click back to the button as a command notification.
    TMessage m;
    m.Msg = CN_COMMAND;
    SafeWndProc(this, m);
  });
  return b;
}

void TButton::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  auto* b = static_cast<QPushButton*>(Record()->widget);
  SetButtonText(b, text_);
  b->setAutoDefault(false);
  b->setDefault(default_);
}

void TButton::SetDefault(bool value) {
  default_ = value;
  if (HandleAllocated()) static_cast<QPushButton*>(Record()->widget)->setDefault(value);
}

void TButton::Click() {
  if (modalResult_ != 0) {
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  }
  TWinControl::Click();
}

void TButton::Dispatch(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    Click();
    return;
  }
  TWinControl::Dispatch(m);
}

void TButton::CMDialogKey(TMessage& m) {
  uint16_t key = static_cast<uint16_t>(m.WParam);
  // Enter goes to the default button unless the focus sits on another button.
  TWinControl* focused = FindFocusedControl();
  bool active = default_ && !(dynamic_cast<TButton*>(focused) && focused != this);
  if (((key == VK_RETURN && active) || (key == VK_ESCAPE && cancel_)) && KeyDataToShiftState(m.LParam) == 0 &&
      CanFocus()) {
    Click();
    m.Result = 1;
    return;
  }
  TWinControl::CMDialogKey(m);
}

void TButton::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<uint16_t>(m.WParam), text_) && CanFocus()) {
    Click();
    m.Result = 1;
    return;
  }
  TWinControl::CMDialogChar(m);
}

void TButton::WMGetDlgCode(TMessage& m) {
  m.Result = DLGC_BUTTON | (default_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

void TButton::CMTextChanged(TMessage& m) {
  if (HandleAllocated()) SetButtonText(static_cast<QPushButton*>(Record()->widget), text_);
  TWinControl::CMTextChanged(m);
}
