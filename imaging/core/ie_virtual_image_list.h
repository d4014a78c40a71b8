#pragma once
// TIEVirtualImageList: many images in one backing store (a delete-on-close temporary file, or a
// memory stream), the frame list's images and their thumbnails. Each image occupies one contiguous
// block; freed blocks are reused first-fit; a few images are kept mapped (copied into memory) in a
// least-recently-used cache; an image can be checked out as a reference-counted TIEBitmap and is
// written back when released as changed. Callers hold an image by its record, which stays valid
// until the image is deleted or the store is cleared.
//
// Block layout (the index lives in the records; the store is scratch space no one else reads):
// the pixel rows, bottom row first, each padded to 32 bits; for ie8p the 768-byte palette (B, G, R);
// with alpha, one byte that is 1 when the alpha channel is fully opaque, then the 8-bit alpha rows,
// bottom row first, padded to 32 bits.
//
// When no temporary file can be made the store lives in memory; when not even that can be had, the
// images stay in their mapped copies, are never evicted, and reach a store as soon as one opens.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_file_buffer.h"

class TIEBaseBitmap;
class TIEBitmap;

// The handle of one stored image.
struct TIEVirtualImage {
  int64_t Offset = 0;      // where the block starts in the store
  int64_t Size = 0;        // block size in bytes
  void* Data = nullptr;    // the mapped copy while the image is in the cache
  bool CheckedOut = false;
  int32_t OriginalWidth = 0;   // the stored size unless the owner sets the full image's size
  int32_t OriginalHeight = 0;
  bool HasAlpha = false;
  TIERowAccess Access = iraWrite;  // of the current or last mapping
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;
  TIEPixelFormat PixelFormat = ieNoFormat;
};

class TIEVirtualImageList {
 public:
  static constexpr int64_t kGrowthStep = 262144;

  // Opens the backing store at the growth step's size: a temporary file named Prefix-XXXXXXXX.tmp
  // when UseFile (a memory stream when no file can be made), else a memory stream.
  TIEVirtualImageList(const std::string& Prefix, bool UseFile);
  ~TIEVirtualImageList();
  TIEVirtualImageList(const TIEVirtualImageList&) = delete;
  TIEVirtualImageList& operator=(const TIEVirtualImageList&) = delete;

  // Frees every image, check-out and mapping and closes the store (its file is deleted); the next
  // image opens a new one.
  void Clear();

  // Stores a copy of the bitmap (its alpha channel too when it is a TIEBitmap); returns its record.
  // Raises the store's error when the store cannot grow (the image is then not added).
  TIEVirtualImage* AddBitmap(TIEBaseBitmap* Bitmap);
  TIEVirtualImage* AddImageRecord(int32_t Width, int32_t Height, int32_t BitCount, TIEPixelFormat PixelFormat,
                                  bool HasAlpha);
  // Grows the store once for Count images of that size (rows only). Growing keeps the cache.
  void ReserveSpace(int32_t Width, int32_t Height, int32_t BitCount, int32_t Count);

  // Copies the stored image into Bitmap, re-allocating it only when format, width or height
  // differ; rows are copied to Bitmap's own row length. False when the image cannot be mapped or
  // Bitmap cannot be allocated.
  bool LoadIntoBitmap(TIEVirtualImage* Image, TIEBitmap* Bitmap);
  // Fills Bitmap with the image: from the checked-out bitmap when there is one, else as
  // LoadIntoBitmap with Bitmap always re-allocated.
  bool CopyToBitmap(TIEVirtualImage* Image, TIEBitmap* Bitmap);
  // Writes Bitmap into the image's block (a new block when geometry, format or alpha changed).
  void StoreBitmap(TIEVirtualImage* Image, TIEBitmap* Bitmap);

  // Checks the image out: the same TIEBitmap (owned by the store) for every request, counted;
  // nullptr when the image cannot be mapped or loaded.
  TIEBitmap* GetBitmap(TIEVirtualImage* Image);
  // Drops one reference (written back first when Changed); the last one frees the bitmap. Nothing
  // for nullptr or a bitmap this store did not hand out.
  void ReleaseBitmap(TIEBitmap* Bitmap, bool Changed);
  void ReleaseBitmapOf(TIEVirtualImage* Image, bool Changed);

  // Of the checked-out bitmap when there is one, else the stored values.
  int32_t GetImageWidth(TIEVirtualImage* Image);
  int32_t GetImageHeight(TIEVirtualImage* Image);
  TIEPixelFormat GetImagePixelFormat(TIEVirtualImage* Image);
  int32_t GetImageOriginalWidth(TIEVirtualImage* Image) const { return Image->OriginalWidth; }
  int32_t GetImageOriginalHeight(TIEVirtualImage* Image) const { return Image->OriginalHeight; }
  void SetImageOriginalWidth(TIEVirtualImage* Image, int32_t Value) { Image->OriginalWidth = Value; }
  void SetImageOriginalHeight(TIEVirtualImage* Image, int32_t Value) { Image->OriginalHeight = Value; }

  // The image's rows in block layout (bottom row first, 32-bit padding); for a checked-out image a
  // view of the checked-out bitmap in the same layout. Valid until the image is unmapped, deleted,
  // released or asked again. nullptr when it cannot be mapped.
  void* GetImageBits(TIEVirtualImage* Image);
  // The 768-byte palette (meaningful for ie8p only).
  void* GetImagePalette(TIEVirtualImage* Image);
  // The alpha rows in block layout; nullptr when the image has no alpha channel or it is fully opaque.
  void* GetImageAlphaBits(TIEVirtualImage* Image);

  // Frees the image's block for reuse, drops its check-out and its record. The last image gone,
  // the store shrinks back to the growth step.
  void Delete(TIEVirtualImage* Image);

  int32_t ImageCount() const { return static_cast<int32_t>(images_.size()); }
  TIEVirtualImage* Image(int32_t Index) const { return images_.at(static_cast<size_t>(Index)).get(); }
  int32_t CacheSize() const { return cacheSize_; }
  void SetCacheSize(int32_t Value) { cacheSize_ = Value; }
  int32_t MappedCount() const { return mappedCount_; }
  bool UseFile() const { return useFile_; }
  const std::string& Prefix() const { return prefix_; }
  // Whether the backing store is open, and whether it is a temporary file.
  bool StoreOpen() const { return fileBuffer_.IsAllocated(); }
  bool StoreIsFile() const;
  int64_t FileSize() const { return fileSize_; }
  int64_t End() const { return end_; }
  int64_t GrowthStep() const { return growthStep_; }
  struct TFreeBlock {
    int64_t Offset;
    int64_t Size;
  };
  const std::vector<TFreeBlock>& FreeBlocks() const { return freeBlocks_; }

  // Test seam: when set, a store that cannot have its temporary file does not fall back to memory,
  // so tests reach the state without any store.
  static bool& NoMemoryFallbackForTesting();

 private:
  struct TCheckOut {
    TIEVirtualImage* Image;
    std::unique_ptr<TIEBitmap> Bitmap;
    int32_t RefCount;
    std::vector<uint8_t> Bits;   // block-layout views for GetImageBits / GetImageAlphaBits
    std::vector<uint8_t> Alpha;
  };

  void PrepareFile();
  void OpenStore();
  bool MapImage(TIEVirtualImage* Image, TIERowAccess Access);
  void UnmapImage(TIEVirtualImage* Image);
  void UnmapAll();
  // Finds room for a block of Size bytes: first fit in the holes, else at the end (growing the store).
  int64_t AllocateBlock(int64_t Size);
  void MakeBlock(TIEVirtualImage* Image, int32_t Width, int32_t Height, int32_t BitCount,
                 TIEPixelFormat PixelFormat, bool HasAlpha);
  void MergeFreeBlocks();
  void FillBlock(TIEVirtualImage* Image, TIEBaseBitmap* Bitmap);
  bool IsPinned(TIEVirtualImage* Image) const;
  TCheckOut* FindCheckOut(TIEVirtualImage* Image);
  TCheckOut* FindCheckOut(TIEBitmap* Bitmap);
  void DropCheckOut(TIEVirtualImage* Image);

  TIEFileBuffer fileBuffer_;
  bool useFile_;
  int64_t fileSize_ = kGrowthStep;
  std::vector<std::unique_ptr<TIEVirtualImage>> images_;
  std::vector<TIEVirtualImage*> cache_;  // least recently used first
  std::vector<TFreeBlock> freeBlocks_;
  int64_t end_ = 0;
  int64_t growthStep_ = kGrowthStep;
  int32_t cacheSize_ = 10;
  int32_t mappedCount_ = 0;
  std::vector<std::unique_ptr<TCheckOut>> checkOuts_;
  // Images held only in memory of their own while no store is open (never evicted).
  std::vector<TIEVirtualImage*> pinned_;
  int64_t previousBlockSize_ = 0;
  std::string prefix_;
};
