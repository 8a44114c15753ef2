#pragma once
// The calendar under every date-time value: the proleptic Gregorian calendar for every year, with
// astronomical year numbers (the year 0 is 1 BC, -1 is 2 BC). Days are counted from 1970-01-01 (day
// 0), times of day in milliseconds; a moment "in local time" is the milliseconds from 1970-01-01
// 00:00 on the clock of some zone, without asking which zone.
//
// Fields of a date-time may be undefined: -1, and -9999 for the year. Pure functions only: no zone,
// no locale, no clock.

#include <cstdint>

namespace strand::calendar {

inline constexpr int32_t kUndefined = -1;
inline constexpr int32_t kUndefinedYear = -9999;
// Years run from -9998 (the year below is the undefined marker) to 9999.
inline constexpr int32_t kMinYear = -9998;
inline constexpr int32_t kMaxYear = 9999;

inline constexpr int64_t kMillisPerSecond = 1000;
inline constexpr int64_t kMillisPerMinute = 60 * kMillisPerSecond;
inline constexpr int64_t kMillisPerHour = 60 * kMillisPerMinute;
inline constexpr int64_t kMillisPerDay = 24 * kMillisPerHour;
// The Julian Date of 1970-01-01 00:00 (Julian Dates begin at noon).
inline constexpr double kJulianOf1970 = 2440587.5;

// The fields of a date-time, any of them possibly undefined.
struct Fields {
    int32_t year = kUndefinedYear;
    int32_t month = kUndefined;        // 1 to 12
    int32_t day = kUndefined;          // 1 to 31
    int32_t hour = kUndefined;         // 0 to 23
    int32_t minute = kUndefined;       // 0 to 59
    int32_t second = kUndefined;       // 0 to 59
    int32_t millisecond = kUndefined;  // 0 to 999

    bool hasYear() const noexcept { return year != kUndefinedYear; }
    bool hasDate() const noexcept { return hasYear() && month != kUndefined && day != kUndefined; }
    // Some field of the date (year, month, day) is defined.
    bool hasDatePart() const noexcept { return hasYear() || month != kUndefined || day != kUndefined; }
    bool hasTimePart() const noexcept {
        return hour != kUndefined || minute != kUndefined || second != kUndefined ||
               millisecond != kUndefined;
    }
    bool any() const noexcept { return hasDatePart() || hasTimePart(); }
    bool operator==(const Fields&) const = default;
};

bool isLeapYear(int64_t year) noexcept;
// The days of a month (1 to 12) of a year; February of an undefined year has 29 (the most it can
// have); -1 for a month outside 1 to 12.
int32_t daysInMonth(int32_t year, int32_t month) noexcept;

// Days since 1970-01-01 of a valid date (years kMinYear to kMaxYear).
int64_t daysFromCivil(int32_t year, int32_t month, int32_t day) noexcept;
struct CivilDate {
    int32_t year;
    int32_t month;
    int32_t day;
};
// The date of a day number; the day must lie within the years kMinYear to kMaxYear.
CivilDate civilFromDays(int64_t days) noexcept;

// 1 for Sunday to 7 for Saturday.
int32_t dayOfWeek(int64_t days) noexcept;
// 1 to 366.
int32_t dayOfYear(int32_t year, int32_t month, int32_t day) noexcept;
// The ISO 8601 week (1 to 53) and the year it belongs to: 2005-01-01 is in week 53 of 2004.
struct IsoWeek {
    int32_t year;
    int32_t week;
};
IsoWeek isoWeek(int64_t days) noexcept;

// The fields with an undefined year, month or day read as 1970-01-01 gives them (the year 1972 for the
// 29th of February, so that the date stays valid).
Fields fillUndefinedDate(const Fields& f) noexcept;
// The milliseconds from 1970-01-01 00:00 of the fields, the undefined ones read as fillUndefinedDate
// and 00:00:00.000 give them. The fields must be valid (a defined day within its month).
int64_t millisFromFields(const Fields& f) noexcept;
// The fields of a moment; every field defined.
Fields fieldsFromMillis(int64_t millis) noexcept;
// The first and last millisecond of the supported years.
int64_t minMillis() noexcept;
int64_t maxMillis() noexcept;
bool inRange(int64_t millis) noexcept;

// floor(a / b) and the matching non-negative remainder, for b > 0.
constexpr int64_t floorDiv(int64_t a, int64_t b) noexcept {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
constexpr int64_t floorMod(int64_t a, int64_t b) noexcept {
    return a - floorDiv(a, b) * b;
}

}  // namespace strand::calendar
