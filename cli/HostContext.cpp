#include "HostContext.h"

#include <CLI/CLI.hpp>
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "JsonValues.h"
#include "ScriptSource.h"
#include "expr/Exceptions.h"
#include "host/Format.h"
#include "host/Nesting.h"
#include "parser/ExpressionParser.h"

namespace strand::cli {

namespace {

// Names of calculators and protocols are matched ignoring the case of A to Z only.
std::string foldedName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    }
    return folded;
}

// Writes one line to standard error.
void writeLine(const String& text) {
    writeUtf8(stderr, text);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// The messages of a failure, for a runner's error list: each line of each message is one.
void addMessages(const Exception& e, Array<String>& errors) {
    for (const String& message : e.getMessages()) {
        const std::u16string_view text = message.view();
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(u'\n', start);
            if (end == std::u16string_view::npos)
                end = text.size();
            if (end > start)
                errors.add(String(text.substr(start, end - start)));
            start = end + 1;
        }
    }
}

}  // namespace

void addHostOptions(CLI::App& command, HostOptions& options) {
    command.add_flag("--debug", options.debug,
                     "Debugging on: debugMessage, debugMessageError and debugBreak write to standard error");
    command.add_option("--calculators", options.calculators,
                       "The folder of calculators: the script DIR/P.ss calculates a missing property P");
    command.add_option("--protocols", options.protocols,
                       "The folder of protocols runprotocol runs: protocol NAME is the script DIR/NAME.ss");
}

ScriptFolder::ScriptFolder(std::string directory) : m_directory(std::move(directory)) {}

std::optional<std::string> ScriptFolder::find(const String& name) {
    // The folder is read once: what a run finds there stays the same while it lasts.
    if (!m_scanned) {
        m_scanned = true;
        if (DIR* dir = opendir(m_directory.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string file = entry->d_name;
                if (file.size() > 3 && file.ends_with(".ss"))
                    m_paths.emplace(foldedName(file.substr(0, file.size() - 3)), m_directory + "/" + file);
            }
            closedir(dir);
        }
    }
    auto found = m_paths.find(foldedName(name.toUtf8()));
    if (found == m_paths.end())
        return std::nullopt;
    return found->second;
}

CommandContext::CommandContext(const HostOptions& options) : m_options(options) {
    setDebugging(options.debug);
    if (options.calculators)
        m_calculators.emplace(*options.calculators);
    if (options.protocols)
        m_runner = makePtr<ProtocolRunner>(options, *options.protocols);
}

CommandContext::~CommandContext() = default;

iRunnerSoap* CommandContext::runner() const noexcept {
    return m_runner.get();
}

void CommandContext::applyBudgetTo(ExpressionContext& ctx) const {
    ctx.setStepLimit(m_options.maxSteps);
    if (m_options.timeout > 0)
        ctx.setTimeLimit(std::chrono::nanoseconds(static_cast<int64_t>(m_options.timeout * 1e9)));
    ctx.startSteps();
}

void CommandContext::sendMessageToClient(const String& message) {
    writeLine(formatString(u"message: %ls", message));
}

void CommandContext::writeDebug(const char* kind, const String& message) {
    if (m_recordNumber > 0)
        writeLine(
            formatString(u"%s: record %lld: %ls", kind, static_cast<long long>(m_recordNumber), message));
    else
        writeLine(formatString(u"%s: %ls", kind, message));
}

void CommandContext::debugMessage(const String& message) {
    writeDebug("debug", message);
}

void CommandContext::debugErrorMessage(const String& message) {
    writeDebug("error", message);
}

void CommandContext::debugBreak(const String& message) {
    writeDebug("break", message);
    if (m_record && m_record->getPropertyList()) {
        std::string json;
        writeObject(*m_record->getPropertyList(), json);
        json.push_back('\n');
        std::fputs(json.c_str(), stderr);
    }
    // A person at a terminal goes on with Enter; anywhere else the run goes on at once.
    if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) {
        std::fputs("(Enter to go on) ", stderr);
        std::fflush(stderr);
        for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
        }
    }
}

bool CommandContext::canCalculateProperty(iDataRecord*, const String& name) {
    return m_calculators && m_calculators->find(name).has_value();
}

CalculationState CommandContext::calculateProperty(iDataRecord* record, const String& name) {
    if (!m_calculators || !record)
        return CalculationState::Failed;
    const std::optional<std::string> path = m_calculators->find(name);
    const std::string key = foldedName(name.toUtf8());
    // A calculator that needs its own property, directly or through others, fails instead of
    // running without end.
    if (!path || m_calculating.contains(key))
        return CalculationState::Failed;
    m_calculating.insert(key);
    try {
        Ptr<xrExpressionListImp>& script = m_calculatorScripts[key];
        if (!script)
            script = xrExpressionParser::ParseExpression(readScript(ScriptSource{*path, std::nullopt}), this);
        ExpressionContext ctx(this, record, nullptr, runner());
        applyBudgetTo(ctx);
        script->evaluate(ctx);
    } catch (const Exception& e) {
        if (isDebugging())
            writeDebug("debug",
                       formatString(u"the calculator %s failed: %ls", *path, e.getErrorMessageBlock()));
    } catch (const xrExpressionTerminateException&) {
        if (isDebugging())
            writeDebug("debug", formatString(u"the calculator %s asked to stop", *path));
    }
    m_calculating.erase(key);
    iPropertyCollection* list = record->getPropertyList();
    return list && list->isDefined(name) ? CalculationState::Done : CalculationState::Failed;
}

ProtocolRunner::ProtocolRunner(const HostOptions& options, std::string directory)
    : m_options(options), m_folder(std::move(directory)) {
    // The protocols it runs reach runprotocol through this runner, not one of their own.
    m_options.protocols.reset();
}

bool ProtocolRunner::runProtocol(const String& protocol, iPropertyCollection* inputs,
                                 iPropertyCollection* outputs, Array<String>& errors, int32_t, int32_t) {
    const std::optional<std::string> path = m_folder.find(protocol);
    if (!path) {
        errors.add(formatString(u"There is no protocol '%ls' in %s", protocol, m_folder.directory()));
        return false;
    }
    for (const String& running : m_running) {
        if (running.equalsIgnoreCase(protocol)) {
            errors.add(formatString(u"The protocol '%ls' is already running: a protocol cannot run itself",
                                    protocol));
            return false;
        }
    }
    m_running.push_back(protocol);
    const bool done = run(protocol, *path, inputs, outputs, errors);
    m_running.pop_back();
    return done;
}

bool ProtocolRunner::run(const String& protocol, const std::string& path, iPropertyCollection* inputs,
                         iPropertyCollection* outputs, Array<String>& errors) {
    auto context = makePtr<CommandContext>(m_options);
    iPropertyCollection* globals = context->getGlobalProperties();
    try {
        globals->appendFrom(inputs, true);
        Ptr<xrExpressionListImp> script =
            xrExpressionParser::ParseExpression(readScript(ScriptSource{path, std::nullopt}), context.get());
        ExpressionContext ctx(context.get(), static_cast<iDataRecord*>(nullptr), nullptr, this);
        context->applyBudgetTo(ctx);
        script->evaluate(ctx);
    } catch (const Exception& e) {
        addMessages(e, errors);
        return false;
    } catch (const xrExpressionTerminateException& e) {
        const char16_t* function = e.GetFunctionName();
        errors.add(
            formatString(u"The protocol '%ls' stopped: %ls()", protocol, function ? function : u"terminate"));
        return false;
    }
    // The outputs are the globals it leaves, in the order they were first defined; an input it left
    // as it came is none.
    for (int32_t i = 0; i < globals->getSize(); ++i) {
        iProperty* global = globals->get(i);
        iProperty* input = inputs->find(global->getName());
        if (input && input->getValue().equals(global->getValue()))
            continue;
        outputs->define(global->getName(), global->getValue(), 0);
    }
    return true;
}

}  // namespace strand::cli
