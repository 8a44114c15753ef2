#pragma once
// Value: what a property holds. Every value answers the same questions (its text, number, integer
// and boolean forms, how many values it holds, how it orders against another value) and converts
// into a value of another class with assignTo. The scalar classes live here; the array family is in
// ArrayValues.h and bitsets in BitsetValue.h.
//
// Text forms: numbers as the shortest text that reads back to the same double (3, 0.5, 1e+21, NaN,
// Infinity), integers in decimal, booleans "true" and "false", a null value as the null text.

#include <cstdint>

#include "host/Object.h"
#include "host/String.h"

namespace strand {

class ArrayValue;

class Value : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.Value"};

    // The families of values, in the order in which compare ranks them.
    enum class Kind { Null, Boolean, Integer, Double, String, DateTime, ByteArray, Bitset, Array };

    virtual Kind kind() const noexcept = 0;
    // The name scripts see for the class ("String", "Double", "Long", "Bool", "StringArray", ...).
    virtual const char16_t* getClassName() const noexcept = 0;

    // The text form, replacing `out`.
    virtual void getText(String& out) const;
    // The text form, appended to `out`.
    virtual void appendText(String& out) const = 0;
    String toString() const;
    virtual double getDouble() const = 0;
    virtual int64_t getInteger() const = 0;
    virtual bool getBool() const = 0;
    // The number of values held: 0 for a null value, the element count for arrays, 1 otherwise.
    virtual int32_t getNumValues() const { return 1; }

    // A total order, safe for sorting: null first, then numbers (booleans, integers and doubles
    // compared by value, NaN after every number), texts (A to Z folded first, then exactly),
    // dates, byte arrays, bitsets and arrays (element by element, then by length). Values that
    // compare equal as numbers or texts are ordered by class.
    int compare(const Value& other) const;
    bool equals(const Value& other) const { return compare(other) == 0; }

    // Converts this value into `target`, which keeps its class.
    void assignTo(Value& target) const { target.assignFrom(*this); }
    // Sets this value from `source`, converting to this class.
    virtual void assignFrom(const Value& source) = 0;
    // A new value of the same class and content.
    virtual Ptr<Value> cloneValue() const = 0;
    // The empty state of the class: 0, the empty text, false, no elements, all bits off.
    virtual void clear() = 0;

    bool isNumeric() const noexcept {
        Kind k = kind();
        return k == Kind::Boolean || k == Kind::Integer || k == Kind::Double;
    }
    // This value as an array, or null for scalars. Told by kind(): every value of kind Array or
    // ByteArray is an ArrayValue, and no other is.
    const ArrayValue* asArray() const noexcept;
    ArrayValue* asArray() noexcept;

  protected:
    // Order within one family; both values are of the same compare rank.
    virtual int compareSameRank(const Value& other) const;
};

class NullValue final : public Value {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.NullValue"};
    const ClassTag& getClassTag() const override { return Tag; }
    Kind kind() const noexcept override { return Kind::Null; }
    const char16_t* getClassName() const noexcept override { return u"Null"; }

    void getText(String& out) const override { out.setNull(); }
    void appendText(String&) const override {}
    double getDouble() const override { return 0.0; }
    int64_t getInteger() const override { return 0; }
    bool getBool() const override { return false; }
    int32_t getNumValues() const override { return 0; }
    void assignFrom(const Value&) override {}
    Ptr<Value> cloneValue() const override { return makePtr<NullValue>(); }
    void clear() override {}

    // A shared, never-changing null value for readers that need one.
    static const NullValue& instance();
};

class StringValue final : public Value {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.StringValue"};
    StringValue() : m_value(String::empty()) {}
    explicit StringValue(String value) : m_value(std::move(value)) {}
    const ClassTag& getClassTag() const override { return Tag; }
    Kind kind() const noexcept override { return Kind::String; }
    const char16_t* getClassName() const noexcept override { return u"String"; }

    void getText(String& out) const override { out = m_value; }
    void appendText(String& out) const override { out.append(m_value.view()); }
    // The number the text starts with (see util::stringToDouble); 0 when it starts with none.
    double getDouble() const override;
    // The text as a decimal integer, else its number truncated toward zero.
    int64_t getInteger() const override;
    // True exactly for "true" (A to Z folded), "1" and "1.".
    bool getBool() const override;
    void assignFrom(const Value& source) override;
    Ptr<Value> cloneValue() const override { return makePtr<StringValue>(m_value); }
    void clear() override { m_value = String::empty(); }

    const String& get() const noexcept { return m_value; }
    String& get() noexcept { return m_value; }
    // A copy keeps the value's own storage when it is large enough: a node that sets its result
    // record after record allocates nothing.
    void set(const String& value) { m_value = value; }
    void set(String&& value) { m_value = std::move(value); }

    // The conversions of a text, shared with the text arrays.
    static double textToDouble(const String& text);
    static int64_t textToInteger(const String& text);
    static bool textToBool(const String& text);

  protected:
    int compareSameRank(const Value& other) const override;

  private:
    String m_value;
};

class DoubleValue final : public Value {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.DoubleValue"};
    DoubleValue() = default;
    explicit DoubleValue(double value) : m_value(value) {}
    const ClassTag& getClassTag() const override { return Tag; }
    Kind kind() const noexcept override { return Kind::Double; }
    const char16_t* getClassName() const noexcept override { return u"Double"; }

    void appendText(String& out) const override;
    double getDouble() const override { return m_value; }
    int64_t getInteger() const override;
    // True unless exactly 0 (a NaN is true).
    bool getBool() const override { return m_value != 0.0; }
    void assignFrom(const Value& source) override { m_value = source.getDouble(); }
    Ptr<Value> cloneValue() const override { return makePtr<DoubleValue>(m_value); }
    void clear() override { m_value = 0.0; }

    double get() const noexcept { return m_value; }
    void set(double value) noexcept { m_value = value; }

  private:
    double m_value = 0.0;
};

class IntegerValue final : public Value {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.IntegerValue"};
    IntegerValue() = default;
    explicit IntegerValue(int64_t value) : m_value(value) {}
    const ClassTag& getClassTag() const override { return Tag; }
    Kind kind() const noexcept override { return Kind::Integer; }
    const char16_t* getClassName() const noexcept override { return u"Long"; }

    void appendText(String& out) const override;
    double getDouble() const override { return double(m_value); }
    int64_t getInteger() const override { return m_value; }
    bool getBool() const override { return m_value != 0; }
    void assignFrom(const Value& source) override { m_value = source.getInteger(); }
    Ptr<Value> cloneValue() const override { return makePtr<IntegerValue>(m_value); }
    void clear() override { m_value = 0; }

    int64_t get() const noexcept { return m_value; }
    void set(int64_t value) noexcept { m_value = value; }

  private:
    int64_t m_value = 0;
};

class BooleanValue final : public Value {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.BooleanValue"};
    BooleanValue() = default;
    explicit BooleanValue(bool value) : m_value(value) {}
    const ClassTag& getClassTag() const override { return Tag; }
    Kind kind() const noexcept override { return Kind::Boolean; }
    const char16_t* getClassName() const noexcept override { return u"Bool"; }

    void appendText(String& out) const override { out.append(m_value ? u"true" : u"false"); }
    double getDouble() const override { return m_value ? 1.0 : 0.0; }
    int64_t getInteger() const override { return m_value ? 1 : 0; }
    bool getBool() const override { return m_value; }
    void assignFrom(const Value& source) override { m_value = source.getBool(); }
    Ptr<Value> cloneValue() const override { return makePtr<BooleanValue>(m_value); }
    void clear() override { m_value = false; }

    bool get() const noexcept { return m_value; }
    void set(bool value) noexcept { m_value = value; }

  private:
    bool m_value = false;
};

}  // namespace strand
