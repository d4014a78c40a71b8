#pragma once
// HD Photo (WDP, HDP) through the platform's image-codec service: TIEWICReader copies a frame of a
// decoder into a TIEBitmap, TIEWICWriter encodes a TIEBitmap as a frame with the record's options.
// Only the HD Photo container (format id 29) is served. Every call makes its own reader or
// writer, so several threads may read and write at once.
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;
class TWICBitmapDecoder;
class TWICBitmapEncoder;
class TWICBitmapSource;

// Whether HD Photo can be read and written here (the platform's answer, found once).
bool HDPhotoAvailable();

class TIEWICReader {
 public:
  TIEWICReader();
  ~TIEWICReader();
  bool IsAvailable() const;
  // Opens the stream (not owned) at its position with the decoder of FormatId; false for other ids
  // or when the data is not an image the decoder takes.
  bool Open(TStream& Stream, int32_t FormatId);
  void Close();
  int32_t GetFrameCount() const;
  int32_t GetFrameWidth() const;
  int32_t GetFrameHeight() const;
  // Reads frame Index into Bitmap (its thumbnail when IOParams asks for it) with the record's
  // fields; a missing frame, a size the data cannot hold or a decoding failure sets *Aborting.
  void ReadFrame(int32_t Index, TIEBitmap& Bitmap, bool* Aborting, TIOParamsVals* IOParams, bool ParamsOnly = false);
  // Copies Source into Bitmap in its native format when Native and it is one of the six the engine
  // holds, else as ie24RGB (BlackWhite always as ie1g); CMYK bytes are inverted to the engine's
  // convention. False when the pixels cannot be had.
  bool CopyFrameToBitmap(TWICBitmapSource& Source, TIEBitmap& Bitmap, bool Native);

 private:
  std::unique_ptr<TWICBitmapDecoder> decoder_;
  TStream* stream_ = nullptr;
  int64_t streamPos_ = 0;
  int32_t frameWidth_ = 0, frameHeight_ = 0;
  double dpiX_, dpiY_;
};

class TIEWICWriter {
 public:
  TIEWICWriter();
  ~TIEWICWriter();  // closes (commits) the file
  bool IsAvailable() const;
  bool Open(TStream& Stream, int32_t FormatId);
  // Encodes Bitmap (ie1g, ie8g, ie16g, ie24RGB, ieRGB48 or ieCMYK; the caller converts others)
  // as the file's frame. False when the encoder refuses it.
  bool WriteFrame(TIEBitmap& Bitmap, TIOParamsVals* IOParams);
  bool Close();

  double DpiX, DpiY;
  double ImageQuality = -1;
  double CompressionQuality = -1;
  bool Lossless = false;
  bool UseCodecOptions = false;
  int32_t Quality = 1;
  int32_t Overlap = 1;
  int32_t Subsampling = 3;
  int32_t HorizontalTileSlices = 0;
  int32_t VerticalTileSlices = 0;
  bool FrequencyOrder = true;

 private:
  std::unique_ptr<TWICBitmapEncoder> encoder_;
  TStream* stream_ = nullptr;
  int64_t streamPos_ = 0;
  bool wrote_ = false;
};

// The I/O component's entries. The reader takes frame Params.ImageIndex (HD Photo files have
// one); the writer takes Params.HdpImageQuality and Params.HdpLossless and then puts the record's
// EXIF tags into the file. Failures set the abort flag.
void ReadHDPStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly = false);
void WriteHDPStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
// Frames of the HD Photo file (0 without the codec or for anything else).
int32_t HDPFrameCount(const std::string& FileName);
int32_t HDPFrameCount(TStream& Stream);
