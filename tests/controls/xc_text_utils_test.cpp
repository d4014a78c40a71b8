#include "controls/xc_text_utils.h"

#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"
#include "platform/system/locale_info.h"
#include "platform/ui/string_list.h"

namespace {

TEST(TextUtils, ReplaceRemoveTrimAndRepeat) {
  struct Case {
    std::string text, search, replacement, expected;
  } cases[] = {
      {"aaa", "aa", "b", "ba"},          // left to right, not overlapping
      {"abab", "ab", "abab", "abababab"},  // the scan goes on after the replacement
      {"x.y.z", ".", "", "xyz"},
      {"abc", "", "Q", "abc"},           // an empty search changes nothing (and ends)
      {"", "a", "b", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceAllText(c.text, c.search, c.replacement), c.expected) << c.text;
  EXPECT_EQ(RemoveChar("a-b--c", '-'), "abc");
  EXPECT_EQ(TrimLeadingSpaces("  \ta "), "\ta ");
  EXPECT_EQ(TrimTrailingSpaces(" a\t  "), " a\t");
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_EQ(TrimSpaces(" \x01x\x01 "), "\x01x\x01");
  EXPECT_EQ(RepeatChar('*', 3), "***");
  EXPECT_EQ(RepeatChar('*', 0), "");
  EXPECT_EQ(RepeatChar('*', -2), "");
}

TEST(TextUtils, CharacterSetsAndTokens) {
  TCharSet delims = CharSetOf(";,");
  EXPECT_TRUE(IsCharInSet(';', delims));
  EXPECT_FALSE(IsCharInSet('a', delims));
  EXPECT_FALSE(IsCharInSet('\xE9', delims));
  const std::string text = "one;two,,three";
  int32_t pos = 1;
  EXPECT_EQ(NextToken(text, pos, delims), "one");
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(NextToken(text, pos, delims), "two");
  EXPECT_EQ(pos, 9);
  EXPECT_EQ(NextToken(text, pos, delims), "");
  EXPECT_EQ(pos, 10);
  EXPECT_EQ(NextToken(text, pos, delims), "three");
  EXPECT_EQ(pos, 15);  // past the end
  EXPECT_EQ(NextToken(text, pos, delims), "");
  EXPECT_EQ(pos, 15);
  pos = -4;  // below 1 counts as 1
  EXPECT_EQ(NextToken(text, pos, delims), "one");
  pos = 1000;
  EXPECT_EQ(NextToken(text, pos, delims), "");
  EXPECT_TRUE(ContainsAnyChar("a?b", "<?>"));
  EXPECT_FALSE(ContainsAnyChar("ab", "<?>"));
  EXPECT_FALSE(ContainsAnyChar("ab", ""));
}

TEST(TextUtils, TypedNumbersAreCleanedForTheConversion) {
  struct Case {
    std::string text;
    char d, t;
    std::string expected;
  } cases[] = {
      {" 1.234,5 ", ',', '.', "1234,5"},
      {"1,234.5", '.', ',', "1234.5"},
      {"12.5", ',', ' ', "12,5"},   // neither separator is ".": it becomes the decimal one
      {"12,5", '.', ' ', "12.5"},
      {"abc", ',', '.', "0"},
      {"-", ',', '.', "-0"},
      {" - ", '.', ',', "-0"},
      {"+", ',', '.', "+"},
      {"+1e3", '.', ',', "+13"},
      {"", '.', ',', "0"},
      {"1 000", ',', ' ', "1000"},
      {"7.5", '.', '.', "7.5"},     // equal separators: nothing deleted
  };
  for (const Case& c : cases) EXPECT_EQ(CleanNumberText(c.text, c.d, c.t), c.expected) << "'" << c.text << "'";
  // Without separators given, the user's.
  char d = DecimalSeparator(), t = ThousandSeparator();
  SetDecimalSeparator(',');
  SetThousandSeparator('.');
  EXPECT_EQ(CleanNumberText(" 1.234,5 "), "1234,5");
  SetDecimalSeparator(d);
  SetThousandSeparator(t);
}

TEST(TextUtils, BlankLinesGoFromTheLastToTheFirstInOneUpdate) {
  TStringList list;
  for (const char* line : {"a", "", " \t", "b", "\x01\x1f ", "c", ""}) list.Add(line);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  DeleteBlankLines(&list);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0), "a");
  EXPECT_EQ(list.Get(1), "b");
  EXPECT_EQ(list.Get(2), "c");
  EXPECT_EQ(changes, 1);
}

TEST(TextUtils, TruncatingShortensACharacterMoreAtEachStep) {
  // A measure of one unit per character: the six-letter word in room for one letter.
  std::vector<std::string> tried;
  auto measure = [&](const std::string& s) {
    tried.push_back(s);
    return static_cast<int32_t>(Utf8Length(s));
  };
  EXPECT_EQ(TruncateTextToWidth("letter", measure, 1), "...");
  EXPECT_EQ(tried, (std::vector<std::string>{"letter", "lett...", "let...", "le...", "l...", "...", "..."}));
  EXPECT_EQ(TruncateTextToWidth("letter", measure, 6), "letter");
  EXPECT_EQ(TruncateTextToWidth("letter", measure, 6 - 1), "le...");
  // Characters, not bytes: "é" (two bytes) is never cut in half.
  EXPECT_EQ(TruncateTextToWidth("\xC3\xA9t\xC3\xA9sx", measure, 4), "\xC3\xA9...");
  EXPECT_EQ(Utf8Length("\xC3\xA9t\xC3\xA9"), 3u);
  EXPECT_EQ(Utf8Prefix("\xC3\xA9t\xC3\xA9", 1), "\xC3\xA9");
  EXPECT_EQ(Utf8Prefix("ab", 5), "ab");
}

TEST(TextUtils, FittingToTheCanvasFont) {
  TBitmap b(10, 10);
  TCanvas* c = b.Canvas();
  c->Font()->SetName("DejaVu Sans");
  c->Font()->SetHeight(-13);
  const std::string word = "Brimvale";
  std::string fitted = TruncateTextToWidth(word, c, c->TextWidth("Brim..."));
  EXPECT_EQ(fitted, "Brim...");
  EXPECT_EQ(TruncateTextToWidth(word, c, 1000), word);
  const std::string path = "/home/user/pictures/holiday/beach.jpg";
  std::string shortPath = ShortenPathToWidth(path, c, c->TextWidth("/home.../beach.jpg"));
  EXPECT_LE(c->TextWidth(shortPath), c->TextWidth("/home.../beach.jpg"));
  EXPECT_NE(shortPath.find("...") , std::string::npos);
  EXPECT_EQ(shortPath.substr(shortPath.size() - 10), "/beach.jpg");
  EXPECT_EQ(ShortenPathToWidth(path, c, 2000), path);
}

}  // namespace
