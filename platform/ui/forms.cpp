#include "platform/ui/forms.h"

#include <QtCore/QEventLoop>
#include <QtGui/QCursor>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <map>
#include <unistd.h>

#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/qt_window_p.h"
#include "platform/system/threads.h"

namespace {

char g_appName[] = "brimvale";
char* g_defaultArgv[] = {g_appName, nullptr};

TRect ToRect(const QRect& r) { return Bounds(r.x(), r.y(), r.width(), r.height()); }

}  // namespace

// ----------------------------------------------------------------------------------------- TCustomForm

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  visible_ = false;
  parentColor_ = false;
  color_ = clBtnFace;
  left_ = 0;
  top_ = 0;
  width_ = 320;
  height_ = 240;
  if (Screen) Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
  Destroying();
  // The menu bar lives in the form's window, which goes before the menu component does.
  if (menu_) {
    menu_->DropBar();
    menu_->form_ = nullptr;
    menu_->RemoveFreeNotification(this);
    menu_ = nullptr;
  }
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      HandleBoundaryException();
    }
  }
  if (Screen) Screen->RemoveForm(this);
  if (Application && Application->MainForm() == this) Application->SetMainForm(nullptr);
  // Other forms that named this one as owner window forget it.
  if (Screen)
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (Screen->Forms(i)->ownerForm_ == this) Screen->Forms(i)->ownerForm_ = nullptr;
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style &= ~(WS_CHILD | WS_TABSTOP);
  params.WndParent = nullptr;
  switch (borderStyle_) {
    case bsNone: params.Style |= WS_POPUP; break;
    case bsSingle: case bsToolWindow: params.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: case bsSizeToolWin: params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog: params.Style |= WS_POPUP | WS_CAPTION; params.ExStyle |= WS_EX_DLGMODALFRAME; break;
  }
  if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) params.ExStyle |= WS_EX_TOOLWINDOW;
  if (formStyle_ == fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
}

void* TCustomForm::CreateWidget() { return new TBridgeWidget<QWidget>(Record()); }

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  Record()->widget->setWindowTitle(QString::fromStdString(text_));
  ApplyWindowFlags();
  if (menu_) {
    menuBar_ = menu_->MakeBar(Record()->widget);
    ApplyWidgetState();
    Realign();
  }
}

void TCustomForm::DestroyWnd() {
  if (menu_) menu_->DropBar();
  menuBar_ = nullptr;
  TWinControl::DestroyWnd();
}

void TCustomForm::SetMenu(TMainMenu* menu) {
  if (menu == menu_) return;
  if (menu_) {
    menu_->DropBar();
    menu_->form_ = nullptr;
    menu_->RemoveFreeNotification(this);
  }
  menuBar_ = nullptr;
  if (menu && menu->form_) menu->form_->SetMenu(nullptr);
  menu_ = menu;
  if (menu) {
    menu->form_ = this;
    menu->FreeNotification(this);
    if (HandleAllocated()) menuBar_ = menu->MakeBar(Record()->widget);
  }
  MenuChanged();
}

void TCustomForm::MenuChanged() {
  if (!HandleAllocated()) return;
  TRect old = ClientRect();
  ApplyWidgetState();
  TRect now = ClientRect();
  if (now != old) {
    Realign();
    Perform(WM_SIZE, 0, MAKELPARAM(now.Right, now.Bottom));
  }
}

bool TCustomForm::IsShortCut(uint16_t key, TShiftState shift) {
  bool handled = false;
  if (OnShortCut) OnShortCut(key, shift, handled);
  if (handled) return true;
  return menu_ && menu_->IsShortCut(key, shift);
}

void TCustomForm::CMDialogChar(TMessage& m) {
  TWinControl::CMDialogChar(m);
  // Alt with a letter no control took opens the menu of that letter.
  if (m.Result == 0 && menu_ && (KeyDataToShiftState(m.LParam) & ssAlt) &&
      menu_->OpenByAccelerator(static_cast<uint16_t>(m.WParam)))
    m.Result = 1;
}

void TCustomForm::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  // A form draws no border of its own: the window manager frames it.
  WindowRecord* r = Record();
  r->insetLeft = r->insetTop = r->insetRight = r->insetBottom = BorderWidth();
  if (menuBar_) {
    // The menu bar takes the top of the window, above the client area (as the platform's does).
    auto* bar = static_cast<QWidget*>(menuBar_);
    int h = bar->sizeHint().height();
    bar->setGeometry(0, 0, width_, h);
    r->insetTop += h;
  }
  LayoutWindowScrollBars(r);
  QWidget* w = r->widget;
  int minW = constraints_.MinWidth(), minH = constraints_.MinHeight();
  int maxW = constraints_.MaxWidth(), maxH = constraints_.MaxHeight();
  w->setMinimumSize(minW, minH);
  w->setMaximumSize(maxW > 0 ? maxW : QWIDGETSIZE_MAX, maxH > 0 ? maxH : QWIDGETSIZE_MAX);
}

void TCustomForm::ApplyWindowFlags() {
  WindowRecord* r = Record();
  if (!r) return;
  QWidget* w = r->widget;
  bool wasVisible = w->isVisible();
  // The window's kind follows the border style, its title bar the creation parameters: a form whose
  // CreateParams takes WS_CAPTION away has none.
  TCreateParams params;
  CreateParams(params);
  const bool caption = borderStyle_ != bsNone && (params.Style & WS_CAPTION) == WS_CAPTION;
  Qt::WindowFlags f = Qt::Window;
  if (borderStyle_ == bsDialog) f = Qt::Dialog;
  if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) f = Qt::Tool;
  if (!caption) f |= Qt::FramelessWindowHint;
  if (formStyle_ == fsStayOnTop) f |= Qt::WindowStaysOnTopHint;
  if (!focusable_) f |= Qt::WindowDoesNotAcceptFocus;
  if (caption) {
    f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (borderIcons_ & biSystemMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((borderIcons_ & biMinimize) && borderStyle_ != bsDialog) f |= Qt::WindowMinimizeButtonHint;
    if ((borderIcons_ & biMaximize) && borderStyle_ != bsDialog) f |= Qt::WindowMaximizeButtonHint;
  }
  QWidget* ownerWidget = nullptr;
  if (ownerForm_ && ownerForm_->HandleAllocated()) ownerWidget = static_cast<QWidget*>(ownerForm_->NativeWidget());
  // A new kind of window is a new native window: it shows again where the form was, active when it
  // was and without taking the activation when it was not; the form hears of neither on the way.
  const bool wasActive = active_;
  reshaping_ = true;
  struct EndReshaping {
    bool& flag;
    ~EndReshaping() { flag = false; }
  } endReshaping{reshaping_};
  if (w->parentWidget() != ownerWidget || w->windowFlags() != f) {
    const QPoint at = w->pos();
    w->setParent(ownerWidget, f);
    w->move(at);
  }
  if (borderStyle_ == bsSingle || borderStyle_ == bsDialog || borderStyle_ == bsToolWindow) w->setFixedSize(width_, height_);
  w->setAttribute(Qt::WA_ShowWithoutActivating, !focusable_);
  if (wasVisible && !w->isVisible()) {
    const bool noActivate = w->testAttribute(Qt::WA_ShowWithoutActivating);
    if (!wasActive) w->setAttribute(Qt::WA_ShowWithoutActivating, true);
    w->show();
    w->setAttribute(Qt::WA_ShowWithoutActivating, noActivate);
    if (wasActive && focusable_) w->activateWindow();
  }
}

void TCustomForm::SetFormStyle(TFormStyle value) {
  if (value == formStyle_) return;
  formStyle_ = value;
  ApplyWindowFlags();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  ApplyWindowFlags();
}

void TCustomForm::SetBorderIcons(TBorderIcons value) {
  if (value == borderIcons_) return;
  borderIcons_ = value;
  ApplyWindowFlags();
}

void TCustomForm::SetFocusable(bool value) {
  if (value == focusable_) return;
  focusable_ = value;
  ApplyWindowFlags();
}

void TCustomForm::SetOwnerForm(TCustomForm* form) {
  if (form == ownerForm_ || form == this) return;
  ownerForm_ = form;
  ApplyWindowFlags();
}

void TCustomForm::SetWindowState(TWindowState value) {
  windowState_ = value;
  if (!HandleAllocated()) return;
  QWidget* w = static_cast<QWidget*>(NativeWidget());
  w->setWindowState(value == wsMinimized ? Qt::WindowMinimized
                    : value == wsMaximized ? Qt::WindowMaximized
                                           : Qt::WindowNoState);
}

bool TCustomForm::Active() const { return active_; }

void TCustomForm::PlaceOnShow() {
  if (placed_) return;
  placed_ = true;
  TCustomForm* center = nullptr;
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter: {
      TRect work = Screen->WorkAreaRect();
      SetBounds(work.Left + (work.Width() - width_) / 2, work.Top + (work.Height() - height_) / 2, width_, height_);
      return;
    }
    case poMainFormCenter: center = Application->MainForm(); break;
    case poOwnerFormCenter: center = dynamic_cast<TCustomForm*>(Owner()); break;
    default: return;
  }
  if (center && center != this) {
    SetBounds(center->Left() + (center->Width() - width_) / 2, center->Top() + (center->Height() - height_) / 2,
              width_, height_);
  } else {
    TRect work = Screen->WorkAreaRect();
    SetBounds(work.Left + (work.Width() - width_) / 2, work.Top + (work.Height() - height_) / 2, width_, height_);
  }
}

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::BringToFront() {
  if (!HandleAllocated()) return;
  QWidget* w = Record()->widget;
  w->raise();
  if (focusable_) w->activateWindow();
}

void TCustomForm::ShowNoActivate(bool callActivate) {
  if (callActivate) Activate();
  bool old = focusable_;
  HandleNeeded();
  Record()->widget->setAttribute(Qt::WA_ShowWithoutActivating, true);
  SetVisible(true);
  Record()->widget->raise();
  Record()->widget->setAttribute(Qt::WA_ShowWithoutActivating, !old);
}

void TCustomForm::CMVisibleChanged(TMessage& m) {
  if (visible_) {
    HandleNeeded();
    PlaceOnShow();
    ApplyWidgetState();
    Record()->widget->show();
  } else if (HandleAllocated()) {
    Record()->widget->hide();
  }
  TControl::CMVisibleChanged(m);
}

void TCustomForm::CMShowingChanged(TMessage& m) {
  bool showing = Showing();
  if (showing) {
    DoShow();
    if (activeControl_ && activeControl_->CanFocus()) FocusControl(activeControl_);
  } else {
    DoHide();
  }
  TWinControl::CMShowingChanged(m);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

TModalResult TCustomForm::ShowModal() {
  if (visible_ || modal_) throw EInvalidOperation("Cannot make a visible window modal");
  modalResult_ = mrNone;
  modal_ = true;
  HandleNeeded();
  QWidget* w = Record()->widget;
  w->setWindowModality(Qt::ApplicationModal);
  struct Restore {
    TCustomForm* form;
    std::shared_ptr<bool> alive;
    ~Restore() {
      if (!*alive) return;
      form->modal_ = false;
      if (form->HandleAllocated()) form->Record()->widget->setWindowModality(Qt::NonModal);
    }
  } restore{this, Record()->alive};
  Show();
  // Messages run until a result is set; the close handling may refuse (caNone) and clear it again.
  while (true) {
    if (Application->Terminated()) {
      modalResult_ = mrCancel;
      break;
    }
    if (modalResult_ != mrNone) {
      TCloseAction action = caNone;
      if (CloseQuery()) {
        action = caHide;
        DoClose(action);
      }
      if (action == caNone) {
        modalResult_ = mrNone;
      } else {
        if (action == caFree) Release();
        break;
      }
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  Hide();
  return modalResult_;
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Hide();
    Application->Terminate();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

void TCustomForm::Release() { PostMessage(Handle(), CM_RELEASE, 0, 0); }

void TCustomForm::CMRelease(TMessage&) { delete this; }

void TCustomForm::WMClose(TMessage&) { Close(); }

void TCustomForm::WMActivate(TMessage& m) {
  if (reshaping_) return;
  bool activate = m.WParam != 0;
  if (activate == active_) return;
  active_ = activate;
  if (activate) {
    Activate();
    if (activeControl_ && activeControl_->CanFocus() && !activeControl_->Focused()) FocusControl(activeControl_);
  } else {
    Deactivate();
  }
}

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE: WMClose(m); return;
    case WM_ACTIVATE: WMActivate(m); return;
    case WM_MOUSEACTIVATE: WMMouseActivate(m); return;
    case WM_SYSCOMMAND: WMSysCommand(m); return;
    case CM_RELEASE: CMRelease(m); return;
    default: TWinControl::Dispatch(m); return;
  }
}

void TCustomForm::WMSysCommand(TMessage& m) {
  switch (m.WParam & 0xFFF0) {
    case SC_MOVE:
      SetCaptureControl(nullptr);
      if (HandleAllocated())
        if (QWindow* window = Record()->widget->windowHandle()) window->startSystemMove();
      return;
    case SC_CLOSE: Close(); return;
    case SC_MINIMIZE: SetWindowState(wsMinimized); return;
    case SC_MAXIMIZE: SetWindowState(wsMaximized); return;
    case SC_RESTORE: SetWindowState(wsNormal); return;
    default: TWinControl::Dispatch(m); return;
  }
}

void TCustomForm::WMMouseActivate(TMessage& m) { m.Result = focusable_ ? MA_ACTIVATE : MA_NOACTIVATE; }

void TCustomForm::WMChangeUIState(TMessage& m) {
  constexpr uint16_t kCues = UISF_HIDEFOCUS | UISF_HIDEACCEL;
  uint16_t flags = HIWORD(m.WParam) & kCues;
  switch (LOWORD(m.WParam)) {
    case UIS_SET: uiState_ |= flags; break;
    case UIS_CLEAR: uiState_ &= static_cast<uint16_t>(~flags); break;
    case UIS_INITIALIZE: {
      // After keyboard input the cues show, after mouse input they hide (no flags: both).
      uint16_t which = flags ? flags : kCues;
      if (LastInputWasKeyboard()) uiState_ &= static_cast<uint16_t>(~which);
      else uiState_ |= which;
      break;
    }
    default: break;
  }
}

void TCustomForm::WMQueryUIState(TMessage& m) { m.Result = uiState_; }

void TCustomForm::CMDialogKey(TMessage& m) {
  uint16_t key = static_cast<uint16_t>(m.WParam);
  TShiftState shift = KeyDataToShiftState(m.LParam) | (GetShiftState() & (ssShift | ssCtrl));
  if (key == VK_TAB && !(shift & (ssAlt | ssCtrl))) {
    SelectNext(activeControl_, !(shift & ssShift), true);
    m.Result = 1;
    return;
  }
  TWinControl::CMDialogKey(m);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && menu_ && static_cast<void*>(component) == static_cast<void*>(menu_)) {
    menu_->form_ = nullptr;
    menu_ = nullptr;
    menuBar_ = nullptr;
  }
  if (operation == opRemove) {
    if (component == activeControl_) activeControl_ = nullptr;
    if (component == focusedControl_) focusedControl_ = nullptr;
  }
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  if (control && (control == this || GetParentForm(control) != this))
    throw EInvalidOperation("Invalid control to become the active control");
  activeControl_ = control;
  if (control && Showing() && control->CanFocus()) FocusControl(control);
}

void TCustomForm::FocusControl(TWinControl* control) {
  if (!control) return;
  activeControl_ = control;
  if (!control->CanFocus()) {
    if (Showing()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    return;
  }
  const uint32_t changes = focusChanges_;
  if (control->HandleAllocated()) {
    QWidget* w = static_cast<QWidget*>(control->NativeWidget());
    w->setFocus(Qt::OtherFocusReason);
  }
  // Without a window system that activates windows (and before the form shows) the focus change is
  // still the framework's: enter and exit run now. One the toolkit ran already (whose exit handling
  // may have kept the focus where it was) is not run again.
  if (focusChanges_ == changes) SetFocusedControl(control);
}

void TCustomForm::DefocusControl(TWinControl* control, bool removing) {
  if (removing && control->ContainsControl(activeControl_)) activeControl_ = control->Parent() != this ? control->Parent() : nullptr;
  if (control->ContainsControl(focusedControl_)) focusedControl_ = nullptr;
}

bool TCustomForm::SetFocusedControl(TWinControl* control) {
  if (control == focusedControl_) return true;
  ++focusChanges_;
  // An exit handler that takes the focus (back to its own control, say) leaves the control that was
  // to be focused without an exit, as it never entered.
  TWinControl* old = focusedControl_ == entering_ ? nullptr : focusedControl_;
  focusedControl_ = control;
  if (control != this) activeControl_ = control;
  if (old) {
    TWinControl* outer = entering_;
    entering_ = control;
    try {
      old->Perform(CM_EXIT, 0, 0);
    } catch (...) {
      entering_ = outer;
      throw;
    }
    entering_ = outer;
  }
  if (focusedControl_ != control) return false;  // an exit handler moved the focus on
  if (control) control->Perform(CM_ENTER, 0, 0);
  TMessage m;
  m.Msg = CM_FOCUSCHANGED;
  m.LParam = reinterpret_cast<LPARAM>(control);
  Broadcast(m);
  return true;
}

// -------------------------------------------------------------------------------------------- TScreen

struct TScreen::CursorTable {
  std::map<int, HCURSOR> registered;
};

struct HCURSOR__ {
  QCursor cursor;
};

TScreen::TScreen(TComponent* owner) : TComponent(owner), cursors_(std::make_unique<CursorTable>()) {}

TScreen::~TScreen() {
  for (auto& [id, c] : cursors_->registered) DestroyCursor(c);
}

namespace {

QScreen* PrimaryScreen() { return QCoreApplication::instance() ? QGuiApplication::primaryScreen() : nullptr; }

Qt::CursorShape ShapeOf(int id) {
  switch (id) {
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass: case crSQLWait: return Qt::WaitCursor;
    case crDrag: case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop: case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
  }
}

}  // namespace

int TScreen::Width() const {
  QScreen* s = PrimaryScreen();
  return s ? s->geometry().width() : 1024;
}

int TScreen::Height() const {
  QScreen* s = PrimaryScreen();
  return s ? s->geometry().height() : 768;
}

int TScreen::PixelsPerInch() const {
  QScreen* s = PrimaryScreen();
  return s ? static_cast<int>(s->logicalDotsPerInch() + 0.5) : 96;
}

TRect TScreen::DesktopRect() const {
  QScreen* s = PrimaryScreen();
  return s ? ToRect(s->virtualGeometry()) : Rect(0, 0, 1024, 768);
}

TRect TScreen::WorkAreaRect() const {
  QScreen* s = PrimaryScreen();
  return s ? ToRect(s->availableGeometry()) : Rect(0, 0, 1024, 768);
}

namespace {
std::vector<TMonitorInfo> g_testMonitors;
}  // namespace

void TScreen::SetMonitorsForTesting(std::vector<TMonitorInfo> monitors) {
  for (size_t i = 0; i < monitors.size(); ++i) monitors[i].MonitorNum = static_cast<int>(i);
  g_testMonitors = std::move(monitors);
}

int TScreen::MonitorCount() const {
  if (!g_testMonitors.empty()) return static_cast<int>(g_testMonitors.size());
  return QCoreApplication::instance() ? std::max<int>(1, static_cast<int>(QGuiApplication::screens().size())) : 1;
}

TMonitorInfo TScreen::Monitors(int index) const {
  if (!g_testMonitors.empty())
    return g_testMonitors[static_cast<size_t>(std::clamp<int>(index, 0, static_cast<int>(g_testMonitors.size()) - 1))];
  TMonitorInfo info;
  info.MonitorNum = index;
  auto screens = QCoreApplication::instance() ? QGuiApplication::screens() : QList<QScreen*>();
  if (index < 0 || index >= screens.size()) {
    info.BoundsRect = DesktopRect();
    info.WorkareaRect = WorkAreaRect();
    info.Primary = true;
    return info;
  }
  info.BoundsRect = ToRect(screens[index]->geometry());
  info.WorkareaRect = ToRect(screens[index]->availableGeometry());
  info.Primary = screens[index] == PrimaryScreen();
  return info;
}

TMonitorInfo TScreen::MonitorFromRect(const TRect& rect) const {
  int best = 0, bestArea = -1;
  for (int i = 0; i < MonitorCount(); ++i) {
    TRect r;
    int area = IntersectRect(r, rect, Monitors(i).BoundsRect) ? r.Width() * r.Height() : 0;
    if (area > bestArea) best = i, bestArea = area;
  }
  return Monitors(best);
}

void TScreen::SetCursor(TCursor value) {
  if (value == cursor_) return;
  bool had = cursor_ != crDefault;
  cursor_ = value;
  if (!QCoreApplication::instance()) return;
  if (had) QApplication::restoreOverrideCursor();
  if (value != crDefault) QApplication::setOverrideCursor(Cursors(value)->cursor);
}

HCURSOR TScreen::Cursors(int id) {
  auto it = cursors_->registered.find(id);
  if (it != cursors_->registered.end()) return it->second;
  // The built-in cursors are made on first use and kept.
  auto* c = new HCURSOR__{QCursor(ShapeOf(id))};
  cursors_->registered[id] = c;
  return c;
}

void TScreen::SetCursors(int id, HCURSOR cursor) {
  auto it = cursors_->registered.find(id);
  if (it != cursors_->registered.end() && it->second != cursor) DestroyCursor(it->second);
  if (cursor) cursors_->registered[id] = cursor;
  else cursors_->registered.erase(id);
}

TCustomForm* TScreen::ActiveForm() const {
  QWidget* w = QCoreApplication::instance() ? QApplication::activeWindow() : nullptr;
  if (TWinControl* c = ControlOfWidget(w)) return GetParentForm(c);
  for (TCustomForm* f : forms_)
    if (f->Active()) return f;
  return nullptr;
}

TWinControl* TScreen::ActiveControl() const {
  TCustomForm* f = ActiveForm();
  return f ? f->ActiveControl() : nullptr;
}

void TScreen::AddForm(TCustomForm* form) { forms_.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form) { forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end()); }

HCURSOR CreateCursorFromPixels(const uint32_t* pixels, int width, int height, int hotX, int hotY) {
  if (!pixels || width <= 0 || height <= 0 || width > 256 || height > 256) return nullptr;
  QImage img(reinterpret_cast<const uchar*>(pixels), width, height, width * 4, QImage::Format_ARGB32);
  return new HCURSOR__{QCursor(QPixmap::fromImage(img.copy()), hotX, hotY)};
}

HCURSOR CreateCursor(int hotX, int hotY, int width, int height, const void* andPlane, const void* xorPlane) {
  if (!andPlane || !xorPlane || width <= 0 || height <= 0 || width > 256 || height > 256) return nullptr;
  // Monochrome planes, rows padded to 16 bits: AND 1 + XOR 0 is transparent, AND 0 + XOR 1 white,
  // AND 0 + XOR 0 black, AND 1 + XOR 1 inverts (shown black here).
  int rowBytes = ((width + 15) / 16) * 2;
  std::vector<uint32_t> px(static_cast<size_t>(width) * height);
  auto a = static_cast<const uint8_t*>(andPlane);
  auto x = static_cast<const uint8_t*>(xorPlane);
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width; ++i) {
      bool am = a[y * rowBytes + i / 8] & (0x80 >> (i % 8));
      bool xm = x[y * rowBytes + i / 8] & (0x80 >> (i % 8));
      px[static_cast<size_t>(y) * width + i] = am && !xm ? 0u : (!am && xm ? 0xFFFFFFFFu : 0xFF000000u);
    }
  return CreateCursorFromPixels(px.data(), width, height, hotX, hotY);
}

bool DestroyCursor(HCURSOR cursor) {
  delete cursor;
  return cursor != nullptr;
}

HCURSOR CopyCursor(HCURSOR cursor) { return cursor ? new HCURSOR__{cursor->cursor} : nullptr; }

namespace {
HCURSOR g_currentCursor = nullptr;
}  // namespace

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = g_currentCursor;
  g_currentCursor = cursor;
  // The window answering WM_SETCURSOR takes it; at other times the window under the mouse.
  if (cursor && QCoreApplication::instance() && !ApplyCursorToTarget(cursor->cursor)) {
    if (QWidget* w = QApplication::widgetAt(QCursor::pos())) w->setCursor(cursor->cursor);
  }
  return old;
}

HCURSOR GetCursor() { return g_currentCursor; }

void ShowWindowCursor() { g_currentCursor = nullptr; }

bool GetCursorPos(TPoint* point) {
  if (!point) return false;
  QPoint p = QCursor::pos();
  *point = Point(p.x(), p.y());
  return true;
}

bool SetCursorPos(int x, int y) {
  QCursor::setPos(x, y);
  return true;
}

// --------------------------------------------------------------------------------------- TApplication

namespace {
// The screen outlives the application object: forms the application frees at exit leave the screen's
// list as they go.
TScreen g_screen(nullptr);
TApplication g_application;
}  // namespace

TApplication* Application = &g_application;
TScreen* Screen = &g_screen;

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  // Forms left at exit are freed while the toolkit still exists; after it is gone they are left.
  if (QCoreApplication::instance()) Finalize();
}

void TApplication::Finalize() {
  DestroyComponents();
  mainForm_ = nullptr;
  if (ownsQtApp_) {
    delete QCoreApplication::instance();
    ownsQtApp_ = false;
  }
}

void TApplication::Initialize(int& argc, char** argv) {
  // Workers' synchronised calls wake the message loop, which runs them between messages.
  SetWakeMainThread([] { QueueOnMainThread([] { CheckSynchronize(0); }); });
  if (QCoreApplication::instance()) return;
  // The toolkit keeps a reference to the count: it must outlive the caller's (main's) variable.
  if (argc <= 0 || !argv) {
    argc_ = 1;
    new QApplication(argc_, g_defaultArgv);
  } else {
    argc_ = argc;
    new QApplication(argc_, argv);
  }
  ownsQtApp_ = true;
  if (!title_.empty()) QCoreApplication::setApplicationName(QString::fromStdString(title_));
}

void TApplication::Initialize() {
  int argc = 0;
  Initialize(argc, nullptr);
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  if (QCoreApplication::instance()) QCoreApplication::setApplicationName(QString::fromStdString(title));
}

void TApplication::Run() {
  if (!QCoreApplication::instance()) Initialize();
  terminated_ = false;
  if (mainForm_) mainForm_->Show();
  else return;
  while (!terminated_) HandleMessage();
}

void TApplication::HandleMessage() {
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (OnIdle) {
    try {
      OnIdle(this);
    } catch (...) {
      HandleBoundaryException();
    }
  }
}

void TApplication::ProcessMessages() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TApplication::Terminate() {
  terminated_ = true;
  if (QCoreApplication::instance()) QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::None));
}

void TApplication::HandleException(const Exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (handlingException_) return;  // an exception while showing the last one is not shown again
  handlingException_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{handlingException_};
  if (OnException) {
    try {
      OnException(this, e);
    } catch (...) {
      // The handler itself failed: nothing more can be done about it here.
    }
  } else {
    ShowException(e);
  }
}

void TApplication::ShowException(const Exception& e) {
  std::string msg = e.Message();
  if (!msg.empty() && msg.back() != '.') msg += '.';
  MessageBox(msg, title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  return ShowPlatformMessageBox(text, caption, flags);
}

bool TApplication::HelpContext(int context) {
  constexpr uint16_t HELP_CONTEXT = 1;
  bool callHelp = true;
  return OnHelp && OnHelp(HELP_CONTEXT, context, callHelp);
}

bool TApplication::Minimized() const {
  return mainForm_ && mainForm_->HandleAllocated() &&
         static_cast<QWidget*>(mainForm_->NativeWidget())->isMinimized();
}

void TApplication::Minimize() {
  if (mainForm_) mainForm_->SetWindowState(wsMinimized);
}

void TApplication::Restore() {
  if (mainForm_) mainForm_->SetWindowState(wsNormal);
}

void TApplication::BringToFront() {
  if (mainForm_) mainForm_->BringToFront();
}

void TApplication::Beep() {
  if (QCoreApplication::instance()) QApplication::beep();
}

std::string TApplication::ExeName() const {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}
