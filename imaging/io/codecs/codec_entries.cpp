#include "imaging/io/codecs/codec_entries.h"

#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/codecs/ps_pdf_codec.h"
#include "imaging/io/codecs/raw_pixels_codec.h"
#include "imaging/io/codecs/tga_codec.h"
#include "imaging/io/codecs/wbmp_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

void InstallMask(TIEBitmap& bitmap, std::unique_ptr<TIEMask>& mask, TIEProgressRecord& progress) {
  if (!mask || progress.IsAborting()) return;
  if (TIEBitmap* alpha = bitmap.GetAlphaChannel()) alpha->CopyFromMask(mask.get());
  mask.reset();
}

// The alpha channel as an 8-bit mask; nil without one.
std::unique_ptr<TIEMask> AlphaAsMask(TIEBitmap& bitmap) {
  if (!bitmap.HasAlphaChannel()) return nullptr;
  auto mask = std::make_unique<TIEMask>();
  bitmap.GetAlphaChannel()->CopyToMask(*mask);
  return mask;
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

void PCXCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  ReadPCXStream(Stream, Bitmap, Params, Stream.Size() - Stream.Position(), Progress, ParamsOnly);
}

void PCXCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WritePCXStream(Stream, Bitmap, Params, Progress);
}

void DCXCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  ReadDCXStream(Stream, Bitmap, Params, Progress, ParamsOnly);
}

void DCXCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WriteDCXStream(Stream, Bitmap, Params, Progress);
}

void ICOCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  std::unique_ptr<TIEMask> mask;
  ReadICOStream(Stream, Bitmap, Params, ParamsOnly, Progress, mask, ParamsOnly);
  InstallMask(Bitmap, mask, Progress);
}

void ICOCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  int32_t count = 0;
  while (count < kIOMaxIcoImages && Params.IcoSizes[count].Width > 0) ++count;
  WriteICOStream(Stream, Bitmap, Params, Params.IcoBitCounts.data(), Params.IcoSizes.data(), count, Progress);
}

void CURCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  std::unique_ptr<TIEMask> mask;
  ReadCURStream(Stream, Bitmap, Params, ParamsOnly, Progress, mask, ParamsOnly);
  InstallMask(Bitmap, mask, Progress);
}

void TGACodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  std::unique_ptr<TIEMask> mask;
  ReadTGAStream(Stream, Bitmap, Params, Progress, ParamsOnly, mask, ParamsOnly);
  InstallMask(Bitmap, mask, Progress);
}

void TGACodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  const std::unique_ptr<TIEMask> alpha = AlphaAsMask(Bitmap);
  WriteTGAStream(Stream, Bitmap, Params, Progress, alpha.get());
}

void PXMCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                  bool ParamsOnly) {
  ReadPXMStream(Stream, Bitmap, Params, ParamsOnly, Progress);
}

void PXMCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WritePXMStream(Stream, Bitmap, Params, Progress);
}

void WBMPCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly) {
  ReadWBMPStream(Stream, Bitmap, Params, Progress, ParamsOnly);
}

void WBMPCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals&, TIEProgressRecord& Progress) {
  WriteWBMPStream(Stream, Bitmap, Progress);
}

void RawPixelsCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                        bool ParamsOnly) {
  if (!ParamsOnly) ReadRawBitmapStream(Stream, Bitmap, Params, Progress);
}

void JP2CodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WriteJpeg2000Stream(Stream, Bitmap, Params, Progress, ieJ2000JP2);
}

void J2KCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WriteJpeg2000Stream(Stream, Bitmap, Params, Progress, ieJ2000J2K);
}

void PSCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WritePSStream(Stream, Bitmap, Params, Progress);
}

void PDFCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WritePDFStream(Stream, Bitmap, Params, Progress);
}
