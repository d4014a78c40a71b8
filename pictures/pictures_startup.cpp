#include "pictures/pictures_startup.h"

#include "pictures/gif_registration.h"
#include "pictures/png_ancillary.h"
#include "pictures/png_header.h"
#include "pictures/png_image_data.h"
#include "pictures/png_picture.h"
#include "platform/gdi/picture.h"

namespace {

int g_initCount = 0;

template <class T>
std::unique_ptr<TChunk> Make(TPNGChunkOwner* owner) {
  return std::make_unique<T>(owner);
}

}  // namespace

void InitializePictures() {
  if (g_initCount++ > 0) return;
  InitializeGIFImage();
  TPicture::RegisterFileFormat("png", "Portable Network Graphics", "TPNGObject",
                               [] { return std::unique_ptr<TGraphic>(new TPNGObject()); });
  // The chunk classes in the registry's order.
  RegisterChunk(&Make<TChunkIEND>);
  RegisterChunk(&Make<TChunkIHDR>);
  RegisterChunk(&Make<TChunkIDAT>);
  RegisterChunk(&Make<TChunkPLTE>);
  RegisterChunk(&Make<TChunkgAMA>);
  RegisterChunk(&Make<TChunktRNS>);
  RegisterChunk(&Make<TChunkpHYs>);
  RegisterChunk(&Make<TChunktIME>);
  RegisterChunk(&Make<TChunktEXt>);
  RegisterChunk(&Make<TChunkzTXt>);
}

void FinalizePictures() {
  if (g_initCount == 0 || --g_initCount > 0) return;
  UnregisterChunks();
  TPicture::UnregisterGraphicClass("TPNGObject");
  FinalizeGIFImage();
}
