#pragma once
// Standard controls on the toolkit's native widgets: buttons, check boxes, radio buttons, group boxes
// and scroll bars. Each native widget's notifications come back to its control as CN_COMMAND (or
// CN_HSCROLL/CN_VSCROLL), as the platform reflects them, so that a subclass can intercept them.
#include "platform/ui/controls.h"

// A push button: Click fires OnClick and, with a ModalResult, closes a modal form with it. Default
// takes Enter and Cancel takes Escape on its form (through CM_DIALOGKEY); "&x" in the caption makes
// Alt+x (or x when the focused control does not want characters) click it.
class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  int32_t ModalResult() const { return modalResult_; }
  void SetModalResult(int32_t value) { modalResult_ = value; }
  void Click() override;

 protected:
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void CMDialogKey(TMessage& message) override;
  void CMDialogChar(TMessage& message) override;
  void WMGetDlgCode(TMessage& message) override;
  void CMTextChanged(TMessage& message) override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  int32_t modalResult_ = 0;
};

// A text on its parent (no window of its own). With AutoSize (the default) it takes the size of its
// text, keeping its left edge (right edge for right-aligned text); "&x" underlines x and makes Alt+x
// focus FocusControl. A disabled label draws its text embossed.
class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  bool Transparent() const { return !(controlStyle_ & csOpaque); }
  void SetTransparent(bool value);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* value);
  void SetAutoSize(bool value) override;

 protected:
  void Paint() override;
  // Draws (or with DT_CALCRECT measures) the caption in rect with the label's rules.
  virtual void DoDrawText(TRect& rect, uint32_t flags);
  virtual std::string GetLabelText() { return Caption(); }
  void AdjustBounds();
  void Dispatch(TMessage& message) override;
  void CMTextChanged(TMessage& message) override;
  void CMFontChanged(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
};

enum TCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };

// Common base of the check box and the radio button: a caption beside a mark, the text on the left or
// the right (Alignment: taRightJustify, the default, puts the text right of the mark), optionally
// wrapped.
class TButtonControl : public TWinControl {
 public:
  explicit TButtonControl(TComponent* owner);
  TLeftRight Alignment() const { return alignment_; }
  void SetAlignment(TLeftRight value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);

 protected:
  void ApplyWidgetState() override;
  void CMTextChanged(TMessage& message) override;
  void WMGetDlgCode(TMessage& message) override;
  // Click events are not sent while the program itself sets the state (for code that must not hear
  // its own changes); a check box or radio button still fires OnClick when set in code otherwise.
  bool ClicksDisabled() const { return clicksDisabled_ > 0; }
  void DisableClicks() { ++clicksDisabled_; }
  void EnableClicks() { --clicksDisabled_; }

 private:
  TLeftRight alignment_ = taRightJustify;
  bool wordWrap_ = false;
  int clicksDisabled_ = 0;
};

// The size of the box a check box draws beside its caption (the desktop style's indicator).
TSize CheckBoxGlyphSize();

// A check box with two or (AllowGrayed) three states. Every change of the state, by the user or by
// the program, fires OnClick, as in the framework. A click (BN_CLICKED) toggles: unchecked goes to
// grayed when AllowGrayed, else to checked; checked to unchecked; grayed to checked.
//
// The window honours the button styles of its creation parameters: the text's horizontal place
// (BS_LEFT, BS_RIGHT, BS_CENTER), its vertical place (BS_TOP, BS_VCENTER, BS_BOTTOM; the mark
// follows it), the text left of the mark (BS_LEFTTEXT) and wrapped text (BS_MULTILINE). The
// toolkit's check box has none of these, so a window made with any of them is drawn by the
// framework: the style's mark (the classic sunken box with visual styles off) and the text through
// DrawText; a press or Space clicks it as the native one does.
class TCustomCheckBox : public TButtonControl {
 public:
  explicit TCustomCheckBox(TComponent* owner);
  TCheckBoxState State() const { return state_; }
  virtual void SetState(TCheckBoxState value);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool value);
  // Whether the window is drawn by the framework (made with a placement style).
  bool DrawnByFramework() const { return drawn_; }

 protected:
  virtual void Toggle();
  void CreateParams(TCreateParams& params) override;
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void CMDialogChar(TMessage& message) override;
  void PaintWindow(HDC dc) override;

 private:
  void DrawnMouse(TMessage& message);
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  bool drawn_ = false;
  bool pressed_ = false;     // a press (mouse or Space) that clicks on release
  bool mouseDown_ = false;   // the press is the mouse's
};

// The placement styles a framework-drawn check box reads.
constexpr uint32_t kCheckBoxPlacementStyles = BS_LEFT | BS_RIGHT | BS_CENTER | BS_TOP | BS_BOTTOM | BS_VCENTER |
                                              BS_LEFTTEXT | BS_MULTILINE;
// Where a framework-drawn check box puts its mark and its text in a client area of width x height
// for the styles, with a mark of markSize and text textHeight high: the mark's rectangle and the
// text's (the whole room beside the mark across, the text's height down).
void CheckBoxDrawnLayout(uint32_t style, int width, int height, TSize markSize, int textHeight, TRect& mark,
                         TRect& text);

class TCheckBox : public TCustomCheckBox {
 public:
  using TCustomCheckBox::TCustomCheckBox;
};

// A radio button: checking one unchecks the radio buttons beside it (same parent); OnClick fires when
// it becomes checked.
class TRadioButton : public TButtonControl {
 public:
  explicit TRadioButton(TComponent* owner);
  bool Checked() const { return checked_; }
  virtual void SetChecked(bool value);

 protected:
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void CMDialogChar(TMessage& message) override;

 private:
  bool checked_ = false;
};

// A group box: a frame with a caption around its child controls; the children align inside the frame
// below the caption. The toolkit's group box draws it, unless the control paints itself
// (SetPaintedByControl before the window is made, or it is made again): then Paint draws on Canvas,
// by default the style's group-box frame (the theme services' part) with the caption on it.
class TCustomGroupBox : public TCustomControl {
 public:
  explicit TCustomGroupBox(TComponent* owner);
  bool PaintedByControl() const { return paintedByControl_; }

 protected:
  void SetPaintedByControl(bool value);
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void AdjustClientRect(TRect& rect) override;
  void Paint() override;
  void CMTextChanged(TMessage& message) override;
  void CMDialogChar(TMessage& message) override;

 private:
  bool paintedByControl_ = false;
};

class TGroupBox : public TCustomGroupBox {
 public:
  using TCustomGroupBox::TCustomGroupBox;
};

enum TScrollBarKind : uint8_t { sbHorizontal, sbVertical };
enum TScrollCode : uint8_t {
  scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll
};
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

// A scroll bar control: Position between Min and Max, moved by SmallChange per arrow and LargeChange
// per page; OnScroll may change where a user's action goes, OnChange follows every change of Position.
class TScrollBar : public TWinControl {
 public:
  explicit TScrollBar(TComponent* owner);
  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind value);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  int PageSize() const { return pageSize_; }
  void SetMin(int value) { SetParams(position_, value, max_); }
  void SetMax(int value) { SetParams(position_, min_, value); }
  void SetPosition(int value) { SetParams(value, min_, max_); }
  void SetPageSize(int value);
  // Raises EInvalidOperation "Scroll bar property out of range" when min > max.
  void SetParams(int position, int min, int max);
  int SmallChange() const { return smallChange_; }
  void SetSmallChange(int value) { smallChange_ = value; }
  int LargeChange() const { return largeChange_; }
  void SetLargeChange(int value) { largeChange_ = value; }
  TNotifyEvent OnChange;
  TScrollEvent OnScroll;

 protected:
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Dispatch(TMessage& message) override;
  virtual void Change();
  virtual void Scroll(TScrollCode scrollCode, int& scrollPos);
  void DoScroll(TMessage& message);

 private:
  void UpdateBar();
  TScrollBarKind kind_ = sbHorizontal;
  int min_ = 0, max_ = 100, position_ = 0, pageSize_ = 0;
  int smallChange_ = 1, largeChange_ = 1;
};
