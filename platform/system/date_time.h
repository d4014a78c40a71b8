#pragma once
// Dates and times as the framework holds them: a double whose whole part counts the days since
// 1899-12-30 and whose fraction is the time of day (for dates before that day the fraction still
// counts forward from midnight: -1.25 is 1899-12-29 06:00).
#include <cstdint>

// Today's local date (no time of day) and the local date and time now.
double Today();
double Now();

// The date of Year-Month-Day in the proleptic Gregorian calendar, years 1 to 9999; false for a
// date that does not exist.
bool TryEncodeDate(int32_t Year, int32_t Month, int32_t Day, double& Date);
// The fraction of a day of Hour:Minute:Second.MilliSecond; false outside 0..23, 0..59, 0..59, 0..999.
bool TryEncodeTime(int32_t Hour, int32_t Minute, int32_t Second, int32_t MilliSecond, double& Time);
// Date plus Time, the time counted forward from midnight also for dates before 1899-12-30.
double ComposeDateTime(double Date, double Time);

// The parts of a date value; values outside years 1 to 9999 give 0 for every part.
void DecodeDate(double Date, int32_t& Year, int32_t& Month, int32_t& Day);
// The time of day of a date value, rounded to the nearest millisecond.
void DecodeTime(double Date, int32_t& Hour, int32_t& Minute, int32_t& Second, int32_t& MilliSecond);
