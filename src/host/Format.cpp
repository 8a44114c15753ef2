#include "host/Format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

namespace strand {

int64_t FormatArg::integer() const {
    switch (m_kind) {
        case Kind::Double:
            return truncToInt64(m_double);
        case Kind::Text:
            return 0;
        default:
            return m_int;
    }
}

double FormatArg::number() const {
    switch (m_kind) {
        case Kind::Double:
            return m_double;
        case Kind::Unsigned:
            return double(uint64_t(m_int));
        case Kind::Text:
            return 0.0;
        default:
            return double(m_int);
    }
}

void FormatArg::appendText(String& out) const {
    switch (m_kind) {
        case Kind::Text:
            if (m_isNarrow) {
                std::u16string wide;
                appendUtf8ToUtf16(m_narrow, wide);
                out.append(wide);
            } else {
                out.append(m_text);
            }
            return;
        case Kind::Double:
            appendDouble(out, m_double);
            return;
        case Kind::Char:
            out.append(char16_t(m_int));
            return;
        case Kind::Unsigned: {
            char buf[24];
            auto r = std::to_chars(buf, buf + sizeof buf, uint64_t(m_int));
            for (char* p = buf; p < r.ptr; ++p)
                out.append(char16_t(*p));
            return;
        }
        case Kind::Integer: {
            char buf[24];
            auto r = std::to_chars(buf, buf + sizeof buf, m_int);
            for (char* p = buf; p < r.ptr; ++p)
                out.append(char16_t(*p));
            return;
        }
    }
}

size_t formatDouble(double value, char* buffer) {
    auto put = [buffer](std::string_view text) {
        std::memcpy(buffer, text.data(), text.size());
        return text.size();
    };
    if (std::isnan(value))
        return put("NaN");
    if (std::isinf(value))
        return put(value < 0 ? "-Infinity" : "Infinity");
    const double magnitude = std::fabs(value);
    // Whole numbers below 2^53 (counters, sums of whole numbers) are written as integers: the same
    // text as the shortest form, at a fraction of its cost. -0 keeps its sign through the general path.
    if (magnitude < 9007199254740992.0 && value == std::trunc(value) && (value != 0 || !std::signbit(value)))
        return size_t(std::to_chars(buffer, buffer + kDoubleTextMax, int64_t(value)).ptr - buffer);
    const auto format = magnitude == 0 || (magnitude >= 1e-7 && magnitude < 1e21)
                            ? std::chars_format::fixed
                            : std::chars_format::scientific;
    return size_t(std::to_chars(buffer, buffer + kDoubleTextMax, value, format).ptr - buffer);
}

void appendDouble(String& out, double value) {
    char buf[kDoubleTextMax];
    const size_t length = formatDouble(value, buf);
    char16_t wide[kDoubleTextMax];
    for (size_t i = 0; i < length; ++i)
        wide[i] = char16_t(buf[i]);
    out.append(wide, length);
}

String doubleToString(double value) {
    String s(String::View{});
    appendDouble(s, value);
    return s;
}

namespace {

int clampTo(int v, size_t limit) {
    if (v < 0)
        return v;
    return size_t(v) > limit ? int(limit) : v;
}

// Assembles sign, prefix and body with the padding rules of printf.
void pad(String& out, const FormatSpec& spec, std::string_view sign, std::string_view prefix,
         std::string_view body, bool allowZeroPad, size_t maxPiece) {
    size_t len = sign.size() + prefix.size() + body.size();
    size_t width = spec.width > 0 ? size_t(spec.width) : 0;
    // Padding beyond the cap would be cut anyway; what remains is the start of the full piece.
    size_t fill = std::min(width > len ? width - len : 0, maxPiece);
    String piece(String::View{});
    piece.reserve(len + fill);
    auto put = [&piece](std::string_view s) {
        for (char c : s)
            piece.append(char16_t(static_cast<unsigned char>(c)));
    };
    if (spec.leftAlign) {
        put(sign), put(prefix), put(body);
        piece.append(fill, u' ');
    } else if (spec.zeroPad && allowZeroPad) {
        put(sign), put(prefix);
        piece.append(fill, u'0');
        put(body);
    } else {
        piece.append(fill, u' ');
        put(sign), put(prefix), put(body);
    }
    if (piece.length() > maxPiece)
        piece.resize(maxPiece);
    out.append(piece);
}

void formatInteger(String& out, const FormatSpec& spec, const FormatArg& arg, size_t maxPiece) {
    char conv = char(spec.conversion);
    bool isSigned = conv == 'd' || conv == 'i';
    int64_t raw = arg.integer();
    std::string_view sign;
    uint64_t magnitude;
    const bool fromDouble = arg.kind() == FormatArg::Kind::Double;
    if (isSigned) {
        int64_t v = spec.wide64 ? raw : int64_t(int32_t(uint32_t(uint64_t(raw))));
        if (fromDouble)
            v = spec.wide64 ? truncToInt64(arg.number()) : truncToInt32(arg.number());
        magnitude = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
        sign = v < 0 ? "-" : (spec.plusSign ? "+" : (spec.spaceSign ? " " : ""));
    } else {
        uint64_t v = spec.wide64 ? uint64_t(raw) : uint64_t(uint32_t(uint64_t(raw)));
        if (fromDouble) {
            v = spec.wide64 ? uint64_t(truncToInt64(arg.number()))
                            : uint64_t(uint32_t(truncToInt32(arg.number())));
        }
        magnitude = v;
    }
    int base = (conv == 'x' || conv == 'X') ? 16 : (conv == 'o' ? 8 : 10);
    char digits[72];
    auto r = std::to_chars(digits, digits + sizeof digits, magnitude, base);
    std::string body(digits, r.ptr);
    if (conv == 'X') {
        for (char& c : body)
            c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    int precision = clampTo(spec.precision, maxPiece);
    if (precision == 0 && magnitude == 0)
        body.clear();
    if (precision > 0 && body.size() < size_t(precision))
        body.insert(0, size_t(precision) - body.size(), '0');
    std::string_view prefix;
    if (spec.alternate && magnitude != 0) {
        if (conv == 'x')
            prefix = "0x";
        if (conv == 'X')
            prefix = "0X";
    }
    if (spec.alternate && conv == 'o' && (body.empty() || body[0] != '0'))
        body.insert(0, 1, '0');
    pad(out, spec, sign, prefix, body, spec.precision < 0, maxPiece);
}

std::string fixedOrScientific(double v, std::chars_format fmt, int precision) {
    std::string buf(size_t(precision) + 400, '\0');
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, fmt, precision);
    buf.resize(size_t(r.ptr - buf.data()));
    return buf;
}

void formatDouble(String& out, const FormatSpec& spec, double value, size_t maxPiece) {
    char conv = char(spec.conversion);
    bool upper = conv == 'E' || conv == 'F' || conv == 'G' || conv == 'A';
    bool negative = std::signbit(value);
    std::string_view sign = negative ? "-" : (spec.plusSign ? "+" : (spec.spaceSign ? " " : ""));
    double v = std::fabs(value);
    std::string body;
    if (std::isnan(value) || std::isinf(value)) {
        body = std::isnan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        if (std::isnan(value))
            sign = spec.plusSign ? "+" : (spec.spaceSign ? " " : "");
        pad(out, spec, sign, "", body, false, maxPiece);
        return;
    }
    int precision = spec.precision < 0 ? 6 : clampTo(spec.precision, maxPiece);
    std::string_view prefix;
    switch (conv) {
        case 'f':
        case 'F':
            body = fixedOrScientific(v, std::chars_format::fixed, precision);
            break;
        case 'e':
        case 'E':
            body = fixedOrScientific(v, std::chars_format::scientific, precision);
            break;
        case 'a':
        case 'A':
            body = spec.precision < 0 ? [&] {
                char buf[64];
                auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::hex);
                return std::string(buf, r.ptr);
            }()
                                      : fixedOrScientific(v, std::chars_format::hex, precision);
            prefix = upper ? "0X" : "0x";
            break;
        default: {  // g, G
            int p = precision == 0 ? 1 : precision;
            if (!spec.alternate) {
                body = fixedOrScientific(v, std::chars_format::general, p);
                break;
            }
            // '#': the style of %g, trailing zeros kept.
            std::string sci = fixedOrScientific(v, std::chars_format::scientific, p - 1);
            int exponent = std::stoi(sci.substr(sci.find('e') + 1));
            body = (exponent < p && exponent >= -4)
                       ? fixedOrScientific(v, std::chars_format::fixed, p - 1 - exponent)
                       : sci;
            break;
        }
    }
    if (spec.alternate && body.find('.') == std::string::npos && conv != 'a' && conv != 'A') {
        size_t e = body.find_first_of("eE");
        body.insert(e == std::string::npos ? body.size() : e, 1, '.');
    }
    if (upper) {
        for (char& c : body)
            c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    pad(out, spec, sign, prefix, body, true, maxPiece);
}

void formatTextPiece(String& out, const FormatSpec& spec, const FormatArg& arg, size_t maxPiece) {
    String text(String::View{});
    if (spec.conversion == u'c' && arg.kind() != FormatArg::Kind::Text) {
        text.append(char16_t(uint32_t(uint64_t(arg.integer()))));
    } else {
        arg.appendText(text);
    }
    if (spec.precision >= 0 && text.length() > size_t(spec.precision))
        text.resize(size_t(spec.precision));
    size_t width = spec.width > 0 ? size_t(spec.width) : 0;
    size_t fill = std::min(width > text.length() ? width - text.length() : 0, maxPiece);
    String piece(String::View{});
    if (!spec.leftAlign)
        piece.append(fill, u' ');
    piece.append(text);
    if (spec.leftAlign)
        piece.append(fill, u' ');
    if (piece.length() > maxPiece)
        piece.resize(maxPiece);
    out.append(piece);
}

bool isLengthModifier(char16_t c) {
    return c == u'h' || c == u'l' || c == u'L' || c == u'q' || c == u'j' || c == u'z' || c == u't';
}

template <typename C>
String formatImpl(std::basic_string_view<C> fmt, std::span<const FormatArg> args) {
    String out(String::View{});
    size_t next = 0;
    auto takeArg = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };
    auto literal = [&out](std::basic_string_view<C> piece) {
        if constexpr (sizeof(C) == 1) {
            std::u16string wide;
            appendUtf8ToUtf16(std::string_view(piece.data(), piece.size()), wide);
            out.append(wide);
        } else {
            out.append(std::u16string_view(piece.data(), piece.size()));
        }
    };
    size_t i = 0;
    while (i < fmt.size()) {
        size_t pct = fmt.find(C('%'), i);
        if (pct == fmt.npos) {
            literal(fmt.substr(i));
            break;
        }
        literal(fmt.substr(i, pct - i));
        size_t j = pct + 1;
        if (j < fmt.size() && fmt[j] == C('%')) {
            out.append(u'%');
            i = j + 1;
            continue;
        }
        FormatSpec spec;
        for (; j < fmt.size(); ++j) {
            C c = fmt[j];
            if (c == C('-'))
                spec.leftAlign = true;
            else if (c == C('+'))
                spec.plusSign = true;
            else if (c == C(' '))
                spec.spaceSign = true;
            else if (c == C('#'))
                spec.alternate = true;
            else if (c == C('0'))
                spec.zeroPad = true;
            else
                break;
        }
        auto readNumber = [&](int& target) {
            if (j < fmt.size() && fmt[j] == C('*')) {
                const FormatArg* a = takeArg();
                target = a ? int(a->integer()) : 0;
                ++j;
                return;
            }
            int64_t v = 0;
            bool any = false;
            for (; j < fmt.size() && fmt[j] >= C('0') && fmt[j] <= C('9'); ++j) {
                v = std::min<int64_t>(v * 10 + (fmt[j] - C('0')), INT32_MAX);
                any = true;
            }
            if (any)
                target = int(v);
        };
        readNumber(spec.width);
        if (spec.width < -1) {
            spec.leftAlign = true;
            spec.width = spec.width == INT32_MIN ? INT32_MAX : -spec.width;
        }
        if (j < fmt.size() && fmt[j] == C('.')) {
            ++j;
            spec.precision = 0;
            readNumber(spec.precision);
            if (spec.precision < 0)
                spec.precision = -1;
        }
        int longs = 0;
        for (; j < fmt.size() && isLengthModifier(char16_t(fmt[j])); ++j) {
            if (fmt[j] == C('l'))
                ++longs;
            if (fmt[j] == C('j') || fmt[j] == C('z') || fmt[j] == C('t') || fmt[j] == C('q'))
                longs = 2;
        }
        if (j + 2 < fmt.size() && fmt[j] == C('I') && fmt[j + 1] == C('6') && fmt[j + 2] == C('4')) {
            j += 3;
            longs = 2;
        }
        spec.wide64 = longs >= 2;
        if (j >= fmt.size()) {
            literal(fmt.substr(pct));
            break;
        }
        spec.conversion = char16_t(fmt[j]);
        const FormatArg* arg = nullptr;
        switch (spec.conversion) {
            case u'd':
            case u'i':
            case u'u':
            case u'x':
            case u'X':
            case u'o':
            case u'c':
            case u's':
            case u'S':
            case u'e':
            case u'E':
            case u'f':
            case u'F':
            case u'g':
            case u'G':
            case u'a':
            case u'A':
                arg = takeArg();
                if (arg)
                    appendFormatted(out, spec, *arg);
                break;
            default:
                literal(fmt.substr(pct, j + 1 - pct));
                break;
        }
        i = j + 1;
    }
    return out;
}

}  // namespace

void appendFormatted(String& out, const FormatSpec& spec, const FormatArg& arg, size_t maxPiece) {
    switch (spec.conversion) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o':
            if (arg.kind() == FormatArg::Kind::Text)
                return formatTextPiece(out, spec, arg, maxPiece);
            return formatInteger(out, spec, arg, maxPiece);
        case u'c':
        case u's':
        case u'S':
            return formatTextPiece(out, spec, arg, maxPiece);
        default:
            if (arg.kind() == FormatArg::Kind::Text)
                return formatTextPiece(out, spec, arg, maxPiece);
            return formatDouble(out, spec, arg.number(), maxPiece);
    }
}

String formatText(std::u16string_view format, std::span<const FormatArg> args) {
    return formatImpl(format, args);
}

String formatText(std::string_view format, std::span<const FormatArg> args) {
    return formatImpl(format, args);
}

}  // namespace strand
