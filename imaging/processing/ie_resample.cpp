#include "imaging/processing/ie_resample.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <exception>
#include <mutex>
#include <new>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_thread_pool.h"
#include "imaging/core/ie_work_bitmap.h"
#include "imaging/processing/ie_resample_area.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/ie_resample_fast.h"
#include "imaging/processing/ie_resample_filters.h"
#include "imaging/processing/ie_resample_rows.h"
#include "imaging/processing/ie_stretch.h"

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

// The two passes for rows of Channels samples of SampleBytes bytes: Source and Dest have the same
// format, Dest the target size.
void TwoPassResample(TIEBaseBitmap& Source, TIEBaseBitmap& Dest, TResampleFilter Filter, int32_t Channels,
                     int32_t SampleBytes, const TIEProgressEvent* OnProgress, TObject* Sender) {
  const int32_t sw = Source.GetWidth(), sh = Source.GetHeight();
  const int32_t dw = Dest.GetWidth(), dh = Dest.GetHeight();
  const int32_t threads = ResampleThreadCount(Source);
  const bool listening = OnProgress && *OnProgress;
  TProgressSink sink{OnProgress, Sender};
  const double factor = listening ? 100.0 / (sh + dh + 0.5) : 0;

  TIEWorkBitmap work(dw, sh, Channels * SampleBytes * 8);
  if (!work.Bits()) throw std::bad_alloc();
  std::vector<void*> workRows(static_cast<size_t>(sh));
  for (int32_t y = 0; y < sh; ++y) workRows[static_cast<size_t>(y)] = work.GetRow(y);

  {
    // ---- Horizontal pass ----
    TIERowAccessScope readOnly(Source, iraRead);
    TIEContributorTable columns(sw, dw, Filter);
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
        if (listening) sink(static_cast<int32_t>((y + 1) * factor));
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
  TIEContributorTable rowTable(sh, dh, Filter);
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
      listening ? std::function<void(int32_t)>([&](int32_t done) { sink(static_cast<int32_t>((sh + done) * factor)); })
                : nullptr);
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
      TwoPassResample(Source, Dest, Filter, channels, 2, &OnProgress, Sender);
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
    TwoPassResample(*src, Dest, Filter, 3, 1, &OnProgress, Sender);
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
  TwoPassResample(Source, Dest, Filter, 1, 1, nullptr, nullptr);
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
  TwoPassResample(grey, result, Filter, 1, 1, nullptr, nullptr);
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
