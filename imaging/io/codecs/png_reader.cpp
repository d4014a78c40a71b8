// PNG reading through libpng: the header and ancillary chunks into the parameter record, the rows
// into the bitmap in the pixel format the image's type and the record's native switch choose.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/codecs/png_glue.h"
#include "imaging/io/codecs/png_idat_walk.h"
#include "imaging/io/codecs/png_image_data.h"
#include "imaging/io/io_params.h"
#include "imaging/io/format_registry.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/system/latin1_text.h"
#include "platform/system/streams.h"

namespace {

// ---- Calls into libpng that can fail. Each holds the setjmp its errors return to and owns nothing
// with a destructor; they answer false (0 passes) when libpng raised an error.

bool SafeReadInfo(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  return true;
}

// The transformations the reader asks of libpng.
struct TPngTransforms {
  bool swap16 = false;       // 16-bit samples in the machine's byte order
  bool expand = false;       // palette to RGB, grey below 8 bits to 8
  bool strip16 = false;      // 16-bit samples to their high byte
  bool packing = false;      // samples below 8 bits one per byte
  bool grayToRgb = false;    // grey to three equal samples
  bool bgr = false;          // blue, green, red as ie24RGB rows hold them
  bool trnsToAlpha = false;  // a tRNS chunk to an alpha sample
};

// Requests the transformations, updates the row layout and answers the number of passes.
int SafeSetTransforms(png_structp png, png_infop info, const TPngTransforms* t) {
  if (setjmp(png_jmpbuf(png))) return 0;
  if (t->swap16) png_set_swap(png);
  if (t->expand) png_set_expand(png);
  if (t->strip16) png_set_strip_16(png);
  if (t->packing) png_set_packing(png);
  if (t->grayToRgb) png_set_gray_to_rgb(png);
  if (t->bgr) png_set_bgr(png);
  if (t->trnsToAlpha) png_set_tRNS_to_alpha(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return passes;
}

bool SafeReadRow(png_structp png, png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_row(png, row, nullptr);
  return true;
}

bool SafeReadEnd(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_end(png, info);
  return true;
}

// Reads Length bytes or reports that it could not; never raises.
bool ReadAll(TPngIO& io, uint8_t* data, size_t length) noexcept {
  try {
    while (length > 0) {
      const auto part = static_cast<int32_t>(std::min<size_t>(length, size_t{1} << 30));
      const int32_t got = io.Stream->Read(data, part);
      if (got <= 0) break;
      data += got;
      length -= static_cast<size_t>(got);
    }
  } catch (...) {
  }
  if (length == 0) return true;
  io.StreamFailed = true;
  return false;
}

// libpng's reader: a stream that cannot give the bytes asked for is an error (libpng leaves by
// longjmp from here, so nothing with a destructor lives in this frame).
void PngReadCallback(png_structp png, png_bytep data, size_t length) {
  if (!ReadAll(*static_cast<TPngIO*>(png_get_io_ptr(png)), data, length)) png_error(png, "Read Error");
}

// The read and info structures, destroyed on every way out.
struct TPngReadStructs {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TPngReadStructs() = default;
  TPngReadStructs(const TPngReadStructs&) = delete;
  TPngReadStructs& operator=(const TPngReadStructs&) = delete;
  ~TPngReadStructs() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

// libpng's messages go to the trace only.
void Fail(TIEProgressRecord& progress, const std::string& message) { IOFail(progress, "PNG: " + message); }

std::string ErrorText(const TPngIO& io) {
  if (io.Message[0]) return io.Message;
  return io.StreamFailed ? "the stream ended" : "libpng failed";
}

// The text chunks in file order, keywords and texts as UTF-8 (tEXt and zTXt hold Latin-1, iTXt
// UTF-8).
void ReadTexts(png_structp png, png_infop info, TIOParamsVals& params) {
  params.PngTextKeys.clear();
  params.PngTextValues.clear();
  png_textp texts = nullptr;
  int count = 0;
  png_get_text(png, info, &texts, &count);
  for (int i = 0; i < count && texts; ++i) {
    const png_text& t = texts[i];
    const bool international = t.compression == PNG_ITXT_COMPRESSION_NONE || t.compression == PNG_ITXT_COMPRESSION_zTXt;
    const size_t length = international ? t.itxt_length : t.text_length;
    const std::string_view text = t.text ? std::string_view(t.text, length) : std::string_view();
    params.PngTextKeys.push_back(Latin1ToUtf8(t.key ? t.key : ""));
    params.PngTextValues.push_back(international ? std::string(text) : Latin1ToUtf8(text));
  }
}

// A sample of Depth bits as 8 bits: the high byte of 16-bit samples, 1- to 4-bit ones spread over
// 0..255.
uint8_t SampleTo8(uint32_t value, int depth) {
  if (depth == 16) return static_cast<uint8_t>(value >> 8);
  if (depth >= 8) return static_cast<uint8_t>(std::min<uint32_t>(value, 255));
  const uint32_t max = (1u << depth) - 1;
  return static_cast<uint8_t>(std::min(value, max) * 255 / max);
}

// The bKGD chunk as a colour: samples at the image's depth brought to 8 bits, a palette image's
// entry its colour.
void ReadBackground(png_structp png, png_infop info, int type, int depth, TIOParamsVals& params) {
  png_color_16p bg = nullptr;
  if (!png_get_bKGD(png, info, &bg) || !bg) return;
  if (type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) && bg->index < entries)
      params.PngBackground = CreateRGB(palette[bg->index].red, palette[bg->index].green, palette[bg->index].blue);
    return;
  }
  if (type & PNG_COLOR_MASK_COLOR) {
    params.PngBackground = CreateRGB(SampleTo8(bg->red, depth), SampleTo8(bg->green, depth), SampleTo8(bg->blue, depth));
  } else {
    const uint8_t v = SampleTo8(bg->gray, depth);
    params.PngBackground = CreateRGB(v, v, v);
  }
}

// Resolution from pHYs in pixels per metre; none (or 0) gives the engine's default.
void ReadResolution(png_structp png, png_infop info, TIOParamsVals& params) {
  const auto dpi = [](png_uint_32 perMetre) {
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(perMetre) / 100.0 * 2.54));
  };
  const int32_t x = dpi(png_get_x_pixels_per_meter(png, info));
  const int32_t y = dpi(png_get_y_pixels_per_meter(png, info));
  params.SetDpiX(x != 0 ? x : DefaultDPIX);
  params.SetDpiY(y != 0 ? y : DefaultDPIY);
}

// How the pixels reach the bitmap.
enum class TPngRoute {
  Bits1Grey,     // 1-bit grey as stored, into ie1g rows
  Bits1Palette,  // 1-bit palette as stored, through a bit buffer, into ie24RGB in the two colours
  Native,        // 8-bit palette, 8- and 16-bit grey as stored, into ie8p / ie8g / ie16g rows
  Rgb,           // three bytes a pixel straight into ie24RGB rows
  Rgba,          // four bytes a pixel through a buffer, into ie24RGB rows and the alpha channel
};

struct TPngLayout {
  TPngRoute route = TPngRoute::Rgb;
  TIEPixelFormat format = ie24RGB;
  int32_t channels = 3;
  int32_t depth = 8;
};

// The rows of the whole image (interlaced images come in passes over every row) or of one row.
class TRowBuffer {
 public:
  bool Allocate(int64_t rowBytes, int64_t rows) {
    try {
      data_.resize(static_cast<size_t>(rowBytes * rows));
    } catch (const std::bad_alloc&) {
      return false;
    } catch (const std::length_error&) {
      return false;
    }
    rowBytes_ = rowBytes;
    whole_ = rows > 1;
    return true;
  }
  uint8_t* Row(int32_t y) { return data_.data() + (whole_ ? static_cast<size_t>(y) * rowBytes_ : 0); }

 private:
  std::vector<uint8_t> data_;
  int64_t rowBytes_ = 0;
  bool whole_ = false;
};

// One row of four bytes a pixel to the bitmap and its alpha channel: blue, green, red and alpha as
// libpng gives them, or red first as the file holds them.
void StoreRgbaRow(const uint8_t* src, uint8_t* dst, uint8_t* alpha, int32_t width, bool redFirst = false) {
  const int b = redFirst ? 2 : 0, r = 2 - b;
  for (int32_t x = 0; x < width; ++x) {
    dst[3 * x] = src[4 * x + b];
    dst[3 * x + 1] = src[4 * x + 1];
    dst[3 * x + 2] = src[4 * x + r];
    alpha[x] = src[4 * x + 3];
  }
}

void StoreBitsRow(const uint8_t* bits, uint8_t* dst, int32_t width, const TIERGB colors[2]) {
  for (int32_t x = 0; x < width; ++x) {
    const TIERGB c = colors[(bits[x >> 3] >> (7 - (x & 7))) & 1];
    dst[3 * x] = c.b;
    dst[3 * x + 1] = c.g;
    dst[3 * x + 2] = c.r;
  }
}

// The alpha channel of a natively read image from its tRNS chunk: palette entries' alphas (entries
// past the chunk opaque), or the one transparent grey value.
void StoreNativeTransparency(png_structp png, png_infop info, TIEBitmap& bitmap) {
  png_bytep alphas = nullptr;
  int count = 0;
  png_color_16p key = nullptr;
  if (!png_get_tRNS(png, info, &alphas, &count, &key)) return;
  uint8_t table[256];
  std::fill(std::begin(table), std::end(table), 255);
  const TIEPixelFormat format = bitmap.PixelFormat();
  if (format == ie8p) {
    if (!alphas) return;
    std::copy(alphas, alphas + std::clamp(count, 0, 256), table);
  }
  TIEBitmap* alpha = bitmap.GetAlphaChannel();
  if (!alpha) return;
  const int32_t width = bitmap.Width();
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    // Two bitmaps: each keeps its own mapped row.
    const auto* src = static_cast<const uint8_t*>(bitmap.GetRow(y));
    auto* dst = static_cast<uint8_t*>(alpha->GetRow(y));
    if (format == ie8p) {
      for (int32_t x = 0; x < width; ++x) dst[x] = table[src[x]];
    } else if (format == ie8g) {
      for (int32_t x = 0; x < width; ++x) dst[x] = key && src[x] == key->gray ? 0 : 255;
    } else {
      const auto* s16 = reinterpret_cast<const uint16_t*>(src);
      for (int32_t x = 0; x < width; ++x) dst[x] = key && s16[x] == key->gray ? 0 : 255;
    }
  }
  alpha->SetFull(false);
}

void ReadPng(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress, bool paramsOnly) {
  TPngIO io;
  io.Stream = &stream;
  const int64_t start = stream.Position();
  // The chunks' lengths, weighed before libpng takes them at their word: a chunk that claims more
  // than the stream holds would have it ask for that much memory first. Such a chunk before the
  // image data leaves nothing to read; after it, the tail is left unread. For the pixels the walk
  // also totals the image data for the size gate.
  stream.Seek(start + 8, soBeginning);
  const TPNGChunkWalk walk = WalkPNGChunks(stream, paramsOnly);
  stream.Seek(start, soBeginning);
  if (walk.CutBeforeImageData) return Fail(progress, "a chunk runs past the end of the data");
  TPngReadStructs s;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, PngErrorCallback, PngWarningCallback);
  if (!s.png) return Fail(progress, "cannot create the read structure");
  s.info = png_create_info_struct(s.png);
  if (!s.info) return Fail(progress, "cannot create the info structure");
  png_set_read_fn(s.png, &io, PngReadCallback);
  PngAllowEveryImageSize(s.png);
  // libpng asks for the image data in pieces of this size and needs each piece whole: small pieces
  // let a cut-off file give the rows its bytes hold.
  png_set_compression_buffer_size(s.png, 1024);
  if (!SafeReadInfo(s.png, s.info)) return Fail(progress, ErrorText(io));

  png_uint_32 width = 0, height = 0;
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(s.png, s.info, &width, &height, &depth, &type, &interlace, nullptr, nullptr);
  if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX) return Fail(progress, "bad image size");

  ReadTexts(s.png, s.info, params);
  ReadBackground(s.png, s.info, type, depth, params);

  // The route. 1-bit images are read as stored unless a tRNS chunk makes them transparent; with the
  // native switch 8-bit palette and 8- and 16-bit grey images keep their layout.
  const bool grey = type == PNG_COLOR_TYPE_GRAY;
  const bool palette = type == PNG_COLOR_TYPE_PALETTE;
  const bool hasTrns = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
  TPngLayout layout;
  TPngTransforms t;
  if (depth == 1 && !hasTrns && (grey || palette)) {
    layout = grey ? TPngLayout{TPngRoute::Bits1Grey, ie1g, 1, 1} : TPngLayout{TPngRoute::Bits1Palette, ie24RGB, 1, 1};
  } else if (params.IsNativePixelFormat && (depth == 8 || depth == 16) && (grey || palette)) {
    layout = {TPngRoute::Native, palette ? ie8p : depth == 8 ? ie8g : ie16g, 1, depth};
    t.swap16 = depth == 16;
  } else {
    t.expand = palette || (grey && depth < 8);
    t.strip16 = depth == 16;
    t.packing = depth < 8;
    t.grayToRgb = grey || type == PNG_COLOR_TYPE_GRAY_ALPHA;
    t.bgr = true;
    t.trnsToAlpha = true;
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;
    layout = alpha ? TPngLayout{TPngRoute::Rgba, ie24RGB, 4, 8} : TPngLayout{TPngRoute::Rgb, ie24RGB, 3, 8};
  }
  params.SetImageCount(1);
  params.Width = params.OriginalWidth = static_cast<int32_t>(width);
  params.Height = params.OriginalHeight = static_cast<int32_t>(height);
  params.BitsPerSample = depth;
  params.SamplesPerPixel = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                           : type == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 1;
  ReadResolution(s.png, s.info, params);
  params.FreeColorMap();
  std::vector<TIERGB> colors;
  if (palette) {
    png_colorp entries = nullptr;
    int count = 0;
    if (png_get_PLTE(s.png, s.info, &entries, &count) && entries)
      for (int i = 0; i < std::min(count, 256); ++i) colors.push_back(CreateRGB(entries[i].red, entries[i].green, entries[i].blue));
    params.SetColorMap(colors.data(), static_cast<int32_t>(colors.size()));
  }
  params.PngInterlaced = interlace != PNG_INTERLACE_NONE;
  if (paramsOnly) return;

  // Before anything is allocated (libpng's row buffers included): could the image data in the
  // stream describe a picture this large?
  TIEImageData data;
  data.Bytes = walk.IdatBytes;
  data.BitsPerPixel = params.SamplesPerPixel * depth;
  data.MaxPixelsPerByte = std::max<int64_t>(1, kDeflateMaxRatio * 8 / data.BitsPerPixel);
  if (!IEImageSizePlausible(width, height, data)) return Fail(progress, "the image data cannot hold the image size");

  // The rows of non-interlaced 8-bit RGB and RGBA images, and of 8-bit grey and palette images read
  // natively, are inflated and unfiltered here when nothing but the end follows the image data in
  // the file (libpng has read the chunks before it); libpng reads every other image's rows.
  const bool ownRows = interlace == PNG_INTERLACE_NONE && depth == 8 && walk.FirstIdatAt >= 0 &&
                       !walk.ChunksAfterImageData && !walk.CutAfterImageData &&
                       ((type == PNG_COLOR_TYPE_RGB && !hasTrns) || type == PNG_COLOR_TYPE_RGB_ALPHA ||
                        layout.route == TPngRoute::Native);
  int passes = 1;
  int64_t rowBytes = static_cast<int64_t>(width) * layout.channels;
  if (!ownRows) {
    passes = SafeSetTransforms(s.png, s.info, &t);
    if (passes < 1) return Fail(progress, ErrorText(io));
    // libpng's row layout must be the one chosen.
    rowBytes = static_cast<int64_t>(png_get_rowbytes(s.png, s.info));
    if (png_get_channels(s.png, s.info) != layout.channels || png_get_bit_depth(s.png, s.info) != layout.depth ||
        rowBytes != (static_cast<int64_t>(width) * layout.channels * layout.depth + 7) / 8)
      return Fail(progress, "unexpected row layout");
  }

  const auto w = static_cast<int32_t>(width);
  const auto h = static_cast<int32_t>(height);
  const bool multiPass = passes > 1;
  bitmap.RemoveAlphaChannel(false);
  if (!bitmap.Allocate(w, h, layout.format)) return Fail(progress, "no memory for the bitmap");
  if (layout.format == ie8p) {
    bitmap.SetPaletteUsed(1 << depth);
    // Entries the palette does not have are black.
    for (int32_t i = 0; i < bitmap.GetPaletteLength(); ++i)
      bitmap.SetPaletteColor(i, i < static_cast<int32_t>(colors.size()) ? colors[static_cast<size_t>(i)] : TIERGB{0, 0, 0});
  }
  TIEBitmap* alpha = nullptr;
  if (layout.route == TPngRoute::Rgba) {
    alpha = bitmap.GetAlphaChannel();
    if (!alpha) return Fail(progress, "no memory for the alpha channel");
    alpha->SetFull(false);
  }
  TIERGB twoColors[2] = {};
  for (size_t i = 0; i < 2 && i < colors.size(); ++i) twoColors[i] = colors[i];

  // Rows that do not go straight into the bitmap are read into a buffer: of the whole image when
  // the passes of an interlaced image fill each row bit by bit.
  const bool buffered = !ownRows && (layout.route == TPngRoute::Rgba || layout.route == TPngRoute::Bits1Palette);
  TRowBuffer buffer;
  if (buffered && !buffer.Allocate(rowBytes, multiPass ? h : 1)) return Fail(progress, "no memory for the rows");
  // The bitmap's own rows are only written, unless later passes add to what earlier ones left or
  // the transparency is taken from them afterwards.
  const bool native = layout.route == TPngRoute::Native;
  TIERowAccessScope access(bitmap, (multiPass && !buffered) || (native && hasTrns) ? iraReadWrite : iraWrite);

  const auto store = [&](int32_t y) {
    uint8_t* src = buffer.Row(y);
    if (layout.route == TPngRoute::Rgba)
      StoreRgbaRow(src, bitmap.Row<uint8_t>(y), alpha->Row<uint8_t>(y), w);
    else
      StoreBitsRow(src, bitmap.Row<uint8_t>(y), w, twoColors);
  };
  std::unique_ptr<TPngImageDataReader> own;
  if (ownRows) {
    stream.Seek(walk.FirstIdatAt, soBeginning);
    own = std::make_unique<TPngImageDataReader>(stream, static_cast<size_t>(rowBytes), layout.channels);
    if (!own->Ready()) return Fail(progress, "no memory for the rows");
  }
  // Row Y of the current pass into the bitmap; false when the data failed.
  const auto readRow = [&](int32_t y) {
    if (own) {
      const uint8_t* src = own->NextRow();
      if (!src) return false;
      if (layout.route == TPngRoute::Rgb)
        CopySwapRB(bitmap.Row<uint8_t>(y), src, w);
      else if (layout.route == TPngRoute::Rgba)
        StoreRgbaRow(src, bitmap.Row<uint8_t>(y), alpha->Row<uint8_t>(y), w, true);
      else
        std::memcpy(bitmap.Row<uint8_t>(y), src, static_cast<size_t>(w));
      return true;
    }
    if (!SafeReadRow(s.png, buffered ? buffer.Row(y) : bitmap.Row<png_byte>(y))) return false;
    if (buffered && !multiPass) store(y);
    return true;
  };
  progress.PerRow = 100.0 / (static_cast<double>(h) * passes);
  progress.Counter = 0;
  bool failed = false;
  for (int pass = 0; pass < passes && !failed && !progress.IsAborting(); ++pass) {
    for (int32_t y = 0; y < h; ++y) {
      if (!readRow(y)) {
        failed = true;
        break;
      }
      ++progress.Counter;
      progress.Report(static_cast<int32_t>(progress.Counter * progress.PerRow));
      if (progress.IsAborting()) break;
    }
  }
  // A whole-image buffer goes to the bitmap once, as far as the passes came.
  if (buffered && multiPass)
    for (int32_t y = 0; y < h; ++y) store(y);
  if (native && hasTrns) StoreNativeTransparency(s.png, s.info, bitmap);
  if (failed) return Fail(progress, own ? own->Error() : ErrorText(io));
  if (progress.IsAborting()) return;
  // Rows read here: the rest of the image data checked as libpng would at the last row; nothing but
  // the end follows it.
  if (own) {
    if (!own->Finish()) Fail(progress, own->Error());
    return;
  }

  // The chunks after the image data. The picture is complete: a damaged tail (no IEND, a bad
  // chunk after the data) only costs what it held.
  if (walk.CutAfterImageData)
    IOTrace("PNG: a chunk after the image data runs past the end of the data");
  else if (SafeReadEnd(s.png, s.info))
    ReadTexts(s.png, s.info, params);
  else
    IOTrace("PNG: after the image data: " + ErrorText(io));
}

}  // namespace

void ReadPngStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& IOParams, TIEProgressRecord& Progress,
                   bool ParamsOnly) {
  try {
    ReadPng(Stream, Bitmap, IOParams, Progress, ParamsOnly);
  } catch (const std::exception& e) {
    Fail(Progress, e.what());
  } catch (...) {
    Fail(Progress, "unexpected failure");
  }
}

bool IsPngStream(TStream& Stream) {
  try {
    const int64_t position = Stream.Position();
    uint8_t signature[8] = {};
    const int32_t got = Stream.Read(signature, 8);
    Stream.Seek(position, soBeginning);
    return got >= 4 && png_sig_cmp(signature, 0, 4) == 0;
  } catch (...) {
    return false;
  }
}
