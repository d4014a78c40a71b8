// ReadJpegStream: a JPEG stream into a TIEBitmap through libjpeg.
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_icc.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/jpeg_library.h"
#include "imaging/io/color_converter.h"
#include "imaging/io/exif_blocks.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/system/streams.h"

namespace {

constexpr uint8_t kAPP0 = 0xE0;
constexpr uint8_t kAPP1 = 0xE1;
constexpr uint8_t kAPP2 = 0xE2;
constexpr uint8_t kAPP13 = 0xED;

// Rows handed to the library in one call when they can be written straight into the bitmap.
constexpr int32_t kRowBatch = 16;

struct Decoder {
  jpeg_decompress_struct cinfo;
  jpegglue::ErrorManager err;
  jpegglue::SourceManager src;
};

// The size gate: the data after the headers must be able to code the image. Huffman coding spends at
// least one bit on every block of every component (a progressive file's first DC scan), so eight
// blocks per byte at best. Arithmetic coding adapts until a flat picture costs it about 1e-4 bit per
// block (its smallest probability estimate), so 131072 blocks per byte.
bool SizePlausible(j_decompress_ptr c, int64_t bytesLeft) {
  int64_t blocks = 0;
  for (int i = 0; i < c->num_components; ++i)
    blocks += static_cast<int64_t>(c->comp_info[i].width_in_blocks) * c->comp_info[i].height_in_blocks;
  if (blocks <= 0) return false;
  const int64_t pixels = static_cast<int64_t>(c->image_width) * c->image_height;
  const int64_t blocksPerByte = c->arith_code ? int64_t{1} << 17 : 8;
  TIEImageData data;
  data.Bytes = bytesLeft;
  data.BitsPerPixel = 8 * std::max(1, c->num_components);
  data.MaxPixelsPerByte = std::max<int64_t>(1, (pixels * blocksPerByte + blocks - 1) / blocks);
  return IEImageSizePlausible(c->image_width, c->image_height, data);
}

// The most memory the library may take: whole-image coefficient buffers (which a progressive or
// multi-scan file needs), plus room for its row buffers and tables.
int64_t MemoryLimit(j_decompress_ptr c) {
  int64_t coefficients = 0;
  for (int i = 0; i < c->num_components; ++i)
    coefficients += (static_cast<int64_t>(c->comp_info[i].width_in_blocks) + c->max_h_samp_factor) *
                    (static_cast<int64_t>(c->comp_info[i].height_in_blocks) + c->max_v_samp_factor) *
                    static_cast<int64_t>(sizeof(JBLOCK));
  return coefficients + JpegMemoryHeadroomForTesting();
}

int64_t BytesLeft(Decoder& d) {
  try {
    return std::max<int64_t>(0, d.src.stream->Size() - d.src.stream->Position()) +
           static_cast<int64_t>(d.src.pub.bytes_in_buffer);
  } catch (...) {
    return static_cast<int64_t>(d.src.pub.bytes_in_buffer);
  }
}

void ConvertRow(void* source, int32_t sourceSpace, void* dest, int32_t destSpace, int32_t count,
                TIOParamsVals& params) {
  const TIEColorConverterFunc convert = DefaultColorConverter ? DefaultColorConverter : ConvertColorRow;
  convert(source, sourceSpace, dest, destSpace, count, &params);
}

void Invert(uint8_t* bytes, int64_t count) {
  for (int64_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
}

// How decoded rows reach the bitmap.
enum class RowRoute {
  Direct,      // straight into the bitmap's rows
  SwapRB,      // straight in, then red and blue exchanged (the file's own R, G, B)
  InvertDirect,  // straight in, then each byte turned over (CMYK with 0 for no ink)
  ConvertBGR,  // through the work row and the colour converter, from B, G, R (the file's profile)
  ConvertCMYK,  // through the work row and the colour converter, from CMYK
};

// The metadata of the markers: IPTC of the first APP13 marker that holds it, EXIF of the first APP1
// marker that is an EXIF block (its resolution where the file has no JFIF density, its orientation
// applied when asked), XMP of the first APP1 marker that holds a packet.
void ReadJpegMetadata(TIEBitmap& bitmap, TIOParamsVals& params, bool noPixels) {
  TIEMarkerList& markers = params.JpegMarkers;
  for (int32_t i = 0; i < markers.GetCount(); ++i) {
    if (markers.GetMarkerType(i) != kAPP13) continue;
    if (params.IPTC.LoadFromBuffer(markers.GetMarkerData(i), markers.GetMarkerLength(i))) break;
  }
  const int32_t jfifX = params.DpiX, jfifY = params.DpiY;
  for (int32_t i = 0; i < markers.GetCount(); ++i) {
    if (markers.GetMarkerType(i) != kAPP1) continue;
    if (!LoadEXIFFromBuffer(markers.GetMarkerData(i), markers.GetMarkerLength(i), params)) continue;
    if (jfifX == 1 && jfifY == 1) {
      // No JFIF density: EXIF's resolution, which the TIFF reader already gave in dots per inch.
      params.SetDpiX(static_cast<int32_t>(std::clamp(std::trunc(params.ExifXResolution), 0.0, 2147483647.0)));
      params.SetDpiY(static_cast<int32_t>(std::clamp(std::trunc(params.ExifYResolution), 0.0, 2147483647.0)));
    } else {
      params.SetDpiX(jfifX);
      params.SetDpiY(jfifY);
    }
    if (params.JpegEnableAdjustOrientation && !noPixels) {
      ApplyOrientation(bitmap, params.ExifOrientation);
      params.SetExifOrientation(1);
    }
    break;
  }
  for (int32_t i = 0; i < markers.GetCount(); ++i)
    if (markers.GetMarkerType(i) == kAPP1 && ReadXMPFromAPP1(markers.GetMarkerData(i), markers.GetMarkerLength(i), params))
      break;
}

}  // namespace

int32_t& JpegScanLimitForTesting() {
  static int32_t limit = 500;
  return limit;
}

int64_t& JpegMemoryHeadroomForTesting() {
  static int64_t headroom = int64_t{64} << 20;
  return headroom;
}

int32_t ReadJpegStream(TStream& Stream, TStream* TablesStream, TIEBitmap& Bitmap, TIOParamsVals& Params,
                       TIEProgressRecord& Progress, bool HeaderOnly, bool RawYCbCr, bool ReadMetadata,
                       bool InvertCMYK, bool DropAppliedICC, bool ReadICC, int32_t MaxLines,
                       bool NativePixelFormat) {
  if (Params.JpegGetExifThumbnail) {
    // The EXIF thumbnail instead of the image, when the file has one: its header and markers are
    // read first, then the stream goes back to where the JPEG starts.
    const int64_t at = Stream.Position();
    if (TIEBitmap* thumbnail = Params.ExifThumbnail()) thumbnail->FreeImage();
    const int32_t width = Params.Width, height = Params.Height;
    Params.SetGetThumbnail(false);
    ReadJpegStream(Stream, TablesStream, Bitmap, Params, Progress, true, RawYCbCr, true, InvertCMYK, DropAppliedICC,
                   false, -1, Params.IsNativePixelFormat);
    Params.SetGetThumbnail(true);
    Stream.Seek(at, soBeginning);
    if (TIEBitmap* thumbnail = Params.ExifThumbnail(); thumbnail && !thumbnail->IsEmpty()) {
      Bitmap.Assign(*thumbnail);
      return 0;
    }
    Params.Width = width;
    Params.Height = height;
    Params.OriginalWidth = width;
    Params.OriginalHeight = height;
  }
  Params.JpegWarningCount = 0;
  Params.JpegWarningCode = 0;
  int64_t start = -1;
  try {
    start = FindJpegSOI(Stream, true);
    if (start >= 0) Stream.Seek(start, soBeginning);
  } catch (...) {
    start = -1;
  }
  if (start < 0) {
    Progress.Abort();
    return 0;
  }
  if (ReadICC) ReadJpegICCProfile(Stream, Params);
  const bool iccApplies = Params.InputICCProfile() != nullptr && ICCConversionEnabled;

  auto decoder = std::make_unique<Decoder>();
  Decoder& d = *decoder;
  j_decompress_ptr c = &d.cinfo;
  jpegglue::InitErrorManager(d.err, &Progress);
  d.err.scanLimit = JpegScanLimitForTesting();
  jpegglue::DecompressGuard guard(c);
  int32_t rowsDone = 0;
  bool started = false;

  // Steps that end the decoding early jump to the marker steps, which always run.
  do {
    if (!jpegglue::CreateDecompress(c, d.err)) break;
    guard.created = true;
    // The headers and saved markers: bounded memory until the image's own needs are known.
    c->mem->max_memory_to_use = static_cast<long>(JpegMemoryHeadroomForTesting());
    if (Progress.IsAborting()) break;
    int header = 0;
    if (TablesStream && TablesStream != &Stream) {
      jpegglue::AttachSource(c, d.src, *TablesStream, nullptr);
      if (!jpegglue::ReadHeader(c, false, &header)) break;
    }
    jpegglue::AttachSource(c, d.src, Stream, &Progress);
    if (!jpegglue::SaveMarkers(c)) break;
    if (!jpegglue::ReadHeader(c, true, &header) || Progress.IsAborting()) break;

    Params.SetImageCount(1);
    Params.BitsPerSample = 8;
    switch (c->jpeg_color_space) {
      case JCS_GRAYSCALE:
        Params.JpegColorSpace = 1;
        Params.SamplesPerPixel = 1;
        c->out_color_space = NativePixelFormat ? JCS_GRAYSCALE : JCS_EXT_BGR;
        break;
      case JCS_RGB:
        Params.JpegColorSpace = 0;
        Params.SamplesPerPixel = 3;
        c->out_color_space = RawYCbCr ? JCS_RGB : JCS_EXT_BGR;
        break;
      case JCS_YCbCr:
        Params.JpegColorSpace = 2;
        Params.SamplesPerPixel = 3;
        c->out_color_space = RawYCbCr ? JCS_YCbCr : JCS_EXT_BGR;
        break;
      case JCS_CMYK:
        Params.JpegColorSpace = 3;
        Params.SamplesPerPixel = 4;
        c->out_color_space = JCS_CMYK;
        break;
      case JCS_YCCK:
        Params.JpegColorSpace = 4;
        Params.SamplesPerPixel = 4;
        c->out_color_space = JCS_CMYK;
        break;
      default:
        // Components that are none of these (two, or more than four) make no picture here.
        Progress.Abort();
        break;
    }
    if (Progress.IsAborting()) break;
    switch (Params.JpegDCTMethod) {
      case 1: c->dct_method = JDCT_IFAST; break;
      case 2: c->dct_method = JDCT_FLOAT; break;
      default: c->dct_method = JDCT_ISLOW; break;
    }
    // A file without JFIF density says 1 x 1 (the library's default); the I/O component puts its
    // default resolution in place of values below 2.
    if (c->density_unit == 0 || c->density_unit == 1) {
      Params.SetDpiX(c->X_density);
      Params.SetDpiY(c->Y_density);
    } else if (c->density_unit == 2) {
      Params.SetDpiX(static_cast<int32_t>(std::trunc(c->X_density * 2.54)));
      Params.SetDpiY(static_cast<int32_t>(std::trunc(c->Y_density * 2.54)));
    }
    Params.FreeColorMap();
    Params.JpegProgressive = c->progressive_mode != 0;
    Params.OriginalWidth = static_cast<int32_t>(c->image_width);
    Params.OriginalHeight = static_cast<int32_t>(c->image_height);

    int32_t denominator = 1;
    switch (Params.JpegScale) {
      case 0:
        if (Params.Width > 0 && Params.Height > 0) {
          for (int n = 3; n >= 0; --n) {
            if (static_cast<int64_t>(c->image_width >> n) >= Params.Width &&
                static_cast<int64_t>(c->image_height >> n) >= Params.Height) {
              denominator = 1 << n;
              break;
            }
          }
        }
        break;
      case 2: denominator = 2; break;
      case 3: denominator = 4; break;
      case 4: denominator = 8; break;
      default: break;
    }
    Params.JpegScaleUsed = denominator;
    if (HeaderOnly) {
      Params.Width = static_cast<int32_t>(c->image_width);
      Params.Height = static_cast<int32_t>(c->image_height);
      break;
    }

    // Nothing is allocated for an image the data cannot hold.
    if (!SizePlausible(c, BytesLeft(d))) {
      Progress.Abort();
      break;
    }
    c->mem->max_memory_to_use = static_cast<long>(MemoryLimit(c));
    c->scale_num = 1;
    c->scale_denom = static_cast<unsigned>(denominator);
    if (!jpegglue::StartDecompress(c) || Progress.IsAborting()) break;
    started = true;
    const int32_t width = static_cast<int32_t>(c->output_width);
    const int32_t height = static_cast<int32_t>(c->output_height);
    Params.Width = width;
    Params.Height = height;

    TIEPixelFormat format = ie24RGB;
    if (NativePixelFormat && c->out_color_space == JCS_GRAYSCALE) format = ie8g;
    if (NativePixelFormat && c->out_color_space == JCS_CMYK) format = ieCMYK;
    RowRoute route = RowRoute::Direct;
    if (c->out_color_space == JCS_CMYK)
      route = format == ieCMYK ? (InvertCMYK ? RowRoute::InvertDirect : RowRoute::Direct) : RowRoute::ConvertCMYK;
    else if (c->out_color_space == JCS_EXT_BGR && c->jpeg_color_space != JCS_GRAYSCALE && iccApplies)
      route = RowRoute::ConvertBGR;
    else if (c->out_color_space == JCS_RGB)
      route = RowRoute::SwapRB;
    if (!Bitmap.Allocate(width, height, format)) {
      Progress.Abort();
      break;
    }
    std::vector<uint8_t> work;
    if (route == RowRoute::ConvertBGR || route == RowRoute::ConvertCMYK)
      work.resize(static_cast<size_t>(width) * 4);
    if (MaxLines < 0) MaxLines = height;
    const int32_t wanted = std::min(MaxLines, height);
    // Rows of a bitmap in memory stay where they are, so several go to the library at once.
    const bool batch = route != RowRoute::ConvertBGR && route != RowRoute::ConvertCMYK &&
                       Bitmap.Location() == ieMemory;
    TIERowAccessScope writeOnly(Bitmap, iraWrite);
    Progress.PerRow = height > 0 ? 100.0 / height : 0;
    JSAMPROW rows[kRowBatch];
    while (rowsDone < wanted && !Progress.IsAborting()) {
      const int32_t count = batch ? std::min(kRowBatch, wanted - rowsDone) : 1;
      if (route == RowRoute::ConvertBGR || route == RowRoute::ConvertCMYK) {
        rows[0] = work.data();
      } else {
        for (int32_t i = 0; i < count; ++i) rows[i] = static_cast<JSAMPROW>(Bitmap.GetRow(rowsDone + i));
      }
      JDIMENSION got = 0;
      if (!jpegglue::ReadScanlines(c, rows, static_cast<JDIMENSION>(count), &got) || got == 0) break;
      for (JDIMENSION i = 0; i < got; ++i) {
        const int32_t y = rowsDone + static_cast<int32_t>(i);
        switch (route) {
          case RowRoute::Direct: break;
          case RowRoute::SwapRB: SwapRB(rows[i], width); break;
          case RowRoute::InvertDirect: Invert(rows[i], 4 * static_cast<int64_t>(width)); break;
          case RowRoute::ConvertBGR:
            ConvertRow(work.data(), iecsBGR, Bitmap.GetRow(y), iecsBGR, width, Params);
            break;
          case RowRoute::ConvertCMYK:
            if (InvertCMYK) Invert(work.data(), 4 * static_cast<int64_t>(width));
            ConvertRow(work.data(), iecsCMYKInv, Bitmap.GetRow(y), iecsBGR, width, Params);
            break;
        }
        ++Progress.Counter;
        Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y + 1) * 100 / height));
      }
      rowsDone += static_cast<int32_t>(got);
    }
    if (rowsDone < MaxLines) Progress.Abort();
  } while (false);

  // The markers, also after a failure: every saved one but the first APP0 (the JFIF header).
  Params.JpegMarkers.Clear();
  if (guard.created) {
    bool firstAPP0 = true;
    for (jpeg_saved_marker_ptr m = c->marker_list; m; m = m->next) {
      if (m->marker == kAPP0 && firstAPP0) {
        firstAPP0 = false;
        continue;
      }
      try {
        Params.JpegMarkers.AddMarker(m->marker, m->data, static_cast<int32_t>(m->data_length));
      } catch (...) {
        // A marker the list cannot hold is left out.
      }
    }
  }
  if (DropAppliedICC && iccApplies && Params.InputICCProfile()->HasTransform()) {
    Params.InputICCProfile()->FreeTransform();
    for (int32_t i = Params.JpegMarkers.GetCount() - 1; i >= 0; --i)
      if (Params.JpegMarkers.GetMarkerType(i) == kAPP2) Params.JpegMarkers.Delete(i);
  }
  if (guard.created) {
    if (started && !Progress.IsAborting() && rowsDone == static_cast<int32_t>(c->output_height)) {
      // The end of the data: whatever the library finds there is no failure of the image.
      d.err.progress = nullptr;
      jpegglue::FinishDecompress(c);
      // The stream stands just after the image, so that a second image in it can follow.
      if (d.src.pub.bytes_in_buffer > 0 && !d.src.streamFailed) {
        try {
          Stream.Seek(-static_cast<int64_t>(d.src.pub.bytes_in_buffer), soCurrent);
        } catch (...) {
        }
      }
    } else if (started) {
      // Stopped before the end (MaxLines or a failure): nothing more is read.
      jpegglue::AbortDecompress(c);
    }
    if (d.err.warnings > 0) {
      Params.JpegWarningCount = d.err.warnings;
      Params.JpegWarningCode = d.err.lastWarning;
    }
  }
  if (ReadMetadata) ReadJpegMetadata(Bitmap, Params, HeaderOnly || rowsDone == 0);
  return rowsDone;
}
