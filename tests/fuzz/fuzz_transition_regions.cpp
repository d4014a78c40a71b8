// The transitions' region tools and region effects with whatever the bytes say: shapes of every code
// in boxes from negative to huge, bar, shred and speckle regions of frames from -64 to 4096 pixels
// with any extents and kinds, sectors of up to 10 000 points (and of none), polygons of coordinate
// lists of any length, rectangle lists, rotations, and the region effects on frames of 0 .. 48
// pixels each way at percents -5 .. 105 with any parameter. Every call must end without touching
// memory outside its pictures, raise nothing and give back every region and object it made.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "imaging/processing/transitions/ie_complex_region.h"
#include "imaging/processing/transitions/ie_effect_table.h"
#include "imaging/processing/transitions/ie_region_builders.h"
#include "imaging/processing/transitions/ie_shape_regions.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/random.h"
#include "tests/fuzz/fuzz_drawing.h"

namespace {

using Bytes = TFuzzBytes;

// A frame side of -64 .. 4096 pixels.
int32_t Side(Bytes& in) { return static_cast<int32_t>((in.U8() | in.U8() << 8) % 4161) - 64; }

// A small window of a 48 x 48 canvas somewhere on the plane, or none.
const TRect* Window(Bytes& in, TRect& w) {
  if (in.U8() & 1) return nullptr;
  const int32_t x = in.U8() & 1 ? in.I32() : in.I16(), y = in.U8() & 1 ? in.I32() : in.I16();
  const int32_t width = in.U8() % 49, height = in.U8() % 49;
  w = Bounds(x, y, width, height);
  return &w;
}

void Shape(Bytes& in) {
  const uint8_t code = in.U8();
  TRect w;
  const TRect* window = Window(in, w);
  // Huge boxes only with a window, as the effects make them: a shape a million pixels high made
  // whole is a million rows.
  const bool huge = window && (in.U8() & 1);
  const int32_t x = huge ? in.I32() : in.I16() % 4096, y = huge ? in.I32() : in.I16() % 4096;
  const int32_t width = huge ? in.I32() : in.I16() % 4097, height = huge ? in.I32() : in.I16() % 4097;
  TOwnedRegion r(CreateShapeRegion(code, x, y, width, height, window));
  (void)ShapePolygon(code, x, y, width, height);
}

void Builder(Bytes& in) {
  const uint8_t which = in.U8() % 3;
  const int32_t w = Side(in), h = Side(in);
  const int32_t xp = in.U8() & 1 ? in.I32() : in.I16(), yp = in.U8() & 1 ? in.I32() : in.I16();
  const int32_t hk = static_cast<int8_t>(in.U8()), vk = static_cast<int8_t>(in.U8());
  TRect win;
  const TRect* window = Window(in, win);
  TOwnedRegion r(which == 0   ? CreateBarsRegion(xp, yp, w, h, hk, vk, window)
                 : which == 1 ? CreateShreddedRegion(xp, yp, w, h, hk, vk, window)
                              : CreateSpeckledRegion(xp, yp, w, h, hk, vk, window));
}

void Sector(Bytes& in) {
  const int32_t count = in.U8() & 1 ? in.I16() % 10001 : static_cast<int8_t>(in.U8());
  // A fan is made row by row over all its points: radii up to 1024 keep a fan of 10 000 points
  // to a few million steps.
  const int32_t radius = in.I16() % 1025;
  const double start = in.I16() / 100.0, end = in.I16() / 100.0;
  TRect w;
  const TRect* window = Window(in, w);
  TOwnedRegion r(CreateSectorRegion(in.I16(), in.I16(), radius, start, end, count, window));
}

void PointList(Bytes& in) {
  std::vector<int32_t> values(in.U8() | (in.U8() & 1) << 8);
  for (int32_t& v : values) v = in.I16() % 4096;
  TOwnedRegion r(CreatePointListRegion(values));
  std::vector<TPoint> points(values.size() / 2);
  for (size_t i = 0; i < points.size(); ++i) points[i] = {values[2 * i], values[2 * i + 1]};
  RotatePoints(points, in.I32(), in.I32(), in.I16() / 100.0);
  RotatePoints(points, in.I16(), in.I16(), in.I16() / 1000.0);
}

void RectangleList(Bytes& in) {
  TComplexRegion list;
  const int32_t n = (in.U8() | in.U8() << 8) % 2001;
  for (int32_t i = 0; i < n && in.More(); ++i) {
    const bool far = in.U8() & 1;
    list.AddRect(far ? in.I32() : in.I16(), far ? in.I32() : in.I16(), far ? in.I32() : in.I16(),
                 far ? in.I32() : in.I16());
  }
  TOwnedRegion r(list.CreateRegion());
  TComplexRegion copy;
  copy.AddRegion(r.Get());
  list.Clear();
  TOwnedRegion none(list.CreateRegion());
  if (none) std::abort();  // an empty list makes no region
}

// The region effects' rows.
int32_t RegionRow(uint8_t pick) {
  static const std::vector<int32_t> rows = [] {
    std::vector<int32_t> r;
    for (int32_t id = 77; id <= kEffectCount; ++id)
      if (!(id >= 151 && id <= 158) && !(id >= 186 && id <= 189)) r.push_back(id);
    return r;
  }();
  return rows[pick % rows.size()];
}

void Procedure(Bytes& in) {
  const TEffectProc proc = EffectRow(RegionRow(in.U8()))->Proc;
  const int32_t w = in.U8() % 49, h = in.U8() % 49;
  auto frame = FuzzPicture(w, h, in.U8());
  // Now and then pictures of other sizes than the frame's.
  const uint8_t spoil = in.U8();
  auto start = FuzzPicture(spoil & 1 ? in.U8() % 49 : w, spoil & 1 ? in.U8() % 49 : h, in.U8());
  auto end = FuzzPicture(spoil & 2 ? in.U8() % 49 : w, spoil & 2 ? in.U8() % 49 : h, in.U8());
  const TRect rect = spoil & 4 ? TRect{in.I16(), in.I16(), in.I16(), in.I16()} : TRect{0, 0, w, h};
  const int32_t param = spoil & 8 ? in.I32() : 1;
  const int32_t calls = 1 + in.U8() % 4;
  for (int32_t k = 0; k < calls; ++k) {
    const int32_t percent = static_cast<int32_t>(in.U8() % 111) - 5;
    proc(frame->Canvas(), start.get(), end.get(), rect, param, percent);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  WarmUpDrawingLayer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  RandSeed = in.U8();
  RunGivingBackEveryObject([&] {
    switch (in.U8() % 6) {
      case 0:
        Shape(in);
        break;
      case 1:
        Builder(in);
        break;
      case 2:
        Sector(in);
        break;
      case 3:
        PointList(in);
        break;
      case 4:
        RectangleList(in);
        break;
      default:
        Procedure(in);
        break;
    }
  });
  return 0;
}
