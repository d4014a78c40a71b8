#include "imaging/io/lzw_hooks.h"

#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/codecs/tiff_lzw.h"

std::atomic<TGIFLZWDecompFunc> GIFLZWDecodeHook{nullptr};
std::atomic<TGIFLZWCompFunc> GIFLZWEncodeHook{nullptr};
std::atomic<TTIFFLZWDecompFunc> TIFFLZWDecodeHook{nullptr};
std::atomic<TTIFFLZWCompFunc> TIFFLZWEncodeHook{nullptr};

TIELZWCoders EngineLZWCoders() {
  return TIELZWCoders{GIFLZWDecode, GIFLZWEncode, TIFFLZWDecode, TIFFLZWEncode};
}

void InstallLZWHooks() {
  const TIELZWCoders coders = EngineLZWCoders();
  GIFLZWDecodeHook = coders.GIFDecode;
  GIFLZWEncodeHook = coders.GIFEncode;
  TIFFLZWDecodeHook = coders.TIFFDecode;
  TIFFLZWEncodeHook = coders.TIFFEncode;
}
