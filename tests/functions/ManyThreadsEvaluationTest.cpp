// Scripts evaluated on several threads at once, each thread with its own script, its own component
// context and its own records, while other threads parse and check: what one thread's built-ins keep
// between calls (compiled patterns, the format scratch, the JIT stack, the loop counter's property)
// must never be another's. Run under ThreadSanitizer by `make tsan`.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "host/Context.h"
#include "host/DataRecord.h"
#include "parser/ExpressionParser.h"

using namespace strand;

namespace {

constexpr int kEvaluators = 8;
constexpr int kParsers = 4;
constexpr int kRecords = 400;

const char16_t* const kScript =
    u"label := toupper(name) . '-' . substring(code, 1, 3) . '#' . id;\n"
    u"masked := rsubst(text, '[0-9]+', '#');\n"
    u"third := format('%.2f', price / 3);\n"
    u"#acc := 0;\n"
    u"FOR i IN 1 .. 10 LOOP #acc += i; END LOOP;\n"
    u"loopsum := #acc + qty;\n"
    u"@n += 1;\n"
    u"seq := @n;\n"
    u"kept := rmatch(text, '([a-z]+) ([0-9]+)')";

std::string textOf(const iPropertyCollection& list, const char16_t* name) {
    const iProperty* property = list.find(String(name));
    return property ? property->getValue().toString().toUtf8() : "(missing)";
}

// One thread's run: its own records, each checked against what the script must give.
int evaluateOwnRecords(int thread) {
    ComponentContext component;
    component.getGlobalProperties()->define(String(u"n"), DoubleValue(0), 0);
    Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(kScript), &component);
    int wrong = 0;
    for (int k = 1; k <= kRecords; ++k) {
        DataRecord record;
        iPropertyCollection& list = *record.getPropertyList();
        const std::string name = "w" + std::to_string(thread) + "_r" + std::to_string(k);
        const std::string code = "c" + std::to_string(thread) + "x" + std::to_string(k);
        const std::string text = "bay " + std::to_string(k * 7) + " to " + std::to_string(thread);
        const double price = k * 0.25 + thread;
        const int64_t qty = k % 9;
        list.define(String(u"id"), IntegerValue(k), 0);
        list.define(String(u"name"), StringValue(String::fromUtf8(name)), 0);
        list.define(String(u"code"), StringValue(String::fromUtf8(code)), 0);
        list.define(String(u"text"), StringValue(String::fromUtf8(text)), 0);
        list.define(String(u"price"), DoubleValue(price), 0);
        list.define(String(u"qty"), IntegerValue(qty), 0);
        ExpressionContext ctx(&component, &record);
        script->evaluate(ctx);

        std::string upper = name;
        for (char& c : upper)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        char third[64];
        std::snprintf(third, sizeof third, "%.2f", price / 3);
        wrong += textOf(list, u"label") != upper + "-" + code.substr(0, 3) + "#" + std::to_string(k);
        wrong += textOf(list, u"masked") != "bay # to " + std::to_string(thread);
        wrong += textOf(list, u"third") != third;
        wrong += textOf(list, u"loopsum") != std::to_string(55 + qty);
        wrong += textOf(list, u"seq") != std::to_string(k);
        wrong += textOf(list, u"kept") != "bay " + std::to_string(k * 7) + ";bay;" + std::to_string(k * 7);
    }
    return wrong;
}

// A parser thread: parses and checks scripts of its own, good and bad, over and over.
int parseAndCheck(int thread) {
    int wrong = 0;
    for (int i = 0; i < 150; ++i) {
        const String good =
            formatString(u"x := format('%%d-%%s', %d, 'p%d'); y := rsubst(x, '-', '+')", i, thread);
        Array<String> messages;
        if (xrExpressionParser::CheckExpression(good, messages) || !messages.isEmpty())
            ++wrong;
        DataRecord record;
        ExpressionContext ctx(nullptr, &record);
        xrExpressionParser::ParseExpression(good, nullptr)->evaluate(ctx);
        if (textOf(*record.getPropertyList(), u"y") != std::to_string(i) + "+p" + std::to_string(thread))
            ++wrong;
        if (!xrExpressionParser::CheckExpression(String(u"x := substring('abc',"), messages))
            ++wrong;
    }
    return wrong;
}

}  // namespace

TEST(ManyThreadsEvaluation, EachThreadEvaluatesItsOwnScriptOverItsOwnRecordsWhileOthersParse) {
    std::atomic<int> wrong{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kEvaluators + kParsers; ++t) {
        threads.emplace_back([t, &wrong, &failed] {
            try {
                wrong += t < kEvaluators ? evaluateOwnRecords(t) : parseAndCheck(t);
            } catch (const Exception& e) {
                ADD_FAILURE() << "thread " << t << ": " << e.getErrorMessageBlock().toUtf8();
                ++failed;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
}
