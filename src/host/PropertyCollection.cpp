#include "host/PropertyCollection.h"

#include <algorithm>
#include <typeinfo>

namespace strand {

namespace {
// Collections up to this size are searched linearly; larger ones keep a name index.
constexpr size_t kLinearLimit = 8;
}  // namespace

CPropertyCollection::CPropertyCollection(const CPropertyCollection& other)
    : Object(),
      CountedObject(),
      PooledObject(),
      iPropertyCollection(),
      m_propertyClass(other.m_propertyClass) {
    m_plainItems = &m_properties;
    assignFrom(&other, true);
}

CPropertyCollection& CPropertyCollection::operator=(const CPropertyCollection& other) {
    if (this != &other) {
        m_propertyClass = other.m_propertyClass;
        assignFrom(&other, true);
    }
    return *this;
}

CPropertyCollection::~CPropertyCollection() {
    noteStructureChange();
    detachAll();
}

void CPropertyCollection::detachAll() noexcept {
    for (auto& p : m_properties)
        p->setParent(nullptr);
}

void CPropertyCollection::rebuildIndex() const {
    size_t slots = 16;
    while (slots < 2 * m_properties.size())
        slots *= 2;
    m_slots.assign(slots, 0);
    for (size_t i = 0; i < m_properties.size(); ++i)
        indexPosition(i);
    m_indexDirty = false;
}

bool CPropertyCollection::indexPosition(size_t i) const {
    if (2 * (i + 1) > m_slots.size())
        return false;
    const size_t mask = m_slots.size() - 1;
    const CProperty& property = *m_properties[i];
    for (size_t at = property.nameHash() & mask;; at = (at + 1) & mask) {
        const int32_t slot = m_slots[at];
        if (slot == 0) {
            m_slots[at] = int32_t(i + 1);
            return true;
        }
        // Names are unique but for a collection being filled from a copy: the first keeps the name.
        const CProperty& other = *m_properties[size_t(slot - 1)];
        if (other.nameHash() == property.nameHash() &&
            String::equalFolded(other.name().view(), property.name().view()))
            return true;
    }
}

iProperty* CPropertyCollection::get(int32_t index) const {
    if (index < 0 || size_t(index) >= m_properties.size()) {
        throw InvalidIndexException(index, int64_t(m_properties.size()) - 1);
    }
    return m_properties[size_t(index)].get();
}

iProperty* CPropertyCollection::get(const String& name) const {
    int32_t i = findIndex(name);
    if (i < 0)
        throw Exception(u"Property '%ls' is not defined", name);
    return m_properties[size_t(i)].get();
}

iProperty* CPropertyCollection::find(const String& name) const {
    int32_t i = findIndex(name);
    return i < 0 ? nullptr : m_properties[size_t(i)].get();
}

int32_t CPropertyCollection::findLinear(const String& name, uint32_t foldedHash) const {
    // The hash settles most names without comparing them.
    for (size_t i = 0; i < m_properties.size(); ++i) {
        const CProperty* candidate = m_properties[i].get();
        if (candidate->nameHash() == foldedHash && String::equalFolded(candidate->name().view(), name.view()))
            return int32_t(i);
    }
    return -1;
}

int32_t CPropertyCollection::findIndex(const String& name) const {
    if (name.isNull())
        return -1;
    if (m_properties.size() <= kLinearLimit)
        return findLinear(name, name.hashIgnoreCase());
    if (m_indexDirty)
        rebuildIndex();
    const uint32_t hash = name.hashIgnoreCase();
    const size_t mask = m_slots.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const int32_t slot = m_slots[at];
        if (slot == 0)
            return -1;
        const CProperty& candidate = *m_properties[size_t(slot - 1)];
        if (candidate.nameHash() == hash && String::equalFolded(candidate.name().view(), name.view()))
            return slot - 1;
    }
}

Ptr<CProperty> CPropertyCollection::createProperty(const String& name) const {
    Ptr<CProperty> property;
    if (m_propertyClass == CProperty::Tag) {
        property = makePtr<CProperty>();
    } else {
        Ptr<CountedObject> object = strand::newInstance(m_propertyClass);
        property = findAs<CProperty>(object);
        if (!property)
            throw Exception(u"Class %s cannot be used as a property", m_propertyClass.getName());
    }
    property->setNameRaw(name);
    return property;
}

iProperty* CPropertyCollection::append(Ptr<CProperty> property) {
    if (property->getName().isEmpty())
        throw Exception(u"A property needs a name");
    property->setParent(this);
    m_properties.push_back(std::move(property));
    if (!m_indexDirty && !indexPosition(m_properties.size() - 1))
        m_indexDirty = true;
    return m_properties.back().get();
}

iProperty* CPropertyCollection::define(const String& name, const Value& value, uint32_t flags) {
    if (iProperty* existing = find(name)) {
        existing->setValue(value);
        return existing;
    }
    Ptr<CProperty> property = newProperty(name);
    property->setValue(value);
    property->setMetaDataFlags(flags);
    return append(std::move(property));
}

iProperty* CPropertyCollection::defineMissing(const String& name, const Value& value, uint32_t flags) {
    Ptr<CProperty> property = newProperty(name);
    property->setValue(value);
    property->setMetaDataFlags(flags);
    return append(std::move(property));
}

iProperty* CPropertyCollection::define(const String& name, const char16_t* text, uint32_t flags) {
    return define(name, StringValue(String(text)), flags);
}

iProperty* CPropertyCollection::define(const String& name, uint32_t flags) {
    if (iProperty* existing = find(name))
        return existing;
    Ptr<CProperty> property = newProperty(name);
    property->setNoValue();
    property->setMetaDataFlags(flags);
    return append(std::move(property));
}

iProperty* CPropertyCollection::defineAdopting(const String& name, Ptr<Value> value, uint32_t flags) {
    if (iProperty* existing = find(name)) {
        existing->adoptValue(std::move(value));
        return existing;
    }
    Ptr<CProperty> property = newProperty(name);
    property->adoptValue(std::move(value));
    property->setMetaDataFlags(flags);
    return append(std::move(property));
}

bool CPropertyCollection::remove(const String& name) {
    int32_t i = findIndex(name);
    if (i < 0)
        return false;
    remove(i);
    return true;
}

void CPropertyCollection::remove(int32_t index) {
    if (index < 0 || size_t(index) >= m_properties.size()) {
        throw InvalidIndexException(index, int64_t(m_properties.size()) - 1);
    }
    noteStructureChange();
    Ptr<CProperty> removed = std::move(m_properties[size_t(index)]);
    m_properties.erase(m_properties.begin() + index);
    removed->setParent(nullptr);
    keepSpare(std::move(removed));
    m_indexDirty = true;
}

void CPropertyCollection::truncate(int32_t count) {
    if (count < 0 || size_t(count) >= m_properties.size())
        return;
    noteStructureChange();
    // From the last, as remove(index) would: the spares come back in the order they were made.
    for (size_t i = m_properties.size(); i-- > size_t(count);) {
        Ptr<CProperty> removed = std::move(m_properties[i]);
        removed->setParent(nullptr);
        keepSpare(std::move(removed));
    }
    m_properties.resize(size_t(count));
    m_indexDirty = true;
}

void CPropertyCollection::removeAll() {
    noteStructureChange();
    detachAll();
    for (auto& property : m_properties)
        keepSpare(std::move(property));
    m_properties.clear();
    m_slots.clear();
    m_indexDirty = true;
}

void CPropertyCollection::keepSpare(Ptr<CProperty>&& property) {
    // Only a plain property that nobody else holds can be made again unseen.
    if (m_spares.size() >= kSpareLimit || property->getRefCount() != 1 ||
        typeid(*property) != typeid(CProperty))
        return;
    m_spares.push_back(std::move(property));
}

Ptr<CProperty> CPropertyCollection::newProperty(const String& name) {
    if (m_spares.empty() || m_propertyClass != CProperty::Tag)
        return createProperty(name);
    Ptr<CProperty> property = std::move(m_spares.back());
    m_spares.pop_back();
    property->setNameRaw(name);
    property->setMetaDataFlags(0);
    return property;
}

bool CPropertyCollection::rename(const String& oldName, const String& newName) {
    int32_t i = findIndex(oldName);
    if (i < 0)
        return false;
    if (newName.isEmpty())
        throw Exception(u"Cannot rename property '%ls' to an empty name", oldName);
    int32_t j = findIndex(newName);
    if (j >= 0 && j != i) {
        throw Exception(u"Cannot rename property '%ls' to '%ls': a property of that name exists", oldName,
                        newName);
    }
    noteStructureChange();
    m_properties[size_t(i)]->setNameRaw(newName);
    m_indexDirty = true;
    return true;
}

void CPropertyCollection::reorderProperty(const String& name, int32_t newIndex) {
    int32_t i = findIndex(name);
    if (i < 0)
        return;
    Ptr<CProperty> moved = m_properties[size_t(i)];
    m_properties.erase(m_properties.begin() + i);
    size_t to = size_t(std::clamp<int64_t>(newIndex, 0, int64_t(m_properties.size())));
    m_properties.insert(m_properties.begin() + std::ptrdiff_t(to), std::move(moved));
    m_indexDirty = true;
}

void CPropertyCollection::reorder(const Array<String>& names) {
    std::vector<Ptr<CProperty>> ordered;
    std::vector<bool> taken(m_properties.size(), false);
    ordered.reserve(m_properties.size());
    for (const String& name : names) {
        int32_t i = findIndex(name);
        if (i < 0 || taken[size_t(i)])
            continue;
        taken[size_t(i)] = true;
        ordered.push_back(m_properties[size_t(i)]);
    }
    for (size_t i = 0; i < m_properties.size(); ++i) {
        if (!taken[i])
            ordered.push_back(m_properties[i]);
    }
    m_properties = std::move(ordered);
    m_indexDirty = true;
}

void CPropertyCollection::keep(const Array<String>& names, bool inNameOrder) {
    noteStructureChange();
    std::vector<bool> kept(m_properties.size(), false);
    std::vector<Ptr<CProperty>> result;
    for (const String& name : names) {
        int32_t i = findIndex(name);
        if (i < 0 || kept[size_t(i)])
            continue;
        kept[size_t(i)] = true;
        if (inNameOrder)
            result.push_back(m_properties[size_t(i)]);
    }
    for (size_t i = 0; i < m_properties.size(); ++i) {
        if (!kept[i]) {
            m_properties[i]->setParent(nullptr);
        } else if (!inNameOrder) {
            result.push_back(m_properties[i]);
        }
    }
    m_properties = std::move(result);
    m_indexDirty = true;
}

void CPropertyCollection::assignFrom(const iPropertyCollection* other, bool /*deep*/) {
    if (!other || other == this)
        return;
    std::vector<Ptr<CProperty>> copies;
    copies.reserve(size_t(other->getSize()));
    for (int32_t i = 0; i < other->getSize(); ++i) {
        iProperty* source = other->get(i);
        Ptr<CProperty> copy = createProperty(source->getName());
        copy->assignFrom(source);
        if (const iPropertyInfo* info =
                source->hasInfo() ? const_cast<iProperty*>(source)->getInfo() : nullptr) {
            copy->setMetaDataFlags(info->getMetaDataFlags());
        }
        copies.push_back(std::move(copy));
    }
    removeAll();
    for (auto& copy : copies)
        append(std::move(copy));
}

void CPropertyCollection::appendFrom(const iPropertyCollection* other, bool /*deep*/) {
    if (!other || other == this)
        return;
    for (int32_t i = 0; i < other->getSize(); ++i) {
        iProperty* source = other->get(i);
        iProperty* target = find(source->getName());
        if (!target) {
            Ptr<CProperty> copy = createProperty(source->getName());
            copy->assignFrom(source);
            if (source->hasInfo())
                copy->setMetaDataFlags(source->getInfo()->getMetaDataFlags());
            append(std::move(copy));
            continue;
        }
        target->assignFrom(source);
    }
}

void CPropertyCollection::onDeactivate() {
    removeAll();
    m_spares.clear();
}

iProperty* iPropertyCollection::findWithHint(const String& name, int32_t& hint) const {
    if (hint >= 0 && hint < getSize()) {
        iProperty* candidate = get(hint);
        if (candidate->getName().equalsIgnoreCase(name))
            return candidate;
    }
    const int32_t i = findIndex(name);
    if (i < 0)
        return nullptr;
    hint = i;
    return get(i);
}

void CPropertyCollection::prefetch() const noexcept {
    constexpr size_t kPrefetched = 16;
    const size_t count = m_properties.size() < kPrefetched ? m_properties.size() : kPrefetched;
    for (size_t i = 0; i < count; ++i) {
        const char* property = reinterpret_cast<const char*>(m_properties[i].get());
        __builtin_prefetch(property);
        __builtin_prefetch(property + 64);
    }
}

iProperty* CPropertyCollection::findWithHint(const String& name, int32_t& hint) const {
    return findWithHint(name, name.hashIgnoreCase(), hint);
}

iProperty* CPropertyCollection::findWithHint(const String& name, uint32_t foldedHash, int32_t& hint) const {
    if (hint >= 0 && size_t(hint) < m_properties.size()) {
        CProperty* candidate = m_properties[size_t(hint)].get();
        if (candidate->nameHash() == foldedHash && String::equalFolded(candidate->name().view(), name.view()))
            return candidate;
    }
    const int32_t i = m_properties.size() <= kLinearLimit && !name.isNull() ? findLinear(name, foldedHash)
                                                                            : findIndex(name);
    if (i < 0)
        return nullptr;
    hint = i;
    return m_properties[size_t(i)].get();
}

}  // namespace strand
