#pragma once
// String routines of the utility library and its character tables. The tables classify bytes by
// their ASCII meaning; bytes from 0x80 (parts of UTF-8 characters) have no class and keep their
// case.
#include <cstdint>
#include <string>

// Character-type flags (CT_CTYPE1).
enum : uint16_t {
  C1_UPPER = 0x0001, C1_LOWER = 0x0002, C1_DIGIT = 0x0004, C1_SPACE = 0x0008, C1_PUNCT = 0x0010,
  C1_CNTRL = 0x0020, C1_BLANK = 0x0040, C1_XDIGIT = 0x0080, C1_ALPHA = 0x0100
};

// Start-up: fills the character tables.
void InitializeCharacterTables();
uint16_t CharacterType(unsigned char c);
unsigned char CharLower(unsigned char c);
unsigned char CharUpper(unsigned char c);
// Upper becomes lower and lower upper; others stay.
unsigned char CharSwapCase(unsigned char c);

// The text without the suffix when it ends with it (case-sensitive), else the text.
std::string EnsureNoSuffix(const std::string& suffix, const std::string& text);
// How many times c occurs in the text.
int32_t CountOfCharIn(const std::string& text, char c);
// Compares count characters of text1 from start (1-based) with the start of text2 (fewer when
// text2 is shorter): 0 when they agree, else the difference of the first differing characters
// (case-insensitively of their lower-case forms); -1 when one text is empty and the other not; -2
// when count is 0 or less, start is below 1, or text1 ends before start + count - 1.
int32_t CompareRange(const std::string& text1, const std::string& text2, int32_t start, bool caseSensitive,
                     int32_t count);
