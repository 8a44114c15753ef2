// The date and time built-ins: thin nodes over strand::DateTimeValue, which does the calendar
// arithmetic, parsing, formatting and zones. What the nodes settle is how arguments become dates, which
// operation each function calls, how changed dates go back into their properties, and the messages
// when a constructed date is misused.
//
// A date argument is used as it is when it holds a date-time value; any other value's text is parsed
// without a format. Numbers that are integers to the date value are truncated toward zero to 32 bits.

#include "functions/DateFunctions.h"

#include <cmath>
#include <ctime>

#include "functions/FunctionNode.h"
#include "host/DateTimeLocale.h"
#include "host/DateTimeValue.h"

using strand::DateTimeValue;
using strand::ExpressionContext;
using strand::String;
using strand::Value;

namespace {

constexpr const char16_t* kNotAProperty =
    u"The first argument must be a property that holds the date to change.";

// The shared work of the date built-ins: reading date arguments, and turning a failure of the date value
// into a script error of the call.
template <typename Base>
class xrDateExprImp : public xrFunctionExprImp<Base> {
  public:
    using xrFunctionExprImp<Base>::xrFunctionExprImp;
    using xrFunctionExprImp<Base>::atCallLine;

  protected:
    // A date argument. The result may be the property's own value: use it before another argument is
    // evaluated, or take ownDateArg.
    const DateTimeValue& dateArg(ExpressionContext& ctx, size_t i) {
        return dateFrom(this->valueArg(ctx, i));
    }
    // A date argument copied into the node's own date, which later arguments cannot change.
    DateTimeValue& ownDateArg(ExpressionContext& ctx, size_t i) {
        const DateTimeValue& date = dateArg(ctx, i);
        if (&date != &m_date)
            m_date = date;
        return m_date;
    }
    // An optional date argument: the current local date and time when the call gives none.
    const DateTimeValue& dateArgOrNow(ExpressionContext& ctx, size_t i) {
        if (this->hasArg(i))
            return dateArg(ctx, i);
        m_date.setToLocalDateTime();
        return m_date;
    }
    const DateTimeValue& dateFrom(const Value& value) {
        if (value.kind() == Value::Kind::DateTime)
            return static_cast<const DateTimeValue&>(value);
        value.getText(m_text);
        m_date.reset();
        atCallLine([&] { m_date.set(m_text.view(), String()); });
        return m_date;
    }

    DateTimeValue m_date;
    String m_text;
};

// The parameter type of a one-argument member of DateTimeValue.
template <typename T>
struct ParameterOf;
template <typename R, typename A>
struct ParameterOf<R (DateTimeValue::*)(A)> {
    using type = A;
};

// ---- Constructors ------------------------------------------------------------------------------------

// How a constructor is named in its messages and the statement its hint suggests.
struct xrConstructorTexts {
    const char16_t* name;
    const char16_t* example;
};

constexpr xrConstructorTexts kDateTexts{u"date", u"d := date('2001-11-12', '%Y-%m-%d');"};
constexpr xrConstructorTexts kDateCurrentTexts{u"datecurrent", u"d := datecurrent();"};
constexpr xrConstructorTexts kDateFromYMDTexts{u"DateFromYMD", u"d := DateFromYMD(2006, 12, 25);"};
constexpr xrConstructorTexts kTimeTexts{u"time", u"t := time('18:31:01', '%H:%M:%S');"};
constexpr xrConstructorTexts kTimeCurrentTexts{u"timecurrent", u"t := timecurrent();"};
constexpr xrConstructorTexts kTimeFromHMSTexts{u"timefromHMS", u"t := timeFromHMS(13, 30, 0);"};
constexpr xrConstructorTexts kDateTimeCurrentTexts{u"datetimecurrent", u"filetime := datetimecurrent();"};
constexpr xrConstructorTexts kDateTimeTexts{
    u"datetime", u"filetime := datetime('2001-11-12 18:31:01', '%Y-%m-%d %H:%M:%S');"};
constexpr xrConstructorTexts kDateTimeFromYMDHMSTexts{
    u"datetimefromYMDHMS", u"filetime := datetimefromYMDHMS(2001, 12, 25, 12, 0, 0);"};

using LocaleFormat = void (*)(String&);

// A constructor builds its date in the node at every evaluation. Alone as a statement its value would be
// lost: the statement check and the evaluation say so.
template <const xrConstructorTexts& Texts>
class xrDateConstructorExprImp : public xrDateExprImp<xrValueResultExprImp> {
  public:
    using xrDateExprImp<xrValueResultExprImp>::xrDateExprImp;

    void Evaluate(ExpressionContext&) override {
        throw error(
            u"You must use the resulting value from %ls() to assign to a property or in another expression.",
            Texts.name);
    }
    void DoesSomethingCheck() const override {
        throw error(u"Statement doesn't appear to do anything. Try assigning the return value. E.g.:\n  %ls",
                    Texts.example);
    }

  protected:
    const DateTimeValue& withLocaleFormat(LocaleFormat localeFormat) {
        localeFormat(m_format);
        m_date.setDateTimeFormat(m_format.view());
        return m_date;
    }

    String m_format;
};

// date(x [, format]), time(x [, format]), datetime(x [, format]): a date-time is copied (the format, when
// given, becomes its format), a number is a Julian date, any other value's text is parsed with the format
// or without one; new dates take the format, or the locale's.
template <const xrConstructorTexts& Texts, LocaleFormat Format>
class xrDateParseExprImp final : public xrDateConstructorExprImp<Texts> {
  public:
    using xrDateConstructorExprImp<Texts>::xrDateConstructorExprImp;

    const Value& AsValue(ExpressionContext& ctx) override {
        const Value& x = this->valueArg(ctx, 0);
        const Value::Kind kind = x.kind();
        if (kind == Value::Kind::DateTime) {
            this->m_date = static_cast<const DateTimeValue&>(x);
        } else if (kind == Value::Kind::Double || kind == Value::Kind::Integer) {
            const double julian = x.getDouble();
            this->m_date.reset();
            this->atCallLine([&] { this->m_date.setJulian(julian); });
        } else {
            x.getText(this->m_text);
            this->m_date.reset();
        }
        const bool hasFormat = this->hasArg(1);
        if (hasFormat)
            this->m_format.assign(this->textArg(ctx, 1).view());
        if (kind != Value::Kind::DateTime && kind != Value::Kind::Double && kind != Value::Kind::Integer)
            this->atCallLine(
                [&] { this->m_date.set(this->m_text.view(), hasFormat ? this->m_format : String()); });
        if (hasFormat) {
            this->m_date.setDateTimeFormat(this->m_format.view());
            return this->m_date;
        }
        if (kind == Value::Kind::DateTime)
            return this->m_date;
        return this->withLocaleFormat(Format);
    }
};

// date(x [, format])
using xrDateConstructExprImp = xrDateParseExprImp<kDateTexts, &DateTimeValue::GetLocaleDateFormat>;
// time(x [, format])
using xrTimeConstructExprImp = xrDateParseExprImp<kTimeTexts, &DateTimeValue::GetLocaleTimeFormat>;
// datetime(x [, format])
using xrDateTimeConstructExprImp =
    xrDateParseExprImp<kDateTimeTexts, &DateTimeValue::GetLocaleDateTimeFormat>;

// datecurrent(): today, without a time.
class xrDateCurrentExprImp final : public xrDateConstructorExprImp<kDateCurrentTexts> {
  public:
    using xrDateConstructorExprImp::xrDateConstructorExprImp;
    const Value& AsValue(ExpressionContext&) override {
        m_date.setToLocalDateTime();
        m_date.setTime(-1, -1, -1, -1);
        return withLocaleFormat(&DateTimeValue::GetLocaleDateFormat);
    }
};

// datefromYMD(year, month, day): noon of the day.
class xrDateFromYMDExprImp final : public xrDateConstructorExprImp<kDateFromYMDTexts> {
  public:
    using xrDateConstructorExprImp::xrDateConstructorExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const int32_t year = intArg(ctx, 0), month = intArg(ctx, 1), day = intArg(ctx, 2);
        m_date.reset();
        atCallLine([&] { m_date.set(year, month, day, 12, 0, 0, 0); });
        return withLocaleFormat(&DateTimeValue::GetLocaleDateFormat);
    }
};

// timecurrent(): the time of day now, without a date.
class xrTimeCurrentExprImp final : public xrDateConstructorExprImp<kTimeCurrentTexts> {
  public:
    using xrDateConstructorExprImp::xrDateConstructorExprImp;
    const Value& AsValue(ExpressionContext&) override {
        m_date.setToLocalDateTime();
        m_date.setYear(DateTimeValue::kUndefinedYear);
        m_date.setMonth(-1);
        m_date.setDayOfMonth(-1);
        return withLocaleFormat(&DateTimeValue::GetLocaleTimeFormat);
    }
};

// timefromHMS(hour, minute, second [, millisecond])
class xrTimeFromHMSExprImp final : public xrDateConstructorExprImp<kTimeFromHMSTexts> {
  public:
    using xrDateConstructorExprImp::xrDateConstructorExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        const int32_t hour = intArg(ctx, 0), minute = intArg(ctx, 1), second = intArg(ctx, 2);
        const int32_t millisecond = intArgOr(ctx, 3, 0);
        m_date.reset();
        atCallLine([&] { m_date.setTime(hour, minute, second, millisecond); });
        return withLocaleFormat(&DateTimeValue::GetLocaleTimeFormat);
    }
};

// datetimecurrent()
class xrDateTimeCurrentExprImp final : public xrDateConstructorExprImp<kDateTimeCurrentTexts> {
  public:
    using xrDateConstructorExprImp::xrDateConstructorExprImp;
    const Value& AsValue(ExpressionContext&) override {
        m_date.setToLocalDateTime();
        return withLocaleFormat(&DateTimeValue::GetLocaleDateTimeFormat);
    }
};

// datetimefromYMDHMS(year, month, day, hour, minute, second [, millisecond])
class xrDateTimeFromYMDHMSExprImp final : public xrDateConstructorExprImp<kDateTimeFromYMDHMSTexts> {
  public:
    using xrDateConstructorExprImp::xrDateConstructorExprImp;
    const Value& AsValue(ExpressionContext& ctx) override {
        int32_t f[7];
        for (size_t i = 0; i < 6; ++i)
            f[i] = intArg(ctx, i);
        f[6] = intArgOr(ctx, 6, 0);
        m_date.reset();
        atCallLine([&] { m_date.set(f[0], f[1], f[2], f[3], f[4], f[5], f[6]); });
        return withLocaleFormat(&DateTimeValue::GetLocaleDateTimeFormat);
    }
};

// ---- The clock -----------------------------------------------------------------------------------

// The current local time as the C library's broken-down time.
std::tm brokenDownNow(DateTimeValue& now) {
    now.setToLocalDateTime();
    std::tm tm{};
    tm.tm_year = now.getYear() - 1900;
    tm.tm_mon = now.getMonth() - 1;
    tm.tm_mday = now.getDayOfMonth();
    tm.tm_hour = now.getHour();
    tm.tm_min = now.getMinute();
    tm.tm_sec = now.getSecond();
    tm.tm_wday = now.getDayOfWeek() - 1;
    tm.tm_yday = now.getDayOfYear() - 1;
    tm.tm_isdst = now.getDaylightSavingFlag();
    tm.tm_gmtoff = long(std::lround(-now.getTimeZoneOffset() * 60));
    tm.tm_zone = "";
    return tm;
}

// getdate([userLocale]), gettime([userLocale]): the current date or time as the platform writes it, in
// the "C" locale or the user's default one.
template <const wchar_t* Conversion>
class xrPlatformTimeExprImp final : public xrDateExprImp<xrStringExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const bool userLocale = boolArgOr(ctx, 0, false);
        GetString() = strand::formatPlatformTime(Conversion, brokenDownNow(m_date), userLocale);
        return GetString();
    }
};

constexpr wchar_t kPlatformDate[] = L"%x";
constexpr wchar_t kPlatformTime[] = L"%X";
// getdate([b])
using xrGetDateExprImp = xrPlatformTimeExprImp<kPlatformDate>;
// gettime([b])
using xrGetTimeExprImp = xrPlatformTimeExprImp<kPlatformTime>;

double yyyymmdd(const DateTimeValue& d) {
    return double(d.getYear()) * 10000 + d.getMonth() * 100 + d.getDayOfMonth();
}

// getcdate(): YYYYMMDD
class xrGetCDateExprImp final : public xrDateExprImp<xrNumericExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    double AsDouble(ExpressionContext&) override {
        m_date.setToLocalDateTime();
        return yyyymmdd(m_date);
    }
};

// getctime(): HHMMSS
class xrGetCTimeExprImp final : public xrDateExprImp<xrNumericExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    double AsDouble(ExpressionContext&) override {
        m_date.setToLocalDateTime();
        return m_date.getHour() * 10000 + m_date.getMinute() * 100 + m_date.getSecond();
    }
};

// getcdatetime(): YYYYMMDD.HHMMSS
class xrGetCDateTimeExprImp final : public xrDateExprImp<xrNumericExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    double AsDouble(ExpressionContext&) override {
        m_date.setToLocalDateTime();
        return yyyymmdd(m_date) + m_date.getHour() * 0.01 + m_date.getMinute() * 0.0001 +
               m_date.getSecond() * 0.000001;
    }
};

// ---- Texts and formats ---------------------------------------------------------------------------

// dateproposeformat(text): the built-in format that reads the text, or the empty text.
class xrDateProposeFormatExprImp final : public xrDateExprImp<xrStringExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        DateTimeValue::proposeFormat(textArg(ctx, 0).view(), GetString());
        return GetString();
    }
};

// datetext(d): a date's text form; any other value's own text, unparsed.
class xrDateTextExprImp final : public xrDateExprImp<xrStringExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        valueArg(ctx, 0).getText(GetString());
        return GetString();
    }
};

// dateformat(d)
class xrDateFormatExprImp final : public xrDateExprImp<xrStringExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        GetString().assign(dateArg(ctx, 0).getDateTimeFormat().view());
        return GetString();
    }
};

// datefieldisdefined(d, field): fields 1 (year) to 7 (millisecond).
class xrDateFieldIsDefinedExprImp final : public xrDateExprImp<xrBooleanExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const DateTimeValue& date = ownDateArg(ctx, 0);
        const int32_t field = intArg(ctx, 1);
        return atCallLine([&] { return date.isFieldDefined(field); });
    }
};

// ---- Changing a date -------------------------------------------------------------------------------

// The void built-ins change the date a property holds: the property's date (or its text, parsed) is
// changed in the node's copy and stored back, so that a text property becomes a date-time property.
class xrDateChangeExprImp : public xrDateExprImp<xrVoidExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;

    void Evaluate(ExpressionContext& ctx) final {
        xrExpressionVariableInterface* variable = variableArg(ctx, 0, kNotAProperty);
        DateTimeValue& date = dateToChange(ctx, *variable);
        change(ctx, date);
        variable->SetValue(ctx, date);
    }

  protected:
    // Evaluates the further arguments and changes the date.
    virtual void change(ExpressionContext& ctx, DateTimeValue& date) = 0;
    // Whether a property that holds no date-time value is parsed; otherwise a new date replaces it.
    virtual bool parsesText() const { return true; }

  private:
    DateTimeValue& dateToChange(ExpressionContext& ctx, xrExpressionVariableInterface& variable) {
        if (parsesText())
            return ownDateArg(ctx, 0);
        if (variable.IsDefined(ctx)) {
            const Value& value = arg(0).AsValue(ctx);
            if (value.kind() == Value::Kind::DateTime) {
                m_date = static_cast<const DateTimeValue&>(value);
                return m_date;
            }
        }
        m_date.reset();
        return m_date;
    }
};

// A change by one number: the setters and the adders of years, months and milliseconds take it truncated
// to 32 bits, the adders of days, hours, minutes and seconds as it is.
template <auto Change>
class xrDateChangeByNumberExprImp final : public xrDateChangeExprImp {
  public:
    using xrDateChangeExprImp::xrDateChangeExprImp;

  protected:
    void change(ExpressionContext& ctx, DateTimeValue& date) override {
        using Parameter = typename ParameterOf<decltype(Change)>::type;
        if constexpr (std::is_same_v<Parameter, double>) {
            const double n = numberArg(ctx, 1);
            atCallLine([&] { (date.*Change)(n); });
        } else {
            const int32_t n = intArg(ctx, 1);
            atCallLine([&] { (date.*Change)(n); });
        }
    }
};

// datesetyear(p, year)
using xrDateSetYearExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::setYear>;
// dateaddyears(p, years)
using xrDateAddYearsExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::addYears>;
// datesetmonth(p, month)
using xrDateSetMonthExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::setMonth>;
// dateaddmonths(p, months)
using xrDateAddMonthsExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::addMonths>;
// datesetdayofmonth(p, day)
using xrDateSetDayOfMonthExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::setDayOfMonth>;
// dateadddays(p, days)
using xrDateAddDaysExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::addDays>;
// datesethour(p, hour)
using xrDateSetHourExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::setHour>;
// dateaddhours(p, hours)
using xrDateAddHoursExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::addHours>;
// datesetminute(p, minute)
using xrDateSetMinuteExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::setMinute>;
// dateaddminutes(p, minutes)
using xrDateAddMinutesExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::addMinutes>;
// datesetsecond(p, second)
using xrDateSetSecondExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::setSecond>;
// dateaddseconds(p, seconds)
using xrDateAddSecondsExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::addSeconds>;
// datesetmilliseconds(p, millisecond)
using xrDateSetMillisecondsExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::setMilliseconds>;
// dateaddmilliseconds(p, milliseconds)
using xrDateAddMillisecondsExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::addMilliseconds>;
// datesetfieldundefined(p, field)
using xrDateSetFieldUndefinedExprImp = xrDateChangeByNumberExprImp<&DateTimeValue::setFieldUndefined>;

// datesetformat(p, format)
class xrDateSetFormatExprImp final : public xrDateChangeExprImp {
  public:
    using xrDateChangeExprImp::xrDateChangeExprImp;

  protected:
    void change(ExpressionContext& ctx, DateTimeValue& date) override {
        date.setDateTimeFormat(textArg(ctx, 1).view());
    }
};

// datefillundefined(p [, fromCurrentTime])
class xrDateFillUndefinedExprImp final : public xrDateChangeExprImp {
  public:
    using xrDateChangeExprImp::xrDateChangeExprImp;

  protected:
    void change(ExpressionContext& ctx, DateTimeValue& date) override {
        const bool fromCurrentTime = boolArgOr(ctx, 1, false);
        atCallLine([&] { date.setUndefined(fromCurrentTime); });
    }
};

// datesettext(p, text [, format])
class xrDateSetTextExprImp final : public xrDateChangeExprImp {
  public:
    using xrDateChangeExprImp::xrDateChangeExprImp;

  protected:
    void change(ExpressionContext& ctx, DateTimeValue& date) override {
        m_text.assign(textArg(ctx, 1).view());
        if (hasArg(2))
            m_format.assign(textArg(ctx, 2).view());
        else
            m_format.setNull();
        atCallLine([&] { date.set(m_text.view(), m_format); });
    }

  private:
    String m_format;
};

// datesetsecondssince1970(p, seconds): seconds in 64 bits, so that moments after 2038 are reached.
class xrDateSetSecondsSince1970ExprImp final : public xrDateChangeExprImp {
  public:
    using xrDateChangeExprImp::xrDateChangeExprImp;

  protected:
    void change(ExpressionContext& ctx, DateTimeValue& date) override {
        const int64_t seconds = strand::truncToInt64(numberArg(ctx, 1));
        atCallLine([&] { date.setSecondsSince1970(seconds, 0); });
    }
    bool parsesText() const override { return false; }
};

// datesetjulian(p, julian)
class xrDateSetJulianExprImp final : public xrDateChangeExprImp {
  public:
    using xrDateChangeExprImp::xrDateChangeExprImp;

  protected:
    void change(ExpressionContext& ctx, DateTimeValue& date) override {
        const double julian = numberArg(ctx, 1);
        atCallLine([&] { date.setJulian(julian); });
    }
    bool parsesText() const override { return false; }
};

// datesettimezone(p, zone), datechangetimezone(p, zone): the zone attached to the clock fields, or the
// date converted to the zone's clock.
template <bool Convert>
class xrDateTimeZoneChangeExprImp final : public xrDateChangeExprImp {
  public:
    using xrDateChangeExprImp::xrDateChangeExprImp;

  protected:
    void change(ExpressionContext& ctx, DateTimeValue& date) override {
        const String& zone = textArg(ctx, 1);
        atCallLine([&] { date.setTimeZone(zone.view(), Convert); });
    }
};

// datesettimezone(p, zone)
using xrDateSetTimeZoneExprImp = xrDateTimeZoneChangeExprImp<false>;
// datechangetimezone(p, zone)
using xrDateChangeTimeZoneExprImp = xrDateTimeZoneChangeExprImp<true>;

// ---- Readings ----------------------------------------------------------------------------------------

// A number read from a date; an optional date is the current local date and time.
template <auto Read>
class xrDateReadingExprImp final : public xrDateExprImp<xrNumericExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    double AsDouble(ExpressionContext& ctx) override { return double((dateArgOrNow(ctx, 0).*Read)()); }
};

// dateyear(d)
using xrDateYearExprImp = xrDateReadingExprImp<&DateTimeValue::getYear>;
// datemonth(d)
using xrDateMonthExprImp = xrDateReadingExprImp<&DateTimeValue::getMonth>;
// datedayofmonth(d)
using xrDateDayOfMonthExprImp = xrDateReadingExprImp<&DateTimeValue::getDayOfMonth>;
// datedayofweek([d]): 1 for Sunday to 7 for Saturday.
using xrDateDayOfWeekExprImp = xrDateReadingExprImp<&DateTimeValue::getDayOfWeek>;
// datedayofyear([d])
using xrDateDayOfYearExprImp = xrDateReadingExprImp<&DateTimeValue::getDayOfYear>;
// datehour(d)
using xrDateHourExprImp = xrDateReadingExprImp<&DateTimeValue::getHour>;
// dateminute(d)
using xrDateMinuteExprImp = xrDateReadingExprImp<&DateTimeValue::getMinute>;
// datesecond(d)
using xrDateSecondExprImp = xrDateReadingExprImp<&DateTimeValue::getSecond>;
// datemilliseconds(d)
using xrDateMillisecondsExprImp = xrDateReadingExprImp<&DateTimeValue::getMilliseconds>;
// datesecondssince1970([d])
using xrDateSecondsSince1970ExprImp = xrDateReadingExprImp<&DateTimeValue::getSecondsSince1970>;
// datejulian([d])
using xrDateJulianExprImp = xrDateReadingExprImp<&DateTimeValue::getJulian>;
// datelocaltogmt([d]): the minutes to add to the local time to get UTC.
using xrDateLocalToGmtExprImp = xrDateReadingExprImp<&DateTimeValue::getTimeZoneOffset>;

// datemonthtext([d [, localized [, full]]]): the third argument selects the full name.
class xrDateMonthTextExprImp final : public xrDateExprImp<xrStringExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        if (argCount() == 0) {
            m_date.setToLocalDateTime();
            GetString() = m_date.getMonthText(true, false);
            return GetString();
        }
        const DateTimeValue& date = ownDateArg(ctx, 0);
        const bool localized = boolArgOr(ctx, 1, false);
        const bool full = boolArgOr(ctx, 2, false);
        GetString() = date.getMonthText(full, localized);
        return GetString();
    }
};

// datedayofweektext([d [, localized [, full]]]): full names unless the third argument is false.
class xrDateDayOfWeekTextExprImp final : public xrDateExprImp<xrStringExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        if (argCount() == 0) {
            m_date.setToLocalDateTime();
            GetString() = m_date.getDayOfWeekText(true, false);
            return GetString();
        }
        const DateTimeValue& date = ownDateArg(ctx, 0);
        const bool localized = boolArgOr(ctx, 1, false);
        const bool full = boolArgOr(ctx, 2, true);
        GetString() = date.getDayOfWeekText(full, localized);
        return GetString();
    }
};

// dateisleapyear(d)
class xrDateIsLeapYearExprImp final : public xrDateExprImp<xrBooleanExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        return DateTimeValue::isLeapYear(dateArg(ctx, 0).getYear());
    }
};

// dateisdst(d)
class xrDateIsDstExprImp final : public xrDateExprImp<xrBooleanExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    bool AsBool(ExpressionContext& ctx) override { return dateArg(ctx, 0).getDaylightSavingFlag() == 1; }
};

// datedaysinmonth(d)
class xrDateDaysInMonthExprImp final : public xrDateExprImp<xrNumericExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        const DateTimeValue& date = dateArg(ctx, 0);
        return DateTimeValue::daysInMonth(date.getYear(), date.getMonth());
    }
};

// dateweekofyear(d), dateweekofyearyear(d): the ISO 8601 week, or the year it belongs to.
template <bool Year>
class xrDateWeekExprImp final : public xrDateExprImp<xrNumericExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        int32_t year = 0;
        const int32_t week = dateArg(ctx, 0).getWeekOfYear(year);
        return Year ? year : week;
    }
};

// dateweekofyear(d)
using xrDateWeekOfYearExprImp = xrDateWeekExprImp<false>;
// dateweekofyearyear(d)
using xrDateWeekOfYearYearExprImp = xrDateWeekExprImp<true>;

// datedaysbetween(d1, d2): the difference of the civil day numbers.
class xrDateDaysBetweenExprImp final : public xrDateExprImp<xrNumericExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    double AsDouble(ExpressionContext& ctx) override {
        const int64_t first = dayNumber(ownDateArg(ctx, 0));
        return double(first - dayNumber(dateArg(ctx, 1)));
    }

  private:
    static int64_t dayNumber(const DateTimeValue& date) {
        return strand::truncToInt32(std::floor(date.getJulian() + 0.5));
    }
};

// ---- Locale and zone ------------------------------------------------------------------------------

// datesetlocale(name)
class xrDateSetLocaleExprImp final : public xrDateExprImp<xrVoidExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String& name = textArg(ctx, 0);
        atCallLine([&] { DateTimeValue::setLocale(name.view()); });
    }
};

// datelocale()
class xrDateLocaleExprImp final : public xrDateExprImp<xrStringExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    const String& AsString(ExpressionContext&) override {
        GetString() = DateTimeValue::getLocale();
        return GetString();
    }
};

// datetimezone([d]): the date's zone, or the local zone.
class xrDateTimeZoneExprImp final : public xrDateExprImp<xrStringExprImp> {
  public:
    using xrDateExprImp::xrDateExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        if (argCount() == 0)
            GetString() = DateTimeValue::getCurrentTimeZone();
        else
            GetString().assign(dateArg(ctx, 0).getTimeZone().view());
        return GetString();
    }
};

}  // namespace

namespace strand::dates {

STRAND_BUILTIN_FACTORY(makeGetDate, xrGetDateExprImp)
STRAND_BUILTIN_FACTORY(makeGetTime, xrGetTimeExprImp)
STRAND_BUILTIN_FACTORY(makeGetCDate, xrGetCDateExprImp)
STRAND_BUILTIN_FACTORY(makeGetCTime, xrGetCTimeExprImp)
STRAND_BUILTIN_FACTORY(makeGetCDateTime, xrGetCDateTimeExprImp)
STRAND_BUILTIN_FACTORY(makeDate, xrDateConstructExprImp)
STRAND_BUILTIN_FACTORY(makeDateCurrent, xrDateCurrentExprImp)
STRAND_BUILTIN_FACTORY(makeDateFromYMD, xrDateFromYMDExprImp)
STRAND_BUILTIN_FACTORY(makeTime, xrTimeConstructExprImp)
STRAND_BUILTIN_FACTORY(makeTimeCurrent, xrTimeCurrentExprImp)
STRAND_BUILTIN_FACTORY(makeTimeFromHMS, xrTimeFromHMSExprImp)
STRAND_BUILTIN_FACTORY(makeDateTimeCurrent, xrDateTimeCurrentExprImp)
STRAND_BUILTIN_FACTORY(makeDateTime, xrDateTimeConstructExprImp)
STRAND_BUILTIN_FACTORY(makeDateTimeFromYMDHMS, xrDateTimeFromYMDHMSExprImp)
STRAND_BUILTIN_FACTORY(makeDateProposeFormat, xrDateProposeFormatExprImp)
STRAND_BUILTIN_FACTORY(makeDateText, xrDateTextExprImp)
STRAND_BUILTIN_FACTORY(makeDateFormat, xrDateFormatExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetFormat, xrDateSetFormatExprImp)
STRAND_BUILTIN_FACTORY(makeDateFillUndefined, xrDateFillUndefinedExprImp)
STRAND_BUILTIN_FACTORY(makeDateFieldIsDefined, xrDateFieldIsDefinedExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetFieldUndefined, xrDateSetFieldUndefinedExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetText, xrDateSetTextExprImp)
STRAND_BUILTIN_FACTORY(makeDateYear, xrDateYearExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetYear, xrDateSetYearExprImp)
STRAND_BUILTIN_FACTORY(makeDateAddYears, xrDateAddYearsExprImp)
STRAND_BUILTIN_FACTORY(makeDateMonth, xrDateMonthExprImp)
STRAND_BUILTIN_FACTORY(makeDateMonthText, xrDateMonthTextExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetMonth, xrDateSetMonthExprImp)
STRAND_BUILTIN_FACTORY(makeDateAddMonths, xrDateAddMonthsExprImp)
STRAND_BUILTIN_FACTORY(makeDateDayOfMonth, xrDateDayOfMonthExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetDayOfMonth, xrDateSetDayOfMonthExprImp)
STRAND_BUILTIN_FACTORY(makeDateAddDays, xrDateAddDaysExprImp)
STRAND_BUILTIN_FACTORY(makeDateDayOfWeek, xrDateDayOfWeekExprImp)
STRAND_BUILTIN_FACTORY(makeDateDayOfWeekText, xrDateDayOfWeekTextExprImp)
STRAND_BUILTIN_FACTORY(makeDateDayOfYear, xrDateDayOfYearExprImp)
STRAND_BUILTIN_FACTORY(makeDateHour, xrDateHourExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetHour, xrDateSetHourExprImp)
STRAND_BUILTIN_FACTORY(makeDateAddHours, xrDateAddHoursExprImp)
STRAND_BUILTIN_FACTORY(makeDateMinute, xrDateMinuteExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetMinute, xrDateSetMinuteExprImp)
STRAND_BUILTIN_FACTORY(makeDateAddMinutes, xrDateAddMinutesExprImp)
STRAND_BUILTIN_FACTORY(makeDateSecond, xrDateSecondExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetSecond, xrDateSetSecondExprImp)
STRAND_BUILTIN_FACTORY(makeDateAddSeconds, xrDateAddSecondsExprImp)
STRAND_BUILTIN_FACTORY(makeDateMilliseconds, xrDateMillisecondsExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetMilliseconds, xrDateSetMillisecondsExprImp)
STRAND_BUILTIN_FACTORY(makeDateAddMilliseconds, xrDateAddMillisecondsExprImp)
STRAND_BUILTIN_FACTORY(makeDateSecondsSince1970, xrDateSecondsSince1970ExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetSecondsSince1970, xrDateSetSecondsSince1970ExprImp)
STRAND_BUILTIN_FACTORY(makeDateJulian, xrDateJulianExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetJulian, xrDateSetJulianExprImp)
STRAND_BUILTIN_FACTORY(makeDateLocalToGmt, xrDateLocalToGmtExprImp)
STRAND_BUILTIN_FACTORY(makeDateIsLeapYear, xrDateIsLeapYearExprImp)
STRAND_BUILTIN_FACTORY(makeDateIsDst, xrDateIsDstExprImp)
STRAND_BUILTIN_FACTORY(makeDateDaysInMonth, xrDateDaysInMonthExprImp)
STRAND_BUILTIN_FACTORY(makeDateWeekOfYear, xrDateWeekOfYearExprImp)
STRAND_BUILTIN_FACTORY(makeDateWeekOfYearYear, xrDateWeekOfYearYearExprImp)
STRAND_BUILTIN_FACTORY(makeDateDaysBetween, xrDateDaysBetweenExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetLocale, xrDateSetLocaleExprImp)
STRAND_BUILTIN_FACTORY(makeDateLocale, xrDateLocaleExprImp)
STRAND_BUILTIN_FACTORY(makeDateTimeZone, xrDateTimeZoneExprImp)
STRAND_BUILTIN_FACTORY(makeDateSetTimeZone, xrDateSetTimeZoneExprImp)
STRAND_BUILTIN_FACTORY(makeDateChangeTimeZone, xrDateChangeTimeZoneExprImp)

}  // namespace strand::dates
