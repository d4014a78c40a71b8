#include "controls/xc_ex_controls.h"

#include <gtest/gtest.h>

#include "controls/xc_ex_forms.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/forms.h"
#include "platform/ui/hints.h"
#include "platform/ui/window_dc.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

std::string Hex(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", p);
  return buf;
}

// Records every hook of the windowless set it hears, then does what the base does.
template <class B>
class TCommonRecorder : public B {
 public:
  explicit TCommonRecorder(TComponent* owner) : B(owner) {}
  std::vector<std::string> calls;

 protected:
  void HandleTextChange() override { calls.push_back("TextChange"), B::HandleTextChange(); }
  bool HandleDialogChar(uint16_t key, TShiftState shift, const std::string& text) override {
    calls.push_back("DialogChar " + std::to_string(key) + " " + std::to_string(shift) + " " + text);
    return B::HandleDialogChar(key, shift, text);
  }
  bool HandleHitTest(int x, int y) override {
    calls.push_back("HitTest " + std::to_string(x) + " " + std::to_string(y));
    return B::HandleHitTest(x, y);
  }
  void HandleFocusChange(TControl* c) override { calls.push_back("FocusChange " + Hex(c)), B::HandleFocusChange(c); }
  void HandleVisibleChange() override { calls.push_back("VisibleChange"), B::HandleVisibleChange(); }
  void HandleEnabledChange() override { calls.push_back("EnabledChange"), B::HandleEnabledChange(); }
  void HandleColorChange() override { calls.push_back("ColorChange"), B::HandleColorChange(); }
  void HandleFontChange() override { calls.push_back("FontChange"), B::HandleFontChange(); }
  void HandleParentFontChange() override { calls.push_back("ParentFontChange"), B::HandleParentFontChange(); }
  void HandleParentColorChange() override { calls.push_back("ParentColorChange"), B::HandleParentColorChange(); }
  void HandleParentShowHintChange() override {
    calls.push_back("ParentShowHintChange"), B::HandleParentShowHintChange();
  }
  bool HandleHintShow(THintInfo& info) override {
    calls.push_back("HintShow " + Hex(&info));
    return B::HandleHintShow(info);
  }
  void HandleMouseEntry(TControl* c) override { calls.push_back("MouseEntry " + Hex(c)), B::HandleMouseEntry(c); }
  void HandleMouseExit(TControl* c) override { calls.push_back("MouseExit " + Hex(c)), B::HandleMouseExit(c); }
};

// The full set of the windowed bases.
template <class B>
class TWindowedRecorder : public TCommonRecorder<B> {
 public:
  using TCommonRecorder<B>::TCommonRecorder;
  using TCommonRecorder<B>::calls;

 protected:
  void HandleBoundsChange() override { calls.push_back("BoundsChange"), B::HandleBoundsChange(); }
  void HandleDialogCodes(TDialogCodeSet& codes) override {
    calls.push_back("DialogCodes " + std::to_string(codes.Bits())), B::HandleDialogCodes(codes);
  }
  void HandleFocusGained(HWND h) override { calls.push_back("FocusGained " + Hex(h)), B::HandleFocusGained(h); }
  void HandleFocusLost(HWND h) override { calls.push_back("FocusLost " + Hex(h)), B::HandleFocusLost(h); }
  bool HandleEraseBackground(TCanvas* canvas, LPARAM param) override {
    calls.push_back("EraseBackground " + std::to_string(param));
    return B::HandleEraseBackground(canvas, param);
  }
  void HandleCursorChange() override { calls.push_back("CursorChange"), B::HandleCursorChange(); }
  void HandleShowingChange() override { calls.push_back("ShowingChange"), B::HandleShowingChange(); }
  void HandleShowHintChange() override { calls.push_back("ShowHintChange"), B::HandleShowHintChange(); }
  void HandleChildListChanging(TControl* c, bool inserting) override {
    calls.push_back("ChildListChanging " + Hex(c) + " " + std::to_string(inserting));
    B::HandleChildListChanging(c, inserting);
  }
  void HandleChildListChanged(TControl* c, bool inserting) override {
    calls.push_back("ChildListChanged " + Hex(c) + " " + std::to_string(inserting));
    B::HandleChildListChanged(c, inserting);
  }
};

using ExTest = testsupport::FormTest;

// One row of the routing table: the message, its parameters, the hook call it must produce ("" for
// none), and whether the windowless base routes it.
struct Row {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  std::string call;
  bool graphic;
};

std::vector<Row> RoutingTable(TControl* other, THintInfo* info, HDC dc) {
  std::string o = Hex(other);
  return {
      {WM_MOVE, 0, MAKELPARAM(3, 4), "BoundsChange", false},
      {WM_SIZE, 0, MAKELPARAM(30, 40), "BoundsChange", false},
      {WM_SETFOCUS, reinterpret_cast<WPARAM>(other), 0, "FocusGained " + o, false},
      {WM_KILLFOCUS, reinterpret_cast<WPARAM>(other), 0, "FocusLost " + o, false},
      {WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 7, "EraseBackground 7", false},
      {WM_GETDLGCODE, 0, 0, "DialogCodes 64", false},
      {CM_DIALOGCHAR, 'Q', AltMask, "DialogChar 81 2 Q", true},
      {CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(other), "FocusChange " + o, true},
      {CM_PARENTFONTCHANGED, 0, 0, "ParentFontChange", true},
      {CM_PARENTCOLORCHANGED, 0, 0, "ParentColorChange", true},
      {CM_HITTEST, 0, MAKELPARAM(-3, 7), "HitTest -3 7", true},
      {CM_VISIBLECHANGED, 1, 0, "VisibleChange", true},
      {CM_ENABLEDCHANGED, 0, 0, "EnabledChange", true},
      {CM_COLORCHANGED, 0, 0, "ColorChange", true},
      {CM_FONTCHANGED, 0, 0, "FontChange", true},
      {CM_CURSORCHANGED, 0, 0, "CursorChange", false},
      {CM_TEXTCHANGED, 0, 0, "TextChange", true},
      {CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(other), "MouseEntry " + o, true},
      {CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(other), "MouseExit " + o, true},
      {CM_SHOWINGCHANGED, 0, 0, "ShowingChange", false},
      {CM_SHOWHINTCHANGED, 0, 0, "ShowHintChange", false},
      {CM_PARENTSHOWHINTCHANGED, 0, 0, "ParentShowHintChange", true},
      {CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(other), 1, "ChildListChanging " + o + " 1", false},
      {CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(other), 0, "ChildListChanged " + o + " 0", false},
      {CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(other), 1, "ChildListChanged " + o + " 1", false},
      {CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(other), 0, "ChildListChanging " + o + " 0", false},
      {CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(info), "HintShow " + Hex(info), true},
      {QuerySubclassRefusal, 0, 0, "", true},
      {WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT, "", false},
      {CM_MOUSEWHEEL, 0, 0, "", false},
  };
}

// Sends every row to a recorder of the extension base and to the bare framework class: each row
// reaches its hook once (or none), and the answers agree.
template <class Recorder, class Bare>
void CheckRouting(TForm* form, bool windowed) {
  auto* ext = new Recorder(form);
  auto* bare = new Bare(form);
  auto* other = new TXcExGraphicControl(form);
  for (TControl* c : {static_cast<TControl*>(ext), static_cast<TControl*>(bare), static_cast<TControl*>(other)}) {
    if (!dynamic_cast<TCustomForm*>(c)) c->SetParent(form);
    c->SetBounds(5, 5, 40, 30);
  }
  TBitmap bitmap(50, 50);
  for (const Row& row : RoutingTable(other, nullptr, bitmap.Canvas()->Handle())) {
    THintInfo info, bareInfo;
    LPARAM lParam = row.msg == CM_HINTSHOW ? reinterpret_cast<LPARAM>(&info) : row.lParam;
    std::string want = row.msg == CM_HINTSHOW ? "HintShow " + Hex(&info) : row.call;
    ext->calls.clear();
    LRESULT got = ext->Perform(row.msg, row.wParam, lParam);
    LRESULT expected =
        bare->Perform(row.msg, row.wParam, row.msg == CM_HINTSHOW ? reinterpret_cast<LPARAM>(&bareInfo) : row.lParam);
    // The dialog-code hook sees the framework's answer as a set, with dcsNative.
    if (row.msg == WM_GETDLGCODE)
      want = "DialogCodes " + std::to_string((DialogCodesFromFlags(expected) + TDialogCodeSet{dcsNative}).Bits());
    bool routed = !want.empty() && (windowed || row.graphic);
    // The framework's handling may send notifications of its own (a focus change, the font after the
    // parent's font): those reach their hooks after the row's own, once.
    if (routed) {
      ASSERT_FALSE(ext->calls.empty()) << "message " << std::hex << row.msg;
      EXPECT_EQ(ext->calls.front(), want) << "message " << std::hex << row.msg << " lParam " << row.lParam;
      EXPECT_EQ(std::count(ext->calls.begin(), ext->calls.end(), want), 1) << "message " << std::hex << row.msg;
    } else {
      EXPECT_EQ(ext->calls, std::vector<std::string>{}) << "message " << std::hex << row.msg;
    }
    EXPECT_EQ(got, expected) << "message " << std::hex << row.msg;
  }
}

TEST_F(ExTest, EveryNotificationReachesItsHookOnceAndTheDefaultsAnswerAsTheFramework) {
  CheckRouting<TWindowedRecorder<TXcExWinControl>, TWinControl>(form, true);
  CheckRouting<TWindowedRecorder<TXcExCustomControl>, TCustomControl>(form, true);
  CheckRouting<TWindowedRecorder<TXcExCustomListBox>, TCustomListBox>(form, true);
  CheckRouting<TWindowedRecorder<TXcExGroupBox>, TCustomGroupBox>(form, true);
  CheckRouting<TWindowedRecorder<TXcExCheckBox>, TCustomCheckBox>(form, true);
  CheckRouting<TWindowedRecorder<TXcExCustomMaskEdit>, TCustomMaskEdit>(form, true);
  CheckRouting<TWindowedRecorder<TXcExCustomPanel>, TCustomPanel>(form, true);
  CheckRouting<TCommonRecorder<TXcExGraphicControl>, TGraphicControl>(form, false);
}

TEST_F(ExTest, TheFormBaseRoutesLikeTheWindowedOnes) {
  auto* ext = new TWindowedRecorder<TXcExForm>(nullptr);
  ext->Perform(CM_TEXTCHANGED, 0, 0);
  ext->Perform(WM_GETDLGCODE, 0, 0);
  ext->Perform(CM_CONTROLCHANGE, 0, 1);
  EXPECT_EQ(ext->calls, (std::vector<std::string>{"TextChange", "DialogCodes 64", "ChildListChanged " + Hex(nullptr) + " 1"}));
  delete ext;
}

TEST(DialogCodes, SixFlagsMapBothWaysAndNativeIsIgnored) {
  struct Case {
    LRESULT flag;
    TDialogCode code;
  } cases[] = {{DLGC_WANTALLKEYS, dcsWantAllKeys}, {DLGC_WANTARROWS, dcsWantArrows}, {DLGC_WANTCHARS, dcsWantChars},
               {DLGC_BUTTON, dcsButton},           {DLGC_HASSETSEL, dcsHasSetSel},   {DLGC_WANTTAB, dcsWantTab}};
  for (const Case& c : cases) {
    EXPECT_EQ(DialogCodesFromFlags(c.flag), TDialogCodeSet{c.code});
    EXPECT_EQ(FlagsFromDialogCodes(TDialogCodeSet{c.code}), c.flag);
  }
  EXPECT_EQ(DialogCodesFromFlags(DLGC_DEFPUSHBUTTON | DLGC_STATIC | DLGC_RADIOBUTTON), TDialogCodeSet{});
  EXPECT_EQ(FlagsFromDialogCodes(TDialogCodeSet{dcsNative, dcsWantTab}), DLGC_WANTTAB);
}

// A control whose framework answer carries flags outside the six, and whose hook edits the set.
class TCodesControl : public TXcExWinControl {
 public:
  using TXcExWinControl::TXcExWinControl;
  bool dropNative = false;

 protected:
  void WMGetDlgCode(TMessage& m) override { m.Result = DLGC_WANTARROWS | DLGC_DEFPUSHBUTTON | DLGC_STATIC; }
  void HandleDialogCodes(TDialogCodeSet& codes) override {
    codes.Include(dcsWantTab);
    if (dropNative) codes.Exclude(dcsNative);
  }
};

TEST_F(ExTest, ADialogCodesHookChangesTheAnswerOnlyWithoutNative) {
  auto* c = new TCodesControl(form);
  c->SetParent(form);
  EXPECT_EQ(c->Perform(WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_DEFPUSHBUTTON | DLGC_STATIC);
  c->dropNative = true;
  EXPECT_EQ(c->Perform(WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTTAB);
}

class TRefusingPanel : public TXcExCustomPanel, public ISubclassRefusalMarker {
 public:
  using TXcExCustomPanel::TXcExCustomPanel;
};

TEST_F(ExTest, SubclassRefusalIsAnsweredFromTheMarker) {
  auto* plain = new TXcExCustomPanel(form);
  auto* refusing = new TRefusingPanel(form);
  EXPECT_EQ(plain->Perform(QuerySubclassRefusal, 0, 0), 0);
  EXPECT_EQ(refusing->Perform(QuerySubclassRefusal, 0, 0), 1);
  EXPECT_NE(dynamic_cast<IExtendedControlMarker*>(static_cast<TControl*>(plain)), nullptr);
}

TEST_F(ExTest, HintColourFromTheControlItsParentOrTheApplication) {
  auto* parent = new TXcExCustomPanel(form);
  parent->SetParent(form);
  auto* child = new TXcExGraphicControl(form);
  child->SetParent(parent);
  auto* orphan = new TXcExGraphicControl(form);
  const TColor start = clLime;
  struct Case {
    TControl* control;
    TColor color;
    TColor parentColor;
    TColor expected;
  } cases[] = {
      {child, clNone, clDefault, Application->HintColor()},  // the application's
      {orphan, clNone, clDefault, Application->HintColor()},
      {child, clDefault, clRed, clRed},     // the parent's rule
      {child, clDefault, clDefault, start},  // the parent asks its own (a form): kept
      {orphan, clDefault, clRed, start},     // no parent: kept
      {child, clBlue, clRed, clBlue},        // its own
  };
  for (const Case& c : cases) {
    parent->SetHintColor(c.parentColor);
    THintInfo info;
    info.HintColor = start;
    ResolveHintColor(info, c.control, c.color);
    EXPECT_EQ(info.HintColor, c.expected);
  }
  // The hook puts in the control's colour and hint window class.
  child->SetHintColor(clYellow);
  child->SetCustomHintWindowClass(&MakeHintWindow<THintWindow>);
  THintInfo info;
  child->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintColor, clYellow);
  EXPECT_EQ(info.HintWindowClass, &MakeHintWindow<THintWindow>);
}

TEST_F(ExTest, TheMaskEditFiltersItsClipboardCommandsOnEveryRoad) {
  auto* edit = new TXcExCustomMaskEdit(form);
  edit->SetParent(form);
  EXPECT_EQ(edit->ClipboardCommands(), kAllClipboardCommands);
  EXPECT_TRUE(edit->BeepOnError());
  testsupport::ToolkitClipboardSetText("pasted");
  TXcClipboardCommands noPaste = kAllClipboardCommands;
  noPaste.Exclude(caPaste);
  edit->SetClipboardCommands(noPaste);
  edit->SetText("abc");
  edit->SelectAll();
  EXPECT_EQ(edit->Perform(WM_PASTE, 0, 0), 1);
  testsupport::KeyChord(edit, 'V', true);
  testsupport::KeyChord(edit, VK_INSERT, false, true);
  testsupport::ChooseContextMenuItem(edit, 3, 3, "edit-paste");
  EXPECT_EQ(edit->Text(), "abc");
  // WM_UNDO and EM_UNDO both need caUndo.
  edit->SetClipboardCommands(TXcClipboardCommands{caCopy, caCut, caPaste, caClear});
  edit->SelectAll();
  testsupport::KeyChord(edit, 'V', true);
  EXPECT_EQ(edit->Text(), "pasted");
  EXPECT_EQ(edit->Perform(WM_UNDO, 0, 0), 1);
  EXPECT_EQ(edit->Perform(EM_UNDO, 0, 0), 1);
  testsupport::KeyChord(edit, 'Z', true);
  EXPECT_EQ(edit->Text(), "pasted");
  edit->SetClipboardCommands(kAllClipboardCommands);
  edit->Perform(EM_UNDO, 0, 0);
  EXPECT_EQ(edit->Text(), "abc");
}

TEST_F(ExTest, InsertingAndRemovingAChildGiveTheFourHookCalls) {
  auto* parent = new TWindowedRecorder<TXcExCustomControl>(form);
  parent->SetParent(form);
  auto* child = new TCustomControl(form);
  std::string c = Hex(static_cast<TControl*>(child));
  parent->calls.clear();
  child->SetParent(parent);
  auto childCalls = [&] {
    std::vector<std::string> out;
    for (const std::string& s : parent->calls)
      if (s.rfind("ChildList", 0) == 0) out.push_back(s);
    return out;
  };
  EXPECT_EQ(childCalls(), (std::vector<std::string>{"ChildListChanging " + c + " 1", "ChildListChanged " + c + " 1"}));
  parent->calls.clear();
  child->SetParent(nullptr);
  EXPECT_EQ(childCalls(), (std::vector<std::string>{"ChildListChanging " + c + " 0", "ChildListChanged " + c + " 0"}));
  delete child;
}

TEST_F(ExTest, EnterAndLeaveFireEachEventOnceInTheirOrder) {
  auto* box = new TWindowedRecorder<TXcExCustomControl>(form);
  box->SetParent(form);
  box->SetBounds(10, 10, 60, 40);
  auto* inner = new TCommonRecorder<TXcExGraphicControl>(form);
  inner->SetParent(box);
  inner->SetBounds(20, 10, 20, 20);
  std::vector<std::string> log;
  box->OnMouseEnter = [&](TObject* s) { log.push_back(s == box ? "box enter" : "?"); };
  box->OnMouseLeave = [&](TObject* s) { log.push_back(s == box ? "box leave" : "?"); };
  inner->OnMouseEnter = [&](TObject*) { log.push_back("inner enter"); };
  inner->OnMouseLeave = [&](TObject*) { log.push_back("inner leave"); };
  Application->ProcessMessages();

  testsupport::MouseEnter(box, 2, 2);
  EXPECT_TRUE(box->IsMouseInside());
  testsupport::MouseMove(box, 25, 15);  // onto the windowless child
  EXPECT_TRUE(inner->IsMouseInside());
  testsupport::MouseMove(box, 2, 2);
  testsupport::MouseLeave(box);
  Application->ProcessMessages();
  // The box hears of its child's entering and leaving too (lParam: the child), and fires its own
  // events for them, as the bases do; each notification fires each event once: entering before the
  // framework's handling (which tells the parent), leaving after it.
  EXPECT_EQ(log, (std::vector<std::string>{"box enter", "box leave", "inner enter", "box enter", "box leave",
                                           "inner leave", "box enter", "box leave"}));
  EXPECT_FALSE(box->IsMouseInside());
  EXPECT_FALSE(inner->IsMouseInside());
}

// A white control for the highlight frame.
class TWhiteBox : public TXcExCustomControl {
 public:
  explicit TWhiteBox(TComponent* owner) : TXcExCustomControl(owner) { SetColor(clWhite); }

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->FillRect(ClientRect());
  }
};

TEST_F(ExTest, TheHighlightFrameShowsBothRingsWhenHotAndTheOuterOneAfterLeaving) {
  auto* box = new TWhiteBox(form);
  box->SetParent(form);
  box->SetBounds(10, 10, 40, 30);
  box->SetDotNetHighlighting(true);
  Application->ProcessMessages();
  HWND h = box->Handle();
  // What the window's surface holds right now (before any repaint).
  auto pixel = [&](int x, int y) {
    HDC dc = GetWindowDC(h);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(h, dc);
    return c;
  };
  const COLORREF hot = ColorToRGB(HighlightFrameColor), plain = ColorToRGB(PlainFrameColor);
  EXPECT_EQ(hot, RGB(0x00, 0x38, 0x73));
  box->Perform(CM_MOUSEENTER, 0, 0);
  for (auto [x, y] : {std::pair{0, 0}, {39, 15}, {20, 29}, {1, 1}, {38, 28}}) EXPECT_EQ(pixel(x, y), hot) << x << "," << y;
  EXPECT_EQ(pixel(2, 2), RGB(255, 255, 255));
  box->Perform(CM_MOUSELEAVE, 0, 0);
  for (auto [x, y] : {std::pair{0, 0}, {39, 15}, {20, 29}}) EXPECT_EQ(pixel(x, y), plain) << x << "," << y;
  for (auto [x, y] : {std::pair{1, 1}, {38, 15}, {20, 28}}) EXPECT_EQ(pixel(x, y), RGB(255, 255, 255)) << x << "," << y;
  // The whole two-pixel band is then repainted by the control, its right column and bottom row too.
  TRect update;
  ASSERT_TRUE(GetUpdateRect(h, &update, false));
  EXPECT_EQ(update, Rect(0, 0, 40, 30));
  box->Update();
  for (auto [x, y] : {std::pair{0, 0}, {39, 15}, {20, 29}, {39, 29}}) EXPECT_EQ(pixel(x, y), RGB(255, 255, 255)) << x << "," << y;
}

class TClientPanel : public TXcCustomPanel {
 public:
  using TXcCustomPanel::TXcCustomPanel;
};

TEST_F(ExTest, TheCustomPanelPaintsItsClientAreaAfterTheBevels) {
  auto* panel = new TClientPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 60, 40);
  TRect seen;
  panel->OnPaintClientArea = [&](TObject* sender, TCanvas* canvas, const TRect& r) {
    EXPECT_EQ(sender, panel);
    seen = r;
    canvas->Brush()->SetColor(clRed);
    canvas->FillRect(Rect(20, 15, 25, 20));
  };
  EXPECT_EQ(testsupport::WindowPixel(panel, 22, 17), 0x0000FFu);
  EXPECT_EQ(seen, panel->ClientRect());
}

}  // namespace
