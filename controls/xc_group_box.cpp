#include "controls/xc_group_box.h"

#include "controls/xc_draw_utils.h"
#include "platform/ui/theme_services.h"
#include "platform/ui/window_dc.h"

TXcGroupBox::TXcGroupBox(TComponent* owner) : TXcExGroupBox(owner) { SetPaintedByControl(true); }

TXcGroupBox::~TXcGroupBox() { Destroying(); }

std::string TXcGroupBox::Caption() { return checkBox_ ? checkBox_->Caption() : TXcExGroupBox::Caption(); }

void TXcGroupBox::SetCaption(const std::string& value) {
  if (checkBox_) checkBox_->SetCaption(value);
  else TXcExGroupBox::SetCaption(value);
}

void TXcGroupBox::SetCheckable(bool value) {
  if (value == Checkable()) return;
  if (value) {
    auto* box = new TXcCheckBox(this);
    box->SetParent(this);
    box->SetBounds(8, 0, box->Width(), box->Height());
    box->SetCaption(TXcExGroupBox::Caption());
    checkBox_ = box;
    box->FreeNotification(this);
    SetPropagateEnable(true);
    box->OnClick = [this](TObject*) { CheckBoxClicked(); };
    box->SetChecked(true);
    TXcExGroupBox::SetCaption(std::string());
  } else {
    TXcCheckBox* box = checkBox_;
    std::string caption = box->Caption();
    checkBox_ = nullptr;
    delete box;
    TXcExGroupBox::SetCaption(caption);
    // Without the check mark the children no longer wait for it.
    if (propagateEnable_) EnableChildren(Enabled());
  }
  Invalidate();
}

void TXcGroupBox::SetChecked(bool value) {
  if (checkBox_) checkBox_->SetChecked(value);
}

void TXcGroupBox::Notification(TComponent* component, TOperation operation) {
  TXcExGroupBox::Notification(component, operation);
  if (operation == opRemove && component == checkBox_) checkBox_ = nullptr;
}

void TXcGroupBox::EnableChildren(bool enabled) {
  for (int i = 0; i < ControlCount(); ++i)
    if (Controls(i) != checkBox_) Controls(i)->SetEnabled(enabled);
}

void TXcGroupBox::CheckBoxClicked() {
  if (!checkBox_) return;
  EnableChildren(checkBox_->Checked());
  if (OnCheckBoxClick) OnCheckBoxClick(this);
}

void TXcGroupBox::ApplyEnabledRule() {
  if (!checkBox_) {
    EnableChildren(Enabled());
  } else if (Enabled()) {
    checkBox_->SetEnabled(true);
    EnableChildren(checkBox_->Checked());
  } else {
    checkBox_->SetEnabled(false);
    EnableChildren(false);
  }
}

void TXcGroupBox::HandleEnabledChange() {
  TXcExGroupBox::HandleEnabledChange();
  if (propagateEnable_) ApplyEnabledRule();
  Invalidate();
}

void TXcGroupBox::SetPropagateEnable(bool value) {
  propagateEnable_ = value;
  // The children take the box's state; those of a checkable box also wait for its check mark, so
  // that switching this off does not enable what an unchecked box keeps disabled.
  ApplyEnabledRule();
}

bool TXcGroupBox::HandleDialogChar(uint16_t key, TShiftState shift, const std::string& keyText) {
  bool handled = TXcExGroupBox::HandleDialogChar(key, shift, keyText);
  if (handled && OnHotKey) OnHotKey(this);
  return handled;
}

void TXcGroupBox::Paint() {
  if (ThemeServices()->ThemesEnabled()) {
    TXcExGroupBox::Paint();
    return;
  }
  TControlCanvas* c = Canvas();
  c->SetFont(*Font());
  const int h = c->TextHeight("0");
  HDC dc = c->Handle();
  TRect r = Rect(0, h / 2 - 1, width_, height_);
  auto frame = [&](TColor color) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
  };
  if (Ctl3D()) {
    OffsetRect(r, 1, 1);
    frame(clBtnHighlight);
    OffsetRect(r, -1, -1);
    frame(clBtnShadow);
  } else {
    frame(clWindowFrame);
  }
  std::string text = TXcExGroupBox::Caption();
  if (text.empty()) return;
  // The caption on the frame's top line, opaque on the control's colour so that it hides the line.
  uint32_t flags = DT_SINGLELINE | (UseRightToLeftReading() ? static_cast<uint32_t>(DT_RTLREADING) : 0u);
  TRect t = Rect(8, 0, width_, h);
  DrawTextOnDC(dc, text, -1, flags | DT_CALCRECT, t);
  if (UseRightToLeftReading()) OffsetRect(t, (r.Right - t.Width() - 8) - t.Left, 0);
  int oldMode = GetBkMode(dc);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, ColorToRGB(color_));
  if (enabled_) {
    SetTextColor(dc, ColorToRGB(Font()->Color()));
    DrawTextOnDC(dc, text, -1, flags, t);
  } else {
    // Embossed: the highlight one pixel down and right, the shadow over it.
    OffsetRect(t, 1, 1);
    SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawTextOnDC(dc, text, -1, flags, t);
    OffsetRect(t, -1, -1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
    DrawTextOnDC(dc, text, -1, flags, t);
  }
  SetBkMode(dc, oldMode);
}
