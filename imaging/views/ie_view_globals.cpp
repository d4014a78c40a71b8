#include "imaging/views/ie_view_globals.h"

#include <memory>

#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_system_utils.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/window_dc.h"
#include "platform/gdi/graphics.h"
#include "platform/ui/system_metrics.h"

int32_t ScreenBitsPerPixel = 24;
bool IsRemoteSession = false;
int32_t EdgeWidth = 2, EdgeHeight = 2;
int32_t BorderWidth = 1, BorderHeight = 1;
int32_t HScrollBarHeight = 17, VScrollBarWidth = 17;
int32_t GridMinZoom = 400;

namespace {
std::unique_ptr<TPen> g_gridPen;
}  // namespace

TPen* GridPen() { return g_gridPen.get(); }

void InitializeImageViewGlobals() {
  HDC screen = GetDC(nullptr);
  if (screen) {
    ScreenBitsPerPixel = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ScreenDPIX = GetDeviceCaps(screen, LOGPIXELSX);
    ScreenDPIY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  IsRemoteSession = QueryRemoteSession();
  DefaultDPIX = 300;
  DefaultDPIY = 300;
  HasMMX = CPUHasMMX();
  EdgeWidth = GetSystemMetrics(SM_CXEDGE);
  EdgeHeight = GetSystemMetrics(SM_CYEDGE);
  BorderWidth = GetSystemMetrics(SM_CXBORDER);
  BorderHeight = GetSystemMetrics(SM_CYBORDER);
  HScrollBarHeight = GetSystemMetrics(SM_CYHSCROLL);
  VScrollBarWidth = GetSystemMetrics(SM_CXVSCROLL);
  GridMinZoom = 400;
  g_gridPen = std::make_unique<TPen>();
  g_gridPen->SetMode(pmNot);
  g_gridPen->SetStyle(psSolid);
  g_gridPen->SetWidth(1);
}

void FinalizeImageViewGlobals() { g_gridPen.reset(); }
