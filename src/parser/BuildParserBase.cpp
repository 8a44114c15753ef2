#include "parser/BuildParserBase.h"

#include <cstring>

#include "expr/LiteralNodes.h"
#include "expr/OperatorNodes.h"
#include "expr/VariableNodes.h"
#include "functions/FunctionFactory.h"

using strand::String;
using strand::parser::tokenText;

xrNodeRef xrBuildParserBase::limit(xrNodeRef node) const {
    // A leaf is depth 1 and no operation: the operations are the levels above the leaves.
    if (node && node->GetDepth() - 1 > kMaxTreeDepth) {
        throw strand::Exception(
            u"line %d, The statement is too deeply nested: more than %d operations depend on one another. "
            u"Split it "
            u"into several statements.",
            node->GetLineNum(), kMaxTreeDepth);
    }
    return node;
}

xrNodeRef xrBuildParserBase::number(const antlr::RefToken& token) {
    return xrNodeRef(new xrNumberLiteralExprImp(line(token), tokenText(token)));
}

xrNodeRef xrBuildParserBase::plainString(const antlr::RefToken& token) {
    return xrNodeRef(
        new xrStringLiteralExprImp(line(token), tokenText(token), xrStringLiteralExprImp::Kind::Plain));
}

xrNodeRef xrBuildParserBase::cString(const std::vector<antlr::RefToken>& parts) {
    String joined(String::View{});
    for (const auto& part : parts)
        joined.append(tokenText(part).view());
    const int at = line(parts.back());
    for (char16_t c : joined) {
        if (c == u'\r' || c == u'\n')
            reportError(formatMessage(u"line %d, Unexpected newline in literal string.", at));
    }
    return xrNodeRef(new xrStringLiteralExprImp(at, joined, xrStringLiteralExprImp::Kind::CStyle));
}

xrVariableRef xrBuildParserBase::variable(const antlr::RefToken& token, int32_t scope) {
    return m_variables->GetVariable(tokenText(token), scope);
}

xrNodeRef xrBuildParserBase::variableRef(const antlr::RefToken& token, int32_t scope) {
    return xrNodeRef(new xrPropertyRefExprImp(line(token), variable(token, scope)));
}

// Whether a function may reach properties the script does not name: by position, by a computed name
// or as the whole record (the property, control, parameter and protocol families). The families that
// compute on their arguments alone (dates, math, strings, conversions, bitsets, hash tables) reach
// only the properties their arguments name.
bool xrBuildParserBase::reachesRecord(const xrFunctionFactory::Entry* entry) {
    if (!entry)
        return true;
    for (const char* family : {"date", "math", "string", "conversion", "bitset", "hash table"}) {
        if (std::strcmp(entry->family, family) == 0)
            return false;
    }
    return true;
}

xrNodeRef xrBuildParserBase::call(const antlr::RefToken& name,
                                  const strand::Ptr<xrBasicExpressionListImp>& arguments, bool complete) {
    if (!complete)
        return nullptr;
    const strand::String text = tokenText(name);
    if (reachesRecord(xrFunctionFactory::Find(text)))
        m_variables->GetVariables()->callsFunctions = true;
    return limit(xrFunctionFactory::GetFunctionByName(text, line(name), *m_variables, arguments));
}

xrNodeRef xrBuildParserBase::addPlus(const antlr::RefToken& token, const xrNodeRef& left,
                                     const xrNodeRef& right, xrPlusExprImp*& chain) {
    if (!left || !right) {
        chain = nullptr;
        return nullptr;
    }
    if (chain && chain == left.get()) {
        chain->Add(right);
        return limit(left);
    }
    auto* plus = new xrPlusExprImp(line(token), {left, right});
    chain = plus;
    return limit(xrNodeRef(plus));
}

xrNodeRef xrBuildParserBase::buildIf(const antlr::RefToken& token, const xrNodeRef& condition,
                                     const xrBodyRef& body) {
    if (!condition || !body)
        return nullptr;
    return limit(xrNodeRef(new xrIfExprImp(line(token), condition, body)));
}

void xrBuildParserBase::addBranch(const xrNodeRef& ifNode, const xrNodeRef& condition,
                                  const xrBodyRef& body) {
    if (!ifNode || !condition || !body)
        return;
    static_cast<xrIfExprImp*>(ifNode.get())->AddBranch(condition, body);
    limit(ifNode);
}

void xrBuildParserBase::setElse(const xrNodeRef& ifNode, const xrBodyRef& body) {
    if (!ifNode || !body)
        return;
    static_cast<xrIfExprImp*>(ifNode.get())->SetElse(body);
    limit(ifNode);
}

xrNodeRef xrBuildParserBase::buildFor(const antlr::RefToken& token, const xrVariableRef& variable,
                                      const xrNodeRef& first, const xrNodeRef& second, bool reverse,
                                      const xrBodyRef& body) {
    // A loop whose body failed to parse (`FOR #i IN 1 .. 3 LOOPx ...`) has nothing to build.
    if (!variable || !first || !second || !body)
        return nullptr;
    return limit(xrNodeRef(new xrForLoopExprImp(line(token), variable, first, second, reverse, body)));
}
