// TIOParamsVals: creation, defaults, reset, copies and the coupled fields. The EXIF and GPS group is
// in io_params_exif.cpp.
#include "imaging/io/io_params.h"

#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_icc.h"
#include "imaging/core/ie_imaging_annot.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_view_link.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/date_time.h"

namespace {

std::unique_ptr<TIEICC> CopyProfile(const TIEICC* source) {
  if (!source) return nullptr;
  auto copy = std::make_unique<TIEICC>();
  copy->Assign(source);
  return copy;
}

}  // namespace

TIOParamsVals::TIOParamsVals(TZodazUrIO* Owner) : owner_(Owner) {
  // Without an owner the size and resolution are not reset: a scratch record starts at 0.
  Width = Height = DpiX = DpiY = 0;
  SetDefaultParams();
}

TIOParamsVals::~TIOParamsVals() = default;

void TIOParamsVals::SetDefaultParams() {
  // 1. File identity and sample layout.
  FreeColorMap();
  FileName.clear();
  FileType = fmtUnknown;
  BitsPerSample = 8;
  SamplesPerPixel = 3;
  IsNativePixelFormat = false;

  // 2. The owner's image size and the engine's default resolution (an attached view follows).
  if (owner_) {
    int32_t width = 0, height = 0;
    if (owner_->GetBitmapSize(width, height)) {
      Width = width;
      Height = height;
    }
    SetDpiX(DefaultDPIX);
    SetDpiY(DefaultDPIY);
  }

  // 3. The format groups. Everything that is not part of the record's information about the file
  // (size, resolution, warnings, media frames) goes back to the declared defaults.
  {
    TIOParamsFields defaults;
    defaults.Width = Width;
    defaults.Height = Height;
    defaults.DpiX = DpiX;
    defaults.DpiY = DpiY;
    defaults.JpegWarningCount = JpegWarningCount;
    defaults.JpegWarningCode = JpegWarningCode;
    defaults.MediaFileFrameCount = MediaFileFrameCount;
    defaults.MediaFileFrameDelayTime = MediaFileFrameDelayTime;
    defaults.ExifXResolution = ExifXResolution;
    defaults.ExifYResolution = ExifYResolution;
    static_cast<TIOParamsFields&>(*this) = std::move(defaults);
  }
  GifLZWDecompressor = GIFLZWDecodeHook.load();
  GifLZWCompressor = GIFLZWEncodeHook.load();
  TiffLZWDecompressor = TIFFLZWDecodeHook.load();
  TiffLZWCompressor = TIFFLZWEncodeHook.load();
  JpegMarkers.Clear();
  IPTC.Clear();
  DicomTags.Clear();
  TgaDate = Today();
  SetImageIndex(0);
  SetTiffOrientation(1);
  SetGetThumbnail(false);

  // 4. Animation counters, PXM comments and the EXIF and GPS group.
  ResetEXIF();

  // 5. The PostScript and PDF groups took their defaults in step 3.
  // 6. On-demand objects go.
  imagingAnnot_.reset();
  inputICC_.reset();
  outputICC_.reset();
  defaultICC_.reset();
  // 7. Camera-raw, headerless-pixel groups and XmpInfo took their defaults in step 3.
}

void TIOParamsVals::ResetInfo() {
  IPTC.Clear();
  imagingAnnot_.reset();
  JpegMarkers.Clear();
  ResetEXIF();
  GifComments.clear();
  DicomTags.Clear();
  PngTextKeys.clear();
  PngTextValues.clear();
  TiffDocumentName.clear();
  TiffImageDescription.clear();
  TiffPageName.clear();
  TgaDescription.clear();
  TgaAuthor.clear();
  TgaImageName.clear();
  PxmComments.clear();
  XmpInfo.clear();
  inputICC_.reset();
}

void TIOParamsVals::Assign(const TIOParamsVals& Source) {
  if (&Source == this) return;
  // What a copy leaves as it is.
  const int32_t warningCount = JpegWarningCount, warningCode = JpegWarningCode;
  const int32_t mediaFrames = MediaFileFrameCount, mediaDelay = MediaFileFrameDelayTime;

  // Every value, including each format's own page index as it is in the source.
  static_cast<TIOParamsFields&>(*this) = static_cast<const TIOParamsFields&>(Source);
  JpegWarningCount = warningCount;
  JpegWarningCode = warningCode;
  MediaFileFrameCount = mediaFrames;
  MediaFileFrameDelayTime = mediaDelay;
  // The destination owner's view follows the copied resolution.
  ForwardDpiToView(true, DpiX);
  ForwardDpiToView(false, DpiY);

  SetColorMap(Source.ColorMap(), Source.ColorMapCount);

  JpegMarkers.Assign(&Source.JpegMarkers);
  IPTC.Assign(&Source.IPTC);
  DicomTags.Assign(&Source.DicomTags);
  ExifMakerNote.Assign(&Source.ExifMakerNote);
  ExifTags.Assign(&Source.ExifTags);

  if (Source.imagingAnnot_)
    GetImagingAnnot()->Assign(Source.imagingAnnot_.get());
  else
    imagingAnnot_.reset();
  inputICC_ = CopyProfile(Source.inputICC_.get());
  outputICC_ = CopyProfile(Source.outputICC_.get());
  defaultICC_ = CopyProfile(Source.defaultICC_.get());

  // A source without thumbnail leaves none here either: no stale metadata survives the copy.
  if (Source.exifThumbnail_) {
    if (!exifThumbnail_) exifThumbnail_ = std::make_unique<TIEBitmap>();
    exifThumbnail_->Assign(*Source.exifThumbnail_);
  } else {
    exifThumbnail_.reset();
  }
}

void TIOParamsVals::AssignCompressionInfo(const TIOParamsVals& Source) {
  BitsPerSample = Source.BitsPerSample;
  SamplesPerPixel = Source.SamplesPerPixel;
  TiffCompression = Source.TiffCompression;
  TiffPhotometInterpret = Source.TiffPhotometInterpret;
  TiffPlanarConf = Source.TiffPlanarConf;
  SetTiffOrientation(Source.TiffOrientation);
  TiffLZWDecompressor = Source.TiffLZWDecompressor;
  TiffLZWCompressor = Source.TiffLZWCompressor;
  TiffEnableAdjustOrientation = Source.TiffEnableAdjustOrientation;
  TiffJpegQuality = Source.TiffJpegQuality;
  TiffJpegColorSpace = Source.TiffJpegColorSpace;
  TiffFillOrder = Source.TiffFillOrder;
  TiffZipCompression = Source.TiffZipCompression;
  GifInterlaced = Source.GifInterlaced;
  GifLZWDecompressor = Source.GifLZWDecompressor;
  GifLZWCompressor = Source.GifLZWCompressor;
  JpegColorSpace = Source.JpegColorSpace;
  JpegQuality = Source.JpegQuality;
  JpegDCTMethod = Source.JpegDCTMethod;
  JpegChromaSubsampling = Source.JpegChromaSubsampling;
  JpegOptimalHuffman = Source.JpegOptimalHuffman;
  JpegSmooth = Source.JpegSmooth;
  JpegProgressive = Source.JpegProgressive;
  J2000ColorSpace = Source.J2000ColorSpace;
  J2000Rate = Source.J2000Rate;
  J2000ProgressionOrder = Source.J2000ProgressionOrder;
  PcxVersion = Source.PcxVersion;
  PcxCompression = Source.PcxCompression;
  BmpVersion = Source.BmpVersion;
  BmpCompression = Source.BmpCompression;
  BmpUseAlpha = Source.BmpUseAlpha;
  PngInterlaced = Source.PngInterlaced;
  PngFilter = Source.PngFilter;
  PngCompression = Source.PngCompression;
  TgaCompressed = Source.TgaCompressed;
  TgaGrayLevel = Source.TgaGrayLevel;
  PsCompression = Source.PsCompression;
  PdfCompression = Source.PdfCompression;
}

// ------------------------------------------------------------------------------- coupled fields

void TIOParamsVals::ForwardDpiToView(bool Horizontal, int32_t Value) {
  if (owner_) owner_->ForwardViewDPI(Horizontal, Value, !Horizontal, Value);
}

void TIOParamsVals::SetDpiX(int32_t Value) {
  DpiX = Value;
  ExifXResolution = Value;
  ForwardDpiToView(true, Value);
}

void TIOParamsVals::SetDpiY(int32_t Value) {
  DpiY = Value;
  ExifYResolution = Value;
  ForwardDpiToView(false, Value);
}

void TIOParamsVals::SetDpi(int32_t Value) {
  SetDpiX(Value);
  SetDpiY(Value);
}

void TIOParamsVals::SetImageIndex(int32_t Value) {
  ImageIndex = TiffImageIndex = DcxImageIndex = GifImageIndex = IcoImageIndex = CurImageIndex = Value;
}

void TIOParamsVals::SetImageCount(int32_t Value) {
  ImageCount = TiffImageCount = AviFrameCount = GifImageCount = MediaFileFrameCount = Value;
}

void TIOParamsVals::SetEnableAdjustOrientation(bool Value) {
  EnableAdjustOrientation = TiffEnableAdjustOrientation = JpegEnableAdjustOrientation = Value;
}

void TIOParamsVals::SetGetThumbnail(bool Value) { GetThumbnail = JpegGetExifThumbnail = Value; }

void TIOParamsVals::SetTiffOrientation(int32_t Value) { TiffOrientation = ExifOrientation = Value; }

void TIOParamsVals::SetExifOrientation(int32_t Value) { TiffOrientation = ExifOrientation = Value; }

// ------------------------------------------------------------------------------------ colour map

void TIOParamsVals::FreeColorMap() {
  colorMap_.reset();
  ColorMapCount = 0;
}

void TIOParamsVals::SetColorMap(const TIERGB* Colors, int32_t Count) {
  if (!Colors || Count <= 0) {
    FreeColorMap();
    return;
  }
  auto map = std::make_unique<TIERGB[]>(static_cast<size_t>(Count));
  std::memcpy(map.get(), Colors, sizeof(TIERGB) * static_cast<size_t>(Count));
  colorMap_ = std::move(map);
  ColorMapCount = Count;
}

// ---------------------------------------------------------------------------- on-demand objects

TIEImagingAnnot* TIOParamsVals::GetImagingAnnot() {
  if (!imagingAnnot_) imagingAnnot_ = std::make_unique<TIEImagingAnnot>(this);
  return imagingAnnot_.get();
}

TIEICC* TIOParamsVals::GetInputICCProfile() {
  if (!inputICC_) inputICC_ = std::make_unique<TIEICC>();
  return inputICC_.get();
}

TIEICC* TIOParamsVals::GetOutputICCProfile() {
  if (!outputICC_) {
    outputICC_ = std::make_unique<TIEICC>();
    outputICC_->LoadSRGBProfile();
  }
  return outputICC_.get();
}

TIEICC* TIOParamsVals::GetDefaultICCProfile() {
  if (!defaultICC_) defaultICC_ = std::make_unique<TIEICC>();
  return defaultICC_.get();
}

void TIOParamsVals::FreeInputICCProfile() { inputICC_.reset(); }

void TIOParamsVals::SetExifThumbnail(std::unique_ptr<TIEBitmap> Thumbnail) { exifThumbnail_ = std::move(Thumbnail); }

TIEViewLink* IEParamsAttachedView(TIOParamsVals* Params) {
  TZodazUrIO* owner = Params ? Params->Owner() : nullptr;
  return owner ? owner->AttachedZodazUr() : nullptr;
}
