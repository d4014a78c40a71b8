#include "controls/xc_spin_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "controls/xc_text_utils.h"
#include "controls/xrl/xrl_strings.h"
#include "platform/system/locale_info.h"
#include "platform/system/number_text.h"
#include "platform/ui/forms.h"
#include "platform/ui/system_metrics.h"

// ------------------------------------------------------------------------------ the number rules

namespace {

// A value as a 64-bit integer, held at the ends of the range (NaN as 0).
int64_t ToInt64(long double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9223372036854775807.0L) return std::numeric_limits<int64_t>::max();
  if (v <= -9223372036854775808.0L) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

// The text without the thousand separators, unless they are the decimal one.
std::string WithoutThousands(const std::string& text) {
  const char ds = DecimalSeparator(), ts = ThousandSeparator();
  return ts != ds ? RemoveChar(text, ts) : text;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return CharLower(static_cast<unsigned char>(x)) == CharLower(static_cast<unsigned char>(y));
         });
}

bool TryInt64Value(const std::string& text, long double& value) {
  int64_t v;
  if (!TryStrToInt64(text, v)) return false;
  value = static_cast<long double>(v);
  return true;
}

}  // namespace

bool SpinTextToValue(const std::string& text, TValueType type, bool hasDisplayFormat, long double& value) {
  switch (type) {
    case vtFloat:
      return TryStrToFloat(hasDisplayFormat ? CleanNumberText(text) : WithoutThousands(text), value);
    case vtHex:
      return TryInt64Value("$" + text, value);
    default:
      return TryInt64Value(WithoutThousands(text), value);
  }
}

std::string SpinValueToText(long double value, TValueType type, const std::string& displayFormat, uint8_t decimals,
                            bool thousands) {
  switch (type) {
    case vtFloat:
      if (!displayFormat.empty()) return FormatFloat(displayFormat, value);
      return FloatToStrF(value, thousands ? ffNumber : ffFixed, 15, decimals);
    case vtHex:
      return IntToHex(ToInt64(std::nearbyint(value)), 1);
    default:
      // Whole numbers of up to 15 digits as the fixed format writes them; longer ones in full (the
      // format would turn to scientific form, which no integer edit reads back).
      if (std::fabs(value) < 1e15L) return FloatToStrF(value, thousands ? ffNumber : ffFixed, 15, 0);
      return IntToStr(ToInt64(std::round(value)), thousands);
  }
}

int32_t SpinButtonMaxWidth() { return std::min(GetSystemMetrics(SM_CXVSCROLL), 15); }

TRect SpinButtonHostBounds(int32_t width, int32_t height, bool ctl3D, TSpinButtonKind kind, bool rightToLeft) {
  const int32_t w15 = SpinButtonMaxWidth();
  const bool classic = kind == bkClassic;
  int32_t left, top, w, h;
  if (ctl3D) {
    top = -1;
    h = height - 3;
    left = classic ? width - w15 - 4 : width - height - 1;
    w = classic ? w15 : height - 3;
  } else {
    top = 0;
    h = height;
    left = classic ? width - w15 : width - height;
    w = classic ? w15 : height;
  }
  if (rightToLeft) {
    left = ctl3D ? -1 : 0;
    w = (ctl3D ? height - 4 : height) - left;
  }
  return Bounds(left, top, w, h);
}

// ------------------------------------------------------------------------------------ TXcUpDown

TXcUpDown::TXcUpDown(TComponent* owner) : TUpDown(owner) {
  SetOrientation(udVertical);
  SetMin(-1);
  SetMax(1);
  SetPosition(0);
}

TXcUpDown::~TXcUpDown() { OnClick = nullptr; }

void TXcUpDown::SetBounds(int left, int top, int, int height) {
  TUpDown::SetBounds(left, top, SpinButtonMaxWidth(), height);
}

void TXcUpDown::CNScroll(TMessage& m) {
  if (LOWORD(m.WParam) != SB_THUMBPOSITION || changing_) return;
  changing_ = true;
  try {
    const int pos = static_cast<int16_t>(HIWORD(m.WParam));
    if (pos != 0 && OnClick) OnClick(this, pos > 0 ? btNext : btPrev);
    Perform(UDM_SETPOS, 0, MAKELPARAM(0, 0));
  } catch (...) {
    changing_ = false;
    throw;
  }
  changing_ = false;
}

// ---------------------------------------------------------------------------- TXcCustomSpinEdit

TXcCustomSpinEdit::TXcCustomSpinEdit(TComponent* owner) : TXcExCustomMaskEdit(owner) {
  // The component's name never becomes the text.
  SetControlStyle(ControlStyle() & ~csSetCaption);
  SetText("0");
  RebuildButton();
}

TXcCustomSpinEdit::~TXcCustomSpinEdit() {
  // No change handling while the window goes.
  changing_ = true;
  delete button_;
  button_ = nullptr;
  delete host_;
  host_ = nullptr;
  delete upDown_;
  upDown_ = nullptr;
}

void TXcCustomSpinEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CUT:
    case WM_PASTE:
      // Only an edit the user may type in takes text from the clipboard or gives it up.
      if (!editorEnabled_ || ReadOnly()) {
        m.Result = 0;
        return;
      }
      break;
    case CM_CTL3DCHANGED:
    case CM_BIDIMODECHANGED:
      TXcExCustomMaskEdit::WndProc(m);
      TCustomEdit::SetAlignment(alignment_ == taCenter || !RightToLeft() ? alignment_
                                : alignment_ == taLeftJustify         ? taRightJustify
                                                                      : taLeftJustify);
      PlaceButton();
      ApplyEditRect();
      return;
    default: break;
  }
  TXcExCustomMaskEdit::WndProc(m);
}

void TXcCustomSpinEdit::CreateParams(TCreateParams& params) {
  TXcExCustomMaskEdit::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN;
  // The alignment's style; right-to-left reading swaps left and right.
  TAlignment a = alignment_;
  if (RightToLeft() && a != taCenter) a = a == taLeftJustify ? taRightJustify : taLeftJustify;
  params.Style &= ~(ES_LEFT | ES_RIGHT | ES_CENTER);
  params.Style |= a == taLeftJustify ? ES_LEFT : a == taRightJustify ? ES_RIGHT : ES_CENTER;
}

void TXcCustomSpinEdit::CreateWnd() {
  TXcExCustomMaskEdit::CreateWnd();
  ApplyEditRect();
}

void TXcCustomSpinEdit::Loaded() {
  TXcExCustomMaskEdit::Loaded();
  autoMax_ = autoMin_ = true;
  previousValue_ = GetValue();
}

// ---- limits

long double TXcCustomSpinEdit::LimitValue(long double value) const {
  long double r = value;
  if (checkMinValue_ && value < minValue_) r = minValue_;
  if (checkMaxValue_ && value > maxValue_) r = maxValue_;
  return r;
}

long double TXcCustomSpinEdit::VerifyRange(bool raise, long double value) const {
  const long double r = LimitValue(value);
  if ((checkMinValue_ || checkMaxValue_) && raise && r != value)
    throw ERangeError(Format("Value must be between %Lg and %Lg", minValue_, maxValue_));
  return r;
}

bool TXcCustomSpinEdit::CheckMaxAutomatic() const {
  return !(maxValue_ == 0 && checkMaxValue_ == (minValue_ == 0));
}

bool TXcCustomSpinEdit::CheckMinAutomatic() const {
  return !(minValue_ == 0 && checkMinValue_ == (maxValue_ == 0));
}

void TXcCustomSpinEdit::SetMaxValue(long double value) { SetLimit(true, value); }
void TXcCustomSpinEdit::SetMinValue(long double value) { SetLimit(false, value); }

void TXcCustomSpinEdit::SetLimit(bool maximum, long double value) {
  long double& limit = maximum ? maxValue_ : minValue_;
  if (value == limit) return;
  const bool wasAutomatic = maximum ? CheckMaxAutomatic() : CheckMinAutomatic();
  const long double old = limit;
  limit = value;
  // A limit that comes into use or goes out of it switches the checks, unless they were set by hand.
  auto setCheck = [this](bool ofMaximum, bool on) { ofMaximum ? SetCheckMaxValue(on) : SetCheckMinValue(on); };
  if ((value == 0) != (old == 0) && (maximum ? autoMax_ : autoMin_)) {
    setCheck(maximum, LimitsInUse());
    if (wasAutomatic && (maximum ? autoMin_ : autoMax_)) setCheck(!maximum, LimitsInUse());
  }
  WriteValueAgain();
}

void TXcCustomSpinEdit::SetCheckMaxValue(bool value) {
  checkMaxValue_ = maxValue_ != 0 ? true : value;
  if (ComponentState() & csLoading) autoMax_ = false;
  WriteValueAgain();
}

void TXcCustomSpinEdit::SetCheckMinValue(bool value) {
  checkMinValue_ = minValue_ != 0 ? true : value;
  if (ComponentState() & csLoading) autoMin_ = false;
  WriteValueAgain();
}

// ---- other properties

void TXcCustomSpinEdit::SetDecimal(uint8_t value) {
  if (value == decimal_) return;
  decimal_ = value;
  WriteValueAgain();
}

void TXcCustomSpinEdit::SetDisplayFormat(const std::string& value) {
  if (value == displayFormat_) return;
  displayFormat_ = value;
  Invalidate();
}

void TXcCustomSpinEdit::SetThousands(bool value) {
  if (valueType_ == vtHex) return;
  thousands_ = value;
}

void TXcCustomSpinEdit::SetValueType(TValueType value) {
  if (value == valueType_) return;
  valueType_ = value;
  WriteValueAgain();
  if (value == vtInteger || value == vtHex) {
    increment_ = std::nearbyint(increment_);
    if (increment_ == 0) increment_ = 1;
  }
  if (value == vtHex) thousands_ = false;
}

void TXcCustomSpinEdit::SetButtonKind(TSpinButtonKind value) {
  if (value == buttonKind_) return;
  buttonKind_ = value;
  RebuildButton();
  PlaceButton();
  ApplyEditRect();
}

void TXcCustomSpinEdit::SetShowButton(bool value) {
  if (value == showButton_) return;
  showButton_ = value;
  RebuildButton();
  PlaceButton();
  ApplyEditRect();
}

void TXcCustomSpinEdit::SetArrowKeys(bool value) {
  arrowKeys_ = value;
  PlaceButton();
}

void TXcCustomSpinEdit::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  TAlignment a = value;
  if (RightToLeft() && a != taCenter) a = a == taLeftJustify ? taRightJustify : taLeftJustify;
  TCustomEdit::SetAlignment(a);
  if (HandleAllocated()) RecreateWnd();
}

// ---- the change handling

void TXcCustomSpinEdit::Change() {
  if (changing_ || !HandleAllocated()) return;
  changing_ = true;
  negativeText_ = false;
  const int caret = SelStart();
  const std::string before = Text();
  try {
    if (!before.empty()) negativeText_ = before[0] == '-';
    if (!Designing() && checkOptions_.Contains(coCheckOnChange)) {
      // Typing never shows the range message: what is out of range is limited silently.
      try {
        VerifyRange(!checkOptions_.Contains(coCropBeyondLimit), GetValue());
        SetValue(LimitValue(GetValue()));
      } catch (...) {
        SetValue(LimitValue(GetValue()));
      }
    }
  } catch (...) {
    changing_ = negativeText_ = false;
    throw;
  }
  changing_ = negativeText_ = false;
  SetSelStart(caret);
  const long double value = GetValue();
  if (value != previousValue_) {
    if (thousands_ && SelStart() == caret) {
      // The caret keeps its place among the digits when groups come or go before it.
      const std::string after = Text();
      const char ts = ThousandSeparator();
      const size_t at = static_cast<size_t>(std::max(caret, 0));
      const int32_t shift = CountOfCharIn(after.substr(0, std::min(at, after.size())), ts) -
                            CountOfCharIn(before.substr(0, std::min(at, before.size())), ts);
      SetSelStart(caret + shift);
    }
    TXcExCustomMaskEdit::Change();
    previousValue_ = GetValue();
  }
}

void TXcCustomSpinEdit::ApplyEditingFormat() {
  if (valueType_ != vtFloat || !focused_ || displayFormat_.empty()) return;
  const bool modified = Modified();
  const bool wasChanging = changing_;
  // The same number in the plain pattern: no change to report.
  changing_ = true;
  const std::string pattern = decimal_ == 0 ? std::string("0") : "0." + std::string(decimal_, '0');
  try {
    SetText(FormatFloat(pattern, GetValue()));
  } catch (...) {
    changing_ = wasChanging;
    SetModified(modified);
    throw;
  }
  changing_ = wasChanging;
  SetModified(modified);
}

// ---- stepping and keys

void TXcCustomSpinEdit::StepUp() { Step(true); }

void TXcCustomSpinEdit::StepDown() { Step(false); }

void TXcCustomSpinEdit::Step(bool up) {
  if (ReadOnly()) {
    HandleInputError();
    return;
  }
  changing_ = true;
  const std::string before = Text();
  try {
    SetValue(GetValue() + (up ? increment_ : -increment_));
  } catch (...) {
    changing_ = false;
    throw;
  }
  changing_ = false;
  // The write limited the value; a new text is the user's change.
  if (!SameTextIgnoringCase(Text(), before)) {
    SetModified(true);
    Change();
  }
  if (up && OnTopClick) OnTopClick(this);
  if (!up && OnBottomClick) OnBottomClick(this);
}

bool TXcCustomSpinEdit::AcceptsChar(char key) {
  const unsigned char c = static_cast<unsigned char>(key);
  // Without the editor only control characters pass, Backspace not.
  if (!editorEnabled_) return c < 32 && c != 8;
  if (c < 32) return true;
  std::string allowed = "+-0123456789";
  const std::string text = Text();
  if (valueType_ == vtFloat) {
    const char ds = DecimalSeparator(), ts = ThousandSeparator();
    if (text.find(ds) == std::string::npos) {
      allowed += ds;
      if (!(thousands_ && ts == '.')) allowed += '.';
    }
    if (text.find_first_of("Ee") == std::string::npos) allowed += "Ee";
  } else if (valueType_ == vtHex) {
    allowed += "ABCDEFabcdef";
  }
  return allowed.find(key) != std::string::npos;
}

void TXcCustomSpinEdit::KeyDown(uint16_t& key, TShiftState shift) {
  TXcExCustomMaskEdit::KeyDown(key, shift);
  if (arrowKeys_ && (key == VK_UP || key == VK_DOWN)) {
    if (key == VK_UP) StepUp();
    else StepDown();
    key = 0;
  }
  // Without the editor Delete changes nothing either.
  if (!editorEnabled_ && key == VK_DELETE) key = 0;
  if (key != VK_DELETE && key != VK_BACK) return;
  // Delete and Backspace step over the decimal separator instead of removing it.
  const std::string text = Text();
  const int caret = SelStart();
  const char ds = DecimalSeparator();
  if (key == VK_DELETE && caret >= 0 && static_cast<size_t>(caret) < text.size() && text[static_cast<size_t>(caret)] == ds)
    key = VK_RIGHT;
  else if (key == VK_BACK && caret > 0 && static_cast<size_t>(caret) <= text.size() &&
           text[static_cast<size_t>(caret) - 1] == ds)
    key = VK_LEFT;
}

void TXcCustomSpinEdit::KeyPress(char& key) {
  const char ds = DecimalSeparator(), ts = ThousandSeparator();
  if (key == '.' && !(thousands_ && ts == '.')) key = ds;
  if (key == ds && valueType_ == vtFloat) {
    const size_t at = Text().find(ds);
    if (at != std::string::npos) {
      // A second separator only puts the caret behind the first.
      key = 0;
      SetSelStart(static_cast<int>(at) + 1);
      return;
    }
  }
  if (!AcceptsChar(key)) {
    key = 0;
    HandleInputError();
    return;
  }
  TXcExCustomMaskEdit::KeyPress(key);
  if (key == '\r' || key == '\x1B') {
    // The form hears of Enter and Escape as dialog keys; Enter goes no further.
    const char code = key;
    if (key == '\r') key = 0;
    if (TCustomForm* form = GetParentForm(this)) form->Perform(CM_DIALOGKEY, static_cast<unsigned char>(code), 0);
  }
}

bool TXcCustomSpinEdit::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
  if (TXcExCustomMaskEdit::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
  if (wheelDelta > 0) StepUp();
  else StepDown();
  return true;
}

// ---- focus

void TXcCustomSpinEdit::SetFocusedState(bool value) {
  if (value == focused_) return;
  focused_ = value;
  Invalidate();
  ApplyEditingFormat();
}

void TXcCustomSpinEdit::CMEnter(TMessage& m) {
  SetFocusedState(true);
  TXcExCustomMaskEdit::CMEnter(m);
}

void TXcCustomSpinEdit::DoExit() {
  SetFocusedState(false);
  if (!Designing() && checkOptions_.Contains(coCheckOnExit)) {
    try {
      VerifyRange(!checkOptions_.Contains(coCropBeyondLimit), GetValue());
      SetValue(LimitValue(GetValue()));
    } catch (...) {
      // The range message reaches the user and the edit keeps the focus with its text selected.
      SetFocusedState(true);
      SelectAll();
      if (CanFocus()) SetFocus();
      throw;
    }
  }
  TXcExCustomMaskEdit::DoExit();
}

void TXcCustomSpinEdit::HandleFocusLost(HWND receivesFocus) {
  if (checkOptions_.Contains(coCheckOnExit) && checkOptions_.Contains(coCropBeyondLimit) && !Designing())
    SetValue(LimitValue(GetValue()));
  TXcExCustomMaskEdit::HandleFocusLost(receivesFocus);
}

// ---- the button

int32_t TXcCustomSpinEdit::SpinButtonWidth() const {
  if (!showButton_) return 0;
  if (upDown_) return upDown_->Width();
  if (button_) return button_->Width();
  return SpinButtonMaxWidth();
}

int32_t TXcCustomSpinEdit::MinimumHeight() {
  TBitmap measure(1, 1);
  measure.Canvas()->Font()->Assign(*Font());
  return 4 * GetSystemMetrics(SM_CYBORDER) + measure.Canvas()->TextHeight("Wg") + 1;
}

void TXcCustomSpinEdit::RebuildButton() {
  if (ComponentState() & csDestroying) return;
  delete button_;
  button_ = nullptr;
  delete host_;
  host_ = nullptr;
  delete upDown_;
  upDown_ = nullptr;
  if (!showButton_) return;
  const int32_t w15 = SpinButtonMaxWidth();
  if (buttonKind_ == bkStandard) {
    upDown_ = new TXcUpDown(this);
    upDown_->SetVisible(true);
    upDown_->SetBounds(0, 1, w15, Height());
    upDown_->SetAlign(RightToLeft() ? alLeft : alRight);
    upDown_->SetParent(this);
    upDown_->OnClick = [this](TObject* sender, TUDBtnType button) { UpDownClicked(sender, button); };
    return;
  }
  host_ = new TWinControl(this);
  host_->SetParent(this);
  host_->SetBounds(0, 0, buttonKind_ == bkClassic ? Height() : w15, Height());
  button_ = new TXcSpinButton(this);
  button_->SetVisible(true);
  if (buttonKind_ == bkClassic) button_->SetButtonStyle(sbsClassic);
  button_->SetParent(host_);
  button_->SetFocusControl(this);
  button_->OnTopClick = [this](TObject*) { StepUp(); };
  button_->OnBottomClick = [this](TObject*) { StepDown(); };
  button_->SetBounds(1, 1, host_->Width() - 1, host_->Height() - 1);
}

void TXcCustomSpinEdit::PlaceButton() {
  if (upDown_) {
    upDown_->SetWidth(SpinButtonMaxWidth());
    upDown_->SetAlign(RightToLeft() ? alLeft : alRight);
  } else if (host_) {
    host_->SetBoundsRect(
        SpinButtonHostBounds(Width(), Height(), Ctl3D() && BorderStyle() == bsSingle, buttonKind_, RightToLeft()));
    if (button_) button_->SetBounds(1, 1, host_->Width() - 1, host_->Height() - 1);
  }
}

void TXcCustomSpinEdit::ApplyEditRect() {
  if (!HandleAllocated()) return;
  const int32_t b = SpinButtonWidth();
  const TRect client = ClientRect();
  TRect r;
  if (!RightToLeft()) {
    Perform(EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, b));
    r = Rect(0, 0, client.Right - b - 2, client.Bottom + 1);
  } else {
    Perform(EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(b, 0));
    r = Rect(b + 1, 0, client.Right - 1, client.Bottom + 1);
  }
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TXcCustomSpinEdit::HandleBoundsChange() {
  const int32_t least = MinimumHeight();
  if (Height() < least) {
    SetHeight(least);  // comes back here at the new height
    return;
  }
  PlaceButton();
  ApplyEditRect();
  TXcExCustomMaskEdit::HandleBoundsChange();
}

void TXcCustomSpinEdit::HandleEnabledChange() {
  TXcExCustomMaskEdit::HandleEnabledChange();
  if (upDown_) {
    upDown_->SetEnabled(Enabled());
    PlaceButton();
  } else if (button_) {
    button_->SetEnabled(Enabled());
  }
}

void TXcCustomSpinEdit::HandleFontChange() {
  TXcExCustomMaskEdit::HandleFontChange();
  PlaceButton();
  ApplyEditRect();
}

void TXcCustomSpinEdit::UpDownClicked(TObject*, TUDBtnType button) {
  if (TabStop() && CanFocus()) SetFocus();
  if (button == btNext) StepUp();
  else StepDown();
}

// ---------------------------------------------------------------------------------- TXcSpinEdit

long double TXcSpinEdit::GetValue() {
  long double v = 0;
  if (SpinTextToValue(Text(), ValueType(), !DisplayFormat().empty(), v)) return v;
  return ValueType() == vtFloat ? MinValue() : std::nearbyint(MinValue());
}

void TXcSpinEdit::SetValue(long double value) {
  const bool modified = Modified();
  try {
    std::string text = SpinValueToText(LimitValue(value), ValueType(), DisplayFormat(), Decimal(), Thousands());
    // A lone "-" reads as 0: it stays visible as "-0" while the user goes on typing.
    if (negativeText_ && !text.empty() && text[0] != '-') text.insert(text.begin(), '-');
    SetText(text);
    ApplyEditingFormat();
  } catch (...) {
    SetModified(modified);
    throw;
  }
  SetModified(modified);
}
