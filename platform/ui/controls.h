#pragma once
// Controls: TControl (bounds, alignment, visibility, mouse, message routing), TWinControl (a window of
// its own, children, focus, keys), TGraphicControl (no window: painted and fed with mouse messages by
// its parent) and TCustomControl (a window that paints itself on its canvas).
//
// Message routing follows the framework: Perform hands a message to WndProc, which a subclass may
// override to intercept anything and pass the rest on to its base class; WndProc calls Dispatch, which
// calls the handler of the message (a virtual WMxxx/CMxxx member, overridable too) or DefaultHandler.
// For a windowed control DefaultHandler is the window's own (toolkit) behaviour.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/color.h"
#include "platform/gdi/gdi.h"
#include "platform/system/classes.h"
#include "platform/system/types.h"
#include "platform/ui/messages.h"

class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;
class TBasicAction;
class TControlActionLink;
class TCanvas;
class TControlCanvas;
class TFont;
struct WindowRecord;

enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

// Horizontal text alignment, the side a check box's text stands on, vertical text layout, and which
// scroll bars a control shows.
enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
using TLeftRight = TAlignment;
enum TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

enum TAnchorKind : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = uint8_t;

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// Control style bits (the framework's numbering: needs-border-paint is bit 17, parent-background 18).
enum TControlStyleFlag : uint32_t {
  csAcceptsControls = 1u << 0, csCaptureMouse = 1u << 1, csDesignInteractive = 1u << 2, csClickEvents = 1u << 3,
  csFramed = 1u << 4, csSetCaption = 1u << 5, csOpaque = 1u << 6, csDoubleClicks = 1u << 7,
  csFixedWidth = 1u << 8, csFixedHeight = 1u << 9, csNoDesignVisible = 1u << 10, csReplicatable = 1u << 11,
  csNoStdEvents = 1u << 12, csDisplayDragImage = 1u << 13, csReflector = 1u << 14, csActionClient = 1u << 15,
  csMenuEvents = 1u << 16, csNeedsBorderPaint = 1u << 17, csParentBackground = 1u << 18,
};
using TControlStyle = uint32_t;

enum TControlStateFlag : uint32_t {
  csLButtonDown = 1u << 0, csClicked = 1u << 1, csPalette = 1u << 2, csReadingState = 1u << 3,
  csAlignmentNeeded = 1u << 4, csFocusing = 1u << 5, csCreating = 1u << 6, csPaintCopy = 1u << 7,
  csCustomPaint = 1u << 8, csDestroyingHandle = 1u << 9, csDocking = 1u << 10,
};
using TControlState = uint32_t;

enum TBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
enum TBevelKind : uint8_t { bkNone, bkTile, bkSoft, bkFlat };
enum TBevelEdge : uint8_t { beLeft = 1, beTop = 2, beRight = 4, beBottom = 8 };
using TBevelEdges = uint8_t;
enum TBiDiMode : uint8_t { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// Cursors by id: the framework's built-in negative ids; programs register their own positive ids.
using TCursor = int16_t;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12,
                  crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18,
                  crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22, crSize = -22;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

class THintWindow;
// A class of hint window: makes a THintWindow (or a subclass of it) owned by owner. MakeHintWindow<T>
// (hints.h) gives the one of class T.
using THintWindowClass = THintWindow* (*)(TComponent* owner);

// The record of a hint about to show (CM_HINTSHOW's lParam).
struct THintInfo {
  TControl* HintControl = nullptr;
  THintWindowClass HintWindowClass = nullptr;  // the hint window's class; nullptr for the standard one
  TPoint HintPos;
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;
  TPoint CursorPos;
  int ReshowTimeout = 0;
  int HideTimeout = 0;
  std::string HintStr;
  void* HintData = nullptr;
};

// Minimum and maximum sizes of a control; 0 means no limit.
class TSizeConstraints : public TPersistent {
 public:
  explicit TSizeConstraints(TControl* control) : control_(control) {}
  int MinWidth() const { return minWidth_; }
  int MinHeight() const { return minHeight_; }
  int MaxWidth() const { return maxWidth_; }
  int MaxHeight() const { return maxHeight_; }
  void SetMinWidth(int v);
  void SetMinHeight(int v);
  void SetMaxWidth(int v);
  void SetMaxHeight(int v);
  void Assign(TPersistent* source) override;
  TNotifyEvent OnChange;

 private:
  void Change();
  TControl* control_;
  int minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // ---- message routing
  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual void WndProc(TMessage& message);
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);

  // ---- parent and geometry
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  int ClientWidth() { return ClientRect().Right; }
  int ClientHeight() { return ClientRect().Bottom; }
  void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
  void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
  virtual void SetClientSize(int width, int height);
  virtual TRect ClientRect();
  TPoint ClientOrigin();
  TPoint ClientToScreen(const TPoint& p);
  TPoint ScreenToClient(const TPoint& p);
  // Moves the control to the top (or bottom) of its parent's z-order.
  void BringToFront();
  void SendToBack();

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors value);
  TSizeConstraints* Constraints() { return &constraints_; }
  bool AutoSize() const { return autoSize_; }
  virtual void SetAutoSize(bool value);

  // ---- state
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool value);
  // Visible here and in every parent up to a form that is shown.
  virtual bool Showing() const;
  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle value) { controlStyle_ = value; }
  TControlState ControlState() const { return controlState_; }
  void SetControlState(TControlState value) { controlState_ = value; }

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TFont* Font();
  void SetFont(TFont* value);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode value);
  bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }

  // The caption and the text are one string, as in the framework. Setting it sends WM_SETTEXT (a
  // native control keeps the text in its window) and then CM_TEXTCHANGED; reading asks the window
  // (WM_GETTEXTLENGTH, WM_GETTEXT).
  std::string Caption() { return GetText(); }
  void SetCaption(const std::string& value) { SetText(value); }
  std::string Text() { return GetText(); }
  virtual void SetText(const std::string& value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value);
  bool MouseCapture() const;
  void SetMouseCapture(bool value);
  bool IsMouseInside() const { return mouseInside_; }

  // ---- painting
  virtual void Invalidate();
  // Paints what is invalid now.
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }

  // ---- actions
  // The action the control shows and runs on a click (null: none). Assigning one lets the control
  // take the action's properties where its own are still at their defaults.
  TBasicAction* Action() const;
  void SetAction(TBasicAction* value);
  // OnClick when assigned, else the action.
  virtual void Click();
  virtual void DblClick();
  // The window handle of the parent (the window this control draws on, for windowless ones).
  HWND ParentWindow() const;
  TCustomForm* ParentForm() const;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;
  TContextPopupEvent OnContextPopup;

 protected:
  // Hooks of the geometry and state machinery.
  virtual std::string GetText();
  virtual void Resize();
  virtual void RequestAlign();
  virtual bool CanResize(int& newWidth, int& newHeight);
  virtual bool CanAutoSize(int& newWidth, int& newHeight);
  virtual void ConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight);
  void DoConstraints(int& width, int& height);
  // Fits the control to its content (CanAutoSize); controls with a size rule of their own override it.
  virtual void AdjustSize();
  virtual void VisibleChanging() {}
  // The font changed: a font set on the control is its own from then on (ParentFont off).
  virtual void FontChanged();
  virtual void ChangeScale(int m, int d);
  void UpdateAnchorRules();
  // Mouse hooks; the default fires the matching event.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);
  virtual void DoContextPopup(TPoint mousePos, bool& handled);
  void SendCancelMode(TControl* sender);

  // Message handlers of TControl, called by Dispatch.
  virtual void WMMouseButton(TMessage& message);
  virtual void WMMouseMove(TMessage& message);
  virtual void WMMouseWheel(TMessage& message);
  virtual void WMContextMenu(TMessage& message);
  virtual void WMCancelMode(TMessage& message);
  virtual void CMMouseEnter(TMessage& message);
  virtual void CMMouseLeave(TMessage& message);
  virtual void CMHitTest(TMessage& message);
  virtual void CMVisibleChanged(TMessage& message);
  virtual void CMEnabledChanged(TMessage& message);
  virtual void CMColorChanged(TMessage& message);
  virtual void CMFontChanged(TMessage& message);
  virtual void CMParentColorChanged(TMessage& message);
  virtual void CMParentFontChanged(TMessage& message);
  virtual void CMParentShowHintChanged(TMessage& message);
  virtual void CMTextChanged(TMessage& message);
  virtual void CMHintShow(TMessage& message);
  virtual void CMCursorChanged(TMessage& message);

  // While one is alive, the handling of CM_MOUSEENTER and CM_MOUSELEAVE on this control keeps the
  // inside flag and the forwarding to the parent but fires no OnMouseEnter/OnMouseLeave: a subclass
  // that fires the events itself hands the notification on inside one, so each fires once.
  class TMouseEventsMuted {
   public:
    explicit TMouseEventsMuted(TControl* control) : control_(control) { ++control_->mouseEventsMuted_; }
    ~TMouseEventsMuted() { --control_->mouseEventsMuted_; }
    TMouseEventsMuted(const TMouseEventsMuted&) = delete;
    TMouseEventsMuted& operator=(const TMouseEventsMuted&) = delete;

   private:
    TControl* control_;
  };

  void Notification(TComponent* component, TOperation operation) override;
  // The link to the action: made by CreateActionLink when an action is first assigned.
  TControlActionLink* ActionLink() const { return actionLink_.get(); }
  virtual std::unique_ptr<TControlActionLink> CreateActionLink();
  // The action changed (sender), or was just assigned (checkDefaults: only properties still at
  // their defaults take the action's values): caption, enabled state, hint and visibility.
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  std::unique_ptr<TControlActionLink> actionLink_;
  // The parent's handle for drawing outside paint events, and the offset of this control in it.
  friend class TWinControl;
  friend struct WindowRecord;

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_ = akLeft | akTop;
  TSizeConstraints constraints_;
  bool autoSize_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  TControlStyle controlStyle_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  TControlState controlState_ = 0;
  TColor color_ = clWindow;
  bool parentColor_ = true;
  bool parentFont_ = true;
  TBiDiMode biDiMode_ = bdLeftToRight;
  std::string text_;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TCursor cursor_ = crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  bool mouseInside_ = false;
  int mouseEventsMuted_ = 0;
  // Distances kept by the anchors: right and bottom gaps to the parent's client edges.
  int anchorRight_ = 0, anchorBottom_ = 0;
  bool anchorRulesValid_ = false;
  std::unique_ptr<TFont> font_;  // the control's font (the drawing layer's TFont)
  bool takingParentFont_ = false;
};

// The window's wish to see keys: the dialog codes WM_GETDLGCODE answers.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  void WndProc(TMessage& message) override;

  // ---- handle
  HWND Handle();
  bool HandleAllocated() const;
  void HandleNeeded();
  // Destroys and creates the window again (after a change of its creation parameters).
  void RecreateWnd();
  // The toolkit widget behind the handle (a QWidget*), for the platform layer's own use.
  void* NativeWidget();

  // ---- children
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool ContainsControl(TControl* control) const;
  TControl* ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls = false);
  // Sends the message to every child until one sets a non-zero result.
  void Broadcast(TMessage& message);
  void NotifyControls(UINT msg);
  void DisableAlign();
  void EnableAlign();
  void Realign();
  bool AlignDisabled() const { return alignLevel_ != 0; }

  // ---- focus and keys
  bool CanFocus();
  virtual void SetFocus();
  bool Focused();
  int TabOrder();
  void SetTabOrder(int value);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  // The windowed children in tab order.
  std::vector<TWinControl*> GetTabOrderList();
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent);
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);

  // ---- look
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool value) { doubleBuffered_ = value; }
  bool Ctl3D() const { return ctl3D_; }
  virtual void SetCtl3D(bool value);
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  TBevelKind BevelKind() const { return bevelKind_; }
  void SetBevelKind(TBevelKind value);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut value);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut value);
  TBevelEdges BevelEdges() const { return bevelEdges_; }
  void SetBevelEdges(TBevelEdges value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);

  // ---- painting and the screen surface
  void Invalidate() override;
  void InvalidateRect(const TRect& rect);
  void Update() override;
  void Repaint() override;
  // Paints this window, its windowless children and its child windows into the DC with the window's
  // top-left corner at (x, y) (for paint-copy and parent backgrounds).
  void PaintTo(HDC dc, int x, int y);
  void PaintTo(TCanvas* canvas, int x, int y);
  // Paints the windowless children from first on (all when null), in z-order, each moved to its
  // place and clipped to its bounds; dc's origin is this window's client origin.
  void PaintControls(HDC dc, TControl* first);
  // Paints this window's own content into the DC (its background through WM_ERASEBKGND, then
  // PaintWindow), without its windowless or windowed children; dc's origin is the client origin.
  // What a child shows as its parent's background.
  void PaintWindowContent(HDC dc);

  void SetBounds(int left, int top, int width, int height) override;
  TRect ClientRect() override;
  bool Showing() const override;
  void SetParent(TWinControl* parent) override;
  void SetCaptureWindow(bool capture);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  std::function<void(TObject* Sender, TControl* Control, bool Inserting)> OnControlListChange;

  // The record that ties this control to its toolkit window (platform internals only).
  WindowRecord* Record() const { return record_.get(); }

 protected:
  // Creation parameters: the style bits each control interprets when its window is made.
  struct TCreateParams {
    std::string Caption;
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    uint32_t WindowClassStyle = 0;
  };
  virtual void CreateParams(TCreateParams& params);
  // Makes the window (CreateWnd creates the toolkit widget through CreateWidget, then applies state).
  virtual void CreateHandle();
  virtual void CreateWnd();
  virtual void DestroyHandle();
  virtual void DestroyWnd();
  // The widget class: a plain custom-drawn widget by default; standard controls make their own.
  virtual void* CreateWidget();
  // Hands text and state back to the control before its window goes away.
  virtual void SaveWindowState() {}
  const TCreateParams& LastCreateParams() const { return params_; }

  virtual void AlignControls(TControl* control, TRect& rect);
  virtual void AdjustClientRect(TRect& rect);
  virtual bool CustomAlignInsertBefore(TControl* c1, TControl* c2);
  virtual void CustomAlignPosition(TControl* control, int& newLeft, int& newTop, int& newWidth, int& newHeight,
                                   TRect& alignRect);

  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  // True when the key was taken (by the form's preview or the event).
  bool DoKeyDown(TMessage& message);
  bool DoKeyPress(TMessage& message);
  bool DoKeyUp(TMessage& message);
  // Draws the border and bevels in the window's frame (the DC covers the whole window).
  virtual void PaintBorder(HDC windowDC);
  // The window's own painting on the DC (client coordinates); nothing for a plain window.
  virtual void PaintWindow(HDC dc);
  // The paint of WM_PAINT: BeginPaint (unless the message brings a DC), PaintWindow, then the
  // windowless children, EndPaint.
  void PaintHandler(TMessage& message);

  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

  virtual void WMPaint(TMessage& message);
  virtual void WMNCPaint(TMessage& message);
  virtual void WMEraseBkgnd(TMessage& message);
  virtual void WMSize(TMessage& message);
  virtual void WMMove(TMessage& message);
  virtual void WMSetFocus(TMessage& message);
  virtual void WMKillFocus(TMessage& message);
  virtual void WMKeyDown(TMessage& message);
  virtual void WMKeyUp(TMessage& message);
  virtual void WMChar(TMessage& message);
  virtual void WMGetDlgCode(TMessage& message);
  // Asked before each mouse move over the window: the cursor of the windowless child under the
  // mouse, else the window's own, when it is not crDefault (the answer is then 1); else 0, and the
  // window shows its widget's own cursor.
  virtual void WMSetCursor(TMessage& message);
  // WM_PRINTCLIENT: the client area (background with PRF_ERASEBKGND, content and windowless
  // children with PRF_CLIENT) into the DC in wParam, which is left as it was found.
  virtual void WMPrintClient(TMessage& message);
  // The keyboard-cue state lives with the form: a window hands these to its parent.
  virtual void WMChangeUIState(TMessage& message);
  virtual void WMQueryUIState(TMessage& message);
  virtual void CNKeyDown(TMessage& message);
  // A key that a menu took as its shortcut (the control's pop-up menus, then the form's).
  bool IsMenuKey(TMessage& message);
  void WMContextMenu(TMessage& message) override;
  virtual void CNChar(TMessage& message);
  virtual void CMDialogKey(TMessage& message);
  virtual void CMDialogChar(TMessage& message);
  virtual void CMEnter(TMessage& message);
  virtual void CMExit(TMessage& message);
  virtual void CMShowingChanged(TMessage& message);
  virtual void CMFocusChanged(TMessage& message);
  virtual void CMControlListChange(TMessage& message);
  virtual void CMControlChange(TMessage& message);
  virtual void CMChildKey(TMessage& message);
  // A border or bevel property changed (every setter of them sends it): the frame is laid out anew.
  virtual void CMBorderChanged(TMessage& message);
  void CMVisibleChanged(TMessage& message) override;
  void CMEnabledChanged(TMessage& message) override;
  void CMColorChanged(TMessage& message) override;
  void CMFontChanged(TMessage& message) override;
  void CMTextChanged(TMessage& message) override;
  void CMCursorChanged(TMessage& message) override;

  // Re-applies the visibility of the window after a change of Visible or of a parent's showing.
  void UpdateShowing();
  void UpdateControlState();
  // Applies bounds, colour, font, text and enabled state to an existing widget.
  virtual void ApplyWidgetState();
  // The font (and a native control's text and field colours) to the widget.
  void ApplyWidgetFont();

 private:
  friend class TControl;
  friend struct WindowRecord;
  void AlignAll();
  void DoAlign(TAlign align, TRect& rect, TControl* control);
  void UpdateAnchorsOfChildren(int oldClientWidth, int oldClientHeight);

  std::vector<TControl*> controls_;       // all children in z-order (bottom first)
  std::vector<TWinControl*> tabList_;     // windowed children in tab order
  std::unique_ptr<WindowRecord> record_;
  TCreateParams params_;
  int alignLevel_ = 0;
  bool tabStop_ = false;
  bool doubleBuffered_ = false;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  int borderWidth_ = 0;
  TBevelKind bevelKind_ = bkNone;
  TBevelCut bevelInner_ = bvRaised;
  TBevelCut bevelOuter_ = bvLowered;
  TBevelEdges bevelEdges_ = beLeft | beTop | beRight | beBottom;
  int bevelWidth_ = 1;
  bool showing_ = false;
};

// A control without a window: its parent paints it (Paint on the canvas) and routes mouse messages to
// it by position; enter and leave are synthesised by the parent.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TControlCanvas* Canvas();

 protected:
  virtual void Paint() {}
  void Dispatch(TMessage& message) override;
  // WM_PAINT with the parent's DC in wParam, moved to this control: Paint on the canvas.
  virtual void WMPaint(TMessage& message);
  friend class TWinControl;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A window that paints itself: Paint draws on Canvas, which during painting targets the window's
// surface; outside painting, drawing on Canvas goes straight to the screen surface.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TControlCanvas* Canvas();

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// The control that has the mouse captured (a windowless one may hold it through its parent).
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// The framework control behind a window handle, or nullptr.
TWinControl* FindControl(HWND handle);
// The windowed control whose window has the keyboard focus.
TWinControl* FindFocusedControl();
// The framework window under a screen point (the innermost one), or nullptr.
TWinControl* FindVCLWindow(const TPoint& pos);
// The control under a screen point: the windowless child of the window there that lies under the
// point (a disabled one too with allowDisabled), else the window itself; nullptr over no window of
// the program.
TControl* FindDragTarget(const TPoint& pos, bool allowDisabled);
// The form that holds the control (its topmost parent that is a form), or nullptr.
TCustomForm* GetParentForm(TControl* control);
// The character that follows '&' in a caption marks the control's accelerator key.
bool IsAccel(uint16_t key, const std::string& caption);
