#pragma once
// TIEMask: the engine's selection and transparency mask. A rectangle of pixels of 1 bit (selected
// or not) or 8 bits (0 not selected, 255 fully selected, between partly selected), rows padded to
// 32 bits and stored bottom-up, with a bounding box of the selected pixels and a flag that says
// every pixel is fully selected.
//
// The box is conservative: writes that select pixels extend it, writes that deselect never shrink
// it; RecalcBounds makes it exact. It is either empty (X1 = Y1 = the largest int32, X2 = Y2 = 0)
// or lies inside the mask. Full is exact only after Fill(255), CheckFull or a polygon fill;
// deselecting writes clear it, selecting writes never set it.
//
// A depth other than 1 or 8 gives storage, but then every pixel operation does nothing.
// A mask belongs to one thread at a time.
#include <cstdint>
#include <limits>
#include <vector>

#include "imaging/core/ie_memory.h"
#include "platform/gdi/color.h"
#include "platform/system/object.h"
#include "platform/system/types.h"

class TBitmap;
class TCanvas;
class TIEBitmap;

// The rows of a mask; its size comes from callers' numbers, so its allocation failure is the same in
// every build (see TIEHeapAllocator).
using TIEMaskBits = std::vector<uint8_t, TIEHeapAllocator<uint8_t>>;

class TIEMask : public TObject {
 public:
  // X1 and Y1 of the empty box.
  static constexpr int32_t kEmptyBox = std::numeric_limits<int32_t>::max();
  // A point with this X in a polygon list ends one polygon and starts the next.
  static constexpr int32_t kPolygonSeparator = 0xFFFFF;

  // A 0 x 0 mask with no storage and an empty box.
  TIEMask();
  ~TIEMask() override;
  TIEMask(const TIEMask&) = delete;
  TIEMask& operator=(const TIEMask&) = delete;

  // A complete copy of Source: size, depth, pixels, box and Full (the draw cache is not copied).
  void Assign(const TIEMask& Source);

  // ---- Size and storage ----
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitsPerPixel() const { return bitsPerPixel_; }
  // Bytes per row: RowLength(Width, BitsPerPixel, 32).
  int32_t RowLen() const { return rowLen_; }
  // Height * RowLen bytes, the bottom row first; nil without storage.
  uint8_t* Bits() { return bits_.empty() ? nullptr : bits_.data(); }
  const uint8_t* Bits() const { return bits_.empty() ? nullptr : bits_.data(); }

  // New zero-filled storage (the old one freed), an empty box, Full false. Negative sizes count as
  // 0. Raises std::bad_alloc, leaving the mask as it was, when the storage cannot be had.
  void Allocate(int32_t Width, int32_t Height, int32_t BitsPerPixel);
  // New storage for the new size at the same depth keeping the top-left pixels; the new area is
  // unselected. A non-empty box is clamped to the new size (emptied when the mask has no pixels
  // left); Full stays only when the mask did not grow.
  void Resize(int32_t NewWidth, int32_t NewHeight);
  // Frees the storage and the draw cache; size, depth and RowLen become 0. Box and Full stay.
  void FreeBits();
  // The first byte of row Y, 0 the top row. The caller keeps 0 <= Y < Height.
  uint8_t* GetRow(int32_t Y);
  const uint8_t* GetRow(int32_t Y) const;

  // ---- Box and full flag ----
  int32_t X1() const { return x1_; }
  int32_t Y1() const { return y1_; }
  int32_t X2() const { return x2_; }
  int32_t Y2() const { return y2_; }
  // Sets the box (a view restoring its saved state). A box that does not lie inside the mask is
  // clamped to it, and an inverted one (X2 < X1 or Y2 < Y1) empties it.
  void SetBox(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  // True when the box is empty.
  bool IsEmpty() const { return x1_ == kEmptyBox; }
  bool Full() const { return full_; }
  void SetFull(bool Value) { full_ = Value; }

  // ---- Pixels ----
  // 0 outside the mask; 1 bit: 0 or the bit's weight (128 for x mod 8 = 0 ... 1 for 7); 8 bits:
  // the byte.
  int32_t GetPixel(int32_t X, int32_t Y) const;
  bool IsPointInside(int32_t X, int32_t Y) const { return GetPixel(X, Y) != 0; }
  // Points outside are ignored. 1 bit: Value <> 0 selects, 0 deselects; 8 bits: the byte becomes
  // Value. Value <> 0 extends the box.
  void SetPixel(int32_t X, int32_t Y, int32_t Value);
  // Pixels XFrom..XTo of row Y, clipped to the row; a row outside the mask paints nothing.
  // 1 bit: Value 1 selects, any other value deselects; 8 bits: the bytes become Value. The box is
  // not touched. Returns the number of pixels written.
  int32_t SetSpan(int32_t Value, int32_t XFrom, int32_t XTo, int32_t Y);
  // Every byte of the storage becomes Value; Full becomes Value = 255. The box is not touched.
  void Fill(uint8_t Value);
  // Fill(0) and an empty box.
  void Clear();
  // The box made exact from the selected pixels (empty when there is none).
  void RecalcBounds();
  // Full made exact: set when every pixel is fully selected, cleared otherwise.
  void CheckFull();

  // ---- Shapes and movement ----
  // Fills each polygon of the list with Value (SetSpan's reading of it); a point whose X is
  // kPolygonSeparator ends one polygon and starts the next. Then CheckFull.
  void FillPolygons(int32_t Value, const TPoint* Points, int32_t Count);
  // Scan-line fill of one closed polygon under the even-odd rule, rows and columns half-open (an
  // edge covers the rows from its upper end to one above its lower end, a span runs from the left
  // edge to one pixel left of the right edge). With Value <> 0 the box grows by the points
  // (their X - 1 and Y - 1 for the right and bottom). A polygon that writes no pixel leaves the
  // box as it was.
  void FillPolygon(int32_t Value, const TPoint* Points, int32_t Count);
  // Moves the selected area by (DX, DY). With CutBorders what leaves the mask is cut off (all of
  // it: the mask is cleared); without, the offsets shrink so that the box stays inside. DX and DY
  // return the offsets used.
  void Translate(int32_t& DX, int32_t& DY, bool CutBorders);

  // ---- Drawing and copying through the mask ----
  // Inverts the canvas where the mask selects, the source rectangle of the mask stretched onto
  // the destination rectangle (1-bit masks with a non-empty box only).
  void DrawXor(TCanvas* Canvas, int32_t XDst, int32_t YDst, int32_t DstWidth, int32_t DstHeight, int32_t XSrc,
               int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight);
  // The border of the selection in diagonal dashes of four pixels, Colour2 where the low three
  // bits of x + y + Phase (screen coordinates) are below 4, Colour1 elsewhere. Bounds, when
  // given, receives the screen rectangle of the drawn rows and columns shrunk by one pixel.
  void DrawOutline(TCanvas* Canvas, int32_t XOffs, int32_t YOffs, int32_t DstWidth, int32_t DstHeight, int32_t XSrc,
                   int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight, int32_t Phase, TColor Colour1, TColor Colour2,
                   TRect* Bounds = nullptr);
  // Marks the unselected part of the shown image in the 24-bit framework bitmap the view composes
  // in: Opacity -1 paints grey (97, 97, 97) on every other pixel, any other Opacity tints towards
  // Colour by Opacity / 255. Partly selected pixels are left alone; other depths are not touched.
  void DrawOuter(TBitmap* Bitmap, int32_t XDst, int32_t YDst, int32_t DstWidth, int32_t DstHeight, int32_t XSrc,
                 int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity, TColor Colour);
  // Copies Source pixels into Dest where the mask selects them, over the box; an 8-bit mask
  // blends by its value. Source is read at box-relative coordinates with SourceAtBox, Dest written
  // at box-relative ones with DestAtBox; the range is clipped to both bitmaps. Both bitmaps must
  // have the same pixel format, else nothing is copied. With CopyAlpha, MaskedCopyAlpha follows.
  void MaskedCopy(TIEBitmap& Dest, TIEBitmap& Source, bool DestAtBox, bool SourceAtBox, bool CopyAlpha);
  // Dest's alpha over the box from the mask and Source's alpha (255 when it has none): the
  // smaller of the two where selected, 0 where not.
  void MaskedCopyAlpha(TIEBitmap& Dest, TIEBitmap& Source, bool DestAtBox, bool SourceAtBox);

 private:
  bool HasValidDepth() const { return (bitsPerPixel_ == 1 || bitsPerPixel_ == 8) && !bits_.empty(); }
  void EmptyBox();
  void ClampBox();
  void FreeDrawCache();
  // The visible part of the mask stretched into the draw cache (DstWidth x DstHeight at the mask's
  // depth, zeroed first) with 14-bit fixed-point steps, which it returns; false when nothing of
  // the box is shown. The caller has checked the sizes.
  bool StretchToCache(int32_t DstWidth, int32_t DstHeight, int32_t XSrc, int32_t YSrc, int32_t SrcWidth,
                      int32_t SrcHeight, int64_t& ScaleX, int64_t& ScaleY);
  // A cache pixel is selected (1 bit: set; 8 bits: not 0).
  bool CacheSelected(int32_t X, int32_t Row) const;

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitsPerPixel_ = 0;
  int32_t rowLen_ = 0;
  TIEMaskBits bits_;
  int32_t x1_ = kEmptyBox;
  int32_t y1_ = kEmptyBox;
  int32_t x2_ = 0;
  int32_t y2_ = 0;
  bool full_ = false;

  // Draw cache: the stretched visible part for the last destination size, rows bottom-up.
  std::vector<uint8_t> cache_;
  std::vector<uint8_t*> cacheRows_;
  int32_t cacheWidth_ = 0;
  int32_t cacheHeight_ = 0;
  int32_t cacheRowLen_ = 0;
};
