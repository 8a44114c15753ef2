#pragma once
// Formatting of date-time fields with the C strftime directives, over 16-bit text.
//
// Directives: %a %A %b %B %h (names of the locale in force), %c %x %X %r (its formats), %C %d %D %e
// %F %g %G %H %I %j %k %l %m %M %n %p %P %R %s %S %t %T %u %U %V %w %W %y %Y %z %Z %%, and %L for
// the milliseconds (three digits). The flags '-' (no padding), '_' (blanks), '0' (zeros) and '^'
// (upper case) may stand between '%' and the letter; the E and O modifiers are read and ignored. A
// directive whose field is undefined writes nothing; an unknown directive is copied as written.

#include <cstdint>
#include <string>
#include <string_view>

#include "host/DateTimeCalendar.h"
#include "host/DateTimeLocale.h"
#include "host/String.h"

namespace strand {

// What the zone says at the moment being formatted (%z, %Z, %s).
struct ZoneFacts {
    int32_t offset = 0;
    std::string abbrev;
    int64_t utcSeconds = 0;
};

// Whether the format, with the locale's own formats it refers to, needs the ZoneFacts.
bool formatNeedsZone(std::u16string_view format, const DateLocale& locale);
// Appends the fields formatted; `zone` may be null when formatNeedsZone is false.
void appendDateTime(String& out, std::u16string_view format, const calendar::Fields& fields,
                    const DateLocale& locale, const ZoneFacts* zone);

}  // namespace strand
