#pragma once
// The byte-stream record of a value: a class code (a compact integer), then the value's content in the
// primitives of ByteStream.h. Every value class a property, a parameter or a state collection can hold
// has a code; docs/streams.md gives every byte. Reading refuses unknown codes, and counts beyond what
// the class can hold, before reading on.

#include "host/ByteStream.h"
#include "host/Value.h"

namespace strand::stream {

// The codes of the value classes. 0 is a property without a value object.
enum class ValueCode : int32_t {
    None = 0,
    Null = 1,
    String = 2,
    Double = 3,
    Integer = 4,
    Boolean = 5,
    DateTime = 6,
    StringArray = 7,
    DoubleArray = 8,
    IntegerArray = 9,
    BooleanArray = 10,
    ByteArray = 11,
    ValueArray = 12,
    IntegerFingerprint = 13,
    DoubleFingerprint = 14,
    StringFingerprint = 15,
    Bitset = 16,
    BitFingerprint = 17,
};

// Writes a value (null: a property without a value object); raises for a class with no code.
void writeValue(iByteOutputStream& out, const Value* value);
// Reads one value record; null for code 0.
Ptr<Value> readValue(iByteInputStream& in);

}  // namespace strand::stream
