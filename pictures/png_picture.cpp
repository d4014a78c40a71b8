// TPNGObject: loading and saving the chunk list, the transparency questions, pixel access, resizing
// and the picture's fields. Drawing and the conversions to and from bitmaps are in
// png_picture_draw.cpp.
#include "pictures/png_picture.h"

#include <cstring>

#include "pictures/png_ancillary.h"
#include "pictures/png_header.h"
#include "pictures/png_samples.h"
#include "platform/system/streams.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

TColor ColorOf(const RGBQUAD& q) { return static_cast<TColor>(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)); }

}  // namespace

TPNGObject::TPNGObject() : imageCanvas_(std::make_unique<TCanvas>()) { ResetGamma(); }

TPNGObject::~TPNGObject() { ClearChunks(); }

void TPNGObject::ResetGamma() {
  for (int i = 0; i < 256; ++i) gammaTable_[i] = inverseGamma_[i] = static_cast<uint8_t>(i);
}

bool TPNGObject::GammaIsIdentity() const {
  for (int i = 0; i < 256; ++i)
    if (gammaTable_[i] != i || inverseGamma_[i] != i) return false;
  return true;
}

void TPNGObject::ClearChunks() { chunkList_.Clear(); }

TChunkIHDR* TPNGObject::HeaderOrNull() const { return dynamic_cast<TChunkIHDR*>(chunkList_.Item(0)); }

TChunkIHDR* TPNGObject::CurrentHeader() const {
  TChunkIHDR* h = HeaderOrNull();
  if (!h) throw EPNGHeaderNotPresent(pngtext::kHeaderNotPresent);
  return h;
}

bool TPNGObject::Empty() const { return chunkList_.Count() == 0; }

int32_t TPNGObject::Width() const {
  TChunkIHDR* h = HeaderOrNull();
  return h ? static_cast<int32_t>(h->Width()) : 0;
}

int32_t TPNGObject::Height() const {
  TChunkIHDR* h = HeaderOrNull();
  return h ? static_cast<int32_t>(h->Height()) : 0;
}

void TPNGObject::SetWidth(int32_t width) {
  if (width < 1) throw EPNGInvalidNewSize(pngtext::kInvalidNewSize);
  TChunkIHDR* h = CurrentHeader();
  h->ResizeStorage(static_cast<uint32_t>(width), h->Height());
  Changed();
}

void TPNGObject::SetHeight(int32_t height) {
  if (height < 1) throw EPNGInvalidNewSize(pngtext::kInvalidNewSize);
  TChunkIHDR* h = CurrentHeader();
  h->ResizeStorage(h->Width(), static_cast<uint32_t>(height));
  Changed();
}

bool TPNGObject::Transparent() const { return TransparencyKind() != 0; }

HPALETTE TPNGObject::Palette() {
  TChunkIHDR* h = HeaderOrNull();
  return h ? h->ImagePalette() : nullptr;
}

void TPNGObject::SetPalette(HPALETTE palette) {
  CurrentHeader()->SetImagePalette(palette);
  Changed();
}

// ------------------------------------------------------------------------------------ load and save

void TPNGObject::LoadFromStream(TStream& stream) {
  ClearChunks();
  ResetGamma();
  uint8_t signature[8];
  if (ReadUpTo(stream, signature, 8) != 8 || std::memcmp(signature, kSignature, 8) != 0)
    throw EPNGInvalidFileHeader(pngtext::kInvalidFileHeader);
  bool imageData = false;
  for (;;) {
    uint8_t head[8];
    if (ReadUpTo(stream, head, 8) != 8) throw EPngUnexpectedEnd(pngtext::kUnexpectedEnd);
    const uint32_t length = ReadBE32(head);
    const std::string name(reinterpret_cast<const char*>(head + 4), 4);
    if (chunkList_.Count() == 0 && name != "IHDR") throw EPNGIHDRNotFirst(pngtext::kIHDRNotFirst);
    // A length is taken only as far as the file can hold it: nothing is allocated for more.
    const int64_t remaining = stream.Size() - stream.Position();
    const bool idat = name == "IDAT";
    if (length > 0x7FFFFFFFu || (!idat && length > remaining)) throw EPngUnexpectedEnd(pngtext::kUnexpectedEnd);
    // Passed over: cHRM, image data after the image was read, and a second header.
    if (name == "cHRM" || (idat && imageData) || (name == "IHDR" && chunkList_.Count() > 0)) {
      stream.Seek(std::min<int64_t>(int64_t{length} + 4, remaining), soCurrent);
      continue;
    }
    std::unique_ptr<TChunk> chunk;
    if (TChunkFactory factory = ChunkFactory(name)) chunk = factory(this);
    if (!chunk) {
      if (name[0] >= 'A' && name[0] <= 'Z') throw EPNGUnknownCriticalChunk(pngtext::kUnknownCriticalChunk);
      chunk = std::make_unique<TChunk>(this);
    }
    bool more;
    if (idat) {
      // The image data work on the header's storage: in the list even when they fail part way, so that
      // the rows read so far stay with the picture.
      TChunk* c = chunkList_.Add(std::move(chunk));
      imageData = true;
      more = c->LoadFromStream(stream, name, length);
    } else {
      more = chunk->LoadFromStream(stream, name, length);
      chunkList_.Add(std::move(chunk));
    }
    if (!more || name == "IEND") break;
  }
  if (!imageData) throw EPNGNoImageData(pngtext::kNoImageData);
  Changed();
}

void TPNGObject::SaveToStream(TStream& stream) {
  CurrentHeader();
  stream.WriteBuffer(kSignature, 8);
  for (int32_t i = 0; i < chunkList_.Count(); ++i) chunkList_.Item(i)->SaveToStream(stream);
}

// ------------------------------------------------------------------------------------ transparency

uint8_t TPNGObject::TransparencyKind() const {
  TChunkIHDR* h = HeaderOrNull();
  if (!h) return 0;
  const TChunktRNS* trns = chunkList_.ItemFromClass<TChunktRNS>();
  switch (h->ColorType()) {
    case ctGrayscale:
    case ctRGB:
      return trns ? 1 : 0;
    case ctPalette:
      if (!trns) return 0;
      return trns->BitTransparency() ? 1 : 2;
    case ctGrayscaleAlpha:
    case ctRGBAlpha:
      return 2;
    default:
      return 0;
  }
}

TColor TPNGObject::TransparentColour() const {
  TChunkIHDR* h = HeaderOrNull();
  const TChunktRNS* trns = chunkList_.ItemFromClass<TChunktRNS>();
  if (!h || !trns) return 0;
  const uint8_t* v = trns->TransparentValues();
  switch (h->ColorType()) {
    case ctGrayscale: {
      // The sample as the storage holds it: the high byte at depth 16, 5 x v at depth 2 (which the
      // transparency chunk keeps already); never past the colour table.
      uint32_t sample = (uint32_t{v[0]} << 8) | v[1];
      if (h->BitDepth() == 16) sample = v[0];
      else sample = std::min<uint32_t>(sample, (1u << h->StorageBits()) - 1);
      const std::vector<RGBQUAD> table = h->ColorTable();
      return sample < table.size() ? ColorOf(table[sample]) : 0;
    }
    case ctRGB: {
      const uint8_t* gamma = gammaTable_;
      const bool wide = h->BitDepth() == 16;
      const auto channel = [&](int k) -> uint8_t {
        return wide ? v[2 * k] : (v[2 * k] ? 255 : v[2 * k + 1]);
      };
      return static_cast<TColor>(RGB(gamma[channel(0)], gamma[channel(1)], gamma[channel(2)]));
    }
    case ctPalette: {
      const std::vector<RGBQUAD> table = h->ColorTable();
      for (size_t i = 0; i < table.size(); ++i)
        if (v[i] == 0) return ColorOf(table[i]);
      return 0;
    }
    default:
      return 0;
  }
}

// ------------------------------------------------------------------------------------ pixel access

uint8_t* TPNGObject::RowPointer(int32_t y) const {
  TChunkIHDR* h = HeaderOrNull();
  if (!h || !h->HasStorage() || y < 0 || y >= static_cast<int32_t>(h->Height())) return nullptr;
  return h->StorageRow(y);
}

uint8_t* TPNGObject::AlphaRowPointer(int32_t y) const {
  TChunkIHDR* h = HeaderOrNull();
  if (!h || !h->HasAlpha() || y < 0 || y >= static_cast<int32_t>(h->Height())) return nullptr;
  return h->AlphaRow(y);
}

uint8_t* TPNGObject::LowByteRowPointer(int32_t y) const {
  TChunkIHDR* h = HeaderOrNull();
  if (!h || !h->HasLowBytes() || y < 0 || y >= static_cast<int32_t>(h->Height())) return nullptr;
  return h->LowByteRow(y);
}

TColor TPNGObject::PixelAt(int32_t x, int32_t y) const {
  TChunkIHDR* h = HeaderOrNull();
  if (!h || !h->HasStorage() || x < 0 || y < 0 || x >= static_cast<int32_t>(h->Width()) ||
      y >= static_cast<int32_t>(h->Height()))
    return 0;
  const uint8_t* row = h->StorageRow(y);
  if (h->StorageBits() == 24)
    return static_cast<TColor>(RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
  // Palette and grey images (grey with alpha too) show their index or level through the colour
  // table, which holds the gamma-corrected palette or grey ramp.
  const uint32_t index = PackedSample(row, x, h->StorageBits());
  const std::vector<RGBQUAD> table = h->ColorTable();
  return index < table.size() ? ColorOf(table[index]) : 0;
}

void TPNGObject::SetPixelAt(int32_t x, int32_t y, TColor color) {
  TChunkIHDR* h = HeaderOrNull();
  if (!h || !h->HasStorage() || x < 0 || y < 0 || x >= static_cast<int32_t>(h->Width()) ||
      y >= static_cast<int32_t>(h->Height()))
    return;
  uint8_t* row = h->StorageRow(y);
  const COLORREF c = static_cast<COLORREF>(color) & 0xFFFFFF;
  const uint8_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  if (h->StorageBits() == 24) {
    row[3 * x] = b;
    row[3 * x + 1] = g;
    row[3 * x + 2] = r;
    return;
  }
  if (h->ColorType() == ctGrayscaleAlpha) {
    row[x] = r;  // the red part stands for the grey
    return;
  }
  const std::vector<RGBQUAD> table = h->ColorTable();
  const auto distance = [&](size_t i) {
    const int dr = table[i].rgbRed - r, dg = table[i].rgbGreen - g, db = table[i].rgbBlue - b;
    return dr * dr + dg * dg + db * db;
  };
  uint32_t index = 0;
  if (h->ColorType() == ctGrayscale && h->BitDepth() == 2) {
    // Only the four levels a 2-bit sample has, stored as 5 x v.
    for (uint32_t v = 1; v < 4; ++v)
      if (5 * v < table.size() && distance(5 * v) < distance(index)) index = 5 * v;
  } else {
    index = GetNearestPaletteIndex(h->ImagePalette(), c);
    if (index >= table.size()) {
      // The palette holds more entries than the storage can index: the nearest the storage can.
      index = 0;
      for (uint32_t i = 1; i < table.size(); ++i)
        if (distance(i) < distance(index)) index = i;
    }
  }
  SetPackedSample(row, x, h->StorageBits(), index);
}
