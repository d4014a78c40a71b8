// The page coding the PostScript and PDF writers share.
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/ps_pdf_codec.h"
#include "imaging/io/codecs/tiff_ccitt.h"
#include "imaging/io/io_params.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"

TIEBitmap* PageBitmap(TIEBitmap& Bitmap, std::unique_ptr<TIEBitmap>& Copy, TIOParamsVals& Params,
                      TIEProgressRecord& Progress) {
  TIEBitmap* page = &Bitmap;
  if (Bitmap.IsEmpty()) {
    page = nullptr;
  } else if (Bitmap.PixelFormat() != ie24RGB && Bitmap.PixelFormat() != ie1g) {
    Copy = IEConvertedCopy(Bitmap, ie24RGB);
    page = Copy.get();
  }
  if (!page) {
    Progress.Abort();
    return nullptr;
  }
  const bool bilevel = page->PixelFormat() == ie1g;
  Params.BitsPerSample = bilevel ? 1 : 8;
  Params.SamplesPerPixel = bilevel ? 1 : 3;
  Progress.PerRow = 100.0 / page->Height();
  return page;
}

std::vector<uint8_t> PackedBilevelRows(TIEBitmap& Bitmap, TIEProgressRecord& Progress) {
  const int32_t width = Bitmap.Width(), height = Bitmap.Height();
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);
  std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(rows.data() + rowBytes * static_cast<size_t>(y), Bitmap.GetRow(y), rowBytes);
    Progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
  }
  return rows;
}

std::vector<uint8_t> CCITTCodedRows(TIEBitmap& Bitmap, bool G4, TIEProgressRecord& Progress) {
  const int32_t width = Bitmap.Width(), height = Bitmap.Height();
  TMemoryStream out;
  uint8_t pendingByte = 0;
  int32_t pendingBits = 0;
  std::vector<uint8_t> refRow;
  bool failed = false;
  auto code = G4 ? CCITTEncodeG4Row : CCITTEncodeG3Row2D;
  for (int32_t y = 0; y < height && !Progress.IsAborting(); ++y) {
    code(static_cast<const uint8_t*>(Bitmap.GetRow(y)), width, out, pendingByte, pendingBits, refRow, failed, 1);
    Progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
  }
  code(nullptr, width, out, pendingByte, pendingBits, refRow, failed, 1);
  if (failed) Progress.Abort();
  return MemoryStreamBytes(out);
}

std::vector<uint8_t> JpegCodedPage(TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                                   bool& Grey) {
  // Four-component JPEGs fit neither "false 3 colorimage" nor /DeviceRGB: they go as YCbCr.
  const uint8_t colorSpace = Params.JpegColorSpace;
  if (colorSpace == 3 || colorSpace == 4) Params.JpegColorSpace = 2;
  Grey = Params.JpegColorSpace == 1;
  TMemoryStream out;
  try {
    WriteJpegStream(out, Bitmap, Params, Progress);
  } catch (...) {
    Params.JpegColorSpace = colorSpace;
    throw;
  }
  Params.JpegColorSpace = colorSpace;
  return MemoryStreamBytes(out);
}

std::vector<uint8_t> MemoryStreamBytes(TMemoryStream& Stream) {
  const auto* bytes = static_cast<const uint8_t*>(Stream.Memory());
  if (!bytes) return {};
  return std::vector<uint8_t>(bytes, bytes + Stream.Size());
}

int32_t CodedBlockCount(size_t Count) {
  // The coders' output of such a block (ASCII85 grows it by a quarter) must fit an int32 as well.
  if (Count > (size_t{1} << 30)) throw Exception("Page data too large");
  return static_cast<int32_t>(Count);
}
