#include "base/Convert.h"

#include "base/Exception.h"
#include "base/Strings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>

namespace ws {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// What a Try conversion reads from the text (with the settings, where it takes any), or
// EConvertError quoting the text as no valid 'what'.
template <typename T, typename... Settings>
T ConvertOrRaise(bool (*tryConvert)(std::string_view, T&, const Settings&...), std::string_view text,
                 const char* what, const Settings&... settings) {
    T value{};
    if (!tryConvert(text, value, settings...))
        throw EConvertError("'" + std::string(text) + "' is not a valid " + what);
    return value;
}

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Length of the hexadecimal prefix at the start of s (0 when there is none).
size_t HexPrefixLength(std::string_view s) {
    if (s.starts_with("0x") || s.starts_with("0X"))
        return 2;
    if (!s.empty() && (s[0] == '$' || s[0] == 'x' || s[0] == 'X'))
        return 1;
    return 0;
}

bool ParseHex(std::string_view digits, std::uint32_t& out) {
    if (digits.empty())
        return false;
    std::uint64_t value = 0;
    int significant = 0;
    for (const char c : digits) {
        const int v = HexValue(c);
        if (v < 0)
            return false;
        if (value != 0 || v != 0)
            ++significant;
        if (significant > 8)
            return false;
        value = value * 16 + static_cast<std::uint64_t>(v);
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

bool ParseDecimal(std::string_view digits, bool negative, std::int32_t& out) {
    if (digits.empty())
        return false;
    std::int64_t value = 0;
    for (const char c : digits) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - '0');
        if (value > 2'147'483'648LL)
            return false;
    }
    if (negative)
        value = -value;
    if (value > 2'147'483'647LL)
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

// The value rounded to 15 significant digits: digits without trailing zeros and the decimal
// exponent of the first one (value = d.ddd * 10^exponent). Zero gives "0" and exponent 0.
struct DecimalDigits {
    std::string digits;
    int exponent = 0;
};

DecimalDigits SignificantDigits(double magnitude) {
    DecimalDigits out;
    if (magnitude == 0) {
        out.digits = "0";
        return out;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 14);
    const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    const size_t e = text.find('e');
    for (size_t i = 0; i < e; ++i) {
        if (text[i] != '.')
            out.digits += text[i];
    }
    while (out.digits.size() > 1 && out.digits.back() == '0')
        out.digits.pop_back();
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), out.exponent);
    return out;
}

// The magnitude with exactly `decimals` digits after a "." (rounded half away from zero on the
// 15-digit decimal form, so that 1.005 gives 1.01 as a person expects of money).
std::string FixedMagnitude(double magnitude, int decimals) {
    const DecimalDigits d = SignificantDigits(magnitude);
    // A leading zero leaves room for a carry out of the first digit.
    std::string digits = "0" + d.digits;
    const int integerDigits = d.exponent + 2;
    const int keep = integerDigits + decimals;
    if (keep <= 0)
        return "0" + (decimals > 0 ? "." + std::string(static_cast<size_t>(decimals), '0') : std::string());
    if (static_cast<size_t>(keep) < digits.size()) {
        const bool up = digits[static_cast<size_t>(keep)] >= '5';
        digits.resize(static_cast<size_t>(keep));
        for (size_t i = digits.size(); up && i-- > 0;) {
            if (digits[i] == '9') {
                digits[i] = '0';
                continue;
            }
            ++digits[i];
            break;
        }
    }
    digits.resize(static_cast<size_t>(keep), '0');
    std::string out;
    if (integerDigits <= 0) {
        out = "0";
        digits.insert(0, static_cast<size_t>(-integerDigits), '0');
    } else {
        out = digits.substr(0, static_cast<size_t>(integerDigits));
        digits.erase(0, static_cast<size_t>(integerDigits));
        const size_t firstNonZero = out.find_first_not_of('0');
        out = firstNonZero == std::string::npos ? "0" : out.substr(firstNonZero);
    }
    if (decimals > 0)
        out += "." + digits.substr(0, static_cast<size_t>(decimals));
    return out;
}

std::string GroupThousands(const std::string& integerPart, const std::string& separator) {
    if (separator.empty())
        return integerPart;
    std::string out;
    const size_t n = integerPart.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += integerPart[i];
    }
    return out;
}

// --- dates and times ---------------------------------------------------------------------------

struct Moment {
    DateParts date;
    TimeParts time;
    int dayOfWeek = 0; // 0 = Sunday
};

Moment Decompose(TDateTime value) {
    Moment m;
    m.date = DecodeDate(value);
    m.time = DecodeTime(value);
    // 30 December 1899 was a Saturday.
    const auto day = static_cast<long long>(std::trunc(value));
    m.dayOfWeek = static_cast<int>(((day + 6) % 7 + 7) % 7);
    return m;
}

bool IsMidnight(TDateTime value) {
    return DecodeTime(value) == TimeParts{0, 0, 0, 0};
}

std::string Padded(int value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<size_t>(width - static_cast<int>(s.size())), '0');
    return s;
}

size_t RunLength(std::string_view p, size_t i) {
    const char c = LowerAscii(p[i]);
    size_t n = 1;
    while (i + n < p.size() && LowerAscii(p[i + n]) == c)
        ++n;
    return n;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(s[i]) != LowerAscii(prefix[i]))
            return false;
    }
    return true;
}

// Length of the AM/PM marker at the start of s, 0 when there is none.
size_t AmPmLength(std::string_view s) {
    if (StartsWithNoCase(s, "am/pm"))
        return 5;
    if (StartsWithNoCase(s, "ampm"))
        return 4;
    if (StartsWithNoCase(s, "a/p"))
        return 3;
    return 0;
}

// Whether the pattern, outside quoted text, asks for a 12-hour clock.
bool UsesTwelveHours(std::string_view p) {
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '"' || p[i] == '\'') {
            const size_t close = p.find(p[i], i + 1);
            if (close == std::string_view::npos)
                return false;
            i = close;
        } else if (AmPmLength(p.substr(i)) != 0) {
            return true;
        }
    }
    return false;
}

class DateTimeWriter {
public:
    DateTimeWriter(TDateTime value, const TFormatSettings& settings)
        : m_Value(value), m_Moment(Decompose(value)), m_Settings(settings) {}

    std::string Write(std::string_view pattern, int depth = 0) {
        std::string out;
        const bool twelveHours = UsesTwelveHours(pattern);
        bool afterHour = false;
        size_t i = 0;
        while (i < pattern.size()) {
            const char c = pattern[i];
            const char lc = LowerAscii(c);
            if (c == '"' || c == '\'') {
                size_t close = pattern.find(c, i + 1);
                if (close == std::string_view::npos)
                    close = pattern.size();
                out += pattern.substr(i + 1, close - i - 1);
                i = close + 1;
                continue;
            }
            if (const size_t marker = AmPmLength(pattern.substr(i))) {
                out += AmPm(pattern.substr(i, marker));
                i += marker;
                continue;
            }
            const bool isToken = std::string_view("dmyhnsztc").find(lc) != std::string_view::npos;
            const size_t run = isToken ? RunLength(pattern, i) : 1;
            switch (lc) {
            case 'd':
                out += Days(run, depth);
                break;
            case 'm':
                out += afterHour ? Number(m_Moment.time.minute, run >= 2 ? 2 : 1) : Months(run);
                break;
            case 'y':
                out += run <= 2 ? Padded(m_Moment.date.year % 100, 2) : Padded(m_Moment.date.year, 4);
                break;
            case 'h':
                out += Number(Hour(twelveHours), run >= 2 ? 2 : 1);
                break;
            case 'n':
                out += Number(m_Moment.time.minute, run >= 2 ? 2 : 1);
                break;
            case 's':
                out += Number(m_Moment.time.second, run >= 2 ? 2 : 1);
                break;
            case 'z':
                out += Number(m_Moment.time.msec, run >= 3 ? 3 : 1);
                break;
            case 't':
                out += Nested(run >= 2 ? std::string_view(m_Settings.LongTimeFormat) : "h:nn", depth);
                break;
            case 'c':
                out += Nested(m_Settings.ShortDateFormat, depth);
                if (!IsMidnight(m_Value))
                    out += " " + Nested(m_Settings.LongTimeFormat, depth);
                break;
            case '/':
                out += m_Settings.DateSeparator;
                break;
            case ':':
                out += m_Settings.TimeSeparator;
                break;
            default:
                out += c;
                break;
            }
            if (isToken)
                afterHour = lc == 'h';
            i += run;
        }
        return out;
    }

private:
    static std::string Number(int value, int width) { return Padded(value, width); }

    // The locale's formats may name each other ("c", "ddddd"); a format that names itself must
    // not recurse without end.
    std::string Nested(std::string_view pattern, int depth) {
        return depth >= 2 ? std::string() : Write(pattern, depth + 1);
    }

    int Hour(bool twelveHours) const {
        const int h = m_Moment.time.hour;
        if (!twelveHours)
            return h;
        return h % 12 == 0 ? 12 : h % 12;
    }

    std::string AmPm(std::string_view marker) const {
        const bool pm = m_Moment.time.hour >= 12;
        if (marker.size() == 4)
            return pm ? m_Settings.PmSymbol : m_Settings.AmSymbol;
        if (marker.size() == 3)
            return std::string(1, pm ? marker[2] : marker[0]);
        return std::string(pm ? marker.substr(3, 2) : marker.substr(0, 2));
    }

    std::string Days(size_t run, int depth) {
        switch (run) {
        case 1:
        case 2:
            return Number(m_Moment.date.day, static_cast<int>(run));
        case 3:
            return m_Settings.ShortDayNames[static_cast<size_t>(m_Moment.dayOfWeek)];
        case 4:
            return m_Settings.LongDayNames[static_cast<size_t>(m_Moment.dayOfWeek)];
        default:
            return Nested(m_Settings.ShortDateFormat, depth);
        }
    }

    std::string Months(size_t run) const {
        const auto index = static_cast<size_t>(m_Moment.date.month - 1);
        switch (run) {
        case 1:
        case 2:
            return Number(m_Moment.date.month, static_cast<int>(run));
        case 3:
            return m_Settings.ShortMonthNames[index];
        default:
            return m_Settings.LongMonthNames[index];
        }
    }

    TDateTime m_Value;
    Moment m_Moment;
    const TFormatSettings& m_Settings;
};

int CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

int ExpandYear(int year, size_t digits, const TFormatSettings& settings) {
    if (digits > 2)
        return year;
    const int current = CurrentYear();
    if (settings.CenturyWindow <= 0)
        return current / 100 * 100 + year;
    const int first = current - settings.CenturyWindow;
    int result = first / 100 * 100 + year;
    if (result < first)
        result += 100;
    return result;
}

enum class DateOrder { DMY, MDY, YMD };

DateOrder OrderOf(std::string_view format) {
    std::string letters;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '"' || c == '\'') {
            const size_t close = format.find(c, i + 1);
            if (close == std::string_view::npos)
                break;
            i = close;
            continue;
        }
        const char lc = LowerAscii(c);
        if ((lc == 'd' || lc == 'm' || lc == 'y') && letters.find(lc) == std::string::npos)
            letters += lc;
    }
    if (letters.starts_with("m"))
        return DateOrder::MDY;
    if (letters.starts_with("y"))
        return DateOrder::YMD;
    return DateOrder::DMY;
}

struct DateNumber {
    int value = 0;
    size_t digits = 0;
};

// Reads up to four digits at s[pos]; a longer run is no part of a date or time.
bool ReadNumber(std::string_view s, size_t& pos, DateNumber& out) {
    const size_t start = pos;
    out.value = 0;
    while (pos < s.size() && IsDigit(s[pos]) && pos - start < 4) {
        out.value = out.value * 10 + (s[pos] - '0');
        ++pos;
    }
    out.digits = pos - start;
    return out.digits > 0 && (pos == s.size() || !IsDigit(s[pos]));
}

// Up to three numbers of at most maxDigits digits each, one separator between two, from pos on:
// pos is left after the last one. False when a number is missing or too long.
bool ReadNumbers(std::string_view s, char separator, size_t maxDigits, size_t& pos, DateNumber (&parts)[3],
                 size_t& count) {
    count = 0;
    while (count < 3) {
        if (!ReadNumber(s, pos, parts[count]) || parts[count].digits > maxDigits)
            return false;
        ++count;
        if (pos == s.size() || s[pos] != separator)
            break;
        ++pos;
    }
    return true;
}

bool ParseDate(std::string_view text, const TFormatSettings& settings, TDateTime& value) {
    text = TrimSpaces(text);
    DateNumber parts[3];
    size_t count = 0;
    size_t pos = 0;
    if (!ReadNumbers(text, settings.DateSeparator, 4, pos, parts, count) || pos != text.size() || count < 2)
        return false;
    int year = CurrentYear();
    int month = 0;
    int day = 0;
    const DateOrder order = OrderOf(settings.ShortDateFormat);
    if (count == 2) {
        const bool dayFirst = order == DateOrder::DMY;
        day = parts[dayFirst ? 0 : 1].value;
        month = parts[dayFirst ? 1 : 0].value;
    } else {
        // Positions of day, month and year in the text.
        static const size_t positions[3][3] = {{0, 1, 2}, {1, 0, 2}, {2, 1, 0}};
        const size_t* at = positions[static_cast<int>(order)];
        day = parts[at[0]].value;
        month = parts[at[1]].value;
        year = ExpandYear(parts[at[2]].value, parts[at[2]].digits, settings);
    }
    if (!IsValidDate(year, month, day))
        return false;
    value = EncodeDate(year, month, day);
    return true;
}

// Consumes an AM or PM text (the locale's or the English one) after optional spaces.
int ReadMeridiem(std::string_view rest, const TFormatSettings& settings) {
    rest = TrimSpaces(rest);
    if (rest.empty())
        return 0;
    if (SameText(rest, settings.AmSymbol) || SameText(rest, "AM"))
        return 1;
    if (SameText(rest, settings.PmSymbol) || SameText(rest, "PM"))
        return 2;
    return -1;
}

bool ParseTime(std::string_view text, const TFormatSettings& settings, TDateTime& value) {
    text = TrimSpaces(text);
    DateNumber parts[3];
    size_t count = 0;
    size_t pos = 0;
    if (!ReadNumbers(text, settings.TimeSeparator, 2, pos, parts, count))
        return false;
    int msec = 0;
    if (count == 3 && pos < text.size() && (text[pos] == settings.DecimalSeparator || text[pos] == '.')) {
        DateNumber ms;
        ++pos;
        if (!ReadNumber(text, pos, ms) || ms.digits > 3)
            return false;
        msec = ms.value * (ms.digits == 1 ? 100 : ms.digits == 2 ? 10 : 1);
    }
    const int meridiem = ReadMeridiem(text.substr(pos), settings);
    if (count < 2 || meridiem < 0)
        return false;
    int hour = parts[0].value;
    if (meridiem != 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (meridiem == 2 ? 12 : 0);
    }
    const int second = count == 3 ? parts[2].value : 0;
    if (hour > 23 || parts[1].value > 59 || second > 59)
        return false;
    value = EncodeTime(hour, parts[1].value, second, msec);
    return true;
}

} // namespace

std::string IntToStr(std::int64_t value) {
    return std::to_string(value);
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    const size_t prefix = HexPrefixLength(s);
    if (prefix == 0)
        return ParseDecimal(s, negative, value);
    std::uint32_t bits = 0;
    if (!ParseHex(s.substr(prefix), bits))
        return false;
    if (negative)
        bits = 0u - bits;
    value = static_cast<std::int32_t>(bits);
    return true;
}

std::int32_t StrToInt(std::string_view text) {
    return ConvertOrRaise(TryStrToInt, text, "integer value");
}

std::string FloatToStr(double value, const TFormatSettings& settings) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    const DecimalDigits d = SignificantDigits(std::fabs(value));
    if (d.digits == "0")
        return "0";
    std::string out = value < 0 ? "-" : "";
    const std::string& digits = d.digits;
    const auto count = static_cast<int>(digits.size());
    if (d.exponent >= 15 || d.exponent < -4) {
        out += digits[0];
        if (count > 1)
            out += settings.DecimalSeparator + digits.substr(1);
        return out + "E" + std::to_string(d.exponent);
    }
    if (d.exponent < 0) {
        out += "0";
        out += settings.DecimalSeparator;
        return out + std::string(static_cast<size_t>(-d.exponent - 1), '0') + digits;
    }
    const int integerDigits = d.exponent + 1;
    if (count <= integerDigits)
        return out + digits + std::string(static_cast<size_t>(integerDigits - count), '0');
    out += digits.substr(0, static_cast<size_t>(integerDigits));
    out += settings.DecimalSeparator;
    return out + digits.substr(static_cast<size_t>(integerDigits));
}

bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& settings) {
    const std::string_view s = TrimSpaces(text);
    // Rewritten with "." so that the conversion does not depend on the C library's locale.
    std::string plain;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        plain += s[i++];
    size_t mantissaDigits = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i, ++mantissaDigits)
        plain += s[i];
    if (i < s.size() && s[i] == settings.DecimalSeparator) {
        plain += '.';
        for (++i; i < s.size() && IsDigit(s[i]); ++i, ++mantissaDigits)
            plain += s[i];
    }
    if (mantissaDigits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            plain += s[i++];
        size_t exponentDigits = 0;
        for (; i < s.size() && IsDigit(s[i]); ++i, ++exponentDigits)
            plain += s[i];
        if (exponentDigits == 0)
            return false;
    }
    if (i != s.size())
        return false;
    // from_chars takes no leading "+".
    const size_t skip = plain[0] == '+' ? 1 : 0;
    double parsed = 0;
    const auto res = std::from_chars(plain.data() + skip, plain.data() + plain.size(), parsed);
    if (res.ec != std::errc() || res.ptr != plain.data() + plain.size())
        return false;
    value = parsed;
    return true;
}

double StrToFloat(std::string_view text, const TFormatSettings& settings) {
    return ConvertOrRaise(TryStrToFloat, text, "floating point value", settings);
}

std::string FormatCurrency(double value, const TFormatSettings& settings) {
    static const char* const positive[] = {"$1", "1$", "$ 1", "1 $"};
    static const char* const negative[] = {"($1)", "-$1",  "$-1",  "$1-",  "(1$)", "-1$",  "1-$",   "1$-",
                                           "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)"};
    if (!std::isfinite(value))
        return FloatToStr(value, settings);
    const int decimals = std::clamp(settings.CurrencyDecimals, 0, 18);
    const std::string fixed = FixedMagnitude(std::fabs(value), decimals);
    const size_t point = fixed.find('.');
    std::string amount = GroupThousands(fixed.substr(0, point), settings.ThousandSeparator);
    if (point != std::string::npos)
        amount += settings.DecimalSeparator + fixed.substr(point + 1);
    // A value that rounds to zero is not shown as a debt.
    const bool isNegative = value < 0 && fixed.find_first_not_of("0.") != std::string::npos;
    const int format = isNegative ? settings.NegativeCurrencyFormat : settings.CurrencyFormat;
    const char* pattern = isNegative ? negative[format >= 0 && format < 16 ? format : 1]
                                     : positive[format >= 0 && format < 4 ? format : 0];
    std::string out;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p == '$')
            out += settings.CurrencySymbol;
        else if (*p == '1')
            out += amount;
        else
            out += *p;
    }
    return out;
}

std::string FormatDateTime(std::string_view pattern, TDateTime value, const TFormatSettings& settings) {
    // 1 January 0001 to the end of 31 December 9999; a stored value outside has no text.
    if (!(value > -693594.0 && value < 2958466.0))
        return {};
    return DateTimeWriter(value, settings).Write(pattern);
}

std::string DateToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(settings.ShortDateFormat, value, settings);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(settings.LongTimeFormat, value, settings);
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime("c", value, settings);
}

bool TryStrToDate(std::string_view text, TDateTime& value, const TFormatSettings& settings) {
    return ParseDate(text, settings, value);
}

TDateTime StrToDate(std::string_view text, const TFormatSettings& settings) {
    return ConvertOrRaise(TryStrToDate, text, "date", settings);
}

bool TryStrToTime(std::string_view text, TDateTime& value, const TFormatSettings& settings) {
    return ParseTime(text, settings, value);
}

TDateTime StrToTime(std::string_view text, const TFormatSettings& settings) {
    return ConvertOrRaise(TryStrToTime, text, "time", settings);
}

bool TryStrToDateTime(std::string_view text, TDateTime& value, const TFormatSettings& settings) {
    const std::string_view s = TrimSpaces(text);
    const size_t space = s.find(' ');
    if (space == std::string_view::npos)
        return ParseDate(s, settings, value) || ParseTime(s, settings, value);
    TDateTime date = 0;
    TDateTime time = 0;
    if (!ParseDate(s.substr(0, space), settings, date) || !ParseTime(s.substr(space + 1), settings, time))
        return false;
    // Before the epoch the time of day counts away from zero, as the day number does.
    value = date < 0 ? date - time : date + time;
    return true;
}

TDateTime StrToDateTime(std::string_view text, const TFormatSettings& settings) {
    return ConvertOrRaise(TryStrToDateTime, text, "date and time", settings);
}

} // namespace ws
