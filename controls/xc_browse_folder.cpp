#include "controls/xc_browse_folder.h"

#include <array>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_file_utils.h"
#include "controls/xc_text_utils.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/streams.h"
#include "platform/ui/folder_browser.h"
#include "platform/ui/forms.h"
#include "platform/ui/system_metrics.h"

namespace {

constexpr uint32_t kV4 = 0x40000, kV471 = 0x40071, kV472 = 0x40072, kV5 = 0x50000, kV6 = 0x60000;

constexpr std::array<TSpecialFolderInfo, kSpecialFolderCount> kSpecialFolders = {{
    {0x00, 0, false, false, fdNoSpecialFolder},     // fdNoSpecialFolder
    {0x00, 0, false, false, fdNoSpecialFolder},     // fdRootFolder
    {0x0A, 0, false, false, fdNoSpecialFolder},     // fdRecycleBin
    {0x03, 0, false, false, fdNoSpecialFolder},     // fdControlPanel
    {0x00, 0, false, false, fdNoSpecialFolder},     // fdDesktop
    {0x10, 0, false, false, fdNoSpecialFolder},     // fdDesktopDirectory
    {0x11, 0, false, false, fdNoSpecialFolder},     // fdMyComputer
    {0x14, 0, false, false, fdNoSpecialFolder},     // fdFonts
    {0x13, 0, false, false, fdNoSpecialFolder},     // fdNetHood
    {0x12, 0, false, false, fdNoSpecialFolder},     // fdNetwork
    {0x05, 0, false, true, fdNoSpecialFolder},      // fdPersonal
    {0x04, 0, false, false, fdNoSpecialFolder},     // fdPrinters
    {0x02, 0, false, false, fdNoSpecialFolder},     // fdPrograms
    {0x08, 0, false, false, fdNoSpecialFolder},     // fdRecent
    {0x09, 0, false, false, fdNoSpecialFolder},     // fdSendTo
    {0x0B, 0, false, false, fdNoSpecialFolder},     // fdStartMenu
    {0x07, 0, false, false, fdNoSpecialFolder},     // fdStartup
    {0x15, 0, false, false, fdNoSpecialFolder},     // fdTemplates
    {0x1D, 0, false, false, fdNoSpecialFolder},     // fdStartUpNonLocalized
    {0x1E, 0, true, false, fdNoSpecialFolder},      // fdCommonStartUpNonLocalized
    {0x2E, 0, false, true, fdNoSpecialFolder},      // fdCommonDocuments
    {0x1F, 0, true, false, fdNoSpecialFolder},      // fdCommonFavorites
    {0x17, 0, true, false, fdNoSpecialFolder},      // fdCommonPrograms
    {0x18, 0, true, false, fdNoSpecialFolder},      // fdCommonStartUp
    {0x2D, 0, true, false, fdNoSpecialFolder},      // fdCommonTemplates
    {0x21, 0, false, true, fdNoSpecialFolder},      // fdCookies
    {0x06, 0, false, false, fdNoSpecialFolder},     // fdFavorites
    {0x22, 0, false, true, fdNoSpecialFolder},      // fdHistory
    {0x01, 0, false, false, fdNoSpecialFolder},     // fdInternet
    {0x0D, 0, false, false, fdNoSpecialFolder},     // fdMyMusic
    {0x1B, 0, false, false, fdNoSpecialFolder},     // fdPrinthood
    {0x31, 0, false, false, fdNoSpecialFolder},     // fdConnections
    {0x1A, kV471, false, true, fdNoSpecialFolder},  // fdAppData
    {0x20, kV472, false, true, fdNoSpecialFolder},  // fdInternetCache
    {0x30, kV5, false, true, fdNoSpecialFolder},    // fdAdminTools
    {0x2F, kV5, false, true, fdNoSpecialFolder},    // fdCommonAdminTools
    {0x23, kV5, false, true, fdNoSpecialFolder},    // fdCommonAppData
    {0x1C, kV5, false, true, fdNoSpecialFolder},    // fdLocalAppData
    {0x27, kV5, false, true, fdPersonal},           // fdMyPictures
    {0x28, kV5, false, false, fdNoSpecialFolder},   // fdProfile
    {0x26, kV5, false, true, fdNoSpecialFolder},    // fdProgramFiles
    {0x2B, kV5, true, true, fdNoSpecialFolder},     // fdProgramFilesCommon
    {0x25, kV5, false, true, fdNoSpecialFolder},    // fdSystem
    {0x24, kV5, false, true, fdNoSpecialFolder},    // fdWindows
    {0x3B, kV6, false, false, fdNoSpecialFolder},   // fdCDBurnArea
    {0x35, kV6, false, false, fdCommonDocuments},   // fdCommonMusic
    {0x36, kV6, false, false, fdCommonDocuments},   // fdCommonPictures
    {0x37, kV6, false, false, fdCommonDocuments},   // fdCommonVideo
    {0x0C, kV6, false, false, fdPersonal},          // fdMyDocuments
    {0x0E, kV6, false, false, fdPersonal},          // fdMyVideo
    {0x3E, kV6, false, false, fdNoSpecialFolder},   // fdProfiles
    {0x38, kV6, false, false, fdNoSpecialFolder},   // fdResources
    {0x39, kV6, false, false, fdNoSpecialFolder},   // fdResourcesLocalized
    {0x3A, kV6, false, false, fdNoSpecialFolder},   // fdCommonOEMLinks
    {0x3D, kV6, false, false, fdNoSpecialFolder},   // fdComputersNearMe
}};

constexpr uint32_t kBrowseFlags[] = {0x1000, 0,    0x2000, 0x2,    0x8,   0x1,   0x4,  0x4000,
                                     0x80,   0x10, 0x40,   0x8000, 0x100, 0x200, 0x20};
constexpr uint32_t kEnumFlags[] = {0x20, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800};

// The width the status line's path is shortened to.
constexpr int kStatusWidth = 320;

bool Offered(TFromDirectory f, uint32_t version, bool nt) {
  const TSpecialFolderInfo& i = kSpecialFolders[f];
  return version >= i.MinShellVersion && (!i.NTOnly || nt);
}

// The display name of a chosen item: its last name (the root is itself).
std::string DisplayNameOf(const std::string& path) {
  std::string name = ExtractFileName(path);
  return name.empty() ? path : name;
}

}  // namespace

const TSpecialFolderInfo& SpecialFolderInfo(TFromDirectory folder) {
  return kSpecialFolders[std::min<size_t>(folder, kSpecialFolders.size() - 1)];
}

uint32_t EnumFlagsOf(TXcBrowsableObjectClasses classes) {
  uint32_t flags = 0;
  for (int i = 0; i <= ocStorage; ++i)
    if (classes.Contains(static_cast<TXcBrowsableObjectClass>(i))) flags |= kEnumFlags[i];
  return flags;
}

TXcBrowsableObjectClasses ObjectClassesOf(uint32_t flags) {
  TXcBrowsableObjectClasses classes;
  for (int i = 0; i <= ocStorage; ++i)
    if ((flags & kEnumFlags[i]) == kEnumFlags[i]) classes.Include(static_cast<TXcBrowsableObjectClass>(i));
  return classes;
}

TOptionsDir ChangeOptionsDir(TOptionsDir old, TOptionsDir value) {
  const TOptionsDir added = value - old, removed = old - value;
  TOptionsDir v = value;
  if (added.Contains(odIncludeUrls)) v = v + TOptionsDir{odIncludeFiles, odEditBox, odNewDialogStyle};
  if (added.Contains(odShareable)) v.Include(odNewDialogStyle);
  if (added.Contains(odUsageHint)) v.Exclude(odEditBox).Include(odNewDialogStyle);
  if (added.Contains(odValidate)) v.Include(odEditBox);
  if (added.Contains(odEditBox)) v.Exclude(odUsageHint);
  if (removed.Contains(odEditBox)) v = v - TOptionsDir{odIncludeUrls, odValidate};
  if (removed.Contains(odNewDialogStyle)) v = v - TOptionsDir{odIncludeUrls, odShareable, odUsageHint};
  if (removed.Contains(odIncludeFiles)) v.Exclude(odIncludeUrls);
  if (v.Contains(odEditBox)) v.Exclude(odUsageHint);
  else v = v - TOptionsDir{odIncludeUrls, odValidate};
  if (v.Contains(odUsageHint)) v = v - TOptionsDir{odEditBox, odValidate};
  return v;
}

TOptionsDir UsedOptionsDir(TOptionsDir options, uint32_t shellVersion) {
  if (shellVersion < kV6) options = options - TOptionsDir{odUsageHint, odNoNewButtonFolder};
  if (shellVersion < kV5) options = options - TOptionsDir{odIncludeUrls, odNewDialogStyle, odShareable};
  if (shellVersion < kV471) options = options - TOptionsDir{odIncludeFiles, odEditBox, odValidate};
  return options;
}

uint32_t BrowseFlagsOf(TOptionsDir options) {
  uint32_t flags = 0;
  for (int i = 0; i <= odValidate; ++i)
    if (options.Contains(static_cast<TOptionDir>(i))) flags |= kBrowseFlags[i];
  return flags;
}

TFromDirectory ResolveSpecialFolder(TFromDirectory f, uint32_t shellVersion, bool nt, bool& throughSHFolder) {
  if (f >= kSpecialFolderCount) f = fdNoSpecialFolder;
  // At most one step per table entry: fallbacks never run in a circle, but a bound costs nothing.
  for (int steps = 0; steps < kSpecialFolderCount && f != fdNoSpecialFolder && !kSpecialFolders[f].SHFolder &&
                      !Offered(f, shellVersion, nt);
       ++steps)
    f = kSpecialFolders[f].Fallback;
  throughSHFolder = f != fdNoSpecialFolder && !Offered(f, shellVersion, nt);
  return f;
}

std::string SpecialFolderPath(TFromDirectory folder) {
  switch (SpecialFolderInfo(folder).FolderId) {
    case 0x10: return StandardFolderPath(sfDesktop);
    case 0x05:
    case 0x0C: return StandardFolderPath(sfDocuments);
    case 0x27: return StandardFolderPath(sfPictures);
    case 0x0D: return StandardFolderPath(sfMusic);
    case 0x0E: return StandardFolderPath(sfVideos);
    case 0x15: return StandardFolderPath(sfTemplates);
    case 0x28: return StandardFolderPath(sfHome);
    case 0x1A: return StandardFolderPath(sfConfig);
    case 0x1C: return StandardFolderPath(sfData);
    case 0x20: return StandardFolderPath(sfCache);
    default: return std::string();
  }
}

std::string BrowseTitleLine(const std::string& title, const std::string& statusText, bool newStyle) {
  if (!newStyle || statusText.empty()) return title;
  return title.empty() ? statusText : title + "\r" + statusText;
}

std::optional<TPoint> FolderBrowserPlace(TXcFolderPos position, const TRect& a, const TRect& owner, int w, int h) {
  const int frameX = GetSystemMetrics(SM_CXDLGFRAME), frameY = GetSystemMetrics(SM_CYDLGFRAME);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  switch (position) {
    case TXcFolderPos::fpScreenCenter: return Point(a.Left + (a.Width() - w) / 2, a.Top + (a.Height() - h) / 2);
    case TXcFolderPos::fpFormCenter: return Point(owner.Left + (owner.Width() - w) / 2, owner.Top + (owner.Height() - h) / 2);
    case TXcFolderPos::fpTopLeft: return Point(a.Left, a.Top);
    case TXcFolderPos::fpTopRight: return Point(a.Right - w - frameX, a.Top);
    case TXcFolderPos::fpBottomLeft: return Point(a.Left, a.Bottom - h - caption - frameY);
    case TXcFolderPos::fpBottomRight: return Point(a.Right - w - frameX, a.Bottom - h - caption - frameY);
    default: return std::nullopt;
  }
}

// ---------------------------------------------------------------------------- TXcBrowseForFolderDialog

TXcBrowseForFolderDialog::TXcBrowseForFolderDialog(TComponent* owner) : TXcCommonDialogF(owner) {}

void TXcBrowseForFolderDialog::SetRootDirectory(TFromDirectory value) {
  if (value == rootDirectory_) return;
  if (value == fdNoSpecialFolder) rootDirectoryPath_ = RootDirectoryPath();
  rootDirectory_ = value;
}

std::string TXcBrowseForFolderDialog::RootDirectoryPath() const {
  if (rootDirectory_ == fdNoSpecialFolder) return rootDirectoryPath_;
  bool throughSHFolder = false;
  return SpecialFolderPath(ResolveSpecialFolder(rootDirectory_, ShellVersion(), true, throughSHFolder));
}

void TXcBrowseForFolderDialog::SetRootDirectoryPath(const std::string& value) {
  rootDirectoryPath_ = value;
  rootDirectory_ = fdNoSpecialFolder;
}

bool TXcBrowseForFolderDialog::Execute() {
  if (ShellVersion() < kV4) throw EXCLException("Shell not compatible with BrowseForFolder");
  const TOptionsDir used = UsedOptionsDir(options_, ShellVersion());
  const bool newStyle = used.Contains(odNewDialogStyle);
  const bool statusLine = used.Contains(odStatusAvailable) && !newStyle;
  TFolderBrowser browser;
  browser.Root = RootDirectoryPath();
  browser.Directory = directory_;
  browser.Title = BrowseTitleLine(title_, statusText_, newStyle);
  browser.StatusLine = statusLine;
  browser.StatusText = statusText_;
  browser.EditBox = used.Contains(odEditBox);
  browser.Validate = used.Contains(odValidate);
  browser.IncludeFiles = used.Contains(odIncludeFiles);
  browser.NewFolderButton = newStyle && !used.Contains(odNoNewButtonFolder);
  browser.HelpContext = HelpContext();

  // The owner's handlers run inside the browser: a failure goes to Application's handler and ends
  // the browser, which then answers false.
  bool failed = false;
  auto guarded = [&](const std::function<void()>& f) {
    if (failed) return;
    try {
      f();
    } catch (const Exception& e) {
      failed = true;
      browser.Cancel();
      Application->HandleException(e);
    } catch (const std::exception& e) {
      failed = true;
      browser.Cancel();
      Application->HandleException(Exception(e.what()));
    }
  };
  if (position_ != TXcFolderPos::fpDefault) {
    browser.Place = [this](int w, int h) {
      TCustomForm* form = nullptr;
      if (auto* c = dynamic_cast<TControl*>(Owner())) form = GetParentForm(c);
      if (!form) form = Screen->ActiveForm();
      TRect owner = form ? form->BoundsRect() : Screen->WorkAreaRect();
      std::optional<TPoint> p = FolderBrowserPlace(position_, Screen->WorkAreaRect(), owner, w, h);
      return p ? *p : Point(0, 0);
    };
  }
  auto showStatus = [&](const std::string& path) {
    if (!statusLine) return;
    if (!statusText_.empty()) {
      browser.SetStatusText(statusText_);
      return;
    }
    TBitmap measure(1, 1);
    browser.SetStatusText(ShortenPathToWidth(path, measure.Canvas(), kStatusWidth));
  };
  browser.OnInitialized = [&] {
    guarded([&] {
      if (directory_.empty()) showStatus(browser.Selection());
      if (OnInitialized) OnInitialized(this);
    });
  };
  browser.OnSelChanged = [&](const std::string& path) {
    guarded([&] {
      bool accept = true;
      if (OnAcceptChange) OnAcceptChange(this, path, accept);
      browser.EnableOK(accept);
      showStatus(path);
      if (OnChange) OnChange(this, path);
    });
  };
  if (OnShouldShow || OnGetEnumFlags) {
    browser.OnShouldShow = [&](const std::string& item) {
      bool show = true;
      guarded([&] {
        if (OnGetEnumFlags) {
          // The item's folder says which classes of items it lists.
          TXcBrowsableObjectClasses classes{ocFolders};
          if (used.Contains(odIncludeFiles)) classes.Include(ocNonFolders);
          std::string folder = ExtractFilePath(item);
          if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
          OnGetEnumFlags(this, folder, classes);
          classes = ObjectClassesOf(EnumFlagsOf(classes));
          const bool isFolder = DirectoryExists(item);
          const bool hidden = !ExtractFileName(item).empty() && ExtractFileName(item)[0] == '.';
          if (isFolder ? !classes.Contains(ocFolders) : !classes.Contains(ocNonFolders)) show = false;
          if (hidden && !classes.Contains(ocIncludeHidden)) show = false;
        }
        if (show && OnShouldShow) OnShouldShow(this, item, show);
      });
      return show && !failed;
    };
  }
  browser.OnValidateFailed = [&](const std::string& text) {
    bool close = true;
    guarded([&] {
      if (OnValidateFailed) OnValidateFailed(this, text, close);
    });
    return close || failed;
  };

  std::string chosen;
  bool ok = browser.Execute(chosen);
  if (!ok || failed) return false;
  directory_ = chosen;
  displayName_ = DisplayNameOf(chosen);
  return true;
}
