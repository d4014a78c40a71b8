#pragma once
// A TIFF file read and written again with another compression, file to file, as a one-step
// conversion tool does it: the benchmark of the TIFF codec and its comparison with libtiff's
// tiffcp both time this.
#include <memory>
#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

// In read into a fresh bitmap, or into Kept (whose memory a page of the same size reuses), and
// written to Out with TiffCompression Compression. 0 when both steps succeeded, else 1.
inline int ConvertTIFFFile(const std::string& In, const std::string& Out, int Compression, TIEBitmap* Kept = nullptr) {
  TIEBitmap fresh;
  TIEBitmap& b = Kept ? *Kept : fresh;
  TIOParamsVals p(nullptr);
  p.IsNativePixelFormat = true;
  p.TiffLZWDecompressor = TIFFLZWDecode;
  p.TiffLZWCompressor = TIFFLZWEncode;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  {
    TIEWideFileStream file(In, fmOpenRead);
    TIEBufferedReadStream view(file, 65536, false);
    std::unique_ptr<TIEMask> mask;
    int32_t pages = 0;
    ReadTIFFStream(&b, view, pages, &p, progress, false, mask, false, true, false);
  }
  if (aborting) return 1;
  p.TiffCompression = static_cast<uint8_t>(Compression);
  TFileStream file(Out, fmCreate);
  WriteTIFFStream(file, false, &b, p, progress);
  return aborting ? 1 : 0;
}
