// PNG writing through libpng: the colour type and depth chosen from the parameter record, palette,
// transparency and background made to agree with the rows, then the rows pass by pass.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/codecs/png_glue.h"
#include "imaging/io/codecs/png_image_data.h"
#include "imaging/io/io_params.h"
#include "imaging/io/format_registry.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_quantizer.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/gdi/graphics.h"
#include "platform/system/latin1_text.h"
#include "platform/system/streams.h"

namespace {

constexpr const char* kWriteError = "Error on creating PNG";

// Everything the header chunks need, in plain values for the call that writes them.
struct TPngHeader {
  png_uint_32 width = 0, height = 0;
  int depth = 8;
  int colorType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  png_color palette[256] = {};
  int paletteCount = 0;
  png_byte trnsAlpha[1] = {0};
  int trnsCount = 0;
  png_uint_32 physX = 0, physY = 0;
  int filter = PNG_FILTER_NONE;
  png_color_16 background = {};
  int level = 5;
  png_textp texts = nullptr;
  int textCount = 0;
};

// Deflate's output buffer, and so the size of an IDAT chunk.
constexpr size_t kChunkBytes = size_t{1} << 17;

// Unfiltered rows deflate faster and smaller with zlib's largest hash; filtered ones (photographs
// under Paeth) spend longer in its longer chains for a file 0.1 % smaller: they keep the default.
int MemLevelFor(int filter) { return filter == PNG_FILTER_NONE ? 9 : 8; }

// ---- Calls into libpng that can fail. Each holds the setjmp its errors return to and owns nothing
// with a destructor; they answer false (0 passes) when libpng raised an error.

// Writes the chunks before the image data and answers the number of passes.
int SafeWriteHeader(png_structp png, png_infop info, const TPngHeader* h) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_set_IHDR(png, info, h->width, h->height, h->depth, h->colorType,
               h->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  if (h->paletteCount) png_set_PLTE(png, info, h->palette, h->paletteCount);
  if (h->trnsCount) png_set_tRNS(png, info, h->trnsAlpha, h->trnsCount, nullptr);
  png_set_pHYs(png, info, h->physX, h->physY, PNG_RESOLUTION_METER);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, h->filter);
  png_set_bKGD(png, info, &h->background);
  png_set_compression_level(png, h->level);
  png_set_compression_mem_level(png, MemLevelFor(h->filter));
  png_set_compression_buffer_size(png, kChunkBytes);
  if (h->textCount) png_set_text(png, info, h->texts, h->textCount);
  png_write_info(png, info);
  return png_set_interlace_handling(png);
}

bool SafeWriteChunk(png_structp png, const char* name, png_const_bytep data, size_t length) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_chunk(png, reinterpret_cast<png_const_bytep>(name), data, length);
  return true;
}

bool SafeWriteRow(png_structp png, png_const_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_row(png, row);
  return true;
}

bool SafeWriteEnd(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_end(png, info);
  return true;
}

// Writes Length bytes or reports that it could not; never raises.
bool WriteAll(TPngIO& io, const uint8_t* data, size_t length) noexcept {
  try {
    while (length > 0) {
      const auto part = static_cast<int32_t>(std::min<size_t>(length, size_t{1} << 30));
      const int32_t put = io.Stream->Write(data, part);
      if (put <= 0) break;
      data += put;
      length -= static_cast<size_t>(put);
    }
  } catch (...) {
  }
  return length == 0;
}

// libpng's writer. A write that falls short is noted; the rows stop after it.
void PngWriteCallback(png_structp png, png_bytep data, size_t length) {
  auto* io = static_cast<TPngIO*>(png_get_io_ptr(png));
  if (!io->StreamFailed && !WriteAll(*io, data, length)) io->StreamFailed = true;
}

void PngFlushCallback(png_structp) {}

// The write and info structures, destroyed on every way out.
struct TPngWriteStructs {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TPngWriteStructs() = default;
  TPngWriteStructs(const TPngWriteStructs&) = delete;
  TPngWriteStructs& operator=(const TPngWriteStructs&) = delete;
  ~TPngWriteStructs() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  }
};

[[noreturn]] void RaiseWriteError(const std::string& reason) {
  IOTrace("PNG: " + reason);
  throw EInvalidGraphic(kWriteError);
}

// How each row is made from the work bitmap.
enum class TRowKind {
  Direct,         // the work bitmap's row as it is (ie24RGB, ie1g, ie8p indices, ie8g, ie16g)
  Rgba,           // blue, green, red and the mask value
  Indexed,        // the quantizer's index of each ie24RGB pixel
  IndexedMasked,  // the quantizer's index + 1 where the mask is 255, else 0 (the background entry)
  Grey8,          // an 8-bit grey level from ie16g (high byte), ie24RGB (red) or ie8p (palette)
  Grey16,         // a 16-bit grey level from ie8g, ie24RGB (red) or ie8p (palette), widened x 257
};

// The mask's values of row Y as bytes (a 1-bit mask as 0 and 255).
void MaskRow(TIEMask& mask, int32_t y, uint8_t* out, int32_t width) {
  const uint8_t* row = mask.GetRow(y);
  if (mask.BitsPerPixel() == 8) {
    std::memcpy(out, row, static_cast<size_t>(width));
    return;
  }
  for (int32_t x = 0; x < width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
}

// True when the mask has the bitmap's size and some pixel is not fully opaque.
bool MaskCounts(TIEMask* mask, int32_t width, int32_t height) {
  if (!mask || mask->Width() != width || mask->Height() != height || !mask->Bits()) return false;
  if (mask->BitsPerPixel() != 1 && mask->BitsPerPixel() != 8) return false;
  std::vector<uint8_t> row(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    MaskRow(*mask, y, row.data(), width);
    if (std::any_of(row.begin(), row.end(), [](uint8_t v) { return v != 255; })) return true;
  }
  return false;
}

// A copy of Source in Format (alpha channel included), or an exception when it cannot be made.
std::unique_ptr<TIEBitmap> ConvertedCopy(TIEBitmap& source, TIEPixelFormat format) {
  auto copy = std::make_unique<TIEBitmap>(source.Width(), source.Height(), format);
  if (copy->IsEmpty()) RaiseWriteError("no memory for a converted copy");
  copy->CopyAndConvertFormat(source);
  return copy;
}

png_color FileColor(TIERGB c) { return png_color{c.r, c.g, c.b}; }

// A keyword libpng takes: it turns characters a keyword cannot hold into spaces and trims them, and
// refuses what is left empty.
bool UsableKeyword(const std::string& latin1) {
  return std::any_of(latin1.begin(), latin1.end(), [](char ch) {
    const auto c = static_cast<uint8_t>(ch);
    return (c > 32 && c < 127) || c > 160;
  });
}

// Texts go as tEXt (Latin-1) when Latin-1 holds them, else as iTXt (UTF-8); the keyword is always
// Latin-1. Pairs without a usable keyword are left out: PNG has no chunk for them.
struct TPngTexts {
  std::vector<std::string> keys, values;
  std::vector<png_text> chunks;
  void Build(const TIOParamsVals& params) {
    const size_t count = std::min(params.PngTextKeys.size(), params.PngTextValues.size());
    keys.reserve(count);
    values.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      std::string key = Utf8ToLatin1(params.PngTextKeys[i]);
      if (!UsableKeyword(key)) continue;
      const std::string& value = params.PngTextValues[i];
      std::string latin1 = Utf8ToLatin1(value);
      const bool international = Latin1ToUtf8(latin1) != value;
      keys.push_back(std::move(key));
      values.push_back(international ? value : std::move(latin1));
      png_text t{};
      t.compression = international ? PNG_ITXT_COMPRESSION_NONE : PNG_TEXT_COMPRESSION_NONE;
      chunks.push_back(t);
    }
    // The strings do not move any more: point the chunks at them.
    for (size_t i = 0; i < chunks.size(); ++i) {
      chunks[i].key = keys[i].data();
      chunks[i].text = values[i].data();
      if (chunks[i].compression == PNG_TEXT_COMPRESSION_NONE)
        chunks[i].text_length = values[i].size();
      else
        chunks[i].itxt_length = values[i].size();
    }
  }
};

}  // namespace

void WritePNGStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    TIEMask* Mask) {
  if (Progress.IsAborting()) return;
  if (Bitmap.IsEmpty()) RaiseWriteError("empty image");
  const int32_t width = Bitmap.Width();
  const int32_t height = Bitmap.Height();

  // 1. One sample holds 1, 8 or 16 bits; anything else is written (and recorded) as 8.
  const bool oneSample = Params.SamplesPerPixel == 1;
  if (oneSample && Params.BitsPerSample != 1 && Params.BitsPerSample != 8 && Params.BitsPerSample != 16)
    Params.BitsPerSample = 8;
  const int32_t bits = Params.BitsPerSample;
  const bool masked = MaskCounts(Mask, width, height);

  // 2. The work bitmap: 1-bit for one bit per sample, else 24-bit for RGB rows and for formats the
  // palette and grey rows do not read. Bitmap itself is never changed.
  TIEBitmap* work = &Bitmap;
  std::unique_ptr<TIEBitmap> owned;
  const auto useCopy = [&](TIEPixelFormat format) {
    owned = ConvertedCopy(*work, format);
    work = owned.get();
  };
  if (bits == 1) {
    if (Bitmap.PixelFormat() != ie1g) {
      TIERGB darker{}, lighter{};
      owned = TwoColorsTo1Bit(Bitmap, darker, lighter);
      if (owned)
        work = owned.get();
      else
        useCopy(ie1g);
    }
  } else if (Bitmap.PixelFormat() == ie1g) {
    useCopy(ie24RGB);
  }

  TPngHeader h;
  h.width = static_cast<png_uint_32>(width);
  h.height = static_cast<png_uint_32>(height);
  h.interlaced = Params.PngInterlaced;
  h.level = std::clamp(Params.PngCompression, 0, 9);
  h.filter = Params.PngFilter == 1 ? PNG_FILTER_SUB : Params.PngFilter == 2 ? PNG_FILTER_PAETH : PNG_FILTER_NONE;
  const auto perMetre = [](int32_t dpi) {
    return static_cast<png_uint_32>(std::max(0.0, std::nearbyint(static_cast<double>(dpi) * 100.0 / 2.54)));
  };
  h.physX = perMetre(Params.DpiX);
  h.physY = perMetre(Params.DpiY);
  const TIERGB background = Params.PngBackground;

  // 3, 4 and 8. Colour type, depth, palette, transparency, background.
  TRowKind kind = TRowKind::Direct;
  std::array<TIERGB, 256> colors{};
  std::unique_ptr<TIEQuantizer> quantizer;
  if (oneSample && work->PixelFormat() == ie1g) {
    h.colorType = PNG_COLOR_TYPE_GRAY;
    h.depth = 1;
    h.background.gray = RGBToGray(background) >= 128 ? 1 : 0;
  } else if (oneSample && masked) {
    // The background colour is entry 0, the one transparent entry; the image's colours follow.
    // Indices and palette both come from the quantizer, whatever the bitmap's format.
    if (work->PixelFormat() != ie24RGB) useCopy(ie24RGB);
    const int32_t m = std::min(1 << std::min(bits, 8), 255);
    quantizer = std::make_unique<TIEQuantizer>(*work, std::span<TIERGB>(colors.data() + 1, 255), 0, m);
    colors[0] = background;
    h.colorType = PNG_COLOR_TYPE_PALETTE;
    h.depth = 8;
    h.paletteCount = std::min(quantizer->ColorCount() + 1, 256);
    h.trnsCount = 1;
    h.background.index = 0;
    kind = TRowKind::IndexedMasked;
  } else if (oneSample) {
    const TIEPixelFormat f = work->PixelFormat();
    if (f != ie8p && f != ie8g && f != ie16g && f != ie24RGB) useCopy(ie24RGB);
    quantizer = std::make_unique<TIEQuantizer>(*work, std::span<TIERGB>(colors), 0, 256);
    h.depth = bits;
    if (quantizer->GrayScale()) {
      h.colorType = PNG_COLOR_TYPE_GRAY;
      const int32_t grey = RGBToGray(background);
      h.background.gray = static_cast<png_uint_16>(bits == 16 ? grey * 257 : grey);
      const TIEPixelFormat wf = work->PixelFormat();
      if (bits == 8)
        kind = wf == ie8g ? TRowKind::Direct : TRowKind::Grey8;
      else
        kind = wf == ie16g ? TRowKind::Direct : TRowKind::Grey16;
    } else {
      // A colour palette (at 16 bits PNG has none: libpng refuses it below).
      h.colorType = PNG_COLOR_TYPE_PALETTE;
      const int32_t bkgd = quantizer->RGBIndex(background);
      int32_t count = quantizer->ColorCount();
      if (work->PixelFormat() == ie8p) {
        count = MaxPaletteIndex(*work) + 1;
        kind = TRowKind::Direct;
      } else {
        kind = TRowKind::Indexed;
      }
      h.paletteCount = std::clamp(std::max(count, bkgd + 1), 1, 256);
      h.background.index = static_cast<png_byte>(bkgd);
    }
  } else {
    // RGB rows always come from a 24-bit bitmap.
    if (work->PixelFormat() != ie24RGB) useCopy(ie24RGB);
    h.colorType = masked ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    h.depth = 8;
    h.background.red = background.r;
    h.background.green = background.g;
    h.background.blue = background.b;
    kind = masked ? TRowKind::Rgba : TRowKind::Direct;
  }
  for (int32_t i = 0; i < h.paletteCount; ++i) h.palette[i] = FileColor(colors[static_cast<size_t>(i)]);
  TPngTexts texts;
  texts.Build(Params);
  h.texts = texts.chunks.empty() ? nullptr : texts.chunks.data();
  h.textCount = static_cast<int>(texts.chunks.size());

  // 5 to 11. The structures and the chunks before the image data.
  TPngIO io;
  io.Stream = &Stream;
  TPngWriteStructs s;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, PngErrorCallback, PngWarningCallback);
  if (!s.png) RaiseWriteError("cannot create the write structure");
  s.info = png_create_info_struct(s.png);
  if (!s.info) RaiseWriteError("cannot create the info structure");
  png_set_write_fn(s.png, &io, PngWriteCallback, PngFlushCallback);
  PngAllowEveryImageSize(s.png);
  const int passes = SafeWriteHeader(s.png, s.info, &h);
  if (passes < 1) RaiseWriteError(io.Message);
  if (io.StreamFailed) {
    Progress.Abort();
    return;
  }

  // 12. The rows, from the top, pass by pass, in the file's layout: red, green, blue, 16-bit samples
  // big-endian.
  std::vector<uint8_t> row, maskRow;
  if (kind != TRowKind::Direct || work->PixelFormat() == ie24RGB || work->PixelFormat() == ie16g)
    row.resize(static_cast<size_t>(width) * 4);
  if (kind == TRowKind::Rgba || kind == TRowKind::IndexedMasked) maskRow.resize(static_cast<size_t>(width));
  const TIEPixelFormat wf = work->PixelFormat();
  const TIERGB* ownPalette = wf == ie8p ? work->GetPaletteBuffer() : nullptr;
  const int32_t ownPaletteLength = ownPalette ? work->GetPaletteLength() : 0;
  const auto paletteGrey = [&](uint8_t index) -> uint8_t { return index < ownPaletteLength ? ownPalette[index].r : 0; };
  const auto put16 = [&](int32_t x, uint16_t v) {
    row[2 * x] = static_cast<uint8_t>(v >> 8);
    row[2 * x + 1] = static_cast<uint8_t>(v);
  };
  TIERowAccessScope readOnly(*work, iraRead);

  const auto makeRow = [&](int32_t y) -> png_const_bytep {
    const auto* src = static_cast<const uint8_t*>(work->GetRow(y));
    switch (kind) {
      case TRowKind::Direct:
        if (wf == ie24RGB) {
          CopySwapRB(row.data(), src, width);
          return row.data();
        }
        if (wf == ie16g) {
          const auto* s16 = reinterpret_cast<const uint16_t*>(src);
          for (int32_t x = 0; x < width; ++x) put16(x, s16[x]);
          return row.data();
        }
        return src;
      case TRowKind::Rgba:
        MaskRow(*Mask, y, maskRow.data(), width);
        for (int32_t x = 0; x < width; ++x) {
          row[4 * x] = src[3 * x + 2];
          row[4 * x + 1] = src[3 * x + 1];
          row[4 * x + 2] = src[3 * x];
          row[4 * x + 3] = maskRow[x];
        }
        return row.data();
      case TRowKind::Indexed: quantizer->IndexRow(src, row.data(), width); return row.data();
      case TRowKind::IndexedMasked:
        quantizer->IndexRow(src, row.data(), width);
        MaskRow(*Mask, y, maskRow.data(), width);
        for (int32_t x = 0; x < width; ++x) row[x] = maskRow[x] == 255 ? static_cast<uint8_t>(row[x] + 1) : 0;
        return row.data();
      case TRowKind::Grey8:
        if (wf == ie16g) {
          const auto* s16 = reinterpret_cast<const uint16_t*>(src);
          for (int32_t x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(s16[x] >> 8);
        } else if (wf == ie8p) {
          for (int32_t x = 0; x < width; ++x) row[x] = paletteGrey(src[x]);
        } else {
          for (int32_t x = 0; x < width; ++x) row[x] = src[3 * x + 2];
        }
        return row.data();
      case TRowKind::Grey16:
        for (int32_t x = 0; x < width; ++x) {
          const uint8_t v = wf == ie8g ? src[x] : wf == ie8p ? paletteGrey(src[x]) : src[3 * x + 2];
          put16(x, static_cast<uint16_t>(v * 257));
        }
        return row.data();
    }
    return src;
  };
  const auto rowDone = [&] {
    ++Progress.Counter;
    Progress.Report(static_cast<int32_t>(Progress.Counter * Progress.PerRow));
  };
  Progress.PerRow = 100.0 / (static_cast<double>(height) * passes);
  Progress.Counter = 0;

  if (passes == 1) {
    // The image data filtered and deflated here, each full buffer an IDAT chunk; the end chunk after
    // it (nothing of ours goes after the image data).
    bool libpngFailed = false;
    const auto sink = [&](const uint8_t* data, size_t length) {
      libpngFailed = !SafeWriteChunk(s.png, "IDAT", data, length);
      return !libpngFailed && !io.StreamFailed;
    };
    const int channels = h.colorType == PNG_COLOR_TYPE_RGB ? 3 : h.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 1;
    const size_t rowBytes = (static_cast<size_t>(width) * channels * h.depth + 7) / 8;
    const TPngRowFilter filter = h.filter == PNG_FILTER_SUB     ? TPngRowFilter::Sub
                                 : h.filter == PNG_FILTER_PAETH ? TPngRowFilter::Paeth
                                                                : TPngRowFilter::None;
    TPngImageDataWriter data(rowBytes, std::max(1, channels * h.depth / 8), filter, h.level, MemLevelFor(h.filter),
                             kChunkBytes, sink);
    if (!data.Ready()) RaiseWriteError("no memory for the image data");
    const auto failed = [&] {
      if (libpngFailed) RaiseWriteError(io.Message);
      if (!io.StreamFailed) RaiseWriteError("deflate failed");
      Progress.Abort();
    };
    for (int32_t y = 0; y < height; ++y) {
      if (!data.AddRow(makeRow(y))) return failed();
      rowDone();
      if (Progress.IsAborting()) return;
    }
    if (!data.Finish()) return failed();
    if (!SafeWriteChunk(s.png, "IEND", nullptr, 0)) RaiseWriteError(io.Message);
    if (io.StreamFailed) Progress.Abort();
    return;
  }
  for (int pass = 0; pass < passes; ++pass) {
    for (int32_t y = 0; y < height; ++y) {
      if (!SafeWriteRow(s.png, makeRow(y))) RaiseWriteError(io.Message);
      if (io.StreamFailed) Progress.Abort();
      rowDone();
      if (Progress.IsAborting()) return;
    }
  }
  // 13. The end, unless stopped.
  if (!SafeWriteEnd(s.png, s.info)) RaiseWriteError(io.Message);
  if (io.StreamFailed) Progress.Abort();
}
