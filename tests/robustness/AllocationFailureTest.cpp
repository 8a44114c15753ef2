// Allocation failure at every allocation of a parse, a check, an evaluation, a stream read and a
// parameter check. Each operation first runs once to count its allocations; then it runs again with the
// n-th allocation failing, for every n (every one of the first 300, then a spread of the rest). Each
// such run must end in the operation's own result or a clear error (an Exception with a message, or
// bad_alloc, which the command reports), never a crash, a leak or a wrong result; and the same
// operation run right after must give its result again. Under `make asan` LeakSanitizer checks that
// nothing was left behind.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AllocationHooks.h"
#include "Component.h"
#include "host/ByteStream.h"
#include "host/Context.h"
#include "host/DataRecord.h"
#include "parser/ExpressionParser.h"

namespace allocations = strand::test::allocations;

using namespace strand;

namespace {

constexpr long kEveryUpTo = 300;
constexpr long kSpread = 300;

struct Outcome {
    std::string text;
    bool failed = false;
};

Outcome attempt(const std::function<std::string()>& operation, long failAt) {
    Outcome outcome;
    allocations::count = 0;
    allocations::failAt = failAt;
    allocations::counting = true;
    try {
        outcome.text = operation();
    } catch (const std::bad_alloc&) {
        outcome.failed = true;
        outcome.text = "bad_alloc";
    } catch (const Exception& e) {
        outcome.failed = true;
        outcome.text = e.getErrorMessageBlock().toUtf8();
    }
    allocations::counting = false;
    allocations::failAt = 0;
    return outcome;
}

// `reported` tells an outcome that carries the failure in the operation's own result (a rule's verdict
// that names it) from one that hides it.
void failEachAllocation(const char* what, const std::function<std::string()>& operation,
                        const std::function<bool(const std::string&)>& reported = nullptr) {
    const Outcome clean = attempt(operation, 0);
    ASSERT_FALSE(clean.failed) << what << ": " << clean.text;
    const long total = allocations::count;
    ASSERT_GT(total, 0) << what;
    const long step = std::max(1L, (total - kEveryUpTo) / kSpread);
    long failures = 0;
    for (long n = 1; n <= total; n += n < kEveryUpTo ? 1 : step) {
        const Outcome injected = attempt(operation, n);
        if (injected.failed) {
            ++failures;
            EXPECT_FALSE(injected.text.empty())
                << what << ", allocation " << n << ": an error without a message";
        } else if (reported && injected.text != clean.text && reported(injected.text)) {
            ++failures;
        } else {
            EXPECT_EQ(injected.text, clean.text) << what << ", allocation " << n << " failed unnoticed";
        }
        const Outcome after = attempt(operation, 0);
        EXPECT_EQ(after.text, clean.text) << what << ", after allocation " << n << " failed";
    }
    // Most failed allocations must show: the operation does not swallow them.
    EXPECT_GT(failures, 0) << what;
}

const char16_t* const kScript =
    u"label := toupper(name) . '-' . substring(code, 1, 3) . '#' . id;\n"
    u"masked := rsubst(text, '([0-9]+)', '<$1>', 'g');\n"
    u"parts := rsplit(text, ' ');\n"
    u"third := format('%.2f|%5d|%-6s', price / 3, id, code);\n"
    u"#acc := 0;\n"
    u"FOR i IN 1 .. 5 LOOP #acc += i; END LOOP;\n"
    u"IF name LIKE 'Q%' THEN kind := 'q'; ELSIF name RLIKE '^w' THEN kind := 'w'; ELSE kind := '-'; END IF;\n"
    u"sum := #acc + quantity;\n"
    u"packed := converttobase64(compress(text));\n"
    u"back := uncompress(convertfrombase64(packed))";

void fill(iPropertyCollection& list) {
    list.define(String(u"id"), IntegerValue(42), 0);
    list.define(String(u"name"), StringValue(String(u"Quartz_nickel")), 0);
    list.define(String(u"code"), StringValue(String(u"R69922")), 0);
    list.define(String(u"price"), DoubleValue(169.37), 0);
    list.define(String(u"quantity"), IntegerValue(87), 0);
    list.define(String(u"text"), StringValue(String(u"mill 55226 to zone 434 by bay 43")), 0);
}

std::string properties(iPropertyCollection& list) {
    std::string out;
    for (int32_t i = 0; i < list.getSize(); ++i)
        out += list.at(i)->getName().toUtf8() + "=" + list.at(i)->getValue().toString().toUtf8() + "\n";
    return out;
}

}  // namespace

TEST(AllocationFailure, Parse) {
    failEachAllocation("parse", [] {
        ComponentContext component;
        Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(kScript), &component);
        return std::string("parsed");
    });
}

TEST(AllocationFailure, Check) {
    failEachAllocation("check", [] {
        Array<String> messages;
        xrExpressionParser::CheckExpression(String(kScript) + String(u";\n y := (1 +;\n z := substring('a'"),
                                            messages);
        std::string out;
        for (const String& message : messages)
            out += message.toUtf8() + "\n";
        return out;
    });
}

TEST(AllocationFailure, Evaluation) {
    // The script is parsed once; only the runs are failed, so that a failed run leaves the very nodes
    // the next run uses.
    ComponentContext component;
    Ptr<xrExpressionListImp> script = xrExpressionParser::ParseExpression(String(kScript), &component);
    failEachAllocation("evaluation", [&] {
        DataRecord record;
        fill(*record.getPropertyList());
        ExpressionContext ctx(&component, &record);
        script->evaluate(ctx);
        return properties(*record.getPropertyList());
    });
}

TEST(AllocationFailure, StreamRead) {
    std::vector<uint8_t> bytes;
    {
        test::Component c;
        c.add(u"Name", u"value");
        c.add(u"List", {u"a", u"b", u"c"});
        CParameter& rule = c.add(u"Ruled", u"7");
        rule.setValidationScript(String(u"parameter() > 5"));
        rule.setEnablingScript(String(u"parameter('Name') = 'value'"));
        MemoryOutputStream out(2);
        c.parameters->serialize(out);
        bytes = out.bytes();
    }
    failEachAllocation("stream read", [&] {
        Ptr<CParameterCollection> read = CParameterCollection::newInstance();
        MemoryInputStream in(bytes, 2);
        read->deserialize(in);
        MemoryOutputStream out(2);
        read->serialize(out);
        return std::string(out.bytes().begin(), out.bytes().end());
    });
}

TEST(AllocationFailure, ParameterCheck) {
    failEachAllocation(
        "parameter check",
        [] {
            test::Component c;
            c.global(u"Root", u"/data");
            c.add(u"Path", u"$(Root)/in/<EXPR>'x' . (1 + 2)</EXPR>.csv");
            CParameter& count = c.add(u"Count", u"12");
            count.setValidationScript(String(u"parameter() > 10 AND parameter() < 100"));
            CParameter& mode = c.add(u"Mode", u"fast");
            c.add(u"Choices", {u"fast", u"slow", u"off"});
            mode.setEnablingScript(String(u"parameter('Count') > 5"));
            mode.setLegalValuesScript(String(u"setlegalvalues(parameter('Choices'))"));
            std::string out =
                c.joined(u"Path", CParameter::kReplaceMacroTokens | CParameter::kEvaluateEmbeddedScripts);
            out += count.getValid() ? " valid" : " invalid: " + count.getInvalidDetails().toUtf8();
            out += mode.getEnabled() ? " enabled" : " disabled";
            for (const String& legal : mode.getLegalValues())
                out += " " + legal.toUtf8();
            return out;
        },
        // A validation rule that fails makes its parameter invalid, with the failure as the details; a
        // legal-values rule that fails keeps the legal values the parameter had (none here), as an
        // enabling rule that fails leaves the parameter as its groups have it.
        [](const std::string& text) {
            return text.find("invalid: Validation script failed:") != std::string::npos ||
                   text == "/data/in/x3.csv valid enabled";
        });
}
