#pragma once
// The debug log: trace lines "date time : message", written to a log file when one is named and to
// the standard error stream otherwise. Thread-safe.
#include <string>

// The file OutputDebugString appends to; empty (the start value) means the standard error stream.
void SetDebugLogFileName(const std::string& fileName);
std::string DebugLogFileName();

// Writes one trace line. Never raises: a log file that cannot be written loses the line.
void OutputDebugString(const std::string& message);

// Appends one line "YYYY-MM-DD hh:mm:ss : message" to fileName, creating the file when it is
// missing. Raises EInOutError when the file cannot be opened or written.
void AppendLogLine(const std::string& fileName, const std::string& message);
