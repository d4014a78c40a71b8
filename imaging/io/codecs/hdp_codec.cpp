#include "imaging/io/codecs/hdp_codec.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_int_math.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/exif_blocks.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "platform/wic/wic_codec.h"

namespace {

void Fail(TIEProgressRecord& progress, const std::string& message) { IOFail(progress, "HD Photo: " + message); }

void SetAbort(bool* aborting) {
  if (aborting) *aborting = true;
}

// The WIC format the engine's pixel format is read as or written from, 0 when none.
uint8_t WICFormatOf(TIEPixelFormat f) {
  switch (f) {
    case ie1g: return kWICFormatBlackWhite;
    case ie8g: return kWICFormat8bppGray;
    case ie16g: return kWICFormat16bppGray;
    case ie24RGB: return kWICFormat24bppBGR;
    case ieRGB48: return kWICFormat48bppRGB;
    case ieCMYK: return kWICFormat32bppCMYK;
    default: return 0;
  }
}

TIEPixelFormat EngineFormatOf(const TGUID& wic) {
  for (TIEPixelFormat f : {ie1g, ie8g, ie16g, ie24RGB, ieRGB48, ieCMYK})
    if (SameGuid(wic, WICPixelFormat(WICFormatOf(f)))) return f;
  return ieNoFormat;
}

// HD Photo codes at best about this many pixels a byte (a flat picture at the lowest quality).
constexpr int64_t kHDPhotoMaxPixelsPerByte = 4096;

}  // namespace

bool HDPhotoAvailable() { return IsWICAvailable(); }

// --- reader ------------------------------------------------------------------------------------------

TIEWICReader::TIEWICReader() : dpiX_(DefaultDPIX), dpiY_(DefaultDPIY) {}
TIEWICReader::~TIEWICReader() { Close(); }

bool TIEWICReader::IsAvailable() const { return IsWICAvailable(); }

bool TIEWICReader::Open(TStream& Stream, int32_t FormatId) {
  Close();
  if (FormatId != fmtHDP || !IsAvailable()) return false;
  stream_ = &Stream;
  streamPos_ = Stream.Position();
  auto decoder = std::make_unique<TWICBitmapDecoder>();
  if (!decoder->Initialize(Stream)) return false;
  decoder_ = std::move(decoder);
  return true;
}

void TIEWICReader::Close() {
  decoder_.reset();
  frameWidth_ = frameHeight_ = 0;
}

int32_t TIEWICReader::GetFrameCount() const { return decoder_ ? static_cast<int32_t>(decoder_->GetFrameCount()) : 0; }
int32_t TIEWICReader::GetFrameWidth() const { return frameWidth_; }
int32_t TIEWICReader::GetFrameHeight() const { return frameHeight_; }

void TIEWICReader::ReadFrame(int32_t Index, TIEBitmap& Bitmap, bool* Aborting, TIOParamsVals* IOParams,
                             bool ParamsOnly) {
  if (!decoder_ || Index < 0) return SetAbort(Aborting);
  std::unique_ptr<TWICBitmapFrameDecode> frame = decoder_->GetFrame(static_cast<uint32_t>(Index));
  // A frame index past the last one fails (the bitmap is left as it was).
  if (!frame) return SetAbort(Aborting);
  uint32_t w = 0, h = 0;
  frame->GetSize(w, h);
  frameWidth_ = static_cast<int32_t>(w);
  frameHeight_ = static_cast<int32_t>(h);
  frame->GetResolution(dpiX_, dpiY_);
  const bool native = !IOParams || IOParams->IsNativePixelFormat;

  // The size must be one the coded bytes can hold before any pixel is allocated.
  TIEImageData data;
  data.Bytes = static_cast<int64_t>(std::min<uint64_t>(frame->CodedBytes(), INT64_MAX));
  data.BitsPerPixel = 24;
  data.MaxPixelsPerByte = kHDPhotoMaxPixelsPerByte;
  if (!IEImageSizePlausible(w, h, data)) return SetAbort(Aborting);

  if (!ParamsOnly) {
    bool copied = false;
    if (IOParams && IOParams->GetThumbnail) {
      if (std::unique_ptr<TWICBitmapSource> thumbnail = frame->GetThumbnail())
        copied = CopyFrameToBitmap(*thumbnail, Bitmap, native);
    } else {
      copied = CopyFrameToBitmap(*frame, Bitmap, native);
    }
    if (!copied) return SetAbort(Aborting);
  }

  if (IOParams) {
    TIOParamsVals& p = *IOParams;
    const int64_t back = stream_->Position();
    stream_->Seek(streamPos_, soBeginning);
    LoadEXIFFromTIFFStream(*stream_, p);
    stream_->Seek(back, soBeginning);
    if (ParamsOnly) {
      const TIEPixelFormat f = EngineFormatOf(frame->GetPixelFormat());
      const TIEPixelFormat shown = (native && f != ieNoFormat) || f == ie1g ? f : ie24RGB;
      p.SamplesPerPixel = IEChannelsPerPixel[shown];
      p.BitsPerSample = IEBitsPerPixel[shown] / p.SamplesPerPixel;
      p.Width = frameWidth_;
      p.Height = frameHeight_;
    } else {
      p.SamplesPerPixel = Bitmap.ChannelCount();
      p.BitsPerSample = Bitmap.BitCount() / std::max(1, p.SamplesPerPixel);
      p.Width = Bitmap.Width();
      p.Height = Bitmap.Height();
    }
    p.OriginalWidth = frameWidth_;
    p.OriginalHeight = frameHeight_;
    // The file's resolution is any float: an absurd one saturates instead of overflowing.
    p.SetDpiX(SaturateToInt(std::trunc(dpiX_)));
    p.SetDpiY(SaturateToInt(std::trunc(dpiY_)));
    p.SetImageCount(GetFrameCount());
  }
}

bool TIEWICReader::CopyFrameToBitmap(TWICBitmapSource& Source, TIEBitmap& Bitmap, bool Native) {
  const TIEPixelFormat nativeFormat = EngineFormatOf(Source.GetPixelFormat());
  const TIEPixelFormat format =
      nativeFormat == ie1g || (Native && nativeFormat != ieNoFormat) ? nativeFormat : ie24RGB;
  TWICFormatConverter converter;
  if (!converter.Initialize(&Source, WICPixelFormat(WICFormatOf(format)))) return false;
  uint32_t w = 0, h = 0;
  converter.GetSize(w, h);
  if (w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX) return false;
  TIEBitmap picture;
  if (!picture.Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), format)) return false;
  const uint32_t rowLen = static_cast<uint32_t>(picture.RowLen());
  for (uint32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(picture.GetRow(static_cast<int32_t>(y)));
    const WICRect rect = {0, static_cast<int32_t>(y), static_cast<int32_t>(w), 1};
    if (!converter.CopyPixels(rect, rowLen, rowLen, row)) return false;
    // The service's CMYK is 0 for no ink, the engine's 255.
    if (format == ieCMYK)
      for (uint32_t i = 0; i < rowLen; ++i) row[i] = static_cast<uint8_t>(~row[i]);
  }
  // The decoded rows become the bitmap's own (no second copy) unless it keeps its pixels elsewhere.
  if (Bitmap.Location() == picture.Location() && Bitmap.AllocationMode() == picture.AllocationMode())
    picture.MoveStorageTo(Bitmap);
  else
    Bitmap.Assign(picture);
  return true;
}

// --- writer ------------------------------------------------------------------------------------------

TIEWICWriter::TIEWICWriter() : DpiX(DefaultDPIX), DpiY(DefaultDPIY) {}
TIEWICWriter::~TIEWICWriter() { Close(); }

bool TIEWICWriter::IsAvailable() const { return IsWICAvailable(); }

bool TIEWICWriter::Open(TStream& Stream, int32_t FormatId) {
  Close();
  if (FormatId != fmtHDP || !IsAvailable()) return false;
  stream_ = &Stream;
  streamPos_ = Stream.Position();
  auto encoder = std::make_unique<TWICBitmapEncoder>();
  if (!encoder->Initialize(Stream)) return false;
  encoder_ = std::move(encoder);
  wrote_ = false;
  return true;
}

bool TIEWICWriter::WriteFrame(TIEBitmap& Bitmap, TIOParamsVals* IOParams) {
  std::unique_ptr<TWICBitmapFrameEncode> frame;
  std::unique_ptr<TWICPropertyBag> bag;
  if (!encoder_ || !encoder_->CreateNewFrame(frame, bag) || !frame || !bag) return false;
  if (IOParams) {
    DpiX = IOParams->DpiX;
    DpiY = IOParams->DpiY;
    ImageQuality = IOParams->HdpImageQuality;
    Lossless = IOParams->HdpLossless;
  }
  if (ImageQuality >= 0) bag->Write("ImageQuality", ImageQuality, VT_R4);
  if (CompressionQuality >= 0) bag->Write("CompressionQuality", CompressionQuality, VT_R4);
  bag->Write("Lossless", Lossless ? 1 : 0, VT_BOOL);
  if (UseCodecOptions) {
    bag->Write("UseCodecOptions", 1, VT_BOOL);
    bag->Write("Quality", Quality, VT_UI1);
    bag->Write("Overlap", Overlap, VT_UI1);
    bag->Write("Subsampling", Subsampling, VT_UI1);
  }
  bag->Write("HorizontalTileSlices", HorizontalTileSlices, VT_UI2);
  bag->Write("VerticalTileSlices", VerticalTileSlices, VT_UI2);
  bag->Write("FrequencyOrder", FrequencyOrder ? 1 : 0, VT_BOOL);

  const uint8_t format = WICFormatOf(Bitmap.PixelFormat());
  const int32_t width = Bitmap.Width(), height = Bitmap.Height();
  if (format == 0 || width <= 0 || height <= 0) return false;
  const double dpiX = DpiX > 0 ? DpiX : DefaultDPIX, dpiY = DpiY > 0 ? DpiY : DefaultDPIY;
  if (!frame->Initialize(bag.get()) || !frame->SetSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height)) ||
      !frame->SetResolution(dpiX, dpiY) || !frame->SetPixelFormat(WICPixelFormat(format)))
    return false;
  const uint32_t rowLen = static_cast<uint32_t>(Bitmap.RowLen());
  std::vector<uint8_t> inverted(format == kWICFormat32bppCMYK ? rowLen : 0);
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = static_cast<const uint8_t*>(Bitmap.GetRow(y));
    if (format == kWICFormat32bppCMYK) {
      for (uint32_t i = 0; i < rowLen; ++i) inverted[i] = static_cast<uint8_t>(~row[i]);
      row = inverted.data();
    }
    if (!frame->WritePixels(1, rowLen, rowLen, row)) return false;
  }
  if (!frame->Commit()) return false;
  wrote_ = true;
  return true;
}

bool TIEWICWriter::Close() {
  bool ok = true;
  if (encoder_) ok = encoder_->Commit() && wrote_;
  encoder_.reset();
  return ok;
}

// --- the I/O component's entries ----------------------------------------------------------------------

void ReadHDPStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly) {
  Progress.Report(0);
  bool aborting = false;
  try {
    TIEWICReader reader;
    if (!reader.Open(Stream, fmtHDP)) {
      aborting = true;
    } else {
      reader.ReadFrame(Params.ImageIndex, Bitmap, &aborting, &Params, ParamsOnly);
    }
  } catch (const std::bad_alloc&) {
    aborting = true;
  }
  Progress.Report(0);
  if (aborting) Fail(Progress, "the file cannot be read");
}

void WriteHDPStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  if (!IsWICAvailable()) return Fail(Progress, "the codec is not available");
  Progress.Report(0);
  const int64_t start = Stream.Position();
  bool ok = false;
  {
    // Bitmaps in none of the six written formats go through a 24-bit copy; the caller's stays.
    std::unique_ptr<TIEBitmap> converted;
    TIEBitmap* source = &Bitmap;
    if (WICFormatOf(Bitmap.PixelFormat()) == 0) {
      converted = IEConvertedCopy(Bitmap, ie24RGB);
      source = converted.get();
    }
    TIEWICWriter writer;
    if (source && writer.Open(Stream, fmtHDP)) {
      ok = writer.WriteFrame(*source, &Params);
      ok = writer.Close() && ok;
    }
  }
  if (!ok) return Fail(Progress, "the image cannot be written");
  // The record's EXIF tags go into the file's directory (a record without any has nothing to add).
  Stream.Seek(start, soBeginning);
  if (Params.HasExifData && !CopyEXIFTagsToTIFF(&Stream, &Stream, "", "", 0, Params)) return Fail(Progress, "the EXIF tags cannot be written");
  Progress.Report(0);
}

int32_t HDPFrameCount(TStream& Stream) {
  if (!IsWICAvailable()) return 0;
  try {
    TIEWICReader reader;
    return reader.Open(Stream, fmtHDP) ? reader.GetFrameCount() : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

int32_t HDPFrameCount(const std::string& FileName) {
  if (!IsWICAvailable()) return 0;
  try {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    return HDPFrameCount(stream);
  } catch (const std::exception&) {
    return 0;
  }
}
