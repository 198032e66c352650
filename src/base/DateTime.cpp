#include "base/DateTime.h"

#include "base/Exception.h"

#include <cmath>
#include <cstdio>

namespace ws {

namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

DateParts CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return DateParts{static_cast<int>(y + (m <= 2 ? 1 : 0)), static_cast<int>(m), static_cast<int>(d)};
}

// 1899-12-30 counted from 1970-01-01.
// Computed at compile time, so dates worked out during static initialisation elsewhere are right.
constexpr std::int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

} // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeapYear(year))
        return 29;
    return days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

TDateTime EncodeDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day))
        throw EConvertError("Invalid argument to date encode");
    return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               kEpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return ((hour * 3600000.0) + (minute * 60000.0) + (second * 1000.0) + msec) / MSecsPerDay;
}

TDateTime EncodeDateTime(const DateParts& date, const TimeParts& time) {
    const TDateTime d = EncodeDate(date.year, date.month, date.day);
    const TDateTime t = EncodeTime(time.hour, time.minute, time.second, time.msec);
    // Before the epoch the fraction counts away from zero, as the day number does.
    return d >= 0 ? d + t : d - t;
}

std::int64_t DateTimeToMSecs(TDateTime value) {
    return std::llround(value * MSecsPerDay);
}

TDateTime MSecsToDateTime(std::int64_t msecs) {
    return static_cast<double>(msecs) / MSecsPerDay;
}

namespace {

// Days beyond 31 December 9999 (or before 1 January 0001) are clamped: no date of ours lies
// there, and converting an arbitrary double to an integer would be undefined.
constexpr double kMinDay = -693'593.0;
constexpr double kMaxDay = 2'958'465.0;

std::int64_t ClampedDay(TDateTime value) {
    double day = std::trunc(value);
    if (!(day >= kMinDay)) // NaN too
        day = kMinDay;
    if (day > kMaxDay)
        day = kMaxDay;
    return static_cast<std::int64_t>(day);
}

} // namespace

DateParts DecodeDate(TDateTime value) {
    return CivilFromDays(ClampedDay(value) + kEpochOffset);
}

TimeParts DecodeTime(TDateTime value) {
    std::int64_t ms = std::llround(std::fabs(value - std::trunc(value)) * MSecsPerDay);
    if (ms >= 86'400'000)
        ms = 86'399'999;
    TimeParts t;
    t.hour = static_cast<int>(ms / 3'600'000);
    t.minute = static_cast<int>(ms / 60'000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.msec = static_cast<int>(ms % 1000);
    return t;
}

TDateTime DateOf(TDateTime value) {
    return std::trunc(value);
}

std::int32_t DateToDayNumber(TDateTime value) {
    return static_cast<std::int32_t>(ClampedDay(value)) + DateDelta;
}

TDateTime DayNumberToDate(std::int32_t dayNumber) {
    // In 64 bits: a stored day number near the ends of its range must not overflow.
    return static_cast<double>(static_cast<std::int64_t>(dayNumber) - DateDelta);
}

int CompareDateTime(TDateTime a, TDateTime b) {
    if (std::fabs(a - b) < OneMillisecond)
        return 0;
    return a < b ? -1 : 1;
}

std::string FormatIso(TDateTime value) {
    const DateParts d = DecodeDate(value);
    const TimeParts t = DecodeTime(value);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.year, d.month, d.day, t.hour,
                  t.minute, t.second, t.msec);
    return buf;
}

TDateTime ParseIso(const std::string& text) {
    // Reads "NNNN-NN-NN", then optionally " NN:NN", ":NN" and ".NNN"; the whole text must be used.
    size_t pos = 0;
    auto number = [&](size_t digits, int& out) {
        if (pos + digits > text.size())
            return false;
        out = 0;
        for (size_t i = 0; i < digits; ++i) {
            const char c = text[pos + i];
            if (c < '0' || c > '9')
                return false;
            out = out * 10 + (c - '0');
        }
        pos += digits;
        return true;
    };
    auto literal = [&](char c) {
        if (pos >= text.size() || text[pos] != c)
            return false;
        ++pos;
        return true;
    };
    DateParts d;
    TimeParts t;
    bool ok = number(4, d.year) && literal('-') && number(2, d.month) && literal('-') && number(2, d.day);
    if (ok && pos < text.size())
        ok = literal(' ') && number(2, t.hour) && literal(':') && number(2, t.minute);
    if (ok && pos < text.size())
        ok = literal(':') && number(2, t.second);
    if (ok && pos < text.size())
        ok = literal('.') && number(3, t.msec);
    ok = ok && pos == text.size() && IsValidDate(d.year, d.month, d.day) && t.hour < 24 && t.minute < 60 &&
         t.second < 60;
    if (!ok)
        throw EConvertError("'" + text + "' is not a valid date and time (use YYYY-MM-DD HH:MM:SS.mmm)");
    return EncodeDateTime(d, t);
}

} // namespace ws
