#include "host/Context.h"

#include "host/Util.h"

namespace strand {

ComponentContext::ComponentContext()
    : m_globals(CPropertyCollection::newInstance()), m_identifier(util::createGuid()) {
    m_random = xrRandom::newInstance(m_identifier.hash());
}

void ComponentContext::sendMessageToClient(const String& message) {
    if (m_clientHandler) {
        m_clientHandler(message);
        return;
    }
    m_clientMessages.add(message);
}

void ComponentContext::debug(DebugKind kind, const String& message) {
    if (m_debugHandler) {
        m_debugHandler(kind, message);
        return;
    }
    m_debugMessages.add(message);
}

bool ComponentContext::locateAbsolutePath(const String& path, String& result) {
    if (path.isEmpty())
        return false;
    return constructAbsolutePath(path, result);
}

bool ComponentContext::constructAbsolutePath(const String& path, String& result) {
    if (path.isEmpty()) {
        result = String::empty();
        return false;
    }
    if (path[0] == u'/' || m_baseDirectory.isEmpty()) {
        result = path;
        return true;
    }
    result = m_baseDirectory;
    if (result.back() != u'/')
        result.append(u'/');
    result.append(path.view());
    return true;
}

void ComponentContext::setCalculator(std::function<bool(const String&)> canCalculate, Calculator calculate) {
    m_canCalculate = std::move(canCalculate);
    m_calculate = std::move(calculate);
}

bool ComponentContext::canCalculateProperty(iDataRecord*, const String& name) {
    return m_canCalculate && m_calculate && m_canCalculate(name);
}

CalculationState ComponentContext::calculateProperty(iDataRecord* record, const String& name) {
    if (!m_calculate)
        return CalculationState::Failed;
    return m_calculate(record, name);
}

iPropertyCollection* ExpressionContext::getExpressionPropertyList(bool create) {
    if (!m_expressionLocals && create)
        m_expressionLocals = CPropertyCollection::newInstance();
    return m_expressionLocals.get();
}

void ExpressionContext::clearExpressionProperties() {
    if (m_expressionLocals && m_expressionLocals->getSize() > 0)
        m_expressionLocals->removeAll();
}

iPropertyCollection* ExpressionContext::getParameters() const {
    if (m_parameters)
        return m_parameters;
    return m_context ? m_context->getComponentParameters() : nullptr;
}

double ExpressionContext::getRandomDouble() {
    if (!m_random)
        m_random = xrRandom::newInstance(kDefaultSeed);
    return m_random->GetRandomDouble();
}

void ExpressionContext::seedRandom(uint32_t seed) {
    if (!m_random) {
        m_random = xrRandom::newInstance(seed);
        return;
    }
    m_random->Seed(seed);
}

}  // namespace strand
