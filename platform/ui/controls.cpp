#include "platform/ui/controls.h"

#include <QtCore/QPointer>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <cstring>

#include "platform/gdi/graphics.h"
#include "platform/ui/actions.h"
#include "platform/ui/caret.h"
#include "platform/ui/forms.h"
#include "platform/ui/hints.h"
#include "platform/ui/menus.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/window_dc.h"
#include "platform/ui/windowed.h"

namespace {

TControl* g_captureControl = nullptr;

int Clamp0(int v) { return v < 0 ? 0 : v; }

}  // namespace

TControl* GetCaptureControl() { return g_captureControl; }

void SetCaptureControl(TControl* control) {
  g_captureControl = control;
  if (!control) {
    if (QWidget* w = QWidget::mouseGrabber()) w->releaseMouse();
  }
}

bool IsAccel(uint16_t key, const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    char c = caption[i + 1];
    auto upper = [](int ch) { return (ch >= 'a' && ch <= 'z') ? ch - 'a' + 'A' : ch; };
    return upper(static_cast<unsigned char>(c)) == upper(key);
  }
  return false;
}

TCustomForm* GetParentForm(TControl* control) {
  while (control && control->Parent()) control = control->Parent();
  return dynamic_cast<TCustomForm*>(control);
}

// ------------------------------------------------------------------------------------ TSizeConstraints

void TSizeConstraints::SetMinWidth(int v) {
  if (v == minWidth_) return;
  minWidth_ = Clamp0(v);
  if (maxWidth_ > 0 && minWidth_ > maxWidth_) maxWidth_ = minWidth_;
  Change();
}
void TSizeConstraints::SetMinHeight(int v) {
  if (v == minHeight_) return;
  minHeight_ = Clamp0(v);
  if (maxHeight_ > 0 && minHeight_ > maxHeight_) maxHeight_ = minHeight_;
  Change();
}
void TSizeConstraints::SetMaxWidth(int v) {
  if (v == maxWidth_) return;
  maxWidth_ = Clamp0(v);
  if (maxWidth_ > 0 && minWidth_ > maxWidth_) minWidth_ = maxWidth_;
  Change();
}
void TSizeConstraints::SetMaxHeight(int v) {
  if (v == maxHeight_) return;
  maxHeight_ = Clamp0(v);
  if (maxHeight_ > 0 && minHeight_ > maxHeight_) minHeight_ = maxHeight_;
  Change();
}
void TSizeConstraints::Assign(TPersistent* source) {
  if (auto* o = dynamic_cast<TSizeConstraints*>(source)) {
    minWidth_ = o->minWidth_;
    minHeight_ = o->minHeight_;
    maxWidth_ = o->maxWidth_;
    maxHeight_ = o->maxHeight_;
    Change();
    return;
  }
  TPersistent::Assign(source);
}
void TSizeConstraints::Change() {
  if (control_) control_->SetBounds(control_->Left(), control_->Top(), control_->Width(), control_->Height());
  if (OnChange) OnChange(this);
}

// -------------------------------------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner), constraints_(this), font_(std::make_unique<TFont>()) {
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  Destroying();
  ForgetMouseControl(this);
  ForgetHintControl(this);
  if (g_captureControl == this) g_captureControl = nullptr;
  if (parent_) parent_->RemoveControl(this);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m;
  m.Msg = msg;
  m.WParam = wParam;
  m.LParam = lParam;
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // A press outside a drop-down or a pressed button cancels that mode first.
      if (g_captureControl && g_captureControl != this && !dynamic_cast<TWinControl*>(this)) {
        if (g_captureControl->Parent() != Parent()) SendCancelMode(this);
      }
      break;
    default: break;
  }
  Dispatch(message);
}

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
      WMMouseButton(m);
      return;
    case WM_MOUSEMOVE: WMMouseMove(m); return;
    case WM_MOUSEWHEEL: WMMouseWheel(m); return;
    case WM_CONTEXTMENU: WMContextMenu(m); return;
    case WM_CANCELMODE: WMCancelMode(m); return;
    case CM_MOUSEENTER: CMMouseEnter(m); return;
    case CM_MOUSELEAVE: CMMouseLeave(m); return;
    case CM_HITTEST: CMHitTest(m); return;
    case CM_VISIBLECHANGED: CMVisibleChanged(m); return;
    case CM_ENABLEDCHANGED: CMEnabledChanged(m); return;
    case CM_COLORCHANGED: CMColorChanged(m); return;
    case CM_FONTCHANGED: CMFontChanged(m); return;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(m); return;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(m); return;
    case CM_PARENTSHOWHINTCHANGED: CMParentShowHintChanged(m); return;
    case CM_TEXTCHANGED: CMTextChanged(m); return;
    case CM_HINTSHOW: CMHintShow(m); return;
    case CM_CURSORCHANGED: CMCursorChanged(m); return;
    default: DefaultHandler(m); return;
  }
}

void TControl::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case WM_GETTEXTLENGTH: m.Result = static_cast<LRESULT>(text_.size()); break;
    case WM_GETTEXT: {
      // wParam is the buffer's size with room for the terminating zero; answers the bytes copied.
      auto* buffer = reinterpret_cast<char*>(m.LParam);
      size_t room = static_cast<size_t>(m.WParam);
      if (!buffer || room == 0) {
        m.Result = 0;
        break;
      }
      size_t n = std::min(text_.size(), room - 1);
      std::memcpy(buffer, text_.data(), n);
      buffer[n] = '\0';
      m.Result = static_cast<LRESULT>(n);
      break;
    }
    case WM_SETTEXT:
      text_ = m.LParam ? reinterpret_cast<const char*>(m.LParam) : "";
      m.Result = 1;
      break;
    default: break;
  }
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (parent) {
    parent->InsertControl(this);
    UpdateAnchorRules();
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  DoConstraints(width, height);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (!CanResize(width, height)) {
    width = width_;
    height = height_;
  }
  bool resized = width != width_ || height != height_;
  Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  UpdateAnchorRules();
  Invalidate();
  RequestAlign();
  if (resized) Resize();
}

void TControl::SetClientSize(int width, int height) {
  TRect r = ClientRect();
  SetBounds(left_, top_, width_ - r.Right + width, height_ - r.Bottom + height);
}

TRect TControl::ClientRect() { return Rect(0, 0, width_, height_); }

TPoint TControl::ClientOrigin() {
  // A window's client area starts inside its border, where the toolkit places it on the screen.
  if (auto* w = AsWindowed(this); w && w->HandleAllocated()) {
    WindowRecord* r = w->Record();
    QPoint g = r->widget->mapToGlobal(QPoint(r->insetLeft, r->insetTop));
    return Point(g.x(), g.y());
  }
  if (!parent_) return Point(left_, top_);
  TPoint p = parent_->ClientOrigin();
  return Point(p.X + left_, p.Y + top_);
}

TPoint TControl::ClientToScreen(const TPoint& p) {
  TPoint o = ClientOrigin();
  return Point(p.X + o.X, p.Y + o.Y);
}

TPoint TControl::ScreenToClient(const TPoint& p) {
  TPoint o = ClientOrigin();
  return Point(p.X - o.X, p.Y - o.Y);
}

void TControl::BringToFront() {
  if (!parent_) {
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated()) {
      static_cast<QWidget*>(w->NativeWidget())->raise();
    }
    return;
  }
  auto& list = parent_->controls_;
  list.erase(std::find(list.begin(), list.end(), this));
  list.push_back(this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    static_cast<QWidget*>(w->NativeWidget())->raise();
  Invalidate();
  parent_->Realign();
}

void TControl::SendToBack() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::find(list.begin(), list.end(), this));
  list.insert(list.begin(), this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    static_cast<QWidget*>(w->NativeWidget())->lower();
  Invalidate();
  parent_->Realign();
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  TAlign old = align_;
  align_ = value;
  anchors_ = akLeft | akTop;
  // A control that leaves client or side alignment keeps its last size.
  if (old == alNone || value != alNone) RequestAlign();
  else if (parent_) parent_->Realign();
}

void TControl::SetAnchors(TAnchors value) {
  if (value == anchors_) return;
  anchors_ = value;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (!parent_) {
    anchorRulesValid_ = false;
    return;
  }
  TRect client = parent_->ClientRect();
  anchorRight_ = client.Right - (left_ + width_);
  anchorBottom_ = client.Bottom - (top_ + height_);
  anchorRulesValid_ = true;
}

void TControl::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  if (value) AdjustSize();
}

void TControl::AdjustSize() {
  int w = width_, h = height_;
  if (CanAutoSize(w, h)) SetBounds(left_, top_, w, h);
}

bool TControl::CanAutoSize(int&, int&) { return true; }
bool TControl::CanResize(int&, int&) { return true; }
void TControl::ConstrainedResize(int&, int&, int&, int&) {}

void TControl::DoConstraints(int& width, int& height) {
  int minW = constraints_.MinWidth(), minH = constraints_.MinHeight();
  int maxW = constraints_.MaxWidth(), maxH = constraints_.MaxHeight();
  ConstrainedResize(minW, minH, maxW, maxH);
  if (maxW > 0 && width > maxW) width = maxW;
  if (minW > 0 && width < minW) width = minW;
  if (maxH > 0 && height > maxH) height = maxH;
  if (minH > 0 && height < minH) height = minH;
}

void TControl::ChangeScale(int m, int d) {
  if (d == 0) return;
  SetBounds(left_ * m / d, top_ * m / d, width_ * m / d, height_ * m / d);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::RequestAlign() {
  if (parent_ && (align_ != alNone || anchors_ != (akLeft | akTop))) parent_->Realign();
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  VisibleChanging();
  visible_ = value;
  Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
  RequestAlign();
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  parentColor_ = false;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  if (value && parent_) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

TFont* TControl::Font() { return font_.get(); }

void TControl::SetFont(TFont* value) {
  if (value && value != font_.get()) font_->Assign(*value);
}

void TControl::FontChanged() {
  if (!takingParentFont_) parentFont_ = false;
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  if (value && parent_) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::SetBiDiMode(TBiDiMode value) {
  if (value == biDiMode_) return;
  biDiMode_ = value;
  Perform(CM_BIDIMODECHANGED, 0, 0);
}

void TControl::SetText(const std::string& value) {
  if (value == GetText()) return;
  // The text goes to the window (a native control keeps it there), then the framework hears of it.
  Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
  Perform(CM_TEXTCHANGED, 0, 0);
}

std::string TControl::GetText() {
  LRESULT length = Perform(WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return std::string();
  std::string buffer(static_cast<size_t>(length) + 1, '\0');
  LRESULT n = Perform(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<size_t>(std::clamp<LRESULT>(n, 0, length)));
  return buffer;
}

void TControl::SetShowHint(bool value) {
  if (value == showHint_ && !parentShowHint_) return;
  showHint_ = value;
  parentShowHint_ = false;
  Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool value) {
  if (value == parentShowHint_) return;
  parentShowHint_ = value;
  if (value && parent_) Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TPopupMenu* value) { popupMenu_ = value; }

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && static_cast<void*>(component) == static_cast<void*>(popupMenu_)) popupMenu_ = nullptr;
  if (operation == opRemove && actionLink_ && static_cast<void*>(component) == static_cast<void*>(Action()))
    SetAction(nullptr);
}

TBasicAction* TControl::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

void TControl::SetAction(TBasicAction* value) {
  if (!value) {
    if (TBasicAction* old = Action()) old->RemoveFreeNotification(this);
    actionLink_.reset();
    controlStyle_ &= ~csActionClient;
    return;
  }
  if (value == Action()) return;
  if (TBasicAction* old = Action()) old->RemoveFreeNotification(this);
  controlStyle_ |= csActionClient;
  if (!actionLink_) actionLink_ = CreateActionLink();
  actionLink_->SetAction(value);
  actionLink_->OnChange = [this](TObject* sender) {
    if (sender && sender == Action()) ActionChange(sender, false);
  };
  ActionChange(value, (ComponentState() & csLoading) != 0);
  value->FreeNotification(this);
}

std::unique_ptr<TControlActionLink> TControl::CreateActionLink() {
  return std::make_unique<TControlActionLink>(this);
}

void TControl::ActionChange(TObject* sender, bool checkDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  if (!checkDefaults || Caption().empty()) SetCaption(a->Caption());
  if (!checkDefaults || Enabled()) SetEnabled(a->Enabled());
  if (!checkDefaults || hint_.empty()) SetHint(a->Hint());
  if (!checkDefaults || Visible()) SetVisible(a->Visible());
}

bool TControl::MouseCapture() const { return g_captureControl == this; }

void TControl::SetMouseCapture(bool value) {
  if (value == MouseCapture()) return;
  if (value) {
    g_captureControl = this;
    TWinControl* w = dynamic_cast<TWinControl*>(this);
    if (!w) w = parent_;
    if (w && w->HandleAllocated()) w->SetCaptureWindow(true);
  } else {
    SetCaptureControl(nullptr);
  }
}

void TControl::Invalidate() {
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
}

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  // An opaque control covers all of its rectangle: it paints at once through its parent's DC, with
  // nothing erased under it and without the rest of the parent's update region; the controls above
  // it paint again over it. A hidden or natively painted parent waits for its paint instead.
  if (visible_ && parent_ && (controlStyle_ & csOpaque) && parent_->HandleAllocated()) {
    WindowRecord* r = parent_->Record();
    if (r && r->customDrawn && r->widget->isVisible()) {
      HWND window = parent_->Handle();
      if (HDC dc = GetDC(window)) {
        IntersectClipRect(dc, left_, top_, left_ + width_, top_ + height_);
        // The caret is taken off while painting under it, as for a paint.
        CaretPaintStarts(window);
        try {
          parent_->PaintControls(dc, this);
        } catch (...) {
          CaretPaintEnds(window);
          ReleaseDC(window, dc);
          throw;
        }
        CaretPaintEnds(window);
        ReleaseDC(window, dc);
        return;
      }
    }
  }
  Invalidate();
  Update();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
  else if (actionLink_) actionLink_->Execute(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

HWND TControl::ParentWindow() const { return parent_ ? parent_->Handle() : nullptr; }

TCustomForm* TControl::ParentForm() const { return GetParentForm(const_cast<TControl*>(this)); }

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  return handled;
}

void TControl::DoContextPopup(TPoint mousePos, bool& handled) {
  if (OnContextPopup) OnContextPopup(this, mousePos, handled);
}

void TControl::SendCancelMode(TControl* sender) {
  TControl* c = g_captureControl;
  if (c && c != sender) c->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(sender));
}

TShiftState MouseKeysToShiftState(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

void TControl::WMMouseButton(TMessage& m) {
  int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  TShiftState shift = MouseKeysToShiftState(m.WParam);
  TMouseButton button = mbLeft;
  bool down = false, dbl = false;
  switch (m.Msg) {
    case WM_LBUTTONDOWN: down = true; break;
    case WM_LBUTTONDBLCLK: down = dbl = true; break;
    case WM_RBUTTONDOWN: button = mbRight; down = true; break;
    case WM_RBUTTONDBLCLK: button = mbRight; down = dbl = true; break;
    case WM_MBUTTONDOWN: button = mbMiddle; down = true; break;
    case WM_MBUTTONDBLCLK: button = mbMiddle; down = dbl = true; break;
    case WM_RBUTTONUP: button = mbRight; break;
    case WM_MBUTTONUP: button = mbMiddle; break;
    default: break;
  }
  if (down) {
    // A left press ends a mode the form's active control is in (a drop-down open, say): it is told
    // which control was pressed, unless that is itself.
    if (button == mbLeft)
      if (TCustomForm* form = GetParentForm(this))
        if (TWinControl* active = form->ActiveControl(); active && active != this)
          active->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(this));
    if ((controlStyle_ & csCaptureMouse) && button == mbLeft) SetMouseCapture(true);
    if (button == mbLeft) {
      controlState_ |= csLButtonDown;
      if (controlStyle_ & csClickEvents) controlState_ |= csClicked;
    }
    if (dbl) {
      shift |= ssDouble;
      // Controls with click events make their double click from the mouse; native ones report it.
      if (button == mbLeft && (controlStyle_ & csClickEvents)) DblClick();
    }
    if (!(controlStyle_ & csNoStdEvents)) MouseDown(button, shift, x, y);
  } else {
    if (button == mbLeft) {
      if (controlStyle_ & csCaptureMouse) SetMouseCapture(false);
      controlState_ &= ~csLButtonDown;
      if (controlState_ & csClicked) {
        controlState_ &= ~csClicked;
        if (PtInRect(ClientRect(), Point(x, y))) Click();
      }
    }
    if (!(controlStyle_ & csNoStdEvents)) MouseUp(button, shift, x, y);
  }
  DefaultHandler(m);
}

void TControl::WMMouseMove(TMessage& m) {
  if (!(controlStyle_ & csNoStdEvents)) MouseMove(MouseKeysToShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  DefaultHandler(m);
}

void TControl::WMMouseWheel(TMessage& m) {
  int delta = static_cast<int16_t>(HIWORD(m.WParam));
  TPoint pos = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  if (DoMouseWheel(MouseKeysToShiftState(LOWORD(m.WParam)), delta, pos)) {
    m.Result = 1;
    return;
  }
  // Not taken here: the parent may scroll.
  if (parent_) {
    m.Result = parent_->Perform(m.Msg, m.WParam, m.LParam);
    return;
  }
  DefaultHandler(m);
}

void TControl::WMContextMenu(TMessage& m) {
  if (m.Result != 0) return;
  TPoint pos = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  // (-1, -1) comes from the keyboard: the menu goes to the control's corner.
  bool fromKeyboard = pos.X == -1 && pos.Y == -1;
  bool handled = false;
  DoContextPopup(fromKeyboard ? Point(-1, -1) : ScreenToClient(pos), handled);
  if (handled) {
    m.Result = 1;
    return;
  }
  if (popupMenu_ && popupMenu_->AutoPopup()) {
    SendCancelMode(nullptr);
    popupMenu_->SetPopupComponent(this);
    if (fromKeyboard) pos = ClientToScreen(Point(0, 0));
    popupMenu_->Popup(pos.X, pos.Y);
    m.Result = 1;
    return;
  }
  // Not this control's: its parent's menu, as the platform hands the message up.
  if (parent_) {
    m.Result = parent_->Perform(WM_CONTEXTMENU, m.WParam, m.LParam);
    return;
  }
  DefaultHandler(m);
}

void TControl::WMCancelMode(TMessage& m) {
  if (MouseCapture()) SetMouseCapture(false);
  controlState_ &= ~(csLButtonDown | csClicked);
  DefaultHandler(m);
}

void TControl::CMMouseEnter(TMessage& m) {
  if (m.LParam == 0) mouseInside_ = true;
  if (parent_) parent_->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(this));
  if (m.LParam == 0 && mouseEventsMuted_ == 0 && OnMouseEnter) OnMouseEnter(this);
}

void TControl::CMMouseLeave(TMessage& m) {
  if (m.LParam == 0) mouseInside_ = false;
  if (parent_) parent_->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(this));
  if (m.LParam == 0 && mouseEventsMuted_ == 0 && OnMouseLeave) OnMouseLeave(this);
}

void TControl::CMHitTest(TMessage& m) { m.Result = 1; /* HTCLIENT */ }

void TControl::CMVisibleChanged(TMessage&) {
  // Shown or hidden, the place it takes on its parent is painted again.
  if (parent_) parent_->InvalidateRect(BoundsRect());
}

void TControl::CMEnabledChanged(TMessage&) { Invalidate(); }

void TControl::CMColorChanged(TMessage&) { Invalidate(); }

void TControl::CMFontChanged(TMessage&) {
  Invalidate();
  if (autoSize_) AdjustSize();
}

void TControl::CMParentColorChanged(TMessage&) {
  if (!parentColor_ || !parent_) return;
  if (color_ != parent_->Color()) {
    color_ = parent_->Color();
    Perform(CM_COLORCHANGED, 0, 0);
  }
  parentColor_ = true;
}

void TControl::CMParentFontChanged(TMessage&) {
  if (!parentFont_ || !parent_) return;
  // The parent's font, taken without giving up ParentFont.
  takingParentFont_ = true;
  try {
    font_->Assign(*parent_->Font());
  } catch (...) {
    takingParentFont_ = false;
    throw;
  }
  takingParentFont_ = false;
}

void TControl::CMParentShowHintChanged(TMessage&) {
  if (parentShowHint_ && parent_) showHint_ = parent_->ShowHint();
}

void TControl::CMTextChanged(TMessage&) {
  Invalidate();
  if (autoSize_) AdjustSize();
}

void TControl::CMHintShow(TMessage&) {}

void TControl::CMCursorChanged(TMessage&) {}

// ------------------------------------------------------------------------------------- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
}

TGraphicControl::~TGraphicControl() {
  Destroying();
  canvas_->SetControl(nullptr);
}

TControlCanvas* TGraphicControl::Canvas() { return canvas_.get(); }

void TGraphicControl::Dispatch(TMessage& m) {
  if (m.Msg == WM_PAINT) {
    WMPaint(m);
    return;
  }
  TControl::Dispatch(m);
}

void TGraphicControl::WMPaint(TMessage& m) {
  if (!m.WParam) return;
  // The parent's paint DC, already moved to this control and clipped to it.
  canvas_->PaintWith(reinterpret_cast<HDC>(m.WParam), [this] { Paint(); });
}

// -------------------------------------------------------------------------------------- TCustomControl

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
}

TCustomControl::~TCustomControl() {
  Destroying();
  canvas_->SetControl(nullptr);
}

TControlCanvas* TCustomControl::Canvas() { return canvas_.get(); }

void TCustomControl::PaintWindow(HDC dc) { canvas_->PaintWith(dc, [this] { Paint(); }); }
