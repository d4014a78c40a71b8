#include "platform/system/locale_info.h"

#include <langinfo.h>
#include <locale.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct LanguageCode {
  const char* iso;  // ISO 639-1
  uint16_t primary;
  bool decimalComma;  // the language's usual decimal separator is a comma
};

constexpr LanguageCode kLanguages[] = {
    {"af", LANG_AFRIKAANS, true},   {"ar", LANG_ARABIC, false},     {"be", LANG_BELARUSIAN, true},
    {"bg", LANG_BULGARIAN, true},   {"ca", LANG_CATALAN, true},     {"cs", LANG_CZECH, true},
    {"da", LANG_DANISH, true},      {"de", LANG_GERMAN, true},      {"el", LANG_GREEK, true},
    {"en", LANG_ENGLISH, false},    {"es", LANG_SPANISH, true},     {"et", LANG_ESTONIAN, true},
    {"eu", LANG_BASQUE, true},      {"fa", LANG_FARSI, false},      {"fi", LANG_FINNISH, true},
    {"fr", LANG_FRENCH, true},      {"he", LANG_HEBREW, false},     {"hi", LANG_HINDI, false},
    {"hr", LANG_CROATIAN, true},    {"hu", LANG_HUNGARIAN, true},   {"hy", LANG_ARMENIAN, true},
    {"id", LANG_INDONESIAN, true},  {"is", LANG_ICELANDIC, true},   {"it", LANG_ITALIAN, true},
    {"ja", LANG_JAPANESE, false},   {"ka", LANG_GEORGIAN, true},    {"ko", LANG_KOREAN, false},
    {"lt", LANG_LITHUANIAN, true},  {"lv", LANG_LATVIAN, true},     {"mk", LANG_MACEDONIAN, true},
    {"ms", LANG_MALAY, false},      {"nb", LANG_NORWEGIAN, true},   {"nl", LANG_DUTCH, true},
    {"nn", LANG_NORWEGIAN, true},   {"no", LANG_NORWEGIAN, true},   {"pl", LANG_POLISH, true},
    {"pt", LANG_PORTUGUESE, true},  {"ro", LANG_ROMANIAN, true},    {"ru", LANG_RUSSIAN, true},
    {"sk", LANG_SLOVAK, true},      {"sl", LANG_SLOVENIAN, true},   {"sq", LANG_ALBANIAN, true},
    {"sv", LANG_SWEDISH, true},     {"th", LANG_THAI, false},       {"tr", LANG_TURKISH, true},
    {"uk", LANG_UKRAINIAN, true},   {"ur", LANG_URDU, false},       {"vi", LANG_VIETNAMESE, true},
    {"zh", LANG_CHINESE, false},
};

const LanguageCode* FindLanguage(const std::string& name) {
  const std::string iso = name.substr(0, name.find_first_of("_.@"));
  for (const LanguageCode& l : kLanguages)
    if (iso == l.iso) return &l;
  return nullptr;
}

// The locale name that decides a category: LC_ALL, then the category's variable, then LANG.
std::string LocaleNameFor(const char* categoryVariable) {
  for (const char* var : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "C";
}

struct NumberSeparators {
  char decimal;
  char thousand;
};

char SeparatorChar(const char* text, char fallback) {
  if (!text || !*text) return fallback;
  if (static_cast<unsigned char>(text[0]) < 0x80 && text[1] == '\0') return text[0];
  return ' ';  // a non-ASCII separator (narrow or plain no-break space)
}

NumberSeparators ReadSeparators() {
  const LanguageCode* lang = FindLanguage(LocaleNameFor("LC_NUMERIC"));
  NumberSeparators fallback = lang && lang->decimalComma ? NumberSeparators{',', '.'} : NumberSeparators{'.', ','};
  // The installed locale's own definition when there is one; the language's usual separators when
  // the locale is not installed.
  locale_t loc = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (!loc) return fallback;
  NumberSeparators s;
  s.decimal = SeparatorChar(::nl_langinfo_l(RADIXCHAR, loc), fallback.decimal);
  s.thousand = SeparatorChar(::nl_langinfo_l(THOUSEP, loc), s.decimal == ',' ? '.' : ',');
  ::freelocale(loc);
  return s;
}

struct LocaleState {
  std::atomic<LCID> locale;
  std::atomic<char> decimal;
  std::atomic<char> thousand;
  LocaleState() {
    locale = LocaleNameToLCID(LocaleNameFor("LC_MESSAGES"));
    const NumberSeparators s = ReadSeparators();
    decimal = s.decimal;
    thousand = s.thousand;
  }
};

LocaleState& State() {
  static LocaleState state;
  return state;
}

}  // namespace

LCID LocaleNameToLCID(const std::string& name) {
  const LanguageCode* lang = FindLanguage(name);
  if (!lang) return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  uint16_t sub = SUBLANG_DEFAULT;
  if (lang->primary == LANG_CHINESE) {
    const size_t underscore = name.find('_');
    const std::string territory = underscore == std::string::npos ? "" : name.substr(underscore + 1, 2);
    sub = territory == "TW"   ? SUBLANG_CHINESE_TRADITIONAL
          : territory == "HK" ? SUBLANG_CHINESE_HONGKONG
          : territory == "SG" ? SUBLANG_CHINESE_SINGAPORE
          : territory == "MO" ? SUBLANG_CHINESE_MACAU
                              : SUBLANG_CHINESE_SIMPLIFIED;
  }
  return MAKELANGID(lang->primary, sub);
}

LCID GetThreadLocale() { return State().locale; }
void SetThreadLocale(LCID locale) { State().locale = locale; }
char DecimalSeparator() { return State().decimal; }
void SetDecimalSeparator(char value) { State().decimal = value; }
char ThousandSeparator() { return State().thousand; }
void SetThousandSeparator(char value) { State().thousand = value; }
