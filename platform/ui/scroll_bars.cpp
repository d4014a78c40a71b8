#include "platform/ui/scroll_bars.h"

#include <QtWidgets/QScrollBar>

#include <algorithm>

#include "platform/ui/qt_window_p.h"
#include "platform/ui/system_metrics.h"

namespace {

// The largest position the range allows: nMax - (nPage - 1), never below nMin.
int MaxPos(const SCROLLINFO& si) {
  int room = si.nPage > 0 ? static_cast<int>(si.nPage) - 1 : 0;
  return std::max(si.nMin, si.nMax - room);
}

// A range the bar can scroll in: more positions than one page shows.
bool Scrollable(const SCROLLINFO& si) {
  int64_t span = static_cast<int64_t>(si.nMax) - si.nMin + 1;
  return span > 0 && (si.nPage == 0 ? span > 1 : span > static_cast<int64_t>(si.nPage));
}

WindowScrollBar* BarOf(WindowRecord* rec, int bar) {
  if (bar == SB_HORZ) return &rec->scroll[0];
  if (bar == SB_VERT) return &rec->scroll[1];
  if (bar == SB_CTL) return &rec->scroll[0];  // a scroll bar control keeps its range in the first slot
  return nullptr;
}

QScrollBar* ControlBar(WindowRecord* rec) { return qobject_cast<QScrollBar*>(rec->widget); }

// Sends the scroll message of a user action; the bar then shows the position the window keeps.
void SendScroll(WindowRecord* rec, int bar, WORD code, int pos) {
  TMessage m;
  if (bar == SB_CTL) m.Msg = ControlBar(rec)->orientation() == Qt::Horizontal ? CN_HSCROLL : CN_VSCROLL;
  else m.Msg = bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL;
  m.WParam = MAKEWPARAM(code, pos);
  m.LParam = bar == SB_CTL ? reinterpret_cast<LPARAM>(rec->handle) : 0;
  SafeWndProc(rec->control, m);
}

void Sync(QScrollBar* q, const WindowScrollBar& b) {
  const SCROLLINFO& si = b.info;
  QSignalBlocker block(q);
  q->setRange(si.nMin, MaxPos(si));
  q->setPageStep(std::max<int>(1, static_cast<int>(si.nPage)));
  q->setSingleStep(1);
  if (!q->isSliderDown()) q->setSliderPosition(si.nPos);
  q->setValue(si.nPos);
  q->setEnabled(b.disabledArrows != ESB_DISABLE_BOTH);
}

}  // namespace

void ConnectScrollBar(WindowRecord* rec, QScrollBar* q, int bar) {
  std::shared_ptr<bool> alive = rec->alive;
  QObject::connect(q, &QAbstractSlider::actionTriggered, q, [rec, q, bar, alive](int action) {
    if (!*alive) return;
    WORD code = SB_ENDSCROLL;
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
      case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
      case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
      case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
      case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
      case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
      case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
      default: return;
    }
    WindowScrollBar* b = BarOf(rec, bar);
    int pos = q->sliderPosition();
    if (code == SB_THUMBTRACK) b->info.nTrackPos = pos;
    SendScroll(rec, bar, code, code == SB_THUMBTRACK ? pos : 0);
    if (!*alive) return;
    // The platform's bars move only when the window says so (the thumb follows the drag).
    if (code != SB_THUMBTRACK || !q->isSliderDown()) {
      QSignalBlocker block(q);
      q->setSliderPosition(BarOf(rec, bar)->info.nPos);
    }
  });
  QObject::connect(q, &QAbstractSlider::sliderReleased, q, [rec, q, bar, alive] {
    if (!*alive) return;
    int pos = q->sliderPosition();
    BarOf(rec, bar)->info.nTrackPos = pos;
    SendScroll(rec, bar, SB_THUMBPOSITION, pos);
    if (!*alive) return;
    SendScroll(rec, bar, SB_ENDSCROLL, 0);
    if (!*alive) return;
    QSignalBlocker block(q);
    q->setSliderPosition(BarOf(rec, bar)->info.nPos);
  });
}

namespace {

// The toolkit's bar of a window's own scroll bar, made on first use.
QScrollBar* EnsureBar(WindowRecord* rec, int bar) {
  WindowScrollBar* b = BarOf(rec, bar);
  if (bar == SB_CTL) return ControlBar(rec);
  if (!b->bar) {
    b->bar = new QScrollBar(bar == SB_HORZ ? Qt::Horizontal : Qt::Vertical, rec->widget);
    b->bar->setFocusPolicy(Qt::NoFocus);
    b->bar->hide();
    ConnectScrollBar(rec, b->bar, bar);
  }
  return b->bar;
}

// Shows or hides a window bar; the client area changes, so the window hears WM_SIZE.
void SetShown(WindowRecord* rec, int bar, bool shown) {
  WindowScrollBar* b = BarOf(rec, bar);
  if (b->shown == shown) return;
  b->shown = shown;
  EnsureBar(rec, bar);
  LayoutWindowScrollBars(rec);
  TWinControl* c = rec->control;
  TRect client = c->ClientRect();
  c->Realign();
  c->Perform(WM_SIZE, 0, MAKELPARAM(client.Right, client.Bottom));
}

}  // namespace

int WindowRecord::ScrollBarRight() const { return scroll[1].shown ? GetSystemMetrics(SM_CXVSCROLL) : 0; }

int WindowRecord::ScrollBarBottom() const { return scroll[0].shown ? GetSystemMetrics(SM_CYHSCROLL) : 0; }

void LayoutWindowScrollBars(WindowRecord* rec) {
  QWidget* w = rec->widget;
  int left = rec->insetLeft, top = rec->insetTop;
  int right = w->width() - rec->insetRight, bottom = w->height() - rec->insetBottom;
  int sbw = rec->ScrollBarRight(), sbh = rec->ScrollBarBottom();
  if (QScrollBar* h = rec->scroll[0].bar) {
    h->setGeometry(left, bottom - sbh, std::max(0, right - left - sbw), sbh);
    h->setVisible(rec->scroll[0].shown);
    if (rec->scroll[0].shown) h->raise();
  }
  if (QScrollBar* v = rec->scroll[1].bar) {
    v->setGeometry(right - sbw, top, sbw, std::max(0, bottom - top - sbh));
    v->setVisible(rec->scroll[1].shown);
    if (rec->scroll[1].shown) v->raise();
  }
}

int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, bool) {
  WindowRecord* rec = FindWindowRecord(window);
  WindowScrollBar* b = rec ? BarOf(rec, bar) : nullptr;
  if (!b || !info) return 0;
  SCROLLINFO& si = b->info;
  if (info->fMask & SIF_RANGE) {
    si.nMin = info->nMin;
    si.nMax = std::max(info->nMin, info->nMax);
  }
  if (info->fMask & SIF_PAGE) {
    int64_t span = static_cast<int64_t>(si.nMax) - si.nMin + 1;
    si.nPage = static_cast<UINT>(std::min<int64_t>(info->nPage, span));
  }
  if (info->fMask & SIF_POS) si.nPos = info->nPos;
  si.nPos = std::clamp(si.nPos, si.nMin, MaxPos(si));
  QScrollBar* q = EnsureBar(rec, bar);
  if (bar != SB_CTL && (info->fMask & (SIF_RANGE | SIF_PAGE))) {
    if (Scrollable(si)) {
      if (info->fMask & SIF_DISABLENOSCROLL) b->disabledArrows = ESB_ENABLE_BOTH;
      SetShown(rec, bar, true);
    } else if (info->fMask & SIF_DISABLENOSCROLL) {
      b->disabledArrows = ESB_DISABLE_BOTH;
    } else {
      SetShown(rec, bar, false);
    }
  }
  if (q) Sync(q, *b);
  return si.nPos;
}

bool GetScrollInfo(HWND window, int bar, SCROLLINFO* info) {
  WindowRecord* rec = FindWindowRecord(window);
  WindowScrollBar* b = rec ? BarOf(rec, bar) : nullptr;
  if (!b || !info) return false;
  UINT mask = info->fMask;
  const SCROLLINFO& si = b->info;
  if (mask & SIF_RANGE) {
    info->nMin = si.nMin;
    info->nMax = si.nMax;
  }
  if (mask & SIF_PAGE) info->nPage = si.nPage;
  if (mask & SIF_POS) info->nPos = si.nPos;
  if (mask & SIF_TRACKPOS) info->nTrackPos = si.nTrackPos;
  return true;
}

int SetScrollPos(HWND window, int bar, int pos, bool redraw) {
  int old = GetScrollPos(window, bar);
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(window, bar, &si, redraw);
  return old;
}

int GetScrollPos(HWND window, int bar) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  return GetScrollInfo(window, bar, &si) ? si.nPos : 0;
}

bool SetScrollRange(HWND window, int bar, int minPos, int maxPos, bool redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  return FindWindowRecord(window) && (SetScrollInfo(window, bar, &si, redraw), true);
}

bool GetScrollRange(HWND window, int bar, int* minPos, int* maxPos) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  if (!GetScrollInfo(window, bar, &si)) return false;
  if (minPos) *minPos = si.nMin;
  if (maxPos) *maxPos = si.nMax;
  return true;
}

bool ShowScrollBar(HWND window, int bar, bool show) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return false;
  if (bar == SB_CTL) {
    rec->control->SetVisible(show);
    return true;
  }
  if (bar == SB_HORZ || bar == SB_BOTH) SetShown(rec, SB_HORZ, show);
  if (bar == SB_VERT || bar == SB_BOTH) SetShown(rec, SB_VERT, show);
  for (int b : {SB_HORZ, SB_VERT})
    if (rec->scroll[b].bar) Sync(rec->scroll[b].bar, rec->scroll[b]);
  return true;
}

bool EnableScrollBar(HWND window, int bar, UINT arrows) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return false;
  for (int b : {SB_HORZ, SB_VERT, SB_CTL}) {
    bool match = bar == b || (bar == SB_BOTH && b != SB_CTL);
    if (!match) continue;
    WindowScrollBar* sb = BarOf(rec, b);
    sb->disabledArrows = arrows;
    if (QScrollBar* q = b == SB_CTL ? ControlBar(rec) : sb->bar) Sync(q, *sb);
  }
  return true;
}

bool IsScrollBarShown(HWND window, int bar) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec || (bar != SB_HORZ && bar != SB_VERT)) return false;
  return rec->scroll[bar].shown;
}

bool InitializeFlatSB(HWND window) { return FindWindowRecord(window) != nullptr; }

void UninitializeFlatSB(HWND) {}
