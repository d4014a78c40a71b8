#include "platform/ui/folder_browser.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QSortFilterProxyModel>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtGui/QFileSystemModel>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include "platform/system/streams.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_window_p.h"

namespace {

// Runs a callback of the caller at the toolkit's boundary: a failure goes to Application's handler.
template <class F>
void Guarded(F&& f) {
  try {
    f();
  } catch (...) {
    HandleBoundaryException();
  }
}

// Whether path lies in folder (or is it); an empty folder holds everything.
bool Within(const std::string& path, const std::string& folder) {
  if (folder.empty() || path == folder) return true;
  std::string f = IncludeTrailingPathDelimiter(folder);
  return path.compare(0, f.size(), f) == 0;
}

// The typed name as a path: absolute as it stands, relative to the selection otherwise.
std::string TypedPath(const std::string& text, const std::string& selection) {
  if (text.empty() || text[0] == '/' || selection.empty()) return text;
  return IncludeTrailingPathDelimiter(selection) + text;
}

}  // namespace

// The toolkit's dialog of one run: the tree below the root with the caller's filter, the status
// line, the Help button and the OK veto.
struct TFolderBrowser::Run : QFileDialog {
  // The items shown: those below the root (and the folders above it, through which the tree is
  // reached) that the caller's filter lets through.
  class Filter : public QSortFilterProxyModel {
   public:
    explicit Filter(TFolderBrowser* owner) : owner_(owner) {}

   protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
      auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
      if (!fs) return true;
      std::string path = fs->filePath(fs->index(row, 0, parent)).toStdString();
      if (!Within(path, owner_->Root) && !Within(owner_->Root, path)) return false;
      return !Within(path, owner_->Root) || owner_->Shown(path);
    }

   private:
    TFolderBrowser* owner_;
  };

  Run(TFolderBrowser* owner, const std::string& start)
      : QFileDialog(nullptr, QString::fromStdString(owner->Title), QString::fromStdString(start)), owner_(owner) {
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, !owner->IncludeFiles);
    setProxyModel(new Filter(owner));
    if (!owner->Root.empty()) setSidebarUrls({QUrl::fromLocalFile(QString::fromStdString(owner->Root))});
    auto* grid = qobject_cast<QGridLayout*>(layout());
    if (owner->StatusLine && grid) {
      status_ = new QLabel(QString::fromStdString(owner->status_), this);
      grid->addWidget(status_, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (!owner->EditBox) {
      if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->hide();
      if (auto* label = findChild<QLabel*>(QStringLiteral("fileNameLabel"))) label->hide();
    }
    if (!owner->NewFolderButton)
      if (auto* b = findChild<QWidget*>(QStringLiteral("newFolderButton"))) b->hide();
    box_ = findChild<QDialogButtonBox*>();
    if (owner->HelpContext != 0 && box_) {
      QPushButton* help = box_->addButton(QDialogButtonBox::Help);
      int context = owner->HelpContext;
      connect(help, &QPushButton::clicked, [context] { Guarded([&] { Application->HelpContext(context); }); });
    }
    connect(this, &QFileDialog::currentChanged, [this](const QString& path) {
      Guarded([&] { owner_->Select(path.toStdString()); });
    });
    // The root keeps the browser below it.
    connect(this, &QFileDialog::directoryEntered, [this](const QString& dir) {
      if (!Within(dir.toStdString(), owner_->Root)) setDirectory(QString::fromStdString(owner_->Root));
    });
  }

  void ShowStatus(const std::string& text) {
    if (status_) status_->setText(QString::fromStdString(text));
  }
  void ShowOK(bool enabled) {
    if (!box_) return;
    for (QAbstractButton* b : box_->buttons())
      if (box_->buttonRole(b) == QDialogButtonBox::AcceptRole) b->setEnabled(enabled);
  }

  void accept() override {
    if (!owner_->okEnabled_) return;
    QStringList chosen = selectedFiles();
    std::string path = TypedPath(chosen.isEmpty() ? std::string() : chosen.front().toStdString(), owner_->selection_);
    bool valid = DirectoryExists(path) || (owner_->IncludeFiles && FileExists(path));
    if (!valid) {
      if (!owner_->Validate) return;
      bool close = true;
      if (owner_->OnValidateFailed) Guarded([&] { close = owner_->OnValidateFailed(path); });
      if (close) reject();
      return;
    }
    chosen_ = path;
    QFileDialog::accept();
  }

  void showEvent(QShowEvent* e) override {
    QFileDialog::showEvent(e);
    if (placed_ || !owner_->Place) return;
    placed_ = true;
    QTimer::singleShot(0, this, [this] {
      TPoint p{};
      Guarded([&] { p = owner_->Place(width(), height()); });
      move(p.X, p.Y);
    });
  }

  TFolderBrowser* owner_;
  QLabel* status_ = nullptr;
  QDialogButtonBox* box_ = nullptr;
  std::string chosen_;
  bool placed_ = false;
};

TFolderBrowser::TFolderBrowser() = default;
TFolderBrowser::~TFolderBrowser() = default;

void TFolderBrowser::EnableOK(bool enabled) {
  okEnabled_ = enabled;
  if (run_) run_->ShowOK(enabled);
}

void TFolderBrowser::SetStatusText(const std::string& text) {
  status_ = text;
  if (run_) run_->ShowStatus(text);
}

void TFolderBrowser::Cancel() {
  cancelled_ = true;
  if (run_) run_->reject();
}

bool TFolderBrowser::Shown(const std::string& path) {
  bool show = true;
  if (OnShouldShow) show = OnShouldShow(path);
  return show;
}

void TFolderBrowser::Select(const std::string& path) {
  selection_ = path;
  if (OnSelChanged) OnSelChanged(path);
}

bool TFolderBrowser::Execute(std::string& chosen) {
  okEnabled_ = true;
  cancelled_ = false;
  status_ = StatusText;
  selection_.clear();
  std::string start = !Directory.empty() ? Directory : Root;
  TDialogRequest req;
  req.Kind = "Folder";
  req.Title = Title;
  req.Text = StatusText;
  req.InitialDir = start;
  req.FileName = Root;
  req.HelpContext = HelpContext;
  req.Flags = (EditBox ? 1u : 0u) | (Validate ? 2u : 0u) | (IncludeFiles ? 4u : 0u);
  TDialogAnswer answer;
  if (AskDialogResponder(req, answer)) {
    // Answered without a person: the moves run as the user's would.
    if (!start.empty() && Shown(start)) Select(start);
    if (!cancelled_ && OnInitialized) OnInitialized();
    for (const std::string& folder : answer.Files) {
      if (cancelled_) return false;
      if (!Within(folder, Root) || !Shown(folder)) continue;
      Select(folder);
    }
    if (cancelled_) return false;
    std::string result = selection_;
    if (EditBox && !answer.Text.empty()) {
      std::string typed = TypedPath(answer.Text, selection_);
      if (DirectoryExists(typed) || (IncludeFiles && FileExists(typed))) {
        result = typed;
      } else if (Validate) {
        bool close = true;
        if (OnValidateFailed) close = OnValidateFailed(typed);
        if (close || cancelled_) return false;
      }
    }
    if (answer.Result == 0 || !okEnabled_ || result.empty() || cancelled_) return false;
    chosen = result;
    return true;
  }
  if (!QCoreApplication::instance()) return false;
  Run dlg(this, start);
  run_ = &dlg;
  bool ok = false;
  try {
    if (!start.empty()) dlg.selectFile(QString::fromStdString(start));
    if (!start.empty()) Select(start);
    if (!cancelled_ && OnInitialized) OnInitialized();
    dlg.ShowOK(okEnabled_);
    ok = !cancelled_ && dlg.exec() == QDialog::Accepted && !cancelled_;
  } catch (...) {
    run_ = nullptr;
    throw;
  }
  run_ = nullptr;
  if (!ok) return false;
  chosen = dlg.chosen_;
  return true;
}

std::string StandardFolderPath(TStandardFolder folder) {
  static const QStandardPaths::StandardLocation kLocations[] = {
      QStandardPaths::DesktopLocation,   QStandardPaths::DocumentsLocation, QStandardPaths::PicturesLocation,
      QStandardPaths::MusicLocation,     QStandardPaths::MoviesLocation,    QStandardPaths::TemplatesLocation,
      QStandardPaths::HomeLocation,      QStandardPaths::GenericConfigLocation,
      QStandardPaths::GenericDataLocation, QStandardPaths::GenericCacheLocation,
  };
  if (folder > sfCache) return std::string();
  return QStandardPaths::writableLocation(kLocations[folder]).toStdString();
}
