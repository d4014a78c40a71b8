#pragma once
// Text stored as Latin-1 bytes (ISO 8859-1) in files, converted to and from the UTF-8 text every API
// of the program speaks. Latin-1 maps each byte to the Unicode character of the same number, so
// reading never fails; writing replaces a character Latin-1 cannot hold (and any byte of malformed
// UTF-8) by "?".
#include <string>
#include <string_view>

std::string Latin1ToUtf8(std::string_view latin1);
std::string Utf8ToLatin1(std::string_view utf8);
