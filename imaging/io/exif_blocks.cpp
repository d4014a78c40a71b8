#include "imaging/io/exif_blocks.h"

#include <cstring>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

const char kXMPNamespace[29] = "http://ns.adobe.com/xap/1.0/";

namespace {

constexpr int64_t kExifPrefix = 6;

// Reads one page of the TIFF at the stream's position (offsets from there) with a progress record of
// its own; true when the reader did not fail.
bool ReadPage(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly, bool thumbnail) {
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TIEMask> mask;
  int32_t pages = 0;
  try {
    ReadTIFFStream(bitmap, stream, pages, &params, progress, paramsOnly, mask, true, true, thumbnail);
  } catch (const std::exception&) {
    aborting = true;
  }
  return !aborting;
}

// The thumbnail of the record, made when missing, emptied.
TIEBitmap& EmptyThumbnail(TIOParamsVals& params) {
  if (!params.ExifThumbnail()) params.SetExifThumbnail(std::make_unique<TIEBitmap>());
  params.ExifThumbnail()->FreeImage();
  return *params.ExifThumbnail();
}

}  // namespace

void SaveEXIFToBuffer(TIOParamsVals& Params, std::vector<uint8_t>& Buffer, bool WithExifHeader, bool WithThumbnail) {
  Buffer.clear();
  TMemoryStream tiff;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteTIFFStream(tiff, false, nullptr, Params, progress);
  if (aborting) return;
  TIEBitmap* thumbnail = Params.ExifThumbnail();
  if (WithThumbnail && thumbnail && !thumbnail->IsEmpty()) {
    // The thumbnail as the file's second page, old-style JPEG; a thumbnail that cannot be written
    // leaves the block without one.
    const int64_t tagsOnly = tiff.Size();
    TIOParamsVals scratch(nullptr);
    scratch.SetImageIndex(1);
    scratch.TiffCompression = 6;
    tiff.Seek(0, soBeginning);
    bool failed = false;
    TIEProgressRecord thumbProgress;
    thumbProgress.Aborting = &failed;
    WriteTIFFStream(tiff, true, thumbnail, scratch, thumbProgress);
    if (failed) tiff.SetSize(tagsOnly);
  }
  const auto* data = static_cast<const uint8_t*>(tiff.Memory());
  if (WithExifHeader) Buffer.assign({'E', 'x', 'i', 'f', 0, 0});
  Buffer.insert(Buffer.end(), data, data + tiff.Size());
}

bool LoadEXIFFromBuffer(const void* Data, int64_t Length, TIOParamsVals& Params) {
  if (!Data || Length < kExifPrefix + 8 || std::memcmp(Data, "Exif", 5) != 0) return false;
  const auto* tiff = static_cast<const uint8_t*>(Data) + kExifPrefix;
  const int64_t size = Length - kExifPrefix;
  // The block holds a TIFF: a byte order mark first (else the next APP1 marker is tried).
  if (size > INT32_MAX || !((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M'))) return false;
  TCustomMemoryStream stream(tiff, size);
  TIOParamsVals scratch(nullptr);
  TIEBitmap& thumbnail = EmptyThumbnail(Params);
  ReadPage(stream, nullptr, scratch, true, false);
  CopyEXIFFields(scratch, Params);
  Params.HasExifData = true;
  scratch.SetImageIndex(1);
  stream.Seek(0, soBeginning);
  if (!ReadPage(stream, &thumbnail, scratch, false, true)) thumbnail.FreeImage();
  if (!thumbnail.IsEmpty()) ApplyOrientation(thumbnail, Params.TiffOrientation);
  return true;
}

bool LoadEXIFFromTIFFStream(TStream& Stream, TIOParamsVals& Params) {
  TIEStreamPositionKeeper keep(Stream);
  EmptyThumbnail(Params);
  ReadPage(Stream, nullptr, Params, true, false);
  return true;
}

bool LoadRawEXIFAndPreview(TStream& Stream, TIOParamsVals& Params) {
  TIEStreamPositionKeeper keep(Stream);
  const int64_t start = Stream.Position();
  TIOParamsVals scratch(nullptr);
  TIEBitmap a, b;
  EmptyThumbnail(Params);
  ReadPage(Stream, nullptr, scratch, true, false);
  CopyEXIFFields(scratch, Params);
  Params.HasExifData = true;
  // The first two images; one that does not decode counts as absent. The previews of raw files
  // are often larger than an EXIF thumbnail, so they are not read in the thumbnail's reduced mode.
  for (int32_t page = 0; page < 2; ++page) {
    TIEBitmap& target = page == 0 ? a : b;
    TIOParamsVals pageParams(nullptr);
    pageParams.SetImageIndex(page);
    Stream.Seek(start, soBeginning);
    if (!ReadPage(Stream, &target, pageParams, false, false)) target.FreeImage();
  }
  // The smaller of the two, unless it is all black (a preview that did not decode): then the other.
  auto usable = [](TIEBitmap& x) { return x.Width() > 0 && !x.IsEmpty() && !x.IsAllZero(); };
  const bool useA = usable(a), useB = usable(b);
  TIEBitmap* chosen = nullptr;
  if (useA && (!useB || a.Width() <= b.Width())) chosen = &a;
  else if (useB) chosen = &b;
  if (chosen) Params.ExifThumbnail()->Assign(*chosen);
  return true;
}

void CopyEXIFFields(const TIOParamsVals& S, TIOParamsVals& D) {
  D.ExifTags.Assign(&S.ExifTags);
  D.ExifImageDescription = S.TiffImageDescription;
  D.SetExifOrientation(S.ExifOrientation);
  D.SetExifXResolution(S.ExifXResolution);
  D.SetExifYResolution(S.ExifYResolution);
  D.ExifMake = S.ExifMake;
  D.ExifModel = S.ExifModel;
  D.ExifResolutionUnit = S.ExifResolutionUnit;
  D.ExifSoftware = S.ExifSoftware;
  D.ExifArtist = S.ExifArtist;
  D.ExifDateTime = S.ExifDateTime;
  for (int32_t i = 0; i < 2; ++i) D.SetExifWhitePoint(i, S.GetExifWhitePoint(i));
  for (int32_t i = 0; i < 6; ++i) D.SetExifPrimaryChromaticities(i, S.GetExifPrimaryChromaticities(i));
  for (int32_t i = 0; i < 3; ++i) D.SetExifYCbCrCoefficients(i, S.GetExifYCbCrCoefficients(i));
  for (int32_t i = 0; i < 6; ++i) D.SetExifReferenceBlackWhite(i, S.GetExifReferenceBlackWhite(i));
  D.ExifYCbCrPositioning = S.ExifYCbCrPositioning;
  D.ExifCopyright = S.ExifCopyright;
  D.SetExifExposureTime(S.ExifExposureTime);
  D.SetExifFNumber(S.ExifFNumber);
  D.SetExifExposureProgram(S.ExifExposureProgram);
  for (int32_t i = 0; i < 2; ++i) D.SetExifISOSpeedRatings(i, S.GetExifISOSpeedRatings(i));
  D.ExifVersion = S.ExifVersion;
  D.ExifDateTimeOriginal = S.ExifDateTimeOriginal;
  D.ExifDateTimeDigitized = S.ExifDateTimeDigitized;
  D.SetExifCompressedBitsPerPixel(S.ExifCompressedBitsPerPixel);
  D.SetExifShutterSpeedValue(S.ExifShutterSpeedValue);
  D.SetExifApertureValue(S.ExifApertureValue);
  D.SetExifBrightnessValue(S.ExifBrightnessValue);
  D.SetExifExposureBiasValue(S.ExifExposureBiasValue);
  D.SetExifMaxApertureValue(S.ExifMaxApertureValue);
  D.SetExifSubjectDistance(S.ExifSubjectDistance);
  D.SetExifMeteringMode(S.ExifMeteringMode);
  D.SetExifLightSource(S.ExifLightSource);
  D.SetExifFlash(S.ExifFlash);
  D.SetExifFocalLength(S.ExifFocalLength);
  D.ExifSubsecTime = S.ExifSubsecTime;
  D.ExifSubsecTimeOriginal = S.ExifSubsecTimeOriginal;
  D.ExifSubsecTimeDigitized = S.ExifSubsecTimeDigitized;
  D.ExifFlashPixVersion = S.ExifFlashPixVersion;
  D.SetExifColorSpace(S.ExifColorSpace);
  D.SetExifPixelXDimension(S.ExifPixelXDimension);
  D.SetExifPixelYDimension(S.ExifPixelYDimension);
  D.ExifRelatedSoundFile = S.ExifRelatedSoundFile;
  D.SetExifFocalPlaneXResolution(S.ExifFocalPlaneXResolution);
  D.SetExifFocalPlaneYResolution(S.ExifFocalPlaneYResolution);
  D.SetExifFocalPlaneResolutionUnit(S.ExifFocalPlaneResolutionUnit);
  D.SetExifExposureIndex(S.ExifExposureIndex);
  D.SetExifSensingMethod(S.ExifSensingMethod);
  D.SetExifFileSource(S.ExifFileSource);
  D.SetExifSceneType(S.ExifSceneType);
  D.ExifUserComment = S.ExifUserComment;
  D.ExifUserCommentCode = S.ExifUserCommentCode;
  D.ExifMakerNote.Assign(&S.ExifMakerNote);
  D.ExifRating = S.ExifRating;
  D.ExifXPTitle = S.ExifXPTitle;
  D.ExifXPComment = S.ExifXPComment;
  D.ExifXPAuthor = S.ExifXPAuthor;
  D.ExifXPKeywords = S.ExifXPKeywords;
  D.ExifXPSubject = S.ExifXPSubject;
  D.ExifExposureMode = S.ExifExposureMode;
  D.ExifWhiteBalance = S.ExifWhiteBalance;
  D.ExifDigitalZoomRatio = S.ExifDigitalZoomRatio;
  D.ExifFocalLengthIn35mmFilm = S.ExifFocalLengthIn35mmFilm;
  D.ExifSceneCaptureType = S.ExifSceneCaptureType;
  D.ExifGainControl = S.ExifGainControl;
  D.ExifContrast = S.ExifContrast;
  D.ExifSaturation = S.ExifSaturation;
  D.ExifSharpness = S.ExifSharpness;
  D.ExifSubjectDistanceRange = S.ExifSubjectDistanceRange;
  D.ExifImageUniqueID = S.ExifImageUniqueID;
  D.GpsVersionID = S.GpsVersionID;
  D.GpsLatitudeRef = S.GpsLatitudeRef;
  D.GpsLatitude = S.GpsLatitude;
  D.GpsLongitudeRef = S.GpsLongitudeRef;
  D.GpsLongitude = S.GpsLongitude;
  D.GpsAltitudeRef = S.GpsAltitudeRef;
  D.GpsAltitude = S.GpsAltitude;
  D.GpsTimeStamp = S.GpsTimeStamp;
  D.GpsSatellites = S.GpsSatellites;
  D.GpsStatus = S.GpsStatus;
  D.GpsMeasureMode = S.GpsMeasureMode;
  D.GpsDOP = S.GpsDOP;
  D.GpsSpeedRef = S.GpsSpeedRef;
  D.GpsSpeed = S.GpsSpeed;
  D.GpsTrackRef = S.GpsTrackRef;
  D.GpsTrack = S.GpsTrack;
  D.GpsImgDirectionRef = S.GpsImgDirectionRef;
  D.GpsImgDirection = S.GpsImgDirection;
  D.GpsMapDatum = S.GpsMapDatum;
  D.GpsDestLatitudeRef = S.GpsDestLatitudeRef;
  D.GpsDestLatitude = S.GpsDestLatitude;
  D.GpsDestLongitudeRef = S.GpsDestLongitudeRef;
  D.GpsDestLongitude = S.GpsDestLongitude;
  D.GpsDestBearingRef = S.GpsDestBearingRef;
  D.GpsDestBearing = S.GpsDestBearing;
  D.GpsDestDistanceRef = S.GpsDestDistanceRef;
  D.GpsDestDistance = S.GpsDestDistance;
  D.GpsDateStamp = S.GpsDateStamp;
}

const uint8_t* FindXMPPacket(const void* Data, int64_t Length) {
  if (!Data || Length < 30 || std::memcmp(Data, kXMPNamespace, 24) != 0) return nullptr;
  const auto* p = static_cast<const uint8_t*>(Data);
  const void* zero = std::memchr(p, 0, static_cast<size_t>(Length));
  return zero ? static_cast<const uint8_t*>(zero) + 1 : nullptr;
}

bool ReadXMPFromAPP1(const void* Data, int64_t Length, TIOParamsVals& Params) {
  const uint8_t* text = FindXMPPacket(Data, Length);
  if (!text) return false;
  const auto* end = static_cast<const uint8_t*>(Data) + Length;
  Params.XmpInfo.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(end - text));
  return true;
}

void BuildXMPAPP1(const TIOParamsVals& Params, std::vector<uint8_t>& Buffer) {
  Buffer.assign(kXMPNamespace, kXMPNamespace + 28);
  Buffer.push_back(0);
  Buffer.insert(Buffer.end(), Params.XmpInfo.begin(), Params.XmpInfo.end());
}
