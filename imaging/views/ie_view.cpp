#include "imaging/views/ie_view.h"

#include <algorithm>

#include "imaging/core/ie_int_math.h"
#include "platform/system/exception.h"
#include "platform/ui/messages.h"
#include "platform/ui/scroll_bars.h"
#include "platform/ui/window_dc.h"

TIEView::TIEView(TComponent* Owner) : TCustomControl(Owner) {
  // Every system we run on draws new-style controls, so the view is never csFramed.
  SetControlStyle(ControlStyle() | csAcceptsControls | csOpaque | csReplicatable | csNeedsBorderPaint);
  OnMouseEnter = nullptr;
  OnMouseLeave = nullptr;
  SetCtl3D(true);
}

TIEView::~TIEView() {
  // Rounds repeat until nobody is left: a registration made during the destroying round hears in
  // the next one, so each registrant learns exactly once.
  while (!callbacks_.empty()) {
    std::vector<uintptr_t> round;
    round.reserve(callbacks_.size());
    for (const CallbackRecord& r : callbacks_) round.push_back(r.id);
    for (uintptr_t id : round) {
      auto it = std::find_if(callbacks_.begin(), callbacks_.end(), [id](const CallbackRecord& r) { return r.id == id; });
      if (it == callbacks_.end()) continue;  // removed by an earlier callback of this round
      std::shared_ptr<TIEBitmapChangeEvent> callback = std::move(it->callback);
      callbacks_.erase(it);
      if (callback && *callback) (*callback)(this, true);
    }
  }
}

TIEBitmapChangeHandle TIEView::AddBitmapChangeEvent(TIEBitmapChangeEvent Callback) {
  uintptr_t id = nextHandle_++;
  callbacks_.push_back(CallbackRecord{id, std::make_shared<TIEBitmapChangeEvent>(std::move(Callback))});
  return reinterpret_cast<TIEBitmapChangeHandle>(id);
}

void TIEView::RemoveBitmapChangeEvent(TIEBitmapChangeHandle Handle) {
  if (!Handle) return;
  uintptr_t id = reinterpret_cast<uintptr_t>(Handle);
  auto it = std::find_if(callbacks_.begin(), callbacks_.end(), [id](const CallbackRecord& r) { return r.id == id; });
  if (it != callbacks_.end()) callbacks_.erase(it);
}

std::shared_ptr<TIEBitmapChangeEvent> TIEView::FindCallback(uintptr_t id) const {
  auto it = std::find_if(callbacks_.begin(), callbacks_.end(), [id](const CallbackRecord& r) { return r.id == id; });
  return it == callbacks_.end() ? nullptr : it->callback;
}

void TIEView::CallBitmapChangeEvents() {
  std::vector<uintptr_t> round;
  round.reserve(callbacks_.size());
  for (const CallbackRecord& r : callbacks_) round.push_back(r.id);
  for (uintptr_t id : round) {
    // The shared pointer keeps the callback alive while it runs, even if it removes itself.
    std::shared_ptr<TIEBitmapChangeEvent> callback = FindCallback(id);
    if (callback && *callback) (*callback)(this, false);
  }
}

TIEBitmap* TIEView::GetAlphaChannel() { AbstractError(); }
bool TIEView::HasAlphaChannel() { AbstractError(); }
void TIEView::RemoveAlphaChannel() { AbstractError(); }
void TIEView::LockPaint() { AbstractError(); }
int32_t TIEView::UnlockPaint() { AbstractError(); }
int32_t TIEView::UnlockPaintNoUpdate() { AbstractError(); }

void TIEView::SetDpiX(int32_t Value) {
  if (Value != 0) dpiX_ = Value;
}

void TIEView::SetDpiY(int32_t Value) {
  if (Value != 0) dpiY_ = Value;
}

void TIEView::SetDpi(int32_t X, int32_t Y) {
  SetDpiX(X);
  SetDpiY(Y);
}

TCanvas* TIEView::GetCanvas() { return Canvas(); }

void TIEView::SetBorderStyle(TBorderStyle Value) {
  if (Value == borderStyle_) return;
  borderStyle_ = Value;
  RecreateWnd();
}

void TIEView::SetCtl3D(bool Value) {
  if (Value == Ctl3D()) return;
  TCustomControl::SetCtl3D(Value);
  RecreateWnd();
}

void TIEView::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (borderStyle_ == bsSingle) {
    if (Ctl3D()) Params.ExStyle |= WS_EX_CLIENTEDGE;
    else Params.Style |= WS_BORDER;
  }
  Params.WindowClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TIEView::ShowScaledScrollBar(int Bar, int32_t ViewSize, int32_t Origin, double Scale) {
  const HWND h = Handle();
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 65535;
  si.nPage = static_cast<UINT>(std::max(0, SaturateToInt(ViewSize / Scale)));
  si.nPos = SaturateToInt(Origin / Scale);
  SetScrollInfo(h, Bar, &si, true);
  EnableScrollBar(h, Bar, ESB_ENABLE_BOTH);
  ShowScrollBar(h, Bar, true);
}

int32_t TIEView::ScrollTarget(int Code, int32_t Origin, int32_t Line, int32_t Page, int32_t Thumb, int32_t Max) {
  switch (Code) {
    case SB_LINEUP: return Origin - Line;
    case SB_LINEDOWN: return Origin + Line;
    case SB_PAGEUP: return Origin - Page;
    case SB_PAGEDOWN: return Origin + Page;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: return Thumb;
    case SB_TOP: return 0;
    case SB_BOTTOM: return Max;
    default: return Origin;
  }
}

bool TIEView::SwitchFlatScrollBars(bool& Current, bool Value) {
  if (Value == Current) return false;
  Current = Value;
  if (!HandleAllocated()) return false;
  if (!Value) {
    UninitializeFlatSB(Handle());
    return false;
  }
  SetScrollRange(Handle(), SB_HORZ, 0, 65535, false);
  SetScrollRange(Handle(), SB_VERT, 0, 65535, false);
  InitializeFlatSB(Handle());
  ShowScrollBar(Handle(), SB_BOTH, false);
  return true;
}
