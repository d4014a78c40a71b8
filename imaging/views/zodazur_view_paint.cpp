// TZodazUrView: the paint road. RenderView composes background and layers into the view-sized
// 24-bit back buffer when something marked it invalid; Paint copies the needed rectangle of the
// buffer to the window and draws the version text over it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_gdiplus.h"
#include "imaging/io/ie_direct_show.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/views/ie_view_globals.h"
#include "imaging/views/zodazur_view.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/window_dc.h"

namespace {

int32_t RoundToInt(double v) {
  if (!(v == v)) return 0;
  return static_cast<int32_t>(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

}  // namespace

TBitmap* TZodazUrView::GetBackBuffer() { return backBuffer_ ? backBuffer_->GetTBitmap() : nullptr; }

void TZodazUrView::InvalidateViewRect(const TRect& Rect) {
  backBufferInvalid_ = true;
  if (HandleAllocated()) ::InvalidateRect(Handle(), &Rect, false);
}

// ---------------------------------------------------------------------------------- Paint

void TZodazUrView::Paint() {
  if (!HandleAllocated()) return;
  if (!((HasParentWindow() && GetViewWidth() >= 1 && GetViewHeight() >= 1) || offScreen_)) return;
  if (BitmapBusy()) return;
  try {
    PaintCore();
  } catch (...) {
    // A failure while composing leaves the window as it was; the overlays still come.
  }
  if (drawVersion_) DrawVersionText();
  if (TIEDirectShow* video = PlayingVideo()) PositionVideo(*video);
  if (hasOwner_ && cursorPending_) {
    ApplyCursorNow(Cursor());
    cursorPending_ = false;
  }
}

void TZodazUrView::PaintCore() {
  if (ComponentState() & csDesigning) {
    DrawViewBackground(ComponentState(), Canvas(), nullptr, backgroundStyle_, Background(), 0, 0, Width(), Height(),
                       0, 0, 0, 0, chessboardSize_, chessboardBrushStyle_, gradientEndColor_, wallPaper_.get(),
                       wallPaperStyle_);
    return;
  }
  const int32_t vw = GetViewWidth(), vh = GetViewHeight();
  if (paintLockCount_ == 0) {
    TRect r{0, 0, vw, vh};
    if (!fullRepaint_) {
      r = Canvas()->ClipRect();
      if (r.Right == 0) r.Right = vw;
      if (r.Bottom == 0) r.Bottom = vh;
    }
    PaintBackBuffer(r);
    if (OnDrawCanvas) OnDrawCanvas(this, Canvas(), TRect{0, 0, vw, vh});
  }
  fullRepaint_ = false;
  DrawSelection(this, false);
  if (OnPaint) OnPaint(this);
}

void TZodazUrView::PaintBackBuffer(const TRect& R) {
  if (!HasParentWindow() && !offScreen_) return;
  const int32_t vw = GetViewWidth(), vh = GetViewHeight();
  if (vw < 1 || vh < 1) return;
  if (backBuffer_->Width() != vw || backBuffer_->Height() != vh || backBuffer_->PixelFormat() != ie24RGB) {
    backBuffer_->Allocate(vw, vh, ie24RGB);
    backBufferInvalid_ = true;
  }
  if (backBufferInvalid_) {
    const TRect clip = R;
    RenderView(*backBuffer_, true, true, &clip);
    if (OnDrawBackBuffer) OnDrawBackBuffer(this);
    backBufferInvalid_ = false;
    ++renderCount_;
  }
  if (!HandleAllocated()) return;
  // The video renderer paints its own rectangle of the window.
  if (PlayingVideo()) {
    const TIELayerRect& d = GetCurrentLayer()->DrawRect;
    ExcludeClipRect(Canvas()->Handle(), d.X, d.Y, d.X + d.Width, d.Y + d.Height);
  }
  BlitBackBuffer(R);
  // A recreated window must become the graph's notify window.
  if (lastWindowHandle_ && lastWindowHandle_ != Handle() && io_) io_->UpdateDirectShowNotifyWindow();
  lastWindowHandle_ = Handle();
}

void TZodazUrView::BlitBackBuffer(const TRect& R) {
  const int32_t vw = backBuffer_->Width(), vh = backBuffer_->Height();
  const int32_t x = std::clamp(R.Left, 0, vw), y = std::clamp(R.Top, 0, vh);
  const int32_t w = std::min({R.Right - R.Left, vw, vw - x}), h = std::min({R.Bottom - R.Top, vh, vh - y});
  if (w <= 0 || h <= 0) return;
  HDC dc = Canvas()->Handle();
  if ((UseDrawDib || ScreenBitsPerPixel <= 8) && !IsRemoteSession) {
    const bool mono = backBuffer_->PixelFormat() == ie1g;
    if (!mono && DrawBackBufferInPlace(dc, x, y, w, h)) {
      ++blitCount_;
      return;
    }
    // A bottom-up DIB of the rectangle; 1-bit buffers carry black and white.
    const int32_t bits = mono ? 1 : 24;
    const int32_t stride = DibRowBytes(w, bits);
    std::vector<uint8_t> header(sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD), 0);
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(header.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = w;
    bih->biHeight = h;
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<uint16_t>(bits);
    bih->biCompression = BI_RGB;
    auto* colors = reinterpret_cast<RGBQUAD*>(header.data() + sizeof(BITMAPINFOHEADER));
    colors[1] = RGBQUAD{255, 255, 255, 0};
    // The buffer is kept between frames; only what the rows do not overwrite is cleared (a 1-bit
    // row is or-ed together, a 24-bit row's padding).
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(h);
    if (blitPixels_.size() < bytes) blitPixels_.resize(bytes);
    uint8_t* pixels = blitPixels_.data();
    for (int32_t row = 0; row < h; ++row) {
      const auto* src = static_cast<const uint8_t*>(backBuffer_->GetRow(y + row));
      uint8_t* dst = pixels + static_cast<size_t>(h - 1 - row) * static_cast<size_t>(stride);
      const size_t used = mono ? 0 : 3 * static_cast<size_t>(w);
      std::memset(dst + used, 0, static_cast<size_t>(stride) - used);
      if (mono) {
        for (int32_t i = 0; i < w; ++i)
          if (src[(x + i) >> 3] & (0x80 >> ((x + i) & 7))) dst[i >> 3] |= static_cast<uint8_t>(0x80 >> (i & 7));
      } else {
        std::memcpy(dst, src + 3 * static_cast<size_t>(x), 3 * static_cast<size_t>(w));
      }
    }
    DrawDibDraw(drawDibHandle_, dc, x, y, w, h, bih, pixels, 0, 0, w, h, 0);
  } else {
    HDC src = backBuffer_->GetCanvas()->Handle();
    if (ScreenBitsPerPixel <= 23 && !IsRemoteSession) {
      const int32_t old = SetStretchBltMode(dc, HALFTONE);
      StretchBlt(dc, x, y, w, h, src, x, y, w, h, SRCCOPY);
      SetStretchBltMode(dc, old);
    } else {
      BitBlt(dc, x, y, w, h, src, x, y, SRCCOPY);
    }
  }
  ++blitCount_;
}

bool TZodazUrView::DrawBackBufferInPlace(HDC DC, int32_t X, int32_t Y, int32_t W, int32_t H) {
  // A 24-bit buffer whose rows lie evenly in memory at a DIB's row length is a DIB already (top-down
  // or bottom-up by the sign of the step): drawn from where it is, without a copy of the rectangle.
  TIEBitmap& b = *backBuffer_;
  const int32_t vw = b.Width(), vh = b.Height();
  if (b.PixelFormat() != ie24RGB || b.Location() == ieFile || vw < 1 || vh < 1) return false;
  const int64_t stride = DibRowBytes(vw, 24);
  auto* top = static_cast<uint8_t*>(b.GetRow(0));
  const int64_t step = vh > 1 ? static_cast<uint8_t*>(b.GetRow(1)) - top : stride;
  if (step != stride && step != -stride) return false;
  for (int32_t row = 2; row < vh; ++row)
    if (static_cast<uint8_t*>(b.GetRow(row)) != top + step * row) return false;
  BITMAPINFOHEADER bih{};
  bih.biSize = sizeof(BITMAPINFOHEADER);
  bih.biWidth = vw;
  bih.biHeight = step > 0 ? -vh : vh;
  bih.biPlanes = 1;
  bih.biBitCount = 24;
  bih.biCompression = BI_RGB;
  const uint8_t* bits = step > 0 ? top : top + step * (vh - 1);
  DrawDibDraw(drawDibHandle_, DC, X, Y, W, H, &bih, bits, X, Y, W, H, 0);
  return true;
}

// ---------------------------------------------------------------------------------- video

TIEDirectShow* TZodazUrView::PlayingVideo() const {
  TIEDirectShow* graph = io_ ? io_->DirectShow() : nullptr;
  if (!graph || !graph->Connected() || !graph->UseWindowlessRenderer || graph->GetState() == 0) return nullptr;
  return graph;
}

void TZodazUrView::PositionVideo(TIEDirectShow& Graph) {
  int32_t w0 = 0, h0 = 0;
  Graph.GetNativeVideoSize(w0, h0);
  // Without a picture of its own to scale from (an empty bitmap) the source stays as it was.
  const int32_t bw = ieBitmap_->Width(), bh = ieBitmap_->Height();
  if (w0 <= 0 || h0 <= 0 || bw <= 0 || bh <= 0) return;
  const double kx = static_cast<double>(bw) / w0, ky = static_cast<double>(bh) / h0;
  const TIELayer& layer = *GetCurrentLayer();
  const TIELayerRect& s = layer.SrcRect;
  const TIELayerRect& d = layer.DrawRect;
  const int32_t x = static_cast<int32_t>(std::trunc(s.X / kx)), y = static_cast<int32_t>(std::trunc(s.Y / ky));
  const int32_t w = static_cast<int32_t>(std::trunc(s.Width / kx)), h = static_cast<int32_t>(std::trunc(s.Height / ky));
  Graph.SetVideoPosition(TRect{x, y, x + w, y + h}, TRect{d.X, d.Y, d.X + d.Width, d.Y + d.Height});
}

void TZodazUrView::WMPaint(TMessage& Message) {
  // The video first, straight into the window; the back buffer then leaves its rectangle alone.
  if (TIEDirectShow* video = PlayingVideo()) {
    if (HDC dc = reinterpret_cast<HDC>(Message.WParam)) {
      video->RepaintVideo(Handle(), dc);
    } else if (HDC own = GetDC(Handle())) {
      video->RepaintVideo(Handle(), own);
      ReleaseDC(Handle(), own);
    }
  }
  TIEView::WMPaint(Message);
}

void TZodazUrView::DrawVersionText() {
  TCanvas* c = Canvas();
  c->Font()->SetName("Arial");
  c->Font()->SetHeight(13);
  c->Font()->SetColor(clBlack);
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clWhite);
  std::string text("ZodazUr Version ");
  text.append(IEVERSION).append(" - 5/9/2010");
  const int32_t tw = c->TextWidth(text), th = c->TextHeight(text);
  c->TextOut(GetViewWidth() - tw, GetViewHeight() - th, text);
}

// ---------------------------------------------------------------------------------- RenderView

void TZodazUrView::RenderView(TIEBitmap& Target, bool DrawGadgets, bool DrawBackground, const TRect* ClipRect) {
  SyncLayers();
  ComputeVisibleBitmapRect();
  BuildCoordinateTables();
  if (ieBitmap_->Width() == 0 || ieBitmap_->Height() == 0) return;
  if (ieBitmap_->HasAlphaChannel()) {
    TIEBitmap* alpha = ieBitmap_->GetAlphaChannel();
    if (alpha->Width() != ieBitmap_->Width() || alpha->Height() != ieBitmap_->Height()) return;
  }
  bool first = true;
  for (int32_t i = 0; i < LayersCount(); ++i) DrawLayer(Target, i, first, DrawBackground, ClipRect);
  if (first && DrawBackground) PaintTargetBackground(Target, *layers_[0], ClipRect, true);
  ShadeOutside(Target);
  if (DrawGadgets) DrawPixelGrid(Target);
}

void TZodazUrView::PaintTargetBackground(TIEBitmap& Target, TIELayer& Layer, const TRect* ClipRect, bool Forced,
                                         const TRect* Covered) {
  const int32_t tw = Target.Width(), th = Target.Height();
  bool opaque = false;
  if (!Forced) {
    TIEBitmap* bmp = Layer.Bitmap();
    opaque = (!enableAlphaChannel_ || !bmp->HasAlphaChannel() || bmp->GetAlphaChannel()->Full()) &&
             Layer.Transparency > 254 && Layer.Operation == 0;
    if (geo_.OffsetX < 1 && geo_.OffsetY < 1 && tw <= geo_.DrawWidth && th <= geo_.DrawHeight && opaque) return;
  }
  TCanvas* canvas = Target.GetCanvas();
  if (!canvas) return;
  HDC dc = canvas->Handle();
  if (ClipRect) IntersectClipRect(dc, ClipRect->Left, ClipRect->Top, ClipRect->Right + 1, ClipRect->Bottom + 1);
  // What an opaque image paints over anyway is not filled first (the styles draw through the clip;
  // one that writes the pixels itself still fills it, and the image then covers that).
  const bool leaveOut = Covered && opaque && Covered->Right > Covered->Left && Covered->Bottom > Covered->Top;
  if (leaveOut) ExcludeClipRect(dc, Covered->Left, Covered->Top, Covered->Right, Covered->Bottom);
  bool handled = false;
  if (OnDrawBackground) OnDrawBackground(this, canvas, TRect{0, 0, tw, th}, handled);
  if (!handled)
    DrawViewBackground(ComponentState(), canvas, Target.GetTBitmap(), backgroundStyle_, Background(), 0, 0, tw, th,
                       geo_.OffsetX, geo_.OffsetY, geo_.OffsetX + geo_.DrawWidth, geo_.OffsetY + geo_.DrawHeight,
                       chessboardSize_, chessboardBrushStyle_, gradientEndColor_, wallPaper_.get(), wallPaperStyle_);
  if (ClipRect || leaveOut) SelectClipRgn(dc, nullptr);
}

void TZodazUrView::FillClientMaps(int32_t SrcWidth, int32_t SrcHeight) {
  // The maps say, for each drawn column and row, which bitmap column and row the view's
  // conversions give there, so what is drawn and what a click converts to always agree.
  auto fill = [](TIERenderIndexMap& Map, int32_t Offset, int32_t Draw, int32_t Visible, int32_t VisibleSize,
                 int32_t Size, auto&& Convert) {
    Map.First = Offset;
    Map.Last = Offset + Draw - 1;
    Map.DstOrigin = Offset;
    Map.SrcOrigin = Visible;
    Map.Ratio = static_cast<double>(VisibleSize) / Draw;
    Map.SrcSize = Size;
    Map.Entries.resize(static_cast<size_t>(Draw));
    for (int32_t i = 0; i < Draw; ++i)
      Map.Entries[static_cast<size_t>(i)] = std::clamp(Convert(Offset + i), 0, Size - 1);
  };
  fill(columnMap_, geo_.OffsetX, geo_.DrawWidth, geo_.VisibleBitmapX, geo_.VisibleBitmapWidth, SrcWidth,
       [this](int32_t x) { return geo_.ClientToBitmapX(x); });
  fill(rowMap_, geo_.OffsetY, geo_.DrawHeight, geo_.VisibleBitmapY, geo_.VisibleBitmapHeight, SrcHeight,
       [this](int32_t y) { return geo_.ClientToBitmapY(y); });
}

void TZodazUrView::DrawLayer(TIEBitmap& Target, int32_t Index, bool& FirstLayer, bool DrawBackground,
                             const TRect* ClipRect) {
  TIELayer& layer = *layers_[static_cast<size_t>(Index)];
  TIEBitmap* bmp = layer.Bitmap();
  if (!layer.Visible || geo_.DrawWidth == 0 || geo_.DrawHeight == 0 || !bmp) return;
  if (bmp->Width() < MinLayerDrawSize && bmp->Height() < MinLayerDrawSize) return;
  const bool sized = layer.Width != 0 || layer.Height != 0;
  const bool fast = layersSync_ || (LayersCount() == 1 && !sized && layer.PosX == 0 && layer.PosY == 0);
  const int32_t sx = geo_.VisibleBitmapX, sy = geo_.VisibleBitmapY;
  const int32_t sw = geo_.VisibleBitmapWidth, sh = geo_.VisibleBitmapHeight;
  if (FirstLayer && DrawBackground) {
    // The fast road paints every pixel of the drawn rectangle.
    const TRect drawn{geo_.OffsetX, geo_.OffsetY, geo_.OffsetX + geo_.DrawWidth, geo_.OffsetY + geo_.DrawHeight};
    PaintTargetBackground(Target, layer, ClipRect, false, fast && sw > 0 && sh > 0 ? &drawn : nullptr);
  }
  TResampleFilter filter = rfNone;
  if (zoomFilterDelayCount_ < 1 && (sized || geo_.ZoomX != 100 || geo_.ZoomY != 100))
    filter = layer.UseResampleFilter ? layer.ResampleFilter : zoomFilter_;
  if (fast) {
    if (sw > 0 && sh > 0) {
      FillClientMaps(bmp->Width(), bmp->Height());
      bmp->RenderToTIEBitmapEx(Target, &destRows_, &columnMap_, &rowMap_, ClipRect, geo_.OffsetX, geo_.OffsetY,
                               geo_.DrawWidth, geo_.DrawHeight, sx, sy, sw, sh, enableAlphaChannel_, true,
                               layer.Transparency, filter, false, layer.Operation);
    }
    layer.ClientAreaBox = TRect{geo_.OffsetX, geo_.OffsetY, geo_.OffsetX + geo_.DrawWidth,
                                geo_.OffsetY + geo_.DrawHeight};
    layer.DrawRect = TIELayerRect{geo_.OffsetX, geo_.OffsetY, geo_.DrawWidth, geo_.DrawHeight};
    layer.SrcRect = TIELayerRect{sx, sy, sw, sh};
  } else {
    // A placed layer: its position and size at the view's zoom, the whole bitmap drawn there.
    const int32_t w = layer.GetWidth(), h = layer.GetHeight();
    int32_t x0 = geo_.BitmapToClientX(layer.PosX), y0 = geo_.BitmapToClientY(layer.PosY);
    const int32_t x1 = geo_.BitmapToClientX(layer.PosX + w), y1 = geo_.BitmapToClientY(layer.PosY + h);
    int32_t dw = x1 - x0, dh = y1 - y0;
    int32_t srcX = 0, srcY = 0, srcW = bmp->Width(), srcH = bmp->Height();
    layer.ClientAreaBox = TRect{x0, y0, x1, y1};
    if (layer.Cropped && w > 0 && h > 0) {
      if (geo_.ClientToBitmapX(x0) < 0) {
        const int32_t cut = static_cast<int32_t>(std::trunc(static_cast<double>(bmp->Width()) / w * -layer.PosX));
        srcX = cut;
        srcW -= cut;
        x0 = geo_.BitmapToClientX(0);
        dw = geo_.BitmapToClientX(layer.PosX + w) - x0;
      }
      if (geo_.ClientToBitmapY(y0) < 0) {
        const int32_t cut = static_cast<int32_t>(std::trunc(static_cast<double>(bmp->Height()) / h * -layer.PosY));
        srcY = cut;
        srcH -= cut;
        y0 = geo_.BitmapToClientY(0);
        dh = geo_.BitmapToClientY(layer.PosY + h) - y0;
      }
    }
    if (dw > 0 && dh > 0 && srcW > 0 && srcH > 0)
      bmp->RenderToTIEBitmapEx(Target, nullptr, nullptr, nullptr, ClipRect, x0, y0, dw, dh, srcX, srcY, srcW, srcH,
                               enableAlphaChannel_, false, layer.Transparency, filter, true, layer.Operation);
    layer.DrawRect = TIELayerRect{x0, y0, dw, dh};
    layer.SrcRect = TIELayerRect{srcX, srcY, srcW, srcH};
  }
  FirstLayer = false;
}

void TZodazUrView::ShadeOutside(TIEBitmap& Target) {
  if (LayersOutsideMode != 2 && LayersOutsideMode != 3) return;
  const TIELayerRect& r = layers_[0]->DrawRect;
  const int32_t tw = Target.Width(), th = Target.Height();
  for (int32_t y = 0; y < th; ++y) {
    auto* row = static_cast<uint8_t*>(Target.GetRow(y));
    for (int32_t x = 0; x < tw; ++x) {
      uint8_t* p = row + 3 * static_cast<size_t>(x);
      if (LayersOutsideMode == 2) {
        // The rectangle's right and bottom edges count as inside.
        const bool inside = x >= r.X && x <= r.X + r.Width && y >= r.Y && y <= r.Y + r.Height;
        if (!inside && ((x + y) & 1) == 0) p[0] = p[1] = p[2] = 128;
      } else {
        const bool inside = x > r.X && x < r.X + r.Width && y > r.Y && y < r.Y + r.Height;
        if (!inside)
          for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::min(255, p[c] + LayersOutsideValue));
      }
    }
  }
}

void TZodazUrView::DrawPixelGrid(TIEBitmap& Target) {
  if (!displayGrid_ || !GetCurrentLayer()->Visible) return;
  if (geo_.ZoomX < GridMinZoom && geo_.ZoomY < GridMinZoom) return;
  if (ieBitmap_->Width() <= 1 && ieBitmap_->Height() <= 1) return;
  TIELayer& layer = *GetCurrentLayer();
  const TIELayerRect d = layer.DrawRect, s = layer.SrcRect;
  if (s.Width <= 0 || s.Height <= 0 || !GridPen()) return;
  TCanvas* c = Target.GetCanvas();
  if (!c) return;
  c->Pen()->Assign(*GridPen());
  for (int32_t i = 0; i <= s.Width; ++i) {
    const int32_t x = RoundToInt(d.X + static_cast<double>(i) * d.Width / s.Width);
    c->MoveTo(x, d.Y);
    c->LineTo(x, d.Y + d.Height);
  }
  for (int32_t i = 0; i <= s.Height; ++i) {
    const int32_t y = RoundToInt(d.Y + static_cast<double>(i) * d.Height / s.Height);
    c->MoveTo(d.X, y);
    c->LineTo(d.X + d.Width, y);
  }
  if (GridHighlightX >= 0 && GridHighlightY >= 0) {
    TIECanvas ie(c);
    ie.Pen()->SetColor(static_cast<TColor>(0x0000FF));
    ie.Pen()->SetWidth(2);
    ie.Pen()->SetStyle(psSolid);
    ie.Pen()->SetMode(pmCopy);
    ie.Brush()->SetStyle(bsClear);
    ie.RoundRect(layer.ConvXBmp2Scr(GridHighlightX), layer.ConvYBmp2Scr(GridHighlightY),
                 layer.ConvXBmp2Scr(GridHighlightX + 1), layer.ConvYBmp2Scr(GridHighlightY + 1), 5, 5);
  }
}
