// TGIFImage: drawing, the composed picture, and the painters that play animations.
#include <algorithm>

#include "pictures/gif_image.h"
#include "pictures/gif_painter.h"
#include "platform/system/ticks.h"

namespace {

// Lets the painters' calls into this thread run while it waits for them.
void ServePainters() {
  if (IsMainThread())
    CheckSynchronize(5);
  else
    Sleep(1);
}

}  // namespace

void TGIFImage::FreeBitmap() {
  if (bitmap_) bitmap_->OnChange = nullptr;
  bitmap_.reset();
}

TBitmap* TGIFImage::Bitmap() {
  if (Empty()) return nullptr;
  if (bitmap_) return bitmap_.get();
  TGIFSubImage* first = images_[0];
  auto bitmap = std::make_unique<TBitmap>();
  if (first->Width() == Width() && first->Height() == Height() && !first->Empty()) {
    bitmap->Assign(first->Bitmap());
  } else {
    bitmap->SetSize(Width(), Height());
    first->Draw(bitmap->Canvas(), TRect{0, 0, Width(), Height()}, false, false);
  }
  bitmap->OnChange = [this](TObject*) { Changed(); };
  bitmap_ = std::move(bitmap);
  return bitmap_.get();
}

void TGIFImage::DrawBitmap(TCanvas* Canvas, const TRect& Rect) {
  if (!bitmap_) return;
  if (!(paintFlags_ & gpfTiled)) {
    Canvas->StretchDraw(Rect, bitmap_.get());
    return;
  }
  // Copies at the logical screen's size from the top left, as far as the rectangle reaches.
  const int32_t w = std::max(Width(), 1), h = std::max(Height(), 1);
  HDC dst = Canvas->Handle();
  HDC src = bitmap_->Canvas()->Handle();
  for (int32_t y = Rect.Top; y < Rect.Bottom; y += h)
    for (int32_t x = Rect.Left; x < Rect.Right; x += w)
      BitBlt(dst, x, y, std::min(w, Rect.Right - x), std::min(h, Rect.Bottom - y), src, 0, 0, SRCCOPY);
  if (Canvas->OnChange) Canvas->OnChange(Canvas);
}

void TGIFImage::Draw(TCanvas* Canvas, const TRect& Rect) {
  if (drawing_ || Empty() || !Canvas) return;
  drawing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{drawing_};

  const TGIFPaintFlags flags = paintFlags_;
  if (images_.Count() == 1 || !(flags & gpfAnimated)) {
    images_[0]->Draw(Canvas, Rect, (flags & gpfTransparent) != 0, (flags & gpfTiled) != 0);
    return;
  }
  const bool direct = (flags & gpfPaintDirect) != 0;
  if (bitmap_ && !direct) {
    DrawBitmap(Canvas, Rect);
    return;
  }
  {
    std::lock_guard<TCriticalSection> lock(painterLock_);
    if (drawPainter_ && drawPainter_->Canvas() == Canvas && drawPainter_->Rect() == Rect) return;
    StopDrawPainter();
    TCanvas* target = Canvas;
    TRect targetRect = Rect;
    if (!direct) {
      // The painter plays into the cached picture, which starts as what lies under the rectangle, so
      // that the background shows through transparent pixels.
      auto bitmap = std::make_unique<TBitmap>();
      bitmap->SetSize(Width(), Height());
      bitmap->Canvas()->SetCopyMode(cmSrcCopy);
      bitmap->Canvas()->CopyRect(TRect{0, 0, Width(), Height()}, Canvas, Rect);
      bitmap->OnChange = [this](TObject*) { Changed(); };
      bitmap_ = std::move(bitmap);
      target = bitmap_->Canvas();
      targetRect = TRect{0, 0, Width(), Height()};
    }
    TGIFPainter* painter = CreatePainter(target, targetRect, flags, &drawPainter_);
    if (!painter) return;  // an unthreaded painter has played the whole animation
    painter->StartPainting();
    if (direct) return;
  }
  // Until the first frame is shown, or the painter ends.
  for (;;) {
    {
      std::lock_guard<TCriticalSection> lock(painterLock_);
      if (!drawPainter_ || drawPainter_->Started() || drawPainter_->Terminated()) break;
    }
    ServePainters();
  }
  DrawBitmap(Canvas, Rect);
}

TGIFPainter* TGIFImage::CreatePainter(TCanvas* Canvas, const TRect& Rect, TGIFPaintFlags Flags, TGIFPainter** Slot) {
  if (Empty() || Rect.Width() <= 0 || Rect.Height() <= 0) {
    if (Slot) *Slot = nullptr;
    return nullptr;
  }
  if (images_.Count() == 1) Flags &= static_cast<TGIFPaintFlags>(~(gpfThreaded | gpfAnimated));
  auto painter = std::make_unique<TGIFPainter>(this, Flags, Rect, Canvas, Slot);
  painter->OnPaintBegin = OnPaintBegin;
  painter->OnFrameShow = OnFrameShow;
  painter->OnFrameShown = OnFrameShown;
  painter->OnRepeat = OnRepeat;
  painter->OnPaintEnd = OnPaintEnd;
  {
    std::lock_guard<TCriticalSection> lock(painterLock_);
    painters_.push_back(painter.get());
  }
  if (Flags & gpfThreaded) {
    painter->SetPriority(painterPriority_);
    return painter.release();  // started by the caller; it frees itself when it ends
  }
  painter->Run();
  return nullptr;
}

void TGIFImage::WaitForPainters(const std::function<bool()>& Done) {
  while (!Done()) ServePainters();
}

void TGIFImage::StopDrawPainter() {
  for (;;) {
    {
      std::lock_guard<TCriticalSection> lock(painterLock_);
      TGIFPainter* painter = drawPainter_;
      if (!painter) break;
      painter->Stop();
      if (!painter->Threaded()) break;
      if (InGIFPainterCall()) {
        // Inside one of the painters' own calls it cannot end now: it lets go of the image instead
        // and ends as soon as the call returns.
        painter->LetGo();
        break;
      }
    }
    ServePainters();
  }
  FreeBitmap();
}

void TGIFImage::StopPainting() {
  for (;;) {
    int32_t threaded = 0;
    {
      std::lock_guard<TCriticalSection> lock(painterLock_);
      for (auto it = painters_.rbegin(); it != painters_.rend(); ++it) {
        (*it)->Stop();
        if ((*it)->Threaded()) ++threaded;
      }
      if (threaded > 0 && InGIFPainterCall()) {
        for (TGIFPainter* painter : std::vector<TGIFPainter*>(painters_))
          if (painter->Threaded()) painter->LetGo();
        threaded = 0;
      }
    }
    if (threaded == 0) break;
    ServePainters();
  }
  FreeBitmap();
}
