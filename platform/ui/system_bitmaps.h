#pragma once
// The system's own small bitmaps, as LoadBitmap hands them out for an instance of 0: drawn here in
// their classic look.
#include <cstdint>

#include "platform/gdi/gdi.h"

// The combo box's drop-down arrow: a black triangle pointing down on the button face, 7 x 4.
constexpr int OBM_COMBO = 32738;

// A new bitmap object of the system bitmap id (the caller deletes it); null for an instance other
// than 0 or an id that is not one of the system's.
HBITMAP LoadBitmap(uintptr_t instance, int id);
