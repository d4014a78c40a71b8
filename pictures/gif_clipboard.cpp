// TGIFImage on the clipboard: the whole file under "GIF Image" beside the composed picture.
#include <cstring>

#include "pictures/gif_errors.h"
#include "pictures/gif_image.h"
#include "platform/system/memory.h"
#include "platform/system/streams.h"
#include "platform/ui/clipboard.h"

void TGIFImage::LoadFromClipboardFormat(uint32_t Format, HANDLE Data, HPALETTE Palette) {
  if (!Data) Data = Clipboard()->GetAsHandle(Format);
  if (Format != 0 && Format == GIFClipboardFormat) {
    if (!Data) GIFError(sPrematureEOF);
    TCustomMemoryStream stream(Data, static_cast<int64_t>(GlobalSize(Data)));
    LoadFromStream(stream);
    return;
  }
  if (Format == CF_BITMAP) {
    TBitmap bitmap;
    bitmap.LoadFromClipboardFormat(Format, Data, Palette);
    Assign(&bitmap);
    return;
  }
  TGraphic::LoadFromClipboardFormat(Format, Data, Palette);
}

void TGIFImage::SaveToClipboardFormat(uint32_t& Format, HANDLE& Data, HPALETTE& Palette) {
  Format = 0;
  Data = nullptr;
  Palette = nullptr;
  if (Empty()) return;
  TMemoryStream file;
  SaveToStream(file);
  Bitmap()->SaveToClipboardFormat(Format, Data, Palette);
  // The file goes on the clipboard now; the picture's own format follows through the caller.
  void* block = GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(file.Size()));
  try {
    if (!block) throw EOutOfMemory("Out of memory");
    std::memcpy(block, file.Memory(), static_cast<size_t>(file.Size()));
    Clipboard()->SetAsHandle(GIFClipboardFormat, block);  // the clipboard owns (or has freed) the block
  } catch (const Exception&) {
    if (Format == CF_BITMAP && Data) DeleteObject(static_cast<HBITMAP>(Data));
    if (Palette) DeleteObject(Palette);
    Format = 0;
    Data = nullptr;
    Palette = nullptr;
    GIFError(sFailedPaste);
  }
}
