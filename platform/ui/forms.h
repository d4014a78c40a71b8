#pragma once
// Forms (top-level windows), the application object with its message loop and exception handler, and
// the screen.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"

class TMainMenu;

// Modal results.
using TModalResult = int32_t;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

enum TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };
enum TFormStyle : uint8_t { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition : uint8_t {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, poMainFormCenter,
  poOwnerFormCenter
};
enum TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = uint8_t;
// The form's border style (the framework names the form variant TFormBorderStyle).
using TFormBorderStyle = TBorderStyle;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  void Show();
  void Hide();
  // Shows the form modally: the other windows of the program are disabled and messages run until
  // ModalResult is set (or the form is closed); answers the modal result.
  virtual TModalResult ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }
  bool Modal() const { return modal_; }
  // Asks OnCloseQuery, then runs OnClose with the close action of the form (caHide, or caFree
  // through Release for non-main forms that choose it); closing the main form ends the program.
  void Close();
  bool CloseQuery();
  // Frees the form once the messages now pending have run (safe from its own event handlers).
  void Release();
  // Shows the window on top without taking the activation from the active window.
  void ShowNoActivate(bool callActivate = false);
  void BringToFront();
  bool Active() const;

  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle value);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition value) { position_ = value; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState value);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool value) { keyPreview_ = value; }
  // The window that owns this one (kept above it); nullptr for the application's own.
  TCustomForm* OwnerForm() const { return ownerForm_; }
  void SetOwnerForm(TCustomForm* form);
  // A form that can not be activated by a click (tool pop-ups).
  bool Focusable() const { return focusable_; }
  void SetFocusable(bool value);

  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  void FocusControl(TWinControl* control);
  // Moves the focus off a control that goes away or is hidden.
  void DefocusControl(TWinControl* control, bool removing);
  // Called when a control of this form received the keyboard focus.
  bool SetFocusedControl(TWinControl* control);
  bool WantsKeyPreview() const { return keyPreview_; }
  bool DoKeyDown(TMessage& m) { return TWinControl::DoKeyDown(m); }
  bool DoKeyPress(TMessage& m) { return TWinControl::DoKeyPress(m); }
  bool DoKeyUp(TMessage& m) { return TWinControl::DoKeyUp(m); }

  // The form's menu bar (not owned; a menu that goes away leaves the form).
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* menu);
  // Called by the menu when its items changed (the bar's height may change the client area).
  void MenuChanged();
  // A key the form's menus take (or OnShortCut): true when one did.
  virtual bool IsShortCut(uint16_t key, TShiftState shift);
  std::function<void(uint16_t Key, TShiftState Shift, bool& Handled)> OnShortCut;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void CMDialogChar(TMessage& message) override;
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Dispatch(TMessage& message) override;
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  virtual void Activate();
  virtual void Deactivate();
  void CMDialogKey(TMessage& message) override;
  void CMShowingChanged(TMessage& message) override;
  void CMVisibleChanged(TMessage& message) override;
  virtual void WMClose(TMessage& message);
  // SC_MOVE (with or without the caption's hit code) starts the window system's move loop by the
  // mouse once the capture is released (nothing where the platform has none, as under offscreen);
  // SC_CLOSE closes, SC_MINIMIZE, SC_MAXIMIZE and SC_RESTORE set the window state.
  virtual void WMSysCommand(TMessage& message);
  virtual void WMActivate(TMessage& message);
  // A press is about to activate the form: MA_ACTIVATE, or MA_NOACTIVATE for a form that is not
  // Focusable (the active form stays active).
  virtual void WMMouseActivate(TMessage& message);
  // The keyboard-cue bits (UISF_HIDEFOCUS, UISF_HIDEACCEL): WM_CHANGEUISTATE sets or clears them,
  // UIS_INITIALIZE sets them after mouse input and clears them after keyboard input;
  // WM_QUERYUISTATE answers them.
  void WMChangeUIState(TMessage& message) override;
  void WMQueryUIState(TMessage& message) override;
  virtual void CMRelease(TMessage& message);
  void Notification(TComponent* component, TOperation operation) override;
  // Creation hook for forms built in code: runs OnCreate once the constructor chain is done.
  void DoCreate();

 private:
  void ApplyWindowFlags();
  void PlaceOnShow();
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  TFormStyle formStyle_ = fsNormal;
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = poDesigned;
  TWindowState windowState_ = wsNormal;
  bool keyPreview_ = false;
  bool focusable_ = true;
  uint16_t uiState_ = 0;
  bool placed_ = false;
  bool active_ = false;
  // Set while a change of window kind re-creates the native window: its activation is kept.
  bool reshaping_ = false;
  TCustomForm* ownerForm_ = nullptr;
  TMainMenu* menu_ = nullptr;
  void* menuBar_ = nullptr;  // the menu bar widget inside the form's window
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  // The control being focused while the old one's exit handling runs (it has not entered yet), and
  // a count of the focus changes run.
  TWinControl* entering_ = nullptr;
  uint32_t focusChanges_ = 0;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* owner = nullptr) : TCustomForm(owner) {}
};

// ------------------------------------------------------------------------------------------ screen

using HCURSOR = struct HCURSOR__*;

struct TMonitorInfo {
  int MonitorNum = 0;
  TRect BoundsRect;
  TRect WorkareaRect;
  bool Primary = false;
};

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* owner);
  ~TScreen() override;
  int Width() const;
  int Height() const;
  int PixelsPerInch() const;
  TRect DesktopRect() const;
  TRect WorkAreaRect() const;
  int MonitorCount() const;
  TMonitorInfo Monitors(int index) const;
  // The monitor that holds most of the rectangle (the primary one when none does).
  TMonitorInfo MonitorFromRect(const TRect& rect) const;
  // Test seam: the monitors a test states stand in for the toolkit's screens; an empty list gives
  // the toolkit's back.
  static void SetMonitorsForTesting(std::vector<TMonitorInfo> monitors);

  // The application-wide cursor: crDefault lets each control's cursor show.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  // Cursors by id: the built-in ids, and ids a program registers (the registered one is owned).
  HCURSOR Cursors(int id);
  void SetCursors(int id, HCURSOR cursor);

  TCustomForm* ActiveForm() const;
  TWinControl* ActiveControl() const;
  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int index) const { return forms_.at(static_cast<size_t>(index)); }
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);

 private:
  TCursor cursor_ = crDefault;
  std::vector<TCustomForm*> forms_;
  struct CursorTable;
  std::unique_ptr<CursorTable> cursors_;
};

// A cursor made from a 32-bit picture (B, G, R, A per pixel, top row first) with its hot spot.
HCURSOR CreateCursorFromPixels(const uint32_t* pixels, int width, int height, int hotX, int hotY);
// A cursor from a monochrome AND/XOR pair, as the platform's CreateCursor takes them.
HCURSOR CreateCursor(int hotX, int hotY, int width, int height, const void* andPlane, const void* xorPlane);
bool DestroyCursor(HCURSOR cursor);
// A cursor of its own with the same picture and hot spot (the screen owns the cursors registered
// with it, so a second id needs a copy); null for null.
HCURSOR CopyCursor(HCURSOR cursor);
// Shows the cursor (in the window answering WM_SETCURSOR, else the one under the mouse) and answers
// the one set before; GetCursor answers the one set last (null while the window under the mouse
// shows its own).
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// The mouse position in screen coordinates (tests may place it).
bool GetCursorPos(TPoint* point);
bool SetCursorPos(int x, int y);

extern TScreen* Screen;

// ------------------------------------------------------------------------------------- application

using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // Creates the toolkit's application object (once); later calls do nothing.
  void Initialize(int& argc, char** argv);
  void Initialize();
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // Creates a form owned by the application; the first form created becomes the main form.
  template <class F, class... Args>
  F* CreateForm(Args&&... args) {
    F* form = new F(this, std::forward<Args>(args)...);
    if (!mainForm_) mainForm_ = form;
    return form;
  }
  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* form) { mainForm_ = form; }

  // Shows the main form and runs the message loop until the main form closes or Terminate.
  void Run();
  // Lets pending messages (input, paint, timers, posted messages and calls) run once.
  void ProcessMessages();
  // Waits for the next message and runs it.
  void HandleMessage();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Frees the forms and the toolkit's application object; the program calls it before it ends.
  void Finalize();

  // The exception handler every event boundary calls: OnException when assigned, otherwise the
  // standard message box with the exception's message (EAbort shows nothing).
  void HandleException(const Exception& e);
  void ShowException(const Exception& e);
  TExceptionEvent OnException;

  // The standard message box (MB_xxx flags); answers IDOK, IDCANCEL ...
  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags);

  // Asks for the help topic of a context number (HELP_CONTEXT): OnHelp may take the request. No help
  // viewer exists here, so nothing else opens; true when OnHelp answered that it handled it.
  bool HelpContext(int context);
  std::function<bool(uint16_t Command, intptr_t Data, bool& CallHelp)> OnHelp;

  TColor HintColor() const { return hintColor_; }
  void SetHintColor(TColor value) { hintColor_ = value; }
  int HintPause() const { return hintPause_; }
  void SetHintPause(int ms) { hintPause_ = ms; }
  int HintHidePause() const { return hintHidePause_; }
  void SetHintHidePause(int ms) { hintHidePause_ = ms; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  // The long hint of the control under the mouse (for a status line); OnHint follows its changes.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value);
  TNotifyEvent OnHint;
  // Shows the hint of the control under a screen point now; CancelHint hides it and waits for the
  // mouse to rest again.
  void ActivateHint(const TPoint& cursorPos);
  void CancelHint();
  void HideHint();
  bool Minimized() const;
  void Minimize();
  void Restore();
  void BringToFront();
  void Beep();
  // The folder and path of the program.
  std::string ExeName() const;
  TNotifyEvent OnIdle;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

 private:
  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool ownsQtApp_ = false;
  int argc_ = 1;
  TColor hintColor_ = clInfoBk;
  int hintPause_ = 500;
  int hintHidePause_ = 2500;
  bool showHint_ = true;
  std::string hint_;
  bool handlingException_ = false;
};

// The one application object of the process.
extern TApplication* Application;
