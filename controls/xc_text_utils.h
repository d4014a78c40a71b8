#pragma once
// String routines the controls share: replacing and removing, trimming blanks, tokens, cleaning the
// text of a typed number, deleting blank lines, and fitting a text or a path to a width.
//
// Texts are UTF-8. Positions and the character sets work on bytes (1-based positions); the sets and
// separators the controls use are ASCII, so a multi-byte character is never split by them. Routines
// that cut a text to fit count whole characters.
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TCanvas;
class TStrings;

// A set of bytes (the framework's set of characters).
using TCharSet = std::bitset<256>;
TCharSet CharSetOf(std::string_view chars);

// Every occurrence of search, scanned left to right without overlapping, replaced (case-sensitive);
// the scan goes on after each inserted replacement. An empty search changes nothing.
std::string ReplaceAllText(const std::string& text, const std::string& search, const std::string& replacement);
std::string RemoveChar(const std::string& text, char c);
// Without leading, trailing, or both, blanks (0x20 only; tabs and other control characters stay).
std::string TrimLeadingSpaces(const std::string& text);
std::string TrimTrailingSpaces(const std::string& text);
std::string TrimSpaces(const std::string& text);
// count copies of c; none for a count of 0 or less.
std::string RepeatChar(char c, int32_t count);
bool IsCharInSet(char c, const TCharSet& set);
// The bytes from position (1-based; below 1 counts as 1) up to the next delimiter or the end;
// position then points past that delimiter (or past the end).
std::string NextToken(const std::string& text, int32_t& position, const TCharSet& delimiters);
bool ContainsAnyChar(const std::string& text, const std::string& chars);
// What a user typed for a number, made into a text the number conversion takes: blanks at both
// ends go, thousands separators go (when they differ from the decimal one), "." and "," become the
// decimal separator (unless one of them is a separator already), then only "+", "-", digits and
// the two separators stay; nothing left gives "0" and a lone "-" gives "-0". The user's separators,
// or the given ones.
std::string CleanNumberText(const std::string& text);
std::string CleanNumberText(const std::string& text, char decimalSeparator, char thousandSeparator);
// Deletes, last line first, every line that is empty once bytes 0 to 32 are trimmed from its ends,
// between the list's BeginUpdate and EndUpdate.
void DeleteBlankLines(TStrings* list);
// The text as it fits into width in the canvas's font: shortened a character more at each step
// (the first step two) and followed by "...", down to "..." alone. The measure overload takes any
// width function.
std::string TruncateTextToWidth(const std::string& text, TCanvas* canvas, int32_t width);
std::string TruncateTextToWidth(const std::string& text, const std::function<int32_t(const std::string&)>& measure,
                                int32_t width);
// A path as it fits into width in the canvas's font, its middle replaced by "..." (the system's path
// ellipsis); unchanged when it fits or cannot be measured.
std::string ShortenPathToWidth(const std::string& text, TCanvas* canvas, int32_t width);

// UTF-8: the number of characters, and the first count characters.
size_t Utf8Length(std::string_view text);
std::string Utf8Prefix(std::string_view text, size_t count);
