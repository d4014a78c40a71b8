// Drawing and stretching with whatever the bytes say: sources of every pixel format and 1 .. 40
// pixels each way (held in memory or in a file, with or without an alpha channel and display
// settings), destinations of 1 .. 40 pixels, origins and sizes varied together (negative, huge,
// empty), clip rectangles, kept tables from an earlier call of another geometry, opacity, filters
// and blend operations. Nothing may be touched outside either bitmap and nothing may raise.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "tests/fuzz/fuzz_drawing.h"

namespace {

using Bytes = TFuzzBytes;

// A coordinate or size: mostly small, now and then anything.
int32_t Coordinate(Bytes& in) {
  const uint8_t kind = in.U8();
  if (kind < 160) return kind % 90 - 45;
  if (kind < 240) return in.I16();
  return in.I32();
}

std::unique_ptr<TIEBitmap> MakeBitmap(Bytes& in, TIEPixelFormat format, bool inFile) {
  const int64_t saved = MinFileSizeOverride;
  MinFileSizeOverride = inFile ? 0 : -1;
  auto b = std::make_unique<TIEBitmap>();
  MinFileSizeOverride = saved;
  if (!b->Allocate(1 + in.U8() % 40, 1 + in.U8() % 40, format)) return nullptr;
  const uint8_t seed = in.U8();
  for (int32_t y = 0; y < b->Height(); ++y) {
    auto* row = static_cast<uint8_t*>(b->GetRow(y));
    for (int32_t i = 0; i < b->RowLen(); ++i) row[i] = static_cast<uint8_t>(seed + i * 7 + y * 13);
  }
  return b;
}

void Draw(Bytes& in, TIEBitmap& src, TIEBitmap& dst, TIERenderDestRows& rows, TIERenderIndexMap& columns,
          TIERenderIndexMap& rowMap) {
  const int32_t dx = Coordinate(in), dy = Coordinate(in), dw = Coordinate(in), dh = Coordinate(in);
  const int32_t sx = Coordinate(in), sy = Coordinate(in), sw = Coordinate(in), sh = Coordinate(in);
  const uint8_t flags = in.U8();
  const TRect clip{Coordinate(in), Coordinate(in), Coordinate(in), Coordinate(in)};
  const int32_t opacity = flags & 0x40 ? in.I16() : in.U8();
  const auto filter = static_cast<TResampleFilter>(flags & 0x80 ? in.U8() % 14 : 0);
  const uint8_t blendOp = flags & 0x20 ? in.U8() % 46 : 0;
  if (flags & 1) {
    src.StretchRectTo(dst, dx, dy, dw, dh, sx, sy, sw, sh, filter, opacity);
    return;
  }
  src.RenderToTIEBitmapEx(dst, flags & 2 ? &rows : nullptr, flags & 2 ? &columns : nullptr,
                          flags & 2 ? &rowMap : nullptr, flags & 4 ? &clip : nullptr, dx, dy, dw, dh, sx, sy, sw, sh,
                          flags & 8, flags & 16, opacity, filter, !(flags & 2), blendOp);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  static const TIEPixelFormat formats[] = {ie1g,  ie8p,    ie8g,     ie16g,    ie24RGB, ie32f,
                                           ieCMYK, ieRGB48, ieCIELab, ie32RGB, ie8g};
  const uint8_t setup = in.U8();
  auto src = MakeBitmap(in, formats[in.U8() % 11], setup & 1);
  auto dst = MakeBitmap(in, setup & 2 ? ie24RGB : formats[in.U8() % 11], setup & 4);
  if (!src || !dst) return 0;
  if (src->PixelFormat() == ie8p && (setup & 8)) src->SetPaletteColor(1, TIERGB{1, 2, 3});
  if (setup & 16) {
    src->GetAlphaChannel()->Fill(in.U8());
    src->GetAlphaChannel()->SetFull(in.U8() & 1);
  }
  if (setup & 32) {
    src->SetContrast(in.I16());
    src->SetChannelOffset(in.U8() % 4, in.I16());
    src->SetDisplayRangeMin(in.I16());
    src->SetDisplayRangeMax(in.I16());
  }
  TIERenderDestRows rows;
  TIERenderIndexMap columns, rowMap;
  const int32_t calls = 1 + in.U8() % 4;
  for (int32_t k = 0; k < calls; ++k) {
    Draw(in, *src, *dst, rows, columns, rowMap);
    // Now and then the destination changes size between two calls with the same kept tables.
    if (in.U8() & 1) dst->Allocate(1 + in.U8() % 40, 1 + in.U8() % 40, dst->PixelFormat());
  }
  return 0;
}
