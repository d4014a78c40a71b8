#pragma once
// The AVI file services' types and constants in the shapes the system's code was written against:
// four-character codes, the stream information record, the compression options, the result codes
// and the flags of the AVI calls (avi_file.h) and of the compressor manager (avi_compressors.h).
#include <cstdint>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/system/interfaces.h"
#include "platform/system/types.h"

// ------------------------------------------------------------------------- four-character codes

using FOURCC = uint32_t;

// The four characters in storage order (the first is the lowest byte).
constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
constexpr uint32_t MMIO_TOUPPER = 0x0010;
// The first four characters of Text (blanks pad a shorter one), upper-cased with MMIO_TOUPPER.
FOURCC mmioStringToFOURCC(const std::string& Text, uint32_t Flags);
// The four characters of a code as text (NULs kept out: a code ends at its first NUL).
std::string FOURCCToString(FOURCC Code);
// Two codes that name the same thing regardless of letter case.
bool SameFOURCC(FOURCC A, FOURCC B);

constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = mmioFOURCC('a', 'u', 'd', 's');
constexpr FOURCC streamtypeMIDI = mmioFOURCC('m', 'i', 'd', 's');
constexpr FOURCC streamtypeTEXT = mmioFOURCC('t', 'x', 't', 's');
constexpr FOURCC ICTYPE_VIDEO = mmioFOURCC('v', 'i', 'd', 'c');
constexpr FOURCC comptypeDIB = mmioFOURCC('D', 'I', 'B', ' ');

// -------------------------------------------------------------------------------- result codes

constexpr HRESULT MakeAviErr(int Error) { return static_cast<HRESULT>(0x80040000u | (0x4000u + static_cast<uint32_t>(Error))); }
constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = MakeAviErr(101);   // 0x80044065
constexpr HRESULT AVIERR_BADFORMAT = MakeAviErr(102);
constexpr HRESULT AVIERR_MEMORY = MakeAviErr(103);        // 0x80044067
constexpr HRESULT AVIERR_INTERNAL = MakeAviErr(104);
constexpr HRESULT AVIERR_BADFLAGS = MakeAviErr(105);
constexpr HRESULT AVIERR_BADPARAM = MakeAviErr(106);
constexpr HRESULT AVIERR_BADSIZE = MakeAviErr(107);
constexpr HRESULT AVIERR_BADHANDLE = MakeAviErr(108);
constexpr HRESULT AVIERR_FILEREAD = MakeAviErr(109);
constexpr HRESULT AVIERR_FILEWRITE = MakeAviErr(110);
constexpr HRESULT AVIERR_FILEOPEN = MakeAviErr(111);
constexpr HRESULT AVIERR_COMPRESSOR = MakeAviErr(112);
constexpr HRESULT AVIERR_NOCOMPRESSOR = MakeAviErr(113);  // 0x80044071
constexpr HRESULT AVIERR_READONLY = MakeAviErr(114);
constexpr HRESULT AVIERR_NODATA = MakeAviErr(115);
constexpr HRESULT AVIERR_BUFFERTOOSMALL = MakeAviErr(116);
constexpr HRESULT AVIERR_CANTCOMPRESS = MakeAviErr(117);
constexpr HRESULT AVIERR_USERABORT = MakeAviErr(198);     // 0x800440C6
constexpr HRESULT AVIERR_ERROR = MakeAviErr(199);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

// ----------------------------------------------------------------------------------- open modes

constexpr uint32_t OF_READ = 0x0000;
constexpr uint32_t OF_WRITE = 0x0001;
constexpr uint32_t OF_READWRITE = 0x0002;
constexpr uint32_t OF_SHARE_DENY_WRITE = 0x0020;
constexpr uint32_t OF_CREATE = 0x1000;

// ------------------------------------------------------------------------------ sample flags

constexpr uint32_t AVIIF_LIST = 0x00000001;
constexpr uint32_t AVIIF_KEYFRAME = 0x00000010;
constexpr uint32_t AVIIF_NO_TIME = 0x00000100;

// ----------------------------------------------------------------------- stream information

// The stream information record (204 bytes): the stream header of the file with the stream's name.
struct AVISTREAMINFOW {
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;
  uint32_t dwFlags = 0;
  uint32_t dwCaps = 0;
  uint16_t wPriority = 0;
  uint16_t wLanguage = 0;
  uint32_t dwScale = 0;
  uint32_t dwRate = 0;
  uint32_t dwStart = 0;
  uint32_t dwLength = 0;
  uint32_t dwInitialFrames = 0;
  uint32_t dwSuggestedBufferSize = 0;
  int32_t dwQuality = 0;
  uint32_t dwSampleSize = 0;
  RECT rcFrame{};
  uint32_t dwEditCount = 0;
  uint32_t dwFormatChangeCount = 0;
  char16_t szName[64] = {};
};
static_assert(sizeof(AVISTREAMINFOW) == 204);
using AVISTREAMINFO = AVISTREAMINFOW;

// The stream's name as UTF-8, and set from UTF-8 (cut to 63 characters).
std::string StreamInfoName(const AVISTREAMINFOW& Info);
void SetStreamInfoName(AVISTREAMINFOW& Info, const std::string& Name);

// -------------------------------------------------------------------------- compression options

constexpr uint32_t AVICOMPRESSF_INTERLEAVE = 0x01;
constexpr uint32_t AVICOMPRESSF_DATARATE = 0x02;
constexpr uint32_t AVICOMPRESSF_KEYFRAMES = 0x04;
constexpr uint32_t AVICOMPRESSF_VALID = 0x08;

struct AVICOMPRESSOPTIONS {
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;
  uint32_t dwKeyFrameEvery = 0;
  uint32_t dwQuality = 0;        // 0 ... 10000; ICQUALITY_DEFAULT (-1 as unsigned) for the default
  uint32_t dwBytesPerSecond = 0;
  uint32_t dwFlags = 0;
  void* lpFormat = nullptr;
  uint32_t cbFormat = 0;
  void* lpParms = nullptr;
  uint32_t cbParms = 0;
  uint32_t dwInterleaveEvery = 0;
};
using LPAVICOMPRESSOPTIONS = AVICOMPRESSOPTIONS*;

constexpr int32_t ICQUALITY_LOW = 0;
constexpr int32_t ICQUALITY_HIGH = 10000;
constexpr int32_t ICQUALITY_DEFAULT = -1;

// AVISaveOptions flags.
constexpr uint32_t ICMF_CHOOSE_KEYFRAME = 0x0001;
constexpr uint32_t ICMF_CHOOSE_DATARATE = 0x0002;
constexpr uint32_t ICMF_CHOOSE_PREVIEW = 0x0004;
constexpr uint32_t ICMF_CHOOSE_ALLCOMPRESSORS = 0x0008;

// The palette-change record of a video stream ('xxpc' chunks): entries from bFirstEntry on, 0 in
// bNumEntries meaning 256; each entry red, green, blue, flags.
struct AVIPALCHANGE_HEADER {
  uint8_t bFirstEntry = 0;
  uint8_t bNumEntries = 0;
  uint16_t wFlags = 0;
};
static_assert(sizeof(AVIPALCHANGE_HEADER) == 4);
