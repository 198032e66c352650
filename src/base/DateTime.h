#pragma once

#include <cstdint>
#include <string>

namespace ws {

// Days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

constexpr double MSecsPerDay = 86'400'000.0;
// One millisecond as a fraction of a day: the tolerance of time comparisons.
constexpr double OneMillisecond = 1.0 / MSecsPerDay;
// Day number (1 = 1 January 0001) of 30 December 1899.
constexpr std::int32_t DateDelta = 693'594;

struct DateParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    friend bool operator==(const DateParts&, const DateParts&) = default;
};

struct TimeParts {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
    friend bool operator==(const TimeParts&, const TimeParts&) = default;
};

bool IsValidDate(int year, int month, int day);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Both throw EConvertError for parts out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
TDateTime EncodeDateTime(const DateParts& date, const TimeParts& time);

DateParts DecodeDate(TDateTime value);
// Rounded to the nearest millisecond, as a clock reading would be.
TimeParts DecodeTime(TDateTime value);

// The start of the day that holds the value.
TDateTime DateOf(TDateTime value);

// Whole days since 1 January 0001 counted from 1, and back.
std::int32_t DateToDayNumber(TDateTime value);
TDateTime DayNumberToDate(std::int32_t dayNumber);

// Milliseconds since 30 December 1899, and back (exact for the range we use).
std::int64_t DateTimeToMSecs(TDateTime value);
TDateTime MSecsToDateTime(std::int64_t msecs);

// Compares two moments with the one-millisecond tolerance: -1, 0 or 1.
int CompareDateTime(TDateTime a, TDateTime b);

// "YYYY-MM-DD HH:MM:SS.mmm", the fixed form our tools read and write.
std::string FormatIso(TDateTime value);
// Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS" and "... .mmm"; throws EConvertError.
TDateTime ParseIso(const std::string& text);

} // namespace ws
