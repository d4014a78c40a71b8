#pragma once
// Process-wide settings of the image input/output unit, set by its start-up (InitializeZodazUrIO)
// and changed by the host application between operations. The engine-wide ones (temporary folder,
// UseRTLFileExists, quantizer choice, default resolution) live with the engine's settings; the
// debug log's file name is the platform's (SetDebugLogFileName). ResetIOSettings also resets
// UseRTLFileExists.
#include <atomic>
#include <cstdint>
#include <string>

// The trace log (TraceLogFileName, WriteDebugLog) is the engine's; the unit's start-up clears it.
#include "imaging/core/ie_trace_log.h"

class TIOParamsVals;

// The AVI services were started (the AVI code sets it; the shut-down stops them).
extern std::atomic<bool> AVIServicesStarted;

// Converts Count pixels of Source from one row layout into Dest in another (the codes of
// ConvertColorRow, color_converter.h: 0 RGB, 1 BGR, 2 inverted CMYK, 3 CMYK, 4 CIE L*a*b*, 5 grey,
// 6/7 48-bit RGB little/big-endian, 8 YCbCr), through the input ICC profile of Params when one is
// usable. Source is not const: layout 3 is inverted in place. Nil until the I/O start-up installs
// ConvertColorRow.
using TIEColorConverterFunc = void (*)(void* Source, int32_t SourceSpace, void* Dest, int32_t DestSpace, int32_t Count,
                                       TIOParamsVals* Params);
extern TIEColorConverterFunc DefaultColorConverter;
// CMYK conversions may use the built-in CMYK profile.
extern bool CMYKProfileEnabled;
// Readers convert through ICC profiles (off at start-up; the program never turns it on).
extern bool ICCConversionEnabled;
// Origin flag of the buffered read views that loaders and probes create.
extern bool BufferedStreamRelativeOrigin;
// Largest side, in pixels, of a rasterised metafile.
extern int32_t MetafileMaxSize;

// Puts every setting above to its start value (the I/O start-up calls it).
void ResetIOSettings();
