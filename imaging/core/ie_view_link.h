#pragma once
// What the non-visual companions of an image view (the I/O, processing and multi-image components)
// need of the view: its control, its current bitmaps, its background and resolution, the
// bitmap-change callbacks through which they follow its image, the refresh hooks, and, for the
// undo of the processing component, the selection, the layers and the vector objects of the
// single-image and vector views. The view classes (TIEView and its descendants) implement it;
// the companions hold a view only through this interface, so they build and test without the
// views.
#include <cstdint>
#include <functional>

#include "platform/gdi/color.h"
#include "platform/system/guid.h"
#include "platform/system/types.h"

class TBitmap;
class TCanvas;
class TIEBitmap;
class TIEMask;
class TMemoryStream;
class TObject;
class TStream;
class TWinControl;

// Called by a view whenever its current bitmap is replaced or its image list changes (Destroying
// False), and once from its destructor (Destroying True). Sender is the view.
using TIEBitmapChangeEvent = std::function<void(TObject* Sender, bool Destroying)>;
// The registration of one callback; the view owns it. Nil is never a valid handle.
using TIEBitmapChangeHandle = void*;

// Which view class it is: the base view, the single-image view (TZodazUrView), the thumbnail view
// (TZodazUrMView) or the vector-object view (TZodazUrVect, a single-image view with objects over
// its image). Some companion rules depend on it.
enum TIEViewKind : uint8_t { ievkView, ievkImageView, ievkMultiView, ievkVectorView };

// True for the single-image view and the vector view built on it: the views with a selection and
// layers.
constexpr bool IsImageViewKind(TIEViewKind Kind) { return Kind == ievkImageView || Kind == ievkVectorView; }

class TIEViewLink {
 public:
  virtual ~TIEViewLink() = default;

  // The view as a control: ownership, free notification, parent and window handle.
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
  // Refreshes the view after its image changed (the views' own Update, which also overrides the
  // control's): unless update-locked, refits the zoom, sizes the selection mask and the alpha
  // channel to the bitmap, recomputes the scroll ranges and repaints.
  virtual void Update() = 0;
  // The update lock of a single-image view: while held, Update returns at once. Unlocking without
  // refresh never repaints. Other views do nothing.
  virtual void LockUpdate() = 0;
  virtual void UnlockUpdateNoRefresh() = 0;

  // ---- Painting, for the transition engine ----
  // The paint lock, apart from the update lock: while held (nested), the view draws nothing to
  // its window itself. UnlockPaintNoUpdate releases one level without repainting and returns the
  // levels left.
  virtual void LockPaint() {}
  virtual int32_t UnlockPaintNoUpdate() { return 0; }
  // The control's canvas: outside painting it draws on the window's surface, shown at its next
  // paint. Nil when the view has none.
  virtual TCanvas* GetCanvas() { return nullptr; }
  // Paints the view's background over (0, 0, Width, Height) of Canvas in the view's background
  // style (single-image views; the engine fills other views' frames with Background itself).
  virtual void PaintBackgroundTo(TCanvas* Canvas) { (void)Canvas; }

  // ---- Selection (single-image views; the others have none and answer nil, False or 0) ----
  // The selection mask, owned by the view and never nil in a single-image view; it may hold an
  // old selection while Selected is False.
  virtual TIEMask* SelectionMask() { return nullptr; }
  // A selection exists (set by selecting, cleared by deselecting).
  virtual bool Selected() { return false; }
  // The selection polygon in bitmap coordinates (separator points included) and its point count.
  virtual const TPoint* SelectionPolygon() { return nullptr; }
  virtual int32_t SelectionPolygonCount() { return 0; }
  // Appends the selection record (polygon, mask, flags) to Stream.
  virtual void SaveSelectionToStream(TMemoryStream& Stream) { (void)Stream; }
  // Reads a selection record; Mode 1 adapts a selection saved for another bitmap size, deselects
  // for an empty mask and updates the view.
  virtual bool LoadSelectionFromStream(TStream& Stream, int32_t Mode) {
    (void)Stream;
    (void)Mode;
    return false;
  }

  // ---- Layers (single-image views; the others answer 0 layers) ----
  virtual int32_t LayersCount() { return 0; }
  // The index of the current layer, whose bitmap is GetIEBitmap; -1 without layers.
  virtual int32_t LayersCurrent() { return -1; }
  // The bitmap of layer Index (0 <= Index < LayersCount).
  virtual TIEBitmap* LayerBitmap(int32_t Index) {
    (void)Index;
    return nullptr;
  }
  // The identity of layer Index across undo records.
  virtual TGUID LayerGUID(int32_t Index) {
    (void)Index;
    return TGUID{};
  }
  // Appends the record of layer Index: its Int32 total length (counted from the record's start),
  // its GUID and properties, and its image only WithImage.
  virtual void LayerSaveToStream(int32_t Index, TMemoryStream& Stream, bool WithImage) {
    (void)Index;
    (void)Stream;
    (void)WithImage;
  }
  // Reads one layer record into layer Index.
  virtual void LayerLoadFromStream(int32_t Index, TStream& Stream) {
    (void)Index;
    (void)Stream;
  }
  // The "ZODAZURLAYERS" stream of all layers (Compression -1 zlib raw, -2 raw, else a format id).
  virtual void LayersSaveToStream(TMemoryStream& Stream, int32_t Compression) {
    (void)Stream;
    (void)Compression;
  }
  virtual bool LayersLoadFromStream(TStream& Stream) {
    (void)Stream;
    return false;
  }

  // ---- Vector objects (vector views; the others keep none) ----
  // The "IEV" stream of the objects; loading replaces them all.
  virtual void SaveToStreamIEV(TMemoryStream& Stream) { (void)Stream; }
  virtual bool LoadFromStreamIEV(TStream& Stream) {
    (void)Stream;
    return false;
  }
  // The layers stream followed by the objects.
  virtual void SaveToStreamAll(TMemoryStream& Stream, int32_t Compression) {
    (void)Stream;
    (void)Compression;
  }
  virtual bool LoadFromStreamAll(TStream& Stream) {
    (void)Stream;
    return false;
  }
};
