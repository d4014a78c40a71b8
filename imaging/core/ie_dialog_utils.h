#pragma once
// Placing the engine's dialogs on the screen and resetting the printer before a print job.
#include "platform/ui/messages.h"

// Moves the window, without resizing, activating or restacking it, to the horizontal centre and a
// third of the free height of the monitor of the application's active form (else the main form,
// else the first monitor). PlaceDialogHook, when set, is called instead.
void PlaceDialog(HWND Window);

// Selects the current printer again by name, driver and port, keeping the number of copies, the
// orientation and the job title.
void ResetPrinterDevice();
