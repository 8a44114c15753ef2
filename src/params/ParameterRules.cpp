// CParameter: the rules. Verdicts come in three parts (validation, enabling, legal values), each
// computed on demand and cached until a change clears it. A query brings up to date the parts it needs
// (a rule mask of CheckingValidation, CheckingEnabling and CheckingLegalValues); validate runs the
// rules of the parts asked for, and the result setters turn the rules' reports and the group relations
// into the verdicts.

#include <exception>

#include "host/HvnConstants.h"
#include "host/Nesting.h"
#include "host/Util.h"
#include "params/MemberGuard.h"
#include "params/Parameter.h"
#include "params/ParameterCollection.h"
#include "params/TextValues.h"
#include "params/ValidationContext.h"
#include "parser/ExpressionParser.h"

using strand::Array;
using strand::iPropertyCollection;
using strand::Ptr;
using strand::String;
using strand::params::guardMember;
using strand::params::holdsToken;
using strand::params::valueStrings;

namespace {

constexpr const char16_t* kClass = u"CParameter";
constexpr int32_t kValidityMask = CParameter::CheckingValidation | CParameter::CheckingEnabling;

// A text of a property of the rule results, when the rule left one.
const strand::iProperty* reported(iPropertyCollection* results, const char16_t* name) {
    return results ? results->find(String(std::u16string_view(name))) : nullptr;
}

String textOf(const strand::iProperty& property) {
    String text;
    property.getRawValue().getText(text);
    return text.isNull() ? String::empty() : text;
}

bool isType(const String& type, const char16_t* name) {
    return type.equalsIgnoreCase(std::u16string_view(name));
}

bool askBool(strand::iExpression& script, strand::ExpressionContext& ctx) {
    return script.getBool(ctx);
}

void askEffects(strand::iExpression& script, strand::ExpressionContext& ctx) {
    script.evaluate(ctx);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Queries

bool CParameter::getValid(bool) {
    return guardMember(kClass, u"getValid", [&] {
        CheckValidation(kValidityMask);
        return m_valid;
    });
}

bool CParameter::getEnabled(bool withValidation) {
    return guardMember(kClass, u"getEnabled", [&] {
        CheckValidation(withValidation ? kValidityMask : CheckingEnabling);
        return m_enabled;
    });
}

const String& CParameter::getInvalidDetails() {
    return guardMember(kClass, u"getValidHelpText", [&]() -> const String& {
        CheckValidation(kValidityMask);
        return m_invalidDetails;
    });
}

const String& CParameter::getDisabledDetails() {
    return guardMember(kClass, u"getEnabledHelpText", [&]() -> const String& {
        CheckValidation(kValidityMask);
        return m_disabledDetails;
    });
}

const Array<String>& CParameter::getLegalValues() {
    return guardMember(kClass, u"getLegalValues", [&]() -> const Array<String>& {
        CheckValidation(CheckingLegalValues);
        return m_legalValues;
    });
}

bool CParameter::isLegalParam(const strand::Value& value, String& message) {
    return guardMember(kClass, u"isLegalParam", [&] {
        message = String::empty();
        CheckValidation(CheckingLegalValues);
        return internalIsLegalParam(value, message);
    });
}

void CParameter::CheckValidation(int32_t mask) {
    guardMember(kClass, u"CheckValidation", [&] {
        const bool stale = ((mask & CheckingValidation) && !m_validationCurrent) ||
                           ((mask & CheckingEnabling) && !m_enablingCurrent) ||
                           ((mask & CheckingLegalValues) && !m_legalValuesCurrent);
        if (stale)
            validate(mask);
    });
}

// ---------------------------------------------------------------------------------------------------
// Running the rules

void CParameter::validate(int32_t mask) {
    guardMember(kClass, u"validate", [&] {
        // Groups ask their groups and members: a membership cycle read from elsewhere ends here.
        strand::NestingGuard guard(u"the verdicts of parameter '%ls'", getName());
        const bool validation = mask & CheckingValidation;
        const bool enabling = mask & CheckingEnabling;
        // Validating also brings the legal values up to date: the legal values decide validity.
        const bool legalValues = (mask & CheckingLegalValues) || validation;
        // A part that could not be brought up to date stays stale: asked again, it is computed (and
        // fails) again instead of answering with what the failed run left.
        struct StaleOnFailure {
            CParameter& parameter;
            bool validation, enabling, legalValues;
            int exceptions = std::uncaught_exceptions();
            ~StaleOnFailure() {
                if (std::uncaught_exceptions() <= exceptions)
                    return;
                parameter.m_validationCurrent = parameter.m_validationCurrent && !validation;
                parameter.m_enablingCurrent = parameter.m_enablingCurrent && !enabling;
                parameter.m_legalValuesCurrent = parameter.m_legalValuesCurrent && !legalValues;
            }
        } stale{*this, validation, enabling, legalValues};
        runRules(validation, enabling, legalValues);
    });
}

void CParameter::runRules(bool validation, bool enabling, bool legalValues) {
    if (validation) {
        m_valid = true;
        m_invalidDetails = String::empty();
    }
    // A legal-values rule that fails keeps the list it had before.
    Array<String> previousLegalValues;
    if (legalValues)
        std::swap(previousLegalValues, m_legalValues);
    if (enabling) {
        m_enabled = GetParentEnabled();
        m_disabledDetails = String::empty();
    }
    strand::iParameterCollection* parent = parentCollection();
    Ptr<strand::iRunnerSoap> runner(parent ? parent->getRunnerSoap() : nullptr);
    if (m_enablingScript.isEmpty() && m_legalValuesScript.isEmpty() && m_validationScript.isEmpty()) {
        if (enabling)
            SetEnabledResults(nullptr);
        if (legalValues)
            SetLegalValuesResults(nullptr);
        if (validation)
            SetValidationResults(nullptr);
        return;
    }
    guardMember(kClass, u"validate (expr)", [&] {
        if (!m_validationContext)
            m_validationContext = strand::makePtr<CValidationContext>(parent);
        // The parameter may have moved to another collection since the context was made.
        m_validationContext->setComponentParameters(parent);
        if (!m_ruleResults)
            m_ruleResults = strand::CPropertyCollection::newInstance();
        if (enabling) {
            // Only a rule that ran this time reports why the parameter is disabled.
            const bool ran = runEnablingRule(runner.get());
            SetEnabledResults(ran ? m_ruleResults.get() : nullptr);
        }
        if (legalValues) {
            runLegalValuesRule(runner.get());
            SetLegalValuesResults(m_ruleResults.get());
            if (m_legalValuesRuleFailed)
                m_legalValues = std::move(previousLegalValues);
        }
        if (validation) {
            runValidationRule(runner.get());
            SetValidationResults(m_ruleResults.get());
        }
    });
}

template <typename Result>
Result CParameter::runRule(const String& script, Ptr<iPropertyCollection>& state, strand::iRunnerSoap* runner,
                           Result (*ask)(strand::iExpression&, strand::ExpressionContext&)) {
    if (!state)
        state = strand::CPropertyCollection::newInstance();
    m_validationContext->attachState(state);
    m_ruleResults->removeAll();
    Ptr<xrExpressionListImp> parsed = xrExpressionParser::ParseExpression(script, m_validationContext.get());
    strand::ExpressionContext ctx(m_validationContext.get(), m_ruleResults.get(), parsed->GetRandom(),
                                  runner);
    ctx.setCurrentParameter(getName());
    return ask(*parsed, ctx);
}

bool CParameter::runEnablingRule(strand::iRunnerSoap* runner) {
    if (!m_enabled || m_enablingScript.isEmpty())
        return false;
    try {
        m_enabled = runRule<bool>(m_enablingScript, m_enablingState, runner, askBool);
    } catch (...) {
        // A failing enabling rule leaves the parameter as its groups have it.
    }
    return true;
}

void CParameter::runLegalValuesRule(strand::iRunnerSoap* runner) {
    m_legalValuesRuleFailed = false;
    if (m_legalValuesScript.isEmpty())
        return;
    const String legalValues{std::u16string_view(strand::HVN_ValidationLegalValues)};
    if (m_legalValuesState)
        m_legalValuesState->remove(legalValues);
    try {
        runRule<void>(m_legalValuesScript, m_legalValuesState, runner, askEffects);
    } catch (...) {
        m_legalValuesRuleFailed = true;
        if (m_legalValuesState)
            m_legalValuesState->remove(legalValues);
    }
}

void CParameter::runValidationRule(strand::iRunnerSoap* runner) {
    const bool legalValuesDecide = m_legalValuesEnforced && !m_legalValues.isEmpty();
    if (!m_enabled || m_validationScript.isEmpty() || legalValuesDecide)
        return;
    if (m_validationState)
        m_validationState->remove(String(std::u16string_view(strand::HVN_ValidationInvalidDetails)));
    try {
        m_valid = runRule<bool>(m_validationScript, m_validationState, runner, askBool);
    } catch (const GlobalTokenInParamException&) {
        // A value that waits for a token of the running pipeline cannot be judged here.
        m_valid = true;
    } catch (const strand::Exception& e) {
        m_valid = false;
        m_invalidDetails = String(u"Validation script failed:") + e.getErrorMessageBlock().view();
    } catch (...) {
        m_valid = false;
        m_invalidDetails = String(u"Validation script failed: Severe Error Caught");
    }
}

// ---------------------------------------------------------------------------------------------------
// The verdicts

void CParameter::SetEnabledResults(iPropertyCollection* results) {
    m_enablingCurrent = true;
    // A required parameter without a value stays enabled, so that it can be given one.
    if (isRequiredWithNoValue()) {
        m_enabled = true;
        return;
    }
    if (!m_enabled) {
        if (const strand::iProperty* details = reported(results, strand::HVN_ValidationDisabledDetails))
            m_disabledDetails = textOf(*details);
        return;
    }
    Array<CParameter*> groups;
    containingGroups(groups);
    for (size_t i = 0; i < groups.size() && m_enabled; ++i)
        m_enabled = groups[i]->getEnabled(false);
    if (!m_enabled)
        m_disabledDetails = String(u"Parent group is disabled.");
}

void CParameter::SetLegalValuesResults(iPropertyCollection* results) {
    m_legalValuesCurrent = true;
    m_legalValues.clear();
    if (m_legalValuesScript.isEmpty()) {
        m_legalValues = m_staticLegalValues;
        return;
    }
    if (const strand::iProperty* legal = reported(results, strand::HVN_ValidationLegalValues))
        m_legalValues = valueStrings(legal->getRawValue());
}

void CParameter::SetValidationResults(iPropertyCollection* results) {
    m_validationCurrent = true;
    if (isRequiredWithNoValue()) {
        m_valid = false;
        m_invalidDetails = String(u"This parameter is required.");
        return;
    }
    if (!m_enabled) {
        // A disabled parameter is valid.
        m_valid = true;
        m_invalidDetails = String::empty();
    } else if (!m_legalValuesEnforced || m_legalValues.isEmpty()) {
        if (const strand::iProperty* details = reported(results, strand::HVN_ValidationInvalidDetails);
            details && !m_valid)
            m_invalidDetails = textOf(*details);
    } else {
        String offending;
        m_valid = internalIsLegalParam(getRawValue(), offending);
        if (!m_valid) {
            m_invalidDetails =
                offending.isEmpty()
                    ? String(u"The value is not a member of the defined legal values")
                    : String(u"'") + offending.view() + u"' is not a member of the defined legal values";
        }
    }
    CheckMemberParametersAreValid();
}

void CParameter::CheckMemberParametersAreValid() {
    if (!m_valid || !m_parent)
        return;
    Array<String> members;
    getMembers(members);
    for (size_t i = 0; i < members.size() && m_valid; ++i) {
        if (auto* member = dynamic_cast<CParameter*>(m_parent->find(members[i])))
            m_valid = member->getValid(false);
    }
    if (!m_valid)
        m_invalidDetails = String(u"One or more group members are invalid.");
}

bool CParameter::GetParentEnabled() {
    if (!m_parent)
        return true;
    Array<CParameter*> groups;
    containingGroups(groups);
    if (groups.isEmpty())
        return true;
    bool enabled = false;
    for (size_t i = 0; i < groups.size() && !enabled; ++i)
        enabled = groups[i]->getEnabled(false);
    return enabled;
}

// ---------------------------------------------------------------------------------------------------
// Legal values and types

bool CParameter::internalIsLegalParam(const strand::Value& value, String& offending) const {
    offending = String::empty();
    if (m_legalValues.isEmpty())
        return true;
    const Array<String> strings = valueStrings(value);
    if (strings.isEmpty() || (strings.size() == 1 && strings[0].isEmpty()))
        return true;
    const bool boolean = isType(getType(), strand::HVN_BoolType);
    for (const String& s : strings) {
        if (boolean && strand::util::canCoerceToBoolean(s))
            continue;
        if (!s.isEmpty() && holdsToken(s))
            continue;
        bool listed = false;
        for (size_t i = 0; i < m_legalValues.size() && !listed; ++i)
            listed = m_legalValues[i].equalsIgnoreCase(s);
        if (listed)
            continue;
        offending = s;
        return false;
    }
    return true;
}

bool CParameter::isValidParam(const String& componentName, bool checkScript, const strand::Value& value,
                              Array<String>& errors) {
    String text;
    value.getText(text);
    if (text.isNull())
        text = String::empty();
    String prefix = String::empty();
    if (!componentName.isNull())
        prefix = String(u"Component ") + componentName.view() + u": ";
    const String& type = getType();
    if (isType(type, strand::HVN_ExpressionType) || isType(type, strand::HVN_TextExpressionType)) {
        Array<String> messages;
        if (!checkScript || !xrExpressionParser::CheckExpression(text, messages) || messages.isEmpty())
            return true;
        for (size_t i = messages.size() - 1; i > 0; --i)
            errors.add(messages[i]);
        errors.add(prefix + u"Error parsing expression for parameter \"" + getName().view() + u"\":\n" +
                   messages[0].view());
        return false;
    }
    bool ok;
    const char16_t* word;
    if (isType(type, strand::HVN_BoolType)) {
        ok = strand::util::canCoerceToBoolean(text);
        word = u"BOOL";
    } else if (isType(type, strand::HVN_LongType) || isType(type, strand::HVN_Int64Type)) {
        ok = strand::util::canCoerceToInteger(text, true);
        word = u"LONG";
    } else if (isType(type, strand::HVN_DoubleType)) {
        ok = strand::util::canCoerceToDouble(text, true);
        word = u"DOUBLE";
    } else {
        return true;
    }
    // Unchecked, a value waiting for its tokens or scripts passes.
    if (!ok && !checkScript) {
        int32_t tag;
        ok = (!text.isEmpty() && text.contains(u"$(")) || FindScriptTagStart(text, tag) != -1;
    }
    if (ok)
        return true;
    errors.add(prefix + u"Parameter: \"" + getName().view() + u"\" Unable to convert \"" + text.view() +
               u"\" to a " + word);
    return false;
}
