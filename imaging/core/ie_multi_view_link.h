#pragma once
// What the multi-image I/O component (and its loaders) need of the thumbnail view whose images it
// serves: the image list with its last change, storing and loading single images, the selection,
// the thumbnail settings and the paint lock. The thumbnail view (TZodazUrMView) implements it; the
// component holds the view only through this interface, so it builds and tests without the views.
#include <cstdint>
#include <string>

#include "imaging/core/ie_view_link.h"

class TIEBaseBitmap;
class TStream;

// How a thumbnail view keeps the images stored in it: as given, or reduced to its thumbnail size.
enum TIEStoreType : uint8_t { ietNormal, ietThumb };

// The last change of a thumbnail view's image list, readable inside its bitmap-change callbacks.
enum TIEMViewChange : int32_t { iemcNone = 0, iemcInsert = 1, iemcDelete = 2, iemcMove = 3 };

class TIEMultiViewLink {
 public:
  virtual ~TIEMultiViewLink() = default;

  // The view as a view: control, callbacks, refresh, current bitmap.
  virtual TIEViewLink* ViewLink() = 0;

  virtual int32_t ImageCount() = 0;
  // Inserts an empty image at Index (appended when Index >= ImageCount) without changing the
  // selection.
  virtual void InsertImageNoSelect(int32_t Index) = 0;
  virtual void DeleteImage(int32_t Index) = 0;
  // Stores a copy of Bitmap as the image at Index (reduced to the thumbnail size when the view
  // keeps thumbnails).
  virtual void StoreImageBitmap(int32_t Index, TIEBaseBitmap* Bitmap) = 0;
  virtual void SetImageDelayTime(int32_t Index, int32_t Milliseconds) = 0;
  virtual void SetImageBackground(int32_t Index, TColor Color) = 0;
  // The view loads image ImageIndex of the file (or of Stream when it is not nil) into image Index
  // itself; False when that failed.
  virtual bool LoadImageFromFile(int32_t Index, const std::string& FileName, int32_t ImageIndex) = 0;
  virtual bool LoadImageFromSource(int32_t Index, TStream* Stream, const std::string& FileName,
                                   int32_t ImageIndex) = 0;
  virtual void ReserveImageSpace(int32_t Width, int32_t Height, int32_t BitsPerPixel, int32_t Count) = 0;

  virtual int32_t SelectedImage() = 0;
  virtual void SelectImage(int32_t Index) = 0;

  virtual TIEStoreType StoreType() = 0;
  virtual int32_t ThumbWidth() = 0;
  virtual int32_t ThumbHeight() = 0;

  virtual TIEMViewChange GetLastChange() = 0;
  virtual int32_t GetLastChangeIndex() = 0;
  virtual int32_t GetLastChangeNewIndex() = 0;

  // The paint lock: while held the view neither lays itself out nor paints. UnlockPaint refreshes
  // when the last level goes.
  virtual void LockPaint() = 0;
  virtual int32_t UnlockPaint() = 0;
};
