#pragma once
// TIELayer: one layer of a single-image view. Layer 0 is the image; further layers lie over it at a
// position, with their own size, opacity, rotation, optional mask and magnifier. The view owns its
// layers; a layer owns its bitmap (and the framework bitmap that bitmap wraps) unless it was given
// one it must not free.
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/core/ie_defs.h"
#include "platform/system/guid.h"
#include "platform/system/types.h"

class TBitmap;
class TIEBitmap;
class TZodazUrView;

// A rectangle as its corner and size.
struct TIELayerRect {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

struct TIEMagnify {
  bool Enabled = false;
  double Rate = 2.0;
  uint8_t Style = 0;   // 0 rectangle, 1 ellipse
  uint8_t Source = 1;  // 0 layer 0's image, 1 what is already drawn
};

class TIELayer {
 public:
  // A new layer of View with a new identity. With UseGiven the layer takes Source (owning it);
  // otherwise it makes its own empty bitmap shaped like Source when one is given: a framework
  // bitmap of Source's size and format when Source lives in one, else Source's location with an
  // allocation of its size and format.
  TIELayer(TZodazUrView* View, bool UseGiven, std::unique_ptr<TIEBitmap> Source);
  TIELayer(TZodazUrView* View, TIEBitmap* ShapeLike);
  ~TIELayer();
  TIELayer(const TIELayer&) = delete;
  TIELayer& operator=(const TIELayer&) = delete;

  // Back to the defaults of a fresh layer, keeping bitmap, caches, filter, name and identity.
  void Reset();
  // Copies the settings and the pixels of Source; not the rotation, its centre or the identity.
  void Assign(TIELayer& Source);

  // Width or Height, or the bitmap's when 0.
  int32_t GetWidth() const;
  int32_t GetHeight() const;
  // A whole multiple of 360 is stored as 0; anything else as given.
  void SetRotate(double Angle);
  double Rotate() const { return rotate_; }

  // Conversions between client coordinates and this layer's bitmap.
  int32_t ConvXScr2Bmp(int32_t X) const;
  int32_t ConvYScr2Bmp(int32_t Y) const;
  int32_t ConvXBmp2Scr(int32_t X) const;
  int32_t ConvYBmp2Scr(int32_t Y) const;

  // ---- The bitmap ----
  TIEBitmap* Bitmap() const { return bitmap_; }
  bool OwnsBitmap() const { return ownsBitmap_; }
  // Takes Bitmap as the layer's own (freeing the previous own one, and the framework bitmap it
  // wrapped).
  void SetOwnBitmap(std::unique_ptr<TIEBitmap> Bitmap);
  // Shows Bitmap without owning it (the previous own bitmap is freed).
  void SetExternalBitmap(TIEBitmap* Bitmap);
  // Points the layer at Bitmap, which the view hands back after working on it; ownership stays as
  // it was (the view never replaces the object of an owned bitmap this way).
  void StoreBitmap(TIEBitmap* Bitmap) { bitmap_ = Bitmap; }
  // The framework bitmap the layer's bitmap wraps and the layer frees with it; nil when none.
  TBitmap* WrappedTBitmap() const { return wrapped_.get(); }
  void SetWrappedTBitmap(std::unique_ptr<TBitmap> Bitmap);
  // Lets go of the wrapped framework bitmap (after the bitmap moved its pixels elsewhere).
  void FreeWrappedTBitmap();

  // The layer's alpha channel combined with its mask layer (dropped by the view's refresh).
  std::unique_ptr<TIEBitmap> MaskedAlphaCache;

  TZodazUrView* Owner = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  bool Visible = true;
  bool VisibleBox = true;
  int32_t Transparency = 255;
  int32_t PosX = 0, PosY = 0;
  TRect ClientAreaBox{0, 0, 0, 0};
  bool Cropped = false;
  bool Locked = false;
  bool Selectable = true;
  TIEMagnify Magnify;
  uint8_t Operation = 0;
  void* UserData = nullptr;
  int32_t UserDataLen = 0;
  TResampleFilter ResampleFilter = rfNone;
  bool UseResampleFilter = false;
  std::string Name;
  bool IsMask = false;
  // Client rectangle (x, y, width, height) and source rectangle of the last drawing.
  TIELayerRect DrawRect;
  TIELayerRect SrcRect;
  TPoint Corners[4] = {};
  bool DrawOuter = false;
  TGUID GUID{};
  double RotateCenterX = 0.5, RotateCenterY = 0.5;

 private:
  void FreeOwnBitmap();
  TIEBitmap* bitmap_ = nullptr;
  std::unique_ptr<TIEBitmap> own_;
  std::unique_ptr<TBitmap> wrapped_;
  bool ownsBitmap_ = true;
  double rotate_ = 0;
};
