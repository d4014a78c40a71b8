#include "imaging/processing/ie_row_table.h"

#include <algorithm>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_resample_bands.h"

namespace {

// Below this many pixels a pass runs on the calling thread: starting workers costs more.
constexpr int64_t kThreadedPixelsMinimum = 1 << 16;

}  // namespace

TIERowTable::TIERowTable(TIEBitmap& Bitmap, TIERowAccess Access) : bitmap_(Bitmap), oldAccess_(Bitmap.RowAccess()) {
  const int32_t height = Bitmap.Height();
  rows_.resize(static_cast<size_t>(std::max(height, 0)));
  if (Bitmap.Location() != ieFile) {
    for (int32_t y = 0; y < height; ++y) rows_[static_cast<size_t>(y)] = static_cast<uint8_t*>(Bitmap.GetRow(y));
    return;
  }
  Bitmap.SetRowAccess(Access);
  held_ = true;
  try {
    for (int32_t y = 0; y < height; ++y) rows_[static_cast<size_t>(y)] = static_cast<uint8_t*>(Bitmap.AcquireRow(y));
  } catch (...) {
    for (int32_t y = 0; y < height && rows_[static_cast<size_t>(y)]; ++y) {
      try {
        Bitmap.ReleaseRow(y);
      } catch (...) {
      }
    }
    Bitmap.SetRowAccess(oldAccess_);
    throw;
  }
}

TIERowTable::~TIERowTable() {
  try {
    Release();
  } catch (...) {
  }
}

void TIERowTable::Release() {
  if (!held_) return;
  held_ = false;
  // Every row is let go even when one cannot be written back; the first error is raised after.
  std::exception_ptr error;
  for (int32_t y = 0; y < static_cast<int32_t>(rows_.size()); ++y) {
    try {
      bitmap_.ReleaseRow(y);
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  }
  bitmap_.SetRowAccess(oldAccess_);
  rows_.clear();
  if (error) std::rethrow_exception(error);
}

void TakeResultImage(TIEBitmap& Bitmap, TIEBitmap& Result, bool WithAlpha) {
  if (&Bitmap == &Result || Result.IsEmpty()) return;
  std::unique_ptr<TIEBitmap> resultAlpha = WithAlpha ? Result.SetAlphaChannel(nullptr) : nullptr;
  if (Bitmap.Location() == ieTBitmap || Bitmap.ExternalMemory()) {
    // The pixels stay where the caller sees them.
    Bitmap.AssignImage(Result);
    Result.FreeImage(true);
  } else {
    const bool isAlpha = Bitmap.IsAlphaChannel();
    const uint8_t bwConversion = Bitmap.BWConversion();
    std::unique_ptr<TIEBitmap> ownAlpha = Bitmap.SetAlphaChannel(nullptr);
    Result.MoveStorageTo(Bitmap);
    Bitmap.SetIsAlphaChannel(isAlpha);
    Bitmap.SetBWConversion(bwConversion);
    if (!WithAlpha) Bitmap.SetAlphaChannel(std::move(ownAlpha));
  }
  Bitmap.SetFull(false);
  if (WithAlpha) {
    if (resultAlpha)
      Bitmap.SetAlphaChannel(std::move(resultAlpha));
    else
      Bitmap.RemoveAlphaChannel(false);
  }
}

std::unique_ptr<TIEBitmap> NewResultBitmap(TIEBitmap& Like) {
  auto result = std::make_unique<TIEBitmap>();
  if (Like.RowAlignment() != result->RowAlignment()) result->SetRowAlignment(Like.RowAlignment());
  return result;
}

int32_t GeometryThreadCount(TIEBitmap& Source, TIEBitmap& Dest, int64_t Pixels) {
  if (Pixels < kThreadedPixelsMinimum || IsFileHeldBitmap(Dest)) return 1;
  return ResampleThreadCount(Source);
}
