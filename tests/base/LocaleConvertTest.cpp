#include "base/Convert.h"
#include "base/DateTime.h"
#include "base/Exception.h"
#include "base/Locale.h"

#include <cmath>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>

using namespace ws;

namespace {

// The German conventions as the C library describes them: "%d.%m.%Y", comma decimals, euro after
// the amount.
TFormatSettings GermanSettings() {
    TFormatSettings s;
    char separator = 0;
    s.ShortDateFormat = PatternFromCFormat("%d.%m.%Y", '/', separator);
    s.DateSeparator = separator;
    s.DecimalSeparator = ',';
    s.ThousandSeparator = ".";
    s.CurrencySymbol = "\xE2\x82\xAC";
    s.CurrencyFormat = 3;
    s.NegativeCurrencyFormat = 8;
    return s;
}

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "(no exception)";
}

// A function, not a constant: the date arithmetic must not run before its own statics are set.
TDateTime Afternoon() {
    return EncodeDateTime({2026, 12, 9}, {14, 3, 7, 45});
}

} // namespace

TEST(Locale, BritishDefaultsWhenTheSystemHasNoLocale) {
    for (const char* name : {"C", "POSIX", "C.UTF-8", "no_SUCH.locale"}) {
        const TFormatSettings s = LocaleFormatSettings(name);
        EXPECT_EQ(s.ShortDateFormat, "dd/mm/yyyy") << name;
        EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss") << name;
        EXPECT_EQ(s.DecimalSeparator, '.') << name;
        EXPECT_EQ(s.CurrencySymbol, "\xC2\xA3") << name;
    }
    const TFormatSettings gb = DefaultFormatSettings();
    EXPECT_EQ(DateToStr(Afternoon(), gb), "09/12/2026");
    EXPECT_EQ(DateTimeToStr(Afternoon(), gb), "09/12/2026 14:03:07");
    EXPECT_EQ(FloatToStr(12.5, gb), "12.5");
    EXPECT_EQ(FormatCurrency(1234.5, gb), "\xC2\xA3"
                                          "1,234.50");
    EXPECT_EQ(FormatCurrency(-1.5, gb), "-\xC2\xA3"
                                        "1.50");
}

TEST(Locale, CDateAndTimeFormatsBecomePatterns) {
    struct Case {
        const char* cFormat;
        char placeholder;
        const char* pattern;
        char separator;
    };
    const Case cases[] = {
        {"%d/%m/%y", '/', "dd/mm/yy", '/'},
        {"%d.%m.%Y", '/', "dd/mm/yyyy", '.'},
        {"%m/%d/%Y", '/', "mm/dd/yyyy", '/'},
        {"%Y-%m-%d", '/', "yyyy/mm/dd", '-'},
        {"%T", ':', "hh:nn:ss", 0},
        {"%r", ':', "hh:nn:ss ampm", 0},
        {"%I:%M:%S %p", ':', "hh:nn:ss ampm", ':'},
        {"%H.%M.%S", ':', "hh:nn:ss", '.'},
        // Characters that are no separator are quoted, so they can never read as tokens.
        {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", '/',
         "yyyy\"\xE5\xB9\xB4\"mm\"\xE6\x9C\x88\"dd\"\xE6\x97\xA5\"", 0},
        {"%d de %m", '/', "dd \"de\" mm", 0},
    };
    for (const Case& c : cases) {
        char separator = 'x';
        const std::string pattern = PatternFromCFormat(c.cFormat, c.placeholder, separator);
        EXPECT_EQ(pattern, c.pattern) << c.cFormat;
        EXPECT_EQ(separator, c.separator) << c.cFormat;
    }
    char separator = 0;
    const std::string japanese =
        PatternFromCFormat("%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", '/', separator);
    EXPECT_EQ(FormatDateTime(japanese, Afternoon()), "2026\xE5\xB9\xB4"
                                                     "12\xE6\x9C\x88"
                                                     "09\xE6\x97\xA5");
    // A letter in a literal must not turn into a date part.
    EXPECT_EQ(FormatDateTime(PatternFromCFormat("%d de %m", '/', separator), Afternoon()), "09 de 12");
}

TEST(Locale, ScopedOverridesNestAndRestore) {
    const TFormatSettings before = FormatSettings();
    {
        TFormatSettings german = GermanSettings();
        TScopedFormatSettings outer(german);
        EXPECT_EQ(FloatToStr(2.5), "2,5");
        {
            TScopedFormatSettings inner(DefaultFormatSettings());
            EXPECT_EQ(FloatToStr(2.5), "2.5");
        }
        EXPECT_EQ(DateToStr(Afternoon()), "09.12.2026");
        german.DecimalSeparator = '?'; // the override holds its own copy
        EXPECT_EQ(FloatToStr(2.5), "2,5");
    }
    EXPECT_EQ(FormatSettings().ShortDateFormat, before.ShortDateFormat);
    EXPECT_EQ(FormatSettings().DecimalSeparator, before.DecimalSeparator);
}

TEST(Locale, GermanConventionsForNumbersDatesAndMoney) {
    TScopedFormatSettings german(GermanSettings());
    EXPECT_EQ(FloatToStr(1234.25), "1234,25");
    EXPECT_DOUBLE_EQ(StrToFloat("2,5"), 2.5);
    EXPECT_EQ(MessageOf([] { StrToFloat("2.5"); }), "'2.5' is not a valid floating point value");
    EXPECT_EQ(DateTimeToStr(Afternoon()), "09.12.2026 14:03:07");
    EXPECT_DOUBLE_EQ(StrToDate("9.12.2026"), EncodeDate(2026, 12, 9));
    EXPECT_THROW(StrToDate("9/12/2026"), EConvertError);
    EXPECT_EQ(FormatCurrency(-1234.5), "-1.234,50 \xE2\x82\xAC");
    EXPECT_EQ(FormatCurrency(3), "3,00 \xE2\x82\xAC");
}

TEST(StrToInt, AcceptsDecimalAndHexadecimalForms) {
    EXPECT_EQ(StrToInt("255"), 255);
    EXPECT_EQ(StrToInt("   255"), 255);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
    EXPECT_EQ(StrToInt("$000000FF"), 255);
    EXPECT_EQ(StrToInt("$00000000000000ff"), 255); // leading zeros are not significant
    EXPECT_EQ(StrToInt("x1F"), 31);
    EXPECT_EQ(StrToInt("X1f"), 31);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("0XFFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("$80000000"), INT32_MIN);
    // The sign is applied after the hexadecimal digits.
    EXPECT_EQ(StrToInt("-$1"), -1);
    EXPECT_EQ(StrToInt("-0x80000000"), INT32_MIN);
    EXPECT_EQ(StrToInt("$1FFFFFFF"), 0x1FFFFFFF);
}

TEST(StrToInt, RejectsEverythingElseWithTheTextInTheMessage) {
    for (const char* text : {"Red",         "",    " ",   "clRed ", "255 ",       "2147483648",
                             "-2147483649", "$",   "0x",  "x",      "$100000000", "$FG",
                             "--1",         "+-1", "1.0", "1e3",    " -",         "99999999999999999999",
                             "0x-1",        "\t1"}) {
        std::int32_t value = 42;
        EXPECT_FALSE(TryStrToInt(text, value)) << text;
        EXPECT_EQ(value, 42) << "a failed conversion keeps the old value: " << text;
        EXPECT_EQ(MessageOf([&] { StrToInt(text); }),
                  "'" + std::string(text) + "' is not a valid integer value");
    }
}

TEST(FloatToStr, ShortestGeneralForm) {
    const TFormatSettings gb = DefaultFormatSettings();
    EXPECT_EQ(FloatToStr(3, gb), "3");
    EXPECT_EQ(FloatToStr(2.5, gb), "2.5");
    EXPECT_EQ(FloatToStr(-12.5, gb), "-12.5");
    EXPECT_EQ(FloatToStr(0.1 + 0.2, gb), "0.3");
    EXPECT_EQ(FloatToStr(1.0 / 3, gb), "0.333333333333333");
    EXPECT_EQ(FloatToStr(0, gb), "0");
    EXPECT_EQ(FloatToStr(-0.0, gb), "0");
    EXPECT_EQ(FloatToStr(0.0001, gb), "0.0001");
    EXPECT_EQ(FloatToStr(1e-5, gb), "1E-5");
    EXPECT_EQ(FloatToStr(-2.5e-7, gb), "-2.5E-7");
    EXPECT_EQ(FloatToStr(999999999999999.0, gb), "999999999999999");
    EXPECT_EQ(FloatToStr(1e15, gb), "1E15");
    EXPECT_EQ(FloatToStr(1e20, gb), "1E20");
    EXPECT_EQ(FloatToStr(123456789012345678.0, gb), "1.23456789012346E17");
    EXPECT_EQ(FloatToStr(100, gb), "100");
    EXPECT_EQ(FloatToStr(9.9999999999999999, gb), "10");
}

TEST(StrToFloat, ReadsTheLocaleFormAndNothingElse) {
    const TFormatSettings gb = DefaultFormatSettings();
    EXPECT_DOUBLE_EQ(StrToFloat(" 2.5 ", gb), 2.5);
    EXPECT_DOUBLE_EQ(StrToFloat("-1e3", gb), -1000);
    EXPECT_DOUBLE_EQ(StrToFloat("+.5", gb), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("5.", gb), 5);
    EXPECT_DOUBLE_EQ(StrToFloat("3", gb), 3);
    EXPECT_DOUBLE_EQ(StrToFloat("1.5E-2", gb), 0.015);
    for (const char* text :
         {"", ".", "-", "1e", "1e+", "1,5", "abc", "1 2", "1e999", "0x10", "nan", "inf", "1..2"}) {
        double value = 42;
        EXPECT_FALSE(TryStrToFloat(text, value, gb)) << text;
        EXPECT_EQ(value, 42) << text;
        EXPECT_EQ(MessageOf([&] { StrToFloat(text, gb); }),
                  "'" + std::string(text) + "' is not a valid floating point value");
    }
    // What FloatToStr writes reads back as the same number.
    for (const double v : {0.1, 1.0 / 3, 1e20, -2.5e-7, 123456.789}) {
        EXPECT_NEAR(StrToFloat(FloatToStr(v, gb), gb), v, std::fabs(v) * 1e-14);
    }
}

TEST(FormatCurrency, RoundsAndPlacesSymbolAndSign) {
    TFormatSettings s = DefaultFormatSettings();
    s.CurrencySymbol = "$";
    EXPECT_EQ(FormatCurrency(1.005, s), "$1.01");
    EXPECT_EQ(FormatCurrency(0.125, s), "$0.13");
    EXPECT_EQ(FormatCurrency(999.999, s), "$1,000.00");
    EXPECT_EQ(FormatCurrency(1234567.891, s), "$1,234,567.89");
    EXPECT_EQ(FormatCurrency(0.004, s), "$0.00");
    EXPECT_EQ(FormatCurrency(-0.004, s), "$0.00"); // no minus on a value that rounds to nothing
    EXPECT_EQ(FormatCurrency(1e-9, s), "$0.00");
    const char* negative[] = {"($1.50)", "-$1.50",  "$-1.50",   "$1.50-",  "(1.50$)", "-1.50$",
                              "1.50-$",  "1.50$-",  "-1.50 $",  "-$ 1.50", "1.50 $-", "$ 1.50-",
                              "$ -1.50", "1.50- $", "($ 1.50)", "(1.50 $)"};
    for (int format = 0; format < 16; ++format) {
        s.NegativeCurrencyFormat = format;
        EXPECT_EQ(FormatCurrency(-1.5, s), negative[format]) << format;
    }
    const char* positive[] = {"$1.50", "1.50$", "$ 1.50", "1.50 $"};
    for (int format = 0; format < 4; ++format) {
        s.CurrencyFormat = format;
        EXPECT_EQ(FormatCurrency(1.5, s), positive[format]) << format;
    }
    s.CurrencyFormat = 0;
    s.CurrencyDecimals = 0;
    EXPECT_EQ(FormatCurrency(2.5, s), "$3");
    s.ThousandSeparator.clear();
    EXPECT_EQ(FormatCurrency(1234567, s), "$1234567");
}

TEST(FormatDateTime, Tokens) {
    const TFormatSettings gb = DefaultFormatSettings();
    EXPECT_EQ(FormatDateTime("dddd d mmmm yyyy", Afternoon(), gb), "Wednesday 9 December 2026");
    EXPECT_EQ(FormatDateTime("ddd dd-mmm-yy", Afternoon(), gb), "Wed 09-Dec-26");
    EXPECT_EQ(FormatDateTime("m/d/yyyy", Afternoon(), gb), "12/9/2026");
    EXPECT_EQ(FormatDateTime("hh:mm", Afternoon(), gb), "14:03"); // minutes right after an hour
    EXPECT_EQ(FormatDateTime("h:n:s.zzz", Afternoon(), gb), "14:3:7.045");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", Afternoon(), gb), "2:03 pm");
    EXPECT_EQ(FormatDateTime("h:nn AM/PM", EncodeTime(0, 5, 0, 0), gb), "12:05 AM");
    EXPECT_EQ(FormatDateTime("h:nna/p", EncodeTime(12, 0, 0, 0), gb), "12:00p");
    EXPECT_EQ(FormatDateTime("hh:nn ampm", EncodeTime(11, 59, 0, 0), gb), "11:59 AM");
    EXPECT_EQ(FormatDateTime("'day' d \"of\" mmmm", Afternoon(), gb), "day 9 of December");
    EXPECT_EQ(FormatDateTime("ddddd tt", Afternoon(), gb), "09/12/2026 14:03:07");
    EXPECT_EQ(FormatDateTime("DD/MM/YYYY", Afternoon(), gb), "09/12/2026");
    // A day before 30 December 1899 keeps its time of day.
    EXPECT_EQ(FormatDateTime("dddd dd/mm/yyyy hh:nn", -1.25, gb), "Friday 29/12/1899 06:00");
}

TEST(FormatDateTime, ValuesNoCalendarHoldsHaveNoText) {
    const TFormatSettings gb = DefaultFormatSettings();
    EXPECT_EQ(DateToStr(EncodeDate(1, 1, 1), gb), "01/01/0001");
    EXPECT_EQ(DateTimeToStr(EncodeDateTime({9999, 12, 31}, {23, 59, 59, 999}), gb), "31/12/9999 23:59:59");
    for (const double bad : {1e300, -1e300, std::nan(""), HUGE_VAL, EncodeDate(1, 1, 1) - 1}) {
        EXPECT_EQ(DateTimeToStr(bad, gb), "") << bad;
    }
}

TEST(FormatDateTime, SelfReferringLocaleFormatsDoNotRecurse) {
    TFormatSettings s = DefaultFormatSettings();
    s.ShortDateFormat = "ddddd c";
    s.LongTimeFormat = "tt";
    EXPECT_NO_THROW(DateTimeToStr(Afternoon(), s));
}

TEST(DateTimeToStr, LeavesOutMidnight) {
    const TFormatSettings gb = DefaultFormatSettings();
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 12, 9), gb), "09/12/2026");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 12, 9) + OneMillisecond, gb), "09/12/2026 00:00:00");
    EXPECT_EQ(DateTimeToStr(0, gb), "30/12/1899");
    EXPECT_EQ(TimeToStr(Afternoon(), gb), "14:03:07");
}

TEST(StrToDate, FollowsTheShortDateOrder) {
    TFormatSettings s = DefaultFormatSettings();
    EXPECT_DOUBLE_EQ(StrToDate("9/12/2026", s), EncodeDate(2026, 12, 9));
    EXPECT_DOUBLE_EQ(StrToDate(" 09/12/2026 ", s), EncodeDate(2026, 12, 9));
    EXPECT_DOUBLE_EQ(StrToDate("1/2/03", s), EncodeDate(2003, 2, 1));
    EXPECT_DOUBLE_EQ(StrToDate("1/2/99", s), EncodeDate(1999, 2, 1));
    EXPECT_DOUBLE_EQ(StrToDate("29/2/2024", s), EncodeDate(2024, 2, 29));
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(DecodeDate(StrToDate("9/12", s)), (DateParts{local.tm_year + 1900, 12, 9}));

    s.ShortDateFormat = "m/d/yyyy";
    EXPECT_DOUBLE_EQ(StrToDate("12/9/2026", s), EncodeDate(2026, 12, 9));
    EXPECT_THROW(StrToDate("13/9/2026", s), EConvertError);

    s.ShortDateFormat = "yyyy/mm/dd";
    s.DateSeparator = '-';
    EXPECT_DOUBLE_EQ(StrToDate("2026-12-09", s), EncodeDate(2026, 12, 9));
    EXPECT_EQ(DateToStr(EncodeDate(2026, 12, 9), s), "2026-12-09");
}

TEST(StrToDate, RejectsWhatIsNoDate) {
    const TFormatSettings gb = DefaultFormatSettings();
    for (const char* text :
         {"31/02/2026", "29/2/2023", "", " ", "1//2026", "1/2/2026x", "1.2.2026", "12345/1/1", "1/2/3/4",
          "0/1/2026", "1/13/2026", "9/12/", "/9/12", "today", "1/2/00000"}) {
        TDateTime value = 7;
        EXPECT_FALSE(TryStrToDate(text, value, gb)) << text;
        EXPECT_EQ(value, 7) << text;
        EXPECT_EQ(MessageOf([&] { StrToDate(text, gb); }), "'" + std::string(text) + "' is not a valid date");
    }
}

TEST(StrToDateTime, TimesAndRoundTrips) {
    const TFormatSettings gb = DefaultFormatSettings();
    EXPECT_DOUBLE_EQ(StrToTime("14:03:07", gb), EncodeTime(14, 3, 7, 0));
    EXPECT_DOUBLE_EQ(StrToTime("2:03 PM", gb), EncodeTime(14, 3, 0, 0));
    EXPECT_DOUBLE_EQ(StrToTime("12:00 am", gb), 0);
    EXPECT_DOUBLE_EQ(StrToTime("12:30pm", gb), EncodeTime(12, 30, 0, 0));
    EXPECT_DOUBLE_EQ(StrToTime("1:02:03.5", gb), EncodeTime(1, 2, 3, 500));
    for (const char* text : {"24:00", "13:00 PM", "10", "10:60", "1:2:3:4", "10:00 XM", "100:00", ""}) {
        EXPECT_EQ(MessageOf([&] { StrToTime(text, gb); }), "'" + std::string(text) + "' is not a valid time");
    }
    EXPECT_DOUBLE_EQ(StrToDateTime("09/12/2026 14:03", gb), EncodeDateTime({2026, 12, 9}, {14, 3, 0, 0}));
    EXPECT_DOUBLE_EQ(StrToDateTime("09/12/2026", gb), EncodeDate(2026, 12, 9));
    EXPECT_DOUBLE_EQ(StrToDateTime("06:00", gb), 0.25);
    EXPECT_EQ(MessageOf([&] { StrToDateTime("09/12/2026 25:00", gb); }),
              "'09/12/2026 25:00' is not a valid date and time");
    for (const TDateTime v : {EncodeDate(2026, 12, 9), EncodeDateTime({2026, 1, 31}, {23, 59, 59, 0}),
                              EncodeDateTime({1899, 12, 29}, {6, 0, 0, 0})}) {
        EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(v, gb), gb), v) << DateTimeToStr(v, gb);
    }
}
