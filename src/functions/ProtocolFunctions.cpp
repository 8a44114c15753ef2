#include "functions/ProtocolFunctions.h"

#include <new>

#include "functions/FunctionNode.h"
#include "host/Nesting.h"

using strand::Array;
using strand::ExpressionContext;
using strand::String;
using strand::Value;

namespace {

// Runs one step of a run, naming it as the place a failure passed through. Script control flow (a
// stop, BREAK, RETURN, a missing property) passes unchanged.
template <typename F>
decltype(auto) guardStep(const char16_t* place, F&& body) {
    try {
        return body();
    } catch (const xrExpressionTerminateException&) {
        throw;
    } catch (const xrExpressionUnboundException&) {
        throw;
    } catch (const xrBreakException&) {
        throw;
    } catch (const xrReturnException&) {
        throw;
    } catch (strand::Exception& e) {
        e.appendMessage(u"%ls: Strandline exception caught", place);
        throw;
    } catch (const std::exception& e) {
        throw strand::Exception(u"%ls: Bad Allocation %ls", place, e.what());
    } catch (...) {
        throw strand::Exception(u"%ls: Severe error caught", place);
    }
}

// White space around input names and values: blank, carriage return, line feed, tab, no-break space.
std::u16string_view stripBlanks(std::u16string_view text) {
    constexpr std::u16string_view kBlanks = u" \r\n\t\u00A0";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::u16string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The number the runner is given for how often it looks at a running protocol, and for how long it
// waits; passed as they are.
constexpr int32_t kPollInterval = 100;
constexpr int32_t kTimeout = 20000;

// runprotocol(name, parameter ...): "name = value" parameters are inputs, others name the outputs
// wanted. No output named: the protocol's first output; one: that output; several: a text array of
// them, empty where the protocol left one out.
class xrRunProtocolFunction final : public xrFunctionExprImp<xrValueResultExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void DoesSomethingCheck() const override {}
    const String& AsString(ExpressionContext&) override {
        throw strand::Exception(u"Unable to return string result from protocol");
    }
    bool AsBool(ExpressionContext&) override {
        throw strand::Exception(u"Unable to return boolean result from protocol");
    }
    double AsDouble(ExpressionContext&) override {
        throw strand::Exception(u"Unable to return double result from protocol");
    }
    const Value& AsValue(ExpressionContext& ctx) override {
        guardStep(u"xrRunProtocolFunction::Evaluate", [&] { run(ctx); });
        if (m_texts.getSize() > 0)
            return m_texts;
        return m_values;
    }
    void Evaluate(ExpressionContext& ctx) override { AsValue(ctx); }

  private:
    void run(ExpressionContext& ctx) {
        auto inputs = strand::CPropertyCollection::newInstance();
        auto outputs = strand::CPropertyCollection::newInstance();
        const String name = textArg(ctx, 0);
        Array<String> wanted;
        guardStep(u"xrRunProtocolFunction::DecodeParameter(ctxt)", [&] {
            for (size_t i = 1; i < argCount(); ++i)
                guardStep(u"xrRunProtocolFunction::DecodeParameter(param)",
                          [&] { decodeParameter(textArg(ctx, i), *inputs, wanted); });
        });
        strand::iRunnerSoap* runner = ctx.getRunnerSoap();
        if (!runner)
            throw strand::Exception(u"Unable to run protocol '%ls'.  No runner defined.", name);
        // A protocol that runs itself, directly or through others, ends at the shared nesting bound.
        if (strand::NestingGuard::depth() >= strand::NestingGuard::kMaxNesting)
            throw error(u"runprotocol nested too deeply: more than %d levels",
                        strand::NestingGuard::kMaxNesting);
        strand::NestingGuard guard(u"runprotocol");
        Array<String> errors;
        runner->prepare();
        if (!runner->runProtocol(name, inputs.get(), outputs.get(), errors, kPollInterval, kTimeout)) {
            const String first =
                errors.isEmpty() || errors[0].isEmpty() ? String(u"Unknown Protocol Error") : errors[0];
            strand::Exception failure(u"Error running protocol '%ls':  %ls", name, first);
            for (const String& message : errors)
                failure.appendMessage(u"%ls", message);
            throw failure;
        }
        guardStep(u"xrRunProtocolFunction::ExtractResults", [&] { extractResults(*outputs, wanted); });
    }

    static void decodeParameter(const String& text, strand::iPropertyCollection& inputs,
                                Array<String>& wanted) {
        const size_t equals = text.find(u'=');
        if (equals == String::npos) {
            guardStep(u"xrRunProtocolFunction::DecodeOutput", [&] { wanted.add(text); });
            return;
        }
        const String key{stripBlanks(text.view().substr(0, equals))};
        inputs.define(key, strand::StringValue(String(stripBlanks(text.view().substr(equals + 1)))), 0);
    }

    void extractResults(const strand::iPropertyCollection& outputs, const Array<String>& wanted) {
        m_texts.resize(0);
        m_values.resize(0);
        if (wanted.isEmpty()) {
            if (outputs.getSize() > 0)
                m_values.appendElement(outputs.get(0)->getValue());
            return;
        }
        if (wanted.getSize() == 1) {
            if (strand::iProperty* output = outputs.find(wanted[0]))
                m_values.appendElement(output->getValue());
            return;
        }
        for (const String& output : wanted) {
            strand::iProperty* property = outputs.find(output);
            m_texts.appendElement(property ? property->getValue()
                                           : static_cast<const Value&>(strand::StringValue(String(u""))));
        }
    }

    strand::StringArrayValue m_texts;
    strand::ValueArrayValue m_values;
};

}  // namespace

namespace strand::protocols {

STRAND_BUILTIN_FACTORY(makeRunProtocol, xrRunProtocolFunction)

}  // namespace strand::protocols
