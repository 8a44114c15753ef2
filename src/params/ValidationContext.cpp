#include "params/ValidationContext.h"

#include "host/Util.h"
#include "params/MemberGuard.h"

using strand::String;
using strand::params::guardMember;

namespace {

constexpr const char16_t* kClass = u"CValidationContext";

// What rules may not do: the refusal, reported under the operation's name.
[[noreturn]] void refuse(const char16_t* operation) {
    guardMember(kClass, operation,
                [] { throw strand::Exception(u"This method is not supported for validation"); });
    __builtin_unreachable();
}

}  // namespace

CValidationContext::CValidationContext(strand::iParameterCollection* parameters)
    : m_parameters(parameters), m_identifier(strand::util::createGuid()) {
    m_random = strand::xrRandom::newInstance(seedOf(m_identifier));
}

CValidationContext::~CValidationContext() {
    try {
        m_state = nullptr;
    } catch (...) {
        // A failure of the state's release has no one to go to from a destructor.
    }
}

uint32_t CValidationContext::seedOf(const String& identifier) noexcept {
    uint32_t h = 0;
    for (char16_t c : identifier.view())
        h = h * 31u + (uint32_t(c) & 0xFFu);
    return h;
}

void CValidationContext::clone() const {
    throw strand::Exception(u"Cannot clone CValidationContext");
}

strand::iDataRecord* CValidationContext::getLocalData() {
    refuse(u"getLocalData");
}

strand::iPropertyCollection* CValidationContext::getComponentParameters() {
    return guardMember(kClass, u"getComponentParameters", [&] {
        auto* parameters = dynamic_cast<strand::iPropertyCollection*>(m_parameters);
        if (!parameters)
            throw strand::Exception(u"Context component parameters are not defined");
        return parameters;
    });
}

void CValidationContext::sendMessageToClient(const String&) {
    refuse(u"sendMessageToClient");
}

bool CValidationContext::locateAbsolutePath(const String& path, String& result) {
    result = path;
    return true;
}

bool CValidationContext::constructAbsolutePath(const String& path, String& result) {
    result = path;
    return true;
}

strand::CalculationState CValidationContext::calculateProperty(strand::iDataRecord*, const String&) {
    return strand::CalculationState::Failed;
}
