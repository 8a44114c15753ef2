#include "host/Unicode.h"

#include <cstring>

namespace strand::unicode {

namespace {

bool asciiWord(const unsigned char* p) noexcept {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return (word & 0x8080808080808080ULL) == 0;
}

}  // namespace

size_t findLoneSurrogate(std::u16string_view text) noexcept {
    for (size_t i = 0; i < text.size(); ++i) {
        if (!isSurrogate(text[i]))
            continue;
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            ++i;
            continue;
        }
        return i;
    }
    return std::u16string_view::npos;
}

Utf8Sequence decodeUtf8Sequence(const unsigned char* p, const unsigned char* end, Utf8Rule rule) noexcept {
    const unsigned char lead = *p;
    if (lead < 0x80)
        return {lead, 1, false};
    size_t length;
    uint32_t code, least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        // A continuation byte, an overlong 2-byte lead (C0, C1) or a lead past U+10FFFF (F5 to FF).
        return {};
    }
    const size_t available = size_t(end - p);
    for (size_t k = 1; k < length; ++k) {
        if (k == available)
            return {0, 0, true};
        if ((p[k] & 0xC0) != 0x80)
            return {};
        code = (code << 6) | (p[k] & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (isSurrogate(code) && rule == Utf8Rule::Strict))
        return {};
    return {code, length, false};
}

size_t validUtf8Prefix(std::string_view bytes, Utf8Rule rule, bool* cutShort) noexcept {
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* p = begin;
    const auto* end = p + bytes.size();
    if (cutShort)
        *cutShort = false;
    while (p < end) {
        while (end - p >= 8 && asciiWord(p))
            p += 8;
        if (p == end)
            break;
        const Utf8Sequence sequence = decodeUtf8Sequence(p, end, rule);
        if (sequence.length == 0) {
            if (cutShort)
                *cutShort = sequence.cutShort;
            break;
        }
        p += sequence.length;
    }
    return size_t(p - begin);
}

bool decodeUtf8(std::string_view bytes, std::u16string& out, Utf8Rule rule) {
    out.resize(bytes.size());
    char16_t* to = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        // Runs of ASCII eight bytes at a time.
        while (end - p >= 8 && asciiWord(p)) {
            for (int k = 0; k < 8; ++k)
                to[k] = char16_t(p[k]);
            to += 8;
            p += 8;
        }
        if (p == end)
            break;
        const Utf8Sequence sequence = decodeUtf8Sequence(p, end, rule);
        if (sequence.length == 0)
            return false;
        if (sequence.code >= 0x10000) {
            const uint32_t offset = sequence.code - 0x10000;
            *to++ = char16_t(0xD800 + (offset >> 10));
            *to++ = char16_t(0xDC00 + (offset & 0x3FF));
        } else {
            *to++ = char16_t(sequence.code);
        }
        p += sequence.length;
    }
    out.resize(size_t(to - out.data()));
    return true;
}

void appendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out.push_back(char(code));
        return;
    }
    if (code < 0x800) {
        out.push_back(char(0xC0 | (code >> 6)));
    } else if (code < 0x10000) {
        out.push_back(char(0xE0 | (code >> 12)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (code >> 18)));
        out.push_back(char(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
    }
    out.push_back(char(0x80 | (code & 0x3F)));
}

}  // namespace strand::unicode
