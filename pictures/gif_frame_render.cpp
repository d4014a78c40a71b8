// TGIFSubImage: rendering the frame into a framework bitmap with its transparency mask, and drawing
// it stretched, tiled or through the mask.
#include <algorithm>
#include <cmath>

#include "pictures/gif_color_lookup.h"
#include "pictures/gif_dib.h"
#include "pictures/gif_dither.h"
#include "pictures/gif_errors.h"
#include "pictures/gif_frame.h"
#include "pictures/gif_image.h"
#include "pictures/gif_palettes.h"

namespace {

// Divides rounding half away from zero.
int32_t DivRound(int64_t numerator, int64_t denominator) {
  return static_cast<int32_t>(std::lround(static_cast<double>(numerator) / static_cast<double>(denominator)));
}

// Keeps the destination where the mask bit is 1, copies the source where it is 0 (MaskBlt's
// foreground and background operations).
constexpr uint32_t kDestination = 0x00AA0029;

// Copies Source into the destination rectangle leaving out the pixels whose Mask bit is 1. Unscaled
// in one MaskBlt; stretched through an AND of the mask and an OR of the source blacked out where
// transparent.
void TransparentStretchBlt(HDC dst, const TRect& d, HDC src, const TRect& s, HBITMAP mask, HPALETTE palette) {
  const int32_t dw = d.Width(), dh = d.Height(), sw = s.Width(), sh = s.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  if (dw == sw && dh == sh) {
    MaskBlt(dst, d.Left, d.Top, dw, dh, src, s.Left, s.Top, mask, s.Left, s.Top, MAKEROP4(kDestination, SRCCOPY));
    return;
  }
  HDC maskDC = GDICheck(CreateCompatibleDC(nullptr));
  HGDIOBJ oldMask = SelectObject(maskDC, mask);
  // The opaque part of the source, black where transparent.
  HDC workDC = GDICheck(CreateCompatibleDC(dst));
  HBITMAP work = GDICheck(CreateCompatibleBitmap(dst, sw, sh));
  HGDIOBJ oldWork = SelectObject(workDC, work);
  const TPaletteOwner fallback(palette ? nullptr : SystemPalette16());
  HPALETTE oldPalette = SelectPalette(workDC, palette ? palette : fallback.Palette, false);
  RealizePalette(workDC);
  SetTextColor(workDC, RGB(0, 0, 0));
  SetBkColor(workDC, RGB(255, 255, 255));
  BitBlt(workDC, 0, 0, sw, sh, maskDC, s.Left, s.Top, NOTSRCCOPY);
  BitBlt(workDC, 0, 0, sw, sh, src, s.Left, s.Top, SRCAND);
  // The destination kept where transparent and cleared where opaque, then the source added.
  const COLORREF text = SetTextColor(dst, RGB(0, 0, 0));
  const COLORREF bk = SetBkColor(dst, RGB(255, 255, 255));
  StretchBlt(dst, d.Left, d.Top, dw, dh, maskDC, s.Left, s.Top, sw, sh, SRCAND);
  StretchBlt(dst, d.Left, d.Top, dw, dh, workDC, 0, 0, sw, sh, SRCPAINT);
  SetTextColor(dst, text);
  SetBkColor(dst, bk);
  SelectPalette(workDC, oldPalette, false);
  SelectObject(workDC, oldWork);
  DeleteObject(work);
  DeleteDC(workDC);
  SelectObject(maskDC, oldMask);
  DeleteDC(maskDC);
}

// The 1-bit mask of a frame being rendered: rows of whole 16-bit words, bit 1 where transparent, the
// leftmost pixel in the high bit.
struct TGIFMaskRows {
  TGIFMaskRows(bool on, int32_t width, int32_t height) : on(on), row((width + 15) / 16 * 2) {
    if (on) bits.assign(static_cast<size_t>(row) * height, 0);
  }
  void Set(int32_t x, int32_t y) {
    bits[static_cast<size_t>(y) * row + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
    any = true;
  }
  const bool on;
  const int32_t row;
  std::vector<uint8_t> bits;
  bool any = false;
};

}  // namespace

TRect TGIFSubImage::ScaleRect(const TRect& Rect) const {
  // A logical screen of no size (a damaged file) is taken as the frame's own extent.
  const int64_t screenW = Image()->Width() > 0 ? Image()->Width() : std::max(left_ + width_, 1);
  const int64_t screenH = Image()->Height() > 0 ? Image()->Height() : std::max(top_ + height_, 1);
  const int64_t w = Rect.Width(), h = Rect.Height();
  return {Rect.Left + DivRound(left_ * w, screenW), Rect.Top + DivRound(top_ * h, screenH),
          Rect.Left + DivRound((left_ + width_) * w, screenW), Rect.Top + DivRound((top_ + height_) * h, screenH)};
}

void TGIFSubImage::FreeMask() {
  if (mask_) DeleteObject(mask_);
  mask_ = nullptr;
  needMask_ = true;
}

void TGIFSubImage::FreeBitmap() {
  bitmap_.reset();
  FreeMask();
}

void TGIFSubImage::SetBitmap(std::unique_ptr<TBitmap> Value) {
  FreeBitmap();
  bitmap_ = std::move(Value);
}

bool TGIFSubImage::HasMask() {
  if (needMask_ && Transparent()) FreeBitmap();
  if (!bitmap_) Bitmap();
  return mask_ != nullptr;
}

bool TGIFSubImage::TakeMaskRequest() {
  const bool masking = needMask_ && Transparent() && !mask_;
  needMask_ = false;
  return masking;
}

void TGIFSubImage::RenderProgress(int32_t Row) {
  if (Row % 32 == 0)
    Image()->Progress(this, psRunning, static_cast<uint8_t>(int64_t{Row} * 100 / height_), false, TRect{},
                      sProgressRendering);
}

TBitmap* TGIFSubImage::Bitmap() {
  if (bitmap_ || Empty()) return bitmap_.get();
  TGIFImage* image = Image();
  image->Progress(this, psStarting, 0, false, TRect{}, sProgressRendering);
  auto rendered = std::make_unique<TBitmap>();
  try {
    if (image->DoDither())
      RenderDithered(*rendered);
    else
      RenderPlain(*rendered);
  } catch (const EAbort&) {
    FreeMask();
    image->Progress(this, psEnding, 0, image->PaletteModified(), TRect{}, sProgressRendering);
    return nullptr;
  } catch (...) {
    FreeMask();
    image->Progress(this, psEnding, 0, image->PaletteModified(), TRect{}, sProgressRendering);
    throw;
  }
  bitmap_ = std::move(rendered);
  image->Progress(this, psEnding, 100, image->PaletteModified(), TRect{}, sProgressRendering);
  if (image->PaletteModified()) image->Changed(this);
  return bitmap_.get();
}

void TGIFSubImage::RenderPlain(TBitmap& Target) {
  // A file without any colour table (allowed: the reader chooses the colours) is shown in the
  // sixteen system colours, as frames without a palette are drawn.
  const bool tableless = colorMap_.Count() == 0 && Image()->GlobalColorMap()->Count() == 0;
  const TPaletteOwner fallback(tableless ? SystemPalette16() : nullptr);
  TDIBWriter writer(&Target, pf8bit, width_, height_, tableless ? fallback.Palette : Palette());
  TGIFMaskRows mask(TakeMaskRequest(), width_, height_);
  const uint8_t transparent = mask.on ? GraphicControlExtension()->TransparentColorIndex() : 0;
  for (int32_t y = 0; y < height_; ++y) {
    RenderProgress(y);
    const uint8_t* src = pixels_.data() + static_cast<int64_t>(y) * width_;
    std::memcpy(writer.ScanLine(y), src, static_cast<size_t>(width_));
    if (!mask.on) continue;
    for (int32_t x = 0; x < width_; ++x)
      if (src[x] == transparent) mask.Set(x, y);
  }
  if (mask.any) mask_ = GDICheck(CreateBitmap(width_, height_, 1, 1, mask.bits.data()));
}

void TGIFSubImage::RenderDithered(TBitmap& Target) {
  TDIBWriter writer(&Target, pf8bit, width_, height_, Palette());  // the web palette
  TGIFMaskRows mask(TakeMaskRequest(), width_, height_);
  TGIFColorMap* map = ActiveColorMap();
  const auto colorOf = [&](uint8_t index) {
    return index < map->Count() ? map->Entry(index) : TGIFColor{};
  };
  TNetscapeColorLookup lookup;
  TFloydSteinbergDitherer ditherer(width_, &lookup);
  uint8_t transparent = 0;
  uint8_t hidden = 0;  // what transparent pixels hold in the bitmap: the transparent colour's web entry
  uint8_t r, g, b;
  if (mask.on) {
    transparent = GraphicControlExtension()->TransparentColorIndex();
    const TGIFColor c = colorOf(transparent);
    hidden = lookup.Lookup(c.Red, c.Green, c.Blue, r, g, b);
  }
  for (int32_t y = 0; y < height_; ++y) {
    RenderProgress(y);
    const uint8_t* src = pixels_.data() + static_cast<int64_t>(y) * width_;
    uint8_t* dst = writer.ScanLine(y);
    if (mask.on) std::memset(dst, hidden, static_cast<size_t>(width_));
    for (int32_t x = ditherer.Column(); x >= 0 && x < width_; x = ditherer.Column()) {
      if (mask.on && src[x] == transparent) {
        ditherer.Skip();
        mask.Set(x, y);
        continue;
      }
      const TGIFColor c = colorOf(src[x]);
      dst[x] = ditherer.Dither(c.Red, c.Green, c.Blue, r, g, b);
    }
    ditherer.NextLine();
  }
  if (mask.any) mask_ = GDICheck(CreateBitmap(width_, height_, 1, 1, mask.bits.data()));
}

void TGIFSubImage::Draw(TCanvas* Canvas, const TRect& Rect, bool Transparent, bool Tiled) {
  if (!Canvas) return;
  TBitmap* bitmap = Bitmap();
  if (!bitmap) return;
  const TRect r = Tiled ? Rect : ScaleRect(Rect);
  // Tiles at the frame's own size from its place on the first copy of the screen.
  const int32_t stepX = std::max(Image()->Width(), 1), stepY = std::max(Image()->Height(), 1);
  const auto eachTile = [&](const auto& draw) {
    for (int32_t y = Rect.Top + top_; y < Rect.Bottom; y += stepY)
      for (int32_t x = Rect.Left + left_; x < Rect.Right; x += stepX) draw(TRect{x, y, x + width_, y + height_});
  };
  if (Transparent && this->Transparent() && HasMask()) {
    HDC dst = Canvas->Handle();
    HDC src = bitmap->Canvas()->Handle();
    const TRect whole{0, 0, width_, height_};
    HPALETTE palette = bitmap->Palette();
    if (Tiled)
      eachTile([&](const TRect& t) { TransparentStretchBlt(dst, t, src, whole, mask_, palette); });
    else
      TransparentStretchBlt(dst, r, src, whole, mask_, palette);
    if (Canvas->OnChange) Canvas->OnChange(Canvas);
    return;
  }
  if (Tiled)
    eachTile([&](const TRect& t) { Canvas->StretchDraw(t, bitmap); });
  else
    Canvas->StretchDraw(r, bitmap);
}

void TGIFSubImage::AssignTo(TPersistent* Dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(Dest)) {
    bitmap->Assign(Bitmap());
    return;
  }
  TGIFItem::AssignTo(Dest);
}
