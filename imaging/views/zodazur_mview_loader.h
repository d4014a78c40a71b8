#pragma once
// The thumbnail view's background loaders and their results (the view's own; its files share them).
#include <cstdint>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/views/zodazur_mview.h"

// A loader: its reader and the bitmap it loads into. The reader's Tag names the image by its
// serial while the load runs; -1 when it has finished, -2 when it was abandoned.
struct TZodazUrMView::Loader {
  std::unique_ptr<TZodazUrIO> IO;
  std::unique_ptr<TIEBitmap> Bitmap;
};

// What a finished background load hands to the user-interface thread.
struct TZodazUrMView::LoadResult {
  uint64_t Serial = 0;
  std::unique_ptr<TIEBitmap> Image;  // nil when the load failed
  std::unique_ptr<TIOParamsVals> Params;
  TColor Background = clBtnFace;
};

