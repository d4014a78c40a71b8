// TZodazUrMView: painting through a back buffer (background, cells loaded on demand, far images
// unloaded, progress, all-displayed), one cell with its thumbnail, captions, frames and selection
// mark, and the captions themselves.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_gdiplus.h"
#include "imaging/core/ie_geometry.h"
#include "imaging/core/ie_view_painters.h"
#include "imaging/core/ie_virtual_image_list.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_soft_shadow.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/window_dc.h"

using Guard = std::lock_guard<TCriticalSection>;

namespace {

// Byte offsets where each code point of a UTF-8 text starts.
std::vector<size_t> CodePointStarts(const std::string& Text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < Text.size(); ++i)
    if ((static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80) starts.push_back(i);
  return starts;
}

// A bitmap over the stored rows of an image of a store (bottom row first, 32-bit padding), with its
// alpha rows and palette; nothing is copied.
bool WrapStored(TIEVirtualImageList& Store, TIEVirtualImage* Image, TIEBitmap& Wrapper) {
  void* bits = Store.GetImageBits(Image);
  if (!bits) return false;
  const int32_t w = Store.GetImageWidth(Image), h = Store.GetImageHeight(Image);
  const TIEPixelFormat format = Store.GetImagePixelFormat(Image);
  Wrapper.WrapMemory(bits, w, h, format, true, false);
  if (format == ie8p) {
    const auto* pal = static_cast<const uint8_t*>(Store.GetImagePalette(Image));
    if (pal)
      for (int32_t i = 0; i < 256 && i < Wrapper.GetPaletteLength(); ++i)
        Wrapper.SetPaletteColor(i, TIERGB{pal[3 * i], pal[3 * i + 1], pal[3 * i + 2]});
  }
  if (void* alphaBits = Store.GetImageAlphaBits(Image)) {
    auto alpha = std::make_unique<TIEBitmap>();
    alpha->WrapMemory(alphaBits, w, h, ie8g, true, false);
    alpha->SetIsAlphaChannel(true);
    alpha->SetFull(false);
    Wrapper.SetAlphaChannel(std::move(alpha));
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------- captions

std::string IEShortenCaption(TCanvas* Canvas, const std::string& Text, int32_t Width, uint8_t Side) {
  const std::vector<size_t> starts = CodePointStarts(Text);
  const size_t n = starts.size();
  if (n < 2 || Canvas->TextWidth(Text) <= Width) return Text;
  for (size_t i = 2;; ++i) {
    // The shorter part empty: only the dots are left.
    if (i >= n) return "...";
    const std::string part = Side == 0 ? Text.substr(0, starts[n - i]) : Text.substr(starts[i - 1]);
    const std::string candidate = Side == 0 ? part + "..." : "..." + part;
    if (Canvas->TextWidth(candidate) <= Width) return candidate;
  }
}

TIEMText::TIEMText(TZodazUrMView* Owner, uint8_t Position)
    : owner_(Owner), position_(Position), font_(std::make_unique<TFont>()) {
  if (owner_) {
    Background = owner_->Background();
    font_->Assign(*owner_->CaptionFont(Position));
  }
}

TIEMText::~TIEMText() = default;

void TIEMText::SetCaption(const std::string& Text) {
  if (owner_ && position_ != 2) {
    // Measured with the caption's font; no relayout, the next paint uses the new gaps.
    TBitmap measure(1, 1);
    measure.Canvas()->Font()->Assign(*font_);
    const int32_t h = measure.Canvas()->TextHeight(Text.empty() ? std::string("Ag") : Text);
    if (position_ == 0) {
      if (owner_->upperGap_ < h + 2) owner_->upperGap_ = h + 2;
    } else if (owner_->bottomGap_ < h + 2) {
      owner_->bottomGap_ = owner_->style_ == iemsACD ? h + 4 : h + 2;
    }
  }
  caption_ = Text;
}

// ---------------------------------------------------------------------------------- Paint

void TZodazUrMView::Paint() {
  if (paintLockCount_ != 0 || !HandleAllocated()) return;
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  if (cw <= 0 || ch <= 0) return;
  window_ = Handle();
  if (backBuffer_->Width() != cw || backBuffer_->Height() != ch || backBuffer_->PixelFormat() != ie24RGB)
    backBuffer_->Allocate(cw, ch, ie24RGB);
  TBitmap* bitmap = backBuffer_->GetTBitmap();
  if (!bitmap) return;
  // Only the update region is composed and shown: a finished load marks its own cell alone.
  TRect area = Canvas()->ClipRect();
  area.Left = std::clamp(area.Left, 0, cw);
  area.Top = std::clamp(area.Top, 0, ch);
  area.Right = area.Right <= area.Left ? cw : std::clamp(area.Right, 0, cw);
  area.Bottom = area.Bottom <= area.Top ? ch : std::clamp(area.Bottom, 0, ch);
  PaintArea(bitmap, area);
  HDC dc = Canvas()->Handle();
  HDC src = backBuffer_->GetCanvas()->Handle();
  const int32_t x = area.Left, y = area.Top, w = area.Right - area.Left, h = area.Bottom - area.Top;
  // The update region's box was composed whole, so all of it is shown (not only the region): a
  // cell this paint composed is on the screen when the paint ends.
  SelectClipRgn(dc, nullptr);
  IntersectClipRect(dc, x, y, x + w, y + h);
  if (ScreenBitsPerPixel >= 24 || IsRemoteSession) {
    BitBlt(dc, x, y, w, h, src, x, y, SRCCOPY);
  } else {
    const int32_t old = SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, x, y, w, h, src, x, y, w, h, SRCCOPY);
    SetStretchBltMode(dc, old);
  }
}

TRect TZodazUrMView::CellPaintRect(const TIEMImageInfo& Record) const {
  const int32_t m = std::max(thumbnailsBorderWidth_, selectionWidth_) + 1;
  const int32_t left = Record.X - viewX_, top = Record.Y - viewY_;
  return TRect{left - m, top - m, left + thumbWidth_ + m, top + thumbHeight_ + m};
}

void TZodazUrMView::PaintTo(TBitmap* Bitmap) {
  if (!Bitmap) return;
  PaintArea(Bitmap, TRect{0, 0, ClientWidth(), ClientHeight()});
}

void TZodazUrMView::PaintArea(TBitmap* Bitmap, const TRect& Area) {
  if (!Bitmap) return;
  // A cell marked for repainting during a paint may never get its paint (the toolkit drops what is
  // marked while it paints): a partial paint leaves finished loads to their posted message, which
  // stores them and marks their cells outside painting.
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  const bool whole = Area.Left <= 0 && Area.Top <= 0 && Area.Right >= cw && Area.Bottom >= ch;
  const std::vector<TRect> stored = whole ? StoreFinishedLoads() : std::vector<TRect>{};
  // Whether this paint shows all of what a cell reaches within the client area.
  auto shownWhole = [&](const TRect& Reach) {
    const int32_t l = std::max(Reach.Left, 0), t = std::max(Reach.Top, 0);
    const int32_t r = std::min(Reach.Right, cw), b = std::min(Reach.Bottom, ch);
    return whole || l >= r || t >= b || (l >= Area.Left && t >= Area.Top && r <= Area.Right && b <= Area.Bottom);
  };
  // A cell that got its image in this paint but is not shown whole by it waits for its own paint:
  // until then not everything is displayed.
  bool cellsToShow = false;
  for (const TRect& cell : stored)
    if (!shownWhole(cell)) cellsToShow = true;
  HDC target = Bitmap->Canvas()->Handle();
  const int32_t saved = whole ? 0 : SaveDC(target);
  if (!whole) IntersectClipRect(target, Area.Left, Area.Top, Area.Right, Area.Bottom);
  DrawViewBackground(ComponentState(), Bitmap->Canvas(), Bitmap, backgroundStyle_, Background(), 0, 0, cw, ch, 0, 0,
                     0, 0, chessboardSize_, chessboardBrushStyle_, gradientEndColor_, wallPaper_.get(),
                     wallPaperStyle_);
  bool previous = false, deleted = false;
  int32_t firstVisible = -1, lastVisible = -1;
  int32_t n = 0;
  for (;;) {
    const int32_t count = ImageCount();
    n = displayMode_ == mdSingle && count > 0 ? 1 : count;
    int32_t index = 0;
    if ((displayMode_ == mdSingle || playing_) && count > 0) {
      currentFrame_ = std::clamp(currentFrame_, 0, count - 1);
      index = currentFrame_;
    }
    previous = allDisplayed_;
    allDisplayed_ = true;
    firstVisible = -1;
    lastVisible = count - 1;
    int32_t drawn = 0;
    bool restart = false;
    for (int32_t k = 0; k < n; ++k) {
      if (OnDrawProgress && n > 1) OnDrawProgress(this, static_cast<int32_t>(std::trunc(100.0 * k / n)), index);
      bool visible;
      {
        Guard g(lock_);
        TIEMImageInfo* r = RecordAt(index);
        visible = r && CellVisibleForLoad(*r);
      }
      if (visible) {
        if (firstVisible < 0) firstVisible = index;
        bool missing;
        {
          Guard g(lock_);
          TIEMImageInfo* r = RecordAt(index);
          missing = !r->Image && !r->CacheImage;
        }
        if (missing) {
          previous = false;
          const bool queued = index != selectedImage_ && threadPoolSize_.load() != 0 && QueueImageLoad(index, drawn);
          if (!queued && !LoadImageNow(index) && removeCorrupted_) {
            DeleteImageCore(index);
            restart = true;
            break;
          }
          if (!queued) {
            Guard g(lock_);
            const TRect cell = CellPaintRect(*RecordAt(index));
            if (!shownWhole(cell)) {
              cellsToShow = true;
              lateCells_.push_back(cell);
            }
          }
        }
        const bool selected =
            (index == selectedImage_ ||
             (enableMultiSelect_ && std::find(multiSelection_.begin(), multiSelection_.end(), index) != multiSelection_.end())) &&
            visibleSelection_ && displayMode_ == mdGrid;
        {
          Guard g(lock_);
          TIEMImageInfo* r = RecordAt(index);
          if (!r->Image && !r->CacheImage) allDisplayed_ = false;
          // A handler may draw a cell anywhere: with one, every visible cell is drawn.
          const TRect reach = CellPaintRect(*r);
          if (whole || OnBeforeImageDrawEx || OnBeforeImageDraw || OnImageDraw || OnImageDraw2 ||
              (reach.Left < Area.Right && reach.Right > Area.Left && reach.Top < Area.Bottom && reach.Bottom > Area.Top))
            DrawThumbnail(Bitmap, *r, index, selected);
        }
        ++drawn;
      } else if (firstVisible >= 0 && lastVisible == count - 1) {
        lastVisible = index - 1;
      }
      index = count > 0 ? (index + 1) % count : 0;
    }
    if (!restart) break;
    deleted = true;
  }
  // Images far outside the visible range that can be loaded again give their pixels back; their
  // thumbnails stay. A checked-out image stays as it is.
  {
    Guard g(lock_);
    constexpr int32_t keep = 15;
    for (int32_t i = 0; i < static_cast<int32_t>(images_.size()); ++i) {
      TIEMImageInfo& r = *images_[static_cast<size_t>(i)];
      if ((i < firstVisible - keep || i > lastVisible + keep) && !r.FileName.empty() && r.Image &&
          !r.Image->CheckedOut) {
        imageList_->Delete(r.Image);
        r.Image = nullptr;
      }
    }
  }
  if (cellsToShow) allDisplayed_ = false;
  // Cells loaded here but not shown whole are marked once the paint is over.
  if (!lateCells_.empty() && HandleAllocated()) PostMessage(Handle(), IEM_THUMBLOADED, 0, 0);
  if (!whole) {
    RestoreDC(target, saved);
    // A corrupted image removed here moved the cells after it: all of them are shown again.
    if (deleted) Invalidate();
  }
  if (OnDrawProgress && n > 1) OnDrawProgress(this, 100, 0);
  if (allDisplayed_ && !previous && OnAllDisplayed) OnAllDisplayed(this);
}

void TZodazUrMView::DrawThumbnail(TBitmap* Bitmap, TIEMImageInfo& Record, int32_t Index, bool Selected) {
  Guard g(lock_);
  TCanvas* c = Bitmap->Canvas();
  int32_t left = Record.X - viewX_, top = Record.Y - viewY_, w = thumbWidth_, h = thumbHeight_;
  if (OnBeforeImageDraw) OnBeforeImageDraw(this, Index, left, top, c);
  if (OnBeforeImageDrawEx) {
    TRect thumb{0, 0, w, h};
    OnBeforeImageDrawEx(this, Index, left, top, Bitmap, thumb);
    w = thumb.Right - thumb.Left;
    h = thumb.Bottom - thumb.Top;
    left += thumb.Left;
    top += thumb.Top;
  }
  int32_t infoH = 0;
  if (!Record.InfoText->Caption().empty()) {
    c->Font()->Assign(*Record.InfoText->Font());
    infoH = c->TextHeight(Record.InfoText->Caption());
  }
  const int32_t a = h - bottomGap_ - upperGap_ - infoH;
  TColor fill = thumbnailsBackground_;
  if (Selected && selectionStyle_ == iessACD) fill = clHighlight;
  else if (drawImageBackground_) fill = Record.Background;
  if (fillThumbnail_)
    DrawViewBackground(ComponentState(), c, Bitmap, thumbnailsBackgroundStyle_, fill, left, top, w, h, 0, 0, 0, 0,
                       chessboardSize_, chessboardBrushStyle_, gradientEndColor_, nullptr, iewoNormal);

  int32_t iw = 0, ih = 0, ix = 0, iy = 0;
  if (Record.Image && !Record.CacheImage) {
    const int32_t sw = imageList_->GetImageWidth(Record.Image), sh = imageList_->GetImageHeight(Record.Image);
    ScaleToFit(sw, sh, w, std::max(a, 1), iw, ih);
    ix = left + std::abs(w - iw) / 2;
    iy = top + upperGap_ + std::abs(a - ih) / 2;
    TIEBitmap wrapper;
    if (iw > 0 && ih > 0 && WrapStored(*imageList_, Record.Image, wrapper)) {
      const TIEPixelFormat format = wrapper.PixelFormat();
      const bool reduce1 = format == ie1g && (iw < sw || ih < sh);
      auto d = std::make_unique<TIEBitmap>();
      d->Allocate(iw, ih, reduce1 ? ie24RGB : format);
      wrapper.CopyPaletteTo(d.get());
      ResampleBitmap(wrapper, *d, reduce1 ? rfFastLinear : rfNone, nullptr, nullptr);
      wrapper.FreeImage(true);  // the store's rows are let go here
      if (softShadow_.Enabled) {
        TIEBitmap shadowed;
        d->MoveStorageTo(shadowed);
        shadowed.ConvertPixelFormat(ie24RGB);
        AddSoftShadowToBitmap(shadowed, softShadow_.Radius, softShadow_.OffsetX, softShadow_.OffsetY,
                              softShadow_.Intensity, true, softShadow_.Color, nullptr, nullptr);
        d->Allocate(iw, ih, ie24RGB);
        ResampleBitmap(shadowed, *d, rfTriangle, nullptr, nullptr);
        const int32_t ow = std::max(shadowed.Width(), 1), oh = std::max(shadowed.Height(), 1);
        const double sx = static_cast<double>(iw) / ow, sy = static_cast<double>(ih) / oh;
        const int32_t dx = (ow - iw) / 2, dy = (oh - ih) / 2;
        Record.DrawnRect = TRect{static_cast<int32_t>(std::trunc(dx * sx)), static_cast<int32_t>(std::trunc(dy * sy)),
                                 static_cast<int32_t>(std::trunc((iw + dx) * sx)) + 1,
                                 static_cast<int32_t>(std::trunc((ih + dy) * sy)) + 1};
      } else {
        Record.DrawnRect = TRect{0, 0, iw, ih};
      }
      d->RenderToTBitmapEx(Bitmap, nullptr, nullptr, nullptr, nullptr, ix, iy, iw, ih, 0, 0, iw, ih,
                           enableAlphaChannel_, false, 255, rfNone, true, 0);
      try {
        Record.CacheImage = cacheList_->AddBitmap(d.get());
        cacheList_->SetImageOriginalWidth(Record.CacheImage, imageList_->GetImageOriginalWidth(Record.Image));
        cacheList_->SetImageOriginalHeight(Record.CacheImage, imageList_->GetImageOriginalHeight(Record.Image));
      } catch (const std::exception&) {
        Record.CacheImage = nullptr;  // drawn again next time
      }
    }
  } else if (Record.CacheImage) {
    iw = cacheList_->GetImageWidth(Record.CacheImage);
    ih = cacheList_->GetImageHeight(Record.CacheImage);
    ix = left + std::abs(w - iw) / 2;
    iy = top + upperGap_ + std::abs(a - ih) / 2;
    TIEBitmap wrapper;
    if (WrapStored(*cacheList_, Record.CacheImage, wrapper))
      wrapper.RenderToTBitmapEx(Bitmap, nullptr, nullptr, nullptr, nullptr, ix, iy, iw, ih, 0, 0, iw, ih, true, false,
                                255, rfNone, true, 0);
  }

  if (Record.Image || Record.CacheImage) {
    if (thumbnailsInternalBorder_) {
      c->Pen()->SetStyle(psSolid);
      c->Pen()->SetMode(pmCopy);
      c->Pen()->SetWidth(1);
      c->Pen()->SetColor(thumbnailsInternalBorderColor_);
      c->Brush()->SetStyle(bsClear);
      c->Rectangle(ix + Record.DrawnRect.Left, iy + Record.DrawnRect.Top, ix + Record.DrawnRect.Right,
                   iy + Record.DrawnRect.Bottom);
    }
    if (fillThumbnail_) {
      c->Brush()->SetStyle(bsSolid);
      c->Brush()->SetColor(fill);
      c->FillRect(TRect{left, top, ix, top + h});
      c->FillRect(TRect{ix + iw, top, left + w, top + h});
      c->FillRect(TRect{ix, top, ix + iw, iy});
      c->FillRect(TRect{ix, iy + ih, ix + iw, top + h});
    }
  }

  // Captions.
  auto prepare = [&](TIEMText& t) {
    c->Font()->Assign(*t.Font());
    c->Brush()->SetStyle(t.BrushStyle);
    if (Selected && selectionStyle_ == iessACD) {
      c->Font()->SetColor(clHighlightText);
      if (t.BrushStyle != bsClear) c->Brush()->SetColor(clHighlight);
    } else if (t.BrushStyle != bsClear) {
      c->Brush()->SetColor(t.Background);
    }
    return IEShortenCaption(c, t.Caption(), w, t.TruncateSide);
  };
  if (!Record.TopText->Caption().empty()) {
    const std::string text = prepare(*Record.TopText);
    const int32_t th = c->TextHeight(text), tw = c->TextWidth(text);
    if (style_ == iemsFlat && Record.TopText->BrushStyle == bsSolid) c->FillRect(TRect{left, top, left + w, top + th});
    c->TextOut(left + (w - tw) / 2, top, text);
  }
  if (!Record.InfoText->Caption().empty()) {
    const std::string text = prepare(*Record.InfoText);
    const int32_t tw = c->TextWidth(text);
    const int32_t y = top + h - bottomGap_ - infoH;
    if (style_ == iemsFlat && Record.InfoText->BrushStyle == bsSolid)
      c->FillRect(TRect{left, y, left + w, top + h - bottomGap_});
    c->TextOut(left + (w - tw) / 2, y, text);
  }
  int32_t bh = 0;
  if (!Record.BottomText->Caption().empty()) {
    const std::string text = prepare(*Record.BottomText);
    bh = c->TextHeight(text);
    const int32_t tw = c->TextWidth(text);
    if (Record.BottomText->BrushStyle == bsSolid) c->FillRect(TRect{left, top + h - bh - 1, left + w, top + h});
    c->TextOut(left + (w - (tw + 2)) / 2 + 1, top + h - bh - 1, text);
    bh += 3;
  }

  if (style_ == iemsACD) {
    if (iw > 0 && ih > 0)
      DrawFrame3D(c, ix, iy, ix + iw - 1, iy + ih - 1, static_cast<TColor>(0x808080), static_cast<TColor>(0xFFFFFF));
    if (upperGap_ + bottomGap_ > 0 || !Record.InfoText->Caption().empty())
      DrawFrame3D(c, left, top, left + w - 1, top + h - bh - 1, static_cast<TColor>(0xFFFFFF), static_cast<TColor>(0));
    if (!Record.BottomText->Caption().empty())
      DrawFrame3D(c, left, top + h - bh + 2, left + w - 1, top + h - 1, static_cast<TColor>(0x808080),
                  static_cast<TColor>(0xFFFFFF));
  }
  if (OnImageDraw) OnImageDraw(this, Index, left, top, c);
  if (OnImageDraw2) OnImageDraw2(this, Index, left, top, TRect{ix, iy, ix + iw, iy + ih}, c);
  if (thumbnailsBorderWidth_ > 0) {
    c->Pen()->SetStyle(psSolid);
    c->Pen()->SetMode(pmCopy);
    c->Pen()->SetWidth(1);
    c->Pen()->SetColor(thumbnailsBorderColor_);
    c->Brush()->SetStyle(bsClear);
    for (int32_t i = 1; i <= thumbnailsBorderWidth_; ++i) c->Rectangle(left - i, top - i, left + w + i, top + h + i);
  }
  if (Selected && selectionStyle_ != iessACD && !OnBeforeImageDrawEx) {
    const int32_t s = Focused() ? selectionWidth_ : 1;
    TIECanvas ie(c);
    ie.Pen()->SetStyle(psSolid);
    ie.Pen()->SetMode(pmCopy);
    ie.Pen()->SetColor(selectionColor_);
    ie.Pen()->SetWidth(static_cast<float>(s));
    ie.Brush()->SetStyle(bsClear);
    ie.RoundRect(left - s / 2, top - s / 2, left + w + s / 2 - 1, top + h + s / 2 - 1, 4, 4);
  }
}
