// The parameter collection: declaring, groups kept right through removals and renames, copying and
// cloning.

#include <gtest/gtest.h>

#include "Component.h"

using namespace strand;
using namespace strand::test;

namespace {

Array<String> groupNames(CParameterCollection& parameters) {
    Array<iGroupParameter*> groups;
    parameters.getGroups(groups);
    Array<String> names;
    for (iGroupParameter* group : groups)
        names.add(dynamic_cast<iProperty*>(group)->getName());
    return names;
}

Array<String> names(const iPropertyCollection& parameters) {
    Array<String> out;
    for (int32_t i = 0; i < parameters.getSize(); ++i)
        out.add(parameters.get(i)->getName());
    return out;
}

Array<String> groupsOf(CParameter& parameter) {
    Array<String> groups;
    parameter.getGroups(groups);
    return groups;
}

}  // namespace

TEST(ParameterCollection, DeclaredParametersAreParametersWithAnEmptyText) {
    Component c;
    ASSERT_NE(dynamic_cast<CParameter*>(c.parameters->declare(u"P")), nullptr);
    EXPECT_EQ(c[u"P"].getRawValue().toString(), u"");
    EXPECT_TRUE(groupNames(*c.parameters).isEmpty());
    // Whatever the collection creates is a parameter.
    c.parameters->define(u"Q", IntegerValue(1), 0);
    EXPECT_NE(dynamic_cast<CParameter*>(c.parameters->find(u"Q")), nullptr);
    c[u"P"].setType(u"GroupType");
    c[u"Q"].addMember(u"P");
    EXPECT_EQ(groupNames(*c.parameters), texts({u"P", u"Q"}));
    EXPECT_EQ(groupsOf(c[u"P"]), texts({u"Q"}));
}

TEST(ParameterCollection, RemovalsAndRenamesKeepTheGroupsRight) {
    Component c;
    CParameter& g1 = c.add(u"G1");
    CParameter& g2 = c.add(u"G2");
    c.add(u"A");
    c.add(u"B");
    g1.addMember(u"A");
    g1.addMember(u"B");
    g2.addMember(u"A");
    EXPECT_FALSE(c.parameters->remove(u"nosuch"));
    c.parameters->rename(u"A", u"Alpha");
    EXPECT_EQ(g1.members(), texts({u"B", u"Alpha"}));  // the new name goes to the end
    EXPECT_EQ(g2.members(), texts({u"Alpha"}));
    c.parameters->rename(u"B", u"B");
    EXPECT_EQ(g1.members(), texts({u"B", u"Alpha"}));
    c[u"Alpha"].SetName(u"A2");  // through the parameter
    EXPECT_EQ(g1.members(), texts({u"B", u"A2"}));
    EXPECT_TRUE(c.parameters->remove(u"a2"));
    EXPECT_EQ(g1.members(), texts({u"B"}));
    EXPECT_TRUE(g2.members().isEmpty());
    c.parameters->remove(c.parameters->findIndex(u"B"));
    EXPECT_TRUE(g1.members().isEmpty());
    EXPECT_TRUE(groupNames(*c.parameters).isEmpty());
}

TEST(ParameterCollection, CopyingAGroupBringsItsMembersInTheSourceOrder) {
    Component source;
    for (const char16_t* name : {u"P0", u"M2", u"G", u"M5", u"P6", u"M9"})
        source.add(name, name);
    for (const char16_t* member : {u"M5", u"M2", u"M9"})
        source[u"G"].addMember(member);
    source[u"M9"].setHelp(u"ninth");
    Component target;
    target.parameters->copyParameter(source.parameters.get(), u"G");
    EXPECT_EQ(names(*target.parameters), texts({u"G", u"M2", u"M5", u"M9"}));
    EXPECT_EQ(target[u"M9"].getHelp(), u"ninth");
    EXPECT_EQ(target[u"M5"].getRawValue().toString(), u"M5");
    EXPECT_EQ(target[u"G"].members(), texts({u"M5", u"M2", u"M9"}));
    EXPECT_EQ(failure([&] { target.parameters->copyParameter(source.parameters.get(), u"nosuch"); }),
              "Property 'nosuch' is not defined");
    // Copying onto itself changes nothing.
    target.parameters->copyParameter(target.parameters.get(), u"M5");
    EXPECT_EQ(target[u"M5"].getRawValue().toString(), u"M5");
}

TEST(ParameterCollection, GroupsNeverContainThemselves) {
    Component c;
    CParameter& g1 = c.add(u"G1");
    CParameter& g2 = c.add(u"G2");
    CParameter& g3 = c.add(u"G3");
    EXPECT_EQ(failure([&] { g1.addMember(u"g1"); }),
              "Cannot add 'g1' to the members of group 'G1': groups cannot contain themselves (G1 -> g1)");
    g1.addMember(u"G2");
    g2.addMember(u"G3");
    EXPECT_EQ(failure([&] { g3.addMember(u"G1"); }),
              "Cannot add 'G1' to the members of group 'G3': groups cannot contain themselves (G3 -> G1 -> "
              "G2 -> G3)");
    EXPECT_TRUE(g3.members().isEmpty());
    // A cycle closed by a rename cannot be copied without end.
    g3.addMember(u"Later");
    c.parameters->rename(u"G1", u"Later");
    Component target;
    const std::string refused =
        failure([&] { target.parameters->copyParameter(c.parameters.get(), u"Later"); });
    EXPECT_TRUE(refused.starts_with("copying the group '")) << refused;
    EXPECT_TRUE(refused.ends_with("' nested too deeply: more than 64 levels")) << refused;
}

TEST(ParameterCollection, ClonesShareTheContext) {
    Component c;
    c.add(u"A", u"$(B)");
    c.add(u"B", u"b");
    c[u"B"].addMember(u"A");
    Ptr<CParameterCollection> copy = c.parameters->clone();
    EXPECT_EQ(copy->getContext(), c.context.get());
    EXPECT_EQ(names(*copy), texts({u"A", u"B"}));
    auto* a = dynamic_cast<CParameter*>(copy->find(u"A"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->getParent(), copy.get());
    EXPECT_EQ(a->getValue().toString(), u"b");  // read through the context, from the original's parameters
    EXPECT_EQ(groupsOf(*a), texts({u"B"}));
    copy->_setContext(nullptr);
}
