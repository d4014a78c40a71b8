#pragma once
// Nearest-neighbour stretching of a TIEBitmap of any pixel format.
#include "imaging/core/ie_defs.h"

class TIEBitmap;
class TObject;

// Stretches Source onto Dest, which the caller has allocated at the target size. Destination
// column i takes source column Trunc(SourceWidth / DestWidth * i), row j source row
// Trunc(SourceHeight / DestHeight * j); pixels are copied whole (single bits for ie1g). A Dest of
// another pixel format is re-allocated in Source's format at its own size first. An ie8p source's
// palette goes to Dest. While it runs, Source is read only and Dest written only (rows of
// file-held bitmaps are not read or written back in vain). Progress after each row j:
// Trunc(j * 100 / (DestHeight + 0.5)), reported when it changes (0 first). Nothing happens when
// either bitmap is empty or both are the same object. Returns Dest.
TIEBitmap& _IEBmpStretchEx(TIEBitmap& Source, TIEBitmap& Dest, TObject* Sender, const TIEProgressEvent& OnProgress);
