#include "platform/ui/edit_ctrls.h"

#include <QtGui/QAction>
#include <QtGui/QClipboard>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QKeySequence>
#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QScrollBar>

#include <algorithm>
#include <cstring>

#include "platform/ui/qt_window_p.h"

namespace {

// The window's editor: a line editor or a text editor, with the operations the edit messages need.
// Positions here are the platform's (a line break counts two characters in a memo's CR LF text).
class Editor {
 public:
  explicit Editor(QWidget* w)
      : line_(qobject_cast<QLineEdit*>(w)), text_(qobject_cast<QPlainTextEdit*>(w)) {}

  QString Text() const {
    if (line_) return line_->text();
    QString t = text_->toPlainText();
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return t;
  }
  void SetText(const QString& value) {
    if (line_) {
      line_->setText(value);
      return;
    }
    QString t = value;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text_->setPlainText(t);
  }
  // The editor's own position of a platform position, and back.
  int ToQt(int pos) const {
    if (line_) return pos;
    QString t = Text();
    pos = std::clamp(pos, 0, static_cast<int>(t.size()));
    int breaks = 0;
    for (int i = 0; i + 1 < pos; ++i)
      if (t[i] == QLatin1Char('\r') && t[i + 1] == QLatin1Char('\n')) ++breaks, ++i;
    return pos - breaks;
  }
  int FromQt(int pos) const {
    if (line_) return pos;
    QString t = text_->toPlainText();
    int breaks = 0;
    for (int i = 0; i < pos && i < t.size(); ++i)
      if (t[i] == QLatin1Char('\n')) ++breaks;
    return pos + breaks;
  }
  void GetSel(int& start, int& end) const {
    if (line_) {
      if (line_->hasSelectedText()) {
        start = line_->selectionStart();
        end = start + static_cast<int>(line_->selectedText().size());
      } else {
        start = end = line_->cursorPosition();
      }
      return;
    }
    QTextCursor c = text_->textCursor();
    start = FromQt(c.selectionStart());
    end = FromQt(c.selectionEnd());
  }
  // Selects from start to end (the caret at end); start -1 removes the selection, end -1 is the end.
  void SetSel(int start, int end) {
    int length = static_cast<int>(Text().size());
    if (start < 0) {
      if (line_) line_->deselect();
      else {
        QTextCursor c = text_->textCursor();
        c.clearSelection();
        text_->setTextCursor(c);
      }
      return;
    }
    if (end < 0 || end > length) end = length;
    start = std::min(start, length);
    if (line_) {
      line_->setSelection(start, end - start);
      return;
    }
    QTextCursor c = text_->textCursor();
    c.setPosition(ToQt(start));
    c.setPosition(ToQt(end), QTextCursor::KeepAnchor);
    text_->setTextCursor(c);
  }
  void ReplaceSel(const QString& s) {
    if (line_) {
      line_->insert(s);
      return;
    }
    QString t = s;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text_->insertPlainText(t);
  }
  bool Modified() const { return line_ ? line_->isModified() : text_->document()->isModified(); }
  void SetModified(bool v) {
    if (line_) line_->setModified(v);
    else text_->document()->setModified(v);
  }
  void SetReadOnly(bool v) {
    if (line_) line_->setReadOnly(v);
    else text_->setReadOnly(v);
  }
  bool CanUndo() const { return line_ ? line_->isUndoAvailable() : text_->document()->isUndoAvailable(); }
  void Undo() {
    if (line_) line_->undo();
    else text_->undo();
  }
  void Copy() {
    if (line_) line_->copy();
    else text_->copy();
  }
  void Cut() {
    if (line_) line_->cut();
    else text_->cut();
  }
  void Paste() {
    if (line_) line_->paste();
    else text_->paste();
  }
  void Clear() {
    if (line_) line_->del();
    else text_->textCursor().removeSelectedText();
  }
  void EmptyUndo() {
    if (text_) {
      text_->document()->clearUndoRedoStacks();
      return;
    }
    // Setting the text is what clears a line editor's undo history; everything else stays.
    QSignalBlocker block(line_);
    int start, end;
    GetSel(start, end);
    bool modified = line_->isModified();
    line_->setText(line_->text());
    line_->setModified(modified);
    SetSel(start, end);
  }
  // The character nearest to a point of the client area (platform position), and its line.
  int CharFromPos(QPoint p, int& lineNo) const {
    lineNo = 0;
    if (line_) return line_->cursorPositionAt(p);
    QTextCursor c = text_->cursorForPosition(text_->viewport()->mapFrom(text_, p));
    lineNo = c.blockNumber();
    return FromQt(c.position());
  }
  QPoint PosFromChar(int pos) const {
    if (line_) {
      // From the caret's place, by the advance of the text between it and the character.
      QFontMetrics fm(line_->font());
      QString t = line_->text();
      int caret = line_->cursorPosition();
      pos = std::clamp(pos, 0, static_cast<int>(t.size()));
      // The caret's rectangle is centred on the caret's x.
      QRect r = line_->inputMethodQuery(Qt::ImCursorRectangle).toRect();
      int caretX = (r.left() + r.right() + 1) / 2;
      int x = caretX + fm.horizontalAdvance(t.left(pos)) - fm.horizontalAdvance(t.left(caret));
      return QPoint(x, r.top());
    }
    QTextCursor c(text_->document());
    c.setPosition(ToQt(pos));
    return text_->viewport()->mapTo(text_, text_->cursorRect(c).topLeft());
  }
  int LineCount() const { return line_ ? 1 : text_->document()->blockCount(); }
  // The platform position where a line starts; -1 for a line that does not exist.
  int LineIndex(int lineNo) const {
    if (line_) return lineNo == 0 ? 0 : -1;
    QTextBlock b = text_->document()->findBlockByNumber(lineNo);
    return b.isValid() ? FromQt(b.position()) : -1;
  }
  int LineFromChar(int pos) const {
    if (line_) return 0;
    return text_->document()->findBlock(ToQt(pos)).blockNumber();
  }
  int LineLength(int lineNo) const {
    if (line_) return static_cast<int>(line_->text().size());
    QTextBlock b = text_->document()->findBlockByNumber(lineNo);
    return b.isValid() ? static_cast<int>(b.text().size()) : 0;
  }
  // The text margins of a line editor (a memo keeps the toolkit's own).
  void SetMargins(int left, int top, int right, int bottom) {
    if (line_) line_->setTextMargins(left, top, right, bottom);
  }
  QMargins Margins() const { return line_ ? line_->textMargins() : QMargins(); }
  void ScrollCaret() {
    if (text_) text_->ensureCursorVisible();
  }

 private:
  QLineEdit* line_;
  QPlainTextEdit* text_;
};

Editor EditorOf(TWinControl* c) { return Editor(c->Record()->widget); }

// The edit's context menu, as the platform's edit control has it: Undo, Cut, Copy, Paste, Delete and
// Select All, each sent to the control as its message (WM_UNDO, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR,
// EM_SETSEL), which a subclass may refuse. The items carry object names ("edit-cut" ...).
void PopupEditMenu(QWidget* editor, TCustomEdit* edit, const QPoint& globalPos) {
  auto* menu = new QMenu(editor);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  std::shared_ptr<bool> alive = edit->Record()->alive;
  auto add = [&](const char* text, const char* name, UINT msg, WPARAM wParam, LPARAM lParam, bool enabled) {
    QAction* a = menu->addAction(QString::fromUtf8(text));
    a->setObjectName(QString::fromLatin1(name));
    a->setEnabled(enabled);
    QObject::connect(a, &QAction::triggered, a, [edit, alive, msg, wParam, lParam] {
      if (!*alive) return;
      TMessage m;
      m.Msg = msg;
      m.WParam = wParam;
      m.LParam = lParam;
      SafeWndProc(edit, m);
    });
  };
  bool selected = edit->SelLength() != 0;
  bool writable = !edit->ReadOnly();
  bool visible = edit->PasswordChar() == 0;
  size_t length = static_cast<size_t>(edit->Perform(WM_GETTEXTLENGTH, 0, 0));
  add("&Undo", "edit-undo", WM_UNDO, 0, 0, writable && edit->CanUndo());
  menu->addSeparator();
  add("Cu&t", "edit-cut", WM_CUT, 0, 0, writable && visible && selected);
  add("&Copy", "edit-copy", WM_COPY, 0, 0, visible && selected);
  add("&Paste", "edit-paste", WM_PASTE, 0, 0, writable && !QGuiApplication::clipboard()->text().isEmpty());
  add("&Delete", "edit-delete", WM_CLEAR, 0, 0, writable && selected);
  menu->addSeparator();
  add("Select &All", "select-all", EM_SETSEL, 0, -1, length != 0);
  menu->popup(globalPos);
}

// The single-line editor: its context menu's clipboard items come to the control as messages.
class TEditWidget : public TBridgeWidget<QLineEdit> {
 public:
  TEditWidget(WindowRecord* record, TCustomEdit* control) : TBridgeWidget<QLineEdit>(record), control_(control) {}

 protected:
  void contextMenuEvent(QContextMenuEvent* e) override {
    if (!Record()) return QLineEdit::contextMenuEvent(e);
    PopupEditMenu(this, control_, e->globalPos());
  }

 private:
  TCustomEdit* control_;
};

// The multi-line editor, the same way.
class TMemoWidget : public TBridgeScrollArea<QPlainTextEdit> {
 public:
  TMemoWidget(WindowRecord* record, TCustomEdit* control)
      : TBridgeScrollArea<QPlainTextEdit>(record), control_(control) {}

 protected:
  void contextMenuEvent(QContextMenuEvent* e) override {
    if (!Record()) return QPlainTextEdit::contextMenuEvent(e);
    PopupEditMenu(this, control_, e->globalPos());
  }

 private:
  TCustomEdit* control_;
};

// The key event being turned into messages now, if any.
const QKeyEvent* NativeKeyEvent(WindowRecord* record) {
  if (!record || record->frames.empty()) return nullptr;
  QEvent* e = record->frames.back()->event;
  return e && e->type() == QEvent::KeyPress ? static_cast<const QKeyEvent*>(e) : nullptr;
}

// The clipboard command a key stands for on this platform (its standard key bindings), or 0.
UINT ClipboardCommandOfKey(const QKeyEvent* key) {
  if (key->matches(QKeySequence::Copy)) return WM_COPY;
  if (key->matches(QKeySequence::Cut)) return WM_CUT;
  if (key->matches(QKeySequence::Paste)) return WM_PASTE;
  if (key->matches(QKeySequence::Undo)) return WM_UNDO;
  return 0;
}

std::string ToStd(const QString& s) { return s.toStdString(); }

}  // namespace

// ------------------------------------------------------------------------------------------ TCustomEdit

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csClickEvents | csSetCaption | csDoubleClicks | csFixedHeight;
  width_ = 121;
  height_ = 21;
  color_ = clWindow;
  parentColor_ = false;
  SetTabStop(true);
}

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  static const uint32_t kAlign[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
  params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL | kAlign[alignment_];
  if (readOnly_) params.Style |= ES_READONLY;
  if (passwordChar_) params.Style |= ES_PASSWORD;
  if (charCase_ == ecUpperCase) params.Style |= ES_UPPERCASE;
  if (charCase_ == ecLowerCase) params.Style |= ES_LOWERCASE;
  if (borderStyle_ == bsSingle) {
    if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE;
    else params.Style |= WS_BORDER;
  }
}

void* TCustomEdit::CreateWidget() {
  auto* w = new TEditWidget(Record(), this);
  QObject::connect(w, &QLineEdit::textChanged, [this] { SendCommand(this, EN_CHANGE); });
  return w;
}

void TCustomEdit::ApplyWidgetState() {
  creating_ = true;
  TWinControl::ApplyWidgetState();
  // The toolkit draws the editor's frame where the platform's client edge would be; the client area
  // (and the place of child controls) stays inside it, as on the platform.
  QWidget* w = Record()->widget;
  QSignalBlocker block(w);
  Editor e(w);
  if (auto* line = qobject_cast<QLineEdit*>(w)) {
    line->setFrame(borderStyle_ != bsNone);
    line->setMaxLength(maxLength_ > 0 ? maxLength_ : 0x7FFFFFFE);
    line->setEchoMode(passwordChar_ ? QLineEdit::Password : QLineEdit::Normal);
    static const Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    line->setAlignment(kAlign[alignment_] | Qt::AlignVCenter);
  }
  e.SetReadOnly(readOnly_);
  if (e.Text() != QString::fromStdString(text_)) {
    e.SetText(QString::fromStdString(text_));
    e.SetModified(modified_);
    e.SetSel(selStart_, selEnd_);
  }
  e.SetMargins(marginLeft_, formatRect_.Top, marginRight_, 0);
  // The framework offers its own pop-up menu; the editor's commands come as messages.
  w->setContextMenuPolicy(popupMenu_ ? Qt::NoContextMenu : Qt::DefaultContextMenu);
  ApplyDisabledLook();
  ApplyAutoComplete();
  creating_ = false;
}

void TCustomEdit::SetDisabledLook(TColor background, TColor text) {
  if (background == disabledBackground_ && text == disabledText_) return;
  disabledBackground_ = background;
  disabledText_ = text;
  ApplyDisabledLook();
}

void TCustomEdit::ApplyDisabledLook() {
  if (!HandleAllocated()) return;
  QWidget* w = Record()->widget;
  QPalette pal = w->palette();
  auto qt = [](TColor c) {
    COLORREF rgb = ColorToRGB(c);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  };
  pal.setColor(QPalette::Disabled, QPalette::Base, qt(disabledBackground_));
  pal.setColor(QPalette::Disabled, QPalette::Window, qt(disabledBackground_));
  pal.setColor(QPalette::Disabled, QPalette::Text, qt(disabledText_));
  w->setPalette(pal);
}

void TCustomEdit::CMColorChanged(TMessage& m) {
  TWinControl::CMColorChanged(m);
  ApplyDisabledLook();
}

void TCustomEdit::CMFontChanged(TMessage& m) {
  TWinControl::CMFontChanged(m);
  ApplyDisabledLook();
}

void TCustomEdit::SaveWindowState() {
  Editor e = EditorOf(this);
  text_ = ToStd(e.Text());
  modified_ = e.Modified();
  e.GetSel(selStart_, selEnd_);
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TCustomEdit::SetCharCase(TEditCharCase value) {
  if (value == charCase_) return;
  charCase_ = value;
  // The text already there takes the case too, as the platform's edit does on a style change.
  std::string t = Text();
  for (char& c : t) {
    if (value == ecUpperCase && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (value == ecLowerCase && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  SetText(t);
}

void TCustomEdit::SetMaxLength(int value) {
  maxLength_ = std::max(value, 0);
  if (HandleAllocated()) Perform(EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TCustomEdit::SetPasswordChar(char value) {
  if (value == passwordChar_) return;
  passwordChar_ = value;
  if (HandleAllocated()) Perform(EM_SETPASSWORDCHAR, static_cast<unsigned char>(value), 0);
}

void TCustomEdit::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  if (HandleAllocated()) Perform(EM_SETREADONLY, value ? 1 : 0, 0);
}

void TCustomEdit::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

bool TCustomEdit::Modified() { return HandleAllocated() ? Perform(EM_GETMODIFY, 0, 0) != 0 : modified_; }

void TCustomEdit::SetModified(bool value) {
  if (HandleAllocated()) Perform(EM_SETMODIFY, value ? 1 : 0, 0);
  else modified_ = value;
}

int TCustomEdit::SelStart() {
  DWORD start = 0, end = 0;
  Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(start);
}

void TCustomEdit::SetSelStart(int value) { Perform(EM_SETSEL, static_cast<WPARAM>(value), value); }

int TCustomEdit::SelLength() {
  DWORD start = 0, end = 0;
  Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end) - static_cast<int>(start);
}

void TCustomEdit::SetSelLength(int value) {
  int start = SelStart();
  Perform(EM_SETSEL, static_cast<WPARAM>(start), start + value);
}

std::string TCustomEdit::SelText() {
  DWORD start = 0, end = 0;
  Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  QString t = QString::fromStdString(Text());
  return ToStd(t.mid(static_cast<int>(start), static_cast<int>(end - start)));
}

void TCustomEdit::SetSelText(const std::string& value) {
  Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(value.c_str()));
}

void TCustomEdit::SelectAll() { Perform(EM_SETSEL, 0, -1); }

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::Dispatch(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == EN_CHANGE && !creating_) Change();
    return;
  }
  TWinControl::Dispatch(m);
}

void TCustomEdit::CMEnter(TMessage& m) {
  // Entering by the keyboard selects everything; a click places the caret where it is.
  if (autoSelect_ && !(controlState_ & csLButtonDown) && !MultiLine()) SelectAll();
  TWinControl::CMEnter(m);
}

void TCustomEdit::WMGetDlgCode(TMessage& m) {
  m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_HASSETSEL;
  if (MultiLine()) m.Result |= DLGC_WANTALLKEYS;
}

void TCustomEdit::DefaultHandler(TMessage& m) {
  if (!HandleAllocated()) {
    // Without a window the text lives in the control; the rest waits for the window.
    switch (m.Msg) {
      case WM_SETTEXT:
        TWinControl::DefaultHandler(m);
        modified_ = false;
        selStart_ = selEnd_ = 0;
        return;
      case EM_GETSEL:
        if (m.WParam) *reinterpret_cast<DWORD*>(m.WParam) = static_cast<DWORD>(selStart_);
        if (m.LParam) *reinterpret_cast<DWORD*>(m.LParam) = static_cast<DWORD>(selEnd_);
        m.Result = MAKELPARAM(selStart_, selEnd_);
        return;
      case EM_SETSEL: {
        int len = static_cast<int>(QString::fromStdString(text_).size());
        int start = static_cast<int>(static_cast<intptr_t>(m.WParam));
        int end = static_cast<int>(m.LParam);
        if (start < 0) return;
        selStart_ = std::min(start, len);
        selEnd_ = end < 0 || end > len ? len : end;
        return;
      }
      case EM_GETMODIFY: m.Result = modified_; return;
      case EM_SETMODIFY: modified_ = m.WParam != 0; return;
      default:
        // Commands that need the editor make the window first.
        if (m.Msg == WM_CUT || m.Msg == WM_COPY || m.Msg == WM_PASTE || m.Msg == WM_CLEAR || m.Msg == WM_UNDO ||
            m.Msg == EM_UNDO || m.Msg == EM_REPLACESEL || m.Msg == EM_CANUNDO) {
          HandleNeeded();
          if (HandleAllocated()) break;
        }
        TWinControl::DefaultHandler(m);
        return;
    }
  }
  Editor e = EditorOf(this);
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      // The clipboard keys are the edit's own commands, sent as messages a subclass may refuse.
      TShiftState shift = KeyDataToShiftState(m.LParam) | (GetShiftState() & (ssShift | ssCtrl));
      UINT command = 0;
      bool plain = m.Msg == WM_KEYDOWN;  // Alt chords have only the platform's bindings below
      if (plain && shift == ssCtrl) {
        switch (m.WParam) {
          case 'C': case VK_INSERT: command = WM_COPY; break;
          case 'X': command = WM_CUT; break;
          case 'V': command = WM_PASTE; break;
          case 'Z': command = WM_UNDO; break;
          default: break;
        }
      } else if (plain && shift == ssShift) {
        if (m.WParam == VK_INSERT) command = WM_PASTE;
        if (m.WParam == VK_DELETE) command = WM_CUT;
      }
      // The toolkit's own bindings of the platform (the copy and paste keys, Ctrl+K cutting to the
      // end of a line) take the same road.
      const QKeyEvent* key = NativeKeyEvent(Record());
      if (!command && key) {
        command = ClipboardCommandOfKey(key);
        if (!command && !MultiLine() && key->matches(QKeySequence::DeleteEndOfLine) && !readOnly_) {
          int start = 0, end = 0;
          e.GetSel(start, end);
          e.SetSel(end, -1);
          command = WM_CUT;
        }
      }
      if (command) {
        Perform(command, 0, 0);
        return;
      }
      TWinControl::DefaultHandler(m);
      return;
    }
    case WM_CHAR: {
      // The letter case of the edit's style applies to what is typed.
      if (charCase_ == ecUpperCase && m.WParam >= 'a' && m.WParam <= 'z') m.WParam -= 32;
      if (charCase_ == ecLowerCase && m.WParam >= 'A' && m.WParam <= 'Z') m.WParam += 32;
      TWinControl::DefaultHandler(m);
      return;
    }
    case WM_SETTEXT: {
      const char* s = m.LParam ? reinterpret_cast<const char*>(m.LParam) : "";
      text_ = s;
      e.SetText(QString::fromUtf8(s));
      e.SetModified(false);
      m.Result = 1;
      return;
    }
    case WM_GETTEXTLENGTH: m.Result = static_cast<LRESULT>(e.Text().toUtf8().size()); return;
    case WM_GETTEXT: {
      QByteArray bytes = e.Text().toUtf8();
      auto* buffer = reinterpret_cast<char*>(m.LParam);
      size_t room = static_cast<size_t>(m.WParam);
      if (!buffer || room == 0) return;
      size_t n = std::min(static_cast<size_t>(bytes.size()), room - 1);
      std::memcpy(buffer, bytes.constData(), n);
      buffer[n] = '\0';
      m.Result = static_cast<LRESULT>(n);
      return;
    }
    case EM_GETSEL: {
      int start = 0, end = 0;
      e.GetSel(start, end);
      if (m.WParam) *reinterpret_cast<DWORD*>(m.WParam) = static_cast<DWORD>(start);
      if (m.LParam) *reinterpret_cast<DWORD*>(m.LParam) = static_cast<DWORD>(end);
      m.Result = MAKELPARAM(start, end);
      return;
    }
    case EM_SETSEL:
      e.SetSel(static_cast<int>(static_cast<intptr_t>(m.WParam)), static_cast<int>(m.LParam));
      return;
    case EM_REPLACESEL:
      e.ReplaceSel(QString::fromUtf8(m.LParam ? reinterpret_cast<const char*>(m.LParam) : ""));
      return;
    case EM_GETMODIFY: m.Result = e.Modified() ? 1 : 0; return;
    case EM_SETMODIFY: e.SetModified(m.WParam != 0); return;
    case EM_SETREADONLY:
      readOnly_ = m.WParam != 0;
      e.SetReadOnly(readOnly_);
      m.Result = 1;
      return;
    case EM_LIMITTEXT:
      maxLength_ = static_cast<int>(m.WParam);
      if (auto* line = qobject_cast<QLineEdit*>(Record()->widget)) line->setMaxLength(maxLength_ > 0 ? maxLength_ : 0x7FFFFFFE);
      return;
    case EM_GETLIMITTEXT: m.Result = maxLength_ > 0 ? maxLength_ : 0x7FFFFFFE; return;
    case EM_SETPASSWORDCHAR:
      passwordChar_ = static_cast<char>(m.WParam);
      if (auto* line = qobject_cast<QLineEdit*>(Record()->widget))
        line->setEchoMode(passwordChar_ ? QLineEdit::Password : QLineEdit::Normal);
      return;
    case EM_CANUNDO: m.Result = e.CanUndo() ? 1 : 0; return;
    case EM_UNDO: case WM_UNDO: m.Result = e.CanUndo() ? 1 : 0; e.Undo(); return;
    case EM_EMPTYUNDOBUFFER: e.EmptyUndo(); return;
    case WM_COPY: e.Copy(); return;
    case WM_CUT: e.Cut(); return;
    case WM_PASTE:
      if (pasteSelection_) {
        // The middle button's paste of the X selection.
        if (!readOnly_) e.ReplaceSel(QGuiApplication::clipboard()->text(QClipboard::Selection));
        return;
      }
      e.Paste();
      return;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      if (QGuiApplication::clipboard()->supportsSelection()) {
        // Where the window system has a selection, the middle button pastes it at the mouse: as
        // WM_PASTE, which a subclass may refuse like any other paste.
        if (m.Msg == WM_MBUTTONUP && !readOnly_) {
          int lineNo = 0;
          QPoint p(GET_X_LPARAM(m.LParam) + Record()->insetLeft, GET_Y_LPARAM(m.LParam) + Record()->insetTop);
          int pos = e.CharFromPos(p, lineNo);
          e.SetSel(pos, pos);
          pasteSelection_ = true;
          try {
            Perform(WM_PASTE, 0, 0);
          } catch (...) {
            pasteSelection_ = false;
            throw;
          }
          pasteSelection_ = false;
        }
        return;
      }
      TWinControl::DefaultHandler(m);
      return;
    case WM_CLEAR: e.Clear(); return;
    case EM_SETMARGINS: {
      if (m.WParam & EC_LEFTMARGIN) marginLeft_ = LOWORD(m.LParam);
      if (m.WParam & EC_RIGHTMARGIN) marginRight_ = HIWORD(m.LParam);
      QMargins old = e.Margins();
      e.SetMargins(marginLeft_, old.top(), marginRight_, old.bottom());
      return;
    }
    case EM_GETMARGINS: m.Result = MAKELPARAM(marginLeft_, marginRight_); return;
    case EM_SETRECT:
    case EM_SETRECTNP: {
      // The formatting rectangle: the text keeps inside it (margins from the client edges).
      TRect client = ClientRect();
      if (m.LParam == 0) {
        formatRect_ = TRect();
        marginLeft_ = marginRight_ = 0;
        e.SetMargins(0, 0, 0, 0);
      } else {
        const TRect& r = *reinterpret_cast<const TRect*>(m.LParam);
        formatRect_ = r;
        marginLeft_ = std::max(0, r.Left);
        marginRight_ = std::max(0, client.Right - r.Right);
        e.SetMargins(marginLeft_, std::max(0, r.Top), marginRight_, std::max(0, client.Bottom - r.Bottom));
      }
      if (m.Msg == EM_SETRECT) Invalidate();
      return;
    }
    case EM_GETRECT: {
      if (!m.LParam) return;
      TRect client = ClientRect();
      QMargins mg = e.Margins();
      *reinterpret_cast<TRect*>(m.LParam) =
          Rect(mg.left(), mg.top(), client.Right - mg.right(), client.Bottom - mg.bottom());
      return;
    }
    case EM_CHARFROMPOS: {
      int lineNo = 0;
      QPoint p(GET_X_LPARAM(m.LParam) + Record()->insetLeft, GET_Y_LPARAM(m.LParam) + Record()->insetTop);
      int pos = e.CharFromPos(p, lineNo);
      m.Result = MAKELPARAM(pos, lineNo);
      return;
    }
    case EM_POSFROMCHAR: {
      QPoint p = e.PosFromChar(static_cast<int>(m.WParam));
      m.Result = MAKELPARAM(p.x() - Record()->insetLeft, p.y() - Record()->insetTop);
      return;
    }
    case EM_GETLINECOUNT: m.Result = e.LineCount(); return;
    case EM_LINEINDEX: {
      int lineNo = static_cast<int>(static_cast<intptr_t>(m.WParam));
      if (lineNo < 0) {
        int start = 0, end = 0;
        e.GetSel(start, end);
        lineNo = e.LineFromChar(end);
      }
      m.Result = e.LineIndex(lineNo);
      return;
    }
    case EM_LINEFROMCHAR: {
      int pos = static_cast<int>(static_cast<intptr_t>(m.WParam));
      if (pos < 0) {
        int start = 0, end = 0;
        e.GetSel(start, end);
        pos = start;
      }
      m.Result = e.LineFromChar(pos);
      return;
    }
    case EM_LINELENGTH:
      m.Result = e.LineLength(e.LineFromChar(static_cast<int>(static_cast<intptr_t>(m.WParam))));
      return;
    case EM_SCROLLCARET: e.ScrollCaret(); return;
    default: TWinControl::DefaultHandler(m); return;
  }
}

// -------------------------------------------------------------------------------------- TCustomMaskEdit

void TCustomMaskEdit::SetEditMask(const std::string& value) {
  if (value == editMask_) return;
  editMask_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TCustomMaskEdit::ApplyWidgetState() {
  TCustomEdit::ApplyWidgetState();
  if (auto* line = qobject_cast<QLineEdit*>(Record()->widget)) {
    QSignalBlocker block(line);
    line->setInputMask(QString::fromStdString(editMask_));
  }
}

// ----------------------------------------------------------------------------------------- TMemoStrings

std::vector<std::string> TMemoStrings::Lines() const {
  std::string text = memo_->Text();
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void TMemoStrings::SetLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  memo_->SetText(text);
}

int TMemoStrings::Count() const { return static_cast<int>(Lines().size()); }

std::string TMemoStrings::Get(int index) const {
  std::vector<std::string> lines = Lines();
  if (index < 0 || index >= static_cast<int>(lines.size())) Error(index);
  return lines[static_cast<size_t>(index)];
}

void TMemoStrings::Put(int index, const std::string& s) {
  std::vector<std::string> lines = Lines();
  if (index < 0 || index >= static_cast<int>(lines.size())) Error(index);
  lines[static_cast<size_t>(index)] = s;
  SetLines(lines);
}

void TMemoStrings::Insert(int index, const std::string& s) {
  std::vector<std::string> lines = Lines();
  if (index < 0 || index > static_cast<int>(lines.size())) Error(index);
  lines.insert(lines.begin() + index, s);
  SetLines(lines);
}

void TMemoStrings::Delete(int index) {
  std::vector<std::string> lines = Lines();
  if (index < 0 || index >= static_cast<int>(lines.size())) Error(index);
  lines.erase(lines.begin() + index);
  SetLines(lines);
}

void TMemoStrings::Clear() { memo_->SetText(std::string()); }

std::string TMemoStrings::Text() const { return memo_->Text(); }

void TMemoStrings::SetText(const std::string& text) { memo_->SetText(text); }

void TMemoStrings::SetUpdateState(bool updating) {
  if (memo_->HandleAllocated()) memo_->Record()->widget->setUpdatesEnabled(!updating);
}

// ------------------------------------------------------------------------------------------ TCustomMemo

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner), lines_(std::make_unique<TMemoStrings>(this)) {
  width_ = 185;
  height_ = 89;
  SetAutoSelect(false);
  controlStyle_ &= ~csFixedHeight;
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::CreateParams(TCreateParams& params) {
  TCustomEdit::CreateParams(params);
  params.Style &= ~ES_AUTOHSCROLL;
  params.Style |= ES_MULTILINE;
  if (!wordWrap_) params.Style |= ES_AUTOHSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) params.Style |= WS_HSCROLL;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) params.Style |= WS_VSCROLL;
}

void* TCustomMemo::CreateWidget() {
  auto* w = new TMemoWidget(Record(), this);
  w->setTabChangesFocus(true);
  QObject::connect(w, &QPlainTextEdit::textChanged, [this] { SendCommand(this, EN_CHANGE); });
  return w;
}

void TCustomMemo::ApplyWidgetState() {
  TCustomEdit::ApplyWidgetState();
  auto* w = static_cast<QPlainTextEdit*>(Record()->widget);
  w->setLineWrapMode(wordWrap_ ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  bool h = scrollBars_ == ssHorizontal || scrollBars_ == ssBoth;
  bool v = scrollBars_ == ssVertical || scrollBars_ == ssBoth;
  w->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  w->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  w->setFrameShape(BorderStyle() == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
}

void TCustomMemo::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TCustomMemo::SetScrollBars(TScrollStyle value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TCustomMemo::WMGetDlgCode(TMessage& m) {
  TCustomEdit::WMGetDlgCode(m);
  if (wantTabs_) m.Result |= DLGC_WANTTAB;
  else m.Result &= ~DLGC_WANTTAB;
  if (!wantReturns_) m.Result &= ~DLGC_WANTALLKEYS;
}

TPoint TCustomMemo::CaretPos() {
  DWORD start = 0, end = 0;
  Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  int lineNo = static_cast<int>(Perform(EM_LINEFROMCHAR, end, 0));
  int lineStart = static_cast<int>(Perform(EM_LINEINDEX, static_cast<WPARAM>(lineNo), 0));
  return Point(static_cast<int>(end) - lineStart, lineNo);
}
