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

// Each limit holds at N and refuses N + 1, in the building and in the checking parser, and a script
// at the limit parses, runs and is released on a thread with a 1 MB stack.
struct Limit {
    const char* what;
    String (*text)(int n);
    int n;
    const char* message;  // of N + 1; null when only the building parser has the limit
    bool checkingToo;
};

const char* kTooLong =
    "line 1, The statement is too deeply nested: more than 5000 operations depend on one another. Split it "
    "into several statements.";

const Limit kLimits[] = {
    {"parentheses",
     [](int n) { return String(u"x := ") + repeat(u"(", n).view() + u"1" + repeat(u")", n).view(); }, 200,
     kTooDeep, true},
    {"an assignment chain", [](int n) { return repeat(u"a := ", size_t(n) + 1) + u"1"; }, 200, kTooDeep,
     true},
    {"statements",
     [](int n) { return repeat(u"IF 1 THEN ", n) + u"x := 1; " + repeat(u"END IF; ", n).view(); }, 200,
     kTooDeep, true},
    {"loops",
     [](int n) {
         return repeat(u"FOR #i IN 1 .. 1 LOOP ", n) + u"x := 1; " + repeat(u"END LOOP; ", n).view();
     },
     200, kTooDeep, true},
    {"indexes",
     [](int n) { return String(u"x := ") + repeat(u"y[", n).view() + u"1" + repeat(u"]", n).view(); }, 200,
     kTooDeep, true},
    {"negated parentheses",
     [](int n) { return String(u"x := ") + repeat(u"-(", n).view() + u"1" + repeat(u")", n).view(); }, 200,
     kTooDeep, true},
    {"operations", [](int n) { return String(u"0") + repeat(u" - 1", n).view(); }, 5000, kTooLong, false},
    {"joined texts", [](int n) { return String(u"'a'") + repeat(u" . 'b'", n).view(); }, 5000, kTooLong,
     false},
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

TEST(Depth, EveryLimitHoldsAtNAndRefusesNPlusOneOnASmallStack) {
    for (const Limit& limit : kLimits) {
        SCOPED_TRACE(limit.what);
        onStack(kStackBytes, [&] {
            const String atLimit = limit.text(limit.n);
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
            EXPECT_EQ(parseFailure(limit.text(limit.n + 1)), limit.message);
            Array<String> messages;
            EXPECT_FALSE(xrExpressionParser::CheckExpression(atLimit, messages));
            if (!limit.checkingToo)
                return;
            EXPECT_TRUE(xrExpressionParser::CheckExpression(limit.text(limit.n + 1), messages));
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].toUtf8() + "\n", limit.message);
        });
    }
}

TEST(Depth, DeepNestingIsAParseError) {
    EXPECT_EQ(
        parseFailure(String(u"x := ") + repeat(u"(", 100000).view() + u"1" + repeat(u")", 100000).view()),
        kTooDeep);
    EXPECT_EQ(parseFailure(repeat(u"IF a THEN ", 100000) + repeat(u"END IF; ", 100000).view()), kTooDeep);
    EXPECT_EQ(parseFailure(repeat(u"a := ", 100000) + u"1"), kTooDeep);
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

// A hundred messages are all reported; in place of the hundred and first, a note that there were
// more (every third minus sign here is one message).
TEST(Depth, AHundredMessagesAtMost) {
    const std::string hundred = parseFailure(String(u"x := ") + repeat(u"- ", 301).view() + u"1");
    EXPECT_EQ(std::count(hundred.begin(), hundred.end(), '\n'), 100);
    EXPECT_EQ(hundred.find("Too many errors"), std::string::npos);
    const std::string more = parseFailure(String(u"x := ") + repeat(u"- ", 302).view() + u"1");
    EXPECT_EQ(std::count(more.begin(), more.end(), '\n'), 101);
    EXPECT_TRUE(more.ends_with(
        "line 1:602: unexpected token: -\nToo many errors: only the first 100 are reported.\n"))
        << more.substr(more.size() - 200);
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
