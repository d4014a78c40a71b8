// TIOParamsVals: the EXIF and GPS group. A field at its absent value means the tag is absent; the
// value setters keep the list of present tag numbers (ExifTags) in step with the fields.
#include <climits>
#include <cmath>
#include <cstdint>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/io_params.h"

namespace {

constexpr uint8_t kAPP1 = 0xE1;

// Stores a value and keeps its tag in the list unless the value is the absent one.
template <class T>
void SetTagged(TIOParamsVals& params, T& field, T value, int32_t tag, T absent) {
  field = value;
  if (value == absent)
    params.RemoveExifTag(tag);
  else
    params.AddExifTag(tag);
}

template <class T, size_t N>
T GetChecked(const std::array<T, N>& values, int32_t index, T absent) {
  if (index < 0 || static_cast<size_t>(index) >= N) return absent;
  return values[static_cast<size_t>(index)];
}

template <class T, size_t N>
void SetChecked(std::array<T, N>& values, int32_t index, T value) {
  if (index < 0 || static_cast<size_t>(index) >= N) return;
  values[static_cast<size_t>(index)] = value;
}

// A resolution read from a file, rounded to the nearest integer (halves to even) and kept inside
// the int32 range; NaN gives 0.
int32_t RoundResolution(double value) {
  if (std::isnan(value)) return 0;
  value = std::nearbyint(value);
  if (value >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  if (value <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

void TIOParamsVals::ResetEXIF() {
  // 1. Tags, the data flag and the thumbnail.
  ExifTags.Clear();
  HasExifData = false;
  exifThumbnail_.reset();
  // 2. and 3. Texts, the maker note and the numbers to their absent values.
  const TIOParamsFields defaults;
  ExifOrientation = defaults.ExifOrientation;
  ExifImageDescription.clear();
  ExifMake.clear();
  ExifModel.clear();
  ExifXResolution = defaults.ExifXResolution;
  ExifYResolution = defaults.ExifYResolution;
  ExifResolutionUnit = defaults.ExifResolutionUnit;
  ExifSoftware.clear();
  ExifArtist.clear();
  ExifDateTime.clear();
  ExifWhitePoint = defaults.ExifWhitePoint;
  ExifPrimaryChromaticities = defaults.ExifPrimaryChromaticities;
  ExifYCbCrCoefficients = defaults.ExifYCbCrCoefficients;
  ExifYCbCrPositioning = defaults.ExifYCbCrPositioning;
  ExifReferenceBlackWhite = defaults.ExifReferenceBlackWhite;
  ExifCopyright.clear();
  ExifExposureTime = defaults.ExifExposureTime;
  ExifFNumber = defaults.ExifFNumber;
  ExifExposureProgram = defaults.ExifExposureProgram;
  ExifISOSpeedRatings = defaults.ExifISOSpeedRatings;
  ExifVersion.clear();
  ExifDateTimeOriginal.clear();
  ExifDateTimeDigitized.clear();
  ExifCompressedBitsPerPixel = defaults.ExifCompressedBitsPerPixel;
  ExifShutterSpeedValue = defaults.ExifShutterSpeedValue;
  ExifApertureValue = defaults.ExifApertureValue;
  ExifBrightnessValue = defaults.ExifBrightnessValue;
  ExifExposureBiasValue = defaults.ExifExposureBiasValue;
  ExifMaxApertureValue = defaults.ExifMaxApertureValue;
  ExifSubjectDistance = defaults.ExifSubjectDistance;
  ExifMeteringMode = defaults.ExifMeteringMode;
  ExifLightSource = defaults.ExifLightSource;
  ExifFlash = defaults.ExifFlash;
  ExifFocalLength = defaults.ExifFocalLength;
  ExifSubsecTime.clear();
  ExifSubsecTimeOriginal.clear();
  ExifSubsecTimeDigitized.clear();
  ExifFlashPixVersion.clear();
  ExifColorSpace = defaults.ExifColorSpace;
  ExifPixelXDimension = defaults.ExifPixelXDimension;
  ExifPixelYDimension = defaults.ExifPixelYDimension;
  ExifRelatedSoundFile.clear();
  ExifFocalPlaneXResolution = defaults.ExifFocalPlaneXResolution;
  ExifFocalPlaneYResolution = defaults.ExifFocalPlaneYResolution;
  ExifFocalPlaneResolutionUnit = defaults.ExifFocalPlaneResolutionUnit;
  ExifExposureIndex = defaults.ExifExposureIndex;
  ExifSensingMethod = defaults.ExifSensingMethod;
  ExifFileSource = defaults.ExifFileSource;
  ExifSceneType = defaults.ExifSceneType;
  ExifUserComment.clear();
  ExifUserCommentCode.clear();
  ExifMakerNote.Clear();
  ExifRating = defaults.ExifRating;
  ExifXPTitle.clear();
  ExifXPComment.clear();
  ExifXPAuthor.clear();
  ExifXPKeywords.clear();
  ExifXPSubject.clear();
  ExifExposureMode = defaults.ExifExposureMode;
  ExifWhiteBalance = defaults.ExifWhiteBalance;
  ExifDigitalZoomRatio = defaults.ExifDigitalZoomRatio;
  ExifFocalLengthIn35mmFilm = defaults.ExifFocalLengthIn35mmFilm;
  ExifSceneCaptureType = defaults.ExifSceneCaptureType;
  ExifGainControl = defaults.ExifGainControl;
  ExifContrast = defaults.ExifContrast;
  ExifSaturation = defaults.ExifSaturation;
  ExifSharpness = defaults.ExifSharpness;
  ExifSubjectDistanceRange = defaults.ExifSubjectDistanceRange;
  ExifImageUniqueID.clear();
  GpsVersionID.clear();
  GpsLatitudeRef.clear();
  GpsLatitude = defaults.GpsLatitude;
  GpsLongitudeRef.clear();
  GpsLongitude = defaults.GpsLongitude;
  GpsAltitudeRef.clear();
  GpsAltitude = 0;
  GpsTimeStamp = defaults.GpsTimeStamp;
  GpsSatellites.clear();
  GpsStatus.clear();
  GpsMeasureMode.clear();
  GpsDOP = 0;
  GpsSpeedRef.clear();
  GpsSpeed = 0;
  GpsTrackRef.clear();
  GpsTrack = 0;
  GpsImgDirectionRef.clear();
  GpsImgDirection = 0;
  GpsMapDatum.clear();
  GpsDestLatitudeRef.clear();
  GpsDestLatitude = defaults.GpsDestLatitude;
  GpsDestLongitudeRef.clear();
  GpsDestLongitude = defaults.GpsDestLongitude;
  GpsDestBearingRef.clear();
  GpsDestBearing = 0;
  GpsDestDistanceRef.clear();
  GpsDestDistance = 0;
  GpsDateStamp.clear();
  // 4. The EXIF block read with the image is not written again by a following JPEG save.
  for (int32_t i = 0; i < JpegMarkers.GetCount(); ++i) {
    if (JpegMarkers.GetMarkerType(i) == kAPP1 &&
        IsEXIFBlock(JpegMarkers.GetMarkerData(i), JpegMarkers.GetMarkerLength(i))) {
      JpegMarkers.Delete(i);
      break;
    }
  }
}

void TIOParamsVals::AddExifTag(int32_t Tag) {
  if (!HasExifTag(Tag)) ExifTags.Add(Tag);
}

void TIOParamsVals::RemoveExifTag(int32_t Tag) {
  for (int32_t i = 0; i < ExifTags.Count(); ++i) {
    if (ExifTags[i] == Tag) {
      ExifTags.Delete(i);
      return;
    }
  }
}

bool TIOParamsVals::HasExifTag(int32_t Tag) const {
  for (int32_t i = 0; i < ExifTags.Count(); ++i)
    if (ExifTags[i] == Tag) return true;
  return false;
}

void TIOParamsVals::SetExifExposureTime(double Value) { SetTagged(*this, ExifExposureTime, Value, 33434, -1.0); }
void TIOParamsVals::SetExifFNumber(double Value) { SetTagged(*this, ExifFNumber, Value, 33437, -1.0); }
void TIOParamsVals::SetExifExposureProgram(int32_t Value) { SetTagged(*this, ExifExposureProgram, Value, 34850, -1); }
void TIOParamsVals::SetExifCompressedBitsPerPixel(double Value) {
  SetTagged(*this, ExifCompressedBitsPerPixel, Value, 37122, 0.0);
}
void TIOParamsVals::SetExifShutterSpeedValue(double Value) { SetTagged(*this, ExifShutterSpeedValue, Value, 37377, -1.0); }
void TIOParamsVals::SetExifApertureValue(double Value) { SetTagged(*this, ExifApertureValue, Value, 37378, -1.0); }
void TIOParamsVals::SetExifBrightnessValue(double Value) {
  SetTagged(*this, ExifBrightnessValue, Value, 37379, -1000.0);
}
void TIOParamsVals::SetExifExposureBiasValue(double Value) {
  SetTagged(*this, ExifExposureBiasValue, Value, 37380, -1000.0);
}
void TIOParamsVals::SetExifMaxApertureValue(double Value) {
  SetTagged(*this, ExifMaxApertureValue, Value, 37381, -1000.0);
}
void TIOParamsVals::SetExifSubjectDistance(double Value) { SetTagged(*this, ExifSubjectDistance, Value, 37382, -1.0); }
void TIOParamsVals::SetExifMeteringMode(int32_t Value) { SetTagged(*this, ExifMeteringMode, Value, 37383, -1); }
void TIOParamsVals::SetExifLightSource(int32_t Value) { SetTagged(*this, ExifLightSource, Value, 37384, -1); }
void TIOParamsVals::SetExifFlash(int32_t Value) { SetTagged(*this, ExifFlash, Value, 37385, -1); }
void TIOParamsVals::SetExifFocalLength(double Value) { SetTagged(*this, ExifFocalLength, Value, 37386, -1.0); }
void TIOParamsVals::SetExifColorSpace(int32_t Value) { SetTagged(*this, ExifColorSpace, Value, 40961, -1); }
void TIOParamsVals::SetExifPixelXDimension(int32_t Value) { SetTagged(*this, ExifPixelXDimension, Value, 40962, 0); }
void TIOParamsVals::SetExifPixelYDimension(int32_t Value) { SetTagged(*this, ExifPixelYDimension, Value, 40963, 0); }
void TIOParamsVals::SetExifFocalPlaneXResolution(double Value) {
  SetTagged(*this, ExifFocalPlaneXResolution, Value, 41486, -1.0);
}
void TIOParamsVals::SetExifFocalPlaneYResolution(double Value) {
  SetTagged(*this, ExifFocalPlaneYResolution, Value, 41487, -1.0);
}
void TIOParamsVals::SetExifFocalPlaneResolutionUnit(int32_t Value) {
  SetTagged(*this, ExifFocalPlaneResolutionUnit, Value, 41488, -1);
}
void TIOParamsVals::SetExifExposureIndex(double Value) { SetTagged(*this, ExifExposureIndex, Value, 41493, -1.0); }
void TIOParamsVals::SetExifSensingMethod(int32_t Value) { SetTagged(*this, ExifSensingMethod, Value, 41495, -1); }
void TIOParamsVals::SetExifFileSource(int32_t Value) { SetTagged(*this, ExifFileSource, Value, 41728, -1); }
void TIOParamsVals::SetExifSceneType(int32_t Value) { SetTagged(*this, ExifSceneType, Value, 41729, -1); }

int32_t TIOParamsVals::GetExifISOSpeedRatings(int32_t Index) const { return GetChecked(ExifISOSpeedRatings, Index, 0); }
void TIOParamsVals::SetExifISOSpeedRatings(int32_t Index, int32_t Value) { SetChecked(ExifISOSpeedRatings, Index, Value); }
double TIOParamsVals::GetExifWhitePoint(int32_t Index) const { return GetChecked(ExifWhitePoint, Index, -1.0); }
void TIOParamsVals::SetExifWhitePoint(int32_t Index, double Value) { SetChecked(ExifWhitePoint, Index, Value); }
double TIOParamsVals::GetExifPrimaryChromaticities(int32_t Index) const {
  return GetChecked(ExifPrimaryChromaticities, Index, -1.0);
}
void TIOParamsVals::SetExifPrimaryChromaticities(int32_t Index, double Value) {
  SetChecked(ExifPrimaryChromaticities, Index, Value);
}
double TIOParamsVals::GetExifYCbCrCoefficients(int32_t Index) const {
  return GetChecked(ExifYCbCrCoefficients, Index, -1.0);
}
void TIOParamsVals::SetExifYCbCrCoefficients(int32_t Index, double Value) {
  SetChecked(ExifYCbCrCoefficients, Index, Value);
}
double TIOParamsVals::GetExifReferenceBlackWhite(int32_t Index) const {
  return GetChecked(ExifReferenceBlackWhite, Index, -1.0);
}
void TIOParamsVals::SetExifReferenceBlackWhite(int32_t Index, double Value) {
  SetChecked(ExifReferenceBlackWhite, Index, Value);
}

void TIOParamsVals::SetExifXResolution(double Value) {
  SetDpiX(RoundResolution(Value));
  ExifXResolution = Value;
}

void TIOParamsVals::SetExifYResolution(double Value) {
  SetDpiY(RoundResolution(Value));
  ExifYResolution = Value;
}
