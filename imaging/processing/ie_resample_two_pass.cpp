#include "imaging/processing/ie_resample_two_pass.h"

#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "imaging/core/ie_base_bitmap.h"
#include "imaging/core/ie_thread_pool.h"
#include "imaging/core/ie_work_bitmap.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_filters.h"
#include "imaging/processing/ie_resample_rows.h"

namespace {

// The horizontal pass of rows First .. First + Count - 1. Report (band 0 only) receives the
// estimate of all bands after each row, when it changes.
template <class ReportFn>
void HorizontalBand(const TResampleJob& job, int32_t first, int32_t count, ReportFn&& report) {
  std::vector<uint8_t> scratch(ResampleRowHScratchSize(*job.Columns, job.Channels, job.SampleBytes));
  for (int32_t r = 0; r < count; ++r) {
    if (job.Relay && job.Relay->Aborted()) return;
    const int32_t y = first + r;
    ResampleRowH(*job.Columns, job.Channels, job.SampleBytes, job.SourceRows[y], job.WorkRows[y], scratch.data());
    if (job.Factor > 0) report(static_cast<int32_t>((static_cast<double>(r) * job.ThreadCount + 1) * job.Factor));
  }
}

// Reports each percentage once, in rising order.
struct TProgressSink {
  const TIEProgressEvent* OnProgress;
  TObject* Sender;
  int32_t Last = -1;
  void operator()(int32_t Value) {
    if (Value == Last) return;
    Last = Value;
    (*OnProgress)(Sender, Value);
  }
};

}  // namespace

void TwoPassResample(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, const TIEContributorTableMaker& Tables,
                     int32_t Channels, int32_t SampleBytes, TTwoPassProgress Style, const TIEProgressEvent* OnProgress,
                     TObject* Sender) {
  const int32_t sw = Source.GetWidth(), sh = Source.GetHeight();
  const int32_t dw = Dest.GetWidth(), dh = Dest.GetHeight();
  const int32_t threads = ResampleThreadCount(Source);
  const bool listening = OnProgress && *OnProgress;
  TProgressSink sink{OnProgress, Sender};
  const bool kernelStyle = Style == TTwoPassProgress::Kernel;
  // The horizontal pass reports only in the filtered resampler's style.
  const double factor = listening && kernelStyle ? 100.0 / (sh + dh + 0.5) : 0;

  TIEWorkBitmap work(dw, sh, Channels * SampleBytes * 8);
  if (!work.Bits()) throw std::bad_alloc();
  std::vector<void*> workRows(static_cast<size_t>(sh));
  for (int32_t y = 0; y < sh; ++y) workRows[static_cast<size_t>(y)] = work.GetRow(y);

  {
    // ---- Horizontal pass ----
    TIERowAccessScope readOnly(Source, iraRead);
    const TIEContributorTable columns = Tables(sw, dw);
    TResampleJob job;
    job.ThreadCount = threads;
    job.DestWidth = dw;
    job.Columns = &columns;
    job.WorkRows = workRows.data();
    job.Channels = Channels;
    job.SampleBytes = SampleBytes;
    job.Factor = factor;
    if (threads == 1) {
      // One band on the calling thread, reading one source row at a time (a file-held source maps
      // one row at a time).
      std::vector<uint8_t> scratch(ResampleRowHScratchSize(columns, Channels, SampleBytes));
      for (int32_t y = 0; y < sh; ++y) {
        ResampleRowH(columns, Channels, SampleBytes, Source.GetRow(y), workRows[static_cast<size_t>(y)],
                     scratch.data());
        if (factor > 0) sink(static_cast<int32_t>((y + 1) * factor));
      }
    } else {
      std::vector<const void*> sourceRows(static_cast<size_t>(sh));
      for (int32_t y = 0; y < sh; ++y) sourceRows[static_cast<size_t>(y)] = Source.GetRow(y);
      job.SourceRows = sourceRows.data();
      TResampleProgressRelay relay(threads);
      job.Relay = &relay;
      TIEThreadPool pool;
      const int32_t band = sh / threads;
      for (int32_t t = 0; t < threads; ++t) {
        const int32_t count = t == threads - 1 ? sh - (threads - 1) * band : band;
        pool.Add(std::make_unique<TResampleHorizThread>(t * band, count, job, t));
      }
      relay.Serve([&](const std::vector<int32_t>& values, int32_t) {
        for (int32_t v : values) sink(v);
      });
      pool.WaitForAll();
      relay.Rethrow();
    }
  }

  // ---- Vertical pass ----
  const TIEContributorTable rowTable = Tables(sh, dh);
  const int32_t samples = dw * Channels;
  TIERowAccessScope writeOnly(Dest, iraWrite);
  // A destination in a temporary file is written by the calling thread, one mapped row at a time.
  const bool shared = !IsFileHeldBitmap(Dest);
  std::vector<void*> destRows;
  if (shared) {
    destRows.resize(static_cast<size_t>(dh));
    for (int32_t y = 0; y < dh; ++y) destRows[static_cast<size_t>(y)] = Dest.GetRow(y);
  }
  RunResampleBands(
      dh, shared ? threads : 1,
      [&](int32_t first, int32_t count, const std::function<bool()>& rowDone) {
        for (int32_t y = first; y < first + count; ++y) {
          ResampleRowV(rowTable, y, SampleBytes, workRows.data(), samples,
                       shared ? destRows[static_cast<size_t>(y)] : Dest.GetRow(y));
          if (!rowDone()) return;
        }
      },
      !listening ? nullptr
      : kernelStyle
          ? std::function<void(int32_t)>([&](int32_t done) { sink(static_cast<int32_t>((sh + done) * factor)); })
          : std::function<void(int32_t)>([&](int32_t done) {
              (*OnProgress)(Sender, static_cast<int32_t>(static_cast<double>(done) / dh * 100));
            }));
}

// ------------------------------------------------------------------------------ TResampleHorizThread

TResampleHorizThread::TResampleHorizThread(int32_t FirstRow, int32_t RowCount, const TResampleJob& Job,
                                           int32_t Index)
    : TThread(true), job_(Job), firstRow_(FirstRow), rowCount_(RowCount), index_(Index) {}

TResampleHorizThread::~TResampleHorizThread() {
  // The band reads this object's job: it ends before the object goes.
  if (!Suspended()) {
    try {
      WaitFor();
    } catch (...) {
    }
  }
}

void TResampleHorizThread::Execute() {
  std::exception_ptr error;
  try {
    int32_t last = -1;
    HorizontalBand(job_, firstRow_, rowCount_, [&](int32_t value) {
      if (index_ != 0 || value == last) return;
      last = value;
      job_.Relay->Post(value);
    });
  } catch (...) {
    error = std::current_exception();
  }
  if (job_.Relay) job_.Relay->Finished(error);
}
