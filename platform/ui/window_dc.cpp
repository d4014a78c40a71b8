#include "platform/ui/window_dc.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/ui/caret.h"
#include "platform/ui/controls.h"
#include "platform/ui/qt_window_p.h"

namespace {

// The window each given-out DC draws on (UI thread only).
std::unordered_map<HDC, HWND> g_windowDCs;
std::vector<TControlCanvas*> g_canvases;

QColor ColorOf(TColor c) {
  COLORREF rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

QRect ClientRectOf(WindowRecord* rec) {
  TRect c = rec->control->ClientRect();
  return QRect(rec->insetLeft, rec->insetTop, c.Right, c.Bottom);
}

// A DC on the window's image; with client, its origin and clip are the client area's.
HDC MakeWindowDC(WindowRecord* rec, bool client) {
  QImage& img = WindowImage(rec);
  HDC dc = CreateSurfaceDC(img.bits(), img.width(), img.height(), img.bytesPerLine(), 32, nullptr, 0, true);
  if (!dc) return nullptr;
  if (client) {
    QRect c = ClientRectOf(rec);
    SetViewportOrgEx(dc, c.left(), c.top(), nullptr);
    IntersectClipRect(dc, 0, 0, c.width(), c.height());
  }
  rec->dcs.push_back(dc);
  g_windowDCs[dc] = rec->handle;
  return dc;
}

void DropDC(WindowRecord* rec, HDC dc) {
  if (rec) rec->dcs.erase(std::remove(rec->dcs.begin(), rec->dcs.end(), static_cast<void*>(dc)), rec->dcs.end());
  g_windowDCs.erase(dc);
  DeleteDC(dc);
}

// A region of the drawing layer with the rectangles of a toolkit region.
HRGN RegionOf(const QRegion& q) {
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  for (const QRect& rect : q) {
    HRGN part = CreateRectRgn(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1);
    CombineRgn(r, r, part, RGN_OR);
    DeleteObject(part);
  }
  return r;
}

QRegion QRegionOf(HRGN region) {
  QRegion q;
  uint32_t size = GetRegionData(region, 0, nullptr);
  if (size == 0) return q;
  std::vector<uint8_t> buffer(size);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (GetRegionData(region, size, data) == 0) return q;
  auto* rects = reinterpret_cast<const TRect*>(data->Buffer);
  for (uint32_t i = 0; i < data->rdh.nCount; ++i)
    q += QRect(rects[i].Left, rects[i].Top, rects[i].Width(), rects[i].Height());
  return q;
}

void Invalidate(WindowRecord* rec, const QRegion& area, bool erase) {
  QRegion clipped = area & QRect(QPoint(0, 0), rec->widget->size());
  if (clipped.isEmpty()) return;
  rec->invalid += clipped;
  if (erase) rec->eraseNeeded = true;
  if (!rec->customDrawn && !rec->overlay.isNull()) {
    // What the toolkit repaints shows again without the drawing laid over it.
    QPainter p(&rec->overlay);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    for (const QRect& r : clipped) p.fillRect(r, Qt::transparent);
  }
  rec->widget->update(clipped);
}

// A rectangle: nothing to do when it waits for its paint already (a control invalidated again
// before it painted, as property changes in a row do).
void Invalidate(WindowRecord* rec, const QRect& area, bool erase) {
  QRect clipped = area & QRect(QPoint(0, 0), rec->widget->size());
  if (clipped.isEmpty()) return;
  if (rec->customDrawn && rec->invalid.rectCount() == 1 && rec->invalid.boundingRect().contains(clipped)) {
    if (erase) rec->eraseNeeded = true;
    return;
  }
  Invalidate(rec, QRegion(clipped), erase);
}

}  // namespace

QImage& WindowImage(WindowRecord* rec) {
  QSize size = rec->widget->size().expandedTo(QSize(1, 1));
  QImage& img = rec->customDrawn ? rec->surface : rec->overlay;
  if (img.size() == size) return img;
  QImage fresh(size, rec->customDrawn ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
  if (rec->customDrawn) fresh.fill(ColorOf(rec->control->Color()));
  else fresh.fill(Qt::transparent);
  if (!img.isNull()) {
    QPainter p(&fresh);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(0, 0), img);
  }
  img = fresh;
  for (void* dc : rec->dcs) SetSurfaceBits(static_cast<HDC>(dc), img.bits(), img.width(), img.height(), img.bytesPerLine());
  if (rec->customDrawn) {
    // A new size repaints the whole window, as with the platform's redraw-on-size class styles.
    rec->invalid = QRegion(QRect(QPoint(0, 0), size));
    rec->eraseNeeded = true;
  }
  return img;
}

void ReleaseWindowDCs(WindowRecord* rec) {
  FreeDeviceContexts(rec->handle);
  for (void* dc : std::vector<void*>(rec->dcs)) DropDC(rec, static_cast<HDC>(dc));
}

void PaintOverNative(WindowRecord* rec) {
  TWinControl* c = rec->control;
  bool graphicChildren = false;
  for (int i = 0; i < c->ControlCount(); ++i)
    if (!dynamic_cast<TWinControl*>(c->Controls(i)) && c->Controls(i)->Visible()) graphicChildren = true;
  if (!graphicChildren && rec->overlay.isNull()) return;
  QPainter p(rec->widget);
  if (graphicChildren) {
    QImage layer(rec->widget->size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    HDC dc = CreateSurfaceDC(layer.bits(), layer.width(), layer.height(), layer.bytesPerLine(), 32, nullptr, 0, true);
    if (dc) {
      QRect client = ClientRectOf(rec);
      SetViewportOrgEx(dc, client.left(), client.top(), nullptr);
      IntersectClipRect(dc, 0, 0, client.width(), client.height());
      c->PaintControls(dc, nullptr);
      DeleteDC(dc);
      p.drawImage(QPoint(0, 0), layer);
    }
  }
  if (!rec->overlay.isNull()) p.drawImage(QPoint(0, 0), rec->overlay);
}

HDC GetDC(HWND window) {
  if (!window) return CreateCompatibleDC(nullptr);
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return nullptr;
  HDC dc = MakeWindowDC(rec, true);
  rec->widget->update();
  return dc;
}

HDC GetWindowDC(HWND window) {
  if (!window) return CreateCompatibleDC(nullptr);
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return nullptr;
  HDC dc = MakeWindowDC(rec, false);
  rec->widget->update();
  return dc;
}

bool GetWindowRect(HWND window, TRect* rect) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec || !rect) return false;
  QPoint g = rec->widget->mapToGlobal(QPoint(0, 0));
  *rect = Bounds(g.x(), g.y(), rec->widget->width(), rec->widget->height());
  return true;
}

int ReleaseDC(HWND window, HDC dc) {
  auto it = g_windowDCs.find(dc);
  if (it == g_windowDCs.end()) {
    // A screen DC of GetDC(nullptr), or one already gone.
    return !window && DeleteDC(dc) ? 1 : 0;
  }
  WindowRecord* rec = FindWindowRecord(it->second);
  DropDC(rec, dc);
  if (rec) rec->widget->update();
  return 1;
}

HWND WindowFromDC(HDC dc) {
  auto it = g_windowDCs.find(dc);
  return it == g_windowDCs.end() ? nullptr : it->second;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec || !paint) return nullptr;
  CaretPaintStarts(window);
  WindowImage(rec);
  HDC dc = MakeWindowDC(rec, true);
  if (!dc) return nullptr;
  QRegion update = rec->invalid & ClientRectOf(rec);
  // The DC paints only the update region (its clip is in the image's coordinates).
  HRGN clip = RegionOf(update);
  ExtSelectClipRgn(dc, clip, RGN_AND);
  DeleteObject(clip);
  QRect bounds = update.boundingRect();
  paint->hdc = dc;
  paint->rcPaint = update.isEmpty() ? TRect()
                                    : Bounds(bounds.left() - rec->insetLeft, bounds.top() - rec->insetTop,
                                             bounds.width(), bounds.height());
  rec->invalid = QRegion();
  paint->fErase = false;
  if (rec->eraseNeeded) {
    rec->eraseNeeded = false;
    std::shared_ptr<bool> alive = rec->alive;
    TMessage m;
    m.Msg = WM_ERASEBKGND;
    m.WParam = reinterpret_cast<WPARAM>(dc);
    rec->control->WndProc(m);
    if (*alive) paint->fErase = m.Result == 0;
  }
  return dc;
}

bool EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (!paint || !paint->hdc) return false;
  ReleaseDC(window, paint->hdc);
  CaretPaintEnds(window);
  return true;
}

bool InvalidateRect(HWND window, const TRect* rect, bool erase) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return false;
  InvalidateWindowRect(rec, rect, erase);
  return true;
}

void InvalidateWindowRect(WindowRecord* rec, const TRect* rect, bool erase) {
  QRect client = ClientRectOf(rec);
  QRect area = rect ? QRect(rect->Left + rec->insetLeft, rect->Top + rec->insetTop, rect->Width(), rect->Height()) & client
                    : client;
  Invalidate(rec, area, erase);
}

bool InvalidateRgn(HWND window, HRGN region, bool erase) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return false;
  if (!region) return InvalidateRect(window, nullptr, erase);
  QRegion area = QRegionOf(region).translated(rec->insetLeft, rec->insetTop) & ClientRectOf(rec);
  Invalidate(rec, area, erase);
  return true;
}

bool ValidateRect(HWND window, const TRect* rect) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return false;
  if (!rect) rec->invalid = QRegion();
  else rec->invalid -= QRect(rect->Left + rec->insetLeft, rect->Top + rec->insetTop, rect->Width(), rect->Height());
  return true;
}

bool GetUpdateRect(HWND window, TRect* rect, bool erase) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return false;
  QRect b = (rec->invalid & ClientRectOf(rec)).boundingRect();
  if (rect) *rect = b.isEmpty() ? TRect() : Bounds(b.left() - rec->insetLeft, b.top() - rec->insetTop, b.width(), b.height());
  if (erase && !b.isEmpty()) rec->eraseNeeded = true;
  return !b.isEmpty();
}

bool UpdateWindow(HWND window) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec || rec->invalid.isEmpty() || !rec->widget->isVisible()) return rec != nullptr;
  if (!rec->customDrawn) {
    rec->widget->repaint();
    return true;
  }
  // The window's own painting runs now on its surface; the toolkit shows the surface soon.
  QWidget* w = rec->widget;
  QPaintEvent standIn(rec->invalid);
  // A custom-drawn widget paints nothing of its own: its native handling is a no-op here.
  PaintUpdateRegion(rec, &standIn, [](QEvent*) { return true; });
  if (FindWindowRecord(window) == rec) w->update();
  return true;
}

bool RedrawWindow(HWND window, const TRect* rect, HRGN region, uint32_t flags) {
  WindowRecord* rec = FindWindowRecord(window);
  if (!rec) return false;
  if (flags & RDW_INVALIDATE) {
    if (flags & RDW_FRAME) Invalidate(rec, QRegion(QRect(QPoint(0, 0), rec->widget->size())), flags & RDW_ERASE);
    else if (region) InvalidateRgn(window, region, flags & RDW_ERASE);
    else InvalidateRect(window, rect, flags & RDW_ERASE);
  }
  if (flags & RDW_VALIDATE) ValidateRect(window, rect);
  if (flags & RDW_ALLCHILDREN) {
    TWinControl* c = rec->control;
    for (int i = 0; i < c->ControlCount(); ++i)
      if (auto* w = dynamic_cast<TWinControl*>(c->Controls(i)); w && w->HandleAllocated())
        RedrawWindow(w->Handle(), nullptr, nullptr, flags & ~RDW_UPDATENOW);
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(window);
  return true;
}

// -------------------------------------------------------------------------------------- TControlCanvas

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TControl* control) {
  if (control == control_) return;
  FreeHandle();
  control_ = control;
}

void TControlCanvas::FreeHandle() {
  if (ownedDC_) {
    HDC dc = ownedDC_;
    ownedDC_ = nullptr;
    g_canvases.erase(std::remove(g_canvases.begin(), g_canvases.end(), this), g_canvases.end());
    if (HandleAllocated() && Handle() == dc) SetHandle(nullptr);
    ReleaseDC(window_, dc);
    window_ = nullptr;
  }
}

void TControlCanvas::PaintWith(HDC dc, const std::function<void()>& paint) {
  Lock();
  try {
    FreeHandle();
    SetHandle(dc);
    paint();
  } catch (...) {
    SetHandle(nullptr);
    Unlock();
    throw;
  }
  SetHandle(nullptr);
  Unlock();
}

void TControlCanvas::CreateHandle() {
  if (!control_) return;
  TWinControl* w = dynamic_cast<TWinControl*>(control_);
  TWinControl* host = w ? w : control_->Parent();
  if (!host) throw EInvalidOperation(Format("Control '%s' has no parent window", control_->Name().c_str()));
  HWND h = host->Handle();
  HDC dc = GetDC(h);
  if (!dc) return;
  if (!w) {
    // A windowless control draws on its parent, moved to its place and kept inside its bounds.
    OffsetViewportOrgEx(dc, control_->Left(), control_->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, control_->Width(), control_->Height());
  }
  ownedDC_ = dc;
  window_ = h;
  g_canvases.push_back(this);
  SetHandle(dc);
}

void FreeDeviceContexts(HWND window) {
  for (TControlCanvas* c : std::vector<TControlCanvas*>(g_canvases)) {
    // A canvas that is drawing right now (locked by another thread) keeps its DC.
    if (c->LockCount() > 0) continue;
    if (!window || c->OwnedWindow() == window) c->FreeHandle();
  }
}
