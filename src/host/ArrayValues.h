#pragma once
// The array family of values: texts, doubles, integers, booleans, bytes and values of any class,
// plus the fingerprint variants of the first three. Positions are 0-based here; a bad position raises
// InvalidIndexException, and no array grows beyond kMaxSize elements.
//
// Text forms: the element texts joined by ';' (kSeparator), except byte arrays, whose text is their
// hexadecimal form, two upper-case digits per byte. The number, integer and boolean forms of an array
// are those of its first element (0, 0 and false when it is empty).

#include <cstdint>
#include <vector>

#include "host/Array.h"
#include "host/Value.h"

namespace strand {

class ArrayValue : public Value {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.ArrayValue"};
    static constexpr int32_t kMaxSize = 1 << 24;
    static constexpr char16_t kSeparator = u';';

    Kind kind() const noexcept override { return Kind::Array; }
    int32_t getNumValues() const override { return getSize(); }

    virtual int32_t getSize() const noexcept = 0;
    // Grows with empty elements or cuts; raises for a negative size or one above kMaxSize.
    virtual void resize(int32_t size) = 0;
    virtual void getElementText(int32_t i, String& out) const = 0;
    virtual double getElementDouble(int32_t i) const = 0;
    virtual int64_t getElementInteger(int32_t i) const = 0;
    virtual bool getElementBool(int32_t i) const = 0;
    // A new scalar value holding element i.
    virtual Ptr<Value> getElement(int32_t i) const = 0;
    // Stores a value at i, converted to the element class.
    virtual void setElement(int32_t i, const Value& value) = 0;
    // Inserts before position i (0 to the size; the size appends).
    virtual void insertElement(int32_t i, const Value& value) = 0;
    virtual void removeElement(int32_t i) = 0;
    void appendElement(const Value& value) { insertElement(getSize(), value); }
    // A new scalar of the element class (a null value for value arrays).
    virtual Ptr<Value> newElement() const = 0;
    // Whether an element can hold the value unchanged (setElement and insertElement convert it to the
    // element class otherwise: 1.5 into integers would be 1).
    virtual bool holdsExactly(const Value& value) const = 0;

    enum class Store { Set, Insert };
    // Stores (Set) or inserts (Insert) the value at i without changing it. When the elements hold it
    // unchanged the store happens here and the result is null. Otherwise this array is left as it was
    // and the result is a new array of a class that holds the value and every element unchanged
    // (integers become doubles while each stays exact, anything else values of any class), with the
    // value stored: the caller puts it in this array's place. Bytes and fingerprints keep their class:
    // a value they cannot hold raises.
    Ptr<ArrayValue> storeExactly(Store how, int32_t i, const Value& value);
    // The array class for several values of the class of `sample` (values of any class for classes
    // with no array of their own).
    static Ptr<ArrayValue> newFor(const Value& sample);

    void appendText(String& out) const override;
    double getDouble() const override { return getSize() ? getElementDouble(0) : 0.0; }
    int64_t getInteger() const override { return getSize() ? getElementInteger(0) : 0; }
    bool getBool() const override { return getSize() ? getElementBool(0) : false; }
    void clear() override { resize(0); }

    // Raises unless 0 <= size <= kMaxSize.
    static void checkSize(int64_t size);

  protected:
    void checkIndex(int32_t i) const;
    void checkInsert(int32_t i) const;
    int compareSameRank(const Value& other) const override;
};

// Element rules of the typed arrays.
struct StringElement {
    using Elem = String;
    static Elem fromValue(const Value& v);
    static Elem fromArray(const ArrayValue& a, int32_t i);
    static bool holds(const Value& v) { return v.kind() == Value::Kind::String; }
    static Ptr<Value> toValue(const Elem& e);
    static void appendText(const Elem& e, String& out) { out.append(e.view()); }
    static double toDouble(const Elem& e);
    static int64_t toInteger(const Elem& e);
    static bool toBool(const Elem& e);
};
struct DoubleElement {
    using Elem = double;
    static Elem fromValue(const Value& v) { return v.getDouble(); }
    static Elem fromArray(const ArrayValue& a, int32_t i) { return a.getElementDouble(i); }
    static bool holds(const Value& v);
    static Ptr<Value> toValue(Elem e);
    static void appendText(Elem e, String& out);
    static double toDouble(Elem e) { return e; }
    static int64_t toInteger(Elem e);
    static bool toBool(Elem e) { return e != 0.0; }
};
struct IntegerElement {
    using Elem = int64_t;
    static Elem fromValue(const Value& v) { return v.getInteger(); }
    static Elem fromArray(const ArrayValue& a, int32_t i) { return a.getElementInteger(i); }
    static bool holds(const Value& v);
    static Ptr<Value> toValue(Elem e);
    static void appendText(Elem e, String& out);
    static double toDouble(Elem e) { return double(e); }
    static int64_t toInteger(Elem e) { return e; }
    static bool toBool(Elem e) { return e != 0; }
};
struct BooleanElement {
    using Elem = uint8_t;  // 0 or 1
    static Elem fromValue(const Value& v) { return v.getBool() ? 1 : 0; }
    static Elem fromArray(const ArrayValue& a, int32_t i) { return a.getElementBool(i) ? 1 : 0; }
    static bool holds(const Value& v) { return v.kind() == Value::Kind::Boolean; }
    static Ptr<Value> toValue(Elem e);
    static void appendText(Elem e, String& out) { out.append(e ? u"true" : u"false"); }
    static double toDouble(Elem e) { return e ? 1.0 : 0.0; }
    static int64_t toInteger(Elem e) { return e ? 1 : 0; }
    static bool toBool(Elem e) { return e != 0; }
};
struct ByteElement {
    using Elem = uint8_t;
    static Elem fromValue(const Value& v) { return Elem(uint64_t(v.getInteger()) & 0xFF); }
    static Elem fromArray(const ArrayValue& a, int32_t i) {
        return Elem(uint64_t(a.getElementInteger(i)) & 0xFF);
    }
    static bool holds(const Value& v);
    static Ptr<Value> toValue(Elem e);
    static void appendText(Elem e, String& out);
    static double toDouble(Elem e) { return double(e); }
    static int64_t toInteger(Elem e) { return e; }
    static bool toBool(Elem e) { return e != 0; }
};

template <typename Traits>
class TypedArrayValue : public ArrayValue {
  public:
    using Elem = typename Traits::Elem;

    TypedArrayValue() = default;
    explicit TypedArrayValue(std::vector<Elem> items) : m_items(std::move(items)) {}

    int32_t getSize() const noexcept override { return int32_t(m_items.size()); }
    void resize(int32_t size) override {
        checkSize(size);
        m_items.resize(size_t(size));
    }
    void getElementText(int32_t i, String& out) const override {
        checkIndex(i);
        if constexpr (std::is_same_v<Elem, String>) {
            out = m_items[size_t(i)];
        } else {
            out.clear();
            Traits::appendText(m_items[size_t(i)], out);
        }
    }
    double getElementDouble(int32_t i) const override {
        checkIndex(i);
        return Traits::toDouble(m_items[size_t(i)]);
    }
    int64_t getElementInteger(int32_t i) const override {
        checkIndex(i);
        return Traits::toInteger(m_items[size_t(i)]);
    }
    bool getElementBool(int32_t i) const override {
        checkIndex(i);
        return Traits::toBool(m_items[size_t(i)]);
    }
    Ptr<Value> getElement(int32_t i) const override {
        checkIndex(i);
        return Traits::toValue(m_items[size_t(i)]);
    }
    void setElement(int32_t i, const Value& value) override {
        checkIndex(i);
        m_items[size_t(i)] = Traits::fromValue(value);
    }
    void insertElement(int32_t i, const Value& value) override {
        checkInsert(i);
        m_items.insert(m_items.begin() + i, Traits::fromValue(value));
    }
    void removeElement(int32_t i) override {
        checkIndex(i);
        m_items.erase(m_items.begin() + i);
    }
    Ptr<Value> newElement() const override { return Traits::toValue(Elem()); }
    bool holdsExactly(const Value& value) const override { return Traits::holds(value); }

    void assignFrom(const Value& source) override {
        if (&source == this)
            return;
        if (const ArrayValue* array = source.asArray()) {
            std::vector<Elem> items(size_t(array->getSize()));
            for (int32_t i = 0; i < array->getSize(); ++i)
                items[size_t(i)] = Traits::fromArray(*array, i);
            m_items = std::move(items);
            return;
        }
        m_items.clear();
        if (source.getNumValues() > 0)
            m_items.push_back(Traits::fromValue(source));
    }

    // Direct access for code that knows the class.
    const std::vector<Elem>& items() const noexcept { return m_items; }
    std::vector<Elem>& items() noexcept { return m_items; }
    const Elem& get(int32_t i) const {
        checkIndex(i);
        return m_items[size_t(i)];
    }
    void set(int32_t i, Elem e) {
        checkIndex(i);
        m_items[size_t(i)] = std::move(e);
    }
    void add(Elem e) {
        checkSize(int64_t(m_items.size()) + 1);
        m_items.push_back(std::move(e));
    }

  protected:
    template <typename D>
    Ptr<Value> cloneAs() const {
        Ptr<D> copy = makePtr<D>();
        copy->m_items = m_items;
        return copy;
    }

    std::vector<Elem> m_items;
};

class StringArrayValue : public TypedArrayValue<StringElement> {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.StringArrayValue"};
    using TypedArrayValue::TypedArrayValue;
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"StringArray"; }
    Ptr<Value> cloneValue() const override { return cloneAs<StringArrayValue>(); }
    // The texts as an Array.
    Array<String> toArray() const { return Array<String>(m_items); }
};

class DoubleArrayValue : public TypedArrayValue<DoubleElement> {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.DoubleArrayValue"};
    using TypedArrayValue::TypedArrayValue;
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"DoubleArray"; }
    Ptr<Value> cloneValue() const override { return cloneAs<DoubleArrayValue>(); }
};

class IntegerArrayValue : public TypedArrayValue<IntegerElement> {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.IntegerArrayValue"};
    using TypedArrayValue::TypedArrayValue;
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"LongArray"; }
    Ptr<Value> cloneValue() const override { return cloneAs<IntegerArrayValue>(); }
};

class BooleanArrayValue final : public TypedArrayValue<BooleanElement> {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.BooleanArrayValue"};
    using TypedArrayValue::TypedArrayValue;
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"BooleanArray"; }
    Ptr<Value> cloneValue() const override { return cloneAs<BooleanArrayValue>(); }
};

// Bytes 0 to 255. A text assigned to a byte array gives its UTF-8 bytes (every code unit kept); a
// bitset gives its bits packed eight to a byte, bit 8j + b in bit b of byte j.
class ByteArrayValue final : public TypedArrayValue<ByteElement> {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.ByteArrayValue"};
    using TypedArrayValue::TypedArrayValue;
    const ClassTag& getClassTag() const override { return Tag; }
    Kind kind() const noexcept override { return Kind::ByteArray; }
    const char16_t* getClassName() const noexcept override { return u"ByteArray"; }
    Ptr<Value> cloneValue() const override { return cloneAs<ByteArrayValue>(); }
    void appendText(String& out) const override;
    void assignFrom(const Value& source) override;

    Array<uint8_t> toArray() const { return Array<uint8_t>(m_items); }
    void setBytes(const Array<uint8_t>& bytes) {
        checkSize(int64_t(bytes.size()));
        m_items = bytes.vector();
    }

  protected:
    int compareSameRank(const Value& other) const override;
};

// Values of any class, each kept as its own copy.
class ValueArrayValue final : public ArrayValue {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.ValueArrayValue"};
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"ValueArray"; }

    int32_t getSize() const noexcept override { return int32_t(m_items.size()); }
    void resize(int32_t size) override;
    void getElementText(int32_t i, String& out) const override;
    double getElementDouble(int32_t i) const override;
    int64_t getElementInteger(int32_t i) const override;
    bool getElementBool(int32_t i) const override;
    Ptr<Value> getElement(int32_t i) const override;
    void setElement(int32_t i, const Value& value) override;
    void insertElement(int32_t i, const Value& value) override;
    void removeElement(int32_t i) override;
    Ptr<Value> newElement() const override;
    bool holdsExactly(const Value&) const override { return true; }
    void assignFrom(const Value& source) override;
    Ptr<Value> cloneValue() const override;

    // The stored element itself (read only).
    const Value& elementRef(int32_t i) const;

  private:
    std::vector<Ptr<Value>> m_items;
};

// Fingerprints held as lists of features.
class IntegerFingerprintValue final : public IntegerArrayValue {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.IntegerFingerprintValue"};
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"LongFingerprint"; }
    Ptr<Value> cloneValue() const override { return cloneAs<IntegerFingerprintValue>(); }
};

class DoubleFingerprintValue final : public DoubleArrayValue {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.DoubleFingerprintValue"};
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"DoubleFingerprint"; }
    Ptr<Value> cloneValue() const override { return cloneAs<DoubleFingerprintValue>(); }
};

class StringFingerprintValue final : public StringArrayValue {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.StringFingerprintValue"};
    const ClassTag& getClassTag() const override { return Tag; }
    const char16_t* getClassName() const noexcept override { return u"StringFingerprint"; }
    Ptr<Value> cloneValue() const override { return cloneAs<StringFingerprintValue>(); }
};

}  // namespace strand
