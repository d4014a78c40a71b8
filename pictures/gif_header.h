#pragma once
// The header of a GIF file (signature, version, logical screen descriptor and global colour table),
// the global colour map it holds, and the trailer.
#include <cstdint>

#include "pictures/gif_color_map.h"
#include "pictures/gif_item.h"

class TGIFHeader;

// The colour map of the frames without one of their own.
class TGIFGlobalColorMap : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFHeader* Header) : header_(Header) {}
  // Nothing while the image has no frames.
  bool Optimize() override;

 protected:
  void Warning(int32_t Severity, const std::string& Message) override;
  // The pixels of every frame the map serves, and the header's background index once (so that the
  // background colour keeps its entry).
  void BuildHistogram(std::vector<int64_t>& Counts) override;
  // Renumbers those pixels, their frames' transparent indices and the background index.
  void MapPixels(const uint8_t* Map) override;
  // Drops the image's palette.
  void Changed() override;

 private:
  TGIFHeader* header_;
};

class TGIFHeader : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* Image) : TGIFItem(Image), colorMap_(this) {}

  // An empty colour map and all of the descriptor 0.
  void Clear();
  // From another header (colour map and descriptor) or from a colour map (the header cleared first).
  void Assign(TPersistent* Source) override;
  // 2 when the global map is sorted or an aspect ratio is given.
  int32_t Version() const override;
  // Writes "GIF87a" or "GIF89a" as the image's frames need ("Unsupported GIF version" for an image
  // without frames), the descriptor and the global colour table.
  void SaveToStream(TStream& Stream) override;
  // Finds the "GIF" signature here or 4 bytes on ("Invalid GIF signature"), then reads the
  // descriptor and the global colour table.
  void LoadFromStream(TStream& Stream) override;
  // The packed byte as it is written: the global table's presence, sort flag and size (the size it
  // is written with), and the image's colour resolution.
  void Prepare();

  uint16_t ScreenWidth() const { return width_; }
  uint16_t ScreenHeight() const { return height_; }
  void SetScreenWidth(uint16_t Value) { width_ = Value; }
  void SetScreenHeight(uint16_t Value) { height_ = Value; }
  uint8_t Packed() const { return packed_; }
  uint8_t BackgroundColorIndex() const { return background_; }
  void SetBackgroundColorIndex(uint8_t Value) { background_ = Value; }
  uint8_t AspectRatio() const { return aspect_; }
  void SetAspectRatio(uint8_t Value) { aspect_ = Value; }
  // The global map's entry at the background index.
  TColor BackgroundColor();
  TGIFGlobalColorMap* ColorMap() { return &colorMap_; }
  int32_t BitsPerPixel() const { return colorMap_.BitsPerPixel(); }
  int32_t ColorResolution() const { return colorMap_.BitsPerPixel() - 1; }

 private:
  uint16_t width_ = 0;
  uint16_t height_ = 0;
  uint8_t packed_ = 0;
  uint8_t background_ = 0;
  uint8_t aspect_ = 0;
  TGIFGlobalColorMap colorMap_;
};

// The ";" that ends a file. A missing one is accepted; another byte in its place warns
// "Invalid Image trailer".
class TGIFTrailer : public TGIFItem {
 public:
  explicit TGIFTrailer(TGIFImage* Image) : TGIFItem(Image) {}
  void SaveToStream(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;
};
