#include "host/String.h"

#include <gtest/gtest.h>

#include <unordered_set>

using strand::String;

TEST(String, NullIsDistinctFromEmptyUntilChanged) {
    String null;
    String empty(u"");
    EXPECT_TRUE(null.isNull());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(null.isEmpty());
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_NE(null, empty);
    EXPECT_EQ(String(static_cast<const char16_t*>(nullptr)), null);
    EXPECT_LT(null.compare(empty), 0);
    EXPECT_LT(null.compareIgnoreCase(empty), 0);
    EXPECT_FALSE(null.equalsIgnoreCase(empty));
    EXPECT_TRUE(null.equalsIgnoreCase(String()));
    EXPECT_EQ(null.ptr(), nullptr);
    EXPECT_NE(empty.ptr(), nullptr);
    EXPECT_EQ(null.c_str()[0], u'\0');
    EXPECT_FALSE(null == u"");
    EXPECT_TRUE(null == static_cast<const char16_t*>(nullptr));
    // Any change makes a null text non-null.
    String s;
    s.append(u"");
    EXPECT_FALSE(s.isNull());
    s.setNull();
    EXPECT_TRUE(s.isNull());
    s += u'x';
    EXPECT_EQ(s, u"x");
}

TEST(String, CaseFoldingHashesAndSearchCoverOnlyAsciiLetters) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        bool equal;
    };
    const Case cases[] = {
        {u"DateFromYMD", u"datefromymd", true},
        {u"ABCXYZ", u"abcxyz", true},
        {u"@[`{", u"@[`{", true},
        {u"@", u"`", false},  // 0x40 and 0x60 lie just outside A..Z and a..z
        {u"[", u"{", false},
        {u"\u00C9", u"\u00E9", false},  // É and é are not folded
        {u"\u0130", u"i", false},
        {u"abc", u"abcd", false},
    };
    for (const Case& c : cases) {
        String a(c.a), b(c.b);
        EXPECT_EQ(a.equalsIgnoreCase(b), c.equal) << a.toUtf8() << " vs " << b.toUtf8();
        EXPECT_EQ(a.compareIgnoreCase(b) == 0, c.equal);
        if (c.equal) {
            EXPECT_EQ(a.hashIgnoreCase(), b.hashIgnoreCase());
        }
    }
    // h = h * 31 + c in 32 bits: "abc" = ((97 * 31) + 98) * 31 + 99.
    EXPECT_EQ(String(u"abc").hash(), 96354u);
    EXPECT_EQ(String(u"ABC").hashIgnoreCase(), 96354u);
    EXPECT_EQ(String().hash(), 0u);
    EXPECT_EQ(String(u"").hash(), 0u);
    std::unordered_set<String, strand::StringHashIgnoreCase, strand::StringEqualIgnoreCase> names;
    names.insert(String(u"Weight"));
    EXPECT_EQ(names.count(String(u"WEIGHT")), 1u);
    EXPECT_EQ(names.count(String(u"W\u00C9IGHT")), 0u);
    String s(u"Hello World");
    EXPECT_EQ(s.findIgnoreCase(u"WORLD"), 6u);
    EXPECT_EQ(s.findIgnoreCase(u"o", 5), 7u);
    EXPECT_EQ(s.findIgnoreCase(u"xyz"), String::npos);
    EXPECT_EQ(s.findIgnoreCase(u"Hello World!"), String::npos);
}

TEST(String, Utf8RoundTripMalformedInputAndLoneSurrogates) {
    const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // A é € 😀
    EXPECT_EQ(String::fromUtf8(utf8), String(u"A\u00E9\u20AC\U0001F600"));
    EXPECT_EQ(String::fromUtf8(utf8).toUtf8(), utf8);
    // Each bad lead byte becomes one U+FFFD; the byte after a cut sequence is read again.
    EXPECT_EQ(String::fromUtf8("a\xC3"
                               "b"),
              String(u"a\uFFFDb"));
    EXPECT_EQ(String::fromUtf8("\xC0\x80"), String(u"\uFFFD\uFFFD"));
    EXPECT_EQ(String::fromUtf8("\xED\xA0\x80"), String(u"\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(String::fromUtf8("\xF4\x90\x80\x80").length(), 4u);
    // A lone surrogate cannot be shown and prints as U+FFFD.
    const char16_t lone[] = {u'x', char16_t(0xD800), u'y', 0};
    EXPECT_EQ(String(lone).toUtf8(), "x\xEF\xBF\xBDy");
    const char16_t reversed[] = {char16_t(0xDE00), char16_t(0xD83D), 0};
    EXPECT_EQ(String(reversed).toUtf8(), "\xEF\xBF\xBD\xEF\xBF\xBD");
    const char16_t beforePrivateUse[] = {char16_t(0xD83D), char16_t(0xE000), 0};
    EXPECT_EQ(String(beforePrivateUse).toUtf8(), "\xEF\xBF\xBD\xEE\x80\x80");
}
