#pragma once
// Standard Base64 (RFC 4648 alphabet, "=" padding) for the engine's text outputs.
#include <cstdint>
#include <string>

class TStream;

// Encodes Count (1..3) bytes of Src into the 4 characters of Dst; characters for missing bytes are
// "=" and bytes beyond Count count as zero.
void Base64EncodeTriplet(const uint8_t* Src, char* Dst, int32_t Count);

// Appends the Base64 text of the stream from its position to its end to Text: 4 characters per group
// of up to 3 bytes, and a line end ("\n") after every LineLength / 4 groups (a real division;
// LineLength <= 0 ends a line after every group) and after a last line that holds any group. A stream
// already at its end adds nothing.
void Base64EncodeStreamToText(TStream& Stream, std::string& Text, int32_t LineLength);
