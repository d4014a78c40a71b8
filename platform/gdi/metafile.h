#pragma once
// Metafiles: Windows metafiles (WMF, with or without the 22-byte placeable header) and enhanced
// metafiles (EMF), held as their bytes and played by the drawing layer's own record player onto any
// device context. TMetafile is the framework's picture class for them (registered with TPicture
// for ".wmf", ".emf" and the clipboard's CF_ENHMETAFILE, whose data here is a global block holding
// the EMF bytes).
//
// Sizes: an enhanced metafile is as large as its frame (0.01 mm) at the screen's pixels per inch,
// an empty frame falling back to its bounds; a placeable one as its box at its units per inch; a
// plain Windows metafile as its first window extent at 1440 units per inch; one without any of
// these has size 0. Playback maps the frame (EMF, in the reference device's pixels) or the window
// (WMF) onto the destination rectangle; the file's own mapping records compose with that map.
// Records the player does not draw are skipped with one debug-log line per kind and file; a record
// whose size is 0 or reaches past the end stops playback.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/bitmap.h"

// What the header of a metafile says.
struct TMetafileHeader {
  bool Enhanced = false;
  bool Placeable = false;
  int64_t Width = 0;   // pixels at the screen's resolution
  int64_t Height = 0;
  // The picture's rectangle in the space playback maps from: the frame in the reference device's
  // pixels (EMF) or the window in logical units (WMF).
  double Left = 0, Top = 0, Right = 0, Bottom = 0;
  double PixelsPerMmX = 0, PixelsPerMmY = 0;  // the reference device's (EMF)
  size_t HeaderOffset = 0;  // where the WMF header starts (22 after a placeable header)
};

// Reads and checks the header; false for bytes that are no metafile.
bool ReadMetafileHeader(const uint8_t* data, size_t size, TMetafileHeader& header);

// Plays a metafile onto dc, its picture fitted to rect (logical units of dc); false for bytes that
// are no metafile or a dc with no pixels.
bool PlayMetafile(HDC dc, const uint8_t* data, size_t size, const TRect& rect);

class TMetafile : public TGraphic {
 public:
  TMetafile() = default;

  bool Empty() const override { return data_.empty(); }
  // The size drawing at (0, 0) uses; a size change keeps the picture, drawn stretched.
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void SetWidth(int32_t width) override;
  void SetHeight(int32_t height) override;
  bool Enhanced() const { return header_.Enhanced; }
  const TMetafileHeader& Header() const { return header_; }
  const std::vector<uint8_t>& Data() const { return data_; }

  // Raises EInvalidGraphic "Metafile is not valid" for data that is no metafile (the picture
  // stays as it was).
  void LoadFromStream(TStream& stream) override;
  void LoadFromBytes(const void* data, size_t size);
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE palette) override;
  void SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette) override;
  void Assign(TPersistent* source) override;
  void Draw(TCanvas* canvas, const TRect& rect) override;

 private:
  std::vector<uint8_t> data_;
  TMetafileHeader header_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};
