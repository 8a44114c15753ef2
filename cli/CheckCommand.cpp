// strand check: checks a script and prints its messages, one per line.

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "ScriptSource.h"
#include "parser/ExpressionParser.h"

namespace strand::cli {

void addCheckCommand(CLI::App& app, int& status) {
    auto source = std::make_shared<ScriptSource>();
    auto* check = app.add_subcommand("check", "Check a script and print its errors and warnings");
    auto* expression = check->add_option("-e,--expression", source->text, "The script text");
    check->add_option("FILE", source->file, "The script file, or - for standard input")->excludes(expression);
    check->callback([source, check, &status] {
        if (!source->text && source->file.empty())
            throw CLI::RequiredError("FILE or -e");
        Array<String> messages;
        bool failed = xrExpressionParser::CheckExpression(readScript(*source), messages);
        for (const String& message : messages) {
            writeUtf8(stdout, message);
            std::fputc('\n', stdout);
        }
        status = failed ? 1 : 0;
        (void)check;
    });
}

}  // namespace strand::cli
