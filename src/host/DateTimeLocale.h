#pragma once
// DateLocale: the month and weekday names, the AM/PM words and the date, time and date-time formats
// of one locale, read once from the system's locale data through a locale object of its own (the
// process locale is never switched). The "C" locale (also "POSIX", "C.UTF-8") has English names and
// the ISO 8601 formats %Y-%m-%d, %H:%M:%S and %Y-%m-%d %H:%M:%S.
//
// One locale is in force for all date-time values (datesetlocale); it starts as "C".

#include <array>
#include <ctime>
#include <memory>
#include <string_view>

#include "host/String.h"

namespace strand {

struct DateLocale {
    String name;
    String dateFormat;
    String timeFormat;
    String dateTimeFormat;
    String timeFormat12;  // the 12-hour clock format of %r
    std::array<String, 12> months;
    std::array<String, 12> shortMonths;
    std::array<String, 7> days;  // Sunday first
    std::array<String, 7> shortDays;
    String am;
    String pm;

    // The built-in "C" locale.
    static const std::shared_ptr<const DateLocale>& english();
    // The locale of a name: "C" and its aliases, or an installed locale ("de_DE.UTF-8"; a name without
    // an encoding, such as "de_DE", finds the UTF-8 one); null when there is none.
    static std::shared_ptr<const DateLocale> load(std::u16string_view name);

    // The locale in force, and a change of it.
    static std::shared_ptr<const DateLocale> current();
    static void setCurrent(std::shared_ptr<const DateLocale> locale);
};

// `format` applied by the platform's strftime to `tm`, in the "C" locale or in the user's default
// locale (LC_ALL, LC_TIME, LANG), through a locale object; the empty text when the text does not fit.
String formatPlatformTime(const wchar_t* format, const std::tm& tm, bool userLocale);

}  // namespace strand
