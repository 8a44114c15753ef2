// What script cases cannot show: scripts run against several records, the statement check, node
// contexts, clones, random sources, and variables whose properties change under them.

#include <gtest/gtest.h>

#include <thread>

#include "Failure.h"
#include "expr/Variables.h"
#include "host/ArrayValues.h"
#include "parser/ExpressionParser.h"

using namespace strand;
using strand::test::failure;

namespace {

Ptr<xrExpressionListImp> parse(const char16_t* text, iContext* context = nullptr) {
    return xrExpressionParser::ParseExpression(String(text), context);
}

iProperty* set(DataRecord& record, const char16_t* name, const Value& value) {
    return record.getPropertyList()->define(String(name), value, 0);
}

}  // namespace

TEST(Script, RunsAgainstEachRecordItIsGiven) {
    ComponentContext component;
    auto script = parse(u"total := price * qty; @runs := @runs + 1; total", &component);
    component.getGlobalProperties()->define(String(u"runs"), DoubleValue(0), 0);
    DataRecord first, second, empty;
    set(first, u"price", DoubleValue(2));
    set(first, u"qty", IntegerValue(3));
    set(second, u"qty", DoubleValue(10));
    set(second, u"price", DoubleValue(0.5));
    ExpressionContext ctx(&component, &first);
    EXPECT_EQ(script->getDouble(ctx), 6);
    ctx.setDataRecord(&second);
    EXPECT_EQ(script->getDouble(ctx), 5);  // bindings were dropped: the second record's own properties
    EXPECT_EQ(component.getGlobalProperties()->get(String(u"runs"))->getValue().getDouble(), 2);
    ctx.setDataRecord(&empty);
    EXPECT_NE(failure([&] { script->getDouble(ctx); }).find("property 'price'"), std::string::npos);
}

TEST(Script, UniqueRemembersAcrossRecordsUntilReset) {
    auto script = parse(u"name unique");
    auto run = [&](const char16_t* name) {
        DataRecord record;
        set(record, u"name", StringValue(String(name)));
        ExpressionContext ctx(nullptr, &record);
        return script->getBool(ctx);
    };
    EXPECT_TRUE(run(u"a"));
    EXPECT_FALSE(run(u"A"));
    EXPECT_TRUE(run(u"b"));
    EXPECT_FALSE(run(u"a"));
    script->Reset();
    EXPECT_TRUE(run(u"a"));
}

TEST(Script, LikeNeverReusesAFailedPattern) {
    auto script = parse(u"'abc' LIKE p");
    DataRecord record;
    iProperty* p = set(record, u"p", StringValue(String(u"a%")));
    ExpressionContext ctx(nullptr, &record);
    EXPECT_TRUE(script->getBool(ctx));
    p->setValue(u"a[");
    const std::string error = failure([&] { script->getBool(ctx); });
    EXPECT_EQ(error.rfind("line 1, Error parsing expression in the LIKE clause:", 0), 0u) << error;
    EXPECT_EQ(failure([&] { script->getBool(ctx); }), error);
    p->setValue(u"%c");
    EXPECT_TRUE(script->getBool(ctx));
}

TEST(Script, StatementCheck) {
    struct Case {
        const char16_t* text;
        bool checkLast;
        const char* error;
    };
    const Case cases[] = {
        {u"3", true, "line 1, Statement doesn't appear to do anything."},
        {u"3", false, "no failure"},
        {u"'text'", true, "line 1, Statement doesn't appear to do anything."},
        {u"true", true, "no failure"},
        {u"x = 5", true,
         "line 1, Equality test (=) found instead of assignment (:=).Statement doesn't appear to do "
         "anything."},
        {u"x == 5", true,
         "line 1, Numeric equality test (==/!==) found instead of an assignment (:=).Statement doesn't "
         "appear to do anything."},
        {u"x != 5", true, "line 1, Statement doesn't appear to do anything."},
        {u"x := 1;\ny + 1;\nz := 2", false, "line 2, Statement doesn't appear to do anything."},
        {u"IF a THEN x := 1; ELSE 2; END IF", true, "line 1, Statement doesn't appear to do anything."},
        {u"IF a THEN x := 1; ELSE 2; END IF", false, "no failure"},
        {u"WHILE a LOOP x; END LOOP", true, "line 1, Statement doesn't appear to do anything."},
        {u"x unique; c ? a : b; x++; BREAK; RETURN 1", true, "no failure"},
        {u"", true, "no failure"},
    };
    for (const Case& c : cases) {
        auto script = parse(c.text);
        EXPECT_EQ(failure([&] { script->doesSomethingCheck(c.checkLast); }), c.error)
            << String(c.text).toUtf8();
    }
}

TEST(Script, ExpressionListsAndTheParserObject) {
    auto list = xrExpressionParser::ParseExpressionList(String(u"1, 'a', x + 2"), nullptr);
    ASSERT_EQ(list->Size(), 3u);
    DataRecord record;
    set(record, u"x", DoubleValue(1));
    ExpressionContext ctx(nullptr, &record);
    EXPECT_EQ(list->Element(2)->AsDouble(ctx), 3);
    EXPECT_EQ(xrExpressionParser::ParseExpressionList(String(u""), nullptr)->Size(), 0u);
    EXPECT_EQ(failure([] { xrExpressionParser::ParseExpressionList(String(u"1;2"), nullptr); }),
              "line 1:2: expecting EOF, found ';'\n");
    EXPECT_EQ(failure([] { xrExpressionParser::ParseExpressionList(String(u"a := 1, b"), nullptr); }),
              "line 1:3: expecting EOF, found ':='\n");
    EXPECT_EQ(xrExpressionParser::ParseExpressionList(String(u"(a := 1), b"), nullptr)->Size(), 2u);
    EXPECT_THROW(list->Element(3), InvalidIndexException);

    Ptr<xrExpressionParser> parser = makePtr<xrExpressionParser>();
    iExpression* expression = parser->parseExpression(String(u"2 * 21"), nullptr);
    ExpressionContext bare;
    EXPECT_EQ(expression->getDouble(bare), 42);
    EXPECT_THROW(parser->parseExpression(String(u"2 *"), nullptr), Exception);
}

TEST(Script, NodeContextsBorrowARecordOnlyWhileTheyRun) {
    BaseNode node(String(u"molecule"));
    ExpressionContext ctx;
    ctx.setForNode(&node);
    EXPECT_EQ(parse(u"IF true THEN x := 1; END IF; x + 1")->getDouble(ctx), 2);
    EXPECT_EQ(ctx.getDataRecord(), nullptr);
    EXPECT_EQ(node.getProperties()->get(String(u"x"))->getValue().getDouble(), 1);
    EXPECT_EQ(parse(u"x := 5; RETURN x")->getDouble(ctx), 5);
    EXPECT_THROW(parse(u"y := 1; z := nothere")->evaluate(ctx), Exception);
    EXPECT_EQ(ctx.getDataRecord(), nullptr);
    EXPECT_EQ(node.getProperties()->get(String(u"y"))->getValue().getDouble(), 1);
}

TEST(Script, ClonesShareTheTree) {
    auto script = parse(u"x := x + 1");
    Ptr<xrExpressionListImp> copy = script->clone();
    DataRecord record;
    set(record, u"x", DoubleValue(1));
    ExpressionContext ctx(nullptr, &record);
    EXPECT_EQ(copy->getDouble(ctx), 2);
    EXPECT_EQ(script->getDouble(ctx), 3);
}

// The script below is gone after its statement; its random source lives on in the context, seeded
// 3333 like every script's.
TEST(Script, ContextsHoldTheRandomSourceTheyAreGiven) {
    ExpressionContext ctx, fresh;
    parse(u"true")->evaluate(ctx);
    ASSERT_NE(ctx.getRandom(), nullptr);
    fresh.seedRandom(3333);
    EXPECT_EQ(ctx.getRandomDouble(), fresh.getRandomDouble());
}

TEST(Variables, APropertyMadeAgainUnderAnotherNameIsNotTheOldOne) {
    // A record's properties past its fields come back as spares and are made again for the next
    // record, at the same address, under whatever name the script stores next.
    ComponentContext component;
    xrExpressionVariableFactory factory(&component);
    xrVariableRef a = factory.GetVariable(String(u"a"), xrExpressionVariableInterface::Local);
    DataRecord record;
    auto& list = static_cast<CPropertyCollection&>(*record.getPropertyList());
    list.define(String(u"id"), IntegerValue(1), 0);
    list.define(String(u"a"), DoubleValue(1), 0);
    const iProperty* made = list.at(1);
    ExpressionContext ctx(&component, &record);
    EXPECT_EQ(a->GetDouble(ctx), 1);
    list.truncate(1);
    list.define(String(u"b"), DoubleValue(2), 0);
    ASSERT_EQ(list.at(1), made);
    EXPECT_THROW(a->GetDouble(ctx), xrExpressionUnboundException);
    list.truncate(1);
    list.define(String(u"a"), DoubleValue(3), 0);
    EXPECT_EQ(a->GetDouble(ctx), 3);
    a->SetDouble(ctx, 4);
    EXPECT_EQ(list.at(1)->getValue().getDouble(), 4);
}

TEST(Variables, RefusedStoresLeaveTheOldValue) {
    xrExpressionVariableFactory factory(nullptr);
    DataRecord record;
    ExpressionContext ctx(nullptr, &record);
    xrVariableRef local = factory.GetVariable(String(u"b"), xrExpressionVariableInterface::ExpressionLocal);
    xrVariableRef data = factory.GetVariable(String(u"b"), xrExpressionVariableInterface::Local);
    ByteArrayValue bytes(std::vector<uint8_t>{1, 2});
    local->SetDouble(ctx, 5);
    EXPECT_EQ(failure([&] { local->SetValue(ctx, bytes); }),
              "Cannot assign a byte array value to an expression variable");
    EXPECT_EQ(local->GetDouble(ctx), 5);
    data->SetValue(ctx, bytes);  // byte arrays are refused only for `#` variables
    EXPECT_EQ(data->GetString(ctx), u"0102");
}

TEST(Script, ParsesRunFromManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 500; ++i) {
                auto script = parse(formatString(u"1 + %d + %d", i, t).c_str());
                ExpressionContext ctx;
                if (script->getDouble(ctx) != 1 + i + t)
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

// Scripts may run with no component context and no record (init and final scripts, embedded
// expressions): whatever needs one fails with its message, the rest works.
TEST(Script, RunsWithoutAContextOrARecord) {
    ExpressionContext bare(nullptr, static_cast<iDataRecord*>(nullptr));
    EXPECT_EQ(parse(u"#t := 2; #t * 21")->getDouble(bare), 42);
    for (const auto& [script, error] :
         {std::pair{u"x := 1", "Could not get property list for local variable 'x'."},
          {u"x IS DEFINED", "Could not get property list for local variable 'x'."},
          {u"@g := 1", "Could not get property list for global variable 'g'."}}) {
        const std::string failed = failure([&] { parse(script)->evaluate(bare); });
        EXPECT_EQ(failed.rfind(error, 0), 0u) << failed;
    }
}

TEST(Script, TextsStopAtTheirLengthLimit) {
    // A text at the limit is a text; one code unit more is refused, naming the operation and the line.
    // (The long text is only ever read: each refusal comes before anything is copied.)
    DataRecord record;
    record.getPropertyList()->defineAdopting(String(u"s"), makePtr<StringValue>(String(kMaxTextLength, u'x')),
                                             0);
    ExpressionContext ctx(nullptr, &record);
    EXPECT_EQ(failure([&] { parse(u"s .= ''; s += ''")->evaluate(ctx); }), "no failure");
    for (const auto& [script, built] : {std::pair{u"x := 1;\n#t := 'x' . s", "line 2, The text built by '.'"},
                                        {u"#t := 'x' + s", "line 1, The text built by '+'"},
                                        {u"s .= 'x'", "line 1, The text built by '.='"},
                                        {u"s += 'x'", "line 1, The text built by '+='"}})
        EXPECT_EQ(
            failure([&] { parse(script)->evaluate(ctx); }),
            built + std::string(" would be longer than 268435456 characters, the most a text may hold."));
    // The refused appends left the text as it was.
    const Value& s = record.getPropertyList()->get(String(u"s"))->getValue();
    EXPECT_EQ(static_cast<const StringValue&>(s).get().length(), kMaxTextLength);
}
