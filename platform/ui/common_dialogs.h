#pragma once
// The common dialogs: open and save (filter "desc|pattern;pattern|...", FilterIndex from 1,
// InitialDir, DefaultExt, Options, Files of a multiple choice), colour, font, print and printer setup,
// and folder selection. Every one goes through the dialog responder of dialogs.h first (Kind "Open",
// "Save", "Color", "Font", "Print", "PrinterSetup", "Folder"), so that tests and scripted runs answer
// them; otherwise the toolkit's dialog shows.
//
// An open or save dialog runs its notifications in both cases: DoShow, DoSelectionChange for the file
// the user moves to (FileName then reads that file), DoFolderChange, DoTypeChange, DoCanClose when the
// user confirms, DoClose. A dialog with a preview gets a window inside the dialog (PreviewParent,
// beside the file list) to put its controls on while it shows.
#include <memory>
#include <string>

#include "platform/gdi/graphics.h"
#include "platform/system/classes.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/string_list.h"

class TFont;

class TCommonDialog : public TComponent {
 public:
  explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
  // Shows the dialog; true when the user confirmed.
  virtual bool Execute() = 0;
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value) { ctl3D_ = value; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value) { helpContext_ = value; }
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

 protected:
  virtual void DoShow();
  virtual void DoClose();

 private:
  bool ctl3D_ = true;
  int helpContext_ = 0;
};

// The 22 options of the open and save dialogs, bit n for option n.
enum TOpenOption : uint8_t {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
  ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
  ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
  ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent, ofForceShowHidden
};
using TOpenOptions = uint32_t;
constexpr TOpenOptions OpenOption(TOpenOption o) { return 1u << o; }

using TCanCloseEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// How the file name is typed: an edit, or an edit that drops down HistoryList.
enum TFileEditStyle : uint8_t { fsEdit, fsComboBox };

class TOpenDialog : public TCommonDialog {
 public:
  explicit TOpenDialog(TComponent* owner);
  ~TOpenDialog() override;
  bool Execute() override;

  const std::string& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& value) { defaultExt_ = value; }
  // While the dialog shows: the file the user is on.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& value) { fileName_ = value; }
  TStrings* Files() { return files_.get(); }
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& value) { filter_ = value; }
  // While the dialog shows: the filter the user chose.
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int value) { filterIndex_ = value; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& value) { initialDir_ = value; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions value) { options_ = value; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }
  TFileEditStyle FileEditStyle() const { return fileEditStyle_; }
  void SetFileEditStyle(TFileEditStyle value) { fileEditStyle_ = value; }
  // Names offered for the file name with fsComboBox.
  TStrings* HistoryList() { return historyList_.get(); }
  void SetHistoryList(TStrings* value) { historyList_->Assign(value); }
  // The folder the dialog shows, while it shows.
  const std::string& CurrentFolder() const { return folder_; }

  TCanCloseEvent OnCanClose;
  TNotifyEvent OnFolderChange;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnTypeChange;

  // The window inside the dialog for a preview, while the dialog shows (between DoShow and DoClose):
  // the dialog gives it its size; controls put on it show beside the file list. Null unless the
  // dialog asked for one with SetWantsPreview.
  TWinControl* PreviewParent();
  void SetWantsPreview(bool value) { wantsPreview_ = value; }

  // Internal: the notifications of the running dialog (called by the dialog machinery).
  void NotifySelection(const std::string& file);
  void NotifyFolder(const std::string& folder);
  void NotifyType(int filterIndex);
  bool NotifyCanClose(const std::vector<std::string>& files);

 protected:
  // Runs the dialog as an open (true) or save dialog.
  bool DoExecute(bool open);
  virtual void DoSelectionChange();
  virtual void DoFolderChange();
  virtual void DoTypeChange();
  virtual bool DoCanClose();

 private:
  friend class TFileDialogRun;
  std::unique_ptr<TStringList> files_;
  std::unique_ptr<TStringList> historyList_;
  TFileEditStyle fileEditStyle_ = fsEdit;
  std::unique_ptr<TWinControl> preview_;
  std::string defaultExt_, fileName_, filter_, initialDir_, title_, folder_;
  int filterIndex_ = 1;
  TOpenOptions options_ = OpenOption(ofHideReadOnly) | OpenOption(ofEnableSizing);
  bool wantsPreview_ = false;
  bool running_ = false;
};

class TSaveDialog : public TOpenDialog {
 public:
  using TOpenDialog::TOpenDialog;
  bool Execute() override { return DoExecute(false); }
};

// The open and save dialogs for pictures: their filter is the picture classes' (TPicture) unless set.
class TOpenPictureDialog : public TOpenDialog {
 public:
  explicit TOpenPictureDialog(TComponent* owner);
};

class TSavePictureDialog : public TSaveDialog {
 public:
  explicit TSavePictureDialog(TComponent* owner);
};

enum TColorDialogOption : uint8_t { cdFullOpen, cdPreventFullOpen, cdShowHelp, cdSolidColor, cdAnyColor };
using TColorDialogOptions = uint8_t;

class TColorDialog : public TCommonDialog {
 public:
  explicit TColorDialog(TComponent* owner);
  ~TColorDialog() override;
  bool Execute() override;
  TColor Color() const { return color_; }
  void SetColor(TColor value) { color_ = value; }
  // "ColorA=RRGGBB" ... "ColorP=..." in hexadecimal BGR, as the framework keeps them.
  TStrings* CustomColors() { return customColors_.get(); }
  TColorDialogOptions Options() const { return options_; }
  void SetOptions(TColorDialogOptions value) { options_ = value; }

 private:
  TColor color_ = clBlack;
  std::unique_ptr<TStringList> customColors_;
  TColorDialogOptions options_ = 0;
};

class TFontDialog : public TCommonDialog {
 public:
  explicit TFontDialog(TComponent* owner);
  ~TFontDialog() override;
  bool Execute() override;
  TFont* Font() { return font_.get(); }
  void SetFont(TFont* value);
  int MinFontSize() const { return minFontSize_; }
  void SetMinFontSize(int value) { minFontSize_ = value; }
  int MaxFontSize() const { return maxFontSize_; }
  void SetMaxFontSize(int value) { maxFontSize_ = value; }

 private:
  std::unique_ptr<TFont> font_;
  int minFontSize_ = 0, maxFontSize_ = 0;
};

enum TPrintRange : uint8_t { prAllPages, prSelection, prPageNums };
enum TPrintDialogOption : uint8_t { poPrintToFile, poPageNums, poSelection, poWarning, poHelp, poDisablePrintToFile };
using TPrintDialogOptions = uint8_t;

// Chooses the printer, copies and pages; the choice goes to Printer() when confirmed.
class TPrintDialog : public TCommonDialog {
 public:
  explicit TPrintDialog(TComponent* owner) : TCommonDialog(owner) {}
  bool Execute() override;
  bool Collate() const { return collate_; }
  void SetCollate(bool value) { collate_ = value; }
  int Copies() const { return copies_; }
  void SetCopies(int value) { copies_ = value; }
  int FromPage() const { return fromPage_; }
  void SetFromPage(int value) { fromPage_ = value; }
  int ToPage() const { return toPage_; }
  void SetToPage(int value) { toPage_ = value; }
  int MinPage() const { return minPage_; }
  void SetMinPage(int value) { minPage_ = value; }
  int MaxPage() const { return maxPage_; }
  void SetMaxPage(int value) { maxPage_ = value; }
  TPrintRange PrintRange() const { return printRange_; }
  void SetPrintRange(TPrintRange value) { printRange_ = value; }
  bool PrintToFile() const { return printToFile_; }
  void SetPrintToFile(bool value) { printToFile_ = value; }
  TPrintDialogOptions Options() const { return options_; }
  void SetOptions(TPrintDialogOptions value) { options_ = value; }

 private:
  bool collate_ = false, printToFile_ = false;
  int copies_ = 0, fromPage_ = 0, toPage_ = 0, minPage_ = 0, maxPage_ = 0;
  TPrintRange printRange_ = prAllPages;
  TPrintDialogOptions options_ = 0;
};

// Chooses the printer and its orientation for Printer().
class TPrinterSetupDialog : public TCommonDialog {
 public:
  explicit TPrinterSetupDialog(TComponent* owner) : TCommonDialog(owner) {}
  bool Execute() override;
};

// Lets the user choose a folder below root (empty: anywhere), starting at directory; true and the
// folder in directory when confirmed.
bool SelectDirectory(const std::string& caption, const std::string& root, std::string& directory);

// The framework's own folder dialog: a folder tree and the folder's name, which the user may type.
// A name of a folder that does not exist is accepted only with sdAllowCreate; sdPrompt asks first
// whether to create it ("The %s directory does not exist. Create it?"), sdPerformCreate makes it
// (with the folders above it). A helpContext other than 0 adds a Help button whose press asks
// Application for that context. Kind "Folder" for the responder, with the options in Flags.
enum TSelectDirOpt : uint8_t { sdAllowCreate, sdPerformCreate, sdPrompt };
using TSelectDirOpts = TEnumSet<TSelectDirOpt>;
bool SelectDirectory(std::string& directory, TSelectDirOpts options, int helpContext);

// The toolkit's open or save dialog for a request (used by the components above and by the printer's
// PDF file choice); the run's notifications go to dialog when given.
TDialogAnswer RunFileDialog(const TDialogRequest& request, bool open, TOpenDialog* dialog = nullptr);
