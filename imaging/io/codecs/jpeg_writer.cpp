// WriteJpegStream: a TIEBitmap as a JPEG stream through libjpeg.
#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/jpeg_library.h"
#include "imaging/io/color_converter.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "platform/system/streams.h"

namespace {

constexpr uint8_t kAPP14 = 0xEE;
constexpr int32_t kRowBatch = 16;

struct Encoder {
  jpeg_compress_struct cinfo;
  jpegglue::ErrorManager err;
  jpegglue::DestinationManager dst;
};

uint16_t Density(int32_t dpi, int32_t fallback) {
  return static_cast<uint16_t>(dpi != 0 ? dpi : fallback);
}

// Encodes the 24-bit Source; false with the library's message code when the library raised an error.
bool Encode(TStream& Stream, TIEBitmap& Source, TIOParamsVals& Params, TIEProgressRecord& Progress,
            int32_t& ErrorCode) {
  const int32_t width = Source.Width(), height = Source.Height();
  auto encoder = std::make_unique<Encoder>();
  Encoder& e = *encoder;
  j_compress_ptr c = &e.cinfo;
  jpegglue::InitErrorManager(e.err, &Progress);
  jpegglue::CompressGuard guard(c);
  bool ok = jpegglue::CreateCompress(c, e.err);
  guard.created = ok;
  if (ok && !Progress.IsAborting()) {
    jpegglue::AttachDestination(c, e.dst, Stream, &Progress);
    c->image_width = static_cast<JDIMENSION>(width);
    c->image_height = static_cast<JDIMENSION>(height);
    jpegglue::CompressOptions o{};
    o.inputSpace = JCS_EXT_BGR;
    o.inputComponents = 3;
    switch (Params.JpegColorSpace) {
      case 1: o.fileSpace = JCS_GRAYSCALE; break;
      case 2: o.fileSpace = JCS_YCbCr; break;
      case 3: o.fileSpace = JCS_CMYK; break;
      case 4: o.fileSpace = JCS_YCCK; break;
      default: o.fileSpace = JCS_RGB; break;
    }
    const bool cmykInput = o.fileSpace == JCS_CMYK || o.fileSpace == JCS_YCCK;
    if (cmykInput) {
      o.inputSpace = JCS_CMYK;
      o.inputComponents = 4;
    }
    o.densityX = Density(Params.DpiX, DefaultDPIX);
    o.densityY = Density(Params.DpiY, DefaultDPIY);
    o.dctMethod = Params.JpegDCTMethod == 1 ? JDCT_IFAST : Params.JpegDCTMethod == 2 ? JDCT_FLOAT : JDCT_ISLOW;
    o.optimizeCoding = Params.JpegOptimalHuffman;
    o.smoothing = std::clamp(Params.JpegSmooth, 0, 100);
    o.quality = Params.JpegQuality;
    if (o.fileSpace == JCS_YCbCr) {
      switch (Params.JpegChromaSubsampling) {
        case 0: o.lumaH = 2, o.lumaV = 1; break;
        case 2: o.lumaH = 1, o.lumaV = 1; break;
        default: o.lumaH = 2, o.lumaV = 2; break;
      }
    }
    // The library leaves the JFIF header out of CMYK files; this writer puts it in (the library
    // also writes its Adobe marker for CMYK and YCCK).
    o.jfifHeader = o.fileSpace == JCS_CMYK;
    o.progressive = Params.JpegProgressive;
    ok = jpegglue::SetCompressOptions(c, o) && jpegglue::StartCompress(c);

    // The markers, in order; the library writes its own APP14.
    if (ok) {
      Params.JpegMarkers.Sort();
      for (int32_t i = 0; i < Params.JpegMarkers.GetCount() && ok; ++i) {
        const uint8_t type = Params.JpegMarkers.GetMarkerType(i);
        if (type == kAPP14) continue;
        ok = jpegglue::WriteMarker(c, type, Params.JpegMarkers.GetMarkerData(i),
                                   static_cast<unsigned>(Params.JpegMarkers.GetMarkerLength(i)));
      }
    }

    // The rows, from the top. CMYK goes through the colour converter; the others go to the library as
    // they are (it reads blue, green, red itself).
    if (ok) {
      std::vector<uint8_t> work;
      if (cmykInput) work.resize(static_cast<size_t>(width) * 4);
      const bool batch = !cmykInput && Source.Location() == ieMemory;
      const TIEColorConverterFunc convert = DefaultColorConverter ? DefaultColorConverter : ConvertColorRow;
      TIERowAccessScope readOnly(Source, iraRead);
      JSAMPROW rows[kRowBatch];
      int32_t y = 0;
      while (y < height && ok && !Progress.IsAborting()) {
        const int32_t count = batch ? std::min(kRowBatch, height - y) : 1;
        if (cmykInput) {
          convert(Source.GetRow(y), iecsBGR, work.data(), iecsCMYKInv, width, &Params);
          rows[0] = work.data();
        } else {
          for (int32_t i = 0; i < count; ++i) rows[i] = static_cast<JSAMPROW>(Source.GetRow(y + i));
        }
        JDIMENSION written = 0;
        ok = jpegglue::WriteScanlines(c, rows, static_cast<JDIMENSION>(count), &written);
        for (int32_t i = 0; i < count && ok; ++i) {
          ++Progress.Counter;
          Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y + i + 1) * 100 / height));
        }
        y += count;
      }
      if (ok && !Progress.IsAborting()) ok = jpegglue::FinishCompress(c);
    }
  }
  ErrorCode = e.err.errorCode;
  return ok;
}

}  // namespace

void WriteJpegStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  // Other formats go through a 24-bit copy: the caller's bitmap stays as it is.
  TIEBitmap* source = &Bitmap;
  std::unique_ptr<TIEBitmap> converted;
  if (Bitmap.PixelFormat() != ie24RGB) {
    converted = std::make_unique<TIEBitmap>();
    if (Bitmap.Width() > 0 && Bitmap.Height() > 0 && converted->Allocate(Bitmap.Width(), Bitmap.Height(), ie24RGB))
      converted->CopyAndConvertFormat(Bitmap);
    source = converted.get();
  }
  if (source->Width() <= 0 || source->Height() <= 0 || source->PixelFormat() != ie24RGB) {
    Progress.Abort();
    return;
  }
  int32_t errorCode = -1;
  if (!Encode(Stream, *source, Params, Progress, errorCode)) {
    Progress.Abort();
    throw EIEJpegException(jpegglue::MessageText(errorCode));
  }
}
