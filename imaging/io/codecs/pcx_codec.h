#pragma once
// The PCX codec (format id 4) and multi-page DCX files (format id 19). Little-endian throughout.
//
// A PCX file is a 128-byte header, the rows plane line by plane line (each BytesPerLine bytes before
// coding, run-length coded or not) and, for 8-bit single-plane files, the byte 12 and a 768-byte
// palette (red, green, blue) at the end of the data. A DCX file is the magic 0x3ADE68B1, a table of
// up to 1023 page offsets ended by 0, then the pages, each a PCX file.
#include <cstdint>
#include <vector>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// Reads the PCX that starts at the stream's position and is DataSize bytes long (the end palette of
// 8-bit files is the last 768 bytes of it). Layouts decoded: 1, 2, 4 or 8 bits in 1 to 4 planes
// whose bits together make an index of 1 to 4 bits (through the header's 16 colours), 8 bits in one
// plane (through the end palette), 8 bits in 3 or 4 planes (red, green, blue; a fourth plane is not
// read). One-bit files in black and white (or with no colours given) come as ie1g, everything else
// as ie24RGB. Failures set the abort flag: a bad header (manufacturer, encoding, depth, planes,
// bounds, a line shorter than its pixels), a DataSize below the header and palette or past the
// stream, a layout not decoded, a bitmap that cannot be allocated, data that ends before the last
// row (the rows read stay).
void ReadPCXStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, int64_t DataSize,
                   TIEProgressRecord& Progress, bool ParamsOnly);

// Writes Bitmap as a PCX at the stream's position. Params.BitsPerSample x SamplesPerPixel (samples
// above 3 count as 3) chooses 1 bit (two-colour images keep their colours in the header, the darker
// as 0), 4 bits (16 colours in the header), 8 bits (256 colours in the end palette) or 24 bits in
// three planes; any other total writes 24 bits and the record says so. Params.PcxCompression turns
// run-length coding on, Params.PcxVersion and the resolution go to the header. A short write sets
// the abort flag (and no end palette follows).
void WritePCXStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// The decoder's place in the data between plane lines: a run that reaches past the end of a line
// carries its rest into the next.
struct TPCXLineState {
  int64_t Position = 0;
  int32_t RunCount = 0;
  uint8_t RunValue = 0;
};
// Fills Count bytes of Line from Data (Size bytes), run-length decoded when RLE. False when the data
// ended first; the rest of the line is then 0.
bool PCXReadLine(const uint8_t* Data, int64_t Size, bool RLE, TPCXLineState& State, uint8_t* Line, int32_t Count);
// Run-length codes Count bytes of Source taken every Stride bytes from Offset into Dest (room for
// 2 * Count + 1 bytes); an odd Count gets a zero byte more, so that a line covers an even number of
// bytes. Returns the bytes written.
int32_t PCXEncodeLine(uint8_t* Dest, const uint8_t* Source, int32_t Count, int32_t Stride, int32_t Offset);

// DCX: the probe (the magic, at least one page, every offset inside the stream; position restored),
// the page count (0 when the stream is not a DCX; position restored), a page read by
// Params.DcxImageIndex (clamped to the pages, the index and the image count stored back), and a page
// inserted at Params.DcxImageIndex (appended when the index is past the last page) into the DCX the
// stream holds, or a new one in an empty stream. A stream that is neither, a full table or a failed
// write sets the abort flag and leaves the stream as it was.
bool IsDCXStream(TStream& Stream);
int32_t CountDCXStreamPages(TStream& Stream);
void ReadDCXStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly);
void WriteDCXStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// Most pages a DCX table holds (the table has room for 1024 entries, the last one the 0 that ends it).
constexpr int32_t kDCXMaxPages = 1023;
// The page offsets of the DCX at the stream's position (absolute stream positions), up to the 0 that
// ends the table or the end of the stream; false when the stream does not start with the magic.
bool DCXReadPageTable(TStream& Stream, std::vector<int64_t>& Offsets);
// The size of each page: the distance to the next higher offset of the table, or to the stream's end.
std::vector<int64_t> DCXPageSizes(TStream& Stream, const std::vector<int64_t>& Offsets);
