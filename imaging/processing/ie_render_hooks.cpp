// The processing module's side of the seam that TIEBitmap's rendering and printing call.
#include "imaging/core/ie_render_hooks.h"

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_dib_export.h"
#include "imaging/processing/ie_dib_import.h"
#include "imaging/processing/ie_gauss_blur.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_resample_fast.h"
#include "imaging/processing/ie_stretch.h"

namespace {

void Resample(TIEBitmap& Source, TIEBitmap& Dest, TResampleFilter Filter) {
  _ResampleEx(Source, Dest, Filter, nullptr, nullptr);
}

void Resample1BitToGrayHook(TIEBitmap& Source, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TIEBitmap& Dest) {
  Resample1BitToGray(Source, X1, Y1, X2, Y2, Dest);
}

void Stretch(TIEBitmap& Source, TIEBitmap& Dest) { _IEBmpStretchEx(Source, Dest, nullptr, nullptr); }

void GammaCorrect(void* DIB, double Gamma) { GammaCorrectDIB(DIB, Gamma); }

void ResampleRect24(TIEBitmap& Source, int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                    uint8_t* const* DestRows, int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight,
                    int32_t FirstCol, int32_t LastCol, int32_t FirstRow, int32_t LastRow) {
  FastLinearResample24Rect(Source, SrcX, SrcY, SrcWidth, SrcHeight, DestRows, DestX, DestY, DestWidth, DestHeight,
                           FirstCol, LastCol, FirstRow, LastRow);
}

}  // namespace

extern const TIERenderHooks IERenderHooks{Resample,           _Resample1BitEx, ResampleGray8,
                                          Resample1BitToGrayHook, Stretch,    _CopyBitmaptoDIBEx,
                                          GammaCorrect,       ResampleRect24,  GaussianBlurGray8};
