#pragma once
// The small stream routines every GIF block reads and writes itself with.
#include <cstdint>
#include <string>
#include <vector>

class TStream;

void WriteByte(TStream& Stream, uint8_t Value);
// One byte; at the end of the stream 0, which ends a list of sub-blocks as a terminator would.
uint8_t ReadByte(TStream& Stream);
// Reads exactly Count bytes or raises GIFException "Premature end of data".
void ReadCheck(TStream& Stream, void* Buffer, int32_t Count);
// Writes every string as data sub-blocks of at most 255 bytes (an empty string writes none), then one
// block terminator.
void WriteStrings(TStream& Stream, const std::vector<std::string>& Strings);
// Reads data sub-blocks up to a terminator or the end of the stream, one string each. A sub-block the
// stream cuts short raises "Premature end of data".
void ReadStrings(TStream& Stream, std::vector<std::string>& Strings);
