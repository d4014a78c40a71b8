// Metafiles (WMF, placeable or plain, and EMF): the header, playback onto a 64 x 64 DIB, and the
// import of the component with its alpha passes at a lowered size limit. Any bytes either are no
// metafile or play to the end without reading outside their records.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_dibbitmap.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/zodazur_io.h"
#include "platform/gdi/metafile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMetafileHeader header;
  if (!ReadMetafileHeader(data, size, header)) return 0;
  TIEDibbitmap dib;
  if (!dib.AllocateBits(64, 64, 24)) return 0;
  if (!PlayMetafile(dib.DC(), data, size, TRect{0, 0, 64, 64})) __builtin_trap();

  TMetafile metafile;
  metafile.LoadFromBytes(data, size);
  TIEBitmap bitmap;
  std::unique_ptr<TZodazUrIO> io = TZodazUrIO::CreateFromBitmap(&bitmap);
  const int32_t saved = MetafileMaxSize;
  MetafileMaxSize = 64;
  io->ImportMetafile(metafile, -1, -1, true);
  MetafileMaxSize = saved;
  if (!io->Aborting() && (bitmap.Width() > 64 || bitmap.Height() > 64)) __builtin_trap();
  return 0;
}
