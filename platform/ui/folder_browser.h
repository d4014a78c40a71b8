#pragma once
// The folder browser: a tree of folders below a root (none: the whole file system) in which the user
// picks one, as the shell's browser offers it: a title above the tree, an optional status line, an
// optional edit box for a typed name and a Help button, the OK button enabled per selection by the
// caller, an item filter, and a callback for typed text that names no folder.
//
// It goes through the dialog responder first (Kind "Folder", Title, Text the status line, InitialDir
// the preselected folder, FileName the root, HelpContext). The answer lists the folders the user
// moved to, in order (each one selected in turn: OnSelChanged runs for it, and a folder the filter
// hides is passed over), Text is what the user typed in the edit box (empty: nothing), and Result is
// OK (1) or Cancel (0). OK counts only while the OK button is enabled.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/system/types.h"

class TFolderBrowser {
 public:
  TFolderBrowser();
  ~TFolderBrowser();
  TFolderBrowser(const TFolderBrowser&) = delete;
  TFolderBrowser& operator=(const TFolderBrowser&) = delete;

  std::string Root;          // nothing above it is shown; empty: the whole file system
  std::string Directory;     // the folder selected when the browser opens (empty: the root)
  std::string Title;         // the text above the tree
  bool StatusLine = false;   // a status line under the title
  std::string StatusText;    // its first text
  bool EditBox = false;      // an edit for a typed name
  bool Validate = false;     // typed text that names no folder goes to OnValidateFailed
  bool IncludeFiles = false; // files are listed (and may be chosen) too
  bool NewFolderButton = true;
  int HelpContext = 0;       // nonzero: a Help button that asks Application for this context
  // Where the browser's window goes once shown, from its size (the toolkit's place when unset).
  std::function<TPoint(int width, int height)> Place;

  // The browser is ready (its selection made).
  std::function<void()> OnInitialized;
  // The selection moved to path ("" for an item that is no folder of the file system).
  std::function<void(const std::string& path)> OnSelChanged;
  // Whether an item is listed.
  std::function<bool(const std::string& path)> OnShouldShow;
  // Typed text that names no folder (with Validate): true closes the browser as cancelled, false
  // keeps it open.
  std::function<bool(const std::string& text)> OnValidateFailed;

  // While the browser runs (from its callbacks): the OK button, the status line, the selection.
  void EnableOK(bool enabled);
  bool OKEnabled() const { return okEnabled_; }
  void SetStatusText(const std::string& text);
  const std::string& CurrentStatusText() const { return status_; }
  const std::string& Selection() const { return selection_; }
  // Closes the running browser as cancelled (after a failure in a callback).
  void Cancel();

  // Shows the browser; true and the chosen path when the user confirmed.
  bool Execute(std::string& chosen);

 private:
  struct Run;
  void Select(const std::string& path);
  bool Shown(const std::string& path);
  bool okEnabled_ = true;
  bool cancelled_ = false;
  std::string status_;
  std::string selection_;
  Run* run_ = nullptr;
};

// The user's standard folders, as the desktop names them (its XDG folders).
enum TStandardFolder : uint8_t {
  sfDesktop, sfDocuments, sfPictures, sfMusic, sfVideos, sfTemplates, sfHome, sfConfig, sfData, sfCache
};
// The folder's path; empty when the desktop has none.
std::string StandardFolderPath(TStandardFolder folder);
