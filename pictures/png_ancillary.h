#pragma once
// The chunks besides the header and the image data: IEND, PLTE, tRNS, gAMA, pHYs, tIME, tEXt and
// zTXt. Texts are held as UTF-8 and stored in the file as Latin-1.
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/png_chunk.h"
#include "platform/gdi/color.h"
#include "platform/gdi/gdi.h"

class TChunkIEND : public TChunk {
 public:
  using TChunk::TChunk;
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
};

class TChunkPLTE : public TChunk {
 public:
  using TChunk::TChunk;
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  void Assign(TChunk* source) override;
  // A length that is no multiple of 3 or more than 256 entries raise EPNGInvalidPalette; the
  // entries pass through the picture's gamma table and become the image palette.
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  // Count entries (the storage's colour count when 0) from the image palette through the inverse
  // gamma table; an image without a palette (an RGB image's suggested palette) writes its own.
  bool SaveToStream(TStream& stream) override;

  int32_t Count() const { return count_; }
  void SetCount(int32_t value) { count_ = value; }
  // Entry index of the image palette; an index at or past Count raises EPngError
  // "There is no such palette entry.".
  PALETTEENTRY Item(int32_t index) const;

 private:
  int32_t count_ = 0;
  std::vector<PALETTEENTRY> entries_;  // as loaded, after gamma
};

class TChunktRNS : public TChunk {
 public:
  using TChunk::TChunk;
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  void Assign(TChunk* source) override;
  // More than 256 bytes raise EPNGInvalidPalette. The values start at 255 and take the data; the
  // transparent grey of a 2-bit image is kept as its storage keeps the samples, 5 x v (and so
  // written, at depth 4).
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  // The values into the data (as many as the data holds).
  bool SaveToStream(TStream& stream) override;

  // Transparency values: per palette index, or the bytes of the grey (2) or RGB (6) sample.
  uint8_t* TransparentValues() { return values_; }
  const uint8_t* TransparentValues() const { return values_; }
  // One colour is fully transparent: always for grey and RGB images, for palette images when
  // exactly one value is below 255 and it is 0.
  bool BitTransparency() const { return bitTransparency_; }
  void SetBitTransparency(bool value) { bitTransparency_ = value; }
  // Fills the chunk from a colour of a picture made from a bitmap (grey: its red part; RGB: red,
  // green, blue as 16-bit samples; palette: 255 for every entry before the first equal to it, 0 for it).
  void SetTransparentColor(TColor color);

 private:
  uint8_t values_[256];
  bool bitTransparency_ = false;
};

class TChunkgAMA : public TChunk {
 public:
  explicit TChunkgAMA(TPNGChunkOwner* owner);
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  // The 4-byte big-endian gamma g (x 100000); when not 0 the picture's tables become
  // GammaTable[i] = Round(255 (i / 255) ^ (1 / (g / 100000 x 2.2))), InverseGamma of that = i.
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  uint32_t Gamma() const;
  void SetGamma(uint32_t value);
};

class TChunkpHYs : public TChunk {
 public:
  using TChunk::TChunk;
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  void Assign(TChunk* source) override;
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  uint32_t PPUnitX = 0;
  uint32_t PPUnitY = 0;
  uint8_t UnitType = 0;  // 1: metres
};

class TChunktIME : public TChunk {
 public:
  using TChunk::TChunk;
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  void Assign(TChunk* source) override;
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  uint16_t Year = 0;
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

class TChunktEXt : public TChunk {
 public:
  using TChunk::TChunk;
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  void Assign(TChunk* source) override;
  // With more than 2 bytes: the keyword up to the first zero byte, the text after it.
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  // Keyword, a zero byte, text.
  bool SaveToStream(TStream& stream) override;
  // UTF-8; a character Latin-1 cannot hold is written as "?".
  const std::string& Keyword() const { return keyword_; }
  void SetKeyword(const std::string& value) { keyword_ = value; }
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value) { text_ = value; }

 protected:
  std::string keyword_;
  std::string text_;
};

class TChunkzTXt : public TChunktEXt {
 public:
  using TChunktEXt::TChunktEXt;
  std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const override;
  // With more than 3 bytes: the keyword, and with compression method 0 the text inflated from the
  // rest. Inflation stops at PNGTextInflateLimit bytes; that, and any inflate failure, leave the
  // text empty.
  bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override;
  // Keyword, a zero byte, compression method 0 and the text deflated at the picture's level (an
  // empty text as one blank); nothing at all when compression fails.
  bool SaveToStream(TStream& stream) override;
};

// The most bytes a compressed text may inflate to (8,000,000; tests and fuzzing lower it).
int64_t& PNGTextInflateLimit();
