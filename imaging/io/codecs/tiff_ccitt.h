#pragma once
// The bilevel fax coder: modified Huffman rows (TIFF compression 2), ITU-T T.4 one- and
// two-dimensional rows (compression 3, "Group 3") and T.6 rows (compression 4, "Group 4"). The TIFF
// reader and writer call it row by row; the PostScript and PDF writers use the G3 2-D and G4 row
// encoders for their CCITTFaxDecode images.
//
// Pixel convention: the decoders produce rows in which a 1 bit is white (the ie1g convention); the
// encoders take rows in which a 0 bit is white and a 1 bit black (TIFF's WhiteIsZero). Rows are
// packed most significant bit first, ceil(Width / 8) bytes.
//
// Bit order of the data: FillOrder 1 reads and writes each byte from its most significant bit,
// FillOrder 2 from its least significant bit.
//
// The code tables are constant and built when the program is compiled, so the coder holds no
// state of its own: any number of threads may decode and encode at once.
#include <cstdint>
#include <vector>

class TStream;

// Entry numbers of a run-code table (one per colour): 0..63 terminating codes of runs 0..63,
// 64..103 makeup codes of 64..1728 then the extended makeup codes 1792..2560, 104 EOL, 105..107
// eight, nine or ten zero bits and a one (skipped), 108..127 EOL after 1..20 further zero bits.
// CCITTDecodeRun answers 127 past the data and 128 for bits that are no code.
constexpr int32_t kCCITTEntryEOL = 104;
constexpr int32_t kCCITTEntryPastData = 127;
constexpr int32_t kCCITTEntryNoCode = 128;
// The run of an entry: the run length, -3 for EOL, -1 for a skip code.
int32_t CCITTEntryRun(int32_t Entry);

// The 32 data bits from BitPos, the first in the most significant place. Bytes past Length read 0.
uint32_t CCITTReadBits(const uint8_t* Data, int32_t Length, int64_t BitPos, int32_t FillOrder);
// The entry of the run code of that colour (White true) at BitPos; Bits receives its length.
int32_t CCITTDecodeRun(const uint8_t* Data, int32_t Length, int64_t BitPos, bool White, int32_t FillOrder,
                       int32_t& Bits);
// Clears Count bits from Start (1 = white rows), clipped to [0, Width); a negative count clears nothing.
void CCITTFillBlack(uint8_t* Row, int32_t Start, int32_t Count, int32_t Width);
// The first position at or after Start whose pixel equals Value (a set bit when Value is true);
// Width when there is none. A Start below 0 counts as 0.
int32_t CCITTNextChange(const uint8_t* Row, int32_t Start, int32_t Width, bool Value);

// Decoders. Row receives ceil(Width / 8) bytes; Length is the data length in bytes; BitPos the bit
// position of the row's first code. Nothing past Length is read; a row ends at its width, at an
// EOL or at the end of the data, and what was not painted stays white.
// One compression-2 row from Data's first bit: returns the bytes it used, rounded up.
int32_t CCITTDecodeMHRow(uint8_t* Row, const uint8_t* Data, int32_t Length, int32_t Width, int32_t FillOrder);
// One G3 1-D row: returns the bit position after it.
int64_t CCITTDecode1DRow(uint8_t* Row, const uint8_t* Data, int32_t Length, int32_t Width, int64_t BitPos,
                         int32_t FillOrder);
// One 2-D row (G3 2-D when EOLTolerant, G4 otherwise) against RefRow (1 = white, all white for the
// first row of a G4 strip), which then receives the decoded row. Returns the bit position after it.
int64_t CCITTDecode2DRow(uint8_t* Row, const uint8_t* Data, int32_t Length, int32_t Width, uint8_t* RefRow,
                         int64_t BitPos, int32_t FillOrder, bool EOLTolerant);

// Encoders. Failed is set (and the encoder goes on) when the stream takes fewer bytes than given.
// PendingByte and PendingBits carry the bits of a strip that do not fill a byte yet; RefRow the
// previous row of the strip (empty at the strip's start). A nil Row ends the strip: G3 2-D writes
// one more EOL, G4 two (EOFB), and every encoder writes its pending bits padded with zeros to a
// byte and empties RefRow.
// One compression-2 row, padded to a whole byte and written.
void CCITTEncodeMHRow(const uint8_t* Row, int32_t Width, TStream& Stream, bool& Failed, int32_t FillOrder);
// One G3 1-D row: EOL, then its runs (T.4 starts every coded line with EOL).
void CCITTEncode1DRow(const uint8_t* Row, int32_t Width, TStream& Stream, uint8_t& PendingByte,
                      int32_t& PendingBits, bool& Failed, int32_t FillOrder);
// One G3 2-D row: EOL, tag bit 1 and 1-D coding for the strip's first row; EOL, tag bit 0 and 2-D
// coding against the previous row after it.
void CCITTEncodeG3Row2D(const uint8_t* Row, int32_t Width, TStream& Stream, uint8_t& PendingByte,
                        int32_t& PendingBits, std::vector<uint8_t>& RefRow, bool& Failed, int32_t FillOrder);
// One G4 row, 2-D against the previous row (an all-white row for the strip's first).
void CCITTEncodeG4Row(const uint8_t* Row, int32_t Width, TStream& Stream, uint8_t& PendingByte,
                      int32_t& PendingBits, std::vector<uint8_t>& RefRow, bool& Failed, int32_t FillOrder);

// Start-up and shut-down of the coder (engine start-up step 9). The tables are compile-time
// constants, so there is nothing to build or free; the calls remain for the start-up's shape.
void InitializeTifCCITT();
void FinalizeTifCCITT();
