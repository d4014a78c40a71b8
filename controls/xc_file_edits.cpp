#include "controls/xc_file_edits.h"

#include "controls/xc_edit_glyphs.h"
#include "controls/xc_file_utils.h"
#include "controls/xrl/xrl_file_utils.h"
#include "controls/xrl/xrl_shell.h"
#include "platform/system/streams.h"
#include "platform/ui/theme_services.h"

// ------------------------------------------------------------------------------------ TXcFileDirEdit

TXcFileDirEdit::TXcFileDirEdit(TComponent* owner) : TXcCustomComboEdit(owner) {
  SetAutoCompleteOptions({acoAutoSuggest});
}

void TXcFileDirEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_DROPFILES:
      DropFiles(reinterpret_cast<HDROP>(m.WParam));
      return;
    case WM_DESTROY:
      if (HandleAllocated()) DragAcceptFiles(Handle(), false);
      break;
    default: break;
  }
  TXcCustomComboEdit::WndProc(m);
  if (m.Msg == WM_CREATE && acceptFiles_) DragAcceptFiles(Handle(), true);
}

void TXcFileDirEdit::SetAcceptFiles(bool value) {
  if (value == acceptFiles_) return;
  acceptFiles_ = value;
  if (HandleAllocated()) DragAcceptFiles(Handle(), value);
}

void TXcFileDirEdit::DropFiles(HDROP drop) {
  // The names are taken whole; the drop is let go whatever the handlers do.
  std::vector<std::string> files = DroppedFiles(drop);
  try {
    if (!files.empty()) {
      ClearDroppedFiles();
      for (const std::string& f : files) {
        AcceptDroppedPath(f);
        if (!MultipleDirs()) break;
      }
      if (OnDropFiles) OnDropFiles(this);
    }
  } catch (...) {
    DragFinish(drop);
    throw;
  }
  DragFinish(drop);
}

void TXcFileDirEdit::SetAutoCompleteFileOptions(TXcAutoCompleteFileOptions value) {
  if (value == autoCompleteFileOptions_) return;
  autoCompleteFileOptions_ = value;
  if (!(ComponentState() & csDesigning)) UpdateAutoComplete();
}

void TXcFileDirEdit::UpdateAutoComplete() {
  if (ComponentState() & csDesigning) return;
  const TXcAutoCompleteOptions options = AutoCompleteOptions();
  TAutoCompleteSource source = acsNone;
  if (autoCompleteFileOptions_.Contains(acfFileSysDirs)) source = acsFileSystemFolders;
  else if (autoCompleteFileOptions_.Contains(acfFileSystem)) source = acsFileSystem;
  if (options.Empty()) source = acsNone;
  SetAutoComplete(source, {}, options.Contains(acoAutoSuggest), options.Contains(acoAutoAppend));
}

void TXcFileDirEdit::Change() {
  // A pasted text keeps its first line only.
  bool cut = false;
  std::string first = CutAtLineBreak(Text(), cut);
  if (cut) {
    SetText(first);
    return;
  }
  TXcCustomComboEdit::Change();
  if (!swapping_) SetPhysicalText(Text());
}

void TXcFileDirEdit::ShowLocalized(bool localized) {
  swapping_ = true;
  try {
    if (localized) {
      SetPhysicalText(Text());
      SetText(LocalizedName());
    } else {
      SetText(PhysicalText());
    }
  } catch (...) {
    swapping_ = false;
    throw;
  }
  swapping_ = false;
}

void TXcFileDirEdit::HandleFocusGained(HWND lostFocus) {
  if (DisplayingLocalized()) ShowLocalized(false);
  TXcCustomComboEdit::HandleFocusGained(lostFocus);
}

void TXcFileDirEdit::HandleFocusLost(HWND receivesFocus) {
  TXcCustomComboEdit::HandleFocusLost(receivesFocus);
  if (DisplayingLocalized()) ShowLocalized(true);
}

// ----------------------------------------------------------------------------------- TXcFilenameEdit

namespace {

std::unique_ptr<TOpenDialog> MakeFileDialog(TFileDialogKind kind) {
  switch (kind) {
    case dkSave: return std::make_unique<TSaveDialog>(nullptr);
    case dkOpenPicture: return std::make_unique<TOpenPictureDialog>(nullptr);
    case dkSavePicture: return std::make_unique<TSavePictureDialog>(nullptr);
    default: return std::make_unique<TOpenDialog>(nullptr);
  }
}

}  // namespace

TXcFilenameEdit::TXcFilenameEdit(TComponent* owner)
    : TXcFileDirEdit(owner), dialog_(MakeFileDialog(dkOpen)) {
  dialog_->SetTitle("Browse");
  dialog_->SetFilter("All files (*.*)|*.*");
  dialog_->SetOptions(OpenOption(ofHideReadOnly));
  SetImageKind(ikDefault);
}

TXcFilenameEdit::~TXcFilenameEdit() = default;

int TXcFilenameEdit::DefaultImageIndex() {
  return DefaultEditImageIndex(ThemeServices()->ThemesEnabled() ? kFilenameEditXPGlyph : kFilenameEditGlyph);
}

void TXcFilenameEdit::SetDialogKind(TFileDialogKind value) {
  if (value == dialogKind_) return;
  std::unique_ptr<TOpenDialog> made = MakeFileDialog(value);
  TOpenDialog* old = dialog_.get();
  made->SetDefaultExt(old->DefaultExt());
  made->SetFileEditStyle(old->FileEditStyle());
  made->SetFileName(old->FileName());
  made->SetFilter(old->Filter());
  made->SetFilterIndex(old->FilterIndex());
  made->SetInitialDir(old->InitialDir());
  made->SetHistoryList(old->HistoryList());
  made->Files()->Assign(old->Files());
  made->SetOptions(old->Options());
  made->SetTitle(old->Title());
  dialog_ = std::move(made);
  dialogKind_ = value;
}

void TXcFilenameEdit::SetDisplayLocalizedName(bool value) {
  if (value == displayLocalizedName_) return;
  displayLocalizedName_ = value;
  if (Focused()) return;
  if (value) ShowLocalized(true);
  else ShowLocalized(false);
}

std::string TXcFilenameEdit::FileName() {
  const std::string& text = displayLocalizedName_ && !Focused() ? physical_ : Text();
  return NormalizeFileName(text, addQuotes_, FileSystemProbe());
}

void TXcFilenameEdit::SetFileName(const std::string& value) {
  if (!value.empty() && !IsValidFileName(NormalizeFileName(value, addQuotes_, FileSystemProbe())))
    throw EComboEditError(Format("Invalid file name - %s", value.c_str()));
  const std::string shown = FileNameText(value, addQuotes_);
  if (displayLocalizedName_ && !Focused()) {
    physical_ = shown;
    ShowLocalized(true);
    physical_ = shown;
  } else {
    SetText(shown);
  }
  ClearDroppedFiles();
}

void TXcFilenameEdit::SetDialogOptions(TOpenOptions value) {
  if (value == dialog_->Options()) return;
  dialog_->SetOptions(value);
  SetMultipleDirs(value & OpenOption(ofAllowMultiSelect));
  if (!MultipleDirs()) ClearDroppedFiles();
}

void TXcFilenameEdit::AcceptDroppedPath(const std::string& path) {
  if (!MultipleDirs()) {
    SetFileName(path);
    return;
  }
  if (dialog_->Files()->Count() == 0) SetFileName(path);
  dialog_->Files()->Add(path);
}

void TXcFilenameEdit::ClearDroppedFiles() { dialog_->Files()->Clear(); }

std::string TXcFilenameEdit::LongName() { return LongNameOf(FileName()); }

std::string TXcFilenameEdit::ShortName() { return ShortNameOf(FileName()); }

std::string TXcFilenameEdit::LocalizedName() { return LocalizedDisplayPath(FileName()); }

void TXcFilenameEdit::RunButtonAction() {
  std::string name = FileName();
  bool action = true;
  if (OnBeforeDialog) OnBeforeDialog(this, name, action);
  if (!action) return;
  if (IsValidFileName(name)) {
    std::string folder = ExtractFilePath(name);
    if (!folder.empty() && IsExistingDirectory(folder)) dialog_->SetInitialDir(folder);
    std::string part = ExtractFileName(name);
    if (part.empty() || !IsValidFileName(part)) name.clear();
    dialog_->SetFileName(name);
  }
  action = dialog_->Execute();
  if (action) name = dialog_->FileName();
  if (CanFocus()) SetFocus();
  if (OnAfterDialog) OnAfterDialog(this, name, action);
  if (!action) return;
  SetText(FileNameText(name, addQuotes_));
  dialog_->SetInitialDir(ExtractFilePath(dialog_->FileName()));
}

// ---------------------------------------------------------------------------------- TXcDirectoryEdit

TXcDirectoryEdit::TXcDirectoryEdit(TComponent* owner) : TXcFileDirEdit(owner) {
  SetAutoCompleteFileOptions({acfFileSystem, acfFileSysDirs});
  SetImageKind(ikDefault);
}

int TXcDirectoryEdit::DefaultImageIndex() {
  return DefaultEditImageIndex(ThemeServices()->ThemesEnabled() ? kDirectoryEditXPGlyph : kDirectoryEditGlyph);
}

void TXcDirectoryEdit::SetDisplayLocalizedName(bool value) {
  if (value == displayLocalizedName_) return;
  displayLocalizedName_ = value;
  if (Focused()) return;
  ShowLocalized(value);
}

std::string TXcDirectoryEdit::PathInUse() { return displayLocalizedName_ && !Focused() ? physical_ : Text(); }

std::string TXcDirectoryEdit::LongName() { return ConvertFolderList(PathInUse(), MultipleDirs(), LongPathOf); }

std::string TXcDirectoryEdit::ShortName() { return ConvertFolderList(PathInUse(), MultipleDirs(), ShortPathOf); }

std::string TXcDirectoryEdit::LocalizedName() {
  return ConvertFolderList(PathInUse(), MultipleDirs(), LocalizedDisplayPath);
}

void TXcDirectoryEdit::AcceptDroppedPath(const std::string& path) {
  SetText(AddFolderToList(Text(), DroppedFolder(path, FileSystemProbe()), MultipleDirs()));
}

void TXcDirectoryEdit::RunButtonAction() {
  std::string dir = PathInUse();
  bool action = true;
  if (OnBeforeDialog) OnBeforeDialog(this, dir, action);
  if (!action) return;
  dir = FolderDialogStart(dir, initialDir_, FileSystemProbe());
  if (dialogKind_ == dkVCL) {
    action = SelectDirectory(dir, dialogOptions_, 0);
  } else {
    TXcBrowseForFolderDialog browser(this);
    browser.SetOptions(dialogOptionsWin32_);
    browser.SetDirectory(dir);
    browser.SetStatusText(dialogText_);
    action = browser.Execute();
    dir = browser.Directory();
  }
  if (CanFocus()) SetFocus();
  if (OnAfterDialog) OnAfterDialog(this, dir, action);
  if (!action) return;
  SetSelText(std::string());
  SetText(AddFolderToList(PathInUse(), dir, MultipleDirs()));
  physical_ = Text();
  if (IsExistingDirectory(dir)) initialDir_ = dir;
}
