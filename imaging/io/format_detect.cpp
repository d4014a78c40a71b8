#include "imaging/io/format_detect.h"

#include <cstring>

#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/metafile_probe.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/codecs/tga_codec.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/codecs/camera_raw_codec.h"
#include "imaging/io/codecs/dicom_codec.h"
#include "imaging/io/codecs/hdp_codec.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/format_registry.h"
#include "platform/system/streams.h"

TIEMediaFrameCounter MediaFileFrameCounter = nullptr;

namespace {

// A content probe: answers from the bytes at the stream's position, leaving the position anywhere
// (the detection sets it back). Remaining is what the stream holds from the probe's position.
using TContentProbe = bool (*)(TStream& stream, int64_t remaining);
// An image counter of a multi-image format, on a stream at the file's start.
using TStreamImageCounter = int32_t (*)(TStream& stream);

// Reads up to count bytes at the position; true only when all arrived.
bool ReadExactly(TStream& stream, void* buffer, int32_t count) { return stream.Read(buffer, count) == count; }

// The first `bytes` bytes read as a text that ends at the first zero byte equal `tag`.
bool TagTextIs(TStream& stream, int32_t bytes, const char* tag) {
  char buffer[8] = {};
  if (bytes > 8 || !ReadExactly(stream, buffer, bytes)) return false;
  const size_t length = strnlen(buffer, static_cast<size_t>(bytes));
  return length == std::strlen(tag) && std::memcmp(buffer, tag, length) == 0;
}

// The 12-byte stream headers that the I/O component writes before images in a stream.
bool JFIFStreamHeader(TStream& s, int64_t remaining) { return remaining > 12 && TagTextIs(s, 5, "JFIF"); }
bool PCX2StreamHeader(TStream& s, int64_t remaining) { return remaining > 12 && TagTextIs(s, 5, "PCX2"); }
bool PCXStreamHeader(TStream& s, int64_t remaining) { return remaining > 4 && TagTextIs(s, 4, "PCX"); }
bool TIFFStreamHeader(TStream& s, int64_t remaining) { return remaining > 12 && TagTextIs(s, 5, "TIFF"); }

bool GIFSignature(TStream& s, int64_t remaining) {
  char sig[3];
  return remaining > 13 && ReadExactly(s, sig, 3) && std::memcmp(sig, "GIF", 3) == 0;
}

bool BMPSignature(TStream& s, int64_t remaining) {
  char sig[2];
  return remaining > 14 && ReadExactly(s, sig, 2) && sig[0] == 'B' && sig[1] == 'M';
}

// A PCX file header: manufacturer byte 0x0A and a version byte of at most 5.
bool PCXHeader(TStream& s, int64_t remaining) {
  uint8_t head[2];
  return remaining > 128 && ReadExactly(s, head, 2) && head[0] == 0x0A && head[1] <= 5;
}

bool AVISignature(TStream& s, int64_t) { return IsAVIStream(s); }

bool ICODirectory(TStream& s, int64_t) { return IsICOStream(s); }
bool CURDirectory(TStream& s, int64_t) { return IsCURStream(s); }
bool TGAHeader(TStream& s, int64_t) { return IsTGAStream(s); }
bool PXMHeader(TStream& s, int64_t) { return IsPXMStream(s); }
bool DCXTable(TStream& s, int64_t) { return IsDCXStream(s); }
bool WMFHeader(TStream& s, int64_t) { return IsWMFStream(s); }
bool EMFHeader(TStream& s, int64_t) { return IsEMFStream(s); }

// A JPEG start of image, FF D8 FF, at one of the first 150 positions.
bool JPEGStartOfImage(TStream& s, int64_t) { return FindJpegSOI(s, true) >= 0; }

bool JP2Signature(TStream& s, int64_t) { return IsJP2Stream(s); }
// HD Photo files are told by their directory only where the codec can read them.
bool HDPhotoDirectory(TStream& s, int64_t) { return HDPhotoAvailable() && IsHDPhotoStream(s); }
bool DICOMPreamble(TStream& s, int64_t) { return IsDICOMStream(s); }
bool J2KMarkers(TStream& s, int64_t) { return IsJ2KStream(s); }

bool PNGSignature(TStream& s, int64_t remaining) { return remaining > 8 && IsPngStream(s); }

// A TIFF header and first directory that are not a camera raw file. The probes read the TIFF at
// the stream's position through a view that starts there.
bool TIFFHeader(TStream& s, int64_t) {
  TIEBufferedReadStream view(s, 1024, true);
  return IsTIFFStream(view) && !IsCameraRawTIFF(view);
}

// The probes in the order they run; the first that recognises the content decides. An entry without
// a test belongs to a codec that is not built yet; the codec puts its probe into its entry when it is.
struct ProbeEntry {
  TIEFileFormatId format;
  TContentProbe test;
};
constexpr ProbeEntry kProbes[] = {
    {fmtJPEG, JFIFStreamHeader},   // 1  "JFIF" stream header
    {fmtGIF, GIFSignature},        // 2  "GIF"
    {fmtPCX, PCX2StreamHeader},    // 3  "PCX2" stream header
    {fmtPCX, PCXStreamHeader},     // 4  "PCX" stream header
    {fmtBMP, BMPSignature},        // 5  "BM"
    {fmtPCX, PCXHeader},           // 6  PCX file header
    {fmtTIFF, TIFFStreamHeader},   // 7  "TIFF" stream header
    {fmtHDP, HDPhotoDirectory},    // 8  HD Photo directory
    {fmtTIFF, TIFFHeader},         // 9  TIFF header and first directory (camera raw excluded)
    {fmtPNG, PNGSignature},        // 10 PNG signature
    {fmtDICOM, DICOMPreamble},     // 11 "DICM" at byte 128
    {fmtICO, ICODirectory},        // 12 icon directory
    {fmtCUR, CURDirectory},        // 13 cursor directory
    {fmtTGA, TGAHeader},           // 14 Targa header
    {fmtPXM, PXMHeader},           // 15 PBM, PGM, PPM magic
    {fmtJP2, JP2Signature},        // 16 JP2 signature box
    {fmtJ2K, J2KMarkers},          // 17 code-stream markers FF 4F FF 51
    {fmtAVI, AVISignature},        // 18 RIFF AVI
    {fmtDCX, DCXTable},            // 19 DCX magic and page table
    {fmtWMF, WMFHeader},           // 20 Windows metafile
    {fmtEMF, EMFHeader},           // 21 enhanced metafile
    {fmtPSD, nullptr},             // 22 "8BPS"
    {fmtIEV, nullptr},             // 23 vector objects
    {fmtLYR, nullptr},             // 24 layers
    {fmtALL, nullptr},             // 25 layers and objects
    {fmtJPEG, JPEGStartOfImage},   // 26 start of image FF D8 FF within 150 bytes
};
// After these come the content tests of the registry's rows, then the camera-raw identification.
bool CameraRawData(TStream& s, int64_t remaining) { return remaining > 0 && IsCameraRawStream(s); }
constexpr TContentProbe kCameraRawProbe = CameraRawData;

// Image counters of the multi-image formats on a stream at the file's start; an entry without a
// counter belongs to a codec that is not built yet (its files then count 0).
constexpr TStreamImageCounter kGIFFrameCounter = CountGIFFramesInStream;
constexpr TStreamImageCounter kTIFFPageCounter = CountTIFFStreamPages;
constexpr TStreamImageCounter kDCXPageCounter = CountDCXStreamPages;
constexpr TStreamImageCounter kDICOMFrameCounter = DICOMFrameCount;
constexpr TStreamImageCounter kHDPFrameCounter = HDPFrameCount;

int32_t CountInFile(const std::string& fileName, TStreamImageCounter counter) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  return counter ? counter(stream) : 0;
}

// Runs one probe from position p, setting the stream back afterwards.
bool RunProbe(TStream& stream, int64_t p, int64_t remaining, TContentProbe probe) {
  stream.Seek(p, soBeginning);
  const bool match = probe(stream, remaining);
  stream.Seek(p, soBeginning);
  return match;
}

}  // namespace

TIEFileFormatId DetectStreamFormat(TStream& Stream) {
  int64_t p = 0;
  try {
    p = Stream.Position();
  } catch (...) {
    return fmtUnknown;
  }
  TIEFileFormatId result = fmtUnknown;
  try {
    const int64_t remaining = std::max<int64_t>(0, Stream.Size() - p);
    for (const ProbeEntry& entry : kProbes) {
      if (entry.test && RunProbe(Stream, p, remaining, entry.test)) {
        result = entry.format;
        break;
      }
    }
    if (result == fmtUnknown) {
      for (const TIEFileFormatInfoPtr& row : FileFormatRegistry()) {
        if (!row->TestProc) continue;
        Stream.Seek(p, soBeginning);
        const bool match = row->TestProc(Stream, row->FormatId);
        Stream.Seek(p, soBeginning);
        if (match) {
          result = row->FormatId;
          break;
        }
      }
    }
    if (result == fmtUnknown && RunProbe(Stream, p, remaining, kCameraRawProbe)) result = fmtRAW;
  } catch (...) {
    // A probe that raised ends the detection with what was found so far.
  }
  try {
    Stream.Seek(p, soBeginning);
  } catch (...) {
  }
  return result;
}

bool IsAVIStream(TStream& Stream) {
  const int64_t p = Stream.Position();
  char riff[4], avi[4];
  bool match = ReadExactly(Stream, riff, 4) && Stream.Seek(4, soCurrent) >= 0 && ReadExactly(Stream, avi, 4) &&
               std::memcmp(riff, "RIFF", 4) == 0 && std::memcmp(avi, "AVI ", 4) == 0;
  Stream.Seek(p, soBeginning);
  return match;
}

TIEFileFormatId DetectFileFormat(const std::string& FileName, bool MatchExtension) {
  if (FileName.empty() || !FileExists(FileName)) return fmtUnknown;
  TIEFileFormatId result = fmtUnknown;
  try {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    result = DetectStreamFormat(stream);
  } catch (...) {
    return fmtUnknown;
  }
  const TIEFileFormatInfoPtr row = FindFileFormatByExtension(ExtractFileExt(FileName));
  if (row && row->FormatId == fmtRAW && result == fmtTIFF) result = fmtRAW;
  if (row && !row->IsInternal) return row->FormatId;
  if (MatchExtension && result != fmtUnknown) {
    if (!row)
      result = fmtUnknown;
    else if (result == fmtICO || result == fmtCUR)
      result = row->FormatId;
    else if (row->FormatId != result)
      result = fmtUnknown;
  }
  return result;
}

bool IsReadableFileExtension(const std::string& FileName) {
  const TIEFileFormatInfoPtr row = FindFileFormatByExtension(ExtractFileExt(FileName));
  return row && row->ReadProc != nullptr;
}

int32_t CountGIFFrames(const std::string& FileName) {
  try {
    return CountInFile(FileName, kGIFFrameCounter);
  } catch (...) {
    return 0;
  }
}

int32_t CountTIFFPages(const std::string& FileName) { return CountInFile(FileName, kTIFFPageCounter); }

int32_t CountDCXPages(const std::string& FileName) { return CountInFile(FileName, kDCXPageCounter); }

int32_t CountICOImages(const std::string& FileName) { return CountInFile(FileName, ICOImageCount); }

int32_t GetFileImageCount(const std::string& FileName) {
  const TIEFileFormatInfoPtr row = FindFileFormatByExtension(ExtractFileExt(FileName));
  if (row && row->FormatId != fmtUnknown && row->FormatId != fmtAVI) {
    switch (row->FormatId) {
      case fmtTIFF: return CountTIFFPages(FileName);
      case fmtGIF: return CountGIFFrames(FileName);
      case fmtICO: return CountICOImages(FileName);
      case fmtDCX: return CountDCXPages(FileName);
      case fmtDICOM: return CountInFile(FileName, kDICOMFrameCounter);
      case fmtHDP: return CountInFile(FileName, kHDPFrameCounter);
      default: return 1;
    }
  }
  return MediaFileFrameCounter ? MediaFileFrameCounter(FileName) : 0;
}
