#include "imaging/io/lzw_hooks.h"

std::atomic<TGIFLZWDecompFunc> GIFLZWDecodeHook{nullptr};
std::atomic<TGIFLZWCompFunc> GIFLZWEncodeHook{nullptr};
std::atomic<TTIFFLZWDecompFunc> TIFFLZWDecodeHook{nullptr};
std::atomic<TTIFFLZWCompFunc> TIFFLZWEncodeHook{nullptr};

TIELZWCoders EngineLZWCoders() {
  // The GIF and TIFF LZW coders take their place here when they are built.
  return TIELZWCoders{};
}

void InstallLZWHooks() {
  const TIELZWCoders coders = EngineLZWCoders();
  GIFLZWDecodeHook = coders.GIFDecode;
  GIFLZWEncodeHook = coders.GIFEncode;
  TIFFLZWDecodeHook = coders.TIFFDecode;
  TIFFLZWEncodeHook = coders.TIFFEncode;
}
