#include "host/Codecs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using strand::Array;
using strand::String;
namespace util = strand::util;

namespace {

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

}  // namespace

// ---- Hexadecimal

TEST(Hex, EncodesUpperCaseTwoDigitsPerByte) {
    const std::vector<EncodeCase> cases = {
        {{}, u""},
        {{0x00}, u"00"},
        {{10, 27}, u"0A1B"},
        {{0xFF, 0x00, 0x7F, 0xab}, u"FF007FAB"},
    };
    for (const auto& c : cases) {
        String out(u"previous");
        util::Hex::Encode(arrayOf(c.bytes), out);
        EXPECT_FALSE(out.isNull());
        EXPECT_EQ(out.str(), c.text);
    }
}

TEST(Hex, RoundTripOf0A1B) {
    Array<uint8_t> bytes;
    ASSERT_TRUE(util::Hex::Decode(String(u"0A1B"), bytes));
    EXPECT_EQ(bytes.vector(), (Bytes{10, 27}));
    String text;
    util::Hex::Encode(bytes, text);
    EXPECT_EQ(text.str(), u"0A1B");
}

TEST(Hex, DecodeAcceptsBothCasesAndWhiteSpaceBetweenPairs) {
    const std::vector<EncodeCase> cases = {
        {{}, u""},
        {{}, u" \t\r\n"},
        {{0xAB, 0xCD}, u"abcd"},
        {{0xAB, 0xCD}, u"aBCd"},
        {{0x0A, 0x1B}, u" 0A\t1B\r\n"},
        {{0x0A, 0x1B}, u"0A\v\f1B "},
    };
    for (const auto& c : cases) {
        Array<uint8_t> out;
        EXPECT_TRUE(util::Hex::Decode(String(c.text), out));
        EXPECT_EQ(out.vector(), c.bytes);
    }
}

TEST(Hex, DecodeOfNullTextIsEmpty) {
    Array<uint8_t> out{1, 2};
    EXPECT_TRUE(util::Hex::Decode(String(), out));
    EXPECT_TRUE(out.isEmpty());
}

TEST(Hex, DecodeRefusesBadInputKeepingBytesBeforeTheFault) {
    const std::vector<EncodeCase> cases = {
        {{}, u"zz"},           {{}, u"0"},   {{0x0A}, u"0A1"},
        {{0x0A}, u"0A 1"},     {{}, u"0 A"},  // white space inside a pair
        {{0x0A}, u"0A-1B"},                   // not a digit
        {{0x0A}, u"0A0x"},                    // half a pair valid
        {{}, u"\u0660\u0661"},                // digits of another script
        {{0xFF}, u"FFG0"},
    };
    for (const auto& c : cases) {
        Array<uint8_t> out{9, 9, 9};
        EXPECT_FALSE(util::Hex::Decode(String(c.text), out)) << "input of length " << c.text.size();
        EXPECT_EQ(out.vector(), c.bytes);
    }
}

TEST(Hex, RoundTripOfEveryByteValue) {
    String text;
    util::Hex::Encode(arrayOf(allByteValues()), text);
    EXPECT_EQ(text.length(), 512u);
    Array<uint8_t> back;
    ASSERT_TRUE(util::Hex::Decode(text, back));
    EXPECT_EQ(back.vector(), allByteValues());
    ASSERT_TRUE(util::Hex::Decode(text.toLowerAscii(), back));
    EXPECT_EQ(back.vector(), allByteValues());
}

// ---- Base64

TEST(Base64, Rfc4648Vectors) {
    const std::vector<EncodeCase> cases = {
        {asciiBytes(""), u""},
        {asciiBytes("f"), u"Zg=="},
        {asciiBytes("fo"), u"Zm8="},
        {asciiBytes("foo"), u"Zm9v"},
        {asciiBytes("foob"), u"Zm9vYg=="},
        {asciiBytes("fooba"), u"Zm9vYmE="},
        {asciiBytes("foobar"), u"Zm9vYmFy"},
    };
    for (const auto& c : cases) {
        String text(u"previous");
        util::Base64::Encode(arrayOf(c.bytes), text);
        EXPECT_FALSE(text.isNull());
        EXPECT_EQ(text.str(), c.text);
        Array<uint8_t> back{7};
        EXPECT_TRUE(util::Base64::Decode(String(c.text), back));
        EXPECT_EQ(back.vector(), c.bytes);
    }
}

TEST(Base64, EncodesTheWholeAlphabet) {
    String text;
    util::Base64::Encode(arrayOf(sextetsInOrder()), text);
    EXPECT_EQ(text.str(), u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

TEST(Base64, DecodesUnpaddedInput) {
    const std::vector<EncodeCase> cases = {
        {asciiBytes("f"), u"Zg"},
        {asciiBytes("fo"), u"Zm8"},
        {asciiBytes("foob"), u"Zm9vYg"},
        {asciiBytes("fooba"), u"Zm9vYmE"},
    };
    for (const auto& c : cases) {
        Array<uint8_t> out;
        EXPECT_TRUE(util::Base64::Decode(String(c.text), out));
        EXPECT_EQ(out.vector(), c.bytes);
    }
}

TEST(Base64, DecodeSkipsLineBreaksBlanksAndTabs) {
    const std::vector<EncodeCase> cases = {
        {asciiBytes("foobar"), u"Zm9v\r\nYmFy\r\n"},
        {asciiBytes("foobar"), u" Z m 9 v\tY m F y "},
        {asciiBytes("f"), u"Zg=\n="},
        {asciiBytes("fo"), u"Zm8=\r\n"},
        {asciiBytes(""), u"\r\n \t"},
    };
    for (const auto& c : cases) {
        Array<uint8_t> out;
        EXPECT_TRUE(util::Base64::Decode(String(c.text), out));
        EXPECT_EQ(out.vector(), c.bytes);
    }
}

TEST(Base64, DecodeIgnoresUnusedLowBits) {
    // "Zh" carries 0x66 and four set bits that belong to no byte.
    Array<uint8_t> out;
    EXPECT_TRUE(util::Base64::Decode(String(u"Zh=="), out));
    EXPECT_EQ(out.vector(), asciiBytes("f"));
}

TEST(Base64, DecodeRefusesInvalidInputAndEmptiesOutput) {
    const std::vector<std::u16string> cases = {
        u"Z",          // one character left over
        u"Zm9vY",      // one character left over after a group
        u"Zm9vY===",   // the same, padded
        u"Zg=",        // padding that does not complete the group
        u"Zg===",      // surplus padding
        u"Zm8==",      // surplus padding
        u"Zm9v=",      // padding after a complete group
        u"=",          // padding alone
        u"====",       // padding alone
        u"=Zg=",       // padding first
        u"Zg==Zg==",   // data after padding
        u"Zg=a",       // data after padding
        u"Zm9v!",      // not in the alphabet
        u"Zm-v",       // the URL-safe alphabet is not this one
        u"Zm_v",       // the URL-safe alphabet is not this one
        u"Zm9\u00e9",  // not ASCII
        u"Zm\v9v",     // vertical tab is not skipped
        u"Zm\f9v",     // nor form feed
        std::u16string(u"Zm\0v", 4),
    };
    for (const auto& text : cases) {
        Array<uint8_t> out{1, 2, 3};
        EXPECT_FALSE(util::Base64::Decode(String(text), out)) << "input of length " << text.size();
        EXPECT_TRUE(out.isEmpty());
    }
}

TEST(Base64, RoundTripOfLengthsZeroToSevenAndEveryByteValue) {
    std::vector<Bytes> inputs;
    for (size_t n = 0; n <= 7; ++n)
        inputs.push_back(sampleBytes(n));
    inputs.push_back(allByteValues());
    for (const auto& bytes : inputs) {
        String text;
        util::Base64::Encode(arrayOf(bytes), text);
        EXPECT_EQ(text.length(), (bytes.size() + 2) / 3 * 4);
        Array<uint8_t> back;
        ASSERT_TRUE(util::Base64::Decode(text, back));
        EXPECT_EQ(back.vector(), bytes);
    }
}

// ---- Daylight fingerprint encoding

TEST(Daylight, PublishedExample) {
    // The example carried with the published description of the encoding.
    String text;
    util::Daylight::Encode(arrayOf(asciiBytes("PyDaylight")), text);
    EXPECT_EQ(text.str(), u"I5Z2MLZgOKRcR...1");
    Array<uint8_t> back;
    ASSERT_TRUE(util::Daylight::Decode(String(u"I5Z2MLZgOKRcR...1"), back));
    EXPECT_EQ(back.vector(), asciiBytes("PyDaylight"));
}

TEST(Daylight, VectorsForEachLastGroupLength) {
    // Worked from the rule: 01 -> 000000 010000 (+ zero pad) -> ". E . ." and '1' genuine byte.
    const std::vector<EncodeCase> cases = {
        {{}, u"3"},
        {{0x01}, u".E..1"},
        {{0x01, 0x02}, u".E6.2"},
        {{0x01, 0x02, 0x03}, u".E613"},
        {{0x01, 0x02, 0x03, 0x04}, u".E61+...1"},
        {{0xFF}, u"zk..1"},
        {{0xFF, 0xFF}, u"zzw.2"},
        {{0xFF, 0xFF, 0xFF}, u"zzzz3"},
        {{0x00, 0x00, 0x00}, u"....3"},
        {{0x00, 0x10, 0x83}, u".+013"},  // the values 0, 1, 2, 3
        {{0xFB, 0xEF, 0xBE}, u"yyyy3"},  // the value 62 four times
    };
    for (const auto& c : cases) {
        String text(u"previous");
        util::Daylight::Encode(arrayOf(c.bytes), text);
        EXPECT_EQ(text.str(), c.text);
        Array<uint8_t> back{5};
        EXPECT_TRUE(util::Daylight::Decode(String(c.text), back));
        EXPECT_EQ(back.vector(), c.bytes);
    }
}

TEST(Daylight, AlphabetOrder) {
    String text;
    util::Daylight::Encode(arrayOf(sextetsInOrder()), text);
    EXPECT_EQ(text.str(), u".+0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz3");
}

TEST(Daylight, DecodesTheOlderCommaForPlus) {
    Array<uint8_t> out;
    ASSERT_TRUE(util::Daylight::Decode(String(u".,013"), out));
    EXPECT_EQ(out.vector(), (Bytes{0x00, 0x10, 0x83}));
}

TEST(Daylight, RoundTripOfLengthsZeroToSeven) {
    for (size_t n = 0; n <= 7; ++n) {
        const Bytes bytes = sampleBytes(n);
        String text;
        util::Daylight::Encode(arrayOf(bytes), text);
        EXPECT_EQ(text.length(), (n + 2) / 3 * 4 + 1);
        Array<uint8_t> back;
        ASSERT_TRUE(util::Daylight::Decode(text, back));
        EXPECT_EQ(back.vector(), bytes) << "length " << n;
    }
    String text;
    util::Daylight::Encode(arrayOf(allByteValues()), text);
    Array<uint8_t> back;
    ASSERT_TRUE(util::Daylight::Decode(text, back));
    EXPECT_EQ(back.vector(), allByteValues());
}

TEST(Daylight, DecodeRefusesMalformedText) {
    const std::vector<std::u16string> cases = {
        u"",         // no count character
        u"1",        // no group, yet one genuine byte
        u"2",        // no group, yet two genuine bytes
        u"0",        // count out of range
        u"4",        // count out of range
        u".E..",     // length 4
        u".E..0",    // count out of range
        u".E..4",    // count out of range
        u".E..x",    // count not a digit
        u".E..13",   // length 6
        u".E..1 ",   // trailing blank
        u"zzzz3\n",  // trailing line feed
        u".E.=1",    // not in the alphabet
        u".E/.1",    // not in the alphabet
        u".E_.1",    // not in the alphabet
        u"\u00e9E..1", u"....1....1",
    };
    for (const auto& text : cases) {
        Array<uint8_t> out{1, 2, 3};
        EXPECT_FALSE(util::Daylight::Decode(String(text), out)) << "input of length " << text.size();
        EXPECT_TRUE(out.isEmpty());
    }
}

TEST(Daylight, DecodeOfNullTextIsMalformed) {
    Array<uint8_t> out;
    EXPECT_FALSE(util::Daylight::Decode(String(), out));
}

// ---- UTF-8

TEST(Utf8, EncodesCodePointsAtEveryLengthBoundary) {
    const std::vector<EncodeCase> cases = {
        {{}, u""},
        {{0x41, 0xC3, 0xA9}, u"A\u00e9"},
        {{0x00}, std::u16string(1, u'\0')},
        {{0x7F}, u"\u007f"},
        {{0xC2, 0x80}, u"\u0080"},
        {{0xDF, 0xBF}, u"\u07ff"},
        {{0xE0, 0xA0, 0x80}, u"\u0800"},
        {{0xE2, 0x82, 0xAC}, u"\u20ac"},
        {{0xEF, 0xBF, 0xBF}, u"\uffff"},
        {{0xF0, 0x90, 0x80, 0x80}, u"\U00010000"},
        {{0xF0, 0x9F, 0x98, 0x80}, u"\U0001F600"},
        {{0xF4, 0x8F, 0xBF, 0xBF}, u"\U0010FFFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8Of(c.text), c.bytes);
        String back(u"previous");
        EXPECT_TRUE(util::ConvertUTF8toString(arrayOf(c.bytes), back));
        EXPECT_EQ(back.str(), c.text);
    }
}

TEST(Utf8, SurrogatePairBecomesOneFourByteSequence) {
    const std::u16string smiley = {0xD83D, 0xDE00};
    EXPECT_EQ(utf8Of(smiley), (Bytes{0xF0, 0x9F, 0x98, 0x80}));
    String back;
    ASSERT_TRUE(util::ConvertUTF8toString(arrayOf({0xF0, 0x9F, 0x98, 0x80}), back));
    EXPECT_EQ(back.str(), smiley);
}

TEST(Utf8, LoneSurrogatesKeepTheirOwnThreeBytes) {
    const std::vector<EncodeCase> cases = {
        {{0xED, 0xA0, 0x80}, {0xD800}},
        {{0xED, 0xB0, 0x80}, {0xDC00}},
        {{0xED, 0xAF, 0xBF}, {0xDBFF}},
        {{0xED, 0xBF, 0xBF}, {0xDFFF}},
        // A low surrogate before a high one is no pair.
        {{0xED, 0xB0, 0x80, 0xED, 0xA0, 0x80}, {0xDC00, 0xD800}},
        // A high surrogate cut off by an ordinary character, and one at the very end.
        {{0xED, 0xA0, 0xBD, 0x41, 0xED, 0xA0, 0xBD}, {0xD83D, u'A', 0xD83D}},
        // Two highs then a low: the first stands alone, the second pairs.
        {{0xED, 0xA0, 0xBD, 0xF0, 0x9F, 0x98, 0x80}, {0xD83D, 0xD83D, 0xDE00}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8Of(c.text), c.bytes);
        String back;
        EXPECT_TRUE(util::ConvertUTF8toString(arrayOf(c.bytes), back));
        EXPECT_EQ(back.str(), c.text);
    }
}

TEST(Utf8, EveryCodeUnitSurvivesARoundTrip) {
    for (uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const std::u16string text = {u'x', char16_t(unit), u'y'};
        String back;
        ASSERT_TRUE(util::ConvertUTF8toString(arrayOf(utf8Of(text)), back)) << "unit " << unit;
        ASSERT_EQ(back.str(), text) << "unit " << unit;
    }
}

TEST(Utf8, MixedSurrogateSequencesSurviveARoundTrip) {
    // A fixed pseudo-random walk that favours surrogates, so pairs, lone highs and lone lows mix.
    uint32_t state = 12345;
    for (int round = 0; round < 500; ++round) {
        std::u16string text;
        for (int i = 0; i < 12; ++i) {
            state = state * 1103515245u + 12345u;
            const uint32_t pick = (state >> 16) % 4;
            const uint32_t low = (state >> 8) & 0x3FF;
            text.push_back(char16_t(pick == 0   ? 0xD800 + low
                                    : pick == 1 ? 0xDC00 + low
                                                : (state >> 8) & 0xFFFF));
        }
        String back;
        ASSERT_TRUE(util::ConvertUTF8toString(arrayOf(utf8Of(text)), back));
        ASSERT_EQ(back.str(), text) << "round " << round;
    }
}

TEST(Utf8, RefusesMalformedSequences) {
    const std::vector<Bytes> cases = {
        {0x80},                    // stray continuation byte
        {0xBF},                    // stray continuation byte
        {0x41, 0x80},              // stray continuation after a character
        {0xC3, 0xA9, 0xA9},        // one continuation too many
        {0xC0, 0x80},              // overlong U+0000
        {0xC1, 0xBF},              // overlong U+007F
        {0xC0},                    // C0 can never lead
        {0xE0, 0x80, 0x80},        // overlong U+0000
        {0xE0, 0x9F, 0xBF},        // overlong U+07FF
        {0xF0, 0x80, 0x80, 0x80},  // overlong U+0000
        {0xF0, 0x8F, 0xBF, 0xBF},  // overlong U+FFFF
        {0xF4, 0x90, 0x80, 0x80},  // U+110000
        {0xF5, 0x80, 0x80, 0x80},  // lead byte beyond U+10FFFF
        {0xF7, 0xBF, 0xBF, 0xBF},
        {0xF8, 0x88, 0x80, 0x80, 0x80},
        {0xFC, 0x84, 0x80, 0x80, 0x80, 0x80},
        {0xFE},
        {0xFF},
        {0xC3},                    // cut short
        {0xE2, 0x82},              // cut short
        {0xF0, 0x9F, 0x98},        // cut short
        {0x41, 0xF0, 0x9F},        // cut short after a character
        {0xC3, 0x41},              // continuation missing
        {0xE2, 0x41, 0xAC},        // continuation missing
        {0xE2, 0x82, 0x41},        // continuation missing
        {0xF0, 0x9F, 0x41, 0x80},  // continuation missing
        {0xC3, 0xC3, 0xA9},        // a lead byte where a continuation belongs
    };
    for (const auto& bytes : cases) {
        String out(u"previous");
        EXPECT_FALSE(util::ConvertUTF8toString(arrayOf(bytes), out)) << "first byte " << int(bytes[0]);
        EXPECT_TRUE(out.isEmpty());
        EXPECT_FALSE(out.isNull());
    }
}

TEST(Utf8, EmptyInputGivesTheEmptyText) {
    String out(u"previous");
    EXPECT_TRUE(util::ConvertUTF8toString(nullptr, 0, out));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(out.isNull());
    EXPECT_TRUE(util::ConvertUTF8toString(Array<uint8_t>(), out));
    EXPECT_EQ(out.str(), u"");
    EXPECT_FALSE(util::ConvertUTF8toString(nullptr, 3, out));
}

TEST(Utf8, NoTerminatingZeroAndNullTextIsEmpty) {
    EXPECT_EQ(utf8Of(u"abc").size(), 3u);
    Array<uint8_t> out{1, 2, 3};
    util::ConvertStringtoUTF8(String(), out);
    EXPECT_TRUE(out.isEmpty());
}

TEST(Utf8, PointerOverloadReadsOnlyTheCountGiven) {
    const uint8_t bytes[] = {0x41, 0x42, 0xFF};
    String out;
    ASSERT_TRUE(util::ConvertUTF8toString(bytes, 2, out));
    EXPECT_EQ(out.str(), u"AB");
}

// ---- Percent-encoding

TEST(UrlEncode, KeepsUnreservedCharacters) {
    const std::u16string unreserved = u"ABCXYZabcxyz0189-._~";
    EXPECT_EQ(util::urlEncode(String(unreserved), false).str(), unreserved);
    EXPECT_EQ(util::urlEncode(String(unreserved), true).str(), unreserved);
}

TEST(UrlEncode, ReservedCharactersDependOnTheFlag) {
    const String reserved(u":/?#[]@!$&'()*+,;=");
    EXPECT_EQ(util::urlEncode(reserved, false).str(), u":/?#[]@!$&'()*+,;=");
    EXPECT_EQ(util::urlEncode(reserved, true).str(),
              u"%3A%2F%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D");
}

TEST(UrlEncode, EncodesEverythingElse) {
    struct Case {
        std::u16string text;
        std::u16string encoded;
    };
    const std::vector<Case> cases = {
        {u"", u""},
        {u" ", u"%20"},
        {u"%", u"%25"},
        {u"\"<>\\^`{|}", u"%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {u"\n\t\x7f", u"%0A%09%7F"},
        {std::u16string(1, u'\0'), u"%00"},
        {u"\u00e9", u"%C3%A9"},
        {u"\u20ac", u"%E2%82%AC"},
        {u"\U0001F600", u"%F0%9F%98%80"},
        {{0xD800}, u"%ED%A0%80"},
        {{u'a', 0xDC00, u'b'}, u"a%ED%B0%80b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(util::urlEncode(String(c.text), false).str(), c.encoded);
        EXPECT_EQ(util::urlEncode(String(c.text), true).str(), c.encoded);
    }
}

TEST(UrlEncode, QueryText) {
    const String text(u"a b&c=d/caf\u00e9~");
    EXPECT_EQ(util::urlEncode(text, false).str(), u"a%20b&c=d/caf%C3%A9~");
    EXPECT_EQ(util::urlEncode(text, true).str(), u"a%20b%26c%3Dd%2Fcaf%C3%A9~");
}

TEST(UrlEncode, NullTextGivesTheEmptyText) {
    const String out = util::urlEncode(String(), true);
    EXPECT_FALSE(out.isNull());
    EXPECT_TRUE(out.isEmpty());
}
