#pragma once
// Media types in the media framework's shape: one record (major type, subtype, sample traits and a
// format block) for every kind of stream the media services hand out, and the format blocks that
// follow it. The sample buffer types its frames with it; the media components reuse it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/system/guid.h"
#include "platform/system/types.h"

// Major types, subtypes and format types (the framework's identifiers).
extern const TGUID MEDIATYPE_Video;     // {73646976-0000-0010-8000-00AA00389B71}
extern const TGUID MEDIATYPE_Audio;     // {73647561-0000-0010-8000-00AA00389B71}
extern const TGUID MEDIASUBTYPE_RGB24;  // {E436EB7D-524F-11CE-9F53-0020AF0BA770}
extern const TGUID MEDIASUBTYPE_PCM;    // {00000001-0000-0010-8000-00AA00389B71}
extern const TGUID FORMAT_VideoInfo;    // {05589F80-C356-11CE-BF01-00AA0055595A}
extern const TGUID FORMAT_WaveFormatEx; // {05589F81-C356-11CE-BF01-00AA0055595A}
extern const TGUID GUID_NULL;

// Units of 100 ns.
using REFERENCE_TIME = int64_t;

// The format block of a video type: 88 bytes, the bitmap header at offset 48.
struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  REFERENCE_TIME AvgTimePerFrame = 0;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88 && offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

// The format block of a PCM audio type (18 bytes).
#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag = 1;  // WAVE_FORMAT_PCM
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// One media type. The format block is owned by the record (a copy travels with every copy).
struct TMediaType {
  TGUID majortype{};
  TGUID subtype{};
  bool bFixedSizeSamples = false;
  bool bTemporalCompression = false;
  uint32_t lSampleSize = 0;
  TGUID formattype{};
  std::vector<uint8_t> format;

  // The format block as a VIDEOINFOHEADER when the format type says so and the block is big
  // enough; nil otherwise.
  const VIDEOINFOHEADER* VideoInfo() const;
  VIDEOINFOHEADER* VideoInfo();
};

// Bytes of one row of a 24-bit DIB: width x 3 rounded up to 4.
inline int64_t DibRowLength24(int64_t Width) { return (Width * 3 + 3) & ~int64_t{3}; }

// The type of the frames the sample buffer holds: uncompressed 24-bit rows, bottom-up, padded to 4
// bytes (blue, green, red), Width x Height, with AvgTimePerFrame (100 ns, 0 when unknown).
TMediaType MakeRGB24VideoType(int32_t Width, int32_t Height, REFERENCE_TIME AvgTimePerFrame);
// The type of interleaved 16-bit PCM.
TMediaType MakePCMAudioType(int32_t Channels, int32_t SampleRate);
