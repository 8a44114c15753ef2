#include "functions/ParameterFunctions.h"

#include <typeinfo>

#include "functions/FunctionNode.h"
#include "host/HvnConstants.h"
#include "params/MemberGuard.h"
#include "params/TextValues.h"
#include "params/ValidationContext.h"

using strand::ExpressionContext;
using strand::String;
using strand::Value;

namespace {

// The rule functions write the rule results: the data record a parameter's rule runs against, under
// the parameter's validation context. Anywhere else they refuse with their own name.
class xrRuleFunctionExprImp : public xrFunctionExprImp<xrVoidExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;

  protected:
    static strand::iPropertyCollection& ruleResults(ExpressionContext& ctx, const char16_t* refusal) {
        strand::iPropertyCollection* results = ctx.getPropertyList();
        if (!strand::findAs<CValidationContext>(ctx.getContext()) || !results)
            throw strand::Exception(
                refusal, u"may only be called from within any of a parameter's validation scripts");
        return *results;
    }
    static void report(strand::iPropertyCollection& results, const char16_t* name, const Value& value) {
        const String key{std::u16string_view(name)};
        if (strand::iProperty* property = results.find(key)) {
            property->setValue(value);
            return;
        }
        results.define(key, value, 0);
    }
};

// setlegalvalues(values)
class xrSetLegalValuesExprImp final : public xrRuleFunctionExprImp {
  public:
    using xrRuleFunctionExprImp::xrRuleFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        strand::iPropertyCollection& results = ruleResults(ctx, u"SetLegalValues %ls");
        m_values.assignFrom(valueArg(ctx, 0));
        report(results, strand::HVN_ValidationLegalValues, m_values);
    }

  private:
    strand::StringArrayValue m_values;
};

// setdisableddetails(text)
class xrSetDisabledDetailsExprImp final : public xrRuleFunctionExprImp {
  public:
    using xrRuleFunctionExprImp::xrRuleFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        strand::iPropertyCollection& results = ruleResults(ctx, u"SetDisabledDetails %ls");
        m_text.set(textArg(ctx, 0));
        report(results, strand::HVN_ValidationDisabledDetails, m_text);
    }

  private:
    strand::StringValue m_text;
};

// setinvaliddetails(text)
class xrSetInvalidDetailsExprImp final : public xrRuleFunctionExprImp {
  public:
    using xrRuleFunctionExprImp::xrRuleFunctionExprImp;
    void Evaluate(ExpressionContext& ctx) override {
        strand::iPropertyCollection& results = ruleResults(ctx, u"SetInvalidDetails %ls");
        m_text.set(textArg(ctx, 0));
        report(results, strand::HVN_ValidationInvalidDetails, m_text);
    }

  private:
    strand::StringValue m_text;
};

// parameter([name])
// The value of the named component parameter, or of the parameter whose rule is running. A password
// reads as the obscured text. The value is kept in the node, so that it stays as read even when a
// later part of the expression changes the parameter.
class xrParameterExprImp final : public xrFunctionExprImp<xrValueResultExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    bool IsString() const override { return true; }

    const Value& AsValue(ExpressionContext& ctx) override {
        strand::iPropertyCollection* parameters = ctx.getParameters();
        if (!parameters)
            throw strand::Exception(u"Could not access parameters.");
        const String name = hasArg(0) ? textArg(ctx, 0) : ctx.getCurrentParameter();
        if (!hasArg(0) && name.isNull())
            throw error(
                u"The expression was trying to access the current parameter, but it was not defined.");
        strand::iProperty* property = parameters->find(name);
        if (!property) {
            throw error(
                u"The expression was trying to access a parameter named '%ls' but it was not defined on "
                u"this component.",
                name);
        }
        auto* parameter = dynamic_cast<strand::iParameter*>(property);
        if (parameter &&
            parameter->getType().equalsIgnoreCase(std::u16string_view(strand::HVN_PasswordType))) {
            m_obscured.set(String(std::u16string_view(strand::HVN_ObscuredPasswordText)));
            return m_obscured;
        }
        const Value& value = property->getValue();
        value.getText(m_text);
        if (strand::params::holdsToken(m_text))
            throw GlobalTokenInParamException(name, m_text);
        return keep(value);
    }
    xrExpressionVariableInterface* GetVariable(ExpressionContext&) override {
        throw error(u"Cannot assign a value to a parameter.");
    }

  private:
    const Value& keep(const Value& value) {
        if (m_value && m_value->getRefCount() == 1 && typeid(*m_value) == typeid(value)) {
            m_value->assignFrom(value);
            return *m_value;
        }
        m_value = value.cloneValue();
        return *m_value;
    }

    strand::Ptr<Value> m_value;
    strand::StringValue m_obscured;
    String m_text;
};

// parametername()
class xrParameterNameExprImp final : public xrFunctionExprImp<xrStringExprImp> {
  public:
    using xrFunctionExprImp::xrFunctionExprImp;
    const String& AsString(ExpressionContext& ctx) override {
        m_value.set(ctx.getCurrentParameter());
        return m_value.get();
    }
};

}  // namespace

STRAND_BUILTIN_FACTORY(makeSetLegalValues, xrSetLegalValuesExprImp)

STRAND_BUILTIN_FACTORY(makeSetDisabledDetails, xrSetDisabledDetailsExprImp)

STRAND_BUILTIN_FACTORY(makeSetInvalidDetails, xrSetInvalidDetailsExprImp)

STRAND_BUILTIN_FACTORY(makeParameter, xrParameterExprImp)

STRAND_BUILTIN_FACTORY(makeParameterName, xrParameterNameExprImp)
