// TZodazUrMView: loading images known by a file name. Frames of multi-frame and media files (names
// "file::n") and synchronous loads go through readers on the user-interface thread under the view
// lock; plain files are loaded in the background by up to ThreadPoolSize loader threads that the
// starter thread starts and that stay for the next load. A loader only decodes and reduces; the
// store happens on the user-interface thread when the view's message arrives.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <mutex>
#include <thread>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_geometry.h"
#include "imaging/core/ie_virtual_image_list.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/io/zodazur_mio.h"
#include "imaging/processing/ie_resample.h"
#include "imaging/processing/ie_resample_fast.h"
#include "imaging/views/zodazur_mview.h"
#include "imaging/views/zodazur_mview_loader.h"
#include "imaging/views/zodazur_mview_starter.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/messages.h"
#include "platform/ui/window_dc.h"

using Guard = std::lock_guard<TCriticalSection>;

namespace {

constexpr intptr_t kTagIdle = -1;
constexpr intptr_t kTagAbandoned = -2;
// How long a loader thread waits for work before it ends.
constexpr auto kLoaderIdleLife = std::chrono::seconds(5);

std::string LowerExtension(const std::string& Name) {
  const size_t slash = Name.find_last_of('/');
  const size_t dot = Name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = Name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool IsMetafileName(const std::string& Name) {
  const std::string ext = LowerExtension(Name);
  return ext == ".emf" || ext == ".wmf";
}

// "::" is legal in file names here: a name is a frame name only when it ends in "::" and decimal
// digits; it splits at that last "::".
bool SplitFrameName(const std::string& Name, std::string& Base, int32_t& Frame) {
  const size_t at = Name.rfind("::");
  if (at == std::string::npos || at + 2 >= Name.size()) return false;
  int64_t n = 0;
  for (size_t i = at + 2; i < Name.size(); ++i) {
    if (Name[i] < '0' || Name[i] > '9') return false;
    n = n * 10 + (Name[i] - '0');
    if (n > 2147483647) return false;
  }
  Base = Name.substr(0, at);
  Frame = static_cast<int32_t>(n);
  return true;
}

bool IsFrameName(const std::string& Name) {
  std::string base;
  int32_t frame;
  return SplitFrameName(Name, base, frame);
}

}  // namespace

// ---------------------------------------------------------------------------------- the starter

TIEStarter::TIEStarter(TZodazUrMView* View) : TThread(false), view_(View) { AfterConstruction(); }

TIEStarter::~TIEStarter() {
  Terminate();
  event_.SetEvent();
  if (!Finished()) WaitFor();
}

void TIEStarter::Execute() { view_->StarterRun(*this); }

void TZodazUrMView::StarterRun(TIEStarter& Starter) {
  while (!Starter.Terminated()) {
    // Asleep until a load is queued or a loader ends (or the view goes): no processor while waiting.
    Starter.Event().WaitFor(INFINITE);
    if (Starter.Terminated()) break;
    std::vector<std::unique_ptr<Loader>> finished;
    {
      Guard g(lock_);
      SweepLoaders(finished);
      PrunePending();
      StartLoaders();
    }
    for (auto& l : finished) DestroyLoader(std::move(l));
  }
}

void TZodazUrMView::StopStarter() {
  // Taken out under the lock (loaders read it there), ended outside it (the starter may be waiting
  // for the lock).
  std::unique_ptr<TIEStarter> starter;
  {
    Guard g(lock_);
    starter = std::move(starter_);
  }
  starter.reset();
}

// ---------------------------------------------------------------------------------- loader threads

TIELoaderThread::TIELoaderThread(TZodazUrMView* View, TZodazUrMView::Loader* L)
    : TThread(true), view_(View), loader_(L) {}

TIELoaderThread::~TIELoaderThread() {
  if (Suspended()) return;
  try {
    WaitFor();
  } catch (...) {
  }
}

void TIELoaderThread::Execute() { view_->LoaderRun(*loader_); }

bool TZodazUrMView::TakeLoad(Loader& L, std::string& Name, int32_t& ThumbWidth) {
  // Under the lock. A pool made smaller lets its loaders beyond the new size go idle.
  while (!pending_.empty() && busyLoaders_ < threadPoolSize_.load()) {
    const uint64_t serial = pending_.front();
    pending_.pop_front();
    TIEMImageInfo* r = RecordBySerial(serial);
    if (!r || r->Image || r->FileName.empty() || !CellVisibleForLoad(*r)) continue;
    L.Tag = static_cast<intptr_t>(serial);
    ++busyLoaders_;
    // Each load starts from a fresh record, as a new reader would.
    L.IO->Params().SetDefaultParams();
    PrepareReader(*L.IO, *r);
    L.IO->SetAborting(false);
    Name = r->FileName;
    ThumbWidth = thumbWidth_;
    return true;
  }
  return false;
}

void TZodazUrMView::LoaderRun(Loader& L) {
  std::unique_lock<TCriticalSection> g(lock_);
  for (;;) {
    std::string name;
    int32_t thumbWidth = 0;
    bool taken = false;
    while (!L.Stop && !destroying_) {
      taken = TakeLoad(L, name, thumbWidth);
      if (taken) break;
      // Nothing to do: the decoded pixels go back now, not when the next load needs the room.
      L.Bitmap->FreeImage();
      ++idleLoaders_;
      const bool woken = loaderWake_.wait_for(g, kLoaderIdleLife) == std::cv_status::no_timeout;
      --idleLoaders_;
      if (!woken && pending_.empty()) break;
    }
    if (!taken) break;
    g.unlock();
    try {
      if (IsMetafileName(name)) L.IO->ImportMetafileFromFile(name, thumbWidth, -1, true);
      else L.IO->LoadFromFileByContent(name);
    } catch (...) {
      L.IO->SetAborting(true);
    }
    DoLoadFinished(L);
    g.lock();
  }
  // The last touch of the view: from here on the starter (or the destructor) may free the loader.
  L.Exited = true;
  if (starter_) starter_->Event().SetEvent();
}

void TZodazUrMView::StartLoaders() {
  // Under the lock: threads for the loads that no idle loader will take, while the pool has room.
  if (destroying_ || (starter_ && starter_->Terminated())) return;
  const int32_t waiting = static_cast<int32_t>(pending_.size()) - idleLoaders_;
  int32_t room = threadPoolSize_.load() - static_cast<int32_t>(loaders_.size());
  for (int32_t i = 0; i < waiting && room > 0; ++i, --room) {
    try {
      auto l = std::make_unique<Loader>();
      l->IO = std::make_unique<TZodazUrIO>(nullptr);
      l->Bitmap = std::make_unique<TIEBitmap>();
      l->IO->SetAttachedIEBitmap(l->Bitmap.get());
      l->Thread = std::make_unique<TIELoaderThread>(this, l.get());
      // Room first: once the thread runs, the loader is the list's (it cannot go back here, where
      // the thread would wait for this lock).
      loaders_.reserve(loaders_.size() + 1);
      l->Thread->Start();
      loaders_.push_back(std::move(l));
    } catch (...) {
      // No loader now (no thread or no memory): the loads wait for the loaders there are, or for
      // the next round.
      break;
    }
  }
}

// ---------------------------------------------------------------------------------- readers

void TZodazUrMView::PrepareReader(TZodazUrIO& Reader, const TIEMImageInfo& Record) {
  Reader.SetBackground(Record.Background);
  TIOParamsVals& p = Reader.Params();
  if (storeType_ == ietThumb) {
    p.JpegScale = 0;
    p.Width = thumbWidth_;
    p.Height = thumbHeight_;
    p.JpegDCTMethod = 1;
    const bool small = thumbWidth_ <= 200 && thumbHeight_ <= 200;
    p.SetGetThumbnail(small);
    p.SetRawGetExifThumbnail(small);
  } else {
    p.JpegScale = 1;
  }
  p.SetEnableAdjustOrientation(false);
}

int32_t TZodazUrMView::LoadFrame(TZodazUrIO& Reader, const std::string& FileName, int32_t Frame) {
  const TIEFileFormatId id = FileFormatIdByExtension(LowerExtension(FileName));
  if (id != 0 && id != 15 && id != 22 && id != 23) {
    Reader.Params().SetImageIndex(Frame);
    Reader.LoadFromFileByContent(FileName);
    return id == 2 ? Reader.Params().GifDelayTime * 10 : 0;
  }
  // AVI files and anything else: the media-file road, the file kept open for the next frame.
  if (!Reader.IsOpenMediaFile()) Reader.OpenMediaFile(FileName);
  if (Reader.IsOpenMediaFile()) Reader.LoadFromMediaFile(Frame);
  // Already milliseconds.
  return Reader.Params().MediaFileFrameDelayTime;
}

void TZodazUrMView::StoreLoaded(int32_t Index, TZodazUrIO& Reader, TIEBitmap* Bitmap) {
  if (TIOParamsVals* p = GetMIO()->GetParams(Index)) p->Assign(Reader.Params());
  if (TIEMImageInfo* r = RecordAt(Index)) r->Background = Reader.Background();
  StoreImageBitmap(Index, Bitmap);
  if (Reader.Params().OriginalWidth > 0) SetImageOriginalWidth(Index, Reader.Params().OriginalWidth);
  if (Reader.Params().OriginalHeight > 0) SetImageOriginalHeight(Index, Reader.Params().OriginalHeight);
}

bool TZodazUrMView::LoadImageNow(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  if (!r || r->FileName.empty()) return true;
  std::string base;
  int32_t frame = 0;
  const bool isFrame = SplitFrameName(r->FileName, base, frame);
  TZodazUrIO* reader = io_.get();
  if (isFrame) {
    reader = nullptr;
    for (auto& fr : frameReaders_)
      if (fr.first == base) reader = fr.second.get();
    if (!reader) {
      frameReaders_.emplace_back(base, std::make_unique<TZodazUrIO>(nullptr));
      reader = frameReaders_.back().second.get();
      reader->Params().FileName = base;
    }
  }
  auto bitmap = std::make_unique<TIEBitmap>();
  reader->SetAttachedIEBitmap(bitmap.get());
  PrepareReader(*reader, *r);
  reader->OnProgress = OnIOProgress;
  if (mio_) reader->SetAutoAdjustDPI(mio_->AutoAdjustDPI);
  reader->SetAborting(false);
  const std::string name = r->FileName;
  try {
    if (isFrame) {
      const int32_t delay = LoadFrame(*reader, base, frame);
      if (TIEMImageInfo* again = RecordAt(Index)) again->DelayTime = delay;
    } else if (IsMetafileName(name)) {
      reader->ImportMetafileFromFile(name, thumbWidth_, -1, true);
    } else {
      reader->LoadFromFileByContent(name);
    }
  } catch (...) {
    reader->SetAborting(true);
  }
  const bool ok = !reader->Aborting();
  if (!ok) DoWrongImage(bitmap.get(), Index);
  StoreLoaded(Index, *reader, bitmap.get());
  reader->SetAttachedIEBitmap(nullptr);
  return ok;
}

bool TZodazUrMView::LoadImageFromFile(int32_t Index, const std::string& FileName, int32_t ImageIndex) {
  return LoadImageFromSource(Index, nullptr, FileName, ImageIndex);
}

bool TZodazUrMView::LoadImageFromSource(int32_t Index, TStream* Stream, const std::string& FileName,
                                        int32_t ImageIndex) {
  if (Index >= ImageCount() || Index < 0) return false;
  auto bitmap = std::make_unique<TIEBitmap>();
  TZodazUrIO& reader = *io_;
  bool ok;
  {
    Guard g(lock_);
    TIEMImageInfo* r = RecordAt(Index);
    if (!r) return false;
    reader.SetBackground(r->Background);
    reader.SetAttachedIEBitmap(bitmap.get());
    reader.OnProgress = OnIOProgress;
    reader.SetAutoAdjustDPI(GetMIO()->AutoAdjustDPI);
    reader.Params().SetImageIndex(ImageIndex);
    PrepareReader(reader, *r);
    reader.SetAborting(false);
  }
  try {
    if (Stream) reader.LoadFromStream(*Stream);
    else reader.LoadFromFileByContent(FileName);
  } catch (...) {
    reader.SetAborting(true);
  }
  ok = !reader.Aborting();
  {
    Guard g(lock_);
    if (!ok) DoWrongImage(bitmap.get(), Index);
    StoreLoaded(Index, reader, bitmap.get());
    reader.SetAttachedIEBitmap(nullptr);
    if (TIEMImageInfo* r = RecordAt(Index)) DropThumbnail(*r);
  }
  UpdateEx(false);
  return ok;
}

void TZodazUrMView::DoWrongImage(TIEBitmap* Bitmap, int32_t Index) {
  if (!Bitmap) return;
  if (OnWrongImage) {
    Bitmap->Allocate(thumbWidth_, thumbHeight_, ie24RGB);
    bool handled = false;
    OnWrongImage(this, Bitmap, Index, handled);
    if (handled) return;
  }
  std::string name = GetImageFileName(Index);
  std::string base;
  int32_t frame;
  if (SplitFrameName(name, base, frame)) name = base;
  LoadShellFileIcon(name, *Bitmap);
}

// ---------------------------------------------------------------------------------- the queue

bool TZodazUrMView::CellVisibleForLoad(const TIEMImageInfo& Record) {
  // The cell with its right and bottom edges against the control's rectangle, edges included.
  const int64_t left = static_cast<int64_t>(Record.X) - viewX_, top = static_cast<int64_t>(Record.Y) - viewY_;
  const int64_t right = left + thumbWidth_, bottom = top + thumbHeight_;
  return right >= 0 && bottom >= 0 && left <= loadAreaWidth_ - 1 && top <= loadAreaHeight_ - 1;
}

void TZodazUrMView::PrunePending() {
  for (auto it = pending_.begin(); it != pending_.end();) {
    TIEMImageInfo* r = RecordBySerial(*it);
    if (!r || r->Image || !CellVisibleForLoad(*r)) it = pending_.erase(it);
    else ++it;
  }
}

void TZodazUrMView::AbandonLoad(Loader& L) {
  // Under the lock. The reader is asked to stop; whatever it hands over is dropped.
  if (L.Tag < 0) return;
  L.Tag = kTagAbandoned;
  L.IO->SetAborting(true);
}

void TZodazUrMView::SweepLoaders(std::vector<std::unique_ptr<Loader>>& Finished) {
  for (auto it = loaders_.begin(); it != loaders_.end();) {
    Loader& l = **it;
    if (l.Exited) {
      Finished.push_back(std::move(*it));
      it = loaders_.erase(it);
      continue;
    }
    if (l.Tag >= 0) {
      TIEMImageInfo* r = RecordBySerial(static_cast<uint64_t>(l.Tag));
      if (!r || !CellVisibleForLoad(*r)) AbandonLoad(l);
    }
    ++it;
  }
}

bool TZodazUrMView::QueueImageLoad(int32_t Index, int32_t Position) {
  std::vector<std::unique_ptr<Loader>> finished;
  bool result = true;
  {
    Guard g(lock_);
    TIEMImageInfo* r = RecordAt(Index);
    if (!r || IsFrameName(r->FileName)) return false;
    if (r->Image) return true;
    PrunePending();
    if (Position >= 0) Position = pending_.empty() ? 0 : std::clamp<int32_t>(Position, 0, static_cast<int32_t>(pending_.size()) - 1);
    auto it = std::find(pending_.begin(), pending_.end(), r->Serial);
    bool running = false;
    for (const auto& l : loaders_)
      if (l->Tag == static_cast<intptr_t>(r->Serial)) running = true;
    if (it != pending_.end()) {
      if (Position >= 0) {
        pending_.erase(it);
        pending_.insert(pending_.begin() + std::min<size_t>(Position, pending_.size()), r->Serial);
      }
    } else if (!running) {
      SweepLoaders(finished);
      if (r->FileName.empty()) {
        result = false;
      } else if (Position < 0) {
        pending_.push_back(r->Serial);
      } else {
        pending_.insert(pending_.begin() + std::min<size_t>(Position, pending_.size()), r->Serial);
      }
    }
    if (starter_) starter_->Event().SetEvent();
  }
  // An idle loader takes it at once; the starter adds loaders when none is idle.
  loaderWake_.notify_one();
  for (auto& l : finished) DestroyLoader(std::move(l));
  return result;
}

void TZodazUrMView::CancelImageLoad(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  if (!r) return;
  pending_.erase(std::remove(pending_.begin(), pending_.end(), r->Serial), pending_.end());
  for (auto& l : loaders_)
    if (l->Tag == static_cast<intptr_t>(r->Serial)) AbandonLoad(*l);
}

void TZodazUrMView::CancelBackgroundLoads() {
  {
    Guard g(lock_);
    pending_.clear();
    for (auto& l : loaders_) AbandonLoad(*l);
  }
  // About a second at most for the running loads to end; nothing here waits with the lock held or
  // for the user-interface thread. The loader threads themselves stay for the next loads.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  for (;;) {
    std::vector<std::unique_ptr<Loader>> finished;
    bool idle;
    {
      Guard g(lock_);
      SweepLoaders(finished);
      idle = busyLoaders_ == 0;
    }
    for (auto& l : finished) DestroyLoader(std::move(l));
    if (idle || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void TZodazUrMView::DestroyLoader(std::unique_ptr<Loader> L) {
  if (!L) return;
  // The thread ends first (it reads the loader to its end), then the reader and only then the
  // bitmap it loaded into.
  L->Thread.reset();
  L->IO.reset();
  L->Bitmap.reset();
}

int32_t TZodazUrMView::PendingLoadCount() {
  Guard g(lock_);
  return static_cast<int32_t>(pending_.size());
}

std::vector<int32_t> TZodazUrMView::PendingLoads() {
  Guard g(lock_);
  std::vector<int32_t> out;
  for (uint64_t serial : pending_) out.push_back(IndexOf(RecordBySerial(serial)));
  return out;
}

int32_t TZodazUrMView::RunningLoadCount() {
  Guard g(lock_);
  return busyLoaders_;
}

int32_t TZodazUrMView::LoaderThreadCount() {
  Guard g(lock_);
  int32_t n = 0;
  for (const auto& l : loaders_)
    if (!l->Exited) ++n;
  return n;
}

// ---------------------------------------------------------------------------------- finished loads

std::unique_ptr<TIEBitmap> TZodazUrMView::ReduceLoaded(TIEBitmap& Source, TIEStoreType Type, int32_t ThumbW,
                                                       int32_t ThumbH) {
  const int32_t w = Source.Width(), h = Source.Height();
  if (Type != ietThumb || w <= 0 || h <= 0) return nullptr;
  int32_t tw, th;
  ScaleToFit(w, h, ThumbW, ThumbH, tw, th);
  if (tw == w && th == h) return nullptr;
  auto out = std::make_unique<TIEBitmap>();
  if (!out->Allocate(tw, th, ie24RGB)) return nullptr;
  if (Source.PixelFormat() == ie1g) {
    Resample1BitToGray(Source, 0, 0, w - 1, h - 1, *out);
  } else {
    if (Source.PixelFormat() != ie24RGB) Source.ConvertPixelFormat(ie24RGB);
    _ResampleEx(Source, *out, rfFastLinear, nullptr, nullptr);
  }
  if (Source.HasAlphaChannel()) {
    TIEBitmap* alpha = Source.GetAlphaChannel();
    ResampleGray8(*alpha, *out->GetAlphaChannel(), rfFastLinear);
    out->GetAlphaChannel()->SetFull(alpha->Full());
  }
  return out;
}

void TZodazUrMView::DoLoadFinished(Loader& L) {
  // On the loader's thread, which ends the load here whatever happens.
  TIEStoreType type;
  int32_t tw, th;
  intptr_t tag;
  {
    Guard g(lock_);
    tag = L.Tag;
    type = storeType_;
    tw = thumbWidth_;
    th = thumbHeight_;
  }
  std::unique_ptr<LoadResult> result;
  if (tag >= 0 && !destroying_) {
    // Outside the lock: the reduction of a good image, or the loaded bitmap itself when it needs
    // none (the loader takes a new one).
    try {
      result = std::make_unique<LoadResult>();
      result->Serial = static_cast<uint64_t>(tag);
      if (!L.IO->Aborting()) {
        try {
          result->Image = ReduceLoaded(*L.Bitmap, type, tw, th);
          if (!result->Image) {
            auto fresh = std::make_unique<TIEBitmap>();
            result->Image = std::move(L.Bitmap);
            L.Bitmap = std::move(fresh);
            L.IO->SetAttachedIEBitmap(L.Bitmap.get());
          }
        } catch (...) {
          result->Image.reset();
        }
      }
      result->Params = std::make_unique<TIOParamsVals>(nullptr);
      result->Params->Assign(L.IO->Params());
      result->Background = L.IO->Background();
    } catch (...) {
      result.reset();
    }
  }
  HWND window = nullptr;
  {
    Guard g(lock_);
    const bool wanted = result && L.Tag >= 0;
    L.Tag = kTagIdle;
    --busyLoaders_;
    if (wanted) {
      results_.push_back(std::move(result));
      if (!resultPosted_) {
        window = window_.load();
        resultPosted_ = window != nullptr;
      }
    }
  }
  if (window) PostMessage(window, IEM_THUMBLOADED, 0, 0);
}

std::vector<TRect> TZodazUrMView::StoreFinishedLoads() {
  std::deque<std::unique_ptr<LoadResult>> results;
  {
    Guard g(lock_);
    results.swap(results_);
    resultPosted_ = false;
  }
  if (results.empty()) return {};
  std::vector<TRect> cells;
  {
    Guard g(lock_);
    for (auto& res : results) {
      const int32_t index = IndexOf(RecordBySerial(res->Serial));
      if (index < 0) continue;  // the image went while it loaded
      cells.push_back(CellPaintRect(*RecordAt(index)));
      if (!res->Image) {
        res->Image = std::make_unique<TIEBitmap>();
        DoWrongImage(res->Image.get(), index);
      }
      if (TIOParamsVals* p = GetMIO()->GetParams(index)) p->Assign(*res->Params);
      if (TIEMImageInfo* r = RecordAt(index)) r->Background = res->Background;
      StoreImageBitmap(index, res->Image.get());
      if (res->Params->OriginalWidth > 0) SetImageOriginalWidth(index, res->Params->OriginalWidth);
      if (res->Params->OriginalHeight > 0) SetImageOriginalHeight(index, res->Params->OriginalHeight);
    }
  }
  // Only the cells that got their images are painted again.
  if (HandleAllocated())
    for (const TRect& cell : cells) ::InvalidateRect(Handle(), &cell, false);
  return cells;
}
