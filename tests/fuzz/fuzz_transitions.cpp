// The transition engine and the effect procedures with whatever the bytes say: frames of 0 .. 48
// pixels each way (the three pictures of a procedure call each their own size), ids 0 .. 255, any
// step, percents and parameters, any frame rectangle, pan-zoom rectangles and source images. Every
// call must end without touching memory outside the pictures, raise nothing and give back every GDI
// object it made.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/transitions/ie_effect_table.h"
#include "imaging/processing/transitions/ie_transition_effects.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/random.h"

namespace {

// Reads the input front to back; past its end every value is 0.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
  int32_t I16() { return static_cast<int16_t>(U8() | U8() << 8); }
  int32_t I32() { return static_cast<int32_t>(static_cast<uint32_t>(I16()) << 16 | static_cast<uint16_t>(I16())); }
  int32_t Size() { return U8() % 49; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::unique_ptr<TBitmap> Picture(int32_t w, int32_t h, uint8_t seed) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int32_t y = 0; y < h && !b->Empty(); ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int32_t x = 0; x < 3 * w; ++x) row[x] = static_cast<uint8_t>(seed + x * 7 + y * 13);
  }
  return b;
}

void Fill(TBitmap& b, uint8_t seed) {
  if (b.Empty()) return;
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int32_t x = 0; x < 3 * b.Width(); ++x) row[x] = static_cast<uint8_t>(seed ^ (x * 5 + y));
  }
}

int32_t Percent(Bytes& in) {
  const uint8_t kind = in.U8();
  return kind < 200 ? kind % 111 - 5 : in.I32();
}

void Engine(Bytes& in) {
  TIETransitionEffects engine(nullptr);
  engine.SetTransitionSize(in.Size(), in.Size());
  Fill(*engine.StartBitmap(), in.U8());
  Fill(*engine.EndBitmap(), in.U8());
  const uint8_t spoil = in.U8();
  // Now and then a picture that does not match the frame.
  if (spoil & 1) engine.StartBitmap()->SetSize(in.Size(), in.Size());
  if (spoil & 2) engine.EndBitmap()->SetPixelFormat(pf32bit);
  engine.SetEffect(static_cast<TIETransitionType>(in.U8()));
  std::unique_ptr<TIEBitmap> source;
  if (spoil & 4) {
    static const TIEPixelFormat formats[] = {ie1g, ie8p, ie8g, ie16g, ie24RGB, ie32f, ieCMYK, ieRGB48, ie32RGB};
    source = std::make_unique<TIEBitmap>(in.Size() + 1, in.Size() + 1, formats[in.U8() % 9]);
    if (spoil & 8) source->SetAlpha(0, 0, in.U8());
    engine.SetSourceImage(source.get());
  }
  engine.SetPanZoomStart(TRect{in.I16(), in.I16(), in.I16(), in.I16()});
  engine.SetPanZoomEnd(TRect{in.I16(), in.I16(), in.I16(), in.I16()});
  const int32_t steps = 1 + in.U8() % 6;
  for (int32_t k = 0; k < steps; ++k) engine.DrawStep(in.I16());
  engine.StartTransition(true);  // without a view: never runs
  engine.TransitionTick();
  engine.StopTransition();
}

void Procedure(Bytes& in) {
  const int32_t id = 31 + in.U8() % (kEffectCount - 30);
  const TEffectProc proc = EffectRow(id)->Proc;
  if (!proc) return;
  auto start = Picture(in.Size(), in.Size(), in.U8());
  auto end = Picture(in.Size(), in.Size(), in.U8());
  auto frame = Picture(in.Size(), in.Size(), in.U8());
  const uint8_t rectKind = in.U8();
  TRect rect = rectKind < 128 ? TRect{0, 0, frame->Width(), frame->Height()}
                              : (rectKind < 224 ? TRect{in.I16(), in.I16(), in.I16(), in.I16()}
                                                : TRect{in.I32(), in.I32(), in.I32(), in.I32()});
  const int32_t param = in.U8() < 200 ? 1 : in.I32();
  const int32_t calls = 1 + in.U8() % 4;
  for (int32_t k = 0; k < calls; ++k) proc(frame->Canvas(), start.get(), end.get(), rect, param, Percent(in));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Whatever the drawing layer makes once (stock objects) exists before the first count.
  auto warm = Picture(2, 2, 0);
  warm->Canvas()->Pen()->Handle();
  warm->Canvas()->Brush()->Handle();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  RandSeed = in.U8();
  const int32_t objects = GdiObjectCount();
  const int64_t savedOverride = MinFileSizeOverride;
  MinFileSizeOverride = -1;  // source images in memory
  try {
    if (in.U8() & 1)
      Procedure(in);
    else
      Engine(in);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "raised: %s\n", e.what());
    std::abort();  // nothing may leave a frame's drawing
  } catch (...) {
    std::abort();
  }
  MinFileSizeOverride = savedOverride;
  if (GdiObjectCount() != objects) {
    std::fprintf(stderr, "GDI objects: %d before, %d after (bitmaps %d, DCs %d, pens %d, brushes %d, regions %d)\n",
                 objects, GdiObjectCount(), GdiObjectCount(OBJ_BITMAP), GdiObjectCount(OBJ_DC),
                 GdiObjectCount(OBJ_PEN), GdiObjectCount(OBJ_BRUSH), GdiObjectCount(OBJ_REGION));
    std::abort();
  }
  return 0;
}
