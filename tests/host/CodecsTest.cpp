#include "host/Codecs.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>
#include "TestData.h"

using namespace std::literals;
using strand::Array;
using strand::String;
namespace util = strand::util;

namespace {

using strand::test::hexBytes;

using Bytes = std::vector<uint8_t>;

Array<uint8_t> arrayOf(const Bytes& bytes) {
    return Array<uint8_t>(bytes);
}

Bytes asciiBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// 0, 1, 2, ... n - 1, wrapping at 256, mixed so that no two neighbours are equal.
Bytes sampleBytes(size_t n) {
    Bytes bytes;
    for (size_t i = 0; i < n; ++i)
        bytes.push_back(uint8_t(i * 97 + 13));
    return bytes;
}

Bytes allByteValues() {
    Bytes bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(uint8_t(i));
    return bytes;
}

// 48 bytes whose 64 six-bit groups are the values 0 to 63 in order.
Bytes sextetsInOrder() {
    Bytes bytes;
    for (uint32_t i = 0; i < 64; i += 4) {
        uint32_t group = (i << 18) | ((i + 1) << 12) | ((i + 2) << 6) | (i + 3);
        bytes.push_back(uint8_t(group >> 16));
        bytes.push_back(uint8_t(group >> 8));
        bytes.push_back(uint8_t(group));
    }
    return bytes;
}

Bytes utf8Of(const std::u16string& text) {
    Array<uint8_t> out;
    util::ConvertStringtoUTF8(String(text), out);
    return out.vector();
}

struct EncodeCase {
    Bytes bytes;
    std::u16string text;
};

// Bytes as hexadecimal digits, and their text.
struct HexCase {
    const char* digits;
    std::u16string_view text;
};

// Encodes each row, and decodes the text back to the bytes; the encoder replaces what out held.
template <typename Codec>
void expectBothWays(const std::vector<EncodeCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.text).toUtf8());
        String text(u"previous");
        Codec::Encode(arrayOf(c.bytes), text);
        EXPECT_FALSE(text.isNull());
        EXPECT_EQ(text.str(), c.text);
        Array<uint8_t> back{7};
        EXPECT_TRUE(Codec::Decode(String(c.text), back));
        EXPECT_EQ(back.vector(), c.bytes);
    }
}

// Decodes each text, which must be accepted.
template <typename Codec>
void expectDecodes(const std::vector<EncodeCase>& cases) {
    for (const auto& c : cases) {
        Array<uint8_t> out{7};
        EXPECT_TRUE(Codec::Decode(String(c.text), out)) << String(c.text).toUtf8();
        EXPECT_EQ(out.vector(), c.bytes);
    }
}

// Decodes each text, which must be refused with out emptied.
template <typename Codec>
void expectRefused(const std::vector<std::u16string>& cases) {
    for (const auto& text : cases) {
        Array<uint8_t> out{1, 2, 3};
        EXPECT_FALSE(Codec::Decode(String(text), out)) << String(text).toUtf8();
        EXPECT_TRUE(out.isEmpty());
    }
}

// Lengths 0 to 7 and every byte value go through text and back; the text has the length given.
template <typename Codec>
void expectRoundTrips(size_t (*textLength)(size_t)) {
    std::vector<Bytes> inputs;
    for (size_t n = 0; n <= 7; ++n)
        inputs.push_back(sampleBytes(n));
    inputs.push_back(allByteValues());
    for (const auto& bytes : inputs) {
        String text;
        Codec::Encode(arrayOf(bytes), text);
        EXPECT_EQ(text.length(), textLength(bytes.size()));
        Array<uint8_t> back;
        ASSERT_TRUE(Codec::Decode(text, back));
        EXPECT_EQ(back.vector(), bytes) << "length " << bytes.size();
    }
}

}  // namespace

TEST(Codecs, RoundTripOfLengthsZeroToSevenAndEveryByteValue) {
    expectRoundTrips<util::Hex>([](size_t n) { return 2 * n; });
    expectRoundTrips<util::Base64>([](size_t n) { return (n + 2) / 3 * 4; });
    expectRoundTrips<util::Daylight>([](size_t n) { return (n + 2) / 3 * 4 + 1; });
}

// ---- Hexadecimal

TEST(Hex, EncodesUpperCaseAndDecodesEitherCaseWithWhiteSpaceBetweenPairs) {
    expectBothWays<util::Hex>({{{}, u""}, {{0xFF, 0x00, 0x7F, 0xab}, u"FF007FAB"}});
    expectDecodes<util::Hex>({{{}, u" \t\r\n"},
                              {{0xAB, 0xCD}, u"aBCd"},
                              {{0x0A, 0x1B}, u" 0A\t1B\r\n"},
                              {{0x0A, 0x1B}, u"0A\v\f1B "}});
    String lower;
    util::Hex::Encode(arrayOf(allByteValues()), lower);
    expectDecodes<util::Hex>({{allByteValues(), lower.toLowerAscii().str()}});
    Array<uint8_t> out{1, 2};
    EXPECT_TRUE(util::Hex::Decode(String(), out));
    EXPECT_TRUE(out.isEmpty());
    // Odd digits, white space inside a pair, a character that is no digit, digits of another script.
    const std::vector<EncodeCase> cases = {{{}, u"zz"},       {{}, u"0"},        {{0x0A}, u"0A1"},
                                           {{0x0A}, u"0A 1"}, {{}, u"0 A"},      {{0x0A}, u"0A-1B"},
                                           {{0x0A}, u"0A0x"}, {{0xFF}, u"FFG0"}, {{}, u"\u0660\u0661"}};
    for (const auto& c : cases) {
        Array<uint8_t> out{9, 9, 9};
        EXPECT_FALSE(util::Hex::Decode(String(c.text), out)) << String(c.text).toUtf8();
        EXPECT_EQ(out.vector(), c.bytes);
    }
}

// ---- Base64

// The padded vectors are in tests/scripts/conversions.eval; here the whole alphabet in order, and the
// decoder's leniency: padding left off, line breaks, blanks and tabs, and unused low bits ("Zh" carries
// 0x66 and four set bits that belong to no byte).
TEST(Base64, AlphabetLenientDecodingAndRefusals) {
    String text;
    util::Base64::Encode(arrayOf(sextetsInOrder()), text);
    EXPECT_EQ(text.str(), u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    expectDecodes<util::Base64>({{asciiBytes("f"), u"Zg"},
                                 {asciiBytes("fo"), u"Zm8"},
                                 {asciiBytes("foobar"), u" Z m 9 v\tY m F y "},
                                 {asciiBytes("f"), u"Zg=\n="},
                                 {asciiBytes("fo"), u"Zm8=\r\n"},
                                 {asciiBytes(""), u"\r\n \t"},
                                 {asciiBytes("f"), u"Zh=="}});
    // A character left over after a group; padding that does not fit, alone, first or before data;
    // characters outside the alphabet (the URL-safe ones included); white space that is not skipped.
    expectRefused<util::Base64>({u"Z", u"Zm9vY", u"Zm9vY===", u"Zg=", u"Zg===", u"Zm8==", u"Zm9v=", u"=",
                                 u"====", u"=Zg=", u"Zg==Zg==", u"Zg=a", u"Zm9v!", u"Zm-v", u"Zm_v",
                                 u"Zm9\u00e9", u"Zm\v9v", u"Zm\f9v", std::u16string(u"Zm\0v", 4)});
}

// ---- Daylight fingerprint encoding

TEST(Daylight, VectorsForEachLastGroupLength) {
    // The published example first. Worked from the rule: 01 -> 000000 010000 (+ zero pad) -> ". E . ."
    // and '1' genuine byte. 00 10 83 holds the values 0, 1, 2, 3, and FB EF BE the value 62 four times.
    expectBothWays<util::Daylight>({{asciiBytes("PyDaylight"), u"I5Z2MLZgOKRcR...1"}});
    const HexCase cases[] = {
        {"", u"3"},           {"01", u".E..1"},     {"0102", u".E6.2"},
        {"010203", u".E613"}, {"FF", u"zk..1"},     {"FFFF", u"zzw.2"},
        {"001083", u".+013"}, {"FBEFBE", u"yyyy3"}, {"01020304", u".E61+...1"},
    };
    for (const auto& c : cases)
        expectBothWays<util::Daylight>({{hexBytes(c.digits), std::u16string(c.text)}});
    String text;
    util::Daylight::Encode(arrayOf(sextetsInOrder()), text);
    EXPECT_EQ(text.str(), u".+0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz3");
    expectDecodes<util::Daylight>({{{0x00, 0x10, 0x83}, u".,013"}});  // the older ',' for '+'
    // No group or a count out of range; a length not 4n + 1; a bad count; outside the alphabet.
    expectRefused<util::Daylight>({u"", u"1", u"2", u"0", u"4", u".E..", u".E..13", u".E..1 ", u"zzzz3\n",
                                   u"....1....1", u".E..0", u".E..4", u".E..x", u".E.=1", u".E/.1", u".E_.1",
                                   u"\u00e9E..1"});
    Array<uint8_t> out;
    EXPECT_FALSE(util::Daylight::Decode(String(), out));
}

// ---- UTF-8

TEST(Utf8, CodePointsAtEveryLengthBoundaryLoneSurrogatesAndRefusals) {
    // A surrogate pair is one 4-byte sequence; a lone surrogate keeps its own three bytes, so a low
    // before a high is no pair, nor a high cut off by an ordinary character or the end; of two highs
    // before a low, the first stands alone and the second pairs.
    const HexCase boundaries[] = {
        {"7F", u"\u007f"},           {"C280", u"\u0080"},         {"DFBF", u"\u07ff"},
        {"E0A080", u"\u0800"},       {"EFBFBF", u"\uffff"},       {"41C3A9", u"A\u00e9"},
        {"F0908080", u"\U00010000"}, {"EDA080", u"\xD800"},       {"EDBFBF", u"\xDFFF"},
        {"F09F9880", u"\U0001F600"}, {"F48FBFBF", u"\U0010FFFF"},
    };
    const HexCase edges[] = {
        {"", u""},
        {"00", u"\0"sv},
        {"EDB080EDA080", u"\xDC00\xD800"},
        {"EDA0BD41EDA0BD", u"\xD83D\u0041\xD83D"},
        {"EDA0BDF09F9880", u"\xD83D\xD83D\xDE00"},
    };
    auto expectBothWays = [](const HexCase& c) {
        EXPECT_EQ(utf8Of(std::u16string(c.text)), hexBytes(c.digits)) << c.digits;
        String back(u"previous");
        EXPECT_TRUE(util::ConvertUTF8toString(arrayOf(hexBytes(c.digits)), back));
        EXPECT_EQ(back.str(), c.text);
    };
    for (const HexCase& c : boundaries)
        expectBothWays(c);
    for (const HexCase& c : edges)
        expectBothWays(c);
    for (uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const std::u16string text = {u'x', char16_t(unit), u'y'};
        String back;
        ASSERT_TRUE(util::ConvertUTF8toString(arrayOf(utf8Of(text)), back)) << "unit " << unit;
        ASSERT_EQ(back.str(), text) << "unit " << unit;
    }
    // Stray continuation bytes; overlong forms (C0 can never lead); beyond U+10FFFF and the leads of
    // longer forms; sequences cut short; a continuation missing, or a lead byte in its place.
    for (const char* digits :
         {"80",         "BF",           "4180",     "C3A9A9",   "C080",     "C1BF",     "C0",
          "E08080",     "E09FBF",       "F0808080", "F08FBFBF", "F4908080", "F5808080", "F7BFBFBF",
          "F888808080", "FC8480808080", "FE",       "FF",       "C3",       "E282",     "F09F98",
          "41F09F",     "C341",         "E241AC",   "E28241",   "F09F4180", "C3C3A9"}) {
        String out(u"previous");
        EXPECT_FALSE(util::ConvertUTF8toString(arrayOf(hexBytes(digits)), out)) << digits;
        EXPECT_TRUE(out.isEmpty());
        EXPECT_FALSE(out.isNull());
    }
    String out(u"previous");
    EXPECT_TRUE(util::ConvertUTF8toString(nullptr, 0, out));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(out.isNull());
    EXPECT_FALSE(util::ConvertUTF8toString(nullptr, 3, out));
    const uint8_t bytes[] = {0x41, 0x42, 0xFF};  // only the count given is read
    ASSERT_TRUE(util::ConvertUTF8toString(bytes, 2, out));
    EXPECT_EQ(out.str(), u"AB");
    EXPECT_EQ(utf8Of(u"abc").size(), 3u);  // no terminating zero
    Array<uint8_t> encoded{1, 2, 3};
    util::ConvertStringtoUTF8(String(), encoded);
    EXPECT_TRUE(encoded.isEmpty());
}

// ---- Percent-encoding

TEST(UrlEncode, ReservedCharactersDependOnTheFlagAndEverythingElseIsEncoded) {
    struct Case {
        std::u16string text, keepingReserved, encodingReserved;
    };
    const std::vector<Case> cases = {
        {u"ABCXYZabcxyz0189-._~", u"ABCXYZabcxyz0189-._~", u"ABCXYZabcxyz0189-._~"},
        {u":/?#[]@!$&'()*+,;=", u":/?#[]@!$&'()*+,;=",
         u"%3A%2F%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D"},
        {u"a b&c=d/caf\u00e9~", u"a%20b&c=d/caf%C3%A9~", u"a%20b%26c%3Dd%2Fcaf%C3%A9~"},
        {u"", u"", u""},
        {u"%\"<>\\^`{|}", u"%25%22%3C%3E%5C%5E%60%7B%7C%7D", u"%25%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {std::u16string(u"\n\t\x7f\0", 4), u"%0A%09%7F%00", u"%0A%09%7F%00"},
        {u"\u20ac\U0001F600", u"%E2%82%AC%F0%9F%98%80", u"%E2%82%AC%F0%9F%98%80"},
        {{u'a', 0xDC00, u'b'}, u"a%ED%B0%80b", u"a%ED%B0%80b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(util::urlEncode(String(c.text), false).str(), c.keepingReserved);
        EXPECT_EQ(util::urlEncode(String(c.text), true).str(), c.encodingReserved);
    }
    const String out = util::urlEncode(String(), true);
    EXPECT_FALSE(out.isNull());
    EXPECT_TRUE(out.isEmpty());
}
