// The TIFF-family content probes, the EXIF header finder, and the TIFF entry of the format registry.
#include <algorithm>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/codecs/tiff_directory.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "platform/system/streams.h"

namespace {

// Loads IFD 0 of the TIFF at position 0 of the stream; false when there is none.
bool LoadFirstDirectory(TStream& stream, TTIFFDirectory& dir, bool& intel, uint16_t& version) {
  uint32_t first = 0;
  if (stream.Size() <= 8 || !TIFFReadHeader(stream, 0, intel, version, first)) return false;
  dir.IntelOrder = intel;
  dir.Stream = &stream;
  dir.Origin = 0;
  int32_t count = 0;
  return first != 0 && TIFFReadDirectory(0, first, dir, count);
}

}  // namespace

bool IsTIFFStream(TStream& Stream) {
  try {
    TIEStreamPositionKeeper keep(Stream);
    TIEBufferedReadStream s(Stream, 1024, BufferedStreamRelativeOrigin);
    const int64_t size = s.Size();
    if (size <= 8) return false;
    uint8_t h[9];
    s.Seek(0, soBeginning);
    if (s.Read(h, 9) != 9) return false;
    const bool ii = h[0] == 'I' && h[1] == 'I', mm = h[0] == 'M' && h[1] == 'M';
    if (!ii && !mm) return false;
    const uint32_t first = ii ? (h[4] | h[5] << 8 | h[6] << 16 | uint32_t(h[7]) << 24)
                              : (uint32_t(h[4]) << 24 | h[5] << 16 | h[6] << 8 | h[7]);
    if (first >= size || (mm && h[8] == 0xBA)) return false;
    TTIFFDirectory dir;
    bool intel;
    uint16_t version;
    if (!LoadFirstDirectory(s, dir, intel, version)) return false;
    return TIFFFindTag(dir, tagImageWidth) >= 0 && TIFFFindTag(dir, tagImageLength) >= 0;
  } catch (const std::exception&) {
    return false;
  }
}

bool IsCameraRawTIFF(TStream& Stream) {
  try {
    TIEStreamPositionKeeper keep(Stream);
    TTIFFDirectory dir;
    bool intel;
    uint16_t version;
    if (!LoadFirstDirectory(Stream, dir, intel, version)) return false;
    const int32_t dng = TIFFFindTag(dir, tagDNGVersion);
    if (dng >= 0 && dir.Entries[dng].FieldType == ttBYTE && dir.Entries[dng].Count == 4) return true;
    const int32_t ph = TIFFFindTag(dir, tagPhotometric);
    if (ph >= 0 && dir.Entries[ph].FieldType == ttSHORT && dir.Entries[ph].Count == 1) {
      const int64_t v = TIFFReadInteger(dir, tagPhotometric, 0);
      if (v == 32803 || v == 34892) return true;
    }
    if (TIFFFindTag(dir, tagSubIFDs) >= 0 && TIFFFindTag(dir, tagTIFFEPStandardID) >= 0) {
      const int64_t w = TIFFReadInteger(dir, tagImageWidth, -1), h = TIFFReadInteger(dir, tagImageLength, -1);
      if (w >= 0 && h >= 0 && w < 200 && h < 200) return true;
    }
    return false;
  } catch (const std::exception&) {
    return false;
  }
}

bool IsHDPhotoStream(TStream& Stream) {
  try {
    TIEStreamPositionKeeper keep(Stream);
    TIEBufferedReadStream s(Stream, 1024, BufferedStreamRelativeOrigin);
    TTIFFDirectory dir;
    bool intel;
    uint16_t version;
    if (!LoadFirstDirectory(s, dir, intel, version) || !intel) return false;
    for (uint16_t tag : {48256, 48257, 48129, 48320, 48321})
      if (TIFFFindTag(dir, tag) < 0) return false;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

int64_t FindTIFFHeader(TStream& Stream) {
  try {
    TIEStreamPositionKeeper keep(Stream);
    const int64_t start = Stream.Position();
    const int64_t size = Stream.Size();
    const int64_t span = std::min<int64_t>(size - start, 128 * 1024);
    if (span < 8) return -1;
    std::vector<uint8_t> buf(static_cast<size_t>(span));
    Stream.Seek(start, soBeginning);
    const int32_t got = Stream.Read(buf.data(), static_cast<int32_t>(span));
    for (int64_t i = 0; i + 8 <= got; ++i) {
      const uint8_t* p = buf.data() + i;
      const bool ii = p[0] == 'I' && p[1] == 'I', mm = p[0] == 'M' && p[1] == 'M';
      if (!ii && !mm) continue;
      const uint16_t version = ii ? (p[2] | p[3] << 8) : (p[2] << 8 | p[3]);
      if (version != 42 && version != 0x4F52 && version != 0x5352) continue;
      const uint32_t first = ii ? (p[4] | p[5] << 8 | p[6] << 16 | uint32_t(p[7]) << 24)
                                : (uint32_t(p[4]) << 24 | p[5] << 16 | p[6] << 8 | p[7]);
      // The first directory lies inside the stream, counted from the header.
      if (first >= 8 && start + i + static_cast<int64_t>(first) < size) return start + i;
    }
    return -1;
  } catch (const std::exception&) {
    return -1;
  }
}

void TIFFCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly) {
  std::unique_ptr<TIEMask> mask;
  int32_t pages = 0;
  ReadTIFFStream(&Bitmap, Stream, pages, &Params, Progress, ParamsOnly, mask, false, ParamsOnly, false);
  if (mask && !Progress.IsAborting()) {
    if (TIEBitmap* alpha = Bitmap.GetAlphaChannel()) alpha->CopyFromMask(mask.get());
  }
}
