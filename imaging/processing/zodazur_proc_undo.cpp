// TZodazUrProc: the undo and redo stacks. An entry is an image copy (with the index of the layer
// that was current) or a stream the view wrote: its selection record, its objects or its layers.
#include <algorithm>
#include <new>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"


namespace {

// A layer record starts with its Int32 length and its 16-byte GUID.
constexpr int64_t kLayerRecordHeader = 4 + 16;

}  // namespace

std::unique_ptr<TZodazUrProc::TUndoEntry> TZodazUrProc::MakeEntry(TIEUndoSource Source, TPush& Result) {
  Result = TPush::None;
  auto entry = std::make_unique<TUndoEntry>();
  entry->Source = Source;
  const bool imageView = view_ && IsImageViewKind(view_->ViewKind());
  const bool vectorView = view_ && view_->ViewKind() == ievkVectorView;
  switch (Source) {
    case ieuImage: {
      if (!PrepareBitmap(0)) {
        Result = TPush::Stop;
        return nullptr;
      }
      if (bitmap_->Width() < 2 || bitmap_->Height() < 2) return nullptr;
      try {
        entry->Image = TIEBitmap::CreateInFixedLocation(undoLocation_);
        entry->Image->Assign(*bitmap_);
      } catch (const std::bad_alloc&) {
        return nullptr;
      } catch (const Exception&) {
        return nullptr;  // a temporary file that cannot be written
      }
      // A copy that could not be had is no undo step; the operation still runs.
      if (entry->Image->IsEmpty()) return nullptr;
      entry->Layer = imageView ? view_->LayersCurrent() : -1;
      break;
    }
    case ieuSelection:
      if (!imageView) return nullptr;
      entry->Stream = std::make_unique<TMemoryStream>();
      view_->SaveSelectionToStream(*entry->Stream);
      break;
    case ieuObject:
      if (!vectorView) return nullptr;
      entry->Stream = std::make_unique<TMemoryStream>();
      view_->SaveToStreamIEV(*entry->Stream);
      break;
    case ieuLayer:
    case ieuFullLayer: {
      if (!imageView) return nullptr;
      entry->Stream = std::make_unique<TMemoryStream>();
      const int32_t current = view_->LayersCurrent();
      for (int32_t i = 0; i < view_->LayersCount(); ++i)
        view_->LayerSaveToStream(i, *entry->Stream, Source == ieuFullLayer && i == current);
      break;
    }
    case ieuObjectsAndLayers:
      if (!imageView) return nullptr;
      entry->Stream = std::make_unique<TMemoryStream>();
      if (vectorView)
        view_->SaveToStreamAll(*entry->Stream, -1);
      else
        view_->LayersSaveToStream(*entry->Stream, -2);
      break;
    default:
      return nullptr;
  }
  Result = TPush::Made;
  return entry;
}

TZodazUrProc::TPush TZodazUrProc::Push(TUndoStack& Stack, TIEUndoSource Source) {
  if (undoLimit_ <= 0) return TPush::Stop;
  TPush result;
  std::unique_ptr<TUndoEntry> entry = MakeEntry(Source, result);
  if (!entry) return result;
  while (static_cast<int32_t>(Stack.size()) >= undoLimit_) Stack.erase(Stack.begin());
  Stack.push_back(std::move(entry));
  return TPush::Made;
}

void TZodazUrProc::SaveUndo(TIEUndoSource Source) {
  if (Push(undo_, Source) != TPush::Stop && OnSaveUndo) OnSaveUndo(this, Source);
}

void TZodazUrProc::SaveRedo(TIEUndoSource Source) { Push(redo_, Source); }

void TZodazUrProc::SaveCaptioned(TUndoStack& Stack, const std::string& Caption, TIEUndoSource Source, bool Undo) {
  if (!bitmap_ || bitmap_->Width() < 2 || bitmap_->Height() < 2) return;
  const TPush result = Push(Stack, Source);
  if (result == TPush::Made) Stack.back()->Caption = Caption;
  if (Undo && result != TPush::Stop && OnSaveUndo) OnSaveUndo(this, Source);
}

void TZodazUrProc::SaveUndoCaptioned(const std::string& Caption, TIEUndoSource Source) {
  SaveCaptioned(undo_, Caption, Source, true);
}

void TZodazUrProc::SaveRedoCaptioned(const std::string& Caption, TIEUndoSource Source) {
  SaveCaptioned(redo_, Caption, Source, false);
}

void TZodazUrProc::ClearAt(TUndoStack& Stack, int32_t Position) {
  if (Position < 0 || Position >= static_cast<int32_t>(Stack.size())) return;
  Stack.erase(Stack.end() - 1 - Position);
}

void TZodazUrProc::ClearUndo() { ClearAt(undo_, 0); }
void TZodazUrProc::ClearRedo() { ClearAt(redo_, 0); }
void TZodazUrProc::ClearUndoAt(int32_t Position) { ClearAt(undo_, Position); }
void TZodazUrProc::ClearAllUndo() { undo_.clear(); }
void TZodazUrProc::ClearAllRedo() { redo_.clear(); }

std::string TZodazUrProc::CaptionAt(const TUndoStack& Stack, int32_t Position) const {
  if (Position < 0 || Position >= static_cast<int32_t>(Stack.size())) return std::string();
  return Stack[Stack.size() - 1 - static_cast<size_t>(Position)]->Caption;
}

std::string TZodazUrProc::GetUndoCaption(int32_t Position) const { return CaptionAt(undo_, Position); }
std::string TZodazUrProc::GetRedoCaption(int32_t Position) const { return CaptionAt(redo_, Position); }

TIEUndoSource TZodazUrProc::UndoSourceAt(int32_t Index) const {
  if (Index < 0 || Index >= static_cast<int32_t>(undo_.size())) return ieuUnknown;
  return undo_[static_cast<size_t>(Index)]->Source;
}

void TZodazUrProc::Undo(bool SaveRedo) { UndoAt(0, SaveRedo); }

void TZodazUrProc::UndoAt(int32_t Position, bool SaveRedo) {
  if (!PrepareBitmap(0) || Position < 0 || Position >= static_cast<int32_t>(undo_.size())) return;
  // The entry is found again after the redo push, which may run view code.
  TUndoEntry* entry = undo_[undo_.size() - 1 - static_cast<size_t>(Position)].get();
  if (SaveRedo) this->SaveRedo(entry->Source);
  Restore(*entry);
}

void TZodazUrProc::Redo() { RedoAt(0); }

void TZodazUrProc::RedoAt(int32_t Position) {
  if (!PrepareBitmap(0) || Position < 0 || Position >= static_cast<int32_t>(redo_.size())) return;
  Restore(*redo_[redo_.size() - 1 - static_cast<size_t>(Position)]);
}

void TZodazUrProc::Restore(TUndoEntry& Entry) {
  const bool imageView = view_ && IsImageViewKind(view_->ViewKind());
  const bool vectorView = view_ && view_->ViewKind() == ievkVectorView;
  switch (Entry.Source) {
    case ieuImage: {
      if (!Entry.Image) return;
      TIEBitmap* target = bitmap_;
      if (imageView && Entry.Layer >= 0 && view_->LayersCount() > 0) {
        // Into the layer that was current when the step was saved.
        const int32_t layer = std::min(Entry.Layer, view_->LayersCount() - 1);
        if (TIEBitmap* b = view_->LayerBitmap(layer)) target = b;
      }
      if (!target) return;
      target->Assign(*Entry.Image);
      Update();
      break;
    }
    case ieuSelection:
      if (!imageView || !Entry.Stream) return;
      Entry.Stream->SetPosition(0);
      view_->LoadSelectionFromStream(*Entry.Stream, 1);
      break;
    case ieuObject:
      if (!vectorView || !Entry.Stream) return;
      Entry.Stream->SetPosition(0);
      view_->LoadFromStreamIEV(*Entry.Stream);
      break;
    case ieuLayer:
    case ieuFullLayer:
      if (!imageView || !Entry.Stream) return;
      RestoreLayers(*Entry.Stream);
      view_->Update();
      break;
    case ieuObjectsAndLayers:
      if (!imageView || !Entry.Stream) return;
      Entry.Stream->SetPosition(0);
      if (vectorView)
        view_->LoadFromStreamAll(*Entry.Stream);
      else
        view_->LayersLoadFromStream(*Entry.Stream);
      break;
    default:
      break;
  }
}

void TZodazUrProc::RestoreLayers(TMemoryStream& Stream) {
  const int64_t size = Stream.Size();
  int64_t start = 0;
  // Each record goes back into the layer with its GUID; records of layers that are gone are
  // skipped. A record shorter than its header or reaching past the stream ends the walk.
  while (start + kLayerRecordHeader <= size) {
    Stream.SetPosition(start);
    const int32_t length = Stream.ReadValue<int32_t>();
    const TGUID guid = Stream.ReadValue<TGUID>();
    if (length < kLayerRecordHeader || start + length > size) break;
    for (int32_t i = 0; i < view_->LayersCount(); ++i) {
      if (SameGuid(view_->LayerGUID(i), guid)) {
        Stream.SetPosition(start);
        view_->LayerLoadFromStream(i, Stream);
        break;
      }
    }
    start += length;
  }
}
