#include "imaging/io/exif_blocks.h"

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_flip_turn.h"

void ApplyOrientation(TIEBitmap& Bitmap, int32_t Orientation) {
  // Positive quarter turns are counter-clockwise. 5 and 7 are a transpose and an anti-transpose:
  // for 5 the row that shows the left edge is stored first, so a clockwise turn and a left-right
  // mirror bring it upright; 7 turns the other way.
  switch (Orientation) {
    case 2:
      FlipBitmap(Bitmap, iefdHorizontal);
      break;
    case 3:
      FlipBitmap(Bitmap, iefdVertical);
      FlipBitmap(Bitmap, iefdHorizontal);
      break;
    case 4:
      FlipBitmap(Bitmap, iefdVertical);
      break;
    case 5:
      TurnBitmapQuarters(Bitmap, -1, true);
      FlipBitmap(Bitmap, iefdHorizontal);
      break;
    case 6:
      TurnBitmapQuarters(Bitmap, -1, true);
      break;
    case 7:
      TurnBitmapQuarters(Bitmap, 1, true);
      FlipBitmap(Bitmap, iefdHorizontal);
      break;
    case 8:
      TurnBitmapQuarters(Bitmap, 1, true);
      break;
    default:
      break;
  }
}
