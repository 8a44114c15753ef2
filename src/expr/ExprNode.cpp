#include "expr/ExprNode.h"

#include <algorithm>

#include "expr/Variables.h"
#include "host/Util.h"

using strand::ExpressionContext;
using strand::String;

void xrValueExprImp::DoesSomethingCheck() const {
    throw error(u"Statement doesn't appear to do anything.");
}

void xrValueExprImp::throwTextTooLong(const char16_t* operation) const {
    throw error(u"The text built by %ls would be longer than %lld characters, the most a text may hold.",
                operation, static_cast<long long>(strand::kMaxTextLength));
}

xrExpressionVariableInterface* xrValueExprImp::GetVariable(ExpressionContext&) {
    return nullptr;
}

const String& xrVoidExprImp::AsString(ExpressionContext&) {
    throw error(u"Error, cannot evaluate a void expression as a string.");
}

bool xrVoidExprImp::AsBool(ExpressionContext&) {
    throw xrExpressionVoidAsBoolException(GetLineNum());
}

double xrVoidExprImp::AsDouble(ExpressionContext&) {
    throw error(u"Error, cannot evaluate a void expression as a double.");
}

const strand::Value& xrVoidExprImp::AsValue(ExpressionContext&) {
    throw error(u"Error, cannot evaluate a void expression as a value.");
}

const String& xrNumericExprImp::AsString(ExpressionContext& ctx) {
    const double value = AsDouble(ctx);
    m_text.clear();
    strand::appendDouble(m_text, value);
    return m_text;
}

const String& xrBooleanExprImp::AsString(ExpressionContext& ctx) {
    static const String kTrue(u"true"), kFalse(u"false");
    return AsBool(ctx) ? kTrue : kFalse;
}

double xrStringExprImp::AsDouble(ExpressionContext& ctx) {
    return strand::util::stringToDouble(AsString(ctx).view());
}

void xrValueExprImp::setChildren(std::initializer_list<xrValueExprImp*> children) {
    m_children.clear();
    int32_t depth = 0;
    for (xrValueExprImp* child : children) {
        if (!child)
            continue;
        m_children.push_back(child);
        depth = std::max(depth, child->GetDepth());
    }
    SetDepth(depth + 1);
}

void xrValueExprImp::addChild(xrValueExprImp* child) {
    m_children.push_back(child);
    SetDepth(std::max(GetDepth(), child->GetDepth() + 1));
}
