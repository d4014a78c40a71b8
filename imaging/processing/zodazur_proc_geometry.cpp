// TZodazUrProc: operations that change the image's size or orientation. Each makes the new pixels
// first and only then replaces the image's, so that one whose memory cannot be had leaves the image
// as it was.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_compare.h"
#include "imaging/processing/ie_flip_turn.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_row_table.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/system/exception.h"

namespace {

// Where an image of Old pixels starts in a canvas of New pixels: 0 left or top, 1 centred, 2 right
// or bottom.
int32_t AlignedOffset(int32_t Old, int32_t New, int32_t Align) {
  if (Align == 1) return (New - Old) / 2;
  if (Align == 2) return New - Old;
  return 0;
}

// A new alpha channel of the given size in the bitmap's kind of storage; nil when it cannot be had.
std::unique_ptr<TIEBitmap> NewAlphaFor(TIEBitmap& Bitmap, int32_t Width, int32_t Height) {
  std::unique_ptr<TIEBitmap> alpha =
      TIEBitmap::CreateAsAlphaChannel(Width, Height, Bitmap.Location() == ieFile ? ieFile : ieMemory);
  if (!alpha || alpha->IsEmpty()) return nullptr;
  return alpha;
}

// A size of ResampleTo from the asked one: -1 from the other side's new size, 0 the current one,
// another value its magnitude; at least 1.
int32_t ResampledSize(int32_t Asked, int32_t Current, int64_t FromOther) {
  int64_t v = Asked == -1 ? FromOther : (Asked == 0 ? Current : std::llabs(static_cast<int64_t>(Asked)));
  return static_cast<int32_t>(std::clamp<int64_t>(v, 1, INT32_MAX));
}

}  // namespace

void TZodazUrProc::Flip(TIEFlipDirection Direction) {
  if (!PrepareBitmap(0)) return;
  if (autoUndo_) SaveUndoCaptioned("Flip", ieuImage);
  FlipBitmap(*bitmap_, Direction);
  Update();
  DoFinishWork();
}

void TZodazUrProc::ImageResize(int32_t NewWidth, int32_t NewHeight, uint8_t HorizAlign, uint8_t VertAlign,
                               int32_t FillAlpha) {
  if (!PrepareBitmap(0)) return;
  TIEBitmap& b = *bitmap_;
  const int32_t w = b.Width(), h = b.Height();
  if (NewWidth <= 0 || NewHeight <= 0 || (NewWidth == w && NewHeight == h)) return;
  if (autoUndo_) SaveUndoCaptioned("ImageResize " + std::to_string(NewWidth) + "," + std::to_string(NewHeight), ieuImage);
  const TIEPixelFormat format = b.PixelFormat() == ieNoFormat ? ie24RGB : b.PixelFormat();
  std::unique_ptr<TIEBitmap> result = NewResultBitmap(b);
  if (!result->Allocate(NewWidth, NewHeight, format)) return;
  b.CopyPaletteTo(result.get());
  const double background = ColorToFillValue(*result, Background());
  result->Fill(background);
  // An image below 2 x 2 pixels is cleared before it is placed.
  const bool clear = w < 2 && h < 2;
  const int32_t ox = AlignedOffset(w, NewWidth, HorizAlign), oy = AlignedOffset(h, NewHeight, VertAlign);
  if (!clear && !b.IsEmpty()) b.CopyRectTo(*result, 0, 0, ox, oy, w, h);
  FillAlpha = std::clamp(FillAlpha, 0, 255);
  if (FillAlpha < 255 || b.HasAlphaChannel()) {
    std::unique_ptr<TIEBitmap> alpha = NewAlphaFor(b, NewWidth, NewHeight);
    if (!alpha) return;
    alpha->Fill(FillAlpha);
    if (b.HasAlphaChannel() && !b.IsEmpty()) {
      TIEBitmap& old = *b.GetAlphaChannel();
      old.CopyRectTo(*alpha, 0, 0, ox, oy, w, h);
      alpha->SetFull(FillAlpha == 255 && old.Full());
    } else {
      alpha->SetFull(false);
      if (!b.IsEmpty()) alpha->FillRect(ox, oy, ox + w - 1, oy + h - 1, 255);
    }
    result->SetAlphaChannel(std::move(alpha));
  }
  TakeResultImage(b, *result, true);
  Update();
  DoFinishWork();
}

bool TZodazUrProc::ResampleInto(TIEBitmap& Dest, int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter) {
  if (!PrepareBitmap(0)) return false;
  TIEBitmap& b = *bitmap_;
  const int32_t w = b.Width(), h = b.Height();
  if (w == 0 || h == 0 || (NewWidth < 0 && NewHeight < 0) || &Dest == &b) return false;
  const int32_t width = ResampledSize(NewWidth, w, int64_t{NewHeight} * w / h);
  const int32_t height = ResampledSize(NewHeight, h, int64_t{width} * h / w);
  if (!Dest.Allocate(width, height, b.PixelFormat())) return false;
  try {
    ResampleBitmap(b, Dest, Filter, OnProgress, this);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const EOutOfMemory&) {
    return false;
  }
  DoFinishWork();
  return true;
}

void TZodazUrProc::ResampleTo(TIEBitmap& Dest, int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter) {
  ResampleInto(Dest, NewWidth, NewHeight, Filter);
}

void TZodazUrProc::Resample(int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter) {
  if (!PrepareBitmap(0)) return;
  TIEBitmap& b = *bitmap_;
  if (b.Width() == 0 || b.Height() == 0 || (NewWidth == b.Width() && NewHeight == b.Height())) return;
  if (NewWidth < 0 && NewHeight < 0) return;
  if (autoUndo_) SaveUndoCaptioned(Format("Resample %d, %d", NewWidth, NewHeight), ieuImage);
  std::unique_ptr<TIEBitmap> result = NewResultBitmap(b);
  if (!ResampleInto(*result, NewWidth, NewHeight, Filter)) return;
  TakeResultImage(b, *result, true);
  Update();
  DoFinishWork();
}

void TZodazUrProc::Clear() {
  if (!PrepareBitmap(0)) return;
  if (autoUndo_) SaveUndoCaptioned("Clear", ieuImage);
  bitmap_->Fill(ColorToFillValue(*bitmap_, Background()));
  Update();
  DoFinishWork();
}

void TZodazUrProc::Crop(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (!PrepareBitmap(0)) return;
  TIEBitmap& b = *bitmap_;
  const int32_t w = b.Width(), h = b.Height();
  // Clipped to the image; what is left of a reversed or outside rectangle is nothing.
  const int32_t x1 = std::max(X1, 0), y1 = std::max(Y1, 0);
  const int32_t x2 = std::min(X2, w - 1), y2 = std::min(Y2, h - 1);
  if (x2 < x1 || y2 < y1 || (x1 == 0 && y1 == 0 && x2 == w - 1 && y2 == h - 1)) return;
  if (autoUndo_) SaveUndoCaptioned(Format("Crop %d, %d, %d, %d", X1, Y1, X2, Y2), ieuImage);
  const int32_t width = x2 - x1 + 1, height = y2 - y1 + 1;
  std::unique_ptr<TIEBitmap> result = NewResultBitmap(b);
  if (!result->Allocate(width, height, b.PixelFormat())) return;
  b.CopyPaletteTo(result.get());
  b.CopyRectTo(*result, x1, y1, 0, 0, width, height);
  if (b.HasAlphaChannel()) {
    std::unique_ptr<TIEBitmap> alpha = NewAlphaFor(b, width, height);
    if (!alpha) return;
    TIEBitmap& old = *b.GetAlphaChannel();
    old.CopyRectTo(*alpha, x1, y1, 0, 0, width, height);
    alpha->SetFull(old.Full());
    result->SetAlphaChannel(std::move(alpha));
  }
  TakeResultImage(b, *result, true);
  Update();
  DoFinishWork();
}

void TZodazUrProc::CropToRect(const TRect& Rect) { Crop(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }

void TZodazUrProc::CropSel(bool ToAlpha) {
  if (!PrepareBitmap(0)) return;
  if (autoUndo_) SaveUndoCaptioned("CropSel", ieuImage);
  TIEBitmap& b = *bitmap_;
  int32_t x1, y1, x2, y2, polyCount;
  const TPoint* poly = nullptr;
  TIEMask* mask = nullptr;
  const bool selected = GetSelectedArea(x1, y1, x2, y2, poly, polyCount, mask);
  if (selected && mask && !mask->IsEmpty() && !b.IsEmpty()) {
    const int32_t w = b.Width(), h = b.Height();
    if (ToAlpha) {
      // The mask as an 8-bit alpha channel: 255 where a 1-bit mask selects, an 8-bit mask's values.
      std::unique_ptr<TIEBitmap> alpha = NewAlphaFor(b, w, h);
      if (alpha) {
        alpha->Fill(0);
        const int32_t cols = std::min(w, mask->Width()), rows = std::min(h, mask->Height());
        TIERowAccessScope writeOnly(*alpha, iraReadWrite);
        for (int32_t y = 0; y < rows; ++y) {
          const uint8_t* m = mask->GetRow(y);
          auto* a = static_cast<uint8_t*>(alpha->GetRow(y));
          if (mask->BitsPerPixel() == 1) {
            for (int32_t x = 0; x < cols; ++x) a[x] = (m[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
          } else if (mask->BitsPerPixel() == 8) {
            std::copy(m, m + cols, a);
          }
        }
        alpha->SyncFull();
        b.SetAlphaChannel(std::move(alpha));
      }
    } else {
      // The mask's box (clipped on the right and at the bottom by the image), unselected pixels
      // transparent.
      const int32_t bx = mask->X1(), by = mask->Y1();
      const int32_t width = std::min(mask->X2(), w - 1) - bx + 1, height = std::min(mask->Y2(), h - 1) - by + 1;
      std::unique_ptr<TIEBitmap> result = NewResultBitmap(b);
      if (width > 0 && height > 0 && result->Allocate(width, height, b.PixelFormat())) {
        b.CopyPaletteTo(result.get());
        result->Fill(ColorToFillValue(*result, Background()));
        if (result->GetAlphaChannel() && !result->GetAlphaChannel()->IsEmpty()) {
          mask->MaskedCopy(*result, b, true, false, true);
          TakeResultImage(b, *result, true);
          TIEBitmap* alpha = b.GetAlphaChannel();
          alpha->SyncFull();
          if (alpha->Full()) b.RemoveAlphaChannel(false);
        }
      }
    }
  }
  Update();
  DoFinishWork();
}

void TZodazUrProc::CropTransparency() {
  if (!PrepareBitmap(0)) return;
  TRect opaque;
  GetOpaqueRect(*bitmap_, opaque);
  // The crop records no undo step; AutoUndo comes back on every path.
  struct TRestore {
    bool& flag;
    bool saved;
    ~TRestore() { flag = saved; }
  } restore{autoUndo_, autoUndo_};
  autoUndo_ = false;
  CropToRect(opaque);
}
