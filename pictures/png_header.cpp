#include "pictures/png_header.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/core/ie_image_size_gate.h"
#include "imaging/io/codecs/png_idat_walk.h"
#include "pictures/png_errors.h"
#include "platform/system/streams.h"

namespace {

bool ValidColorTypeAndDepth(uint8_t colorType, uint8_t depth) {
  const bool type = colorType == ctGrayscale || colorType == ctRGB || colorType == ctPalette ||
                    colorType == ctGrayscaleAlpha || colorType == ctRGBAlpha;
  const bool bits = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
  return type && bits;
}

int32_t Channels(uint8_t colorType) {
  switch (colorType) {
    case ctRGB: return 3;
    case ctGrayscaleAlpha: return 2;
    case ctRGBAlpha: return 4;
    default: return 1;
  }
}

std::vector<PALETTEENTRY> PaletteEntries(HPALETTE palette) {
  const uint32_t n = GetPaletteEntries(palette, 0, 0, nullptr);
  std::vector<PALETTEENTRY> e(n);
  if (n) GetPaletteEntries(palette, 0, n, e.data());
  return e;
}

}  // namespace

TChunkIHDR::TChunkIHDR(TPNGChunkOwner* owner) : TChunk(owner) {}

TChunkIHDR::~TChunkIHDR() { FreeImageData(); }

std::unique_ptr<TChunk> TChunkIHDR::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunkIHDR>(owner); }

int32_t TChunkIHDR::StorageBitsFor(uint8_t colorType, uint8_t bitDepth) {
  if (colorType == ctRGB || colorType == ctRGBAlpha) return 24;
  switch (bitDepth) {
    case 1: return 1;
    case 2: case 4: return 4;
    default: return 8;
  }
}

void TChunkIHDR::SetFields(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType,
                           uint8_t interlaceMethod) {
  width_ = width;
  height_ = height;
  bitDepth_ = bitDepth;
  colorType_ = colorType;
  compressionMethod_ = 0;
  filterMethod_ = 0;
  interlaceMethod_ = interlaceMethod;
}

void TChunkIHDR::FreeImageData() {
  if (Owner() && imageDC_ && Owner()->ImageCanvas()->HandleAllocated() && Owner()->ImageCanvas()->Handle() == imageDC_)
    Owner()->ImageCanvas()->SetHandle(nullptr);
  if (imageDC_) {
    if (oldBitmap_) SelectObject(imageDC_, oldBitmap_);
    DeleteDC(imageDC_);
  }
  if (imageHandle_) DeleteObject(imageHandle_);
  if (imagePalette_) DeleteObject(imagePalette_);
  imageDC_ = nullptr;
  imageHandle_ = nullptr;
  oldBitmap_ = nullptr;
  imagePalette_ = nullptr;
  bits_ = nullptr;
  storageBits_ = 0;
  bytesPerRow_ = 0;
  alpha_ = std::vector<uint8_t>();
  low_ = std::vector<uint8_t>();
}

HPALETTE TChunkIHDR::StartPalette() const {
  const int32_t entries = 1 << storageBits_;
  std::vector<PALETTEENTRY> e(static_cast<size_t>(entries));
  if (colorType_ == ctPalette) {
    // The system's halftone palette until the file's palette arrives.
    HPALETTE halftone = CreateHalftonePalette(nullptr);
    std::vector<PALETTEENTRY> h = PaletteEntries(halftone);
    DeleteObject(halftone);
    for (size_t i = 0; i < e.size() && i < h.size(); ++i) e[i] = h[i];
  } else {
    // A grey ramp over the storage's values (so 2-bit samples, kept as 5 x v at 4 bits, show
    // 0, 85, 170 and 255).
    const uint8_t* gamma = Owner() ? Owner()->GammaTable() : nullptr;
    for (int32_t i = 0; i < entries; ++i) {
      const int32_t level = entries > 1 ? i * 255 / (entries - 1) : 0;
      const uint8_t v = gamma ? gamma[level] : static_cast<uint8_t>(level);
      e[static_cast<size_t>(i)] = {v, v, v, 0};
    }
  }
  return CreatePaletteFromEntries(e.data(), static_cast<uint32_t>(entries));
}

void TChunkIHDR::PrepareImageData() {
  FreeImageData();
  storageBits_ = StorageBitsFor(colorType_, bitDepth_);
  bytesPerRow_ = DibRowBytes(static_cast<int32_t>(width_), storageBits_);
  const auto fail = [this] {
    FreeImageData();
    throw EPNGOutMemory(pngtext::kOutMemory);
  };
  if (width_ < 1 || height_ < 1 || width_ > 0x7FFFFFFF || height_ > 0x7FFFFFFF) fail();
  imageDC_ = CreateCompatibleDC(nullptr);
  if (!imageDC_) fail();
  std::vector<uint8_t> infoBytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(infoBytes.data());
  info->bmiHeader = BITMAPINFOHEADER{};
  info->bmiHeader.biWidth = static_cast<int32_t>(width_);
  info->bmiHeader.biHeight = static_cast<int32_t>(height_);  // rows bottom-up
  info->bmiHeader.biBitCount = static_cast<uint16_t>(storageBits_);
  if (storageBits_ <= 8) {
    imagePalette_ = StartPalette();
    if (!imagePalette_) fail();
    const int32_t entries = 1 << storageBits_;
    std::vector<PALETTEENTRY> e = PaletteEntries(imagePalette_);
    for (int32_t i = 0; i < entries && i < static_cast<int32_t>(e.size()); ++i)
      info->bmiColors[i] = {e[static_cast<size_t>(i)].peBlue, e[static_cast<size_t>(i)].peGreen,
                            e[static_cast<size_t>(i)].peRed, 0};
    info->bmiHeader.biClrUsed = static_cast<uint32_t>(entries);
  }
  void* bits = nullptr;
  imageHandle_ = CreateDIBSection(imageDC_, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!imageHandle_ || !bits) fail();
  bits_ = static_cast<uint8_t*>(bits);
  oldBitmap_ = SelectObject(imageDC_, imageHandle_);
  if (imagePalette_) {
    SelectPalette(imageDC_, imagePalette_, false);
    RealizePalette(imageDC_);
  }
  try {
    const size_t pixels = static_cast<size_t>(width_) * height_;
    if (colorType_ == ctGrayscaleAlpha || colorType_ == ctRGBAlpha) alpha_.assign(pixels, 0);
    if (bitDepth_ == 16) low_.assign(static_cast<size_t>(bytesPerRow_) * height_, 0);
  } catch (const std::bad_alloc&) {
    fail();
  } catch (const std::length_error&) {
    fail();
  }
  if (Owner()) Owner()->ImageCanvas()->SetHandle(imageDC_);
}

std::vector<RGBQUAD> TChunkIHDR::ColorTable() const {
  if (!imageDC_ || storageBits_ > 8) return {};
  std::vector<RGBQUAD> table(static_cast<size_t>(1) << storageBits_);
  const uint32_t n = GetDIBColorTable(imageDC_, 0, static_cast<uint32_t>(table.size()), table.data());
  table.resize(n);
  return table;
}

void TChunkIHDR::RefillColorTable() {
  if (!imageDC_ || !imagePalette_ || storageBits_ > 8) return;
  std::vector<PALETTEENTRY> e = PaletteEntries(imagePalette_);
  const size_t n = std::min<size_t>(e.size(), size_t{1} << storageBits_);
  std::vector<RGBQUAD> q(n);
  for (size_t i = 0; i < n; ++i) q[i] = {e[i].peBlue, e[i].peGreen, e[i].peRed, 0};
  if (n) SetDIBColorTable(imageDC_, 0, static_cast<uint32_t>(n), q.data());
}

void TChunkIHDR::SetImagePalette(HPALETTE palette) {
  if (!imagePalette_ || !palette) return;
  std::vector<PALETTEENTRY> e = PaletteEntries(palette);
  if (e.empty()) return;
  HPALETTE copy = CreatePaletteFromEntries(e.data(), static_cast<uint32_t>(e.size()));
  if (!copy) return;
  SelectPalette(imageDC_, copy, false);
  RealizePalette(imageDC_);
  DeleteObject(imagePalette_);
  imagePalette_ = copy;
  RefillColorTable();
}

bool TChunkIHDR::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  ReadDataAndCheck(stream, name, size);
  if (size < 13) throw EPngInvalidIHDR(pngtext::kInvalidIHDR);
  width_ = ReadBE32(data_.data());
  height_ = ReadBE32(data_.data() + 4);
  bitDepth_ = data_[8];
  colorType_ = data_[9];
  compressionMethod_ = data_[10];
  filterMethod_ = data_[11];
  interlaceMethod_ = data_[12];
  if (width_ == 0 || height_ == 0) throw EPngInvalidIHDR(pngtext::kInvalidIHDR);
  if (width_ > 65535 || height_ > 65535) throw EPNGSizeExceeds(pngtext::kSizeExceeds);
  if (compressionMethod_ != 0) throw EPNGUnknownCompression(pngtext::kUnknownCompression);
  if (interlaceMethod_ > 1) throw EPNGUnknownInterlace(pngtext::kUnknownInterlace);
  // The storage has a layout only for the standard's colour types and depths.
  if (!ValidColorTypeAndDepth(colorType_, bitDepth_)) throw EPngInvalidIHDR(pngtext::kInvalidIHDR);
  if (Owner()) Owner()->SetInterlaceKind(interlaceMethod_);
  // Before anything is allocated: could the image data this file holds describe the image at all?
  TIEImageData data;
  data.Bytes = PNGIdatBytesPresent(stream);
  data.BitsPerPixel = Channels(colorType_) * bitDepth_;
  data.MaxPixelsPerByte = std::max<int64_t>(1, kDeflateMaxRatio * 8 / data.BitsPerPixel);
  if (!IEImageSizePlausible(width_, height_, data)) throw EPNGOutMemory(pngtext::kOutMemory);
  PrepareImageData();
  return true;
}

bool TChunkIHDR::SaveToStream(TStream& stream) {
  // The storage holds 2-bit samples at 4 bits, and so does every file written from it (a grey
  // image's transparent grey was kept as stored when it loaded).
  if (bitDepth_ == 2) bitDepth_ = 4;
  data_.assign(13, 0);
  WriteBE32(data_.data(), width_);
  WriteBE32(data_.data() + 4, height_);
  data_[8] = bitDepth_;
  data_[9] = colorType_;
  data_[10] = compressionMethod_;
  data_[11] = filterMethod_;
  data_[12] = Owner() ? Owner()->InterlaceKind() : interlaceMethod_;
  WriteChunk(stream);
  return true;
}

void TChunkIHDR::Assign(TChunk* source) {
  CheckCompatible(source);
  auto* src = static_cast<TChunkIHDR*>(source);
  TChunk::Assign(source);
  SetFields(src->width_, src->height_, src->bitDepth_, src->colorType_, src->interlaceMethod_);
  compressionMethod_ = src->compressionMethod_;
  filterMethod_ = src->filterMethod_;
  if (!src->HasStorage()) {
    FreeImageData();
    return;
  }
  PrepareImageData();
  std::memcpy(bits_, src->bits_, static_cast<size_t>(bytesPerRow_) * height_);
  alpha_ = src->alpha_;
  low_ = src->low_;
  if (imagePalette_ && src->imagePalette_) SetImagePalette(src->imagePalette_);
  // The colour table as the source has it (it may differ from its palette after direct changes).
  std::vector<RGBQUAD> table = src->ColorTable();
  if (!table.empty()) SetDIBColorTable(imageDC_, 0, static_cast<uint32_t>(table.size()), table.data());
}

void TChunkIHDR::ResizeStorage(uint32_t width, uint32_t height) {
  if (!HasStorage()) return;
  // The old storage is kept aside until the new one stands.
  const uint32_t oldW = width_, oldH = height_;
  const int32_t oldRow = bytesPerRow_;
  std::vector<uint8_t> oldBits(bits_, bits_ + static_cast<size_t>(oldRow) * oldH);
  std::vector<uint8_t> oldAlpha = alpha_, oldLow = low_;
  std::vector<RGBQUAD> table = ColorTable();
  std::vector<PALETTEENTRY> palette = imagePalette_ ? PaletteEntries(imagePalette_) : std::vector<PALETTEENTRY>();
  width_ = width;
  height_ = height;
  try {
    PrepareImageData();
  } catch (...) {
    width_ = oldW;
    height_ = oldH;
    PrepareImageData();
    std::memcpy(bits_, oldBits.data(), oldBits.size());
    alpha_ = std::move(oldAlpha);
    low_ = std::move(oldLow);
    throw;
  }
  if (!palette.empty()) {
    HPALETTE p = CreatePaletteFromEntries(palette.data(), static_cast<uint32_t>(palette.size()));
    SetImagePalette(p);
    DeleteObject(p);
  }
  if (!table.empty()) SetDIBColorTable(imageDC_, 0, static_cast<uint32_t>(table.size()), table.data());
  const uint32_t rows = std::min(oldH, height);
  const size_t rowCopy = static_cast<size_t>(std::min(oldRow, bytesPerRow_));
  // Bits of the copied bytes past the old width (row padding) belong to new pixels, which are 0.
  const int64_t keptBits = static_cast<int64_t>(std::min(oldW, width)) * storageBits_;
  const auto clearTail = [&](uint8_t* row) {
    for (int64_t bit = keptBits; bit < static_cast<int64_t>(rowCopy) * 8; ++bit)
      row[bit >> 3] &= static_cast<uint8_t>(~(0x80u >> (bit & 7)));
  };
  for (uint32_t y = 0; y < rows; ++y) {
    // Rows counted from the top; both storages are bottom-up.
    uint8_t* row = StorageRow(static_cast<int32_t>(y));
    std::memcpy(row, oldBits.data() + static_cast<size_t>(oldH - 1 - y) * oldRow, rowCopy);
    clearTail(row);
    if (!low_.empty() && !oldLow.empty()) {
      uint8_t* lowRow = LowByteRow(static_cast<int32_t>(y));
      std::memcpy(lowRow, oldLow.data() + static_cast<size_t>(oldH - 1 - y) * oldRow, rowCopy);
      clearTail(lowRow);
    }
  }
  if (!alpha_.empty()) {
    std::fill(alpha_.begin(), alpha_.end(), 255);  // new area opaque
    const size_t alphaCopy = std::min(oldW, width);
    for (uint32_t y = 0; y < rows && !oldAlpha.empty(); ++y)
      std::memcpy(alpha_.data() + static_cast<size_t>(y) * width, oldAlpha.data() + static_cast<size_t>(y) * oldW, alphaCopy);
  }
}
