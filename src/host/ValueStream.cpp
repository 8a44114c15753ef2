#include "host/ValueStream.h"

#include <vector>

#include "host/ArrayValues.h"
#include "host/BitsetValue.h"
#include "host/DateTimeValue.h"
#include "host/Nesting.h"

namespace strand::stream {

namespace {

struct Codes {
    const ClassTag* tag;
    ValueCode code;
};

// Classes by exact tag: a class derived from one of these has a record only when it is listed itself.
constexpr Codes kCodes[] = {
    {&NullValue::Tag, ValueCode::Null},
    {&StringValue::Tag, ValueCode::String},
    {&DoubleValue::Tag, ValueCode::Double},
    {&IntegerValue::Tag, ValueCode::Integer},
    {&BooleanValue::Tag, ValueCode::Boolean},
    {&DateTimeValue::Tag, ValueCode::DateTime},
    {&StringArrayValue::Tag, ValueCode::StringArray},
    {&DoubleArrayValue::Tag, ValueCode::DoubleArray},
    {&IntegerArrayValue::Tag, ValueCode::IntegerArray},
    {&BooleanArrayValue::Tag, ValueCode::BooleanArray},
    {&ByteArrayValue::Tag, ValueCode::ByteArray},
    {&ValueArrayValue::Tag, ValueCode::ValueArray},
    {&IntegerFingerprintValue::Tag, ValueCode::IntegerFingerprint},
    {&DoubleFingerprintValue::Tag, ValueCode::DoubleFingerprint},
    {&StringFingerprintValue::Tag, ValueCode::StringFingerprint},
    {&BitsetValue::Tag, ValueCode::Bitset},
    {&BitFingerprintValue::Tag, ValueCode::BitFingerprint},
};

ValueCode codeOf(const Value& value) {
    for (const Codes& entry : kCodes) {
        if (value.getClassTag() == *entry.tag)
            return entry.code;
    }
    throw Exception(u"A value of class %s cannot be written to a stream", value.getClassTag().getName());
}

// The element count of an array record: not negative and within what an array may hold.
int32_t readElementCount(iByteInputStream& in) {
    const int32_t count = readCount(in, u"element");
    if (count > ArrayValue::kMaxSize)
        throw Exception(u"Array of %d elements in the stream is larger than %d", count, ArrayValue::kMaxSize);
    return count;
}

template <typename A, typename WriteElem>
void writeArray(iByteOutputStream& out, const Value& value, WriteElem writeElem) {
    const auto& array = static_cast<const A&>(value);
    writeInt(out, array.getSize());
    for (int32_t i = 0; i < array.getSize(); ++i)
        writeElem(array.get(i));
}

// Elements are appended as they arrive: the count announced reserves nothing.
template <typename A, typename ReadElem>
Ptr<Value> readArray(iByteInputStream& in, ReadElem readElem) {
    Ptr<A> array = makePtr<A>();
    for (int32_t i = 0, count = readElementCount(in); i < count; ++i)
        array->add(readElem());
    return array;
}

void writeBits(iByteOutputStream& out, const BitsetValue& bits) {
    writeInt(out, bits.getSize());
    uint8_t byte = 0;
    for (int32_t i = 0; i < bits.getSize(); ++i) {
        if (bits.isOn(i))
            byte = uint8_t(byte | (1u << (i % 8)));
        if (i % 8 == 7 || i + 1 == bits.getSize()) {
            writeByte(out, byte);
            byte = 0;
        }
    }
}

template <typename B>
Ptr<Value> readBits(iByteInputStream& in) {
    const int32_t size = readCount(in, u"bit");
    if (size > BitsetValue::kMaxBits)
        throw Exception(u"Bitset of %d bits in the stream is larger than %d", size, BitsetValue::kMaxBits);
    // The bytes first, then the bitset of their size: a count with nothing after it allocates nothing.
    std::vector<uint8_t> bytes;
    for (int64_t i = 0; i < (int64_t(size) + 7) / 8; ++i)
        bytes.push_back(readByte(in, u"EOF reading bitset bytes"));
    Ptr<B> bits = makePtr<B>(size);
    for (int32_t i = 0; i < size; ++i) {
        if (bytes[size_t(i / 8)] & (1u << (i % 8)))
            bits->setOn(i);
    }
    return bits;
}

void writeDateTime(iByteOutputStream& out, const DateTimeValue& date) {
    const calendar::Fields& f = date.fields();
    for (int32_t field : {f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond})
        writeInt(out, field);
    writeString(out, date.getDateTimeFormat());
}

Ptr<Value> readDateTime(iByteInputStream& in) {
    int32_t f[7];
    for (int32_t& field : f)
        field = readInt(in);
    Ptr<DateTimeValue> date = makePtr<DateTimeValue>();
    date->set(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
    // A new value has no format (the null text); only a format given is set.
    if (const String format = readString(in); !format.isNull())
        date->setDateTimeFormat(format.view());
    return date;
}

}  // namespace

void writeValue(iByteOutputStream& out, const Value* value) {
    if (!value)
        return writeInt(out, int32_t(ValueCode::None));
    const ValueCode code = codeOf(*value);
    writeInt(out, int32_t(code));
    switch (code) {
        case ValueCode::None:
        case ValueCode::Null:
            return;
        case ValueCode::String:
            return writeString(out, static_cast<const StringValue*>(value)->get());
        case ValueCode::Double:
            return writeDouble(out, static_cast<const DoubleValue*>(value)->get());
        case ValueCode::Integer:
            return writeInt64(out, static_cast<const IntegerValue*>(value)->get());
        case ValueCode::Boolean:
            return writeBool(out, static_cast<const BooleanValue*>(value)->get());
        case ValueCode::DateTime:
            return writeDateTime(out, *static_cast<const DateTimeValue*>(value));
        case ValueCode::StringArray:
        case ValueCode::StringFingerprint:
            return writeArray<StringArrayValue>(out, *value, [&](const String& s) { writeString(out, s); });
        case ValueCode::DoubleArray:
        case ValueCode::DoubleFingerprint:
            return writeArray<DoubleArrayValue>(out, *value, [&](double d) { writeDouble(out, d); });
        case ValueCode::IntegerArray:
        case ValueCode::IntegerFingerprint:
            return writeArray<IntegerArrayValue>(out, *value, [&](int64_t i) { writeInt64(out, i); });
        case ValueCode::BooleanArray:
            return writeArray<BooleanArrayValue>(out, *value, [&](uint8_t b) { writeBool(out, b != 0); });
        case ValueCode::ByteArray:
            return writeArray<ByteArrayValue>(out, *value, [&](uint8_t b) { writeByte(out, b); });
        case ValueCode::ValueArray: {
            NestingGuard guard(u"A value record");
            const auto& array = *static_cast<const ValueArrayValue*>(value);
            writeInt(out, array.getSize());
            for (int32_t i = 0; i < array.getSize(); ++i)
                writeValue(out, &array.elementRef(i));
            return;
        }
        case ValueCode::Bitset:
        case ValueCode::BitFingerprint:
            return writeBits(out, *static_cast<const BitsetValue*>(value));
    }
}

Ptr<Value> readValue(iByteInputStream& in) {
    const int32_t code = readInt(in);
    switch (ValueCode(code)) {
        case ValueCode::None:
            return nullptr;
        case ValueCode::Null:
            return makePtr<NullValue>();
        case ValueCode::String:
            return makePtr<StringValue>(readString(in));
        case ValueCode::Double:
            return makePtr<DoubleValue>(readDouble(in));
        case ValueCode::Integer:
            return makePtr<IntegerValue>(readInt64(in));
        case ValueCode::Boolean:
            return makePtr<BooleanValue>(readBool(in));
        case ValueCode::DateTime:
            return readDateTime(in);
        case ValueCode::StringArray:
            return readArray<StringArrayValue>(in, [&] { return readString(in); });
        case ValueCode::StringFingerprint:
            return readArray<StringFingerprintValue>(in, [&] { return readString(in); });
        case ValueCode::DoubleArray:
            return readArray<DoubleArrayValue>(in, [&] { return readDouble(in); });
        case ValueCode::DoubleFingerprint:
            return readArray<DoubleFingerprintValue>(in, [&] { return readDouble(in); });
        case ValueCode::IntegerArray:
            return readArray<IntegerArrayValue>(in, [&] { return readInt64(in); });
        case ValueCode::IntegerFingerprint:
            return readArray<IntegerFingerprintValue>(in, [&] { return readInt64(in); });
        case ValueCode::BooleanArray:
            return readArray<BooleanArrayValue>(in, [&] { return uint8_t(readBool(in) ? 1 : 0); });
        case ValueCode::ByteArray:
            return readArray<ByteArrayValue>(in, [&] { return readByte(in, u"EOF reading byte array"); });
        case ValueCode::ValueArray: {
            NestingGuard guard(u"A value record");
            Ptr<ValueArrayValue> array = makePtr<ValueArrayValue>();
            for (int32_t i = 0, count = readElementCount(in); i < count; ++i) {
                Ptr<Value> element = readValue(in);
                array->appendElement(element ? *element : static_cast<const Value&>(NullValue::instance()));
            }
            return array;
        }
        case ValueCode::Bitset:
            return readBits<BitsetValue>(in);
        case ValueCode::BitFingerprint:
            return readBits<BitFingerprintValue>(in);
    }
    throw Exception(u"Unknown value class code %d in the stream", code);
}

}  // namespace strand::stream
