// The parameter model: accessors and their side effects, name classes, implementation state, group
// membership, value access, copying and the pool.

#include <gtest/gtest.h>

#include "Component.h"
#include "host/HvnConstants.h"

using namespace strand;
using strand::test::Component;
using strand::test::failure;
using strand::test::kCount;
using strand::test::runs;
using strand::test::texts;

TEST(ParameterModel, TypeDefaultsToStringType) {
    Ptr<CParameter> p = CParameter::newInstance(String(u"P"));
    EXPECT_EQ(p->getType(), u"StringType");
    p->setType(String(u""));
    EXPECT_EQ(p->getType(), u"StringType");
    p->setType(String(u"LongType"));
    EXPECT_EQ(p->getType(), u"LongType");
}

TEST(ParameterModel, SettersClearDataParamAndTrimScripts) {
    Ptr<CParameter> p = CParameter::newInstance(String(u"P"));
    EXPECT_TRUE(p->isDataParam());
    p->setExpanded(true);
    p->setLegalValuesAreEnforced(false);
    EXPECT_TRUE(p->isDataParam());
    p->setHelp(String(u"help"));
    EXPECT_FALSE(p->isDataParam());
    p->setValidationScript(String(u" \t\u00A0true\r\n "));
    EXPECT_EQ(p->getValidationScript(), u"true");
    p->setEnablingScript(String(u"\n"));
    EXPECT_EQ(p->getEnablingScript(), u"");
    EXPECT_TRUE(p->getLegalValuesScript().isNull());  // never set: no text at all
    p->setLegalValues(texts({u"a", u"b"}));
    EXPECT_EQ(p->getStaticLegalValues(), texts({u"a", u"b"}));
    p->clearLegalValues();
    EXPECT_TRUE(p->getStaticLegalValues().isEmpty());
}

TEST(ParameterModel, ExpressionTypesMarkTheMetadataAndOtherTypesClearIt) {
    Component c;
    CParameter& p = c.add(u"P", u"1 + 1");
    p.setType(String(u"expressiontype"));
    EXPECT_EQ(p.getMetaDataFlags() & CParameter::kExpressionMetaData, CParameter::kExpressionMetaData);
    EXPECT_EQ(p.getValue().toString(), u"2");
    p.setType(String(u"StringType"));
    EXPECT_EQ(p.getMetaDataFlags() & CParameter::kExpressionMetaData, 0u);
    EXPECT_EQ(p.getValue().toString(), u"1 + 1");
    p.setType(String(u"TextExpressionType"));
    EXPECT_EQ(p.getValue().toString(), u"2");
}

TEST(ParameterModel, GroupsAreNamedByMembersOrTheExactGroupType) {
    Ptr<CParameter> p = CParameter::newInstance(String(u"G"));
    EXPECT_FALSE(p->isGroupParam());
    p->setType(String(u"GroupType"));
    EXPECT_TRUE(p->isGroupParam());
    p->setType(String(u"grouptype"));
    EXPECT_FALSE(p->isGroupParam());
    p->addMember(String(u"Member"));
    EXPECT_TRUE(p->isGroupParam());
}

TEST(ParameterModel, MembershipIgnoresTheCaseOfNames) {
    Ptr<CParameter> g = CParameter::newInstance(String(u"G"));
    g->addMember(String(u"Alpha"));
    g->addMember(String(u"ALPHA"));
    g->addMember(String(u"Beta"));
    EXPECT_EQ(g->members(), texts({u"Alpha", u"Beta"}));
    EXPECT_TRUE(g->isMember(String(u"beta")));
    g->removeMember(String(u"nosuch"));
    g->removeMember(String(u"alpha"));
    EXPECT_EQ(g->members(), texts({u"Beta"}));
    g->clearMembers();
    EXPECT_EQ(g->getMembersSize(), 0);
    // A large group finds its members by name as a small one does.
    for (int i = 0; i < 100; ++i)
        g->addMember(formatString(u"m%d", i));
    g->addMember(String(u"M50"));
    EXPECT_EQ(g->getMembersSize(), 100);
    g->removeMember(String(u"M0"));
    EXPECT_TRUE(g->isMember(String(u"m99")));
    EXPECT_FALSE(g->isMember(String(u"m0")));
}

TEST(ParameterModel, MembersInACollectionAreThoseItHolds) {
    Component c;
    CParameter& g = c.add(u"G");
    c.add(u"A");
    g.addMember(String(u"A"));
    g.addMember(String(u"Missing"));
    Array<String> members;
    g.getMembers(members);
    EXPECT_EQ(members, texts({u"A"}));
    EXPECT_EQ(g.getMembersSize(), 1);
    EXPECT_TRUE(g.isMember(String(u"Missing")));  // named, though not held
    // A member of the user implementation is no member of a group that is not.
    c[u"A"].setUserImpl(1);
    EXPECT_FALSE(g.isMember(String(u"A")));
    g.getMembers(members);
    EXPECT_TRUE(members.isEmpty());
}

TEST(ParameterModel, NameClasses) {
    struct Case {
        const char16_t* name;
        bool obsolete, setting, information, debug;
    };
    const Case cases[] = {
        {u"DataActionOnError", true, false, false, false},
        {u"dataactiononerror", true, false, false, false},
        {u"OnGeneralError", true, true, false, false},
        {u"CustomErrorText", true, true, false, false},
        {u"OnDataTypeErrorUI", false, true, false, false},
        {u"componentguid", false, false, true, false},
        {u"RegistrationDateUI", false, false, true, false},
        {u"PassPortExpression", false, false, false, true},
        {u"Threshold", false, false, false, false},
        {u"ComponentGUIDX", false, false, false, false},
    };
    for (const Case& c : cases) {
        const String name(c.name);
        EXPECT_EQ(CParameter::IsObsolete(name), c.obsolete) << name.toUtf8();
        EXPECT_EQ(CParameter::IsSetting(name), c.setting) << name.toUtf8();
        EXPECT_EQ(CParameter::IsInformation(name), c.information) << name.toUtf8();
        EXPECT_EQ(CParameter::IsDebug(name), c.debug) << name.toUtf8();
    }
}

TEST(ParameterModel, ImplementationState) {
    Component c;
    c.add(u"ComponentGUID", u"{A8B0E10B-C69D-4d10-9AF5-817246D227F0}");
    CParameter& p = c.add(u"P");
    EXPECT_FALSE(p.isBaseImpl(String()));  // no GUID: the name decides
    // The two GUIDs of the renamed component count as one: the name decides.
    p.setGuid(String(u"{a8b0e10b-c691-4c10-9af5-817256d207f0}"));
    EXPECT_FALSE(p.isBaseImpl(String()));
    EXPECT_TRUE(c.add(u"ComponentPath").isBaseImpl(String()));
    // Another component's GUID makes it a base parameter.
    p.setGuid(String(u"{11111111-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(p.isBaseImpl(String()));
    EXPECT_FALSE(p.isBaseImpl(String(u"{11111111-2222-3333-4444-555555555555}")));
    EXPECT_TRUE(p.isBaseImpl(String(u"{99999999-2222-3333-4444-555555555555}")));
    EXPECT_TRUE(p.isImplementation(String()));
    p.setUserImpl(0);
    EXPECT_FALSE(p.isImplementation(String()));
    p.setUserImpl(1);
    EXPECT_TRUE(p.isImplementation(String()));
    EXPECT_TRUE(CParameter::isUIImpl(&p));
    p.setUserImpl(-1);
    EXPECT_FALSE(CParameter::isUIImpl(&p));  // not a protocol parameter
    p.setGuid(String(HVN_ProtocolGUID));
    EXPECT_TRUE(CParameter::isUIImpl(&p));  // a protocol parameter of another component
    c[u"ComponentGUID"].setValue(HVN_ProtocolGUID);
    EXPECT_FALSE(CParameter::isUIImpl(&p));  // of this one: the name decides
    p.SetName(String(u"ComponentHelp"));
    EXPECT_TRUE(CParameter::isUIImpl(&p));
}

TEST(ParameterModel, AValueThatAffectsValidationRevalidatesTheCollection) {
    Component c;
    CParameter& rule = c.add(u"Rule", u"x");
    rule.setValidationScript(String(kCount) + u"true");
    CParameter& flagged = c.add(u"Flagged");
    CParameter& plain = c.add(u"Plain");
    CParameter& legacy = c.add(u"DataActionOnError");
    EXPECT_TRUE(rule.getValid());
    EXPECT_TRUE(rule.getValid());
    EXPECT_EQ(runs(rule.getValidationState()), 1);
    plain.setValue(u"1");
    plain.appendValue(u"2");
    EXPECT_TRUE(rule.getValid());
    EXPECT_EQ(runs(rule.getValidationState()), 1);
    legacy.setValue(u"1");
    EXPECT_TRUE(rule.getValid());
    EXPECT_EQ(runs(rule.getValidationState()), 2);
    flagged.setValue(u"1");  // flags 0: nothing
    EXPECT_TRUE(rule.getValid());
    EXPECT_EQ(runs(rule.getValidationState()), 2);
    flagged.setFlags(iParameter::kAffectsValidation);  // the cached answer is recomputed
    flagged.appendValue(u"2");
    EXPECT_TRUE(rule.getValid());
    EXPECT_EQ(runs(rule.getValidationState()), 3);
}

// Value setters, the enforcement and the flags clear the verdicts they change.
TEST(ParameterModel, ChangesMakeTheirVerdictsStale) {
    Component c;
    CParameter& p = c.add(u"P", u"a");
    p.setLegalValues(texts({u"a", u"b"}));
    EXPECT_TRUE(p.getValid());
    p.setValue(u"c");
    EXPECT_FALSE(p.getValid());
    p.setLegalValuesAreEnforced(false);
    EXPECT_TRUE(p.getValid());
    p.setValue(u"");
    EXPECT_TRUE(p.getValid());
    p.setFlags(iParameter::kRequired);
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"This parameter is required.");
    CParameter& b = c.add(u"B", u"maybe");
    b.setLegalValues(texts({u"yes", u"no"}));
    b.setValue(u"true");
    EXPECT_FALSE(b.getValid());
    b.setType(String(u"BoolType"));
    EXPECT_TRUE(b.getValid());
}

TEST(ParameterModel, ReadingAnEmptyParameterGivesOneEmptyString) {
    Component c;
    CParameter& p = c.add(u"P");
    p.setValue(StringArrayValue());
    const Value& value = p.getValue();
    ASSERT_EQ(value.getNumValues(), 1);
    EXPECT_EQ(value.toString(), u"");
    EXPECT_EQ(p.getRawValue().getNumValues(), 1);  // it holds that string now
    // Values of other classes are read as they are.
    p.setValue(DoubleValue(2.5));
    EXPECT_EQ(p.getValue().toString(), u"2.5");
}

TEST(ParameterModel, CopiesTakeTheStatesTheSourceHas) {
    Ptr<CParameter> source = CParameter::newInstance(String(u"S"));
    Ptr<CParameter> target = CParameter::newInstance(String(u"T"));
    auto state = CPropertyCollection::newInstance();
    state->define(String(u"n"), DoubleValue(1), 0);
    target->setValidationState(state.get());
    source->setHelp(String(u"help"));
    source->setFlags(3);
    source->addMember(String(u"M"));
    source->setLegalValues(texts({u"x"}));
    source->setValue(u"v");
    target->assignFrom(static_cast<const iParameter*>(source.get()));
    EXPECT_EQ(target->getValidationState(), nullptr);
    EXPECT_EQ(target->getName(), u"T");
    EXPECT_EQ(target->getHelp(), u"help");
    EXPECT_EQ(target->getFlags(), 3);
    EXPECT_EQ(target->members(), texts({u"M"}));
    EXPECT_EQ(target->getStaticLegalValues(), texts({u"x"}));
    EXPECT_EQ(target->getRawValue().toString(), u"v");
    // A state the source has is copied, not shared.
    source->setEnablingState(state.get());
    target->assignFrom(static_cast<const iProperty*>(source.get()));
    ASSERT_NE(target->getEnablingState(), nullptr);
    EXPECT_NE(target->getEnablingState(), source->getEnablingState());
    EXPECT_EQ(target->getEnablingState()->find(String(u"n"))->getRawValue().toString(), u"1");
    Ptr<CParameter> clone = source->clone();
    EXPECT_EQ(clone->getName(), u"S");
    EXPECT_EQ(clone->getHelp(), u"help");
}

TEST(ParameterModel, RecycledParametersComeBackInTheirInitialState) {
    const int32_t outstanding = CParameter::m_class.outstanding();
    {
        Ptr<CParameter> p = CParameter::newInstance(String(u"P"));
        p->setHelp(String(u"help"));
        p->setFlags(1);
        p->addMember(String(u"M"));
        p->setValidationScript(String(u"false"));
        p->getValid();
    }
    ASSERT_EQ(CParameter::m_class.outstanding(), outstanding);
    ASSERT_GE(CParameter::m_class.freeCount(), 1u);
    Ptr<CParameter> again = CParameter::newInstance();
    EXPECT_TRUE(again->getName().isNull());
    EXPECT_TRUE(again->getHelp().isNull());
    EXPECT_EQ(again->getFlags(), 0);
    EXPECT_EQ(again->getMembersSize(), 0);
    EXPECT_TRUE(again->getValidationScript().isNull());
    EXPECT_EQ(again->getValidationState(), nullptr);
    EXPECT_TRUE(again->isDataParam());
    EXPECT_TRUE(again->getValid());
    // A parameter still referenced cannot be returned.
    EXPECT_EQ(failure([&] { again->deleteInstance(); }),
              "Tried to deleteInstance() an object with nonzero ref count: 1\n");
}
