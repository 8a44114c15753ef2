#include "host/Codecs.h"

#include <string_view>
#include <vector>

namespace strand::util {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
constexpr char16_t kBase64Alphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char16_t kDaylightAlphabet[] = u".+0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// ---- Hexadecimal

bool isHexSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

void appendHexByte(uint8_t b, String& out) {
    out.append(kHexDigits[b >> 4]);
    out.append(kHexDigits[b & 0x0F]);
}

// ---- Base64

int base64Value(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return c - u'A';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 26;
    if (c >= u'0' && c <= u'9')
        return c - u'0' + 52;
    if (c == u'+')
        return 62;
    if (c == u'/')
        return 63;
    return -1;
}

bool isBase64Space(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Appends the four characters of a 24-bit group from the alphabet given, most significant first.
void appendSextets(uint32_t group, const char16_t* alphabet, size_t count, String& out) {
    for (size_t i = 0; i < count; ++i)
        out.append(alphabet[(group >> (18 - 6 * i)) & 0x3F]);
}

// The first `count` bytes of a 24-bit group, most significant first.
void appendGroupBytes(uint32_t group, size_t count, Bytes& out) {
    for (size_t i = 0; i < count; ++i)
        out.push_back(uint8_t(group >> (16 - 8 * i)));
}

// The bytes at `pos` as a 24-bit group, with zero bytes past the end.
uint32_t readGroup(const Bytes& bytes, size_t pos) {
    uint32_t group = 0;
    for (size_t i = 0; i < 3; ++i) {
        group <<= 8;
        if (pos + i < bytes.size())
            group |= bytes[pos + i];
    }
    return group;
}

// The characters after the last full group of four: `filled` data characters holding `group`, then
// `padding` '=' signs. Two characters carry one byte, three carry two; padding, when present, must
// complete the group.
bool finishBase64(uint32_t group, size_t filled, size_t padding, Bytes& out) {
    if (filled == 1)
        return false;
    if (padding > 0 && (filled == 0 || filled + padding != 4))
        return false;
    if (filled == 2)
        appendGroupBytes(group << 12, 1, out);
    if (filled == 3)
        appendGroupBytes(group << 6, 2, out);
    return true;
}

bool decodeBase64(std::u16string_view text, Bytes& out) {
    uint32_t group = 0;
    size_t filled = 0;
    size_t padding = 0;
    for (char16_t c : text) {
        if (isBase64Space(c))
            continue;
        if (c == u'=') {
            ++padding;
            continue;
        }
        // Data after padding: the padding was not at the end.
        if (padding > 0)
            return false;
        int value = base64Value(c);
        if (value < 0)
            return false;
        group = (group << 6) | uint32_t(value);
        if (++filled < 4)
            continue;
        appendGroupBytes(group, 3, out);
        group = 0;
        filled = 0;
    }
    return finishBase64(group, filled, padding, out);
}

// ---- Daylight

int daylightValue(char16_t c) {
    if (c == u'.')
        return 0;
    // ',' is the older spelling of '+'.
    if (c == u'+' || c == u',')
        return 1;
    if (c >= u'0' && c <= u'9')
        return c - u'0' + 2;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 12;
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 38;
    return -1;
}

bool decodeDaylight(std::u16string_view text, Bytes& out) {
    if (text.size() % 4 != 1)
        return false;
    const char16_t last = text.back();
    if (last < u'1' || last > u'3')
        return false;
    const size_t groups = text.size() / 4;
    // With no groups there are no bytes, and only "all three genuine" describes that.
    if (groups == 0)
        return last == u'3';
    out.reserve(groups * 3);
    for (size_t g = 0; g < groups; ++g) {
        uint32_t group = 0;
        for (size_t i = 0; i < 4; ++i) {
            int value = daylightValue(text[4 * g + i]);
            if (value < 0)
                return false;
            group = (group << 6) | uint32_t(value);
        }
        appendGroupBytes(group, 3, out);
    }
    out.resize(out.size() - size_t(u'3' - last));
    return true;
}

// ---- UTF-8

bool isHighSurrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void appendUtf8(uint32_t cp, Bytes& out) {
    if (cp < 0x80) {
        out.push_back(uint8_t(cp));
    } else if (cp < 0x800) {
        out.push_back(uint8_t(0xC0 | (cp >> 6)));
        out.push_back(uint8_t(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(uint8_t(0xE0 | (cp >> 12)));
        out.push_back(uint8_t(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(uint8_t(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(uint8_t(0xF0 | (cp >> 18)));
        out.push_back(uint8_t(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(uint8_t(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(uint8_t(0x80 | (cp & 0x3F)));
    }
}

void appendUtf16(uint32_t cp, std::u16string& out) {
    if (cp < 0x10000) {
        out.push_back(char16_t(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
}

// What a lead byte announces: the sequence length, the payload bits it carries and the smallest code
// point that needs that length (anything below it is an overlong form). Length 0 for a byte that
// cannot lead: a continuation byte, C0 and C1 (which could only start overlong forms), F5 to FF
// (which could only start code points beyond U+10FFFF).
struct Lead {
    size_t length;
    uint32_t bits;
    uint32_t minimum;
};

Lead readLead(uint8_t b) {
    if (b < 0x80)
        return {1, b, 0};
    if (b >= 0xC2 && b <= 0xDF)
        return {2, uint32_t(b & 0x1F), 0x80};
    if (b >= 0xE0 && b <= 0xEF)
        return {3, uint32_t(b & 0x0F), 0x800};
    if (b >= 0xF0 && b <= 0xF4)
        return {4, uint32_t(b & 0x07), 0x10000};
    return {0, 0, 0};
}

// Decodes the sequence at the start of `bytes` into `cp` and returns its length, or 0 when it is
// refused.
size_t decodeUtf8Sequence(const uint8_t* bytes, size_t available, uint32_t& cp) {
    const Lead lead = readLead(bytes[0]);
    if (lead.length == 0 || lead.length > available)
        return 0;
    cp = lead.bits;
    for (size_t i = 1; i < lead.length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (bytes[i] & 0x3F);
    }
    if (cp < lead.minimum || cp > 0x10FFFF)
        return 0;
    return lead.length;
}

// ---- Percent-encoding

bool isUnreserved(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
           b == '.' || b == '_' || b == '~';
}

bool isReserved(uint8_t b) {
    constexpr std::string_view kReserved = ":/?#[]@!$&'()*+,;=";
    return b != 0 && kReserved.find(char(b)) != std::string_view::npos;
}

}  // namespace

int hexValue(char16_t c) noexcept {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

void Hex::Encode(const Array<uint8_t>& bytes, String& out) {
    out = String::empty();
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes)
        appendHexByte(b, out);
}

bool Hex::Decode(const String& text, Array<uint8_t>& out) {
    out.clear();
    const std::u16string_view digits = text.view();
    size_t i = 0;
    while (i < digits.size()) {
        if (isHexSpace(digits[i])) {
            ++i;
            continue;
        }
        if (i + 1 == digits.size())
            return false;
        const int high = hexValue(digits[i]);
        const int low = hexValue(digits[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out.add(uint8_t((high << 4) | low));
        i += 2;
    }
    return true;
}

void Base64::Encode(const Array<uint8_t>& bytes, String& out) {
    const Bytes& data = bytes.vector();
    out = String::empty();
    out.reserve((data.size() + 2) / 3 * 4);
    for (size_t pos = 0; pos < data.size(); pos += 3) {
        const size_t count = data.size() - pos < 3 ? data.size() - pos : 3;
        // n bytes need n + 1 characters; '=' fills the group of four.
        appendSextets(readGroup(data, pos), kBase64Alphabet, count + 1, out);
        out.append(3 - count, u'=');
    }
}

bool Base64::Decode(const String& text, Array<uint8_t>& out) {
    out.clear();
    if (decodeBase64(text.view(), out.vector()))
        return true;
    out.clear();
    return false;
}

void Daylight::Encode(const Array<uint8_t>& bytes, String& out) {
    const Bytes& data = bytes.vector();
    out = String::empty();
    out.reserve((data.size() + 2) / 3 * 4 + 1);
    for (size_t pos = 0; pos < data.size(); pos += 3) {
        appendSextets(readGroup(data, pos), kDaylightAlphabet, 4, out);
    }
    const size_t genuine = data.size() % 3 == 0 ? 3 : data.size() % 3;
    out.append(char16_t(u'0' + genuine));
}

bool Daylight::Decode(const String& text, Array<uint8_t>& out) {
    out.clear();
    if (decodeDaylight(text.view(), out.vector()))
        return true;
    out.clear();
    return false;
}

void ConvertStringtoUTF8(const String& text, Array<uint8_t>& out) {
    Bytes& bytes = out.vector();
    bytes.clear();
    bytes.reserve(text.length());
    const std::u16string_view units = text.view();
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (isHighSurrogate(cp) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        // A lone surrogate falls through as a 3-byte sequence of its own.
        appendUtf8(cp, bytes);
    }
}

bool ConvertUTF8toString(const uint8_t* bytes, size_t count, String& out) {
    out = String::empty();
    if (bytes == nullptr)
        return count == 0;
    std::u16string& units = out.mutableStr();
    units.reserve(count);
    size_t pos = 0;
    while (pos < count) {
        uint32_t cp = 0;
        const size_t used = decodeUtf8Sequence(bytes + pos, count - pos, cp);
        if (used == 0) {
            out = String::empty();
            return false;
        }
        appendUtf16(cp, units);
        pos += used;
    }
    return true;
}

String urlEncode(const String& text, bool encodeReserved) {
    String out;
    Array<uint8_t> bytes;
    urlEncodeInto(text, encodeReserved, out, bytes);
    return out;
}

void urlEncodeInto(const String& text, bool encodeReserved, String& out, Array<uint8_t>& bytes) {
    ConvertStringtoUTF8(text, bytes);
    out.clear();
    out.mutableStr();  // an empty text, never null
    out.reserve(bytes.size());
    for (uint8_t b : bytes.vector()) {
        if (isUnreserved(b) || (!encodeReserved && isReserved(b))) {
            out.append(char16_t(b));
            continue;
        }
        out.append(u'%');
        appendHexByte(b, out);
    }
}

}  // namespace strand::util
