#pragma once
// Folder tree and file list of the file system, linked: choosing a folder in the tree lists its files
// in the list. The list asks OnAddFolder for every entry it is about to show (a filter by extension,
// say); entries are sorted by name without regard to case.
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/list_ctrls.h"

// One entry of the file system as the shell views show it.
struct TShellFolder {
  std::string PathName;     // the full path
  std::string DisplayName;  // the name shown
  bool IsFolder = false;
};

class TShellListView;

class TShellTreeView : public TWinControl {
 public:
  explicit TShellTreeView(TComponent* owner);
  ~TShellTreeView() override;
  // The folder at the top of the tree ("/" unless set).
  const std::string& Root() const { return root_; }
  void SetRoot(const std::string& value);
  // The chosen folder; setting it opens the tree down to it.
  const std::string& Path() const { return path_; }
  void SetPath(const std::string& value);
  TShellListView* ShellListView() const { return listView_; }
  void SetShellListView(TShellListView* value);
  TNotifyEvent OnChange;

  // Internal: the user chose a folder.
  void FolderChosen(const std::string& path);

 protected:
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void Rebuild();
  std::string root_ = "/";
  std::string path_;
  TShellListView* listView_ = nullptr;
  int syncing_ = 0;
};

using TAddFolderEvent = std::function<void(TObject* Sender, const TShellFolder& Folder, bool& CanAdd)>;

// The entries of a folder (files only unless IncludeFolders), one per line of a list box.
class TShellListView : public TCustomListBox {
 public:
  explicit TShellListView(TComponent* owner);
  const std::string& Root() const { return root_; }
  // Lists the folder's entries (a folder that does not exist lists nothing).
  void SetRoot(const std::string& value);
  bool IncludeFolders() const { return includeFolders_; }
  void SetIncludeFolders(bool value);
  // Lists the folder again (after a change of the filter, say).
  void Refresh();
  int FolderCount() const { return static_cast<int>(folders_.size()); }
  const TShellFolder& Folders(int index) const { return folders_.at(static_cast<size_t>(index)); }
  // The chosen entry (the focused one in a multiple choice), or null.
  const TShellFolder* SelectedFolder();
  TAddFolderEvent OnAddFolder;
  // After the entries or the choice changed.
  TNotifyEvent OnChange;

 protected:
  void Click() override;

 private:
  std::string root_;
  bool includeFolders_ = false;
  std::vector<TShellFolder> folders_;
};
