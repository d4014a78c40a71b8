#include "imaging/core/ie_virtual_image_list.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"

namespace {

constexpr int64_t kPaletteBytes = 768;

int64_t RowBytes(int32_t width, int32_t bitCount) { return RowLength64(width, bitCount, 32); }

int64_t RowsSize(const TIEVirtualImage& image) { return image.Height * RowBytes(image.Width, image.BitCount); }

int64_t PaletteOffset(const TIEVirtualImage& image) { return RowsSize(image); }

int64_t AlphaFlagOffset(const TIEVirtualImage& image) {
  return RowsSize(image) + (image.PixelFormat == ie8p ? kPaletteBytes : 0);
}

int64_t BlockSize(int32_t width, int32_t height, int32_t bitCount, TIEPixelFormat format, bool hasAlpha) {
  int64_t size = height * RowBytes(width, bitCount);
  if (format == ie8p) size += kPaletteBytes;
  if (hasAlpha) size += height * RowBytes(width, 8) + 1;
  return size;
}

// Copies a bitmap's rows into block layout (bottom row first, 32-bit padding); bytes a shorter
// source row does not have are zero. Returns whether every byte was 255 (for alpha rows).
bool RowsToBlock(TIEBaseBitmap& bitmap, uint8_t* block, int32_t width, int32_t height, int32_t bitCount) {
  const int64_t rowBytes = RowBytes(width, bitCount);
  const int64_t packed = RowLength64(width, bitCount, 8);
  const int64_t copy = std::min<int64_t>(rowBytes, bitmap.GetRowLen());
  TIERowAccessScope readOnly(bitmap, iraRead);
  bool allOpaque = true;
  for (int32_t k = 0; k < height; ++k) {
    uint8_t* out = block + k * rowBytes;
    const auto* row = static_cast<const uint8_t*>(bitmap.GetRow(height - 1 - k));
    std::memcpy(out, row, static_cast<size_t>(copy));
    if (copy < rowBytes) std::memset(out + copy, 0, static_cast<size_t>(rowBytes - copy));
    if (allOpaque) allOpaque = std::all_of(out, out + packed, [](uint8_t b) { return b == 255; });
  }
  return allOpaque;
}

// The reverse: block rows into a bitmap's rows of its own length.
void BlockToRows(const uint8_t* block, TIEBitmap& bitmap, int32_t width, int32_t height, int32_t bitCount) {
  const int64_t rowBytes = RowBytes(width, bitCount);
  const int64_t copy = std::min<int64_t>(rowBytes, bitmap.GetRowLen());
  TIERowAccessScope writeOnly(bitmap, iraWrite);
  for (int32_t k = 0; k < height; ++k)
    std::memcpy(bitmap.GetRow(height - 1 - k), block + k * rowBytes, static_cast<size_t>(copy));
}

}  // namespace

TIEVirtualImageList::TIEVirtualImageList(const std::string& Prefix, bool UseFile)
    : useFile_(UseFile), prefix_(Prefix) {
  PrepareFile();
}

TIEVirtualImageList::~TIEVirtualImageList() { Clear(); }

bool TIEVirtualImageList::StoreIsFile() const {
  return dynamic_cast<TIETemporaryFileStream*>(fileBuffer_.Stream()) != nullptr;
}

void TIEVirtualImageList::Clear() {
  checkOuts_.clear();
  cache_.clear();
  mappedCount_ = 0;
  for (TIEVirtualImage* image : pinned_) std::free(image->Data);
  pinned_.clear();
  // Close drops every mapping without writing it back: the data goes with the store.
  fileBuffer_.Close();
  images_.clear();
  freeBlocks_.clear();
  end_ = 0;
}

bool TIEVirtualImageList::IsPinned(TIEVirtualImage* Image) const {
  return std::find(pinned_.begin(), pinned_.end(), Image) != pinned_.end();
}

// ---------------------------------------------------------------------------------------------- store

bool& TIEVirtualImageList::NoMemoryFallbackForTesting() {
  static bool value = false;
  return value;
}

void TIEVirtualImageList::OpenStore() {
  if (!fileBuffer_.AllocateFile(prefix_, useFile_, fileSize_) && useFile_ && !NoMemoryFallbackForTesting()) {
    // No temporary file to be had: keep the images in a memory store rather than lose them.
    fileBuffer_.AllocateFile(prefix_, false, fileSize_);
  }
  // Images that lived only in their mapped copies reach the store now.
  if (fileBuffer_.IsAllocated()) UnmapAll();
}

void TIEVirtualImageList::PrepareFile() {
  // A store of another size gives up its holes until it is emptied.
  freeBlocks_.clear();
  if (fileBuffer_.IsAllocated()) {
    // Mapped copies are private buffers, so they stay valid (and cached) across the resize; the
    // store only ever shrinks when no image is left.
    fileBuffer_.SetSize(fileSize_);
  } else {
    OpenStore();
  }
}

bool TIEVirtualImageList::MapImage(TIEVirtualImage* Image, TIERowAccess Access) {
  if (Image->Size <= 0) return false;
  if (IsPinned(Image)) {
    // Its own memory is the image: every access is served from it.
    auto it = std::find(cache_.begin(), cache_.end(), Image);
    if (it != cache_.end()) std::rotate(it, it + 1, cache_.end());
    Image->Access = Access;
    return true;
  }
  if (Image->Data && Image->Access != Access) UnmapImage(Image);
  if (!Image->Data) {
    if (fileBuffer_.IsAllocated()) {
      while (mappedCount_ > cacheSize_ && !cache_.empty()) UnmapImage(cache_.front());
      try {
        Image->Data = fileBuffer_.Map(Access, Image->Size, Image->Offset);
      } catch (const Exception&) {
        Image->Data = nullptr;
        return false;
      }
    } else {
      // No store: the image lives in memory of its own until one opens.
      Image->Data = std::calloc(static_cast<size_t>(Image->Size), 1);
      if (!Image->Data) return false;
      pinned_.push_back(Image);
    }
    ++mappedCount_;
    cache_.push_back(Image);
  } else {
    auto it = std::find(cache_.begin(), cache_.end(), Image);
    if (it != cache_.end()) std::rotate(it, it + 1, cache_.end());
  }
  Image->Access = Access;
  return true;
}

void TIEVirtualImageList::UnmapImage(TIEVirtualImage* Image) {
  if (!Image->Data) return;
  void* data = Image->Data;
  Image->Data = nullptr;
  --mappedCount_;
  cache_.erase(std::remove(cache_.begin(), cache_.end(), Image), cache_.end());
  auto pinned = std::find(pinned_.begin(), pinned_.end(), Image);
  if (pinned == pinned_.end()) {
    fileBuffer_.Unmap(data);
    return;
  }
  pinned_.erase(pinned);
  struct FreeData {
    void* p;
    ~FreeData() { std::free(p); }
  } release{data};
  // With a store open the image moves into it; without one it is being discarded.
  if (fileBuffer_.IsAllocated()) {
    void* block = fileBuffer_.Map(iraWrite, Image->Size, Image->Offset);
    std::memcpy(block, data, static_cast<size_t>(Image->Size));
    fileBuffer_.Unmap(block);
  }
}

void TIEVirtualImageList::UnmapAll() {
  while (!cache_.empty()) UnmapImage(cache_.back());
}

void TIEVirtualImageList::MergeFreeBlocks() {
  size_t i = 0;
  while (i + 1 < freeBlocks_.size()) {
    if (freeBlocks_[i].Offset + freeBlocks_[i].Size == freeBlocks_[i + 1].Offset) {
      freeBlocks_[i].Size += freeBlocks_[i + 1].Size;
      freeBlocks_.erase(freeBlocks_.begin() + static_cast<long>(i) + 1);
    } else {
      ++i;
    }
  }
}

int64_t TIEVirtualImageList::AllocateBlock(int64_t Size) {
  // A store closed by Clear (or that could not be opened) opens again for new images.
  if (!fileBuffer_.IsAllocated()) PrepareFile();
  MergeFreeBlocks();
  for (size_t i = 0; i < freeBlocks_.size(); ++i) {
    TFreeBlock& hole = freeBlocks_[i];
    if (hole.Size < Size) continue;
    const int64_t offset = hole.Offset;
    if (hole.Size == Size) {
      freeBlocks_.erase(freeBlocks_.begin() + static_cast<long>(i));
    } else {
      hole.Offset += Size;
      hole.Size -= Size;
    }
    return offset;
  }
  if (Size > growthStep_) growthStep_ = previousBlockSize_ + Size;
  previousBlockSize_ = Size;
  const int64_t offset = end_;
  if (end_ + Size > fileSize_) {
    // When the store cannot grow this raises and the image is not added; the file size keeps the
    // larger value, so the next growth tries again.
    fileSize_ += growthStep_;
    PrepareFile();
  }
  end_ += Size;
  return offset;
}

void TIEVirtualImageList::MakeBlock(TIEVirtualImage* Image, int32_t Width, int32_t Height, int32_t BitCount,
                                    TIEPixelFormat PixelFormat, bool HasAlpha) {
  const int64_t size = BlockSize(Width, Height, BitCount, PixelFormat, HasAlpha);
  Image->Offset = AllocateBlock(size);
  Image->Size = size;
  Image->Data = nullptr;
  Image->OriginalWidth = Width;
  Image->OriginalHeight = Height;
  Image->Width = Width;
  Image->Height = Height;
  Image->HasAlpha = HasAlpha;
  Image->BitCount = BitCount;
  Image->PixelFormat = PixelFormat;
  Image->Access = iraWrite;
  MapImage(Image, iraWrite);
}

// --------------------------------------------------------------------------------------------- images

TIEVirtualImage* TIEVirtualImageList::AddImageRecord(int32_t Width, int32_t Height, int32_t BitCount,
                                                     TIEPixelFormat PixelFormat, bool HasAlpha) {
  auto image = std::make_unique<TIEVirtualImage>();
  MakeBlock(image.get(), std::max(Width, 0), std::max(Height, 0), std::max(BitCount, 0), PixelFormat, HasAlpha);
  images_.push_back(std::move(image));
  return images_.back().get();
}

void TIEVirtualImageList::FillBlock(TIEVirtualImage* Image, TIEBaseBitmap* Bitmap) {
  if (!Image->Data) return;
  auto* block = static_cast<uint8_t*>(Image->Data);
  RowsToBlock(*Bitmap, block, Image->Width, Image->Height, Image->BitCount);
  if (Image->PixelFormat == ie8p) {
    const TIERGB* palette = Bitmap->GetPaletteBuffer();
    uint8_t* out = block + PaletteOffset(*Image);
    if (palette) std::memcpy(out, palette, kPaletteBytes);
    else std::memset(out, 0, kPaletteBytes);
  }
  if (Image->HasAlpha) {
    TIEBitmap* alpha = static_cast<TIEBitmap*>(Bitmap)->GetAlphaChannel();
    uint8_t* flag = block + AlphaFlagOffset(*Image);
    // The flag says what the rows hold: an alpha channel whose Full flag is stale keeps its rows.
    const bool opaque = RowsToBlock(*alpha, flag + 1, Image->Width, Image->Height, 8);
    *flag = opaque ? 1 : 0;
  }
}

TIEVirtualImage* TIEVirtualImageList::AddBitmap(TIEBaseBitmap* Bitmap) {
  auto* asBitmap = dynamic_cast<TIEBitmap*>(Bitmap);
  const bool hasAlpha = asBitmap && asBitmap->HasAlphaChannel();
  TIEVirtualImage* image =
      AddImageRecord(Bitmap->GetWidth(), Bitmap->GetHeight(), Bitmap->GetBitCount(), Bitmap->GetPixelFormat(), hasAlpha);
  FillBlock(image, Bitmap);
  return image;
}

void TIEVirtualImageList::ReserveSpace(int32_t Width, int32_t Height, int32_t BitCount, int32_t Count) {
  if (Width <= 0 || Height <= 0 || BitCount <= 0 || Count <= 0) return;
  fileSize_ += static_cast<int64_t>(Count) * Height * RowBytes(Width, BitCount);
  PrepareFile();
}

bool TIEVirtualImageList::LoadIntoBitmap(TIEVirtualImage* Image, TIEBitmap* Bitmap) {
  if (!Bitmap || !MapImage(Image, iraRead)) return false;
  if (Bitmap->PixelFormat() != Image->PixelFormat || Bitmap->Width() != Image->Width ||
      Bitmap->Height() != Image->Height) {
    if (!Bitmap->Allocate(Image->Width, Image->Height, Image->PixelFormat)) return false;
  }
  const auto* block = static_cast<const uint8_t*>(Image->Data);
  BlockToRows(block, *Bitmap, Image->Width, Image->Height, Image->BitCount);
  if (Image->PixelFormat == ie8p && Bitmap->GetPaletteBuffer())
    std::memcpy(Bitmap->GetPaletteBuffer(), block + PaletteOffset(*Image), kPaletteBytes);
  const uint8_t* flag = block + AlphaFlagOffset(*Image);
  if (!Image->HasAlpha || *flag == 1) {
    Bitmap->RemoveAlphaChannel(false);
  } else {
    TIEBitmap* alpha = Bitmap->GetAlphaChannel();
    alpha->SetFull(false);
    BlockToRows(flag + 1, *alpha, Image->Width, Image->Height, 8);
  }
  return true;
}

bool TIEVirtualImageList::CopyToBitmap(TIEVirtualImage* Image, TIEBitmap* Bitmap) {
  if (!Bitmap) return false;
  if (TCheckOut* c = FindCheckOut(Image)) {
    Bitmap->Assign(*c->Bitmap);
    return true;
  }
  Bitmap->FreeImage(true);
  return LoadIntoBitmap(Image, Bitmap);
}

void TIEVirtualImageList::StoreBitmap(TIEVirtualImage* Image, TIEBitmap* Bitmap) {
  if (!Bitmap || !MapImage(Image, iraReadWrite)) return;
  const bool hasAlpha = Bitmap->HasAlphaChannel();
  if (Bitmap->Width() != Image->Width || Bitmap->Height() != Image->Height || Bitmap->BitCount() != Image->BitCount ||
      Bitmap->PixelFormat() != Image->PixelFormat || hasAlpha != Image->HasAlpha) {
    UnmapImage(Image);
    freeBlocks_.push_back({Image->Offset, Image->Size});
    // The record keeps its identity, its check-out and an original size the owner set.
    const bool ownerSize = Image->OriginalWidth != Image->Width || Image->OriginalHeight != Image->Height;
    const int32_t originalWidth = Image->OriginalWidth, originalHeight = Image->OriginalHeight;
    MakeBlock(Image, Bitmap->Width(), Bitmap->Height(), Bitmap->BitCount(), Bitmap->PixelFormat(), hasAlpha);
    if (ownerSize) {
      Image->OriginalWidth = originalWidth;
      Image->OriginalHeight = originalHeight;
    }
  }
  FillBlock(Image, Bitmap);
}

// ------------------------------------------------------------------------------------------ check-out

TIEVirtualImageList::TCheckOut* TIEVirtualImageList::FindCheckOut(TIEVirtualImage* Image) {
  for (auto& c : checkOuts_)
    if (c->Image == Image) return c.get();
  return nullptr;
}

TIEVirtualImageList::TCheckOut* TIEVirtualImageList::FindCheckOut(TIEBitmap* Bitmap) {
  for (auto& c : checkOuts_)
    if (c->Bitmap.get() == Bitmap) return c.get();
  return nullptr;
}

void TIEVirtualImageList::DropCheckOut(TIEVirtualImage* Image) {
  checkOuts_.erase(std::remove_if(checkOuts_.begin(), checkOuts_.end(),
                                  [Image](const std::unique_ptr<TCheckOut>& c) { return c->Image == Image; }),
                   checkOuts_.end());
  Image->CheckedOut = false;
}

TIEBitmap* TIEVirtualImageList::GetBitmap(TIEVirtualImage* Image) {
  if (TCheckOut* c = FindCheckOut(Image)) {
    ++c->RefCount;
    return c->Bitmap.get();
  }
  auto bitmap = std::make_unique<TIEBitmap>();
  if (!LoadIntoBitmap(Image, bitmap.get())) return nullptr;
  checkOuts_.push_back(std::make_unique<TCheckOut>(TCheckOut{Image, std::move(bitmap), 1, {}, {}}));
  Image->CheckedOut = true;
  return checkOuts_.back()->Bitmap.get();
}

void TIEVirtualImageList::ReleaseBitmap(TIEBitmap* Bitmap, bool Changed) {
  if (!Bitmap) return;
  TCheckOut* c = FindCheckOut(Bitmap);
  if (!c) return;
  if (Bitmap->Location() == ieTBitmap) Bitmap->SyncWithTBitmap();
  --c->RefCount;
  if (Changed) StoreBitmap(c->Image, Bitmap);
  if (c->RefCount <= 0) DropCheckOut(c->Image);
}

void TIEVirtualImageList::ReleaseBitmapOf(TIEVirtualImage* Image, bool Changed) {
  if (TCheckOut* c = FindCheckOut(Image)) ReleaseBitmap(c->Bitmap.get(), Changed);
}

int32_t TIEVirtualImageList::GetImageWidth(TIEVirtualImage* Image) {
  TCheckOut* c = FindCheckOut(Image);
  return c ? c->Bitmap->Width() : Image->Width;
}

int32_t TIEVirtualImageList::GetImageHeight(TIEVirtualImage* Image) {
  TCheckOut* c = FindCheckOut(Image);
  return c ? c->Bitmap->Height() : Image->Height;
}

TIEPixelFormat TIEVirtualImageList::GetImagePixelFormat(TIEVirtualImage* Image) {
  TCheckOut* c = FindCheckOut(Image);
  return c ? c->Bitmap->PixelFormat() : Image->PixelFormat;
}

namespace {

// A checked-out bitmap's rows in block layout: the bitmap's own memory when it is one bottom-up
// block padded to 32 bits, else a copy made now.
void* BlockView(TIEBitmap& bitmap, std::vector<uint8_t>& copy) {
  if (bitmap.IsEmpty()) return nullptr;
  const int64_t rowBytes = RowBytes(bitmap.Width(), bitmap.BitCount());
  if (bitmap.Location() == ieMemory && bitmap.SegmentCount() == 0 && !bitmap.TopDown() &&
      bitmap.RowLen() == rowBytes)
    return bitmap.GetRow(bitmap.Height() - 1);
  copy.resize(static_cast<size_t>(rowBytes * bitmap.Height()));
  RowsToBlock(bitmap, copy.data(), bitmap.Width(), bitmap.Height(), bitmap.BitCount());
  return copy.data();
}

}  // namespace

void* TIEVirtualImageList::GetImageBits(TIEVirtualImage* Image) {
  if (Image->CheckedOut) {
    TCheckOut* c = FindCheckOut(Image);
    return c ? BlockView(*c->Bitmap, c->Bits) : nullptr;
  }
  return MapImage(Image, iraRead) ? Image->Data : nullptr;
}

void* TIEVirtualImageList::GetImagePalette(TIEVirtualImage* Image) {
  if (Image->CheckedOut) {
    TCheckOut* c = FindCheckOut(Image);
    return c ? c->Bitmap->GetPaletteBuffer() : nullptr;
  }
  if (!MapImage(Image, iraRead)) return nullptr;
  return static_cast<uint8_t*>(Image->Data) + PaletteOffset(*Image);
}

void* TIEVirtualImageList::GetImageAlphaBits(TIEVirtualImage* Image) {
  if (!Image->HasAlpha) return nullptr;
  if (Image->CheckedOut) {
    TCheckOut* c = FindCheckOut(Image);
    if (!c || !c->Bitmap->HasAlphaChannel()) return nullptr;
    return BlockView(*c->Bitmap->GetAlphaChannel(), c->Alpha);
  }
  if (!MapImage(Image, iraRead)) return nullptr;
  uint8_t* flag = static_cast<uint8_t*>(Image->Data) + AlphaFlagOffset(*Image);
  return *flag == 0 ? flag + 1 : nullptr;
}

void TIEVirtualImageList::Delete(TIEVirtualImage* Image) {
  auto it = std::find_if(images_.begin(), images_.end(),
                         [Image](const std::unique_ptr<TIEVirtualImage>& p) { return p.get() == Image; });
  if (it == images_.end()) return;
  freeBlocks_.push_back({Image->Offset, Image->Size});
  DropCheckOut(Image);
  UnmapImage(Image);
  images_.erase(it);
  if (images_.empty()) {
    fileSize_ = growthStep_;
    end_ = 0;
    PrepareFile();
  }
}
