#pragma once
// The text encodings metadata stores beside the engine's UTF-8: UTF-16 (EXIF XP* tags, Unicode
// user comments) and the "ANSI" code page, which is Windows-1252 here (EXIF "ASCII" user comments).
// The codecs convert through these at their file boundary.
#include <cstdint>
#include <string>

// Count UTF-16 units at Data (little-endian unless BigEndian) to UTF-8. Unpaired surrogates become
// U+FFFD; the text ends at the first NUL unit when StopAtNul.
std::string UTF16ToUTF8(const uint8_t* Data, int64_t Count, bool BigEndian = false, bool StopAtNul = true);
// UTF-8 to UTF-16 units in little-endian (or big-endian) byte order, no terminator. Invalid
// sequences become U+FFFD.
std::string UTF8ToUTF16(const std::string& Text, bool BigEndian = false);
// Windows-1252 bytes to UTF-8 (the five unassigned bytes map to the C1 controls of the same value).
std::string Windows1252ToUTF8(const std::string& Text);
// UTF-8 to Windows-1252; characters the code page lacks become "?".
std::string UTF8ToWindows1252(const std::string& Text);
