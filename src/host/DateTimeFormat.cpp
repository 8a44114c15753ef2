#include "host/DateTimeFormat.h"

#include "host/DateTimeZone.h"

namespace strand {

namespace {

using calendar::Fields;
using calendar::kUndefined;

// The locale's formats (%c, %x, %X, %r) are expanded once; deeper references are copied as written,
// so a locale format that names itself cannot recurse.
constexpr int kMaxExpansion = 2;

struct Directive {
    char16_t conversion = 0;
    char16_t pad = 0;  // 0: the directive's own padding; '-' none; '_' blanks; '0' zeros
    bool upper = false;
};

class Formatter {
  public:
    Formatter(String& out, const Fields& f, const DateLocale& locale, const ZoneFacts* zone)
        : m_out(out), m_f(f), m_locale(locale), m_zone(zone) {}

    void run(std::u16string_view format, int depth) {
        for (size_t i = 0; i < format.size(); ++i) {
            if (format[i] != u'%') {
                m_out.append(format[i]);
                continue;
            }
            const size_t start = i;
            Directive d;
            while (i + 1 < format.size() && isFlag(format[i + 1])) {
                ++i;
                if (format[i] == u'^')
                    d.upper = true;
                else
                    d.pad = format[i];
            }
            if (i + 1 < format.size() && (format[i + 1] == u'E' || format[i + 1] == u'O'))
                ++i;
            if (i + 1 >= format.size()) {  // a lone '%' at the end stays
                m_out.append(format.substr(start));
                return;
            }
            d.conversion = format[++i];
            const size_t before = m_out.length();
            if (!directive(d, depth))
                m_out.append(format.substr(start, i - start + 1));
            if (d.upper)
                upperFrom(before);
        }
    }

  private:
    static bool isFlag(char16_t c) { return c == u'-' || c == u'_' || c == u'0' || c == u'^' || c == u'#'; }

    void upperFrom(size_t from) {
        for (size_t k = from; k < m_out.length(); ++k)
            m_out[k] = upperAsciiCase(m_out[k]);
    }

    void number(int64_t value, int width, char16_t pad, const Directive& d) {
        if (d.pad == u'-')
            width = 0;
        else if (d.pad == u'_' || d.pad == u'0')
            pad = d.pad == u'_' ? u' ' : u'0';
        const bool negative = value < 0;
        uint64_t magnitude = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
        char16_t digits[24];
        int n = 0;
        do {
            digits[n++] = char16_t(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (negative)
            m_out.append(u'-');
        for (int k = n + (negative ? 1 : 0); k < width; ++k)
            m_out.append(pad);
        while (n)
            m_out.append(digits[--n]);
    }

    void text(const String& name) { m_out.append(name.view()); }

    void expand(std::u16string_view format, int depth) {
        if (depth < kMaxExpansion)
            run(format, depth + 1);
    }

    bool hasDate() const { return m_f.hasDate(); }
    int64_t days() const { return calendar::daysFromCivil(m_f.year, m_f.month, m_f.day); }
    // 0 for Sunday to 6 for Saturday.
    int weekday() const { return calendar::dayOfWeek(days()) - 1; }
    int yearDay() const { return calendar::dayOfYear(m_f.year, m_f.month, m_f.day) - 1; }

    // Writes one directive; false for a conversion that is not a directive.
    bool directive(const Directive& d, int depth) {
        const Fields& f = m_f;
        switch (d.conversion) {
            case u'a':
            case u'A':
                if (hasDate())
                    text((d.conversion == u'a' ? m_locale.shortDays : m_locale.days)[size_t(weekday())]);
                return true;
            case u'b':
            case u'h':
            case u'B':
                if (f.month != kUndefined)
                    text(
                        (d.conversion == u'B' ? m_locale.months : m_locale.shortMonths)[size_t(f.month - 1)]);
                return true;
            case u'c':
                expand(m_locale.dateTimeFormat.view(), depth);
                return true;
            case u'x':
                expand(m_locale.dateFormat.view(), depth);
                return true;
            case u'X':
                expand(m_locale.timeFormat.view(), depth);
                return true;
            case u'r':
                expand(m_locale.timeFormat12.isEmpty() ? u"%I:%M:%S %p" : m_locale.timeFormat12.view(),
                       depth);
                return true;
            case u'D':
                run(u"%m/%d/%y", depth);
                return true;
            case u'F':
                run(u"%Y-%m-%d", depth);
                return true;
            case u'T':
                run(u"%H:%M:%S", depth);
                return true;
            case u'R':
                run(u"%H:%M", depth);
                return true;
            case u'n':
                m_out.append(u'\n');
                return true;
            case u't':
                m_out.append(u'\t');
                return true;
            case u'%':
                m_out.append(u'%');
                return true;
            default:
                return yearDirective(d) || dayDirective(d) || timeDirective(d) || zoneDirective(d);
        }
    }

    bool yearDirective(const Directive& d) {
        const Fields& f = m_f;
        switch (d.conversion) {
            case u'Y':
                if (f.hasYear())
                    number(f.year, f.year < 0 ? 5 : 4, u'0', d);
                return true;
            case u'C':
                if (f.hasYear())
                    number(calendar::floorDiv(f.year, 100), 2, u'0', d);
                return true;
            case u'y':
                if (f.hasYear())
                    number(calendar::floorMod(f.year, 100), 2, u'0', d);
                return true;
            case u'G':
            case u'g':
            case u'V':
                if (hasDate()) {
                    const calendar::IsoWeek w = calendar::isoWeek(days());
                    if (d.conversion == u'V')
                        number(w.week, 2, u'0', d);
                    else if (d.conversion == u'G')
                        number(w.year, w.year < 0 ? 5 : 4, u'0', d);
                    else
                        number(calendar::floorMod(w.year, 100), 2, u'0', d);
                }
                return true;
            default:
                return false;
        }
    }

    bool dayDirective(const Directive& d) {
        const Fields& f = m_f;
        switch (d.conversion) {
            case u'm':
                if (f.month != kUndefined)
                    number(f.month, 2, u'0', d);
                return true;
            case u'd':
            case u'e':
                if (f.day != kUndefined)
                    number(f.day, 2, d.conversion == u'd' ? u'0' : u' ', d);
                return true;
            case u'j':
                if (hasDate())
                    number(yearDay() + 1, 3, u'0', d);
                return true;
            case u'u':
                if (hasDate())
                    number(weekday() == 0 ? 7 : weekday(), 1, u'0', d);
                return true;
            case u'w':
                if (hasDate())
                    number(weekday(), 1, u'0', d);
                return true;
            case u'U':
                if (hasDate())
                    number((yearDay() + 7 - weekday()) / 7, 2, u'0', d);
                return true;
            case u'W':
                if (hasDate())
                    number((yearDay() + 7 - (weekday() + 6) % 7) / 7, 2, u'0', d);
                return true;
            default:
                return false;
        }
    }

    bool timeDirective(const Directive& d) {
        const Fields& f = m_f;
        const int32_t hour12 = f.hour % 12 == 0 ? 12 : f.hour % 12;
        switch (d.conversion) {
            case u'H':
            case u'k':
                if (f.hour != kUndefined)
                    number(f.hour, 2, d.conversion == u'H' ? u'0' : u' ', d);
                return true;
            case u'I':
            case u'l':
                if (f.hour != kUndefined)
                    number(hour12, 2, d.conversion == u'I' ? u'0' : u' ', d);
                return true;
            case u'p':
            case u'P': {
                if (f.hour == kUndefined)
                    return true;
                const size_t before = m_out.length();
                text(f.hour < 12 ? m_locale.am : m_locale.pm);
                if (d.conversion == u'P') {
                    for (size_t k = before; k < m_out.length(); ++k)
                        m_out[k] = foldAsciiCase(m_out[k]);
                }
                return true;
            }
            case u'M':
                if (f.minute != kUndefined)
                    number(f.minute, 2, u'0', d);
                return true;
            case u'S':
                if (f.second != kUndefined)
                    number(f.second, 2, u'0', d);
                return true;
            case u'L':
                if (f.millisecond != kUndefined)
                    number(f.millisecond, 3, u'0', d);
                return true;
            default:
                return false;
        }
    }

    bool zoneDirective(const Directive& d) {
        switch (d.conversion) {
            case u's':
                if (m_zone)
                    number(m_zone->utcSeconds, 1, u'0', d);
                return true;
            case u'z':
                if (m_zone)
                    m_out.append(formatUtcOffset(m_zone->offset, false).view());
                return true;
            case u'Z':
                if (m_zone)
                    m_out.append(String::fromUtf8(m_zone->abbrev).view());
                return true;
            default:
                return false;
        }
    }

    String& m_out;
    const Fields& m_f;
    const DateLocale& m_locale;
    const ZoneFacts* m_zone;
};

bool namesZone(std::u16string_view format) {
    for (size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != u'%')
            continue;
        size_t k = i + 1;
        while (k < format.size() &&
               (format[k] == u'-' || format[k] == u'_' || format[k] == u'0' || format[k] == u'^' ||
                format[k] == u'#' || format[k] == u'E' || format[k] == u'O'))
            ++k;
        if (k < format.size() && (format[k] == u's' || format[k] == u'z' || format[k] == u'Z'))
            return true;
        i = k;
    }
    return false;
}

}  // namespace

bool formatNeedsZone(std::u16string_view format, const DateLocale& locale) {
    if (namesZone(format))
        return true;
    auto refers = [&](std::u16string_view directive) { return format.find(directive) != format.npos; };
    return (refers(u"c") && namesZone(locale.dateTimeFormat.view())) ||
           (refers(u"x") && namesZone(locale.dateFormat.view())) ||
           (refers(u"X") && namesZone(locale.timeFormat.view())) ||
           (refers(u"r") && namesZone(locale.timeFormat12.view()));
}

void appendDateTime(String& out, std::u16string_view format, const Fields& fields, const DateLocale& locale,
                    const ZoneFacts* zone) {
    Formatter(out, fields, locale, zone).run(format, 0);
}

}  // namespace strand
