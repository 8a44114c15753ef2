// The format engine: the directive scanner, the three kinds of pieces and the loop over a format text.

#include "functions/FormatEngine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "host/Exception.h"
#include "host/Format.h"

namespace strand::fn {

namespace {

// A precision past the piece cut cannot change the characters a piece keeps: a double's decimal
// expansion ends long before it, and an integer's leading zeros already fill the piece. The margin
// leaves room for the sign and the digits of the integer.
constexpr int64_t kPrecisionMax = int64_t(kFormatPieceMax) + 64;

constexpr int64_t kCountMax = INT32_MAX;

bool isDirectiveChar(char16_t c) {
    return c == u' ' || c == u'#' || c == u'*' || c == u'+' || c == u'-' || c == u'.' ||
           (c >= u'0' && c <= u'9');
}

void addDigit(int64_t& count, char16_t digit) {
    count = std::min(count * 10 + (digit - u'0'), kCountMax);
}

// Reads one character of a directive's body: flags first, then the width, then '.' and the
// precision. A flag written after the width and every '*' are ignored.
void readBodyChar(FormatDirective& d, char16_t c, int& phase) {
    switch (c) {
        case u'*':
            return;
        case u'.':
            phase = 2;
            d.precision = 0;
            return;
        case u'-':
        case u'+':
        case u' ':
        case u'#':
            if (phase == 0) {
                d.leftAlign |= c == u'-';
                d.plusSign |= c == u'+';
                d.spaceSign |= c == u' ';
                d.alternate |= c == u'#';
            }
            return;
        case u'0':
            if (phase == 0) {
                d.zeroPad = true;
                return;
            }
            break;
        default:
            break;
    }
    if (phase == 0) {
        phase = 1;
        d.width = 0;
    }
    addDigit(phase == 1 ? d.width : d.precision, c);
}

// Appends `text` to `out`, taking at most `budget` characters; answers the budget left.
size_t appendCut(String& out, std::string_view text, size_t budget) {
    const size_t n = std::min(text.size(), budget);
    std::u16string& s = out.mutableStr();
    for (size_t i = 0; i < n; ++i)
        s.push_back(char16_t(static_cast<unsigned char>(text[i])));
    return budget - n;
}

size_t appendFill(String& out, size_t count, char16_t c, size_t budget) {
    const size_t n = std::min(count, budget);
    out.mutableStr().append(n, c);
    return budget - n;
}

// Pads a rendered number to the directive's width and appends it, cut at the piece limit. Zeros go
// behind the sign and a "0x" prefix, as C places them.
void appendPadded(String& out, const FormatDirective& d, std::string_view body, bool zeroAllowed) {
    const size_t width = d.width > 0 ? size_t(d.width) : 0;
    const size_t fill = width > body.size() ? width - body.size() : 0;
    size_t budget = kFormatPieceMax;
    if (d.leftAlign) {
        budget = appendCut(out, body, budget);
        appendFill(out, fill, u' ', budget);
        return;
    }
    if (!(d.zeroPad && zeroAllowed)) {
        budget = appendFill(out, fill, u' ', budget);
        appendCut(out, body, budget);
        return;
    }
    size_t prefix = 0;
    if (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' '))
        prefix = 1;
    if (body.size() >= prefix + 2 && body[prefix] == '0' &&
        (body[prefix + 1] == 'x' || body[prefix + 1] == 'X'))
        prefix += 2;
    budget = appendCut(out, body.substr(0, prefix), budget);
    budget = appendFill(out, fill, u'0', budget);
    appendCut(out, body.substr(prefix), budget);
}

// The quick path of appendDoublePiece: precisions up to this, into a buffer that holds the longest
// fixed form (309 integer digits, the point and the precision) with room to spare.
constexpr int64_t kQuickPrecisionMax = 40;
constexpr size_t kQuickBufferSize = 400;

// The C directive of a numeric piece, without its width: flags, bounded precision, conversion.
void buildDirective(char* out, const FormatDirective& d, char conversion) {
    char* p = out;
    *p++ = '%';
    if (d.plusSign)
        *p++ = '+';
    if (d.spaceSign)
        *p++ = ' ';
    if (d.alternate)
        *p++ = '#';
    if (d.precision >= 0)
        p += std::snprintf(p, 16, ".%lld", static_cast<long long>(std::min(d.precision, kPrecisionMax)));
    *p++ = conversion;
    *p = '\0';
}

template <typename T>
std::string_view render(std::string& scratch, const char* directive, T value) {
    if (scratch.size() < 512)
        scratch.resize(512);
    int n = std::snprintf(scratch.data(), scratch.size(), directive, value);
    if (n < 0)
        return {};
    if (size_t(n) >= scratch.size()) {
        scratch.resize(size_t(n) + 1);
        n = std::snprintf(scratch.data(), scratch.size(), directive, value);
    }
    return std::string_view(scratch.data(), size_t(n));
}

template <typename... A>
[[noreturn]] void raise(int32_t line, const char16_t* format, const A&... args) {
    throw Exception(formatString(u"line %d, ", line) +
                    formatString(std::u16string_view(format), args...).view());
}

void checkLength(size_t length, int32_t line) {
    if (length > kMaxTextLength) [[unlikely]]
        raise(line, u"The text built by %ls would be longer than %lld characters, the most a text may hold.",
              u"format", static_cast<long long>(kMaxTextLength));
}

}  // namespace

FormatDirective scanDirective(std::u16string_view format, size_t at) {
    FormatDirective d;
    int phase = 0;
    size_t collected = 1;
    for (size_t j = at + 1; j < format.size(); ++j) {
        if (collected == kFormatDirectiveMax) {
            d.tooLong = true;
            d.length = collected;
            return d;
        }
        const char16_t c = format[j];
        ++collected;
        if (!isDirectiveChar(c)) {
            d.conversion = c;
            d.length = collected;
            return d;
        }
        readBodyChar(d, c, phase);
    }
    d.length = collected;
    return d;
}

FormatConversion classifyConversion(char16_t conversion) {
    switch (conversion) {
        case u'e':
        case u'E':
        case u'f':
        case u'g':
        case u'G':
            return FormatConversion::Double;
        case u'd':
        case u'i':
        case u'o':
        case u'x':
        case u'X':
        case u'c':
            return FormatConversion::Integer;
        case u's':
            return FormatConversion::Text;
        default:
            return FormatConversion::Literal;
    }
}

void appendDoublePiece(String& out, const FormatDirective& d, double value, std::string& scratch) {
    // The plain %f, %e and %g of a finite number with a small precision: std::to_chars writes the
    // same text as C's printf for them, without printf's directive parsing and multi-precision digits.
    const bool plain = !d.plusSign && !d.spaceSign && !d.alternate && d.precision <= kQuickPrecisionMax;
    if (plain && std::isfinite(value) &&
        (d.conversion == u'f' || d.conversion == u'e' || d.conversion == u'g')) {
        const std::chars_format style = d.conversion == u'f'   ? std::chars_format::fixed
                                        : d.conversion == u'e' ? std::chars_format::scientific
                                                               : std::chars_format::general;
        const int precision = d.precision < 0 ? 6 : int(d.precision);
        // %g with precision 0 means 1 as in C; std::to_chars takes 0 the same way.
        char buffer[kQuickBufferSize];
        const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, style, precision);
        if (r.ec == std::errc()) {
            appendPadded(out, d, std::string_view(buffer, size_t(r.ptr - buffer)), true);
            return;
        }
    }
    char directive[48];
    buildDirective(directive, d, char(d.conversion));
    appendPadded(out, d, render(scratch, directive, value), std::isfinite(value));
}

void appendIntegerPiece(String& out, const FormatDirective& d, int32_t value, std::string& scratch) {
    if (d.conversion == u'c') {
        const char16_t c = char16_t(uint32_t(value));
        appendTextPiece(
            out, FormatDirective{d.length, u'c', false, d.leftAlign, false, false, false, false, d.width, -1},
            std::u16string_view(&c, 1));
        return;
    }
    char directive[48];
    buildDirective(directive, d, char(d.conversion));
    // C pads integers with zeros only when no precision is given.
    appendPadded(out, d, render(scratch, directive, value), d.precision < 0);
}

void appendTextPiece(String& out, const FormatDirective& d, std::u16string_view text) {
    if (d.precision >= 0 && text.size() > size_t(d.precision))
        text = text.substr(0, size_t(d.precision));
    const size_t width = d.width > 0 ? size_t(d.width) : 0;
    const size_t fill = width > text.size() ? width - text.size() : 0;
    size_t budget = kFormatPieceMax;
    if (!d.leftAlign)
        budget = appendFill(out, fill, u' ', budget);
    const size_t n = std::min(text.size(), budget);
    out.append(text.substr(0, n));
    if (d.leftAlign)
        appendFill(out, fill, u' ', budget - n);
}

void formatText(String& out, std::u16string_view format, FormatArguments& args, int32_t line,
                std::string& scratch) {
    out.clear();
    out.mutableStr();  // an empty text, never null
    size_t i = 0;
    while (i < format.size()) {
        const size_t pct = format.find(u'%', i);
        if (pct == format.npos) {
            out.append(format.substr(i));
            break;
        }
        out.append(format.substr(i, pct - i));
        const FormatDirective d = scanDirective(format, pct);
        const std::u16string_view written = format.substr(pct, d.length);
        if (d.tooLong)
            raise(line, u"Invalid format string for format() function near %ls", written);
        i = pct + d.length;
        const FormatConversion kind = classifyConversion(d.conversion);
        if (kind == FormatConversion::Literal) {
            out.append(written.substr(1));
            continue;
        }
        if (!args.hasNext())
            raise(line, u"Not enough arguments for format() function near '%ls'", written);
        switch (kind) {
            case FormatConversion::Double:
                appendDoublePiece(out, d, args.nextNumber(), scratch);
                break;
            case FormatConversion::Integer:
                appendIntegerPiece(out, d, truncToInt32(args.nextNumber()), scratch);
                break;
            case FormatConversion::Text: {
                const String& text = args.nextText();
                // A plain "%s" takes the whole text, without the piece limit.
                if (written == u"%s") {
                    checkLength(out.length() + text.length(), line);
                    out.append(text.view());
                } else {
                    appendTextPiece(out, d, text.view());
                }
                break;
            }
            case FormatConversion::Literal:
                break;
        }
        checkLength(out.length(), line);
    }
    checkLength(out.length(), line);
}

}  // namespace strand::fn
