#pragma once
// The literal nodes: numbers, texts (plain and C style) and the booleans TRUE and FALSE. A number or
// text alone as a statement does nothing and fails the statement check; TRUE and FALSE pass it.

#include "expr/ExprNode.h"

class xrNumberLiteralExprImp final : public xrNumericExprImp {
  public:
    // Reads the token text without the C library's locale; a number too large for a double, or a
    // non-zero number too small to be anything but 0, is refused: "Numerical value is outside of
    // legal range: <text>".
    xrNumberLiteralExprImp(int32_t line, const strand::String& text);
    double AsDouble(strand::ExpressionContext&) override { return m_number; }
    double value() const noexcept { return m_number; }

  private:
    double m_number;
};

class xrStringLiteralExprImp final : public xrStringExprImp {
  public:
    enum class Kind { Plain, CStyle };
    // A C style literal has its escapes resolved here, once.
    xrStringLiteralExprImp(int32_t line, const strand::String& text, Kind kind);
    const strand::String& AsString(strand::ExpressionContext&) override { return m_value.get(); }
    void Evaluate(strand::ExpressionContext&) override {}

    // The C style escapes: \n \t \r \a \b \f \v, octal \0..\377, \x and one or two hex digits, \u and one
    // to four hex digits; any other escaped character stands for itself, and a final backslash stays.
    static strand::String resolveEscapes(const strand::String& text);
};

class xrBoolLiteralExprImp final : public xrBooleanExprImp {
  public:
    xrBoolLiteralExprImp(int32_t line, bool value) : xrBooleanExprImp(line), m_truth(value) {}
    bool AsBool(strand::ExpressionContext&) override { return m_truth; }
    void DoesSomethingCheck() const override {}

  private:
    bool m_truth;
};
