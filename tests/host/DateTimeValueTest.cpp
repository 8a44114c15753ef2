// DateTimeValue as a host value, its failures, its locale, and the platform's time texts.

#include "host/DateTimeValue.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "Failure.h"
#include "ScopedEnv.h"
#include "host/ArrayValues.h"
#include "host/DateTimeLocale.h"

using strand::DateTimeValue;
using strand::String;
using strand::test::failure;

namespace {

DateTimeValue dateTime(int32_t y, int32_t mo, int32_t d, int32_t h, int32_t mi, int32_t s) {
    DateTimeValue v;
    v.set(y, mo, d, h, mi, s, 0);
    return v;
}

std::string textOf(const strand::Value& v) {
    return v.toString().toUtf8();
}

TEST(DateTimeValue, IsAHostValue) {
    ScopedEnv tz("TZ", "UTC");
    DateTimeValue d = dateTime(2000, 1, 1, 12, 0, 0);
    EXPECT_EQ(std::u16string_view(d.getClassName()), u"DateTime");
    EXPECT_EQ(textOf(d), "2000-01-01 12:00:00");
    EXPECT_EQ(d.getDouble(), 2451545.0);
    EXPECT_EQ(d.getInteger(), 2451545);
    EXPECT_TRUE(d.getBool());
    strand::Ptr<strand::Value> copy = d.cloneValue();
    EXPECT_TRUE(copy->equals(d));
    static_cast<DateTimeValue&>(*copy).addDays(1);
    EXPECT_EQ(textOf(*copy), "2000-01-02 12:00:00");
    EXPECT_EQ(textOf(d), "2000-01-01 12:00:00");
    DateTimeValue empty;
    EXPECT_TRUE(std::isnan(empty.getDouble()));
    EXPECT_EQ(textOf(empty), "");
    d.clear();
    EXPECT_FALSE(d.isFieldDefined(DateTimeValue::Year));
}

TEST(DateTimeValue, ConvertsFromAndToOtherValues) {
    ScopedEnv tz("TZ", "UTC");
    DateTimeValue d;
    d.assignFrom(strand::StringValue(String(u"25.12.2006")));
    EXPECT_EQ(textOf(d), "25.12.2006");
    EXPECT_EQ(d.getDateTimeFormat(), u"%d.%m.%Y");
    d.assignFrom(strand::DoubleValue(2451545.25));
    EXPECT_EQ(textOf(d), "01.01.2000");  // the format stays
    EXPECT_EQ(d.getHour(), 18);
    d.assignFrom(strand::IntegerValue(2451545));
    EXPECT_EQ(d.getHour(), 12);
    d.assignFrom(strand::NullValue::instance());
    EXPECT_FALSE(d.isFieldDefined(DateTimeValue::Day));
    EXPECT_THROW(d.assignFrom(strand::DoubleValue(std::nan(""))), strand::Exception);
    const DateTimeValue christmas = dateTime(2006, 12, 25, 0, 0, 0);
    strand::StringValue text;
    text.assignFrom(christmas);
    EXPECT_EQ(text.get(), u"2006-12-25 00:00:00");
    strand::DoubleValue number;
    number.assignFrom(christmas);
    EXPECT_EQ(number.get(), 2454094.5);
    d.assignFrom(christmas);
    EXPECT_TRUE(d.equals(christmas));
    d.assignFrom(d);
    EXPECT_TRUE(d.equals(christmas));
}

// Dates order by their moment on the clock, those without one last; then by which fields are defined.
TEST(DateTimeValue, ComparesByJulianDateAndReachesTheExtremeYears) {
    ScopedEnv tz("TZ", "UTC");
    const DateTimeValue early = dateTime(1999, 12, 31, 23, 59, 59), late = dateTime(2000, 1, 1, 0, 0, 0);
    DateTimeValue none, dateOnly;
    dateOnly.set(2000, 1, 1, -1, -1, -1, -1);
    EXPECT_LT(early.compare(late), 0);
    EXPECT_GT(late.compare(early), 0);
    EXPECT_LT(late.compare(none), 0);
    EXPECT_GT(none.compare(late), 0);
    EXPECT_EQ(none.compare(DateTimeValue()), 0);
    EXPECT_NE(dateOnly.compare(late), 0);
    EXPECT_EQ(dateOnly.getJulian(), late.getJulian());
    // Dates come after numbers and texts, before byte arrays.
    EXPECT_GT(late.compare(strand::StringValue(String(u"zzz"))), 0);
    EXPECT_GT(late.compare(strand::DoubleValue(1e300)), 0);
    EXPECT_LT(late.compare(strand::ByteArrayValue()), 0);
    DateTimeValue extreme;
    extreme.setJulian(dateTime(9999, 12, 31, 23, 59, 59).getJulian());
    EXPECT_EQ(textOf(extreme), "9999-12-31 23:59:59");
    extreme.setSecondsSince1970(-377673580800, 0);  // -9998-01-01
    EXPECT_EQ(textOf(extreme), "-9998-01-01 00:00:00");
    EXPECT_THROW(extreme.addSeconds(-1), strand::Exception);
    extreme.addMilliseconds(999);
    EXPECT_EQ(extreme.getMilliseconds(), 999);
}

// A failed operation leaves the value as it was.
TEST(DateTimeValue, FailuresChangeNothing) {
    ScopedEnv tz("TZ", "America/New_York");
    DateTimeValue d = dateTime(9999, 12, 31, 12, 0, 0);
    const DateTimeValue before = d;
    EXPECT_EQ(failure([&] { d.setMonth(13); }), "Month 13 is outside the range 1 to 12.");
    EXPECT_EQ(failure([&] { d.setDayOfMonth(32); }), "Day 32 is outside the range 1 to 31.");
    EXPECT_EQ(failure([&] { d.addDays(0.75); }), "The date is outside the years -9998 to 9999.");
    EXPECT_EQ(failure([&] { d.addDays(1.25); }), "The date is outside the years -9998 to 9999.");
    EXPECT_EQ(failure([&] { d.addHours(12); }), "The date is outside the years -9998 to 9999.");
    EXPECT_EQ(failure([&] { d.addMonths(INT32_MIN); }), "The date is outside the years -9998 to 9999.");
    EXPECT_EQ(failure([&] { d.setTimeZone(u"Nowhere/Special", true); }),
              "Unknown time zone 'Nowhere/Special'.");
    EXPECT_EQ(failure([&] { d.setTimeZone(u"Asia/Tokyo", true); }),
              "The date is outside the years -9998 to 9999.");
    EXPECT_EQ(failure([&] { d.setJulian(INFINITY); }), "The Julian date Infinity is not a date.");
    EXPECT_EQ(failure([&] { d.setSecondsSince1970(INT64_MIN, 0); }),
              "The date is outside the years -9998 to 9999.");
    EXPECT_EQ(failure([&] { d.setFieldUndefined(-1); }),
              "Field -1 is not a date field: the fields are 1 (year) to 7 (millisecond).");
    EXPECT_TRUE(d.equals(before));
    EXPECT_EQ(d.getTimeZone(), u"America/New_York");
}

TEST(DateTimeValue, ClassWideLocale) {
    EXPECT_EQ(DateTimeValue::getLocale(), u"C");
    EXPECT_EQ(failure([] { DateTimeValue::setLocale(u"xx_YY"); }),
              "Unknown locale 'xx_YY': the locale stays 'C'.");
    EXPECT_EQ(DateTimeValue::getLocale(), u"C");
    DateTimeValue::setLocale(u"de_DE");
    String format;
    DateTimeValue::GetLocaleDateFormat(format);
    EXPECT_EQ(format, u"%d.%m.%Y");
    const DateTimeValue d = dateTime(2006, 3, 1, 0, 0, 0);
    EXPECT_EQ(d.getMonthText(true, true), u"März");
    EXPECT_EQ(d.getMonthText(false, false), u"Mar");
    EXPECT_EQ(d.getDayOfWeekText(false, true), u"Mi");
    // Several threads may read and change the locale at once.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0)
                    DateTimeValue::setLocale(i % 2 ? u"C" : u"de_DE");
                DateTimeValue v;
                v.set(u"25.12.2006", String());
                (void)v.toString();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    DateTimeValue::setLocale(u"C");
    DateTimeValue::GetLocaleDateTimeFormat(format);
    EXPECT_EQ(format, u"%Y-%m-%d %H:%M:%S");
}

// The platform's texts come from a locale object of their own: a host that switched LC_TIME for the
// whole process still gets the "C" texts, and the user's locale is read from the environment. Texts
// longer than the first buffer are whole; past the last one, empty.
TEST(DateTimeValue, PlatformTextsIgnoreTheProcessLocale) {
    const std::tm tm{7, 5, 19, 25, 11, 106, 1, 358, 0, 0, nullptr};  // 2006-12-25 19:05:07, a Monday
    std::wstring longFormat;
    for (int i = 0; i < 100; ++i)
        longFormat += L"%Y";
    EXPECT_EQ(strand::formatPlatformTime(longFormat.c_str(), tm, false).length(), 400u);
    EXPECT_EQ(strand::formatPlatformTime(std::wstring(5000, L'x').c_str(), tm, false), u"");
    const char* switched = std::setlocale(LC_TIME, "de_DE.UTF-8");
    EXPECT_EQ(strand::formatPlatformTime(L"%x", tm, false), u"12/25/06");
    EXPECT_EQ(strand::formatPlatformTime(L"%X", tm, false), u"19:05:07");
    std::setlocale(LC_TIME, "C");
    if (!switched)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    ScopedEnv lang("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(strand::formatPlatformTime(L"%x", tm, true), u"25.12.2006");
    EXPECT_EQ(strand::formatPlatformTime(L"%B", tm, true), u"Dezember");
}

}  // namespace
