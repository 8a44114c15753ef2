#pragma once
// Evaluating a script text once against an empty record, for the targets that build scripts.

#include <optional>
#include <string>

#include "expr/Exceptions.h"
#include "host/Context.h"
#include "host/DataRecord.h"
#include "host/Exception.h"
#include "parser/ExpressionParser.h"

namespace strand::fuzz {

// The text as a script string literal: quotes doubled.
inline std::u16string quoted(std::u16string_view text) {
    std::u16string out(1, u'\'');
    for (const char16_t c : text) {
        out.push_back(c);
        if (c == u'\'')
            out.push_back(u'\'');
    }
    out.push_back(u'\'');
    return out;
}

// The script's value as text, or nullopt when it did not parse or failed with a message.
inline std::optional<String> runScript(const String& text, uint64_t steps = 20000) {
    auto context = makePtr<ComponentContext>();
    auto record = makePtr<DataRecord>();
    try {
        auto script = xrExpressionParser::ParseExpression(text, context.get());
        ExpressionContext ctx(context.get(), record.get());
        ctx.setStepLimit(steps);
        ctx.startSteps();
        String out(String::View{});
        script->getValue(ctx).getText(out);
        return out;
    } catch (const Exception&) {
    } catch (const xrExpressionTerminateException&) {
    } catch (const std::bad_alloc&) {
    }
    return std::nullopt;
}

}  // namespace strand::fuzz
