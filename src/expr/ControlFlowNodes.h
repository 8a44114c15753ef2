#pragma once
// IF / ELSIF / ELSE, WHILE, FOR (with REVERSE), BREAK and RETURN. Bodies are statement lists. Loops end
// at a BREAK from their body or condition; RETURN leaves every loop and IF and ends the whole script.

#include <vector>

#include "expr/ExpressionList.h"

using xrBodyRef = strand::Ptr<xrBasicExpressionListImp>;

class xrIfExprImp final : public xrBooleanExprImp {
  public:
    xrIfExprImp(int32_t line, xrNodeRef condition, xrBodyRef body);
    void AddBranch(xrNodeRef condition, xrBodyRef body);
    void SetElse(xrBodyRef body);

    void DoesSomethingCheck() const override;
    void Reset() override;
    void ResetCalculated() override;
    void Evaluate(strand::ExpressionContext& ctx) override;
    bool AsBool(strand::ExpressionContext& ctx) override;
    double AsDouble(strand::ExpressionContext& ctx) override;
    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override;

  private:
    // The body of the first true condition, else the ELSE body, else null.
    xrBasicExpressionListImp* selected(strand::ExpressionContext& ctx);

    std::vector<xrNodeRef> m_conditions;
    std::vector<xrBodyRef> m_bodies;
    xrBodyRef m_else;
};

class xrWhileLoopExprImp final : public xrVoidExprImp {
  public:
    xrWhileLoopExprImp(int32_t line, xrNodeRef condition, xrBodyRef body);
    void DoesSomethingCheck() const override { m_body->doesSomethingCheck(true); }
    void Reset() override;
    void ResetCalculated() override;
    void Evaluate(strand::ExpressionContext& ctx) override;

  private:
    xrNodeRef m_condition;
    xrBodyRef m_body;
};

// The counter runs from the first bound toward the second by steps of exactly 1, both bounds taken
// once; the loop variable is set to the counter before each run of the body.
class xrForLoopExprImp final : public xrVoidExprImp {
  public:
    xrForLoopExprImp(int32_t line, xrVariableRef variable, xrNodeRef first, xrNodeRef second, bool reverse,
                     xrBodyRef body);
    void DoesSomethingCheck() const override { m_body->doesSomethingCheck(true); }
    void Reset() override;
    void ResetCalculated() override;
    void Evaluate(strand::ExpressionContext& ctx) override;

  private:
    xrVariableRef m_variable;
    // The counter's variable when it is a plain one, stored into without a virtual call.
    xrExpressionVariableImp* m_plainVariable;
    xrNodeRef m_first;
    xrNodeRef m_second;
    bool m_reverse;
    xrBodyRef m_body;
};

class xrBreakExprImp final : public xrVoidExprImp {
  public:
    using xrVoidExprImp::xrVoidExprImp;
    void DoesSomethingCheck() const override {}
    void Evaluate(strand::ExpressionContext&) override { throw xrBreakException{GetLineNum()}; }
};

class xrReturnExprImp final : public xrValueExprImp {
  public:
    xrReturnExprImp(int32_t line, xrNodeRef returned);

    bool IsString() const override { return m_returned && m_returned->IsString(); }
    bool IsProperty() const override { return m_returned && m_returned->IsProperty(); }
    bool IsBool() const override { return m_returned && m_returned->IsBool(); }
    bool IsDouble() const override { return m_returned && m_returned->IsDouble(); }
    bool IsValue() const override { return !m_returned || m_returned->IsValue(); }
    void DoesSomethingCheck() const override {}

    const strand::String& AsString(strand::ExpressionContext&) override {
        throw xrReturnException{m_returned};
    }
    bool AsBool(strand::ExpressionContext&) override { throw xrReturnException{m_returned}; }
    double AsDouble(strand::ExpressionContext&) override { throw xrReturnException{m_returned}; }
    const strand::Value& AsValue(strand::ExpressionContext&) override { throw xrReturnException{m_returned}; }
    void Evaluate(strand::ExpressionContext&) override { throw xrReturnException{m_returned}; }

  private:
    xrNodeRef m_returned;
};
