#include "platform/ui/std_ctrls.h"

#include <QtGui/QKeySequence>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QApplication>

#include "platform/gdi/graphics.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/scroll_bars.h"
#include "platform/ui/system_metrics.h"
#include "platform/ui/window_dc.h"

TSize CheckBoxGlyphSize() {
  if (!QCoreApplication::instance()) return {13, 13};
  QStyle* style = QApplication::style();
  return {style->pixelMetric(QStyle::PM_IndicatorWidth), style->pixelMetric(QStyle::PM_IndicatorHeight)};
}

namespace {

void SetButtonText(QAbstractButton* b, const std::string& caption) {
  b->setText(CaptionText(caption));
  b->setShortcut(QKeySequence());
}

// A checkable toolkit button whose own click does not change its state: the click is reported to the
// control (BN_CLICKED), which decides the new state, as the platform's check boxes do.
template <class Base>
class TCheckWidget : public TBridgeWidget<Base> {
 public:
  using TBridgeWidget<Base>::TBridgeWidget;

 protected:
  void nextCheckState() override {
    if (WindowRecord* r = this->Record()) SendCommand(r->control, BN_CLICKED);
  }
};

}  // namespace

// --------------------------------------------------------------------------------------------- TButton

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csSetCaption | csDoubleClicks;
  SetTabStop(true);
  width_ = 75;
  height_ = 25;
}

void* TButton::CreateWidget() {
  auto* b = new TBridgeWidget<QPushButton>(Record());
  // The platform reports the click back to the button as a command notification.
  QObject::connect(b, &QPushButton::clicked, [this] { SendCommand(this, BN_CLICKED); });
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
    if (HIWORD(m.WParam) == BN_CLICKED) Click();
    return;
  }
  TWinControl::Dispatch(m);
}

void TButton::DefaultHandler(TMessage& m) {
  if (m.Msg == BM_CLICK) {
    Click();
    return;
  }
  TWinControl::DefaultHandler(m);
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

// ---------------------------------------------------------------------------------------- TCustomLabel

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  controlStyle_ |= csOpaque | csReplicatable;
  width_ = 65;
  height_ = 17;
  autoSize_ = true;
}

void TCustomLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
  if (value == Transparent()) return;
  if (value) controlStyle_ &= ~csOpaque;
  else controlStyle_ |= csOpaque;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value) {
  if (value == showAccelChar_) return;
  showAccelChar_ = value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* value) {
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = value;
  if (value) value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TCustomLabel::SetAutoSize(bool value) {
  TGraphicControl::SetAutoSize(value);
  AdjustBounds();
}

void TCustomLabel::DoDrawText(TRect& rect, uint32_t flags) {
  std::string text = GetLabelText();
  if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  TControlCanvas* c = Canvas();
  c->SetFont(*Font());
  HDC dc = c->Handle();
  if (!dc) return;
  c->TextExtent("");  // selects the font into the DC
  SetBkMode(dc, TRANSPARENT);
  if (!enabled_ && !(flags & DT_CALCRECT)) {
    // Embossed: a highlight copy one pixel down and right, the shadow over it.
    OffsetRect(rect, 1, 1);
    SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawText(dc, text.c_str(), -1, &rect, flags);
    OffsetRect(rect, -1, -1);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
    DrawText(dc, text.c_str(), -1, &rect, flags);
    return;
  }
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  DrawText(dc, text.c_str(), -1, &rect, flags);
}

void TCustomLabel::Paint() {
  static const uint32_t kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  TControlCanvas* c = Canvas();
  if (!Transparent()) {
    c->Brush()->SetColor(color_);
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(ClientRect());
  }
  c->Brush()->SetStyle(bsClear);
  TRect rect = ClientRect();
  uint32_t flags = DT_EXPANDTABS | (wordWrap_ ? static_cast<uint32_t>(DT_WORDBREAK) : 0u) | kAlign[alignment_];
  if (layout_ != tlTop) {
    // The text's height first, then the text moved to the middle or the bottom.
    TRect calc = rect;
    DoDrawText(calc, flags | DT_CALCRECT);
    int offset = layout_ == tlBottom ? rect.Height() - calc.Height() : (rect.Height() - calc.Height()) / 2;
    OffsetRect(rect, 0, offset);
  }
  DoDrawText(rect, flags);
}

void TCustomLabel::AdjustBounds() {
  if ((ComponentState() & csLoading) || !autoSize_) return;
  // Measured on a screen DC with the label's font.
  HDC dc = GetDC(nullptr);
  TControlCanvas* c = Canvas();
  c->FreeHandle();
  c->SetHandle(dc);
  TRect rect = ClientRect();
  DoDrawText(rect, DT_EXPANDTABS | DT_CALCRECT | (wordWrap_ ? static_cast<uint32_t>(DT_WORDBREAK) : 0u));
  c->SetHandle(nullptr);
  ReleaseDC(nullptr, dc);
  int x = left_;
  if (alignment_ == taRightJustify) x += width_ - rect.Right;
  SetBounds(x, top_, rect.Right, rect.Bottom);
}

void TCustomLabel::Dispatch(TMessage& m) {
  if (m.Msg == CM_DIALOGCHAR) {
    if (focusControl_ && enabled_ && showAccelChar_ && IsAccel(static_cast<uint16_t>(m.WParam), Caption()) &&
        focusControl_->CanFocus()) {
      focusControl_->SetFocus();
      m.Result = 1;
    }
    return;
  }
  TGraphicControl::Dispatch(m);
}

void TCustomLabel::CMTextChanged(TMessage& m) {
  TGraphicControl::CMTextChanged(m);
  AdjustBounds();
}

void TCustomLabel::CMFontChanged(TMessage& m) {
  TGraphicControl::CMFontChanged(m);
  AdjustBounds();
}

// -------------------------------------------------------------------------------------- TButtonControl

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csSetCaption | csDoubleClicks;
  SetTabStop(true);
}

void TButtonControl::SetAlignment(TLeftRight value) {
  if (value == alignment_) return;
  alignment_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TButtonControl::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TButtonControl::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  auto* b = static_cast<QAbstractButton*>(Record()->widget);
  SetButtonText(b, text_);
  // The text on the left is the mark on the right: the toolkit mirrors the button for that.
  b->setLayoutDirection(alignment_ == taLeftJustify ? Qt::RightToLeft : Qt::LeftToRight);
}

void TButtonControl::CMTextChanged(TMessage& m) {
  if (HandleAllocated()) SetButtonText(static_cast<QAbstractButton*>(Record()->widget), text_);
  TWinControl::CMTextChanged(m);
}

void TButtonControl::WMGetDlgCode(TMessage& m) { m.Result = DLGC_BUTTON; }

// ------------------------------------------------------------------------------------- TCustomCheckBox

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  width_ = 97;
  height_ = 17;
}

void* TCustomCheckBox::CreateWidget() { return new TCheckWidget<QCheckBox>(Record()); }

void TCustomCheckBox::ApplyWidgetState() {
  TButtonControl::ApplyWidgetState();
  auto* b = static_cast<QCheckBox*>(Record()->widget);
  QSignalBlocker block(b);
  b->setTristate(allowGrayed_ || state_ == cbGrayed);
  b->setCheckState(state_ == cbChecked ? Qt::Checked : state_ == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
}

void TCustomCheckBox::SetAllowGrayed(bool value) {
  allowGrayed_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TCustomCheckBox::SetState(TCheckBoxState value) {
  if (value == state_) return;
  state_ = value;
  if (HandleAllocated()) Perform(BM_SETCHECK, static_cast<WPARAM>(value), 0);
  if (!ClicksDisabled()) Click();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked: SetState(allowGrayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::Dispatch(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == BN_CLICKED) Toggle();
    return;
  }
  TButtonControl::Dispatch(m);
}

void TCustomCheckBox::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case BM_GETCHECK: m.Result = static_cast<LRESULT>(state_); return;
    case BM_SETCHECK:
      if (HandleAllocated()) {
        auto* b = static_cast<QCheckBox*>(Record()->widget);
        QSignalBlocker block(b);
        if (m.WParam == BST_INDETERMINATE) b->setTristate(true);
        b->setCheckState(m.WParam == BST_CHECKED ? Qt::Checked
                         : m.WParam == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                         : Qt::Unchecked);
      }
      return;
    case BM_CLICK:
      if (CanFocus()) SetFocus();
      Toggle();
      return;
    default: TButtonControl::DefaultHandler(m); return;
  }
}

void TCustomCheckBox::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<uint16_t>(m.WParam), text_) && CanFocus()) {
    SetFocus();
    if (Focused() || GetParentForm(this)->ActiveControl() == this) Toggle();
    m.Result = 1;
    return;
  }
  TButtonControl::CMDialogChar(m);
}

// ---------------------------------------------------------------------------------------- TRadioButton

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
  width_ = 113;
  height_ = 17;
}

void* TRadioButton::CreateWidget() {
  auto* b = new TCheckWidget<QRadioButton>(Record());
  // The framework unchecks the siblings itself.
  b->setAutoExclusive(false);
  return b;
}

void TRadioButton::ApplyWidgetState() {
  TButtonControl::ApplyWidgetState();
  auto* b = static_cast<QRadioButton*>(Record()->widget);
  QSignalBlocker block(b);
  b->setChecked(checked_);
}

void TRadioButton::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  SetTabStop(value);
  if (HandleAllocated()) Perform(BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!value) return;
  if (parent_) {
    for (int i = 0; i < parent_->ControlCount(); ++i) {
      auto* sibling = dynamic_cast<TRadioButton*>(parent_->Controls(i));
      if (sibling && sibling != this) sibling->SetChecked(false);
    }
  }
  if (!ClicksDisabled()) Click();
}

void TRadioButton::Dispatch(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == BN_CLICKED) SetChecked(true);
    return;
  }
  TButtonControl::Dispatch(m);
}

void TRadioButton::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case BM_GETCHECK: m.Result = checked_ ? BST_CHECKED : BST_UNCHECKED; return;
    case BM_SETCHECK:
      if (HandleAllocated()) {
        auto* b = static_cast<QRadioButton*>(Record()->widget);
        QSignalBlocker block(b);
        b->setChecked(m.WParam == BST_CHECKED);
      }
      return;
    case BM_CLICK: SetChecked(true); return;
    default: TButtonControl::DefaultHandler(m); return;
  }
}

void TRadioButton::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<uint16_t>(m.WParam), text_) && CanFocus()) {
    SetFocus();
    SetChecked(true);
    m.Result = 1;
    return;
  }
  TButtonControl::CMDialogChar(m);
}

// ------------------------------------------------------------------------------------- TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks | csReplicatable;
  width_ = 185;
  height_ = 105;
}

void* TCustomGroupBox::CreateWidget() { return new TBridgeWidget<QGroupBox>(Record()); }

void TCustomGroupBox::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  static_cast<QGroupBox*>(Record()->widget)->setTitle(CaptionText(text_));
}

void TCustomGroupBox::AdjustClientRect(TRect& rect) {
  TWinControl::AdjustClientRect(rect);
  // The caption's line, then the frame.
  int textHeight = HandleAllocated() ? Record()->widget->fontMetrics().height() : 13;
  rect.Top += textHeight;
  InflateRect(rect, -1, -1);
  if (Ctl3D()) InflateRect(rect, -1, -1);
}

void TCustomGroupBox::CMTextChanged(TMessage& m) {
  if (HandleAllocated()) static_cast<QGroupBox*>(Record()->widget)->setTitle(CaptionText(text_));
  TWinControl::CMTextChanged(m);
}

void TCustomGroupBox::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<uint16_t>(m.WParam), text_) && CanFocus()) {
    if (TWinControl* first = FindNextControl(nullptr, true, true, false)) first->SetFocus();
    m.Result = 1;
    return;
  }
  TWinControl::CMDialogChar(m);
}

// ------------------------------------------------------------------------------------------ TScrollBar

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csFramed | csDoubleClicks | csOpaque;
  width_ = 121;
  height_ = GetSystemMetrics(SM_CYHSCROLL);
  SetTabStop(true);
}

void* TScrollBar::CreateWidget() {
  auto* bar = new TBridgeWidget<QScrollBar>(Record());
  bar->setOrientation(kind_ == sbHorizontal ? Qt::Horizontal : Qt::Vertical);
  ConnectScrollBar(Record(), bar, SB_CTL);
  return bar;
}

void TScrollBar::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  static_cast<QScrollBar*>(Record()->widget)->setOrientation(kind_ == sbHorizontal ? Qt::Horizontal : Qt::Vertical);
  UpdateBar();
}

void TScrollBar::UpdateBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  si.nMin = min_;
  si.nMax = max_;
  si.nPage = static_cast<UINT>(pageSize_);
  si.nPos = position_;
  SetScrollInfo(Handle(), SB_CTL, &si, true);
}

void TScrollBar::SetKind(TScrollBarKind value) {
  if (value == kind_) return;
  kind_ = value;
  // The bar turns: its width and height change places.
  SetBounds(left_, top_, height_, width_);
  if (HandleAllocated()) ApplyWidgetState();
}

void TScrollBar::SetPageSize(int value) {
  if (value == pageSize_ || value > max_ - min_ + 1) return;
  pageSize_ = value < 0 ? 0 : value;
  UpdateBar();
}

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min || max < pageSize_) throw EInvalidOperation("Scroll bar property out of range");
  if (position < min) position = min;
  if (position > max) position = max;
  min_ = min;
  max_ = max;
  bool changed = position != position_;
  position_ = position;
  UpdateBar();
  if (changed) Change();
}

void TScrollBar::Change() {
  if (OnChange) OnChange(this);
}

void TScrollBar::Scroll(TScrollCode scrollCode, int& scrollPos) {
  if (OnScroll) OnScroll(this, scrollCode, scrollPos);
}

void TScrollBar::DoScroll(TMessage& m) {
  TScrollCode code = static_cast<TScrollCode>(std::min<int>(LOWORD(m.WParam), scEndScroll));
  int pos = position_;
  switch (code) {
    case scLineUp: pos -= smallChange_; break;
    case scLineDown: pos += smallChange_; break;
    case scPageUp: pos -= largeChange_; break;
    case scPageDown: pos += largeChange_; break;
    case scPosition: case scTrack: pos = HIWORD(m.WParam); break;
    case scTop: pos = min_; break;
    case scBottom: pos = max_; break;
    default: break;
  }
  if (pos < min_) pos = min_;
  if (pos > max_) pos = max_;
  Scroll(code, pos);
  SetPosition(pos);
}

void TScrollBar::Dispatch(TMessage& m) {
  if (m.Msg == CN_HSCROLL || m.Msg == CN_VSCROLL) {
    DoScroll(m);
    return;
  }
  TWinControl::Dispatch(m);
}
