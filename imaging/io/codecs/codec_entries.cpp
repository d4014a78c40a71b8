#include "imaging/io/codecs/codec_entries.h"

#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

void InstallMask(TIEBitmap& bitmap, std::unique_ptr<TIEMask>& mask, TIEProgressRecord& progress) {
  if (!mask || progress.IsAborting()) return;
  if (TIEBitmap* alpha = bitmap.GetAlphaChannel()) alpha->CopyFromMask(mask.get());
  mask.reset();
}

}  // namespace

void GIFCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  std::unique_ptr<TIEMask> mask;
  int32_t frames = 0;
  ReadGIFStream(Stream, Bitmap, frames, Params, Progress, ParamsOnly, mask, ParamsOnly);
  InstallMask(Bitmap, mask, Progress);
}

void GIFCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WriteGIFStream(Stream, Bitmap, Params, Progress);
}

void BMPCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  std::unique_ptr<TIEMask> mask;
  const int64_t blockSize = Stream.Size() - Stream.Position();
  ReadBMPStream(Stream, Bitmap, blockSize, Params, Progress, ParamsOnly, false, mask,
                ParamsOnly || !Params.BmpUseAlpha);
  InstallMask(Bitmap, mask, Progress);
}

void BMPCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WriteBMPStream(Stream, Bitmap, Params, Progress, Params.BmpUseAlpha);
}

void JPEGCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly) {
  ReadJpegStream(Stream, nullptr, Bitmap, Params, Progress, ParamsOnly, false, true, false, true, true, -1,
                 Params.IsNativePixelFormat);
}

void JPEGCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WriteJpegStream(Stream, Bitmap, Params, Progress);
}

void PNGCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  ReadPngStream(Stream, Bitmap, Params, Progress, ParamsOnly);
}

void PNGCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  std::unique_ptr<TIEMask> mask;
  if (Bitmap.HasAlphaChannel()) {
    mask = std::make_unique<TIEMask>();
    Bitmap.GetAlphaChannel()->CopyToMask(*mask);
  }
  WritePNGStream(Stream, Bitmap, Params, Progress, mask.get());
}
