#include "imaging/processing/ie_color_ops.h"

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_convert_rows.h"

void ChannelMeans(TIEBitmap& Bitmap, int32_t& R, int32_t& G, int32_t& B) {
  R = G = B = 0;
  if (Bitmap.IsEmpty()) return;
  const int32_t width = Bitmap.GetWidth();
  const int32_t height = Bitmap.GetHeight();
  TIERowAccessScope readOnly(Bitmap, iraRead);
  TIERowReader reader(Bitmap, ie24RGB);
  int64_t sumR = 0, sumG = 0, sumB = 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* px = reader.Read(y);
    int64_t rowR = 0, rowG = 0, rowB = 0;
    for (int32_t x = 0; x < width; ++x) {
      rowB += px[3 * x];
      rowG += px[3 * x + 1];
      rowR += px[3 * x + 2];
    }
    sumR += rowR / width;
    sumG += rowG / width;
    sumB += rowB / width;
  }
  R = static_cast<int32_t>(sumR / height);
  G = static_cast<int32_t>(sumG / height);
  B = static_cast<int32_t>(sumB / height);
}
