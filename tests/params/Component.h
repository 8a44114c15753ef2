#pragma once
// A component for the parameter tests: a parameter collection with a context whose component
// parameters are the collection and whose global properties the test fills.

#include <functional>
#include <initializer_list>
#include <string>

#include "host/Context.h"
#include "params/Parameter.h"
#include "params/ParameterCollection.h"

namespace strand::test {

inline Array<String> texts(std::initializer_list<const char16_t*> items) {
    Array<String> out;
    for (const char16_t* item : items)
        out.add(String(item));
    return out;
}

// The first message of the failure of f (the whole block with `block`), or "no failure".
inline std::string failure(const std::function<void()>& f, bool block = false) {
    try {
        f();
    } catch (const Exception& e) {
        return (block ? e.getErrorMessageBlock() : e.getMessage()).toUtf8();
    }
    return "no failure";
}

// "valid" or "invalid", then the invalid details when there are any.
inline std::string verdict(CParameter& p) {
    const std::string details = p.getInvalidDetails().toUtf8();
    return (p.getValid() ? "valid" : "invalid") + (details.empty() ? "" : ": " + details);
}

// "enabled" or "disabled", then the disabled details when there are any.
inline std::string enabling(CParameter& p) {
    const std::string details = p.getDisabledDetails().toUtf8();
    return (p.getEnabled() ? "enabled" : "disabled") + (details.empty() ? "" : ": " + details);
}

// Every field of a parameter but its members, as one text: the texts (null or quoted), the static legal
// values, the rule states and the flags and numbers.
inline std::string fields(CParameter& p) {
    std::string out;
    for (const String& s : {p.getName(), p.getHelp(), p.getType(), p.getGuid(), p.getValidationScript(),
                            p.getEnablingScript(), p.getLegalValuesScript(), p.getRawValue().toString()})
        out += (s.isNull() ? "null" : "'" + s.toUtf8() + "'") + " ";
    out += "[";
    for (const String& s : p.getStaticLegalValues().vector())
        out += s.toUtf8() + ";";
    out += "] ";
    for (const iPropertyCollection* state :
         {p.getValidationState(), p.getEnablingState(), p.getLegalValuesState()}) {
        out += state ? "{" : "none ";
        for (int32_t i = 0; state && i < state->getSize(); ++i)
            out +=
                state->get(i)->getName().toUtf8() + "=" + state->get(i)->getValue().toString().toUtf8() + " ";
        out += state ? "} " : "";
    }
    for (int64_t n :
         {int64_t(p.isDataParam()), int64_t(p.getFlags()), int64_t(p.getLegalValuesAreEnforced()),
          int64_t(p.isExpanded()), int64_t(p.getUserImpl()), int64_t(p.getInfo()->getMetaDataFlags())})
        out += std::to_string(n) + " ";
    return out;
}

struct Component {
    Ptr<CParameterCollection> parameters = CParameterCollection::newInstance();
    Ptr<ComponentContext> context = makePtr<ComponentContext>();

    Component() {
        context->setComponentParameters(parameters);
        parameters->_setContext(context.get());
    }
    ~Component() { parameters->_setContext(nullptr); }
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    CParameter& add(const char16_t* name, const char16_t* value = u"") {
        auto& parameter = dynamic_cast<CParameter&>(*parameters->declare(String(name)));
        parameter.setValue(value);
        return parameter;
    }
    CParameter& add(const char16_t* name, std::initializer_list<const char16_t*> values) {
        auto& parameter = add(name);
        parameter.setValue(StringArrayValue(texts(values).vector()));
        return parameter;
    }
    CParameter& operator[](const char16_t* name) const {
        return dynamic_cast<CParameter&>(*parameters->get(String(name)));
    }
    void global(const char16_t* name, const char16_t* value) {
        context->getGlobalProperties()->define(String(name), StringValue(String(value)), 0);
    }
    // The parameter's text with the steps of `mode` applied, against the component's collections.
    Array<String> text(const char16_t* name, uint32_t mode = CParameter::kReplaceMacroTokens) const {
        Array<String> out;
        (*this)[name].getEvaluatedText(context.get(), parameters.get(), context->getGlobalProperties(), mode,
                                       out);
        return out;
    }
    // The text as one string, the strings joined by " | ".
    std::string joined(const char16_t* name, uint32_t mode = CParameter::kReplaceMacroTokens) const {
        Array<String> strings = text(name, mode);
        std::string out;
        for (size_t i = 0; i < strings.size(); ++i)
            out += (i ? " | " : "") + strings[i].toUtf8();
        return out;
    }
};

// How many times a rule ran, as it counts in its own state: the rule begins with kCount.
inline constexpr const char16_t* kCount =
    u"IF @runs IS DEFINED THEN @runs := @runs + 1; ELSE @runs := 1; END IF; ";
inline int runs(const iPropertyCollection* state) {
    const iProperty* counter = state ? state->find(String(u"runs")) : nullptr;
    return counter ? int(counter->getRawValue().getDouble()) : 0;
}

}  // namespace strand::test
