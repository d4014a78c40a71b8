#include "pictures/gif_registration.h"

#include "pictures/gif_extensions.h"
#include "pictures/gif_image.h"
#include "platform/gdi/picture.h"
#include "platform/ui/clipboard.h"

void InitializeGIFImage() {
  TPicture::RegisterFileFormat("gif", "GIF Image", "TGIFImage", [] { return std::unique_ptr<TGraphic>(new TGIFImage()); });
  GIFClipboardFormat = RegisterClipboardFormat("GIF Image");
  // Screens here always show true colour.
  GIFPaletteDisplay = GetDeviceCaps(nullptr, BITSPIXEL) * GetDeviceCaps(nullptr, PLANES) < 9;
}

void FinalizeGIFImage() {
  FreeExtensionRegistries();
  TPicture::UnregisterGraphicClass("TGIFImage");
}
