#include "host/PropertyCollection.h"

#include <gtest/gtest.h>

#include "host/ArrayValues.h"
#include "host/DataRecord.h"

using namespace strand;

namespace {

std::u16string names(const iPropertyCollection& c) {
    std::u16string out;
    for (int32_t i = 0; i < c.getSize(); ++i) {
        if (i)
            out += u',';
        out += c.get(i)->getName().view();
    }
    return out;
}

Ptr<CPropertyCollection> collectionOf(std::initializer_list<const char16_t*> list) {
    auto c = CPropertyCollection::newInstance();
    double n = 1;
    for (const char16_t* name : list)
        c->define(String(name), DoubleValue(n++), 0);
    return c;
}

// A property class of its own, to show that collections create their element class.
class TaggedProperty : public CProperty {
  public:
    static constexpr ClassTag Tag{"Test.TaggedProperty"};
    const ClassTag& getClassTag() const override { return Tag; }
};

}  // namespace

TEST(PropertyCollection, NamesFoldOnlyAsciiKeepTheirSpellingAndStayIndexedThroughEdits) {
    auto c = collectionOf({u"Weight"});
    EXPECT_EQ(c->find(String(u"WEIGHT")), c->get(0));
    EXPECT_EQ(c->get(0)->getName(), u"Weight");
    c->define(String(u"weight"), StringValue(String(u"x")), 0);
    EXPECT_EQ(c->getSize(), 1);
    EXPECT_EQ(c->get(0)->getName(), u"Weight");
    EXPECT_EQ(c->get(0)->getValue().toString(), u"x");
    c->define(String(u"\u00C9t\u00E9"), DoubleValue(1), 0);
    EXPECT_EQ(c->find(String(u"\u00E9t\u00E9")), nullptr);
    EXPECT_THROW(c->get(String(u"missing")), Exception);
    EXPECT_THROW(c->get(5), InvalidIndexException);
    auto many = CPropertyCollection::newInstance();
    for (int i = 0; i < 40; ++i)
        many->define(formatString(u"p%d", i), DoubleValue(i), 0);
    EXPECT_EQ(many->findIndex(String(u"P39")), 39);
    many->remove(String(u"p0"));
    EXPECT_EQ(many->findIndex(String(u"p39")), 38);
    EXPECT_TRUE(many->rename(String(u"p39"), String(u"last")));
    EXPECT_EQ(many->findIndex(String(u"LAST")), 38);
    EXPECT_EQ(many->findIndex(String(u"p39")), -1);
    EXPECT_THROW(many->rename(String(u"p1"), String(u"")), Exception);
}

TEST(PropertyCollection, RenameKeepsPositionAndRefusesClashes) {
    auto c = collectionOf({u"a", u"b", u"c"});
    EXPECT_TRUE(c->rename(String(u"B"), String(u"Beta")));
    EXPECT_EQ(names(*c), u"a,Beta,c");
    EXPECT_TRUE(c->rename(String(u"beta"), String(u"BETA")));  // a change of case only
    EXPECT_EQ(names(*c), u"a,BETA,c");
    EXPECT_FALSE(c->rename(String(u"zz"), String(u"y")));
    EXPECT_THROW(c->rename(String(u"a"), String(u"C")), Exception);
    EXPECT_EQ(names(*c), u"a,BETA,c");
    static_cast<CProperty*>(c->get(0))->SetName(String(u"alpha"));
    EXPECT_EQ(c->find(String(u"ALPHA")), c->get(0));
}

TEST(PropertyCollection, KeepReorderRemoveAndDeepCopies) {
    auto c = collectionOf({u"a", u"b", u"c", u"d"});
    Array<String> wanted{String(u"D"), String(u"b"), String(u"nosuch"), String(u"b")};
    auto kept = CPropertyCollection::newInstance();
    kept->assignFrom(c.get(), true);
    kept->keep(wanted, false);
    EXPECT_EQ(names(*kept), u"b,d");
    kept->assignFrom(c.get(), true);
    kept->keep(wanted, true);
    EXPECT_EQ(names(*kept), u"d,b");
    c->reorder(Array<String>{String(u"c"), String(u"a")});
    EXPECT_EQ(names(*c), u"c,a,b,d");
    c->reorderProperty(String(u"d"), 0);
    EXPECT_EQ(names(*c), u"d,c,a,b");
    c->reorderProperty(String(u"d"), 99);
    EXPECT_EQ(names(*c), u"c,a,b,d");
    iProperty* removed = c->get(String(u"a"));
    Ptr<iProperty> holder(removed);
    EXPECT_TRUE(c->remove(String(u"A")));
    EXPECT_FALSE(c->remove(String(u"A")));
    EXPECT_EQ(holder->getParent(), nullptr);
    EXPECT_EQ(names(*c), u"c,b,d");
    c->removeAll();
    EXPECT_EQ(c->getSize(), 0);
    auto a = collectionOf({u"x", u"y"});
    auto b = collectionOf({u"y", u"z"});
    CPropertyCollection copy(*a);
    a->get(0)->setValue(StringValue(String(u"changed")));
    EXPECT_EQ(copy.get(0)->getValue().toString(), u"1");
    copy.appendFrom(b.get(), true);
    EXPECT_EQ(names(copy), u"x,y,z");
    EXPECT_EQ(copy.get(String(u"y"))->getValue().toString(), u"1");
}

TEST(PropertyCollection, ElementClassMakesDerivedProperties) {
    Class::registerClass<TaggedProperty>();
    auto c = CPropertyCollection::newInstance();
    c->setPropertyClass(TaggedProperty::Tag);
    c->define(String(u"p"), DoubleValue(1), 0);
    EXPECT_NE(dynamic_cast<TaggedProperty*>(c->get(0)), nullptr);
    CPropertyCollection copy(*c);
    EXPECT_NE(dynamic_cast<TaggedProperty*>(copy.get(0)), nullptr);
    c->setPropertyClass(StringValue::Tag);
    EXPECT_THROW(c->define(String(u"q"), 0), Exception);
}

// Numbers, integers and booleans share storage inside the property: each change of class must leave
// the right value, and copies must not share it.
TEST(Property, StoresCopiesChangeClassInPlaceAndCopiesStayApart) {
    CProperty p(String(u"x"));
    EXPECT_TRUE(p.isEmpty());
    EXPECT_TRUE(p.hasNullValue());
    DoubleValue d(1.5);
    p.setValue(d);
    d.set(9);
    EXPECT_EQ(p.getValue().getDouble(), 1.5);
    p.setValue(StringValue(String(u"t")));
    p.setValue(p.getValue());  // a store of the property's own value changes nothing
    EXPECT_EQ(p.getValue().toString(), u"t");
    p.setValue(u"");
    EXPECT_FALSE(p.isEmpty());
    p.setValue(IntegerValue(7));
    EXPECT_EQ(p.getValue().kind(), Value::Kind::Integer);
    p.setDouble(2.5);
    EXPECT_EQ(p.getValue().kind(), Value::Kind::Double);
    EXPECT_EQ(p.getValue().getDouble(), 2.5);
    p.setValue(BooleanValue(true));
    CProperty copy(p);
    p.setValue(StringValue(String(u"s")));
    p.setValue(IntegerValue(-3));
    EXPECT_EQ(p.getValue().getInteger(), -3);
    EXPECT_EQ(copy.getValue().kind(), Value::Kind::Boolean);
    EXPECT_TRUE(copy.getValue().getBool());
    copy = p;
    p.setDouble(1);
    EXPECT_EQ(copy.getValue().getInteger(), -3);
    copy.copyFrom(&p);
    EXPECT_EQ(copy.getValue().getDouble(), 1.0);
}

TEST(PropertyCollection, LookupAtHintFallsBackWhenTheLayoutDiffers) {
    CPropertyCollection c;
    c.define(String(u"a"), IntegerValue(1), 0);
    c.define(String(u"Quantity"), IntegerValue(2), 0);
    const String name(u"QUANTITY");
    EXPECT_EQ(c.findAtHint(name, name.hashIgnoreCase(), 1), c.get(1));
    EXPECT_EQ(c.findAtHint(name, name.hashIgnoreCase(), 0), nullptr);
    EXPECT_EQ(c.findAtHint(name, name.hashIgnoreCase(), -1), nullptr);
    EXPECT_EQ(c.findAtHint(name, name.hashIgnoreCase(), 2), nullptr);
    int32_t hint = 0;
    EXPECT_EQ(c.findWithHint(name, name.hashIgnoreCase(), hint), c.get(1));
    EXPECT_EQ(hint, 1);
    const String longer(u"quantities_and_more");  // longer than one machine word of characters
    c.define(String(u"Quantities_And_More"), 0);
    EXPECT_EQ(c.findAtHint(longer, longer.hashIgnoreCase(), 2), c.get(2));
}

TEST(Property, AppendBuildsArraysThatHoldEveryValueUnchanged) {
    CProperty p(String(u"x"));
    p.appendValue(IntegerValue(1));
    EXPECT_EQ(p.getValue().kind(), Value::Kind::Integer);
    p.appendValue(IntegerValue(2));
    EXPECT_EQ(p.getValue().getClassName(), std::u16string_view(u"LongArray"));
    p.appendValue(p.getValue());  // an array appended to itself
    EXPECT_EQ(p.getValue().toString(), u"1;2;1;2");
    // Integers that are all exact doubles make room for a number...
    p.appendValue(DoubleValue(1.5));
    EXPECT_EQ(p.getValue().getClassName(), std::u16string_view(u"DoubleArray"));
    EXPECT_EQ(p.getValue().toString(), u"1;2;1;2;1.5");
    // ...and a text makes an array of values of any class.
    p.appendValue(u"x");
    EXPECT_EQ(p.getValue().getClassName(), std::u16string_view(u"ValueArray"));
    EXPECT_EQ(p.getValue().toString(), u"1;2;1;2;1.5;x");
    EXPECT_EQ(p.getValue().asArray()->getElement(5)->kind(), Value::Kind::String);
    const int64_t big = INT64_MAX;
    struct Case {
        Ptr<Value> stored;
        const char16_t* className;
        const char16_t* text;
    };
    const Case cases[] = {
        {makePtr<IntegerValue>(7), u"LongArray", u"7;9223372036854775807"},
        {makePtr<DoubleValue>(7.0), u"LongArray", u"7;9223372036854775807"},
        // A number next to an integer that no double holds: values of their own classes.
        {makePtr<DoubleValue>(1.5), u"ValueArray", u"1.5;9223372036854775807"},
        {makePtr<DoubleValue>(9223372036854775808.0), u"ValueArray",
         u"9223372036854775808;9223372036854775807"},
        {makePtr<StringValue>(String(u"abc")), u"ValueArray", u"abc;9223372036854775807"},
    };
    for (const Case& c : cases) {
        IntegerArrayValue array(std::vector<int64_t>{1, big});
        Ptr<ArrayValue> wider = array.storeExactly(ArrayValue::Store::Set, 0, *c.stored);
        const ArrayValue& result = wider ? *wider : array;
        EXPECT_EQ(std::u16string_view(result.getClassName()), c.className) << String(c.text).toUtf8();
        EXPECT_EQ(result.toString(), c.text);
        // The array given way to is left as it was.
        if (wider) {
            EXPECT_EQ(array.toString(), u"1;9223372036854775807");
        }
    }
    DoubleArrayValue doubles(std::vector<double>{0.5});
    EXPECT_EQ(doubles.storeExactly(ArrayValue::Store::Insert, 1, IntegerValue(big))->toString(),
              u"0.5;9223372036854775807");
    // Bytes keep their class: what they cannot hold is refused.
    ByteArrayValue bytes(std::vector<uint8_t>{1, 2});
    EXPECT_EQ(bytes.storeExactly(ArrayValue::Store::Set, 0, DoubleValue(255)), nullptr);
    EXPECT_THROW(bytes.storeExactly(ArrayValue::Store::Set, 0, IntegerValue(256)), Exception);
    EXPECT_EQ(bytes.toString(), u"FF02");
}

TEST(DataRecord, NodesFormATree) {
    DataRecord record;
    record.setRootNode(makePtr<BaseNode>(String(u"root")));
    iNode* root = record.getRootNode();
    iNode* child = root->addChild(makePtr<BaseNode>(String(u"child")));
    EXPECT_EQ(child->getParentNode(), root);
    EXPECT_THROW(child->addChild(Ptr<iNode>(root)), Exception);
    child->getProperties()->define(String(u"n"), DoubleValue(1), 0);
    Ptr<iPropertyCollection> lent(child->getProperties());
    record.attachProperties(lent);
    EXPECT_EQ(record.getPropertyList()->getSize(), 1);
    record.detachProperties();
    EXPECT_EQ(record.getPropertyList()->getSize(), 0);
    EXPECT_THROW(root->getChild(1), InvalidIndexException);
}

// A value given to a property by adoption may still be held by the giver: later stores and edits
// through the property must leave the giver's object alone.
TEST(Property, AdoptedValuesHeldElsewhereAreNotChangedInPlace) {
    CPropertyCollection list;
    auto text = makePtr<StringValue>(String(u"mine"));
    iProperty* p = list.defineAdopting(String(u"t"), text, 0);
    p->setValue(StringValue(String(u"theirs")));
    EXPECT_EQ(text->get().toUtf8(), "mine");
    String now;
    p->getValue().getText(now);
    EXPECT_EQ(now.toUtf8(), "theirs");
    auto numbers = makePtr<DoubleArrayValue>(std::vector<double>{0});
    iProperty* q = list.defineAdopting(String(u"n"), numbers, 0);
    q->getEditableValue().asArray()->resize(3);
    EXPECT_EQ(numbers->getNumValues(), 1);
    EXPECT_EQ(q->getValue().getNumValues(), 3);
    auto more = makePtr<DoubleArrayValue>();
    iProperty* r = list.defineAdopting(String(u"m"), more, 0);
    r->appendValue(DoubleValue(5));
    EXPECT_EQ(more->getNumValues(), 0);
    auto number = makePtr<DoubleValue>(2.0);
    iProperty* d = list.defineAdopting(String(u"d"), number, 0);
    d->setDouble(7);
    EXPECT_EQ(number->get(), 2.0);
    EXPECT_EQ(d->getValue().getDouble(), 7);
}
