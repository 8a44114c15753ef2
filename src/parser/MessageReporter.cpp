#include "parser/MessageReporter.h"

#include "host/Format.h"

namespace strand::parser {

void appendEncodedUnit(std::string& text, int unit) {
    if (unit < 0)
        return;
    auto u = unsigned(unit);
    if (u < 0x80) {
        text.push_back(char(u));
    } else if (u < 0x800) {
        text.push_back(char(0xC0 | (u >> 6)));
        text.push_back(char(0x80 | (u & 0x3F)));
    } else {
        text.push_back(char(0xE0 | ((u >> 12) & 0x0F)));
        text.push_back(char(0x80 | ((u >> 6) & 0x3F)));
        text.push_back(char(0x80 | (u & 0x3F)));
    }
}

String decodeTokenText(const std::string& encoded) {
    String out(String::View{});
    out.reserve(encoded.size());
    const auto* p = reinterpret_cast<const unsigned char*>(encoded.data());
    const auto* end = p + encoded.size();
    while (p < end) {
        unsigned b = *p;
        if ((b & 0xE0) == 0xC0 && end - p >= 2) {
            out.append(char16_t(((b & 0x1F) << 6) | (p[1] & 0x3F)));
            p += 2;
        } else if ((b & 0xF0) == 0xE0 && end - p >= 3) {
            out.append(char16_t(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)));
            p += 3;
        } else {
            out.append(char16_t(b));
            ++p;
        }
    }
    return out;
}

String tokenText(const antlr::RefToken& token) {
    return decodeTokenText(token->getText());
}

String positionPrefix(int line, int column) {
    if (column < 0)
        return formatString(u"line %d: ", line);
    return formatString(u"line %d:%d: ", line, column);
}

String describeChar(int c) {
    if (c < 0)
        return String(u"EOF");
    return String(1, char16_t(c));
}

}  // namespace strand::parser
