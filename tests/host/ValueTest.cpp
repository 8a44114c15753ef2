#include "host/ArrayValues.h"
#include "host/BitsetValue.h"
#include "host/Value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>
#include "TestData.h"

using namespace strand;

namespace {

using strand::test::valuesOf;
String text(const Value& v) {
    return v.toString();
}

}  // namespace

TEST(Value, ScalarFormsAndTextConversions) {
    EXPECT_EQ(text(DoubleValue(3)), u"3");
    EXPECT_EQ(text(DoubleValue(0.5)), u"0.5");
    EXPECT_EQ(text(DoubleValue(std::nan(""))), u"NaN");
    EXPECT_TRUE(DoubleValue(std::nan("")).getBool());
    EXPECT_FALSE(DoubleValue(-0.0).getBool());
    EXPECT_EQ(DoubleValue(-2.9).getInteger(), -2);
    EXPECT_EQ(text(IntegerValue(-9007199254740993LL)), u"-9007199254740993");
    EXPECT_EQ(text(BooleanValue(true)), u"true");
    EXPECT_EQ(BooleanValue(true).getDouble(), 1.0);
    EXPECT_TRUE(NullValue().toString().isNull());
    struct Case {
        const char16_t* text;
        double number;
        int64_t integer;
        bool boolean;
    };
    const Case cases[] = {
        {u"12", 12, 12, false},     {u"  1.5e3xyz", 1500, 1500, false},
        {u"", 0, 0, false},         {u"true", 0, 0, true},
        {u"1", 1, 1, true},         {u"1.", 1, 1, true},
        {u"-7.9", -7.9, -7, false}, {u"9223372036854775807", 9223372036854775807.0, INT64_MAX, false},
    };
    for (const Case& c : cases) {
        StringValue v{String(c.text)};
        EXPECT_EQ(v.getDouble(), c.number) << String(c.text).toUtf8();
        EXPECT_EQ(v.getInteger(), c.integer) << String(c.text).toUtf8();
        EXPECT_EQ(v.getBool(), c.boolean) << String(c.text).toUtf8();
    }
}

TEST(Value, AssignToConvertsIntoTheTargetClass) {
    auto into = [](auto target, const Value& from) {
        from.assignTo(target);
        return target.toString();
    };
    EXPECT_EQ(into(DoubleValue(), StringValue(String(u"2.5"))), u"2.5");
    EXPECT_EQ(into(IntegerValue(), StringValue(String(u"12"))), u"12");
    EXPECT_EQ(into(BooleanValue(), IntegerValue(5)), u"true");
    StringValue s;
    DoubleValue(0.25).assignTo(s);
    EXPECT_EQ(s.get(), u"0.25");
    NullValue().assignTo(s);
    EXPECT_TRUE(s.get().isNull());
    StringArrayValue texts;
    DoubleArrayValue({1.5, 2, 3}).assignTo(texts);
    EXPECT_EQ(text(texts), u"1.5;2;3");
    IntegerArrayValue ints;
    texts.assignTo(ints);
    EXPECT_EQ(ints.items(), (std::vector<int64_t>{1, 2, 3}));
    DoubleValue(7).assignTo(texts);
    EXPECT_EQ(texts.getSize(), 1);
    NullValue().assignTo(texts);
    EXPECT_EQ(texts.getSize(), 0);
}

TEST(Value, ByteArraysAndBitsets) {
    ByteArrayValue bytes;
    StringValue(String(u"A\u00E9")).assignTo(bytes);
    EXPECT_EQ(bytes.items(), (std::vector<uint8_t>{0x41, 0xC3, 0xA9}));
    EXPECT_EQ(text(bytes), u"41C3A9");
    EXPECT_EQ(bytes.getNumValues(), 3);
    BitsetValue bits(12);
    bits.setOn(0);
    bits.setOn(11);
    bits.assignTo(bytes);
    EXPECT_EQ(bytes.items(), (std::vector<uint8_t>{0x01, 0x08}));
    BitsetValue back;
    bytes.assignTo(back);
    EXPECT_EQ(back.getSize(), 16);
    EXPECT_TRUE(back.isOn(0));
    EXPECT_TRUE(back.isOn(11));
    EXPECT_EQ(back.getNumBitsOn(), 2);
    // The script cases (tests/scripts/bitsets.eval) run the bit operations; here the edges of a set that
    // ends inside its second word, and the size limit.
    BitsetValue wide(70);
    wide.setOn(0);
    wide.setOn(7);
    wide.setOn(69);
    EXPECT_EQ(wide.getNext(7), 69);
    EXPECT_EQ(wide.getNext(69), -1);
    EXPECT_FALSE(wide.isOn(70));
    EXPECT_FALSE(wide.isOn(-1));
    EXPECT_THROW(wide.setOn(70), InvalidIndexException);
    EXPECT_THROW(wide.setOff(-1), InvalidIndexException);
    wide.flipAll();
    EXPECT_EQ(wide.getNumBitsOn(), 67);
    EXPECT_THROW(wide.resize(-1), Exception);
    EXPECT_THROW(wide.resize(BitsetValue::kMaxBits + 1), Exception);
    EXPECT_EQ(wide.getSize(), 70);
}

TEST(Value, ArrayEditingAndLimits) {
    StringArrayValue a({String(u"x"), String(u"y")});
    a.insertElement(1, DoubleValue(2));
    a.appendElement(BooleanValue(true));
    EXPECT_EQ(text(a), u"x;2;y;true");
    a.removeElement(0);
    EXPECT_EQ(a.getElement(0)->toString(), u"2");
    EXPECT_THROW(a.removeElement(3), InvalidIndexException);
    EXPECT_THROW(a.insertElement(5, DoubleValue(1)), InvalidIndexException);
    EXPECT_THROW(a.resize(-1), Exception);
    EXPECT_THROW(a.resize(ArrayValue::kMaxSize + 1), Exception);
    EXPECT_EQ(a.getSize(), 3);
    ValueArrayValue values;
    values.appendElement(DoubleValue(1));
    values.appendElement(StringValue(String(u"b")));
    values.resize(3);
    EXPECT_EQ(values.elementRef(2).kind(), Value::Kind::Null);
    EXPECT_EQ(text(values), u"1;b;");
    Ptr<Value> copy = values.cloneValue();
    EXPECT_EQ(copy->compare(values), 0);
}

TEST(Value, CompareIsATotalOrder) {
    std::vector<Ptr<Value>> values = valuesOf(
        makePtr<StringValue>(String(u"b")), makePtr<DoubleValue>(std::nan("")), makePtr<IntegerValue>(2),
        makePtr<DoubleValue>(1.5), makePtr<NullValue>(), makePtr<StringValue>(String(u"B")),
        makePtr<BooleanValue>(true), makePtr<DoubleValue>(-INFINITY), makePtr<StringValue>(String(u"a")),
        makePtr<DoubleValue>(2), makePtr<StringValue>(String()), makePtr<DoubleValue>(std::nan("")),
        makePtr<ByteArrayValue>(std::vector<uint8_t>{1}), makePtr<BitsetValue>(3),
        makePtr<StringArrayValue>(std::vector<String>{String(u"a")}));
    // Antisymmetry and transitivity over every triple: what a sort needs.
    for (auto& a : values) {
        EXPECT_EQ(a->compare(*a), 0);
        for (auto& b : values) {
            EXPECT_EQ(a->compare(*b), -b->compare(*a));
            for (auto& c : values) {
                if (a->compare(*b) <= 0 && b->compare(*c) <= 0) {
                    EXPECT_LE(a->compare(*c), 0);
                }
            }
        }
    }
    std::sort(values.begin(), values.end(),
              [](const Ptr<Value>& x, const Ptr<Value>& y) { return x->compare(*y) < 0; });
    std::vector<String> order;
    for (auto& v : values)
        order.push_back(v->toString());
    const std::vector<String> expected = {String(), u"-Infinity", u"true", u"1.5",   u"2",
                                          u"2",     u"NaN",       u"NaN",  String(), u"a",
                                          u"B",     u"b",         u"01",   u"000",   u"a"};
    EXPECT_EQ(order, expected);
    // Numbers of different classes compare by value; 2 and 2.0 differ only by class.
    EXPECT_LT(IntegerValue(2).compare(DoubleValue(2.5)), 0);
    EXPECT_NE(IntegerValue(2).compare(DoubleValue(2)), 0);
    EXPECT_LT(IntegerValue(INT64_MAX - 1).compare(IntegerValue(INT64_MAX)), 0);
    EXPECT_LT(DoubleValue(9007199254740992.0).compare(IntegerValue(9007199254740993LL)), 0);
}

// asArray answers from the value's kind; it must agree with the class hierarchy for every class.
TEST(Value, AsArrayAgreesWithTheClasses) {
    std::vector<Ptr<Value>> values =
        valuesOf(makePtr<NullValue>(), makePtr<StringValue>(), makePtr<DoubleValue>(1.0),
                 makePtr<IntegerValue>(1), makePtr<BooleanValue>(true), makePtr<StringArrayValue>(),
                 makePtr<DoubleArrayValue>(), makePtr<IntegerArrayValue>(), makePtr<BooleanArrayValue>(),
                 makePtr<ByteArrayValue>(), makePtr<ValueArrayValue>(), makePtr<BitsetValue>(),
                 makePtr<BitFingerprintValue>(), makePtr<IntegerFingerprintValue>(),
                 makePtr<DoubleFingerprintValue>(), makePtr<StringFingerprintValue>());
    for (const Ptr<Value>& value : values) {
        SCOPED_TRACE(String(value->getClassName()).toUtf8());
        EXPECT_EQ(value->asArray(), dynamic_cast<ArrayValue*>(value.get()));
    }
}
