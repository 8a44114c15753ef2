// What the control script cases cannot show: built-ins that talk to their host, run without any
// component context (embedded expressions and parameter texts run so), and which of them pass the
// statement check when used alone.

#include <gtest/gtest.h>

#include <functional>

#include "Failure.h"
#include "host/DataRecord.h"
#include "parser/ExpressionParser.h"

using namespace strand;
using strand::test::failure;

namespace {

// Parsed and run with no component context at all.
std::string runWithoutContext(const char16_t* text) {
    Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(text), nullptr);
    DataRecord record;
    ExpressionContext ctx(nullptr, &record);
    std::string result;
    const std::string failed = failure([&] { result = script->getString(ctx).toUtf8(); });
    return failed == "no failure" ? result : failed;
}

TEST(ControlFunctions, WithoutAContextDebuggingIsOffAndPathsAreUnresolvable) {
    EXPECT_EQ(runWithoutContext(u"'a' . debugMessage('x') . debugMessageError('y') . debugBreak('z') . 'b'"),
              "ab");
    EXPECT_EQ(
        runWithoutContext(u"fileexists('/') . filesize('/etc/passwd') . fileowner('/etc/passwd') . '|'"),
        "false-1|");
    EXPECT_EQ(runWithoutContext(u"sendmessagetoclient('hi'); 1"),
              "line 1, sendmessagetoclient: there is no client to send the message to.");
    EXPECT_EQ(runWithoutContext(u"cancalculate('p')"), "Unable to access the Component DataBase");
    EXPECT_EQ(runWithoutContext(u"removeglobal('g'); 1"), "remove: Global data is not available.");
}

TEST(ControlFunctions, ValueFunctionsThatMayGoUnusedPassTheStatementCheck) {
    for (const char16_t* text :
         {u"debugMessage('x')", u"debugMessageError('x')", u"debugBreak('x')", u"eval('1')",
          u"runprotocol('P')", u"filelastmodified('x')", u"terminate()", u"sleep(1)"}) {
        Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(text), nullptr);
        EXPECT_EQ(failure([&] { script->doesSomethingCheck(true); }), "no failure") << String(text).toUtf8();
    }
    Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(u"createGUID()"), nullptr);
    EXPECT_NE(failure([&] { script->doesSomethingCheck(true); }), "no failure");
}

// A reset forgets the script eval keeps, so that the next run parses its text again.
TEST(ControlFunctions, EvalParsesAgainAfterAReset) {
    Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(u"eval(#t)"), nullptr);
    ComponentContext component;
    DataRecord record;
    ExpressionContext ctx(&component, &record);
    ctx.getExpressionPropertyList(true)->define(String(u"t"), StringValue(String(u"1 + 1")), 0);
    EXPECT_EQ(script->getDouble(ctx), 2);
    script->Reset();
    ctx.getExpressionPropertyList(true)->define(String(u"t"), StringValue(String(u"2 + 2")), 0);
    EXPECT_EQ(script->getDouble(ctx), 4);
}

}  // namespace
