// A text through the checking grammar and the building parser. Oracle: a text the check passes
// parses, or fails only with a node's or the registry's message ("line N, ..."), never with a
// syntax error ("line N:C: ...") that the check missed.
#include <regex>

#include "FuzzSupport.h"
#include "host/Exception.h"
#include "parser/ExpressionParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const strand::String text = strand::fuzz::textOf(data, size);
    strand::Array<strand::String> messages;
    const bool failed = xrExpressionParser::CheckExpression(text, messages);
    try {
        xrExpressionParser::ParseExpression(text, nullptr);
    } catch (const strand::Exception& e) {
        if (failed)
            return 0;
        static const std::regex syntax(R"(^line [0-9]+:[0-9]+: )");
        const std::string message = e.getErrorMessageBlock().toUtf8();
        if (std::regex_search(message, syntax))
            strand::fuzz::finding("the check passed a text the parser refuses as a syntax error", message);
    }
    return 0;
}
