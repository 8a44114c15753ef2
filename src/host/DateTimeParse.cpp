#include "host/DateTimeParse.h"

#include <array>
#include <vector>

#include "host/DateTimeZone.h"
#include "host/Util.h"

namespace strand {

namespace {

using calendar::Fields;
using calendar::kUndefined;

constexpr int kMaxExpansion = 2;

class Parser {
  public:
    Parser(std::u16string_view text, const DateLocale& locale, bool strict)
        : m_text(text), m_locale(locale), m_strict(strict) {}

    std::optional<ParsedDateTime> parse(std::u16string_view format) {
        skipBlanks();
        if (!run(format, 0))
            return std::nullopt;
        skipBlanks();
        if (m_pos != m_text.size())
            return std::nullopt;
        return finish();
    }

  private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    void skipBlanks() {
        while (!atEnd() && util::isAsciiSpace(m_text[m_pos]))
            ++m_pos;
    }

    bool run(std::u16string_view format, int depth) {
        for (size_t i = 0; i < format.size(); ++i) {
            const char16_t c = format[i];
            if (util::isAsciiSpace(c)) {
                skipBlanks();
                continue;
            }
            if (c != u'%' || i + 1 >= format.size()) {
                if (atEnd() || foldAsciiCase(m_text[m_pos]) != foldAsciiCase(c))
                    return false;
                ++m_pos;
                continue;
            }
            while (i + 1 < format.size() && isModifier(format[i + 1]))
                ++i;
            if (i + 1 >= format.size() || !directive(format[++i], depth))
                return false;
        }
        return true;
    }

    static bool isModifier(char16_t c) {
        return c == u'-' || c == u'_' || c == u'0' || c == u'^' || c == u'#' || c == u'E' || c == u'O';
    }

    // Reads min to max decimal digits.
    bool digits(size_t min, size_t max, int32_t& value) {
        value = 0;
        size_t n = 0;
        while (n < max && !atEnd() && m_text[m_pos] >= u'0' && m_text[m_pos] <= u'9') {
            value = value * 10 + (m_text[m_pos] - u'0');
            ++m_pos;
            ++n;
        }
        return n >= min;
    }

    bool year(int32_t& value) {
        bool negative = false;
        if (!atEnd() && (m_text[m_pos] == u'-' || (!m_strict && m_text[m_pos] == u'+'))) {
            negative = m_text[m_pos] == u'-';
            ++m_pos;
        }
        if (!digits(m_strict ? 4 : 1, 4, value))
            return false;
        value = negative ? -value : value;
        return true;
    }

    bool fraction(int32_t& millis) {
        int32_t scale = 100;
        millis = 0;
        size_t n = 0;
        for (; n < 9 && !atEnd() && m_text[m_pos] >= u'0' && m_text[m_pos] <= u'9'; ++n, ++m_pos) {
            millis += (m_text[m_pos] - u'0') * scale;
            scale /= 10;
        }
        return n > 0;
    }

    // The longest of the names that the text continues with; its position in its list.
    template <size_t N>
    void matchNames(const std::array<String, N>& names, size_t& best, int32_t& index) const {
        for (size_t k = 0; k < N; ++k) {
            const std::u16string_view name = names[k].view();
            if (name.empty() || name.size() <= best || m_text.size() - m_pos < name.size())
                continue;
            if (String::equalFolded(m_text.substr(m_pos, name.size()), name)) {
                best = name.size();
                index = int32_t(k);
            }
        }
    }

    template <size_t N>
    bool names(const std::array<String, N> DateLocale::*full,
               const std::array<String, N> DateLocale::*shortNames, bool wantFull, bool wantShort,
               int32_t& index) {
        size_t best = 0;
        for (const DateLocale* locale : {&m_locale, DateLocale::english().get()}) {
            if (wantFull)
                matchNames(locale->*full, best, index);
            if (wantShort)
                matchNames(locale->*shortNames, best, index);
        }
        m_pos += best;
        return best > 0;
    }

    bool meridiem() {
        for (const DateLocale* locale : {&m_locale, DateLocale::english().get()}) {
            for (int pm = 0; pm < 2; ++pm) {
                const std::u16string_view word = (pm ? locale->pm : locale->am).view();
                if (!word.empty() && m_text.size() - m_pos >= word.size() &&
                    String::equalFolded(m_text.substr(m_pos, word.size()), word)) {
                    m_pos += word.size();
                    m_pm = pm;
                    return true;
                }
            }
        }
        return false;
    }

    bool offset() {
        if (!atEnd() && (m_text[m_pos] == u'Z' || m_text[m_pos] == u'z')) {
            ++m_pos;
            m_offset = 0;
            return true;
        }
        if (atEnd() || (m_text[m_pos] != u'+' && m_text[m_pos] != u'-'))
            return false;
        const bool negative = m_text[m_pos++] == u'-';
        int32_t hours = 0, minutes = 0;
        if (!digits(2, 2, hours))
            return false;
        if (!atEnd() && m_text[m_pos] == u':') {
            ++m_pos;
            if (!digits(2, 2, minutes))
                return false;
        } else if (!atEnd() && m_text[m_pos] >= u'0' && m_text[m_pos] <= u'9' && !digits(2, 2, minutes)) {
            return false;
        }
        if (hours > 18 || minutes > 59 || (hours == 18 && minutes > 0))
            return false;
        m_offset = (hours * 3600 + minutes * 60) * (negative ? -1 : 1);
        return true;
    }

    bool zoneName() {
        const size_t start = m_pos;
        auto isNameChar = [](char16_t c) {
            return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
                   c == u'/' || c == u'_' || c == u'+' || c == u'-' || c == u':';
        };
        while (!atEnd() && isNameChar(m_text[m_pos]))
            ++m_pos;
        if (m_pos == start)
            return false;
        // An abbreviation the database does not know (EDT, CEST) names no zone.
        if (const TimeZone* zone = TimeZone::find(m_text.substr(start, m_pos - start)))
            m_zone = zone;
        return true;
    }

    bool expand(std::u16string_view format, int depth) {
        return depth < kMaxExpansion && run(format, depth + 1);
    }

    bool directive(char16_t conversion, int depth) {
        int32_t ignored = 0;
        switch (conversion) {
            case u'Y':
                return year(m_f.year);
            case u'y':
                return digits(m_strict ? 2 : 1, 2, m_twoDigitYear);
            case u'm':
                return digits(1, 2, m_f.month);
            case u'e':
                if (!atEnd() && m_text[m_pos] == u' ')
                    ++m_pos;
                [[fallthrough]];
            case u'd':
                return digits(1, 2, m_f.day);
            case u'H':
            case u'k':
                return digits(1, 2, m_f.hour);
            case u'I':
            case u'l':
                return digits(1, 2, m_hour12);
            case u'M':
                return digits(1, 2, m_f.minute);
            case u'S':
                return digits(1, 2, m_f.second);
            case u'L':
                return fraction(m_f.millisecond);
            case u'j':
                return digits(1, 3, m_yearDay);
            case u'u':
            case u'w':
                return digits(1, 1, ignored);
            case u'p':
            case u'P':
                return meridiem();
            case u'a':
            case u'A':
                return names(&DateLocale::days, &DateLocale::shortDays, !m_strict || conversion == u'A',
                             !m_strict || conversion == u'a', ignored);
            case u'b':
            case u'h':
            case u'B':
                if (!names(&DateLocale::months, &DateLocale::shortMonths, !m_strict || conversion == u'B',
                           !m_strict || conversion != u'B', m_f.month))
                    return false;
                ++m_f.month;
                return true;
            case u'z':
                return offset();
            case u'Z':
                return zoneName();
            case u'n':
            case u't':
                skipBlanks();
                return true;
            case u'%':
                if (atEnd() || m_text[m_pos] != u'%')
                    return false;
                ++m_pos;
                return true;
            case u'T':
                return run(u"%H:%M:%S", depth);
            case u'R':
                return run(u"%H:%M", depth);
            case u'D':
                return run(u"%m/%d/%y", depth);
            case u'F':
                return run(u"%Y-%m-%d", depth);
            case u'c':
                return expand(m_locale.dateTimeFormat.view(), depth);
            case u'x':
                return expand(m_locale.dateFormat.view(), depth);
            case u'X':
                return expand(m_locale.timeFormat.view(), depth);
            case u'r':
                return expand(m_locale.timeFormat12.isEmpty() ? u"%I:%M:%S %p" : m_locale.timeFormat12.view(),
                              depth);
            default:
                return false;
        }
    }

    std::optional<ParsedDateTime> finish() {
        Fields& f = m_f;
        if (m_twoDigitYear != kUndefined && !f.hasYear())
            f.year = m_twoDigitYear < 69 ? 2000 + m_twoDigitYear : 1900 + m_twoDigitYear;
        if (m_hour12 != kUndefined) {
            if (m_hour12 < 1 || m_hour12 > 12)
                return std::nullopt;
            f.hour = m_hour12 % 12 + (m_pm == 1 ? 12 : 0);
        }
        if (!dayOfYear() || !valid())
            return std::nullopt;
        if (f.hour != kUndefined) {
            for (int32_t* smaller : {&f.minute, &f.second, &f.millisecond}) {
                if (*smaller == kUndefined)
                    *smaller = 0;
            }
        }
        ParsedDateTime result;
        result.fields = f;
        result.zone = m_zone;
        if (m_offset)
            result.zone =
                *m_offset == 0 ? &TimeZone::utc() : TimeZone::find(formatUtcOffset(*m_offset, true).view());
        return result;
    }

    // A day of the year gives the month and the day of a known year.
    bool dayOfYear() {
        Fields& f = m_f;
        if (m_yearDay == kUndefined || f.month != kUndefined || f.day != kUndefined)
            return true;
        if (!f.hasYear() || f.year < calendar::kMinYear || f.year > calendar::kMaxYear)
            return false;
        if (m_yearDay < 1 || m_yearDay > (calendar::isLeapYear(f.year) ? 366 : 365))
            return false;
        const calendar::CivilDate date =
            calendar::civilFromDays(calendar::daysFromCivil(f.year, 1, 1) + m_yearDay - 1);
        f.month = date.month;
        f.day = date.day;
        return true;
    }

    bool valid() const {
        const Fields& f = m_f;
        auto within = [](int32_t v, int32_t lo, int32_t hi) {
            return v == kUndefined || (v >= lo && v <= hi);
        };
        if (f.hasYear() && (f.year < calendar::kMinYear || f.year > calendar::kMaxYear))
            return false;
        if (!within(f.month, 1, 12) || !within(f.hour, 0, 23) || !within(f.minute, 0, 59) ||
            !within(f.second, 0, 59))
            return false;
        const int32_t lastDay = f.month == kUndefined ? 31 : calendar::daysInMonth(f.year, f.month);
        return within(f.day, 1, lastDay);
    }

    std::u16string_view m_text;
    size_t m_pos = 0;
    const DateLocale& m_locale;
    bool m_strict;
    Fields m_f;
    int32_t m_twoDigitYear = kUndefined;
    int32_t m_hour12 = kUndefined;
    int32_t m_pm = kUndefined;
    int32_t m_yearDay = kUndefined;
    std::optional<int32_t> m_offset;
    const TimeZone* m_zone = nullptr;
};

// The built-in formats fall into families by the shape of the texts they read; a text is tried only
// against the family of its shape, most specific format first.
enum Shape : size_t { IsoDate, IsoT, IsoBlank, Time, Slash, Dot, DayFirst, NameFirst, kShapes };

Shape shapeOf(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && util::isAsciiSpace(text[i]))
        ++i;
    auto isDigit = [&](size_t k) { return k < text.size() && text[k] >= u'0' && text[k] <= u'9'; };
    if (i < text.size() && text[i] == u'-' && isDigit(i + 1))
        ++i;
    if (!isDigit(i))
        return NameFirst;
    while (isDigit(i))
        ++i;
    switch (i < text.size() ? text[i] : u'\0') {
        case u'-':
            if (text.find(u':') == text.npos)
                return IsoDate;
            return text.find_first_of(u"Tt") != text.npos ? IsoT : IsoBlank;
        case u':':
            return Time;
        case u'/':
            return Slash;
        case u'.':
            return Dot;
        default:
            return DayFirst;
    }
}

using Families = std::array<std::vector<String>, kShapes>;

const Families& builtinFormats() {
    static const Families* formats = [] {
        auto* families = new Families();
        const char16_t* times[] = {u"%H:%M:%S.%L", u"%H:%M:%S", u"%H:%M"};
        for (const char16_t* time : times) {
            for (const char16_t* zone : {u"%z", u""}) {
                (*families)[IsoT].push_back(String(u"%Y-%m-%dT").append(time).append(zone));
                (*families)[IsoBlank].push_back(String(u"%Y-%m-%d ").append(time).append(zone));
                (*families)[Time].push_back(String(time).append(zone));
            }
        }
        (*families)[IsoDate].push_back(String(u"%Y-%m-%d"));
        const std::pair<Shape, const char16_t*> dates[] = {
            {Slash, u"%m/%d/%Y"},    {Dot, u"%d.%m.%Y"},        {DayFirst, u"%d %b %Y"},
            {DayFirst, u"%d %B %Y"}, {NameFirst, u"%b %d, %Y"}, {NameFirst, u"%B %d, %Y"}};
        for (const auto& [shape, date] : dates) {
            for (const char16_t* time : times)
                (*families)[shape].push_back(String(date).append(u" ").append(time));
            (*families)[shape].push_back(String(date));
        }
        return families;
    }();
    return *formats;
}

}  // namespace

std::optional<ParsedDateTime> parseDateTime(std::u16string_view text, std::u16string_view format,
                                            const DateLocale& locale, bool strict) {
    return Parser(text, locale, strict).parse(format);
}

std::optional<ParsedDateTime> parseDateTimeAnyFormat(std::u16string_view text, const DateLocale& locale,
                                                     std::u16string_view* format) {
    for (const String& candidate : builtinFormats()[shapeOf(text)]) {
        if (auto parsed = Parser(text, locale, true).parse(candidate.view())) {
            if (format)
                *format = candidate.view();
            return parsed;
        }
    }
    return std::nullopt;
}

}  // namespace strand
