// The rules: when they run, what they see and report, how their outcomes and the groups become the
// cached verdicts, and the type and legal-value checks.

#include <gtest/gtest.h>

#include "Component.h"

using namespace strand;
using namespace strand::test;

TEST(ParameterRules, WhatPassesTheLegalValues) {
    Component c;
    CParameter& p = c.add(u"P", u"x");
    p.setLegalValues(texts({u"Low", u"High"}));
    EXPECT_EQ(verdict(p), "invalid: 'x' is not a member of the defined legal values");
    EXPECT_EQ(p.getLegalValues(), texts({u"Low", u"High"}));
    const struct {
        std::initializer_list<const char16_t*> value;
        const char* offending;  // "" when legal
    } cases[] = {{{u"low"}, ""},
                 {{u"HIGH", u"low"}, ""},
                 {{u"medium"}, "medium"},
                 {{u"low", u"x"}, "x"},
                 {{u""}, ""},
                 {{u"$(Other)"}, ""},
                 {{u"a$(b)c"}, ""},
                 {{u"$(open"}, "$(open"},
                 {{u")$("}, ")$("},
                 {{}, ""}};
    for (const auto& k : cases) {
        String offending;
        EXPECT_EQ(p.isLegalParam(StringArrayValue(texts(k.value).vector()), offending), !*k.offending);
        EXPECT_EQ(offending.toUtf8(), k.offending);
    }
}

TEST(ParameterRules, RequiredWithoutAValueIsEnabledAndInvalid) {
    Component c;
    CParameter& p = c.add(u"P");
    p.setFlags(iParameter::kRequired);
    p.setEnablingScript(u"false");
    p.setValidationScript(u"true");
    EXPECT_EQ(enabling(p), "enabled");
    EXPECT_EQ(verdict(p), "invalid: This parameter is required.");
    p.setValue(u"given");
    EXPECT_EQ(enabling(p), "disabled");  // with a value, its enabling rule decides
    EXPECT_EQ(verdict(p), "valid");      // and a disabled parameter is valid
}

TEST(ParameterRules, RulesReportThroughTheRuleFunctions) {
    Component c;
    c.add(u"Choices", {u"a", u"b", u"off"});
    CParameter& p = c.add(u"P", u"b");
    p.setEnablingScript(
        u"IF parameter() = 'off' THEN setdisableddetails('switched off'); END IF; "
        u"parameter() != 'off'");
    p.setLegalValuesScript(u"setlegalvalues(parameter('Choices'))");
    p.setValidationScript(
        u"IF parameter() = 'P' THEN setinvaliddetails('not its own name'); false; "
        u"ELSE true; END IF");
    EXPECT_EQ(verdict(p), "valid");
    EXPECT_EQ(p.getLegalValues(), texts({u"a", u"b", u"off"}));
    p.setValue(u"zz");
    EXPECT_EQ(verdict(p), "invalid: 'zz' is not a member of the defined legal values");
    // Not enforced, the validation rule decides.
    p.setLegalValuesAreEnforced(false);
    p.setValue(u"P");
    EXPECT_EQ(verdict(p), "invalid: not its own name");
    p.setValue(u"off");
    EXPECT_EQ(enabling(p), "disabled: switched off");
    EXPECT_EQ(verdict(p), "valid");
    // A single value is a list of one.
    p.setLegalValuesScript(u"setlegalvalues(parametername())");
    EXPECT_EQ(p.getLegalValues(), texts({u"P"}));
}

TEST(ParameterRules, FailingRules) {
    Component c;
    // An enabling rule that fails leaves the parameter enabled; a validation rule that fails makes it
    // invalid with the failure's text.
    CParameter& p = c.add(u"P", u"v");
    p.setEnablingScript(u"parameter('nosuch') = 1");
    p.setValidationScript(u"1 +");
    EXPECT_EQ(enabling(p), "enabled");
    EXPECT_EQ(verdict(p), "invalid: Validation script failed:line 1:4: unexpected end of file\n");
    // A legal-values rule that fails keeps the list it had.
    c.add(u"Choices", {u"a", u"b"});
    CParameter& l = c.add(u"L", u"z");
    l.setLegalValuesScript(
        u"IF @n IS DEFINED THEN parameter('nosuch'); END IF; @n := 1; setlegalvalues(parameter('Choices'))");
    for (int attempt = 0; attempt < 2; ++attempt, l.revalidate()) {
        EXPECT_EQ(verdict(l), "invalid: 'z' is not a member of the defined legal values");
        EXPECT_EQ(l.getLegalValues(), texts({u"a", u"b"}));
    }
}

TEST(ParameterRules, AValueWaitingForAGlobalTokenIsValid) {
    Component c;
    c.add(u"Path", u"$(RunFolder)/out.csv");
    CParameter& p = c.add(u"P", u"v");
    p.setValidationScript(u"parameter('Path') = 'x'");
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
    EXPECT_EQ(verdict(p), "valid");
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
    // Revalidating the collection reruns them all; a rule's global variables stay in its state.
    c.parameters->revalidateParameters();
    EXPECT_TRUE(p.getValid());
    EXPECT_EQ(counts(), "443");
}

TEST(ParameterRules, GroupsEnableAndJudgeTheirMembers) {
    Component c;
    CParameter& mode = c.add(u"Mode", u"basic");
    CParameter& advanced = c.add(u"Advanced");
    CParameter& always = c.add(u"Always");
    CParameter& member = c.add(u"Member", u"x");
    advanced.addMember(u"Member");
    always.addMember(u"Member");
    advanced.setEnablingScript(u"parameter('Mode') = 'advanced'");
    always.setEnablingScript(u"false");
    // Every group of the member disabled: disabled, with no details of its own.
    EXPECT_EQ(enabling(member), "disabled");
    EXPECT_EQ(verdict(member), "valid");
    // One group enabled, another disabled: the disabled one disables it.
    mode.setValue(u"advanced");
    c.parameters->revalidateParameters();
    always.setEnablingScript(u"false");
    EXPECT_EQ(enabling(member), "disabled: Parent group is disabled.");
    always.setEnablingScript(u"true");
    c.parameters->revalidateParameters();
    EXPECT_TRUE(member.getEnabled());
    // A group is invalid when a member is.
    member.setLegalValues(texts({u"y"}));
    EXPECT_EQ(verdict(advanced), "invalid: One or more group members are invalid.");
    member.setValue(u"y");
    advanced.revalidate();
    EXPECT_TRUE(advanced.getValid());
}

TEST(ParameterRules, TypeChecksOfCandidateValues) {
    Component c;
    CParameter& p = c.add(u"Count");
    const struct {
        const char16_t *type, *component;
        bool checkScript;
        const char16_t* value;
        const char* result;
    } cases[] = {
        {u"LongType", u"C", false, u" 42 ", "valid"},
        {u"LongType", u"C", false, u"abc",
         "Component C: Parameter: \"Count\" Unable to convert \"abc\" to a LONG"},
        {u"LongType", nullptr, false, u"4.5", "Parameter: \"Count\" Unable to convert \"4.5\" to a LONG"},
        // Unchecked, a value still waiting for its tokens or scripts passes.
        {u"LongType", nullptr, false, u"$(N)", "valid"},
        {u"LongType", nullptr, false, u"<EXPR>1</EXPR>", "valid"},
        {u"LongType", nullptr, true, u"$(N)", "Parameter: \"Count\" Unable to convert \"$(N)\" to a LONG"},
        {u"DoubleType", nullptr, true, u"4.5", "valid"},
        {u"BoolType", nullptr, true, u"yes", "Parameter: \"Count\" Unable to convert \"yes\" to a BOOL"},
        {u"ExpressionType", nullptr, false, u"1 +", "valid"},
        {u"ExpressionType", u"C", true, u"1 +",
         "Component C: Error parsing expression for parameter \"Count\":\nline 1:4: unexpected end of file"},
        {u"URLType", nullptr, true, u"anything", "valid"},
    };
    for (const auto& k : cases) {
        p.setType(k.type);
        Array<String> errors;
        std::string got =
            p.isValidParam(k.component, k.checkScript, StringValue(k.value), errors) ? "valid" : "";
        for (const String& error : errors)
            got += error.toUtf8();
        EXPECT_EQ(got, k.result) << String(k.value).toUtf8();
    }
}

// Membership cycles that addMember cannot see (a rename closes them) end with the nesting bound.
TEST(ParameterRules, AGroupCycleEndsWithAnError) {
    Component c;
    CParameter& g1 = c.add(u"G1");
    CParameter& g2 = c.add(u"G2");
    g1.addMember(u"Later");
    g2.addMember(u"G1");
    c.parameters->rename(u"G2", u"Later");
    // It fails again when asked again: a failed part is not taken for done.
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_EQ(failure([&] { g2.getEnabled(); }),
                  "the verdicts of parameter 'Later' nested too deeply: more than 64 levels");
    // The failure is wrapped with the path it took.
    const std::string block = failure([&] { g1.getValid(); }, true);
    EXPECT_TRUE(
        block.ends_with("\nCParameter::validate: Strandline exception caught\n"
                        "CParameter::CheckValidation: Strandline exception caught\n"
                        "CParameter::getValid: Strandline exception caught"))
        << block.substr(block.size() - 300);
}
