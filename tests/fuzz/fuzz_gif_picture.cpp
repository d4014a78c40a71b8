// The GIF picture class on arbitrary bytes: load, save into memory, compact with every option, and
// draw frame 0 into a small bitmap, every frame rendered with its mask. A GIFException (or another
// of the class's failures) is a fine answer; a crash, a hang, a leak or a read outside a buffer is not.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_image_size_gate.h"
#include "pictures/gif_image.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TGIFImage image;
  image.OnGIFWarning = [](TObject*, int32_t, const std::string&) {};
  TCustomMemoryStream stream(data, static_cast<int64_t>(size));
  try {
    image.LoadFromStream(stream);
  } catch (const Exception&) {
  }
  try {
    TMemoryStream out;
    image.SaveToStream(out);
  } catch (const Exception&) {
  }
  try {
    image.Compact(gofAll);
  } catch (const Exception&) {
  }
  try {
    if (!image.Empty()) {
      TBitmap target;
      target.SetSize(64, 64);
      image.Images()->Items(0)->Draw(target.Canvas(), TRect{0, 0, 64, 64}, true, false);
      image.Images()->Items(0)->Draw(target.Canvas(), TRect{0, 0, 64, 64}, false, true);
    }
    for (int32_t i = 0; i < image.Images()->Count(); ++i) image.Images()->Items(i)->HasMask();
    TMemoryStream out;
    image.SaveToStream(out);
  } catch (const Exception&) {
  }
  return 0;
}
