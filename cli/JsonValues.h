#pragma once
// JSON to values and back, for commands that take records and globals as JSON and print them again
// (one object per record, so JSON Lines is one call per line).
//
// Reading: a JSON object becomes properties, in member order. An integer becomes an IntegerValue (one
// outside the 64-bit range a DoubleValue), any other number a DoubleValue, a string a StringValue, a
// boolean a BooleanValue, null a property without a value. An array becomes the array value of its
// elements' kind: IntegerArrayValue, DoubleArrayValue (numbers, at least one not an integer),
// StringArrayValue or BooleanArrayValue; an empty array, one mixing kinds or holding null becomes a
// ValueArrayValue of each element's own value. Objects inside the object and arrays inside arrays are
// refused. Text is UTF-8, decoded strictly; a \uXXXX escape is one 16-bit code unit, so a lone
// surrogate written by the writer reads back as it was.
//
// Writing: null values and properties without a value as null, texts as strings (UTF-8, a lone
// surrogate as its \uXXXX escape), numbers in their shortest round-trip text (NaN, Infinity and
// -Infinity, which JSON has no numbers for, as the strings "NaN", "Infinity" and "-Infinity"),
// booleans as true and false, arrays as arrays of their elements, anything else (byte arrays, bitsets,
// dates) as a string of its text. A double with an integral value is written without a fraction and so
// reads back as an integer.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "host/PropertyCollection.h"
#include "host/Value.h"

namespace strand::cli {

// The longest property name the readers take, in characters (16-bit code units): a longer one is taken
// for damaged input rather than read into a name many times its size.
inline constexpr size_t kMaxNameLength = size_t(64) << 10;
// Objects and arrays inside one another in a record, at most.
inline constexpr int kMaxJsonDepth = 512;

// One JSON scalar as read: a null, boolean, integer, number (Double) or text.
struct JsonScalar {
    Value::Kind kind = Value::Kind::Null;
    int64_t integer = 0;
    double number = 0.0;
    bool flag = false;
    String text;

    Ptr<Value> toValue() const;
    double toDouble() const { return kind == Value::Kind::Integer ? double(integer) : number; }
};

// One member of a JSON object as read.
struct JsonField {
    String name;
    JsonScalar value;  // kind Array: the value is in `array`
    Ptr<Value> array;
    std::string_view raw;   // a number or text exactly as written (empty for other kinds)
    std::string rawName;    // the name as written when it holds no escape (the reader's cache)
    uint32_t nameHash = 0;  // of the name, A to Z folded

    // The value a property takes; null for a JSON null.
    Ptr<Value> toValue() const;
};

// Reads JSON objects into property collections. One reader keeps its parser and buffers between calls,
// so a reader used for many objects allocates little after the first.
class JsonReader {
  public:
    JsonReader();
    ~JsonReader();
    JsonReader(const JsonReader&) = delete;
    JsonReader& operator=(const JsonReader&) = delete;

    // Nested objects (and arrays holding objects or arrays) become members named `outer.inner` and
    // `outer.1.inner`; with flattening off (the default) they are refused.
    void setFlatten(bool flatten);

    // Defines one property in `target` for each member of the JSON object, in member order; a member
    // whose name is already there changes that property. Raises strand::Exception for input that is
    // not one JSON object of members a property can hold; `target` is then left unchanged.
    void readObjectInto(std::string_view json, iPropertyCollection& target);
    // Reads one JSON object as its members, in member order (a repeated name appears twice), under the
    // same rules. The members, and the raw texts inside them, stay valid until the next read.
    std::span<const JsonField> readFields(std::string_view json);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Appends the JSON form of a value.
void writeValue(const Value& value, std::string& out);
// Appends one JSON object of the collection's properties, in collection order; names a.b nest (see
// writeNestedObject).
void writeObject(const iPropertyCollection& properties, std::string& out);
// Appends one JSON object of `count` members whose names a.b and a.1.b nest as objects and arrays (kids
// named 1, 2, 3 ... in order make an array), as the reader flattened them; `value` appends member i's
// value. False, and nothing appended, when the names cannot nest (a name that is both a value and an
// object, an empty part).
bool writeNestedObject(size_t count, const std::function<std::u16string_view(size_t)>& name,
                       const std::function<void(size_t, std::string&)>& value, std::string& out);
// Appends 16-bit text as a JSON string; a null text is written as null.
void writeString(const String& text, std::string& out);

}  // namespace strand::cli
