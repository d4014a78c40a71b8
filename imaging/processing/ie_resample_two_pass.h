#pragma once
// The two passes every table-driven resample runs: a horizontal pass (source rows into a work
// bitmap of destination width and source height) in bands of source rows on one worker thread per
// processor core, and a vertical pass (work rows into the destination) in bands of destination
// rows. Both read the integer weights of a TIEContributorTable per axis: the kernel filters' tables
// or the area resampler's. The result does not depend on the number of threads; progress is always
// reported on the calling thread. When nobody listens for progress the passes run fused instead:
// bands of destination rows, each making the horizontal rows it reads as it goes, with no work
// bitmap; the result is the same.
#include <cstdint>
#include <functional>

#include "imaging/core/ie_defs.h"
#include "platform/system/threads.h"

class TIEBaseBitmap;
class TIEContributorTable;

// The table of one axis: SourceSize pixels resampled to DestSize pixels.
using TIEContributorTableMaker = std::function<TIEContributorTable(int32_t SourceSize, int32_t DestSize)>;

// How a two-pass resample reports progress (only when OnProgress is set).
enum class TTwoPassProgress {
  // The filtered resampler's: factor = 100 / (SourceHeight + DestHeight + 0.5); during the
  // horizontal pass the estimate of band 0, Trunc((r * ThreadCount + 1) * factor) after its row r,
  // then Trunc((SourceHeight + k + 1) * factor) after destination row k; each value once.
  Kernel,
  // The area resampler's: Trunc(RowsDone / DestHeight * 100) after every destination row.
  DestRows,
};

// Resamples Source into Dest (same pixel format, the target size, both non-empty) for rows of
// Channels samples of SampleBytes (1 or 2) bytes. Raises std::bad_alloc when the work bitmap cannot
// be had, and what OnProgress raises, after every worker has been joined.
void TwoPassResample(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, const TIEContributorTableMaker& Tables,
                     int32_t Channels, int32_t SampleBytes, TTwoPassProgress Style, const TIEProgressEvent* OnProgress,
                     TObject* Sender);

// What the bands of one horizontal pass share.
struct TResampleJob {
  int32_t ThreadCount = 1;
  int32_t DestWidth = 0;
  const TIEContributorTable* Columns = nullptr;
  // Row Y of the source and of the work bitmap.
  const void* const* SourceRows = nullptr;
  void* const* WorkRows = nullptr;
  int32_t Channels = 3;
  int32_t SampleBytes = 1;
  // 100 / (SourceHeight + DestHeight + 0.5), or 0 when nobody listens.
  double Factor = 0;
  // Where the reporting band hands its values to the calling thread (internal).
  class TResampleProgressRelay* Relay = nullptr;
};

// One band of rows of the horizontal pass. Created suspended; band 0 computes the progress
// estimate of all bands together, Trunc((r * ThreadCount + 1) * Factor) after its row r, and hands
// every new value to the calling thread.
class TResampleHorizThread : public TThread {
 public:
  TResampleHorizThread(int32_t FirstRow, int32_t RowCount, const TResampleJob& Job, int32_t Index);
  ~TResampleHorizThread() override;

 protected:
  void Execute() override;

 private:
  TResampleJob job_;
  int32_t firstRow_;
  int32_t rowCount_;
  int32_t index_;
};
