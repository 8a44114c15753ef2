#pragma once
// Properties: a name, a value and a metadata flag word, held by an ordered property collection (its
// parent). A property always has a value object to read: one that holds nothing reads as the null
// value. Setting a value stores a copy of it, so the property's value takes the class of the value
// stored; a property never shares its value object with anyone.

#include <atomic>
#include <cstdint>

#include "host/Object.h"
#include "host/String.h"
#include "host/Value.h"

namespace strand {

class iPropertyCollection;
class iByteOutputStream;
class iByteInputStream;

// Metadata of a property: a flag word whose bits belong to the users of the property.
class iPropertyInfo {
  public:
    virtual ~iPropertyInfo() = default;
    virtual uint32_t getMetaDataFlags() const = 0;
    virtual void setMetaDataFlags(uint32_t flags) = 0;
};

class iProperty : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iProperty"};

    virtual const String& getName() const = 0;
    // The value as users see it (derived properties may evaluate it); the null value when empty.
    virtual const Value& getValue() const = 0;
    virtual Value& getEditableValue() = 0;
    // The stored value itself.
    virtual const Value& getRawValue() const = 0;
    virtual Value& getEditableRawValue() = 0;

    // Stores a copy of the value (in place when the classes agree). Storing a property's own value
    // into it changes nothing.
    virtual void setValue(const Value& value) = 0;
    virtual void setValue(const char16_t* text) = 0;
    // Stores a number: the same as setValue of a DoubleValue.
    virtual void setDouble(double number) { setValue(DoubleValue(number)); }
    // Installs a value object that the caller built and gives up.
    virtual void adoptValue(Ptr<Value> value) = 0;
    // Adds the value as a further element (see CProperty::appendValue).
    virtual void appendValue(const Value& value) = 0;
    virtual void appendValue(const char16_t* text) = 0;

    // No value object at all.
    virtual bool hasNullValue() const = 0;
    // Holds no value: the value count is 0.
    virtual bool isEmpty() const = 0;
    virtual void assignFrom(const iProperty* other) = 0;

    virtual bool hasInfo() const = 0;
    virtual iPropertyInfo* getInfo() = 0;
    virtual iPropertyCollection* getParent() const = 0;
};

class CProperty : public iProperty, public iPropertyInfo, public virtual PooledObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.Property"};

    CProperty() { makeInline(Value::Kind::Double); }
    explicit CProperty(String name) : m_nameHash(name.hashIgnoreCase()), m_name(std::move(name)) {
        makeInline(Value::Kind::Double);
    }
    // Copies the name, the value and the flags; a copy has no parent.
    CProperty(const CProperty& other);
    CProperty& operator=(const CProperty& other);
    ~CProperty() override;

    const ClassTag& getClassTag() const override { return Tag; }

    const String& getName() const override { return m_name; }
    const Value& getValue() const override { return getRawValue(); }
    Value& getEditableValue() override { return getEditableRawValue(); }
    const Value& getRawValue() const override;
    Value& getEditableRawValue() override;

    void setValue(const Value& value) override;
    void setValue(const char16_t* text) override;
    void setDouble(double number) override;
    void adoptValue(Ptr<Value> value) override;
    // An array value gains the value as its last element (converted to the element class); an empty
    // property takes the value; a scalar becomes an array of its class holding the old and the new value.
    void appendValue(const Value& value) override;
    void appendValue(const char16_t* text) override;

    bool hasNullValue() const override { return !m_value; }
    bool isEmpty() const override { return getRawValue().getNumValues() == 0; }
    void assignFrom(const iProperty* other) override;

    bool hasInfo() const override { return true; }
    iPropertyInfo* getInfo() override { return this; }
    iPropertyCollection* getParent() const override { return m_parent; }

    uint32_t getMetaDataFlags() const override { return m_flags; }
    void setMetaDataFlags(uint32_t flags) override { m_flags = flags; }

    // Copies the value and the flags of another property (not its name).
    virtual void copyFrom(const CProperty* other);
    // Renames through the parent collection when there is one, so that its index stays right.
    virtual void SetName(const String& name);
    void setParent(iPropertyCollection* parent) noexcept { m_parent = parent; }
    // Used by the collection after it has checked the new name.
    void setNameRaw(const String& name) {
        // The same spelling again (a reused property) is no change, and copies nothing.
        if (!sameName(name)) {
            m_name = name;
            nameChanged();
        }
    }
    void setNameRaw(String&& name) {
        if (!sameName(name)) {
            m_name = std::move(name);
            nameChanged();
        }
    }
    // Differs from every other property's and changes whenever the name changes: a holder that saw
    // the same property with the same serial before knows the name without comparing it.
    uint64_t nameSerial() const noexcept { return m_nameSerial; }
    // The hash of the name with A to Z folded, kept for quick lookups.
    uint32_t nameHash() const noexcept { return m_nameHash; }

    // Counts the changes of the value: every store, and every request for the editable value (whose
    // holder may then change it). A reader that filled the property can tell afterwards whether
    // anyone touched it.
    uint32_t changeCount() const noexcept { return m_changes; }
    // Stores without a temporary value: an integer, a text (reusing the text value the property
    // holds), or no value at all.
    void setInteger(int64_t number);
    void setText(std::u16string_view text);
    // The property's own text to fill in place (a text value is made when it holds none, or holds one
    // that is shared); counted as a change.
    std::u16string& editText();
    void setNoValue() {
        ++m_changes;
        m_value = nullptr;
    }
    const String& name() const noexcept { return m_name; }
    // The number when the property holds it in its inline value, without a virtual call: the quick
    // read of a loop counter or a sum. False for any other value.
    bool inlineDouble(double& out) const noexcept {
        if (m_inlineKind != Value::Kind::Double || m_value.get() != &m_inline.number)
            return false;
        out = m_inline.number.get();
        return true;
    }
    // setDouble for a property that holds a number in its inline value; false (nothing done) otherwise.
    bool storeInlineDouble(double number) noexcept {
        if (m_inlineKind != Value::Kind::Double || m_value.get() != &m_inline.number)
            return false;
        ++m_changes;
        m_inline.number.set(number);
        return true;
    }

    void onDeactivate() override;

    // The property's byte-stream record (docs/streams.md): its version, the name, the metadata flags
    // and the value record.
    static constexpr int32_t PROPERTY_VERSION = 1;
    virtual void serialize(iByteOutputStream& out) const;
    // Reads a record into this property. A property in a collection is renamed through it.
    virtual void deserialize(iByteInputStream& in);

  protected:
    // The fields a lookup and a read touch come first, so that they share a cache line.
    Ptr<Value> m_value;
    uint32_t m_nameHash = 0;
    uint32_t m_flags = 0;
    uint32_t m_changes = 0;
    uint64_t m_nameSerial = nextNameSerial();
    String m_name;
    iPropertyCollection* m_parent = nullptr;

  private:
    bool sameName(const String& name) const noexcept {
        return name.isNull() == m_name.isNull() && name.view() == m_name.view();
    }
    void nameChanged() noexcept {
        m_nameHash = m_name.hashIgnoreCase();
        m_nameSerial = nextNameSerial();
    }
    static uint64_t nextNameSerial() noexcept {
        static std::atomic<uint64_t> serial{0};
        return serial.fetch_add(1, std::memory_order_relaxed) + 1;
    }

    // A number, an integer or a boolean is kept inside the property rather than in a value of its
    // own: records are mostly such scalars, and this saves an allocation for each. The inline value
    // holds one reference to itself for its whole life, so that its count never reaches 0 and no
    // one deletes it; m_value points to it while it is the property's value.
    union Inline {
        Inline() {}
        ~Inline() {}
        DoubleValue number;
        IntegerValue integer;
        BooleanValue boolean;
    };
    // The inline value of `kind` (Double, Integer or Boolean), made the property's value.
    Value& useInline(Value::Kind kind);
    void makeInline(Value::Kind kind);
    void destroyInline() noexcept;
    Value& inlineValue() noexcept;
    // Whether someone besides this property holds its value (a value it adopted): such a value is
    // copied before it changes. The inline value is never anyone else's, whatever its count says.
    bool valueShared() noexcept {
        return m_value && m_value->getRefCount() > 1 && m_value.get() != &inlineValue();
    }
    // The value when it is of `kind` and this property's alone: one to change in place.
    template <typename V>
    V* ownValue(Value::Kind kind) noexcept {
        return m_value && m_value->kind() == kind && !valueShared() ? static_cast<V*>(m_value.get())
                                                                    : nullptr;
    }

    Value::Kind m_inlineKind = Value::Kind::Double;
    Inline m_inline;
};

}  // namespace strand
