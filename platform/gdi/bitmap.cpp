// TGraphic and TBitmap: the framework bitmap over a DIB section or a device bitmap, with pixel
// format changes that convert the pixels, size changes that keep them, .bmp streaming and
// bitmap resources.
#include "platform/gdi/bitmap.h"

#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/packed_dib.h"
#include "platform/system/memory.h"
#include "platform/system/streams.h"

// ---- TGraphic -------------------------------------------------------------------------------------

void TGraphic::SetSize(int32_t width, int32_t height) {
  SetWidth(width);
  SetHeight(height);
}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::SetModified(bool value) {
  if (value)
    Changed();
  else
    modified_ = false;
}

void TGraphic::Changed() {
  modified_ = true;
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg) {
  if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream s(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(s);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  // Written beside the target and renamed over it only when complete.
  TSafeFileStream s(fileName);
  SaveToStream(s);
  s.Commit();
}

void TGraphic::DrawTransparent(TCanvas* canvas, const TRect& rect, uint8_t) { Draw(canvas, rect); }

void TGraphic::AssignTo(TPersistent* dest) {
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (!bitmap) {
    TPersistent::AssignTo(dest);
    return;
  }
  // Drawn onto a bitmap of the picture's size.
  bitmap->SetSize(0, 0);
  bitmap->SetSize(Width(), Height());
  if (!bitmap->Empty()) {
    TRect r{0, 0, Width(), Height()};
    bitmap->Canvas()->Brush()->SetColor(clWhite);
    bitmap->Canvas()->FillRect(r);
    Draw(bitmap->Canvas(), r);
  }
}

void TGraphic::LoadFromClipboardFormat(uint32_t, HANDLE, HPALETTE) {
  throw EInvalidGraphic("Unsupported clipboard format");
}

void TGraphic::SaveToClipboardFormat(uint32_t&, HANDLE&, HPALETTE&) {
  throw EInvalidGraphic("Unsupported clipboard format");
}

// ---- Bitmap canvas ----------------------------------------------------------------------------------

class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* owner) : owner_(owner) {}
  ~TBitmapCanvas() override { FreeContext(); }
  void FreeContext() {
    if (!HandleAllocated()) return;
    HDC dc = Handle();
    SetHandle(nullptr);
    DeleteDC(dc);
  }

 protected:
  void CreateHandle() override {
    HDC dc = CreateCompatibleDC(nullptr);
    if (owner_->bitmap_) SelectObject(dc, owner_->bitmap_);
    SetHandle(dc);
  }

 private:
  TBitmap* owner_;
};

// ---- TBitmap ----------------------------------------------------------------------------------------

namespace {

HBITMAP__* Obj(HBITMAP h) { return Lookup<HBITMAP__>(h, GdiKind::kBitmap); }

int32_t FormatBits(TPixelFormat f) {
  switch (f) {
    case pf1bit:
      return 1;
    case pf4bit:
      return 4;
    case pf8bit:
      return 8;
    case pf15bit:
    case pf16bit:
      return 16;
    case pf24bit:
      return 24;
    default:
      return 32;
  }
}

// Fills every pixel of a block with one colour.
void FillBlock(const PixelRows& rows, const TRect& r, COLORREF color) {
  if (IsRectEmpty(r)) return;
  const uint32_t v = RgbToPhys(rows, ColorRefToRgb(color));
  std::vector<uint32_t> line(static_cast<size_t>(r.Width()), v);
  for (int32_t y = r.Top; y < r.Bottom; ++y) WritePhys(rows, y, r.Left, r.Width(), line.data());
}

std::mutex& ResourceLock() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::vector<uint8_t>>& Resources() {
  static auto* m = new std::map<std::string, std::vector<uint8_t>>();
  return *m;
}
std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::filesystem::path ProgramFolder() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::filesystem::current_path();
  buf[n] = 0;
  return std::filesystem::path(buf).parent_path();
}

// A bitmap from .bmp data (file header first); null when the data is not a valid bitmap.
HBITMAP BitmapFromBmp(const uint8_t* data, size_t size) {
  if (size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return nullptr;
  BITMAPFILEHEADER fh;
  std::memcpy(&fh, data, sizeof fh);
  if (fh.bfType != 0x4D42) return nullptr;
  const uint8_t* packed = data + sizeof fh;
  const size_t psize = size - sizeof fh;
  BITMAPINFOHEADER h;
  std::memcpy(&h, packed, sizeof h);
  if (h.biSize < 40 || h.biSize > psize) return nullptr;
  const uint64_t table = static_cast<uint64_t>(DibColorTableSize(h)) * 4;
  const uint64_t headerEnd = h.biSize + table;
  if (headerEnd > psize) return nullptr;
  // The rows start where the file header says, unless that points into the header.
  uint64_t bitsAt = headerEnd;
  if (fh.bfOffBits >= sizeof fh + headerEnd && fh.bfOffBits - sizeof fh < psize) bitsAt = fh.bfOffBits - sizeof fh;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return nullptr;
  const uint64_t height = static_cast<uint64_t>(h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight);
  const uint64_t need = static_cast<uint64_t>(DibRowBytes(h.biWidth, h.biBitCount)) * height;
  if (h.biBitCount == 0 || bitsAt + need > psize) return nullptr;
  // A contiguous header and table for the row reader (the input may be unaligned).
  std::vector<uint8_t> info(packed, packed + headerEnd);
  PixelRows src;
  if (!DibRowsFromInfo(reinterpret_cast<const BITMAPINFO*>(info.data()), packed + bitsAt, src)) return nullptr;
  const bool bitfields = h.biCompression == BI_BITFIELDS;
  HBITMAP__* b = NewBitmapObject(src.width, src.height, src.bitCount, true, false, src.colors,
                                 bitfields ? src.masks : nullptr);
  if (!b) return nullptr;
  ConvertRows(src, 0, 0, b->rows, 0, 0, src.width, src.height);
  b->header.biXPelsPerMeter = h.biXPelsPerMeter;
  b->header.biYPelsPerMeter = h.biYPelsPerMeter;
  return b;
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int32_t width, int32_t height) { SetSize(width, height); }

TBitmap::~TBitmap() {
  canvas_.reset();
  if (palette_) DeleteObject(palette_);
  if (bitmap_) DeleteObject(bitmap_);
}

bool TBitmap::Empty() const { return bitmap_ == nullptr; }

int32_t TBitmap::BitCount() const {
  if (HBITMAP__* b = Obj(bitmap_)) return b->rows.bitCount;
  if (monochrome_) return 1;
  return handleType_ == bmDDB ? 32 : FormatBits(format_);
}

int32_t TBitmap::RowBytes() const {
  HBITMAP__* b = Obj(bitmap_);
  return b ? static_cast<int32_t>(std::abs(b->rows.stride)) : 0;
}

HBITMAP TBitmap::Handle() const { return bitmap_; }

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    auto c = std::make_unique<TBitmapCanvas>(this);
    c->OnChange = [this](TObject*) { Changed(); };
    canvas_ = std::move(c);
  }
  return canvas_.get();
}

void TBitmap::Rebuild(int32_t width, int32_t height, int32_t bitCount, bool dib, bool monoDDB,
                      const std::vector<RGBQUAD>* colors) {
  HBITMAP__* old = Obj(bitmap_);
  std::vector<RGBQUAD> table;
  if (colors) {
    table = *colors;
  } else if (bitCount <= 8 && old && old->rows.bitCount == bitCount && !old->rows.monoDDB) {
    table = old->rows.colors;  // a bitmap keeps its colour table at the same depth
  }
  uint32_t masks[3] = {0, 0, 0};
  const uint32_t* maskArg = nullptr;
  if (bitCount == 16) {
    const bool five65 = format_ == pf16bit;
    masks[0] = five65 ? 0xF800 : 0x7C00;
    masks[1] = five65 ? 0x07E0 : 0x03E0;
    masks[2] = 0x001F;
    maskArg = masks;
  }
  HBITMAP__* b = NewBitmapObject(width, height, bitCount, dib, !dib, table, maskArg);
  if (!b) throw EOutOfResources("Not enough storage is available to process this command.");
  b->rows.monoDDB = monoDDB;
  if (monoDDB) b->rows.colors = MonochromeColors();
  if (bitCount == 16) b->header.biCompression = BI_BITFIELDS;
  // New pixels take the brush colour; the old ones keep their place at the top left.
  const COLORREF fill = ColorToRGB(canvas_ ? canvas_->Brush()->Color() : clWhite);
  const int32_t keepW = old ? std::min(width, old->rows.width) : 0, keepH = old ? std::min(height, old->rows.height) : 0;
  FillBlock(b->rows, {keepW, 0, width, height}, fill);
  FillBlock(b->rows, {0, keepH, keepW, height}, fill);
  if (old && keepW > 0 && keepH > 0) ConvertRows(old->rows, 0, 0, b->rows, 0, 0, keepW, keepH);
  HBITMAP previous = bitmap_;
  bitmap_ = b;
  width_ = width;
  height_ = height;
  handleType_ = dib ? bmDIB : bmDDB;
  if (canvas_ && canvas_->HandleAllocated()) SelectObject(canvas_->Handle(), bitmap_);
  if (previous) DeleteObject(previous);
  if (palette_) {
    DeleteObject(palette_);
    palette_ = nullptr;
  }
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (width == width_ && height == height_ && (bitmap_ || width == 0 || height == 0)) return;
  if (width == 0 || height == 0) {
    if (bitmap_) {
      HDC dc = canvas_ && canvas_->HandleAllocated() ? canvas_->Handle() : nullptr;
      if (dc) SelectObject(dc, reinterpret_cast<HBITMAP>(StockBitmap()));
      format_ = PixelFormat();
      monochrome_ = Monochrome();
      DeleteObject(bitmap_);
      bitmap_ = nullptr;
    }
    width_ = width;
    height_ = height;
    Changed();
    return;
  }
  HBITMAP__* old = Obj(bitmap_);
  const int32_t bits = BitCount();
  const bool dib = old ? old->dib : handleType_ == bmDIB;
  const bool mono = old ? old->rows.monoDDB : (monochrome_ && !dib);
  std::vector<RGBQUAD> table;
  const std::vector<RGBQUAD>* colors = nullptr;
  if (old && old->rows.bitCount <= 8) {
    table = old->rows.colors;
    colors = &table;
  }
  Rebuild(width, height, bits, dib, mono, colors);
  Changed();
}

TPixelFormat TBitmap::PixelFormat() const {
  HBITMAP__* b = Obj(bitmap_);
  if (!b) return monochrome_ ? pf1bit : format_;
  if (!b->dib) return pfDevice;
  switch (b->rows.bitCount) {
    case 1:
      return pf1bit;
    case 4:
      return pf4bit;
    case 8:
      return pf8bit;
    case 16:
      if (b->rows.masks[0] == 0x7C00 && b->rows.masks[1] == 0x03E0 && b->rows.masks[2] == 0x1F) return pf15bit;
      if (b->rows.masks[0] == 0xF800 && b->rows.masks[1] == 0x07E0 && b->rows.masks[2] == 0x1F) return pf16bit;
      return pfCustom;
    case 24:
      return pf24bit;
    case 32:
      if (b->rows.masks[0] == 0xFF0000 && b->rows.masks[1] == 0xFF00 && b->rows.masks[2] == 0xFF) return pf32bit;
      return pfCustom;
    default:
      return pfCustom;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pfCustom) throw EInvalidGraphicOperation("Invalid pixel format");
  HBITMAP__* old = Obj(bitmap_);
  if (!old) {
    format_ = format;
    handleType_ = format == pfDevice ? bmDDB : bmDIB;
    monochrome_ = format == pf1bit;
    return;
  }
  if (format == PixelFormat()) return;
  format_ = format;
  if (format == pfDevice) {
    const bool mono = old->rows.bitCount == 1;
    Rebuild(width_, height_, mono ? 1 : 32, false, mono, nullptr);
  } else {
    Rebuild(width_, height_, FormatBits(format), true, false, nullptr);
  }
  Changed();
}

bool TBitmap::Monochrome() const { return BitCount() == 1; }

void TBitmap::SetMonochrome(bool value) {
  HBITMAP__* old = Obj(bitmap_);
  if (!old) {
    monochrome_ = value;
    if (value) handleType_ = bmDDB;
    return;
  }
  if (value == (old->rows.bitCount == 1)) return;
  if (value)
    Rebuild(width_, height_, 1, false, true, nullptr);
  else
    Rebuild(width_, height_, 32, false, false, nullptr);
  Changed();
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
  HBITMAP__* old = Obj(bitmap_);
  if (!old) {
    handleType_ = type;
    return;
  }
  if ((type == bmDIB) == old->dib) return;
  const int32_t bits = old->rows.bitCount == 1 ? 1 : (type == bmDIB ? old->rows.bitCount : 32);
  if (type == bmDIB) {
    format_ = bits == 1 ? pf1bit : pf32bit;
    Rebuild(width_, height_, bits, true, false, nullptr);
  } else {
    Rebuild(width_, height_, bits, false, bits == 1, nullptr);
  }
  Changed();
}

uint8_t* TBitmap::ScanLine(int32_t y) {
  if (y < 0 || y >= height_ || !bitmap_) throw EInvalidGraphicOperation("Scan line index out of range");
  if (handleType_ == bmDDB) SetHandleType(bmDIB);
  return Obj(bitmap_)->rows.Row(y);
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap == bitmap_) return;
  HBITMAP__* b = Obj(bitmap);
  HDC dc = canvas_ && canvas_->HandleAllocated() ? canvas_->Handle() : nullptr;
  if (dc) SelectObject(dc, b ? bitmap : reinterpret_cast<HBITMAP>(StockBitmap()));
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = b ? bitmap : nullptr;
  width_ = b ? b->rows.width : 0;
  height_ = b ? b->rows.height : 0;
  handleType_ = (b && !b->dib) ? bmDDB : bmDIB;
  if (palette_) {
    DeleteObject(palette_);
    palette_ = nullptr;
  }
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  HBITMAP h = bitmap_;
  if (!h) return nullptr;
  HDC dc = canvas_ && canvas_->HandleAllocated() ? canvas_->Handle() : nullptr;
  if (dc) SelectObject(dc, reinterpret_cast<HBITMAP>(StockBitmap()));
  format_ = PixelFormat();
  bitmap_ = nullptr;
  width_ = height_ = 0;
  return h;
}

std::vector<RGBQUAD> TBitmap::ColorTable() const {
  HBITMAP__* b = Obj(bitmap_);
  if (!b || b->rows.bitCount > 8) return {};
  return b->rows.colors;
}

void TBitmap::SetColorTable(const RGBQUAD* colors, int32_t count) {
  HBITMAP__* b = Obj(bitmap_);
  if (!b || b->rows.bitCount > 8 || !colors || count <= 0) return;
  const int32_t full = 1 << b->rows.bitCount;
  const int32_t n = std::min(count, full);
  if (static_cast<int32_t>(b->rows.colors.size()) < n) b->rows.colors.resize(n);
  for (int32_t i = 0; i < n; ++i) b->rows.colors[i] = {colors[i].rgbBlue, colors[i].rgbGreen, colors[i].rgbRed, 0};
  b->header.biClrUsed = static_cast<uint32_t>(b->rows.colors.size());
  if (palette_) {
    DeleteObject(palette_);
    palette_ = nullptr;
  }
  Changed();
}

HPALETTE TBitmap::Palette() {
  HBITMAP__* b = Obj(bitmap_);
  if (!b || b->rows.bitCount > 8 || b->rows.colors.empty()) return nullptr;
  if (!palette_) {
    std::vector<PALETTEENTRY> entries(b->rows.colors.size());
    for (size_t i = 0; i < entries.size(); ++i)
      entries[i] = {b->rows.colors[i].rgbRed, b->rows.colors[i].rgbGreen, b->rows.colors[i].rgbBlue, 0};
    palette_ = CreatePaletteFromEntries(entries.data(), static_cast<uint32_t>(entries.size()));
  }
  return palette_;
}

void TBitmap::SetPalette(HPALETTE palette) {
  const uint32_t n = GetPaletteEntries(palette, 0, 0, nullptr);
  if (n == 0) return;
  std::vector<PALETTEENTRY> e(n);
  GetPaletteEntries(palette, 0, n, e.data());
  std::vector<RGBQUAD> q(n);
  for (uint32_t i = 0; i < n; ++i) q[i] = {e[i].peBlue, e[i].peGreen, e[i].peRed, 0};
  SetColorTable(q.data(), static_cast<int32_t>(n));
}

TColor TBitmap::TransparentColor() {
  TColor c;
  if (transparentColor_ == clDefault) {
    if (Empty()) return clDefault;
    c = Monochrome() ? clWhite : Canvas()->Pixels(0, height_ - 1);
  } else {
    c = static_cast<TColor>(ColorToRGB(transparentColor_));
  }
  return c | 0x02000000;
}

void TBitmap::SetTransparentColor(TColor color) {
  if (color == transparentColor_) return;
  transparentColor_ = color;
  transparentMode_ = color == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == transparentMode_) return;
  if (mode == tmAuto)
    SetTransparentColor(clDefault);
  else
    SetTransparentColor(TransparentColor());
}

void TBitmap::LoadFromStream(TStream& stream) {
  const int64_t avail = stream.Size() - stream.Position();
  // .bmp files larger than the largest bitmap cannot be valid.
  if (avail < 54 || avail > (int64_t{1} << 32) + 4096) throw EInvalidGraphic("Bitmap image is not valid");
  std::vector<uint8_t> data(static_cast<size_t>(avail));
  size_t got = 0;
  while (got < data.size()) {
    const int32_t chunk = static_cast<int32_t>(std::min<size_t>(data.size() - got, 1 << 30));
    const int32_t n = stream.Read(data.data() + got, chunk);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  HBITMAP b = BitmapFromBmp(data.data(), got);
  if (!b) throw EInvalidGraphic("Bitmap image is not valid");
  format_ = pfDevice;
  SetHandle(b);
}

void TBitmap::SaveToStream(TStream& stream) {
  if (!bitmap_) return;
  HBITMAP__* b = Obj(bitmap_);
  std::vector<uint8_t> packed = PackedDIBFromBitmap(bitmap_, b->dib ? 0 : (b->rows.bitCount == 1 ? 1 : 24));
  if (packed.empty()) return;
  BITMAPINFOHEADER h;
  std::memcpy(&h, packed.data(), sizeof h);
  BITMAPFILEHEADER fh;
  fh.bfSize = static_cast<uint32_t>(sizeof fh + packed.size());
  fh.bfOffBits = static_cast<uint32_t>(sizeof fh + 40 + DibColorTableSize(h) * 4);
  stream.WriteBuffer(&fh, sizeof fh);
  stream.WriteBuffer(packed.data(), static_cast<int32_t>(packed.size()));
}

void TBitmap::LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE) {
  // The colour table of a DIB is its palette: a palette handed beside it adds nothing.
  HBITMAP copy = nullptr;
  if (format == CF_BITMAP) {
    if (!Obj(static_cast<HBITMAP>(data))) throw EInvalidGraphic("Bitmap image is not valid");
    std::vector<uint8_t> packed = PackedDIBFromBitmap(static_cast<HBITMAP>(data), 0);
    copy = packed.empty() ? nullptr : BitmapFromPackedDIB(packed.data(), packed.size());
  } else if (format == CF_DIB) {
    copy = data ? BitmapFromPackedDIB(data, GlobalSize(data)) : nullptr;
  } else {
    TGraphic::LoadFromClipboardFormat(format, data, nullptr);
  }
  if (!copy) throw EInvalidGraphic("Bitmap image is not valid");
  format_ = pfDevice;
  SetHandle(copy);
}

void TBitmap::SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette) {
  format = CF_BITMAP;
  data = nullptr;
  palette = nullptr;
  if (!bitmap_) return;
  std::vector<uint8_t> packed = PackedDIBFromBitmap(bitmap_, 0);
  HBITMAP copy = packed.empty() ? nullptr : BitmapFromPackedDIB(packed.data(), packed.size());
  if (!copy) throw EOutOfResources("Not enough storage is available to process this command.");
  data = copy;
  if (HPALETTE own = Palette()) {
    std::vector<PALETTEENTRY> entries(GetPaletteEntries(own, 0, 0, nullptr));
    GetPaletteEntries(own, 0, static_cast<uint32_t>(entries.size()), entries.data());
    palette = CreatePaletteFromEntries(entries.data(), static_cast<uint32_t>(entries.size()));
  }
}

void RegisterBitmapResource(const std::string& name, const void* data, size_t size) {
  std::lock_guard<std::mutex> g(ResourceLock());
  const uint8_t* p = static_cast<const uint8_t*>(data);
  Resources()[Upper(name)] = std::vector<uint8_t>(p, p + size);
}

void TBitmap::LoadFromResourceName(uintptr_t, const std::string& name) {
  std::vector<uint8_t> data;
  {
    std::lock_guard<std::mutex> g(ResourceLock());
    auto it = Resources().find(Upper(name));
    if (it != Resources().end()) data = it->second;
  }
  if (data.empty()) {
    const std::filesystem::path folder = ProgramFolder() / "resources";
    for (const std::string& file : {name + ".bmp", name + ".BMP"}) {
      std::error_code ec;
      if (std::filesystem::is_regular_file(folder / file, ec)) {
        TMemoryStream s;
        s.LoadFromFile((folder / file).string());
        LoadFromStream(s);
        return;
      }
    }
    throw EResNotFound(Format("Resource %s not found", name.c_str()));
  }
  TCustomMemoryStream s(data.data(), static_cast<int64_t>(data.size()));
  LoadFromStream(s);
}

void TBitmap::Assign(TPersistent* source) {
  if (source == this) return;
  if (!source) {
    SetSize(0, 0);
    return;
  }
  if (const TBitmap* b = dynamic_cast<const TBitmap*>(source)) {
    HBITMAP__* src = Obj(b->bitmap_);
    transparentColor_ = b->transparentColor_;
    transparentMode_ = b->transparentMode_;
    SetTransparent(b->Transparent());
    if (!src) {
      format_ = b->format_;
      monochrome_ = b->monochrome_;
      handleType_ = b->handleType_;
      SetSize(0, 0);
      return;
    }
    HBITMAP__* copy = NewBitmapObject(src->rows.width, src->rows.height, src->rows.bitCount, src->dib, !src->dib,
                                      src->rows.colors, src->rows.masks);
    if (!copy) throw EOutOfResources("Not enough storage is available to process this command.");
    copy->rows.monoDDB = src->rows.monoDDB;
    copy->rows.colors = src->rows.colors;
    copy->header = src->header;
    ConvertRows(src->rows, 0, 0, copy->rows, 0, 0, src->rows.width, src->rows.height);
    SetHandle(copy);
    return;
  }
  // Any other picture assigns itself (TGraphic::AssignTo).
  TPersistent::Assign(source);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect) {
  if (!canvas || Empty()) return;
  HDC dst = canvas->Handle();
  HDC src = Canvas()->Handle();
  if (Transparent()) {
    TransparentBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, width_, height_,
                   ColorToRGB(TransparentColor() & 0xFFFFFF));
    return;
  }
  const int32_t old = SetStretchBltMode(dst, COLORONCOLOR);
  StretchBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, width_, height_, canvas->CopyMode());
  SetStretchBltMode(dst, old);
}

void TBitmap::DrawTransparent(TCanvas* canvas, const TRect& rect, uint8_t opacity) {
  if (!canvas || Empty()) return;
  if (opacity == 255) {
    Draw(canvas, rect);
    return;
  }
  BLENDFUNCTION bf;
  bf.SourceConstantAlpha = opacity;
  AlphaBlend(canvas->Handle(), rect.Left, rect.Top, rect.Width(), rect.Height(), Canvas()->Handle(), 0, 0, width_,
             height_, bf);
}

void TBitmap::Dormant() {
  if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->FreeContext();
}

void TBitmap::Changed() {
  TGraphic::Changed();
}
