// The statement check of the bitset, binary and math built-ins, which script cases cannot reach: the
// value-returning bitset and binary functions name themselves and suggest an assignment; the editing
// functions pass; the math functions keep the default text.

#include <gtest/gtest.h>

#include <functional>

#include "parser/ExpressionParser.h"

using namespace strand;

namespace {

std::string checkLast(const char16_t* text) {
    Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(text), nullptr);
    try {
        script->doesSomethingCheck(true);
    } catch (const Exception& e) {
        return e.getErrorMessageBlock().toUtf8();
    }
    return "no failure";
}

TEST(BitsetFunctions, ResultsAloneFailTheStatementCheck) {
    struct Case {
        const char16_t* script;
        const char* name;
        const char* example;
    };
    const Case cases[] = {
        {u"binaryand(a, b)", "binaryand", "andval := binaryand(val1, val2);"},
        {u"binaryor(a, b)", "binaryor", "andval := binaryor(val1, val2);"},
        {u"binaryxor(a, b)", "binaryxor", "xorval := binaryxor(val1, val2);"},
        {u"binarynot(a)", "binarynot", "notval := binarynot(val1);"},
        {u"bitsetand(a, b)", "bitsetand", "newbitset := bitsetand(bs1, bs2);"},
        {u"bitsetcreate(8)", "bitsetcreate", "newbitset := bitsetcreate(1024);"},
        {u"bitsetor(a, b)", "bitsetor", "newbitset := bitsetor(bs1, bs2);"},
        {u"bitsetandnot(a, b)", "bitsetandnot", "newbitset := bitsetandnot(bs1, bs2);"},
        {u"bitsetcount(a)", "bitsetcount", "count := bitsetcount(bs1);"},
        {u"bitsetsize(a)", "bitsetsize", "numBits := bitsetsize(bs1);"},
        {u"bitsettest(a, 1)", "bitsettest", "bitIsOn := bitsettest(bs1, bit);"},
        {u"bitsetnext(a, 1)", "bitsetnext", "nextBit := bitsetnext(bs1, bit);"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            checkLast(c.script),
            std::string("line 1, Statement doesn't appear to do anything. Try assigning the return value of "
                        "the ") +
                c.name + " function. E.g.:\n  " + c.example)
            << c.name;
    EXPECT_EQ(
        checkLast(u"x := 1;\n\nbitsetcount(x)"),
        "line 3, Statement doesn't appear to do anything. Try assigning the return value of the bitsetcount "
        "function. E.g.:\n  count := bitsetcount(bs1);");
}

TEST(BitsetFunctions, EditsPassTheStatementCheck) {
    for (const char16_t* edit : {u"bitsetresize(a, 2)", u"bitsetclear(a)", u"bitseton(a, 1)",
                                 u"bitsetoff(a, 1)", u"bitsetflipall(a)", u"x := bitsetcreate(3)"})
        EXPECT_EQ(checkLast(edit), "no failure") << String(edit).toUtf8();
}

TEST(MathFunctions, StatementCheck) {
    for (const char16_t* value : {u"abs(1)", u"mod(1, 2)", u"gaussianpdf(0, 0, 1)", u"sum(1, 2)", u"pi()",
                                  u"rand()", u"hashcode('a')", u"approx(1, 1, 1)"})
        EXPECT_EQ(checkLast(value), "line 1, Statement doesn't appear to do anything.")
            << String(value).toUtf8();
    EXPECT_EQ(checkLast(u"srand()"), "no failure");
    EXPECT_EQ(checkLast(u"srand(5)"), "no failure");
}

}  // namespace
