#include "imaging/processing/ie_resample.h"

#include <memory>
#include <new>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/processing/ie_resample_area.h"
#include "imaging/processing/ie_resample_fast.h"
#include "imaging/processing/ie_resample_filters.h"
#include "imaging/processing/ie_resample_two_pass.h"
#include "imaging/processing/ie_stretch.h"

namespace {

// The tables of a kernel filter, for both axes.
TIEContributorTableMaker KernelTables(TResampleFilter Filter) {
  return [Filter](int32_t SourceSize, int32_t DestSize) { return TIEContributorTable(SourceSize, DestSize, Filter); };
}

// Gives Dest the pixel format Format (a TIEBitmap is converted; any other kind must have it).
bool EnsureFormat(TIEBaseBitmap& Dest, TIEPixelFormat Format) {
  if (Dest.GetPixelFormat() == Format) return true;
  TIEBitmap* bitmap = dynamic_cast<TIEBitmap*>(&Dest);
  if (!bitmap) return false;
  bitmap->SetPixelFormat(Format);
  return bitmap->PixelFormat() == Format && !bitmap->IsEmpty();
}

bool TooSmall(TIEBaseBitmap& Source) {
  const int32_t w = Source.GetWidth(), h = Source.GetHeight();
  return w <= 0 || h <= 0 || (w < 2 && h < 2);
}

bool IsProjection(TResampleFilter Filter) { return Filter == rfProjectBW || Filter == rfProjectWB; }

}  // namespace

// ------------------------------------------------------------------------------------- entry points

void _ResampleEx(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TResampleFilter Filter,
                 const TIEProgressEvent& OnProgress, TObject* Sender) {
  if (TooSmall(Source) || Dest.GetWidth() <= 0 || Dest.GetHeight() <= 0 || &Source == &Dest) return;
  const TIEPixelFormat format = Source.GetPixelFormat();
  if (Filter == rfNone) {
    TIEBitmap* src = dynamic_cast<TIEBitmap*>(&Source);
    TIEBitmap* dst = dynamic_cast<TIEBitmap*>(&Dest);
    if (src && dst) _IEBmpStretchEx(*src, *dst, Sender, OnProgress);
    return;
  }
  if (Filter == rfBilinear || Filter == rfBicubic) {
    const bool bicubic = Filter == rfBicubic;
    if (format == ie24RGB || format == ie8g) {
      if (EnsureFormat(Dest, format)) AreaResample8(Source, Dest, bicubic, OnProgress, Sender);
      return;
    }
    if (format == ie16g || format == ieRGB48) {
      if (EnsureFormat(Dest, format)) AreaResample16(Source, Dest, bicubic, OnProgress, Sender);
      return;
    }
    Filter = rfTriangle;
  }
  if (format == ie8g) {
    TIEBitmap* src = dynamic_cast<TIEBitmap*>(&Source);
    TIEBitmap* dst = dynamic_cast<TIEBitmap*>(&Dest);
    if (src && dst) ResampleGray8(*src, *dst, Filter);
    return;
  }
  if ((format == ie16g || format == ieRGB48) && !IsProjection(Filter)) {
    // Deep sources keep their depth and their colour: resampled at 16 bits per sample.
    if (!EnsureFormat(Dest, format)) return;
    const int32_t channels = format == ie16g ? 1 : 3;
    if (Filter == rfFastLinear)
      FastLinearResample16(Source, Dest, channels, Sender, OnProgress);
    else
      TwoPassResample(Source, Dest, KernelTables(Filter), channels, 2, TTwoPassProgress::Kernel, &OnProgress, Sender);
    return;
  }

  // Everything else runs on ie24RGB rows, through a converted copy when the source has another
  // format; the copy goes with the call, also when an exception passes.
  std::unique_ptr<TIEBitmap> copy;
  TIEBaseBitmap* src = &Source;
  if (format != ie24RGB) {
    TIEBitmap* source = dynamic_cast<TIEBitmap*>(&Source);
    if (!source || !dynamic_cast<TIEBitmap*>(&Dest)) return;
    copy = std::make_unique<TIEBitmap>(source->Width(), source->Height(), ie24RGB);
    if (copy->IsEmpty()) throw std::bad_alloc();
    copy->CopyAndConvertFormat(*source);
    src = copy.get();
  }
  if (IsProjection(Filter)) {
    ProjectResample24(*src, Dest, Filter == rfProjectWB, OnProgress, Sender);
    return;
  }
  if (!EnsureFormat(Dest, ie24RGB)) return;
  if (Filter == rfFastLinear)
    FastLinearResample24(*src, Dest, Sender, OnProgress);
  else
    TwoPassResample(*src, Dest, KernelTables(Filter), 3, 1, TTwoPassProgress::Kernel, &OnProgress, Sender);
}

void ResampleGray8(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter) {
  if (TooSmall(Source) || Dest.IsEmpty() || &Source == &Dest || Source.PixelFormat() != ie8g) return;
  if (!EnsureFormat(Dest, ie8g)) return;
  if (Filter == rfNone) {
    _IEBmpStretchEx(Source, Dest, nullptr, nullptr);
    return;
  }
  if (!IsKernelFilter(Filter)) {
    FastLinearResample8(Source, Dest, nullptr, nullptr);
    return;
  }
  TwoPassResample(Source, Dest, KernelTables(Filter), 1, 1, TTwoPassProgress::Kernel, nullptr, nullptr);
}

void _Resample1BitEx(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter) {
  if (TooSmall(Source) || Dest.IsEmpty() || &Source == &Dest || Source.PixelFormat() != ie1g) return;
  if (IsProjection(Filter)) {
    ProjectResample1Bit(Source, Dest, Filter == rfProjectWB, nullptr, nullptr);
    return;
  }
  if (!EnsureFormat(Dest, ie24RGB)) return;
  if (!IsKernelFilter(Filter)) {
    FastLinearResample1Bit(Source, Dest, nullptr, nullptr);
    return;
  }
  // The bits as grey 0 and 255, resampled as grey, written to the three bytes of each pixel.
  const int32_t sw = Source.Width(), sh = Source.Height();
  const int32_t dw = Dest.Width(), dh = Dest.Height();
  TIEBitmap grey(sw, sh, ie8g), result(dw, dh, ie8g);
  if (grey.IsEmpty() || result.IsEmpty()) throw std::bad_alloc();
  {
    TIERowAccessScope readOnly(Source, iraRead);
    for (int32_t y = 0; y < sh; ++y) {
      const uint8_t* bits = Source.Row<uint8_t>(y);
      uint8_t* row = grey.Row<uint8_t>(y);
      for (int32_t x = 0; x < sw; ++x) row[x] = GetRowBit(bits, x) ? 255 : 0;
    }
  }
  TwoPassResample(grey, result, KernelTables(Filter), 1, 1, TTwoPassProgress::Kernel, nullptr, nullptr);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  for (int32_t y = 0; y < dh; ++y) {
    const uint8_t* row = result.Row<uint8_t>(y);
    uint8_t* dst = Dest.Row<uint8_t>(y);
    for (int32_t x = 0; x < dw; ++x) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = row[x];
  }
}

void ResampleBitmap(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter, const TIEProgressEvent& OnProgress,
                    TObject* Sender) {
  if (&Source == &Dest) return;
  if (Source.Width() == Dest.Width() && Source.Height() == Dest.Height()) {
    Dest.Assign(Source);
    return;
  }
  if (Filter == rfNone)
    _IEBmpStretchEx(Source, Dest, Sender, OnProgress);
  else if (Source.PixelFormat() == ie1g) {
    if (!EnsureFormat(Dest, IsProjection(Filter) ? ie1g : ie24RGB)) return;
    _Resample1BitEx(Source, Dest, Filter);
  } else {
    _ResampleEx(Source, Dest, Filter, OnProgress, Sender);
  }
  if (Source.HasAlphaChannel() && !Dest.IsEmpty()) {
    TIEBitmap* alpha = Source.GetAlphaChannel();
    TIEBitmap* destAlpha = Dest.GetAlphaChannel();
    // A channel left from an earlier size is brought to Dest's size first.
    if (destAlpha->Width() != Dest.Width() || destAlpha->Height() != Dest.Height())
      destAlpha->Allocate(Dest.Width(), Dest.Height(), ie8g);
    if (Filter == rfNone)
      _IEBmpStretchEx(*alpha, *destAlpha, nullptr, nullptr);
    else
      ResampleGray8(*alpha, *destAlpha, Filter);
    destAlpha->SetFull(alpha->Full());
  }
}
