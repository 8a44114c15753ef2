#include "params/ParameterCollection.h"

#include <algorithm>

#include "host/Nesting.h"
#include "params/MemberGuard.h"
#include "params/Parameter.h"

using strand::Array;
using strand::iParameter;
using strand::iPropertyCollection;
using strand::Ptr;
using strand::String;
using strand::params::guardMember;

strand::PooledClassImp<CParameterCollection, -1> CParameterCollection::m_class{
    "Halvorn.data.ParameterCollection"};
strand::LeakDetector CParameterCollection::m_leakDetector{"Halvorn.data.ParameterCollection"};

namespace {
constexpr const char16_t* kClass = u"CParameterCollection";
}  // namespace

CParameterCollection::CParameterCollection() {
    setPropertyClass(CParameter::Tag);
}

// The copy is filled after construction, when the properties it creates are parameters.
CParameterCollection::CParameterCollection(const CParameterCollection& other)
    : Object(),
      CountedObject(),
      PooledObject(),
      CPropertyCollection(),
      iParameterCollection(),
      m_context(other.m_context),
      m_runner(other.m_runner) {
    setPropertyClass(other.getPropertyClass());
    CPropertyCollection::assignFrom(&other, true);
}

CParameterCollection& CParameterCollection::operator=(const CParameterCollection& other) {
    if (this == &other)
        return *this;
    setPropertyClass(other.getPropertyClass());
    assignFrom(&other, true);
    m_context = other.m_context;
    m_runner = other.m_runner;
    return *this;
}

CParameterCollection::~CParameterCollection() = default;

void CParameterCollection::onActivate() {
    CPropertyCollection::onActivate();
    setPropertyClass(CParameter::Tag);
    noteGroupsChanged();
}

void CParameterCollection::onDeactivate() {
    m_context = nullptr;
    m_runner = nullptr;
    CPropertyCollection::onDeactivate();
    m_groupIndex = GroupIndex();
}

Ptr<strand::CProperty> CParameterCollection::createProperty(const String& name) const {
    if (getPropertyClass() == CParameter::Tag)
        return CParameter::newInstance(name);
    return CPropertyCollection::createProperty(name);
}

// ---------------------------------------------------------------------------------------------------
// Groups

void CParameterCollection::noteGroupsChanged() noexcept {
    ++m_groupsVersion;
    CParameter::textInputsChanged();
}

const CParameterCollection::GroupIndex& CParameterCollection::groupIndex() {
    if (m_groupIndex.version == m_groupsVersion && m_groupIndex.size == getSize())
        return m_groupIndex;
    GroupIndex index;
    for (int32_t i = 0; i < getSize(); ++i) {
        auto* parameter = dynamic_cast<iParameter*>(get(i));
        auto* group = dynamic_cast<strand::iGroupParameter*>(parameter);
        if (!parameter || !group || !parameter->isGroupParam())
            continue;
        const auto position = uint32_t(index.groups.size());
        index.groups.push_back(group);
        if (const auto* own = dynamic_cast<const CParameter*>(group)) {
            for (const String& member : own->members())
                index.naming[member].push_back(position);
            continue;
        }
        Array<String> members;
        group->getMembers(members);
        for (const String& member : members)
            index.naming[member].push_back(position);
    }
    index.version = m_groupsVersion;
    index.size = getSize();
    m_groupIndex = std::move(index);
    return m_groupIndex;
}

void CParameterCollection::getGroups(Array<strand::iGroupParameter*>& out) {
    guardMember(kClass, u"getGroups", [&] {
        for (strand::iGroupParameter* group : groupIndex().groups)
            out.add(group);
    });
}

void CParameterCollection::groupsContaining(const CParameter& parameter, Array<CParameter*>& out) {
    const GroupIndex& index = groupIndex();
    auto found = index.naming.find(parameter.getName());
    if (found == index.naming.end())
        return;
    for (uint32_t position : found->second) {
        auto* group = dynamic_cast<CParameter*>(index.groups[position]);
        if (group && group->isMember(parameter.getName()))
            out.add(group);
    }
}

void CParameterCollection::removePropertyFromGroups(const String& name) {
    guardMember(kClass, u"removePropertyFromGroups", [&] {
        Array<strand::iGroupParameter*> groups;
        getGroups(groups);
        for (strand::iGroupParameter* group : groups)
            group->removeMember(name);
    });
}

// ---------------------------------------------------------------------------------------------------
// Parameters

iParameter* CParameterCollection::declare(const String& name) {
    return guardMember(kClass, u"declare", [&] {
        setPropertyClass(CParameter::Tag);
        strand::iProperty* property = define(name, u"", 0);
        property->getInfo();
        return dynamic_cast<iParameter*>(property);
    });
}

void CParameterCollection::revalidateParameters() {
    guardMember(kClass, u"revalidateParameters", [&] {
        for (int32_t i = 0; i < getSize(); ++i) {
            if (auto* parameter = dynamic_cast<iParameter*>(get(i)))
                parameter->revalidate();
        }
    });
}

void CParameterCollection::copyParameter(const iPropertyCollection* source, const String& name) {
    // A parameter copied onto itself would only lose its value to the declaration.
    if (!source || source == this)
        return;
    copyParameterAt(source, name);
}

void CParameterCollection::copyParameterAt(const iPropertyCollection* source, const String& name) {
    // A group among its own members would be copied without end.
    strand::NestingGuard guard(u"copying the group '%ls'", name);
    auto* original = dynamic_cast<iParameter*>(source->get(name));
    declare(name)->assignFrom(original);
    auto* group = dynamic_cast<strand::iGroupParameter*>(original);
    if (!original || !group || !original->isGroupParam())
        return;
    Array<String> members;
    group->getMembers(members);
    std::vector<std::pair<int32_t, String>> ordered;
    ordered.reserve(members.size());
    for (const String& member : members)
        ordered.emplace_back(source->getIndex(member), member);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [position, member] : ordered)
        copyParameterAt(source, member);
}

// ---------------------------------------------------------------------------------------------------
// Changes that touch the groups

bool CParameterCollection::remove(const String& name) {
    const int32_t index = findIndex(name);
    if (index < 0)
        return false;
    remove(index);
    return true;
}

void CParameterCollection::remove(int32_t index) {
    const String name = get(index)->getName();
    noteGroupsChanged();
    CPropertyCollection::remove(index);
    removePropertyFromGroups(name);
}

void CParameterCollection::removeAll() {
    noteGroupsChanged();
    CPropertyCollection::removeAll();
}

bool CParameterCollection::rename(const String& oldName, const String& newName) {
    if (oldName.isNull() || oldName == newName)
        return false;
    // The names may be the property's own, which the rename changes.
    const String from = oldName;
    const String to = newName;
    noteGroupsChanged();
    const bool renamed = CPropertyCollection::rename(from, to);
    Array<strand::iGroupParameter*> groups;
    getGroups(groups);
    for (strand::iGroupParameter* group : groups) {
        if (!group->isMember(from))
            continue;
        group->removeMember(from);
        group->addMember(to);
    }
    return renamed;
}

void CParameterCollection::reorderProperty(const String& name, int32_t newIndex) {
    noteGroupsChanged();
    CPropertyCollection::reorderProperty(name, newIndex);
}

void CParameterCollection::reorder(const Array<String>& names) {
    noteGroupsChanged();
    CPropertyCollection::reorder(names);
}

void CParameterCollection::keep(const Array<String>& names, bool inNameOrder) {
    noteGroupsChanged();
    CPropertyCollection::keep(names, inNameOrder);
}

void CParameterCollection::assignFrom(const iPropertyCollection* other, bool deep) {
    noteGroupsChanged();
    CPropertyCollection::assignFrom(other, deep);
}
