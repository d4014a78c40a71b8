#include "imaging/processing/ie_stretch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"

namespace {

// Source index of each destination index: Trunc(SourceSize / DestSize * i), never past the end.
std::vector<int32_t> NearestTable(int32_t SourceSize, int32_t DestSize) {
  std::vector<int32_t> table(static_cast<size_t>(DestSize));
  const double step = static_cast<double>(SourceSize) / DestSize;
  for (int32_t i = 0; i < DestSize; ++i)
    table[static_cast<size_t>(i)] = std::min(SourceSize - 1, static_cast<int32_t>(step * i));
  return table;
}

// One destination row from one source row; Bytes fixed at compile time so the copy is one move.
template <int Bytes>
void StretchRow(const uint8_t* src, uint8_t* dst, const int32_t* columns, int32_t count) {
  for (int32_t i = 0; i < count; ++i) std::memcpy(dst + i * Bytes, src + columns[i] * Bytes, Bytes);
}

void StretchRow1Bit(const uint8_t* src, uint8_t* dst, const int32_t* columns, int32_t count, int32_t rowLen) {
  std::memset(dst, 0, static_cast<size_t>(rowLen));
  for (int32_t i = 0; i < count; ++i)
    if (GetRowBit(src, columns[i])) dst[i >> 3] |= IEBitMask1[i & 7];
}

}  // namespace

TIEBitmap& _IEBmpStretchEx(TIEBitmap& Source, TIEBitmap& Dest, TObject* Sender, const TIEProgressEvent& OnProgress) {
  if (&Source == &Dest || Source.IsEmpty() || Dest.IsEmpty()) return Dest;
  const TIEPixelFormat format = Source.PixelFormat();
  if (Dest.PixelFormat() != format && !Dest.Allocate(Dest.Width(), Dest.Height(), format)) return Dest;
  const int32_t sw = Source.Width(), sh = Source.Height();
  const int32_t dw = Dest.Width(), dh = Dest.Height();
  const int32_t bytes = IEBytesPerPixel[format];
  const std::vector<int32_t> columns = NearestTable(sw, dw);
  const std::vector<int32_t> rows = NearestTable(sh, dh);

  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  // Consecutive destination rows from the same source row repeat the row just made; it is kept
  // here because a file-held Dest maps one row at a time.
  std::vector<uint8_t> previous;
  const size_t rowLen = static_cast<size_t>(Dest.RowLen());
  int32_t lastPercent = -1;
  for (int32_t j = 0; j < dh; ++j) {
    uint8_t* dst = Dest.Row<uint8_t>(j);
    const int32_t y = rows[static_cast<size_t>(j)];
    if (j > 0 && y == rows[static_cast<size_t>(j) - 1]) {
      std::memcpy(dst, previous.data(), rowLen);
    } else {
      const uint8_t* src = Source.Row<uint8_t>(y);
      switch (bytes) {
        case 0: StretchRow1Bit(src, dst, columns.data(), dw, Dest.RowLen()); break;
        case 1: StretchRow<1>(src, dst, columns.data(), dw); break;
        case 2: StretchRow<2>(src, dst, columns.data(), dw); break;
        case 3: StretchRow<3>(src, dst, columns.data(), dw); break;
        case 4: StretchRow<4>(src, dst, columns.data(), dw); break;
        default: StretchRow<6>(src, dst, columns.data(), dw); break;
      }
      // The padding bytes are written too, so a file-held row goes back whole.
      const size_t used = bytes == 0 ? rowLen : static_cast<size_t>(dw) * bytes;
      std::memset(dst + used, 0, rowLen - used);
      if (j + 1 < dh && rows[static_cast<size_t>(j) + 1] == y) previous.assign(dst, dst + rowLen);
    }
    if (OnProgress) {
      const int32_t percent = static_cast<int32_t>(j * 100 / (dh + 0.5));
      if (percent != lastPercent) {
        lastPercent = percent;
        OnProgress(Sender, percent);
      }
    }
  }
  if (format == ie8p) Source.CopyPaletteTo(&Dest);
  return Dest;
}
