// The transition engine and the effect procedures with whatever the bytes say: frames of 0 .. 48
// pixels each way (the three pictures of a procedure call each their own size), ids 0 .. 255, any
// step, percents and parameters, any frame rectangle, pan-zoom rectangles and source images. Every
// call must end without touching memory outside the pictures, raise nothing and give back every GDI
// object it made.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/transitions/ie_effect_table.h"
#include "imaging/processing/transitions/ie_transition_effects.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/random.h"
#include "tests/fuzz/fuzz_drawing.h"

namespace {

using Bytes = TFuzzBytes;

// A side of 0 .. 48 pixels.
int32_t Size(Bytes& in) { return in.U8() % 49; }

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
  engine.SetTransitionSize(Size(in), Size(in));
  Fill(*engine.StartBitmap(), in.U8());
  Fill(*engine.EndBitmap(), in.U8());
  const uint8_t spoil = in.U8();
  // Now and then a picture that does not match the frame.
  if (spoil & 1) engine.StartBitmap()->SetSize(Size(in), Size(in));
  if (spoil & 2) engine.EndBitmap()->SetPixelFormat(pf32bit);
  engine.SetEffect(static_cast<TIETransitionType>(in.U8()));
  std::unique_ptr<TIEBitmap> source;
  if (spoil & 4) {
    static const TIEPixelFormat formats[] = {ie1g, ie8p, ie8g, ie16g, ie24RGB, ie32f, ieCMYK, ieRGB48, ie32RGB};
    source = std::make_unique<TIEBitmap>(Size(in) + 1, Size(in) + 1, formats[in.U8() % 9]);
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
  auto start = FuzzPicture(Size(in), Size(in), in.U8());
  auto end = FuzzPicture(Size(in), Size(in), in.U8());
  auto frame = FuzzPicture(Size(in), Size(in), in.U8());
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
  WarmUpDrawingLayer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  RandSeed = in.U8();
  const int64_t savedOverride = MinFileSizeOverride;
  MinFileSizeOverride = -1;  // source images in memory
  RunGivingBackEveryObject([&] {
    if (in.U8() & 1)
      Procedure(in);
    else
      Engine(in);
  });
  MinFileSizeOverride = savedOverride;
  return 0;
}
