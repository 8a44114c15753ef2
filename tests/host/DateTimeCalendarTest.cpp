// The calendar helpers against independent formulas over every day of the supported years.

#include "host/DateTimeCalendar.h"

#include <gtest/gtest.h>

namespace cal = strand::calendar;

namespace {

// The Julian Day Number of a proleptic Gregorian date (Fliegel and Van Flandern, with floor division so
// that it holds for negative years too).
int64_t julianDayNumber(int64_t y, int64_t m, int64_t d) {
    const int64_t a = cal::floorDiv(14 - m, 12), yy = y + 4800 - a, mm = m + 12 * a - 3;
    return d + cal::floorDiv(153 * mm + 2, 5) + 365 * yy + cal::floorDiv(yy, 4) - cal::floorDiv(yy, 100) +
           cal::floorDiv(yy, 400) - 32045;
}

// ISO 8601 weeks by the rule of the week's Thursday.
int64_t isoWeeksInYear(int64_t y) {
    auto p = [](int64_t year) {
        return cal::floorMod(
            year + cal::floorDiv(year, 4) - cal::floorDiv(year, 100) + cal::floorDiv(year, 400), 7);
    };
    return p(y) == 4 || p(y - 1) == 3 ? 53 : 52;
}

cal::IsoWeek isoWeekOracle(int32_t y, int32_t m, int32_t d) {
    const int64_t jdn = julianDayNumber(y, m, d);
    const int64_t weekday = cal::floorMod(jdn, 7) + 1;  // 1 Monday to 7 Sunday
    const int64_t yearDay = jdn - julianDayNumber(y, 1, 1) + 1;
    const int64_t week = cal::floorDiv(yearDay - weekday + 10, 7);
    if (week < 1)
        return {y - 1, int32_t(isoWeeksInYear(y - 1))};
    if (week > isoWeeksInYear(y))
        return {y + 1, 1};
    return {y, int32_t(week)};
}

TEST(DateTimeCalendar, EveryDayAgreesWithTheJulianDayNumberAndIsoWeeksWithTheThursdayRule) {
    const int64_t epoch = julianDayNumber(1970, 1, 1);
    int64_t days = cal::daysFromCivil(cal::kMinYear, 1, 1);
    for (int32_t y = cal::kMinYear; y <= cal::kMaxYear; ++y) {
        for (int32_t m = 1; m <= 12; ++m) {
            for (int32_t d = 1; d <= cal::daysInMonth(y, m); ++d, ++days) {
                ASSERT_EQ(cal::daysFromCivil(y, m, d), julianDayNumber(y, m, d) - epoch)
                    << y << "-" << m << "-" << d;
                const cal::CivilDate back = cal::civilFromDays(days);
                ASSERT_TRUE(back.year == y && back.month == m && back.day == d) << days;
                ASSERT_EQ(cal::dayOfWeek(days), cal::floorMod(julianDayNumber(y, m, d) + 1, 7) + 1) << days;
            }
        }
    }
    for (int32_t y :
         {-9998, -1, 0, 1, 1582, 1900, 2000, 2004, 2005, 2008, 2009, 2010, 2015, 2020, 2021, 2026, 9999}) {
        for (int32_t m = 1; m <= 12; ++m) {
            for (int32_t d = 1; d <= cal::daysInMonth(y, m); ++d) {
                const cal::IsoWeek got = cal::isoWeek(cal::daysFromCivil(y, m, d));
                const cal::IsoWeek want = isoWeekOracle(y, m, d);
                ASSERT_TRUE(got.year == want.year && got.week == want.week) << y << "-" << m << "-" << d;
            }
        }
    }
}

// Every month's length is checked by the day-by-day walk above; here the rule itself and the edges.
TEST(DateTimeCalendar, LeapYearsMonthLengthsAndMilliseconds) {
    for (int32_t year : {1600, 2000, 2024, 0, -4, -400})
        EXPECT_TRUE(cal::isLeapYear(year)) << year;
    for (int32_t year : {1700, 1900, 2023, -100})
        EXPECT_FALSE(cal::isLeapYear(year)) << year;
    EXPECT_EQ(cal::daysInMonth(cal::kUndefinedYear, 2), 29);
    EXPECT_EQ(cal::daysInMonth(2006, 0), -1);
    EXPECT_EQ(cal::daysInMonth(2006, 13), -1);
    EXPECT_EQ(cal::dayOfYear(2024, 12, 31), 366);
    EXPECT_EQ(cal::dayOfYear(2023, 3, 1), 60);
    EXPECT_EQ(cal::millisFromFields({.hour = 1, .minute = 2, .second = 3, .millisecond = 4}), 3723004);
    // A year-less 29th of February stays a valid date.
    EXPECT_EQ(cal::millisFromFields({.month = 2, .day = 29}),
              cal::daysFromCivil(1972, 2, 29) * cal::kMillisPerDay);
    EXPECT_EQ(cal::millisFromFields(cal::Fields()), 0);

    for (int64_t millis : {cal::minMillis(), int64_t(-1), int64_t(0), int64_t(86399999), cal::maxMillis()}) {
        const cal::Fields back = cal::fieldsFromMillis(millis);
        EXPECT_EQ(cal::millisFromFields(back), millis);
    }
    const cal::Fields last = cal::fieldsFromMillis(cal::maxMillis());
    EXPECT_EQ(last, (cal::Fields{9999, 12, 31, 23, 59, 59, 999}));
    EXPECT_EQ(cal::fieldsFromMillis(-1), (cal::Fields{1969, 12, 31, 23, 59, 59, 999}));
    EXPECT_FALSE(cal::inRange(cal::maxMillis() + 1));
    EXPECT_FALSE(cal::inRange(cal::minMillis() - 1));
}

}  // namespace
