// The completion of what is typed in an edit, on the toolkit's completer: a word list or the file
// system as its source, a list of matches under the edit (suggest) and the first match completed
// inline (append).
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QStringListModel>
#include <QtCore/QTimer>
#include <QtGui/QFileSystemModel>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QCompleter>
#include <QtWidgets/QLineEdit>

#include <memory>

#include "platform/ui/edit_ctrls.h"
#include "platform/ui/qt_window_p.h"

namespace {

// Completes the line editor's text inline from the completer's first match: the match's rest is
// added and selected, so that typing on replaces it. Only when the caret stands at the end of the
// text with nothing selected (the user typed, not deleted or moved).
void AppendFirstMatch(QLineEdit* line, QCompleter* completer) {
  QString text = line->text();
  if (text.isEmpty() || line->hasSelectedText() || line->cursorPosition() != text.size()) return;
  completer->setCompletionPrefix(text);
  if (completer->completionCount() == 0) return;
  completer->setCurrentRow(0);
  QString match = completer->currentCompletion();
  if (!match.startsWith(text, Qt::CaseInsensitive) || match.size() <= text.size()) {
    // The file system's completer matches the last path part: the match is that part.
    QString path = completer->currentIndex().data(QFileSystemModel::FilePathRole).toString();
    if (path.isEmpty() || !path.startsWith(text, Qt::CaseInsensitive) || path.size() <= text.size()) return;
    match = path;
  }
  QSignalBlocker block(line);
  line->setText(text + match.mid(text.size()));
  line->setSelection(static_cast<int>(line->text().size()), -static_cast<int>(match.size() - text.size()));
}

}  // namespace

void TCustomEdit::SetAutoComplete(TAutoCompleteSource source, const std::vector<std::string>& words, bool suggest,
                                  bool append) {
  if (source == acsNone || (!suggest && !append)) {
    autoComplete_.reset();
  } else {
    if (!autoComplete_) autoComplete_ = std::make_unique<AutoComplete>();
    autoComplete_->source = source;
    autoComplete_->words = words;
    autoComplete_->suggest = suggest;
    autoComplete_->append = append;
  }
  if (HandleAllocated()) ApplyAutoComplete();
}

TAutoCompleteSource TCustomEdit::AutoCompleteSource() const {
  return autoComplete_ ? autoComplete_->source : acsNone;
}

void TCustomEdit::ApplyAutoComplete() {
  auto* line = qobject_cast<QLineEdit*>(Record()->widget);
  if (!line) return;
  static const char* kCompleterName = "brimvaleCompleter";
  line->setCompleter(nullptr);
  if (auto* old = line->findChild<QCompleter*>(QLatin1String(kCompleterName))) delete old;
  if (!autoComplete_) return;
  auto* completer = new QCompleter(line);
  completer->setObjectName(QLatin1String(kCompleterName));
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setWidget(line);
  if (autoComplete_->source == acsWordList) {
    QStringList list;
    for (const std::string& w : autoComplete_->words) list << QString::fromStdString(w);
    completer->setModel(new QStringListModel(list, completer));
  }
  QPointer<QLineEdit> target(line);
  QPointer<QCompleter> source(completer);
  if (autoComplete_->source != acsWordList) {
    auto* model = new QFileSystemModel(completer);
    QDir::Filters filter = QDir::AllDirs | QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot;
    if (autoComplete_->source == acsFileSystem) filter |= QDir::Files;
    model->setFilter(filter);
    model->setRootPath(QString());
    completer->setModel(model);
    // The model reads a folder when asked for it, in the background: the folder of the text is
    // asked for as the text changes, and once it is read the completion runs again.
    auto folderOf = [](const QString& text) { return QFileInfo(text).path(); };
    QObject::connect(line, &QLineEdit::textChanged, model, [model, folderOf](const QString& text) {
      if (!text.isEmpty()) model->index(folderOf(text));
    });
    bool suggest = autoComplete_->suggest, append = autoComplete_->append;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, completer,
                     [target, source, folderOf, suggest, append](const QString& path) {
                       if (!target || !source || !target->hasFocus()) return;
                       QString text = target->text();
                       if (text.isEmpty() || QDir(folderOf(text)) != QDir(path)) return;
                       source->setCompletionPrefix(text);
                       if (suggest && !target->hasSelectedText()) source->complete();
                       if (append) AppendFirstMatch(target, source);
                     });
    if (!line->text().isEmpty()) model->index(folderOf(line->text()));
  }
  if (autoComplete_->suggest) {
    // The line editor shows the list as the user types; a chosen entry becomes the text (the
    // editor ties that itself only when it gains the focus with the completer in place).
    completer->setCompletionMode(QCompleter::PopupCompletion);
    line->setCompleter(completer);
    QObject::connect(completer, qOverload<const QString&>(&QCompleter::activated), line, [target](const QString& s) {
      if (target) target->setText(s);
    });
  }
  if (autoComplete_->append) {
    // The first match is added inline once the typed key is done; a deletion keeps the shorter text.
    auto typed = std::make_shared<QString>(line->text());
    QObject::connect(line, &QLineEdit::textEdited, completer, [target, source, typed](const QString& text) {
      bool grew = text.size() > typed->size() && text.startsWith(*typed);
      *typed = text;
      if (!grew) return;
      QTimer::singleShot(0, source, [target, source] {
        if (target && source) AppendFirstMatch(target, source);
      });
    });
    QObject::connect(line, &QLineEdit::textChanged, completer, [typed](const QString& text) {
      // Text set by the program starts the comparison afresh.
      if (!text.startsWith(*typed)) *typed = text;
    });
  }
}
