#pragma once
// The extension bases of the controls. Each sits on one class of the framework and turns its
// notifications (text, font, colour, visibility, focus, mouse entering and leaving, hints, child-list
// changes) and a few window messages (focus, background erase, dialog codes, move and size) into a
// fixed set of overridable hooks. A control overrides a hook instead of handling a message; every
// hook's default hands the message on to the framework class's own handling (DeliverToBase), so a
// control that overrides nothing behaves as its framework class.
//
// On top of the hooks every base has a hint colour and hint-window class of its own, the events
// OnMouseEnter, OnMouseLeave (TControl's) and OnParentColorChange, and the windowed bases the
// two-pixel highlight frame of DotNetHighlighting.
//
// One template per kind of base serves all of them: TXcExControl (the windowless control's
// reduced hook set) and TXcExWindowed (the full set), over the framework class.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/xc_types.h"
#include "platform/gdi/graphics.h"
#include "platform/system/guid.h"
#include "platform/ui/controls.h"
#include "platform/ui/edit_ctrls.h"
#include "platform/ui/ext_ctrls.h"
#include "platform/ui/list_ctrls.h"
#include "platform/ui/std_ctrls.h"

// The published "about" property: no run-time effect.
struct TXCLAboutInfo {};

// Marks a control of the extended library.
class IExtendedControlMarker {
 public:
  virtual ~IExtendedControlMarker() = default;
};
// Marks a control that refuses to be subclassed (it answers QuerySubclassRefusal with 1).
class ISubclassRefusalMarker {
 public:
  virtual ~ISubclassRefusalMarker() = default;
};
constexpr TGUID IID_IExtendedControlMarker = {0x8E6579C3, 0xD683, 0x4562,
                                              {0xAF, 0xAB, 0xD2, 0x3C, 0x85, 0x26, 0xE3, 0x86}};
constexpr TGUID IID_ISubclassRefusalMarker = {0x76942BC0, 0x2A6E, 0x4DC4,
                                              {0xBF, 0xC9, 0x8E, 0x11, 0x0D, 0xB7, 0xF6, 0x01}};

// Answered directly: 1 when the control implements ISubclassRefusalMarker, else 0.
constexpr UINT QuerySubclassRefusal = 0xB7D0;

// What a control wants of the keyboard (WM_GETDLGCODE), as a set; dcsNative marks that the
// framework's answer stays as it was.
enum TDialogCode : uint8_t { dcsWantAllKeys, dcsWantArrows, dcsWantChars, dcsButton, dcsHasSetSel, dcsWantTab, dcsNative };
using TDialogCodeSet = TEnumSet<TDialogCode>;
// The six flags to their members (other bits are ignored), and back (dcsNative ignored).
TDialogCodeSet DialogCodesFromFlags(LRESULT flags);
LRESULT FlagsFromDialogCodes(TDialogCodeSet codes);

// The colours of the highlight frame: both rings when hot; the outer ring otherwise.
constexpr TColor HighlightFrameColor = TColorOf(0x00733800);
constexpr TColor PlainFrameColor = TColorOf(0x00808080);
// Draws the two one-pixel rings along rect: the outer in HighlightFrameColor when hot, else
// PlainFrameColor; the inner in HighlightFrameColor when hot, else the control's colour.
void DrawHighlightFrame(HDC dc, TRect rect, TColor controlColor, bool hot);

// The hint colour of a hint about to show for control: clNone gives the application's hint
// colour; clDefault asks the parent (a copy of the record goes to it as CM_HINTSHOW) and keeps the
// record's colour without a parent; any other colour is written in.
void ResolveHintColor(THintInfo& info, TControl* control, TColor color);

// ---------------------------------------------------------------------------- the windowless bases

template <class Base>
class TXcExControl : public Base, public IExtendedControlMarker {
 public:
  explicit TXcExControl(TComponent* owner);
  void WndProc(TMessage& message) override;

  TXCLAboutInfo AboutXCL() const { return {}; }
  void SetAboutXCL(const TXCLAboutInfo&) {}
  TColor HintColor() const { return hintColor_; }
  void SetHintColor(TColor value) { hintColor_ = value; }
  // When set, put into every hint record this control produces.
  THintWindowClass CustomHintWindowClass() const { return customHintWindowClass_; }
  void SetCustomHintWindowClass(THintWindowClass value) { customHintWindowClass_ = value; }

  // Fired after the parent's colour changed.
  TNotifyEvent OnParentColorChange;

 protected:
  // Hands the message to the framework class's own handling (never back through WndProc) and
  // answers its result.
  LRESULT DeliverToBase(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m;
    m.Msg = msg;
    m.WParam = wParam;
    m.LParam = lParam;
    m.Result = 0;
    Base::WndProc(m);
    return m.Result;
  }

  virtual void HandleTextChange();
  virtual bool HandleDialogChar(uint16_t key, TShiftState shift, const std::string& keyText);
  virtual bool HandleHitTest(int x, int y);
  virtual void HandleFocusChange(TControl* control);
  virtual void HandleVisibleChange();
  virtual void HandleEnabledChange();
  virtual void HandleColorChange();
  virtual void HandleFontChange();
  virtual void HandleParentFontChange();
  virtual void HandleParentColorChange();
  virtual void HandleParentShowHintChange();
  virtual bool HandleHintShow(THintInfo& info);
  // The mouse entered this control (control null) or, told by a child, that child.
  virtual void HandleMouseEntry(TControl* control);
  virtual void HandleMouseExit(TControl* control);

 private:
  template <class>
  friend class TXcExWindowed;
  // Routes a notification of the windowless set to its hook; false when it is not one of them.
  [[gnu::always_inline]] inline bool RouteCommon(TMessage& message);

  TColor hintColor_ = clDefault;
  THintWindowClass customHintWindowClass_ = nullptr;
};

// ------------------------------------------------------------------------------- the windowed bases

template <class Base>
class TXcExWindowed : public TXcExControl<Base> {
 public:
  explicit TXcExWindowed(TComponent* owner);
  ~TXcExWindowed() override;
  void WndProc(TMessage& message) override;

  bool DotNetHighlighting() const { return dotNetHighlighting_; }
  void SetDotNetHighlighting(bool value);

 protected:
  virtual void HandleBoundsChange();
  virtual void HandleDialogCodes(TDialogCodeSet& codes);
  // wParam of the focus messages: the window that lost the focus, the one that receives it.
  virtual void HandleFocusGained(HWND lostFocus);
  virtual void HandleFocusLost(HWND receivesFocus);
  // The background erase, on a canvas over the DC that WM_ERASEBKGND brings; true when erased.
  virtual bool HandleEraseBackground(TCanvas* canvas, LPARAM param);
  virtual void HandleCursorChange();
  virtual void HandleShowingChange();
  virtual void HandleShowHintChange();
  // A child is about to be inserted or removed (inserting), and has been.
  virtual void HandleChildListChanging(TControl* control, bool inserting);
  virtual void HandleChildListChanged(TControl* control, bool inserting);

  // The highlight frame after focus, frame painting and the mouse: drawn through the window's DC;
  // after the mouse left, the two-pixel band is repainted by the control.
  void UpdateHighlightFrame(bool mouseLeft);
  void PaintHighlightFrame();

 private:
  void EraseBackground(TMessage& message);

  bool dotNetHighlighting_ = false;
  // The canvas the erase path lends the hook, made once and used again for every erase.
  std::unique_ptr<TCanvas> eraseCanvas_;
  bool eraseCanvasBusy_ = false;
};

extern template class TXcExControl<TGraphicControl>;
extern template class TXcExControl<TWinControl>;
extern template class TXcExControl<TCustomControl>;
extern template class TXcExControl<TCustomListBox>;
extern template class TXcExControl<TCustomGroupBox>;
extern template class TXcExControl<TCustomCheckBox>;
extern template class TXcExControl<TCustomMaskEdit>;
extern template class TXcExControl<TCustomPanel>;
extern template class TXcExWindowed<TWinControl>;
extern template class TXcExWindowed<TCustomControl>;
extern template class TXcExWindowed<TCustomListBox>;
extern template class TXcExWindowed<TCustomGroupBox>;
extern template class TXcExWindowed<TCustomCheckBox>;
extern template class TXcExWindowed<TCustomMaskEdit>;
extern template class TXcExWindowed<TCustomPanel>;

// ---------------------------------------------------------------------------------- the eight bases

class TXcExWinControl : public TXcExWindowed<TWinControl> {
 public:
  using TXcExWindowed::TXcExWindowed;
};

class TXcExCustomControl : public TXcExWindowed<TCustomControl> {
 public:
  using TXcExWindowed::TXcExWindowed;
};

class TXcExGraphicControl : public TXcExControl<TGraphicControl> {
 public:
  using TXcExControl::TXcExControl;
};

class TXcExCustomListBox : public TXcExWindowed<TCustomListBox> {
 public:
  using TXcExWindowed::TXcExWindowed;
};

class TXcExGroupBox : public TXcExWindowed<TCustomGroupBox> {
 public:
  using TXcExWindowed::TXcExWindowed;
};

class TXcExCheckBox : public TXcExWindowed<TCustomCheckBox> {
 public:
  using TXcExWindowed::TXcExWindowed;
};

// The masked edit with a filter of its clipboard commands: WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR and
// WM_UNDO/EM_UNDO go on only when ClipboardCommands has their command; a refused one answers 1 and
// does nothing.
class TXcExCustomMaskEdit : public TXcExWindowed<TCustomMaskEdit> {
 public:
  explicit TXcExCustomMaskEdit(TComponent* owner);
  void WndProc(TMessage& message) override;

  TXcClipboardCommands ClipboardCommands() const { return clipboardCommands_; }
  virtual void SetClipboardCommands(TXcClipboardCommands value) { clipboardCommands_ = value; }
  bool BeepOnError() const { return beepOnError_; }
  virtual void SetBeepOnError(bool value) { beepOnError_ = value; }

 protected:
  // Input the mask refused: the system's default beep when BeepOnError is set.
  virtual void HandleInputError();

 private:
  TXcClipboardCommands clipboardCommands_ = kAllClipboardCommands;
  bool beepOnError_ = true;
};

class TXcExCustomPanel : public TXcExWindowed<TCustomPanel> {
 public:
  using TXcExWindowed::TXcExWindowed;
};

using TXcPaintClientAreaEvent = std::function<void(TObject* Sender, TCanvas* Canvas, const TRect& Rect)>;

// A panel that paints its client area after the framework panel's bevels and caption.
class TXcCustomPanel : public TXcExCustomPanel {
 public:
  using TXcExCustomPanel::TXcExCustomPanel;
  TXcPaintClientAreaEvent OnPaintClientArea;

 protected:
  void Paint() override;
  // Fires OnPaintClientArea with the client rectangle.
  virtual void PaintClientArea(const TRect& rect);
};

// The base of the library's non-visual components.
class TXcComponent : public TComponent {
 public:
  using TComponent::TComponent;
  TXCLAboutInfo AboutXCL() const { return {}; }
  void SetAboutXCL(const TXCLAboutInfo&) {}
};
