#include "pictures/png_ancillary.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/core/ie_zlib.h"
#include "pictures/png_errors.h"
#include "pictures/png_header.h"
#include "platform/system/latin1_text.h"
#include "platform/system/streams.h"

int64_t& PNGTextInflateLimit() {
  static int64_t limit = 8000000;
  return limit;
}

// --------------------------------------------------------------------------------------------- IEND

std::unique_ptr<TChunk> TChunkIEND::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunkIEND>(owner); }

// --------------------------------------------------------------------------------------------- PLTE

std::unique_ptr<TChunk> TChunkPLTE::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunkPLTE>(owner); }

void TChunkPLTE::Assign(TChunk* source) {
  TChunk::Assign(source);
  auto* src = static_cast<TChunkPLTE*>(source);
  count_ = src->count_;
  entries_ = src->entries_;
}

bool TChunkPLTE::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  ReadDataAndCheck(stream, name, size);
  if (size % 3 != 0 || size / 3 > 256) throw EPNGInvalidPalette(pngtext::kInvalidPalette);
  count_ = static_cast<int32_t>(size / 3);
  const uint8_t* gamma = Owner()->GammaTable();
  entries_.resize(static_cast<size_t>(count_));
  for (int32_t i = 0; i < count_; ++i) {
    const uint8_t* p = data_.data() + 3 * i;
    entries_[static_cast<size_t>(i)] = {gamma[p[0]], gamma[p[1]], gamma[p[2]], 0};
  }
  if (HPALETTE palette = CreatePaletteFromEntries(entries_.data(), static_cast<uint32_t>(count_))) {
    Header()->SetImagePalette(palette);
    DeleteObject(palette);
  }
  return true;
}

PALETTEENTRY TChunkPLTE::Item(int32_t index) const {
  if (index < 0 || index >= count_) throw EPngError(pngtext::kNoSuchPaletteEntry);
  TChunkIHDR* header = Header();
  if (HPALETTE palette = header->ImagePalette()) {
    PALETTEENTRY e;
    if (GetPaletteEntries(palette, static_cast<uint32_t>(index), 1, &e) == 1) return e;
    return PALETTEENTRY{};
  }
  return static_cast<size_t>(index) < entries_.size() ? entries_[static_cast<size_t>(index)] : PALETTEENTRY{};
}

bool TChunkPLTE::SaveToStream(TStream& stream) {
  TChunkIHDR* header = Header();
  HPALETTE palette = header->ImagePalette();
  int32_t count = count_;
  if (count == 0 && palette) count = 1 << header->StorageBits();
  std::vector<PALETTEENTRY> e(static_cast<size_t>(count));
  if (palette) {
    GetPaletteEntries(palette, 0, static_cast<uint32_t>(count), e.data());
  } else {
    // An RGB image's suggested palette: written as it was read.
    for (size_t i = 0; i < e.size() && i < entries_.size(); ++i) e[i] = entries_[i];
  }
  const uint8_t* inverse = Owner()->InverseGamma();
  data_.assign(static_cast<size_t>(count) * 3, 0);
  for (int32_t i = 0; i < count; ++i) {
    data_[3 * i] = inverse[e[static_cast<size_t>(i)].peRed];
    data_[3 * i + 1] = inverse[e[static_cast<size_t>(i)].peGreen];
    data_[3 * i + 2] = inverse[e[static_cast<size_t>(i)].peBlue];
  }
  WriteChunk(stream);
  return true;
}

// --------------------------------------------------------------------------------------------- tRNS

std::unique_ptr<TChunk> TChunktRNS::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunktRNS>(owner); }

void TChunktRNS::Assign(TChunk* source) {
  TChunk::Assign(source);
  auto* src = static_cast<TChunktRNS*>(source);
  std::memcpy(values_, src->values_, sizeof values_);
  bitTransparency_ = src->bitTransparency_;
}

bool TChunktRNS::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  ReadDataAndCheck(stream, name, size);
  if (size > 256) throw EPNGInvalidPalette(pngtext::kInvalidPalette);
  std::memset(values_, 255, sizeof values_);
  std::memcpy(values_, data_.data(), size);
  switch (Header()->ColorType()) {
    case ctGrayscale:
      bitTransparency_ = true;
      if (Header()->BitDepth() == 2) {
        const uint32_t v = std::min<uint32_t>((uint32_t{values_[0]} << 8) | values_[1], 3);
        values_[0] = 0;
        values_[1] = static_cast<uint8_t>(5 * v);
      }
      break;
    case ctRGB:
      bitTransparency_ = true;
      break;
    case ctPalette: {
      // One colour is fully transparent only when exactly one value is below 255 and it is 0; a single
      // partial value is blended like any other.
      int32_t below = 0;
      int32_t at = -1;
      for (uint32_t i = 0; i < size; ++i)
        if (values_[i] != 255) ++below, at = static_cast<int32_t>(i);
      bitTransparency_ = below == 1 && values_[at] == 0;
      break;
    }
    default:
      bitTransparency_ = false;
  }
  return true;
}

bool TChunktRNS::SaveToStream(TStream& stream) {
  if (data_.size() <= 256) std::memcpy(data_.data(), values_, data_.size());
  WriteChunk(stream);
  return true;
}

void TChunktRNS::SetTransparentColor(TColor color) {
  const uint32_t rgb = static_cast<uint32_t>(color) & 0xFFFFFF;
  const uint8_t r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
  std::memset(values_, 255, sizeof values_);
  TChunkIHDR* header = Header();
  switch (header->ColorType()) {
    case ctGrayscale:
      data_.assign(2, 0);
      values_[0] = 0;
      values_[1] = r;
      bitTransparency_ = true;
      break;
    case ctRGB:
      data_.assign(6, 0);
      values_[0] = 0, values_[1] = r, values_[2] = 0, values_[3] = g, values_[4] = 0, values_[5] = b;
      bitTransparency_ = true;
      break;
    case ctPalette: {
      std::vector<RGBQUAD> table = header->ColorTable();
      size_t found = table.size();
      for (size_t i = 0; i < table.size(); ++i)
        if (table[i].rgbRed == r && table[i].rgbGreen == g && table[i].rgbBlue == b) {
          found = i;
          break;
        }
      // Every entry before the colour stays opaque; without the colour the whole table is opaque.
      if (found < table.size()) {
        values_[found] = 0;
        data_.assign(found + 1, 0);
        bitTransparency_ = true;
      } else {
        data_.assign(table.size(), 0);
        bitTransparency_ = false;
      }
      break;
    }
    default:
      break;
  }
}

// --------------------------------------------------------------------------------------------- gAMA

TChunkgAMA::TChunkgAMA(TPNGChunkOwner* owner) : TChunk(owner) { SetGamma(1); }

std::unique_ptr<TChunk> TChunkgAMA::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunkgAMA>(owner); }

uint32_t TChunkgAMA::Gamma() const { return data_.size() >= 4 ? ReadBE32(data_.data()) : 0; }

void TChunkgAMA::SetGamma(uint32_t value) {
  data_.assign(4, 0);
  WriteBE32(data_.data(), value);
}

bool TChunkgAMA::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  ReadDataAndCheck(stream, name, size);
  const uint32_t g = Gamma();
  if (g != 0) {
    uint8_t* table = Owner()->GammaTable();
    uint8_t* inverse = Owner()->InverseGamma();
    const double exponent = 1.0 / (g / 100000.0 * 2.2);
    for (int i = 0; i < 256; ++i) {
      const double v = std::nearbyint(255.0 * std::pow(i / 255.0, exponent));
      const auto out = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
      table[i] = out;
      inverse[out] = static_cast<uint8_t>(i);
    }
  }
  return true;
}

// --------------------------------------------------------------------------------------------- pHYs

std::unique_ptr<TChunk> TChunkpHYs::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunkpHYs>(owner); }

void TChunkpHYs::Assign(TChunk* source) {
  TChunk::Assign(source);
  auto* src = static_cast<TChunkpHYs*>(source);
  PPUnitX = src->PPUnitX;
  PPUnitY = src->PPUnitY;
  UnitType = src->UnitType;
}

bool TChunkpHYs::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  ReadDataAndCheck(stream, name, size);
  if (size == 9) {
    PPUnitX = ReadBE32(data_.data());
    PPUnitY = ReadBE32(data_.data() + 4);
    UnitType = data_[8];
  }
  return true;
}

bool TChunkpHYs::SaveToStream(TStream& stream) {
  data_.assign(9, 0);
  WriteBE32(data_.data(), PPUnitX);
  WriteBE32(data_.data() + 4, PPUnitY);
  data_[8] = UnitType;
  WriteChunk(stream);
  return true;
}

// --------------------------------------------------------------------------------------------- tIME

std::unique_ptr<TChunk> TChunktIME::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunktIME>(owner); }

void TChunktIME::Assign(TChunk* source) {
  TChunk::Assign(source);
  auto* src = static_cast<TChunktIME*>(source);
  Year = src->Year;
  Month = src->Month, Day = src->Day, Hour = src->Hour, Minute = src->Minute, Second = src->Second;
}

bool TChunktIME::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  ReadDataAndCheck(stream, name, size);
  if (size == 7) {
    Year = static_cast<uint16_t>((data_[0] << 8) | data_[1]);
    Month = data_[2], Day = data_[3], Hour = data_[4], Minute = data_[5], Second = data_[6];
  }
  return true;
}

bool TChunktIME::SaveToStream(TStream& stream) {
  data_ = {static_cast<uint8_t>(Year >> 8), static_cast<uint8_t>(Year), Month, Day, Hour, Minute, Second};
  WriteChunk(stream);
  return true;
}

// --------------------------------------------------------------------------------------- tEXt, zTXt

namespace {

// Splits data at its first zero byte: the keyword before it, the position after it (size when none).
size_t SplitKeyword(const std::vector<uint8_t>& data, std::string& keyword) {
  auto zero = std::find(data.begin(), data.end(), uint8_t{0});
  keyword = Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), static_cast<size_t>(zero - data.begin())));
  return zero == data.end() ? data.size() : static_cast<size_t>(zero - data.begin()) + 1;
}

std::string Latin1Of(const std::vector<uint8_t>& data, size_t from) {
  if (from >= data.size()) return std::string();
  return Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()) + from, data.size() - from));
}

// Inflates a whole zlib stream into text, up to the limit; false for damaged data or a text that
// would grow past the limit.
bool InflateText(const uint8_t* data, size_t size, std::string& out) {
  out.clear();
  try {
    TCustomMemoryStream source(data, static_cast<int64_t>(size));
    TZDecompressionStream z(source);
    std::vector<char> block(65536);
    const int64_t limit = PNGTextInflateLimit();
    for (;;) {
      const int32_t got = z.Read(block.data(), static_cast<int32_t>(block.size()));
      if (got <= 0) break;
      if (static_cast<int64_t>(out.size()) + got > limit) {
        out.clear();
        return false;
      }
      out.append(block.data(), static_cast<size_t>(got));
    }
  } catch (const EZLibError&) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<TChunk> TChunktEXt::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunktEXt>(owner); }

void TChunktEXt::Assign(TChunk* source) {
  TChunk::Assign(source);
  auto* src = static_cast<TChunktEXt*>(source);
  keyword_ = src->keyword_;
  text_ = src->text_;
}

bool TChunktEXt::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  ReadDataAndCheck(stream, name, size);
  if (size > 2) {
    const size_t textAt = SplitKeyword(data_, keyword_);
    text_ = Latin1Of(data_, textAt);
  }
  return true;
}

bool TChunktEXt::SaveToStream(TStream& stream) {
  const std::string keyword = Utf8ToLatin1(keyword_), text = Utf8ToLatin1(text_);
  data_.assign(keyword.begin(), keyword.end());
  data_.push_back(0);
  data_.insert(data_.end(), text.begin(), text.end());
  WriteChunk(stream);
  return true;
}

std::unique_ptr<TChunk> TChunkzTXt::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunkzTXt>(owner); }

bool TChunkzTXt::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  ReadDataAndCheck(stream, name, size);
  if (size > 3) {
    const size_t methodAt = SplitKeyword(data_, keyword_);
    text_.clear();
    if (methodAt < data_.size() && data_[methodAt] == 0) {
      std::string latin1;
      const size_t textAt = methodAt + 1;
      if (textAt < data_.size() && InflateText(data_.data() + textAt, data_.size() - textAt, latin1))
        text_ = Latin1ToUtf8(latin1);
    }
  }
  return true;
}

bool TChunkzTXt::SaveToStream(TStream& stream) {
  const std::string keyword = Utf8ToLatin1(keyword_);
  const std::string text = text_.empty() ? std::string(" ") : Utf8ToLatin1(text_);
  TMemoryStream packed;
  try {
    TZDeflateSettings settings;
    settings.Level = Owner()->DeflateLevel();
    TZCompressionStream z(packed, settings);
    z.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
    z.Finish();
  } catch (const EZLibError&) {
    return true;  // nothing is written for a text that cannot be compressed
  }
  data_.assign(keyword.begin(), keyword.end());
  data_.push_back(0);
  data_.push_back(0);
  const auto* p = static_cast<const uint8_t*>(packed.Memory());
  data_.insert(data_.end(), p, p + packed.Size());
  WriteChunk(stream);
  return true;
}
