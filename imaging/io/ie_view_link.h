#pragma once
// What the non-visual companions of an image view (the I/O component, later the processing and
// multi-image components) need of the view: its control, its current bitmaps, its background and
// resolution, the bitmap-change callbacks through which they follow its image, and the refresh
// hooks. The view classes (TIEView and its descendants) implement it; the companions hold a view
// only through this interface, so they build and test without the views.
#include <cstdint>
#include <functional>

#include "platform/gdi/color.h"

class TBitmap;
class TIEBitmap;
class TObject;
class TWinControl;

// Called by a view whenever its current bitmap is replaced or its image list changes (Destroying
// False), and once from its destructor (Destroying True). Sender is the view.
using TIEBitmapChangeEvent = std::function<void(TObject* Sender, bool Destroying)>;
// The registration of one callback; the view owns it. Nil is never a valid handle.
using TIEBitmapChangeHandle = void*;

// Which view class it is: the base view, the single-image view (TZodazUrView) or the thumbnail view
// (TZodazUrMView). Some companion rules depend on it.
enum TIEViewKind : uint8_t { ievkView, ievkImageView, ievkMultiView };

class TIEViewLink {
 public:
  virtual ~TIEViewLink() = default;

  // The view as a control: ownership, free notification, parent, window handle and Update.
  virtual TWinControl* ViewControl() = 0;
  virtual TIEViewKind ViewKind() = 0;

  // Registers a callback (in registration order) and returns its handle; removing an unknown or
  // nil handle is ignored. After the call with Destroying True the handle is gone.
  virtual TIEBitmapChangeHandle AddBitmapChangeEvent(TIEBitmapChangeEvent Callback) = 0;
  virtual void RemoveBitmapChangeEvent(TIEBitmapChangeHandle Handle) = 0;

  // The view's current TIEBitmap (a single-image view never answers nil; a thumbnail view answers
  // its selected image's), and the framework bitmap behind the shown image (nil when none).
  virtual TIEBitmap* GetIEBitmap() = 0;
  virtual TBitmap* GetBitmap() = 0;

  virtual TColor Background() = 0;
  virtual void SetBackground(TColor Value) = 0;
  // The image's resolution; a value of 0 leaves it unchanged.
  virtual int32_t DpiX() = 0;
  virtual int32_t DpiY() = 0;
  virtual void SetDpiX(int32_t Value) = 0;
  virtual void SetDpiY(int32_t Value) = 0;

  // Fires the view's image-change notification.
  virtual void DoImageChange() = 0;
  // The update lock of a single-image view: while held, Update returns at once. Unlocking without
  // refresh never repaints. Other views do nothing.
  virtual void LockUpdate() = 0;
  virtual void UnlockUpdateNoRefresh() = 0;
};
