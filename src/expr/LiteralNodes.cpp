#include "expr/LiteralNodes.h"

#include <cmath>

#include "host/Codecs.h"
#include "host/Util.h"

using strand::String;

xrNumberLiteralExprImp::xrNumberLiteralExprImp(int32_t line, const String& text) : xrNumericExprImp(line) {
    size_t used = 0;
    m_number = strand::util::stringToDouble(text.view(), &used);
    bool nonZeroDigits = false;
    for (char16_t c : text) {
        if (c == u'e' || c == u'E')
            break;
        nonZeroDigits |= c >= u'1' && c <= u'9';
    }
    // Overflow and total underflow are refused; a subnormal number is a number.
    if (used != text.length() || std::isinf(m_number) || (m_number == 0.0 && nonZeroDigits)) {
        throw strand::Exception(strand::formatCut(u"Numerical value is outside of legal range: %ls", text));
    }
}

namespace {

bool isOctal(char16_t c) {
    return c >= u'0' && c <= u'7';
}

}  // namespace

String xrStringLiteralExprImp::resolveEscapes(const String& text) {
    String out(String::View{});
    out.reserve(text.length());
    const size_t n = text.length();
    for (size_t i = 0; i < n; ++i) {
        char16_t c = text[i];
        if (c != u'\\') {
            out.append(c);
            continue;
        }
        if (i + 1 >= n) {
            out.append(c);  // a backslash at the very end stays
            break;
        }
        c = text[++i];
        if (c < u'0' || c > u'x') {
            out.append(c);
            continue;
        }
        if (isOctal(c)) {
            unsigned code = unsigned(c - u'0');
            const int more = c <= u'3' ? 2 : 1;
            for (int k = 0; k < more && i + 1 < n && isOctal(text[i + 1]); ++k)
                code = code * 8 + (text[++i] - u'0');
            out.append(char16_t(code));
            continue;
        }
        switch (c) {
            case u'a':
                out.append(char16_t(7));
                break;
            case u'b':
                out.append(char16_t(8));
                break;
            case u'f':
                out.append(char16_t(12));
                break;
            case u'n':
                out.append(char16_t(10));
                break;
            case u'r':
                out.append(char16_t(13));
                break;
            case u't':
                out.append(char16_t(9));
                break;
            case u'v':
                out.append(char16_t(11));
                break;
            case u'x':
            case u'u': {
                const int most = c == u'x' ? 2 : 4;
                unsigned code = 0;
                int digits = 0;
                while (digits < most && i + 1 < n && strand::util::hexValue(text[i + 1]) >= 0) {
                    code = code * 16 + unsigned(strand::util::hexValue(text[++i]));
                    ++digits;
                }
                out.append(digits ? char16_t(code) : c);
                break;
            }
            default:
                out.append(c);
                break;
        }
    }
    return out;
}

xrStringLiteralExprImp::xrStringLiteralExprImp(int32_t line, const String& text, Kind kind)
    : xrStringExprImp(line) {
    m_value.set(kind == Kind::CStyle ? resolveEscapes(text) : (text.isNull() ? String::empty() : text));
}
