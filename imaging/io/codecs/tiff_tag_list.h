#pragma once
// The directory of a TIFF page being written: its entries wait in a list while their out-of-line
// values go to the stream as each tag is added, and the directory itself is written last, its
// entries sorted by tag.
//
// Files are written little-endian. An entry's value is kept as the 32-bit word of the file: an
// inline SHORT in its low 16 bits, inline bytes from the lowest byte upward. Every offset written is
// the absolute position in the stream; a position that does not fit in 32 bits fails the write.
// Every out-of-line value starts on an even position.
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/io/codecs/tiff_directory.h"

class TStream;
class TIEIntegerList;
class TIETagsHandler;
class TIOParamsVals;

struct TTIFFTagList {
  TTIFFTagList(TStream& Stream, bool& Failed) : Stream(Stream), Failed(Failed) {}

  TStream& Stream;
  // Set by any write that fell short (or any position past 4 GB); never cleared here.
  bool& Failed;
  std::vector<TTIFFTagEntry> Entries;

  // Adds an entry, replacing an earlier one of the same tag.
  void Add(uint16_t Tag, uint16_t Type, uint32_t Count, uint32_t Value);
  // Writes Count bytes at the stream's position (after one zero byte when that position is odd)
  // and returns where they start; 0 after a failure.
  uint32_t WriteData(const void* Data, int64_t Count);
};

// One zero byte when the stream's position is odd.
void TIFFWordAlign(TTIFFTagList& List);
// The stream's position as a file offset; 0, with Failed set, when it does not fit in 32 bits.
uint32_t TIFFStreamOffset(TTIFFTagList& List);

// The tag builders. A Filter, when given, drops the tag unless its number is in the list.
void TIFFAddLong(TTIFFTagList& List, uint16_t Tag, uint32_t V);
void TIFFAddShort(TTIFFTagList& List, uint16_t Tag, uint32_t V, const TIEIntegerList* Filter = nullptr);
void TIFFAddByte(TTIFFTagList& List, uint16_t Tag, uint32_t V);
void TIFFAddUndefined(TTIFFTagList& List, uint16_t Tag, uint32_t V, const TIEIntegerList* Filter = nullptr);
// ASCII or BYTE values of at most 4 characters, inline; the count is the text's length (no NUL).
void TIFFAddInlineAscii(TTIFFTagList& List, uint16_t Tag, const std::string& S);
void TIFFAddInlineBytes(TTIFFTagList& List, uint16_t Tag, const std::string& S);
// An ASCII value: none for an empty text, inline up to 4 characters, else the text and a NUL.
void TIFFAddAscii(TTIFFTagList& List, uint16_t Tag, const std::string& S);
// A RATIONAL (or, with Signed, an SRATIONAL) close to X within 5e-9. An unsigned rational of a
// negative value is written 0.
void TIFFAddRational(TTIFFTagList& List, uint16_t Tag, double X, const TIEIntegerList* Filter = nullptr,
                     bool Signed = false);
void TIFFAddRationalArray(TTIFFTagList& List, uint16_t Tag, const std::vector<double>& Values);
// SHORT values: 1 or 2 inline, more out of line. LONG values: always out of line.
void TIFFAddShortArray(TTIFFTagList& List, uint16_t Tag, const std::vector<uint32_t>& Values);
void TIFFAddLongArray(TTIFFTagList& List, uint16_t Tag, const std::vector<uint32_t>& Values);
// A UTF-8 text as UTF-16 BYTEs and a zero character (the XP tags); none for an empty text.
void TIFFAddWideString(TTIFFTagList& List, uint16_t Tag, const std::string& W);
// The EXIF user comment (37510): the 8-byte code and the text, "UNICODE" in UTF-16, "ASCII" in
// Windows-1252. Nothing for an empty comment or a code that is neither of the two (an empty code
// counts as "UNICODE").
void TIFFAddUserComment(TTIFFTagList& List, const std::string& Code, const std::string& W);
// The maker note in its maker's layout; nothing when the note holds fewer than 13 bytes.
void TIFFAddMakerNote(TTIFFTagList& List, uint16_t Tag, TIETagsHandler& Handler);
// IPTC (33723) without the Photoshop header, as LONGs: the block zero-padded to a multiple of 4.
void TIFFAddIPTC(TTIFFTagList& List, TIOParamsVals& Params);
// XMP (700) as BYTEs; nothing when empty.
void TIFFAddXMP(TTIFFTagList& List, TIOParamsVals& Params);
// The Wang annotation block (32932) as BYTEs; nothing without annotations.
void TIFFAddAnnotations(TTIFFTagList& List, TIOParamsVals& Params);
// The input ICC profile (34675) when it is valid and was not applied to the pixels.
void TIFFAddICC(TTIFFTagList& List, TIOParamsVals& Params);

// Writes the directory at the next even position: the entry count, the entries sorted by tag and
// Next. Returns its position (0 after a failure).
uint32_t TIFFWriteIFD(TTIFFTagList& List, uint32_t Next);
