#pragma once
// The I/O unit's entries in the processing unit's paste table (imaging/processing/ie_paste_hooks.h):
// a clipboard block read as an image file of a given format, and an enhanced metafile rasterised.

// Fills the table (Install) or empties it; the I/O start-up and shut-down call it.
void InstallPasteHooks(bool Install);
