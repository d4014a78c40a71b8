#pragma once
// The spin edit: a one-line number edit with up and down buttons at its right edge (the drawn spin
// button split by a diagonal or into halves, or the standard up-down). The user types a number or
// steps it with the buttons, the arrow keys or the mouse wheel; the owning window reads and writes
// Value. The edit keeps its value only as text: every read of Value parses the text, every write
// formats the number into it. The number is shown as a whole number, a fixed-point number (or
// through DisplayFormat while the edit is not focused) or in hexadecimal; limits are enforced
// while typing (silently), on leaving the field (with the range message), or both.
#include <cstdint>
#include <string>

#include "controls/xc_ex_controls.h"
#include "controls/xc_spin_button.h"
#include "platform/ui/comctrls.h"

enum TValueType : uint8_t { vtInteger, vtFloat, vtHex };
enum TSpinButtonKind : uint8_t { bkStandard, bkDiagonal, bkClassic };
enum TXcCheckOption : uint8_t { coCheckOnChange, coCheckOnExit, coCropBeyondLimit };
using TXcCheckOptions = TEnumSet<TXcCheckOption>;

// ------------------------------------------------------------------------- the number rules alone

// The number a spin edit's text stands for, with the locale's separators: vtFloat through
// CleanNumberText when the edit has a display pattern, else without the thousand separators (when
// they differ from the decimal one); vtHex as "$" and the text, vtInteger without the thousand
// separators, both as 64-bit integers (16 hexadecimal digits give back the two's complement they
// were written from). False when the text does not convert (the edit then reads MinValue).
bool SpinTextToValue(const std::string& text, TValueType type, bool hasDisplayFormat, long double& value);
// The text of a (limited) value: vtFloat through the display pattern when there is one, else with
// decimals decimals and 15 significant digits, grouped with thousands; vtHex rounded (an exact half
// to the even neighbour) to a 64-bit integer in upper-case hexadecimal, at least one digit;
// vtInteger rounded as the fixed format rounds and written in full, grouped with thousands.
// Values beyond the 64-bit range are held at its ends (NaN as 0) in the two integer types.
std::string SpinValueToText(long double value, TValueType type, const std::string& displayFormat, uint8_t decimals,
                            bool thousands);
// The smaller of the system's vertical scroll-bar width and 15: the width of the buttons.
int32_t SpinButtonMaxWidth();
// The host window of the drawn button inside an edit of width by height (left, top, width, height):
// 3D is Ctl3D with a single border; right-to-left puts it at the left edge.
TRect SpinButtonHostBounds(int32_t width, int32_t height, bool ctl3D, TSpinButtonKind kind, bool rightToLeft);

// ----------------------------------------------------------------------------------- TXcUpDown

// The standard up-down of bkStandard: vertical, range -1 to 1, always back at 0 after a click, and
// always SpinButtonMaxWidth() wide.
class TXcUpDown : public TUpDown {
 public:
  explicit TXcUpDown(TComponent* owner);
  ~TXcUpDown() override;
  void SetBounds(int left, int top, int width, int height) override;

 protected:
  // The step's notification: a position above 0 clicks btNext, below 0 btPrev; then the position
  // goes back to 0 (UDM_SETPOS).
  void CNScroll(TMessage& message) override;

 private:
  bool changing_ = false;
};

// --------------------------------------------------------------------------- TXcCustomSpinEdit

class TXcCustomSpinEdit : public TXcExCustomMaskEdit {
 public:
  explicit TXcCustomSpinEdit(TComponent* owner);
  ~TXcCustomSpinEdit() override;
  void WndProc(TMessage& message) override;

  // Value: read by parsing the text, written by formatting it (the write limits it).
  long double Value() { return GetValue(); }
  virtual long double GetValue() = 0;
  virtual void SetValue(long double value) = 0;
  long double MinValue() const { return minValue_; }
  void SetMinValue(long double value);
  long double MaxValue() const { return maxValue_; }
  void SetMaxValue(long double value);
  long double Increment() const { return increment_; }
  void SetIncrement(long double value) { increment_ = value; }
  uint8_t Decimal() const { return decimal_; }
  void SetDecimal(uint8_t value);
  const std::string& DisplayFormat() const { return displayFormat_; }
  void SetDisplayFormat(const std::string& value);
  bool Thousands() const { return thousands_; }
  void SetThousands(bool value);
  TValueType ValueType() const { return valueType_; }
  virtual void SetValueType(TValueType value);
  TSpinButtonKind ButtonKind() const { return buttonKind_; }
  void SetButtonKind(TSpinButtonKind value);
  bool ShowButton() const { return showButton_; }
  void SetShowButton(bool value);
  bool ArrowKeys() const { return arrowKeys_; }
  void SetArrowKeys(bool value);
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool value) { editorEnabled_ = value; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TXcCheckOptions CheckOptions() const { return checkOptions_; }
  void SetCheckOptions(TXcCheckOptions value) { checkOptions_ = value; }
  bool CheckMinValue() const { return checkMinValue_; }
  void SetCheckMinValue(bool value);
  bool CheckMaxValue() const { return checkMaxValue_; }
  void SetCheckMaxValue(bool value);

  // The value within the enforced limits: MinValue when below it, then MaxValue when above it (both
  // tests look at value itself).
  long double LimitValue(long double value) const;
  // LimitValue of the value; raises ERangeError "Value must be between %g and %g" (MinValue and
  // MaxValue in the general format) when asked, a limit is enforced and the value is outside.
  long double VerifyRange(bool raise, long double value) const;
  // The pattern DisplayFormat is compared with: ",0.##".
  virtual std::string StandardDisplayFormat() const { return ",0.##"; }
  virtual bool AcceptsChar(char key);
  virtual void StepDown();
  virtual void StepUp();
  // The least height that shows the text: four border heights, the font's text height and one.
  int32_t MinimumHeight();
  // The width the button takes from the text (0 without a button).
  int32_t SpinButtonWidth() const;

  TXcSpinButton* Button() const { return button_; }
  TWinControl* ButtonHost() const { return host_; }
  TXcUpDown* UpDown() const { return upDown_; }
  bool FocusedState() const { return focused_; }
  // The end of loading: both limit checks follow the limits again; the value is the previous one.
  void Loaded() override;

  TNotifyEvent OnTopClick;
  TNotifyEvent OnBottomClick;

 protected:
  // While focused, a float edit with a display pattern shows its plain editing pattern ("0" or "0."
  // and Decimal zeros).
  virtual void ApplyEditingFormat();

  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Change() override;
  void CMEnter(TMessage& message) override;
  void DoExit() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) override;
  void HandleBoundsChange() override;
  void HandleFocusLost(HWND receivesFocus) override;
  void HandleEnabledChange() override;
  void HandleFontChange() override;

  void SetFocusedState(bool value);
  void RebuildButton();
  void PlaceButton();
  void ApplyEditRect();

  // Set while the edit rewrites its own text: the change handling keeps out of it.
  bool changing_ = false;
  // Set during the change handling when the text begins with "-": a lone "-" stays as "-0".
  bool negativeText_ = false;

 private:
  // A step up or down by Increment from a button, a key or the wheel.
  void Step(bool up);
  void UpDownClicked(TObject* sender, TUDBtnType button);
  bool LimitsInUse() const { return minValue_ != 0 || maxValue_ != 0; }
  bool CheckMaxAutomatic() const;
  bool CheckMinAutomatic() const;
  // Sets MaxValue or MinValue, switching the automatic checks.
  void SetLimit(bool maximum, long double value);
  // The limit or format changed: the value is written again (limited and formatted).
  void WriteValueAgain() { SetValue(GetValue()); }
  bool Designing() const { return (ComponentState() & csDesigning) != 0; }
  bool RightToLeft() const { return UseRightToLeftReading(); }

  bool showButton_ = true;
  bool checkMaxValue_ = false;
  bool checkMinValue_ = false;
  TXcCheckOptions checkOptions_{coCheckOnChange, coCheckOnExit, coCropBeyondLimit};
  std::string displayFormat_;
  bool focused_ = false;
  bool autoMax_ = true;
  bool autoMin_ = true;
  TAlignment alignment_ = taLeftJustify;
  long double minValue_ = 0;
  long double maxValue_ = 0;
  long double previousValue_ = 0;
  long double increment_ = 1;
  uint8_t decimal_ = 2;
  bool editorEnabled_ = true;
  TValueType valueType_ = vtInteger;
  TXcSpinButton* button_ = nullptr;  // owned as components
  TWinControl* host_ = nullptr;
  bool arrowKeys_ = true;
  TXcUpDown* upDown_ = nullptr;
  bool thousands_ = false;
  TSpinButtonKind buttonKind_ = bkDiagonal;
};

class TXcSpinEdit : public TXcCustomSpinEdit {
 public:
  using TXcCustomSpinEdit::TXcCustomSpinEdit;
  long double GetValue() override;
  void SetValue(long double value) override;
};
