#pragma once
// The structure of TIFF files, shared by the TIFF reader, the TIFF writer, the TIFF-family probes and
// the EXIF block routines: the 8-byte header, image file directories (IFDs) and their 12-byte
// entries, the walk along a chain of directories and the readers of tag values.
//
// Every offset in a file is added to an origin: the position where the TIFF begins, or 0 when its
// offsets count from the start of the stream. Everything read from a file is checked against the
// stream before it is read or allocated: a value that does not lie inside the stream reads as
// absent, chains of directories stop at any cycle, and no count makes memory grow beyond what the
// stream holds.
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ie_rgb.h"
#include "imaging/core/ie_tiff_handler.h"

class TStream;

// Tags the TIFF codec and the EXIF routines read or write.
enum TTIFFTag : uint16_t {
  tagNewSubfileType = 254, tagImageWidth = 256, tagImageLength = 257, tagBitsPerSample = 258,
  tagCompression = 259, tagPhotometric = 262, tagFillOrder = 266, tagDocumentName = 269,
  tagImageDescription = 270, tagMake = 271, tagModel = 272, tagStripOffsets = 273, tagOrientation = 274,
  tagSamplesPerPixel = 277, tagRowsPerStrip = 278, tagStripByteCounts = 279, tagXResolution = 282,
  tagYResolution = 283, tagPlanarConfig = 284, tagPageName = 285, tagXPosition = 286, tagYPosition = 287,
  tagT4Options = 292, tagT6Options = 293, tagResolutionUnit = 296, tagPageNumber = 297, tagSoftware = 305,
  tagDateTime = 306, tagArtist = 315, tagPredictor = 317, tagWhitePoint = 318,
  tagPrimaryChromaticities = 319, tagColorMap = 320, tagTileWidth = 322, tagTileLength = 323,
  tagTileOffsets = 324, tagTileByteCounts = 325, tagSubIFDs = 330, tagInkSet = 332, tagExtraSamples = 338,
  tagJPEGTables = 347, tagJPEGProc = 512, tagJPEGInterchangeFormat = 513,
  tagJPEGInterchangeFormatLength = 514, tagYCbCrCoefficients = 529, tagYCbCrSubSampling = 530,
  tagYCbCrPositioning = 531, tagReferenceBlackWhite = 532, tagXMP = 700, tagRating = 18246,
  tagWangAnnotation = 32932, tagCopyright = 33432, tagIPTC = 33723, tagExifIFD = 34665, tagICCProfile = 34675,
  tagGPSIFD = 34853, tagTIFFEPStandardID = 37398, tagMakerNote = 37500, tagUserComment = 37510,
  tagXPTitle = 40091, tagXPComment = 40092, tagXPAuthor = 40093, tagXPKeywords = 40094, tagXPSubject = 40095,
  tagDNGVersion = 50706,
};

// One directory entry as loaded. For a big-endian ("MM") file every entry is converted when the
// directory is loaded: tag and type as 16-bit values, count and value as 32-bit values. An inline
// value is therefore a 32-bit word in native order, in which an inline SHORT of a big-endian file
// lies in the upper 16 bits and an inline BYTE in the top 8; in a little-endian file they lie in the
// low bits.
struct TTIFFTagEntry {
  uint16_t Tag = 0;
  uint16_t FieldType = 0;
  uint32_t Count = 0;
  uint32_t Value = 0;
};

// One directory held by a read: its entries (empty when no IFD was loaded) and where they came from.
struct TTIFFDirectory {
  bool IntelOrder = true;
  TStream* Stream = nullptr;
  std::vector<TTIFFTagEntry> Entries;
  int64_t Origin = 0;
  int64_t StreamSize = 0;  // the stream's size, taken when the directory was loaded

  uint16_t EntryCount() const { return static_cast<uint16_t>(Entries.size()); }
  bool Loaded() const { return !Entries.empty(); }
};

// Pages a chain of directories may hold; a longer chain is cut there.
constexpr int32_t kTIFFMaxPages = 65536;

// Whether [Origin + Offset, + Bytes) lies inside a stream of StreamSize bytes (overflow-safe).
bool TIFFRangeInside(int64_t Origin, int64_t Offset, int64_t Bytes, int64_t StreamSize);

// Reads the 8-byte header at Origin: "II" or "MM" (nothing else), the version word (not examined)
// and the first IFD offset (in the file's byte order). False when the bytes are not there or the
// byte order mark is neither.
bool TIFFReadHeader(TStream& Stream, int64_t Origin, bool& IntelOrder, uint16_t& Version, uint32_t& FirstIFD);

// Walks the chain of directories from FirstOffset and loads the entries of directory PageIndex
// (-1 loads none and only counts) into Directory. Count receives the number of directories in the
// chain. The chain ends at an entry count of 0, at a directory whose entries or next offset do not
// fit in the stream (that directory is not counted), at a next offset of 0, below 8 or outside the
// stream, at any offset already visited, and after kTIFFMaxPages directories. Returns true when
// the entries of PageIndex were loaded. Directory.IntelOrder, Stream and Origin must be set.
bool TIFFReadDirectory(int32_t PageIndex, uint32_t FirstOffset, TTIFFDirectory& Directory, int32_t& Count);
// Loads the single directory at Offset (a sub-IFD, the EXIF or GPS directory) into Directory,
// which keeps its byte order, stream and origin. False when it is not there.
bool TIFFLoadDirectoryAt(uint32_t Offset, TTIFFDirectory& Directory);

// Tag readers; all give the caller's default when the tag is absent.
// The index of the first entry with that tag; -1 when absent.
int32_t TIFFFindTag(const TTIFFDirectory& Dir, uint16_t Tag);
// The inline value: BYTE, SBYTE, SHORT and SSHORT taken from the place the byte order gives (signed
// types sign-extended), SLONG signed, any other type the whole 32-bit word.
int64_t TIFFReadInteger(const TTIFFDirectory& Dir, uint16_t Tag, int64_t Default);
// Numerator / denominator of a RATIONAL (unsigned) or SRATIONAL (signed) at the value offset; a
// denominator of 0 counts as 1. Default when the value is not inside the stream.
double TIFFReadRational(const TTIFFDirectory& Dir, uint16_t Tag, double Default);
// Item Index of a RATIONAL or SRATIONAL array; Default when Index is not below the count.
double TIFFReadRationalAt(const TTIFFDirectory& Dir, uint16_t Tag, int32_t Index, double Default);
// Item Index of a BYTE, SHORT or LONG array (inline when the values take at most 4 bytes); Default
// for other types, for Index not below the count and for items outside the stream.
int64_t TIFFReadIntegerAt(const TTIFFDirectory& Dir, uint16_t Tag, int32_t Index, int64_t Default);
// All items of a BYTE, SHORT or LONG value; empty when absent or when they do not lie in the stream.
std::vector<int64_t> TIFFReadIntegerArray(const TTIFFDirectory& Dir, uint16_t Tag);
// The value's bytes (Count x type size; inline when at most 4) in file order; empty when they do
// not lie in the stream.
std::vector<uint8_t> TIFFReadRawBlock(const TTIFFDirectory& Dir, uint16_t Tag);
// An ASCII value: empty when absent or of 1048576 bytes or more; cut before the first NUL when asked.
std::string TIFFReadAscii(const TTIFFDirectory& Dir, uint16_t Tag, bool CutAtNul = true);
// A UTF-16 little-endian text (the XP* tags) as UTF-8: a count of at most 4 gives the single
// character in the low 16 bits of the value, otherwise (Count - 2) / 2 characters at the offset;
// 1048576 bytes or more read nothing.
std::string TIFFReadWideString(const TTIFFDirectory& Dir, uint16_t Tag);
// The count (1 to 4) inline bytes in file order; empty for other counts.
std::string TIFFReadInlineBytes(const TTIFFDirectory& Dir, uint16_t Tag);
// BitsPerSample: 1 when absent, the value for one item, else the common value of all items; -1 when
// the items differ or do not lie in the stream.
int32_t TIFFReadBitsPerSample(const TTIFFDirectory& Dir);
// The colour map of a page of BitsPerSample bits: 2^bits entries from 3 x 2^bits SHORT values (all
// reds, then greens, then blues), taken as 8-bit values when all are below 256, otherwise their high
// bytes. Empty when BitsPerSample is not 1..16, when the tag does not hold exactly 3 x 2^bits
// SHORT values or when they do not lie in the stream.
std::vector<TIERGB> TIFFReadColorMap(const TTIFFDirectory& Dir, int32_t BitsPerSample);
// ExtraSamples: at most the first 10 values.
std::vector<int32_t> TIFFReadExtraSamples(const TTIFFDirectory& Dir);
// The value offset of an entry as a stream position (origin added); -1 when absent.
int64_t TIFFValuePosition(const TTIFFDirectory& Dir, uint16_t Tag);
