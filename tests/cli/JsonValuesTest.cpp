// JSON to properties and back: the class each JSON form becomes, the refusals, the writer's escapes and
// numbers, and a record that goes through the writer and the reader unchanged.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "JsonValues.h"
#include "host/ArrayValues.h"
#include "host/BitsetValue.h"
#include "host/Exception.h"
#include "host/Property.h"

using namespace strand;

namespace {

Ptr<CPropertyCollection> read(std::string_view json, bool flatten = false) {
    auto target = CPropertyCollection::newInstance();
    cli::JsonReader reader;
    reader.setFlatten(flatten);
    reader.readObjectInto(json, *target);
    return target;
}

// The class name and text of the one member's value, or the refusal's message.
std::string readOne(std::string_view json) {
    try {
        auto target = read(json);
        const Value& value = target->get(0)->getValue();
        return String(value.getClassName()).toUtf8() + " " + value.toString().toUtf8();
    } catch (const Exception& e) {
        return "refused: " + e.getErrorMessageBlock().toUtf8();
    }
}

// Each member as name=value, or the refusal's message.
std::string members(std::string_view json, bool flatten = false) {
    try {
        auto target = read(json, flatten);
        std::string out;
        for (int32_t i = 0; i < target->getSize(); ++i)
            out += target->get(i)->getName().toUtf8() + "=" + target->get(i)->getValue().toString().toUtf8() +
                   " ";
        return out;
    } catch (const Exception& e) {
        return "refused: " + e.getErrorMessageBlock().toUtf8();
    }
}

std::string written(const Value& value) {
    std::string out;
    cli::writeValue(value, out);
    return out;
}

}  // namespace

TEST(JsonValues, ValuesTakeTheClassOfTheirJsonForm) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"v":42})", "Long 42"},
        {R"({"v":-9223372036854775808})", "Long -9223372036854775808"},
        {R"({"v":9223372036854775808})", "Double 9223372036854775808"},
        {R"({"v":-9223372036854775809})", "Double -9223372036854775808"},
        {R"({"v":1.0})", "Double 1"},
        {R"({"v":-1.5E-3})", "Double -0.0015"},
        {R"({"v":"a\"b\\c\/d\b\f\n\r\t"})", "String a\"b\\c/d\b\f\n\r\t"},
        {R"({"v":"\u0041\u00e9\ud83d\ude00"})", "String A\xC3\xA9\xF0\x9F\x98\x80"},
        {"{\"v\":\"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC\"}", "String \xC3\xA9t\xC3\xA9 \xE2\x82\xAC"},
        {R"({"v":true})", "Bool true"},
        {R"({"v":[1,2,3]})", "LongArray 1;2;3"},
        {R"({"v":[1,2.5]})", "DoubleArray 1;2.5"},
        {R"({"v":[1,9223372036854775808]})", "DoubleArray 1;9223372036854775808"},
        // Doubles only while every integer stays exact.
        {R"({"v":[9223372036854775807,0.5]})", "ValueArray 9223372036854775807;0.5"},
        // Past the range of a double a number keeps its text.
        {R"({"v":1e400})", "String 1e400"},
        {R"({"v":[-1E+400,1]})", "ValueArray -1E+400;1"},
        {R"({"v":["a","b"]})", "StringArray a;b"},
        {R"({"v":[true,false]})", "BooleanArray true;false"},
        {R"({"v":[]})", "ValueArray "},
        {R"({"v":[1,null,"x"]})", "ValueArray 1;;x"},
    };
    for (const auto& [json, expected] : cases)
        EXPECT_EQ(readOne(json), expected) << json;
}

TEST(JsonValues, MixedArraysKeepEachElementsClassNullHasNoValueAndLoneSurrogatesStay) {
    auto target = read(R"({"v":[1,2.5,"a",true,null],"n":null,"s":"x\ud800", "t":"\udc00"})");
    const auto* array = dynamic_cast<const ValueArrayValue*>(&target->get(0)->getValue());
    ASSERT_NE(array, nullptr);
    std::string classes;
    for (int32_t i = 0; i < array->getSize(); ++i)
        classes += String(array->elementRef(i).getClassName()).toUtf8() + " ";
    EXPECT_EQ(classes, "Long Double String Bool Null ");
    EXPECT_TRUE(target->get(1)->hasNullValue());
    // A \u escape of a lone surrogate reads as that one code unit.
    EXPECT_EQ(target->get(2)->getValue().toString().view(), (std::u16string{u'x', char16_t(0xD800)}));
    EXPECT_EQ(target->get(3)->getValue().toString().view(), std::u16string(1, char16_t(0xDC00)));
}

TEST(JsonValues, MembersKeepTheirOrderFlattenToDottedNamesAndMayNotNameOnePropertyTwice) {
    EXPECT_EQ(members("{\"b\":1, \"\xC3\xA9t\xC3\xA9\":2,\n \"x\\u0041\":3}"),
              "b=1 \xC3\xA9t\xC3\xA9=2 xA=3 ");
    // One property for two members would lose one of them.
    EXPECT_EQ(members(R"({"a":1,"b":2,"A":3})"),
              "refused: The members 'a' and 'A' name one property (names do not tell A to Z from a to z)");
    EXPECT_EQ(members(R"({"a":1,"a":2})"),
              "refused: The members 'a' and 'a' name one property (names do not tell A to Z from a to z)");
    auto flat = [](std::string_view json) { return members(json, true); };
    EXPECT_EQ(flat(R"({"b":{"c":2,"d":{"e":"x"}},"f":1})"), "b.c=2 b.d.e=x f=1 ");
    EXPECT_EQ(flat(R"({"a":[{"b":1},{"b":2,"c":[1,2]}]})"), "a.1.b=1 a.2.b=2 a.2.c=1;2 ");
    // Scalars before the first object of an array take their places too.
    EXPECT_EQ(flat(R"({"a":[7,{"b":1},[3]]})"), "a.1=7 a.2.b=1 a.3=3 ");
    EXPECT_EQ(flat(R"({"a":{}})"), "");
    EXPECT_EQ(
        flat(R"({"a":{"b":1},"A.B":2})"),
        "refused: The members 'a.b' and 'A.B' name one property (names do not tell A to Z from a to z)");
}

TEST(JsonValues, RefusesWhatIsNotAnObjectOfScalarsAndArrays) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "Empty"},
        {"[1]", "does not have the requested type"},
        {R"({"a":1}])", "trailing content"},
        {R"({"a":{"b":1}})", "The member 'a' holds an object"},
        {R"({"a":[[1]]})", "The member 'a' holds an array inside an array"},
        {R"({"a":[1,{}]})", "The member 'a' holds an object inside an array"},
        {"{\"a\":\"\xC3\"}", "not valid UTF-8"},
        {"{\"a\":\"\xED\xA0\x80\"}", "not valid UTF-8"},
        {"{\"a\":\"x\ty\"}", "must be escaped"},
        {R"({"a":"\x"})", "In the member 'a': Problem while parsing a string"},
        {R"({"a":"\u12"})", "In the member 'a': Problem while parsing a string"},
        {R"({"\q":1})", "Problem while parsing a string"},
        {R"({"a":01})", "In the member 'a': 01 is not a number as JSON writes numbers"},
        {R"({"a":1.e4})", "In the member 'a': 1.e4 is not a number as JSON writes numbers"},
        {R"({"a":tru})", "In the member 'a'"},
        {R"({"a":[1,nul]})", "In the member 'a'"},
        {R"({"a":1,})", "refused"},
        {R"({"a" 1})", "refused"},
        {R"({"a":"x)", "refused"},
        {R"({"a":[1,2)", "refused"},
    };
    for (const auto& [json, message] : cases) {
        const std::string result = readOne(json);
        EXPECT_TRUE(result.starts_with("refused: ")) << json << "\n" << result;
        EXPECT_NE(result.find(message), std::string::npos) << json << "\n" << result;
    }
    // A refused object changes nothing, and the reader goes on.
    auto target = CPropertyCollection::newInstance();
    target->define(u"keep", IntegerValue(7), 0);
    cli::JsonReader reader;
    EXPECT_THROW(reader.readObjectInto(R"({"keep":1,"new":2,"bad":{}})", *target), Exception);
    ASSERT_EQ(target->getSize(), 1);
    EXPECT_EQ(target->get(0)->getValue().getInteger(), 7);
    reader.readObjectInto(R"({"a long name for a long line":[1,2,3,4,5,6,7,8,9,10,11,12]})", *target);
    reader.readObjectInto(R"({"x":"\u00e9"})", *target);
    ASSERT_EQ(target->getSize(), 3);
    EXPECT_EQ(target->get(2)->getValue().toString(), u"\u00e9");
}

TEST(JsonValues, WritesEachKindOfValueAndEscapesTexts) {
    auto mixed = makePtr<ValueArrayValue>();
    mixed->appendElement(IntegerValue(1));
    mixed->appendElement(StringValue(String(u"x")));
    mixed->appendElement(NullValue());
    mixed->appendElement(DoubleValue(std::nan("")));
    auto fingerprint = makePtr<IntegerFingerprintValue>();
    fingerprint->add(3);
    const std::vector<std::pair<Ptr<Value>, std::string>> cases = {
        {makePtr<NullValue>(), "null"},
        {makePtr<BooleanValue>(false), "false"},
        {makePtr<IntegerValue>(INT64_MIN), "-9223372036854775808"},
        {makePtr<DoubleValue>(10.0), "10"},
        {makePtr<DoubleValue>(-0.0), "-0"},
        {makePtr<DoubleValue>(1e21), "1e+21"},
        {makePtr<DoubleValue>(5e-324), "5e-324"},
        {makePtr<DoubleValue>(std::nan("")), "\"NaN\""},
        {makePtr<DoubleValue>(-INFINITY), "\"-Infinity\""},
        {makePtr<StringValue>(String()), "null"},
        {makePtr<ByteArrayValue>(std::vector<uint8_t>{0x01, 0xAB}), "\"01AB\""},
        {makePtr<BitsetValue>(3), "\"000\""},
        {makePtr<DoubleArrayValue>(std::vector<double>{0.5, INFINITY}), "[0.5,\"Infinity\"]"},
        {makePtr<StringArrayValue>(std::vector<String>{String(u"a"), String()}), "[\"a\",null]"},
        {makePtr<BooleanArrayValue>(std::vector<uint8_t>{1, 0}), "[true,false]"},
        {makePtr<IntegerArrayValue>(), "[]"},
        {mixed, R"([1,"x",null,"NaN"])"},
        {fingerprint, "[3]"},
    };
    for (const auto& [value, json] : cases)
        EXPECT_EQ(written(*value), json) << String(value->getClassName()).toUtf8();
    const std::vector<std::pair<std::u16string, std::string>> texts = {
        {u"a\"b\\c/d", R"("a\"b\\c/d")"},
        {u"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {std::u16string{u'\x01', u'\x1f', u'\0', u'\x7f'}, "\"\\u0001\\u001f\\u0000\x7f\""},
        {u"\u00e9\u20ac\U0001F600", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
        {std::u16string{u'x', char16_t(0xD800), u'y'}, R"("x\ud800y")"},
        {std::u16string{char16_t(0xDC00), char16_t(0xDBFF)}, R"("\udc00\udbff")"},
        {std::u16string{char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)}, "\"\\ud83d\xF0\x9F\x98\x80\""},
    };
    for (const auto& [text, json] : texts)
        EXPECT_EQ(written(StringValue(String(text))), json) << json;
}

TEST(JsonValues, ARecordOfNumberedMembersStaysAnObject) {
    // Members named 1 to n are an array's elements inside a record, never the record itself.
    auto written = [](std::initializer_list<const char16_t*> names) {
        auto record = CPropertyCollection::newInstance();
        int64_t n = 0;
        for (const char16_t* name : names)
            record->define(String(name), IntegerValue(++n), 0);
        std::string json;
        cli::writeObject(*record, json);
        return json;
    };
    EXPECT_EQ(written({u"1.["}), R"({"1":{"[":1}})");
    EXPECT_EQ(written({u"1", u"2.a"}), R"({"1":1,"2":{"a":2}})");
    EXPECT_EQ(written({u"a.1", u"a.2.b"}), R"({"a":[1,{"b":2}]})");
    EXPECT_EQ(read(written({u"1.["}), true)->get(0)->getName(), u"1.[");
}

TEST(JsonValues, ARecordSurvivesWritingAndReading) {
    auto original = CPropertyCollection::newInstance();
    auto define = [&](const char16_t* name, const Value& value) { original->define(String(name), value, 0); };
    define(u"long", IntegerValue(INT64_MAX));
    define(u"double", DoubleValue(0.1));
    define(u"huge", DoubleValue(1.7976931348623157e308));
    define(u"text",
           StringValue(String(std::u16string(u"\u00e9 \"q\" \\ \n\x01 \U0001F600 ") + char16_t(0xD800))));
    define(u"empty", StringValue(String::empty()));
    define(u"flag", BooleanValue(true));
    original->define(String(u"nothing"), 0);
    define(u"longs", IntegerArrayValue(std::vector<int64_t>{1, INT64_MIN}));
    define(u"doubles", DoubleArrayValue(std::vector<double>{0.25, 1e-7}));
    define(u"texts", StringArrayValue(std::vector<String>{String(u"\u00fc"), String::empty()}));
    define(u"flags", BooleanArrayValue(std::vector<uint8_t>{0, 1}));
    ValueArrayValue mixed;
    mixed.appendElement(IntegerValue(1));
    mixed.appendElement(NullValue());
    define(u"mixed", mixed);
    define(u"\u00e9 \"name\"", ValueArrayValue());
    std::string json;
    cli::writeObject(*original, json);
    auto copy = read(json);
    ASSERT_EQ(copy->getSize(), original->getSize()) << json;
    for (int32_t i = 0; i < original->getSize(); ++i) {
        const iProperty* a = original->get(i);
        const iProperty* b = copy->get(i);
        const std::string name = a->getName().toUtf8();
        EXPECT_EQ(a->getName(), b->getName()) << name;
        EXPECT_EQ(a->hasNullValue(), b->hasNullValue()) << name;
        EXPECT_EQ(std::u16string_view(a->getValue().getClassName()), b->getValue().getClassName()) << name;
        EXPECT_TRUE(a->getValue().equals(b->getValue())) << name;
    }
    std::string again;
    cli::writeObject(*copy, again);
    EXPECT_EQ(again, json);
}
