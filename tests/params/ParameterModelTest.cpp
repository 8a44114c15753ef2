// The parameter model: accessors and their side effects, name classes, implementation state, group
// membership, value access, copying and the pool.

#include <gtest/gtest.h>

#include "Component.h"
#include "host/HvnConstants.h"

using namespace strand;
using namespace strand::test;

// Setters of what is not data clear the data-param flag; the rules lose the white space around them.
TEST(ParameterModel, SettersClearDataParamAndTrimScripts) {
    Ptr<CParameter> p = CParameter::newInstance(u"P");
    p->setExpanded(true);
    p->setLegalValuesAreEnforced(false);
    EXPECT_TRUE(p->isDataParam());
    p->setHelp(u"help");
    p->setType(u"");
    p->setValidationScript(u" \t\u00A0true\r\n ");
    p->setEnablingScript(u"\n");
    p->setLegalValues(texts({u"a", u"b"}));
    EXPECT_EQ(fields(*p),
              "'P' 'help' 'StringType' null 'true' '' null null [a;b;] none none none 0 0 0 1 -1 0 ");
    p->clearLegalValues();
    EXPECT_TRUE(p->getStaticLegalValues().isEmpty());
}

TEST(ParameterModel, ReadingTheValue) {
    Component c;
    CParameter& p = c.add(u"P", u"1 + 1");
    p.setType(u"expressiontype");
    EXPECT_EQ(p.getMetaDataFlags() & CParameter::kExpressionMetaData, CParameter::kExpressionMetaData);
    EXPECT_EQ(p.getValue().toString(), u"2");
    p.setType(u"StringType");
    EXPECT_EQ(p.getMetaDataFlags() & CParameter::kExpressionMetaData, 0u);
    EXPECT_EQ(p.getValue().toString(), u"1 + 1");
    p.setType(u"TextExpressionType");
    EXPECT_EQ(p.getValue().toString(), u"2");
    // An empty parameter reads as one empty string, which it holds from then on; values of other
    // classes are read as they are.
    p.setValue(StringArrayValue());
    const Value& value = p.getValue();
    ASSERT_EQ(value.getNumValues(), 1);
    EXPECT_EQ(value.toString(), u"");
    EXPECT_EQ(p.getRawValue().getNumValues(), 1);
    p.setValue(DoubleValue(2.5));
    EXPECT_EQ(p.getValue().toString(), u"2.5");
}

TEST(ParameterModel, GroupsAndMembershipIgnoringTheCaseOfNames) {
    Ptr<CParameter> g = CParameter::newInstance(u"G");
    EXPECT_FALSE(g->isGroupParam());
    g->setType(u"GroupType");
    EXPECT_TRUE(g->isGroupParam());
    g->setType(u"grouptype");  // the group type alone is compared exactly
    EXPECT_FALSE(g->isGroupParam());
    g->addMember(u"Alpha");
    g->addMember(u"ALPHA");
    g->addMember(u"Beta");
    EXPECT_TRUE(g->isGroupParam());
    EXPECT_EQ(g->members(), texts({u"Alpha", u"Beta"}));
    EXPECT_TRUE(g->isMember(u"beta"));
    g->removeMember(u"nosuch");
    g->removeMember(u"alpha");
    EXPECT_EQ(g->members(), texts({u"Beta"}));
    g->clearMembers();
    EXPECT_EQ(g->getMembersSize(), 0);
    // A large group finds its members by name as a small one does.
    for (int i = 0; i < 100; ++i)
        g->addMember(formatString(u"m%d", i));
    g->addMember(u"M50");
    EXPECT_EQ(g->getMembersSize(), 100);
    g->removeMember(u"M0");
    EXPECT_TRUE(g->isMember(u"m99"));
    EXPECT_FALSE(g->isMember(u"m0"));
}

TEST(ParameterModel, MembersInACollectionAreThoseItHolds) {
    Component c;
    CParameter& g = c.add(u"G");
    c.add(u"A");
    g.addMember(u"A");
    g.addMember(u"Missing");
    Array<String> members;
    g.getMembers(members);
    EXPECT_EQ(members, texts({u"A"}));
    EXPECT_EQ(g.getMembersSize(), 1);
    EXPECT_TRUE(g.isMember(u"Missing"));  // named, though not held
    // A member of the user implementation is no member of a group that is not.
    c[u"A"].setUserImpl(1);
    EXPECT_FALSE(g.isMember(u"A"));
    g.getMembers(members);
    EXPECT_TRUE(members.isEmpty());
}

TEST(ParameterModel, ImplementationState) {
    Component c;
    c.add(u"ComponentGUID", u"{A8B0E10B-C69D-4d10-9AF5-817246D227F0}");
    CParameter& p = c.add(u"P");
    EXPECT_FALSE(p.isBaseImpl(String()));  // no GUID: the name decides
    // The two GUIDs of the renamed component count as one: the name decides.
    p.setGuid(u"{a8b0e10b-c691-4c10-9af5-817256d207f0}");
    EXPECT_FALSE(p.isBaseImpl(String()));
    EXPECT_TRUE(c.add(u"ComponentPath").isBaseImpl(String()));
    // Another component's GUID makes it a base parameter.
    p.setGuid(u"{11111111-2222-3333-4444-555555555555}");
    EXPECT_TRUE(p.isBaseImpl(String()));
    EXPECT_FALSE(p.isBaseImpl(u"{11111111-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(p.isBaseImpl(u"{99999999-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(p.isImplementation(String()));
    p.setUserImpl(0);
    EXPECT_FALSE(p.isImplementation(String()));
    p.setUserImpl(1);
    EXPECT_TRUE(p.isImplementation(String()));
    EXPECT_TRUE(CParameter::isUIImpl(&p));
    p.setUserImpl(-1);
    EXPECT_FALSE(CParameter::isUIImpl(&p));  // not a protocol parameter
    p.setGuid(HVN_ProtocolGUID);
    EXPECT_TRUE(CParameter::isUIImpl(&p));  // a protocol parameter of another component
    c[u"ComponentGUID"].setValue(HVN_ProtocolGUID);
    EXPECT_FALSE(CParameter::isUIImpl(&p));  // of this one: the name decides
    p.SetName(u"ComponentHelp");
    EXPECT_TRUE(CParameter::isUIImpl(&p));
}

// A change of a parameter flagged as affecting validation, or named as a legacy setting, information
// or debug parameter, makes every parameter of the collection revalidate.
TEST(ParameterModel, AValueThatAffectsValidationRevalidatesTheCollection) {
    Component c;
    CParameter& rule = c.add(u"Rule", u"x");
    rule.setValidationScript(String(kCount) + u"true");
    CParameter& flagged = c.add(u"Flagged");
    EXPECT_TRUE(rule.getValid());
    int expected = 1;
    for (const char16_t* name : {u"dataactiononerror", u"OnDataTypeErrorUI", u"RegistrationDateUI",
                                 u"PassPortExpression", u"Plain"}) {
        c.add(name, u"1");
        expected += String(name) != u"Plain";
        EXPECT_TRUE(rule.getValid());
        EXPECT_EQ(runs(rule.getValidationState()), expected) << String(name).toUtf8();
    }
    flagged.setValue(u"1");  // flags 0: nothing
    EXPECT_TRUE(rule.getValid());
    EXPECT_EQ(runs(rule.getValidationState()), expected);
    flagged.setFlags(iParameter::kAffectsValidation);  // the cached answer is recomputed
    flagged.appendValue(u"2");
    EXPECT_TRUE(rule.getValid());
    EXPECT_EQ(runs(rule.getValidationState()), expected + 1);
}

// Value setters, the enforcement, the flags and the type clear the verdicts they change.
TEST(ParameterModel, ChangesMakeTheirVerdictsStale) {
    Component c;
    CParameter& p = c.add(u"P", u"a");
    p.setLegalValues(texts({u"a", u"b"}));
    EXPECT_EQ(verdict(p), "valid");
    p.setValue(u"c");
    EXPECT_EQ(verdict(p), "invalid: 'c' is not a member of the defined legal values");
    p.setLegalValuesAreEnforced(false);
    EXPECT_EQ(verdict(p), "valid");
    p.setValue(u"");
    EXPECT_EQ(verdict(p), "valid");
    p.setFlags(iParameter::kRequired);
    EXPECT_EQ(verdict(p), "invalid: This parameter is required.");
    CParameter& b = c.add(u"B", u"0");
    b.setLegalValues(texts({u"yes", u"no"}));
    EXPECT_FALSE(b.getValid());
    b.setType(u"BoolType");
    EXPECT_TRUE(b.getValid());
}

TEST(ParameterModel, CopiesTakeTheStatesTheSourceHas) {
    Ptr<CParameter> source = CParameter::newInstance(u"S");
    Ptr<CParameter> target = CParameter::newInstance(u"T");
    auto state = CPropertyCollection::newInstance();
    state->define(u"n", DoubleValue(1), 0);
    target->setValidationState(state.get());
    source->setHelp(u"help");
    source->setFlags(3);
    source->addMember(u"M");
    source->setLegalValues(texts({u"x"}));
    source->setValue(u"v");
    // The target keeps its name, and loses the state the source does not have.
    target->assignFrom(static_cast<const iParameter*>(source.get()));
    EXPECT_EQ(fields(*target),
              "'T' 'help' 'StringType' null null null null 'v' [x;] none none none 0 3 1 0 -1 0 ");
    EXPECT_EQ(target->members(), texts({u"M"}));
    // A state the source has is copied, not shared.
    source->setEnablingState(state.get());
    target->assignFrom(static_cast<const iProperty*>(source.get()));
    EXPECT_NE(target->getEnablingState(), source->getEnablingState());
    EXPECT_EQ(fields(*target),
              "'T' 'help' 'StringType' null null null null 'v' [x;] none {n=1 } none 0 3 1 0 -1 0 ");
    EXPECT_EQ(fields(*source->clone()), fields(*source));
}

TEST(ParameterModel, RecycledParametersComeBackInTheirInitialState) {
    const int32_t outstanding = CParameter::m_class.outstanding();
    {
        Ptr<CParameter> p = CParameter::newInstance(u"P");
        p->setHelp(u"help");
        p->setFlags(1);
        p->addMember(u"M");
        p->setValidationScript(u"false");
        p->getValid();
    }
    ASSERT_EQ(CParameter::m_class.outstanding(), outstanding);
    ASSERT_GE(CParameter::m_class.freeCount(), 1u);
    Ptr<CParameter> again = CParameter::newInstance();
    EXPECT_EQ(fields(*again),
              "null null 'StringType' null null null null null [] none none none 1 0 1 0 -1 0 ");
    EXPECT_EQ(again->getMembersSize(), 0);
    EXPECT_TRUE(again->getValid());
    // A parameter still referenced cannot be returned.
    EXPECT_EQ(failure([&] { again->deleteInstance(); }),
              "Tried to deleteInstance() an object with nonzero ref count: 1\n");
}
