#include "imaging/io/io_paste_hooks.h"

#include <exception>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/file_format_ids.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/processing/ie_paste_hooks.h"
#include "platform/gdi/clipboard_formats.h"
#include "platform/gdi/metafile.h"

static_assert(kIEPasteFormatPNG == fmtPNG, "the paste table names PNG by the registry's id");

namespace {

bool LoadBufferAsFormat(const void* Buffer, int64_t Size, int32_t Format, TIEBitmap& Bitmap) {
  try {
    std::unique_ptr<TZodazUrIO> io = TZodazUrIO::CreateFromBitmap(&Bitmap);
    io->LoadFromBuffer(Buffer, Size, static_cast<TIEFileFormatId>(Format));
    return !io->Aborting() && !Bitmap.IsEmpty();
  } catch (const std::exception&) {
    // Whatever the codec raises, the block is no image.
    return false;
  }
}

// An enhanced metafile on the clipboard (a block of its bytes) rasterised at its own size with
// transparency.
bool RasteriseMetafile(void* Metafile, TIEBitmap& Bitmap) {
  try {
    TMetafile metafile;
    metafile.LoadFromClipboardFormat(CF_ENHMETAFILE, Metafile, nullptr);
    std::unique_ptr<TZodazUrIO> io = TZodazUrIO::CreateFromBitmap(&Bitmap);
    io->ImportMetafile(metafile, -1, -1, true);
    return !io->Aborting() && !Bitmap.IsEmpty();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

void InstallPasteHooks(bool Install) {
  IEPasteHooks.LoadBufferAsFormat = Install ? &LoadBufferAsFormat : nullptr;
  IEPasteHooks.RasteriseMetafile = Install ? &RasteriseMetafile : nullptr;
}
