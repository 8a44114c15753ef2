#pragma once
// Property collections: ordered, named properties. Names are matched ignoring the case of the
// letters A to Z (and of nothing else) and keep the spelling they were defined with. A collection
// creates its properties from its element class, so a derived collection (parameters) holds
// derived properties.

#include <atomic>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "host/Array.h"
#include "host/Property.h"

namespace strand {

class iPropertyCollection : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iPropertyCollection"};

    virtual int32_t getSize() const = 0;
    // The property at a 0-based position; raises InvalidIndexException.
    virtual iProperty* get(int32_t index) const = 0;
    // The named property; raises when there is none.
    virtual iProperty* get(const String& name) const = 0;
    // The named property, or null.
    virtual iProperty* find(const String& name) const = 0;
    // The position of the named property, or -1.
    virtual int32_t findIndex(const String& name) const = 0;
    int32_t getIndex(const String& name) const { return findIndex(name); }
    bool isDefined(const String& name) const { return findIndex(name) >= 0; }

    // Creates the property at the end, or changes the existing one of that name; returns it.
    virtual iProperty* define(const String& name, const Value& value, uint32_t flags) = 0;
    virtual iProperty* define(const String& name, const char16_t* text, uint32_t flags) = 0;
    // Creates a property without a value (an existing one keeps its value).
    virtual iProperty* define(const String& name, uint32_t flags) = 0;
    // Creates or changes the property with a value object the caller built and gives up.
    virtual iProperty* defineAdopting(const String& name, Ptr<Value> value, uint32_t flags) = 0;
    // define(name, value, flags) for a caller that has just looked the name up and not found it.
    virtual iProperty* defineMissing(const String& name, const Value& value, uint32_t flags) {
        return define(name, value, flags);
    }

    // Removing a name that is not there is not an error; the result tells.
    virtual bool remove(const String& name) = 0;
    virtual void remove(int32_t index) = 0;
    virtual void removeAll() = 0;
    // Removes every property from position `count` on (nothing when there are no more than `count`).
    virtual void truncate(int32_t count) {
        while (getSize() > count)
            remove(getSize() - 1);
    }
    // False when there is no property of the old name; raises when another property already has
    // the new name.
    virtual bool rename(const String& oldName, const String& newName) = 0;
    // Moves one property to a 0-based position (clamped to the collection).
    virtual void reorderProperty(const String& name, int32_t newIndex) = 0;
    // The named properties first, in the order given; the others follow in their old order.
    virtual void reorder(const Array<String>& names) = 0;
    // Removes every property not named; with `inNameOrder` the kept ones take the order of the names.
    virtual void keep(const Array<String>& names, bool inNameOrder) = 0;

    // Replaces the contents with copies of the other collection's properties.
    virtual void assignFrom(const iPropertyCollection* other, bool deep) = 0;
    // Defines a copy of each of the other's properties here (existing names are overwritten).
    virtual void appendFrom(const iPropertyCollection* other, bool deep) = 0;

    // The class of the properties that define creates.
    virtual void setPropertyClass(const ClassTag& tag) = 0;

    // Asks the processor to start loading the first properties, ahead of a script that is about to
    // read them: over records held in memory, the loads then overlap instead of waiting one by one.
    virtual void prefetch() const noexcept {}

    // The named property, trying the position `hint` first and leaving there the position where it was
    // found; null when there is none. Readers that meet records of one layout find names at once.
    virtual iProperty* findWithHint(const String& name, int32_t& hint) const;
    // The same with the name's hash with A to Z folded (String::hashIgnoreCase), already known.
    virtual iProperty* findWithHint(const String& name, uint32_t foldedHash, int32_t& hint) const {
        (void)foldedHash;
        return findWithHint(name, hint);
    }

    // The property at a position, as get(index) does, without a virtual call for collections that
    // keep their properties in a plain list.
    iProperty* at(int32_t index) const {
        if (m_plainItems && size_t(uint32_t(index)) < m_plainItems->size())
            return (*m_plainItems)[size_t(index)].get();
        return get(index);
    }

    // The property at a position when the collection keeps its properties in a plain list (and the
    // position is in range); null otherwise.
    const CProperty* plainAt(int32_t index) const noexcept {
        if (m_plainItems && size_t(uint32_t(index)) < m_plainItems->size())
            return (*m_plainItems)[size_t(index)].get();
        return nullptr;
    }

    // The property at position `hint` when it has the name (whose folded hash is `foldedHash`), found
    // without a virtual call; null when it is elsewhere, missing, or the collection does not keep its
    // properties in a plain list. Callers then ask findWithHint.
    CProperty* findAtHint(const String& name, uint32_t foldedHash, int32_t hint) const noexcept {
        CProperty* candidate = propertyAtHint(hint);
        if (!candidate || candidate->nameHash() != foldedHash ||
            !String::equalFolded(candidate->name().view(), name.view()))
            return nullptr;
        return candidate;
    }

    // The property at a 0-based position of a collection that keeps its properties in a plain list;
    // null when there is none.
    CProperty* propertyAtHint(int32_t hint) const noexcept {
        if (!m_plainItems || size_t(uint32_t(hint)) >= m_plainItems->size())
            return nullptr;
        return (*m_plainItems)[size_t(hint)].get();
    }

    // Counts every change that may leave a property found earlier out of its collection (removal,
    // renaming, replacement, the end of a collection), over all collections. Holders of a property
    // found by name keep it only while the count stays the same. Implementations call
    // noteStructureChange() before any such change.
    static uint64_t structureEpoch() noexcept { return s_structureEpoch.load(std::memory_order_relaxed); }

  protected:
    static void noteStructureChange() noexcept { s_structureEpoch.fetch_add(1, std::memory_order_relaxed); }

    // Set by a collection that keeps its properties in such a list, in order, for findAtHint.
    const std::vector<Ptr<CProperty>>* m_plainItems = nullptr;

  private:
    static inline std::atomic<uint64_t> s_structureEpoch{0};
};

class CPropertyCollection : public iPropertyCollection, public virtual PooledObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.PropertyCollection"};
    // Flags of properties created by script stores.
    static constexpr uint32_t kScriptCreated = 0x10000;

    CPropertyCollection() { m_plainItems = &m_properties; }
    // Copies every property; the copy has the same element class.
    CPropertyCollection(const CPropertyCollection& other);
    CPropertyCollection& operator=(const CPropertyCollection& other);
    ~CPropertyCollection() override;

    static Ptr<CPropertyCollection> newInstance() { return makePtr<CPropertyCollection>(); }
    const ClassTag& getClassTag() const override { return Tag; }

    int32_t getSize() const override { return int32_t(m_properties.size()); }
    iProperty* get(int32_t index) const override;
    iProperty* get(const String& name) const override;
    iProperty* find(const String& name) const override;
    int32_t findIndex(const String& name) const override;

    iProperty* define(const String& name, const Value& value, uint32_t flags) override;
    iProperty* define(const String& name, const char16_t* text, uint32_t flags) override;
    iProperty* define(const String& name, uint32_t flags) override;
    iProperty* defineAdopting(const String& name, Ptr<Value> value, uint32_t flags) override;
    iProperty* defineMissing(const String& name, const Value& value, uint32_t flags) override;

    bool remove(const String& name) override;
    void remove(int32_t index) override;
    void removeAll() override;
    void truncate(int32_t count) override;
    bool rename(const String& oldName, const String& newName) override;
    void reorderProperty(const String& name, int32_t newIndex) override;
    void reorder(const Array<String>& names) override;
    void keep(const Array<String>& names, bool inNameOrder) override;

    void assignFrom(const iPropertyCollection* other, bool deep) override;
    void appendFrom(const iPropertyCollection* other, bool deep) override;
    void setPropertyClass(const ClassTag& tag) override { m_propertyClass = tag; }
    const ClassTag& getPropertyClass() const noexcept { return m_propertyClass; }

    iProperty* findWithHint(const String& name, int32_t& hint) const override;
    iProperty* findWithHint(const String& name, uint32_t foldedHash, int32_t& hint) const override;

    void prefetch() const noexcept override;

    void onDeactivate() override;

    // The collection's byte-stream record (docs/streams.md): its version, the count and each
    // property's own record. With `names`, only the properties named there (A to Z folded).
    static constexpr int32_t PROPERTY_COLLECTION_VERSION = 1;
    void serialize(iByteOutputStream& out) const { internalSerialize(out, nullptr); }
    virtual void internalSerialize(iByteOutputStream& out, const Array<String>* names) const;
    // Replaces the contents with the properties of a record, each made of the element class. A name
    // given twice, or no name, is refused. After a failure the collection holds what was read so far.
    virtual void deserialize(iByteInputStream& in);

  protected:
    // A new, unattached property of the element class.
    virtual Ptr<CProperty> createProperty(const String& name) const;

  private:
    // A property for `name`: a spare when there is one (it keeps the value object it had, so that a
    // store of the same class reuses it), else createProperty.
    Ptr<CProperty> newProperty(const String& name);
    void keepSpare(Ptr<CProperty>&& property);
    iProperty* append(Ptr<CProperty> property);
    void detachAll() noexcept;
    void rebuildIndex() const;
    // The position of the name in a small collection, by its folded hash first; -1 when it is not there.
    int32_t findLinear(const String& name, uint32_t foldedHash) const;

    std::vector<Ptr<CProperty>> m_properties;
    // Properties removed lately, kept to be made again: a record refilled again and again, with what
    // a script adds to it, then allocates nothing.
    static constexpr size_t kSpareLimit = 32;
    std::vector<Ptr<CProperty>> m_spares;
    ClassTag m_propertyClass{CProperty::Tag};
    // Name index, used once the collection outgrows a short linear scan: open addressing over the
    // properties' folded name hashes, each slot a position + 1 (0: empty), at least twice as many
    // slots as properties. Made on first need, so that the many small per-record collections stay
    // small, and rebuilt in place, so that a record refilled again and again allocates nothing.
    mutable std::vector<int32_t> m_slots;
    mutable bool m_indexDirty = true;
    // Puts position `i` into the index; false when the index would be too full for it.
    bool indexPosition(size_t i) const;
};

}  // namespace strand
