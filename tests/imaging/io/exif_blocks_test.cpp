// EXIF and XMP blocks: the block round trip of every field, exiftool as the independent reader and
// writer of EXIF in JPEG files, the JPEG thumbnail shortcut, orientation and resolution from EXIF,
// blocks too big for a marker, XMP packets, the TIFF header finder, camera-raw previews and the
// transfer of EXIF tags into a TIFF.
#include "imaging/io/exif_blocks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_tiff_handler.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/lzw_hooks.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/jpeg_fixture.h"
#include "tests/support/byte_builder.h"
#include "tests/support/test_support.h"

namespace {

using jpegtest::Bytes;

Bytes FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& name, const Bytes& data) {
  std::ofstream(name, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << command << "\n" << out;
  }
  return out;
}

// exiftool's values of the tags ("TAG#" for the number rather than its text), in one run: "-" for a
// tag the file does not have.
std::vector<std::string> ExifTools(const std::string& file, const std::vector<std::string>& tags) {
  std::string command = "exiftool -s3 -f";
  for (const std::string& t : tags) command += " '-" + t + "'";
  std::istringstream out(Shell(command + " '" + file + "'"));
  std::vector<std::string> values;
  std::string line;
  while (std::getline(out, line)) values.push_back(line);
  values.resize(tags.size());
  return values;
}
std::string ExifTool(const std::string& file, const std::string& tag) {
  return ExifTools(file, std::vector<std::string>{tag})[0];
}

// A record with every kind of EXIF and GPS field set.
void FillExif(TIOParamsVals& p) {
  p.HasExifData = true;
  p.ExifImageDescription = "A test picture";
  p.ExifMake = "Brimvale Camera Co";
  p.ExifModel = "BV-1";
  p.ExifSoftware = "Brimvale";
  p.ExifArtist = "Tester";
  p.ExifDateTime = "2024:05:06 07:08:09";
  p.ExifCopyright = "(c) nobody";
  p.SetTiffOrientation(6);
  p.SetExifXResolution(240);
  p.SetExifYResolution(180);
  p.ExifRating = 4;
  p.ExifXPTitle = "Titel \xc3\xa4\xc3\xb6";  // "Titel äö"
  p.ExifXPComment = "comment";
  p.ExifXPAuthor = "author";
  p.ExifXPKeywords = "a;b";
  p.ExifXPSubject = "subject";
  p.SetExifWhitePoint(0, 0.3127);
  p.SetExifWhitePoint(1, 0.329);
  p.ExifYCbCrPositioning = 2;
  p.SetExifExposureTime(1.0 / 250);
  p.SetExifFNumber(5.6);
  p.SetExifExposureProgram(2);
  p.SetExifISOSpeedRatings(0, 400);
  p.ExifVersion = "0230";
  p.ExifDateTimeOriginal = "2024:05:06 07:08:00";
  p.ExifDateTimeDigitized = "2024:05:06 07:08:01";
  p.SetExifShutterSpeedValue(7.97);
  p.SetExifApertureValue(4.97);
  p.SetExifBrightnessValue(-1.25);
  p.SetExifExposureBiasValue(-0.7);
  p.SetExifMaxApertureValue(3.0);
  p.SetExifSubjectDistance(2.5);
  p.SetExifMeteringMode(5);
  p.SetExifLightSource(1);
  p.SetExifFlash(16);
  p.SetExifFocalLength(35);
  p.ExifSubsecTime = "12";
  p.ExifFlashPixVersion = "0100";
  p.SetExifColorSpace(1);
  p.SetExifPixelXDimension(40);
  p.SetExifPixelYDimension(24);
  p.SetExifFocalPlaneXResolution(4000);
  p.SetExifFocalPlaneYResolution(4000);
  p.SetExifFocalPlaneResolutionUnit(2);
  p.SetExifSensingMethod(2);
  p.SetExifFileSource(3);
  p.SetExifSceneType(1);
  p.ExifExposureMode = 0;
  p.ExifWhiteBalance = 1;
  p.ExifDigitalZoomRatio = 1.5;
  p.ExifFocalLengthIn35mmFilm = 52;
  p.ExifSceneCaptureType = 2;
  p.ExifContrast = 1;
  p.ExifImageUniqueID = "0123456789abcdef";
  p.ExifUserCommentCode = std::string("UNICODE\0", 8);
  p.ExifUserComment = "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac";  // "Grüße €"
  p.GpsVersionID = "2.2.0.0";
  p.GpsLatitudeRef = "N";
  p.GpsLatitude = {47, 22, 30.5};
  p.GpsLongitudeRef = "E";
  p.GpsLongitude = {8, 32, 15.25};
  p.GpsAltitudeRef = "0";
  p.GpsAltitude = 408.5;
  p.GpsTimeStamp = {10, 20, 30};
  p.GpsMapDatum = "WGS-84";
  p.GpsDestLatitudeRef = "S";
  p.GpsDestLongitudeRef = "W";
  p.GpsDateStamp = "2024:05:06";
}

void ExpectSameExif(const TIOParamsVals& a, const TIOParamsVals& b) {
  EXPECT_EQ(b.ExifImageDescription, a.ExifImageDescription);
  EXPECT_EQ(b.ExifMake, a.ExifMake);
  EXPECT_EQ(b.ExifModel, a.ExifModel);
  EXPECT_EQ(b.ExifSoftware, a.ExifSoftware);
  EXPECT_EQ(b.ExifArtist, a.ExifArtist);
  EXPECT_EQ(b.ExifDateTime, a.ExifDateTime);
  EXPECT_EQ(b.ExifCopyright, a.ExifCopyright);
  EXPECT_EQ(b.ExifOrientation, a.ExifOrientation);
  EXPECT_NEAR(b.ExifXResolution, a.ExifXResolution, 1e-6);
  EXPECT_NEAR(b.ExifYResolution, a.ExifYResolution, 1e-6);
  EXPECT_EQ(b.ExifRating, a.ExifRating);
  EXPECT_EQ(b.ExifXPTitle, a.ExifXPTitle);
  EXPECT_EQ(b.ExifXPComment, a.ExifXPComment);
  EXPECT_EQ(b.ExifXPAuthor, a.ExifXPAuthor);
  EXPECT_EQ(b.ExifXPKeywords, a.ExifXPKeywords);
  EXPECT_EQ(b.ExifXPSubject, a.ExifXPSubject);
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(b.ExifWhitePoint[i], a.ExifWhitePoint[i], 1e-6);
  EXPECT_EQ(b.ExifYCbCrPositioning, a.ExifYCbCrPositioning);
  EXPECT_NEAR(b.ExifExposureTime, a.ExifExposureTime, 1e-9);
  EXPECT_NEAR(b.ExifFNumber, a.ExifFNumber, 1e-6);
  EXPECT_EQ(b.ExifExposureProgram, a.ExifExposureProgram);
  EXPECT_EQ(b.ExifISOSpeedRatings, a.ExifISOSpeedRatings);
  EXPECT_EQ(b.ExifVersion, a.ExifVersion);
  EXPECT_EQ(b.ExifDateTimeOriginal, a.ExifDateTimeOriginal);
  EXPECT_EQ(b.ExifDateTimeDigitized, a.ExifDateTimeDigitized);
  EXPECT_NEAR(b.ExifShutterSpeedValue, a.ExifShutterSpeedValue, 1e-6);
  EXPECT_NEAR(b.ExifApertureValue, a.ExifApertureValue, 1e-6);
  // Signed rationals come back signed.
  EXPECT_NEAR(b.ExifBrightnessValue, a.ExifBrightnessValue, 1e-6);
  EXPECT_NEAR(b.ExifExposureBiasValue, a.ExifExposureBiasValue, 1e-6);
  EXPECT_NEAR(b.ExifMaxApertureValue, a.ExifMaxApertureValue, 1e-6);
  EXPECT_NEAR(b.ExifSubjectDistance, a.ExifSubjectDistance, 1e-6);
  EXPECT_EQ(b.ExifMeteringMode, a.ExifMeteringMode);
  EXPECT_EQ(b.ExifLightSource, a.ExifLightSource);
  EXPECT_EQ(b.ExifFlash, a.ExifFlash);
  EXPECT_NEAR(b.ExifFocalLength, a.ExifFocalLength, 1e-6);
  EXPECT_EQ(b.ExifSubsecTime, a.ExifSubsecTime);
  EXPECT_EQ(b.ExifFlashPixVersion, a.ExifFlashPixVersion);
  EXPECT_EQ(b.ExifColorSpace, a.ExifColorSpace);
  EXPECT_EQ(b.ExifPixelXDimension, a.ExifPixelXDimension);
  EXPECT_EQ(b.ExifPixelYDimension, a.ExifPixelYDimension);
  EXPECT_NEAR(b.ExifFocalPlaneXResolution, a.ExifFocalPlaneXResolution, 1e-6);
  EXPECT_EQ(b.ExifFocalPlaneResolutionUnit, a.ExifFocalPlaneResolutionUnit);
  EXPECT_EQ(b.ExifSensingMethod, a.ExifSensingMethod);
  EXPECT_EQ(b.ExifFileSource, a.ExifFileSource);
  EXPECT_EQ(b.ExifSceneType, a.ExifSceneType);
  EXPECT_EQ(b.ExifExposureMode, a.ExifExposureMode);
  EXPECT_EQ(b.ExifWhiteBalance, a.ExifWhiteBalance);
  EXPECT_NEAR(b.ExifDigitalZoomRatio, a.ExifDigitalZoomRatio, 1e-6);
  EXPECT_EQ(b.ExifFocalLengthIn35mmFilm, a.ExifFocalLengthIn35mmFilm);
  EXPECT_EQ(b.ExifSceneCaptureType, a.ExifSceneCaptureType);
  EXPECT_EQ(b.ExifContrast, a.ExifContrast);
  EXPECT_EQ(b.ExifImageUniqueID, a.ExifImageUniqueID);
  EXPECT_EQ(b.ExifUserCommentCode, a.ExifUserCommentCode);
  EXPECT_EQ(b.ExifUserComment, a.ExifUserComment);
  EXPECT_EQ(b.ExifMakerNote.RawSize() > 0, a.ExifMakerNote.RawSize() > 0);
  EXPECT_EQ(b.ExifMakerNote.EntryCount(), a.ExifMakerNote.EntryCount());
  EXPECT_EQ(b.GpsVersionID, a.GpsVersionID);
  EXPECT_EQ(b.GpsLatitudeRef, a.GpsLatitudeRef);
  EXPECT_EQ(b.GpsLongitudeRef, a.GpsLongitudeRef);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(b.GpsLatitude[i], a.GpsLatitude[i], 1e-6);
    EXPECT_NEAR(b.GpsLongitude[i], a.GpsLongitude[i], 1e-6);
    EXPECT_NEAR(b.GpsTimeStamp[i], a.GpsTimeStamp[i], 1e-6);
  }
  EXPECT_EQ(b.GpsAltitudeRef, a.GpsAltitudeRef);
  EXPECT_NEAR(b.GpsAltitude, a.GpsAltitude, 1e-6);
  EXPECT_EQ(b.GpsMapDatum, a.GpsMapDatum);
  EXPECT_EQ(b.GpsDestLatitudeRef, a.GpsDestLatitudeRef);
  EXPECT_EQ(b.GpsDestLongitudeRef, a.GpsDestLongitudeRef);
  EXPECT_EQ(b.GpsDateStamp, a.GpsDateStamp);
}

// A Fujifilm-style maker note (signature, then a directory whose offsets count from the note).
std::vector<uint8_t> FujiNote() {
  testsupport::ByteBuilder b(false);
  b.Raw("FUJIFILM").U32(12);
  b.U16(2);
  b.U16(0x0000).U16(7).U32(4).Raw("0130");
  b.U16(0x1000).U16(2).U32(8).U32(12 + 2 + 24 + 4);
  b.U32(0);
  b.Raw(std::string("NORMAL \0", 8));
  return b.Bytes();
}

void SetMakerNote(TIOParamsVals& p) {
  const auto note = FujiNote();
  TMemoryStream s;
  s.WriteBuffer(note.data(), static_cast<int32_t>(note.size()));
  s.Seek(0, soBeginning);
  p.ExifMakerNote.ReadFromStream(s, static_cast<int32_t>(note.size()), true);
}

int32_t PagesOfBlock(const std::vector<uint8_t>& block) {
  TMemoryStream s;
  s.WriteBuffer(block.data() + 6, static_cast<int32_t>(block.size() - 6));
  s.Seek(0, soBeginning);
  return CountTIFFStreamPages(s);
}

class ExifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeZodazUrIO();
    InstallLZWHooks();
  }
  void TearDown() override {
    TraceLogFileName.clear();
    InitializeZodazUrIO();
  }

  std::string MakeJpeg(const std::string& name, int w = 40, int h = 24, bool jfif = true) {
    jpegtest::EncodeOptions o;
    o.width = w;
    o.height = h;
    o.jfif = jfif;
    o.densityX = o.densityY = 96;
    WriteBytes(dir.File(name), jpegtest::Encode(o, jpegtest::Photo(w, h)));
    return dir.File(name);
  }

  testsupport::ScratchDir dir;
};

TEST_F(ExifTest, EveryFieldRoundTripsThroughTheBlockWithAndWithoutThumbnail) {
  for (bool thumbnail : {false, true}) {
    SCOPED_TRACE(thumbnail ? "with thumbnail" : "without thumbnail");
    TIOParamsVals p(nullptr);
    FillExif(p);
    SetMakerNote(p);
    ASSERT_EQ(p.ExifMakerNote.EntryCount(), 2);
    if (thumbnail) {
      auto t = std::make_unique<TIEBitmap>(32, 24, ie24RGB);
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) t->SetPixel24(x, y, TIERGB{uint8_t(x * 8), uint8_t(y * 10), 128});
      p.SetExifThumbnail(std::move(t));
    }
    std::vector<uint8_t> block;
    SaveEXIFToBuffer(p, block, true);
    ASSERT_GT(block.size(), 6u);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 6), std::string("Exif\0\0", 6));
    EXPECT_EQ(PagesOfBlock(block), thumbnail ? 2 : 1);

    TIOParamsVals q(nullptr);
    q.SetDpiX(1);
    ASSERT_TRUE(LoadEXIFFromBuffer(block.data(), static_cast<int64_t>(block.size()), q));
    EXPECT_TRUE(q.HasExifData);
    ExpectSameExif(p, q);
    ASSERT_TRUE(q.ExifThumbnail());
    if (thumbnail) {
      // Turned upright by orientation 6: a quarter turn clockwise.
      EXPECT_EQ(q.ExifThumbnail()->Width(), 24);
      EXPECT_EQ(q.ExifThumbnail()->Height(), 32);
    } else {
      EXPECT_TRUE(q.ExifThumbnail()->IsEmpty());
    }
  }
}

TEST_F(ExifTest, BlocksThatAreNoExifAreRefused) {
  TIOParamsVals p(nullptr);
  p.ExifMake = "kept";
  const std::string cases[] = {"", "Exif", std::string("Exif\0", 5), std::string("Exif\0\0", 6),
                               std::string("Exif\0\0XXXXXXXXXX", 16), std::string("Exig\0\0II*\0\x08\0\0\0", 14)};
  for (const std::string& c : cases) EXPECT_FALSE(LoadEXIFFromBuffer(c.data(), static_cast<int64_t>(c.size()), p));
  EXPECT_FALSE(LoadEXIFFromBuffer(nullptr, 100, p));
  EXPECT_EQ(p.ExifMake, "kept");
  EXPECT_FALSE(p.HasExifData);
  // A TIFF header with a directory chain into nothing is an EXIF block without fields.
  const std::string hollow("Exif\0\0II*\0\xF0\0\0\0", 14);
  EXPECT_TRUE(LoadEXIFFromBuffer(hollow.data(), static_cast<int64_t>(hollow.size()), p));
}

// exiftool writes EXIF, GPS, XMP and IPTC into a JPEG of libjpeg's; the I/O component reads them,
// saves the picture and reads its own file back; exiftool reads the saved file to the same values.
TEST_F(ExifTest, MetadataOfExiftoolSurvivesJpegLoadSaveLoad) {
  const std::string thumb = MakeJpeg("thumb.jpg", 32, 24);
  for (bool withThumbnail : {false, true}) {
    SCOPED_TRACE(withThumbnail ? "with thumbnail" : "without thumbnail");
    const std::string file = MakeJpeg(withThumbnail ? "t.jpg" : "n.jpg");
    Shell("exiftool -q -overwrite_original -Make='Cam Co' -Model=X1 -Artist='Ann Example' "
        "-ExposureCompensation=-0.7 -FNumber=5.6 -ExposureTime=0.004 -ISO=200 -FocalLength=35 "
        "-UserComment='hello comment' -XPTitle='Titel' -IFD0:Rating=3 "
        "-GPSLatitude=47.375 -GPSLatitudeRef=N -GPSLongitude=8.5375 -GPSLongitudeRef=E -GPSAltitude=408 "
        "-XMP-dc:Title='xmp title' -IPTC:Caption-Abstract='iptc caption' " +
        std::string(withThumbnail ? "'-ThumbnailImage<=" + thumb + "' " : "") + "'" + file + "'");
    TZodazUrIO io(nullptr);
    io.LoadFromFile(file);
    ASSERT_FALSE(io.Aborting());
    TIOParamsVals& p = io.Params();
    EXPECT_TRUE(p.HasExifData);
    EXPECT_EQ(p.ExifMake, "Cam Co");
    EXPECT_EQ(p.ExifArtist, "Ann Example");
    EXPECT_NEAR(p.ExifExposureBiasValue, -0.7, 1e-6);
    EXPECT_NEAR(p.ExifFNumber, 5.6, 1e-6);
    EXPECT_EQ(p.ExifISOSpeedRatings[0], 200);
    EXPECT_EQ(p.ExifUserComment, "hello comment");
    EXPECT_EQ(p.ExifXPTitle, "Titel");
    EXPECT_EQ(p.ExifRating, 3);
    EXPECT_EQ(p.GpsLatitudeRef, "N");
    EXPECT_NEAR(p.GpsLatitude[0] + p.GpsLatitude[1] / 60 + p.GpsLatitude[2] / 3600, 47.375, 1e-6);
    EXPECT_NEAR(p.GpsAltitude, 408, 1e-6);
    EXPECT_NE(p.XmpInfo.find("xmp title"), std::string::npos);
    ASSERT_EQ(p.IPTC.GetCount() > 0, true);
    ASSERT_TRUE(p.ExifThumbnail());
    EXPECT_EQ(p.ExifThumbnail()->Width(), withThumbnail ? 32 : 0);

    // Our save: a maker note joins, the rest goes out as read.
    SetMakerNote(p);
    p.SetExifFNumber(8);
    const std::string saved = dir.File(withThumbnail ? "t2.jpg" : "n2.jpg");
    io.SaveToFile(saved);
    ASSERT_FALSE(io.Aborting());
    const std::vector<std::string> read =
        ExifTools(saved, {"Make", "ExposureCompensation#", "FNumber#", "UserComment", "XPTitle", "GPSLatitude#",
                         "GPSLatitudeRef", "XMP-dc:Title", "IPTC:Caption-Abstract", "ThumbnailLength#", "Warning"});
    const std::vector<std::string> expected = {"Cam Co", "-0.7", "8", "hello comment", "Titel", "47.375", "North",
                                               "xmp title", "iptc caption", withThumbnail ? read[9] : "-",
                                               "-"};  // exiftool finds no fault in the structure
    EXPECT_EQ(read, expected);
    if (withThumbnail) {
      EXPECT_NE(read[9], "-");
    }

    TZodazUrIO again(nullptr);
    again.LoadFromFile(saved);
    ASSERT_FALSE(again.Aborting());
    ExpectSameExif(p, again.Params());
    EXPECT_EQ(again.Params().ExifMakerNote.EntryCount(), 2);
    EXPECT_EQ(again.Params().XmpInfo, p.XmpInfo);
    EXPECT_EQ(again.Params().IPTC.GetCount(), p.IPTC.GetCount());
    EXPECT_EQ(again.Params().ExifThumbnail()->Width(), withThumbnail ? 32 : 0);
  }
}

TEST_F(ExifTest, OrientationAndResolutionOfTheJpegComeFromExif) {
  // No JFIF density: EXIF's 118.11 pixels per centimetre is 299 dpi (truncated).
  const std::string file = MakeJpeg("o.jpg", 40, 24, false);
  Shell("exiftool -q -overwrite_original -XResolution=118.11 -YResolution=118.11 -ResolutionUnit=cm "
      "-Orientation#=6 '" + file + "'");
  TZodazUrIO io(nullptr);
  io.LoadFromFile(file);
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().DpiX, 299);
  EXPECT_EQ(io.IEBitmap()->Width(), 40);
  EXPECT_EQ(io.Params().ExifOrientation, 6);

  TZodazUrIO upright(nullptr);
  upright.Params().JpegEnableAdjustOrientation = true;
  upright.LoadFromFile(file);
  ASSERT_FALSE(upright.Aborting());
  EXPECT_EQ(upright.IEBitmap()->Width(), 24);
  EXPECT_EQ(upright.IEBitmap()->Height(), 40);
  EXPECT_EQ(upright.Params().ExifOrientation, 1);

  // A JFIF density wins over EXIF's.
  const std::string jfif = MakeJpeg("j.jpg");
  Shell("exiftool -q -overwrite_original -EXIF:XResolution=300 -EXIF:YResolution=300 -EXIF:ResolutionUnit=inches '" +
        jfif + "'");
  TZodazUrIO j(nullptr);
  j.LoadFromFile(jfif);
  EXPECT_EQ(j.Params().DpiX, 96);
}

TEST_F(ExifTest, ThumbnailShortcutReadsTheExifThumbnailFromTheJpegsStart) {
  const std::string thumb = MakeJpeg("thumb.jpg", 32, 24);
  const std::string file = MakeJpeg("t.jpg", 200, 120);
  Shell("exiftool -q -overwrite_original '-ThumbnailImage<=" + thumb + "' '" + file + "'");
  // The JPEG after other bytes in a stream: the shortcut goes back to where it starts.
  Bytes data(33, 0x5A);
  const Bytes jpeg = FileBytes(file);
  data.insert(data.end(), jpeg.begin(), jpeg.end());
  TMemoryStream s;
  s.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  TZodazUrIO io(nullptr);
  io.Params().SetGetThumbnail(true);
  s.Seek(33, soBeginning);
  io.LoadFromStreamJPEG(s);
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.IEBitmap()->Width(), 32);
  EXPECT_EQ(io.IEBitmap()->Height(), 24);
  // Without a thumbnail the image itself.
  TZodazUrIO full(nullptr);
  full.Params().SetGetThumbnail(true);
  full.LoadFromFile(MakeJpeg("plain.jpg", 200, 120));
  ASSERT_FALSE(full.Aborting());
  EXPECT_EQ(full.IEBitmap()->Width(), 200);
}

TEST_F(ExifTest, BlocksTooBigForAMarkerAreShrunkOrLeftOut) {
  TraceLogFileName = dir.File("trace.log");
  TZodazUrIO io(nullptr);
  io.LoadFromFile(MakeJpeg("a.jpg"));
  TIOParamsVals& p = io.Params();
  FillExif(p);
  // A noisy 400 x 400 thumbnail at full quality does not fit in a marker.
  auto t = std::make_unique<TIEBitmap>(400, 400, ie24RGB);
  uint32_t seed = 7;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) {
      seed = seed * 1103515245 + 12345;
      t->SetPixel24(x, y, TIERGB{uint8_t(seed >> 8), uint8_t(seed >> 16), uint8_t(seed >> 24)});
    }
  p.SetExifThumbnail(std::move(t));
  io.SaveToFile(dir.File("big-thumb.jpg"));
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(ExifTools(dir.File("big-thumb.jpg"), {"Make", "ThumbnailLength"}),
            (std::vector<std::string>{p.ExifMake, "-"}));

  // Still too big without the thumbnail: no EXIF at all; an oversized XMP packet goes too.
  p.ExifUserComment = std::string(70000, 'c');
  p.XmpInfo = std::string(70000, 'x');
  io.SaveToFile(dir.File("big.jpg"));
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(ExifTool(dir.File("big.jpg"), "Make"), "-");
  TZodazUrIO back(nullptr);
  back.LoadFromFile(dir.File("big.jpg"));
  ASSERT_FALSE(back.Aborting());
  EXPECT_FALSE(back.Params().HasExifData);
  EXPECT_TRUE(back.Params().XmpInfo.empty());
  const Bytes log = FileBytes(dir.File("trace.log"));
  const std::string text(log.begin(), log.end());
  EXPECT_NE(text.find("without its thumbnail"), std::string::npos);
  EXPECT_NE(text.find("EXIF block of"), std::string::npos);
  EXPECT_NE(text.find("XMP packet of"), std::string::npos);
}

TEST_F(ExifTest, XmpPackets) {
  TIOParamsVals p(nullptr);
  std::vector<uint8_t> block;
  BuildXMPAPP1(p, block);
  ASSERT_EQ(block.size(), 29u);  // the identifier and its zero byte
  EXPECT_EQ(std::string(block.begin(), block.begin() + 28), kXMPNamespace);
  p.XmpInfo = "<x:xmpmeta/>";
  BuildXMPAPP1(p, block);
  TIOParamsVals q(nullptr);
  ASSERT_TRUE(ReadXMPFromAPP1(block.data(), static_cast<int64_t>(block.size()), q));
  EXPECT_EQ(q.XmpInfo, "<x:xmpmeta/>");
  // Too short, another identifier, or no zero byte inside the payload: no packet.
  std::vector<uint8_t> noZero(block.begin(), block.begin() + 28);
  noZero.insert(noZero.end(), 10, 'y');
  EXPECT_EQ(FindXMPPacket(noZero.data(), static_cast<int64_t>(noZero.size())), nullptr);
  EXPECT_EQ(FindXMPPacket(block.data(), 29), nullptr);
  std::vector<uint8_t> other = block;
  other[5] = 'X';
  EXPECT_EQ(FindXMPPacket(other.data(), static_cast<int64_t>(other.size())), nullptr);
  q.XmpInfo = "kept";
  EXPECT_FALSE(ReadXMPFromAPP1(other.data(), static_cast<int64_t>(other.size()), q));
  EXPECT_EQ(q.XmpInfo, "kept");
}

TEST_F(ExifTest, FindTIFFHeaderWithinTheFirst128KB) {
  auto find = [](const Bytes& b, int64_t at = 0) {
    TMemoryStream s;
    if (!b.empty()) s.WriteBuffer(b.data(), static_cast<int32_t>(b.size()));
    s.Seek(at, soBeginning);
    const int64_t r = FindTIFFHeader(s);
    EXPECT_EQ(s.Position(), at);
    return r;
  };
  const Bytes tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(find(tiff), 0);
  Bytes vendor(12, 0x11);
  vendor.insert(vendor.end(), tiff.begin(), tiff.end());
  EXPECT_EQ(find(vendor), 12);
  const Bytes raw = {'I', 'I', 0x52, 0x4F, 8, 0, 0, 0, 0, 0};  // an Olympus raw's "IIRO"
  EXPECT_EQ(find(raw), 0);
  EXPECT_EQ(find({'I', 'I', 42, 0, 8, 0, 0}), -1);               // shorter than 8
  EXPECT_EQ(find({'M', 'M', 0, 42, 0, 0, 0xFF, 0xFF, 0, 0}), -1);  // directory outside the stream
}

TEST_F(ExifTest, RawPreviewIsTheSmallerPictureThatIsNotBlack) {
  for (bool blackSmall : {false, true}) {
    SCOPED_TRACE(blackSmall ? "small one black" : "small one drawn");
    TMemoryStream s;
    TIEBitmap small(160, 8, ie24RGB), large(2000, 8, ie24RGB);
    small.Fill(blackSmall ? 0 : 0x204080);
    large.Fill(0x408020);
    TIOParamsVals p(nullptr);
    p.HasExifData = true;
    p.ExifMake = "RawCam";
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    ASSERT_EQ(WriteTIFFStream(s, false, &small, p, progress), 1);
    s.Seek(0, soBeginning);
    TIOParamsVals second(nullptr);
    second.SetImageIndex(1);
    ASSERT_EQ(WriteTIFFStream(s, true, &large, second, progress), 2);
    ASSERT_FALSE(aborting);
    s.Seek(0, soBeginning);
    TIOParamsVals q(nullptr);
    EXPECT_TRUE(LoadRawEXIFAndPreview(s, q));
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(q.ExifMake, "RawCam");
    ASSERT_TRUE(q.ExifThumbnail());
    EXPECT_EQ(q.ExifThumbnail()->Width(), blackSmall ? 2000 : 160);
  }
}

TEST_F(ExifTest, ExifTagsGoIntoAnExistingTiffStreamOrFile) {
  TIEBitmap picture(20, 10, ie24RGB);
  picture.Fill(0x336699);
  TIOParamsVals plain(nullptr);
  TMemoryStream s;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteTIFFStream(s, false, &picture, plain, progress);
  ASSERT_FALSE(aborting);
  const std::string in = dir.File("in.tif");
  WriteBytes(in, Bytes(static_cast<const uint8_t*>(s.Memory()), static_cast<const uint8_t*>(s.Memory()) + s.Size()));

  TIOParamsVals p(nullptr);
  FillExif(p);
  p.ExifRating = -1;  // none: none is added
  // Into the stream itself, and from the file into another file.
  s.Seek(0, soBeginning);
  ASSERT_TRUE(CopyEXIFTagsToTIFF(&s, &s, "", "", 0, p));
  ASSERT_TRUE(CopyEXIFTagsToTIFF(nullptr, nullptr, in, dir.File("out.tif"), 0, p));
  for (const std::string& name : {std::string("stream"), dir.File("out.tif")}) {
    SCOPED_TRACE(name);
    TIOParamsVals q(nullptr);
    TIEBitmap back;
    Bytes bytes = name == "stream" ? Bytes(static_cast<const uint8_t*>(s.Memory()),
                                           static_cast<const uint8_t*>(s.Memory()) + s.Size())
                                   : FileBytes(name);
    TMemoryStream r;
    r.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    r.Seek(0, soBeginning);
    bool failed = false;
    TIEProgressRecord pr;
    pr.Aborting = &failed;
    std::unique_ptr<TIEMask> mask;
    int32_t pages = 0;
    ReadTIFFStream(&back, r, pages, &q, pr, false, mask, false, false, false);
    ASSERT_FALSE(failed);
    EXPECT_EQ(back.GetPixel24(3, 3).r, 0x99);  // the picture stays
    EXPECT_EQ(q.ExifMake, p.ExifMake);
    EXPECT_NEAR(q.ExifExposureBiasValue, -0.7, 1e-6);
    EXPECT_EQ(q.GpsLatitudeRef, "N");
    EXPECT_EQ(q.ExifRating, -1);
  }
  // A target that is no TIFF, or has no such page: false.
  EXPECT_FALSE(CopyEXIFTagsToTIFF(nullptr, nullptr, dir.File("missing.tif"), dir.File("x.tif"), 0, p));
  EXPECT_FALSE(CopyEXIFTagsToTIFF(nullptr, nullptr, in, dir.File("x.tif"), 3, p));
  TMemoryStream junk;
  junk.WriteBuffer("not a tiff at all", 17);
  junk.Seek(0, soBeginning);
  EXPECT_FALSE(CopyEXIFTagsToTIFF(&junk, &junk, "", "", 0, p));
}

}  // namespace
