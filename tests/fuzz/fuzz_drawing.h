#pragma once
// What the fuzz targets of the drawing code share: the input read as numbers, 24-bit pictures of
// any size, and a run that must raise nothing and give back every GDI object it made.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "platform/gdi/bitmap.h"

// Reads the input front to back; past its end every value is 0.
class TFuzzBytes {
 public:
  TFuzzBytes(const uint8_t* Data, size_t Size) : data_(Data), size_(Size) {}
  uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
  int32_t I16() { return static_cast<int16_t>(U8() | U8() << 8); }
  int32_t I32() { return static_cast<int32_t>(static_cast<uint32_t>(I16()) << 16 | static_cast<uint16_t>(I16())); }
  bool More() const { return pos_ < size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A W x H 24-bit picture filled with a pattern from Seed (empty for a side of 0).
inline std::unique_ptr<TBitmap> FuzzPicture(int32_t W, int32_t H, uint8_t Seed) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(W, H);
  for (int32_t y = 0; y < H && !b->Empty(); ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int32_t x = 0; x < 3 * W; ++x) row[x] = static_cast<uint8_t>(Seed + x * 7 + y * 13);
  }
  return b;
}

// Makes what the drawing layer makes once (its stock objects), so that it stands before the first
// count of objects.
inline void WarmUpDrawingLayer() {
  auto warm = FuzzPicture(2, 2, 0);
  warm->Canvas()->Pen()->Handle();
  warm->Canvas()->Brush()->Handle();
}

// Runs Fn; an exception or a GDI object more or fewer afterwards ends the program.
template <class F>
void RunGivingBackEveryObject(F&& Fn) {
  const int32_t objects = GdiObjectCount();
  try {
    Fn();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "raised: %s\n", e.what());
    std::abort();  // nothing may leave a frame's drawing
  } catch (...) {
    std::abort();
  }
  if (GdiObjectCount() != objects) {
    std::fprintf(stderr, "GDI objects: %d before, %d after (bitmaps %d, DCs %d, pens %d, brushes %d, regions %d)\n",
                 objects, GdiObjectCount(), GdiObjectCount(OBJ_BITMAP), GdiObjectCount(OBJ_DC),
                 GdiObjectCount(OBJ_PEN), GdiObjectCount(OBJ_BRUSH), GdiObjectCount(OBJ_REGION));
    std::abort();
  }
}
