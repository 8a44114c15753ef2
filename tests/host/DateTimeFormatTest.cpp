// Formatting and parsing of date-time fields.

#include <gtest/gtest.h>

#include <vector>

#include "host/DateTimeFormat.h"
#include "host/DateTimeParse.h"
#include "host/DateTimeZone.h"

using namespace std::literals;
using strand::DateLocale;
using strand::String;
namespace cal = strand::calendar;

namespace {

const DateLocale& english() {
    return *DateLocale::english();
}

std::string format(std::u16string_view directives, const cal::Fields& f,
                   const strand::ZoneFacts* zone = nullptr, const DateLocale& locale = english()) {
    String out(String::View{});
    strand::appendDateTime(out, directives, f, locale, zone);
    return out.toUtf8();
}

const cal::Fields kChristmas{2006, 12, 25, 19, 5, 7, 42};

// The built-in formats by family, most specific first (a literal copy: a change to the list must change
// this test).
const std::vector<std::vector<const char16_t*>> kBuiltinFormats = {
    {u"%Y-%m-%dT%H:%M:%S.%L%z", u"%Y-%m-%dT%H:%M:%S.%L", u"%Y-%m-%dT%H:%M:%S%z", u"%Y-%m-%dT%H:%M:%S",
     u"%Y-%m-%dT%H:%M%z", u"%Y-%m-%dT%H:%M"},
    {u"%Y-%m-%d %H:%M:%S.%L%z", u"%Y-%m-%d %H:%M:%S.%L", u"%Y-%m-%d %H:%M:%S%z", u"%Y-%m-%d %H:%M:%S",
     u"%Y-%m-%d %H:%M%z", u"%Y-%m-%d %H:%M"},
    {u"%Y-%m-%d"},
    {u"%H:%M:%S.%L%z", u"%H:%M:%S.%L", u"%H:%M:%S%z", u"%H:%M:%S", u"%H:%M%z", u"%H:%M"},
    {u"%m/%d/%Y %H:%M:%S.%L", u"%m/%d/%Y %H:%M:%S", u"%m/%d/%Y %H:%M", u"%m/%d/%Y"},
    {u"%d.%m.%Y %H:%M:%S.%L", u"%d.%m.%Y %H:%M:%S", u"%d.%m.%Y %H:%M", u"%d.%m.%Y"},
    {u"%d %b %Y %H:%M:%S.%L", u"%d %b %Y %H:%M:%S", u"%d %b %Y %H:%M", u"%d %b %Y"},
    {u"%d %B %Y %H:%M:%S.%L", u"%d %B %Y %H:%M:%S", u"%d %B %Y %H:%M", u"%d %B %Y"},
    {u"%b %d, %Y %H:%M:%S.%L", u"%b %d, %Y %H:%M:%S", u"%b %d, %Y %H:%M", u"%b %d, %Y"},
    {u"%B %d, %Y %H:%M:%S.%L", u"%B %d, %Y %H:%M:%S", u"%B %d, %Y %H:%M", u"%B %d, %Y"}};

// Every built-in format reads what it writes and is the format proposed for it.
TEST(DateTimeFormat, BuiltinFormatsReadWhatTheyWrite) {
    const strand::ZoneFacts zone{3600, "CET", 0};
    for (const auto& family : kBuiltinFormats) {
        for (const char16_t* f : family) {
            const std::string text = format(f, kChristmas, &zone);
            std::u16string_view proposed;
            auto parsed = strand::parseDateTimeAnyFormat(String::fromUtf8(text).view(), english(), &proposed);
            ASSERT_TRUE(parsed) << text;
            EXPECT_EQ(String(proposed).toUtf8(), String(f).toUtf8()) << text;
            const std::u16string_view view(f);
            auto has = [&](const char16_t* directive) { return view.find(directive) != view.npos; };
            const bool date = has(u"%d"), time = has(u"%H");
            EXPECT_EQ(parsed->fields.year, date ? 2006 : cal::kUndefinedYear) << text;
            EXPECT_EQ(parsed->fields.day, date ? 25 : -1) << text;
            EXPECT_EQ(parsed->fields.hour, time ? 19 : -1) << text;
            EXPECT_EQ(parsed->fields.second, !time ? -1 : has(u"%S") ? 7 : 0) << text;
            EXPECT_EQ(parsed->fields.millisecond, !time ? -1 : has(u"%L") ? 42 : 0) << text;
            if (has(u"%z")) {
                ASSERT_NE(parsed->zone, nullptr) << text;
                EXPECT_EQ(parsed->zone->name(), u"+01:00") << text;
            }
        }
    }
}

// Most directives are written by the script cases (tests/scripts/dates.eval); here the weeks at the end
// of a year, the flags that change nothing, and the edges.
TEST(DateTimeFormat, DirectivesAndUndefinedFields) {
    struct Case {
        const char16_t* format;
        const char* text;
    };
    const Case cases[] = {
        {u"%C %y %Y %G %g %V", "20 06 2006 2006 06 52"},
        {u"%m %d %e %j %u %w %U %W", "12 25 25 359 1 1 52 52"},
        {u"%0e %#d %OH %-q %q %", "25 25 19 %-q %q %"},
        {u"no directives", "no directives"},
        {u"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format(c.format, kChristmas), c.text) << String(c.format).toUtf8();
    EXPECT_EQ(format(u"%Y %a", cal::Fields{-9998, 1, 1, 0, 0, 0, 0}), "-9998 Tue");
    EXPECT_EQ(format(u"%Y-%m-%d %a %j %V|%H:%M:%S.%L|%I %p", {.hour = 0, .minute = 30}),
              "--   |00:30:.|12 AM");
    EXPECT_EQ(format(u"%c|%x|%X|%B", cal::Fields()), "-- ::|--|::|");
    // A locale whose formats refer to themselves still ends.
    DateLocale locale = english();
    locale.dateFormat = u"[%x]";
    locale.timeFormat = u"<%c>";
    locale.dateTimeFormat = u"{%X}";
    EXPECT_EQ(format(u"%x", kChristmas, nullptr, locale), "[[]]");
    EXPECT_EQ(format(u"%c", kChristmas, nullptr, locale), "{<>}");
    EXPECT_FALSE(strand::parseDateTime(u"[[]]", u"%x", locale, false));
}

TEST(DateTimeFormat, ParsingWithAFormatAndHostileTexts) {
    struct Case {
        const char16_t* text;
        const char16_t* format;
        cal::Fields want;
    };
    const int u = -1, uy = cal::kUndefinedYear;
    const Case cases[] = {
        {u"  25.12.2006 ", u"%d.%m.%Y", {2006, 12, 25, u, u, u, u}},
        {u"25 . 12 .2006", u"%d . %m . %Y", {2006, 12, 25, u, u, u, u}},
        {u"25.12.2006", u"%d . %m . %Y", {2006, 12, 25, u, u, u, u}},
        {u"12:00:00.123456789", u"%H:%M:%S.%L", {uy, u, u, 12, 0, 0, 123}},
        {u"12:00:00.5", u"%T.%L", {uy, u, u, 12, 0, 0, 500}},
        {u"+2006", u"%Y", {2006, u, u, u, u, u, u}},
        {u"Sun, 24 DECEMBER 2006", u"%a, %d %b %Y", {2006, 12, 24, u, u, u, u}},
        {u"sunday 24 dec 2006", u"%A %d %B %Y", {2006, 12, 24, u, u, u, u}},
        {u" 5 Mar", u"%e %b", {uy, 3, 5, u, u, u, u}},
        {u"20061225", u"%Y%m%d", {2006, 12, 25, u, u, u, u}},
        {u"1/2/06", u"%D", {2006, 1, 2, u, u, u, u}},
        {u"T12", u"t%H", {uy, u, u, 12, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        auto parsed = strand::parseDateTime(c.text, c.format, english(), false);
        ASSERT_TRUE(parsed) << String(c.text).toUtf8();
        EXPECT_EQ(parsed->fields, c.want) << String(c.text).toUtf8();
    }
    const struct {
        const char16_t* format;
        std::vector<const char16_t*> texts;
    } refused[] = {
        {u"%Y-%m-%d", {u"2006-13-01", u"2006-00-01", u"2006-01-00"}},
        {u"%H:%M", {u"24:00", u"23:60"}},
        {u"%T", {u"23:59:60"}},
        {u"%I %p", {u"0 AM"}},
        {u"%j", {u"366"}},
        {u"%Y", {u"10000", u""}},
        {u"%F", {u"2006-12-25x"}},
        {u"%F %T", {u"2006-12-25"}},
        {u"%B %Q", {u"Dec"}},
        {u"%b", {u"Decembre"}},
        {u"%H:%M %z", {u"12:00 +19:00", u"12:00 +0:00"}},
    };
    for (const auto& r : refused) {
        for (const char16_t* text : r.texts)
            EXPECT_FALSE(strand::parseDateTime(text, r.format, english(), false)) << String(text).toUtf8();
    }
    auto zoneOf = [](const char16_t* text, const char16_t* fmt) {
        auto parsed = strand::parseDateTime(text, fmt, english(), false);
        return parsed && parsed->zone ? parsed->zone->name().toUtf8() : std::string("none");
    };
    EXPECT_EQ(zoneOf(u"12:00Z", u"%H:%M%z"), "UTC");
    EXPECT_EQ(zoneOf(u"12:00 +00:00", u"%H:%M %z"), "UTC");
    EXPECT_EQ(zoneOf(u"12:00 +05", u"%H:%M %z"), "+05:00");
    EXPECT_EQ(zoneOf(u"12:00 CEST", u"%H:%M %Z"), "none");
    // Texts that no format reads, however long or odd, give nothing, quickly.
    std::u16string longDigits(10000, u'7');
    std::u16string longDate = u"2006-12-25" + std::u16string(10000, u' ') + u"x";
    std::u16string odd = u"2006-12-25\0T12:00"s;
    for (const std::u16string& text : {longDigits, longDate, odd, std::u16string(u"\xD800\xDC00"),
                                       std::u16string(u"9999999999-99-99"), std::u16string(u"-")}) {
        std::u16string_view proposed = u"unchanged";
        EXPECT_FALSE(strand::parseDateTimeAnyFormat(text, english(), &proposed));
        EXPECT_EQ(proposed, u"unchanged");
    }
    EXPECT_TRUE(strand::parseDateTimeAnyFormat(std::u16string(u"2006-12-25") + std::u16string(10000, u' '),
                                               english(), nullptr));
}

}  // namespace
