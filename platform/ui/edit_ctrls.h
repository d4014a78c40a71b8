#pragma once
// Text edits on the toolkit's editors: the single-line TCustomEdit (and TEdit, TCustomMaskEdit) and
// the multi-line TCustomMemo (TMemo). Everything goes through the edit control's messages (EM_*,
// WM_CUT/COPY/PASTE/CLEAR/UNDO, WM_GETTEXT/WM_SETTEXT), answered by the window's own handling in
// DefaultHandler, so that a subclass can filter or replace any of them. The clipboard keys
// (Ctrl+C/X/V/Z, Ctrl+Insert, Shift+Insert, Shift+Delete) become those messages too.
//
// Positions (SelStart, EM_GETSEL, EM_CHARFROMPOS) count characters; in a memo lines end with CR LF
// as the platform's multi-line edit keeps them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/string_list.h"

enum TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };

// Where an edit's completion of typed text comes from: a word list, the file system (files and
// folders), or its folders only.
enum TAutoCompleteSource : uint8_t { acsNone, acsWordList, acsFileSystem, acsFileSystemFolders };

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);
  ~TCustomEdit() override;

  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value) { hideSelection_ = value; }
  // 0: no limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  // Changed by the user since the text was last set (or Modified was cleared).
  bool Modified();
  void SetModified(bool value);

  int SelStart();
  void SetSelStart(int value);
  int SelLength();
  void SetSelLength(int value);
  std::string SelText();
  // Replaces the selection (or inserts at the caret).
  void SetSelText(const std::string& value);
  void SelectAll();
  void ClearSelection() { Perform(WM_CLEAR, 0, 0); }
  void Clear() { SetText(std::string()); }
  void CopyToClipboard() { Perform(WM_COPY, 0, 0); }
  void CutToClipboard() { Perform(WM_CUT, 0, 0); }
  void PasteFromClipboard() { Perform(WM_PASTE, 0, 0); }
  bool CanUndo() { return Perform(EM_CANUNDO, 0, 0) != 0; }
  void Undo() { Perform(WM_UNDO, 0, 0); }
  void ClearUndo() { Perform(EM_EMPTYUNDOBUFFER, 0, 0); }
  // The text margins in pixels (EM_SETMARGINS).
  void SetMargins(int left, int right) {
    Perform(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(left, right));
  }

  // Completion of what the user types (single-line edits): suggest shows the entries that start
  // with the text in a list under the edit, append completes the text inline with the completed
  // part selected. Words are the list of acsWordList. acsNone, or neither way, takes it away.
  void SetAutoComplete(TAutoCompleteSource source, const std::vector<std::string>& words, bool suggest,
                       bool append);
  TAutoCompleteSource AutoCompleteSource() const;

  TNotifyEvent OnChange;

 protected:
  // The look of the edit while disabled: its field's colour and its text's (clBtnFace and
  // clGrayText unless a subclass sets others). The text keeps its place (the formatting rectangle
  // and the alignment).
  void SetDisabledLook(TColor background, TColor text);
  void CreateParams(TCreateParams& params) override;
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void SaveWindowState() override;
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void WMGetDlgCode(TMessage& message) override;
  void CMEnter(TMessage& message) override;
  void CMColorChanged(TMessage& message) override;
  void CMFontChanged(TMessage& message) override;
  virtual void Change();
  // The editor behind the window (a line editor here, a text editor in a memo).
  virtual bool MultiLine() const { return false; }

 private:
  friend class TMemoStrings;
  bool autoSelect_ = true;
  TBorderStyle borderStyle_ = bsSingle;
  TEditCharCase charCase_ = ecNormal;
  bool hideSelection_ = true;
  int maxLength_ = 0;
  char passwordChar_ = 0;
  bool readOnly_ = false;
  TAlignment alignment_ = taLeftJustify;
  bool modified_ = false;
  int selStart_ = 0, selEnd_ = 0;  // kept while there is no window
  TRect formatRect_;               // EM_SETRECT's rectangle while there is no window
  int marginLeft_ = 0, marginRight_ = 0;
  bool creating_ = false;
  bool pasteSelection_ = false;  // WM_PASTE takes the X selection (the middle button's paste)
  TColor disabledBackground_ = clBtnFace;
  TColor disabledText_ = clGrayText;
  void ApplyDisabledLook();
  struct AutoComplete {
    TAutoCompleteSource source = acsNone;
    std::vector<std::string> words;
    bool suggest = false;
    bool append = false;
  };
  std::unique_ptr<AutoComplete> autoComplete_;
  void ApplyAutoComplete();
};

class TEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
};

// The masked edit: an edit whose EditMask restricts input (the toolkit's input mask syntax).
class TCustomMaskEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& value);

 protected:
  void ApplyWidgetState() override;

 private:
  std::string editMask_;
};

class TMaskEdit : public TCustomMaskEdit {
 public:
  using TCustomMaskEdit::TCustomMaskEdit;
};

class TCustomMemo;

// A memo's lines: every operation reads and rewrites the memo's text.
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}
  int Count() const override;
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  std::string Text() const override;
  void SetText(const std::string& text) override;

 protected:
  void SetUpdateState(bool updating) override;

 private:
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);
  TCustomMemo* memo_;
};

class TCustomMemo : public TCustomEdit {
 public:
  explicit TCustomMemo(TComponent* owner);
  ~TCustomMemo() override;
  TStrings* Lines() { return lines_.get(); }
  void SetLines(TStrings* value) { lines_->Assign(value); }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool value) { wantReturns_ = value; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool value) { wantTabs_ = value; }
  // The caret's line and column.
  TPoint CaretPos();

 protected:
  void CreateParams(TCreateParams& params) override;
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void WMGetDlgCode(TMessage& message) override;
  bool MultiLine() const override { return true; }

 private:
  std::unique_ptr<TMemoStrings> lines_;
  bool wordWrap_ = true;
  TScrollStyle scrollBars_ = ssNone;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
};

class TMemo : public TCustomMemo {
 public:
  using TCustomMemo::TCustomMemo;
};
