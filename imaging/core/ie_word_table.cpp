// The word table of the engine's dialogs (ie_word_table.h).
#include "imaging/core/ie_word_table.h"

#include <array>
#include <mutex>

#include "imaging/core/ie_word_table_data.h"
#include "platform/system/locale_info.h"

namespace {

using TRow = std::array<std::string, kIEWordCount>;

std::array<TRow, kMsgLanguageCount>& Table() {
  static std::array<TRow, kMsgLanguageCount> table;
  return table;
}

bool InRange(int32_t Index, int32_t Language) {
  return Index >= 0 && Index < kIEWordCount && Language >= 0 && Language < kMsgLanguageCount;
}

}  // namespace

void FillLanguageWords() {
  for (int32_t language = msEnglish; language <= msHungarian; ++language) {
    const char* const* words = IELanguageWords(static_cast<TMsgLanguage>(language));
    for (int32_t i = 0; i < kIEWordCount; ++i) SetLanguageWord(language, i, words && words[i] ? words[i] : "");
  }
}

void ClearLanguageWords() {
  for (TRow& row : Table())
    for (std::string& word : row) word.clear();
}

void SetLanguageWord(int32_t Language, int32_t Index, const std::string& Text) {
  if (InRange(Index, Language)) Table()[static_cast<size_t>(Language)][static_cast<size_t>(Index)] = Text;
}

TMsgLanguage SystemMsgLanguage() {
  const LANGID id = LANGIDFROMLCID(GetThreadLocale());
  switch (PRIMARYLANGID(id)) {
    case LANG_ITALIAN: return msItalian;
    case LANG_GERMAN: return msGerman;
    case LANG_SPANISH: return msSpanish;
    case LANG_FRENCH: return msFrench;
    case LANG_PORTUGUESE: return msPortuguese;
    case LANG_GREEK: return msGreek;
    case LANG_RUSSIAN: return msRussian;
    case LANG_DUTCH: return msDutch;
    case LANG_SWEDISH: return msSwedish;
    case LANG_POLISH: return msPolish;
    case LANG_JAPANESE: return msJapanese;
    case LANG_CZECH: return msCzech;
    case LANG_FINNISH: return msFinnish;
    case LANG_FARSI: return msFarsi;
    case LANG_DANISH: return msDanish;
    case LANG_TURKISH: return msTurkish;
    case LANG_KOREAN: return msKorean;
    case LANG_HUNGARIAN: return msHungarian;
    case LANG_CHINESE:
      // Taiwan writes traditional characters, the mainland simplified; the other Chinese
      // locales have no words of their own.
      if (SUBLANGID(id) == SUBLANG_CHINESE_TRADITIONAL) return msChineseTraditional;
      if (SUBLANGID(id) == SUBLANG_CHINESE_SIMPLIFIED) return msChinese;
      return msEnglish;
    default: return msEnglish;
  }
}

std::string GetLanguageWord(int32_t Index, int32_t Language) {
  if (!InRange(Index, Language)) return std::string();
  if (Language == msSystem) Language = SystemMsgLanguage();
  const std::string& word = Table()[static_cast<size_t>(Language)][static_cast<size_t>(Index)];
  if (!word.empty()) return word;
  return Table()[msEnglish][static_cast<size_t>(Index)];
}
