// Bitmaps: device-dependent bitmaps, DIB sections, reading and writing DIB rows, colour tables
// and packed DIBs.
#include <cstring>
#include <new>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/packed_dib.h"

namespace {

// Largest pixel block a bitmap may have (the GDI's own limit is of this order).
constexpr uint64_t kMaxBitmapBytes = uint64_t{1} << 32;

bool ValidDepth(int32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::vector<RGBQUAD> DefaultColors(int32_t bits) {
  switch (bits) {
    case 1:
      return MonochromeColors();
    case 4:
      return Vga16Colors();
    case 8:
      return HalftoneColors();
    default:
      return {};
  }
}

// Reads the masks of a BI_BITFIELDS header: inside a V4/V5 header, else right after the header.
void ReadMasks(const BITMAPINFO* info, uint32_t* masks) {
  const uint8_t* base = reinterpret_cast<const uint8_t*>(info) + 40;
  std::memcpy(masks, base, 12);
}

HBITMAP__* Bmp(HBITMAP h) { return Lookup<HBITMAP__>(h, GdiKind::kBitmap); }

// Fills a header (and the colour table when info has room) describing rows of `bits` depth.
void DescribeDib(BITMAPINFO* info, int32_t width, int32_t height, int32_t bits, const std::vector<RGBQUAD>& colors,
                 const uint32_t* masks, bool writeColors) {
  BITMAPINFOHEADER& h = info->bmiHeader;
  const bool topDown = h.biHeight < 0;
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = topDown ? -height : height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bits);
  if (h.biCompression != BI_BITFIELDS || (bits != 16 && bits != 32)) h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<uint32_t>(DibRowBytes(width, bits)) * static_cast<uint32_t>(height);
  h.biClrUsed = 0;
  h.biClrImportant = 0;
  if (!writeColors) return;
  if (bits <= 8) {
    std::vector<RGBQUAD> table = colors.empty() ? DefaultColors(bits) : colors;
    table.resize(size_t{1} << bits);
    std::memcpy(info->bmiColors, table.data(), table.size() * sizeof(RGBQUAD));
  } else if (h.biCompression == BI_BITFIELDS && masks) {
    std::memcpy(static_cast<void*>(info->bmiColors), masks, 12);
  }
}

}  // namespace

bool SameFormat(const PixelRows& a, const PixelRows& b) {
  if (a.bitCount != b.bitCount) return false;
  if (a.bitCount <= 8) {
    if (a.colors.size() != b.colors.size()) return false;
    for (size_t i = 0; i < a.colors.size(); ++i)
      if (std::memcmp(&a.colors[i], &b.colors[i], 3) != 0) return false;
    return true;
  }
  return a.bitCount == 24 || (a.masks[0] == b.masks[0] && a.masks[1] == b.masks[1] && a.masks[2] == b.masks[2]);
}

void ConvertRows(const PixelRows& src, int32_t sx, int32_t sy, const PixelRows& dst, int32_t dx, int32_t dy,
                 int32_t w, int32_t h) {
  if (w <= 0 || h <= 0) return;
  std::vector<uint32_t> buf(static_cast<size_t>(w));
  if (SameFormat(src, dst)) {
    if (src.bitCount >= 8) {
      const size_t bpp = static_cast<size_t>(src.bitCount / 8);
      for (int32_t y = 0; y < h; ++y)
        std::memmove(dst.Row(dy + y) + dx * bpp, src.Row(sy + y) + sx * bpp, static_cast<size_t>(w) * bpp);
      if (dst.bitCount == 32 && dst.alphaFill)
        for (int32_t y = 0; y < h; ++y) {
          uint32_t* p = reinterpret_cast<uint32_t*>(dst.Row(dy + y)) + dx;
          for (int32_t x = 0; x < w; ++x) p[x] |= dst.alphaFill;
        }
      return;
    }
    for (int32_t y = 0; y < h; ++y) {
      ReadPhys(src, sy + y, sx, w, buf.data());
      WritePhys(dst, dy + y, dx, w, buf.data());
    }
    return;
  }
  ColorMatcher matcher(dst.colors);
  for (int32_t y = 0; y < h; ++y) {
    ReadRgb(src, sy + y, sx, w, buf.data());
    RgbToPhysRow(dst, buf.data(), w, buf.data(), matcher);
    WritePhys(dst, dy + y, dx, w, buf.data());
  }
}

HBITMAP__* NewBitmapObject(int32_t width, int32_t height, int32_t bitCount, bool dib, bool topDown,
                           const std::vector<RGBQUAD>& colors, const uint32_t* masks) {
  if (width <= 0 || height <= 0 || !ValidDepth(bitCount)) return nullptr;
  const uint64_t rowBytes = static_cast<uint64_t>(DibRowBytes(width, bitCount));
  const uint64_t total = rowBytes * static_cast<uint64_t>(height);
  if (rowBytes > INT32_MAX || total > kMaxBitmapBytes) return nullptr;
  auto b = std::make_unique<HBITMAP__>();
  b->storage.reset(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(total), 1)));
  if (!b->storage) return nullptr;
  b->storageSize = static_cast<size_t>(total);
  b->block = b->storage.get();
  b->dib = dib;
  PixelRows& r = b->rows;
  r.width = width;
  r.height = height;
  r.bitCount = bitCount;
  r.stride = topDown ? static_cast<ptrdiff_t>(rowBytes) : -static_cast<ptrdiff_t>(rowBytes);
  r.row0 = topDown ? b->block : b->block + (static_cast<size_t>(height) - 1) * rowBytes;
  if (bitCount <= 8) {
    r.colors = colors.empty() ? DefaultColors(bitCount) : colors;
    r.colors.resize(std::min<size_t>(r.colors.size(), size_t{1} << bitCount));
  }
  if (masks) std::memcpy(r.masks, masks, sizeof r.masks);
  r.DefaultMasks();
  BITMAPINFOHEADER& hd = b->header;
  hd.biWidth = width;
  hd.biHeight = topDown ? -height : height;
  hd.biBitCount = static_cast<uint16_t>(bitCount);
  hd.biCompression = (masks && (bitCount == 16 || bitCount == 32)) ? BI_BITFIELDS : BI_RGB;
  hd.biSizeImage = static_cast<uint32_t>(total);
  hd.biClrUsed = bitCount <= 8 ? static_cast<uint32_t>(r.colors.size()) : 0;
  return RegisterGdi(std::move(b));
}

uint32_t DibColorTableSize(const BITMAPINFOHEADER& h) {
  if (h.biBitCount <= 8) {
    const uint32_t full = 1u << h.biBitCount;
    return (h.biClrUsed == 0 || h.biClrUsed > full) ? full : h.biClrUsed;
  }
  if (h.biCompression == BI_BITFIELDS && h.biSize == 40) return 3;
  return h.biClrUsed;
}

bool DibRowsFromInfo(const BITMAPINFO* info, const void* bits, PixelRows& out) {
  if (!info || !bits) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < 40 || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN || !ValidDepth(h.biBitCount))
    return false;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32)))
    return false;
  const int32_t height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const int64_t rowBytes = DibRowBytes(h.biWidth, h.biBitCount);
  if (rowBytes > INT32_MAX || static_cast<uint64_t>(rowBytes) * height > kMaxBitmapBytes) return false;
  out = PixelRows{};
  out.width = h.biWidth;
  out.height = height;
  out.bitCount = h.biBitCount;
  uint8_t* base = static_cast<uint8_t*>(const_cast<void*>(bits));
  if (h.biHeight < 0) {
    out.row0 = base;
    out.stride = static_cast<ptrdiff_t>(rowBytes);
  } else {
    out.row0 = base + static_cast<ptrdiff_t>(rowBytes) * (height - 1);
    out.stride = -static_cast<ptrdiff_t>(rowBytes);
  }
  const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(info) + h.biSize);
  if (h.biBitCount <= 8) {
    out.colors.assign(table, table + DibColorTableSize(h));
  } else if (h.biCompression == BI_BITFIELDS) {
    ReadMasks(info, out.masks);
    if (!out.masks[0] && !out.masks[1] && !out.masks[2]) return false;
  }
  out.DefaultMasks();
  return true;
}

// ---- Creation -------------------------------------------------------------------------------------

HBITMAP CreateBitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bitCount, const void* bits) {
  if (planes != 1 || !ValidDepth(static_cast<int32_t>(bitCount))) return nullptr;
  const bool mono = bitCount == 1;
  HBITMAP__* b = NewBitmapObject(width, height, mono ? 1 : 32, false, true, {}, nullptr);
  if (!b) return nullptr;
  b->rows.monoDDB = mono;
  if (bits) {
    // The caller's rows are padded to 16 bits, top row first.
    PixelRows src;
    src.row0 = static_cast<uint8_t*>(const_cast<void*>(bits));
    src.width = width;
    src.height = height;
    src.bitCount = static_cast<int32_t>(bitCount);
    src.stride = ((static_cast<ptrdiff_t>(width) * bitCount + 15) / 16) * 2;
    src.colors = DefaultColors(src.bitCount);
    src.DefaultMasks();
    ConvertRows(src, 0, 0, b->rows, 0, 0, width, height);
  }
  return b;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int32_t width, int32_t height) {
  HDC__* d = LookupDC(dc);
  PixelRows* t = d ? d->Target() : nullptr;
  // A memory DC holding a monochrome bitmap (its initial one) makes monochrome bitmaps.
  const bool mono = t && t->bitCount == 1 && t->monoDDB && !d->surfaceDC;
  return CreateBitmap(width, height, 1, mono ? 1 : 32, nullptr);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, uint32_t, void** bits, void*, uint32_t) {
  if (bits) *bits = nullptr;
  if (!info) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  PixelRows probe;
  // Validate the header with a dummy bits pointer; the rows are our own.
  static uint8_t dummy;
  if (!DibRowsFromInfo(info, &dummy, probe)) return nullptr;
  uint32_t masks[3] = {0, 0, 0};
  const bool bitfields = h.biCompression == BI_BITFIELDS;
  if (bitfields) std::memcpy(masks, probe.masks, sizeof masks);
  HBITMAP__* b = NewBitmapObject(probe.width, probe.height, probe.bitCount, true, h.biHeight < 0, probe.colors,
                                 bitfields ? masks : nullptr);
  if (!b) return nullptr;
  b->header.biXPelsPerMeter = h.biXPelsPerMeter;
  b->header.biYPelsPerMeter = h.biYPelsPerMeter;
  if (bits) *bits = b->block;
  return b;
}

uint32_t GetDIBColorTable(HDC dc, uint32_t start, uint32_t count, RGBQUAD* colors) {
  HDC__* d = LookupDC(dc);
  PixelRows* t = d ? d->Target() : nullptr;
  if (!t || t->bitCount > 8 || !colors) return 0;
  uint32_t n = 0;
  for (; n < count && start + n < t->colors.size(); ++n) colors[n] = t->colors[start + n];
  return n;
}

uint32_t SetDIBColorTable(HDC dc, uint32_t start, uint32_t count, const RGBQUAD* colors) {
  HDC__* d = LookupDC(dc);
  PixelRows* t = d ? d->Target() : nullptr;
  if (!t || t->bitCount > 8 || !colors || (d->bitmap && d->bitmap->stock)) return 0;
  const uint32_t full = 1u << t->bitCount;
  if (start >= full) return 0;
  if (t->colors.size() < std::min(full, start + count)) t->colors.resize(std::min(full, start + count));
  uint32_t n = 0;
  for (; n < count && start + n < full; ++n) t->colors[start + n] = colors[n];
  return n;
}

// ---- Reading and writing rows ----------------------------------------------------------------------

int32_t GetDIBits(HDC, HBITMAP bitmap, uint32_t start, uint32_t lines, void* bits, BITMAPINFO* info, uint32_t) {
  HBITMAP__* b = Bmp(bitmap);
  if (!b || !info || info->bmiHeader.biSize < 40) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  const PixelRows& src = b->rows;
  if (!bits) {
    // Header only: a zero depth asks for the bitmap's own format.
    const int32_t depth = h.biBitCount == 0 ? src.bitCount : h.biBitCount;
    if (!ValidDepth(depth)) return 0;
    const bool writeColors = h.biBitCount != 0;
    const bool own = depth == src.bitCount;
    DescribeDib(info, src.width, src.height, depth, own ? src.colors : std::vector<RGBQUAD>{}, src.masks,
                writeColors);
    return src.height;
  }
  PixelRows dst;
  if (!ValidDepth(h.biBitCount)) return 0;
  const int32_t depth = h.biBitCount;
  const bool own = depth == src.bitCount && depth <= 8;
  const uint32_t wantMasks[3] = {src.masks[0], src.masks[1], src.masks[2]};
  if (h.biCompression == BI_BITFIELDS && (depth == 16 || depth == 32)) {
    // Keep the caller's masks when given, else report ours.
    uint32_t given[3];
    ReadMasks(info, given);
    if (!(given[0] | given[1] | given[2])) std::memcpy(info->bmiColors, wantMasks, 12);
  }
  const int32_t width = h.biWidth > 0 ? h.biWidth : src.width;
  if (width != src.width) return 0;
  DescribeDib(info, src.width, src.height, depth, own ? src.colors : std::vector<RGBQUAD>{}, src.masks, true);
  if (!DibRowsFromInfo(info, bits, dst)) return 0;
  const bool topDown = h.biHeight < 0;
  int32_t copied = 0;
  for (uint32_t i = 0; i < lines; ++i) {
    const int64_t line = static_cast<int64_t>(start) + i;  // scan line counted as the header orders them
    if (line >= src.height) break;
    const int32_t y = topDown ? static_cast<int32_t>(line) : src.height - 1 - static_cast<int32_t>(line);
    // Rows beyond `lines` are not touched: the destination buffer holds only the asked lines,
    // counted from its own first row.
    PixelRows one = dst;
    one.height = 1;
    one.row0 = static_cast<uint8_t*>(bits) + static_cast<ptrdiff_t>(i) * DibRowBytes(width, depth);
    ConvertRows(src, 0, y, one, 0, 0, src.width, 1);
    ++copied;
  }
  return copied;
}

int32_t SetDIBits(HDC, HBITMAP bitmap, uint32_t start, uint32_t lines, const void* bits, const BITMAPINFO* info,
                  uint32_t) {
  HBITMAP__* b = Bmp(bitmap);
  PixelRows src;
  if (!b || b->stock || !DibRowsFromInfo(info, bits, src)) return 0;
  const bool topDown = info->bmiHeader.biHeight < 0;
  const int32_t w = std::min(src.width, b->rows.width);
  int32_t copied = 0;
  for (uint32_t i = 0; i < lines; ++i) {
    const int64_t line = static_cast<int64_t>(start) + i;
    if (line >= b->rows.height) break;
    const int32_t y = topDown ? static_cast<int32_t>(line) : b->rows.height - 1 - static_cast<int32_t>(line);
    PixelRows one = src;
    one.height = 1;
    one.row0 = static_cast<uint8_t*>(const_cast<void*>(bits)) +
               static_cast<ptrdiff_t>(i) * DibRowBytes(src.width, src.bitCount);
    ConvertRows(one, 0, 0, b->rows, 0, y, w, 1);
    ++copied;
  }
  return copied;
}

// ---- Packed DIBs ------------------------------------------------------------------------------------

namespace {

// The header and colour table of a DIB in `size` bytes at data, and where the rows would start
// after them; false for anything short or invalid.
bool CheckDibHeader(const void* data, size_t size, uint64_t& rowsOffset, uint64_t& rowsBytes) {
  if (!data || size < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER h;
  std::memcpy(&h, data, sizeof h);
  if (h.biSize < 40 || h.biSize > size) return false;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN || !ValidDepth(h.biBitCount)) return false;
  // Bit-field masks are read from byte 40: after a header of 40 bytes, inside a header of 52 and
  // more; a header in between would have them run past it.
  if (h.biCompression == BI_BITFIELDS && h.biSize > 40 && h.biSize < 52) return false;
  rowsOffset = h.biSize + static_cast<uint64_t>(DibColorTableSize(h)) * 4;
  if (rowsOffset > size) return false;
  const uint64_t height = static_cast<uint64_t>(h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight);
  rowsBytes = static_cast<uint64_t>(DibRowBytes(h.biWidth, h.biBitCount)) * height;
  return true;
}

}  // namespace

bool ParsePackedDIB(const void* data, size_t size, const BITMAPINFO** info, const void** bits) {
  uint64_t offset = 0, rowsBytes = 0;
  if (!CheckDibHeader(data, size, offset, rowsBytes) || rowsBytes > size - offset) return false;
  PixelRows probe;
  const BITMAPINFO* bi = static_cast<const BITMAPINFO*>(data);
  const void* px = static_cast<const uint8_t*>(data) + offset;
  if (!DibRowsFromInfo(bi, px, probe)) return false;
  if (info) *info = bi;
  if (bits) *bits = px;
  return true;
}

bool ParseSplitDIB(const void* data, size_t size, const void* bits, size_t bitsSize, const BITMAPINFO** info) {
  uint64_t offset = 0, rowsBytes = 0;
  if (!bits || !CheckDibHeader(data, size, offset, rowsBytes) || rowsBytes > bitsSize) return false;
  PixelRows probe;
  const BITMAPINFO* bi = static_cast<const BITMAPINFO*>(data);
  if (!DibRowsFromInfo(bi, bits, probe)) return false;
  if (info) *info = bi;
  return true;
}

std::vector<uint8_t> PackedDIBFromBitmap(HBITMAP bitmap, int32_t bitCount, bool topDown) {
  HBITMAP__* b = Bmp(bitmap);
  if (!b || !b->rows.Valid()) return {};
  const int32_t depth = bitCount == 0 ? b->rows.bitCount : bitCount;
  if (!ValidDepth(depth)) return {};
  const bool own = depth == b->rows.bitCount;
  // Rows of 16 or 32 bits in another layout than 5-5-5 / 8-8-8 carry their masks.
  const bool bitfields = own && (depth == 16 || depth == 32) &&
                         !(b->rows.masks[0] == (depth == 16 ? 0x7C00u : 0xFF0000u) &&
                           b->rows.masks[1] == (depth == 16 ? 0x03E0u : 0xFF00u) &&
                           b->rows.masks[2] == (depth == 16 ? 0x1Fu : 0xFFu));
  const uint32_t colors = depth <= 8 ? (1u << depth) : 0;
  const size_t headerBytes = 40 + colors * 4 + (bitfields ? 12 : 0);
  const size_t rowBytes = static_cast<size_t>(DibRowBytes(b->rows.width, depth));
  std::vector<uint8_t> out(headerBytes + rowBytes * b->rows.height);
  BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(out.data());
  info->bmiHeader = BITMAPINFOHEADER{};
  info->bmiHeader.biHeight = topDown ? -1 : 1;
  if (bitfields) info->bmiHeader.biCompression = BI_BITFIELDS;
  DescribeDib(info, b->rows.width, b->rows.height, depth, own ? b->rows.colors : std::vector<RGBQUAD>{},
              b->rows.masks, true);
  info->bmiHeader.biClrUsed = colors;
  info->bmiHeader.biXPelsPerMeter = b->header.biXPelsPerMeter;
  info->bmiHeader.biYPelsPerMeter = b->header.biYPelsPerMeter;
  PixelRows dst;
  if (!DibRowsFromInfo(info, out.data() + headerBytes, dst)) return {};
  ConvertRows(b->rows, 0, 0, dst, 0, 0, b->rows.width, b->rows.height);
  return out;
}

HBITMAP BitmapFromPackedDIB(const void* data, size_t size) {
  const BITMAPINFO* info = nullptr;
  const void* bits = nullptr;
  if (!ParsePackedDIB(data, size, &info, &bits)) return nullptr;
  PixelRows src;
  if (!DibRowsFromInfo(info, bits, src)) return nullptr;
  const bool bitfields = info->bmiHeader.biCompression == BI_BITFIELDS;
  HBITMAP__* b = NewBitmapObject(src.width, src.height, src.bitCount, true, false, src.colors,
                                 bitfields ? src.masks : nullptr);
  if (!b) return nullptr;
  ConvertRows(src, 0, 0, b->rows, 0, 0, src.width, src.height);
  b->header.biXPelsPerMeter = info->bmiHeader.biXPelsPerMeter;
  b->header.biYPelsPerMeter = info->bmiHeader.biYPelsPerMeter;
  return b;
}
