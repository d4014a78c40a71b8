// The engine's view of the framework bitmap (TFrameworkBitmap), over TBitmap.
#include "platform/gdi/framework_bitmap.h"

#include <cstring>

#include "platform/gdi/bitmap.h"

namespace {

class TBitmapAdapter : public TFrameworkBitmap {
 public:
  explicit TBitmapAdapter(TBitmap* wrap) : bitmap_(wrap) {
    if (!bitmap_) {
      owned_ = std::make_unique<TBitmap>();
      bitmap_ = owned_.get();
    }
  }
  TBitmap* Bitmap() override { return bitmap_; }
  int32_t Width() override { return bitmap_->Width(); }
  int32_t Height() override { return bitmap_->Height(); }
  void SetSize(int32_t width, int32_t height) override { bitmap_->SetSize(width, height); }
  TPixelFormat PixelFormat() override { return bitmap_->PixelFormat(); }
  void SetPixelFormat(TPixelFormat format) override { bitmap_->SetPixelFormat(format); }
  void* ScanLine(int32_t row) override { return bitmap_->ScanLine(row); }
  int32_t ColorCount() override { return static_cast<int32_t>(bitmap_->ColorTable().size()); }
  void GetColors(int32_t start, int32_t count, uint32_t* colors) override {
    const std::vector<RGBQUAD> table = bitmap_->ColorTable();
    for (int32_t i = 0; i < count; ++i) {
      uint32_t v = 0;
      if (start + i >= 0 && start + i < static_cast<int32_t>(table.size()))
        std::memcpy(&v, &table[static_cast<size_t>(start + i)], 4);
      colors[i] = v & 0xFFFFFF;
    }
  }
  void SetColors(int32_t start, int32_t count, const uint32_t* colors) override {
    std::vector<RGBQUAD> table = bitmap_->ColorTable();
    if (start < 0 || table.empty()) return;
    for (int32_t i = 0; i < count && start + i < static_cast<int32_t>(table.size()); ++i)
      std::memcpy(static_cast<void*>(&table[static_cast<size_t>(start + i)]), &colors[i], 4);
    bitmap_->SetColorTable(table.data(), static_cast<int32_t>(table.size()));
  }
  TCanvas* Canvas() override { return bitmap_->Canvas(); }
  void SetCanvasFlip(bool flip, int32_t height) override {
    HDC dc = bitmap_->Canvas()->Handle();
    if (flip) {
      SetGraphicsMode(dc, GM_ADVANCED);
      XFORM x;
      x.eM22 = -1;
      x.eDy = static_cast<float>(height - 1);
      SetWorldTransform(dc, &x);
    } else if (GetGraphicsMode(dc) == GM_ADVANCED) {
      ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    }
  }

 private:
  std::unique_ptr<TBitmap> owned_;
  TBitmap* bitmap_;
};

std::unique_ptr<TFrameworkBitmap> MakeAdapter(TBitmap* wrap) { return std::make_unique<TBitmapAdapter>(wrap); }

}  // namespace

TFrameworkBitmapFactory FrameworkBitmapFactory = MakeAdapter;
