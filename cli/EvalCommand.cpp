// strand eval: evaluates a script once against a data record given as JSON and prints the result.
// Input that cannot be used (the script file, the JSON of --record and --globals) is a usage error and
// travels to main as a strand::Exception; a script that does not parse or fails while it runs is
// reported here with its own text.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>
#include <string>

#include "Commands.h"
#include "HostContext.h"
#include "JsonValues.h"
#include "ScriptMessages.h"
#include "ScriptSource.h"
#include "expr/Exceptions.h"
#include "host/Context.h"
#include "host/DataRecord.h"
#include "host/Format.h"
#include "parser/ExpressionParser.h"

namespace strand::cli {

namespace {

constexpr int kEvaluationFailed = 1;
constexpr int kSyntaxError = 2;
constexpr int kHaltedProtocol = 3;

struct EvalOptions {
    ScriptSource source;
    std::string as = "value";
    std::optional<std::string> record;
    std::optional<std::string> globals;
    bool printRecord = false;
    uint64_t maxSteps = 0;
    double timeout = 0;
    HostOptions host;
};

// A failure's whole text on standard error, ending with one line feed.
void printFailure(const String& text) {
    writeUtf8(stderr, text);
    if (!text.view().ends_with(u'\n'))
        std::fputc('\n', stderr);
}

void readJsonOption(JsonReader& reader, const std::optional<std::string>& json, const char* option,
                    iPropertyCollection& target) {
    if (!json)
        return;
    try {
        reader.readObjectInto(*json, target);
    } catch (const Exception& e) {
        throw Exception(u"%s: %s", option, e.getErrorMessageBlock());
    }
}

// Evaluates with the operation that --as names and prints the result and a line feed; `none` prints
// nothing. Nothing is printed when the evaluation fails.
void evaluateAndPrint(iExpression& script, ExpressionContext& ctx, const std::string& as) {
    if (as == "none") {
        script.evaluate(ctx);
        return;
    }
    String text(String::View{});
    if (as == "string") {
        text = script.getString(ctx);
    } else if (as == "number") {
        appendDouble(text, script.getDouble(ctx));
    } else if (as == "bool") {
        text = script.getBool(ctx) ? u"true" : u"false";
    } else {
        script.getValue(ctx).getText(text);
    }
    writeUtf8(stdout, text);
    std::fputc('\n', stdout);
}

// Evaluates once; the exit status of a script that failed, else 0. A script that stops leaves its
// record unwritten (`written` false): terminate, halt and terminatepipeline end with 0 and a note,
// haltprotocol with 3, blockpipeline drops the record silently.
int evaluate(iExpression& script, ExpressionContext& ctx, const std::string& as, bool& written) {
    written = false;
    try {
        evaluateAndPrint(script, ctx, as);
        written = true;
        return 0;
    } catch (const Exception& e) {
        printFailure(e.getErrorMessageBlock());
    } catch (const xrExpressionTerminateException& e) {
        if (e.GetProcessState() == ComponentState::Blocked)
            return 0;
        const char16_t* function = e.GetFunctionName() ? e.GetFunctionName() : u"terminate";
        printFailure(
            formatString(u"strand: record 1: %ls() stopped the run; the record was not written", function));
        return e.GetProcessState() == ComponentState::HaltProtocol ? kHaltedProtocol : 0;
    } catch (const std::bad_alloc&) {
        printFailure(String(u"Out of memory"));
    } catch (const std::exception& e) {
        printFailure(String::fromUtf8(e.what()));
    }
    return kEvaluationFailed;
}

// The record and then the globals, one JSON object a line.
void printProperties(iPropertyCollection& record, iPropertyCollection& globals) {
    std::string lines;
    writeObject(record, lines);
    lines.push_back('\n');
    writeObject(globals, lines);
    lines.push_back('\n');
    std::fwrite(lines.data(), 1, lines.size(), stdout);
}

int run(const EvalOptions& options) {
    if (!options.source.text && options.source.file.empty())
        throw CLI::RequiredError("FILE or -e");
    const String text = readScript(options.source);
    HostOptions host = options.host;
    host.maxSteps = options.maxSteps;
    host.timeout = options.timeout;
    auto context = makePtr<CommandContext>(host);
    auto record = makePtr<DataRecord>();
    JsonReader reader;
    reader.setFlatten(true);
    readJsonOption(reader, options.record, "--record", *record->getPropertyList());
    readJsonOption(reader, options.globals, "--globals", *context->getGlobalProperties());

    Ptr<xrExpressionListImp> script;
    try {
        script = xrExpressionParser::ParseExpression(text, context.get());
    } catch (const Exception& e) {
        const std::string name = options.source.text          ? std::string()
                                 : options.source.file == "-" ? "standard input"
                                                              : options.source.file;
        printScriptFailure(text, e.getErrorMessageBlock(), name);
        return kSyntaxError;
    }
    ExpressionContext ctx(context.get(), record.get(), nullptr, context->runner());
    applyBudget(ctx, options.maxSteps, options.timeout);
    ctx.startSteps();
    context->setRecord(record.get(), 1);
    bool written = false;
    if (int status = evaluate(*script, ctx, options.as, written); status || !written)
        return status;
    if (options.printRecord)
        printProperties(*record->getPropertyList(), *context->getGlobalProperties());
    return 0;
}

}  // namespace

void addEvalCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<EvalOptions>();
    auto* eval = app.add_subcommand("eval", "Evaluate a script once against a record and print the result");
    auto* expression = eval->add_option("-e,--expression", options->source.text, "The script text");
    eval->add_option("FILE", options->source.file, "The script file, or - for standard input")
        ->excludes(expression);
    eval->add_option("--as", options->as, "How to ask for the result: value, string, number, bool or none")
        ->check(CLI::IsMember({"value", "string", "number", "bool", "none"}))
        ->capture_default_str();
    eval->add_option("--record", options->record, "The data record's properties, as a JSON object");
    eval->add_option("--globals", options->globals, "The global properties, as a JSON object");
    eval->add_flag("--print-record", options->printRecord,
                   "After the result, print the record and the globals as JSON, one object a line");
    addBudgetOptions(*eval, options->maxSteps, options->timeout);
    addHostOptions(*eval, options->host);
    eval->callback([options, &status] { status = run(*options); });
}

}  // namespace strand::cli
