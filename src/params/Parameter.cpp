// CParameter: the model, its accessors and their side effects, group membership, name classes,
// implementation state and copying. The rules are in ParameterRules.cpp, text evaluation in
// ParameterText.cpp.

#include "params/Parameter.h"

#include <unordered_set>

#include "host/HvnConstants.h"
#include "params/MemberGuard.h"
#include "params/ParameterCollection.h"
#include "params/ValidationContext.h"

using strand::Array;
using strand::iParameter;
using strand::iProperty;
using strand::iPropertyCollection;
using strand::Ptr;
using strand::String;
using strand::params::guardMember;

strand::PooledClassImp<CParameter, 1000> CParameter::m_class{"Halvorn.data.Parameter"};
strand::LeakDetector CParameter::m_leakDetector{"Halvorn.data.Parameter"};

namespace {

constexpr const char16_t* kClass = u"CParameter";

// Groups up to this size are searched in order; larger ones keep an index of their member names.
constexpr size_t kLinearMembers = 16;

// The rule scripts lose the white space around them: blank, tab, line feed, carriage return and the
// no-break space.
bool isScriptSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x00A0;
}

String trimScript(const String& script) {
    if (script.isNull())
        return script;
    const std::u16string_view text = script.view();
    size_t first = 0;
    size_t last = text.size();
    while (first < last && isScriptSpace(text[first]))
        ++first;
    while (last > first && isScriptSpace(text[last - 1]))
        --last;
    return String(text.substr(first, last - first));
}

bool equalsAny(const String& name, std::initializer_list<const char16_t*> names) {
    for (const char16_t* candidate : names) {
        if (name.equalsIgnoreCase(std::u16string_view(candidate)))
            return true;
    }
    return false;
}

// The two GUIDs of one component that once had its GUID changed: the pair counts as one component.
constexpr char16_t kRenamedComponentOld[] = u"{A8B0E10B-C69D-4d10-9AF5-817246D227F0}";
constexpr char16_t kRenamedComponentNew[] = u"{A8B0E10B-C691-4C10-9AF5-817256D207F0}";

bool isRenamedComponent(const String& given, const String& own) {
    return given.equalsIgnoreCase(std::u16string_view(kRenamedComponentOld)) &&
           own.equalsIgnoreCase(std::u16string_view(kRenamedComponentNew));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Life cycle

CParameter::CParameter() = default;

CParameter::CParameter(const CParameter& other)
    : Object(), CountedObject(), PooledObject(), CProperty(other), iParameter(), iGroupParameter() {
    copyParameterFields(other);
}

CParameter& CParameter::operator=(const CParameter& other) {
    if (this == &other)
        return *this;
    if (!m_parent)
        setNameRaw(other.getName());
    copyFrom(&other);
    return *this;
}

CParameter::~CParameter() = default;

Ptr<CParameter> CParameter::newInstance(const String& name) {
    Ptr<CParameter> parameter = newInstance();
    parameter->setNameRaw(name);
    return parameter;
}

void CParameter::resetFields() {
    m_members.clear();
    m_memberIndex.reset();
    m_expanded = false;
    m_help = String();
    m_type = String();
    m_guid = String();
    m_flagWord = 0;
    m_legalValues.clear();
    m_staticLegalValues.clear();
    m_dataParam = true;
    m_userImpl = -1;
    m_legalValuesEnforced = true;
    m_enabled = true;
    m_disabledDetails = String();
    m_valid = true;
    m_invalidDetails = String();
    m_validationScript = String();
    m_enablingScript = String();
    m_legalValuesScript = String();
    m_affectsValidation = -1;
    revalidate();
    m_evaluatedText.clear();
    m_evaluatedListValue.items().clear();
    m_evaluatedSingleValue.clear();
    m_evaluating = false;
}

void CParameter::onActivate() {
    // A recycled parameter may take the place of one whose text was kept.
    textInputsChanged();
    resetFields();
    CProperty::onActivate();
}

void CParameter::onDeactivate() {
    textInputsChanged();
    m_validationState = nullptr;
    m_enablingState = nullptr;
    m_legalValuesState = nullptr;
    m_validationContext = nullptr;
    m_ruleResults = nullptr;
    m_expressionCache.Clear();
    clearMembers();
    CProperty::onDeactivate();
}

// ---------------------------------------------------------------------------------------------------
// Copying

void CParameter::copyState(Ptr<iPropertyCollection>& target, const Ptr<iPropertyCollection>& source) {
    if (!source) {
        target = nullptr;
        return;
    }
    Ptr<iPropertyCollection> copy = strand::CPropertyCollection::newInstance();
    copy->assignFrom(source.get(), true);
    target = std::move(copy);
}

void CParameter::copyParameterFields(const CParameter& source) {
    m_members = source.m_members;
    m_memberIndex.reset();
    m_expanded = source.m_expanded;
    m_help = source.m_help;
    m_type = source.m_type;
    m_guid = source.m_guid;
    m_flagWord = source.m_flagWord;
    m_legalValues = source.m_legalValues;
    m_staticLegalValues = source.m_staticLegalValues;
    m_dataParam = source.m_dataParam;
    m_userImpl = source.m_userImpl;
    m_legalValuesEnforced = source.m_legalValuesEnforced;
    m_enabled = source.m_enabled;
    m_disabledDetails = source.m_disabledDetails;
    m_valid = source.m_valid;
    m_invalidDetails = source.m_invalidDetails;
    m_validationCurrent = source.m_validationCurrent;
    m_enablingCurrent = source.m_enablingCurrent;
    m_legalValuesCurrent = source.m_legalValuesCurrent;
    m_validationScript = source.m_validationScript;
    m_enablingScript = source.m_enablingScript;
    m_legalValuesScript = source.m_legalValuesScript;
    m_affectsValidation = source.m_affectsValidation;
    copyState(m_validationState, source.m_validationState);
    copyState(m_enablingState, source.m_enablingState);
    copyState(m_legalValuesState, source.m_legalValuesState);
}

void CParameter::copyFrom(const CProperty* other) {
    if (!other || other == this)
        return;
    textInputsChanged();
    if (const auto* source = dynamic_cast<const CParameter*>(other)) {
        m_evaluatedListValue.items().clear();
        copyParameterFields(*source);
        noteGroupsChanged();
    }
    CProperty::copyFrom(other);
}

void CParameter::assignFrom(const iProperty* other) {
    if (const auto* property = dynamic_cast<const CProperty*>(other)) {
        copyFrom(property);
        return;
    }
    CProperty::assignFrom(other);
}

void CParameter::assignFrom(const iParameter* other) {
    copyFrom(dynamic_cast<const CProperty*>(other));
}

// ---------------------------------------------------------------------------------------------------
// Accessors

void CParameter::SetName(const String& name) {
    textInputsChanged();
    m_affectsValidation = -1;
    CProperty::SetName(name);
}

void CParameter::setHelp(const String& help) {
    m_help = help;
    m_dataParam = false;
}

const String& CParameter::getType() const {
    static const String stringType{std::u16string_view(strand::HVN_StringType)};
    return m_type.isEmpty() ? stringType : m_type;
}

void CParameter::setType(const String& type) {
    m_type = type;
    // Only the script types run their value as StrandScript; any other type clears the mark again.
    const bool script = type.equalsIgnoreCase(std::u16string_view(strand::HVN_ExpressionType)) ||
                        type.equalsIgnoreCase(std::u16string_view(strand::HVN_TextExpressionType));
    const uint32_t flags = getInfo()->getMetaDataFlags();
    getInfo()->setMetaDataFlags(script ? flags | kExpressionMetaData : flags & ~kExpressionMetaData);
    textInputsChanged();
    m_dataParam = false;
    // The boolean type changes which values are legal.
    m_validationCurrent = false;
    noteGroupsChanged();
}

void CParameter::setGuid(const String& guid) {
    m_guid = guid;
    m_dataParam = false;
}

void CParameter::setUserImpl(strand::UserImplState state) {
    m_userImpl = state;
    m_dataParam = false;
}

void CParameter::setFlags(int32_t flags) {
    m_flagWord = flags;
    m_dataParam = false;
    m_affectsValidation = -1;
    // The required bit decides validity, and a required parameter without a value is always enabled.
    m_validationCurrent = false;
    m_enablingCurrent = false;
}

void CParameter::setLegalValues(const Array<String>& values) {
    m_validationCurrent = false;
    m_legalValuesCurrent = false;
    m_dataParam = false;
    clearLegalValues();
    m_staticLegalValues = values;
}

void CParameter::clearLegalValues() {
    m_validationCurrent = false;
    m_legalValuesCurrent = false;
    if (m_legalValuesState)
        m_legalValuesState->remove(String(strand::HVN_ValidationLegalValues));
    m_staticLegalValues.clear();
}

void CParameter::setLegalValuesAreEnforced(bool enforced) {
    m_legalValuesEnforced = enforced;
    m_validationCurrent = false;
}

void CParameter::setValidationScript(const String& script) {
    m_validationScript = trimScript(script);
    m_validationCurrent = false;
}

void CParameter::setEnablingScript(const String& script) {
    m_enablingScript = trimScript(script);
    m_enablingCurrent = false;
}

void CParameter::setLegalValuesScript(const String& script) {
    m_legalValuesScript = trimScript(script);
    m_legalValuesCurrent = false;
}

void CParameter::storeState(Ptr<iPropertyCollection>& target, const iPropertyCollection* source) {
    if (!target)
        target = strand::CPropertyCollection::newInstance();
    // No state given empties the rule's state.
    if (!source) {
        target->removeAll();
        return;
    }
    target->assignFrom(source, true);
}

void CParameter::setValidationState(const iPropertyCollection* state) {
    storeState(m_validationState, state);
    m_validationCurrent = false;
}

void CParameter::setEnablingState(const iPropertyCollection* state) {
    storeState(m_enablingState, state);
    m_enablingCurrent = false;
}

void CParameter::setLegalValuesState(const iPropertyCollection* state) {
    storeState(m_legalValuesState, state);
    m_legalValuesCurrent = false;
}

void CParameter::revalidate() {
    m_validationCurrent = false;
    m_enablingCurrent = false;
    m_legalValuesCurrent = false;
}

bool CParameter::isGroupParam() const {
    // The group type is compared exactly, unlike the other type names.
    return !m_members.isEmpty() || m_type == strand::HVN_GroupType;
}

void CParameter::resetCalculableProperties() {
    for (uint32_t i = 0; i < m_expressionCache.GetNumberOfExpressions(); ++i)
        m_expressionCache.GetExpressionAt(i)->ResetCalculated();
}

// ---------------------------------------------------------------------------------------------------
// Name classes

bool CParameter::IsObsolete(const String& name) {
    using namespace strand;
    return equalsAny(name, {HVN_DerivedFrom, HVN_CustomErrorText, HVN_ComponentUsage, HVN_ProtocolComment,
                            HVN_ComponentComment, HVN_ComponentAttributes, HVN_ComponentIcon,
                            HVN_OnGeneralError, HVN_OnDataTypeError, HVN_DataActionOnError});
}

bool CParameter::IsSetting(const String& name) {
    using namespace strand;
    return equalsAny(name, {HVN_OnDataTypeError, HVN_OnDataTypeErrorUI, HVN_OnGeneralError,
                            HVN_OnGeneralErrorUI, HVN_CustomErrorText});
}

bool CParameter::IsInformation(const String& name) {
    using namespace strand;
    return equalsAny(name,
                     {HVN_Registrant, HVN_RegistrantUI, HVN_RegistrationDate, HVN_RegistrationDateUI,
                      HVN_ComponentPath, HVN_ComponentGUID, HVN_ComponentGUIDUI, HVN_ComponentRunsOnClientUI,
                      HVN_ProgIDUI, HVN_DBRegistrantDateUI, HVN_ComponentCheckpointUI});
}

bool CParameter::IsDebug(const String& name) {
    return equalsAny(name, {strand::HVN_PASS_PORT_EXPRESSION, strand::HVN_FAIL_PORT_EXPRESSION});
}

// ---------------------------------------------------------------------------------------------------
// Implementation state

bool CParameter::isImplementation(const String& guid) {
    if (m_userImpl != -1)
        return m_userImpl == 1;
    return isBaseImpl(guid);
}

bool CParameter::isUIImpl(iParameter* parameter) {
    const strand::UserImplState state = parameter->getUserImpl();
    if (state != -1)
        return state == 1;
    const String& guid = parameter->getGuid();
    if (!guid.equalsIgnoreCase(std::u16string_view(strand::HVN_SubprotocolGUID)) &&
        !guid.equalsIgnoreCase(std::u16string_view(strand::HVN_ProtocolGUID)))
        return false;
    return parameter->isBaseImpl(String());
}

bool CParameter::isBaseImpl(const String& guid) {
    const String& own = m_guid;
    if (!own.isEmpty()) {
        if (guid.isEmpty() && m_parent) {
            String component = String::empty();
            if (iProperty* property = m_parent->find(String(strand::HVN_ComponentGUID)))
                property->getRawValue().getText(component);
            if (!component.isEmpty() && !component.equalsIgnoreCase(own) &&
                !isRenamedComponent(component, own))
                return true;
        } else if (!guid.isEmpty() && !guid.equalsIgnoreCase(own) && !isRenamedComponent(guid, own)) {
            return true;
        }
    }
    using namespace strand;
    return equalsAny(getName(), {HVN_ComponentHelp, HVN_ComponentGUID, HVN_DerivedFrom, HVN_Registrant,
                                 HVN_RegistrationDate, HVN_RegistrationVersion, HVN_ComponentRevision,
                                 HVN_ProtocolOptions, HVN_ComponentPath});
}

// ---------------------------------------------------------------------------------------------------
// Groups

strand::iParameterCollection* CParameter::parentCollection() const {
    return dynamic_cast<strand::iParameterCollection*>(m_parent);
}

CParameterCollection* CParameter::parentParameters() const {
    return dynamic_cast<CParameterCollection*>(m_parent);
}

void CParameter::noteGroupsChanged() const {
    if (CParameterCollection* parameters = parentParameters())
        parameters->noteGroupsChanged();
}

int32_t CParameter::FindMember(const String& name) const {
    if (m_members.size() <= kLinearMembers) {
        for (size_t i = 0; i < m_members.size(); ++i) {
            if (m_members[i].equalsIgnoreCase(name))
                return int32_t(i);
        }
        return -1;
    }
    // A null name equals only a null name, which the index (keyed on text) cannot tell from "".
    if (name.isNull())
        return -1;
    if (!m_memberIndex) {
        m_memberIndex = std::make_unique<MemberIndex>();
        for (size_t i = 0; i < m_members.size(); ++i)
            m_memberIndex->emplace(m_members[i], int32_t(i));
    }
    auto found = m_memberIndex->find(name);
    return found == m_memberIndex->end() ? -1 : found->second;
}

void CParameter::RemoveMember(int32_t index) {
    if (index < 0 || size_t(index) >= m_members.size())
        return;
    m_members.removeAt(size_t(index));
    m_memberIndex.reset();
    noteGroupsChanged();
}

String CParameter::findCycleThrough(const String& name) const {
    if (name.equalsIgnoreCase(getName()))
        return getName() + u" -> " + name.view();
    if (!m_parent)
        return String();
    // Breadth first over the members of the groups `name` leads to, remembering how each was reached.
    struct Step {
        String name;
        int32_t from;
    };
    std::vector<Step> steps{{name, -1}};
    std::unordered_set<String, strand::StringHashIgnoreCase, strand::StringEqualIgnoreCase> seen{name};
    for (size_t i = 0; i < steps.size(); ++i) {
        const auto* group = dynamic_cast<const CParameter*>(m_parent->find(steps[i].name));
        if (!group)
            continue;
        for (const String& member : group->m_members) {
            if (member.equalsIgnoreCase(getName())) {
                String chain = member;
                for (int32_t at = int32_t(i); at >= 0; at = steps[size_t(at)].from)
                    chain = steps[size_t(at)].name + u" -> " + chain.view();
                return getName() + u" -> " + chain.view();
            }
            if (seen.insert(member).second)
                steps.push_back({member, int32_t(i)});
        }
    }
    return String();
}

void CParameter::addMember(const String& name) {
    guardMember(kClass, u"addMember", [&] {
        if (FindMember(name) != -1)
            return;
        const String cycle = findCycleThrough(name);
        if (!cycle.isNull()) {
            throw strand::Exception(
                u"Cannot add '%ls' to the members of group '%ls': groups cannot contain themselves (%ls)",
                name, getName(), cycle);
        }
        m_members.add(name);
        if (m_memberIndex)
            m_memberIndex->emplace(name, int32_t(m_members.size() - 1));
        noteGroupsChanged();
    });
}

void CParameter::removeMember(const String& name) {
    RemoveMember(FindMember(name));
}

void CParameter::clearMembers() {
    for (size_t i = m_members.size(); i > 0; --i)
        RemoveMember(int32_t(i - 1));
}

bool CParameter::isMember(const String& name) const {
    if (FindMember(name) == -1)
        return false;
    iProperty* property = m_parent ? m_parent->find(name) : nullptr;
    auto* member = dynamic_cast<iParameter*>(property);
    if (!member)
        return true;
    return isUIImpl(const_cast<CParameter*>(this)) == isUIImpl(member);
}

void CParameter::getMembers(Array<String>& out) const {
    guardMember(kClass, u"getMembers", [&] {
        out.clear();
        if (!m_parent) {
            out = m_members;
            return;
        }
        const bool groupImpl = isUIImpl(const_cast<CParameter*>(this));
        for (const String& name : m_members) {
            iProperty* property = m_parent->find(name);
            if (!property)
                continue;
            auto* member = dynamic_cast<iParameter*>(property);
            if (!member || isUIImpl(member) == groupImpl)
                out.add(name);
        }
    });
}

int32_t CParameter::getMembersSize() const {
    Array<String> members;
    getMembers(members);
    return members.getSize();
}

void CParameter::containingGroups(Array<CParameter*>& out) {
    out.clear();
    if (CParameterCollection* parameters = parentParameters()) {
        parameters->groupsContaining(*this, out);
        return;
    }
    strand::iParameterCollection* parent = parentCollection();
    if (!parent)
        return;
    Array<strand::iGroupParameter*> groups;
    parent->getGroups(groups);
    for (strand::iGroupParameter* group : groups) {
        auto* candidate = dynamic_cast<CParameter*>(group);
        if (candidate && candidate->isMember(getName()))
            out.add(candidate);
    }
}

void CParameter::getGroups(Array<String>& out) {
    guardMember(kClass, u"getGroups", [&] {
        Array<CParameter*> groups;
        containingGroups(groups);
        out.clear();
        for (CParameter* group : groups)
            out.add(group->getName());
    });
}

// ---------------------------------------------------------------------------------------------------
// Value access

void CParameter::beforeValueChange() {
    if (affectsValidation()) {
        if (strand::iParameterCollection* parent = parentCollection())
            parent->revalidateParameters();
    }
    textInputsChanged();
    // A new value may be invalid; a required parameter is enabled only while it has no value.
    m_validationCurrent = false;
    if (m_flagWord & kRequired)
        m_enablingCurrent = false;
}

void CParameter::setValue(const strand::Value& value) {
    beforeValueChange();
    CProperty::setValue(value);
}

void CParameter::setValue(const char16_t* text) {
    beforeValueChange();
    CProperty::setValue(text);
}

void CParameter::setDouble(double number) {
    beforeValueChange();
    CProperty::setDouble(number);
}

void CParameter::adoptValue(Ptr<strand::Value> value) {
    beforeValueChange();
    CProperty::adoptValue(std::move(value));
}

void CParameter::appendValue(const strand::Value& value) {
    beforeValueChange();
    CProperty::appendValue(value);
}

void CParameter::appendValue(const char16_t* text) {
    beforeValueChange();
    CProperty::appendValue(text);
}

bool CParameter::affectsValidation() {
    return guardMember(kClass, u"affectsValidation", [&] {
        if (m_affectsValidation == -1) {
            const String& name = getName();
            const bool affects = (m_flagWord & kAffectsValidation) || IsObsolete(name) || IsSetting(name) ||
                                 IsInformation(name) || IsDebug(name);
            m_affectsValidation = affects ? 1 : 0;
        }
        return m_affectsValidation == 1;
    });
}

bool CParameter::isRequiredWithNoValue() const {
    if (!(m_flagWord & kRequired))
        return false;
    const strand::Value& raw = getRawValue();
    if (raw.getNumValues() < 1)
        return true;
    String text;
    raw.getText(text);
    return text.isEmpty();
}

const strand::Value& CParameter::getValue() const {
    // Reading evaluates and caches the text: the parameter is never made const, only seen as const.
    return const_cast<CParameter*>(this)->evaluatedValue();
}

const strand::Value& CParameter::evaluatedValue() {
    const strand::Value& raw = getRawValue();
    if (!dynamic_cast<const strand::StringValue*>(&raw) &&
        !dynamic_cast<const strand::StringArrayValue*>(&raw))
        return raw;
    if (raw.getNumValues() == 0) {
        setValue(strand::StringArrayValue(std::vector<String>{String::empty()}));
        return getRawValue();
    }
    strand::iParameterCollection* parent = parentCollection();
    strand::iContext* context = parent ? parent->getContext() : nullptr;
    if (!context)
        return raw;
    if (!GetEvaluatedText(context, context->getComponentParameters(), context->getGlobalProperties(),
                          kReplaceMacroTokens | kEvaluateExpression, m_evaluatedText))
        return getRawValue();
    m_evaluatedListValue.items() = m_evaluatedText.vector();
    if (m_evaluatedText.size() == 1) {
        m_evaluatedSingleValue.set(m_evaluatedText[0]);
        return m_evaluatedSingleValue;
    }
    return m_evaluatedListValue;
}
