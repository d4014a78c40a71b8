// TZodazUrMView: loading images known by a file name. Frames of multi-frame and media files (names
// "file::n") and synchronous loads go through readers on the user-interface thread under the view
// lock; plain files are loaded in the background by up to ThreadPoolSize loaders that the starter
// thread runs. A loader's worker only decodes and reduces; the store happens on the user-interface
// thread when the view's message arrives.
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

constexpr intptr_t kTagFinished = -1;
constexpr intptr_t kTagAbandoned = -2;

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
    // Asleep until a load is queued or finishes (or the view goes): no processor while waiting.
    Starter.Event().WaitFor(INFINITE);
    if (Starter.Terminated()) break;
    std::vector<std::unique_ptr<Loader>> finished;
    std::vector<TStartedLoad> started;
    {
      Guard g(lock_);
      SweepLoaders(finished);
      PrunePending();
      StartLoaders(started);
    }
    for (auto& l : finished) DestroyLoader(std::move(l));
    StartLoads(started);
  }
}

void TZodazUrMView::StopStarter() {
  if (!starter_) return;
  starter_.reset();
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

void TZodazUrMView::SweepLoaders(std::vector<std::unique_ptr<Loader>>& Finished) {
  for (auto it = running_.begin(); it != running_.end();) {
    Loader& l = **it;
    const intptr_t tag = l.IO->Tag();
    if (tag == kTagFinished) {
      Finished.push_back(std::move(*it));
      it = running_.erase(it);
      continue;
    }
    if (tag >= 0) {
      TIEMImageInfo* r = RecordBySerial(static_cast<uint64_t>(tag));
      if (!r || !CellVisibleForLoad(*r)) {
        l.IO->SetTag(kTagAbandoned);
        l.IO->SetAborting(true);
      }
    }
    ++it;
  }
}

void TZodazUrMView::StartLoaders(std::vector<TStartedLoad>& Started) {
  while (!pending_.empty() && static_cast<int32_t>(running_.size()) < threadPoolSize_.load() &&
         !(starter_ && starter_->Terminated())) {
    const uint64_t serial = pending_.front();
    pending_.pop_front();
    TIEMImageInfo* r = RecordBySerial(serial);
    if (!r || r->Image || r->FileName.empty()) continue;
    auto l = std::make_unique<Loader>();
    l->IO = std::make_unique<TZodazUrIO>(nullptr);
    l->Bitmap = std::make_unique<TIEBitmap>();
    l->IO->SetTag(static_cast<intptr_t>(serial));
    l->IO->SetAttachedIEBitmap(l->Bitmap.get());
    PrepareReader(*l->IO, *r);
    Loader* raw = l.get();
    l->IO->OnFinishWork = [this, raw](TObject*) { DoLoadFinished(raw); };
    l->IO->SetAsynchronous(true);
    Started.push_back(TStartedLoad{raw, r->FileName, thumbWidth_});
    running_.push_back(std::move(l));
  }
}

void TZodazUrMView::StartLoads(const std::vector<TStartedLoad>& Started) {
  // Outside the lock: finding a file's format reads from it, which may take its time. The loaders
  // stay in the running list (only the starter frees them), so they are alive here.
  for (const TStartedLoad& s : Started) {
    if (IsMetafileName(s.Name)) s.L->IO->ImportMetafileFromFile(s.Name, s.ThumbWidth, -1, true);
    else s.L->IO->LoadFromFileByContent(s.Name);
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
    for (const auto& l : running_)
      if (l->IO->Tag() == static_cast<intptr_t>(r->Serial)) running = true;
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
  for (auto& l : finished) DestroyLoader(std::move(l));
  return result;
}

void TZodazUrMView::CancelImageLoad(int32_t Index) {
  Guard g(lock_);
  TIEMImageInfo* r = RecordAt(Index);
  if (!r) return;
  pending_.erase(std::remove(pending_.begin(), pending_.end(), r->Serial), pending_.end());
  for (auto& l : running_)
    if (l->IO->Tag() == static_cast<intptr_t>(r->Serial)) {
      l->IO->SetTag(kTagAbandoned);
      l->IO->SetAborting(true);
      break;
    }
}

void TZodazUrMView::CancelBackgroundLoads() {
  {
    Guard g(lock_);
    pending_.clear();
    for (auto& l : running_)
      if (l->IO->Tag() >= 0) {
        l->IO->SetTag(kTagAbandoned);
        l->IO->SetAborting(true);
      }
  }
  // About a second at most; nothing here waits with the lock held or for the user-interface thread.
  for (int i = 0; i < 10; ++i) {
    std::vector<std::unique_ptr<Loader>> finished;
    bool empty;
    {
      Guard g(lock_);
      SweepLoaders(finished);
      empty = running_.empty();
    }
    for (auto& l : finished) DestroyLoader(std::move(l));
    if (empty) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void TZodazUrMView::DestroyLoader(std::unique_ptr<Loader> L) {
  if (!L) return;
  // The reader's worker ends first (its finishing call still reads the loader), then the reader
  // and only then the bitmap it loaded into.
  L->IO->WaitThreads(false);
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
  return static_cast<int32_t>(running_.size());
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

void TZodazUrMView::DoLoadFinished(Loader* L) {
  // On the loader's worker thread.
  TIEStoreType type;
  int32_t tw, th;
  intptr_t tag;
  {
    Guard g(lock_);
    tag = L->IO->Tag();
    type = storeType_;
    tw = thumbWidth_;
    th = thumbHeight_;
    if (destroying_ || !L->Bitmap || tag < 0) {
      L->IO->SetTag(kTagFinished);
      if (starter_) starter_->Event().SetEvent();
      return;
    }
  }
  auto result = std::make_unique<LoadResult>();
  result->Serial = static_cast<uint64_t>(tag);
  if (!L->IO->Aborting()) {
    // Outside the lock: the reduction of a good image (or a copy that outlives the loader).
    try {
      result->Image = ReduceLoaded(*L->Bitmap, type, tw, th);
      if (!result->Image) {
        result->Image = std::make_unique<TIEBitmap>();
        result->Image->Assign(*L->Bitmap);
      }
    } catch (...) {
      result->Image.reset();
    }
  }
  result->Params = std::make_unique<TIOParamsVals>(nullptr);
  result->Params->Assign(L->IO->Params());
  result->Background = L->IO->Background();
  HWND window = nullptr;
  {
    Guard g(lock_);
    if (L->IO->Tag() >= 0) {
      results_.push_back(std::move(result));
      if (!resultPosted_) {
        window = window_.load();
        resultPosted_ = window != nullptr;
      }
    }
    L->IO->SetTag(kTagFinished);
    if (starter_) starter_->Event().SetEvent();
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
