#pragma once
// DVD sub-pictures (menus' buttons and subtitles): the assembly of a unit from its packets, the
// decoding of its control sequences and run-length coded fields into 2-bit codes, and their blending
// with the colour table (CLUT) and the highlight of a menu button over the rows of a frame. Every
// offset and length is checked against the unit.
#include <cstddef>
#include <cstdint>
#include <vector>

struct TDvdSubpicture {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  std::vector<uint8_t> Codes;  // Width x Height codes 0 ... 3, top row first
  uint8_t Color[4] = {};       // the CLUT entry of each code
  uint8_t Alpha[4] = {};       // the contrast of each code, 0 (transparent) ... 15 (opaque)
  int64_t StartDelay = 0;      // 90 kHz from the unit's stamp
  int64_t StopDelay = -1;      // 90 kHz from the unit's stamp, -1: shown until the next
  bool Forced = false;         // shown even when subtitles are off (menus' buttons)
};

// Gathers the packets of sub-picture units: the first two bytes of a unit give its size.
class TDvdSpuAssembler {
 public:
  // Adds a packet's payload; true when a unit is complete (then Unit() holds it until the next Add).
  bool Add(const uint8_t* Data, int32_t Size, int64_t Pts);
  const std::vector<uint8_t>& Unit() const { return unit_; }
  int64_t UnitPts() const { return unitPts_; }
  void Reset();

 private:
  std::vector<uint8_t> unit_;
  size_t expected_ = 0;
  int64_t pts_ = -1, unitPts_ = -1;
  bool done_ = false;
};

// Decodes one unit; false when it is damaged or shows nothing.
bool DecodeDvdSubpicture(const uint8_t* Data, size_t Size, TDvdSubpicture& Out);

// A menu button's highlight: its rectangle in the picture and the colours and contrasts that replace
// the sub-picture's inside it.
struct TDvdHighlight {
  bool Valid = false;
  int32_t X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;  // inclusive
  uint8_t Color[4] = {};
  uint8_t Alpha[4] = {};
};

// RGB of a CLUT entry (0x00YYCrCb, studio range).
void DvdClutToRgb(uint32_t Entry, uint8_t& R, uint8_t& G, uint8_t& B);

// Blends Spu (with the highlight inside its rectangle) into bottom-up 24-bit rows (blue, green, red)
// of a Width x Height frame.
void BlendDvdSubpicture(const TDvdSubpicture& Spu, const TDvdHighlight& Highlight, const uint32_t Clut[16],
                        uint8_t* Bits, int32_t RowLength, int32_t Width, int32_t Height);
