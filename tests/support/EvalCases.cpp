// The evaluation case runner (see EvalCases.h).

#include "EvalCases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "CaseFile.h"
#include "ScopedEnv.h"
#include "expr/Exceptions.h"
#include "host/ArrayValues.h"
#include "host/Util.h"
#include "parser/ExpressionParser.h"

using namespace strand;

namespace {

Ptr<Value> valueOf(const std::string& kind, const String& text) {
    if (kind == "double")
        return makePtr<DoubleValue>(util::stringToDouble(text.view()));
    if (kind == "int")
        return makePtr<IntegerValue>(*util::parseInteger(text.view()));
    if (kind == "text")
        return makePtr<StringValue>(text);
    if (kind == "bool")
        return makePtr<BooleanValue>(text == u"true");
    Array<String> parts = util::splitText(text, u"|");
    if (kind == "texts")
        return makePtr<StringArrayValue>(parts.vector());
    if (kind == "doubles" || kind == "ints") {
        Ptr<ArrayValue> array = kind == "ints" ? Ptr<ArrayValue>(makePtr<IntegerArrayValue>())
                                               : Ptr<ArrayValue>(makePtr<DoubleArrayValue>());
        for (const String& part : parts)
            array->appendElement(StringValue(part));
        return array;
    }
    return nullptr;
}

// Applies a property directive; false when the key is not one.
bool defineProperty(const test::Directive& d, iPropertyCollection& record, iPropertyCollection& globals) {
    std::string kind = d.key;
    iPropertyCollection* target = &record;
    if (kind.starts_with("global-")) {
        kind = kind.substr(7);
        target = &globals;
    }
    const size_t blank = d.text.find(u' ');
    const String name = d.text.substr(0, blank);
    const String text = blank == String::npos ? String(u"") : d.text.substr(blank + 1);
    if (kind == "null") {
        target->define(name, 0);
        return true;
    }
    Ptr<Value> value = valueOf(kind, text);
    if (!value)
        return false;
    target->define(name, *value, 0);
    return true;
}

std::string textOf(const String& s) {
    return test::escape(s);
}

struct Outcome {
    std::string value;
    std::string error;
    bool parsed = true;
};

// Sets the environment variables of a case for its life, and puts back what they were, the last set
// first (a case may set one variable twice).
class CaseEnvironment {
  public:
    explicit CaseEnvironment(const test::ScriptCase& c) {
        for (const auto& d : c.directives) {
            if (d.key != "env")
                continue;
            const std::string assignment = d.text.toUtf8();
            const size_t equals = assignment.find('=');
            m_set.push_back(std::make_unique<ScopedEnv>(
                assignment.substr(0, equals).c_str(),
                equals == std::string::npos ? "" : assignment.c_str() + equals + 1));
        }
    }
    ~CaseEnvironment() {
        while (!m_set.empty())
            m_set.pop_back();
    }
    CaseEnvironment(const CaseEnvironment&) = delete;
    CaseEnvironment& operator=(const CaseEnvironment&) = delete;

  private:
    std::vector<std::unique_ptr<ScopedEnv>> m_set;
};

Outcome run(const test::ScriptCase& c, ComponentContext& component, DataRecord& record) {
    Outcome out;
    Ptr<xrExpressionListImp> script;
    try {
        script = xrExpressionParser::ParseExpression(c.script, &component);
    } catch (const Exception& e) {
        out.parsed = false;
        out.error = textOf(e.getErrorMessageBlock());
        return out;
    }
    bool noRecord = false;
    std::string as = "value";
    for (const auto& d : c.directives) {
        if (d.key == "norecord")
            noRecord = true;
        if (d.key == "as")
            as = d.text.toUtf8();
    }
    ExpressionContext ctx(&component, noRecord ? nullptr : static_cast<iDataRecord*>(&record));
    try {
        if (as == "value")
            out.value = textOf(script->getValue(ctx).toString());
        if (as == "string")
            out.value = textOf(script->getString(ctx));
        if (as == "number")
            out.value = textOf(doubleToString(script->getDouble(ctx)));
        if (as == "bool")
            out.value = script->getBool(ctx) ? "true" : "false";
        if (as == "none")
            script->evaluate(ctx);
    } catch (const Exception& e) {
        out.error = textOf(e.getErrorMessageBlock());
    } catch (const xrExpressionTerminateException& e) {
        out.error = "stop: state " + std::to_string(static_cast<int>(e.GetProcessState()));
    }
    return out;
}

std::string propertyText(iPropertyCollection& list, const String& name) {
    iProperty* p = list.find(name);
    return p ? textOf(p->getValue().toString()) : std::string("missing");
}

}  // namespace

std::vector<std::string> strand::test::evalCaseFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(STRAND_TEST_DATA_DIR "/scripts")) {
        if (entry.path().extension() == ".eval")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void strand::test::runEvalCaseFile(const std::string& path) {
    auto cases = test::readCases(path, {"eval"});
    ASSERT_FALSE(cases.empty()) << path;
    for (const auto& c : cases) {
        CaseEnvironment environment(c);
        ComponentContext component;
        DataRecord record;
        for (const auto& d : c.directives) {
            if (d.key == "debugging")
                component.setDebugging(true);
        }
        for (const auto& d : c.directives)
            defineProperty(d, *record.getPropertyList(), *component.getGlobalProperties());
        const Outcome out = run(c, component, record);
        const std::string where = c.where() + "\neval: " + textOf(c.script);
        bool expectation = false;
        for (const auto& d : c.directives) {
            const std::string want = textOf(d.text);
            if (d.key == "value") {
                expectation = true;
                EXPECT_EQ(out.error, "") << where;
                EXPECT_EQ(out.value, want) << where;
            } else if (d.key == "error") {
                expectation = true;
                EXPECT_TRUE(out.parsed) << where << "\nparse failed: " << out.error;
                EXPECT_EQ(out.error, want) << where;
            } else if (d.key == "parse-error") {
                expectation = true;
                EXPECT_FALSE(out.parsed) << where;
                EXPECT_EQ(out.error, want) << where;
            } else if (d.key == "after" || d.key == "global-after") {
                expectation = true;
                const size_t blank = d.text.find(u' ');
                iPropertyCollection& list =
                    d.key == "after" ? *record.getPropertyList() : *component.getGlobalProperties();
                EXPECT_EQ(propertyText(list, d.text.substr(0, blank)),
                          textOf(blank == String::npos ? String(u"") : d.text.substr(blank + 1)))
                    << where << "\nproperty " << textOf(d.text.substr(0, blank));
            } else if (d.key == "messages") {
                // The debug messages and then the client messages the script sent, joined by '|'.
                expectation = true;
                std::string sent;
                for (const auto* list : {&component.getDebugMessages(), &component.getClientMessages()}) {
                    for (const String& m : *list)
                        sent += (sent.empty() ? "" : "|") + textOf(m);
                }
                EXPECT_EQ(sent, want) << where;
            } else if (d.key == "ok") {
                expectation = true;
                EXPECT_EQ(out.error, "") << where;
            }
        }
        EXPECT_TRUE(expectation) << where << ": a case needs an expectation";
    }
}
