// TWinControl: the window, its children, alignment, focus and keys.
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <typeinfo>

#include "platform/gdi/graphics.h"
#include "platform/gdi/qt_font_p.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/window_dc.h"
#include "platform/ui/windowed.h"

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
  controlStyle_ |= csAcceptsControls;
}

TWinControl::~TWinControl() {
  Destroying();
  if (TCustomForm* form = GetParentForm(this); form && form != this) form->DefocusControl(this, true);
  // Children go with their parent, the last first; owned ones are freed by their owner as usual.
  while (!controls_.empty()) {
    TControl* c = controls_.back();
    RemoveControl(c);
    delete c;
  }
  if (record_) DestroyHandle();
}

// ---------------------------------------------------------------------------------------------- handle

HWND TWinControl::Handle() {
  HandleNeeded();
  return record_ ? record_->handle : nullptr;
}

bool TWinControl::HandleAllocated() const { return record_ != nullptr; }

void TWinControl::HandleNeeded() {
  if (record_) return;
  if (parent_) parent_->HandleNeeded();
  if (!record_) CreateHandle();
}

void* TWinControl::NativeWidget() {
  HandleNeeded();
  return record_ ? record_->widget : nullptr;
}

void TWinControl::CreateParams(TCreateParams& params) {
  params = TCreateParams();
  params.Caption = text_;
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (controlStyle_ & csAcceptsControls) params.Style |= WS_CLIPCHILDREN;
  if (tabStop_) params.Style |= WS_TABSTOP;
  if (!enabled_) params.Style |= WS_DISABLED;
  params.X = left_;
  params.Y = top_;
  params.Width = width_;
  params.Height = height_;
  params.WndParent = parent_ && parent_->HandleAllocated() ? parent_->Handle() : nullptr;
  params.WindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
}

void TWinControl::CreateHandle() {
  if (record_) return;
  controlState_ |= csCreating;
  try {
    CreateWnd();
  } catch (...) {
    controlState_ &= ~csCreating;
    throw;
  }
  controlState_ &= ~csCreating;
  // Children get their windows with their parent.
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
}

void* TWinControl::CreateWidget() { return new TBridgeWidget<QWidget>(record_.get()); }

void TWinControl::CreateWnd() {
  CreateParams(params_);
  record_ = std::make_unique<WindowRecord>();
  record_->control = this;
  QWidget* parentWidget = nullptr;
  if (parent_ && parent_->record_) parentWidget = parent_->record_->widget;
  QWidget* w = static_cast<QWidget*>(CreateWidget());
  record_->widget = w;
  record_->customDrawn = !w->inherits("QAbstractButton") && !w->inherits("QLineEdit") &&
                         !w->inherits("QAbstractScrollArea") && !w->inherits("QComboBox") &&
                         !w->inherits("QAbstractSpinBox") && !w->inherits("QAbstractSlider") &&
                         !w->inherits("QProgressBar") && !w->inherits("QTabWidget") && !w->inherits("QLabel") &&
                         !w->inherits("QGroupBox") && !w->inherits("QStatusBar") && !w->inherits("QTabBar");
  RegisterWindowRecord(record_.get());
  WatchFocusChanges();
  if (parentWidget) w->setParent(parentWidget);
  w->setAttribute(Qt::WA_Hover, false);
  w->setMouseTracking(true);
  if (record_->customDrawn) {
    w->setAttribute(Qt::WA_OpaquePaintEvent, true);
    w->setAttribute(Qt::WA_NoSystemBackground, true);
  }
  w->setFocusPolicy(tabStop_ ? Qt::StrongFocus : (record_->customDrawn ? Qt::NoFocus : Qt::ClickFocus));
  ApplyWidgetState();
  Perform(WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), 0);
  Perform(WM_CREATE, 0, 0);
}

TWinControl* AsWindowed(TControl* control) {
  if (!control) return nullptr;
  struct Known {
    const std::type_info* type = nullptr;
    bool windowed = false;
  };
  constexpr unsigned kKnown = 8;
  thread_local Known known[kKnown];
  thread_local unsigned next = 0;
  const std::type_info* type = &typeid(*control);
  for (const Known& k : known)
    if (k.type == type) return k.windowed ? static_cast<TWinControl*>(control) : nullptr;
  TWinControl* w = dynamic_cast<TWinControl*>(control);
  known[next++ % kKnown] = {type, w != nullptr};
  return w;
}

namespace {
// The control whose bounds alone are being applied (SetBounds): its font and colours are as they
// were, since their changes are applied when they happen.
thread_local const TWinControl* g_boundsOnly = nullptr;
}  // namespace

void TWinControl::ApplyWidgetState() {
  if (!record_) return;
  QWidget* w = record_->widget;
  // Borders are drawn inside the widget: the client area sits within them.
  int inset = 0;
  if (params_.Style & WS_BORDER) inset += 1;
  if (params_.ExStyle & WS_EX_CLIENTEDGE) inset += 2;
  if (params_.ExStyle & WS_EX_STATICEDGE) inset += 1;
  if (bevelKind_ != bkNone) {
    int bw = (bevelInner_ != bvNone ? 1 : 0) + (bevelOuter_ != bvNone ? 1 : 0);
    if (bevelKind_ == bkFlat) bw = 1;
    inset += bw;
  }
  inset += borderWidth_;
  record_->insetLeft = record_->insetTop = record_->insetRight = record_->insetBottom = inset;
  int px = 0, py = 0;
  if (parent_ && parent_->record_) {
    px = parent_->record_->insetLeft;
    py = parent_->record_->insetTop;
  }
  if (parent_ || dynamic_cast<TCustomForm*>(this) == nullptr) w->setGeometry(left_ + px, top_ + py, width_, height_);
  else {
    w->resize(width_, height_);
    w->move(left_, top_);
  }
  w->setEnabled(enabled_);
  if (parent_) w->setVisible(visible_);
  if (g_boundsOnly != this) ApplyWidgetFont();
  LayoutWindowScrollBars(record_.get());
}

void TWinControl::ApplyWidgetFont() {
  if (!record_) return;
  QWidget* w = record_->widget;
  QFont font = QtFontOf(font_->Handle());
  if (!record_->fontApplied || !(font == record_->appliedFont)) {
    w->setFont(font);
    record_->appliedFont = font;
    record_->fontApplied = true;
    // The window hears of its new font, as the framework tells it with WM_SETFONT (once the window
    // is made: CreateWnd tells it then).
    if (!(controlState_ & csCreating)) Perform(WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), 1);
  }
  if (record_->customDrawn) return;
  // A native control shows its text in the font's colour, and an editor its field in the control's.
  QPalette pal = w->palette();
  COLORREF text = ColorToRGB(font_->Color());
  QColor textColor(GetRValue(text), GetGValue(text), GetBValue(text));
  pal.setColor(QPalette::WindowText, textColor);
  pal.setColor(QPalette::Text, textColor);
  pal.setColor(QPalette::ButtonText, textColor);
  if (w->inherits("QLineEdit") || w->inherits("QAbstractScrollArea") || w->inherits("QComboBox")) {
    COLORREF back = ColorToRGB(color_);
    pal.setColor(QPalette::Base, QColor(GetRValue(back), GetGValue(back), GetBValue(back)));
  }
  w->setPalette(pal);
}

void TWinControl::DestroyHandle() {
  if (!record_) return;
  controlState_ |= csDestroyingHandle;
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  DestroyWnd();
  controlState_ &= ~csDestroyingHandle;
}

void TWinControl::DestroyWnd() {
  if (!record_) return;
  SaveWindowState();
  Perform(WM_DESTROY, 0, 0);
  ReleaseWindowDCs(record_.get());
  std::unique_ptr<WindowRecord> record = std::move(record_);
  *record->alive = false;
  UnregisterWindowRecord(record.get());
  QWidget* w = record->widget;
  // The widget stops talking to the control at once; while it is inside its own event handling it is
  // freed later by the event loop, otherwise now.
  if (auto* bridge = dynamic_cast<TBridgeWidget<QWidget>*>(w)) bridge->Detach();
  QMetaObject::invokeMethod(w, "hide");
  w->hide();
  w->setParent(nullptr);
  if (!record->frames.empty()) w->deleteLater();
  else delete w;
  // Every bridge class also sees the record's alive flag go false and stops using the record.
}

void TWinControl::RecreateWnd() {
  if (!record_) return;
  DestroyHandle();
  UpdateControlState();
}

void TWinControl::UpdateControlState() {
  if (parent_ && parent_->HandleAllocated()) CreateHandle();
  else if (!parent_ && visible_ && dynamic_cast<TCustomForm*>(this)) CreateHandle();
  if (record_ && !parent_ && visible_) record_->widget->show();
}

void TWinControl::SetCaptureWindow(bool capture) {
  if (!record_) return;
  if (capture) record_->widget->grabMouse();
  else record_->widget->releaseMouse();
}

// -------------------------------------------------------------------------------------------- children

void TWinControl::InsertControl(TControl* control) {
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 1);
  control->parent_ = this;
  controls_.push_back(control);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    tabList_.push_back(w);
    if (record_) {
      if (w->record_) {
        w->record_->widget->setParent(record_->widget);
        w->ApplyWidgetState();
      } else {
        w->CreateHandle();
      }
    }
  }
  if (control->parentColor_) control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
  if (control->parentFont_) control->Perform(CM_PARENTFONTCHANGED, 0, 0);
  if (control->parentShowHint_) control->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
  control->Invalidate();
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control), 1);
  Realign();
}

void TWinControl::RemoveControl(TControl* control) {
  if (control->parent_ != this) return;
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control), 0);
  control->Invalidate();
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(w, true);
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
    // A window without a parent has no place on the screen: it is made again when it gets one.
    if (w->record_) w->DestroyHandle();
  }
  ForgetMouseControl(control);
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  control->parent_ = nullptr;
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 0);
  if (!(ComponentState() & csDestroying)) Realign();
}

bool TWinControl::ContainsControl(TControl* control) const {
  while (control && control != this) control = control->Parent();
  return control == this;
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls) {
  for (size_t i = controls_.size(); i-- > 0;) {
    TControl* c = controls_[i];
    if (!allowWinControls && dynamic_cast<TWinControl*>(c)) continue;
    if (!c->Visible() || !(c->Enabled() || allowDisabled)) continue;
    if (!PtInRect(c->BoundsRect(), pos)) continue;
    if (c->Perform(CM_HITTEST, 0, MAKELPARAM(pos.X - c->Left(), pos.Y - c->Top())) != 0) return c;
  }
  return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
  for (size_t i = 0; i < controls_.size(); ++i) {
    TControl* c = controls_[i];
    c->WndProc(message);
    if (message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT msg) {
  TMessage m;
  m.Msg = msg;
  Broadcast(m);
}

void TWinControl::DisableAlign() { ++alignLevel_; }

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0 && --alignLevel_ == 0 && (controlState_ & csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() {
  if (alignLevel_ != 0 || (ComponentState() & csDestroying)) {
    controlState_ |= csAlignmentNeeded;
    return;
  }
  AlignAll();
}

void TWinControl::AlignAll() {
  controlState_ &= ~csAlignmentNeeded;
  TRect rect = ClientRect();
  ++alignLevel_;  // the SetBounds calls below must not start another pass
  try {
    AlignControls(nullptr, rect);
  } catch (...) {
    --alignLevel_;
    throw;
  }
  --alignLevel_;
}

void TWinControl::AdjustClientRect(TRect&) {}

bool TWinControl::CustomAlignInsertBefore(TControl*, TControl*) { return false; }

void TWinControl::CustomAlignPosition(TControl*, int&, int&, int&, int&, TRect&) {}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  AdjustClientRect(rect);
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient, alCustom}) DoAlign(a, rect, control);
}

void TWinControl::DoAlign(TAlign align, TRect& rect, TControl* moved) {
  std::vector<TControl*> list;
  for (TControl* c : controls_)
    if (c->align_ == align && c->visible_) list.push_back(c);
  auto before = [align, moved, this](TControl* a, TControl* b) {
    switch (align) {
      case alTop: return a->top_ < b->top_ || (a->top_ == b->top_ && a == moved);
      case alBottom: return a->top_ + a->height_ > b->top_ + b->height_ || (a->top_ + a->height_ == b->top_ + b->height_ && a == moved);
      case alLeft: return a->left_ < b->left_ || (a->left_ == b->left_ && a == moved);
      case alRight: return a->left_ + a->width_ > b->left_ + b->width_ || (a->left_ + a->width_ == b->left_ + b->width_ && a == moved);
      case alCustom: return CustomAlignInsertBefore(a, b);
      default: return false;
    }
  };
  std::stable_sort(list.begin(), list.end(), before);
  for (TControl* c : list) {
    int w = c->width_, h = c->height_;
    switch (align) {
      case alTop:
        c->SetBounds(rect.Left, rect.Top, rect.Width(), h);
        rect.Top += c->height_;
        break;
      case alBottom:
        c->SetBounds(rect.Left, rect.Bottom - h, rect.Width(), h);
        rect.Bottom -= c->height_;
        break;
      case alLeft:
        c->SetBounds(rect.Left, rect.Top, w, rect.Height());
        rect.Left += c->width_;
        break;
      case alRight:
        c->SetBounds(rect.Right - w, rect.Top, w, rect.Height());
        rect.Right -= c->width_;
        break;
      case alClient: c->SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height()); break;
      case alCustom: {
        int l = c->left_, t = c->top_;
        CustomAlignPosition(c, l, t, w, h, rect);
        c->SetBounds(l, t, w, h);
        break;
      }
      default: break;
    }
  }
}

void TWinControl::UpdateAnchorsOfChildren(int oldW, int oldH) {
  TRect client = ClientRect();
  int dw = client.Right - oldW, dh = client.Bottom - oldH;
  if (dw == 0 && dh == 0) return;
  ++alignLevel_;
  for (TControl* c : controls_) {
    if (c->align_ != alNone || !c->anchorRulesValid_) continue;
    int l = c->left_, t = c->top_, w = c->width_, h = c->height_;
    TAnchors a = c->anchors_;
    if (a & akRight) {
      if (a & akLeft) w = client.Right - c->anchorRight_ - l;
      else l = client.Right - c->anchorRight_ - w;
    } else if (!(a & akLeft)) {
      l += dw / 2;
    }
    if (a & akBottom) {
      if (a & akTop) h = client.Bottom - c->anchorBottom_ - t;
      else t = client.Bottom - c->anchorBottom_ - h;
    } else if (!(a & akTop)) {
      t += dh / 2;
    }
    int keepR = c->anchorRight_, keepB = c->anchorBottom_;
    c->SetBounds(l, t, std::max(w, 0), std::max(h, 0));
    // The gaps stay what they were, so shrinking below the control and growing again restores it.
    if (a & akRight) c->anchorRight_ = keepR;
    if (a & akBottom) c->anchorBottom_ = keepB;
  }
  --alignLevel_;
}

// ------------------------------------------------------------------------------------------- geometry

void TWinControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  DoConstraints(width, height);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (!CanResize(width, height)) {
    width = width_;
    height = height_;
  }
  TRect oldClient = ClientRect();
  bool resized = width != width_ || height != height_;
  bool moved = left != left_ || top != top_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  UpdateAnchorRules();
  if (record_) {
    const TWinControl* outer = g_boundsOnly;
    g_boundsOnly = this;
    struct Restore {
      const TWinControl* outer;
      ~Restore() { g_boundsOnly = outer; }
    } restore{outer};
    ApplyWidgetState();
  }
  if (moved) Perform(WM_MOVE, 0, MAKELPARAM(left, top));
  if (resized) {
    TRect c = ClientRect();
    UpdateAnchorsOfChildren(oldClient.Right, oldClient.Bottom);
    Perform(WM_SIZE, 0, MAKELPARAM(c.Right, c.Bottom));
  }
  RequestAlign();
}

TRect TWinControl::ClientRect() {
  int l = 0, t = 0, r = 0, b = 0;
  if (record_) {
    l = record_->insetLeft;
    t = record_->insetTop;
    r = record_->insetRight;
    b = record_->insetBottom;
  }
  if (record_) {
    r += record_->ScrollBarRight();
    b += record_->ScrollBarBottom();
  }
  return Rect(0, 0, std::max(width_ - l - r, 0), std::max(height_ - t - b, 0));
}

bool TWinControl::Showing() const { return record_ && record_->widget->isVisible(); }

void TWinControl::SetParent(TWinControl* parent) {
  TControl::SetParent(parent);
}

// ---------------------------------------------------------------------------------------------- focus

bool TWinControl::CanFocus() {
  TCustomForm* form = GetParentForm(this);
  if (!form) return false;
  for (TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  TCustomForm* form = GetParentForm(this);
  if (form) form->FocusControl(this);
  else if (record_) record_->widget->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() { return record_ && record_->widget->hasFocus(); }

int TWinControl::TabOrder() {
  if (!parent_) return -1;
  auto& list = parent_->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
  if (!parent_) return;
  auto& list = parent_->tabList_;
  int cur = TabOrder();
  if (cur < 0) return;
  value = std::clamp(value, 0, static_cast<int>(list.size()) - 1);
  list.erase(list.begin() + cur);
  list.insert(list.begin() + value, this);
}

void TWinControl::SetTabStop(bool value) {
  if (value == tabStop_) return;
  tabStop_ = value;
  if (record_) record_->widget->setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
  Perform(CM_TABSTOPCHANGED, 0, 0);
}

std::vector<TWinControl*> TWinControl::GetTabOrderList() {
  std::vector<TWinControl*> out;
  for (TWinControl* w : tabList_) {
    out.push_back(w);
    auto sub = w->GetTabOrderList();
    out.insert(out.end(), sub.begin(), sub.end());
  }
  return out;
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent) {
  std::vector<TWinControl*> list = GetTabOrderList();
  if (list.empty()) return nullptr;
  int n = static_cast<int>(list.size());
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (list[i] == current) start = i;
  if (start < 0) start = goForward ? n - 1 : 0;
  int i = start;
  for (int step = 0; step < n; ++step) {
    i = goForward ? (i + 1) % n : (i - 1 + n) % n;
    TWinControl* c = list[i];
    if (c == current && step < n - 1) continue;
    if ((!checkTabStop || c->TabStop()) && (!checkParent || c->Parent() == this) && c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop);
  if (next) next->SetFocus();
}

// ----------------------------------------------------------------------------------------------- look

void TWinControl::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  parentCtl3D_ = false;
  Perform(CM_CTL3DCHANGED, 0, 0);
}

void TWinControl::SetParentCtl3D(bool value) {
  if (value == parentCtl3D_) return;
  parentCtl3D_ = value;
  if (value && parent_) ctl3D_ = parent_->Ctl3D();
}

void TWinControl::SetBorderWidth(int value) {
  value = std::max(value, 0);
  if (value == borderWidth_) return;
  borderWidth_ = value;
  Perform(CM_BORDERCHANGED, 0, 0);
}

void TWinControl::SetBevelKind(TBevelKind value) {
  if (value == bevelKind_) return;
  bevelKind_ = value;
  Perform(CM_BORDERCHANGED, 0, 0);
}

void TWinControl::SetBevelInner(TBevelCut value) {
  if (value == bevelInner_) return;
  bevelInner_ = value;
  Perform(CM_BORDERCHANGED, 0, 0);
}

void TWinControl::SetBevelOuter(TBevelCut value) {
  if (value == bevelOuter_) return;
  bevelOuter_ = value;
  Perform(CM_BORDERCHANGED, 0, 0);
}

void TWinControl::SetBevelEdges(TBevelEdges value) {
  if (value == bevelEdges_) return;
  bevelEdges_ = value;
  Perform(CM_BORDERCHANGED, 0, 0);
}

void TWinControl::SetBevelWidth(int value) {
  value = std::max(value, 1);
  if (value == bevelWidth_) return;
  bevelWidth_ = value;
  Perform(CM_BORDERCHANGED, 0, 0);
}

void TWinControl::CMBorderChanged(TMessage&) {
  // The frame takes another width: the client area and what is aligned in it follow.
  if (record_) ApplyWidgetState(), Realign();
  Invalidate();
}

// ------------------------------------------------------------------------------------------- painting

void TWinControl::Invalidate() {
  if (record_) InvalidateWindowRect(record_.get(), nullptr, !(controlStyle_ & csOpaque));
}

void TWinControl::InvalidateRect(const TRect& r) {
  // A windowless child's area: the background goes first, under it.
  if (record_) InvalidateWindowRect(record_.get(), &r, true);
}

void TWinControl::Update() {
  if (record_) UpdateWindow(record_->handle);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

namespace {

// The picture a window the toolkit paints shows of itself (its frame included, its child windows
// not), copied into dc with the window's top-left corner at (x, y).
void CopyNativePicture(WindowRecord* record, TColor color, HDC dc, int x, int y) {
  QWidget* w = record->widget;
  QImage picture(w->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  COLORREF rgb = ColorToRGB(color);
  picture.fill(QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)));
  w->render(&picture, QPoint(), QRegion(), QWidget::DrawWindowBackground);
  HDC src = CreateSurfaceDC(picture.bits(), picture.width(), picture.height(), picture.bytesPerLine(), 32);
  BitBlt(dc, x, y, picture.width(), picture.height(), src, 0, 0, SRCCOPY);
  DeleteDC(src);
}

// A solid fill of a rectangle in a framework colour. Windows erase in a few colours over and over:
// the brushes of the last four are kept (UI thread only) rather than made and freed at every erase.
void FillColor(HDC dc, const TRect& r, TColor color) {
  struct Kept {
    COLORREF rgb = 0;
    HBRUSH brush = nullptr;
  };
  static Kept kept[4];
  static unsigned next = 0;
  const COLORREF rgb = ColorToRGB(color);
  HBRUSH b = nullptr;
  for (Kept& k : kept)
    if (k.brush && k.rgb == rgb) b = k.brush;
  if (!b) {
    Kept& k = kept[next++ % 4];
    if (k.brush) DeleteObject(k.brush);
    k.rgb = rgb;
    k.brush = b = CreateSolidBrush(rgb);
  }
  FillRect(dc, &r, b);
}

}  // namespace

void TWinControl::PaintBorder(HDC dc) {
  if (!record_) return;
  TRect r = Rect(0, 0, width_, height_);
  if (params_.Style & WS_BORDER) {
    HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_WINDOWFRAME));
    FrameRect(dc, &r, b);
    DeleteObject(b);
    InflateRect(r, -1, -1);
  }
  if (params_.ExStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  if (params_.ExStyle & WS_EX_STATICEDGE) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  if (bevelKind_ != bkNone) {
    static const uint32_t kInner[] = {0, BDR_SUNKENINNER, BDR_RAISEDINNER, 0};
    static const uint32_t kOuter[] = {0, BDR_SUNKENOUTER, BDR_RAISEDOUTER, 0};
    static const uint32_t kKind[] = {0, 0, BF_SOFT, BF_FLAT};
    uint32_t edge = kInner[bevelInner_] | kOuter[bevelOuter_];
    uint32_t flags = bevelEdges_ | kKind[bevelKind_] | (ctl3D_ ? 0u : static_cast<uint32_t>(BF_MONO)) | BF_ADJUST;
    if (edge) DrawEdge(dc, &r, edge, flags);
  }
  // What lies between the edges and the client area (the border width) takes the control's colour.
  TRect client = Bounds(record_->insetLeft, record_->insetTop, width_ - record_->insetLeft - record_->insetRight,
                        height_ - record_->insetTop - record_->insetBottom);
  if (client.Left > r.Left || client.Top > r.Top || client.Right < r.Right || client.Bottom < r.Bottom) {
    int saved = SaveDC(dc);
    ExcludeClipRect(dc, client.Left, client.Top, client.Right, client.Bottom);
    FillColor(dc, r, color_);
    RestoreDC(dc, saved);
  }
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  size_t start = 0;
  if (first) {
    auto it = std::find(controls_.begin(), controls_.end(), first);
    if (it == controls_.end()) return;
    start = static_cast<size_t>(it - controls_.begin());
  }
  TRect clip;
  GetClipBox(dc, &clip);
  for (size_t i = start; i < controls_.size(); ++i) {
    TControl* c = controls_[i];
    if (!c->Visible()) continue;
    TRect bounds = c->BoundsRect(), meet;
    // The cheap tests first: most children of a large window lie outside a small paint.
    if (!IntersectRect(meet, bounds, clip) || AsWindowed(c)) continue;
    int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, c->Left(), c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    try {
      c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    } catch (...) {
      RestoreDC(dc, saved);
      throw;
    }
    RestoreDC(dc, saved);
  }
}

void TWinControl::PaintWindowContent(HDC dc) {
  HandleNeeded();
  if (!record_) return;
  int saved = SaveDC(dc);
  try {
    TRect client = ClientRect();
    IntersectClipRect(dc, 0, 0, client.Right, client.Bottom);
    if (record_->customDrawn) {
      Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
      PaintWindow(dc);
    } else {
      CopyNativePicture(record_.get(), color_, dc, -record_->insetLeft, -record_->insetTop);
    }
  } catch (...) {
    RestoreDC(dc, saved);
    throw;
  }
  RestoreDC(dc, saved);
}

void TWinControl::PaintTo(HDC dc, int x, int y) {
  HandleNeeded();
  if (!record_) return;
  controlState_ |= csPaintCopy;
  int saved = SaveDC(dc);
  try {
    OffsetViewportOrgEx(dc, x, y, nullptr);
    IntersectClipRect(dc, 0, 0, width_, height_);
    if (record_->customDrawn) {
      PaintBorder(dc);
      OffsetViewportOrgEx(dc, record_->insetLeft, record_->insetTop, nullptr);
      TRect client = ClientRect();
      IntersectClipRect(dc, 0, 0, client.Right, client.Bottom);
      Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
      Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    } else {
      CopyNativePicture(record_.get(), color_, dc, 0, 0);
      OffsetViewportOrgEx(dc, record_->insetLeft, record_->insetTop, nullptr);
      PaintControls(dc, nullptr);
    }
    for (TControl* c : controls_) {
      auto* w = dynamic_cast<TWinControl*>(c);
      if (w && w->Visible()) w->PaintTo(dc, w->Left(), w->Top());
    }
  } catch (...) {
    RestoreDC(dc, saved);
    controlState_ &= ~csPaintCopy;
    throw;
  }
  RestoreDC(dc, saved);
  controlState_ &= ~csPaintCopy;
}

void TWinControl::PaintTo(TCanvas* canvas, int x, int y) {
  canvas->Lock();
  try {
    PaintTo(canvas->Handle(), x, y);
  } catch (...) {
    canvas->Unlock();
    throw;
  }
  canvas->Unlock();
}

void TWinControl::PaintHandler(TMessage& m) {
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  PAINTSTRUCT ps;
  if (!dc) dc = BeginPaint(Handle(), &ps);
  if (!dc) return;
  try {
    int saved = SaveDC(dc);
    PaintWindow(dc);
    RestoreDC(dc, saved);
    PaintControls(dc, nullptr);
  } catch (...) {
    if (!m.WParam) EndPaint(Handle(), &ps);
    throw;
  }
  if (!m.WParam) EndPaint(Handle(), &ps);
}

// ------------------------------------------------------------------------------------ message routing

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT: WMPaint(m); return;
    case WM_NCPAINT: WMNCPaint(m); return;
    case WM_ERASEBKGND: WMEraseBkgnd(m); return;
    case WM_SIZE: WMSize(m); return;
    case WM_MOVE: WMMove(m); return;
    case WM_SETFOCUS: WMSetFocus(m); return;
    case WM_KILLFOCUS: WMKillFocus(m); return;
    case WM_KEYDOWN: case WM_SYSKEYDOWN: WMKeyDown(m); return;
    case WM_KEYUP: case WM_SYSKEYUP: WMKeyUp(m); return;
    case WM_CHAR: case WM_SYSCHAR: WMChar(m); return;
    case WM_GETDLGCODE: WMGetDlgCode(m); return;
    case WM_SETCURSOR: WMSetCursor(m); return;
    case WM_PRINTCLIENT: WMPrintClient(m); return;
    case WM_CHANGEUISTATE: WMChangeUIState(m); return;
    case WM_QUERYUISTATE: WMQueryUIState(m); return;
    case CN_KEYDOWN: case CN_SYSKEYDOWN: CNKeyDown(m); return;
    case CN_CHAR: CNChar(m); return;
    case CM_DIALOGKEY: CMDialogKey(m); return;
    case CM_DIALOGCHAR: CMDialogChar(m); return;
    case CM_ENTER: CMEnter(m); return;
    case CM_EXIT: CMExit(m); return;
    case CM_SHOWINGCHANGED: CMShowingChanged(m); return;
    case CM_FOCUSCHANGED: CMFocusChanged(m); return;
    case CM_CONTROLLISTCHANGE: CMControlListChange(m); return;
    case CM_CONTROLCHANGE: CMControlChange(m); return;
    case CM_CHILDKEY: CMChildKey(m); return;
    case CM_BORDERCHANGED: CMBorderChanged(m); return;
    default: TControl::Dispatch(m); return;
  }
}

void TWinControl::WndProc(TMessage& m) {
  // Mouse messages over a windowless child (or to the one holding the capture) go to that child.
  if (m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MOUSELAST && m.Msg != WM_MOUSEWHEEL) {
    TPoint p = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
    TControl* capture = GetCaptureControl();
    TControl* target = nullptr;
    if (capture && capture->Parent() == this && !dynamic_cast<TWinControl*>(capture)) target = capture;
    else if (!capture || capture == this) target = ControlAtPos(p, false);
    if (target) {
      if (m.Msg == WM_MOUSEMOVE && !capture) TrackMouseOver(target);
      {
        TMessage child = m;
        child.LParam = MAKELPARAM(p.X - target->Left(), p.Y - target->Top());
        target->WndProc(child);
        m.Result = child.Result;
        return;
      }
    }
    if (m.Msg == WM_MOUSEMOVE && !capture) TrackMouseOver(this);
  }
  TControl::WndProc(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
  // The window's own handling: the toolkit widget's behaviour for the event this message came from.
  if (record_ && !record_->frames.empty()) {
    NativeFrame* f = record_->frames.back();
    if (std::find(f->msgs.begin(), f->msgs.end(), m.Msg) != f->msgs.end()) {
      if (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN) {
        f->keyPassed = true;
        f->keyPassedAs = static_cast<uint16_t>(m.WParam);
        return;
      }
      if (m.Msg == WM_CHAR || m.Msg == WM_SYSCHAR) {
        f->charPassed = true;
        f->text += QChar(static_cast<char16_t>(m.WParam & 0xFFFF));
        return;
      }
      if (!f->called) {
        f->called = true;
        f->result = f->native(f->event);
      }
      return;
    }
  }
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = 0; return;
    case WM_NCHITTEST: m.Result = HTCLIENT; return;
    default: TControl::DefaultHandler(m); return;
  }
}

void TWinControl::WMContextMenu(TMessage& m) {
  if (m.Result != 0) return;
  // A windowless child under the point gets the first say; what it hands up comes back here and goes
  // to this window's own handling.
  static TControl* asking = nullptr;
  TPoint pos = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  if (!asking && (pos.X != -1 || pos.Y != -1)) {
    if (TControl* c = ControlAtPos(ScreenToClient(pos), false)) {
      TMessage child = m;
      asking = c;
      try {
        c->WndProc(child);
      } catch (...) {
        asking = nullptr;
        throw;
      }
      asking = nullptr;
      m.Result = child.Result;
      return;
    }
  }
  TControl::WMContextMenu(m);
}

void TWinControl::WMPaint(TMessage& m) {
  if (record_ && record_->customDrawn) {
    PaintHandler(m);
    return;
  }
  // A window the toolkit paints: its own paint, then the windowless children and the drawing made
  // outside paint events over it.
  DefaultHandler(m);
  if (record_ && !m.WParam) PaintOverNative(record_.get());
}

void TWinControl::WMNCPaint(TMessage&) {
  if (!record_ || !record_->customDrawn) return;
  HDC dc = GetWindowDC(record_->handle);
  if (!dc) return;
  try {
    PaintBorder(dc);
  } catch (...) {
    ReleaseDC(record_->handle, dc);
    throw;
  }
  ReleaseDC(record_->handle, dc);
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
  if (HDC dc = reinterpret_cast<HDC>(m.WParam)) FillColor(dc, ClientRect(), color_);
  m.Result = 1;
}

void TWinControl::WMSize(TMessage& m) {
  Realign();
  Resize();
  DefaultHandler(m);
}

void TWinControl::WMMove(TMessage& m) { DefaultHandler(m); }

void TWinControl::WMSetFocus(TMessage& m) {
  if (TCustomForm* form = GetParentForm(this)) form->SetFocusedControl(this);
  DefaultHandler(m);
}

void TWinControl::WMKillFocus(TMessage& m) { DefaultHandler(m); }

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::KeyUp(uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

bool TWinControl::DoKeyDown(TMessage& m) {
  uint16_t key = static_cast<uint16_t>(m.WParam);
  TShiftState shift = KeyDataToShiftState(m.LParam) | (GetShiftState() & (ssShift | ssCtrl));
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyDown(m)) return true;
  KeyDown(key, shift);
  m.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& m) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyPress(m)) return true;
  char key = static_cast<char>(m.WParam);
  KeyPress(key);
  m.WParam = static_cast<unsigned char>(key);
  return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& m) {
  uint16_t key = static_cast<uint16_t>(m.WParam);
  TShiftState shift = KeyDataToShiftState(m.LParam) | (GetShiftState() & (ssShift | ssCtrl));
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyUp(m)) return true;
  KeyUp(key, shift);
  m.WParam = key;
  return key == 0;
}

void TWinControl::WMKeyDown(TMessage& m) {
  if (!DoKeyDown(m)) DefaultHandler(m);
}

void TWinControl::WMKeyUp(TMessage& m) {
  if (!DoKeyUp(m)) DefaultHandler(m);
}

void TWinControl::WMChar(TMessage& m) {
  if (!DoKeyPress(m)) DefaultHandler(m);
}

void TWinControl::WMGetDlgCode(TMessage& m) { DefaultHandler(m); }

void TWinControl::WMSetCursor(TMessage& m) {
  if (record_ && reinterpret_cast<HWND>(m.WParam) == record_->handle && LOWORD(m.LParam) == HTCLIENT) {
    const DWORD pos = GetMessagePos();
    const TPoint p = ScreenToClient(Point(GET_X_LPARAM(pos), GET_Y_LPARAM(pos)));
    TControl* child = ControlAtPos(p, false);
    const TCursor cursor = child && child->Cursor() != crDefault ? child->Cursor() : cursor_;
    if (cursor != crDefault) {
      ::SetCursor(Screen->Cursors(cursor));
      m.Result = 1;
      return;
    }
  }
  DefaultHandler(m);
}

void TWinControl::WMPrintClient(TMessage& m) {
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  if (!dc || !record_) return;
  int saved = SaveDC(dc);
  try {
    if (m.LParam & PRF_ERASEBKGND) Perform(WM_ERASEBKGND, m.WParam, 0);
    if (m.LParam & PRF_CLIENT) {
      TMessage paint;
      paint.Msg = WM_PAINT;
      paint.WParam = m.WParam;
      if (record_->customDrawn) {
        PaintHandler(paint);
      } else {
        PaintWindowContent(dc);
        PaintControls(dc, nullptr);
      }
    }
  } catch (...) {
    RestoreDC(dc, saved);
    throw;
  }
  RestoreDC(dc, saved);
}

void TWinControl::WMChangeUIState(TMessage& m) {
  if (parent_) m.Result = parent_->Perform(m.Msg, m.WParam, m.LParam);
}

void TWinControl::WMQueryUIState(TMessage& m) {
  if (parent_) m.Result = parent_->Perform(m.Msg, m.WParam, m.LParam);
}

bool TWinControl::IsMenuKey(TMessage& m) {
  uint16_t key = static_cast<uint16_t>(m.WParam);
  TShiftState shift = KeyDataToShiftState(m.LParam) | (GetShiftState() & (ssShift | ssCtrl));
  if (ShortCut(key, shift) == 0 || (shift & (ssCtrl | ssAlt)) == 0) {
    // Plain keys are shortcuts only as function keys, Insert and Delete.
    if (!(key >= VK_F1 && key <= VK_F12) && key != VK_INSERT && key != VK_DELETE) return false;
  }
  // The pop-up menus of the control and its parents first, then the form's.
  for (TControl* c = this; c; c = c->Parent())
    if (TPopupMenu* p = c->PopupMenu(); p && p->IsShortCut(key, shift)) return true;
  TCustomForm* form = GetParentForm(this);
  return form && form->IsShortCut(key, shift);
}

void TWinControl::CNKeyDown(TMessage& m) {
  m.Result = 1;
  if (IsMenuKey(m)) return;
  if (Perform(CM_CHILDKEY, m.WParam, reinterpret_cast<LPARAM>(this)) != 0) return;
  LRESULT mask = 0;
  switch (m.WParam) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN: case VK_ESCAPE: case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
    default: break;
  }
  if (mask != 0 && Perform(CM_WANTSPECIALKEY, m.WParam, m.LParam) == 0 &&
      (Perform(WM_GETDLGCODE, 0, 0) & mask) == 0) {
    if (TCustomForm* form = GetParentForm(this)) {
      if (form->Perform(CM_DIALOGKEY, m.WParam, m.LParam) != 0) return;
    }
  }
  m.Result = 0;
}

void TWinControl::CNChar(TMessage& m) {
  m.Result = 1;
  if ((Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) == 0) {
    if (TCustomForm* form = GetParentForm(this)) {
      if (form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) return;
    }
  }
  m.Result = 0;
}

void TWinControl::CMDialogKey(TMessage& m) { Broadcast(m); }

void TWinControl::CMDialogChar(TMessage& m) { Broadcast(m); }

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::CMEnter(TMessage&) { DoEnter(); }

void TWinControl::CMExit(TMessage&) { DoExit(); }

void TWinControl::CMShowingChanged(TMessage& m) { DefaultHandler(m); }

void TWinControl::CMFocusChanged(TMessage& m) { Broadcast(m); }

void TWinControl::CMControlListChange(TMessage& m) {
  if (parent_) parent_->WndProc(m);
}

void TWinControl::CMControlChange(TMessage& m) {
  if (OnControlListChange && m.Msg == CM_CONTROLCHANGE)
    OnControlListChange(this, reinterpret_cast<TControl*>(m.WParam), m.LParam != 0);
}

void TWinControl::CMChildKey(TMessage& m) {
  if (parent_) parent_->WndProc(m);
}

void TWinControl::CMVisibleChanged(TMessage& m) {
  if (record_) {
    if (parent_) record_->widget->setVisible(visible_);
  } else if (visible_ && parent_ && parent_->HandleAllocated()) {
    CreateHandle();
  }
  TControl::CMVisibleChanged(m);
}

void TWinControl::CMEnabledChanged(TMessage& m) {
  if (record_) record_->widget->setEnabled(enabled_);
  TControl::CMEnabledChanged(m);
}

void TWinControl::CMColorChanged(TMessage& m) {
  // A native control shows its field in the control's colour; a custom-drawn one paints it itself.
  if (record_ && !record_->customDrawn) ApplyWidgetFont();
  TControl::CMColorChanged(m);  // repaints
  NotifyControls(CM_PARENTCOLORCHANGED);
}

void TWinControl::CMFontChanged(TMessage& m) {
  ApplyWidgetFont();
  TControl::CMFontChanged(m);
  NotifyControls(CM_PARENTFONTCHANGED);
}

void TWinControl::CMTextChanged(TMessage& m) {
  TControl::CMTextChanged(m);
  if (record_ && !parent_) record_->widget->setWindowTitle(QString::fromStdString(text_));
}

void TWinControl::CMCursorChanged(TMessage& m) { TControl::CMCursorChanged(m); }
