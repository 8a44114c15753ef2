#include "host/Util.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "host/ValueUtil.h"

using namespace strand;

TEST(Util, StringToDoubleReadsTheLongestPrefixWhateverTheCLocale) {
    struct Case {
        const char16_t* text;
        double value;
        size_t used;
    };
    const Case cases[] = {
        {u"  -1.5e3x", -1500, 8},
        {u"+7", 7, 2},
        {u"+-7", 0, 0},
        {u".5", 0.5, 2},
        {u"5.", 5, 2},
        {u"1e+", 1, 1},
        {u"1.5.3", 1.5, 3},
        {u"abc", 0, 0},
        {u"", 0, 0},
        {u"0x10", 0, 1},
        {u"1e999", INFINITY, 5},
        {u"1e-999", 0, 6},
        {u"Infinity", INFINITY, 8},
        {u"-inf", -INFINITY, 4},
        {u"\u00A01", 0, 0},  // only ASCII white space is skipped
    };
    for (const Case& c : cases) {
        size_t used = 99;
        double v = util::stringToDouble(c.text, &used);
        EXPECT_EQ(v, c.value) << String(c.text).toUtf8();
        EXPECT_EQ(used, c.used) << String(c.text).toUtf8();
    }
    EXPECT_TRUE(std::isnan(util::stringToDouble(u"NaN")));
    EXPECT_EQ(util::stringToDouble(u"1e-310"), 1e-310);
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no de_DE locale on this machine";
    EXPECT_EQ(util::stringToDouble(u"1.5"), 1.5);
    EXPECT_EQ(util::stringToDouble(u"1e999"), INFINITY);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Util, CoercionTests) {
    EXPECT_TRUE(util::canCoerceToDouble(String(u"1e3"), true));
    EXPECT_TRUE(util::canCoerceToDouble(String(u" 2.5 "), true));
    EXPECT_FALSE(util::canCoerceToDouble(String(u"2.5kg"), true));
    EXPECT_TRUE(util::canCoerceToDouble(String(u"2.5kg"), false));
    EXPECT_FALSE(util::canCoerceToDouble(String(u""), true));
    EXPECT_TRUE(util::canCoerceToInteger(String(u"-12"), true));
    EXPECT_FALSE(util::canCoerceToInteger(String(u"12.0"), true));
    EXPECT_FALSE(util::canCoerceToInteger(String(u"9223372036854775808"), true));
    EXPECT_TRUE(util::canCoerceToInteger(String(u"-9223372036854775808"), true));
    EXPECT_TRUE(util::canCoerceToInteger(String(u"12abc"), false));
    EXPECT_FALSE(util::canCoerceToInteger(String(u"-"), false));
    for (const char16_t* yes : {u"true", u"FALSE", u" 1 ", u"0", u"1."}) {
        EXPECT_TRUE(util::canCoerceToBoolean(String(yes))) << String(yes).toUtf8();
    }
    for (const char16_t* no : {u"yes", u"2", u"", u"tru"})
        EXPECT_FALSE(util::canCoerceToBoolean(String(no)));
}

TEST(Util, JoinSplitExpandAndGuids) {
    Array<String> parts = util::splitText(String(u"a;;b"), u";");
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1], u"");
    EXPECT_EQ(util::multipleStringsToSingleString(parts, u", "), u"a, , b");
    EXPECT_EQ(util::splitText(String(u""), u";").size(), 0u);
    EXPECT_EQ(util::splitText(String(u"abc"), u"").size(), 1u);
    EXPECT_EQ(util::expandTextValue(String(u"x--y"), u"--")->getSize(), 2);
    CPropertyCollection c;
    util::defineByteArrayValue(c, String(u"b"), Array<uint8_t>{1, 255});
    EXPECT_EQ(c.get(0)->getValue().toString(), u"01FF");
    String a = util::createGuid(), b = util::createGuid();
    EXPECT_EQ(a.length(), 38u);
    EXPECT_EQ(a[0], u'{');
    EXPECT_EQ(a[37], u'}');
    EXPECT_EQ(a[9], u'-');
    EXPECT_NE(a, b);
}
