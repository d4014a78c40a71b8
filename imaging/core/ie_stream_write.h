#pragma once
// Checked writing for the codec writers.
#include <cstdint>

class TStream;

// Writes Count bytes of Buffer to Stream; when fewer bytes were written Failed becomes true. Failed
// is never reset here, so a writer calls it for every block and tests Failed once at the end.
void SafeStreamWrite(TStream& Stream, bool& Failed, const void* Buffer, int32_t Count);
