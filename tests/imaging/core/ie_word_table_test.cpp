// The dialogs' word table: the English words, every language complete, the fallbacks to English and
// the language msSystem takes from the thread locale.
#include "imaging/core/ie_word_table.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_word_table_data.h"
#include "platform/system/locale_info.h"

namespace {

class WordTable : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = GetThreadLocale();
    FillLanguageWords();
  }
  void TearDown() override { SetThreadLocale(saved_); }
  LCID saved_ = 0;
};

TEST_F(WordTable, TheEnglishWords) {
  const std::pair<int32_t, const char*> words[] = {
      {iewPreview, "Preview"},
      {iewCopyResultToOriginal, "Copy Result to Original"},
      {iewValue, "Value"},
      {iewOriginalImageQuantity, "Original image quantity"},
      {iewOf, "of"},
      {iewHorizPositionInch, "Horiz. Position (inch)"},
      {iewSelectTheRegionToClean, "Select the region to clean"},
      {iewInches, "inches"},
      {iewGammaValue, "Value"},
      {iewLocationSize, "Location/size"},
      {iewRate, "Rate"},
      {iewAutoPreviewHint, "Automatically updates your preview with the changes you have selected"},
      {iewCommonGraphicFiles, "Common Graphic Files"},
      {iewPixel, "pixel"},
      {iewKB, "KB"},
      {iewFit, "Fit"},
  };
  for (const auto& [index, text] : words) EXPECT_EQ(GetLanguageWord(index, msEnglish), text) << index;
  static_assert(iewFit == 145 && kIEWordCount == 146);
}

TEST_F(WordTable, EveryLanguageHasAllItsWords) {
  // Words 0 and 123 of each language as the table of languages gives them; they also show that no
  // word slipped to a neighbouring index on the way.
  const struct {
    TMsgLanguage language;
    const char* preview;
    const char* rate;
  } languages[] = {
      {msEnglish, "Preview", "Rate"},           {msItalian, "Anteprima", "Qualità"},
      {msGerman, "Vorschau", "Rate"},           {msSpanish, "Vista Previa", "Rate"},
      {msFrench, "Prévisualisation", "Rate"},   {msPortuguese, "Visualizar", "Rate"},
      {msGreek, "Προεπισκόπηση", "Rate"},       {msRussian, "Просмотр", "Степень"},
      {msDutch, "Voorbeeld", "Rate"},           {msSwedish, "Granska", "Proportion"},
      {msPolish, "Podgląd", "Rate"},            {msJapanese, "プレビュー", "レート"},
      {msCzech, "Náhled", "Kvalita"},           {msFinnish, "Esikatselu", "Laatu"},
      {msFarsi, "پيش نمايش", "نسبت"},           {msChinese, "预览", "比率"},
      {msChineseTraditional, "預覽", "比率"},   {msDanish, "Visning", "Hastighed"},
      {msTurkish, "Önizleme", "Oran"},          {msKorean, "미리보기", "비율"},
      {msHungarian, "Előnézet", "Arány"},
  };
  for (const auto& l : languages) {
    EXPECT_EQ(GetLanguageWord(iewPreview, l.language), l.preview) << static_cast<int>(l.language);
    EXPECT_EQ(GetLanguageWord(iewRate, l.language), l.rate) << static_cast<int>(l.language);
    // The language's own words, without the fallback: only Polish word 123 is missing.
    const char* const* own = IELanguageWords(l.language);
    ASSERT_NE(own, nullptr);
    for (int32_t i = 0; i < kIEWordCount; ++i) {
      const bool expected = !(l.language == msPolish && i == iewRate);
      EXPECT_EQ(own[i] != nullptr && *own[i] != 0, expected) << static_cast<int>(l.language) << " " << i;
    }
  }
  // An empty word falls back to English.
  SetLanguageWord(msGerman, iewRate, "");
  EXPECT_EQ(GetLanguageWord(iewRate, msGerman), "Rate");
  SetLanguageWord(msGerman, iewRate, "Quote");
  EXPECT_EQ(GetLanguageWord(iewRate, msGerman), "Quote");
}

TEST_F(WordTable, FallbacksAndTheSystemLanguage) {
  EXPECT_EQ(GetLanguageWord(iewRate, msPolish), "Rate");
  EXPECT_EQ(GetLanguageWord(iewSave, msUser), "Save");  // msUser has no words of its own
  struct Case {
    const char* locale;
    const char* preview;
  } cases[] = {
      {"pl_PL", "Podgląd"}, {"zh_TW", "預覽"}, {"zh_CN", "预览"}, {"zh_HK", "Preview"},
      {"zh_SG", "Preview"}, {"it_IT", "Anteprima"}, {"en_US", "Preview"}, {"is_IS", "Preview"},
  };
  for (const auto& c : cases) {
    SetThreadLocale(LocaleNameToLCID(c.locale));
    EXPECT_EQ(GetLanguageWord(iewPreview, msSystem), c.preview) << c.locale;
  }
  // msSystem falls back to English as the named languages do.
  SetThreadLocale(LocaleNameToLCID("pl_PL"));
  EXPECT_EQ(SystemMsgLanguage(), msPolish);
  EXPECT_EQ(GetLanguageWord(iewRate, msSystem), "Rate");
  SetThreadLocale(0);
  EXPECT_EQ(GetLanguageWord(iewOK, msSystem), "OK");
}

TEST_F(WordTable, OutOfRangeReadsEmptyAndIsNotStored) {
  for (const auto& [index, language] : {std::pair{-1, 1}, {146, 1}, {255, 1}, {0, 23}, {0, -1}, {0, 200}}) {
    SetLanguageWord(language, index, "x");
    EXPECT_EQ(GetLanguageWord(index, language), "") << index << " " << language;
  }
  EXPECT_EQ(GetLanguageWord(iewPreview, msEnglish), "Preview");
  ClearLanguageWords();
  EXPECT_EQ(GetLanguageWord(iewPreview, msEnglish), "");
  FillLanguageWords();
  EXPECT_EQ(GetLanguageWord(iewPreview, msEnglish), "Preview");
}

}  // namespace
