// Reading one TIFF page: the directory chain, the page's tags into the working record and the
// parameter record (TIFF fields, EXIF and GPS directories, metadata blocks), the checks every page
// passes before anything is allocated, and the hand-over to the pixel decoding.
#include <cmath>
#include <cstring>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_icc.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_imaging_annot.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_text_codepages.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/codecs/tiff_directory.h"
#include "imaging/io/codecs/tiff_reader_vars.h"
#include "imaging/io/exif_blocks.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

// Resolutions and positions from a file are kept inside what an int32 holds.
int32_t ClampToInt32(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::clamp(v, -2147483647.0, 2147483647.0));
}

int32_t RoundDpi(double v) { return ClampToInt32(std::nearbyint(std::clamp(v, -1e9, 1e9))); }

uint8_t CompressionParam(uint16_t compression, int32_t t4Options) {
  switch (compression) {
    case 1: return 0;
    case 2: return 1;
    case 3: return (t4Options & 1) ? 3 : 2;
    case 4: return 4;
    case 5: return 5;
    case 6: return 6;
    case 7: return 7;
    case 8: return 10;
    case 32773: return 8;
    case 32946: return 9;
    default: return 11;
  }
}

void ReadUserComment(const TTIFFDirectory& exif, TIOParamsVals& p) {
  const std::vector<uint8_t> raw = TIFFReadRawBlock(exif, tagUserComment);
  if (TIFFFindTag(exif, tagUserComment) < 0) return;
  if (raw.size() <= 8) {
    p.ExifUserCommentCode = std::string("UNICODE\0", 8);
    p.ExifUserComment.clear();
    return;
  }
  p.ExifUserCommentCode.assign(raw.begin(), raw.begin() + 8);
  const uint8_t* rest = raw.data() + 8;
  const size_t restBytes = raw.size() - 8;
  if (p.ExifUserCommentCode == std::string("UNICODE\0", 8)) {
    p.ExifUserComment = UTF16ToUTF8(rest, static_cast<int64_t>(restBytes / 2), !exif.IntelOrder, true);
  } else {
    // Writers end the text with a NUL (or pad with them): the comment ends there.
    std::string text(reinterpret_cast<const char*>(rest), restBytes);
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    p.ExifUserComment = Windows1252ToUTF8(text);
  }
}

void ReadExifFields(const TTIFFDirectory& d, const TTIFFDirectory& exif, const TTIFFDirectory& gps, TTIFFVars& v,
                    TIOParamsVals& p) {
  p.ExifImageDescription = p.TiffImageDescription;
  p.ExifMake = TIFFReadAscii(d, tagMake);
  p.ExifModel = TIFFReadAscii(d, tagModel);
  p.ExifDateTime = TIFFReadAscii(d, tagDateTime);
  p.ExifSoftware = TIFFReadAscii(d, tagSoftware);
  p.ExifArtist = TIFFReadAscii(d, tagArtist);
  p.ExifCopyright = TIFFReadAscii(d, tagCopyright);
  p.SetExifOrientation(v.Orientation);
  p.ExifResolutionUnit = v.ResolutionUnit;
  p.ExifRating = static_cast<int32_t>(TIFFReadInteger(d, tagRating, -1));
  p.ExifXPTitle = TIFFReadWideString(d, tagXPTitle);
  p.ExifXPComment = TIFFReadWideString(d, tagXPComment);
  p.ExifXPAuthor = TIFFReadWideString(d, tagXPAuthor);
  p.ExifXPKeywords = TIFFReadWideString(d, tagXPKeywords);
  p.ExifXPSubject = TIFFReadWideString(d, tagXPSubject);
  for (int i = 0; i < 2; ++i) p.SetExifWhitePoint(i, TIFFReadRationalAt(d, tagWhitePoint, i, -1));
  for (int i = 0; i < 6; ++i) p.SetExifPrimaryChromaticities(i, TIFFReadRationalAt(d, tagPrimaryChromaticities, i, -1));
  for (int i = 0; i < 3; ++i) p.SetExifYCbCrCoefficients(i, TIFFReadRationalAt(d, tagYCbCrCoefficients, i, -1));
  for (int i = 0; i < 6; ++i) p.SetExifReferenceBlackWhite(i, TIFFReadRationalAt(d, tagReferenceBlackWhite, i, -1));
  p.ExifYCbCrPositioning = static_cast<int32_t>(TIFFReadInteger(d, tagYCbCrPositioning, -1));

  auto r = [&](uint16_t tag, double def) { return TIFFReadRational(exif, tag, def); };
  auto i32 = [&](uint16_t tag, int32_t def) { return static_cast<int32_t>(TIFFReadInteger(exif, tag, def)); };
  p.SetExifExposureTime(r(33434, -1));
  p.SetExifFNumber(r(33437, -1));
  p.SetExifCompressedBitsPerPixel(r(37122, 0));
  p.SetExifShutterSpeedValue(r(37377, -1));
  p.SetExifApertureValue(r(37378, -1));
  p.SetExifBrightnessValue(r(37379, -1000));
  p.SetExifExposureBiasValue(r(37380, -1000));
  p.SetExifMaxApertureValue(r(37381, -1000));
  p.SetExifSubjectDistance(r(37382, -1));
  p.SetExifFocalLength(r(37386, -1));
  p.SetExifFocalPlaneXResolution(r(41486, -1));
  p.SetExifFocalPlaneYResolution(r(41487, -1));
  p.SetExifExposureIndex(r(41493, -1));
  p.ExifDigitalZoomRatio = r(41988, -1);
  p.SetExifExposureProgram(i32(34850, -1));
  p.SetExifMeteringMode(i32(37383, -1));
  p.SetExifLightSource(i32(37384, -1));
  p.SetExifFlash(i32(37385, -1));
  p.SetExifColorSpace(i32(40961, -1));
  p.SetExifPixelXDimension(i32(40962, 0));
  p.SetExifPixelYDimension(i32(40963, 0));
  p.SetExifFocalPlaneResolutionUnit(i32(41488, -1));
  p.SetExifSensingMethod(i32(41495, -1));
  p.SetExifFileSource(i32(41728, -1));
  p.SetExifSceneType(i32(41729, -1));
  p.ExifExposureMode = i32(41986, -1);
  p.ExifWhiteBalance = i32(41987, -1);
  p.ExifFocalLengthIn35mmFilm = i32(41989, -1);
  p.ExifSceneCaptureType = i32(41990, -1);
  p.ExifGainControl = i32(41991, -1);
  p.ExifContrast = i32(41992, -1);
  p.ExifSaturation = i32(41993, -1);
  p.ExifSharpness = i32(41994, -1);
  p.ExifSubjectDistanceRange = i32(41996, -1);
  for (int i = 0; i < 2; ++i)
    p.SetExifISOSpeedRatings(i, static_cast<int32_t>(TIFFReadIntegerAt(exif, 34855, i, 0)));
  p.ExifVersion = TIFFReadInlineBytes(exif, 36864);
  p.ExifFlashPixVersion = TIFFReadInlineBytes(exif, 40960);
  p.ExifDateTimeOriginal = TIFFReadAscii(exif, 36867);
  p.ExifDateTimeDigitized = TIFFReadAscii(exif, 36868);
  p.ExifSubsecTime = TIFFReadAscii(exif, 37520);
  p.ExifSubsecTimeOriginal = TIFFReadAscii(exif, 37521);
  p.ExifSubsecTimeDigitized = TIFFReadAscii(exif, 37522);
  p.ExifRelatedSoundFile = TIFFReadAscii(exif, 40964);
  p.ExifImageUniqueID = TIFFReadAscii(exif, 42016);
  ReadUserComment(exif, p);
  p.ExifMakerNote.Clear();
  const int32_t mn = TIFFFindTag(exif, tagMakerNote);
  if (mn >= 0) {
    const TTIFFTagEntry& e = exif.Entries[static_cast<size_t>(mn)];
    const int64_t bytes = TIFFValueBytes(e.FieldType, e.Count);
    if (bytes > 4 && TIFFRangeInside(exif.Origin, e.Value, 1, exif.StreamSize)) {
      const int64_t at = exif.Origin + e.Value;
      exif.Stream->Seek(at, soBeginning);
      try {
        p.ExifMakerNote.ReadFromStream(*exif.Stream, static_cast<int32_t>(std::min(bytes, exif.StreamSize - at)),
                                       exif.IntelOrder);
      } catch (const std::exception&) {
        p.ExifMakerNote.Clear();
      }
    }
  }

  // GPS.
  {
    const std::string version = TIFFReadInlineBytes(gps, 0);
    std::string text;
    for (size_t i = 0; i < version.size(); ++i) {
      if (i) text += '.';
      text += std::to_string(static_cast<uint8_t>(version[i]));
    }
    p.GpsVersionID = text;
  }
  auto ref = [&](uint16_t tag) {
    std::string s = TIFFReadInlineBytes(gps, tag);
    const size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
  };
  p.GpsLatitudeRef = ref(1);
  p.GpsLongitudeRef = ref(3);
  p.GpsStatus = ref(9);
  p.GpsMeasureMode = ref(10);
  p.GpsSpeedRef = ref(12);
  p.GpsTrackRef = ref(14);
  p.GpsImgDirectionRef = ref(16);
  p.GpsDestLatitudeRef = ref(19);
  p.GpsDestLongitudeRef = ref(21);
  p.GpsDestBearingRef = ref(23);
  p.GpsDestDistanceRef = ref(25);
  p.GpsSatellites = TIFFReadAscii(gps, 8);
  p.GpsMapDatum = TIFFReadAscii(gps, 18);
  p.GpsDateStamp = TIFFReadAscii(gps, 29);
  p.GpsAltitudeRef = std::to_string(TIFFReadInteger(gps, 5, 0));
  for (int i = 0; i < 3; ++i) {
    p.GpsLatitude[i] = TIFFReadRationalAt(gps, 2, i, 0);
    p.GpsLongitude[i] = TIFFReadRationalAt(gps, 4, i, 0);
    p.GpsTimeStamp[i] = TIFFReadRationalAt(gps, 7, i, 0);
    p.GpsDestLatitude[i] = TIFFReadRationalAt(gps, 20, i, 0);
    p.GpsDestLongitude[i] = TIFFReadRationalAt(gps, 22, i, 0);
  }
  p.GpsAltitude = TIFFReadRational(gps, 6, 0);
  p.GpsDOP = TIFFReadRational(gps, 11, 0);
  p.GpsSpeed = TIFFReadRational(gps, 13, 0);
  p.GpsTrack = TIFFReadRational(gps, 15, 0);
  p.GpsImgDirection = TIFFReadRational(gps, 17, 0);
  p.GpsDestBearing = TIFFReadRational(gps, 24, 0);
  p.GpsDestDistance = TIFFReadRational(gps, 26, 0);
}

void ReadMetadataBlocks(const TTIFFDirectory& d, TIOParamsVals& p) {
  p.IPTC.Clear();
  const std::vector<uint8_t> iptc = TIFFReadRawBlock(d, tagIPTC);
  if (!iptc.empty()) p.IPTC.LoadFromBuffer(iptc.data(), static_cast<int32_t>(iptc.size()));
  p.XmpInfo.clear();
  const int32_t xi = TIFFFindTag(d, tagXMP);
  if (xi >= 0 && (d.Entries[static_cast<size_t>(xi)].FieldType == ttBYTE ||
                  d.Entries[static_cast<size_t>(xi)].FieldType == ttUNDEFINED)) {
    const std::vector<uint8_t> xmp = TIFFReadRawBlock(d, tagXMP);
    p.XmpInfo.assign(xmp.begin(), xmp.end());
  }
  const std::vector<uint8_t> annotations = TIFFReadRawBlock(d, tagWangAnnotation);
  if (!annotations.empty() || p.ImagingAnnot()) {
    TIEImagingAnnot* annot = p.GetImagingAnnot();
    annot->Clear();
    if (!annotations.empty()) annot->LoadFromBuffer(annotations.data(), static_cast<int64_t>(annotations.size()));
  }
  const std::vector<uint8_t> icc = TIFFReadRawBlock(d, tagICCProfile);
  if (!icc.empty()) {
    try {
      p.GetInputICCProfile()->LoadFromBuffer(icc.data(), static_cast<int32_t>(icc.size()));
    } catch (const std::exception&) {
      p.FreeInputICCProfile();
    }
  }
}

}  // namespace

void ReadTIFFStream(TIEBitmap* Bitmap, TStream& Stream, int32_t& PageCount, TIOParamsVals* Params,
                    TIEProgressRecord& Progress, bool ParamsOnly, std::unique_ptr<TIEMask>& AlphaMask,
                    bool RelativeOrigin, bool IgnoreAlpha, bool ThumbnailMode) {
  PageCount = 0;
  const int64_t origin = RelativeOrigin ? Stream.Position() : 0;
  // Where the header is: at the stream's position, whatever the origin.
  const int64_t headerAt = Stream.Position();
  bool intel = true;
  uint16_t version = 0;
  uint32_t first = 0;
  if (!TIFFReadHeader(Stream, headerAt, intel, version, first)) {
    Progress.Abort();
    return;
  }
  TTIFFDirectory dir;
  dir.IntelOrder = intel;
  dir.Stream = &Stream;
  dir.Origin = origin;
  dir.StreamSize = Stream.Size();
  const int32_t pageIndex = Params ? Params->TiffImageIndex : -1;
  const bool found = first != 0 && TIFFReadDirectory(pageIndex, first, dir, PageCount);
  if (!Params) return;  // counting only
  if (!found) {
    // A page that is not there is a failure when it was asked for.
    Params->SetImageCount(PageCount);
    Progress.Abort();
    return;
  }
  if (Params->TiffSubIndex >= 0) {
    const int64_t sub = TIFFReadIntegerAt(dir, tagSubIFDs, Params->TiffSubIndex, 0);
    if (sub > 0 && sub <= UINT32_MAX) {
      TTIFFDirectory subDir = dir;
      if (TIFFLoadDirectoryAt(static_cast<uint32_t>(sub), subDir)) dir = std::move(subDir);
    }
  }
  TTIFFDirectory exif = dir, gps = dir;
  exif.Entries.clear();
  gps.Entries.clear();
  const int64_t exifAt = TIFFReadInteger(dir, tagExifIFD, 0);
  if (exifAt > 0 && TIFFLoadDirectoryAt(static_cast<uint32_t>(exifAt), exif)) Params->HasExifData = true;
  const int64_t gpsAt = TIFFReadInteger(dir, tagGPSIFD, 0);
  if (gpsAt > 0) TIFFLoadDirectoryAt(static_cast<uint32_t>(gpsAt), gps);

  TTIFFVars v;
  v.Stream = &Stream;
  v.Origin = origin;
  v.StreamSize = dir.StreamSize;
  v.IntelOrder = intel;
  v.Params = Params;
  v.GetTile = Params->TiffGetTile;
  v.TileWidth = static_cast<int32_t>(std::clamp<int64_t>(TIFFReadInteger(dir, tagTileWidth, -1), -1, INT32_MAX));
  v.TileLength = static_cast<int32_t>(std::clamp<int64_t>(TIFFReadInteger(dir, tagTileLength, -1), -1, INT32_MAX));
  const int64_t imageWidth = TIFFReadInteger(dir, tagImageWidth, 0);
  const int64_t imageLength = TIFFReadInteger(dir, tagImageLength, 0);
  int64_t width = imageWidth, height = imageLength;
  if (v.GetTile >= 0) {
    width = v.TileWidth;
    height = v.TileLength;
  }
  v.Width = static_cast<int32_t>(std::clamp<int64_t>(width, 0, INT32_MAX));
  v.Height = static_cast<int32_t>(std::clamp<int64_t>(height, 0, INT32_MAX));
  v.SamplesPerPixel = static_cast<int32_t>(std::clamp<int64_t>(TIFFReadInteger(dir, tagSamplesPerPixel, 1), 0, 0xFFFF));
  v.BitsPerSample = TIFFReadBitsPerSample(dir);
  const int64_t rps = std::min<int64_t>(TIFFReadInteger(dir, tagRowsPerStrip, v.Height), v.Height);
  v.RowsPerStrip = rps <= 0 ? v.Height : static_cast<int32_t>(rps);
  v.Photometric = static_cast<uint16_t>(TIFFReadInteger(dir, tagPhotometric, 2));
  v.PlanarConfig = static_cast<uint16_t>(TIFFReadInteger(dir, tagPlanarConfig, 1));
  v.Orientation = static_cast<uint16_t>(TIFFReadInteger(dir, tagOrientation, 1));
  v.Compression = static_cast<uint16_t>(TIFFReadInteger(dir, tagCompression, 1));
  v.StripOffsets = TIFFReadIntegerArray(dir, tagStripOffsets);
  v.StripByteCounts = TIFFReadIntegerArray(dir, tagStripByteCounts);
  v.TileOffsets = TIFFReadIntegerArray(dir, tagTileOffsets);
  v.TileByteCounts = TIFFReadIntegerArray(dir, tagTileByteCounts);
  v.ResolutionUnit = static_cast<int32_t>(TIFFReadInteger(dir, tagResolutionUnit, 2));
  v.XResolution = TIFFReadRational(dir, tagXResolution, DefaultDPIX);
  v.YResolution = TIFFReadRational(dir, tagYResolution, DefaultDPIY);
  v.Predictor = static_cast<int32_t>(TIFFReadInteger(dir, tagPredictor, 1));
  v.JPEGTables = TIFFReadRawBlock(dir, tagJPEGTables);
  v.T4Options = static_cast<int32_t>(TIFFReadInteger(dir, tagT4Options, 0));
  v.FillOrder = static_cast<int32_t>(TIFFReadInteger(dir, tagFillOrder, 1));
  if (v.FillOrder != 1 && v.FillOrder != 2) v.FillOrder = 1;
  v.XPosition = TIFFReadRational(dir, tagXPosition, 0);
  v.YPosition = TIFFReadRational(dir, tagYPosition, 0);
  v.DocumentName = TIFFReadAscii(dir, tagDocumentName);
  v.ImageDescription = TIFFReadAscii(dir, tagImageDescription);
  v.PageName = TIFFReadAscii(dir, tagPageName);
  v.PageNumber = static_cast<int32_t>(TIFFReadIntegerAt(dir, tagPageNumber, 0, 0));
  v.PageTotal = static_cast<int32_t>(TIFFReadIntegerAt(dir, tagPageNumber, 1, 0));
  v.Software = TIFFReadAscii(dir, tagSoftware);
  v.Artist = TIFFReadAscii(dir, tagArtist);
  v.YCbCrSubsamplingH = static_cast<int32_t>(TIFFReadIntegerAt(dir, tagYCbCrSubSampling, 0, 2));
  v.YCbCrSubsamplingV = static_cast<int32_t>(TIFFReadIntegerAt(dir, tagYCbCrSubSampling, 1, 2));
  if (v.YCbCrSubsamplingH <= 0) v.YCbCrSubsamplingH = 2;
  if (v.YCbCrSubsamplingV <= 0) v.YCbCrSubsamplingV = 2;
  v.JPEGProc = static_cast<int32_t>(TIFFReadInteger(dir, tagJPEGProc, 0));
  v.JPEGInterchangeFormat = TIFFReadInteger(dir, tagJPEGInterchangeFormat, 0);
  v.JPEGInterchangeFormatLength = TIFFReadInteger(dir, tagJPEGInterchangeFormatLength, 0);
  if (v.BitsPerSample >= 1 && v.BitsPerSample <= 16) v.ColorMap = TIFFReadColorMap(dir, v.BitsPerSample);
  v.ExtraSamples = TIFFReadExtraSamples(dir);
  v.FirstExtraSample = v.ExtraSamples.empty() ? 0 : v.ExtraSamples[0];
  if (v.SamplesPerPixel == 1 && v.BitsPerSample == 1 && v.Compression >= 1 && v.Compression <= 4 && v.Photometric == 2)
    v.Photometric = 0;

  TIOParamsVals& p = *Params;
  ReadMetadataBlocks(dir, p);
  p.BitsPerSample = v.BitsPerSample;
  p.SamplesPerPixel = v.SamplesPerPixel;
  p.Width = v.Width;
  p.Height = v.Height;
  p.OriginalWidth = v.Width;
  p.OriginalHeight = v.Height;
  p.TiffByteOrderIntel = intel;
  p.SetImageCount(PageCount);
  p.SetTiffOrientation(v.Orientation);
  p.TiffCompression = CompressionParam(v.Compression, v.T4Options);
  if (v.Photometric <= 6) p.TiffPhotometInterpret = static_cast<uint8_t>(v.Photometric);
  else if (v.Photometric == 8) p.TiffPhotometInterpret = 7;
  p.TiffPlanarConf = v.PlanarConfig;
  p.TiffDocumentName = v.DocumentName;
  p.TiffImageDescription = v.ImageDescription;
  p.TiffPageName = v.PageName;
  p.TiffPageNumber = v.PageNumber;
  p.TiffPageCount = v.PageTotal;
  p.TiffFillOrder = v.FillOrder;
  ReadExifFields(dir, exif, gps, v, p);
  p.FreeColorMap();
  if (!v.ColorMap.empty()) p.SetColorMap(v.ColorMap.data(), static_cast<int32_t>(v.ColorMap.size()));
  const double factor = v.ResolutionUnit == 3 ? 2.54 : 1.0;
  const int32_t dpiX = RoundDpi(v.XResolution * factor), dpiY = RoundDpi(v.YResolution * factor);
  p.SetDpiX(dpiX == 0 ? DefaultDPIX : dpiX);
  p.SetDpiY(dpiY == 0 ? DefaultDPIY : dpiY);
  p.ExifXResolution = std::isfinite(v.XResolution) ? v.XResolution * factor : 0;
  p.ExifYResolution = std::isfinite(v.YResolution) ? v.YResolution * factor : 0;
  p.TiffXPos = ClampToInt32(v.XPosition * factor);
  p.TiffYPos = ClampToInt32(v.YPosition * factor);

  auto cleanup = [&] {
    if (TIEICC* icc = p.InputICCProfile(); icc && icc->HasTransform()) icc->FreeTransform();
  };
  auto fail = [&] {
    Progress.Abort();
    cleanup();
  };
  if ((v.Width == 0 || v.Height == 0) && ThumbnailMode && !ParamsOnly && v.Compression == 6 && v.GetTile < 0) {
    // An EXIF thumbnail names no size of its own: it is its JPEG stream's.
    int32_t w = 0, h = 0;
    if (TIFFOldJPEGSize(v, w, h)) {
      v.Width = p.Width = p.OriginalWidth = w;
      v.Height = p.Height = p.OriginalHeight = h;
      v.RowsPerStrip = h;
    }
  }
  if (v.Width == 0 || v.Height == 0) {
    // A page without pixels is never decoded (thumbnail mode included).
    if (!ThumbnailMode || !ParamsOnly) Progress.Abort();
    cleanup();
    return;
  }
  if (v.BitsPerSample < 1 || v.BitsPerSample > 16 || v.SamplesPerPixel < 1) {
    fail();
    return;
  }
  if (v.Compression == 5) {
    v.LZWDecoder = p.TiffLZWDecompressor ? p.TiffLZWDecompressor : TIFFLZWDecodeHook.load();
    if (!v.LZWDecoder) {
      fail();
      return;
    }
  }
  if (ParamsOnly) {
    cleanup();
    return;
  }
  if (ThumbnailMode && (v.Width > 400 || v.Height > 400)) {
    fail();
    return;
  }
  if (const char* reason = TIFFUndecodableReason(v); reason || !Bitmap) {
    fail();
    return;
  }
  // The allocation gate: only the bytes of the page's strips or tiles inside the stream count.
  TIEImageData data;
  data.Bytes = TIFFPageDataBytes(v);
  data.BitsPerPixel = std::max(1, v.SamplesPerPixel * v.BitsPerSample);
  data.MaxPixelsPerByte = TIFFBestPixelsPerByte(v);
  if (data.MaxPixelsPerByte == 0) data.RowBytes = (static_cast<int64_t>(v.Width) * data.BitsPerPixel + 7) / 8;
  const bool tiled = v.TileWidth > 0 || v.TileLength > 0;
  if (!IEImageSizePlausible(v.Width, v.Height, data) ||
      (tiled && !IEImageSizePlausible(v.TileWidth, v.TileLength, data))) {
    fail();
    return;
  }
  const auto format = static_cast<TIEPixelFormat>(TIFFDestinationFormat(v, p.IsNativePixelFormat));
  if (!Bitmap->Allocate(v.Width, v.Height, format)) {
    fail();
    return;
  }
  if (ThumbnailMode) Bitmap->Fill(0);
  else if (format == ie1g) Bitmap->Fill(1);
  if (format == ie8p) {
    for (size_t i = 0; i < v.ColorMap.size() && i < 256; ++i)
      Bitmap->SetPaletteColor(static_cast<int32_t>(i), v.ColorMap[i]);
  }
  if (!IgnoreAlpha) {
    const int32_t extra = static_cast<int32_t>(v.ExtraSamples.size());
    const int32_t s = v.SamplesPerPixel;
    const bool wantMask = AlphaMask || (s == 4 && v.FirstExtraSample == 2) || (s > 3 && extra >= 1) ||
                          (s == 2 && v.BitsPerSample == 8) || (s > 1 && extra >= 1 && v.FirstExtraSample == 1) ||
                          (s == 4 && v.Photometric == 2);
    if (wantMask && v.Compression != 7 && v.Compression != 6) {
      if (!AlphaMask) AlphaMask = std::make_unique<TIEMask>();
      AlphaMask->Allocate(v.Width, v.Height, 8);
      AlphaMask->Fill(255);
      v.AlphaMask = AlphaMask.get();
    }
  }
  v.IgnoreAlpha = IgnoreAlpha || !v.AlphaMask;
  try {
    TIFFDecodePage(v, *Bitmap, Progress);
    if (p.TiffEnableAdjustOrientation && !Progress.IsAborting() && v.Orientation != 1) {
      // The mask turns with the picture: through the bitmap's alpha channel, and back.
      const bool hadAlpha = Bitmap->HasAlphaChannel();
      if (AlphaMask) Bitmap->GetAlphaChannel()->CopyFromMask(AlphaMask.get());
      ApplyOrientation(*Bitmap, v.Orientation);
      if (AlphaMask) {
        Bitmap->GetAlphaChannel()->CopyToMask(*AlphaMask);
        if (!hadAlpha) Bitmap->RemoveAlphaChannel();
      }
      p.SetTiffOrientation(1);
    }
  } catch (const std::exception&) {
    Progress.Abort();
  }
  cleanup();
}

int32_t CountTIFFStreamPages(TStream& Stream) {
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  int32_t pages = 0;
  std::unique_ptr<TIEMask> mask;
  try {
    ReadTIFFStream(nullptr, Stream, pages, nullptr, progress, true, mask, true, true, false);
  } catch (const std::exception&) {
    return 0;
  }
  return pages;
}
