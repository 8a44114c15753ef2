#pragma once
// Arithmetic and concatenation. `+` is one node over a chain of operands: it adds numbers, unless an
// operand is a text, when it joins the texts. `-`, `*`, `/` are IEEE operations (division by zero
// gives an infinity or NaN); `%` works on the operands truncated to 32-bit integers; unary minus is
// IEEE negation; `.` joins texts.

#include <vector>

#include "expr/ExprNode.h"

class xrPlusExprImp final : public xrValueExprImp {
  public:
    xrPlusExprImp(int32_t line, std::vector<xrNodeRef> operands);

    bool IsString() const override { return m_isString; }
    bool IsDouble() const override { return !m_isString; }
    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    bool AsBool(strand::ExpressionContext& ctx) override { return AsDouble(ctx) != 0.0; }
    double AsDouble(strand::ExpressionContext& ctx) override;
    const strand::Value& AsValue(strand::ExpressionContext& ctx) override;
    void Evaluate(strand::ExpressionContext& ctx) override;

    // The parser adds the operands of a chain a + b + c one by one.
    void Add(xrNodeRef operand);
    const std::vector<xrNodeRef>& operands() const noexcept { return m_operands; }

  private:
    std::vector<xrNodeRef> m_operands;
    bool m_isString = false;
    strand::DoubleValue m_number;
    strand::StringValue m_text;
};

// The binary numeric operators share one shape; each class names its operation.
class xrBinaryNumericExprImp : public xrNumericExprImp {
  public:
    xrBinaryNumericExprImp(int32_t line, xrNodeRef left, xrNodeRef right);

  protected:
    xrNodeRef m_left;
    xrNodeRef m_right;
};

class xrMinusExprImp final : public xrBinaryNumericExprImp {
  public:
    using xrBinaryNumericExprImp::xrBinaryNumericExprImp;
    double AsDouble(strand::ExpressionContext& ctx) override {
        const double l = m_left->AsDouble(ctx);
        return l - m_right->AsDouble(ctx);
    }
};

class xrMultiplyExprImp final : public xrBinaryNumericExprImp {
  public:
    using xrBinaryNumericExprImp::xrBinaryNumericExprImp;
    double AsDouble(strand::ExpressionContext& ctx) override {
        const double l = m_left->AsDouble(ctx);
        return l * m_right->AsDouble(ctx);
    }
};

class xrDivideExprImp final : public xrBinaryNumericExprImp {
  public:
    using xrBinaryNumericExprImp::xrBinaryNumericExprImp;
    double AsDouble(strand::ExpressionContext& ctx) override {
        const double l = m_left->AsDouble(ctx);
        return l / m_right->AsDouble(ctx);
    }
};

// Both operands truncated to 32-bit integers; a zero divisor gives NaN; the sign follows the dividend.
class xrModuloExprImp final : public xrBinaryNumericExprImp {
  public:
    using xrBinaryNumericExprImp::xrBinaryNumericExprImp;
    double AsDouble(strand::ExpressionContext& ctx) override;
};

class xrNegateExprImp final : public xrNumericExprImp {
  public:
    xrNegateExprImp(int32_t line, xrNodeRef operand);
    double AsDouble(strand::ExpressionContext& ctx) override { return -m_operand->AsDouble(ctx); }

  private:
    xrNodeRef m_operand;
};

class xrConcatExprImp final : public xrStringExprImp {
  public:
    xrConcatExprImp(int32_t line, xrNodeRef left, xrNodeRef right);
    const strand::String& AsString(strand::ExpressionContext& ctx) override;
    void Evaluate(strand::ExpressionContext& ctx) override;

  private:
    // Appends the texts of a chain `a . b . c` in order, without a text for each link.
    void appendTo(strand::ExpressionContext& ctx, strand::String& out);

    xrNodeRef m_left;
    xrNodeRef m_right;
    bool m_leftIsConcat;
};
