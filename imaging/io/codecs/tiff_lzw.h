#pragma once
// The TIFF LZW coders (compression 5), installed into TIFFLZWDecodeHook and TIFFLZWEncodeHook by the
// I/O start-up. Codes are packed most significant bit first, 9 to 12 bits wide, with the early
// width change TIFF prescribes; 256 is the clear code, 257 the end code.
#include <cstdint>

class TStream;

// Decodes one strip row by row. The first call (State nil) creates the state for the InputSize
// bytes at Input; every call with Input not nil returns the next RowSize decoded bytes (inside the
// state's buffer, valid until the next call and not to be changed: later strings are copied from
// them), or nil on an error (a code after a clear that is not in the table, a code for an entry that
// cannot be built, a table past 4096 entries). A row that the strip's codes do not fill (an end
// code, or the strip's end) is completed with zeros. With FillOrder 2 the bits of every input byte
// are taken in reverse order. Nothing beyond InputSize bytes is read. A call with Input nil releases
// the state and returns nil.
uint8_t* TIFFLZWDecode(const uint8_t* Input, int32_t InputSize, int32_t RowSize, void*& State, int32_t FillOrder);

// Codes one strip. The first call (State nil) creates the state, emits the clear code and codes the
// Count bytes at Input; further calls with Input not nil continue the same strip; a call with Input
// nil emits the last string and the end code, flushes the last partial byte and releases the state.
// The bytes go to the stream as they are (no length bytes, no code-size byte); a short write raises
// the stream's write error.
void TIFFLZWEncode(const uint8_t* Input, int32_t Count, TStream& Stream, void*& State);
