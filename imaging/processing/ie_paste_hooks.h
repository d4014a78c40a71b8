#pragma once
// What the clipboard paste needs of the image I/O unit, which lives above processing: reading a
// block of bytes as an image file of a given format, and rasterising a metafile. The I/O unit's
// start-up fills the table (InitializeZodazUrIO) and its shut-down empties it; an empty entry makes
// the paste skip that clipboard format.
#include <cstdint>

class TIEBitmap;

// The format registry's id of PNG files.
constexpr int32_t kIEPasteFormatPNG = 8;

struct TIEPasteHooks {
  // Reads Size bytes at Buffer as a file of Format into Bitmap; true when an image was read.
  bool (*LoadBufferAsFormat)(const void* Buffer, int64_t Size, int32_t Format, TIEBitmap& Bitmap) = nullptr;
  // Rasterises an enhanced metafile (a clipboard handle) at its own size, with transparency, into
  // Bitmap; true when an image was made.
  bool (*RasteriseMetafile)(void* Metafile, TIEBitmap& Bitmap) = nullptr;
};

extern TIEPasteHooks IEPasteHooks;
