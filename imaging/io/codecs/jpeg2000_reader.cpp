#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/jpeg2000_glue.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

using namespace j2000;

namespace {

// A blank 6000 x 4000 picture codes to about 300 bytes (80,000 pixels a byte): every empty code
// block costs a bit. The gate admits twice that and a little more.
constexpr int64_t kJ2000MaxPixelsPerByte = int64_t{1} << 17;

void Fail(TIEProgressRecord& progress, const std::string& message) {
  IOFail(progress, "JPEG 2000: " + message);
}

// One component's samples as 8-bit values at bitmap coordinates.
struct TComponentMap {
  const opj_image_comp_t* comp = nullptr;
  std::vector<int32_t> columns;  // bitmap x -> sample column (or 0)
  int32_t shift = 0;             // to the top 8 bits: > 0 right, < 0 left
  int32_t offset = 0;            // added to signed samples
  int32_t mask = 0;
  int32_t first = -1;            // >= 0: bitmap x reads sample column first + x (no column table)
};

bool MapComponent(const opj_image_t& image, int index, int32_t width, TComponentMap& m) {
  const opj_image_comp_t& c = image.comps[index];
  if (!c.data || c.prec < 1 || c.prec > 31 || c.dx == 0 || c.dy == 0 || c.w == 0 || c.h == 0) return false;
  m.comp = &c;
  m.shift = static_cast<int32_t>(c.prec) - 8;
  m.offset = c.sgnd ? static_cast<int32_t>(1u << (c.prec - 1)) : 0;
  m.mask = static_cast<int32_t>((uint64_t{1} << c.prec) - 1);
  m.columns.resize(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) {
    const int64_t col = (static_cast<int64_t>(image.x0) + x) / c.dx - c.x0;
    m.columns[static_cast<size_t>(x)] = col < 0 || col >= c.w ? 0 : static_cast<int32_t>(col);
  }
  // A component at full resolution covering the row reads its samples in a run.
  const int64_t col0 = static_cast<int64_t>(image.x0) - c.x0;
  if (c.dx == 1 && col0 >= 0 && col0 + width <= c.w) m.first = static_cast<int32_t>(col0);
  return true;
}

// The three colour samples of a row in a run each, into blue, green, red (the common case, kept
// in a loop of its own the compiler vectorises).
void RunRGBRow(const TComponentMap (&maps)[3], const OPJ_INT32* const (&rows)[3], uint8_t* out, int32_t width) {
  const OPJ_INT32* r = rows[0] + maps[0].first;
  const OPJ_INT32* g = rows[1] + maps[1].first;
  const OPJ_INT32* b = rows[2] + maps[2].first;
  const int32_t offR = maps[0].offset, offG = maps[1].offset, offB = maps[2].offset;
  const uint32_t maskR = static_cast<uint32_t>(maps[0].mask), maskG = static_cast<uint32_t>(maps[1].mask),
                 maskB = static_cast<uint32_t>(maps[2].mask);
  const int32_t shR = maps[0].shift, shG = maps[1].shift, shB = maps[2].shift;
  for (int32_t x = 0; x < width; ++x) {
    out[3 * x + 2] = static_cast<uint8_t>(((static_cast<uint32_t>(r[x]) + static_cast<uint32_t>(offR)) & maskR) >> shR);
    out[3 * x + 1] = static_cast<uint8_t>(((static_cast<uint32_t>(g[x]) + static_cast<uint32_t>(offG)) & maskG) >> shG);
    out[3 * x] = static_cast<uint8_t>(((static_cast<uint32_t>(b[x]) + static_cast<uint32_t>(offB)) & maskB) >> shB);
  }
}

// The component's row for bitmap row y.
const OPJ_INT32* ComponentRow(const opj_image_t& image, const TComponentMap& m, int32_t y) {
  const opj_image_comp_t& c = *m.comp;
  int64_t row = (static_cast<int64_t>(image.y0) + y) / c.dy - c.y0;
  if (row < 0 || row >= c.h) row = 0;
  return c.data + static_cast<size_t>(row) * c.w;
}

inline uint8_t Top8(const TComponentMap& m, OPJ_INT32 v) {
  const uint32_t u = static_cast<uint32_t>((static_cast<int64_t>(v) + m.offset) & m.mask);
  return static_cast<uint8_t>(m.shift >= 0 ? u >> m.shift : u << -m.shift);
}

inline uint8_t Clamp8(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

bool DecodeAll(TStream& stream, bool jp2, bool headerOnly, ImagePtr& image, TCodecErrors& errors,
               TStreamBinding& binding) {
  CodecPtr codec = MakeCodec(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K, true, errors);
  if (!codec) return false;
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(codec.get(), &parameters)) return false;
  opj_codec_set_threads(codec.get(), headerOnly ? 1 : ThreadCount());
  binding.stream = &stream;
  StreamPtr s = MakeStream(binding, true);
  if (!s) return false;
  opj_image_t* raw = nullptr;
  const bool header = opj_read_header(s.get(), codec.get(), &raw);
  image.reset(raw);
  if (!header || !image) return false;
  if (headerOnly) return true;
  return opj_decode(codec.get(), s.get(), image.get()) && opj_end_decompress(codec.get(), s.get()) &&
         !binding.failed;
}

}  // namespace

namespace {

void ReadImage(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
               bool HeaderOnly, bool RawGrey) {
  const bool jp2 = IsJP2Stream(Stream);
  if (!jp2 && !IsJ2KStream(Stream)) return Fail(Progress, "not a JP2 file or J2K code stream");
  THeaderFacts facts;
  if (!ReadHeaderFacts(Stream, jp2, facts)) return Fail(Progress, "no image header");
  if (facts.colorSpace == TColorSpace::Other) return Fail(Progress, "colour space not supported");

  // Before OpenJPEG allocates anything: could the code stream hold a picture this large, and are
  // its tiles not absurdly many?
  TIEImageData data;
  data.Bytes = facts.codeStreamBytes;
  data.BitsPerPixel = 8 * static_cast<int32_t>(std::min<uint32_t>(facts.components, 4));
  data.MaxPixelsPerByte = kJ2000MaxPixelsPerByte;
  if (!IEImageSizePlausible(facts.width, facts.height, data)) return Fail(Progress, "the data cannot hold the image size");
  if (facts.tileWidth == 0 || facts.tileHeight == 0) return Fail(Progress, "no tile size");
  const uint64_t tiles = (uint64_t{facts.width} + facts.x0 - facts.tileX0 + facts.tileWidth - 1) / facts.tileWidth *
                         ((uint64_t{facts.height} + facts.y0 - facts.tileY0 + facts.tileHeight - 1) / facts.tileHeight);
  if (tiles > static_cast<uint64_t>(std::max<int64_t>(64, facts.codeStreamBytes)))
    return Fail(Progress, "more tiles than the data can code");

  ImagePtr image;
  TCodecErrors errors;
  TStreamBinding binding;
  const int64_t start = Stream.Position();
  const bool decoded = DecodeAll(Stream, jp2, HeaderOnly, image, errors, binding);
  try {
    Stream.Seek(start, soBeginning);
  } catch (const std::exception&) {
  }
  if (!decoded) return Fail(Progress, errors.first.empty() ? "cannot decode the image" : errors.first);

  const opj_image_t& im = *image;
  if (im.numcomps == 0 || im.x1 <= im.x0 || im.y1 <= im.y0) return Fail(Progress, "empty image");
  const int32_t width = static_cast<int32_t>(std::min<uint64_t>(uint64_t{im.x1} - im.x0, INT32_MAX));
  const int32_t height = static_cast<int32_t>(std::min<uint64_t>(uint64_t{im.y1} - im.y0, INT32_MAX));

  // The colour components in order, and the opacity component: OpenJPEG marks it from a JP2
  // channel definition once decoded; before that, and in code streams, the facts say.
  std::vector<int> colour;
  int alpha = -1;
  for (OPJ_UINT32 i = 0; i < im.numcomps; ++i) {
    bool opacity = im.comps[i].alpha != 0;
    if (jp2 && HeaderOnly)
      opacity = std::find(facts.opacity.begin(), facts.opacity.end(), static_cast<int32_t>(i)) != facts.opacity.end();
    if (opacity) {
      if (alpha < 0) alpha = static_cast<int>(i);
    } else {
      colour.push_back(static_cast<int>(i));
    }
  }
  // Without a channel definition (code streams cannot hold one), a component after grey or RGB
  // is the opacity, as other programs read and write it.
  if (alpha < 0 && !facts.channelDefinition && (im.numcomps == 2 || im.numcomps == 4)) {
    alpha = static_cast<int>(im.numcomps) - 1;
    colour.pop_back();
  }
  if (colour.empty()) return Fail(Progress, "no colour component");

  TColorSpace space = facts.colorSpace;
  if (space == TColorSpace::Unknown) space = colour.size() >= 3 ? TColorSpace::RGB : TColorSpace::Grey;
  const OPJ_UINT32 precision = im.comps[colour[0]].prec;
  if (precision < 1 || precision > 31) return Fail(Progress, "sample precision outside 1..31");
  for (int index : colour)
    if (im.comps[index].prec < 1 || im.comps[index].prec > 31) return Fail(Progress, "sample precision outside 1..31");
  if (alpha >= 0 && (im.comps[alpha].prec < 1 || im.comps[alpha].prec > 31))
    return Fail(Progress, "sample precision outside 1..31");

  // Colour spaces with three components: a component the image lacks reads as the first.
  int used[3] = {colour[0], colour[0], colour[0]};
  if (space != TColorSpace::Grey)
    for (size_t k = 0; k < 3 && k < colour.size(); ++k) used[k] = colour[k];

  Params.SetImageCount(1);
  Params.BitsPerSample = static_cast<int32_t>(precision);
  Params.SamplesPerPixel = space == TColorSpace::Grey ? 1 : 3;
  Params.J2000ColorSpace = space == TColorSpace::Grey ? 0 : space == TColorSpace::RGB ? 1 : 2;
  Params.SetDpiX(DefaultDPIX);
  Params.SetDpiY(DefaultDPIY);
  Params.FreeColorMap();
  Params.Width = width;
  Params.Height = height;
  Params.OriginalWidth = width;
  Params.OriginalHeight = height;
  if (HeaderOnly) return;

  TComponentMap maps[3];
  TComponentMap alphaMap;
  for (int k = 0; k < 3; ++k)
    if (!MapComponent(im, used[k], width, maps[k])) return Fail(Progress, "damaged component");
  if (alpha >= 0 && !MapComponent(im, alpha, width, alphaMap)) return Fail(Progress, "damaged component");

  if (RawGrey) {
    // The samples as they are: ie8g up to 8 bits, ie16g up to 16 (signed ones as two's complement).
    if (space != TColorSpace::Grey || precision > 16) return Fail(Progress, "not a grey image of at most 16 bits");
    if (!Bitmap.Allocate(width, height, precision <= 8 ? ie8g : ie16g)) return Fail(Progress, "out of memory");
    Bitmap.RemoveAlphaChannel();
    const TComponentMap& m = maps[0];
    for (int32_t y = 0; y < height; ++y) {
      const OPJ_INT32* row = ComponentRow(im, m, y);
      if (precision <= 8) {
        auto* out = static_cast<uint8_t*>(Bitmap.GetRow(y));
        for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(row[m.columns[x]]);
      } else {
        auto* out = static_cast<uint16_t*>(Bitmap.GetRow(y));
        for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint16_t>(row[m.columns[x]]);
      }
    }
    return;
  }
  const bool bilevel = space == TColorSpace::Grey && precision == 1;
  if (!Bitmap.Allocate(width, height, bilevel ? ie1g : ie24RGB)) return Fail(Progress, "out of memory");
  TIEBitmap* alphaChannel = nullptr;
  if (alpha >= 0) {
    alphaChannel = Bitmap.GetAlphaChannel();
    if (!alphaChannel) return Fail(Progress, "out of memory");
  } else {
    Bitmap.RemoveAlphaChannel();
  }
  const TIEJ2000YCbCrTables& t = J2000YCbCrTables();
  // Runs of samples: each colour component at full size and of 8 bits or more.
  bool runs = true;
  for (const TComponentMap& m : maps) runs = runs && m.first >= 0 && m.shift >= 0;

  for (int32_t y = 0; y < height; ++y) {
    const OPJ_INT32* rows[3] = {ComponentRow(im, maps[0], y), ComponentRow(im, maps[1], y), ComponentRow(im, maps[2], y)};
    auto* out = static_cast<uint8_t*>(Bitmap.GetRow(y));
    if (bilevel) {
      for (int32_t x = 0; x < width; ++x) SetRowBit(out, x, Top8(maps[0], rows[0][maps[0].columns[x]]) ? 1 : 0);
    } else if (space == TColorSpace::Grey) {
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t v = Top8(maps[0], rows[0][maps[0].columns[x]]);
        out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = v;
      }
    } else if (space == TColorSpace::RGB && runs) {
      RunRGBRow(maps, rows, out, width);
    } else if (space == TColorSpace::RGB) {
      for (int32_t x = 0; x < width; ++x) {
        out[3 * x + 2] = Top8(maps[0], rows[0][maps[0].columns[x]]);
        out[3 * x + 1] = Top8(maps[1], rows[1][maps[1].columns[x]]);
        out[3 * x] = Top8(maps[2], rows[2][maps[2].columns[x]]);
      }
    } else {
      for (int32_t x = 0; x < width; ++x) {
        const int yy = Top8(maps[0], rows[0][maps[0].columns[x]]);
        const uint8_t cb = Top8(maps[1], rows[1][maps[1].columns[x]]);
        const uint8_t cr = Top8(maps[2], rows[2][maps[2].columns[x]]);
        out[3 * x + 2] = Clamp8(yy + t.CrToR[cr]);
        out[3 * x + 1] = Clamp8(yy + t.CbToG[cb] + t.CrToG[cr]);
        out[3 * x] = Clamp8(yy + t.CbToB[cb]);
      }
    }
    if (alphaChannel) {
      const OPJ_INT32* a = ComponentRow(im, alphaMap, y);
      auto* dst = static_cast<uint8_t*>(alphaChannel->GetRow(y));
      for (int32_t x = 0; x < width; ++x) dst[x] = Top8(alphaMap, a[alphaMap.columns[x]]);
    }
    Progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
    if (Progress.IsAborting()) return;
  }
  if (alphaChannel) alphaChannel->SyncFull();
}

}  // namespace

void ReadJpeg2000Stream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                        bool HeaderOnly) {
  ReadImage(Stream, Bitmap, Params, Progress, HeaderOnly, false);
}

void ReadJpeg2000Samples(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  ReadImage(Stream, Bitmap, Params, Progress, false, true);
}
