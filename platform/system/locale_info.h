#pragma once
// The user's locale as the program reads it: a locale identifier whose primary language chooses the
// user-interface words, and the decimal and thousand separators of number texts.
//
// They are read once from the environment (LC_ALL, then LC_MESSAGES or LC_NUMERIC, then LANG) and
// hold for the whole process; the setters change them (tests, or a host that knows better).
#include <cstdint>
#include <string>

using LCID = uint32_t;
using LANGID = uint16_t;

constexpr LANGID MAKELANGID(uint16_t primary, uint16_t sub) { return static_cast<LANGID>((sub << 10) | primary); }
constexpr uint16_t PRIMARYLANGID(LANGID id) { return id & 0x3FF; }
constexpr uint16_t SUBLANGID(LANGID id) { return id >> 10; }
constexpr LANGID LANGIDFROMLCID(LCID lcid) { return static_cast<LANGID>(lcid & 0xFFFF); }

// Primary language identifiers.
enum : uint16_t {
  LANG_NEUTRAL = 0x00, LANG_ARABIC = 0x01, LANG_BULGARIAN = 0x02, LANG_CATALAN = 0x03,
  LANG_CHINESE = 0x04, LANG_CZECH = 0x05, LANG_DANISH = 0x06, LANG_GERMAN = 0x07, LANG_GREEK = 0x08,
  LANG_ENGLISH = 0x09, LANG_SPANISH = 0x0A, LANG_FINNISH = 0x0B, LANG_FRENCH = 0x0C, LANG_HEBREW = 0x0D,
  LANG_HUNGARIAN = 0x0E, LANG_ICELANDIC = 0x0F, LANG_ITALIAN = 0x10, LANG_JAPANESE = 0x11,
  LANG_KOREAN = 0x12, LANG_DUTCH = 0x13, LANG_NORWEGIAN = 0x14, LANG_POLISH = 0x15,
  LANG_PORTUGUESE = 0x16, LANG_ROMANIAN = 0x18, LANG_RUSSIAN = 0x19, LANG_CROATIAN = 0x1A,
  LANG_SLOVAK = 0x1B, LANG_ALBANIAN = 0x1C, LANG_SWEDISH = 0x1D, LANG_THAI = 0x1E, LANG_TURKISH = 0x1F,
  LANG_URDU = 0x20, LANG_INDONESIAN = 0x21, LANG_UKRAINIAN = 0x22, LANG_BELARUSIAN = 0x23,
  LANG_SLOVENIAN = 0x24, LANG_ESTONIAN = 0x25, LANG_LATVIAN = 0x26, LANG_LITHUANIAN = 0x27,
  LANG_FARSI = 0x29, LANG_VIETNAMESE = 0x2A, LANG_ARMENIAN = 0x2B, LANG_BASQUE = 0x2D,
  LANG_MACEDONIAN = 0x2F, LANG_AFRIKAANS = 0x36, LANG_GEORGIAN = 0x37, LANG_HINDI = 0x39,
  LANG_MALAY = 0x3E,
};
// Sub-language identifiers the program tests.
enum : uint16_t {
  SUBLANG_NEUTRAL = 0x00, SUBLANG_DEFAULT = 0x01,
  SUBLANG_ENGLISH_US = 0x01, SUBLANG_ENGLISH_UK = 0x02,
  SUBLANG_CHINESE_TRADITIONAL = 0x01, SUBLANG_CHINESE_SIMPLIFIED = 0x02, SUBLANG_CHINESE_HONGKONG = 0x03,
  SUBLANG_CHINESE_SINGAPORE = 0x04, SUBLANG_CHINESE_MACAU = 0x05,
};

// The locale identifier of a POSIX locale name ("de_DE.UTF-8", "zh_TW", "C"): its language's
// primary identifier with the default sub-language (Chinese by territory: TW traditional, CN
// simplified, HK, SG, MO their own). "C", "POSIX", an empty name and unknown languages give
// English (United States).
LCID LocaleNameToLCID(const std::string& name);

// The locale of the calling program, read at the first call.
LCID GetThreadLocale();
void SetThreadLocale(LCID locale);

// Decimal and thousand separators of number texts (a thousand separator that is not plain ASCII,
// such as a narrow no-break space, is given as a space).
char DecimalSeparator();
void SetDecimalSeparator(char value);
char ThousandSeparator();
void SetThousandSeparator(char value);
