#include "controls/xc_xcl_utils.h"

#include "platform/system/threads.h"
#include "platform/ui/image_list.h"
#include "platform/ui/std_ctrls.h"

bool IsThreadWindowActive() { return IsMainThread() && Screen->ActiveForm() != nullptr; }

std::optional<TMonitorInfo> MonitorFromHandle(int32_t monitor) {
  for (int i = 0; i < Screen->MonitorCount(); ++i) {
    TMonitorInfo m = Screen->Monitors(i);
    if (m.MonitorNum == monitor) return m;
  }
  return std::nullopt;
}

TRect MonitorWorkArea(int32_t monitor) {
  std::optional<TMonitorInfo> m = MonitorFromHandle(monitor);
  return m ? m->WorkareaRect : TRect{};
}

void SyncHotTrackFont(TFont* hotTrackFont, TFont* controlFont, TXcTrackFontOptions options) {
  if (!hotTrackFont || !controlFont || !options.Contains(hoFollowFont)) return;
  if (!options.Contains(hoPreserveCharSet)) hotTrackFont->SetCharset(controlFont->Charset());
  if (!options.Contains(hoPreserveColor)) hotTrackFont->SetColor(controlFont->Color());
  if (!options.Contains(hoPreserveHeight)) hotTrackFont->SetHeight(controlFont->Height());
  if (!options.Contains(hoPreserveName)) hotTrackFont->SetName(controlFont->Name());
  if (!options.Contains(hoPreservePitch)) hotTrackFont->SetPitch(controlFont->Pitch());
  if (!options.Contains(hoPreserveStyle)) hotTrackFont->SetStyle(controlFont->Style());
}

TSize CheckGlyphSize() { return CheckBoxGlyphSize(); }

TComponent* RootOwner(TComponent* component) {
  if (!component) return nullptr;
  while (component->Owner()) component = component->Owner();
  return component;
}

bool ReplaceComponentRef(TComponent* holder, TComponent* value, TComponent*& slot) {
  if (!holder || value == slot) return false;
  if (slot) slot->RemoveFreeNotification(holder);
  slot = value;
  if (value) value->FreeNotification(holder);
  return true;
}

bool ReplaceImageListRef(TComponent* holder, TCustomImageList* value, TCustomImageList*& slot, TChangeLink* link) {
  TCustomImageList* old = slot;
  if (!ReplaceComponentRef(holder, value, slot)) return false;
  if (link) {
    if (old) old->UnRegisterChanges(link);
    if (value) value->RegisterChanges(link);
  }
  return true;
}

void RegisterDragCursors() {
  struct Copy {
    int id;
    TCursor from;
  };
  constexpr Copy kCopies[] = {{368, crMultiDrag}, {369, crDrag}, {370, crMultiDrag}, {371, crMultiDrag}};
  for (const Copy& c : kCopies) {
    try {
      if (HCURSOR copy = CopyCursor(Screen->Cursors(c.from))) Screen->SetCursors(c.id, copy);
    } catch (const Exception&) {
      // A cursor that cannot be had is left out: the id shows the default cursor.
    }
  }
}

void UnregisterDragCursors() {
  for (int id = kXcDragCursorFirst; id <= kXcDragCursorLast; ++id) Screen->SetCursors(id, nullptr);
}
