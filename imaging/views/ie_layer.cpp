#include "imaging/views/ie_layer.h"

#include <cmath>
#include <cstdlib>

#include "imaging/core/ie_bitmap.h"
#include "imaging/views/zodazur_view.h"
#include "platform/gdi/bitmap.h"

TIELayer::TIELayer(TZodazUrView* View, bool UseGiven, std::unique_ptr<TIEBitmap> Source) : Owner(View) {
  GUID = CreateGUID();
  if (UseGiven && Source) {
    own_ = std::move(Source);
  } else {
    own_ = std::make_unique<TIEBitmap>();
  }
  bitmap_ = own_.get();
  ownsBitmap_ = true;
  Reset();
}

TIELayer::TIELayer(TZodazUrView* View, TIEBitmap* ShapeLike) : Owner(View) {
  GUID = CreateGUID();
  own_ = std::make_unique<TIEBitmap>();
  if (ShapeLike) {
    if (ShapeLike->Location() == ieTBitmap) {
      // A framework bitmap of the same size and depth, wrapped and owned by this layer.
      auto tbitmap = std::make_unique<TBitmap>();
      if (TBitmap* like = ShapeLike->GetTBitmap()) {
        tbitmap->SetPixelFormat(like->PixelFormat());
        tbitmap->SetSize(like->Width(), like->Height());
      }
      own_->WrapTBitmap(tbitmap.get(), false);
      wrapped_ = std::move(tbitmap);
    } else {
      own_->SetLocation(ShapeLike->Location());
      own_->Allocate(ShapeLike->Width(), ShapeLike->Height(), ShapeLike->PixelFormat());
    }
  }
  bitmap_ = own_.get();
  ownsBitmap_ = true;
  Reset();
}

TIELayer::~TIELayer() {
  FreeOwnBitmap();
  if (UserDataLen > 0) std::free(UserData);
}

void TIELayer::FreeOwnBitmap() {
  // The bitmap first: it may wrap the framework bitmap.
  own_.reset();
  wrapped_.reset();
}

void TIELayer::Reset() {
  Width = 0;
  Height = 0;
  rotate_ = 0;
  Visible = true;
  VisibleBox = true;
  Transparency = 255;
  PosX = PosY = 0;
  ClientAreaBox = TRect{0, 0, 0, 0};
  Cropped = false;
  Locked = false;
  Selectable = true;
  Magnify = TIEMagnify{};
  Operation = 0;
  if (UserDataLen > 0) std::free(UserData);
  UserData = nullptr;
  UserDataLen = 0;
  IsMask = false;
  DrawRect = TIELayerRect{};
  SrcRect = TIELayerRect{};
  for (TPoint& p : Corners) p = TPoint{0, 0};
  DrawOuter = false;
  RotateCenterX = RotateCenterY = 0.5;
}

void TIELayer::Assign(TIELayer& Source) {
  if (&Source == this) return;
  Width = Source.Width;
  Height = Source.Height;
  if (bitmap_ && Source.bitmap_) bitmap_->Assign(*Source.bitmap_);
  Visible = Source.Visible;
  VisibleBox = Source.VisibleBox;
  Selectable = Source.Selectable;
  Transparency = Source.Transparency;
  PosX = Source.PosX;
  PosY = Source.PosY;
  ClientAreaBox = Source.ClientAreaBox;
  Cropped = Source.Cropped;
  Locked = Source.Locked;
  Magnify = Source.Magnify;
  Operation = Source.Operation;
  // The pointer only: the data stays the source's to free.
  if (UserDataLen > 0) std::free(UserData);
  UserData = Source.UserData;
  UserDataLen = 0;
  ResampleFilter = Source.ResampleFilter;
  UseResampleFilter = Source.UseResampleFilter;
  Name = Source.Name;
  IsMask = Source.IsMask;
  DrawOuter = Source.DrawOuter;
}

int32_t TIELayer::GetWidth() const { return Width != 0 ? Width : (bitmap_ ? bitmap_->Width() : 0); }
int32_t TIELayer::GetHeight() const { return Height != 0 ? Height : (bitmap_ ? bitmap_->Height() : 0); }

void TIELayer::SetRotate(double Angle) {
  if (std::trunc(Angle) == Angle && std::fmod(Angle, 360.0) == 0) rotate_ = 0;
  else rotate_ = Angle;
}

int32_t TIELayer::ConvXScr2Bmp(int32_t X) const {
  const int32_t w = GetWidth();
  if (w == 0 || !Owner) return 0;
  const int32_t shift = static_cast<int32_t>(std::trunc(PosX * Owner->ZoomXFactor()));
  return static_cast<int32_t>(std::trunc(static_cast<double>(Owner->ClientToBitmapX(X - shift)) / w * bitmap_->Width()));
}

int32_t TIELayer::ConvYScr2Bmp(int32_t Y) const {
  const int32_t h = GetHeight();
  if (h == 0 || !Owner) return 0;
  const int32_t shift = static_cast<int32_t>(std::trunc(PosY * Owner->ZoomYFactor()));
  return static_cast<int32_t>(
      std::trunc(static_cast<double>(Owner->ClientToBitmapY(Y - shift)) / h * bitmap_->Height()));
}

int32_t TIELayer::ConvXBmp2Scr(int32_t X) const {
  if (!Owner || !bitmap_ || bitmap_->Width() == 0) return 0;
  const int32_t b = static_cast<int32_t>(std::trunc(static_cast<double>(X) / bitmap_->Width() * GetWidth()));
  return Owner->BitmapToClientX(b) + static_cast<int32_t>(std::trunc(PosX * Owner->ZoomXFactor()));
}

int32_t TIELayer::ConvYBmp2Scr(int32_t Y) const {
  if (!Owner || !bitmap_ || bitmap_->Height() == 0) return 0;
  const int32_t b = static_cast<int32_t>(std::trunc(static_cast<double>(Y) / bitmap_->Height() * GetHeight()));
  return Owner->BitmapToClientY(b) + static_cast<int32_t>(std::trunc(PosY * Owner->ZoomYFactor()));
}

void TIELayer::SetOwnBitmap(std::unique_ptr<TIEBitmap> Bitmap) {
  FreeOwnBitmap();
  own_ = std::move(Bitmap);
  bitmap_ = own_.get();
  ownsBitmap_ = true;
}

void TIELayer::SetExternalBitmap(TIEBitmap* Bitmap) {
  FreeOwnBitmap();
  bitmap_ = Bitmap;
  ownsBitmap_ = false;
}

void TIELayer::SetWrappedTBitmap(std::unique_ptr<TBitmap> Bitmap) { wrapped_ = std::move(Bitmap); }

void TIELayer::FreeWrappedTBitmap() { wrapped_.reset(); }
