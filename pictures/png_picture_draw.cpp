// TPNGObject: drawing on a canvas (stretched, colour-keyed or blended pixel by pixel), copying, and
// the conversions to and from framework bitmaps and the clipboard.
#include <algorithm>
#include <cstring>
#include <vector>

#include "pictures/png_ancillary.h"
#include "pictures/png_header.h"
#include "pictures/png_image_data.h"
#include "pictures/png_picture.h"
#include "pictures/png_samples.h"

namespace {

// A 32-bit top-down DIB section in its own memory DC, freed with the object.
class TWorkBitmap {
 public:
  TWorkBitmap(HDC compatible, int32_t width, int32_t height) {
    dc_ = CreateCompatibleDC(compatible);
    BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    if (dc_) bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc_ || !bitmap_ || !bits) {
      Free();
      throw EPNGOutMemory(pngtext::kOutMemory);
    }
    bits_ = static_cast<uint8_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~TWorkBitmap() { Free(); }
  TWorkBitmap(const TWorkBitmap&) = delete;
  TWorkBitmap& operator=(const TWorkBitmap&) = delete;
  HDC DC() const { return dc_; }
  uint8_t* Row(int32_t y, int32_t width) const { return bits_ + static_cast<size_t>(y) * width * 4; }

 private:
  void Free() {
    if (dc_ && old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    old_ = nullptr;
  }
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint8_t* bits_ = nullptr;
};

// (alpha x source + (255 - alpha) x background + 255) div 256.
inline uint8_t Blend(uint32_t alpha, uint32_t source, uint32_t background) {
  return static_cast<uint8_t>((alpha * source + (255 - alpha) * background + 255) >> 8);
}

}  // namespace

void TPNGObject::Draw(TCanvas* canvas, const TRect& rect) {
  TChunkIHDR* h = HeaderOrNull();
  if (!canvas || !h || !h->HasStorage()) return;
  const int32_t w = static_cast<int32_t>(h->Width()), ht = static_cast<int32_t>(h->Height());
  switch (TransparencyKind()) {
    case 0: {
      HDC dst = canvas->Handle();
      const int32_t old = SetStretchBltMode(dst, COLORONCOLOR);
      StretchBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), h->ImageDC(), 0, 0, w, ht, SRCCOPY);
      SetStretchBltMode(dst, old);
      break;
    }
    case 1:
      TransparentBlt(canvas->Handle(), rect.Left, rect.Top, rect.Width(), rect.Height(), h->ImageDC(), 0, 0, w, ht,
                     static_cast<COLORREF>(TransparentColour()) & 0xFFFFFF);
      break;
    default:
      DrawPartialTransparent(canvas, rect);
      break;
  }
}

void TPNGObject::DrawPartialTransparent(TCanvas* canvas, TRect rect) {
  if (rect.Left > rect.Right) std::swap(rect.Left, rect.Right);
  if (rect.Top > rect.Bottom) std::swap(rect.Top, rect.Bottom);
  const int64_t w = rect.Width(), ht = rect.Height();
  if (w <= 0 || ht <= 0) return;
  TChunkIHDR* h = CurrentHeader();
  const int64_t srcW = h->Width(), srcH = h->Height();
  HDC dst = canvas->Handle();
  // Only the part of the rectangle the canvas can show is worked on (a picture stretched far past
  // the canvas costs no more than the canvas).
  TRect clip;
  if (GetClipBox(dst, &clip) == ERROR) clip = rect;
  TRect part;
  if (!IntersectRect(part, rect, clip)) return;
  const int32_t pw = part.Width(), ph = part.Height();
  // What lies under it now, blended with the picture, goes back in one piece.
  TWorkBitmap work(dst, pw, ph);
  BitBlt(work.DC(), 0, 0, pw, ph, dst, part.Left, part.Top, SRCCOPY);

  // Source pixel of each column and row: Trunc(x x width / w) from the rectangle's corner.
  std::vector<int32_t> columns(static_cast<size_t>(pw));
  for (int32_t x = 0; x < pw; ++x)
    columns[static_cast<size_t>(x)] = static_cast<int32_t>((part.Left - rect.Left + x) * srcW / w);
  const std::vector<RGBQUAD> table = h->ColorTable();
  // Colours and alphas by index for palette and grey images.
  RGBQUAD colors[256] = {};
  uint8_t alphas[256];
  std::memset(alphas, 255, sizeof alphas);
  const uint8_t type = h->ColorType();
  if (type == ctPalette) {
    // Only the entries the palette has; an index past them paints black.
    const TChunkPLTE* plte = chunkList_.ItemFromClass<TChunkPLTE>();
    const int32_t count = plte ? std::min<int32_t>(plte->Count(), 256) : 0;
    for (int32_t i = 0; i < count; ++i) {
      const PALETTEENTRY e = plte->Item(i);
      colors[i] = {e.peBlue, e.peGreen, e.peRed, 0};
    }
    if (const TChunktRNS* trns = chunkList_.ItemFromClass<TChunktRNS>())
      std::memcpy(alphas, trns->TransparentValues(), sizeof alphas);
  } else {
    for (size_t i = 0; i < table.size() && i < 256; ++i) colors[i] = table[i];
  }
  const int32_t bits = h->StorageBits();
  for (int32_t y = 0; y < ph; ++y) {
    const auto sy = static_cast<int32_t>((part.Top - rect.Top + y) * srcH / ht);
    const uint8_t* src = h->StorageRow(sy);
    const uint8_t* alpha = h->AlphaRow(sy);
    uint8_t* d = work.Row(y, pw);
    for (int32_t x = 0; x < pw; ++x, d += 4) {
      const int32_t sx = columns[static_cast<size_t>(x)];
      if (type == ctRGBAlpha) {
        const uint8_t a = alpha[sx];
        if (a == 0) continue;
        const uint8_t* s = src + 3 * sx;
        if (a == 255) {
          d[0] = s[0], d[1] = s[1], d[2] = s[2];
        } else {
          d[0] = Blend(a, s[0], d[0]);
          d[1] = Blend(a, s[1], d[1]);
          d[2] = Blend(a, s[2], d[2]);
        }
        continue;
      }
      // Palette images take the index's transparency, grey ones the alpha plane.
      const uint32_t index = bits == 8 ? src[sx] : PackedSample(src, sx, bits);
      const uint8_t a = type == ctGrayscaleAlpha ? alpha[sx] : alphas[index];
      const RGBQUAD& c = colors[index];
      d[0] = Blend(a, c.rgbBlue, d[0]);
      d[1] = Blend(a, c.rgbGreen, d[1]);
      d[2] = Blend(a, c.rgbRed, d[2]);
    }
  }
  BitBlt(dst, part.Left, part.Top, pw, ph, work.DC(), 0, 0, SRCCOPY);
}

// ------------------------------------------------------------------------------------------ assign

void TPNGObject::Assign(TPersistent* source) {
  if (!source) {
    ClearChunks();
    Changed();
    return;
  }
  if (auto* png = dynamic_cast<TPNGObject*>(source)) {
    if (png != this) AssignPNG(png);
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    AssignBitmap(bitmap);
    return;
  }
  TGraphic::Assign(source);
}

void TPNGObject::AssignTo(TPersistent* dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    AssignToBitmap(bitmap);
    return;
  }
  TGraphic::AssignTo(dest);
}

void TPNGObject::AssignPNG(TPNGObject* source) {
  ClearChunks();
  interlaceKind_ = source->interlaceKind_;
  idatChunkSize_ = std::max<uint32_t>(source->idatChunkSize_, 65535);
  deflateLevel_ = source->deflateLevel_;
  deflateStrategy_ = source->deflateStrategy_;
  rowFilters_ = source->rowFilters_;
  // The gamma tables go with the gAMA chunk they came from, so that the copy saves as the original.
  std::memcpy(gammaTable_, source->gammaTable_, sizeof gammaTable_);
  std::memcpy(inverseGamma_, source->inverseGamma_, sizeof inverseGamma_);
  for (int32_t i = 0; i < source->chunkList_.Count(); ++i) {
    TChunk* from = source->chunkList_.Item(i);
    TChunk* to = chunkList_.Add(from->CreateLike(this));
    to->Assign(from);
  }
  Changed();
}

void TPNGObject::AssignBitmap(TBitmap* source) {
  ClearChunks();
  ResetGamma();
  interlaceKind_ = 0;
  HBITMAP handle = source->Handle();
  if (source->Empty() || !handle) {
    Changed();
    return;
  }
  // The bitmap's own depth: below 16 bits a palette image of that depth, else 8-bit RGB.
  std::vector<uint8_t> infoBytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(infoBytes.data());
  info->bmiHeader = BITMAPINFOHEADER{};
  if (!GetDIBits(nullptr, handle, 0, 0, nullptr, info, DIB_RGB_COLORS)) throw EPNGOutMemory(pngtext::kOutMemory);
  const int32_t bits = info->bmiHeader.biBitCount;
  const bool palette = bits < 16;
  const uint32_t width = static_cast<uint32_t>(source->Width());
  const uint32_t height = static_cast<uint32_t>(std::abs(source->Height()));

  auto* header = static_cast<TChunkIHDR*>(chunkList_.Add(std::make_unique<TChunkIHDR>(this)));
  header->SetFields(width, height, static_cast<uint8_t>(palette ? bits : 8), palette ? ctPalette : ctRGB, 0);
  header->PrepareImageData();
  // The pixels in the storage's format, rows bottom-up as the storage keeps them.
  info->bmiHeader = BITMAPINFOHEADER{};
  info->bmiHeader.biWidth = static_cast<int32_t>(width);
  info->bmiHeader.biHeight = static_cast<int32_t>(height);
  info->bmiHeader.biBitCount = static_cast<uint16_t>(header->StorageBits());
  GetDIBits(nullptr, handle, 0, height, header->StorageRow(static_cast<int32_t>(height) - 1), info, DIB_RGB_COLORS);
  if (palette) {
    const int32_t entries = 1 << header->StorageBits();
    std::vector<PALETTEENTRY> colors(static_cast<size_t>(entries));
    for (int32_t i = 0; i < entries; ++i)
      colors[static_cast<size_t>(i)] = {info->bmiColors[i].rgbRed, info->bmiColors[i].rgbGreen, info->bmiColors[i].rgbBlue, 0};
    HPALETTE p = CreatePaletteFromEntries(colors.data(), static_cast<uint32_t>(entries));
    header->SetImagePalette(p);
    DeleteObject(p);
    chunkList_.Add(std::make_unique<TChunkPLTE>(this));
  }
  if (source->Transparent()) {
    auto* trns = static_cast<TChunktRNS*>(chunkList_.Add(std::make_unique<TChunktRNS>(this)));
    trns->SetTransparentColor(static_cast<TColor>(static_cast<uint32_t>(source->TransparentColor()) & 0xFFFFFF));
  }
  chunkList_.Add(std::make_unique<TChunkIDAT>(this));
  chunkList_.Add(std::make_unique<TChunkIEND>(this));
  Changed();
}

void TPNGObject::AssignToBitmap(TBitmap* dest) {
  TChunkIHDR* h = HeaderOrNull();
  if (!h || !h->HasStorage()) {
    dest->Assign(nullptr);
    return;
  }
  const uint8_t kind = TransparencyKind();
  const uint8_t type = h->ColorType(), depth = h->BitDepth();
  TPixelFormat format = pf24bit;
  if (kind == 2) format = pf24bit;
  else if (depth == 1) format = pf1bit;
  else if (depth == 2 || depth == 4) format = pf4bit;
  else if (type == ctPalette) format = pf8bit;
  dest->SetSize(0, 0);
  dest->SetPixelFormat(format);
  dest->SetSize(Width(), Height());
  if (format != pf24bit) {
    // The bitmap takes the picture's own colours, so that every index keeps its colour.
    const std::vector<RGBQUAD> table = h->ColorTable();
    dest->SetColorTable(table.data(), static_cast<int32_t>(table.size()));
  }
  const TRect r{0, 0, Width(), Height()};
  if (kind == 1) {
    // The pixels as they are, the transparent colour among them; the bitmap is then transparent in it.
    HDC dst = dest->Canvas()->Handle();
    const int32_t old = SetStretchBltMode(dst, COLORONCOLOR);
    StretchBlt(dst, 0, 0, r.Right, r.Bottom, h->ImageDC(), 0, 0, r.Right, r.Bottom, SRCCOPY);
    SetStretchBltMode(dst, old);
    dest->SetTransparentColor(TransparentColour());
    dest->SetTransparent(true);
  } else {
    Draw(dest->Canvas(), r);
  }
}

void TPNGObject::LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE palette) {
  TBitmap bitmap;
  bitmap.LoadFromClipboardFormat(format, data, palette);
  AssignBitmap(&bitmap);
}

void TPNGObject::SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette) {
  TBitmap bitmap;
  AssignToBitmap(&bitmap);
  bitmap.SaveToClipboardFormat(format, data, palette);
}
