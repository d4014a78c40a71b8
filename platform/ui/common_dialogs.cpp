#include "platform/ui/common_dialogs.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QPageLayout>
#include <QtWidgets/QColorDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QFontDialog>
#include <QtWidgets/QGridLayout>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>

#include <cstdlib>
#include <filesystem>

#include "platform/gdi/graphics.h"
#include "platform/gdi/picture.h"
#include "platform/gdi/qt_font_p.h"
#include "platform/system/streams.h"
#include "platform/ui/forms.h"
#include "platform/ui/printers.h"
#include "platform/ui/qt_window_p.h"

namespace {

// The entries of a "desc|patterns|desc|patterns" filter.
std::vector<std::pair<std::string, std::string>> FilterEntries(const std::string& filter) {
  std::vector<std::pair<std::string, std::string>> out;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= filter.size()) {
    size_t bar = filter.find('|', start);
    if (bar == std::string::npos) bar = filter.size();
    parts.push_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
  return out;
}

// The toolkit's name filters: "desc (pattern pattern)".
QStringList NameFilters(const std::string& filter) {
  QStringList out;
  for (auto& [desc, patterns] : FilterEntries(filter)) {
    QString p = QString::fromStdString(patterns);
    p.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << QString::fromStdString(desc) + QStringLiteral(" (") + p + QLatin1Char(')');
  }
  return out;
}

// A name without an extension gets the default one, as the platform's dialogs give it.
std::string WithDefaultExt(const std::string& name, const std::string& defaultExt, bool open) {
  if (defaultExt.empty() || !ExtractFileExt(name).empty()) return name;
  if (open && FileExists(name)) return name;
  return name + "." + defaultExt;
}

// The checks the platform's dialog makes before it lets the user go: false keeps the dialog open.
bool ConfirmFiles(const std::vector<std::string>& files, TOpenOptions options, bool open, const std::string& title) {
  for (const std::string& f : files) {
    if (open && (options & OpenOption(ofFileMustExist)) && !FileExists(f)) {
      ShowPlatformMessageBox(f + "\nFile not found.\nPlease verify the correct file name was given.", title,
                             MB_OK | MB_ICONWARNING);
      return false;
    }
    if (!open && (options & OpenOption(ofOverwritePrompt)) && FileExists(f)) {
      if (ShowPlatformMessageBox(f + " already exists.\nDo you want to replace it?", title,
                                 MB_YESNO | MB_ICONWARNING) != IDYES)
        return false;
    }
  }
  return true;
}

std::string Hex6(TColor c) { return Format("%.6X", static_cast<unsigned>(c) & 0xFFFFFFu); }

QColor QtColor(TColor c) {
  COLORREF rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor ColorOf(const QColor& q) { return static_cast<TColor>(RGB(static_cast<uint8_t>(q.red()), static_cast<uint8_t>(q.green()), static_cast<uint8_t>(q.blue()))); }

// A window of the framework that lives inside a toolkit dialog (the preview area of a file dialog).
class TDialogPanelHost : public TCustomControl {
 public:
  explicit TDialogPanelHost(TComponent* owner) : TCustomControl(owner) {
    SetBounds(0, 0, 250, 300);
    SetColor(clBtnFace);
  }
  // Once in the dialog's layout, the toolkit places the window.
  void Embed(QGridLayout* layout, int row, int column, int rows) {
    HandleNeeded();
    QWidget* w = Record()->widget;
    embedded_ = true;
    w->setMinimumSize(width_, height_);
    layout->addWidget(w, row, column, rows, 1);
    w->show();
  }
  // Takes the window back out of the dialog before the dialog goes (it would free it).
  void Release() {
    if (!embedded_ || !HandleAllocated()) return;
    QWidget* w = Record()->widget;
    w->hide();
    if (QWidget* p = w->parentWidget())
      if (p->layout()) p->layout()->removeWidget(w);
    w->setParent(nullptr);
    embedded_ = false;
  }

 protected:
  void ApplyWidgetState() override {
    QWidget* w = Record()->widget;
    QRect keep = w->geometry();
    TCustomControl::ApplyWidgetState();
    if (embedded_) w->setGeometry(keep);
  }

 private:
  bool embedded_ = false;
};

void Guarded(const std::function<void()>& f) {
  try {
    f();
  } catch (...) {
    HandleBoundaryException();
  }
}

}  // namespace

// The toolkit's file dialog, with the platform dialog's checks when the user confirms.
class TFileDialogRun : public QFileDialog {
 public:
  TFileDialogRun(const TDialogRequest& req, bool open, TOpenDialog* dialog)
      : QFileDialog(nullptr, QString::fromStdString(req.Title), QString::fromStdString(req.InitialDir)),
        req_(req), open_(open), dialog_(dialog) {}

  void accept() override {
    std::vector<std::string> files;
    for (const QString& f : selectedFiles()) files.push_back(WithDefaultExt(f.toStdString(), req_.DefaultExt, open_));
    if (!ConfirmFiles(files, req_.Flags, open_, req_.Title)) return;
    bool canClose = true;
    if (dialog_) Guarded([&] { canClose = dialog_->NotifyCanClose(files); });
    if (canClose) QFileDialog::accept();
  }

 private:
  const TDialogRequest& req_;
  bool open_;
  TOpenDialog* dialog_;
};

TDialogAnswer RunFileDialog(const TDialogRequest& req, bool open, TOpenDialog* dialog) {
  TDialogAnswer answer;
  answer.FilterIndex = req.FilterIndex;
  if (!QCoreApplication::instance()) return answer;
  TFileDialogRun dlg(req, open, dialog);
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setOption(QFileDialog::DontConfirmOverwrite);
  dlg.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  bool multi = req.Flags & OpenOption(ofAllowMultiSelect);
  dlg.setFileMode(!open ? QFileDialog::AnyFile : multi ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  QStringList filters = NameFilters(req.Filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    int i = std::clamp(req.FilterIndex, 1, static_cast<int>(filters.size())) - 1;
    dlg.selectNameFilter(filters[i]);
  }
  if (!req.FileName.empty()) dlg.selectFile(QString::fromStdString(req.FileName));
  if (!req.DefaultExt.empty()) dlg.setDefaultSuffix(QString::fromStdString(req.DefaultExt));
  if (dialog) {
    QObject::connect(&dlg, &QFileDialog::currentChanged, [dialog](const QString& path) {
      Guarded([&] { dialog->NotifySelection(path.toStdString()); });
    });
    QObject::connect(&dlg, &QFileDialog::directoryEntered, [dialog](const QString& dir) {
      Guarded([&] { dialog->NotifyFolder(dir.toStdString()); });
    });
    QObject::connect(&dlg, &QFileDialog::filterSelected, [dialog, filters](const QString& f) {
      Guarded([&] { dialog->NotifyType(static_cast<int>(filters.indexOf(f)) + 1); });
    });
    if (TWinControl* host = dialog->PreviewParent()) {
      if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
        static_cast<TDialogPanelHost*>(host)->Embed(grid, 0, grid->columnCount(), grid->rowCount());
    }
  }
  answer.Result = dlg.exec() == QDialog::Accepted ? 1 : 0;
  if (dialog)
    if (auto* host = static_cast<TDialogPanelHost*>(dialog->PreviewParent())) host->Release();
  for (const QString& f : dlg.selectedFiles()) answer.Files.push_back(WithDefaultExt(f.toStdString(), req.DefaultExt, open));
  if (!filters.isEmpty()) answer.FilterIndex = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
  return answer;
}

// -------------------------------------------------------------------------------------- TCommonDialog

void TCommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}

void TCommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}

// ---------------------------------------------------------------------------------------- TOpenDialog

TOpenDialog::TOpenDialog(TComponent* owner)
    : TCommonDialog(owner), files_(std::make_unique<TStringList>()), historyList_(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Execute() { return DoExecute(true); }

TWinControl* TOpenDialog::PreviewParent() {
  if (!wantsPreview_ || !running_) return nullptr;
  if (!preview_) preview_ = std::make_unique<TDialogPanelHost>(nullptr);
  preview_->HandleNeeded();
  return preview_.get();
}

void TOpenDialog::NotifySelection(const std::string& file) {
  fileName_ = file;
  DoSelectionChange();
}

void TOpenDialog::NotifyFolder(const std::string& folder) {
  folder_ = folder;
  DoFolderChange();
}

void TOpenDialog::NotifyType(int filterIndex) {
  if (filterIndex == filterIndex_) return;
  filterIndex_ = filterIndex;
  DoTypeChange();
}

bool TOpenDialog::NotifyCanClose(const std::vector<std::string>& files) {
  files_->Clear();
  files_->AddStrings(files);
  if (!files.empty()) fileName_ = files.front();
  bool can = DoCanClose();
  // The list is filled again from the final answer.
  files_->Clear();
  return can;
}

void TOpenDialog::DoSelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}

void TOpenDialog::DoFolderChange() {
  if (OnFolderChange) OnFolderChange(this);
}

void TOpenDialog::DoTypeChange() {
  if (OnTypeChange) OnTypeChange(this);
}

bool TOpenDialog::DoCanClose() {
  bool can = true;
  if (OnCanClose) OnCanClose(this, can);
  return can;
}

bool TOpenDialog::DoExecute(bool open) {
  files_->Clear();
  TDialogRequest req;
  req.Kind = open ? "Open" : "Save";
  req.Title = title_.empty() ? (open ? "Open" : "Save As") : title_;
  req.Filter = filter_;
  req.FilterIndex = filterIndex_ < 1 ? 1 : filterIndex_;
  req.InitialDir = initialDir_;
  req.FileName = fileName_;
  req.DefaultExt = defaultExt_;
  req.Flags = options_;
  std::string startName = fileName_;
  folder_ = initialDir_;
  bool ok = false;
  TDialogAnswer answer;
  running_ = true;
  try {
    PreviewParent();
    DoShow();
    if (AskDialogResponder(req, answer)) {
      // Answered without a person: the dialog's notifications run as the user's moves would run them.
      for (std::string& f : answer.Files) f = WithDefaultExt(f, defaultExt_, open);
      if (answer.FilterIndex != filterIndex_) NotifyType(answer.FilterIndex);
      if (answer.Result != 0 && !answer.Files.empty()) {
        NotifyFolder(ExtractFilePath(answer.Files.front()));
        NotifySelection(answer.Files.front());
        ok = ConfirmFiles(answer.Files, options_, open, req.Title) && NotifyCanClose(answer.Files);
      }
    } else {
      answer = RunFileDialog(req, open, this);
      ok = answer.Result != 0 && !answer.Files.empty();
      filterIndex_ = answer.FilterIndex;
    }
    DoClose();
  } catch (...) {
    running_ = false;
    preview_.reset();
    throw;
  }
  running_ = false;
  preview_.reset();
  if (!ok) {
    fileName_ = startName;
    return false;
  }
  files_->AddStrings(answer.Files);
  fileName_ = answer.Files.front();
  filterIndex_ = answer.FilterIndex;
  std::string ext = ExtractFileExt(fileName_);
  if (!defaultExt_.empty() && !SameText(ext, "." + defaultExt_)) options_ |= OpenOption(ofExtensionDifferent);
  else options_ &= ~OpenOption(ofExtensionDifferent);
  return true;
}

TOpenPictureDialog::TOpenPictureDialog(TComponent* owner) : TOpenDialog(owner) {
  SetFilter(TPicture::GraphicFilter());
}

TSavePictureDialog::TSavePictureDialog(TComponent* owner) : TSaveDialog(owner) {
  SetFilter(TPicture::GraphicFilter());
}

// --------------------------------------------------------------------------------------- TColorDialog

TColorDialog::TColorDialog(TComponent* owner) : TCommonDialog(owner), customColors_(std::make_unique<TStringList>()) {}

TColorDialog::~TColorDialog() = default;

bool TColorDialog::Execute() {
  TDialogRequest req;
  req.Kind = "Color";
  req.Color = color_;
  req.Flags = options_;
  for (int i = 0; i < 16; ++i) {
    std::string v = customColors_->Values(std::string("Color") + static_cast<char>('A' + i));
    req.CustomColors.push_back(v.empty() ? static_cast<int32_t>(clWhite) : static_cast<int32_t>(std::strtol(v.c_str(), nullptr, 16)));
  }
  DoShow();
  TDialogAnswer answer = RunDialog(req, [&] {
    TDialogAnswer a;
    a.CustomColors = req.CustomColors;
    if (!QCoreApplication::instance()) return a;
    for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, QtColor(req.CustomColors[static_cast<size_t>(i)]));
    QColorDialog dlg(QtColor(color_));
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    a.Result = dlg.exec() == QDialog::Accepted ? 1 : 0;
    a.Color = ColorOf(dlg.selectedColor());
    for (int i = 0; i < 16; ++i) a.CustomColors[static_cast<size_t>(i)] = ColorOf(QColorDialog::customColor(i));
    return a;
  });
  DoClose();
  if (answer.Result == 0) return false;
  color_ = answer.Color;
  for (size_t i = 0; i < answer.CustomColors.size() && i < 16; ++i)
    customColors_->SetValues(std::string("Color") + static_cast<char>('A' + i), Hex6(answer.CustomColors[i]));
  return true;
}

// ---------------------------------------------------------------------------------------- TFontDialog

TFontDialog::TFontDialog(TComponent* owner) : TCommonDialog(owner), font_(std::make_unique<TFont>()) {}

TFontDialog::~TFontDialog() = default;

void TFontDialog::SetFont(TFont* value) {
  if (value) font_->Assign(*value);
}

bool TFontDialog::Execute() {
  TDialogRequest req;
  req.Kind = "Font";
  req.Font.Name = font_->Name();
  req.Font.Size = font_->Size();
  req.Font.Style = static_cast<uint8_t>(font_->Style().Bits());
  req.Font.Color = font_->Color();
  DoShow();
  TDialogAnswer answer = RunDialog(req, [&] {
    TDialogAnswer a;
    a.Font = req.Font;
    if (!QCoreApplication::instance()) return a;
    QFontDialog dlg(QtFontOf(font_->Handle()));
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    a.Result = dlg.exec() == QDialog::Accepted ? 1 : 0;
    QFont f = dlg.selectedFont();
    a.Font.Name = f.family().toStdString();
    a.Font.Size = f.pointSize() > 0 ? f.pointSize() : (f.pixelSize() * 72 + 48) / 96;
    a.Font.Style = static_cast<uint8_t>((f.bold() ? 1 : 0) | (f.italic() ? 2 : 0) | (f.underline() ? 4 : 0) |
                                        (f.strikeOut() ? 8 : 0));
    return a;
  });
  DoClose();
  if (answer.Result == 0) return false;
  int size = answer.Font.Size;
  if (minFontSize_ > 0 && size < minFontSize_) size = minFontSize_;
  if (maxFontSize_ > 0 && size > maxFontSize_) size = maxFontSize_;
  TFontStyles style;
  for (TFontStyle s : {fsBold, fsItalic, fsUnderline, fsStrikeOut})
    if (answer.Font.Style & (1u << s)) style.Include(s);
  font_->SetName(answer.Font.Name);
  font_->SetSize(size);
  font_->SetStyle(style);
  font_->SetColor(answer.Font.Color);
  return true;
}

// --------------------------------------------------------------------------------------- TPrintDialog

namespace {

// The toolkit's print dialog over the program's printer settings; the answer carries the choice.
TDialogAnswer ShowPrintDialog(const TDialogRequest& req, bool setupOnly) {
  TDialogAnswer a;
  a.Print = req.Print;
  if (!QCoreApplication::instance()) return a;
  QPrinter printer;
  if (req.Print.PrinterName == kPdfPrinterName) printer.setOutputFormat(QPrinter::PdfFormat);
  else printer.setPrinterName(QString::fromStdString(req.Print.PrinterName));
  printer.setCopyCount(std::max(1, req.Print.Copies));
  printer.setPageOrientation(req.Print.Orientation ? QPageLayout::Landscape : QPageLayout::Portrait);
  if (req.Print.MaxPage > 0) printer.setFromTo(req.Print.FromPage, req.Print.ToPage);
  QPrintDialog dlg(&printer);
  if (req.Print.MaxPage > 0) dlg.setMinMax(req.Print.MinPage, req.Print.MaxPage);
  if (setupOnly) dlg.setOptions(QAbstractPrintDialog::PrintToFile);
  a.Result = dlg.exec() == QDialog::Accepted ? 1 : 0;
  a.Print.PrinterName = printer.outputFormat() == QPrinter::PdfFormat || printer.printerName().isEmpty()
                            ? std::string(kPdfPrinterName)
                            : printer.printerName().toStdString();
  if (!printer.outputFileName().isEmpty()) a.Files.push_back(printer.outputFileName().toStdString());
  a.Print.Copies = printer.copyCount();
  a.Print.Collate = printer.collateCopies();
  a.Print.Orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0;
  a.Print.PrintRange = printer.printRange() == QPrinter::Selection ? 1 : printer.printRange() == QPrinter::PageRange ? 2 : 0;
  a.Print.FromPage = printer.fromPage();
  a.Print.ToPage = printer.toPage();
  return a;
}

TDialogPrint CurrentPrint() {
  TDialogPrint p;
  TPrinter* printer = Printer();
  p.PrinterName = printer->Printers()->Get(printer->PrinterIndex());
  p.Copies = printer->Copies();
  p.Orientation = printer->Orientation() == poLandscape ? 1 : 0;
  return p;
}

// The choice goes to the program's printer.
void ApplyPrint(const TDialogAnswer& a) {
  TPrinter* printer = Printer();
  printer->SetPrinter(a.Print.PrinterName, "", "");
  printer->SetCopies(a.Print.Copies);
  printer->SetOrientation(a.Print.Orientation ? poLandscape : poPortrait);
  if (!a.Files.empty()) printer->SetOutputFileName(a.Files.front());
}

}  // namespace

bool TPrintDialog::Execute() {
  TDialogRequest req;
  req.Kind = "Print";
  req.Flags = options_;
  req.Print = CurrentPrint();
  if (copies_ > 0) req.Print.Copies = copies_;
  req.Print.Collate = collate_;
  req.Print.PrintRange = printRange_;
  req.Print.FromPage = fromPage_;
  req.Print.ToPage = toPage_;
  req.Print.MinPage = minPage_;
  req.Print.MaxPage = maxPage_;
  req.Print.PrintToFile = printToFile_;
  DoShow();
  TDialogAnswer answer = RunDialog(req, [&] { return ShowPrintDialog(req, false); });
  DoClose();
  if (answer.Result == 0) return false;
  ApplyPrint(answer);
  copies_ = answer.Print.Copies;
  collate_ = answer.Print.Collate;
  printRange_ = static_cast<TPrintRange>(std::clamp(answer.Print.PrintRange, 0, 2));
  fromPage_ = answer.Print.FromPage;
  toPage_ = answer.Print.ToPage;
  printToFile_ = answer.Print.PrintToFile || !answer.Files.empty();
  return true;
}

bool TPrinterSetupDialog::Execute() {
  TDialogRequest req;
  req.Kind = "PrinterSetup";
  req.Print = CurrentPrint();
  DoShow();
  TDialogAnswer answer = RunDialog(req, [&] { return ShowPrintDialog(req, true); });
  DoClose();
  if (answer.Result == 0) return false;
  ApplyPrint(answer);
  return true;
}

// ------------------------------------------------------------------------------------ SelectDirectory

bool SelectDirectory(const std::string& caption, const std::string& root, std::string& directory) {
  TDialogRequest req;
  req.Kind = "Folder";
  req.Title = caption;
  req.InitialDir = directory.empty() ? root : directory;
  req.FileName = root;
  TDialogAnswer answer = RunDialog(req, [&] {
    TDialogAnswer a;
    if (!QCoreApplication::instance()) return a;
    QString dir = QFileDialog::getExistingDirectory(nullptr, QString::fromStdString(caption),
                                                    QString::fromStdString(req.InitialDir),
                                                    QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (!dir.isEmpty()) {
      a.Result = 1;
      a.Files.push_back(dir.toStdString());
    }
    return a;
  });
  if (answer.Result == 0 || answer.Files.empty()) return false;
  directory = answer.Files.front();
  return true;
}

namespace {

// The checks of the framework's folder dialog on a chosen folder: false keeps the choice from being
// taken.
bool ConfirmDirectory(std::string& dir, TSelectDirOpts options) {
  if (dir.empty()) return false;
  if (DirectoryExists(dir)) return true;
  if (!options.Contains(sdAllowCreate)) return false;
  if (options.Contains(sdPrompt) &&
      MessageDlg(Format("The %s directory does not exist. Create it?", dir.c_str()), mtConfirmation,
                 mbYes | mbNo) != mrYes)
    return false;
  if (options.Contains(sdPerformCreate)) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error && !DirectoryExists(dir)) return false;
  }
  return true;
}

// The toolkit's folder dialog with the framework dialog's rules: a typed folder that does not exist
// is refused unless it may be created.
class TSelectDirectoryRun : public QFileDialog {
 public:
  TSelectDirectoryRun(const std::string& start, TSelectDirOpts options)
      : QFileDialog(nullptr, QStringLiteral("Select Directory"), QString::fromStdString(start)), options_(options) {}
  void accept() override {
    QStringList chosen = selectedFiles();
    std::string dir = chosen.isEmpty() ? std::string() : chosen.front().toStdString();
    bool ok = false;
    Guarded([&] { ok = ConfirmDirectory(dir, options_); });
    if (!ok) return;
    result_ = dir;
    QFileDialog::accept();
  }
  const std::string& Result() const { return result_; }

 private:
  TSelectDirOpts options_;
  std::string result_;
};

}  // namespace

bool SelectDirectory(std::string& directory, TSelectDirOpts options, int helpContext) {
  TDialogRequest req;
  req.Kind = "Folder";
  req.Title = "Select Directory";
  req.InitialDir = directory;
  req.Flags = options.Bits();
  req.HelpContext = helpContext;
  TDialogAnswer answer;
  std::string chosen;
  if (AskDialogResponder(req, answer)) {
    if (answer.Result == 0 || answer.Files.empty()) return false;
    chosen = answer.Files.back();
    if (!ConfirmDirectory(chosen, options)) return false;
  } else {
    if (!QCoreApplication::instance()) return false;
    TSelectDirectoryRun dlg(directory, options);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setFileMode(options.Contains(sdAllowCreate) ? QFileDialog::AnyFile : QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    if (helpContext != 0) {
      if (auto* box = dlg.findChild<QDialogButtonBox*>()) {
        QPushButton* help = box->addButton(QDialogButtonBox::Help);
        QObject::connect(help, &QPushButton::clicked, [helpContext] {
          Guarded([&] { Application->HelpContext(helpContext); });
        });
      }
    }
    if (dlg.exec() != QDialog::Accepted) return false;
    chosen = dlg.Result();
  }
  directory = chosen;
  return true;
}
