#pragma once
// CValidationContext: the component context a parameter's rules run under. It stands in for a running
// component: it offers the parameter's collection as the component's parameters, a random source of
// its own, and the state collection of the rule being run as the script's global properties (so a
// rule's `@` variables persist from run to run in that rule's own state). Everything that needs a real
// running component is refused with "This method is not supported for validation"; debugging is off,
// and paths resolve to themselves.

#include <cstdint>

#include "host/Context.h"
#include "host/Parameter.h"
#include "host/xrRandom.h"

class CValidationContext final : public strand::iContext {
  public:
    static constexpr strand::ClassTag Tag{"Halvorn.data.ValidationContext"};

    // The parameters are not counted: the parameter that owns the context sets its own collection
    // before each rule.
    explicit CValidationContext(strand::iParameterCollection* parameters);
    ~CValidationContext() override;
    const strand::ClassTag& getClassTag() const override { return Tag; }

    void setComponentParameters(strand::iParameterCollection* parameters) noexcept {
        m_parameters = parameters;
    }
    // Makes the rule's state the global properties of the scripts parsed from now on.
    void attachState(strand::Ptr<strand::iPropertyCollection> state) { m_state = std::move(state); }
    // Contexts are not cloned: raises "Cannot clone CValidationContext".
    [[noreturn]] void clone() const;

    strand::iDataRecord* getLocalData() override;
    uint32_t getRandom(uint32_t bound) override { return m_random->GetRandom(bound); }
    strand::iPropertyCollection* getComponentParameters() override;
    strand::iPropertyCollection* getGlobalProperties() override { return m_state.get(); }
    void sendMessageToClient(const strand::String& message) override;
    bool isDebugging() const override { return false; }
    void debugMessage(const strand::String&) override {}
    void debugErrorMessage(const strand::String&) override {}
    void debugBreak(const strand::String&) override {}
    strand::String getIdentifier() const override { return m_identifier; }
    bool locateAbsolutePath(const strand::String& path, strand::String& result) override;
    bool constructAbsolutePath(const strand::String& path, strand::String& result) override;
    bool canCalculateProperty(strand::iDataRecord*, const strand::String&) override { return false; }
    strand::CalculationState calculateProperty(strand::iDataRecord* record,
                                               const strand::String& name) override;

    // The seed of the random source: h * 31 + the low byte of each code unit of the identifier.
    static uint32_t seedOf(const strand::String& identifier) noexcept;

  private:
    strand::iParameterCollection* m_parameters;
    strand::Ptr<strand::iPropertyCollection> m_state;
    strand::String m_identifier;
    strand::Ptr<strand::xrRandom> m_random;
};
