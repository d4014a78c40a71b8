// Writing one TIFF page: the page layout settled from the parameters and the bitmap, the tags with
// the EXIF and GPS directories and the metadata blocks, the strips (tiff_strips.cpp), and the
// directory with the header of a new file or the link of an insertion.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <span>
#include <unordered_set>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/codecs/tiff_strips.h"
#include "imaging/io/codecs/tiff_tag_list.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_quantizer.h"
#include "platform/system/streams.h"

namespace {

// The page as it will be written.
struct TPagePlan {
  TIEBitmap* work = nullptr;              // the bitmap whose rows are written
  std::unique_ptr<TIEBitmap> owned;       // a private working copy, when one was made
  std::array<TIERGB, 256> palette{};
  std::unique_ptr<TIEQuantizer> quantizer;
  TTIFFStripContext strips;
  int32_t samples = 3;
  bool bilevel = false;                   // CCITT data (0 is white)
};

bool Own(TPagePlan& plan, std::unique_ptr<TIEBitmap> copy) {
  if (!copy) return false;
  plan.owned = std::move(copy);
  plan.work = plan.owned.get();
  return true;
}

bool IsGreyDepth(int32_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16; }

// Settles pixel layout, compression, photometric and predictor from the parameters and the bitmap,
// and writes what was settled back into the parameters. False when a working copy cannot be made.
bool PlanPage(TIEBitmap& bitmap, TIOParamsVals& p, TPagePlan& plan) {
  plan.work = &bitmap;
  int32_t bits = p.BitsPerSample, samples = p.SamplesPerPixel;
  int32_t photometric = p.TiffPhotometInterpret;
  int32_t compression = p.TiffCompression;
  if (samples < 1) samples = 3;
  if (samples == 1 && !((bits >= 1 && bits <= 8) || bits == 16)) bits = 8;

  // Formats the row packer does not take, and one-sample formats asked for more samples, are
  // written from a 24-bit copy (the alpha channel comes along), so that the tags describe the strips.
  TIEPixelFormat fmt = plan.work->PixelFormat();
  if (fmt == ie32RGB || fmt == ie32f || fmt == ieCIELab ||
      ((fmt == ie8p || fmt == ie8g || fmt == ie16g) && samples > 1)) {
    if (!Own(plan, IEConvertedCopy(*plan.work, ie24RGB))) return false;
  }
  // 1. Bilevel pages and the rest.
  fmt = plan.work->PixelFormat();
  if (!(bits == 1 && samples == 1) && fmt == ie1g) {
    if (!Own(plan, IEConvertedCopy(*plan.work, ie24RGB))) return false;
  } else if (bits == 1 && samples == 1 && fmt != ie1g) {
    if (!Own(plan, BilevelCopy(*plan.work))) return false;
  }
  fmt = plan.work->PixelFormat();
  // 2. One sample of 2 to 8 or 16 bits: a palette or grey page.
  if (samples == 1 && ((bits >= 2 && bits <= 8) || bits == 16)) {
    if (compression != 5 && compression != 8 && compression != 9) compression = 0;
    if (plan.work->IsGrayScale()) {
      photometric = 1;
      // Grey levels of 3, 5, 6 and 7 bits are written at the next depth the readers widen exactly.
      if (!IsGreyDepth(bits)) bits = bits <= 4 ? 4 : 8;
    } else {
      photometric = 3;
      if (bits == 16) bits = 8;
      const int32_t n = std::min(1 << bits, 256);
      plan.quantizer = std::make_unique<TIEQuantizer>(*plan.work, std::span<TIERGB>(plan.palette), 0, n);
    }
  }
  // 3.
  if (photometric == 3 && samples > 1) photometric = 2;
  if (fmt == ieRGB48) {
    samples = 3;
    bits = 16;
    photometric = 2;
  }
  if (bits > 8 && samples != 1) {
    samples = 3;
    bits = 8;
    photometric = 2;
  }
  if ((photometric == 0 || photometric == 1) && bits == 8 && samples == 3) photometric = 2;
  if (photometric == 2 && samples == 1 && bits == 1) photometric = 1;
  if (photometric == 6 && compression != 7) photometric = 2;
  if (photometric == 2 && samples > 3) samples = 3;
  if (fmt == ieRGB48) {
    samples = 3;
    bits = 16;
    photometric = 2;
  }
  if (fmt == ieCMYK) {
    samples = 4;
    bits = 8;
    photometric = 5;
  }
  // 4. The photometric code.
  int32_t code;
  switch (photometric) {
    case 0: case 1: code = 1; break;
    case 3: code = 3; break;
    case 5: code = 5; samples = 4; bits = 8; break;
    case 7: code = 8; samples = 3; bits = 8; break;
    default: code = 2; break;
  }
  if (code == 2 && fmt != ie1g && fmt != ieRGB48 && bits != 8) bits = 8;
  if (fmt == ie1g) code = 1;  // 1 is white in the bitmap's rows: BlackIsZero
  // 5. The compression.
  TTIFFStripContext& c = plan.strips;
  c.Compression = 1;
  c.Predictor = 1;
  switch (compression) {
    case 1: case 2: case 3: case 4:
      if (fmt == ie1g) {
        // CCITT codes bilevel rows only (6.); others are written uncompressed.
        c.Compression = static_cast<uint16_t>(compression == 1 ? 2 : compression == 4 ? 4 : 3);
        c.G3TwoD = compression == 3;
        code = 0;
        plan.bilevel = true;
      }
      break;
    case 5:
      c.LZWEncoder = p.TiffLZWCompressor ? p.TiffLZWCompressor : TIFFLZWEncodeHook.load();
      if (c.LZWEncoder) {
        c.Compression = 5;
        c.Predictor = 2;
      }
      break;
    case 6: case 7:
      if (fmt == ie1g) break;  // a bilevel page is not JPEG-coded: it is written as it is
      c.Compression = static_cast<uint16_t>(compression);
      c.JpegQuality = p.TiffJpegQuality;
      c.JpegColorSpace = p.TiffJpegColorSpace;
      switch (p.TiffJpegColorSpace) {
        case 0: code = 2; samples = 3; break;
        case 1: code = 1; samples = 1; break;
        case 2: code = 6; samples = 3; break;
        case 3: code = 5; samples = 4; break;
        default: code = 2; samples = 3; c.JpegColorSpace = 0; break;
      }
      bits = 8;
      break;
    case 8: c.Compression = 32773; break;
    case 9: case 10: c.Compression = 32946; break;
    default: break;
  }
  c.FillOrder = p.TiffFillOrder == 2 ? 2 : 1;
  // TiffZipCompression 0, 1, 2: the fastest, the default and the best of zlib's levels.
  static const int32_t kZipLevels[3] = {1, 6, 9};
  c.ZipLevel = p.TiffZipCompression >= 0 && p.TiffZipCompression <= 2 ? kZipLevels[p.TiffZipCompression] : 6;
  c.Photometric = code;
  c.BitsPerSample = bits;
  c.Params = &p;
  c.Quantizer = plan.quantizer.get();
  // 7. The predictor stays only for 8-bit RGB without an alpha channel.
  if (!(bits == 8 && samples == 3 && code == 2 && !plan.work->HasAlphaChannel())) c.Predictor = 1;
  // Alpha goes along as a fourth sample of uncompressed, LZW, PackBits and deflate RGB pages.
  c.Alpha = code == 2 && fmt == ie24RGB && plan.work->HasAlphaChannel() && !plan.work->GetAlphaChannel()->Full() &&
            (c.Compression == 1 || c.Compression == 5 || c.Compression == 32773 || c.Compression == 8 ||
             c.Compression == 32946);
  // 8. CCITT codes take 0 as white.
  if (plan.bilevel) {
    if (!plan.owned && !Own(plan, IEConvertedCopy(*plan.work, ie1g))) return false;
    InvertBitmapRows(*plan.work);
  }
  plan.samples = fmt == ie1g ? 1 : c.Compression == 7 || c.Compression == 6 ? samples : TIFFStripSamples(c);
  // The record describes what is written.
  p.BitsPerSample = fmt == ie1g ? 1 : fmt == ieCMYK ? 8 : fmt == ieRGB48 ? 16 : bits;
  p.SamplesPerPixel = plan.samples;
  p.TiffPhotometInterpret = static_cast<uint8_t>(code == 8 ? 7 : code == 6 ? 6 : code);
  static const uint8_t kCompressionParam[] = {0, 0, 1, 2, 4, 5, 6, 7};
  p.TiffCompression = c.Compression <= 7 ? kCompressionParam[c.Compression]
                      : c.Compression == 32773 ? 8
                                               : (compression == 10 ? 10 : 9);
  if (c.Compression == 3 && c.G3TwoD) p.TiffCompression = 3;
  return true;
}

std::vector<uint32_t> Repeat(uint32_t v, int n) { return std::vector<uint32_t>(static_cast<size_t>(n), v); }

void AddImageTags(TTIFFTagList& t, TPagePlan& plan, TIOParamsVals& p) {
  TIEBitmap& w = *plan.work;
  const TTIFFStripContext& c = plan.strips;
  TIFFAddLong(t, tagImageWidth, static_cast<uint32_t>(w.Width()));
  TIFFAddLong(t, tagImageLength, static_cast<uint32_t>(w.Height()));
  const TIEPixelFormat fmt = w.PixelFormat();
  if (c.Compression == 6 || c.Compression == 7) {
    TIFFAddShortArray(t, tagBitsPerSample, Repeat(8, plan.samples));
  } else if (fmt == ie1g) {
    TIFFAddShort(t, tagBitsPerSample, 1);
  } else if (fmt == ieCMYK) {
    TIFFAddShortArray(t, tagBitsPerSample, Repeat(8, 4));
  } else if (fmt == ieRGB48) {
    TIFFAddShortArray(t, tagBitsPerSample, Repeat(16, 3));
  } else if (plan.samples == 1) {
    TIFFAddShort(t, tagBitsPerSample, static_cast<uint32_t>(c.BitsPerSample));
  } else {
    TIFFAddShortArray(t, tagBitsPerSample, Repeat(8, plan.samples));
  }
  TIFFAddShort(t, tagCompression, c.Compression);
  TIFFAddShort(t, tagPhotometric, static_cast<uint32_t>(c.Photometric));
  TIFFAddAscii(t, tagDocumentName, p.TiffDocumentName);
}

void TIFFWriteExifTags(TTIFFTagList& t, TIOParamsVals& p) {
  if (!p.ExifImageDescription.empty()) TIFFAddAscii(t, tagImageDescription, p.ExifImageDescription);
  if (p.ExifXResolution != 0) TIFFAddRational(t, tagXResolution, p.ExifXResolution);
  if (p.ExifYResolution != 0) TIFFAddRational(t, tagYResolution, p.ExifYResolution);
  TIFFAddShort(t, tagOrientation, static_cast<uint32_t>(std::clamp(p.TiffOrientation, 0, 0xFFFF)));
  TIFFAddShort(t, tagResolutionUnit, 2);
  TIFFAddAscii(t, tagSoftware, p.ExifSoftware);
  if (p.ExifRating >= 0) TIFFAddShort(t, tagRating, static_cast<uint32_t>(std::min(p.ExifRating, 0xFFFF)));
  TIFFAddWideString(t, tagXPTitle, p.ExifXPTitle);
  TIFFAddWideString(t, tagXPComment, p.ExifXPComment);
  TIFFAddWideString(t, tagXPAuthor, p.ExifXPAuthor);
  TIFFAddWideString(t, tagXPKeywords, p.ExifXPKeywords);
  TIFFAddWideString(t, tagXPSubject, p.ExifXPSubject);
  TIFFAddAscii(t, tagArtist, p.ExifArtist);
  TIFFAddAscii(t, tagMake, p.ExifMake);
  TIFFAddAscii(t, tagModel, p.ExifModel);
  TIFFAddAscii(t, tagDateTime, p.ExifDateTime);
  auto anySet = [](const auto& values) {
    return std::any_of(values.begin(), values.end(), [](double v) { return v != -1; });
  };
  if (anySet(p.ExifWhitePoint))
    TIFFAddRationalArray(t, tagWhitePoint, {p.ExifWhitePoint.begin(), p.ExifWhitePoint.end()});
  if (p.ExifYCbCrPositioning != 0 && p.ExifYCbCrPositioning != -1)
    TIFFAddShort(t, tagYCbCrPositioning, static_cast<uint32_t>(p.ExifYCbCrPositioning));
  if (anySet(p.ExifPrimaryChromaticities))
    TIFFAddRationalArray(t, tagPrimaryChromaticities,
                         {p.ExifPrimaryChromaticities.begin(), p.ExifPrimaryChromaticities.end()});
  if (anySet(p.ExifYCbCrCoefficients))
    TIFFAddRationalArray(t, tagYCbCrCoefficients, {p.ExifYCbCrCoefficients.begin(), p.ExifYCbCrCoefficients.end()});
  if (anySet(p.ExifReferenceBlackWhite))
    TIFFAddRationalArray(t, tagReferenceBlackWhite,
                         {p.ExifReferenceBlackWhite.begin(), p.ExifReferenceBlackWhite.end()});
  TIFFAddAscii(t, tagCopyright, p.ExifCopyright);

  // The EXIF directory, in its own list; the filter is the list of EXIF tags the image holds.
  TTIFFTagList e(t.Stream, t.Failed);
  const TIEIntegerList* f = &p.ExifTags;
  auto unset = [](int32_t v) { return v == -1; };
  TIFFAddRational(e, 33434, p.ExifExposureTime, f);
  TIFFAddRational(e, 33437, p.ExifFNumber, f);
  TIFFAddShort(e, 34850, static_cast<uint32_t>(p.ExifExposureProgram), f);
  if (p.ExifISOSpeedRatings[1] != 0)
    TIFFAddShortArray(e, 34855, {static_cast<uint32_t>(p.ExifISOSpeedRatings[0]), static_cast<uint32_t>(p.ExifISOSpeedRatings[1])});
  else if (p.ExifISOSpeedRatings[0] != 0)
    TIFFAddShort(e, 34855, static_cast<uint32_t>(p.ExifISOSpeedRatings[0]));
  // The version is four characters of no type of their own (UNDEFINED), written even when empty.
  e.Add(36864, ttUNDEFINED, static_cast<uint32_t>(std::min<size_t>(p.ExifVersion.size(), 4)), [&] {
    uint32_t v = 0;
    for (size_t i = 0; i < p.ExifVersion.size() && i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(p.ExifVersion[i])) << (8 * i);
    return v;
  }());
  TIFFAddAscii(e, 36867, p.ExifDateTimeOriginal);
  TIFFAddAscii(e, 36868, p.ExifDateTimeDigitized);
  TIFFAddRational(e, 37122, p.ExifCompressedBitsPerPixel, f);
  // Shutter speed, brightness and exposure bias are signed (SRATIONAL).
  TIFFAddRational(e, 37377, p.ExifShutterSpeedValue, f, true);
  TIFFAddRational(e, 37378, p.ExifApertureValue, f);
  TIFFAddRational(e, 37379, p.ExifBrightnessValue, f, true);
  TIFFAddRational(e, 37380, p.ExifExposureBiasValue, f, true);
  TIFFAddRational(e, 37381, p.ExifMaxApertureValue, f);
  TIFFAddRational(e, 37382, p.ExifSubjectDistance, f);
  TIFFAddShort(e, 37383, static_cast<uint32_t>(p.ExifMeteringMode), f);
  TIFFAddShort(e, 37384, static_cast<uint32_t>(p.ExifLightSource), f);
  TIFFAddShort(e, 37385, static_cast<uint32_t>(p.ExifFlash), f);
  TIFFAddRational(e, 37386, p.ExifFocalLength, f);
  TIFFAddAscii(e, 37520, p.ExifSubsecTime);
  TIFFAddAscii(e, 37521, p.ExifSubsecTimeOriginal);
  TIFFAddAscii(e, 37522, p.ExifSubsecTimeDigitized);
  if (!p.ExifFlashPixVersion.empty()) {
    uint32_t v = 0;
    for (size_t i = 0; i < p.ExifFlashPixVersion.size() && i < 4; ++i)
      v |= static_cast<uint32_t>(static_cast<uint8_t>(p.ExifFlashPixVersion[i])) << (8 * i);
    e.Add(40960, ttUNDEFINED, static_cast<uint32_t>(std::min<size_t>(p.ExifFlashPixVersion.size(), 4)), v);
  }
  TIFFAddShort(e, 40961, static_cast<uint32_t>(p.ExifColorSpace), f);
  TIFFAddShort(e, 40962, static_cast<uint32_t>(p.ExifPixelXDimension), f);
  TIFFAddShort(e, 40963, static_cast<uint32_t>(p.ExifPixelYDimension), f);
  TIFFAddAscii(e, 40964, p.ExifRelatedSoundFile);
  TIFFAddRational(e, 41486, p.ExifFocalPlaneXResolution, f);
  TIFFAddRational(e, 41487, p.ExifFocalPlaneYResolution, f);
  TIFFAddShort(e, 41488, static_cast<uint32_t>(p.ExifFocalPlaneResolutionUnit), f);
  TIFFAddRational(e, 41493, p.ExifExposureIndex, f);
  TIFFAddShort(e, 41495, static_cast<uint32_t>(p.ExifSensingMethod), f);
  TIFFAddUndefined(e, 41728, static_cast<uint32_t>(p.ExifFileSource), f);
  TIFFAddUndefined(e, 41729, static_cast<uint32_t>(p.ExifSceneType), f);
  if (!unset(p.ExifExposureMode)) TIFFAddShort(e, 41986, static_cast<uint32_t>(p.ExifExposureMode));
  if (!unset(p.ExifWhiteBalance)) TIFFAddShort(e, 41987, static_cast<uint32_t>(p.ExifWhiteBalance));
  if (p.ExifDigitalZoomRatio != -1) TIFFAddRational(e, 41988, p.ExifDigitalZoomRatio);
  if (!unset(p.ExifFocalLengthIn35mmFilm)) TIFFAddShort(e, 41989, static_cast<uint32_t>(p.ExifFocalLengthIn35mmFilm));
  if (!unset(p.ExifSceneCaptureType)) TIFFAddShort(e, 41990, static_cast<uint32_t>(p.ExifSceneCaptureType));
  if (!unset(p.ExifGainControl)) TIFFAddShort(e, 41991, static_cast<uint32_t>(p.ExifGainControl));
  if (!unset(p.ExifContrast)) TIFFAddShort(e, 41992, static_cast<uint32_t>(p.ExifContrast));
  if (!unset(p.ExifSaturation)) TIFFAddShort(e, 41993, static_cast<uint32_t>(p.ExifSaturation));
  if (!unset(p.ExifSharpness)) TIFFAddShort(e, 41994, static_cast<uint32_t>(p.ExifSharpness));
  if (!unset(p.ExifSubjectDistanceRange)) TIFFAddShort(e, 41996, static_cast<uint32_t>(p.ExifSubjectDistanceRange));
  TIFFAddAscii(e, 42016, p.ExifImageUniqueID);
  TIFFAddUserComment(e, p.ExifUserCommentCode, p.ExifUserComment);
  TIFFAddMakerNote(e, tagMakerNote, p.ExifMakerNote);
  const uint32_t exifAt = TIFFWriteIFD(e, 0);
  if (!t.Failed) TIFFAddLong(t, tagExifIFD, exifAt);

  if (p.GpsVersionID.empty()) return;
  TTIFFTagList g(t.Stream, t.Failed);
  {
    // "2.2.0.0": each part's decimal value, one byte each.
    std::string bytes;
    size_t at = 0;
    while (at <= p.GpsVersionID.size() && bytes.size() < 4) {
      const size_t dot = p.GpsVersionID.find('.', at);
      const std::string part = p.GpsVersionID.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
      bytes += static_cast<char>(std::atoi(part.c_str()) & 0xFF);
      if (dot == std::string::npos) break;
      at = dot + 1;
    }
    TIFFAddInlineBytes(g, 0, bytes);
  }
  // The references are one letter and a NUL, as readers of GPS data expect them.
  auto ref = [&](uint16_t tag, const std::string& s) {
    std::string v = s.substr(0, 3);
    v += '\0';
    TIFFAddInlineAscii(g, tag, v);
  };
  auto triple = [](const std::array<double, 3>& a) { return std::vector<double>(a.begin(), a.end()); };
  ref(1, p.GpsLatitudeRef);
  TIFFAddRationalArray(g, 2, triple(p.GpsLatitude));
  ref(3, p.GpsLongitudeRef);
  TIFFAddRationalArray(g, 4, triple(p.GpsLongitude));
  TIFFAddByte(g, 5, static_cast<uint32_t>(std::atoi(p.GpsAltitudeRef.c_str())));
  TIFFAddRational(g, 6, p.GpsAltitude);
  TIFFAddRationalArray(g, 7, triple(p.GpsTimeStamp));
  TIFFAddAscii(g, 8, p.GpsSatellites);
  ref(9, p.GpsStatus);
  ref(10, p.GpsMeasureMode);
  TIFFAddRational(g, 11, p.GpsDOP);
  ref(12, p.GpsSpeedRef);
  TIFFAddRational(g, 13, p.GpsSpeed);
  ref(14, p.GpsTrackRef);
  TIFFAddRational(g, 15, p.GpsTrack);
  ref(16, p.GpsImgDirectionRef);
  TIFFAddRational(g, 17, p.GpsImgDirection);
  TIFFAddAscii(g, 18, p.GpsMapDatum);
  ref(19, p.GpsDestLatitudeRef);
  TIFFAddRationalArray(g, 20, triple(p.GpsDestLatitude));
  ref(21, p.GpsDestLongitudeRef);
  TIFFAddRationalArray(g, 22, triple(p.GpsDestLongitude));
  ref(23, p.GpsDestBearingRef);
  TIFFAddRational(g, 24, p.GpsDestBearing);
  ref(25, p.GpsDestDistanceRef);
  TIFFAddRational(g, 26, p.GpsDestDistance);
  TIFFAddAscii(g, 29, p.GpsDateStamp);
  const uint32_t gpsAt = TIFFWriteIFD(g, 0);
  if (!t.Failed) TIFFAddLong(t, tagGPSIFD, gpsAt);
}

void AddPageTags(TTIFFTagList& t, TPagePlan& plan, TIOParamsVals& p) {
  const TTIFFStripContext& c = plan.strips;
  TIFFAddShort(t, tagSamplesPerPixel, static_cast<uint32_t>(plan.samples));
  if (c.Alpha) TIFFAddShort(t, tagExtraSamples, 2);  // unassociated alpha
  if (c.Predictor == 2) TIFFAddShort(t, tagPredictor, 2);
  TIFFAddAscii(t, tagPageName, p.TiffPageName);
  if (p.TiffXPos != 0) TIFFAddRational(t, tagXPosition, p.TiffXPos);
  if (p.TiffYPos != 0) TIFFAddRational(t, tagYPosition, p.TiffYPos);
  // Each fax code has its own options tag (readers know the other only for the other code).
  if (c.Compression == 3) TIFFAddLong(t, tagT4Options, c.G3TwoD ? 1 : 0);
  if (c.Compression == 4) TIFFAddLong(t, tagT6Options, 0);
  TIFFAddLong(t, tagNewSubfileType, 0);
  if (p.TiffPageNumber >= 0 || p.TiffPageCount >= 0)
    TIFFAddShortArray(t, tagPageNumber, {static_cast<uint32_t>(std::clamp(p.TiffPageNumber, 0, 0xFFFF)),
                                         static_cast<uint32_t>(std::clamp(p.TiffPageCount, 0, 0xFFFF))});
  TIFFAddIPTC(t, p);
  TIFFAddXMP(t, p);
  TIFFAddAnnotations(t, p);
  TIFFAddICC(t, p);
  if (c.Photometric == 3) {
    const int32_t n = std::min(1 << c.BitsPerSample, 256);
    std::vector<uint32_t> map(static_cast<size_t>(3 * n));
    for (int32_t i = 0; i < n; ++i) {
      map[static_cast<size_t>(i)] = plan.palette[static_cast<size_t>(i)].r * 257u;
      map[static_cast<size_t>(n + i)] = plan.palette[static_cast<size_t>(i)].g * 257u;
      map[static_cast<size_t>(2 * n + i)] = plan.palette[static_cast<size_t>(i)].b * 257u;
    }
    TIFFAddShortArray(t, tagColorMap, map);
  }
}

bool ReadU32At(TStream& s, int64_t at, uint32_t& v) {
  uint8_t b[4];
  if (at < 0 || at + 4 > s.Size()) return false;
  s.Seek(at, soBeginning);
  if (s.Read(b, 4) != 4) return false;
  v = IEGetU32(b, false);
  return true;
}

// The insertion point of a new page at Index in the little-endian TIFF at Start: the position of
// the link to overwrite and the offset it holds now. Pages receives the chain's length. False for
// a stream that is no little-endian TIFF, or a chain that leaves the stream or runs in a cycle.
bool FindInsertionLink(TStream& s, int64_t start, int32_t index, int64_t& linkAt, uint32_t& oldNext, int32_t& pages) {
  uint8_t head[4];
  s.Seek(start, soBeginning);
  if (s.Read(head, 4) != 4 || head[0] != 'I' || head[1] != 'I') return false;
  const int64_t size = s.Size();
  std::unordered_set<uint32_t> visited;
  int64_t link = start + 4;
  linkAt = -1;
  pages = 0;
  for (int32_t i = 0;; ++i) {
    uint32_t next = 0;
    if (!ReadU32At(s, link, next)) return false;
    if (linkAt < 0 && (i == index || (next == 0 && i < index))) {
      linkAt = link;
      oldNext = next;
    }
    if (next == 0) break;
    if (!visited.insert(next).second || i >= kTIFFMaxPages) return false;
    uint8_t cnt[2];
    if (next + int64_t{2} > size) return false;
    s.Seek(next, soBeginning);
    if (s.Read(cnt, 2) != 2) return false;
    link = int64_t{next} + 2 + 12 * int64_t{IEGetU16(cnt, false)};
    if (link + 4 > size) return false;
    ++pages;
  }
  return linkAt >= 0;
}

}  // namespace

int32_t WriteTIFFStream(TStream& Stream, bool Append, TIEBitmap* Bitmap, TIOParamsVals& Params,
                        TIEProgressRecord& Progress) {
  bool failed = false;
  int32_t pages = 0;
  int64_t linkAt = -1;
  uint32_t next = 0;
  const int64_t start = Stream.Position();
  try {
    if (Append) {
      if (!FindInsertionLink(Stream, start, Params.TiffImageIndex, linkAt, next, pages)) {
        Progress.Abort();
        return 0;
      }
      Stream.Seek(0, soEnd);
    } else {
      const uint8_t header[8] = {};
      Stream.WriteBuffer(header, 8);
    }
    TPagePlan plan;
    if (Bitmap && Bitmap->IsEmpty()) {
      Progress.Abort();
      return 0;
    }
    if (Bitmap && !PlanPage(*Bitmap, Params, plan)) {
      Progress.Abort();
      return 0;
    }
    TTIFFTagList tags(Stream, failed);
    // 1. The EXIF road, or the plain description and resolution.
    if (Params.HasExifData) {
      TIFFWriteExifTags(tags, Params);
    } else {
      TIFFAddAscii(tags, tagImageDescription, Params.TiffImageDescription);
      TIFFAddRational(tags, tagXResolution, Params.DpiX > 0 ? Params.DpiX : DefaultDPIX);
      TIFFAddRational(tags, tagYResolution, Params.DpiY > 0 ? Params.DpiY : DefaultDPIY);
      TIFFAddShort(tags, tagResolutionUnit, 2);
    }
    if (plan.work) {
      // 2. and 3.
      AddImageTags(tags, plan, Params);
      if (plan.bilevel) {
        TIFFAddShort(tags, tagFillOrder, static_cast<uint32_t>(plan.strips.FillOrder));
        TIFFAddShort(tags, tagPlanarConfig, 1);
        TIFFAddShort(tags, 327, 0);  // CleanFaxData
      }
      // 4. The strips.
      if (plan.strips.Compression == 6) TIFFWriteOldJPEGStrip(tags, *plan.work, Progress, plan.strips);
      else TIFFWriteStrips(tags, *plan.work, Progress, plan.strips);
      // 5.
      if (!failed && !Progress.IsAborting()) AddPageTags(tags, plan, Params);
    }
    if (failed || Progress.IsAborting()) {
      Progress.Abort();
      return 0;
    }
    // 6. The directory, then what points at it.
    const uint32_t ifd = TIFFWriteIFD(tags, next);
    if (failed) {
      Progress.Abort();
      return 0;
    }
    const int64_t end = Stream.Position();
    uint8_t b[8] = {'I', 'I', 42, 0};
    IEPutU32(b + 4, ifd, false);
    if (Append) {
      Stream.Seek(linkAt, soBeginning);
      SafeStreamWrite(Stream, failed, b + 4, 4);
    } else {
      Stream.Seek(start, soBeginning);
      SafeStreamWrite(Stream, failed, b, 8);
    }
    Stream.Seek(end, soBeginning);
    if (failed) {
      Progress.Abort();
      return 0;
    }
  } catch (const std::exception&) {
    Progress.Abort();
    return 0;
  }
  return Append ? pages + 1 : 1;
}

void TIFFCodecWrite(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  WriteTIFFStream(Stream, false, &Bitmap, Params, Progress);
}
