#include "ScriptMessages.h"

#include <cstdio>

#include "ScriptSource.h"
#include "parser/ExpressionParser.h"

namespace strand::cli {

namespace {

// The lines of a failure's message block, one message a line (a message with line breaks of its own,
// such as the syntax help of IF, stays whole).
std::vector<String> splitBlock(const String& block) {
    std::vector<String> lines;
    size_t begin = 0;
    const std::u16string_view text = block.view();
    while (begin < text.size()) {
        size_t end = text.find(u'\n', begin);
        if (end == std::u16string_view::npos)
            end = text.size();
        lines.emplace_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

}  // namespace

std::vector<String> scriptFailureMessages(const String& text, const String& failure,
                                          const std::string& name) {
    Array<String> checked;
    const bool checkFailed = xrExpressionParser::CheckExpression(text, checked);
    std::vector<String> messages(checked.begin(), checked.end());
    // The check found nothing wrong: its hints, then what the building parse or the statement check said.
    if (!checkFailed) {
        for (String& line : splitBlock(failure))
            messages.push_back(std::move(line));
    }
    if (name.empty())
        return messages;
    const String prefix = String::fromUtf8(name) + u": ";
    for (String& message : messages)
        message = prefix + message.view();
    return messages;
}

void printScriptFailure(const String& text, const String& failure, const std::string& name) {
    for (const String& message : scriptFailureMessages(text, failure, name)) {
        writeUtf8(stderr, message);
        if (!message.view().ends_with(u'\n'))
            std::fputc('\n', stderr);
    }
}

}  // namespace strand::cli
