// The clipboard paste of the processing component: the first byte chooses the format the rest is
// put on the clipboard under (the raw bitmap stream, "PNG" or CF_DIB). The image is then either a
// picture read from it (and one undo step recorded) or exactly as it was (and no step recorded).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_startup.h"
#include "imaging/io/format_registry.h"
#include "imaging/processing/ie_compare.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/system/memory.h"
#include "platform/ui/clipboard.h"

namespace {

void Paint(TIEBitmap& B) {
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x) B.SetPixel24(x, y, CreateRGB(uint8_t(x * 40), uint8_t(y * 70), 9));
  B.SetAlpha(1, 1, 77);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;
  InitializeImagingUnits();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 20)) return 0;
  const UINT formats[3] = {ClipboardRawFormat, RegisterClipboardFormat("PNG"), CF_DIB};
  const UINT format = formats[data[0] % 3];
  if (format == 0) return 0;
  void* block = GlobalAlloc(GMEM_MOVEABLE, size - 1 ? size - 1 : 1);
  if (!block) return 0;
  if (size > 1) std::memcpy(block, data + 1, size - 1);
  if (!OpenClipboard(nullptr)) {
    GlobalFree(block);
    return 0;
  }
  EmptyClipboard();
  if (!SetClipboardData(format, block)) GlobalFree(block);
  CloseClipboard();

  TIEBitmap image(4, 3, ie24RGB), before(4, 3, ie24RGB);
  Paint(image);
  Paint(before);
  auto proc = TZodazUrProc::CreateFromIEBitmap(&image);
  proc->SetAutoUndo(true);
  proc->PasteFromClipboard();
  if (proc->UndoCount() == 0) {
    if (!IdenticalBitmaps(image, before)) std::abort();  // changed without a paste
  } else {
    if (image.IsEmpty()) std::abort();  // replaced by nothing
    if (image.HasAlphaChannel() &&
        (image.GetAlphaChannel()->Width() != image.Width() || image.GetAlphaChannel()->Height() != image.Height()))
      std::abort();  // half replaced
  }
  return 0;
}
