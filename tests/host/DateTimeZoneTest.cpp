// Time zones against the C library's own reading of the same database, and their local-time rules.

#include "host/DateTimeZone.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>

#include "ScopedEnv.h"

using strand::String;
using strand::TimeZone;

namespace {

TEST(DateTimeZone, ReadingsAgreeWithTheCLibrary) {
    std::mt19937_64 random(20061225);
    // 1900 to 2100: the listed changes and the rule for the years after them.
    std::uniform_int_distribution<int64_t> moments(-2208988800LL, 4102444800LL);
    for (const char* name : {"America/New_York", "Europe/Berlin", "Australia/Sydney", "Asia/Kolkata",
                             "America/Sao_Paulo", "Asia/Jerusalem", "Pacific/Chatham", "Europe/London"}) {
        const TimeZone* zone = TimeZone::find(String::fromUtf8(name).view());
        ASSERT_NE(zone, nullptr) << name;
        ScopedEnv tz("TZ", name);
        for (int i = 0; i < 20000; ++i) {
            const int64_t t = moments(random);
            const std::time_t moment = static_cast<std::time_t>(t);
            std::tm tm{};
            ASSERT_NE(localtime_r(&moment, &tm), nullptr);
            const TimeZone::Reading r = zone->atUtc(t);
            ASSERT_EQ(r.offset, tm.tm_gmtoff) << name << " at " << t;
            ASSERT_EQ(r.dst, tm.tm_isdst > 0) << name << " at " << t;
            ASSERT_EQ(r.abbrev, tm.tm_zone) << name << " at " << t;
        }
    }
}

TEST(DateTimeZone, SkippedAndRepeatedLocalTimesNamesAndOffsets) {
    using Kind = TimeZone::LocalReading::Kind;
    const TimeZone* ny = TimeZone::find(u"America/New_York");
    ASSERT_NE(ny, nullptr);
    // Local seconds since 1970 of a clock time.
    auto local = [](int64_t days, int64_t h, int64_t m) { return days * 86400 + h * 3600 + m * 60; };
    // 2024-03-10 and 2024-11-03; the changes of 2006 and of 2040 (after the listed ones, by the zone's
    // rule) are in tests/scripts/dates.eval.
    const int64_t mar2024 = 19792, nov2024 = 20030;
    struct Case {
        int64_t days, hour, minute;
        Kind kind;
        int32_t before, after;
    };
    const Case cases[] = {
        {mar2024, 2, 30, Kind::Skipped, -18000, -14400}, {mar2024, 1, 59, Kind::Unique, -18000, -18000},
        {mar2024, 3, 0, Kind::Unique, -14400, -14400},   {nov2024, 1, 30, Kind::Repeated, -14400, -18000},
        {nov2024, 2, 0, Kind::Unique, -18000, -18000},
    };
    for (const Case& c : cases) {
        const TimeZone::LocalReading r = ny->atLocal(local(c.days, c.hour, c.minute));
        EXPECT_EQ(r.kind, c.kind) << c.days << " " << c.hour << ":" << c.minute;
        EXPECT_EQ(r.before.offset, c.before) << c.days;
        EXPECT_EQ(r.after.offset, c.after) << c.days;
    }
    EXPECT_EQ(TimeZone::find(u"UTC"), &TimeZone::utc());
    EXPECT_EQ(TimeZone::find(u"Z"), &TimeZone::utc());
    EXPECT_EQ(TimeZone::find(u"Europe/Berlin"), TimeZone::find(u"Europe/Berlin"));
    EXPECT_EQ(TimeZone::find(u"Europe/Berlin")->name(), u"Europe/Berlin");
    EXPECT_EQ(TimeZone::find(u"+0530")->name(), u"+05:30");
    EXPECT_EQ(TimeZone::find(u"-08")->atUtc(0).offset, -8 * 3600);
    for (const char16_t* bad : {u"", u"Nowhere/Special", u"europe/berlin", u"../../etc/passwd", u"+19:00",
                                u"+05:60", u"+5:30", u"Europe/Berlin ", u"/etc/localtime"})
        EXPECT_EQ(TimeZone::find(bad), nullptr) << String(bad).toUtf8();
    int32_t seconds = 0;
    EXPECT_TRUE(strand::parseUtcOffset(u"-03:30", seconds));
    EXPECT_EQ(seconds, -12600);
    EXPECT_TRUE(strand::parseUtcOffset(u"+18", seconds));
    EXPECT_FALSE(strand::parseUtcOffset(u"+18:01", seconds));
    EXPECT_FALSE(strand::parseUtcOffset(u"+1", seconds));
    EXPECT_EQ(strand::formatUtcOffset(-12600, false), u"-0330");
    EXPECT_EQ(strand::formatUtcOffset(0, true), u"+00:00");
}

TEST(DateTimeZone, TheLocalZoneFollowsTz) {
    const std::pair<const char*, const char16_t*> named[] = {
        {"Asia/Tokyo", u"Asia/Tokyo"},
        {":Europe/Berlin", u"Europe/Berlin"},
        {"/usr/share/zoneinfo/America/New_York", u"America/New_York"}};
    for (const auto& [value, name] : named) {
        ScopedEnv tz("TZ", value);
        EXPECT_EQ(TimeZone::local().name(), name) << value;
    }
    {
        ScopedEnv tz("TZ", "EST5EDT,M3.2.0,M11.1.0");
        const TimeZone& zone = TimeZone::local();
        EXPECT_EQ(zone.name(), u"EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(zone.atUtc(1151726400).offset, -14400);  // 2006-07-01
        EXPECT_EQ(zone.atUtc(1136073600).offset, -18000);  // 2006-01-01
    }
    for (const char* utc : {"", "Nowhere/Special", "not a rule at all"}) {
        ScopedEnv tz("TZ", utc);
        EXPECT_EQ(&TimeZone::local(), &TimeZone::utc()) << utc;
    }
    ScopedEnv tz("TZ", nullptr);
    EXPECT_NE(TimeZone::find(TimeZone::local().name().view()), nullptr);
}

}  // namespace
