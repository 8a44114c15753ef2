#pragma once
// The date and time built-ins (DateFunctions.cpp), thin nodes over strand::DateTimeValue: the factory of
// each, in registration order.

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::dates {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeGetDate;                  // getdate
xrFunctionFactoryType makeGetTime;                  // gettime
xrFunctionFactoryType makeGetCDate;                 // getcdate
xrFunctionFactoryType makeGetCTime;                 // getctime
xrFunctionFactoryType makeGetCDateTime;             // getcdatetime
xrFunctionFactoryType makeDate;                     // date
xrFunctionFactoryType makeDateCurrent;              // datecurrent
xrFunctionFactoryType makeDateFromYMD;              // datefromYMD
xrFunctionFactoryType makeTime;                     // time
xrFunctionFactoryType makeTimeCurrent;              // timecurrent
xrFunctionFactoryType makeTimeFromHMS;              // timefromHMS
xrFunctionFactoryType makeDateTimeCurrent;          // datetimecurrent
xrFunctionFactoryType makeDateTime;                 // datetime
xrFunctionFactoryType makeDateTimeFromYMDHMS;       // datetimefromYMDHMS
xrFunctionFactoryType makeDateProposeFormat;        // dateproposeformat
xrFunctionFactoryType makeDateText;                 // datetext
xrFunctionFactoryType makeDateFormat;               // dateformat
xrFunctionFactoryType makeDateSetFormat;            // datesetformat
xrFunctionFactoryType makeDateFillUndefined;        // datefillundefined
xrFunctionFactoryType makeDateFieldIsDefined;       // datefieldisdefined
xrFunctionFactoryType makeDateSetFieldUndefined;    // datesetfieldundefined
xrFunctionFactoryType makeDateSetText;              // datesettext
xrFunctionFactoryType makeDateYear;                 // dateyear
xrFunctionFactoryType makeDateSetYear;              // datesetyear
xrFunctionFactoryType makeDateAddYears;             // dateaddyears
xrFunctionFactoryType makeDateMonth;                // datemonth
xrFunctionFactoryType makeDateMonthText;            // datemonthtext
xrFunctionFactoryType makeDateSetMonth;             // datesetmonth
xrFunctionFactoryType makeDateAddMonths;            // dateaddmonths
xrFunctionFactoryType makeDateDayOfMonth;           // datedayofmonth
xrFunctionFactoryType makeDateSetDayOfMonth;        // datesetdayofmonth
xrFunctionFactoryType makeDateAddDays;              // dateadddays
xrFunctionFactoryType makeDateDayOfWeek;            // datedayofweek
xrFunctionFactoryType makeDateDayOfWeekText;        // datedayofweektext
xrFunctionFactoryType makeDateDayOfYear;            // datedayofyear
xrFunctionFactoryType makeDateHour;                 // datehour
xrFunctionFactoryType makeDateSetHour;              // datesethour
xrFunctionFactoryType makeDateAddHours;             // dateaddhours
xrFunctionFactoryType makeDateMinute;               // dateminute
xrFunctionFactoryType makeDateSetMinute;            // datesetminute
xrFunctionFactoryType makeDateAddMinutes;           // dateaddminutes
xrFunctionFactoryType makeDateSecond;               // datesecond
xrFunctionFactoryType makeDateSetSecond;            // datesetsecond
xrFunctionFactoryType makeDateAddSeconds;           // dateaddseconds
xrFunctionFactoryType makeDateMilliseconds;         // datemilliseconds
xrFunctionFactoryType makeDateSetMilliseconds;      // datesetmilliseconds
xrFunctionFactoryType makeDateAddMilliseconds;      // dateaddmilliseconds
xrFunctionFactoryType makeDateSecondsSince1970;     // datesecondssince1970
xrFunctionFactoryType makeDateSetSecondsSince1970;  // datesetsecondssince1970
xrFunctionFactoryType makeDateJulian;               // datejulian
xrFunctionFactoryType makeDateSetJulian;            // datesetjulian
xrFunctionFactoryType makeDateLocalToGmt;           // datelocaltogmt
xrFunctionFactoryType makeDateIsLeapYear;           // dateisleapyear
xrFunctionFactoryType makeDateIsDst;                // dateisdst
xrFunctionFactoryType makeDateDaysInMonth;          // datedaysinmonth
xrFunctionFactoryType makeDateWeekOfYear;           // dateweekofyear
xrFunctionFactoryType makeDateWeekOfYearYear;       // dateweekofyearyear
xrFunctionFactoryType makeDateDaysBetween;          // datedaysbetween
xrFunctionFactoryType makeDateSetLocale;            // datesetlocale
xrFunctionFactoryType makeDateLocale;               // datelocale
xrFunctionFactoryType makeDateTimeZone;             // datetimezone
xrFunctionFactoryType makeDateSetTimeZone;          // datesettimezone
xrFunctionFactoryType makeDateChangeTimeZone;       // datechangetimezone

}  // namespace strand::dates
