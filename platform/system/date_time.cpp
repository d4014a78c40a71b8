#include "platform/system/date_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace {

using namespace std::chrono;

constexpr int64_t kUnixEpochAsDate = 25569;  // 1970-01-01 counted from 1899-12-30
constexpr int64_t kMillisecondsPerDay = 86400000;

std::tm LocalNow(int32_t& milliseconds) {
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  milliseconds = static_cast<int32_t>(duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

double DaysOf(const std::tm& local) {
  const sys_days day{year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                     static_cast<unsigned>(local.tm_mday)};
  return static_cast<double>(day.time_since_epoch().count() + kUnixEpochAsDate);
}

}  // namespace

double Today() {
  int32_t ms = 0;
  return DaysOf(LocalNow(ms));
}

double Now() {
  int32_t ms = 0;
  const std::tm local = LocalNow(ms);
  double time = 0;
  TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), ms, time);
  return DaysOf(local) + time;
}

bool TryEncodeDate(int32_t Year, int32_t Month, int32_t Day, double& Date) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > 31) return false;
  const year_month_day ymd{year{Year}, month{static_cast<unsigned>(Month)}, day{static_cast<unsigned>(Day)}};
  if (!ymd.ok()) return false;
  Date = static_cast<double>(sys_days{ymd}.time_since_epoch().count() + kUnixEpochAsDate);
  return true;
}

bool TryEncodeTime(int32_t Hour, int32_t Minute, int32_t Second, int32_t MilliSecond, double& Time) {
  if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59 || MilliSecond < 0 ||
      MilliSecond > 999)
    return false;
  Time = static_cast<double>(((Hour * 60 + Minute) * 60 + Second) * 1000 + MilliSecond) / kMillisecondsPerDay;
  return true;
}

double ComposeDateTime(double Date, double Time) { return Date < 0 ? Date - Time : Date + Time; }

void DecodeDate(double Date, int32_t& Year, int32_t& Month, int32_t& Day) {
  Year = Month = Day = 0;
  if (!std::isfinite(Date)) return;
  const double whole = std::trunc(Date);
  // Years 1 to 9999: days -693593 (0001-01-01) to 2958465 (9999-12-31).
  if (whole < -693593 || whole > 2958465) return;
  const sys_days day{days{static_cast<int64_t>(whole) - kUnixEpochAsDate}};
  const year_month_day ymd{day};
  Year = static_cast<int32_t>(ymd.year());
  Month = static_cast<int32_t>(static_cast<unsigned>(ymd.month()));
  Day = static_cast<int32_t>(static_cast<unsigned>(ymd.day()));
}

void DecodeTime(double Date, int32_t& Hour, int32_t& Minute, int32_t& Second, int32_t& MilliSecond) {
  Hour = Minute = Second = MilliSecond = 0;
  if (!std::isfinite(Date)) return;
  int64_t ms = std::llround(std::fabs(Date - std::trunc(Date)) * kMillisecondsPerDay);
  if (ms >= kMillisecondsPerDay) ms = kMillisecondsPerDay - 1;
  MilliSecond = static_cast<int32_t>(ms % 1000);
  Second = static_cast<int32_t>(ms / 1000 % 60);
  Minute = static_cast<int32_t>(ms / 60000 % 60);
  Hour = static_cast<int32_t>(ms / 3600000);
}
