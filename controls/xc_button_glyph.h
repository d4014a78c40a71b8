#pragma once
// The content of a button: a glyph (a cell of a multi-cell bitmap, or an image-list entry), a
// caption and an optional drop-down mark, laid out in one of four layouts and painted in one of
// five states. The pictures a bitmap does not bring (disabled, inactive) are derived once per state
// and kept in a process-wide pool of image lists keyed by picture size, so that buttons with glyphs
// of one size share a few lists.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/ui/controls.h"
#include "platform/ui/image_list.h"

// The look of a button: up, disabled, down (pressed), exclusive (held down in a group), inactive
// (a flat button not under the mouse). A glyph bitmap's cells come in this order.
enum TXcButtonPaintState : uint8_t { bpsUp, bpsDisabled, bpsDown, bpsExclusive, bpsInactive };
constexpr int kXcButtonPaintStates = 5;

// Where the glyph stands beside the caption.
enum TButtonLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
// The frame style of a classic button: detected, the old style, or the new one.
enum TButtonStyle : uint8_t { bsAutoDetect, bsWin31, bsNew };

// The number of cells a glyph bitmap has (1..5).
using TXcNumGlyphs = uint8_t;
constexpr int kXcMaxGlyphs = 5;

// A pooled image list of one picture size: slots are handed out and given back, and the images of
// freed slots are used again.
class TXcGlyphList : public TImageList {
 public:
  TXcGlyphList(int width, int height);
  // The picture in the first free slot, its pixels of maskColor transparent; answers the slot.
  int AddMasked(TBitmap* image, TColor maskColor);
  // Frees a slot (the image stays until the slot is used again).
  void Delete(int index);
  int UsedCount() const { return usedCount_; }

 private:
  int AllocateSlot();
  std::vector<bool> used_;
  int usedCount_ = 0;
};

// The process's pool of glyph lists.
class TXcGlyphCache {
 public:
  // The last list added of that size, or a new one added to the pool.
  TXcGlyphList* ListForSize(int width, int height);
  // Gives a list back: it is freed and leaves the pool once none of its slots is used.
  void ReturnList(TXcGlyphList* list);
  bool Contains(const TXcGlyphList* list) const;
  bool Empty() const { return lists_.empty(); }
  int ListCount() const { return static_cast<int>(lists_.size()); }

 private:
  std::vector<std::unique_ptr<TXcGlyphList>> lists_;
};

// The pool while it exists (made with the first painter), or null.
TXcGlyphCache* GlyphCache();
// Frees the pool (at the library's shut-down); painters still alive build their pictures anew.
void FreeGlyphCache();

// Where the glyph and the caption go inside a client rectangle (LayoutButton).
struct TXcButtonLayoutResult {
  TPoint GlyphPos;
  TRect TextBounds;
  // The caption as it fits (shortened with "..." unless word-wrapped).
  std::string Caption;
};

// The layout of a glyph of glyphSize and a caption in client (moved by offset): margin and spacing
// -1 are automatic; textFlags are DT_LEFT, DT_CENTER or DT_RIGHT; the caption is measured in the
// canvas's font.
TXcButtonLayoutResult LayoutButton(TCanvas* canvas, const TRect& client, const TPoint& offset,
                                   const std::string& caption, TButtonLayout layout, int32_t margin,
                                   int32_t spacing, bool dropDownMark, TSize glyphSize, bool wordWrap,
                                   uint32_t textFlags);

// The drop-down mark: a downward triangle of 7, 5, 3 and 1 pixels with its top row at y - 1,
// embossed when disabled.
void DrawDropDownMark(TCanvas* canvas, int32_t x, int32_t y, bool enabled);

// The grey of the inactive look: maskColor and the button face stay, any other colour becomes
// (77 R + 150 G + 29 B) shr 8 in all three channels.
COLORREF InactiveGrey(COLORREF color, COLORREF maskColor);

class TXcxButtonGlyph {
 public:
  TXcxButtonGlyph();
  ~TXcxButtonGlyph();
  TXcxButtonGlyph(const TXcxButtonGlyph&) = delete;
  TXcxButtonGlyph& operator=(const TXcxButtonGlyph&) = delete;

  // The glyph bitmap (owned): changing it releases the pictures, takes the mask colour from it and,
  // when its width is a whole multiple of its height, the cell count (width div height when that is
  // 5 or less, else 1).
  TBitmap* Bitmap() { return bitmap_.get(); }
  void AssignBitmap(TBitmap* value);
  TXcNumGlyphs NumGlyphs() const { return numGlyphs_; }
  // Values outside 1..5 and unchanged ones are ignored.
  void ChangeCellCount(int value);
  bool GrayNewStyle() const { return grayNewStyle_; }
  void ChangeDisabledStyle(bool value);
  TColor MaskColor() const { return maskColor_; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value) { alignment_ = value; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value) { wordWrap_ = value; }

  // The pooled picture of a state, built on first use; -1 without a glyph.
  int BuildStateGlyph(TXcButtonPaintState state);
  // The inactive picture of an image-list entry (other states answer -1).
  int BuildImageStateGlyph(TXcButtonPaintState state, TCustomImageList* images, int index);
  // Frees the state pictures and gives the pool list back.
  void ReleaseStateGlyphs();
  // The pool list holding this painter's pictures, or null.
  TXcGlyphList* PoolList() const { return poolList_; }

  // Lays out and draws the glyph, caption and drop-down mark; answers the rectangle the caption was
  // drawn in. Without an image list (or with index -1) the bitmap's cells serve.
  TRect DrawButtonContent(TCanvas* canvas, const TRect& client, const TPoint& offset, const std::string& caption,
                          TButtonLayout layout, int32_t margin, int32_t spacing, bool dropDownMark,
                          TCustomImageList* images, int imageIndex, TXcButtonPaintState state, uint32_t textFlags);

  // Told when the bitmap changed (the button repaints).
  std::function<void()> OnChange;

 private:
  void BitmapChanged();
  TXcGlyphList* List(int width, int height);
  int AddPicture(TBitmap* picture, TColor maskColor);

  std::unique_ptr<TBitmap> bitmap_;
  TXcGlyphList* poolList_ = nullptr;
  std::array<int, kXcButtonPaintStates> stateIndex_;
  // The image-list entry the inactive picture of an image glyph was made from.
  TCustomImageList* imageSource_ = nullptr;
  int imageSourceIndex_ = -1;
  TColor maskColor_ = TColorOf(0x00FF00FF);
  TAlignment alignment_ = taCenter;
  TXcNumGlyphs numGlyphs_ = 1;
  bool wordWrap_ = false;
  bool grayNewStyle_ = true;
  bool releasing_ = false;
};
