#include "host/Format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "host/Exception.h"

using strand::formatString;
using strand::String;

TEST(Format, TextsAreSixteenBitAndIntegersThirtyTwoUnlessAskedForMore) {
    String name(u"nosuch");
    EXPECT_EQ(formatString(u"line %d, Unknown function '%s'.", 1, name),
              u"line 1, Unknown function 'nosuch'.");
    EXPECT_EQ(formatString(u"%ls|%s|%S", u"a", String(u"b"), "c"), u"a|b|c");
    EXPECT_EQ(formatString(u"[%5s][%-5s][%.2s]", u"ab", u"ab", u"abcdef"), u"[   ab][ab   ][ab]");
    EXPECT_EQ(formatString(u"%s", String()), u"");
    EXPECT_EQ(formatString(u"\\%c|%c|%c", u'q', 233, char16_t(0x20AC)), u"\\q|\u00E9|\u20AC");
    EXPECT_EQ(formatString(u"(%ld)", -1), u"(-1)");
    EXPECT_EQ(formatString(u"(%d)", int64_t(4294967291LL)), u"(-5)");  // a 32-bit conversion
    EXPECT_EQ(formatString(u"(%lld)", int64_t(4294967291LL)), u"(4294967291)");
    EXPECT_EQ(formatString(u"%u %x %X %o", -1, 255, 255, 8), u"4294967295 ff FF 10");
    EXPECT_EQ(formatString(u"%05d|%-4d|%+d|% d|%.3d", 42, 7, 5, 5, 7), u"00042|7   |+5| 5|007");
    EXPECT_EQ(formatString(u"%#x %#o", 255, 8), u"0xff 010");
    EXPECT_EQ(formatString(u"%d", 2.9), u"2");
    EXPECT_EQ(formatString(u"%d", std::nan("")), u"-2147483648");
}

TEST(Format, DoublesIgnoreTheCLocaleAndOddDirectivesReadNoArgument) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may be missing; then the test still holds in "C"
    EXPECT_EQ(formatString(u"%5.2f|%e|%g|%G", 3.14159, 1234.5, 0.0001, 1e-10),
              u" 3.14|1.234500e+03|0.0001|1E-10");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(formatString(u"%.0f|%#.0f|%+.1f|%08.2f|%-8.1f|", 2.5, 2.0, 1.25, -3.5, 1.0),
              u"2|2.|+1.2|-0003.50|1.0     |");
    EXPECT_EQ(formatString(u"%#g", 1.0), u"1.00000");
    EXPECT_EQ(formatString(u"%f %f", INFINITY, -INFINITY), u"inf -inf");
    EXPECT_EQ(formatString(u"%5.1f", std::nan("")), u"  nan");
    EXPECT_EQ(formatString(u"100%%"), u"100%");
    EXPECT_EQ(formatString(u"%d and %s"), u" and ");
    EXPECT_EQ(formatString(u"%y %"), u"%y %");
    EXPECT_EQ(formatString(u"%*d", 5, 42), u"   42");
    EXPECT_EQ(formatString(u"%s", 3.0), u"3");
    EXPECT_EQ(formatString(u"%d", u"text"), u"text");
    EXPECT_EQ(formatString("narrow %s %d", u"wide", 3), u"narrow wide 3");
}

TEST(Format, PieceCapBoundsWidthAndPrecision) {
    String out;
    strand::FormatSpec spec;
    spec.conversion = u'd';
    spec.width = 999999999;
    strand::appendFormatted(out, spec, strand::FormatArg(7), 8192);
    // The first 8192 characters of the full piece: blanks only.
    EXPECT_EQ(out, String(8192, u' '));
    out.clear();
    spec.leftAlign = true;
    strand::appendFormatted(out, spec, strand::FormatArg(7), 8192);
    EXPECT_EQ(out.length(), 8192u);
    EXPECT_EQ(out[0], u'7');
    spec.leftAlign = false;
    out.clear();
    spec.conversion = u'f';
    spec.width = -1;
    spec.precision = 100000;
    strand::appendFormatted(out, spec, strand::FormatArg(1e300), 8192);
    EXPECT_EQ(out.length(), 8192u);
}

TEST(Format, ShortestDoubleTextAndTruncationToInt32) {
    struct Case {
        double value;
        const char16_t* text;
    };
    // The switches between fixed and exponent forms, and whole numbers below 2^53, which take the
    // integer path; at 2^53 and past it the shortest form. -0, 1e+21, NaN and -Infinity are in the
    // script cases (operators.eval, math.eval).
    const Case cases[] = {
        {0.0, u"0"},
        {1e20, u"100000000000000000000"},
        {1e-7, u"0.0000001"},
        {9.5e-8, u"9.5e-08"},
        {9223372036854775808.0, u"9223372036854775808"},
        {std::numeric_limits<double>::max(), u"1.7976931348623157e+308"},
        {std::numeric_limits<double>::denorm_min(), u"5e-324"},
        {9007199254740991.0, u"9007199254740991"},
        {9007199254740992.0, u"9007199254740992"},
        {-9007199254740994.0, u"-9007199254740994"},
        {1.0000000000000002, u"1.0000000000000002"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(strand::doubleToString(c.value), c.text);
    EXPECT_EQ(strand::truncToInt32(-2.9), -2);
    EXPECT_EQ(strand::truncToInt32(-0.5), 0);
    EXPECT_EQ(strand::truncToInt32(2147483647.9), 2147483647);
    // Whatever has no 32-bit integer form is INT32_MIN.
    for (double x : {-2147483648.9, 2147483648.0, -1e300, std::nan(""), double(INFINITY)})
        EXPECT_EQ(strand::truncToInt32(x), INT32_MIN) << x;
    EXPECT_EQ(strand::truncToInt64(9.3e18), INT64_MIN);
    EXPECT_EQ(strand::truncToInt64(-9.2e18), int64_t(-9.2e18));
}

TEST(Exception, MessagesFormatAndJoin) {
    strand::Exception e(u"line %d, Unexpected escape sequence \\%c", 3, u'q');
    e.appendMessage(u"%ls: Strandline exception caught", u"place");
    e.appendText(String(u"100% literal"));
    EXPECT_EQ(e.getMessage(), u"line 3, Unexpected escape sequence \\q");
    EXPECT_EQ(e.getErrorMessageBlock(),
              u"line 3, Unexpected escape sequence \\q\nplace: Strandline exception caught\n100% literal");
    EXPECT_STREQ(e.what(),
                 "line 3, Unexpected escape sequence \\q\nplace: Strandline exception caught\n100% literal");
    strand::Exception literal(String(u"%d%s"));
    EXPECT_EQ(literal.getMessage(), u"%d%s");
}
