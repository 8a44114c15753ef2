#pragma once
// The component-parameter interfaces. A component's settings are parameters held by a parameter
// collection: each a named property with a text value (one string or a list of strings), a type name,
// help text, the GUID of the component that defined it, a flag word, legal values, and three rule
// scripts (validation, enabling, legal values) whose verdicts the parameter caches. A parameter can be
// a group: it names other parameters of its collection as members. The parameter classes of the engine
// implement these interfaces; hosts and scripts use them through here.
//
// Texts returned by reference stay valid until the next change of the parameter.

#include <cstdint>

#include "host/Array.h"
#include "host/Context.h"
#include "host/PropertyCollection.h"

namespace strand {

// Whether a parameter belongs to the user implementation of its component: -1 not yet determined,
// 1 an implementation parameter, any other value not.
using UserImplState = int32_t;

class iGroupParameter;

class iParameter : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iParameter"};

    // Flag word bits.
    static constexpr int32_t kRequired = 1;
    static constexpr int32_t kAffectsValidation = 2;

    // Copies every field of the other parameter (and its property data).
    virtual void assignFrom(const iParameter* other) = 0;

    virtual const String& getHelp() const = 0;
    virtual void setHelp(const String& help) = 0;
    // The type name; HVN_StringType while none is set.
    virtual const String& getType() const = 0;
    virtual void setType(const String& type) = 0;
    virtual const String& getGuid() const = 0;
    virtual void setGuid(const String& guid) = 0;

    virtual bool isImplementation(const String& guid) = 0;
    virtual UserImplState getUserImpl() const = 0;
    virtual void setUserImpl(UserImplState state) = 0;
    virtual bool isBaseImpl(const String& guid) = 0;

    virtual int32_t getFlags() const = 0;
    virtual void setFlags(int32_t flags) = 0;

    // The legal values in force (the legal-values rule's, or the static ones when there is no rule).
    virtual const Array<String>& getLegalValues() = 0;
    virtual const Array<String>& getStaticLegalValues() const = 0;
    virtual void setLegalValues(const Array<String>& values) = 0;
    virtual void clearLegalValues() = 0;
    virtual void setLegalValuesAreEnforced(bool enforced) = 0;
    virtual bool getLegalValuesAreEnforced() const = 0;
    // Whether the value passes the legal values; `message` receives the offending string.
    virtual bool isLegalParam(const Value& value, String& message) = 0;
    // Checks a candidate value against the parameter's type, appending messages to `errors`.
    virtual bool isValidParam(const String& componentName, bool checkScript, const Value& value,
                              Array<String>& errors) = 0;

    // The value strings with their macro tokens replaced (null collections: the context's).
    virtual void getTextWithTokensReplaced(iContext* context, iPropertyCollection* parameters,
                                           iPropertyCollection* globals, Array<String>& out) = 0;
    // Makes the parsed expressions of the value calculate their properties afresh.
    virtual void resetCalculableProperties() = 0;

    virtual bool isDataParam() const = 0;
    virtual bool isGroupParam() const = 0;
    // The names of the groups of the collection that have this parameter as a member.
    virtual void getGroups(Array<String>& out) = 0;

    // The verdicts of the rules, brought up to date on demand.
    virtual bool getValid() = 0;
    virtual const String& getInvalidDetails() = 0;
    virtual bool getEnabled() = 0;
    virtual const String& getDisabledDetails() = 0;

    virtual void setValidationScript(const String& script) = 0;
    virtual const String& getValidationScript() const = 0;
    virtual void setEnablingScript(const String& script) = 0;
    virtual const String& getEnablingScript() const = 0;
    virtual void setLegalValuesScript(const String& script) = 0;
    virtual const String& getLegalValuesScript() const = 0;

    // The property collections the rules keep their global variables in (null until first needed).
    virtual void setValidationState(const iPropertyCollection* state) = 0;
    virtual iPropertyCollection* getValidationState() const = 0;
    virtual void setEnablingState(const iPropertyCollection* state) = 0;
    virtual iPropertyCollection* getEnablingState() const = 0;
    virtual void setLegalValuesState(const iPropertyCollection* state) = 0;
    virtual iPropertyCollection* getLegalValuesState() const = 0;

    // Forgets every cached verdict.
    virtual void revalidate() = 0;
};

class iGroupParameter : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iGroupParameter"};

    // The member names (those the collection holds, when the group is in one).
    virtual void getMembers(Array<String>& out) const = 0;
    virtual int32_t getMembersSize() const = 0;
    virtual void removeMember(const String& name) = 0;
    virtual void addMember(const String& name) = 0;
    virtual bool isMember(const String& name) const = 0;
    virtual void clearMembers() = 0;
    virtual bool isExpanded() const = 0;
    virtual void setExpanded(bool expanded) = 0;
};

class iParameterCollection : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iParameterCollection"};

    // The component's context; not counted: whoever sets it keeps it alive while the collection uses it.
    virtual iContext* getContext() const = 0;
    virtual void _setContext(iContext* context) = 0;
    // The group parameters, in collection order; valid until the collection changes.
    virtual void getGroups(Array<iGroupParameter*>& out) = 0;
    // Defines a parameter with an empty text value (or finds the existing one).
    virtual iParameter* declare(const String& name) = 0;
    // Every parameter forgets its cached verdicts.
    virtual void revalidateParameters() = 0;
    // Copies the named parameter of another collection here; a group brings its members along.
    virtual void copyParameter(const iPropertyCollection* source, const String& name) = 0;
    virtual void setRunnerSoap(iRunnerSoap* runner) = 0;
    virtual iRunnerSoap* getRunnerSoap() const = 0;
};

}  // namespace strand
