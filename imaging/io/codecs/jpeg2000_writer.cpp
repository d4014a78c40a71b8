#include <algorithm>
#include <cmath>
#include <exception>
#include <string>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/jpeg2000_glue.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

using namespace j2000;

namespace {

void Fail(TIEProgressRecord& progress, const std::string& message) {
  IOFail(progress, "JPEG 2000: " + message);
}

// True when some pixel of the alpha channel is not fully opaque.
bool HasTransparency(TIEBitmap& bitmap) {
  if (!bitmap.HasAlphaChannel()) return false;
  TIEBitmap* alpha = bitmap.GetAlphaChannel();
  for (int32_t y = 0; y < alpha->Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(alpha->GetRow(y));
    for (int32_t x = 0; x < alpha->Width(); ++x)
      if (row[x] != 255) return true;
  }
  return false;
}

// Resolution levels OpenJPEG accepts for the size: the smallest level keeps at least one sample.
int Resolutions(int32_t width, int32_t height) {
  int levels = 1;
  for (int32_t side = std::min(width, height); side >= 2 && levels < 6; side /= 2) ++levels;
  return levels;
}

}  // namespace

void WriteJpeg2000Stream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                         TIEJ2000Format Format) {
  if (!std::isfinite(Params.J2000Rate) || Params.J2000Rate <= 0) return Fail(Progress, "the rate must be above 0");
  if (Bitmap.Width() <= 0 || Bitmap.Height() <= 0) return Fail(Progress, "empty image");

  // Other formats go through a 24-bit copy that keeps the alpha channel; the caller's bitmap stays.
  TIEBitmap* source = &Bitmap;
  std::unique_ptr<TIEBitmap> converted;
  if (Bitmap.PixelFormat() != ie24RGB && Bitmap.PixelFormat() != ie1g) {
    converted = IEConvertedCopy(Bitmap, ie24RGB);
    if (!converted) return Fail(Progress, "out of memory");
    source = converted.get();
  }
  const bool bilevel = source->PixelFormat() == ie1g;
  if (bilevel) {
    Params.BitsPerSample = 1;
    Params.J2000ColorSpace = 0;
  }
  if (Params.BitsPerSample < 1 || Params.BitsPerSample > 16) return Fail(Progress, "bits per sample outside 1..16");

  const int32_t width = source->Width(), height = source->Height();
  const bool grey = Params.J2000ColorSpace == 0;
  const bool withAlpha = HasTransparency(*source);
  const OPJ_UINT32 colours = grey ? 1 : 3;
  const OPJ_UINT32 count = colours + (withAlpha ? 1 : 0);
  const uint32_t bits = static_cast<uint32_t>(Params.BitsPerSample);
  const uint32_t maxval = (1u << bits) - 1;

  opj_image_cmptparm_t layout[4] = {};
  for (OPJ_UINT32 c = 0; c < count; ++c) {
    layout[c].dx = layout[c].dy = 1;
    layout[c].w = static_cast<OPJ_UINT32>(width);
    layout[c].h = static_cast<OPJ_UINT32>(height);
    layout[c].prec = bits;
    layout[c].sgnd = 0;
  }
  ImagePtr image(opj_image_create(count, layout, grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
  if (!image) return Fail(Progress, "out of memory");
  image->x0 = image->y0 = 0;
  image->x1 = static_cast<OPJ_UINT32>(width);
  image->y1 = static_cast<OPJ_UINT32>(height);
  if (withAlpha) image->comps[colours].alpha = 1;

  // Samples scaled from 8 bits to the depth: v / 255 x maxval, truncated.
  int32_t scale[256];
  for (uint32_t v = 0; v < 256; ++v) scale[v] = static_cast<int32_t>(v * maxval / 255);
  TIEBitmap* alphaChannel = withAlpha ? source->GetAlphaChannel() : nullptr;
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = static_cast<const uint8_t*>(source->GetRow(y));
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width);
    if (bilevel) {
      OPJ_INT32* g = image->comps[0].data + at;
      for (int32_t x = 0; x < width; ++x) g[x] = GetRowBit(row, x) ? 1 : 0;
    } else if (grey) {
      OPJ_INT32* g = image->comps[0].data + at;
      for (int32_t x = 0; x < width; ++x) {
        const int32_t level = (row[3 * x + 2] * GreyWeightRed + row[3 * x + 1] * GreyWeightGreen +
                               row[3 * x] * GreyWeightBlue) / 100;
        g[x] = scale[std::clamp(level, 0, 255)];
      }
    } else {
      OPJ_INT32* r = image->comps[0].data + at;
      OPJ_INT32* g = image->comps[1].data + at;
      OPJ_INT32* b = image->comps[2].data + at;
      for (int32_t x = 0; x < width; ++x) {
        r[x] = scale[row[3 * x + 2]];
        g[x] = scale[row[3 * x + 1]];
        b[x] = scale[row[3 * x]];
      }
    }
    if (alphaChannel) {
      const auto* a = static_cast<const uint8_t*>(alphaChannel->GetRow(y));
      OPJ_INT32* out = image->comps[colours].data + at;
      for (int32_t x = 0; x < width; ++x) out[x] = scale[a[x]];
    }
    Progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
    if (Progress.IsAborting()) return;  // nothing is written for a stopped save
  }

  opj_cparameters_t parameters;
  opj_set_default_encoder_parameters(&parameters);
  parameters.tcp_numlayers = 1;
  parameters.tcp_rates[0] = Params.J2000Rate >= 1 ? 0.0f : static_cast<float>(1.0 / Params.J2000Rate);
  parameters.cp_disto_alloc = 1;
  parameters.irreversible = 0;
  parameters.tcp_mct = colours >= 3 ? 1 : 0;
  parameters.numresolution = Resolutions(width, height);
  if (Params.J2000ProgressionOrder == 1) parameters.prog_order = OPJ_RLCP;
  else parameters.prog_order = OPJ_LRCP;

  TCodecErrors errors;
  CodecPtr codec = MakeCodec(Format == ieJ2000J2K ? OPJ_CODEC_J2K : OPJ_CODEC_JP2, false, errors);
  if (!codec || !opj_setup_encoder(codec.get(), &parameters, image.get()))
    return Fail(Progress, errors.first.empty() ? "cannot set up the encoder" : errors.first);
  opj_codec_set_threads(codec.get(), ThreadCount());
  TStreamBinding binding;
  binding.stream = &Stream;
  StreamPtr s = MakeStream(binding, false);
  if (!s) return Fail(Progress, "cannot open the stream");
  const bool ok = opj_start_compress(codec.get(), image.get(), s.get()) && opj_encode(codec.get(), s.get()) &&
                  opj_end_compress(codec.get(), s.get());
  if (!ok || binding.failed) return Fail(Progress, errors.first.empty() ? "cannot encode the image" : errors.first);
}
