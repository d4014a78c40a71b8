// TZodazUrProc: the clipboard (a packed DIB for other programs, the raw bitmap stream for this
// program's own images) and the reduction of an image to few colours.
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_system_utils.h"
#include "imaging/processing/ie_color_reduction.h"
#include "imaging/processing/ie_dib_export.h"
#include "imaging/processing/ie_dib_import.h"
#include "imaging/processing/ie_paste_hooks.h"
#include "imaging/processing/ie_row_table.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/system/memory.h"
#include "platform/ui/clipboard.h"

TIEPasteHooks IEPasteHooks;

namespace {

// The clipboard open for one operation (with the engine's retries) and closed on every path.
class TClipboardSession {
 public:
  TClipboardSession() : open_(OpenClipboardRetry()) {}
  ~TClipboardSession() {
    if (open_) CloseClipboard();
  }
  TClipboardSession(const TClipboardSession&) = delete;
  TClipboardSession& operator=(const TClipboardSession&) = delete;
  bool Open() const { return open_; }

 private:
  bool open_;
};

// Puts the raw stream of Bitmap on the open clipboard; a block that cannot be had or placed is
// skipped.
void PutRaw(TIEBitmap& Bitmap) {
  if (ClipboardRawFormat == 0 || Bitmap.IsEmpty()) return;
  const int64_t size = Bitmap.RawStreamSize();
  void* block = size > 0 ? GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(size)) : nullptr;
  if (!block) return;
  try {
    Bitmap.SaveRawToBuffer(GlobalLock(block));
  } catch (const std::exception&) {
    GlobalFree(block);
    return;
  }
  if (!SetClipboardData(ClipboardRawFormat, block)) GlobalFree(block);
}

// Places a packed DIB as CF_DIB; false, with the block freed, when there is none or placing fails.
bool PutDIB(void* DIB) {
  if (!DIB) return false;
  if (SetClipboardData(CF_DIB, DIB)) return true;
  GlobalFree(DIB);
  return false;
}

// One clipboard format read into a new bitmap by Read; nil when the clipboard has no such data or
// it does not read as an image (whatever the reader raises).
template <class F>
std::unique_ptr<TIEBitmap> ReadFormat(UINT Format, F&& Read) {
  if (Format == 0) return nullptr;
  void* data = GetClipboardData(Format);
  if (!data) return nullptr;
  auto bitmap = std::make_unique<TIEBitmap>();
  try {
    if (Read(data, static_cast<int64_t>(GlobalSize(data)), *bitmap) && !bitmap->IsEmpty()) return bitmap;
  } catch (const std::exception&) {
  }
  return nullptr;
}

}  // namespace

bool TZodazUrProc::CopyToClipboard(bool WithRaw) {
  if (!PrepareBitmap(0)) return false;
  TClipboardSession clipboard;
  if (!clipboard.Open()) return false;
  EmptyClipboard();
  if (!PutDIB(_CopyBitmaptoDIBEx(*bitmap_, 0, 0, 0, 0, GetDPIX(), GetDPIY()))) return false;
  if (WithRaw) PutRaw(*bitmap_);
  return true;
}

bool TZodazUrProc::CopySelectionToClipboard(bool WithRaw) {
  if (!PrepareBitmap(0)) return false;
  int32_t x1, y1, x2, y2, polyCount;
  const TPoint* poly = nullptr;
  TIEMask* mask = nullptr;
  if (!GetSelectedArea(x1, y1, x2, y2, poly, polyCount, mask)) return CopyToClipboard(WithRaw);
  TClipboardSession clipboard;
  if (!clipboard.Open()) return false;
  EmptyClipboard();
  const bool masked = mask && !mask->IsEmpty();
  void* dib = masked ? SelectionToDIB(*bitmap_, *mask, Background(), GetDPIX(), GetDPIY())
                     : _CopyBitmaptoDIBEx(*bitmap_, x1, y1, x2, y2, GetDPIX(), GetDPIY());
  if (!PutDIB(dib)) return false;
  if (WithRaw) {
    TIEBitmap selection;
    if (masked) {
      bitmap_->CopySelectionTo(selection, *mask);
    } else if (x2 > x1 && y2 > y1 && selection.Allocate(x2 - x1, y2 - y1, bitmap_->PixelFormat())) {
      bitmap_->CopyPaletteTo(&selection);
      bitmap_->CopyRectTo(selection, x1, y1, 0, 0, x2 - x1, y2 - y1);
    }
    PutRaw(selection);
  }
  return true;
}

void TZodazUrProc::PasteFromClipboard() {
  if (!PrepareBitmap(0)) return;
  TClipboardSession clipboard;
  if (!clipboard.Open()) return;
  // The first format that reads as an image, each into a bitmap of its own: a format that fails
  // leaves nothing behind, and the next one is tried.
  bool raw = false;
  std::unique_ptr<TIEBitmap> image = ReadFormat(ClipboardRawFormat, [](void* data, int64_t size, TIEBitmap& b) {
    return b.LoadRawFromBuffer(data, size);
  });
  raw = image != nullptr;
  if (!image && IEPasteHooks.LoadBufferAsFormat)
    image = ReadFormat(ClipboardFormatByName("PNG"), [](void* data, int64_t size, TIEBitmap& b) {
      return IEPasteHooks.LoadBufferAsFormat(data, size, kIEPasteFormatPNG, b);
    });
  if (!image)
    image = ReadFormat(CF_DIB, [](void* data, int64_t, TIEBitmap& b) { return DibToIEBitmap(data, b) != 0; });
  if (!image && IEPasteHooks.RasteriseMetafile)
    image = ReadFormat(CF_ENHMETAFILE,
                       [](void* data, int64_t, TIEBitmap& b) { return IEPasteHooks.RasteriseMetafile(data, b); });
  if (!image) return;

  if (autoUndo_) SaveUndoCaptioned("PasteFromClipboard", ieuImage);
  TIEBitmap& b = *bitmap_;
  // The raw stream carries the image's display settings too.
  const bool full = image->Full();
  if (raw) {
    b.SetPaletteUsed(image->PaletteUsed());
    b.SetDisplayRangeMin(image->DisplayRangeMin());
    b.SetDisplayRangeMax(image->DisplayRangeMax());
    for (int32_t i = 0; i < 4; ++i) b.SetChannelOffset(i, image->ChannelOffset(i));
    b.SetContrast(image->Contrast());
  }
  TakeResultImage(b, *image, true);
  if (raw) b.SetFull(full);
  Update();
}

void TZodazUrProc::ReduceColors(int32_t NColors, bool Threshold, const std::string& Caption,
                                std::vector<TIERGB>* Palette) {
  if (NColors > 1024) return;
  constexpr TIEPixelFormatSet k24 = PixelFormatSet(ie24RGB);
  if (!CanPrepare(k24)) return;
  // Before the conversion to ie24RGB, so that undo brings the image's own format back.
  if (autoUndo_) SaveUndoCaptioned(Caption, ieuImage);
  if (!PrepareBitmap(k24)) return;
  TIEBitmap& b = *bitmap_;
  if (NColors < 3) {
    TIEProgressRecord progress;
    progress.OnProgress = OnProgress;
    progress.Sender = this;
    if (Threshold)
      ConvertToBWThresholdInPlace(b, kIEThresholdMeanColor, progress);
    else
      ConvertToBWOrdered(b, progress);
    if (Palette) *Palette = {TIERGB{0, 0, 0}, TIERGB{255, 255, 255}};
  } else {
    if (Palette) Palette->assign(static_cast<size_t>(NColors), TIERGB{0, 0, 0});
    QuantizeInPlace(b, NColors, Palette ? Palette->data() : nullptr, this, OnProgress);
  }
  Update();
  DoFinishWork();
}

void TZodazUrProc::ConvertTo(int32_t NColors, bool Threshold) {
  ReduceColors(NColors, Threshold, Format("ConvertTo %d", NColors), nullptr);
}

void TZodazUrProc::ConvertToPalette(int32_t NColors, std::vector<TIERGB>& Palette, bool Threshold) {
  if (NColors <= 0) return;
  ReduceColors(NColors, Threshold, "ConvertToPalette", &Palette);
}
