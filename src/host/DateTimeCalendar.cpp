#include "host/DateTimeCalendar.h"

#include <date/date.h>
#include <date/iso_week.h>

namespace strand::calendar {

namespace {

date::sys_days sysDays(int64_t days) {
    return date::sys_days(date::days(static_cast<int>(days)));
}

}  // namespace

bool isLeapYear(int64_t year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int32_t daysInMonth(int32_t year, int32_t month) noexcept {
    static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return -1;
    if (month == 2 && (year == kUndefinedYear || isLeapYear(year)))
        return 29;
    return kDays[month - 1];
}

int64_t daysFromCivil(int32_t year, int32_t month, int32_t day) noexcept {
    const date::year_month_day ymd{date::year(year), date::month(unsigned(month)), date::day(unsigned(day))};
    return date::sys_days(ymd).time_since_epoch().count();
}

CivilDate civilFromDays(int64_t days) noexcept {
    const date::year_month_day ymd{sysDays(days)};
    return {int32_t(int(ymd.year())), int32_t(unsigned(ymd.month())), int32_t(unsigned(ymd.day()))};
}

int32_t dayOfWeek(int64_t days) noexcept {
    return int32_t(date::weekday(sysDays(days)).c_encoding()) + 1;
}

int32_t dayOfYear(int32_t year, int32_t month, int32_t day) noexcept {
    return int32_t(daysFromCivil(year, month, day) - daysFromCivil(year, 1, 1)) + 1;
}

IsoWeek isoWeek(int64_t days) noexcept {
    const iso_week::year_weeknum_weekday w{sysDays(days)};
    return {int32_t(int(w.year())), int32_t(unsigned(w.weeknum()))};
}

Fields fillUndefinedDate(const Fields& f) noexcept {
    Fields filled = f;
    if (!f.hasYear())
        filled.year = f.month == 2 && f.day == 29 ? 1972 : 1970;
    if (f.month == kUndefined)
        filled.month = 1;
    if (f.day == kUndefined)
        filled.day = 1;
    return filled;
}

int64_t millisFromFields(const Fields& f) noexcept {
    const Fields filled = fillUndefinedDate(f);
    const int32_t year = filled.year, month = filled.month, day = filled.day;
    auto orZero = [](int32_t v) { return int64_t(v == kUndefined ? 0 : v); };
    return daysFromCivil(year, month, day) * kMillisPerDay + orZero(f.hour) * kMillisPerHour +
           orZero(f.minute) * kMillisPerMinute + orZero(f.second) * kMillisPerSecond + orZero(f.millisecond);
}

Fields fieldsFromMillis(int64_t millis) noexcept {
    const int64_t days = floorDiv(millis, kMillisPerDay);
    int64_t rest = millis - days * kMillisPerDay;
    const CivilDate date = civilFromDays(days);
    Fields f;
    f.year = date.year;
    f.month = date.month;
    f.day = date.day;
    f.hour = int32_t(rest / kMillisPerHour);
    rest %= kMillisPerHour;
    f.minute = int32_t(rest / kMillisPerMinute);
    rest %= kMillisPerMinute;
    f.second = int32_t(rest / kMillisPerSecond);
    f.millisecond = int32_t(rest % kMillisPerSecond);
    return f;
}

int64_t minMillis() noexcept {
    return daysFromCivil(kMinYear, 1, 1) * kMillisPerDay;
}

int64_t maxMillis() noexcept {
    return daysFromCivil(kMaxYear, 12, 31) * kMillisPerDay + kMillisPerDay - 1;
}

bool inRange(int64_t millis) noexcept {
    return millis >= minMillis() && millis <= maxMillis();
}

}  // namespace strand::calendar
