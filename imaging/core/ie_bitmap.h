#pragma once
// TIEBitmap: the engine's pixel container. It holds a width, a height, one pixel format, a palette
// for ie8p, an optional alpha channel (itself an ie8g TIEBitmap) and the pixel rows, which live in
// process memory, in a delete-on-close temporary file (one row mapped at a time) or in a wrapped
// framework bitmap. Row 0 is the top row in every interface.
//
// Storage rules: every allocation chooses between memory and file by the size of the pixel data
// against MemoryThreshold; operations that rebuild a bitmap hand its storage to a temporary bitmap
// (MoveStorageTo), allocate anew and copy back, so the object keeps its identity and settings.
//
// A TIEBitmap is not safe for concurrent use: reading rows of a file-held bitmap changes its
// mapped-row state. Worker threads may touch disjoint rows of bitmaps held in memory.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/core/ie_base_bitmap.h"
#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_render_tables.h"
#include "imaging/core/ie_rgb.h"
#include "platform/gdi/color.h"
#include "platform/gdi/framework_bitmap.h"
#include "platform/system/types.h"

class TIEDibbitmap;
class TIEFileBuffer;
class TIEMask;
class TStream;
class TCanvas;

class TIEBitmap : public TIEBaseBitmap {
 public:
  // An empty bitmap: no pixels, location ieFile until the first allocation settles it.
  TIEBitmap();
  // Created and allocated (an empty bitmap when the allocation fails).
  TIEBitmap(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat);
  ~TIEBitmap() override;
  TIEBitmap(const TIEBitmap&) = delete;
  TIEBitmap& operator=(const TIEBitmap&) = delete;

  // A new alpha channel: ie8g of the given size, filled with 255 (fully opaque, Full set), in the
  // given location (ieTBitmap becomes ieMemory).
  static std::unique_ptr<TIEBitmap> CreateAsAlphaChannel(int32_t Width, int32_t Height, TIELocation Location);
  // An empty bitmap whose allocations, and those of its alpha channel, stay in Location whatever
  // their size (MemoryThreshold 0 for ieFile, no limit for ieMemory; ieTBitmap counts as
  // ieMemory). Memory or files that cannot be had still fall back as for any bitmap. Undo copies
  // are made in one.
  static std::unique_ptr<TIEBitmap> CreateInFixedLocation(TIELocation Location);

  // ---- Size and format ----
  int32_t GetBitCount() override;
  int32_t GetChannelCount();
  int32_t GetWidth() override;
  int32_t GetHeight() override;
  TIEPixelFormat GetPixelFormat() override;
  int32_t GetRowLen() override;
  int32_t Width() { return GetWidth(); }
  int32_t Height() { return GetHeight(); }
  int32_t BitCount() { return GetBitCount(); }
  int32_t ChannelCount() { return GetChannelCount(); }
  TIEPixelFormat PixelFormat() { return GetPixelFormat(); }
  int32_t RowLen() { return GetRowLen(); }
  // True when width, height, row length or bit count is 0.
  bool IsEmpty();

  // ---- Storage ----
  // Gives the bitmap that size and format. When nothing changes and no re-allocation is pending the
  // pixels and palette stay. False (and a 0 x 0 bitmap, format kept) when the size is not
  // positive, the format is ieNoFormat, or no storage can be had. Never raises.
  bool Allocate(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat) override;
  // Releases the storage (and the alpha channel when WithAlpha); caller-owned memory or framework
  // bitmaps are let go, not freed. Format, location and settings stay.
  void FreeImage(bool WithAlpha = true);
  // Hands the whole storage (rows, palette, alpha channel, location) to Dest without copying; this
  // bitmap is left empty in its location.
  void MoveStorageTo(TIEBitmap& Dest);
  // Makes a caller's framework bitmap the storage without copying or owning it.
  void WrapTBitmap(TBitmap* Bitmap, bool FreePrevious);
  // Makes a caller's pixel buffer (rows of RowLength(Width, bits, RowAlignment) bytes, bottom row
  // first unless TopDown) the storage without copying or owning it.
  void WrapMemory(void* Buffer, int32_t Width, int32_t Height, TIEPixelFormat PixelFormat, bool FreePrevious,
                  bool TopDown);
  TIELocation Location() const { return location_; }
  // Moves the pixels to another location. Going to ieTBitmap, ie16g becomes ie8g (values
  // converted), and ie32f, ieCMYK, ieRGB48 and ieCIELab raise EIEException ("... pixel format not
  // allowed when Location=ieTBitmap..."), leaving the image untouched where it was. When storage
  // cannot be had the image stays too.
  void SetLocation(TIELocation Location);
  // The pixels as a framework bitmap (the location becomes ieTBitmap). Raises like SetLocation.
  TBitmap* GetTBitmap();
  // The framework bitmap of the ieTBitmap location (nil in the other locations).
  TFrameworkBitmap* FrameworkBitmap() const { return framework_.get(); }
  // The framework canvas over the pixels (moved to ieTBitmap first). Raises like SetLocation.
  TCanvas* GetCanvas();
  // For ieTBitmap: re-reads size, format and palette from the framework bitmap, which drawing code
  // may have changed.
  void SyncWithTBitmap();
  // Bytes above which an allocation goes to a temporary file (fixed at construction).
  int64_t MemoryThreshold() const { return memoryThreshold_; }
  // The backing store of the ieFile location.
  TIEFileBuffer& FileBuffer() { return *fileBuffer_; }
  bool ExternalMemory() const { return externalMemory_; }
  bool ExternalBitmap() const { return externalBitmap_; }
  bool TopDown() const { return topDown_; }
  // Segmented memory layout (SegmentCount 0 for one block).
  int32_t SegmentCount() const { return static_cast<int32_t>(segments_.size()); }
  int32_t RowsPerSegment() const { return rowsPerSegment_; }
  // Allocator of the memory block: 0 heap, 1 zero-filled global memory, 2 HybridAlloc (default).
  uint8_t AllocationMode() const { return allocationMode_; }
  void SetAllocationMode(uint8_t Value) { allocationMode_ = Value; }

  // ---- Rows ----
  // Row Y (0 = top). For ieFile the row is mapped and stays valid only until the next GetRow,
  // AcquireRow, FreeImage or storage change on this bitmap. The caller keeps 0 <= Y < Height.
  void* GetRow(int32_t Y) override;
  template <class T> T* Row(int32_t Y) { return static_cast<T*>(GetRow(Y)); }
  // Like GetRow, but for ieFile every acquired row has its own buffer until ReleaseRow(Y).
  void* AcquireRow(int32_t Y);
  void ReleaseRow(int32_t Y);

  // ---- Settings ----
  bool Full() const { return full_; }
  void SetFull(bool Value) { full_ = Value; }
  bool IsAlphaChannel() const { return isAlphaChannel_; }
  void SetIsAlphaChannel(bool Value) { isAlphaChannel_ = Value; }
  // How conversions to ie1g work: 0 ordered dither, 1 threshold.
  uint8_t BWConversion() const { return bwConversion_; }
  void SetBWConversion(uint8_t Value) { bwConversion_ = Value; }
  // Colours a conversion to ie8p quantizes to.
  int32_t PaletteUsed() const { return paletteUsed_; }
  void SetPaletteUsed(int32_t Value) { paletteUsed_ = Value; }
  // Value range mapped to 0..255 when drawing (and converting ie16g to colour); equal: none.
  double DisplayRangeMin() const { return displayRangeMin_; }
  double DisplayRangeMax() const { return displayRangeMax_; }
  void SetDisplayRangeMin(double Value) { displayRangeMin_ = Value; }
  void SetDisplayRangeMax(double Value) { displayRangeMax_ = Value; }
  // Values added when drawing: [0] red, [1] green, [2] blue, [3] stored only.
  int32_t ChannelOffset(int32_t Index) const { return Index >= 0 && Index < 4 ? channelOffset_[Index] : 0; }
  void SetChannelOffset(int32_t Index, int32_t Value);
  bool HasChannelOffsets() const { return hasChannelOffsets_; }
  // Drawing contrast.
  int32_t Contrast() const { return contrast_; }
  void SetContrast(int32_t Value) { contrast_ = Value; }
  // Row padding in bits (32 by default). Changes the rows of a memory bitmap at once; for the
  // other locations only the next Allocate is forced.
  int32_t RowAlignment() const { return rowAlignment_; }
  void SetRowAlignment(int32_t Bits);

  // ---- Geometry ----
  // Change one dimension keeping the top-left pixels (new pixels are not initialised).
  void SetWidth(int32_t NewWidth);
  void SetHeight(int32_t NewHeight);
  // Changes the canvas size keeping the pixels, placed by the alignments (0 left/top, 1 centre,
  // 2 right/bottom); the new area gets Background (read per format as FillRect does) and the
  // alpha channel's new area AlphaFill.
  void Resize(int32_t NewWidth, int32_t NewHeight, double Background, int32_t AlphaFill, int32_t HorizAlign,
              int32_t VertAlign);
  void AlignContentBeforeShrink(int32_t NewWidth, int32_t NewHeight, double Fill, int32_t HorizAlign, int32_t VertAlign);
  void AlignContentAfterGrow(int32_t OldWidth, int32_t OldHeight, double Fill, int32_t HorizAlign, int32_t VertAlign);
  // Moves the inclusive rectangle (X1, Y1)-(X2, Y2) so that its top-left corner lands on (DstX,
  // DstY), clipped; with FillSource the source area is filled with Fill first. Overlaps are safe.
  void MoveRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DstX, int32_t DstY, double Fill,
                bool FillSource);

  // ---- Palette ----
  TIERGB* GetPaletteBuffer() override { return palette_.get(); }
  int32_t GetPaletteLength() override { return paletteLength_; }
  TIERGB GetPaletteColor(int32_t Index) override;
  void SetPaletteColor(int32_t Index, TIERGB Value) override;
  // Writes the palette into the framework bitmap's colour table (ieTBitmap only).
  void RealizePalette();
  // Dest (a TIEBitmap) gets a copy of this palette, or none when this bitmap has none.
  void CopyPaletteTo(TIEBaseBitmap* Dest) override;

  // ---- Alpha channel ----
  bool HasAlphaChannel() const { return alphaChannel_ != nullptr; }
  // The alpha channel, created fully opaque on first use; nil for a bitmap that is an alpha channel.
  TIEBitmap* GetAlphaChannel();
  // Installs Channel as the alpha channel (this bitmap owns it from now on) and hands the previous
  // one back to the caller, who keeps it and later restores or frees it.
  std::unique_ptr<TIEBitmap> SetAlphaChannel(std::unique_ptr<TIEBitmap> Channel);
  // Frees the alpha channel; with Merge an ie24RGB bitmap is first blended towards Background.
  void RemoveAlphaChannel(bool Merge = false, TColor Background = clWhite);
  // Alpha of one pixel (the channel is created on first use, so an image without one reads 255).
  uint8_t GetAlpha(int32_t X, int32_t Y);
  void SetAlpha(int32_t X, int32_t Y, uint8_t Value);
  // ie32RGB: the fourth bytes to the alpha channel (ToAlpha) or the alpha channel to the fourth bytes.
  void SyncAlpha32(bool ToAlpha);
  // Sets Full when every packed byte is 255, else clears it.
  void SyncFull();

  // ---- Tests on the whole image ----
  // True when every pixel is grey: equal red, green and blue (palette entries for ie8p), equal C,
  // M and Y for ieCMYK, a = b = 0 for ieCIELab; true for the grey formats.
  bool IsGrayScale();
  // True when every packed byte of every row is 0.
  bool IsAllZero();

  // ---- Single pixels (the caller keeps X, Y inside the bitmap) ----
  uint8_t GetPixel8(int32_t X, int32_t Y);
  void SetPixel8(int32_t X, int32_t Y, uint8_t Value);
  uint16_t GetPixel16(int32_t X, int32_t Y);
  void SetPixel16(int32_t X, int32_t Y, uint16_t Value);
  float GetPixel32f(int32_t X, int32_t Y);
  void SetPixel32f(int32_t X, int32_t Y, float Value);
  int32_t GetPixelCMYK(int32_t X, int32_t Y);
  void SetPixelCMYK(int32_t X, int32_t Y, int32_t Value);
  TIERGB GetPixel24(int32_t X, int32_t Y);
  TIERGB GetPixel24Rec(int32_t X, int32_t Y) { return GetPixel24(X, Y); }
  void SetPixel24(int32_t X, int32_t Y, TIERGB Value);
  TIERGB* GetPixelPtr24(int32_t X, int32_t Y);
  TIERGB48 GetPixel48(int32_t X, int32_t Y);
  void SetPixel48(int32_t X, int32_t Y, TIERGB48 Value);
  TIERGB48* GetPixelPtr48(int32_t X, int32_t Y);
  // Any format as RGB (ie32f clamped to 0..1 first).
  TIERGB GetPixelRGB(int32_t X, int32_t Y);

  // ---- Fill, copy and assign ----
  // Every pixel set to Value read per format: the low byte for ie8p/ie8g, the low 16 bits for
  // ie16g, Value itself for ie32f, a TColor (system colours resolved) for the colour formats; sets
  // Full when the value is the format's full value.
  void Fill(double Value);
  // The inclusive rectangle, clipped, filled as Fill does. Full is not changed.
  void FillRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Value);
  // Copies a rectangle into Dest (clipped to both): equal formats byte-wise, ie1g to ie1g as bit
  // runs, ie1g to ie24RGB as 0/255; other pairs copy nothing.
  void CopyRectTo(TIEBitmap& Dest, int32_t SrcX, int32_t SrcY, int32_t DstX, int32_t DstY, int32_t Width,
                  int32_t Height);
  // A complete copy (pixels, palette, alpha channel, Full, alignment) keeping this bitmap's location.
  void Assign(TIEBaseBitmap* Source) override;
  void Assign(TIEBitmap& Source) { Assign(static_cast<TIEBaseBitmap*>(&Source)); }
  // A framework bitmap as the source: CopyFromTBitmap.
  void Assign(TBitmap& Source) { CopyFromTBitmap(Source); }
  // Like Assign, but keeps this bitmap's alpha channel, RowAlignment and BWConversion and clears
  // Full; nothing at all when Source is empty.
  void AssignImage(TIEBitmap& Source);
  // Fills this bitmap, already allocated in its own format at Source's size, from Source, converting
  // each pixel; then copies Source's alpha channel. Nothing for a different size or when this
  // bitmap is in ieTBitmap.
  void CopyAndConvertFormat(TIEBitmap& Source);

  // Same size, alpha channels of both (created on first use): each destination alpha byte of the
  // rectangle becomes the larger of the two. The rectangle is clipped as CopyRectTo clips it.
  void MergeAlphaRectTo(TIEBitmap& Dest, int32_t SrcX, int32_t SrcY, int32_t DstX, int32_t DstY, int32_t Width,
                        int32_t Height);

  // ---- Pixel-format conversion ----
  // ConvertPixelFormat(Format) unless the bitmap already has Format.
  void SetPixelFormat(TIEPixelFormat Format);
  // Converts every pixel to Format, keeping size, alpha channel and settings. Conversions to ie1g
  // dither (BWConversion 0) or threshold at the mean colour's grey (1); to ie8p from colour they
  // quantize to PaletteUsed colours; ie16g to ie24RGB maps the display range when one is set. The
  // bitmap is left empty (0 x 0) when the new pixels cannot be had. In the ieTBitmap location the
  // formats go by TBitmapFormatFor (ie16g becomes ie8g; the formats a framework bitmap cannot hold
  // raise Exception before anything changes).
  void ConvertPixelFormat(TIEPixelFormat Format);

  // ---- Imports and exports (ie_bitmap_import.cpp) ----
  // Copies a framework bitmap: 1 bit black and white as ie1g, 1 bit with other colours, 4 and 8
  // bits as ie8p with their colour table, 15 and 16 bits as ie24RGB (channels widened to 8 bits),
  // 24 bits as ie24RGB, 32 bits as ie32RGB; a device-dependent bitmap through a 24-bit (1-bit when
  // monochrome) copy. In the ieTBitmap location the framework bitmap of this one receives a copy.
  // The caller's bitmap is never changed. Full is cleared.
  void CopyFromTBitmap(TBitmap& Bitmap);
  // Copies a DIB bitmap of 1, 8 or 24 bits as ie1g, ie8g or ie24RGB; nothing for nil or another
  // depth.
  void CopyFromTIEDibbitmap(TIEDibbitmap* Dib);
  // A 1-bit mask as ie1g, an 8-bit one as ie8g, Full taken from the mask; nil fills this bitmap
  // with 255 (fully selected).
  void CopyFromMask(TIEMask* Mask);
  // ie1g into a 1-bit mask, ie8g and the grey level of ie24RGB into an 8-bit one; the mask's box
  // is made exact and its Full taken from this bitmap (checked for ie24RGB). Other formats: nothing.
  void CopyToMask(TIEMask& Mask);
  // Dest becomes the mask's bounding box of this bitmap (same format and palette) with the
  // selected pixels copied and its alpha channel transparent where the mask does not select.
  // Nothing when the mask selects nothing.
  void CopySelectionTo(TIEBitmap& Dest, TIEMask& Mask);

  // ---- Rendering (ie_bitmap_render.cpp, ie_render_print.cpp) ----
  // Draws the source rectangle (SrcX, SrcY, SrcWidth, SrcHeight) of this bitmap, of any format,
  // into the rectangle (DstX, DstY, DstWidth, DstHeight) of Dest, an ie24RGB bitmap (any location;
  // another format gets nothing drawn). Rectangles reaching past Dest are cut with their source
  // part; the source rectangle is clipped to the image. ClipRect (inclusive; nil: none) limits the
  // pixels written. Scaling picks the nearest source pixel, or, with a Filter other than rfNone for
  // an ie1g or ie24RGB source changing size, resamples first. The source's display settings apply
  // (Contrast, channel offsets, display range), then the blend operation BlendOp, then Opacity
  // (255 opaque) and, with UseAlpha, an alpha channel that is not Full: each channel d becomes
  // d + floor(a * (v - d) / 256), a = min(Opacity, alpha), and v itself where a is 255.
  // DestRows, ColumnMap and RowMap may be nil; given, they are used when they were built for this
  // geometry and rebuilt otherwise, and the tables the call builds are left in them unless
  // FreeMaps. ReuseRows copies the destination row above when its source row repeats. Never raises.
  void RenderToTIEBitmapEx(TIEBitmap& Dest, TIERenderDestRows* DestRows, TIERenderIndexMap* ColumnMap,
                           TIERenderIndexMap* RowMap, const TRect* ClipRect, int32_t DstX, int32_t DstY,
                           int32_t DstWidth, int32_t DstHeight, int32_t SrcX, int32_t SrcY, int32_t SrcWidth,
                           int32_t SrcHeight, bool UseAlpha, bool ReuseRows, int32_t Opacity, TResampleFilter Filter,
                           bool FreeMaps, uint8_t BlendOp);
  // RenderToTIEBitmapEx with fresh tables, no clip rectangle, UseAlpha and without ReuseRows.
  void RenderToTIEBitmap(TIEBitmap& Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                         int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity = 255,
                         TResampleFilter Filter = rfNone, uint8_t BlendOp = 0);
  // The same two onto a 24-bit framework bitmap, wrapped for the call.
  void RenderToTBitmapEx(TBitmap* Dest, TIERenderDestRows* DestRows, TIERenderIndexMap* ColumnMap,
                         TIERenderIndexMap* RowMap, const TRect* ClipRect, int32_t DstX, int32_t DstY,
                         int32_t DstWidth, int32_t DstHeight, int32_t SrcX, int32_t SrcY, int32_t SrcWidth,
                         int32_t SrcHeight, bool UseAlpha, bool ReuseRows, int32_t Opacity, TResampleFilter Filter,
                         bool FreeMaps, uint8_t BlendOp);
  void RenderToTBitmap(TBitmap* Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight, int32_t SrcX,
                       int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity = 255,
                       TResampleFilter Filter = rfNone, uint8_t BlendOp = 0);
  // Copies the source rectangle scaled into the rectangle of the ie24RGB Dest without blending
  // (formats other than ie1g and ie24RGB read as blue, green, red) and writes Dest's alpha channel
  // there: the source's alpha lowered to at most Opacity when it has one that is not Full, else
  // Opacity. With a Filter other than rfNone and a change of size the rectangle is resampled
  // first. Never raises.
  void StretchRectTo(TIEBitmap& Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight, int32_t SrcX,
                     int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, TResampleFilter Filter, int32_t Opacity);
  // Prints the whole bitmap into the rectangle (X, Y, Width, Height) of a device canvas: resampled
  // with Filter into a bitmap of that size and sent in strips of at most a quarter of the memory
  // threshold and 40 MiB, or, with rfNone, stretched by the device from one packed DIB. Gamma other
  // than 1 corrects the colours (0 or less counts as 1).
  void RenderToCanvas(TCanvas& Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, TResampleFilter Filter,
                      double Gamma);

  // ---- Raw bitmap stream "TIEBITMAPRAW" (ie_bitmap_raw.cpp) ----
  // The lossless record of this bitmap: geometry, format, palette, display settings, rows (top row
  // first) and alpha channel, little-endian. SaveRawToBuffer writes RawStreamSize bytes from Buffer.
  void SaveRawToStream(TStream& Stream);
  void SaveRawToBuffer(void* Buffer);
  int64_t RawStreamSize();
  // Reads a record into this bitmap. False, with the bitmap unchanged, for a wrong signature, a
  // negative version or a header that cannot describe an image (format, palette, alignment, sizes,
  // more rows than the data holds); false too when the pixels cannot be allocated. A short stream
  // raises its read error.
  bool LoadRawFromStream(TStream& Stream);
  bool LoadRawFromBuffer(const void* Buffer, int64_t Size);

  // The format a bitmap of PixelFormat takes in the ieTBitmap location (ie16g becomes ie8g).
  // Raises EIEException "... pixel format not allowed when Location=ieTBitmap..." for ie32f, ieCMYK,
  // ieRGB48 and ieCIELab.
  static TIEPixelFormat TBitmapFormatFor(TIEPixelFormat PixelFormat);

  // Test seam: memory blocks above this many bytes are refused as if the operating system had none left
  // (-1: no limit), so tests reach the segment and file fall-backs.
  static int64_t& MaxMemoryBlockForTesting();

 private:
  // CreateAsAlphaChannel, with the size rule's threshold given when Threshold is not nil.
  static std::unique_ptr<TIEBitmap> NewAlphaChannel(int32_t Width, int32_t Height, TIELocation Location,
                                                    const int64_t* Threshold);
  bool AllocateStorage();
  // Allocate, but the alpha channel stays (AssignImage and the rebuild pattern).
  bool AllocateKeepingAlpha(int32_t Width, int32_t Height, TIEPixelFormat PixelFormat);
  bool AllocateMemoryBlock(int64_t Size);
  bool AllocateSegments();
  bool AllocateFileStorage(int64_t Size);
  bool AllocateFrameworkBitmap(int64_t Size);
  bool CreateFrameworkBitmap();
  void FreeSegments();
  void ReleaseMappedRows();
  // Frees the pixel storage (memory, segments, file, framework bitmap) but not palette or alpha.
  void ReleasePixelStorage();
  void FreeFrameworkBitmap();
  void UpdateDerivedFields();
  void RebuildScanLines();
  void ApplyCanvasTransform();
  void AllocatePalette();
  // The rebuild pattern: copies the rows of Old (which took this bitmap's storage) back.
  void CopyRowsFrom(TIEBitmap& Old);
  // Re-allocates at a new size or alignment and copies the rows, palette and alpha channel back;
  // false (and the image unchanged) when no storage can be had.
  bool Rebuild(int32_t NewWidth, int32_t NewHeight, int32_t NewAlignment);
  void ResizeFrameworkBitmap(int32_t NewWidth, int32_t NewHeight);
  void ConvertRowsFrom(TIEBitmap& Source);
  // Fills this bitmap (allocated in its own format at Source's size) with Source's pixels converted
  // by the conversion table; Source is only read.
  void ConvertPixelsFrom(TIEBitmap& Source);
  // Fills this ie8p bitmap with the pixels of an ie24RGB bitmap quantized to PaletteUsed colours.
  void QuantizeFrom(TIEBitmap& Source);
  void ConvertFrameworkPixelFormat(TIEPixelFormat Format);
  // Clips a rectangle copy between this bitmap and Dest; false when nothing is left.
  bool ClipCopyRect(TIEBitmap& Dest, int32_t& SrcX, int32_t& SrcY, int32_t& DstX, int32_t& DstY, int32_t& Width,
                    int32_t& Height);

  std::unique_ptr<TIEFileBuffer> fileBuffer_;
  void* mappedRow_ = nullptr;
  std::unique_ptr<TIERGB[]> palette_;
  int32_t paletteLength_ = 0;
  std::unique_ptr<TIEBitmap> alphaChannel_;
  uint8_t* memoryRows_ = nullptr;
  void* memoryBlock_ = nullptr;
  std::unique_ptr<TFrameworkBitmap> framework_;  // owns the framework bitmap unless externalBitmap_
  std::vector<uint8_t*> scanLines_;
  std::vector<void*> heldRows_;
  std::vector<int32_t> heldRowIndexes_;
  bool topDown_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitCount_ = 0;
  int32_t channelCount_ = 0;
  int32_t rowLen_ = 0;
  TIEPixelFormat pixelFormat_ = ieNoFormat;
  bool isAlphaChannel_ = false;
  TIELocation location_ = ieFile;
  bool full_ = false;
  bool externalBitmap_ = false;
  bool externalMemory_ = false;
  int64_t memoryThreshold_ = 0;
  uint8_t bwConversion_ = 1;
  int32_t paletteUsed_ = 256;
  double displayRangeMin_ = 0;
  double displayRangeMax_ = 0;
  int32_t channelOffset_[4] = {0, 0, 0, 0};
  bool hasChannelOffsets_ = false;
  int32_t contrast_ = 0;
  int32_t rowAlignment_ = 32;
  uint8_t allocationMode_ = 2;
  bool reallocPending_ = true;
  int32_t rowsPerSegment_ = 0;
  std::vector<void*> segments_;
};

// A new bitmap of Source's size in Format holding Source's pixels (converted by CopyAndConvertFormat,
// or copied whole when Format is Source's) with its alpha channel; nil when it cannot be allocated.
std::unique_ptr<TIEBitmap> IEConvertedCopy(TIEBitmap& Source, TIEPixelFormat Format);
