#include "controls/xc_xp_core.h"

#include <algorithm>

#include "controls/xc_xcl_utils.h"
#include "platform/ui/forms.h"

// -------------------------------------------------------------------------------- TXcXPCustomControl

TXcXPCustomControl::TXcXPCustomControl(TComponent* owner) : TXcExCustomControl(owner) {
  SetControlStyle(ControlStyle() | csOpaque | csReplicatable);
  SetDoubleBuffered(true);
}

void TXcXPCustomControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
      TXcExCustomControl::WndProc(m);
      mousePressed_ = true;
      MousePressed();
      return;
    case WM_LBUTTONUP:
      TXcExCustomControl::WndProc(m);
      if (mousePressed_) {
        mousePressed_ = false;
        MouseReleased();
      }
      return;
    case WM_MOUSEMOVE:
      TXcExCustomControl::WndProc(m);
      MouseMoved(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_SIZE:
      TXcExCustomControl::WndProc(m);
      Resized();
      return;
    case WM_MOVE:
      // The position hook (the platform's window-position change reaches the control as its move).
      TXcExCustomControl::WndProc(m);
      PositionChanged();
      return;
    case CM_BORDERCHANGED:
      TXcExCustomControl::WndProc(m);
      BorderChanged();
      return;
    default: TXcExCustomControl::WndProc(m); return;
  }
}

void TXcXPCustomControl::RedrawOn(TXcRedrawTrigger trigger) {
  if (redrawTriggers_.Contains(trigger)) RequestRedraw();
}

void TXcXPCustomControl::RequestRedraw() {
  if (updateCount_ <= 0) Invalidate();
}

void TXcXPCustomControl::Redraw() {
  if (updateCount_ <= 0) Invalidate();
}

void TXcXPCustomControl::BorderChanged() { RedrawOn(rtBorderChanged); }

void TXcXPCustomControl::EnabledChanged() { RedrawOn(rtEnabledChanged); }

void TXcXPCustomControl::FocusChanged(bool focused) {
  if (focused) {
    drawFlags_.Include(dfFocused);
  } else {
    drawFlags_.Exclude(dfFocused);
    drawFlags_.Exclude(dfPressed);
  }
  TCustomForm* form = GetParentForm(this);
  activeIsXPControl_ = form && dynamic_cast<TXcXPCustomControl*>(form->ActiveControl()) != nullptr;
  RedrawOn(rtFocusChanged);
}

void TXcXPCustomControl::MousePressed() {
  if (!Focused() && CanFocus()) SetFocus();
  drawFlags_.Include(dfPressed);
  RedrawOn(rtMousePressed);
}

void TXcXPCustomControl::MouseEntered() {
  if (!(ComponentState() & csDesigning)) {
    drawFlags_.Include(dfHot);
    RedrawOn(rtMouseEntered);
  }
  if (OnMouseEnter) OnMouseEnter(this);
}

void TXcXPCustomControl::MouseLeft() {
  if (!(ComponentState() & csDesigning)) {
    drawFlags_.Exclude(dfHot);
    RedrawOn(rtMouseLeft);
  }
  if (OnMouseLeave) OnMouseLeave(this);
}

void TXcXPCustomControl::MouseMoved(int, int) {
  if (!(ComponentState() & csDesigning)) RedrawOn(rtMouseMoved);
}

void TXcXPCustomControl::MouseReleased() {
  drawFlags_.Exclude(dfPressed);
  RedrawOn(rtMouseReleased);
  // The control under the cursor lights up at once.
  TPoint p;
  GetCursorPos(&p);
  auto* other = dynamic_cast<TXcXPCustomControl*>(FindDragTarget(p, false));
  if (other && other != this) other->MouseEntered();
}

void TXcXPCustomControl::ParentColorChanged() { RedrawOn(rtParentColorChanged); }

void TXcXPCustomControl::ParentFontChanged() { RedrawOn(rtParentFontChanged); }

void TXcXPCustomControl::PositionChanged() { RedrawOn(rtPositionChanged); }

void TXcXPCustomControl::Resized() { RedrawOn(rtResized); }

void TXcXPCustomControl::TextChanged() { RedrawOn(rtTextChanged); }

void TXcXPCustomControl::BeginUpdate() { ++updateCount_; }

void TXcXPCustomControl::EndUpdate() {
  if (updateCount_ <= 0) AssertionFailed("Unpaired call to TXcXPCustomControl.EndUpdate", "XcXPCore", 363);
  --updateCount_;
  RequestRedraw();
}

void TXcXPCustomControl::Click() {
  SetControlState(ControlState() & ~csClicked);
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  TXcExCustomControl::Click();
}

void TXcXPCustomControl::HandleEnabledChange() {
  TXcExCustomControl::HandleEnabledChange();
  EnabledChanged();
}

void TXcXPCustomControl::HandleFocusChange(TControl* control) {
  TXcExCustomControl::HandleFocusChange(control);
  FocusChanged(control == this);
}

void TXcXPCustomControl::HandleMouseEntry(TControl* control) {
  if (control) {
    TXcExCustomControl::HandleMouseEntry(control);
    return;
  }
  // The framework's handling keeps the flag and tells the parent; MouseEntered fires the event.
  mouseInside_ = true;
  {
    TMouseEventsMuted muted(this);
    DeliverToBase(CM_MOUSEENTER, 0, 0);
  }
  MouseEntered();
}

void TXcXPCustomControl::HandleMouseExit(TControl* control) {
  if (control) {
    TXcExCustomControl::HandleMouseExit(control);
    return;
  }
  mouseInside_ = false;
  {
    TMouseEventsMuted muted(this);
    DeliverToBase(CM_MOUSELEAVE, 0, 0);
  }
  MouseLeft();
}

void TXcXPCustomControl::HandleParentColorChange() {
  TXcExCustomControl::HandleParentColorChange();
  ParentColorChanged();
}

void TXcXPCustomControl::HandleParentFontChange() {
  TXcExCustomControl::HandleParentFontChange();
  ParentFontChanged();
}

void TXcXPCustomControl::HandleTextChange() {
  TXcExCustomControl::HandleTextChange();
  TextChanged();
}

bool TXcXPCustomControl::HandleEraseBackground(TCanvas*, LPARAM) { return true; }

bool TXcXPCustomControl::HandleDialogChar(uint16_t key, TShiftState shift, const std::string& keyText) {
  if (IsAccel(key, Caption()) && CanFocus() && (Focused() || (shift & ssAlt))) {
    Click();
    return true;
  }
  return TXcExCustomControl::HandleDialogChar(key, shift, keyText);
}

// ---------------------------------------------------------------------------------------- TXcXPStyle

void TXcXPStyle::SetTheme(TXcXPTheme value) {
  if (value == theme_) return;
  theme_ = value;
  if (owner_) owner_->RequestRedraw();
}

void TXcXPStyle::SetUseStyleManager(bool value) {
  if (value == useStyleManager_) return;
  useStyleManager_ = value;
  if (owner_) owner_->RequestRedraw();
}

// --------------------------------------------------------------------------------- TXcXPStyleManager

TXcXPStyleManager::TXcXPStyleManager(TComponent* owner) : TXcXPCustomComponent(owner) {}

TXcXPStyleManager::~TXcXPStyleManager() {
  for (TXcXPCustomControl* c : controls_) c->RequestRedraw();
  controls_.clear();
}

void TXcXPStyleManager::SetTheme(TXcXPTheme value) {
  if (value == theme_) return;
  theme_ = value;
  if (OnThemeChanged) OnThemeChanged(this, value);
  for (TXcXPCustomControl* c : std::vector<TXcXPCustomControl*>(controls_)) c->RequestRedraw();
}

void TXcXPStyleManager::RegisterControls(const std::vector<TXcXPCustomControl*>& controls) {
  for (TXcXPCustomControl* c : controls)
    if (c && std::find(controls_.begin(), controls_.end(), c) == controls_.end()) controls_.push_back(c);
}

void TXcXPStyleManager::UnregisterControls(const std::vector<TXcXPCustomControl*>& controls) {
  for (TXcXPCustomControl* c : controls) controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
}

// --------------------------------------------------------------------------- TXcXPCustomStyleControl

TXcXPCustomStyleControl::TXcXPCustomStyleControl(TComponent* owner) : TXcXPCustomControl(owner), style_(this) {}

TXcXPCustomStyleControl::~TXcXPCustomStyleControl() {
  if (styleManager_) styleManager_->UnregisterControls({this});
}

void TXcXPCustomStyleControl::SetStyleManager(TXcXPStyleManager* value) {
  if (value == styleManager_) return;
  // A control listed with the manager it leaves would be repainted by it after it is gone.
  if (styleManager_) styleManager_->UnregisterControls({this});
  if (value) value->RegisterControls({this});
  ReplaceComponentRef(this, value, styleManager_);
  RequestRedraw();
}

void TXcXPCustomStyleControl::Notification(TComponent* component, TOperation operation) {
  TXcXPCustomControl::Notification(component, operation);
  if (operation == opRemove && static_cast<void*>(component) == static_cast<void*>(styleManager_))
    styleManager_ = nullptr;
}
