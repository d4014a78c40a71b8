#pragma once
// The engine's trace log: lines that the rendering, the DIB export and the I/O unit write while they
// work, kept only when a log file is named. The program never names one.
#include <string>

// The trace log of the engine (WriteDebugLog); empty: no log. The program never sets it.
extern std::string TraceLogFileName;
// Appends one line, the date, the time, " : " and Message, to the trace log when TraceLogFileName is
// set; does nothing otherwise. Raises EInOutError when the file cannot be written.
void WriteDebugLog(const std::string& Message);
