// TIEBitmap: size changes that keep the pixels, row alignment and rectangle moves.
#include <algorithm>
#include <cstring>

#include "imaging/core/ie_bitmap.h"

bool TIEBitmap::Rebuild(int32_t NewWidth, int32_t NewHeight, int32_t NewAlignment) {
  TIEBitmap old;
  MoveStorageTo(old);
  rowAlignment_ = NewAlignment;
  if (!AllocateKeepingAlpha(NewWidth, NewHeight, old.pixelFormat_)) {
    if (NewWidth >= 1 && NewHeight >= 1) {
      // No memory for the new size: the image stays as it was.
      old.MoveStorageTo(*this);
      return false;
    }
    alphaChannel_ = std::move(old.alphaChannel_);
    return true;
  }
  CopyRowsFrom(old);
  old.CopyPaletteTo(this);
  alphaChannel_ = std::move(old.alphaChannel_);
  isAlphaChannel_ = old.isAlphaChannel_;
  return true;
}

void TIEBitmap::SetRowAlignment(int32_t Bits) {
  if (Bits == rowAlignment_) return;
  reallocPending_ = true;
  if (IsEmpty()) {
    // No rows to lay out again.
    rowAlignment_ = Bits;
    return;
  }
  if (location_ != ieMemory) return;
  const bool full = full_;
  if (Rebuild(width_, height_, Bits)) full_ = full;
}

void TIEBitmap::SetWidth(int32_t NewWidth) {
  if (NewWidth == GetWidth()) return;
  if (alphaChannel_) alphaChannel_->SetWidth(NewWidth);
  if (location_ == ieTBitmap) {
    ResizeFrameworkBitmap(NewWidth, height_);
    return;
  }
  if (pixelFormat_ != ieNoFormat && height_ > 0) {
    if (Rebuild(NewWidth, height_, rowAlignment_)) full_ = false;
  } else {
    width_ = NewWidth;
  }
}

void TIEBitmap::SetHeight(int32_t NewHeight) {
  if (NewHeight == GetHeight()) return;
  if (alphaChannel_) alphaChannel_->SetHeight(NewHeight);
  if (location_ == ieTBitmap) {
    ResizeFrameworkBitmap(width_, NewHeight);
    return;
  }
  if (pixelFormat_ != ieNoFormat && width_ > 0) {
    if (Rebuild(width_, NewHeight, rowAlignment_)) full_ = false;
  } else {
    height_ = NewHeight;
  }
}

void TIEBitmap::Resize(int32_t NewWidth, int32_t NewHeight, double Background, int32_t AlphaFill,
                       int32_t HorizAlign, int32_t VertAlign) {
  const int32_t oldWidth = GetWidth();
  const int32_t oldHeight = GetHeight();
  AlignContentBeforeShrink(NewWidth, NewHeight, Background, HorizAlign, VertAlign);
  if (alphaChannel_) alphaChannel_->AlignContentBeforeShrink(NewWidth, NewHeight, AlphaFill, HorizAlign, VertAlign);
  SetWidth(NewWidth);
  SetHeight(NewHeight);
  AlignContentAfterGrow(oldWidth, oldHeight, Background, HorizAlign, VertAlign);
  if (alphaChannel_) alphaChannel_->AlignContentAfterGrow(oldWidth, oldHeight, AlphaFill, HorizAlign, VertAlign);
}

void TIEBitmap::AlignContentBeforeShrink(int32_t NewWidth, int32_t NewHeight, double Fill, int32_t HorizAlign,
                                         int32_t VertAlign) {
  const int32_t width = GetWidth();
  const int32_t height = GetHeight();
  if (NewWidth < width) {
    const int32_t d = width - NewWidth;
    if (HorizAlign == 1)
      MoveRect(d / 2, 0, NewWidth + d / 2 - 1, height - 1, 0, 0, Fill, true);
    else if (HorizAlign == 2)
      MoveRect(d, 0, width - 1, height - 1, 0, 0, Fill, true);
  }
  if (NewHeight < height) {
    const int32_t d = height - NewHeight;
    if (VertAlign == 1)
      MoveRect(0, d / 2, width - 1, NewHeight + d / 2 - 1, 0, 0, Fill, true);
    else if (VertAlign == 2)
      MoveRect(0, d, width - 1, height - 1, 0, 0, Fill, true);
  }
}

void TIEBitmap::AlignContentAfterGrow(int32_t OldWidth, int32_t OldHeight, double Fill, int32_t HorizAlign,
                                      int32_t VertAlign) {
  const int32_t width = GetWidth();
  const int32_t height = GetHeight();
  if (OldWidth < width) {
    FillRect(OldWidth, 0, width - 1, height - 1, Fill);
    const int32_t d = width - OldWidth;
    if (HorizAlign == 1)
      MoveRect(0, 0, OldWidth - 1, OldHeight - 1, d / 2, 0, Fill, true);
    else if (HorizAlign == 2)
      MoveRect(0, 0, OldWidth - 1, OldHeight - 1, d, 0, Fill, true);
  }
  if (OldHeight < height) {
    FillRect(0, OldHeight, width - 1, height - 1, Fill);
    const int32_t d = height - OldHeight;
    if (VertAlign == 1)
      MoveRect(0, 0, width - 1, OldHeight - 1, 0, d / 2, Fill, true);
    else if (VertAlign == 2)
      MoveRect(0, 0, width - 1, OldHeight - 1, 0, d, Fill, true);
  }
}

void TIEBitmap::MoveRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DstX, int32_t DstY, double Fill,
                         bool FillSource) {
  if (IsEmpty()) return;
  // The source clipped to the bitmap; the destination corner follows a clipped top-left.
  if (X1 < 0) {
    DstX -= X1;
    X1 = 0;
  }
  if (Y1 < 0) {
    DstY -= Y1;
    Y1 = 0;
  }
  X2 = std::min(X2, width_ - 1);
  Y2 = std::min(Y2, height_ - 1);
  if (X2 < X1 || Y2 < Y1) return;
  const int32_t w = X2 - X1 + 1;
  const int32_t h = Y2 - Y1 + 1;
  TIEBitmap moved;
  moved.rowAlignment_ = rowAlignment_;
  if (!moved.Allocate(w, h, pixelFormat_)) return;
  CopyRectTo(moved, X1, Y1, 0, 0, w, h);
  if (FillSource) FillRect(X1, Y1, X2, Y2, Fill);
  moved.CopyRectTo(*this, 0, 0, DstX, DstY, w, h);
}
