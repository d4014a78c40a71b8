// GIF writing: a bitmap as a complete one-frame GIF.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/io/lzw_hooks.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_quantizer.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"

namespace {

void PutU16(std::vector<uint8_t>& out, int32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// The indices and colour table of one frame, made from the bitmap.
struct TGIFFrameData {
  int32_t bits = 8;                 // bits per pixel written (table of 2^bits entries)
  int32_t colors = 256;             // table entries for colours; the entry after them is transparent
  bool hasAlpha = false;
  std::array<TIERGB, 256> table{};  // blue, green, red as in memory
  std::vector<uint8_t> indices;     // width x height, rows from the top
  std::unique_ptr<TIEQuantizer> quantizer;  // for a true-colour frame
  std::unique_ptr<TIEBitmap> work;          // a converted copy when the bitmap itself is not used
  TIEBitmap* source = nullptr;              // the bitmap the indices come from
};

// Picks the bitmap the frame is made from and fills the table and the indices.
void BuildFrame(TIEBitmap& bitmap, TIOParamsVals& params, TGIFFrameData& f) {
  const int32_t width = bitmap.Width();
  const int32_t height = bitmap.Height();
  f.hasAlpha = bitmap.HasAlphaChannel();
  const int32_t requested = std::clamp(params.BitsPerSample, 1, 8);
  f.source = &bitmap;
  bool oneBit = false;
  if (requested == 1) {
    oneBit = true;
    f.table[0] = CreateRGB(0, 0, 0);
    f.table[1] = CreateRGB(255, 255, 255);
    if (bitmap.PixelFormat() != ie1g) {
      TIERGB dark{}, light{};
      f.work = TwoColorsTo1Bit(bitmap, dark, light);
      if (f.work) {
        // Both colours of a two-colour image stay, the darker as index 0.
        f.table[0] = dark;
        f.table[1] = light;
      } else {
        f.work = std::make_unique<TIEBitmap>(width, height, ie1g);
        f.work->CopyAndConvertFormat(bitmap);
      }
      f.source = f.work.get();
    }
    // With transparency a 1-bit image takes 2 bits: black and white stay, the third entry is clear.
    f.bits = f.hasAlpha ? 2 : 1;
    f.colors = 2;
  } else {
    f.bits = requested;
    f.colors = (1 << f.bits) - (f.hasAlpha ? 1 : 0);
    // The writer reads ie8p (when its indices fit) and ie24RGB; every other format goes through a
    // 24-bit copy.
    const bool keepIndices = bitmap.PixelFormat() == ie8p && MaxPaletteIndex(bitmap) < f.colors;
    if (!keepIndices && bitmap.PixelFormat() != ie24RGB) {
      f.work = std::make_unique<TIEBitmap>(width, height, ie24RGB);
      f.work->CopyAndConvertFormat(bitmap);
      f.source = f.work.get();
    }
    if (keepIndices) {
      for (int32_t i = 0; i < f.colors; ++i) f.table[i] = bitmap.GetPaletteColor(i);
    } else {
      f.quantizer = std::make_unique<TIEQuantizer>(*f.source, std::span<TIERGB>(f.table.data(), f.colors), 0,
                                                   f.colors);
    }
  }

  f.indices.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  TIEBitmap* alpha = f.hasAlpha ? bitmap.GetAlphaChannel() : nullptr;
  const auto transparent = static_cast<uint8_t>(f.colors);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* dst = f.indices.data() + static_cast<size_t>(y) * width;
    const auto* row = static_cast<const uint8_t*>(f.source->GetRow(y));
    if (oneBit) {
      for (int32_t x = 0; x < width; ++x) dst[x] = GetRowBit(row, x) ? 1 : 0;
    } else if (f.source->PixelFormat() == ie8p) {
      std::memcpy(dst, row, static_cast<size_t>(width));
    } else {
      const auto* px = reinterpret_cast<const TIERGB*>(row);
      for (int32_t x = 0; x < width; ++x) dst[x] = static_cast<uint8_t>(f.quantizer->RGBIndex(px[x]));
    }
    if (alpha) {
      const auto* a = static_cast<const uint8_t*>(alpha->GetRow(y));
      for (int32_t x = 0; x < width; ++x)
        if (a[x] < 255) dst[x] = transparent;
    }
  }
}

// The table index of a colour: the quantizer's for a true-colour frame, else the nearest entry.
uint8_t IndexOf(TGIFFrameData& f, TIERGB color) {
  if (f.quantizer) return static_cast<uint8_t>(f.quantizer->RGBIndex(color));
  return static_cast<uint8_t>(FindNearestPaletteIndex(f.table.data(), std::min(f.colors, 1 << f.bits), color));
}

}  // namespace

void WriteGIFStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  Progress.Report(0);
  if (Progress.IsAborting()) return;
  const int32_t width = Bitmap.Width();
  const int32_t height = Bitmap.Height();
  if (Bitmap.IsEmpty() || width > 65535 || height > 65535) {
    Progress.Abort();
    return;
  }
  TGIFFrameData f;
  BuildFrame(Bitmap, Params, f);
  if (f.hasAlpha) Params.GifFlagTranspColor = true;
  Progress.Report(30);
  if (Progress.IsAborting()) return;

  const int32_t tableSize = 1 << f.bits;
  if (f.hasAlpha) f.table[f.colors] = Params.GifTranspColor;
  std::vector<uint8_t> head;
  head.reserve(13 + 768 + 8 + 10);
  // A version the record cannot name (not "GIF87a" or "GIF89a") is written as GIF89a.
  std::string version = Params.GifVersion;
  if (version.size() < 6 || version.compare(0, 4, "GIF8") != 0) version = "GIF89a";
  head.insert(head.end(), version.begin(), version.begin() + 6);
  PutU16(head, width);
  PutU16(head, height);
  head.push_back(static_cast<uint8_t>(0x80 | (f.bits - 1) | ((f.bits - 1) << 4)));
  head.push_back(IndexOf(f, Params.GifBackground));
  head.push_back(0);
  for (int32_t i = 0; i < tableSize; ++i) {
    head.push_back(f.table[i].r);
    head.push_back(f.table[i].g);
    head.push_back(f.table[i].b);
  }
  const uint8_t transparentIndex = f.hasAlpha ? static_cast<uint8_t>(f.colors) : IndexOf(f, Params.GifTranspColor);
  head.insert(head.end(), {0x21, 0xF9, 4});
  head.push_back(static_cast<uint8_t>(((Params.GifAction & 7) << 2) | (Params.GifFlagTranspColor ? 1 : 0)));
  PutU16(head, Params.GifDelayTime);
  head.push_back(transparentIndex);
  head.push_back(0);
  head.push_back(0x2C);
  PutU16(head, Params.GifXPos);
  PutU16(head, Params.GifYPos);
  PutU16(head, width);
  PutU16(head, height);
  head.push_back(Params.GifInterlaced ? 0x40 : 0);
  bool failed = false;
  SafeStreamWrite(Stream, failed, head.data(), static_cast<int32_t>(head.size()));
  if (failed) Progress.Abort();
  Progress.Report(70);
  if (Progress.IsAborting()) return;

  TGIFLZWCompFunc encode = Params.GifLZWCompressor ? Params.GifLZWCompressor : GIFLZWEncodeHook.load();
  if (!encode) {
    Progress.Abort();
    return;
  }
  try {
    encode(Stream, height, width, Params.GifInterlaced, f.indices.data(), f.bits);
  } catch (const Exception&) {
    Progress.Abort();
    return;
  }
  f = TGIFFrameData{};

  // The comment extension, written even without comments; a line longer than a sub-block goes on in
  // the next ones, an empty line has none.
  std::vector<uint8_t> tail{0x21, 0xFE};
  for (const std::string& line : Params.GifComments)
    for (size_t at = 0; at < line.size(); at += 255) {
      const size_t n = std::min<size_t>(255, line.size() - at);
      tail.push_back(static_cast<uint8_t>(n));
      tail.insert(tail.end(), line.begin() + static_cast<ptrdiff_t>(at), line.begin() + static_cast<ptrdiff_t>(at + n));
    }
  tail.push_back(0);
  tail.push_back(0x3B);
  SafeStreamWrite(Stream, failed, tail.data(), static_cast<int32_t>(tail.size()));
  if (failed) {
    Progress.Abort();
    return;
  }
  Progress.Report(100);
}
