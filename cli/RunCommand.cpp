// strand run: runs a script once per record of CSV, TSV or JSON Lines input and writes the records
// with what the script changed, the way a pipeline's record manipulator and record filter do.
//
// Usage errors (options, unreadable scripts or inputs, scripts that do not parse or do not pass their
// check) end the command with status 2 before any record is read. A record that fails stops the run
// with status 1 after what was written is flushed, or, with --on-error skip, goes to standard error
// with its message while the run goes on.

#include <CLI/CLI.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "HostContext.h"
#include "JsonValues.h"
#include "RecordFormats.h"
#include "RecordStream.h"
#include "ScriptMessages.h"
#include "ScriptSource.h"
#include "expr/Exceptions.h"
#include "host/Context.h"
#include "host/DataRecord.h"
#include "host/Format.h"
#include "parser/ExpressionParser.h"

namespace strand::cli {

namespace {

constexpr int kRecordFailed = 1;
constexpr int kUsageError = 2;
// haltprotocol() ended the run.
constexpr int kHaltedProtocol = 3;
constexpr size_t kDefaultHoldBytes = size_t(64) << 20;

struct RunOptions {
    std::optional<std::string> expression;
    std::vector<std::string> arguments;  // SCRIPT_FILE and the inputs, or only the inputs with -e
    std::string output;
    std::optional<std::string> in;
    std::optional<std::string> out;
    bool noInfer = false;
    std::optional<std::string> columns;
    std::optional<std::string> init, initFile, final, finalFile;
    std::optional<std::string> globals;
    bool printGlobals = false;
    bool filter = false;
    std::string fail;
    std::string onError = "stop";
    bool quiet = false;
    // Formats.
    std::optional<std::string> ifs, ofs, ors, ofmt;
    bool implicitHeader = false;
    bool headerlessOutput = false;
    bool gzin = false, gzout = false;
    bool noFlatten = false;
    bool unionHeader = false;
    std::optional<int64_t> head;
    std::optional<std::string> globalsOut;
    bool strict = false;
    // The step budget of one script run: 0 for none.
    uint64_t maxSteps = 0;
    double timeout = 0;
    HostOptions host;
};

// A usage error that was already reported.
struct Reported {
    int status;
};

void printLine(const String& text) {
    std::fputs("strand: ", stderr);
    writeUtf8(stderr, text);
    if (!text.view().ends_with(u'\n'))
        std::fputc('\n', stderr);
}

Format formatOption(const std::string& name) {
    // The option's own check allows only the known names.
    return *formatFromName(name);
}

Format inputFormat(const RunOptions& options, const std::string& path) {
    if (options.in)
        return formatOption(*options.in);
    if (path == "-")
        throw Exception(u"Cannot tell the format of standard input: give --in csv, tsv or json");
    if (std::optional<Format> format = formatFromPath(path); format && *format <= Format::JsonLines)
        return *format;
    throw Exception(u"Cannot tell the format of %s from its name: give --in csv, tsv or json", path);
}

// A separator of --ifs or --ofs: one character that cannot be part of a field's text structure.
char separatorOption(const std::optional<std::string>& text, const char* option) {
    if (!text)
        return 0;
    const std::string& value = *text == "tab" ? std::string("\t") : *text;
    if (value.size() != 1 || value[0] == '"' || value[0] == '\n' || value[0] == '\r' ||
        static_cast<unsigned char>(value[0]) >= 0x80)
        throw Exception(
            u"%s takes one ASCII character other than a quote or a line break (or 'tab'), not '%s'", option,
            value);
    return value[0];
}

// --ofmt: one number directive (%.2f, %10.3e, %g ...) and nothing else.
String numberFormatOption(const std::string& text) {
    const String directive = String::fromUtf8(text);
    const std::u16string_view v = directive.view();
    size_t i = v.starts_with(u'%') ? 1 : v.size();
    while (i < v.size() && std::u16string_view(u"-+ #0").find(v[i]) != std::u16string_view::npos)
        ++i;
    while (i < v.size() && v[i] >= u'0' && v[i] <= u'9')
        ++i;
    if (i < v.size() && v[i] == u'.') {
        ++i;
        while (i < v.size() && v[i] >= u'0' && v[i] <= u'9')
            ++i;
    }
    const bool conversion =
        i + 1 == v.size() && std::u16string_view(u"eEfFgG").find(v[i]) != std::u16string_view::npos;
    if (!conversion || v.size() > 16)
        throw Exception(u"--ofmt takes one number directive such as %%.2f, %%e or %%g, not '%s'", text);
    return directive;
}

// The column names of --columns, split as a CSV record.
std::vector<String> parseColumns(const std::string& text) {
    DelimitedParser parser(Format::Csv);
    if (parser.parse(text, true) != DelimitedParser::Status::Record)
        throw Exception(u"--columns names no column");
    std::vector<String> names;
    for (const Field& field : parser.fields()) {
        String name;
        if (!decodeUtf8(field.content, name.mutableStr()) || name.isEmpty())
            throw Exception(u"--columns: column %d has no name", int32_t(names.size() + 1));
        for (const String& earlier : names) {
            if (earlier.equalsIgnoreCase(name))
                throw Exception(u"--columns names '%ls' twice", name);
        }
        names.push_back(std::move(name));
    }
    return names;
}

std::FILE* openOutput(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw Exception(u"Cannot create %s: %s", path, std::strerror(errno));
    return file;
}

// The file an input or output names ("-": the standard descriptor), when it is a regular file or a
// pipe that exists: writing one that is also read would destroy it before it is read, or feed the run
// its own output without end. (Devices such as /dev/null and terminals are no danger.)
std::optional<std::pair<dev_t, ino_t>> dataFile(const std::string& path, int standardFd) {
    struct stat info {};
    const int got = path == "-" ? fstat(standardFd, &info) : stat(path.c_str(), &info);
    if (got != 0 || !(S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode)))
        return std::nullopt;
    return std::make_pair(info.st_dev, info.st_ino);
}

// True when both name one existing regular file or pipe.
bool sameFile(const std::string& a, int aFd, const std::string& b, int bFd) {
    const auto first = dataFile(a, aFd);
    return first && first == dataFile(b, bFd);
}

std::string displayPath(const std::string& path, const char* standard) {
    return path == "-" ? std::string(standard) : path;
}

size_t holdBytes() {
    // Tests lower the limit to see records spill to a temporary file.
    if (const char* text = std::getenv("STRAND_RUN_HOLD_BYTES")) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text, &end, 10);
        if (end && *end == '\0' && end != text)
            return size_t(value);
    }
    return kDefaultHoldBytes;
}

// The text of a failure from a running script.
template <typename Body>
std::optional<String> runScript(Body body) {
    try {
        body();
        return std::nullopt;
    } catch (const OutputFailure&) {
        throw;  // the run's, not the record's
    } catch (const Exception& e) {
        return e.getErrorMessageBlock();
    } catch (const xrExpressionTerminateException& e) {
        return formatString(u"The script asked to stop (component state %d)",
                            static_cast<int>(e.GetProcessState()));
    } catch (const std::bad_alloc&) {
        return String(u"Out of memory");
    } catch (const std::exception& e) {
        return String::fromUtf8(e.what());
    }
}

// Parses and checks one script; reports a failure (named after the script's file or option) and raises
// Reported.
Ptr<xrExpressionListImp> prepare(const String& text, ComponentContext& context, bool checkLast,
                                 const std::string& name) {
    Ptr<xrExpressionListImp> script;
    try {
        script = xrExpressionParser::ParseExpression(text, &context);
        script->doesSomethingCheck(checkLast);
    } catch (const Exception& e) {
        printScriptFailure(text, e.getErrorMessageBlock(), name);
        throw Reported{kUsageError};
    }
    return script;
}

std::optional<String> readOptionalScript(const std::optional<std::string>& text,
                                         const std::optional<std::string>& file) {
    if (text)
        return readScript(ScriptSource{{}, text});
    if (file)
        return readScript(ScriptSource{*file, std::nullopt});
    return std::nullopt;
}

// Records done and the rate, on standard error while a run lasts, when it is a terminal.
class Progress {
  public:
    explicit Progress(bool enabled) : m_enabled(enabled && isatty(STDERR_FILENO)) {}
    ~Progress() { clear(); }

    void tick(int64_t records) {
        if (!m_enabled || (records & 4095) != 0)
            return;
        const auto now = Clock::now();
        if (now - m_start < std::chrono::seconds(1) || now - m_shown < std::chrono::milliseconds(250))
            return;
        m_shown = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        std::fprintf(stderr, "\r%lld records, %.0f records/s", static_cast<long long>(records),
                     double(records) / seconds);
        m_visible = true;
    }
    void clear() {
        if (m_visible)
            std::fputs("\r\033[K", stderr);
        m_visible = false;
    }

  private:
    using Clock = std::chrono::steady_clock;
    bool m_enabled;
    bool m_visible = false;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_shown{};
};

class Run {
  public:
    explicit Run(const RunOptions& options) : m_options(options) {}

    int execute() {
        setUp();
        // From here on a failure is the run's, not the command line's.
        try {
            return runAll();
        } catch (const OutputFailure& e) {
            // A reader that went away (`| head`) ends the run quietly.
            if (e.brokenPipe())
                return 0;
            printLine(e.getErrorMessageBlock());
            return kUsageError;
        } catch (const Exception& e) {
            printLine(e.getErrorMessageBlock());
            return kRecordFailed;
        }
    }

  private:
    int runAll() {
        if (int status = runOnce(m_init.get(), "the init script failed"))
            return status;
        if (!m_stopped) {
            if (int status = processRecords())
                return status;
        }
        finishWriters();
        // A run a script stopped still runs its final script.
        const bool stoppedBefore = m_stopped;
        m_stopped = false;
        if (int status = runOnce(m_final.get(), "the final script failed"))
            return status;
        m_stopped = m_stopped || stoppedBefore;
        if (m_options.printGlobals)
            printGlobals();
        if (m_options.globalsOut)
            writeGlobals(*m_options.globalsOut);
        reportUnusedColumns();
        if (m_skip)
            printSummary();
        return m_stopStatus;
    }

    // A script asked to stop: terminate, halt and terminatepipeline end the run after the current
    // record, which is not written, with status 0; haltprotocol does the same with status 3.
    void stopRequested(const xrExpressionTerminateException& stop, const std::string& where, bool inRecord) {
        const char16_t* function = stop.GetFunctionName() ? stop.GetFunctionName() : u"terminate";
        printLine(formatString(u"%s: %ls() stopped the run%s", where, function,
                               inRecord ? "; the record was not written" : ""));
        if (stop.GetProcessState() == ComponentState::HaltProtocol)
            m_stopStatus = kHaltedProtocol;
        m_stopped = true;
    }

    void setUp() {
        ScriptSource source;
        std::vector<std::string> paths = m_options.arguments;
        if (m_options.expression) {
            source.text = m_options.expression;
        } else {
            if (paths.empty())
                throw CLI::RequiredError("SCRIPT_FILE or -e");
            source.file = paths.front();
            paths.erase(paths.begin());
        }
        if (paths.empty())
            paths.push_back("-");
        if (!m_options.fail.empty() && !m_options.filter)
            throw Exception(u"--fail is for --filter runs");

        HostOptions host = m_options.host;
        host.maxSteps = m_options.maxSteps;
        host.timeout = m_options.timeout;
        m_context = makePtr<CommandContext>(host);
        if (m_options.globals) {
            try {
                JsonReader().readObjectInto(*m_options.globals, *m_context->getGlobalProperties());
            } catch (const Exception& e) {
                throw Exception(u"--globals: %ls", e.getErrorMessageBlock());
            }
        }
        // Scripts are read and checked before any input is looked at.
        const String text = readScript(source);
        const std::optional<String> initText = readOptionalScript(m_options.init, m_options.initFile);
        const std::optional<String> finalText = readOptionalScript(m_options.final, m_options.finalFile);
        // A manipulator's value is unused, so every statement must do something; a filter's last
        // statement is its condition.
        const std::string scriptName = source.text          ? std::string()
                                       : source.file == "-" ? "standard input"
                                                            : source.file;
        m_script = prepare(text, *m_context, !m_options.filter, scriptName);
        if (initText)
            m_init = prepare(*initText, *m_context, true, m_options.initFile.value_or("--init"));
        if (finalText)
            m_final = prepare(*finalText, *m_context, true, m_options.finalFile.value_or("--final"));

        std::vector<InputSpec> inputs;
        for (const std::string& path : paths)
            inputs.push_back(
                InputSpec{path, inputFormat(m_options, path), m_options.gzin || isGzipPath(path)});
        Format outFormat = inputs.front().format;
        if (m_options.out)
            outFormat = formatOption(*m_options.out);
        else if (!m_options.output.empty() && m_options.output != "-")
            outFormat = formatFromPath(m_options.output).value_or(outFormat);
        WriterOptions writing;
        writing.holdBytes = holdBytes();
        if (m_options.columns) {
            if (outFormat != Format::Csv && outFormat != Format::Tsv)
                throw Exception(u"--columns is for CSV and TSV output");
            writing.columns = parseColumns(*m_options.columns);
        }

        writing.header = !m_options.headerlessOutput;
        writing.unionHeader = m_options.unionHeader;
        writing.unflatten = !m_options.noFlatten;
        if (m_options.ofmt)
            writing.numberFormat = numberFormatOption(*m_options.ofmt);
        if (m_options.ors)
            writing.lineEnd = *m_options.ors == "crlf" ? "\r\n" : "\n";
        ReaderOptions reading;
        reading.inferNumbers = !m_options.noInfer;
        reading.separator = separatorOption(m_options.ifs, "--ifs");
        // A CSV written from CSV keeps the input's separator unless told otherwise.
        writing.separator = m_options.ofs ? separatorOption(m_options.ofs, "--ofs") : reading.separator;
        reading.implicitHeader = m_options.implicitHeader;
        reading.flatten = !m_options.noFlatten;
        for (const InputSpec& input : inputs) {
            if (reading.separator && input.format == Format::Tsv)
                throw Exception(u"--ifs is for CSV input: TSV fields are separated by tabs");
        }
        if (m_options.ofs && outFormat != Format::Csv)
            throw Exception(u"--ofs is for CSV output");
        if (outFormat != Format::Csv)
            writing.separator = 0;

        // Opening an output truncates it: one that is also an input would be lost before it is read (and
        // standard output appending to an input would feed the run its own records without end).
        const bool toStandardOutput = m_options.output.empty() || m_options.output == "-";
        const std::string standardOutput = toStandardOutput ? std::string("-") : m_options.output;
        for (const std::string* output : {&standardOutput, &m_options.fail, &m_globalsOut}) {
            if (output->empty())
                continue;
            for (const InputSpec& input : inputs) {
                if (sameFile(input.path, STDIN_FILENO, *output, STDOUT_FILENO))
                    throw Exception(u"%s is both an input (%s) and an output: write to another file",
                                    displayPath(*output, "standard output"),
                                    displayPath(input.path, "standard input"));
            }
        }
        m_reader = std::make_unique<RecordReader>(std::move(inputs), reading);
        std::FILE* out = stdout;
        std::string outName = "standard output";
        if (!toStandardOutput) {
            m_outFile = openOutput(m_options.output);
            out = m_outFile;
            outName = m_options.output;
        }
        m_styleChosen = bool(m_options.ors);
        writing.gzip = m_options.gzout || (!toStandardOutput && isGzipPath(m_options.output));
        const std::optional<std::vector<String>> columns = writing.columns;
        m_writer = makeRecordWriter(outFormat, out, outName, writing);
        // The one format every writer writes, if they agree.
        std::optional<Format> written = outFormat;
        if (!m_options.fail.empty()) {
            // The output exists by now, so a second name for it is seen too.
            if (sameFile(standardOutput, STDOUT_FILENO, m_options.fail, STDOUT_FILENO))
                throw Exception(u"-o and --fail name the same file %s", m_options.fail);
            const Format failFormat = formatFromPath(m_options.fail).value_or(outFormat);
            m_failFile = openOutput(m_options.fail);
            writing.gzip = isGzipPath(m_options.fail);
            writing.columns = failFormat == outFormat ? columns : std::nullopt;
            m_failWriter = makeRecordWriter(failFormat, m_failFile, m_options.fail, writing);
            if (failFormat != outFormat)
                written.reset();
        }
        m_skip = m_options.onError == "skip";
        // Rows written so far go out whenever the input keeps the run waiting.
        // (A failure to write is the run's: it is kept for the run to raise, not the reader's to report.)
        m_reader->setWaitHook([this] {
            try {
                m_writer->flushPending();
                if (m_failWriter)
                    m_failWriter->flushPending();
            } catch (const OutputFailure&) {
                if (!m_outputFailure)
                    m_outputFailure = std::current_exception();
            }
        });

        // Columns the script never names are written back as read without becoming values, when
        // the writers write the input's format.
        std::optional<std::vector<String>> named;
        if (!m_script->GetVariables()->callsFunctions) {
            named.emplace();
            for (const xrVariableRef& variable : m_script->GetVariables()->items) {
                if (variable->IsLocal())
                    named->push_back(variable->GetName());
            }
        }
        m_reader->setNamedProperties(std::move(named), written);
    }

    // Runs an init or final script: no data record, only the globals.
    int runOnce(xrExpressionListImp* script, const char* what) {
        if (!script)
            return 0;
        ExpressionContext ctx(m_context.get(), static_cast<iDataRecord*>(nullptr), nullptr,
                              m_context->runner());
        applyBudget(ctx, m_options.maxSteps, m_options.timeout);
        ctx.startSteps();
        m_context->setRecord(nullptr, 0);
        std::optional<xrExpressionTerminateException> stop;
        std::optional<String> failure = runScript([&] {
            try {
                script->evaluate(ctx);
            } catch (const xrExpressionTerminateException& e) {
                stop = e;
            }
        });
        if (stop) {
            stopRequested(*stop, script == m_init.get() ? "the init script" : "the final script", false);
            return 0;
        }
        if (failure) {
            printLine(formatString(u"%s: %ls", what, *failure));
            return kRecordFailed;
        }
        return 0;
    }

    int processRecords() {
        auto record = makePtr<DataRecord>();
        ExpressionContext ctx(m_context.get(), record.get(), nullptr, m_context->runner());
        ctx.setStrictNumbers(m_options.strict);
        applyBudget(ctx, m_options.maxSteps, m_options.timeout);
        Progress progress(!m_options.quiet);
        for (;;) {
            ctx.clearExpressionProperties();
            bool read = false;
            std::optional<String> readFailure = runScript([&] { read = m_reader->next(*record); });
            if (m_outputFailure)
                std::rethrow_exception(m_outputFailure);
            if (std::optional<String> failure = std::move(readFailure)) {
                if (!recordFailed(*failure, progress))
                    return kRecordFailed;
                continue;
            }
            chooseLineStyle();
            if (!read)
                break;
            ++m_read;
            ctx.setDataRecord(record.get());
            bool pass = true;
            ctx.startSteps();
            m_context->setRecord(record.get(), m_read);
            std::optional<xrExpressionTerminateException> stop;
            const std::optional<String> failure = runScript([&] {
                try {
                    if (m_options.filter)
                        pass = m_script->getBool(ctx);
                    else
                        m_script->evaluate(ctx);
                } catch (const xrExpressionTerminateException& e) {
                    stop = e;
                }
            });
            // Node children a script added belong to its record alone.
            if (record->getRootNode()) [[unlikely]]
                record->setRootNode(nullptr);
            if (stop) {
                // blockpipeline drops the record and the run goes on.
                if (stop->GetProcessState() == ComponentState::Blocked)
                    continue;
                stopRequested(*stop, "record " + std::to_string(m_read), true);
                return 0;
            }
            if (failure) {
                if (!recordFailed(*failure, progress))
                    return kRecordFailed;
                continue;
            }
            // A record that cannot be written fails as a record; an output that cannot be written
            // ends the run.
            try {
                if (pass) {
                    m_writer->write(*record->getPropertyList(), m_reader->fields());
                } else {
                    ++m_filteredOut;
                    if (m_failWriter)
                        m_failWriter->write(*record->getPropertyList(), m_reader->fields());
                }
            } catch (const OutputFailure&) {
                throw;
            } catch (const Exception& e) {
                if (!recordFailed(e.getErrorMessageBlock(), progress))
                    return kRecordFailed;
                continue;
            }
            progress.tick(m_read);
            // --head: nothing after the N-th record written is read.
            if (m_options.head && m_writer->written() >= *m_options.head)
                break;
        }
        return 0;
    }

    // Output that chose no line end of its own takes the first input's (and its byte-order mark).
    void chooseLineStyle() {
        if (m_styleChosen)
            return;
        m_styleChosen = true;
        const std::string lineEnd = m_reader->firstInputCrlf() ? "\r\n" : "\n";
        m_writer->setLineStyle(lineEnd, m_reader->firstInputByteOrderMark());
        if (m_failWriter)
            m_failWriter->setLineStyle(lineEnd, m_reader->firstInputByteOrderMark());
    }

    // Reports a record that could not be read or failed in the script; false when the run stops.
    bool recordFailed(const String& message, Progress& progress) {
        progress.clear();
        const RecordPosition& at = m_reader->position();
        const String where =
            at.record > 0 ? formatString(u"record %lld (%s, line %lld)", static_cast<long long>(at.record),
                                         at.file, static_cast<long long>(at.line))
                          : formatString(u"%s, line %lld", at.file, static_cast<long long>(at.line));
        if (!m_skip) {
            finishWriters();
            printLine(formatString(u"%ls: %ls", where, message));
            printGlobalHint(message);
            return false;
        }
        ++m_failed;
        std::fflush(stdout);
        printLine(formatString(u"%ls: %ls", where, message));
        printGlobalHint(message);
        const std::string_view raw = m_reader->rawRecord();
        std::fwrite(raw.data(), 1, raw.size(), stderr);
        std::fputc('\n', stderr);
        return true;
    }

    // --columns that no record set are likely misspelt.
    void reportUnusedColumns() const {
        const std::vector<String> unused = m_writer->unusedColumns();
        if (unused.empty())
            return;
        String list(String::View{});
        for (const String& name : unused) {
            if (!list.isEmpty())
                list.append(u", ");
            list.append(formatString(u"'%ls'", name).view());
        }
        printLine(formatString(u"--columns: no record had %ls", list));
    }

    // A global read before anything set it most likely wants a start value; said once a run.
    void printGlobalHint(const String& message) {
        static constexpr std::u16string_view kMarker = u"for the GLOBAL property '";
        const size_t at = message.view().find(kMarker);
        if (m_globalHinted || at == std::u16string_view::npos)
            return;
        const size_t begin = at + kMarker.size();
        const size_t end = message.view().find(u'\'', begin);
        if (end == std::u16string_view::npos)
            return;
        m_globalHinted = true;
        const String name(message.view().substr(begin, end - begin));
        printLine(formatString(u"hint: give @%ls a start value with --init '@%ls := 0'", name, name));
    }

    void finishWriters() {
        if (m_finished)
            return;
        m_finished = true;
        // With no record written, a CSV or TSV output still gets the input's header.
        m_writer->setSeedColumns(m_reader->firstHeader());
        m_writer->finish();
        if (m_failWriter) {
            m_failWriter->setSeedColumns(m_reader->firstHeader());
            m_failWriter->finish();
        }
        closeFile(m_outFile, m_options.output);
        closeFile(m_failFile, m_options.fail);
    }

    static void closeFile(std::FILE*& file, const std::string& name) {
        if (!file)
            return;
        const bool failed = std::fclose(file) != 0;
        file = nullptr;
        if (failed)
            throw OutputFailure(formatString(u"Cannot write to %s: %s", name, std::strerror(errno)),
                                errno == EPIPE);
    }

    void printGlobals() {
        std::string line;
        writeObject(*m_context->getGlobalProperties(), line);
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), stderr);
    }

    // --globals-out: the final globals as one JSON object, to a file or standard output.
    void writeGlobals(const std::string& path) {
        std::string line;
        writeObject(*m_context->getGlobalProperties(), line);
        line.push_back('\n');
        std::FILE* file = path == "-" ? stdout : openOutput(path);
        const bool failed =
            std::fwrite(line.data(), 1, line.size(), file) != line.size() || std::fflush(file) != 0;
        const int error = errno;
        if (file != stdout && std::fclose(file) != 0 && !failed)
            throw OutputFailure(formatString(u"Cannot write to %s: %s", path, std::strerror(errno)), false);
        if (failed)
            throw OutputFailure(formatString(u"Cannot write to %s: %s", displayPath(path, "standard output"),
                                             std::strerror(error)),
                                error == EPIPE);
    }

    void printSummary() const {
        String summary =
            formatString(u"%lld records read, %lld written, %lld failed and skipped",
                         static_cast<long long>(m_reader->recordsSeen()),
                         static_cast<long long>(m_writer->written()), static_cast<long long>(m_failed));
        if (m_options.filter)
            summary.append(
                formatString(u", %lld filtered out", static_cast<long long>(m_filteredOut)).view());
        printLine(summary);
    }

    const RunOptions& m_options;
    Ptr<CommandContext> m_context;
    Ptr<xrExpressionListImp> m_script, m_init, m_final;
    std::unique_ptr<RecordReader> m_reader;
    std::unique_ptr<RecordWriter> m_writer, m_failWriter;
    std::FILE* m_outFile = nullptr;
    std::FILE* m_failFile = nullptr;
    const std::string m_globalsOut =
        m_options.globalsOut && *m_options.globalsOut != "-" ? *m_options.globalsOut : "";
    std::exception_ptr m_outputFailure;
    bool m_skip = false;
    bool m_globalHinted = false;
    bool m_styleChosen = false;
    bool m_finished = false;
    int64_t m_read = 0;
    int64_t m_failed = 0;
    bool m_stopped = false;
    int m_stopStatus = 0;
    int64_t m_filteredOut = 0;
};

int runCommand(const RunOptions& options) {
    try {
        return Run(options).execute();
    } catch (const Reported& reported) {
        return reported.status;
    }
}

}  // namespace

void addRunCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<RunOptions>();
    auto* run = app.add_subcommand("run", "Run a script once per record of CSV, TSV or JSON Lines input");
    run->add_option("-e,--expression", options->expression,
                    "The script text; every argument is then an input");
    run->add_option("ARGS", options->arguments,
                    "SCRIPT_FILE (without -e), then the inputs (default: standard input)");
    run->add_option("-o,--output", options->output,
                    "Write the records to FILE instead of standard output (- for standard output)");
    run->add_option("--in", options->in,
                    "Input format: csv, tsv, json (JSON Lines or one array of objects), jsonl or ndjson "
                    "(default: from each input's extension)")
        ->check(CLI::IsMember({"csv", "tsv", "json", "jsonl", "ndjson"}));
    run->add_option("--out", options->out,
                    "Output format: csv, tsv, json, jsonl, ndjson, pprint or markdown (default: from -o's "
                    "extension, else the input's)")
        ->check(CLI::IsMember({"csv", "tsv", "json", "jsonl", "ndjson", "pprint", "markdown"}));
    run->add_option("--ifs", options->ifs, "CSV input: the field separator (one character, or 'tab')");
    run->add_option("--ofs", options->ofs, "CSV output: the field separator (one character, or 'tab')");
    run->add_option("--ors", options->ors, "Output line ends: lf or crlf (default: those of the first input)")
        ->check(CLI::IsMember({"lf", "crlf"}));
    run->add_flag("--implicit-header", options->implicitHeader,
                  "CSV/TSV input has no header line: the columns are named 1, 2, 3 ...");
    run->add_flag("--headerless-output", options->headerlessOutput, "Write no header line");
    run->add_flag("--gzin", options->gzin, "The inputs are gzip-compressed (also told by a .gz name)");
    run->add_flag("--gzout", options->gzout,
                  "Compress the output with gzip (also told by a -o name ending .gz)");
    run->add_flag(
        "--no-flatten", options->noFlatten,
        "JSON: refuse nested objects instead of reading them as a.b properties (and write a.b as it stands)");
    run->add_flag("--union", options->unionHeader,
                  "CSV/TSV to a pipe: hold the rows and write one header of every column at the end");
    run->add_option("--head", options->head, "Stop after N records are written, reading no further")
        ->check(CLI::NonNegativeNumber);
    run->add_option("--ofmt", options->ofmt, "The format of the numbers a script computed, such as %.2f");
    run->add_option("--globals-out", options->globalsOut,
                    "At the end, write the globals as a JSON object to FILE (- for standard output)");
    run->add_flag("--strict", options->strict,
                  "A text that is not wholly a number, or an empty value, used as a number fails the record");
    run->add_flag("--no-infer", options->noInfer, "Read every CSV and TSV field as text");
    run->add_option("--columns", options->columns,
                    "CSV/TSV output columns, comma-separated; the records then stream");
    auto* init = run->add_option("--init", options->init, "A script run once before the first record");
    run->add_option("--init-file", options->initFile, "The init script from a file")->excludes(init);
    auto* final = run->add_option("--final", options->final, "A script run once after the last record");
    run->add_option("--final-file", options->finalFile, "The final script from a file")->excludes(final);
    run->add_option("--globals", options->globals, "The global properties to start with, as a JSON object");
    run->add_flag("--print-globals", options->printGlobals,
                  "Print the globals as JSON on standard error at the end");
    run->add_flag("--filter", options->filter, "The script's boolean result decides whether a record passes");
    run->add_option("--fail", options->fail, "With --filter: write the records that do not pass to FILE");
    run->add_option("--on-error", options->onError,
                    "stop: the first failing record ends the run; skip: it goes to standard error")
        ->check(CLI::IsMember({"stop", "skip"}))
        ->capture_default_str();
    addBudgetOptions(*run, options->maxSteps, options->timeout);
    addHostOptions(*run, options->host);
    run->add_flag("--quiet", options->quiet, "No progress on standard error");
    run->callback([options, &status] { status = runCommand(*options); });
}

}  // namespace strand::cli
