#pragma once
// The interfaces through which hosts use scripts: iExpressionParser turns text into an iExpression,
// and an iExpression is evaluated against an ExpressionContext for its effects or for a boolean,
// number, text or value result.

#include "host/Context.h"
#include "host/Value.h"

namespace strand {

class iExpression : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iExpression"};

    // Raises when a statement has no effect: every statement but the last, and the last one too
    // when `checkLast` is set.
    virtual void doesSomethingCheck(bool checkLast) const = 0;
    virtual bool getBool(ExpressionContext& context) = 0;
    virtual double getDouble(ExpressionContext& context) = 0;
    // The text and value results stay valid until the expression is evaluated again.
    virtual const String& getString(ExpressionContext& context) = 0;
    virtual const Value& getValue(ExpressionContext& context) = 0;
    virtual void evaluate(ExpressionContext& context) = 0;
};

class iExpressionParser : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iExpressionParser"};

    // The parsed script stays owned by the parser object until its next parse or its destruction;
    // a caller that keeps it longer takes its own reference.
    virtual iExpression* parseExpression(const String& text, iContext* context) = 0;
};

}  // namespace strand
