#include "imaging/core/ie_system_utils.h"

#include "platform/system/processors.h"
#include "platform/system/ticks.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/controls.h"
#include "platform/ui/scroll_bars.h"
#include "platform/ui/string_list.h"
#include "platform/ui/system_metrics.h"

HWND GetOwnerWindowHandle(TComponent* Component) {
  for (TComponent* c = Component; c; c = c->Owner())
    if (auto* w = dynamic_cast<TWinControl*>(c)) return w->HandleAllocated() ? w->Handle() : nullptr;
  return nullptr;
}

int32_t GetWindowsVersionKind() { return 9; }

bool CPUHasMMX() { return CPUHasFeature(cfMMX); }

bool QueryRemoteSession() { return GetSystemMetrics(SM_REMOTESESSION) != 0; }

bool IsPrimaryMouseButtonDown() {
  const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
  return swapped ? GetAsyncKeyState(VK_RBUTTON) < 0 : GetAsyncKeyState(VK_LBUTTON) < 0;
}

bool OpenClipboardRetry() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(nullptr)) return true;
    if (attempt < 9) Sleep(20);
  }
  return false;
}

std::unique_ptr<TStringList> ClipboardFormatNames() {
  auto list = std::make_unique<TStringList>();
  // Bounded by the number of formats on the clipboard, in case enumeration ever repeats one.
  const int count = CountClipboardFormats();
  UINT format = 0;
  for (int i = 0; i <= count && (format = EnumClipboardFormats(format)) != 0; ++i) {
    char name[512];
    const int length = GetClipboardFormatName(format, name, sizeof name);
    if (length > 0)
      list->AddObject(std::string(name, static_cast<size_t>(length)),
                      reinterpret_cast<TObject*>(static_cast<uintptr_t>(format)));
  }
  return list;
}

UINT ClipboardFormatByName(const std::string& Name) {
  const std::unique_ptr<TStringList> names = ClipboardFormatNames();
  const int i = names->IndexOf(Name);
  return i < 0 ? 0 : static_cast<UINT>(reinterpret_cast<uintptr_t>(names->Objects(i)));
}

void SetScrollInfoEx(HWND Window, int32_t Bar, const SCROLLINFO& Info, bool Redraw, bool Flat) {
  if (Flat)
    FlatSB_SetScrollInfo(Window, Bar, &Info, Redraw);
  else
    SetScrollInfo(Window, Bar, &Info, Redraw);
}

void SetScrollBarInfo(HWND Window, int32_t Bar, int32_t Min, int32_t Max, int32_t Page, int32_t Pos, bool Redraw,
                      bool Flat) {
  SCROLLINFO info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = Min;
  info.nMax = Max;
  info.nPage = static_cast<UINT>(Page);
  info.nPos = Pos;
  SetScrollInfoEx(Window, Bar, info, Redraw, Flat);
}

int32_t SetScrollBarRange(HWND Window, int32_t Bar, int32_t Min, int32_t Max, bool Redraw, bool Flat) {
  SCROLLINFO info;
  info.fMask = SIF_RANGE;
  info.nMin = Min;
  info.nMax = Max;
  SetScrollInfoEx(Window, Bar, info, Redraw, Flat);
  return -1;
}

void SetScrollBarPos(HWND Window, int32_t Bar, int32_t Pos, bool Redraw, bool Flat) {
  SCROLLINFO info;
  info.fMask = SIF_POS;
  info.nPos = Pos;
  SetScrollInfoEx(Window, Bar, info, Redraw, Flat);
}

void EnableScrollBarArrows(HWND Window, int32_t Bar, UINT Arrows, bool Flat) {
  if (Flat)
    FlatSB_EnableScrollBar(Window, Bar, Arrows);
  else
    EnableScrollBar(Window, Bar, Arrows);
}

void ShowScrollBarEx(HWND Window, int32_t Bar, bool Show, bool Flat) {
  if (Flat)
    FlatSB_ShowScrollBar(Window, Bar, Show);
  else
    ShowScrollBar(Window, Bar, Show);
}
