#include "platform/ui/system_metrics.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/QStyleHints>

#include <unistd.h>

#include <cstdlib>

namespace {

int32_t RemoteSession() {
  const std::string platform =
      QGuiApplication::instance() ? QGuiApplication::platformName().toStdString() : std::string("offscreen");
  const char* display = std::getenv("DISPLAY");
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return IsRemoteDisplay(platform, display ? display : "", host, std::getenv("SSH_CONNECTION") != nullptr) ? 1 : 0;
}

QScreen* Primary() { return QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr; }

}  // namespace

int32_t GetSystemMetrics(int index) {
  QScreen* s = Primary();
  QRect screen = s ? s->geometry() : QRect(0, 0, 1024, 768);
  QRect work = s ? s->availableGeometry() : screen;
  QRect virt = s ? s->virtualGeometry() : screen;
  switch (index) {
    case SM_CXSCREEN: return screen.width();
    case SM_CYSCREEN: return screen.height();
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL: return 17;
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 20;
    case SM_CXFULLSCREEN: return work.width();
    case SM_CYFULLSCREEN: return work.height() - 19;
    case SM_MOUSEPRESENT: case SM_MOUSEWHEELPRESENT: return 1;
    case SM_SWAPBUTTON: return 0;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG: case SM_CYDRAG: {
      int d = QGuiApplication::instance() ? QGuiApplication::styleHints()->startDragDistance() : 4;
      return d > 0 ? d : 4;
    }
    case SM_XVIRTUALSCREEN: return virt.x();
    case SM_YVIRTUALSCREEN: return virt.y();
    case SM_CXVIRTUALSCREEN: return virt.width();
    case SM_CYVIRTUALSCREEN: return virt.height();
    case SM_CMONITORS: return QGuiApplication::instance() ? static_cast<int32_t>(QGuiApplication::screens().size()) : 1;
    case SM_REMOTESESSION: return RemoteSession();
    default: return 0;
  }
}

bool IsRemoteDisplay(const std::string& platformName, const std::string& display, const std::string& hostName,
                     bool overSsh) {
  if (platformName == "vnc") return true;
  if (platformName != "xcb") return false;
  // An X display name is [host]:display[.screen]; a leading "unix" or nothing is the local socket.
  const size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  // A path before the colon names a local socket.
  if (host.empty() || host == "unix" || host.find('/') != std::string::npos) return false;
  // A display on a TCP host name: with SSH the forwarded "localhost:10" is the remote viewer's.
  if (overSsh) return true;
  return host != "localhost" && host != "127.0.0.1" && host != "::1" && host != hostName;
}

uint32_t GetDoubleClickTime() {
  int ms = QGuiApplication::instance() ? QGuiApplication::styleHints()->mouseDoubleClickInterval() : 500;
  return ms > 0 ? static_cast<uint32_t>(ms) : 500u;
}

uint32_t WheelScrollLines() {
  int n = QGuiApplication::instance() ? QGuiApplication::styleHints()->wheelScrollLines() : 3;
  return n > 0 ? static_cast<uint32_t>(n) : 3u;
}
