#pragma once
// Text helpers of the engine: numbers to and from text (with a point whatever the locale, or either
// separator when reading what people type), address kinds, file-name parts and the small string
// operations the views and codecs share. Text is UTF-8; "/" is the only path delimiter.
#include <cstdint>
#include <string>

#include "platform/system/number_text.h"

// The shortest text of Value that reads back as Value at 15 significant digits, with "." as the
// decimal separator whatever the locale and never an exponent (PDF numbers, view measures): 0.5,
// -3, 0.000001, 1234567890123. "NAN", "INF" and "-INF" for the values that are no numbers.
std::string FloatToDotStr(double Value);
inline std::string FloatToDotStrAlt(double Value) { return FloatToDotStr(Value); }

// The number of Text, read with the locale's decimal separator (DecimalSeparator); when that fails,
// again with the first "," replaced by "." or, without a ",", the first "." by ","; Default when
// that fails too. The whole text must be the number: blanks around it are allowed, a sign, digits
// with one separator and an exponent ("1.5e3") too, thousand separators are not.
long double StrToFloatDefLenient(const std::string& Text, long double Default);
inline long double ParseFloatDef(const std::string& Text, long double Default) {
  return StrToFloatDefLenient(Text, Default);
}

// 1 for "http://", 2 for "https://", 3 for "ftp://" at the start of the name (any case), else 0.
int32_t URLKind(const std::string& Name);
inline int32_t URLKindW(const std::string& Name) { return URLKind(Name); }

// The lower-cased extension of the file name (from the last "." after the last "/"), with its dot
// when IncludeDot; empty when there is none.
std::string GetFileExtLower(const std::string& FileName, bool IncludeDot);
inline std::string GetFileExtLowerStr(const std::string& FileName, bool IncludeDot) {
  return GetFileExtLower(FileName, IncludeDot);
}
inline std::string GetFileExtLowerW(const std::string& FileName, bool IncludeDot) {
  return GetFileExtLower(FileName, IncludeDot);
}
// The part of the name up to and including the last "/"; empty when there is none.
std::string ExtractFilePathW(const std::string& Name);
// The part after the last "/"; the whole name when there is none.
std::string ExtractFileNameW(const std::string& Name);

// The standard string operations under the engine's names.
// Text without leading and trailing blanks and control characters (bytes up to 32).
std::string IETrim(const std::string& Text);
// ASCII letters changed; other bytes (UTF-8 sequences) kept.
std::string IEUpperCase(const std::string& Text);
std::string IELowerCase(const std::string& Text);
std::string IEIntToStr(int64_t Value);
// The integer of Text: leading blanks, a sign, then decimal digits or a "$" or "0x" hexadecimal
// number, nothing after it; Default when it is no int32.
int32_t IEStrToIntDef(const std::string& Text, int32_t Default);
// Count characters (bytes) from the 1-based Index; an Index below 1 counts from the first, a
// range past the end is cut, a Count below 1 gives an empty text.
std::string IECopy(const std::string& Text, int32_t Index, int32_t Count);
// Upper-case hexadecimal digits of Value (a negative value as its 32-bit two's complement), at
// least Digits of them.
std::string IEIntToHex(int32_t Value, int32_t Digits);
// The 1-based position of the first Sub in Text; 0 when it is absent or empty.
int32_t IEPos(const std::string& Sub, const std::string& Text);
// Value as text in the framework's float Format (FloatToStrF: Precision significant digits, Digits
// decimals, the locale's decimal separator).
inline std::string IEFloatToStrF(long double Value, TFloatFormat Format, int32_t Precision, int32_t Digits) {
  return FloatToStrF(Value, Format, Precision, Digits);
}
