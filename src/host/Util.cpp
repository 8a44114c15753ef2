#include "host/Util.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <uuid/uuid.h>

namespace strand::util {

namespace {

constexpr bool isNumberChar(char16_t c) noexcept {
    if (c >= u'0' && c <= u'9')
        return true;
    switch (foldAsciiCase(c)) {
        case u'+':
        case u'-':
        case u'.':
        case u'e':
        case u'i':
        case u'n':
        case u'f':
        case u't':
        case u'y':
        case u'a':
        case u'(':
        case u')':
        case u'_':
            return true;
        default:
            return false;
    }
}

// The "C" locale, made once, for the rare conversions that from_chars reports out of range.
locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return loc;
}

// Converts the longest numeric prefix of an ASCII run; returns the characters used.
size_t convertPrefix(std::string_view run, double& value) {
    size_t start = 0;
    if (!run.empty() && run[0] == '+') {
        if (run.size() < 2 || run[1] == '+' || run[1] == '-')
            return 0;
        start = 1;
    }
    const char* first = run.data() + start;
    const char* last = run.data() + run.size();
    auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument)
        return 0;
    size_t used = size_t(result.ptr - run.data());
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow gives an infinity, underflow zero or a subnormal, as strtod would.
        std::string copy(run.substr(0, used));
        value = strtod_l(copy.c_str(), nullptr, cLocale());
    }
    return used;
}

std::u16string_view trimAscii(std::u16string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && isAsciiSpace(text[b]))
        ++b;
    while (e > b && isAsciiSpace(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

}  // namespace

double stringToDouble(std::u16string_view text, size_t* consumed) {
    if (consumed)
        *consumed = 0;
    size_t i = 0;
    while (i < text.size() && isAsciiSpace(text[i]))
        ++i;
    size_t end = i;
    while (end < text.size() && isNumberChar(text[end]))
        ++end;
    if (end == i)
        return 0.0;
    char small[64];
    std::string large;
    char* buf = small;
    size_t n = end - i;
    if (n > sizeof small) {
        large.resize(n);
        buf = large.data();
    }
    for (size_t k = 0; k < n; ++k)
        buf[k] = char(text[i + k]);
    double value = 0.0;
    size_t used = convertPrefix(std::string_view(buf, n), value);
    if (used == 0)
        return 0.0;
    if (consumed)
        *consumed = i + used;
    return value;
}

std::optional<double> parseDouble(std::u16string_view text) {
    std::u16string_view t = trimAscii(text);
    if (t.empty())
        return std::nullopt;
    size_t used = 0;
    double v = stringToDouble(t, &used);
    if (used != t.size())
        return std::nullopt;
    return v;
}

std::optional<int64_t> parseInteger(std::u16string_view text) {
    std::u16string_view t = trimAscii(text);
    if (t.empty())
        return std::nullopt;
    bool negative = false;
    size_t i = 0;
    if (t[0] == u'+' || t[0] == u'-') {
        negative = t[0] == u'-';
        i = 1;
    }
    if (i == t.size())
        return std::nullopt;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    for (; i < t.size(); ++i) {
        char16_t c = t[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        uint64_t digit = uint64_t(c - u'0');
        if (magnitude > (limit - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    return negative ? int64_t(0 - magnitude) : int64_t(magnitude);
}

std::optional<bool> parseBoolean(std::u16string_view text) {
    std::u16string_view t = trimAscii(text);
    using V = String::View;
    if (String::equalFolded(t, V(u"true")) || t == u"1" || t == u"1.")
        return true;
    if (String::equalFolded(t, V(u"false")) || t == u"0" || t == u"0.")
        return false;
    return std::nullopt;
}

bool canCoerceToDouble(const String& text, bool strict) {
    if (strict)
        return parseDouble(text.view()).has_value();
    size_t used = 0;
    stringToDouble(text.view(), &used);
    return used > 0;
}

bool canCoerceToInteger(const String& text, bool strict) {
    if (strict)
        return parseInteger(text.view()).has_value();
    std::u16string_view t = text.view();
    size_t i = 0;
    while (i < t.size() && isAsciiSpace(t[i]))
        ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    return i < t.size() && t[i] >= u'0' && t[i] <= u'9';
}

bool canCoerceToBoolean(const String& text) {
    return parseBoolean(text.view()).has_value();
}

String multipleStringsToSingleString(const Array<String>& strings, std::u16string_view separator) {
    String joined(String::View{});
    for (size_t i = 0; i < strings.size(); ++i) {
        if (i)
            joined.append(separator);
        joined.append(strings[i].view());
    }
    return joined;
}

Array<String> splitText(const String& text, std::u16string_view separator) {
    Array<String> parts;
    if (text.isEmpty())
        return parts;
    if (separator.empty()) {
        parts.add(text);
        return parts;
    }
    size_t start = 0;
    for (;;) {
        size_t hit = text.find(separator, start);
        if (hit == String::npos) {
            parts.add(text.substr(start));
            return parts;
        }
        parts.add(text.substr(start, hit - start));
        start = hit + separator.size();
    }
}

bool localtime(int64_t seconds, std::tm& out) {
    std::time_t t = static_cast<std::time_t>(seconds);
    return localtime_r(&t, &out) != nullptr;
}

String createGuid() {
    uuid_t id;
    uuid_generate(id);
    char text[37];
    uuid_unparse_upper(id, text);
    String guid(String::View{});
    guid.append(u'{');
    guid.append(String::fromAscii(text));
    guid.append(u'}');
    return guid;
}

}  // namespace strand::util
