#pragma once
// References to variables: a name in a script (xrPropertyRefExprImp) and one value of a vector
// property (xrIndexedPropertyExprImp, `name[i]` with i counted from 1). Reads go through the variable;
// a missing property leaves with the line of the reference that read it.

#include "expr/Variables.h"

class xrPropertyRefExprImp final : public xrPropertyExprImp {
  public:
    xrPropertyRefExprImp(int32_t line, xrVariableRef variable)
        : xrPropertyExprImp(line),
          m_variable(std::move(variable)),
          m_plain(dynamic_cast<xrExpressionVariableImp*>(m_variable.get())) {}

    bool IsProperty() const override { return true; }
    xrExpressionVariableInterface* GetVariable(strand::ExpressionContext&) override {
        return m_variable.get();
    }
    const xrVariableRef& variable() const noexcept { return m_variable; }
    void Reset() override { m_variable->Reset(); }
    void ResetCalculated() override { m_variable->ResetCalculated(); }

    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    bool AsBool(strand::ExpressionContext& ctx) override;
    double AsDouble(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override;
    void Evaluate(strand::ExpressionContext& ctx) override { AsValue(ctx); }

  private:
    xrVariableRef m_variable;
    // The same variable when it is a plain one, so that reads need no virtual call.
    xrExpressionVariableImp* m_plain;
};

class xrIndexedPropertyExprImp final : public xrPropertyExprImp {
  public:
    // Only a property can be indexed: anything else is refused when the script is parsed.
    xrIndexedPropertyExprImp(int32_t line, xrNodeRef base, xrNodeRef index);

    bool IsProperty() const override { return true; }
    xrExpressionVariableInterface* GetVariable(strand::ExpressionContext& ctx) override;

    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    bool AsBool(strand::ExpressionContext& ctx) override;
    double AsDouble(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override;
    void Evaluate(strand::ExpressionContext& ctx) override { AsValue(ctx); }

  private:
    xrNodeRef m_base;
    xrNodeRef m_index;
    xrVariableRef m_variable;
};

// Runs a read, giving a missing property the line of the node that read it.
template <typename F>
decltype(auto) xrReadAtLine(int32_t line, F&& read) {
    try {
        return read();
    } catch (xrExpressionUnboundException& e) {
        if (e.line() == 0)
            e.setLine(line);
        throw;
    }
}
