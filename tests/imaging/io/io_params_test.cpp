#include "imaging/io/io_params.h"

#include <gtest/gtest.h>

#include <ctime>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_icc.h"
#include "imaging/core/ie_imaging_annot.h"
#include "imaging/io/lzw_hooks.h"
#include "imaging/io/zodazur_io.h"
#include "platform/gdi/bitmap.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

template <class T>
struct Field {
  const char* name;
  T TIOParamsFields::*member;
  T defaultValue;
};

const Field<int32_t> kIntFields[] = {
    {"BitsPerSample", &TIOParamsFields::BitsPerSample, 8},
    {"SamplesPerPixel", &TIOParamsFields::SamplesPerPixel, 3},
    {"FileType", &TIOParamsFields::FileType, 0},
    {"ImageIndex", &TIOParamsFields::ImageIndex, 0},
    {"ImageCount", &TIOParamsFields::ImageCount, 0},
    {"OriginalWidth", &TIOParamsFields::OriginalWidth, 0},
    {"TiffImageIndex", &TIOParamsFields::TiffImageIndex, 0},
    {"TiffSubIndex", &TIOParamsFields::TiffSubIndex, -1},
    {"TiffPlanarConf", &TIOParamsFields::TiffPlanarConf, 1},
    {"TiffGetTile", &TIOParamsFields::TiffGetTile, -1},
    {"TiffPageNumber", &TIOParamsFields::TiffPageNumber, -1},
    {"TiffPageCount", &TIOParamsFields::TiffPageCount, -1},
    {"TiffOrientation", &TIOParamsFields::TiffOrientation, 1},
    {"TiffJpegQuality", &TIOParamsFields::TiffJpegQuality, 80},
    {"TiffZipCompression", &TIOParamsFields::TiffZipCompression, 1},
    {"TiffFillOrder", &TIOParamsFields::TiffFillOrder, 1},
    {"DcxImageIndex", &TIOParamsFields::DcxImageIndex, 0},
    {"GifImageIndex", &TIOParamsFields::GifImageIndex, 0},
    {"GifDelayTime", &TIOParamsFields::GifDelayTime, 0},
    {"GifWinWidth", &TIOParamsFields::GifWinWidth, 0},
    {"JpegQuality", &TIOParamsFields::JpegQuality, 80},
    {"JpegScaleUsed", &TIOParamsFields::JpegScaleUsed, 1},
    {"PcxVersion", &TIOParamsFields::PcxVersion, 5},
    {"IcoImageIndex", &TIOParamsFields::IcoImageIndex, 0},
    {"CurImageIndex", &TIOParamsFields::CurImageIndex, 0},
    {"CurXHotSpot", &TIOParamsFields::CurXHotSpot, 0},
    {"CurYHotSpot", &TIOParamsFields::CurYHotSpot, 0},
    {"PngCompression", &TIOParamsFields::PngCompression, 5},
    {"TgaXPos", &TIOParamsFields::TgaXPos, 0},
    {"ExifOrientation", &TIOParamsFields::ExifOrientation, 0},  // TiffOrientation stays 1
    {"ExifExposureProgram", &TIOParamsFields::ExifExposureProgram, -1},
    {"ExifPixelXDimension", &TIOParamsFields::ExifPixelXDimension, 0},
    {"ExifRating", &TIOParamsFields::ExifRating, -1},
    {"AviFrameCount", &TIOParamsFields::AviFrameCount, 0},
    {"PsPaperWidth", &TIOParamsFields::PsPaperWidth, 595},
    {"PsPaperHeight", &TIOParamsFields::PsPaperHeight, 842},
    {"PdfPaperWidth", &TIOParamsFields::PdfPaperWidth, 595},
    {"PdfPaperHeight", &TIOParamsFields::PdfPaperHeight, 842},
    {"RawBitmapRowAlign", &TIOParamsFields::RawBitmapRowAlign, 8},
    {"RawBitmapHeaderSize", &TIOParamsFields::RawBitmapHeaderSize, 0},
};

const Field<uint8_t> kByteFields[] = {
    {"TiffCompression", &TIOParamsFields::TiffCompression, 0},
    {"TiffPhotometInterpret", &TIOParamsFields::TiffPhotometInterpret, 2},
    {"TiffJpegColorSpace", &TIOParamsFields::TiffJpegColorSpace, 2},
    {"GifAction", &TIOParamsFields::GifAction, 2},
    {"JpegColorSpace", &TIOParamsFields::JpegColorSpace, 2},
    {"JpegDCTMethod", &TIOParamsFields::JpegDCTMethod, 0},
    {"JpegChromaSubsampling", &TIOParamsFields::JpegChromaSubsampling, 1},
    {"JpegScale", &TIOParamsFields::JpegScale, 1},
    {"J2000ColorSpace", &TIOParamsFields::J2000ColorSpace, 1},
    {"PcxCompression", &TIOParamsFields::PcxCompression, 1},
    {"BmpVersion", &TIOParamsFields::BmpVersion, 1},
    {"BmpCompression", &TIOParamsFields::BmpCompression, 0},
    {"PngFilter", &TIOParamsFields::PngFilter, 0},
    {"PsCompression", &TIOParamsFields::PsCompression, 1},
    {"PdfCompression", &TIOParamsFields::PdfCompression, 2},
    {"RawBitmapDataFormat", &TIOParamsFields::RawBitmapDataFormat, 0},
};

const Field<bool> kBoolFields[] = {
    {"GetThumbnail", &TIOParamsFields::GetThumbnail, false},
    {"IsResource", &TIOParamsFields::IsResource, false},
    {"TiffByteOrderIntel", &TIOParamsFields::TiffByteOrderIntel, true},
    {"GifInterlaced", &TIOParamsFields::GifInterlaced, false},
    {"JpegProgressive", &TIOParamsFields::JpegProgressive, false},
    {"BmpUseAlpha", &TIOParamsFields::BmpUseAlpha, false},
    {"TgaCompressed", &TIOParamsFields::TgaCompressed, true},
    {"HasExifData", &TIOParamsFields::HasExifData, false},
    {"RawQuickInterpolate", &TIOParamsFields::RawQuickInterpolate, true},
    {"PsdLoadLayers", &TIOParamsFields::PsdLoadLayers, false},
    {"PsdReplaceLayers", &TIOParamsFields::PsdReplaceLayers, true},
    {"HdpLossless", &TIOParamsFields::HdpLossless, false},
    {"IsNativePixelFormat", &TIOParamsFields::IsNativePixelFormat, false},
};

const Field<double> kDoubleFields[] = {
    {"J2000Rate", &TIOParamsFields::J2000Rate, 1.0},
    {"TgaAspectRatio", &TIOParamsFields::TgaAspectRatio, 1.0},
    {"TgaGamma", &TIOParamsFields::TgaGamma, 2.2},
    {"ExifXResolution", &TIOParamsFields::ExifXResolution, 0},
    {"ExifExposureTime", &TIOParamsFields::ExifExposureTime, -1},
    {"ExifCompressedBitsPerPixel", &TIOParamsFields::ExifCompressedBitsPerPixel, 0},
    {"ExifBrightnessValue", &TIOParamsFields::ExifBrightnessValue, -1000},
    {"ExifExposureBiasValue", &TIOParamsFields::ExifExposureBiasValue, -1000},
    {"ExifMaxApertureValue", &TIOParamsFields::ExifMaxApertureValue, -1000},
    {"ExifDigitalZoomRatio", &TIOParamsFields::ExifDigitalZoomRatio, -1},
    {"GpsAltitude", &TIOParamsFields::GpsAltitude, 0},
    {"RawGamma", &TIOParamsFields::RawGamma, 0.6},
    {"RawBright", &TIOParamsFields::RawBright, 1.0},
    {"HdpImageQuality", &TIOParamsFields::HdpImageQuality, 0.9},
};

const Field<std::string> kStringFields[] = {
    {"FileName", &TIOParamsFields::FileName, ""},
    {"GifVersion", &TIOParamsFields::GifVersion, "GIF89a"},
    {"PsTitle", &TIOParamsFields::PsTitle, "No Title"},
    {"PdfTitle", &TIOParamsFields::PdfTitle, ""},
    {"XmpInfo", &TIOParamsFields::XmpInfo, ""},
    {"ExifMake", &TIOParamsFields::ExifMake, ""},
    {"GpsLatitudeRef", &TIOParamsFields::GpsLatitudeRef, ""},
};

// Every field of the tables to a value other than its default.
void Scramble(TIOParamsVals& p) {
  int32_t n = 1000;
  for (const auto& f : kIntFields) p.*f.member = n++;
  uint8_t b = 50;
  for (const auto& f : kByteFields) p.*f.member = b++;
  for (const auto& f : kBoolFields) p.*f.member = !f.defaultValue;
  double d = 7.25;
  for (const auto& f : kDoubleFields) p.*f.member = d++;
  for (const auto& f : kStringFields) p.*f.member = std::string("x-") + f.name;
}

double TodayAsDate() {
  const std::time_t now = std::time(nullptr);
  return std::floor(static_cast<double>(now) / 86400.0) + 25569;  // close enough: checked to within a day
}

std::vector<uint8_t> ExifPayload(uint8_t tag) { return {'E', 'x', 'i', 'f', 0, 0, tag}; }

TEST(IOParams, DefaultsOfARecordWithoutOwner) {
  TIOParamsVals p(nullptr);
  for (const auto& f : kIntFields) EXPECT_EQ(p.*f.member, f.defaultValue) << f.name;
  for (const auto& f : kByteFields) EXPECT_EQ(p.*f.member, f.defaultValue) << f.name;
  for (const auto& f : kBoolFields) EXPECT_EQ(p.*f.member, f.defaultValue) << f.name;
  for (const auto& f : kDoubleFields) EXPECT_DOUBLE_EQ(p.*f.member, f.defaultValue) << f.name;
  for (const auto& f : kStringFields) EXPECT_EQ(p.*f.member, f.defaultValue) << f.name;
  // Without owner the geometry and resolution are not reset: they start at 0.
  EXPECT_EQ(p.Width, 0);
  EXPECT_EQ(p.Height, 0);
  EXPECT_EQ(p.DpiX, 0);
  EXPECT_EQ(p.DpiY, 0);
  EXPECT_EQ(p.IcoSizes[0], (TIOICOSize{64, 64}));
  EXPECT_EQ(p.IcoSizes[1], (TIOICOSize{0, 0}));
  EXPECT_EQ(p.IcoBitCounts[0], 8);
  EXPECT_EQ(p.IcoBitCounts[15], 0);
  EXPECT_EQ(p.ExifWhitePoint[1], -1);
  EXPECT_EQ(p.ExifISOSpeedRatings[0], 0);
  EXPECT_EQ(p.ColorMap(), nullptr);
  EXPECT_EQ(p.ImagingAnnot(), nullptr);
  EXPECT_EQ(p.InputICCProfile(), nullptr);
  EXPECT_EQ(p.ExifThumbnail(), nullptr);
  EXPECT_NEAR(p.TgaDate, TodayAsDate(), 1.0);
  EXPECT_EQ(std::floor(p.TgaDate), p.TgaDate);
}

TEST(IOParams, SetDefaultParamsKeepsTheMediaFramesAndWarningsAndCopiesTheHooks) {
  TIOParamsVals p(nullptr);
  Scramble(p);
  p.MediaFileFrameCount = 12;
  p.MediaFileFrameDelayTime = 40;
  p.JpegWarningCount = 3;
  p.JpegWarningCode = 99;
  p.Width = 33;
  p.DpiX = 72;
  p.GifComments.push_back("hello");
  p.JpegMarkers.AddMarker(0xE0, "JFIF", 4);
  p.GetImagingAnnot();
  p.GetInputICCProfile();
  p.SetExifThumbnail(std::make_unique<TIEBitmap>(2, 2, ie24RGB));
  const TIERGB map[2] = {{1, 2, 3}, {4, 5, 6}};
  p.SetColorMap(map, 2);

  const auto savedHook = GIFLZWDecodeHook.load();
  auto fakeDecoder = +[](TStream&, int32_t, int32_t, bool, uint8_t*) {};
  GIFLZWDecodeHook = fakeDecoder;
  p.SetDefaultParams();
  GIFLZWDecodeHook = savedHook;

  for (const auto& f : kIntFields) EXPECT_EQ(p.*f.member, f.defaultValue) << f.name;
  for (const auto& f : kStringFields) EXPECT_EQ(p.*f.member, f.defaultValue) << f.name;
  EXPECT_EQ(p.MediaFileFrameCount, 12);
  EXPECT_EQ(p.MediaFileFrameDelayTime, 40);
  EXPECT_EQ(p.JpegWarningCount, 3);
  EXPECT_EQ(p.JpegWarningCode, 99);
  EXPECT_EQ(p.Width, 33);  // no owner: not reset
  EXPECT_EQ(p.DpiX, 72);
  EXPECT_TRUE(p.GifComments.empty());
  EXPECT_EQ(p.JpegMarkers.GetCount(), 0);
  EXPECT_EQ(p.ImagingAnnot(), nullptr);
  EXPECT_EQ(p.InputICCProfile(), nullptr);
  EXPECT_EQ(p.ExifThumbnail(), nullptr);
  EXPECT_EQ(p.ColorMap(), nullptr);
  EXPECT_EQ(p.ColorMapCount, 0);
  EXPECT_EQ(p.GifLZWDecompressor, fakeDecoder);
  // ResetEXIF leaves ExifOrientation 0 while TiffOrientation is 1.
  EXPECT_EQ(p.TiffOrientation, 1);
  EXPECT_EQ(p.ExifOrientation, 0);
}

TEST(IOParams, ResetInfoClearsMetadataAndKeepsOptions) {
  TIOParamsVals p(nullptr);
  p.JpegQuality = 33;
  p.TiffImageIndex = 2;
  p.Width = 10;
  p.TiffDocumentName = "doc";
  p.TgaAuthor = "me";
  p.XmpInfo = "<x/>";
  p.PngTextKeys = {"k"};
  p.PngTextValues = {"v"};
  p.PxmComments = {"# c"};
  p.IPTC.AddData(2, 5, "t", 1);
  p.DicomTags.AddTag(8, 16, "CS", "AB", 2);
  p.ExifMake = "maker";
  p.GetImagingAnnot()->AddObject();
  p.GetInputICCProfile();
  p.GetOutputICCProfile();
  p.ResetInfo();
  EXPECT_EQ(p.JpegQuality, 33);
  EXPECT_EQ(p.TiffImageIndex, 2);
  EXPECT_EQ(p.Width, 10);
  EXPECT_EQ(p.TiffDocumentName, "");
  EXPECT_EQ(p.TgaAuthor, "");
  EXPECT_EQ(p.XmpInfo, "");
  EXPECT_TRUE(p.PngTextKeys.empty());
  EXPECT_TRUE(p.PngTextValues.empty());
  EXPECT_TRUE(p.PxmComments.empty());
  EXPECT_EQ(p.IPTC.GetCount(), 0);
  EXPECT_EQ(p.DicomTags.GetCount(), 0);
  EXPECT_EQ(p.ExifMake, "");
  EXPECT_EQ(p.ImagingAnnot(), nullptr);
  EXPECT_EQ(p.InputICCProfile(), nullptr);
  EXPECT_NE(p.OutputICCProfile(), nullptr);  // an option, not information of the file
}

TEST(IOParams, AssignCopiesEveryFieldAndEachFormatsOwnIndex) {
  TIOParamsVals source(nullptr), dest(nullptr);
  Scramble(source);
  // Each format's page index differs: every one is copied as it is.
  source.TiffImageIndex = 1;
  source.GifImageIndex = 2;
  source.DcxImageIndex = 3;
  source.IcoImageIndex = 4;
  source.CurImageIndex = 5;
  source.ImageIndex = 6;
  source.Width = 640;
  source.Height = 480;
  source.DpiX = 150;
  source.DpiY = 75;
  source.GetThumbnail = true;
  source.JpegGetExifThumbnail = false;
  source.MediaFileFrameCount = 77;
  source.JpegWarningCount = 8;
  dest.MediaFileFrameCount = 5;
  dest.JpegWarningCount = 1;
  source.GifComments = {"a", "b"};
  source.ExifWhitePoint = {0.3, 0.4};
  source.GpsLatitude = {1, 2, 3};
  source.IcoSizes[1] = {32, 32};

  dest.Assign(source);
  for (const auto& f : kIntFields) EXPECT_EQ(dest.*f.member, source.*f.member) << f.name;
  for (const auto& f : kByteFields) EXPECT_EQ(dest.*f.member, source.*f.member) << f.name;
  for (const auto& f : kBoolFields) EXPECT_EQ(dest.*f.member, source.*f.member) << f.name;
  for (const auto& f : kDoubleFields) EXPECT_EQ(dest.*f.member, source.*f.member) << f.name;
  for (const auto& f : kStringFields) EXPECT_EQ(dest.*f.member, source.*f.member) << f.name;
  EXPECT_EQ(dest.TiffImageIndex, 1);
  EXPECT_EQ(dest.GifImageIndex, 2);
  EXPECT_EQ(dest.DcxImageIndex, 3);
  EXPECT_EQ(dest.IcoImageIndex, 4);
  EXPECT_EQ(dest.CurImageIndex, 5);
  EXPECT_EQ(dest.ImageIndex, 6);
  EXPECT_TRUE(dest.GetThumbnail);
  EXPECT_FALSE(dest.JpegGetExifThumbnail);
  EXPECT_EQ(dest.Width, 640);
  EXPECT_EQ(dest.DpiY, 75);
  EXPECT_EQ(dest.GifComments, source.GifComments);
  EXPECT_EQ(dest.ExifWhitePoint, source.ExifWhitePoint);
  EXPECT_EQ(dest.GpsLatitude, source.GpsLatitude);
  EXPECT_EQ(dest.IcoSizes[1], (TIOICOSize{32, 32}));
  // Not copied.
  EXPECT_EQ(dest.MediaFileFrameCount, 5);
  EXPECT_EQ(dest.JpegWarningCount, 1);
}

TEST(IOParams, AssignCopiesOwnedObjectsDeeply) {
  auto source = std::make_unique<TIOParamsVals>(nullptr);
  TIOParamsVals dest(nullptr);
  TIERGB map[16];
  for (int i = 0; i < 16; ++i) map[i] = TIERGB{static_cast<uint8_t>(i), 0, 0};
  source->SetColorMap(map, 16);
  source->JpegMarkers.AddMarker(0xE1, "abc", 3);
  source->IPTC.AddData(2, 120, "caption", 7);
  source->DicomTags.AddTag(0x10, 0x10, "PN", "Doe", 3);
  source->AddExifTag(271);
  source->GetImagingAnnot()->AddObject()->Text = "note";
  source->GetInputICCProfile()->LoadSRGBProfile();
  auto thumbnail = std::make_unique<TIEBitmap>(3, 2, ie24RGB);
  thumbnail->Fill(clRed);
  source->SetExifThumbnail(std::move(thumbnail));

  dest.Assign(*source);
  source.reset();  // the copy stands on its own
  ASSERT_EQ(dest.ColorMapCount, 16);
  EXPECT_EQ(dest.ColorMap()[15].b, 15);
  EXPECT_EQ(dest.JpegMarkers.GetCount(), 1);
  EXPECT_EQ(dest.IPTC.GetCount(), 1);
  ASSERT_EQ(dest.DicomTags.GetCount(), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(dest.DicomTags.GetTag(0)->Value()), 3), "Doe");
  EXPECT_TRUE(dest.HasExifTag(271));
  ASSERT_NE(dest.ImagingAnnot(), nullptr);
  EXPECT_EQ(dest.ImagingAnnot()->Objects(0)->Text, "note");
  EXPECT_EQ(dest.ImagingAnnot()->Parent(), &dest);
  ASSERT_NE(dest.InputICCProfile(), nullptr);
  EXPECT_TRUE(dest.InputICCProfile()->IsValid());
  ASSERT_NE(dest.ExifThumbnail(), nullptr);
  EXPECT_EQ(dest.ExifThumbnail()->Width(), 3);
  EXPECT_EQ(dest.ExifThumbnail()->GetPixel24(1, 1), CreateRGB(255, 0, 0));
}

TEST(IOParams, AssignFromARecordWithoutObjectsFreesTheDestinationsOnes) {
  TIOParamsVals source(nullptr), dest(nullptr);
  dest.GetInputICCProfile();
  dest.GetOutputICCProfile();
  dest.GetDefaultICCProfile();
  dest.GetImagingAnnot();
  dest.SetExifThumbnail(std::make_unique<TIEBitmap>(2, 2, ie24RGB));
  const TIERGB map[1] = {{9, 9, 9}};
  dest.SetColorMap(map, 1);
  dest.Assign(source);
  EXPECT_EQ(dest.InputICCProfile(), nullptr);
  EXPECT_EQ(dest.OutputICCProfile(), nullptr);
  EXPECT_EQ(dest.DefaultICCProfile(), nullptr);
  EXPECT_EQ(dest.ImagingAnnot(), nullptr);
  // No stale thumbnail survives a copy from a record without one.
  EXPECT_EQ(dest.ExifThumbnail(), nullptr);
  EXPECT_EQ(dest.ColorMap(), nullptr);
  EXPECT_EQ(dest.ColorMapCount, 0);
}

TEST(IOParams, AssignCompressionInfoCopiesOnlyTheEncodingOptions) {
  TIOParamsVals source(nullptr), dest(nullptr);
  source.BitsPerSample = 1;
  source.TiffCompression = 5;
  source.TiffOrientation = 6;
  source.JpegQuality = 20;
  source.PngCompression = 9;
  source.PdfCompression = 4;
  source.TiffByteOrderIntel = false;
  source.Width = 99;
  source.GifImageIndex = 4;
  source.FileName = "a.tif";
  dest.AssignCompressionInfo(source);
  EXPECT_EQ(dest.BitsPerSample, 1);
  EXPECT_EQ(dest.TiffCompression, 5);
  EXPECT_EQ(dest.TiffOrientation, 6);
  EXPECT_EQ(dest.ExifOrientation, 6);
  EXPECT_EQ(dest.JpegQuality, 20);
  EXPECT_EQ(dest.PngCompression, 9);
  EXPECT_EQ(dest.PdfCompression, 4);
  EXPECT_TRUE(dest.TiffByteOrderIntel);
  EXPECT_EQ(dest.Width, 0);
  EXPECT_EQ(dest.GifImageIndex, 0);
  EXPECT_EQ(dest.FileName, "");
}

TEST(IOParams, CoupledSetters) {
  TIOParamsVals p(nullptr);
  p.SetExifOrientation(6);
  EXPECT_EQ(p.TiffOrientation, 6);
  p.SetTiffOrientation(3);
  EXPECT_EQ(p.ExifOrientation, 3);
  p.SetImageIndex(7);
  for (int32_t v : {p.ImageIndex, p.TiffImageIndex, p.DcxImageIndex, p.GifImageIndex, p.IcoImageIndex, p.CurImageIndex})
    EXPECT_EQ(v, 7);
  p.SetImageCount(9);
  for (int32_t v : {p.ImageCount, p.TiffImageCount, p.AviFrameCount, p.GifImageCount, p.MediaFileFrameCount})
    EXPECT_EQ(v, 9);
  p.SetEnableAdjustOrientation(true);
  EXPECT_TRUE(p.EnableAdjustOrientation && p.TiffEnableAdjustOrientation && p.JpegEnableAdjustOrientation);
  p.SetGetThumbnail(true);
  EXPECT_TRUE(p.GetThumbnail && p.JpegGetExifThumbnail);
  p.SetDpi(96);
  EXPECT_EQ(p.DpiX, 96);
  EXPECT_EQ(p.DpiY, 96);
  EXPECT_EQ(p.ExifXResolution, 96);
  EXPECT_EQ(p.ExifYResolution, 96);
}

TEST(IOParams, OnDemandProfilesAndAnnotations) {
  TIOParamsVals p(nullptr);
  TIEICC* out = p.GetOutputICCProfile();
  EXPECT_EQ(p.GetOutputICCProfile(), out);
  EXPECT_TRUE(out->IsValid());  // sRGB on creation
  EXPECT_FALSE(p.GetInputICCProfile()->IsValid());
  EXPECT_FALSE(p.GetDefaultICCProfile()->IsValid());
  EXPECT_EQ(p.GetImagingAnnot()->Parent(), &p);
  EXPECT_EQ(p.GetImagingAnnot(), p.ImagingAnnot());
}

// ------------------------------------------------------------------------------ EXIF and GPS

struct TaggedCase {
  const char* name;
  int32_t tag;
  std::function<void(TIOParamsVals&, double)> set;
  double absent;
};

TEST(IOParamsExif, ValueSettersKeepTheTagListInStep) {
  const TaggedCase cases[] = {
      {"ExposureTime", 33434, [](TIOParamsVals& p, double v) { p.SetExifExposureTime(v); }, -1},
      {"FNumber", 33437, [](TIOParamsVals& p, double v) { p.SetExifFNumber(v); }, -1},
      {"ExposureProgram", 34850, [](TIOParamsVals& p, double v) { p.SetExifExposureProgram(int32_t(v)); }, -1},
      {"CompressedBitsPerPixel", 37122, [](TIOParamsVals& p, double v) { p.SetExifCompressedBitsPerPixel(v); }, 0},
      {"BrightnessValue", 37379, [](TIOParamsVals& p, double v) { p.SetExifBrightnessValue(v); }, -1000},
      {"ExposureBiasValue", 37380, [](TIOParamsVals& p, double v) { p.SetExifExposureBiasValue(v); }, -1000},
      {"MaxApertureValue", 37381, [](TIOParamsVals& p, double v) { p.SetExifMaxApertureValue(v); }, -1000},
      {"Flash", 37385, [](TIOParamsVals& p, double v) { p.SetExifFlash(int32_t(v)); }, -1},
      {"ColorSpace", 40961, [](TIOParamsVals& p, double v) { p.SetExifColorSpace(int32_t(v)); }, -1},
      {"PixelXDimension", 40962, [](TIOParamsVals& p, double v) { p.SetExifPixelXDimension(int32_t(v)); }, 0},
      {"PixelYDimension", 40963, [](TIOParamsVals& p, double v) { p.SetExifPixelYDimension(int32_t(v)); }, 0},
      {"FocalPlaneResolutionUnit", 41488,
       [](TIOParamsVals& p, double v) { p.SetExifFocalPlaneResolutionUnit(int32_t(v)); }, -1},
      {"SceneType", 41729, [](TIOParamsVals& p, double v) { p.SetExifSceneType(int32_t(v)); }, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TIOParamsVals p(nullptr);
    c.set(p, 5);
    c.set(p, 6);
    EXPECT_TRUE(p.HasExifTag(c.tag));
    EXPECT_EQ(p.ExifTags.Count(), 1);  // once, however often it is set
    c.set(p, c.absent);
    EXPECT_FALSE(p.HasExifTag(c.tag));
    EXPECT_EQ(p.ExifTags.Count(), 0);
  }
  // -1 is a valid brightness: only -1000 means absent.
  TIOParamsVals p(nullptr);
  p.SetExifBrightnessValue(-1);
  EXPECT_TRUE(p.HasExifTag(37379));
}

TEST(IOParamsExif, IndexedAccessorsCheckTheirIndex) {
  TIOParamsVals p(nullptr);
  p.SetExifISOSpeedRatings(1, 400);
  p.SetExifWhitePoint(1, 0.31);
  p.SetExifPrimaryChromaticities(5, 0.06);
  p.SetExifYCbCrCoefficients(2, 0.114);
  p.SetExifReferenceBlackWhite(5, 255);
  EXPECT_EQ(p.GetExifISOSpeedRatings(1), 400);
  EXPECT_DOUBLE_EQ(p.GetExifWhitePoint(1), 0.31);
  EXPECT_DOUBLE_EQ(p.GetExifPrimaryChromaticities(5), 0.06);
  EXPECT_DOUBLE_EQ(p.GetExifYCbCrCoefficients(2), 0.114);
  EXPECT_DOUBLE_EQ(p.GetExifReferenceBlackWhite(5), 255);
  EXPECT_EQ(p.ExifTags.Count(), 0);

  // Outside the arrays: writes are ignored and reads give the absent value.
  const TIOParamsVals before(nullptr);
  for (int32_t bad : {-1, 2, 6, 1000000}) {
    p.SetExifISOSpeedRatings(bad, 1);
    p.SetExifWhitePoint(bad, 1);
    p.SetExifYCbCrCoefficients(bad + (bad == 2 ? 1 : 0), 1);
    EXPECT_EQ(p.GetExifISOSpeedRatings(bad), 0);
    EXPECT_EQ(p.GetExifWhitePoint(bad), -1);
  }
  p.SetExifPrimaryChromaticities(6, 1);
  p.SetExifReferenceBlackWhite(-3, 1);
  EXPECT_EQ(p.GetExifPrimaryChromaticities(6), -1);
  EXPECT_EQ(p.GetExifReferenceBlackWhite(6), -1);
  EXPECT_EQ(p.GetExifYCbCrCoefficients(3), -1);
  EXPECT_EQ(p.ExifISOSpeedRatings[0], 0);
  EXPECT_EQ(p.ExifWhitePoint[0], -1);
  EXPECT_EQ(p.ExifYCbCrCoefficients[0], -1);
  EXPECT_EQ(p.ExifPrimaryChromaticities[0], -1);
}

TEST(IOParamsExif, ResolutionSettersRoundIntoDpiAndKeepTheExactValue) {
  TIOParamsVals p(nullptr);
  p.SetExifXResolution(71.6);
  EXPECT_EQ(p.DpiX, 72);
  EXPECT_DOUBLE_EQ(p.ExifXResolution, 71.6);
  p.SetExifYResolution(72.5);  // halves go to the even neighbour
  EXPECT_EQ(p.DpiY, 72);
  EXPECT_DOUBLE_EQ(p.ExifYResolution, 72.5);
  // A value no resolution can have does not overflow.
  p.SetExifXResolution(1e300);
  EXPECT_EQ(p.DpiX, INT32_MAX);
  p.SetExifYResolution(std::nan(""));
  EXPECT_EQ(p.DpiY, 0);
}

TEST(IOParamsExif, ResetEXIFDeletesOnlyTheFirstExifMarker) {
  TIOParamsVals p(nullptr);
  const auto first = ExifPayload(1), second = ExifPayload(2);
  p.JpegMarkers.AddMarker(0xE0, "JFIF\0", 5);
  p.JpegMarkers.AddMarker(0xE1, "http://ns.adobe.com/xap/1.0/\0", 29);  // XMP: not EXIF
  p.JpegMarkers.AddMarker(0xE1, first.data(), static_cast<int32_t>(first.size()));
  p.JpegMarkers.AddMarker(0xE1, second.data(), static_cast<int32_t>(second.size()));
  p.HasExifData = true;
  p.ExifMake = "maker";
  p.GpsAltitude = 100;
  p.SetExifFlash(1);
  p.SetExifThumbnail(std::make_unique<TIEBitmap>(2, 2, ie24RGB));
  p.ResetEXIF();
  ASSERT_EQ(p.JpegMarkers.GetCount(), 3);
  EXPECT_EQ(p.JpegMarkers.GetMarkerData(2)[6], 2);
  EXPECT_FALSE(p.HasExifData);
  EXPECT_EQ(p.ExifMake, "");
  EXPECT_EQ(p.GpsAltitude, 0);
  EXPECT_EQ(p.ExifFlash, -1);
  EXPECT_EQ(p.ExifTags.Count(), 0);
  EXPECT_EQ(p.ExifThumbnail(), nullptr);
}

// ------------------------------------------------------------------------------- with an owner

TEST(IOParamsOwner, OwnerWithoutFrameworkBitmapGivesDefaultResolutionOnly) {
  TZodazUrIO io(nullptr);
  EXPECT_EQ(io.Params().Width, 0);
  EXPECT_EQ(io.Params().Height, 0);
  EXPECT_EQ(io.Params().DpiX, 300);
  EXPECT_EQ(io.Params().DpiY, 300);
  io.Params().IsNativePixelFormat = true;
  EXPECT_TRUE(io.NativePixelFormat());
  io.Params().SetDefaultParams();
  EXPECT_FALSE(io.NativePixelFormat());
}

TEST(IOParamsOwner, OwnerWithFrameworkBitmapGivesItsSizeAndTheViewFollowsTheResolution) {
  TBitmap framework(40, 30);
  framework.SetPixelFormat(pf24bit);
  iotest::FakeView view(nullptr, ievkImageView, false, &framework);
  TZodazUrIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  io.Params().SetDefaultParams();
  EXPECT_EQ(io.Params().Width, 40);
  EXPECT_EQ(io.Params().Height, 30);
  EXPECT_EQ(view.DpiX(), 300);
  io.Params().SetDpiX(120);
  io.Params().SetDpiY(60);
  EXPECT_EQ(view.DpiX(), 120);
  EXPECT_EQ(view.DpiY(), 60);
  EXPECT_TRUE(view.dpiSetInsideLock);
  EXPECT_EQ(view.locks, 0);
  EXPECT_EQ(view.updates, 0);  // no repaint
  io.SetAttachedZodazUr(nullptr);
}

TEST(IOParamsOwner, OnlyASingleImageViewFollowsTheResolution) {
  iotest::FakeView view(nullptr, ievkMultiView);
  TZodazUrIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  io.Params().SetDpiX(120);
  EXPECT_EQ(view.DpiX(), 0);
  io.SetAttachedZodazUr(nullptr);
}

// --------------------------------------------------------------------- annotations, DICOM tags

TEST(IOParamsObjects, DicomTagsAddAndAssign) {
  TIEDICOMTags tags;
  EXPECT_EQ(tags.AddTag(0x28, 0x10, "US", "\x02\x00", 2), 0);
  EXPECT_EQ(tags.AddTag(0x28, 0x11, "U", "x", -1), 1);  // one-character VR and negative length
  EXPECT_EQ(tags.AddTag(0x10, 0x10, "PN", "", 0), 2);
  ASSERT_EQ(tags.GetCount(), 3);
  EXPECT_EQ(tags.GetTag(0)->VR[0], 'U');
  EXPECT_EQ(tags.GetTag(0)->Length, 2);
  EXPECT_EQ(tags.GetTag(0)->Value()[2], 0);  // terminating zero after the value
  EXPECT_EQ(tags.GetTag(1)->VR[0], 0);
  EXPECT_EQ(tags.GetTag(1)->Length, 0);
  EXPECT_EQ(tags.GetTag(1)->Value(), nullptr);
  EXPECT_EQ(tags.GetTag(3), nullptr);
  EXPECT_EQ(tags.IndexOf(0x10, 0x10), 2);
  TIEDICOMTags copy;
  copy.AddTag(1, 1, "", nullptr, 0);
  copy.Assign(&tags);
  ASSERT_EQ(copy.GetCount(), 3);
  EXPECT_EQ(copy.GetTag(2)->Value(), nullptr);
  EXPECT_EQ(copy.GetTag(0)->Value()[0], 2);
  copy.Clear();
  EXPECT_EQ(copy.GetCount(), 0);
}

TEST(IOParamsObjects, AnnotationsAssignCopiesPointsTextAndImage) {
  TIEImagingAnnot source;
  TIEImagingObject* line = source.AddObject();
  line->Attributes[0] = 4;
  line->Points = {{1, 2}, {3, 4}};
  TIEImagingObject* picture = source.AddObject();
  picture->Attributes[0] = 1;
  picture->Image = std::make_unique<TIEBitmap>(2, 2, ie8g);
  picture->Image->Fill(77);
  TIEImagingAnnot copy;
  copy.AddObject();
  copy.Assign(&source);
  ASSERT_EQ(copy.ObjectCount(), 2);
  EXPECT_EQ(copy.Objects(0)->MarkType(), 4u);
  EXPECT_EQ(copy.Objects(0)->Points.size(), 2u);
  ASSERT_NE(copy.Objects(1)->Image, nullptr);
  EXPECT_NE(copy.Objects(1)->Image.get(), picture->Image.get());
  EXPECT_EQ(copy.Objects(1)->Image->GetPixel8(1, 1), 77);
  EXPECT_EQ(copy.Objects(2), nullptr);
  copy.Clear();
  EXPECT_EQ(copy.ObjectCount(), 0);
}

}  // namespace
