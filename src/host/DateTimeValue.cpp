#include "host/DateTimeValue.h"

#include <chrono>
#include <cmath>
#include <limits>

#include "host/DateTimeFormat.h"
#include "host/DateTimeLocale.h"
#include "host/DateTimeParse.h"
#include "host/Exception.h"

namespace strand {

namespace {

using calendar::Fields;
using calendar::kMillisPerDay;
using calendar::kUndefined;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

[[noreturn]] void throwOutOfRange() {
    throw Exception(u"The date is outside the years %d to %d.", calendar::kMinYear, calendar::kMaxYear);
}

void checkField(const char16_t* name, int32_t value, int32_t undefined, int32_t lo, int32_t hi) {
    if (value != undefined && (value < lo || value > hi))
        throw Exception(u"%ls %d is outside the range %d to %d.", name, value, lo, hi);
}

int32_t lastDay(const Fields& f) {
    return f.month == kUndefined ? 31 : calendar::daysInMonth(f.year, f.month);
}

void checkDay(const Fields& f, int32_t day) {
    checkField(u"Day", day, kUndefined, 1, lastDay(f));
}

void checkTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond) {
    checkField(u"Hour", hour, kUndefined, 0, 23);
    checkField(u"Minute", minute, kUndefined, 0, 59);
    checkField(u"Second", second, kUndefined, 0, 59);
    checkField(u"Millisecond", millisecond, kUndefined, 0, 999);
}

// A day beyond the end of the month becomes its last day.
void clampDay(Fields& f) {
    if (f.day != kUndefined && f.day > lastDay(f))
        f.day = lastDay(f);
}

// A value whose clock fields are all defined can be moved out of a skipped hour; a partial one keeps
// its fields.
bool isWhole(const Fields& f) {
    return f.hasDate() && f.hour != kUndefined && f.minute != kUndefined && f.second != kUndefined;
}

std::u16string_view defaultFormat(const Fields& f) {
    const bool millis = f.millisecond != kUndefined && f.millisecond != 0;
    if (!f.hasTimePart())
        return u"%Y-%m-%d";
    if (!f.hasDatePart())
        return millis ? u"%H:%M:%S.%L" : u"%H:%M:%S";
    return millis ? u"%Y-%m-%d %H:%M:%S.%L" : u"%Y-%m-%d %H:%M:%S";
}

int64_t nowMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int32_t* fieldOf(Fields& f, int32_t field) {
    switch (field) {
        case DateTimeValue::Year:
            return &f.year;
        case DateTimeValue::Month:
            return &f.month;
        case DateTimeValue::Day:
            return &f.day;
        case DateTimeValue::Hour:
            return &f.hour;
        case DateTimeValue::Minute:
            return &f.minute;
        case DateTimeValue::Second:
            return &f.second;
        case DateTimeValue::Millisecond:
            return &f.millisecond;
        default:
            throw Exception(u"Field %d is not a date field: the fields are 1 (year) to 7 (millisecond).",
                            field);
    }
}

int compareInts(int64_t a, int64_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

DateTimeValue::DateTimeValue() : m_zone(&TimeZone::local()) {}

void DateTimeValue::reset() {
    m_f = Fields();
    m_format.clear();
    m_zone = &TimeZone::local();
    m_dst = -1;
    m_momentOffset = kNoOffset;
}

void DateTimeValue::clear() {
    m_f = Fields();
    m_dst = -1;
    m_momentOffset = kNoOffset;
}

void DateTimeValue::appendText(String& out) const {
    if (!m_f.any())
        return;
    const std::shared_ptr<const DateLocale> locale = DateLocale::current();
    const std::u16string_view format = m_format.isEmpty() ? defaultFormat(m_f) : m_format.view();
    if (!formatNeedsZone(format, *locale)) {
        appendDateTime(out, format, m_f, *locale, nullptr);
        return;
    }
    const ZoneFacts facts = zoneFacts();
    appendDateTime(out, format, m_f, *locale, &facts);
}

int64_t DateTimeValue::getInteger() const {
    return truncToInt64(getJulian());
}

void DateTimeValue::assignFrom(const Value& source) {
    if (&source == this)
        return;
    switch (source.kind()) {
        case Kind::DateTime:
            *this = static_cast<const DateTimeValue&>(source);
            return;
        case Kind::Null:
            clear();
            return;
        case Kind::Integer:
        case Kind::Double:
            setJulian(source.getDouble());
            return;
        default: {
            String text;
            source.getText(text);
            set(text.view(), String());
            return;
        }
    }
}

int DateTimeValue::compareSameRank(const Value& other) const {
    const auto& o = static_cast<const DateTimeValue&>(other);
    const double a = getJulian(), b = o.getJulian();
    if (std::isnan(a) != std::isnan(b))
        return std::isnan(a) ? 1 : -1;
    if (a != b && !std::isnan(a))
        return a < b ? -1 : 1;
    const int32_t mine[] = {m_f.year, m_f.month, m_f.day, m_f.hour, m_f.minute, m_f.second, m_f.millisecond};
    const int32_t theirs[] = {o.m_f.year,   o.m_f.month,  o.m_f.day,        o.m_f.hour,
                              o.m_f.minute, o.m_f.second, o.m_f.millisecond};
    for (size_t i = 0; i < 7; ++i) {
        if (int c = compareInts(mine[i], theirs[i]))
            return c;
    }
    if (int c = m_zone->name().compare(o.m_zone->name()))
        return c;
    return m_format.compare(o.m_format);
}

// Whole values.

bool DateTimeValue::set(std::u16string_view text, const String& format) {
    const std::shared_ptr<const DateLocale> locale = DateLocale::current();
    std::optional<ParsedDateTime> parsed;
    std::u16string_view used = format.view();
    if (format.isEmpty())
        parsed = parseDateTimeAnyFormat(text, *locale, &used);
    else
        parsed = parseDateTime(text, used, *locale, false);
    if (!parsed) {
        clear();
        return false;
    }
    m_f = parsed->fields;
    if (parsed->zone)
        m_zone = parsed->zone;
    if (used.data() != m_format.data())
        m_format.assign(used);
    settle();
    return true;
}

void DateTimeValue::set(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                        int32_t second, int32_t millisecond) {
    Fields f;
    checkField(u"Year", year, kUndefinedYear, calendar::kMinYear, calendar::kMaxYear);
    f.year = year;
    checkField(u"Month", month, kUndefined, 1, 12);
    f.month = month;
    checkDay(f, day);
    f.day = day;
    checkTime(hour, minute, second, millisecond);
    f.hour = hour;
    f.minute = minute;
    f.second = second;
    f.millisecond = millisecond;
    m_f = f;
    settle();
}

void DateTimeValue::setTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond) {
    checkTime(hour, minute, second, millisecond);
    m_f.hour = hour;
    m_f.minute = minute;
    m_f.second = second;
    m_f.millisecond = millisecond;
    settle();
}

void DateTimeValue::setToLocalDateTime() {
    setUtcMillis(nowMillis(), true, &TimeZone::local());
}

void DateTimeValue::setUndefined(bool fromCurrentTime) {
    Fields fill;
    if (fromCurrentTime) {
        DateTimeValue now;
        now.setToLocalDateTime();
        fill = now.m_f;
    } else {
        fill = calendar::fieldsFromMillis(0);
        fill.year = calendar::fillUndefinedDate(m_f).year;
    }
    const int32_t defaults[] = {fill.year,   fill.month,  fill.day,        fill.hour,
                                fill.minute, fill.second, fill.millisecond};
    Fields f = m_f;
    for (int32_t field = Year; field <= Millisecond; ++field) {
        int32_t* value = fieldOf(f, field);
        if (*value == (field == Year ? kUndefinedYear : kUndefined))
            *value = defaults[field - 1];
    }
    clampDay(f);
    m_f = f;
    settle();
}

bool DateTimeValue::proposeFormat(std::u16string_view text, String& result) {
    std::u16string_view format;
    if (!parseDateTimeAnyFormat(text, *DateLocale::current(), &format)) {
        result.clear();
        return false;
    }
    result.assign(format);
    return true;
}

void DateTimeValue::GetLocaleDateFormat(String& out) {
    out.assign(DateLocale::current()->dateFormat.view());
}

void DateTimeValue::GetLocaleTimeFormat(String& out) {
    out.assign(DateLocale::current()->timeFormat.view());
}

void DateTimeValue::GetLocaleDateTimeFormat(String& out) {
    out.assign(DateLocale::current()->dateTimeFormat.view());
}

// Fields.

bool DateTimeValue::isFieldDefined(int32_t field) const {
    Fields f = m_f;
    return *fieldOf(f, field) != (field == Year ? kUndefinedYear : kUndefined);
}

void DateTimeValue::setFieldUndefined(int32_t field) {
    *fieldOf(m_f, field) = field == Year ? kUndefinedYear : kUndefined;
    settle();
}

void DateTimeValue::setYear(int32_t year) {
    checkField(u"Year", year, kUndefinedYear, calendar::kMinYear, calendar::kMaxYear);
    m_f.year = year;
    clampDay(m_f);
    settle();
}

void DateTimeValue::setMonth(int32_t month) {
    checkField(u"Month", month, kUndefined, 1, 12);
    m_f.month = month;
    clampDay(m_f);
    settle();
}

void DateTimeValue::setDayOfMonth(int32_t day) {
    checkDay(m_f, day);
    m_f.day = day;
    settle();
}

void DateTimeValue::setHour(int32_t hour) {
    checkField(u"Hour", hour, kUndefined, 0, 23);
    m_f.hour = hour;
    settle();
}

void DateTimeValue::setMinute(int32_t minute) {
    checkField(u"Minute", minute, kUndefined, 0, 59);
    m_f.minute = minute;
    settle();
}

void DateTimeValue::setSecond(int32_t second) {
    checkField(u"Second", second, kUndefined, 0, 59);
    m_f.second = second;
    settle();
}

void DateTimeValue::setMilliseconds(int32_t millisecond) {
    checkField(u"Millisecond", millisecond, kUndefined, 0, 999);
    m_f.millisecond = millisecond;
    settle();
}

// Arithmetic.

void DateTimeValue::addYears(int32_t years) {
    if (!m_f.hasYear())
        return;
    const int64_t year = int64_t(m_f.year) + years;
    if (year < calendar::kMinYear || year > calendar::kMaxYear)
        throwOutOfRange();
    m_f.year = int32_t(year);
    clampDay(m_f);
    settle();
}

void DateTimeValue::addMonths(int32_t months) {
    if (m_f.month == kUndefined)
        return;
    addCalendarMonths(months);
}

void DateTimeValue::addCalendarMonths(int64_t months) {
    const int64_t base = m_f.hasYear() ? m_f.year : 1970;
    const int64_t total = base * 12 + (m_f.month - 1) + months;
    const int64_t year = calendar::floorDiv(total, 12);
    if (m_f.hasYear() && (year < calendar::kMinYear || year > calendar::kMaxYear))
        throwOutOfRange();
    if (m_f.hasYear())
        m_f.year = int32_t(year);
    m_f.month = int32_t(calendar::floorMod(total, 12)) + 1;
    clampDay(m_f);
    settle();
}

void DateTimeValue::addDays(double days) {
    if (!m_f.any())
        return;
    if (!std::isfinite(days))
        throw Exception(u"Cannot add %ls days to a date.", doubleToString(days));
    const double whole = std::trunc(days);
    if (std::fabs(whole) > double(calendar::maxMillis() - calendar::minMillis()) / double(kMillisPerDay))
        throwOutOfRange();
    const Fields before = m_f;
    const int32_t dst = m_dst, momentOffset = m_momentOffset;
    try {
        if (whole != 0) {
            setLocalMillis(localMillis() + int64_t(whole) * kMillisPerDay, false);
            settle();
        }
        if (days != whole)
            addElapsed(days - whole, kMillisPerDay, u"days");
    } catch (const Exception&) {
        m_f = before;
        m_dst = dst;
        m_momentOffset = momentOffset;
        throw;
    }
}

void DateTimeValue::addHours(double hours) {
    addElapsed(hours, calendar::kMillisPerHour, u"hours");
}

void DateTimeValue::addMinutes(double minutes) {
    addElapsed(minutes, calendar::kMillisPerMinute, u"minutes");
}

void DateTimeValue::addSeconds(double seconds) {
    addElapsed(seconds, calendar::kMillisPerSecond, u"seconds");
}

void DateTimeValue::addMilliseconds(int32_t milliseconds) {
    addElapsed(milliseconds, 1, u"milliseconds");
}

void DateTimeValue::addElapsed(double amount, int64_t unit, const char16_t* unitName) {
    if (!m_f.any())
        return;
    if (!std::isfinite(amount))
        throw Exception(u"Cannot add %ls %ls to a date.", doubleToString(amount), unitName);
    const double delta = amount * double(unit);
    if (!m_f.hasDatePart()) {
        // A time of day goes round the clock; no zone's changes apply to it.
        const int64_t step = std::llround(std::fmod(delta, double(kMillisPerDay)));
        setLocalMillis(calendar::floorMod(localMillis() + step, kMillisPerDay), false);
        settle();
        return;
    }
    if (std::fabs(delta) > double(calendar::maxMillis() - calendar::minMillis()))
        throwOutOfRange();
    setUtcMillis(utcMillis() + std::llround(delta), false, m_zone);
}

// Readings of the calendar.

String DateTimeValue::getMonthText(bool full, bool localized) const {
    if (m_f.month == kUndefined)
        return String::empty();
    const std::shared_ptr<const DateLocale> locale =
        localized ? DateLocale::current() : DateLocale::english();
    return (full ? locale->months : locale->shortMonths)[size_t(m_f.month - 1)];
}

int32_t DateTimeValue::getCurrentMonth() {
    DateTimeValue now;
    now.setToLocalDateTime();
    return now.getMonth();
}

int32_t DateTimeValue::getDayOfWeek() const {
    if (!m_f.hasDate())
        return kUndefined;
    return calendar::dayOfWeek(calendar::daysFromCivil(m_f.year, m_f.month, m_f.day));
}

String DateTimeValue::getDayOfWeekText(bool full, bool localized) const {
    const int32_t day = getDayOfWeek();
    if (day == kUndefined)
        return String::empty();
    const std::shared_ptr<const DateLocale> locale =
        localized ? DateLocale::current() : DateLocale::english();
    return (full ? locale->days : locale->shortDays)[size_t(day - 1)];
}

int32_t DateTimeValue::getDayOfYear() const {
    if (!m_f.hasDate())
        return kUndefined;
    return calendar::dayOfYear(m_f.year, m_f.month, m_f.day);
}

int32_t DateTimeValue::getWeekOfYear(int32_t& year) const {
    if (!m_f.hasDate()) {
        year = kUndefinedYear;
        return kUndefined;
    }
    const calendar::IsoWeek week = calendar::isoWeek(calendar::daysFromCivil(m_f.year, m_f.month, m_f.day));
    year = week.year;
    return week.week;
}

// Readings of the moment.

double DateTimeValue::getJulian() const {
    if (!m_f.any())
        return kNaN;
    return calendar::kJulianOf1970 + double(localMillis()) / double(kMillisPerDay);
}

void DateTimeValue::setJulian(double julian) {
    if (!std::isfinite(julian))
        throw Exception(u"The Julian date %ls is not a date.", doubleToString(julian));
    const double millis = (julian - calendar::kJulianOf1970) * double(kMillisPerDay);
    if (!(millis >= double(calendar::minMillis()) - 0.5 && millis <= double(calendar::maxMillis()) + 0.5))
        throwOutOfRange();
    setLocalMillis(std::llround(millis), true);
    settle();
}

double DateTimeValue::getSecondsSince1970() const {
    if (!m_f.any())
        return kNaN;
    return double(calendar::floorDiv(utcMillis(), calendar::kMillisPerSecond));
}

void DateTimeValue::setSecondsSince1970(int64_t seconds, int32_t milliseconds) {
    // Beyond this bound no moment lies within the supported years, and the product cannot overflow.
    constexpr int64_t kBound = int64_t(1) << 40;
    if (seconds < -kBound || seconds > kBound)
        throwOutOfRange();
    setUtcMillis(seconds * calendar::kMillisPerSecond + milliseconds, true, m_zone);
}

double DateTimeValue::getTimeZoneOffset() const {
    if (!m_f.any())
        return kNaN;
    TimeZone::Reading reading;
    utcMillis(&reading);
    return -reading.offset / 60.0;
}

// Time zones.

const String& DateTimeValue::getTimeZone() const {
    return m_zone->name();
}

String DateTimeValue::getCurrentTimeZone() {
    return TimeZone::local().name();
}

void DateTimeValue::setTimeZone(std::u16string_view name, bool convert) {
    const TimeZone* zone = TimeZone::find(name);
    if (!zone)
        throw Exception(u"Unknown time zone '%ls'.", name);
    if (!convert || !m_f.any()) {
        m_zone = zone;
        settle();
        return;
    }
    setUtcMillis(utcMillis(), false, zone);
}

void DateTimeValue::setLocale(std::u16string_view name) {
    std::shared_ptr<const DateLocale> locale = DateLocale::load(name);
    if (!locale)
        throw Exception(u"Unknown locale '%ls': the locale stays '%ls'.", name, DateLocale::current()->name);
    DateLocale::setCurrent(std::move(locale));
}

String DateTimeValue::getLocale() {
    return DateLocale::current()->name;
}

// The moment behind the fields.

int64_t DateTimeValue::utcMillis(TimeZone::Reading* reading) const {
    const int64_t local = localMillis();
    TimeZone::LocalReading r = m_zone->atLocal(calendar::floorDiv(local, calendar::kMillisPerSecond));
    const bool later = r.kind == TimeZone::LocalReading::Kind::Repeated && m_momentOffset == r.after.offset &&
                       r.before.offset != r.after.offset;
    TimeZone::Reading& chosen = later ? r.after : r.before;
    const int64_t utc = local - int64_t(chosen.offset) * calendar::kMillisPerSecond;
    if (reading)
        *reading = std::move(chosen);
    return utc;
}

void DateTimeValue::setLocalMillis(int64_t millis, bool everyField) {
    if (!calendar::inRange(millis))
        throwOutOfRange();
    const Fields moved = calendar::fieldsFromMillis(millis);
    if (everyField) {
        m_f = moved;
        return;
    }
    Fields& f = m_f;
    if (f.hasYear())
        f.year = moved.year;
    for (auto [field, value] : {std::pair{&f.month, moved.month},
                                {&f.day, moved.day},
                                {&f.hour, moved.hour},
                                {&f.minute, moved.minute},
                                {&f.second, moved.second},
                                {&f.millisecond, moved.millisecond}}) {
        if (*field != kUndefined)
            *field = value;
    }
}

void DateTimeValue::setUtcMillis(int64_t millis, bool everyField, const TimeZone* zone) {
    // No zone is asked about a moment far outside the years: no offset brings it back.
    if (millis < calendar::minMillis() - kMillisPerDay || millis > calendar::maxMillis() + kMillisPerDay)
        throwOutOfRange();
    const TimeZone::Reading reading = zone->atUtc(calendar::floorDiv(millis, calendar::kMillisPerSecond));
    setLocalMillis(millis + int64_t(reading.offset) * calendar::kMillisPerSecond, everyField);
    m_zone = zone;
    m_dst = reading.dst ? 1 : 0;
    m_momentOffset = reading.offset;
}

void DateTimeValue::settle() {
    m_momentOffset = kNoOffset;
    if (!m_f.any()) {
        m_dst = -1;
        return;
    }
    const int64_t local = localMillis();
    const TimeZone::LocalReading r = m_zone->atLocal(calendar::floorDiv(local, calendar::kMillisPerSecond));
    m_dst = r.before.dst ? 1 : 0;
    if (r.kind != TimeZone::LocalReading::Kind::Skipped || !isWhole(m_f))
        return;
    // The clock never showed this time: the moment it names with the offset before the change is
    // shown on the clock after it.
    setLocalMillis(local + int64_t(r.after.offset - r.before.offset) * calendar::kMillisPerSecond, false);
    m_dst = r.after.dst ? 1 : 0;
}

ZoneFacts DateTimeValue::zoneFacts() const {
    TimeZone::Reading reading;
    const int64_t utc = utcMillis(&reading);
    ZoneFacts facts;
    facts.offset = reading.offset;
    facts.abbrev = std::move(reading.abbrev);
    facts.utcSeconds = calendar::floorDiv(utc, calendar::kMillisPerSecond);
    return facts;
}

}  // namespace strand
