#pragma once
// The thumbnail view's background loaders and their results (the view's own; its files share them).
#include <cstdint>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/system/threads.h"

// The thread of one loader: takes the next pending load of its view, loads it on this thread and
// hands the result over, again and again, until the view stops it or nothing has come for a while.
class TIELoaderThread : public TThread {
 public:
  TIELoaderThread(TZodazUrMView* View, TZodazUrMView::Loader* L);
  // Waits for the thread (the view has stopped it first).
  ~TIELoaderThread() override;

 protected:
  void Execute() override;

 private:
  TZodazUrMView* view_;
  TZodazUrMView::Loader* loader_;
};

// A loader: its reader and the bitmap it loads into, kept from load to load, and its thread. The
// fields below the thread are guarded by the view lock.
struct TZodazUrMView::Loader {
  std::unique_ptr<TZodazUrIO> IO;
  std::unique_ptr<TIEBitmap> Bitmap;
  std::unique_ptr<TIELoaderThread> Thread;
  // The serial of the image being loaded, or one of the tags: -1 no load running, -2 the running
  // load was abandoned (its result is dropped).
  intptr_t Tag = -1;
  bool Stop = false;    // the view asks the thread to end
  bool Exited = false;  // the thread has left its loop and touches nothing of the view any more
};

// What a finished background load hands to the user-interface thread.
struct TZodazUrMView::LoadResult {
  uint64_t Serial = 0;
  std::unique_ptr<TIEBitmap> Image;  // nil when the load failed
  std::unique_ptr<TIOParamsVals> Params;
  TColor Background = clBtnFace;
};
