#include "imaging/processing/ie_resample_two_pass.h"

#include <algorithm>
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

// Both passes fused, for a resample nobody watches: the destination rows go in bands, and each
// band makes the horizontal rows its destination rows read as it reaches them, in a ring of work
// rows just long enough for the rows of one destination row. No work bitmap is made, and the rows
// stay in the cache between the passes. Neighbouring bands make the few rows they share each for
// themselves: the results do not depend on the bands.
void FusedPasses(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, const TIEContributorTable& Columns,
                 const TIEContributorTable& RowTable, int32_t Channels, int32_t SampleBytes) {
  const int32_t sh = Source.GetHeight(), dh = Dest.GetHeight();
  // A bitmap held in a temporary file maps one row at a time: such passes run on the calling thread.
  const bool fileHeld = IsFileHeldBitmap(Source) || IsFileHeldBitmap(Dest);
  const int32_t threads = fileHeld ? 1 : ResampleThreadCount(Source);
  // The source rows each destination row reads, and the longest such run.
  std::vector<int32_t> low(static_cast<size_t>(dh)), high(static_cast<size_t>(dh));
  int32_t span = 1;
  for (int32_t y = 0; y < dh; ++y) {
    int32_t lo = sh, hi = 0;
    for (int32_t k = 0; k < RowTable.Count(y); ++k) {
      lo = std::min(lo, RowTable.Pairs(y)[k].Pixel);
      hi = std::max(hi, RowTable.Pairs(y)[k].Pixel);
    }
    low[static_cast<size_t>(y)] = lo;
    high[static_cast<size_t>(y)] = hi;
    span = std::max(span, hi - lo + 1);
  }
  TIERowAccessScope readOnly(Source, iraRead);
  TIERowAccessScope writeOnly(Dest, iraWrite);
  std::vector<const void*> sourceRows;
  std::vector<void*> destRows;
  if (threads > 1) {
    // Rows looked up once, before the workers read them.
    sourceRows.resize(static_cast<size_t>(sh));
    for (int32_t y = 0; y < sh; ++y) sourceRows[static_cast<size_t>(y)] = Source.GetRow(y);
    destRows.resize(static_cast<size_t>(dh));
    for (int32_t y = 0; y < dh; ++y) destRows[static_cast<size_t>(y)] = Dest.GetRow(y);
  }
  const size_t rowBytes = static_cast<size_t>(Columns.DestSize()) * Channels * SampleBytes;
  const int32_t samples = Columns.DestSize() * Channels;
  // Two bands a thread: a thread held back by a busy machine leaves its second one to the others.
  const int32_t bands = threads == 1 ? 1 : std::min(dh, 2 * threads);
  RunResampleBands(
      bands, threads,
      [&](int32_t first, int32_t count, const std::function<bool()>& bandDone) {
        std::vector<uint8_t> ring(static_cast<size_t>(span) * rowBytes);
        std::vector<int32_t> held(static_cast<size_t>(span), -1);  // the source row in each slot
        std::vector<const void*> rows(static_cast<size_t>(sh), nullptr);
        std::vector<uint8_t> scratch(ResampleRowHScratchSize(Columns, Channels, SampleBytes));
        for (int32_t b = first; b < first + count; ++b) {
          const int32_t y0 = static_cast<int32_t>(static_cast<int64_t>(dh) * b / bands);
          const int32_t y1 = static_cast<int32_t>(static_cast<int64_t>(dh) * (b + 1) / bands);
          for (int32_t y = y0; y < y1; ++y) {
            // The rows of one destination row fall in different slots (there are as many as rows).
            for (int32_t j = low[static_cast<size_t>(y)]; j <= high[static_cast<size_t>(y)]; ++j) {
              const size_t slot = static_cast<size_t>(j % span);
              if (held[slot] == j) continue;
              if (held[slot] >= 0) rows[static_cast<size_t>(held[slot])] = nullptr;
              uint8_t* work = ring.data() + slot * rowBytes;
              ResampleRowH(Columns, Channels, SampleBytes,
                           threads > 1 ? sourceRows[static_cast<size_t>(j)] : Source.GetRow(j), work, scratch.data());
              held[slot] = j;
              rows[static_cast<size_t>(j)] = work;
            }
            ResampleRowV(RowTable, y, SampleBytes, rows.data(), samples,
                         threads > 1 ? destRows[static_cast<size_t>(y)] : Dest.GetRow(y));
          }
          if (!bandDone()) return;
        }
      },
      nullptr);
}

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
  if (!listening) {
    FusedPasses(Source, Dest, Tables(sw, dw), Tables(sh, dh), Channels, SampleBytes);
    return;
  }

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
