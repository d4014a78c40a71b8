#include "platform/ui/image_list.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------- TChangeLink

TChangeLink::~TChangeLink() {
  if (sender_) sender_->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (OnChange) OnChange(sender_);
}

// ----------------------------------------------------------------------------------- TCustomImageList

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::TCustomImageList(TComponent* owner, int width, int height)
    : TComponent(owner), width_(std::max(width, 1)), height_(std::max(height, 1)) {}

TCustomImageList::~TCustomImageList() {
  Destroying();
  for (TChangeLink* link : links_) link->sender_ = nullptr;
}

void TCustomImageList::Change() {
  if (updateCount_ > 0) {
    changedWhileUpdating_ = true;
    return;
  }
  for (TChangeLink* link : std::vector<TChangeLink*>(links_)) link->Change();
  if (OnChange) OnChange(this);
}

void TCustomImageList::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0 && changedWhileUpdating_) {
    changedWhileUpdating_ = false;
    Change();
  }
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (!link || std::find(links_.begin(), links_.end(), link) != links_.end()) return;
  if (link->sender_) link->sender_->UnRegisterChanges(link);
  link->sender_ = this;
  links_.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end()) return;
  links_.erase(it);
  link->sender_ = nullptr;
}

void TCustomImageList::SetWidth(int value) {
  if (value == width_ || value < 1) return;
  width_ = value;
  images_.clear();
  Change();
}

void TCustomImageList::SetHeight(int value) {
  if (value == height_ || value < 1) return;
  height_ = value;
  images_.clear();
  Change();
}

void TCustomImageList::SetBkColor(TColor value) {
  bkColor_ = value;
  Change();
}

void TCustomImageList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EInvalidOperation("Invalid ImageList Index");
}

std::unique_ptr<TBitmap> TCustomImageList::Slice(TBitmap* image, int left,
                                                 const std::function<bool(int, int)>& transparent) {
  auto out = std::make_unique<TBitmap>();
  out->SetPixelFormat(pf32bit);
  out->SetSize(width_, height_);
  TCanvas* src = image->Canvas();
  for (int y = 0; y < height_; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(out->ScanLine(y));
    for (int x = 0; x < width_; ++x) {
      int sx = left + x;
      if (sx >= image->Width() || y >= image->Height() || (masked_ && transparent(sx, y))) {
        row[x] = 0;
        continue;
      }
      COLORREF c = ColorToRGB(src->Pixels(sx, y));
      row[x] = 0xFF000000u | (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
               GetBValue(c);
    }
  }
  return out;
}

int TCustomImageList::AddSlices(TBitmap* image, const std::function<bool(int, int)>& transparent, int at) {
  if (!image || image->Empty()) return -1;
  int n = std::max(1, image->Width() / width_);
  for (int i = 0; i < n; ++i)
    images_.insert(images_.begin() + at + i, Slice(image, i * width_, transparent));
  Change();
  return at;
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  TCanvas* m = mask && !mask->Empty() ? mask->Canvas() : nullptr;
  return AddSlices(image, [m](int x, int y) { return m && (ColorToRGB(m->Pixels(x, y)) & 0xFFFFFF) == 0xFFFFFF; },
                   Count());
}

std::function<bool(int, int)> TCustomImageList::ColorKey(TBitmap* image, TColor maskColor) {
  TCanvas* c = image->Canvas();
  COLORREF key = maskColor == clDefault ? ColorToRGB(c->Pixels(0, image->Height() - 1)) : ColorToRGB(maskColor);
  return [c, key](int x, int y) { return ColorToRGB(c->Pixels(x, y)) == key; };
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image || image->Empty()) return -1;
  return AddSlices(image, ColorKey(image, maskColor), Count());
}

void TCustomImageList::ReplaceMasked(int index, TBitmap* image, TColor maskColor) {
  CheckIndex(index);
  if (!image || image->Empty()) return;
  images_[static_cast<size_t>(index)] = Slice(image, 0, ColorKey(image, maskColor));
  Change();
}

void TCustomImageList::Insert(int index, TBitmap* image, TBitmap* mask) {
  if (index < 0 || index > Count()) throw EInvalidOperation("Invalid ImageList Index");
  TCanvas* m = mask && !mask->Empty() ? mask->Canvas() : nullptr;
  AddSlices(image, [m](int x, int y) { return m && (ColorToRGB(m->Pixels(x, y)) & 0xFFFFFF) == 0xFFFFFF; }, index);
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
  CheckIndex(index);
  if (!image || image->Empty()) return;
  TCanvas* m = mask && !mask->Empty() ? mask->Canvas() : nullptr;
  images_[static_cast<size_t>(index)] =
      Slice(image, 0, [m](int x, int y) { return m && (ColorToRGB(m->Pixels(x, y)) & 0xFFFFFF) == 0xFFFFFF; });
  Change();
}

void TCustomImageList::Delete(int index) {
  CheckIndex(index);
  images_.erase(images_.begin() + index);
  Change();
}

void TCustomImageList::Clear() {
  if (images_.empty()) return;
  images_.clear();
  Change();
}

void TCustomImageList::Move(int curIndex, int newIndex) {
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  if (curIndex == newIndex) return;
  auto image = std::move(images_[static_cast<size_t>(curIndex)]);
  images_.erase(images_.begin() + curIndex);
  images_.insert(images_.begin() + newIndex, std::move(image));
  Change();
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  Draw(canvas, x, y, index, drawingStyle_, itImage, enabled);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle, TImageType type, bool enabled) {
  if (!canvas || index < 0 || index >= Count()) return;
  TBitmap* image = images_[static_cast<size_t>(index)].get();
  HDC dst = canvas->Handle();
  if (!dst) return;
  BLENDFUNCTION blend;
  blend.AlphaFormat = AC_SRC_ALPHA;
  if (enabled && type == itImage) {
    AlphaBlend(dst, x, y, width_, height_, image->Canvas()->Handle(), 0, 0, width_, height_, blend);
    return;
  }
  // The image's shape in one colour: black for the mask, embossed (highlight, then shadow) disabled.
  auto shape = [&](COLORREF color, int dx, int dy) {
    TBitmap tinted;
    tinted.SetPixelFormat(pf32bit);
    tinted.SetSize(width_, height_);
    uint32_t bgr = (static_cast<uint32_t>(GetRValue(color)) << 16) | (static_cast<uint32_t>(GetGValue(color)) << 8) |
                   GetBValue(color);
    for (int row = 0; row < height_; ++row) {
      auto* in = reinterpret_cast<const uint32_t*>(image->ScanLine(row));
      auto* out = reinterpret_cast<uint32_t*>(tinted.ScanLine(row));
      for (int col = 0; col < width_; ++col) out[col] = (in[col] >> 24) ? (0xFF000000u | bgr) : 0;
    }
    AlphaBlend(dst, x + dx, y + dy, width_, height_, tinted.Canvas()->Handle(), 0, 0, width_, height_, blend);
  };
  if (type == itMask) {
    shape(0, 0, 0);
    return;
  }
  shape(ColorToRGB(clBtnHighlight), 1, 1);
  shape(ColorToRGB(clBtnShadow), 0, 0);
}

void TCustomImageList::GetBitmap(int index, TBitmap* image) {
  if (!image || index < 0 || index >= Count()) return;
  image->SetPixelFormat(pf24bit);
  image->SetSize(width_, height_);
  image->Canvas()->Brush()->SetColor(bkColor_ == clNone ? clBlack : bkColor_);
  image->Canvas()->FillRect(Rect(0, 0, width_, height_));
  Draw(image->Canvas(), 0, 0, index, true);
}
