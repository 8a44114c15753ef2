// Hostile texts never crash or hang the checker: deep nesting is bounded and reported, huge texts are
// checked in one pass, and stray code units give messages.

#include <gtest/gtest.h>

#include <string_view>
#include <thread>

#include "parser/ExpressionParser.h"

using strand::String;

namespace {

String repeat(std::u16string_view piece, size_t times) {
    String s(String::View{});
    s.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i)
        s.append(piece);
    return s;
}

strand::Array<String> check(const String& text, bool expectErrors) {
    strand::Array<String> messages;
    EXPECT_EQ(xrExpressionParser::CheckExpression(text, messages), expectErrors);
    return messages;
}

const char16_t kTooDeep[] =
    u"line 1, The script is nested too deeply: more than 200 levels of statements or parentheses.";

String nested(std::u16string_view open, size_t n, std::u16string_view close) {
    return String(u"x := ") + repeat(open, n).view() + u"1" + repeat(close, n).view();
}

}  // namespace

// However deep the nesting, the check ends with the one message (the limit itself is DepthTest's).
TEST(CheckRobustness, DeepNestingEndsWithOneMessage) {
    for (const String& text : {nested(u"(", 100000, u")"), nested(u"abs(", 100000, u")"),
                               repeat(u"IF a THEN ", 100000) + repeat(u"END IF; ", 100000).view()}) {
        auto messages = check(text, true);
        ASSERT_EQ(messages.size(), 1u) << text.toUtf8().substr(0, 20);
        EXPECT_EQ(messages[0], kTooDeep) << text.toUtf8().substr(0, 20);
    }
}

// Loops within the bound, and flat texts of any length, which need no stack.
TEST(CheckRobustness, NestingWithinTheBoundAndLongFlatTextsAreFine) {
    check(repeat(u"WHILE a LOOP ", 60) + u"BREAK; " + repeat(u"END LOOP; ", 60).view(), false);
    check(String(u"x := 1") + repeat(u" - 1", 100000).view(), false);
    check(String(u"x := 1") + repeat(u" + a . 'b'", 100000).view(), false);
}

TEST(CheckRobustness, TenMegabyteScript) {
    String script = repeat(u"total := total + price * 2; name := 'item' . code;\n", 200000);
    ASSERT_GT(script.length(), 10'000'000u);
    EXPECT_TRUE(check(script, false).isEmpty());
    // An error near the end of a long text still names its line.
    script.append(u"x := ;");
    auto messages = check(script, true);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], u"line 200001:6: unexpected token: ;");
}

TEST(CheckRobustness, StrayCodeUnits) {
    const char16_t lone[] = {u'x', 0xD800, u' ',   u':', u'=', u' ', u'\'', 0xDFFF, u'\'',
                             u';', u' ',   0xDC00, u' ', u':', u'=', u' ',  u'1',   0};
    check(String(lone), false);
    auto control = check(String(u"x := 1 \u0007"), true);
    ASSERT_EQ(control.size(), 1u);
    EXPECT_EQ(control[0], u"line 1:8: unexpected char: \u0007");
}

TEST(CheckRobustness, ChecksRunFromManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 300; ++i) {
                strand::Array<String> messages;
                String text =
                    strand::formatString(u"x := 1 + %d; IF x THEN y := substring('abc', %d); END IF", i, t);
                if (xrExpressionParser::CheckExpression(text, messages) || !messages.isEmpty())
                    ++wrong;
                if (!xrExpressionParser::CheckExpression(String(u"x := (1 +"), messages))
                    ++wrong;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(ParseRobustness, TheMessagePastTheHundredthEndsTheParseAsAnError) {
    // Found by fuzzing: a parse whose hundred-and-first message came from a failure of the parser's
    // runtime let the reporter's internal stop escape to the caller, which ended the process.
    const char bytes[] =
        "\xe3\xdf\x2b\x22\xa7\xa7\xa7\xa7\xa7\xa7\xa7\xd6\x45\x5c\x34\xa7\xa7\xff\xff\xff\xff\xff"
        "\xff\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d"
        "\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d"
        "\x0d\x8d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x4c\x4f\x4f\x50\x0d\x0d\x0d\x0d\x0d\x0d\x0d\xff"
        "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d"
        "\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\xf3\xfc\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d"
        "\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\x0d\xff\xff\xff\xa7\x85\x4c\x63\xa7\xa7\x49\x4b"
        "\xd6\x45\x3d\x20\x2e\x2e\x22\x62\x5c\x6d\x65\x41\x20\x4c\x49";
    const String text = String::fromUtf8(std::string_view(bytes, sizeof bytes - 1));
    try {
        xrExpressionParser::ParseExpression(text, nullptr);
        ADD_FAILURE() << "the parse succeeded";
    } catch (const strand::Exception& e) {
        EXPECT_NE(e.getErrorMessageBlock().toUtf8().find("Too many errors"), std::string::npos);
    }
}
