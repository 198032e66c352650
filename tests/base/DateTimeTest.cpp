#include "base/DateTime.h"

#include "base/Convert.h"
#include "base/Exception.h"
#include "base/Locale.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace ws;

TEST(DateTime, EpochAndKnownDays) {
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_DOUBLE_EQ(EncodeDate(2000, 3, 1), 36586.0);
    EXPECT_EQ(DecodeDate(36586.75), (DateParts{2000, 3, 1}));
    EXPECT_EQ(DecodeDate(EncodeDate(2024, 2, 29)), (DateParts{2024, 2, 29}));
    // The engine's day numbers count from 1 January 0001.
    EXPECT_EQ(DateToDayNumber(0.0), 693594);
    EXPECT_EQ(DateToDayNumber(EncodeDate(1, 1, 1)), 1);
    EXPECT_DOUBLE_EQ(DayNumberToDate(693594 + 36586), 36586.0);
}

TEST(DateTime, RejectsImpossibleParts) {
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2023, 13, 1), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_THROW(ParseIso("2026-12-09 10:00 junk"), EConvertError);
    EXPECT_THROW(ParseIso("2026-02-30"), EConvertError);
}

TEST(DateTime, TimeRoundTripsToTheMillisecond) {
    const TDateTime t = EncodeDateTime({2026, 12, 9}, {0, 1, 1, 1});
    EXPECT_EQ(DecodeTime(t), (TimeParts{0, 1, 1, 1}));
    EXPECT_EQ(FormatIso(t), "2026-12-09 00:01:01.001");
    EXPECT_DOUBLE_EQ(ParseIso("2026-12-09 00:01:01.001"), t);
    EXPECT_EQ(DecodeTime(EncodeTime(23, 59, 59, 999)), (TimeParts{23, 59, 59, 999}));
}

TEST(DateTime, ComparisonToleratesLessThanAMillisecond) {
    const TDateTime t = EncodeDateTime({2026, 12, 9}, {0, 1, 1, 1});
    EXPECT_EQ(CompareDateTime(t, t + OneMillisecond * 0.5), 0);
    EXPECT_EQ(CompareDateTime(t, t + OneMillisecond * 1.5), -1);
    EXPECT_EQ(CompareDateTime(t + OneMillisecond * 1.5, t), 1);
}

TEST(DateTime, OutOfRangeValuesAreClampedNotUndefined) {
    EXPECT_EQ(DecodeDate(1e300).year, 9999);
    EXPECT_EQ(DecodeDate(-1e300).year, 1);
    EXPECT_EQ(DecodeDate(std::nan("")).year, 1);
    EXPECT_EQ(DateToDayNumber(1e300), DateToDayNumber(EncodeDate(9999, 12, 31)));
}

// Whatever a table file holds in a date field, or in a float read as a moment, converts.
TEST(DateTime, EveryStoredDayNumberAndMomentConverts) {
    EXPECT_EQ(DayNumberToDate(-2147483647 - 1), -2147483648.0 - DateDelta);
    EXPECT_EQ(DayNumberToDate(2147483647), 2147483647.0 - DateDelta);
    EXPECT_EQ(DecodeDate(DayNumberToDate(-2147483647 - 1)), (DateParts{1, 1, 1}));
    // A moment outside 0001-01-01 .. 9999-12-31 (or not a number) has no text.
    const TFormatSettings gb = DefaultFormatSettings();
    EXPECT_EQ(FormatDateTime("dddd yyyy-mm-dd", DayNumberToDate(-2147483647 - 1), gb), "");
    EXPECT_EQ(FormatDateTime("dddd yyyy-mm-dd", 1e300, gb), "");
    EXPECT_EQ(FormatDateTime("dddd yyyy-mm-dd", std::nan(""), gb), "");
    EXPECT_EQ(FormatDateTime("dddd yyyy-mm-dd", EncodeDate(1, 1, 1), gb), "Monday 0001-01-01");
}
