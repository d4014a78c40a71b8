#pragma once
// The image-codec service the HD Photo format goes through, in the shapes of the Windows Imaging
// Component: a decoder over a stream giving its frame (and the frame's thumbnail) as bitmap sources,
// a format converter to the pixel formats the engine reads, and an encoder whose frame takes an
// option bag, a size, a resolution, a pixel format and rows. Only the HD Photo container is served.
//
// Built on jxrlib. The library is a 2017 snapshot that trusts its input, so the decoder checks the
// container (byte order, version, the pixel format, image and alpha offsets and sizes inside the
// stream, the size through the engine's caller) before the library sees a byte of coded data.
// Checks cannot reach into the coded macroblocks, where the library still reads out of bounds on
// damaged data: so the library parses and decodes only in a helper process (platform/system/
// isolated_call.h; a forked child where no helper can be started), reading the stream's bytes from
// a block shared with this process and writing the pixels into another. A helper that crashes or
// hangs (killed after a time-out that grows with the frame's size) makes the decode fail; this
// process goes on, and the next decode starts a fresh helper.
// Every object holds its own library state: several threads may decode and encode at once.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/guid.h"
#include "platform/system/isolated_call.h"

class TStream;

// The WIC pixel formats {6FDDC324-4E03-4BFE-B185-3D77768DC9xx}; the last byte tells them apart.
TGUID WICPixelFormat(uint8_t LastByte);
constexpr uint8_t kWICFormat1bppIndexed = 0x01;
constexpr uint8_t kWICFormat8bppIndexed = 0x04;
constexpr uint8_t kWICFormatBlackWhite = 0x05;
constexpr uint8_t kWICFormat8bppGray = 0x08;
constexpr uint8_t kWICFormat16bppGray = 0x0B;
constexpr uint8_t kWICFormat24bppBGR = 0x0C;
constexpr uint8_t kWICFormat48bppRGB = 0x15;
constexpr uint8_t kWICFormat32bppCMYK = 0x1C;
// Other formats an HD Photo file may hold (read, converted to 24bppBGR by the format converter).
constexpr uint8_t kWICFormat16bppRGB555 = 0x09;
constexpr uint8_t kWICFormat16bppRGB565 = 0x0A;
constexpr uint8_t kWICFormat24bppRGB = 0x0D;
constexpr uint8_t kWICFormat32bppBGRA = 0x0F;
constexpr uint8_t kWICFormat16bppGrayHalf = 0x3E;
constexpr uint8_t kWICFormat48bppRGBHalf = 0x3B;
constexpr uint8_t kWICFormat64bppRGBAHalf = 0x3A;
constexpr uint8_t kWICFormat128bppRGBFloat = 0x1B;
constexpr uint8_t kWICFormat32bppRGB101010 = 0x14;

// The HD Photo container {57A37CAA-367A-4540-916B-F183C5093A4B}.
extern const TGUID GUID_ContainerFormatWmp;

// Whether the codec service can be created; the answer is found once and kept.
bool IsWICAvailable();
// Test seam: 0 makes IsWICAvailable answer false, 1 true, -1 gives back the real answer.
void SetWICAvailabilityForTesting(int32_t Available);
// Test seam: the time-out of every child decode in milliseconds; 0 or less gives back the default.
void SetWICDecodeTimeoutForTesting(int64_t Milliseconds);

struct WICRect {
  int32_t X;
  int32_t Y;
  int32_t Width;
  int32_t Height;
};

// A picture that gives its pixels row by row.
class TWICBitmapSource {
 public:
  virtual ~TWICBitmapSource() = default;
  virtual void GetSize(uint32_t& Width, uint32_t& Height) const = 0;
  virtual TGUID GetPixelFormat() const = 0;
  // Copies the rectangle (whole bytes of each row) into Buffer, rows Stride bytes apart. False when
  // the rectangle lies outside the picture, the buffer is too small or the data cannot be decoded.
  virtual bool CopyPixels(const WICRect& Rect, uint32_t Stride, uint64_t BufferSize, uint8_t* Buffer) = 0;
};

class TWICBitmapFrameDecode;

// A decoder of one HD Photo stream. The stream is not owned and must outlive the decoder; its
// position when Initialize is called is the container's start.
class TWICBitmapDecoder {
 public:
  TWICBitmapDecoder();
  ~TWICBitmapDecoder();
  TWICBitmapDecoder(const TWICBitmapDecoder&) = delete;
  TWICBitmapDecoder& operator=(const TWICBitmapDecoder&) = delete;

  // False when the stream holds no HD Photo image this service decodes (a container that does not
  // add up is refused here, before the library reads it).
  bool Initialize(TStream& Stream);
  uint32_t GetFrameCount() const;  // 1 once initialised, else 0
  // The frame of that index, or null.
  std::unique_ptr<TWICBitmapFrameDecode> GetFrame(uint32_t Index);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

class TWICBitmapFrameDecode : public TWICBitmapSource {
 public:
  explicit TWICBitmapFrameDecode(std::shared_ptr<TWICBitmapDecoder::State> State, bool Thumbnail);
  void GetSize(uint32_t& Width, uint32_t& Height) const override;
  TGUID GetPixelFormat() const override;
  bool CopyPixels(const WICRect& Rect, uint32_t Stride, uint64_t BufferSize, uint8_t* Buffer) override;
  void GetResolution(double& DpiX, double& DpiY) const;
  // The frame decoded at 1/16 of its size (each side rounded up), or null when it has none.
  std::unique_ptr<TWICBitmapSource> GetThumbnail();
  // The coded byte count of the frame (image and alpha planes), for the caller's size check.
  uint64_t CodedBytes() const;

 private:
  bool Decode();
  std::shared_ptr<TWICBitmapDecoder::State> state_;
  bool thumbnail_;
  bool decoded_ = false;
  bool failed_ = false;
  TSharedBlock pixels_;  // written by the decoding helper
  uint32_t stride_ = 0;
};

// Converts a source to one of the formats the engine reads: BlackWhite, 8bppGray, 16bppGray,
// 24bppBGR, 48bppRGB, 32bppCMYK (each from itself) and 24bppBGR from every format the decoder gives:
// integer samples scale to 8 bits, fixed-point, half and float samples (linear light) go through
// the sRGB curve, 555/565/101010 widen by bit replication, grey repeats into the three channels,
// CMYK (0 = no ink) multiplies out; alpha is dropped.
class TWICFormatConverter : public TWICBitmapSource {
 public:
  // False when the conversion is not one of those.
  bool Initialize(TWICBitmapSource* Source, const TGUID& DestinationFormat);
  void GetSize(uint32_t& Width, uint32_t& Height) const override;
  TGUID GetPixelFormat() const override { return format_; }
  bool CopyPixels(const WICRect& Rect, uint32_t Stride, uint64_t BufferSize, uint8_t* Buffer) override;

 private:
  TWICBitmapSource* source_ = nullptr;
  TGUID format_{};
  TGUID sourceFormat_{};
  std::vector<uint8_t> row_;
};

// Property types of the option bag.
constexpr uint16_t VT_R4 = 4;
constexpr uint16_t VT_BOOL = 11;
constexpr uint16_t VT_UI1 = 17;
constexpr uint16_t VT_UI2 = 18;

// The encoder options, by name. Known names: "ImageQuality" (VT_R4, 0..1; 1 is lossless),
// "CompressionQuality" (VT_R4, ignored), "Lossless" (VT_BOOL), "UseCodecOptions" (VT_BOOL),
// "Quality" (VT_UI1, 1..255 quantiser, with UseCodecOptions), "Overlap" (VT_UI1, 0..2),
// "Subsampling" (VT_UI1, 0 4:0:0 .. 3 4:4:4), "HorizontalTileSlices" and "VerticalTileSlices"
// (VT_UI2), "FrequencyOrder" (VT_BOOL). Write refuses an unknown name or a wrong type.
class TWICPropertyBag {
 public:
  bool Write(const std::string& Name, double Value, uint16_t VarType);
  bool Has(const std::string& Name) const;
  double Read(const std::string& Name, double Default) const;

 private:
  struct Item {
    std::string name;
    double value;
  };
  std::vector<Item> items_;
};

class TWICBitmapFrameEncode {
 public:
  TWICBitmapFrameEncode(TStream& Stream, int64_t Origin);
  ~TWICBitmapFrameEncode();
  TWICBitmapFrameEncode(const TWICBitmapFrameEncode&) = delete;
  TWICBitmapFrameEncode& operator=(const TWICBitmapFrameEncode&) = delete;

  bool Initialize(const TWICPropertyBag* Options);
  bool SetSize(uint32_t Width, uint32_t Height);
  bool SetResolution(double DpiX, double DpiY);
  // One of the six written formats (BlackWhite, 8bppGray, 16bppGray, 24bppBGR, 48bppRGB, 32bppCMYK).
  bool SetPixelFormat(const TGUID& Format);
  // The next LineCount rows, Stride bytes apart. They are coded into the stream as they come, in
  // bands of 16 rows (the library's macroblock height); size, resolution, format and options are
  // fixed from the first call on.
  bool WritePixels(uint32_t LineCount, uint32_t Stride, uint64_t BufferSize, const uint8_t* Pixels);
  // Codes the last rows (all of them must have been written) and ends the image in the stream.
  bool Commit();

  struct TEncoding;

 private:
  bool Start();
  bool CodeBand(bool Last);

  TStream& stream_;
  int64_t origin_;
  TWICPropertyBag options_;
  uint32_t width_ = 0, height_ = 0;
  double dpiX_ = 96, dpiY_ = 96;
  uint8_t format_ = 0;
  uint32_t rowBytes_ = 0;
  uint32_t rowsWritten_ = 0;
  std::vector<uint8_t> band_;  // rows not yet coded
  uint32_t bandRows_ = 0;
  std::unique_ptr<TEncoding> encoding_;
  bool failed_ = false;
  bool committed_ = false;
};

// An encoder of one HD Photo stream: one frame, coded when it commits. The stream is not owned;
// it must be able to seek (the container's offsets are written after the data).
class TWICBitmapEncoder {
 public:
  bool Initialize(TStream& Stream);
  // The frame and its option bag (filled by the caller before the frame is initialised with it);
  // false when a frame was already made or the encoder was not initialised.
  bool CreateNewFrame(std::unique_ptr<TWICBitmapFrameEncode>& Frame, std::unique_ptr<TWICPropertyBag>& Options);
  bool Commit();

 private:
  TStream* stream_ = nullptr;
  int64_t origin_ = 0;
  bool frameMade_ = false;
};

// The HD Photo container's facts read without the library: false when the bytes at the stream's
// position are not a container whose image data lies inside the stream. The position is restored.
struct TWICHDPhotoInfo {
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint8_t PixelFormat = 0;  // last byte of the WIC pixel format
  uint64_t ImageOffset = 0, ImageBytes = 0, AlphaOffset = 0, AlphaBytes = 0;
  float DpiX = 0, DpiY = 0;
};
bool ReadHDPhotoContainer(TStream& Stream, TWICHDPhotoInfo& Info);
