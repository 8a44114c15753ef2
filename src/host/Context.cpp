#include "host/Context.h"

#include "host/Format.h"
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

void ExpressionContext::startSteps() noexcept {
    m_steps = 0;
    if (m_timeLimit.count() != 0)
        m_deadline = std::chrono::steady_clock::now() + m_timeLimit;
}

void ExpressionContext::countStep(int32_t line) {
    ++m_steps;
    if (m_stepLimit != 0 && m_steps > m_stepLimit) {
        throw Exception(
            u"line %d, The script took more than %lld steps (turns of its loops and runs of eval) and "
            u"was stopped.",
            line, static_cast<long long>(m_stepLimit));
    }
    // The clock is read every 256 steps: a turn of a loop costs far less than reading it.
    if (timeLimited() && (m_steps & 255) == 0)
        checkDeadline(line);
}

void ExpressionContext::checkDeadline(int32_t line) const {
    if (std::chrono::steady_clock::now() > m_deadline) {
        const double seconds = std::chrono::duration<double>(m_timeLimit).count();
        throw Exception(u"line %d, The script ran longer than %ls seconds and was stopped.", line,
                        doubleToString(seconds));
    }
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
