#pragma once
// TPNGObject: a picture of the framework that holds a PNG file as its ordered list of chunk objects.
// The image lives in the header chunk's storage (a bottom-up DIB section of 1, 4, 8 or 24 bits with
// a separate alpha plane and, for 16-bit samples, a plane of low bytes); the image-data chunk
// decodes into it and encodes from it. Registered with the framework's picture registry for ".png"
// by InitializePictures. Everything runs on the thread that uses the picture; nothing is locked.
#include <cstdint>
#include <memory>

#include "pictures/png_chunk.h"
#include "pictures/png_errors.h"
#include "pictures/png_types.h"
#include "platform/gdi/bitmap.h"

class TPNGObject : public TGraphic, public TPNGChunkOwner {
 public:
  TPNGObject();
  ~TPNGObject() override;

  // ---- the framework graphic
  // No chunks.
  bool Empty() const override;
  // From the header; 0 without one.
  int32_t Width() const override;
  int32_t Height() const override;
  // Resizing keeps the rows both sizes share, counted from the top (new pixels 0, new alpha 255,
  // new low bytes 0). A size below 1 raises EPNGInvalidNewSize.
  void SetWidth(int32_t width) override;
  void SetHeight(int32_t height) override;
  // The transparency kind is not 0.
  bool Transparent() const override;
  // The storage's palette (null for RGB images); setting refills the colour table of a palette or
  // grey image.
  HPALETTE Palette() override;
  void SetPalette(HPALETTE palette) override;
  void LoadFromStream(TStream& stream) override;
  // Raises EPNGHeaderNotPresent for a picture without a header (nothing is written then).
  void SaveToStream(TStream& stream) override;
  // Saving draws the picture on a bitmap of its size and gives the bitmap's clipboard data; loading
  // reads a bitmap's and converts it (not transparent).
  void LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE palette) override;
  void SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette) override;
  void Draw(TCanvas* canvas, const TRect& rect) override;
  // Null clears; another PNG picture is copied; a framework bitmap is converted with its
  // transparency; anything else goes to the framework.
  void Assign(TPersistent* source) override;

  // ---- the picture's fields
  // Stored byte -> displayed byte (identity unless a gAMA chunk set it), and back when saving.
  uint8_t* GammaTable() override { return gammaTable_; }
  const uint8_t* GammaTable() const { return gammaTable_; }
  uint8_t* InverseGamma() override { return inverseGamma_; }
  const uint8_t* InverseGamma() const { return inverseGamma_; }
  // Whether both tables are the identity (so that coding can leave them out).
  bool GammaIsIdentity() const;
  void ResetGamma();
  // A canvas on the device context that holds the image storage (no DC without a header).
  TCanvas* ImageCanvas() override { return imageCanvas_.get(); }
  // Filters the encoder may use; default [prfSub].
  TPNGRowFilters RowFilters() const override { return rowFilters_; }
  void SetRowFilters(TPNGRowFilters value) { rowFilters_ = value; }
  // zlib level of the image data (0..9); default 7.
  uint8_t DeflateLevel() const override { return deflateLevel_; }
  void SetDeflateLevel(uint8_t value) { deflateLevel_ = value; }
  // zlib strategy of the image data (Z_DEFAULT_STRATEGY unless a caller tunes it).
  int32_t DeflateStrategy() const override { return deflateStrategy_; }
  void SetDeflateStrategy(int32_t value) { deflateStrategy_ = value; }
  // The largest image-data chunk written; default 65535. Copies never take less than 65535.
  uint32_t IdatChunkSize() const override { return idatChunkSize_; }
  void SetIdatChunkSize(uint32_t value) { idatChunkSize_ = value; }
  // 0 none, 1 Adam7; set by loading, used by saving.
  uint8_t InterlaceKind() const override { return interlaceKind_; }
  void SetInterlaceKind(uint8_t value) override { interlaceKind_ = value; }
  TPNGList& ChunkList() { return chunkList_; }
  const TPNGList& ChunkList() const { return chunkList_; }

  // ---- added operations
  // 0 none, 1 one fully transparent colour, 2 partial (per pixel).
  uint8_t TransparencyKind() const;
  // The colour of the transparency chunk (0 without one).
  TColor TransparentColour() const;
  // A pixel's colour; outside the image 0 is read and nothing written.
  virtual TColor PixelAt(int32_t x, int32_t y) const;
  virtual void SetPixelAt(int32_t x, int32_t y, TColor color);
  // Top-down row addresses into the storage, the alpha plane (null unless the image has one) and the
  // low-byte plane (null unless the image has 16-bit samples).
  uint8_t* RowPointer(int32_t y) const;
  uint8_t* AlphaRowPointer(int32_t y) const;
  uint8_t* LowByteRowPointer(int32_t y) const;
  // The header at the head of the chunk list; EPNGHeaderNotPresent when there is none.
  TChunkIHDR* CurrentHeader() const override;

 protected:
  void AssignTo(TPersistent* dest) override;

 private:
  friend class TChunkIHDR;
  void ClearChunks();
  void AssignPNG(TPNGObject* source);
  void AssignBitmap(TBitmap* source);
  void AssignToBitmap(TBitmap* dest);
  void DrawPartialTransparent(TCanvas* canvas, TRect rect);
  TChunkIHDR* HeaderOrNull() const;

  uint8_t gammaTable_[256];
  uint8_t inverseGamma_[256];
  std::unique_ptr<TCanvas> imageCanvas_;
  TPNGRowFilters rowFilters_{prfSub};
  uint8_t deflateLevel_ = 7;
  int32_t deflateStrategy_ = 0;
  uint32_t idatChunkSize_ = 65535;
  uint8_t interlaceKind_ = 0;
  TPNGList chunkList_;
};
