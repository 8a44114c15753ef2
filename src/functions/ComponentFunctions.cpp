#include "functions/ComponentFunctions.h"

#include <string>

#include "functions/FunctionNode.h"
#include "host/ArrayValues.h"
#include "host/BitsetValue.h"
#include "host/ComponentInfo.h"
#include "host/HvnConstants.h"

using strand::Array;
using strand::ExpressionContext;
using strand::iComponentInfo;
using strand::String;
using strand::Value;

namespace {

using Facts = iComponentInfo::ParameterFacts;

// The component a script edits: the one its data record carries.
iComponentInfo& component(ExpressionContext& ctx) {
    auto* node = strand::findAs<strand::CObjectTransportNode>(ctx.getDataRecord());
    auto* info = node ? strand::findAs<iComponentInfo>(node->getObject()) : nullptr;
    if (!info)
        throw strand::Exception(u"Cannot coerce data record to a component");
    return *info;
}

strand::iPropertyCollection& parameters(ExpressionContext& ctx) {
    return *component(ctx).getParameterCollection();
}

const char16_t kNotOnComponent[] =
    u"Parameter '%ls' was not found on this component.  Check that the parameter name is spelled correctly, "
    u"or use the SetParam function to create this parameter.";

// The facts of a parameter that must exist.
Facts existing(iComponentInfo& info, const String& name, const char16_t* missing) {
    Facts facts;
    if (!info.getParameter(name, facts))
        throw strand::Exception(missing, name);
    return facts;
}

// Component help keys and their 1-based positions in the component help list; 0 for other keys.
int32_t helpPosition(const String& key) {
    static const struct {
        const char16_t* key;
        int32_t position;
    } kKeys[] = {{strand::HVN_ComponentHelpPurpose, 1},
                 {strand::HVN_ComponentHelpDescription, 2},
                 {strand::HVN_ComponentHelpInputPort, 4},
                 {strand::HVN_ComponentHelpPassPort, 6},
                 {strand::HVN_ComponentHelpFailPort, 8}};
    for (const auto& entry : kKeys) {
        if (key.equalsIgnoreCase(std::u16string_view(entry.key)))
            return entry.position;
    }
    return 0;
}

const String& componentHelpName() {
    static const String name{std::u16string_view(strand::HVN_ComponentHelp)};
    return name;
}

// A parameter's help through the definition operation, keeping its type and flag word.
void setParameterHelp(iComponentInfo& info, const String& name, const String& help) {
    const Facts facts = existing(info, name, kNotOnComponent);
    info.defineParameter(name, facts.type, help, facts.flags);
}

// setparam(name, value)
class xrSetParamExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        const Value& value = valueArg(ctx, 1);
        iComponentInfo& info = component(ctx);
        Facts facts;
        if (!info.getParameter(name, facts)) {
            // Required and affecting validation; a list value also gets bit value 4.
            info.defineParameter(name, String(std::u16string_view(strand::HVN_StringType)),
                                 String(u"A parameter created by setparam()"),
                                 value.getNumValues() > 1 ? 7 : 3);
        }
        info.getParameterCollection()->define(name, value, 0);
    }
};

// setdataparam(name, value)
class xrSetDataParamExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        const Value& value = valueArg(ctx, 1);
        iComponentInfo& info = component(ctx);
        Facts facts;
        if (info.getParameter(name, facts))
            info.setDataParameter(name);
        info.getParameterCollection()->define(name, value, 0);
    }
};

// setparamhelp(name, text)
class xrSetParamHelpExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        setParameterHelp(component(ctx), name, textArg(ctx, 1));
    }
};

// getnumparams(...)
class xrGetNumParamsExprImp final : public xrFunctionExprImp<xrNumericExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    double AsDouble(ExpressionContext& ctx) override { return double(parameters(ctx).getSize()); }
};

// getcomponentname(...)
class xrGetComponentNameExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        m_value.set(component(ctx).getComponentName());
        return m_value.get();
    }
};

// getparam(name)
class xrGetParamExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const String& name = textArg(ctx, 0);
        // The host's own error for a name the collection does not hold.
        parameters(ctx).get(name)->getValue().getText(m_value.get());
        return m_value.get();
    }
};

// getparamlegalvalues(name): the list as a value, its first entry as text
class xrGetParamLegalValuesExprImp final : public xrFunctionExprImp<xrValueResultExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool IsString() const override { return true; }
    const Value& AsValue(ExpressionContext& ctx) override {
        Array<String> values;
        component(ctx).getLegalValues(textArg(ctx, 0), values);
        m_values.items() = values.vector();
        return m_values;
    }
    const String& AsString(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        Array<String> values;
        if (!component(ctx).getLegalValues(name, values))
            throw strand::Exception(u"The '%ls' parameter has no legal values.", name);
        m_text = values.at(0);
        return m_text;
    }

  private:
    strand::StringArrayValue m_values;
    String m_text;
};

// setparamlegalvalues(name, values, enforced, ...)
class xrSetParamLegalValuesExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        m_values.assignFrom(valueArg(ctx, 1));
        const bool enforced = boolArg(ctx, 2);
        iComponentInfo& info = component(ctx);
        const Facts facts =
            existing(info, name,
                     u"Can't find parameter named '%ls' on the component.  Use SetParam() to first "
                     u"create the parameter.");
        info.defineParameter(name, facts.type, facts.help, facts.flags);
        info.setLegalValues(name, m_values.toArray(), enforced);
    }

  private:
    strand::StringArrayValue m_values;
};

// getparamtype(name)
class xrGetParamTypeExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        m_value.set(existing(component(ctx), textArg(ctx, 0), u"The '%ls' parameter was not found.").type);
        return m_value.get();
    }
};

// setparamtype(name, type)
class xrSetParamTypeExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        const String word = textArg(ctx, 1);
        iComponentInfo& info = component(ctx);
        const Facts facts = existing(info, name, kNotOnComponent);
        const char16_t* type = knownType(word);
        if (!type)
            throw strand::Exception(u"'%ls' is not a valid parameter type for the SetParamType function.",
                                    word);
        // The value and the legal values are read first and set again after the redefinition.
        strand::Ptr<Value> value = facts.value ? facts.value->cloneValue() : nullptr;
        Array<String> legalValues;
        const bool hadLegalValues = info.getLegalValues(name, legalValues);
        info.defineParameter(name, String(std::u16string_view(type)), facts.help, facts.flags);
        if (value)
            info.getParameterCollection()->define(name, *value, 0);
        if (hadLegalValues)
            info.setLegalValues(name, legalValues, facts.legalValuesEnforced);
    }

  private:
    static const char16_t* knownType(const String& word) {
        static const char16_t* const kTypes[] = {u"StringType",
                                                 u"LongType",
                                                 u"BoolType",
                                                 u"DoubleType",
                                                 u"URLType",
                                                 u"ClientURLType",
                                                 u"ExpressionType",
                                                 u"PasswordType",
                                                 u"DSNType",
                                                 u"SQLQueryType",
                                                 u"UsernameType",
                                                 u"TextType",
                                                 u"ScriptType",
                                                 u"PerlScriptType",
                                                 u"FormatType",
                                                 u"PositionType",
                                                 u"PropertyPreviewType",
                                                 u"SOAPEndpointType",
                                                 u"RadarChartAxisType"};
        for (const char16_t* type : kTypes) {
            if (word.equalsIgnoreCase(std::u16string_view(type)))
                return type;
        }
        return nullptr;
    }
};

// getparamhelp(name)
class xrGetParamHelpExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        Facts facts;
        if (!component(ctx).getParameter(textArg(ctx, 0), facts))
            throw strand::Exception(u"Parameter not found");
        m_value.set(facts.help);
        return m_value.get();
    }
};

// The bit value of flag codes 1 to 4; 0 for any other code.
int32_t flagBit(int32_t code) {
    return code >= 1 && code <= 4 ? 1 << (code - 1) : 0;
}

// getparamflag(name, code)
class xrGetParamFlagExprImp final : public xrFunctionExprImp<xrBooleanExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool AsBool(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        const int32_t code = intArg(ctx, 1);
        Facts facts;
        if (!component(ctx).getParameter(name, facts))
            return false;
        if (code == 5)
            return true;
        if (!flagBit(code))
            throw strand::Exception(u"Illegal flag code %d passed to getparamflags", code);
        return (facts.flags & flagBit(code)) != 0;
    }
};

// setparamflag(name, code, on)
class xrSetParamFlagExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        const int32_t code = intArg(ctx, 1);
        const bool on = boolArg(ctx, 2);
        iComponentInfo& info = component(ctx);
        const Facts facts = existing(info, name, u"Parameter %ls not found, cannot set a flag");
        // Code 5 is refused with the text of code 1.
        if (code == 5)
            throw strand::Exception(u"Flag code 1 illegal in setparamflags");
        if (!flagBit(code))
            throw strand::Exception(u"Illegal flag code %d passed to setparamflags", code);
        const int32_t flags = on ? facts.flags | flagBit(code) : facts.flags & ~flagBit(code);
        info.defineParameter(name, facts.type, facts.help, flags);
    }
};

// getithparamname(index): counted from 0
class xrGetIthParamNameExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const int32_t index = intArg(ctx, 0);
        m_value.set(parameters(ctx).get(index)->getName());
        return m_value.get();
    }
};

// sethelp(key, text)
class xrSetHelpExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String key = textArg(ctx, 0);
        const String text = textArg(ctx, 1);
        iComponentInfo& info = component(ctx);
        const int32_t position = helpPosition(key);
        if (!position)
            return setParameterHelp(info, key, text);
        Facts facts;
        if (!info.getParameter(componentHelpName(), facts)) {
            info.defineParameter(componentHelpName(), String(std::u16string_view(strand::HVN_StringType)),
                                 String::empty(), 0);
            info.getParameter(componentHelpName(), facts);
        }
        m_list.clear();
        if (facts.value && facts.value->getNumValues() > 0)
            m_list.assignFrom(*facts.value);
        // A list too short for the position grows with empty entries.
        while (m_list.getSize() < position)
            m_list.add(String::empty());
        m_list.set(position - 1, text);
        info.getParameterCollection()->define(componentHelpName(), m_list, 0);
    }

  private:
    strand::StringArrayValue m_list;
};

// gethelp(key)
class xrGetHelpExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        const String key = textArg(ctx, 0);
        iComponentInfo& info = component(ctx);
        Facts facts;
        if (const int32_t position = helpPosition(key)) {
            if (!info.getParameter(componentHelpName(), facts)) {
                m_value.set(String(u"No component-level help"));
                return m_value.get();
            }
            m_list.assignFrom(*facts.value);
            m_value.set(m_list.get(position - 1));
            return m_value.get();
        }
        m_value.set(info.getParameter(key, facts) ? facts.help : String(u"No parameter help"));
        return m_value.get();
    }

  private:
    strand::StringArrayValue m_list;
};

// setoutputtype(name, type word)
class xrSetOutputTypeExprImp final : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        const String name = textArg(ctx, 0);
        const String word = textArg(ctx, 1);
        component(ctx).setOutputType(name, tagName(word));
    }

  private:
    // The value class a type word selects; any other text is a class tag name as it stands.
    static std::string tagName(const String& word) {
        static const struct {
            const char16_t* word;
            const strand::ClassTag* tag;
        } kWords[] = {{u"bitfingerprint", &strand::BitFingerprintValue::Tag},
                      {u"longfingerprint", &strand::IntegerFingerprintValue::Tag},
                      {u"stringfingerprint", &strand::StringFingerprintValue::Tag},
                      {u"longarray", &strand::IntegerArrayValue::Tag},
                      {u"doublearray", &strand::DoubleArrayValue::Tag},
                      {u"booleanarray", &strand::BooleanArrayValue::Tag},
                      {u"bytearray", &strand::ByteArrayValue::Tag},
                      {u"long", &strand::IntegerValue::Tag},
                      {u"int", &strand::IntegerValue::Tag},
                      {u"integer", &strand::IntegerValue::Tag},
                      {u"double", &strand::DoubleValue::Tag},
                      {u"boolean", &strand::BooleanValue::Tag},
                      {u"bool", &strand::BooleanValue::Tag},
                      {u"string", &strand::StringValue::Tag}};
        for (const auto& entry : kWords) {
            if (word.equalsIgnoreCase(std::u16string_view(entry.word)))
                return entry.tag->getName();
        }
        return word.toUtf8();
    }
};

// getoutputtype(name)
class xrGetOutputTypeExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        m_value.set(String::fromUtf8(component(ctx).getOutputType(textArg(ctx, 0))));
        return m_value.get();
    }
};

}  // namespace

namespace strand::components {

STRAND_BUILTIN_FACTORY(makeSetParam, xrSetParamExprImp)
STRAND_BUILTIN_FACTORY(makeSetDataParam, xrSetDataParamExprImp)
STRAND_BUILTIN_FACTORY(makeSetParamHelp, xrSetParamHelpExprImp)
STRAND_BUILTIN_FACTORY(makeGetNumParams, xrGetNumParamsExprImp)
STRAND_BUILTIN_FACTORY(makeGetComponentName, xrGetComponentNameExprImp)
STRAND_BUILTIN_FACTORY(makeGetParam, xrGetParamExprImp)
STRAND_BUILTIN_FACTORY(makeGetParamLegalValues, xrGetParamLegalValuesExprImp)
STRAND_BUILTIN_FACTORY(makeSetParamLegalValues, xrSetParamLegalValuesExprImp)
STRAND_BUILTIN_FACTORY(makeGetParamType, xrGetParamTypeExprImp)
STRAND_BUILTIN_FACTORY(makeSetParamType, xrSetParamTypeExprImp)
STRAND_BUILTIN_FACTORY(makeGetParamHelp, xrGetParamHelpExprImp)
STRAND_BUILTIN_FACTORY(makeGetParamFlag, xrGetParamFlagExprImp)
STRAND_BUILTIN_FACTORY(makeSetParamFlag, xrSetParamFlagExprImp)
STRAND_BUILTIN_FACTORY(makeGetIthParamName, xrGetIthParamNameExprImp)
STRAND_BUILTIN_FACTORY(makeSetHelp, xrSetHelpExprImp)
STRAND_BUILTIN_FACTORY(makeGetHelp, xrGetHelpExprImp)
STRAND_BUILTIN_FACTORY(makeSetOutputType, xrSetOutputTypeExprImp)
STRAND_BUILTIN_FACTORY(makeGetOutputType, xrGetOutputTypeExprImp)

}  // namespace strand::components
