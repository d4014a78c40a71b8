// The PNG picture class: loads arbitrary bytes, then asks what a program would of what loaded (the
// transparency, a few pixels), draws it into a 64 x 64 bitmap and saves and reloads it through
// memory. A picture that loaded must save to a file that loads again to the same size.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_image_size_gate.h"
#include "pictures/pictures_startup.h"
#include "pictures/png_ancillary.h"
#include "pictures/png_picture.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  PNGTextInflateLimit() = 1 << 16;
  InitializePictures();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TCustomMemoryStream in(data, static_cast<int64_t>(size));
  TPNGObject png;
  bool loaded = true;
  try {
    png.LoadFromStream(in);
  } catch (const Exception&) {
    loaded = false;  // what loaded before the failure stays and is used below
  }
  if (png.Width() <= 0) return 0;
  png.TransparencyKind();
  png.TransparentColour();
  const int32_t w = png.Width(), h = png.Height();
  const int32_t points[][2] = {{0, 0}, {w - 1, h - 1}, {w / 2, h / 3}, {-1, 0}, {w, h}};
  for (const auto& p : points) png.PixelAt(p[0], p[1]);
  png.SetPixelAt(w / 2, h / 2, static_cast<TColor>(0x336699));

  TBitmap canvas;
  canvas.SetPixelFormat(pf24bit);
  canvas.SetSize(64, 64);
  png.Draw(canvas.Canvas(), Rect(0, 0, 64, 64));
  png.Draw(canvas.Canvas(), Rect(60, 50, 3, 7));

  TMemoryStream out;
  try {
    png.SaveToStream(out);
  } catch (const Exception&) {
    if (loaded) __builtin_trap();  // a picture that loaded always saves
    return 0;
  }
  out.SetPosition(0);
  TPNGObject again;
  try {
    again.LoadFromStream(out);
  } catch (const Exception&) {
    if (loaded) __builtin_trap();  // ... to a file that loads
    return 0;
  }
  if (loaded && (again.Width() != w || again.Height() != h)) __builtin_trap();
  return 0;
}
