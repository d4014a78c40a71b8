#include "imaging/core/ie_text_utils.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/system/locale_info.h"

namespace {

// Sets the locale's decimal separator for one test.
class ScopedDecimalSeparator {
 public:
  explicit ScopedDecimalSeparator(char c) : old_(DecimalSeparator()) { SetDecimalSeparator(c); }
  ~ScopedDecimalSeparator() { SetDecimalSeparator(old_); }

 private:
  char old_;
};

TEST(TextUtils, FloatToDotStrIsPlainAndLocaleFree) {
  ScopedDecimalSeparator comma(',');
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0.5, "0.5"},
      {-3, "-3"},
      {0, "0"},
      {-0.0, "0"},
      {1e-6, "0.000001"},
      {1234567890123.0, "1234567890123"},
      {1.0 / 3, "0.333333333333333"},  // 15 significant digits
      {0.1 + 0.2, "0.3"},
      {1e20, "100000000000000000000"},  // never an exponent
      {-2.5e-10, "-0.00000000025"},
      {123456789.123456789, "123456789.123457"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToDotStr(c.value), c.text) << c.text;
  EXPECT_EQ(FloatToDotStrAlt(1.25), "1.25");
}

TEST(TextUtils, LenientFloatsInBothLocales) {
  struct Case {
    char separator;
    const char* text;
    long double value;
  } cases[] = {
      {'.', "1,5", 1.5L},     {'.', "1.5", 1.5L},      {',', "1.5", 1.5L},     {',', "1,5", 1.5L},
      {'.', " 2.25 ", 2.25L}, {'.', "-.5", -0.5L},     {'.', "+3", 3.0L},      {'.', "1e3", 1000.0L},
      {',', "2,5E-1", 0.25L}, {'.', "", -1.0L},        {'.', "abc", -1.0L},    {'.', "1.5x", -1.0L},
      {'.', "1,234.5", -1.0L}, {'.', "1.2.3", -1.0L},  {'.', "e5", -1.0L},     {'.', "1e", -1.0L},
      {'.', ".", -1.0L},      {'.', "1e99999", -1.0L},
  };
  for (const Case& c : cases) {
    ScopedDecimalSeparator sep(c.separator);
    EXPECT_EQ(StrToFloatDefLenient(c.text, -1), c.value) << c.separator << " '" << c.text << "'";
    EXPECT_EQ(ParseFloatDef(c.text, -1), c.value);
  }
}

TEST(TextUtils, AddressKinds) {
  EXPECT_EQ(URLKind("http://example.org/a.jpg"), 1);
  EXPECT_EQ(URLKind("HTTPS://example.org"), 2);
  EXPECT_EQ(URLKindW("Ftp://host/x"), 3);
  EXPECT_EQ(URLKind("/home/user/http://"), 0);
  EXPECT_EQ(URLKind("http:/"), 0);
  EXPECT_EQ(URLKind(""), 0);
}

TEST(TextUtils, FileNameParts) {
  EXPECT_EQ(GetFileExtLower("/pictures/File.TIF", false), "tif");
  EXPECT_EQ(GetFileExtLower("/pictures/File.TIF", true), ".tif");
  EXPECT_EQ(GetFileExtLower("/pic.tures/File", true), "");  // the only dot is in a folder name
  EXPECT_EQ(GetFileExtLowerW("archive.tar.GZ", true), ".gz");
  EXPECT_EQ(GetFileExtLowerStr("noext", false), "");
  EXPECT_EQ(ExtractFilePathW("/a/b/c.jpg"), "/a/b/");
  EXPECT_EQ(ExtractFilePathW("c.jpg"), "");
  EXPECT_EQ(ExtractFileNameW("/a/b/c.jpg"), "c.jpg");
  EXPECT_EQ(ExtractFileNameW("c.jpg"), "c.jpg");
}

TEST(TextUtils, StandardStringOperations) {
  EXPECT_EQ(IETrim("\t  a b \r\n"), "a b");
  EXPECT_EQ(IETrim("   "), "");
  EXPECT_EQ(IEUpperCase("abc\xC3\xA9z"), "ABC\xC3\xA9Z");  // UTF-8 sequences kept
  EXPECT_EQ(IELowerCase("ABC-1"), "abc-1");
  EXPECT_EQ(IEIntToStr(-42), "-42");
  struct IntCase {
    const char* text;
    int32_t value;
  } ints[] = {{"12", 12},   {" -7", -7},     {"+5", 5},  {"$1F", 31},  {"0x10", 16}, {"2147483647", 2147483647},
              {"-2147483648", -2147483647 - 1}, {"$FFFFFFFF", -1}, {"2147483648", 99}, {"12 ", 99}, {"", 99},
              {"x", 99},    {"--1", 99},     {"$", 99}};
  for (const IntCase& c : ints) EXPECT_EQ(IEStrToIntDef(c.text, 99), c.value) << c.text;
  EXPECT_EQ(IECopy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(IECopy("abcdef", 0, 2), "ab");
  EXPECT_EQ(IECopy("abcdef", 5, 100), "ef");
  EXPECT_EQ(IECopy("abcdef", 7, 1), "");
  EXPECT_EQ(IECopy("abcdef", 2, -1), "");
  EXPECT_EQ(IEIntToHex(255, 4), "00FF");
  EXPECT_EQ(IEIntToHex(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IEIntToHex(0x1234, 1), "1234");
  EXPECT_EQ(IEPos("cd", "abcdcd"), 3);
  EXPECT_EQ(IEPos("x", "abc"), 0);
  EXPECT_EQ(IEPos("", "abc"), 0);
  EXPECT_EQ(IEFloatToStrF(-1.25, ffFixed, 15, 1), "-1.3");  // the framework's rounding: halves away from zero
}

}  // namespace
