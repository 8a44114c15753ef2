#pragma once
// Assignments, compound assignments, increments and the conditional. An assignment evaluates its value
// first, then finds the variable its target names ("Can only assign to a property" when there is
// none), stores, and reads the variable back as its own result; compound assignments and increments
// work through the variable the same way. All of them are statements that do something.

#include "expr/ExprNode.h"
#include "expr/Variables.h"

// c ? a : b. Its kind follows its branches: a text or a number when either branch is one, a boolean
// when both are; it names a property when both branches do.
class xrConditionalExprImp final : public xrValueExprImp {
  public:
    xrConditionalExprImp(int32_t line, xrNodeRef condition, xrNodeRef first, xrNodeRef second);

    bool IsString() const override { return m_first->IsString() || m_second->IsString(); }
    bool IsDouble() const override { return m_first->IsDouble() || m_second->IsDouble(); }
    bool IsBool() const override { return m_first->IsBool() && m_second->IsBool(); }
    bool IsProperty() const override { return m_first->IsProperty() && m_second->IsProperty(); }
    void DoesSomethingCheck() const override {}
    xrExpressionVariableInterface* GetVariable(strand::ExpressionContext& ctx) override {
        return branch(ctx)->GetVariable(ctx);
    }

    const strand::String& AsString(strand::ExpressionContext& ctx) override {
        return branch(ctx)->AsString(ctx);
    }
    bool AsBool(strand::ExpressionContext& ctx) override { return branch(ctx)->AsBool(ctx); }
    double AsDouble(strand::ExpressionContext& ctx) override { return branch(ctx)->AsDouble(ctx); }
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override {
        return branch(ctx)->AsValue(ctx);
    }
    void Evaluate(strand::ExpressionContext& ctx) override { branch(ctx)->Evaluate(ctx); }

  private:
    xrValueExprImp* branch(strand::ExpressionContext& ctx) {
        return m_condition->AsBool(ctx) ? m_first.get() : m_second.get();
    }

    xrNodeRef m_condition;
    xrNodeRef m_first;
    xrNodeRef m_second;
};

// The shared shape of := and the compound assignments: a target and a value; the node's result is the
// variable's value after the store.
class xrAssignmentBase : public xrValueExprImp {
  public:
    xrAssignmentBase(int32_t line, xrNodeRef target, xrNodeRef value);

    bool IsProperty() const override { return true; }
    void DoesSomethingCheck() const override {}

    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    bool AsBool(strand::ExpressionContext& ctx) override;
    double AsDouble(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override;
    void Evaluate(strand::ExpressionContext& ctx) override { GetVariable(ctx); }

  protected:
    // The target's variable, or the "Can only assign to a property" error.
    xrExpressionVariableInterface* targetVariable(strand::ExpressionContext& ctx);
    // The value's text appended to the target (+= of a text, .=), out of line from the numeric
    // paths; `operation` names it when the text would grow too long.
    [[gnu::noinline]] xrExpressionVariableInterface* appendValueText(strand::ExpressionContext& ctx,
                                                                     const char16_t* operation);
    // A large text stored counts against the run's time limit.
    void noteStoredText(strand::ExpressionContext& ctx, const strand::Value& value) const;

    xrNodeRef m_target;
    xrNodeRef m_value;
    // A plain name as target can be found without running anything.
    bool m_plainTarget;
    // The plain target's variable when it is a plain one, stored into without a virtual call.
    xrExpressionVariableImp* m_plainVariable = nullptr;
    // The value is a number: stored as one without a value holder.
    bool m_numeric;
    strand::Ptr<strand::Value> m_kept;
};

class xrAssignExprImp final : public xrAssignmentBase {
  public:
    using xrAssignmentBase::xrAssignmentBase;
    xrExpressionVariableInterface* GetVariable(strand::ExpressionContext& ctx) override;
};

class xrPlusAssignExprImp final : public xrAssignmentBase {
  public:
    using xrAssignmentBase::xrAssignmentBase;
    xrExpressionVariableInterface* GetVariable(strand::ExpressionContext& ctx) override;
};

class xrAppendAssignExprImp final : public xrAssignmentBase {
  public:
    using xrAssignmentBase::xrAssignmentBase;
    xrExpressionVariableInterface* GetVariable(strand::ExpressionContext& ctx) override;
};

// -=, *=, /=: the value as a number first, then the variable's number combined with it.
class xrArithmeticAssignExprImp : public xrAssignmentBase {
  public:
    enum class Op { Minus, Multiply, Divide };
    xrArithmeticAssignExprImp(int32_t line, xrNodeRef target, xrNodeRef value, Op op)
        : xrAssignmentBase(line, std::move(target), std::move(value)), m_op(op) {}
    xrExpressionVariableInterface* GetVariable(strand::ExpressionContext& ctx) override;

  private:
    Op m_op;
};

class xrMinusAssignExprImp final : public xrArithmeticAssignExprImp {
  public:
    xrMinusAssignExprImp(int32_t line, xrNodeRef target, xrNodeRef value)
        : xrArithmeticAssignExprImp(line, std::move(target), std::move(value), Op::Minus) {}
};
class xrMultiplyAssignExprImp final : public xrArithmeticAssignExprImp {
  public:
    xrMultiplyAssignExprImp(int32_t line, xrNodeRef target, xrNodeRef value)
        : xrArithmeticAssignExprImp(line, std::move(target), std::move(value), Op::Multiply) {}
};
class xrDivideAssignExprImp final : public xrArithmeticAssignExprImp {
  public:
    xrDivideAssignExprImp(int32_t line, xrNodeRef target, xrNodeRef value)
        : xrArithmeticAssignExprImp(line, std::move(target), std::move(value), Op::Divide) {}
};

// ++x, x++, --x, x--: the pre forms give the new number, the post forms the old one.
class xrIncrementExprImp : public xrNumericExprImp {
  public:
    enum class Form { PreIncrement, PostIncrement, PreDecrement, PostDecrement };
    xrIncrementExprImp(int32_t line, xrNodeRef target, Form form);
    double AsDouble(strand::ExpressionContext& ctx) override;
    void DoesSomethingCheck() const override {}

  private:
    xrNodeRef m_target;
    Form m_form;
};

class xrPreIncrementExprImp final : public xrIncrementExprImp {
  public:
    xrPreIncrementExprImp(int32_t line, xrNodeRef target)
        : xrIncrementExprImp(line, std::move(target), Form::PreIncrement) {}
};
class xrPostIncrementExprImp final : public xrIncrementExprImp {
  public:
    xrPostIncrementExprImp(int32_t line, xrNodeRef target)
        : xrIncrementExprImp(line, std::move(target), Form::PostIncrement) {}
};
class xrPreDecrementExprImp final : public xrIncrementExprImp {
  public:
    xrPreDecrementExprImp(int32_t line, xrNodeRef target)
        : xrIncrementExprImp(line, std::move(target), Form::PreDecrement) {}
};
class xrPostDecrementExprImp final : public xrIncrementExprImp {
  public:
    xrPostDecrementExprImp(int32_t line, xrNodeRef target)
        : xrIncrementExprImp(line, std::move(target), Form::PostDecrement) {}
};
