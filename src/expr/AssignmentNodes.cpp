#include "expr/AssignmentNodes.h"

#include <typeinfo>

#include "expr/VariableNodes.h"

using strand::ExpressionContext;
using strand::String;

xrConditionalExprImp::xrConditionalExprImp(int32_t line, xrNodeRef condition, xrNodeRef first,
                                           xrNodeRef second)
    : xrValueExprImp(line),
      m_condition(std::move(condition)),
      m_first(std::move(first)),
      m_second(std::move(second)) {
    setChildren({m_condition.get(), m_first.get(), m_second.get()});
}

xrAssignmentBase::xrAssignmentBase(int32_t line, xrNodeRef target, xrNodeRef value)
    : xrValueExprImp(line),
      m_target(std::move(target)),
      m_value(std::move(value)),
      m_plainTarget(dynamic_cast<xrPropertyRefExprImp*>(m_target.get()) != nullptr),
      m_numeric(m_value->IsDouble()) {
    if (auto* reference = dynamic_cast<xrPropertyRefExprImp*>(m_target.get()))
        m_plainVariable = dynamic_cast<xrExpressionVariableImp*>(reference->variable().get());
    setChildren({m_target.get(), m_value.get()});
}

void xrAssignmentBase::noteStoredText(ExpressionContext& ctx, const strand::Value& value) const {
    if (value.kind() == strand::Value::Kind::String)
        ctx.noteText(static_cast<const strand::StringValue&>(value).get().length(), GetLineNum());
}

xrExpressionVariableInterface* xrAssignmentBase::targetVariable(ExpressionContext& ctx) {
    xrExpressionVariableInterface* variable = m_target->GetVariable(ctx);
    if (!variable)
        throw error(u"Can only assign to a property");
    return variable;
}

const String& xrAssignmentBase::AsString(ExpressionContext& ctx) {
    xrExpressionVariableInterface* variable = GetVariable(ctx);
    return xrReadAtLine(GetLineNum(), [&]() -> const String& { return variable->GetString(ctx); });
}

bool xrAssignmentBase::AsBool(ExpressionContext& ctx) {
    xrExpressionVariableInterface* variable = GetVariable(ctx);
    return xrReadAtLine(GetLineNum(), [&] { return variable->GetBool(ctx); });
}

double xrAssignmentBase::AsDouble(ExpressionContext& ctx) {
    xrExpressionVariableInterface* variable = GetVariable(ctx);
    return xrReadAtLine(GetLineNum(), [&] { return variable->GetDouble(ctx); });
}

const strand::Value& xrAssignmentBase::AsValue(ExpressionContext& ctx) {
    xrExpressionVariableInterface* variable = GetVariable(ctx);
    return xrReadAtLine(GetLineNum(), [&]() -> const strand::Value& { return variable->GetValue(ctx); });
}

xrExpressionVariableInterface* xrAssignExprImp::GetVariable(ExpressionContext& ctx) {
    if (m_plainTarget && m_numeric) {
        const double number = m_value->AsDouble(ctx);
        if (m_plainVariable) {
            m_plainVariable->SetDouble(ctx, number);
            return m_plainVariable;
        }
        xrExpressionVariableInterface* variable = targetVariable(ctx);
        variable->SetDouble(ctx, number);
        return variable;
    }
    const strand::Value& value = m_value->AsValue(ctx);
    if (ctx.timeLimited()) [[unlikely]]
        noteStoredText(ctx, value);
    if (m_plainTarget) {
        xrExpressionVariableInterface* variable = targetVariable(ctx);
        variable->SetValue(ctx, value);
        return variable;
    }
    // Finding a computed target may change what the value came from: keep a copy first.
    if (m_kept && typeid(*m_kept) == typeid(value)) {
        m_kept->assignFrom(value);
    } else {
        m_kept = value.cloneValue();
    }
    xrExpressionVariableInterface* variable = targetVariable(ctx);
    variable->SetValue(ctx, *m_kept);
    return variable;
}

xrExpressionVariableInterface* xrPlusAssignExprImp::GetVariable(ExpressionContext& ctx) {
    if (m_value->IsString())
        return appendValueText(ctx, u"'+='");
    const double amount = m_value->AsDouble(ctx);
    // The counter of a loop body: read and stored without the virtual calls.
    if (m_plainVariable) {
        const double current = xrReadAtLine(GetLineNum(), [&] { return m_plainVariable->GetDouble(ctx); });
        m_plainVariable->SetDouble(ctx, current + amount);
        return m_plainVariable;
    }
    xrExpressionVariableInterface* variable = targetVariable(ctx);
    const double current = xrReadAtLine(GetLineNum(), [&] { return variable->GetDouble(ctx); });
    variable->SetDouble(ctx, current + amount);
    return variable;
}

xrExpressionVariableInterface* xrAssignmentBase::appendValueText(ExpressionContext& ctx,
                                                                 const char16_t* operation) {
    const String text = m_value->AsString(ctx);
    xrExpressionVariableInterface* variable = targetVariable(ctx);
    if (!variable->AppendString(ctx, text))
        throwTextTooLong(operation);
    ctx.noteText(text.length(), GetLineNum());
    return variable;
}

xrExpressionVariableInterface* xrAppendAssignExprImp::GetVariable(ExpressionContext& ctx) {
    return appendValueText(ctx, u"'.='");
}

xrExpressionVariableInterface* xrArithmeticAssignExprImp::GetVariable(ExpressionContext& ctx) {
    const double amount = m_value->AsDouble(ctx);
    xrExpressionVariableInterface* variable = targetVariable(ctx);
    const double current = xrReadAtLine(GetLineNum(), [&] { return variable->GetDouble(ctx); });
    switch (m_op) {
        case Op::Minus:
            variable->SetDouble(ctx, current - amount);
            break;
        case Op::Multiply:
            variable->SetDouble(ctx, current * amount);
            break;
        case Op::Divide:
            variable->SetDouble(ctx, current / amount);
            break;
    }
    return variable;
}

xrIncrementExprImp::xrIncrementExprImp(int32_t line, xrNodeRef target, Form form)
    : xrNumericExprImp(line), m_target(std::move(target)), m_form(form) {
    setChildren({m_target.get()});
}

double xrIncrementExprImp::AsDouble(ExpressionContext& ctx) {
    xrExpressionVariableInterface* variable = m_target->GetVariable(ctx);
    if (!variable) {
        switch (m_form) {
            case Form::PreIncrement:
                throw error(u"Can only the use pre-increment operator on a property.");
            case Form::PostIncrement:
                throw error(u"Can only the use post-increment operator on a property.");
            case Form::PreDecrement:
                throw error(u"Can only the use pre-decrement operator on a property.");
            case Form::PostDecrement:
                throw error(u"Can only the use post-decrement operator on a property.");
        }
    }
    const double old = xrReadAtLine(GetLineNum(), [&] { return variable->GetDouble(ctx); });
    const bool up = m_form == Form::PreIncrement || m_form == Form::PostIncrement;
    const double updated = up ? old + 1.0 : old - 1.0;
    variable->SetDouble(ctx, updated);
    return (m_form == Form::PreIncrement || m_form == Form::PreDecrement) ? updated : old;
}
