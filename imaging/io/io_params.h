#pragma once
// TIOParamsVals: the parameter record of one image. Every codec receives it by reference next to the
// bitmap it reads or writes, reads the options of its own format from it and writes back what it
// found in the file: geometry, resolution, page or frame selection and counts, per-format options,
// colour map and metadata (markers, IPTC, EXIF and GPS, ICC profiles, annotations, DICOM tags, texts).
//
// The plain values live in TIOParamsFields, which the record derives from, so that a copy of the
// record copies every value by construction; the record adds the objects it owns and the operations
// that keep coupled fields together (DpiX with ExifXResolution and the attached view, the page
// indexes of all groups, the two orientations).
//
// The record has no lock: while its owner loads or saves on an I/O thread, that thread writes it, and
// callers read it after the finish notification.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_dicom_tags.h"
#include "imaging/core/ie_iptc.h"
#include "imaging/core/ie_jpeg_markers.h"
#include "imaging/core/ie_lists.h"
#include "imaging/core/ie_rgb.h"
#include "imaging/core/ie_tags_handler.h"
#include "imaging/io/file_format_ids.h"
#include "imaging/io/lzw_hooks.h"

class TIEBitmap;
class TIEICC;
class TIEImagingAnnot;
class TZodazUrIO;

// Size of one icon image to write.
struct TIOICOSize {
  int32_t Width = 0;
  int32_t Height = 0;
  friend bool operator==(const TIOICOSize&, const TIOICOSize&) = default;
};
constexpr int32_t kIOMaxIcoImages = 16;

// The plain values of the record, in the record's declared order. Copying this part copies every
// value of the record.
struct TIOParamsFields {
  // ---- General ----
  int32_t BitsPerSample = 8;
  std::string FileName;  // file last loaded or saved (empty after a load from a stream)
  int32_t SamplesPerPixel = 3;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t DpiX = 0;   // write through SetDpiX (keeps ExifXResolution and the attached view)
  int32_t DpiY = 0;   // write through SetDpiY
  TIEFileFormatId FileType = fmtUnknown;
  int32_t ImageIndex = 0;  // page or frame of formats without an index of their own (DICOM, HD Photo, AVI, media)
  int32_t ImageCount = 0;
  bool GetThumbnail = false;  // load the embedded thumbnail instead of the full image (HD Photo, PSD)
  bool IsResource = false;    // BMP, ICO and CUR data without their file header
  bool EnableAdjustOrientation = false;
  int32_t OriginalWidth = 0;   // full size when a reduced image or a thumbnail was loaded
  int32_t OriginalHeight = 0;

  // ---- TIFF ----
  // 0 none, 1 CCITT 1D, 2 Group 3 1D, 3 Group 3 2D, 4 Group 4, 5 LZW, 6 old JPEG, 7 JPEG, 8 PackBits,
  // 9 ZIP, 10 Deflate (11 any other code read).
  uint8_t TiffCompression = 0;
  int32_t TiffImageIndex = 0;
  int32_t TiffSubIndex = -1;
  // 0 WhiteIsZero, 1 BlackIsZero, 2 RGB, 3 palette, 4 transparency mask, 5 CMYK, 6 YCbCr, 7 CIELab.
  uint8_t TiffPhotometInterpret = 2;
  int32_t TiffPlanarConf = 1;
  int32_t TiffXPos = 0;
  int32_t TiffYPos = 0;
  int32_t TiffGetTile = -1;
  std::string TiffDocumentName;
  std::string TiffImageDescription;
  std::string TiffPageName;
  int32_t TiffPageNumber = -1;
  int32_t TiffPageCount = -1;
  int32_t TiffOrientation = 1;  // write through SetTiffOrientation (keeps ExifOrientation equal)
  TTIFFLZWDecompFunc TiffLZWDecompressor = nullptr;
  TTIFFLZWCompFunc TiffLZWCompressor = nullptr;
  bool TiffEnableAdjustOrientation = false;
  int32_t TiffJpegQuality = 80;
  uint8_t TiffJpegColorSpace = 2;
  int32_t TiffZipCompression = 1;  // 0, 1, 2 select deflate levels 1, 2, 3
  int32_t TiffImageCount = 0;
  int32_t TiffFillOrder = 1;
  bool TiffByteOrderIntel = true;

  // ---- DCX and GIF ----
  int32_t DcxImageIndex = 0;
  std::string GifVersion = "GIF89a";
  int32_t GifImageIndex = 0;
  int32_t GifXPos = 0;
  int32_t GifYPos = 0;
  int32_t GifDelayTime = 0;  // hundredths of a second
  bool GifFlagTranspColor = false;
  TIERGB GifTranspColor{0, 0, 0};
  bool GifInterlaced = false;
  int32_t GifWinWidth = 0;
  int32_t GifWinHeight = 0;
  TIERGB GifBackground{0, 0, 0};
  int32_t GifRatio = 0;
  std::vector<std::string> GifComments;
  uint8_t GifAction = 2;  // disposal method (2 restore to background)
  TGIFLZWDecompFunc GifLZWDecompressor = nullptr;
  TGIFLZWCompFunc GifLZWCompressor = nullptr;
  int32_t GifImageCount = 0;

  // ---- JPEG and JPEG 2000 ----
  uint8_t JpegColorSpace = 2;  // 0 RGB, 1 grey, 2 YCbCr, 3 CMYK, 4 YCbCrK
  int32_t JpegQuality = 80;
  uint8_t JpegDCTMethod = 0;   // 0 integer slow, 1 integer fast, 2 floating point
  uint8_t JpegChromaSubsampling = 1;  // 0 2x1, 1 2x2, 2 1x1
  bool JpegOptimalHuffman = false;
  int32_t JpegSmooth = 0;
  bool JpegProgressive = false;
  uint8_t JpegScale = 1;  // 0 automatic, 1 full, 2 half, 3 quarter, 4 eighth
  int32_t JpegScaleUsed = 1;
  int32_t JpegWarningCount = 0;  // not reset, not copied
  int32_t JpegWarningCode = 0;   // not reset, not copied
  bool JpegEnableAdjustOrientation = false;
  bool JpegGetExifThumbnail = false;
  uint8_t J2000ColorSpace = 1;  // 0 grey, 1 RGB, 2 YCbCr
  double J2000Rate = 1.0;
  uint8_t J2000ProgressionOrder = 0;  // 0 LRCP, 1 RLCP

  // ---- PCX, BMP, ICO, CUR, PNG, Targa ----
  int32_t PcxVersion = 5;
  uint8_t PcxCompression = 1;  // 0 none, 1 run-length
  uint8_t BmpVersion = 1;      // 0 version 1, 1 version 3, 2 OS/2 version 1, 3 OS/2 version 2
  uint8_t BmpCompression = 0;  // 0 none, 1 run-length
  bool BmpUseAlpha = false;
  int32_t IcoImageIndex = 0;
  TIERGB IcoBackground{255, 255, 255};
  int32_t CurImageIndex = 0;
  int32_t CurXHotSpot = 0;
  int32_t CurYHotSpot = 0;
  TIERGB CurBackground{255, 255, 255};
  bool PngInterlaced = false;
  TIERGB PngBackground{0, 0, 0};
  uint8_t PngFilter = 0;
  int32_t PngCompression = 5;
  std::vector<std::string> PngTextKeys;
  std::vector<std::string> PngTextValues;  // index for index with PngTextKeys
  int32_t TgaXPos = 0;
  int32_t TgaYPos = 0;
  bool TgaCompressed = true;
  std::string TgaDescription;
  std::string TgaAuthor;
  double TgaDate = 0;  // days since 1899-12-30; today's date after SetDefaultParams
  std::string TgaImageName;
  TIERGB TgaBackground{0, 0, 0};
  double TgaAspectRatio = 1.0;
  double TgaGamma = 2.2;
  bool TgaGrayLevel = false;

  // ---- Metadata ----
  std::vector<std::string> PxmComments;  // "#" comment lines of PBM, PGM and PPM files

  // ---- EXIF and GPS (a field at its default value means the tag is absent) ----
  bool HasExifData = false;
  int32_t ExifOrientation = 0;  // write through SetExifOrientation (keeps TiffOrientation equal)
  std::string ExifImageDescription;
  std::string ExifMake;
  std::string ExifModel;
  double ExifXResolution = 0;
  double ExifYResolution = 0;
  int32_t ExifResolutionUnit = 0;
  std::string ExifSoftware;
  std::string ExifArtist;
  std::string ExifDateTime;
  std::array<double, 2> ExifWhitePoint{-1, -1};
  std::array<double, 6> ExifPrimaryChromaticities{-1, -1, -1, -1, -1, -1};
  std::array<double, 3> ExifYCbCrCoefficients{-1, -1, -1};
  int32_t ExifYCbCrPositioning = -1;
  std::array<double, 6> ExifReferenceBlackWhite{-1, -1, -1, -1, -1, -1};
  std::string ExifCopyright;
  double ExifExposureTime = -1;
  double ExifFNumber = -1;
  int32_t ExifExposureProgram = -1;
  std::array<int32_t, 2> ExifISOSpeedRatings{0, 0};
  std::string ExifVersion;
  std::string ExifDateTimeOriginal;
  std::string ExifDateTimeDigitized;
  double ExifCompressedBitsPerPixel = 0;
  double ExifShutterSpeedValue = -1;
  double ExifApertureValue = -1;
  double ExifBrightnessValue = -1000;
  double ExifExposureBiasValue = -1000;
  double ExifMaxApertureValue = -1000;
  double ExifSubjectDistance = -1;
  int32_t ExifMeteringMode = -1;
  int32_t ExifLightSource = -1;
  int32_t ExifFlash = -1;
  double ExifFocalLength = -1;
  std::string ExifSubsecTime;
  std::string ExifSubsecTimeOriginal;
  std::string ExifSubsecTimeDigitized;
  std::string ExifFlashPixVersion;
  int32_t ExifColorSpace = -1;
  int32_t ExifPixelXDimension = 0;
  int32_t ExifPixelYDimension = 0;
  std::string ExifRelatedSoundFile;
  double ExifFocalPlaneXResolution = -1;
  double ExifFocalPlaneYResolution = -1;
  int32_t ExifFocalPlaneResolutionUnit = -1;
  double ExifExposureIndex = -1;
  int32_t ExifSensingMethod = -1;
  int32_t ExifFileSource = -1;
  int32_t ExifSceneType = -1;
  std::string ExifUserComment;
  std::string ExifUserCommentCode;
  int32_t ExifRating = -1;
  std::string ExifXPTitle;
  std::string ExifXPComment;
  std::string ExifXPAuthor;
  std::string ExifXPKeywords;
  std::string ExifXPSubject;
  int32_t ExifExposureMode = -1;
  int32_t ExifWhiteBalance = -1;
  double ExifDigitalZoomRatio = -1;
  int32_t ExifFocalLengthIn35mmFilm = -1;
  int32_t ExifSceneCaptureType = -1;
  int32_t ExifGainControl = -1;
  int32_t ExifContrast = -1;
  int32_t ExifSaturation = -1;
  int32_t ExifSharpness = -1;
  int32_t ExifSubjectDistanceRange = -1;
  std::string ExifImageUniqueID;
  std::string GpsVersionID;
  std::string GpsLatitudeRef;
  std::array<double, 3> GpsLatitude{0, 0, 0};
  std::string GpsLongitudeRef;
  std::array<double, 3> GpsLongitude{0, 0, 0};
  std::string GpsAltitudeRef;
  double GpsAltitude = 0;
  std::array<double, 3> GpsTimeStamp{0, 0, 0};
  std::string GpsSatellites;
  std::string GpsStatus;
  std::string GpsMeasureMode;
  double GpsDOP = 0;
  std::string GpsSpeedRef;
  double GpsSpeed = 0;
  std::string GpsTrackRef;
  double GpsTrack = 0;
  std::string GpsImgDirectionRef;
  double GpsImgDirection = 0;
  std::string GpsMapDatum;
  std::string GpsDestLatitudeRef;
  std::array<double, 3> GpsDestLatitude{0, 0, 0};
  std::string GpsDestLongitudeRef;
  std::array<double, 3> GpsDestLongitude{0, 0, 0};
  std::string GpsDestBearingRef;
  double GpsDestBearing = 0;
  std::string GpsDestDistanceRef;
  double GpsDestDistance = 0;
  std::string GpsDateStamp;

  // ---- Animation, page description, camera raw and the rest ----
  int32_t AviFrameCount = 0;
  int32_t AviFrameDelayTime = 0;        // milliseconds
  int32_t MediaFileFrameCount = 0;      // not reset, not copied
  int32_t MediaFileFrameDelayTime = 0;  // not reset, not copied
  int32_t PsPaperWidth = 595;
  int32_t PsPaperHeight = 842;
  uint8_t PsCompression = 1;  // 0 none, 1 CCITT Group 4, 2 CCITT Group 3 2D, 3 JPEG
  std::string PsTitle = "No Title";
  int32_t PdfPaperWidth = 595;
  int32_t PdfPaperHeight = 842;
  uint8_t PdfCompression = 2;  // 0 none, 1 run-length, 2 G4, 3 G3 2D, 4 JPEG, 5 LZW
  std::string PdfTitle;
  std::string PdfAuthor;
  std::string PdfSubject;
  std::string PdfKeywords;
  std::string PdfCreator;
  std::string PdfProducer;
  bool RawHalfSize = false;
  double RawGamma = 0.6;
  double RawBright = 1.0;
  double RawRedScale = 1.0;
  double RawBlueScale = 1.0;
  bool RawQuickInterpolate = true;
  bool RawUseAutoWB = false;
  bool RawUseCameraWB = false;
  bool RawFourColorRGB = false;
  std::string RawCamera;
  bool RawGetExifThumbnail = false;
  bool RawAutoAdjustColors = false;
  bool RawBitmapBGR = false;
  bool RawBitmapPlanar = false;
  int32_t RawBitmapRowAlign = 8;
  int32_t RawBitmapHeaderSize = 0;
  uint8_t RawBitmapDataFormat = 0;  // 0 binary, 1 decimal text, 2 hexadecimal text
  bool PsdLoadLayers = false;
  bool PsdReplaceLayers = true;
  double HdpImageQuality = 0.9;
  bool HdpLossless = false;
  std::string XmpInfo;
  bool IsNativePixelFormat = false;
  int32_t ColorMapCount = 0;  // entries of ColorMap
  std::array<TIOICOSize, kIOMaxIcoImages> IcoSizes{TIOICOSize{64, 64}};  // a zero width ends the list
  std::array<int32_t, kIOMaxIcoImages> IcoBitCounts{8};
};

class TIOParamsVals : public TIOParamsFields {
 public:
  // A record with its defaults. Owner is the component the record belongs to (nil for a scratch
  // record); with an owner the defaults take the owner's image size and the default resolution.
  explicit TIOParamsVals(TZodazUrIO* Owner);
  ~TIOParamsVals();
  TIOParamsVals(const TIOParamsVals&) = delete;
  TIOParamsVals& operator=(const TIOParamsVals&) = delete;

  TZodazUrIO* Owner() const { return owner_; }

  // Every field to its default; the media-file frame count and duration and the JPEG warnings stay.
  void SetDefaultParams();
  // Clears the information a reader fills (metadata, texts, profiles), keeping the options, the
  // geometry, the resolution and the indexes. Loaders call it before reading.
  void ResetInfo();
  // Copies every field of Source, owned objects deeply; Owner, the JPEG warnings and the media-file
  // frame count and duration are not copied. Each format's page index is copied as it is in Source.
  void Assign(const TIOParamsVals& Source);
  // Copies only the encoding options (the multi-image component uses it for a new frame).
  void AssignCompressionInfo(const TIOParamsVals& Source);

  // ---- Coupled fields ----
  // DpiX := Value and ExifXResolution := Value; an attached image view gets the resolution too
  // (inside its update lock, without a repaint).
  void SetDpiX(int32_t Value);
  void SetDpiY(int32_t Value);
  void SetDpi(int32_t Value);
  // Sets the page index of every format group (ImageIndex, TIFF, DCX, GIF, ICO, CUR).
  void SetImageIndex(int32_t Value);
  // Sets ImageCount, TiffImageCount, AviFrameCount, GifImageCount and MediaFileFrameCount.
  void SetImageCount(int32_t Value);
  void SetEnableAdjustOrientation(bool Value);
  // Sets GetThumbnail and JpegGetExifThumbnail.
  void SetGetThumbnail(bool Value);
  void SetRawGetExifThumbnail(bool Value) { RawGetExifThumbnail = Value; }
  // Both set TiffOrientation and ExifOrientation.
  void SetTiffOrientation(int32_t Value);
  void SetExifOrientation(int32_t Value);

  // ---- Colour map: nil with ColorMapCount 0, or ColorMapCount entries ----
  TIERGB* ColorMap() const { return colorMap_.get(); }
  void FreeColorMap();
  // A copy of Count entries (Count <= 0 frees the map).
  void SetColorMap(const TIERGB* Colors, int32_t Count);

  // ---- Owned metadata objects ----
  TIEMarkerList JpegMarkers;   // APPn and COM markers kept from reading and written back on save
  TIEIPTCInfoList IPTC;
  TIEDICOMTags DicomTags;
  TIEIntegerList ExifTags;     // numbers of the EXIF tags present
  TIETagsHandler ExifMakerNote;

  // ---- On-demand objects (nil until created) ----
  TIEImagingAnnot* ImagingAnnot() const { return imagingAnnot_.get(); }
  // The annotation set, created (with this record as its parent) on first use.
  TIEImagingAnnot* GetImagingAnnot();
  TIEICC* InputICCProfile() const { return inputICC_.get(); }
  TIEICC* OutputICCProfile() const { return outputICC_.get(); }
  TIEICC* DefaultICCProfile() const { return defaultICC_.get(); }
  // The profile embedded in the file last read; an empty profile is created on first use.
  TIEICC* GetInputICCProfile();
  // The destination profile of colour conversion; created with the sRGB profile on first use.
  TIEICC* GetOutputICCProfile();
  // The source profile used when the file carries no valid one; created empty on first use.
  TIEICC* GetDefaultICCProfile();
  void FreeInputICCProfile();
  // The EXIF thumbnail: nil when the image has none. Readers install one with SetExifThumbnail.
  TIEBitmap* ExifThumbnail() const { return exifThumbnail_.get(); }
  void SetExifThumbnail(std::unique_ptr<TIEBitmap> Thumbnail);

  // ---- EXIF and GPS (io_params_exif.cpp) ----
  // Every field of the EXIF and GPS group to its default; also deletes the first APP1 marker of
  // JpegMarkers that holds an EXIF block, so that a following JPEG save does not write it again.
  void ResetEXIF();
  void AddExifTag(int32_t Tag);
  void RemoveExifTag(int32_t Tag);
  bool HasExifTag(int32_t Tag) const;
  // Value setters: store the value, then keep the tag in ExifTags unless the value is the absent one.
  void SetExifExposureTime(double Value);
  void SetExifFNumber(double Value);
  void SetExifExposureProgram(int32_t Value);
  void SetExifCompressedBitsPerPixel(double Value);
  void SetExifShutterSpeedValue(double Value);
  void SetExifApertureValue(double Value);
  void SetExifBrightnessValue(double Value);
  void SetExifExposureBiasValue(double Value);
  void SetExifMaxApertureValue(double Value);
  void SetExifSubjectDistance(double Value);
  void SetExifMeteringMode(int32_t Value);
  void SetExifLightSource(int32_t Value);
  void SetExifFlash(int32_t Value);
  void SetExifFocalLength(double Value);
  void SetExifColorSpace(int32_t Value);
  void SetExifPixelXDimension(int32_t Value);
  void SetExifPixelYDimension(int32_t Value);
  void SetExifFocalPlaneXResolution(double Value);
  void SetExifFocalPlaneYResolution(double Value);
  void SetExifFocalPlaneResolutionUnit(int32_t Value);
  void SetExifExposureIndex(double Value);
  void SetExifSensingMethod(int32_t Value);
  void SetExifFileSource(int32_t Value);
  void SetExifSceneType(int32_t Value);
  // Indexed accessors of the EXIF arrays. They touch that entry only (ExifTags stays); an index
  // outside the array reads the absent value (0 for the ISO ratings, -1 for the others) and a write
  // outside it is ignored.
  int32_t GetExifISOSpeedRatings(int32_t Index) const;
  void SetExifISOSpeedRatings(int32_t Index, int32_t Value);
  double GetExifWhitePoint(int32_t Index) const;
  void SetExifWhitePoint(int32_t Index, double Value);
  double GetExifPrimaryChromaticities(int32_t Index) const;
  void SetExifPrimaryChromaticities(int32_t Index, double Value);
  double GetExifYCbCrCoefficients(int32_t Index) const;
  void SetExifYCbCrCoefficients(int32_t Index, double Value);
  double GetExifReferenceBlackWhite(int32_t Index) const;
  void SetExifReferenceBlackWhite(int32_t Index, double Value);
  // SetDpiX with the value rounded to the nearest integer, then ExifXResolution := the exact value.
  void SetExifXResolution(double Value);
  void SetExifYResolution(double Value);

 private:
  // Gives the owner's attached image view the resolution of one axis (nothing without one); from the
  // owner's I/O worker it reaches the view on the user-interface thread.
  void ForwardDpiToView(bool Horizontal, int32_t Value);

  TZodazUrIO* owner_;
  std::unique_ptr<TIERGB[]> colorMap_;
  std::unique_ptr<TIEImagingAnnot> imagingAnnot_;
  std::unique_ptr<TIEICC> inputICC_;
  std::unique_ptr<TIEICC> outputICC_;
  std::unique_ptr<TIEICC> defaultICC_;
  std::unique_ptr<TIEBitmap> exifThumbnail_;
};
