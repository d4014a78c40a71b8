// PCX reader with the data size taken from the input, then DCX: the probe, the page count, a page
// read by the options' index, and a page inserted into the fuzzed stream. A PCX that loads is written
// again at the depth the options ask and read back.
//   input: options byte, 2-byte data-size cut (0: the whole rest), then the file
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IEImageSizeAllowanceForTesting() = 1 << 14;  // small pictures keep every run fast
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t options = data[0];
  const int64_t cut = data[1] | data[2] << 8;
  TIEMemStream stream(data + 3, static_cast<int64_t>(size - 3));
  const int64_t dataSize = cut == 0 ? stream.Size() : cut;
  TIEBitmap bitmap;
  for (bool paramsOnly : {true, false}) {
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    stream.Seek(0, soBeginning);
    ReadPCXStream(stream, bitmap, params, dataSize, progress, paramsOnly);
    if (!paramsOnly && !aborting && !bitmap.IsEmpty()) {
      static const int32_t kBits[] = {1, 4, 8, 8};
      params.BitsPerSample = kBits[(options >> 4) & 3];
      params.SamplesPerPixel = ((options >> 4) & 3) == 3 ? 3 : 1;
      params.PcxCompression = options >> 7;
      TMemoryStream out;
      bool again = false;
      TIEProgressRecord write;
      write.Aborting = &again;
      WritePCXStream(out, bitmap, params, write);
      out.Seek(0, soBeginning);
      TIEBitmap back;
      TIOParamsVals readBack(nullptr);
      ReadPCXStream(out, back, readBack, out.Size(), write, false);
    }
  }
  stream.Seek(0, soBeginning);
  if (IsDCXStream(stream) != (CountDCXStreamPages(stream) > 0)) __builtin_trap();
  if (stream.Position() != 0) __builtin_trap();  // the probes leave the position alone
  {
    TIOParamsVals params(nullptr);
    params.DcxImageIndex = options & 7;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    ReadDCXStream(stream, bitmap, params, progress, (options & 8) != 0);
  }
  // A small page inserted into a copy of the input.
  TMemoryStream dcx;
  dcx.WriteBuffer(data + 3, static_cast<int32_t>(size - 3));
  TIEBitmap page(3, 2, ie24RGB);
  TIOParamsVals params(nullptr);
  params.DcxImageIndex = (options >> 3) & 3;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteDCXStream(dcx, page, params, progress);
  if (!aborting) {
    dcx.Seek(0, soBeginning);
    if (CountDCXStreamPages(dcx) < 1) __builtin_trap();  // an insertion that succeeded leaves a DCX
  }
  return 0;
}
