#include "host/xrRegex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Failure.h"

using strand::Array;
using strand::String;
using strand::xrRegex;
using strand::test::failure;
using Strings = std::vector<String>;

namespace {

bool matches(const String& pattern, int options, const String& text) {
    xrRegex re;
    re.SetExpression(pattern, options);
    return re.IsMatch(text);
}

Strings groups(const String& pattern, const String& text) {
    xrRegex re;
    re.SetExpression(pattern, 0);
    Array<String> out = {u"stale"};
    re.Search(text).GetMatchingStrings(out);
    return out.vector();
}

Strings split(const String& pattern, const String& text, unsigned limit, int options = 0) {
    xrRegex re;
    re.SetExpression(pattern, options);
    Array<String> out = {u"stale"};
    re.Search(text).GetSplitStrings(out, limit);
    return out.vector();
}

String substitute(const String& pattern, const String& replacement, int options, const String& text) {
    xrRegex re;
    re.SetSubstitution(pattern, replacement, options);
    return re.Substitute(text);
}

}  // namespace

TEST(xrRegex, OptionsFromStringLettersAndWhatTheyChange) {
    EXPECT_EQ(xrRegex::OptionsFromString(u""), 0);
    EXPECT_EQ(xrRegex::OptionsFromString(u"imxsgu"), 63);
    EXPECT_EQ(xrRegex::OptionsFromString(u"IMXSGU"), 63);
    EXPECT_EQ(xrRegex::OptionsFromString(u"uu", xrRegex::IgnoreCase), xrRegex::Unicode | xrRegex::IgnoreCase);
    EXPECT_EQ(failure([] { xrRegex::OptionsFromString(u"iq"); }), "Unknown regular expression option 'q'");
    struct Case {
        const char16_t* pattern;
        int options;
        const char16_t* text;
        bool expected;
    };
    const Case cases[] = {
        {u"abc", 0, u"ABC", false},
        {u"abc", xrRegex::IgnoreCase, u"xAbC", true},
        // Without Unicode only A-Z fold: the accented letters stay distinct.
        {u"caf\u00e9", xrRegex::IgnoreCase, u"CAF\u00e9", true},
        {u"caf\u00e9", xrRegex::IgnoreCase, u"CAF\u00c9", false},
        {u"caf\u00e9", xrRegex::IgnoreCase | xrRegex::Unicode, u"CAF\u00c9", true},
        {u"^b$", 0, u"a\nb", false},
        {u"^b$", xrRegex::Multiline, u"a\nb", true},
        {u"a.b", 0, u"a\nb", false},
        {u"a.b", xrRegex::DotAll, u"a\nb", true},
        {u"a b # note", xrRegex::Extended, u"ab", true},
        {u"a b # note", 0, u"ab", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matches(c.pattern, c.options, c.text), c.expected)
            << String(c.pattern).toUtf8() << " options " << c.options;
    }
}

TEST(xrRegex, SearchGivesMatchAndGroups) {
    xrRegex re;
    re.SetExpression(u"(\\d+)-(x)?(\\d+)", 0);
    xrRegex::Match m = re.Search(u"ab 12-34 cd");
    ASSERT_TRUE(m.Found());
    EXPECT_EQ(m.GetStart(), 3u);
    EXPECT_EQ(m.GetEnd(), 8u);
    // A group that took no part gives an empty (not null) text.
    Strings found = groups(u"(\\d+)-(x)?(\\d+)", u"ab 12-34 cd");
    EXPECT_EQ(found, (Strings{u"12-34", u"12", u"", u"34"}));
    EXPECT_FALSE(found[2].isNull());
    EXPECT_EQ(groups(u"z(z)", u"abc"), Strings{});
    EXPECT_FALSE(re.Search(u"none").Found());
    EXPECT_EQ(re.Search(u"none").GetEnd(), 0u);
}

TEST(xrRegex, SplitHonoursLimitAndEmptyMatches) {
    struct Case {
        const char16_t* pattern;
        const char16_t* text;
        unsigned limit;
        Strings expected;
    };
    const Case cases[] = {
        {u",", u"a,b,c", 0, {u"a", u"b", u"c"}},
        {u",", u"a,b,c", 1, {u"a,b,c"}},
        {u",", u"a,b,c", 1000, {u"a", u"b", u"c"}},
        {u",", u",a,,b,", 0, {u"", u"a", u"", u"b", u""}},
        {u",", u"abc", 0, {u"abc"}},
        {u",", u"", 0, {}},
        {u"(-)", u"1-2", 0, {u"1", u"2"}},
        // Empty matches at the start of a field or at the end of the text separate nothing.
        {u"", u"abc", 0, {u"a", u"b", u"c"}},
        {u"", u"abc", 2, {u"a", u"bc"}},
        {u"x*", u"axxbc", 0, {u"a", u"b", u"c"}},
        {u",*", u"a,,b", 0, {u"a", u"b"}},
        {u"\\b", u"ab cd", 0, {u"ab", u" ", u"cd"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(split(c.pattern, c.text, c.limit), c.expected)
            << String(c.pattern).toUtf8() << " over " << String(c.text).toUtf8() << " limit " << c.limit;
    }
    // Under Unicode a surrogate pair is one character; otherwise two.
    EXPECT_EQ(split(u"", u"a\U0001F600b", 0, xrRegex::Unicode), (Strings{u"a", u"\U0001F600", u"b"}));
    EXPECT_EQ(split(u"", u"a\U0001F600b", 0).size(), 4u);
    // A match outlives the regex that made it.
    xrRegex::Match m;
    {
        xrRegex re;
        re.SetExpression(u",", 0);
        m = re.Search(u"a,b");
        re.SetExpression(u"b", 0);
    }
    Array<String> out;
    m.GetSplitStrings(out, 0);
    EXPECT_EQ(out.vector(), (Strings{u"a", u"b"}));
}

TEST(xrRegex, SubstituteAndCompileErrors) {
    struct Case {
        const char16_t* pattern;
        const char16_t* replacement;
        int options;
        const char16_t* text;
        const char16_t* expected;
    };
    const int g = xrRegex::Global;
    const Case cases[] = {
        {u"(\\w+)@", u"<$1>", 0, u"ab@ cd@", u"<ab> cd@"},
        {u"(?<w>\\w+)", u"${w}${1}$$", g, u"a b", u"aa$ bb$"},
        {u"a(b)?", u"[$1]", g, u"a ab", u"[] [b]"},
        {u"q", u"r", g, u"abc", u"abc"},
        {u"", u"-", g, u"ab", u"-a-b-"},
        {u"a", u"0123456789", g, u"aaa", u"012345678901234567890123456789"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(substitute(c.pattern, c.replacement, c.options, c.text), c.expected)
            << String(c.pattern).toUtf8() << " -> " << String(c.replacement).toUtf8();
    }
    // SetExpression keeps no replacement: matches are removed.
    xrRegex re;
    re.SetExpression(u"b", g);
    EXPECT_EQ(re.Substitute(u"abcb"), u"ac");
    EXPECT_EQ(failure([] { substitute(u"a", u"$2", 0, u"a"); }),
              "Regular expression substitution failed: unknown substring");
    // A pattern that does not compile drops the one compiled before.
    EXPECT_EQ(failure([&] { re.SetExpression(u"(a", 0); }),
              "Regular expression error at offset 2: missing closing parenthesis");
    EXPECT_FALSE(re.IsCompiled());
    EXPECT_EQ(failure([&] { re.IsMatch(u"a"); }), "Regular expression is not compiled");
}

TEST(xrRegex, OrdinaryPatternsWorkOnAMegabyteTextAndUnicodeSurrogates) {
    String text;
    for (int i = 0; i < 1024 * 1024; ++i)
        text.append(char16_t(i % 50 == 49 ? u'\n' : u'a' + i % 7));
    text.append(u"END42");
    EXPECT_EQ(groups(u"END(\\d+)$", text), (Strings{u"END42", u"42"}));
    // A repeated group records a backtracking point per character.
    EXPECT_TRUE(matches(u"^(?:[a-g]|\\n)*END", 0, text));
    EXPECT_EQ(substitute(u"\\n", u"", xrRegex::Global, text).length(), text.length() - 1024 * 1024 / 50);
    const String lone(std::u16string{u'a', char16_t(0xD800), u'b'});
    EXPECT_TRUE(matches(u"^.$", xrRegex::Unicode, u"\U0001F600"));
    EXPECT_FALSE(matches(u"^.$", 0, u"\U0001F600"));
    // A lone surrogate in the text is no error; under Unicode it is no character either.
    EXPECT_TRUE(matches(u"b", xrRegex::Unicode, lone));
    EXPECT_FALSE(matches(u"^a.b$", xrRegex::Unicode, lone));
    EXPECT_TRUE(matches(u"^a.b$", 0, lone));
    EXPECT_EQ(substitute(u"b", u"\U0001F600", xrRegex::Unicode, lone),
              String(std::u16string{u'a', char16_t(0xD800)} + u"\U0001F600"));
}
