// The rules: when they run, what they see and report, how their outcomes and the groups become the
// cached verdicts, and the type and legal-value checks.

#include <gtest/gtest.h>

#include "Component.h"

using namespace strand;
using strand::test::Component;
using strand::test::failure;
using strand::test::kCount;
using strand::test::runs;
using strand::test::texts;

TEST(ParameterRules, StaticLegalValuesDecideFromTheFirstQuery) {
    Component c;
    CParameter& p = c.add(u"P", u"x");
    p.setLegalValues(texts({u"a", u"b"}));
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"'x' is not a member of the defined legal values");
    EXPECT_EQ(p.getLegalValues(), texts({u"a", u"b"}));
    p.setLegalValuesAreEnforced(false);
    EXPECT_TRUE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"");
}

TEST(ParameterRules, WhatPassesTheLegalValues) {
    Component c;
    CParameter& p = c.add(u"P");
    p.setLegalValues(texts({u"Low", u"High"}));
    struct Case {
        std::initializer_list<const char16_t*> value;
        bool legal;
        const char* offending;
    };
    const Case cases[] = {
        {{u"low"}, true, ""},
        {{u"HIGH", u"low"}, true, ""},
        {{u"medium"}, false, "medium"},
        {{u"low", u"x"}, false, "x"},
        {{u""}, true, ""},
        {{u"$(Other)"}, true, ""},
        {{u"a$(b)c"}, true, ""},
        {{u"$(open"}, false, "$(open"},
        {{u")$("}, false, ")$("},
    };
    for (const Case& k : cases) {
        String offending;
        EXPECT_EQ(p.isLegalParam(StringArrayValue(texts(k.value).vector()), offending), k.legal);
        EXPECT_EQ(offending.toUtf8(), k.offending);
    }
    String offending;
    EXPECT_TRUE(p.isLegalParam(StringArrayValue(), offending));
    // A boolean parameter takes any boolean word, listed or not.
    CParameter& b = c.add(u"B", u"0");
    b.setType(String(u"booltype"));
    b.setLegalValues(texts({u"yes", u"no"}));
    EXPECT_TRUE(b.getValid());
    b.setValue(u"TRUE");
    EXPECT_TRUE(b.getValid());
    b.setValue(u"yes");
    EXPECT_TRUE(b.getValid());
    b.setValue(u"maybe");
    EXPECT_FALSE(b.getValid());
    EXPECT_EQ(b.getInvalidDetails(), u"'maybe' is not a member of the defined legal values");
}

TEST(ParameterRules, RequiredWithoutAValueIsEnabledAndInvalid) {
    Component c;
    CParameter& p = c.add(u"P");
    p.setFlags(iParameter::kRequired);
    p.setEnablingScript(String(u"false"));
    p.setValidationScript(String(u"true"));
    EXPECT_TRUE(p.getEnabled());
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"This parameter is required.");
    p.setValue(u"given");
    EXPECT_FALSE(p.getEnabled());  // with a value, its enabling rule decides
    EXPECT_TRUE(p.getValid());     // and a disabled parameter is valid
    EXPECT_EQ(p.getInvalidDetails(), u"");
}

TEST(ParameterRules, RulesReportThroughTheRuleFunctions) {
    Component c;
    c.add(u"Choices", {u"a", u"b", u"off"});
    CParameter& p = c.add(u"P", u"b");
    p.setEnablingScript(
        String(u"IF parameter() = 'off' THEN setdisableddetails('switched off'); END IF; "
               u"parameter() != 'off'"));
    p.setLegalValuesScript(String(u"setlegalvalues(parameter('Choices'))"));
    p.setValidationScript(
        String(u"IF parameter() = 'P' THEN setinvaliddetails('not its own name'); false; "
               u"ELSE true; END IF"));
    EXPECT_TRUE(p.getValid());
    EXPECT_EQ(p.getLegalValues(), texts({u"a", u"b", u"off"}));
    p.setValue(u"zz");
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"'zz' is not a member of the defined legal values");
    // Not enforced, the validation rule decides.
    p.setLegalValuesAreEnforced(false);
    p.setValue(u"P");
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"not its own name");
    p.setValue(u"off");
    EXPECT_FALSE(p.getEnabled());
    EXPECT_EQ(p.getDisabledDetails(), u"switched off");
    EXPECT_TRUE(p.getValid());
    // A single value is a list of one.
    p.setLegalValuesScript(String(u"setlegalvalues(parametername())"));
    EXPECT_EQ(p.getLegalValues(), texts({u"P"}));
}

TEST(ParameterRules, FailingRules) {
    Component c;
    CParameter& p = c.add(u"P", u"v");
    p.setEnablingScript(String(u"parameter('nosuch') = 1"));
    p.setValidationScript(String(u"parameter('nosuch') = 1"));
    // An enabling rule that fails leaves the parameter enabled; a validation rule that fails makes it
    // invalid with the failure's text.
    EXPECT_TRUE(p.getEnabled());
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(),
              u"Validation script failed:line 1, The expression was trying to access a "
              u"parameter named 'nosuch' but it was not defined on this component.");
    p.setValidationScript(String(u"1 +"));
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"Validation script failed:line 1:4: unexpected end of file\n");
    p.setValidationScript(String(u"setinvaliddetails('no boolean')"));
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(),
              u"Validation script failed:line 1, Error, cannot evaluate a void expression as a boolean.");
    // The rule functions refuse outside the rules.
    c.add(u"Q", u"<EXPR>setinvaliddetails('x'); 'y'</EXPR>");
    EXPECT_EQ(failure([&] { c.text(u"Q", CParameter::kEvaluateEmbeddedScripts); }),
              "SetInvalidDetails may only be called from within any of a parameter's validation scripts");
}

TEST(ParameterRules, AFailingLegalValuesRuleKeepsTheListItHad) {
    Component c;
    c.add(u"Choices", {u"a", u"b"});
    CParameter& p = c.add(u"P", u"z");
    p.setLegalValuesScript(String(
        u"IF @n IS DEFINED THEN parameter('nosuch'); END IF; @n := 1; setlegalvalues(parameter('Choices'))"));
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getLegalValues(), texts({u"a", u"b"}));
    p.revalidate();
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getLegalValues(), texts({u"a", u"b"}));
    EXPECT_EQ(p.getInvalidDetails(), u"'z' is not a member of the defined legal values");
}

TEST(ParameterRules, AValueWaitingForAGlobalTokenIsValid) {
    Component c;
    c.add(u"Path", u"$(RunFolder)/out.csv");
    CParameter& p = c.add(u"P", u"v");
    p.setValidationScript(String(u"parameter('Path') = 'x'"));
    EXPECT_TRUE(p.getValid());
    c.global(u"RunFolder", u"/tmp");
    p.revalidate();
    EXPECT_FALSE(p.getValid());
}

TEST(ParameterRules, EachQueryBringsOnlyItsPartUpToDate) {
    Component c;
    CParameter& p = c.add(u"P", u"a");
    p.setValidationScript(String(kCount) + u"true");
    p.setEnablingScript(String(kCount) + u"true");
    p.setLegalValuesScript(String(kCount) + u"setlegalvalues('a')");
    p.setLegalValuesAreEnforced(false);  // else the legal values decide, and the validation rule is not run
    auto counts = [&] {
        return std::to_string(runs(p.getEnablingState())) + std::to_string(runs(p.getLegalValuesState())) +
               std::to_string(runs(p.getValidationState()));
    };
    EXPECT_TRUE(p.getValid());
    EXPECT_TRUE(p.getValid());
    EXPECT_EQ(p.getInvalidDetails(), u"");
    EXPECT_TRUE(p.getEnabled());
    EXPECT_EQ(counts(), "111");  // enabling, legal values, validation: once each for all those queries
    p.setLegalValuesScript(String(kCount) + u"setlegalvalues('b')");
    EXPECT_EQ(p.getLegalValues(), texts({u"b"}));
    EXPECT_EQ(counts(), "121");
    p.setEnablingScript(String(kCount) + u"true");
    EXPECT_TRUE(p.getEnabled(false));
    EXPECT_EQ(counts(), "221");
    // A validity query brings enabling and validity up to date, and with them the legal values.
    p.setEnablingScript(String(kCount) + u"true");
    EXPECT_TRUE(p.getValid());
    EXPECT_EQ(counts(), "332");
    c.parameters->revalidateParameters();
    EXPECT_TRUE(p.getValid());
    EXPECT_EQ(counts(), "443");
    // A rule's global variables stay in its state between runs.
    EXPECT_EQ(runs(p.getValidationState()), 3);
}

TEST(ParameterRules, GroupsEnableAndJudgeTheirMembers) {
    Component c;
    CParameter& mode = c.add(u"Mode", u"basic");
    CParameter& advanced = c.add(u"Advanced");
    CParameter& always = c.add(u"Always");
    CParameter& member = c.add(u"Member", u"x");
    advanced.addMember(String(u"Member"));
    always.addMember(String(u"Member"));
    advanced.setEnablingScript(String(u"parameter('Mode') = 'advanced'"));
    always.setEnablingScript(String(u"false"));
    // Every group of the member disabled: disabled, with no details of its own.
    EXPECT_FALSE(member.getEnabled());
    EXPECT_EQ(member.getDisabledDetails(), u"");
    EXPECT_TRUE(member.getValid());
    // One group enabled, another disabled: the disabled one disables it.
    mode.setValue(u"advanced");
    c.parameters->revalidateParameters();
    always.setEnablingScript(String(u"false"));
    EXPECT_FALSE(member.getEnabled());
    EXPECT_EQ(member.getDisabledDetails(), u"Parent group is disabled.");
    always.setEnablingScript(String(u"true"));
    c.parameters->revalidateParameters();
    EXPECT_TRUE(member.getEnabled());
    // A group is invalid when a member is.
    member.setLegalValues(texts({u"y"}));
    EXPECT_FALSE(advanced.getValid());
    EXPECT_EQ(advanced.getInvalidDetails(), u"One or more group members are invalid.");
    member.setValue(u"y");
    advanced.revalidate();
    EXPECT_TRUE(advanced.getValid());
}

TEST(ParameterRules, TypeChecksOfCandidateValues) {
    Component c;
    CParameter& p = c.add(u"Count");
    p.setType(String(u"LongType"));
    Array<String> errors;
    EXPECT_TRUE(p.isValidParam(String(u"C"), false, StringValue(String(u" 42 ")), errors));
    EXPECT_FALSE(p.isValidParam(String(u"C"), false, StringValue(String(u"abc")), errors));
    EXPECT_FALSE(p.isValidParam(String(), false, StringValue(String(u"4.5")), errors));
    EXPECT_EQ(errors, texts({u"Component C: Parameter: \"Count\" Unable to convert \"abc\" to a LONG",
                             u"Parameter: \"Count\" Unable to convert \"4.5\" to a LONG"}));
    // Unchecked, a value still waiting for its tokens or scripts passes.
    EXPECT_TRUE(p.isValidParam(String(), false, StringValue(String(u"$(N)")), errors));
    EXPECT_TRUE(p.isValidParam(String(), false, StringValue(String(u"<EXPR>1</EXPR>")), errors));
    EXPECT_FALSE(p.isValidParam(String(), true, StringValue(String(u"$(N)")), errors));
    p.setType(String(u"DoubleType"));
    EXPECT_TRUE(p.isValidParam(String(), true, StringValue(String(u"4.5")), errors));
    p.setType(String(u"BoolType"));
    errors.clear();
    EXPECT_FALSE(p.isValidParam(String(), true, StringValue(String(u"yes")), errors));
    EXPECT_EQ(errors, texts({u"Parameter: \"Count\" Unable to convert \"yes\" to a BOOL"}));
    p.setType(String(u"ExpressionType"));
    errors.clear();
    EXPECT_TRUE(p.isValidParam(String(), false, StringValue(String(u"1 +")), errors));
    EXPECT_FALSE(p.isValidParam(String(u"C"), true, StringValue(String(u"1 +")), errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0],
              u"Component C: Error parsing expression for parameter \"Count\":\nline 1:4: unexpected end "
              u"of file");
    p.setType(String(u"URLType"));
    EXPECT_TRUE(p.isValidParam(String(), true, StringValue(String(u"anything")), errors));
}

// Membership cycles that addMember cannot see (a rename closes them) end with the nesting bound.
TEST(ParameterRules, AGroupCycleEndsWithAnError) {
    Component c;
    CParameter& g1 = c.add(u"G1");
    CParameter& g2 = c.add(u"G2");
    g1.addMember(String(u"Later"));
    g2.addMember(String(u"G1"));
    c.parameters->rename(String(u"G2"), String(u"Later"));
    EXPECT_EQ(failure([&] { g2.getEnabled(); }),
              "the verdicts of parameter 'Later' nested too deeply: more than 64 levels");
    // It fails again when asked again: a failed part is not taken for done.
    EXPECT_EQ(failure([&] { g2.getEnabled(); }),
              "the verdicts of parameter 'Later' nested too deeply: more than 64 levels");
    EXPECT_NE(failure([&] { g1.getValid(); }), "no failure");
}

TEST(ParameterRules, FailuresAreWrappedWithThePathTheyTook) {
    Component c;
    CParameter& g1 = c.add(u"G1");
    CParameter& g2 = c.add(u"G2");
    g1.addMember(String(u"Later"));
    g2.addMember(String(u"G1"));
    c.parameters->rename(String(u"G2"), String(u"Later"));
    const std::string block = failure([&] { g2.getValid(); }, true);
    EXPECT_TRUE(
        block.ends_with("\nCParameter::validate: Strandline exception caught\n"
                        "CParameter::CheckValidation: Strandline exception caught\n"
                        "CParameter::getValid: Strandline exception caught"))
        << block.substr(block.size() - 300);
}
