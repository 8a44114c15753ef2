#pragma once
// Text coding, once for the whole system: UTF-8 in both directions, surrogate tests and hexadecimal
// digits. Texts are 16-bit code units; UTF-8 is what they become at the edges (files, the command line,
// byte arrays).
//
// Decoding follows one of two rules. Strict UTF-8 refuses overlong forms, encoded surrogates, code
// points above U+10FFFF, stray continuation bytes, leads F5 to FF and sequences cut short. The byte
// rule also takes a 3-byte encoded surrogate (ED A0 80 is the code unit U+D800), so that every 16-bit
// text that went into bytes comes back unchanged, a lone surrogate included.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace strand::unicode {

inline constexpr char16_t kReplacement = 0xFFFD;

constexpr bool isHighSurrogate(uint32_t c) noexcept {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool isLowSurrogate(uint32_t c) noexcept {
    return c >= 0xDC00 && c <= 0xDFFF;
}
constexpr bool isSurrogate(uint32_t c) noexcept {
    return c >= 0xD800 && c <= 0xDFFF;
}
constexpr uint32_t combineSurrogates(uint32_t high, uint32_t low) noexcept {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// The value of a hexadecimal digit (either case), or -1.
constexpr int hexValue(uint32_t c) noexcept {
    if (c >= '0' && c <= '9')
        return int(c - '0');
    if (c >= 'a' && c <= 'f')
        return int(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return int(c - 'A' + 10);
    return -1;
}

// The position of the first surrogate that is not half of a pair, or npos.
size_t findLoneSurrogate(std::u16string_view text) noexcept;

enum class Utf8Rule { Strict, Bytes };

// One UTF-8 sequence: its code point and its length in bytes. A length of 0 means the bytes at the
// position are no sequence under the rule; `cutShort` then tells that they are the start of one that
// the end of the input cut.
struct Utf8Sequence {
    uint32_t code = 0;
    size_t length = 0;
    bool cutShort = false;
};

Utf8Sequence decodeUtf8Sequence(const unsigned char* p, const unsigned char* end, Utf8Rule rule) noexcept;

// The length of the longest prefix of `bytes` that is UTF-8 under the rule. `cutShort`, when given,
// tells whether what follows the prefix is only a sequence cut short by the end of `bytes` (so that
// more input may complete it).
size_t validUtf8Prefix(std::string_view bytes, Utf8Rule rule, bool* cutShort = nullptr) noexcept;

// Decodes UTF-8 into 16-bit text, replacing `out`; false (out undefined) when the bytes are not UTF-8
// under the rule. Code points above U+FFFF become surrogate pairs.
bool decodeUtf8(std::string_view bytes, std::u16string& out, Utf8Rule rule = Utf8Rule::Strict);

// Appends the UTF-8 of one code point (up to U+10FFFF; a surrogate code unit gets its 3-byte form).
void appendUtf8(uint32_t code, std::string& out);

}  // namespace strand::unicode
