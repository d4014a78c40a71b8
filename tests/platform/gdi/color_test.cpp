#include <gtest/gtest.h>

#include "platform/gdi/color.h"
#include "platform/system/exception.h"

TEST(ColorTest, NamesRoundTrip) {
  struct Case {
    TColor color;
    const char* text;
  } cases[] = {{clWhite, "clWhite"},        {clBtnFace, "clBtnFace"}, {clNone, "clNone"},
               {clDefault, "clDefault"},    {0x00123456, "$00123456"}, {TColor(0xFF00001F), "$FF00001F"},
               {cl3DDkShadow, "cl3DDkShadow"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ColorToString(c.color), c.text);
    EXPECT_EQ(StringToColor(c.text), c.color) << c.text;
  }
  EXPECT_EQ(StringToColor("CLRED"), clRed);
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_EQ(StringToColor("0xFF0000"), clBlue);
}

TEST(ColorTest, BadTextRaises) {
  for (const char* bad : {"", "clNoSuch", "$", "$12G", "12a", "99999999999"}) {
    try {
      StringToColor(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
    }
  }
}

TEST(ColorTest, SystemColorsResolve) {
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
}
