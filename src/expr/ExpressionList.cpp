#include "expr/ExpressionList.h"

#include <algorithm>

using strand::ExpressionContext;
using strand::String;

strand::LeakDetector xrBasicExpressionListImp::m_leakDetector{"Halvorn.data.xrBasicExpressionListImp"};
strand::LeakDetector xrExpressionListImp::m_leakDetector{"Halvorn.data.xrExpressionListImp"};

xrBasicExpressionListImp::xrBasicExpressionListImp() {
    m_leakDetector.add();
}
xrBasicExpressionListImp::~xrBasicExpressionListImp() {
    m_leakDetector.remove();
}

void xrBasicExpressionListImp::RecordLoan::lend(xrBasicExpressionListImp& list) {
    if (!list.m_nodeRecord)
        list.m_nodeRecord = strand::makePtr<strand::DataRecord>();
    list.m_nodeRecord->attachProperties(
        strand::Ptr<strand::iPropertyCollection>(m_ctx.isForNode()->getProperties()));
    m_lent = list.m_nodeRecord.get();
    m_ctx.setDataRecord(m_lent);
}

void xrBasicExpressionListImp::RecordLoan::giveBack() {
    m_ctx.setDataRecord(nullptr);
    m_lent->detachProperties();
}

void xrBasicExpressionListImp::doesSomethingCheck(bool checkLast) const {
    const size_t n = m_statements.size();
    for (size_t i = 0; i + 1 < n; ++i)
        m_statements[i]->DoesSomethingCheck();
    if (checkLast && n > 0)
        m_statements[n - 1]->DoesSomethingCheck();
}

xrValueExprImp& xrBasicExpressionListImp::runAllButLast(ExpressionContext& ctx,
                                                        const char16_t* emptyMessage) {
    const size_t n = m_statements.size();
    if (n == 0)
        throw strand::Exception(String(emptyMessage));
    for (size_t i = 0; i + 1 < n; ++i)
        m_statements[i]->Evaluate(ctx);
    return *m_statements[n - 1];
}

bool xrBasicExpressionListImp::getBool(ExpressionContext& ctx) {
    RecordLoan loan(*this, ctx);
    return runAllButLast(ctx, u"Cannot evaluate a zero length expression list as a bool.").AsBool(ctx);
}

double xrBasicExpressionListImp::getDouble(ExpressionContext& ctx) {
    RecordLoan loan(*this, ctx);
    return runAllButLast(ctx, u"Cannot evaluate a zero length expression list as a number.").AsDouble(ctx);
}

const String& xrBasicExpressionListImp::getString(ExpressionContext& ctx) {
    RecordLoan loan(*this, ctx);
    return runAllButLast(ctx, u"Cannot evaluate a zero length expression list as a string.").AsString(ctx);
}

const strand::Value& xrBasicExpressionListImp::getValue(ExpressionContext& ctx) {
    RecordLoan loan(*this, ctx);
    return runAllButLast(ctx, u"Cannot evaluate a zero length expression list as a value.").AsValue(ctx);
}

void xrBasicExpressionListImp::evaluate(ExpressionContext& ctx) {
    if (ctx.isForNode() && !ctx.getDataRecord()) [[unlikely]]
        return evaluateOnLoan(ctx);
    // A loop body of one statement is a tail call.
    if (m_statements.size() == 1)
        return m_statements[0]->Evaluate(ctx);
    for (const auto& statement : m_statements)
        statement->Evaluate(ctx);
}

void xrBasicExpressionListImp::evaluateOnLoan(ExpressionContext& ctx) {
    RecordLoan loan(*this, ctx);
    for (const auto& statement : m_statements)
        statement->Evaluate(ctx);
}

void xrBasicExpressionListImp::Reset() {
    for (const auto& statement : m_statements)
        statement->Reset();
}

void xrBasicExpressionListImp::ResetCalculated() {
    for (const auto& statement : m_statements)
        statement->ResetCalculated();
}

int32_t xrBasicExpressionListImp::Depth() const {
    int32_t depth = 0;
    for (const auto& statement : m_statements)
        depth = std::max(depth, statement->GetDepth());
    return depth;
}

xrExpressionListImp::xrExpressionListImp() : m_variables(makeRef<xrVariableList>()) {
    m_leakDetector.add();
}
xrExpressionListImp::~xrExpressionListImp() {
    m_leakDetector.remove();
}

void xrExpressionListImp::Invalidate() {
    invalidateVariables();
}

bool xrExpressionListImp::invalidateVariables() {
    bool readsRecord = false;
    for (const auto& variable : m_variables->items) {
        variable->Invalidate();
        readsRecord |= variable->IsLocal();
    }
    return readsRecord;
}

strand::Ptr<strand::xrRandom> xrExpressionListImp::GetRandom() const {
    if (!m_random)
        m_random = strand::xrRandom::newInstance(3333);
    return m_random;
}

template <typename Run, typename Returned>
decltype(auto) xrExpressionListImp::runScript(ExpressionContext& ctx, Run run, Returned returned) {
    const bool readsRecord = invalidateVariables();
    if (!ctx.getRandom())
        ctx.setRandom(GetRandom());
    RecordLoan loan(*this, ctx);
    if (readsRecord) {
        if (strand::iPropertyCollection* properties = ctx.getPropertyList())
            properties->prefetch();
    }
    try {
        try {
            return run();
        } catch (const xrReturnException& r) {
            // The returned expression runs while the record is still lent.
            return returned(*r.expression);
        } catch (const xrBreakException& b) {
            throw strand::Exception(u"line %d, Unexpected BREAK clause outside of a loop.", b.line);
        }
    } catch (const xrExpressionUnboundException& unbound) {
        throw xrUndefinedPropertyException(unbound);
    }
}

bool xrExpressionListImp::getBool(ExpressionContext& ctx) {
    return runScript(
        ctx, [&] { return xrBasicExpressionListImp::getBool(ctx); },
        [&](xrValueExprImp& e) { return e.AsBool(ctx); });
}

double xrExpressionListImp::getDouble(ExpressionContext& ctx) {
    return runScript(
        ctx, [&] { return xrBasicExpressionListImp::getDouble(ctx); },
        [&](xrValueExprImp& e) { return e.AsDouble(ctx); });
}

const String& xrExpressionListImp::getString(ExpressionContext& ctx) {
    return runScript(
        ctx, [&]() -> const String& { return xrBasicExpressionListImp::getString(ctx); },
        [&](xrValueExprImp& e) -> const String& { return e.AsString(ctx); });
}

const strand::Value& xrExpressionListImp::getValue(ExpressionContext& ctx) {
    return runScript(
        ctx, [&]() -> const strand::Value& { return xrBasicExpressionListImp::getValue(ctx); },
        [&](xrValueExprImp& e) -> const strand::Value& { return e.AsValue(ctx); });
}

void xrExpressionListImp::evaluate(ExpressionContext& ctx) {
    runScript(
        ctx, [&] { xrBasicExpressionListImp::evaluate(ctx); }, [&](xrValueExprImp& e) { e.Evaluate(ctx); });
}

strand::Ptr<xrExpressionListImp> xrExpressionListImp::clone() const {
    auto copy = newInstance();
    for (const auto& statement : m_statements)
        copy->Add(statement);
    copy->m_variables = m_variables;
    return copy;
}

void xrExpressionListImp::ResetCalculated() {
    for (const auto& variable : m_variables->items)
        variable->ResetCalculated();
    xrBasicExpressionListImp::ResetCalculated();
}

void xrExpressionListImp::RemoveCalculated(ExpressionContext& ctx, bool alsoMarked) {
    for (const auto& variable : m_variables->items) {
        if (variable->WasCalculated() || (alsoMarked && variable->IsMarked())) {
            if (strand::iPropertyCollection* list = variable->GetPropertyList(ctx))
                list->remove(variable->GetName());
        }
        variable->ClearCalculated();
    }
}
