#pragma once
// The base of the building parser: the tree builder its grammar actions call. Every node gets the
// line of its token; a rule that failed leaves a null node, and anything built over a null node is
// null too, so that a text with syntax errors never builds half a tree. Trees are bounded in depth:
// evaluation and release walk them recursively, so a chain of operations too long to walk is refused
// with a message when the script is parsed.

#include <vector>

#include "expr/ComparisonNodes.h"
#include "expr/ControlFlowNodes.h"
#include "expr/ExpressionList.h"
#include "expr/OperatorNodes.h"
#include "expr/Variables.h"
#include "functions/FunctionFactory.h"
#include "parser/ParserBase.h"

class xrBuildParserBase : public xrParserBase {
  public:
    // Operations that may depend on one another in one statement (a - b - c ... counts one per `-`).
    static constexpr int32_t kMaxTreeDepth = 5000;

    template <typename... A>
    explicit xrBuildParserBase(A&&... args) : xrParserBase(std::forward<A>(args)...) {}

    void setVariableFactory(xrExpressionVariableFactory& variables) { m_variables = &variables; }

  protected:
    static int line(const antlr::RefToken& token) { return token->getLine(); }

    // A node of class T over its parts, or null when a part is missing.
    template <typename T, typename... A>
    xrNodeRef build(const antlr::RefToken& token, A&&... parts) {
        if ((missing(parts) || ...))
            return nullptr;
        return limit(xrNodeRef(new T(line(token), std::forward<A>(parts)...)));
    }
    // not(T(...)), both at the operator's line.
    template <typename T, typename... A>
    xrNodeRef negated(const antlr::RefToken& token, A&&... parts) {
        return build<xrNotExprImp>(token, build<T>(token, std::forward<A>(parts)...));
    }

    xrNodeRef number(const antlr::RefToken& token);
    xrNodeRef plainString(const antlr::RefToken& token);
    // Adjacent C style literals joined into one, at the line of the last; every line end in the joined
    // text is reported.
    xrNodeRef cString(const std::vector<antlr::RefToken>& parts);
    xrNodeRef variableRef(const antlr::RefToken& token, int32_t scope);
    xrVariableRef variable(const antlr::RefToken& token, int32_t scope);
    xrNodeRef call(const antlr::RefToken& name, const strand::Ptr<xrBasicExpressionListImp>& arguments,
                   bool complete);
    // a + b + c is one node: a `+` right after a `+` adds to the node it made.
    xrNodeRef addPlus(const antlr::RefToken& token, const xrNodeRef& left, const xrNodeRef& right,
                      xrPlusExprImp*& chain);
    xrNodeRef buildIf(const antlr::RefToken& token, const xrNodeRef& condition, const xrBodyRef& body);
    void addBranch(const xrNodeRef& ifNode, const xrNodeRef& condition, const xrBodyRef& body);
    void setElse(const xrNodeRef& ifNode, const xrBodyRef& body);
    xrNodeRef buildFor(const antlr::RefToken& token, const xrVariableRef& variable, const xrNodeRef& first,
                       const xrNodeRef& second, bool reverse, const xrBodyRef& body);
    static void add(const xrBodyRef& body, const xrNodeRef& statement) {
        if (statement)
            body->Add(statement);
    }

    xrNodeRef limit(xrNodeRef node) const;
    static bool reachesRecord(const xrFunctionFactory::Entry* entry);

  private:
    static bool missing(const xrNodeRef& node) { return !node; }
    static bool missing(const xrBodyRef& body) { return !body; }
    static bool missing(const xrVariableRef& variable) { return !variable; }
    template <typename T>
    static bool missing(const T&) {
        return false;
    }

    xrExpressionVariableFactory* m_variables = nullptr;
};
