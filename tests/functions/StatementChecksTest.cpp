// The statement check of the built-ins, which script cases cannot reach. Used alone as a statement, a
// value-returning built-in fails with the default text, or with its family's text naming an example
// assignment; void built-ins, and the few whose value may go unused, pass.

#include <gtest/gtest.h>

#include <string>

#include "Failure.h"
#include "parser/ExpressionParser.h"

using namespace strand;
using strand::test::failure;

namespace {

std::string checkLast(const char16_t* text) {
    Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(text), nullptr);
    return failure([&] { script->doesSomethingCheck(true); });
}

const std::string kNothing = "Statement doesn't appear to do anything.";

// The text of the functions that name themselves (bitsets, binary integers, strreplace).
std::string named(const char* name, const char* example) {
    return kNothing + " Try assigning the return value of the " + name + " function. E.g.:\n  " + example;
}
// The text of the date constructors.
std::string assign(const char* example) {
    return kNothing + " Try assigning the return value. E.g.:\n  " + example;
}

TEST(StatementCheck, ValueFunctionsFailWithTheDefaultText) {
    for (const char16_t* value :
         {u"abs(1)", u"mod(1, 2)", u"gaussianpdf(0, 0, 1)", u"sum(1, 2)", u"rand()", u"hashcode('a')",
          u"approx(1, 1, 1)", u"dateyear(d)", u"getdate()", u"dateisdst(d)", u"hashcreate()",
          u"hashnumvalues(0)", u"hashithkey(0, 1)", u"createGUID()"})
        EXPECT_EQ(checkLast(value), "line 1, " + kNothing) << String(value).toUtf8();
}

TEST(StatementCheck, EditsAndValuesThatMayGoUnusedPass) {
    for (const char16_t* edit :
         {u"bitsetresize(a, 2)", u"bitsetclear(a)", u"bitseton(a, 1)", u"bitsetoff(a, 1)",
          u"bitsetflipall(a)", u"x := bitsetcreate(3)", u"srand()", u"srand(5)", u"datesetyear(d, 2001)",
          u"dateadddays(d, 1)", u"datesetlocale('C')", u"datechangetimezone(d, 'UTC')", u"hashadd(0, 'a', 1)",
          u"hashdestroy(0)", u"hashclear(0)", u"hashremove(0, 'a')"})
        EXPECT_EQ(checkLast(edit), "no failure") << String(edit).toUtf8();
    for (const char16_t* value :
         {u"hashfind(0, 'a')", u"hashcontains(0, 'a')", u"hashfindindex(0, 'a')", u"hashithvalue(0, 1)",
          u"debugMessage('x')", u"debugMessageError('x')", u"debugBreak('x')", u"eval('1')",
          u"runprotocol('P')", u"filelastmodified('x')", u"terminate()", u"sleep(1)",
          u"convert_daylight_fingerprint(p)"})
        EXPECT_EQ(checkLast(value), "no failure") << String(value).toUtf8();
}

TEST(StatementCheck, FamiliesWithTheirOwnText) {
    const struct {
        const char16_t* script;
        std::string message;
    } cases[] = {
        {u"binaryand(a, b)", named("binaryand", "andval := binaryand(val1, val2);")},
        {u"binaryor(a, b)", named("binaryor", "andval := binaryor(val1, val2);")},
        {u"binaryxor(a, b)", named("binaryxor", "xorval := binaryxor(val1, val2);")},
        {u"binarynot(a)", named("binarynot", "notval := binarynot(val1);")},
        {u"bitsetand(a, b)", named("bitsetand", "newbitset := bitsetand(bs1, bs2);")},
        {u"bitsetcreate(8)", named("bitsetcreate", "newbitset := bitsetcreate(1024);")},
        {u"bitsetor(a, b)", named("bitsetor", "newbitset := bitsetor(bs1, bs2);")},
        {u"bitsetandnot(a, b)", named("bitsetandnot", "newbitset := bitsetandnot(bs1, bs2);")},
        {u"bitsetcount(a)", named("bitsetcount", "count := bitsetcount(bs1);")},
        {u"bitsetsize(a)", named("bitsetsize", "numBits := bitsetsize(bs1);")},
        {u"bitsettest(a, 1)", named("bitsettest", "bitIsOn := bitsettest(bs1, bit);")},
        {u"bitsetnext(a, 1)", named("bitsetnext", "nextBit := bitsetnext(bs1, bit);")},
        {u"strreplace(a, 'b', 'c')", named("strreplace", "newname := strreplace(name, '-', '_');")},
        {u"date('2001-11-12')", assign("d := date('2001-11-12', '%Y-%m-%d');")},
        {u"datecurrent()", assign("d := datecurrent();")},
        {u"DATEFROMYMD(2006, 12, 25)", assign("d := DateFromYMD(2006, 12, 25);")},
        {u"time('18:31:01')", assign("t := time('18:31:01', '%H:%M:%S');")},
        {u"timecurrent()", assign("t := timecurrent();")},
        {u"timefromHMS(13, 30, 0)", assign("t := timeFromHMS(13, 30, 0);")},
        {u"datetimecurrent()", assign("filetime := datetimecurrent();")},
        {u"datetime('2001-11-12 18:31:01')",
         assign("filetime := datetime('2001-11-12 18:31:01', '%Y-%m-%d %H:%M:%S');")},
        {u"datetimefromYMDHMS(2001, 12, 25, 12, 0, 0)",
         assign("filetime := datetimefromYMDHMS(2001, 12, 25, 12, 0, 0);")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkLast(c.script), "line 1, " + c.message) << String(c.script).toUtf8();
    // The line is the statement's own.
    EXPECT_EQ(checkLast(u"x := 1;\n\nbitsetcount(x)"),
              "line 3, " + named("bitsetcount", "count := bitsetcount(bs1);"));
    EXPECT_EQ(checkLast(u"x := 1;\n\ndatecurrent()"), "line 3, " + assign("d := datecurrent();"));
    // Conversions to bytes must be assigned.
    EXPECT_EQ(checkLast(u"compress('a')"),
              "You must assign the result of the 'compress' or 'uncompress' function.");
}

}  // namespace
