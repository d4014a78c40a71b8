#pragma once
// Start-up and shut-down of the GIF picture class (called by InitializePictures and
// FinalizePictures): the class joins the picture registry for ".gif" ("GIF Image"), the clipboard
// format "GIF Image" is registered, and whether the screen shows colours through a palette is
// settled; at the end the extension registries are freed and the class leaves the registry.
void InitializeGIFImage();
void FinalizeGIFImage();
