#pragma once
// A GIF colour table of up to 256 RGB entries: read and written in the file's form, turned into and
// from palettes and colour tables, and optimised (sorted by use, unused colours dropped, the pixels
// that use it renumbered). TGIFGlobalColorMap (gif_header.h) serves the frames without a table of
// their own, TGIFLocalColorMap (gif_frame.h) one frame. Colours are exchanged as TColor values, red
// in the low byte.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/color.h"
#include "platform/gdi/gdi.h"
#include "platform/system/classes.h"

class TStream;

struct TGIFColor {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

class TGIFColorMap : public TPersistent {
 public:
  TGIFColorMap() = default;
  TGIFColorMap(const TGIFColorMap&) = delete;
  TGIFColorMap& operator=(const TGIFColorMap&) = delete;

  void Clear();
  int32_t Count() const { return count_; }
  int32_t Capacity() const { return static_cast<int32_t>(entries_.size()); }
  // Makes room for Size entries: 16 up to 16, else Size rounded up to a multiple of 32, never above
  // 256; a smaller size than the current room is ignored.
  void SetCapacity(int32_t Size);
  // Set by optimising (the table is in order of use), cleared by every addition or deletion.
  bool Optimized() const { return optimized_; }
  // 0 for an empty map, else the smallest b >= 1 with 2^b entries holding them all.
  int32_t BitsPerPixel() const;

  // Reads Count entries (3 bytes each); "Premature end of data" when they are not all there.
  void LoadFromStream(TStream& Stream, int32_t Count);
  // Writes the entries and black ones after them up to 2^BitsPerPixel (or 2^Bits when that is more);
  // nothing for an empty map.
  void SaveToStream(TStream& Stream, int32_t Bits = 0) const;

  // The index of an equal entry: the first one in an optimised map, else the last; -1 when absent.
  int32_t IndexOf(TColor Color) const;
  // Appends an entry and returns its index; a full map (256) fails with "Color table overflow".
  int32_t Add(TColor Color);
  int32_t AddUnique(TColor Color);
  // "Invalid color index" outside the entries.
  void Delete(int32_t Index);
  // The entry's colour. Outside the entries: the warning "Invalid color index", then entry 0, or
  // "Color table is empty" for an empty map.
  TColor Colors(int32_t Index);
  const TGIFColor& Entry(int32_t Index) const { return entries_[Index]; }
  const TGIFColor* Data() const { return entries_.data(); }

  // Replaces the entries with a palette's (up to 256), a colour table's (blue, green, red quads) or
  // the colour table of the DIB selected into a device context.
  void ImportPalette(HPALETTE Palette);
  void ImportColorTable(const RGBQUAD* Colors, int32_t Count);
  void ImportDIBColors(HDC DC);
  // A new palette of the entries (each flagged not to be collapsed), owned by the caller; null for an
  // empty map.
  HPALETTE ExportPalette() const;

  void Assign(TPersistent* Source) override;

  // Sorts the entries by how many pixels use them, most used first, renumbering the pixels (and
  // transparent indices) that use the map and dropping unused entries from the end. Pixels whose
  // index lies outside the map are neither counted nor renumbered. Returns false for maps of fewer
  // than two entries. An order that is already right changes nothing but the optimised flag.
  virtual bool Optimize();

 protected:
  virtual void Warning(int32_t Severity, const std::string& Message) = 0;
  // Adds to Counts[i] the pixels served by this map that use entry i (Counts has Count() entries).
  virtual void BuildHistogram(std::vector<int64_t>& Counts) = 0;
  // Renumbers the served pixels and transparent indices through Map (256 entries).
  virtual void MapPixels(const uint8_t* Map) = 0;
  // The entries changed.
  virtual void Changed() = 0;

  // For BuildHistogram: counts the indices of N pixels that lie within the map.
  void CountPixels(const uint8_t* Pixels, int64_t N, std::vector<int64_t>& Counts) const;
  // For MapPixels: renumbers N pixels through Map.
  static void RemapPixels(uint8_t* Pixels, int64_t N, const uint8_t* Map);

 private:
  std::vector<TGIFColor> entries_;  // Capacity() entries, the first Count() in use
  int32_t count_ = 0;
  bool optimized_ = false;
};
