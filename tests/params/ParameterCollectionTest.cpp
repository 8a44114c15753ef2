// The parameter collection: declaring, groups kept right through removals and renames, revalidation and
// copying.

#include <gtest/gtest.h>

#include "Component.h"

using namespace strand;
using strand::test::Component;
using strand::test::failure;
using strand::test::texts;

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

}  // namespace

TEST(ParameterCollection, DeclaredParametersAreParametersWithAnEmptyText) {
    Component c;
    iParameter* declared = c.parameters->declare(String(u"P"));
    ASSERT_NE(dynamic_cast<CParameter*>(declared), nullptr);
    EXPECT_EQ(c[u"P"].getRawValue().toString(), u"");
    EXPECT_TRUE(groupNames(*c.parameters).isEmpty());
    // Whatever the collection creates is a parameter.
    c.parameters->define(String(u"Q"), IntegerValue(1), 0);
    EXPECT_NE(dynamic_cast<CParameter*>(c.parameters->find(String(u"Q"))), nullptr);
    c[u"P"].setType(String(u"GroupType"));
    c[u"Q"].addMember(String(u"P"));
    EXPECT_EQ(groupNames(*c.parameters), texts({u"P", u"Q"}));
    Array<String> groups;
    c[u"P"].getGroups(groups);
    EXPECT_EQ(groups, texts({u"Q"}));
}

TEST(ParameterCollection, RemovalsAndRenamesKeepTheGroupsRight) {
    Component c;
    CParameter& g1 = c.add(u"G1");
    CParameter& g2 = c.add(u"G2");
    c.add(u"A");
    c.add(u"B");
    g1.addMember(String(u"A"));
    g1.addMember(String(u"B"));
    g2.addMember(String(u"A"));
    EXPECT_FALSE(c.parameters->remove(String(u"nosuch")));
    EXPECT_EQ(g1.members(), texts({u"A", u"B"}));
    c.parameters->rename(String(u"A"), String(u"Alpha"));
    EXPECT_EQ(g1.members(), texts({u"B", u"Alpha"}));  // the new name goes to the end
    EXPECT_EQ(g2.members(), texts({u"Alpha"}));
    c.parameters->rename(String(u"B"), String(u"B"));
    EXPECT_EQ(g1.members(), texts({u"B", u"Alpha"}));
    c[u"Alpha"].SetName(String(u"A2"));  // through the parameter
    EXPECT_EQ(g1.members(), texts({u"B", u"A2"}));
    EXPECT_TRUE(c.parameters->remove(String(u"a2")));
    EXPECT_EQ(g1.members(), texts({u"B"}));
    EXPECT_TRUE(g2.members().isEmpty());
    c.parameters->remove(c.parameters->findIndex(String(u"B")));
    EXPECT_TRUE(g1.members().isEmpty());
    EXPECT_TRUE(groupNames(*c.parameters).isEmpty());
}

TEST(ParameterCollection, RevalidatingMakesEveryParameterRecompute) {
    Component c;
    CParameter& a = c.add(u"A", u"x");
    CParameter& b = c.add(u"B", u"x");
    a.setLegalValues(texts({u"x"}));
    b.setLegalValues(texts({u"x"}));
    EXPECT_TRUE(a.getValid());
    EXPECT_TRUE(b.getValid());
    // A change underneath the verdicts, past the setters: only revalidation brings it in.
    a.getEditableRawValue().assignFrom(StringValue(String(u"y")));
    b.getEditableRawValue().assignFrom(StringValue(String(u"y")));
    EXPECT_TRUE(a.getValid());
    c.parameters->revalidateParameters();
    EXPECT_FALSE(a.getValid());
    EXPECT_FALSE(b.getValid());
}

TEST(ParameterCollection, CopyingAGroupBringsItsMembersInTheSourceOrder) {
    Component source;
    for (const char16_t* name : {u"P0", u"P1", u"M2", u"P3", u"G", u"M5", u"P6", u"P7", u"P8", u"M9"})
        source.add(name, name);
    source[u"G"].addMember(String(u"M5"));
    source[u"G"].addMember(String(u"M2"));
    source[u"G"].addMember(String(u"M9"));
    source[u"M9"].setHelp(String(u"ninth"));
    Component target;
    target.parameters->copyParameter(source.parameters.get(), String(u"G"));
    EXPECT_EQ(names(*target.parameters), texts({u"G", u"M2", u"M5", u"M9"}));
    EXPECT_EQ(target[u"M9"].getHelp(), u"ninth");
    EXPECT_EQ(target[u"M5"].getRawValue().toString(), u"M5");
    EXPECT_EQ(target[u"G"].members(), texts({u"M5", u"M2", u"M9"}));
    EXPECT_EQ(failure([&] { target.parameters->copyParameter(source.parameters.get(), String(u"nosuch")); }),
              "Property 'nosuch' is not defined");
    // Copying onto itself changes nothing.
    target.parameters->copyParameter(target.parameters.get(), String(u"M5"));
    EXPECT_EQ(target[u"M5"].getRawValue().toString(), u"M5");
}

TEST(ParameterCollection, GroupsNeverContainThemselves) {
    Component c;
    CParameter& g1 = c.add(u"G1");
    CParameter& g2 = c.add(u"G2");
    CParameter& g3 = c.add(u"G3");
    EXPECT_EQ(failure([&] { g1.addMember(String(u"g1")); }),
              "Cannot add 'g1' to the members of group 'G1': groups cannot contain themselves (G1 -> g1)");
    g1.addMember(String(u"G2"));
    g2.addMember(String(u"G3"));
    EXPECT_EQ(failure([&] { g3.addMember(String(u"G1")); }),
              "Cannot add 'G1' to the members of group 'G3': groups cannot contain themselves (G3 -> G1 -> "
              "G2 -> G3)");
    EXPECT_TRUE(g3.members().isEmpty());
    // A cycle closed by a rename cannot be copied without end.
    g3.addMember(String(u"Later"));
    c.parameters->rename(String(u"G1"), String(u"Later"));
    Component target;
    const std::string refused =
        failure([&] { target.parameters->copyParameter(c.parameters.get(), String(u"Later")); });
    EXPECT_TRUE(refused.starts_with("copying the group '")) << refused;
    EXPECT_TRUE(refused.ends_with("' nested too deeply: more than 64 levels")) << refused;
}

TEST(ParameterCollection, CopiesShareTheContext) {
    Component c;
    c.add(u"A", u"$(B)");
    c.add(u"B", u"b");
    c[u"B"].addMember(String(u"A"));
    Ptr<CParameterCollection> copy = c.parameters->clone();
    EXPECT_EQ(copy->getContext(), c.context.get());
    EXPECT_EQ(names(*copy), texts({u"A", u"B"}));
    auto* a = dynamic_cast<CParameter*>(copy->find(String(u"A")));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->getParent(), copy.get());
    EXPECT_EQ(a->getValue().toString(), u"b");  // read through the context, from the original's parameters
    Array<String> groups;
    a->getGroups(groups);
    EXPECT_EQ(groups, texts({u"B"}));
    copy->_setContext(nullptr);
}
