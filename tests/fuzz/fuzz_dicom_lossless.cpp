// The lossless JPEG decoder of the DICOM reader: the image the data set describes from the first
// bytes (columns, rows, samples, bits stored, signedness), the JPEG stream after them.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/dicom_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  TDICOMImage image;
  image.Columns = 1 + data[0] % 64;
  image.Rows = 1 + data[1] % 64;
  image.SamplesPerPixel = (data[2] & 1) ? 3 : 1;
  image.BitsStored = 2 + data[3] % 15;
  image.BitsAllocated = image.BitsStored > 8 ? 16 : 8;
  image.PixelRepresentation = data[4] & 1;
  TIEBitmap bitmap;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  DecodeDICOMLosslessJPEG(image, data + 5, static_cast<int64_t>(size - 5), bitmap, progress);
  if (!bitmap.IsEmpty() && (bitmap.PixelFormat() == ie8g || bitmap.PixelFormat() == ie16g))
    ApplyDICOMGreySteps(image, bitmap);
  return 0;
}
