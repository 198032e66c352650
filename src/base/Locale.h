#pragma once

#include <array>
#include <string>
#include <string_view>

namespace ws {

// How numbers, money, dates and times are written in the user's locale. Patterns use the tokens
// of FormatDateTime; in them "/" and ":" stand for DateSeparator and TimeSeparator.
struct TFormatSettings {
    std::string ShortDateFormat = "dd/mm/yyyy";
    std::string LongTimeFormat = "hh:nn:ss";
    char DateSeparator = '/';
    char TimeSeparator = ':';
    // One byte, so that the filter scanner can recognise it inside a numeric literal.
    char DecimalSeparator = '.';
    // May be empty or several bytes (a narrow no-break space in some locales).
    std::string ThousandSeparator = ",";
    std::string CurrencySymbol = "\xC2\xA3";
    // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
    int CurrencyFormat = 0;
    // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-", 8 "-1 $", 9 "-$ 1",
    // 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)", 15 "(1 $)".
    int NegativeCurrencyFormat = 1;
    int CurrencyDecimals = 2;
    std::string AmSymbol = "AM";
    std::string PmSymbol = "PM";
    // A two-digit year lands in the hundred years that start this many years before the current one.
    int CenturyWindow = 50;
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    // Sunday first.
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
};

// The British settings the wall screen was designed with; used when the system has no locale.
TFormatSettings DefaultFormatSettings();

// Settings of the named C library locale ("" = the one the environment selects). The "C" and
// "POSIX" locales and names the system cannot load give DefaultFormatSettings().
TFormatSettings LocaleFormatSettings(const char* localeName);

// Turns a C library date or time format ("%d/%m/%y", "%r") into our pattern. The first
// punctuation character between fields is the separator: it is reported in separator (0 when
// there is none) and written as placeholder ("/" for dates, ":" for times).
std::string PatternFromCFormat(std::string_view cFormat, char placeholder, char& separator);

// The settings every conversion uses unless given others: read from the environment's locale
// the first time they are needed.
const TFormatSettings& FormatSettings();

// Replaces the process-wide settings for its lifetime (tests, tools); nests.
class TScopedFormatSettings {
public:
    explicit TScopedFormatSettings(const TFormatSettings& settings);
    ~TScopedFormatSettings();
    TScopedFormatSettings(const TScopedFormatSettings&) = delete;
    TScopedFormatSettings& operator=(const TScopedFormatSettings&) = delete;

private:
    TFormatSettings m_Settings;
    const TFormatSettings* m_Previous;
};

} // namespace ws
