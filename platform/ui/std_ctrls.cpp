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
#include "platform/ui/theme_services.h"
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
  auto* b = qobject_cast<QAbstractButton*>(Record()->widget);
  if (!b) return;  // drawn by the framework
  SetButtonText(b, text_);
  // The text on the left is the mark on the right: the toolkit mirrors the button for that.
  b->setLayoutDirection(alignment_ == taLeftJustify ? Qt::RightToLeft : Qt::LeftToRight);
}

void TButtonControl::CMTextChanged(TMessage& m) {
  if (HandleAllocated())
    if (auto* b = qobject_cast<QAbstractButton*>(Record()->widget)) SetButtonText(b, text_);
  TWinControl::CMTextChanged(m);
}

void TButtonControl::WMGetDlgCode(TMessage& m) { m.Result = DLGC_BUTTON; }

// ------------------------------------------------------------------------------------- TCustomCheckBox

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  width_ = 97;
  height_ = 17;
}

void TCustomCheckBox::CreateParams(TCreateParams& params) {
  TButtonControl::CreateParams(params);
  params.Style |= BS_3STATE;
}

void* TCustomCheckBox::CreateWidget() {
  drawn_ = (LastCreateParams().Style & kCheckBoxPlacementStyles) != 0;
  pressed_ = mouseDown_ = false;
  if (drawn_) return TButtonControl::CreateWidget();
  return new TCheckWidget<QCheckBox>(Record());
}

void TCustomCheckBox::ApplyWidgetState() {
  TButtonControl::ApplyWidgetState();
  auto* b = qobject_cast<QCheckBox*>(Record()->widget);
  if (!b) return;
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
      if (!HandleAllocated()) return;
      if (auto* b = qobject_cast<QCheckBox*>(Record()->widget)) {
        QSignalBlocker block(b);
        if (m.WParam == BST_INDETERMINATE) b->setTristate(true);
        b->setCheckState(m.WParam == BST_CHECKED ? Qt::Checked
                         : m.WParam == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                         : Qt::Unchecked);
      } else {
        Invalidate();
      }
      return;
    case BM_CLICK:
      if (CanFocus()) SetFocus();
      Toggle();
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
      if (drawn_ && HandleAllocated()) DrawnMouse(m);
      TButtonControl::DefaultHandler(m);
      return;
    case WM_KEYDOWN:
      if (drawn_ && m.WParam == VK_SPACE && !pressed_) {
        pressed_ = true;
        mouseDown_ = false;
        Invalidate();
        return;
      }
      TButtonControl::DefaultHandler(m);
      return;
    case WM_KEYUP:
      if (drawn_ && m.WParam == VK_SPACE && pressed_ && !mouseDown_) {
        pressed_ = false;
        Invalidate();
        Perform(CN_COMMAND, MAKEWPARAM(0, static_cast<int>(BN_CLICKED)), 0);
        return;
      }
      TButtonControl::DefaultHandler(m);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      // The focus rectangle comes and goes; a Space press ends with the focus.
      if (drawn_) {
        if (m.Msg == WM_KILLFOCUS && pressed_ && !mouseDown_) pressed_ = false;
        Invalidate();
      }
      TButtonControl::DefaultHandler(m);
      return;
    default: TButtonControl::DefaultHandler(m); return;
  }
}

// The native check box's mouse behaviour: the press shows the mark pressed while the mouse stays
// over the box, and a release over it clicks.
void TCustomCheckBox::DrawnMouse(TMessage& m) {
  TPoint p = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  bool inside = PtInRect(ClientRect(), p);
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = mouseDown_ = true;
      SetMouseCapture(true);
      Invalidate();
      break;
    case WM_MOUSEMOVE:
      if (mouseDown_ && pressed_ != inside) {
        pressed_ = inside;
        Invalidate();
      }
      break;
    case WM_LBUTTONUP: {
      if (!mouseDown_) break;
      mouseDown_ = pressed_ = false;
      SetMouseCapture(false);
      Invalidate();
      if (inside) Perform(CN_COMMAND, MAKEWPARAM(0, static_cast<int>(BN_CLICKED)), 0);
      break;
    }
    default: break;
  }
}

void CheckBoxDrawnLayout(uint32_t style, int width, int height, TSize markSize, int textHeight, TRect& mark,
                         TRect& text) {
  constexpr int kGap = 4;  // between the mark and its text
  bool leftText = style & BS_LEFTTEXT;
  uint32_t vertical = style & BS_VCENTER;
  auto place = [&](int size) {
    if (vertical == BS_TOP) return 0;
    if (vertical == BS_BOTTOM) return height - size;
    return (height - size) / 2;
  };
  int markLeft = leftText ? width - markSize.cx : 0;
  mark = Bounds(markLeft, place(markSize.cy), markSize.cx, markSize.cy);
  int textLeft = leftText ? 0 : markSize.cx + kGap;
  int textRight = leftText ? width - markSize.cx - kGap : width;
  text = Rect(textLeft, place(textHeight), std::max(textLeft, textRight), 0);
  text.Bottom = text.Top + textHeight;
}

void TCustomCheckBox::PaintWindow(HDC dc) {
  if (!drawn_) return;
  uint32_t style = LastCreateParams().Style;
  TRect client = ClientRect();
  HBRUSH back = CreateSolidBrush(ColorToRGB(color_));
  FillRect(dc, &client, back);
  DeleteObject(back);
  // The text's size in the room beside the mark, wrapped when asked for.
  TSize markSize = CheckBoxGlyphSize();
  uint32_t flags = DT_EXPANDTABS;
  flags |= (style & BS_MULTILINE) ? static_cast<uint32_t>(DT_WORDBREAK) : static_cast<uint32_t>(DT_SINGLELINE);
  switch (style & BS_CENTER) {
    case BS_RIGHT: flags |= DT_RIGHT; break;
    case BS_CENTER: flags |= DT_CENTER; break;
    default: flags |= DT_LEFT; break;
  }
  TRect mark, area;
  CheckBoxDrawnLayout(style, client.Right, client.Bottom, markSize, 0, mark, area);
  HGDIOBJ oldFont = SelectObject(dc, Font()->Handle());
  TRect measured = Rect(area.Left, 0, area.Right, client.Bottom);
  if (!text_.empty()) DrawText(dc, text_.c_str(), -1, &measured, flags | DT_CALCRECT);
  else measured.Bottom = measured.Top;
  CheckBoxDrawnLayout(style, client.Right, client.Bottom, markSize, measured.Height(), mark, area);

  // The mark: the style's, or the classic sunken box.
  TThemedState ts = !enabled_ ? thsDisabled : pressed_ ? thsPressed : thsNormal;
  if (ThemeServices()->ThemesEnabled()) {
    TThemedPart part = state_ == cbChecked ? thpCheckBoxChecked : state_ == cbGrayed ? thpCheckBoxMixed : thpCheckBox;
    ThemeServices()->DrawElement(dc, {part, ts}, mark);
  } else {
    TRect box = mark;
    DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    bool face = !enabled_ || pressed_ || state_ == cbGrayed;
    HBRUSH fill = CreateSolidBrush(ColorToRGB(face ? clBtnFace : clWindow));
    FillRect(dc, &box, fill);
    DeleteObject(fill);
    if (state_ != cbUnchecked) {
      // The check: a 7 x 7 tick three pixels thick, as the classic box draws it.
      TColor ink = !enabled_ || state_ == cbGrayed ? clBtnShadow : clWindowText;
      HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(ink));
      HGDIOBJ oldPen = SelectObject(dc, pen);
      int x = box.Left + (box.Width() - 7) / 2, y = box.Top + (box.Height() - 7) / 2;
      for (int i = 0; i < 3; ++i) {
        MoveToEx(dc, x, y + 2 + i, nullptr);
        LineTo(dc, x + 2, y + 4 + i);
        LineTo(dc, x + 7, y - 1 + i);
      }
      SelectObject(dc, oldPen);
      DeleteObject(pen);
    }
  }

  if (!text_.empty()) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(enabled_ ? Font()->Color() : clGrayText));
    TRect r = area;
    DrawText(dc, text_.c_str(), -1, &r, flags);
    if (Focused()) {
      // The focus rectangle around the text as it stands.
      TRect focus = area;
      if (flags & DT_RIGHT) focus.Left = std::max(area.Left, area.Right - measured.Width());
      else if (flags & DT_CENTER) focus.Left = area.Left + (area.Width() - measured.Width()) / 2;
      focus.Right = std::min(area.Right, focus.Left + measured.Width());
      InflateRect(focus, 1, 1);
      DrawFocusRect(dc, &focus);
    }
  }
  SelectObject(dc, oldFont);
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

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
  controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks | csReplicatable;
  width_ = 185;
  height_ = 105;
}

void TCustomGroupBox::SetPaintedByControl(bool value) {
  if (value == paintedByControl_) return;
  paintedByControl_ = value;
  RecreateWnd();
}

void* TCustomGroupBox::CreateWidget() {
  if (paintedByControl_) return TCustomControl::CreateWidget();
  return new TBridgeWidget<QGroupBox>(Record());
}

void TCustomGroupBox::ApplyWidgetState() {
  TCustomControl::ApplyWidgetState();
  if (auto* g = qobject_cast<QGroupBox*>(Record()->widget)) g->setTitle(CaptionText(text_));
}

void TCustomGroupBox::AdjustClientRect(TRect& rect) {
  TCustomControl::AdjustClientRect(rect);
  // The caption's line, then the frame.
  int textHeight = HandleAllocated() ? Record()->widget->fontMetrics().height() : 13;
  rect.Top += textHeight;
  InflateRect(rect, -1, -1);
  if (Ctl3D()) InflateRect(rect, -1, -1);
}

void TCustomGroupBox::Paint() {
  TControlCanvas* c = Canvas();
  c->SetFont(*Font());
  int h = c->TextHeight("0");
  TRect frame = Rect(0, h / 2 - 1, width_, height_);
  ThemeServices()->DrawElement(c->Handle(), {thpGroupBox, enabled_ ? thsNormal : thsDisabled}, frame);
  if (text_.empty()) return;
  // The caption on the frame's top line, on the control's colour.
  TRect r = Rect(8, 0, width_, h);
  HDC dc = c->Handle();
  DrawText(dc, text_.c_str(), -1, &r, DT_SINGLELINE | DT_CALCRECT);
  if (UseRightToLeftReading()) OffsetRect(r, width_ - r.Width() - 16, 0);
  c->Brush()->SetColor(color_);
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(r);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(enabled_ ? Font()->Color() : clGrayText));
  DrawText(dc, text_.c_str(), -1, &r, DT_SINGLELINE);
}

void TCustomGroupBox::CMTextChanged(TMessage& m) {
  if (HandleAllocated())
    if (auto* g = qobject_cast<QGroupBox*>(Record()->widget)) g->setTitle(CaptionText(text_));
  TCustomControl::CMTextChanged(m);
}

void TCustomGroupBox::CMDialogChar(TMessage& m) {
  if (IsAccel(static_cast<uint16_t>(m.WParam), text_) && CanFocus()) {
    if (TWinControl* first = FindNextControl(nullptr, true, true, false)) first->SetFocus();
    m.Result = 1;
    return;
  }
  TCustomControl::CMDialogChar(m);
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
