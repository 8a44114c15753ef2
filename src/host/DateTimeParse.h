#pragma once
// Parsing of date-time texts with the strftime directives of DateTimeFormat.h, and without a format
// by trying the built-in formats in turn.
//
// Names are read in English or in the locale in force, A to Z folded; %L reads a fraction of a
// second of 1 to 9 digits; %z reads Z, +hh:mm, +hhmm or +hh; %Z reads a zone name; %y 69 to 99 are
// 1969 to 1999, 00 to 68 are 2000 to 2068. Blanks in the format match any run of blanks, including
// none. The fields a format does not name stay undefined, except that a text that gives an hour gives
// 0 for the smaller time fields it leaves out. A field out of its range (the 30th of February, hour
// 24) fails the whole text.

#include <optional>
#include <string_view>

#include "host/DateTimeCalendar.h"
#include "host/DateTimeLocale.h"

namespace strand {

class TimeZone;

// The result of parsing a text: its fields, and the zone it named (by an offset or a name), if any.
struct ParsedDateTime {
    calendar::Fields fields;
    const TimeZone* zone = nullptr;
};

// Parses the whole text (blanks around it allowed) with a format. `strict` is the reading of the
// built-in formats: %Y takes exactly four digits (with an optional '-'), %b and %h only abbreviated
// names, %B only full ones. Nothing when the text does not match.
std::optional<ParsedDateTime> parseDateTime(std::u16string_view text, std::u16string_view format,
                                            const DateLocale& locale, bool strict);
// The first built-in format that reads the text, and what it read: ISO 8601 dates, date-times ('T' or
// a blank between) and times, with optional fractions of a second and zone suffixes; m/d/Y; d.m.Y;
// d Mon Y; Mon d, Y (each of the last four also with a time after a blank). `format`, when given,
// receives the format.
std::optional<ParsedDateTime> parseDateTimeAnyFormat(std::u16string_view text, const DateLocale& locale,
                                                     std::u16string_view* format);

}  // namespace strand
