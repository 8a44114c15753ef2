#pragma once
// Contexts. iContext is the component a script runs for: its parameters, its local data, the
// global properties, a random source, client and debug messages and path resolution, and the
// hook for properties the host can calculate. ComponentContext is a complete one for embedders,
// tests and the command line. ExpressionContext is what one evaluation sees: a component context,
// the data record (or a bare property list) being processed, the expression-local properties made
// on demand, a random source and the connection to the pipeline runner.

#include <chrono>
#include <cstdint>
#include <functional>

#include "host/Array.h"
#include "host/DataRecord.h"
#include "host/PropertyCollection.h"
#include "host/xrRandom.h"

namespace strand {

// States a component can be put in; the terminating built-ins carry one to the host.
enum class ComponentState : int32_t {
    Blocked = 0,
    Ready = 1,
    Running = 2,
    Finished = 3,
    Terminated = 4,
    HaltProtocol = 5,
};

// The connection to the pipeline runner, through which a script runs another protocol.
class iRunnerSoap : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iRunnerSoap"};
    virtual void prepare() = 0;
    // Runs the protocol with the named inputs, filling the outputs; false with messages on failure.
    virtual bool runProtocol(const String& protocol, iPropertyCollection* inputs,
                             iPropertyCollection* outputs, Array<String>& errors, int32_t pollInterval,
                             int32_t timeout) = 0;
};

// Progress of a request to calculate a missing data-record property.
enum class CalculationState : int32_t { Failed = 0, Done = 1, Pending = 2 };

class iContext : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iContext"};

    virtual iDataRecord* getLocalData() = 0;
    // A random number in [0, bound) (bound 0: any 32-bit number).
    virtual uint32_t getRandom(uint32_t bound) = 0;
    virtual iPropertyCollection* getComponentParameters() = 0;
    virtual iPropertyCollection* getGlobalProperties() = 0;
    virtual void sendMessageToClient(const String& message) = 0;
    virtual bool isDebugging() const = 0;
    virtual void debugMessage(const String& message) = 0;
    virtual void debugErrorMessage(const String& message) = 0;
    virtual void debugBreak(const String& message) = 0;
    virtual String getIdentifier() const = 0;
    // Turns a script's path into a local file path; false when it cannot.
    virtual bool locateAbsolutePath(const String& path, String& result) = 0;
    virtual bool constructAbsolutePath(const String& path, String& result) = 0;
    // Whether the host can calculate a missing property of the record, and the request itself;
    // the request is repeated while it answers Pending.
    virtual bool canCalculateProperty(iDataRecord* record, const String& name) = 0;
    virtual CalculationState calculateProperty(iDataRecord* record, const String& name) = 0;
    // Whether the host has a component database to find calculators in at all; without one the
    // calculate built-ins refuse instead of answering "no calculator".
    virtual bool hasComponentDatabase() const { return false; }
};

// A component context with its own global properties, filled and observed through setters.
// Client and debug messages go to handlers when set, else they are collected.
class ComponentContext : public iContext {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.ComponentContext"};
    enum class DebugKind { Message, Error, Break };
    using MessageHandler = std::function<void(const String&)>;
    using DebugHandler = std::function<void(DebugKind, const String&)>;
    using Calculator = std::function<CalculationState(iDataRecord*, const String&)>;

    ComponentContext();
    const ClassTag& getClassTag() const override { return Tag; }

    iDataRecord* getLocalData() override { return m_localData.get(); }
    uint32_t getRandom(uint32_t bound) override { return m_random->GetRandom(bound); }
    iPropertyCollection* getComponentParameters() override { return m_parameters.get(); }
    iPropertyCollection* getGlobalProperties() override { return m_globals.get(); }
    void sendMessageToClient(const String& message) override;
    bool isDebugging() const override { return m_debugging; }
    void debugMessage(const String& message) override { debug(DebugKind::Message, message); }
    void debugErrorMessage(const String& message) override { debug(DebugKind::Error, message); }
    void debugBreak(const String& message) override { debug(DebugKind::Break, message); }
    String getIdentifier() const override { return m_identifier; }
    // Absolute paths stay as they are; relative ones are taken from the base directory when one is
    // set. An empty path cannot be resolved.
    bool locateAbsolutePath(const String& path, String& result) override;
    bool constructAbsolutePath(const String& path, String& result) override;
    bool canCalculateProperty(iDataRecord* record, const String& name) override;
    CalculationState calculateProperty(iDataRecord* record, const String& name) override;
    bool hasComponentDatabase() const override { return bool(m_canCalculate); }

    void setGlobalProperties(Ptr<iPropertyCollection> globals) { m_globals = std::move(globals); }
    void setComponentParameters(Ptr<iPropertyCollection> parameters) { m_parameters = std::move(parameters); }
    void setLocalData(Ptr<iDataRecord> data) { m_localData = std::move(data); }
    void setDebugging(bool on) { m_debugging = on; }
    void setClientMessageHandler(MessageHandler handler) { m_clientHandler = std::move(handler); }
    void setDebugHandler(DebugHandler handler) { m_debugHandler = std::move(handler); }
    void setBaseDirectory(String directory) { m_baseDirectory = std::move(directory); }
    // Properties the host can calculate: `canCalculate` answers for a name, `calculate` does it.
    void setCalculator(std::function<bool(const String&)> canCalculate, Calculator calculate);

    const Array<String>& getClientMessages() const { return m_clientMessages; }
    const Array<String>& getDebugMessages() const { return m_debugMessages; }

  private:
    void debug(DebugKind kind, const String& message);

    Ptr<iPropertyCollection> m_globals;
    Ptr<iPropertyCollection> m_parameters;
    Ptr<iDataRecord> m_localData;
    Ptr<xrRandom> m_random;
    String m_identifier;
    String m_baseDirectory;
    bool m_debugging = false;
    MessageHandler m_clientHandler;
    DebugHandler m_debugHandler;
    std::function<bool(const String&)> m_canCalculate;
    Calculator m_calculate;
    Array<String> m_clientMessages;
    Array<String> m_debugMessages;
};

// What one evaluation sees. It does not own the component context, the record, the property list,
// the runner or the node: the caller keeps them alive for as long as the evaluation runs.
class ExpressionContext {
  public:
    // The seed of a random source made on demand.
    static constexpr uint32_t kDefaultSeed = 3333;

    ExpressionContext() = default;
    ExpressionContext(iContext* context, iDataRecord* record, Ptr<xrRandom> random = nullptr,
                      iRunnerSoap* runner = nullptr)
        : m_context(context),
          m_record(record),
          m_recordList(record ? record->getPropertyList() : nullptr),
          m_random(std::move(random)),
          m_runner(runner) {}
    ExpressionContext(iContext* context, iPropertyCollection* properties, Ptr<xrRandom> random = nullptr,
                      iRunnerSoap* runner = nullptr)
        : m_context(context), m_properties(properties), m_random(std::move(random)), m_runner(runner) {}

    iContext* getContext() const noexcept { return m_context; }
    iDataRecord* getDataRecord() const noexcept { return m_record; }
    // The record's property list is read here, once: a record must not swap its list while a context
    // holds it.
    void setDataRecord(iDataRecord* record) {
        m_record = record;
        m_recordList = record ? record->getPropertyList() : nullptr;
    }
    // The record's properties, or the bare property list the context was made with; null when none.
    iPropertyCollection* getPropertyList() const { return m_record ? m_recordList : m_properties; }
    void setPropertyList(iPropertyCollection* properties) noexcept { m_properties = properties; }
    // The expression-local properties, made on first need when `create` is true.
    iPropertyCollection* getExpressionPropertyList(bool create);
    // Forgets the expression-local properties, so that the next run starts without them.
    void clearExpressionProperties();
    // The component's global properties; null without a component context.
    iPropertyCollection* getGlobalProperties() const {
        return m_context ? m_context->getGlobalProperties() : nullptr;
    }
    // The component's parameters; null without a component context.
    iPropertyCollection* getParameters() const;
    void setParameters(iPropertyCollection* parameters) noexcept { m_parameters = parameters; }

    xrRandom* getRandom() const noexcept { return m_random.get(); }
    void setRandom(Ptr<xrRandom> random) { m_random = std::move(random); }
    // Uses the random source, making one seeded with kDefaultSeed when there is none.
    double getRandomDouble();
    void seedRandom(uint32_t seed);

    iRunnerSoap* getRunnerSoap() const noexcept { return m_runner; }
    void setRunnerSoap(iRunnerSoap* runner) noexcept { m_runner = runner; }
    const String& getCurrentParameter() const noexcept { return m_currentParameter; }
    void setCurrentParameter(String name) { m_currentParameter = std::move(name); }
    // Strict numbers: a property whose text is not wholly a number (blanks around it allowed), or that
    // holds no value, fails when a script reads it as a number, instead of reading as its numeric
    // prefix or 0.
    bool strictNumbers() const noexcept { return m_strictNumbers; }
    void setStrictNumbers(bool strict) noexcept { m_strictNumbers = strict; }
    // The step budget, off unless a limit is set. A step is one turn of a loop or one run of a text as
    // a script (eval); a run that takes more steps than the limit, or lasts longer than the time limit,
    // fails at the line of the step that passed it. startSteps begins a run: the steps count from 0
    // and the time from then.
    void setStepLimit(uint64_t steps) noexcept {
        m_stepLimit = steps;
        m_budgeted = m_stepLimit != 0 || m_timeLimit.count() != 0;
    }
    void setTimeLimit(std::chrono::nanoseconds limit) noexcept {
        m_timeLimit = limit;
        m_budgeted = m_stepLimit != 0 || m_timeLimit.count() != 0;
    }
    void startSteps() noexcept;
    void step(int32_t line) {
        if (m_budgeted) [[unlikely]]
            countStep(line);
    }
    uint64_t stepsTaken() const noexcept { return m_steps; }
    // A text of `length` code units was built or stored. Under a time limit a large one reads the
    // clock: a script without loops that copies texts of hundreds of megabytes from one property to
    // the next takes no steps, yet must stop in time too.
    void noteText(size_t length, int32_t line) {
        if (timeLimited() && length >= kClockedText) [[unlikely]]
            checkDeadline(line);
    }
    bool timeLimited() const noexcept { return m_timeLimit.count() != 0; }
    // Copying this many code units costs far more than reading the clock.
    static constexpr size_t kClockedText = size_t(1) << 16;

    // The node the script runs for, or null when it runs for a data record.
    iNode* isForNode() const noexcept { return m_node; }
    void setForNode(iNode* node) noexcept { m_node = node; }

  private:
    void countStep(int32_t line);
    void checkDeadline(int32_t line) const;

    bool m_strictNumbers = false;
    bool m_budgeted = false;
    uint64_t m_stepLimit = 0;
    uint64_t m_steps = 0;
    std::chrono::nanoseconds m_timeLimit{0};
    std::chrono::steady_clock::time_point m_deadline{};
    iContext* m_context = nullptr;
    iDataRecord* m_record = nullptr;
    iPropertyCollection* m_recordList = nullptr;
    iPropertyCollection* m_properties = nullptr;
    iPropertyCollection* m_parameters = nullptr;
    Ptr<CPropertyCollection> m_expressionLocals;
    Ptr<xrRandom> m_random;
    iRunnerSoap* m_runner = nullptr;
    String m_currentParameter;
    iNode* m_node = nullptr;
};

}  // namespace strand
