#pragma once
// The file and folder edits: combo edits whose button opens a file dialog or a folder dialog. Both
// take files dropped on them, complete typed paths from the file system, can show the desktop's
// display form of the path while they do not have the focus, and bracket their dialogs with events
// that may change the path or cancel.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/xc_browse_folder.h"
#include "controls/xc_combo_edit.h"
#include "controls/xc_path_edit_text.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/shell.h"

// "Invalid file name - %s" from the file edit's FileName.
class EComboEditError : public EXCLException { using EXCLException::EXCLException; };

enum TXcAutoCompleteFileOption : uint8_t { acfFileSystem, acfFileSysDirs, acfURLHistory, acfURLMRU };
using TXcAutoCompleteFileOptions = TEnumSet<TXcAutoCompleteFileOption>;

// Before and after a dialog: the path (which the handler may change) and whether to go on (before)
// or whether the dialog was confirmed (after; the handler may refuse the result).
using TExecOpenDialogEvent = std::function<void(TObject* Sender, std::string& AName, bool& AAction)>;

class TXcFileDirEdit : public TXcCustomComboEdit {
 public:
  explicit TXcFileDirEdit(TComponent* owner);
  void WndProc(TMessage& message) override;

  // Files dropped from other programs are taken (registered at once when the window exists).
  bool AcceptFiles() const { return acceptFiles_; }
  void SetAcceptFiles(bool value);
  // Where completion looks: the file system (folders only with acfFileSysDirs); the address
  // history and recently used lists have nothing behind them here.
  TXcAutoCompleteFileOptions AutoCompleteFileOptions() const { return autoCompleteFileOptions_; }
  void SetAutoCompleteFileOptions(TXcAutoCompleteFileOptions value);
  // Kept for the stored form; the text is UTF-8 whatever it says.
  bool OEMConvert() const { return oemConvert_; }
  void SetOEMConvert(bool value) { oemConvert_ = value; }
  // Several paths at once (the file dialog's multiple choice, the folder edit's ";" list).
  bool MultipleDirs() const { return multipleDirs_; }

  // The long, short and display forms of the path.
  virtual std::string LongName() = 0;
  virtual std::string ShortName() = 0;
  virtual std::string LocalizedName() = 0;
  // Takes one dropped path.
  virtual void AcceptDroppedPath(const std::string& path) = 0;
  virtual void ClearDroppedFiles() = 0;

  TExecOpenDialogEvent OnBeforeDialog;
  TExecOpenDialogEvent OnAfterDialog;
  TNotifyEvent OnDropFiles;

 protected:
  void Change() override;
  void UpdateAutoComplete() override;
  void HandleFocusGained(HWND lostFocus) override;
  void HandleFocusLost(HWND receivesFocus) override;
  // The text behind the display form, kept while the display form shows.
  virtual void SetPhysicalText(const std::string& value) = 0;
  virtual const std::string& PhysicalText() const = 0;
  virtual bool DisplayingLocalized() const = 0;
  // Shows the display form (leaving) or the text behind it (entering).
  void ShowLocalized(bool localized);
  void SetMultipleDirs(bool value) { multipleDirs_ = value; }

 private:
  void DropFiles(HDROP drop);
  bool swapping_ = false;  // the display form and the text behind it change places
  bool acceptFiles_ = true;
  TXcAutoCompleteFileOptions autoCompleteFileOptions_{acfFileSystem};
  bool oemConvert_ = true;
  bool multipleDirs_ = false;
};

enum TFileDialogKind : uint8_t { dkOpen, dkSave, dkOpenPicture, dkSavePicture };

class TXcFilenameEdit : public TXcFileDirEdit {
 public:
  explicit TXcFilenameEdit(TComponent* owner);
  ~TXcFilenameEdit() override;

  // Names with blanks are shown in double quotes, which FileName takes off again.
  bool AddQuotes() const { return addQuotes_; }
  void SetAddQuotes(bool value) { addQuotes_ = value; }
  TFileDialogKind DialogKind() const { return dialogKind_; }
  // Makes the dialog anew, keeping its settings.
  void SetDialogKind(TFileDialogKind value);
  bool DisplayLocalizedName() const { return displayLocalizedName_; }
  void SetDisplayLocalizedName(bool value);
  // The file name the text stands for (NormalizeFileName).
  std::string FileName();
  // Raises EComboEditError "Invalid file name - %s" for a name that is not a valid file name (the
  // text stays); shows the name, quoted with AddQuotes when it holds a blank.
  void SetFileName(const std::string& value);
  // The dialog's settings.
  const std::string& DefaultExt() const { return dialog_->DefaultExt(); }
  void SetDefaultExt(const std::string& value) { dialog_->SetDefaultExt(value); }
  TFileEditStyle FileEditStyle() const { return dialog_->FileEditStyle(); }
  void SetFileEditStyle(TFileEditStyle value) { dialog_->SetFileEditStyle(value); }
  const std::string& Filter() const { return dialog_->Filter(); }
  void SetFilter(const std::string& value) { dialog_->SetFilter(value); }
  int FilterIndex() const { return dialog_->FilterIndex(); }
  void SetFilterIndex(int value) { dialog_->SetFilterIndex(value); }
  const std::string& InitialDir() const { return dialog_->InitialDir(); }
  void SetInitialDir(const std::string& value) { dialog_->SetInitialDir(value); }
  TStrings* HistoryList() { return dialog_->HistoryList(); }
  void SetHistoryList(TStrings* value) { dialog_->SetHistoryList(value); }
  TOpenOptions DialogOptions() const { return dialog_->Options(); }
  // Multiple choice makes MultipleDirs; without it the dropped files are forgotten.
  void SetDialogOptions(TOpenOptions value);
  const std::string& DialogTitle() const { return dialog_->Title(); }
  void SetDialogTitle(const std::string& value) { dialog_->SetTitle(value); }
  TOpenDialog* Dialog() const { return dialog_.get(); }

  std::string LongName() override;
  std::string ShortName() override;
  std::string LocalizedName() override;
  void AcceptDroppedPath(const std::string& path) override;
  void ClearDroppedFiles() override;

 protected:
  void RunButtonAction() override;
  int DefaultImageIndex() override;
  void SetPhysicalText(const std::string& value) override { physical_ = value; }
  const std::string& PhysicalText() const override { return physical_; }
  bool DisplayingLocalized() const override { return displayLocalizedName_; }

 private:
  std::unique_ptr<TOpenDialog> dialog_;
  TFileDialogKind dialogKind_ = dkOpen;
  bool addQuotes_ = true;
  bool displayLocalizedName_ = false;
  std::string physical_;
};

enum TDirDialogKind : uint8_t { dkVCL, dkWin32 };

class TXcDirectoryEdit : public TXcFileDirEdit {
 public:
  explicit TXcDirectoryEdit(TComponent* owner);

  TDirDialogKind DialogKind() const { return dialogKind_; }
  void SetDialogKind(TDirDialogKind value) { dialogKind_ = value; }
  // The folder browser's status text.
  const std::string& DialogText() const { return dialogText_; }
  void SetDialogText(const std::string& value) { dialogText_ = value; }
  bool DisplayLocalizedName() const { return displayLocalizedName_; }
  void SetDisplayLocalizedName(bool value);
  TSelectDirOpts DialogOptions() const { return dialogOptions_; }
  void SetDialogOptions(TSelectDirOpts value) { dialogOptions_ = value; }
  TOptionsDir DialogOptionsWin32() const { return dialogOptionsWin32_; }
  void SetDialogOptionsWin32(TOptionsDir value) { dialogOptionsWin32_ = value; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& value) { initialDir_ = value; }
  // The text holds several folders separated by ";".
  bool MultipleDirs() const { return TXcFileDirEdit::MultipleDirs(); }
  void SetMultipleDirs(bool value) { TXcFileDirEdit::SetMultipleDirs(value); }
  // The physical text while the display form shows, else the edit's text.
  std::string PathInUse();

  std::string LongName() override;
  std::string ShortName() override;
  std::string LocalizedName() override;
  void AcceptDroppedPath(const std::string& path) override;
  void ClearDroppedFiles() override {}

 protected:
  void RunButtonAction() override;
  int DefaultImageIndex() override;
  void SetPhysicalText(const std::string& value) override { physical_ = value; }
  const std::string& PhysicalText() const override { return physical_; }
  bool DisplayingLocalized() const override { return displayLocalizedName_; }

 private:
  TDirDialogKind dialogKind_ = dkWin32;
  std::string dialogText_;
  bool displayLocalizedName_ = false;
  TSelectDirOpts dialogOptions_{sdAllowCreate};
  TOptionsDir dialogOptionsWin32_ = kDefaultOptionsDir;
  std::string initialDir_;
  std::string physical_;
};
