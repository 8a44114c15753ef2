// A parsed text evaluated against a fixed record and globals with the step budget on. Oracle: no
// crash, no leak, no undefined behaviour, and the run ends within its budget (libFuzzer's timeout).
#include <algorithm>
#include <cctype>
#include <chrono>
#include <string_view>

#include "FuzzSupport.h"
#include "expr/Exceptions.h"
#include "host/Context.h"
#include "host/DataRecord.h"
#include "host/Exception.h"
#include "host/Value.h"
#include "parser/ExpressionParser.h"

namespace {

// Scripts that wait on purpose (sleep, the interactive break) are left out: their time is no fault.
bool waits(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower.find("sleep") != std::string::npos || lower.find("debugbreak") != std::string::npos;
}

void fill(strand::iPropertyCollection& properties) {
    using strand::String;
    properties.define(String(u"price"), strand::DoubleValue(12.5), 0);
    properties.define(String(u"qty"), strand::IntegerValue(3), 0);
    properties.define(String(u"name"), strand::StringValue(String(u"Anvil")), 0);
    properties.define(String(u"code"), strand::StringValue(String(u"AB-12")), 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (waits(bytes))
        return 0;
    const strand::String text = strand::fuzz::textOf(data, size);
    auto context = strand::makePtr<strand::ComponentContext>();
    auto record = strand::makePtr<strand::DataRecord>();
    fill(*record->getPropertyList());
    context->getGlobalProperties()->define(strand::String(u"n"), strand::IntegerValue(0), 0);
    strand::Ptr<xrExpressionListImp> script;
    try {
        script = xrExpressionParser::ParseExpression(text, context.get());
    } catch (const strand::Exception&) {
        return 0;
    }
    strand::ExpressionContext ctx(context.get(), record.get());
    ctx.setStepLimit(20000);
    // Short, so that inputs that build texts near the length limit (which the clock stops) do not
    // slow the search; a run that ends past it is still a finding, by libFuzzer's timeout.
    ctx.setTimeLimit(std::chrono::milliseconds(500));
    // Twice, as a run evaluates a script once per record: the second run meets the first's leftovers.
    for (int run = 0; run < 2; ++run) {
        ctx.startSteps();
        try {
            strand::String out(strand::String::View{});
            script->getValue(ctx).getText(out);
        } catch (const strand::Exception&) {
        } catch (const xrExpressionTerminateException&) {
        } catch (const std::bad_alloc&) {
        }
    }
    return 0;
}
