// The validation context the rules run under, and what the rules see through it.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Component.h"
#include "params/ValidationContext.h"

using namespace strand;
using namespace strand::test;

TEST(ValidationContext, RefusesWhatNeedsARunningComponent) {
    Component c;
    CValidationContext context(c.parameters.get());
    EXPECT_EQ(failure([&] { context.sendMessageToClient(u"hi"); }, true),
              "This method is not supported for validation\n"
              "CValidationContext::sendMessageToClient: Strandline exception caught");
    EXPECT_EQ(failure([&] { context.getLocalData(); }, true),
              "This method is not supported for validation\n"
              "CValidationContext::getLocalData: Strandline exception caught");
    EXPECT_EQ(failure([&] { context.clone(); }), "Cannot clone CValidationContext");
    EXPECT_FALSE(context.isDebugging());
    context.debugMessage(u"ignored");
    String path, other;
    EXPECT_TRUE(context.locateAbsolutePath(u"relative/file.csv", path) &&
                context.constructAbsolutePath(u"x", other));
    EXPECT_EQ(path + u"|" + other.view(), u"relative/file.csv|x");
    EXPECT_EQ(context.getComponentParameters(), c.parameters.get());
    EXPECT_EQ(context.getGlobalProperties(), nullptr);
    CValidationContext alone(nullptr);
    EXPECT_EQ(failure([&] { alone.getComponentParameters(); }, true),
              "Context component parameters are not defined\n"
              "CValidationContext::getComponentParameters: Strandline exception caught");
}

TEST(ValidationContext, EachHasItsOwnIdentifierAndRandomSource) {
    CValidationContext first(nullptr), second(nullptr);
    EXPECT_EQ(first.getIdentifier().length(), 38u);
    EXPECT_NE(first.getIdentifier(), second.getIdentifier());
    EXPECT_NE(CValidationContext::seedOf(first.getIdentifier()),
              CValidationContext::seedOf(second.getIdentifier()));
    // h * 31 + the low byte of each code unit, in 32 bits.
    EXPECT_EQ(CValidationContext::seedOf(u"ab"), 97u * 31u + 98u);
    EXPECT_EQ(CValidationContext::seedOf(u"\u0161"), 0x61u);
    xrRandom expected(CValidationContext::seedOf(first.getIdentifier()));
    EXPECT_EQ(first.getRandom(1000), expected.GetRandom(1000));
}

TEST(ValidationContext, RulesSeeTheirParameterAndKeepTheirGlobals) {
    Component c;
    c.add(u"Limit", u"10");
    c.add(u"Secret", u"hunter2").setType(u"passwordtype");
    CParameter& p = c.add(u"P", u"7");
    p.setValidationScript(
        u"IF @seen IS DEFINED THEN @seen .= ','; END IF; @seen .= parameter(); "
        u"setinvaliddetails(parametername() . ':' . @seen . ':' . parameter('Secret')); "
        u"parameter() > parameter('Limit')");
    EXPECT_EQ(verdict(p), "invalid: P:7:********");
    p.setValue(u"8");
    EXPECT_EQ(verdict(p), "invalid: P:7,8:********");
    EXPECT_EQ(p.getValidationState()->find(u"seen")->getRawValue().toString(), u"7,8");
    // The rule's state can be given.
    auto state = CPropertyCollection::newInstance();
    state->define(u"seen", StringValue(u"x"), 0);
    p.setValidationState(state.get());
    EXPECT_EQ(verdict(p), "invalid: P:x,8:********");
    p.setValidationScript(u"parameter() := 1");
    EXPECT_EQ(verdict(p), "invalid: Validation script failed:line 1, Cannot assign a value to a parameter.");
}

TEST(ValidationContext, WithoutACollectionRulesCannotReadParameters) {
    Ptr<CParameter> p = CParameter::newInstance(u"P");
    p->setValue(u"v");
    p->setValidationScript(u"parameter() = 'v'");
    EXPECT_EQ(verdict(*p),
              "invalid: Validation script failed:Context component parameters are not defined\n"
              "CValidationContext::getComponentParameters: Strandline exception caught");
    // A parameter moved into a collection reads through it from then on.
    Component c;
    c.parameters->define(u"P", StringValue(u"v"), 0);
    auto& inside = dynamic_cast<CParameter&>(*c.parameters->find(u"P"));
    inside.setValidationScript(u"parameter() = 'v'");
    EXPECT_TRUE(inside.getValid());
}

// Rules parse while they run; parameters of separate components may be judged on separate threads.
TEST(ValidationContext, RulesRunOnManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &wrong] {
            Component c;
            CParameter& p = c.add(u"P");
            for (int i = 0; i < 200; ++i) {
                p.setValue(formatString(u"%d", i).c_str());
                p.setValidationScript(formatString(u"parameter() = '%d' AND %d = %d", i, t, t));
                if (!p.getValid())
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
