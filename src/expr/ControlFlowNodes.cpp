#include "expr/ControlFlowNodes.h"

#include <cmath>

using strand::ExpressionContext;
using strand::String;

xrIfExprImp::xrIfExprImp(int32_t line, xrNodeRef condition, xrBodyRef body) : xrBooleanExprImp(line) {
    AddBranch(std::move(condition), std::move(body));
}

void xrIfExprImp::AddBranch(xrNodeRef condition, xrBodyRef body) {
    SetDepth(std::max({GetDepth(), condition->GetDepth() + 1, body->Depth() + 1}));
    m_conditions.push_back(std::move(condition));
    m_bodies.push_back(std::move(body));
}

void xrIfExprImp::SetElse(xrBodyRef body) {
    SetDepth(std::max(GetDepth(), body->Depth() + 1));
    m_else = std::move(body);
}

xrBasicExpressionListImp* xrIfExprImp::selected(ExpressionContext& ctx) {
    for (size_t i = 0; i < m_conditions.size(); ++i) {
        if (m_conditions[i]->AsBool(ctx))
            return m_bodies[i].get();
    }
    return m_else.get();
}

void xrIfExprImp::DoesSomethingCheck() const {
    for (const auto& body : m_bodies)
        body->doesSomethingCheck(true);
    if (m_else)
        m_else->doesSomethingCheck(true);
}

void xrIfExprImp::Reset() {
    for (const auto& condition : m_conditions)
        condition->Reset();
    for (const auto& body : m_bodies)
        body->Reset();
    if (m_else)
        m_else->Reset();
}

void xrIfExprImp::ResetCalculated() {
    for (const auto& condition : m_conditions)
        condition->ResetCalculated();
    for (const auto& body : m_bodies)
        body->ResetCalculated();
    if (m_else)
        m_else->ResetCalculated();
}

void xrIfExprImp::Evaluate(ExpressionContext& ctx) {
    if (xrBasicExpressionListImp* body = selected(ctx))
        body->evaluate(ctx);
}

bool xrIfExprImp::AsBool(ExpressionContext& ctx) {
    xrBasicExpressionListImp* body = selected(ctx);
    if (!body)
        throw error(u"Error, required a boolean return value but no ELSE clause.");
    return body->getBool(ctx);
}

double xrIfExprImp::AsDouble(ExpressionContext& ctx) {
    xrBasicExpressionListImp* body = selected(ctx);
    if (!body)
        throw error(u"Error, required a double return value but no ELSE clause.");
    return body->getDouble(ctx);
}

const String& xrIfExprImp::AsString(ExpressionContext& ctx) {
    xrBasicExpressionListImp* body = selected(ctx);
    if (!body)
        throw error(u"Error, required a string return value but no ELSE clause.");
    return body->getString(ctx);
}

const strand::Value& xrIfExprImp::AsValue(ExpressionContext& ctx) {
    xrBasicExpressionListImp* body = selected(ctx);
    if (!body)
        throw error(u"Error, required a string return value but no ELSE clause.");
    return body->getValue(ctx);
}

xrWhileLoopExprImp::xrWhileLoopExprImp(int32_t line, xrNodeRef condition, xrBodyRef body)
    : xrVoidExprImp(line), m_condition(std::move(condition)), m_body(std::move(body)) {
    SetDepth(std::max(m_condition->GetDepth(), m_body->Depth()) + 1);
}

void xrWhileLoopExprImp::Reset() {
    m_condition->Reset();
    m_body->Reset();
}

void xrWhileLoopExprImp::ResetCalculated() {
    m_condition->ResetCalculated();
    m_body->ResetCalculated();
}

void xrWhileLoopExprImp::Evaluate(ExpressionContext& ctx) {
    try {
        while (m_condition->AsBool(ctx)) {
            ctx.step(GetLineNum());
            m_body->evaluate(ctx);
        }
    } catch (const xrBreakException&) {
    }
}

xrForLoopExprImp::xrForLoopExprImp(int32_t line, xrVariableRef variable, xrNodeRef first, xrNodeRef second,
                                   bool reverse, xrBodyRef body)
    : xrVoidExprImp(line),
      m_variable(std::move(variable)),
      m_plainVariable(dynamic_cast<xrExpressionVariableImp*>(m_variable.get())),
      m_first(std::move(first)),
      m_second(std::move(second)),
      m_reverse(reverse),
      m_body(std::move(body)) {
    SetDepth(std::max({m_first->GetDepth(), m_second->GetDepth(), m_body->Depth()}) + 1);
}

void xrForLoopExprImp::Reset() {
    m_variable->Reset();
    m_first->Reset();
    m_second->Reset();
    m_body->Reset();
}

void xrForLoopExprImp::ResetCalculated() {
    m_variable->ResetCalculated();
    m_first->ResetCalculated();
    m_second->ResetCalculated();
    m_body->ResetCalculated();
}

void xrForLoopExprImp::Evaluate(ExpressionContext& ctx) {
    double i = m_first->AsDouble(ctx);
    const double end = m_second->AsDouble(ctx);
    const double step = m_reverse ? -1.0 : 1.0;
    try {
        while (m_reverse ? i >= end : i <= end) {
            ctx.step(GetLineNum());
            if (m_plainVariable)
                m_plainVariable->SetDouble(ctx, i);
            else
                m_variable->SetDouble(ctx, i);
            m_body->evaluate(ctx);
            const double next = i + step;
            // Past 2^53, or from an infinity, adding 1 no longer changes the counter.
            if (next == i) {
                throw error(u"The FOR loop counter cannot advance from %ls by steps of 1.",
                            strand::doubleToString(i));
            }
            i = next;
        }
    } catch (const xrBreakException&) {
    }
}

xrReturnExprImp::xrReturnExprImp(int32_t line, xrNodeRef returned)
    : xrValueExprImp(line), m_returned(std::move(returned)) {
    setChildren({m_returned.get()});
}
