#include "imaging/processing/ie_stretch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"

TIEBitmap& _IEBmpStretchEx(TIEBitmap& Source, TIEBitmap& Dest, TObject* Sender, const TIEProgressEvent& OnProgress) {
  if (Source.IsEmpty() || Dest.IsEmpty() || Source.PixelFormat() != Dest.PixelFormat()) return Dest;
  const int32_t sw = Source.Width(), sh = Source.Height();
  const int32_t dw = Dest.Width(), dh = Dest.Height();
  const TIEPixelFormat format = Source.PixelFormat();
  const int32_t bytes = IEBytesPerPixel[format];

  std::vector<int32_t> columns(static_cast<size_t>(dw));
  const double sx = static_cast<double>(sw) / dw;
  for (int32_t i = 0; i < dw; ++i) columns[static_cast<size_t>(i)] = std::min(sw - 1, static_cast<int32_t>(sx * i));
  const double sy = static_cast<double>(sh) / dh;

  int32_t lastPercent = -1;
  auto report = [&](int32_t percent) {
    if (OnProgress && percent != lastPercent) {
      lastPercent = percent;
      OnProgress(Sender, percent);
    }
  };
  report(0);
  // A source row is read into a buffer first: a file-held bitmap maps one row at a time.
  std::vector<uint8_t> sourceRow(static_cast<size_t>(Source.RowLen()));
  int32_t bufferedRow = -1;
  for (int32_t j = 0; j < dh; ++j) {
    const int32_t y = std::min(sh - 1, static_cast<int32_t>(sy * j));
    if (y != bufferedRow) {
      std::memcpy(sourceRow.data(), Source.GetRow(y), sourceRow.size());
      bufferedRow = y;
    }
    const uint8_t* src = sourceRow.data();
    uint8_t* dst = static_cast<uint8_t*>(Dest.GetRow(j));
    if (format == ie1g) {
      std::memset(dst, 0, static_cast<size_t>(Dest.RowLen()));
      for (int32_t i = 0; i < dw; ++i) {
        const int32_t x = columns[static_cast<size_t>(i)];
        if (src[x >> 3] & (0x80 >> (x & 7))) dst[i >> 3] |= static_cast<uint8_t>(0x80 >> (i & 7));
      }
    } else {
      for (int32_t i = 0; i < dw; ++i)
        std::memcpy(dst + static_cast<size_t>(i) * bytes, src + static_cast<size_t>(columns[static_cast<size_t>(i)]) * bytes,
                    static_cast<size_t>(bytes));
    }
    report(static_cast<int32_t>(j * 100 / (dh + 0.5)));
  }
  if (format == ie8p) Source.CopyPaletteTo(&Dest);
  return Dest;
}
