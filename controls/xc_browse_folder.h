#pragma once
// The browse-for-folder dialog: a component that shows the folder browser and gives the chosen
// folder. Its options map onto the browser's flags by the shell's version; it can root the browser
// at a special folder or a path, preselect a folder, place the browser's window, add a Help button,
// keep a status line, and let its owner refuse selections, filter the items and handle typed text
// that names no folder.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "controls/xc_types.h"
#include "platform/gdi/graphics.h"
#include "platform/ui/common_dialogs.h"

// The library's common-dialog bases (they add only the "about" entry).
class TXcCommonDialog : public TCommonDialog {
 public:
  using TCommonDialog::TCommonDialog;
};
class TXcCommonDialogF : public TXcCommonDialog {
 public:
  using TXcCommonDialog::TXcCommonDialog;
};

enum TOptionDir : uint8_t {
  odBrowseForComputer, odOnlyDirectory, odOnlyPrinters, odNoBelowDomain, odSystemAncestorsOnly,
  odFileSystemDirectoryOnly, odStatusAvailable, odIncludeFiles, odIncludeUrls, odEditBox, odNewDialogStyle,
  odShareable, odUsageHint, odNoNewButtonFolder, odValidate
};
using TOptionsDir = TEnumSet<TOptionDir>;
constexpr TOptionsDir kDefaultOptionsDir{odStatusAvailable, odNewDialogStyle};

// Where the browser's window goes (a scoped enumeration: the font pitch has an fpDefault too).
enum class TXcFolderPos : uint8_t {
  fpDefault, fpScreenCenter, fpFormCenter, fpTopLeft, fpTopRight, fpBottomLeft, fpBottomRight
};

// The special folders, in the shell's order.
enum TFromDirectory : uint8_t {
  fdNoSpecialFolder, fdRootFolder, fdRecycleBin, fdControlPanel, fdDesktop, fdDesktopDirectory, fdMyComputer,
  fdFonts, fdNetHood, fdNetwork, fdPersonal, fdPrinters, fdPrograms, fdRecent, fdSendTo, fdStartMenu, fdStartup,
  fdTemplates, fdStartUpNonLocalized, fdCommonStartUpNonLocalized, fdCommonDocuments, fdCommonFavorites,
  fdCommonPrograms, fdCommonStartUp, fdCommonTemplates, fdCookies, fdFavorites, fdHistory, fdInternet, fdMyMusic,
  fdPrinthood, fdConnections, fdAppData, fdInternetCache, fdAdminTools, fdCommonAdminTools, fdCommonAppData,
  fdLocalAppData, fdMyPictures, fdProfile, fdProgramFiles, fdProgramFilesCommon, fdSystem, fdWindows, fdCDBurnArea,
  fdCommonMusic, fdCommonPictures, fdCommonVideo, fdMyDocuments, fdMyVideo, fdProfiles, fdResources,
  fdResourcesLocalized, fdCommonOEMLinks, fdComputersNearMe
};
constexpr int kSpecialFolderCount = fdComputersNearMe + 1;

// One special folder: its shell folder id, the lowest shell version that offers it, whether only the
// NT family has it, whether its path may be asked of the SHFolder library instead, and the folder
// standing in where it is not offered.
struct TSpecialFolderInfo {
  uint8_t FolderId;
  uint32_t MinShellVersion;
  bool NTOnly;
  bool SHFolder;
  TFromDirectory Fallback;
};
const TSpecialFolderInfo& SpecialFolderInfo(TFromDirectory folder);

// The item classes a folder lists.
enum TXcBrowsableObjectClass : uint8_t {
  ocFolders, ocNonFolders, ocIncludeHidden, ocInitOnFirstNext, ocNetPrinterSrch, ocSharable, ocStorage
};
using TXcBrowsableObjectClasses = TEnumSet<TXcBrowsableObjectClass>;
// The shell's enumeration flags and back (a member only when all its bits are there).
uint32_t EnumFlagsOf(TXcBrowsableObjectClasses classes);
TXcBrowsableObjectClasses ObjectClassesOf(uint32_t flags);

// The option rules: the set a change to value gives from old (additions bring what they need,
// removals take away what needs them; an edit box and the usage hint exclude each other).
TOptionsDir ChangeOptionsDir(TOptionsDir old, TOptionsDir value);
// The options a shell of that version offers (0x60000: all).
TOptionsDir UsedOptionsDir(TOptionsDir options, uint32_t shellVersion);
// The browser's flags of the options.
uint32_t BrowseFlagsOf(TOptionsDir options);
// The special folder that roots the browser: the folder itself where the shell offers it, else its
// fallbacks; with throughSHFolder true when its path must be asked of the SHFolder library.
TFromDirectory ResolveSpecialFolder(TFromDirectory folder, uint32_t shellVersion, bool nt, bool& throughSHFolder);
// The path of a special folder here: the desktop's folder of the same kind (desktop, documents,
// pictures, music, videos, templates, home, configuration, data, cache); empty for the others,
// which root nothing (the whole file system).
std::string SpecialFolderPath(TFromDirectory folder);
// The text above the tree: Title, and with the new dialog style (which has no status line) also the
// status text on a line of its own.
std::string BrowseTitleLine(const std::string& title, const std::string& statusText, bool newStyle);
// Where the browser's window of client size w x h goes in the work area (or over the owner); none
// for fpDefault. Both bottom places keep the frame's height off the work area's bottom, and centring
// is within the work area.
std::optional<TPoint> FolderBrowserPlace(TXcFolderPos position, const TRect& workArea, const TRect& owner, int w,
                                         int h);

using TXcBrowseAcceptChange = std::function<void(TObject* Sender, const std::string& NewFolder, bool& Accept)>;
using TXcDirChange = std::function<void(TObject* Sender, const std::string& Directory)>;
using TXcGetEnumFlagsEvent =
    std::function<void(TObject* Sender, const std::string& AFolder, TXcBrowsableObjectClasses& Flags)>;
using TXcShouldShowEvent = std::function<void(TObject* Sender, const std::string& Item, bool& DoShow)>;
using TXcValidateFailedEvent = std::function<void(TObject* Sender, const std::string& AEditText, bool& CanCloseDialog)>;

class TXcBrowseForFolderDialog : public TXcCommonDialogF {
 public:
  explicit TXcBrowseForFolderDialog(TComponent* owner);

  // In: the folder to preselect; out: the chosen one.
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& value) { directory_ = value; }
  const std::string& DisplayName() const { return displayName_; }
  TOptionsDir Options() const { return options_; }
  void SetOptions(TOptionsDir value) { options_ = ChangeOptionsDir(options_, value); }
  TXcFolderPos Position() const { return position_; }
  void SetPosition(TXcFolderPos value) { position_ = value; }
  TFromDirectory RootDirectory() const { return rootDirectory_; }
  // Going back to no special folder keeps the folder's path as RootDirectoryPath.
  void SetRootDirectory(TFromDirectory value);
  // The root path, or the special folder's path while one is set.
  std::string RootDirectoryPath() const;
  void SetRootDirectoryPath(const std::string& value);
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }
  const std::string& StatusText() const { return statusText_; }
  void SetStatusText(const std::string& value) { statusText_ = value; }

  // Shows the browser; true when a folder was chosen. A failure in one of the owner's handlers goes
  // to Application's handler, ends the browser and answers false with Directory as it was.
  bool Execute() override;

  TXcBrowseAcceptChange OnAcceptChange;
  TXcDirChange OnChange;
  TXcGetEnumFlagsEvent OnGetEnumFlags;
  TNotifyEvent OnInitialized;
  TXcShouldShowEvent OnShouldShow;
  TXcValidateFailedEvent OnValidateFailed;

 private:
  std::string directory_;
  std::string displayName_;
  TOptionsDir options_ = kDefaultOptionsDir;
  TXcFolderPos position_ = TXcFolderPos::fpScreenCenter;
  TFromDirectory rootDirectory_ = fdNoSpecialFolder;
  std::string rootDirectoryPath_;
  std::string title_;
  std::string statusText_;
};
