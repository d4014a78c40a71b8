#pragma once
// The frames of a GIF picture in file order, and how the block sequence after the header is read
// into them.
#include "pictures/gif_frame.h"
#include "pictures/gif_item.h"

class TGIFImageList : public TGIFList<TGIFSubImage> {
 public:
  explicit TGIFImageList(TGIFImage* Image) : TGIFList<TGIFSubImage>(Image) {}
  // Reads frames until the trailer, which is left unread. Zero bytes between blocks are skipped; a
  // byte that starts no block ends the frames with the warning "Unknown GIF block type". Extensions
  // that the trailer follows become a frame without pixels.
  void LoadFromStream(TStream& Stream, TGIFImage* Parent);
  // Every frame in order, with progress.
  void SaveToStream(TStream& Stream) override;
};
