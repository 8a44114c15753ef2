#pragma once
// A component as data: its name, its parameter collection (whose properties are parameters) and the
// value classes of its outputs. iComponentInfo is what scripts that build or inspect components work
// through; CObjectTransportNode is the data record that carries a component through a pipeline, so
// that such a script runs with the component as its record.
//
// The description answers for the parameters of its collection: a parameter's help, type, flag word
// and legal values are the parameter's own (strand::iParameter), its value the property's.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/Array.h"
#include "host/DataRecord.h"
#include "host/Parameter.h"

namespace strand {

class iComponentInfo : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iComponentInfo"};

    struct ParameterFacts {
        String help;
        String type;
        int32_t flags = 0;
        bool legalValuesEnforced = true;
        const Value* value = nullptr;
    };

    virtual const String& getComponentName() const = 0;
    // The component's parameters; values are set with define(name, value, 0).
    virtual iPropertyCollection* getParameterCollection() const = 0;

    // Whether the component has the parameter; `facts` receives its help, type, flag word and value.
    virtual bool getParameter(const String& name, ParameterFacts& facts) const = 0;
    // Defines the parameter (an existing one is redefined, keeping its value).
    virtual void defineParameter(const String& name, const String& type, const String& help,
                                 int32_t flags) = 0;
    // The legal values of the parameter; false when it has none (or no such parameter).
    virtual bool getLegalValues(const String& name, Array<String>& out) const = 0;
    virtual void setLegalValues(const String& name, const Array<String>& values, bool enforced) = 0;
    // Tells the description that the parameter's value is about to come from the component's records
    // (setdataparam): its verdicts are stale.
    virtual void setDataParameter(const String& name) = 0;

    // The value class of a named output, by tag name; the empty text when none is set.
    virtual void setOutputType(const String& name, const std::string& tagName) = 0;
    virtual std::string getOutputType(const String& name) const = 0;
};

// The description over a parameter collection.
class ComponentInfo final : public iComponentInfo {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.ComponentInfo"};
    ComponentInfo(String name, Ptr<iPropertyCollection> parameters)
        : m_name(std::move(name)), m_parameters(std::move(parameters)) {}
    const ClassTag& getClassTag() const override { return Tag; }

    const String& getComponentName() const override { return m_name; }
    void setComponentName(String name) { m_name = std::move(name); }
    iPropertyCollection* getParameterCollection() const override { return m_parameters.get(); }
    bool getParameter(const String& name, ParameterFacts& facts) const override;
    void defineParameter(const String& name, const String& type, const String& help, int32_t flags) override;
    bool getLegalValues(const String& name, Array<String>& out) const override;
    void setLegalValues(const String& name, const Array<String>& values, bool enforced) override;
    void setDataParameter(const String& name) override;
    void setOutputType(const String& name, const std::string& tagName) override;
    std::string getOutputType(const String& name) const override;

    // Every output type set, in the order first set.
    const std::vector<std::pair<String, std::string>>& outputTypes() const noexcept { return m_outputs; }

  private:
    iParameter* parameter(const String& name) const;

    String m_name;
    Ptr<iPropertyCollection> m_parameters;
    std::vector<std::pair<String, std::string>> m_outputs;
};

// The data record that carries a component: its property list is the component's parameter
// collection, and the component's description travels with it.
class CObjectTransportNode final : public iDataRecord {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.ObjectTransportNode"};
    explicit CObjectTransportNode(Ptr<CountedObject> object) : m_object(std::move(object)) {}
    const ClassTag& getClassTag() const override { return Tag; }

    // The object carried (for a component, its iComponentInfo).
    CountedObject* getObject() const noexcept { return m_object.get(); }
    iPropertyCollection* getPropertyList() override;
    iNode* getRootNode() const override { return nullptr; }
    void setRootNode(Ptr<iNode>) override {}

  private:
    Ptr<CountedObject> m_object;
    Ptr<iPropertyCollection> m_empty;
};

}  // namespace strand
