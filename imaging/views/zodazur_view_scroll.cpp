// TZodazUrView: the scroll bars (always ranged 0..65535, the origin carried through a ratio) and
// the mouse wheel (scrolling or zooming by one step per notch).
#include <algorithm>
#include <cmath>

#include "imaging/core/ie_int_math.h"
#include "imaging/views/zodazur_view.h"
#include "platform/ui/scroll_bars.h"

namespace {


int32_t RoundToInt(double v) {
  if (!(v == v)) return 0;
  return static_cast<int32_t>(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

}  // namespace

void TZodazUrView::SetOneScrollBar(int Bar, int32_t Max, int32_t ViewSize, int32_t Origin, double& Ratio,
                                   bool& Shown) {
  const HWND h = Handle();
  if (Max < 1) {
    Shown = false;
    if (keepScrollBars_) {
      // Nothing to scroll: the bar stays, both arrows disabled.
      SCROLLINFO si;
      si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
      si.nMin = 0;
      si.nMax = 0;
      si.nPage = 1;
      si.nPos = 0;
      SetScrollInfo(h, Bar, &si, true);
      ShowScrollBar(h, Bar, true);
      EnableScrollBar(h, Bar, ESB_DISABLE_BOTH);
    } else {
      ShowScrollBar(h, Bar, false);
    }
    return;
  }
  Shown = true;
  Ratio = (static_cast<double>(ViewSize) + Max) / 65536;
  ShowScaledScrollBar(Bar, ViewSize, Origin, Ratio);
}

void TZodazUrView::SetScrollBarsRanges() {
  if (!HandleAllocated()) return;
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  const int32_t vw = GetViewWidth(), vh = GetViewHeight();
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
    SetOneScrollBar(SB_HORZ, mx, vw, geo_.ViewX, hScrollRatio_, hScrollShown_);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
    SetOneScrollBar(SB_VERT, my, vh, geo_.ViewY, vScrollRatio_, vScrollShown_);
}

void TZodazUrView::SetScrollBars(TScrollStyle Value) {
  scrollBars_ = Value;
  if (HandleAllocated()) {
    if (Value != ssVertical && Value != ssBoth) {
      ShowScrollBar(Handle(), SB_VERT, false);
      vScrollShown_ = false;
    }
    if (Value != ssHorizontal && Value != ssBoth) {
      ShowScrollBar(Handle(), SB_HORZ, false);
      hScrollShown_ = false;
    }
  }
  updateReason_ = 4;
  Update();
}

void TZodazUrView::SetFlatScrollBars(bool Value) {
  if (SwitchFlatScrollBars(flatScrollBars_, Value)) hScrollShown_ = vScrollShown_ = false;
}

void TZodazUrView::WMScroll(TMessage& Message, bool Horizontal) {
  DefaultHandler(Message);
  const int code = LOWORD(Message.WParam);
  const int pos = HIWORD(Message.WParam);
  const TIEScrollBarParams& params = Horizontal ? hScrollParams_ : vScrollParams_;
  if (code == SB_THUMBTRACK && !params.Tracking) return;
  const double ratio = Horizontal ? hScrollRatio_ : vScrollRatio_;
  const int32_t origin = Horizontal ? geo_.ViewX : geo_.ViewY;
  const int32_t viewSize = Horizontal ? GetViewWidth() : GetViewHeight();
  const int32_t u = std::max(SaturateToInt(Horizontal ? geo_.ZoomXFactor : geo_.ZoomYFactor), 1);
  const int32_t line = params.LineStep == -1 ? u : params.LineStep * u;
  const int32_t page = params.PageStep == -1 ? viewSize : params.PageStep * u;
  int32_t mx = 0, my = 0;
  if (code == SB_BOTTOM) GetMaxViewXY(mx, my);
  const int32_t target = ScrollTarget(code, origin, line, page, RoundToInt(pos * ratio), Horizontal ? mx : my);
  if (Horizontal) SetViewX(target);
  else SetViewY(target);
}

void TZodazUrView::WMMouseWheelView(TMessage& Message) {
  const int delta = static_cast<int16_t>(HIWORD(Message.WParam));
  const TPoint screen = Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
  // The control's own wheel event first; the view's action follows in any case and the wheel goes
  // no further up.
  TIEView::DoMouseWheel(MouseKeysToShiftState(LOWORD(Message.WParam)), delta, screen);
  const TPoint p = ScreenToClient(screen);
  const bool ctrl = (LOWORD(Message.WParam) & MK_CONTROL) != 0;
  DoMouseWheel(delta, p.X, p.Y, ctrl);
  Message.Result = 1;
}

void TZodazUrView::DoMouseWheel(int32_t Delta, int32_t X, int32_t Y, bool Ctrl) {
  if (wheelParams_.Action == iemwNone || autoFit_) return;
  int32_t s = Delta > 0 ? -1 : 1;
  if (wheelParams_.InvertDirection) s = -s;
  if (wheelParams_.Action == iemwVScroll) {
    int32_t mx, my;
    GetMaxViewXY(mx, my);
    const bool horizontal = Ctrl || (mx > 0 && my == 0);
    const int32_t viewSize = horizontal ? GetViewWidth() : GetViewHeight();
    const double factor = horizontal ? geo_.ZoomXFactor : geo_.ZoomYFactor;
    int32_t step;
    if (wheelParams_.Variation == iemwPercentage)
      step = std::max(RoundToInt(static_cast<double>(viewSize) * wheelParams_.Value / 100), 1);
    else if (wheelParams_.Variation == iemwAbsolute)
      step = wheelParams_.Value * std::max(SaturateToInt(factor), 1);
    else
      return;
    if (horizontal) SetViewX(geo_.ViewX + s * step);
    else SetViewY(geo_.ViewY + s * step);
    return;
  }
  if (wheelParams_.Action != iemwZoom) return;
  double zoom;
  if (wheelParams_.Variation == iemwAbsolute)
    zoom = geo_.ZoomX + s * wheelParams_.Value;
  else
    zoom = geo_.ZoomX + s * std::max(RoundToInt(wheelParams_.Value * geo_.ZoomX / 100), 1);
  if (zoom > geo_.ZoomX) DoZoomIn(zoom);
  else if (zoom < geo_.ZoomX) DoZoomOut(zoom);
  if (wheelParams_.ZoomAtCursor) ZoomAt(X, Y, zoom, false);
  else SetZoom(zoom);
}
