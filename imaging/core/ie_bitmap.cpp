// TIEBitmap: construction, allocation and release of storage, hand-over between bitmaps, locations
// and row addressing.
#include "imaging/core/ie_bitmap.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_file_buffer.h"
#include "imaging/core/ie_memory.h"

namespace {

// Memory rows start on a 64-byte boundary; the block is over-allocated by this much.
constexpr int64_t kBlockSlack = 128;
constexpr uintptr_t kRowsAlignment = 64;
// When more than four segments are needed, each must be at least this big to be worth it.
constexpr int64_t kMinSegmentSize = 10485760;
// Automatic memory threshold when the machine's memory cannot be read.
constexpr int64_t kFallbackThreshold = 33554432;

bool BlockRefusedForTesting(int64_t size) {
  const int64_t limit = TIEBitmap::MaxMemoryBlockForTesting();
  return limit >= 0 && size > limit;
}

}  // namespace

int64_t& TIEBitmap::MaxMemoryBlockForTesting() {
  static int64_t limit = -1;
  return limit;
}

TIEBitmap::TIEBitmap() : fileBuffer_(std::make_unique<TIEFileBuffer>()) {
  if (MinFileSizeOverride == -1) {
    // The machine's memory does not change while the program runs: asked once.
    static const int64_t automatic = [] {
      const int64_t total = PhysicalMemorySize(false);
      return total > 0 ? static_cast<int64_t>(total / 1.3) : kFallbackThreshold;
    }();
    memoryThreshold_ = automatic;
  } else {
    memoryThreshold_ = MinFileSizeOverride;
  }
}

TIEBitmap::TIEBitmap(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat) : TIEBitmap() {
  Allocate(Width, Height, PixelFormat);
}

TIEBitmap::~TIEBitmap() { FreeImage(true); }

std::unique_ptr<TIEBitmap> TIEBitmap::CreateInFixedLocation(TIELocation Location) {
  auto bitmap = std::make_unique<TIEBitmap>();
  bitmap->location_ = Location == ieFile ? ieFile : ieMemory;
  // The size rule moves rows to memory below the threshold and to a file above it.
  bitmap->memoryThreshold_ = Location == ieFile ? 0 : std::numeric_limits<int64_t>::max();
  return bitmap;
}

std::unique_ptr<TIEBitmap> TIEBitmap::CreateAsAlphaChannel(int32_t Width, int32_t Height, TIELocation Location) {
  return NewAlphaChannel(Width, Height, Location, nullptr);
}

std::unique_ptr<TIEBitmap> TIEBitmap::NewAlphaChannel(int32_t Width, int32_t Height, TIELocation Location,
                                                      const int64_t* Threshold) {
  auto alpha = std::make_unique<TIEBitmap>();
  if (Threshold) alpha->memoryThreshold_ = *Threshold;
  alpha->isAlphaChannel_ = true;
  alpha->location_ = Location == ieTBitmap ? ieMemory : Location;
  alpha->Allocate(Width, Height, ie8g);
  alpha->Fill(255);
  return alpha;
}

// ---- Size and format ----

int32_t TIEBitmap::GetBitCount() {
  if (location_ == ieTBitmap) SyncWithTBitmap();
  return bitCount_;
}

int32_t TIEBitmap::GetChannelCount() {
  if (location_ == ieTBitmap) SyncWithTBitmap();
  return channelCount_;
}

int32_t TIEBitmap::GetWidth() {
  if (location_ == ieTBitmap) SyncWithTBitmap();
  return width_;
}

int32_t TIEBitmap::GetHeight() {
  if (location_ == ieTBitmap) SyncWithTBitmap();
  return height_;
}

TIEPixelFormat TIEBitmap::GetPixelFormat() {
  if (location_ == ieTBitmap) SyncWithTBitmap();
  return pixelFormat_;
}

int32_t TIEBitmap::GetRowLen() {
  if (location_ == ieTBitmap) SyncWithTBitmap();
  return rowLen_;
}

bool TIEBitmap::IsEmpty() { return GetWidth() == 0 || height_ == 0 || rowLen_ == 0 || bitCount_ == 0; }

void TIEBitmap::UpdateDerivedFields() {
  bitCount_ = IEBitsPerPixel[pixelFormat_];
  channelCount_ = IEChannelsPerPixel[pixelFormat_];
  const int32_t len = RowLength(width_, bitCount_, rowAlignment_);
  rowLen_ = len < 0 ? 0 : len;
}

void TIEBitmap::SetChannelOffset(int32_t Index, int32_t Value) {
  if (Index < 0 || Index > 3) return;
  channelOffset_[Index] = Value;
  hasChannelOffsets_ = channelOffset_[0] || channelOffset_[1] || channelOffset_[2] || channelOffset_[3];
}

// ---- Allocation ----

bool TIEBitmap::Allocate(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat) {
  if (!reallocPending_ && Width == width_ && Height == height_ && PixelFormat == pixelFormat_ && rowLen_ != 0)
    return true;
  if (externalBitmap_) {
    // The caller's framework bitmap is kept and re-formatted by AllocateStorage.
    alphaChannel_.reset();
    palette_.reset();
    paletteLength_ = 0;
  } else {
    FreeImage(true);
  }
  width_ = Width;
  height_ = Height;
  pixelFormat_ = IsValidPixelFormat(PixelFormat) ? PixelFormat : ieNoFormat;
  const bool ok = AllocateStorage();
  if (!ok) {
    width_ = height_ = 0;
    rowLen_ = 0;
  }
  reallocPending_ = false;
  return ok;
}

bool TIEBitmap::AllocateKeepingAlpha(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat) {
  std::unique_ptr<TIEBitmap> alpha = std::move(alphaChannel_);
  const bool ok = Allocate(Width, Height, PixelFormat);
  alphaChannel_ = std::move(alpha);
  return ok;
}

void TIEBitmap::AllocatePalette() {
  palette_ = std::make_unique<TIERGB[]>(256);
  paletteLength_ = 256;
}

bool TIEBitmap::AllocateStorage() {
  if (width_ < 1 || height_ < 1 || pixelFormat_ == ieNoFormat) return false;
  if (pixelFormat_ == ie8p) {
    try {
      AllocatePalette();
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  UpdateDerivedFields();
  // The size in 64 bits: a width from a file header can never wrap into a short block.
  const int64_t size = ImageDataSize(width_, height_, bitCount_, rowAlignment_);
  if (size <= 0 || rowLen_ <= 0) return false;

  if (location_ == ieFile && size < memoryThreshold_) location_ = ieMemory;
  if (location_ == ieMemory && size > memoryThreshold_) location_ = ieFile;

  bool ok = false;
  if (location_ == ieTBitmap) {
    ok = AllocateFrameworkBitmap(size);
  } else {
    // A file that cannot be had sends the rows to memory; memory that cannot be had tries segments
    // and then (by the settings) a file, unless that was tried already.
    const bool fileFirst = location_ == ieFile;
    if (fileFirst) ok = AllocateFileStorage(size);
    if (!ok) {
      location_ = ieMemory;
      ok = AllocateMemoryBlock(size) || (SegmentedAllocation && AllocateSegments());
    }
    if (!ok && !fileFirst && FileFallbackOnLowMemory) {
      location_ = ieFile;
      ok = AllocateFileStorage(size);
    }
  }
  if (!ok) {
    palette_.reset();
    paletteLength_ = 0;
    return false;
  }
  full_ = false;
  return true;
}

bool TIEBitmap::AllocateFileStorage(int64_t Size) {
  if (fileBuffer_->AllocateFile("IMG", true, Size)) return true;
  fileBuffer_->Close();  // nothing of a failed attempt stays open
  return false;
}

bool TIEBitmap::AllocateMemoryBlock(int64_t Size) {
  const int64_t blockSize = Size + kBlockSlack;
  if (BlockRefusedForTesting(blockSize)) return false;
  void* block = nullptr;
  switch (allocationMode_) {
    case 0:
      TryGetMem(block, blockSize);
      break;
    case 1:
      block = GlobalAllocZero(blockSize);
      break;
    default:
      block = HybridAlloc(blockSize);
      break;
  }
  if (!block) return false;
  // Heap blocks come unset; they are cleared (they are below 1 MiB unless AllocationMode is 0), so a
  // new bitmap reads as zeros in every location and row padding never carries stray bytes into files.
  if (allocationMode_ == 0 || (allocationMode_ == 2 && HybridAllocTag(block) == 0))
    std::memset(block, 0, static_cast<size_t>(blockSize));
  memoryBlock_ = block;
  const uintptr_t address = reinterpret_cast<uintptr_t>(block);
  memoryRows_ = reinterpret_cast<uint8_t*>((address + kRowsAlignment - 1) & ~(kRowsAlignment - 1));
  return true;
}

bool TIEBitmap::AllocateSegments() {
  FreeSegments();
  for (int32_t n = 4;;) {
    const int32_t rowsPerSegment = (height_ + n - 1) / n;
    const int64_t segmentSize = static_cast<int64_t>(rowsPerSegment) * rowLen_;
    if (n > 4 && segmentSize < kMinSegmentSize) return false;
    bool failed = false;
    segments_.assign(n, nullptr);
    for (int32_t i = 0; i < n && !failed; ++i) {
      if (!BlockRefusedForTesting(segmentSize)) segments_[i] = GlobalAllocZero(segmentSize);
      failed = segments_[i] == nullptr;
    }
    if (!failed) {
      rowsPerSegment_ = rowsPerSegment;
      return true;
    }
    FreeSegments();
    n *= 2;
    if (n >= height_) return false;
  }
}

void TIEBitmap::FreeSegments() {
  for (void*& segment : segments_)
    if (segment) GlobalFreeAndNil(segment);
  segments_.clear();
  rowsPerSegment_ = 0;
}

void TIEBitmap::ReleaseMappedRows() {
  if (mappedRow_) {
    fileBuffer_->Unmap(mappedRow_);
    mappedRow_ = nullptr;
  }
  for (void* row : heldRows_) fileBuffer_->Unmap(row);
  heldRows_.clear();
  heldRowIndexes_.clear();
}

void TIEBitmap::FreeImage(bool WithAlpha) {
  if (WithAlpha) alphaChannel_.reset();
  palette_.reset();
  paletteLength_ = 0;
  ReleasePixelStorage();
}

void TIEBitmap::ReleasePixelStorage() {
  // Mapped rows need not reach a file that is about to go: Close drops them.
  mappedRow_ = nullptr;
  heldRows_.clear();
  heldRowIndexes_.clear();
  fileBuffer_->Close();
  if (memoryRows_ && memoryBlock_ && !externalMemory_) {
    switch (allocationMode_) {
      case 0:
        std::free(memoryBlock_);
        break;
      case 1:
        GlobalFreeAndNil(memoryBlock_);
        break;
      default:
        HybridFree(memoryBlock_);
        break;
    }
  }
  // Every pointer goes, so a second FreeImage, a re-allocation or the destructor frees nothing twice
  // and never the caller's buffer.
  memoryRows_ = nullptr;
  memoryBlock_ = nullptr;
  FreeFrameworkBitmap();
  scanLines_.clear();
  FreeSegments();
  width_ = height_ = rowLen_ = bitCount_ = channelCount_ = 0;
  full_ = false;
  externalBitmap_ = false;
  externalMemory_ = false;
}

void TIEBitmap::MoveStorageTo(TIEBitmap& Dest) {
  if (&Dest == this) return;
  Dest.FreeImage(true);
  // Pending rows reach the file first: the mapped buffers belong to the store that moves.
  ReleaseMappedRows();
  Dest.width_ = width_;
  Dest.height_ = height_;
  Dest.bitCount_ = bitCount_;
  Dest.channelCount_ = channelCount_;
  Dest.rowLen_ = rowLen_;
  Dest.pixelFormat_ = pixelFormat_;
  Dest.memoryRows_ = memoryRows_;
  Dest.memoryBlock_ = memoryBlock_;
  Dest.palette_ = std::move(palette_);
  Dest.paletteLength_ = paletteLength_;
  Dest.alphaChannel_ = std::move(alphaChannel_);
  Dest.isAlphaChannel_ = isAlphaChannel_;
  Dest.framework_ = std::move(framework_);
  Dest.scanLines_ = std::move(scanLines_);
  Dest.location_ = location_;
  Dest.full_ = full_;
  Dest.externalBitmap_ = externalBitmap_;
  Dest.externalMemory_ = externalMemory_;
  Dest.segments_ = std::move(segments_);
  Dest.rowsPerSegment_ = rowsPerSegment_;
  Dest.topDown_ = topDown_;
  Dest.fileBuffer_ = std::move(fileBuffer_);
  Dest.heldRows_.clear();
  Dest.heldRowIndexes_.clear();
  Dest.mappedRow_ = nullptr;
  Dest.bwConversion_ = bwConversion_;
  Dest.rowAlignment_ = rowAlignment_;
  Dest.allocationMode_ = allocationMode_;

  fileBuffer_ = std::make_unique<TIEFileBuffer>();
  width_ = height_ = bitCount_ = channelCount_ = rowLen_ = 0;
  pixelFormat_ = ieNoFormat;
  memoryRows_ = nullptr;
  memoryBlock_ = nullptr;
  paletteLength_ = 0;
  scanLines_.clear();
  segments_.clear();
  rowsPerSegment_ = 0;
  full_ = topDown_ = externalBitmap_ = externalMemory_ = false;
  reallocPending_ = true;
}

void TIEBitmap::WrapMemory(void* Buffer, int32_t Width, int32_t Height, TIEPixelFormat PixelFormat,
                           bool FreePrevious, bool TopDown) {
  if (FreePrevious) FreeImage(true);
  if (!Buffer) return;
  assert(Width >= 0 && Height >= 0 && IsValidPixelFormat(PixelFormat));
  // Without FreePrevious the palette and alpha channel stay; storage this bitmap owned is freed all
  // the same (a caller's buffer is only let go), so nothing leaks.
  if (!FreePrevious) ReleasePixelStorage();
  width_ = Width;
  height_ = Height;
  pixelFormat_ = PixelFormat;
  UpdateDerivedFields();
  location_ = ieMemory;
  externalMemory_ = true;
  memoryRows_ = static_cast<uint8_t*>(Buffer);
  memoryBlock_ = Buffer;
  topDown_ = TopDown;
  if (pixelFormat_ == ie8p && !palette_) AllocatePalette();
}

// ---- Rows ----

void* TIEBitmap::GetRow(int32_t Y) {
  assert(Y >= 0 && Y < height_);
  if (topDown_) Y = height_ - 1 - Y;
  switch (location_) {
    case ieMemory:
      if (!segments_.empty())
        return static_cast<uint8_t*>(segments_[Y / rowsPerSegment_]) +
               static_cast<int64_t>(Y % rowsPerSegment_) * rowLen_;
      assert(memoryRows_ != nullptr);
      return memoryRows_ + static_cast<int64_t>(rowLen_) * (height_ - 1 - Y);
    case ieFile:
      assert(fileBuffer_->IsAllocated());
      if (mappedRow_) fileBuffer_->Unmap(mappedRow_);
      mappedRow_ = nullptr;
      mappedRow_ = fileBuffer_->Map(rowAccess_, rowLen_, static_cast<int64_t>(Y) * rowLen_);
      return mappedRow_;
    case ieTBitmap:
      assert(static_cast<size_t>(Y) < scanLines_.size());
      return scanLines_[Y];
  }
  return nullptr;
}

void* TIEBitmap::AcquireRow(int32_t Y) {
  if (location_ != ieFile) return GetRow(Y);
  assert(Y >= 0 && Y < height_);
  if (mappedRow_) {
    fileBuffer_->Unmap(mappedRow_);
    mappedRow_ = nullptr;
  }
  const int32_t stored = topDown_ ? height_ - 1 - Y : Y;
  void* row = fileBuffer_->Map(rowAccess_, rowLen_, static_cast<int64_t>(stored) * rowLen_);
  heldRows_.push_back(row);
  heldRowIndexes_.push_back(Y);
  return row;
}

void TIEBitmap::ReleaseRow(int32_t Y) {
  if (location_ != ieFile) return;
  for (size_t i = 0; i < heldRowIndexes_.size(); ++i) {
    if (heldRowIndexes_[i] != Y) continue;
    void* row = heldRows_[i];
    heldRows_.erase(heldRows_.begin() + static_cast<std::ptrdiff_t>(i));
    heldRowIndexes_.erase(heldRowIndexes_.begin() + static_cast<std::ptrdiff_t>(i));
    fileBuffer_->Unmap(row);
    return;
  }
}
