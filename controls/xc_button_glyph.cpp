#include "controls/xc_button_glyph.h"

#include <algorithm>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_draw_utils.h"
#include "controls/xc_text_utils.h"

// ---------------------------------------------------------------------------------------- the pool

TXcGlyphList::TXcGlyphList(int width, int height) : TImageList(nullptr, width, height) {}

int TXcGlyphList::AllocateSlot() {
  auto it = std::find(used_.begin(), used_.end(), false);
  if (it != used_.end()) return static_cast<int>(it - used_.begin());
  // All slots are in use: a blank image makes a new one.
  TBitmap blank(Width(), Height());
  Add(&blank, nullptr);
  used_.push_back(false);
  return static_cast<int>(used_.size()) - 1;
}

int TXcGlyphList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image || image->Empty()) return -1;
  const int slot = AllocateSlot();
  ReplaceMasked(slot, image, maskColor);
  used_[static_cast<size_t>(slot)] = true;
  ++usedCount_;
  return slot;
}

void TXcGlyphList::Delete(int index) {
  if (index < 0 || index >= static_cast<int>(used_.size()) || !used_[static_cast<size_t>(index)]) return;
  used_[static_cast<size_t>(index)] = false;
  --usedCount_;
}

TXcGlyphList* TXcGlyphCache::ListForSize(int width, int height) {
  for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
    if ((*it)->Width() == width && (*it)->Height() == height) return it->get();
  lists_.push_back(std::make_unique<TXcGlyphList>(width, height));
  return lists_.back().get();
}

void TXcGlyphCache::ReturnList(TXcGlyphList* list) {
  if (!list || list->UsedCount() != 0) return;
  lists_.erase(std::remove_if(lists_.begin(), lists_.end(), [list](const auto& l) { return l.get() == list; }),
               lists_.end());
}

bool TXcGlyphCache::Contains(const TXcGlyphList* list) const {
  return std::any_of(lists_.begin(), lists_.end(), [list](const auto& l) { return l.get() == list; });
}

namespace {

std::unique_ptr<TXcGlyphCache> g_cache;
int g_painters = 0;

}  // namespace

TXcGlyphCache* GlyphCache() { return g_cache.get(); }

void FreeGlyphCache() { g_cache.reset(); }

// ------------------------------------------------------------------------------------------- layout

COLORREF InactiveGrey(COLORREF color, COLORREF maskColor) {
  color &= 0xFFFFFF;
  if (color == (maskColor & 0xFFFFFF) || color == (ColorToRGB(clBtnFace) & 0xFFFFFF)) return color;
  const uint32_t g = (77u * GetRValue(color) + 150u * GetGValue(color) + 29u * GetBValue(color)) >> 8;
  return RGB(static_cast<uint8_t>(g), static_cast<uint8_t>(g), static_cast<uint8_t>(g));
}

namespace {

// The caption with each line cut to width with "...", joined again without trailing blanks and
// line breaks.
std::string FitLines(TCanvas* canvas, const std::string& caption, int32_t width) {
  std::string out;
  size_t from = 0;
  while (from <= caption.size()) {
    size_t end = caption.find_first_of("\r\n", from);
    std::string line = caption.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (canvas->TextWidth(line) > width) line = TruncateTextToWidth(line, canvas, width);
    if (!out.empty() || from > 0) out += "\r\n";
    out += line;
    if (end == std::string::npos) break;
    from = end + ((caption[end] == '\r' && end + 1 < caption.size() && caption[end + 1] == '\n') ? 2 : 1);
  }
  while (!out.empty() && static_cast<unsigned char>(out.back()) <= 0x20) out.pop_back();
  return out;
}

}  // namespace

TXcButtonLayoutResult LayoutButton(TCanvas* canvas, const TRect& client, const TPoint& offset,
                                   const std::string& caption, TButtonLayout layout, int32_t margin,
                                   int32_t spacing, bool dropDownMark, TSize glyphSize, bool wordWrap,
                                   uint32_t textFlags) {
  TXcButtonLayoutResult result;
  const TSize c = {client.Right - client.Left, client.Bottom - client.Top};
  TSize g = glyphSize;
  const bool vertical = layout == blGlyphTop || layout == blGlyphBottom;
  // 1. The caption's room.
  TSize room;
  if (!vertical) {
    room.cx = c.cx - g.cx;
    if (margin != -1) room.cx -= margin;
    if (spacing != -1) room.cx -= spacing;
    if (dropDownMark) room.cx -= 9;
    room.cy = c.cy;
  } else {
    room.cx = c.cx;
    room.cy = c.cy - g.cy;
    if (margin != -1) room.cy -= margin;
    if (spacing != -1) room.cy -= spacing;
  }
  room.cx = std::max(room.cx, 0);
  room.cy = std::max(room.cy, 0);
  // 2., 3. The caption as it fits, and its size.
  result.Caption = (!wordWrap && canvas && !caption.empty()) ? FitLines(canvas, caption, room.cx) : caption;
  TSize t = {0, 0};
  if (!result.Caption.empty() && canvas) {
    TRect r = Rect(0, 0, room.cx, 0);
    uint32_t flags = DT_CALCRECT | DT_VCENTER | (wordWrap ? DT_WORDBREAK : 0u) | textFlags;
    DrawTextOnCanvas(canvas, result.Caption, -1, flags, r);
    t = {std::min(r.Right - r.Left, room.cx), std::min(r.Bottom - r.Top, room.cy)};
  }
  // 4. Room for the drop-down mark.
  if (dropDownMark) {
    if (g.cx == 0 || g.cy == 0 || layout == blGlyphLeft) t.cx += 9;
    else g.cx += 6;
  }
  // 5. Centred across the layout's direction.
  TPoint gp, tp;
  if (!vertical) {
    gp.Y = (c.cy - g.cy) / 2;
    tp.Y = (c.cy - t.cy) / 2;
  } else {
    gp.X = (c.cx - g.cx) / 2;
    tp.X = (c.cx - t.cx) / 2;
  }
  // 6. The alignment.
  if (!(textFlags & DT_CENTER)) {
    if (textFlags & DT_RIGHT) {
      tp.X = c.cx - t.cx;
      if (!vertical) gp.X = c.cx - g.cx - t.cx;
    } else {
      tp.X = 0;
      if (!vertical) {
        gp.X = 0;
        tp.X = g.cx;
      }
    }
  }
  // 7. Nothing to space apart.
  if (t.cx == 0 || g.cx == 0) spacing = 0;
  // 8. Automatic margin and spacing.
  if (margin == -1 && spacing == -1) {
    const TSize total = {g.cx + t.cx, g.cy + t.cy};
    spacing = margin = vertical ? (c.cy - total.cy) / 3 : (c.cx - total.cx) / 3;
  } else if (margin == -1) {
    const TSize total = {g.cx + spacing + t.cx, g.cy + spacing + t.cy};
    if (vertical) margin = c.cy / 2 - total.cy / 2;
    else if (textFlags & DT_CENTER) margin = c.cx / 2 - total.cx / 2;
    else if (layout == blGlyphRight) margin = (textFlags & DT_RIGHT) ? 0 : c.cx - t.cx - g.cx;
    else margin = gp.X;
  } else if (spacing == -1) {
    const TSize free = {c.cx - margin - g.cx, c.cy - margin - g.cy};
    spacing = vertical ? free.cy / 2 - t.cy / 2 : free.cx / 2 - t.cx / 2;
  }
  // 9. Along the layout's direction.
  switch (layout) {
    case blGlyphLeft:
      gp.X = margin;
      tp.X = gp.X + g.cx + spacing;
      break;
    case blGlyphRight:
      gp.X = c.cx - margin - g.cx;
      tp.X = gp.X - spacing - t.cx;
      break;
    case blGlyphTop:
      gp.Y = margin;
      tp.Y = gp.Y + g.cy + spacing;
      break;
    case blGlyphBottom:
      gp.Y = c.cy - margin - g.cy;
      tp.Y = gp.Y - spacing - t.cy;
      break;
  }
  // 10. Into the client rectangle.
  const int32_t dx = client.Left + offset.X, dy = client.Top + offset.Y;
  result.GlyphPos = Point(gp.X + dx, gp.Y + dy);
  result.TextBounds = Rect(tp.X + dx, tp.Y + dy, tp.X + dx + t.cx, tp.Y + dy + t.cy);
  return result;
}

void DrawDropDownMark(TCanvas* canvas, int32_t x, int32_t y, bool enabled) {
  if (!canvas) return;
  auto triangle = [canvas](int32_t left, int32_t top, TColor color) {
    constexpr int32_t kRows[4][2] = {{-1, 7}, {0, 5}, {1, 3}, {2, 1}};  // row offset, pixels
    for (int i = 0; i < 4; ++i)
      for (int32_t k = 0; k < kRows[i][1]; ++k) canvas->SetPixels(left + i + k, top + kRows[i][0], color);
  };
  if (!enabled) {
    triangle(x + 1, y + 1, clBtnHighlight);
    triangle(x, y, clBtnShadow);
  } else {
    triangle(x, y, clBtnText);
  }
}

// ------------------------------------------------------------------------------------------ painter

TXcxButtonGlyph::TXcxButtonGlyph() : bitmap_(std::make_unique<TBitmap>()) {
  stateIndex_.fill(-1);
  if (!g_cache) g_cache = std::make_unique<TXcGlyphCache>();
  ++g_painters;
  bitmap_->OnChange = [this](TObject*) { BitmapChanged(); };
}

TXcxButtonGlyph::~TXcxButtonGlyph() {
  bitmap_->OnChange = nullptr;
  ReleaseStateGlyphs();
  if (--g_painters == 0 && g_cache && g_cache->Empty()) g_cache.reset();
}

void TXcxButtonGlyph::AssignBitmap(TBitmap* value) {
  ReleaseStateGlyphs();
  bitmap_->Assign(value);
}

void TXcxButtonGlyph::BitmapChanged() {
  ReleaseStateGlyphs();
  const int32_t w = bitmap_->Width(), h = bitmap_->Height();
  if (h > 0) {
    maskColor_ = static_cast<TColor>(static_cast<uint32_t>(bitmap_->TransparentColor()) & ~0x02000000u);
    // A bitmap 0 pixels wide holds no cell: the count stays as it was.
    if (w > 0 && w % h == 0) {
      const int32_t n = w / h;
      numGlyphs_ = static_cast<TXcNumGlyphs>(n <= kXcMaxGlyphs ? n : 1);
    }
  }
  if (OnChange) OnChange();
}

void TXcxButtonGlyph::ChangeCellCount(int value) {
  if (value < 1 || value > kXcMaxGlyphs || value == numGlyphs_) return;
  ReleaseStateGlyphs();
  numGlyphs_ = static_cast<TXcNumGlyphs>(value);
}

void TXcxButtonGlyph::ChangeDisabledStyle(bool value) {
  if (value == grayNewStyle_) return;
  ReleaseStateGlyphs();
  grayNewStyle_ = value;
}

void TXcxButtonGlyph::ReleaseStateGlyphs() {
  if (releasing_) return;
  releasing_ = true;
  TXcGlyphCache* cache = GlyphCache();
  // A pool freed at shut-down took its lists with it.
  if (poolList_ && cache && cache->Contains(poolList_)) {
    for (int& index : stateIndex_)
      if (index != -1) poolList_->Delete(index);
    cache->ReturnList(poolList_);
  }
  stateIndex_.fill(-1);
  poolList_ = nullptr;
  imageSource_ = nullptr;
  imageSourceIndex_ = -1;
  releasing_ = false;
}

TXcGlyphList* TXcxButtonGlyph::List(int width, int height) {
  TXcGlyphCache* cache = GlyphCache();
  if (poolList_ && (!cache || !cache->Contains(poolList_))) {
    // The pool went away (the library shut down and started again): the pictures went with it.
    poolList_ = nullptr;
    stateIndex_.fill(-1);
  }
  if (poolList_ && (poolList_->Width() != width || poolList_->Height() != height)) ReleaseStateGlyphs();
  if (!poolList_) {
    if (!g_cache) g_cache = std::make_unique<TXcGlyphCache>();
    poolList_ = g_cache->ListForSize(width, height);
  }
  return poolList_;
}

int TXcxButtonGlyph::BuildStateGlyph(TXcButtonPaintState state) {
  if (state == bpsDown && numGlyphs_ < 3) state = bpsUp;
  // Built before, in a pool list still there (the pool holds a handful of lists): the usual case.
  if (stateIndex_[state] != -1 && poolList_ && g_cache && g_cache->Contains(poolList_)) return stateIndex_[state];
  const int32_t bw = bitmap_->Width(), bh = bitmap_->Height();
  if (bw <= 0 || bh <= 0 || bitmap_->Empty()) return -1;
  const int32_t cellW = bw / numGlyphs_, cellH = bh;
  if (cellW <= 0) return -1;
  TXcGlyphList* list = List(cellW, cellH);
  int& index = stateIndex_[state];
  if (index != -1) return index;
  const int column = state < numGlyphs_ ? state : 0;
  // The cell's pixels at its own size.
  auto cell = [&](int col) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(cellW, cellH);
    BitBlt(b->Canvas()->Handle(), 0, 0, cellW, cellH, bitmap_->Canvas()->Handle(), col * cellW, 0, SRCCOPY);
    return b;
  };
  switch (state) {
    case bpsDisabled:
      if (numGlyphs_ >= 2) {
        index = list->AddMasked(cell(column).get(), maskColor_);
      } else if (grayNewStyle_) {
        index = list->AddMasked(MakeEmbossedGlyph(cell(0).get(), maskColor_).get(), maskColor_);
      } else {
        index = list->AddMasked(MakeOutlineGlyph(cell(0).get(), clBlack).get(), clBtnFace);
      }
      break;
    case bpsInactive:
      if (numGlyphs_ == 5) {
        index = list->AddMasked(cell(column).get(), maskColor_);
      } else {
        auto grey = cell(0);
        const COLORREF mask = ColorToRGB(maskColor_);
        for (int32_t y = 0; y < cellH; ++y) {
          uint8_t* row = grey->ScanLine(y);
          for (int32_t x = 0; x < cellW; ++x) {
            uint8_t* p = row + 3 * x;
            COLORREF g = InactiveGrey(RGB(p[2], p[1], p[0]), mask);
            p[0] = GetBValue(g), p[1] = GetGValue(g), p[2] = GetRValue(g);
          }
        }
        index = list->AddMasked(grey.get(), maskColor_);
      }
      break;
    default:
      index = list->AddMasked(cell(column).get(), maskColor_);
      break;
  }
  bitmap_->Dormant();
  return index;
}

int TXcxButtonGlyph::BuildImageStateGlyph(TXcButtonPaintState state, TCustomImageList* images, int imageIndex) {
  if (state != bpsInactive || !images || imageIndex < 0 || imageIndex >= images->Count()) return -1;
  const int w = images->Width(), h = images->Height();
  if (stateIndex_[bpsInactive] != -1 && (imageSource_ != images || imageSourceIndex_ != imageIndex)) {
    ReleaseStateGlyphs();
  }
  TXcGlyphList* list = List(w, h);
  int& index = stateIndex_[bpsInactive];
  if (index != -1) return index;
  TBitmap picture;
  picture.SetPixelFormat(pf24bit);
  picture.SetSize(w, h);
  picture.Canvas()->Brush()->SetColor(clBtnFace);
  picture.Canvas()->FillRect(Rect(0, 0, w, h));
  images->Draw(picture.Canvas(), 0, 0, imageIndex, true);
  const COLORREF face = ColorToRGB(clBtnFace);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = picture.ScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = row + 3 * x;
      COLORREF g = InactiveGrey(RGB(p[2], p[1], p[0]), face);
      p[0] = GetBValue(g), p[1] = GetGValue(g), p[2] = GetRValue(g);
    }
  }
  index = list->AddMasked(&picture, clBtnFace);
  imageSource_ = images;
  imageSourceIndex_ = imageIndex;
  return index;
}

TRect TXcxButtonGlyph::DrawButtonContent(TCanvas* canvas, const TRect& client, const TPoint& offset,
                                         const std::string& caption, TButtonLayout layout, int32_t margin,
                                         int32_t spacing, bool dropDownMark, TCustomImageList* images,
                                         int imageIndex, TXcButtonPaintState state, uint32_t textFlags) {
  if (!canvas) return TRect{};
  const bool fromList = images && images->Width() > 0 && imageIndex >= 0 && imageIndex < images->Count();
  TSize glyph = {0, 0};
  if (fromList) glyph = {images->Width(), images->Height()};
  else if (!bitmap_->Empty() && numGlyphs_ > 0) glyph = {bitmap_->Width() / numGlyphs_, bitmap_->Height()};
  TXcButtonLayoutResult l =
      LayoutButton(canvas, client, offset, caption, layout, margin, spacing, dropDownMark, glyph, wordWrap_, textFlags);
  // 1. The glyph.
  TSize drawn = {0, 0};
  const TPoint gp = l.GlyphPos;
  if (fromList) {
    if (state == bpsDisabled) {
      if (grayNewStyle_) images->Draw(canvas, gp.X, gp.Y, imageIndex, false);
      else DrawImageEmbossed(images, canvas, gp.X, gp.Y, imageIndex, clBtnHighlight, clBtnShadow, true);
    } else if (state == bpsInactive) {
      int index = BuildImageStateGlyph(state, images, imageIndex);
      if (index >= 0 && poolList_) poolList_->Draw(canvas, gp.X, gp.Y, index, true);
    } else {
      images->Draw(canvas, gp.X, gp.Y, imageIndex, true);
    }
    drawn = glyph;
  } else {
    int index = BuildStateGlyph(state);
    if (index >= 0 && poolList_) {
      poolList_->Draw(canvas, gp.X, gp.Y, index, true);
      drawn = {poolList_->Width(), poolList_->Height()};
    }
  }
  // 2. The caption, on a clear background.
  TRect text = l.TextBounds;
  if (!l.Caption.empty()) {
    const TBrushStyle brushStyle = canvas->Brush()->Style();
    canvas->Brush()->SetStyle(bsClear);
    const uint32_t flags = textFlags | DT_VCENTER | (wordWrap_ ? DT_WORDBREAK : 0u);
    if (state == bpsDisabled) {
      const TColor fontColor = canvas->Font()->Color();
      TRect moved = text;
      OffsetRect(moved, 1, 1);
      canvas->Font()->SetColor(clBtnHighlight);
      DrawTextOnCanvas(canvas, l.Caption, -1, flags, moved);
      canvas->Font()->SetColor(clBtnShadow);
      TRect place = text;
      DrawTextOnCanvas(canvas, l.Caption, -1, flags, place);
      canvas->Font()->SetColor(fontColor);
    } else {
      TRect place = text;
      DrawTextOnCanvas(canvas, l.Caption, -1, flags, place);
    }
    canvas->Brush()->SetStyle(brushStyle);
  }
  // 3. The drop-down mark.
  if (dropDownMark) {
    int32_t x, y;
    if (layout != blGlyphLeft && drawn.cx > 0 && drawn.cy > 0) {
      x = gp.X + drawn.cx + 1;
      y = gp.Y + drawn.cy / 2;
    } else {
      x = !l.Caption.empty() ? text.Right + 3 : (client.Left + client.Right - 7) / 2;
      y = text.Top + text.Height() / 2;
    }
    DrawDropDownMark(canvas, x, y, state != bpsDisabled);
  }
  return text;
}
