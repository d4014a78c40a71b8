#include "pictures/gif_registration.h"

#include "pictures/gif_extensions.h"
#include "pictures/gif_image.h"
#include "platform/gdi/picture.h"
#include "platform/ui/clipboard.h"

void InitializeGIFImage() {
  const TGraphicFactory make = [] { return std::unique_ptr<TGraphic>(new TGIFImage()); };
  TPicture::RegisterFileFormat("gif", "GIF Image", "TGIFImage", make);
  GIFClipboardFormat = RegisterClipboardFormat("GIF Image");
  TPicture::RegisterClipboardFormat(GIFClipboardFormat, "TGIFImage", make);
  // Screens here always show true colour.
  GIFPaletteDisplay = GetDeviceCaps(nullptr, BITSPIXEL) * GetDeviceCaps(nullptr, PLANES) < 9;
}

void FinalizeGIFImage() {
  FreeExtensionRegistries();
  // Both registries, by file extension and by clipboard format.
  TPicture::UnregisterGraphicClass("TGIFImage");
}
