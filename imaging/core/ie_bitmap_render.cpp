// TIEBitmap: drawing a bitmap of any format scaled into a rectangle of a 24-bit bitmap, with
// clipping, filtered resampling, the display adjustments, a blend operation, opacity and the alpha
// channel; and stretching a rectangle with its alpha into another bitmap.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_convert_rows.h"
#include "imaging/core/ie_render_hooks.h"
#include "imaging/core/ie_render_rows.h"
#include "platform/gdi/bitmap.h"

namespace {

// Sides of the clip rectangle when there is none.
constexpr int64_t kNoClip = 2147483646;
// 1:1 in the 14-bit fixed-point steps.
constexpr int64_t kUnitStep = 16384;

// A double made an int64 by Trunc, held well inside the type.
int64_t TruncTo64(double v) {
  if (!(v == v)) return 0;
  return static_cast<int64_t>(std::clamp(v, -4e18, 4e18));
}

// The source rectangle limited to the image: the origin into the image, the size to what lies
// from the origin to the image's edge.
void ClipSource(int64_t& sx, int64_t& sy, int64_t& sw, int64_t& sh, int64_t width, int64_t height) {
  sx = std::clamp<int64_t>(sx, 0, width - 1);
  sy = std::clamp<int64_t>(sy, 0, height - 1);
  sw = std::clamp<int64_t>(sw, 0, width - sx);
  sh = std::clamp<int64_t>(sh, 0, height - sy);
}

// The table of destination rows: the kept one when it was built for this bitmap as it is now.
const std::vector<uint8_t*>& DestRowTable(TIEBitmap& Dest, TIERenderDestRows* Kept, bool FreeMaps,
                                          TIERenderDestRows& Own) {
  const int32_t h = Dest.Height();
  const void* first = Dest.GetRow(0);
  const void* last = Dest.GetRow(h - 1);
  if (Kept && !Kept->Empty() && Kept->Dest == &Dest && Kept->Width == Dest.Width() && Kept->Height == h &&
      Kept->FirstRow == first && Kept->LastRow == last && static_cast<int32_t>(Kept->Rows.size()) == h)
    return Kept->Rows;
  TIERenderDestRows& table = Kept && !FreeMaps ? *Kept : Own;
  table.Rows.resize(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) table.Rows[static_cast<size_t>(y)] = static_cast<uint8_t*>(Dest.GetRow(y));
  table.Dest = &Dest;
  table.Width = Dest.Width();
  table.Height = h;
  table.FirstRow = first;
  table.LastRow = last;
  return table.Rows;
}

// An index map: the kept one when it was built for this geometry (over the drawn range or a wider
// one), else entry i = Trunc((First + i - DstOrigin) * Ratio + SrcOrigin) limited to 0 .. SrcSize - 1.
const int32_t* IndexMap(TIERenderIndexMap* Kept, bool FreeMaps, TIERenderIndexMap& Own, int32_t First, int32_t Last,
                        int32_t DstOrigin, int32_t SrcOrigin, double Ratio, int32_t SrcSize) {
  if (Kept && !Kept->Empty() && Kept->First <= First && Kept->Last >= Last && Kept->DstOrigin == DstOrigin &&
      Kept->SrcOrigin == SrcOrigin && Kept->Ratio == Ratio && Kept->SrcSize == SrcSize &&
      static_cast<int64_t>(Kept->Entries.size()) == int64_t{Kept->Last} - Kept->First + 1)
    return Kept->Entries.data() + (First - Kept->First);
  TIERenderIndexMap& map = Kept && !FreeMaps ? *Kept : Own;
  map.Entries.resize(static_cast<size_t>(int64_t{Last} - First + 1));
  for (int64_t x = First; x <= Last; ++x)
    map.Entries[static_cast<size_t>(x - First)] =
        static_cast<int32_t>(std::clamp<int64_t>(TruncTo64((x - DstOrigin) * Ratio + SrcOrigin), 0, SrcSize - 1));
  map.First = First;
  map.Last = Last;
  map.DstOrigin = DstOrigin;
  map.SrcOrigin = SrcOrigin;
  map.Ratio = Ratio;
  map.SrcSize = SrcSize;
  return map.Entries.data();
}

// Copies the rectangle of Source (and, with WithAlpha, its alpha channel with its Full flag) into a
// new bitmap of the rectangle's size.
std::unique_ptr<TIEBitmap> CopyOut(TIEBitmap& Source, int32_t X, int32_t Y, int32_t W, int32_t H, bool WithAlpha) {
  auto part = std::make_unique<TIEBitmap>(W, H, Source.PixelFormat());
  if (part->IsEmpty()) throw std::bad_alloc();
  Source.CopyPaletteTo(part.get());
  Source.CopyRectTo(*part, X, Y, 0, 0, W, H);
  if (WithAlpha) {
    TIEBitmap* alpha = Source.GetAlphaChannel();
    alpha->CopyRectTo(*part->GetAlphaChannel(), X, Y, 0, 0, W, H);
    part->GetAlphaChannel()->SetFull(alpha->Full());
  }
  return part;
}

// The resampled picture of the rectangle Part at W x H (step 5 of the drawing): ie1g through the
// 1-bit resampler (ie1g for the projections), ie24RGB through the kernel resampler, the alpha channel
// through the grey resampler with its Full flag carried over.
std::unique_ptr<TIEBitmap> Resampled(TIEBitmap& Part, int32_t W, int32_t H, TResampleFilter Filter) {
  const bool projection = Filter == rfProjectBW || Filter == rfProjectWB;
  const TIEPixelFormat format = Part.PixelFormat() == ie1g && projection ? ie1g : ie24RGB;
  auto out = std::make_unique<TIEBitmap>(W, H, format);
  if (out->IsEmpty()) throw std::bad_alloc();
  if (Part.PixelFormat() == ie1g)
    IERenderHooks.Resample1Bit(Part, *out, Filter);
  else
    IERenderHooks.Resample(Part, *out, Filter);
  if (Part.HasAlphaChannel()) {
    TIEBitmap* alpha = Part.GetAlphaChannel();
    IERenderHooks.ResampleGray8(*alpha, *out->GetAlphaChannel(), Filter);
    out->GetAlphaChannel()->SetFull(alpha->Full());
  }
  return out;
}

// The display settings that travel with a resampled picture.
void CopyDisplaySettings(TIEBitmap& From, TIEBitmap& To) {
  for (int32_t i = 0; i < 4; ++i) To.SetChannelOffset(i, From.ChannelOffset(i));
  To.SetContrast(From.Contrast());
  To.SetDisplayRangeMin(From.DisplayRangeMin());
  To.SetDisplayRangeMax(From.DisplayRangeMax());
}

}  // namespace

void TIEBitmap::RenderToTIEBitmapEx(TIEBitmap& Dest, TIERenderDestRows* DestRows, TIERenderIndexMap* ColumnMap,
                                    TIERenderIndexMap* RowMap, const TRect* ClipRect, int32_t DstX, int32_t DstY,
                                    int32_t DstWidth, int32_t DstHeight, int32_t SrcX, int32_t SrcY,
                                    int32_t SrcWidth, int32_t SrcHeight, bool UseAlpha, bool ReuseRows,
                                    int32_t Opacity, TResampleFilter Filter, bool FreeMaps, uint8_t BlendOp) {
  if (&Dest == this || IsEmpty() || Dest.IsEmpty() || Dest.PixelFormat() != ie24RGB) return;
  if (PixelFormat() == ie8p && (!GetPaletteBuffer() || GetPaletteLength() == 0)) return;
  const int64_t dw = Dest.Width(), dh = Dest.Height(), sw = Width(), sh = Height();
  if (DstWidth <= 0 || DstHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0 || DstX >= dw || DstY >= dh) return;
  TIERowAccessScope readOnly(*this, iraRead);

  // The ratios; the parts of the rectangle before Dest's first and past its last row and column
  // are cut, the source with them (Round half to even before, Trunc past).
  const double ry = static_cast<double>(SrcHeight) / DstHeight, rx = static_cast<double>(SrcWidth) / DstWidth;
  int64_t dx = DstX, dy = DstY, dwid = DstWidth, dhei = DstHeight, sx = SrcX, sy = SrcY, swid = SrcWidth,
          shei = SrcHeight;
  if (dy < 0) {
    const int64_t k = TruncTo64(std::nearbyint(-dy * ry));
    dhei += dy;
    shei -= k;
    sy += k;
    dy = 0;
  }
  if (dx < 0) {
    const int64_t k = TruncTo64(std::nearbyint(-dx * rx));
    dwid += dx;
    swid -= k;
    sx += k;
    dx = 0;
  }
  if (dy + dhei > dh) {
    shei -= TruncTo64((dy + dhei - dh) * ry);
    dhei = dh - dy;
  }
  if (dx + dwid > dw) {
    swid -= TruncTo64((dx + dwid - dw) * rx);
    dwid = dw - dx;
  }
  dx = std::clamp<int64_t>(dx, 0, dw - 1);
  dy = std::clamp<int64_t>(dy, 0, dh - 1);
  dwid = std::clamp<int64_t>(dwid, 0, dw - dx);
  dhei = std::clamp<int64_t>(dhei, 0, dh - dy);
  ClipSource(sx, sy, swid, shei, sw, sh);
  if (dwid == 0 || dhei == 0 || swid == 0 || shei == 0) return;

  TIEBitmap* alphaChannel = UseAlpha && HasAlphaChannel() && !alphaChannel_->Full() ? alphaChannel_.get() : nullptr;
  if (alphaChannel && (alphaChannel->Width() != sw || alphaChannel->Height() != sh)) alphaChannel = nullptr;
  try {
    const TIEPixelFormat format = PixelFormat();
    const bool plainCopy = Opacity >= 255 && !alphaChannel && !HasChannelOffsets() && Contrast() == 0 && BlendOp == 0 &&
                           DisplayRangeMin() == 0 && DisplayRangeMax() == 0;
    if (Filter == rfFastLinear && format == ie24RGB && plainCopy && Dest.Location() != ieFile &&
        (swid != dwid || shei != dhei) && IERenderHooks.ResampleRect24) {
      // The rectangle is resampled where it lies, straight into Dest: the bytes of resampling a
      // copy of it and copying the result into place, without the two copies.
      const int64_t clipL = ClipRect ? ClipRect->Left : -kNoClip, clipT = ClipRect ? ClipRect->Top : -kNoClip;
      const int64_t clipR = ClipRect ? ClipRect->Right : kNoClip, clipB = ClipRect ? ClipRect->Bottom : kNoClip;
      const int64_t firstCol = std::max<int64_t>({dx, clipL, 0}), lastCol = std::min({dx + dwid - 1, clipR, dw - 1});
      const int64_t firstRow = std::max<int64_t>({dy, clipT, 0}), lastRow = std::min({dy + dhei - 1, clipB, dh - 1});
      if (firstCol > lastCol || firstRow > lastRow) return;
      TIERenderDestRows ownRows;
      const std::vector<uint8_t*>& rows = DestRowTable(Dest, DestRows, FreeMaps, ownRows);
      IERenderHooks.ResampleRect24(*this, static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(swid),
                                   static_cast<int32_t>(shei), rows.data(), static_cast<int32_t>(dx),
                                   static_cast<int32_t>(dy), static_cast<int32_t>(dwid), static_cast<int32_t>(dhei),
                                   static_cast<int32_t>(firstCol), static_cast<int32_t>(lastCol),
                                   static_cast<int32_t>(firstRow), static_cast<int32_t>(lastRow));
      return;
    }
    if (Filter != rfNone && (format == ie1g || format == ie24RGB) && (swid != dwid || shei != dhei)) {
      // Filtered: resample the rectangle to the drawn size, then draw that 1:1.
      const int32_t x = static_cast<int32_t>(sx), y = static_cast<int32_t>(sy), w = static_cast<int32_t>(swid),
                    h = static_cast<int32_t>(shei), ow = static_cast<int32_t>(dwid), oh = static_cast<int32_t>(dhei);
      std::unique_ptr<TIEBitmap> out;
      if (swid < dwid || format == ie24RGB || alphaChannel || Filter == rfProjectBW || Filter == rfProjectWB) {
        // The whole image without its alpha is resampled where it is; a part is copied out first.
        if (x == 0 && y == 0 && w == sw && h == sh && !HasAlphaChannel()) {
          out = Resampled(*this, ow, oh, Filter);
        } else {
          auto part = CopyOut(*this, x, y, w, h, alphaChannel != nullptr);
          out = Resampled(*part, ow, oh, Filter);
        }
      } else {
        out = std::make_unique<TIEBitmap>(ow, oh, ie24RGB);
        if (out->IsEmpty()) return;
        IERenderHooks.Resample1BitToGray(*this, x, y, x + w - 1, y + h - 1, *out);
      }
      CopyDisplaySettings(*this, *out);
      out->RenderToTIEBitmapEx(Dest, nullptr, nullptr, nullptr, ClipRect, static_cast<int32_t>(dx),
                               static_cast<int32_t>(dy), ow, oh, 0, 0, ow, oh, UseAlpha, ReuseRows, Opacity, rfNone,
                               true, BlendOp);
      return;
    }

    // Steps in 14-bit fixed point, 16384 for 1:1.
    const int64_t ystep = TruncTo64(static_cast<double>(shei) / dhei * kUnitStep);
    const int64_t xstep = TruncTo64(static_cast<double>(swid) / dwid * kUnitStep);
    // The drawn range inside Dest and the clip rectangle.
    const int64_t clipL = ClipRect ? ClipRect->Left : -kNoClip, clipT = ClipRect ? ClipRect->Top : -kNoClip;
    const int64_t clipR = ClipRect ? ClipRect->Right : kNoClip, clipB = ClipRect ? ClipRect->Bottom : kNoClip;
    const int64_t firstCol = std::max<int64_t>({dx, clipL, 0}), lastCol = std::min({dx + dwid - 1, clipR, dw - 1});
    const int64_t firstRow = std::max<int64_t>({dy, clipT, 0}), lastRow = std::min({dy + dhei - 1, clipB, dh - 1});
    if (firstCol > lastCol || firstRow > lastRow) return;

    const bool fileDest = Dest.Location() == ieFile;
    TIERenderDestRows ownRows;
    const std::vector<uint8_t*>* rows = fileDest ? nullptr : &DestRowTable(Dest, DestRows, FreeMaps, ownRows);
    TIERowAccessScope alphaReadOnly(alphaChannel ? *alphaChannel : *this, iraRead);

    const bool rangeSet = DisplayRangeMin() != 0 || DisplayRangeMax() != 0;
    if (format == ie24RGB && xstep == kUnitStep && ystep == kUnitStep && Opacity >= 255 && !alphaChannel &&
        !HasChannelOffsets() && Contrast() == 0 && BlendOp == 0 && !rangeSet) {
      // 1:1 copy of row memory.
      const size_t bytes = 3 * static_cast<size_t>(lastCol - firstCol + 1);
      const int64_t fromCol = firstCol + sx - dx;
      for (int64_t r = firstRow; r <= lastRow; ++r) {
        const auto* src = static_cast<const uint8_t*>(GetRow(static_cast<int32_t>(r + sy - dy)));
        uint8_t* dst = rows ? (*rows)[static_cast<size_t>(r)] : static_cast<uint8_t*>(Dest.GetRow(static_cast<int32_t>(r)));
        std::memcpy(dst + 3 * firstCol, src + 3 * fromCol, bytes);
      }
      return;
    }

    TIERenderIndexMap ownColumns, ownRowMap;
    TIERenderRowsJob job;
    job.Source = this;
    job.Alpha = alphaChannel;
    job.Dest = &Dest;
    job.DestRows = rows ? rows->data() : nullptr;
    job.FirstRow = static_cast<int32_t>(firstRow);
    job.LastRow = static_cast<int32_t>(lastRow);
    job.FirstCol = static_cast<int32_t>(firstCol);
    job.LastCol = static_cast<int32_t>(lastCol);
    job.ColumnMap = IndexMap(ColumnMap, FreeMaps, ownColumns, job.FirstCol, job.LastCol, static_cast<int32_t>(dx),
                             static_cast<int32_t>(sx), rx, static_cast<int32_t>(sw));
    job.RowMap = IndexMap(RowMap, FreeMaps, ownRowMap, job.FirstRow, job.LastRow, static_cast<int32_t>(dy),
                          static_cast<int32_t>(sy), ry, static_cast<int32_t>(sh));
    job.ReuseRows = ReuseRows;
    job.BlendOp = BlendOp;
    job.Opacity = std::clamp(Opacity, 0, 255);
    const TIERowRenderer render = IERowRenderer(format, Opacity < 255 || alphaChannel);
    if (render) render(job);
  } catch (...) {
    // Drawing ends where it failed; the caller sees no error.
  }
}

void TIEBitmap::RenderToTIEBitmap(TIEBitmap& Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                                  int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity,
                                  TResampleFilter Filter, uint8_t BlendOp) {
  RenderToTIEBitmapEx(Dest, nullptr, nullptr, nullptr, nullptr, DstX, DstY, DstWidth, DstHeight, SrcX, SrcY, SrcWidth,
                      SrcHeight, true, false, Opacity, Filter, true, BlendOp);
}

void TIEBitmap::RenderToTBitmapEx(TBitmap* Dest, TIERenderDestRows* DestRows, TIERenderIndexMap* ColumnMap,
                                  TIERenderIndexMap* RowMap, const TRect* ClipRect, int32_t DstX, int32_t DstY,
                                  int32_t DstWidth, int32_t DstHeight, int32_t SrcX, int32_t SrcY, int32_t SrcWidth,
                                  int32_t SrcHeight, bool UseAlpha, bool ReuseRows, int32_t Opacity,
                                  TResampleFilter Filter, bool FreeMaps, uint8_t BlendOp) {
  if (!Dest || Dest->Empty() || Dest->PixelFormat() != pf24bit) return;
  try {
    TIEBitmap wrapped;
    wrapped.WrapTBitmap(Dest, false);
    // The wrapper lives for this call only: a kept row table is rebuilt for it each time.
    RenderToTIEBitmapEx(wrapped, DestRows, ColumnMap, RowMap, ClipRect, DstX, DstY, DstWidth, DstHeight, SrcX, SrcY,
                        SrcWidth, SrcHeight, UseAlpha, ReuseRows, Opacity, Filter, FreeMaps, BlendOp);
    if (DestRows && DestRows->Dest == &wrapped) DestRows->Clear();
  } catch (...) {
  }
}

void TIEBitmap::RenderToTBitmap(TBitmap* Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                                int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity,
                                TResampleFilter Filter, uint8_t BlendOp) {
  RenderToTBitmapEx(Dest, nullptr, nullptr, nullptr, nullptr, DstX, DstY, DstWidth, DstHeight, SrcX, SrcY, SrcWidth,
                    SrcHeight, true, false, Opacity, Filter, true, BlendOp);
}

void TIEBitmap::StretchRectTo(TIEBitmap& Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                              int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, TResampleFilter Filter,
                              int32_t Opacity) {
  if (&Dest == this || IsEmpty() || Dest.IsEmpty() || Dest.PixelFormat() != ie24RGB) return;
  if (DstWidth <= 0 || DstHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0) return;
  const int64_t dw = Dest.Width(), dh = Dest.Height();
  int64_t sx = SrcX, sy = SrcY, swid = SrcWidth, shei = SrcHeight;
  ClipSource(sx, sy, swid, shei, Width(), Height());
  if (swid == 0 || shei == 0) return;
  Opacity = std::clamp(Opacity, 0, 255);
  TIERowAccessScope readOnly(*this, iraRead);
  try {
    TIEBitmap* alpha = HasAlphaChannel() && !alphaChannel_->Full() && alphaChannel_->Width() == Width() &&
                               alphaChannel_->Height() == Height()
                           ? alphaChannel_.get()
                           : nullptr;
    // A resampled picture far larger than Dest (an object zoomed far beyond the view) is not made:
    // such a rectangle is stretched by the nearest pixels.
    const bool affordable = int64_t{DstWidth} * DstHeight <= 4 * dw * dh + 65536;
    if (Filter != rfNone && (swid != DstWidth || shei != DstHeight) && affordable) {
      // Resampled to the target size, then stretched 1:1.
      const int32_t x = static_cast<int32_t>(sx), y = static_cast<int32_t>(sy), w = static_cast<int32_t>(swid),
                    h = static_cast<int32_t>(shei);
      std::unique_ptr<TIEBitmap> out;
      if (swid < DstWidth || PixelFormat() != ie1g || alpha) {
        auto part = CopyOut(*this, x, y, w, h, alpha != nullptr);
        if (part->PixelFormat() != ie1g && part->PixelFormat() != ie24RGB) part->SetPixelFormat(ie24RGB);
        out = Resampled(*part, DstWidth, DstHeight, Filter);
      } else {
        out = std::make_unique<TIEBitmap>(DstWidth, DstHeight, ie24RGB);
        if (out->IsEmpty()) return;
        IERenderHooks.Resample1BitToGray(*this, x, y, x + w - 1, y + h - 1, *out);
      }
      out->StretchRectTo(Dest, DstX, DstY, DstWidth, DstHeight, 0, 0, DstWidth, DstHeight, rfNone, Opacity);
      return;
    }

    const int64_t ystep = TruncTo64(static_cast<double>(shei) / DstHeight * kUnitStep);
    const int64_t xstep = TruncTo64(static_cast<double>(swid) / DstWidth * kUnitStep);
    const int64_t firstCol = std::max<int64_t>(DstX, 0), lastCol = std::min<int64_t>(int64_t{DstX} + DstWidth - 1, dw - 1);
    const int64_t firstRow = std::max<int64_t>(DstY, 0), lastRow = std::min<int64_t>(int64_t{DstY} + DstHeight - 1, dh - 1);
    if (firstCol > lastCol || firstRow > lastRow) return;
    const int32_t n = static_cast<int32_t>(lastCol - firstCol + 1);
    // Source column of each drawn column and source row of each drawn row, inside the rectangle.
    std::vector<int32_t> columns(static_cast<size_t>(n));
    for (int64_t x = firstCol; x <= lastCol; ++x)
      columns[static_cast<size_t>(x - firstCol)] =
          static_cast<int32_t>(sx + std::min(((x - DstX) * xstep) >> 14, swid - 1));
    auto sourceRow = [&](int64_t y) { return static_cast<int32_t>(sy + std::min(((y - DstY) * ystep) >> 14, shei - 1)); };

    // Dest's alpha channel: the source's lowered to Opacity, or Opacity.
    TIEBitmap* destAlpha = Dest.GetAlphaChannel();
    TIERowAccessScope alphaReadOnly(alpha ? *alpha : *this, iraRead);
    for (int64_t y = firstRow; y <= lastRow; ++y) {
      uint8_t* out = static_cast<uint8_t*>(destAlpha->GetRow(static_cast<int32_t>(y))) + firstCol;
      if (alpha) {
        const auto* in = static_cast<const uint8_t*>(alpha->GetRow(sourceRow(y)));
        for (int32_t i = 0; i < n; ++i) out[i] = std::min<uint8_t>(in[columns[static_cast<size_t>(i)]], static_cast<uint8_t>(Opacity));
      } else {
        std::memset(out, Opacity, static_cast<size_t>(n));
      }
    }
    destAlpha->SetFull(false);

    // The pixels, read as blue, green, red (other formats through the conversions' reading).
    TIERowReader reader(*this, ie24RGB);
    for (int64_t y = firstRow; y <= lastRow; ++y) {
      const uint8_t* src = reader.Read(sourceRow(y));
      uint8_t* dst = static_cast<uint8_t*>(Dest.GetRow(static_cast<int32_t>(y))) + 3 * firstCol;
      for (int32_t i = 0; i < n; ++i) std::memcpy(dst + 3 * i, src + 3 * static_cast<size_t>(columns[static_cast<size_t>(i)]), 3);
    }
  } catch (...) {
  }
}
