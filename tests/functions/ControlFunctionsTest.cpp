// What the control script cases cannot show: built-ins that talk to their host, run without any
// component context (embedded expressions and parameter texts run so), and eval across a reset.

#include <gtest/gtest.h>

#include "Failure.h"
#include "host/DataRecord.h"
#include "parser/ExpressionParser.h"

using namespace strand;
using strand::test::failure;

namespace {

TEST(ControlFunctions, WithoutAContextDebuggingIsOffAndPathsAreUnresolvable) {
    const struct {
        const char16_t* script;
        const char* result;
    } cases[] = {
        {u"'a' . debugMessage('x') . debugMessageError('y') . debugBreak('z') . 'b'", "ab"},
        {u"fileexists('/') . filesize('/etc/passwd') . fileowner('/etc/passwd') . '|'", "false-1|"},
        {u"sendmessagetoclient('hi'); 1",
         "line 1, sendmessagetoclient: there is no client to send the message to."},
        {u"cancalculate('p')", "Unable to access the Component DataBase"},
        {u"removeglobal('g'); 1", "remove: Global data is not available."},
    };
    for (const auto& c : cases) {
        Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(c.script), nullptr);
        DataRecord record;
        ExpressionContext ctx(nullptr, &record);
        std::string result;
        const std::string failed = failure([&] { result = script->getString(ctx).toUtf8(); });
        EXPECT_EQ(failed == "no failure" ? result : failed, c.result);
    }
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
