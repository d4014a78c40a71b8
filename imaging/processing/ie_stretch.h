#pragma once
// Nearest-neighbour stretching of a TIEBitmap of any pixel format into a destination the caller has
// allocated at the target size (in the same pixel format).
#include "imaging/core/ie_defs.h"

class TIEBitmap;
class TObject;

// Destination column i takes source column Trunc(SourceWidth / DestWidth * i), row j source row
// Trunc(SourceHeight / DestHeight * j); pixels are copied whole (single bits for ie1g). An ie8p
// source's palette goes to Dest. Progress: 0 first, then each new percentage of the rows done.
// Nothing happens when either bitmap is empty or the formats differ. Returns Dest.
TIEBitmap& _IEBmpStretchEx(TIEBitmap& Source, TIEBitmap& Dest, TObject* Sender, const TIEProgressEvent& OnProgress);
