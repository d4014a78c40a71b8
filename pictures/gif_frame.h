#pragma once
// TGIFSubImage: one frame of a GIF picture. Its image descriptor (place and size on the logical
// screen), an optional local colour table, the pixels as colour indices (rows top-down, no gaps) and
// the frame's extensions. Besides reading and writing itself it renders itself into a framework
// bitmap with a transparency mask, imports any framework graphic through colour reduction, draws
// itself stretched, tiled or transparent, and is cropped and merged when an image is compacted.
#include <cstdint>
#include <memory>
#include <vector>

#include "pictures/gif_color_map.h"
#include "pictures/gif_extensions.h"
#include "pictures/gif_item.h"
#include "platform/gdi/bitmap.h"

class TGIFSubImage;

class TGIFLocalColorMap : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage* SubImage) : subImage_(SubImage) {}

 protected:
  void Warning(int32_t Severity, const std::string& Message) override;
  void BuildHistogram(std::vector<int64_t>& Counts) override;
  void MapPixels(const uint8_t* Map) override;
  void Changed() override;

 private:
  TGIFSubImage* subImage_;
};

class TGIFSubImage : public TGIFItem {
 public:
  explicit TGIFSubImage(TGIFImage* Image);
  ~TGIFSubImage() override;

  // ---- The image descriptor.
  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetLeft(int32_t Value) { SetBounds(Value, top_, width_, height_); }
  void SetTop(int32_t Value) { SetBounds(left_, Value, width_, height_); }
  void SetWidth(int32_t Value) { SetBounds(left_, top_, Value, height_); }
  void SetHeight(int32_t Value) { SetBounds(left_, top_, width_, Value); }
  // Sets all four (each 0..65535). A new width or height gives new pixels, all 0; a frame that
  // reaches past the logical screen widens it, with a warning when the screen had a size.
  void SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height);
  TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
  bool Interlaced() const { return (packed_ & 0x40) != 0; }
  void SetInterlaced(bool Value) { packed_ = static_cast<uint8_t>(Value ? packed_ | 0x40 : packed_ & ~0x40); }
  uint8_t Packed() const { return packed_; }

  // ---- Pixels.
  bool Empty() const { return pixels_.empty() || width_ == 0 || height_ == 0; }
  uint8_t* Data() { return pixels_.data(); }
  const uint8_t* Data() const { return pixels_.data(); }
  int64_t DataSize() const { return static_cast<int64_t>(pixels_.size()); }
  // "Invalid pixel coordinates" outside the frame, "Image is empty" for a frame of no size.
  uint8_t Pixels(int32_t X, int32_t Y);
  void SetPixels(int32_t X, int32_t Y, uint8_t Value);
  uint8_t* Scanline(int32_t Y);
  // After the pixels were changed in place: the rendered bitmap and mask are made again when asked.
  void PixelsChanged() { FreeBitmap(); }

  // ---- Colour.
  TGIFLocalColorMap* ColorMap() { return &colorMap_; }
  // The local map when it has entries or the global one has none; else the global map.
  TGIFColorMap* ActiveColorMap();
  int32_t BitsPerPixel() const { return colorMap_.BitsPerPixel(); }
  int32_t ColorResolution() const { return colorMap_.BitsPerPixel() - 1; }
  // The bitmap's palette, else the stored local palette, else a new one: the web palette when the
  // image dithers, the image's palette when the local map is empty (not stored), else the local map.
  HPALETTE Palette();
  void SetPalette(HPALETTE Value);
  // The local palette was dropped (its map changed).
  void FreePalette();

  // ---- Extensions.
  TGIFExtensionList* Extensions() { return &extensions_; }
  // The frame's first graphic control extension, whose transparency, disposal and delay apply.
  TGIFGraphicControlExtension* GraphicControlExtension() const;
  bool Transparent() const;
  int32_t Version() const override;

  // ---- Rendering and drawing (gif_frame_render.cpp).
  // The frame rendered (on demand): 8 bits with the frame's palette, or dithered to the web palette.
  TBitmap* Bitmap();
  // Takes the bitmap over as the frame's rendering.
  void SetBitmap(std::unique_ptr<TBitmap> Value);
  bool HasBitmap() const { return bitmap_ != nullptr; }
  // The 1-bit transparency mask (bit 1 = transparent), rendered with the bitmap; null when no pixel
  // is transparent.
  HBITMAP Mask() const { return mask_; }
  bool HasMask();
  void FreeBitmap();
  void FreeMask();
  // Draws the frame into Rect of Canvas, placed on the logical screen scaled to Rect, or at its own
  // size over and over from Rect's top left (Tiled), through its mask when Transparent.
  void Draw(TCanvas* Canvas, const TRect& Rect, bool Transparent, bool Tiled);
  // The frame's rectangle on the logical screen scaled into Rect.
  TRect ScaleRect(const TRect& Rect) const;

  // ---- Editing (gif_frame_import.cpp, gif_frame_compact.cpp).
  void Clear();
  // From another frame, a framework bitmap or another graphic or picture.
  void Assign(TPersistent* Source) override;
  // Into a framework bitmap: the rendered frame.
  void AssignTo(TPersistent* Dest) override;
  // Cuts a transparent frame to the rectangle of its non-transparent pixels; a frame with none
  // becomes empty.
  void Crop();
  // Turns pixels that repeat the previous visible frame into transparent ones.
  void Merge(TGIFSubImage* Previous);

  // ---- Stream (gif_frame.cpp).
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;
  // "Color not in color table" when a pixel's index is not below the colour count the frame is
  // written with; checked before anything is written.
  void CheckPixels() const;
  // The colour count and bits per pixel the frame's pixels are written with: its local map's, else
  // the image's.
  int32_t EncodingColors() const;
  int32_t EncodingBits() const;

 private:
  void AllocatePixels();
  void RenderPlain(TBitmap& Target);
  void RenderDithered(TBitmap& Target);
  // Whether this rendering makes the mask (asked for, transparent, none yet); the request is taken.
  bool TakeMaskRequest();
  void RenderProgress(int32_t Row);
  void ImportBitmap(TBitmap& Source);
  void AssignFromBitmap(TBitmap& Source);
  void AddTransparencyFromMask(TBitmap& Mask);

  int32_t left_ = 0;
  int32_t top_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint8_t packed_ = 0;
  std::vector<uint8_t> pixels_;
  TGIFLocalColorMap colorMap_;
  std::unique_ptr<TBitmap> bitmap_;
  HBITMAP mask_ = nullptr;
  bool needMask_ = true;
  TGIFExtensionList extensions_;
  HPALETTE palette_ = nullptr;
};

// A frame's pixels go through the colour maps: the local map when it has entries, else the global.
bool GIFFrameUsesGlobalMap(TGIFSubImage* Frame);
