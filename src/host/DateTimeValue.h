#pragma once
// DateTimeValue: a date, a time of day, or both, as the clock of a time zone shows them. Its fields
// (year, month, day, hour, minute, second, millisecond) may each be undefined (-1, the year -9999),
// so that a date without a time and a time without a date are values of their own. It also carries
// the format its text form is written with, its time zone and whether daylight-saving time is in
// force.
//
// The calendar is the proleptic Gregorian one for every year (-9998 to 9999); see DateTimeCalendar.h.
// Rules that every operation follows:
// - Undefined fields. Readings of the calendar (day of week, day of year, week, month and day names)
//   need the fields they read and answer -1 (or the empty text) without them. Readings of the moment
//   (the number form, Julian date, seconds since 1970, zone offset, daylight-saving flag) and
//   arithmetic read undefined fields as 1970-01-01 00:00:00.000 gives them; arithmetic then leaves the
//   undefined fields undefined, so a time of day wraps around midnight like a clock. A value with no
//   field defined has no moment: its number form is NaN and arithmetic leaves it as it is.
// - Local times that a zone's clock skips (the hour lost in spring) are read with the offset in force
//   before the change, so 02:30 becomes 03:30 daylight time. Local times it repeats (the hour gained
//   in autumn) mean the earlier moment, unless the value came from a moment (the current time, seconds
//   since 1970, adding hours, minutes, seconds or milliseconds, a zone change), which it stays.
// - Years, months and days are added on the calendar (a day keeps the clock time across a change of
//   offset; the 31st plus a month is the last day of a shorter month); hours, minutes, seconds and
//   milliseconds are added as elapsed time.
// - The number form is the Julian Date of the clock fields (2000-01-01 12:00 is 2451545.0, whatever
//   the zone), and the text form the fields written with the format (see DateTimeFormat.h); without
//   a format the defined parts in ISO 8601 form.
// Invalid arguments (a month 13, a date outside the years -9998 to 9999, an unknown zone) raise
// strand::Exception and leave the value as it was.

#include <climits>
#include <cstdint>
#include <string_view>

#include "host/DateTimeCalendar.h"
#include "host/DateTimeZone.h"
#include "host/Value.h"

namespace strand {

struct ZoneFacts;

class DateTimeValue final : public Value {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.DateTimeValue"};
    static constexpr int32_t kUndefined = calendar::kUndefined;
    static constexpr int32_t kUndefinedYear = calendar::kUndefinedYear;
    // Field numbers of isFieldDefined and setFieldUndefined.
    enum Field : int32_t { Year = 1, Month, Day, Hour, Minute, Second, Millisecond };

    // Every field undefined, no format, the local zone.
    DateTimeValue();
    DateTimeValue(const DateTimeValue& other) = default;
    DateTimeValue& operator=(const DateTimeValue& other) = default;

    const ClassTag& getClassTag() const override { return Tag; }
    Kind kind() const noexcept override { return Kind::DateTime; }
    const char16_t* getClassName() const noexcept override { return u"DateTime"; }

    void appendText(String& out) const override;
    // The Julian Date (NaN when no field is defined).
    double getDouble() const override { return getJulian(); }
    int64_t getInteger() const override;
    bool getBool() const override { return getDouble() != 0.0; }
    // A date-time is copied; a number is read as a Julian Date; a null value clears; any other value
    // is parsed from its text without a format.
    void assignFrom(const Value& source) override;
    Ptr<Value> cloneValue() const override { return makePtr<DateTimeValue>(*this); }
    // Every field undefined; the format and the zone stay.
    void clear() override;

    // Every field undefined, no format, the local zone: the state of a new value.
    void reset();

    // Whole values.
    // Parses a text with a format, or with the built-in formats when the format is null or empty; the
    // format that read the text becomes the value's format, a zone the text names its zone. A text
    // that does not parse leaves every field undefined; the result says whether it parsed.
    bool set(std::u16string_view text, const String& format);
    // Fields by number; -1 (the year -9999) leaves a field undefined.
    void set(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
             int32_t millisecond);
    // From a Julian Date.
    void set(double julian) { setJulian(julian); }
    // The time fields; the date fields stay.
    void setTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond);
    // The current date and time of the local zone, in the local zone.
    void setToLocalDateTime();
    // Every undefined field filled: from the current local date and time, or as 1970-01-01
    // 00:00:00.000 gives it.
    void setUndefined(bool fromCurrentTime);
    // The built-in format that reads a text (empty when none does); true when there is one.
    static bool proposeFormat(std::u16string_view text, String& result);

    const String& getDateTimeFormat() const noexcept { return m_format; }
    void setDateTimeFormat(std::u16string_view format) { m_format.assign(format); }
    // The formats of the locale in force, written into `out`.
    static void GetLocaleDateFormat(String& out);
    static void GetLocaleTimeFormat(String& out);
    static void GetLocaleDateTimeFormat(String& out);

    // Fields; numbers outside 1 to 7 raise.
    bool isFieldDefined(int32_t field) const;
    void setFieldUndefined(int32_t field);
    const calendar::Fields& fields() const noexcept { return m_f; }

    int32_t getYear() const noexcept { return m_f.year; }
    int32_t getMonth() const noexcept { return m_f.month; }
    int32_t getDayOfMonth() const noexcept { return m_f.day; }
    int32_t getHour() const noexcept { return m_f.hour; }
    int32_t getMinute() const noexcept { return m_f.minute; }
    int32_t getSecond() const noexcept { return m_f.second; }
    int32_t getMilliseconds() const noexcept { return m_f.millisecond; }
    // Setters take -1 (the year -9999) for undefined and raise for a value outside the field's range;
    // a day beyond the end of a new month or year becomes its last day.
    void setYear(int32_t year);
    void setMonth(int32_t month);
    void setDayOfMonth(int32_t day);
    void setHour(int32_t hour);
    void setMinute(int32_t minute);
    void setSecond(int32_t second);
    void setMilliseconds(int32_t millisecond);

    void addYears(int32_t years);
    void addMonths(int32_t months);
    // Whole days on the calendar, a fraction of a day as elapsed time.
    void addDays(double days);
    void addHours(double hours);
    void addMinutes(double minutes);
    void addSeconds(double seconds);
    void addMilliseconds(int32_t milliseconds);

    // Readings of the calendar.
    // The month's name: full ("January") or abbreviated ("Jan"), English or of the locale in force.
    String getMonthText(bool full, bool localized) const;
    static int32_t getCurrentMonth();
    // 1 for Sunday to 7 for Saturday.
    int32_t getDayOfWeek() const;
    String getDayOfWeekText(bool full, bool localized) const;
    int32_t getDayOfYear() const;
    // The ISO 8601 week, and in `year` the year it belongs to.
    int32_t getWeekOfYear(int32_t& year) const;
    static bool isLeapYear(int32_t year) { return calendar::isLeapYear(year); }
    static int32_t daysInMonth(int32_t year, int32_t month) { return calendar::daysInMonth(year, month); }

    // Readings of the moment.
    double getJulian() const;
    void setJulian(double julian);
    // Whole seconds since 1970-01-01 00:00 UTC (the second the moment falls in).
    double getSecondsSince1970() const;
    void setSecondsSince1970(int64_t seconds, int32_t milliseconds);
    // The minutes to add to the clock time to get UTC (300 for New York in winter).
    double getTimeZoneOffset() const;
    // 1 while daylight-saving time is in force, 0 when not, -1 for a value without a moment.
    int32_t getDaylightSavingFlag() const noexcept { return m_dst; }

    // Time zones.
    const String& getTimeZone() const;
    static String getCurrentTimeZone();
    // Attaches a zone, keeping the clock fields, or converts the value to the zone's clock.
    void setTimeZone(std::u16string_view name, bool convert);

    // The locale of every date-time value: its names and formats. An unknown name raises and leaves the
    // locale as it was.
    static void setLocale(std::u16string_view name);
    static String getLocale();

  protected:
    int compareSameRank(const Value& other) const override;

  private:
    int64_t localMillis() const noexcept { return calendar::millisFromFields(m_f); }
    // The UTC moment of the clock fields, and what the zone says then.
    int64_t utcMillis(TimeZone::Reading* reading = nullptr) const;
    // Sets the defined fields (or every field) from a local moment, checked against the year range.
    void setLocalMillis(int64_t millis, bool everyField);
    // Sets the fields from a moment as the clock of `zone` shows it, and makes `zone` the value's zone.
    void setUtcMillis(int64_t millis, bool everyField, const TimeZone* zone);
    // After the clock fields changed: the daylight-saving flag, and a skipped local time moved on.
    void settle();
    void addElapsed(double amount, int64_t unit, const char16_t* unitName);
    void addCalendarMonths(int64_t months);
    ZoneFacts zoneFacts() const;

    static constexpr int32_t kNoOffset = INT32_MIN;

    calendar::Fields m_f;
    String m_format;
    const TimeZone* m_zone;
    int32_t m_dst = -1;
    // The offset of the moment the fields came from, which picks one of two readings of a repeated
    // local time; kNoOffset when the fields were set as fields.
    int32_t m_momentOffset = kNoOffset;
};

}  // namespace strand
