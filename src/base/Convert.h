#pragma once

#include "base/DateTime.h"
#include "base/Locale.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ws {

// Text conversions of numbers, money, dates and times. Every conversion that depends on the locale
// takes FormatSettings() unless it is handed other settings. Failed conversions of text throw
// EConvertError with a message that quotes the text.

std::string IntToStr(std::int64_t value);

// Strict 32-bit integers: leading spaces, one sign, then either decimal digits within range or a
// hexadecimal prefix ("$", "x", "X", "0x", "0X") with at most 8 significant digits, any bit pattern,
// the sign applied afterwards. Nothing may follow the digits. Throws "'%s' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, std::int32_t& value);

// The shortest general form with up to 15 significant digits: 3 gives "3", 2.5 "2.5", 1e20 "1E20",
// 0.00001 "1E-5".
std::string FloatToStr(double value, const TFormatSettings& settings = FormatSettings());

// Spaces around the number are allowed; the decimal separator is the locale's; an exponent may
// follow. Throws "'%s' is not a valid floating point value".
double StrToFloat(std::string_view text, const TFormatSettings& settings = FormatSettings());
bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& settings = FormatSettings());

// Money in the locale's currency format and negative currency format, with thousand separators
// and the locale's number of currency decimals (rounded half away from zero).
std::string FormatCurrency(double value, const TFormatSettings& settings = FormatSettings());

// Pattern tokens (letters in any case): d dd ddd dddd ddddd(short date), m mm mmm mmmm (minutes
// right after an hour), yy yyyy, h hh, n nn, s ss, z zzz, t (hour and minutes) tt (long time),
// c (short date, then the long time unless it is midnight), am/pm a/p ampm (and a 12-hour clock),
// "/" and ":" for the locale's separators, text in single or double quotes as it stands.
// A value outside the years 1 to 9999 (or not a number) gives the empty text.
std::string FormatDateTime(std::string_view pattern, TDateTime value,
                           const TFormatSettings& settings = FormatSettings());

std::string DateToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
std::string TimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
// The short date and the long time; the time is left out when it is midnight.
std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());

// Dates are read as numbers separated by the date separator in the order of the short date
// format (day-month-year, month-day-year or year-month-day); with two numbers the year is the
// current one; a year of one or two digits falls in the century window.
// Throws "'%s' is not a valid date".
TDateTime StrToDate(std::string_view text, const TFormatSettings& settings = FormatSettings());
bool TryStrToDate(std::string_view text, TDateTime& value, const TFormatSettings& settings);

// "h:n", "h:n:s" or "h:n:s.zzz", optionally followed by the AM or PM text.
// Throws "'%s' is not a valid time".
TDateTime StrToTime(std::string_view text, const TFormatSettings& settings = FormatSettings());
bool TryStrToTime(std::string_view text, TDateTime& value, const TFormatSettings& settings);

// A date, a time, or a date followed by spaces and a time.
// Throws "'%s' is not a valid date and time".
TDateTime StrToDateTime(std::string_view text, const TFormatSettings& settings = FormatSettings());
bool TryStrToDateTime(std::string_view text, TDateTime& value, const TFormatSettings& settings);

} // namespace ws
