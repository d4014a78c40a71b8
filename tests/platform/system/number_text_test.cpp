#include "platform/system/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/system/exception.h"
#include "platform/system/locale_info.h"

namespace {

// Sets the locale's separators for one test and puts the old ones back.
class Separators {
 public:
  Separators(char decimal, char thousand) : decimal_(DecimalSeparator()), thousand_(ThousandSeparator()) {
    SetDecimalSeparator(decimal);
    SetThousandSeparator(thousand);
  }
  ~Separators() {
    SetDecimalSeparator(decimal_);
    SetThousandSeparator(thousand_);
  }

 private:
  char decimal_, thousand_;
};

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
  EXPECT_EQ(Format("%lld %ld %zu %hhd %c %%", 1LL << 40, -5L, size_t{9}, 300, 'Q'), "1099511627776 -5 9 44 Q %");
  EXPECT_EQ(Format("%*d|%.*s", 4, 7, 2, "xyz"), "   7|xy");
  EXPECT_EQ(Format("HSLvar %d, %d, %d", 10, -20, 30), "HSLvar 10, -20, 30");
  EXPECT_EQ(Format("plain text"), "plain text");
  EXPECT_EQ(Format("%s", std::string(600, 'w').c_str()), std::string(600, 'w'));
}

}  // namespace
