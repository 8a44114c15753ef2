#include "host/ByteStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/ArrayValues.h"
#include "host/BitsetValue.h"
#include "host/DateTimeValue.h"
#include "host/PropertyCollection.h"
#include "host/ValueStream.h"
#include "TestData.h"

using namespace strand;
using Bytes = std::vector<uint8_t>;

namespace {

using strand::test::valuesOf;

using strand::test::hexBytes;

template <typename Write>
Bytes written(int32_t version, Write write) {
    MemoryOutputStream out(version);
    write(out);
    return out.bytes();
}

Bytes intBytes(int32_t v) {
    return written(2, [&](auto& out) { stream::writeInt(out, v); });
}

Bytes stringBytes(const String& s, int32_t version) {
    return written(version, [&](auto& out) { stream::writeString(out, s); });
}

// The message of what reading the bytes raises ("" when nothing is raised).
template <typename Read>
std::string failure(const Bytes& bytes, Read read, int32_t version = 2) {
    MemoryInputStream in(bytes, version);
    try {
        read(in);
    } catch (const Exception& e) {
        return e.getMessage().toUtf8();
    }
    return "";
}

std::string readIntFailure(const Bytes& bytes) {
    return failure(bytes, [](auto& in) { stream::readInt(in); });
}

std::string readStringFailure(const Bytes& bytes, int32_t version = 2) {
    return failure(
        bytes, [](auto& in) { stream::readString(in); }, version);
}

String readStringFrom(const Bytes& bytes, int32_t version = 2) {
    MemoryInputStream in(bytes, version);
    String s = stream::readString(in);
    EXPECT_EQ(in.remaining(), 0u);
    return s;
}

TEST(ByteStream, CompactIntegersHaveTheDocumentedBytesAndRoundTrip) {
    // Each row: the value, then its bytes.
    for (const char* row :
         {"0 00", "-1 FC", "15 3C", "-16 C0", "16 0110", "-17 01EF", "127 017F", "-128 0180", "128 028000",
          "201 02C900", "-129 027FFF", "18267 025B47", "32767 02FF7F", "-32768 020080", "32768 0300800000",
          "-32769 03FF7FFFFF", "40000 03409C0000", "2147483647 03FFFFFF7F", "-2147483648 0300000080"}) {
        const std::string_view text(row);
        const int32_t value = std::stoi(std::string(text.substr(0, text.find(' '))));
        const Bytes bytes = hexBytes(text.substr(text.find(' ') + 1));
        EXPECT_EQ(intBytes(value), bytes) << row;
        EXPECT_EQ(stream::intSize(value), bytes.size()) << row;
        MemoryInputStream in(bytes);
        EXPECT_EQ(stream::readInt(in), value) << row;
        EXPECT_EQ(in.remaining(), 0u);
    }
    // Any other header byte is the short form.
    for (auto [header, value] : {std::pair<uint8_t, int32_t>{0x05, 1}, {0x07, 1}, {0x7F, 31}, {0x80, -32}}) {
        MemoryInputStream in(Bytes{header});
        EXPECT_EQ(stream::readInt(in), value) << int(header);
    }
    EXPECT_EQ(readIntFailure({}), "EOF reading int header");
    EXPECT_EQ(readIntFailure({0x01}), "EOF reading int as byte");
    EXPECT_EQ(readIntFailure({0x02}), "EOF reading int as short");
    EXPECT_EQ(readIntFailure({0x02, 0x01}), "EOF reading int as short");
    EXPECT_EQ(readIntFailure({0x03, 0x01, 0x02, 0x03}), "EOF reading int as int");
    EXPECT_EQ(failure({}, [](auto& in) { stream::readBool(in); }), "EOF reading bool");
    EXPECT_EQ(written(2, [](auto& out) { stream::writeBool(out, true); }), (Bytes{0x01}));
    EXPECT_EQ(written(2, [](auto& out) { stream::writeBool(out, false); }), (Bytes{0x00}));
    MemoryInputStream in(Bytes{0x00, 0x01, 0x80});
    EXPECT_FALSE(stream::readBool(in));
    EXPECT_TRUE(stream::readBool(in));
    EXPECT_TRUE(stream::readBool(in));
}

TEST(ByteStream, TextsInBothFormsNullAndEmptyOnEveryVersion) {
    for (int32_t version : {-1, 0, 1, 2, 3}) {
        EXPECT_EQ(stringBytes(String(), version), (Bytes{0x00})) << version;
        EXPECT_EQ(stringBytes(String::empty(), version), (Bytes{0x04})) << version;
        EXPECT_EQ(written(version, [](auto& out) { stream::writeText(out, nullptr, 0); }), (Bytes{0x00}));
        EXPECT_EQ(written(version, [](auto& out) { stream::writeText(out, u"", 0); }), (Bytes{0x04}));
        EXPECT_TRUE(readStringFrom({0x00}, version).isNull());
        const String empty = readStringFrom({0x04}, version);
        EXPECT_FALSE(empty.isNull());
        EXPECT_TRUE(empty.isEmpty());
    }
    EXPECT_EQ(stringBytes(String(u"abc"), 2), (Bytes{0x10, 0x61, 0x62, 0x63}));
    EXPECT_EQ(stringBytes(String(u"abc"), 1), (Bytes{0x10, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00}));
    EXPECT_EQ(stringBytes(String(u"\u00E9"), 2), (Bytes{0x08, 0xC3, 0xA9}));
    EXPECT_EQ(stringBytes(String(u"\u20AC"), 2), (Bytes{0x08, 0xE2, 0x82, 0xAC}));
    EXPECT_EQ(stringBytes(String(u"\u20AC"), 1), (Bytes{0x08, 0xAC, 0x20}));
    // A surrogate pair is two code units, each written on its own.
    EXPECT_EQ(stringBytes(String(u"\U0001F600"), 2), (Bytes{0x0C, 0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
    // F0 9F 98 80 is U+1F600 as UTF-8: its low 16 bits are F600.
    EXPECT_EQ(readStringFrom({0x08, 0xF0, 0x9F, 0x98, 0x80}), String(u"\uF600"));
    EXPECT_EQ(readStringFrom({0x08, 0xF8, 0x80, 0x80, 0x81, 0x81}), String(u"\u0041"));
    EXPECT_EQ(readStringFrom({0x08, 0xFD, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}), String(u"\uFFFF"));
    // Overlong forms decode by the rule.
    EXPECT_EQ(readStringFrom({0x08, 0xC1, 0x81}), String(u"A"));
}

TEST(ByteStream, EveryCodeUnitRoundTripsThroughVersionTwo) {
    std::u16string all;
    for (uint32_t c = 0; c <= 0xFFFF; ++c)
        all.push_back(char16_t(c));
    const String text(all);
    for (int32_t version : {1, 2}) {
        EXPECT_EQ(readStringFrom(stringBytes(text, version), version), text) << version;
    }
    // One by one, each the only unit of its text.
    for (uint32_t c = 0; c <= 0xFFFF; ++c) {
        const String one(std::u16string(1, char16_t(c)));
        ASSERT_EQ(readStringFrom(stringBytes(one, 2)), one) << c;
    }
}

TEST(ByteStream, StringFailuresCorruptSequencesAndHostileCounts) {
    EXPECT_EQ(readStringFailure({0x10, 0x61}), "EOF reading byte 2 in string of length 3");
    EXPECT_EQ(readStringFailure({0x10}), "EOF reading byte 1 in string of length 3");
    EXPECT_EQ(readStringFailure({0x08, 0xE2, 0x82}), "EOF reading wchar_t additional bytes");
    EXPECT_EQ(readStringFailure({0x10, 0x61, 0x00, 0x62}, 1), "EOF reading wchar_t additional bytes");
    EXPECT_EQ(readStringFailure({0x08, 0x41}, 0), "Unknown serialization version 0\n");
    EXPECT_EQ(readStringFailure({0x08, 0x41}, -3), "Unknown serialization version -3\n");
    EXPECT_EQ(readStringFailure({}), "EOF reading int header");
    // Writing text to a stream of no known version.
    auto writeFailure = [](auto write) {
        return failure({}, [&](auto&) {
            MemoryOutputStream out(0);
            write(out);
        });
    };
    EXPECT_EQ(writeFailure([](auto& out) { stream::writeString(out, String(u"a")); }),
              "iByteOutputStream::String: Unknown serialization version 0\n");
    EXPECT_EQ(writeFailure([](auto& out) { stream::writeText(out, u"a", 1); }),
              "Unknown serialization version 0\n");
    // A continuation byte that is not one: the text would swallow the byte after it.
    EXPECT_EQ(readStringFailure({0x08, 0xC3, 0x41}),
              "Invalid continuation byte 0x41 at byte 1 in string of length 1");
    EXPECT_EQ(readStringFailure({0x0C, 0x61, 0xE2, 0x82, 0xC0}),
              "Invalid continuation byte 0xC0 at byte 2 in string of length 2");
    for (uint8_t lead : {0x80, 0x9F, 0xBF, 0xFE, 0xFF}) {
        EXPECT_NE(readStringFailure({0x08, lead, 0x80, 0x80}).find("Invalid lead byte"), std::string::npos)
            << int(lead);
    }
    EXPECT_EQ(readStringFailure({0xFC}), "Negative string length -1 in the stream");
    EXPECT_EQ(readStringFailure({0x03, 0x00, 0x00, 0x00, 0x80}),
              "Negative string length -2147483648 in the stream");
    // 2^31 - 1 announced, three bytes given: a short read, not a 4-gigabyte buffer.
    EXPECT_EQ(readStringFailure({0x03, 0xFF, 0xFF, 0xFF, 0x7F, 0x61, 0x62, 0x63}, 1),
              "EOF reading wchar_t additional bytes");
    EXPECT_EQ(readStringFailure({0x03, 0x01, 0x00, 0x00, 0x40, 0x61, 0x62, 0x63}, 1),
              "EOF reading wchar_t additional bytes");
    EXPECT_EQ(readStringFailure({0x03, 0xFF, 0xFF, 0xFF, 0x7F, 0x61}),
              "EOF reading byte 2 in string of length 2147483646");
    EXPECT_EQ(failure({0xFC}, [](auto& in) { stream::readCount(in, u"group"); }),
              "Negative group count -1 in the stream");
}

// --- host records ------------------------------------------------------------------------------

Bytes valueBytes(const Value* value) {
    return written(2, [&](auto& out) { stream::writeValue(out, value); });
}

Ptr<Value> valueFrom(const Bytes& bytes) {
    MemoryInputStream in(bytes);
    Ptr<Value> value = stream::readValue(in);
    EXPECT_EQ(in.remaining(), 0u);
    return value;
}

TEST(ValueStream, ScalarRecordsHaveTheDocumentedBytes) {
    EXPECT_EQ(valueBytes(nullptr), (Bytes{0x00}));
    auto bytesOf = [](const Value& value) { return valueBytes(&value); };
    EXPECT_EQ(bytesOf(NullValue()), (Bytes{0x04}));
    EXPECT_EQ(bytesOf(StringValue(String(u"ab"))), (Bytes{0x08, 0x0C, 0x61, 0x62}));
    EXPECT_EQ(bytesOf(DoubleValue(1.0)), (Bytes{0x0C, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(bytesOf(IntegerValue(-2)), (Bytes{0x10, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bytesOf(BooleanValue(true)), (Bytes{0x14, 0x01}));
    EXPECT_EQ(bytesOf(StringArrayValue(std::vector<String>{String(u"x"), String()})),
              (Bytes{0x1C, 0x08, 0x08, 0x78, 0x00}));
    BitsetValue bits(10);
    bits.setOn(0);
    bits.setOn(9);
    EXPECT_EQ(bytesOf(bits), (Bytes{0x01, 0x10, 0x28, 0x01, 0x02}));
}

TEST(ValueStream, EveryClassRoundTripsAndHostileRecordsFail) {
    auto date = makePtr<DateTimeValue>();
    date->set(2024, 2, 29, 13, 5, 59, 7);
    auto integers = makePtr<IntegerFingerprintValue>();
    integers->add(7);
    auto mixed = makePtr<ValueArrayValue>();
    mixed->appendElement(StringValue(String(u"s")));
    mixed->appendElement(DoubleValue(2));
    const std::vector<Ptr<Value>> values =
        valuesOf(makePtr<NullValue>(), makePtr<StringValue>(String(u"t\u00E9xt")), makePtr<DoubleValue>(-0.5),
                 makePtr<IntegerValue>(INT64_MIN), makePtr<BooleanValue>(false), date,
                 makePtr<StringArrayValue>(std::vector<String>{String(u"a"), String::empty()}),
                 makePtr<DoubleArrayValue>(std::vector<double>{1.25}), integers,
                 makePtr<BooleanArrayValue>(std::vector<uint8_t>{1, 0}),
                 makePtr<ByteArrayValue>(std::vector<uint8_t>{0xFF}), mixed, makePtr<BitFingerprintValue>(3));
    for (const Ptr<Value>& value : values) {
        const Bytes first = valueBytes(value.get());
        Ptr<Value> back = valueFrom(first);
        ASSERT_TRUE(back);
        EXPECT_STREQ(back->getClassTag().getName(), value->getClassTag().getName());
        EXPECT_EQ(back->compare(*value), 0) << back->toString().toUtf8();
        EXPECT_EQ(valueBytes(back.get()), first);
    }
    auto readFailure = [](const Bytes& bytes) {
        return failure(bytes, [](auto& in) { stream::readValue(in); });
    };
    EXPECT_EQ(readFailure({0x01, 0x70}), "Unknown value class code 112 in the stream");
    EXPECT_EQ(readFailure({0x1C, 0xFC}), "Negative element count -1 in the stream");
    EXPECT_EQ(readFailure({0x1C, 0x03, 0xFF, 0xFF, 0xFF, 0x7F}),
              "Array of 2147483647 elements in the stream is larger than 16777216");
    EXPECT_EQ(readFailure({0x1C, 0x03, 0x00, 0x00, 0x00, 0x01}), "EOF reading int header");
    EXPECT_EQ(readFailure({0x40, 0x03, 0x00, 0x00, 0x00, 0x10}), "EOF reading bitset bytes");
    EXPECT_EQ(readFailure({0x0C, 0x00}), "EOF reading a double");
    // Value arrays inside value arrays, 100,000 deep.
    Bytes deep;
    for (int i = 0; i < 100000; ++i)
        deep.insert(deep.end(), {0x30, 0x04});
    EXPECT_EQ(readFailure(deep), "A value record nested too deeply: more than 64 levels");
}

TEST(PropertyStream, CollectionRecordsRoundTripAndRefuseDuplicates) {
    auto collection = CPropertyCollection::newInstance();
    collection->define(String(u"a"), StringValue(String(u"x")), 3);
    collection->define(String(u"b"), DoubleValue(1.5), 0);
    collection->define(String(u"c"), 0);
    MemoryOutputStream out;
    collection->serialize(out);
    // version, count, then a: version, name, flags, value.
    const Bytes& bytes = out.bytes();
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ((Bytes(bytes.begin(), bytes.begin() + 8)),
              (Bytes{0x04, 0x0C, 0x04, 0x08, 0x61, 0x0C, 0x08, 0x08}));
    auto back = CPropertyCollection::newInstance();
    back->define(String(u"old"), 0);
    MemoryInputStream in(bytes);
    back->deserialize(in);
    ASSERT_EQ(back->getSize(), 3);
    EXPECT_EQ(back->get(0)->getValue().toString(), String(u"x"));
    EXPECT_EQ(back->get(0)->getInfo()->getMetaDataFlags(), 3u);
    EXPECT_EQ(back->get(1)->getValue().getDouble(), 1.5);
    EXPECT_TRUE(back->get(2)->hasNullValue());
    MemoryOutputStream again;
    back->serialize(again);
    EXPECT_EQ(again.bytes(), bytes);
    const Bytes twice{0x04, 0x08, 0x04, 0x08, 0x61, 0x00, 0x00, 0x04, 0x08, 0x41, 0x00, 0x00};
    EXPECT_EQ(failure(twice, [](auto& in) { CPropertyCollection::newInstance()->deserialize(in); }),
              "The property name 'A' is given twice in the stream");
    EXPECT_EQ(failure({0x08}, [](auto& in) { CPropertyCollection::newInstance()->deserialize(in); }),
              "Deserialization version mismatch (2 , 1)");
}

}  // namespace
