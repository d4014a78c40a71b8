// DVD sub-pictures: units from packets, control sequences, run-length coded fields, blending.
#include "platform/media/dvd_spu.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// Larger areas than this are no DVD's (the coordinates have 12 bits).
constexpr int32_t kMaxSide = 2048;
// Control sequences walked in one unit.
constexpr int kMaxSequences = 64;

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// Reads the 4-bit units of one field.
class TNibbles {
 public:
  TNibbles(const uint8_t* Data, size_t Size, size_t Offset) : data_(Data), size_(Size), pos_(Offset * 2) {}
  uint32_t Next() {
    if (pos_ / 2 >= size_) {
      overrun_ = true;
      return 0;
    }
    const uint8_t b = data_[pos_ / 2];
    const uint32_t v = (pos_ & 1) ? (b & 0x0F) : (b >> 4);
    ++pos_;
    return v;
  }
  void AlignToByte() { pos_ = (pos_ + 1) & ~size_t{1}; }
  bool Overrun() const { return overrun_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_;
  bool overrun_ = false;
};

void SetNibbles(const uint8_t* p, uint8_t Out[4]) {
  // In the unit's order: code 3, 2, 1, 0.
  Out[3] = p[0] >> 4;
  Out[2] = p[0] & 0x0F;
  Out[1] = p[1] >> 4;
  Out[0] = p[1] & 0x0F;
}

uint8_t Clamp8(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

// ------------------------------------------------------------------------------------ assembling

void TDvdSpuAssembler::Reset() {
  unit_.clear();
  expected_ = 0;
  pts_ = unitPts_ = -1;
  done_ = false;
}

bool TDvdSpuAssembler::Add(const uint8_t* Data, int32_t Size, int64_t Pts) {
  if (!Data || Size <= 0) return false;
  if (done_) {
    unit_.clear();
    expected_ = 0;
    done_ = false;
  }
  if (unit_.empty()) {
    // A unit starts with its size.
    pts_ = Pts;
    unit_.assign(Data, Data + Size);
    if (unit_.size() < 2) {
      unit_.clear();
      return false;
    }
    expected_ = Be16(unit_.data());
    if (expected_ < 4) {
      unit_.clear();
      return false;
    }
  } else {
    unit_.insert(unit_.end(), Data, Data + Size);
  }
  if (unit_.size() < expected_) return false;
  unit_.resize(expected_);
  unitPts_ = pts_;
  done_ = true;
  return true;
}

// -------------------------------------------------------------------------------------- decoding

bool DecodeDvdSubpicture(const uint8_t* Data, size_t Size, TDvdSubpicture& Out) {
  Out = TDvdSubpicture{};
  if (!Data || Size < 4) return false;
  const size_t size = std::min<size_t>(Size, Be16(Data));
  size_t seq = Be16(Data + 2);
  size_t fieldOffset[2] = {0, 0};
  bool haveArea = false, haveOffsets = false, started = false;
  int32_t x1 = 0, x2 = -1, y1 = 0, y2 = -1;
  for (int n = 0; n < kMaxSequences && seq + 4 <= size; ++n) {
    const int64_t delay = int64_t{Be16(Data + seq)} * 1024;
    const size_t next = Be16(Data + seq + 2);
    size_t p = seq + 4;
    bool end = false;
    while (!end && p < size) {
      const uint8_t command = Data[p++];
      switch (command) {
        case 0x00:
          Out.Forced = true;
          [[fallthrough]];
        case 0x01:
          if (!started) Out.StartDelay = delay;
          started = true;
          break;
        case 0x02:
          Out.StopDelay = delay;
          break;
        case 0x03:
          if (p + 2 > size) return false;
          SetNibbles(Data + p, Out.Color);
          p += 2;
          break;
        case 0x04:
          if (p + 2 > size) return false;
          SetNibbles(Data + p, Out.Alpha);
          p += 2;
          break;
        case 0x05:
          if (p + 6 > size) return false;
          x1 = (Data[p] << 4) | (Data[p + 1] >> 4);
          x2 = ((Data[p + 1] & 0x0F) << 8) | Data[p + 2];
          y1 = (Data[p + 3] << 4) | (Data[p + 4] >> 4);
          y2 = ((Data[p + 4] & 0x0F) << 8) | Data[p + 5];
          haveArea = true;
          p += 6;
          break;
        case 0x06:
          if (p + 4 > size) return false;
          fieldOffset[0] = Be16(Data + p);
          fieldOffset[1] = Be16(Data + p + 2);
          haveOffsets = true;
          p += 4;
          break;
        case 0x07: {
          // Colour and contrast changes inside the area: not drawn; passed over.
          if (p + 2 > size) return false;
          const size_t length = Be16(Data + p);
          if (length < 2) return false;
          p += length;
          break;
        }
        case 0xFF:
          end = true;
          break;
        default:
          // An unknown command: the rest of this sequence cannot be read.
          end = true;
          break;
      }
    }
    // The last sequence points at itself; a pointer back would loop.
    if (next <= seq) break;
    seq = next;
  }
  if (!haveArea || !haveOffsets || !started || x2 < x1 || y2 < y1) return false;
  const int32_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  if (w > kMaxSide || h > kMaxSide) return false;
  if (fieldOffset[0] >= size || fieldOffset[1] >= size) return false;
  Out.X = x1;
  Out.Y = y1;
  Out.Width = w;
  Out.Height = h;
  Out.Codes.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  TNibbles fields[2] = {TNibbles(Data, size, fieldOffset[0]), TNibbles(Data, size, fieldOffset[1])};
  for (int32_t y = 0; y < h; ++y) {
    TNibbles& in = fields[y & 1];
    uint8_t* row = Out.Codes.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int32_t x = 0; x < w && !in.Overrun();) {
      uint32_t v = in.Next();
      if (v < 0x4) {
        v = (v << 4) | in.Next();
        if (v < 0x10) {
          v = (v << 4) | in.Next();
          if (v < 0x40) {
            v = (v << 4) | in.Next();
            // A run of 0: to the end of the line.
            if (v < 0x4) v |= static_cast<uint32_t>(w - x) << 2;
          }
        }
      }
      const int32_t run = std::min<int32_t>(static_cast<int32_t>(v >> 2), w - x);
      std::fill(row + x, row + x + run, static_cast<uint8_t>(v & 3));
      x += std::max(run, 1);
    }
    in.AlignToByte();
  }
  return true;
}

// -------------------------------------------------------------------------------------- blending

void DvdClutToRgb(uint32_t Entry, uint8_t& R, uint8_t& G, uint8_t& B) {
  const double y = 1.164 * (static_cast<int>((Entry >> 16) & 0xFF) - 16);
  const double cr = static_cast<int>((Entry >> 8) & 0xFF) - 128;
  const double cb = static_cast<int>(Entry & 0xFF) - 128;
  R = Clamp8(y + 1.596 * cr);
  G = Clamp8(y - 0.813 * cr - 0.391 * cb);
  B = Clamp8(y + 2.018 * cb);
}

void BlendDvdSubpicture(const TDvdSubpicture& Spu, const TDvdHighlight& Highlight, const uint32_t Clut[16],
                        uint8_t* Bits, int32_t RowLength, int32_t Width, int32_t Height) {
  if (!Bits || Spu.Codes.size() != static_cast<size_t>(Spu.Width) * static_cast<size_t>(Spu.Height)) return;
  uint8_t rgb[16][3];
  for (int i = 0; i < 16; ++i) DvdClutToRgb(Clut[i], rgb[i][0], rgb[i][1], rgb[i][2]);
  const int32_t y0 = std::max(0, Spu.Y), y1 = std::min(Height, Spu.Y + Spu.Height);
  const int32_t x0 = std::max(0, Spu.X), x1 = std::min(Width, Spu.X + Spu.Width);
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* codes = Spu.Codes.data() + static_cast<size_t>(y - Spu.Y) * static_cast<size_t>(Spu.Width);
    uint8_t* row = Bits + static_cast<ptrdiff_t>(Height - 1 - y) * RowLength;
    const bool lit = Highlight.Valid && y >= Highlight.Y0 && y <= Highlight.Y1;
    for (int32_t x = x0; x < x1; ++x) {
      const uint8_t c = codes[x - Spu.X];
      const bool inside = lit && x >= Highlight.X0 && x <= Highlight.X1;
      const uint32_t a = inside ? Highlight.Alpha[c] : Spu.Alpha[c];
      if (a == 0) continue;
      const uint8_t* color = rgb[(inside ? Highlight.Color[c] : Spu.Color[c]) & 0x0F];
      uint8_t* px = row + static_cast<ptrdiff_t>(x) * 3;
      // Rows hold blue, green, red.
      for (int k = 0; k < 3; ++k) px[k] = static_cast<uint8_t>((color[2 - k] * a + px[k] * (15 - a) + 7) / 15);
    }
  }
}
