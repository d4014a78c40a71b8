#pragma once
// TChunkIHDR: the header chunk, which also owns the image storage every other part of the picture
// reads and writes: a DIB section with bottom-up rows (1, 4, 8 or 24 bits per pixel) selected into a
// memory DC with its palette, an alpha plane (top-down, one byte per pixel) for images with alpha, and
// a plane of the low bytes of 16-bit samples in the storage's own layout.
#include <cstdint>
#include <vector>

#include "pictures/png_chunk.h"
#include "platform/gdi/gdi.h"

class TChunkIHDR : public TChunk {
 public:
  explicit TChunkIHDR(TPNGChunkOwner* owner);
  ~TChunkIHDR() override;

  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  // Copies the header fields, builds the storage and copies pixels, alpha, low bytes, colour table
  // and palette.
  void Assign(TChunk* source) override;
  // Reads and checks the 13 bytes (EPngInvalidIHDR, EPNGSizeExceeds, EPNGUnknownCompression,
  // EPNGUnknownInterlace), weighs the size against the image data the stream holds and builds the
  // storage (EPNGOutMemory when it cannot be had).
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  // Writes the 13 bytes; a depth of 2 becomes 4 for good first (the storage holds 4-bit samples).
  bool SaveToStream(TStream& stream) override;

  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  uint8_t BitDepth() const { return bitDepth_; }
  uint8_t ColorType() const { return colorType_; }
  uint8_t CompressionMethod() const { return compressionMethod_; }
  uint8_t FilterMethod() const { return filterMethod_; }
  uint8_t InterlaceMethod() const { return interlaceMethod_; }
  // Sets the fields of a header made in code (the storage is built by PrepareImageData).
  void SetFields(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType, uint8_t interlaceMethod);

  // Builds the storage for the fields (freeing any earlier one). EPNGOutMemory when it cannot be had.
  void PrepareImageData();
  // Whether a storage exists.
  bool HasStorage() const { return imageHandle_ != nullptr; }
  // Bits per pixel of the storage (1, 4, 8 or 24) and bytes of one of its rows.
  int32_t StorageBits() const { return storageBits_; }
  int32_t BytesPerRow() const { return bytesPerRow_; }
  HDC ImageDC() const { return imageDC_; }
  HBITMAP ImageHandle() const { return imageHandle_; }
  // The palette of the storage (null for RGB and RGBA images); owned by the header.
  HPALETTE ImagePalette() const { return imagePalette_; }
  // Replaces the palette: refills the colour table, selects and realises it. Images without a
  // palette ignore it. The header keeps a copy; the caller keeps its palette.
  void SetImagePalette(HPALETTE palette);
  // The storage's colour table (2^bits entries), read from the bitmap.
  std::vector<RGBQUAD> ColorTable() const;
  // Top-down rows of the storage, the alpha plane and the low-byte plane (null where there is none;
  // y must be inside the image).
  uint8_t* StorageRow(int32_t y) const { return bits_ + static_cast<ptrdiff_t>(height_ - 1 - y) * bytesPerRow_; }
  uint8_t* AlphaRow(int32_t y) const {
    return alpha_.empty() ? nullptr : const_cast<uint8_t*>(alpha_.data()) + static_cast<size_t>(y) * width_;
  }
  uint8_t* LowByteRow(int32_t y) const {
    return low_.empty() ? nullptr
                        : const_cast<uint8_t*>(low_.data()) + static_cast<size_t>(height_ - 1 - y) * bytesPerRow_;
  }
  bool HasAlpha() const { return !alpha_.empty(); }
  bool HasLowBytes() const { return !low_.empty(); }
  // Changes the size: rows both sizes share, counted from the top, keep their shorter length; new
  // pixels 0, new alpha 255, new low bytes 0.
  void ResizeStorage(uint32_t width, uint32_t height);

  // Bits per pixel of the storage for a colour type and depth.
  static int32_t StorageBitsFor(uint8_t colorType, uint8_t bitDepth);

 private:
  void FreeImageData();
  // Makes the palette the storage starts with (null for RGB and RGBA images).
  HPALETTE StartPalette() const;
  void RefillColorTable();

  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint8_t bitDepth_ = 0;
  uint8_t colorType_ = 0;
  uint8_t compressionMethod_ = 0;
  uint8_t filterMethod_ = 0;
  uint8_t interlaceMethod_ = 0;

  HDC imageDC_ = nullptr;
  HBITMAP imageHandle_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HPALETTE imagePalette_ = nullptr;
  uint8_t* bits_ = nullptr;  // the DIB section's pixel block (its bottom row first)
  int32_t storageBits_ = 0;
  int32_t bytesPerRow_ = 0;
  std::vector<uint8_t> alpha_;
  std::vector<uint8_t> low_;
};
