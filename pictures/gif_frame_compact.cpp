// TGIFSubImage: the compaction steps that change a frame's pixels, cropping and merging with the
// frame shown before it.
#include <algorithm>

#include "pictures/gif_frame.h"
#include "pictures/gif_image.h"

void TGIFSubImage::Crop() {
  if (Empty() || !Transparent()) return;
  const uint8_t transparent = GraphicControlExtension()->TransparentColorIndex();
  // The columns that hold a visible pixel, then the rows within them.
  int32_t left = width_, right = -1, top = height_, bottom = -1;
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = pixels_.data() + static_cast<int64_t>(y) * width_;
    for (int32_t x = 0; x < width_; ++x)
      if (row[x] != transparent) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  }
  if (right < 0) {
    Clear();
    return;
  }
  const int32_t w = right - left + 1, h = bottom - top + 1;
  if (w == width_ && h == height_) return;
  std::vector<uint8_t> cut(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    std::copy_n(pixels_.data() + static_cast<int64_t>(top + y) * width_ + left, w,
                cut.data() + static_cast<int64_t>(y) * w);
  pixels_ = std::move(cut);
  left_ += left;
  top_ += top;
  width_ = w;
  height_ = h;
  FreeBitmap();
}

void TGIFSubImage::Merge(TGIFSubImage* Previous) {
  if (!Previous || Previous == this || Empty() || Previous->Empty()) return;
  const TGIFGraphicControlExtension* prevGce = Previous->GraphicControlExtension();
  if (prevGce && (prevGce->Disposal() == 2 || prevGce->Disposal() == 3)) return;
  const TRect a = BoundsRect(), b = Previous->BoundsRect();
  const TRect both{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                   std::min(a.Bottom, b.Bottom)};
  if (both.Left >= both.Right || both.Top >= both.Bottom) return;

  TGIFGraphicControlExtension* gce = GraphicControlExtension();
  const bool wasTransparent = gce && gce->Transparent();
  TGIFColorMap* map = ActiveColorMap();
  if (!wasTransparent && (map->Count() < 1 || map->Count() > 255)) return;
  int32_t replacement = wasTransparent ? gce->TransparentColorIndex() : -1;
  // The index a frame without transparency takes: another such frame's transparent index when it
  // shares the global map, else a new black entry.
  const auto makeReplacement = [&] {
    if (colorMap_.Count() == 0) {
      TGIFImageList* frames = Image()->Images();
      for (int32_t i = 0; i < frames->Count(); ++i) {
        TGIFSubImage* other = frames->Items(i);
        if (other != this && other->Transparent() && other->ColorMap()->Count() == 0)
          return static_cast<int32_t>(other->GraphicControlExtension()->TransparentColorIndex());
      }
    }
    return map->Add(static_cast<TColor>(RGB(0, 0, 0)));
  };

  TGIFColorMap* prevMap = Previous->ActiveColorMap();
  const bool prevTransparent = Previous->Transparent();
  const int32_t prevIndex = prevTransparent ? prevGce->TransparentColorIndex() : -1;
  for (int32_t y = both.Top; y < both.Bottom; ++y) {
    uint8_t* row = pixels_.data() + static_cast<int64_t>(y - top_) * width_;
    const uint8_t* prev = Previous->Data() + static_cast<int64_t>(y - Previous->top_) * Previous->width_;
    for (int32_t x = both.Left; x < both.Right; ++x) {
      uint8_t& pixel = row[x - left_];
      const uint8_t p = pixel, q = prev[x - Previous->left_];
      if (p == replacement || q == prevIndex) continue;
      bool same;
      if (map == prevMap)
        same = p == q;
      else
        same = p < map->Count() && q < prevMap->Count() && map->Entry(p) == prevMap->Entry(q);
      if (!same) continue;
      if (replacement < 0) replacement = makeReplacement();
      pixel = static_cast<uint8_t>(replacement);
    }
  }
  if (!wasTransparent && replacement >= 0) {
    if (!gce) {
      auto made = std::make_unique<TGIFGraphicControlExtension>(this);
      gce = made.get();
      extensions_.Add(std::move(made));
    }
    gce->SetTransparent(true);
    gce->SetTransparentColorIndex(static_cast<uint8_t>(replacement));
  }
  FreeBitmap();
}
