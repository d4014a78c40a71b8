#include "platform/system/locale_info.h"

#include <gtest/gtest.h>

namespace {

TEST(Locale, NamesToLocaleIdentifiers) {
  struct Case {
    const char* name;
    LCID lcid;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", 0x0407}, {"en_US.UTF-8", 0x0409}, {"en_GB", 0x0409}, {"it_IT@euro", 0x0410},
      {"fa_IR", 0x0429},       {"hu_HU", 0x040E},       {"ja_JP.eucJP", 0x0411}, {"pt_BR.UTF-8", 0x0416},
      {"zh_TW.UTF-8", 0x0404}, {"zh_CN.GB18030", 0x0804}, {"zh_HK", 0x0C04}, {"zh", 0x0804},
      {"C", 0x0409},           {"POSIX", 0x0409},       {"", 0x0409},    {"xx_YY", 0x0409},
  };
  for (const Case& c : cases) EXPECT_EQ(LocaleNameToLCID(c.name), c.lcid) << c.name;
  EXPECT_EQ(PRIMARYLANGID(LANGIDFROMLCID(0x0804)), LANG_CHINESE);
  EXPECT_EQ(SUBLANGID(LANGIDFROMLCID(0x0804)), SUBLANG_CHINESE_SIMPLIFIED);
}

TEST(Locale, SettingsCanBeChanged) {
  const LCID oldLocale = GetThreadLocale();
  const char oldDecimal = DecimalSeparator();
  const char oldThousand = ThousandSeparator();
  EXPECT_NE(oldLocale, 0u);
  EXPECT_TRUE(oldDecimal == '.' || oldDecimal == ',');
  EXPECT_NE(oldThousand, oldDecimal);
  SetThreadLocale(0x0410);
  SetDecimalSeparator(',');
  SetThousandSeparator('.');
  EXPECT_EQ(GetThreadLocale(), 0x0410u);
  EXPECT_EQ(DecimalSeparator(), ',');
  EXPECT_EQ(ThousandSeparator(), '.');
  SetThreadLocale(oldLocale);
  SetDecimalSeparator(oldDecimal);
  SetThousandSeparator(oldThousand);
}

}  // namespace
