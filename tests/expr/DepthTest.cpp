// Deep texts give a clear error from the parser, and trees long enough to need no parentheses are
// either evaluated or refused when parsed, never left to overflow the stack.

#include <gtest/gtest.h>

#include <algorithm>

#include "parser/ExpressionParser.h"

using namespace strand;

namespace {

String repeat(std::u16string_view piece, size_t times) {
    String s(String::View{});
    for (size_t i = 0; i < times; ++i)
        s.append(piece);
    return s;
}

std::string parseFailure(const String& text) {
    try {
        xrExpressionParser::ParseExpression(text, nullptr);
    } catch (const Exception& e) {
        return e.getErrorMessageBlock().toUtf8();
    }
    return "parsed";
}

const char* kTooDeep =
    "line 1, The script is nested too deeply: more than 200 levels of statements or parentheses.\n";

}  // namespace

TEST(Depth, DeepNestingIsAParseError) {
    EXPECT_EQ(
        parseFailure(String(u"x := ") + repeat(u"(", 100000).view() + u"1" + repeat(u")", 100000).view()),
        kTooDeep);
    EXPECT_EQ(parseFailure(repeat(u"IF a THEN ", 100000) + repeat(u"END IF; ", 100000).view()), kTooDeep);
    EXPECT_EQ(
        parseFailure(String(u"x := ") + repeat(u"-(", 100000).view() + u"1" + repeat(u")", 100000).view()),
        kTooDeep);
    // Unary minus cannot repeat without parentheses; the messages stop after the first hundred.
    const std::string minus = parseFailure(String(u"x := ") + repeat(u"- ", 100000).view() + u"1");
    EXPECT_EQ(minus.rfind("line 1:8: unexpected token: -\n", 0), 0u);
    EXPECT_EQ(std::count(minus.begin(), minus.end(), '\n'), 101);
    EXPECT_TRUE(minus.ends_with("Too many errors: only the first 100 are reported.\n"))
        << minus.substr(minus.size() - 200);
}

TEST(Depth, LongChainsEvaluateOrAreRefused) {
    ExpressionContext ctx;
    // A + chain is one node, however long.
    auto sum = xrExpressionParser::ParseExpression(String(u"0") + repeat(u" + 1", 100000).view(), nullptr);
    EXPECT_EQ(sum->getDouble(ctx), 100000);
    // A chain of - builds a tree as deep as it is long: up to the bound it runs and is released...
    auto minus = xrExpressionParser::ParseExpression(String(u"0") + repeat(u" - 1", 4999).view(), nullptr);
    EXPECT_EQ(minus->getDouble(ctx), -4999);
    minus = nullptr;
    // ...beyond it the parser refuses it.
    EXPECT_EQ(
        parseFailure(String(u"0") + repeat(u" - 1", 100000).view()),
        "line 1, The statement is too deeply nested: more than 5000 operations depend on one another. Split "
        "it into several statements.");
    EXPECT_EQ(parseFailure(String(u"x := 'a'") + repeat(u" . 'b'", 100000).view()).substr(0, 44),
              "line 1, The statement is too deeply nested: ");
}
