#pragma once
// The video compressors of the AVI file services, standing in for the installed compressors: a list
// of libavcodec encoders by FOURCC (those the installed library lacks are left out), the compressor
// manager's calls on it (ICInfo, ICOpen, ICCompressQuery, ICLocate, ICGetInfo, ICConfigure ...), and
// the encoder that turns DIB frames into a stream's samples.
//
// Quality 0 ... 10 000 maps monotonically onto the encoder's quantiser or rate factor (-1: the value
// kept by the compressor's configuration, else its default); lossless encoders ignore it. H.264 and
// MPEG-4 are written without B-frames, so that frame n is chunk n.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/avi_types.h"
#include "platform/ui/messages.h"

// One compressor of the list.
struct TAviCompressor {
  FOURCC Handler;                   // the code in the stream header and the format
  const char* Name;                 // short name, at most 15 characters
  const char* Description;
  const char* Encoder;              // libavcodec's encoder name
  std::vector<uint16_t> BitCounts;  // input DIB bit counts it takes
  int32_t SizeMultiple;             // width and height must be multiples of this
  enum TQuality : uint8_t { qNone, qScale, qRateFactor } Quality;
  bool KeyFrames;                   // takes a key-frame interval
  bool DataRate;                    // takes a data rate
};

// The compressors the installed libavcodec can run, in list order.
const std::vector<TAviCompressor>& AviCompressors();
// The compressor for a code regardless of letter case; null when none.
const TAviCompressor* FindAviCompressor(FOURCC Handler);
// True when Compressor takes frames of this header (bit count, uncompressed, size rule, pixel limit).
bool AviCompressorAccepts(const TAviCompressor& Compressor, const BITMAPINFOHEADER& Input);
// The quality kept by the compressor's configuration (ICConfigure), -1 when none.
int32_t AviCompressorStoredQuality(FOURCC Handler);

// ---------------------------------------------------------------------------- compressor manager

struct TICInstance;
using HIC = TICInstance*;

constexpr int32_t ICERR_OK = 0;
constexpr int32_t ICERR_UNSUPPORTED = -1;
constexpr int32_t ICERR_BADFORMAT = -2;
constexpr int32_t ICERR_MEMORY = -3;
constexpr int32_t ICERR_ERROR = -100;
constexpr int32_t ICERR_CANTUPDATE = -7;
constexpr int32_t ICERR_ABORT = -10;

constexpr uint32_t ICMODE_COMPRESS = 1;
constexpr uint32_t ICMODE_DECOMPRESS = 2;
constexpr uint32_t ICMODE_FASTDECOMPRESS = 3;
constexpr uint32_t ICMODE_QUERY = 4;
constexpr uint32_t ICMODE_FASTCOMPRESS = 5;
constexpr uint32_t ICMODE_DRAW = 8;

constexpr uint32_t ICM_USER = 0x4000;
constexpr uint32_t ICM_CONFIGURE = 0x500A;
constexpr uint32_t ICM_COMPRESS_QUERY = ICM_USER + 6;
constexpr intptr_t ICMF_CONFIGURE_QUERY = -1;

constexpr uint32_t VIDCF_QUALITY = 0x0001, VIDCF_CRUNCH = 0x0002, VIDCF_TEMPORAL = 0x0004,
                   VIDCF_COMPRESSFRAMES = 0x0008, VIDCF_DRAW = 0x0010, VIDCF_FASTTEMPORALC = 0x0020;

struct ICINFO {
  uint32_t dwSize = sizeof(ICINFO);
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;
  uint32_t dwFlags = 0;
  uint32_t dwVersion = 0;
  uint32_t dwVersionICM = 0x0104;
  char16_t szName[16] = {};
  char16_t szDescription[128] = {};
  char16_t szDriver[128] = {};
};

// The Index-th compressor of type Type (ICTYPE_VIDEO, or 0 for any); false past the last.
bool ICInfo(FOURCC Type, uint32_t Index, ICINFO* Info);
// An instance of the compressor with that code; null when there is none.
HIC ICOpen(FOURCC Type, FOURCC Handler, uint32_t Mode);
int32_t ICClose(HIC Instance);
// Bytes of Info filled (at most Size).
int32_t ICGetInfo(HIC Instance, ICINFO* Info, uint32_t Size);
// ICERR_OK when the compressor takes Input (Output, when given, must be what it makes of it).
int32_t ICCompressQuery(HIC Instance, const BITMAPINFOHEADER* Input, const BITMAPINFOHEADER* Output);
// A compressor of Handler (0: any) that takes Input; null when none.
HIC ICLocate(FOURCC Type, FOURCC Handler, const BITMAPINFOHEADER* Input, const BITMAPINFOHEADER* Output, uint32_t Mode);
// True when the compressor has a configuration dialog.
bool ICQueryConfigure(HIC Instance);
// Shows the configuration dialog (through the dialog responder: kind "CompressorConfigure", Title
// the compressor's name, Text its quality; an accepted answer's Text is the new quality, kept in
// the settings store for its code). ICERR_OK when accepted, ICERR_ABORT when cancelled.
int32_t ICConfigure(HIC Instance, HWND Parent);
// The messages the calls above stand for: ICM_COMPRESS_QUERY (Param1 the input header, Param2 the
// output) and ICM_CONFIGURE (Param1 ICMF_CONFIGURE_QUERY asks, else the parent window).
intptr_t ICSendMessage(HIC Instance, uint32_t Message, intptr_t Param1, intptr_t Param2);

// ------------------------------------------------------------------------------------- encoding

struct TAviEncodedSample {
  std::vector<uint8_t> Data;
  bool Key = false;
};

// Compresses DIB frames of one input format with one compressor.
class TAviEncoder {
 public:
  TAviEncoder();
  ~TAviEncoder();
  TAviEncoder(const TAviEncoder&) = delete;
  TAviEncoder& operator=(const TAviEncoder&) = delete;

  // Input: the frames' format (header and colour table); Scale / Rate the frame rate. Options give
  // the quality, key-frame interval and data rate. AVIERR_NOCOMPRESSOR for an unknown code,
  // AVIERR_BADFORMAT for a format the compressor does not take, AVIERR_COMPRESSOR when the encoder
  // will not open.
  HRESULT Open(FOURCC Handler, const std::vector<uint8_t>& Input, uint32_t Scale, uint32_t Rate,
               const AVICOMPRESSOPTIONS* Options);
  // The format of the compressed frames (header, then the codec's data).
  const std::vector<uint8_t>& OutputFormat() const { return output_; }
  const TAviCompressor* Compressor() const { return compressor_; }
  // Compresses one frame (rows of the input format, bottom-up); the samples that are ready are
  // appended to Out (an encoder may hold some back until later frames or the flush).
  HRESULT Encode(const void* Bits, int64_t Size, std::vector<TAviEncodedSample>& Out);
  // The samples still held back.
  HRESULT Flush(std::vector<TAviEncodedSample>& Out);
  int32_t Threads() const;
  // Threads the encoder may use (0: the library's choice); set before Open. MediaCodecThreads by
  // default.
  void SetThreads(int32_t Threads) { threads_ = Threads; }

 private:
  HRESULT Receive(std::vector<TAviEncodedSample>& Out);
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
  const TAviCompressor* compressor_ = nullptr;
  std::vector<uint8_t> output_;
  int32_t threads_;
};
