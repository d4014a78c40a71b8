#include "platform/system/date_time.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>

namespace {

TEST(DateTime, DaysCountFrom1899December30) {
  struct Case { int32_t y, m, d; double days; };
  // Worked by hand: 1900-01-01 is two days on; 2000-01-01 is 36526 days on (100 years of 365 days
  // and 24 leap days, plus the 2 days of 1899); 1899-12-29 is the day before.
  const Case cases[] = {{1899, 12, 30, 0}, {1900, 1, 1, 2}, {2000, 1, 1, 36526}, {1899, 12, 29, -1},
                        {1, 1, 1, -693593}, {9999, 12, 31, 2958465}};
  for (const Case& c : cases) {
    double date = 99;
    ASSERT_TRUE(TryEncodeDate(c.y, c.m, c.d, date)) << c.y;
    EXPECT_EQ(date, c.days);
    int32_t y, m, d;
    DecodeDate(date, y, m, d);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(m, c.m);
    EXPECT_EQ(d, c.d);
  }
  double date = 0;
  for (const auto& bad : {std::array{2023, 2, 29}, std::array{2024, 13, 1}, std::array{0, 1, 1}, std::array{2024, 4, 31}})
    EXPECT_FALSE(TryEncodeDate(bad[0], bad[1], bad[2], date));
  int32_t y = 5, m = 5, d = 5;
  DecodeDate(3e6, y, m, d);
  EXPECT_EQ(y, 0);
}

TEST(DateTime, TimesAreFractionsOfADay) {
  double t = 0;
  ASSERT_TRUE(TryEncodeTime(18, 0, 0, 0, t));
  EXPECT_EQ(t, 0.75);
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(1, 60, 0, 0, t));
  ASSERT_TRUE(TryEncodeTime(13, 45, 7, 250, t));
  // Before 1899-12-30 the time still counts forward from midnight.
  for (double date : {36526.0, -2.0}) {
    const double value = ComposeDateTime(date, t);
    int32_t h, mi, s, ms;
    DecodeTime(value, h, mi, s, ms);
    EXPECT_EQ(h, 13);
    EXPECT_EQ(mi, 45);
    EXPECT_EQ(s, 7);
    EXPECT_EQ(ms, 250);
    int32_t y, m, d;
    DecodeDate(value, y, m, d);
    EXPECT_EQ(y, date > 0 ? 2000 : 1899);
  }
}

TEST(DateTime, TodayIsTheLocalDate) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  int32_t y, m, d;
  DecodeDate(Today(), y, m, d);
  EXPECT_EQ(y, local.tm_year + 1900);
  EXPECT_EQ(m, local.tm_mon + 1);
  EXPECT_EQ(Today(), static_cast<double>(static_cast<int64_t>(Today())));
  EXPECT_GE(Now(), Today());
  EXPECT_LT(Now(), Today() + 1);
}

}  // namespace
