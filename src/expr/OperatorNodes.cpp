#include "expr/OperatorNodes.h"

#include <cmath>
#include <limits>

#include "host/Util.h"

using strand::ExpressionContext;
using strand::String;

xrPlusExprImp::xrPlusExprImp(int32_t line, std::vector<xrNodeRef> operands) : xrValueExprImp(line) {
    for (auto& operand : operands)
        Add(std::move(operand));
}

void xrPlusExprImp::Add(xrNodeRef operand) {
    m_isString = m_isString || operand->IsString();
    addChild(operand.get());
    m_operands.push_back(std::move(operand));
}

double xrPlusExprImp::AsDouble(ExpressionContext& ctx) {
    if (m_isString)
        return strand::util::stringToDouble(AsString(ctx).view());
    double sum = m_operands.front()->AsDouble(ctx);
    for (size_t i = 1; i < m_operands.size(); ++i)
        sum += m_operands[i]->AsDouble(ctx);
    return sum;
}

const String& xrPlusExprImp::AsString(ExpressionContext& ctx) {
    String& text = m_text.get();
    text.clear();
    if (!m_isString) {
        strand::appendDouble(text, AsDouble(ctx));
        return text;
    }
    for (const auto& operand : m_operands) {
        const String& piece = operand->AsString(ctx);
        checkTextLength(ctx, text.length() + piece.length(), u"'+'");
        text.append(piece.view());
    }
    return text;
}

const strand::Value& xrPlusExprImp::AsValue(ExpressionContext& ctx) {
    if (m_isString) {
        AsString(ctx);
        return m_text;
    }
    m_number.set(AsDouble(ctx));
    return m_number;
}

void xrPlusExprImp::Evaluate(ExpressionContext& ctx) {
    for (const auto& operand : m_operands)
        operand->Evaluate(ctx);
}

xrBinaryNumericExprImp::xrBinaryNumericExprImp(int32_t line, xrNodeRef left, xrNodeRef right)
    : xrNumericExprImp(line), m_left(std::move(left)), m_right(std::move(right)) {
    setChildren({m_left.get(), m_right.get()});
}

double xrModuloExprImp::AsDouble(ExpressionContext& ctx) {
    const int32_t dividend = strand::truncToInt32(m_left->AsDouble(ctx));
    const int32_t divisor = strand::truncToInt32(m_right->AsDouble(ctx));
    if (divisor == 0)
        return std::numeric_limits<double>::quiet_NaN();
    // -2147483648 % -1 is 0, not a trap.
    if (divisor == -1)
        return 0.0;
    return double(dividend % divisor);
}

xrNegateExprImp::xrNegateExprImp(int32_t line, xrNodeRef operand)
    : xrNumericExprImp(line), m_operand(std::move(operand)) {
    setChildren({m_operand.get()});
}

xrConcatExprImp::xrConcatExprImp(int32_t line, xrNodeRef left, xrNodeRef right)
    : xrStringExprImp(line),
      m_left(std::move(left)),
      m_right(std::move(right)),
      m_leftIsConcat(dynamic_cast<xrConcatExprImp*>(m_left.get()) != nullptr) {
    setChildren({m_left.get(), m_right.get()});
}

const String& xrConcatExprImp::AsString(ExpressionContext& ctx) {
    String& text = GetString();
    text.assign(std::u16string_view());
    appendTo(ctx, text);
    return text;
}

void xrConcatExprImp::appendTo(ExpressionContext& ctx, String& out) {
    // The left text is copied before the right operand runs, which may change what it came from.
    if (m_leftIsConcat) {
        static_cast<xrConcatExprImp*>(m_left.get())->appendTo(ctx, out);
    } else {
        const String& left = m_left->AsString(ctx);
        checkTextLength(ctx, out.length() + left.length(), u"'.'");
        out.append(left.view());
    }
    const String& right = m_right->AsString(ctx);
    checkTextLength(ctx, out.length() + right.length(), u"'.'");
    out.append(right.view());
}

void xrConcatExprImp::Evaluate(ExpressionContext& ctx) {
    m_left->Evaluate(ctx);
    m_right->Evaluate(ctx);
}
