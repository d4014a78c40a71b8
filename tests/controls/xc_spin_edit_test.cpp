#include "controls/xc_spin_edit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/system/locale_info.h"
#include "platform/system/number_text.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/system_metrics.h"
#include "platform/ui/theme_services.h"
#include "tests/support/separators.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::KeyPress;

using Separators = testsupport::PinnedSeparators;

// A spin edit that counts the input errors (each beeps) and its changes.
class TCountingSpinEdit : public TXcSpinEdit {
 public:
  explicit TCountingSpinEdit(TComponent* owner) : TXcSpinEdit(owner) {
    OnChange = [this](TObject*) {
      ++changes;
      values.push_back(Value());
    };
  }
  int errors = 0, changes = 0;
  std::vector<long double> values;

 protected:
  void HandleInputError() override {
    ++errors;
    TXcSpinEdit::HandleInputError();
  }
};

class SpinEditTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 400, 200);
  }
  TCountingSpinEdit* Make(int top = 10) {
    auto* e = new TCountingSpinEdit(form);
    e->SetParent(form);
    e->SetBounds(10, top, 121, 21);
    return e;
  }
  // Types the text at the caret, one key at a time.
  static void Type(TWinControl* c, const std::string& text) {
    for (char ch : text) {
      const char s[2] = {ch, 0};
      uint16_t vk = ch >= 'a' && ch <= 'z' ? static_cast<uint16_t>(ch - 32) : static_cast<uint16_t>(ch);
      if (ch == '.') vk = 0xBE;
      if (ch == ',') vk = 0xBC;
      if (ch == '-') vk = 0xBD;
      KeyPress(c, vk, s);
    }
  }
  Separators separators{'.', ','};
};

// ------------------------------------------------------------------------------ the number rules

TEST(SpinValueRules, TextToValueByTypeUnderBothSeparatorPairs) {
  struct Case {
    char decimal, thousand;
    const char* text;
    TValueType type;
    bool pattern;
    bool ok;
    long double value;
  };
  const Case cases[] = {
      {'.', ',', "12.5", vtFloat, false, true, 12.5L},
      {'.', ',', "1,234.5", vtFloat, false, true, 1234.5L},
      {'.', ',', "1,234.5", vtFloat, true, true, 1234.5L},
      {'.', ',', "-", vtFloat, false, false, 0},
      {'.', ',', "-", vtFloat, true, true, 0},         // cleaned to "-0"
      {'.', ',', "", vtFloat, true, true, 0},          // cleaned to "0"
      {'.', ',', "1E99999", vtFloat, false, false, 0}, // not finite: no number
      {'.', ',', "1e3", vtFloat, false, true, 1000},
      {',', '.', "1.234,5", vtFloat, false, true, 1234.5L},
      {',', '.', "12,5", vtFloat, false, true, 12.5L},
      {',', '.', "12.5", vtFloat, false, true, 125},   // the point is the thousand separator
      {'.', ',', "2,147,483,648", vtInteger, false, true, 2147483648.0L},
      {'.', ',', "9223372036854775807", vtInteger, false, true, 9223372036854775807.0L},
      {'.', ',', "9223372036854775808", vtInteger, false, false, 0},
      {'.', ',', "-17", vtInteger, false, true, -17},
      {'.', ',', "1.5", vtInteger, false, false, 0},
      {',', '.', "1.000", vtInteger, false, true, 1000},
      {'.', ',', "FF", vtHex, false, true, 255},
      {'.', ',', "ff", vtHex, false, true, 255},
      {'.', ',', "80000000", vtHex, false, true, 2147483648.0L},
      {'.', ',', "FFFFFFFFFFFFFFFF", vtHex, false, true, -1},
      {'.', ',', "10000000000000000", vtHex, false, false, 0},
      {'.', ',', "-FF", vtHex, false, false, 0},
      {'.', ',', "", vtHex, false, false, 0},
  };
  for (const Case& c : cases) {
    Separators s(c.decimal, c.thousand);
    long double v = -99;
    EXPECT_EQ(SpinTextToValue(c.text, c.type, c.pattern, v), c.ok) << c.text << " type " << int(c.type);
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(SpinValueRules, ValueToTextByTypeAndBackAgain) {
  struct Case {
    char decimal, thousand;
    long double value;
    TValueType type;
    const char* pattern;
    uint8_t decimals;
    bool thousands;
    const char* text;
  };
  const Case cases[] = {
      {'.', ',', 49.95L, vtFloat, "", 1, false, "50.0"},
      {'.', ',', 1234.5L, vtFloat, "", 2, true, "1,234.50"},
      {',', '.', 1234.5L, vtFloat, "", 2, true, "1.234,50"},
      {',', '.', 0.125L, vtFloat, "", 2, false, "0,13"},
      {'.', ',', 1234.5L, vtFloat, ",0.##", 2, false, "1,234.5"},
      {'.', ',', 1e20L, vtFloat, "", 2, false, "1E20"},
      {'.', ',', 255, vtHex, "", 2, false, "FF"},
      {'.', ',', 0, vtHex, "", 2, false, "0"},
      {'.', ',', -1, vtHex, "", 2, false, "FFFFFFFFFFFFFFFF"},
      {'.', ',', 2.5L, vtHex, "", 2, false, "2"},          // round: the half goes to the even neighbour
      {'.', ',', 3.5L, vtHex, "", 2, false, "4"},
      {'.', ',', 1e30L, vtHex, "", 2, false, "7FFFFFFFFFFFFFFF"},
      {'.', ',', 2.5L, vtInteger, "", 2, false, "3"},       // the fixed format: away from zero
      {'.', ',', 1234567, vtInteger, "", 2, true, "1,234,567"},
      {'.', ',', 3000000000.0L, vtInteger, "", 2, false, "3000000000"},
      {'.', ',', 1234567890123456789.0L, vtInteger, "", 2, true, "1,234,567,890,123,456,789"},
      {'.', ',', -1e25L, vtInteger, "", 2, false, "-9223372036854775808"},
  };
  for (const Case& c : cases) {
    Separators s(c.decimal, c.thousand);
    const std::string text = SpinValueToText(c.value, c.type, c.pattern, c.decimals, c.thousands);
    EXPECT_EQ(text, c.text) << static_cast<double>(c.value);
    // Every text the edit writes reads back (the integer types exactly).
    long double back = 0;
    EXPECT_TRUE(SpinTextToValue(text, c.type, *c.pattern != 0, back)) << text;
    if (c.type != vtFloat && std::fabs(c.value) < 9e18L && std::nearbyint(c.value) == c.value) {
      EXPECT_EQ(back, c.value) << text;
    }
  }
}

TEST(SpinValueRules, TheHostOfTheButtonByBorderKindAndReadingOrder) {
  const int w15 = SpinButtonMaxWidth();
  EXPECT_EQ(w15, 15);
  struct Case {
    bool ctl3D;
    TSpinButtonKind kind;
    bool rtl;
    TRect bounds;  // left, top, right, bottom
  };
  // An edit of 121 x 21.
  const Case cases[] = {
      {true, bkClassic, false, Bounds(121 - 15 - 4, -1, 15, 18)},
      {true, bkDiagonal, false, Bounds(121 - 21 - 1, -1, 18, 18)},
      {false, bkClassic, false, Bounds(121 - 15, 0, 15, 21)},
      {false, bkDiagonal, false, Bounds(121 - 21, 0, 21, 21)},
      {true, bkDiagonal, true, Bounds(-1, -1, 18, 18)},
      {true, bkClassic, true, Bounds(-1, -1, 18, 18)},
      {false, bkDiagonal, true, Bounds(0, 0, 21, 21)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SpinButtonHostBounds(121, 21, c.ctl3D, c.kind, c.rtl), c.bounds) << c.ctl3D << c.kind << c.rtl;
}

// ---------------------------------------------------------------------------------- limits

TEST_F(SpinEditTest, LimitValueAndVerifyRangeLookAtTheIncomingValue) {
  auto* e = Make();
  struct Case {
    long double min, max;
    bool checkMin, checkMax;
    long double in, out;
    bool raises;
  };
  const Case cases[] = {
      {1, 50, true, true, 25, 25, false},
      {1, 50, true, true, 0, 1, true},
      {1, 50, true, true, 56, 50, true},
      {0, 0, false, false, -5, -5, false},
      {50, 1, true, true, 0, 50, true},   // below the minimum: the minimum (the maximum test sees 0)
      {50, 1, true, true, 60, 1, true},   // above the maximum: the maximum
      {50, 1, true, true, 25, 1, true},   // below 50 and above 1 as given: the maximum wins
  };
  for (const Case& c : cases) {
    e->SetMinValue(c.min);
    e->SetMaxValue(c.max);
    e->SetCheckMinValue(c.checkMin);
    e->SetCheckMaxValue(c.checkMax);
    EXPECT_EQ(e->LimitValue(c.in), c.out) << static_cast<double>(c.in);
    if (c.raises) {
      try {
        e->VerifyRange(true, c.in);
        ADD_FAILURE() << "no range error for " << static_cast<double>(c.in);
      } catch (const ERangeError& error) {
        EXPECT_EQ(error.Message(), Format("Value must be between %Lg and %Lg", c.min, c.max));
      }
      EXPECT_EQ(e->VerifyRange(false, c.in), c.out);
    } else {
      EXPECT_EQ(e->VerifyRange(true, c.in), c.out);
    }
  }
  e->SetMinValue(0.1L);
  e->SetMaxValue(1234567);
  EXPECT_THROW(e->VerifyRange(true, 0), ERangeError);
  try {
    e->VerifyRange(true, 0);
  } catch (const ERangeError& error) {
    EXPECT_EQ(error.Message(), "Value must be between 0.1 and 1234567");
  }
}

TEST_F(SpinEditTest, TheLimitChecksFollowTheLimitsUntilSetByHand) {
  auto* e = Make();
  struct Step {
    const char* what;
    std::function<void()> act;
    bool checkMin, checkMax;
  };
  const Step steps[] = {
      {"new", [] {}, false, false},
      {"max 50: both, the zero minimum too", [&] { e->SetMaxValue(50); }, true, true},
      {"a non-zero maximum stays checked", [&] { e->SetCheckMaxValue(false); }, true, true},
      {"the minimum may go", [&] { e->SetCheckMinValue(false); }, false, true},
      {"max back to 0: neither", [&] { e->SetMaxValue(0); }, false, false},
      {"min 5: both", [&] { e->SetMinValue(5); }, true, true},
      {"min -3: no crossing of zero, no change", [&] { e->SetMinValue(-3); }, true, true},
      {"min 0: neither", [&] { e->SetMinValue(0); }, false, false},
      {"a check by hand with no limits", [&] { e->SetCheckMaxValue(true); }, false, true},
      {"min 1 with the maximum checked by hand", [&] { e->SetMinValue(1); }, true, true},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(e->CheckMinValue(), s.checkMin) << s.what;
    EXPECT_EQ(e->CheckMaxValue(), s.checkMax) << s.what;
  }
  // A check set while loading is the form's own: the limits no longer switch it.
  auto* loaded = new TCountingSpinEdit(form);
  loaded->BeginLoading();
  loaded->SetCheckMinValue(false);
  loaded->SetMaxValue(10);
  EXPECT_FALSE(loaded->CheckMinValue());
  EXPECT_TRUE(loaded->CheckMaxValue());
  loaded->SetValue(7);
  loaded->EndLoading();
  // Loaded takes the value as the previous one: writing it again reports nothing, a new one does.
  loaded->SetParent(form);
  loaded->SetValue(7);
  EXPECT_EQ(loaded->changes, 0);
  loaded->SetValue(8);
  EXPECT_EQ(loaded->changes, 1);
  // After loading the limits switch both checks again.
  loaded->SetMaxValue(0);
  EXPECT_FALSE(loaded->CheckMaxValue());
}

// ----------------------------------------------------------------------- the Part's edge cases

TEST_F(SpinEditTest, AFloatEditWithLimitsStepsAndTypesWithinThem) {
  auto* e = Make();
  e->SetValueType(vtFloat);
  e->SetDecimal(1);
  e->SetMinValue(1);
  e->SetMaxValue(50);
  e->SetIncrement(0.1L);
  e->SetValue(49.95L);
  e->StepUp();
  EXPECT_EQ(e->Text(), "50.0");
  EXPECT_EQ(e->Value(), 50);
  // Typing a 6 after the 5 of "5.0" makes 56.0: at once 50.0, one change with 50.
  e->SetValue(5);
  e->changes = 0;
  e->values.clear();
  e->SetSelStart(1);
  Type(e, "6");
  EXPECT_EQ(e->Text(), "50.0");
  EXPECT_EQ(e->changes, 1);
  EXPECT_EQ(e->values, std::vector<long double>{50});
  // An empty text shows the minimum.
  e->SelectAll();
  KeyPress(e, VK_DELETE);
  EXPECT_EQ(e->Text(), "1.0");
}

TEST_F(SpinEditTest, IntegerEditsShowMinusZeroAndTheMinimumForEmptyTexts) {
  auto* e = Make();
  e->SetValue(12);
  e->SelectAll();
  KeyPress(e, VK_DELETE);
  EXPECT_EQ(e->Text(), "0");
  e->SelectAll();
  Type(e, "-");
  EXPECT_EQ(e->Text(), "-0");
  EXPECT_EQ(e->Value(), 0);
  // Going on typing gives the negative number.
  e->SetSelStart(2);
  Type(e, "7");
  EXPECT_EQ(e->Value(), -7);
  // Beyond 32 bits, as typed.
  e->SelectAll();
  Type(e, "3000000000");
  EXPECT_EQ(e->Text(), "3000000000");
  EXPECT_EQ(e->Value(), 3000000000.0L);
}

TEST_F(SpinEditTest, TheDecimalsFillInAtOnceAndASecondSeparatorOnlyMovesTheCaret) {
  for (auto [decimal, thousand] : {std::pair{'.', ','}, std::pair{',', '.'}}) {
    Separators s(decimal, thousand);
    auto* e = Make();
    e->SetValueType(vtFloat);
    e->SelectAll();
    Type(e, "1");
    const std::string oneDotZeroZero = std::string("1") + decimal + "00";
    EXPECT_EQ(e->Text(), oneDotZeroZero);
    Type(e, ".");  // the key of a point types the separator; there is one already
    EXPECT_EQ(e->Text(), oneDotZeroZero);
    EXPECT_EQ(e->SelStart(), 2);
    const int changes = e->changes;
    e->SetSelStart(4);
    Type(e, "0");
    EXPECT_EQ(e->Text(), oneDotZeroZero);
    EXPECT_EQ(e->changes, changes);
    // A second separator elsewhere: refused, the caret goes behind the first.
    e->SetValue(12.5L);
    e->SetSelStart(0);
    Type(e, std::string(1, decimal));
    EXPECT_EQ(e->Text(), std::string("12") + decimal + "50");
    EXPECT_EQ(e->SelStart(), 3);
    // Delete before the separator and Backspace after it step over it.
    e->SetSelStart(2);
    KeyPress(e, VK_DELETE);
    EXPECT_EQ(e->SelStart(), 3);
    KeyPress(e, VK_BACK, "\b");
    EXPECT_EQ(e->SelStart(), 2);
    EXPECT_EQ(e->Text(), std::string("12") + decimal + "50");
    delete e;
  }
}

TEST_F(SpinEditTest, GroupsOfThousandsKeepTheCaretAfterTheTypedDigit) {
  auto* e = Make();
  e->SetThousands(true);
  e->SetValue(100);
  e->SetSelStart(1);
  Type(e, "0");
  EXPECT_EQ(e->Text(), "1,000");
  EXPECT_EQ(e->SelStart(), 3);
  Type(e, "5");
  EXPECT_EQ(e->Text(), "10,500");
  EXPECT_EQ(e->SelStart(), 4);
}

TEST_F(SpinEditTest, HexadecimalReadsStepsAndKeepsSixtyFourBits) {
  auto* e = Make();
  e->SetThousands(true);
  e->SetIncrement(0.4L);
  e->SetValueType(vtHex);
  EXPECT_FALSE(e->Thousands());
  EXPECT_EQ(e->Increment(), 1);  // rounded to 0, then 1
  e->SetText("FF");
  EXPECT_EQ(e->Value(), 255);
  e->StepUp();
  EXPECT_EQ(e->Text(), "100");
  // Values of 2^31 and more, and negative ones, read back as written; typing keeps them.
  e->SetValue(2147483648.0L);
  EXPECT_EQ(e->Text(), "80000000");
  EXPECT_EQ(e->Value(), 2147483648.0L);
  e->SetValue(-2);
  EXPECT_EQ(e->Text(), "FFFFFFFFFFFFFFFE");
  EXPECT_EQ(e->Value(), -2);
  e->SelectAll();
  Type(e, "ABCDEF0123");
  EXPECT_EQ(e->Text(), "ABCDEF0123");
  EXPECT_EQ(e->Value(), 0xABCDEF0123LL);
  Type(e, "g");
  EXPECT_EQ(e->Text(), "ABCDEF0123");
  EXPECT_EQ(e->errors, 1);
}

TEST_F(SpinEditTest, AReadOnlyEditBeepsAndKeepsItsValue) {
  auto* e = Make();
  e->SetValue(5);
  e->SetReadOnly(true);
  e->StepUp();
  e->StepDown();
  KeyPress(e, VK_UP);
  EXPECT_EQ(e->Value(), 5);
  EXPECT_EQ(e->errors, 3);
}

TEST_F(SpinEditTest, TheStandardUpDownStepsOncePerPressAndSpringsBack) {
  auto* e = Make();
  e->SetIncrement(5);
  int tops = 0, bottoms = 0;
  e->OnTopClick = [&](TObject*) { ++tops; };
  e->OnBottomClick = [&](TObject*) { ++bottoms; };
  e->SetButtonKind(bkStandard);
  ASSERT_NE(e->UpDown(), nullptr);
  EXPECT_EQ(e->Button(), nullptr);
  TXcUpDown* ud = e->UpDown();
  EXPECT_EQ(ud->Width(), 15);
  EXPECT_EQ(ud->Min(), -1);
  EXPECT_EQ(ud->Max(), 1);
  testsupport::MouseClick(ud, 5, 2);
  EXPECT_EQ(e->Value(), 5);
  EXPECT_EQ(ud->Position(), 0);
  testsupport::MouseClick(ud, 5, 2);
  testsupport::MouseClick(ud, 5, ud->Height() - 3);
  EXPECT_EQ(e->Value(), 5);
  EXPECT_EQ(tops, 2);
  EXPECT_EQ(bottoms, 1);
  EXPECT_EQ(ud->Position(), 0);
  // Its width stays.
  ud->SetWidth(40);
  EXPECT_EQ(ud->Width(), 15);
}

TEST_F(SpinEditTest, TheDrawnButtonStepsAndTheHeightComesBackToTheLeast) {
  ThemeServices()->SetThemesEnabled(false);
  auto* e = Make();
  TXcSpinButton* b = e->Button();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(e->ButtonHost()->BoundsRect(), SpinButtonHostBounds(121, 21, true, bkDiagonal, false));
  EXPECT_EQ(b->BoundsRect(), Bounds(1, 1, 17, 17));
  testsupport::MouseClick(e->ButtonHost(), 5, 5);
  EXPECT_EQ(e->Value(), 1);
  testsupport::MouseClick(e->ButtonHost(), 15, 15);
  testsupport::MouseClick(e->ButtonHost(), 15, 15);
  EXPECT_EQ(e->Value(), -1);
  e->SetButtonKind(bkClassic);
  EXPECT_EQ(e->Button()->ButtonStyle(), sbsClassic);
  EXPECT_EQ(e->ButtonHost()->BoundsRect(), SpinButtonHostBounds(121, 21, true, bkClassic, false));
  e->SetShowButton(false);
  EXPECT_EQ(e->Button(), nullptr);
  EXPECT_EQ(e->SpinButtonWidth(), 0);
  e->SetShowButton(true);
  EXPECT_EQ(e->SpinButtonWidth(), 14);
  // The text keeps clear of the button: the right margin is its width and two.
  EXPECT_EQ(HIWORD(e->Perform(EM_GETMARGINS, 0, 0)), 16);

  const int least = e->MinimumHeight();
  EXPECT_GT(least, 10);
  e->SetHeight(5);
  EXPECT_EQ(e->Height(), least);
  ThemeServices()->SetThemesEnabled(true);
}

TEST_F(SpinEditTest, ArrowKeysAndTheWheelStep) {
  auto* e = Make();
  KeyPress(e, VK_UP);
  KeyPress(e, VK_UP);
  KeyPress(e, VK_DOWN);
  EXPECT_EQ(e->Value(), 1);
  e->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  EXPECT_EQ(e->Value(), 2);
  e->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
  e->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 0);
  EXPECT_EQ(e->Value(), 0);
  e->SetArrowKeys(false);
  KeyPress(e, VK_UP);
  EXPECT_EQ(e->Value(), 0);
}

TEST_F(SpinEditTest, OnChangeFiresOnlyWhenTheNumberChanges) {
  auto* e = Make();
  e->SetValue(5);
  e->SetValue(5);
  EXPECT_EQ(e->changes, 1);
  e->SetText("05");  // the same number in another text
  EXPECT_EQ(e->changes, 1);
  EXPECT_EQ(e->Text(), "5");
  e->SetValue(6);
  EXPECT_EQ(e->changes, 2);
  // Without checks while typing, a text out of range stays; reading it gives the number.
  e->SetCheckOptions(TXcCheckOptions{});
  e->SetMaxValue(10);
  e->SetText("99");
  EXPECT_EQ(e->Text(), "99");
  EXPECT_EQ(e->Value(), 99);
}

TEST_F(SpinEditTest, AcceptsCharByTypeAndEditor) {
  auto* e = Make();
  e->SetCheckOptions(TXcCheckOptions{});  // the texts stay as set
  struct Case {
    TValueType type;
    bool thousands;
    const char* text;
    char key;
    bool accepted;
  };
  const Case cases[] = {
      {vtInteger, false, "1", '5', true},   {vtInteger, false, "1", '-', true},  {vtInteger, false, "1", '+', true},
      {vtInteger, false, "1", '.', false},  {vtInteger, false, "1", 'e', false}, {vtInteger, false, "1", 'A', false},
      {vtInteger, false, "1", '\b', true},  {vtInteger, false, "1", '\x7F', false},
      {vtFloat, false, "1", '.', true},     {vtFloat, false, "1.5", '.', false}, {vtFloat, false, "1", 'E', true},
      {vtFloat, false, "1e5", 'E', false},  {vtFloat, false, "1E5", 'e', false}, {vtFloat, true, "1", '.', true},
      {vtHex, false, "1", 'a', true},       {vtHex, false, "1", 'F', true},      {vtHex, false, "1", 'g', false},
  };
  for (const Case& c : cases) {
    e->SetValueType(c.type);
    e->SetThousands(c.thousands);
    e->SetText(c.text);
    EXPECT_EQ(e->AcceptsChar(c.key), c.accepted) << c.text << " + " << int(c.key) << " type " << int(c.type);
  }
  {
    // With "." as the thousand separator and grouping on, "." is not a decimal point.
    Separators s(',', '.');
    e->SetValueType(vtFloat);
    e->SetThousands(true);
    e->SetText("1");
    EXPECT_FALSE(e->AcceptsChar('.'));
    EXPECT_TRUE(e->AcceptsChar(','));
    e->SetThousands(false);
    EXPECT_TRUE(e->AcceptsChar('.'));
  }
  e->SetEditorEnabled(false);
  EXPECT_FALSE(e->AcceptsChar('5'));
  EXPECT_FALSE(e->AcceptsChar('\b'));
  EXPECT_TRUE(e->AcceptsChar('\r'));
  EXPECT_FALSE(e->AcceptsChar('\x7F'));
}

// A form that records the dialog keys it is given.
class TDialogKeyForm : public TForm {
 public:
  using TForm::TForm;
  std::vector<WPARAM> keys;
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_DIALOGKEY) keys.push_back(m.WParam);
    TForm::WndProc(m);
  }
};

TEST_F(SpinEditTest, EnterAndEscapeGoToTheFormAsDialogKeys) {
  auto* f = new TDialogKeyForm(nullptr);
  f->SetBounds(50, 50, 200, 100);
  f->Show();
  auto* e = new TXcSpinEdit(f);
  e->SetParent(f);
  std::vector<char> pressed;
  e->OnKeyPress = [&](TObject*, char& key) { pressed.push_back(key); };
  f->keys.clear();
  e->Perform(WM_CHAR, '\r', 0);
  e->Perform(WM_CHAR, 27, 0);
  EXPECT_EQ(f->keys, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
  EXPECT_EQ(pressed, (std::vector<char>{'\r', 27}));
  delete f;
}

TEST_F(SpinEditTest, ADisplayPatternShowsWhileUnfocusedAndThePlainOneWhileFocused) {
  auto* e = Make();
  auto* other = Make(50);
  e->SetValueType(vtFloat);
  e->SetDisplayFormat(",0.##");
  e->SetValue(1234.5L);
  EXPECT_EQ(e->Text(), "1,234.5");
  form->FocusControl(e);
  EXPECT_TRUE(e->FocusedState());
  EXPECT_EQ(e->Text(), "1234.50");
  EXPECT_EQ(e->Value(), 1234.5L);
  form->FocusControl(other);
  EXPECT_FALSE(e->FocusedState());
  EXPECT_EQ(e->Text(), "1,234.5");
}

TEST_F(SpinEditTest, LeavingOutOfRangeShowsTheMessageAndKeepsTheFocus) {
  auto* e = Make();
  auto* other = Make(50);
  e->SetMinValue(1);
  e->SetMaxValue(50);
  e->SetCheckOptions(TXcCheckOptions{coCheckOnExit});  // no cropping, no check while typing
  int exits = 0;
  e->OnExit = [&](TObject*) { ++exits; };
  ASSERT_TRUE(testsupport::WaitFor([&] { return Screen->ActiveForm() == form; }));
  e->SetFocus();
  ASSERT_TRUE(testsupport::WaitFor([&] { return e->Focused(); }));
  e->SetText("75");
  EXPECT_EQ(e->Text(), "75");
  std::vector<std::string> messages;
  testsupport::ScopedResponder answer([&](const TDialogRequest& r, TDialogAnswer& a) {
    messages.push_back(r.Text);
    a.Result = IDOK;
    return true;
  });
  // The user tabs to the other edit.
  KeyPress(e, VK_TAB);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Value must be between 1 and 50.");  // the application adds the full stop
  EXPECT_EQ(exits, 0);
  EXPECT_EQ(form->ActiveControl(), e);
  EXPECT_EQ(e->SelLength(), 2);
  EXPECT_EQ(e->Text(), "75");
  EXPECT_TRUE(e->Focused());
  EXPECT_FALSE(other->Focused());
  // Within range the exit goes through.
  e->SetText("30");
  KeyPress(e, VK_TAB);
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(form->ActiveControl(), other);
}

TEST_F(SpinEditTest, CroppingOnExitLimitsSilently) {
  auto* e = Make();
  auto* other = Make(50);
  e->SetMinValue(1);
  e->SetMaxValue(50);
  e->SetCheckOptions(TXcCheckOptions{coCheckOnExit, coCropBeyondLimit});
  form->FocusControl(e);
  e->SetText("75");
  form->FocusControl(other);
  EXPECT_EQ(e->Text(), "50");
}

TEST_F(SpinEditTest, TheClipboardReachesOnlyAnEditableEditor) {
  auto* e = Make();
  e->SetValue(42);
  testsupport::ToolkitClipboardSetText("7");
  e->SetEditorEnabled(false);
  e->SelectAll();
  e->Perform(WM_PASTE, 0, 0);
  e->Perform(WM_CUT, 0, 0);
  KeyPress(e, VK_DELETE);
  EXPECT_EQ(e->Text(), "42");
  e->SetEditorEnabled(true);
  e->SelectAll();
  e->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(e->Text(), "7");
}

}  // namespace
