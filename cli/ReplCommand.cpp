// strand repl: an interactive session. Each input is a script, evaluated against one data record and
// the globals, which both last for the session; the result is printed as strand eval prints it. A
// statement that does not parse yet because its text ends too early (an IF without its END IF, an open
// parenthesis) continues on the next line; an empty line ends it anyway and shows its messages.
// Lines starting with ':' are the session's own commands (see kHelp).
//
// On a terminal, lines are read through libedit with editing and history; otherwise (a pipe, a file)
// they are read plainly and no prompt is written, so a session can be scripted.

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <editline/readline.h>

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

constexpr const char* kHelp =
    ":record [JSON]     replace the data record by the JSON object, or print it\n"
    ":globals [JSON]    replace the global properties by the JSON object, or print them\n"
    ":check             check the last input and print its messages\n"
    ":functions [TEXT]  list the built-in functions whose names start with TEXT\n"
    ":help              this text\n"
    ":quit              end the session (so does end of input)\n";

struct ReplOptions {
    std::optional<std::string> history;
};

// Reads lines from the terminal through libedit, or plainly from anything else.
class LineSource {
  public:
    explicit LineSource(std::optional<std::string> historyFile)
        : m_terminal(::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO)) {
        if (!m_terminal)
            return;
        if (historyFile) {
            m_history = *historyFile;
        } else if (const char* home = std::getenv("HOME"); home && *home) {
            m_history = std::string(home) + "/.strand_history";
        }
        using_history();
        if (!m_history.empty())
            read_history(m_history.c_str());
    }
    ~LineSource() {
        if (m_terminal && !m_history.empty())
            write_history(m_history.c_str());
    }
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    bool terminal() const noexcept { return m_terminal; }

    // The next line without its line end; nothing at the end of input.
    std::optional<std::string> next(bool continuing) {
        if (!m_terminal) {
            std::string line;
            if (!std::getline(std::cin, line))
                return std::nullopt;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        std::fflush(stdout);
        char* raw = readline(continuing ? "...> " : "strand> ");
        if (!raw)
            return std::nullopt;
        std::string line(raw);
        std::free(raw);
        if (!line.empty())
            add_history(line.c_str());
        return line;
    }

  private:
    bool m_terminal;
    std::string m_history;
};

void printLine(std::FILE* out, const String& text) {
    writeUtf8(out, text);
    if (!text.view().ends_with(u'\n'))
        std::fputc('\n', out);
    std::fflush(out);
}

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// True when the checking grammar found the text ending where more was due: the statement goes on.
bool endsTooEarly(const Array<String>& messages) {
    for (const String& message : messages)
        if (message.view().find(u"unexpected end of file") != String::View::npos ||
            message.view().find(u", found ''") != String::View::npos)
            return true;
    return false;
}

class Session {
  public:
    // The command as host: client messages go to standard error as in run and eval.
    Session() : m_context(makePtr<CommandContext>(HostOptions{})), m_record(makePtr<DataRecord>()) {
        m_reader.setFlatten(true);
    }

    // Runs a session command; false for :quit.
    bool command(const std::string& line) {
        const size_t space = line.find_first_of(" \t");
        const std::string name = line.substr(0, space);
        std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        rest.erase(0, rest.find_first_not_of(" \t"));
        if (name == ":quit" || name == ":q" || name == ":exit")
            return false;
        if (name == ":help" || name == ":h" || name == ":?") {
            std::fputs(kHelp, stdout);
        } else if (name == ":record") {
            properties(*m_record->getPropertyList(), rest, ":record");
        } else if (name == ":globals") {
            properties(*m_context->getGlobalProperties(), rest, ":globals");
        } else if (name == ":check") {
            check();
        } else if (name == ":functions") {
            printFunctionTable(rest);
        } else {
            std::fprintf(stderr, "unknown command '%s' (:help lists them)\n", name.c_str());
        }
        std::fflush(stdout);
        return true;
    }

    // Parses and evaluates one whole input and prints its result or its messages.
    void evaluate(const std::string& utf8) {
        String text;
        try {
            text = decodeUtf8Input(utf8, "the input");
        } catch (const Exception& e) {
            printLine(stderr, e.getErrorMessageBlock());
            return;
        }
        m_last = text;
        Ptr<xrExpressionListImp> script;
        try {
            script = xrExpressionParser::ParseExpression(text, m_context.get());
        } catch (const Exception& e) {
            printScriptFailure(text, e.getErrorMessageBlock(), std::string());
            std::fflush(stderr);
            return;
        }
        ExpressionContext ctx(m_context.get(), m_record.get());
        try {
            String result(String::View{});
            script->getValue(ctx).getText(result);
            printLine(stdout, result);
        } catch (const Exception& e) {
            printLine(stderr, e.getErrorMessageBlock());
        } catch (const xrExpressionTerminateException& e) {
            printLine(stderr, formatString(u"The script asked to stop (component state %d)",
                                           static_cast<int>(e.GetProcessState())));
        } catch (const std::bad_alloc&) {
            printLine(stderr, String(u"Out of memory"));
        }
    }

    // Whether the text so far is a statement that ended too early.
    static bool continues(const std::string& utf8) {
        String text;
        try {
            text = decodeUtf8Input(utf8, "the input");
        } catch (const Exception&) {
            return false;
        }
        Array<String> messages;
        return xrExpressionParser::CheckExpression(text, messages) && endsTooEarly(messages);
    }

  private:
    void properties(iPropertyCollection& target, const std::string& json, const char* what) {
        if (json.empty()) {
            std::string out;
            writeObject(target, out);
            out.push_back('\n');
            std::fwrite(out.data(), 1, out.size(), stdout);
            return;
        }
        // Read aside first: a JSON text that cannot be used leaves the properties as they were.
        auto fresh = makePtr<DataRecord>();
        try {
            m_reader.readObjectInto(json, *fresh->getPropertyList());
        } catch (const Exception& e) {
            printLine(stderr, formatString(u"%s: %ls", what, e.getErrorMessageBlock().c_str()));
            return;
        }
        target.removeAll();
        target.assignFrom(fresh->getPropertyList(), true);
    }

    void check() {
        if (!m_last) {
            std::fputs("nothing to check yet\n", stdout);
            return;
        }
        Array<String> messages;
        xrExpressionParser::CheckExpression(*m_last, messages);
        if (messages.getSize() == 0)
            std::fputs("no messages\n", stdout);
        for (const String& message : messages)
            printLine(stdout, message);
    }

    Ptr<ComponentContext> m_context;
    Ptr<DataRecord> m_record;
    JsonReader m_reader;
    std::optional<String> m_last;
};

int run(const ReplOptions& options) {
    LineSource lines(options.history);
    Session session;
    if (lines.terminal())
        std::fputs("strand repl: :help lists the commands, :quit or Ctrl-D ends\n", stdout);
    std::string pending;
    while (auto line = lines.next(!pending.empty())) {
        if (pending.empty()) {
            if (blank(*line))
                continue;
            if (line->front() == ':') {
                if (!session.command(*line))
                    break;
                continue;
            }
            pending = *line;
        } else if (blank(*line)) {
            // An empty line ends a statement that still waits for its end: show why.
            session.evaluate(pending);
            pending.clear();
            continue;
        } else {
            pending += '\n';
            pending += *line;
        }
        if (Session::continues(pending))
            continue;
        session.evaluate(pending);
        pending.clear();
    }
    if (!pending.empty())
        session.evaluate(pending);
    if (lines.terminal())
        std::fputc('\n', stdout);
    return 0;
}

}  // namespace

void addReplCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ReplOptions>();
    auto* repl = app.add_subcommand("repl", "An interactive session: type statements, see their values");
    repl->add_option("--history", options->history,
                     "The history file of a terminal session (default ~/.strand_history)");
    repl->callback([options, &status] { status = run(*options); });
}

}  // namespace strand::cli
