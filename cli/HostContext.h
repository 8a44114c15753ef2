#pragma once
// The component context of the strand command: what the built-ins that talk to their host do when the
// host is this command.
//   --debug          debugMessage, debugMessageError and debugBreak write "debug: record N: TEXT",
//                    "error: record N: TEXT" and "break: record N: TEXT" (and the record as JSON) to
//                    standard error; a break waits for Enter when standard input and standard error are
//                    terminals. Without it they do nothing.
//   sendmessagetoclient writes "message: TEXT" to standard error, always.
//   --calculators DIR  the component database: the calculator of property P is the script DIR/P.ss
//                    (the name matched ignoring the case of A to Z), run against the record.
//   --protocols DIR  the protocol runner: protocol NAME is the script DIR/NAME.ss, run once with the
//                    inputs as its globals and no record; its outputs are the globals it leaves.
// Paths of the file built-ins are taken from the current directory, as given ("~" is not expanded).

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "expr/ExpressionList.h"
#include "host/Context.h"

namespace CLI {
class App;
}

namespace strand::cli {

struct HostOptions {
    bool debug = false;
    std::optional<std::string> calculators;
    std::optional<std::string> protocols;
    // The step budget of each script the host runs (calculators, protocols): that of the command.
    uint64_t maxSteps = 0;
    double timeout = 0;
};

// --debug, --calculators DIR and --protocols DIR.
void addHostOptions(CLI::App& command, HostOptions& options);

// The scripts of a folder by name: NAME.ss, NAME matched ignoring the case of A to Z.
class ScriptFolder {
  public:
    explicit ScriptFolder(std::string directory);
    // The script's path, or nothing.
    std::optional<std::string> find(const String& name);
    const std::string& directory() const noexcept { return m_directory; }

  private:
    std::string m_directory;
    bool m_scanned = false;
    std::map<std::string, std::string> m_paths;  // folded name -> path
};

class ProtocolRunner;

class CommandContext : public ComponentContext {
  public:
    explicit CommandContext(const HostOptions& options);
    ~CommandContext() override;

    void sendMessageToClient(const String& message) override;
    void debugMessage(const String& message) override;
    void debugErrorMessage(const String& message) override;
    void debugBreak(const String& message) override;
    bool canCalculateProperty(iDataRecord* record, const String& name) override;
    CalculationState calculateProperty(iDataRecord* record, const String& name) override;
    bool hasComponentDatabase() const override { return m_calculators.has_value(); }

    // The record being processed and its number from 1, for the debug lines; null and 0 outside records.
    void setRecord(iDataRecord* record, int64_t number) noexcept {
        m_record = record;
        m_recordNumber = number;
    }
    // The runner scripts of this context reach runprotocol through; null without --protocols.
    iRunnerSoap* runner() const noexcept;
    // Sets the command's budget on a context about to run a script.
    void applyBudgetTo(ExpressionContext& ctx) const;
    const HostOptions& options() const noexcept { return m_options; }

  private:
    void writeDebug(const char* kind, const String& message);

    HostOptions m_options;
    std::optional<ScriptFolder> m_calculators;
    std::map<std::string, Ptr<xrExpressionListImp>> m_calculatorScripts;
    std::set<std::string> m_calculating;  // folded names of calculators running now
    Ptr<ProtocolRunner> m_runner;
    iDataRecord* m_record = nullptr;
    int64_t m_recordNumber = 0;
};

// Runs protocols from a folder for runprotocol. A protocol that is already running (it runs itself,
// directly or through others) is refused.
class ProtocolRunner : public iRunnerSoap {
  public:
    ProtocolRunner(const HostOptions& options, std::string directory);
    const ClassTag& getClassTag() const override { return Tag; }
    void prepare() override {}
    bool runProtocol(const String& protocol, iPropertyCollection* inputs, iPropertyCollection* outputs,
                     Array<String>& errors, int32_t pollInterval, int32_t timeout) override;

  private:
    bool run(const String& protocol, const std::string& path, iPropertyCollection* inputs,
             iPropertyCollection* outputs, Array<String>& errors);

    HostOptions m_options;
    ScriptFolder m_folder;
    std::vector<String> m_running;
};

}  // namespace strand::cli
