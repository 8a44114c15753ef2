#include "host/String.h"

namespace strand {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

void appendCodePoint(uint32_t cp, std::u16string& out) {
    if (cp < 0x10000) {
        out.push_back(char16_t(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
}

void appendUtf8CodePoint(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

void appendUtf8ToUtf16(std::string_view utf8, std::u16string& out) {
    const size_t n = utf8.size();
    // The leading run of ASCII (most texts hold nothing else) is widened in one go.
    size_t i = 0;
    while (i < n && static_cast<unsigned char>(utf8[i]) < 0x80)
        ++i;
    if (i > 0) {
        const size_t at = out.size();
        out.resize(at + i);
        char16_t* to = out.data() + at;
        for (size_t k = 0; k < i; ++k)
            to[k] = char16_t(utf8[k]);
        if (i == n)
            return;
    }
    out.reserve(out.size() + (n - i));
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out.push_back(char16_t(b));
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp, min;
        if ((b & 0xE0) == 0xC0) {
            len = 2, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, cp = b & 0x07, min = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        size_t k = 1;
        for (; k < len && i + k < n && isContinuation(static_cast<unsigned char>(utf8[i + k])); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        // Cut short, overlong, beyond U+10FFFF or an encoded surrogate: one replacement for the lead.
        if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        appendCodePoint(cp, out);
        i += len;
    }
}

void appendUtf16ToUtf8(std::u16string_view text, std::string& out) {
    out.reserve(out.size() + text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c < 0x80) {
            out.push_back(char(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            appendUtf8CodePoint(cp, out);
            ++i;
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = kReplacement;
        appendUtf8CodePoint(c, out);
    }
}

template <>
String String::fromUtf8(std::string_view utf8) {
    String r(View{});
    appendUtf8ToUtf16(utf8, r.m_str);
    return r;
}

template <>
std::string String::toUtf8() const {
    std::string out;
    appendUtf16ToUtf8(m_str, out);
    return out;
}

}  // namespace strand
