#include "expr/VariableNodes.h"

using strand::ExpressionContext;
using strand::String;

const String& xrPropertyRefExprImp::AsString(ExpressionContext& ctx) {
    if (m_plain)
        return xrReadAtLine(GetLineNum(), [&]() -> const String& { return m_plain->GetString(ctx); });
    return xrReadAtLine(GetLineNum(), [&]() -> const String& { return m_variable->GetString(ctx); });
}

bool xrPropertyRefExprImp::AsBool(ExpressionContext& ctx) {
    if (m_plain)
        return xrReadAtLine(GetLineNum(), [&] { return m_plain->GetBool(ctx); });
    return xrReadAtLine(GetLineNum(), [&] { return m_variable->GetBool(ctx); });
}

double xrPropertyRefExprImp::AsDouble(ExpressionContext& ctx) {
    if (m_plain)
        return xrReadAtLine(GetLineNum(), [&] { return m_plain->GetDouble(ctx); });
    return xrReadAtLine(GetLineNum(), [&] { return m_variable->GetDouble(ctx); });
}

const strand::Value& xrPropertyRefExprImp::AsValue(ExpressionContext& ctx) {
    if (m_plain)
        return xrReadAtLine(GetLineNum(), [&]() -> const strand::Value& { return m_plain->GetValue(ctx); });
    return xrReadAtLine(GetLineNum(), [&]() -> const strand::Value& { return m_variable->GetValue(ctx); });
}

xrIndexedPropertyExprImp::xrIndexedPropertyExprImp(int32_t line, xrNodeRef base, xrNodeRef index)
    : xrPropertyExprImp(line), m_base(std::move(base)), m_index(std::move(index)) {
    if (!m_base->IsProperty())
        throw error(u"Only a property can be indexed.");
    setChildren({m_base.get(), m_index.get()});
}

xrExpressionVariableInterface* xrIndexedPropertyExprImp::GetVariable(ExpressionContext& ctx) {
    xrExpressionVariableInterface* base = m_base->GetVariable(ctx);
    if (!base)
        throw error(u"Only a property can be indexed.");
    auto* indexed = static_cast<xrExpressionIndexedVariableImp*>(m_variable.get());
    if (!indexed || indexed->base().get() != base)
        m_variable = makeRef<xrExpressionIndexedVariableImp>(xrVariableRef(base), m_index);
    return m_variable.get();
}

const String& xrIndexedPropertyExprImp::AsString(ExpressionContext& ctx) {
    return xrReadAtLine(GetLineNum(), [&]() -> const String& { return GetVariable(ctx)->GetString(ctx); });
}

bool xrIndexedPropertyExprImp::AsBool(ExpressionContext& ctx) {
    return xrReadAtLine(GetLineNum(), [&] { return GetVariable(ctx)->GetBool(ctx); });
}

double xrIndexedPropertyExprImp::AsDouble(ExpressionContext& ctx) {
    return xrReadAtLine(GetLineNum(), [&] { return GetVariable(ctx)->GetDouble(ctx); });
}

const strand::Value& xrIndexedPropertyExprImp::AsValue(ExpressionContext& ctx) {
    return xrReadAtLine(GetLineNum(),
                        [&]() -> const strand::Value& { return GetVariable(ctx)->GetValue(ctx); });
}
