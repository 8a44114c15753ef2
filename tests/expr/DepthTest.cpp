// Deep texts give a clear error from the parser, and trees long enough to need no parentheses are
// either evaluated or refused when parsed, never left to overflow the stack.

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <functional>

#include "host/DataRecord.h"
#include "parser/ExpressionParser.h"

using namespace strand;

namespace {

String repeat(std::u16string_view piece, size_t times) {
    String s(String::View{});
    for (size_t i = 0; i < times; ++i)
        s.append(piece);
    return s;
}

// head, n times open, middle, n times close.
String nested(std::u16string_view head, std::u16string_view open, size_t n, std::u16string_view middle,
              std::u16string_view close) {
    return String(head) + repeat(open, n).view() + middle + repeat(close, n).view();
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
const char* kTooLong =
    "line 1, The statement is too deeply nested: more than 5000 operations depend on one another. Split it "
    "into several statements.";

// Each limit holds at N and refuses N + 1 in the building parser, and in the checking parser too when
// `checkingToo`; a script at the limit parses, runs and is released on a thread with a 1 MB stack.
struct Limit {
    const char16_t *head, *open, *middle, *close;
    int n;
    const char* message;  // of N + 1
    bool checkingToo;
};

const Limit kLimits[] = {
    {u"x := ", u"(", u"1", u")", 200, kTooDeep, true},
    {u"a := ", u"a := ", u"1", u"", 200, kTooDeep, true},
    {u"", u"IF 1 THEN ", u"x := 1; ", u"END IF; ", 200, kTooDeep, true},
    {u"", u"FOR #i IN 1 .. 1 LOOP ", u"x := 1; ", u"END LOOP; ", 200, kTooDeep, true},
    {u"x := ", u"y[", u"1", u"]", 200, kTooDeep, true},
    {u"x := ", u"-(", u"1", u")", 200, kTooDeep, true},
    {u"x := ", u"abs(", u"1", u")", 200, kTooDeep, true},
    {u"0", u" - 1", u"", u"", 5000, kTooLong, false},
    {u"'a'", u" . 'b'", u"", u"", 5000, kTooLong, false},
};

// Runs `body` on a thread of its own with a stack of `bytes`.
void onStack(size_t bytes, const std::function<void()>& body) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread;
    auto run = [](void* p) -> void* {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&body)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// The sanitizers make every frame several times larger.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kStackBytes = size_t(4) << 20;
#else
constexpr size_t kStackBytes = size_t(1) << 20;
#endif

}  // namespace

TEST(Depth, EveryLimitHoldsAtNAndRefusesNPlusOneOnASmallStack) {
    for (const Limit& limit : kLimits) {
        auto text = [&](int n) {
            return nested(limit.head, limit.open, size_t(n), limit.middle, limit.close);
        };
        SCOPED_TRACE(String(limit.open).toUtf8());
        onStack(kStackBytes, [&] {
            const String atLimit = text(limit.n);
            Ptr<xrExpressionListImp> script;
            EXPECT_NO_THROW(script = xrExpressionParser::ParseExpression(atLimit, nullptr));
            if (script) {
                ComponentContext component;
                DataRecord record;
                ExpressionContext ctx(&component, &record);
                try {
                    script->evaluate(ctx);
                } catch (const Exception&) {
                    // What the script does is not the question; that it runs and ends is.
                }
                script = nullptr;
            }
            EXPECT_EQ(parseFailure(text(limit.n + 1)), limit.message);
            Array<String> messages;
            EXPECT_FALSE(xrExpressionParser::CheckExpression(atLimit, messages));
            if (!limit.checkingToo)
                return;
            EXPECT_TRUE(xrExpressionParser::CheckExpression(text(limit.n + 1), messages));
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].toUtf8() + "\n", limit.message);
        });
    }
}

// However deep, nesting ends the parse with the one message; a hundred messages are all reported, and
// in place of the hundred and first, a note that there were more (every third minus sign here is one
// message: unary minus cannot repeat without parentheses).
TEST(Depth, DeepNestingIsOneMessageAndMessagesStopAtAHundred) {
    EXPECT_EQ(parseFailure(nested(u"x := ", u"(", 100000, u"1", u")")), kTooDeep);
    const std::string hundred = parseFailure(String(u"x := ") + repeat(u"- ", 301).view() + u"1");
    EXPECT_EQ(std::count(hundred.begin(), hundred.end(), '\n'), 100);
    EXPECT_EQ(hundred.find("Too many errors"), std::string::npos);
    for (const size_t minuses : {302, 100000}) {
        const std::string more = parseFailure(String(u"x := ") + repeat(u"- ", minuses).view() + u"1");
        EXPECT_EQ(more.rfind("line 1:8: unexpected token: -\n", 0), 0u);
        EXPECT_EQ(std::count(more.begin(), more.end(), '\n'), 101);
        EXPECT_TRUE(more.ends_with(
            "line 1:602: unexpected token: -\nToo many errors: only the first 100 are reported.\n"))
            << more.substr(more.size() - 200);
    }
}

// A + chain is one node, however long; a chain of - builds a tree as deep as it is long, and up to the
// bound it runs and is released.
TEST(Depth, LongChainsEvaluate) {
    ExpressionContext ctx;
    auto sum = xrExpressionParser::ParseExpression(String(u"0") + repeat(u" + 1", 100000).view(), nullptr);
    EXPECT_EQ(sum->getDouble(ctx), 100000);
    auto minus = xrExpressionParser::ParseExpression(String(u"0") + repeat(u" - 1", 4999).view(), nullptr);
    EXPECT_EQ(minus->getDouble(ctx), -4999);
}
