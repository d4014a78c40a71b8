#include "platform/ui/shell.h"

#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/system/streams.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/string_list.h"

struct HDROP__ {
  std::vector<std::string> files;
  TPoint point;
};

namespace {

std::mutex g_hookMutex;
TShellOpenHook g_hook;
std::set<HDROP> g_drops;  // live drop handles (UI thread)

HDROP__* LiveDrop(HDROP drop) { return g_drops.count(drop) ? drop : nullptr; }

}  // namespace

TShellOpenHook SetShellOpenHook(TShellOpenHook hook) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  std::swap(hook, g_hook);
  return hook;
}

intptr_t ShellExecute(HWND, const char* verb, const char* file, const char*, const char* directory, int) {
  std::string v = verb ? verb : "open";
  if (!SameText(v, "open") || !file || !*file) return SE_ERR_NOASSOC;
  std::string target = file;
  QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(target), QUrl::TolerantMode);
  // A plain name is a file (relative to directory); anything with a scheme is an address.
  bool local = url.scheme().size() <= 1;
  if (local) {
    if (target[0] != '/' && directory && *directory) target = IncludeTrailingPathDelimiter(directory) + target;
    if (!FileExists(target) && !DirectoryExists(target)) return SE_ERR_FNF;
    url = QUrl::fromLocalFile(QString::fromStdString(ExpandFileName(target)));
  }
  TShellOpenHook hook;
  {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    hook = g_hook;
  }
  // An address goes on exactly as written (its escapes stay escapes).
  std::string address = local ? url.toString().toStdString() : target;
  bool opened = hook ? hook(address, v) : QDesktopServices::openUrl(url);
  return opened ? 42 : SE_ERR_NOASSOC;
}

void DragAcceptFiles(HWND window, bool accept) {
  if (WindowRecord* rec = FindWindowRecord(window)) rec->widget->setAcceptDrops(accept);
}

UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT size) {
  HDROP__* d = LiveDrop(drop);
  if (!d) return 0;
  if (index == 0xFFFFFFFFu) return static_cast<UINT>(d->files.size());
  if (index >= d->files.size()) return 0;
  const std::string& name = d->files[index];
  if (!buffer) return static_cast<UINT>(name.size());
  if (size == 0) return 0;
  size_t n = std::min<size_t>(name.size(), size - 1);
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
  return static_cast<UINT>(n);
}

bool DragQueryPoint(HDROP drop, TPoint* point) {
  HDROP__* d = LiveDrop(drop);
  if (!d || !point) return false;
  *point = d->point;
  return true;
}

void DragFinish(HDROP drop) {
  if (!LiveDrop(drop)) return;
  g_drops.erase(drop);
  delete drop;
}

std::vector<std::string> DroppedFiles(HDROP drop) {
  HDROP__* d = LiveDrop(drop);
  return d ? d->files : std::vector<std::string>();
}

// The bridge's half: a drop of local files on a window that accepts them becomes WM_DROPFILES.
HDROP MakeDrop(const std::vector<std::string>& files, TPoint point) {
  auto* d = new HDROP__{files, point};
  g_drops.insert(d);
  return d;
}
