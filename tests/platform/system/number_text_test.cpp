#include "platform/system/number_text.h"

#include <gtest/gtest.h>

#include <QtCore/QLocale>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "platform/system/exception.h"
#include "platform/system/locale_info.h"
#include "tests/support/separators.h"

namespace {

using Separators = testsupport::PinnedSeparators;

TEST(FloatToStrF, FixedRoundsTheDecimalDigitsHalfAwayFromZero) {
  Separators s('.', ',');
  struct Case {
    long double value;
    int32_t precision, digits;
    const char* text;
  };
  const Case cases[] = {
      {1.5, 15, 2, "1.50"},
      {0.125, 15, 2, "0.13"},         // exactly halfway in binary: away from zero (printf gives 0.12)
      {1.005, 15, 2, "1.00"},         // the double is 1.00499999999999989...
      {-2.5, 15, 0, "-3"},
      {-0.001, 15, 2, "0.00"},        // rounds to zero: no minus sign
      {0.0, 15, 2, "0.00"},
      {999.996, 15, 2, "1000.00"},    // the carry adds an integer digit
      {0.0099, 15, 1, "0.0"},
      {0.099, 15, 1, "0.1"},
      {1234.5678, 6, 4, "1234.5700"}, // six significant digits, then zeros
      {123456.0, 3, 2, "1.23E5"},     // more integer digits than the precision: scientific
      {1e25L, 30, 2, "1E25"},         // precision clamps at 18
  };
  for (const Case& c : cases)
    EXPECT_EQ(FloatToStrF(c.value, ffFixed, c.precision, c.digits), c.text) << static_cast<double>(c.value);
}

TEST(FloatToStrF, OtherFormatsAndSpecialValues) {
  Separators s(',', '.');
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2), "1.234.567,89");
  EXPECT_EQ(FloatToStrF(-12.5, ffNumber, 15, 1), "-12,5");
  EXPECT_EQ(FloatToStrF(1234.5, ffExponent, 4, 2), "1,235E+03");
  EXPECT_EQ(FloatToStrF(0.00012, ffExponent, 2, 0), "1,2E-4");
  EXPECT_EQ(FloatToStrF(0.5, ffGeneral, 15, 0), "0,5");
  EXPECT_EQ(FloatToStrF(100.0, ffGeneral, 15, 0), "100");
  EXPECT_EQ(FloatToStrF(0.00001, ffGeneral, 15, 0), "0,00001");
  EXPECT_EQ(FloatToStrF(0.000001234, ffGeneral, 15, 0), "1,234E-6");
  EXPECT_EQ(FloatToStrF(1e20, ffGeneral, 15, 0), "1E20");
  EXPECT_EQ(FloatToStrF(0.0, ffGeneral, 15, 0), "0");
  EXPECT_EQ(FloatToStrF(std::numeric_limits<double>::quiet_NaN(), ffFixed, 15, 2), "NAN");
  EXPECT_EQ(FloatToStrF(std::numeric_limits<double>::infinity(), ffFixed, 15, 2), "INF");
  EXPECT_EQ(FloatToStrF(-std::numeric_limits<double>::infinity(), ffGeneral, 15, 2), "-INF");
}

TEST(Format, PercentFIsTheFrameworksFixedFormat) {
  {
    Separators s('.', ',');
    EXPECT_EQ(Format("Contrast %f", 1.5), "Contrast 1.50");
    EXPECT_EQ(Format("Rotate %f", -90.0), "Rotate -90.00");
    EXPECT_EQ(Format("%.3f|%.0f|%.*f", 2.0, 2.5, 1, 2.25), "2.000|3|2.3");
    EXPECT_EQ(Format("[%8.1f][%-6.1f][%+.1f][%07.2f]", 3.14159, 3.14, 2.0, -1.5), "[     3.1][3.1   ][+2.0][-001.50]");
    EXPECT_EQ(Format("%Lf", 1.125L), "1.13");
  }
  Separators s(',', '.');
  EXPECT_EQ(Format("Contrast %f", 1.5), "Contrast 1,50");
  EXPECT_EQ(Format("%e", 1.5), "1,500000e+00");
}

TEST(Format, OtherConversionsAreTheCLibrarys) {
  EXPECT_EQ(Format("%d, %s, %5d, %-3d|, %x, %X, %o, %u", -7, "abc", 42, 1, 255, 255, 8, 3u), "-7, abc,    42, 1  |, ff, FF, 10, 3");
  // 300 through %hhd on purpose: the C library prints its low byte.
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat"
#endif
  EXPECT_EQ(Format("%lld %ld %zu %hhd %c %%", 1LL << 40, -5L, size_t{9}, 300, 'Q'), "1099511627776 -5 9 44 Q %");
#ifdef __clang__
#pragma clang diagnostic pop
#endif
  EXPECT_EQ(Format("%*d|%.*s", 4, 7, 2, "xyz"), "   7|xy");
  EXPECT_EQ(Format("HSLvar %d, %d, %d", 10, -20, 30), "HSLvar 10, -20, 30");
  EXPECT_EQ(Format("plain text"), "plain text");
  EXPECT_EQ(Format("%s", std::string(600, 'w').c_str()), std::string(600, 'w'));
}

// The fixed format by hand from the exact decimal expansion of the value (glibc writes every digit
// of a long double with 130 decimals), rounded half away from zero at Digits decimals.
std::string ReferenceFixed(long double v, int digits) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.130Lf", std::fabs(v));
  std::string s = buf;
  const size_t point = s.find('.');
  std::string whole = s.substr(0, point), fraction = s.substr(point + 1);
  std::string kept = whole + fraction.substr(0, static_cast<size_t>(digits));
  if (fraction[static_cast<size_t>(digits)] >= '5') {
    int i = static_cast<int>(kept.size()) - 1;
    for (; i >= 0 && kept[static_cast<size_t>(i)] == '9'; --i) kept[static_cast<size_t>(i)] = '0';
    if (i < 0) kept.insert(kept.begin(), '1');
    else ++kept[static_cast<size_t>(i)];
  }
  std::string out = kept.substr(0, kept.size() - static_cast<size_t>(digits));
  if (digits > 0) out += "." + kept.substr(kept.size() - static_cast<size_t>(digits));
  if (std::signbit(v) && out.find_first_not_of("0.") != std::string::npos) out.insert(out.begin(), '-');
  return out;
}

TEST(FloatToStrF, FixedAgreesWithTheExactExpansionAcrossMagnitudes) {
  Separators s('.', ',');
  std::mt19937_64 random(29);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-60, 40), decimals(0, 6);
  for (int i = 0; i < 20000; ++i) {
    const long double v = std::ldexp(static_cast<long double>(mantissa(random)), exponent(random));
    const int d = decimals(random);
    const std::string ours = FloatToStrF(v, ffFixed, 18, d);
    // Beyond 18 significant digits the format keeps 18 and writes zeros: compare those in range.
    if (std::fabs(v) >= 1e12L) continue;
    ASSERT_EQ(ours, ReferenceFixed(v, d)) << static_cast<double>(v) << " with " << d;
  }
  // Exact halves of a binary fraction go away from zero, at every distance from the point.
  EXPECT_EQ(FloatToStrF(2.5L, ffFixed, 15, 0), "3");
  EXPECT_EQ(FloatToStrF(-0.375L, ffFixed, 15, 2), "-0.38");
  EXPECT_EQ(FloatToStrF(0.5L, ffFixed, 15, 0), "1");
  EXPECT_EQ(FloatToStrF(0.4999999999999999999L, ffFixed, 15, 0), "0");
  // Fifteen significant digits: the decimals beyond them are written as zeros.
  EXPECT_EQ(FloatToStrF(123456789012.3456L, ffFixed, 15, 4), "123456789012.3460");
  EXPECT_EQ(FloatToStrF(12345678901234.56L, ffNumber, 15, 2), "12,345,678,901,234.60");
  EXPECT_EQ(FloatToStrF(99999999999999.99L, ffNumber, 15, 2), "100,000,000,000,000.00");
  EXPECT_EQ(FloatToStrF(999999999999999.9L, ffFixed, 15, 1), "1E15");
  EXPECT_EQ(FloatToStrF(1e-30L, ffFixed, 15, 2), "0.00");
}

// Values with no exact decimal tie at the digits asked for, within 15 significant digits and not
// rounding to a negative zero (which the framework writes without its sign): the framework's texts
// and the toolkit's agree digit for digit, with the same separators.
TEST(FloatToStrF, FixedAndGroupedTextsEqualTheToolkitsLocale) {
  const double values[] = {0.0, 1.0, -1.0, 0.1, 49.95, 50.05, 1234.567, -9876543.21, 1e-7, 0.0049, 123456789.987,
                           -0.7, 999.996, 1e11 + 0.3, 65535.0, 2147483647.0, -32768.125, 3.14159265358979};
  const QLocale english(QLocale::English, QLocale::UnitedStates), german(QLocale::German, QLocale::Germany);
  for (int decimals : {0, 1, 2, 3}) {
    for (double v : values) {
      {
        Separators s('.', ',');
        QString fixed = english.toString(v, 'f', decimals);
        fixed.remove(english.groupSeparator());
        EXPECT_EQ(FloatToStrF(v, ffFixed, 15, decimals), fixed.toStdString()) << v << " " << decimals;
        EXPECT_EQ(FloatToStrF(v, ffNumber, 15, decimals), english.toString(v, 'f', decimals).toStdString()) << v;
      }
      {
        Separators s(',', '.');
        EXPECT_EQ(FloatToStrF(v, ffNumber, 15, decimals), german.toString(v, 'f', decimals).toStdString()) << v;
      }
    }
  }
}

TEST(FormatFloat, PicturesOfDigitsPointsAndGroups) {
  Separators s('.', ',');
  struct Case {
    const char* picture;
    long double value;
    const char* text;
  };
  const Case cases[] = {
      {"0.00", 1.5, "1.50"},
      {"0.00", 1.005, "1.00"},           // the double lies below the half
      {"0.00", 0.125, "0.13"},           // an exact half: away from zero
      {"#.##", 0.5, ".5"},
      {"#.##", 0, ""},
      {"0.##", 1, "1"},
      {"0.##", 1.2, "1.2"},
      {"#,##0.00", 1234567.891, "1,234,567.89"},
      {",0.##", 1234.5, "1,234.5"},
      {",0.##", -1234.5, "-1,234.5"},
      {"00000", 42, "00042"},
      {"0", -0.4, "0"},                  // rounds to zero: no minus
      {"0", -0.6, "-1"},
      {"0.0", 1e25L, "1E25"},   // too many integer digits: general form
      {"0.00E+00", 1234.5, "1.23E+03"},
      {"0.00E-00", 1234.5, "1.23E03"},
      {"0.0E+0", 0.00012, "1.2E-4"},
      {"00.0E+0", 1234, "12.3E+2"},
      {"0.0 'kg'", 2.25, "2.3 kg"},
      {"\"x\"0", 7, "x7"},
      {"0.00;(0.00)", -3.5, "(3.50)"},
      {"0.00;(0.00);'zero'", 0.001, "zero"},
      {"0.00;;'zero'", -2, "-2.00"},
      {"0.0.0", 1.25, "1.25"},           // a second point is ignored
      {"abc", 12, "12abc"},              // no placeholders: the integer digits lead
      {"", 0.1, "0.1"},                  // no picture: the general format
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFloat(c.picture, c.value), c.text) << c.picture;
  Separators t(',', '.');
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891), "1.234.567,89");
  EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::infinity()), "INF");
}

TEST(TryStrToFloat, TheFrameworksSyntaxWithTheLocalesSeparator) {
  struct Case {
    const char* text;
    bool ok;
    long double value;
  };
  const Case dot[] = {
      {"1.5", true, 1.5L},      {"  -2.25 ", true, -2.25L}, {"+3", true, 3},       {"1.", true, 1},
      {".5", true, 0.5L},       {"1e3", true, 1000},        {"1.5E-2", true, 0.015L}, {"0", true, 0},
      {"", false, 0},           {"-", false, 0},            {".", false, 0},       {"1e", false, 0},
      {"1,5", false, 0},        {"1.2.3", false, 0},        {"1e99999", false, 0}, {"-1E99999", false, 0},
      {"nan", false, 0},        {"inf", false, 0},          {"0x10", false, 0},    {"1 2", false, 0},
      {"12345678901234567890123", true, 12345678901234567890123.0L},
  };
  Separators s('.', ',');
  for (const Case& c : dot) {
    long double v = -99;
    EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : -99) << c.text;
  }
  Separators t(',', '.');
  long double v = 0;
  EXPECT_TRUE(TryStrToFloat("1,5", v));
  EXPECT_EQ(v, 1.5L);
  EXPECT_FALSE(TryStrToFloat("1.5", v));
  EXPECT_TRUE(TryStrToFloat("2.5", v, '.'));
  EXPECT_EQ(v, 2.5L);
  EXPECT_THROW(StrToFloat("x"), EConvertError);
}

TEST(TryStrToFloat, DecimalTextsRoundCorrectlyToExtendedPrecision) {
  // Short texts take the exact fast path, long ones the C library: both round correctly.
  std::mt19937_64 random(7);
  for (int i = 0; i < 5000; ++i) {
    const long double v = std::ldexp(static_cast<long double>(random() >> 11), -static_cast<int>(random() % 80));
    char buf[64];
    for (int digits : {6, 15, 19, 25}) {
      std::snprintf(buf, sizeof buf, "%.*Le", digits - 1, v);
      long double ours = 0;
      ASSERT_TRUE(TryStrToFloat(buf, ours, '.')) << buf;
      EXPECT_EQ(ours, std::strtold(buf, nullptr)) << buf;
    }
  }
}

TEST(TryStrToInt, DecimalAndDollarHexadecimal) {
  struct Case {
    const char* text;
    bool ok32;
    int32_t v32;
    bool ok64;
    int64_t v64;
  };
  const Case cases[] = {
      {"0", true, 0, true, 0},
      {"  -17", true, -17, true, -17},
      {"+5", true, 5, true, 5},
      {"$FF", true, 255, true, 255},
      {"0xff", true, 255, true, 255},
      {"-$10", true, -16, true, -16},
      {"2147483647", true, 2147483647, true, 2147483647},
      {"2147483648", false, 0, true, 2147483648LL},
      {"-2147483648", true, INT32_MIN, true, -2147483648LL},
      {"$FFFFFFFF", true, -1, true, 4294967295LL},
      {"$100000000", false, 0, true, 4294967296LL},
      {"$FFFFFFFFFFFFFFFF", false, 0, true, -1},
      {"$8000000000000000", false, 0, true, INT64_MIN},
      {"$10000000000000000", false, 0, false, 0},
      {"9223372036854775807", false, 0, true, INT64_MAX},
      {"9223372036854775808", false, 0, false, 0},
      {"-9223372036854775808", false, 0, true, INT64_MIN},
      {"", false, 0, false, 0},
      {"$", false, 0, false, 0},
      {"12 ", false, 0, false, 0},
      {"1.0", false, 0, false, 0},
      {"$G", false, 0, false, 0},
  };
  for (const Case& c : cases) {
    int32_t a = 99;
    int64_t b = 99;
    EXPECT_EQ(TryStrToInt(c.text, a), c.ok32) << c.text;
    EXPECT_EQ(a, c.ok32 ? c.v32 : 99) << c.text;
    EXPECT_EQ(TryStrToInt64(c.text, b), c.ok64) << c.text;
    EXPECT_EQ(b, c.ok64 ? c.v64 : 99) << c.text;
  }
  EXPECT_THROW(StrToInt("x"), EConvertError);
  EXPECT_EQ(IntToHex(255, 1), "FF");
  EXPECT_EQ(IntToHex(0, 1), "0");
  EXPECT_EQ(IntToHex(10, 4), "000A");
  EXPECT_EQ(IntToHex(-1, 1), "FFFFFFFFFFFFFFFF");
}

TEST(Format, PercentGIsTheFrameworksGeneralFormat) {
  Separators s('.', ',');
  EXPECT_EQ(Format("Value must be between %g and %g", 1.0, 50.0), "Value must be between 1 and 50");
  EXPECT_EQ(Format("%g|%g|%Lg", 0.1, 1234567.0, 1e20L), "0.1|1234567|1E20");
  EXPECT_EQ(Format("%g", 1.0 / 3), "0.333333333333333");
  EXPECT_EQ(Format("%.3g", 1234.5), "1.23E3");
}

}  // namespace
